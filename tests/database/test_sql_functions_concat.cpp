// concat and concat2: the joining rules, without length or piece limits.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <random>
#include <string>
#include <vector>

#include "database/sql_concat.h"
#include "database/sql_functions.h"
#include "support_sql_db.h"

namespace {

// The joining is tested on the SQL text as written.
struct Db : TSqlTestDb {};

// The rule as written, without shortcuts.
std::string NaiveConcat(const std::string& sep, const std::vector<std::string>& values) {
  std::string result;
  for (const std::string& v : values) {
    if (v.empty()) continue;
    if (sep.empty()) {
      if (result.find(v) == std::string::npos) result += v;
      continue;
    }
    std::vector<std::string> pieces;
    size_t start = 0;
    while (true) {
      size_t at = v.find(sep, start);
      if (at == std::string::npos) {
        pieces.push_back(v.substr(start));
        break;
      }
      pieces.push_back(v.substr(start, at - start));
      start = at + sep.size();
    }
    for (const std::string& p : pieces) {
      if ((sep + result + sep).find(sep + p + sep) != std::string::npos) continue;
      if (!result.empty()) result += sep;
      result += p;
    }
  }
  return result;
}

}  // namespace

TEST(SqlConcat, CasesOfTheRule) {
  Db d;
  struct Case {
    const char* sql;
    const char* value;
  } cases[] = {
      {"select concat('、', 'a', NULL, 'a', 'b')", "a、b"},
      {"select concat(',', 'x,y', 'y,z')", "x,y,z"},
      {"select concat('', 'abc', 'b')", "abc"},
      {"select concat('', 'b', 'abc')", "babc"},
      {"select concat(',', 'a', '', 'b')", "a,b"},
      {"select concat(',', 'a,,b', 'c')", "a,,b,c"},
      {"select concat(',', NULL, NULL)", ""},
      {"select concat2(',', 'a', NULL, '', 'a', 'b')", "a,a,b"},
      {"select concat2('', 'a', 'b')", "ab"},
      {"select concat(',', x) from (select NULL as x union all select NULL)", "NULL"},
      {"select concat(',', x) from (select '' as x)", ""},
      {"select concat(',', x) from (select 'b' as x union all select 'a' union all select 'b,c')", "b,a,c"},
      {"select concat(',', x) from (select x'41' as x union all select 'a')", "a"},  // BLOB rows skipped
      {"select concat2(',', x) from (select 'b' as x union all select 'b' union all select '')", "b,b"},
      {"select concat2(',', x) from (select NULL as x)", "NULL"},
      {"select concat('a')", "ERR: CONCAT parameters are too few"},
      {"select concat2()", "ERR: CONCAT parameters are too few"},
  };
  for (auto& c : cases) EXPECT_EQ(d.Value(c.sql), c.value) << c.sql;
}

TEST(SqlConcat, AgreesWithTheRuleOnRandomLists) {
  std::mt19937 rng(99);
  auto pick = [&](int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng); };
  const std::vector<std::string> seps = {",", "、", "|", "aa", "ab", "aba", "", ",,", "a", "xy"};
  const std::vector<std::string> atoms = {"a", "b", ",", "、", "x", "y", "aa", "ab", "|"};
  for (int round = 0; round < 5000; ++round) {
    const std::string& sep = seps[pick(static_cast<int>(seps.size()))];
    std::vector<std::string> values;
    for (int k = pick(8); k >= 0; --k) {
      std::string v;
      for (int n = pick(5); n > 0; --n) v += atoms[pick(static_cast<int>(atoms.size()))];
      values.push_back(v);
    }
    TConcatBuilder b(sep);
    for (auto& v : values) b.Add(v);
    ASSERT_EQ(b.Result(), NaiveConcat(sep, values)) << "sep '" << sep << "' round " << round;
  }
}

TEST(SqlConcat, NoLengthOrPieceLimit) {
  Db d;
  d.Exec("create table c(g int, code text)");
  d.Exec("begin");
  for (int k = 0; k < 12000; ++k) {
    char buf[96];
    snprintf(buf, sizeof buf, "insert into c values(%d, '%016d')", k % 2, k);
    d.Exec(buf);
  }
  d.Exec("commit");
  // 6,000 codes of 16 digits: about 100 KB, far beyond 65,535 bytes.
  std::string all = d.Value("select concat('|', code) from c where g = 0");
  EXPECT_EQ(all.size(), 6000u * 17 - 1);
  EXPECT_EQ(all.substr(all.size() - 16), "0000000000011998");
  // One value holding 6,000 pieces is split completely (no 2,048-piece cap).
  std::string viaScalar = d.Value("select concat('|', (select concat('|', code) from c where g = 0), '0000000000011998')");
  EXPECT_EQ(viaScalar, all);
  std::string dup = d.Value("select concat('|', x, x) from (select concat('|', code) as x from c where g = 1)");
  EXPECT_EQ(dup.size(), 6000u * 17 - 1);
  EXPECT_EQ(d.Value("select length(concat2(',', code)) from c"), std::to_string(12000 * 17 - 1));
  // A grouped aggregate abandoned after its first row releases every group's state.
  sqlite3_stmt* st = nullptr;
  ASSERT_EQ(sqlite3_prepare_v2(d.db(), "select g, concat(',', code) from c group by g", -1, &st, nullptr), SQLITE_OK);
  EXPECT_EQ(sqlite3_step(st), SQLITE_ROW);
  sqlite3_finalize(st);
  // The long list works as a pattern.
  EXPECT_EQ(d.Value("select count(*) from c where code regexp (select '^(' || concat('|', code) || ')$' from c where g = 1)"),
            "6000");
}

namespace {

// Bytes the joining reads for the values given.
size_t Examined(const std::string& sep, const std::vector<std::string>& values) {
  TConcatBuilder b(sep);
  for (const std::string& v : values) b.Add(v);
  return b.Examined();
}

}  // namespace

// The work of concat grows as its input does: a separator four times as long, or four times
// the rows, take about four times the reading, never sixteen. Counted, not timed.
TEST(SqlConcat, WorkGrowsAsTheInputNotAsItsSquare) {
  const size_t n = 100000;
  auto commas = [](size_t k) { return std::string(k, ','); };
  // A long separator that overlaps itself, as printf('%.*c', N, ',') makes.
  const size_t sep1 = Examined(commas(n), {"a", "b", "c"}), sep4 = Examined(commas(4 * n), {"a", "b", "c"});
  EXPECT_LT(sep4, sep1 * 9 / 2) << sep1 << " bytes read for a separator of " << n << ", " << sep4 << " for 4 times";
  EXPECT_LT(sep1, 20 * n);
  // Many rows of an aggregate, with repeats, and one value of many pieces.
  auto rows = [](size_t k) {
    std::vector<std::string> v;
    for (size_t i = 0; i < k; ++i) v.push_back("p" + std::to_string(i % (k / 2)) + ",q" + std::to_string(i));
    return v;
  };
  const size_t rows1 = Examined(",", rows(20000)), rows4 = Examined(",", rows(80000));
  EXPECT_LT(rows4, rows1 * 9 / 2) << rows1 << " bytes read for 20,000 rows, " << rows4 << " for 80,000";
  auto oneValue = [](size_t k) {
    std::string v;
    for (size_t i = 0; i < k; ++i) v += std::to_string(i) + "、";
    return v;
  };
  const size_t one1 = Examined("、", {oneValue(20000)}), one4 = Examined("、", {oneValue(80000)});
  EXPECT_LT(one4, one1 * 9 / 2) << one1 << " bytes read for 20,000 pieces, " << one4 << " for 80,000";

  // The case of the report, through SQL: the answer comes and is right.
  Db d;
  EXPECT_EQ(d.Value("select length(concat(printf('%.*c', 400000, ','), 'a', 'b', 'c'))"), "800003");
  EXPECT_EQ(d.Value("select concat(printf('%.*c', 3, ','), 'a', 'b', 'a')"), "a,,,b");
}
