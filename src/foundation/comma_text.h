#pragma once
// Comma text: lists of names stored or passed as one text. Items are joined by ","; an item
// holding a blank (also a full-width one), a comma, a double quote or a control character is
// enclosed in double quotes with inner double quotes doubled. When such a text is split, unquoted blanks also
// separate items.
#include <string>
#include <string_view>
#include <vector>

std::vector<std::string> CommaTextToList(const std::string& text);
std::string ListToCommaText(const std::vector<std::string>& items);
// One item as it appears in comma text (quoted when needed).
std::string QuoteCommaItem(const std::string& item);

// The general form of the split above: items separated by `delimiter`, an item that starts
// with `quote` runs to the matching closing quote (a doubled quote stands for one). With
// blanksSeparate, unquoted blanks and control characters also end an item (the comma-text
// rule); without it only the delimiter does and the blanks around an item are trimmed.
// Two delimiters in a row give an empty item, and so does a delimiter at the very end.
std::vector<std::string> SplitDelimitedText(std::string_view text, char delimiter, char quote,
                                            bool blanksSeparate);

// Splits at commas only: blanks inside a name stay, the blanks around each item are trimmed,
// and an item enclosed in double quotes is unquoted (a doubled quote inside stands for one).
std::vector<std::string> SplitNameList(std::string_view text);
