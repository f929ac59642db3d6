// WHERE-clause fragments: exact texts, and any user text giving SQL that prepares, runs and
// cannot leave its literal.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <functional>
#include <random>
#include <string>
#include <vector>

#include "database/clause_builders.h"
#include "foundation/comma_text.h"
#include "database/sql_functions.h"

TEST(ClauseBuilders, ExactTexts) {
  struct Case {
    std::string got;
    const char* expected;
  };
  const Case cases[] = {
      {AndIf("a", "b"), " AND "},
      {AndIf("", "b"), ""},
      {AndIf("a", ""), ""},
      {WhereIf("x"), " WHERE "},
      {WhereIf(""), ""},
      {InList("全て", "yoto"), ""},
      {InList("", "yoto"), ""},
      {InList("a,b", "yoto"), " yoto IN ('a','b')"},
      {InList("a b,\"c d\"", "yoto"), " yoto IN ('a','b','c d')"},
      {InList("it's", "zaikei"), " zaikei IN ('it''s')"},
      {LikeList("", "meisho"), ""},
      {LikeList("a b", "meisho"), "(meisho LIKE 'a' or meisho LIKE 'b')"},
      {LikeList("a  b", "meisho"), "(meisho LIKE 'a' or meisho LIKE '' or meisho LIKE 'b')"},
      {LikeList("a　b,c", "meisho"), "(meisho LIKE 'a' or meisho LIKE 'b' or meisho LIKE 'c')"},
      {LikeList("%o'k%", "meisho"), "(meisho LIKE '%o''k%')"},
      // Quoted names (as the pickers write them) keep their blanks, commas and quotes.
      {LikeList("\"アブラムシ 類\",コナガ", "byochu"), "(byochu LIKE 'アブラムシ 類' or byochu LIKE 'コナガ')"},
      {LikeList("\"a　b\" c", "byochu"), "(byochu LIKE 'a　b' or byochu LIKE 'c')"},
      {LikeList("\"x, \"\"y\"\" z\"", "byochu"), "(byochu LIKE 'x, \"y\" z')"},
      {LikeList("x,\t\"a b\"", "byochu"), "(byochu LIKE 'x' or byochu LIKE 'a b')"},
      {LikeList("\"unclosed a b", "byochu"), "(byochu LIKE 'unclosed a b')"},
      {LikeList("a\"b c", "byochu"), "(byochu LIKE 'a\"b' or byochu LIKE 'c')"},  // a quote inside a word is a character
      {MatchListBetsumei("\"ハダニ 類\"", "byochu"), "(concat('、',byochu,betsumei) MATCH '%ハダニ 類%')"},
      {MatchListBetsumei("アブラムシ ダニ", "byochu"),
       "(concat('、',byochu,betsumei) MATCH '%アブラムシ%' or concat('、',byochu,betsumei) MATCH '%ダニ%')"},
      {SakuMatchList("トマト,なす"), "(sakumotsu MATCH 'トマト' or sakumotsu MATCH 'なす')"},
      {SakuMatchList(""), ""},
      {SakuRegexp("とまと"),
       " sakumotsu REGEXP '(^|、|\\()((?<!に)とまと)(\\(.*?(栽培|除く)|\\)|、|等|$)'"
       " AND sakumotsu NOT REGEXP '\\((.*、)?((?<!に)とまと)(、.*)?を除く'"},
      {SakuBetsumeiRegexp("トマト(施設栽培)"),
       " concat('、', sakumotsu, betsumei) REGEXP '(^|、|\\()(トマト\\(?施設栽培\\)?)(\\(.*?(栽培|除く)|\\)|、|等|$)'"
       " AND concat('、', sakumotsu, betsumei) NOT REGEXP '\\((.*、)?(トマト(\\(施設栽培\\))?)(、.*)?を除く|露地'"},
      {SakuRubyRegexp("なす"),
       " concat('、', sakumotsu, betsumei, ruby) REGEXP '(^|、|\\()((?<!た|な|ま|ひ)なす(?!な))(\\(.*?(栽培|除く)|\\)|、|等|$)'"
       " AND concat('、', sakumotsu, betsumei) NOT REGEXP '\\((.*、)?((?<!た|な|ま|ひ)なす(?!な))(、.*)?を除く'"},
  };
  for (const Case& c : cases) EXPECT_EQ(c.got, c.expected);
  // Whatever names a picker hands over as comma text come back one word each.
  const std::vector<std::string> picked = {"アブラムシ 類", "コナガ", "全角　空白", "a,b", "q\"t", "it's"};
  EXPECT_EQ(WordList(ListToCommaText(picked)), picked);
  EXPECT_EQ(LikeList(ListToCommaText(picked), "b"),
            "(b LIKE 'アブラムシ 類' or b LIKE 'コナガ' or b LIKE '全角　空白' or b LIKE 'a,b' or b LIKE 'q\"t' or "
            "b LIKE 'it''s')");
  // The flag of SakuRegexp's include side is off: 施設 alone adds no open-field alternative.
  EXPECT_EQ(SakuRegexp("施設").find("|露地"), SakuRegexp("施設").rfind("|露地"));
  EXPECT_NE(SakuRegexp("施設").find("NOT REGEXP '\\((.*、)?(施設)(、.*)?を除く|露地'"), std::string::npos);
}

namespace {

struct Row {
  const char* sakumotsu;
  const char* betsumei;
  const char* ruby;
  const char* text;  // yoto, zaikei, meisho, byochu, mokuteki
};

class Fixture {
 public:
  Fixture() {
    sqlite3_open(":memory:", &db_);
    RegisterSqlFunctions(db_);
    sqlite3_exec(db_,
                 "CREATE TABLE t(sakumotsu, betsumei, ruby, yoto, zaikei, meisho, byochu, mokuteki);"
                 "INSERT INTO t VALUES('トマト','ミニトマト','とまと','殺虫剤','乳剤','アセタミプリド','アブラムシ類','殺虫');"
                 "INSERT INTO t VALUES('野菜類(トマトを除く)',NULL,'やさいるい','殺菌剤','水和剤','it''s','ダニ類','殺菌');"
                 "INSERT INTO t VALUES('なす(施設栽培)','','なす','除草剤','粒剤','x%y','（病害）','除草');",
                 nullptr, nullptr, nullptr);
  }
  ~Fixture() { sqlite3_close(db_); }
  // Rows selected by "SELECT 1 FROM t WHERE cond", or -1 with the message when it fails.
  int Count(const std::string& cond, std::string* error) {
    std::string sql = "SELECT 1 FROM t WHERE " + cond;
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &st, nullptr) != SQLITE_OK) {
      *error = sql + " : " + sqlite3_errmsg(db_);
      return -1;
    }
    int n = 0, rc;
    while ((rc = sqlite3_step(st)) == SQLITE_ROW) ++n;
    if (rc != SQLITE_DONE) {
      *error = sql + " : " + sqlite3_errmsg(db_);
      n = -1;
    }
    sqlite3_finalize(st);
    return n;
  }

 private:
  sqlite3* db_ = nullptr;
};

}  // namespace

TEST(ClauseBuilders, RandomTextPreparesRunsAndStaysInsideItsLiterals) {
  Fixture fx;
  const std::vector<std::string> pieces = {"'", "%", "　", "\"", "(", ")", " ", ",", "トマト", "な",
                                           "す", "-", ";", "\\", "*", "?", "[", "）", "（", "--", "x"};
  using Builder = std::function<std::string(const std::string&)>;
  const std::vector<std::pair<const char*, Builder>> builders = {
      {"InList", [](const std::string& s) { return InList(s, "yoto"); }},
      {"LikeList", [](const std::string& s) { return LikeList(s, "meisho"); }},
      {"MatchListBetsumei", [](const std::string& s) { return MatchListBetsumei(s, "byochu"); }},
      {"SakuMatchList", [](const std::string& s) { return SakuMatchList(s); }},
      {"SakuBetsumeiRegexp", [](const std::string& s) { return SakuBetsumeiRegexp(s); }},
      {"SakuRegexp", [](const std::string& s) { return SakuRegexp(s); }},
      {"SakuRubyRegexp", [](const std::string& s) { return SakuRubyRegexp(s); }},
  };
  std::mt19937 rng(42);
  for (int round = 0; round < 400; ++round) {
    std::string text;
    int n = 1 + static_cast<int>(rng() % 8);
    for (int i = 0; i < n; ++i) text += pieces[rng() % pieces.size()];
    for (const auto& [name, build] : builders) {
      std::string frag = build(text);
      if (frag.empty()) continue;
      std::string error;
      // The fragment alone, and OR-ed with a test that is false: a fragment that leaked out of
      // its brackets or literals would change the count or fail to prepare.
      int alone = fx.Count(frag, &error);
      ASSERT_GE(alone, 0) << name << " [" << text << "] " << error;
      int orFalse = fx.Count("0 AND " + frag, &error);
      ASSERT_EQ(orFalse, 0) << name << " [" << text << "] " << error;
      int andTrue = fx.Count("1 AND " + frag, &error);
      ASSERT_EQ(andTrue, alone) << name << " [" << text << "] " << error;
    }
  }
}

TEST(ClauseBuilders, FragmentsSelectTheIntendedRows) {
  Fixture fx;
  std::string error;
  struct Case {
    std::string cond;
    int rows;
  };
  const Case cases[] = {
      {InList("殺虫剤,殺菌剤", "yoto").substr(1), 2},
      {InList("\"除草剤\" 粒剤", "yoto").substr(1), 1},
      {LikeList("%it's%", "meisho"), 1},
      {LikeList("アセ% x%", "meisho"), 2},
      {MatchListBetsumei("あぶらむし", "byochu"), 1},
      {SakuMatchList("とまと"), 1},
      {SakuRegexp("トマト").substr(1), 1},           // 野菜類(トマトを除く) is excluded
      {SakuBetsumeiRegexp("ミニトマト").substr(1), 1},
      {SakuRegexp("なす").substr(1), 1},
      {SakuRubyRegexp("やさい").substr(1), 0},
  };
  for (const Case& c : cases) EXPECT_EQ(fx.Count(c.cond, &error), c.rows) << c.cond << " " << error;
}
