// The spreadsheet reader against workbooks made by LibreOffice (BIFF8) and in the Excel 95
// layout (BIFF5, read back by LibreOffice when made), and against hand-built record streams
// for the cases those files never hold.
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>

#include "common/test_support.h"
#include "update/structured_storage.h"
#include "update/xbiff.h"
#include "update/xbiff_records.h"

namespace {

using Key = std::tuple<int, int, int>;

std::string Unescape(const std::string& s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\\' && i + 1 < s.size()) {
      const char c = s[++i];
      out += c == 'n' ? '\n' : c == 't' ? '\t' : c == 'r' ? '\r' : c;
    } else {
      out += s[i];
    }
  }
  return out;
}

// The expected-cells file of the fixtures: "sheet\tNAME" lines, then "S\tR\tC\tTEXT".
void LoadExpected(const std::string& path, std::vector<std::string>& sheets, std::map<Key, std::string>& cells) {
  std::ifstream f(path);
  ASSERT_TRUE(f) << path;
  std::string line;
  while (std::getline(f, line)) {
    std::vector<std::string> parts;
    std::stringstream ss(line);
    std::string p;
    while (std::getline(ss, p, '\t')) parts.push_back(p);
    if (parts.size() == 2 && parts[0] == "sheet") {
      sheets.push_back(Unescape(parts[1]));
    } else {
      ASSERT_GE(parts.size(), 3u) << line;
      cells[{std::stoi(parts[0]), std::stoi(parts[1]), std::stoi(parts[2])}] = parts.size() > 3 ? Unescape(parts[3]) : "";
    }
  }
}

std::string Hex(double v) {
  uint64_t b;
  std::memcpy(&b, &v, 8);
  char buf[32];
  std::snprintf(buf, sizeof buf, "%016llx", (unsigned long long)b);
  return buf;
}

// ---------------------------------------------------------------------------------------
// Fixture workbooks

TEST(XBiffFiles, WorkbooksHoldEveryExpectedCell) {
  struct Case {
    const char* file;
    const char* expected;
    int version;
  } cases[] = {
      {"xls_biff8.xls", "xls_expected.tsv", 8},
      {"xls_biff5.xls", "xls_expected_biff5.tsv", 4},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    std::vector<std::string> wantSheets;
    std::map<Key, std::string> want;
    LoadExpected(SourcePath(std::string("tests/update/data/") + c.expected), wantSheets, want);

    TXBiff x;
    TCollector col;
    col.Attach(x);
    x.LoadFromFile(SourcePath(std::string("tests/update/data/") + c.file));
    EXPECT_EQ(x.VersionCode(), c.version);
    EXPECT_EQ(col.sheets, wantSheets);

    std::map<Key, std::string> got;
    for (const auto& cell : col.cells) {
      EXPECT_TRUE(got.emplace(Key{cell.sheet, cell.row, cell.col}, cell.text).second)
          << "cell delivered twice: " << cell.sheet << "/" << cell.row << "/" << cell.col;
    }
    for (const auto& [k, text] : want) {
      auto it = got.find(k);
      if (it == got.end()) {
        ADD_FAILURE() << "missing " << std::get<0>(k) << "/" << std::get<1>(k) << "/" << std::get<2>(k);
      } else {
        EXPECT_EQ(it->second, text) << std::get<0>(k) << "/" << std::get<1>(k) << "/" << std::get<2>(k);
      }
    }
    EXPECT_EQ(got.size(), want.size());

    // Progress climbs to 100 and ends with one 0.
    ASSERT_GE(col.progress.size(), 2u);
    EXPECT_EQ(col.progress.back(), 0);
    EXPECT_EQ(col.progress[col.progress.size() - 2], 100);
    for (size_t i = 1; i + 1 < col.progress.size(); ++i) EXPECT_LT(col.progress[i - 1], col.progress[i]);
    EXPECT_EQ(x.Progress(), 0);
  }
}

TEST(XBiffFiles, ColumnWidthsAndFormatIndexes) {
  TXBiff x;
  TCollector col;
  col.Attach(x);
  x.LoadFromFile(SourcePath("tests/update/data/xls_biff5.xls"));
  // Each sheet of the Excel 95 file has one COLINFO for columns 0 to 2, width 0x0C00.
  std::vector<std::tuple<int, int, int>> want;
  for (int s = 1; s <= 3; ++s)
    for (int c = 0; c <= 2; ++c) want.emplace_back(s, c, 0x0C00);
  EXPECT_EQ(col.widths, want);
  for (const auto& c : col.cells) ASSERT_EQ(c.attr, 15) << c.text;
}

TEST(XBiffFiles, StreamNamesAndPlainFiles) {
  QTemporaryDir dir;
  // The workbook stream of a compound document, found whatever the case of its name.
  std::vector<uint8_t> data;
  std::string found;
  ASSERT_EQ(ReadStorageStream(SourcePath("tests/update/data/xls_biff8.xls"), {"WORKBOOK", "book"}, data, &found),
            TStorageResult::Ok);
  EXPECT_EQ(found, "WORKBOOK");
  EXPECT_EQ(ReadStorageStream(SourcePath("tests/update/data/xls_biff5.xls"), {"workbook", "BOOK"}, data, &found),
            TStorageResult::Ok);
  EXPECT_EQ(found, "BOOK");
  EXPECT_EQ(ReadStorageStream(SourcePath("tests/update/data/xls_biff5.xls"), {"Nothing"}, data), TStorageResult::NoStream);
  EXPECT_EQ(ReadStorageStream(SourcePath("tests/update/data/xls_expected.tsv"), {"Book"}, data),
            TStorageResult::NotCompound);
  EXPECT_EQ(ReadStorageStream(dir.filePath("absent.xls").toStdString(), {"Book"}, data), TStorageResult::OpenFailed);

  // A plain BIFF file (no compound document) is read whole, as version 2.
  TRecords r;
  r.bof5(0x0010).number(3, 4, 2.5).eof();
  const std::string plain = dir.filePath("plain.xls").toStdString();
  {
    std::ofstream f(plain, std::ios::binary);
    f.write(reinterpret_cast<const char*>(r.data.data()), std::streamsize(r.data.size()));
  }
  TXBiff x;
  TCollector col;
  col.Attach(x);
  x.LoadFromFile(plain);
  EXPECT_EQ(x.VersionCode(), 2);
  EXPECT_EQ(x.FileName(), plain);
  ASSERT_EQ(col.cells.size(), 1u);
  EXPECT_EQ(col.cells[0], (TCell{1, 3, 4, 15, "2.5"}));

  // Failures carry the reader's messages.
  struct Bad {
    std::string path;
    const char* message;
  } bad[] = {
      {dir.filePath("absent.xls").toStdString(), kXBiffOpenError},
      {dir.path().toStdString(), kXBiffOpenError},  // a folder
      {SourcePath("tests/update/data/xls_expected.tsv"), kXBiffUnknownFormat},  // text, no BOF
  };
  for (const auto& b : bad) {
    TXBiff y;
    try {
      y.LoadFromFile(b.path);
      ADD_FAILURE() << b.path << " read without error";
    } catch (const EXBiffError& e) {
      EXPECT_STREQ(e.what(), b.message) << b.path;
    }
  }
}

TEST(XBiffFiles, QmtoolPrintsSheetsAndCells) {
  const std::string tool = BinaryPath("bin/qmtool");
  if (!QFile::exists(QString::fromStdString(tool))) GTEST_SKIP() << "qmtool not built";
  const std::string cmd = "'" + tool + "' xls '" + SourcePath("tests/update/data/xls_biff8.xls") + "'";
  FILE* p = popen(cmd.c_str(), "r");
  ASSERT_TRUE(p);
  std::string out;
  char buf[65536];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
  EXPECT_EQ(pclose(p), 0);
  // Same lines as the expected-cells file (escapes included), sheets first.
  std::ifstream f(SourcePath("tests/update/data/xls_expected.tsv"));
  std::stringstream want;
  want << f.rdbuf();
  auto lines = [](const std::string& s) {
    std::vector<std::string> v;
    std::stringstream ss(s);
    std::string l;
    while (std::getline(ss, l)) v.push_back(l);
    return v;
  };
  auto got = lines(out), exp = lines(want.str());
  ASSERT_GE(got.size(), 3u);
  EXPECT_EQ(got[0], exp[0]);
  std::sort(got.begin(), got.end());
  std::sort(exp.begin(), exp.end());
  EXPECT_EQ(got, exp);

  const std::string bad = "'" + tool + "' xls /nonexistent/file.xls 2>/dev/null";
  p = popen(bad.c_str(), "r");
  ASSERT_TRUE(p);
  while (fread(buf, 1, sizeof buf, p) > 0) {
  }
  const int status = pclose(p);
  EXPECT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 1);
}

// ---------------------------------------------------------------------------------------
// Numbers

TEST(XBiffNumbers, RKValues) {
  struct Case {
    uint32_t rk;
    double want;
  } cases[] = {
      {uint32_t(-5) << 2 | 2, -5},
      {uint32_t(-5) << 2 | 3, -0.05},
      {uint32_t(12345) << 2 | 2, 12345},
      {uint32_t(536870911) << 2 | 2, 536870911},      // largest 30-bit integer
      {uint32_t(0x80000000u) | 2, -536870912},         // smallest
      {0x3FF00000u, 1.0},                              // upper half of the double 1.0
      {0x3FF00000u | 1, 0.01},                         // 1.0 / 100
      {0xC0240000u, -10.0},
      {0, 0},
  };
  for (const auto& c : cases) EXPECT_EQ(Hex(RKToDouble(c.rk)), Hex(c.want)) << std::hex << c.rk;
}

TEST(XBiffNumbers, CellTextKeepsEveryDigit) {
  struct Case {
    double v;
    const char* text;
  } cases[] = {
      {43472, "43472"},
      {100000, "100000"},  // never "1e+05"
      {123456789012, "123456789012"},
      {1234567.891, "1234567.891"},
      {0.1, "0.1"},
      {0.1 + 0.2, "0.30000000000000004"},
      {-0.05, "-0.05"},
      {3.14159265358979, "3.14159265358979"},
      {0.000123, "0.000123"},
      {1e-7, "1e-07"},
      {1e20, "1e+20"},
      {-0.0, "0"},
      {65536.5, "65536.5"},
  };
  for (const auto& c : cases) EXPECT_EQ(FormatCellNumber(c.v), c.text);
  // No locale can turn the decimal point into a comma.
  if (std::setlocale(LC_NUMERIC, "de_DE.UTF-8") || std::setlocale(LC_NUMERIC, "fr_FR.UTF-8")) {
    EXPECT_EQ(FormatCellNumber(2.5), "2.5");
    std::setlocale(LC_NUMERIC, "C");
  }
}

// ---------------------------------------------------------------------------------------
// Record streams

TEST(XBiffRecords, CellRecordsOfEachVersion) {
  struct Case {
    const char* name;
    TRecords stream;
    std::vector<TCell> want;
  };
  std::vector<Case> cases;
  {
    TRecords r;  // BIFF8: RK, MULRK, NUMBER, LABEL in UTF-16 and compressed, RSTRING, BOOLERR
    r.bof8(0x0005).eof().bof8(0x0010);
    r.rec(0x027E, TBytes().u16(0).u16(1).u16(20).u32(uint32_t(-5) << 2 | 3));
    r.rec(0x00BD, TBytes().u16(1).u16(3).u16(21).u32(7 << 2 | 2).u16(22).u32(0x3FF00000u).u16(4));  // length 18
    r.number(2, 0, 1234567.891);
    r.rec(0x0204, TBytes().u16(3).u16(0).u16(23).u16(4).u8(1).utf16(u"登録番号"));
    r.rec(0x0204, TBytes().u16(3).u16(1).u16(23).u16(4).u8(0).raw("caf\xe9"));
    r.rec(0x0204, TBytes().u16(3).u16(2).u16(23).u16(3).u8(1).utf16(u"a\U0001F600"));  // surrogate pair
    r.rec(0x0204, TBytes().u16(3).u16(3).u16(23).u16(2).u8(1).utf16(u"\xD800x"));      // lone surrogate
    r.rec(0x00D6, TBytes().u16(4).u16(0).u16(24).u16(2).u8(1).utf16(u"剤形").u16(1).u16(0).u16(0));
    r.rec(0x0205, TBytes().u16(5).u16(0).u16(15).u8(1).u8(0));
    r.rec(0x0205, TBytes().u16(5).u16(1).u16(15).u8(0x07).u8(1));
    r.eof();
    cases.push_back({"biff8", r,
                     {{1, 0, 1, 20, "-0.05"},
                      {1, 1, 3, 21, "7"},
                      {1, 1, 4, 22, "1"},
                      {1, 2, 0, 15, "1234567.891"},
                      {1, 3, 0, 23, "登録番号"},
                      {1, 3, 1, 23, "café"},
                      {1, 3, 2, 23, "a\xF0\x9F\x98\x80"},
                      {1, 3, 3, 23, "\xEF\xBF\xBDx"},
                      {1, 4, 0, 24, "剤形"},
                      {1, 5, 0, 15, "TRUE"},
                      {1, 5, 1, 15, "#DIV/0!"}}});
  }
  {
    TRecords r;  // BIFF5: 8-bit text in code page 932 unless CODEPAGE says otherwise
    r.bof5(0x0005).eof().bof5(0x0010);
    r.rec(0x0204, TBytes().u16(0).u16(0).u16(15).u16(8).raw("\x93\x6f\x98\x5e\x94\xd4\x8d\x86"));  // 登録番号
    r.rec(0x0204, TBytes().u16(0).u16(1).u16(15).u16(6).raw("\xb7\xad\xb0\xcb\xde\xb5"));  // ｷｭｰﾋﾞｵ
    r.rec(0x0204, TBytes().u16(0).u16(2).u16(15).u16(3).raw("a\x81\x81"));  // 0x81 0x81 is "＝"
    r.rec(0x0204, TBytes().u16(0).u16(3).u16(15).u16(2).raw("b\x81"));   // lead byte without trail
    r.rec(0x0204, TBytes().u16(0).u16(4).u16(15).u16(99).raw("short"));  // count beyond the record
    r.rec(0x00D6, TBytes().u16(1).u16(0).u16(16).u16(4).raw("\x8d\xdc\x8c\x60").u8(1).u16(0));  // 剤形 + runs
    r.rec(0x0042, TBytes().u16(1252));
    r.rec(0x0204, TBytes().u16(2).u16(0).u16(15).u16(4).raw("caf\xe9"));
    r.eof();
    cases.push_back({"biff5", r,
                     {{1, 0, 0, 15, "登録番号"},
                      {1, 0, 1, 15, "ｷｭｰﾋﾞｵ"},
                      {1, 0, 2, 15, "a＝"},
                      {1, 0, 3, 15, "b\xEF\xBF\xBD"},
                      {1, 0, 4, 15, "short"},
                      {1, 1, 0, 16, "剤形"},
                      {1, 2, 0, 15, "café"}}});
  }
  {
    TRecords r;  // BIFF2: three attribute bytes, 8-bit counts
    r.rec(0x0009, TBytes().u16(0x0002).u16(0x0010));
    r.rec(0x0002, TBytes().u16(0).u16(0).u8(1).u8(2).u8(3).u16(65535));
    r.rec(0x0003, TBytes().u16(0).u16(1).u8(0).u8(0).u8(0).f64(0.5));
    r.rec(0x0004, TBytes().u16(1).u16(0).u8(0).u8(0).u8(0).u8(3).raw("abc"));
    r.rec(0x0006, TBytes().u16(2).u16(0).u8(0).u8(0).u8(0).f64(42).u8(0).u8(0));
    r.rec(0x0006, TBytes().u16(2).u16(1).u8(0).u8(0).u8(0).u8(0).u16(0).u16(0).u8(0).u16(0xFFFF).u8(0).u8(0));
    r.rec(0x0007, TBytes().u8(2).raw("ok"));
    r.rec(0x0005, TBytes().u16(3).u16(0).u8(0).u8(0).u8(0).u8(0).u8(0));
    r.eof();
    cases.push_back({"biff2", r,
                     {{1, 0, 0, 0x030201, "65535"},
                      {1, 0, 1, 0, "0.5"},
                      {1, 1, 0, 0, "abc"},
                      {1, 2, 0, 0, "42"},
                      {1, 2, 1, 0, "ok"},
                      {1, 3, 0, 0, "FALSE"}}});
  }
  for (auto& c : cases) {
    SCOPED_TRACE(c.name);
    TCollector col;
    EXPECT_EQ(ReadStream(c.stream.data, col), "");
    EXPECT_EQ(col.cells, c.want);
  }
}

TEST(XBiffRecords, FormulaResults) {
  // The cached result of FORMULA: a number unless its last two bytes are 0xFFFF; then byte 0
  // tells text (a STRING record follows), Boolean, error or empty text.
  auto formula = [](TRecords& r, int col, const TBytes& result) {
    TBytes b;
    b.u16(0).u16(col).u16(15).bytes(result.v).u16(0).u32(0).u16(3).u8(0x1E).u16(1);
    r.rec(0x0006, b);
  };
  auto special = [](int kind, int value) {
    return TBytes().u8(kind).u8(0).u8(value).u8(0).u8(0).u8(0).u16(0xFFFF);
  };
  // A double whose first byte is 1 (and third byte 0): a number, never "FALSE".
  double tricky;
  const uint64_t bits = 0x4000000000000001ull;
  std::memcpy(&tricky, &bits, 8);
  for (bool biff8 : {true, false}) {
    SCOPED_TRACE(biff8 ? "biff8" : "biff5");
    TRecords r;
    biff8 ? r.bof8(0x0010) : r.bof5(0x0010);
    formula(r, 0, TBytes().f64(tricky));
    formula(r, 1, special(1, 1));
    formula(r, 2, special(1, 0));
    formula(r, 3, special(2, 0x2A));
    formula(r, 4, special(3, 0));
    formula(r, 5, special(0, 0));
    r.rec(0x04BC, TBytes().u32(0).u16(0));  // a shared formula between FORMULA and STRING
    if (biff8)
      r.rec(0x0207, TBytes().u16(3).u8(1).utf16(u"文字列"));
    else
      r.rec(0x0207, TBytes().u16(6).raw("\x95\xb6\x8e\x9a\x97\xf1"));
    r.rec(0x0207, TBytes().u16(1).u8(0).raw("x"));  // a STRING with no formula waiting: no cell
    formula(r, 6, TBytes().f64(-2.5));
    r.eof();
    TCollector col;
    EXPECT_EQ(ReadStream(r.data, col), "");
    EXPECT_EQ(col.Texts(), (std::vector<std::string>{FormatCellNumber(tricky), "TRUE", "FALSE", "#N/A", "", "文字列", "-2.5"}));
    ASSERT_EQ(col.cells.size(), 7u);
    EXPECT_EQ(col.cells[5].col, 5);  // the text goes to the formula's cell
  }
}

TEST(XBiffRecords, SheetsAndSubstreams) {
  TRecords r;
  r.bof8(0x0005);
  r.boundsheet8("Data");
  r.boundsheet8("Chart1", 2);  // chart sheet: not a worksheet name
  r.rec(0x0085, TBytes().u32(0).u8(0).u8(0).u8(2).u8(1).utf16(u"農薬"));  // 16-bit name
  r.rec(0x0085, TBytes().u32(0).u8(1).u8(0).u8(5).u8(0).raw("Hid"));    // count beyond the record
  r.boundsheet8("Macro", 1);
  r.eof();
  r.bof8(0x0010).number(0, 0, 1);
  r.rec(0x007D, TBytes().u16(1).u16(3).u16(2048).u16(15).u16(0).u16(0));
  r.rec(0x007D, TBytes().u16(250).u16(0xFFFF).u16(100).u16(15).u16(0).u16(0));  // ends at column 255
  r.bof8(0x0020).number(9, 9, 99).eof();  // embedded chart inside the sheet
  r.number(0, 1, 2).eof();
  r.bof8(0x0020).number(5, 5, 5).eof();  // chart sheet
  r.bof8(0x0040).number(6, 6, 6).eof();  // macro sheet: its cells are no worksheet's
  r.bof8(0x0010).number(0, 0, 3).eof();
  TCollector col;
  EXPECT_EQ(ReadStream(r.data, col), "");
  EXPECT_EQ(col.sheets, (std::vector<std::string>{"Data", "農薬", "Hid"}));
  EXPECT_EQ(col.cells, (std::vector<TCell>{{1, 0, 0, 15, "1"}, {1, 0, 1, 15, "2"}, {2, 0, 0, 15, "3"}}));
  std::vector<std::tuple<int, int, int>> widths{{1, 1, 2048}, {1, 2, 2048}, {1, 3, 2048}};
  for (int c = 250; c <= 255; ++c) widths.emplace_back(1, c, 100);
  EXPECT_EQ(col.widths, widths);

  // BIFF5 names have no option byte: the first byte after the count is the name.
  TRecords b5;
  b5.bof5(0x0005);
  b5.rec(0x0085, TBytes().u32(0).u8(0).u8(0).u8(10).raw("\x93\x6f\x98\x5e\x8a\xee\x96\x7b\x95\x94"));
  b5.rec(0x0085, TBytes().u32(0).u8(0).u8(0).u8(5).raw("Sheet"));
  b5.eof();
  TCollector c5;
  EXPECT_EQ(ReadStream(b5.data, c5), "");
  EXPECT_EQ(c5.sheets, (std::vector<std::string>{"登録基本部", "Sheet"}));
}

TEST(XBiffRecords, SharedStringsAcrossContinueRecords) {
  // SST: total, unique, then strings; where characters run past a record the CONTINUE
  // starts with an option byte whose bit 0 sets the width of what follows.
  TBytes sst;
  sst.u32(6).u32(6);
  sst.u16(3).u8(1).utf16(u"一二三");                     // 0: plain 16-bit
  sst.u16(3).u8(8).u16(1).raw("abc").u32(0);             // 1: rich text, one run
  sst.u16(3).u8(4).u32(2).raw("xyz").u16(0);             // 2: extension data
  sst.u16(4).u8(1).utf16(u"適用");                        // 3: 16-bit, continues...
  TBytes c1;
  c1.u8(0).raw("AB");                                    // ...as 8-bit characters
  c1.u16(4).u8(0).raw("ab");                             // 4: 8-bit, continues...
  TBytes c2;
  c2.u8(1).utf16(u"剤形");                                // ...as 16-bit characters
  c2.u16(2).u8(8).u16(2).raw("zz").u32(0);               // 5: runs split over the records
  TBytes c3;
  c3.u32(0);
  TRecords r;
  r.bof8(0x0005).rec(0x00FC, sst).rec(0x003C, c1).rec(0x003C, c2).rec(0x003C, c3).eof();
  r.bof8(0x0010);
  for (int i = 0; i <= 6; ++i) r.labelsst(i, 0, uint32_t(i));  // index 6 = table size: no cell
  r.labelsst(7, 0, 0xFFFFFFFFu);
  r.eof();
  TCollector col;
  EXPECT_EQ(ReadStream(r.data, col), "");
  EXPECT_EQ(col.Texts(), (std::vector<std::string>{"一二三", "abc", "xyz", "適用AB", "ab剤形", "zz"}));

  // A piece longer than 8,224 bytes is no workbook the reader knows.
  TBytes big;
  big.u32(1).u32(1).u16(8300).u8(0).raw(std::string(8300, 'a'));
  TRecords r2;
  r2.bof8(0x0005).rec(0x00FC, big).eof();
  TCollector c2col;
  EXPECT_EQ(ReadStream(r2.data, c2col), kXBiffUnknownFormat);

  // Strings that end before their announced characters or runs are a read error.
  std::vector<TBytes> broken;
  broken.push_back(TBytes().u32(1).u32(1).u16(10).u8(1).utf16(u"短い"));  // characters missing
  broken.push_back(TBytes().u32(1).u32(1).u16(2).u8(8).u16(50).raw("ab"));  // runs missing
  broken.push_back(TBytes().u32(1).u32(1).u16(3).u8(1).u8(0x41));           // half a character
  broken.push_back(TBytes().u32(1));                                       // no header
  for (const auto& b : broken) {
    TRecords rb;
    rb.bof8(0x0005).rec(0x00FC, b).eof();
    TCollector cb;
    EXPECT_EQ(ReadStream(rb.data, cb), kXBiffReadError);
  }
  // A unique count larger than the strings present stops when the table ends.
  TRecords r3;
  r3.bof8(0x0005).rec(0x00FC, TBytes().u32(9).u32(0xFFFFFFFF).u16(1).u8(0).raw("q")).eof();
  r3.bof8(0x0010).labelsst(0, 0, 0).labelsst(0, 1, 1).eof();
  TCollector c3col;
  EXPECT_EQ(ReadStream(r3.data, c3col), "");
  EXPECT_EQ(c3col.Texts(), (std::vector<std::string>{"q"}));
}

TEST(XBiffRecords, CancelAndProgress) {
  TRecords r;
  r.bof8(0x0010);
  for (int i = 0; i < 50; ++i) r.number(i, 0, i);
  r.rec(0x00BD, TBytes().u16(60).u16(0).u16(15).u32(2).u16(15).u32(6).u16(15).u32(10).u16(2));
  r.eof();
  struct Case {
    int cancelAfter;
    size_t cells;
  } cases[] = {{1, 1}, {50, 50}, {51, 51}, {-1, 53}};
  for (const auto& c : cases) {
    TCollector col;
    col.cancelAfter = c.cancelAfter;
    EXPECT_EQ(ReadStream(r.data, col), "");
    EXPECT_EQ(col.cells.size(), c.cells) << c.cancelAfter;
    ASSERT_FALSE(col.progress.empty());
    EXPECT_EQ(col.progress.back(), 0);  // the closing event fires after a cancel too
  }
}

TEST(XBiffRecords, DamagedStreams) {
  struct Case {
    const char* name;
    std::vector<uint8_t> data;
    const char* error;  // "" when it must read through
    size_t cells;
  };
  std::vector<Case> cases;
  auto base = [] {
    TRecords r;
    r.bof8(0x0010);
    return r;
  };
  cases.push_back({"empty", {}, kXBiffUnknownFormat, 0});
  cases.push_back({"no BOF", TRecords().number(0, 0, 1).eof().data, kXBiffUnknownFormat, 0});
  {
    auto r = base();
    r.rec(0x0203, TBytes().u16(0).u16(0).u16(15).u32(0));  // NUMBER 4 bytes short
    r.rec(0x027E, TBytes().u16(0).u16(0).u16(15));          // RK without value
    r.rec(0x00FD, TBytes().u16(0).u16(0).u16(15).u16(0));   // LABELSST with half an index
    r.rec(0x0204, TBytes().u16(0).u16(0));                  // LABEL without text
    r.rec(0x00BD, TBytes().u16(0).u16(0).u16(15));          // MULRK without cells
    r.rec(0x0006, TBytes().u16(0).u16(0).u16(15).u32(0));   // FORMULA without result
    r.rec(0x0085, TBytes().u32(0).u8(0));                   // BOUNDSHEET without name
    r.rec(0x007D, TBytes().u16(0));                         // COLINFO cut short
    r.rec(0x0809, TBytes());                                // BOF without version
    r.eof().eof().number(1, 1, 1).eof();
    cases.push_back({"short records", r.data, "", 0});
  }
  {
    auto r = base();
    r.number(0, 0, 1);
    r.data.insert(r.data.end(), {0x03, 0x02, 0x20, 0x00, 1, 2});  // NUMBER body cut off
    cases.push_back({"record past the end", r.data, kXBiffReadError, 1});
  }
  {
    auto r = base();
    r.number(0, 0, 1).eof();
    r.data.insert(r.data.end(), {0x00, 0x00, 0xFF, 0x7F, 0x55});  // junk after the last EOF
    cases.push_back({"junk after end", r.data, "", 1});
  }
  {
    auto r = base();
    r.number(0, 0, 1).eof();
    r.data.push_back(0x0A);
    cases.push_back({"odd byte after end", r.data, "", 1});
  }
  {
    TRecords r;
    r.bof8(0x0005).rec(0x002F, TBytes().u16(1).u16(1)).eof().bof8(0x0010).number(0, 0, 1).eof();
    cases.push_back({"encrypted", r.data, kXBiffUnknownFormat, 0});
  }
  {
    TRecords r;  // an SST whose CONTINUE header claims more than the stream holds
    r.bof8(0x0005).rec(0x00FC, TBytes().u32(1).u32(1).u16(4).u8(0).raw("ab"));
    r.data.insert(r.data.end(), {0x3C, 0x00, 0x10, 0x00, 0, 'c'});
    cases.push_back({"continue past the end", r.data, kXBiffReadError, 0});
  }
  for (const auto& c : cases) {
    TCollector col;
    EXPECT_EQ(ReadStream(c.data, col), c.error) << c.name;
    EXPECT_EQ(col.cells.size(), c.cells) << c.name;
  }
}

}  // namespace
