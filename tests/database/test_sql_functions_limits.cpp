// The SQL functions that build text stop at the connection's longest text (SQLITE_LIMIT_LENGTH)
// with SQLite's "string or blob too big", and stop as the result grows: a result many times
// the limit is never built first. A result within the limit is held once while it is built
// and handed over.
//
// Peak sizes are measured in a fresh process of this test program (gtest's "threadsafe" death
// test runs the case in a new copy of it), so no case of this file, run before in any order,
// has raised the peak already.
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
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

// Ends the fresh process: exit code 0 when the measured case held, 1 with the reason on stderr.
[[noreturn]] void EndCase(bool ok, const std::string& why) {
  if (!ok) std::fprintf(stderr, "%s\n", why.c_str());
  std::fflush(stderr);
  _exit(ok ? 0 : 1);
}

// Runs body in a fresh process of this program. Under AddressSanitizer freed blocks are kept
// for a while before they are reused; the fresh process gives them back at once, so that
// what it holds is what the case holds.
void InFreshProcess(const std::function<void()>& body) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  const char* old = std::getenv("ASAN_OPTIONS");
  const std::string saved = old ? old : "";
  setenv("ASAN_OPTIONS", (saved + (saved.empty() ? "" : ":") + "quarantine_size_mb=0").c_str(), 1);
  EXPECT_EXIT(body(), ::testing::ExitedWithCode(0), "");
  if (old) setenv("ASAN_OPTIONS", saved.c_str(), 1);
  else unsetenv("ASAN_OPTIONS");
}

}  // namespace

// Each query would build well over 100 MB without the bound; with the limit at 1 MB the
// process must not grow by more than a few MB.
TEST(SqlFunctionLimits, AGrowingResultStopsAtTheLimitNotAfterItWasBuilt) {
  InFreshProcess([] {
    LimitedDb d(1000000);
    const std::string x(12000, 'a');
    const long before = PeakMiB();
    bool ok = true;
    std::string why;
    auto expectTooBig = [&](const std::string& sql, const std::vector<std::string>& binds) {
      const std::string v = d.Value(sql, binds);
      if (v != kTooBig) {
        ok = false;
        why += sql + " gave " + v + "\n";
      }
    };
    // 12,000 matches, each replaced by 12,000 characters: 144 MB.
    expectTooBig("select length(re_replace('.', ?1, ?1))", {x});
    // One replacement repeating a 12,000-character group 4,000 times: 48 MB from one match.
    std::string refs;
    for (int k = 0; k < 4000; ++k) refs += "\\1";
    expectTooBig("select length(re_replace('^(.*)$', ?1, ?2))", {x, refs});
    // 3,000 rows of 40,000 characters joined: 120 MB.
    const std::string rows = "with recursive n(k) as (select 1 union all select k + 1 from n where k < 3000) ";
    expectTooBig(rows + "select length(concat2(',', hex(randomblob(20000)))) from n", {});
    expectTooBig(rows + "select length(concat(',', hex(randomblob(20000)))) from n", {});
    const long grown = PeakMiB() - before;
    EndCase(ok && grown < 40, why + "grew by " + std::to_string(grown) + " MiB: the results were built before they "
                                    "were refused");
  });
}

namespace {

// The peak growth, in MiB, while the first row of sql runs with the values bound (as
// NUL-terminated texts SQLite reads in place); *bytes gets the size of its first column.
long GrowthOfFirstRow(const std::string& sql, const std::vector<std::string>& values, long* bytes) {
  TSqlTestDb d;
  d.Exec("create table one(k text); insert into one values ('')");
  sqlite3_stmt* st = nullptr;
  sqlite3_prepare_v2(d.db(), sql.c_str(), -1, &st, nullptr);
  for (size_t k = 0; k < values.size(); ++k) sqlite3_bind_text(st, int(k + 1), values[k].c_str(), -1, SQLITE_STATIC);
  const long before = PeakMiB();
  *bytes = sqlite3_step(st) == SQLITE_ROW ? sqlite3_column_bytes(st, 0) : -1;
  const long grown = PeakMiB() - before;
  sqlite3_finalize(st);
  return grown;
}

}  // namespace

// concat and concat2 hold their result once while they build it and hand it over: 100 values
// of 800,000 bytes joined raise the peak by little more than the 76 MiB of the result (a copy
// for the joining, another for the pieces and a third for SQLite took it to 2.5 times and
// more). An aggregate's result is copied once more by SQLite itself when it becomes a column
// of the row; the aggregate stays within twice the result.
TEST(SqlFunctionLimits, AJoinedResultIsHeldOnce) {
  for (const char* fn : {"concat", "concat2"}) {
    InFreshProcess([fn] {
      std::vector<std::string> values;
      std::string sql = std::string("select ") + fn + "(','";
      for (int k = 0; k < 100; ++k) {
        values.push_back(std::to_string(k) + std::string(800000, 'x'));
        sql += ", ?" + std::to_string(k + 1);
      }
      // The empty column k keeps SQLite from computing the call once ahead and copying it.
      sql += ", k) from one";
      long bytes = 0;
      const long grown = GrowthOfFirstRow(sql, values, &bytes);
      const long expected = 100L * 800000 + 190 + 99;  // the digits of 0 to 99 and the commas
      const long result = expected >> 20;               // 76 MiB
      EndCase(bytes == expected && grown < result * 13 / 10 + 8,
              std::string(fn) + ": " + std::to_string(bytes) + " bytes, grew by " + std::to_string(grown) +
                  " MiB for a result of " + std::to_string(result) + " MiB");
    });
    InFreshProcess([fn] {
      const std::string sql = std::string("with recursive n(k) as (select 1 union all select k + 1 from n where k < 2000) "
                                          "select ") + fn + "(',', ?1 || k) from n";
      long bytes = 0;
      const long grown = GrowthOfFirstRow(sql, {std::string(40000, 'x')}, &bytes);
      const long expected = 2000L * 40000 + 6893 + 1999;  // the digits of 1 to 2,000 and the commas
      const long result = expected >> 20;                   // 76 MiB
      EndCase(bytes == expected && grown < result * 23 / 10 + 8,
              std::string(fn) + " of rows: " + std::to_string(bytes) + " bytes, grew by " + std::to_string(grown) +
                  " MiB for a result of " + std::to_string(result) + " MiB");
    });
  }
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
  // A separator that overlaps itself.
  EXPECT_EQ(d.Value("select length(concat(',,', ?1, ?2))", {a500, std::string(498, 'b')}), "1000");
  EXPECT_EQ(d.Value("select length(concat(',,', ?1, ?2))", {a500, b499}), kTooBig);
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
  EXPECT_EQ(d.Value("select concat(',', 'x', 'y')"), "x,y");
}
