// The .xlsx workbook of a grid, read back by openpyxl (settings, formatting, cell types) and
// converted by LibreOffice to CSV (the cells a spreadsheet program shows).
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include "common/test_support.h"
#include "output/grid_model.h"
#include "output/xlsx_export.h"

namespace {

QJsonObject ReadXlsx(const QString& path, int rows, int cols) {
  QProcess p;
  p.start("/usr/bin/python3", {QString::fromStdString(SourcePath("tests/output/read_xlsx.py")), path,
                               QString::number(rows), QString::number(cols)});
  EXPECT_TRUE(p.waitForFinished(60000));
  EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
  return QJsonDocument::fromJson(p.readAllStandardOutput()).object();
}

QJsonObject Cell(const QJsonObject& sheet, int row, int col) {  // 1-based, as the sheet counts
  return sheet["cells"].toArray()[row - 1].toArray()[col - 1].toObject();
}

void FillSample(TXlsStringGrid& g) {
  g.Fill({"番号", "農薬の名称", "希釈倍数", "隠し", "備考", "値"},
         {{"12345", "ボルドー, 水和剤", "1000倍", "h1", "007", "0.50"},
          {"2", " 石灰[硫黄] ", "-", "h2", "1行目\n2行目", "-3"},
          {"301", "トマト", "", "h3", "1e5", "12.25"}});
  g.SetColWidths(3, 0);
}

}  // namespace

TEST(XlsxExport, OpenpyxlReadsSettingsTypesAndFormattingOfTheWrittenBlockOnly) {
  QTemporaryDir dir;
  TXlsStringGrid g;
  FillSample(g);
  ASSERT_TRUE(g.SetStartRow(2));
  ASSERT_TRUE(g.SetStartCol(2));
  g.FreezePanesRow = 2;
  g.FreezePanesCol = 1;
  g.PageOrientation = xlLandscape;
  g.CellBorderWeight = bwHairline;
  g.CellBorderColor = 0x0000FF;  // red, as the grid's colours hold it (red in the low byte)
  g.CellColor = 0xCCFFFF;        // light yellow
  g.CellTitleColor = 0xFFCC99;   // light blue
  g.SheetName = "農薬:試験/[1]*?";
  g.CellFont = QFont("Noto Sans CJK JP", 10);
  g.CellFont.setBold(true);
  g.VerticalRangeRow = 2;  // G2:G3, right of the block
  g.VerticalRangeCol = 7;
  g.VerticalRangeRowCount = 1;

  const QString path = dir.filePath("a.xlsx");
  TXlsxResult r = WriteGridXlsx(g.Model(), SheetSpecOf(g, sskExcel), path.toStdString());
  ASSERT_EQ(r.Code, 1) << r.Message;
  const QJsonObject s = ReadXlsx(path, 6, 8);
  EXPECT_EQ(s["title"].toString(), QStringLiteral("農薬_試験__1___"));  // cleaned, not refused
  EXPECT_EQ(s["header"].toString(), "&A");
  EXPECT_EQ(s["freeze"].toString(), "A2");
  EXPECT_EQ(s["orientation"].toString(), "landscape");
  EXPECT_EQ(s["selection"].toString(), "B2");

  // Title row: strings with the title fill; the hidden column is left out.
  const QStringList titles = {"番号", "農薬の名称", "希釈倍数", "備考", "値"};
  for (int k = 0; k < titles.size(); ++k) {
    const QJsonObject c = Cell(s, 2, 2 + k);
    EXPECT_EQ(c["v"].toString(), titles[k]);
    EXPECT_EQ(c["fill"].toString(), "99CCFF");
    EXPECT_EQ(c["border"].toString(), "hair");
    EXPECT_EQ(c["bcolor"].toString(), "FF0000");
  }
  // Numbers as numbers with the grid's digits; everything else stays a string.
  struct Expect {
    int row, col;
    const char* type;
    QJsonValue value;
    const char* format;
  } cells[] = {
      {3, 2, "n", 12345, "0"},          {3, 3, "s", QStringLiteral("ボルドー, 水和剤"), "General"},
      {3, 4, "s", QStringLiteral("1000倍"), "General"}, {3, 5, "s", "007", "General"},
      {3, 6, "n", 0.5, "0.00"},         {4, 3, "s", QStringLiteral("石灰[硫黄]"), "General"},
      {4, 4, "s", "-", "General"},      {4, 5, "s", QStringLiteral("1行目\n2行目"), "General"},
      {4, 6, "n", -3, "0"},             {5, 5, "s", "1e5", "General"},
      {5, 6, "n", 12.25, "0.00"},
  };
  for (const Expect& e : cells) {
    const QJsonObject c = Cell(s, e.row, e.col);
    EXPECT_EQ(c["t"].toString(), e.type) << e.row << "," << e.col;
    EXPECT_EQ(c["v"], e.value) << e.row << "," << e.col;
    EXPECT_EQ(c["fmt"].toString(), e.format) << e.row << "," << e.col;
    EXPECT_EQ(c["fill"].toString(), "FFFFCC");
    EXPECT_EQ(c["border"].toString(), "hair");
    EXPECT_EQ(c["font"].toString(), "Noto Sans CJK JP");
    EXPECT_DOUBLE_EQ(c["size"].toDouble(), 10);
    EXPECT_TRUE(c["bold"].toBool());
  }
  // An empty cell inside the block keeps the block's border and fill.
  EXPECT_TRUE(Cell(s, 5, 4)["v"].isNull());
  EXPECT_EQ(Cell(s, 5, 4)["border"].toString(), "hair");
  // Nothing around the block is formatted: the column right of it (where the grid's hidden
  // column would have reached), the row below it, the column left of it.
  for (int row = 1; row <= 6; ++row) {
    for (int col : {1, 7, 8}) {
      EXPECT_EQ(Cell(s, row, col)["border"].toString(), "") << row << "," << col;
      EXPECT_EQ(Cell(s, row, col)["fill"].toString(), "") << row << "," << col;
    }
  }
  for (int col = 1; col <= 8; ++col) EXPECT_EQ(Cell(s, 6, col)["border"].toString(), "") << col;
  // Vertical text over G2:G3 only.
  EXPECT_EQ(Cell(s, 2, 7)["rot"].toInt(), 255);
  EXPECT_EQ(Cell(s, 3, 7)["valign"].toString(), "top");
  EXPECT_EQ(Cell(s, 4, 7)["rot"].toInt(), 0);
  // Fitted widths: the product names are wider than the numbers.
  const QJsonObject w = s["widths"].toObject();
  EXPECT_GT(w["C"].toDouble(), w["B"].toDouble());
  EXPECT_GT(w["C"].toDouble(), 14.0);

  // The Kingsoft route sets no panes, no vertical text and no orientation.
  const QString kpath = dir.filePath("k.xlsx");
  ASSERT_EQ(WriteGridXlsx(g.Model(), SheetSpecOf(g, sskKingsoft), kpath.toStdString()).Code, 1);
  const QJsonObject k = ReadXlsx(kpath, 3, 7);
  EXPECT_EQ(k["freeze"].toString(), "");
  EXPECT_EQ(k["orientation"].toString(), "");
  EXPECT_EQ(Cell(k, 2, 7)["rot"].toInt(), 0);
  EXPECT_EQ(Cell(k, 2, 2)["fill"].toString(), "99CCFF");
}

TEST(XlsxExport, LibreOfficeShowsTheSameCellsAsTheGrid) {
  QTemporaryDir dir;
  TXlsStringGrid g;
  FillSample(g);
  g.CellBorderWeight = bwHairline;
  const QString path = dir.filePath("lo.xlsx");
  ASSERT_EQ(WriteGridXlsx(g.Model(), SheetSpecOf(g, sskExcel), path.toStdString()).Code, 1);

  QProcess p;
  p.setWorkingDirectory(dir.path());
  p.start("soffice", {"-env:UserInstallation=" + QUrl::fromLocalFile(dir.filePath("profile")).toString(), "--headless",
                      "--convert-to", "csv:Text - txt - csv (StarCalc):44,34,76", "--outdir", dir.filePath("out"), path});
  ASSERT_TRUE(p.waitForFinished(180000));
  ASSERT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
  QProcess py;
  py.start("/usr/bin/python3", {"-c",
                                "import csv,sys,json\n"
                                "with open(sys.argv[1], encoding='utf-8', newline='') as f:\n"
                                "    print(json.dumps(list(csv.reader(f))))\n",
                                dir.filePath("out/lo.csv")});
  ASSERT_TRUE(py.waitForFinished(30000));
  ASSERT_EQ(py.exitCode(), 0) << py.readAllStandardError().toStdString();
  const QJsonArray rows = QJsonDocument::fromJson(py.readAllStandardOutput()).array();
  const std::vector<std::vector<std::string>> expected = {
      {"番号", "農薬の名称", "希釈倍数", "備考", "値"},
      {"12345", "ボルドー, 水和剤", "1000倍", "007", "0.50"},
      {"2", "石灰[硫黄]", "-", "1行目\n2行目", "-3"},
      {"301", "トマト", "", "1e5", "12.25"}};
  ASSERT_EQ(rows.size(), static_cast<qsizetype>(expected.size()));
  for (size_t r = 0; r < expected.size(); ++r) {
    std::vector<std::string> got;
    for (const auto& c : rows[static_cast<qsizetype>(r)].toArray()) got.push_back(c.toString().toStdString());
    EXPECT_EQ(got, expected[r]) << "row " << r;
  }
}

TEST(XlsxExport, NumbersNamesWidthsAndLimits) {
  struct {
    const char* text;
    bool number;
    double value;
    int decimals;
  } numbers[] = {{"0", true, 0, 0},        {"12", true, 12, 0},       {"-3.50", true, -3.5, 2},
                 {"0.001", true, 0.001, 3}, {"007", false, 0, 0},      {"+5", false, 0, 0},
                 {"1e5", false, 0, 0},      {"1,000", false, 0, 0},    {"-0", false, 0, 0},
                 {"1.", false, 0, 0},       {".5", false, 0, 0},       {"", false, 0, 0},
                 {"123456789012345", true, 123456789012345.0, 0},      {"1234567890123456", false, 0, 0},
                 {"１２", false, 0, 0},     {"12 ", false, 0, 0}};
  for (const auto& n : numbers) {
    double v = -1;
    int d = -1;
    EXPECT_EQ(XlsxNumber(n.text, v, d), n.number) << n.text;
    if (n.number) {
      EXPECT_DOUBLE_EQ(v, n.value) << n.text;
      EXPECT_EQ(d, n.decimals) << n.text;
    }
  }

  EXPECT_EQ(CleanSheetName("a[b]c:d*e?f/g\\h"), "a_b_c_d_e_f_g_h");
  EXPECT_EQ(CleanSheetName("'引用'"), "引用");
  EXPECT_EQ(CleanSheetName("tab\there"), "tabhere");
  EXPECT_EQ(CleanSheetName(""), "Sheet1");
  EXPECT_EQ(CleanSheetName("''"), "Sheet1");
  const std::string longName = "あいうえおかきくけこさしすせそたちつてとなにぬねのはひふへほまみむめも";  // 35
  EXPECT_EQ(QString::fromStdString(CleanSheetName(longName)).size(), 31);
  EXPECT_EQ(QString::fromStdString(CleanSheetName(longName, 3)).size(), 28);

  EXPECT_DOUBLE_EQ(XlsxTextWidth("トマトab"), 8);
  EXPECT_DOUBLE_EQ(XlsxTextWidth("ab\r\nｱｲｳｴｵ"), 5);  // the longest line; half-width kana are narrow

  // Past the sheet's last row: -3 and no file; an unwritable place: -2 and no file.
  QTemporaryDir dir;
  TXlsStringGrid g;
  FillSample(g);
  TXlsxSheetSpec spec = SheetSpecOf(g, sskExcel);
  spec.StartRow = kXlsxMaxRows - 2;  // four rows from here pass the end
  EXPECT_FALSE(XlsxBlockFits(g.Model(), spec));
  const QString path = dir.filePath("over.xlsx");
  EXPECT_EQ(WriteGridXlsx(g.Model(), spec, path.toStdString()).Code, -3);
  EXPECT_FALSE(QFile::exists(path));
  spec.StartRow = kXlsxMaxRows - 3;
  EXPECT_TRUE(XlsxBlockFits(g.Model(), spec));
  const QString bad = dir.filePath("no/such/folder/x.xlsx");
  TXlsxResult r = WriteGridXlsx(g.Model(), SheetSpecOf(g, sskExcel), bad.toStdString());
  EXPECT_EQ(r.Code, -2);
  EXPECT_FALSE(r.Message.empty());
  EXPECT_FALSE(QFile::exists(bad));
  // A cell longer than a sheet cell holds.
  g.SetCells(1, 1, std::string(kXlsxMaxCellChars + 1, 'x'));
  EXPECT_EQ(WriteGridXlsx(g.Model(), SheetSpecOf(g, sskExcel), path.toStdString()).Code, -3);
  EXPECT_FALSE(QFile::exists(path));
}
