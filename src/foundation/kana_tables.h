#pragma once
// Character tables of the Japanese text routines: width (full-width / half-width ASCII and
// katakana), kana (katakana / hiragana), case, and the key folding of kana (small kana
// enlarged, voiced and semi-voiced kana made plain).  The text utilities, the SQL function
// strconv and the client-side key builder all work on these tables, so keys built anywhere
// in the program compare equal.
//
// Everything works on Unicode code points; the UTF-8 helpers below decode and encode without
// allocating.  A byte that is not valid UTF-8 is passed through unchanged by every mapping.
#include <cstddef>
#include <string>
#include <string_view>

namespace kana {

// ---- UTF-8 ---------------------------------------------------------------------------------

// Marker returned by DecodeUtf8 for a byte that does not start a valid sequence; the caller
// copies that one byte unchanged.
constexpr char32_t kInvalid = 0xFFFFFFFFu;

// Decodes one code point at s[i] (i < n), advances i.  Invalid or truncated sequences give
// kInvalid and advance by one byte.
char32_t DecodeUtf8(const char* s, size_t n, size_t& i);
// Appends the UTF-8 form of c.
void AppendUtf8(std::string& out, char32_t c);
// Number of code points (an invalid byte counts as one).
size_t Utf8Length(std::string_view s);
// Walks the code points of in, for the mappings that copy what they cannot read: a byte that
// does not start a valid sequence is appended to out unchanged; every other code point c,
// decoded from in[start, i), goes to each(c, start, i), which may move i further on.
template <class Fn>
void ForEachCodePoint(std::string_view in, std::string& out, Fn each) {
  const char* s = in.data();
  const size_t n = in.size();
  for (size_t i = 0; i < n;) {
    const size_t start = i;
    const char32_t c = DecodeUtf8(s, n, i);
    if (c == kInvalid)
      out.push_back(s[start]);
    else
      each(c, start, i);
  }
}

// ---- single code point tables --------------------------------------------------------------

// Half-width katakana and punctuation U+FF61..U+FF9F, the marks ﾞ ﾟ included.
inline bool IsHalfKana(char32_t c) { return c >= 0xFF61 && c <= 0xFF9F; }
// Katakana ァ..ヶ plus ヽ ヾ; hiragana ぁ..ゖ plus ゝ ゞ.
inline bool IsKatakana(char32_t c) { return (c >= 0x30A1 && c <= 0x30F6) || c == 0x30FD || c == 0x30FE; }
inline bool IsHiragana(char32_t c) { return (c >= 0x3041 && c <= 0x3096) || c == 0x309D || c == 0x309E; }

// Half-width katakana / punctuation to the full-width form (ｶ→カ, ｰ→ー, ｡→。, ﾞ→゛, ﾟ→゜);
// other code points unchanged.
char32_t HalfKanaToFull(char32_t c);
// Voiced (ﾞ) and semi-voiced (ﾟ) form of a full-width katakana: カ→ガ, ウ→ヴ, ハ→バ / パ.
// 0 when the kana has no such form.
char32_t VoicedKatakana(char32_t fullKata);
char32_t SemiVoicedKatakana(char32_t fullKata);

// The full-width form of the half-width kana c that was decoded from s just before position i:
// when a voicing mark ﾞ / ﾟ follows and the kana has that form, the voiced / semi-voiced kana
// (ｶﾞ → ガ, ﾊﾟ → パ) and i moves past the mark. With dropLoneMark a mark after a kana without
// such a form is consumed as well (ｱﾞ → ア); otherwise it stays for the caller.
char32_t ReadHalfKana(const char* s, size_t n, size_t& i, char32_t c, bool dropLoneMark = false);

// Full-width katakana / kana punctuation to its half-width spelling: one or two code points
// written to out (ガ→ｶﾞ, パ→ﾊﾟ, ヴ→ｳﾞ, ー→ｰ, 。→｡, ゛→ﾞ).  Returns 0 when the code point has
// no half-width form (hiragana, ヵ, ヶ, ヮ, other characters).
int FullKanaToHalf(char32_t c, char32_t out[2]);

// ASCII 0x20..0x7E to full-width (U+FF01..U+FF5E, blank → U+3000 ideographic space); other
// code points unchanged.
inline char32_t AsciiToFull(char32_t c) {
  if (c == 0x20) return 0x3000;
  if (c > 0x20 && c < 0x7F) return c + 0xFEE0;
  return c;
}
// Full-width ASCII look-alikes (U+FF01..U+FF5E, U+3000) to ASCII; other code points
// unchanged.
inline char32_t FullToAscii(char32_t c) {
  if (c == 0x3000) return 0x20;
  if (c >= 0xFF01 && c <= 0xFF5E) return c - 0xFEE0;
  return c;
}

// Katakana to hiragana (ヴ→ゔ, ヵ→ゕ, ヶ→ゖ, ヽ→ゝ) and back; other code points unchanged.
inline char32_t KataToHira(char32_t c) {
  if (c >= 0x30A1 && c <= 0x30F6) return c - 0x60;
  if (c == 0x30FD || c == 0x30FE) return c - 0x60;
  return c;
}
inline char32_t HiraToKata(char32_t c) {
  if (c >= 0x3041 && c <= 0x3096) return c + 0x60;
  if (c == 0x309D || c == 0x309E) return c + 0x60;
  return c;
}

// Key folding of one hiragana: small kana enlarged (ぁ→あ, っ→つ, ゎ→わ, ゕ→か, ゖ→け), voiced
// made plain (が→か, ゔ→う, ゞ→ゝ), semi-voiced made plain (ぱ→は).  Other code points
// unchanged.
char32_t FoldHiragana(char32_t c);

// Latin (ASCII and full-width), Greek and Cyrillic letters to lower / upper case.
char32_t ToLower(char32_t c);
char32_t ToUpper(char32_t c);

// The long-vowel mark ー (U+30FC), its half-width form ｰ (U+FF70), and the full-width
// hyphen-minus － (U+FF0D; U+2212 minus sign counts as the same character).
constexpr char32_t kLongVowel = 0x30FC;
constexpr char32_t kHalfLongVowel = 0xFF70;
inline bool IsFullHyphen(char32_t c) { return c == 0xFF0D || c == 0x2212; }

// ---- whole-text mapping --------------------------------------------------------------------

// Mapping flags, combinable like the platform's national-language mapping flags.
enum MapFlags : unsigned {
  kMapFullWidth = 1u << 0,  // half-width ASCII and katakana to full width (ﾊﾟ → パ)
  kMapHalfWidth = 1u << 1,  // full-width ASCII and katakana to half width (パ → ﾊﾟ)
  kMapHiragana = 1u << 2,   // katakana to hiragana
  kMapKatakana = 1u << 3,   // hiragana to katakana
  kMapLowerCase = 1u << 4,
  kMapUpperCase = 1u << 5,
};

// Appends the mapping of in to out.  With kMapFullWidth a half-width kana followed by ﾞ / ﾟ
// becomes the single voiced / semi-voiced kana when one exists; otherwise the mark becomes
// ゛ / ゜ on its own.  With kMapHiragana and kMapHalfWidth together kana stay full-width
// hiragana.  Code points without a partner are copied unchanged.
void MapTextAppend(std::string_view in, unsigned flags, std::string& out);
std::string MapText(std::string_view in, unsigned flags);

}  // namespace kana
