#include "update/http_download.h"

#include <curl/curl.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

#include "foundation/disk_space.h"
#include "foundation/stale_files.h"
#include "update/http_date.h"

namespace {

std::uint64_t NowMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; }

bool StartsWithNoCase(const std::string& s, const char* prefix) {
  size_t n = std::strlen(prefix);
  if (s.size() < n) return false;
  for (size_t i = 0; i < n; ++i)
    if (Lower(s[i]) != Lower(prefix[i])) return false;
  return true;
}

bool EqualNoCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (Lower(a[i]) != Lower(b[i])) return false;
  return true;
}

std::string Trim(const std::string& s) {
  size_t b = 0, e = s.size();
  while (b < e && (s[b] == ' ' || s[b] == '\t' || s[b] == '\r' || s[b] == '\n')) ++b;
  while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t' || s[e - 1] == '\r' || s[e - 1] == '\n')) --e;
  return s.substr(b, e - b);
}

std::vector<std::string> SplitAny(const std::string& s, const char* seps) {
  std::vector<std::string> out;
  std::string cur;
  for (char c : s) {
    if (std::strchr(seps, c)) {
      if (!cur.empty()) out.push_back(cur);
      cur.clear();
    } else {
      cur += c;
    }
  }
  if (!cur.empty()) out.push_back(cur);
  return out;
}

void GlobalInit() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

// Receive buffer handed to libcurl for each nominal read size. The nominal sizes are those of
// the Windows library; on a fast link reads that small cost more in system calls than the
// transfer itself, so each is scaled by the same factor and the choice keeps its meaning.
long CurlBufferFor(TBufferSize size) { return long(BufferSizeBytes(size)) * 128; }

// One HTTP exchange on libcurl's multi interface, so the pump runs every ~50 ms whatever the
// server does. The caller decides, when the final response's headers are complete, whether
// the body is wanted, and receives the body in pieces.
class CurlTransfer {
 public:
  struct Setup {
    std::string url;
    std::string userAgent;
    std::string proxyName;    // WinInet form; empty: the environment's proxy
    std::string proxyBypass;  // WinInet form
    std::vector<std::string> headers;       // to the server
    std::vector<std::string> proxyHeaders;  // to the proxy only
    int connectTimeoutMs = 0;
    int receiveTimeoutMs = 0;
    long lowSpeedLimit = 0;  // bytes per second over the receive time-out; 0: none
    long bufferSize = 65536;
    std::string caBundle;  // empty: the system's authorities
  };
  // Return false to stop the transfer.
  std::function<bool(const std::string& rawHeaders)> onFinalHeaders;
  std::function<bool(const char* data, size_t size)> onBody;
  TDownloadPumpEvent* pump = nullptr;

  bool statusSeen = false;      // a status line arrived
  bool headersDone = false;     // the final response's header block is complete
  bool bodyWanted = false;      // onFinalHeaders accepted the body
  bool stoppedByCaller = false;  // a callback asked to stop
  bool cancelled = false;        // the pump asked to stop
  bool redirectRefused = false;  // an https address redirected to plain http
  bool timedOut = false;         // nothing arrived for the receive time-out
  std::string rawHeaders;        // header block of the latest response

  CURLcode Run(const Setup& s) {
    GlobalInit();
    CURL* e = curl_easy_init();
    if (!e) return CURLE_FAILED_INIT;
    easy_ = e;
    curl_slist* hdr = nullptr;
    curl_slist* phdr = nullptr;
    for (const auto& h : s.headers) hdr = curl_slist_append(hdr, h.c_str());
    for (const auto& h : s.proxyHeaders) phdr = curl_slist_append(phdr, h.c_str());
    curl_easy_setopt(e, CURLOPT_URL, s.url.c_str());
    curl_easy_setopt(e, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(e, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(e, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(e, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(e, CURLOPT_MAXREDIRS, 10L);
    curl_easy_setopt(e, CURLOPT_HTTP_VERSION, long(CURL_HTTP_VERSION_1_1));
    curl_easy_setopt(e, CURLOPT_USERAGENT, s.userAgent.c_str());
    curl_easy_setopt(e, CURLOPT_HTTPHEADER, hdr);
    curl_easy_setopt(e, CURLOPT_PROXYHEADER, phdr);
    curl_easy_setopt(e, CURLOPT_HEADEROPT, long(CURLHEADER_SEPARATE));
    curl_easy_setopt(e, CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);
    curl_easy_setopt(e, CURLOPT_BUFFERSIZE, s.bufferSize);
    if (!s.caBundle.empty()) curl_easy_setopt(e, CURLOPT_CAINFO, s.caBundle.c_str());
    curl_easy_setopt(e, CURLOPT_CONNECTTIMEOUT_MS, long(s.connectTimeoutMs > 0 ? s.connectTimeoutMs : 60000));
    // A server that stops sending for the receive time-out ends the transfer (checked in the
    // loop below: libcurl's own low-speed check averages over seconds and reacts late).
    const std::uint64_t recvTimeout = s.receiveTimeoutMs > 0 ? std::uint64_t(s.receiveTimeoutMs) : 60000;
    // A server that keeps the transfer alive with a byte now and then (each one would restart
    // the check above) fails when the rate stays under the limit for the receive time-out.
    if (s.lowSpeedLimit > 0) {
      curl_easy_setopt(e, CURLOPT_LOW_SPEED_LIMIT, s.lowSpeedLimit);
      curl_easy_setopt(e, CURLOPT_LOW_SPEED_TIME, long(std::max<std::uint64_t>(1, (recvTimeout + 999) / 1000)));
    }
    std::string proxy, noProxy;
    if (!s.proxyName.empty()) {
      proxy = CurlProxyFor(s.proxyName, s.url);
      noProxy = CurlNoProxyList(s.proxyBypass.empty() ? "<local>" : s.proxyBypass);
      curl_easy_setopt(e, CURLOPT_PROXY, proxy.c_str());
    } else {
      // The system's setting is the environment's; loopback never goes through a proxy.
      const char* env = std::getenv("no_proxy");
      if (!env) env = std::getenv("NO_PROXY");
      noProxy = env ? std::string(env) : std::string();
      if (noProxy != "*") noProxy += std::string(noProxy.empty() ? "" : ",") + "localhost,127.0.0.1,::1";
    }
    curl_easy_setopt(e, CURLOPT_NOPROXY, noProxy.c_str());
    curl_easy_setopt(e, CURLOPT_HEADERFUNCTION, &CurlTransfer::HeaderCb);
    curl_easy_setopt(e, CURLOPT_HEADERDATA, this);
    curl_easy_setopt(e, CURLOPT_WRITEFUNCTION, &CurlTransfer::WriteCb);
    curl_easy_setopt(e, CURLOPT_WRITEDATA, this);

    CURLcode result = CURLE_OK;
    CURLM* m = curl_multi_init();
    if (!m) {
      result = CURLE_FAILED_INIT;
    } else {
      curl_multi_add_handle(m, e);
      std::uint64_t lastPump = NowMs();
      lastActivity_ = lastPump;
      for (;;) {
        int running = 0;
        CURLMcode mc = curl_multi_perform(m, &running);
        if (mc != CURLM_OK) {
          result = CURLE_FAILED_INIT;
          break;
        }
        if (!running) {
          int queued = 0;
          while (CURLMsg* msg = curl_multi_info_read(m, &queued))
            if (msg->msg == CURLMSG_DONE) result = msg->data.result;
          break;
        }
        std::uint64_t now = NowMs();
        curl_off_t connected = 0;
        curl_easy_getinfo(e, CURLINFO_CONNECT_TIME_T, &connected);
        if (connected == 0) {
          lastActivity_ = now;  // still connecting: the connect time-out rules
        } else if (now - lastActivity_ > recvTimeout) {
          timedOut = true;
          result = CURLE_OPERATION_TIMEDOUT;
          break;
        }
        if (pump && *pump) {
          if (now - lastPump >= 50) {
            lastPump = now;
            bool cancel = false;
            (*pump)(cancel);
            if (cancel) {
              cancelled = true;
              result = CURLE_ABORTED_BY_CALLBACK;
              break;
            }
          }
        }
        curl_multi_poll(m, nullptr, 0, 50, nullptr);
      }
      curl_multi_remove_handle(m, e);
      curl_multi_cleanup(m);
    }
    curl_easy_cleanup(e);
    easy_ = nullptr;
    curl_slist_free_all(hdr);
    curl_slist_free_all(phdr);
    return result;
  }

 private:
  CURL* easy_ = nullptr;
  std::uint64_t lastActivity_ = 0;

  static size_t HeaderCb(char* buf, size_t size, size_t n, void* ud) {
    auto* t = static_cast<CurlTransfer*>(ud);
    size_t len = size * n;
    t->lastActivity_ = NowMs();
    std::string line(buf, len);
    if (StartsWithNoCase(line, "HTTP/")) {
      t->statusSeen = true;
      t->headersDone = false;
      t->bodyWanted = false;
      t->rawHeaders = line;
      return len;
    }
    t->rawHeaders += line;
    if (line != "\r\n" && line != "\n") return len;
    // End of one response's header block: interim (1xx) and followed redirects go on.
    long code = 0;
    curl_easy_getinfo(t->easy_, CURLINFO_RESPONSE_CODE, &code);
    if (code >= 100 && code < 200) return len;
    // Only the redirect codes are followed: a "304 Not Modified" (or any other 3xx) that
    // carries a Location is the final answer, never a way to another body.
    if (code == 301 || code == 302 || code == 303 || code == 307 || code == 308) {
      THeaderList h;
      ParseResponseHeaders(t->rawHeaders, h);
      std::string location = h.Values("Location");
      if (!location.empty()) {
        char* eff = nullptr;
        curl_easy_getinfo(t->easy_, CURLINFO_EFFECTIVE_URL, &eff);
        // Like the Windows library, never follow an https address down to plain http.
        if (eff && StartsWithNoCase(eff, "https:") && StartsWithNoCase(Trim(location), "http:")) {
          t->redirectRefused = true;
          return 0;
        }
        return len;
      }
    }
    t->headersDone = true;
    if (t->onFinalHeaders && !t->onFinalHeaders(t->rawHeaders)) {
      t->stoppedByCaller = true;
      return 0;
    }
    t->bodyWanted = true;
    return len;
  }

  static size_t WriteCb(char* buf, size_t size, size_t n, void* ud) {
    auto* t = static_cast<CurlTransfer*>(ud);
    size_t len = size * n;
    t->lastActivity_ = NowMs();
    if (!t->bodyWanted) return len;  // body of a redirect or interim answer
    if (t->onBody && !t->onBody(buf, len)) {
      t->stoppedByCaller = true;
      return CURL_WRITEFUNC_ERROR;
    }
    return len;
  }
};

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

// Receives the body into a temporary file beside the target. Pieces are gathered into large
// blocks that a writer thread puts on disk while the next ones arrive, so saving the file
// costs the download next to no time.
class TempFileSink {
 public:
  explicit TempFileSink(std::string target) : target_(std::move(target)) {}
  ~TempFileSink() { Discard(); }

  bool Write(const char* data, size_t size) {
    if (fd_ < 0 && !Open()) return false;
    if (failed_) return false;
    while (size > 0) {
      size_t n = std::min(size, kBlock - cur_.size());
      cur_.insert(cur_.end(), data, data + n);
      data += n;
      size -= n;
      if (cur_.size() == kBlock && !Submit()) return false;
    }
    return true;
  }

  bool DiskFull() const { return diskFull_; }

  // Writes the rest, closes, optionally stamps the time and renames onto the target.
  bool Commit(const std::string& lastModified) {
    if (fd_ < 0 && !Open()) return false;
    if (!cur_.empty() && !Submit()) return false;
    StopWriter();
    if (failed_) return false;
    mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd_, 0666 & ~mask);
    int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0) return false;
    if (!lastModified.empty()) SetFileHttpTime(tmp_, lastModified);
    if (::rename(tmp_.c_str(), target_.c_str()) != 0) return false;
    tmp_.clear();
    return true;
  }

  void Discard() {
    StopWriter();
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    if (!tmp_.empty()) ::unlink(tmp_.c_str());
    tmp_.clear();
  }

 private:
  static constexpr size_t kBlock = 1 << 20;
  static constexpr size_t kQueued = 8;  // blocks in flight at most

  bool Open() {
    if (target_.empty()) return false;  // no file name: nothing can be saved
    // The process id in the name lets the next start remove what a killed run left.
    std::string pattern = target_ + ".part-" + OwnerTag() + "-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    int fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0) return false;
    fd_ = fd;
    tmp_ = name.data();
    cur_.reserve(kBlock);
    writer_ = std::thread([this] { WriterLoop(); });
    return true;
  }

  bool Submit() {
    // Every block: stop before the disk fills, with the reserve still free.
    if (!RoomFor(target_, std::int64_t(cur_.size()))) {
      diskFull_ = true;
      return false;
    }
    std::unique_lock<std::mutex> lock(mu_);
    spaceCv_.wait(lock, [&] { return queue_.size() < kQueued || failed_; });
    if (failed_) return false;
    queue_.push_back(std::move(cur_));
    if (!spare_.empty()) {
      cur_ = std::move(spare_.back());
      spare_.pop_back();
    } else {
      cur_ = std::vector<char>();
      cur_.reserve(kBlock);
    }
    cur_.clear();
    workCv_.notify_one();
    return true;
  }

  void WriterLoop() {
    for (;;) {
      std::vector<char> block;
      {
        std::unique_lock<std::mutex> lock(mu_);
        workCv_.wait(lock, [&] { return !queue_.empty() || stop_; });
        if (queue_.empty()) return;
        block = std::move(queue_.front());
        queue_.pop_front();
      }
      bool ok = failed_ ? false : WriteAll(block.data(), block.size());
      std::lock_guard<std::mutex> lock(mu_);
      if (!ok) failed_ = true;
      block.clear();
      spare_.push_back(std::move(block));
      spaceCv_.notify_one();
    }
  }

  void StopWriter() {
    if (!writer_.joinable()) return;
    {
      std::lock_guard<std::mutex> lock(mu_);
      stop_ = true;
    }
    workCv_.notify_one();
    writer_.join();
  }

  bool WriteAll(const char* p, size_t n) {
    while (n > 0) {
      ssize_t w = ::write(fd_, p, n);
      if (w < 0) {
        if (errno == EINTR) continue;
        return false;
      }
      p += w;
      n -= size_t(w);
    }
    return true;
  }

  std::string target_;
  std::string tmp_;
  int fd_ = -1;
  std::vector<char> cur_;
  std::thread writer_;
  std::mutex mu_;
  std::condition_variable workCv_, spaceCv_;
  std::deque<std::vector<char>> queue_;
  std::vector<std::vector<char>> spare_;
  std::atomic<bool> failed_{false};
  bool stop_ = false;
  bool diskFull_ = false;
};

}  // namespace

int BufferSizeBytes(TBufferSize size) {
  switch (size) {
    case TBufferSize::bsSmall: return 1024;
    case TBufferSize::bsLarge: return 4096;
    default: return 2048;
  }
}

std::string THeaderList::Values(const std::string& name) const {
  for (const auto& l : lines_) {
    size_t eq = l.find('=');
    if (eq != std::string::npos && eq == name.size() && EqualNoCase(l.substr(0, eq), name)) return l.substr(eq + 1);
  }
  return {};
}

std::string THeaderList::Text() const {
  std::string out;
  for (const auto& l : lines_) {
    out += l;
    out += "\r\n";
  }
  return out;
}

void ParseResponseHeaders(const std::string& raw, THeaderList& list) {
  list.Clear();
  std::vector<std::string> lines;
  size_t p = 0;
  while (p < raw.size()) {
    size_t e = raw.find('\n', p);
    if (e == std::string::npos) e = raw.size();
    std::string line = raw.substr(p, e - p);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    p = e + 1;
    if (line.empty()) continue;
    if ((line[0] == ' ' || line[0] == '\t') && !lines.empty()) {
      lines.back().append(" ").append(Trim(line));  // folded continuation of the previous header
      continue;
    }
    lines.push_back(line);
  }
  for (const auto& line : lines) {
    if (StartsWithNoCase(line, "HTTP/")) {
      size_t b1 = line.find(' ');
      std::string version = line.substr(5, b1 == std::string::npos ? std::string::npos : b1 - 5);
      std::string code, reason;
      if (b1 != std::string::npos) {
        size_t b2 = line.find(' ', b1 + 1);
        code = line.substr(b1 + 1, b2 == std::string::npos ? std::string::npos : b2 - b1 - 1);
        if (b2 != std::string::npos) reason = line.substr(b2 + 1);
      }
      list.Add("HttpVersion=" + version);
      list.Add("StatusCode=" + code);
      list.Add("StatusText=" + reason);
      continue;
    }
    size_t colon = line.find(':');
    if (colon == std::string::npos) {
      list.Add(line);
      continue;
    }
    std::string value = line.substr(colon + 1);
    size_t v = 0;
    while (v < value.size() && (value[v] == ' ' || value[v] == '\t')) ++v;
    list.Add(Trim(line.substr(0, colon)) + "=" + value.substr(v));
  }
}

std::int64_t AnnouncedLength(const THeaderList& headers) {
  std::int64_t length = -1;
  for (const std::string& line : headers.Lines()) {
    const size_t eq = line.find('=');
    if (eq != 14 || !EqualNoCase(line.substr(0, eq), "Content-Length")) continue;
    for (const std::string& part : SplitAny(line.substr(eq + 1), ",")) {
      const std::string v = Trim(part);
      if (v.empty() || v.size() > 18 || v.find_first_not_of("0123456789") != std::string::npos) return -2;
      const std::int64_t n = std::stoll(v);
      if (length >= 0 && n != length) return -2;
      length = n;
    }
  }
  return length;
}

std::string CurlProxyFor(const std::string& proxyName, const std::string& url) {
  std::string plain, forHttp, forHttps;
  for (const auto& item : SplitAny(proxyName, "; \t")) {
    size_t eq = item.find('=');
    size_t scheme = item.find("://");
    if (eq != std::string::npos && (scheme == std::string::npos || eq < scheme)) {
      std::string kind = item.substr(0, eq);
      std::string addr = item.substr(eq + 1);
      if (EqualNoCase(kind, "http") && forHttp.empty()) forHttp = addr;
      else if (EqualNoCase(kind, "https") && forHttps.empty()) forHttps = addr;
    } else if (plain.empty()) {
      plain = item;
    }
  }
  std::string chosen = plain;
  if (chosen.empty()) {
    if (StartsWithNoCase(url, "https:") && !forHttps.empty()) chosen = forHttps;
    else chosen = forHttp.empty() ? forHttps : forHttp;
  }
  if (chosen.empty()) return {};
  if (chosen.find("://") == std::string::npos) chosen = "http://" + chosen;
  return chosen;
}

std::string CurlNoProxyList(const std::string& bypass) {
  std::vector<std::string> out;
  for (auto item : SplitAny(bypass, ";, \t")) {
    if (EqualNoCase(item, "<local>")) {
      out.insert(out.end(), {"localhost", "127.0.0.1", "::1"});
      continue;
    }
    if (item == "*") {
      out.push_back("*");
      continue;
    }
    if (item.rfind("*.", 0) == 0) item = item.substr(2);
    else if (item[0] == '*') item = item.substr(1);
    // "192.168.*" and friends: a network of whole octets.
    if (item.size() > 2 && item.compare(item.size() - 2, 2, ".*") == 0) {
      std::string head = item;
      int octets = 0;
      while (head.size() > 2 && head.compare(head.size() - 2, 2, ".*") == 0) head.resize(head.size() - 2);
      auto parts = SplitAny(head, ".");
      bool numeric = !parts.empty() && parts.size() < 4;
      for (const auto& part : parts) {
        if (part.empty() || part.size() > 3 || part.find_first_not_of("0123456789") != std::string::npos) numeric = false;
      }
      if (!numeric) continue;
      octets = int(parts.size());
      std::string net = head;
      for (int i = octets; i < 4; ++i) net += ".0";
      out.push_back(net + "/" + std::to_string(octets * 8));
      continue;
    }
    if (item.find('*') != std::string::npos || item.empty()) continue;  // no curl equivalent
    out.push_back(item);
  }
  std::string joined;
  for (const auto& o : out) {
    if (!joined.empty()) joined += ",";
    joined += o;
  }
  return joined;
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

bool THttpDownload::Execute() {
  ErrorCode = INET_ERROR_NOT_CONNECTED;
  TInetConnectedState state = InetConnectedState();
  if (!state.connected) return false;
  ErrorCode = INET_ERROR_OFFLINE;
  if (state.offline && OfflineOption == TOfflineOption::ooError) return false;
  ResponseHeaders.Clear();
  ErrorCode = INET_ERROR_INTERNET_OPEN;

  CurlTransfer::Setup setup;
  setup.url = url_;
  setup.userAgent = UserAgent;
  setup.proxyName = ProxyName;
  setup.proxyBypass = ProxyBypass;
  setup.connectTimeoutMs = ConnectTimeout;
  setup.receiveTimeoutMs = ReceiveTimeout;
  setup.lowSpeedLimit = long(LowSpeedLimit);
  setup.bufferSize = CurlBufferFor(BufferSize);
  setup.caBundle = CaBundle;
  SplitRequestHeaders(RequestHeadersText(false), setup.headers, setup.proxyHeaders);
  // A fresh copy from the origin server, never one from a cache on the way.
  setup.headers.push_back("Pragma: no-cache");
  setup.headers.push_back("Cache-Control: no-cache");

  if (OnDebugLog) {
    OnDebugLog("GET " + url_);
    if (!ProxyName.empty())
      OnDebugLog("Proxy: " + ProxyName + " (bypass: " + (ProxyBypass.empty() ? "<local>" : ProxyBypass) + ")");
    std::string masked = RequestHeadersText(true);
    for (const auto& l : SplitAny(masked, "\r\n")) OnDebugLog(l);
  }

  TempFileSink sink(fileName_);
  std::uint64_t received = 0;
  std::uint32_t progressMax = 0;
  bool cancel = false;
  bool diskError = false;
  bool refused = false;
  bool badLength = false;
  DiskFull = false;
  auto fire = [&](std::uint32_t phase) {
    if (!OnDownloadProgress) return;
    OnDownloadProgress(*this, std::uint32_t(received), progressMax, phase, url_, cancel);
  };

  CurlTransfer t;
  t.pump = &OnPump;
  t.onFinalHeaders = [&](const std::string& raw) {
    ParseResponseHeaders(raw, ResponseHeaders);
    ErrorCode = INET_ERROR_HTTP_STATUS_CODE;
    const std::int64_t announced = AnnouncedLength(ResponseHeaders);
    ContentLength = announced > 0 ? announced : 0;
    if (ResponseHeaders.Values("StatusCode") != "200") {
      refused = true;
      return false;  // the body of a refusal is not wanted
    }
    if (announced == -2) {  // lengths that disagree: where the body ends is anybody's guess
      badLength = true;
      return false;
    }
    if (announced > 0 && !RoomFor(fileName_, announced)) {
      DiskFull = true;
      return false;
    }
    ErrorCode = INET_ERROR_READ_FILE;
    progressMax = std::uint32_t(std::uint64_t(ContentLength) & 0xffffffffu);
    lastProgressTick_ = NowMs();
    fire(INET_PROGRESS_BEGIN);
    return !cancel;
  };
  t.onBody = [&](const char* data, size_t size) {
    if (!sink.Write(data, size)) {
      diskError = true;
      return false;
    }
    received += size;
    if (OnDownloadProgress) {
      std::uint64_t now = NowMs();
      if (now - lastProgressTick_ >= ProgressInterval) {
        lastProgressTick_ = now;
        fire(INET_PROGRESS_DATA);
      }
    }
    return !cancel;
  };

  CURLcode rc = t.Run(setup);
  if (rc == CURLE_FAILED_INIT && !t.statusSeen) {
    ErrorCode = INET_ERROR_INTERNET_OPEN;
    return false;
  }
  if (t.cancelled || cancel) {
    ErrorCode = INET_E_ABORT;
    return false;
  }
  if (refused) {
    ErrorCode = INET_ERROR_HTTP_STATUS_CODE;
    return false;
  }
  if (badLength) {
    ErrorCode = INET_ERROR_HTTP_QUERY_INFO;
    if (OnDebugLog) OnDebugLog("Content-Length: conflicting values");
    return false;
  }
  if (diskError || DiskFull || sink.DiskFull()) {
    DiskFull = DiskFull || sink.DiskFull();
    ErrorCode = INET_ERROR_READ_FILE;
    return false;
  }
  if (rc != CURLE_OK) {
    ErrorCode = FailureStep(t, rc);
    if (ErrorCode != INET_ERROR_READ_FILE) {
      // Headers of a response that never completed say nothing.
      if (!t.headersDone) ResponseHeaders.Clear();
    }
    if (OnDebugLog) OnDebugLog(std::string("curl: ") + curl_easy_strerror(rc));
    return false;
  }
  if (!t.headersDone) {
    ErrorCode = INET_ERROR_HTTP_QUERY_INFO;
    return false;
  }
  ErrorCode = INET_ERROR_READ_FILE;
  fire(INET_PROGRESS_END);
  if (cancel) {
    ErrorCode = INET_E_ABORT;
    return false;
  }
  // An empty body, or one shorter than the server announced, is no copy of the file.
  if (received == 0) return false;
  if (ContentLength > 0 && received < std::uint64_t(ContentLength)) return false;
  const std::string lastModified = ResponseHeaders.Values("Last-Modified");
  if (!sink.Commit(AdjustTimeStamp && PlausibleHttpDate(lastModified) ? lastModified : std::string())) return false;
  ContentLength = std::int64_t(received);
  ErrorCode = 0;
  return true;
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
