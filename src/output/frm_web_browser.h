#pragma once
// TfrmWebBrowser: the HTML view.  A free-standing window (its own task-bar button) that shows a
// result page handed over as text, or the answer of a form posted to the public service, in
// Qt WebEngine; it saves, prints (a PDF where no printer is set up; a page wider than the
// paper is turned or zoomed to fit), previews, sets up the page, zooms, copies, switches the
// page's style sheet and sends the page to a spreadsheet program.  Its placement is kept in
// section "WINDOW".  The page itself is a TPageView, whose module (the web engine) the first
// view loads.
//
// Use: create it with an owner (it is freed with the owner, or when closed); set Html (and
// Head and Body when the style sheet may be switched) or PostUrl and PostData; set the caption;
// call Show().  Show() of a page returns once the page has loaded, the window was closed, or
// the wait ran out; it returns false when the window is gone, so a caller that goes on to use
// the window holds it in a QPointer and checks it.  Pages live in files of the program's
// private temporary folder, removed when the window closes.
#include <QPointer>
#include <QPrinter>
#include <QUrl>
#include <QWidget>

#include <functional>
#include <string>
#include <vector>

class QAction;
class QComboBox;
class QDialog;
class QMenu;
class QSlider;
class QStatusBar;
class QToolBar;
class QToolButton;
class QVariant;
class TPageView;

class TfrmWebBrowser : public QWidget {
  Q_OBJECT

 public:
  explicit TfrmWebBrowser(QWidget* owner = nullptr);
  ~TfrmWebBrowser() override;

  // ---- set by the creator ----
  std::string Html;     // the whole page (page mode)
  std::string Head;     // the page's head addition (script element), kept for a rebuild
  std::string Body;     // the page's body part, kept for a rebuild
  QString PostUrl;      // address of the posted look-up
  std::string PostData; // its form body (application/x-www-form-urlencoded); not empty: post mode
  std::string Keyword;  // the look-up's keyword (not read by the window)
  bool ExportOnly = false;  // made only to run one export and be freed: it tells the user nothing

  // ---- the window's own ----
  std::string TempFile;      // file of the page shown
  std::string MarkupFile;    // file of the last markup view
  std::string InnerHtml;     // markup of the document element once the page has loaded
  bool DocumentComplete = false;

  // Shows the window and loads its page (post mode: sends the form).  A page: the caption
  // becomes the page's file, and the call returns when the page has loaded (true), or false
  // when the window was closed or freed meanwhile, or the page did not load in time.
  bool Show();
  // Writes the page to a new temporary file and shows it; waits as Show() does.
  bool ShowHtml(const std::string& page);
  void NavigatePost();
  void ListCssFiles();
  // Waits until the page has loaded; false when the window went away or time ran out.
  bool WaitForDocument(int timeoutMs = kLoadWaitMs);

  // The live markup of the document element (waits for the page first).  When the engine
  // cannot give it (its page process ended, say on a very large page), a page of our own is
  // handed over as built (PageMarkup of Html).  False when there is none (the window is
  // closing, a posted page that never loaded).
  bool CurrentMarkup(std::string& markup);
  // The part of a page between its "<html>" start tag and "</html>".
  static std::string PageMarkup(const std::string& page);
  // A page of our own without a script: its document is the page as built, so its markup is
  // known without the engine (and without waiting for a page that may be too large for it).
  bool MarkupIsPage() const;
  // The engine's page process ended during the last load.
  bool RendererGone() const { return FRendererGone; }

  // ---- tool bar and actions ----
  void bSaveClick();
  void bPreviewClick();
  void bPrintClick();
  void bPageSetupClick();
  void trkZoomChange(int position);
  void cbCssFileChange(int index);
  void btnInnerHTMLViewClick();
  // The exports; each makes itself the action of btnExcel.  Results as the spreadsheet
  // routes give them (1 done, 0 nothing to do, -1 no program, -2 failed).
  int actExportExcelExecute();
  int actExportCalcExecute();
  int actExportWPSExecute();
  int actExportJustCalcExecute();

  QToolBar* ToolBar = nullptr;
  QAction *bSave = nullptr, *bPreview = nullptr, *bPrint = nullptr, *bPageSetup = nullptr;
  QToolButton* btnExcel = nullptr;
  QMenu* dmCalc = nullptr;
  QComboBox* cbCssFile = nullptr;
  QSlider* trkZoom = nullptr;
  QAction* btnInnerHTMLView = nullptr;
  TPageView* WebBrowser = nullptr;
  QStatusBar* StatusBar = nullptr;
  QAction *actExportExcel = nullptr, *actExportCalc = nullptr, *actExportWPS = nullptr, *actExportJustCalc = nullptr;
  QAction *actCopy = nullptr, *actSelectAll = nullptr;

  // Zoom factor of a track-bar position 0..4 (2 is 100 %).
  static double ZoomFactorOf(int position);

  // Modal dialogs of the window (save, print, page setup, preview) run through this hook when
  // it is set, instead of their own event loop; returns the dialog's result.
  using TDialogHook = std::function<int(QDialog&)>;
  static TDialogHook DialogHook;
  // The page-load wait of Show() (milliseconds).
  static constexpr int kLoadWaitMs = 120000;

  // The page's printer (page setup, print, preview, PDF).
  QPrinter& Printer() { return FPrinter; }
  // Prints the page to a PDF file on the printer's paper.  With `fit`, as print and preview do,
  // a page wider than the paper is turned to the other orientation or zoomed down so that
  // every column is on the paper.  False when it could not be printed.
  bool PrintToPdf(const QString& path, bool fit = true);

  // How a page is put on the paper: the orientation and the zoom for print (1: as it stands).
  struct TPrintFit {
    QPageLayout::Orientation Orientation;
    double Zoom;
  };
  // A page that needs at least `need` CSS pixels, on the chosen paper of `width` printable
  // pixels; `otherWidth`: the other orientation's (0: not to be turned).  A page that fits keeps
  // its paper; one that does not takes the wider paper, zoomed down as far as it must be.
  static TPrintFit ChoosePrintFit(QPageLayout::Orientation chosen, double width, double otherWidth, double need);
  // A page of our own with more table cells than this is printed (print, preview, PDF) by
  // drawing its text on the paper instead of by the engine, whose page process needs gigabytes
  // for a result of some thousand rows; so is one whose page process ended.
  static size_t EnginePrintCellBound;
  // Called once a print has been handed to the engine, before its answer can come (the tests
  // end the page process there).
  static std::function<void(TfrmWebBrowser&)> PrintHandedOver;
  // True when a fitted print of the page now goes the drawn way.
  bool PrintsDrawn() const;
  // Every temporary file the window made and has not removed yet.
  const std::vector<std::string>& TempFiles() const { return FTempFiles; }

 signals:
  void DocumentCompleted();
  // Something a wait may be waiting for happened (page loaded, script answered, closing).
  void Woken();

 protected:
  void showEvent(QShowEvent* ev) override;
  void closeEvent(QCloseEvent* ev) override;

 private:
  void BuildControls();
  void ReadPlacement();
  void WritePlacement();
  void StartLoad();
  void LoadFinished(bool ok);
  void SetExportAction(QAction* action);
  // The Excel and WPS routes: the live markup on the clipboard (as HTML and as text), pasted
  // by the spreadsheet program of `kind` (a TSpreadSheetKind).
  int PasteMarkupToSpreadsheet(QAction* action, int kind);
  int RunDialog(QDialog& dialog);
  std::string NewTempFile(const std::string& ext);
  void RemoveTempFiles();
  // Measures the page on `layout`'s paper and, when it is too wide, sets the print zoom; returns
  // the paper to print on (the other orientation only when `mayTurn`).  EndPrintFit removes
  // the zoom again.
  QPageLayout BeginPrintFit(const QPageLayout& layout, bool mayTurn);
  void EndPrintFit();
  // The page's own markup drawn on `printer` (see drawn_page_print.h), fitted to the paper as
  // the engine's print is; false when it could not be.
  bool DrawnPrint(QPrinter* printer, bool mayTurn);
  bool DrawnPdf(const QString& path);
  // Why a print or preview failed, as a line to add to its message ("" when nothing is known).
  std::string PrintFailureReason() const;
  // The page is one of our own, whose markup is known without the engine.
  bool CanDrawPrint() const { return PostData.empty() && !Html.empty(); }
  // Runs a local event loop until `done()` holds, the window goes away, or time runs out; the
  // window's Woken signal (load complete, script or print result, page process gone, close)
  // makes it look again.  Returns false when the window is gone.
  static bool WaitFor(QPointer<TfrmWebBrowser> self, int timeoutMs, const std::function<bool()>& done);
  // Runs a script in the page's own world of the program and waits for its result.
  bool RunPageScript(const QString& script, QVariant* result);

  // At the printer's own resolution: the engine draws its pages as images of that resolution.
  QPrinter FPrinter{QPrinter::HighResolution};
  QUrl FExpectedUrl;  // the page file being loaded
  std::vector<std::string> FTempFiles;
  bool FStarted = false;
  bool FClosing = false;
  bool FLoading = false;
  bool FRendererGone = false;
  bool FPrintZoomed = false;  // the page holds the print zoom rule
  int FLoadSerial = 0;
};
