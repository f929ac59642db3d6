// The master-table refresh: mirror downloads through a fake downloader, the shared folder,
// scripts that fail, error pages, and the members with extra work (frac, dokusei, koka).
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <fstream>
#include <map>

#include "database/acis_db.h"
#include "database/file_copy.h"
#include "database/master_refresh.h"
#include "database/sqlite_db.h"
#include "foundation/message_sink.h"
#include "support_acis_fixture.h"

namespace fs = std::filesystem;

namespace {

std::string ReadAll(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(f), {});
}
void WriteAll(const std::string& path, const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }

// Serves files from memory with a modification time; answers 304 when the local copy is at
// least as new (the conditional request).
class TFakeDownloader : public TMasterDownloader {
 public:
  struct File {
    std::string Body;
    fs::file_time_type Time;
    int Status = 200;
  };
  bool Connected = true;
  bool IgnoreCondition = false;        // a server that answers 200 to every request
  std::map<std::string, File> Files;  // by file name
  std::vector<std::string> Requests;

  void Put(const std::string& name, const std::string& body, int ageSeconds = 0, int status = 200) {
    Files[name] = {body, fs::file_time_type::clock::now() - std::chrono::seconds(ageSeconds), status};
  }
  bool IsInternetConnected() override { return Connected; }
  std::string MirrorSiteUrl(int Index) override { return "http://127.0.0.1:9/m" + std::to_string(Index) + "/data/"; }
  TResult Download(const std::string& Url, const std::string& LocalFile, const std::string& TempFile) override {
    Requests.push_back(Url);
    std::string name = Url.substr(Url.rfind('/') + 1);
    auto it = Files.find(name);
    if (it == Files.end()) return {false, 404, "Not Found"};
    std::error_code ec;
    if (it->second.Status == 200 && !IgnoreCondition && fs::exists(LocalFile, ec) &&
        fs::last_write_time(LocalFile) >= it->second.Time)
      return {false, 304, "Not Modified"};
    WriteAll(TempFile, it->second.Body);
    fs::last_write_time(TempFile, it->second.Time);
    return {it->second.Status == 200, it->second.Status, it->second.Status == 200 ? "OK" : "Error"};
  }
};

const char kSeizaiV1[] =
    "DROP TABLE IF EXISTS spec.seizai;\r\nCREATE TABLE spec.seizai (bango INTEGER, name VARCHAR);\r\n"
    "INSERT INTO spec.seizai VALUES (1,'\x82\xa0');\r\n";  // あ in CP932
const char kSeizaiV2Broken[] =
    "DELETE FROM spec.seizai;\r\nINSERT INTO spec.seizai VALUES (2,'new');\r\nINSERT INTO nosuch VALUES (1);\r\n";

class RefreshTest : public ::testing::Test {
 protected:
  TAcisFixture fx;
  TFakeDownloader fake;
  TLogMessageSink sink;
  TScopedMessageSink scoped{&sink};

  std::unique_ptr<TAcisDB> OpenMirror() {
    TAcisDBSettings s = fx.Settings(false);
    s.Downloader = &fake;
    s.DownSiteVeskDB = 1;
    auto* lines = &fx.LogLines;
    return std::make_unique<TAcisDB>(fx.DBDir + "/acis.db", s, [lines](const std::string& l) { lines->push_back(l); });
  }
  std::vector<std::string> LogAfter(const std::string& marker) {
    std::vector<std::string> out;
    bool on = false;
    for (const auto& l : fx.LogLines) {
      if (on) out.push_back(l);
      if (l.find(marker) != std::string::npos) on = true;
    }
    return out;
  }
};

}  // namespace

TEST_F(RefreshTest, MirrorDownloadRunsOnceAndKeepsTheCopy) {
  fake.Put("spec.seizai.txt", kSeizaiV1, 100);
  auto db = OpenMirror();
  EXPECT_TRUE(fx.Logged("http://127.0.0.1:9/m1/data/spec.seizai.txt"));
  EXPECT_TRUE(fx.Logged("spec.seizai 更新"));
  EXPECT_EQ(Rows(*db->FDb, "SELECT bango, name FROM spec.seizai")[0], (TRowText{"1", "あ"}));
  EXPECT_EQ(ReadAll(fx.DownloadDir + "/spec.seizai.txt"), kSeizaiV1);
  EXPECT_FALSE(fs::exists(fx.DownloadDir + "/spec.seizai.txt.new"));
  // Scripts the mirror does not have: the table stays missing, nothing is shown.
  EXPECT_FALSE(db->TableExists("bunrui"));
  EXPECT_EQ(sink.Count(), 0u);

  // Unchanged (304) with the table present: nothing runs and nothing follows the status line.
  fx.LogLines.clear();
  EXPECT_FALSE(db->UpdateSeizai());
  EXPECT_EQ(LogAfter("spec.seizai.txt"), (std::vector<std::string>{"304 Not Modified"}));

  // The table dropped by hand: the local copy runs again.
  db->FDb->ExecSQL("DROP TABLE spec.seizai;");
  EXPECT_TRUE(db->UpdateSeizai());
  EXPECT_TRUE(db->TableExists("spec.seizai"));
}

// A script that fails is rolled back and shown once; that copy (told by its time and size) is
// then neither run nor shown again, each start only logs it, until a different copy arrives.
TEST_F(RefreshTest, FailingScriptRollsBackAndWaitsForADifferentCopy) {
  fake.Put("spec.seizai.txt", kSeizaiV1, 100);
  auto db = OpenMirror();
  ASSERT_TRUE(db->TableExists("spec.seizai"));
  fake.Put("spec.seizai.txt", kSeizaiV2Broken, 10);  // newer, fails in its third statement
  sink.Clear();
  EXPECT_FALSE(db->UpdateSeizai());
  ASSERT_EQ(sink.Count(), 1u);
  EXPECT_EQ(sink.Messages()[0].caption, "SQL エラー");
  EXPECT_EQ(sink.Messages()[0].title, fx.DownloadDir + "/spec.seizai.txt SQL実行");
  // Nothing of the failed script stays; the good local copy stays; the new one is gone.
  EXPECT_EQ(Rows(*db->FDb, "SELECT bango FROM spec.seizai"), (std::vector<TRowText>{{"1"}}));
  EXPECT_EQ(ReadAll(fx.DownloadDir + "/spec.seizai.txt"), kSeizaiV1);
  EXPECT_FALSE(fs::exists(fx.DownloadDir + "/spec.seizai.txt.new"));
  EXPECT_FALSE(db->FDb->InTransaction());

  // The next starts: asked conditionally on the failed copy (304), or served the same copy
  // again by a server that ignores the condition; neither runs nor shows anything, both log.
  for (bool ignore : {false, true}) {
    fake.IgnoreCondition = ignore;
    fx.LogLines.clear();
    auto again = OpenMirror();
    EXPECT_EQ(sink.Count(), 1u) << ignore;
    EXPECT_TRUE(fx.Logged("spec.seizai.txt: 実行に失敗したコピー (")) << ignore;
    EXPECT_FALSE(fx.Logged("spec.seizai 更新")) << ignore;
    EXPECT_EQ(Rows(*again->FDb, "SELECT bango FROM spec.seizai"), (std::vector<TRowText>{{"1"}}));
  }
  EXPECT_TRUE(fx.Logged("200 OK"));  // the last start was served the whole copy again

  // A different copy arrives: it runs, and the failure is forgotten.
  fake.IgnoreCondition = false;
  fake.Put("spec.seizai.txt", "DELETE FROM spec.seizai;\r\nINSERT INTO spec.seizai VALUES (3,'ok');\r\n", 0);
  EXPECT_TRUE(db->UpdateSeizai());
  EXPECT_EQ(Rows(*db->FDb, "SELECT bango FROM spec.seizai"), (std::vector<TRowText>{{"3"}}));
  EXPECT_FALSE(fs::exists(fx.DownloadDir + "/spec.seizai.txt.failed"));
  fx.LogLines.clear();
  db->UpdateSeizai();
  EXPECT_FALSE(fx.Logged("実行に失敗したコピー"));
  EXPECT_EQ(sink.Count(), 1u);
}

// The same from the shared folder, and for a local copy that fails while its table is missing.
TEST_F(RefreshTest, FailedSharedAndLocalCopiesAreNotRetried) {
  fx.CopyMasters();
  auto db = fx.Open(true);
  WriteAll(fx.SharedDir + "/spec.seizai.txt", kSeizaiV2Broken);
  fs::last_write_time(fx.SharedDir + "/spec.seizai.txt",
                      fs::last_write_time(fx.DownloadDir + "/spec.seizai.txt") + std::chrono::hours(1));
  sink.Clear();
  EXPECT_FALSE(db->UpdateSeizai());
  EXPECT_EQ(sink.Count(), 1u);
  fx.LogLines.clear();
  EXPECT_FALSE(db->UpdateSeizai());
  EXPECT_EQ(sink.Count(), 1u);
  EXPECT_TRUE(fx.Logged("spec.seizai.txt: 実行に失敗したコピー ("));
  // A good shared copy with yet another time runs.
  WriteAll(fx.SharedDir + "/spec.seizai.txt", "DELETE FROM spec.seizai;");
  fs::last_write_time(fx.SharedDir + "/spec.seizai.txt",
                      fs::last_write_time(fx.DownloadDir + "/spec.seizai.txt") + std::chrono::hours(2));
  EXPECT_TRUE(db->UpdateSeizai());

  // The local copy is all there is, its table is missing, and it fails: shown once.
  fs::remove(fx.SharedDir + "/spec.ryutsu.txt");
  WriteAll(fx.DownloadDir + "/spec.ryutsu.txt", "CREATE TABLE spec.ryutsu(x); INSERT INTO nosuch VALUES(1);");
  sink.Clear();
  EXPECT_FALSE(db->UpdateRyutsu());
  EXPECT_EQ(sink.Count(), 1u);
  EXPECT_FALSE(db->TableExists("ryutsu"));
  fx.LogLines.clear();
  EXPECT_FALSE(db->UpdateRyutsu());
  EXPECT_EQ(sink.Count(), 1u);
  EXPECT_TRUE(fx.Logged("spec.ryutsu.txt: 実行に失敗したコピー ("));
  // Mended by hand (another time or size): it runs.
  WriteAll(fx.DownloadDir + "/spec.ryutsu.txt", "CREATE TABLE spec.ryutsu(x);");
  EXPECT_TRUE(db->UpdateRyutsu());
  EXPECT_TRUE(db->TableExists("ryutsu"));
}

TEST_F(RefreshTest, ErrorPagesAndNoConnectionNeverReplaceACopy) {
  fake.Put("spec.seizai.txt", kSeizaiV1, 100);
  auto db = OpenMirror();
  struct Case {
    const char* what;
    std::string body;
    int status;
  } cases[] = {
      {"html page", "<!DOCTYPE html><html><body>maintenance</body></html>", 200},
      {"empty", "", 200},
      {"server error", "oops", 500},
  };
  for (const auto& c : cases) {
    fake.Put("spec.seizai.txt", c.body, 0, c.status);
    EXPECT_FALSE(db->UpdateSeizai()) << c.what;
    EXPECT_EQ(ReadAll(fx.DownloadDir + "/spec.seizai.txt"), kSeizaiV1) << c.what;
    EXPECT_EQ(Rows(*db->FDb, "SELECT bango FROM spec.seizai"), (std::vector<TRowText>{{"1"}})) << c.what;
  }
  fake.Connected = false;
  fx.LogLines.clear();
  EXPECT_FALSE(db->UpdateSeizai());
  EXPECT_TRUE(fx.Logged("インターネット接続なし。更新確認省略..."));
}

TEST_F(RefreshTest, SharedFolderComparesTimes) {
  fx.CopyMasters();
  auto db = fx.Open(true);
  EXPECT_TRUE(fx.Logged("共有フォルダ確認: " + fx.SharedDir + "/spec.bunrui.txt"));
  EXPECT_TRUE(fx.Logged("spec.bunrui 更新"));
  EXPECT_TRUE(fx.Logged("spec.cvo 更新"));
  // CP932 and UTF-8 scripts keep every character.
  EXPECT_EQ(Rows(*db->FDb, "SELECT name FROM spec.seizai")[0][0], "１００㍑～２００㍑－");
  EXPECT_EQ(Rows(*db->FDb, "SELECT label FROM spec.cvo")[0][0], "作物語彙 ㌢ 🌾");
  // No m_tekiyo yet: the crop and pest masters wait for the build.
  EXPECT_FALSE(db->TableExists("m_sakumotsu"));

  // A shared copy older than the local one: compared, not run.
  auto old = fs::last_write_time(fx.DownloadDir + "/spec.seizai.txt") - std::chrono::hours(1);
  fs::last_write_time(fx.SharedDir + "/spec.seizai.txt", old);
  fx.LogLines.clear();
  EXPECT_FALSE(db->UpdateSeizai());
  EXPECT_TRUE(fx.Logged("比較結果: 更新なし"));
  // A newer shared copy is taken and run; its time is kept on the local copy.
  WriteAll(fx.SharedDir + "/spec.seizai.txt", "DELETE FROM spec.seizai;");
  auto newer = fs::last_write_time(fx.DownloadDir + "/spec.seizai.txt") + std::chrono::hours(1);
  fs::last_write_time(fx.SharedDir + "/spec.seizai.txt", newer);
  EXPECT_TRUE(db->UpdateSeizai());
  EXPECT_EQ(fs::last_write_time(fx.DownloadDir + "/spec.seizai.txt"), newer);
  EXPECT_EQ(Rows(*db->FDb, "SELECT count(*) FROM spec.seizai")[0][0], "0");
}

TEST_F(RefreshTest, MembersWithExtraWork) {
  fx.CopyMasters();
  auto db = fx.Open(true);
  // frac: the old layout's view and tables are dropped on every start.
  db->FDb->ExecSQL("CREATE TABLE spec.frac_code (a); CREATE VIEW vFracbunrui AS SELECT 1;");
  db->UpdateFrac();
  EXPECT_FALSE(db->TableExists("frac_code"));
  EXPECT_FALSE(db->TableExists("vFracbunrui"));
  EXPECT_TRUE(db->TableExists("frac_mg"));
  // dokusei: without the info item it runs even with its tables present.
  WriteAll(fx.SharedDir + "/spec.dokusei.txt",
           "CREATE TABLE IF NOT EXISTS spec.m_dokusei (a); CREATE TABLE IF NOT EXISTS spec.dokusei (a);"
           "CREATE TABLE IF NOT EXISTS spec.info (item, value);");
  fs::remove(fx.DownloadDir + "/spec.dokusei.txt");
  EXPECT_TRUE(db->UpdateDokusei());
  EXPECT_FALSE(db->DokuseiTableName());
  EXPECT_TRUE(db->UpdateDokusei());  // still no item: runs again
  db->FDb->ExecSQL("INSERT INTO spec.info VALUES ('m_dokusei', 'x');");
  EXPECT_TRUE(db->DokuseiTableName());
  EXPECT_FALSE(db->UpdateDokusei());
  // koka: recomputed with the classification table read through its index, also after a new
  // classification script dropped the table (and its index with it).
  db->FDb->ExecSQL("CREATE TABLE m_kihon (bango, seibun1, seibun2, seibun3, seibun4, seibun5, koka);"
                   "INSERT INTO m_kihon (bango, seibun1) VALUES (1, 'MEP');"
                   "DROP INDEX IF EXISTS spec.idxBunruiSeibun;");
  db->UpdateKihonKoka();
  EXPECT_EQ(Rows(*db->FDb, "SELECT koka FROM m_kihon")[0][0], "殺虫");
  EXPECT_EQ(Rows(*db->FDb, "SELECT count(*) FROM spec.sqlite_master WHERE name = 'idxBunruiSeibun'")[0][0], "1");
  // A prebuilt database (sources 3 and 4) refreshes nothing.
  TAcisDBSettings s = fx.Settings(true);
  s.DBDownSite = 3;
  fx.LogLines.clear();
  db.reset();
  TAcisDB prebuilt(fx.DBDir + "/acis.db", s, [this](const std::string& l) { fx.LogLines.push_back(l); });
  EXPECT_TRUE(fx.Logged("spec.db Attach"));
  EXPECT_FALSE(fx.Logged("共有フォルダ確認"));
}

TEST(MasterScript, RunnerSkipsTheScriptsOwnTransactions) {
  TSQLiteDb db(":memory:");
  EXPECT_EQ(RunScriptInTransaction(db, "BEGIN TRANSACTION;\nCREATE TABLE a (x);\n-- c\nINSERT INTO a VALUES (1);\n"
                                       "COMMIT;\nEND TRANSACTION;\n/* done */"),
            2);
  EXPECT_THROW(RunScriptInTransaction(db, "begin; INSERT INTO a VALUES (2); INSERT INTO b VALUES (1); commit;"),
               ESQLiteException);
  EXPECT_EQ(Rows(db, "SELECT count(*) FROM a")[0][0], "1");
  EXPECT_EQ(FirstKeyword(" -- x\n /* y */ begin", 20), "BEGIN");
  std::string why;
  EXPECT_FALSE(LooksLikeSqlScript("/nonexistent", why));
}

// The one file copy of the program (master scripts here, the shell copy of the update layer):
// all or nothing, with the source's time and permissions.
TEST(FileCopy, AllOrNothingWithTimeAndMode) {
  TAcisFixture fx;
  const std::string src = fx.DBDir + "/src.txt", dst = fx.DBDir + "/dst.txt";
  WriteAll(src, std::string(3 << 20, 'x'));
  WriteAll(dst, "old");
  const auto t = fs::file_time_type::clock::now() - std::chrono::hours(30) + std::chrono::nanoseconds(123456789);
  fs::last_write_time(src, t);
  fs::permissions(src, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);

  auto leftovers = [&] {
    int n = 0;
    for (const auto& e : fs::directory_iterator(fx.DBDir)) n += e.path().string().find(".qmcopy-") != std::string::npos;
    return n;
  };
  struct Case {
    const char* what;
    std::string from, to;
    std::function<bool(uint64_t, bool)> piece;
    TFileCopyResult want;
  } cases[] = {
      {"cancelled", src, dst, [](uint64_t, bool) { return false; }, TFileCopyResult::Cancelled},
      {"source missing", fx.DBDir + "/nosuch", dst, {}, TFileCopyResult::SourceMissing},
      {"source is a folder", fx.DBDir, dst, {}, TFileCopyResult::SourceError},
      {"no destination folder", src, fx.DBDir + "/no/dir/dst.txt", {}, TFileCopyResult::DestinationError},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(CopyFileAtomic(c.from, c.to, c.piece), c.want) << c.what;
    EXPECT_EQ(ReadAll(dst), "old") << c.what;
    EXPECT_EQ(leftovers(), 0) << c.what;
  }
  uint64_t bytes = 0;
  int firsts = 0;
  EXPECT_EQ(CopyFileAtomic(src, dst, [&](uint64_t n, bool first) {
              bytes += n;
              firsts += first;
              return true;
            }),
            TFileCopyResult::Ok);
  EXPECT_EQ(bytes, uint64_t(3 << 20));
  EXPECT_EQ(firsts, 1);
  EXPECT_EQ(ReadAll(dst), ReadAll(src));
  EXPECT_EQ(fs::last_write_time(dst), t);
  EXPECT_EQ(fs::status(dst).permissions() & fs::perms::all, fs::status(src).permissions() & fs::perms::all);
  EXPECT_TRUE(CopyFileKeepTime(src, fx.DBDir + "/again.txt"));
  EXPECT_FALSE(CopyFileKeepTime(fx.DBDir + "/nosuch", fx.DBDir + "/again.txt"));
  EXPECT_EQ(leftovers(), 0);
}

// spec.db that cannot be attached (a folder in its place, or locked by another program): the
// failed attach is the one message of the open; the master scripts are neither fetched nor
// run, and what fails later for want of spec.db (the SQL console's list of its tables) is a
// log line, not another message.
TEST_F(RefreshTest, ASpecDbThatCannotBeAttachedIsOneMessage) {
  fake.Put("spec.seizai.txt", kSeizaiV1, 100);
  const std::string spec = fx.DBDir + "/spec.db";
  auto openAndUse = [&](const char* what) {
    sink.Clear();
    fake.Requests.clear();
    fx.LogLines.clear();
    auto db = OpenMirror();
    EXPECT_FALSE(db->Query("SELECT * FROM spec.sqlite_master WHERE type IN ('table', 'view') AND name <> 'info';", false));
    EXPECT_EQ(sink.Count(), 1u) << what;
    EXPECT_TRUE(fake.Requests.empty()) << what;
    EXPECT_TRUE(fx.Logged("spec.db を開けないため、マスターテーブルの更新を省略します")) << what;
  };
  fs::create_directories(spec + "/in-the-way");
  openAndUse("a folder in its place");
  fs::remove_all(spec);
  {
    auto db = OpenMirror();  // makes spec.db with its tables
    ASSERT_TRUE(db->TableExists("spec.seizai"));
  }
  {
    TSQLiteDb other(spec);
    other.ExecSQL("BEGIN EXCLUSIVE;");
    other.ExecSQL("CREATE TABLE held (x);");
    openAndUse("locked by another connection");
    other.ExecSQL("ROLLBACK;");
  }
  sink.Clear();
  auto db = OpenMirror();
  EXPECT_EQ(sink.Count(), 0u);
  EXPECT_TRUE(db->TableExists("spec.seizai"));
}
