// regexp: normalised pattern and subject, escapes, compiled once per statement, and
// alternations too large for PCRE2.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <random>
#include <set>
#include <string>
#include <vector>

#include "database/sql_functions.h"
#include "database/sql_regexp.h"
#include "database/strconv.h"
#include "support_sql_db.h"

namespace {

// Queries pass PreconvSql first, as in the program.
struct Db : TSqlTestDb {
  Db() : TSqlTestDb(true) {}
};

std::string Code(int k) {
  char buf[32];
  snprintf(buf, sizeof buf, "%04d%012d", 1000 + k % 9000, k * 7919 % 1000000);
  return buf;
}

}  // namespace

TEST(SqlRegexp, NormalisedComparisonAndEscapes) {
  Db d;
  struct Case {
    const char* subject;
    const char* pattern;
    const char* result;
  } cases[] = {
      {"トマト", "とまと", "1"},
      {"ﾄﾏﾄ（施設栽培）", "^とまと", "1"},
      {"ＴＯＭＡＴＯ", "^Tomato$", "1"},
      {"トマト", "ﾄﾏﾄ", "1"},
      {"パーティー", "はてい", "1"},
      {"abc", "\\D", "1"},           // \D keeps its meaning: it is not folded to \d
      {"123", "\\D", "0"},
      {"１２３", "^\\d+$", "1"},     // the subject's full-width digits became ASCII
      {"a b", "\\S\\s\\S", "1"},
      {"ab", "a\\B", "1"},
      {"a b", "a\\W", "1"},
      {"ア", "^\\p{Hiragana}$", "1"},
      {"アイ", "\\P{Hiragana}", "0"},
      {"トマト（施設栽培）", "とまと（施設", "1"},  // full-width brackets stay literal
      {"トマト施設栽培", "とまと（施設", "0"},
      {"トマト(ハウス)", "とまと\\(", "1"},
      {"a*b", "a＊b", "1"},
      {"aab", "a＊b", "0"},
      {"x+y", "\\＋", "1"},
      {"トマト", "\\Qトマト\\E", "1"},
      {"Ａ", "\\Ａ", "1"},
      {"トマト", "[タ-ト]", "1"},
      {"e", "[Ａ-Ｚ]", "1"},
      {"トマトトマト", "(?<Crop>トマト)\\k<Crop>", "1"},
      {"ABC", "^\\pL+$", "1"},         // a one-letter property is not folded to \pl
      {"abc", "(?U)a.+", "1"},
      {"M", "^[Ａ－Ｚ]$", "1"},
      {"－", "^[Ａ－Ｚ]$", "0"},
      {"パーティー", "^はー+てー*い$", "1"},
      {"a", "^[ーa]$", "1"},
      {"ー", "[ー]", "0"},


  };
  for (auto& c : cases) {
    EXPECT_EQ(d.Value("select ? regexp ?", {c.subject, c.pattern}), c.result) << c.subject << " ~ " << c.pattern;
  }
  EXPECT_EQ(d.Value("select NULL regexp 'a'"), "0");
  EXPECT_EQ(d.Value("select regexp(NULL, 'a')"), "0");
  EXPECT_EQ(d.Value("select regexp('A', 'a', 'K')"), "0");  // without C the case stays
  EXPECT_EQ(d.Value("select regexp('ト', 'と', 'C')"), "0");
  std::string e = d.Value("select 'a' regexp '(a'");
  EXPECT_EQ(e.rfind("ERR: regexp: ", 0), 0u) << e;
  EXPECT_EQ(d.Value("select 'a' regexp 'a\\'").rfind("ERR: regexp: ", 0), 0u);
}

TEST(SqlRegexp, PatternNormalisation) {
  struct Case {
    const char* in;
    const char* out;
  } cases[] = {
      {"\\D\\S\\W\\B\\P{Han}\\x{FF21}", "\\D\\S\\W\\B\\P{Han}\\x{FF21}"},
      {"ＡＢＣ", "abc"},
      {"\\Ａ", "a"},
      {"\\ｶﾞ", "か"},
      {"\\＊", "\\*"},
      {"（）［］｛｝．＊＋？｜＾＄＼", "\\(\\)\\[\\]\\{\\}\\.\\*\\+\\?\\|\\^\\$\\\\"},
      {"\\ー", ""},
      {"(?<Name>ト)\\k<Name>(?P<X>a)(?P=X)(?&Name)(?<=Ａ)", "(?<Name>と)\\k<Name>(?P<X>a)(?P=X)(?&Name)(?<=a)"},
      {"\\Qトマト\\E.", "\\Qとまと\\E."},
      {"a\\", "a\\"},
      // Escapes, options and verbs whose letters carry meaning keep their case.
      {"\\pL\\PLＡ\\cA", "\\pL\\PLa\\cA"},
      {"(?U)Ａ(?i:Ｂ)(?-x)(?C1)(*SKIP)Ｃ", "(?U)a(?i:b)(?-x)(?C1)(*SKIP)c"},
      // The folding deletes ー and －: a class keeps its range, a quantifier its operand.
      {"[Ａ－Ｚ][^]－][[:alpha:]－]", "[a-z][^]-][[:alpha:]-]"},
      {"ー+a－?ｰ{2}b－", "(?:)+a(?:)?(?:){2}b"},
      {"[ー][ｰa]", "[ー][ｰa]"},
  };
  for (auto& c : cases) EXPECT_EQ(NormalizeRegexPattern(c.in, strconv_opt::All), c.out) << c.in;
  EXPECT_EQ(NormalizeRegexPattern("（Ａ）", strconv_opt::C), "（ａ）");
}

// The hash-set matcher must answer exactly as PCRE2 does on the forms it accepts.
TEST(SqlRegexp, LiteralAlternationAgreesWithPcre) {
  std::mt19937 rng(42);
  const char* atoms[] = {"a", "b", "ab", "あ", "\\.", ".", "\n", "", "ba"};
  auto pick = [&](int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng); };
  auto word = [&](bool subject) {
    std::string s;
    for (int k = pick(4); k > 0; --k) {
      int a = pick(9);
      if (subject && a == 4) s += ".";
      else if (!subject && a == 5) s += "a";
      else s += atoms[a];
    }
    return s;
  };
  int accepted = 0;
  for (int round = 0; round < 4000; ++round) {
    std::string p;
    bool grouped = pick(3) != 0;
    bool start = grouped && pick(2), end = grouped && pick(2);
    if (start) p += "^";
    if (grouped) p += word(false) + (pick(2) ? "(" : "(?:");
    int n = 1 + pick(5);
    for (int k = 0; k < n; ++k) p += (k ? "|" : "") + word(false);
    if (grouped) p += ")" + word(false);
    if (end) p += "$";
    auto set = TLiteralAlternation::Parse(p);
    if (!grouped && n == 1) continue;
    ASSERT_TRUE(set) << p;
    ++accepted;
    TPcrePattern re(p);
    for (int s = 0; s < 12; ++s) {
      std::string subj = word(true) + word(true) + word(true);
      ASSERT_EQ(set->Matches(subj), re.Search(subj)) << "pattern " << p << " subject " << subj;
    }
  }
  EXPECT_GT(accepted, 1000);
  for (const char* other : {"a|b*", "(a|b)+", "^a|b", "(?i)a|b", "a|b\\d", "(a|(b))", "a|[b]", "a|b$", "(a|b", "a|b)"}) {
    EXPECT_FALSE(TLiteralAlternation::Parse(other)) << other;
  }
}

TEST(SqlRegexp, AlternationsBeyondPcreLimits) {
  Db d;
  d.Exec("create table s(idsaku text)");
  d.Exec("begin");
  for (int k = 0; k < 6000; ++k) d.Exec("insert into s values('" + Code(k) + "')");
  d.Exec("commit");
  for (int count : {500, 4000}) {
    std::string alt;
    std::set<std::string> wanted;
    for (int k = 0; k < count; ++k) {
      std::string c = Code(k * 3 % 7000);  // some codes are not in the table
      alt += (k ? "|" : "") + c;
      wanted.insert(c);
    }
    int expected = 0;
    for (int k = 0; k < 6000; ++k) expected += wanted.count(Code(k)) ? 1 : 0;
    for (const std::string& p : {"^(" + alt + ")", alt, "(" + alt + ")$", "^(?:" + alt + ")$"}) {
      EXPECT_EQ(d.Value("select count(*) from s where idsaku regexp ?", {p}), std::to_string(expected)) << count;
    }
    EXPECT_EQ(d.Value("select count(*) from s where 'x'||idsaku regexp ?", {"^(" + alt + ")"}), "0");
  }
  // A huge alternation that is not plain text is split into parts that compile.
  std::string big;
  for (int k = 0; k < 4000; ++k) big += (k ? "|" : "") + Code(k).substr(0, 15) + ".";
  TRegexpMatcher m(big);
  EXPECT_STREQ(m.Kind(), "split");
  EXPECT_TRUE(m.Matches(Code(3999)));
  EXPECT_TRUE(m.Matches("zz" + Code(17) + "zz"));
  EXPECT_FALSE(m.Matches(Code(4001).substr(0, 15)));
  EXPECT_THROW(TPcrePattern p(big), ESqlRegexTooLarge);

  // One large group between a prefix and a suffix, as the crop conditions build them: the
  // group's alternatives are cut into parts, also when the group sits inside another one.
  auto Name = [](int k) { return "n" + Code(k).substr(10); };
  std::string names;
  for (int k = 0; k < 4000; ++k) names += (k ? "|" : "") + Name(k) + "\\(?";
  const std::string cond = "(^|、|\\()(" + names + ")(\\(.*?(栽培|除く)|\\)|、|等|$)";
  for (const std::string& p : {cond, "^(?:x|(" + cond + "))$", "^((?:" + names + "))z"}) {
    TRegexpMatcher g(p);
    EXPECT_STREQ(g.Kind(), "split") << p.substr(0, 40);
  }
  TRegexpMatcher g(cond);
  EXPECT_TRUE(g.Matches(Name(123)));
  EXPECT_TRUE(g.Matches("なす、" + Name(3999) + "(施設栽培)"));
  EXPECT_TRUE(g.Matches("(" + Name(7) + ")"));
  EXPECT_FALSE(g.Matches("x" + Name(7)));
  EXPECT_FALSE(g.Matches(Name(7) + "x"));
  EXPECT_FALSE(g.Matches(Name(4100)));
  TRegexpMatcher nested("^((?:" + names + "))z");
  EXPECT_TRUE(nested.Matches(Name(2500) + "z"));
  EXPECT_FALSE(nested.Matches(Name(2500) + "y"));
  // Through SQL, and a large pattern that cannot be cut fails with PCRE2's message.
  EXPECT_EQ(d.Value("select ? regexp ?", {"、n" + Code(1000).substr(10) + "等", cond}), "1");
  std::string plainNames;
  for (int k = 0; k < 4000; ++k) plainNames += (k ? "|" : "") + Name(k);
  const std::string lookahead = "(?=" + plainNames + ")x";  // a look-ahead is not cut
  std::string err = d.Value("select 'x' regexp ?", {lookahead});
  EXPECT_EQ(err.rfind("ERR: regexp: ", 0), 0u) << err.substr(0, 80);
  EXPECT_NE(err.find("too large"), std::string::npos) << err.substr(0, 80);
}

TEST(SqlRegexp, PatternsCompileOncePerStatement) {
  Db d;
  d.Exec("create table t(x text); create table pats(p text); insert into pats values ('とま')");
  d.Exec("begin");
  for (int k = 0; k < 2000; ++k) d.Exec(k % 3 ? "insert into t values('トマト')" : "insert into t values('ナス')");
  d.Exec("commit");
  long before = SqlRegexCompileCount();
  EXPECT_EQ(d.Value("select count(*) from t where x regexp 'と' and not x regexp 'なす|きゅうり'"), "1333");
  EXPECT_LE(SqlRegexCompileCount() - before, 2);
  before = SqlRegexCompileCount();
  EXPECT_EQ(d.Value("select count(*) from t where x regexp (select p from pats)"), "1333");
  EXPECT_LE(SqlRegexCompileCount() - before, 1);
  // The same pattern in the next statement comes from the connection's cache.
  before = SqlRegexCompileCount();
  EXPECT_EQ(d.Value("select count(*) from t where x regexp 'と'"), "1333");
  EXPECT_EQ(SqlRegexCompileCount() - before, 0);
  // A pattern per row (a column) is compiled once per distinct text.
  d.Exec("create table pr(s text, p text)");
  for (int k = 0; k < 300; ++k) d.Exec("insert into pr values('abc', '" + std::string(k % 2 ? "b" : "z") + "')");
  before = SqlRegexCompileCount();
  EXPECT_EQ(d.Value("select count(*) from pr where s regexp p"), "150");
  EXPECT_EQ(SqlRegexCompileCount() - before, 2);
}
