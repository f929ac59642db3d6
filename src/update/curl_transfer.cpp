#include "update/curl_transfer.h"

#include <algorithm>
#include <cstdlib>
#include <mutex>

#include "update/http_download.h"
#include "update/http_text.h"

using namespace http_text;

namespace {

void GlobalInit() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

}  // namespace

CURLcode CurlTransfer::Run(const Setup& s) {
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

size_t CurlTransfer::HeaderCb(char* buf, size_t size, size_t n, void* ud) {
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

size_t CurlTransfer::WriteCb(char* buf, size_t size, size_t n, void* ud) {
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
