// Fonts and colours as settings text: comma text, hexadecimal, Qt conversions.
#include <gtest/gtest.h>

#include <QColor>
#include <QFont>
#include <QGuiApplication>
#include <QPalette>
#include <string>
#include <vector>

#include "foundation/comma_text.h"
#include "foundation/font_rec.h"

namespace {

using List = std::vector<std::string>;

TEST(CommaText, SplitsAndJoinsByThePlatformRules) {
  struct {
    const char* text;
    List items;
  } split[] = {
      {"", {}},
      {"a,b,c", {"a", "b", "c"}},
      {"a b,c", {"a", "b", "c"}},  // unquoted blanks separate
      {"\"a b\",c", {"a b", "c"}},
      {"\"say \"\"hi\"\"\",x", {"say \"hi\"", "x"}},
      {",,", {"", "", ""}},
      {"a,", {"a", ""}},
      {"  a , b  ", {"a", "b"}},
      {"\"unterminated", {"unterminated"}},
      {"\"ab\"cd", {"ab", "cd"}},
      {"ＭＳ　ゴシック,1", {"ＭＳ　ゴシック", "1"}},  // ideographic space is not a blank
  };
  for (const auto& c : split) EXPECT_EQ(CommaTextToList(c.text), c.items) << c.text;

  struct {
    List items;
    const char* text;
  } join[] = {
      {{"a", "b"}, "a,b"},
      {{"a b", "c,d", "e\"f", "", "g"}, "\"a b\",\"c,d\",\"e\"\"f\",,g"},
      {{"tab\there"}, "\"tab\there\""},
      {{""}, "\"\""},
  };
  for (const auto& c : join) {
    EXPECT_EQ(ListToCommaText(c.items), c.text);
    EXPECT_EQ(CommaTextToList(c.text), c.items) << c.text;
  }
}

TEST(FontRec, HexToInt) {
  struct {
    const char* text;
    std::uint32_t want;
  } cases[] = {{"", 0},          {"zz", 0},           {"80000008", 0x80000008}, {"1A2b3C", 0x1A2B3C},
               {"ff", 0xFF},     {"12g4", 0x12},      {"0x10", 0},              {"$10", 0},
               {" 10", 0},       {"123456789A", 0x3456789A}, {"FFFFFFFFF", 0xFFFFFFFF}};
  for (const auto& c : cases) EXPECT_EQ(HexToInt(c.text), c.want) << c.text;
  EXPECT_EQ(ColorToHex(0x1A2B3C), "001A2B3C");
  EXPECT_EQ(ColorToHex(clWindowText), "80000008");
}

TEST(FontRec, TextFormBothWays) {
  EXPECT_EQ(StrToFontRec(""), DefaultFontRec());
  EXPECT_EQ(DefaultFontRec().Charset, 128);
  EXPECT_EQ(DefaultFontRec().Height, -12);
  EXPECT_EQ(DefaultFontRec().Size, -9);
  EXPECT_EQ(DefaultFontRec().Color, 0x80000008u);

  TFontRec arial{"Arial", 128, -12, 9, 1, 0x80000008};
  EXPECT_EQ(FontRecToStr(arial), "Arial,128,-12,9,1,80000008");
  EXPECT_EQ(StrToFontRec("Arial,128,-12,9,1,80000008"), arial);

  const std::vector<TFontRec> recs = {
      {"MS Gothic", 128, -12, -9, 0, 0x80000008}, {"ＭＳ ゴシック", 128, -13, 10, 15, 0x00FF00FF},
      {"メイリオ", 1, -16, 0, 2, 0},             {"a,\"b\"", 0, 0, 0, 0, 0xFFFFFFFF},
      {"", 128, -12, -9, 0, 0x80000008},
  };
  for (const TFontRec& r : recs) EXPECT_EQ(StrToFontRec(FontRecToStr(r)), r) << FontRecToStr(r);
  EXPECT_EQ(FontRecToStr(recs[0]), "\"MS Gothic\",128,-12,-9,0,80000008");

  // Extra items are ignored; a bad colour reads as far as it is hexadecimal.
  EXPECT_EQ(StrToFontRec("A,1,2,3,4,zz,extra").Color, 0u);
  EXPECT_EQ(StrToFontRec("A,1,2,3,4,5,extra").Style, 4);

  // Short or non-numeric texts are conversion errors; the tolerant form gives the fallback.
  for (const char* bad : {"Arial", "Arial,128", "Arial,128,-12,-9,0", "Arial,x,-12,-9,0,0", "A,1,2,3,4.5,0",
                          "A,1,2,99999999999,4,0"}) {
    EXPECT_THROW(StrToFontRec(bad), EConvertError) << bad;
    bool ok = true;
    TFontRec fb{"fallback", 1, 2, 3, 4, 5};
    EXPECT_EQ(StrToFontRecDef(bad, fb, &ok), fb) << bad;
    EXPECT_FALSE(ok);
  }
}

TEST(FontRec, QtFontsAndColours) {
  QFont f;
  FontRecToFont(TFontRec{"DejaVu Sans", 128, -16, 0, fsBold | fsUnderline, 0x000000FF}, f);
  EXPECT_EQ(f.family(), "DejaVu Sans");
  EXPECT_EQ(f.pixelSize(), 16);
  EXPECT_TRUE(f.bold());
  EXPECT_FALSE(f.italic());
  EXPECT_TRUE(f.underline());
  EXPECT_FALSE(f.strikeOut());
  EXPECT_EQ(FontStyleToInt(f), fsBold | fsUnderline);

  // A non-zero size overrides the height; an empty name keeps the face.
  QColor c;
  FontRecToFont(TFontRec{"", 128, -16, 11, fsItalic | fsStrikeOut | 64, 0x00336699}, f, &c);
  EXPECT_EQ(f.family(), "DejaVu Sans");
  EXPECT_EQ(f.pointSize(), 11);
  EXPECT_EQ(FontStyleToInt(f), fsItalic | fsStrikeOut);  // unknown bits ignored
  EXPECT_EQ(c, QColor(0x99, 0x66, 0x33));                // stored as 00BBGGRR

  TFontRec back = FontToFontRec(f, c);
  EXPECT_EQ(back.Name, "DejaVu Sans");
  EXPECT_EQ(back.Size, 11);
  EXPECT_EQ(back.Style, fsItalic | fsStrikeOut);
  EXPECT_EQ(back.Color, 0x00336699u);

  // System colours come from the palette, never as black from the low bytes.
  EXPECT_TRUE(ColorToQColor(clWindow).isValid());
  EXPECT_EQ(ColorToQColor(clWindow), QGuiApplication::palette().color(QPalette::Base));
  EXPECT_EQ(ColorToQColor(clWindowText), QGuiApplication::palette().color(QPalette::Text));
}

}  // namespace
