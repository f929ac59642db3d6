// The main window: construction of its controls and the start-up steps of the window
// (settings, layout, options) up to the point where it is shown.
#include "frontend/frm_main.h"

#include <Qsci/qscilexersql.h>
#include <Qsci/qsciscintilla.h>

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QComboBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QSpinBox>
#include <QSplitter>
#include <QStatusBar>
#include <QStyle>
#include <QTabWidget>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <tuple>
#include <typeinfo>

#include "database/acis_db.h"
#include "database/regex_utils.h"
#include "foundation/dlg_memo.h"
#include "foundation/font_rec.h"
#include "foundation/global.h"
#include "foundation/ini_file.h"
#include "foundation/message_sink.h"
#include "frontend/command_line.h"
#include "frontend/display_modes.h"
#include "frontend/filter_bar_layout.h"
#include "frontend/search_tab.h"
#include "output/xls_string_grid.h"

TfrmMain* frmMain = nullptr;

namespace {

template <typename W>
W* Named(W* w, const char* name) {
  w->setObjectName(QString::fromLatin1(name));
  return w;
}

QSplitter* NewSplitter(Qt::Orientation o, const char* name, QWidget* parent = nullptr) {
  auto* s = Named(new QSplitter(o, parent), name);
  s->setChildrenCollapsible(false);
  s->setHandleWidth(5);
  return s;
}

QWidget* NewPanel(const char* name, QWidget* parent = nullptr) { return Named(new QWidget(parent), name); }

// A panel that keeps a grid's place while the grid is hidden (grids show with their first
// result), so the splitter around it keeps its layout.
QWidget* GridHolder(QWidget* grid, const char* name) {
  QWidget* holder = NewPanel(name);
  auto* l = new QVBoxLayout(holder);
  l->setContentsMargins(0, 0, 0, 0);
  l->addWidget(grid);
  return holder;
}

QPushButton* NewButton(const QString& caption, const char* name, QWidget* parent = nullptr) {
  return Named(new QPushButton(caption, parent), name);
}

QComboBox* NewCombo(const char* name, bool editable, QWidget* parent = nullptr) {
  auto* c = Named(new QComboBox(parent), name);
  c->setEditable(editable);
  c->setMaxVisibleItems(12);
  return c;
}

QLineEdit* NewEdit(const char* name, QWidget* parent = nullptr) { return Named(new QLineEdit(parent), name); }

QWidget* NewPage(QTabWidget* pages, const char* name, const QString& caption, const QString& hint = {}) {
  QWidget* page = NewPanel(name);
  const int i = pages->addTab(page, caption);
  if (!hint.isEmpty()) pages->setTabToolTip(i, hint);
  return page;
}

}  // namespace

TfrmMain::TfrmMain(QWidget* parent) : QMainWindow(parent) {
  frmMain = this;
  setObjectName("frmMain");
  setWindowTitle("Quillmar");
  resize(1000, 700);
  FormCreate();
}

TfrmMain::~TfrmMain() {
  FormDestroy();
  if (frmMain == this) frmMain = nullptr;
}

// ---------------------------------------------------------------------------------------------
// Construction of the controls

void TfrmMain::BuildActions() {
  auto act = [this](const QString& caption, const char* name, const QKeySequence& key = {}) {
    auto* a = Named(new QAction(caption, this), name);
    if (!key.isEmpty()) {
      a->setShortcut(key);
      a->setShortcutContext(Qt::WindowShortcut);
    }
    addAction(a);
    return a;
  };
  QStyle* st = style();
  actCsvSave = act("CSV保存", "actCsvSave");
  actCsvSave->setIcon(st->standardIcon(QStyle::SP_DialogSaveButton));
  actHtmlSave = act("HTML保存", "actHtmlSave");
  actHtmlSave->setIcon(st->standardIcon(QStyle::SP_FileIcon));
  actCopyExcel = act("Excel出力", "actCopyExcel", QKeySequence("Ctrl+E"));
  actCopyExcelByHTML = act("Excel出力(HTML)", "actCopyExcelByHTML");
  actCopyOOoCalc = act("OpenOffice Calc出力", "actCopyOOoCalc");
  actCopyWPS = act("WPS出力", "actCopyWPS");
  actCopyJustCalc = act("JustCalc出力", "actCopyJustCalc");
  actCopyJustCalcByHTML = act("JustCalc出力(HTML)", "actCopyJustCalcByHTML");
  for (QAction* a : {actCopyExcel, actCopyExcelByHTML, actCopyOOoCalc, actCopyWPS, actCopyJustCalc,
                     actCopyJustCalcByHTML})
    a->setIcon(st->standardIcon(QStyle::SP_FileDialogDetailedView));
  actExportGrid = act("別窓", "actExportGrid");
  actExportGrid->setIcon(st->standardIcon(QStyle::SP_TitleBarNormalButton));
  actGridCopy = act("コピー(&C)", "actGridCopy", QKeySequence("Ctrl+C"));
  actGridCopy->setIcon(st->standardIcon(QStyle::SP_FileDialogContentsView));
  actGridAllCopy = act("全てコピー", "actGridAllCopy", QKeySequence("Ctrl+A"));
  actGridAllCopy->setIcon(st->standardIcon(QStyle::SP_FileDialogListView));
  actSearchTekiyou = act("検索", "actSearchTekiyou", QKeySequence("Ctrl+T"));
  actSearchTekiyou->setIcon(st->standardIcon(QStyle::SP_FileDialogStart));
  actSearchStrClear = act("条件消去", "actSearchStrClear");
  actSearchStrClear->setIcon(st->standardIcon(QStyle::SP_DialogResetButton));
  actTsusho = act("通称モード", "actTsusho");
  actTsusho->setCheckable(true);
  actRacKeito = act("RAC系統", "actRacKeito");
  actRacKeito->setCheckable(true);
  actCheckUpdate = act("データ更新", "actCheckUpdate", QKeySequence("Ctrl+Y"));
  actCheckUpdate->setIcon(st->standardIcon(QStyle::SP_BrowserReload));
  actOption = act("基本設定(&O)", "actOption");
  actStop = act("中止", "actStop");
  actYakuzaiPDFDown = act("PDFダウンロード", "actYakuzaiPDFDown");
  actCrossCheck = act("クロスチェック", "actCrossCheck");
  actGridAdjustWidth = act("列幅自動設定", "actGridAdjustWidth");
  actGridSeibunCopy = act("コピー", "actGridSeibunCopy");
  actGridSeibunAllCopy = act("全てコピー", "actGridSeibunAllCopy");
  // The ingredient grid's copies are reached from its own popup; their shortcuts work while it
  // has the focus (the result grids' Ctrl+C and Ctrl+A are window-wide).
  actGridSeibunCopy->setShortcutContext(Qt::WidgetShortcut);

  connect(actGridCopy, &QAction::triggered, this, [this] { actGridCopyExecute(); });
  connect(actGridAllCopy, &QAction::triggered, this, [this] { actGridAllCopyExecute(); });
  connect(actGridSeibunCopy, &QAction::triggered, this, [this] { actGridSeibunCopyExecute(); });
  connect(actGridSeibunAllCopy, &QAction::triggered, this, [this] { actGridSeibunAllCopyExecute(); });
  connect(actSearchTekiyou, &QAction::triggered, this, [this] { actSearchTekiyouExecute(); });
  connect(actSearchStrClear, &QAction::triggered, this, [this] { actSearchStrClearExecute(); });
  connect(actTsusho, &QAction::triggered, this, [this] { actTsushoExecute(); });
  connect(actRacKeito, &QAction::triggered, this, [this] { actRacKeitoExecute(); });
  connect(actCheckUpdate, &QAction::triggered, this, [this] { actCheckUpdateExecute(); });
  connect(actOption, &QAction::triggered, this, [this] { actOptionExecute(); });
  connect(actGridAdjustWidth, &QAction::triggered, this, [this] {
    if (CurrentGrid) AdjustGridColumnWidths(CurrentGrid);
  });
}

void TfrmMain::BuildMenus() {
  QMenuBar* mb = menuBar();
  mb->setObjectName("MainMenu");

  QMenu* mnFile = Named(mb->addMenu("ファイル(&F)"), "mnFile");
  mnFile->addAction(actCsvSave);
  QMenu* mnSpread = Named(mnFile->addMenu("SpreadSheet出力"), "mnSpreadSheet");
  mnSpread->addAction(actCopyExcel);
  mnSpread->addAction(actCopyOOoCalc);
  mnSpread->addAction(actCopyWPS);
  mnSpread->addAction(actCopyJustCalc);
  mnFile->addAction(actHtmlSave);
  mnPortaBase = Named(mnFile->addAction("PortaBase XML保存"), "mnPortaBase");
  mnPortaBase->setVisible(false);
  mnPortaBase->setEnabled(false);
  mnFile->addSeparator();
  mnOffline = Named(mnFile->addAction("オフライン作業(&W)"), "mnOffline");
  mnOffline->setCheckable(true);
  connect(mnOffline, &QAction::triggered, this, [this] { mnOfflineClick(); });
  mnFile->addSeparator();
  mnExit = Named(mnFile->addAction("終了(&X)"), "mnExit");
  connect(mnExit, &QAction::triggered, this, [this] { close(); });
  mnSakumotsuCheck = Named(mnFile->addAction("作物名辞書変換チェック"), "mnSakumotsuCheck");
  mnSakumotsuCheck->setVisible(false);

  QMenu* mnEdit = Named(mb->addMenu("編集(&E)"), "mnEdit");
  mnEdit->addAction(actGridCopy);
  mnEdit->addAction(actGridAllCopy);

  QMenu* mnSearch = Named(mb->addMenu("検索(&S)"), "mnSearch");
  mnSearch->addAction(actSearchTekiyou);
  mnSearch->addAction(actSearchStrClear);
  mnSearch->addSeparator();
  mnSearch->addAction(actTsusho);
  mnSearchSeibunView = Named(mnSearch->addMenu("成分1～5表示"), "mnSearchSeibunView");
  dmSeibun = Named(new QMenu(this), "dmSeibun");
  auto* svGroup = new QActionGroup(this);
  auto* dmGroup = new QActionGroup(this);
  for (int mode = 0; mode < kSeibunViewModes; ++mode) {
    const TSeibunViewModeInfo* info = SeibunViewModeInfo(mode);
    miSv[mode] = Named(mnSearchSeibunView->addAction(QString::fromUtf8(info->MenuCaption)), info->MenuItem);
    dmnSv[mode] = Named(dmSeibun->addAction(QString::fromUtf8(info->MenuCaption)), info->DropDownItem);
    for (QAction* a : {miSv[mode], dmnSv[mode]}) {
      a->setCheckable(true);
      a->setData(mode + 1);  // the tag: 1..5
      connect(a, &QAction::triggered, this, [this, mode] { dmnSeibunViewClick(mode + 1); });
    }
    svGroup->addAction(miSv[mode]);
    dmGroup->addAction(dmnSv[mode]);
  }
  mnSearchKeitoView = actRacKeito;
  mnSearch->addAction(actRacKeito);
  mnSearch->addSeparator();
  mnCheckUpdate = Named(new QAction("データ更新", this), "mnCheckUpdate");
  mnCheckUpdate->setShortcut(QKeySequence("Ctrl+U"));
  mnCheckUpdate->setIcon(actCheckUpdate->icon());
  connect(mnCheckUpdate, &QAction::triggered, actCheckUpdate, &QAction::trigger);
  connect(actCheckUpdate, &QAction::changed, mnCheckUpdate,
          [this] { mnCheckUpdate->setEnabled(actCheckUpdate->isEnabled()); });
  mnSearch->addAction(mnCheckUpdate);

  QMenu* mnConfig = Named(mb->addMenu("設定(&C)"), "mnConfig");
  mnConfig->addAction(actOption);
  mnRowSelect = Named(mnConfig->addAction("行選択モード(&R)"), "mnRowSelect");
  mnRowSelect->setCheckable(true);
  mnRowSelect->setShortcut(QKeySequence("Ctrl+R"));
  connect(mnRowSelect, &QAction::triggered, this, [this] { mnRowSelectClick(); });
  mnConfig->addSeparator();
  mnToolbarOn = Named(mnConfig->addAction("ツールバーを表示(&T)"), "mnToolbarOn");
  mnLogPaneOn = Named(mnConfig->addAction("トレースログペインを表示(&L)"), "mnLogPaneOn");
  mnStatusBarOn = Named(mnConfig->addAction("ステータスバーを表示(&S)"), "mnStatusBarOn");
  for (QAction* a : {mnToolbarOn, mnLogPaneOn, mnStatusBarOn}) a->setCheckable(true);
  connect(mnToolbarOn, &QAction::triggered, this, [this] { mnToolbarOnClick(); });
  connect(mnLogPaneOn, &QAction::triggered, this, [this] { mnLogPaneOnClick(); });
  connect(mnStatusBarOn, &QAction::triggered, this, [this] { mnStatusBarOnClick(); });

  QMenu* mnHelp = Named(mb->addMenu("ヘルプ(&H)"), "mnHelp");
  mnDocOpen = Named(mnHelp->addAction("オンラインヘルプ(&H)"), "mnDocOpen");
  mnDocOpen->setShortcut(QKeySequence(Qt::Key_F1));
  connect(mnDocOpen, &QAction::triggered, this, [this] { mnDocOpenClick(); });
  mnAbout = Named(mnHelp->addAction("バージョン情報(&A)"), "mnAbout");
  connect(mnAbout, &QAction::triggered, this, [this] { mnAboutClick(); });

  // The result grids' popup (its look-up items belong to the export actions).
  mnTekiyouGrid = Named(new QMenu(this), "mnTekiyouGrid");
  mnTekiyouGrid->addAction(actGridCopy);
  mnTekiyouGrid->addAction(actGridAllCopy);
  mnTekiyouGrid->addAction(actExportGrid);
  mnTekiyouGrid->addAction(actCopyExcel);
  mnTekiyouGrid->addAction(actHtmlSave);
  mnTekiyouGrid->addSeparator();
  pmnGridAdjustWidth = Named(mnTekiyouGrid->addAction("表示幅自動設定(&A)"), "pmnGridAdjustWidth");
  connect(pmnGridAdjustWidth, &QAction::triggered, actGridAdjustWidth, &QAction::trigger);
  pmnFixedClm = Named(mnTekiyouGrid->addAction("列固定(&F)"), "pmnFixedClm");
  connect(pmnFixedClm, &QAction::triggered, this, [this] { pmnFixedClmClick(); });
  pmnFixedClmOff = Named(mnTekiyouGrid->addAction("列固定解除(&U)"), "pmnFixedClmOff");
  connect(pmnFixedClmOff, &QAction::triggered, this, [this] { pmnFixedClmOffClick(); });
  mnTekiyouGrid->addSeparator();
  pmnGoogleTekiyo = Named(mnTekiyouGrid->addAction("Google検索"), "pmnGoogleTekiyo");
  mnTekiyouGrid->addSeparator();
  pmnRemoveClm = Named(mnTekiyouGrid->addAction("列削除"), "pmnRemoveClm");
  connect(pmnRemoveClm, &QAction::triggered, this, [this] { pmnRemoveClmClick(); });
  pmnRemoveRow = Named(mnTekiyouGrid->addAction("行削除"), "pmnRemoveRow");
  pmnRemoveRow->setShortcut(QKeySequence("Ctrl+X"));
  connect(pmnRemoveRow, &QAction::triggered, this, [this] { pmnRemoveRowClick(); });

  // The log pane's popup.
  pmnLog = Named(new QMenu(this), "pmnLog");
  pmnLogCopy = Named(pmnLog->addAction("コピー"), "pmnLogCopy");
  pmnLogCopy->setShortcut(QKeySequence("Ctrl+C"));
  pmnLogSelectAll = Named(pmnLog->addAction("全て選択"), "pmnLogSelectAll");
  pmnLogSelectAll->setShortcut(QKeySequence("Ctrl+A"));
  pmnLogSave = Named(pmnLog->addAction("ファイル保存"), "pmnLogSave");
  pmnLogSave->setShortcut(QKeySequence("Ctrl+S"));
}

void TfrmMain::BuildToolBar() {
  ToolBar = Named(addToolBar("ToolBar"), "ToolBar");
  ToolBar->setMovable(false);
  ToolBar->addAction(actHtmlSave);
  ToolBar->addAction(actExportGrid);
  btnExcel = Named(new QToolButton(ToolBar), "btnExcel");
  dmCalc = Named(new QMenu(this), "dmCalc");
  dmCalc->addAction(actCopyExcelByHTML);
  dmCalc->addAction(actCopyOOoCalc);
  dmCalc->addAction(actCopyWPS);
  dmCalc->addAction(actCopyJustCalcByHTML);
  btnExcel->setMenu(dmCalc);
  btnExcel->setPopupMode(QToolButton::MenuButtonPopup);
  btnExcel->setDefaultAction(actCopyExcelByHTML);
  ToolBar->addWidget(btnExcel);
  ToolBar->addAction(actGridCopy);
  ToolBar->addAction(actGridAllCopy);
  ToolBar->addSeparator();
  ToolBar->addAction(actSearchTekiyou);
  ToolBar->addAction(actSearchStrClear);
  ToolBar->addAction(actCheckUpdate);
  ToolBar->addSeparator();
  ToolBar->addAction(actTsusho);
  btnSeibunView = Named(new QToolButton(ToolBar), "btnSeibunView");
  btnSeibunView->setMenu(dmSeibun);
  btnSeibunView->setPopupMode(QToolButton::InstantPopup);
  ToolBar->addWidget(btnSeibunView);
  ToolBar->addAction(actRacKeito);
}

void TfrmMain::BuildStatusBar() {
  StatusBar = Named(statusBar(), "StatusBar");
  for (int i = 0; i < 5; ++i) {
    panels_[i] = Named(new QLabel(StatusBar), ("StatusPanel" + std::to_string(i)).c_str());
    panels_[i]->setMargin(2);
    if (i == 3) panels_[i]->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  }
  StatusBar->addWidget(panels_[0], 1);
  StatusBar->addWidget(panels_[1]);
  StatusBar->addWidget(panels_[2]);
  StatusBar->addPermanentWidget(panels_[3]);
  seGridCellLine = Named(new QSpinBox(StatusBar), "seGridCellLine");
  seGridCellLine->setRange(1, 9);
  seGridCellLine->setToolTip("セル内の行数");
  StatusBar->addPermanentWidget(seGridCellLine);
  connect(seGridCellLine, &QSpinBox::valueChanged, this, [this] { seGridCellLineChange(); });
}

void TfrmMain::BuildCropTab() {
  auto* lay = new QVBoxLayout(tabDefault);
  lay->setContentsMargins(2, 2, 2, 2);
  SplitterFraSakumotsu = NewSplitter(Qt::Horizontal, "SplitterFraSakumotsu");
  lay->addWidget(SplitterFraSakumotsu);

  // The crop-selection frame: its page control and the two selection boxes.
  fraSakumotsu = NewPanel("fraSakumotsu");
  auto* fl = new QVBoxLayout(fraSakumotsu);
  fl->setContentsMargins(0, 0, 0, 0);
  pgSakumotsu = Named(new QTabWidget(fraSakumotsu), "pgSakumotsu");
  NewPage(pgSakumotsu, "tabSakumotsuTree", "分類");
  NewPage(pgSakumotsu, "tabSakumotsuList", "作物名");
  NewPage(pgSakumotsu, "tabSakumotsuSearch", "検索");
  NewPage(pgSakumotsu, "tabSakumotsuBeppyo", "別表");
  fl->addWidget(pgSakumotsu, 1);
  fl->addWidget(new QLabel("作物"));
  eSakumotsu = NewEdit("eSakumotsu", fraSakumotsu);
  fl->addWidget(eSakumotsu);
  fl->addWidget(new QLabel("近接作物"));
  eKinsetsuSakumotsu = NewEdit("eKinsetsuSakumotsu", fraSakumotsu);
  fl->addWidget(eKinsetsuSakumotsu);
  SplitterFraSakumotsu->addWidget(fraSakumotsu);

  // Right side: the filter bar above the result grid. The bar's halves: pest and use
  // (pnlSakuLeft), purpose and formulation (pnlSakuRight); the option panel holds the
  // ingredient-count and class filters, which are not offered (hidden).
  pnlSakuGrid = NewPanel("pnlSakuGrid");
  auto* rl = new QVBoxLayout(pnlSakuGrid);
  rl->setContentsMargins(0, 0, 0, 0);
  rl->setSpacing(2);
  pnlSearchParam = NewPanel("pnlSearchParam");
  pnlSakuLeft = NewPanel("pnlSakuLeft");
  pnlSakuRight = NewPanel("pnlSakuRight");
  pnlSakuOpt = NewPanel("pnlSakuOpt");
  new TSakuBarLayout(pnlSearchParam, pnlSakuLeft, pnlSakuRight, pnlSakuOpt);
  pnlByochuSel = NewPanel("pnlByochuSel", pnlSakuLeft);
  pnlYotoSel = NewPanel("pnlYotoSel", pnlSakuLeft);
  pnlKeitoSel = NewPanel("pnlKeitoSel", pnlSakuOpt);
  pnlSeibunSel = NewPanel("pnlSeibunSel", pnlSakuOpt);
  btnByochu = NewButton("病害虫雑草", "btnByochu");
  cbByochu = NewCombo("cbByochu", true);
  btnMokuteki = NewButton("使用目的", "btnMokuteki");
  cbMokuteki = NewCombo("cbMokuteki", true);
  btnYoto = NewButton("用途", "btnYoto");
  edtYoto = NewEdit("edtYoto");
  btnZaikei = NewButton("剤型", "btnZaikei");
  cbZaikei = NewCombo("cbZaikei", true);
  btnKeito = NewButton("系統", "btnKeito");
  cbKeito = NewCombo("cbKeito", true);
  btnSeibun = NewButton("成分", "btnSeibun");
  cbKaisuSeibun = NewCombo("cbKaisuSeibun", true);
  // The left half: the pest row pnlByochuSel above the use row pnlYotoSel. The right half:
  // buttons in the first column, the boxes in the second, so that cbZaikei is always as wide
  // as cbMokuteki. The halves may be narrowed below their contents.
  auto* ll = new QVBoxLayout(pnlSakuLeft);
  ll->setSizeConstraint(QLayout::SetNoConstraint);
  ll->setContentsMargins(2, 2, 0, 2);
  ll->setSpacing(2);
  for (auto [row, button, box] : {std::tuple<QWidget*, QWidget*, QWidget*>{pnlByochuSel, btnByochu, cbByochu},
                                  std::tuple<QWidget*, QWidget*, QWidget*>{pnlYotoSel, btnYoto, edtYoto}}) {
    auto* hl = new QHBoxLayout(row);
    hl->setSizeConstraint(QLayout::SetNoConstraint);
    hl->setContentsMargins(0, 0, 0, 0);
    hl->setSpacing(2);
    hl->addWidget(button);
    hl->addWidget(box, 1);
    ll->addWidget(row);
  }
  const int leftButtons = std::max(btnByochu->sizeHint().width(), btnYoto->sizeHint().width());
  btnByochu->setMinimumWidth(leftButtons);
  btnYoto->setMinimumWidth(leftButtons);
  auto* rg = new QGridLayout(pnlSakuRight);
  rg->setSizeConstraint(QLayout::SetNoConstraint);
  rg->setContentsMargins(2, 2, 2, 2);
  rg->setHorizontalSpacing(2);
  rg->setVerticalSpacing(2);
  rg->addWidget(btnMokuteki, 0, 0);
  rg->addWidget(cbMokuteki, 0, 1);
  rg->addWidget(btnZaikei, 1, 0);
  rg->addWidget(cbZaikei, 1, 1);
  rg->setColumnStretch(1, 1);
  auto* ol = new QHBoxLayout(pnlSakuOpt);
  ol->setContentsMargins(0, 0, 0, 0);
  for (auto [panel, button, box] : {std::tuple<QWidget*, QWidget*, QWidget*>{pnlSeibunSel, btnSeibun, cbKaisuSeibun},
                                    std::tuple<QWidget*, QWidget*, QWidget*>{pnlKeitoSel, btnKeito, cbKeito}}) {
    auto* pl = new QHBoxLayout(panel);
    pl->setContentsMargins(0, 0, 0, 0);
    pl->addWidget(box);
    pl->addWidget(button);
    ol->addWidget(panel);
  }
  // Never shown.
  pnlKeitoSel->hide();
  pnlSeibunSel->hide();
  pnlSakuOpt->hide();
  // The bar keeps the height of its rows; while the grid waits for its first result the
  // room below stays empty.
  pnlSearchParam->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
  rl->addWidget(pnlSearchParam);
  gdTekiyo = CreateResultGrid(pnlSakuGrid, "gdTekiyo");
  rl->addWidget(gdTekiyo, 1);
  rl->addStretch(0);
  SplitterFraSakumotsu->addWidget(pnlSakuGrid);
  SplitterFraSakumotsu->setStretchFactor(1, 1);
}

void TfrmMain::BuildPestTab() {
  auto* lay = new QVBoxLayout(tabByochu);
  lay->setContentsMargins(2, 2, 2, 2);
  pnlTabByochuTop = NewPanel("pnlTabByochuTop");
  auto* top = new QHBoxLayout(pnlTabByochuTop);
  top->setContentsMargins(0, 0, 0, 0);
  top->addWidget(new QLabel("病害虫名"));
  edtByochu = NewEdit("edtByochu");
  top->addWidget(edtByochu, 1);
  btnTabByochu = NewButton("病害虫選択", "btnTabByochu");
  top->addWidget(btnTabByochu);
  btnTabByochuSaku = NewButton("作物", "btnTabByochuSaku");
  top->addWidget(btnTabByochuSaku);
  cbTabByochuSakumotu = NewCombo("cbTabByochuSakumotu", false);
  cbTabByochuSakumotu->setMinimumWidth(160);
  top->addWidget(cbTabByochuSakumotu);
  lay->addWidget(pnlTabByochuTop);
  gdByochu = CreateResultGrid(tabByochu, "gdByochu");
  lay->addWidget(gdByochu, 1);
}

void TfrmMain::BuildChemicalTab() {
  auto* lay = new QVBoxLayout(tabYakuzai);
  lay->setContentsMargins(2, 2, 2, 2);
  SplitterYakuzaiSide = NewSplitter(Qt::Horizontal, "SplitterYakuzaiSide");
  lay->addWidget(SplitterYakuzaiSide);

  pnlYakuzaiSide = NewPanel("pnlYakuzaiSide");
  auto* side = new QVBoxLayout(pnlYakuzaiSide);
  side->setContentsMargins(0, 0, 0, 0);
  pnlYakuzaiSideUp = NewPanel("pnlYakuzaiSideUp");
  auto* up = new QGridLayout(pnlYakuzaiSideUp);
  up->setContentsMargins(0, 0, 0, 0);
  up->addWidget(new QLabel("作物候補"), 0, 0, 1, 3);
  eYakuzaiTabSakumotsu = NewEdit("eYakuzaiTabSakumotsu");
  up->addWidget(eYakuzaiTabSakumotsu, 1, 0);
  bYakuzaiTabSakumotsuClear = Named(new QToolButton, "bYakuzaiTabSakumotsuClear");
  bYakuzaiTabSakumotsuClear->setText("×");
  up->addWidget(bYakuzaiTabSakumotsuClear, 1, 1);
  bYakuzaiTabSakuSel = NewButton("作", "bYakuzaiTabSakuSel");
  bYakuzaiTabSakuSel->setToolTip("作物名選択");
  up->addWidget(bYakuzaiTabSakuSel, 1, 2);
  up->addWidget(new QLabel("薬剤候補"), 2, 0, 1, 3);
  eYakuzai = NewEdit("eYakuzai");
  up->addWidget(eYakuzai, 3, 0);
  bYakuzaiTabYakuzaiClear = Named(new QToolButton, "bYakuzaiTabYakuzaiClear");
  bYakuzaiTabYakuzaiClear->setText("×");
  up->addWidget(bYakuzaiTabYakuzaiClear, 3, 1);
  btnYakuzaiSel = NewButton("薬", "btnYakuzaiSel");
  btnYakuzaiSel->setToolTip("薬剤名選択");
  up->addWidget(btnYakuzaiSel, 3, 2);
  cbYotoTabYakuzai = NewCombo("cbYotoTabYakuzai", false);
  up->addWidget(cbYotoTabYakuzai, 4, 0, 1, 3);
  up->setColumnStretch(0, 1);
  for (QPushButton* b : {bYakuzaiTabSakuSel, btnYakuzaiSel}) b->setMaximumWidth(32);
  side->addWidget(pnlYakuzaiSideUp);

  SplitterYakuzaiList = NewSplitter(Qt::Vertical, "SplitterYakuzaiList");
  pgYakuzaiSide = Named(new QTabWidget, "pgYakuzaiSide");
  tabTsusho = NewPage(pgYakuzaiSide, "tabTsusho", "通称");
  tabBango = NewPage(pgYakuzaiSide, "tabBango", "登録番号");
  lstTsusho = Named(new QListWidget(tabTsusho), "lstTsusho");
  (new QVBoxLayout(tabTsusho))->addWidget(lstTsusho);
  lstBango = Named(new QListWidget(tabBango), "lstBango");
  (new QVBoxLayout(tabBango))->addWidget(lstBango);
  for (QWidget* p : {tabTsusho, tabBango}) p->layout()->setContentsMargins(0, 0, 0, 0);
  SplitterYakuzaiList->addWidget(pgYakuzaiSide);
  pgYakuzaiSideSeibun = Named(new QTabWidget, "pgYakuzaiSideSeibun");
  pgYakuzaiSideSeibun->setMovable(true);  // the related-product pages can be dragged
  tabSeibun = NewPage(pgYakuzaiSideSeibun, "tabSeibun", "成分", "同一有効成分を含む剤");
  tabKeito = NewPage(pgYakuzaiSideSeibun, "tabKeito", "系統", "同一系統の剤");
  tabSayoten = NewPage(pgYakuzaiSideSeibun, "tabSayoten", "作用点", "作用点が同一の剤");
  tabRac = NewPage(pgYakuzaiSideSeibun, "tabRac", "RAC", "RACコードが同一の剤");
  tabSeibunPlural = NewPage(pgYakuzaiSideSeibun, "tabSeibunPlural", "複数", "全ての有効成分を含む剤");
  tabRacKeito = NewPage(pgYakuzaiSideSeibun, "tabRacKeito", "RAC系統", "RAC系統が同一の剤");
  SplitterYakuzaiList->addWidget(pgYakuzaiSideSeibun);
  SplitterYakuzaiList->setStretchFactor(0, 1);
  side->addWidget(SplitterYakuzaiList, 1);
  SplitterYakuzaiSide->addWidget(pnlYakuzaiSide);

  // Right side: the product sheet above the registered uses.
  SplitterYakuzaiTekiyo = NewSplitter(Qt::Vertical, "SplitterYakuzaiTekiyo");
  pnlYakuzaiUpper = NewPanel("pnlYakuzaiUpper");
  auto* upper = new QHBoxLayout(pnlYakuzaiUpper);
  upper->setContentsMargins(0, 0, 0, 0);
  SplitterSeizai = NewSplitter(Qt::Horizontal, "SplitterSeizai");
  upper->addWidget(SplitterSeizai);
  // Product choice and product grid at the left, the ingredient grid in the middle, the
  // aquatic-toxicity notes at the right.
  pnlYakuzaiTop = NewPanel("pnlYakuzaiTop");
  auto* topl = new QVBoxLayout(pnlYakuzaiTop);
  topl->setContentsMargins(0, 0, 0, 0);
  SplitterYakuzaiSeibun = NewSplitter(Qt::Vertical, "SplitterYakuzaiSeibun");
  topl->addWidget(SplitterYakuzaiSeibun);
  pnlYakuzaiSelect = NewPanel("pnlYakuzaiSelect");
  auto* sel = new QVBoxLayout(pnlYakuzaiSelect);
  sel->setContentsMargins(0, 0, 0, 0);
  cbYakuzai = NewCombo("cbYakuzai", true);
  sel->addWidget(cbYakuzai);
  sel->addStretch(1);
  SplitterYakuzaiSeibun->addWidget(pnlYakuzaiSelect);
  gdSeizai = CreateResultGrid(nullptr, "gdSeizai");
  SplitterYakuzaiSeibun->addWidget(GridHolder(gdSeizai, "pnlSeizai"));
  SplitterYakuzaiSeibun->setStretchFactor(1, 1);
  SplitterSeizai->addWidget(pnlYakuzaiTop);
  gdSeibun = CreateResultGrid(nullptr, "gdSeibun");
  SplitterSeizai->addWidget(GridHolder(gdSeibun, "pnlSeibun"));
  mSuisan = Named(new QPlainTextEdit, "mSuisan");
  mSuisan->setReadOnly(true);
  SplitterSeizai->addWidget(mSuisan);
  SplitterSeizai->setStretchFactor(1, 1);
  SplitterYakuzaiTekiyo->addWidget(pnlYakuzaiUpper);
  gdYakuzai = CreateResultGrid(nullptr, "gdYakuzai");
  SplitterYakuzaiTekiyo->addWidget(GridHolder(gdYakuzai, "pnlYakuzai"));
  SplitterYakuzaiTekiyo->setStretchFactor(1, 1);
  SplitterYakuzaiSide->addWidget(SplitterYakuzaiTekiyo);
  SplitterYakuzaiSide->setStretchFactor(1, 1);
}

void TfrmMain::BuildTemplateTab() {
  auto* lay = new QVBoxLayout(tshTemplate);
  lay->setContentsMargins(0, 0, 0, 0);
  // The template page docks here; until it does, the panel holds the page's result grid.
  fplTemplate = NewPanel("fplTemplate");
  auto* fl = new QVBoxLayout(fplTemplate);
  fl->setContentsMargins(2, 2, 2, 2);
  TemplateGrid = CreateResultGrid(fplTemplate, "gdTemplate");
  fl->addWidget(TemplateGrid, 1);
  lay->addWidget(fplTemplate);
}

void TfrmMain::BuildSqlTab() {
  auto* lay = new QVBoxLayout(tabSQL);
  lay->setContentsMargins(2, 2, 2, 2);
  SplitterSqlSide = NewSplitter(Qt::Horizontal, "SplitterSqlSide");
  lay->addWidget(SplitterSqlSide);
  pnlSqlSide = NewPanel("pnlSqlSide");
  auto* side = new QVBoxLayout(pnlSqlSide);
  side->setContentsMargins(0, 0, 0, 0);
  side->addWidget(new QLabel("テーブル"));
  cbTableName = NewCombo("cbTableName", false);
  cbTableName->addItems({"テーブル", "ビュー", "一時テーブル"});
  side->addWidget(cbTableName);
  side->addWidget(Named(new QListWidget, "lstTableName"), 1);
  SplitterSqlSide->addWidget(pnlSqlSide);

  SplitterSQL = NewSplitter(Qt::Vertical, "SplitterSQL");
  pnlSQL = NewPanel("pnlSQL");
  auto* sl = new QVBoxLayout(pnlSQL);
  sl->setContentsMargins(0, 0, 0, 0);
  SQLEditor = Named(new QsciScintilla(pnlSQL), "SQLEditor");
  SQLEditor->setUtf8(true);
  SQLHighlighter = new QsciLexerSQL(SQLEditor);
  SQLHighlighter->setObjectName("SQLHighlighter");
  SQLEditor->setLexer(SQLHighlighter);
  sl->addWidget(SQLEditor, 1);
  auto* buttons = new QHBoxLayout;
  btnQueryExec = NewButton("実行", "btnQueryExec");
  btnQuerySave = NewButton("保存", "btnQuerySave");
  btnQueryLoad = NewButton("読込", "btnQueryLoad");
  btnTest = NewButton("TEST", "btnTest", pnlSQL);
  btnTest->hide();
  btnTest->setEnabled(false);
  buttons->addWidget(btnQueryExec);
  buttons->addWidget(btnQuerySave);
  buttons->addWidget(btnQueryLoad);
  buttons->addStretch(1);
  sl->addLayout(buttons);
  SplitterSQL->addWidget(pnlSQL);
  gdSQL = CreateResultGrid(nullptr, "gdSQL");
  SplitterSQL->addWidget(GridHolder(gdSQL, "pnlSqlGrid"));
  SplitterSQL->setStretchFactor(1, 1);
  SplitterSqlSide->addWidget(SplitterSQL);
  SplitterSqlSide->setStretchFactor(1, 1);
  connect(btnQueryExec, &QPushButton::clicked, actSearchTekiyou, &QAction::trigger);
  connect(btnTest, &QPushButton::clicked, this, [this] { TDlgMemo::ShowModal(this, QString(), QString(), QString()); });
}

void TfrmMain::BuildPages() {
  SplitterGrid = NewSplitter(Qt::Vertical, "SplitterGrid");
  pgSearch = Named(new QTabWidget, "pgSearch");
  tabDefault = NewPage(pgSearch, "tabDefault", "作物");
  tabByochu = NewPage(pgSearch, "tabByochu", "病害虫");
  tabYakuzai = NewPage(pgSearch, "tabYakuzai", "薬剤");
  tshTemplate = NewPage(pgSearch, "tshTemplate", "定型処理");
  tabSQL = NewPage(pgSearch, "tabSQL", "SQL");
  BuildCropTab();
  BuildPestTab();
  BuildChemicalTab();
  BuildTemplateTab();
  BuildSqlTab();
  SplitterGrid->addWidget(pgSearch);
  mLog = Named(new QPlainTextEdit, "mLog");
  mLog->setReadOnly(true);
  mLog->setLineWrapMode(QPlainTextEdit::NoWrap);
  mLog->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(mLog, &QPlainTextEdit::customContextMenuRequested, this, [this](const QPoint& p) { ShowLogPopup(p); });
  SplitterGrid->addWidget(mLog);
  // The log pane may be made as small as one line, or pushed out of sight.
  mLog->setMinimumHeight(16);
  SplitterGrid->setCollapsible(1, true);
  SplitterGrid->setStretchFactor(0, 1);
  SplitterGrid->setStretchFactor(1, 0);
  setCentralWidget(SplitterGrid);
  connect(pgSearch, &QTabWidget::currentChanged, this, [this] { pgSearchChange(); });

  // Designed sizes of the panes (the settings file may give others).
  SetPaneSize(fraSakumotsu, 240);
  SetPaneSize(mLog, 80);
  SetPaneSize(pnlYakuzaiSide, 150);
  SetPaneSize(pgYakuzaiSideSeibun, 120);
  SetPaneSize(pnlYakuzaiUpper, 180);
  SetPaneSize(pnlYakuzaiTop, 260);
  SetPaneSize(pnlYakuzaiSelect, 60);
  SetPaneSize(mSuisan, 160);
  SetPaneSize(pnlSqlSide, 105);
  SetPaneSize(pnlSQL, 120);
  for (QSplitter* s : findChildren<QSplitter*>()) {
    s->installEventFilter(this);
    // A size the user drags is the pane's size from then on.
    connect(s, &QSplitter::splitterMoved, this, [this, s] {
      if (applyingSizes_) return;
      for (int i = 0; i < s->count(); ++i) pendingSizes_.erase(s->widget(i));
    });
    // Panes may be made small; their sizes are the user's.
    for (int i = 0; i < s->count(); ++i) {
      QWidget* pane = s->widget(i);
      if (s->orientation() == Qt::Horizontal)
        pane->setMinimumWidth(std::max(pane->minimumWidth(), 16));
      else
        pane->setMinimumHeight(std::max(pane->minimumHeight(), 16));
    }
  }
}

// ---------------------------------------------------------------------------------------------
// FormCreate

void TfrmMain::FormCreate() {
  // 1. Screen scale.
  if (QScreen* scr = QGuiApplication::primaryScreen()) ScaleFactor = static_cast<float>(scr->logicalDotsPerInch() / 96.0);

  BuildActions();
  BuildMenus();
  BuildToolBar();
  BuildPages();
  BuildStatusBar();

  // 2. The crop frame is shown with the window's font.
  fraSakumotsu->show();
  fraSakumotsu->setFont(font());

  // 3.-5. Settings, window placement, layout.
  LoadSettings();
  // 6. Command line.
  ParseCommandLine();
  // 7.-13. Options.
  ApplyOptions();

  // 14. Actions before any database exists.
  actCheckUpdate->setEnabled(true);
  for (QAction* a : {actSearchTekiyou, actYakuzaiPDFDown, actStop, actCsvSave, actHtmlSave, actGridCopy,
                     actGridAllCopy, actCrossCheck})
    a->setEnabled(false);
  actTsusho->setChecked(OptionData->TushoMode);
  SetSeibunViewMode(OptionData->SeibunViewMode);
  // The stored RAC mode as written in the file: 0 off, 1 on, anything else leaves RAC off
  // (and is stored as off again).
  int keito = OptionData->KeitoViewMode;
  try {
    keito = TIniFile(OptionData->IniFileName).ReadInteger(SECTION_OPTIONS, "KeitoViewMode", keito);
  } catch (const std::exception&) {
  }
  if (keito == 0) {
    actRacKeito->setChecked(false);
    RacKeitoOn = false;
  } else if (keito == 1) {
    actRacKeito->setChecked(true);
    RacKeitoOn = true;
  } else {
    OptionData->KeitoViewMode = 0;
  }

  // 15. The spreadsheet button carries the stored target's action.
  switch (OptionData->SpreadSheet) {
    case 0: btnExcel->setDefaultAction(actCopyExcelByHTML); break;
    case 1:
      btnExcel->setDefaultAction(actCopyOOoCalc);
      actCopyOOoCalc->setIconText("Calc出力");
      break;
    case 2: btnExcel->setDefaultAction(actCopyWPS); break;
    case 3: btnExcel->setDefaultAction(actCopyJustCalcByHTML); break;
    default: break;
  }

  // 16. Filter controls wait for a result.
  for (QWidget* w : std::initializer_list<QWidget*>{btnByochu, cbByochu, btnMokuteki, cbMokuteki, btnYoto, edtYoto,
                                                    btnZaikei, cbZaikei, btnTabByochuSaku, cbTabByochuSakumotu})
    w->setEnabled(false);
  cbZaikei->setMaxVisibleItems(12);
  cbTableName->setCurrentIndex(0);
  for (QAction* a : {pmnGridAdjustWidth, pmnFixedClm, pmnFixedClmOff, pmnGoogleTekiyo}) a->setEnabled(false);

  // 18. Grids are shown when they first receive a result.
  GridStates[tiSakumotsu].Grid = gdTekiyo;
  GridStates[tiByochu].Grid = gdByochu;
  GridStates[tiYakuzai].Grid = gdYakuzai;
  GridStates[tiTemplate].Grid = TemplateGrid;
  GridStates[tiSQL].Grid = gdSQL;
  for (TGridState& g : GridStates) g.Grid->hide();
  gdSeibun->hide();
  gdSeizai->hide();

  // 19. Opening tab.
  pgSearch->setCurrentIndex(tiSakumotsu);
  CurrentGrid = gdTekiyo;
  EnableResultActions(false);
  pgYakuzaiSide->setCurrentWidget(tabTsusho);

  // 20. Lines per cell.
  for (int i = 0; i < kSearchTabs; ++i) GridStates[i].CellLines = ClampCellLines(*OptionData->GridCellLine(i));
  {
    const QSignalBlocker block(seGridCellLine);
    seGridCellLine->setValue(GridStates[0].CellLines);
  }

  // 21. Row selection.
  mnRowSelect->setChecked(OptionData->GridRowSelect);
  SetGridsRowSelect();

  // 22. Initial state of the pages.
  pgSearchChange();

  // 26.-28.
  IsStartUp = true;
  TidyDatabaseFolder();
}

void TfrmMain::LoadSettings() {
  // 3. The settings; a failure is shown and start-up goes on with what the object holds.
  try {
    OptionData->Load();
  } catch (const EConvertError& e) {
    ShowMessageBox(TMsgKind::Error, "Quillmar", std::string(EConvertError::ClassName()) + "\n" + e.what());
  } catch (const std::exception& e) {
    ShowMessageBox(TMsgKind::Error, "Quillmar", std::string("Exception\n") + e.what());
  }
  try {
    TIniFile ini(OptionData->IniFileName);
    RestoreWindowPlacement(ini);
    RestoreLayout(ini);
  } catch (const std::exception& e) {
    ShowMessageBox(TMsgKind::Error, "Quillmar", std::string("Exception\n") + e.what());
  }
}

void TfrmMain::ApplyOptions() {
  TOptionData& o = *OptionData;
  // 7. Tool bar.
  ApplyToolbarStyle();
  ToolBar->setVisible(o.ToolBarVisible);
  mnToolbarOn->setChecked(o.ToolBarVisible);
  // 8. Offline.
  mnOffline->setChecked(o.OffLine || CmdOffline);
  UpdateCaption();
  // 9. Panels.
  pnlSearchParam->setVisible(o.SearchPanelVisible);
  mLog->setVisible(o.LogPaneVisible);
  mnLogPaneOn->setChecked(o.LogPaneVisible);
  StatusBar->setVisible(o.StatusBarVisible);
  mnStatusBarOn->setChecked(o.StatusBarVisible);
  SetPaneSize(mLog, o.LogPaneHeight);
  // A panel without a stored size keeps its designed one.
  auto stored = [this](QWidget* pane, int size) {
    if (size > 0) SetPaneSize(pane, size);
  };
  stored(pnlSQL, o.SQLEditHeight);
  stored(pnlYakuzaiSide, o.YakuzaiSidePanelWidth);
  stored(pgYakuzaiSideSeibun, o.YakuzaiSideSeibunListHeight);
  stored(pnlSqlSide, o.SQLSidePanelWidth);

  // 10. Fonts.
  if (!o.MainFormFont.Name.empty()) {
    QFont f = font();
    FontRecToFont(o.MainFormFont, f);
    setFont(f);
  }
  ApplySqlEditorSettings();
  if (!o.TekiyouFont.Name.empty()) {
    for (TXlsStringGrid* g : {gdTekiyo, gdByochu, gdYakuzai, gdSQL, gdSeibun}) {
      QFont f = g->font();
      FontRecToFont(o.TekiyouFont, f);
      g->setFont(f);
    }
  }
  EvenRowFont = gdTekiyo->font();
  if (!o.Tekiyou2Font.Name.empty()) FontRecToFont(o.Tekiyou2Font, EvenRowFont);
  if (!o.SeibunGridFont.Name.empty()) {
    QFont f = gdSeibun->font();
    FontRecToFont(o.SeibunGridFont, f);
    gdSeibun->setFont(f);
  }
  if (!o.LogFont.Name.empty()) {
    QFont f = mLog->font();
    FontRecToFont(o.LogFont, f);
    mLog->setFont(f);
  }

  // 11. Colours.
  for (TXlsStringGrid* g : {gdTekiyo, gdByochu, gdYakuzai, gdSQL}) {
    QPalette p = g->palette();
    p.setColor(QPalette::Base, ColorToQColor(o.TekiyouColor));
    g->setPalette(p);
  }
  {
    QPalette p = mLog->palette();
    p.setColor(QPalette::Base, ColorToQColor(o.LogColor));
    mLog->setPalette(p);
  }
  if (SQLHighlighter) SQLHighlighter->setPaper(ColorToQColor(o.SQLEditColor));

  // 12. The chemical tab's clear buttons are hidden.
  bYakuzaiTabYakuzaiClear->hide();
  bYakuzaiTabSakumotsuClear->hide();

  // 13. Tablet mode: wider splitters and taller tabs.
  if (o.TabletMode) {
    for (QSplitter* s : findChildren<QSplitter*>()) s->setHandleWidth(std::max(1, o.TabletSplitterWidth));
    const QString css = QString("QTabBar::tab { min-height: %1px; }").arg(std::max(10, o.TabletTabHeight));
    for (QTabWidget* t : {pgSearch, pgSakumotsu.data(), pgYakuzaiSide, pgYakuzaiSideSeibun})
      if (t) t->setStyleSheet(css);
  }
}

void TfrmMain::ApplySqlEditorSettings() {
  if (!SQLEditor) return;
  const TOptionData& o = *OptionData;
  QFont f = SQLEditor->font();
  if (!o.SQLEditFont.Name.empty()) {
    f.setFamily(QString::fromStdString(o.SQLEditFont.Name));
    if (o.SQLEditFont.Size != 0) f.setPointSize(std::abs(o.SQLEditFont.Size));
  }
  SQLHighlighter->setDefaultFont(f);
  SQLHighlighter->setFont(f);
  SQLEditor->SendScintilla(QsciScintilla::SCI_SETEXTRAASCENT, o.SQLEditorLineSpace / 2);
  SQLEditor->SendScintilla(QsciScintilla::SCI_SETEXTRADESCENT, o.SQLEditorLineSpace - o.SQLEditorLineSpace / 2);
  SQLEditor->setMarginLineNumbers(0, o.SQLEditorLineNumber);
  SQLEditor->setMarginWidth(0, o.SQLEditorLineNumber ? QString("00000") : QString());
  if (o.SQLEditorRightEdge > 0) {
    SQLEditor->setEdgeMode(QsciScintilla::EdgeLine);
    SQLEditor->setEdgeColumn(o.SQLEditorRightEdge);
  } else {
    SQLEditor->setEdgeMode(QsciScintilla::EdgeNone);
  }
  SQLEditor->setWrapMode(o.SQLEditorWordwrap ? QsciScintilla::WrapWord : QsciScintilla::WrapNone);

  // Highlighter attributes: a colour is the foreground; bold makes the style exactly bold or
  // plain, except comments, where bold and italic are added or removed one by one.
  auto attr = [this, &f](std::initializer_list<int> styles, TColor color, bool bold) {
    for (int s : styles) {
      SQLHighlighter->setColor(ColorToQColor(color), s);
      QFont sf = f;
      sf.setBold(bold);
      sf.setItalic(false);
      SQLHighlighter->setFont(sf, s);
    }
  };
  attr({QsciLexerSQL::Keyword}, o.SQLKeywordColor, o.SQLKeywordBold);
  for (int s : {QsciLexerSQL::Comment, QsciLexerSQL::CommentLine, QsciLexerSQL::CommentDoc,
                QsciLexerSQL::CommentLineHash}) {
    SQLHighlighter->setColor(ColorToQColor(o.SQLCommentColor), s);
    QFont sf = SQLHighlighter->font(s);
    sf.setBold(o.SQLCommentBold);
    sf.setItalic(o.SQLCommentItalic);
    SQLHighlighter->setFont(sf, s);
  }
  attr({QsciLexerSQL::KeywordSet5}, o.SQLFunctionColor, o.SQLFunctionBold);
  attr({QsciLexerSQL::KeywordSet6}, o.SQLDatatypeColor, o.SQLDatatypeBold);
  attr({QsciLexerSQL::KeywordSet7}, o.SQLTableNameColor, o.SQLTableNameBold);
  attr({QsciLexerSQL::Number}, o.SQLNumberColor, o.SQLNumberBold);
  attr({QsciLexerSQL::SingleQuotedString, QsciLexerSQL::DoubleQuotedString}, o.SQLStringColor, o.SQLStringBold);
  attr({QsciLexerSQL::PlusPrompt}, o.SQLPLsqlColor, o.SQLPLsqlBold);
  attr({QsciLexerSQL::Identifier, QsciLexerSQL::QuotedIdentifier}, o.SQLIdentifierColor, o.SQLIdentifierBold);
  attr({QsciLexerSQL::PlusKeyword}, o.SQLPlusColor, o.SQLPlusBold);
  attr({QsciLexerSQL::KeywordSet8}, o.SQLPragmasColor, o.SQLPragmasBold);
  SQLHighlighter->setPaper(ColorToQColor(o.SQLEditColor));
}

void TfrmMain::UpdateCaption() {
  setWindowTitle(mnOffline->isChecked() ? "Quillmar - オフライン" : "Quillmar");
}

void TfrmMain::FormDestroy() {
  try {
    AcisDB.reset();
  } catch (const std::exception& e) {
    ShowMessageBox(TMsgKind::Error, "Quillmar", e.what());
  }
}

std::string YotoWhereClause(const std::string& Name) {
  if (Name == "全て" || Name.empty()) return {};
  return "WHERE yoto = " + SqlQuote(Name);
}
