#pragma once
// One URL into one local file over HTTP(S) with libcurl: conditional on the local copy,
// through a proxy with Basic proxy authorisation, with time-outs, throttled progress and
// cancel. The file is written under a temporary name and takes its real name only when the
// whole body arrived, so a failed, cancelled or refused download leaves the old copy as it was.
#include <cstdint>
#include <string>
#include <vector>

#include "update/http_headers.h"
#include "update/inet_download.h"

class CurlTransfer;

enum class TBufferSize { bsSmall, bsMedium, bsLarge };
// Nominal bytes per read: 1024, 2048, 4096.
int BufferSizeBytes(TBufferSize size);

class THttpDownload : public TInetDownload {
 public:
  THttpDownload();
  ~THttpDownload() override = default;

  // Stores the address, clears ResponseHeaders, ContentLength and IfModifiedSince.
  void SetUrl(const std::string& url) override;
  // Stores the name; IfModifiedSince becomes the existing file's time (empty without a file).
  void SetFileName(const std::string& fileName) override;
  // True exactly when the server answered "200" and the whole body was saved to FileName.
  bool Execute() override;

  // The request headers this download sends, one per line; with maskSecrets the proxy
  // credentials are replaced by asterisks (the form used for every log line).
  std::string RequestHeadersText(bool maskSecrets = true) const;

  std::string ProxyUsername;  // non-empty: send "Proxy-Authorization: Basic ..."
  std::string ProxyPassword;
  std::string ProxyName;      // non-empty: this proxy ("host:port"); else the system's
  std::string ProxyBypass;    // hosts that skip ProxyName; empty: "<local>"
  std::string IfModifiedSince;  // RFC 1123 date; non-empty: conditional request
  std::string IfNoneMatch;      // entity tag; non-empty: conditional request
  THeaderList ResponseHeaders;
  std::int64_t ContentLength = 0;  // Content-Length of the last response, then the size received
  std::string UserAgent = "InetDownloader";
  std::uint32_t ProgressInterval = 500;  // ms between two phase-5 events
  bool AdjustTimeStamp = false;          // give the file the server's Last-Modified time
                                         // (a plausible one: PlausibleHttpDate)
  TBufferSize BufferSize = TBufferSize::bsMedium;
  // PEM file of the certificate authorities to trust for https; empty: the system's.
  std::string CaBundle;
  // The least average rate, in bytes per second over the receive time-out, at which a
  // transfer counts as alive: a server that trickles a byte now and then fails like one that
  // stalls. 0: no least rate.
  std::uint32_t LowSpeedLimit = 1024;
  // The largest body accepted, in bytes; 0: no bound. A larger one (announced, or counted
  // while it arrives) fails the download with ErrorCode 12205 and leaves no file.
  std::int64_t MaxSize = 0;
  // The last attempt stopped because the disk is (nearly) full: the announced length did not
  // fit, or the free space fell to the reserve while receiving (ErrorCode 12205).
  bool DiskFull = false;
  // The last attempt stopped because the body passed MaxSize (ErrorCode 12205).
  bool TooLarge = false;
  // The last attempt stopped because the server sent nothing for the receive time-out, or
  // less than LowSpeedLimit per second over it.
  bool TooSlow = false;
  // The last attempt stopped because the server's redirects went round in a circle (or on
  // past any sensible number), ErrorCode 12203.
  bool RedirectLoop = false;
  // Trace lines of each request (address, proxy, request headers with the credentials
  // masked); unset: no trace.
  std::function<void(const std::string&)> OnDebugLog;

 private:
  struct TAttempt;
  // The trace lines of the request (OnDebugLog).
  void TraceRequest() const;
  void FireProgress(TAttempt& At, std::uint32_t Phase);
  // The final response's headers: the body is wanted only from a "200" whose announced
  // length is single, within MaxSize and with room on the disk.
  bool AcceptHeaders(const std::string& Raw, TAttempt& At);
  // One piece of the body: counted against MaxSize, written, progress reported.
  bool ReceiveBlock(const char* Data, size_t Size, TAttempt& At);
  // The attempt's end: ErrorCode and the flags set from what stopped it, the file saved
  // under its name when the whole body came; true then.
  bool Conclude(int Result, const CurlTransfer& Transfer, TAttempt& At);

  std::uint64_t lastProgressTick_ = 0;
};

// Opens the address and reads only the response headers into Headers (format above).
// RequestHeaders: header lines joined by CRLF. ProxyName empty: the system's proxy setting.
// False when a step fails; then one of "Error: Internet Open", "Error: Open URL" or
// "Error: HTTP Query Info" is added to Headers.
bool GetHttpHeaders(const std::string& url, THeaderList& headers, const std::string& requestHeaders,
                    const std::string& proxyBypass, const std::string& proxyName,
                    const std::string& userAgent);

// Asks whether the server copy is newer than FileName: If-Modified-Since with the file's time
// (no such header when the file is missing or its time unknown, so the server answers 200).
// True when the status is "200". StatusText: the status code, a blank and the reason phrase,
// or "StatusCode なし サーバ接続失敗!" when no status came back.
bool CheckModified(const std::string& url, const std::string& fileName, std::string& statusText);

// How a WinInet-style proxy and bypass list reads to libcurl (exposed for the tests).
// "http=a:1 https=b:2", "a:1", "http://a:1" -> "http://a:1" or "http://b:2" by the URL's scheme.
std::string CurlProxyFor(const std::string& proxyName, const std::string& url);
// "<local>;*.example.com;192.168.*" -> "localhost,127.0.0.1,::1,example.com,192.168.0.0/16".
std::string CurlNoProxyList(const std::string& bypass);
