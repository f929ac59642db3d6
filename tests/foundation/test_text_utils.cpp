// Japanese text utilities on UTF-8 text.
#include <gtest/gtest.h>

#include <filesystem>

#include "foundation/text_utils.h"

TEST(TextUtils, WidthAndKanaConversions) {
  EXPECT_EQ(HanToZen("ｶﾞﾝ abc-1"), "ガン　ａｂｃ－１");
  EXPECT_EQ(ZenToHan("ガンダム　ＡＢＣ１"), "ｶﾞﾝﾀﾞﾑ ABC1");
  EXPECT_EQ(ZenToHan("ひらがな"), "ひらがな");
  EXPECT_EQ(KataToHira("キャベツ"), "きゃべつ");
  EXPECT_EQ(HiraToKata("きゃべつ"), "キャベツ");
  EXPECT_EQ(MapString("ﾄﾏﾄ", kana::kMapFullWidth | kana::kMapHiragana), "とまと");
  EXPECT_EQ(HanToZen(""), "");
  // Round trip over the whole katakana block that has half-width forms.
  std::string all = "ヲァィゥェォャュョッーアイウエオカキクケコサシスセソタチツテトナニヌネノハヒフヘホマミムメモヤユヨラリルレロワン"
                    "ガギグゲゴザジズゼゾダヂヅデドバビブベボパピプペポヴ";
  EXPECT_EQ(HanToZen(ZenToHan(all)), all);
}

TEST(TextUtils, ZenToHanAsciiTable) {
  struct Case {
    const char* in;
    const char* out;
  } cases[] = {
      {"ＡＢＣＸＹＺａｂｃｘｙｚ０１２９！", "ABCXYZabcxyz0129!"},
      {"＜ｂ＞", "<b>"},
      {"　，．：；？！＾／｜‘’′“”″（）［］｛｝＋－＝＜＞￥＄％＃＆＊＠〓",
       " ,.:;?!^/|'''\"\"\"()[]{}+-=<>\\$%#&*@="},
      {"ｶﾞｷﾞﾊﾟ", "ガギパ"},
      {"ｱﾞ", "ア"},       // a mark after a kana without a voiced form is dropped
      {"ｳﾞﾎﾟﾄﾞ", "ヴポド"},
      {"ｶﾟ", "カ"},
      {"ﾞﾟa", "ﾞﾟa"},     // lone marks stay
      {"｡｢｣､･ｰ", "。「」、・ー"},
      {"＿～＼漢字ひらがな", "＿～＼漢字ひらがな"},  // no ASCII partner in the table
      {"\xFFｶ", "\xFFカ"},
      {"", ""},
  };
  for (auto& c : cases) EXPECT_EQ(ZenToHanAscii(c.in), c.out) << c.in;
}

TEST(TextUtils, HanKanaToZen) {
  EXPECT_EQ(HanKanaToZen("ｶﾞｷﾞﾊﾟ"), "ガギパ");
  EXPECT_EQ(HanKanaToZen("Ａｶﾞ1"), "Ａガ1");  // full-width capital unchanged
  EXPECT_EQ(HanKanaToZen("ｱﾞｲﾟ"), "アイ");
  EXPECT_EQ(HanKanaToZen(""), "");
}

TEST(TextUtils, StripTags) {
  EXPECT_EQ(StripTags("  <b>トマト</b> の 葉 \t\r\n"), "トマト の 葉");
  EXPECT_EQ(StripTags("   "), "");
  EXPECT_EQ(StripTags(""), "");
  EXPECT_EQ(StripTags("a<br>b<i>c</i>>d"), "abcd");
  EXPECT_EQ(StripTags("ｼｬ＜＞ア"), "ｼｬ＜＞ア");  // characters whose bytes look like brackets in other encodings
  EXPECT_EQ(StripTags("<unclosed tag text"), "");
}

TEST(TextUtils, PosExAndCountStr) {
  EXPECT_EQ(PosEx("ab", "abcab", 1), 1);
  EXPECT_EQ(PosEx("ab", "abcab", 2), 4);
  EXPECT_EQ(PosEx("ab", "abcab", 6), 0);
  EXPECT_EQ(PosEx("ab", "abcab", 0), 0);
  EXPECT_EQ(PosEx("", "abc", 1), 0);
  EXPECT_EQ(PosEx("と", "とまと", 2), 7);  // byte positions of the UTF-8 text
  // Never inside a character: search starts in the middle of ま.
  EXPECT_EQ(PosEx("\x81", "あ\x81", 2), 4);
  EXPECT_EQ(CountStr("aaaa", "aa"), 2);
  EXPECT_EQ(CountStr("aaa", "aa"), 1);
  EXPECT_EQ(CountStr("トマトとトマト", "トマト"), 2);
  EXPECT_EQ(CountStr("abc", ""), 0);
  EXPECT_EQ(CountStr("", "a"), 0);
}

TEST(TextUtils, KanaClassTestsAndSmallRoutines) {
  EXPECT_TRUE(IsHiragana("あいう"));
  EXPECT_TRUE(IsHiragana("ん"));
  EXPECT_FALSE(IsHiragana("ア"));
  EXPECT_TRUE(IsKatakana("ア"));
  EXPECT_TRUE(IsKatakana("ヶ"));
  EXPECT_FALSE(IsKatakana("あ"));
  EXPECT_FALSE(IsHiragana("a"));
  EXPECT_FALSE(IsKatakana("a"));
  EXPECT_FALSE(IsHiragana(""));
  EXPECT_FALSE(IsHiragana("\xE3\x81"));  // truncated character
  EXPECT_EQ(BoolToStr01(true), "1");
  EXPECT_EQ(BoolToStr01(false), "0");
  // Only ASCII letters change case: full-width letters and the bytes of other UTF-8 text stay.
  EXPECT_EQ(AsciiLowerCase("SELECT Ｔａｂ トマト\xC3\x89"), "select Ｔａｂ トマト\xC3\x89");
  EXPECT_EQ(AsciiUpperCase("m_tekiyo ａ é"), "M_TEKIYO ａ é");
  std::string t = GetTempDir();
  ASSERT_FALSE(t.empty());
  EXPECT_EQ(t.back(), '/');
  EXPECT_TRUE(std::filesystem::is_directory(t));
  EXPECT_FALSE(GetOSVersionName().empty());
}
