#include "frontend/frm_sakubyochu.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSplitter>
#include <QVBoxLayout>
#include <set>

#include "database/acis_db.h"
#include "database/clause_builders.h"
#include "database/sakumotsu_keys.h"
#include "foundation/check_list_box_ex.h"
#include "foundation/comma_text.h"
#include "frontend/pest_picker_parts.h"
#include "frontend/picker_placement.h"

TfrmSakuByochu::TfrmSakuByochu(QWidget* Owner) : QDialog(Owner) {
  QVBoxLayout* lay = InitPestPickerFrame(this, Owner, "frmSakuByochu");

  Splitter1 = NewPestPickerSplitter(this);
  Panel2 = new QWidget;
  Panel2->setObjectName("Panel2");
  auto* p2 = new QVBoxLayout(Panel2);
  p2->setContentsMargins(0, 0, 0, 0);
  auto* inputRow = new QHBoxLayout;
  Label1 = new QLabel("作物検索語", Panel2);
  edtInput = new QLineEdit(Panel2);
  edtInput->setObjectName("edtInput");
  auto* btnSearch = new QPushButton("検索", Panel2);
  btnSearch->setObjectName("btnSearch");
  inputRow->addWidget(Label1);
  inputRow->addWidget(edtInput, 1);
  inputRow->addWidget(btnSearch);
  p2->addLayout(inputRow);
  lstSakumotu = new TCheckListBoxEx(Panel2);
  lstSakumotu->setObjectName("lstSakumotu");
  p2->addWidget(lstSakumotu, 1);
  Splitter1->addWidget(Panel2);

  const TPestListPane pane = AddPestListPane(Splitter1, 0, [this](QWidget* panel, QHBoxLayout* row) {
    cboCID = new QComboBox(panel);
    cboCID->setObjectName("cboCID");
    cboCID->addItems({"全て", "病害", "害虫", "雑草", "鳥獣", "その他"});
    cboCID->setCurrentIndex(0);
    cboSort = new QComboBox(panel);
    cboSort->setObjectName("cboSort");
    cboSort->addItems({"ID順", "よみ順"});
    cboSort->setCurrentIndex(0);
    row->addWidget(cboCID, 1);
    row->addWidget(cboSort, 1);
  });
  pnlFilter = pane.pnlFilter;
  lstByochu = pane.lstByochu;
  lay->addWidget(Splitter1, 1);

  auto* buttons = new QHBoxLayout;
  ckAll = new QCheckBox("全て", this);
  ckAll->setObjectName("ckAll");
  btnCheckAll = new QPushButton("全選択", this);
  btnCheckAll->setObjectName("btnCheckAll");
  btnClearAll = new QPushButton("全解除", this);
  btnClearAll->setObjectName("btnClearAll");
  btnOk = new QPushButton("OK", this);
  btnOk->setObjectName("btnOk");
  btnCancel = new QPushButton("キャンセル", this);
  btnCancel->setObjectName("btnCancel");
  buttons->addWidget(ckAll);
  buttons->addWidget(btnCheckAll);
  buttons->addWidget(btnClearAll);
  buttons->addStretch(1);
  buttons->addWidget(btnOk);
  buttons->addWidget(btnCancel);
  lay->addLayout(buttons);
  resize(300, 420);

  // Enter confirms the ticks (OK is the one default button); in the search box it searches
  // and the picker stays open.
  for (QPushButton* b : {btnCheckAll, btnClearAll, btnCancel, btnSearch}) b->setAutoDefault(false);
  btnOk->setDefault(true);
  edtInput->installEventFilter(this);
  connect(btnSearch, &QPushButton::clicked, this, [this] { SearchSakumotsu(); });
  connect(lstSakumotu, &QListWidget::itemChanged, this, [this] { lstSakumotuClickCheck(); });
  connect(cboCID, &QComboBox::activated, this, [this] { cboCIDChange(); });
  connect(cboSort, &QComboBox::activated, this, [this] { cboSortChange(); });
  connect(ckAll, &QCheckBox::clicked, this, [this] { ckAllClick(); });
  connect(btnCheckAll, &QPushButton::clicked, this, [this] { CheckAll(true); });
  connect(btnClearAll, &QPushButton::clicked, this, [this] { CheckAll(false); });
  connect(btnOk, &QPushButton::clicked, this, &QDialog::accept);
  connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
}

bool TfrmSakuByochu::eventFilter(QObject* Watched, QEvent* Event) {
  if (Watched == edtInput && Event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(Event)->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
      SearchSakumotsu();
      return true;
    }
  }
  return QDialog::eventFilter(Watched, Event);
}

void TfrmSakuByochu::SetSourceList(const std::vector<std::string>& Items) {
  source_.clear();
  std::set<std::string> seen;
  for (const std::string& s : Items)
    if (!s.empty() && seen.insert(s).second) source_.push_back(s);
  SetByochuItems(source_);
}

void TfrmSakuByochu::HideCropSearch() { Panel2->hide(); }

void TfrmSakuByochu::CheckNames(const std::string& Text) {
  CheckNamedItems(lstByochu, WordList(Text));
}

std::string TfrmSakuByochu::GetCheckedByochu() const { return ListToCommaText(result_); }

void TfrmSakuByochu::SetByochuItems(const std::vector<std::string>& Items) {
  // A new order, class or crop keeps the ticks: sorting by reading to find one more pest must
  // not untick the ones already chosen, and a pest taken out by a class comes back ticked.
  std::set<std::string> keep = std::move(hiddenTicks_);
  for (std::string& s : CheckedTexts(lstByochu)) keep.insert(std::move(s));
  lstByochu->clear();
  std::set<std::string> seen;
  for (const std::string& s : Items)
    if (seen.insert(s).second) {
      lstByochu->AddItem(QString::fromStdString(s));
      if (keep.erase(s)) lstByochu->SetChecked(lstByochu->count() - 1, true);
    }
  hiddenTicks_ = std::move(keep);
  ckAll->setEnabled(true);
  ckAll->setChecked(lstByochu->count() > 0 && lstByochu->CheckCount() == lstByochu->count());
}

bool TfrmSakuByochu::FillByochu(const std::string& SQL) {
  const std::vector<std::string> rows = QueryColumnUnique(SQL, true);
  if (rows.empty()) return false;
  SetByochuItems(rows);
  return true;
}

void TfrmSakuByochu::SearchSakumotsu() {
  const std::string text = edtInput->text().toStdString();
  if (text.empty() || !AcisDB) return;
  // A text without a searchable word finds nothing.
  const std::string keys = SakumotsuWordsToKeys(text);
  FillCropList(lstSakumotu,
               keys.empty() ? std::string() : "SELECT sakumotsu FROM m_sakumotsu WHERE " + SakuBetsumeiRegexp(keys) + ";");
}

void TfrmSakuByochu::lstSakumotuClickCheck() {
  const std::vector<std::string> crops = CheckedTexts(lstSakumotu);
  if (crops.empty()) {
    SetByochuItems({});
    return;
  }
  FillByochu(
      "SELECT DISTINCT byochu FROM tekiyo WHERE idsaku IN(SELECT idsaku FROM m_sakumotsu WHERE sakumotsu IN(" +
      QuotedSqlList(crops) + ")) ORDER BY byochu");
}

std::string TfrmSakuByochu::OrderEnding() const {
  // The pest master keeps the reading in "ruby".
  return cboSort->currentIndex() == 1 ? ") order by ruby;" : ") order by idbyochu;";
}

void TfrmSakuByochu::cboCIDChange() {
  const std::string cls = cboCID->currentText().toStdString();
  if (cls.empty() || cls == "全て") {
    SetByochuItems(source_);
    return;
  }
  const std::vector<std::string> ids =
      QueryColumnUnique("select cid from cbyochu where cname = " + SqlQuote(cls) + ";", true);
  if (ids.empty()) return;
  FillByochu("select byochu from m_byochu where cid = " + SqlQuote(ids.front()) + " and byochu in(" +
             QuotedSqlList(source_) + OrderEnding());
}

void TfrmSakuByochu::cboSortChange() {
  const std::string cls = cboCID->currentText().toStdString();
  if (cls.empty() || cls == "全て" || !pnlFilter->isVisibleTo(this)) {
    FillByochu("select byochu from m_byochu where byochu in(" + QuotedSqlList(source_) + OrderEnding());
    return;
  }
  cboCIDChange();
}

void TfrmSakuByochu::CheckAll(bool On) {
  CheckAllItems(lstByochu, On);
  if (!On) hiddenTicks_.clear();
}

void TfrmSakuByochu::ckAllClick() { CheckAll(ckAll->isChecked()); }

void TfrmSakuByochu::done(int Result) {
  for (std::string& s : CheckedTexts(lstByochu)) result_.push_back(std::move(s));
  QDialog::done(Result);
}
