// Speed of the program's SQL functions on 300,000 crop/pest texts, each figure printed beside
// a baseline measured in the same run (SQLite's own LIKE, IN and group_concat).
#include <sqlite3.h>

#include <chrono>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "database/sql_functions.h"
#include "database/sql_regexp.h"

namespace {

sqlite3* gDb = nullptr;

void Exec(const std::string& sql) {
  char* msg = nullptr;
  if (sqlite3_exec(gDb, sql.c_str(), nullptr, nullptr, &msg) != SQLITE_OK) {
    std::fprintf(stderr, "SQL failed: %s\n%s\n", msg ? msg : "", sql.substr(0, 200).c_str());
    std::exit(1);
  }
}

// Runs the query (after the pre-processor), steps every row; returns the best of three runs in
// milliseconds and the first column of the last row.
double Time(const std::string& sql, std::string* last = nullptr, int runs = 3) {
  double best = 1e300;
  std::string text = PreconvSql(sql);
  for (int r = 0; r < runs; ++r) {
    auto t0 = std::chrono::steady_clock::now();
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(gDb, text.c_str(), -1, &st, nullptr) != SQLITE_OK) {
      std::fprintf(stderr, "prepare failed: %s\n", sqlite3_errmsg(gDb));
      std::exit(1);
    }
    int rc;
    std::string v;
    while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
      if (last) {
        const unsigned char* t = sqlite3_column_text(st, 0);
        v = t ? reinterpret_cast<const char*>(t) : "NULL";
      }
    }
    if (rc != SQLITE_DONE) {
      std::fprintf(stderr, "step failed: %s\n", sqlite3_errmsg(gDb));
      std::exit(1);
    }
    sqlite3_finalize(st);
    double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
    if (ms < best) best = ms;
    if (last) *last = v;
  }
  return best;
}

std::string Code(std::mt19937& rng) {
  static const int kLevels[] = {2, 4, 6, 8, 12, 16};
  std::uniform_int_distribution<int> digit(0, 9), level(0, 5);
  int keep = kLevels[level(rng)];
  std::string c;
  for (int k = 0; k < 16; ++k) c.push_back(k < keep ? static_cast<char>('0' + digit(rng)) : '0');
  return c;
}

}  // namespace

int main() {
  sqlite3_open(":memory:", &gDb);
  RegisterSqlFunctions(gDb);
  const char* crops[] = {"トマト", "ミニトマト", "とまと", "ﾄﾏﾄ", "なす", "ナス", "きゅうり", "キュウリ", "キャベツ", "はくさい",
                         "ばれいしょ", "かんしょ", "水稲", "小麦", "だいず", "えだまめ", "かんきつ", "りんご", "なし", "ぶどう",
                         "もも", "いちご", "メロン", "すいか", "ピーマン", "レタス", "ねぎ", "たまねぎ", "ほうれんそう", "ブロッコリー"};
  const char* forms[] = {"", "（施設栽培）", "（露地栽培）", "（苗）", "類", "（ただし、ミニトマトを除く）"};
  const char* pests[] = {"アブラムシ類", "うどんこ病", "ハダニ類", "灰色かび病", "コナジラミ類", "べと病", "ヨトウムシ",
                         "ｱｻﾞﾐｳﾏ類", "疫病", "ハスモンヨトウ", "葉かび病", "ＴＹＬＣＶ", "オオタバコガ"};
  std::mt19937 rng(2026);
  auto pick = [&](int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng); };
  const int kRows = 300000;
  Exec("create table t(x text, idsaku text, g int)");
  Exec("begin");
  sqlite3_stmt* ins = nullptr;
  sqlite3_prepare_v2(gDb, "insert into t values(?,?,?)", -1, &ins, nullptr);
  std::vector<std::string> codes;
  for (int k = 0; k < 8000; ++k) codes.push_back(Code(rng));
  for (int k = 0; k < kRows; ++k) {
    std::string x = std::string(crops[pick(30)]) + forms[pick(6)] + "、" + pests[pick(13)];
    const std::string& code = codes[pick(static_cast<int>(codes.size()))];
    sqlite3_bind_text(ins, 1, x.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(ins, 2, code.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_int(ins, 3, pick(20000));
    sqlite3_step(ins);
    sqlite3_reset(ins);
  }
  sqlite3_finalize(ins);
  Exec("commit");
  std::printf("%d rows of crop/pest texts and crop codes\n\n", kRows);

  std::string n1, n2;
  double floor = Time("select count(*) from t where x like '%トマト%'", &n1);
  double key = Time("select count(*) from t where strconv(x) like preconv('%とまと%')", &n2);
  std::printf("strconv(x) LIKE preconv('%%とまと%%'): %8.1f ms (%s rows)   floor x LIKE '%%トマト%%': %8.1f ms (%s rows)   ratio %.2f (goal <= 3)\n",
              key, n2.c_str(), floor, n1.c_str(), key / floor);
  double matchT = Time("select count(*) from t where x match '%とまと%'", &n2);
  std::printf("x MATCH '%%とまと%%':                   %8.1f ms (%s rows)   ratio %.2f\n", matchT, n2.c_str(), matchT / floor);
  double rx = Time("select count(*) from t where x regexp 'とまと'", &n2);
  std::printf("x REGEXP 'とまと':                     %8.1f ms (%s rows)   ratio %.2f\n\n", rx, n2.c_str(), rx / floor);

  for (int count : {500, 4000}) {
    std::string alt, in;
    for (int k = 0; k < count; ++k) {
      alt += (k ? "|" : "") + codes[k * 2];
      in += (k ? ",'" : "'") + codes[k * 2] + "'";
    }
    long c0 = SqlRegexCompileCount();
    double tr = Time("select count(*) from t where idsaku regexp '^(" + alt + ")'", &n1);
    long compiles = SqlRegexCompileCount() - c0;
    double tin = Time("select count(*) from t where idsaku in (" + in + ")", &n2);
    std::printf("idsaku REGEXP %4d-code alternation: %8.1f ms (%s rows, %ld compilations in 3 runs)   baseline idsaku IN (...): %8.1f ms (%s rows)\n",
                count, tr, n1.c_str(), compiles, tin, n2.c_str());
  }
  {
    std::string alt;
    for (int k = 0; k < 300; ++k) alt += (k ? "|" : "") + codes[k].substr(0, 10) + "\\d+";
    TRegexpMatcher m("^(" + alt + ")");
    long c0 = SqlRegexCompileCount();
    double tr = Time("select count(*) from t where idsaku regexp '^(" + alt + ")'", &n1);
    std::printf("idsaku REGEXP 300-branch PCRE2 pattern (%s):  %8.1f ms (%s rows, %ld compilations in 3 runs)\n", m.Kind(), tr,
                n1.c_str(), SqlRegexCompileCount() - c0);
  }
  long c0 = SqlRegexCompileCount();
  double both = Time("select count(*) from t where x regexp 'とまと|なす' and not x regexp '施設|除く'", &n1);
  std::printf("x REGEXP p1 AND NOT x REGEXP p2:     %8.1f ms (%s rows, %ld compilations in 3 runs)\n\n", both, n1.c_str(),
              SqlRegexCompileCount() - c0);

  double cg = Time("select g, concat(',', x) from t group by g", &n1, 2);
  double gc = Time("select g, group_concat(x, ',') from t group by g", &n2, 2);
  std::printf("concat over %d rows into 20,000 groups: %8.1f ms   baseline group_concat: %8.1f ms   ratio %.2f\n", kRows, cg, gc,
              cg / gc);
  std::string big;
  double one = Time("select length(concat('|', idsaku)) from (select distinct idsaku from t limit 10000)", &big, 2);
  double oneBase = Time("select length(group_concat(idsaku, '|')) from (select distinct idsaku from t limit 10000)", &n2, 2);
  std::printf("concat of one group of 10,000 pieces:  %8.1f ms (length %s)   baseline group_concat: %8.1f ms (length %s)\n", one,
              big.c_str(), oneBase, n2.c_str());
  double many = Time("select length(concat('|', (select concat('|', idsaku) from (select distinct idsaku from t limit 10000)), '0'))",
                     &big, 2);
  std::printf("concat splitting one value of 10,000 pieces: %8.1f ms (length %s)\n", many, big.c_str());
  sqlite3_close(gDb);
  return 0;
}
