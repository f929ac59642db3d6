#pragma once
// Base of the downloaders: the address, the local file, the step code of the last attempt,
// time-outs, what to do when the machine is offline, and the progress/cancel callback.
#include <cstdint>
#include <functional>
#include <string>

// Step codes left in TInetDownload::ErrorCode: the step an attempt reached when it failed.
inline constexpr int INET_ERROR_NOT_CONNECTED = 12200;     // asking the system for a connection
inline constexpr int INET_ERROR_OFFLINE = 12201;           // offline test
inline constexpr int INET_ERROR_INTERNET_OPEN = 12202;     // opening the internet handle
inline constexpr int INET_ERROR_OPEN_URL = 12203;          // opening the URL (connect, request)
inline constexpr int INET_ERROR_HTTP_QUERY_INFO = 12204;   // reading the response headers
inline constexpr int INET_ERROR_READ_FILE = 12205;         // reading the body or saving it
inline constexpr int INET_ERROR_HTTP_STATUS_CODE = 12210;  // the status was not "200"
// The progress handler asked to cancel (the Windows E_ABORT value).
inline constexpr int INET_E_ABORT = static_cast<int>(0x80004004u);

// The name of a step code 12200..12210 ("INET_ERROR_OPEN_URL"); other codes leave Text as it is.
void InetErrorName(int code, std::string& text);

enum class TOfflineOption { ooNormal, ooError, ooConnect };

// What the system says about the network. Linux has no such service: by default the machine
// counts as connected and online; the program or a test may plug in its own answer.
struct TInetConnectedState {
  bool connected = true;
  bool offline = false;
};
using TInetConnectedStateFn = std::function<TInetConnectedState()>;
// Installs the provider (nullptr restores the default) and returns the previous one.
TInetConnectedStateFn SetInetConnectedStateProvider(TInetConnectedStateFn fn);
TInetConnectedState InetConnectedState();

// Standard Base64 (RFC 4648 alphabet, the last group padded with "=").
std::string Base64Encode(const std::string& text);

class TInetDownload;

// Progress phases handed to the handler in StatusCode.
inline constexpr std::uint32_t INET_PROGRESS_BEGIN = 4;
inline constexpr std::uint32_t INET_PROGRESS_DATA = 5;
inline constexpr std::uint32_t INET_PROGRESS_END = 6;

// Sender, bytes so far, Content-Length (low 32 bits; 0 when none came), phase 4/5/6, the
// address, and Cancel (false on entry; set it to stop the download).
using TDownloadProgressEvent = std::function<void(TInetDownload& sender, std::uint32_t progress,
                                                  std::uint32_t progressMax, std::uint32_t statusCode,
                                                  const std::string& statusText, bool& cancel)>;

// Called about every 50 ms while a download waits or runs (connecting, headers, body), so a
// window can keep painting; setting Cancel stops the download like the progress handler does.
using TDownloadPumpEvent = std::function<void(bool& cancel)>;

class TInetDownload {
 public:
  TInetDownload() = default;
  virtual ~TInetDownload() = default;
  TInetDownload(const TInetDownload&) = delete;
  TInetDownload& operator=(const TInetDownload&) = delete;

  const std::string& Url() const { return url_; }
  virtual void SetUrl(const std::string& url) { url_ = url; }
  const std::string& FileName() const { return fileName_; }
  virtual void SetFileName(const std::string& fileName) { fileName_ = fileName; }

  // Fetches Url into FileName; true when a new copy was saved.
  virtual bool Execute() = 0;

  int ErrorCode = 0;       // step code of the last attempt; 0 after a complete download
  int ConnectTimeout = 0;  // ms; 0 = the default
  int ReceiveTimeout = 0;  // ms without any data before the download fails; 0 = the default
  TOfflineOption OfflineOption = TOfflineOption::ooNormal;
  TDownloadProgressEvent OnDownloadProgress;
  TDownloadPumpEvent OnPump;

 protected:
  std::string url_;
  std::string fileName_;
};
