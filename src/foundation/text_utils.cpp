#include "foundation/text_utils.h"

#include <QString>
#include <QSysInfo>
#include <filesystem>
#include <system_error>

using kana::AppendUtf8;
using kana::DecodeUtf8;
using kana::kInvalid;

std::string MapString(std::string_view text, unsigned flags) { return kana::MapText(text, flags); }

std::string HanToZen(std::string_view text) { return kana::MapText(text, kana::kMapFullWidth); }
std::string ZenToHan(std::string_view text) { return kana::MapText(text, kana::kMapHalfWidth); }
std::string KataToHira(std::string_view text) { return kana::MapText(text, kana::kMapHiragana); }
std::string HiraToKata(std::string_view text) { return kana::MapText(text, kana::kMapKatakana); }

namespace {

// Full-width ASCII look-alikes that ZenToHanAscii turns into ASCII; 0 = keep.
char AsciiOfFullWidth(char32_t c) {
  if (c >= 0xFF10 && c <= 0xFF19) return static_cast<char>(c - 0xFF10 + '0');
  if (c >= 0xFF21 && c <= 0xFF3A) return static_cast<char>(c - 0xFF21 + 'A');
  if (c >= 0xFF41 && c <= 0xFF5A) return static_cast<char>(c - 0xFF41 + 'a');
  switch (c) {
    case 0x3000: return ' ';
    case 0xFF0C: return ',';
    case 0xFF0E: return '.';
    case 0xFF1A: return ':';
    case 0xFF1B: return ';';
    case 0xFF1F: return '?';
    case 0xFF01: return '!';
    case 0xFF3E: return '^';
    case 0xFF0F: return '/';
    case 0xFF5C: return '|';
    case 0x2018: case 0x2019: case 0x2032: return '\'';
    case 0x201C: case 0x201D: case 0x2033: return '"';
    case 0xFF08: return '(';
    case 0xFF09: return ')';
    case 0xFF3B: return '[';
    case 0xFF3D: return ']';
    case 0xFF5B: return '{';
    case 0xFF5D: return '}';
    case 0xFF0B: return '+';
    case 0xFF0D: case 0x2212: return '-';
    case 0xFF1D: return '=';
    case 0xFF1C: return '<';
    case 0xFF1E: return '>';
    case 0xFFE5: return '\\';
    case 0xFF04: return '$';
    case 0xFF05: return '%';
    case 0xFF03: return '#';
    case 0xFF06: return '&';
    case 0xFF0A: return '*';
    case 0xFF20: return '@';
    case 0x3013: return '=';
    default: return 0;
  }
}

// Shared walk of ZenToHanAscii and HanKanaToZen.
std::string HalfKanaWalk(std::string_view text, bool asciiToo) {
  std::string out;
  out.reserve(text.size() + text.size() / 2);
  const char* s = text.data();
  const size_t n = text.size();
  kana::ForEachCodePoint(text, out, [&](char32_t c, size_t start, size_t& i) {
    if (c >= 0xFF61 && c <= 0xFF9D) {  // half-width kana and punctuation, marks excluded
      // The mark is consumed, whether or not the kana has such a form.
      AppendUtf8(out, kana::ReadHalfKana(s, n, i, c, true));
      return;
    }
    if (asciiToo) {
      if (char a = AsciiOfFullWidth(c)) {
        out.push_back(a);
        return;
      }
    }
    out.append(s + start, i - start);
  });
  return out;
}

bool IsBlankOrControl(unsigned char b) { return b <= 0x20 || b == 0x7F; }

}  // namespace

std::string ZenToHanAscii(std::string_view text) { return HalfKanaWalk(text, true); }
std::string HanKanaToZen(std::string_view text) { return HalfKanaWalk(text, false); }

std::string AsciiLowerCase(std::string text) {
  for (char& c : text)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return text;
}

std::string AsciiUpperCase(std::string text) {
  for (char& c : text)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return text;
}

std::string StripTags(std::string_view text) {
  size_t b = 0, e = text.size();
  while (b < e && IsBlankOrControl(static_cast<unsigned char>(text[b]))) ++b;
  while (e > b && IsBlankOrControl(static_cast<unsigned char>(text[e - 1]))) --e;
  std::string out;
  out.reserve(e - b);
  bool inTag = false;
  // In UTF-8 the bytes of "<" and ">" never occur inside a multi-byte character, so a byte
  // walk cannot take part of a character for a bracket.
  for (size_t i = b; i < e; ++i) {
    char ch = text[i];
    if (ch == '<') {
      inTag = true;
    } else if (ch == '>') {
      inTag = false;
    } else if (!inTag) {
      out.push_back(ch);
    }
  }
  return out;
}

namespace {
// True when byte pos lies inside a valid multi-byte character that begins before it.
bool InsideChar(std::string_view text, size_t pos) {
  if ((static_cast<unsigned char>(text[pos]) & 0xC0) != 0x80) return false;
  for (size_t back = 1; back <= 3 && back <= pos; ++back) {
    size_t at = pos - back;
    if ((static_cast<unsigned char>(text[at]) & 0xC0) == 0x80) continue;
    size_t i = at;
    return DecodeUtf8(text.data(), text.size(), i) != kInvalid && i > pos;
  }
  return false;
}
}  // namespace

int PosEx(std::string_view sub, std::string_view text, int start) {
  if (sub.empty() || start < 1 || static_cast<size_t>(start) > text.size()) return 0;
  size_t pos = static_cast<size_t>(start) - 1;
  while (true) {
    pos = text.find(sub, pos);
    if (pos == std::string_view::npos) return 0;
    // Never report a match that begins inside a multi-byte character.
    if (!InsideChar(text, pos)) return static_cast<int>(pos) + 1;
    ++pos;
  }
}

int CountStr(std::string_view text, std::string_view sub) {
  if (sub.empty()) return 0;
  int count = 0;
  int p = PosEx(sub, text, 1);
  while (p > 0) {
    ++count;
    int next = p + static_cast<int>(sub.size());
    if (static_cast<size_t>(next) > text.size()) break;
    p = PosEx(sub, text, next);
  }
  return count;
}

namespace {
char32_t FirstCodePoint(std::string_view text) {
  if (text.empty()) return kInvalid;
  size_t i = 0;
  return DecodeUtf8(text.data(), text.size(), i);
}
}  // namespace

bool IsHiragana(std::string_view text) {
  char32_t c = FirstCodePoint(text);
  return c >= 0x3042 && c <= 0x3093;
}

bool IsKatakana(std::string_view text) {
  char32_t c = FirstCodePoint(text);
  return c >= 0x30A1 && c <= 0x30F6;
}

std::string BoolToStr01(bool value) { return value ? "1" : "0"; }

std::string VisibleNul(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    if (c == '\0')
      out += kVisibleNul;
    else
      out.push_back(c);
  }
  return out;
}

std::string GetTempDir() {
  std::error_code ec;
  std::string dir = std::filesystem::temp_directory_path(ec).string();
  if (ec || dir.empty()) dir = "/tmp";
  if (dir.back() != '/') dir.push_back('/');
  return dir;
}

std::string GetOSVersionName() {
  std::string name = QSysInfo::prettyProductName().toStdString();
  std::string kernel = (QSysInfo::kernelType() + " " + QSysInfo::kernelVersion()).toStdString();
  std::string arch = QSysInfo::currentCpuArchitecture().toStdString();
  return name + " (" + kernel + ", " + arch + ")";
}
