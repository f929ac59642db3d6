// The data date text of the public service's sentence and the mirror's date file, era years,
// HTTP dates in the data's zone, and file times.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <QTemporaryDir>
#include <array>
#include <ctime>
#include <fstream>

#include "update/data_date.h"

namespace {

struct Fields {
  int y, mo, d, h, mi, s;
};

Fields Decode(TDateTime t) {
  Fields f{};
  DecodeDateTime(t, f.y, f.mo, f.d, f.h, f.mi, f.s);
  return f;
}

// Runs the body with the machine's zone set to `tz`, restoring it afterwards.
template <class F>
void WithZone(const char* tz, F body) {
  const char* old = std::getenv("TZ");
  std::string saved = old ? old : "";
  ::setenv("TZ", tz, 1);
  ::tzset();
  body();
  if (old) ::setenv("TZ", saved.c_str(), 1);
  else ::unsetenv("TZ");
  ::tzset();
}

}  // namespace

TEST(DataDateText, SentencesAndForms) {
  struct Case {
    const char* text;
    const char* want;
  } cases[] = {
      // The public service's sentence; era years become western years.
      {"本ファイルは、「令和元年12月3日」分を反映した農薬登録情報です。", "2019年12月3日反映"},
      {"本ファイルは、「令和6年3月5日」分を反映した農薬登録情報です。", "2024年3月5日反映"},
      {"本ファイルは、「令和10年1月9日」分を反映した農薬登録情報です。", "2028年1月9日反映"},
      // Past the end of the old table: 令和11 and later, and full-width digits.
      {"本ファイルは、「令和11年4月1日」分を反映した農薬登録情報です。", "2029年4月1日反映"},
      {"本ファイルは、「令和２０年４月１日」分を反映した農薬登録情報です。", "2038年４月１日反映"},
      {"本ファイルは、「平成31年4月26日」分を反映した農薬登録情報です。", "2019年4月26日反映"},
      {"本ファイルは、「平成25年1月8日」分を反映した農薬登録情報です。", "2013年1月8日反映"},
      {"本ファイルは、「平成元年2月1日」分を反映した農薬登録情報です。", "1989年2月1日反映"},
      // Apostrophes go.
      {"本ファイルは、「令和2年'7月1日」分を反映した農薬登録情報です。", "2020年7月1日反映"},
      // The "反映分" form wins: tags stripped, brackets turned into words.
      {"<p><b>2013年3月5日反映分（3月10日失効も反映しています）</b></p>",
       "2013年3月5日反映及び3月10日失効反映"},
      {"  2020年1月7日反映分  ", "2020年1月7日反映"},
      // Inside an HTML comment the line does not count.
      {"<!-- 2013年3月5日反映分 -->", "更新日不明"},
      {"", "更新日不明"},
      {"農薬登録情報ダウンロード", "更新日不明"},
  };
  for (const Case& c : cases) {
    std::string got = "stale";
    DataDateText(c.text, got);
    EXPECT_EQ(got, c.want) << c.text;
    EXPECT_EQ(DataDateText(c.text), c.want) << c.text;
  }
}

TEST(DataDateText, EraYearsAlone) {
  struct Case {
    const char* text;
    const char* want;
  } cases[] = {
      {"令和元年", "2019年"},     {"令和9年", "2027年"},   {"令和10年", "2028年"},
      {"令和11年", "2029年"},     {"令和21年", "2039年"},  {"令和２年", "2020年"},
      {"平成1年", "1989年"},      {"平成30年", "2018年"},  {"令和年", "令和年"},
      {"令和0年", "令和0年"},     {"昭和64年", "昭和64年"}, {"令和", "令和"},
      {"R6 令和6 と 平成31", "R6 2024 と 2019"},
  };
  for (const Case& c : cases) EXPECT_EQ(ReplaceEraYears(c.text), c.want) << c.text;
}

TEST(HttpDates, DataZoneAndUtc) {
  // Fixed +9 hours whatever the machine's zone.
  for (const char* tz : {"UTC", "Asia/Tokyo", "America/New_York"}) {
    WithZone(tz, [&] {
      Fields f = Decode(HttpDateToLocal("Tue, 05 Mar 2024 15:30:00 GMT"));
      EXPECT_EQ(f.y, 2024) << tz;
      EXPECT_EQ(f.mo, 3) << tz;
      EXPECT_EQ(f.d, 6) << tz;
      EXPECT_EQ(f.h, 0) << tz;
      EXPECT_EQ(f.mi, 30) << tz;
      EXPECT_EQ(f.s, 0) << tz;
    });
  }
  // Year and month boundaries.
  Fields f = Decode(HttpDateToLocal("Tue, 31 Dec 2024 20:00:01 GMT"));
  EXPECT_EQ((std::array<int, 6>{f.y, f.mo, f.d, f.h, f.mi, f.s}), (std::array<int, 6>{2025, 1, 1, 5, 0, 1}));

  std::time_t t = 0;
  EXPECT_TRUE(HttpDateToUtc("Tue, 05 Mar 2024 15:30:00 GMT", t));
  EXPECT_EQ(t, 1709652600);
  // Missing or odd texts are refused, and leave the value alone.
  for (const char* bad : {"", "yesterday", "Tue, 32 Mar 2024 15:30:00 GMT", "Tue, 05 Mar 2024"}) {
    std::time_t keep = 42;
    EXPECT_FALSE(HttpDateToUtc(bad, keep)) << bad;
    EXPECT_EQ(keep, 42) << bad;
  }
  // A malformed text gives "now" in the data's zone (display only).
  TDateTime now = UnixToDateTime(std::time(nullptr), kDataZoneOffsetSeconds);
  EXPECT_NEAR(HttpDateToLocal("garbage"), now, 5.0 / 86400);
  EXPECT_NEAR(HttpDateToLocal(""), now, 5.0 / 86400);
}

TEST(DateTimes, EncodeDecodeAndFileTimes) {
  EXPECT_DOUBLE_EQ(EncodeDateTime(1899, 12, 30, 0, 0, 0), 0.0);
  EXPECT_DOUBLE_EQ(EncodeDateTime(1970, 1, 1, 0, 0, 0), 25569.0);
  EXPECT_DOUBLE_EQ(EncodeDateTime(2024, 3, 6, 12, 0, 0), 45357.5);
  Fields f = Decode(EncodeDateTime(2000, 2, 29, 23, 59, 59));
  EXPECT_EQ((std::array<int, 6>{f.y, f.mo, f.d, f.h, f.mi, f.s}), (std::array<int, 6>{2000, 2, 29, 23, 59, 59}));

  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  std::string file = dir.path().toStdString() + "/a.txt";
  std::ofstream(file) << "x";
  struct timespec times[2] = {{0, UTIME_OMIT}, {1709652600, 0}};
  ASSERT_EQ(::utimensat(AT_FDCWD, file.c_str(), times, 0), 0);
  WithZone("Asia/Tokyo", [&] {
    Fields g = Decode(FileLocalTime(file));
    EXPECT_EQ((std::array<int, 6>{g.y, g.mo, g.d, g.h, g.mi, g.s}), (std::array<int, 6>{2024, 3, 6, 0, 30, 0}));
  });
  WithZone("UTC", [&] {
    Fields g = Decode(FileLocalTime(file));
    EXPECT_EQ(g.h, 15);
  });
  std::time_t utc = 0;
  EXPECT_TRUE(FileModifiedUtc(file, utc));
  EXPECT_EQ(utc, 1709652600);
  EXPECT_EQ(FileLocalTime(dir.path().toStdString() + "/missing"), 0.0);
  EXPECT_FALSE(FileModifiedUtc(dir.path().toStdString() + "/missing", utc));
}
