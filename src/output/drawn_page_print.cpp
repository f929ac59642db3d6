#include "output/drawn_page_print.h"

#include <QFont>
#include <QFontMetricsF>
#include <QPainter>
#include <QPrinter>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

// ---- reading the markup ------------------------------------------------------------------------

// The text of a character reference ("amp", "#12354", "#x3042"), empty when unknown.
QString Entity(std::string_view name) {
  if (name == "amp") return "&";
  if (name == "lt") return "<";
  if (name == "gt") return ">";
  if (name == "quot") return "\"";
  if (name == "apos") return "'";
  if (name == "nbsp") return QString(QChar(0xA0));
  if (name.size() > 1 && name[0] == '#') {
    bool ok = false;
    const QString digits = QString::fromUtf8(name.data() + 1, qsizetype(name.size() - 1));
    const uint code = digits.startsWith('x', Qt::CaseInsensitive) ? digits.mid(1).toUInt(&ok, 16) : digits.toUInt(&ok);
    if (ok && code > 0 && code <= 0x10FFFF) {
      const char32_t c = code;
      return QString::fromUcs4(&c, 1);
    }
  }
  return {};
}

// Text between tags, with its character references resolved.
void AppendText(QString& out, std::string_view text) {
  size_t from = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '&') continue;
    const size_t semi = text.find(';', i);
    if (semi == std::string_view::npos || semi - i > 10) continue;
    const QString rep = Entity(text.substr(i + 1, semi - i - 1));
    if (rep.isEmpty()) continue;
    out += QString::fromUtf8(text.data() + from, qsizetype(i - from));
    out += rep;
    from = semi + 1;
    i = semi;
  }
  out += QString::fromUtf8(text.data() + from, qsizetype(text.size() - from));
}

// White space runs as one blank, none at the ends of a line.
QString Simplified(const QString& text) {
  QStringList lines = text.split('\n');
  for (QString& l : lines) l = l.simplified();
  while (!lines.isEmpty() && lines.back().isEmpty()) lines.removeLast();
  while (!lines.isEmpty() && lines.front().isEmpty()) lines.removeFirst();
  return lines.join('\n');
}

// The lower-case name of a tag ("td", "/td", "br/").
std::string TagName(std::string_view tag) {
  std::string name;
  for (char c : tag) {
    if (c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '>' || (c == '/' && !name.empty())) break;
    name += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  return name;
}

bool HasClass(std::string_view tag, const char* cls) {
  const size_t at = tag.find("class=");
  if (at == std::string_view::npos) return false;
  std::string_view value = tag.substr(at + 6);
  if (!value.empty() && (value[0] == '"' || value[0] == '\'')) {
    const char quote = value[0];
    value = value.substr(1, value.find(quote, 1) == std::string_view::npos ? std::string_view::npos : value.find(quote, 1) - 1);
  }
  const size_t n = std::strlen(cls);
  for (size_t i = value.find(cls); i != std::string_view::npos; i = value.find(cls, i + 1)) {
    const bool startOk = i == 0 || value[i - 1] == ' ';
    const bool endOk = i + n == value.size() || value[i + n] == ' ' || value[i + n] == '"' || value[i + n] == '>';
    if (startOk && endOk) return true;
  }
  return false;
}

// ---- drawing -----------------------------------------------------------------------------------

constexpr double kBodyPt = 9.0;
constexpr double kCellPadPt = 2.0;
constexpr double kMaxColumnEm = 24.0;  // longer cells wrap

double HeadingPt(int level) { return level <= 1 ? 14.0 : level == 2 ? 12.0 : 11.0; }

struct TLayout {
  QFont Body, Bold;
  double Px = 1;       // device pixels per point
  double Pad = 0;      // cell padding (device pixels)
  double Line = 0;     // body line spacing
  double MaxColumn = 0;
  // Per table: column widths (device pixels, padding included).
  std::vector<std::vector<double>> Columns;
  double Width = 0;
};

QFont FontOf(double pt, bool bold) {
  QFont f(QStringLiteral("sans-serif"));
  f.setStyleHint(QFont::SansSerif);
  f.setPointSizeF(pt);
  f.setBold(bold);
  return f;
}

double TextWidth(const QFontMetricsF& fm, const QString& text) {
  double w = 0;
  for (const QString& line : text.split('\n')) w = std::max(w, fm.horizontalAdvance(line));
  return w;
}

TLayout Measure(const TDrawnPage& page, QPaintDevice* device) {
  TLayout l;
  l.Body = FontOf(kBodyPt, false);
  l.Bold = FontOf(kBodyPt, true);
  l.Px = device->logicalDpiX() / 72.0;
  const QFontMetricsF fm(l.Body, device), fb(l.Bold, device);
  l.Pad = kCellPadPt * l.Px;
  l.Line = fm.lineSpacing();
  l.MaxColumn = fm.averageCharWidth() * 2 * kMaxColumnEm;
  for (const TDrawnBlock& b : page.Blocks) {
    if (b.Kind != TDrawnBlock::Table) {
      // Headings and paragraphs wrap at the paper; only their longest word counts.
      continue;
    }
    std::vector<double> cols;
    for (const TDrawnBlock::TRow& r : b.Rows) {
      if (r.Cells.size() > cols.size()) cols.resize(r.Cells.size(), 0.0);
      const QFontMetricsF& m = r.Header ? fb : fm;
      for (size_t c = 0; c < r.Cells.size(); ++c)
        if (!r.Cells[c].isEmpty())
          cols[c] = std::max(cols[c], std::min(l.MaxColumn, TextWidth(m, r.Cells[c])));
    }
    double width = 0;
    for (double& c : cols) {
      c = std::ceil(c + 2 * l.Pad + 1);
      width += c;
    }
    l.Width = std::max(l.Width, width);
    l.Columns.push_back(std::move(cols));
  }
  return l;
}

class TDrawer {
 public:
  TDrawer(QPrinter* printer, QPainter& painter, const TLayout& layout, double zoom)
      : Printer(printer), P(painter), L(layout), Zoom(zoom) {
    const QRectF paper = printer->pageLayout().paintRectPixels(printer->resolution());
    PageWidth = paper.width() / zoom;
    PageHeight = paper.height() / zoom;
    P.scale(zoom, zoom);
  }

  bool Ok = true;

  void Text(const QString& text, const QFont& font, double gapAfter) {
    if (text.isEmpty()) return;
    P.setFont(font);
    const QRectF box = P.boundingRect(QRectF(0, 0, PageWidth, 1e9), Qt::TextWordWrap, text);
    Room(box.height());
    P.setPen(Qt::black);
    P.drawText(QRectF(0, Y, PageWidth, box.height()), Qt::TextWordWrap, text);
    Y += box.height() + gapAfter;
  }

  void Table(const TDrawnBlock& table, const std::vector<double>& cols) {
    const QFontMetricsF fm(L.Body, Printer), fb(L.Bold, Printer);
    std::vector<const TDrawnBlock::TRow*> titles;
    bool titlesOnPage = false;
    for (const TDrawnBlock::TRow& row : table.Rows) {
      const double h = RowHeight(row, cols, row.Header ? fb : fm);
      if (Y > 0 && Y + h > PageHeight) {
        NewPage();
        titlesOnPage = false;
      }
      // A page that goes on with the table starts with its titles.
      if (!row.Header && !titlesOnPage && Y == 0)
        for (const TDrawnBlock::TRow* t : titles) DrawRow(*t, cols, RowHeight(*t, cols, fb));
      if (row.Header) titles.push_back(&row);
      titlesOnPage = true;
      DrawRow(row, cols, h);
    }
    Y += L.Line;
  }

 private:
  double RowHeight(const TDrawnBlock::TRow& row, const std::vector<double>& cols, const QFontMetricsF& m) const {
    double lines = 1;
    for (size_t c = 0; c < row.Cells.size() && c < cols.size(); ++c) {
      const QString& text = row.Cells[c];
      if (text.isEmpty()) continue;
      const double inner = cols[c] - 2 * L.Pad - 1;
      double n = 1 + text.count('\n');
      if (TextWidth(m, text) > inner)
        n = std::max(n, std::ceil(m.boundingRect(QRectF(0, 0, inner, 1e9), Qt::TextWordWrap, text).height() /
                                  m.lineSpacing()));
      lines = std::max(lines, n);
    }
    return std::ceil(lines * L.Line + 2 * L.Pad);
  }

  void DrawRow(const TDrawnBlock::TRow& row, const std::vector<double>& cols, double h) {
    P.setFont(row.Header ? L.Bold : L.Body);
    double x = 0;
    const QColor fill = row.Header ? QColor(0xdd, 0xe6, 0xf0) : row.Neighbour ? QColor(0xc0, 0xdc, 0xc0) : QColor();
    for (size_t c = 0; c < cols.size(); ++c) {
      const QRectF cell(x, Y, cols[c], h);
      if (fill.isValid()) P.fillRect(cell, fill);
      P.setPen(QPen(Qt::gray, 0));
      P.drawRect(cell);
      if (c < row.Cells.size() && !row.Cells[c].isEmpty()) {
        P.setPen(Qt::black);
        P.drawText(cell.adjusted(L.Pad, L.Pad, -L.Pad, -L.Pad), Qt::TextWordWrap | Qt::AlignLeft | Qt::AlignTop,
                   row.Cells[c]);
      }
      x += cols[c];
    }
    Y += h;
  }

  void Room(double h) {
    if (Y > 0 && Y + h > PageHeight) NewPage();
  }

  void NewPage() {
    if (!Printer->newPage()) Ok = false;
    Y = 0;
  }

  QPrinter* Printer;
  QPainter& P;
  const TLayout& L;
  double Zoom;
  double PageWidth = 0, PageHeight = 0;
  double Y = 0;
};

}  // namespace

size_t TDrawnPage::CellCount() const {
  size_t n = 0;
  for (const TDrawnBlock& b : Blocks)
    for (const TDrawnBlock::TRow& r : b.Rows) n += r.Cells.size();
  return n;
}

TDrawnPage ReadDrawnPage(const std::string& html) {
  TDrawnPage page;
  QString text;                     // text of the open heading, paragraph or cell
  int heading = 0;                  // level of the open heading
  bool inCell = false, inTable = false, skipping = false;
  std::string skipUntil;            // the end tag of a head, script or style element
  long tableAt = -1;                // index of the open table in page.Blocks
  auto openTable = [&]() -> TDrawnBlock* { return tableAt < 0 ? nullptr : &page.Blocks[size_t(tableAt)]; };
  auto flushText = [&](TDrawnBlock::TKind kind, int level) {
    const QString t = Simplified(text);
    text.clear();
    if (t.isEmpty()) return;
    TDrawnBlock b;
    b.Kind = kind;
    b.Level = level;
    b.Text = t;
    page.Blocks.push_back(std::move(b));
  };
  auto closeCell = [&] {
    TDrawnBlock* table = openTable();
    if (inCell && table && !table->Rows.empty()) table->Rows.back().Cells.push_back(Simplified(text));
    text.clear();
    inCell = false;
  };
  size_t i = 0;
  while (i < html.size()) {
    const size_t lt = html.find('<', i);
    const std::string_view run(html.data() + i, (lt == std::string::npos ? html.size() : lt) - i);
    if (!skipping && (inCell || !inTable)) AppendText(text, run);
    if (lt == std::string::npos) break;
    if (html.compare(lt, 4, "<!--") == 0) {
      const size_t end = html.find("-->", lt + 4);
      i = end == std::string::npos ? html.size() : end + 3;
      continue;
    }
    const size_t gt = html.find('>', lt);
    if (gt == std::string::npos) break;
    const std::string_view tag(html.data() + lt + 1, gt - lt - 1);
    const std::string name = TagName(tag);
    TDrawnBlock* table = openTable();
    i = gt + 1;
    if (skipping) {
      if (name == skipUntil) skipping = false;
      continue;
    }
    if (name == "head" || name == "script" || name == "style" || name == "title") {
      skipping = true;
      skipUntil = "/" + name;
      continue;
    }
    if (name == "br" || name == "br/") {
      text += '\n';
    } else if (inTable && name != "/table" && name != "tr" && name != "td" && name != "th" && name != "/td" &&
               name != "/th" && name != "/tr") {
      // Inside a table only rows and cells count; markup in a cell (links, spans) keeps its text.
    } else if (name.size() == 2 && name[0] == 'h' && name[1] >= '1' && name[1] <= '6') {
      flushText(TDrawnBlock::Paragraph, 0);
      heading = name[1] - '0';
    } else if (name.size() == 3 && name[0] == '/' && name[1] == 'h' && name[2] >= '1' && name[2] <= '6') {
      flushText(TDrawnBlock::Heading, heading);
      heading = 0;
    } else if (name == "p" || name == "/p" || name == "div" || name == "/div") {
      flushText(TDrawnBlock::Paragraph, 0);
    } else if (name == "table") {
      flushText(TDrawnBlock::Paragraph, 0);
      TDrawnBlock b;
      b.Kind = TDrawnBlock::Table;
      page.Blocks.push_back(std::move(b));
      tableAt = long(page.Blocks.size()) - 1;
      inTable = true;
    } else if (name == "/table") {
      closeCell();
      inTable = false;
      tableAt = -1;
    } else if (name == "tr" && table) {
      closeCell();
      TDrawnBlock::TRow row;
      row.Header = HasClass(tag, "header");
      row.Neighbour = HasClass(tag, "neighbors");
      table->Rows.push_back(std::move(row));
    } else if ((name == "td" || name == "th") && table) {
      closeCell();
      if (table->Rows.empty()) table->Rows.emplace_back();
      if (name == "th" && table->Rows.back().Cells.empty()) table->Rows.back().Header = true;
      inCell = true;
    } else if (name == "/td" || name == "/th" || name == "/tr") {
      closeCell();
    }
  }
  flushText(TDrawnBlock::Paragraph, 0);
  // Rows of title cells alone are titles even without their class.
  for (TDrawnBlock& b : page.Blocks)
    b.Rows.erase(std::remove_if(b.Rows.begin(), b.Rows.end(), [](const TDrawnBlock::TRow& r) { return r.Cells.empty(); }),
                 b.Rows.end());
  return page;
}

double DrawnPageWidth(const TDrawnPage& page, QPrinter* printer) {
  const TLayout l = Measure(page, printer);
  return l.Width / l.Px;
}

bool DrawPage(const TDrawnPage& page, QPrinter* printer, double zoom) {
  const TLayout layout = Measure(page, printer);
  QPainter painter;
  if (!painter.begin(printer)) return false;
  TDrawer draw(printer, painter, layout, zoom > 0 ? zoom : 1.0);
  size_t table = 0;
  for (const TDrawnBlock& b : page.Blocks) {
    if (b.Kind == TDrawnBlock::Table) {
      draw.Table(b, layout.Columns[table++]);
    } else if (b.Kind == TDrawnBlock::Heading) {
      draw.Text(b.Text, FontOf(HeadingPt(b.Level), true), kBodyPt * layout.Px * 0.5);
    } else {
      draw.Text(b.Text, layout.Body, kBodyPt * layout.Px * 0.5);
    }
  }
  const bool ok = draw.Ok;
  return painter.end() && ok;
}
