// Downloads from servers that misbehave, against the loopback HTTP server: trickling bytes, a
// "304" that points elsewhere, lengths that disagree, clocks far off, and a disk that fills
// (through the free-space probe, which stands for a full file system the tests cannot make).
// Each fails, or saves, cleanly: the old copy stays and no temporary file is left.
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <QUrl>
#include <atomic>
#include <chrono>
#include <ctime>

#include "foundation/disk_space.h"
#include "foundation/options.h"
#include "update/acis_svr.h"
#include "support_http_server.h"
#include "update/http_date.h"
#include "update/http_download.h"
#include "update/update_sources.h"
#include "update_test_support.h"

using namespace updtest;

namespace {

class HostileServerTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(server_.Running()); }
  std::string Path(const std::string& name) const { return dir_.path().toStdString() + "/" + name; }
  // An existing copy with a known body and time.
  std::string OldCopy(const std::string& name) {
    const std::string f = Path(name);
    EXPECT_TRUE(WriteFile(f, "old copy", std::time_t(978307200)));  // 2001-01-01
    return f;
  }
  void ExpectOldCopy(const std::string& f, const std::string& what) {
    EXPECT_EQ(ReadFile(f), "old copy") << what;
    EXPECT_EQ(MTime(f), 978307200) << what;
    for (const auto& n : List(dir_.path().toStdString())) EXPECT_EQ(n.find(".part-"), std::string::npos) << what;
  }
  std::string ServerLog() {
    THttpDownload d;
    d.SetUrl(server_.Url("/__log"));
    d.SetFileName(Path("server.log"));
    EXPECT_TRUE(d.Execute());
    return ReadFile(Path("server.log"));
  }

  TTestHttpServer server_;
  QTemporaryDir dir_;
};

std::string UrlEncodeQuery(const std::string& s) {
  return QUrl::toPercentEncoding(QString::fromStdString(s)).toStdString();
}

double Seconds(std::chrono::steady_clock::time_point t0) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

}  // namespace

// A byte now and then restarts the receive time-out each time; the least transfer rate ends
// such a download as it ends a stalled one, in the body and in the headers alike.
TEST_F(HostileServerTest, TrickleFailsLikeAStall) {
  struct Case {
    const char* path;
    int code;
  } cases[] = {{"/trickle?n=600&ms=50", INET_ERROR_READ_FILE}, {"/trickle-head?ms=50", INET_ERROR_HTTP_QUERY_INFO}};
  for (const auto& c : cases) {
    const std::string f = OldCopy("trickle.txt");
    THttpDownload d;
    d.ReceiveTimeout = 1000;
    d.SetUrl(server_.Url(c.path));
    d.SetFileName(f);
    d.IfModifiedSince.clear();
    const auto t0 = std::chrono::steady_clock::now();
    EXPECT_FALSE(d.Execute()) << c.path;
    EXPECT_EQ(d.ErrorCode, c.code) << c.path;
    EXPECT_LT(Seconds(t0), 8.0) << c.path;  // the trickle would last 30 s and more
    EXPECT_TRUE(d.TooSlow) << c.path;
    ExpectOldCopy(f, c.path);
  }
  // Without a least rate the same trickle runs on (cut short here by the pump).
  THttpDownload patient;
  patient.ReceiveTimeout = 1000;
  patient.LowSpeedLimit = 0;
  patient.SetUrl(server_.Url("/trickle?n=600&ms=50"));
  patient.SetFileName(Path("patient.txt"));
  const auto t0 = std::chrono::steady_clock::now();
  patient.OnPump = [&](bool& cancel) { cancel = Seconds(t0) > 2.0; };
  EXPECT_FALSE(patient.Execute());
  EXPECT_EQ(patient.ErrorCode, INET_E_ABORT);
  // A slow but steady server is no trickle.
  THttpDownload steady;
  steady.ReceiveTimeout = 1000;
  steady.SetUrl(server_.Url("/slow?n=20&ms=50"));
  steady.SetFileName(Path("steady.bin"));
  EXPECT_TRUE(steady.Execute()) << steady.ErrorCode;
}

// "304 Not Modified" is the final answer even when it carries a Location: nothing is fetched
// from there and the copy stays. Two Content-Length headers that disagree leave the body's
// end unknown: refused. Two that agree are one length.
TEST_F(HostileServerTest, NotModifiedIsNeverFollowedAndLengthsMustAgree) {
  std::string f = OldCopy("page.htm");
  THttpDownload d;
  d.SetUrl(server_.Url("/moved-304"));
  d.SetFileName(f);
  EXPECT_FALSE(d.Execute());
  EXPECT_EQ(d.ErrorCode, INET_ERROR_HTTP_STATUS_CODE);
  EXPECT_EQ(d.ResponseHeaders.Values("StatusCode"), "304");
  ExpectOldCopy(f, "304");
  EXPECT_EQ(ServerLog().find("/file/moved.txt"), std::string::npos);
  // A real redirect still is followed.
  THttpDownload r;
  r.SetUrl(server_.Url("/redirect"));
  r.SetFileName(Path("redirected.txt"));
  EXPECT_TRUE(r.Execute()) << r.ErrorCode;

  for (const char* q : {"/two-lengths?a=10&b=20", "/two-lengths?a=20&b=10", "/two-lengths?a=20,10&b=20",
                        "/two-lengths?a=x&b=20"}) {
    f = OldCopy("lengths.bin");
    THttpDownload l;
    l.SetUrl(server_.Url(q));
    l.SetFileName(f);
    l.IfModifiedSince.clear();
    EXPECT_FALSE(l.Execute()) << q;
    EXPECT_EQ(l.ErrorCode, INET_ERROR_HTTP_QUERY_INFO) << q;
    ExpectOldCopy(f, q);
  }
  THttpDownload same;
  same.SetUrl(server_.Url("/two-lengths?a=20&b=20"));
  same.SetFileName(Path("same.bin"));
  ASSERT_TRUE(same.Execute()) << same.ErrorCode;
  EXPECT_EQ(ReadFile(Path("same.bin")), std::string(20, 'L'));

  THeaderList h;
  ParseResponseHeaders("HTTP/1.1 200 OK\r\nContent-Length: 5\r\ncontent-length: 5, 5\r\n", h);
  EXPECT_EQ(AnnouncedLength(h), 5);
  ParseResponseHeaders("HTTP/1.1 200 OK\r\n", h);
  EXPECT_EQ(AnnouncedLength(h), -1);
  ParseResponseHeaders("HTTP/1.1 200 OK\r\nContent-Length: -5\r\n", h);
  EXPECT_EQ(AnnouncedLength(h), -2);
}

// A Last-Modified more than a day ahead, or before 1990, is not stamped on the copy (which
// then keeps the time it was written), so later conditional requests still get new copies.
TEST_F(HostileServerTest, ImplausibleDatesAreNotStamped) {
  const std::time_t now = std::time(nullptr);
  struct Case {
    std::string lm;
    bool stamped;
  } cases[] = {{"future", false},
               {FormatHttpDate(now + 2 * 86400), false},
               {"Mon, 01 Jan 1985 00:00:00 GMT", false},
               {FormatHttpDate(now + 3600), true},
               {"Sun, 01 Jan 1995 00:00:00 GMT", true}};
  for (const auto& c : cases) {
    const std::string f = Path("dated.txt");
    ::unlink(f.c_str());
    const std::string url = server_.Url("/dated?lm=" + UrlEncodeQuery(c.lm));
    THttpDownload d;
    d.AdjustTimeStamp = true;
    d.SetUrl(url);
    d.SetFileName(f);
    ASSERT_TRUE(d.Execute()) << c.lm;
    std::time_t expected = 0;
    if (c.stamped) {
      ASSERT_TRUE(ParseHttpDate(c.lm, expected));
      EXPECT_EQ(MTime(f), expected) << c.lm;
    } else {
      EXPECT_LE(std::abs(MTime(f) - std::time(nullptr)), 60) << c.lm;
    }
    if (c.lm == "future") {
      // The next conditional request is not answered "not modified" for good.
      THttpDownload again;
      again.AdjustTimeStamp = true;
      again.SetUrl(url);
      again.SetFileName(f);
      EXPECT_NE(again.IfModifiedSince.find("9999"), 0u);
      EXPECT_TRUE(again.Execute()) << again.ErrorCode;
    }
  }
  EXPECT_TRUE(PlausibleHttpDate("Sun, 01 Jan 1995 00:00:00 GMT", now));
  EXPECT_FALSE(PlausibleHttpDate("Fri, 31 Dec 9999 23:59:59 GMT", now));
  EXPECT_FALSE(PlausibleHttpDate("", now));
}

// The disk nearly full: a body announced larger than the free space (less the reserve) is not
// fetched at all, and one that fills the disk while it comes is stopped there.
TEST_F(HostileServerTest, DownloadsStopWhenTheDiskIsNearlyFull) {
  std::atomic<int> asked{0};
  std::int64_t free = kDiskReserveBytes + 512 * 1024;
  TFreeSpaceProbe prev = SetFreeSpaceProbe([&](const std::string&) {
    ++asked;
    return free;
  });
  std::string f = OldCopy("big.bin");
  THttpDownload d;
  d.SetUrl(server_.Url("/big?size=1048576"));
  d.SetFileName(f);
  d.IfModifiedSince.clear();
  EXPECT_FALSE(d.Execute());
  EXPECT_TRUE(d.DiskFull);
  EXPECT_EQ(d.ErrorCode, INET_ERROR_READ_FILE);
  ExpectOldCopy(f, "announced");

  // Room for the announced length, but the disk fills while the body comes.
  free = kDiskReserveBytes + 64 * 1048576;
  int calls = 0;
  SetFreeSpaceProbe([&](const std::string&) { return ++calls <= 2 ? free : kDiskReserveBytes + 1000; });
  THttpDownload filling;
  filling.SetUrl(server_.Url("/big?size=16777216"));
  filling.SetFileName(f);
  filling.IfModifiedSince.clear();
  EXPECT_FALSE(filling.Execute());
  EXPECT_TRUE(filling.DiskFull);
  EXPECT_EQ(filling.ErrorCode, INET_ERROR_READ_FILE);
  ExpectOldCopy(f, "filling");

  // With room enough the same downloads go through.
  SetFreeSpaceProbe(nullptr);
  THttpDownload roomy;
  roomy.SetUrl(server_.Url("/big?size=1048576"));
  roomy.SetFileName(f);
  roomy.IfModifiedSince.clear();
  EXPECT_TRUE(roomy.Execute()) << roomy.ErrorCode;
  EXPECT_FALSE(roomy.DiskFull);
  SetFreeSpaceProbe(prev);
}

// A body over the download's size bound fails as a cut-off one does, whether the server
// announced its length or not, and leaves the old copy and no partial file; a body of exactly
// the bound is saved. The update's bounds follow the kind of file (pages, scripts, archives).
TEST_F(HostileServerTest, ABodyOverItsSizeBoundIsRefusedAndLeavesNothing) {
  for (const char* q : {"/big?size=300000", "/big?size=300000&nolength=1"}) {
    const std::string f = OldCopy("big.bin");
    THttpDownload d;
    d.MaxSize = 100000;
    d.SetUrl(server_.Url(q));
    d.SetFileName(f);
    d.IfModifiedSince.clear();
    EXPECT_FALSE(d.Execute()) << q;
    EXPECT_EQ(d.ErrorCode, INET_ERROR_READ_FILE) << q;
    EXPECT_TRUE(d.TooLarge) << q;
    EXPECT_FALSE(d.TooSlow) << q;
    ExpectOldCopy(f, q);
  }
  THttpDownload fits;
  fits.MaxSize = 100000;
  fits.SetUrl(server_.Url("/big?size=100000&nolength=1"));
  fits.SetFileName(Path("fits.bin"));
  EXPECT_TRUE(fits.Execute()) << fits.ErrorCode;
  EXPECT_EQ(fits.ContentLength, 100000);
  EXPECT_FALSE(fits.TooLarge);

}

// The update's downloads take the bound of the file's kind (pages, master scripts, archives),
// each set through its environment variable: a body one byte over its kind's bound is refused
// and leaves nothing, one of the bound's size is saved, whatever the other kinds' bounds are.
// Left unset, the bounds grow from pages to scripts to archives.
TEST_F(HostileServerTest, EachKindOfDownloadHasItsOwnBound) {
  struct TKind {
    const char* variable;
    std::string name;
    std::int64_t bound;
  };
  const TKind kinds[] = {{"QUILLMAR_MAX_PAGE_BYTES", "index2.htm", 3000},
                         {"QUILLMAR_MAX_SCRIPT_BYTES", "spec.cvo.utf8.txt", 5000},
                         {"QUILLMAR_MAX_ARCHIVE_BYTES", "acis.ZIP", 7000}};
  for (const auto& k : kinds) ::setenv(k.variable, std::to_string(k.bound).c_str(), 1);
  TOptionData options(Path("app/"));
  for (const auto& k : kinds) {
    SCOPED_TRACE(k.name);
    const std::string f = Path("kind-" + k.name);
    TAcisSvr over(options);
    EXPECT_FALSE(over.Download(server_.Url("/big/" + k.name + "?size=" + std::to_string(k.bound + 1)), f));
    EXPECT_TRUE(over.TooLarge);
    EXPECT_FALSE(Exists(f));
    TAcisSvr at(options);
    EXPECT_TRUE(at.Download(server_.Url("/big/" + k.name + "?size=" + std::to_string(k.bound)), f));
    EXPECT_FALSE(at.TooLarge);
    EXPECT_EQ(Exists(f) ? std::int64_t(ReadFile(f).size()) : -1, k.bound);
  }
  for (const auto& k : kinds) ::unsetenv(k.variable);
  EXPECT_LT(DownloadSizeBound("https://h/ddata/index2.htm"), DownloadSizeBound("https://h/data/spec.cvo.utf8.txt"));
  EXPECT_LT(DownloadSizeBound("https://h/data/spec.cvo.utf8.txt"), DownloadSizeBound("https://h/ddata/data/%E7%99%BB.lzh"));
}
