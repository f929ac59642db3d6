#include "output/grid_delegate.h"

#include <QApplication>
#include <QFontMetrics>
#include <QPainter>
#include <QRawFont>
#include <QTextLayout>
#include <QTextOption>

#include <algorithm>

#include "output/grid_model.h"

namespace {

QString CellText(QString text) {
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  text.replace(QLatin1Char('\n'), QChar::LineSeparator);
  return text;
}

// Lays a cell's text out in lines of `width` pixels, as many as fit whole into `height` (the
// first always); the last one that fits takes the rest of the text on one line, to be cut at
// the cell's right edge rather than shown half below it.  Returns the number of lines.
int LayOutCell(QTextLayout& layout, int width, int height, bool rightAligned) {
  QTextOption option;
  option.setWrapMode(QTextOption::WrapAnywhere);
  layout.setTextOption(option);
  const int end = static_cast<int>(layout.text().size());
  int count = 0;
  qreal y = 0;
  layout.beginLayout();
  for (;;) {
    QTextLine line = layout.createLine();
    if (!line.isValid()) break;
    line.setLineWidth(std::max(width, 1));
    const qreal h = line.height();
    const bool more = line.textStart() + line.textLength() < end;
    const bool last = more && y + 2 * h > height;
    if (last) line.setLineWidth(1e6);
    line.setPosition(QPointF(rightAligned ? width - line.naturalTextWidth() : 0, y));
    y += h;
    ++count;
    if (last) break;
  }
  layout.endLayout();
  return count;
}

}  // namespace

TGridDelegate::TGridDelegate(QObject* parent) : QStyledItemDelegate(parent) {}

std::vector<TGridDelegate::TCellLine> TGridDelegate::CellLines(const QString& text, const QFont& font, int width,
                                                               int height, bool rightAligned) {
  const QString t = CellText(text);
  QTextLayout layout(t, font);
  const int n = LayOutCell(layout, width, height, rightAligned);
  std::vector<TCellLine> lines;
  for (int i = 0; i < n; ++i) {
    const QTextLine line = layout.lineAt(i);
    QString piece = t.mid(line.textStart(), line.textLength());
    if (piece.endsWith(QChar::LineSeparator)) piece.chop(1);
    lines.push_back({piece, line.position().x(), line.position().y()});
  }
  return lines;
}

int TGridDelegate::BaselineDrop(const QFont& font, const QString& text) const {
  // Japanese text comes from a fallback font whose ascent passes the grid font's; a cell whose
  // characters the grid font itself holds (Latin letters, digits) is moved down by the
  // difference, so neighbouring cells share one baseline.
  const QString key = font.key();
  auto it = FDrops.find(key);
  if (it == FDrops.end()) {
    QTextLayout layout(QStringLiteral("A\u3042\u6f22"), font);
    layout.beginLayout();
    QTextLine line = layout.createLine();
    line.setLineWidth(1e6);
    layout.endLayout();
    TDrop d;
    d.Raw = QRawFont::fromFont(font);
    d.Pixels = d.Raw.isValid() ? std::max(0, qRound(line.ascent() - QFontMetricsF(font).ascent())) : 0;
    it = FDrops.insert(key, d);
  }
  if (it->Pixels == 0) return 0;
  for (QChar c : text)
    if (!c.isSpace() && !it->Raw.supportsCharacter(c)) return 0;
  return it->Pixels;
}

TGridDelegate::TCellLook TGridDelegate::LookOf(const TGridModel& m, int gridRow, bool selected) const {
  TCellLook look;
  if (selected) return look;
  if (EveryOtherLine) {
    if (gridRow % 2 == 1) {
      look.Background = OddRowColor;
    } else {
      look.Background = EvenRowColor;
      look.EvenFont = EvenRowFont.has_value();
    }
  }
  if (m.RowHighlighted(gridRow)) {
    look.Background = HighlightColor;
    look.Tinted = true;
  }
  return look;
}

void TGridDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const {
  const auto* m = qobject_cast<const TGridModel*>(index.model());
  if (!m) {
    QStyledItemDelegate::paint(painter, option, index);
    return;
  }
  const int gridRow = index.row() + m->FixedRows();
  const bool selected = option.state & QStyle::State_Selected;
  const bool focused = option.state & QStyle::State_HasFocus;
  const TCellLook look = LookOf(*m, gridRow, selected || focused);
  painter->save();
  QColor textColor = option.palette.color(QPalette::Text);
  if (selected || focused) {
    painter->fillRect(option.rect, option.palette.brush(QPalette::Highlight));
    textColor = option.palette.color(QPalette::HighlightedText);
  } else if (look.Background.isValid()) {
    painter->fillRect(option.rect, look.Background);
  }
  QFont font = option.font;
  if (look.EvenFont) font = *EvenRowFont;
  painter->setFont(font);
  painter->setPen(textColor);
  const int half = LineSpace / 2;
  const QString text = index.data(Qt::DisplayRole).toString();
  QRect r = option.rect.adjusted(2, half, -2, -half);
  r.setTop(r.top() + BaselineDrop(font, text));
  const Qt::Alignment align = index.data(Qt::TextAlignmentRole).value<Qt::Alignment>();
  painter->setClipRect(option.rect);
  QTextLayout layout(CellText(text), font, painter->device());
  const int lines = LayOutCell(layout, r.width(), r.height(), align & Qt::AlignRight);
  for (int i = 0; i < lines; ++i) layout.lineAt(i).draw(painter, r.topLeft());
  painter->restore();
}
