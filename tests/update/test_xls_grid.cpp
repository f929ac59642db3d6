// A workbook read into grid rows as the data update converts it: the wanted sheet only, the
// grid bounded by the header row and the first column, the data-date cell of the basics
// workbook, and the sample workbooks giving exactly the rows of their sheets.
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <filesystem>
#include <fstream>

#include "common/test_support.h"
#include "database/import_rows.h"
#include "update/xls_grid.h"
#include "xbiff_records.h"

namespace fs = std::filesystem;

namespace {

using TGrid = std::vector<std::vector<std::string>>;

TGrid AllRows(TRowSource& src, bool trimEmptyTail = false) {
  TGrid out;
  std::vector<std::string> row;
  while (src.NextRow(row)) {
    if (trimEmptyTail)
      while (!row.empty() && row.back().empty()) row.pop_back();
    out.push_back(row);
  }
  return out;
}

void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream f(path, std::ios::binary);
  f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// Two worksheets and a chart between them; the data sheet has cells outside its table.
std::vector<uint8_t> Workbook() {
  TBytes sst;
  sst.u32(4).u32(4);
  for (std::string_view s : {"sentence", "no", "name", "kind"}) sst.u16(unsigned(s.size())).u8(0).raw(s);
  TRecords r;
  r.bof8(0x0005).boundsheet8("Other").boundsheet8("Chart", 2).boundsheet8("Data").rec(0x00FC, sst).eof();
  r.bof8(0x0010).labelsst(0, 0, 0).number(1, 0, 5).number(0, 1, 6).eof();  // sheet 1
  r.bof8(0x0020).number(0, 0, 77).eof();                                     // the chart
  r.bof8(0x0010)                                                              // sheet 2: Data
      .labelsst(0, 0, 1)
      .labelsst(0, 1, 2)
      .labelsst(0, 2, 3)
      .number(1, 0, 1)
      .number(1, 1, 2)
      .number(1, 5, 99)  // right of the header row: not part of the table
      .number(2, 1, 7)
      .number(2, 1, 8)  // the same cell again: the later value stands
      .number(3, 0, 3)
      .number(5, 1, 55)  // below the last numbered row: not part of the table
      .number(1, 2, 4)   // out of row order
      .eof();
  return r.data;
}

}  // namespace

TEST(XlsGrid, WantedSheetBoundedByHeaderRowAndFirstColumn) {
  QTemporaryDir tmp;
  const std::string file = tmp.path().toStdString() + "/Data.xls";
  WriteFile(file, Workbook());
  const TGrid expected = {{"no", "name", "kind"}, {"1", "2", "4"}, {"", "8"}, {"3"}};

  struct Case {
    const char* what;
    std::string wanted;
    bool readDate;
    std::string date;
  } cases[] = {
      {"sheet named like the file", "", false, ""},
      {"sheet named, date read", "Data", true, "sentence"},
  };
  for (const auto& c : cases) {
    TXlsGridRows g;
    std::vector<int> progress;
    g.OnProgress = [&](int p) { progress.push_back(p); };
    g.Load(file, c.wanted, c.readDate);
    EXPECT_TRUE(g.SheetFound()) << c.what;
    EXPECT_EQ(g.SheetNames(), (std::vector<std::string>{"Other", "Data"})) << c.what;
    EXPECT_EQ(g.DateSentence(), c.date) << c.what;
    EXPECT_EQ(g.RowCountHint(), 4) << c.what;
    EXPECT_EQ(g.Columns(), 3) << c.what;
    EXPECT_EQ(g.OutsideCells(), 2) << c.what;  // counted, so the update can say so
    EXPECT_EQ(AllRows(g), expected) << c.what;
    ASSERT_FALSE(progress.empty()) << c.what;
    EXPECT_EQ(progress.back(), 0) << c.what;
    g.Rewind();
    EXPECT_EQ(AllRows(g), expected) << c.what << " (again)";
  }

  // The data sheet first in the workbook: its A1 is the header, not a data-date sentence.
  TXlsGridRows first;
  first.Load(file, "Other", true);
  EXPECT_EQ(first.DateSentence(), "");
  EXPECT_EQ(AllRows(first), (TGrid{{"sentence", "6"}, {"5"}}));

  // A workbook without the wanted sheet gives no rows; the first sheet is not taken instead.
  TXlsGridRows none;
  none.Load(file, "登録基本部");
  EXPECT_FALSE(none.SheetFound());
  EXPECT_EQ(none.RowCountHint(), 0);
  EXPECT_TRUE(AllRows(none).empty());

  // Stopping early keeps what was read and ends the reading.
  TXlsGridRows stopped;
  int asked = 0;
  stopped.Aborted = [&] { return ++asked > 2; };
  stopped.Load(file, "Data");
  EXPECT_EQ(asked, 3);

  // An unreadable file raises the reader's error.
  TXlsGridRows missing;
  EXPECT_THROW(missing.Load(tmp.path().toStdString() + "/nosuch.xls"), EXBiffError);
}

// A sparse sheet, with one cell at the far right of the header row and one at the bottom of
// the first column: the grid spans 65,536 rows and columns, yet reading it costs its cells.
TEST(XlsGrid, SparseSheetCostsItsCells) {
  QTemporaryDir tmp;
  const std::string file = tmp.path().toStdString() + "/Data.xls";
  TBytes sst;
  sst.u32(1).u32(1).u16(2).u8(0).raw("no");
  TRecords r;
  r.bof8(0x0005).boundsheet8("Data").rec(0x00FC, sst).eof();
  r.bof8(0x0010).labelsst(0, 0, 0).number(0, 65535, 1).number(65535, 0, 2).number(3, 2, 3).eof();
  WriteFile(file, r.data);
  TXlsGridRows g;
  g.Load(file);
  EXPECT_EQ(g.RowCountHint(), 65536);
  EXPECT_EQ(g.Columns(), 65536);
  std::vector<std::string> row;
  size_t rows = 0, widths = 0;
  while (g.NextRow(row)) {
    if (rows == 0) {
      EXPECT_EQ(row.back(), "1");
    }
    if (rows == 3) {
      EXPECT_EQ(row, (std::vector<std::string>{"", "", "3"}));
    }
    if (rows == 65535) {
      EXPECT_EQ(row, std::vector<std::string>{"2"});
    }
    ++rows;
    widths += row.size();
  }
  EXPECT_EQ(rows, 65536u);
  EXPECT_EQ(widths, 65536u + 3u + 1u);  // the header row, row 3 and the last row
}

// A workbook of a build is read when its rows are first asked for, and fails then.
TEST(XlsGrid, WorkbookRowsReadOnDemand) {
  QTemporaryDir tmp;
  const std::string file = tmp.path().toStdString() + "/Data.xls";
  TXlsWorkbookRows later(file);  // the file does not exist yet
  TXlsWorkbookRows wrong(file, "登録適用部一");
  WriteFile(file, Workbook());
  EXPECT_EQ(later.RowCountHint(), 4);
  EXPECT_EQ(AllRows(later).size(), 4u);
  std::vector<std::string> row;
  EXPECT_FALSE(later.NextRow(row));  // stays at its end
  try {
    wrong.RowCountHint();
    ADD_FAILURE() << "no error for a missing sheet";
  } catch (const EXBiffError& e) {
    EXPECT_NE(std::string(e.what()).find("登録適用部一"), std::string::npos) << e.what();
    EXPECT_NE(std::string(e.what()).find("Other, Data"), std::string::npos) << e.what();
  }
  TXlsWorkbookRows missing(tmp.path().toStdString() + "/nosuch.xls");
  EXPECT_THROW(missing.NextRow(row), EXBiffError);
}

TEST(XlsGrid, CellTextRepairsTheStrayQuote) {
  EXPECT_EQ(XlsCellText("“京都微研\"ｷｭｰﾋﾞｵZY-5"), "“京都微研”ｷｭｰﾋﾞｵZY-5");
  EXPECT_EQ(XlsCellText("京都微研\"ｷｭｰﾋﾞｵZY"), "京都微研\"ｷｭｰﾋﾞｵZY");  // only the known spelling
  EXPECT_EQ(XlsCellText("トマト"), "トマト");
}

// The sample workbooks (made by LibreOffice from the generator's sheets) give exactly the rows
// of the sheets saved beside them (with the stray quote repaired), and the basics workbook its
// data-date sentence.
TEST(XlsGrid, SampleWorkbooksGiveTheirSheets) {
  const std::string dir = SourcePath("data/sample/grid");
  if (!fs::exists(dir + "/登録基本部.xls")) GTEST_SKIP() << "no sample workbooks";
  int checked = 0;
  for (const char* name : {"登録基本部", "登録適用部一", "登録適用部二", "登録適用部三", "登録適用部四"}) {
    const std::string xls = dir + "/" + name + ".xls";
    if (!fs::exists(xls)) continue;
    const bool basics = std::string(name) == "登録基本部";
    TXlsGridRows g;
    g.Load(xls, "", basics);
    ASSERT_TRUE(g.SheetFound()) << name;
    TCsvFileRows csv(dir + "/" + name + ".csv");
    TGrid want = AllRows(csv, true);  // as the reader delivers the cells: the quote still stray
    for (auto& row : want)
      for (auto& cell : row) cell = XlsCellText(cell);
    const TGrid got = AllRows(g, true);
    ASSERT_EQ(got.size(), want.size()) << name;
    for (size_t i = 0; i < got.size(); ++i) ASSERT_EQ(got[i], want[i]) << name << " row " << i;
    if (basics) {
      EXPECT_NE(g.DateSentence().find("分を反映した農薬登録情報です"), std::string::npos) << g.DateSentence();
      EXPECT_EQ(g.SheetNames().front(), "はじめに");
    }
    ++checked;
  }
  EXPECT_EQ(checked, 5);
}
