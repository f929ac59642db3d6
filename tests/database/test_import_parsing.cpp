// The pieces the importers are made of: the CSV splitter, the value converters, the date
// conversions, the trade-name rules, the ingredient items of a type name and the streaming
// CP932/UTF-8 line reader.
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <fstream>

#include "common/test_support.h"
#include "database/acis_schema.h"
#include "database/csv_split.h"
#include "database/date_convert.h"
#include "database/import_convert.h"
#include "database/import_reader.h"
#include "database/make_tsusho.h"

using Fields = std::vector<std::string>;

TEST(CsvSplit, FieldsQuotesAndCommas) {
  struct Case {
    const char* line;
    char quote;
    Fields want;
  } cases[] = {
      {R"("a","b c","d")", '"', {"a", "b c", "d"}},
      {R"("say ""hi""",x)", '"', {"say \"hi\"", "x"}},          // doubled quote
      {R"("1,000",2)", '"', {"1,000", "2"}},                     // comma inside quotes
      {R"(a,,b,)", '"', {"a", "", "b", ""}},                     // empty field, trailing comma
      {R"("a",)", '"', {"a", ""}},
      {R"(,)", '"', {"", ""}},
      {"a,b\r", '"', {"a", "b"}},                               // CR of a CR LF line
      {R"(1,'it''s','x,y',NULL)", '\'', {"1", "it's", "x,y", "NULL"}},  // single-quote variant
      {R"(1,"a"b,c)", '"', {"1", "ab", "c"}},                   // text after the closing quote
      {R"("open,end)", '"', {"open,end"}},                      // unterminated quote runs to the end
      {R"(a b,c)", '"', {"a b", "c"}},                           // a blank is data
      {"", '"', {""}},
  };
  for (const auto& c : cases) EXPECT_EQ(SplitCsvLine(c.line, c.quote), c.want) << c.line;
}

TEST(CsvSplit, BlankUnderscoreRoundTrip) {
  // The importers write blanks as "_" before splitting and turn every "_" back into a blank:
  // a blank survives, and an underscore of the data becomes a blank too.
  std::string line = R"("12345","クミアイ ニーズ","日本_農薬")";
  for (char& ch : line)
    if (ch == ' ') ch = '_';
  Fields f = SplitCsvLine(line, '"');
  ASSERT_EQ(f.size(), 3u);
  EXPECT_EQ(f[1], "クミアイ_ニーズ");
  for (auto& v : f) ReplaceUnderscores(v);
  EXPECT_EQ(f[1], "クミアイ ニーズ");
  EXPECT_EQ(f[2], "日本 農薬");
}

TEST(ImportConvert, Converters) {
  EXPECT_EQ(NodoText(""), "");
  EXPECT_EQ(NodoText("ｱｲｿ 75%"), "アイソ 75%");
  EXPECT_FALSE(TextOrNull("").has_value());
  EXPECT_EQ(*TextOrNull("x"), "x");
  EXPECT_FALSE(CsvValueOrNull("").has_value());
  EXPECT_FALSE(CsvValueOrNull("NULL").has_value());
  EXPECT_EQ(*CsvValueOrNull("ＡＢ_ｃ１"), "AB c1");
  EXPECT_FALSE(QuoteUnlessNull("NULL").has_value());
  EXPECT_EQ(*QuoteUnlessNull(""), "");
  EXPECT_EQ(*QuoteUnlessNull("null"), "null");
  EXPECT_EQ(SquareMetreText("1m2当り m2"), "1㎡当り ㎡");
  EXPECT_EQ(ParseWholeNumber(" 12345 "), 12345);
  EXPECT_EQ(ParseWholeNumber("12345.0"), 12345);
  EXPECT_FALSE(ParseWholeNumber("12345.5"));
  EXPECT_FALSE(ParseWholeNumber("x99"));
  EXPECT_FALSE(ParseWholeNumber(""));
  EXPECT_FALSE(ParseWholeNumber("1;DROP"));
}

TEST(DateConvert, SerialAndSlashDates) {
  EXPECT_EQ(ExcelSerialToDateText("43472"), "2019.01.07");
  EXPECT_EQ(ExcelSerialToDateText("1"), "1899.12.31");
  EXPECT_EQ(ExcelSerialToDateText("60"), "1900.02.28");  // the day number counts from 1899-12-30
  EXPECT_EQ(ExcelSerialToDateText("61"), "1900.03.01");
  EXPECT_EQ(ExcelSerialToDateText("45351"), "2024.02.29");
  EXPECT_FALSE(ExcelSerialToDateText("43472.5"));
  EXPECT_FALSE(ExcelSerialToDateText("2019/01/07"));
  EXPECT_FALSE(ExcelSerialToDateText(""));

  EXPECT_EQ(DateTextToDotted("2019/01/07"), "2019.01.07");
  EXPECT_EQ(DateTextToDotted("2020/3/5"), "2020.03.05");
  EXPECT_EQ(DateTextToDotted("2020/02/29"), "2020.02.29");
  EXPECT_EQ(DateTextToDotted("2019/01/07 0:00:00"), "2019.01.07");
  EXPECT_FALSE(DateTextToDotted("2019/02/30"));
  EXPECT_FALSE(DateTextToDotted("2019/13/01"));
  EXPECT_FALSE(DateTextToDotted("2019-01-07"));
  EXPECT_FALSE(DateTextToDotted("2019/01"));
  EXPECT_FALSE(DateTextToDotted(""));
}

TEST(MakeTsusho, MakersAndGuards) {
  EXPECT_EQ(MakeTsushoEntryCount(), 214u);
  struct Case {
    const char* name;
    const char* want;
  } cases[] = {
      {"キングダム", "キングダム"},                      // not a listed キング product
      {"キングマラソン乳剤", "マラソン乳剤"},
      {"バイエルアージラン", "バイエルアージラン"},      // バイエル kept with アージラン
      {"バイエル_ベルクート", "ベルクート"},
      {"バイエルベルクート", "ベルクート"},
      {"アグロスリン乳剤", "アグロスリン乳剤"},
      {"アグロスアグロスター乳剤", "アグロスター乳剤"},  // only the maker's mark goes
      {"アグロスター乳剤", "アグロスター乳剤"},
      {"アグロスダイアジノン粒剤", "ダイアジノン粒剤"},
      {"三共の草枯らし", "三共の草枯らし"},
      {"三共オルトラン", "オルトラン"},
      {"北海三共ダイアジノン", "ダイアジノン"},
      {"SGダコグリーン", "ダコグリーン"},
      {"SGスタークル", "SGスタークル"},  // SG kept without ダコグリーン ("ST" is a maker: not in the name)
      {"クレハクレバー", "クレハクレバー"},
      {"トモノール", "トモノール"},
      {"ヤシマNCS", "ヤシマNCS"},
      {"ヤシマ_スミチオン", "スミチオン"},
      {"フマキラー殺虫剤", "家庭園芸用殺虫剤"},
      {"住友化学スミチオン乳剤", "スミチオン乳剤"},  // 住友化学 before 住友
      {"「ＪＡ」ＭＥＰ乳剤", "ＭＥＰ乳剤"},
      {"カダン石灰硫黄合剤", "石灰硫黄合剤"},
      {"アトミロン印農薬用(ボルドー液用)粉末生石灰", "ボルドー液用粉末生石灰"},
      {"硫酸銅(粉)", "硫酸銅(粉状)"},
      {"ALモミゲンキ", "モミゲンキ"},
      {"ダイアジノン　粒剤", "ダイアジノン粒剤"},
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(MakeTsusho(c.name), c.want) << c.name;
}

TEST(IngredientItems, TypeNames) {
  using V = std::vector<std::string>;
  EXPECT_EQ(IngredientItems("MEP・BPMC粉剤"), (V{"MEP", "BPMC"}));
  EXPECT_EQ(IngredientItems("石灰硫黄合剤"), (V{"石灰硫黄合剤"}));
  EXPECT_EQ(IngredientItems("全卵粉末"), (V{"全卵粉末"}));
  EXPECT_EQ(IngredientItems("カスガマイシン粉末"), (V{"カスガマイシン"}));
  EXPECT_EQ(IngredientItems("展着剤"), (V{""}));
  EXPECT_EQ(IngredientItems("除虫菊乳剤"), (V{"ピレトリン"}));
  EXPECT_EQ(IngredientItems("シアン酸塩粒剤"), (V{"シアン酸ナトリウム"}));
  EXPECT_EQ(IngredientItems("水和硫黄剤"), (V{"硫黄"}));
  EXPECT_EQ(IngredientItems("なたね油 乳剤"), (V{"なたね油 "}));
  EXPECT_EQ(IngredientItems("A・"), (V{"A", ""}));
  EXPECT_EQ(IngredientItems("水和剤"), V{});  // a bare formulation word: no ingredient
  EXPECT_EQ(IngredientItems("A・B・C・D・E・F水和剤").size(), 6u);
}

namespace {
std::string WriteFile(const QTemporaryDir& dir, const std::string& name, const std::string& bytes) {
  std::string path = dir.path().toStdString() + "/" + name;
  std::ofstream(path, std::ios::binary) << bytes;
  return path;
}
std::vector<std::string> AllLines(TTextFileReader& r) {
  std::vector<std::string> out;
  std::string line;
  while (r.ReadLine(line)) out.push_back(line);
  return out;
}
}  // namespace

TEST(TextFileReader, Cp932Utf8AndLineEnds) {
  QTemporaryDir dir;
  // ㍑ ㍍ ㌢ ㎡ ～ － in CP932, CR LF line ends, no line break at the end.
  std::string cp932 = "\x87\x67\x87\x62\x87\x61\x87\x75\x81\x60\x81\x7c\r\nabc\r\n\x82\xa0";
  TTextFileReader a(WriteFile(dir, "a.csv", cp932));
  EXPECT_EQ(AllLines(a), (std::vector<std::string>{"㍑㍍㌢㎡～－", "abc", "あ"}));
  EXPECT_EQ(a.Encoding(), TTextEncoding::Cp932);
  EXPECT_EQ(a.InvalidBytes(), 0u);
  EXPECT_EQ(a.Position(), a.FileSize());

  TTextFileReader b(WriteFile(dir, "b.csv", "\xEF\xBB\xBF" "ａ,b\nあ\n"));
  EXPECT_EQ(AllLines(b), (std::vector<std::string>{"ａ,b", "あ"}));
  EXPECT_EQ(b.Encoding(), TTextEncoding::Utf8);

  TTextFileReader c(WriteFile(dir, "c.csv", "稲,きゅうり\n"));  // UTF-8 without a mark
  EXPECT_EQ(AllLines(c), (std::vector<std::string>{"稲,きゅうり"}));
  EXPECT_EQ(c.Encoding(), TTextEncoding::Utf8);

  // A character cut off at the end of the file becomes U+FFFD; nothing else is lost.
  TTextFileReader d(WriteFile(dir, "d.csv", "ok\r\n\x82"));
  EXPECT_EQ(AllLines(d), (std::vector<std::string>{"ok", "\xEF\xBF\xBD"}));
  EXPECT_EQ(d.InvalidBytes(), 1u);

  EXPECT_THROW(TTextFileReader(dir.path().toStdString() + "/missing.csv"), EImportFileError);
  EXPECT_EQ(LineCount(dir.path().toStdString() + "/missing.csv"), -1);
  EXPECT_EQ(LineCount(dir.path().toStdString() + "/a.csv"), 3);
  EXPECT_EQ(LineCount(dir.path().toStdString() + "/b.csv"), 2);
}

TEST(TextFileReader, LongFileAcrossBlocks) {
  // Double-byte characters straddle the block boundaries; every line must come back whole and
  // the position must rise to the file size.
  QTemporaryDir dir;
  std::string bytes, want = "\xe3\x81\x82\xe3\x81\x84";  // あい
  const int lines = 70000;
  for (int i = 0; i < lines; ++i) bytes += "\x82\xa0\x82\xa2\r\n";
  TTextFileReader r(WriteFile(dir, "long.csv", bytes));
  std::string line;
  int n = 0;
  int64_t last = 0;
  bool monotonic = true;
  while (r.ReadLine(line)) {
    if (line != want) break;
    monotonic = monotonic && r.Position() >= last;
    last = r.Position();
    ++n;
  }
  EXPECT_EQ(n, lines);
  EXPECT_TRUE(monotonic);
  EXPECT_EQ(r.Position(), static_cast<int64_t>(bytes.size()));
  EXPECT_EQ(r.InvalidBytes(), 0u);
}

TEST(TextFileReader, EncodingDecidedAtTheFirstNonAsciiByte) {
  QTemporaryDir dir;
  std::string ascii(300 * 1024, 'a');
  for (size_t i = 100; i < ascii.size(); i += 101) ascii[i] = '\n';
  for (const auto& [name, tail, want, enc] :
       {std::tuple{"u.sql", std::string("\xe7\xa8\xb2\n"), std::string("稲"), TTextEncoding::Utf8},
        std::tuple{"s.sql", std::string("\x88\xee\r\n"), std::string("稲"), TTextEncoding::Cp932}}) {
    TTextFileReader r(WriteFile(dir, name, ascii + "\n" + tail));
    std::vector<std::string> lines = AllLines(r);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back(), want) << name;
    EXPECT_EQ(r.Encoding(), enc) << name;
  }
  TTextFileReader plain(WriteFile(dir, "p.sql", "select 1;\n"));
  EXPECT_EQ(AllLines(plain), (std::vector<std::string>{"select 1;"}));
}

// No invalid UTF-8 leaves the reader: a byte-order mark before CP932 text (a tool added it)
// reads as CP932; bytes invalid in a file that is UTF-8 (after its first block, or in a file
// the caller says is UTF-8) become U+FFFD each.
TEST(TextFileReader, ByteOrderMarkBeforeCp932AndInvalidUtf8) {
  QTemporaryDir dir;
  // 登録番号,商品名 / 12345,ｽﾐﾊﾞｯｻ乳剤 in CP932 after a UTF-8 mark.
  const std::string cp932 = "\xEF\xBB\xBF\x93\x6f\x98\x5e\x94\xd4\x8d\x86,\x8f\xa4\x95\x69\x96\xbc\r\n"
                            "12345,\xbd\xd0\xca\xde\xaf\xbb\x93\xfb\x8d\xdc\r\n";
  TTextFileReader a(WriteFile(dir, "bom_cp932.csv", cp932));
  EXPECT_EQ(AllLines(a), (std::vector<std::string>{"登録番号,商品名", "12345,ｽﾐﾊﾞｯｻ乳剤"}));
  EXPECT_EQ(a.Encoding(), TTextEncoding::Cp932);
  EXPECT_EQ(a.InvalidBytes(), 0u);

  // UTF-8 in the first block, stray bytes far after it: each one U+FFFD, the rest kept.
  std::string utf8 = "\xEF\xBB\xBF" "稲\n";
  while (utf8.size() < 300 * 1024) utf8 += "あいうえお,abc\n";
  utf8 += "x\x93\x6fy\xC0\xAFz\xED\xA0\x80\n";  // CP932 登, an overlong "/", a surrogate
  TTextFileReader b(WriteFile(dir, "late.csv", utf8));
  std::vector<std::string> lines = AllLines(b);
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.front(), "稲");
  const std::string r = "\xEF\xBF\xBD";
  EXPECT_EQ(lines.back(), "x" + r + "oy" + r + r + "z" + r + r + r);
  EXPECT_EQ(b.Encoding(), TTextEncoding::Utf8);
  EXPECT_EQ(b.InvalidBytes(), 6u);

  // The caller says UTF-8: invalid bytes become U+FFFD rather than CP932 text.
  TTextFileReader c(WriteFile(dir, "said.sql", "a\x93\x6f\n"), TTextEncoding::Utf8);
  EXPECT_EQ(AllLines(c), (std::vector<std::string>{"a" + r + "o"}));
  // Whatever the file, every line is valid UTF-8.
  for (const char* name : {"bom_cp932.csv", "late.csv", "said.sql"}) {
    TTextFileReader d(dir.path().toStdString() + "/" + name);
    std::string line;
    while (d.ReadLine(line)) ASSERT_TRUE(IsValidUtf8(line.data(), line.size())) << name;
  }
}

// The one decoder of outside bytes, piece by piece: characters cut between pieces come back
// whole, and only bytes invalid in the code page become U+FFFD.
TEST(TextDecoder, PiecesAndInvalidBytes) {
  const std::string r = "\xEF\xBF\xBD";
  auto decode = [](const std::string& codePage, const std::string& bytes, size_t piece, size_t* replaced = nullptr) {
    TTextDecoder d(codePage);
    EXPECT_TRUE(d.Available()) << codePage;
    std::string out;
    size_t n = 0;
    for (size_t at = 0; at < bytes.size(); at += piece)
      n += d.Append(bytes.data() + at, std::min(piece, bytes.size() - at), out, true);
    n += d.Finish(out);
    if (replaced) *replaced = n;
    return out;
  };
  const std::string text = "あ𠮷é,a";  // 3-, 4- and 2-byte characters
  for (size_t piece : {1, 2, 3, 5, 100}) EXPECT_EQ(decode("UTF-8", text, piece), text) << piece;
  const std::string sjis = "\x82\xa0\x88\xee,\xb1";  // あ稲,ｱ
  for (size_t piece : {1, 2, 3, 100}) EXPECT_EQ(decode("CP932", sjis, piece), "あ稲,ｱ") << piece;
  size_t n = 0;
  // A stray continuation byte, overlong forms, a surrogate, a code above U+10FFFF, bytes that
  // begin nothing, and a character cut off at the very end.
  EXPECT_EQ(decode("UTF-8", "a\x80" "b\xC1\xBF" "c\xE0\x80\xAF" "d\xED\xB0\x80" "e\xF4\x90\x80\x80" "f\xFF\xFE" "g\xE3\x81",
                   4, &n),
            "a" + r + "b" + r + r + "c" + r + r + r + "d" + r + r + r + "e" + r + r + r + r + "f" + r + r + "g" + r + r);
  EXPECT_EQ(n, 17u);
  EXPECT_EQ(decode("CP932", "a\x80" "b\xA0" "c\xFD" "d\x82", 100, &n), "a" + r + "b" + r + "c" + r + "d" + r);
  EXPECT_EQ(n, 4u);
  EXPECT_EQ(ValidUtf8("ok 稲"), "ok 稲");
  EXPECT_EQ(ValidUtf8("\x93\x6f"), r + "o");
}
