#include "foundation/font_rec.h"

#include <QColor>
#include <QFont>
#include <QGuiApplication>
#include <QPalette>
#include <cstdio>

#include "foundation/comma_text.h"
#include "foundation/ini_file.h"

TFontRec DefaultFontRec() {
  TFontRec r;
  r.Name.clear();
  r.Charset = 128;
  r.Height = -12;
  r.Size = -9;
  r.Style = 0;
  r.Color = clWindowText;
  return r;
}

std::uint32_t HexToInt(const std::string& text) {
  std::uint32_t v = 0;
  for (unsigned char c : text) {
    int d;
    if (c >= '0' && c <= '9') d = c - '0';
    else if (c >= 'A' && c <= 'F') d = c - 'A' + 10;
    else if (c >= 'a' && c <= 'f') d = c - 'a' + 10;
    else break;
    v = (v << 4) | static_cast<std::uint32_t>(d);  // wraps: the low 32 bits stay
  }
  return v;
}

std::string ColorToHex(TColor color) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%08X", static_cast<unsigned>(color));
  return buf;
}

TFontRec StrToFontRec(const std::string& text) {
  TFontRec r = DefaultFontRec();
  if (text.empty()) return r;
  const std::vector<std::string> items = CommaTextToList(text);
  if (items.size() < 6)
    throw EConvertError("フォント設定の項目が足りません (" + std::to_string(items.size()) + "/6): " + text);
  auto num = [&](size_t i) {
    int v;
    if (!IniStrToInt(items[i], v)) throw EConvertError("'" + items[i] + "' は整数ではありません");
    return v;
  };
  r.Name = items[0];
  r.Charset = num(1);
  r.Height = num(2);
  r.Size = num(3);
  r.Style = num(4);
  r.Color = HexToInt(items[5]);
  return r;
}

TFontRec StrToFontRecDef(const std::string& text, const TFontRec& fallback, bool* ok) {
  try {
    TFontRec r = StrToFontRec(text);
    if (ok) *ok = true;
    return r;
  } catch (const EConvertError&) {
    if (ok) *ok = false;
    return fallback;
  }
}

std::string FontRecToStr(const TFontRec& rec) {
  return ListToCommaText({rec.Name, std::to_string(rec.Charset), std::to_string(rec.Height),
                          std::to_string(rec.Size), std::to_string(rec.Style), ColorToHex(rec.Color)});
}

void IntToFontStyle(int bits, QFont& font) {
  font.setBold(bits & fsBold);
  font.setItalic(bits & fsItalic);
  font.setUnderline(bits & fsUnderline);
  font.setStrikeOut(bits & fsStrikeOut);
}

int FontStyleToInt(const QFont& font) {
  int bits = 0;
  if (font.bold()) bits |= fsBold;
  if (font.italic()) bits |= fsItalic;
  if (font.underline()) bits |= fsUnderline;
  if (font.strikeOut()) bits |= fsStrikeOut;
  return bits;
}

TFontRec FontToFontRec(const QFont& font, const QColor& color) {
  TFontRec r;
  r.Name = font.family().toStdString();
  r.Charset = 128;
  if (font.pixelSize() > 0) {
    r.Height = -font.pixelSize();
    r.Size = 0;
  } else {
    const double pt = font.pointSizeF() > 0 ? font.pointSizeF() : 9.0;
    r.Size = static_cast<int>(pt + 0.5);
    r.Height = -static_cast<int>(pt * 96.0 / 72.0 + 0.5);
  }
  r.Style = FontStyleToInt(font);
  r.Color = QColorToColor(color);
  return r;
}

void FontRecToFont(const TFontRec& rec, QFont& font, QColor* color) {
  if (!rec.Name.empty()) font.setFamily(QString::fromStdString(rec.Name));
  // A negative height is the character height in pixels, a positive one the cell height.
  if (rec.Height != 0) font.setPixelSize(rec.Height < 0 ? -rec.Height : rec.Height);
  if (rec.Size != 0) font.setPointSize(rec.Size < 0 ? -rec.Size : rec.Size);
  IntToFontStyle(rec.Style, font);
  if (color) *color = ColorToQColor(rec.Color);
}

QColor ColorToQColor(TColor color) {
  if ((color & 0xFF000000u) == 0x80000000u) {
    const QPalette pal = qobject_cast<QGuiApplication*>(QCoreApplication::instance())
                             ? QGuiApplication::palette()
                             : QPalette();
    switch (color & 0xFFu) {
      case 0: case 15: return pal.color(QPalette::Button);          // scroll bar, button face
      case 1: case 2: case 3: case 4: case 12: case 30:
        return pal.color(QPalette::Window);                          // desktop, captions, menu
      case 5: return pal.color(QPalette::Base);                      // window
      case 6: case 21: return pal.color(QPalette::Shadow);           // frame, dark shadow
      case 7: case 9: case 19: return pal.color(QPalette::WindowText);
      case 8: return pal.color(QPalette::Text);                      // window text
      case 10: case 11: case 16: return pal.color(QPalette::Mid);    // borders, button shadow
      case 13: case 29: return pal.color(QPalette::Highlight);
      case 14: return pal.color(QPalette::HighlightedText);
      case 17: return pal.color(QPalette::Disabled, QPalette::Text);  // gray text
      case 18: return pal.color(QPalette::ButtonText);
      case 20: return pal.color(QPalette::Light);
      case 22: return pal.color(QPalette::Midlight);
      case 23: return pal.color(QPalette::ToolTipText);
      case 24: return pal.color(QPalette::ToolTipBase);
      case 26: return pal.color(QPalette::Link);
      default: return pal.color(QPalette::Window);
    }
  }
  return QColor(static_cast<int>(color & 0xFF), static_cast<int>((color >> 8) & 0xFF),
                static_cast<int>((color >> 16) & 0xFF));
}

TColor QColorToColor(const QColor& color) {
  return static_cast<TColor>(color.red()) | (static_cast<TColor>(color.green()) << 8) |
         (static_cast<TColor>(color.blue()) << 16);
}
