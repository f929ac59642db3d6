// Regular-expression helpers of the templates and the crop patterns, comma lists for SQL and
// HTML escaping.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <random>
#include <set>
#include <string>
#include <vector>

#include "database/perl_regex.h"
#include "database/regex_utils.h"
#include "foundation/message_sink.h"

using List = std::vector<std::string>;

TEST(RegexUtils, ReplaceAndMatchOnSharedObject) {
  struct Rep {
    const char* subject;
    const char* pattern;
    const char* flags;
    const char* replacement;
    const char* result;
  };
  const Rep reps[] = {
      {"a-b-c", "-", "", "+", "a+b-c"},
      {"a-b-c", "-", "g", "+", "a+b+c"},
      {"ABC abc", "b", "ig", "[$0]", "A[B]C a[b]c"},
      {"x=1;y=2", "(\\w)=(\\d)", "g", "\\2:$1", "1:x;2:y"},
      {"cost", "o", "", "\\$\\\\", "c$\\st"},
      {"line1\nline2", "^l", "mg", "L", "Line1\nLine2"},
      {"a\nb", "a.b", "s", "ok", "ok"},
      {"nothing", "z", "g", "!", "nothing"},
      {"[sakumotsu]", "\\[sakumotsu\\]", "ig", "'トマト'", "'トマト'"},
  };
  for (const Rep& r : reps)
    EXPECT_EQ(RegexReplace(r.subject, r.pattern, r.flags, r.replacement), r.result) << r.pattern;

  List groups = {"stale"};
  EXPECT_TRUE(RegexMatch("<sakumotsu:作物>", "<(\\w+)(:([^>]*))?(x)?>", "i", &groups));
  EXPECT_EQ(groups, (List{"<sakumotsu:作物>", "sakumotsu", ":作物", "作物", ""}));
  EXPECT_FALSE(RegexMatch("abc", "X", "", &groups));
  EXPECT_TRUE(groups.empty());
  EXPECT_TRUE(RegexMatch("abc", "B", "i"));
  // A bad pattern is reported and the work goes on: no match, subject unchanged.
  TLogMessageSink sink;
  TScopedMessageSink scoped(&sink);
  EXPECT_FALSE(RegexMatch("abc", "(", "", &groups));
  EXPECT_EQ(RegexReplace("abc", "[b", "g", "x"), "abc");
  ASSERT_EQ(sink.Count(), 2u);
  EXPECT_EQ(sink.Messages()[0].kind, TMsgKind::Error);
  // The shared object is usable again after a bad pattern.
  EXPECT_EQ(RegexReplace("abc", "b", "", "x"), "axc");
  EXPECT_EQ(sink.Count(), 2u);
}

TEST(RegexUtils, FirstItemAndQuotedLists) {
  struct First {
    const char* list;
    const char* first;
  };
  const First firsts[] = {
      {"", ""},
      {"トマト,なす", "トマト"},
      {"ab cd,e", "ab"},  // blanks separate items
      {"  トマト(施設栽培) , なす", "トマト(施設栽培)"},
      {"'トマト','なす'", "トマト"},
      {"'a b',c", "a b"},  // a quoted item keeps its blanks
      {"'a,b',c", "a"},    // a quoted item holding a comma: its first item
      {"'ab cd,e'", "ab"},
      {"'なす(促成栽培),なす'", "なす(促成栽培)"},
      {"\"it's\",x", "it's"},
      {"it's,x", "it's"},  // an apostrophe inside a name is kept
      {"'it''s'", "it's"},
      {"'unclosed,x", "unclosed"},
  };
  for (const First& f : firsts) EXPECT_EQ(FirstCsvItem(f.list), f.first) << f.list;

  struct Quoted {
    const char* list;
    const char* sql;
  };
  const Quoted quoted[] = {
      {"", ""},
      {"a, b", "'a','b'"},
      {"'a','b'", "'a','b'"},
      // The single quotes that enclose an item go; its names are items each.
      {"'トマト,なす'", "'トマト','なす'"},
      {"'なす(促成栽培),なす','トマト'", "'なす(促成栽培)','なす','トマト'"},
      {"'a b',c", "'a','b','c'"},
      // Blanks separate items as commas do; a double-quoted item keeps them.
      {"ハダニ類 アブラムシ類", "'ハダニ類','アブラムシ類'"},
      {"ハダニ類  ,\tアブラムシ類 ", "'ハダニ類','アブラムシ類'"},
      {"\"a b\", c d", "'a b','c','d'"},
      {"'\"a b\",c'", "'a b','c'"},
      {"a,,b", "'a','b'"},
      {"''", ""},
      // An apostrophe inside a name stays, doubled.
      {"it's,x", "'it''s','x'"},
      {"'it''s'", "'it''s'"},
      {"x');DROP TABLE t;--", "'x'');DROP','TABLE','t;--'"},
  };
  for (const Quoted& q : quoted) EXPECT_EQ(QuotedCommaList(q.list), q.sql) << q.list;
}

namespace {

std::vector<std::string> Column(sqlite3* db, const std::string& sql) {
  std::vector<std::string> out;
  sqlite3_stmt* st = nullptr;
  if (sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr) != SQLITE_OK) return {"prepare failed: " + sql};
  while (sqlite3_step(st) == SQLITE_ROW) out.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
  sqlite3_finalize(st);
  return out;
}

}  // namespace

// Lists of names written every way a list comes in (plain, each name in single quotes, several
// names in one pair of single quotes, double-quoted comma text; commas and blanks between)
// select exactly their names from a table that holds every name and some that no list names.
// Names that would end a literal early or read as SQL are among them.
TEST(RegexUtils, QuotedListsSelectExactlyTheirItemsInSqlite) {
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(":memory:", &db), SQLITE_OK);
  const std::vector<std::string> names = {"a", "と", "%", "_", "(", ")", ";", "--", "it's", "x')or('1'='1",
                                          "1=1", "a\"b", "）", "*", "\\", "'')or(1", "なす(促成栽培)"};
  const std::vector<std::string> others = {"1", "'", "x", "zz", "a b", "a,b", "''", ""};
  ASSERT_EQ(sqlite3_exec(db, "CREATE TABLE t(v TEXT)", nullptr, nullptr, nullptr), SQLITE_OK);
  for (const auto* list : {&names, &others})
    for (const std::string& n : *list)
      ASSERT_EQ(sqlite3_exec(db, ("INSERT INTO t VALUES(" + SqlQuote(n) + ")").c_str(), nullptr, nullptr, nullptr),
                SQLITE_OK);
  ASSERT_EQ(Column(db, "SELECT count(*) FROM t"), List{std::to_string(names.size() + others.size())});

  auto doubled = [](const std::string& s, char q) {
    std::string out;
    for (char c : s) {
      if (c == q) out += q;
      out += c;
    }
    return out;
  };
  const std::vector<std::string> separators = {",", ", ", " ", " , ", ",,", "\t"};
  std::mt19937 rng(3);
  for (int round = 0; round < 400; ++round) {
    std::vector<std::string> chosen;
    std::string list;
    const int n = 1 + static_cast<int>(rng() % 5);
    for (int i = 0; i < n;) {
      if (!list.empty()) list += separators[rng() % separators.size()];
      // 0 plain, 1 in single quotes, 2 in double quotes, 3 two names in one pair of single quotes
      const int form = static_cast<int>(rng() % 4);
      const int group = form == 3 ? 2 : 1;
      std::string inner;
      for (int k = 0; k < group && i < n; ++k, ++i) {
        // A name that starts or ends with a quote cannot be told from an enclosed one.
        std::string name = names[rng() % names.size()];
        if (name.front() == '\'' || name.back() == '\'') name = "と";
        chosen.push_back(name);
        if (!inner.empty()) inner += ',';
        inner += form == 2 ? "\"" + doubled(name, '"') + "\"" : name;
      }
      list += form == 0 || form == 2 ? inner : "'" + doubled(inner, '\'') + "'";
    }
    const std::string in = QuotedCommaList(list);
    ASSERT_FALSE(in.empty()) << list;
    std::set<std::string> want(chosen.begin(), chosen.end());
    std::vector<std::string> got = Column(db, "SELECT v FROM t WHERE v IN (" + in + ") ORDER BY v");
    EXPECT_EQ(got, List(want.begin(), want.end())) << list << "\n-> " << in;
  }
  sqlite3_close(db);
}

TEST(RegexUtils, AlternationEscapesEveryPatternCharacter) {
  EXPECT_EQ(ListToAlternation("'トマト', なす ,\"きゅうり\""), "トマト|なす|きゅうり");
  EXPECT_EQ(ListToAlternation("a.b,c+d,e(f)"), "a\\.b|c\\+d|e\\(f\\)");
  EXPECT_EQ(ListToAlternation("トマト（施設栽培）,［葉］｛１｝．＊＋｜＾＄￥？！＝＜＞"),
            "トマト\\(施設栽培\\)|\\[葉\\]\\{１\\}\\.\\*\\+\\|\\^\\$\\\\\\?\\!\\=\\<\\>");
  EXPECT_EQ(ListToAlternation("a,,b,"), "a|b");
  EXPECT_EQ(ListToAlternation(""), "");
  // "－" stays as it is: key normalisation deletes it from pattern and subject alike.
  EXPECT_EQ(ListToAlternation("Ａ－Ｂ"), "Ａ－Ｂ");

  // Any name, once escaped, matches itself and nothing longer.
  const std::vector<std::string> pieces = {"\\", ".", "^", "$", "|", "?", "*", "+", "(", ")", "[",
                                           "]", "{", "}", "と", "（", "）", "＊", "￥", "a", "-"};
  std::mt19937 rng(5);
  for (int round = 0; round < 300; ++round) {
    std::string name;
    int n = 1 + static_cast<int>(rng() % 8);
    for (int i = 0; i < n; ++i) name += pieces[rng() % pieces.size()];
    std::string alt = ListToAlternation(name);
    TPerlRegEx re("^(" + alt + ")$");
    // Full-width look-alikes become ASCII, as the normalised subject has them.
    std::string subject = name;
    for (auto [from, to] : {std::pair{"（", "("}, {"）", ")"}, {"＊", "*"}, {"￥", "\\"}})
      subject = ReplaceAllText(subject, from, to);
    re.SetSubject(subject);
    ASSERT_NO_THROW(ASSERT_TRUE(re.Match()) << name << " -> " << alt) << name;
    re.SetSubject(subject + "と");
    EXPECT_FALSE(re.Match()) << name;
  }
}

TEST(RegexUtils, BracketsAndHtml) {
  EXPECT_EQ(EscapeBrackets("a(b)[c]"), "a\\(b\\)\\[c\\]");
  EXPECT_EQ(HalfToFullBrackets("a(b)[c]"), "a（b）［c］");
  EXPECT_EQ(FullToHalfBrackets("a（b）［c］"), "a(b)[c]");
  EXPECT_EQ(FullToHalfBrackets(HalfToFullBrackets("x(y)[z]")), "x(y)[z]");
  EXPECT_EQ(HtmlEscape("a<b & \"c\""), "a&lt;b &amp; &quot;c&quot;");
  EXPECT_EQ(HtmlEscape("it's <トマト>"), "it's &lt;トマト&gt;");
  EXPECT_EQ(FullWidthMetaToEscaped("(a)|（b）"), "(a)|\\(b\\)");
}
