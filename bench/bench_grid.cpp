// The export grid on result-sized data, each figure beside QTableWidget doing the same work in
// the same run:
//   fill 250,000 x 46 from a query result (time and resident memory added),
//   sort 100,000 rows by text and by "番号",
//   remove a row and a column of a 100,000-row grid,
//   CSV of 250,000 x 30 (Shift-JIS).
// Goals: fill < 2 s and < 300 MB; sort < 100 ms; removal < 5 / 50 ms; CSV < 1.5 s.
//
// usage: bench_grid [FILL_ROWS]    (QT_QPA_PLATFORM=offscreen is set when unset)
#include <malloc.h>

#include <QApplication>
#include <QFile>
#include <QTableWidget>
#include <QTextStream>

#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "bench_db.h"
#include "bench_stats.h"
#include "database/sqlite_db.h"
#include "foundation/message_sink.h"
#include "output/grid_export.h"
#include "output/xls_string_grid.h"

namespace {

void Trim() { malloc_trim(0); }

constexpr int kCols = 46;

std::vector<std::string> Titles() {
  std::vector<std::string> t = {"番号", "農薬の種類", "農薬の名称", "農薬通称", "作物コード", "作物名", "病害虫コード",
                                "適用病害虫雑草名", "使用目的", "使用時期", "希釈倍数使用量", "散布液量", "使用方法",
                                "適用場所", "くん蒸時間", "くん蒸温度", "適用土壌", "適用地帯名", "適用農薬名", "混合数",
                                "本剤の使用回数"};
  for (int i = 1; i <= 5; ++i) {
    t.push_back("成分" + std::to_string(i));
    t.push_back("系統" + std::to_string(i));
    t.push_back("回数" + std::to_string(i));
    t.push_back("RAC" + std::to_string(i));
  }
  for (const char* s : {"製剤毒性", "用途", "効果", "剤型", "申請者"}) t.push_back(s);
  return t;
}

// Texts shaped like registered-use rows: names, doses, timings; rarer columns mostly empty.
std::string CellText(int col, int row, std::mt19937& rng) {
  static const char* const kCrops[] = {"トマト", "ミニトマト", "きゅうり", "なす", "キャベツ", "はくさい", "だいず", "稲",
                                      "小麦", "りんご", "日本なし", "かんきつ", "ばれいしょ", "ねぎ", "いちご"};
  static const char* const kPests[] = {"アブラムシ類", "うどんこ病", "灰色かび病", "ハダニ類", "コナガ", "いもち病",
                                      "ヨトウムシ", "べと病", "アザミウマ類", "疫病", "紋枯病"};
  static const char* const kIngr[] = {"アセタミプリド", "マンゼブ", "イミダクロプリド", "銅", "エトフェンプロックス",
                                     "フルジオキソニル", "クロチアニジン", "アゾキシストロビン"};
  const int bango = 10000 + row / 25;
  switch (col) {
    case 0: return std::to_string(bango);
    case 1: return (bango % 3) ? "殺虫剤" : "殺菌剤";
    case 2: return "農薬" + std::to_string(bango) + "水和剤";
    case 3: return "通称" + std::to_string(bango % 4000);
    case 4: return std::to_string(1000000000000000LL + (rng() % 400) * 1000);
    case 5: return kCrops[rng() % 15];
    case 7: return kPests[rng() % 11];
    case 8: return (rng() % 4) ? "" : "殺虫";
    case 9: return std::string("収穫") + std::to_string(rng() % 30 + 1) + "日前まで";
    case 10: return std::to_string((rng() % 40 + 1) * 100) + "倍";
    case 11: return std::to_string((rng() % 30 + 1) * 10) + "～" + std::to_string((rng() % 30 + 31) * 10) + "L/10a";
    case 12: return (rng() % 2) ? "散布" : "株元散布";
    case 19: return std::to_string(rng() % 3 + 1);
    case 20: return std::to_string(rng() % 5 + 1) + "回以内";
    case 21: case 25: return kIngr[rng() % 8];
    case 22: case 26: return "系統" + std::to_string(rng() % 30);
    case 23: case 27: return std::to_string(rng() % 5 + 1) + "回以内";
    case 41: return (rng() % 2) ? "普通物" : "劇物";
    case 44: return (rng() % 2) ? "水和剤" : "乳剤";
    case 45: return "会社" + std::to_string(bango % 300);
    default: return (rng() % 8) ? "" : "備考" + std::to_string(rng() % 100);
  }
}

std::unique_ptr<TSQLiteTbl> MakeResult(TSQLiteDb& db, int rows) {
  std::vector<std::string> columns;
  for (int c = 0; c < kCols; ++c) columns.push_back("c" + std::to_string(c) + (c == 0 ? " INTEGER" : " TEXT"));
  std::mt19937 rng(42);
  CreateFilledTable(db, "r", columns, rows, [&](int c, int r) {
    std::string t = CellText(c, r, rng);
    return c == 0 ? TSQLiteParam(static_cast<int64_t>(std::stoll(t))) : TSQLiteParam(std::move(t));
  });
  return db.GetTable("SELECT * FROM r");
}

void FillWidget(QTableWidget& w, TSQLiteTbl& tbl, const std::vector<std::string>& titles, int rows, int cols) {
  w.setColumnCount(cols);
  w.setRowCount(rows);
  QStringList h;
  for (int c = 0; c < cols; ++c) h << QString::fromStdString(titles[c]);
  w.setHorizontalHeaderLabels(h);
  tbl.MoveFirst();
  for (int r = 0; r < rows && !tbl.Eof(); ++r, tbl.Next())
    for (int c = 0; c < cols; ++c) {
      const std::string s = tbl.FieldAsString(c);
      w.setItem(r, c, new QTableWidgetItem(QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()))));
    }
}

void Line(const char* what, double ours, double theirs, const char* unit, double goal) {
  std::printf("%-34s %10.1f %s   QTableWidget %10.1f %s   goal < %g %s  %s\n", what, ours, unit, theirs, unit, goal,
              unit, ours < goal ? "ok" : "MISSED");
}

}  // namespace

int main(int argc, char** argv) {
  if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication app(argc, argv);
  TLogMessageSink quiet([](const std::string&) {});
  TScopedMessageSink scoped(&quiet);
  const int fillRows = argc > 1 ? std::atoi(argv[1]) : 250000;
  const std::vector<std::string> titles = Titles();

  std::printf("building a query result of %d x %d ...\n", fillRows, kCols);
  TSQLiteDb db(":memory:");
  double t0 = Now();
  auto tbl = MakeResult(db, fillRows);
  std::printf("query result: %.2f s, %.0f MB held by the result\n\n", Now() - t0, tbl->MemoryUsed() / 1048576.0);

  // ---- fill
  Trim();
  double m0 = RssMb();
  auto grid = std::make_unique<TXlsStringGrid>();
  t0 = Now();
  grid->FillFromTable(*tbl, &titles);
  const double fillS = Now() - t0;
  const double fillMb = RssMb() - m0;
  const double modelMb = grid->Model().MemoryUsed() / 1048576.0;
  grid.reset();
  Trim();
  m0 = RssMb();
  auto widget = std::make_unique<QTableWidget>();
  t0 = Now();
  FillWidget(*widget, *tbl, titles, fillRows, kCols);
  const double wFillS = Now() - t0;
  const double wFillMb = RssMb() - m0;
  widget.reset();
  Trim();
  Line("fill 250,000 x 46: time", fillS * 1000, wFillS * 1000, "ms", 2000);
  Line("fill 250,000 x 46: memory added", fillMb, wFillMb, "MB", 300);
  std::printf("%-34s %10.1f MB\n", "  (model's own count)", modelMb);

  // ---- sort 100,000 rows
  const int sortRows = std::min(100000, fillRows);
  tbl->MoveFirst();
  TXlsStringGrid g;
  g.FillFromTable(*tbl, &titles);
  g.SetRowCount(sortRows + 1);
  QTableWidget w;
  FillWidget(w, *tbl, titles, sortRows, kCols);
  for (auto [col, kind, name] : {std::tuple{2, gskText, "sort 100,000 by text (名称)"},
                                 std::tuple{0, gskNumeric, "sort 100,000 by 番号 (numeric)"},
                                 std::tuple{5, gskText, "sort 100,000 by text (作物名)"}}) {
    g.SortByColumn(0, gskText, xlSortDesc);  // start from another order
    t0 = Now();
    g.SortByColumn(col, kind, xlSortAsc);
    const double ours = Now() - t0;
    w.sortItems(0, Qt::DescendingOrder);
    t0 = Now();
    w.sortItems(col, Qt::AscendingOrder);  // by QString, not numeric: its best case
    Line(name, ours * 1000, (Now() - t0) * 1000, "ms", 100);
  }

  {
    // Worst case for the key cache: every key distinct.
    TXlsStringGrid u;
    std::mt19937 rng(3);
    std::vector<std::string> keys(sortRows);
    for (auto& k : keys) k = "名称" + std::to_string(rng()) + "ア";
    u.Model().Fill({"名称"}, sortRows, [&](int r, int) -> std::string_view { return keys[r]; });
    QTableWidget uw(sortRows, 1);
    for (int r = 0; r < sortRows; ++r) uw.setItem(r, 0, new QTableWidgetItem(QString::fromStdString(keys[r])));
    t0 = Now();
    u.SortByColumn(0, gskText, xlSortAsc);
    const double ours = Now() - t0;
    t0 = Now();
    uw.sortItems(0, Qt::AscendingOrder);
    Line("sort 100,000 distinct texts", ours * 1000, (Now() - t0) * 1000, "ms", 100);
  }

  // ---- removal
  t0 = Now();
  g.RemoveRow(50000);
  double ours = Now() - t0;
  t0 = Now();
  w.removeRow(50000);
  Line("remove a row of 100,000", ours * 1000, (Now() - t0) * 1000, "ms", 5);
  t0 = Now();
  g.RemoveColumn(10);
  ours = Now() - t0;
  t0 = Now();
  w.removeColumn(10);
  Line("remove a column of 100,000 rows", ours * 1000, (Now() - t0) * 1000, "ms", 50);

  // ---- CSV of 250,000 x 30
  tbl->MoveFirst();
  TXlsStringGrid csv;
  csv.FillFromTable(*tbl, &titles);
  csv.SetColCount(30);
  csv.CSVFileName = "/tmp/bench_grid_" + std::to_string(getpid()) + ".csv";
  t0 = Now();
  const int rc = csv.SetCommaText();
  ours = Now() - t0;
  if (rc != 0) std::printf("CSV failed: %d\n", rc);
  QTableWidget wc;
  FillWidget(wc, *tbl, titles, fillRows, 30);
  t0 = Now();
  {
    // The widget's natural CSV: every item's text, quoted where needed, through QTextStream.
    QFile f(QString::fromStdString(csv.CSVFileName + ".w"));
    f.open(QIODevice::WriteOnly);
    QTextStream out(&f);
    out.setEncoding(QStringConverter::System);
    for (int r = 0; r < wc.rowCount(); ++r) {
      for (int c = 0; c < wc.columnCount(); ++c) {
        QString t = wc.item(r, c) ? wc.item(r, c)->text().trimmed() : QString();
        if (t.contains(',') || t.contains('"') || t.contains('\n') || t.contains('\r'))
          t = '"' + t.replace("\"", "\"\"") + '"';
        out << t;
        if (c + 1 < wc.columnCount()) out << ',';
      }
      out << "\r\n";
    }
  }
  Line("CSV of 250,000 x 30 (Shift-JIS)", ours * 1000, (Now() - t0) * 1000, "ms", 1500);
  std::remove(csv.CSVFileName.c_str());
  std::remove((csv.CSVFileName + ".w").c_str());
  return 0;
}
