#include "foundation/list_box_ex.h"

#include <QFontMetrics>
#include <QHelpEvent>
#include <QMouseEvent>

#include "foundation/list_hint_window.h"

TClippedHint ClippedItemHint(const QListWidget* list, const QPoint& viewportPos, const QPoint& offset,
                             int extraHeight) {
  TClippedHint h;
  QListWidgetItem* item = list->itemAt(viewportPos);
  if (!item) return h;
  const QFontMetrics fm(list->font());
  const QRect r = list->visualItemRect(item);
  // The text starts after the check box (when there is one) and the item's margin.
  const int textLeft = r.left() + (item->flags() & Qt::ItemIsUserCheckable ? 20 : 3);
  const int textRight = textLeft + fm.horizontalAdvance(item->text());
  if (textRight <= list->viewport()->width()) return h;
  h.Show = true;
  h.Text = item->text();
  h.ItemRect = r;
  h.GlobalPos = list->viewport()->mapToGlobal(r.topLeft() + offset);
  h.HintSize = QSize(fm.horizontalAdvance(item->text()) + 5, fm.height() + extraHeight);
  return h;
}

TListBoxEx::TListBoxEx(QWidget* parent) : QListWidget(parent) {}

TClippedHint TListBoxEx::HintAt(const QPoint& viewportPos) const {
  return ClippedItemHint(this, viewportPos, QPoint(-1, -3), 0);
}

bool TListBoxEx::viewportEvent(QEvent* ev) {
  if (ev->type() == QEvent::ToolTip) {
    auto* he = static_cast<QHelpEvent*>(ev);
    const TClippedHint h = HintAt(he->pos());
    if (!FHint) FHint = new TListBoxHintWindow(this);
    FHint->ShowHint(h.Show ? h.Text : QString(), font(), h.GlobalPos, 0);
    return true;
  }
  if (FHint && (ev->type() == QEvent::Leave || ev->type() == QEvent::MouseButtonPress ||
                (ev->type() == QEvent::MouseMove && !HintAt(static_cast<QMouseEvent*>(ev)->position().toPoint()).Show)))
    FHint->hide();
  return QListWidget::viewportEvent(ev);
}
