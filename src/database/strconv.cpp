#include "database/strconv.h"

#include "foundation/kana_tables.h"

unsigned StrConvOptions(std::string_view options) {
  if (options.empty()) return strconv_opt::All;
  unsigned bits = 0;
  for (char ch : options) {
    switch (ch) {
      case 'K': case 'k': bits |= strconv_opt::K; break;
      case 'C': case 'c': bits |= strconv_opt::C; break;
      case 'W': case 'w': bits |= strconv_opt::W; break;
      case 'V': case 'v': bits |= strconv_opt::V; break;
      default: break;
    }
  }
  return bits;
}

namespace {

// Appends one mapped code point; without V a half-width long-vowel mark turns back into ー
// (the half-width mapping made it half-width).
inline void Emit(std::string& out, char32_t c, bool fold) {
  if (!fold && c == kana::kHalfLongVowel) c = kana::kLongVowel;
  kana::AppendUtf8(out, c);
}

}  // namespace

// One pass over the text that gives the same result as the three steps of the key:
// (1) with V remove "－"; (2) with K or V map half width to full width and katakana to
// hiragana, then with V remove "ー" and fold the hiragana; (3) map with the collected flags
// (hiragana, half width, lower case); without V turn "ｰ" back into "ー".
void StrConvAppendReference(std::string_view text, unsigned options, std::string& out) {
  if (!(options & strconv_opt::All)) {
    out.append(text);
    return;
  }
  const bool fold = options & strconv_opt::V;
  const bool hira = options & (strconv_opt::K | strconv_opt::V);
  const bool half = hira || (options & strconv_opt::W);
  const bool lower = options & strconv_opt::C;
  const char* s = text.data();
  const size_t n = text.size();
  out.reserve(out.size() + n);
  size_t i = 0;
  while (i < n) {
    // ASCII runs: every mapping leaves ASCII as it is except the lower-case one.
    size_t run = i;
    if (lower) {
      while (run < n && static_cast<unsigned char>(s[run]) < 0x80) {
        char ch = s[run];
        if (ch >= 'A' && ch <= 'Z') break;
        ++run;
      }
    } else {
      while (run < n && static_cast<unsigned char>(s[run]) < 0x80) ++run;
    }
    if (run > i) {
      out.append(s + i, run - i);
      i = run;
      continue;
    }
    size_t start = i;
    char32_t c = kana::DecodeUtf8(s, n, i);
    if (c == kana::kInvalid) {
      out.push_back(s[start]);
      continue;
    }
    if (c < 0x80) {  // an upper-case letter
      out.push_back(static_cast<char>(c + 0x20));
      continue;
    }
    if (fold && kana::IsFullHyphen(c)) continue;
    if (hira) {
      if (kana::IsHalfKana(c)) c = kana::ReadHalfKana(s, n, i, c);
      c = kana::KataToHira(c);
      if (fold) {
        if (c == kana::kLongVowel) continue;
        c = kana::FoldHiragana(c);
      }
    }
    if (half) {
      c = kana::FullToAscii(c);
      if (c < 0x80) {
        if (lower && c >= 'A' && c <= 'Z') c += 0x20;
        out.push_back(static_cast<char>(c));
        continue;
      }
      char32_t h[2];
      int k = kana::FullKanaToHalf(c, h);
      if (k) {
        Emit(out, h[0], fold);
        if (k == 2) Emit(out, h[1], fold);
        continue;
      }
    }
    if (lower) c = kana::ToLower(c);
    Emit(out, c, fold);
  }
}

namespace {

// Precomputed keys of the three-byte characters where kana, kana punctuation and the
// full-width forms live (U+3000..U+30FF and U+FF00..U+FFEF), one table per option set, so the
// common characters cost one lookup.  A half-width kana that may take a following mark goes
// through the generic walk.
struct TKeyEntry {
  unsigned char len;  // bytes of the key (0: removed)
  char bytes[7];
};

struct TKeyTables {
  TKeyEntry kana[16][0x100];
  TKeyEntry full[16][0xF0];
  TKeyTables() {
    for (unsigned o = 0; o < 16; ++o) {
      for (char32_t c = 0; c < 0x100; ++c) Fill(kana[o][c], 0x3000 + c, o);
      for (char32_t c = 0; c < 0xF0; ++c) Fill(full[o][c], 0xFF00 + c, o);
    }
  }
  static void Fill(TKeyEntry& e, char32_t c, unsigned o) {
    std::string in, out;
    kana::AppendUtf8(in, c);
    StrConvAppendReference(in, o, out);
    e.len = static_cast<unsigned char>(out.size());
    for (size_t k = 0; k < out.size() && k < sizeof e.bytes; ++k) e.bytes[k] = out[k];
  }
};

const TKeyTables& KeyTables() {
  static const TKeyTables t;
  return t;
}

}  // namespace

void StrConvAppend(std::string_view text, unsigned options, std::string& out) {
  options &= strconv_opt::All;
  if (!options) {
    out.append(text);
    return;
  }
  const TKeyTables& tables = KeyTables();
  const TKeyEntry* kanaT = tables.kana[options];
  const TKeyEntry* fullT = tables.full[options];
  const bool lower = options & strconv_opt::C;
  const bool hira = options & (strconv_opt::K | strconv_opt::V);
  const auto* s = reinterpret_cast<const unsigned char*>(text.data());
  const size_t n = text.size();
  out.reserve(out.size() + n);
  size_t i = 0;
  while (i < n) {
    unsigned char b = s[i];
    if (b < 0x80) {
      size_t run = i + 1;
      if (lower) {
        if (b >= 'A' && b <= 'Z') {
          out.push_back(static_cast<char>(b + 0x20));
          ++i;
          continue;
        }
        while (run < n && s[run] < 0x80 && !(s[run] >= 'A' && s[run] <= 'Z')) ++run;
      } else {
        while (run < n && s[run] < 0x80) ++run;
      }
      out.append(text.data() + i, run - i);
      i = run;
      continue;
    }
    if ((b == 0xE3 || b == 0xEF) && i + 2 < n && (s[i + 1] & 0xC0) == 0x80 && (s[i + 2] & 0xC0) == 0x80) {
      char32_t c = (char32_t(b & 0x0F) << 12) | (char32_t(s[i + 1] & 0x3F) << 6) | (s[i + 2] & 0x3F);
      const TKeyEntry* e = nullptr;
      bool mayCombine = false;
      if (c >= 0x3000 && c <= 0x30FF) {
        e = &kanaT[c - 0x3000];
      } else if (c >= 0xFF00 && c <= 0xFFEF) {
        // A half-width kana followed by a voicing mark combines: leave it to the generic walk.
        mayCombine = hira && c >= 0xFF61 && c <= 0xFF9D && i + 5 < n && s[i + 3] == 0xEF &&
                     s[i + 4] == 0xBE && (s[i + 5] == 0x9E || s[i + 5] == 0x9F);
        if (!mayCombine) e = &fullT[c - 0xFF00];
      }
      if (e) {
        out.append(e->bytes, e->len);
        i += 3;
        continue;
      }
      if (mayCombine) {
        // The character and its mark: the generic walk handles both.
        StrConvAppendReference(text.substr(i, 6), options, out);
        i += 6;
        continue;
      }
      // Any other character of these lead bytes (㈱, CJK extension A, U+FFF0..U+FFFF) has no
      // key of its own: copied as it is.
      out.append(text.data() + i, 3);
      i += 3;
      continue;
    }
    // Any other character: only Greek and Cyrillic capitals and the minus sign change (kanji
    // and everything else are copied); a stray byte is copied as it is.
    size_t j = i;
    char32_t c = kana::DecodeUtf8(text.data(), n, j);
    if ((c >= 0x0391 && c <= 0x042F) || c == 0x2212) StrConvAppendReference(text.substr(i, j - i), options, out);
    else out.append(text.data() + i, j - i);
    i = j;
  }
}

std::string StrConvText(std::string_view text, std::string_view options) {
  std::string out;
  StrConvAppend(text, StrConvOptions(options), out);
  return out;
}
