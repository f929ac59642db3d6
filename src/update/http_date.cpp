#include "update/http_date.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <cstring>

namespace {

const char* const kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                               "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

// Small cursor over the date text.
struct Scanner {
  const std::string& s;
  size_t p = 0;

  void SkipBlanks() {
    while (p < s.size() && (s[p] == ' ' || s[p] == '\t')) ++p;
  }
  bool Char(char c) {
    if (p < s.size() && s[p] == c) {
      ++p;
      return true;
    }
    return false;
  }
  bool Number(int minDigits, int maxDigits, int& out) {
    size_t start = p;
    int v = 0;
    while (p < s.size() && std::isdigit(static_cast<unsigned char>(s[p])) && p - start < size_t(maxDigits)) {
      v = v * 10 + (s[p] - '0');
      ++p;
    }
    if (p - start < size_t(minDigits)) return false;
    out = v;
    return true;
  }
  std::string Word() {
    size_t start = p;
    while (p < s.size() && std::isalpha(static_cast<unsigned char>(s[p]))) ++p;
    return s.substr(start, p - start);
  }
  bool AtEnd() {
    SkipBlanks();
    return p == s.size();
  }
};

bool SameWord(const std::string& a, const char* b) {
  if (a.size() != std::strlen(b)) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) return false;
  return true;
}

int MonthIndex(const std::string& w) {
  for (int i = 0; i < 12; ++i)
    if (SameWord(w, kMonths[i])) return i;
  return -1;
}

bool ReadClock(Scanner& sc, int& h, int& m, int& s) {
  return sc.Number(1, 2, h) && sc.Char(':') && sc.Number(2, 2, m) && sc.Char(':') && sc.Number(2, 2, s);
}

bool ReadZone(Scanner& sc) {
  sc.SkipBlanks();
  std::string z = sc.Word();
  return SameWord(z, "GMT") || SameWord(z, "UTC") || SameWord(z, "UT");
}

}  // namespace

std::string FormatHttpDate(std::time_t utc) {
  std::tm tm{};
  if (!gmtime_r(&utc, &tm)) return {};
  char buf[64];
  std::snprintf(buf, sizeof buf, "%s, %02d %s %04d %02d:%02d:%02d GMT", kDays[tm.tm_wday], tm.tm_mday,
                kMonths[tm.tm_mon], tm.tm_year + 1900, tm.tm_hour, tm.tm_min, tm.tm_sec);
  return buf;
}

bool ParseHttpDate(const std::string& text, std::time_t& utc) {
  Scanner sc{text};
  sc.SkipBlanks();
  std::string day = sc.Word();
  if (day.size() < 3) return false;
  int mday = 0, mon = -1, year = 0, h = 0, mi = 0, se = 0;
  if (sc.Char(',')) {
    // RFC 1123 "Sun, 06 Nov 1994 08:49:37 GMT" or RFC 850 "Sunday, 06-Nov-94 08:49:37 GMT".
    sc.SkipBlanks();
    if (!sc.Number(1, 2, mday)) return false;
    bool dashed = sc.Char('-');
    if (!dashed) sc.SkipBlanks();
    mon = MonthIndex(sc.Word());
    if (mon < 0) return false;
    if (dashed ? !sc.Char('-') : (sc.SkipBlanks(), false)) return false;
    size_t before = sc.p;
    if (!sc.Number(2, 4, year)) return false;
    if (sc.p - before == 2) year += year < 70 ? 2000 : 1900;
    else if (sc.p - before != 4) return false;
    sc.SkipBlanks();
    if (!ReadClock(sc, h, mi, se) || !ReadZone(sc)) return false;
  } else {
    // asctime "Sun Nov  6 08:49:37 1994".
    sc.SkipBlanks();
    mon = MonthIndex(sc.Word());
    if (mon < 0) return false;
    sc.SkipBlanks();
    if (!sc.Number(1, 2, mday)) return false;
    sc.SkipBlanks();
    if (!ReadClock(sc, h, mi, se)) return false;
    sc.SkipBlanks();
    if (!sc.Number(4, 4, year)) return false;
  }
  if (!sc.AtEnd()) return false;
  if (mday < 1 || mday > 31 || h > 23 || mi > 59 || se > 60 || year < 1601) return false;
  std::tm tm{};
  tm.tm_year = year - 1900;
  tm.tm_mon = mon;
  tm.tm_mday = mday;
  tm.tm_hour = h;
  tm.tm_min = mi;
  tm.tm_sec = se;
  std::time_t t = timegm(&tm);
  if (t == std::time_t(-1)) return false;
  // timegm normalises 31 Feb into March: such a date is not a date.
  std::tm back{};
  if (!gmtime_r(&t, &back) || back.tm_mday != mday || back.tm_mon != mon) return false;
  utc = t;
  return true;
}

std::string FileHttpTime(const std::string& fileName) {
  if (fileName.empty()) return {};
  struct stat st {};
  if (::stat(fileName.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return {};
  return FormatHttpDate(st.st_mtim.tv_sec);
}

bool PlausibleHttpDate(const std::string& text, std::time_t now) {
  std::time_t t = 0;
  if (text.empty() || !ParseHttpDate(text, t)) return false;
  constexpr std::time_t k1990 = 631152000;  // 1990-01-01 00:00:00 UTC
  return t >= k1990 && t <= now + 24 * 60 * 60;
}

bool PlausibleHttpDate(const std::string& text) { return PlausibleHttpDate(text, std::time(nullptr)); }

bool SetFileHttpTime(const std::string& fileName, const std::string& httpDate) {
  std::time_t t = 0;
  if (httpDate.empty() || !ParseHttpDate(httpDate, t)) return false;
  struct timespec times[2];
  times[0].tv_sec = 0;
  times[0].tv_nsec = UTIME_OMIT;  // only the last-write time changes
  times[1].tv_sec = t;
  times[1].tv_nsec = 0;
  return ::utimensat(AT_FDCWD, fileName.c_str(), times, 0) == 0;
}
