#pragma once
// One workbook of the public service's spreadsheet archives read into rows for the grid
// importers, the way the update window converts it: the cells of the sheet whose name equals
// the wanted sheet name ("登録基本部", "登録適用部一", ...) go into a grid that spans the
// columns seen in row 0 and the rows seen in column 0; the basics workbook also carries the
// data-date sentence in cell A1 of its first sheet.
//
// The cells are kept in one text arena (no string per cell), so a sheet of 65,000 rows of
// 25 columns costs little more than its text.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "database/import_rows.h"

class TXlsGridRows : public TRowSource {
 public:
  // Percentage of the workbook read (0..100), for a progress bar.
  std::function<void(int Percent)> OnProgress;
  // Asked between cells; true stops the reading (the rows read so far stay).
  std::function<bool()> Aborted;

  // Reads FileName through the spreadsheet reader. WantedSheet empty: the file's base name
  // without ".xls". With ReadDate, the text of cell A1 of sheet 1 is kept (DateSentence) and
  // not stored. Raises EXBiffError when the file cannot be read; a workbook without the
  // wanted sheet gives no rows (SheetFound() false).
  void Load(const std::string& FileName, const std::string& WantedSheet = "", bool ReadDate = false);

  // The next row of the grid, as wide as its last cell present (the cells after it, and every
  // cell of a row without any, are empty; Columns() is the grid's width).
  bool NextRow(std::vector<std::string>& Row) override;
  int64_t RowCountHint() const override { return rows_; }
  void Rewind() { next_ = 0; cell_ = 0; }

  bool SheetFound() const { return wanted_ > 0; }
  const std::string& WantedSheet() const { return wantedName_; }
  const std::vector<std::string>& SheetNames() const { return sheetNames_; }
  const std::string& DateSentence() const { return date_; }
  int64_t Rows() const { return rows_; }
  int Columns() const { return cols_; }
  // Cells of the wanted sheet with a text that lie outside the grid (right of the header row's
  // last column, below the first column's last row): not imported, so the reader logs them.
  int64_t OutsideCells() const { return outside_; }

 private:
  struct Cell {
    int32_t row;
    int32_t col;
    uint32_t off;
    uint32_t len;
  };
  std::vector<Cell> cells_;  // sorted by row and column after Load, one per position
  std::string text_;
  std::vector<std::string> sheetNames_;
  std::string wantedName_, date_;
  int wanted_ = 0;
  int64_t rows_ = 0;
  int cols_ = 0;
  int64_t outside_ = 0;
  int64_t next_ = 0;
  size_t cell_ = 0;
};

// A workbook read only when its rows are first asked for (RowCountHint or NextRow) and let go
// after its last row, so a build over several workbooks holds one at a time. Raises
// EXBiffError when the file cannot be read or lacks the wanted sheet.
class TXlsWorkbookRows : public TRowSource {
 public:
  explicit TXlsWorkbookRows(std::string FileName, std::string WantedSheet = "")
      : file_(std::move(FileName)), wanted_(std::move(WantedSheet)) {}
  bool NextRow(std::vector<std::string>& Row) override;
  int64_t RowCountHint() const override;
  const std::string& FileName() const { return file_; }

 private:
  void Ensure() const;
  std::string file_, wanted_;
  mutable std::unique_ptr<TXlsGridRows> grid_;
  mutable int64_t rows_ = -1;
  bool done_ = false;
};

// The cell text as the update window stores it: a product name the service writes with a
// stray ASCII quote ("“京都微研"ｷｭｰﾋﾞｵZY") gets its closing quote back.
std::string XlsCellText(std::string Text);
