#include "database/date_convert.h"

#include <charconv>
#include <cstdio>

namespace {

bool IsLeap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int DaysInMonth(int y, int m) {
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && IsLeap(y) ? 29 : kDays[m - 1];
}

// Days since 1970-01-01 to civil date (Howard Hinnant's algorithm).
void CivilFromDays(long long z, int& y, int& m, int& d) {
  z += 719468;
  const long long era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  long long yy = static_cast<long long>(yoe) + era * 400;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  y = static_cast<int>(yy + (m <= 2));
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
  return s;
}

bool ParseInt(std::string_view s, long long& v) {
  if (s.empty()) return false;
  if (s.front() == '+') s.remove_prefix(1);
  auto r = std::from_chars(s.data(), s.data() + s.size(), v);
  return r.ec == std::errc() && r.ptr == s.data() + s.size();
}

}  // namespace

std::optional<std::string> DottedDateText(int year, int month, int day) {
  if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month))
    return std::nullopt;
  char buf[40];  // room for any int, so the compiler can see nothing is cut
  std::snprintf(buf, sizeof buf, "%04d.%02d.%02d", year, month, day);
  return std::string(buf);
}

std::optional<std::string> ExcelSerialToDateText(std::string_view text) {
  text = Trim(text);
  long long n = 0;
  if (!ParseInt(text, n)) return std::nullopt;
  // 1899-12-30 is 25569 days before 1970-01-01.
  if (n < -693593 || n > 2958465) return std::nullopt;
  int y, m, d;
  CivilFromDays(n - 25569, y, m, d);
  return DottedDateText(y, m, d);
}

std::optional<std::string> DateTextToDotted(std::string_view text) {
  text = Trim(text);
  if (auto sp = text.find(' '); sp != std::string_view::npos) text = text.substr(0, sp);
  size_t a = text.find('/');
  if (a == std::string_view::npos) return std::nullopt;
  size_t b = text.find('/', a + 1);
  if (b == std::string_view::npos || text.find('/', b + 1) != std::string_view::npos) return std::nullopt;
  long long y, m, d;
  if (!ParseInt(text.substr(0, a), y) || !ParseInt(text.substr(a + 1, b - a - 1), m) ||
      !ParseInt(text.substr(b + 1), d))
    return std::nullopt;
  if (a > 4 || b - a - 1 > 2 || text.size() - b - 1 > 2) return std::nullopt;
  if (y < 100) y += y < 50 ? 2000 : 1900;  // two-digit years as the date parser reads them
  return DottedDateText(static_cast<int>(y), static_cast<int>(m), static_cast<int>(d));
}
