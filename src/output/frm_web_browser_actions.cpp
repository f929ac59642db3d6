// The HTML view's tool bar: save, print, preview, page setup, zoom, style sheet, markup view
// and the spreadsheet exports.
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDesktopServices>
#include <QEventLoop>
#include <QFileInfo>
#include <QMimeData>
#include <QPageSetupDialog>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinterInfo>
#include <QSlider>
#include <QTimer>
#include <QToolButton>
#include <QUrl>

#include "foundation/file_dialog_pos.h"
#include "foundation/global.h"
#include "foundation/message_sink.h"
#include "output/frm_web_browser.h"
#include "output/grid_export.h"
#include "output/html_spreadsheet.h"
#include "output/page_view.h"
#include "output/result_page.h"
#include "output/temp_files.h"
#include "output/web_lookup.h"

namespace {

// Runs a local loop until `done` holds, `window` is gone, or time runs out.
bool WaitUntil(QPointer<TfrmWebBrowser> window, int timeoutMs, const std::function<bool()>& done) {
  QEventLoop loop;
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
    if (!window || done()) loop.quit();
  });
  poll.start(10);
  QTimer limit;
  limit.setSingleShot(true);
  QObject::connect(&limit, &QTimer::timeout, &loop, &QEventLoop::quit);
  limit.start(timeoutMs);
  if (window && !done()) loop.exec();
  return window && done();
}

constexpr int kPrintWaitMs = 120000;

// The hourglass while the engine lays the page out for printing (seconds for a long result).
struct TPrintCursor {
  TPrintCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
  ~TPrintCursor() { QApplication::restoreOverrideCursor(); }
  TPrintCursor(const TPrintCursor&) = delete;
  TPrintCursor& operator=(const TPrintCursor&) = delete;
};

}  // namespace

// ---- save, print, preview, page setup -------------------------------------------------------

void TfrmWebBrowser::bSaveClick() {
  QPointer<TfrmWebBrowser> self(this);
  // Page mode saves the page as built; post mode the document as it stands.
  std::string bytes = Html;
  if (!PostData.empty() || bytes.empty()) {
    std::string markup;
    if (!CurrentMarkup(markup) || !self) return;
    bytes = SpreadsheetPage(markup);
  }
  TSaveDialogPos dlg;
  dlg.Title = "名前を付けて保存";
  dlg.Filter = "HTMLﾌｧｲﾙ(*.html;*.htm)|*.html;*.htm|ﾃｷｽﾄ (*.txt)|*.txt";
  dlg.DefaultExt = "html";
  dlg.OverwritePrompt = true;
  dlg.InitialDir = QString::fromStdString(GetSpecialFolderPath(CSIDL_PERSONAL));
  dlg.FileName = "result.html";
  if (!dlg.Execute(this) || !self) return;
  std::string error;
  const std::string path = dlg.FileName.toStdString();
  if (WriteTextFile(path, bytes, &error) != 0)
    ShowMessageBox(TMsgKind::Error, "Quillmar", "HTMLファイルを保存できませんでした。\r\n" + path + "\r\n" + error);
}

bool TfrmWebBrowser::PrintToPdf(const QString& path) {
  QPointer<TfrmWebBrowser> self(this);
  auto state = std::make_shared<int>(0);  // 0 running, 1 done, 2 failed
  TPrintCursor busy;
  WebBrowser->PrintToPdf(path, FPrinter.pageLayout(), [state](bool ok) { *state = ok ? 1 : 2; });
  const bool done = WaitUntil(self, kPrintWaitMs, [state] { return *state != 0; });
  return self && done && *state == 1;
}

void TfrmWebBrowser::bPreviewClick() {
  QPointer<TfrmWebBrowser> self(this);
  if (!WaitForDocument() || !self) return;
  if (QPrinterInfo::availablePrinters().isEmpty()) {
    // No printer set up: the preview is the page as a PDF in the desktop's viewer.
    const std::string path = NewTempFile(".pdf");
    if (path.empty() || !PrintToPdf(QString::fromStdString(path))) {
      if (self) ShowMessageBox(TMsgKind::Error, "Quillmar", "プレビューを作成できませんでした。");
      return;
    }
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(path))))
      ShowMessageBox(TMsgKind::Error, "Quillmar", "PDF を開けませんでした。\r\n" + path);
    return;
  }
  QPrintPreviewDialog dlg(&FPrinter, this);
  connect(&dlg, &QPrintPreviewDialog::paintRequested, this, [this, self](QPrinter* printer) {
    auto state = std::make_shared<int>(0);
    TPrintCursor busy;
    WebBrowser->Print(printer, [state](bool ok) { *state = ok ? 1 : 2; });
    WaitUntil(self, kPrintWaitMs, [state] { return *state != 0; });
  });
  RunDialog(dlg);
}

void TfrmWebBrowser::bPrintClick() {
  QPointer<TfrmWebBrowser> self(this);
  if (!WaitForDocument() || !self) return;
  QPrintDialog dlg(&FPrinter, this);
  if (RunDialog(dlg) != QDialog::Accepted || !self) return;
  auto state = std::make_shared<int>(0);
  bool done = false;
  {
    TPrintCursor busy;
    WebBrowser->Print(&FPrinter, [state](bool ok) { *state = ok ? 1 : 2; });
    done = WaitUntil(self, kPrintWaitMs, [state] { return *state != 0; });
  }
  if (!self) return;
  if (!done || *state != 1) ShowMessageBox(TMsgKind::Error, "Quillmar", "印刷できませんでした。");
}

void TfrmWebBrowser::bPageSetupClick() {
  QPageSetupDialog dlg(&FPrinter, this);
  RunDialog(dlg);
}

void TfrmWebBrowser::trkZoomChange(int position) { WebBrowser->SetZoom(ZoomFactorOf(position)); }

// ---- style sheet and markup view -------------------------------------------------------------

void TfrmWebBrowser::cbCssFileChange(int index) {
  if (index < 0 || Body.empty() || !OptionData) return;
  const std::string name = cbCssFile->itemText(index).toStdString();
  const std::string path = OptionData->CssDir + "/" + name;
  std::string css, error;
  if (!ReadPageTextFile(path, css, &error)) {
    ShowMessageBox(TMsgKind::Error, "Quillmar", "スタイルシートを読めません。\r\n" + error);
    return;
  }
  OptionData->CssFile = path;
  ShowHtml(PageWithStyleSheet(css, Head, Body));
}

void TfrmWebBrowser::btnInnerHTMLViewClick() {
  QPointer<TfrmWebBrowser> self(this);
  std::string markup;
  if (!CurrentMarkup(markup) || !self) return;
  if (!MarkupFile.empty()) {
    RemoveTempFile(MarkupFile);
    std::erase(FTempFiles, MarkupFile);
  }
  // A text file, so that the desktop opens it in its text editor.
  MarkupFile = NewTempFile(".txt");
  std::string error = "一時ファイルを作成できません。";
  if (MarkupFile.empty() || WriteTextFile(MarkupFile, markup, &error) != 0) {
    ShowMessageBox(TMsgKind::Error, "Quillmar", error);
    return;
  }
  ShellEditFile(this, MarkupFile);
}

// ---- exports ---------------------------------------------------------------------------------

int TfrmWebBrowser::actExportExcelExecute() {
  SetExportAction(actExportExcel);
  QPointer<TfrmWebBrowser> self(this);
  std::string markup;
  if (!CurrentMarkup(markup) || !self) return 0;
  // As HTML for programs that paste it as cells, and as the markup text itself.
  auto* mime = new QMimeData;
  mime->setHtml(QString::fromStdString(markup));
  mime->setText(QString::fromStdString(markup));
  QApplication::clipboard()->setMimeData(mime);
  return PasteClipboardToSpreadsheet(sskExcel);
}

int TfrmWebBrowser::actExportWPSExecute() {
  SetExportAction(actExportWPS);
  QPointer<TfrmWebBrowser> self(this);
  std::string markup;
  if (!CurrentMarkup(markup) || !self) return 0;
  auto* mime = new QMimeData;
  mime->setHtml(QString::fromStdString(markup));
  mime->setText(QString::fromStdString(markup));
  QApplication::clipboard()->setMimeData(mime);
  return PasteClipboardToSpreadsheet(sskKingsoft);
}

int TfrmWebBrowser::actExportJustCalcExecute() {
  SetExportAction(actExportJustCalc);
  // Post mode has no page file of its own: nothing to hand over.
  if (!PostData.empty() || TempFile.empty() || !QFileInfo::exists(QString::fromStdString(TempFile))) return 0;
  QPointer<TfrmWebBrowser> self(this);
  std::string markup;
  if (!CurrentMarkup(markup) || !self) return 0;
  std::string error;
  if (WriteTextFile(TempFile, SpreadsheetPage(markup), &error) != 0) {
    ShowMessageBox(TMsgKind::Error, "Quillmar", SpreadsheetFailureText(sskJustCalc) + "\r\n" + error);
    return -2;
  }
  return OpenFileInSpreadsheet(sskJustCalc, TempFile);
}

int TfrmWebBrowser::actExportCalcExecute() {
  SetExportAction(actExportCalc);
  QPointer<TfrmWebBrowser> self(this);
  std::string markup;
  if (!CurrentMarkup(markup) || !self) return 0;
  return PasteHtmlToCalc(markup, "Quillmar");
}
