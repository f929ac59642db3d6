// TXlsStringGrid: which cell lies under a point (the fixed columns over the scrolled ones
// included), the right button, and the context-menu requests of the grid's parts and keys.
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMetaMethod>

#include "output/xls_string_grid.h"

namespace {

// The fixed columns are shown over the left of the grid.
bool FrozenShown(const QTableView* frozen, int fixedCols) { return frozen && fixedCols > 0 && !frozen->isHidden(); }

}  // namespace

bool TXlsStringGrid::CellAt(const QPoint& viewportPos, int& col, int& row) const {
  QModelIndex i;
  const QPoint at = viewportPos + viewport()->pos();
  if (FrozenShown(FFrozen, FFixedCols) && FFrozen->geometry().contains(at))
    i = FFrozen->indexAt(at - FFrozen->pos() - FFrozen->viewport()->pos());
  else
    i = indexAt(viewportPos);
  if (!i.isValid()) return false;
  col = i.column();
  row = i.row() + FModel->FixedRows();
  return true;
}

bool TXlsStringGrid::CellAtWidget(const QPoint& widgetPos, int& col, int& row) const {
  // The titles of the fixed columns lie over those of the scrolled ones.
  const QHeaderView* h = horizontalHeader();
  QPoint at = widgetPos;
  if (FrozenShown(FFrozen, FFixedCols) && FFrozen->geometry().contains(widgetPos)) {
    h = FFrozen->horizontalHeader();
    at -= FFrozen->pos();
  }
  if (h->isVisible() && h->geometry().contains(at)) {
    col = h->logicalIndexAt(at.x() - h->x());
    row = 0;
    return col >= 0;
  }
  return CellAt(widgetPos - viewport()->pos(), col, row);
}

void TXlsStringGrid::RightPressAt(const QPoint& widgetPos) {
  int col = -1, row = -1;
  if (!CellAtWidget(widgetPos, col, row) || row < FModel->FixedRows()) return;
  int left, top, right, bottom;
  const bool inside =
      SelectionRect(left, top, right, bottom) && col >= left && col <= right && row >= top && row <= bottom;
  if (!inside) SetCurrentCell(col, row);
}

bool TXlsStringGrid::WantsMenu() const {
  const Qt::ContextMenuPolicy p = contextMenuPolicy();
  return p != Qt::NoContextMenu && p != Qt::PreventContextMenu &&
         isSignalConnected(QMetaMethod::fromSignal(&TXlsStringGrid::MenuRequested));
}

bool TXlsStringGrid::HandleContextMenu(QWidget* receiver, QContextMenuEvent* ev) {
  if (!WantsMenu()) return false;
  ev->accept();
  if (ev->reason() != QContextMenuEvent::Mouse) {
    RequestMenuOnCurrentCell();
    return true;
  }
  // Events of the viewport and the titles come in their own coordinates.
  const QPoint at = receiver == this ? ev->pos() : receiver->mapTo(this, ev->pos());
  int col = -1, row = -1;
  if (!CellAtWidget(at, col, row)) col = row = -1;
  emit MenuRequested(col, row, ev->globalPos());
  return true;
}

void TXlsStringGrid::RequestMenuOnCurrentCell() {
  const QModelIndex cur = currentIndex();
  QPoint at = viewport()->mapToGlobal(QPoint(0, 0));
  if (!cur.isValid()) {
    emit MenuRequested(-1, -1, at);
    return;
  }
  scrollTo(cur);
  // Over the middle of the cell where it shows: a fixed column in the fixed part.
  const bool fixed = FrozenShown(FFrozen, FFixedCols) && cur.column() < FFixedCols;
  QWidget* shownOn = fixed ? FFrozen->viewport() : viewport();
  const QRect cell = (fixed ? FFrozen->visualRect(cur) : visualRect(cur)).intersected(shownOn->rect());
  if (!cell.isEmpty()) at = shownOn->mapToGlobal(cell.center());
  emit MenuRequested(cur.column(), cur.row() + FModel->FixedRows(), at);
}

bool TXlsStringGrid::event(QEvent* ev) {
  // The menu key (and a right click that reached the grid from a part without a menu).
  if (ev->type() == QEvent::ContextMenu && HandleContextMenu(this, static_cast<QContextMenuEvent*>(ev))) return true;
  return QTableView::event(ev);
}

bool TXlsStringGrid::viewportEvent(QEvent* ev) {
  if (ev->type() == QEvent::ContextMenu && HandleContextMenu(viewport(), static_cast<QContextMenuEvent*>(ev)))
    return true;
  return QTableView::viewportEvent(ev);
}

void TXlsStringGrid::keyPressEvent(QKeyEvent* ev) {
  // Not every platform turns the menu key into a context-menu event; where one does, the event
  // comes first and the key then goes to the open menu.
  if (ev->key() == Qt::Key_Menu && WantsMenu()) {
    ev->accept();
    RequestMenuOnCurrentCell();
    return;
  }
  QTableView::keyPressEvent(ev);
}
