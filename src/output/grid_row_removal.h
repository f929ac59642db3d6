#pragma once
// "行削除" of a result grid (the main window's grids and the result grid window): the rows of
// the selection when the grid selects whole rows, else the current row; nothing when the
// current cell is a title or cannot be seen.
class TXlsStringGrid;

// True when the rows were removed.
bool RemoveSelectedRows(TXlsStringGrid* grid);
