#pragma once
// Small regular-expression operations of the template engine (on the shared TPerlRegEx),
// the comma-list helpers that build SQL lists and regular-expression alternations, the
// bracket conversions of crop names, and the HTML escaping of the result pages.
#include <string>
#include <string_view>
#include <vector>

#include "database/perl_regex.h"

// On SharedRegEx(): with "g" in the flags every match is replaced, otherwise the first only.
// The replacement may refer to groups as "$1" or "\1"; "\\" and "\$" give a backslash and a
// dollar sign. An unmatched subject comes back unchanged. A pattern that does not compile
// (the templates are user files) is reported as an error message and the subject comes back
// unchanged, so the caller goes on.
std::string RegexReplace(std::string_view subject, std::string_view pattern,
                         std::string_view flags, std::string_view replacement);

// On SharedRegEx(): clears *groups (when given); on a match adds group 0 and every group
// 1..n (empty text for a group that took no part). A bad pattern is reported as an error
// message and gives false.
bool RegexMatch(std::string_view subject, std::string_view pattern, std::string_view flags,
                std::vector<std::string>* groups = nullptr);

// First item of a list whose items are separated by commas or blanks and may be enclosed in
// single (or double) quotes: "ab cd,e" gives "ab", "'a b',c" gives "a b". When that item
// still holds a comma (a quoted item of several names), the first item of it.
std::string FirstCsvItem(std::string_view list);

// A comma list of names as a regular-expression alternation: single and double quotes are
// removed, every name has its pattern characters escaped (ASCII ones, and the full-width
// look-alikes （ ） ［ ］ ｛ ｝ ． ＊ ＋ ｜ ＾ ＄ ￥ ？ ！ ＝ ＜ ＞ as their escaped ASCII
// forms), and the names are joined with "|". Empty names are left out.
std::string ListToAlternation(std::string_view list);

// One name with every pattern character escaped, as ListToAlternation does per name.
std::string EscapeRegexName(std::string_view name);

// The full-width look-alikes of the pattern characters turned into escaped ASCII; everything
// else (ASCII pattern syntax included) unchanged.
std::string FullWidthMetaToEscaped(std::string_view text);

// ( ) [ ] to \( \) \[ \].
std::string EscapeBrackets(std::string_view text);
// ( ) [ ] to （ ） ［ ］, and back.
std::string HalfToFullBrackets(std::string_view text);
std::string FullToHalfBrackets(std::string_view text);

// 'text' with every single quote doubled: the one quoting helper for SQL literals.
std::string SqlQuote(std::string_view value);

// A list of names for an SQL IN list: the single quotes that enclose items dropped, the text
// split into items at commas and blanks (comma text: an item in double quotes keeps its
// blanks and commas), every item in single quotes and the items joined by ",". An apostrophe
// inside a name stays, doubled. Empty items are left out.
// "a, b" gives 'a','b'; "'トマト,なす'" gives 'トマト','なす'; "it's x" gives 'it''s','x'.
std::string QuotedCommaList(std::string_view list);

// & < > and the double quote to "&amp;", "&lt;", "&gt;", "&quot;" (the apostrophe stays).
std::string HtmlEscape(std::string_view text);

// Replaces every occurrence of from by to (plain text).
std::string ReplaceAllText(std::string_view text, std::string_view from, std::string_view to);
