// Search keys: the normalisation behind strconv, match, regexp and preconv.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "database/sakumotsu_keys.h"
#include "database/sql_functions.h"
#include "database/strconv.h"

TEST(StrConv, DefaultKeyTable) {
  struct Case {
    const char* in;
    const char* key;
  } cases[] = {
      {"ト", "と"}, {"ﾄ", "と"}, {"と", "と"},
      {"ガ", "か"}, {"か", "か"}, {"ｶﾞ", "か"},
      {"ッ", "つ"}, {"っ", "つ"}, {"ｯ", "つ"},
      {"パーティー", "はてい"}, {"ぱーてぃー", "はてい"}, {"ﾊﾟｰﾃｨｰ", "はてい"}, {"はてい", "はてい"},
      {"ー", ""}, {"－", ""}, {"ｰ", ""}, {"−", ""},
      {"Ａ", "a"}, {"A", "a"}, {"ａ", "a"}, {"０", "0"}, {"0", "0"},
      {"\u3000", " "},
      {"ABC-123", "abc-123"},              // the ASCII hyphen survives
      {"ＡＢＣ－１２３", "abc123"},          // the full-width one does not
      {"ヴ", "う"}, {"ｳﾞ", "う"}, {"ヵ", "か"}, {"ヶ", "け"}, {"ゎ", "わ"}, {"ヮ", "わ"},
      {"キャベツ", "きやへつ"}, {"ピーマン", "ひまん"},
      {"（株）［Ｘ］", "(株)[x]"},
      {"ﾞ", "ﾞ"},                           // a lone mark stays a mark
      {"。「」・", "｡｢｣･"},
      {"ΑΒΓ", "αβγ"},
      {"稲\xFF", "稲\xFF"},                 // bytes that are not UTF-8 pass through
      {"㈱アＡ", "㈱あa"}, {"㐀ｶﾞ", "㐀か"}, {"\xEF\xBF\xBDト", "\xEF\xBF\xBDと"},  // neighbours of the kana tables
      {"", ""},
  };
  for (auto& c : cases) EXPECT_EQ(StrConvText(c.in), c.key) << c.in;
}

TEST(StrConv, SingleOptions) {
  struct Case {
    const char* in;
    const char* opts;
    const char* out;
  } cases[] = {
      {"ＡＢトマトAb", "C", "ａｂトマトab"},
      {"ＡＢトマトAb", "c", "ａｂトマトab"},
      {"Ｂトマト", "W", "Bﾄﾏﾄ"},
      {"パーティー", "W", "ﾊﾟーﾃｨー"},      // the long-vowel mark stays full-width
      {"ｰ", "C", "ー"},
      {"パーティーＡ", "K", "ぱーてぃーA"},
      {"ﾊﾟｰﾃｨｰ", "K", "ぱーてぃー"},
      {"パーティーＡ", "V", "はていA"},
      {"トマト－ー", "KC", "とまと-ー"},   // without V nothing is removed
      {"トマト", "xyz", "トマト"},          // no known letter: unchanged
      {"トマト", "", "とまと"},
  };
  for (auto& c : cases) EXPECT_EQ(StrConvText(c.in, c.opts), c.out) << c.in << " / " << c.opts;
}

namespace {

// Random texts over the repertoire of the register: kana of all kinds, marks, Latin letters
// and digits in both widths, symbols, spaces, kanji and a stray byte now and then.
std::vector<std::string> Repertoire() {
  std::vector<std::string> r;
  const char* pieces[] = {
      "ア", "ガ", "パ", "ヴ", "ヵ", "ヶ", "ッ", "ャ", "ー", "－", "ヽ", "ヾ", "ヰ", "ヷ", "あ", "が", "ぱ", "っ", "ゃ", "ゎ",
      "ゔ", "ゝ", "ゞ", "ｱ", "ｶ", "ﾊ", "ｳ", "ﾜ", "ﾞ", "ﾟ", "ｰ", "ｯ", "｡", "｢", "･", "Ａ", "ｚ", "０", "９", "A", "z", "5",
      "-", "'", "＇", "%", "_", "（", "）", "(", "\\", " ", "\u3000", "、", "。", "・", "゛", "゜", "稲", "麦", "Ω", "я", "\xFF"};
  for (auto p : pieces) r.emplace_back(p);
  return r;
}

std::string RandomText(std::mt19937& rng, const std::vector<std::string>& rep, int maxLen) {
  std::uniform_int_distribution<int> len(0, maxLen), pick(0, static_cast<int>(rep.size()) - 1);
  std::string s;
  for (int k = len(rng); k > 0; --k) s += rep[pick(rng)];
  return s;
}

}  // namespace

TEST(StrConv, KeysAreStableUnderEveryOptionSet) {
  std::mt19937 rng(20261207);
  auto rep = Repertoire();
  const char* optionSets[] = {"KCWV", "K", "C", "W", "V", "KC", "KW", "CW", "KCW", "CV", "WV", "KV"};
  for (int round = 0; round < 3000; ++round) {
    std::string s = RandomText(rng, rep, 12);
    for (auto o : optionSets) {
      std::string once = StrConvText(s, o);
      ASSERT_EQ(StrConvText(once, o), once) << "options " << o << " text " << s;
    }
  }
}

// The table-driven key equals the step-by-step one for every option set.
TEST(StrConv, TablesAgreeWithStepByStepKey) {
  std::mt19937 rng(11);
  auto rep = Repertoire();
  // Three-byte characters next to the kana block and the full-width forms (㈱, CJK
  // extension A, the replacement character) share their lead bytes with the table lookups.
  for (const char* extra : {"ｶﾞ", "ﾊﾟ", "ｱﾞ", "ﾞﾞ", "\xEF\xBE", "\xE3", "Ⅰ", "￥", "～", "\xEF\xBE\x9E", "㈱", "㐀",
                            "\xEF\xBF\xBD", "㍉"})
    rep.emplace_back(extra);
  for (int round = 0; round < 4000; ++round) {
    std::string s = RandomText(rng, rep, 14);
    for (unsigned o = 0; o < 16; ++o) {
      std::string ref;
      StrConvAppendReference(s, o, ref);
      std::string fast;
      StrConvAppend(s, o, fast);
      ASSERT_EQ(fast, ref) << "options " << o << " text " << s;
    }
  }
}

// The client-side key and strconv agree: a key built on either side compares equal after the
// SQL side's normalisation.
TEST(StrConv, ClientKeyAgreesWithStrconv) {
  std::mt19937 rng(7);
  auto rep = Repertoire();
  for (int round = 0; round < 3000; ++round) {
    std::string w = RandomText(rng, rep, 10);
    // The stray byte and bracket characters are outside what names of the register hold.
    if (w.find('\xFF') != std::string::npos || w.find('\\') != std::string::npos) continue;
    ASSERT_EQ(StrConvText(MakeKanaKey(w)), StrConvText(w)) << w;
  }
  EXPECT_EQ(StrConvText(MakeKanaKey("ABC-1")), StrConvText("ABC-1"));
}

TEST(StrConv, PreconvRewritesLiterals) {
  struct Case {
    const char* in;
    const char* out;
  } cases[] = {
      {"select * from t where strconv(x) like preconv('%トマト%')", "select * from t where strconv(x) like '%とまと%'"},
      {"PRECONV('ＡＢ','c')", "'ａｂ'"},
      {"preconv ( 'ﾄﾏﾄ' , 'K' ) || preconv('ガ')", "preconv ( 'ﾄﾏﾄ' , 'K' ) || 'か'"},
      {"preconv('ﾄﾏﾄ' , 'K' )", "'とまと'"},
      {"preconv('it''s')", "'it''s'"},                     // a doubled quote is accepted
      {"preconv('＇Ａ')", "'''a'"},                       // a full-width quote folds to ' and is doubled
      {"preconv('')", "preconv('')"},                     // empty literal: left for SQLite to reject
      {"preconv('a','xyz')", "preconv('a','xyz')"},
      {"select 1", "select 1"},
      {"preconv('ア')preconv('イ')", "'あ''い'"},
  };
  for (auto& c : cases) EXPECT_EQ(PreconvSql(c.in), c.out) << c.in;
}

// Literals of any length are rewritten (a user may paste a long list into a search box), also
// with quotes, line breaks and options; an unterminated call is left for SQLite to report.
TEST(StrConv, PreconvRewritesLongLiterals) {
  for (size_t n : {1363u, 1364u, 5000u, 200000u}) {
    std::string text;
    while (text.size() < n) text += "ﾄﾏﾄ'' \n";
    const std::string sql = "select x like preconv('" + text + "', 'kcwv') from t";
    const std::string out = PreconvSql(sql);
    std::string plain;
    for (size_t i = 0; i < text.size(); ++i) {
      plain.push_back(text[i]);
      if (text[i] == '\'') ++i;
    }
    std::string quoted;
    for (char c : StrConvText(plain, "kcwv")) {
      quoted.push_back(c);
      if (c == '\'') quoted.push_back('\'');
    }
    EXPECT_EQ(out, "select x like '" + quoted + "' from t") << n;
  }
  const std::string open = "select preconv('" + std::string(5000, 'a');
  EXPECT_EQ(PreconvSql(open), open);
}
