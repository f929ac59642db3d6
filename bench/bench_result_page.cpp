// The result page of a large grid: built and written to a file, beside Python writing the same
// table (html.escape over the same cells) in the same run.
//   result page of 50,000 x 30 written: goal < 1 s
//
// usage: bench_result_page [ROWS]    (QT_QPA_PLATFORM=offscreen is set when unset)
#include <QApplication>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "bench_stats.h"
#include "foundation/message_sink.h"
#include "output/grid_export.h"
#include "output/grid_model.h"
#include "output/result_page.h"

namespace {

constexpr int kCols = 30;

std::string CellText(int col, int row, std::mt19937& rng) {
  static const char* const kCrops[] = {"トマト", "ミニトマト", "きゅうり", "なす", "キャベツ", "はくさい", "稲", "小麦"};
  static const char* const kPests[] = {"アブラムシ類", "うどんこ病", "灰色かび病", "ハダニ類", "コナガ", "いもち病"};
  const int bango = 10000 + row / 25;
  switch (col % 10) {
    case 0: return std::to_string(bango);
    case 1: return "農薬" + std::to_string(bango) + "水和剤";
    case 2: return kCrops[rng() % 8];
    case 3: return kPests[rng() % 6];
    case 4: return std::to_string((rng() % 40 + 1) * 100) + "倍";
    case 5: return std::to_string((rng() % 30 + 1) * 10) + "～300L/10a";
    case 6: return "収穫" + std::to_string(rng() % 30 + 1) + "日前まで";
    case 7: return (rng() % 5) ? "散布" : "<株元> & \"灌注\"";
    case 8: return std::to_string(rng() % 5 + 1) + "回以内";
    default: return (rng() % 3) ? "" : "備考" + std::to_string(rng() % 100);
  }
}

bool WriteBytes(const QString& path, const std::string& bytes) {
  QFile f(path);
  return f.open(QIODevice::WriteOnly) && f.write(bytes.data(), static_cast<qint64>(bytes.size())) == static_cast<qint64>(bytes.size());
}

// Python reads the grid's CSV once, then times building and writing the same table.
double PythonSeconds(const QString& csv, const QString& out) {
  QProcess p;
  p.start("/usr/bin/python3",
          {"-c",
           "import csv, html, sys, time\n"
           "rows = list(csv.reader(open(sys.argv[1], encoding='utf-8', newline='')))\n"
           "best = 1e9\n"
           "for _ in range(3):\n"
           "    t0 = time.perf_counter()\n"
           "    parts = ['<html><head><meta charset=\"UTF-8\"></head><body><table border=\"1\">\\r\\n']\n"
           "    for i, r in enumerate(rows):\n"
           "        parts.append('<tr class=\"%s\">\\r\\n' % ('header' if i == 0 else ('odd' if i % 2 else 'even')))\n"
           "        tag = 'th' if i == 0 else 'td'\n"
           "        for c in r:\n"
           "            parts.append('\\t<%s>%s</%s>\\r\\n' % (tag, html.escape(c.strip(), quote=True), tag))\n"
           "        parts.append('</tr>\\r\\n')\n"
           "    parts.append('</table></body></html>')\n"
           "    with open(sys.argv[2], 'w', encoding='utf-8', newline='') as f:\n"
           "        f.write(''.join(parts))\n"
           "    best = min(best, time.perf_counter() - t0)\n"
           "print(best)\n",
           csv, out});
  if (!p.waitForFinished(600000) || p.exitCode() != 0) return -1;
  return p.readAllStandardOutput().trimmed().toDouble();
}

}  // namespace

int main(int argc, char** argv) {
  if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication app(argc, argv);
  TLogMessageSink quiet([](const std::string&) {});
  TScopedMessageSink scoped(&quiet);
  const int rows = argc > 1 ? std::atoi(argv[1]) : 50000;

  std::vector<std::string> titles;
  for (int c = 0; c < kCols; ++c) titles.push_back("列" + std::to_string(c));
  std::mt19937 rng(7);
  std::vector<std::vector<std::string>> data(static_cast<size_t>(rows), std::vector<std::string>(kCols));
  for (int r = 0; r < rows; ++r)
    for (int c = 0; c < kCols; ++c) data[r][c] = CellText(c, r, rng);
  TGridModel grid;
  grid.Fill(titles, data);
  for (int r = 1; r < grid.RowCount(); r += 7) grid.SetRowFlags(r, grfNeighbour);

  QTemporaryDir dir;
  const QString pagePath = dir.path() + "/page.html";
  TResultPageSource src;
  src.Grid = &grid;
  src.UpdateText = "2026年11月4日反映";
  src.MarkNeighbours = true;
  size_t bytes = 0;
  const double ours = BestTime(3, [&] {
    TResultPage page = BuildResultPage(src, "", sskExcel, {"", ""});
    bytes = page.Page.size();
    if (!WriteBytes(pagePath, page.Page)) std::printf("write failed\n");
  });

  const QString csvPath = dir.path() + "/grid.csv";
  WriteBytes(csvPath, BuildCsvText(grid, false));
  const double python = PythonSeconds(csvPath, dir.path() + "/python.html");

  std::printf("result page of %d x %d (%.1f MB) built and written\n", rows, kCols, bytes / 1048576.0);
  std::printf("  ours %8.3f s   Python html.escape %8.3f s   goal < 1 s  %s\n", ours, python,
              ours < 1.0 ? "ok" : "MISSED");
  return 0;
}
