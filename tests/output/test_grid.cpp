// The export grid's model and view: sorting, removal, copies, fitting, tint and filling.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QHeaderView>
#include <QMouseEvent>
#include <QScrollBar>
#include <QTest>
#include <QTextLayout>
#include <QWheelEvent>

#include <random>

#include "database/sqlite_db.h"
#include "foundation/message_sink.h"
#include "output/cp932_codec.h"
#include "output/grid_model.h"
#include "output/xls_string_grid.h"

namespace {

TLogMessageSink& Sink() { return static_cast<TLogMessageSink&>(MessageSink()); }

// Rows of (key, tag): the tag shows where each row came from.
void FillKeys(TGridModel& m, const std::string& title, const std::vector<std::string>& keys) {
  std::vector<std::vector<std::string>> rows;
  for (size_t i = 0; i < keys.size(); ++i) rows.push_back({keys[i], std::to_string(i)});
  m.Fill({title, "tag"}, rows);
}

std::vector<std::string> Column(const TGridModel& m, int col) {
  std::vector<std::string> out;
  for (int r = m.FixedRows(); r < m.RowCount(); ++r) out.emplace_back(m.Cell(col, r));
  return out;
}

using V = std::vector<std::string>;

}  // namespace

TEST(GridSort, NumericOrdersNumbersStablyAndReportsFailuresOnce) {
  TGridModel m;
  FillKeys(m, "番号", {"10", "9", "", "abc", "100", "9", "x", " 2 ", "1.5"});
  TXlsStringGrid g;
  g.Model().AssignFrom(m);
  Sink().Clear();
  TGridSortResult r = g.SortByColumn(0, gskNumeric, xlSortAsc);
  EXPECT_TRUE(r.Sorted);
  EXPECT_EQ(r.FailedConversions, 2);
  // Empty first, numbers by value (9 before 10), texts that are not numbers last.
  EXPECT_EQ(Column(g.Model(), 0), (V{"", "1.5", " 2 ", "9", "9", "10", "100", "abc", "x"}));
  EXPECT_EQ(Column(g.Model(), 1), (V{"2", "8", "7", "1", "5", "0", "4", "3", "6"}));
  // One message per sort, however many comparisons failed.
  ASSERT_EQ(Sink().Count(), 1u);
  EXPECT_EQ(Sink().Messages()[0].text, "ソートタイプの指定が不正です。");

  // Descending reverses unequal keys; equal keys keep ascending previous order.
  g.SortByColumn(0, gskNumeric, xlSortDesc);
  EXPECT_EQ(Column(g.Model(), 0), (V{"abc", "x", "100", "10", "9", "9", " 2 ", "1.5", ""}));
  EXPECT_EQ(Column(g.Model(), 1), (V{"3", "6", "4", "0", "1", "5", "7", "8", "2"}));
  EXPECT_EQ(g.SortCol, 0);
  EXPECT_EQ(g.SortOrder, xlSortDesc);
}

TEST(GridSort, TextUsesShiftJisByteOrderAndIsStable) {
  TGridModel m;
  // In Unicode order α (U+03B1) comes before あ and ー (U+30FC) after it; in Shift-JIS bytes
  // ー (815B) < あ (82A0) < α (83BF) < half-width ｱ (B1).
  FillKeys(m, "名称", {"α", "あ", "ｱ", "ー", "", "A", "あ", "α"});
  m.SortRows(0, gskText, xlSortAsc);
  EXPECT_EQ(Column(m, 0), (V{"", "A", "ー", "あ", "あ", "α", "α", "ｱ"}));
  EXPECT_EQ(Column(m, 1), (V{"4", "5", "3", "1", "6", "0", "7", "2"}));
  m.SortRows(0, gskText, xlSortDesc);
  EXPECT_EQ(Column(m, 1), (V{"2", "0", "7", "1", "6", "3", "5", "4"}));
  // The title row never moves.
  EXPECT_EQ(m.Cell(0, 0), "名称");
}

TEST(GridSort, TitleClickChoosesKindAndOrderAndGivesSortText) {
  TXlsStringGrid g;
  g.Fill({"名称", "番号"}, {{"b", "10"}, {"a", "9"}, {"c", "100"}});
  EXPECT_EQ(g.SortByTitleClick(1), QStringLiteral("ｿｰﾄ:番号△"));
  EXPECT_EQ(Column(g.Model(), 1), (V{"9", "10", "100"}));
  EXPECT_EQ(g.SortByTitleClick(1), QStringLiteral("ｿｰﾄ:番号▽"));
  EXPECT_EQ(Column(g.Model(), 1), (V{"100", "10", "9"}));
  // Another column starts ascending, by text.
  EXPECT_EQ(g.SortByTitleClick(0), QStringLiteral("ｿｰﾄ:名称△"));
  EXPECT_EQ(Column(g.Model(), 0), (V{"a", "b", "c"}));
  EXPECT_EQ(g.SortByTitleClick(5), QString());
  // New content is unsorted: the first click on column 0 ("番号" leads the result views)
  // sorts ascending, and so does the first click after a new fill.
  for (int fill = 0; fill < 2; ++fill) {
    TXlsStringGrid h;
    h.Fill({"番号", "名称"}, {{"10", "b"}, {"9", "a"}});
    if (fill) {
      EXPECT_EQ(h.SortByTitleClick(0), QStringLiteral("ｿｰﾄ:番号△"));
      h.Fill({"番号", "名称"}, {{"10", "b"}, {"9", "a"}});
    }
    EXPECT_EQ(h.SortByTitleClick(0), QStringLiteral("ｿｰﾄ:番号△")) << fill;
    EXPECT_EQ(Column(h.Model(), 0), (V{"9", "10"}));
    EXPECT_EQ(h.SortByTitleClick(0), QStringLiteral("ｿｰﾄ:番号▽"));
  }
  // The string grid's entry sorts only on a title cell.
  g.resize(400, 300);
  g.show();
  const int y = g.horizontalHeader()->height() / 2 + g.frameWidth();
  const int x = g.columnViewportPosition(1) + g.frameWidth() + 5;
  g.SortGrid(Qt::LeftButton, {}, 1, xlSortDesc, x, y);
  EXPECT_EQ(Column(g.Model(), 1), (V{"100", "10", "9"}));
  g.SortGrid(Qt::LeftButton, {}, 1, xlSortAsc, x, y + g.horizontalHeader()->height() + 2);
  EXPECT_EQ(Column(g.Model(), 1), (V{"100", "10", "9"}));
  // Without a title row nothing sorts.
  g.SetFixedRows(0);
  EXPECT_EQ(g.SortByTitleClick(0), QString());
}

TEST(GridSort, RandomMixedKeysGiveAConsistentStableOrder) {
  std::mt19937 rng(7);
  const V tokens = {"", "0", "1", "01", "1.0", "-3", "2e1", "nan", "inf", "abc", "ａ", "9", "10", " 5", "+4", "--1"};
  std::vector<std::string> keys;
  for (int i = 0; i < 3000; ++i) keys.push_back(tokens[rng() % tokens.size()]);
  for (TGridSortKind kind : {gskNumeric, gskText}) {
    TGridModel m;
    FillKeys(m, "k", keys);
    m.SortRows(0, kind, xlSortAsc);
    // Class of a key: 0 empty, 1 number, 2 other (numeric kind).
    auto cls = [](const std::string& k, double& v) {
      if (k.empty()) return 0;
      std::string t = k;
      while (!t.empty() && t.front() == ' ') t.erase(0, 1);
      if (!t.empty() && t[0] == '+') t.erase(0, 1);
      char* end = nullptr;
      v = std::strtod(t.c_str(), &end);
      return (!t.empty() && *end == 0 && std::isfinite(v) && t[0] != '+' && t.find_first_of("ni") == std::string::npos) ? 1 : 2;
    };
    const V col = Column(m, 0), tags = Column(m, 1);
    ASSERT_EQ(col.size(), keys.size());
    for (size_t i = 1; i < col.size(); ++i) {
      int cmp;
      if (kind == gskNumeric) {
        double a = 0, b = 0;
        const int ca = cls(col[i - 1], a), cb = cls(col[i], b);
        cmp = ca != cb ? (ca < cb ? -1 : 1) : (ca == 1 ? (a < b ? -1 : a > b ? 1 : 0) : 0);
      } else {
        std::string ka, kb;
        Cp932SortKey(col[i - 1], ka);
        Cp932SortKey(col[i], kb);
        cmp = ka < kb ? -1 : ka > kb ? 1 : 0;
      }
      ASSERT_LE(cmp, 0) << "row " << i;
      if (cmp == 0) {
        ASSERT_LT(std::stoi(tags[i - 1]), std::stoi(tags[i])) << "stability at row " << i;
      }
    }
  }
}

TEST(GridRemoval, RowsAndColumnsKeepFlagsAlignedAndIndexesChecked) {
  TXlsStringGrid g;
  g.Fill({"番号", "作物名", "備考"}, {{"3", "トマト", "x"}, {"1", "なす", "y"}, {"2", "きゅうり", "z"}});
  g.Model().SetRowFlags(1, grfNeighbour);  // トマト
  g.Model().SetRowFlags(3, grfNeighbour);  // きゅうり
  g.SortByColumn(0, gskNumeric, xlSortAsc);
  ASSERT_EQ(Column(g.Model(), 1), (V{"なす", "きゅうり", "トマト"}));
  EXPECT_EQ(g.Model().RowFlags(1), 0);
  EXPECT_EQ(g.Model().RowFlags(2), grfNeighbour);
  EXPECT_EQ(g.Model().RowFlags(3), grfNeighbour);
  EXPECT_TRUE(g.RemoveRow(2));
  EXPECT_EQ(Column(g.Model(), 1), (V{"なす", "トマト"}));
  EXPECT_EQ(g.Model().RowFlags(1), 0);
  EXPECT_EQ(g.Model().RowFlags(2), grfNeighbour);
  EXPECT_EQ(g.Model().rowCount(), 2);
  // The title row and rows outside the grid are refused.
  EXPECT_FALSE(g.RemoveRow(0));
  EXPECT_FALSE(g.RemoveRow(3));
  EXPECT_FALSE(g.RemoveColumn(3));
  EXPECT_FALSE(g.RemoveColumn(-1));
  EXPECT_TRUE(g.RemoveColumn(1));
  EXPECT_EQ(g.ColCount(), 2);
  EXPECT_EQ(g.Cells(1, 0), "備考");
  EXPECT_EQ(g.Cells(1, 2), "x");
  EXPECT_EQ(g.Model().columnCount(), 2);
}

TEST(GridModel, CopiesShareCellsUntilOneIsWritten) {
  TXlsStringGrid a;
  a.Fill({"番号", "名称"}, {{"1", "a"}, {"2", "b"}});
  a.SetColWidths(1, 0);
  a.Model().SetRowFlags(2, grfNeighbour);
  TXlsStringGrid b;
  b.AssignGrid(a);
  EXPECT_TRUE(b.Model().SharesStoreWith(a.Model()));
  EXPECT_EQ(b.ColWidths(1), 0);
  EXPECT_EQ(b.Model().RowFlags(2), grfNeighbour);
  // Sorting or removing in the copy changes only the copy's order.
  b.SortByColumn(0, gskNumeric, xlSortDesc);
  b.RemoveRow(2);
  EXPECT_TRUE(b.Model().SharesStoreWith(a.Model()));
  EXPECT_EQ(Column(a.Model(), 1), (V{"a", "b"}));
  b.SetCells(1, 1, "changed");
  EXPECT_FALSE(b.Model().SharesStoreWith(a.Model()));
  EXPECT_EQ(a.Cells(1, 2), "b");
  EXPECT_EQ(b.Cells(1, 1), "changed");
  // Growing the shape keeps the cells.
  b.SetColCount(3);
  b.SetRowCount(4);
  EXPECT_EQ(b.Cells(1, 1), "changed");
  EXPECT_EQ(b.Cells(2, 3), "");
  b.SetCells(2, 3, "new");
  EXPECT_EQ(b.Cells(2, 3), "new");
  EXPECT_EQ(b.Cells(1, 0), "名称");
}

TEST(GridView, SelectionCopyTakesTheSelectedCellAndSkipsHiddenColumns) {
  TXlsStringGrid g;
  g.Fill({"a", "b", "c"}, {{"1", "2", "3"}, {"4", "5", "6"}});
  g.resize(400, 200);
  g.SetCurrentCell(1, 2);
  EXPECT_EQ(g.SelectionText(), "5");
  g.CopySelection();
  EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("5"));
  // A 2 x 2 selection whose first column is hidden gives only the second column.
  g.SetColWidths(0, 0);
  g.selectionModel()->select(QItemSelection(g.Model().index(0, 0), g.Model().index(1, 1)),
                             QItemSelectionModel::ClearAndSelect);
  EXPECT_EQ(g.SelectionText(), "2\r\n5\r\n");
}

TEST(GridView, FittingKeepsTitlesOfAnEmptyResultAndDropsEmptyColumns) {
  TXlsStringGrid g;
  g.resize(800, 400);
  g.Fill({"番号", "作物名", "空"}, {});
  g.AdjustColumnWidths({});
  EXPECT_EQ(g.ColCount(), 3);
  EXPECT_GT(g.ColWidths(1), 0);
  g.Fill({"番号", "作物名", "空"}, {{"1", "トマト", ""}, {"2", "なす", " "}});
  g.Model().SetCell(2, 2, "");
  TGridFitOptions opt;
  opt.Lines = 2;
  g.AdjustColumnWidths(opt);
  EXPECT_EQ(g.ColCount(), 2);
  EXPECT_EQ(g.Cells(1, 0), "作物名");
  const QFontMetrics fm(g.font());
  EXPECT_EQ(g.ColWidths(0), fm.horizontalAdvance("00000") + 5);
  // Two lines of Japanese text (drawn from a fallback font) with descenders fit a row above its
  // grid line; so does one line in the even rows' larger font.
  const QString text = QStringLiteral("ネコブセンチュウgjpy\nネコブセンチュウgjpy");
  EXPECT_GE(g.DefaultRowHeight() - 1, fm.boundingRect(QRect(0, 0, 5000, 5000), Qt::AlignTop, text).height());
  QFont big = g.font();
  big.setPointSizeF(big.pointSizeF() * 2);
  g.Delegate().EvenRowFont = big;
  g.AdjustColumnWidths({});
  EXPECT_GE(g.DefaultRowHeight() - 1,
            QFontMetrics(big).boundingRect(QRect(0, 0, 5000, 5000), Qt::AlignTop, QStringLiteral("ネコブgjpy")).height());
  // Cells of digits and cells of Japanese text share one baseline.
  auto ascent = [&](const QString& t) {
    QTextLayout layout(t, g.font());
    layout.beginLayout();
    QTextLine line = layout.createLine();
    line.setLineWidth(1e6);
    layout.endLayout();
    return qRound(line.ascent());
  };
  const TGridDelegate& d = g.Delegate();
  for (const char* latin : {"1656", "GF", "12.5%"})
    EXPECT_EQ(ascent(latin) + d.BaselineDrop(g.font(), latin),
              ascent(QStringLiteral("トマト")) + d.BaselineDrop(g.font(), QStringLiteral("トマト")))
        << latin;
  EXPECT_EQ(TXlsStringGrid::TextWidthPerLine(0, 3, 12), 0);
  EXPECT_EQ(TXlsStringGrid::TextWidthPerLine(300, 3, 12), 112);
  EXPECT_EQ(TXlsStringGrid::TextWidthPerLine(301, 0, 1), 302);
}

// A fitted column shows its whole caption (as wide as the header needs for it), also where
// the fitting rule gives a fixed narrow width, and stays within the width cap.
TEST(GridView, FittedColumnsAreAtLeastAsWideAsTheirCaptions) {
  TXlsStringGrid g;
  g.resize(1400, 400);
  g.show();
  const std::vector<std::string> titles = {"番号", "混合数", "製剤毒性", "魚毒性", "毒性", "濃度", "作物名",
                                           "とても長い列の見出しの文字です"};
  g.Fill(titles, {{"1", "2", "普", "A", "劇", "5", "ね", "a"}, {"12", "1", "普", "B", "-", "10", "い", "b"}});
  QHeaderView* h = g.horizontalHeader();
  TGridFitOptions opt;
  opt.MaxWidth = 0;
  g.AdjustColumnWidths(opt);
  ASSERT_EQ(g.ColCount(), static_cast<int>(titles.size()));
  for (int c = 0; c < g.ColCount(); ++c) {
    EXPECT_GE(g.ColWidths(c), h->sectionSizeHint(c)) << titles[c];
    EXPECT_EQ(g.columnWidth(c), g.ColWidths(c)) << titles[c];
  }
  // The width cap still holds for a long caption (five "あ" at the least).
  const int aw = QFontMetrics(g.font()).horizontalAdvance(QStringLiteral("あ"));
  opt.MaxWidth = 40;
  g.AdjustColumnWidths(opt);
  const int last = g.ColCount() - 1;
  EXPECT_LE(g.ColWidths(last), std::max(40, 5 * aw) + 5);
  EXPECT_LT(g.ColWidths(last), h->sectionSizeHint(last));
  for (int c = 0; c < 6; ++c) EXPECT_GE(g.ColWidths(c), h->sectionSizeHint(c)) << titles[c];
}

TEST(GridView, NeighbourTintSplitsCommaTextAndDelegatePaintsAlternateRows) {
  TXlsStringGrid g;
  g.Fill({"作物名", "病害虫"}, {{"トマト", "a"}, {"なす", "b"}, {"きゅうり", "c"}, {"ミニトマト", "d"}});
  g.SetHighlightWords("トマト,\"な%す\"");
  const TGridModel& m = g.Model();
  EXPECT_TRUE(m.RowHighlighted(1));
  EXPECT_TRUE(m.RowHighlighted(2));
  EXPECT_FALSE(m.RowHighlighted(3));
  EXPECT_TRUE(m.RowHighlighted(4));
  EXPECT_FALSE(m.RowHighlighted(0));
  TGridDelegate& d = g.Delegate();
  d.EveryOtherLine = true;
  d.OddRowColor = Qt::yellow;
  d.EvenRowColor = Qt::cyan;
  d.EvenRowFont = QFont("Sans", 20);
  EXPECT_EQ(d.LookOf(m, 3, false).Background, QColor(Qt::yellow));
  EXPECT_FALSE(d.LookOf(m, 3, false).EvenFont);
  g.SetHighlightWords("");
  EXPECT_EQ(d.LookOf(m, 2, false).Background, QColor(Qt::cyan));
  EXPECT_TRUE(d.LookOf(m, 2, false).EvenFont);
  EXPECT_FALSE(d.LookOf(m, 2, true).Background.isValid());
  g.SetHighlightWords("なす\r\nきゅうり");
  EXPECT_EQ(d.LookOf(m, 3, false).Background, QColor(0xC0, 0xDC, 0xC0));
  // Painting a real frame exercises the delegate with wrap and frozen columns.
  g.SetFixedCols(1);
  g.resize(300, 200);
  QImage img(300, 200, QImage::Format_ARGB32);
  g.render(&img);
  EXPECT_EQ(g.FixedCols(), 1);
}

// A cell whose text needs more lines than its row holds shows the lines that fit whole, the
// last of them running on to the cell's edge; nothing of a further line shows below it (the
// ingredient grid's toxicity and concentration columns are narrower than "普通物" and "15.9%").
TEST(GridView, CellTextNeverShowsALineCutInHalf) {
  TXlsStringGrid g;
  g.Fill({"有効成分", "毒性", "濃度"}, {{"シモキサニル", "普通物", "15.9%"}, {"銅", "-", "4.9%"}});
  TGridFitOptions opt;
  opt.IsSeibun = true;
  g.AdjustColumnWidths(opt);
  const QFontMetrics fm(g.font());
  ASSERT_GT(fm.horizontalAdvance(QStringLiteral("普通物")), g.ColWidths(1) - 4);
  const int line = TXlsStringGrid::CellLineHeight(g.font());
  // A row between one and two lines high: the old painter showed the top of the second line.
  g.SetDefaultRowHeight(line + line / 2);
  g.resize(400, 200);
  g.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&g));
  const QImage img = g.viewport()->grab().toImage();
  auto inkIn = [&](const QRect& r) {
    int n = 0;
    for (int y = r.top(); y <= r.bottom(); ++y)
      for (int x = r.left(); x <= r.right(); ++x)
        if (qGray(img.pixel(x, y)) < 128) ++n;
    return n;
  };
  for (int c : {1, 2}) {
    const QRect cell = g.visualRect(g.model()->index(0, c));
    const QRect below(cell.left(), cell.top() + line + 1, cell.width(), cell.height() - line - 2);
    EXPECT_EQ(inkIn(below), 0) << c;
    EXPECT_GT(inkIn(QRect(cell.left(), cell.top(), cell.width(), line)), 0) << c;
  }
  // The lines themselves: wrapped at the width while more lines fit, the last one unwrapped.
  const QFont f = g.font();
  const int w = fm.horizontalAdvance(QStringLiteral("普通"));
  auto texts = [&](const QString& t, int height, bool right = false) {
    QStringList out;
    for (const auto& l : TGridDelegate::CellLines(t, f, w, height, right)) out << l.Text;
    return out;
  };
  EXPECT_EQ(texts(QStringLiteral("普通物"), line), QStringList{QStringLiteral("普通物")});
  EXPECT_EQ(texts(QStringLiteral("普通物"), 0), QStringList{QStringLiteral("普通物")});
  EXPECT_EQ(texts(QStringLiteral("普通物"), 2 * line), (QStringList{QStringLiteral("普通"), QStringLiteral("物")}));
  EXPECT_EQ(texts(QStringLiteral("あいうえおかきく"), 2 * line + line / 2),
            (QStringList{QStringLiteral("あい"), QStringLiteral("うえおかきく")}));
  EXPECT_EQ(texts(QStringLiteral("劇物"), line), QStringList{QStringLiteral("劇物")});
  // A line break in the text ends the last line.
  EXPECT_EQ(texts(QStringLiteral("普\n通物"), line), QStringList{QStringLiteral("普")});
  // A row fitted for two lines holds two lines of Latin text too, which sits lower in the cell.
  {
    TXlsStringGrid g2;
    const std::string latin = "metalaxylMcymoxanilcymoxanilmetalaxylMcymoxanil";
    g2.Fill({"ISO物質名", "作物名"}, {{latin, "トマト"}});
    TGridFitOptions two;
    two.Lines = 2;
    two.MaxWidth = QFontMetrics(g2.font()).horizontalAdvance(QString::fromStdString(latin)) / 2;
    g2.AdjustColumnWidths(two);
    const QString t = QString::fromStdString(latin);
    const int height = g2.DefaultRowHeight() - 1 - g2.Delegate().BaselineDrop(g2.font(), t);
    const auto lines = TGridDelegate::CellLines(t, g2.font(), g2.ColWidths(0) - 4, height, false);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].Text + lines[1].Text, t);
  }
  // Right-aligned lines end at the width, also when they run on past it.
  const auto right = TGridDelegate::CellLines(QStringLiteral("123456789012"), f, w, line, true);
  ASSERT_EQ(right.size(), 1u);
  EXPECT_NEAR(right[0].X + fm.horizontalAdvance(QStringLiteral("123456789012")), w, 1.0);
}

TEST(GridFill, FromQueryResultWithNullsAndTitles) {
  TSQLiteDb db(":memory:");
  db.ExecSQL("CREATE TABLE t(bango INTEGER, meisho TEXT, nodo REAL);");
  db.ExecSQL("INSERT INTO t VALUES(2, 'ボルドー', 0.5);");
  db.ExecSQL("INSERT INTO t VALUES(NULL, NULL, NULL);");
  db.ExecSQL("INSERT INTO t VALUES(3, '石灰', 1);");
  auto tbl = db.GetTable("SELECT * FROM t");
  tbl->Next();  // the fill starts at the current row
  TXlsStringGrid g;
  std::vector<std::string> titles = {"番号", "農薬の名称", "濃度"};
  g.FillFromTable(*tbl, &titles);
  EXPECT_EQ(tbl->Row(), 1);
  ASSERT_EQ(g.RowCount(), 3);
  EXPECT_EQ(g.Model().RowTexts(0), (V{"番号", "農薬の名称", "濃度"}));
  EXPECT_EQ(g.Model().RowTexts(1), (V{"0", "", "0"}));
  EXPECT_EQ(g.Model().RowTexts(2), (V{"3", "石灰", "1"}));
  // Without titles the result's column names are used.
  tbl->MoveFirst();
  g.FillFromTable(*tbl);
  EXPECT_EQ(g.Cells(0, 0), "BANGO");
  EXPECT_EQ(g.Cells(1, 1), "ボルドー");
}

TEST(GridProperties, StartRowAndColRefuseZero) {
  TXlsStringGrid g;
  Sink().Clear();
  EXPECT_FALSE(g.SetStartRow(0));
  EXPECT_EQ(g.StartRow(), 1);
  EXPECT_TRUE(g.SetStartCol(3));
  EXPECT_EQ(g.StartCol(), 3);
  ASSERT_EQ(Sink().Count(), 1u);
  EXPECT_EQ(Sink().Messages()[0].text, "1以上の整数を入力してください。");
  // Spreadsheet exports without data rows and without an automation installed.
  g.Fill({"a"}, {});
  EXPECT_EQ(g.CopyExcel(), 2);
  g.Fill({"a"}, {{"1"}});
  EXPECT_EQ(g.CopyKingsoft(), -1);
  g.SetCurrentCell(0, 1);
  EXPECT_EQ(g.MoveUp(), -1);
  EXPECT_EQ(g.MoveDown(), -1);
}

TEST(GridView, TitlePressSortsAndRightPressDoesNot) {
  TXlsStringGrid g;
  g.Fill({"名称", "番号"}, {{"b", "10"}, {"a", "9"}, {"c", "100"}});
  g.resize(400, 300);
  g.show();
  QString text;
  int pressed = 0;
  QObject::connect(&g, &TXlsStringGrid::Sorted, [&](const QString& t) { text = t; });
  QObject::connect(&g, &TXlsStringGrid::TitlePressed, [&](int, Qt::MouseButton) { ++pressed; });
  QHeaderView* h = g.horizontalHeader();
  const QPoint p(h->sectionViewportPosition(1) + h->sectionSize(1) / 2, h->height() / 2);
  auto press = [&](Qt::MouseButton b) {
    QMouseEvent ev(QEvent::MouseButtonPress, QPointF(p), QPointF(h->viewport()->mapToGlobal(p)), b, b, Qt::NoModifier);
    QApplication::sendEvent(h->viewport(), &ev);
  };
  press(Qt::RightButton);
  EXPECT_TRUE(text.isEmpty());
  EXPECT_EQ(pressed, 1);
  EXPECT_EQ(g.MouseCol, 1);
  EXPECT_EQ(g.MouseRow, 0);
  press(Qt::LeftButton);
  EXPECT_EQ(text, QStringLiteral("ｿｰﾄ:番号△"));
  // Cells under a point: viewport coordinates for data cells, widget ones with the title row.
  int col = -1, row = -1;
  const QRect r = g.visualRect(g.Model().index(1, 1));
  ASSERT_TRUE(g.CellAt(r.center(), col, row));
  EXPECT_EQ(col, 1);
  EXPECT_EQ(row, 2);
  ASSERT_TRUE(g.CellAtWidget(g.viewport()->mapTo(&g, r.center()), col, row));
  EXPECT_EQ(row, 2);
  ASSERT_TRUE(g.CellAtWidget(h->mapTo(&g, p), col, row));
  EXPECT_EQ(col, 1);
  EXPECT_EQ(row, 0);
  EXPECT_FALSE(g.CellAt(QPoint(5, 290), col, row));
  EXPECT_EQ(Column(g.Model(), 1), (V{"9", "10", "100"}));
  // Nested updates: drawing resumes only at the balancing end.
  g.BeginUpdate();
  g.BeginUpdate();
  g.EndUpdate();
  EXPECT_FALSE(g.updatesEnabled());
  g.EndUpdate();
  g.EndUpdate();
  EXPECT_TRUE(g.updatesEnabled());
  EXPECT_EQ(g.UpdateCount(), 0);
}

TEST(GridView, WheelMovesOneRowPerNotchWithProportionalBars) {
  TXlsStringGrid g;
  std::vector<std::vector<std::string>> rows;
  for (int i = 0; i < 200; ++i) rows.push_back({std::to_string(i)});
  g.Fill({"番号"}, rows);
  g.resize(300, 300);
  g.show();
  g.ProportionalScrollBars = true;
  auto wheel = [&](int dy) {
    const QPointF p(50, 100);
    QWheelEvent ev(p, g.viewport()->mapToGlobal(p), QPoint(), QPoint(0, dy), Qt::NoButton, Qt::NoModifier,
                   Qt::NoScrollPhase, false);
    QApplication::sendEvent(g.viewport(), &ev);
  };
  wheel(-240);
  EXPECT_EQ(g.verticalScrollBar()->value(), 2);
  wheel(-60);
  wheel(-60);
  EXPECT_EQ(g.verticalScrollBar()->value(), 3);
  wheel(120);
  EXPECT_EQ(g.verticalScrollBar()->value(), 2);
  // Editing is off in result grids and can be switched on.
  EXPECT_FALSE(g.Model().flags(g.Model().index(0, 0)) & Qt::ItemIsEditable);
  g.SetEditing(true);
  EXPECT_TRUE(g.Model().setData(g.Model().index(0, 0), QStringLiteral("x")));
  EXPECT_EQ(g.Cells(0, 1), "x");
}

// The fixed columns lie over the left of the scrolled ones: a point there is a fixed cell, for
// the hit test, the right button and the context menu alike.
TEST(GridView, RightButtonAndMenuRequestsOnScrolledAndFixedColumns) {
  TXlsStringGrid g;
  g.Fill({"番号", "名称", "作物", "病害虫"},
         {{"1", "a", "トマト", "x"}, {"2", "b", "なす", "y"}, {"3", "c", "きゅうり", "z"}, {"4", "d", "", ""}});
  g.resize(300, 200);
  g.show();
  for (int c = 1; c < 4; ++c) g.SetColWidths(c, 250);
  g.SetFixedCols(1);
  g.horizontalScrollBar()->setValue(g.horizontalScrollBar()->maximum());
  QApplication::processEvents();
  QTableView* fixed = nullptr;
  for (QTableView* v : g.findChildren<QTableView*>())
    if (v != &g) fixed = v;
  ASSERT_NE(fixed, nullptr);
  const QPoint onFixed = fixed->visualRect(g.Model().index(2, 0)).center();  // row 3 of "番号"
  int col = -1, row = -1;
  ASSERT_TRUE(g.CellAt(g.viewport()->mapFrom(&g, fixed->viewport()->mapTo(&g, onFixed)), col, row));
  EXPECT_EQ(col, 0);
  EXPECT_EQ(row, 3);
  ASSERT_TRUE(g.CellAtWidget(fixed->viewport()->mapTo(&g, onFixed), col, row));
  EXPECT_EQ(col, 0);

  struct TAsked {
    int Col, Row;
    QPoint At;
  };
  std::vector<TAsked> asked;
  QObject::connect(&g, &TXlsStringGrid::MenuRequested,
                   [&](int c, int r, const QPoint& at) { asked.push_back({c, r, at}); });
  auto rightClick = [&](QWidget* w, const QPoint& p) {
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(p), QPointF(w->mapToGlobal(p)), Qt::RightButton,
                      Qt::RightButton, Qt::NoModifier);
    QApplication::sendEvent(w, &press);
    QContextMenuEvent menu(QContextMenuEvent::Mouse, p, w->mapToGlobal(p));
    QApplication::sendEvent(w, &menu);
  };
  // A fixed cell outside the selection becomes current; the menu is for it, at the pointer.
  g.SetCurrentCell(2, 1);
  rightClick(fixed->viewport(), onFixed);
  EXPECT_EQ(g.Col(), 0);
  EXPECT_EQ(g.Row(), 3);
  ASSERT_EQ(asked.size(), 1u);
  EXPECT_EQ(asked[0].Col, 0);
  EXPECT_EQ(asked[0].Row, 3);
  EXPECT_EQ(asked[0].At, fixed->viewport()->mapToGlobal(onFixed));
  // Inside a selection of several cells the selection stays.
  const QRect scrolled = g.visualRect(g.Model().index(1, 3));
  g.selectionModel()->select(QItemSelection(g.Model().index(0, 2), g.Model().index(2, 3)),
                             QItemSelectionModel::ClearAndSelect);
  rightClick(g.viewport(), scrolled.center());
  EXPECT_EQ(g.selectionModel()->selectedIndexes().size(), 6);
  ASSERT_EQ(asked.size(), 2u);
  EXPECT_EQ(asked[1].Col, 3);
  EXPECT_EQ(asked[1].Row, 2);
  // A fixed title: row 0; a title press changes no cell.
  QHeaderView* titles = fixed->horizontalHeader();
  const QPoint onTitle(titles->sectionViewportPosition(0) + 10, titles->height() / 2);
  rightClick(titles->viewport(), onTitle);
  ASSERT_EQ(asked.size(), 3u);
  EXPECT_EQ(asked[2].Col, 0);
  EXPECT_EQ(asked[2].Row, 0);
  EXPECT_EQ(g.selectionModel()->selectedIndexes().size(), 6);
  // Below the last row: no cell.
  rightClick(g.viewport(), QPoint(g.viewport()->width() - 5, g.viewport()->height() - 5));
  ASSERT_EQ(asked.size(), 4u);
  EXPECT_EQ(asked[3].Row, -1);
  // The menu key: the current cell, over its middle, whatever the pointer does.
  g.SetCurrentCell(3, 2);
  QKeyEvent key(QEvent::KeyPress, Qt::Key_Menu, Qt::NoModifier);
  QApplication::sendEvent(&g, &key);
  ASSERT_EQ(asked.size(), 5u);
  EXPECT_EQ(asked[4].Col, 3);
  EXPECT_EQ(asked[4].Row, 2);
  const QRect current = g.visualRect(g.currentIndex()).intersected(g.viewport()->rect());
  EXPECT_EQ(asked[4].At, g.viewport()->mapToGlobal(current.center()));
}
