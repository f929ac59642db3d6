// Each importer on a small CP932 fixture (tests/database/data/acis), checking the rows stored.
#include <gtest/gtest.h>

#include <fstream>

#include "database/acis_db.h"
#include "database/import_reader.h"
#include "database/import_rows.h"
#include "support_acis_fixture.h"

namespace {
const std::string N = "<NULL>";

const char kKihonSql[] =
    "SELECT bango,shurui,meisho,tsusho,ryakusho,ippanmei,seibun,nodo,kongo,yoto,zaikei,torokubi FROM kihon "
    "ORDER BY rowid";
const char kTekiyoSql[] =
    "SELECT bango,sakumotsu,basho,byochu,mokuteki,baisu,ekiryo,jiki,kaisu,hoho,jikan,ondo,dojo,chitai,tekiyaku,"
    "kaisu1,kaisu2,kaisu3,kaisu4,kaisu5 FROM m_tekiyo ORDER BY rowid";

class ImportTest : public ::testing::Test {
 protected:
  void SetUp() override {
    db = fx.Open(false);
    db->CreateBuildTables();
  }
  TAcisFixture fx;
  std::unique_ptr<TAcisDB> db;
};
}  // namespace

TEST_F(ImportTest, PublicKihonCsv) {
  TImportResult r = db->ImportAcisKihonCsv(DataPath("acis/kihon_public.csv"));
  EXPECT_EQ(r.Rows, 9);
  EXPECT_EQ(r.Stored, 8);
  EXPECT_EQ(r.Rejected, 1);
  EXPECT_EQ(r.DatesNull, 1);
  auto rows = Rows(*db->FDb, kKihonSql);
  ASSERT_EQ(rows.size(), 8u);
  EXPECT_EQ(rows[0], (TRowText{"12345", "MEP・BPMC粉剤", "住友スミバッサ粉剤", "スミバッサ粉剤", "住友化学", "MEP", "MEP",
                               "2.0%", "2", "殺虫剤", "粉剤", "2019.01.07"}));
  // Blanks and underscores come back as blanks; an empty ingredient is NULL; the maker's mark
  // with a blank after it goes from the trade name.
  EXPECT_EQ(rows[2], (TRowText{"20001", "展着剤", "クミアイ ニーズ", "ニーズ", "日本 農薬", "ポリオキシエチレン", N,
                               "10.0%", "1", "展着剤", "液剤", "2020.03.05"}));
  // A quote in the name is stored as it is; an impossible date is NULL; half-width kana of
  // the type name become full-width.
  EXPECT_EQ(rows[3], (TRowText{"20002", "マンゼブ水和剤", "ダイアジノン'S水和剤", "ダイアジノン'S水和剤", "北興化学", "マンゼブ",
                               "マンゼブ", "ｱｲｿ 75.0%", "1", "殺菌剤", "水和剤", N}));
  EXPECT_EQ(rows[4][3], "アグロスター水和剤");
  EXPECT_EQ(rows[4][4], "ABC");
  EXPECT_EQ(rows[7], (TRowText{"20004", "水和剤", "成分のない水和剤", "成分のない水和剤", "", "", N, "", "1", "殺菌剤",
                               "水和剤", "2017.06.15"}));
  EXPECT_TRUE(fx.Logged("9 行目"));        // the rejected row names its line
  EXPECT_TRUE(fx.Logged("2019/02/30"));   // and the date that could not be read
  EXPECT_FALSE(db->FDb->InTransaction());
}

TEST_F(ImportTest, PublicTekiyoCsvWithAndWithoutAccessNo) {
  TImportResult a = db->ImportAcisTekiyoCsv(DataPath("acis/tekiyo_public.csv"));
  auto plain = Rows(*db->FDb, kTekiyoSql);
  db->FDb->ExecSQL("DELETE FROM m_tekiyo;");
  TImportResult b = db->ImportAcisTekiyoCsv(DataPath("acis/tekiyo_public_accessno.csv"));
  auto withAcc = Rows(*db->FDb, kTekiyoSql);
  EXPECT_EQ(a.Stored, 5);
  EXPECT_EQ(b.Stored, 5);
  EXPECT_EQ(plain, withAcc);
  ASSERT_EQ(plain.size(), 5u);
  EXPECT_EQ(plain[0], (TRowText{"12345", "稲", N, "ニカメイチュウ", N, "3～4kg/10a", N, "収穫21日前まで", "2回以内", "散布", N,
                                N, N, N, N, "2回以内", "2回以内", N, N, N}));
  // ㍑ becomes L; a blank in a quoted field stays.
  EXPECT_EQ(plain[1][6], "100～300L/10a");
  EXPECT_EQ(plain[1][9], "散布 (株元)");
  // ｍ and ｇ become m and g; － becomes -; the quoted line break joins the two lines.
  EXPECT_EQ(plain[2][6], "5m当り2g");
  EXPECT_EQ(plain[2][8], "-");
  EXPECT_EQ(plain[2][9], "散布(茎葉)");
  EXPECT_EQ(plain[3][6], "200～700m");  // ㍍
  EXPECT_EQ(plain[3][15], "2回以内");
  EXPECT_EQ(plain[3][16], "4回以内");
  // A row of 20 fields: kaisu1 to kaisu5 are NULL; an underscore is a blank.
  EXPECT_EQ(plain[4], (TRowText{"20003", "なし", N, "黒星病", N, "1500倍", N, N, "1回", "散布", N, N, N, N, "散布 用", N, N,
                                N, N, N}));
}

TEST_F(ImportTest, MirrorCsv) {
  TImportResult k = db->ImportKihonCsv(DataPath("acis/kihon.csv"));
  EXPECT_EQ(k.Stored, 4);
  EXPECT_EQ(k.Rejected, 2);  // the bad number and the short row: only they are lost
  auto rows = Rows(*db->FDb, kKihonSql);
  ASSERT_EQ(rows.size(), 4u);
  EXPECT_EQ(rows[2], (TRowText{"20001", "展着剤", "クミアイ ニーズ", "ニーズ", "日本 農薬", "ポリオキシエチレン", N, "10.0%",
                               "1", "展着剤", "液剤", "2020.03.05"}));
  // NULL gives NULL, '' gives the empty text; the doubled quote is one quote.
  EXPECT_EQ(rows[3], (TRowText{"20002", "マンゼブ水和剤", "ダイアジノン'S水和剤", "ダイアジノン'S水和剤", "北興化学", "マンゼブ",
                               "", "75.0%", "1", "殺菌剤", "水和剤", N}));

  TImportResult t = db->ImportTekiyoCsv(DataPath("acis/tekiyo.csv"));
  EXPECT_EQ(t.Stored, 3);
  auto tk = Rows(*db->FDb, kTekiyoSql);
  ASSERT_EQ(tk.size(), 3u);
  EXPECT_EQ(tk[0], (TRowText{"12345", "稲", "", "ニカメイチュウ", "", "3～4kg/10a", N, "収穫21日前まで", "2回以内", "散布", N, N,
                             N, N, "", "2回以内", "2回以内", N, N, N}));
  EXPECT_EQ(tk[1][9], "1㎡当り 散布");  // m2 of the method column
  EXPECT_EQ(tk[2][6], "1㎡当り2m");      // 平方メートル and メートル
  EXPECT_EQ(tk[2][15], N);               // the text NULL, quoted or not
  EXPECT_EQ(tk[2][16], "");
}

TEST_F(ImportTest, GridRows) {
  TStringGridRows kihon({
      {"登録番号", "農薬の種類", "農薬の名称"},
      {"12345", "ＭＥＰ・ＢＰＭＣ粉剤", "住友スミバッサ粉剤", "住友化学", "ＭＥＰ", "ＭＥＰ", "ｱｲｿ2.0%", "2", "殺虫剤", "ﾌﾛｱﾌﾞﾙ",
       "43472"},
      {"12346.0", "EC乳剤", "キングダム乳剤", "A", "B", "", "", "1", "殺虫剤", "EC", "43473.5"},
      {"", "", ""},
      {"abc", "乳剤"},
  });
  TImportResult k = db->ImportKihonGrid(kihon);
  EXPECT_EQ(k.Stored, 2);
  EXPECT_EQ(k.Rejected, 1);
  EXPECT_EQ(k.DatesNull, 1);
  auto rows = Rows(*db->FDb, kKihonSql);
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0], (TRowText{"12345", "MEP・BPMC粉剤", "住友スミバッサ粉剤", "スミバッサ粉剤", "住友化学", "MEP", "MEP",
                               "アイソ2.0%", "2", "殺虫剤", "フロアブル", "2019.01.07"}));
  EXPECT_EQ(rows[1], (TRowText{"12346", "EC乳剤", "キングダム乳剤", "キングダム乳剤", "A", "B", "", "", "1", "殺虫剤", "ＥＣ", N}));

  std::vector<std::string> head(25, "h");
  std::vector<std::string> use = {"12345", "", "", "", "", "ｷｭｳﾘ", "ｼｾﾂ", "ｱﾌﾞﾗﾑｼ類", "散布", "1000倍", "100～300㍑", "収穫前日まで",
                                  "3回", "散布 5㌢", "2時間", "15℃", "砂土", "北海道", "ｽﾐﾁｵﾝ", "x", "3回", "", "", "", ""};
  std::vector<std::string> shortRow = {"12345", "", "", "", "", "稲", "", "ニカメイチュウ", "", "500倍", "100㍍"};
  TStringGridRows tekiyo({head, use, shortRow});
  TImportResult t = db->ImportTekiyoGrid(tekiyo);
  EXPECT_EQ(t.Stored, 2);
  auto tk = Rows(*db->FDb, kTekiyoSql);
  ASSERT_EQ(tk.size(), 2u);
  EXPECT_EQ(tk[0], (TRowText{"12345", "キュウリ", "シセツ", "アブラムシ類", "散布", "1000倍", "100～300L", "収穫前日まで", "3回",
                             "散布 5cm", "2時間", "15℃", "砂土", "北海道", "スミチオン", "3回", "", "", "", ""}));
  EXPECT_EQ(tk[1][6], "100m");
  EXPECT_EQ(tk[1][19], "");  // missing cells of a short row are empty
}

TEST_F(ImportTest, UnreadableFileStoresNothing) {
  EXPECT_THROW(db->ImportAcisKihonCsv(fx.DBDir + "/missing.csv"), EImportFileError);
  EXPECT_FALSE(db->FDb->InTransaction());
  // A file that breaks off inside a character still imports what it has (nothing here).
  TImportResult r = db->ImportAcisKihonCsv(DataPath("acis/kihon_broken.csv"));
  EXPECT_EQ(r.Stored, 0);
  EXPECT_EQ(Rows(*db->FDb, "SELECT count(*) FROM kihon")[0][0], "0");
}

TEST_F(ImportTest, ProgressMovesForSmallFilesAndEndsAtTheSize) {
  std::vector<std::pair<int64_t, int64_t>> moves;
  db->FProgressBar = [&](int64_t pos, int64_t max) { moves.emplace_back(pos, max); };
  db->ImportAcisTekiyoCsv(DataPath("acis/tekiyo_public.csv"));
  ASSERT_GE(moves.size(), 5u);  // a file of a few lines moves the bar at (nearly) every line
  EXPECT_EQ(moves.back().first, moves.back().second);
  for (size_t i = 1; i < moves.size(); ++i) EXPECT_GE(moves[i].first, moves[i - 1].first);
}

// A registration date with a time part: the blank before the time is turned into "_" by the
// blank pass of the CSV importers and must not make the date unreadable.
TEST_F(ImportTest, DatesWithATimePart) {
  const std::string dir = fx.DBDir;
  struct Case {
    const char* what;
    std::string file, text;
    bool mirror;
  } cases[] = {
      {"public", dir + "/k_public.csv",
       "h\r\n12345,\"MEP乳剤\",\"スミチオン乳剤\",\"住友化学\",\"MEP\",\"MEP\",\"50.0%\",1,\"殺虫剤\",\"乳剤\","
       "\"2019/01/07 0:00:00\"\r\n",
       false},
      {"mirror", dir + "/k_mirror.csv",
       "h\r\n12345,'MEP乳剤','スミチオン乳剤','住友化学','MEP','MEP','50.0%',1,'殺虫剤','乳剤','2019/1/7 00:00'\r\n", true},
  };
  for (const auto& c : cases) {
    std::ofstream(c.file, std::ios::binary) << c.text;
    db->FDb->ExecSQL("DELETE FROM kihon;");
    TImportResult r = c.mirror ? db->ImportKihonCsv(c.file) : db->ImportAcisKihonCsv(c.file);
    EXPECT_EQ(r.Stored, 1) << c.what;
    EXPECT_EQ(r.DatesNull, 0) << c.what;
    EXPECT_EQ(Rows(*db->FDb, "SELECT torokubi FROM kihon")[0][0], "2019.01.07") << c.what;
  }
}

// The published CSV files with a byte-order mark before CP932 text (as a tool that "saves as
// UTF-8" without converting leaves them) store the same text as without the mark: no raw
// CP932 bytes reach kihon or m_tekiyo.
TEST_F(ImportTest, ByteOrderMarkBeforeCp932StoresTheText) {
  auto withMark = [&](const std::string& fixture) {
    std::ifstream in(DataPath(fixture), std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::string path = fx.DBDir + "/bom_" + std::to_string(bytes.size()) + ".csv";
    std::ofstream(path, std::ios::binary) << "\xEF\xBB\xBF" << bytes;
    return path;
  };
  db->ImportAcisKihonCsv(DataPath("acis/kihon_public.csv"));
  db->ImportAcisTekiyoCsv(DataPath("acis/tekiyo_public.csv"));
  const auto kihon = Rows(*db->FDb, kKihonSql), tekiyo = Rows(*db->FDb, kTekiyoSql);
  ASSERT_FALSE(kihon.empty());
  ASSERT_FALSE(tekiyo.empty());
  db->FDb->ExecSQL("DELETE FROM kihon; DELETE FROM m_tekiyo;");
  TImportResult k = db->ImportAcisKihonCsv(withMark("acis/kihon_public.csv"));
  TImportResult t = db->ImportAcisTekiyoCsv(withMark("acis/tekiyo_public.csv"));
  EXPECT_EQ(k.Stored, 8);
  EXPECT_EQ(Rows(*db->FDb, kKihonSql), kihon);
  EXPECT_EQ(Rows(*db->FDb, kTekiyoSql), tekiyo);
  // Every text stored is valid UTF-8.
  for (const auto& rows : {Rows(*db->FDb, kKihonSql), Rows(*db->FDb, kTekiyoSql)})
    for (const auto& row : rows)
      for (const auto& v : row) EXPECT_TRUE(IsValidUtf8(v.data(), v.size())) << v;
}
