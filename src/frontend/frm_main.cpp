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
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
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
#include "foundation/win_spin_edit.h"
#include "foundation/window_action.h"
#include "foundation/window_command_keys.h"
#include "frontend/command_line.h"
#include "frontend/display_modes.h"
#include "frontend/main_action.h"
#include "frontend/main_output_actions.h"
#include "frontend/main_widgets.h"
#include "frontend/search_tab.h"
#include "output/xls_string_grid.h"

TfrmMain* frmMain = nullptr;

using namespace MainWidgets;

namespace {

// The image drawn at each of the tool bar's sizes: a style's image may come at one small size
// only, which a larger button would show small.  The largest one is scaled, kept in proportion
// and centred.
QIcon ImageAtEverySize(const QIcon& Icon) {
  if (Icon.isNull()) return Icon;
  const int largest = kImageSizes[std::size(kImageSizes) - 1];
  const QPixmap source = Icon.pixmap(QSize(largest, largest));
  if (source.isNull()) return Icon;
  QIcon out;
  for (int size : kImageSizes) {
    QPixmap pm(size, size);
    pm.fill(Qt::transparent);
    const QPixmap scaled = source.scaled(size, size, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    QPainter p(&pm);
    p.drawPixmap((size - scaled.width()) / 2, (size - scaled.height()) / 2, scaled);
    p.end();
    out.addPixmap(pm);
  }
  return out;
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
  // The lines-per-cell box corrects its text when it loses the focus, also while the window's
  // children are being destroyed: by then the window no longer listens.
  if (seGridCellLine) seGridCellLine->disconnect(this);
  FormDestroy();
  if (frmMain == this) frmMain = nullptr;
}

// ---------------------------------------------------------------------------------------------
// Construction of the controls

void TfrmMain::BuildActions() {
  // Actions without a handler stay disabled until one is connected (main_action.h).
  auto act = [this](const QString& caption, const char* name, const QKeySequence& key = {}) {
    return AddWindowAction(this, new TMainAction(caption, this), name, key);
  };
  QStyle* st = style();
  auto image = [st](QStyle::StandardPixmap which) { return ImageAtEverySize(st->standardIcon(which)); };
  actCsvSave = act("CSV保存", "actCsvSave");
  actCsvSave->setIcon(image(QStyle::SP_DialogSaveButton));
  actHtmlSave = act("HTML保存", "actHtmlSave");
  actHtmlSave->setIcon(image(QStyle::SP_FileIcon));
  actCopyExcel = act("Excel出力", "actCopyExcel", QKeySequence("Ctrl+E"));
  actCopyExcelByHTML = act("Excel出力(HTML)", "actCopyExcelByHTML");
  actCopyOOoCalc = act("OpenOffice Calc出力", "actCopyOOoCalc");
  actCopyWPS = act("WPS出力", "actCopyWPS");
  actCopyJustCalc = act("JustCalc出力", "actCopyJustCalc");
  actCopyJustCalcByHTML = act("JustCalc出力(HTML)", "actCopyJustCalcByHTML");
  for (QAction* a : {actCopyExcel, actCopyExcelByHTML, actCopyOOoCalc, actCopyWPS, actCopyJustCalc,
                     actCopyJustCalcByHTML})
    a->setIcon(image(QStyle::SP_FileDialogDetailedView));
  actExportGrid = act("別窓", "actExportGrid");
  actExportGrid->setIcon(image(QStyle::SP_TitleBarNormalButton));
  actGridCopy = act("コピー(&C)", "actGridCopy", QKeySequence("Ctrl+C"));
  actGridCopy->setIcon(image(QStyle::SP_FileDialogContentsView));
  actGridAllCopy = act("全てコピー", "actGridAllCopy", QKeySequence("Ctrl+A"));
  actGridAllCopy->setIcon(image(QStyle::SP_FileDialogListView));
  actSearchTekiyou = act("検索", "actSearchTekiyou", QKeySequence("Ctrl+T"));
  actSearchTekiyou->setIcon(image(QStyle::SP_FileDialogStart));
  actSearchStrClear = act("条件消去", "actSearchStrClear");
  actSearchStrClear->setIcon(image(QStyle::SP_DialogResetButton));
  actTsusho = act("通称モード", "actTsusho");
  actTsusho->setCheckable(true);
  actRacKeito = act("RAC系統", "actRacKeito");
  actRacKeito->setCheckable(true);
  actCheckUpdate = act("データ更新", "actCheckUpdate", QKeySequence("Ctrl+Y"));
  actCheckUpdate->setIcon(image(QStyle::SP_BrowserReload));
  actOption = act("基本設定(&O)", "actOption");
  actStop = act("中止", "actStop");
  actYakuzaiPDFDown = act("PDFダウンロード", "actYakuzaiPDFDown");
  actCrossCheck = act("クロスチェック", "actCrossCheck");
  actGridAdjustWidth = act("列幅自動設定", "actGridAdjustWidth");
  actGridSeibunCopy = act("コピー", "actGridSeibunCopy");
  actGridSeibunAllCopy = act("全てコピー", "actGridSeibunAllCopy");
  // The ingredient grid's copies sit in its own popup.  Their keys are the window-wide Ctrl+C
  // and Ctrl+A, which copy the ingredient grid while it has the focus; shown in the popup only.
  for (QAction* a : {actGridSeibunCopy, actGridSeibunAllCopy}) a->setShortcutContext(Qt::WidgetShortcut);
  actGridSeibunCopy->setShortcut(QKeySequence("Ctrl+C"));
  actGridSeibunAllCopy->setShortcut(QKeySequence("Ctrl+A"));

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
  pmnGoogleTekiyo = Named(new TMainAction("Google検索", this), "pmnGoogleTekiyo");
  mnTekiyouGrid->addAction(pmnGoogleTekiyo);
  mnTekiyouGrid->addSeparator();
  pmnRemoveClm = Named(mnTekiyouGrid->addAction("列削除"), "pmnRemoveClm");
  connect(pmnRemoveClm, &QAction::triggered, this, [this] { pmnRemoveClmClick(); });
  pmnRemoveRow = Named(mnTekiyouGrid->addAction("行削除"), "pmnRemoveRow");
  // Ctrl+X works in the window, as Ctrl+C and Ctrl+A do (a text box with the focus cuts).
  pmnRemoveRow->setShortcut(QKeySequence("Ctrl+X"));
  pmnRemoveRow->setShortcutContext(Qt::WindowShortcut);
  addAction(pmnRemoveRow);
  connect(pmnRemoveRow, &QAction::triggered, this, [this] { pmnRemoveRowClick(); });

  // The log pane's popup.
  pmnLog = Named(new QMenu(this), "pmnLog");
  pmnLogCopy = Named(pmnLog->addAction("コピー"), "pmnLogCopy");
  pmnLogCopy->setShortcut(QKeySequence("Ctrl+C"));
  pmnLogSelectAll = Named(pmnLog->addAction("全て選択"), "pmnLogSelectAll");
  pmnLogSelectAll->setShortcut(QKeySequence("Ctrl+A"));
  pmnLogSave = Named(pmnLog->addAction("ファイル保存"), "pmnLogSave");
  pmnLogSave->setShortcut(QKeySequence("Ctrl+S"));
  connect(pmnLogCopy, &QAction::triggered, this, [this] { mLog->copy(); });
  connect(pmnLogSelectAll, &QAction::triggered, this, [this] { mLog->selectAll(); });
  connect(pmnLogSave, &QAction::triggered, this, [this] { SaveLogToFile(); });
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
  // The tool bar restyles only the buttons it made for its actions: these two follow it here.
  for (QToolButton* b : {btnExcel, btnSeibunView}) {
    connect(ToolBar, &QToolBar::toolButtonStyleChanged, b, &QToolButton::setToolButtonStyle);
    connect(ToolBar, &QToolBar::iconSizeChanged, b, &QToolButton::setIconSize);
    b->setToolButtonStyle(ToolBar->toolButtonStyle());
    b->setIconSize(ToolBar->iconSize());
  }
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
  seGridCellLine = Named(new TWinSpinEdit(StatusBar), "seGridCellLine");
  seGridCellLine->SetMinValue(1);
  seGridCellLine->SetMaxValue(9);
  seGridCellLine->SetValue(1);
  seGridCellLine->setToolTip("セル内の行数");
  StatusBar->addPermanentWidget(seGridCellLine);
  connect(seGridCellLine, &TWinSpinEdit::ValueChanged, this, [this] { seGridCellLineChange(); });
}

// ---------------------------------------------------------------------------------------------
// FormCreate

void TfrmMain::FormCreate() {
  // 1. Screen scale.
  if (QScreen* scr = QGuiApplication::primaryScreen()) ScaleFactor = static_cast<float>(scr->logicalDotsPerInch() / 96.0);

  BuildActions();
  BuildMenus();
  // The command keys run from every text box of the window, also one that binds the key itself.
  new TWindowCommandKeys(this, {actSearchTekiyou, actCopyExcel, actCheckUpdate, mnCheckUpdate, mnRowSelect, mnDocOpen});
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
  // The designed look is mode 0; a stored mode outside 0..4 leaves it.
  SetSeibunViewMode(0);
  SetSeibunViewMode(OptionData->SeibunViewMode);
  // The stored RAC mode: 0 off, 1 on; any other value leaves both as they are.
  if (OptionData->KeitoViewMode == 0) {
    actRacKeito->setChecked(false);
    RacKeitoOn = false;
  } else if (OptionData->KeitoViewMode == 1) {
    actRacKeito->setChecked(true);
    RacKeitoOn = true;
  }

  // 15. The spreadsheet button carries the stored target's action.
  if (QAction* route = SpreadsheetRoute(*this, OptionData->SpreadSheet)) {
    btnExcel->setDefaultAction(route);
    if (route == actCopyOOoCalc) actCopyOOoCalc->setIconText("Calc出力");
  }

  // 16. Filter controls wait for a result.
  for (QWidget* w : std::initializer_list<QWidget*>{btnByochu, cbByochu, btnMokuteki, cbMokuteki, btnYoto, edtYoto,
                                                    btnZaikei, cbZaikei, btnTabByochuSaku, cbTabByochuSakumotu})
    w->setEnabled(false);
  cbZaikei->setMaxVisibleItems(12);
  cbTableName->setCurrentIndex(0);
  // The pickers and the console's loading and running wait for a database.
  EnableDatabaseInputs();
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
    seGridCellLine->SetValue(GridStates[0].CellLines);
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
  // 7. Tool bar (its style with the view settings below).
  ToolBar->setVisible(o.ToolBarVisible);
  mnToolbarOn->setChecked(o.ToolBarVisible);
  // 8. Offline.
  mnOffline->setChecked(o.OffLine || CmdOffline);
  ShowOfflineState();
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

  // 10.-11. Fonts and colours, as the options dialog applies them.
  ApplyViewSettings();

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

namespace {

void SetFontFrom(QWidget* w, const TFontRec& rec) {
  if (!w || rec.Name.empty()) return;
  QFont f = w->font();
  FontRecToFont(rec, f);
  w->setFont(f);
}

void SetBase(QWidget* w, TColor color) {
  if (!w) return;
  QPalette p = w->palette();
  p.setColor(QPalette::Base, ColorToQColor(color));
  w->setPalette(p);
}

}  // namespace

void TfrmMain::ApplyViewSettings() {
  const TOptionData& o = *OptionData;
  SetFontFrom(this, o.MainFormFont);
  // The template page's grid is a result grid of the window like the others (once the page
  // is there; it takes the registered-use grid's font and background when it is made).
  for (TXlsStringGrid* g : {gdTekiyo, gdByochu, gdYakuzai, gdSQL, gdSeibun, TemplateGrid}) SetFontFrom(g, o.TekiyouFont);
  if (gdTekiyo) {
    EvenRowFont = gdTekiyo->font();
    if (!o.Tekiyou2Font.Name.empty()) FontRecToFont(o.Tekiyou2Font, EvenRowFont);
  }
  SetFontFrom(gdSeibun, o.SeibunGridFont);
  SetFontFrom(mLog, o.LogFont);
  for (TXlsStringGrid* g : {gdTekiyo, gdByochu, gdYakuzai, gdSQL, TemplateGrid}) SetBase(g, o.TekiyouColor);
  SetBase(mLog, o.LogColor);

  ApplyToolbarStyle();
  ApplySqlEditorSettings();
  FormViewSettings();
  // The grids take the row colours, the even rows' font and the widths at once.
  for (TGridState& s : GridStates) {
    if (!s.Grid) continue;
    if (s.Grid->RowCount() > s.Grid->FixedRows()) AdjustGridColumnWidths(s.Grid);
    s.Grid->viewport()->update();
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

void TfrmMain::ShowOfflineState() {
  setWindowTitle(mnOffline->isChecked() ? "Quillmar - オフライン" : "Quillmar");
  // The home page cannot be reached offline; with "/f" it stays out of reach for the run.
  mnDocOpen->setEnabled(!OptionData->OffLine && !CmdOffline);
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
