#include "output/cp932_codec.h"

#include <iconv.h>

#include <cerrno>

#include <memory>
#include <mutex>
#include <stdexcept>
#include <vector>

namespace {

// 0x0000..0xFFFF -> CP932 bytes (0: none).  Built from iconv on first use.
const std::vector<uint16_t>& Table() {
  static std::vector<uint16_t> table;
  static std::once_flag once;
  std::call_once(once, [] {
    table.assign(0x10000, 0);
    iconv_t cd = iconv_open("CP932", "UTF-32LE");
    if (cd == reinterpret_cast<iconv_t>(-1)) throw std::runtime_error("iconv CP932 is not available");
    for (uint32_t cp = 1; cp < 0x10000; ++cp) {
      if (cp >= 0xD800 && cp <= 0xDFFF) continue;
      unsigned char in[4] = {static_cast<unsigned char>(cp), static_cast<unsigned char>(cp >> 8), 0, 0};
      char outBuf[8];
      char* ip = reinterpret_cast<char*>(in);
      size_t il = 4;
      char* op = outBuf;
      size_t ol = sizeof outBuf;
      iconv(cd, nullptr, nullptr, nullptr, nullptr);
      if (iconv(cd, &ip, &il, &op, &ol) == static_cast<size_t>(-1)) continue;
      size_t n = sizeof outBuf - ol;
      if (n == 1)
        table[cp] = static_cast<unsigned char>(outBuf[0]);
      else if (n == 2)
        table[cp] = static_cast<uint16_t>((static_cast<unsigned char>(outBuf[0]) << 8) |
                                          static_cast<unsigned char>(outBuf[1]));
    }
    iconv_close(cd);
  });
  return table;
}

}  // namespace

char32_t NextUtf8(const char*& p, const char* end) {
  auto u = [](char c) { return static_cast<unsigned char>(c); };
  unsigned char c = u(*p);
  if (c < 0x80) {
    ++p;
    return c;
  }
  int n = 0;
  char32_t cp = 0;
  char32_t min = 0;
  if ((c & 0xE0) == 0xC0) n = 1, cp = c & 0x1F, min = 0x80;
  else if ((c & 0xF0) == 0xE0) n = 2, cp = c & 0x0F, min = 0x800;
  else if ((c & 0xF8) == 0xF0) n = 3, cp = c & 0x07, min = 0x10000;
  else {
    ++p;
    return 0xFFFD;
  }
  if (end - p <= n) {
    p = end;
    return 0xFFFD;
  }
  for (int i = 1; i <= n; ++i) {
    unsigned char cc = u(p[i]);
    if ((cc & 0xC0) != 0x80) {
      p += i;
      return 0xFFFD;
    }
    cp = (cp << 6) | (cc & 0x3F);
  }
  p += n + 1;
  if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0xFFFD;
  return cp;
}

TCp932Result Utf8ToCp932(std::string_view utf8, std::string& out) {
  const auto& table = Table();
  const char* p = utf8.data();
  const char* end = p + utf8.size();
  out.reserve(out.size() + utf8.size());
  TCp932Result r;
  while (p < end) {
    // ASCII runs are copied as they stand.
    const char* run = p;
    while (p < end && static_cast<unsigned char>(*p) < 0x80) ++p;
    out.append(run, p - run);
    if (p >= end) break;
    const char* at = p;
    bool malformed = false;
    char32_t cp = NextUtf8(p, end);
    if (cp == 0xFFFD) {
      // A real U+FFFD (EF BF BD) is also outside CP932.
      malformed = true;
    }
    uint16_t b = (cp < 0x10000 && !malformed) ? table[cp] : 0;
    if (b == 0) {
      r.Ok = false;
      r.BadOffset = static_cast<size_t>(at - utf8.data());
      r.BadChar = cp;
      return r;
    }
    if (b > 0xFF) out.push_back(static_cast<char>(b >> 8));
    out.push_back(static_cast<char>(b & 0xFF));
  }
  return r;
}

void Cp932SortKey(std::string_view utf8, std::string& out) {
  const auto& table = Table();
  out.clear();
  const char* p = utf8.data();
  const char* end = p + utf8.size();
  while (p < end) {
    unsigned char c = static_cast<unsigned char>(*p);
    if (c < 0x80) {
      out.push_back(static_cast<char>(c));
      ++p;
      continue;
    }
    const char* at = p;
    char32_t cp = NextUtf8(p, end);
    uint16_t b = cp < 0x10000 ? table[cp] : 0;
    if (cp == 0xFFFD && (end - at < 3 || static_cast<unsigned char>(at[0]) != 0xEF)) b = 0;
    if (b == 0) {
      out.push_back('\xFF');
      out.push_back('\xFF');
      out.push_back(static_cast<char>((cp >> 16) & 0xFF));
      out.push_back(static_cast<char>((cp >> 8) & 0xFF));
      out.push_back(static_cast<char>(cp & 0xFF));
      continue;
    }
    if (b > 0xFF) out.push_back(static_cast<char>(b >> 8));
    out.push_back(static_cast<char>(b & 0xFF));
  }
}

std::string Cp932ToUtf8(std::string_view bytes) {
  std::string out;
  iconv_t cd = iconv_open("UTF-8", "CP932");
  if (cd == reinterpret_cast<iconv_t>(-1)) throw std::runtime_error("iconv CP932 is not available");
  char* ip = const_cast<char*>(bytes.data());
  size_t il = bytes.size();
  std::vector<char> buf(4096);
  while (il > 0) {
    char* op = buf.data();
    size_t ol = buf.size();
    size_t rc = iconv(cd, &ip, &il, &op, &ol);
    out.append(buf.data(), op - buf.data());
    if (rc == static_cast<size_t>(-1)) {
      if (errno == E2BIG) continue;
      out.append("\xEF\xBF\xBD");  // U+FFFD for a byte that does not decode
      ++ip;
      --il;
      iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
  }
  iconv_close(cd);
  return out;
}
