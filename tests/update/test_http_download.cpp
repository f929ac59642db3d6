// Downloads against a real HTTP server on 127.0.0.1 (tests/update/http_test_server.py).
#include <gtest/gtest.h>
#include <unistd.h>

#include <QFile>
#include <QTemporaryDir>
#include <chrono>
#include <vector>

#include "foundation/options.h"
#include "support_http_server.h"
#include "update/download_settings.h"
#include "update/http_date.h"
#include "update/http_download.h"
#include "update_test_support.h"

using namespace updtest;

namespace {

const char* const kServerDate = "Wed, 21 Oct 2015 07:28:00 GMT";
const std::time_t kServerTime = 1445412480;  // the same instant

// An unused port: bind, read it back, close.
int DeadPort() {
  TTestHttpServer probe;
  return probe.Port();  // the server is gone once probe is destroyed
}

class HttpDownloadTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server_.Running()) << "the loopback test server did not start";
    ASSERT_TRUE(dir_.isValid());
  }
  std::string Path(const std::string& name) const { return dir_.path().toStdString() + "/" + name; }
  std::string ServerLog() {
    THttpDownload d;
    d.SetUrl(server_.Url("/__log"));
    d.SetFileName(Path("server.log"));
    EXPECT_TRUE(d.Execute());
    std::string log = ReadFile(Path("server.log"));
    ::unlink(Path("server.log").c_str());
    return log;
  }

  TTestHttpServer server_;
  QTemporaryDir dir_;
};

}  // namespace

TEST(HttpDate, ParsesTheThreeFormsAndRejectsOthers) {
  struct Case {
    const char* text;
    bool ok;
  } cases[] = {
      {"Wed, 21 Oct 2015 07:28:00 GMT", true},
      {"  Wed, 21 Oct 2015 07:28:00 GMT ", true},
      {"Wednesday, 21-Oct-15 07:28:00 GMT", true},
      {"Wed Oct 21 07:28:00 2015", true},
      {"wed, 21 oct 2015 07:28:00 gmt", true},
      {"", false},
      {"yesterday", false},
      {"Wed, 31 Feb 2015 07:28:00 GMT", false},
      {"Wed, 21 Oct 2015 25:28:00 GMT", false},
      {"Wed, 21 Oct 2015 07:28:00 GMT junk", false},
      {"Wed, 21 Foo 2015 07:28:00 GMT", false},
      {"Wed, 21 Oct 2015 07:28:00 JST", false},
  };
  for (const auto& c : cases) {
    std::time_t t = 0;
    EXPECT_EQ(ParseHttpDate(c.text, t), c.ok) << c.text;
    if (c.ok) {
      EXPECT_EQ(t, kServerTime) << c.text;
    }
  }
  EXPECT_EQ(FormatHttpDate(kServerTime), kServerDate);
  EXPECT_EQ(FormatHttpDate(0), "Thu, 01 Jan 1970 00:00:00 GMT");
}

TEST(HttpDate, FileTimesRoundTripAndFailCleanly) {
  QTemporaryDir dir;
  std::string f = dir.path().toStdString() + "/a.txt";
  EXPECT_EQ(FileHttpTime(f), "");  // no file
  EXPECT_EQ(FileHttpTime(dir.path().toStdString()), "");  // a folder is no file
  EXPECT_FALSE(SetFileHttpTime(f, kServerDate));
  ASSERT_TRUE(WriteFile(f, "x"));
  std::time_t before = MTime(f);
  EXPECT_FALSE(SetFileHttpTime(f, ""));
  EXPECT_FALSE(SetFileHttpTime(f, "not a date"));
  EXPECT_EQ(MTime(f), before);
  EXPECT_TRUE(SetFileHttpTime(f, kServerDate));
  EXPECT_EQ(MTime(f), kServerTime);
  EXPECT_EQ(FileHttpTime(f), kServerDate);
}

TEST(Base64, StandardVectors) {
  const std::pair<std::string, std::string> cases[] = {
      {"", ""},         {"f", "Zg=="},         {"fo", "Zm8="},
      {"foo", "Zm9v"},  {"foob", "Zm9vYg=="}, {"fooba", "Zm9vYmE="},
      {"foobar", "Zm9vYmFy"}, {"user:secret", "dXNlcjpzZWNyZXQ="},
      {std::string("\xff\xfe\x00", 3), "//4A"},
  };
  for (const auto& [in, out] : cases) EXPECT_EQ(Base64Encode(in), out) << in;
}

TEST(ResponseHeaders, StatusItemsAndValuesKeepTheirText) {
  THeaderList h;
  ParseResponseHeaders(
      "HTTP/1.1 404 Not Found\r\nContent-Length: 12\r\nX-Note: time: 10:30: done\r\n"
      "X-Folded: one\r\n  two\r\nlast-modified: Wed, 21 Oct 2015 07:28:00 GMT\r\nodd line\r\n\r\n",
      h);
  EXPECT_EQ(h.Values("HttpVersion"), "1.1");
  EXPECT_EQ(h.Values("StatusCode"), "404");
  EXPECT_EQ(h.Values("StatusText"), "Not Found");
  EXPECT_EQ(h.Values("content-length"), "12");
  EXPECT_EQ(h.Values("X-Note"), "time: 10:30: done");
  EXPECT_EQ(h.Values("X-Folded"), "one two");
  EXPECT_EQ(h.Values("Last-Modified"), kServerDate);
  EXPECT_EQ(h.Values("Missing"), "");
  EXPECT_EQ(h[h.Count() - 1], "odd line");

  ParseResponseHeaders("HTTP/2 200\n", h);
  EXPECT_EQ(h.Values("HttpVersion"), "2");
  EXPECT_EQ(h.Values("StatusCode"), "200");
  EXPECT_EQ(h.Values("StatusText"), "");
}

TEST(ProxyMapping, WindowsFormsReadByCurl) {
  EXPECT_EQ(CurlProxyFor("proxy:8080", "http://x/"), "http://proxy:8080");
  EXPECT_EQ(CurlProxyFor("http://proxy:8080", "https://x/"), "http://proxy:8080");
  EXPECT_EQ(CurlProxyFor("http=a:1 https=b:2", "https://x/"), "http://b:2");
  EXPECT_EQ(CurlProxyFor("http=a:1;https=b:2", "http://x/"), "http://a:1");
  EXPECT_EQ(CurlProxyFor("https=b:2", "http://x/"), "http://b:2");
  EXPECT_EQ(CurlProxyFor("", "http://x/"), "");
  EXPECT_EQ(CurlNoProxyList("<local>"), "localhost,127.0.0.1,::1");
  EXPECT_EQ(CurlNoProxyList("*.example.com; intra 192.168.*;10.*.*"),
            "example.com,intra,192.168.0.0/16,10.0.0.0/8");
  EXPECT_EQ(CurlNoProxyList("a*b;*"), "*");
}

TEST_F(HttpDownloadTest, ConditionalCycleSavesThenRefusesWithoutTouchingTheCopy) {
  std::string f = Path("data.txt");
  THttpDownload d;
  EXPECT_EQ(d.UserAgent, "InetDownloader");
  EXPECT_EQ(d.ProgressInterval, 500u);
  EXPECT_EQ(d.BufferSize, TBufferSize::bsMedium);
  d.AdjustTimeStamp = true;
  d.SetUrl(server_.Url("/file/data.txt"));
  d.SetFileName(f);
  EXPECT_EQ(d.IfModifiedSince, "");  // no local copy: unconditional
  ASSERT_TRUE(d.Execute()) << d.ErrorCode;
  EXPECT_EQ(d.ErrorCode, 0);
  std::string body = ReadFile(f);
  EXPECT_EQ(body.substr(0, 23), "content of data.txt\ncon");
  EXPECT_EQ(d.ContentLength, std::int64_t(body.size()));
  EXPECT_EQ(d.ResponseHeaders.Values("StatusCode"), "200");
  EXPECT_EQ(d.ResponseHeaders.Values("StatusText"), "OK");
  EXPECT_EQ(d.ResponseHeaders.Values("Last-Modified"), kServerDate);
  EXPECT_EQ(MTime(f), kServerTime);

  // Url first, FileName second: the request is conditional on the copy just saved.
  THttpDownload again;
  again.SetUrl(server_.Url("/file/data.txt"));
  again.SetFileName(f);
  EXPECT_EQ(again.IfModifiedSince, kServerDate);
  EXPECT_FALSE(again.Execute());
  EXPECT_EQ(again.ErrorCode, INET_ERROR_HTTP_STATUS_CODE);
  EXPECT_EQ(again.ResponseHeaders.Values("StatusCode"), "304");
  EXPECT_EQ(ReadFile(f), body);
  EXPECT_EQ(MTime(f), kServerTime);
  // Setting the address again forgets the condition and the last answer.
  again.SetUrl(server_.Url("/file/data.txt"));
  EXPECT_EQ(again.IfModifiedSince, "");
  EXPECT_EQ(again.ResponseHeaders.Count(), 0u);
  EXPECT_EQ(again.ContentLength, 0);

  // An entity tag alone makes the request conditional too.
  THttpDownload tagged;
  tagged.SetUrl(server_.Url("/file/other.txt"));
  tagged.SetFileName(Path("other.txt"));
  tagged.IfNoneMatch = "\"qm-etag-1\"";
  EXPECT_FALSE(tagged.Execute());
  EXPECT_EQ(tagged.ResponseHeaders.Values("StatusCode"), "304");
  EXPECT_TRUE(ReadFile(Path("other.txt")).empty());

  // Without AdjustTimeStamp the file keeps the time of writing.
  THttpDownload plain;
  plain.SetUrl(server_.Url("/file/plain.txt"));
  plain.SetFileName(Path("plain.txt"));
  ASSERT_TRUE(plain.Execute());
  EXPECT_GT(MTime(Path("plain.txt")), kServerTime + 3600);
  EXPECT_EQ(List(dir_.path().toStdString()), (std::vector<std::string>{"data.txt", "plain.txt"}));
}

TEST_F(HttpDownloadTest, FailuresKeepTheOldCopyAndLeaveNoTemporaryFiles) {
  int dead = DeadPort();
  ASSERT_GT(dead, 0);
  struct Case {
    std::string url;
    int code;
    const char* status;
  } cases[] = {
      {server_.Url("/missing"), INET_ERROR_HTTP_STATUS_CODE, "404"},
      {server_.Url("/empty"), INET_ERROR_READ_FILE, "200"},
      {server_.Url("/truncated"), INET_ERROR_READ_FILE, "200"},
      {server_.Url("/redirect-loop"), INET_ERROR_OPEN_URL, ""},
      {"http://127.0.0.1:" + std::to_string(dead) + "/file/x", INET_ERROR_OPEN_URL, ""},
      {"ftp://127.0.0.1/file/x", INET_ERROR_OPEN_URL, ""},
  };
  std::string f = Path("keep.txt");
  for (const auto& c : cases) {
    ASSERT_TRUE(WriteFile(f, "old copy"));
    ASSERT_TRUE(SetFileHttpTime(f, "Mon, 01 Jan 2001 00:00:00 GMT"));
    THttpDownload d;
    d.AdjustTimeStamp = true;
    d.SetUrl(c.url);
    d.FileName();
    d.SetFileName(f);
    d.IfModifiedSince.clear();  // ask unconditionally: the server must send its answer
    EXPECT_FALSE(d.Execute()) << c.url;
    EXPECT_EQ(d.ErrorCode, c.code) << c.url;
    EXPECT_EQ(d.ResponseHeaders.Values("StatusCode"), c.status) << c.url;
    EXPECT_EQ(ReadFile(f), "old copy") << c.url;
    EXPECT_EQ(MTime(f), 978307200) << c.url;
    EXPECT_EQ(List(dir_.path().toStdString()), std::vector<std::string>{"keep.txt"}) << c.url;
  }
  THttpDownload missing;
  missing.SetUrl(server_.Url("/missing"));
  missing.SetFileName(f);
  missing.IfModifiedSince.clear();
  missing.Execute();
  EXPECT_EQ(missing.ResponseHeaders.Values("StatusText"), "Not Found");
  EXPECT_EQ(missing.ResponseHeaders.Values("HttpVersion"), "1.1");

  // A folder that does not exist is a failed save, not a crash.
  THttpDownload nowhere;
  nowhere.SetUrl(server_.Url("/file/x"));
  nowhere.SetFileName(Path("no/such/folder/x.txt"));
  EXPECT_FALSE(nowhere.Execute());
  EXPECT_EQ(nowhere.ErrorCode, INET_ERROR_READ_FILE);
  THttpDownload unnamed;
  unnamed.SetUrl(server_.Url("/file/x"));
  EXPECT_FALSE(unnamed.Execute());
  EXPECT_EQ(unnamed.ErrorCode, INET_ERROR_READ_FILE);
}

TEST_F(HttpDownloadTest, RedirectsHeadersAndRequestContents) {
  THttpDownload d;
  d.SetUrl(server_.Url("/redirect"));
  d.SetFileName(Path("r.txt"));
  ASSERT_TRUE(d.Execute()) << d.ErrorCode;
  EXPECT_EQ(ReadFile(Path("r.txt")).substr(0, 29), "content of redirected.txt\ncon");
  EXPECT_EQ(d.ResponseHeaders.Values("StatusCode"), "200");  // the final answer's headers
  EXPECT_EQ(d.ResponseHeaders.Values("Location"), "");

  THttpDownload colon;
  colon.SetUrl(server_.Url("/colon"));
  colon.SetFileName(Path("c.txt"));
  ASSERT_TRUE(colon.Execute());
  EXPECT_EQ(colon.ResponseHeaders.Values("X-Note"), "time: 10:30: done");

  // The request as the server saw it: agent, conditions, and no proxy credentials for the
  // origin server when no proxy is in use.
  ASSERT_TRUE(WriteFile(Path("echo.txt"), "old"));
  ASSERT_TRUE(SetFileHttpTime(Path("echo.txt"), kServerDate));
  THttpDownload echo;
  echo.SetUrl(server_.Url("/echo"));
  echo.SetFileName(Path("echo.txt"));
  echo.IfNoneMatch = "\"tag\"";
  echo.ProxyUsername = "user";
  echo.ProxyPassword = "secret";
  echo.AdjustTimeStamp = true;  // the answer has no Last-Modified: the file keeps its write time
  ASSERT_TRUE(echo.Execute());
  EXPECT_GT(MTime(Path("echo.txt")), kServerTime + 3600);
  std::string req = ReadFile(Path("echo.txt"));
  EXPECT_NE(req.find("GET /echo HTTP/1.1"), std::string::npos) << req;
  EXPECT_NE(req.find("User-Agent: InetDownloader"), std::string::npos) << req;
  EXPECT_NE(req.find(std::string("If-Modified-Since: ") + kServerDate), std::string::npos) << req;
  EXPECT_NE(req.find("If-None-Match: \"tag\""), std::string::npos) << req;
  EXPECT_EQ(req.find("Proxy-Authorization"), std::string::npos) << req;
}

TEST_F(HttpDownloadTest, ProgressPhasesCancelAndStalledServer) {
  std::string f = Path("slow.bin");
  struct Event {
    std::uint32_t progress, max, phase;
  };
  std::vector<Event> events;
  THttpDownload d;
  d.ProgressInterval = 0;
  d.SetUrl(server_.Url("/slow?n=8&ms=30"));
  d.SetFileName(f);
  d.OnDownloadProgress = [&](TInetDownload& sender, std::uint32_t p, std::uint32_t max, std::uint32_t phase,
                             const std::string& text, bool& cancel) {
    EXPECT_EQ(&sender, &d);
    EXPECT_EQ(text, d.Url());
    events.push_back({p, max, phase});
  };
  ASSERT_TRUE(d.Execute()) << d.ErrorCode;
  ASSERT_GE(events.size(), 3u);
  EXPECT_EQ(events.front().phase, INET_PROGRESS_BEGIN);
  EXPECT_EQ(events.front().progress, 0u);
  EXPECT_EQ(events.back().phase, INET_PROGRESS_END);
  EXPECT_EQ(events.back().progress, 8u * 1024);
  for (size_t i = 1; i + 1 < events.size(); ++i) {
    EXPECT_EQ(events[i].phase, INET_PROGRESS_DATA);
    EXPECT_GE(events[i].progress, events[i - 1].progress);
    EXPECT_EQ(events[i].max, 8u * 1024);
  }

  // Throttled: with a long interval only the first and last events come.
  events.clear();
  THttpDownload quiet;
  quiet.ProgressInterval = 60000;
  quiet.SetUrl(server_.Url("/slow?n=4&ms=20"));
  quiet.SetFileName(Path("quiet.bin"));
  quiet.OnDownloadProgress = d.OnDownloadProgress;
  quiet.OnDownloadProgress = [&](TInetDownload&, std::uint32_t p, std::uint32_t max, std::uint32_t phase,
                                 const std::string&, bool&) { events.push_back({p, max, phase}); };
  ASSERT_TRUE(quiet.Execute());
  ASSERT_EQ(events.size(), 2u);

  // Cancel during the data phase: E_ABORT, the earlier copy stays.
  std::string before = ReadFile(f);
  THttpDownload cancelled;
  cancelled.ProgressInterval = 0;
  cancelled.SetUrl(server_.Url("/slow?n=50&ms=20"));
  cancelled.SetFileName(f);
  cancelled.IfModifiedSince.clear();
  cancelled.OnDownloadProgress = [&](TInetDownload&, std::uint32_t, std::uint32_t, std::uint32_t phase,
                                     const std::string&, bool& cancel) {
    if (phase == INET_PROGRESS_DATA) cancel = true;
  };
  EXPECT_FALSE(cancelled.Execute());
  EXPECT_EQ(cancelled.ErrorCode, INET_E_ABORT);
  EXPECT_EQ(ReadFile(f), before);

  // A server that stops sending: the receive time-out ends the download.
  auto t0 = std::chrono::steady_clock::now();
  THttpDownload stalled;
  stalled.ReceiveTimeout = 1000;
  stalled.SetUrl(server_.Url("/stall"));
  stalled.SetFileName(f);
  EXPECT_FALSE(stalled.Execute());
  EXPECT_EQ(stalled.ErrorCode, INET_ERROR_READ_FILE);
  EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(10));
  EXPECT_EQ(ReadFile(f), before);

  // The pump runs while the server is silent, and can cancel.
  int pumps = 0;
  THttpDownload pumped;
  pumped.SetUrl(server_.Url("/stall"));
  pumped.SetFileName(f);
  pumped.OnPump = [&](bool& cancel) { cancel = ++pumps >= 5; };
  t0 = std::chrono::steady_clock::now();
  EXPECT_FALSE(pumped.Execute());
  EXPECT_EQ(pumped.ErrorCode, INET_E_ABORT);
  EXPECT_EQ(pumps, 5);
  EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(5));
  EXPECT_EQ(List(dir_.path().toStdString()), (std::vector<std::string>{"quiet.bin", "slow.bin"}));
}

TEST_F(HttpDownloadTest, ProxyWithBasicAuthorisationKeepsHttpsAndHidesThePassword) {
  std::vector<std::string> trace;
  THttpDownload d;
  d.ProxyName = server_.HostPort();
  d.ProxyBypass = "<local>";
  d.ProxyUsername = "user";
  d.ProxyPassword = "secret";
  d.OnDebugLog = [&](const std::string& l) { trace.push_back(l); };
  d.SetUrl("http://origin.qm.invalid/file/p.txt");
  d.SetFileName(Path("p.txt"));
  ASSERT_TRUE(d.Execute()) << d.ErrorCode;
  EXPECT_EQ(ReadFile(Path("p.txt")).substr(0, 16), "content of p.txt");

  THttpDownload wrong;
  wrong.ProxyName = server_.HostPort();
  wrong.ProxyUsername = "user";
  wrong.ProxyPassword = "guess";
  wrong.SetUrl("http://origin.qm.invalid/file/q.txt");
  wrong.SetFileName(Path("q.txt"));
  EXPECT_FALSE(wrong.Execute());
  EXPECT_EQ(wrong.ErrorCode, INET_ERROR_HTTP_STATUS_CODE);
  EXPECT_EQ(wrong.ResponseHeaders.Values("StatusCode"), "407");

  // https stays https: the proxy sees a tunnel request with the credentials, never a
  // plain-text GET of the address.
  THttpDownload secure;
  secure.ProxyName = server_.HostPort();
  secure.ProxyUsername = "user";
  secure.ProxyPassword = "secret";
  secure.OnDebugLog = d.OnDebugLog;
  secure.SetUrl("https://origin.qm.invalid/file/s.txt");
  secure.SetFileName(Path("s.txt"));
  EXPECT_FALSE(secure.Execute());
  EXPECT_EQ(secure.ErrorCode, INET_ERROR_OPEN_URL);
  EXPECT_EQ(secure.Url(), "https://origin.qm.invalid/file/s.txt");

  std::string log = ServerLog();
  EXPECT_NE(log.find("GET http://origin.qm.invalid/file/p.txt Basic dXNlcjpzZWNyZXQ="), std::string::npos) << log;
  EXPECT_NE(log.find("CONNECT origin.qm.invalid:443 Basic dXNlcjpzZWNyZXQ="), std::string::npos) << log;
  EXPECT_EQ(log.find("GET http://origin.qm.invalid/file/s.txt"), std::string::npos) << log;

  ASSERT_FALSE(trace.empty());
  bool sawAuthLine = false;
  for (const auto& l : trace) {
    EXPECT_EQ(l.find("secret"), std::string::npos) << l;
    EXPECT_EQ(l.find("dXNlcjpzZWNyZXQ="), std::string::npos) << l;
    if (l.find("Proxy-Authorization: Basic ") == 0) sawAuthLine = true;
  }
  EXPECT_TRUE(sawAuthLine);
  EXPECT_EQ(d.RequestHeadersText().find("dXNlcjpzZWNyZXQ="), std::string::npos);
  EXPECT_NE(d.RequestHeadersText(false).find("Proxy-Authorization: Basic dXNlcjpzZWNyZXQ="), std::string::npos);
}

TEST_F(HttpDownloadTest, HeaderProbeAndModifiedCheck) {
  std::string f = Path("probe.txt");
  std::string status;
  // No local copy: no date is sent at all, and the server's 200 means "download".
  EXPECT_TRUE(CheckModified(server_.Url("/file/probe.txt"), f, status));
  EXPECT_EQ(status, "200 OK");
  ASSERT_TRUE(WriteFile(f, "copy"));
  ASSERT_TRUE(SetFileHttpTime(f, "Thu, 01 Jan 2026 00:00:00 GMT"));
  EXPECT_FALSE(CheckModified(server_.Url("/file/probe.txt"), f, status));
  EXPECT_EQ(status, "304 Not Modified");
  ASSERT_TRUE(SetFileHttpTime(f, "Thu, 01 Jan 2009 00:00:00 GMT"));
  EXPECT_TRUE(CheckModified(server_.Url("/file/probe.txt"), f, status));
  EXPECT_FALSE(CheckModified("http://127.0.0.1:" + std::to_string(DeadPort()) + "/", f, status));
  EXPECT_EQ(status, "StatusCode なし サーバ接続失敗!");

  std::string log = ServerLog();
  EXPECT_NE(log.find("GET /file/probe.txt - ims=-"), std::string::npos) << log;
  EXPECT_EQ(log.find("ims=\n"), std::string::npos) << log;
  EXPECT_EQ(log.find("ims= "), std::string::npos) << log;

  THeaderList h;
  EXPECT_TRUE(GetHttpHeaders(server_.Url("/missing"), h, "X-Test: 1", "", "", "InetDownloader"));
  EXPECT_EQ(h.Values("StatusCode"), "404");
  EXPECT_FALSE(GetHttpHeaders("http://127.0.0.1:" + std::to_string(DeadPort()) + "/", h, "", "", "", "x"));
  EXPECT_EQ(h.Lines(), std::vector<std::string>{"Error: Open URL"});
}

TEST_F(HttpDownloadTest, OfflineStatesAndSettingsFromOptions) {
  struct Case {
    TInetConnectedState state;
    TOfflineOption option;
    int code;
  } cases[] = {
      {{false, false}, TOfflineOption::ooNormal, INET_ERROR_NOT_CONNECTED},
      {{true, true}, TOfflineOption::ooError, INET_ERROR_OFFLINE},
      {{true, true}, TOfflineOption::ooConnect, 0},
      {{true, true}, TOfflineOption::ooNormal, 0},
  };
  for (const auto& c : cases) {
    auto prev = SetInetConnectedStateProvider([&] { return c.state; });
    THttpDownload d;
    d.OfflineOption = c.option;
    d.SetUrl(server_.Url("/file/o.txt"));
    d.SetFileName(Path("o.txt"));
    d.IfModifiedSince.clear();
    EXPECT_EQ(d.Execute(), c.code == 0);
    EXPECT_EQ(d.ErrorCode, c.code);
    SetInetConnectedStateProvider(prev);
  }

  TOptionData options("/tmp/qm-options-unused/");
  options.ReadTimeout = 1500;
  options.ReceiveTimeout = 2500;
  options.RecvBufferSize = 0;
  options.OoConnect = true;
  options.ProxyUsername = "user";
  options.ProxyPassword = "secret";
  options.ProxyManual = true;
  options.ProxyName = "proxy:8080";
  options.ProxyBypass = "<local>";
  options.UseProxyAuth = false;
  TDownloadNetSettings s = NetSettingsFromOptions(options);
  EXPECT_EQ(s.ProxyUsername, "");  // the manual proxy counts only with authorisation on
  EXPECT_FALSE(s.ProxyManual);
  THttpDownload d;
  ApplyNetSettings(d, s);
  EXPECT_EQ(d.ProxyName, "");
  EXPECT_EQ(d.ConnectTimeout, 1500);
  EXPECT_EQ(d.ReceiveTimeout, 2500);
  EXPECT_EQ(d.BufferSize, TBufferSize::bsLarge);
  EXPECT_EQ(d.OfflineOption, TOfflineOption::ooConnect);
  options.UseProxyAuth = true;
  options.RecvBufferSize = 2;
  s = NetSettingsFromOptions(options);
  ApplyNetSettings(d, s);
  EXPECT_EQ(d.ProxyName, "proxy:8080");
  EXPECT_EQ(d.ProxyBypass, "<local>");
  EXPECT_EQ(d.ProxyUsername, "user");
  EXPECT_EQ(d.ProxyPassword, "secret");
  EXPECT_EQ(d.BufferSize, TBufferSize::bsSmall);
  std::string text = NetSettingsLogText(s);
  EXPECT_NE(text.find("ProxyName: proxy:8080"), std::string::npos);
  EXPECT_EQ(text.find("secret"), std::string::npos);
}

TEST_F(HttpDownloadTest, HttpsNeverFallsBackToPlainHttp) {
  // A certificate for 127.0.0.1 made for this run.
  std::string cert = Path("cert.pem"), key = Path("key.pem");
  std::string cmd = "openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj /CN=127.0.0.1 -addext "
                    "subjectAltName=IP:127.0.0.1 -keyout '" + key + "' -out '" + cert + "' >/dev/null 2>&1";
  if (std::system(cmd.c_str()) != 0) GTEST_SKIP() << "openssl cannot make a test certificate";
  TTestHttpServer tls(/*root=*/"", cert, key);
  ASSERT_TRUE(tls.Running());

  THttpDownload d;
  d.CaBundle = cert;
  d.SetUrl(tls.Url("/file/secure.txt"));
  d.SetFileName(Path("secure.txt"));
  ASSERT_TRUE(d.Execute()) << d.ErrorCode;
  EXPECT_EQ(ReadFile(Path("secure.txt")).substr(0, 21), "content of secure.txt");

  // An https address that redirects to plain http is not followed.
  THttpDownload down;
  down.CaBundle = cert;
  down.SetUrl(tls.Url("/to-http?port=" + std::to_string(server_.Port())));
  down.SetFileName(Path("down.txt"));
  EXPECT_FALSE(down.Execute());
  EXPECT_EQ(down.ErrorCode, INET_ERROR_OPEN_URL);
  EXPECT_FALSE(QFile::exists(QString::fromStdString(Path("down.txt"))));

  // Through a proxy with credentials the address stays https: a tunnel carries the request,
  // and only the proxy sees the credentials.
  THttpDownload proxied;
  proxied.CaBundle = cert;
  proxied.ProxyName = server_.HostPort();
  proxied.ProxyBypass = "nothing.invalid";
  proxied.ProxyUsername = "user";
  proxied.ProxyPassword = "secret";
  proxied.SetUrl(tls.Url("/echo"));
  proxied.SetFileName(Path("tunnel.txt"));
  ASSERT_TRUE(proxied.Execute()) << proxied.ErrorCode;
  EXPECT_EQ(proxied.Url(), tls.Url("/echo"));
  std::string seen = ReadFile(Path("tunnel.txt"));
  EXPECT_NE(seen.find("GET /echo HTTP/1.1"), std::string::npos) << seen;
  EXPECT_EQ(seen.find("Proxy-Authorization"), std::string::npos) << seen;

  std::string log = ServerLog();
  EXPECT_NE(log.find("CONNECT 127.0.0.1:" + std::to_string(tls.Port()) + " Basic dXNlcjpzZWNyZXQ="),
            std::string::npos)
      << log;
  EXPECT_EQ(log.find("downgraded.txt"), std::string::npos) << log;
  EXPECT_EQ(log.find("GET http"), std::string::npos) << log;
}
