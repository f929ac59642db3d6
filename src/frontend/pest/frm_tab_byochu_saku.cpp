#include "frontend/pest/frm_tab_byochu_saku.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include "database/acis_db.h"
#include "database/clause_builders.h"
#include "foundation/check_list_box_ex.h"
#include "foundation/comma_text.h"
#include "frontend/picker_placement.h"

namespace {

constexpr const char* kNotExcluded = " NOT REGEXP '(、.*)?を除く'";

bool IsAll(const QComboBox* c) { return c->currentIndex() <= 0 || c->currentText() == "全て"; }

}  // namespace

TfrmTabByochuSaku::TfrmTabByochuSaku(QWidget* Owner) : QDialog(Owner) {
  setObjectName("frmTabByochuSaku");
  setWindowTitle("作物選択");
  if (Owner) setFont(Owner->window()->font());
  auto* lay = new QVBoxLayout(this);
  lay->setContentsMargins(2, 2, 2, 2);
  lay->setSpacing(2);
  auto* levels = new QGridLayout;
  auto combo = [this](const char* name) {
    auto* c = new QComboBox(this);
    c->setObjectName(QString::fromLatin1(name));
    c->setMaxVisibleItems(16);
    return c;
  };
  cbLevel0 = combo("cbLevel0");
  cbLevel1 = combo("cbLevel1");
  cbLevel2 = combo("cbLevel2");
  cbOrder = combo("cbOrder");
  cbOrder->addItems({"ID順", "読み順"});
  cbOrder->setCurrentIndex(0);
  levels->addWidget(cbLevel0, 0, 0);
  levels->addWidget(cbLevel1, 0, 1);
  levels->addWidget(cbLevel2, 1, 0);
  levels->addWidget(cbOrder, 1, 1);
  lay->addLayout(levels);
  lstSakumotsu = new TCheckListBoxEx(this);
  lstSakumotsu->setObjectName("lstSakumotsu");
  lay->addWidget(lstSakumotsu, 1);
  auto* buttons = new QHBoxLayout;
  ckAll = new QCheckBox("全て", this);
  ckAll->setObjectName("ckAll");
  btnOk = new QPushButton("OK", this);
  btnOk->setObjectName("btnOk");
  btnCancel = new QPushButton("キャンセル", this);
  btnCancel->setObjectName("btnCancel");
  buttons->addWidget(ckAll);
  buttons->addStretch(1);
  buttons->addWidget(btnOk);
  buttons->addWidget(btnCancel);
  lay->addLayout(buttons);
  resize(300, 400);
  cbLevel1->setEnabled(false);
  cbLevel2->setEnabled(false);

  connect(cbLevel0, &QComboBox::activated, this, [this] { cbLevel0Change(); });
  connect(cbLevel1, &QComboBox::activated, this, [this] { cbLevel1Change(); });
  connect(cbLevel2, &QComboBox::activated, this, [this] { cbLevel2Change(); });
  connect(cbOrder, &QComboBox::activated, this, [this] { cbOrderChange(); });
  connect(ckAll, &QCheckBox::clicked, this, [this] { ckAllClick(); });
  connect(btnOk, &QPushButton::clicked, this, &QDialog::accept);
  connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
}

std::string TfrmTabByochuSaku::OrderColumn() const {
  return cbOrder->currentIndex() == 1 ? "ruby" : "m_sakumotsu.idsaku";
}

void TfrmTabByochuSaku::SetCrops(const std::vector<std::string>& Names) {
  lstSakumotsu->clear();
  for (const std::string& n : Names) lstSakumotsu->AddItem(QString::fromStdString(n));
}

void TfrmTabByochuSaku::FillLevel(QComboBox* Combo, const std::string& SQL) {
  const std::vector<std::string> names = QueryColumnUnique(SQL, false);
  const QSignalBlocker block(Combo);
  Combo->clear();
  if (!names.empty()) {
    Combo->addItem("全て");
    for (const std::string& n : names) Combo->addItem(QString::fromStdString(n));
    Combo->setCurrentIndex(0);
  }
  Combo->setEnabled(Combo->count() > 0);
}

std::string TfrmTabByochuSaku::LevelDigits(int Level, const std::string& Name, int From) {
  const std::vector<std::string> v =
      QueryColumnUnique("select substr(idsaku," + std::to_string(From) + ",2) from m_sakumotsu where level = " +
                            std::to_string(Level) + " and sakumotsu = " + SqlQuote(Name),
                        false);
  return v.empty() ? std::string("00") : v.front();
}

void TfrmTabByochuSaku::ShowAllLevels() {
  QApplication::setOverrideCursor(Qt::WaitCursor);
  prefix_.clear();
  SetCrops(QueryColumnUnique("SELECT DISTINCT a.sakumotsu FROM ttTekiyoByochu AS a LEFT JOIN m_sakumotsu "
                             "USING(idsaku) WHERE a.sakumotsu" +
                                 std::string(kNotExcluded) + "  ORDER BY " + OrderColumn() + ";",
                             true));
  {
    const std::vector<std::string> groups = QueryColumnUnique(
        "SELECT sakumotsu FROM m_sakumotsu WHERE level = 0 AND idsaku IN (SELECT DISTINCT "
        "substr(idsaku,1,2)||'00000000000000' FROM ttTekiyoByochu ORDER BY idsaku);",
        false);
    const QSignalBlocker block(cbLevel0);
    cbLevel0->clear();
    cbLevel0->addItem("全て");
    for (const std::string& g : groups) cbLevel0->addItem(QString::fromStdString(g));
    cbLevel0->setCurrentIndex(0);
  }
  for (QComboBox* c : {cbLevel1, cbLevel2}) {
    const QSignalBlocker block(c);
    c->clear();
    c->setEnabled(false);
  }
  QApplication::restoreOverrideCursor();
}

void TfrmTabByochuSaku::ShowCropsOfPrefix() {
  // The prefix is made of code digits read from the database; quoted all the same.
  const std::string re = SqlQuote("^(" + prefix_ + ")");
  if (cbOrder->currentIndex() == 1)
    SetCrops(QueryColumnUnique("SELECT DISTINCT a.sakumotsu FROM ttTekiyoByochu AS a LEFT JOIN m_sakumotsu "
                               "USING(idsaku) WHERE idsaku REGEXP " +
                                   re + " AND a.sakumotsu" + kNotExcluded + "  ORDER BY ruby;",
                               true));
  else
    SetCrops(QueryColumnUnique("SELECT DISTINCT sakumotsu FROM ttTekiyoByochu WHERE idsaku REGEXP " + re +
                                   " AND sakumotsu" + kNotExcluded + " ORDER BY idsaku;",
                               true));
}

void TfrmTabByochuSaku::cbLevel0Change() {
  if (IsAll(cbLevel0)) {
    ShowAllLevels();
    return;
  }
  prefix0_ = LevelDigits(0, cbLevel0->currentText().toStdString(), 1);
  prefix_ = prefix0_;
  {
    const QSignalBlocker block(cbLevel2);
    cbLevel2->clear();
    cbLevel2->setEnabled(false);
  }
  FillLevel(cbLevel1, "SELECT sakumotsu FROM m_sakumotsu WHERE level = 1 AND idsaku IN (SELECT DISTINCT " +
                          SqlQuote(prefix_) + "||substr(idsaku,3,2)||'000000000000' FROM ttTekiyoByochu ORDER BY idsaku);");
  ShowCropsOfPrefix();
}

void TfrmTabByochuSaku::cbLevel1Change() {
  if (cbLevel1->count() == 0) return;
  if (IsAll(cbLevel1)) {
    prefix_ = prefix0_;
    ShowCropsOfPrefix();
    return;
  }
  prefix1_ = prefix0_ + LevelDigits(1, cbLevel1->currentText().toStdString(), 3);
  prefix_ = prefix1_;
  FillLevel(cbLevel2, "SELECT sakumotsu FROM m_sakumotsu WHERE level = 2 AND idsaku IN (SELECT DISTINCT " +
                          SqlQuote(prefix_) + "||substr(idsaku,5,2)||'0000000000' FROM ttTekiyoByochu ORDER BY idsaku);");
  ShowCropsOfPrefix();
}

void TfrmTabByochuSaku::cbLevel2Change() {
  if (cbLevel2->count() == 0) return;
  if (IsAll(cbLevel2)) {
    prefix_ = prefix1_;
    ShowCropsOfPrefix();
    return;
  }
  prefix_ = prefix1_ + LevelDigits(2, cbLevel2->currentText().toStdString(), 5);
  ShowCropsOfPrefix();
}

void TfrmTabByochuSaku::cbOrderChange() {
  if (cbLevel2->count() > 0 && cbLevel2->currentIndex() >= 1)
    cbLevel2Change();
  else if (cbLevel1->count() > 0 && cbLevel1->currentIndex() >= 1)
    cbLevel1Change();
  else if (cbLevel0->currentIndex() >= 1)
    cbLevel0Change();
  else
    ShowAllLevels();
}

void TfrmTabByochuSaku::ckAllClick() {
  CheckAllItems(lstSakumotsu, ckAll->isChecked());
}

std::string TfrmTabByochuSaku::GetCheckedSakumotsu() const { return ListToCommaText(result_); }

void TfrmTabByochuSaku::done(int Result) {
  for (std::string& s : CheckedTexts(lstSakumotsu)) result_.push_back(std::move(s));
  QDialog::done(Result);
}
