#pragma once
// Search keys: the normalisation behind the SQL functions strconv, match and regexp and the
// preconv literals.  Option letters (either case, others ignored, empty = "KCWV"):
//   K  katakana to hiragana, full-width Latin letters, digits and symbols to half width
//   C  upper case to lower case
//   W  full width to half width (katakana become half-width katakana)
//   V  as K, and besides: "－" and "ー" removed, small kana enlarged, voiced and semi-voiced
//      kana made plain
// With the default options ト, ﾄ and と give と; ガ gives か; Ａ gives a; ０ gives 0; the
// ideographic space gives a blank; an ASCII "-" is kept.
#include <string>
#include <string_view>

namespace strconv_opt {
enum : unsigned { K = 1, C = 2, W = 4, V = 8, All = K | C | W | V };
}

// Option bits of an option text (empty text = all four).
unsigned StrConvOptions(std::string_view options);

// Appends the key of text under the option bits to out (no allocation beyond out's growth).
// With no option bit the text is appended unchanged.
void StrConvAppend(std::string_view text, unsigned options, std::string& out);

// The key of a UTF-8 text under an option text.
std::string StrConvText(std::string_view text, std::string_view options = {});

// The same key computed step by step, character by character, without the lookup tables that
// StrConvAppend uses; the tables are built from it (and tests compare the two).
void StrConvAppendReference(std::string_view text, unsigned options, std::string& out);
