#include "update/inet_download.h"

#include <mutex>

namespace {

std::mutex g_stateMu;
TInetConnectedStateFn g_stateFn;

}  // namespace

void InetErrorName(int code, std::string& text) {
  switch (code) {
    case INET_ERROR_NOT_CONNECTED: text = "INET_ERROR_NOT_CONNECTED"; break;
    case INET_ERROR_OFFLINE: text = "INET_ERROR_OFFLINE"; break;
    case INET_ERROR_INTERNET_OPEN: text = "INET_ERROR_INTERNET_OPEN"; break;
    case INET_ERROR_OPEN_URL: text = "INET_ERROR_OPEN_URL"; break;
    case INET_ERROR_HTTP_QUERY_INFO: text = "INET_ERROR_HTTP_QUERY_INFO"; break;
    case INET_ERROR_READ_FILE: text = "INET_ERROR_READ_FILE"; break;
    case INET_ERROR_HTTP_STATUS_CODE: text = "INET_ERROR_HTTP_STATUS_CODE"; break;
    default: break;
  }
}

TInetConnectedStateFn SetInetConnectedStateProvider(TInetConnectedStateFn fn) {
  std::lock_guard<std::mutex> lock(g_stateMu);
  TInetConnectedStateFn prev = std::move(g_stateFn);
  g_stateFn = std::move(fn);
  return prev;
}

TInetConnectedState InetConnectedState() {
  TInetConnectedStateFn fn;
  {
    std::lock_guard<std::mutex> lock(g_stateMu);
    fn = g_stateFn;
  }
  return fn ? fn() : TInetConnectedState{};
}

std::string Base64Encode(const std::string& text) {
  static const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  out.reserve((text.size() + 2) / 3 * 4);
  size_t i = 0;
  const auto* b = reinterpret_cast<const unsigned char*>(text.data());
  for (; i + 3 <= text.size(); i += 3) {
    unsigned v = (b[i] << 16) | (b[i + 1] << 8) | b[i + 2];
    out += kAlphabet[(v >> 18) & 63];
    out += kAlphabet[(v >> 12) & 63];
    out += kAlphabet[(v >> 6) & 63];
    out += kAlphabet[v & 63];
  }
  size_t rest = text.size() - i;
  if (rest == 1) {
    unsigned v = b[i] << 16;
    out += kAlphabet[(v >> 18) & 63];
    out += kAlphabet[(v >> 12) & 63];
    out += "==";
  } else if (rest == 2) {
    unsigned v = (b[i] << 16) | (b[i + 1] << 8);
    out += kAlphabet[(v >> 18) & 63];
    out += kAlphabet[(v >> 12) & 63];
    out += kAlphabet[(v >> 6) & 63];
    out += '=';
  }
  return out;
}
