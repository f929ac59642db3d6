// The built program run unattended ("/u", "/r") against a loopback HTTP server that publishes
// the sample register as the public service and a mirror do: the exit codes, the log files and
// the previous database under every failure the runs can meet.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <chrono>
#include <filesystem>
#include <utility>
#include <vector>

#include "common/test_support.h"
#include "update/sample_site.h"

namespace fs = std::filesystem;

namespace {

const int kRunTimeoutMs = 120000;  // sanitizer builds start slowly

std::string ReadAll(const std::string& path) {
  QFile f(QString::fromStdString(path));
  if (!f.open(QIODevice::ReadOnly)) return {};
  return f.readAll().toStdString();
}

void WriteAll(const std::string& path, const std::string& text) {
  fs::create_directories(fs::path(path).parent_path());
  QFile f(QString::fromStdString(path));
  ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
  f.write(text.data(), static_cast<qint64>(text.size()));
}

std::string RunTool(const QString& program, const QStringList& args) {
  QProcess p;
  p.start(program, args);
  if (!p.waitForFinished(kRunTimeoutMs)) return "(timed out)";
  return QString::fromUtf8(p.readAllStandardOutput()).trimmed().toStdString();
}

std::string Sql(const std::string& db, const std::string& sql) { return RunTool("sqlite3", {QString::fromStdString(db), QString::fromStdString(sql)}); }

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// The last run's lines of a run log (each run appends its own under a "==== " header).
std::string LastRun(const std::string& path) {
  const std::string text = ReadAll(path);
  const size_t at = text.rfind("==== ");
  return at == std::string::npos ? text : text.substr(at);
}

class UnattendedUpdate : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir_.isValid());
    app_ = dir_.path().toStdString() + "/app";
    site_ = dir_.path().toStdString() + "/site";
    fs::create_directories(app_);
    ASSERT_TRUE(sample_site::MakeServerTree(site_));
    server_ = std::make_unique<sample_site::TSiteServer>(site_);
    ASSERT_TRUE(server_->Running());
    Ini("DownSite=0\n");
  }

  void Ini(const std::string& net) {
    WriteAll(app_ + "/quillmar.ini", "[NET]\nReadTimeout=5000\nReceiveTimeout=5000\n" + net);
  }

  // Runs the program; returns its exit code (-1 when it did not end in time).
  int Program(const char* sw, double* seconds = nullptr, int stopAfterMs = -1) {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("QUILLMAR_INSTANCE_NAME", QString("qm-unattended-%1").arg(QCoreApplication::applicationPid()));
    env.insert("QUILLMAR_APPDIR", QString::fromStdString(app_));
    // With the server stopped its address stays: nothing listens there any more.
    if (server_) base_ = server_->Base();
    env.insert("QUILLMAR_ACIS_BASE", QString::fromStdString(base_));
    env.insert("QUILLMAR_MIRROR_BASE", QString::fromStdString(base_));
    for (const auto& [name, value] : env_) env.insert(QString::fromStdString(name), QString::fromStdString(value));
    p.setProcessEnvironment(env);
    QElapsedTimer t;
    t.start();
    p.start(QString::fromStdString(BinaryPath("bin/quillmar")), {sw});
    if (stopAfterMs >= 0 && !p.waitForFinished(stopAfterMs)) p.terminate();  // SIGTERM, as at log-out
    if (!p.waitForFinished(kRunTimeoutMs)) {
      p.kill();
      p.waitForFinished();
      return -1;
    }
    if (seconds) *seconds = t.elapsed() / 1000.0;
    stderr_ = p.readAllStandardError().toStdString();
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -2;
  }

  std::string Db() const { return app_ + "/DB/acis.db"; }
  std::string UpdateLog() const { return app_ + "/DB/autoupdate.log"; }
  std::string DownLog() const { return app_ + "/Download/autodown.log"; }
  std::string LastUpdate() const { return Sql(Db(), "SELECT Value FROM info WHERE Item='LastUpdate'"); }
  std::string Site(const std::string& p) const { return site_ + "/" + p; }

  // The CSV page announces newer data under new archive names.
  void PublishNewPage(const std::string& date, const std::string& tag) {
    std::string page = "\xEF\xBB\xBF<html><body>\n<p>" + date + "反映分</p>\n";
    const char* labels[3] = {"登録基本部", "登録適用部一", "登録適用部二"};
    const char* names[3] = {"登録基本部csv_", "登録適用部一_", "登録適用部二_"};
    for (int i = 0; i < 3; ++i)
      page += std::string("<a href=\"datacsv/") + names[i] + tag + ".zip\" target =\"_blank\">" + labels[i] + "</a>\n";
    WriteAll(Site("ddata/index2.htm"), page + "</body></html>\n");
    // Each page a minute later than the last: the server compares whole seconds.
    const auto when = fs::file_time_type::clock::now() + std::chrono::minutes(++published_);
    fs::last_write_time(Site("ddata/index2.htm"), when);
    // The archives hold the sample's CSV files under this release's names, as the service's do.
    const std::string pub = SourcePath("data/sample/public/");
    ASSERT_TRUE(sample_site::ZipAs(Site("ddata/datacsv/登録基本部csv_" + tag + ".zip"), pub + "登録基本部_20261104.csv",
                                   "登録基本部_" + tag + ".csv"));
    ASSERT_TRUE(sample_site::ZipAs(Site("ddata/datacsv/登録適用部一_" + tag + ".zip"), pub + "登録適用部一_20261104.csv",
                                   "登録適用部一_" + tag + ".csv"));
    ASSERT_TRUE(sample_site::ZipAs(Site("ddata/datacsv/登録適用部二_" + tag + ".zip"), pub + "登録適用部二_20261104.csv",
                                   "登録適用部二_" + tag + ".csv"));
  }

  void ExpectDatabaseKept(const std::string& date) {
    EXPECT_EQ(LastUpdate(), date);
    EXPECT_EQ(Sql(Db(), "PRAGMA integrity_check"), "ok");
    EXPECT_EQ(Sql(Db(), "SELECT count(*) FROM m_tekiyo"), "1997");
    for (const auto& e : fs::directory_iterator(app_ + "/DB"))
      EXPECT_EQ(e.path().filename().string().find("acis.db.build-"), std::string::npos) << e.path();
  }

  QTemporaryDir dir_;
  std::string app_, site_, stderr_, base_;
  std::vector<std::pair<std::string, std::string>> env_;  // more environment for the program
  int published_ = 0;
  std::unique_ptr<sample_site::TSiteServer> server_;
};

}  // namespace

TEST_F(UnattendedUpdate, PublicCsvExitCodesLogsAndTheOldDatabaseUnderFailures) {
  // No database: the update builds one (1) and writes its log.
  ASSERT_EQ(Program("/u"), 1) << stderr_ << ReadAll(UpdateLog());
  const std::string log = ReadAll(UpdateLog());
  // One run: its header line, then its lines from the start line on.
  EXPECT_EQ(log.rfind("==== ", 0), 0u) << log;
  EXPECT_EQ(log.find("==== ", 1), std::string::npos) << log;
  EXPECT_EQ(log.find("\nデータ更新開始:"), log.find('\n')) << log;
  EXPECT_TRUE(Has(log, "データ更新完了\n"));
  EXPECT_TRUE(Has(log, "データ更新完了:"));
  EXPECT_EQ(LastUpdate(), "2026年11月4日反映及び失効反映");
  EXPECT_EQ(Sql(Db(), "SELECT count(*) FROM m_tekiyo"), "1997");
  EXPECT_EQ(Sql(Db(), "SELECT count(*) FROM seibun") != "0", true);

  // Current data: 0, and no log file is written.
  fs::remove(UpdateLog());
  EXPECT_EQ(Program("/u"), 0) << stderr_;
  EXPECT_FALSE(fs::exists(UpdateLog()));
  EXPECT_EQ(Program("/r"), 0) << stderr_;
  EXPECT_FALSE(fs::exists(DownLog()));

  // Newer data on the server: "/r" fetches the archives only (2), the database stays.
  PublishNewPage("2027年2月3日", "B");
  EXPECT_EQ(Program("/r"), 2) << stderr_;
  EXPECT_TRUE(fs::exists(app_ + "/Download/登録適用部二_B.zip"));
  EXPECT_TRUE(Has(ReadAll(DownLog()), "ダウンロード更新確認終了:"));
  ExpectDatabaseKept("2026年11月4日反映及び失効反映");

  // A corrupt archive: 3, the old database whole.
  PublishNewPage("2027年3月4日", "C");
  WriteAll(Site("ddata/datacsv/登録適用部一_C.zip"), "PK\x03\x04 broken");
  EXPECT_EQ(Program("/u"), 3) << stderr_;
  EXPECT_TRUE(Has(LastRun(UpdateLog()), "データ更新中止!"));
  ExpectDatabaseKept("2026年11月4日反映及び失効反映");

  // The same run when its log file cannot be replaced (a folder in its way): the whole log
  // goes to standard error, under a line naming the file.
  fs::remove(UpdateLog());
  fs::create_directories(UpdateLog() + "/x");
  EXPECT_EQ(Program("/u"), 3) << stderr_;
  EXPECT_TRUE(Has(stderr_, "ログファイル " + UpdateLog() + " を書き込めません")) << stderr_;
  EXPECT_TRUE(Has(stderr_, "データ更新開始:")) << stderr_;
  EXPECT_TRUE(Has(stderr_, "データ更新中止!\n")) << stderr_;
  fs::remove_all(UpdateLog());

  // An archive without its CSV file: 3, the old database whole.
  PublishNewPage("2027年4月5日", "D");
  ASSERT_TRUE(sample_site::Zip(Site("ddata/datacsv/登録基本部csv_D.zip"), SourcePath("data/sample/mirror/update.txt")));
  EXPECT_EQ(Program("/u"), 3) << stderr_;
  EXPECT_TRUE(Has(LastRun(UpdateLog()), "オープン失敗"));
  ExpectDatabaseKept("2026年11月4日反映及び失効反映");

  // An archive missing on the server: "/r" reports the failed download (3, not 2).
  PublishNewPage("2027年5月6日", "E");
  fs::remove(Site("ddata/datacsv/登録適用部二_E.zip"));
  EXPECT_EQ(Program("/r"), 3) << stderr_ << ReadAll(DownLog());
  EXPECT_TRUE(Has(LastRun(DownLog()), "ダウンロード中止"));

  // The whole update of the newer data: 1, the page's date stored.
  PublishNewPage("2027年6月7日", "F");
  EXPECT_EQ(Program("/u"), 1) << stderr_ << ReadAll(UpdateLog());
  EXPECT_EQ(LastUpdate(), "2027年6月7日反映");
}

// A check that could not ask the source is no "data current": an index page larger than its
// bound, a redirect loop on it and a server trickling it each end the run with 3 and a log
// that says why, and leave no partial file in the download folder.
TEST_F(UnattendedUpdate, ACheckThatCouldNotAskTheSourceIsAbortedNotCurrent) {
  ASSERT_EQ(Program("/u"), 1) << stderr_ << ReadAll(UpdateLog());
  fs::remove(UpdateLog());
  ASSERT_EQ(Program("/u"), 0) << stderr_;
  const std::string page = Site("ddata/index2.htm");
  const std::string copy = app_ + "/Download/update2.htm";
  const std::string copyBefore = ReadAll(copy);
  auto expectAborted = [&](const char* sw, const std::string& logFile, const std::string& what) {
    EXPECT_EQ(Program(sw), 3) << what << "\n" << stderr_;
    const std::string log = ReadAll(logFile);
    EXPECT_TRUE(Has(log, "データ更新を確認できません: FAMIC CSVダウンロードページへ接続できません")) << what << "\n" << log;
    EXPECT_EQ(ReadAll(copy), copyBefore) << what;
    for (const auto& e : fs::directory_iterator(app_ + "/Download"))
      EXPECT_EQ(e.path().filename().string().find(".part-"), std::string::npos) << what << " " << e.path();
    fs::remove(logFile);
    return log;
  };

  // A page far larger than any the service publishes (the bound made small for the test).
  std::string big = ReadAll(page);
  big.insert(big.find("</body>"), "<!-- " + std::string(40000, 'x') + " -->\n");
  WriteAll(page, big);
  fs::last_write_time(page, fs::file_time_type::clock::now() + std::chrono::minutes(1));
  env_ = {{"QUILLMAR_MAX_PAGE_BYTES", "20000"}};
  std::string log = expectAborted("/u", UpdateLog(), "too large");
  EXPECT_TRUE(Has(log, "上限 (20000 バイト) より大きいため")) << log;
  log = expectAborted("/r", DownLog(), "too large, /r");
  EXPECT_TRUE(Has(log, "ダウンロード更新確認中止!")) << log;
  env_.clear();

  // The page redirects to itself.
  WriteAll(page + ".redirect", "/ddata/index2.htm");
  log = expectAborted("/u", UpdateLog(), "redirect loop");
  EXPECT_TRUE(Has(log, "リダイレクトが繰り返されるため中止しました")) << log;
  EXPECT_FALSE(Has(log, "INET_ERROR_OPEN_URL")) << log;
  fs::remove(page + ".redirect");

  // A server that sends the page a byte at a time: the least transfer rate ends it.
  Ini("DownSite=0\nReceiveTimeout=1000\n");
  WriteAll(page + ".trickle", "50");
  log = expectAborted("/u", UpdateLog(), "trickle");
  EXPECT_TRUE(Has(log, "応答が遅すぎる")) << log;
  fs::remove(page + ".trickle");
}

TEST_F(UnattendedUpdate, AStalledServerEndsTheRunWithAbortedWithinItsTimeOut) {
  Ini("DownSite=0\nReceiveTimeout=1000\n");
  WriteAll(Site("ddata/datacsv/登録適用部一_20261104.zip.stall"), "60");
  double seconds = 0;
  EXPECT_EQ(Program("/u", &seconds), 3) << stderr_;
  EXPECT_LT(seconds, 30.0);
  EXPECT_TRUE(Has(ReadAll(UpdateLog()), "登録適用部一_20261104.zip ダウンロード中止"));
  EXPECT_FALSE(fs::exists(Db()));

  // With a long time-out, a run stopped from outside ends at once as aborted, with its log.
  Ini("DownSite=0\nReceiveTimeout=60000\n");
  fs::remove(UpdateLog());
  EXPECT_EQ(Program("/u", &seconds, 3000), 3) << stderr_;
  EXPECT_LT(seconds, 20.0);
  EXPECT_TRUE(Has(LastRun(UpdateLog()), "データ更新中止!"));
  EXPECT_FALSE(fs::exists(Db()));
}

TEST_F(UnattendedUpdate, PrebuiltDatabasesFromTheMirrorAnOwnSiteAndASharedFolder) {
  // A database built by the developer tool, zipped as the mirror publishes it.
  const std::string made = dir_.path().toStdString() + "/made";
  const std::string out = RunTool(QString::fromStdString(BinaryPath("bin/qmtool")),
                              {"build", "--db", QString::fromStdString(made), "--masters",
                               QString::fromStdString(SourcePath("data/sample/masters")), "--source", "2", "--kihon",
                               QString::fromStdString(SourcePath("data/sample/mirror/kihon.csv")), "--tekiyo",
                               QString::fromStdString(SourcePath("data/sample/mirror/tekiyo.csv")), "--date",
                               "2031年1月2日反映", "--quiet"});
  ASSERT_TRUE(Has(out, "built")) << out;
  ASSERT_TRUE(sample_site::Zip(Site("data/acis.zip"), made + "/acis.db"));
  ASSERT_TRUE(sample_site::Zip(Site("data/spec.zip"), made + "/spec.db"));

  // The mirror's prebuilt databases are fetched and installed on every run: 1 each time.
  Ini("DownSite=3\n");
  ASSERT_EQ(Program("/u"), 1) << stderr_ << ReadAll(UpdateLog());
  EXPECT_EQ(LastUpdate(), "2031年1月2日反映");
  EXPECT_EQ(Program("/u"), 1) << stderr_ << ReadAll(UpdateLog());
  EXPECT_TRUE(Has(LastRun(UpdateLog()), "304"));

  // A newer acis.zip with a damaged spec.zip: aborted (3), the log says that neither database
  // was updated, and the previous pair stays in place.
  const std::string newer = dir_.path().toStdString() + "/newer";
  fs::create_directories(newer);
  fs::copy_file(made + "/acis.db", newer + "/acis.db");
  ASSERT_EQ(Sql(newer + "/acis.db", "UPDATE info SET Value='2031年3月4日反映' WHERE Item='LastUpdate'"), "");
  ASSERT_TRUE(sample_site::Zip(Site("data/acis.zip"), newer + "/acis.db"));
  WriteAll(Site("data/spec.zip"), "PK\x03\x04 broken");
  for (const char* f : {"data/acis.zip", "data/spec.zip"})
    fs::last_write_time(Site(f), fs::file_time_type::clock::now() + std::chrono::minutes(2));
  EXPECT_EQ(Program("/u"), 3) << stderr_ << ReadAll(UpdateLog());
  const std::string half = LastRun(UpdateLog());
  EXPECT_TRUE(Has(half, "spec.zip 解凍失敗: acis.db と spec.db は更新されません")) << half;
  EXPECT_TRUE(Has(half, "データ更新中止!")) << half;
  EXPECT_EQ(LastUpdate(), "2031年1月2日反映");
  fs::remove(app_ + "/Download/acis.zip");  // the own site's copy below is older than this one

  // An own web site.
  fs::remove_all(app_ + "/DB");
  ASSERT_TRUE(sample_site::Zip(Site("own/acis.zip"), made + "/acis.db"));
  ASSERT_TRUE(sample_site::Zip(Site("own/spec.zip"), made + "/spec.db"));
  Ini("DownSite=4\nUserSite=" + server_->Base() + "/own/\n");
  ASSERT_EQ(Program("/u"), 1) << stderr_ << ReadAll(UpdateLog());
  EXPECT_EQ(LastUpdate(), "2031年1月2日反映");

  // A shared folder holding the sample register's files, no network: the mirror's CSV set.
  server_.reset();
  fs::remove_all(app_ + "/DB");
  const std::string share = dir_.path().toStdString() + "/share";
  ASSERT_TRUE(sample_site::MakeSharedFolder(share));
  Ini("DownSite=2\nUseLAN=1\n[PATH]\ndirLAN=" + share + "\n");
  ASSERT_EQ(Program("/u"), 1) << stderr_ << ReadAll(UpdateLog());
  EXPECT_EQ(LastUpdate(), "2026年11月4日反映");
  EXPECT_EQ(Sql(Db(), "SELECT count(*) FROM m_tekiyo"), "1997");
}

// One "/u" asks for each address once: the update page its start-up check fetched serves the
// download step, and the master scripts asked for when the check opened the database serve
// the build and the new database's open.
TEST_F(UnattendedUpdate, OneRunAsksForEachAddressOnce) {
  auto requests = [&] { return RunTool("curl", {"-s", QString::fromStdString(server_->Base() + "/__log")}); };
  auto linesAfter = [](const std::string& text, size_t skip) {
    std::string out;
    size_t line = 0;
    for (size_t pos = 0; pos < text.size();) {
      size_t nl = text.find('\n', pos);
      if (nl == std::string::npos) nl = text.size();
      if (line++ >= skip) out += text.substr(pos, nl - pos) + "\n";
      pos = nl + 1;
    }
    return out;
  };
  auto count = [](const std::string& text, const std::string& part) {
    size_t n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
  };
  auto expectOnce = [&](const std::string& run, const char* what) {
    EXPECT_EQ(count(run, "GET /ddata/index2.htm "), 1u) << what << "\n" << run;
    for (const auto& e : fs::directory_iterator(SourcePath("data/sample/masters"))) {
      const std::string name = e.path().filename().string();
      EXPECT_EQ(count(run, "GET /data/" + name + " "), 1u) << what << ": " << name << "\n" << run;
    }
  };
  // A first run builds the database.
  size_t before = count(requests(), "\n") + 1;
  ASSERT_EQ(Program("/u"), 1) << stderr_ << LastRun(UpdateLog());
  const std::string first = linesAfter(requests(), before);
  for (const auto& e : fs::directory_iterator(SourcePath("data/sample/masters")))
    EXPECT_EQ(count(first, "GET /data/" + e.path().filename().string() + " "), 1u) << first;

  // Newer data: the check, the download and the build in one run.
  PublishNewPage("2027年2月3日", "B");
  before = count(requests(), "\n") + 1;
  ASSERT_EQ(Program("/u"), 1) << stderr_ << LastRun(UpdateLog());
  expectOnce(linesAfter(requests(), before), "newer data");
  EXPECT_EQ(LastUpdate(), "2027年2月3日反映");
}
