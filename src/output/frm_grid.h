#pragma once
// TfrmGrid: a free-standing copy of a search result beside the main window, with its own
// task-bar entry.  Its own copies of the grids (the product panel of the chemical tab too),
// sorting by a title click, the per-use card, copying, spreadsheet and HTML export and the same
// context-menu look-ups as the main window.  Any number may be open; each frees itself when
// closed and does not follow later searches.
#include <QFont>
#include <QMainWindow>
#include <QPointer>

#include <functional>
#include <string>

#include "output/grid_popup_rules.h"
#include "output/result_page.h"
#include "output/xls_string_grid.h"

class QAction;
class QLabel;
class QLineEdit;
class QMenu;
class QPlainTextEdit;
class QSplitter;
class QToolBar;
class QToolButton;

class TfrmGrid : public QMainWindow {
  Q_OBJECT

 public:
  explicit TfrmGrid(QWidget* owner);
  ~TfrmGrid() override;

  // ---- set by the creator ----
  int SourceTab = 0;  // 0 crop, 1 pest, 2 chemical, 3 template, 4 SQL
  // The neighbouring-crop words (one per line or comma text); rows that mention one are tinted.
  void SetHighlightWords(const std::string& words);
  const std::string& HighlightWords() const { return FHighlightWords; }
  // Copies a grid into gdResult (0), gdSeibun (1) or gdSeizai (2): shape, cells, widths, row
  // height, fixed rows and columns and the rows' flags.
  void SetGrid(const TXlsStringGrid& src, int target);
  // Sizes the product panel (chemical tab) once its grids are copied: the name line and every
  // row of the summary above the ingredients, the ingredients `ingredientsHeight` tall (as in
  // the main window), the summary and the caution memo side by side in the widths given (0:
  // as the splitter has them).
  void FitProductPanel(int ingredientsHeight, int summaryWidth, int memoWidth);
  // Sends a keyword to the main window's chemical tab (registration-number list when `bango`);
  // the item stays hidden without it.
  std::function<void(const std::string& keyword, bool bango)> SendToTabYakuzai;
  // The HTML view for the HTML save and the HTML routes into spreadsheet programs: shows the
  // page (`route` -1) or sends it to the program of kind `route`, with the caption given.  The
  // HTML actions stay disabled without it.
  std::function<void(TfrmGrid& owner, const TResultPage& page, const QString& caption, int route)> HtmlView;
  void EnableHtmlActions();

  // ---- state ----
  QFont EvenRowFont;
  QPointer<QLineEdit> eYakuzaiG;  // the main window's chemical edit, found by name
  int MouseCol = -1, MouseRow = -1;              // cell of gdResult under the mouse
  int SeibunMouseCol = -1, SeibunMouseRow = -1;  // cell of gdSeibun
  std::string PopupText;                         // the cell the menu was opened on
  TGridPopupPlan Plan;                           // the items of the last gdResult menu
  TSeibunPopupPlan SeibunPlan;                    // the items of the last gdSeibun menu

  // The result page of this window's grids (chemical tab: with the product sheet).
  TResultPage MakeHTML(const std::string& cssFile, TSpreadSheetKind kind) const;

  // ---- controls ----
  TXlsStringGrid *gdResult = nullptr, *gdSeibun = nullptr, *gdSeizai = nullptr;
  QWidget *pnlYakuzai = nullptr, *pnlYakuzaiUpper = nullptr, *pnlYakuzaiTop = nullptr, *pnlSeizaiTop = nullptr,
          *pnlSeizai = nullptr;
  QLabel* lblGoogle = nullptr;
  QLineEdit* edtYakuzai = nullptr;
  QPlainTextEdit* mSuisan = nullptr;
  QSplitter *Splitter1 = nullptr, *SplitterYakuzaiTekiyo = nullptr, *SplitterYakuzaiSeibun = nullptr;
  QToolBar* ToolBar = nullptr;
  QToolButton *btnSpreadSheet = nullptr, *btnCopyAll = nullptr;
  QMenu *dmCalc = nullptr, *pmnGrid = nullptr, *pmnGridSeibun = nullptr;
  QAction *actCopy = nullptr, *actCopyAll = nullptr, *actExportExcel = nullptr, *actCopyExcelByHTML = nullptr,
          *actExportCalc = nullptr, *actExportHTML = nullptr, *actGoogle = nullptr, *actWeblio = nullptr,
          *actFcgr = nullptr, *actDeleteRow = nullptr, *actDeleteCol = nullptr, *actFixedCol = nullptr,
          *actFixedColOff = nullptr, *actSendToTabYakuzai = nullptr, *actExportWPS = nullptr, *actGoogleFfcr = nullptr,
          *actSearchNihs = nullptr, *actGridSeibunCopy = nullptr, *actGridSeibunCopyALL = nullptr,
          *actExportJustCalc = nullptr, *actCopyJustCalcByHTML = nullptr;
  QAction *pmnGoogleChuijiko = nullptr, *pmnGoogleChuiJikoOption = nullptr, *pmnGoogleKonyo = nullptr,
          *pmnNoukaWebSearch = nullptr, *pmnPrdbSearch = nullptr, *pmnGene = nullptr, *pmnPestControlSite = nullptr;
  QAction *pmnGoogleGridSeibun = nullptr, *pmnPrdbGridSeibun = nullptr, *pmnFcgrGridSeibun = nullptr,
          *pmnWeblioGridSeibun = nullptr, *pmnFfcrGridSeibun = nullptr, *pmnNihsGridSeibun = nullptr;

  // ---- handlers ----
  void actCopyExecute();
  void actCopyAllExecute();
  void actDeleteRowExecute();
  void actDeleteColExecute();
  void actFixedColExecute();
  void actFixedColOffExecute();
  void actExportSpreadsheet(QAction* action, TSpreadSheetKind kind);  // the .xlsx routes
  void actHtmlRoute(QAction* action, int route);                       // -1 the view, else a kind
  // Prepares the context menu of gdResult for a cell (col, row; row -1 for none) and of
  // gdSeibun; the menus then show what the plans say.
  void PreparePopup(int col, int row);
  void PrepareSeibunPopup(int col, int row);
  // The card of a data row (double click, Enter).
  void OpenCard(int row);
  void lblGoogleClick();
  void pnlSeizaiResize();

 protected:
  bool eventFilter(QObject* obj, QEvent* e) override;

 private:
  void BuildActions();
  void BuildControls();
  void BuildMenus();
  void ApplyOptions();
  void SetSpreadsheetButton(QAction* a);
  void SetupGrid(TXlsStringGrid* g);
  std::string FHighlightWords;
};
