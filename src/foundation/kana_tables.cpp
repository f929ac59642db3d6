#include "foundation/kana_tables.h"

#include <array>
#include <cstdint>

namespace kana {

namespace {

// U+FF61..U+FF9F → full-width forms (JIS X 0201 → JIS X 0208 correspondence).
constexpr char16_t kHalfToFull[0x3F] = {
    0x3002, 0x300C, 0x300D, 0x3001, 0x30FB, 0x30F2,                  // ｡ ｢ ｣ ､ ･ ｦ
    0x30A1, 0x30A3, 0x30A5, 0x30A7, 0x30A9, 0x30E3, 0x30E5, 0x30E7,  // ｧ ｨ ｩ ｪ ｫ ｬ ｭ ｮ
    0x30C3, 0x30FC,                                                  // ｯ ｰ
    0x30A2, 0x30A4, 0x30A6, 0x30A8, 0x30AA,                          // ｱ ｲ ｳ ｴ ｵ
    0x30AB, 0x30AD, 0x30AF, 0x30B1, 0x30B3,                          // ｶ ｷ ｸ ｹ ｺ
    0x30B5, 0x30B7, 0x30B9, 0x30BB, 0x30BD,                          // ｻ ｼ ｽ ｾ ｿ
    0x30BF, 0x30C1, 0x30C4, 0x30C6, 0x30C8,                          // ﾀ ﾁ ﾂ ﾃ ﾄ
    0x30CA, 0x30CB, 0x30CC, 0x30CD, 0x30CE,                          // ﾅ ﾆ ﾇ ﾈ ﾉ
    0x30CF, 0x30D2, 0x30D5, 0x30D8, 0x30DB,                          // ﾊ ﾋ ﾌ ﾍ ﾎ
    0x30DE, 0x30DF, 0x30E0, 0x30E1, 0x30E2,                          // ﾏ ﾐ ﾑ ﾒ ﾓ
    0x30E4, 0x30E6, 0x30E8,                                          // ﾔ ﾕ ﾖ
    0x30E9, 0x30EA, 0x30EB, 0x30EC, 0x30ED,                          // ﾗ ﾘ ﾙ ﾚ ﾛ
    0x30EF, 0x30F3, 0x309B, 0x309C,                                  // ﾜ ﾝ ﾞ ﾟ
};

// Tables indexed by code point - 0x3000 over U+3000..U+30FF.
struct KanaTables {
  // Half-width spelling: low 16 bits first code point, high 16 bits second (0 = none).
  std::array<uint32_t, 0x100> toHalf{};
  std::array<char16_t, 0x100> voiced{};
  std::array<char16_t, 0x100> semiVoiced{};
  std::array<char16_t, 0x100> fold{};

  constexpr KanaTables() {
    for (int i = 0; i < 0x3F; ++i) {
      char32_t full = kHalfToFull[i];
      toHalf[full - 0x3000] = 0xFF61 + i;
    }
    // Voiced rows: カ..ト (every other code from カ, ッ excepted), ハ..ホ (step 3), ウ.
    const char16_t voicable[] = {0x30AB, 0x30AD, 0x30AF, 0x30B1, 0x30B3, 0x30B5, 0x30B7, 0x30B9,
                                 0x30BB, 0x30BD, 0x30BF, 0x30C1, 0x30C4, 0x30C6, 0x30C8};
    for (char16_t k : voicable) voiced[k - 0x3000] = k + 1;
    for (char16_t k = 0x30CF; k <= 0x30DB; k += 3) {
      voiced[k - 0x3000] = k + 1;
      semiVoiced[k - 0x3000] = k + 2;
    }
    voiced[0x30A6 - 0x3000] = 0x30F4;  // ウ → ヴ
    voiced[0x30FD - 0x3000] = 0x30FE;  // ヽ → ヾ
    // Half-width spellings of the voiced forms.
    for (int i = 0; i < 0x100; ++i) {
      if (voiced[i]) {
        uint32_t base = toHalf[i] & 0xFFFF;
        if (base && !toHalf[voiced[i] - 0x3000]) toHalf[voiced[i] - 0x3000] = base | (0xFF9Eu << 16);
      }
      if (semiVoiced[i]) {
        uint32_t base = toHalf[i] & 0xFFFF;
        if (base) toHalf[semiVoiced[i] - 0x3000] = base | (0xFF9Fu << 16);
      }
    }
    // Hiragana folding.
    for (int i = 0; i < 0x100; ++i) fold[i] = static_cast<char16_t>(0x3000 + i);
    const char16_t small[] = {0x3041, 0x3043, 0x3045, 0x3047, 0x3049, 0x3063,
                              0x3083, 0x3085, 0x3087, 0x308E};
    for (char16_t k : small) fold[k - 0x3000] = k + 1;
    fold[0x3095 - 0x3000] = 0x304B;  // ゕ → か
    fold[0x3096 - 0x3000] = 0x3051;  // ゖ → け
    for (int i = 0; i < 0x100; ++i) {
      char16_t k = static_cast<char16_t>(0x3000 + i);
      if (k >= 0x30A1 && k <= 0x30FE) {
        char16_t hk = k - 0x60;
        if (voiced[i] && voiced[i] <= 0x30F6) fold[voiced[i] - 0x60 - 0x3000] = hk;
        if (semiVoiced[i]) fold[semiVoiced[i] - 0x60 - 0x3000] = hk;
      }
    }
    fold[0x309E - 0x3000] = 0x309D;  // ゞ → ゝ
  }
};

constexpr KanaTables kTables{};

}  // namespace

char32_t DecodeUtf8(const char* s, size_t n, size_t& i) {
  const auto* p = reinterpret_cast<const unsigned char*>(s);
  unsigned char b0 = p[i];
  if (b0 < 0x80) {
    ++i;
    return b0;
  }
  int len;
  char32_t cp;
  if (b0 >= 0xC2 && b0 <= 0xDF) {
    len = 2;
    cp = b0 & 0x1F;
  } else if (b0 >= 0xE0 && b0 <= 0xEF) {
    len = 3;
    cp = b0 & 0x0F;
  } else if (b0 >= 0xF0 && b0 <= 0xF4) {
    len = 4;
    cp = b0 & 0x07;
  } else {
    ++i;
    return kInvalid;
  }
  if (i + len > n) {
    ++i;
    return kInvalid;
  }
  for (int k = 1; k < len; ++k) {
    unsigned char b = p[i + k];
    if ((b & 0xC0) != 0x80) {
      ++i;
      return kInvalid;
    }
    cp = (cp << 6) | (b & 0x3F);
  }
  // Overlong, surrogate and out-of-range forms are invalid.
  if ((len == 3 && cp < 0x800) || (len == 4 && (cp < 0x10000 || cp > 0x10FFFF)) ||
      (cp >= 0xD800 && cp <= 0xDFFF)) {
    ++i;
    return kInvalid;
  }
  i += len;
  return cp;
}

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out.push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    char b[2] = {static_cast<char>(0xC0 | (c >> 6)), static_cast<char>(0x80 | (c & 0x3F))};
    out.append(b, 2);
  } else if (c < 0x10000) {
    char b[3] = {static_cast<char>(0xE0 | (c >> 12)), static_cast<char>(0x80 | ((c >> 6) & 0x3F)),
                 static_cast<char>(0x80 | (c & 0x3F))};
    out.append(b, 3);
  } else {
    char b[4] = {static_cast<char>(0xF0 | (c >> 18)), static_cast<char>(0x80 | ((c >> 12) & 0x3F)),
                 static_cast<char>(0x80 | ((c >> 6) & 0x3F)), static_cast<char>(0x80 | (c & 0x3F))};
    out.append(b, 4);
  }
}

size_t Utf8Length(std::string_view s) {
  size_t n = 0;
  for (size_t i = 0; i < s.size();) {
    DecodeUtf8(s.data(), s.size(), i);
    ++n;
  }
  return n;
}

char32_t HalfKanaToFull(char32_t c) { return IsHalfKana(c) ? kHalfToFull[c - 0xFF61] : c; }

char32_t VoicedKatakana(char32_t c) {
  return (c >= 0x3000 && c <= 0x30FF) ? kTables.voiced[c - 0x3000] : 0;
}

char32_t SemiVoicedKatakana(char32_t c) {
  return (c >= 0x3000 && c <= 0x30FF) ? kTables.semiVoiced[c - 0x3000] : 0;
}

char32_t ReadHalfKana(const char* s, size_t n, size_t& i, char32_t c, bool dropLoneMark) {
  char32_t f = HalfKanaToFull(c);
  if (i >= n) return f;
  size_t j = i;
  const char32_t m = DecodeUtf8(s, n, j);
  if (m != 0xFF9E && m != 0xFF9F) return f;
  const char32_t v = m == 0xFF9E ? VoicedKatakana(f) : SemiVoicedKatakana(f);
  if (v || dropLoneMark) i = j;
  return v ? v : f;
}

int FullKanaToHalf(char32_t c, char32_t out[2]) {
  if (c < 0x3000 || c > 0x30FF) return 0;
  uint32_t h = kTables.toHalf[c - 0x3000];
  if (!h) return 0;
  out[0] = h & 0xFFFF;
  if (h >> 16) {
    out[1] = h >> 16;
    return 2;
  }
  return 1;
}

char32_t FoldHiragana(char32_t c) {
  return (c >= 0x3000 && c <= 0x30FF) ? kTables.fold[c - 0x3000] : c;
}

char32_t ToLower(char32_t c) {
  if (c < 0x80) return (c >= 'A' && c <= 'Z') ? c + 0x20 : c;
  if (c >= 0xFF21 && c <= 0xFF3A) return c + 0x20;
  if (c >= 0x0391 && c <= 0x03A9 && c != 0x03A2) return c + 0x20;
  if (c >= 0x0410 && c <= 0x042F) return c + 0x20;
  if (c == 0x0401) return 0x0451;
  return c;
}

char32_t ToUpper(char32_t c) {
  if (c < 0x80) return (c >= 'a' && c <= 'z') ? c - 0x20 : c;
  if (c >= 0xFF41 && c <= 0xFF5A) return c - 0x20;
  if (c >= 0x03B1 && c <= 0x03C9 && c != 0x03C2) return c - 0x20;
  if (c >= 0x0430 && c <= 0x044F) return c - 0x20;
  if (c == 0x0451) return 0x0401;
  return c;
}

void MapTextAppend(std::string_view in, unsigned flags, std::string& out) {
  const char* s = in.data();
  const size_t n = in.size();
  const bool full = flags & kMapFullWidth;
  const bool half = flags & kMapHalfWidth;
  const bool hira = flags & kMapHiragana;
  const bool kata = flags & kMapKatakana;
  const bool lower = flags & kMapLowerCase;
  const bool upper = flags & kMapUpperCase;
  out.reserve(out.size() + n + n / 2);
  ForEachCodePoint(in, out, [&](char32_t c, size_t, size_t& i) {
    if (full) {
      if (IsHalfKana(c)) {
        c = ReadHalfKana(s, n, i, c);
      } else {
        c = AsciiToFull(c);
      }
    }
    if (hira) c = KataToHira(c);
    if (kata) c = HiraToKata(c);
    if (lower) c = ToLower(c);
    if (upper) c = ToUpper(c);
    if (half) {
      c = FullToAscii(c);
      char32_t h[2];
      int k = FullKanaToHalf(c, h);
      if (k) {
        AppendUtf8(out, h[0]);
        if (k == 2) AppendUtf8(out, h[1]);
        return;
      }
    }
    AppendUtf8(out, c);
  });
}

std::string MapText(std::string_view in, unsigned flags) {
  std::string out;
  MapTextAppend(in, flags, out);
  return out;
}

}  // namespace kana
