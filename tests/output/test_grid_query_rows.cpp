// The grid filled straight from a query's rows, and the column fitting of a grid of many rows
// (the texts of the first rows laid out, those further down gauged).
#include <gtest/gtest.h>

#include <QApplication>
#include <QFontMetrics>

#include <string>
#include <vector>

#include "database/acis_fill.h"
#include "database/sqlite_db.h"
#include "output/grid_model.h"
#include "output/xls_string_grid.h"

namespace {

using V = std::vector<std::string>;

std::vector<V> Rows(const TGridModel& m) {
  std::vector<V> out;
  for (int r = 0; r < m.RowCount(); ++r) out.push_back(m.RowTexts(r));
  return out;
}

// The grid as the result cursor's fill makes it: the whole result held, then copied.
std::vector<V> ThroughCursor(TSQLiteDb& db, const std::string& sql) {
  auto tbl = db.GetTable(sql);
  std::vector<std::string> titles;
  for (int c = 0; c < tbl->ColCount(); ++c) titles.push_back(tbl->Columns(c));
  TGridData d = TGridData::FromTable(*tbl, titles);
  TGridModel m;
  m.Fill(d.Titles(), d.RowCount(), [&d](int r, int c) { return d.Cell(r, c); });
  return Rows(m);
}

std::vector<V> Straight(TSQLiteDb& db, const std::string& sql, int64_t* count = nullptr) {
  TGridRowFill rows;
  const int64_t n = db.GetRows(sql, rows);
  if (count) *count = n;
  EXPECT_EQ(n, rows.RowCount());
  std::vector<std::string> titles;
  for (std::string t : rows.ColumnNames()) {
    for (char& c : t) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    titles.push_back(t);
  }
  TGridModel m;
  m.Fill(rows, titles);
  EXPECT_EQ(rows.RowCount(), 0);  // the store went to the model
  return Rows(m);
}

}  // namespace

// Every kind of value reads in the grid exactly as the cursor's fill shows it, so the console
// shows the same result whichever way its rows travel.
TEST(GridRowFill, RowsOfAQueryReadAsTheResultCursorShowsThem) {
  TSQLiteDb db(":memory:");
  db.ExecAll = true;
  db.ExecSQL("CREATE TABLE t(bango INTEGER, meisho TEXT, nodo REAL, x);"
             "INSERT INTO t VALUES(2, 'ボルドー', 0.5, x'41420043');"
             "INSERT INTO t VALUES(NULL, NULL, NULL, NULL);"
             "INSERT INTO t VALUES(-9223372036854775808, 'a' || char(0) || 'b', 1e20, 0.1);"
             "INSERT INTO t VALUES(3, '', 1, 'ボルドー');"
             "INSERT INTO t VALUES('7x', 12, -2.5e-7, 123456789012);");
  for (const char* sql : {"SELECT * FROM t", "select bango AS b, meisho || '!', nodo * 3, typeof(x) FROM t",
                          "SELECT * FROM t WHERE bango > 100", "PRAGMA table_info(t)"}) {
    EXPECT_EQ(Straight(db, sql), ThroughCursor(db, sql)) << sql;
  }
  const std::vector<V> rows = Straight(db, "SELECT * FROM t");
  ASSERT_EQ(rows.size(), 6u);
  EXPECT_EQ(rows[0], (V{"BANGO", "MEISHO", "NODO", "X"}));
  EXPECT_EQ(rows[2], (V{"", "", "", ""}));  // NULL is empty, in number columns too
  EXPECT_EQ(rows[3], (V{"-9223372036854775808", "a", "1e+20", "0.1"}));
  EXPECT_EQ(rows[1][3], std::string("AB\0C", 4));

  // No rows: the titles are all the model gets.
  int64_t count = -1;
  EXPECT_EQ(Straight(db, "SELECT * FROM t WHERE 0", &count), (std::vector<V>{V{}}));
  EXPECT_EQ(count, 0);
}

// The statements of a text run as the cursor runs them: with the multi-statement flag up to
// the first that returns rows, without it only the first; failures read the same.
TEST(GridRowFill, StatementsAndFailuresAsTheCursorHasThem) {
  TSQLiteDb db(":memory:");
  db.ExecAll = true;
  db.ExecSQL("CREATE TABLE t(a); INSERT INTO t VALUES(1); INSERT INTO t VALUES(2);");
  const std::string script = "CREATE TEMP TABLE u AS SELECT a * 10 AS b FROM t; SELECT * FROM u; SELECT 99;";
  EXPECT_EQ(Straight(db, script), (std::vector<V>{{"B"}, {"10"}, {"20"}}));
  EXPECT_EQ(Straight(db, "DROP TABLE u; " + script), ThroughCursor(db, "DROP TABLE u; " + script));
  db.ExecAll = false;
  int64_t count = -1;
  EXPECT_EQ(Straight(db, "SELECT 5; SELECT 6", &count), (std::vector<V>{{"5"}, {"5"}}));
  EXPECT_EQ(count, 1);

  auto failure = [](auto&& run) {
    try {
      run();
    } catch (const ESQLiteException& e) {
      return std::string(e.what()) + " #" + std::to_string(e.Code());
    }
    return std::string("no failure");
  };
  for (const char* sql : {"SELECT nosuch FROM t", "SELECT abs(-9223372036854775808) FROM t", "SELECT * FROM nosuch"}) {
    TGridRowFill rows;
    const std::string text(sql);
    EXPECT_EQ(failure([&] { db.GetRows(text, rows); }), failure([&] { db.GetTable(text); })) << sql;
  }
  // A failure after some rows: the rows came, the caller drops them.
  {
    TGridRowFill some;
    EXPECT_NE(failure([&] { db.GetRows("SELECT abs(CASE WHEN a > 1 THEN -9223372036854775808 ELSE a END) FROM t", some); }),
              "no failure");
    EXPECT_EQ(some.RowCount(), 1);
  }
  // A text with a NUL byte is refused as a whole.
  TGridRowFill rows;
  const char withNul[] = "SELECT 1;\0 DROP TABLE t";
  EXPECT_NE(failure([&] { db.GetRows(std::string(withNul, sizeof withNul - 1), rows); }), "no failure");
  EXPECT_EQ(rows.RowCount(), 0);
}

// A grid of many rows lays out the texts of its first rows only; a text found only further
// down still widens its column (within a pixel or two of its layout) and keeps a column that
// is empty in the first rows.
TEST(GridFitting, ManyRowsLayOutTheFirstAndGaugeTheRest) {
  const std::string longText = "ネコブセンチュウ類（サツマイモネコブセンチュウ） 100～150L/10a";
  const int n = 3000;
  auto fill = [&](TXlsStringGrid& g, int longAt) {
    std::vector<V> rows;
    for (int r = 0; r < n; ++r)
      rows.push_back({std::to_string(r), r == longAt ? longText : "トマト", r == longAt ? "x" : "", ""});
    g.Fill({"番号", "作物名", "後", "空"}, rows);
  };
  TGridFitOptions opt;
  opt.MaxWidth = 0;
  auto width = [&](int longAt, int sample) {
    TXlsStringGrid g;
    g.resize(4000, 400);
    g.WidthSampleRows = sample;
    fill(g, longAt);
    g.AdjustColumnWidths(opt);
    if (longAt >= 0) {
      EXPECT_EQ(g.ColCount(), 3) << longAt << " " << sample;  // only the empty column goes
      EXPECT_EQ(g.Cells(2, 0), "後");
    }
    return g.ColWidths(1);
  };
  const int laidOut = width(10, 0);
  const QFontMetrics fm(TXlsStringGrid().font());
  EXPECT_GE(laidOut, fm.horizontalAdvance(QString::fromStdString(longText)));
  // In the sample: the same width as laying out every row.
  EXPECT_EQ(width(10, 100), laidOut);
  // Below it: found by its gauge, then laid out.
  EXPECT_EQ(width(2500, 100), laidOut);
  EXPECT_EQ(width(2500, 0), laidOut);
  // Without the long text the column is as narrow as its short texts make it.
  EXPECT_LT(width(-1, 100), laidOut / 2);
}
