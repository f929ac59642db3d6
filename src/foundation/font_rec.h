#pragma once
// A font as a settings value, colours in the settings file's form and hexadecimal reading.
//
// Text form of a font: the comma text of name, character set, height, size, style bits
// (1 bold, 2 italic, 4 underline, 8 strike-out) and colour as eight hexadecimal digits, for
// example  Arial,128,-12,9,1,80000008  or  "MS Gothic",128,-12,-9,0,80000008 .
#include <cstdint>
#include <stdexcept>
#include <string>

class QColor;
class QFont;

// Colour as the settings file stores it: 0x00BBGGRR for an RGB value, or 0x800000nn for the
// system colour number nn (5 window background, 8 window text, 15 button face ...).
using TColor = std::uint32_t;

constexpr TColor clWindow = 0x80000005;
constexpr TColor clWindowText = 0x80000008;
constexpr TColor clBtnFace = 0x8000000F;

// Bad text where a number or a complete font is expected.
class EConvertError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
  static const char* ClassName() { return "EConvertError"; }
};

enum TFontStyleBits : int { fsBold = 1, fsItalic = 2, fsUnderline = 4, fsStrikeOut = 8 };

struct TFontRec {
  std::string Name;  // empty: the target font keeps its face
  int Charset = 0;
  int Height = 0;
  int Size = 0;
  int Style = 0;  // TFontStyleBits
  TColor Color = 0;

  bool operator==(const TFontRec&) const = default;
};

// The record an empty settings text gives: "", 128, -12, -9, 0, clWindowText.
TFontRec DefaultFontRec();

// Reads hexadecimal digits from the first character up to the first other character; an
// empty text or one that begins with another character gives 0; no prefix is accepted; more
// than eight digits keep the low 32 bits.
std::uint32_t HexToInt(const std::string& text);
// Eight upper-case hexadecimal digits.
std::string ColorToHex(TColor color);

// Empty text: DefaultFontRec(). Otherwise the six comma-text items in order; fewer than six
// items or a non-numeric Charset/Height/Size/Style throw EConvertError.
TFontRec StrToFontRec(const std::string& text);
// Same, but bad text gives `fallback` instead of throwing; `ok` (optional) tells which.
TFontRec StrToFontRecDef(const std::string& text, const TFontRec& fallback, bool* ok = nullptr);
std::string FontRecToStr(const TFontRec& rec);

// Style bits to and from QFont (other bits are ignored).
void IntToFontStyle(int bits, QFont& font);
int FontStyleToInt(const QFont& font);

// A record from a font and its colour.
TFontRec FontToFontRec(const QFont& font, const QColor& color);
// Applies a record: name (an empty name changes nothing), height (pixels), size only when it
// is not 0 (a non-zero size overrides the height), style bits; the colour goes to `color`
// when given. The character set has no meaning for Qt and is only kept in the record.
void FontRecToFont(const TFontRec& rec, QFont& font, QColor* color = nullptr);

// A stored colour as a QColor: RGB values directly, system colours through the application
// palette (window, window text, button face, highlight ...).
QColor ColorToQColor(TColor color);
// RGB of a QColor in the stored 00BBGGRR form.
TColor QColorToColor(const QColor& color);
