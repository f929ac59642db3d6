// The HTML view's printing: print, preview (a PDF where no printer is set up), page setup, and
// the fitting of a page wider than the paper.
//
// A result table is as wide as its columns need (the titles do not wrap), so a result of many
// columns is wider than a portrait page.  The engine would cut it at the paper's right edge,
// so before printing the page is laid out once as narrow as it can be and measured: when that
// is wider than the paper, the other orientation is taken if it is wider, and what is still
// too wide is zoomed down for print only.  The screen never sees the print rule.
#include <QApplication>
#include <QDesktopServices>
#include <QEventLoop>
#include <QPageSetupDialog>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinterInfo>
#include <QTimer>
#include <QUrl>

#include <cmath>
#include <memory>
#include <optional>

#include "foundation/message_sink.h"
#include "output/drawn_page_print.h"
#include "output/frm_web_browser.h"
#include "output/page_view.h"
#include "output/pdf_text_map.h"

namespace {

constexpr int kPrintWaitMs = 120000;

// The answer of a print: 1 done, 2 failed (0 while it runs); it wakes the window's wait.
std::function<void(bool)> Finished(QPointer<TfrmWebBrowser> window, std::shared_ptr<int> state) {
  return [window, state](bool ok) {
    *state = ok ? 1 : 2;
    if (window) emit window->Woken();
  };
}
constexpr int kMeasureWaitMs = 60000;

// The hourglass while the engine lays the page out for printing (seconds for a long result).
struct TPrintCursor {
  TPrintCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
  ~TPrintCursor() { QApplication::restoreOverrideCursor(); }
  TPrintCursor(const TPrintCursor&) = delete;
  TPrintCursor& operator=(const TPrintCursor&) = delete;
};

// The engine prints 96 CSS pixels to the inch.
constexpr double kPixelsPerPoint = 96.0 / 72.0;
constexpr const char* kFitStyleId = "quillmar-print-fit";

// The printable width of a paper in CSS pixels.
double PaperWidth(const QPageLayout& layout) {
  return std::floor(layout.paintRect(QPageLayout::Point).width() * kPixelsPerPoint);
}

QPageLayout::Orientation Other(QPageLayout::Orientation o) {
  return o == QPageLayout::Portrait ? QPageLayout::Landscape : QPageLayout::Portrait;
}

// Lays the document out with no width to spare and gives the width it takes then (CSS
// pixels): the right edge of the body's furthest content plus the body's right margin.  A
// table is then as narrow as its columns can be, so the page fits any paper at least this
// wide, and a narrower paper holds it zoomed by the ratio.  The document's own width is
// restored.
const char* const kMeasureScript =
    "(function () {"
    "  var de = document.documentElement, body = document.body;"
    "  if (!body) return 0;"
    "  var old = de.style.width;"
    "  de.style.width = '0px';"
    "  var right = body.getBoundingClientRect().left + window.scrollX + body.scrollWidth;"
    "  for (var el = body.firstElementChild; el; el = el.nextElementSibling)"
    "    right = Math.max(right, el.getBoundingClientRect().right + window.scrollX);"
    "  right += parseFloat(getComputedStyle(body).marginRight) || 0;"
    "  de.style.width = old;"
    "  return Math.ceil(right);"
    "})()";

}  // namespace

size_t TfrmWebBrowser::EnginePrintCellBound = 20000;
std::function<void(TfrmWebBrowser&)> TfrmWebBrowser::PrintHandedOver;

// ---- fitting -----------------------------------------------------------------------------------

TfrmWebBrowser::TPrintFit TfrmWebBrowser::ChoosePrintFit(QPageLayout::Orientation chosen, double width,
                                                         double otherWidth, double need) {
  if (width <= 0 || need <= width) return {chosen, 1.0};
  // Three decimals, rounded down, so that rounding never leaves a pixel over the edge.
  auto down = [](double z) { return std::max(0.01, std::floor(z * 1000.0) / 1000.0); };
  if (otherWidth > width) return {Other(chosen), need <= otherWidth ? 1.0 : down(otherWidth / need)};
  return {chosen, down(width / need)};
}

bool TfrmWebBrowser::RunPageScript(const QString& script, QVariant* result) {
  if (FRendererGone || FClosing) return false;
  QPointer<TfrmWebBrowser> self(this);
  auto answer = std::make_shared<std::optional<QVariant>>();
  WebBrowser->RunScript(script, [self, answer](const QVariant& v) {
    *answer = v;
    if (self) emit self->Woken();
  });
  if (!WaitFor(self, kMeasureWaitMs, [self, answer] { return answer->has_value() || self->FRendererGone; }) ||
      !answer->has_value())
    return false;
  if (result) *result = **answer;
  return true;
}

QPageLayout TfrmWebBrowser::BeginPrintFit(const QPageLayout& layout, bool mayTurn) {
  FPrintZoomed = false;
  const double width = PaperWidth(layout);
  QPageLayout other = layout;
  other.setOrientation(Other(layout.orientation()));
  QVariant measured;
  if (width <= 0 || !RunPageScript(QString::fromLatin1(kMeasureScript), &measured)) return layout;
  bool ok = false;
  const double need = measured.toDouble(&ok);
  if (!ok || need <= 0) return layout;
  const TPrintFit fit = ChoosePrintFit(layout.orientation(), width, mayTurn ? PaperWidth(other) : 0.0, need);
  if (fit.Zoom < 1.0) {
    const QString rule = QString("@media print { html { zoom: %1; } }").arg(fit.Zoom, 0, 'f', 3);
    FPrintZoomed = RunPageScript(QString("(function () {"
                                         "  var s = document.getElementById('%1') || document.createElement('style');"
                                         "  s.id = '%1'; s.textContent = '%2';"
                                         "  (document.head || document.documentElement).appendChild(s);"
                                         "  return true;"
                                         "})()")
                                     .arg(kFitStyleId, rule),
                                 nullptr);
  }
  return fit.Orientation == layout.orientation() ? layout : other;
}

void TfrmWebBrowser::EndPrintFit() {
  if (!FPrintZoomed) return;
  FPrintZoomed = false;
  RunPageScript(QString("(function () { var s = document.getElementById('%1'); if (s) s.remove(); return true; })()")
                    .arg(kFitStyleId),
                nullptr);
}

// ---- the drawn print ---------------------------------------------------------------------------

bool TfrmWebBrowser::PrintsDrawn() const {
  if (!CanDrawPrint()) return false;
  if (FRendererGone) return true;
  size_t cells = 0;
  for (const char* open : {"<td", "<th", "<TD", "<TH"})
    for (size_t at = Html.find(open); at != std::string::npos && cells <= EnginePrintCellBound;
         at = Html.find(open, at + 3))
      ++cells;
  return cells > EnginePrintCellBound;
}

bool TfrmWebBrowser::DrawnPrint(QPrinter* printer, bool mayTurn) {
  const TDrawnPage page = ReadDrawnPage(Html);
  if (page.Blocks.empty()) return false;
  const QPageLayout layout = printer->pageLayout();
  QPageLayout other = layout;
  other.setOrientation(Other(layout.orientation()));
  const double width = layout.paintRect(QPageLayout::Point).width();
  const TPrintFit fit = ChoosePrintFit(layout.orientation(), width,
                                       mayTurn ? other.paintRect(QPageLayout::Point).width() : 0.0,
                                       DrawnPageWidth(page, printer));
  if (fit.Orientation != layout.orientation()) printer->setPageOrientation(fit.Orientation);
  return DrawPage(page, printer, fit.Zoom);
}

bool TfrmWebBrowser::DrawnPdf(const QString& path) {
  QPrinter pdf(QPrinter::HighResolution);
  pdf.setOutputFormat(QPrinter::PdfFormat);
  pdf.setOutputFileName(path);
  pdf.setPageLayout(FPrinter.pageLayout());
  pdf.setDocName(windowTitle());
  if (!DrawnPrint(&pdf, true)) return false;
  // The text a reader finds is the characters on the page (radicals made ideographs again).
  // The file is whole either way: a map that could not be rewritten is said, not a failure.
  if (!FixPdfTextMaps(path)) MessageSink().Log("PDF の文字情報を直せませんでした: " + path.toStdString());
  return true;
}

// ---- print, preview, page setup ----------------------------------------------------------------

std::string TfrmWebBrowser::PrintFailureReason() const {
  // Without the page module nothing can lay the page out: said as the view says it.
  return PageViewModuleLoaded() ? std::string() : "\r\n" + PageViewMissingText();
}

bool TfrmWebBrowser::PrintToPdf(const QString& path, bool fit) {
  QPointer<TfrmWebBrowser> self(this);
  if (!WaitForDocument() || !self) return false;
  TPrintCursor busy;
  if (fit && PrintsDrawn()) return DrawnPdf(path);
  auto state = std::make_shared<int>(0);  // 0 running, 1 done, 2 failed
  const QPageLayout layout = fit ? BeginPrintFit(FPrinter.pageLayout(), true) : FPrinter.pageLayout();
  if (!self) return false;
  WebBrowser->PrintToPdf(path, layout, Finished(self, state));
  if (PrintHandedOver) PrintHandedOver(*this);
  // A page process that ends while it prints (a result too long for it) never answers.
  if (!WaitFor(self, kPrintWaitMs, [self, state] { return *state != 0 || self->FRendererGone; })) return false;
  const bool done = *state != 0;
  EndPrintFit();
  if (done && *state == 1) return true;
  // The page process ended under the print: a page of our own is drawn instead.
  return fit && FRendererGone && CanDrawPrint() && DrawnPdf(path);
}

void TfrmWebBrowser::bPreviewClick() {
  QPointer<TfrmWebBrowser> self(this);
  if (!WaitForDocument() || !self) return;
  if (QPrinterInfo::availablePrinters().isEmpty()) {
    // No printer set up: the preview is the page as a PDF in the desktop's viewer.
    const std::string path = NewTempFile(".pdf");
    if (path.empty() || !PrintToPdf(QString::fromStdString(path))) {
      if (self) ShowMessageBox(TMsgKind::Error, "Quillmar", "プレビューを作成できませんでした。" + PrintFailureReason());
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
    // The preview shows the paper the user has set there; the page is fitted to its width.
    if (PrintsDrawn()) {
      DrawnPrint(printer, false);
      return;
    }
    BeginPrintFit(printer->pageLayout(), false);
    if (!self) return;
    WebBrowser->Print(printer, Finished(self, state));
    if (PrintHandedOver) PrintHandedOver(*this);
    if (!WaitFor(self, kPrintWaitMs, [self, state] { return *state != 0 || self->FRendererGone; })) return;
    EndPrintFit();
    if (*state != 1 && FRendererGone && CanDrawPrint()) DrawnPrint(printer, false);
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
  const QPageLayout::Orientation chosen = FPrinter.pageLayout().orientation();
  if (FPrinter.outputFormat() == QPrinter::PdfFormat && !FPrinter.outputFileName().isEmpty()) {
    // A PDF file keeps its text: the engine's own PDF (or the drawn page), not page images.
    done = PrintToPdf(FPrinter.outputFileName());
    if (!self) return;
    if (!done) ShowMessageBox(TMsgKind::Error, "Quillmar", "印刷できませんでした。" + PrintFailureReason());
    return;
  }
  {
    TPrintCursor busy;
    if (PrintsDrawn()) {
      done = DrawnPrint(&FPrinter, true);
      *state = done ? 1 : 2;
    } else {
      const QPageLayout fitted = BeginPrintFit(FPrinter.pageLayout(), true);
      if (!self) return;
      // This print only: the printer keeps the orientation the user chose.
      FPrinter.setPageOrientation(fitted.orientation());
      WebBrowser->Print(&FPrinter, Finished(self, state));
      if (PrintHandedOver) PrintHandedOver(*this);
      if (!WaitFor(self, kPrintWaitMs, [self, state] { return *state != 0 || self->FRendererGone; })) return;
      done = *state != 0;
      EndPrintFit();
      // The page process ended under the print: a page of our own is drawn instead.
      if ((!done || *state != 1) && FRendererGone && CanDrawPrint()) {
        FPrinter.setPageOrientation(chosen);
        done = DrawnPrint(&FPrinter, true);
        *state = done ? 1 : 2;
      }
    }
  }
  if (!self) return;
  FPrinter.setPageOrientation(chosen);
  if (!done || *state != 1) ShowMessageBox(TMsgKind::Error, "Quillmar", "印刷できませんでした。" + PrintFailureReason());
}

void TfrmWebBrowser::bPageSetupClick() {
  QPageSetupDialog dlg(&FPrinter, this);
  RunDialog(dlg);
}
