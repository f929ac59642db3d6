#pragma once
// Text exports of a grid model: the clipboard's TAB/CRLF text, CSV and the plain HTML table,
// and the comma reader that reads such CSV back.  Hidden columns (width 0 or less) are left
// out of every export; texts are trimmed of characters of code 32 and below at both ends.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

class TGridModel;

// Largest clipboard text (bytes of UTF-8) that the copy accepts.
inline constexpr size_t kClipboardTextLimit = 2047999999;

std::string_view TrimCell(std::string_view s);

// Clipboard text: rows from 0 (columnName) or 1, columns from startData, hidden ones skipped;
// every cell followed by TAB, every row by CR LF.  Result 1, 2 (no data rows: out untouched)
// or -3 (the text would pass `limit`: out holds the text built before the cell that would
// have passed it).
int BuildClipboardText(const TGridModel& m, bool columnName, int startData, std::string& out,
                       size_t limit = kClipboardTextLimit);

// Text of a rectangle of grid rows and columns (grid coordinates, title row included when
// asked for): each row one line, each cell but the last followed by TAB; hidden columns left
// out except the rectangle's last column, which is always written; lines end with CR LF.
// A single cell gives that cell's text alone.
std::string RangeText(const TGridModel& m, int left, int top, int right, int bottom);

// One CSV field: quoted (inner quotes doubled) when it holds a comma, a double quote, CR or LF.
void AppendCsvField(std::string& out, std::string_view cell);
// The whole grid as CSV (UTF-8): every row from 0, every visible column, fields separated by
// commas, each line ending with "," when endComma and then CR LF.
std::string BuildCsvText(const TGridModel& m, bool endComma);

struct TCsvWriteResult {
  int Code = 0;          // 0 written, -2 a character has no Shift-JIS form, -3 the file cannot be written
  std::string Message;   // what went wrong, for the user
};
// Writes the CSV to `path` (a temporary file first, then replaced): Shift-JIS (CP932) unless
// utf8.  A character that CP932 cannot hold stops the export before anything is replaced.
TCsvWriteResult WriteCsvFile(const TGridModel& m, const std::string& path, bool endComma, bool utf8);

// The HTML table page (UTF-8 with a byte-order mark, CR LF lines); cell texts escaped.
std::string BuildHtmlTable(const TGridModel& m);
// 0 written, -3 the file cannot be written (message in `error`).
int WriteTextFile(const std::string& path, const std::string& bytes, std::string* error);

// The comma reader: fields separated by commas and line breaks; a field that begins with a
// double quote runs to the closing quote (a doubled quote stands for one); characters of code
// 1..31 after a field are skipped; a comma at the end of a line gives one empty field.
std::vector<std::string> ReadCommaFields(std::string_view text);
