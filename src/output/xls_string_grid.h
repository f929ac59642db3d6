#pragma once
// TXlsStringGrid: the string grid of every result view, a QTableView over one TGridModel.
// Header-click sorting (stable; text by Shift-JIS bytes or numeric), column and row removal,
// clipboard copy as TAB/CRLF text, CSV and HTML-table files, frozen (fixed) columns, and the
// spreadsheet exports.  Row and column numbers are those of the string grid: row 0 is the
// title row (FixedRows 1), data rows follow.
#include <QColor>
#include <QFont>
#include <QTableView>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "output/grid_delegate.h"
#include "output/grid_model.h"

class QContextMenuEvent;
class QKeyEvent;
class TSQLiteTbl;

enum TCellBorderWeight { bwNone, bwHairline, bwThin, bwMedium, bwThick };
enum TPageOrientation { xlPortrait, xlLandscape };
enum TSpreadSheetKind { sskExcel = 0, sskCalc = 1, sskKingsoft = 2, sskJustCalc = 3 };

constexpr unsigned clNoneColor = 0x1FFFFFFF;  // clNone: no fill

class TXlsStringGrid;

// The spreadsheet route behind CopyExcel, CopyJustCalc and CopyKingsoft: by default the .xlsx
// workbook opened in the spreadsheet program of this machine (spreadsheet_export.h).
class TSpreadsheetAutomation {
 public:
  virtual ~TSpreadsheetAutomation() = default;
  // Result codes of the exports: 1, 2, -1, -2, -3.
  virtual int Export(TXlsStringGrid& grid, TSpreadSheetKind kind) = 0;
};

// Column fitting of the result grids (lines per cell, width cap, row heights).
struct TGridFitOptions {
  int Lines = 1;          // text lines per cell (1..9)
  int MaxWidth = 0;       // GridMaxWidth; 0: no cap
  int LineSpace = 0;      // GridLineSpace
  int LineAddSpace = 0;   // GridLineAddSpace
  bool IsSeibun = false;  // the ingredient grid: one line, its own row height
  bool IsSeizai = false;  // the product grid: no width cap
};

class TXlsStringGrid : public QTableView {
  Q_OBJECT

 public:
  explicit TXlsStringGrid(QWidget* parent = nullptr);
  ~TXlsStringGrid() override;

  TGridModel& Model() { return *FModel; }
  const TGridModel& Model() const { return *FModel; }
  TGridDelegate& Delegate() { return *FDelegate; }

  // ---- string grid surface ----
  int RowCount() const { return FModel->RowCount(); }
  int ColCount() const { return FModel->ColCount(); }
  void SetRowCount(int n) { FModel->SetRowCount(n); }
  void SetColCount(int n) { FModel->SetColCount(n); }
  int FixedRows() const { return FModel->FixedRows(); }
  void SetFixedRows(int n);
  int FixedCols() const { return FFixedCols; }
  void SetFixedCols(int n);  // frozen columns at the left
  std::string Cells(int col, int row) const { return std::string(FModel->Cell(col, row)); }
  void SetCells(int col, int row, const std::string& text) { FModel->SetCell(col, row, text); }
  int ColWidths(int col) const { return FModel->ColWidth(col); }
  void SetColWidths(int col, int w) { FModel->SetColWidth(col, w); }
  void SetDefaultRowHeight(int h);
  int DefaultRowHeight() const;
  int Row() const;  // current cell, grid coordinates (-1 when none)
  int Col() const;
  void SetCurrentCell(int col, int row);
  // Selection rectangle in grid coordinates; false when nothing is selected.
  bool SelectionRect(int& left, int& top, int& right, int& bottom) const;
  // Data cell under a point of the viewport (the coordinates of viewport mouse events); false
  // when none.  Rows are grid rows (the first data row is FixedRows).  Where the fixed columns
  // cover the viewport, the fixed column shown there counts, not the one scrolled beneath it.
  bool CellAt(const QPoint& viewportPos, int& col, int& row) const;
  // Cell under a point of the grid widget itself, the title row (row 0) included.
  bool CellAtWidget(const QPoint& widgetPos, int& col, int& row) const;
  // The right button on a data cell outside the selection makes that cell current (the whole
  // row in row-selection mode); inside the selection, on a title or outside the cells nothing
  // changes.  The context menu then works on the current cell or selection.
  void RightPressAt(const QPoint& widgetPos);
  bool RowSelect() const { return selectionBehavior() == QAbstractItemView::SelectRows; }
  void SetRowSelect(bool on);

  // ---- filling ----
  // `breathe` (optional) runs about every 50 ms during a long fill (pending window messages).
  void FillFromTable(TSQLiteTbl& tbl, const std::vector<std::string>* titles = nullptr,
                     const std::function<void()>& breathe = nullptr);
  void Fill(const std::vector<std::string>& titles, const std::vector<std::vector<std::string>>& rows);
  // Copies another grid: cells (shared), order, widths, flags, fixed rows and columns, row height.
  void AssignGrid(const TXlsStringGrid& src);

  // ---- published properties ----
  bool ColumnName = true;
  bool ShowErrDlg = true;
  int StartData = 0;
  int StartRow() const { return FStartRow; }
  int StartCol() const { return FStartCol; }
  bool SetStartRow(int v);  // 0 or less refused with a message
  bool SetStartCol(int v);
  bool AutoFit = true;
  std::string SheetName;
  QFont CellFont;
  unsigned CellFontColor = 0;  // colour of CellFont (red in the low byte)
  unsigned CellColor = clNoneColor;
  unsigned CellTitleColor = clNoneColor;
  TCellBorderWeight CellBorderWeight = bwNone;
  unsigned CellBorderColor = 0;
  TPageOrientation PageOrientation = xlPortrait;
  std::string CSVFileName;
  bool ExtendRows = true;
  bool CSVEndComma = false;
  bool CSVUtf8 = false;  // write CSV as UTF-8 instead of Shift-JIS
  std::string ExcelFileName;
  std::string HTMLFileName;
  // Qt's scroll bars are proportional already; while set, the wheel moves one row per notch.
  bool ProportionalScrollBars = false;
  // An editable grid (cells edited in place); result grids are not.
  void SetEditing(bool on);
  bool Editing() const { return FModel->Editable; }
  // Column and order of the last sort; -1 until the grid's current content was sorted, so the
  // first title click on any column (column 0 too) sorts ascending.
  int SortCol = -1;
  TXlSortOrder SortOrder = xlSortAsc;
  int FreezePanesRow = 0, FreezePanesCol = 0;
  int VerticalRangeRow = 0, VerticalRangeCol = 0, VerticalRangeRowCount = 0, VerticalRangeColCount = 0;
  // Sort by a left click on a title (the callers' rule); off: only TitlePressed is emitted.
  bool SortOnTitleClick = true;
  size_t ClipboardLimit;  // bytes; kClipboardTextLimit unless a test lowers it

  // ---- operations ----
  int CopyClipboard();  // 1, 2 no data rows, -3 too large
  int SetCommaText();   // 0, -1 no file name, -2 a character Shift-JIS lacks, -3 write failure
  int GetCommaText();   // 0, -1 no file name or no such file
  int SetHTML();        // 0, -1 no file name, -3 write failure
  // The string grid's entry: sorts when (x, y) lies on a title cell.
  void SortGrid(Qt::MouseButton button, Qt::KeyboardModifiers shift, int kind, TXlSortOrder order, int x, int y);
  TGridSortResult SortByColumn(int col, TGridSortKind kind, TXlSortOrder order);
  // A title click as the result views handle it: "番号" numeric, else text; a new column
  // ascending, the same column again in the other order.  Returns the sort text
  // ("ｿｰﾄ:" + title + "△"/"▽"), empty when nothing was sorted.
  QString SortByTitleClick(int col);
  bool RemoveColumn(int col);
  bool RemoveRow(int row);
  int MoveUp();
  int MoveDown();
  bool ResizingCol(int x, int y) const;
  int CopyExcel();
  int CopyJustCalc();
  int CopyKingsoft();
  // Selection as text (a single cell: the selected cell's text) and its clipboard copy.
  std::string SelectionText() const;
  void CopySelection();
  // Column fitting; without data rows the columns and their titles stay.  Each column is as
  // wide as its widest text over all data rows.
  void AdjustColumnWidths(const TGridFitOptions& opt);
  // The last fit cut a column down to the grid's width (a wider grid would fit it wider).
  bool FitCutToWidth() const { return FFitCut; }
  // Rows whose texts the fitting lays out (0: all).  Below them a text is gauged by the
  // advances of its characters, which is much faster, and laid out only when it gauges wider
  // than every text of its column so far: a grid of very many rows is fitted in a moment, and
  // a long cell anywhere still widens its column.
  int WidthSampleRows = 0;
  static int TextWidthPerLine(int width, int lines, int addend);
  // Height of one text line of a cell in this font, Japanese text (from a fallback font)
  // included.
  static int CellLineHeight(const QFont& f);
  void SetHighlightWords(const std::string& commaOrLines);

  // Drawing is suspended from the first BeginUpdate to the EndUpdate that balances it.
  void BeginUpdate();
  void EndUpdate();
  int UpdateCount() const { return FUpdateCount; }

  static QString SortArrowText(TXlSortOrder order) { return order == xlSortAsc ? QStringLiteral("△") : QStringLiteral("▽"); }
  static TXlSortOrder ToggleSortOrder(TXlSortOrder order) { return order == xlSortAsc ? xlSortDesc : xlSortAsc; }

  int MouseCol = -1, MouseRow = -1;  // cell under the last mouse press (grid coordinates)

 signals:
  void TitlePressed(int col, Qt::MouseButton button);
  void Sorted(const QString& sortText);
  // The context menu is asked for: by the right button on a cell, a title (the fixed columns
  // included) or an empty part, `globalPos` the pointer; or by the menu key, on the current
  // cell.  `row` is -1 when there is no cell.  Without a receiver the grid offers no menu.
  void MenuRequested(int col, int row, const QPoint& globalPos);

 protected:
  bool event(QEvent* ev) override;
  bool viewportEvent(QEvent* ev) override;
  bool eventFilter(QObject* obj, QEvent* ev) override;
  void keyPressEvent(QKeyEvent* ev) override;
  void mousePressEvent(QMouseEvent* ev) override;
  void mouseReleaseEvent(QMouseEvent* ev) override;
  void wheelEvent(QWheelEvent* ev) override;
  void resizeEvent(QResizeEvent* ev) override;
  void scrollTo(const QModelIndex& index, ScrollHint hint = EnsureVisible) override;
  QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;
  void updateGeometries() override;

 private:
  void Error(const std::string& text) const;
  // A context-menu event received by the grid, its viewport, its titles or the fixed columns
  // (`receiver`); true when the grid took it.
  bool HandleContextMenu(QWidget* receiver, QContextMenuEvent* ev);
  void RequestMenuOnCurrentCell();
  bool WantsMenu() const;
  // The spreadsheet exports: 2 without data rows, else the automation's result.
  int ExportToSpreadsheet(TSpreadSheetKind kind);
  void SyncColumns();
  void UpdateFrozen();
  int DataRows() const { return FModel->RowCount() - FModel->FixedRows(); }

  TGridModel* FModel;
  TGridDelegate* FDelegate;
  QTableView* FFrozen = nullptr;
  int FFixedCols = 0;
  int FStartRow = 1, FStartCol = 1;
  bool FSyncing = false;
  bool FFitCut = false;
  int FUpdateCount = 0;
  int FWheelRest = 0;
};
