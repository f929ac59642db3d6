// Crop-name keys and crop-condition patterns, checked against the SQL functions the patterns
// run under (strconv and regexp).
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <random>
#include <string>
#include <vector>

#include "database/perl_regex.h"
#include "database/sakumotsu_keys.h"
#include "database/sql_regexp.h"
#include "database/sql_functions.h"
#include "database/strconv.h"

namespace {

// A raw connection with the program's SQL functions.
class Db {
 public:
  Db() {
    sqlite3_open(":memory:", &db_);
    RegisterSqlFunctions(db_);
  }
  ~Db() { sqlite3_close(db_); }
  // First column of the first row as text; "<error: ...>" when the statement fails.
  std::string Value(const std::string& sql, const std::vector<std::string>& args = {}) {
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &st, nullptr) != SQLITE_OK)
      return "<error: " + std::string(sqlite3_errmsg(db_)) + ">";
    for (size_t i = 0; i < args.size(); ++i)
      sqlite3_bind_text(st, static_cast<int>(i + 1), args[i].c_str(), -1, SQLITE_TRANSIENT);
    std::string out;
    int rc = sqlite3_step(st);
    if (rc == SQLITE_ROW) {
      const unsigned char* t = sqlite3_column_text(st, 0);
      out = t ? reinterpret_cast<const char*>(t) : "<null>";
    } else if (rc != SQLITE_DONE) {
      out = "<error: " + std::string(sqlite3_errmsg(db_)) + ">";
    }
    sqlite3_finalize(st);
    return out;
  }
  // regexp(pattern, subject) where pattern is an SQL literal as the builders return it.
  std::string Regexp(const std::string& quotedPattern, const std::string& subject) {
    return Value("SELECT ? REGEXP " + quotedPattern, {subject});
  }

 private:
  sqlite3* db_ = nullptr;
};

}  // namespace

TEST(SakumotsuKeys, MakeKanaKey) {
  struct Case {
    const char* word;
    const char* key;
  };
  const Case cases[] = {
      {"キャベツ", "きやへつ"},
      {"ピーマン", "ひまん"},
      {"ﾄﾏﾄ", "とまと"},
      {"ｶﾞｰﾍﾞﾗ", "かへら"},
      {"パーティー", "はてい"},
      {"ヴィオラ", "ういおら"},
      {"abc 12", "ＡＢＣ　１２"},  // Latin letters and digits stay full-width, upper case
      {"トマト（施設栽培）", "とまと(施設栽培)"},
      {"［葉］", "[葉]"},
      {"A-B", "Ａ-Ｂ"},          // the ASCII hyphen stays ASCII
      {"Ａ－Ｂ", "Ａ－Ｂ"},
      {"", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(MakeKanaKey(c.word), c.key) << c.word;
}

TEST(SakumotsuKeys, KanaKeyAndStrconvAgreeOnRandomWords) {
  // strconv(MakeKanaKey(w)) == strconv(w), both through the C++ entry point and through SQL,
  // over words from the register's repertoire.
  const std::vector<std::string> pieces = {
      "ト", "マ", "ガ", "パ", "ッ", "ャ", "ヴ", "ヵ", "ー", "ｰ", "ﾄ", "ｶ", "ﾞ", "ﾟ", "ﾊ", "ｳ",
      "と", "が", "ぱ", "っ", "ゃ", "－", "-", "−", "A", "z", "Ｚ", "ａ", "0", "９", " ", "　",
      "(", "（", "）", "[", "］", "\\", "￥", "'", "＇", ".", "．", "麦", "栽培", "α", "Ω", "é"};
  std::mt19937 rng(2024);
  Db db;
  for (int round = 0; round < 3000; ++round) {
    std::string w;
    int n = 1 + static_cast<int>(rng() % 8);
    for (int i = 0; i < n; ++i) w += pieces[rng() % pieces.size()];
    std::string key = MakeKanaKey(w);
    ASSERT_EQ(StrConvText(key), StrConvText(w)) << "word " << w << " key " << key;
    if (round % 10 == 0) {
      ASSERT_EQ(db.Value("SELECT strconv(?) = strconv(?)", {key, w}), "1") << w;
    }
  }
  // The key, used as a pattern, finds the word it came from (hyphens included).
  for (const char* w : {"A-B", "ﾄﾏﾄ", "ピーマン", "トマト　ミニ"})
    EXPECT_EQ(db.Value("SELECT regexp(?, ?)", {MakeKanaKey(w), w}), "1") << w;
}

TEST(SakumotsuKeys, NormalizeSakumotsuKey) {
  struct Case {
    const char* word;
    const char* key;
  };
  const Case cases[] = {
      {"トマト（しせつさいばい）", "とまと\\(しせつさいはい"},
      {"トマト（施設栽培）", "とまと\\(施設栽培\\)"},  // kanji stay kanji
      {"トマト", "とまと"},
      {"トマト(ロジ)", "とまと\\(ろしさいはい"},
      {"ロチトマト", "とまと\\(ろしさいはい"},
      {"ヒロシ", "ひろし"},                               // not a cultivation form after ひ
      {"水稲(直播)", "水稲\\(直播\\)"},
      {"シカマキスイトウ", "ちよくはすいとう"},                 // a folded key stays whole
      {"シカマキトマト", "とまと\\(ちよくはさいはい"},
      {"チョクハスイトウ", "ちよくはすいとう"},
      {"イショクスイトウ", "いしよくすいとう"},
      {"柑橘", "かんきつ"},
      {"菠薐草", "ほうれんそう"},
      {"南瓜", "かぼちゃ"},  // written as is; regexp folds it
      {"葡萄（種無し）", "ぶどう\\(むかく\\)"},
      {"ブドウ(タネアリ)", "ふとう\\(ゆうかく\\)"},
      {"オオツブ", "たいりゆう"},
      {"未成熟豆類", "まめるい\\(みせいしゆく\\)"},
      {"未成熟まめ", "まめるい\\(みせいしゆく\\)"},
      {"豆類未成熟", "まめるい\\(みせいしゆく\\)"},
      {"ホップ(ほつとまむ)シセツ", "ほつふ\\(ほつとまむ\\)\\(しせつさいはい"},
      {"", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(NormalizeSakumotsuKey(c.word), c.key) << c.word;

  EXPECT_EQ(SakumotsuWordsToKeys("トマト　ナス, キャベツ  "), "とまと,なす,きやへつ");
  EXPECT_EQ(SakumotsuWordsToKeys(" 　 ,"), "");
  EXPECT_EQ(KeysToRegexp(SakumotsuWordsToKeys("トマト（施設） ナス＊ a.b")),
            "とまと\\(施設\\)|なす\\*|Ａ\\.Ｂ");
  EXPECT_EQ(KeysToRegexp(SakumotsuWordsToKeys("トマト(シセツ")), "とまと\\(しせつさいはい");
  // Every key is a valid pattern.
  for (const char* w : {"トマト（施設", "(", "[)", "ぶどう(無", "まめ("}) {
    TPerlRegEx re(NormalizeSakumotsuKey(w));
    EXPECT_NO_THROW(re.Compile()) << w << " -> " << re.RegEx();
  }
}

TEST(SakumotsuKeys, KanaContextPatterns) {
  struct Case {
    const char* key;
    const char* positive;
    const char* negative;
  };
  const Case cases[] = {
      {"とまと", "とまと", "みにとまと"},   {"さくら", "さくら", "さくらんほ"},
      {"いね", "すいとう", "いね科"},       {"むき", "むき", "とむき"},
      {"きひ", "きひ", "うきひ"},           {"うめ", "うめ", "ゆうめ"},
      {"かき", "かき", "さかき"},           {"くり", "くり", "くりさ"},
      {"なし", "なし", "ちなし"},           {"もも", "もも", "すもも"},
      {"ゆす", "ゆす", "ゆすき"},           {"うと", "うと", "うとう"},
      {"かふ", "かふ", "かふた"},           {"ける", "ける", "つける"},
      {"せり", "せり", "はせり"},           {"なす", "なす", "なすな"},
      {"ねき", "ねき", "たまねき"},         {"はす", "はす", "はすい"},
      {"ふき", "ふき", "いふき"},           {"きく", "きく", "しゆんきく"},
      {"はら", "はら", "すはら"},           {"ゆり", "ゆり", "ゆりのき"},
      {"らん", "らん", "かんらん"},         {"かし", "かし", "めかし"},
      {"きり", "きり", "つきり"},           {"すき", "すき", "みすき"},
      {"つけ", "つけ", "きつけ"},           {"ふう", "ふう", "ふうと"},
      {"ふな", "ふな", "みふな"},           {"まき", "まき", "まき("},
      {"まつ", "まつ", "かまつ"},           {"やし", "やし", "ひやし"},
      {"しは", "しは", "しはい"},           {"ちや", "ちや", "ほちや"},
      {"こま", "こま", "こまつな"},         {"すいとこん", "とうもろこし", "とうもろこし(子実)"},
      {"たけのこ", "たけのこ", "たけのこいも"},
  };
  const auto& table = KanaContextTable();
  ASSERT_EQ(table.size(), 37u);
  ASSERT_EQ(std::size(cases), 37u);
  for (size_t i = 0; i < table.size(); ++i) {
    ASSERT_EQ(std::string(table[i].key), cases[i].key);
    std::string pattern = ApplyKanaContext(cases[i].key);
    EXPECT_EQ(pattern, table[i].pattern);
    TPerlRegEx re(pattern);
    ASSERT_NO_THROW(re.Compile()) << pattern;
    re.SetSubject(cases[i].positive);
    EXPECT_TRUE(re.Match()) << pattern << " on " << cases[i].positive;
    re.SetSubject(cases[i].negative);
    EXPECT_FALSE(re.Match()) << pattern << " on " << cases[i].negative;
  }
  // Items are replaced only when they equal a key exactly.
  EXPECT_EQ(ApplyKanaContext("なす,とまとか,,うめ"), "(?<!た|な|ま|ひ)なす(?!な),とまとか,,(?<!ゆ|よ)うめ");
  EXPECT_EQ(ApplyKanaContext("なす|とまと"), "なす|とまと");
}

TEST(SakumotsuKeys, ConditionTexts) {
  struct Case {
    const char* names;
    char op;
    bool flag;
    const char* result;
  };
  const Case cases[] = {
      {"トマト", '#', false, "トマト"},
      {"'トマト(施設栽培)',なす", '#', false, "トマト（施設栽培）"},
      {"トマト(施設栽培)", '=', false, "'^トマト\\(施設栽培\\)?'"},
      {"とまと\\(しせつさいはい", '=', false, "'^とまと\\(しせつさいはい'"},
      {"なす, トマト", ':', false, "'、(なす|トマト)、'"},
      {"トマト（施設栽培）,なす,トマト", ':', false,
       "'、(トマト\\(施設栽培\\)|なす(\\(施設栽培\\))?|トマト)、'"},
      {"a.b", ':', false, "'、(a\\.b)、'"},
      {"とまと", '%', false, "'(^|、|\\()((?<!に)とまと)(\\(.*?(栽培|除く)|\\)|、|等|$)'"},
      {"なす, トマト", '%', false, "'(^|、|\\()(なす|トマト)(\\(.*?(栽培|除く)|\\)|、|等|$)'"},
      {"果樹類", '%', false, "'(^|、|\\()(果樹(類)?)(\\(.*?(栽培|除く)|\\)|、|等|$)'"},
      {"トマト(施設栽培)", '!', true,
       "'\\((.*、)?(トマト(\\(施設栽培\\))?)(、.*)?を除く|露地'"},
      {"トマト(施設栽培)", '!', false, "'\\((.*、)?(トマト(\\(施設栽培\\))?)(、.*)?を除く'"},
      {"なす(露地栽培)", '!', false, "'\\((.*、)?(なす(\\(露地栽培\\))?)(、.*)?を除く|施設|水耕'"},
      {"it's", '%', false, "'(^|、|\\()(its)(\\(.*?(栽培|除く)|\\)|、|等|$)'"},
      // Any other operator: the names with optional brackets, neither frame, nothing added.
      {"トマト(露地栽培)", '/', false, "'トマト\\(?露地栽培\\)?'"},
      {"トマト(露地栽培)", '/', true, "'トマト\\(?露地栽培\\)?'"},
      {"なす, 果樹類,とまと", '/', true, "'なす|果樹(類)?|とまと'"},
      {"とまと", '/', false, "'(?<!に)とまと'"},
      {"ab cd,e", '#', false, "ab"},  // the first name of a blank-separated list
  };
  for (const Case& c : cases)
    EXPECT_EQ(BuildSakumotsuCondition(c.names, c.op, c.flag), c.result) << c.names << " " << c.op;
}

TEST(SakumotsuKeys, ConditionsSelectTheRightCrops) {
  // The patterns as the searches use them: through regexp, which normalises both sides.
  Db db;
  struct Case {
    const char* names;
    char op;
    const char* subject;
    bool matches;
  };
  const Case cases[] = {
      {"トマト", '%', "トマト", true},
      {"トマト", '%', "ミニトマト", false},
      {"とまと", '%', "ﾄﾏﾄ(施設栽培)", true},
      {"トマト", '%', "野菜類(トマトを除く)", false},
      {"野菜類", '%', "野菜", true},
      {"なす", '%', "なす、トマト", true},
      {"なす", '%', "なすな", false},
      {"トマト(施設栽培)", '%', "トマト施設栽培", true},  // brackets are optional
      {"トマト(施設栽培)", '%', "トマト", false},
      {"トマト", '!', "野菜類(トマトを除く)", true},
      {"トマト", '!', "野菜類(なす、トマト、きゅうりを除く)", true},
      {"トマト", '!', "トマト", false},
      {"トマト(施設栽培)", '!', "野菜類(トマト(施設栽培)を除く)", true},
      {"なす, トマト", ':', "、トマト、", true},
      {"なす, トマト", ':', "、ミニトマト、", false},
      {"ア.イ", ':', "、アxイ、", false},  // a dot in a name is a dot
      {"ア.イ", ':', "、ア.イ、", true},
      {"トマト(施設栽培)", '=', "トマト(施設栽培)", true},
      {"トマト", '=', "ミニトマト", false},
      {"A-B", '%', "A-B", true},
      {"Ａ－Ｂ", '%', "Ａ－Ｂ", true},
      {"a+b*", '%', "a+b*", true},
      {"トマト(露地栽培)", '/', "トマト露地栽培", true},
      {"トマト(露地栽培)", '/', "野菜類(トマト(露地栽培)を除く)", true},  // no exclusion frame
      {"トマト(露地栽培)", '/', "トマト(施設栽培)", false},
  };
  for (const Case& c : cases) {
    std::string pattern = BuildSakumotsuCondition(c.names, c.op, false);
    EXPECT_EQ(db.Regexp(pattern, c.subject), c.matches ? "1" : "0")
        << c.names << " " << c.op << " " << pattern << " on " << c.subject;
  }
  // Search words made into keys find the crop as the register writes it.
  for (auto [words, subject] : {std::pair{"トマト しせつ", "トマト(施設栽培)"}, std::pair{"ﾄﾏﾄ", "トマト"},
                                std::pair{"きゃべつ", "キャベツ"}, std::pair{"ナス　ピーマン", "ピーマン"}}) {
    std::string keys = SakumotsuWordsToKeys(words);
    EXPECT_EQ(db.Regexp(BuildSakumotsuCondition(keys, '%', false), subject), "1") << words << " " << keys;
  }
}

TEST(SakumotsuKeys, AnyTextGivesPatternsThatCompile) {
  const std::vector<std::string> pieces = {"'", "\"", "(", ")", "[", "]", "（", "）", "\\", "?", "*",
                                           "+", "|", "{", "}", ".", "^", "$", ",", " ", "トマト",
                                           "施設", "露地", "果樹類", "豆類", "まき", "－", "＊", "￥", "ー", "ｰ", "ﾞ"};
  std::mt19937 rng(99);
  for (int round = 0; round < 1500; ++round) {
    std::string text;
    int n = 1 + static_cast<int>(rng() % 7);
    for (int i = 0; i < n; ++i) text += pieces[rng() % pieces.size()];
    for (char op : {'=', ':', '_', '~', '%', '!', '/'}) {
      std::string lit = BuildSakumotsuCondition(text, op, round % 2 == 0);
      ASSERT_GE(lit.size(), 2u);
      ASSERT_EQ(lit.front(), '\'');
      ASSERT_EQ(lit.back(), '\'');
      std::string pattern;
      for (size_t i = 1; i + 1 < lit.size(); ++i) {
        pattern += lit[i];
        if (lit[i] == '\'') {
          ASSERT_EQ(lit[i + 1], '\'') << "unescaped quote in " << lit;
          ++i;
        }
      }
      for (const std::string& p : {pattern, StrConvText(pattern)}) {
        TPerlRegEx re(p);
        ASSERT_NO_THROW(re.Compile()) << op << " [" << text << "] " << p;
      }
      // As regexp sees it: normalised with the default options.
      const std::string normalised = NormalizeRegexPattern(pattern, strconv_opt::All);
      ASSERT_NO_THROW(TPcrePattern re(normalised)) << op << " [" << text << "] " << normalised;
    }
    // Search words as keys, made one pattern.
    {
      TPerlRegEx re(StrConvText(KeysToRegexp(SakumotsuWordsToKeys(text))));
      ASSERT_NO_THROW(re.Compile()) << text << " -> " << re.RegEx();
    }
    // The '#' form is a crop name, not a pattern: no quotes, brackets full-width.
    std::string name = BuildSakumotsuCondition(text, '#', false);
    EXPECT_EQ(name.find_first_of("'()[]"), std::string::npos) << text << " -> " << name;
  }
}

// A crop text that only looks like a cultivation form ("栽培）" without an opening bracket
// before it, in either bracket width) is plain text: its group condition names it as it
// stands, and the names after it get no form appended.
TEST(SakumotsuKeys, MalformedCultivationBracketsAreTakenAsPlainText) {
  struct Case {
    const char* names;
    const char* result;
  };
  const Case cases[] = {
      {"x栽培)", "'、(x栽培\\))、'"},
      {"x栽培）", "'、(x栽培\\))、'"},
      {"x栽培）,なす", "'、(x栽培\\)|なす)、'"},
      {"栽培）（x", "'、(栽培\\)\\(x)、'"},
      {"トマト(施設栽培", "'、(トマト\\(施設栽培)、'"},
      {"）栽培）", "'、(\\)栽培\\))、'"},
      // The form itself still counts, whatever follows it.
      {"x(y栽培),なす", "'、(x\\(y栽培\\)|なす(\\(y栽培\\))?)、'"},
  };
  for (const Case& c : cases) {
    for (char op : {':', '_', '~'}) {
      std::string r;
      ASSERT_NO_THROW(r = BuildSakumotsuCondition(c.names, op, false)) << c.names << " " << op;
      EXPECT_EQ(r, c.result) << c.names << " " << op;
    }
  }
  std::string base = "kept", form = "kept";
  EXPECT_FALSE(SplitCultivationForm("x栽培）", base, form));
  EXPECT_FALSE(SplitCultivationForm("栽培）（x", base, form));
  EXPECT_EQ(base + form, "keptkept");
  EXPECT_TRUE(SplitCultivationForm("トマト（施設栽培）", base, form));
  EXPECT_EQ(base, "トマト");
  EXPECT_EQ(form, "（施設栽培）");
}

// Words that normalise to nothing (a long-vowel mark alone) are no words: they add no empty
// alternative that would match every name, and a text of only such words has no key.
TEST(SakumotsuKeys, WordsThatNormaliseToNothingAreDropped) {
  EXPECT_EQ(SakumotsuWordsToKeys("トマト ー"), "とまと");
  EXPECT_EQ(SakumotsuWordsToKeys("トマト ー なす"), "とまと,なす");
  EXPECT_EQ(SakumotsuWordsToKeys("ｰ,トマト　ーー"), "とまと");
  EXPECT_EQ(SakumotsuWordsToKeys("ー ｰ"), "");
  EXPECT_EQ(KeysToRegexp(SakumotsuWordsToKeys("トマト ー なす")), "とまと|なす");
  EXPECT_EQ(KeysToRegexp(SakumotsuWordsToKeys("( ー")), "\\(");
  // As the SQL function regexp applies it: the tomato key matches no other crop name.
  Db db;
  const std::string pattern = KeysToRegexp(SakumotsuWordsToKeys("トマト ー"));
  EXPECT_EQ(db.Value("SELECT ? REGEXP ?", {"なす", pattern}), "0");
  EXPECT_EQ(db.Value("SELECT ? REGEXP ?", {"ミニトマト", pattern}), "1");
}

// Random crop text made of cultivation brackets, long-vowel marks and separators: no builder
// raises, and the search pattern of the words compiles also in its forward-match form (the
// last character made optional), whatever the words reduce to.
TEST(SakumotsuKeys, AnyCropTextWithCultivationBracketsAndMarks) {
  const std::vector<std::string> pieces = {"栽培", "栽培）", "栽培)", "（", "）", "(", ")", "ー", "ｰ", " ", "　",
                                           ",", "'", "トマト", "施設", "なす", "\\", "?"};
  std::mt19937 rng(2027);
  for (int round = 0; round < 2000; ++round) {
    std::string text;
    const int n = 1 + static_cast<int>(rng() % 6);
    for (int i = 0; i < n; ++i) text += pieces[rng() % pieces.size()];
    for (char op : {'#', '=', ':', '_', '~', '%', '!'})
      ASSERT_NO_THROW(BuildSakumotsuCondition(text, op, round % 2 == 0)) << op << " [" << text << "]";
    std::string keys;
    ASSERT_NO_THROW(keys = SakumotsuWordsToKeys(text)) << text;
    EXPECT_EQ(keys.find(",,"), std::string::npos) << text << " -> " << keys;
    if (keys.empty()) continue;
    EXPECT_NE(keys.front(), ',') << text;
    EXPECT_NE(keys.back(), ',') << text;
    const std::string k = KeysToRegexp(keys);
    for (const std::string& p : {k, "(^|、|\\()(" + k + "?)"}) {
      const std::string normalised = NormalizeRegexPattern(p, strconv_opt::All);
      ASSERT_NO_THROW(TPcrePattern re(normalised)) << "[" << text << "] " << p;
    }
  }
}
