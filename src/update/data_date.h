#pragma once
// Dates of the update check: the data-date sentence of the public service's pages turned into
// the data date text ("2019年12月3日反映"), HTTP dates in the data's own time zone, and file
// times as date-times.
//
// Date-times here are TDateTime values as the settings and logs of the program know them: days
// since 1899-12-30 with the time of day as the fraction, a wall-clock reading without a zone.
// Comparisons of "is the server copy newer" never use them: they compare UTC instants
// (HttpDateToUtc, file modification times), so the machine's own zone cannot fake or hide an
// update.
#include <ctime>
#include <string>
#include <string_view>

using TDateTime = double;

// The wall-clock date-time of the given fields; seconds may carry a fraction.
TDateTime EncodeDateTime(int year, int month, int day, int hour, int minute, double second);
// The fields of a date-time (second rounded to whole seconds).
void DecodeDateTime(TDateTime value, int& year, int& month, int& day, int& hour, int& minute, int& second);
// The wall-clock reading of a UTC instant shifted by offsetSeconds (0: the UTC reading).
TDateTime UnixToDateTime(std::time_t utc, long offsetSeconds = 0);

// The time zone of the published data (Japan, UTC+9, no daylight saving), fixed whatever the
// machine's zone.
inline constexpr long kDataZoneOffsetSeconds = 9 * 3600;

// An HTTP date (RFC 1123, also RFC 850 and asctime) to its UTC instant. False for an empty or
// malformed text; `utc` is then left alone.
bool HttpDateToUtc(const std::string& text, std::time_t& utc);

// An HTTP date as the wall-clock reading in the data's zone: "Tue, 05 Mar 2024 15:30:00 GMT"
// gives 6 March 2024 00:30:00. An empty or malformed text gives the current time in that zone
// (for display only: whether data are newer is decided with HttpDateToUtc).
TDateTime HttpDateToLocal(const std::string& text);

// The file's last-write time as the machine's local wall-clock reading; 0 when the file is
// missing or its time is zero.
TDateTime FileLocalTime(const std::string& fileName);
// The file's last-write time as a UTC instant; false when the file cannot be read.
bool FileModifiedUtc(const std::string& fileName, std::time_t& utc);

// Japanese era years written as the era name and a year number ("令和元", "令和6", "令和１１",
// "平成31") become western years ("2019", "2024", "2029", "2019"). Any year number of the two
// eras converts; other text is kept.
std::string ReplaceEraYears(std::string_view text);

// The data date text of a page line or a mirror's update.txt line:
// - a sentence "本ファイルは、「令和元年12月3日」分を反映した農薬登録情報です。" gives
//   "2019年12月3日反映" (era years made western);
// - a line holding "反映分" outside an HTML comment loses its tags, "反映分" becomes "反映",
//   "（" becomes "及び", "）" goes and "失効も反映しています" becomes "失効反映" (this form
//   wins over the first);
// - anything else gives "更新日不明".
void DataDateText(const std::string& text, std::string& dateText);
std::string DataDateText(const std::string& text);
