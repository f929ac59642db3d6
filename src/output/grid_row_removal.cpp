#include "output/grid_row_removal.h"

#include <algorithm>

#include "output/xls_string_grid.h"

bool RemoveSelectedRows(TXlsStringGrid* g) {
  if (!g || g->Row() < g->FixedRows()) return false;
  // Only when the current cell can be seen.
  const QModelIndex cur = g->currentIndex();
  if (!cur.isValid() || !g->viewport()->rect().intersects(g->visualRect(cur))) return false;
  if (g->RowSelect()) {
    int left, top, right, bottom;
    if (!g->SelectionRect(left, top, right, bottom)) return false;
    for (int r = bottom; r >= std::max(top, g->FixedRows()); --r) g->RemoveRow(r);
  } else {
    g->RemoveRow(g->Row());
  }
  return true;
}
