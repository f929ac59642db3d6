// The JPP-NET import: the sample files into jpp.db and the ingredient sheet view, files in
// CP932 and UTF-8 with characters that break hand-built SQL, and every way a file is refused
// (the old table, or the absence of jpp.db, survives each).
#include <gtest/gtest.h>
#include <iconv.h>

#include <filesystem>
#include <fstream>

#include "database/jpp_import.h"
#include "foundation/message_sink.h"
#include "sample_acis_db.h"
#include "support_acis_fixture.h"

namespace fs = std::filesystem;

namespace {

const std::string N = "<NULL>";

std::string ToCp932(const std::string& utf8) {
  iconv_t cd = iconv_open("CP932", "UTF-8");
  EXPECT_NE(cd, reinterpret_cast<iconv_t>(-1));
  std::string out(utf8.size() * 2 + 16, '\0');
  char* in = const_cast<char*>(utf8.data());
  size_t inLeft = utf8.size(), outLeft = out.size();
  char* o = out.data();
  EXPECT_NE(iconv(cd, &in, &inLeft, &o, &outLeft), static_cast<size_t>(-1)) << utf8;
  iconv_close(cd);
  out.resize(out.size() - outLeft);
  return out;
}

void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream f(path, std::ios::binary);
  f << bytes;
}

// A product line: registration number, mixed count, then fields 3.. as given (the rest "x").
std::string SeizaiLine(const std::string& bango, std::vector<std::string> quoted = {}) {
  quoted.resize(25, "x");
  std::string s = bango + ",1";
  for (const std::string& q : quoted) {
    std::string e;
    for (char c : q) e += c == '"' ? std::string("\"\"") : std::string(1, c);
    s += ",\"" + e + "\"";
  }
  return s;
}

std::string SeibunLine(const std::string& bango, const std::string& ippanmei, const std::string& kagakumei,
                       const std::string& keito = "ピレスロイド系") {
  return bango + ",1001,\"殺虫剤\",1,\"2.0%\",\"\",\"" + ippanmei + "\",\"殺虫成分\",\"" + kagakumei +
         "\",\"殺虫剤\",\"普通物\",\"\",\"\",\"\",\"001\",\"" + keito + "\",\"01\",\"殺虫剤\",\"I:3A\",\"ナトリウム\"";
}

std::string Lines(std::initializer_list<std::string> l) {
  std::string s;
  for (const auto& x : l) s += x + "\r\n";
  return s;
}

struct JppTest : ::testing::Test {
  void SetUp() override {
    db = fx.Open(false);
    scoped = std::make_unique<TScopedMessageSink>(&sink);
  }
  std::string File(const std::string& name, const std::string& bytes) {
    const std::string p = fx.Dir.path().toStdString() + "/" + name;
    WriteFile(p, bytes);
    return p;
  }
  std::string Messages() const {
    std::string s;
    for (const TMessage& m : sink.Messages()) s += m.text + "\n";
    return s;
  }
  std::vector<TRowText> Q(const std::string& sql) { return Rows(*db->FDb, sql); }

  TAcisFixture fx;
  std::unique_ptr<TAcisDB> db;
  TLogMessageSink sink{[](const std::string&) {}};
  std::unique_ptr<TScopedMessageSink> scoped;
};

}  // namespace

TEST(JppImport, SampleFilesFillTheTablesAndTheIngredientSheet) {
  OPEN_SAMPLE_DB(s);
  TLogMessageSink sink([](const std::string&) {});
  TScopedMessageSink scoped(&sink);
  db.CreateSessionViews();
  const fs::path jppDir = fs::path(sample_db::BuiltDir()).parent_path() / "sample" / "jpp";
  std::string seizai, seibun;
  for (const auto& e : fs::directory_iterator(jppDir)) {
    const std::string n = e.path().filename().string();
    if (n.find("_1.txt") != std::string::npos) seizai = e.path().string();
    if (n.find("_3.txt") != std::string::npos) seibun = e.path().string();
  }
  ASSERT_FALSE(seizai.empty());
  EXPECT_EQ(JppKindOfFile(seizai), TJppFileKind::Seizai);
  EXPECT_EQ(JppKindOfFile(seibun), TJppFileKind::Seibun);

  for (int run = 0; run < 2; ++run) {  // a second import replaces the first
    TImportResult a, b;
    ASSERT_TRUE(db.ImportJppSeizaiCsv(seizai, &a)) << (sink.Count() ? sink.Messages()[0].text : "");
    ASSERT_TRUE(db.ImportJppSeibunCsv(seibun, &b)) << (sink.Count() ? sink.Messages()[0].text : "");
    EXPECT_EQ(a.Stored, TAcisDB::LineCount(seizai) - 1);
    EXPECT_EQ(b.Stored, TAcisDB::LineCount(seibun) - 1);
    EXPECT_EQ(Rows(*db.FDb, "SELECT count(*) FROM jpp.jppSeizai")[0][0], std::to_string(a.Stored));
    EXPECT_EQ(Rows(*db.FDb, "SELECT count(*) FROM jpp.jppSeibun")[0][0], std::to_string(b.Stored));
  }
  EXPECT_EQ(sink.Count(), 0u);
  EXPECT_TRUE(fs::exists(s.DBDir + "/jpp.db"));
  // Mode-of-action codes hold commas inside their quotes and stay one field.
  EXPECT_EQ(Rows(*db.FDb, "SELECT count(*) FROM jpp.jppSeizai WHERE irac LIKE '%,%' OR frac LIKE '%,%'")[0][0] != "0",
            true);
  // The ingredient sheet of a product shows the JPP-NET columns at once, and after reopening.
  const std::string sheet =
      "SELECT s.bango, s.ippanmei, s.JPP系統名, s.kagakumei, s.nodochu FROM tvSeibun AS s JOIN jpp.jppSeibun AS j "
      "ON j.bango = s.bango AND j.ippanmei = s.ippanmei AND j.keito = s.JPP系統名 AND j.kagakumei = s.kagakumei "
      "ORDER BY s.bango, s.ippanmei";
  auto rows = Rows(*db.FDb, sheet);
  EXPECT_GT(rows.size(), 100u);
  EXPECT_EQ(Rows(*db.FDb, "SELECT count(*) FROM tvSeibun WHERE kagakumei IS NOT NULL")[0][0],
            Rows(*db.FDb, "SELECT count(*) FROM tvSeibun AS s WHERE EXISTS (SELECT 1 FROM jpp.jppSeibun AS j "
                          "WHERE j.bango = s.bango AND j.ippanmei = s.ippanmei)")[0][0]);
  s.Db.reset();
  TAcisDBSettings st;
  st.DBDir = s.DBDir;
  st.DownloadDir = s.DBDir;
  st.DBDownSite = 3;
  TAcisDB again(s.DBDir + "/acis.db", st);
  again.CreateSessionViews();
  EXPECT_EQ(Rows(*again.FDb, sheet), rows);
}

TEST_F(JppTest, HostileCharactersInCp932AndUtf8) {
  // Every field of a product line that hand-built SQL or a naive splitter gets wrong.
  const std::vector<std::string> hostile = {
      "乳剤",
      "O'Brien's \"Best\" 乳剤",      // quotes of both kinds
      "0001",                          // leading zeros stay text
      "株式会社, 本社",                // comma inside quotes
      "03-1234-5678; DROP TABLE jpp.jppSeizai; --",
      "01",
      "殺虫剤",
      "  淡黄色\t澄明液体  ",          // blanks and a tab kept
      "2001/01/01",
      "",                              // empty field
      "失効",
      "2025/03/31",
      "01",
      "乳剤",
      "普通物 (\\ 50%)",                // backslash and percent
      "2024/01/01",
      "01",
      "殺虫剤",
      "行1\n行2",                      // a line break inside quotes
      "ｶﾞﾝﾏ ＡＢＣ",                    // stored as it is (product fields are not converted)
      "使用できる",
      "魚類に影響,注意",
      "1A,4A",
      "",
      "",
  };
  const std::string header = JppSeizaiHeader() + ",余分な見出し";  // more text after the header
  const std::string text = Lines({header, "", SeizaiLine("10001", hostile), "   ", SeizaiLine("10002"),
                                  JppSeizaiHeader(), SeizaiLine(" 10003 ")});
  for (bool cp932 : {true, false}) {
    const std::string f = File(cp932 ? "s_cp932_1.txt" : "s_utf8_1.txt", cp932 ? ToCp932(text) : "\xEF\xBB\xBF" + text);
    TImportResult r;
    ASSERT_TRUE(db->ImportJppSeizaiCsv(f, &r)) << Messages();
    EXPECT_EQ(r.Stored, 3);
    auto rows = Q("SELECT * FROM jpp.jppSeizai ORDER BY bango");
    ASSERT_EQ(rows.size(), 3u);
    TRowText want = {"10001", "1"};
    want.insert(want.end(), hostile.begin(), hostile.end());
    EXPECT_EQ(rows[0], want) << (cp932 ? "CP932" : "UTF-8");
    EXPECT_EQ(rows[2][0], "10003");
    EXPECT_EQ(Q("SELECT typeof(bango), typeof(kongo) FROM jpp.jppSeizai LIMIT 1")[0], (TRowText{"integer", "integer"}));
  }

  // Ingredient lines: the converted columns, an apostrophe in the chemical name, and numbers
  // left empty.
  const std::string seibun = Lines({JppSeibunHeader(), SeibunLine("10001", "ＭＥＰ", "O,O-ジメチル=O-(3'-メチル)"),
                                    "10002,,\"ｾｲﾌﾞﾝ\",,\"1%\",\"（注）\",\"ｶﾞﾝﾏ\",\"ＢＨＣ\",\"x'y\",\"\",\"\",\"\",\"\","
                                    "\"\",\"\",\"O'Neil\",\"\",\"\",\"\",\"\""});
  for (bool cp932 : {true, false}) {
    const std::string f = File("i_3.txt", cp932 ? ToCp932(seibun) : seibun);
    ASSERT_TRUE(db->ImportJppSeibunCsv(f)) << Messages();
    auto rows = Q("SELECT bango, idseibun, shurui, idsub, nodochu, ippanmei, seibun, kagakumei, keito "
                  "FROM jpp.jppSeibun ORDER BY bango");
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0], (TRowText{"10001", "1001", "殺虫剤", "1", "", "MEP", "殺虫成分", "O,O-ジメチル=O-(3’-メチル)",
                                 "ピレスロイド系"}));
    EXPECT_EQ(rows[1], (TRowText{"10002", N, "セイブン", N, "(注)", "ガンマ", "BHC", "x’y", "O'Neil"}));
  }
  EXPECT_EQ(sink.Count(), 0u) << Messages();
  EXPECT_FALSE(db->FDb->InTransaction());
}

TEST_F(JppTest, RefusedFilesLeaveTheOldTable) {
  const std::string good = File("good_1.txt", ToCp932(Lines({JppSeizaiHeader(), SeizaiLine("1"), SeizaiLine("2")})));
  ASSERT_TRUE(db->ImportJppSeizaiCsv(good));
  const auto before = Q("SELECT * FROM jpp.jppSeizai ORDER BY bango");
  ASSERT_EQ(before.size(), 2u);

  struct Case {
    const char* what;
    std::string text;
    std::string message;  // a part of the message shown
  };
  const std::vector<Case> cases = {
      {"duplicate", Lines({JppSeizaiHeader(), SeizaiLine("5"), SeizaiLine("6"), SeizaiLine("5")}),
       "4 行目: 登録番号 5 が重複しています"},
      {"short line", Lines({JppSeizaiHeader(), SeizaiLine("5"), "", "6,1,\"a\",\"b\""}), "4 行目: 項目が 4 個しかありません"},
      {"no number", Lines({JppSeizaiHeader(), SeizaiLine("5"), SeizaiLine("5a")}), "3 行目: 登録番号 \"5a\""},
      {"no number", Lines({JppSeizaiHeader(), SeizaiLine("")}), "2 行目: 登録番号 \"\""},
      {"wrong header", Lines({"#登録番号,混合数", SeizaiLine("5")}), "剤の概要CSVファイルではありません"},
      {"ingredient file", Lines({JppSeibunHeader(), SeibunLine("5", "a", "b")}), "剤の概要CSVファイルではありません"},
      {"empty file", "", "剤の概要CSVファイルではありません"},
      {"unclosed quote", Lines({JppSeizaiHeader(), SeizaiLine("5"), "6,1,\"open", "7,1"}), "3 行目: 項目が 3 個"},
  };
  for (const Case& c : cases) {
    for (bool cp932 : {true, false}) {
      sink.Clear();
      const std::string f = File("bad_1.txt", cp932 ? ToCp932(c.text) : c.text);
      EXPECT_FALSE(db->ImportJppSeizaiCsv(f)) << c.what;
      EXPECT_NE(Messages().find(c.message), std::string::npos) << c.what << ": " << Messages();
      EXPECT_EQ(Q("SELECT * FROM jpp.jppSeizai ORDER BY bango"), before) << c.what;
      EXPECT_FALSE(db->FDb->InTransaction()) << c.what;
    }
  }
  // The same for the ingredient table.
  ASSERT_TRUE(db->ImportJppSeibunCsv(File("i_3.txt", Lines({JppSeibunHeader(), SeibunLine("1", "a", "b")}))));
  EXPECT_FALSE(db->ImportJppSeibunCsv(File("i_3.txt", Lines({JppSeibunHeader(), SeibunLine("2", "c", "d"), "2,1"}))));
  EXPECT_FALSE(db->ImportJppSeibunCsv(good));
  EXPECT_NE(Messages().find("JPP-NET 有効成分CSVファイルではありません"), std::string::npos);
  EXPECT_EQ(Q("SELECT bango, ippanmei FROM jpp.jppSeibun"), (std::vector<TRowText>{{"1", "a"}}));
  // A missing file: false without a message.
  sink.Clear();
  EXPECT_FALSE(db->ImportJppSeizaiCsv(fx.DBDir + "/none_1.txt"));
  EXPECT_EQ(sink.Count(), 0u);
}

TEST_F(JppTest, JppDbIsCreatedOnlyForAFileThatImports) {
  const std::string jpp = fx.DBDir + "/jpp.db";
  ASSERT_FALSE(fs::exists(jpp));
  // Wrong header: jpp.db is not touched.
  EXPECT_FALSE(db->ImportJppSeibunCsv(File("x_3.txt", Lines({JppSeizaiHeader()}))));
  EXPECT_FALSE(fs::exists(jpp));
  // A bad line: the new jpp.db goes again and is no longer attached.
  EXPECT_FALSE(db->ImportJppSeibunCsv(File("x_3.txt", Lines({JppSeibunHeader(), "1,2,3"}))));
  EXPECT_FALSE(fs::exists(jpp));
  EXPECT_FALSE(db->TableExists("jpp.jppSeibun"));
  EXPECT_TRUE(Q("SELECT name FROM pragma_database_list WHERE name = 'jpp'").empty());
  // A good file creates and attaches it; a header-only file gives an empty table.
  ASSERT_TRUE(db->ImportJppSeibunCsv(File("x_3.txt", Lines({JppSeibunHeader()}))));
  EXPECT_TRUE(fs::exists(jpp));
  EXPECT_TRUE(db->TableExists("jpp.jppSeibun"));
  EXPECT_TRUE(fx.Logged("jpp.db Attach"));
}

TEST(JppImport, RecordsThatRunOverLineBreaks) {
  EXPECT_FALSE(CsvRecordOpen("1,\"a\",b"));
  EXPECT_TRUE(CsvRecordOpen("1,\"a"));
  EXPECT_TRUE(CsvRecordOpen("1,\"a\"\",b"));   // a doubled quote does not close the field
  EXPECT_FALSE(CsvRecordOpen("1,\"a\"\"\",b"));
  EXPECT_FALSE(CsvRecordOpen("1,a\"b,c"));     // a quote inside an unquoted field is text
  EXPECT_TRUE(CsvRecordOpen("\""));
  EXPECT_FALSE(CsvRecordOpen("\"\""));
}

// A product or ingredient file with a byte-order mark before CP932 text stores the text, as
// the same file without the mark does: no raw CP932 bytes in jpp.db.
TEST_F(JppTest, ByteOrderMarkBeforeCp932StoresTheText) {
  const std::string seizai = Lines({JppSeizaiHeader(), SeizaiLine("10001", {"乳剤", "スミチオン乳剤", "001", "住友化学"}),
                                    SeizaiLine("10002", {"粉剤", "ｽﾐﾊﾞｯｻ粉剤"})});
  const std::string seibun = Lines({JppSeibunHeader(), SeibunLine("10001", "ＭＥＰ", "ジメチル")});
  for (bool mark : {false, true}) {
    const std::string bom = mark ? "\xEF\xBB\xBF" : "";
    TImportResult r;
    ASSERT_TRUE(db->ImportJppSeizaiCsv(File("m_1.txt", bom + ToCp932(seizai)), &r)) << Messages();
    EXPECT_EQ(r.Stored, 2);
    EXPECT_EQ(Q("SELECT shurui, shohinmei, idkaisha, kaisya FROM jpp.jppSeizai ORDER BY bango"),
              (std::vector<TRowText>{{"乳剤", "スミチオン乳剤", "001", "住友化学"}, {"粉剤", "ｽﾐﾊﾞｯｻ粉剤", "x", "x"}}))
        << (mark ? "with the mark" : "without");
    ASSERT_TRUE(db->ImportJppSeibunCsv(File("m_3.txt", bom + ToCp932(seibun)))) << Messages();
    EXPECT_EQ(Q("SELECT ippanmei, kagakumei, keito FROM jpp.jppSeibun"),
              (std::vector<TRowText>{{"MEP", "ジメチル", "ピレスロイド系"}}));
  }
  EXPECT_EQ(sink.Count(), 0u) << Messages();
}
