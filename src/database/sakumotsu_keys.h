#pragma once
// Crop names and search words as kana keys and as regular expressions over crop names and
// crop conditions. The patterns are applied by the SQL function regexp, which normalises
// pattern and subject with strconv, so the client-side keys below and the keys of strconv
// compare equal there.
#include <string>
#include <string_view>
#include <vector>

// Client-side kana key: half-width to full-width (ASCII "-" stays as it is), katakana to
// hiragana, Latin letters upper case; "ー" deleted, small kana enlarged, voiced and
// semi-voiced kana made plain; full-width brackets （ ） ［ ］ made half-width.
// Latin letters and digits stay full-width. strconv(MakeKanaKey(w)) == strconv(w).
std::string MakeKanaKey(std::string_view word);

// MakeKanaKey plus crop synonyms and cultivation forms: the key of トマト（しせつさいばい） is
// とまと\(しせつさいはい, matching the beginning of any bracketed cultivation form.
std::string NormalizeSakumotsuKey(std::string_view word);

// Search words (separated by blanks, full-width blanks or commas) as a comma list of
// NormalizeSakumotsuKey keys; words whose key is empty ("", "ー", "ｰ") are dropped, so a
// text of such words gives "".
std::string SakumotsuWordsToKeys(std::string_view words);

// The keys of SakumotsuWordsToKeys as one pattern for regexp: the commas between keys become
// "|", pattern look-alikes typed by the user (＊ ＋ ？ ．...) and stray brackets are escaped,
// the escapes the keys already hold are kept. Always a valid pattern.
std::string KeysToRegexp(std::string_view keys);

// A crop condition pattern from a comma list of crop names or keys.
//   '#'           the first name with full-width brackets (no quotes)
//   '='           quoted "^name" test (the crop name starts with the name)
//   ':' '_' '~'   quoted "、(a|b)、" against crop lists joined with "、"
//   '%'           quoted include pattern against crop conditions
//   '!'           quoted exclude pattern (an exclusion bracket ending in を除く)
//   any other     quoted alternation of the names with optional brackets (no frame)
// openFieldFlag: with a greenhouse or hydroponic pattern ('!' only), also match open field.
std::string BuildSakumotsuCondition(std::string_view names, char op, bool openFieldFlag);

// A crop name of a cultivation form, "name（...栽培）" with full-width brackets: base is the
// text before its first "（" and form the rest. False, with base and form unchanged, for any
// other text (a "栽培）" without an opening bracket before it is plain text).
bool SplitCultivationForm(std::string_view name, std::string& base, std::string& form);

// Each item of the comma list that is exactly one of the short kana keys of the context table
// becomes that key's pattern, so the key does not match inside other crop names.
std::string ApplyKanaContext(std::string_view list);

struct TKanaContext {
  const char* key;
  const char* pattern;
};
// The 37 rows of the context table.
const std::vector<TKanaContext>& KanaContextTable();
