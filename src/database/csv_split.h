#pragma once
// Splitting one line of the published CSV files into fields.
//
// Fields are separated by commas. A field that begins with the quote character (the double
// quote in the public service's files, the single quote in the mirror's files) runs to the
// matching closing quote; a doubled quote inside stands for one quote. Text between a
// closing quote and the next comma is kept as part of the field. An empty field between two
// commas is an empty field and a comma at the end of the line gives a last empty field.
//
// Unlike the delimited-text reader of the old program, a blank does not end an unquoted
// field: blanks are data. The importers still turn "_" into a blank where the published
// files use it for one (see ReplaceUnderscores).
#include <string>
#include <string_view>
#include <vector>

// Splits `line` (without its line break; a trailing CR is ignored) into `out`, which is
// cleared first. Returns the number of fields.
size_t SplitCsvLine(std::string_view line, char quote, std::vector<std::string>& out);
std::vector<std::string> SplitCsvLine(std::string_view line, char quote);

// Every "_" becomes a blank (the published files write blanks as underscores).
void ReplaceUnderscores(std::string& s);

// Replaces every occurrence of `from` by `to` in `s` (plain text, left to right, each
// replacement seeing the result of the ones before only through later calls).
void ReplaceAll(std::string& s, std::string_view from, std::string_view to);

// Number of double quotes (or other byte) in a text.
size_t CountChar(std::string_view s, char c);
