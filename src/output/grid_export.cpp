#include "output/grid_export.h"

#include <QFile>
#include <QSaveFile>

#include <algorithm>
#include <cstdio>

#include "output/cp932_codec.h"
#include "output/grid_model.h"

std::string_view TrimCell(std::string_view s) {
  while (!s.empty() && static_cast<unsigned char>(s.front()) <= 32) s.remove_prefix(1);
  while (!s.empty() && static_cast<unsigned char>(s.back()) <= 32) s.remove_suffix(1);
  return s;
}

namespace {

std::vector<int> VisibleColumns(const TGridModel& m, int from) {
  std::vector<int> cols;
  for (int c = std::max(from, 0); c < m.ColCount(); ++c)
    if (m.ColWidth(c) > 0) cols.push_back(c);
  return cols;
}

}  // namespace

int BuildClipboardText(const TGridModel& m, bool columnName, int startData, std::string& out, size_t limit) {
  if (m.RowCount() - m.FixedRows() < 1) return 2;
  out.clear();
  const std::vector<int> cols = VisibleColumns(m, startData);
  for (int r = columnName ? 0 : 1; r < m.RowCount(); ++r) {
    for (int c : cols) {
      std::string_view raw = m.Cell(c, r);
      if (out.size() + raw.size() > limit) return -3;
      out.append(TrimCell(raw));
      out.push_back('\t');
    }
    out.append("\r\n");
  }
  return 1;
}

std::string RangeText(const TGridModel& m, int left, int top, int right, int bottom) {
  left = std::max(left, 0);
  top = std::max(top, 0);
  right = std::min(right, m.ColCount() - 1);
  bottom = std::min(bottom, m.RowCount() - 1);
  if (left > right || top > bottom) return {};
  if (left == right && top == bottom) return std::string(m.Cell(left, top));
  std::string out;
  for (int r = top; r <= bottom; ++r) {
    for (int c = left; c <= right; ++c) {
      if (c < right && m.ColWidth(c) <= 0) continue;
      out.append(m.Cell(c, r));
      if (c < right) out.push_back('\t');
    }
    out.append("\r\n");
  }
  return out;
}

void AppendCsvField(std::string& out, std::string_view cell) {
  if (cell.find_first_of(",\"\r\n") == std::string_view::npos) {
    out.append(cell);
    return;
  }
  out.push_back('"');
  for (char ch : cell) {
    if (ch == '"') out.push_back('"');
    out.push_back(ch);
  }
  out.push_back('"');
}

namespace {

// Builds the CSV line by line; `put` receives each field (with its separator) and each line end.
template <typename Emit>
bool ForEachCsvPiece(const TGridModel& m, bool endComma, Emit&& put) {
  const std::vector<int> cols = VisibleColumns(m, 0);
  std::string field;
  for (int r = 0; r < m.RowCount(); ++r) {
    for (size_t i = 0; i < cols.size(); ++i) {
      field.clear();
      AppendCsvField(field, TrimCell(m.Cell(cols[i], r)));
      // Every cell but one of the grid's last column is followed by a comma, so a line whose
      // last columns are hidden ends with one.
      if (cols[i] + 1 < m.ColCount()) field.push_back(',');
      if (!put(field, r, cols[i])) return false;
    }
    if (!put(endComma ? ",\r\n" : "\r\n", r, -1)) return false;
  }
  return true;
}

}  // namespace

std::string BuildCsvText(const TGridModel& m, bool endComma) {
  std::string out;
  ForEachCsvPiece(m, endComma, [&](std::string_view piece, int, int) {
    out.append(piece);
    return true;
  });
  return out;
}

int WriteTextFile(const std::string& path, const std::string& bytes, std::string* error) {
  QSaveFile f(QString::fromStdString(path));
  if (!f.open(QIODevice::WriteOnly) || f.write(bytes.data(), static_cast<qint64>(bytes.size())) != static_cast<qint64>(bytes.size()) ||
      !f.commit()) {
    if (error) *error = f.errorString().toStdString();
    return -3;
  }
  return 0;
}

TCsvWriteResult WriteCsvFile(const TGridModel& m, const std::string& path, bool endComma, bool utf8) {
  TCsvWriteResult res;
  std::string bytes;
  bool ok = ForEachCsvPiece(m, endComma, [&](std::string_view piece, int row, int col) {
    if (utf8) {
      bytes.append(piece);
      return true;
    }
    TCp932Result cr = Utf8ToCp932(piece, bytes);
    if (cr.Ok) return true;
    char code[16];
    std::snprintf(code, sizeof code, "U+%04X", static_cast<unsigned>(cr.BadChar));
    const char* at = piece.data() + cr.BadOffset;
    const char* p = at;
    NextUtf8(p, piece.data() + piece.size());
    res.Code = -2;
    res.Message = "Shift-JIS で保存できない文字があるため、CSVファイルを保存できませんでした。\r\n" +
                  std::to_string(row + 1) + " 行目 " + std::to_string(col + 1) + " 列目の「" +
                  std::string(at, p - at) + "」(" + code + ")";
    return false;
  });
  if (!ok) return res;
  std::string err;
  if (WriteTextFile(path, bytes, &err) != 0) {
    res.Code = -3;
    res.Message = "CSVファイルを保存できませんでした。\r\n" + path + "\r\n" + err;
  }
  return res;
}

namespace {

void AppendHtmlEscaped(std::string& out, std::string_view s) {
  for (char ch : s) {
    switch (ch) {
      case '&': out.append("&amp;"); break;
      case '<': out.append("&lt;"); break;
      case '>': out.append("&gt;"); break;
      case '"': out.append("&quot;"); break;
      default: out.push_back(ch);
    }
  }
}

}  // namespace

std::string BuildHtmlTable(const TGridModel& m) {
  std::string out = "\xEF\xBB\xBF";
  auto line = [&](std::string_view s) {
    out.append(s);
    out.append("\r\n");
  };
  line("<html>");
  line("<link rel=\"stylesheet\" href=\"actable.css\" type=\"text/css\" >");
  line("<head></head>");
  line("<body>");
  line("<table border=\"1\" style=\"border-collapse: collapse;\">");
  const std::vector<int> cols = VisibleColumns(m, 0);
  for (int r = 0; r < m.RowCount(); ++r) {
    const bool fixed = r < m.FixedRows();
    line(fixed ? "<tr class=\"header\">" : (r % 2 == 0 ? "<tr class=\"even\">" : "<tr class=\"odd\">"));
    for (int c : cols) {
      out.append(fixed ? "\t<th>" : "\t<td>");
      AppendHtmlEscaped(out, TrimCell(m.Cell(c, r)));
      out.append(fixed ? "</th>\r\n" : "</td>\r\n");
    }
    line("</tr>");
  }
  line("</table>");
  line("</body>");
  line("</html>");
  return out;
}

std::vector<std::string> ReadCommaFields(std::string_view text) {
  std::vector<std::string> fields;
  size_t i = 0;
  const size_t n = text.size();
  auto code = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
  while (i < n && code(i) >= 1 && code(i) <= 32) ++i;
  while (i < n) {
    std::string f;
    if (text[i] == '"') {
      ++i;
      while (i < n) {
        if (text[i] == '"') {
          if (i + 1 < n && text[i + 1] == '"') {
            f.push_back('"');
            i += 2;
            continue;
          }
          ++i;
          break;
        }
        f.push_back(text[i++]);
      }
      // Anything up to the next separator belongs to the field as it stands.
      while (i < n && text[i] != ',' && code(i) >= 32) f.push_back(text[i++]);
    } else {
      while (i < n && text[i] != ',' && code(i) >= 32) f.push_back(text[i++]);
    }
    fields.push_back(std::move(f));
    while (i < n && code(i) >= 1 && code(i) <= 31) ++i;
    if (i < n && text[i] == ',') {
      ++i;
      while (i < n && code(i) >= 1 && code(i) <= 31) {
        if (text[i] == '\n') fields.emplace_back();
        ++i;
      }
      if (i >= n) fields.emplace_back();
    }
  }
  return fields;
}
