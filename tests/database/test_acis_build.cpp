// The database object and the whole build: info items, table tests, failures shown as the
// "SQL エラー" memo, the build from each CSV source into a temporary file, the derived product
// table and the views.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>

#include "database/acis_build.h"
#include "database/acis_schema.h"
#include "database/import_reader.h"
#include "database/import_rows.h"
#include "common/test_support.h"
#include "foundation/message_sink.h"
#include "support_acis_fixture.h"

namespace fs = std::filesystem;

namespace {
const std::string N = "<NULL>";

TAcisBuildRequest PublicRequest(TAcisFixture& fx) {
  TAcisBuildRequest req;
  req.DBDir = fx.DBDir;
  req.Settings = fx.Settings(true);
  req.Source = 0;
  req.KihonFile = DataPath("acis/kihon_public.csv");
  req.TekiyoFiles = {DataPath("acis/tekiyo_public.csv")};
  req.DataDate = "2026年12月1日反映";
  req.Log = [&fx](const std::string& s) { fx.LogLines.push_back(s); };
  return req;
}

std::string Bytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

std::vector<std::string> FilesIn(const std::string& dir) {
  std::vector<std::string> out;
  for (const auto& e : fs::directory_iterator(dir)) out.push_back(e.path().filename().string());
  std::sort(out.begin(), out.end());
  return out;
}
}  // namespace

TEST(AcisDB, InfoItemsTablesAndErrors) {
  TAcisFixture fx;
  TLogMessageSink sink;
  TScopedMessageSink scoped(&sink);
  auto db = fx.Open(false);
  EXPECT_EQ(db->FLastUpdate, "不明");  // no info table yet
  EXPECT_EQ(db->GetVersion(), 0);
  EXPECT_TRUE(fx.Logged("acis.db open"));
  EXPECT_TRUE(fx.Logged("spec.db Attach"));
  EXPECT_FALSE(fx.Logged("jpp.db Attach"));
  EXPECT_FALSE(db->TableExists("m_tekiyo"));

  db->CreateBuildTables();
  EXPECT_EQ(db->GetVersion(), TAcisDB::kVersion);
  // The value is bound: a text that names a column, or holds a quote, is stored as it is.
  for (const std::string v : {"Value", "2019年1月7日反映", "it's \"x\""}) {
    db->SetLastUpdate(v);
    EXPECT_EQ(Rows(*db->FDb, "SELECT Value FROM info WHERE Item = 'LastUpdate'")[0][0], v);
    db->ReadLastUpdate();
    EXPECT_EQ(db->FLastUpdate, v);
  }
  db->SetLastUpdate("");
  db->ReadLastUpdate();
  EXPECT_EQ(db->FLastUpdate, "更新日付不明");
  db->FDb->ExecSQL("UPDATE info SET Value = 'abc' WHERE Item = 'Version'");
  EXPECT_EQ(db->GetVersion(), 0);

  // Table tests never raise: a schema prefix asks that database, an unknown one is no table.
  EXPECT_TRUE(db->TableExists("kihon"));
  EXPECT_TRUE(db->TableExists("m_tekiyo"));
  EXPECT_FALSE(db->TableExists("spec.m_tekiyo"));
  EXPECT_FALSE(db->TableExists("spec.x"));
  EXPECT_FALSE(db->TableExists("nosuch.x"));
  EXPECT_FALSE(db->TableExists("x'); DROP TABLE m_tekiyo; --"));
  EXPECT_TRUE(db->TableExists("m_tekiyo"));

  // Query: rows, no rows (no message without ShowNoData), failure keeps the cursor.
  sink.Clear();
  EXPECT_TRUE(db->Query("SELECT Item FROM info ORDER BY Item", false));
  EXPECT_EQ(db->FTbl->Count(), 2);
  EXPECT_FALSE(db->Query("SELECT Item FROM info WHERE 0", false));
  EXPECT_EQ(db->FTbl->Count(), 0);
  EXPECT_EQ(sink.Count(), 0u);
  EXPECT_FALSE(db->Query("SELECT Item FROM info WHERE 0", true));
  ASSERT_EQ(sink.Count(), 1u);
  EXPECT_EQ(sink.Messages()[0].text, "検索条件に一致するデータはありません");
  EXPECT_TRUE(db->Query("SELECT Item FROM info ORDER BY Item", false));
  sink.Clear();
  EXPECT_FALSE(db->Query("SELECT nosuch FROM info", false));
  EXPECT_EQ(db->FTbl->Count(), 2);  // the earlier result stays
  ASSERT_EQ(sink.Count(), 1u);
  TMessage m = sink.Messages()[0];
  EXPECT_EQ(m.caption, "SQL エラー");
  EXPECT_EQ(m.title, "");
  EXPECT_EQ(m.text.rfind("ESQLiteException\n---------\n", 0), 0u) << m.text;
  EXPECT_NE(m.text.find("nosuch"), std::string::npos);

  sink.Clear();
  EXPECT_TRUE(db->ExecSQL("CREATE TABLE t1 (a); INSERT INTO t1 VALUES (1);"));
  EXPECT_FALSE(db->ExecSQL("INSERT INTO nosuch VALUES (1);"));
  EXPECT_EQ(sink.Count(), 1u);
}

TEST(AcisDB, AttachPathsWithQuotesAndJpp) {
  TAcisFixture fx;
  fx.DBDir += "/it's \"here\"";
  fs::create_directories(fx.DBDir);
  {
    TSQLiteDb jpp(fx.DBDir + "/jpp.db");
    jpp.ExecSQL("CREATE TABLE jpp_seizai (a);");
  }
  auto db = fx.Open(false);
  EXPECT_TRUE(fx.Logged("jpp.db Attach"));
  EXPECT_TRUE(db->TableExists("jpp.jpp_seizai"));
  db->FDb->ExecSQL("CREATE TABLE spec.x (a);");
  EXPECT_TRUE(fs::exists(fx.DBDir + "/spec.db"));
  EXPECT_TRUE(db->TableExists("spec.x"));
}

TEST(AcisBuild, PublicCsvBuildsEveryObject) {
  TAcisFixture fx;
  fx.CopyMasters();
  TAcisBuildResult res = BuildAcisDatabase(PublicRequest(fx));
  ASSERT_TRUE(res.Ok) << res.Error;
  EXPECT_EQ(res.Kihon.Stored, 8);
  EXPECT_EQ(res.Tekiyo.Stored, 5);
  // Only acis.db, spec.db (and no left-over temporary file) in the database folder.
  EXPECT_EQ(FilesIn(fx.DBDir), (std::vector<std::string>{".qm-swap.lock", "acis.db", "spec.db"}));

  auto db = fx.Open(true);
  EXPECT_EQ(db->GetVersion(), 190107);
  EXPECT_EQ(db->FLastUpdate, "2026年12月1日反映");
  for (const char* view : acis_schema::kViews)
    EXPECT_NO_THROW(db->FDb->GetTable(std::string("SELECT * FROM ") + view + " LIMIT 0")) << view;
  EXPECT_EQ(Rows(*db->FDb, "SELECT count(*) FROM tekiyo")[0][0], Rows(*db->FDb, "SELECT count(*) FROM m_tekiyo")[0][0]);
  EXPECT_FALSE(db->TableExists("kihon"));  // a TEMP table of the building connection
  EXPECT_EQ(Rows(*db->FDb, "SELECT count(*) FROM seibun")[0][0], "8");
  for (const char* idx : {"idxNoSeibun", "idxTsushoM", "idxNo", "idxTekiyoSakumotsu", "idxBangoM"})
    EXPECT_EQ(Rows(*db->FDb, std::string("SELECT count(*) FROM sqlite_master WHERE type='index' AND name='") + idx +
                                 "'")[0][0],
              "1")
        << idx;

  const char* q =
      "SELECT bango,tsusho,koka,seibun1,keito1,seibun2,keito2,seibun3,keito3,seibun4,keito4,seibun5,keito5 "
      "FROM m_kihon ORDER BY bango";
  auto k = Rows(*db->FDb, q);
  ASSERT_EQ(k.size(), 5u);
  EXPECT_EQ(k[0], (TRowText{"12345", "スミバッサ粉剤", "殺虫", "MEP", "有機リン系", "BPMC", "カーバメート系", N, N, N, N, N, N}));
  // The spreader: one empty ingredient and the effect 展着.
  EXPECT_EQ(k[1], (TRowText{"20001", "ニーズ", "展着", "", N, N, N, N, N, N, N, N, N}));
  // Three ingredients, effects 殺菌 (2) and 殺虫 (1): the effect of kokaid 3 once.
  EXPECT_EQ(k[3], (TRowText{"20003", "アグロスター水和剤", "殺虫殺菌", "アゾキシストロビン", "ストロビルリン系", "マンゼブ",
                            "ジチオカーバメート系", "MEP", "有機リン系", N, N, N, N}));
  // A bare formulation word names no ingredient: the product stays, without ingredients.
  EXPECT_EQ(k[4][0], "20004");
  EXPECT_EQ(k[4][3], N);
  EXPECT_TRUE(fx.Logged("20004"));

  // The search view joins crop and pest codes.
  auto t = Rows(*db->FDb, "SELECT idsaku, idbyochu, seibun1, koka FROM tekiyo WHERE bango = 12345 ORDER BY idsaku");
  ASSERT_EQ(t.size(), 2u);
  EXPECT_EQ(t[0], (TRowText{"0101000000000000", "1", "MEP", "殺虫"}));
  EXPECT_EQ(t[1], (TRowText{"0201010000000000", "2", "MEP", "殺虫"}));

  // Re-opening recomputes the effect text from the masters without changing it.
  auto again = Rows(*db->FDb, "SELECT bango, koka FROM m_kihon ORDER BY bango");
  db.reset();
  fx.LogLines.clear();
  db = fx.Open(true);
  EXPECT_TRUE(fx.Logged("m_kihon koka 更新"));
  EXPECT_FALSE(fx.Logged("spec.bunrui 更新"));  // the script did not change
  EXPECT_EQ(Rows(*db->FDb, "SELECT bango, koka FROM m_kihon ORDER BY bango"), again);
}

TEST(AcisBuild, MirrorCsvBuild) {
  TAcisFixture fx;
  fx.CopyMasters();
  TAcisBuildRequest req = PublicRequest(fx);
  req.Source = 2;
  req.KihonFile = DataPath("acis/kihon.csv");
  req.TekiyoFiles = {DataPath("acis/tekiyo.csv")};
  TAcisBuildResult res = BuildAcisDatabase(req);
  ASSERT_TRUE(res.Ok) << res.Error;
  EXPECT_EQ(res.Kihon.Rejected, 2);
  auto db = fx.Open(true);
  EXPECT_EQ(Rows(*db->FDb, "SELECT count(*) FROM tekiyo")[0][0], "3");
  EXPECT_EQ(Rows(*db->FDb, "SELECT seibun1, seibun2, koka FROM m_kihon WHERE bango = 12345")[0],
            (TRowText{"MEP", "BPMC", "殺虫"}));
}

TEST(AcisBuild, FailedBuildLeavesThePreviousDatabase) {
  TAcisFixture fx;
  fx.CopyMasters();
  ASSERT_TRUE(BuildAcisDatabase(PublicRequest(fx)).Ok);
  std::vector<TRowText> before;
  {
    auto db = fx.Open(true);
    before = Rows(*db->FDb, "SELECT * FROM m_tekiyo ORDER BY rowid");
  }
  struct Case {
    const char* what;
    std::function<void(TAcisBuildRequest&)> change;
  } cases[] = {
      {"second use file missing", [](TAcisBuildRequest& r) { r.TekiyoFiles.push_back("/nonexistent/tekiyo2.csv"); }},
      {"basics without rows", [](TAcisBuildRequest& r) { r.KihonFile = DataPath("acis/kihon_broken.csv"); }},
      {"crop master missing", [&fx](TAcisBuildRequest& r) {
         fs::remove(fx.SharedDir + "/sakumotsu.txt");
         fs::remove(fx.DownloadDir + "/sakumotsu.txt");
       }},
      {"aborted", [](TAcisBuildRequest& r) { r.Aborted = [] { return true; }; }},
  };
  for (auto& c : cases) {
    TAcisBuildRequest req = PublicRequest(fx);
    c.change(req);
    TAcisBuildResult res = BuildAcisDatabase(req);
    EXPECT_FALSE(res.Ok) << c.what;
    EXPECT_FALSE(res.Error.empty()) << c.what;
    EXPECT_EQ(FilesIn(fx.DBDir), (std::vector<std::string>{".qm-swap.lock", "acis.db", "spec.db"})) << c.what;
    auto db = fx.Open(true);
    EXPECT_EQ(db->GetVersion(), 190107) << c.what;
    EXPECT_EQ(Rows(*db->FDb, "SELECT * FROM m_tekiyo ORDER BY rowid"), before) << c.what;
    EXPECT_EQ(Rows(*db->FDb, "SELECT count(*) FROM tekiyo")[0][0], "5") << c.what;
  }
}

// The masters are refreshed in a copy of spec.db: a build that fails after a new master
// script ran leaves spec.db byte for byte and the local script copy as they were (so the next
// start still sees the script as new); the next build that succeeds brings both.
TEST(AcisBuild, FailedBuildLeavesSpecDbAndScriptCopies) {
  TAcisFixture fx;
  fx.CopyMasters();
  ASSERT_TRUE(BuildAcisDatabase(PublicRequest(fx)).Ok);
  const std::string spec = fx.DBDir + "/spec.db", local = fx.DownloadDir + "/spec.seizai.txt";
  const std::string specBefore = Bytes(spec), localBefore = Bytes(local);
  ASSERT_FALSE(specBefore.empty());
  {
    std::ofstream out(fx.SharedDir + "/spec.seizai.txt", std::ios::app);
    out << "\nCREATE TABLE spec.qm_marker AS SELECT 1 AS x;\n";
  }
  fs::last_write_time(fx.SharedDir + "/spec.seizai.txt", fs::file_time_type::clock::now() + std::chrono::hours(1));
  const std::string shared = Bytes(fx.SharedDir + "/spec.seizai.txt");

  TAcisBuildRequest failing = PublicRequest(fx);
  failing.TekiyoFiles.push_back("/nonexistent/tekiyo2.csv");
  TAcisBuildResult res = BuildAcisDatabase(failing);
  ASSERT_FALSE(res.Ok);
  EXPECT_TRUE(fx.Logged("spec.seizai 更新"));  // the new script did run, in the copy
  EXPECT_TRUE(Bytes(spec) == specBefore);
  EXPECT_TRUE(Bytes(local) == localBefore);
  EXPECT_EQ(FilesIn(fx.DBDir), (std::vector<std::string>{".qm-swap.lock", "acis.db", "spec.db"}));
  EXPECT_FALSE(fs::exists(local + ".new"));

  ASSERT_TRUE(BuildAcisDatabase(PublicRequest(fx)).Ok);
  EXPECT_TRUE(Bytes(local) == shared);
  TSQLiteDb check(spec);
  EXPECT_EQ(Rows(check, "SELECT x FROM qm_marker"), (std::vector<TRowText>{{"1"}}));
  // The build made the look-up indexes of the views, in both files.
  EXPECT_EQ(Rows(check, "SELECT count(*) FROM sqlite_master WHERE name = 'idxBunruiSeibun'")[0][0], "1");
  TSQLiteDb acis(fx.DBDir + "/acis.db");
  EXPECT_EQ(Rows(acis, "SELECT count(*) FROM sqlite_master WHERE name = 'idxSeibunIppanmei'")[0][0], "1");
}

// Opening the database and preparing a connection for the searches write nothing to the
// files: a reader beside a build never makes a journal.
TEST(AcisDB, OpeningWritesNothing) {
  TAcisFixture fx;
  fx.CopyMasters();
  ASSERT_TRUE(BuildAcisDatabase(PublicRequest(fx)).Ok);
  const std::string acisBefore = Bytes(fx.DBDir + "/acis.db"), specBefore = Bytes(fx.DBDir + "/spec.db");
  const auto mtime = fs::last_write_time(fx.DBDir + "/acis.db");
  for (bool shared : {true, false}) {
    auto db = fx.Open(shared);
    db->CreateSessionViews();
    db->Query("SELECT * FROM tvTekiyoRkSaku1", false);
  }
  EXPECT_TRUE(Bytes(fx.DBDir + "/acis.db") == acisBefore);
  EXPECT_TRUE(Bytes(fx.DBDir + "/spec.db") == specBefore);
  EXPECT_TRUE(fs::last_write_time(fx.DBDir + "/acis.db") == mtime);
}

TEST(AcisBuild, StepsSurviveBadProductsAndASecondRun) {
  TAcisFixture fx;
  fx.CopyMasters();
  auto db = fx.Open(true);
  for (int run = 0; run < 2; ++run) {  // the second run on the same file must work too
    db->CreateBuildTables();
    TSQLiteStmt ins = db->FDb->Prepare(
        "INSERT INTO kihon(bango,shurui,meisho,tsusho,ryakusho,kongo,yoto,zaikei,torokubi) VALUES (?,?,?,?,?,?,?,?,?)");
    // Two rows of one product that disagree: the first one wins, the conflict is logged.
    ins.Exec({1, "MEP乳剤", "名前1", "名前1", "", 1, "殺虫剤", "乳剤", "2019.01.01"});
    ins.Exec({1, "MEP乳剤", "名前2", "名前2", "", 1, "殺虫剤", "乳剤", "2019.01.01"});
    ins.Exec({2, "A・B・C・D・E・F水和剤", "六成分", "六成分", "", 6, "殺菌剤", "水和剤", "2019.01.01"});
    ins.Exec({3, "水和剤", "成分なし", "成分なし", "", 1, "殺菌剤", "水和剤", "2019.01.01"});
    ins.Exec({4, "O'Brien・MEP乳剤", "引用符", "引用符", "", 2, "殺虫剤", "乳剤", "2019.01.01"});
    db->FDb->ExecSQL("INSERT INTO m_tekiyo(bango, sakumotsu) VALUES (1, '稲');");
    fx.LogLines.clear();
    ASSERT_NO_THROW(db->FillTmKihon());
    EXPECT_TRUE(fx.Logged("登録番号 1:"));
    ASSERT_NO_THROW(db->BuildMKihon());
    EXPECT_TRUE(fx.Logged("登録番号 2:"));
    EXPECT_TRUE(fx.Logged("登録番号 3:"));
    auto k = Rows(*db->FDb, "SELECT bango, meisho, seibun1, seibun5 FROM m_kihon ORDER BY bango");
    ASSERT_EQ(k.size(), 4u);
    EXPECT_EQ(k[0], (TRowText{"1", "名前1", "MEP", N}));
    EXPECT_EQ(k[1], (TRowText{"2", "六成分", "A", "E"}));
    EXPECT_EQ(k[2], (TRowText{"3", "成分なし", N, N}));
    EXPECT_EQ(k[3], (TRowText{"4", "引用符", "O'Brien", N}));
    db->UpdateMSakumotsu();
    db->UpdateMByochu();
    ASSERT_NO_THROW(db->CreateSeibunTable());
    ASSERT_NO_THROW(db->CreateIndexes());
    ASSERT_NO_THROW(db->CreateTekiyoViews());
  }
}

TEST(AcisBuild, ProgressPositionsOfTheLastSteps) {
  TAcisFixture fx;
  fx.CopyMasters();
  TAcisBuildRequest req = PublicRequest(fx);
  std::vector<int64_t> positions;
  req.Progress = [&](int64_t pos, int64_t max) {
    if (max == 100) positions.push_back(pos);
  };
  int pumps = 0;
  req.Pump = [&] { ++pumps; };
  ASSERT_TRUE(BuildAcisDatabase(req).Ok);
  std::vector<int64_t> tail(positions.end() - 7, positions.end());
  EXPECT_EQ(tail, (std::vector<int64_t>{80, 82, 84, 86, 88, 90, 96}));
}

// The committed sample register, built from each of the three sources. The public CSV files
// and the mirror's files hold the same register: every use and product row must come out
// identical (the counted ingredient differs only as NULL against ''). The spreadsheet rows go
// through other converters (full-width digits and the blank in front of a trade name stay, ㌢
// becomes cm, a line break in a method stays) and store '' where the CSV files give NULL, so
// there only the columns that every importer treats alike must agree.
TEST(AcisBuild, SampleRegisterFromEverySource) {
  const std::string S = SourcePath("data/sample");
  if (!fs::exists(S + "/public")) GTEST_SKIP() << "no sample register in data/sample";
  struct Built {
    std::vector<TRowText> tekiyo, kihon, seibun, tekiyoKeys, kihonKeys, seibunKeys;
  };
  const char* kTekiyo = "SELECT * FROM m_tekiyo ORDER BY bango, sakumotsu, byochu, mokuteki, baisu, jiki, hoho, basho";
  const char* kKihon = "SELECT * FROM m_kihon ORDER BY bango";
  const char* kSeibun = "SELECT bango, ippanmei, nodo, ifnull(seibun, '') FROM seibun ORDER BY 1, 2, 3, 4";
  const char* kTekiyoKeys =
      "SELECT bango, ifnull(sakumotsu, ''), ifnull(byochu, ''), ifnull(jikan, ''), ifnull(ondo, ''), "
      "ifnull(dojo, ''), ifnull(chitai, '') FROM m_tekiyo ORDER BY 1, 2, 3, 4, 5, 6, 7";
  const char* kKihonKeys =
      "SELECT bango, shurui, meisho, ryakusho, kongo, yoto, torokubi, koka, seibun1, keito1, seibun2, keito2, "
      "seibun3, keito3, seibun4, keito4, seibun5, keito5 FROM m_kihon ORDER BY bango";
  const char* kSeibunKeys = "SELECT bango, ippanmei, ifnull(seibun, '') FROM seibun ORDER BY 1, 2, 3";
  std::vector<Built> built;
  for (int source : {0, 1, 2}) {
    TAcisFixture fx;
    TAcisBuildRequest req;
    req.DBDir = fx.DBDir;
    req.Settings = fx.Settings(true);
    req.Settings.dirLAN = S + "/masters";
    req.Source = source;
    std::vector<std::unique_ptr<TCsvFileRows>> sheets;
    if (source == 0) {
      for (const auto& e : fs::directory_iterator(S + "/public")) {
        std::string n = e.path().filename().string();
        if (n.ends_with(".csv") && n.starts_with("登録基本部")) req.KihonFile = e.path().string();
        if (n.ends_with(".csv") && n.starts_with("登録適用部")) req.TekiyoFiles.push_back(e.path().string());
      }
      std::sort(req.TekiyoFiles.begin(), req.TekiyoFiles.end());
    } else if (source == 1) {
      sheets.push_back(std::make_unique<TCsvFileRows>(S + "/grid/登録基本部.csv"));
      req.KihonRows = sheets.back().get();
      for (const char* part : {"一", "二", "三", "四"}) {
        std::string f = S + "/grid/登録適用部" + part + ".csv";
        if (!fs::exists(f)) continue;
        sheets.push_back(std::make_unique<TCsvFileRows>(f));
        req.TekiyoRows.push_back(sheets.back().get());
      }
    } else {
      req.KihonFile = S + "/mirror/kihon.csv";
      req.TekiyoFiles = {S + "/mirror/tekiyo.csv"};
    }
    TAcisBuildResult res = BuildAcisDatabase(req);
    ASSERT_TRUE(res.Ok) << "source " << source << ": " << res.Error;
    EXPECT_EQ(res.Kihon.Rejected, 0) << source;
    EXPECT_EQ(res.Tekiyo.Rejected, 0) << source;
    EXPECT_EQ(res.Kihon.DatesNull, 0) << source;
    auto db = fx.Open(false);
    for (const char* view : acis_schema::kViews)
      EXPECT_NO_THROW(db->FDb->GetTable(std::string("SELECT * FROM ") + view + " LIMIT 1")) << view;
    const std::string uses = Rows(*db->FDb, "SELECT count(*) FROM m_tekiyo")[0][0];
    EXPECT_EQ(Rows(*db->FDb, "SELECT count(*) FROM tekiyo")[0][0], uses) << source;
    EXPECT_EQ(Rows(*db->FDb, "SELECT count(*) FROM m_kihon WHERE koka IS NULL OR koka = ''")[0][0], "0") << source;
    // Every use names a product, and every product has a registration date.
    EXPECT_EQ(Rows(*db->FDb, "SELECT count(*) FROM tekiyo WHERE meisho IS NULL")[0][0], "0") << source;
    EXPECT_EQ(Rows(*db->FDb, "SELECT count(*) FROM m_kihon WHERE torokubi IS NULL")[0][0], "0") << source;
    built.push_back({Rows(*db->FDb, kTekiyo), Rows(*db->FDb, kKihon), Rows(*db->FDb, kSeibun),
                     Rows(*db->FDb, kTekiyoKeys), Rows(*db->FDb, kKihonKeys), Rows(*db->FDb, kSeibunKeys)});
  }
  const Built& pub = built[0];
  const Built& grid = built[1];
  const Built& mirror = built[2];
  ASSERT_GT(pub.tekiyo.size(), 1000u);
  ASSERT_GT(pub.kihon.size(), 100u);
  auto firstDiff = [](const std::vector<TRowText>& a, const std::vector<TRowText>& b) {
    for (size_t i = 0; i < std::min(a.size(), b.size()); ++i)
      if (a[i] != b[i]) {
        std::string s = "row " + std::to_string(i) + ":";
        for (size_t k = 0; k < a[i].size(); ++k)
          if (k >= b[i].size() || a[i][k] != b[i][k])
            s += " [" + std::to_string(k) + "] '" + a[i][k] + "' vs '" + (k < b[i].size() ? b[i][k] : "") + "'";
        return s;
      }
    return std::string("sizes ") + std::to_string(a.size()) + " vs " + std::to_string(b.size());
  };
  EXPECT_TRUE(pub.tekiyo == mirror.tekiyo) << "m_tekiyo public/mirror " << firstDiff(pub.tekiyo, mirror.tekiyo);
  EXPECT_TRUE(pub.kihon == mirror.kihon) << "m_kihon public/mirror " << firstDiff(pub.kihon, mirror.kihon);
  EXPECT_TRUE(pub.seibun == mirror.seibun) << "seibun public/mirror " << firstDiff(pub.seibun, mirror.seibun);
  EXPECT_TRUE(pub.tekiyoKeys == grid.tekiyoKeys) << "m_tekiyo public/grid " << firstDiff(pub.tekiyoKeys, grid.tekiyoKeys);
  EXPECT_TRUE(pub.kihonKeys == grid.kihonKeys) << "m_kihon public/grid " << firstDiff(pub.kihonKeys, grid.kihonKeys);
  EXPECT_TRUE(pub.seibunKeys == grid.seibunKeys) << "seibun public/grid " << firstDiff(pub.seibunKeys, grid.seibunKeys);
}

TEST(AcisDB, BusyCursorPairsUpAlsoOnFailure) {
  TAcisFixture fx;
  TLogMessageSink sink;
  TScopedMessageSink scoped(&sink);
  int depth = 0, calls = 0, worst = 0;
  SetAcisBusyHook([&](bool busy) {
    depth += busy ? 1 : -1;
    calls += busy ? 1 : 0;
    worst = std::min(worst, depth);
  });
  {
    auto db = fx.Open(false);
    db->ExecSQL("SELECT nosuch;");
    db->Query("SELECT nosuch;", false);
    db->Query("SELECT 1;", true);
  }
  SetAcisBusyHook(nullptr);
  EXPECT_EQ(depth, 0);
  EXPECT_EQ(worst, 0);
  EXPECT_GE(calls, 3);
}
