// The spreadsheet export and the result grid window on result-sized grids, each beside a
// baseline measured in the same run:
//   .xlsx of 250,000 x 30 (constant-memory writer): time and peak memory added, beside
//     LibreOffice converting the same grid's CSV to .xlsx, and beside the writer library's own
//     floor (the same texts written as strings with one format, nothing else);
//   the grid window's copy of a 250,000-row result, beside copying the cells one by one;
//   the HTML view printing the result page of the first 5,000 rows to PDF, fitted to the paper
//     (as print and preview do; a page of that many cells is drawn by the program), beside the
//     same page printed by the view's engine without fitting (a figure only); when the engine
//     cannot print that many rows, both again at 1,000 rows; and both for a small result of 38
//     rows.
// Goals: .xlsx < 5 s and < 50 MB added; grid-window copy < 50 ms.
// LibreOffice's peak memory is measured by GNU time around it (a child of this program would
// start from this program's own resident set); without /usr/bin/time, or when LibreOffice did
// not run, no peak is printed.
//
// usage: bench_output [ROWS [PRINT_ROWS]]    (QT_QPA_PLATFORM=offscreen is set when unset)
#include <malloc.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QProcess>
#include <QTemporaryDir>
#include <QUrl>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "bench_stats.h"
#include "foundation/message_sink.h"
#include "output/grid_export.h"
#include "output/grid_model.h"
#include "output/xls_string_grid.h"
#include "output/frm_grid.h"
#include "output/frm_web_browser.h"
#include "output/result_page.h"
#include "output/xlsx_export.h"

#include <xlsxwriter.h>

namespace {

constexpr int kCols = 30;
// A result the engine still prints without fitting (the print figure's second size).
constexpr int kBothPrintRows = 1000;
// A small result's print (the view's engine prints it, fitted and as it stands).
constexpr int kSmallPrintRows = 38;

// Texts shaped like registered-use rows.
std::string CellText(int col, int row, std::mt19937& rng) {
  static const char* const kCrops[] = {"トマト", "ミニトマト", "きゅうり", "なす", "キャベツ", "はくさい", "だいず", "稲"};
  static const char* const kPests[] = {"アブラムシ類", "うどんこ病", "灰色かび病", "ハダニ類", "コナガ", "いもち病"};
  const int bango = 10000 + row / 25;
  switch (col) {
    case 0: return std::to_string(bango);
    case 1: return (bango % 3) ? "殺虫剤" : "殺菌剤";
    case 2: return "農薬" + std::to_string(bango) + "水和剤";
    case 3: return "通称" + std::to_string(bango % 4000);
    case 4: return kCrops[rng() % 8];
    case 5: return kPests[rng() % 6];
    case 6: return std::string("収穫") + std::to_string(rng() % 30 + 1) + "日前まで";
    case 7: return std::to_string((rng() % 40 + 1) * 100) + "倍";
    case 8: return std::to_string((rng() % 30 + 1) * 10) + "～" + std::to_string((rng() % 30 + 31) * 10) + "L/10a";
    case 9: return (rng() % 2) ? "散布" : "株元散布";
    case 10: return std::to_string(rng() % 5 + 1) + "回以内";
    case 11: return std::to_string(rng() % 3 + 1);
    default: return (rng() % 3) ? "-" : "備考" + std::to_string(rng() % 100);
  }
}

void Fill(TXlsStringGrid& g, int rows) {
  std::vector<std::string> titles;
  for (int c = 0; c < kCols; ++c) titles.push_back(c == 0 ? "番号" : "列" + std::to_string(c));
  std::mt19937 rng(42);
  std::vector<std::string> cells(static_cast<size_t>(rows) * kCols);
  for (int r = 0; r < rows; ++r)
    for (int c = 0; c < kCols; ++c) cells[static_cast<size_t>(r) * kCols + c] = CellText(c, r, rng);
  g.Model().Fill(titles, rows, [&](int r, int c) -> std::string_view { return cells[static_cast<size_t>(r) * kCols + c]; });
}

// Peak resident memory since the last reset, in MB (VmHWM; reset through clear_refs).
void ResetPeak() {
  std::ofstream f("/proc/self/clear_refs");
  f << "5";
}
double PeakMb() { return StatusKb("VmHWM:") / 1024.0; }

void Line(const char* what, double ours, const char* base, double theirs, const char* unit, double goal) {
  std::printf("%-36s %9.1f %s   %s %9.1f %s   goal < %g %s  %s\n", what, ours, unit, base, theirs, unit, goal, unit,
              ours < goal ? "ok" : "MISSED");
}

void LineAlone(const char* what, double ours, const char* unit, double goal, const char* why) {
  std::printf("%-36s %9.1f %s   (%s)   goal < %g %s  %s\n", what, ours, unit, why, goal, unit,
              ours < goal ? "ok" : "MISSED");
}

// The maximum resident set GNU time wrote (kB, its last line), -1 when there is none.
long TimedPeakKb(const QString& path) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return -1;
  const QList<QByteArray> lines = f.readAll().trimmed().split('\n');
  bool ok = false;
  const long kb = lines.isEmpty() ? -1 : lines.last().trimmed().toLong(&ok);
  return ok ? kb : -1;
}


// The HTML view printing the result page of the first `rows` rows of `model` to PDF, fitted
// (as print and preview do: drawn beyond the engine's cell bound) and by the engine without
// fitting; best of two each.  A print that fails is said so (the other still runs, on a fresh
// view when the engine's page process ended).  True when the print without fitting worked.
bool PrintFigure(const TGridModel& model, int rows, QTemporaryDir& dir) {
  TGridModel part;
  part.Fill(model.RowTexts(0), rows, [&](int r, int c) -> std::string_view { return model.Cell(c, r + 1); });
  TResultPageSource src;
  src.Grid = &part;
  src.UpdateText = "2026年11月4日反映";
  const TResultPage page = BuildResultPage(src, "", sskExcel, {"", ""});
  QPointer<TfrmWebBrowser> view;
  auto fresh = [&] {
    delete view;
    view = new TfrmWebBrowser;
    view->Html = page.Page;
    view->Body = page.Body;
    view->setWindowState(Qt::WindowMinimized);
    return view->Show();
  };
  bool plainOk = false;
  auto print = [&](bool fit) -> std::string {
    const QString pdf = dir.filePath(fit ? "fitted.pdf" : "plain.pdf");
    double best = 1e9;
    std::string how;
    for (int i = 0; i < 2; ++i) {
      // The engine's page process of an earlier failure is gone: a new view.
      if ((!view || view->RendererGone()) && !fresh()) return "view did not load";
      how = fit && view->PrintsDrawn() ? ", drawn" : ", engine";
      const double t = Now();
      if (!view->PrintToPdf(pdf, fit))
        return view->RendererGone() ? "failed: the engine's page process ended" : "failed";
      best = std::min(best, Now() - t);
    }
    if (!fit) plainOk = true;
    char text[96];
    std::snprintf(text, sizeof text, "%.2f s (PDF %.1f MB%s)", best, QFileInfo(pdf).size() / 1048576.0, how.c_str());
    return text;
  };
  if (!fresh()) {
    std::printf("HTML view of %d rows did not load\n", rows);
  } else {
    const std::string plainS = print(false);
    const std::string fitS = print(true);
    std::printf("print to PDF, %d rows: fitted %s   view without fitting %s   (figure)\n", rows, fitS.c_str(),
                plainS.c_str());
  }
  delete view;
  return plainOk;
}

}  // namespace

int main(int argc, char** argv) {
  if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  // The HTML view's engine (the print figures).
  QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
  setenv("QTWEBENGINE_DISABLE_SANDBOX", "1", 0);
  QApplication app(argc, argv);
  TLogMessageSink quiet([](const std::string&) {});
  TScopedMessageSink scoped(&quiet);
  const int rows = argc > 1 ? std::atoi(argv[1]) : 250000;
  const int printRows = std::min(rows, argc > 2 ? std::atoi(argv[2]) : 5000);
  QTemporaryDir dir;

  TXlsStringGrid grid;
  Fill(grid, rows);
  // The main window's spreadsheet copy sets these.
  grid.FreezePanesRow = 2;
  grid.FreezePanesCol = 1;
  grid.PageOrientation = xlLandscape;
  grid.CellBorderWeight = bwHairline;

  // ---- .xlsx
  malloc_trim(0);
  ResetPeak();
  const double rss0 = RssMb();
  const std::string xlsx = dir.filePath("grid.xlsx").toStdString();
  double t0 = Now();
  TXlsxResult r = WriteGridXlsx(grid.Model(), SheetSpecOf(grid, sskExcel), xlsx);
  const double xlsxS = Now() - t0;
  const double xlsxMb = PeakMb() - rss0;
  if (r.Code != 1) std::printf("xlsx failed: %s\n", r.Message.c_str());
  const double xlsxSize = QFile(QString::fromStdString(xlsx)).size() / 1048576.0;

  // The library's floor: the same cells as strings with one format.
  const std::string raw = dir.filePath("raw.xlsx").toStdString();
  t0 = Now();
  {
    lxw_workbook_options o{};
    o.constant_memory = LXW_TRUE;
    lxw_workbook* wb = workbook_new_opt(raw.c_str(), &o);
    lxw_worksheet* ws = workbook_add_worksheet(wb, nullptr);
    lxw_format* f = workbook_add_format(wb);
    format_set_border(f, LXW_BORDER_HAIR);
    const TGridModel& m = grid.Model();
    std::string cell;
    for (int r = 0; r < m.RowCount(); ++r)
      for (int c = 0; c < m.ColCount(); ++c) {
        cell.assign(m.Cell(c, r));
        worksheet_write_string(ws, static_cast<lxw_row_t>(r), static_cast<lxw_col_t>(c), cell.c_str(), f);
      }
    workbook_close(wb);
  }
  const double rawS = Now() - t0;

  // LibreOffice converting the same grid's CSV (written beforehand, not timed).
  const std::string csv = dir.filePath("grid.csv").toStdString();
  WriteCsvFile(grid.Model(), csv, false, true);
  QProcess lo;
  lo.setWorkingDirectory(dir.path());
  const QStringList loArgs = {"-env:UserInstallation=" + QUrl::fromLocalFile(dir.filePath("profile")).toString(),
                              "--headless", "--infilter=CSV:44,34,76", "--convert-to", "xlsx", "--outdir",
                              dir.filePath("lo"), QString::fromStdString(csv)};
  const QString timeOut = dir.filePath("lo-time.txt");
  const bool timed = QFileInfo(QStringLiteral("/usr/bin/time")).isExecutable();
  t0 = Now();
  if (timed)
    lo.start("/usr/bin/time", QStringList{"-f", "%M", "-o", timeOut, "soffice"} + loArgs);
  else
    lo.start("soffice", loArgs);
  const bool loStarted = lo.waitForStarted(-1);
  const bool loOk = loStarted && lo.waitForFinished(-1) && lo.exitStatus() == QProcess::NormalExit &&
                    lo.exitCode() == 0 &&
                    QFileInfo::exists(dir.filePath("lo/grid.xlsx"));
  const double loS = Now() - t0;
  const long loPeakKb = loOk && timed ? TimedPeakKb(timeOut) : -1;
  std::printf("%d x %d grid; our workbook %.1f MB\n", rows, kCols, xlsxSize);
  if (!loOk)
    std::printf("LibreOffice did not convert: %s\n",
                loStarted ? lo.readAllStandardError().trimmed().constData() : "soffice could not be started");
  if (loOk)
    Line(".xlsx of the grid: time", xlsxS, "LibreOffice CSV->xlsx", loS, "s", 5);
  else
    LineAlone(".xlsx of the grid: time", xlsxS, "s", 5, "no LibreOffice run");
  Line(".xlsx of the grid: time", xlsxS, "writer library alone ", rawS, "s", 5);
  if (loPeakKb > 0)
    Line(".xlsx of the grid: memory added", xlsxMb, "LibreOffice (peak) ", loPeakKb / 1024.0, "MB", 50);
  else
    LineAlone(".xlsx of the grid: memory added", xlsxMb, "MB", 50,
              loOk ? "LibreOffice's peak not measured: no /usr/bin/time" : "no LibreOffice run");

  // ---- the grid window's copy of the result, beside copying every cell into a new grid
  {
    grid.Model().SetRowFlags(3, grfNeighbour);
    const double copyS = BestTime(3, [&] {
      TfrmGrid w(nullptr);
      w.SetGrid(grid, 0);
    });
    const double shellS = BestTime(3, [&] { TfrmGrid w(nullptr); });
    const double cellsS = BestTime(1, [&] {
      TXlsStringGrid copy;
      const TGridModel& m = grid.Model();
      std::vector<std::string> titles = m.RowTexts(0);
      copy.Model().Fill(titles, m.RowCount() - 1,
                        [&](int r, int c) -> std::string_view { return m.Cell(c, r + 1); });
    });
    Line("grid window: copy of the result", (copyS - shellS) * 1000, "cell by cell       ", cellsS * 1000, "ms", 50);
    std::printf("%-36s %9.1f ms\n", "  (the window itself, not counted)", shellS * 1000);
  }

  // ---- the HTML view printing the page of the first rows to PDF, fitted and as it stands
  if (printRows > 0) {
    const bool plainOk = PrintFigure(grid.Model(), printRows, dir);
    // The view as it stands cannot print that many rows: both at a size where it still can.
    if (!plainOk && printRows > kBothPrintRows) PrintFigure(grid.Model(), kBothPrintRows, dir);
    // A small result (as a print from the screen usually is): the engine's own PDF, with text.
    PrintFigure(grid.Model(), std::min(printRows, kSmallPrintRows), dir);
  }
  return 0;
}
