// The character tables behind every width, kana and key conversion.
#include <gtest/gtest.h>

#include <string>

#include "foundation/kana_tables.h"

using namespace kana;

namespace {
std::string U8(char32_t c) {
  std::string s;
  AppendUtf8(s, c);
  return s;
}
}  // namespace

TEST(KanaTables, Utf8DecodeEncodeRoundTripAndInvalidBytes) {
  for (char32_t c : {0x24u, 0x7Fu, 0x80u, 0x7FFu, 0x800u, 0x3042u, 0xFFFFu, 0x10000u, 0x10FFFFu}) {
    std::string s = U8(c);
    size_t i = 0;
    EXPECT_EQ(DecodeUtf8(s.data(), s.size(), i), c);
    EXPECT_EQ(i, s.size());
  }
  struct Bad {
    std::string bytes;
  } bad[] = {{"\x80"}, {"\xC0\xAF"}, {"\xE0\x80\xAF"}, {"\xED\xA0\x80"}, {"\xF4\x90\x80\x80"}, {"\xE3\x81"}, {"\xFF"}};
  for (auto& b : bad) {
    size_t i = 0;
    EXPECT_EQ(DecodeUtf8(b.bytes.data(), b.bytes.size(), i), kInvalid) << b.bytes.size();
    EXPECT_EQ(i, 1u);
  }
  EXPECT_EQ(Utf8Length("aあ\xFF"), 3u);
}

// Every half-width katakana: its full-width form, the voiced and semi-voiced forms that the
// marks select, and the way back to half width.
TEST(KanaTables, HalfWidthKatakanaRepertoire) {
  const std::u32string half = U"｡｢｣､･ｦｧｨｩｪｫｬｭｮｯｰｱｲｳｴｵｶｷｸｹｺｻｼｽｾｿﾀﾁﾂﾃﾄﾅﾆﾇﾈﾉﾊﾋﾌﾍﾎﾏﾐﾑﾒﾓﾔﾕﾖﾗﾘﾙﾚﾛﾜﾝﾞﾟ";
  const std::u32string full = U"。「」、・ヲァィゥェォャュョッーアイウエオカキクケコサシスセソタチツテトナニヌネノハヒフヘホマミムメモヤユヨラリルレロワン゛゜";
  ASSERT_EQ(half.size(), 63u);
  ASSERT_EQ(full.size(), 63u);
  for (size_t k = 0; k < half.size(); ++k) {
    EXPECT_EQ(HalfKanaToFull(half[k]), full[k]) << k;
    char32_t back[2];
    ASSERT_EQ(FullKanaToHalf(full[k], back), 1) << k;
    EXPECT_EQ(back[0], half[k]);
  }
  const std::u32string voicable = U"ウカキクケコサシスセソタチツテトハヒフヘホ";
  const std::u32string voiced = U"ヴガギグゲゴザジズゼゾダヂヅデドバビブベボ";
  for (size_t k = 0; k < voicable.size(); ++k) {
    EXPECT_EQ(VoicedKatakana(voicable[k]), voiced[k]);
    char32_t h[2];
    ASSERT_EQ(FullKanaToHalf(voiced[k], h), 2);
    EXPECT_EQ(HalfKanaToFull(h[0]), voicable[k]);
    EXPECT_EQ(h[1], 0xFF9Eu);
  }
  const std::u32string semi = U"パピプペポ";
  for (size_t k = 0; k < 5; ++k) {
    EXPECT_EQ(SemiVoicedKatakana(voicable[16 + k]), semi[k]);
    char32_t h[2];
    ASSERT_EQ(FullKanaToHalf(semi[k], h), 2);
    EXPECT_EQ(h[1], 0xFF9Fu);
  }
  for (char32_t c : U"アナマヤラワンッーヲ") {
    if (!c) break;
    EXPECT_EQ(VoicedKatakana(c), 0u) << static_cast<unsigned>(c);
    EXPECT_EQ(SemiVoicedKatakana(c), 0u);
  }
  EXPECT_EQ(SemiVoicedKatakana(U'カ'), 0u);
  // No half-width form: hiragana, ヵ ヶ ヮ, kanji.
  char32_t h[2];
  for (char32_t c : U"あがヵヶヮ漢") {
    if (!c) break;
    EXPECT_EQ(FullKanaToHalf(c, h), 0) << static_cast<unsigned>(c);
  }
}

TEST(KanaTables, KanaCaseAndFolding) {
  // Katakana and hiragana correspond one to one over ァ..ヶ.
  for (char32_t k = 0x30A1; k <= 0x30F6; ++k) {
    EXPECT_EQ(HiraToKata(KataToHira(k)), k);
    EXPECT_TRUE(IsHiragana(KataToHira(k)));
  }
  EXPECT_EQ(KataToHira(U'ー'), U'ー');
  EXPECT_EQ(KataToHira(U'ｶ'), U'ｶ');
  const std::u32string from = U"ぁぃぅぇぉっゃゅょゎゕゖがぎぐげござじずぜぞだぢづでどばびぶべぼぱぴぷぺぽゔゞあん";
  const std::u32string to = U"あいうえおつやゆよわかけかきくけこさしすせそたちつてとはひふへほはひふへほうゝあん";
  ASSERT_EQ(from.size(), to.size());
  for (size_t k = 0; k < from.size(); ++k) EXPECT_EQ(FoldHiragana(from[k]), to[k]) << k;
  // Folding is idempotent over the whole hiragana block.
  for (char32_t c = 0x3041; c <= 0x309F; ++c) EXPECT_EQ(FoldHiragana(FoldHiragana(c)), FoldHiragana(c));
  EXPECT_EQ(FoldHiragana(U'ガ'), U'ガ');  // only hiragana fold
  for (char32_t c = 'A'; c <= 'Z'; ++c) {
    EXPECT_EQ(ToLower(c), c + 0x20);
    EXPECT_EQ(ToUpper(c + 0x20), c);
    EXPECT_EQ(ToLower(c + 0xFEE0), c + 0xFEE0 + 0x20);
  }
  EXPECT_EQ(ToLower(U'Ω'), U'ω');
  EXPECT_EQ(ToLower(U'Д'), U'д');
  EXPECT_EQ(ToLower(U'@'), U'@');
  EXPECT_EQ(ToLower(U'['), U'[');
}

// The ASCII table: every printable character has a full-width partner and comes back.
TEST(KanaTables, AsciiWidthTable) {
  for (char32_t c = 0x20; c < 0x7F; ++c) {
    char32_t f = AsciiToFull(c);
    EXPECT_GE(f, 0x3000u);
    EXPECT_EQ(FullToAscii(f), c);
  }
  EXPECT_EQ(AsciiToFull(U'-'), U'－');
  EXPECT_EQ(AsciiToFull(U' '), U'\u3000');
  EXPECT_EQ(AsciiToFull(U'\n'), U'\n');
  EXPECT_EQ(FullToAscii(U'＇'), U'\'');
  EXPECT_EQ(FullToAscii(U'あ'), U'あ');
}

TEST(KanaTables, MapTextFlagCombinations) {
  struct Case {
    const char* in;
    unsigned flags;
    const char* out;
  } cases[] = {
      {"ｶﾞｷﾞﾊﾟｳﾞｱﾞﾜﾟ", kMapFullWidth, "ガギパヴア゛ワ゜"},
      {"ﾞｶ", kMapFullWidth, "゛カ"},
      {"abc XYZ-1", kMapFullWidth, "ａｂｃ　ＸＹＺ－１"},
      {"ガパヴー。「」・", kMapHalfWidth, "ｶﾞﾊﾟｳﾞｰ｡｢｣･"},
      {"ＡＢ　１－", kMapHalfWidth, "AB 1-"},
      {"ひらがな", kMapHalfWidth, "ひらがな"},
      {"カタカナヴヵヶ", kMapHiragana, "かたかなゔゕゖ"},
      {"ひらがなゔ", kMapKatakana, "ヒラガナヴ"},
      {"ﾄﾏﾄ", kMapFullWidth | kMapHiragana, "とまと"},
      {"トマトＡ", kMapHiragana | kMapHalfWidth, "とまとA"},
      {"ａＢcＤ", kMapLowerCase, "ａｂcｄ"},
      {"ａＢcＤ", kMapUpperCase, "ＡＢCＤ"},
      {"\xFF\xFEｶ", kMapFullWidth, "\xFF\xFEカ"},
      {"", kMapFullWidth, ""},
  };
  for (auto& c : cases) EXPECT_EQ(MapText(c.in, c.flags), c.out) << c.in << " / " << c.flags;
}
