#include "output/grid_delegate.h"

#include <QApplication>
#include <QPainter>

#include "output/grid_model.h"

TGridDelegate::TGridDelegate(QObject* parent) : QStyledItemDelegate(parent) {}

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
  QRect r = option.rect.adjusted(2, half, -2, -half);
  const Qt::Alignment align = index.data(Qt::TextAlignmentRole).value<Qt::Alignment>();
  painter->setClipRect(option.rect);
  painter->drawText(r, static_cast<int>(align) | Qt::TextWrapAnywhere, index.data(Qt::DisplayRole).toString());
  painter->restore();
}
