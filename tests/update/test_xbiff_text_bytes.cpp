// The spreadsheet reader's 8-bit text goes through the one decoder of outside bytes: a byte
// that is not valid in the workbook's code page (CP932, a code page named by CODEPAGE, UTF-8)
// becomes U+FFFD, so every cell text it reports is valid UTF-8.
#include <gtest/gtest.h>

#include "database/import_convert.h"
#include "xbiff_records.h"

TEST(XBiffTextBytes, InvalidBytesOfEachCodePageBecomeReplacementCharacters) {
  const std::string r = "\xEF\xBF\xBD";
  TRecords s;
  s.bof5(0x0005).eof().bof5(0x0010);
  auto label = [&](int row, int col, std::string_view bytes) {
    s.rec(0x0204, TBytes().u16(row).u16(col).u16(15).u16(unsigned(bytes.size())).raw(bytes));
  };
  // CP932, the default: bytes that are no character of it, and a lead byte cut off.
  label(0, 0, "\x80x\xA0y\xFDz\x88\xee");
  label(0, 1, "\x82");
  // UTF-8 by CODEPAGE 65001: a CP932 pair, a stray continuation byte, a surrogate.
  s.rec(0x0042, TBytes().u16(65001));
  label(1, 0, "ok\x93\x6f(\x80)\xED\xA0\x80 \xE7\xA8\xB2");
  // A code page the library lacks reads as CP932.
  s.rec(0x0042, TBytes().u16(61000));
  label(2, 0, "\x88\xee\x80");
  s.eof();
  TCollector col;
  EXPECT_EQ(ReadStream(s.data, col), "");
  std::vector<std::string> texts;
  for (const TCell& c : col.cells) {
    texts.push_back(c.text);
    EXPECT_EQ(ValidUtf8(c.text), c.text) << c.row << "," << c.col;
  }
  EXPECT_EQ(texts, (std::vector<std::string>{r + "x" + r + "y" + r + "z稲", r, "ok" + r + "o(" + r + ")" + r + r + r + " 稲",
                                             "稲" + r}));
}
