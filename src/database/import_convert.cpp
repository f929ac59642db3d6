#include "database/import_convert.h"

#include <iconv.h>

#include <cerrno>
#include <charconv>

#include "database/csv_split.h"
#include "foundation/text_utils.h"

std::string NodoText(std::string_view s) { return s.empty() ? std::string() : HanKanaToZen(s); }

TOptText TextOrNull(std::string_view s) {
  if (s.empty()) return std::nullopt;
  return std::string(s);
}

TOptText CsvValueOrNull(std::string_view s) {
  if (s.empty() || s == "NULL") return std::nullopt;
  std::string v(s);
  ReplaceUnderscores(v);
  return ZenToHanAscii(v);
}

TOptText QuoteUnlessNull(std::string_view s) {
  if (s == "NULL") return std::nullopt;
  return std::string(s);
}

std::string SquareMetreText(std::string_view s) {
  std::string v(s);
  ReplaceAll(v, "m2", "㎡");
  return v;
}

std::optional<int64_t> ParseWholeNumber(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
  if (s.empty()) return std::nullopt;
  if (s.front() == '+') s.remove_prefix(1);
  int64_t v = 0;
  auto r = std::from_chars(s.data(), s.data() + s.size(), v);
  if (r.ec != std::errc()) return std::nullopt;
  std::string_view rest(r.ptr, static_cast<size_t>(s.data() + s.size() - r.ptr));
  if (rest.empty()) return v;
  if (rest.front() != '.') return std::nullopt;
  rest.remove_prefix(1);
  for (char c : rest)
    if (c != '0') return std::nullopt;
  return v;
}

// ---- decoding of outside bytes ---------------------------------------------------------------

namespace {
const char kReplacement[] = "\xEF\xBF\xBD";
}  // namespace

int Utf8SequenceLength(const unsigned char* S, size_t N) {
  if (N == 0) return -1;
  const unsigned c = S[0];
  if (c < 0x80) return 1;
  size_t len;
  unsigned lo = 0x80, hi = 0xBF;  // the range of the second byte
  if (c >= 0xC2 && c <= 0xDF) {
    len = 2;
  } else if (c >= 0xE0 && c <= 0xEF) {
    len = 3;
    if (c == 0xE0) lo = 0xA0;         // no overlong form
    else if (c == 0xED) hi = 0x9F;    // no surrogate
  } else if (c >= 0xF0 && c <= 0xF4) {
    len = 4;
    if (c == 0xF0) lo = 0x90;         // no overlong form
    else if (c == 0xF4) hi = 0x8F;    // nothing above U+10FFFF
  } else {
    return 0;
  }
  for (size_t k = 1; k < len; ++k) {
    if (k >= N) return -1;
    const unsigned b = S[k];
    if (k == 1 ? (b < lo || b > hi) : (b & 0xC0) != 0x80) return 0;
  }
  return static_cast<int>(len);
}

std::string ValidUtf8(std::string_view S) {
  TTextDecoder d("UTF-8");
  std::string out;
  d.Append(S.data(), S.size(), out);
  return out;
}

TTextDecoder::TTextDecoder(const std::string& CodePage) : cd_(reinterpret_cast<void*>(iconv_t(-1))) {
  std::string upper;
  for (char c : CodePage) upper.push_back(c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c);
  utf8_ = upper == "UTF-8" || upper == "UTF8";
  if (!utf8_) cd_ = reinterpret_cast<void*>(iconv_open("UTF-8", CodePage.c_str()));
}

TTextDecoder::~TTextDecoder() {
  if (cd_ != reinterpret_cast<void*>(iconv_t(-1))) iconv_close(static_cast<iconv_t>(cd_));
}

bool TTextDecoder::Available() const { return utf8_ || cd_ != reinterpret_cast<void*>(iconv_t(-1)); }

size_t TTextDecoder::Append(const char* Data, size_t N, std::string& Out, bool More) {
  if (pending_.empty()) return Convert(Data, N, Out, More);
  std::string in;
  in.swap(pending_);
  in.append(Data, N);
  return Convert(in.data(), in.size(), Out, More);
}

size_t TTextDecoder::Finish(std::string& Out) {
  const size_t n = pending_.size();
  for (size_t k = 0; k < n; ++k) Out += kReplacement;
  pending_.clear();
  if (!utf8_ && Available()) iconv(static_cast<iconv_t>(cd_), nullptr, nullptr, nullptr, nullptr);
  return n;
}

size_t TTextDecoder::Convert(const char* Data, size_t N, std::string& Out, bool More) {
  size_t replaced = 0;
  if (utf8_) {
    const auto* p = reinterpret_cast<const unsigned char*>(Data);
    size_t i = 0, run = 0;  // valid bytes from run to i wait to be copied
    while (i < N) {
      if (p[i] < 0x80) {
        ++i;
        continue;
      }
      const int len = Utf8SequenceLength(p + i, N - i);
      if (len > 0) {
        i += static_cast<size_t>(len);
        continue;
      }
      Out.append(Data + run, i - run);
      if (len < 0 && More) {  // a character cut by the end of this piece
        pending_.assign(Data + i, N - i);
        return replaced;
      }
      Out += kReplacement;
      ++replaced;
      run = ++i;
    }
    Out.append(Data + run, N - run);
    return replaced;
  }
  if (!Available()) {  // no converter for the code page: the bytes read as Latin-1
    for (size_t k = 0; k < N; ++k) {
      const unsigned char c = static_cast<unsigned char>(Data[k]);
      if (c < 0x80) {
        Out.push_back(char(c));
      } else {
        Out.push_back(char(0xC0 | (c >> 6)));
        Out.push_back(char(0x80 | (c & 0x3F)));
      }
    }
    return 0;
  }
  auto cd = static_cast<iconv_t>(cd_);
  char* src = const_cast<char*>(Data);
  size_t left = N;
  while (left > 0) {
    const size_t old = Out.size();
    Out.resize(old + left * 3 + 16);
    char* dst = Out.data() + old;
    size_t room = Out.size() - old;
    const size_t r = iconv(cd, &src, &left, &dst, &room);
    Out.resize(static_cast<size_t>(dst - Out.data()));
    if (r != static_cast<size_t>(-1)) break;
    if (errno == E2BIG) continue;
    if (errno == EINVAL && More) {  // a character cut by the end of this piece
      pending_.assign(src, left);
      break;
    }
    // A byte the code page does not know (or a character cut by the end of the text).
    Out += kReplacement;
    ++replaced;
    ++src;
    --left;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
  }
  return replaced;
}
