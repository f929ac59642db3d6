#include "frontend/grid_fill_target.h"

#include "output/xls_string_grid.h"

std::string TXlsGridTarget::GridName() const { return grid_.objectName().toStdString(); }

void TXlsGridTarget::BeginFill() {
  grid_.hide();
  grid_.setUpdatesEnabled(false);
}

void TXlsGridTarget::SetData(TGridData Data) {
  grid_.Model().Fill(Data.Titles(), Data.RowCount(), [&Data](int row, int col) { return Data.Cell(row, col); });
  grid_.SetFixedCols(0);
}

void TXlsGridTarget::EndFill() { grid_.setUpdatesEnabled(true); }
