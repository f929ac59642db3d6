#pragma once
// The result model behind every export grid: one compact table of interned UTF-8 texts.
//
// Cells are 32-bit ids into one string pool (an arena of texts, each distinct text once), held
// row-major in a store that grid copies share (copy-on-write: a copy costs the row and column
// order only; the first write to a shared store clones it).  Rows and columns are reached
// through order vectors, so a sort permutes row numbers and a removal erases one entry; the
// per-row flags belong to the physical row and therefore stay with their row.
//
// Row numbers follow the string grid the result views were designed on: the rows 0 ..
// FixedRows-1 are title rows (at most one: its texts are the column titles) and the data rows
// follow; RowCount counts both.  The Qt model shows the data rows; the title row is the
// horizontal header.
#include <QAbstractTableModel>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "database/sqlite_db.h"

class TGridRowFill;

// Distinct texts back to back; id 0 is the empty text.
class TStringPool {
 public:
  TStringPool();
  uint32_t Intern(std::string_view s);
  std::string_view Get(uint32_t id) const {
    return std::string_view(FBytes.data() + FOffsets[id], FOffsets[id + 1] - FOffsets[id]);
  }
  size_t Count() const { return FOffsets.size() - 1; }
  size_t MemoryUsed() const;

 private:
  void Grow();
  std::vector<char> FBytes;
  std::vector<size_t> FOffsets;  // id -> start; one more entry than texts
  std::vector<uint32_t> FHashes; // id -> hash
  std::vector<uint32_t> FSlots;  // open addressing: id + 1, 0 free
};

// Row flags.
enum TGridRowFlag : uint8_t {
  grfNeighbour = 1,  // a use on a neighbouring crop (set by the crop search)
};

enum TXlSortOrder { xlSortAsc, xlSortDesc };
enum TGridSortKind { gskText = 0, gskNumeric = 1 };

struct TGridSortResult {
  bool Sorted = false;
  int FailedConversions = 0;  // numeric sort: keys that are not numbers (sorted after the numbers)
};

class TGridModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  explicit TGridModel(QObject* parent = nullptr);
  ~TGridModel() override;

  // ---- the string grid's view of the data (row 0 = title row when FixedRows is 1) ----
  int RowCount() const { return static_cast<int>(FRows.size()); }
  int ColCount() const { return static_cast<int>(FCols.size()); }
  int FixedRows() const { return FFixedRows; }
  void SetRowCount(int n);
  void SetColCount(int n);
  void SetFixedRows(int n);  // 0 or 1
  // Text of a cell; "" outside the grid.
  std::string_view Cell(int col, int row) const;
  QString CellQ(int col, int row) const;
  // Ignored outside the grid.
  void SetCell(int col, int row, std::string_view text);
  // All texts of one row (the cells a use card shows).
  std::vector<std::string> RowTexts(int row) const;
  int ColumnOfTitle(std::string_view title) const;  // -1 when no title row holds it

  // Column widths in pixels (0 or less: hidden); new columns get DefaultColWidth.
  int ColWidth(int col) const;
  void SetColWidth(int col, int w);
  int DefaultColWidth = 64;

  uint8_t RowFlags(int row) const;
  void SetRowFlags(int row, uint8_t flags);

  // ---- filling (one model reset; cells are interned, never copied into widget items) ----
  // Titles in row 0 (one fixed row), then the rows of the result from its current row to its
  // end; the result's cursor is left where it was.  Titles default to the result's column
  // names; NULL is "0" in integer and float columns and "" elsewhere.
  void FillFromTable(TSQLiteTbl& tbl, const std::vector<std::string>* titles = nullptr,
                     const std::function<void()>& breathe = nullptr);
  // Titles and the rows a query handed to Rows (which is left empty): the store Rows built
  // becomes the model's, no cell copied.
  void Fill(TGridRowFill& Rows, const std::vector<std::string>& titles);
  // Titles and rows given directly.
  void Fill(const std::vector<std::string>& titles, const std::vector<std::vector<std::string>>& rows);
  // Titles and a cell source for rowCount x titles.size() cells.
  void Fill(const std::vector<std::string>& titles, int rowCount,
            const std::function<std::string_view(int row, int col)>& cell);
  void Clear();  // no rows, no columns

  // Shares the data of another model (copy-on-write) with its order, widths and flags.
  void AssignFrom(const TGridModel& src);
  bool SharesStoreWith(const TGridModel& other) const { return FStore == other.FStore; }

  // ---- operations ----
  // Sorts the data rows by one column; stable.  Text: by the Shift-JIS (CP932) bytes, empty
  // first.  Numeric: empty first, then the numbers, then the texts that are not numbers
  // (equal among themselves).  Descending reverses the order of unequal keys only.
  TGridSortResult SortRows(int col, TGridSortKind kind, TXlSortOrder order);
  bool RemoveRow(int row);     // false for a title row or an index outside the grid
  bool RemoveColumn(int col);  // false for an index outside the grid
  bool SwapRows(int a, int b); // data rows only

  // Neighbour tint: words searched in each row's whole text (cached per row).
  void SetHighlightWords(std::vector<std::string> words);
  bool RowHighlighted(int row) const;

  // Bytes held by the store (pool and cells) and by this model's own vectors.
  size_t MemoryUsed() const;
  const TStringPool& Pool() const;
  uint32_t CellId(int col, int row) const;
  // Visit(col, id) for every cell of rows From..To-1, row by row (the order the store holds
  // them in).
  void ForEachCell(int From, int To, const std::function<void(int col, uint32_t id)>& Visit) const;

  // ---- Qt model: the data rows ----
  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
  QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  bool Editable = false;
  // Column titles that right-align their data cells.
  static bool IsNumberTitle(std::string_view title) { return title == "番号"; }

 signals:
  void ColWidthChanged(int col, int width);

 private:
  friend class TGridRowFill;
  struct Store;
  Store& Mutable();  // detaches a shared store
  void ResetOrder(int rows, int cols);
  std::shared_ptr<Store> FStore;
  std::vector<uint32_t> FRows;  // logical row -> physical row
  std::vector<uint32_t> FCols;  // logical column -> physical column
  std::vector<int> FWidths;     // logical column
  std::vector<uint8_t> FFlags;  // physical row
  int FFixedRows = 1;
  std::vector<std::string> FWords;
  mutable std::vector<int8_t> FHighlight;  // physical row: -1 unknown, 0, 1
};

// The rows of a query gathered straight into the compact store of a model as SQLite steps
// them (TSQLiteDb::GetRows hands them over, TGridModel::Fill takes the store), so the result
// is never held a second time.  The cells read as the result grids show a result cursor's:
// NULL empty, numbers in the cursor's formats (TSQLiteRow::Text).
class TGridRowFill : public TSQLiteRowSink {
 public:
  // Breathe, when set, runs about every thousand rows (window messages).
  explicit TGridRowFill(std::function<void()> Breathe = nullptr);
  ~TGridRowFill() override;
  void Row(const TSQLiteRow& Row) override;
  int RowCount() const;
  // The result's column names (from its first row).
  const std::vector<std::string>& ColumnNames() const { return FNames; }

 private:
  friend class TGridModel;
  std::shared_ptr<TGridModel::Store> FStore;
  std::vector<std::string> FNames;
  std::function<void()> FBreathe;
  std::string FScratch;
};
