#include "frontend/chemical/dlg_yakuzai_sel.h"

#include <QButtonGroup>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <exception>

#include "database/acis_db.h"
#include "foundation/check_list_box_ex.h"
#include "foundation/global.h"
#include "foundation/ini_file.h"
#include "foundation/list_box_ex.h"
#include "foundation/message_sink.h"
#include "foundation/options.h"
#include "frontend/picker_placement.h"

namespace {

constexpr const char* kWidthKey = "DlgYakuzaiSelWidth";
constexpr const char* kHeightKey = "DlgYakuzaiSelHeight";
constexpr const char* kActiveKey = "YakuzaiSelpgYakuzaiActivePageIndex";
constexpr QSize kDesignSize(434, 442);

// The effects of the "その他" buttons.
constexpr const char* kOtherEffects = "(殺そ|展着|植調|くん蒸|薬害軽減|誘引|忌避|蒸散抑制)";
constexpr const char* kKokaByTag[] = {"", "(殺菌)", "(殺虫|殺ダニ|殺線虫|粘着)", "(除草)", kOtherEffects};

QListWidget* NewList(const char* name) {
  auto* l = new TListBoxEx;
  l->setObjectName(name);
  return l;
}

}  // namespace

const std::array<const char*, 8>& TDlgYakuzaiSel::PageKeys() {
  static const std::array<const char*, 8> keys = {
      "YakuzaiSelTabTsushoPageIndex", "YakuzaiSelTabShuruiPageIndex",  "YakuzaiSelTabSeibunPageIndex",
      "YakuzaiSelTabKeitoPageIndex",  "YakuzaiSelTabIsoPageIndex",     "YakuzaiSelTabSayotenPageIndex",
      "YakuzaiSelTabRacPageIndex",    "YakuzaiSelTabRacKeitoIndex"};
  return keys;
}

std::string TDlgYakuzaiSel::TsushoRowPattern(int Tag) {
  static const char* const patterns[] = {"",
                                         "^(あ|い|う|え|お)",
                                         "^(か|き|く|け|こ)",
                                         "^(さ|し|す|せ|そ)",
                                         "^(た|ち|つ|て|と)",
                                         "^(な|に|ぬ|ね|の)",
                                         "^(は|ひ|ふ|へ|ほ)",
                                         "^(ま|み|む|め|も)",
                                         "^(や|ゆ|よ)",
                                         "^(ら|り|る|れ|ろ)",
                                         "^(わ|を|ん)",
                                         "^([一-龠])",
                                         "^([A-Z])",
                                         "^([0-9])"};
  return Tag >= 1 && Tag <= 13 ? patterns[Tag] : std::string();
}

std::string TDlgYakuzaiSel::ShuruiSql(int Tag) {
  switch (Tag) {
    case 1: return "SELECT DISTINCT shurui FROM kihon WHERE yoto match '%殺菌%' ORDER BY shurui;";
    case 2: return "SELECT DISTINCT shurui FROM kihon WHERE yoto match '%殺虫%' ORDER BY shurui;";
    case 3: return "SELECT DISTINCT shurui FROM kihon WHERE yoto match '%除草%' ORDER BY shurui;";
    case 4:
      return "SELECT DISTINCT shurui FROM kihon WHERE yoto regexp '(その他|殺そ剤|農薬肥料|植物成長調整剤|殺菌植調剤)' "
             "ORDER BY shurui;";
    default: return "SELECT DISTINCT shurui FROM kihon ORDER BY shurui;";
  }
}

std::string TDlgYakuzaiSel::SeibunSql(int Tag) {
  if (Tag >= 1 && Tag <= 4)
    return std::string("SELECT DISTINCT seibun FROM kihon WHERE koka regexp '") + kKokaByTag[Tag] + "' ORDER BY seibun;";
  return "SELECT DISTINCT seibun FROM kihon ORDER BY seibun;";
}

std::string TDlgYakuzaiSel::KeitoSql(int Tag) {
  if (Tag >= 1 && Tag <= 4)
    return std::string("SELECT DISTINCT keito FROM kihon WHERE koka regexp '") + kKokaByTag[Tag] + "' ORDER BY keito;";
  return "SELECT DISTINCT keito FROM kihon ORDER BY keito;";
}

std::string TDlgYakuzaiSel::RacSql(const char* Column, int Tag) {
  static const char* const prefixes[] = {"", "^(F:)", "^(I:)", "^(H:)"};
  const std::string col = Column;
  if (Tag >= 1 && Tag <= 3)
    return "SELECT DISTINCT " + col + " FROM rac WHERE mid regexp '" + prefixes[Tag] + "' ORDER BY " + col + ";";
  return "SELECT DISTINCT " + col + " FROM rac ORDER BY " + col + ";";
}

TDlgYakuzaiSel::TDlgYakuzaiSel(QWidget* Owner) : QDialog(Owner) {
  setObjectName("DlgYakuzaiSel");
  setWindowTitle("薬剤候補");
  if (Owner) setFont(Owner->font());
  BuildForm();
  ReadSettings();
  btnOK->setEnabled(false);
  // The lists at creation (no warning: an empty table leaves its page empty).
  Refill(lstTsusho, "SELECT DISTINCT tsusho FROM TsushoRuby ORDER BY ruby;", false);
  Refill(lstShurui, "SELECT DISTINCT shurui FROM m_kihon ORDER BY shurui;", false);
  Refill(lstSeibun, "SELECT seibun FROM bunrui ORDER BY seibun;", false);
  Refill(lstKeito, "SELECT DISTINCT keito FROM bunrui ORDER BY keito;", false);
  Refill(lstISO, "SELECT DISTINCT iso FROM iso ORDER BY iso;", false);
  Refill(lstSayoten, "SELECT DISTINCT sayoten FROM rac ORDER BY sayoten;", false);
  Refill(lstRac, "SELECT DISTINCT mid FROM rac ORDER BY mid;", false);
  Refill(lstRacKeito, "SELECT DISTINCT keito FROM rac ORDER BY keito;", false);
}

TDlgYakuzaiSel::~TDlgYakuzaiSel() {
  for (QWidget* p : Pages())
    if (QListWidget* l = ListOfPage(p)) l->clear();
}

QWidget* TDlgYakuzaiSel::AddPage(const char* Name, const QString& Caption, QListWidget* List,
                                 const std::vector<std::pair<QString, std::string>>& Buttons, int PerRow,
                                 const std::function<void(int)>& OnTag) {
  auto* page = new QWidget;
  page->setObjectName(Name);
  auto* lay = new QVBoxLayout(page);
  lay->setContentsMargins(2, 2, 2, 2);
  lay->setSpacing(2);
  if (!Buttons.empty()) {
    auto* grid = new QGridLayout;
    grid->setSpacing(1);
    auto* group = new QButtonGroup(page);
    group->setExclusive(true);
    groups_.push_back(group);
    int tag = 0, cell = 0;
    for (const auto& [caption, name] : Buttons) {
      ++tag;
      auto* b = new QToolButton(page);
      b->setText(caption);
      b->setObjectName(QString::fromStdString(name));
      b->setCheckable(true);
      b->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
      b->setProperty("Tag", tag);
      group->addButton(b, tag);
      if (name == "btnKanji") {
        b->hide();  // not offered: no room is kept for it
      } else {
        grid->addWidget(b, cell / PerRow, cell % PerRow);
        ++cell;
      }
      const int t = tag;
      connect(b, &QToolButton::clicked, this, [OnTag, t] { OnTag(t); });
    }
    lay->addLayout(grid);
  }
  List->setParent(page);
  lay->addWidget(List, 1);
  pgYakuzai->addTab(page, Caption);
  connect(List, &QListWidget::itemSelectionChanged, this, [this] { UpdateOK(); });
  connect(List, &QListWidget::itemDoubleClicked, this, [this] {
    if (btnOK->isEnabled()) btnOKClick();
  });
  return page;
}

void TDlgYakuzaiSel::BuildForm() {
  auto* lay = new QVBoxLayout(this);
  lay->setContentsMargins(2, 2, 2, 2);
  pnlButton = new QWidget(this);
  pnlButton->setObjectName("pnlButton");
  auto* bl = new QHBoxLayout(pnlButton);
  bl->setContentsMargins(0, 0, 0, 0);
  btnOK = new QPushButton("OK", pnlButton);
  btnOK->setObjectName("btnOK");
  btnOK->setDefault(true);
  btnCancel = new QPushButton("キャンセル", pnlButton);
  btnCancel->setObjectName("btnCancel");
  btnCancel->setAutoDefault(false);
  bl->addStretch(1);
  bl->addWidget(btnOK);
  bl->addWidget(btnCancel);
  lay->addWidget(pnlButton);
  connect(btnOK, &QPushButton::clicked, this, [this] { btnOKClick(); });
  connect(btnCancel, &QPushButton::clicked, this, [this] { reject(); });

  pgYakuzai = new QTabWidget(this);
  pgYakuzai->setObjectName("pgYakuzai");
  pgYakuzai->setMovable(true);  // pages are reordered by dragging their tabs
  // Every page's tab in sight (the designed page control shows its tabs in rows): the dialog
  // is never narrower than its tabs.
  pgYakuzai->setUsesScrollButtons(false);
  pgYakuzai->setElideMode(Qt::ElideNone);
  lay->addWidget(pgYakuzai, 1);

  lstTsusho = NewList("lstTsusho");
  tabTsusho = AddPage("tabTsusho", "通称", lstTsusho,
                      {{"あ", "btnA"},
                       {"か", "btnKa"},
                       {"さ", "btnSa"},
                       {"た", "btnTa"},
                       {"な", "btnNa"},
                       {"は", "btnHa"},
                       {"ま", "btnMa"},
                       {"や", "btnYa"},
                       {"ら", "btnRa"},
                       {"わ", "btnWa"},
                       {"漢", "btnKanji"},
                       {"A..Z", "btnAtoZ"},
                       {"0..9", "btn0to9"},
                       {"全", "btnAll"}},
                      7, [this](int t) { btnTsushoClick(t); });
  btnKanji = tabTsusho->findChild<QToolButton*>("btnKanji");
  btnAtoZ = tabTsusho->findChild<QToolButton*>("btnAtoZ");
  btn0to9 = tabTsusho->findChild<QToolButton*>("btn0to9");
  btnAll = tabTsusho->findChild<QToolButton*>("btnAll");
  btnKanji->setEnabled(false);

  auto kinds = [](const char* prefix) {
    std::vector<std::pair<QString, std::string>> b;
    const char* captions[] = {"殺菌", "殺虫", "除草", "その他", "全部"};
    for (int i = 0; i < 5; ++i) b.emplace_back(captions[i], prefix + std::to_string(i + 1));
    return b;
  };
  lstShurui = NewList("lstShurui");
  tabShurui = AddPage("tabShurui", "種類", lstShurui, kinds("btnShurui"), 5, [this](int t) { btnShuruiClick(t); });
  lstSeibun = new TCheckListBoxEx;
  lstSeibun->setObjectName("lstSeibun");
  tabSeibun = AddPage("tabSeibun", "有効成分", lstSeibun, kinds("btnSeibun"), 5, [this](int t) { btnSeibunClick(t); });
  connect(lstSeibun, &QListWidget::itemChanged, this, [this] {
    SeibunChecked = lstSeibun->CheckCount() > 0;
    UpdateOK();
  });
  lstKeito = NewList("lstKeito");
  tabKeito = AddPage("tabKeito", "系統", lstKeito, kinds("btnKeito"), 5, [this](int t) { btnKeitoClick(t); });
  lstISO = NewList("lstISO");
  tabISO = AddPage("tabISO", "ISO名", lstISO, {}, 1, nullptr);
  lstSayoten = NewList("lstSayoten");
  tabSayoten = AddPage("tabSayoten", "作用点", lstSayoten,
                       {{"FRAC", "btnSayotenFrac"}, {"IRAC", "btnSayotenIrac"}, {"HRAC", "btnSayotenHrac"},
                        {"全", "btnSayotenALL"}},
                       4, [this](int t) { btnSayotenClick(t); });
  lstRac = NewList("lstRac");
  tabRac = AddPage("tabRac", "RAC", lstRac,
                   {{"FRAC", "btnFrac"}, {"IRAC", "btnIrac"}, {"HRAC", "btnHrac"}, {"全", "btnRacALL"}}, 4,
                   [this](int t) { btnRacClick(t); });
  {
    // After a separator, the FRAC groups in the same list.
    auto* grid = qobject_cast<QGridLayout*>(tabRac->layout()->itemAt(0)->layout());
    auto* sep = new QFrame(tabRac);
    sep->setFrameShape(QFrame::VLine);
    grid->addWidget(sep, 0, 4);
    btnFracGroup = new QToolButton(tabRac);
    btnFracGroup->setText("FRACグループ");
    btnFracGroup->setObjectName("btnFracGroup");
    btnFracGroup->setCheckable(true);
    btnFracGroup->setProperty("Tag", 5);
    groups_.back()->addButton(btnFracGroup, 5);
    grid->addWidget(btnFracGroup, 0, 5);
    connect(btnFracGroup, &QToolButton::clicked, this, [this] { btnFracGroupClick(); });
  }
  lstRacKeito = NewList("lstRacKeito");
  tabRackeito = AddPage("tabRackeito", "RAC系統", lstRacKeito,
                        {{"FRAC", "btnRacKeitoF"}, {"IRAC", "btnRacKeitoI"}, {"HRAC", "btnRacKeitoH"},
                         {"全", "btnRacKeitoALL"}},
                        4, [this](int t) { btnRacKeitoClick(t); });
  connect(pgYakuzai, &QTabWidget::currentChanged, this, [this] { UpdateOK(); });
}

std::vector<QWidget*> TDlgYakuzaiSel::Pages() const {
  return {tabTsusho, tabShurui, tabSeibun, tabKeito, tabISO, tabSayoten, tabRac, tabRackeito};
}

QListWidget* TDlgYakuzaiSel::ListOfPage(const QWidget* Page) const {
  const std::vector<QWidget*> pages = Pages();
  const QListWidget* lists[] = {lstTsusho, lstShurui, lstSeibun, lstKeito, lstISO, lstSayoten, lstRac, lstRacKeito};
  for (size_t i = 0; i < pages.size(); ++i)
    if (Page && pages[i] == Page) return const_cast<QListWidget*>(lists[i]);
  return nullptr;
}

void TDlgYakuzaiSel::Refill(QListWidget* List, const std::string& SQL, bool Warn) {
  if (Warn && LogMemo) LogMemo("SQL>" + SQL);
  btnOK->setEnabled(false);
  std::vector<std::string> values;
  try {
    values = QueryColumnUnique(SQL, Warn);
  } catch (const std::exception& e) {
    ShowMessageBox(TMsgKind::Error, "Quillmar", e.what());
    return;
  }
  values.erase(std::remove(values.begin(), values.end(), std::string()), values.end());
  if (values.empty()) return;  // the list stays as it was
  QStringList items;
  items.reserve(static_cast<int>(values.size()));
  for (const std::string& v : values) items << QString::fromStdString(v);
  const bool checkable = List == lstSeibun;
  {
    const QSignalBlocker block(List);
    List->clear();
    if (checkable) {
      for (const QString& t : items) lstSeibun->AddItem(t);
    } else {
      List->addItems(items);
    }
  }
  if (checkable) SeibunChecked = false;
  UpdateOK();
}

void TDlgYakuzaiSel::UpdateOK() {
  QListWidget* list = ListOfPage(pgYakuzai->currentWidget());
  bool on = list && !list->selectedItems().isEmpty();
  if (list == lstSeibun && SeibunChecked) on = true;
  btnOK->setEnabled(on);
}

void TDlgYakuzaiSel::btnTsushoClick(int Tag) {
  if (Tag == 14) return Refill(lstTsusho, "SELECT DISTINCT tsusho FROM TsushoRuby ORDER BY ruby;", true);
  const std::string p = TsushoRowPattern(Tag);
  if (p.empty()) return;
  Refill(lstTsusho, "SELECT tsusho FROM TsushoRuby WHERE ruby regexp '" + p + "' ORDER BY ruby;", true);
}

void TDlgYakuzaiSel::btnShuruiClick(int Tag) { Refill(lstShurui, ShuruiSql(Tag), true); }
void TDlgYakuzaiSel::btnSeibunClick(int Tag) { Refill(lstSeibun, SeibunSql(Tag), true); }
void TDlgYakuzaiSel::btnKeitoClick(int Tag) { Refill(lstKeito, KeitoSql(Tag), true); }
void TDlgYakuzaiSel::btnSayotenClick(int Tag) { Refill(lstSayoten, RacSql("sayoten", Tag), true); }
void TDlgYakuzaiSel::btnRacClick(int Tag) { Refill(lstRac, RacSql("mid", Tag), true); }
void TDlgYakuzaiSel::btnRacKeitoClick(int Tag) { Refill(lstRacKeito, RacSql("keito", Tag), true); }

void TDlgYakuzaiSel::btnFracGroupClick() {
  Refill(lstRac, "SELECT DISTINCT fgroup FROM rac WHERE mid regexp '^(F:)' ORDER BY fgroup;", true);
}

std::string TDlgYakuzaiSel::ChosenText() const {
  QWidget* page = pgYakuzai->currentWidget();
  QListWidget* list = ListOfPage(page);
  if (!list) return {};
  if (list == lstSeibun && SeibunChecked) {
    std::string text;
    for (const std::string& s : CheckedTexts(lstSeibun)) text += (text.empty() ? "" : " ") + s;
    return text;
  }
  const QList<QListWidgetItem*> sel = list->selectedItems();
  return sel.isEmpty() ? std::string() : sel.first()->text().toStdString();
}

void TDlgYakuzaiSel::btnOKClick() {
  const std::string text = ChosenText();
  if (text.empty()) return;
  if (Target) Target->setText(QString::fromStdString(text));
  accept();
}

void TDlgYakuzaiSel::done(int Result) {
  if (!closed_) {
    closed_ = true;
    WriteSettings();
  }
  QDialog::done(Result);
}

void TDlgYakuzaiSel::ReadSettings() {
  resize(ReadPickerSize(kWidthKey, kHeightKey, kDesignSize));
  if (!OptionData) return;
  try {
    TIniFile ini(OptionData->IniFileName);
    const std::vector<QWidget*> pages = Pages();
    // Pages in the order of their stored positions (ties keep the designed order).
    std::vector<std::pair<int, int>> order;
    for (size_t i = 0; i < pages.size(); ++i)
      order.emplace_back(ini.ReadInteger(SECTION_WINDOW, PageKeys()[i], static_cast<int>(i)), static_cast<int>(i));
    std::stable_sort(order.begin(), order.end());
    for (size_t pos = 0; pos < order.size(); ++pos) {
      const int from = pgYakuzai->indexOf(pages[static_cast<size_t>(order[pos].second)]);
      if (from != static_cast<int>(pos)) pgYakuzai->tabBar()->moveTab(from, static_cast<int>(pos));
    }
    const int active = ini.ReadInteger(SECTION_WINDOW, kActiveKey, 0);
    if (active >= 0 && active < pgYakuzai->count()) pgYakuzai->setCurrentIndex(active);
  } catch (const std::exception& e) {
    MessageSink().Log(std::string("chemical picker settings not read: ") + e.what());
  }
}

void TDlgYakuzaiSel::WriteSettings() {
  WritePickerSize(kWidthKey, kHeightKey, size());
  if (!OptionData) return;
  try {
    TIniFile ini(OptionData->IniFileName);
    const std::vector<QWidget*> pages = Pages();
    for (size_t i = 0; i < pages.size(); ++i)
      ini.WriteInteger(SECTION_WINDOW, PageKeys()[i], pgYakuzai->indexOf(pages[i]));
    ini.WriteInteger(SECTION_WINDOW, kActiveKey, pgYakuzai->currentIndex());
    ini.UpdateFile();
  } catch (const std::exception& e) {
    MessageSink().Log(std::string("chemical picker settings not saved: ") + e.what());
  }
}
