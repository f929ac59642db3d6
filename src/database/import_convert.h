#pragma once
// Value converters of the importers. A converted value is either text or NULL (nullopt).
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

using TOptText = std::optional<std::string>;

// An empty text stays empty; otherwise half-width katakana become full-width.
std::string NodoText(std::string_view s);
// An empty text gives NULL; otherwise the text.
TOptText TextOrNull(std::string_view s);
// An empty text or "NULL" gives NULL; otherwise "_" become blanks, then full-width ASCII
// look-alikes become ASCII.
TOptText CsvValueOrNull(std::string_view s);
// "NULL" gives NULL; any other text (the empty one too) stays.
TOptText QuoteUnlessNull(std::string_view s);
// Every "m2" becomes "㎡".
std::string SquareMetreText(std::string_view s);
// A whole number (blanks around it allowed, a ".0" fraction from a spreadsheet cell too);
// nullopt for anything else.
std::optional<int64_t> ParseWholeNumber(std::string_view s);
