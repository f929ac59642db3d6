#pragma once
// A result grid written as an .xlsx workbook of one sheet, formatted as the spreadsheet exports
// promise: the grid's text block at StartRow/StartCol with borders, fill and title fill over
// exactly the cells written, the cell font, the sheet name with "&A" as page header, fitted
// column widths, frozen panes, a range of vertical text, page orientation and the cell
// selected at the block's start.  Written in libxlsxwriter's constant-memory mode (rows go
// to the file as they are written), so the memory used does not grow with the grid.
//
// Texts that read as plain decimal numbers become numbers shown with the grid's digits
// ("0.50" stays 0.50); every other text, leading zeros and exponents included, stays a string.
#include <functional>
#include <string>
#include <string_view>

#include "output/xls_string_grid.h"

class TGridModel;

// Largest sheet of the format.
inline constexpr int kXlsxMaxRows = 1048576;
inline constexpr int kXlsxMaxCols = 16384;
inline constexpr int kXlsxMaxCellChars = 32767;

// Everything the sheet takes from the grid's export properties.
struct TXlsxSheetSpec {
  bool ColumnName = true;  // row 0 (the titles) is written
  int StartData = 0;       // first grid column written
  int StartRow = 1, StartCol = 1;  // 1-based sheet cell of the block's top left corner
  bool AutoFit = true;     // fit the column widths to the texts
  std::string SheetName;   // empty: the sheet keeps its default name and has no page header
  std::string FontName;
  double FontSize = 11;    // points
  bool Bold = false, Italic = false, Underline = false, StrikeOut = false;
  unsigned FontColor = 0;  // grid colour value (red in the low byte)
  unsigned CellColor = clNoneColor;
  unsigned CellTitleColor = clNoneColor;
  TCellBorderWeight BorderWeight = bwNone;
  unsigned BorderColor = 0;
  TPageOrientation Orientation = xlPortrait;
  bool SetOrientation = true;
  int FreezePanesRow = 0, FreezePanesCol = 0;  // 1-based first scrolling cell; 0, 0: none
  // 1-based top left cell and the extra rows and columns of a range of vertical text; a row
  // and column of 0 mean none.
  int VerticalRangeRow = 0, VerticalRangeCol = 0, VerticalRangeRowCount = 0, VerticalRangeColCount = 0;
};

// The spec of a grid's current properties for one target: the Excel and JustCalc routes always
// fit the columns and set panes, vertical text and orientation; the Kingsoft route fits only
// when the grid asks for it and sets none of the three.
TXlsxSheetSpec SheetSpecOf(const TXlsStringGrid& grid, TSpreadSheetKind kind);

struct TXlsxResult {
  int Code = 1;          // 1 written, -2 the file could not be written, -3 past the format's limits
  std::string Message;   // why, for the user (empty on success)
};

// Grid rows and columns that go to the sheet (rows from 0 with the titles, else from 1; the
// visible columns from StartData), and whether they fit the format at the spec's start cell.
int XlsxRowsWritten(const TGridModel& m, const TXlsxSheetSpec& spec);
int XlsxColsWritten(const TGridModel& m, const TXlsxSheetSpec& spec);
bool XlsxBlockFits(const TGridModel& m, const TXlsxSheetSpec& spec);

// Writes the workbook to `path` (replaced when it exists).  `breathe`, when set, runs about
// every 50 ms while the rows are written.  On failure no file is left at `path`.
TXlsxResult WriteGridXlsx(const TGridModel& m, const TXlsxSheetSpec& spec, const std::string& path,
                          const std::function<void()>& breathe = nullptr);

// A sheet name the format accepts: the characters []:*?/\ become "_", control characters go,
// apostrophes at either end go, at most 31 characters (fewer when `reserve` characters must
// stay free for a suffix); "Sheet1" when nothing is left.
std::string CleanSheetName(std::string_view name, int reserve = 0);

// A cell text that is a plain decimal number ("12", "-3.50"; no sign "+", no leading zeros, no
// exponent, at most 15 significant digits): its value and its number of decimals.
bool XlsxNumber(std::string_view text, double& value, int& decimals);

// Width of a text in the sheet's character units: the longest line, East Asian wide
// characters counting two.
double XlsxTextWidth(std::string_view text);
