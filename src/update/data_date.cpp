#include "update/data_date.h"

#include <sys/stat.h>

#include <cmath>
#include <cstdint>

#include "foundation/text_utils.h"
#include "update/http_date.h"

namespace {

// Days from 1970-01-01 to the civil date (proleptic Gregorian).
std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

void CivilFromDays(std::int64_t z, int& y, int& m, int& d) {
  z += 719468;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  y = static_cast<int>(static_cast<std::int64_t>(yoe) + era * 400 + (m <= 2));
}

// TDateTime day 0 (1899-12-30) counted from 1970-01-01.
constexpr std::int64_t kDelphiEpochDays = -25569;

void ReplaceAll(std::string& s, std::string_view from, std::string_view to) {
  if (from.empty()) return;
  size_t pos = 0;
  while ((pos = s.find(from, pos)) != std::string::npos) {
    s.replace(pos, from.size(), to);
    pos += to.size();
  }
}

bool Contains(const std::string& s, std::string_view part) { return s.find(part) != std::string::npos; }

// A digit at p, ASCII or full-width ("０".."９", EF BC 90..99): its value and byte length.
bool DigitAt(std::string_view s, size_t p, int& value, size_t& len) {
  if (p < s.size() && s[p] >= '0' && s[p] <= '9') {
    value = s[p] - '0';
    len = 1;
    return true;
  }
  if (p + 2 < s.size() && static_cast<unsigned char>(s[p]) == 0xEF && static_cast<unsigned char>(s[p + 1]) == 0xBC &&
      static_cast<unsigned char>(s[p + 2]) >= 0x90 && static_cast<unsigned char>(s[p + 2]) <= 0x99) {
    value = static_cast<unsigned char>(s[p + 2]) - 0x90;
    len = 3;
    return true;
  }
  return false;
}

struct Era {
  std::string_view name;
  int base;  // western year of the era's year 0
};
constexpr Era kEras[] = {{"平成", 1988}, {"令和", 2018}};
constexpr std::string_view kFirstYear = "元";

}  // namespace

TDateTime EncodeDateTime(int year, int month, int day, int hour, int minute, double second) {
  std::int64_t days = DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) - kDelphiEpochDays;
  return static_cast<double>(days) + (hour * 3600.0 + minute * 60.0 + second) / 86400.0;
}

void DecodeDateTime(TDateTime value, int& year, int& month, int& day, int& hour, int& minute, int& second) {
  std::int64_t total = static_cast<std::int64_t>(std::llround(value * 86400.0));
  std::int64_t days = total >= 0 ? total / 86400 : -((-total + 86399) / 86400);
  std::int64_t secs = total - days * 86400;
  CivilFromDays(days + kDelphiEpochDays, year, month, day);
  hour = static_cast<int>(secs / 3600);
  minute = static_cast<int>(secs / 60 % 60);
  second = static_cast<int>(secs % 60);
}

TDateTime UnixToDateTime(std::time_t utc, long offsetSeconds) {
  std::int64_t t = static_cast<std::int64_t>(utc) + offsetSeconds;
  return static_cast<double>(t) / 86400.0 - static_cast<double>(kDelphiEpochDays);
}

bool HttpDateToUtc(const std::string& text, std::time_t& utc) {
  if (text.empty()) return false;
  std::time_t t = 0;
  if (!ParseHttpDate(text, t)) return false;
  utc = t;
  return true;
}

TDateTime HttpDateToLocal(const std::string& text) {
  std::time_t t = 0;
  if (!HttpDateToUtc(text, t)) t = std::time(nullptr);
  return UnixToDateTime(t, kDataZoneOffsetSeconds);
}

bool FileModifiedUtc(const std::string& fileName, std::time_t& utc) {
  struct stat st {};
  if (fileName.empty() || ::stat(fileName.c_str(), &st) != 0) return false;
  utc = st.st_mtim.tv_sec;
  return true;
}

TDateTime FileLocalTime(const std::string& fileName) {
  struct stat st {};
  if (fileName.empty() || ::stat(fileName.c_str(), &st) != 0) return 0;
  if (st.st_mtim.tv_sec == 0 && st.st_mtim.tv_nsec == 0) return 0;
  std::time_t t = st.st_mtim.tv_sec;
  std::tm tm{};
  if (!localtime_r(&t, &tm)) return 0;
  return EncodeDateTime(tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min,
                        tm.tm_sec + st.st_mtim.tv_nsec / 1e9);
}

std::string ReplaceEraYears(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  size_t p = 0;
  while (p < text.size()) {
    bool done = false;
    for (const Era& era : kEras) {
      if (text.compare(p, era.name.size(), era.name) != 0) continue;
      size_t q = p + era.name.size();
      int year = -1;
      if (text.compare(q, kFirstYear.size(), kFirstYear) == 0) {
        year = 1;
        q += kFirstYear.size();
      } else {
        int v = 0, digits = 0, d = 0;
        size_t len = 0;
        while (digits < 3 && DigitAt(text, q, d, len)) {
          v = v * 10 + d;
          q += len;
          ++digits;
        }
        if (digits > 0 && v > 0) year = v;
      }
      if (year < 0) continue;
      out += std::to_string(era.base + year);
      p = q;
      done = true;
      break;
    }
    if (!done) out += text[p++];
  }
  return out;
}

void DataDateText(const std::string& text, std::string& dateText) {
  dateText = "更新日不明";
  if (Contains(text, "分を反映した農薬登録情報です")) {
    std::string s = text;
    ReplaceAll(s, "本ファイルは、", "");
    ReplaceAll(s, "「", "");
    ReplaceAll(s, "」", "");
    ReplaceAll(s, "分を反映した農薬登録情報です。", "反映");
    s = ReplaceEraYears(s);
    ReplaceAll(s, "'", "");
    dateText = s;
  }
  if (Contains(text, "反映分") && !Contains(text, "<!--")) {
    std::string s = StripTags(text);
    ReplaceAll(s, "反映分", "反映");
    ReplaceAll(s, "）", "");
    ReplaceAll(s, "（", "及び");
    ReplaceAll(s, "失効も反映しています", "失効反映");
    dateText = s;
  }
}

std::string DataDateText(const std::string& text) {
  std::string s;
  DataDateText(text, s);
  return s;
}
