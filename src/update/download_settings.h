#pragma once
// The network settings each download takes from the settings object, as a plain struct so the
// download layer needs nothing else of the settings.
#include <string>

#include "update/http_download.h"

class TOptionData;

struct TDownloadNetSettings {
  std::string ProxyUsername;  // empty: no proxy authorisation
  std::string ProxyPassword;
  bool ProxyManual = false;   // use ProxyName/ProxyBypass instead of the system's proxy
  std::string ProxyName;
  std::string ProxyBypass;
  int ConnectTimeout = 0;     // ms; 0 = default
  int ReceiveTimeout = 0;     // ms; 0 = default
  bool OoConnect = false;     // go on when the system reports offline state
  int RecvBufferSize = 1;     // 0 large, 2 small, anything else medium
};

// Proxy user, password and the manual proxy come from the settings only when proxy
// authorisation is switched on; otherwise every download uses the system's proxy.
TDownloadNetSettings NetSettingsFromOptions(const TOptionData& options);

// Sets the downloader as the update service does before each download: the manual proxy, the
// proxy user, the time-outs, the offline option and the buffer size.
void ApplyNetSettings(THttpDownload& download, const TDownloadNetSettings& settings);

// The settings as trace lines for the debug log; the password is never shown.
std::string NetSettingsLogText(const TDownloadNetSettings& settings);
