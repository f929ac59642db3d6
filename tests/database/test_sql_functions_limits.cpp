// The SQL functions that build text stop at the connection's longest text (SQLITE_LIMIT_LENGTH)
// with SQLite's "string or blob too big", and stop as the result grows: a result many times
// the limit is never built first.
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/resource.h>

#include <string>

#include "support_sql_db.h"

namespace {

constexpr const char* kTooBig = "ERR: string or blob too big";

// The process's peak resident size so far, in MiB.
long PeakMiB() {
  rusage u {};
  getrusage(RUSAGE_SELF, &u);
  return u.ru_maxrss / 1024;
}

struct LimitedDb : TSqlTestDb {
  explicit LimitedDb(int limit) { sqlite3_limit(db(), SQLITE_LIMIT_LENGTH, limit); }
};

}  // namespace

// First in this file: the peak size of the process is still that of the start. Each query
// would build well over 100 MB without the bound; with the limit at 1 MB the process must not
// grow by more than a few MB.
TEST(SqlFunctionLimits, AGrowingResultStopsAtTheLimitNotAfterItWasBuilt) {
  LimitedDb d(1000000);
  const std::string x(12000, 'a');
  const long before = PeakMiB();
  // 12,000 matches, each replaced by 12,000 characters: 144 MB.
  EXPECT_EQ(d.Value("select length(re_replace('.', ?1, ?1))", {x}), kTooBig);
  // One replacement repeating a 12,000-character group 4,000 times: 48 MB from one match.
  std::string refs;
  for (int k = 0; k < 4000; ++k) refs += "\\1";
  EXPECT_EQ(d.Value("select length(re_replace('^(.*)$', ?1, ?2))", {x, refs}), kTooBig);
  // 3,000 rows of 40,000 characters joined: 120 MB.
  const char* rows = "with recursive n(k) as (select 1 union all select k + 1 from n where k < 3000) ";
  EXPECT_EQ(d.Value(std::string(rows) + "select length(concat2(',', hex(randomblob(20000)))) from n"), kTooBig);
  EXPECT_EQ(d.Value(std::string(rows) + "select length(concat(',', hex(randomblob(20000)))) from n"), kTooBig);
  EXPECT_LT(PeakMiB() - before, 40) << "the results were built before they were refused";
}

// Every function that builds text: just under the limit it answers, just over it fails with
// SQLite's own error; the connection goes on working afterwards.
TEST(SqlFunctionLimits, EachTextFunctionAnswersUpToTheLimitAndFailsPastIt) {
  LimitedDb d(1000);
  const std::string a500(500, 'a'), b499(499, 'b'), b500(500, 'b');
  // concat / concat2, scalar and aggregate: 500 + 1 + 499 = 1000 bytes fit, 1001 do not.
  EXPECT_EQ(d.Value("select length(concat(',', ?1, ?2))", {a500, b499}), "1000");
  EXPECT_EQ(d.Value("select length(concat(',', ?1, ?2))", {a500, b500}), kTooBig);
  EXPECT_EQ(d.Value("select length(concat2(',', ?1, ?2))", {a500, b499}), "1000");
  EXPECT_EQ(d.Value("select length(concat2(',', ?1, ?2))", {a500, b500}), kTooBig);
  EXPECT_EQ(d.Value("select length(concat('', ?1, ?2))", {a500, b500}), "1000");
  EXPECT_EQ(d.Value("select length(concat('', ?1, ?2 || 'c'))", {a500, b500}), kTooBig);
  d.Exec("create table t(v text)");
  d.Exec("insert into t values (printf('%.500c', 'a')), (printf('%.499c', 'b'))");
  EXPECT_EQ(d.Value("select length(concat(',', v)) from t"), "1000");
  EXPECT_EQ(d.Value("select length(concat2(',', v)) from t"), "1000");
  d.Exec("insert into t values ('c')");
  EXPECT_EQ(d.Value("select length(concat(',', v)) from t"), kTooBig);
  EXPECT_EQ(d.Value("select length(concat2(',', v)) from t"), kTooBig);
  // re_replace: literal growth and group references alike.
  EXPECT_EQ(d.Value("select length(re_replace('a', ?1, 'aa'))", {a500}), "1000");
  EXPECT_EQ(d.Value("select length(re_replace('a', ?1 || 'a', 'aa'))", {a500}), kTooBig);
  EXPECT_EQ(d.Value("select length(re_replace('^(.*)$', ?1, '\\1$1'))", {a500}), "1000");
  EXPECT_EQ(d.Value("select length(re_replace('^(.*)$', ?1 || 'a', '\\1$1'))", {a500}), kTooBig);
  // strconv: a voiced katakana made half-width takes two characters (6 bytes for 3).
  std::string ga;
  for (int k = 0; k < 166; ++k) ga += "ガ";  // 498 bytes, 996 as half-width
  EXPECT_EQ(d.Value("select length(cast(strconv(?1, 'W') as blob))", {ga}), "996");
  EXPECT_EQ(d.Value("select length(cast(strconv(?1 || 'ガ', 'W') as blob))", {ga}), kTooBig);
  // explode gives a part of its text: never longer than the text itself.
  EXPECT_EQ(d.Value("select length(explode(',', ?1, 1))", {a500 + "," + b499}), "500");
  // earlier_rows: the list of earlier rows of one key grows with every row of it.
  d.Exec("create table k(g int)");
  d.Exec("with recursive n(i) as (select 1 union all select i + 1 from n where i < 400) "
         "insert into k select 1 from n");
  EXPECT_EQ(d.Value("select max(length(earlier_rows(1, rowid, g))) from k where rowid <= 200"), "689");
  EXPECT_EQ(d.Value("select max(length(earlier_rows(1, rowid, g))) from k"), kTooBig);
  EXPECT_EQ(d.Value("select concat(',', 'x', 'y')"), "x,y");
}
