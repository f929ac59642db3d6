#pragma once
// The main window: five search tabs with one result grid each, the status bar, the trace-log
// pane, the menus, the tool bar and the actions; start-up (settings, layout, command line, the
// deferred start-up that opens the database) and shut-down (layout and settings saved).
//
// The searches themselves plug in per tab (search_tab.h); the data-update side plugs in
// through main_services.h. Controls carry the names other parts of the program know them by
// (objectName too), so later pages can find and replace them.
#include <QFont>
#include <QMainWindow>
#include <QPointer>
#include <array>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "frontend/grid_state.h"

class QAction;
class QKeyEvent;
class QMouseEvent;
class QActionGroup;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QSplitter;
class QStatusBar;
class QTabWidget;
class QToolBar;
class QToolButton;
class QsciScintilla;
class QsciLexerSQL;
class TIniFile;
class TSearchTabHandler;
class TWinSpinEdit;
class TXlsStringGrid;

// Image sizes in pixels of the menus and tool bars by the settings' index 0..3.
inline constexpr int kImageSizes[4] = {16, 24, 32, 48};

class TfrmMain : public QMainWindow {
  Q_OBJECT

 public:
  explicit TfrmMain(QWidget* parent = nullptr);
  ~TfrmMain() override;

  // ---- shell (log, enabling rules, dispatcher) ----
  // Appends one line to the log pane and scrolls it into view.
  void WriteLog(const QString& Text);
  void WriteLog(const std::string& Text) { WriteLog(QString::fromStdString(Text)); }
  void EnableResultActions(bool Enabled);
  void EnableSearchInputs(bool Enabled);
  // The controls of every tab that only work with a database (the pickers of the pest and
  // chemical tabs, the console's loading and running, the template page's loading) follow
  // whether one is open: at start-up, after an update and whenever the inputs come back.
  void EnableDatabaseInputs();
  // The search action as the active tab's inputs allow it (a database, no search running and
  // the tab's handler able to search); called on every tab change and input change.
  void UpdateSearchAction();
  // Loads an SQL text into a grid through AcisDB, fits and shows it and records its count in
  // the record of the tab that owns the grid. False (grid, count and sort text unchanged) when
  // the text is empty, there is no database or the query failed.
  bool ShowQueryInGrid(TXlsStringGrid* Grid, const std::string& SQL);
  void actSearchTekiyouExecute();
  void actSearchStrClearExecute();
  void pgSearchChange();
  // Image sizes of the menus and tool bars, the crop tree's indent and the filter rows' layout
  // (at the first show, and within ApplyViewSettings).
  void FormViewSettings();
  // Every setting the options dialog edits that shows in the window, applied to it: fonts,
  // colours, the tool bar's style, the SQL editor, image sizes, the crop tree's indent and the
  // grids' fitting. Called at start-up and after the options dialog's OK or apply.
  void ApplyViewSettings();
  void ApplyToolbarStyle();
  void StatusBarResize();
  void SetGridsRowSelect();
  // Status panel 0..4.
  void SetStatusText(int Panel, const QString& Text);
  QString StatusText(int Panel) const;
  void mnOfflineClick();
  void mnRowSelectClick();
  void mnToolbarOnClick();
  void mnStatusBarOnClick();
  void mnLogPaneOnClick();
  void mnDocOpenClick();
  void actOptionExecute();
  void mnAboutClick();
  // The SQL editor and its highlighter take the editor settings of the options (also after
  // the options dialog).
  void ApplySqlEditorSettings();
  // "SQLタブで検索": the look-up of the cell under the result-grid popup into the SQL editor
  // (the SQL console, console/sql_console.cpp).
  void pmnSendToSqlClick();

  // Handlers of the searches per tab (owned; nullptr removes). Tab 3 has none by default.
  void SetSearchHandler(int Tab, std::unique_ptr<TSearchTabHandler> Handler);
  TSearchTabHandler* SearchHandler(int Tab) const;

  // ---- display modes ----
  void SetSeibunViewMode(int Mode);
  void actTsushoExecute();
  void actRacKeitoExecute();
  void dmnSeibunViewClick(int Tag);  // Tag 1..5 selects mode 0..4
  // The view name for a target (0 crop, 1 pest) under the current modes.
  std::string ViewNameFor(int Target) const;

  // ---- result grids ----
  void AdjustGridColumnWidths(TXlsStringGrid* Grid);
  static int TextWidthPerLine(int Width, int Lines, int Addend);
  void actGridCopyExecute();
  void actGridAllCopyExecute();
  void actGridSeibunCopyExecute();
  void actGridSeibunAllCopyExecute();
  void pmnFixedClmClick();
  void pmnFixedClmOffClick();
  void pmnRemoveClmClick();
  void pmnRemoveRowClick();
  void seGridCellLineChange();
  // Sorts by a title click on column Col (the mouse-down rule of the result grids).
  void SortByTitle(TXlsStringGrid* Grid, int Col);
  static int ToggleSortOrder(int Order);
  static QString SortArrowText(int Order);
  // The record whose grid this is (-1 for grids of no tab).
  int GridStateIndex(const TXlsStringGrid* Grid) const;
  bool GridVisible(const TXlsStringGrid* Grid) const;
  // Opens the per-use card on the current row (double click, Enter).
  void gdTekiyoDblClick(TXlsStringGrid* Grid);

  // ---- start-up and shut-down ----
  // Runs the deferred start-up once (the queued call posted by the show event).
  void WMShowWaitEvent();
  // After a database was opened: the log memo, "DB:" and the update date, the master lists.
  void LoadMasterLists();
  void actCheckUpdateExecute();
  // Number of times the deferred start-up actually ran (0 or 1).
  int StartUpRuns() const { return startUpRuns_; }
  // Optional hooks of the pages that fill their own lists when a database is opened (the
  // SQL console's table list, the crop frame's tree and lists).
  std::function<void()> OnLoadMasterLists;
  // Hooks of the dialogs and windows that other parts of the program provide: the options
  // dialog, the about box, the per-use card (grid and grid row), and the end of an unattended
  // run (the program entry quits then).
  std::function<void()> OnOptionDialog;
  std::function<void()> OnAboutBox;
  std::function<void(TXlsStringGrid*, int)> OnOpenUseCard;
  std::function<void()> OnUnattendedDone;
  // Called when the interactive deferred start-up has finished (the database opened and its
  // lists filled, or none there).
  std::function<void()> OnStartUpDone;
  // Called when the window closes, before the layout and the settings are saved.
  std::function<void()> OnFormClose;
  // Called by FormViewSettings with the tool-bar image size in pixels (16, 24, 32, 48).
  std::function<void(int)> OnFormViewSettings;
  // Called at the end of EnableResultActions (the export actions apply their own rules).
  std::function<void(bool)> OnEnableResultActions;

  // ---- fields shared with the searches and the output ----
  std::array<TGridState, kSearchTabs> GridStates{};
  TXlsStringGrid* CurrentGrid = nullptr;
  bool IsStartUp = false;
  QString SakumotsuSelection, KinsetsuSelection;
  std::string ResultViewName;
  int SeibunView = 0;
  bool RacKeitoOn = false;
  QString PopupCellText, PopupKeyword, PopupHeader;
  QWidget* SendToListPage = nullptr;
  int MouseRow = -1, MouseCol = -1;
  TXlsStringGrid* MenuGrid = nullptr;  // the result grid of the last context menu
  int SeibunMouseRow = -1, SeibunMouseCol = -1;
  QFont EvenRowFont;
  TXlsStringGrid* TemplateGrid = nullptr;
  QString ServerUpdateDate;
  // Set by the crop picker when it closes: its choice was empty (the chemical tab then does
  // not take the crop text as picked).
  bool SakuSelCancelEmpty = false;

  // ---- controls ----
  QTabWidget* pgSearch = nullptr;
  QWidget *tabDefault = nullptr, *tabByochu = nullptr, *tabYakuzai = nullptr, *tshTemplate = nullptr,
          *tabSQL = nullptr;
  QPlainTextEdit* mLog = nullptr;
  QSplitter* SplitterGrid = nullptr;
  QToolBar* ToolBar = nullptr;
  QStatusBar* StatusBar = nullptr;
  TWinSpinEdit* seGridCellLine = nullptr;
  QToolButton *btnExcel = nullptr, *btnSeibunView = nullptr;
  TXlsStringGrid *gdTekiyo = nullptr, *gdByochu = nullptr, *gdYakuzai = nullptr, *gdSQL = nullptr,
                 *gdSeibun = nullptr, *gdSeizai = nullptr;
  // crop tab
  QSplitter* SplitterFraSakumotsu = nullptr;
  QWidget* fraSakumotsu = nullptr;
  // The crop frame's page control and selection boxes (the frame's own controls once the real
  // frame replaced the placeholder; the frame sets them then).
  QPointer<QTabWidget> pgSakumotsu;
  QPointer<QLineEdit> eSakumotsu, eKinsetsuSakumotsu;
  // pnlSakuGrid: the filter bar pnlSearchParam above gdTekiyo; the bar's halves pnlSakuLeft
  // (pest and use rows pnlByochuSel, pnlYotoSel) and pnlSakuRight (purpose and formulation);
  // pnlSakuOpt with the hidden panels pnlSeibunSel and pnlKeitoSel.
  QWidget *pnlSakuGrid = nullptr, *pnlSakuLeft = nullptr, *pnlSakuRight = nullptr, *pnlSakuOpt = nullptr,
          *pnlSearchParam = nullptr, *pnlByochuSel = nullptr, *pnlYotoSel = nullptr, *pnlKeitoSel = nullptr,
          *pnlSeibunSel = nullptr;
  QPushButton *btnByochu = nullptr, *btnMokuteki = nullptr, *btnYoto = nullptr, *btnZaikei = nullptr,
              *btnKeito = nullptr, *btnSeibun = nullptr;
  QComboBox *cbByochu = nullptr, *cbMokuteki = nullptr, *cbZaikei = nullptr, *cbKeito = nullptr,
            *cbKaisuSeibun = nullptr;
  QLineEdit* edtYoto = nullptr;
  // pest tab
  QWidget* pnlTabByochuTop = nullptr;
  QLineEdit* edtByochu = nullptr;
  QPushButton *btnTabByochu = nullptr, *btnTabByochuSaku = nullptr;
  QComboBox* cbTabByochuSakumotu = nullptr;
  // chemical tab
  QSplitter *SplitterYakuzaiSide = nullptr, *SplitterYakuzaiList = nullptr, *SplitterYakuzaiTekiyo = nullptr,
            *SplitterSeizai = nullptr, *SplitterYakuzaiSeibun = nullptr;
  QWidget *pnlYakuzaiSide = nullptr, *pnlYakuzaiSideUp = nullptr, *pnlYakuzaiUpper = nullptr,
          *pnlYakuzaiTop = nullptr, *pnlYakuzaiSelect = nullptr;
  QPlainTextEdit* mSuisan = nullptr;
  QLineEdit *eYakuzai = nullptr, *eYakuzaiTabSakumotsu = nullptr;
  QToolButton *bYakuzaiTabYakuzaiClear = nullptr, *bYakuzaiTabSakumotsuClear = nullptr;
  QPushButton *bYakuzaiTabSakuSel = nullptr, *btnYakuzaiSel = nullptr;
  QComboBox *cbYakuzai = nullptr, *cbYotoTabYakuzai = nullptr;
  QTabWidget *pgYakuzaiSide = nullptr, *pgYakuzaiSideSeibun = nullptr;
  QWidget *tabTsusho = nullptr, *tabBango = nullptr;
  QListWidget *lstTsusho = nullptr, *lstBango = nullptr;
  QWidget *tabSeibun = nullptr, *tabKeito = nullptr, *tabSayoten = nullptr, *tabRac = nullptr,
          *tabSeibunPlural = nullptr, *tabRacKeito = nullptr;
  // template tab
  QWidget* fplTemplate = nullptr;
  // SQL tab
  QSplitter *SplitterSqlSide = nullptr, *SplitterSQL = nullptr;
  QWidget *pnlSqlSide = nullptr, *pnlSQL = nullptr;
  QComboBox* cbTableName = nullptr;
  QsciScintilla* SQLEditor = nullptr;
  QsciLexerSQL* SQLHighlighter = nullptr;
  QPushButton *btnQueryExec = nullptr, *btnQuerySave = nullptr, *btnQueryLoad = nullptr, *btnTest = nullptr;

  // actions and menu items
  QAction *actCsvSave = nullptr, *actHtmlSave = nullptr, *actCopyExcel = nullptr, *actCopyExcelByHTML = nullptr,
          *actCopyOOoCalc = nullptr, *actCopyWPS = nullptr, *actCopyJustCalc = nullptr,
          *actCopyJustCalcByHTML = nullptr, *actExportGrid = nullptr, *actGridCopy = nullptr,
          *actGridAllCopy = nullptr, *actSearchTekiyou = nullptr, *actSearchStrClear = nullptr,
          *actTsusho = nullptr, *actRacKeito = nullptr, *actCheckUpdate = nullptr, *actOption = nullptr,
          *actStop = nullptr, *actYakuzaiPDFDown = nullptr, *actCrossCheck = nullptr,
          *actGridAdjustWidth = nullptr, *actGridSeibunCopy = nullptr, *actGridSeibunAllCopy = nullptr;
  QAction *mnPortaBase = nullptr, *mnOffline = nullptr, *mnExit = nullptr, *mnSakumotsuCheck = nullptr,
          *mnRowSelect = nullptr, *mnToolbarOn = nullptr, *mnLogPaneOn = nullptr, *mnStatusBarOn = nullptr,
          *mnDocOpen = nullptr, *mnAbout = nullptr, *mnSearchKeitoView = nullptr, *mnCheckUpdate = nullptr;
  QMenu *mnSearchSeibunView = nullptr, *dmSeibun = nullptr, *dmCalc = nullptr, *mnTekiyouGrid = nullptr,
        *pmnLog = nullptr;
  std::array<QAction*, 5> miSv{};   // search-menu items of the ingredient modes
  std::array<QAction*, 5> dmnSv{};  // drop-down items of the ingredient modes
  QAction *pmnGridAdjustWidth = nullptr, *pmnFixedClm = nullptr, *pmnFixedClmOff = nullptr,
          *pmnGoogleTekiyo = nullptr, *pmnRemoveClm = nullptr, *pmnRemoveRow = nullptr;
  QAction *pmnLogCopy = nullptr, *pmnLogSelectAll = nullptr, *pmnLogSave = nullptr;

  // Puts the real control in the place of a placeholder the window was built with (same
  // place in its splitter or layout, same object name, the stored size kept) and deletes the
  // placeholder. The later pages arrive this way, e.g.
  //   w.fraSakumotsu = w.ReplaceControl(w.fraSakumotsu, frame);
  // Returns the replacement (nullptr arguments change nothing and return the placeholder).
  QWidget* ReplaceControl(QWidget* Placeholder, QWidget* Replacement);

  // Layout sizes of panels inside splitters (the width or height the settings keep).
  int PaneSize(QWidget* Pane) const;
  void SetPaneSize(QWidget* Pane, int Size);
  void ApplyPaneSize(QWidget* Pane, int Size);

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  // Steps of the window's life.
  void FormCreate();
  void FormShow();
  void FormClose();
  void FormDestroy();
  void BuildActions();
  void BuildMenus();
  void BuildToolBar();
  void BuildStatusBar();
  void BuildPages();
  void BuildCropTab();
  void BuildPestTab();
  void BuildChemicalTab();
  void BuildTemplateTab();
  void BuildSqlTab();
  void LoadSettings();
  void RestoreWindowPlacement(TIniFile& Ini);
  void RestoreLayout(TIniFile& Ini);
  void ApplyOptions();
  void TidyDatabaseFolder();
  void SaveLayout();
  void CopyControlStatesToOptions();
  // The caption and the online-help item (F1) as the offline switch and "/f" have them.
  void ShowOfflineState();
  void RedisplayAfterModeChange();
  void SetupResultGrid(TXlsStringGrid* Grid);
  TXlsStringGrid* CreateResultGrid(QWidget* Parent, const char* Name);
  void CopyGridSelection(TXlsStringGrid* Grid);
  bool SeibunHasFocus() const;
  bool HandleGridKey(TXlsStringGrid* Grid, QKeyEvent* Key);
  void GridMousePress(TXlsStringGrid* Grid, QMouseEvent* Mouse);
  // The result grids' menu for a cell (row -1: none), opened at a screen position.
  void ShowGridMenu(TXlsStringGrid* Grid, int Col, int Row, const QPoint& Global);
  bool GridEventFilter(QObject* Watched, QEvent* Event);
  void ShowLogPopup(const QPoint& Global);
  void SaveLogToFile();

  std::array<std::unique_ptr<TSearchTabHandler>, kSearchTabs> handlers_{};
  // Sizes of splitter panes whose splitter was not laid out yet (applied when it shows), and
  // the last size of panes that are hidden now.
  std::map<const QWidget*, int> pendingSizes_;
  std::map<const QWidget*, int> lastSizes_;
  int startUpRuns_ = 0;
  bool closing_ = false;
  bool layoutSaved_ = false;
  std::array<QLabel*, 5> panels_{};
  int lastTab_ = 0;
  bool applyingSizes_ = false;
  bool searching_ = false;
};

// The main window of the running program (null until created, and again once destroyed).
extern TfrmMain* frmMain;

// "WHERE yoto = '<name>'", empty for "全て" (the use restriction of the chemical tab). The name
// is quoted with doubled single quotes.
std::string YotoWhereClause(const std::string& Name);

// The hourglass and the switched-off inputs of a long operation, undone exactly once when the
// guard goes (also when an exception leaves the operation).
class TBusyGuard {
 public:
  explicit TBusyGuard(TfrmMain& Main, bool DisableInputs = true);
  ~TBusyGuard();
  TBusyGuard(const TBusyGuard&) = delete;
  TBusyGuard& operator=(const TBusyGuard&) = delete;

 private:
  TfrmMain& main_;
  bool inputs_;
};
