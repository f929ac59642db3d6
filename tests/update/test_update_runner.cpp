// The update runner against a loopback HTTP server serving the sample register as the public
// service and a mirror publish it, and against a shared folder holding the sample files: every
// data source fetched, unpacked and rebuilt (or installed), and the previous database kept
// whole and open whenever a step fails.
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>
#include <chrono>
#include <cstdio>
#include <filesystem>

#include "database/acis_build.h"
#include "database/acis_db.h"
#include "database/master_refresh.h"
#include "database/sqlite_db.h"
#include "foundation/disk_space.h"
#include "foundation/global.h"
#include "foundation/message_sink.h"
#include "update/acis_svr.h"
#include "update/update_pages.h"
#include "update/update_runner.h"
#include "sample_site.h"
#include "support_http_server.h"
#include "update_test_support.h"

namespace fs = std::filesystem;
using namespace updtest;

namespace {

std::string Capture(const std::string& cmd) {
  std::string out;
  FILE* p = ::popen(cmd.c_str(), "r");
  if (!p) return out;
  char buf[256];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
  ::pclose(p);
  while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) out.pop_back();
  return out;
}

// Read with the sqlite3 program, not through our layer.
std::string Sql(const std::string& db, const std::string& sql) {
  return Capture("sqlite3 '" + db + "' \"" + sql + "\" 2>&1");
}

bool Has(const std::string& log, const std::string& part) { return log.find(part) != std::string::npos; }

// A run log's text after its run's header line ("==== <time> ..."); empty without one.
std::string AfterHeader(const std::string& text) {
  if (text.rfind("==== ", 0) != 0) return std::string();
  const size_t nl = text.find('\n');
  return nl == std::string::npos ? std::string() : text.substr(nl + 1);
}

// The lines of a log holding part.
size_t CountLines(const std::string& log, const std::string& part) {
  size_t n = 0, pos = 0;
  while (pos < log.size()) {
    size_t nl = log.find('\n', pos);
    if (nl == std::string::npos) nl = log.size();
    if (log.compare(pos, nl - pos, part) == 0 || log.substr(pos, nl - pos).find(part) != std::string::npos) ++n;
    pos = nl + 1;
  }
  return n;
}

const char* const kSampleCsvDate = "2026年11月4日反映及び失効反映";  // the CSV page's date line
const char* const kSampleMirrorDate = "2026年11月4日反映";         // update.txt's sentence

class UpdateRunnerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(tmp_.isValid());
    base_ = tmp_.path().toStdString();
    InitGlobals(base_ + "/app");
    OptionData->DBDir = base_ + "/app/DB";
    OptionData->DownloadDir = base_ + "/app/Download";
    OptionData->ReadTimeout = 5000;
    OptionData->ReceiveTimeout = 5000;
    fs::create_directories(OptionData->DBDir);
    fs::create_directories(OptionData->DownloadDir);
    site_ = base_ + "/site";
    ASSERT_TRUE(sample_site::MakeServerTree(site_));
    server_ = std::make_unique<TTestHttpServer>(site_);
    ASSERT_TRUE(server_->Running());
    ::setenv("QUILLMAR_ACIS_BASE", server_->Base().c_str(), 1);
    ::setenv("QUILLMAR_MIRROR_BASE", server_->Base().c_str(), 1);
    SetMasterDownloader(&masters_);
    scoped_ = std::make_unique<TScopedMessageSink>(&sink_);
  }
  void TearDown() override {
    AcisDB.reset();
    SetMasterDownloader(nullptr);
    ::unsetenv("QUILLMAR_ACIS_BASE");
    ::unsetenv("QUILLMAR_MIRROR_BASE");
    scoped_.reset();
    FinalizeGlobals();
  }

  std::unique_ptr<TUpdateRunner> Runner(int mode) {
    OptionData->DownSite = static_cast<std::uint8_t>(mode);
    TUpdateSinks sinks;
    sinks.Log = [this](const std::string& l) { lines_.push_back(l); };
    sinks.Highlight = [this](const std::string& label, bool bold) { bold_.push_back(label + (bold ? " on" : " off")); };
    auto r = std::make_unique<TUpdateRunner>(*OptionData, sinks);
    return r;
  }
  std::string Db() const { return OptionData->DBDir + "/acis.db"; }
  std::string Dl(const std::string& name) const { return OptionData->DownloadDir + "/" + name; }
  std::string Site(const std::string& path) const { return site_ + "/" + path; }
  // Every request the server has had so far, one per line ("GET <path> ...").
  std::string Requests() {
    TAcisSvr svr(*OptionData);
    const std::string file = base_ + "/requests.txt";
    std::error_code ec;
    fs::remove(file, ec);
    EXPECT_TRUE(svr.Download(server_->Url("/__log"), file));
    return ReadFile(file);
  }

  // A database built from the mirror files with a date of its own, as the previous data.
  void BuildPrevious(const std::string& date) {
    TAcisBuildRequest req;
    req.DBDir = OptionData->DBDir;
    req.Source = 2;
    req.KihonFile = SourcePath("data/sample/mirror/kihon.csv");
    req.TekiyoFiles = {SourcePath("data/sample/mirror/tekiyo.csv")};
    req.DataDate = date;
    req.Settings.DBDir = OptionData->DBDir;
    req.Settings.UseLAN = true;
    req.Settings.dirLAN = SourcePath("data/sample/masters");
    req.Settings.DownloadDir = OptionData->DownloadDir;
    ASSERT_TRUE(BuildAcisDatabase(req).Ok);
    AcisDB = std::make_unique<TAcisDB>(Db(), UpdateDbSettings(*OptionData));
  }

  // The previous database is whole, open and still the same data.
  void ExpectPreviousKept(const std::string& date) {
    ASSERT_TRUE(AcisDB);
    EXPECT_EQ(AcisDB->FLastUpdate, date);
    EXPECT_TRUE(AcisDB->Query("SELECT count(*) FROM m_tekiyo", false));
    EXPECT_EQ(Sql(Db(), "SELECT Value FROM info WHERE Item='LastUpdate'"), date);
    EXPECT_EQ(Sql(Db(), "PRAGMA integrity_check"), "ok");
    for (const auto& name : List(OptionData->DBDir)) EXPECT_EQ(name.find("acis.db.build-"), std::string::npos) << name;
  }

  QTemporaryDir tmp_;
  std::string base_, site_;
  std::unique_ptr<TTestHttpServer> server_;
  TSvrMasterDownloader masters_;
  TLogMessageSink sink_;
  std::unique_ptr<TScopedMessageSink> scoped_;
  std::vector<std::string> lines_;
  std::vector<std::string> bold_;  // labels shown bold ("acis.zip on") and plain again
};

}  // namespace

// ---------------------------------------------------------------------------------------------
// The public service's CSV archives

TEST_F(UpdateRunnerTest, PublicCsvUpdateBuildsTheDatabaseWithThePagesDateAndRunsAgainOnCurrentFiles) {
  auto r = Runner(0);
  ASSERT_TRUE(r->AutoUpdate()) << r->LogText();
  EXPECT_TRUE(r->Updated);
  const std::string log = r->LogText();
  for (const char* line : {"ダウンロード開始", "登録基本部csv_20261104.zip ダウンロード完了", "解凍作業完了", "テーブル作成",
                           "登録適用部二 データベース変換中", "インデックス作成終了", "ビュー作成終了", "データ更新完了"})
    EXPECT_TRUE(Has(log, line)) << line << "\n" << log;
  // The date the rebuild stores is the one the start-up check reads from the page copy.
  EXPECT_EQ(PageDateText(Dl("update2.htm"), 0), kSampleCsvDate);
  EXPECT_EQ(Sql(Db(), "SELECT Value FROM info WHERE Item='LastUpdate'"), kSampleCsvDate);
  EXPECT_EQ(Sql(Db(), "SELECT count(DISTINCT bango) FROM m_kihon"), "200");
  EXPECT_EQ(Sql(Db(), "SELECT count(*) FROM m_tekiyo"), "1997");
  ASSERT_TRUE(AcisDB);
  EXPECT_EQ(AcisDB->FLastUpdate, kSampleCsvDate);
  EXPECT_EQ(OptionData->DBDownSite, 0);

  // A second run finds every file current ("304") and still goes to its end.
  auto again = Runner(0);
  ASSERT_TRUE(again->AutoUpdate()) << again->LogText();
  EXPECT_TRUE(Has(again->LogText(), "304"));
  EXPECT_EQ(Sql(Db(), "SELECT count(*) FROM m_tekiyo"), "1997");
}

TEST_F(UpdateRunnerTest, FailuresLeaveThePreviousDatabaseOpenAndWhole) {
  BuildPrevious("2020年1月1日反映");
  const std::string newPage =
      "\xEF\xBB\xBF<html><body>\n<p>2027年1月5日反映分</p>\n"
      "<a href=\"datacsv/登録基本部csv_X.zip\" target =\"_blank\">登録基本部</a>\n"
      "<a href=\"datacsv/登録適用部一_X.zip\" target =\"_blank\">登録適用部一</a>\n"
      "<a href=\"datacsv/登録適用部二_X.zip\" target =\"_blank\">登録適用部二</a>\n</body></html>\n";
  ASSERT_TRUE(WriteFile(Site("ddata/index2.htm"), newPage));
  const std::string pub = SourcePath("data/sample/public/");

  // A corrupt archive: unpacking fails, nothing is rebuilt.
  ASSERT_TRUE(WriteFile(Site("ddata/datacsv/登録基本部csv_X.zip"), "PK\x03\x04 this is no archive"));
  ASSERT_TRUE(sample_site::CopyInto(pub + "登録適用部一_20261104.zip", Site("ddata/datacsv/登録適用部一_X.zip")));
  ASSERT_TRUE(sample_site::CopyInto(pub + "登録適用部二_20261104.zip", Site("ddata/datacsv/登録適用部二_X.zip")));
  {
    auto r = Runner(0);
    EXPECT_FALSE(r->AutoUpdate());
    EXPECT_TRUE(Has(r->LogText(), "解凍作業中止"));
    EXPECT_TRUE(Has(r->LogText(), "データ更新中止!"));
    EXPECT_FALSE(r->Updated);
    ExpectPreviousKept("2020年1月1日反映");
  }

  // An archive that unpacks but lacks its CSV file and brings a master script's name instead:
  // the rebuild stops before anything changes, and the download folder's script is untouched.
  ASSERT_TRUE(sample_site::ZipAs(Site("ddata/datacsv/登録基本部csv_X.zip"), SourcePath("data/sample/mirror/update.txt"),
                                 "sakumotsu.txt"));
  fs::remove(Dl("登録基本部csv_X.zip"));
  ASSERT_TRUE(WriteFile(Dl("sakumotsu.txt"), "-- the local copy\n"));
  {
    auto r = Runner(0);
    EXPECT_FALSE(r->AutoUpdate());
    EXPECT_TRUE(Has(r->LogText(), "オープン失敗")) << r->LogText();
    EXPECT_TRUE(Has(r->LogText(), "sakumotsu.txt は使いません")) << r->LogText();
    EXPECT_EQ(ReadFile(Dl("sakumotsu.txt")), "-- the local copy\n");
    ExpectPreviousKept("2020年1月1日反映");
  }

  // An archive whose CSV file has another name, beside a CSV of the expected name that an
  // earlier run left: only what this run's archives brought is imported, so nothing is.
  ASSERT_TRUE(sample_site::ZipAs(Site("ddata/datacsv/登録基本部csv_X.zip"), pub + "登録基本部_20261104.csv",
                                 "登録基本部_X.csv"));
  ASSERT_TRUE(sample_site::ZipAs(Site("ddata/datacsv/登録適用部一_X.zip"), pub + "登録適用部一_20261104.csv",
                                 "登録適用部一_Y.csv"));
  for (const char* f : {"登録基本部csv_X.zip", "登録適用部一_X.zip"}) fs::remove(Dl(f));
  ASSERT_TRUE(sample_site::CopyInto(pub + "登録適用部一_20261104.csv", Dl("登録適用部一_X.csv")));
  {
    auto r = Runner(0);
    EXPECT_FALSE(r->AutoUpdate());
    EXPECT_TRUE(Has(r->LogText(), Dl("登録適用部一_X.csv") + "オープン失敗")) << r->LogText();
    EXPECT_FALSE(Has(r->LogText(), "更新日設定"));
    ExpectPreviousKept("2020年1月1日反映");
  }

  // A missing archive on the server: the download step fails and the sequence stops there.
  fs::remove(Site("ddata/datacsv/登録適用部二_X.zip"));
  fs::remove(Dl("登録適用部二_X.zip"));
  {
    auto r = Runner(0);
    EXPECT_FALSE(r->AutoUpdate());
    EXPECT_TRUE(Has(r->LogText(), "登録適用部二_X.zip ダウンロード中止"));
    EXPECT_FALSE(Has(r->LogText(), "を解凍"));
    ExpectPreviousKept("2020年1月1日反映");
  }
}

TEST_F(UpdateRunnerTest, AbortDuringTheBuildKeepsThePreviousDatabase) {
  BuildPrevious("2020年1月1日反映");
  TUpdateRunner* self = nullptr;
  TUpdateSinks sinks;
  sinks.Log = [&](const std::string& l) {
    // The user presses "中止" while the indexes are made.
    if (l == "インデックス作成開始") self->DoAbort();
  };
  OptionData->DownSite = 0;
  TUpdateRunner r(*OptionData, sinks);
  self = &r;
  EXPECT_FALSE(r.AutoUpdate());
  EXPECT_TRUE(Has(r.LogText(), "データ更新中止!"));
  EXPECT_FALSE(Has(r.LogText(), "データ更新完了"));
  ExpectPreviousKept("2020年1月1日反映");
}

// ---------------------------------------------------------------------------------------------
// The spreadsheets, the mirror's CSV set

TEST_F(UpdateRunnerTest, SpreadsheetArchivesComeFromTheirServerNamesIntoZipNames) {
  auto r = Runner(1);
  ASSERT_TRUE(r->AutoUpdate()) << r->LogText();
  for (const char* f : {"登録基本部.zip", "登録適用部一.zip", "登録適用部三.zip", "登録適用部四.zip", "登録適用部二.xls"})
    EXPECT_TRUE(Exists(Dl(f))) << f;
  // One rule: parts one to three are asked for with the server's ".lzh", in the update check
  // as in the download.
  TAcisSvr svr(*OptionData);
  ASSERT_TRUE(svr.Download(server_->Url("/__log"), base_ + "/requests.txt"));
  const std::string requests = ReadFile(base_ + "/requests.txt");
  EXPECT_TRUE(Has(requests, "/ddata/data/%E7%99%BB%E9%8C%B2%E9%81%A9%E7%94%A8%E9%83%A8%E4%B8%80.lzh")) << requests;
  EXPECT_FALSE(Has(requests, "/ddata/data/%E7%99%BB%E9%8C%B2%E9%81%A9%E7%94%A8%E9%83%A8%E4%B8%80.zip"));
  EXPECT_EQ(Sql(Db(), "SELECT count(*) FROM m_tekiyo"), "1997");
  // The date is the page's, so that the start-up check finds the data current.
  EXPECT_EQ(Sql(Db(), "SELECT Value FROM info WHERE Item='LastUpdate'"), PageDateText(Dl("update.htm"), 1));
  EXPECT_TRUE(Has(r->LogText(), "更新日取得:2026年11月4日反映"));
  EXPECT_TRUE(Has(r->LogText(), "登録適用部四.xls 読込中"));
  EXPECT_EQ(r->FileIndex, 5);
}

TEST_F(UpdateRunnerTest, MirrorCsvSetAndOneStopRebuild) {
  auto r = Runner(2);
  ASSERT_TRUE(r->AutoUpdate()) << r->LogText();
  EXPECT_EQ(Sql(Db(), "SELECT Value FROM info WHERE Item='LastUpdate'"), kSampleMirrorDate);
  EXPECT_EQ(PageDateText(Dl("update.txt"), 2), kSampleMirrorDate);

  // One-step rebuild with everything unpacked: nothing is fetched (the server is gone).
  server_.reset();
  auto one = Runner(2);
  ASSERT_TRUE(one->OneStopUpdate()) << one->LogText();
  EXPECT_FALSE(Has(one->LogText(), "ダウンロード開始"));
  EXPECT_TRUE(Has(one->LogText(), "データ更新完了"));

  // Without tekiyo.csv but with toroku.zip: unpacked again, then rebuilt.
  fs::remove(Dl("tekiyo.csv"));
  auto two = Runner(2);
  ASSERT_TRUE(two->OneStopUpdate()) << two->LogText();
  EXPECT_TRUE(Has(two->LogText(), "toroku.zip を解凍"));
}

TEST_F(UpdateRunnerTest, OneStopUnpacksPublicArchivesThatAreHereBeforeRebuilding) {
  for (const char* f : {"登録基本部csv_20261104.zip", "登録適用部一_20261104.zip", "登録適用部二_20261104.zip", "update2.htm"})
    ASSERT_TRUE(sample_site::CopyInto(SourcePath("data/sample/public/") + f, Dl(f)));
  server_.reset();  // no network: only what is here, the master scripts from the shared folder
  auto r = Runner(0);
  ASSERT_FALSE(r->OneStopUpdate());
  EXPECT_TRUE(Has(r->LogText(), "解凍作業完了"));
  // Without the master scripts the build cannot be made, and the log says why in plain words.
  EXPECT_TRUE(Has(r->LogText(), "マスタースクリプト")) << r->LogText();
  EXPECT_FALSE(Exists(Db()));
  OptionData->UseLAN = true;
  OptionData->dirLAN = SourcePath("data/sample/masters");
  r = Runner(0);
  ASSERT_TRUE(r->OneStopUpdate()) << r->LogText();
  EXPECT_EQ(Sql(Db(), "SELECT count(*) FROM m_tekiyo"), "1997");
}

// ---------------------------------------------------------------------------------------------
// Prebuilt databases: mirror, own site (web and folder)

TEST_F(UpdateRunnerTest, PrebuiltDatabasesInstallAndReopenAndCurrentArchivesAreNoFailure) {
  // The mirror's prebuilt databases: made by the build and zipped by zip.
  const std::string made = base_ + "/made";
  {
    TAcisBuildRequest req;
    req.DBDir = made;
    req.Source = 2;
    req.KihonFile = SourcePath("data/sample/mirror/kihon.csv");
    req.TekiyoFiles = {SourcePath("data/sample/mirror/tekiyo.csv")};
    req.DataDate = "2030年1月1日反映";
    req.Settings.DBDir = made;
    req.Settings.UseLAN = true;
    req.Settings.dirLAN = SourcePath("data/sample/masters");
    req.Settings.DownloadDir = made + "/dl";
    ASSERT_TRUE(BuildAcisDatabase(req).Ok);
  }
  ASSERT_TRUE(sample_site::Zip(Site("data/acis.zip"), made + "/acis.db"));
  ASSERT_TRUE(sample_site::Zip(Site("data/spec.zip"), made + "/spec.db"));
  BuildPrevious("2020年1月1日反映");

  auto r = Runner(3);
  ASSERT_TRUE(r->AutoUpdate()) << r->LogText();
  ASSERT_TRUE(AcisDB);
  EXPECT_EQ(AcisDB->FLastUpdate, "2030年1月1日反映");
  EXPECT_EQ(OptionData->DBDownSite, 3);
  // Unchanged archives answer "304": the run still installs them and succeeds.
  bold_.clear();
  auto again = Runner(3);
  ASSERT_TRUE(again->AutoUpdate()) << again->LogText();
  EXPECT_TRUE(Has(again->LogText(), "acis.zip ダウンロード完了"));
  // Unpacking shows each archive's label bold in turn.
  ASSERT_GE(bold_.size(), 4u);
  EXPECT_EQ(std::vector<std::string>(bold_.end() - 4, bold_.end()),
            (std::vector<std::string>{"acis.zip on", "acis.zip off", "spec.zip on", "spec.zip off"}));

  // A damaged acis.zip: the installed database stays and stays open.
  ASSERT_TRUE(WriteFile(Site("data/acis.zip"), "PK garbage"));
  // Dated a minute later than the good copy, so the server never answers "not modified"
  // because both were written within one second.
  {
    namespace fs = std::filesystem;
    const fs::path damaged = Site("data/acis.zip");
    fs::last_write_time(damaged, fs::last_write_time(damaged) + std::chrono::minutes(1));
  }
  auto bad = Runner(3);
  EXPECT_FALSE(bad->AutoUpdate());
  EXPECT_TRUE(Has(bad->LogText(), "データ更新中止!"));
  ASSERT_TRUE(AcisDB);
  EXPECT_EQ(AcisDB->FLastUpdate, "2030年1月1日反映");
  EXPECT_TRUE(AcisDB->Query("SELECT count(*) FROM m_kihon", false));
  EXPECT_TRUE(Has(bad->LogText(), "データベースは更新されていません: ")) << bad->LogText();
  EXPECT_FALSE(Has(bad->LogText(), "acis.db 更新"));

  // A new acis.zip with a damaged spec.zip: neither goes in (never a new acis.db beside the old
  // spec.db), the log says so with the archive's reason, the run fails, and the previous
  // database stays open.
  const std::string newer = base_ + "/newer";
  fs::create_directories(newer);
  fs::copy_file(made + "/acis.db", newer + "/acis.db");
  ASSERT_EQ(Sql(newer + "/acis.db", "UPDATE info SET Value='2031年2月3日反映' WHERE Item='LastUpdate'"), "");
  ASSERT_TRUE(sample_site::Zip(Site("data/acis.zip"), newer + "/acis.db"));
  ASSERT_TRUE(WriteFile(Site("data/spec.zip"), "PK garbage"));
  for (const char* f : {"data/acis.zip", "data/spec.zip"})
    fs::last_write_time(Site(f), fs::file_time_type::clock::now() + std::chrono::minutes(2));
  auto half = Runner(3);
  EXPECT_FALSE(half->AutoUpdate());
  const std::string halfLog = half->LogText();
  EXPECT_FALSE(Has(halfLog, "\nacis.db 更新\n")) << halfLog;
  EXPECT_TRUE(Has(halfLog, "spec.zip 解凍失敗: acis.db と spec.db は更新されません")) << halfLog;
  EXPECT_TRUE(Has(halfLog, "データベースは更新されていません: ")) << halfLog;
  EXPECT_TRUE(Has(halfLog, "データ更新中止!"));
  EXPECT_FALSE(half->Updated);
  ASSERT_TRUE(AcisDB);
  EXPECT_EQ(AcisDB->FLastUpdate, "2030年1月1日反映");
  fs::remove(Dl("acis.zip"));

  // An own web site, and an own folder.
  ASSERT_TRUE(sample_site::Zip(Site("own/acis.zip"), made + "/acis.db"));
  ASSERT_TRUE(sample_site::Zip(Site("own/spec.zip"), made + "/spec.db"));
  auto web = Runner(4);
  web->SiteText = server_->Url("/own");
  ASSERT_TRUE(web->AutoUpdate()) << web->LogText();
  EXPECT_EQ(OptionData->UserSite, server_->Url("/own"));
  auto folder = Runner(4);
  folder->SiteText = Site("own");
  ASSERT_TRUE(folder->AutoUpdate()) << folder->LogText();
  EXPECT_TRUE(Has(folder->LogText(), "acis.zip コピー完了"));
  auto invalid = Runner(4);
  invalid->SiteText = "ftp://example.invalid/";
  EXPECT_FALSE(invalid->AutoUpdate());
  EXPECT_TRUE(Has(invalid->LogText(), "ftp://example.invalid/が無効"));
  EXPECT_EQ(AcisDB->FLastUpdate, "2030年1月1日反映");
}

// A prebuilt archive without the database it is named for (acis.zip holding only a spec.db):
// the run fails, says which member was missing, and every database file stays as it was.
TEST_F(UpdateRunnerTest, PrebuiltArchiveWithoutItsDatabaseFailsAndKeepsEveryFile) {
  BuildPrevious("2020年1月1日反映");
  const std::string specBefore = ReadFile(OptionData->DBDir + "/spec.db");
  const std::string wrong = base_ + "/wrong/spec.db";
  fs::create_directories(base_ + "/wrong");
  {
    TSQLiteDb db(wrong);
    db.ExecSQL("CREATE TABLE t(v)");
    db.ExecSQL("INSERT INTO t VALUES('not for acis.zip')");
  }
  ASSERT_TRUE(sample_site::Zip(Site("data/acis.zip"), wrong));
  ASSERT_TRUE(sample_site::Zip(Site("data/spec.zip"), wrong));
  auto r = Runner(3);
  EXPECT_FALSE(r->AutoUpdate());
  const std::string log = r->LogText();
  EXPECT_TRUE(Has(log, "acis.zip に acis.db がありません")) << log;
  EXPECT_FALSE(Has(log, "\nacis.db 更新\n")) << log;
  EXPECT_TRUE(Has(log, "データ更新中止!"));
  ExpectPreviousKept("2020年1月1日反映");
  EXPECT_TRUE(ReadFile(OptionData->DBDir + "/spec.db") == specBefore);
}

TEST_F(UpdateRunnerTest, MirrorSourcesWithoutAKnownHostSaySoInPlainWords) {
  ::unsetenv("QUILLMAR_MIRROR_BASE");
  ASSERT_FALSE(MirrorHostConfigured(0));
  EXPECT_EQ(DefaultDataSource(), 0);
  for (int mode : {2, 3}) {
    auto r = Runner(mode);
    EXPECT_FALSE(r->AutoUpdate());
    EXPECT_TRUE(Has(r->LogText(), MirrorNotConfiguredText())) << r->LogText();
  }
  EXPECT_EQ(MirrorDisplayName(0), "メインサイト (アドレス未設定)");
  ::setenv("QUILLMAR_MIRROR_BASE_2", server_->Base().c_str(), 1);
  EXPECT_TRUE(MirrorHostConfigured(2));
  EXPECT_FALSE(MirrorHostConfigured(1));
  EXPECT_EQ(MirrorDisplayName(2), "ミラーサイト2 (127.0.0.1:" + std::to_string(server_->Port()) + ")");
  ::unsetenv("QUILLMAR_MIRROR_BASE_2");
  ::setenv("QUILLMAR_MIRROR_BASE", server_->Base().c_str(), 1);
  EXPECT_EQ(DefaultDataSource(), 3);
}

// ---------------------------------------------------------------------------------------------
// The shared folder, a stalled server, the download check

TEST_F(UpdateRunnerTest, SharedFolderHoldingTheSampleFilesUpdatesWithoutANetwork) {
  server_.reset();
  const std::string share = base_ + "/share";
  ASSERT_TRUE(sample_site::MakeSharedFolder(share));
  OptionData->UseLAN = true;
  OptionData->dirLAN = share;
  for (int mode : {0, 2, 1}) {
    auto r = Runner(mode);
    ASSERT_TRUE(r->AutoUpdate()) << "mode " << mode << "\n" << r->LogText();
    EXPECT_TRUE(Has(r->LogText(), "共有フォルダからコピー開始"));
    EXPECT_EQ(Sql(Db(), "SELECT count(*) FROM m_tekiyo"), "1997") << mode;
  }
  // A copy that fails aborts the sequence, unless the opener said to go on with what is here.
  fs::remove(share + "/toroku.zip");
  auto strict = Runner(2);
  EXPECT_FALSE(strict->AutoUpdate());
  EXPECT_TRUE(Has(strict->LogText(), "toroku.zip コピー中止"));
  auto lenient = Runner(2);
  lenient->IgnoreCopyFailure = true;
  EXPECT_TRUE(lenient->AutoUpdate()) << lenient->LogText();
}

TEST_F(UpdateRunnerTest, AStalledServerEndsTheRunWithinItsTimeOut) {
  OptionData->ReceiveTimeout = 1000;
  ASSERT_TRUE(WriteFile(Site("ddata/datacsv/登録適用部一_20261104.zip.stall"), "30"));
  auto r = Runner(0);
  const auto t0 = std::chrono::steady_clock::now();
  EXPECT_FALSE(r->AutoUpdate());
  const double secs = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  EXPECT_LT(secs, 20.0);
  EXPECT_TRUE(Has(r->LogText(), "登録適用部一_20261104.zip ダウンロード中止"));
  EXPECT_FALSE(Exists(Db()));
  for (const auto& name : List(OptionData->DownloadDir)) EXPECT_EQ(name.find(".part-"), std::string::npos) << name;
}

TEST_F(UpdateRunnerTest, DownloadCheckFetchesOnlyAndTheUnattendedFormSavesItsLog) {
  auto r = Runner(0);
  r->DownloadCheckRun = true;
  EXPECT_TRUE(r->DownloadCheck());
  EXPECT_TRUE(Exists(Dl("登録適用部二_20261104.zip")));
  EXPECT_FALSE(Exists(Dl("登録適用部二_20261104.csv")));
  EXPECT_FALSE(Exists(Db()));
  const std::string saved = AfterHeader(ReadFile(Dl("autodown.log")));
  EXPECT_EQ(saved.rfind("ダウンロード更新確認開始:", 0), 0u) << saved;
  EXPECT_TRUE(Has(saved, "ダウンロード更新確認終了:"));

  // A failed fetch is no success.
  server_.reset();
  fs::remove(Dl("update2.htm"));
  auto failed = Runner(0);
  EXPECT_FALSE(failed->DownloadCheck());

  // "/u": start and end lines with date and time, saved as autoupdate.log beside acis.db.
  auto u = Runner(0);
  u->AutoUpdateRun = true;
  EXPECT_FALSE(u->AutoUpdate());
  const std::string ulog = AfterHeader(ReadFile(OptionData->DBDir + "/autoupdate.log"));
  EXPECT_EQ(ulog.rfind("データ更新開始:", 0), 0u) << ulog;
  EXPECT_TRUE(Has(ulog, "データ更新中止!"));
  EXPECT_TRUE(Has(ulog, "データ更新完了:"));

  // A log file that cannot be replaced (a folder stands in its way) is not written, and the
  // unattended run puts its whole log on standard error under a line naming the file.
  const std::string blocked = OptionData->DBDir + "/autoupdate.log";
  fs::remove(blocked);
  fs::create_directories(blocked + "/inside");
  EXPECT_FALSE(u->SaveLog(blocked));
  std::string why;
  EXPECT_FALSE(u->SaveLog(blocked, &why));
  EXPECT_FALSE(why.empty());
  auto v = Runner(0);
  v->AutoUpdateRun = true;
  ::testing::internal::CaptureStderr();
  EXPECT_FALSE(v->AutoUpdate());
  const std::string err = ::testing::internal::GetCapturedStderr();
  EXPECT_TRUE(Has(err, "ログファイル " + blocked + " を書き込めません")) << err;
  EXPECT_TRUE(Has(err, "データ更新開始:")) << err;
  EXPECT_TRUE(Has(err, "データ更新中止!\n")) << err;
  EXPECT_TRUE(fs::is_directory(blocked));
  for (const auto& name : List(OptionData->DBDir)) EXPECT_EQ(name.find(".part-"), std::string::npos) << name;
  // A log that can be written puts nothing on standard error.
  fs::remove_all(blocked);
  ::testing::internal::CaptureStderr();
  EXPECT_TRUE(v->SaveRunLog(blocked));
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
  EXPECT_EQ(AfterHeader(ReadFile(blocked)), v->LogText());
}

// ---------------------------------------------------------------------------------------------
// What the log says

TEST_F(UpdateRunnerTest, EachLogLineSaysWhatHappenedOnce) {
  // A broken archive: the unpacking's abort once, with its reason; the update's abort once.
  ASSERT_TRUE(WriteFile(Site("ddata/datacsv/登録基本部csv_20261104.zip"), "PK\x03\x04 this is no archive"));
  {
    auto r = Runner(0);
    EXPECT_FALSE(r->AutoUpdate());
    EXPECT_EQ(CountLines(r->LogText(), "解凍作業中止"), 1u) << r->LogText();
    EXPECT_EQ(CountLines(r->LogText(), "データ更新中止!"), 1u) << r->LogText();
  }
  // The mirror's set without kihon.csv: the missing file, then the abort once.
  ASSERT_TRUE(sample_site::ZipAs(Site("data/toroku.zip"), SourcePath("data/sample/mirror/tekiyo.csv"), "tekiyo.csv"));
  {
    auto r = Runner(2);
    EXPECT_FALSE(r->AutoUpdate());
    EXPECT_EQ(CountLines(r->LogText(), "kihon.csvなし"), 1u) << r->LogText();
    EXPECT_EQ(CountLines(r->LogText(), "データ更新中止!"), 1u) << r->LogText();
  }
  // The page redirects to itself: said as a loop, once, and not as a failed connection.
  ASSERT_TRUE(WriteFile(Site("ddata/index2.htm.redirect"), "/ddata/index2.htm"));
  {
    auto r = Runner(0);
    EXPECT_FALSE(r->AutoUpdate());
    EXPECT_EQ(CountLines(r->LogText(), "リダイレクトが繰り返されるため"), 1u) << r->LogText();
    EXPECT_EQ(CountLines(r->LogText(), "INET_ERROR_OPEN_URL"), 0u) << r->LogText();
    EXPECT_EQ(CountLines(r->LogText(), "データ更新中止!"), 1u) << r->LogText();
  }
  fs::remove(Site("ddata/index2.htm.redirect"));
  // No room on the disk: said once, with no "200 OK" line after it as if the page had come.
  fs::remove_all(OptionData->DownloadDir);
  {
    const TFreeSpaceProbe before = SetFreeSpaceProbe([](const std::string&) { return kDiskReserveBytes; });
    auto r = Runner(0);
    EXPECT_FALSE(r->AutoUpdate());
    SetFreeSpaceProbe(before);
    EXPECT_EQ(CountLines(r->LogText(), "ディスクの空きが足りない"), 1u) << r->LogText();
    EXPECT_EQ(CountLines(r->LogText(), "200 OK"), 0u) << r->LogText();
  }
}

// "/u" with a database folder that cannot be written: the run says so first and once, and
// fetches nothing it could not put in place.
TEST_F(UpdateRunnerTest, AReadOnlyDatabaseFolderIsSaidFirstAndNothingIsFetched) {
  fs::permissions(OptionData->DBDir, fs::perms(0555));
  const int code = RunBoundByFolderModes([this] {
    auto r = Runner(0);
    int c = 0;
    if (r->AutoUpdate()) c |= 1;
    const std::string log = r->LogText();
    if (CountLines(log, OptionData->DBDir + " に書き込めないため") != 1) c |= 2;
    if (log.find("ダウンロード開始") != std::string::npos || log.find("spec.db") != std::string::npos) c |= 4;
    if (CountLines(log, "データ更新中止!") != 1) c |= 8;
    if (!List(OptionData->DownloadDir).empty()) c |= 16;
    return c;
  });
  fs::permissions(OptionData->DBDir, fs::perms(0755));
  EXPECT_EQ(code & 1, 0) << "the update went through";
  EXPECT_EQ(code & 2, 0) << "the folder was not named exactly once";
  EXPECT_EQ(code & 4, 0) << "the run went on to fetch or build";
  EXPECT_EQ(code & 8, 0) << "the abort was not said once";
  EXPECT_EQ(code & 16, 0) << "something was fetched";
  EXPECT_EQ(code & ~31, 0) << "the run failed (" << code << ")";
  EXPECT_FALSE(Has(Requests(), "/ddata/"));
}

// Programs sharing one database folder each append their run's lines to its autoupdate.log
// under a header of their own, also when they write at the same moment; the file stays within
// its bound by dropping the oldest runs whole.
TEST_F(UpdateRunnerTest, RunLogsOfProgramsSharingTheFolderKeepEveryRun) {
  const std::string file = OptionData->DBDir + "/autoupdate.log";
  auto refused = Runner(0);
  refused->Log("refused: the other run holds the folder");
  auto other = Runner(0);
  other->Log("the other run's lines");
  ASSERT_TRUE(refused->SaveRunLog(file));
  ASSERT_TRUE(other->SaveRunLog(file));
  std::string text = ReadFile(file);
  EXPECT_EQ(CountLines(text, "==== "), 2u) << text;
  EXPECT_EQ(text.rfind("==== ", 0), 0u) << text;
  ASSERT_TRUE(Has(text, "refused: the other run holds the folder")) << text;
  EXPECT_LT(text.find("refused:"), text.find("the other run's lines"));
  EXPECT_TRUE(Has(text, OptionData->AppDir)) << text;

  // Older runs filling the file up to its bound, then four programs writing twenty runs each
  // at once: every one of the eighty runs is there whole, and the file is within the bound.
  std::string old;
  for (int i = 0; old.size() < (1u << 20) - 2000; ++i)
    old += "==== old run " + std::to_string(i) + "\n" + std::string(1000, 'o') + "\n";
  ASSERT_TRUE(WriteFile(file, old));
  std::vector<pid_t> children;
  for (int k = 0; k < 4; ++k) {
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      int failed = 0;
      for (int i = 0; i < 20; ++i) {
        TUpdateRunner r(*OptionData, {});
        r.Log("run " + std::to_string(k) + "." + std::to_string(i) + " begins");
        r.Log("run " + std::to_string(k) + "." + std::to_string(i) + " ends");
        if (!r.SaveRunLog(file)) ++failed;
      }
      ::_exit(failed);
    }
    children.push_back(pid);
  }
  for (pid_t pid : children) {
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  text = ReadFile(file);
  EXPECT_LE(text.size(), 1u << 20);
  EXPECT_EQ(text.rfind("==== ", 0), 0u);
  for (int k = 0; k < 4; ++k)
    for (int i = 0; i < 20; ++i) {
      const std::string run = "run " + std::to_string(k) + "." + std::to_string(i);
      EXPECT_EQ(CountLines(text, run + " begins"), 1u) << run;
      EXPECT_EQ(CountLines(text, run + " ends"), 1u) << run;
    }
  EXPECT_FALSE(Has(text, "==== old run 0\n"));
  for (const auto& name : List(OptionData->DBDir)) EXPECT_EQ(name.find(".part-"), std::string::npos) << name;

  // A log this user may not write (another user's, made with that user's umask) in a folder it
  // may write: the lines of both are kept.
  ASSERT_TRUE(WriteFile(file, "==== the other user's run\nits line\n"));
  fs::permissions(file, fs::perms(0444));
  const int code = RunBoundByFolderModes([this, &file] {
    TUpdateRunner r(*OptionData, {});
    r.Log("this user's line");
    return r.SaveRunLog(file) ? 0 : 1;
  });
  EXPECT_EQ(code, 0);
  text = ReadFile(file);
  EXPECT_TRUE(Has(text, "==== the other user's run\nits line\n")) << text;
  EXPECT_TRUE(Has(text, "this user's line")) << text;
}

// The log shared with other users: a trimmed log keeps the mode it had, so the next user still
// reads the earlier runs and keeps them; a log this user can neither write nor read stays as it
// is; a reader holding the log's lock does not keep the run from ending.  Each time the run's
// lines that could not go to the log go to the error output.
TEST_F(UpdateRunnerTest, ARunLogSharedWithOtherUsersKeepsTheirRunsAndNeverHangs) {
  const std::string file = OptionData->DBDir + "/autoupdate.log";
  std::string old;
  for (int i = 0; old.size() < (1u << 20) - 2000; ++i)
    old += "==== old run " + std::to_string(i) + "\n" + std::string(1000, 'o') + "\n";
  ASSERT_TRUE(WriteFile(file, old));
  fs::permissions(file, fs::perms(0640));
  {
    TUpdateRunner r(*OptionData, {});
    r.Log("the trimming run " + std::string(3000, 't'));
    ASSERT_TRUE(r.SaveRunLog(file));
  }
  EXPECT_FALSE(Has(ReadFile(file), "==== old run 0\n"));
  EXPECT_EQ(fs::status(file).permissions(), fs::perms(0640));

  if (::geteuid() == 0) {
    // The trimmed log stands for another user's (uid 65534); this run may not write it.
    ASSERT_EQ(::chown(file.c_str(), 65534, 0), 0);
    const auto saveAsThisUser = [this, &file](const std::string& line) {
      return RunBoundByFolderModes([this, &file, line] {
        TUpdateRunner r(*OptionData, {});
        r.Log(line);
        return r.SaveRunLog(file) ? 0 : 1;
      });
    };
    EXPECT_EQ(saveAsThisUser("this user's run"), 0);
    std::string text = ReadFile(file);
    EXPECT_TRUE(Has(text, "the trimming run")) << text.substr(0, 200);
    EXPECT_TRUE(Has(text, "this user's run"));

    ASSERT_TRUE(WriteFile(file, "==== the other user's run\nits line\n"));
    ASSERT_EQ(::chown(file.c_str(), 65534, 65534), 0);
    fs::permissions(file, fs::perms(0600));
    EXPECT_EQ(saveAsThisUser("this user's lines"), 1);
    EXPECT_EQ(ReadFile(file), "==== the other user's run\nits line\n");
    ASSERT_EQ(::chown(file.c_str(), 0, 0), 0);
  }

  ASSERT_TRUE(WriteFile(file, "==== an earlier run\n"));
  const int reader = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_GE(reader, 0);
  ASSERT_EQ(::flock(reader, LOCK_SH), 0);
  TUpdateRunner held(*OptionData, {});
  held.Log("the run the reader held back");
  testing::internal::CaptureStderr();
  EXPECT_FALSE(held.SaveRunLog(file));
  const std::string err = testing::internal::GetCapturedStderr();
  ::close(reader);
  EXPECT_TRUE(Has(err, "the run the reader held back")) << err;
  EXPECT_TRUE(Has(err, file)) << err;
  EXPECT_EQ(ReadFile(file), "==== an earlier run\n");
  for (const auto& name : List(OptionData->DBDir)) EXPECT_EQ(name.find(".part-"), std::string::npos) << name;
}

// ---------------------------------------------------------------------------------------------
// Requests

// "/u" asks for each address once: the update page fetched by the check serves the download
// step, and the master scripts asked for when the check opened the database serve the build
// and the reopen of the new database.
TEST_F(UpdateRunnerTest, AnUnattendedRunAsksForEachAddressOnce) {
  BuildPrevious("2020年1月1日反映");
  const size_t before = CountLines(Requests(), "GET ");
  struct TUnattended {
    TUnattended() { CmdAutoUpdate = true; }
    ~TUnattended() { CmdAutoUpdate = false; }
  } unattended;
  // The start-up check: the database opened (its master scripts refreshed), the page asked.
  AcisDB = std::make_unique<TAcisDB>(Db(), UpdateDbSettings(*OptionData));
  TAcisSvr check(*OptionData);
  EXPECT_TRUE(check.CheckPublicDataUpdate());
  auto r = Runner(0);
  ASSERT_TRUE(r->AutoUpdate()) << r->LogText();
  EXPECT_EQ(AcisDB->FLastUpdate, kSampleCsvDate);
  EXPECT_TRUE(Has(r->LogText(), "Not Modified (この実行で取得済み)")) << r->LogText();

  const std::string all = Requests();
  std::string run;
  size_t line = 0;
  for (size_t pos = 0; pos < all.size();) {
    size_t nl = all.find('\n', pos);
    if (nl == std::string::npos) nl = all.size();
    if (line++ >= before) run += all.substr(pos, nl - pos) + "\n";
    pos = nl + 1;
  }
  EXPECT_EQ(CountLines(run, "GET /ddata/index2.htm "), 1u) << run;
  size_t scripts = 0;
  for (const auto& e : fs::directory_iterator(SourcePath("data/sample/masters"))) {
    const std::string name = e.path().filename().string();
    EXPECT_EQ(CountLines(run, "GET /data/" + name + " "), 1u) << name << "\n" << run;
    ++scripts;
  }
  EXPECT_EQ(scripts, 18u);
  // Four archives' worth of requests at most beside them: every address once.
  EXPECT_EQ(CountLines(run, "GET /ddata/datacsv/"), 3u) << run;
  EXPECT_EQ(CountLines(run, "GET "), 1u + 18u + 3u + 1u) << run;  // and the request for this log

  // Another run asks again.
  CmdAutoUpdate = false;
  auto again = Runner(0);
  ASSERT_TRUE(again->AutoUpdate()) << again->LogText();
  EXPECT_EQ(CountLines(Requests(), "GET /ddata/index2.htm "), 2u);
}
