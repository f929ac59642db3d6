#pragma once
// Japanese text utilities shared by the import, the searches, the exports and the HTML view.
// Every routine works on UTF-8 text (std::string); positions and lengths are byte counts of the
// UTF-8 text.  Width and kana conversions use the tables of foundation/kana_tables.h.
#include <string>
#include <string_view>

#include "foundation/kana_tables.h"

// Width / kana / case mapping of a whole text with kana::MapFlags (kana::kMapFullWidth, ...).
// An empty text gives an empty text.
std::string MapString(std::string_view text, unsigned flags);

// Half-width to full-width: ASCII to full-width look-alikes, blank to the ideographic space,
// half-width katakana to full-width (ｶﾞ → ガ).
std::string HanToZen(std::string_view text);
// Full-width to half-width: full-width ASCII look-alikes to ASCII, katakana to half-width
// katakana with separate voicing marks (ガ → ｶﾞ); hiragana stay.
std::string ZenToHan(std::string_view text);
// Katakana to hiragana, and back.
std::string KataToHira(std::string_view text);
std::string HiraToKata(std::string_view text);

// Full-width ASCII look-alikes (digits, letters, the common symbols, quotes and the
// ideographic space) to ASCII, and half-width katakana to full-width (ｶﾞ → ガ; a voicing mark
// after a kana without a voiced form is dropped).
std::string ZenToHanAscii(std::string_view text);
// Half-width katakana to full-width as ZenToHanAscii; everything else unchanged.
std::string HanKanaToZen(std::string_view text);

// ASCII letters in lower / upper case; every other byte (UTF-8 text included) unchanged.
std::string AsciiLowerCase(std::string text);
std::string AsciiUpperCase(std::string text);

// Trims blanks and control characters from both ends, then removes every <...> tag.
std::string StripTags(std::string_view text);

// 1-based byte position of the first occurrence of sub in text at or after byte position
// start; 0 when none, when start < 1 or start > the text's length, or when sub is empty.
int PosEx(std::string_view sub, std::string_view text, int start = 1);
// Number of non-overlapping occurrences of sub in text; 0 for an empty sub.
int CountStr(std::string_view text, std::string_view sub);

// The text begins with a hiragana (あ..ん) / katakana (ァ..ヶ) character.
bool IsHiragana(std::string_view text);
bool IsKatakana(std::string_view text);

// The text with every NUL byte shown as "␀" (U+2400), so a message or log line that quotes a
// value holding one is neither cut short there nor loses what follows.
std::string VisibleNul(std::string_view text);
inline constexpr std::string_view kVisibleNul = "\u2400";

// "1" / "0".
std::string BoolToStr01(bool value);

// The system temporary folder, always ending in "/".
std::string GetTempDir();

// A one-line description of the operating system (distribution, kernel and architecture).
std::string GetOSVersionName();
