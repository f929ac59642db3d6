#pragma once
// The result record of one search tab of the main window.
#include <QString>

class TXlsStringGrid;

struct TGridState {
  TXlsStringGrid* Grid = nullptr;  // the tab's result grid (set once at creation)
  QString CountText;               // row count of the last result followed by "件"
  QString SortText;                // "ｿｰﾄ:" + title + "△"/"▽"; emptied by each new result
  int CellLines = 1;               // text lines per cell, 1..9
};

// Tabs of pgSearch (index = record index).
enum TSearchTabIndex : int { tiSakumotsu = 0, tiByochu = 1, tiYakuzai = 2, tiTemplate = 3, tiSQL = 4 };
inline constexpr int kSearchTabs = 5;

// Lines per cell kept within 1..9 (0 and bad values give 1).
inline int ClampCellLines(int Lines) { return Lines < 1 ? 1 : (Lines > 9 ? 9 : Lines); }
