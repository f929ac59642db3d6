#include "output/xlsx_export.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <map>
#include <tuple>
#include <vector>

#include "output/grid_export.h"
#include "output/grid_model.h"

#ifdef QM_HAVE_XLSXWRITER
#include <xlsxwriter.h>
#endif

namespace {

// Decodes one UTF-8 sequence at s[i]; advances i.  Invalid bytes count as one character.
char32_t NextCodePoint(std::string_view s, size_t& i) {
  const auto b = static_cast<unsigned char>(s[i]);
  int len = b < 0x80 ? 1 : (b >> 5) == 6 ? 2 : (b >> 4) == 14 ? 3 : (b >> 3) == 30 ? 4 : 1;
  if (i + static_cast<size_t>(len) > s.size()) len = 1;
  char32_t cp = len == 1 ? b : len == 2 ? (b & 0x1F) : len == 3 ? (b & 0x0F) : (b & 0x07);
  for (int k = 1; k < len; ++k) cp = (cp << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F);
  i += static_cast<size_t>(len);
  return cp;
}

bool IsWide(char32_t c) {
  return (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0xA4CF && c != 0x303F) ||
         (c >= 0xAC00 && c <= 0xD7A3) || (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFE30 && c <= 0xFE4F) ||
         (c >= 0xFF00 && c <= 0xFF60) || (c >= 0xFFE0 && c <= 0xFFE6) || (c >= 0x20000 && c <= 0x3FFFD);
}

// Colour value of the grid (red in the low byte) as 0xRRGGBB; false for "no colour" and the
// system colours (high byte set).
bool GridColorToRgb(unsigned c, unsigned& rgb) {
  if (c & 0xFF000000u) return false;
  rgb = ((c & 0xFFu) << 16) | (c & 0xFF00u) | ((c >> 16) & 0xFFu);
  return true;
}

std::vector<int> WrittenColumns(const TGridModel& m, int startData) {
  std::vector<int> cols;
  for (int c = std::max(startData, 0); c < m.ColCount(); ++c)
    if (m.ColWidth(c) > 0) cols.push_back(c);
  return cols;
}

const char* kOverLimitMessage = "コピーする領域がシステムの許容範囲を越えたので、\r\nコピーを中断します。";

}  // namespace

TXlsxSheetSpec SheetSpecOf(const TXlsStringGrid& g, TSpreadSheetKind kind) {
  TXlsxSheetSpec s;
  s.ColumnName = g.ColumnName;
  s.StartData = g.StartData;
  s.StartRow = g.StartRow();
  s.StartCol = g.StartCol();
  const bool full = kind != sskKingsoft;
  s.AutoFit = full || g.AutoFit;
  s.SheetName = g.SheetName;
  const QFont& f = g.CellFont;
  s.FontName = f.family().toStdString();
  s.FontSize = f.pointSizeF() > 0 ? f.pointSizeF() : f.pixelSize() > 0 ? f.pixelSize() * 0.75 : 11.0;
  s.Bold = f.bold();
  s.Italic = f.italic();
  s.Underline = f.underline();
  s.StrikeOut = f.strikeOut();
  s.FontColor = g.CellFontColor;
  s.CellColor = g.CellColor;
  s.CellTitleColor = g.CellTitleColor;
  s.BorderWeight = g.CellBorderWeight;
  s.BorderColor = g.CellBorderColor;
  s.SetOrientation = full;
  s.Orientation = g.PageOrientation;
  if (full) {
    s.FreezePanesRow = g.FreezePanesRow;
    s.FreezePanesCol = g.FreezePanesCol;
    s.VerticalRangeRow = g.VerticalRangeRow;
    s.VerticalRangeCol = g.VerticalRangeCol;
    s.VerticalRangeRowCount = g.VerticalRangeRowCount;
    s.VerticalRangeColCount = g.VerticalRangeColCount;
  }
  return s;
}

int XlsxRowsWritten(const TGridModel& m, const TXlsxSheetSpec& spec) {
  return std::max(0, m.RowCount() - (spec.ColumnName ? 0 : 1));
}

int XlsxColsWritten(const TGridModel& m, const TXlsxSheetSpec& spec) {
  return static_cast<int>(WrittenColumns(m, spec.StartData).size());
}

bool XlsxBlockFits(const TGridModel& m, const TXlsxSheetSpec& spec) {
  const long long lastRow = static_cast<long long>(spec.StartRow) - 1 + XlsxRowsWritten(m, spec);
  const long long lastCol = static_cast<long long>(spec.StartCol) - 1 + XlsxColsWritten(m, spec);
  return spec.StartRow >= 1 && spec.StartCol >= 1 && lastRow <= kXlsxMaxRows && lastCol <= kXlsxMaxCols;
}

std::string CleanSheetName(std::string_view name, int reserve) {
  std::u32string cps;
  for (size_t i = 0; i < name.size();) {
    char32_t c = NextCodePoint(name, i);
    if (c < 0x20 || c == 0x7F) continue;
    if (c == '[' || c == ']' || c == ':' || c == '*' || c == '?' || c == '/' || c == '\\') c = '_';
    cps.push_back(c);
  }
  while (!cps.empty() && cps.front() == '\'') cps.erase(cps.begin());
  const size_t limit = static_cast<size_t>(std::max(1, 31 - reserve));
  if (cps.size() > limit) cps.resize(limit);
  while (!cps.empty() && cps.back() == '\'') cps.pop_back();
  if (cps.empty()) return "Sheet1";
  std::string out;
  for (char32_t c : cps) {
    if (c < 0x80) {
      out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (c >> 6)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (c >> 12)));
      out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (c >> 18)));
      out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
  }
  return out;
}

bool XlsxNumber(std::string_view t, double& value, int& decimals) {
  size_t i = 0;
  const bool negative = !t.empty() && t[0] == '-';
  if (negative) i = 1;
  const size_t intStart = i;
  while (i < t.size() && t[i] >= '0' && t[i] <= '9') ++i;
  const size_t intLen = i - intStart;
  if (intLen == 0 || (intLen > 1 && t[intStart] == '0')) return false;
  size_t fracLen = 0;
  if (i < t.size() && t[i] == '.') {
    const size_t fracStart = ++i;
    while (i < t.size() && t[i] >= '0' && t[i] <= '9') ++i;
    fracLen = i - fracStart;
    if (fracLen == 0) return false;
  }
  if (i != t.size()) return false;
  // Significant digits: leading zeros of "0.00x" do not count.
  size_t sig = intLen + fracLen;
  if (t[intStart] == '0') {
    sig = fracLen;
    for (size_t k = intStart + 2; k < t.size() && t[k] == '0'; ++k) --sig;
  }
  if (sig > 15) return false;
  const std::string s(t);
  value = std::strtod(s.c_str(), nullptr);
  if (negative && value == 0) return false;  // "-0" is not how a number is shown
  decimals = static_cast<int>(fracLen);
  return true;
}

double XlsxTextWidth(std::string_view text) {
  double best = 0, line = 0;
  for (size_t i = 0; i < text.size();) {
    const char32_t c = NextCodePoint(text, i);
    if (c == '\n' || c == '\r') {
      best = std::max(best, line);
      line = 0;
      continue;
    }
    line += IsWide(c) ? 2 : 1;
  }
  return std::max(best, line);
}

#ifdef QM_HAVE_XLSXWRITER

namespace {

class TSheetWriter {
 public:
  TSheetWriter(const TGridModel& m, const TXlsxSheetSpec& spec) : m_(m), spec_(spec) {}

  TXlsxResult Write(const std::string& path, const std::function<void()>& breathe);

 private:
  enum TRole { roOutside = 0, roData = 1, roTitle = 2 };
  lxw_format* Format(TRole role, bool vertical, int decimals);
  lxw_format* FontFormat() { return Format(roOutside, false, -1); }

  const TGridModel& m_;
  const TXlsxSheetSpec& spec_;
  lxw_workbook* wb_ = nullptr;
  std::map<std::tuple<int, bool, int>, lxw_format*> formats_;
};

lxw_format* TSheetWriter::Format(TRole role, bool vertical, int decimals) {
  // One format object per distinct look: the library hashes a format again on every use when
  // an identical one was registered before it.
  unsigned rgb = 0;
  if (role == roTitle && !(spec_.ColumnName && GridColorToRgb(spec_.CellTitleColor, rgb))) role = roData;
  if (role == roData && spec_.BorderWeight == bwNone && !GridColorToRgb(spec_.CellColor, rgb)) role = roOutside;
  auto key = std::make_tuple(static_cast<int>(role), vertical, decimals);
  if (auto it = formats_.find(key); it != formats_.end()) return it->second;
  lxw_format* f = workbook_add_format(wb_);
  if (!spec_.FontName.empty()) format_set_font_name(f, spec_.FontName.c_str());
  format_set_font_size(f, spec_.FontSize);
  if (spec_.Bold) format_set_bold(f);
  if (spec_.Italic) format_set_italic(f);
  if (spec_.Underline) format_set_underline(f, LXW_UNDERLINE_SINGLE);
  if (spec_.StrikeOut) format_set_font_strikeout(f);
  if (GridColorToRgb(spec_.FontColor, rgb) && rgb != 0) format_set_font_color(f, rgb);
  if (role != roOutside) {
    uint8_t border = LXW_BORDER_NONE;
    switch (spec_.BorderWeight) {
      case bwHairline: border = LXW_BORDER_HAIR; break;
      case bwThin: border = LXW_BORDER_THIN; break;
      case bwMedium: border = LXW_BORDER_MEDIUM; break;
      case bwThick: border = LXW_BORDER_THICK; break;
      case bwNone: break;
    }
    if (border != LXW_BORDER_NONE) {
      format_set_border(f, border);
      unsigned bc = 0;
      if (GridColorToRgb(spec_.BorderColor, bc)) format_set_border_color(f, bc == 0 ? static_cast<unsigned>(LXW_COLOR_BLACK) : bc);
    }
    unsigned fill = 0;
    bool hasFill = GridColorToRgb(spec_.CellColor, fill);
    if (role == roTitle && spec_.ColumnName) {
      unsigned title = 0;
      if (GridColorToRgb(spec_.CellTitleColor, title)) {
        fill = title;
        hasFill = true;
      }
    }
    if (hasFill) {
      format_set_pattern(f, LXW_PATTERN_SOLID);
      format_set_bg_color(f, fill == 0 ? static_cast<unsigned>(LXW_COLOR_BLACK) : fill);
    }
  }
  if (vertical) {
    format_set_align(f, LXW_ALIGN_VERTICAL_TOP);
    format_set_rotation(f, 270);  // stacked: one character under the other
  }
  if (decimals >= 0) format_set_num_format(f, decimals == 0 ? "0" : ("0." + std::string(decimals, '0')).c_str());
  formats_.emplace(key, f);
  return f;
}

TXlsxResult TSheetWriter::Write(const std::string& path, const std::function<void()>& breathe) {
  const std::vector<int> cols = WrittenColumns(m_, spec_.StartData);
  const int firstGridRow = spec_.ColumnName ? 0 : 1;
  const int nRows = XlsxRowsWritten(m_, spec_);
  const int nCols = static_cast<int>(cols.size());
  if (!XlsxBlockFits(m_, spec_)) return {-3, kOverLimitMessage};

  // Temporary files of the constant-memory mode go beside the workbook.
  std::string tmpdir = QFileInfo(QString::fromStdString(path)).absolutePath().toStdString();
  lxw_workbook_options opt{};
  opt.constant_memory = LXW_TRUE;
  opt.tmpdir = tmpdir.data();
  opt.use_zip64 = static_cast<long long>(nRows) * nCols > 20000000 ? LXW_TRUE : LXW_FALSE;
  wb_ = workbook_new_opt(path.c_str(), &opt);
  if (!wb_) return {-2, "ファイルを作成できません: " + path};
  const bool named = !spec_.SheetName.empty();
  const std::string sheetName = named ? CleanSheetName(spec_.SheetName) : std::string();
  lxw_worksheet* ws = workbook_add_worksheet(wb_, named ? sheetName.c_str() : nullptr);
  TXlsxResult result;
  if (!ws) {
    workbook_close(wb_);
    QFile::remove(QString::fromStdString(path));
    return {-2, "シート名を設定できません: " + sheetName};
  }

  // Block (0-based sheet cells) and the vertical range.
  const int top = spec_.StartRow - 1, left = spec_.StartCol - 1;
  const int bottom = top + nRows - 1, right = left + nCols - 1;
  const bool hasVertical = spec_.VerticalRangeRow > 0 || spec_.VerticalRangeCol > 0;
  const int vTop = std::max(spec_.VerticalRangeRow, 1) - 1, vLeft = std::max(spec_.VerticalRangeCol, 1) - 1;
  const int vBottom = std::min(vTop + std::max(spec_.VerticalRangeRowCount, 0), kXlsxMaxRows - 1);
  const int vRight = std::min(vLeft + std::max(spec_.VerticalRangeColCount, 0), kXlsxMaxCols - 1);
  auto inVertical = [&](int r, int c) { return hasVertical && r >= vTop && r <= vBottom && c >= vLeft && c <= vRight; };
  // Empty cells of the block are written only when they carry a border or a fill.
  unsigned dummy = 0;
  const bool blockStyled = spec_.BorderWeight != bwNone || GridColorToRgb(spec_.CellColor, dummy) ||
                           (spec_.ColumnName && GridColorToRgb(spec_.CellTitleColor, dummy));

  std::vector<double> widths(static_cast<size_t>(nCols), 0.0);
  const int firstRow = std::min(top, hasVertical ? vTop : top);
  const int lastRow = std::max(bottom, hasVertical ? vBottom : bottom);
  auto last = std::chrono::steady_clock::now();
  for (int r = firstRow; r <= lastRow && result.Code == 1; ++r) {
    const bool blockRow = r >= top && r <= bottom;
    if (!blockRow && !(hasVertical && r >= vTop && r <= vBottom)) continue;
    if (breathe && (r & 63) == 0) {
      const auto now = std::chrono::steady_clock::now();
      if (now - last >= std::chrono::milliseconds(50)) {
        breathe();
        last = now;
      }
    }
    // Vertical cells left of the block.
    if (hasVertical && r >= vTop && r <= vBottom) {
      for (int c = vLeft; c <= vRight; ++c)
        if (!blockRow || c < left || c > right) worksheet_write_blank(ws, r, c, Format(roOutside, true, -1));
    }
    if (!blockRow) continue;
    const int gridRow = firstGridRow + (r - top);
    const bool title = spec_.ColumnName && gridRow == 0;
    const TRole role = title ? roTitle : roData;
    for (int k = 0; k < nCols; ++k) {
      const int c = left + k;
      const std::string_view text = TrimCell(m_.Cell(cols[static_cast<size_t>(k)], gridRow));
      const bool vertical = inVertical(r, c);
      lxw_error err = LXW_NO_ERROR;
      if (text.empty()) {
        if (blockStyled || vertical) err = worksheet_write_blank(ws, r, c, Format(role, vertical, -1));
        continue;
      }
      double value = 0;
      int decimals = 0;
      if (!title && XlsxNumber(text, value, decimals)) {
        err = worksheet_write_number(ws, r, c, value, Format(role, vertical, decimals));
      } else {
        const std::string s(text);
        err = worksheet_write_string(ws, r, c, s.c_str(), Format(role, vertical, -1));
      }
      if (err == LXW_ERROR_MAX_STRING_LENGTH_EXCEEDED) {
        result = {-3, kOverLimitMessage};
        break;
      }
      if (err != LXW_NO_ERROR) {
        result = {-2, lxw_strerror(err)};
        break;
      }
      if (spec_.AutoFit && !vertical) widths[static_cast<size_t>(k)] = std::max(widths[static_cast<size_t>(k)], XlsxTextWidth(text));
    }
  }

  if (result.Code == 1) {
    // Column widths; the block's columns carry the cell font for what is typed into them later.
    const double scale = spec_.FontSize > 0 ? spec_.FontSize / 11.0 : 1.0;
    for (int k = 0; k < nCols; ++k) {
      double w = LXW_DEF_COL_WIDTH;
      if (spec_.AutoFit) w = std::min(255.0, std::max(2.0, widths[static_cast<size_t>(k)] * scale + 1.5));
      worksheet_set_column(ws, static_cast<lxw_col_t>(left + k), static_cast<lxw_col_t>(left + k), w, FontFormat());
    }
    if (named) worksheet_set_header(ws, "&C&A");
    if (spec_.FreezePanesRow > 0 || spec_.FreezePanesCol > 0)
      worksheet_freeze_panes(ws, static_cast<lxw_row_t>(std::max(spec_.FreezePanesRow - 1, 0)),
                             static_cast<lxw_col_t>(std::max(spec_.FreezePanesCol - 1, 0)));
    if (spec_.SetOrientation) {
      if (spec_.Orientation == xlLandscape) worksheet_set_landscape(ws);
      else worksheet_set_portrait(ws);
    }
    worksheet_set_selection(ws, static_cast<lxw_row_t>(top), static_cast<lxw_col_t>(left), static_cast<lxw_row_t>(top),
                            static_cast<lxw_col_t>(left));
  }
  const lxw_error closed = workbook_close(wb_);
  wb_ = nullptr;
  if (result.Code == 1 && closed != LXW_NO_ERROR) result = {-2, lxw_strerror(closed)};
  if (result.Code != 1) QFile::remove(QString::fromStdString(path));
  return result;
}

}  // namespace

TXlsxResult WriteGridXlsx(const TGridModel& m, const TXlsxSheetSpec& spec, const std::string& path,
                          const std::function<void()>& breathe) {
  TSheetWriter w(m, spec);
  return w.Write(path, breathe);
}

#else

TXlsxResult WriteGridXlsx(const TGridModel&, const TXlsxSheetSpec&, const std::string&, const std::function<void()>&) {
  return {-2, "この版には .xlsx の書き出しがありません。"};
}

#endif
