#include "frontend/crop/fra_sakumotsu_base.h"

#include <QAction>
#include <QComboBox>
#include <QEvent>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QResizeEvent>
#include <QStyle>
#include <QTabWidget>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <set>

#include "database/acis_db.h"
#include "database/sakumotsu_keys.h"
#include "database/sakumotsu_list.h"
#include "database/sakumotsu_tree.h"
#include "foundation/check_tree_view.h"
#include "foundation/comma_text.h"
#include "foundation/global.h"
#include "foundation/ini_file.h"
#include "foundation/plain_hint.h"

// ---- change batches ---------------------------------------------------------------------------

class TfraSakumotsuBase::TChangeBatch {
 public:
  explicit TChangeBatch(TfraSakumotsuBase& F) : FFrame(F) { ++FFrame.FChangeDepth; }
  ~TChangeBatch() {
    if (--FFrame.FChangeDepth == 0 && FFrame.FChanged) {
      FFrame.FChanged = false;
      FFrame.EndChange();
    }
  }
  TChangeBatch(const TChangeBatch&) = delete;
  TChangeBatch& operator=(const TChangeBatch&) = delete;

 private:
  TfraSakumotsuBase& FFrame;
};

namespace {

QAction* NewAction(QObject* Owner, const char* Name, const QString& Caption, const QString& Hint, bool Checkable) {
  auto* a = new QAction(Caption, Owner);
  a->setObjectName(Name);
  if (!Hint.isEmpty()) a->setToolTip(Hint);
  a->setCheckable(Checkable);
  return a;
}

QToolButton* NewToolButton(QToolBar* Bar, const char* Name, QAction* Action) {
  auto* b = new QToolButton(Bar);
  b->setObjectName(Name);
  b->setDefaultAction(Action);
  b->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
  Bar->addWidget(b);
  return b;
}

QToolBar* NewToolBar(QWidget* Parent, const char* Name) {
  auto* t = new QToolBar(Parent);
  t->setObjectName(Name);
  t->setIconSize(QSize(16, 16));
  t->setMovable(false);
  return t;
}

// The width a tool bar needs to show every button in place (not in its overflow menu).
int ToolBarNeed(const QToolBar* Bar) {
  const QStyle* st = Bar->style();
  const int margin = st->pixelMetric(QStyle::PM_ToolBarItemMargin, nullptr, Bar) +
                     st->pixelMetric(QStyle::PM_ToolBarFrameWidth, nullptr, Bar);
  const int spacing = st->pixelMetric(QStyle::PM_ToolBarItemSpacing, nullptr, Bar);
  int need = 2 * margin, n = 0;
  for (QAction* a : Bar->actions()) {
    QWidget* b = Bar->widgetForAction(a);
    if (!a->isVisible() || !b) continue;
    need += b->sizeHint().width();
    ++n;
  }
  return need + std::max(0, n - 1) * spacing;
}

}  // namespace

// ---- construction -----------------------------------------------------------------------------

TfraSakumotsuBase::TfraSakumotsuBase(QWidget* Parent) : QWidget(Parent) {
  setObjectName("fraSakumotsu");
  FTreeImages = CropTreeImages(16);
  BuildControls();
  ReadOptions();
  SetMode(true);
  // No main crops yet: the neighbour side is off.
  tbKinsetsu->setEnabled(false);
  eKinsetsuSakumotsu->setEnabled(false);
  FList = NewSakumotsuList();
  UpdateCommands();
}

TfraSakumotsuBase::~TfraSakumotsuBase() {
  WriteOptions();
  SaveColumnWidths();
  // The tree items point into the crop list and the result items into their records.
  {
    const QSignalBlocker b1(tvSakumotsu);
    tvSakumotsu->clear();
  }
  lvSakumotsu->ClearRecords();
  lvBeppyo1->clear();
  lvCVO->clear();
  HintNode = nullptr;
  FList.reset();
}

void TfraSakumotsuBase::BuildControls() {
  setMinimumWidth(120);
  resize(249, height());
  auto* lay = new QVBoxLayout(this);
  lay->setContentsMargins(0, 0, 0, 0);
  lay->setSpacing(2);

  pgSakumotsu = new QTabWidget(this);
  pgSakumotsu->setObjectName("pgSakumotsu");
  tabTree = BuildTreePage();
  tabSearch = BuildSearchPage();
  tabHidden = new QWidget(pgSakumotsu);
  tabHidden->setObjectName("tabHidden");
  pgBeppyo = new TCropGroupPage(pgSakumotsu);
  pgBeppyo->setObjectName("tabBeppyo");
  pgBeppyo->Database = [this] { return Database(); };
  cbLg = pgBeppyo->cbLg;
  cbMg = pgBeppyo->cbMg;
  lvBeppyo1 = pgBeppyo->lvBeppyo1;
  tbUpperB = new QToolButton(pgBeppyo->tbBeppyo);
  tbUpperB->setObjectName("tbUpperB");
  tbUpperB->setCheckable(true);
  tbUpperB->setToolTip("上位作物群を含む");
  tbUpperB->setIcon(CropCommandIcon("upper", 16));
  pgBeppyo->tbBeppyo->insertWidget(pgBeppyo->tbBeppyo->actions().value(0), tbUpperB);
  pgBeppyo->tbBeppyo->setStyleSheet("QToolBar { background: palette(button); }");
  pgCvo = new TCvoPage(pgSakumotsu, "cvo");
  pgCvo->setObjectName("tabCVO");
  pgCvo->Database = [this] { return Database(); };
  cbFamily = pgCvo->cbFamily;
  lvCVO = pgCvo->lvCVO;
  pgSakumotsu->addTab(tabTree, "分類");
  pgSakumotsu->addTab(tabSearch, "作物名検索");
  pgSakumotsu->addTab(tabHidden, QString());
  pgSakumotsu->addTab(pgBeppyo, "作物群表");
  pgSakumotsu->addTab(pgCvo, "CVO");
  pgSakumotsu->setTabVisible(2, false);
  lay->addWidget(pgSakumotsu, 1);

  // Mode and search buttons, then the two crop texts.
  tbSakuMode = NewToolBar(this, "tbSakuMode");
  tbSakuMode->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
  tbMain = new QToolButton(tbSakuMode);
  tbMain->setObjectName("tbMain");
  tbMain->setCheckable(true);
  tbMain->setToolTip("主作物側に設定");
  tbMain->setIcon(CropCommandIcon("main", 16));
  tbKinsetsu = new QToolButton(tbSakuMode);
  tbKinsetsu->setObjectName("tbKinsetsu");
  tbKinsetsu->setCheckable(true);
  tbKinsetsu->setToolTip("近接作物側に設定");
  tbKinsetsu->setIcon(CropCommandIcon("neighbour", 16));
  tbTekiyo = new QToolButton(tbSakuMode);
  tbTekiyo->setObjectName("tbTekiyo");
  tbTekiyo->setToolTip("適用を検索");
  tbTekiyo->setIcon(CropCommandIcon("tekiyo", 16));
  for (QToolButton* b : {tbMain, tbKinsetsu, tbTekiyo}) {
    b->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    tbSakuMode->addWidget(b);
  }
  tbSakuMode->installEventFilter(this);
  tbSakuModeResize(249);
  lay->addWidget(tbSakuMode);
  connect(tbMain, &QToolButton::clicked, this, [this] { tbMainClick(); });
  connect(tbKinsetsu, &QToolButton::clicked, this, [this] { tbKinsetsuClick(); });
  connect(tbTekiyo, &QToolButton::clicked, this, [this] { tbTekiyoClick(); });

  // Each text with its side's mark at its right: a picture, nothing to press.
  auto textRow = [this, lay](const char* Name, const char* MarkName, const char* Image, QLabel*& Mark) {
    auto* row = new QHBoxLayout();
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(2);
    auto* e = new QLineEdit(this);
    e->setObjectName(Name);
    e->setReadOnly(true);
    e->setFocusPolicy(Qt::NoFocus);
    Mark = new QLabel(this);
    Mark->setObjectName(MarkName);
    Mark->setPixmap(CropCommandIcon(Image, 16).pixmap(16, 16));
    Mark->setFocusPolicy(Qt::NoFocus);
    Mark->setAttribute(Qt::WA_TransparentForMouseEvents);
    row->addWidget(e, 1);
    row->addWidget(Mark);
    lay->addLayout(row);
    return e;
  };
  eSakumotsu = textRow("eSakumotsu", "imgSakumotsu", "main", imgSakumotsu);
  eKinsetsuSakumotsu = textRow("eKinsetsuSakumotsu", "imgKinsetsuSakumotsu", "neighbour", imgKinsetsuSakumotsu);
  connect(eSakumotsu, &QLineEdit::textChanged, this, [this] { eSakumotsuChange(); });
  connect(eKinsetsuSakumotsu, &QLineEdit::textChanged, this, [this] { eKinsetsuSakumotsuChange(); });

  // Crop-group and CVO tables.
  connect(pgBeppyo, &TCropGroupPage::RowDoubleClicked, this, [this] { lvBeppyo1DblClick(); });
  connect(pgCvo, &TCvoPage::RowClicked, this, [this] { lvCVOClick(); });
  connect(pgCvo, &TCvoPage::RowDoubleClicked, this, [this] { lvCVODblClick(); });
}

QWidget* TfraSakumotsuBase::BuildTreePage() {
  auto* page = new QWidget(this);
  page->setObjectName("tabTree");
  auto* lay = new QVBoxLayout(page);
  lay->setContentsMargins(0, 0, 0, 0);
  lay->setSpacing(1);
  tbSakumotsuTree = NewToolBar(page, "tbSakumotsuTree");
  actTreeExpand = NewAction(this, "actTreeExpand", "全て展開", "ツリーを全て展開", false);
  actTreeCollapse = NewAction(this, "actTreeCollapse", "全て折りたたむ", "ツリーを全て閉じる", false);
  actTreeCheckOff = NewAction(this, "actTreeCheckOff", "全て解除", QString(), false);
  actAutoTekiyoView = NewAction(this, "actAutoTekiyoView", "即時検索", "チェック時に自動適用表示", true);
  actCheckUpperTree = NewAction(this, "actCheckUpperTree", QString(), "上位作物群を含む", true);
  actTreeExpand->setIcon(CropCommandIcon("expand", 16));
  actTreeCollapse->setIcon(CropCommandIcon("collapse", 16));
  actTreeCheckOff->setIcon(CropCommandIcon("clear", 16));
  actAutoTekiyoView->setIcon(CropCommandIcon("auto", 16));
  actCheckUpperTree->setIcon(CropCommandIcon("upper", 16));
  bExpand = NewToolButton(tbSakumotsuTree, "bExpand", actTreeExpand);
  bCollapse = NewToolButton(tbSakumotsuTree, "bCollapse", actTreeCollapse);
  tbCheckClearTree = NewToolButton(tbSakumotsuTree, "tbCheckClearTree", actTreeCheckOff);
  tbAutoTekiyoView = NewToolButton(tbSakumotsuTree, "tbAutoTekiyoView", actAutoTekiyoView);
  tbUpperTree = NewToolButton(tbSakumotsuTree, "tbUpperTree", actCheckUpperTree);
  for (QToolButton* b : {bExpand, bCollapse}) b->setToolButtonStyle(Qt::ToolButtonIconOnly);
  lay->addWidget(tbSakumotsuTree);
  tbSakumotsuTree->installEventFilter(this);
  connect(actTreeExpand, &QAction::triggered, this, [this] { actTreeExpandExecute(); });
  connect(actTreeCollapse, &QAction::triggered, this, [this] { actTreeCollapseExecute(); });
  connect(actTreeCheckOff, &QAction::triggered, this, [this] { actTreeCheckOffExecute(); });
  connect(actCheckUpperTree, &QAction::triggered, this, [this] { actCheckUpperTreeExecute(); });

  tvSakumotsu = new TCheckTreeView(page);
  tvSakumotsu->setObjectName("tvSakumotsu");
  tvSakumotsu->setIndentation(19);
  tvSakumotsu->setDragDropMode(QAbstractItemView::NoDragDrop);
  tvSakumotsu->setItemDelegate(new TCropItemDelegate(tvSakumotsu));
  tvSakumotsu->installEventFilter(this);
  lay->addWidget(tvSakumotsu, 1);
  connect(tvSakumotsu, &QTreeWidget::itemChanged, this, [this](QTreeWidgetItem* Item, int Column) {
    if (FTreeUpdating || Column != 0) return;
    {
      // The node whose box was clicked becomes the current one.
      const QSignalBlocker block(tvSakumotsu);
      tvSakumotsu->setCurrentItem(Item);
    }
    CollectTreeSelection();
  });
  InstallItemHints(tvSakumotsu, [this](QTreeWidgetItem* Item) { return TreeHint(Item); });
  return page;
}

QWidget* TfraSakumotsuBase::BuildSearchPage() {
  auto* page = new QWidget(this);
  page->setObjectName("tabSearch");
  auto* lay = new QVBoxLayout(page);
  lay->setContentsMargins(0, 0, 0, 0);
  lay->setSpacing(1);
  auto* row = new QHBoxLayout();
  edtInput = new QLineEdit(page);
  edtInput->setObjectName("edtInput");
  bSearch = new QPushButton("検索", page);
  bSearch->setObjectName("bSearch");
  bSearch->setAutoDefault(false);
  row->addWidget(edtInput, 1);
  row->addWidget(bSearch);
  lay->addLayout(row);
  connect(edtInput, &QLineEdit::returnPressed, this, [this] { edtInputEnter(); });
  connect(bSearch, &QPushButton::clicked, this, [this] { edtInputEnter(); });

  tbSakumotsuSearch = NewToolBar(page, "tbSakumotsuSearch");
  actSakumotsuListCheckALL = NewAction(this, "actSakumotsuListCheckALL", "全て選択", QString(), false);
  actSakumotsuListCheckOff = NewAction(this, "actSakumotsuListCheckOff", "全て選択解除", QString(), false);
  actForwardMatch = NewAction(this, "actForwardMatch", "前方一致検索", QString(), true);
  actBroadMatch = NewAction(this, "actBroadMatch", "部分一致検索", QString(), true);
  actListAutoTekiyoView = NewAction(this, "actListAutoTekiyoView", "即時検索", "チェック時に即時適用表示", true);
  actCheckUpperList = NewAction(this, "actCheckUpperList", QString(), "上位作物群を含む", true);
  actSakumotsuListCheckALL->setIcon(CropCommandIcon("checkall", 16));
  actSakumotsuListCheckOff->setIcon(CropCommandIcon("checkoff", 16));
  actForwardMatch->setIcon(CropCommandIcon("forward", 16));
  actBroadMatch->setIcon(CropCommandIcon("broad", 16));
  actListAutoTekiyoView->setIcon(CropCommandIcon("auto", 16));
  actCheckUpperList->setIcon(CropCommandIcon("upper", 16));
  bCheckALL = NewToolButton(tbSakumotsuSearch, "bCheckALL", actSakumotsuListCheckALL);
  bCheckClearList = NewToolButton(tbSakumotsuSearch, "bCheckClearList", actSakumotsuListCheckOff);
  bForward = NewToolButton(tbSakumotsuSearch, "bForward", actForwardMatch);
  bBroad = NewToolButton(tbSakumotsuSearch, "bBroad", actBroadMatch);
  bAutoTekiyoView = NewToolButton(tbSakumotsuSearch, "bAutoTekiyoView", actListAutoTekiyoView);
  bUpperList = NewToolButton(tbSakumotsuSearch, "bUpperList", actCheckUpperList);
  for (QToolButton* b : {bCheckALL, bCheckClearList, bForward, bBroad}) b->setToolButtonStyle(Qt::ToolButtonIconOnly);
  lay->addWidget(tbSakumotsuSearch);
  tbSakumotsuSearch->installEventFilter(this);
  connect(actSakumotsuListCheckALL, &QAction::triggered, this, [this] { actSakumotsuListCheckALLExecute(); });
  connect(actSakumotsuListCheckOff, &QAction::triggered, this, [this] { actSakumotsuListCheckOffExecute(); });
  connect(actForwardMatch, &QAction::triggered, this, [this] { actForwardMatchExecute(); });
  connect(actBroadMatch, &QAction::triggered, this, [this] { actBroadMatchExecute(); });
  connect(actCheckUpperList, &QAction::triggered, this, [this] { actCheckUpperListExecute(); });

  lvSakumotsu = new TCropResultList(page, 300);
  lay->addWidget(lvSakumotsu, 1);
  connect(lvSakumotsu, &TCropResultList::CheckChanged, this, [this] { lvSakumotsuCheck(); });
  // With the debug flag a right click on a column title logs that column's width.
  lvSakumotsu->header()->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(lvSakumotsu->header(), &QHeaderView::customContextMenuRequested, this, [this](const QPoint& Pos) {
    if (!DebugMode) return;
    const int c = lvSakumotsu->header()->logicalIndexAt(Pos);
    if (c >= 0) Log("lvSakumotsu.Columns[" + std::to_string(c) + "].Width -> " + std::to_string(lvSakumotsu->columnWidth(c)));
  });
  InstallItemHints(lvSakumotsu, [this](QTreeWidgetItem* Item) -> QString {
    const TSakumotsu* r = TCropResultList::RecordOf(Item);
    TAcisDB* db = Database();
    if (!r) return QString();
    if (!db) return QString::fromStdString(SakumotsuHint(*r, std::string()));
    // The crop list keeps every hint it made: hovering does not query again.
    THintQueryGuard keep(*db);
    return QString::fromStdString(FList->Hint(*r, *db));
  });
  return page;
}

// ---- settings ---------------------------------------------------------------------------------

void TfraSakumotsuBase::ReadOptions() {
  bool forward = true, treeUpper = true, listUpper = true, treeAuto = true, listAuto = true;
  if (std::unique_ptr<TIniFile> ini = OpenSettingsFile()) {
    forward = ini->ReadBool(SECTION_OPTIONS, "SakumotsuForwardMatch", true);
    treeUpper = ini->ReadBool(SECTION_OPTIONS, "SakumotsuTreeUpperOn", true);
    listUpper = ini->ReadBool(SECTION_OPTIONS, "SakumotsuListUpperOn", true);
    treeAuto = ini->ReadBool(SECTION_OPTIONS, "SakumotsuTreeAutoTekiyoView", true);
    listAuto = ini->ReadBool(SECTION_OPTIONS, "SakumotsuListAutoTekiyoView", true);
  }
  ForwardMatch = forward;
  actCheckUpperTree->setChecked(treeUpper);
  actCheckUpperList->setChecked(listUpper);
  actAutoTekiyoView->setChecked(treeAuto);
  actListAutoTekiyoView->setChecked(listAuto);
  actForwardMatch->setChecked(forward);
  actBroadMatch->setChecked(!forward);
}

void TfraSakumotsuBase::WriteOptions() {
  std::unique_ptr<TIniFile> ini = OpenSettingsFile();
  if (!ini) return;
  ini->WriteBool(SECTION_OPTIONS, "SakumotsuForwardMatch", ForwardMatch);
  ini->WriteBool(SECTION_OPTIONS, "SakumotsuTreeUpperOn", actCheckUpperTree->isChecked());
  ini->WriteBool(SECTION_OPTIONS, "SakumotsuListUpperOn", actCheckUpperList->isChecked());
  ini->WriteBool(SECTION_OPTIONS, "SakumotsuTreeAutoTekiyoView", actAutoTekiyoView->isChecked());
  ini->WriteBool(SECTION_OPTIONS, "SakumotsuListAutoTekiyoView", actListAutoTekiyoView->isChecked());
  try {
    ini->UpdateFile();
  } catch (const std::exception& e) {
    Log(std::string("TfraSakumotsuBase: ") + e.what());
  }
}

void TfraSakumotsuBase::LoadColumnWidths() {
  std::unique_ptr<TIniFile> ini = OpenSettingsFile();
  if (!ini) return;
  ::LoadColumnWidths(*ini, lvSakumotsu, "LvSakumotsuColumns", {80, 80, 100}, lvSakumotsu->MaxColumnWidth());
  ::LoadColumnWidths(*ini, lvBeppyo1, "LvBeppyo1Columns", {50, 50, 50, 100, 100, 50, 50});
  ::LoadColumnWidths(*ini, lvCVO, "LvCVOColumns", {50});
}

void TfraSakumotsuBase::SaveColumnWidths() {
  std::unique_ptr<TIniFile> ini = OpenSettingsFile();
  if (!ini) return;
  ::SaveColumnWidths(*ini, lvSakumotsu, "LvSakumotsuColumns");
  ::SaveColumnWidths(*ini, lvBeppyo1, "LvBeppyo1Columns");
  ::SaveColumnWidths(*ini, lvCVO, "LvCVOColumns");
  try {
    ini->UpdateFile();
  } catch (const std::exception& e) {
    Log(std::string("TfraSakumotsuBase: ") + e.what());
  }
}

void TfraSakumotsuBase::SetImageSize(int Size) {
  if (Size < 16) Size = 16;
  const QSize s(Size, Size);
  for (QToolBar* t : {tbSakumotsuTree, tbSakumotsuSearch, tbSakuMode, pgBeppyo->tbBeppyo}) t->setIconSize(s);
  tbUpperB->setIconSize(s);
  // Larger images need more room: the bars choose their captions again.
  for (QToolBar* t : {tbSakumotsuTree, tbSakumotsuSearch, tbSakuMode})
    if (t->width() > 0) FitToolBar(t, t->width());
}

// ---- database ---------------------------------------------------------------------------------

void TfraSakumotsuBase::SetDatabase(TDatabaseFn Fn) {
  FDatabase = std::move(Fn);
  UpdateCommands();
}

void TfraSakumotsuBase::UpdateCommands() {
  const bool db = Database() != nullptr;
  for (QAction* a : {actTreeExpand, actTreeCollapse, actTreeCheckOff, actAutoTekiyoView, actCheckUpperTree,
                     actSakumotsuListCheckALL, actSakumotsuListCheckOff, actForwardMatch, actBroadMatch,
                     actListAutoTekiyoView, actCheckUpperList})
    a->setEnabled(db);
  for (QWidget* w : std::initializer_list<QWidget*>{tvSakumotsu, edtInput, bSearch, lvSakumotsu, tbUpperB, cbLg, cbMg,
                                                    lvBeppyo1, cbFamily, lvCVO})
    w->setEnabled(db);
  tbTekiyo->setEnabled(db && !Selection.empty());
}

TAcisDB* TfraSakumotsuBase::Database() const { return FDatabase ? FDatabase() : nullptr; }

TUpperGroupFn TfraSakumotsuBase::UpperGroupFn() const {
  return [this](const std::string& Name) {
    TAcisDB* db = Database();
    return db ? db->UpperGroup(Name) : std::string();
  };
}

void TfraSakumotsuBase::Log(const std::string& Line) const {
  if (LogMemo) LogMemo(Line);
}

void TfraSakumotsuBase::BuildTree() {
  // Called whenever a database has been opened: the commands follow it.
  UpdateCommands();
  TAcisDB* db = Database();
  if (!db) return;
  ++FTreeUpdating;
  HintNode = nullptr;
  // A new database (after a data update) gets a new tree: the crops ticked and the branches
  // open before stay so, as the crop texts below the tree stay.
  std::set<std::string> ticked, open;
  ForEachTreeNode(tvSakumotsu, [&](QTreeWidgetItem* n) {
    if (const TSakumotsu* r = SakumotsuOfItem(n)) {
      if (tvSakumotsu->GetChecked(n)) ticked.insert(r->idsaku);
      if (n->isExpanded()) open.insert(r->idsaku);
    }
  });
  BuildCropTree(tvSakumotsu, *db, FList, FTreeImages, true, 4);
  if (!ticked.empty() || !open.empty()) {
    ForEachTreeNode(tvSakumotsu, [&](QTreeWidgetItem* n) {
      const TSakumotsu* r = SakumotsuOfItem(n);
      if (!r) return;
      if (ticked.count(r->idsaku)) tvSakumotsu->SetNodeChecked(n, true);
      if (open.count(r->idsaku)) n->setExpanded(true);
    });
  }
  --FTreeUpdating;
}

void TfraSakumotsuBase::LoadSpecTables() { pgBeppyo->LoadSpecTables(); }
void TfraSakumotsuBase::LoadCvoFamilies() { pgCvo->LoadCvoFamilies(); }
void TfraSakumotsuBase::LoadCvoTable() { pgCvo->LoadCvoTable(); }

QString TfraSakumotsuBase::TreeHint(QTreeWidgetItem* Item) {
  HintNode = Item;
  try {
    const TSakumotsu* r = SakumotsuOfItem(Item);
    if (!r) return "Error:EAccessViolation";
    const bool debug = QGuiApplication::mouseButtons() & Qt::RightButton;
    TAcisDB* db = Database();
    if (!db) return QString::fromStdString(debug ? SakumotsuHintDebug(*r, "") : SakumotsuHint(*r, ""));
    THintQueryGuard keep(*db);
    return QString::fromStdString(FList->Hint(*r, *db, debug));
  } catch (...) {
    return "Hint Error..";
  }
}

// ---- the two texts ----------------------------------------------------------------------------

bool TfraSakumotsuBase::MainMode() const { return FMain; }

void TfraSakumotsuBase::WriteTarget(const std::string& Text, const std::vector<std::string>& Added) {
  TChangeBatch batch(*this);
  const bool main = MainMode();
  QLineEdit* target = main ? eSakumotsu : eKinsetsuSakumotsu;
  target->clear();
  target->setText(QString::fromStdString(Text));
  // The change handlers forgot the added names of the old text; these belong to the new one.
  if (Text.empty()) return;
  (main ? SelectionAdded : KinsetsuAdded) = Added;
}

void TfraSakumotsuBase::eSakumotsuChange() {
  TChangeBatch batch(*this);
  const QString text = eSakumotsu->text();
  if (text.isEmpty()) {
    eKinsetsuSakumotsu->clear();
    // Neighbour crops need main crops: with none left the choice goes to the main side again.
    if (!FMain) SetMode(true);
  }
  tbKinsetsu->setEnabled(!text.isEmpty());
  eKinsetsuSakumotsu->setEnabled(!text.isEmpty());
  Selection = text.toStdString();
  tbTekiyo->setEnabled(!Selection.empty() && Database());
  SelectionAdded.clear();
  eSakumotsu->setToolTip(PlainHint(text));
  FChanged = true;
}

void TfraSakumotsuBase::eKinsetsuSakumotsuChange() {
  TChangeBatch batch(*this);
  const QString text = eKinsetsuSakumotsu->text();
  eKinsetsuSakumotsu->setToolTip(PlainHint(text));
  Kinsetsu = text.toStdString();
  KinsetsuAdded.clear();
  FChanged = true;
}

void TfraSakumotsuBase::EndChange() {
  emit SelectionChanged(!Selection.empty());
  const int page = pgSakumotsu->currentIndex();
  const bool autoSearch = (page == 0 && actAutoTekiyoView->isChecked()) || (page == 1 && actListAutoTekiyoView->isChecked());
  if (autoSearch && !Selection.empty()) emit SearchRequested();
}

// ---- tree ------------------------------------------------------------------------------------

void TfraSakumotsuBase::CollectTreeSelection() {
  TChangeBatch batch(*this);
  std::vector<const TSakumotsu*> checked;
  ++FTreeUpdating;
  ForEachTreeNode(tvSakumotsu, [&](QTreeWidgetItem* n) {
    if (!tvSakumotsu->GetChecked(n)) return;
    const TSakumotsu* r = SakumotsuOfItem(n);
    if (r && r->toroku == 0) {
      // A crop without any registration cannot stay chosen.
      tvSakumotsu->SetNodeChecked(n, false);
      return;
    }
    if (r) checked.push_back(r);
  });
  --FTreeUpdating;
  TTraceFn trace;
  if (DebugMode) trace = [this](const std::string& l) { Log(l); };
  std::vector<std::string> added;
  const std::vector<std::string> names =
      TreeSelectionNames(checked, actCheckUpperTree->isChecked(), UpperGroupFn(), trace, &added);
  WriteTarget(ListToCommaText(names), added);
}

void TfraSakumotsuBase::UncheckTree() {
  ++FTreeUpdating;
  tvSakumotsu->setUpdatesEnabled(false);
  ForEachTreeNode(tvSakumotsu, [&](QTreeWidgetItem* n) {
    if (tvSakumotsu->GetChecked(n)) tvSakumotsu->SetNodeChecked(n, false);
  });
  tvSakumotsu->setUpdatesEnabled(true);
  --FTreeUpdating;
}

void TfraSakumotsuBase::actTreeCheckOffExecute() {
  TChangeBatch batch(*this);
  UncheckTree();
  (MainMode() ? eSakumotsu : eKinsetsuSakumotsu)->clear();
}

void TfraSakumotsuBase::actTreeExpandExecute() {
  QTreeWidgetItem* n = tvSakumotsu->currentItem();
  if (!n) return;
  tvSakumotsu->setUpdatesEnabled(false);
  std::vector<QTreeWidgetItem*> stack{n};
  while (!stack.empty()) {
    QTreeWidgetItem* i = stack.back();
    stack.pop_back();
    i->setExpanded(true);
    for (int c = 0; c < i->childCount(); ++c) stack.push_back(i->child(c));
  }
  tvSakumotsu->setUpdatesEnabled(true);
}

void TfraSakumotsuBase::actTreeCollapseExecute() {
  tvSakumotsu->setUpdatesEnabled(false);
  tvSakumotsu->collapseAll();
  tvSakumotsu->setUpdatesEnabled(true);
}

void TfraSakumotsuBase::actCheckUpperTreeExecute() { CollectTreeSelection(); }

// ---- name search and result list -------------------------------------------------------------

void TfraSakumotsuBase::lvSakumotsuCheck() {
  TChangeBatch batch(*this);
  TTraceFn trace;
  if (DebugMode) {
    Log("上位グループ検索開始-----");
    trace = [this](const std::string& l) { Log(l); };
  }
  std::vector<std::string> added;
  const std::vector<std::string> names = ListSelectionNames(
      lvSakumotsu->CheckedRecords(), actCheckUpperList->isChecked(), UpperGroupFn(), nullptr, trace, &added);
  WriteTarget(ListToCommaText(names), added);
}

void TfraSakumotsuBase::SearchSakumotsu() {
  TAcisDB* db = Database();
  const std::string input = edtInput->text().toStdString();
  if (!db || input.empty()) return;
  if (DebugMode) {
    Log("TfraSakumotsuBase.SearchSakumotsu");
    Log("edtInput.Text -> " + input);
    Log("SearchStrSakumotsu -> " + SakumotsuWordsToKeys(input));
  }
  const std::string sql = SakumotsuSearchSql(input, ForwardMatch ? TCropMatch::Prefix : TCropMatch::Broad);
  if (sql.empty()) {
    // Only separators typed: nothing can match.
    lvSakumotsu->ClearRecords();
    return;
  }
  Log(sql);
  ShowSearchResult(sql);
}

void TfraSakumotsuBase::ShowSearchResult(const std::string& SQL) {
  TAcisDB* db = Database();
  if (!db) return;
  lvSakumotsu->ShowSearchResult(*db, SQL);
}

void TfraSakumotsuBase::edtInputEnter() {
  const std::string input = edtInput->text().toStdString();
  if (input.empty()) return;
  SearchSakumotsu();
  if (lvSakumotsu->topLevelItemCount() == 0) return;  // the crop text stays as it was
  QTreeWidgetItem* last = lvSakumotsu->CheckSameName(input);
  lvSakumotsuCheck();
  if (last) lvSakumotsu->setFocus();
}

void TfraSakumotsuBase::actSakumotsuListCheckALLExecute() {
  if (lvSakumotsu->topLevelItemCount() == 0) return;
  lvSakumotsu->SetAllChecked(true);
  lvSakumotsuCheck();
}

void TfraSakumotsuBase::actSakumotsuListCheckOffExecute() {
  if (lvSakumotsu->topLevelItemCount() == 0) return;
  lvSakumotsu->SetAllChecked(false);
  lvSakumotsuCheck();
}

void TfraSakumotsuBase::actForwardMatchExecute() {
  // The action has flipped its own check already.
  ForwardMatch = actForwardMatch->isChecked();
  actBroadMatch->setChecked(!ForwardMatch);
  SearchSakumotsu();
}

void TfraSakumotsuBase::actBroadMatchExecute() {
  ForwardMatch = !actBroadMatch->isChecked();
  actForwardMatch->setChecked(ForwardMatch);
  SearchSakumotsu();
}

void TfraSakumotsuBase::actCheckUpperListExecute() { edtInputEnter(); }

// ---- crop-group and CVO tables ---------------------------------------------------------------

void TfraSakumotsuBase::cbLgChange() { pgBeppyo->cbLgChange(); }
void TfraSakumotsuBase::cbMgChange() { pgBeppyo->cbMgChange(); }
void TfraSakumotsuBase::cbFamilyChange() { pgCvo->cbFamilyChange(); }

void TfraSakumotsuBase::lvBeppyo1Click() { WriteTarget(pgBeppyo->CurrentCropName()); }

void TfraSakumotsuBase::lvBeppyo1DblClick() {
  {
    TChangeBatch batch(*this);
    const std::string name = pgBeppyo->CurrentCropName();
    std::string text = name;
    std::vector<std::string> added;
    if (!name.empty() && tbUpperB->isChecked()) {
      const std::vector<std::string> names = SplitCropNames(UpperGroupFn()(name));
      text = ListToCommaText(names);
      added = AddedNames(names, {name});
    }
    WriteTarget(text, added);
  }
  if (!Selection.empty()) emit SearchRequested();
}

void TfraSakumotsuBase::lvCVOClick() { WriteTarget(pgCvo->CurrentCropNames()); }

void TfraSakumotsuBase::lvCVODblClick() {
  lvCVOClick();
  if (!Selection.empty()) emit SearchRequested();
}

// ---- mode --------------------------------------------------------------------------------------

void TfraSakumotsuBase::SetMode(bool Main) {
  FMain = Main;
  tbMain->setChecked(Main);
  tbKinsetsu->setChecked(!Main);
  const QColor window = palette().color(QPalette::Base), face = palette().color(QPalette::Button);
  auto colour = [](QLineEdit* e, QColor c) {
    QPalette p = e->palette();
    p.setColor(QPalette::Base, c);
    e->setPalette(p);
  };
  colour(eSakumotsu, Main ? window : face);
  colour(eKinsetsuSakumotsu, Main ? face : window);
}

void TfraSakumotsuBase::tbMainClick() {
  if (MainMode()) {
    SetMode(true);  // a second click leaves the mode as it is
    return;
  }
  TChangeBatch batch(*this);
  UncheckTree();
  eKinsetsuSakumotsu->clear();
  SetMode(true);
}

void TfraSakumotsuBase::tbKinsetsuClick() {
  if (!MainMode()) {
    SetMode(false);
    return;
  }
  TChangeBatch batch(*this);
  SetMode(false);
  UncheckTree();
  eKinsetsuSakumotsu->clear();
}

void TfraSakumotsuBase::ClearSelection() {
  TChangeBatch batch(*this);
  UncheckTree();
  lvSakumotsu->SetAllChecked(false);
  eSakumotsu->clear();
  eKinsetsuSakumotsu->clear();
}

void TfraSakumotsuBase::tbTekiyoClick() {
  if (!Selection.empty()) emit SearchRequested();
}

void TfraSakumotsuBase::tbSakuModeResize(int Width) {
  if (Width < 180) {
    tbMain->setText("作.");
    tbKinsetsu->setText("近.");
    tbTekiyo->setText("適用");
  } else if (Width < 235) {
    tbMain->setText("作物.");
    tbKinsetsu->setText("近接.");
    tbTekiyo->setText("適用");
  } else {
    tbMain->setText("主作物");
    tbKinsetsu->setText("近接作物");
    tbTekiyo->setText("適用検索");
  }
}

// ---- events ------------------------------------------------------------------------------------

void TfraSakumotsuBase::FitToolBar(QToolBar* Bar, int Width) {
  if (Bar == tbSakuMode) {
    tbSakuModeResize(Width);
    // Our captions may need more room than the width rule allows for: a shorter set rather
    // than a button hidden in the overflow menu.
    for (int shorter : {234, 179})
      if (ToolBarNeed(Bar) > Width && Width > shorter) tbSakuModeResize(shorter);
    return;
  }
  // The captioned commands show their image only when the captions do not fit (the caption
  // stays the button's hint).
  std::vector<QToolButton*> captioned;
  if (Bar == tbSakumotsuTree) captioned = {tbCheckClearTree, tbAutoTekiyoView};
  if (Bar == tbSakumotsuSearch) captioned = {bAutoTekiyoView};
  for (QToolButton* b : captioned) b->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
  if (ToolBarNeed(Bar) > Width)
    for (QToolButton* b : captioned) b->setToolButtonStyle(Qt::ToolButtonIconOnly);
}

bool TfraSakumotsuBase::eventFilter(QObject* Watched, QEvent* Event) {
  if ((Watched == tbSakuMode || Watched == tbSakumotsuTree || Watched == tbSakumotsuSearch) &&
      Event->type() == QEvent::Resize) {
    FitToolBar(static_cast<QToolBar*>(Watched), static_cast<QResizeEvent*>(Event)->size().width());
  } else if (Watched == tvSakumotsu && Event->type() == QEvent::KeyPress) {
    auto* key = static_cast<QKeyEvent*>(Event);
    if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
      if (!Selection.empty()) emit SearchRequested();
      tvSakumotsu->setFocus();
      return true;
    }
  }
  return QWidget::eventFilter(Watched, Event);
}
