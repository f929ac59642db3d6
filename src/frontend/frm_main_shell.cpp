// The frame around the searches: log pane, enabling rules, the search dispatcher, the status
// bar, menus and toggles, and the display modes of the crop and pest results.
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSplitter>
#include <QStatusBar>
#include <QTabWidget>
#include <QTextStream>
#include <QToolBar>
#include <QToolButton>
#include <QTreeView>
#include <QUrl>
#include <Qsci/qsciscintilla.h>

#include "database/acis_db.h"
#include "foundation/file_dialog_pos.h"
#include "foundation/global.h"
#include "foundation/win_spin_edit.h"
#include "foundation/message_sink.h"
#include "frontend/display_modes.h"
#include "frontend/frm_main.h"
#include "frontend/grid_fill_target.h"
#include "frontend/help_page.h"
#include "frontend/search_tab.h"
#include "output/xls_string_grid.h"

// ---------------------------------------------------------------------------------------------
// Busy guard

TBusyGuard::TBusyGuard(TfrmMain& Main, bool DisableInputs) : main_(Main), inputs_(DisableInputs) {
  QApplication::setOverrideCursor(Qt::WaitCursor);
  if (inputs_) {
    main_.EnableResultActions(false);
    main_.EnableSearchInputs(false);
  }
}

TBusyGuard::~TBusyGuard() {
  if (inputs_) {
    // Copy and export stay off on a tab whose grid has never shown a result.
    main_.EnableResultActions(main_.GridVisible(main_.CurrentGrid));
    main_.EnableSearchInputs(true);
  }
  QApplication::restoreOverrideCursor();
}

// ---------------------------------------------------------------------------------------------
// Log pane

void TfrmMain::WriteLog(const QString& Text) {
  mLog->setUpdatesEnabled(false);
  mLog->appendPlainText(Text);
  mLog->setUpdatesEnabled(true);
  // The new line shows at the bottom from its start.  The caret and a selection the user holds
  // stay where they are: scrolling to the caret would keep a long line's far end in sight.
  QScrollBar* bar = mLog->verticalScrollBar();
  bar->setValue(bar->maximum());
  mLog->horizontalScrollBar()->setValue(0);
}

void TfrmMain::ShowLogPopup(const QPoint& Global) {
  // The items carry themselves out; copying needs a selection.
  pmnLogCopy->setEnabled(mLog->textCursor().hasSelection());
  pmnLog->exec(Global);
}

void TfrmMain::SaveLogToFile() {
  TSaveDialogPos dlg;
  dlg.Title = "ログの保存";
  dlg.DefaultExt = "txt";
  dlg.Filter = "テキストファイル(*.txt)|*.txt|全てのファイル(*.*)|*";
  dlg.OverwritePrompt = true;
  if (!dlg.Execute(this) || dlg.FileName.isEmpty()) return;
  QFile f(dlg.FileName);
  if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text)) {
    ShowMessageBox(TMsgKind::Error, "Quillmar", f.fileName().toStdString() + " に保存できません");
    return;
  }
  f.write(mLog->toPlainText().toUtf8());
  f.write("\n");
}

// ---------------------------------------------------------------------------------------------
// Enabling rules

void TfrmMain::EnableResultActions(bool Enabled) {
  for (QAction* a : {actCopyExcel, actCopyExcelByHTML, actCopyOOoCalc, actCopyWPS, actCopyJustCalc,
                     actCopyJustCalcByHTML, actCsvSave, actHtmlSave, actExportGrid, actGridCopy, actGridAllCopy,
                     mnPortaBase, pmnGridAdjustWidth, pmnFixedClm, pmnFixedClmOff, pmnGoogleTekiyo})
    a->setEnabled(Enabled);
  mnPortaBase->setEnabled(false);  // not offered on this platform
  seGridCellLine->setEnabled(Enabled);
  // The spreadsheet button is as usable as the action it carries.
  btnExcel->setEnabled(Enabled && btnExcel->defaultAction() && btnExcel->defaultAction()->isEnabled());
  const int tab = pgSearch->currentIndex();
  const bool modes = tab == tiSakumotsu || tab == tiByochu;
  actTsusho->setEnabled(modes);
  actRacKeito->setEnabled(modes);
  btnSeibunView->setEnabled(modes);
  mnSearchKeitoView->setEnabled(modes);
  mnSearchSeibunView->setEnabled(btnSeibunView->isEnabled());
  if (OnEnableResultActions) OnEnableResultActions(Enabled);
}

void TfrmMain::EnableSearchInputs(bool Enabled) {
  pgSearch->tabBar()->setEnabled(Enabled);
  switch (pgSearch->currentIndex()) {
    case tiSakumotsu:
      for (QWidget* w : std::initializer_list<QWidget*>{pnlSearchParam, pnlSakuLeft, btnByochu, cbByochu, btnYoto,
                                                        btnMokuteki, cbMokuteki, btnZaikei, cbZaikei, btnKeito,
                                                        cbKeito, fraSakumotsu})
        w->setEnabled(Enabled);
      break;
    case tiByochu:
      for (QWidget* w : std::initializer_list<QWidget*>{pnlTabByochuTop, btnTabByochu, btnTabByochuSaku,
                                                        cbTabByochuSakumotu})
        w->setEnabled(Enabled);
      break;
    case tiYakuzai:
      for (QWidget* w : std::initializer_list<QWidget*>{cbYakuzai, cbYotoTabYakuzai, bYakuzaiTabSakuSel})
        w->setEnabled(Enabled);
      break;
    case tiSQL:
      for (QWidget* w : std::initializer_list<QWidget*>{pnlSqlSide, pnlSQL, btnQueryExec, btnQuerySave, btnQueryLoad})
        w->setEnabled(Enabled);
      break;
    default: break;
  }
  if (TSearchTabHandler* h = SearchHandler(pgSearch->currentIndex())) h->EnableInputs(Enabled);
  // What comes back still needs a database to do anything.
  if (Enabled) EnableDatabaseInputs();
}

void TfrmMain::EnableDatabaseInputs() {
  const bool open = AcisDB != nullptr;
  for (QWidget* w : std::initializer_list<QWidget*>{btnTabByochu, btnYakuzaiSel, bYakuzaiTabSakuSel, btnQueryLoad})
    w->setEnabled(open);
  btnQueryExec->setEnabled(open && !SQLEditor->text().isEmpty());
  for (int tab = 0; tab < kSearchTabs; ++tab)
    if (TSearchTabHandler* h = SearchHandler(tab)) h->FollowDatabase(open);
  UpdateSearchAction();
}

// ---------------------------------------------------------------------------------------------
// Grid query and search dispatcher

bool TfrmMain::ShowQueryInGrid(TXlsStringGrid* Grid, const std::string& SQL) {
  if (SQL.empty() || !Grid) return false;
  WriteLog("SQL>" + QString::fromStdString(SQL));
  if (!AcisDB) return false;
  const int state = GridStateIndex(Grid);
  const bool wasVisible = !Grid->isHidden();
  bool ok = false;
  {
    TBusyGuard busy(*this);
    TXlsGridTarget target(*Grid);
    ok = AcisDB->SetGrid(target, SQL);
    if (ok) {
      // Shown first: the columns are fitted to the grid's real width.
      Grid->show();
      if (QWidget* p = Grid->parentWidget(); p && p->layout()) p->layout()->activate();
      AdjustGridColumnWidths(Grid);
      // The count belongs to the tab whose grid was filled, whichever tab is active now.
      if (state >= 0) {
        TGridState& g = GridStates[state];
        g.CountText = QString::number(AcisDB->FTbl ? AcisDB->FTbl->Count() : Grid->RowCount() - 1) + "件";
        g.SortText.clear();
        if (Grid == CurrentGrid) {
          SetStatusText(3, g.CountText);
          SetStatusText(2, QString());
        }
      }
    } else {
      Grid->setVisible(wasVisible);
    }
  }
  return ok;
}

void TfrmMain::actSearchTekiyouExecute() {
  // A search that lets the window breathe must not start a second one inside it.
  if (!AcisDB || searching_) return;
  searching_ = true;
  struct TDone {
    bool& flag;
    ~TDone() { flag = false; }
  } done{searching_};
  const int tab = pgSearch->currentIndex();
  TSearchTabHandler* h = SearchHandler(tab);
  {
    TBusyGuard busy(*this, false);
    actSearchTekiyou->setEnabled(false);
    try {
      if (h && tab != tiTemplate) h->Search();
    } catch (const std::exception& e) {
      ShowMessageBox(TMsgKind::Error, "Quillmar", e.what());
    }
    EnableResultActions(GridVisible(CurrentGrid));
    EnableSearchInputs(true);
    SetStatusText(1, QString());
  }
  searching_ = false;
  UpdateSearchAction();
  actSearchStrClear->setEnabled(true);
  actStop->setEnabled(false);
}

void TfrmMain::UpdateSearchAction() {
  const int tab = pgSearch->currentIndex();
  const TSearchTabHandler* h = SearchHandler(tab);
  actSearchTekiyou->setEnabled(AcisDB && !searching_ && tab != tiTemplate && h && h->CanSearch());
}

void TfrmMain::actSearchStrClearExecute() {
  switch (pgSearch->currentIndex()) {
    case tiSakumotsu:
      if (eSakumotsu) eSakumotsu->clear();
      if (eKinsetsuSakumotsu) eKinsetsuSakumotsu->clear();
      for (QComboBox* c : {cbByochu, cbMokuteki, cbZaikei}) {
        c->clearEditText();
        c->setCurrentIndex(-1);
        c->setEnabled(false);
      }
      edtYoto->clear();
      edtYoto->setEnabled(false);
      for (QPushButton* b : {btnByochu, btnMokuteki, btnYoto, btnZaikei}) b->setEnabled(false);
      SakumotsuSelection.clear();
      KinsetsuSelection.clear();
      break;
    case tiByochu:
      edtByochu->clear();
      cbTabByochuSakumotu->setCurrentIndex(-1);
      break;
    case tiYakuzai:
      eYakuzai->clear();
      eYakuzaiTabSakumotsu->clear();
      break;
    case tiSQL: SQLEditor->clear(); break;
    default: break;
  }
  if (TSearchTabHandler* h = SearchHandler(pgSearch->currentIndex())) h->ClearConditions();
}

void TfrmMain::SetSearchHandler(int Tab, std::unique_ptr<TSearchTabHandler> Handler) {
  if (Tab < 0 || Tab >= kSearchTabs) return;
  handlers_[Tab] = std::move(Handler);
  if (handlers_[Tab]) handlers_[Tab]->FollowDatabase(AcisDB != nullptr);
  UpdateSearchAction();
}

TSearchTabHandler* TfrmMain::SearchHandler(int Tab) const {
  return Tab >= 0 && Tab < kSearchTabs ? handlers_[Tab].get() : nullptr;
}

void TfrmMain::pgSearchChange() {
  const int tab = pgSearch->currentIndex();
  if (tab < 0 || tab >= kSearchTabs) return;
  TGridState& g = GridStates[tab];
  CurrentGrid = g.Grid;
  SetStatusText(2, g.SortText);
  SetStatusText(3, g.CountText);
  {
    const QSignalBlocker block(seGridCellLine);
    seGridCellLine->SetValue(ClampCellLines(g.CellLines));
  }
  EnableResultActions(GridVisible(g.Grid));
  if (tab == tiSakumotsu || tab == tiByochu) ResultViewName = ViewNameFor(tab);
  UpdateSearchAction();
  lastTab_ = tab;
}

// ---------------------------------------------------------------------------------------------
// Status bar, tool bar, view settings

void TfrmMain::SetStatusText(int Panel, const QString& Text) {
  if (Panel < 0 || Panel >= 5) return;
  panels_[Panel]->setText(Text);
  if (Panel == 2) panels_[2]->setMinimumWidth(Text.isEmpty() ? 0 : panels_[2]->fontMetrics().horizontalAdvance(Text) + 6);
}

QString TfrmMain::StatusText(int Panel) const {
  return Panel >= 0 && Panel < 5 ? panels_[Panel]->text() : QString();
}

void TfrmMain::StatusBarResize() {
  panels_[1]->setVisible(!panels_[1]->text().isEmpty());
  panels_[3]->setMinimumWidth(panels_[3]->fontMetrics().horizontalAdvance("00000件") + 4);
}

void TfrmMain::resizeEvent(QResizeEvent* event) {
  QMainWindow::resizeEvent(event);
  StatusBarResize();
}

void TfrmMain::ApplyToolbarStyle() {
  const bool captions = OptionData->ToolBarCaption;
  ToolBar->setToolButtonStyle(captions ? Qt::ToolButtonTextUnderIcon : Qt::ToolButtonIconOnly);
  ToolBar->setStyleSheet(OptionData->ToolBarFlat ? QString() : QString("QToolButton { border: 1px solid palette(mid); }"));
  // The buttons of the bar's items; its extension button keeps the size the bar lays it out at
  // (made as wide as a button, it reached past the window's right edge).
  for (QAction* a : ToolBar->actions()) {
    if (auto* b = qobject_cast<QToolButton*>(ToolBar->widgetForAction(a))) {
      if (captions)
        b->setMinimumSize(62, 35);
      else
        b->setMinimumSize(23, 22);
    }
  }
}

void TfrmMain::FormViewSettings() {
  // An index beyond the table takes the default size.
  auto size = [](int index) { return kImageSizes[index >= 0 && index <= 3 ? index : 0]; };
  const int menuIcon = size(OptionData->MenuImageSize);
  const int btnIcon = size(OptionData->BtnImageSize);
  ToolBar->setIconSize(QSize(btnIcon, btnIcon));
  for (QMenu* m : {mnTekiyouGrid, dmCalc, dmSeibun, pmnLog})
    m->setStyleSheet(QString("QMenu::icon { width: %1px; height: %1px; }").arg(menuIcon));
  pnlKeitoSel->hide();
  pnlSeibunSel->hide();
  const int rowHeight = std::max(cbByochu->sizeHint().height(), btnByochu->sizeHint().height()) + 2;
  for (QWidget* w : std::initializer_list<QWidget*>{btnByochu, cbByochu, btnMokuteki, cbMokuteki, btnYoto, edtYoto,
                                                    btnZaikei, cbZaikei})
    w->setMinimumHeight(rowHeight - 2);
  StatusBarResize();
  if (OnFormViewSettings) OnFormViewSettings(btnIcon);
  // The crop tree's indent (the frame is installed after the window is made).
  if (auto* tree = findChild<QTreeView*>("tvSakumotsu"))
    tree->setIndentation(OptionData->SakumotsuTreeIndent > 0 ? OptionData->SakumotsuTreeIndent : 19);
}

void TfrmMain::SetGridsRowSelect() {
  const bool on = mnRowSelect->isChecked();
  for (TGridState& g : GridStates)
    if (g.Grid) g.Grid->SetRowSelect(on);
}

// ---------------------------------------------------------------------------------------------
// Menu commands and toggles

void TfrmMain::mnOfflineClick() {
  OptionData->OffLine = mnOffline->isChecked();
  ShowOfflineState();
}

void TfrmMain::mnRowSelectClick() {
  OptionData->GridRowSelect = mnRowSelect->isChecked();
  SetGridsRowSelect();
}

void TfrmMain::mnToolbarOnClick() { ToolBar->setVisible(mnToolbarOn->isChecked()); }

void TfrmMain::mnStatusBarOnClick() { StatusBar->setVisible(mnStatusBarOn->isChecked()); }

void TfrmMain::mnLogPaneOnClick() {
  const bool show = mnLogPaneOn->isChecked();
  if (!show) {
    lastSizes_[mLog] = PaneSize(mLog);
    mLog->hide();
    return;
  }
  int h = PaneSize(mLog);
  mLog->show();
  // A pane that had no height comes back with a small one.
  SetPaneSize(mLog, h > 0 ? h : 16);
}

void TfrmMain::mnDocOpenClick() {
  if (OptionData->OffLine || CmdOffline) return;
  OpenHelpPage();
}

void TfrmMain::actOptionExecute() {
  if (OnOptionDialog) {
    OnOptionDialog();
    return;
  }
  ShowMessageBox(TMsgKind::Info, "設定", "設定は " + OptionData->IniFileName + " にあります。");
}

void TfrmMain::mnAboutClick() {
  if (OnAboutBox) {
    OnAboutBox();
    return;
  }
  ShowMessageBox(TMsgKind::Info, "バージョン情報",
                 "Quillmar " + QApplication::applicationVersion().toStdString() + "\nSQLite " + TSQLiteDb::Version());
}

// ---------------------------------------------------------------------------------------------
// Display modes

std::string TfrmMain::ViewNameFor(int Target) const {
  std::string name = ResultViewName;
  GetTekiyoViewName(Target, actTsusho->isChecked(), SeibunView, name, RacKeitoOn ? 1 : 0);
  return name;
}

void TfrmMain::SetSeibunViewMode(int Mode) {
  const TSeibunViewModeInfo* info = SeibunViewModeInfo(Mode);
  if (!info) return;
  SeibunView = Mode;
  btnSeibunView->setText(QString::fromUtf8(info->Caption));
  btnSeibunView->setToolTip(QString::fromUtf8(info->Hint));
  btnSeibunView->setProperty("ImageIndex", info->ImageIndex);
  miSv[Mode]->setChecked(true);
  dmnSv[Mode]->setChecked(true);
}

void TfrmMain::actTsushoExecute() {
  // The action toggles its own check.
  OptionData->TushoMode = actTsusho->isChecked();
  RedisplayAfterModeChange();
}

void TfrmMain::dmnSeibunViewClick(int Tag) {
  const int mode = Tag - 1;
  if (!SeibunViewModeInfo(mode)) return;
  SetSeibunViewMode(mode);
  OptionData->SeibunViewMode = static_cast<std::uint8_t>(mode);
  RedisplayAfterModeChange();
}

void TfrmMain::actRacKeitoExecute() {
  RacKeitoOn = actRacKeito->isChecked();
  OptionData->KeitoViewMode = RacKeitoOn ? 1 : 0;
  RedisplayAfterModeChange();
}

void TfrmMain::RedisplayAfterModeChange() {
  if (GridVisible(gdTekiyo)) {
    ResultViewName = ViewNameFor(tiSakumotsu);
    if (TSearchTabHandler* h = SearchHandler(tiSakumotsu)) h->Redisplay();
  }
  if (GridVisible(gdByochu)) {
    ResultViewName = ViewNameFor(tiByochu);
    if (TSearchTabHandler* h = SearchHandler(tiByochu)) h->Redisplay();
  }
  const int tab = pgSearch->currentIndex();
  if (tab == tiSakumotsu || tab == tiByochu) ResultViewName = ViewNameFor(tab);
}
