// The update service against a real HTTP server on 127.0.0.1 (tests/update/http_test_server.py)
// serving the public service's pages and archives and a mirror's files, with archives made by
// `zip` and databases made by `sqlite3`.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cctype>
#include <filesystem>

#include "foundation/disk_space.h"
#include "foundation/message_sink.h"
#include "update/acis_svr.h"
#include "update/inet_download.h"
#include "update/update_pages.h"
#include "support_http_server.h"
#include "update_test_support.h"

namespace fs = std::filesystem;
using namespace updtest;

namespace {

// A path as one word of a shell command, whatever it holds (a TMPDIR with blanks or quotes).
std::string Q(const std::string& path) {
  std::string out = "'";
  for (char c : path) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

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

// A small SQLite database whose table t holds one marker value; one named acis.db (in any
// letters) carries the registration tables as a real one does.
void MakeDb(const std::string& path, const std::string& marker) {
  fs::remove(path);
  fs::create_directories(fs::path(path).parent_path());
  std::string name = fs::path(path).filename().string();
  for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  const std::string registration =
      name.find("acis.db") == std::string::npos ? "" : " CREATE TABLE m_kihon(bango, meisho); CREATE TABLE m_tekiyo(bango, sakumotsu);";
  ASSERT_EQ(std::system(("sqlite3 " + Q(path) + " \"CREATE TABLE t(v TEXT); INSERT INTO t VALUES('" + marker + "');" +
                         registration + "\"").c_str()),
            0);
}

std::string DbMarker(const std::string& path) {
  if (!Exists(path)) return "(none)";
  return Capture("sqlite3 " + Q(path) + " \"SELECT v FROM t\" 2>&1");
}

// zip -j: the archive holds the files without folders.
void MakeZip(const std::string& zip, const std::vector<std::string>& files) {
  fs::remove(zip);
  fs::create_directories(fs::path(zip).parent_path());
  std::string cmd = "zip -q -j " + Q(zip);
  for (const auto& f : files) cmd += " " + Q(f);
  ASSERT_EQ(std::system(cmd.c_str()), 0);
}

size_t CountLines(const std::string& log, const std::string& part) {
  size_t n = 0, pos = 0;
  while ((pos = log.find(part, pos)) != std::string::npos) {
    ++n;
    pos += part.size();
  }
  return n;
}

bool HasLine(const std::vector<std::string>& lines, const std::string& part) {
  for (const auto& l : lines)
    if (l.find(part) != std::string::npos) return true;
  return false;
}

const char* const kCsvPage =
    "<html><head><meta charset=\"utf-8\"></head><body>\n"
    "<p>2024年3月5日反映分（3月10日失効も反映しています）</p>\n"
    "<li><a href=\"datacsv/R06_kihon.zip\" target =\"_blank\">登録基本部</a></li>\n"
    "<li><a href=\"datacsv/R06_tekiyo1.zip\" target =\"_blank\">登録適用部一</a>"
    "<a href=\"datacsv/R06_tekiyo2.zip\" target =\"_blank\">登録適用部二</a></li>\n"
    "</body></html>\n";

class ScopedEnv {
 public:
  ScopedEnv(const char* name, const std::string& value) : name_(name) {
    const char* old = std::getenv(name);
    had_ = old != nullptr;
    if (had_) old_ = old;
    ::setenv(name, value.c_str(), 1);
  }
  ~ScopedEnv() {
    if (had_) ::setenv(name_, old_.c_str(), 1);
    else ::unsetenv(name_);
  }

 private:
  const char* name_;
  bool had_ = false;
  std::string old_;
};

}  // namespace

// ---------------------------------------------------------------------------------------------
// Addresses, names from the CSV page, file-time comparison

TEST(UpdateSources, AddressesAndOverrides) {
  for (const char* n : {"QUILLMAR_ACIS_BASE", "QUILLMAR_MIRROR_BASE", "QUILLMAR_MIRROR_BASE_0",
                        "QUILLMAR_MIRROR_BASE_1", "QUILLMAR_MIRROR_BASE_2", "QUILLMAR_MIRROR_BASE_3"})
    ::unsetenv(n);
  EXPECT_EQ(PublicServiceBase(), kAcisServiceBase);
  EXPECT_EQ(PublicServiceUrl("/ddata/index2.htm"), std::string(kAcisServiceBase) + "/ddata/index2.htm");
  for (int i = 0; i < 4; ++i) EXPECT_EQ(MirrorSiteUrl(i), kMirrorBases[i]);
  EXPECT_EQ(MirrorSiteUrl(7), kMirrorBases[0]);
  EXPECT_EQ(MirrorSiteUrl(-1), kMirrorBases[0]);
  EXPECT_EQ(MirrorSiteUrl(2).rfind("http://", 0), 0u);
  EXPECT_EQ(MirrorSiteUrl(1).rfind("https://", 0), 0u);

  {
    ScopedEnv acis("QUILLMAR_ACIS_BASE", "http://127.0.0.1:9/");
    EXPECT_EQ(PublicServiceUrl("/ddata/data/登録基本部.zip"),
              "http://127.0.0.1:9/ddata/data/%E7%99%BB%E9%8C%B2%E5%9F%BA%E6%9C%AC%E9%83%A8.zip");
  }
  struct Case {
    const char* value;
    const char* want;
  } cases[] = {{"http://127.0.0.1:9", "http://127.0.0.1:9/data/"},
               {"http://127.0.0.1:9/", "http://127.0.0.1:9/data/"},
               {"http://127.0.0.1:9/data", "http://127.0.0.1:9/data/"},
               {"http://127.0.0.1:9/data/", "http://127.0.0.1:9/data/"},
               {"http://127.0.0.1:9/m", "http://127.0.0.1:9/m/data/"}};
  for (const Case& c : cases) {
    ScopedEnv m("QUILLMAR_MIRROR_BASE", c.value);
    EXPECT_EQ(MirrorSiteUrl(3), c.want) << c.value;
  }
  {
    ScopedEnv all("QUILLMAR_MIRROR_BASE", "http://127.0.0.1:9");
    ScopedEnv one("QUILLMAR_MIRROR_BASE_2", "http://127.0.0.1:10");
    EXPECT_EQ(MirrorSiteUrl(1), "http://127.0.0.1:9/data/");
    EXPECT_EQ(MirrorSiteUrl(2), "http://127.0.0.1:10/data/");

    TOptionData o("/tmp/qm-none/");
    o.DownSite = 3;
    o.DownSiteVeskDB = 2;
    EXPECT_EQ(DownloadBaseUrl(o), "http://127.0.0.1:10/data/");
    o.DownSite = 4;
    o.UserSite = "http://own.example/db";
    EXPECT_EQ(DownloadBaseUrl(o), "http://own.example/db/");
    o.DownSite = 0;
    EXPECT_EQ(DownloadBaseUrl(o), "");
  }
  EXPECT_EQ(UrlEncodePath("/a b/%41%zz~x_y-z.zip"), "/a%20b/%41%25zz~x_y-z.zip");
}

TEST(UpdateSources, CsvNamesFromThePage) {
  QTemporaryDir tmp;
  ASSERT_TRUE(tmp.isValid());
  const std::string dir = tmp.path().toStdString();
  TCsvNames names;
  ParseCsvFileNames(dir, names);  // no page: names stay empty
  EXPECT_EQ(names, (TCsvNames{"", "", ""}));

  WriteFile(dir + "/update2.htm", kCsvPage);
  ParseCsvFileNames(dir, names);
  EXPECT_EQ(names, (TCsvNames{"R06_kihon.zip", "R06_tekiyo1.zip", "R06_tekiyo2.zip"}));

  // The same page in CP932 as some servers send it.
  ASSERT_EQ(std::system(("iconv -f UTF-8 -t CP932 " + Q(dir + "/update2.htm") + " > " + Q(dir + "/sjis.htm") + " && mv " +
                         Q(dir + "/sjis.htm") + " " + Q(dir + "/update2.htm"))
                            .c_str()),
            0);
  names = {};
  ParseCsvFileNames(dir, names);
  EXPECT_EQ(names, (TCsvNames{"R06_kihon.zip", "R06_tekiyo1.zip", "R06_tekiyo2.zip"}));

  // Names that would leave the download folder, or are no plain file names, are not taken;
  // a later good line still counts.
  struct Case {
    const char* line;
    TCsvNames want;
  } cases[] = {
      {"<a href=\"datacsv/../../etc/evil.zip\" target =\"_blank\">登録基本部</a>", {"", "", ""}},
      {"<a href=\"datacsv/..zip\" target =\"_blank\">登録基本部</a>", {"", "", ""}},
      {"<a href=\"datacsv/.hidden.zip\" target =\"_blank\">登録基本部</a>", {"", "", ""}},
      {"<a href=\"datacsv/a\\b.zip\" target =\"_blank\">登録基本部</a>", {"", "", ""}},
      {"<a href=\"datacsv/zip\" target =\"_blank\">登録基本部</a>", {"zip", "", ""}},
      {"<a href=\"/x/zip\" target =\"_blank\">登録基本部</a>", {"", "", ""}},
      {"<a href=\"datacsv/令和6年基本.zip\" target =\"_blank\">登録基本部</a>", {"令和6年基本.zip", "", ""}},
      {"<a href=\"datacsv/t2.zip\" target =\"_blank\">登録適用部二</a>", {"", "", "t2.zip"}},
      {"<a href=\"datacsv/t2.zip\" target=\"_blank\">登録適用部二</a>", {"", "", ""}},
  };
  for (const Case& c : cases) {
    TCsvNames got;
    ParseCsvFileNameLine(c.line, got);
    EXPECT_EQ(got, c.want) << c.line;
  }
  TCsvNames got;
  ParseCsvFileNameLine("<a href=\"datacsv/first.zip\" target =\"_blank\">登録基本部</a>", got);
  ParseCsvFileNameLine("<a href=\"datacsv/../evil.zip\" target =\"_blank\">登録基本部</a>", got);
  EXPECT_EQ(got[0], "first.zip");
  ParseCsvFileNameLine("<a href=\"datacsv/second.zip\" target =\"_blank\">登録基本部</a>", got);
  EXPECT_EQ(got[0], "second.zip");

  // A page copy larger than any page the service publishes (say, copied from a shared folder)
  // is not read at all: no names, no date.
  WriteFile(dir + "/update2.htm", kCsvPage);
  ::setenv("QUILLMAR_MAX_PAGE_BYTES", "100", 1);
  names = {};
  ParseCsvFileNames(dir, names);
  EXPECT_EQ(names, (TCsvNames{"", "", ""}));
  std::vector<std::string> lines;
  EXPECT_FALSE(ReadPageLines(dir + "/update2.htm", lines));
  EXPECT_EQ(PageDateText(dir + "/update2.htm", 0), "不明");
  ::unsetenv("QUILLMAR_MAX_PAGE_BYTES");
  EXPECT_TRUE(ReadPageLines(dir + "/update2.htm", lines));
}

TEST(UpdateSources, IsSourceNewerByFileTime) {
  QTemporaryDir tmp;
  ASSERT_TRUE(tmp.isValid());
  const std::string src = tmp.path().toStdString() + "/src.zip", dst = tmp.path().toStdString() + "/dst.zip";
  std::string msg;
  EXPECT_FALSE(IsSourceNewer(src, dst, msg));
  EXPECT_EQ(msg, "コピー元:" + src + " なし");
  WriteFile(src, "s");
  EXPECT_TRUE(IsSourceNewer(src, dst, msg));
  EXPECT_EQ(msg, "コピー先:" + dst + " なし");
  WriteFile(dst, "d");
  struct Case {
    std::time_t s, d;
    bool newer;
  } cases[] = {{1000000, 1000000, false}, {1000001, 1000000, true}, {999999, 1000000, false}};
  for (const Case& c : cases) {
    SetMTime(src, c.s);
    SetMTime(dst, c.d);
    EXPECT_EQ(IsSourceNewer(src, dst, msg), c.newer) << c.s << " vs " << c.d;
    EXPECT_EQ(msg, c.newer ? src + " > " + dst : std::string("更新なし"));
  }
}

// ---------------------------------------------------------------------------------------------
// Against the loopback server

class AcisSvrTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(tmp_.isValid());
    root_ = tmp_.path().toStdString();
    fs::create_directories(Www(""));
    server_ = std::make_unique<TTestHttpServer>(Www(""));
    ASSERT_TRUE(server_->Running()) << "the loopback test server did not start";
    acis_ = std::make_unique<ScopedEnv>("QUILLMAR_ACIS_BASE", server_->Base());
    mirror_ = std::make_unique<ScopedEnv>("QUILLMAR_MIRROR_BASE", server_->Base());
    for (const char* n : {"QUILLMAR_MIRROR_BASE_0", "QUILLMAR_MIRROR_BASE_1", "QUILLMAR_MIRROR_BASE_2",
                          "QUILLMAR_MIRROR_BASE_3"})
      ::unsetenv(n);
    options_ = TOptionData(root_ + "/app/");
    options_.DownloadDir = root_ + "/dl";
    options_.DBDir = root_ + "/db";
    options_.dirLAN = root_ + "/lan";
    hooks_.LogMemo = [this](const std::string& line) { log_.push_back(line); };
  }

  std::string Www(const std::string& rel) const { return root_ + "/www/" + rel; }
  std::string Dl(const std::string& name) const { return options_.DownloadDir + "/" + name; }
  std::string Db(const std::string& name) const { return options_.DBDir + "/" + name; }
  std::string Work(const std::string& name) const { return root_ + "/work/" + name; }

  std::string ServerLog() {
    TAcisSvr svr(options_);
    const std::string file = root_ + "/server.log";
    fs::remove(file);
    EXPECT_TRUE(svr.Download(server_->Base() + "/__log", file));
    return ReadFile(file);
  }

  // A zip holding one database with the marker.
  void PublishDbZip(const std::string& zipPath, const std::string& dbName, const std::string& marker) {
    MakeDb(Work(dbName), marker);
    MakeZip(zipPath, {Work(dbName)});
  }

  std::string AllLog() const {
    std::string s;
    for (const auto& l : log_) s += l + "\n";
    return s;
  }

  QTemporaryDir tmp_;
  std::string root_;
  std::unique_ptr<TTestHttpServer> server_;
  std::unique_ptr<ScopedEnv> acis_, mirror_;
  TOptionData options_{"/tmp/"};
  TSvrHooks hooks_;
  std::vector<std::string> log_;
};

TEST_F(AcisSvrTest, CsvPageCheckFetchesArchivesAndComparesTimes) {
  options_.DownSite = 0;
  WriteFile(Www("ddata/index2.htm"), kCsvPage);
  SetMTime(Www("ddata/index2.htm"), 1700000000);
  for (const char* n : {"R06_kihon.zip", "R06_tekiyo1.zip", "R06_tekiyo2.zip"}) WriteFile(Www(std::string("ddata/datacsv/") + n), n);

  {  // No local page: newer, and the three archives arrive.
    TAcisSvr svr(options_);
    EXPECT_TRUE(svr.CheckPublicDataUpdate());
    EXPECT_EQ(svr.StatusCode, "200");
    EXPECT_EQ(MTime(Dl("update2.htm")), 1700000000);
    for (const char* n : {"R06_kihon.zip", "R06_tekiyo1.zip", "R06_tekiyo2.zip"}) EXPECT_EQ(ReadFile(Dl(n)), n);
  }
  {  // Unchanged page: 304, not newer; nothing fetched again.
    TAcisSvr svr(options_);
    EXPECT_FALSE(svr.CheckPublicDataUpdate());
    EXPECT_EQ(svr.StatusCode, "304");
  }
  fs::remove(Dl("R06_tekiyo1.zip"));
  {  // A missing archive is fetched even when the page did not change.
    TAcisSvr svr(options_);
    EXPECT_FALSE(svr.CheckPublicDataUpdate());
    EXPECT_EQ(svr.StatusCode, "304");  // the answer about the page, not about the archive
    EXPECT_TRUE(Exists(Dl("R06_tekiyo1.zip")));
  }
  std::string log = ServerLog();
  EXPECT_EQ(CountLines(log, "GET /ddata/datacsv/R06_kihon.zip"), 1u);
  EXPECT_EQ(CountLines(log, "GET /ddata/datacsv/R06_tekiyo1.zip"), 2u);
  // Every page request after the first was conditional, with a real date.
  EXPECT_EQ(CountLines(log, "GET /ddata/index2.htm - ims=-"), 1u);
  EXPECT_EQ(CountLines(log, "GET /ddata/index2.htm - ims=Tue, 14 Nov 2023 22:13:20 GMT"), 2u);

  SetMTime(Www("ddata/index2.htm"), 1700000100);
  {  // The server page is newer.
    TAcisSvr svr(options_);
    EXPECT_TRUE(svr.CheckPublicDataUpdate());
  }
  // A server that sends no Last-Modified and ignores If-Modified-Since: the same page again
  // is no news; a changed page is.
  WriteFile(Www("ddata/index2.htm.nolm"), "");
  for (int run = 0; run < 2; ++run) {
    TAcisSvr svr(options_);
    EXPECT_FALSE(svr.CheckPublicDataUpdate()) << run;
    EXPECT_EQ(svr.StatusCode, "200");
    EXPECT_TRUE(svr.LastModified.empty());
  }
  WriteFile(Www("ddata/index2.htm"), std::string(kCsvPage) + "<!-- new -->\n");
  {
    TAcisSvr svr(options_);
    EXPECT_TRUE(svr.CheckPublicDataUpdate());
  }
}

TEST_F(AcisSvrTest, CsvPageCheckIgnoresTheMachineZone) {
  // The server copy is older than the local copy by one hour. The wall-clock comparison of
  // the data's zone against the machine's would call it newer on a machine west of Japan.
  options_.DownSite = 0;
  WriteFile(Www("ddata/index2.htm"), kCsvPage);
  WriteFile(Www("ddata/index2.htm.always"), "");  // a 200 whatever we ask, with Last-Modified
  SetMTime(Www("ddata/index2.htm"), 1700000000);
  WriteFile(Dl("update2.htm"), "older copy");
  SetMTime(Dl("update2.htm"), 1700003600);
  const char* old = std::getenv("TZ");
  std::string saved = old ? old : "";
  ::setenv("TZ", "America/Los_Angeles", 1);
  ::tzset();
  TAcisSvr svr(options_);
  bool newer = svr.CheckPublicDataUpdate();
  if (old) ::setenv("TZ", saved.c_str(), 1);
  else ::unsetenv("TZ");
  ::tzset();
  EXPECT_EQ(svr.StatusCode, "200");
  EXPECT_EQ(svr.LastModified, "Tue, 14 Nov 2023 22:13:20 GMT");
  EXPECT_FALSE(newer);
}

TEST_F(AcisSvrTest, XlsPageCheckFetchesFiveArchivesUnderZipNames) {
  options_.DownSite = 1;
  WriteFile(Www("ddata/index.htm"), "<p>2024年3月5日反映分</p>\n");
  const char* files[] = {"登録基本部.zip", "登録適用部一.lzh", "登録適用部二.lzh", "登録適用部三.lzh", "登録適用部四.zip"};
  for (const char* f : files) WriteFile(Www(std::string("ddata/data/") + f), f);
  TAcisSvr svr(options_);
  EXPECT_TRUE(svr.CheckPublicDataUpdate());
  const char* local[] = {"登録基本部.zip", "登録適用部一.zip", "登録適用部二.zip", "登録適用部三.zip", "登録適用部四.zip"};
  for (int i = 0; i < 5; ++i) EXPECT_EQ(ReadFile(Dl(local[i])), files[i]) << local[i];
  EXPECT_FALSE(Exists(Dl("登録適用部一.lzh")));
}

TEST_F(AcisSvrTest, MirrorDateFileAndToroku) {
  options_.DownSite = 2;
  options_.DownSiteVeskDB = 7;  // any other value: mirror 0
  WriteFile(Www("data/update.txt"), "本ファイルは、「令和6年3月5日」分を反映した農薬登録情報です。\n");
  WriteFile(Www("data/toroku.zip"), "toroku");
  {
    TAcisSvr svr(options_);
    EXPECT_TRUE(svr.CheckPublicDataUpdate());
    EXPECT_FALSE(Exists(Dl("toroku.zip")));  // fetched by the update itself, not by the check
  }
  {
    TAcisSvr svr(options_);
    EXPECT_FALSE(svr.CheckPublicDataUpdate());
    EXPECT_EQ(svr.StatusCode, "304");
    EXPECT_EQ(ReadFile(Dl("toroku.zip")), "toroku");
  }
  EXPECT_EQ(DataDateText(ReadFile(Dl("update.txt")).substr(0, ReadFile(Dl("update.txt")).find('\n'))),
            "2024年3月5日反映");
}

TEST_F(AcisSvrTest, ErrorStatusAndUnreachableServer) {
  options_.DownSite = 0;
  WriteFile(Www("ddata/index2.htm.status"), "503");
  {
    TAcisSvr svr(options_);
    EXPECT_FALSE(svr.CheckPublicDataUpdate());
    EXPECT_EQ(svr.StatusCode, "503");
    EXPECT_EQ(svr.ErrorCode, INET_ERROR_HTTP_STATUS_CODE);
  }
  {
    ScopedEnv dead("QUILLMAR_ACIS_BASE", "http://127.0.0.1:1");
    TAcisSvr svr(options_);
    EXPECT_FALSE(svr.CheckPublicDataUpdate());
    EXPECT_TRUE(svr.StatusCode.empty());
    EXPECT_EQ(svr.ErrorCode, INET_ERROR_OPEN_URL);
    EXPECT_EQ(InetErrorText(svr.ErrorCode), "INET_ERROR_OPEN_URL");
  }
  EXPECT_EQ(InetErrorText(12345), "");
}

// Why a check's page did not arrive is said as what stopped it: a redirect loop by that name,
// a full disk as a full disk even though the status line said "200 OK"; and each reason once
// in the log.
TEST_F(AcisSvrTest, AFailedPageSaysWhatStoppedIt) {
  options_.DownSite = 0;
  WriteFile(Www("ddata/index2.htm"), kCsvPage);
  WriteFile(Www("ddata/index2.htm.redirect"), "/ddata/index2.htm");
  {
    TAcisSvr svr(options_);
    static_cast<TSvrHooks&>(svr) = hooks_;
    EXPECT_FALSE(svr.CheckPublicDataUpdate());
    EXPECT_TRUE(svr.RedirectLoop);
    EXPECT_EQ(svr.FailureText(), "リダイレクトが繰り返されるため中止しました");
    EXPECT_EQ(std::count_if(log_.begin(), log_.end(),
                            [](const std::string& l) { return l.find("リダイレクトが繰り返される") != std::string::npos; }),
              1)
        << AllLog();
  }
  fs::remove(Www("ddata/index2.htm.redirect"));
  log_.clear();
  {
    // The disk has no room beyond the reserve: the page's "200 OK" is no reason.
    const TFreeSpaceProbe before = SetFreeSpaceProbe([](const std::string&) { return kDiskReserveBytes; });
    TAcisSvr svr(options_);
    static_cast<TSvrHooks&>(svr) = hooks_;
    EXPECT_FALSE(svr.CheckPublicDataUpdate());
    SetFreeSpaceProbe(before);
    EXPECT_EQ(svr.StatusCode, "200");
    EXPECT_TRUE(svr.DiskFull);
    EXPECT_EQ(svr.FailureText(), "ディスクの空きが足りないため中止しました");
    EXPECT_FALSE(svr.RedirectLoop);
  }
  {
    TAcisSvr svr(options_);
    EXPECT_TRUE(svr.CheckPublicDataUpdate());
    EXPECT_EQ(svr.FailureText(), "");
    WriteFile(Www("ddata/index2.htm.status"), "503");
    EXPECT_FALSE(svr.CheckPublicDataUpdate());
    EXPECT_EQ(svr.FailureText(), "StatusCode: 503 Service Unavailable");
  }
}

TEST_F(AcisSvrTest, SharedFolderPages) {
  options_.UseLAN = true;
  options_.DownSite = 0;
  {
    TAcisSvr svr(options_);
    svr.LogMemo = hooks_.LogMemo;
    EXPECT_FALSE(svr.CheckPublicDataUpdate());
    EXPECT_TRUE(HasLine(log_, "共有フォルダ " + options_.dirLAN + "/update2.htm 検索失敗..."));
  }
  WriteFile(options_.dirLAN + "/update2.htm", kCsvPage);
  SetMTime(options_.dirLAN + "/update2.htm", 1700000000);
  for (bool want : {true, false}) {
    log_.clear();
    TAcisSvr svr(options_);
    svr.LogMemo = hooks_.LogMemo;
    EXPECT_EQ(svr.CheckPublicDataUpdate(), want);
    EXPECT_EQ(ReadFile(Dl("update2.htm")), kCsvPage);
    EXPECT_EQ(MTime(Dl("update2.htm")), 1700000000);  // the copy keeps the shared file's time
    ASSERT_EQ(log_.size(), 1u);
    EXPECT_EQ(log_[0], "共有フォルダ " + options_.dirLAN + "/update2.htm 更新確認 " +
                           (want ? "コピー先:" + Dl("update2.htm") + " なし" : std::string("更新なし")));
  }
  // The spreadsheet page missing in the shared folder: no log line.
  options_.DownSite = 1;
  log_.clear();
  TAcisSvr svr(options_);
  svr.LogMemo = hooks_.LogMemo;
  EXPECT_FALSE(svr.CheckPublicDataUpdate());
  EXPECT_TRUE(log_.empty());
}

namespace {
// The log sink that also keeps the buttons each question offered.
struct TButtonsSink : TLogMessageSink {
  std::vector<TMsgButtons> Buttons;
  TMsgAnswer Show(const TMessage& msg, TMsgButtons buttons, TMsgAnswer defaultAnswer) override {
    Buttons.push_back(buttons);
    return TLogMessageSink::Show(msg, buttons, defaultAnswer);
  }
};
}  // namespace

TEST_F(AcisSvrTest, PrebuiltDatabaseFromMirror) {
  options_.DownSite = 3;
  PublishDbZip(Www("data/acis.zip"), "acis.db", "v1");
  PublishDbZip(Www("data/spec.zip"), "spec.db", "s1");
  SetMTime(Www("data/acis.zip"), 1700000000);
  SetMTime(Www("data/spec.zip"), 1700000000);
  TButtonsSink sink;
  TScopedMessageSink scoped(&sink);

  WriteFile(Db("acis.db-journal"), "stale journal of an older file");
  SQLiteDbDownload(hooks_, options_);  // first run: no local copies, no question
  EXPECT_FALSE(Exists(Db("acis.db-journal")));
  EXPECT_EQ(DbMarker(Db("acis.db")), "v1");
  EXPECT_EQ(DbMarker(Db("spec.db")), "s1");
  EXPECT_EQ(sink.Count(), 0u);
  EXPECT_TRUE(HasLine(log_, "SQLiteDB データ更新確認..."));
  EXPECT_TRUE(HasLine(log_, "acis.db 更新"));
  EXPECT_TRUE(HasLine(log_, "spec.db 更新"));
  // "更新" is said once the database is in place, after the archiver's lines.
  {
    const auto member = std::find(log_.begin(), log_.end(), "acis.zip: acis.db");
    const auto done = std::find(log_.begin(), log_.end(), "acis.db 更新");
    EXPECT_TRUE(member < done) << AllLog();
  }
  for (const auto& e : fs::directory_iterator(options_.DBDir))  // no temporary folder left
    EXPECT_EQ(e.path().filename().string().find(".qm-install"), std::string::npos);

  log_.clear();
  SQLiteDbDownload(hooks_, options_);  // nothing new: asked with the local date, then 304
  EXPECT_TRUE(HasLine(log_, "304 "));
  EXPECT_FALSE(HasLine(log_, "acis.db 更新"));
  std::string slog = ServerLog();
  EXPECT_EQ(CountLines(slog, "/data/acis.zip - ims=-"), 1u);  // only the very first request
  EXPECT_EQ(CountLines(slog, "/data/acis.zip - ims=Tue, 14 Nov 2023 22:13:20 GMT"), 1u);

  // A newer acis.zip: the question comes (the log sink answers yes) and v2 is installed.
  PublishDbZip(Www("data/acis.zip"), "acis.db", "v2");
  SetMTime(Www("data/acis.zip"), 1700000100);
  log_.clear();
  SQLiteDbDownload(hooks_, options_);
  ASSERT_EQ(sink.Count(), 1u);
  EXPECT_NE(sink.Messages()[0].text.find("新しい acis.db があります。"), std::string::npos);
  EXPECT_EQ(sink.Messages()[0].kind, TMsgKind::Confirm);
  ASSERT_EQ(sink.Buttons.size(), 1u);
  EXPECT_EQ(sink.Buttons[0], TMsgButtons::OkCancel);
  EXPECT_EQ(DbMarker(Db("acis.db")), "v2");

  // A cut-off archive (a complete transfer of a broken file) keeps the installed database,
  // and the broken copy is dropped so the next check asks again.
  std::string good = ReadFile(Www("data/acis.zip"));
  PublishDbZip(Www("data/acis.zip"), "acis.db", "v3");
  std::string v3 = ReadFile(Www("data/acis.zip"));
  WriteFile(Www("data/acis.zip"), v3.substr(0, v3.size() / 2));
  SetMTime(Www("data/acis.zip"), 1700000200);
  options_.NoUpdateCheck = true;
  log_.clear();
  SQLiteDbDownload(hooks_, options_);
  EXPECT_EQ(DbMarker(Db("acis.db")), "v2");
  EXPECT_EQ(DbMarker(Db("spec.db")), "s1");
  EXPECT_TRUE(HasLine(log_, "acis.zip 解凍失敗: acis.db と spec.db は更新されません"));
  EXPECT_FALSE(HasLine(log_, "acis.db 更新")) << AllLog();
  EXPECT_FALSE(Exists(Dl("acis.zip")));
  EXPECT_EQ(sink.Count(), 1u);  // NoUpdateCheck: no question

  // A zip whose acis.db is no database is refused too.
  WriteFile(Work("acis.db"), "not a database at all");
  MakeZip(Www("data/acis.zip"), {Work("acis.db")});
  SetMTime(Www("data/acis.zip"), 1700000300);
  SQLiteDbDownload(hooks_, options_);
  EXPECT_EQ(DbMarker(Db("acis.db")), "v2");

  // A newer spec.zip that cannot be fetched (gone from the server): the new acis.zip that came
  // does not go in beside the old spec.db, and goes again so that the next run fetches it.
  PublishDbZip(Www("data/acis.zip"), "acis.db", "v5");
  SetMTime(Www("data/acis.zip"), 1700000350);
  const std::string specZip = ReadFile(Www("data/spec.zip"));
  fs::remove(Dl("spec.zip"));
  fs::remove(Www("data/spec.zip"));
  log_.clear();
  SQLiteDbDownload(hooks_, options_);
  EXPECT_EQ(DbMarker(Db("acis.db")), "v2");
  EXPECT_EQ(DbMarker(Db("spec.db")), "s1");
  EXPECT_TRUE(HasLine(log_, "spec.zip を取得できないため、acis.db と spec.db は更新されません")) << AllLog();
  EXPECT_FALSE(Exists(Dl("acis.zip")));
  WriteFile(Www("data/spec.zip"), specZip);
  SetMTime(Www("data/spec.zip"), 1700000000);

  // The transfer itself cut short: the download fails and nothing changes.
  PublishDbZip(Www("data/acis.zip"), "acis.db", "v4");
  SetMTime(Www("data/acis.zip"), 1700000400);
  WriteFile(Www("data/acis.zip.truncate"), "");
  SQLiteDbDownload(hooks_, options_);
  EXPECT_EQ(DbMarker(Db("acis.db")), "v2");
  EXPECT_FALSE(Exists(Dl("acis.zip")));
  fs::remove(Www("data/acis.zip.truncate"));
  SQLiteDbDownload(hooks_, options_);
  EXPECT_EQ(DbMarker(Db("acis.db")), "v4");
}

TEST_F(AcisSvrTest, PrebuiltDatabaseDeclinedOwnSiteAndNoServer) {
  options_.DownSite = 4;
  options_.UserSite = server_->Base() + "/own";  // no trailing "/"
  PublishDbZip(Www("own/acis.zip"), "acis.db", "o1");
  PublishDbZip(Www("own/spec.zip"), "spec.db", "p1");
  SQLiteDbDownload(hooks_, options_);
  EXPECT_EQ(DbMarker(Db("acis.db")), "o1");

  // Declined: the newer copy is left on the server, and the new spec.zip fetched beside it does
  // not go in with the old acis.zip; it goes again, so that the next run fetches it.
  TAnsweringSink no(TMsgAnswer::No);
  {
    TScopedMessageSink scoped(&no);
    PublishDbZip(Www("own/acis.zip"), "acis.db", "o2");
    SetMTime(Www("own/acis.zip"), std::time(nullptr) + 100);
    PublishDbZip(Www("own/spec.zip"), "spec.db", "p2");
    SetMTime(Www("own/spec.zip"), std::time(nullptr) + 100);
    log_.clear();
    SQLiteDbDownload(hooks_, options_);
  }
  EXPECT_EQ(no.asked, 1);
  EXPECT_EQ(DbMarker(Db("acis.db")), "o1");
  EXPECT_EQ(DbMarker(Db("spec.db")), "p1") << AllLog();
  EXPECT_FALSE(Exists(Dl("spec.zip")));
  // The check's status, logged again when declined, and spec.zip's.
  EXPECT_EQ(CountLines(AllLog(), "200 "), 3u);

  // The check of acis.zip fails (gone from the server): the new spec.zip does not go in either.
  const std::string o2 = ReadFile(Www("own/acis.zip"));
  fs::remove(Www("own/acis.zip"));
  log_.clear();
  SQLiteDbDownload(hooks_, options_);
  EXPECT_EQ(DbMarker(Db("acis.db")), "o1");
  EXPECT_EQ(DbMarker(Db("spec.db")), "p1") << AllLog();
  EXPECT_TRUE(Exists(Dl("acis.zip")));

  // Accepted: the new pair goes in.
  WriteFile(Www("own/acis.zip"), o2);
  SetMTime(Www("own/acis.zip"), std::time(nullptr) + 100);
  {
    TAnsweringSink yes(TMsgAnswer::Ok);
    TScopedMessageSink scoped(&yes);
    SQLiteDbDownload(hooks_, options_);
    EXPECT_EQ(yes.asked, 1);
  }
  EXPECT_EQ(DbMarker(Db("acis.db")), "o2");
  EXPECT_EQ(DbMarker(Db("spec.db")), "p2") << AllLog();

  // The server does not answer at all: spec.zip is not attempted.
  options_.UserSite = "http://127.0.0.1:1/own/";
  log_.clear();
  SQLiteDbDownload(hooks_, options_);
  EXPECT_TRUE(HasLine(log_, "StatusCode なし サーバ接続失敗!"));
  EXPECT_FALSE(HasLine(log_, "spec.zip"));
  EXPECT_EQ(DbMarker(Db("acis.db")), "o2");

  // No connection: nothing is asked.
  auto prev = SetInetConnectedStateProvider([] { return TInetConnectedState{false, false}; });
  log_.clear();
  SQLiteDbDownload(hooks_, options_);
  SetInetConnectedStateProvider(prev);
  EXPECT_EQ(log_.back(), "インターネット接続なし。更新確認省略...");
  EXPECT_TRUE(IsInternetConnected());
}

TEST_F(AcisSvrTest, PrebuiltDatabaseFromSharedFolder) {
  MakeDb(Work("acis.db"), "l1");
  MakeZip(options_.dirLAN + "/acis.zip", {Work("acis.db")});
  SetMTime(options_.dirLAN + "/acis.zip", 1700000000);
  // No spec.zip anywhere: acis.db alone is no pair, and nothing is installed.
  CopyDbFromLan(hooks_, options_);
  EXPECT_EQ(DbMarker(Db("acis.db")), "(none)");
  EXPECT_TRUE(HasLine(log_, "acis.zip 更新あり"));
  EXPECT_TRUE(HasLine(log_, "spec.zip 更新なし"));
  // The acis.zip taken goes again, so that the next run takes it with spec.zip.
  EXPECT_TRUE(HasLine(log_, "spec.zip を取得できないため、acis.db と spec.db は更新されません")) << AllLog();
  EXPECT_FALSE(Exists(Dl("acis.zip")));

  MakeDb(Work("spec.db"), "m1");
  MakeZip(options_.dirLAN + "/spec.zip", {Work("spec.db")});
  log_.clear();
  CopyDbFromLan(hooks_, options_);
  EXPECT_EQ(DbMarker(Db("acis.db")), "l1");
  EXPECT_EQ(DbMarker(Db("spec.db")), "m1");
  EXPECT_EQ(MTime(Dl("acis.zip")), 1700000000);
  EXPECT_TRUE(HasLine(log_, "acis.zip 更新あり"));
  EXPECT_TRUE(HasLine(log_, "acis.db 更新"));  // the copy says when a database was replaced
  EXPECT_TRUE(HasLine(log_, "spec.db 更新"));

  log_.clear();
  CopyDbFromLan(hooks_, options_);
  EXPECT_EQ(log_, (std::vector<std::string>{"acis.zip 更新なし", "spec.zip 更新なし"}));

  // A damaged archive in the shared folder leaves the database alone.
  MakeDb(Work("acis.db"), "l2");
  MakeZip(Work("l2.zip"), {Work("acis.db")});
  std::string z = ReadFile(Work("l2.zip"));
  WriteFile(options_.dirLAN + "/acis.zip", z.substr(0, z.size() / 2));
  SetMTime(options_.dirLAN + "/acis.zip", 1700000100);
  log_.clear();
  CopyDbFromLan(hooks_, options_);
  EXPECT_EQ(DbMarker(Db("acis.db")), "l1");
  EXPECT_FALSE(Exists(Dl("acis.zip")));
  EXPECT_TRUE(HasLine(log_, "acis.zip 解凍失敗: acis.db と spec.db は更新されません"));
  EXPECT_FALSE(HasLine(log_, "acis.db 更新")) << AllLog();

  // Another source folder (an own site given as a folder).
  MakeDb(Work("acis.db"), "u1");
  MakeZip(root_ + "/own/acis.zip", {Work("acis.db")});
  MakeZip(root_ + "/own/spec.zip", {Work("spec.db")});
  CopyDbFromLan(hooks_, options_, root_ + "/own");
  EXPECT_EQ(DbMarker(Db("acis.db")), "u1");

  // A folder with a newer acis.zip and no spec.zip yet: the new acis.db does not go in beside
  // the spec.db of the last pair, and its copy goes so that the next run takes it again.
  MakeDb(Work("acis.db"), "u2");
  MakeZip(root_ + "/own/acis.zip", {Work("acis.db")});
  SetMTime(root_ + "/own/acis.zip", std::time(nullptr) + 100);
  fs::remove(root_ + "/own/spec.zip");
  log_.clear();
  CopyDbFromLan(hooks_, options_, root_ + "/own");
  EXPECT_EQ(DbMarker(Db("acis.db")), "u1") << AllLog();
  EXPECT_EQ(DbMarker(Db("spec.db")), "m1");
  EXPECT_FALSE(Exists(Dl("acis.zip")));
  EXPECT_TRUE(Exists(Dl("spec.zip")));
}

TEST_F(AcisSvrTest, DownloadProgressCancelAndMasterScripts) {
  std::string big(300000, 'b');
  WriteFile(Www("data/big.bin"), big);
  std::vector<std::pair<std::uint32_t, std::uint32_t>> bars;
  int pumps = 0;
  {
    TAcisSvr svr(options_);
    svr.ProgressBar = [&](std::uint32_t max, std::uint32_t pos) { bars.emplace_back(max, pos); };
    svr.ProcessMessages = [&] { ++pumps; };
    EXPECT_TRUE(svr.Download(server_->Base() + "/data/big.bin", Dl("big.bin")));
    EXPECT_EQ(svr.ProgressStatus, INET_PROGRESS_END);
    EXPECT_EQ(svr.ProgressText, server_->Base() + "/data/big.bin");
    EXPECT_FALSE(svr.LastModified.empty());
    EXPECT_EQ(svr.CodeText(), "200 OK");
  }
  ASSERT_FALSE(bars.empty());
  EXPECT_EQ(bars.back(), std::make_pair(std::uint32_t(big.size()), std::uint32_t(big.size())));
  EXPECT_GT(pumps, 0);

  // Cancel asked from the pump: the old copy stays.
  WriteFile(Www("data/big.bin"), std::string(300000, 'c'));
  SetMTime(Www("data/big.bin"), std::time(nullptr) + 100);
  {
    TAcisSvr svr(options_);
    svr.ProcessMessages = [&] { svr.Cancel = true; };
    EXPECT_FALSE(svr.Download(server_->Base() + "/data/big.bin", Dl("big.bin")));
    EXPECT_EQ(svr.ErrorCode, INET_E_ABORT);
  }
  EXPECT_EQ(ReadFile(Dl("big.bin")), big);

  // The master scripts come through the service: into the temporary name, conditional on
  // the local copy.
  WriteFile(Www("data/sakumotsu.txt"), "INSERT INTO m VALUES(1);\n");
  SetMTime(Www("data/sakumotsu.txt"), 1700000000);
  TSvrMasterDownloader md(hooks_, &options_);
  EXPECT_TRUE(md.IsInternetConnected());
  EXPECT_EQ(md.MirrorSiteUrl(1), server_->Base() + "/data/");
  auto r = md.Download(md.MirrorSiteUrl(0) + "sakumotsu.txt", Dl("sakumotsu.txt"), Dl("sakumotsu.txt.new"));
  EXPECT_TRUE(r.Changed);
  EXPECT_EQ(r.StatusCode, 200);
  EXPECT_EQ(MTime(Dl("sakumotsu.txt.new")), 1700000000);
  fs::rename(Dl("sakumotsu.txt.new"), Dl("sakumotsu.txt"));
  r = md.Download(md.MirrorSiteUrl(0) + "sakumotsu.txt", Dl("sakumotsu.txt"), Dl("sakumotsu.txt.new"));
  EXPECT_FALSE(r.Changed);
  EXPECT_EQ(r.StatusCode, 304);
  EXPECT_FALSE(Exists(Dl("sakumotsu.txt.new")));
}

// ShellCopyFile copies the file a symbolic link points to, never the link.
TEST(ShellCopy, TakesTheContentsOfALink) {
  QTemporaryDir tmp;
  const std::string d = tmp.path().toStdString();
  ASSERT_TRUE(updtest::WriteFile(d + "/shared/acis.zip", "zip bytes"));
  ASSERT_EQ(::symlink((d + "/shared/acis.zip").c_str(), (d + "/link.zip").c_str()), 0);
  ASSERT_TRUE(ShellCopyFile(d + "/link.zip", d + "/download/acis.zip"));
  struct stat st {};
  ASSERT_EQ(::lstat((d + "/download/acis.zip").c_str(), &st), 0);
  EXPECT_TRUE(S_ISREG(st.st_mode));
  EXPECT_EQ(updtest::ReadFile(d + "/download/acis.zip"), "zip bytes");
  ASSERT_EQ(::unlink((d + "/shared/acis.zip").c_str()), 0);
  EXPECT_FALSE(ShellCopyFile(d + "/link.zip", d + "/download/acis.zip"));
  EXPECT_EQ(updtest::ReadFile(d + "/download/acis.zip"), "zip bytes");
}
