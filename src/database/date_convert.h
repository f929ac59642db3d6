#pragma once
// Date conversions of the importers. The stored registration date is "yyyy.mm.dd"
// (the date formatted "yyyy/mm/dd" with every "/" replaced by ".").
#include <optional>
#include <string>
#include <string_view>

// The date text of a calendar date; nullopt when the date does not exist.
std::optional<std::string> DottedDateText(int year, int month, int day);

// A spreadsheet day number (days after 1899-12-30, decimal text, surrounding blanks allowed)
// to the date text. A text that is not an integer, or a day outside years 1..9999, gives
// nullopt.
std::optional<std::string> ExcelSerialToDateText(std::string_view text);

// A date text in year, month, day order with "/" separators ("2019/1/7", "2019/01/07") to
// the date text. A time part after a blank is ignored. An invalid date gives nullopt.
std::optional<std::string> DateTextToDotted(std::string_view text);
