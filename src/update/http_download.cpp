#include "update/http_download.h"

#include <cstdint>

#include "foundation/disk_space.h"
#include "update/curl_transfer.h"
#include "update/http_date.h"
#include "update/http_text.h"
#include "update/temp_file_sink.h"

using namespace http_text;

namespace {

// Receive buffer handed to libcurl for each nominal read size. The nominal sizes are those of
// the Windows library; on a fast link reads that small cost more in system calls than the
// transfer itself, so each is scaled by the same factor and the choice keeps its meaning.
long CurlBufferFor(TBufferSize size) { return long(BufferSizeBytes(size)) * 128; }

// The step code for a transfer that ended without success.
int FailureStep(const CurlTransfer& t, CURLcode rc) {
  if (!t.statusSeen || t.redirectRefused || rc == CURLE_TOO_MANY_REDIRECTS) return INET_ERROR_OPEN_URL;
  if (!t.headersDone) return INET_ERROR_HTTP_QUERY_INFO;
  return INET_ERROR_READ_FILE;
}

// Headers given as one CRLF text: the proxy's own go to the proxy only.
void SplitRequestHeaders(const std::string& text, std::vector<std::string>& server,
                         std::vector<std::string>& proxy) {
  for (const auto& raw : SplitAny(text, "\r\n")) {
    std::string line = Trim(raw);
    if (line.empty()) continue;
    if (StartsWithNoCase(line, "Proxy-Authorization:")) proxy.push_back(line);
    else server.push_back(line);
  }
}

// The exchange as libcurl is to make it: address, proxy, time-outs, request headers.
CurlTransfer::Setup TransferSetup(const THttpDownload& d) {
  CurlTransfer::Setup setup;
  setup.url = d.Url();
  setup.userAgent = d.UserAgent;
  setup.proxyName = d.ProxyName;
  setup.proxyBypass = d.ProxyBypass;
  setup.connectTimeoutMs = d.ConnectTimeout;
  setup.receiveTimeoutMs = d.ReceiveTimeout;
  setup.lowSpeedLimit = long(d.LowSpeedLimit);
  setup.bufferSize = CurlBufferFor(d.BufferSize);
  setup.caBundle = d.CaBundle;
  SplitRequestHeaders(d.RequestHeadersText(false), setup.headers, setup.proxyHeaders);
  // A fresh copy from the origin server, never one from a cache on the way.
  setup.headers.push_back("Pragma: no-cache");
  setup.headers.push_back("Cache-Control: no-cache");
  return setup;
}

}  // namespace

int BufferSizeBytes(TBufferSize size) {
  switch (size) {
    case TBufferSize::bsSmall: return 1024;
    case TBufferSize::bsLarge: return 4096;
    default: return 2048;
  }
}

THttpDownload::THttpDownload() = default;

void THttpDownload::SetUrl(const std::string& url) {
  url_ = url;
  ResponseHeaders.Clear();
  ContentLength = 0;
  IfModifiedSince.clear();
}

void THttpDownload::SetFileName(const std::string& fileName) {
  fileName_ = fileName;
  IfModifiedSince = FileHttpTime(fileName);
}

std::string THttpDownload::RequestHeadersText(bool maskSecrets) const {
  std::string out;
  auto add = [&](const std::string& l) {
    if (!out.empty()) out += "\r\n";
    out += l;
  };
  if (!IfModifiedSince.empty()) add("If-Modified-Since: " + IfModifiedSince);
  if (!IfNoneMatch.empty()) add("If-None-Match: " + IfNoneMatch);
  if (!ProxyUsername.empty())
    add("Proxy-Authorization: Basic " + (maskSecrets ? std::string("********")
                                                     : Base64Encode(ProxyUsername + ":" + ProxyPassword)));
  return out;
}

// One attempt's state, from libcurl's callbacks to the verdict.
struct THttpDownload::TAttempt {
  explicit TAttempt(const std::string& file) : sink(file) {}
  TempFileSink sink;
  std::uint64_t received = 0;
  std::uint32_t progressMax = 0;
  bool cancel = false;
  bool diskError = false;
  bool refused = false;
  bool badLength = false;
};

void THttpDownload::TraceRequest() const {
  if (!OnDebugLog) return;
  OnDebugLog("GET " + url_);
  if (!ProxyName.empty())
    OnDebugLog("Proxy: " + ProxyName + " (bypass: " + (ProxyBypass.empty() ? "<local>" : ProxyBypass) + ")");
  for (const auto& l : SplitAny(RequestHeadersText(true), "\r\n")) OnDebugLog(l);
}

void THttpDownload::FireProgress(TAttempt& At, std::uint32_t Phase) {
  if (!OnDownloadProgress) return;
  OnDownloadProgress(*this, std::uint32_t(At.received), At.progressMax, Phase, url_, At.cancel);
}

bool THttpDownload::AcceptHeaders(const std::string& Raw, TAttempt& At) {
  ParseResponseHeaders(Raw, ResponseHeaders);
  ErrorCode = INET_ERROR_HTTP_STATUS_CODE;
  const std::int64_t announced = AnnouncedLength(ResponseHeaders);
  ContentLength = announced > 0 ? announced : 0;
  if (ResponseHeaders.Values("StatusCode") != "200") {
    At.refused = true;
    return false;  // the body of a refusal is not wanted
  }
  if (announced == -2) {  // lengths that disagree: where the body ends is anybody's guess
    At.badLength = true;
    return false;
  }
  if (MaxSize > 0 && announced > MaxSize) {
    TooLarge = true;
    return false;
  }
  if (announced > 0 && !RoomFor(fileName_, announced)) {
    DiskFull = true;
    return false;
  }
  ErrorCode = INET_ERROR_READ_FILE;
  At.progressMax = std::uint32_t(std::uint64_t(ContentLength) & 0xffffffffu);
  lastProgressTick_ = NowMs();
  FireProgress(At, INET_PROGRESS_BEGIN);
  return !At.cancel;
}

bool THttpDownload::ReceiveBlock(const char* Data, size_t Size, TAttempt& At) {
  if (MaxSize > 0 && At.received + Size > std::uint64_t(MaxSize)) {
    TooLarge = true;
    return false;
  }
  if (!At.sink.Write(Data, Size)) {
    At.diskError = true;
    return false;
  }
  At.received += Size;
  if (OnDownloadProgress) {
    std::uint64_t now = NowMs();
    if (now - lastProgressTick_ >= ProgressInterval) {
      lastProgressTick_ = now;
      FireProgress(At, INET_PROGRESS_DATA);
    }
  }
  return !At.cancel;
}

bool THttpDownload::Conclude(int Result, const CurlTransfer& t, TAttempt& At) {
  const CURLcode rc = CURLcode(Result);
  if (rc == CURLE_FAILED_INIT && !t.statusSeen) {
    ErrorCode = INET_ERROR_INTERNET_OPEN;
    return false;
  }
  if (t.cancelled || At.cancel) {
    ErrorCode = INET_E_ABORT;
    return false;
  }
  if (At.refused) {
    ErrorCode = INET_ERROR_HTTP_STATUS_CODE;
    return false;
  }
  if (At.badLength) {
    ErrorCode = INET_ERROR_HTTP_QUERY_INFO;
    if (OnDebugLog) OnDebugLog("Content-Length: conflicting values");
    return false;
  }
  if (TooLarge) {
    ErrorCode = INET_ERROR_READ_FILE;
    if (OnDebugLog) OnDebugLog("body larger than " + std::to_string(MaxSize) + " bytes");
    return false;
  }
  if (At.diskError || DiskFull || At.sink.DiskFull()) {
    DiskFull = DiskFull || At.sink.DiskFull();
    ErrorCode = INET_ERROR_READ_FILE;
    return false;
  }
  if (rc != CURLE_OK) {
    ErrorCode = FailureStep(t, rc);
    TooSlow = t.timedOut || rc == CURLE_OPERATION_TIMEDOUT;
    RedirectLoop = rc == CURLE_TOO_MANY_REDIRECTS;
    // Headers of a response that never completed say nothing.
    if (ErrorCode != INET_ERROR_READ_FILE && !t.headersDone) ResponseHeaders.Clear();
    if (OnDebugLog) OnDebugLog(std::string("curl: ") + curl_easy_strerror(rc));
    return false;
  }
  if (!t.headersDone) {
    ErrorCode = INET_ERROR_HTTP_QUERY_INFO;
    return false;
  }
  ErrorCode = INET_ERROR_READ_FILE;
  FireProgress(At, INET_PROGRESS_END);
  if (At.cancel) {
    ErrorCode = INET_E_ABORT;
    return false;
  }
  // An empty body, or one shorter than the server announced, is no copy of the file.
  if (At.received == 0) return false;
  if (ContentLength > 0 && At.received < std::uint64_t(ContentLength)) return false;
  const std::string lastModified = ResponseHeaders.Values("Last-Modified");
  if (!At.sink.Commit(AdjustTimeStamp && PlausibleHttpDate(lastModified) ? lastModified : std::string())) return false;
  ContentLength = std::int64_t(At.received);
  ErrorCode = 0;
  return true;
}

bool THttpDownload::Execute() {
  ErrorCode = INET_ERROR_NOT_CONNECTED;
  TInetConnectedState state = InetConnectedState();
  if (!state.connected) return false;
  ErrorCode = INET_ERROR_OFFLINE;
  if (state.offline && OfflineOption == TOfflineOption::ooError) return false;
  ResponseHeaders.Clear();
  ErrorCode = INET_ERROR_INTERNET_OPEN;
  DiskFull = false;
  TooLarge = false;
  TooSlow = false;
  RedirectLoop = false;

  const CurlTransfer::Setup setup = TransferSetup(*this);
  TraceRequest();
  CurlTransfer t;
  t.pump = &OnPump;
  TAttempt at(fileName_);
  t.onFinalHeaders = [this, &at](const std::string& raw) { return AcceptHeaders(raw, at); };
  t.onBody = [this, &at](const char* data, size_t size) { return ReceiveBlock(data, size, at); };
  return Conclude(int(t.Run(setup)), t, at);
}

bool GetHttpHeaders(const std::string& url, THeaderList& headers, const std::string& requestHeaders,
                    const std::string& proxyBypass, const std::string& proxyName,
                    const std::string& userAgent) {
  headers.Clear();
  CurlTransfer::Setup setup;
  setup.url = url;
  setup.userAgent = userAgent;
  setup.proxyName = proxyName;
  setup.proxyBypass = proxyBypass;
  SplitRequestHeaders(requestHeaders, setup.headers, setup.proxyHeaders);
  setup.headers.push_back("Pragma: no-cache");
  setup.headers.push_back("Cache-Control: no-cache");
  CurlTransfer t;
  // Only the headers are wanted: stop as soon as they are complete.
  t.onFinalHeaders = [](const std::string&) { return false; };
  CURLcode rc = t.Run(setup);
  if (rc == CURLE_FAILED_INIT && !t.statusSeen) {
    headers.Add("Error: Internet Open");
    return false;
  }
  if (!t.statusSeen || t.redirectRefused) {
    headers.Add("Error: Open URL");
    return false;
  }
  if (!t.headersDone) {
    headers.Add("Error: HTTP Query Info");
    return false;
  }
  ParseResponseHeaders(t.rawHeaders, headers);
  return true;
}

bool CheckModified(const std::string& url, const std::string& fileName, std::string& statusText) {
  std::string date = FileHttpTime(fileName);
  std::string request = date.empty() ? std::string() : "If-Modified-Since: " + date;
  THeaderList h;
  GetHttpHeaders(url, h, request, "<local>", "", "InetDownloader");
  std::string code = h.Values("StatusCode");
  if (code.empty()) {
    statusText = "StatusCode なし サーバ接続失敗!";
    return false;
  }
  statusText = code + " " + h.Values("StatusText");
  return code == "200";
}
