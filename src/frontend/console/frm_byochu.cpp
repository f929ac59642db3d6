#include "frontend/console/frm_byochu.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSplitter>
#include <QTextEdit>
#include <QVBoxLayout>

#include "database/acis_db.h"
#include "database/clause_builders.h"
#include "database/sakumotsu_keys.h"
#include "foundation/check_list_box_ex.h"
#include "foundation/comma_text.h"
#include "foundation/global.h"
#include "frontend/frm_main.h"
#include "frontend/pest_picker_parts.h"
#include "frontend/picker_placement.h"

namespace {

std::string ReplaceAll(std::string s, const std::string& from, const std::string& to) {
  for (size_t p = 0; (p = s.find(from, p)) != std::string::npos; p += to.size()) s.replace(p, from.size(), to);
  return s;
}

}  // namespace

TfrmByochu::TfrmByochu(QWidget* Owner) : QDialog(Owner, Qt::Tool) {
  QVBoxLayout* lay = InitPestPickerFrame(this, Owner, "frmByochu");
  setMinimumWidth(236);
  setMaximumWidth(800);

  auto* top = new QHBoxLayout;
  btnAdd = new QPushButton("追加", this);
  btnAdd->setObjectName("btnAdd");
  btnReplace = new QPushButton("置換", this);
  btnReplace->setObjectName("btnReplace");
  btnCancel = new QPushButton("閉じる", this);
  btnCancel->setObjectName("btnCancel");
  for (QPushButton* b : {btnAdd, btnReplace, btnCancel}) {
    b->setAutoDefault(false);
    top->addWidget(b);
  }
  lay->addLayout(top);
  auto* inputRow = new QHBoxLayout;
  Label1 = new QLabel("作物検索語", this);
  edtInput = new QLineEdit(this);
  edtInput->setObjectName("edtInput");
  inputRow->addWidget(Label1);
  inputRow->addWidget(edtInput, 1);
  lay->addLayout(inputRow);

  Splitter1 = NewPestPickerSplitter(this);
  lstSakumotsu = new TCheckListBoxEx;
  lstSakumotsu->setObjectName("lstSakumotsu");
  Splitter1->addWidget(lstSakumotsu);
  const TPestListPane pane = AddPestListPane(Splitter1, 1, [this](QWidget* panel, QHBoxLayout* row) {
    ckAll = new QCheckBox("全て", panel);
    ckAll->setObjectName("ckAll");
    ckAll->setEnabled(false);
    cboCID = new QComboBox(panel);
    cboCID->setObjectName("cboCID");
    cbOrder = new QComboBox(panel);
    cbOrder->setObjectName("cbOrder");
    cbOrder->addItems({"文字コード順", "ID順"});
    cbOrder->setCurrentIndex(0);
    row->addWidget(ckAll);
    row->addWidget(cboCID, 1);
    row->addWidget(cbOrder, 1);
  });
  pnlFilter = pane.pnlFilter;
  lstByochu = pane.lstByochu;
  lay->addWidget(Splitter1, 1);
  resize(260, 420);

  // The pest classes.
  const std::vector<std::string> classes = QueryColumnUnique("select cname from cbyochu", true);
  if (!classes.empty()) {
    cboCID->clear();
    cboCID->addItem(QString());
    for (const std::string& c : classes) cboCID->addItem(QString::fromStdString(c));
  }
  pnlFilter->setFixedHeight(cboCID->sizeHint().height() + 2);

  connect(edtInput, &QLineEdit::returnPressed, this, [this] { SearchSakumotsu(); });
  connect(lstSakumotsu, &QListWidget::itemChanged, this, [this] { SearchByochu(); });
  connect(cboCID, &QComboBox::currentIndexChanged, this, [this] { SearchByochu(); });
  connect(cbOrder, &QComboBox::currentIndexChanged, this, [this] { SearchByochu(); });
  connect(ckAll, &QCheckBox::clicked, this, [this] { ckAllClick(); });
  connect(btnAdd, &QPushButton::clicked, this, [this] { btnAddClick(); });
  connect(btnReplace, &QPushButton::clicked, this, [this] { btnReplaceClick(); });
  connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
}

void TfrmByochu::SearchSakumotsu() {
  const std::string text = edtInput->text().toStdString();
  if (text.empty() || !AcisDB) return;
  std::string keys = SakumotsuWordsToKeys(text);
  keys = ReplaceAll(ReplaceAll(keys, "\\(", "("), "\\)", ")");
  // A text without a searchable word finds nothing.
  FillCropList(lstSakumotsu, keys.empty() ? std::string()
                                          : "SELECT sakumotsu FROM vg_sakumotsu WHERE " + SakuBetsumeiRegexp(keys, true) + ";");
}

void TfrmByochu::SearchByochu() {
  const std::vector<std::string> crops = CheckedTexts(lstSakumotsu);
  if (crops.empty()) {
    lstByochu->clear();
    return;
  }
  const std::string cls = cboCID->currentText().toStdString();
  const std::string clsClause =
      cls.empty() ? std::string() : " cid IN (select cid from cbyochu where cname = " + SqlQuote(cls) + ") AND ";
  const std::string order = cbOrder->currentIndex() == 1 ? "idbyochu" : "betsumei";
  const std::string sql = "SELECT byochu FROM m_byochu WHERE " + clsClause +
                          "byochu IN(SELECT DISTINCT byochu FROM tekiyo " +
                          "WHERE sakumotsu IN(SELECT sakumotsu FROM m_sakumotsu " + "WHERE sakumotsu IN(" +
                          QuotedSqlList(crops) + "))) ORDER BY " + order;
  if (DebugMode && frmMain) {
    frmMain->WriteLog(QStringLiteral("TfrmByochu.SearchByochu"));
    frmMain->WriteLog("SQL> " + QString::fromStdString(sql));
  }
  const std::vector<std::string> pests = QueryColumnUnique(sql, true);
  if (pests.empty()) return;
  lstByochu->clear();
  for (const std::string& p : pests) lstByochu->AddItem(QString::fromStdString(p));
  ckAll->setEnabled(true);
}

void TfrmByochu::ckAllClick() {
  CheckAllItems(lstByochu, ckAll->isChecked());
}

std::string TfrmByochu::WrittenText() {
  SelectedList.clear();
  const std::vector<std::string> names = CheckedTexts(lstByochu);
  for (const std::string& n : names) SelectedList << QString::fromStdString(n);
  if (names.empty()) return {};
  return ReplaceAll(ReplaceAll(ListToCommaText(names), "(", "（"), ")", "）");
}

QString TfrmByochu::TargetText() const {
  if (auto* e = qobject_cast<QLineEdit*>(TargetEdit)) return e->text();
  if (auto* m = qobject_cast<QPlainTextEdit*>(TargetEdit)) return m->toPlainText();
  if (auto* t = qobject_cast<QTextEdit*>(TargetEdit)) return t->toPlainText();
  return {};
}

void TfrmByochu::SetTargetText(const QString& Text) {
  if (auto* e = qobject_cast<QLineEdit*>(TargetEdit))
    e->setText(Text);
  else if (auto* m = qobject_cast<QPlainTextEdit*>(TargetEdit))
    m->setPlainText(Text);
  else if (auto* t = qobject_cast<QTextEdit*>(TargetEdit))
    t->setPlainText(Text);
}

void TfrmByochu::btnAddClick() {
  const QString text = QString::fromStdString(WrittenText());
  if (!TargetEdit || text.isEmpty()) return;
  const QString old = TargetText();
  SetTargetText(old.isEmpty() ? text : old + "," + text);
}

void TfrmByochu::btnReplaceClick() {
  const QString text = QString::fromStdString(WrittenText());
  if (!TargetEdit || text.isEmpty()) return;
  SetTargetText(text);
}

void ShowTemplatePestPicker(QWidget* Owner, const QWidget* Button, const QString& CropArgument, QWidget* Target) {
  TfrmByochu dlg(Owner);
  dlg.resize(ReadPickerSize("DlgTplByochuWidth", "DlgTplByochuHeight", dlg.size()));
  {
    const QSize list = ReadPickerSize("DlgTplByochuSakumotsuListboxHeight", "DlgTplByochuSakumotsuListboxHeight",
                                      QSize(100, dlg.lstSakumotsu->sizeHint().height()));
    QList<int> sizes = dlg.Splitter1->sizes();
    if (sizes.size() == 2) {
      const int total = std::max(sizes[0] + sizes[1], list.height() + 50);
      dlg.Splitter1->setSizes({list.height(), total - list.height()});
    }
  }
  QString crops = CropArgument;
  crops.remove('\'');
  if (!crops.isEmpty()) {
    dlg.edtInput->setText(crops);
    dlg.SearchSakumotsu();
  }
  dlg.TargetEdit = Target;
  PlacePickerAtButton(&dlg, Button);
  ExecPicker(dlg);
  WritePickerSize("DlgTplByochuWidth", "DlgTplByochuHeight", dlg.size());
  const QList<int> sizes = dlg.Splitter1->sizes();
  if (!sizes.isEmpty())
    WritePickerSize("DlgTplByochuSakumotsuListboxHeight", "DlgTplByochuSakumotsuListboxHeight",
                    QSize(sizes[0], sizes[0]));
}
