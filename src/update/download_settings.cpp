#include "update/download_settings.h"

#include "foundation/options.h"

TDownloadNetSettings NetSettingsFromOptions(const TOptionData& options) {
  TDownloadNetSettings s;
  if (options.UseProxyAuth) {
    s.ProxyUsername = options.ProxyUsername;
    s.ProxyPassword = options.ProxyPassword;
    s.ProxyManual = options.ProxyManual;
    s.ProxyName = options.ProxyName;
    s.ProxyBypass = options.ProxyBypass;
  }
  s.ConnectTimeout = options.ReadTimeout;
  s.ReceiveTimeout = options.ReceiveTimeout;
  s.OoConnect = options.OoConnect;
  s.RecvBufferSize = options.RecvBufferSize;
  return s;
}

void ApplyNetSettings(THttpDownload& d, const TDownloadNetSettings& s) {
  if (s.ProxyManual) {
    d.ProxyName = s.ProxyName;
    d.ProxyBypass = s.ProxyBypass;
  }
  if (!s.ProxyUsername.empty()) {
    d.ProxyUsername = s.ProxyUsername;
    d.ProxyPassword = s.ProxyPassword;
  }
  d.ConnectTimeout = s.ConnectTimeout;
  d.ReceiveTimeout = s.ReceiveTimeout;
  d.OfflineOption = s.OoConnect ? TOfflineOption::ooConnect : TOfflineOption::ooNormal;
  d.BufferSize = s.RecvBufferSize == 0   ? TBufferSize::bsLarge
                 : s.RecvBufferSize == 2 ? TBufferSize::bsSmall
                                         : TBufferSize::bsMedium;
}

std::string NetSettingsLogText(const TDownloadNetSettings& s) {
  std::string out;
  out += "ProxyUsername: " + s.ProxyUsername + "\n";
  out += std::string("ProxyPassword: ") + (s.ProxyPassword.empty() ? "" : "********") + "\n";
  out += std::string("ProxyManual: ") + (s.ProxyManual ? "1" : "0") + "\n";
  out += "ProxyName: " + s.ProxyName + "\n";
  out += "ProxyBypass: " + s.ProxyBypass + "\n";
  return out;
}
