// The crop-selection frame's controls: its two pages (tree and name search), the tables of
// crop groups and CVO, the tool bars and the crop boxes.
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

}  // namespace

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
