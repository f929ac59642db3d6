#pragma once
// The HTTP exchange under THttpDownload and GetHttpHeaders: one request on libcurl's multi
// interface, with the receive time-out, the least transfer rate, the proxy in its WinInet
// form, and redirects followed only where the Windows library would follow them.
#include <curl/curl.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "update/inet_download.h"

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

  // Runs the exchange to its end; the result of the transfer.
  CURLcode Run(const Setup& s);

 private:
  CURL* easy_ = nullptr;
  std::uint64_t lastActivity_ = 0;

  static size_t HeaderCb(char* buf, size_t size, size_t n, void* ud);
  static size_t WriteCb(char* buf, size_t size, size_t n, void* ud);
};
