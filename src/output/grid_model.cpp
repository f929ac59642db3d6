#include "output/grid_model.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <stdexcept>

#include "database/sqlite_db.h"
#include "output/cp932_codec.h"

// ---------------------------------------------------------------- string pool

namespace {

inline uint32_t HashText(std::string_view s) {
  // FNV-1a, 32 bit, with a final mix: texts here are short.
  uint32_t h = 2166136261u;
  for (unsigned char c : s) h = (h ^ c) * 16777619u;
  h ^= h >> 15;
  h *= 0x2c1b3c6dU;
  h ^= h >> 12;
  return h;
}

}  // namespace

TStringPool::TStringPool() {
  FOffsets.push_back(0);
  FOffsets.push_back(0);  // id 0: ""
  FHashes.push_back(HashText({}));
  FSlots.assign(1024, 0);
  FSlots[FHashes[0] & (FSlots.size() - 1)] = 1;
}

void TStringPool::Grow() {
  std::vector<uint32_t> table(FSlots.size() * 2, 0);
  const size_t mask = table.size() - 1;
  for (uint32_t id = 0; id < FHashes.size(); ++id) {
    size_t i = FHashes[id] & mask;
    while (table[i] != 0) i = (i + 1) & mask;
    table[i] = id + 1;
  }
  FSlots.swap(table);
}

uint32_t TStringPool::Intern(std::string_view s) {
  if (s.empty()) return 0;
  const uint32_t h = HashText(s);
  const size_t mask = FSlots.size() - 1;
  size_t i = h & mask;
  while (uint32_t slot = FSlots[i]) {
    const uint32_t id = slot - 1;
    if (FHashes[id] == h) {
      std::string_view t = Get(id);
      if (t.size() == s.size() && std::memcmp(t.data(), s.data(), s.size()) == 0) return id;
    }
    i = (i + 1) & mask;
  }
  const uint32_t id = static_cast<uint32_t>(FHashes.size());
  FBytes.insert(FBytes.end(), s.begin(), s.end());
  FOffsets.push_back(FBytes.size());
  FHashes.push_back(h);
  FSlots[i] = id + 1;
  if (FHashes.size() * 2 > FSlots.size()) Grow();
  return id;
}

size_t TStringPool::MemoryUsed() const {
  return FBytes.capacity() + FOffsets.capacity() * sizeof(size_t) + FHashes.capacity() * 4 +
         FSlots.capacity() * 4;
}

// ---------------------------------------------------------------- store

struct TGridModel::Store {
  TStringPool Pool;
  std::vector<uint32_t> Cells;  // physical rows x Stride
  uint32_t Stride = 0;          // physical columns
  uint32_t PhysRows = 0;

  uint32_t& At(uint32_t prow, uint32_t pcol) { return Cells[static_cast<size_t>(prow) * Stride + pcol]; }
  uint32_t Get(uint32_t prow, uint32_t pcol) const { return Cells[static_cast<size_t>(prow) * Stride + pcol]; }
};

TGridModel::TGridModel(QObject* parent) : QAbstractTableModel(parent), FStore(std::make_shared<Store>()) {}

TGridModel::~TGridModel() = default;

TGridModel::Store& TGridModel::Mutable() {
  if (FStore.use_count() > 1) FStore = std::make_shared<Store>(*FStore);
  return *FStore;
}

const TStringPool& TGridModel::Pool() const { return FStore->Pool; }

void TGridModel::ResetOrder(int rows, int cols) {
  FRows.resize(rows);
  for (int r = 0; r < rows; ++r) FRows[r] = r;
  FCols.resize(cols);
  for (int c = 0; c < cols; ++c) FCols[c] = c;
  FWidths.assign(cols, DefaultColWidth);
  FFlags.assign(rows, 0);
  FHighlight.assign(rows, -1);
}

// ---------------------------------------------------------------- shape

void TGridModel::SetRowCount(int n) {
  n = std::max(n, 0);
  const int old = RowCount();
  if (n == old) return;
  const int fixed = FFixedRows;
  if (n < old) {
    const int dataFrom = std::max(n, fixed) - fixed, dataTo = old - fixed - 1;
    if (dataTo >= dataFrom) beginRemoveRows({}, dataFrom, dataTo);
    FRows.resize(n);
    if (dataTo >= dataFrom) endRemoveRows();
    return;
  }
  Store& s = Mutable();
  const int add = n - old;
  const int dataFrom = std::max(old, fixed) - fixed, dataTo = n - fixed - 1;
  if (dataTo >= dataFrom) beginInsertRows({}, dataFrom, dataTo);
  s.Cells.resize(static_cast<size_t>(s.PhysRows + add) * s.Stride, 0);
  for (int i = 0; i < add; ++i) FRows.push_back(s.PhysRows + i);
  s.PhysRows += add;
  FFlags.resize(s.PhysRows, 0);
  FHighlight.resize(s.PhysRows, -1);
  if (dataTo >= dataFrom) endInsertRows();
}

void TGridModel::SetColCount(int n) {
  n = std::max(n, 0);
  const int old = ColCount();
  if (n == old) return;
  if (n < old) {
    beginRemoveColumns({}, n, old - 1);
    FCols.resize(n);
    FWidths.resize(n);
    endRemoveColumns();
    return;
  }
  beginInsertColumns({}, old, n - 1);
  Store& s = Mutable();
  const uint32_t add = n - old;
  const uint32_t stride = s.Stride + add;
  std::vector<uint32_t> cells(static_cast<size_t>(s.PhysRows) * stride, 0);
  for (uint32_t r = 0; r < s.PhysRows; ++r)
    std::copy_n(s.Cells.begin() + static_cast<size_t>(r) * s.Stride, s.Stride, cells.begin() + static_cast<size_t>(r) * stride);
  for (uint32_t i = 0; i < add; ++i) {
    FCols.push_back(s.Stride + i);
    FWidths.push_back(DefaultColWidth);
  }
  s.Cells.swap(cells);
  s.Stride = stride;
  endInsertColumns();
}

void TGridModel::SetFixedRows(int n) {
  n = std::clamp(n, 0, 1);
  if (n == FFixedRows) return;
  beginResetModel();
  FFixedRows = n;
  endResetModel();
}

uint32_t TGridModel::CellId(int col, int row) const {
  if (col < 0 || row < 0 || col >= ColCount() || row >= RowCount()) return 0;
  return FStore->Get(FRows[row], FCols[col]);
}

std::string_view TGridModel::Cell(int col, int row) const { return FStore->Pool.Get(CellId(col, row)); }

void TGridModel::ForEachCell(int From, int To, const std::function<void(int col, uint32_t id)>& Visit) const {
  const Store& s = *FStore;
  const int cols = ColCount();
  To = std::min(To, RowCount());
  for (int r = std::max(From, 0); r < To; ++r) {
    const uint32_t* cells = s.Cells.data() + static_cast<size_t>(FRows[r]) * s.Stride;
    for (int c = 0; c < cols; ++c) Visit(c, cells[FCols[c]]);
  }
}

QString TGridModel::CellQ(int col, int row) const {
  std::string_view v = Cell(col, row);
  return QString::fromUtf8(v.data(), static_cast<qsizetype>(v.size()));
}

void TGridModel::SetCell(int col, int row, std::string_view text) {
  if (col < 0 || row < 0 || col >= ColCount() || row >= RowCount()) return;
  Store& s = Mutable();
  s.At(FRows[row], FCols[col]) = s.Pool.Intern(text);
  FHighlight[FRows[row]] = -1;
  if (row < FFixedRows) {
    emit headerDataChanged(Qt::Horizontal, col, col);
  } else {
    QModelIndex i = index(row - FFixedRows, col);
    emit dataChanged(i, i);
  }
}

std::vector<std::string> TGridModel::RowTexts(int row) const {
  std::vector<std::string> out;
  for (int c = 0; c < ColCount(); ++c) out.emplace_back(Cell(c, row));
  return out;
}

int TGridModel::ColumnOfTitle(std::string_view title) const {
  if (FFixedRows < 1) return -1;
  for (int c = 0; c < ColCount(); ++c)
    if (Cell(c, 0) == title) return c;
  return -1;
}

int TGridModel::ColWidth(int col) const { return col >= 0 && col < ColCount() ? FWidths[col] : 0; }

void TGridModel::SetColWidth(int col, int w) {
  if (col < 0 || col >= ColCount() || FWidths[col] == w) return;
  FWidths[col] = w;
  emit ColWidthChanged(col, w);
}

uint8_t TGridModel::RowFlags(int row) const {
  return row >= 0 && row < RowCount() ? FFlags[FRows[row]] : 0;
}

void TGridModel::SetRowFlags(int row, uint8_t flags) {
  if (row >= 0 && row < RowCount()) FFlags[FRows[row]] = flags;
}

// ---------------------------------------------------------------- filling

void TGridModel::Fill(const std::vector<std::string>& titles, int rowCount,
                      const std::function<std::string_view(int, int)>& cell) {
  beginResetModel();
  auto s = std::make_shared<Store>();
  const int cols = static_cast<int>(titles.size());
  rowCount = std::max(rowCount, 0);
  s->Stride = cols;
  s->PhysRows = rowCount + 1;
  s->Cells.resize(static_cast<size_t>(s->PhysRows) * cols);
  for (int c = 0; c < cols; ++c) s->At(0, c) = s->Pool.Intern(titles[c]);
  for (int r = 0; r < rowCount; ++r)
    for (int c = 0; c < cols; ++c) s->At(r + 1, c) = s->Pool.Intern(cell(r, c));
  FStore = std::move(s);
  FFixedRows = 1;
  ResetOrder(rowCount + 1, cols);
  endResetModel();
}

// ---------------------------------------------------------------- rows straight from a query

TGridRowFill::TGridRowFill(std::function<void()> Breathe)
    : FStore(std::make_shared<TGridModel::Store>()), FBreathe(std::move(Breathe)) {}

TGridRowFill::~TGridRowFill() = default;

int TGridRowFill::RowCount() const { return FStore->PhysRows > 0 ? static_cast<int>(FStore->PhysRows) - 1 : 0; }

void TGridRowFill::Row(const TSQLiteRow& Row) {
  TGridModel::Store& s = *FStore;
  if (s.PhysRows == 0) {
    // The first row: the columns, and physical row 0 kept for the titles.
    const int cols = Row.ColCount();
    FNames.clear();
    for (int c = 0; c < cols; ++c) FNames.push_back(Row.ColumnName(c));
    s.Stride = static_cast<uint32_t>(cols);
    s.Cells.assign(s.Stride, 0);
    s.PhysRows = 1;
  }
  if (s.PhysRows >= static_cast<uint32_t>(INT32_MAX)) throw std::length_error("too many rows for the grid");
  const size_t at = s.Cells.size();
  s.Cells.resize(at + s.Stride);
  uint32_t* cell = s.Cells.data() + at;
  for (uint32_t c = 0; c < s.Stride; ++c) cell[c] = s.Pool.Intern(Row.Text(static_cast<int>(c), FScratch));
  ++s.PhysRows;
  if (FBreathe && (s.PhysRows & 1023) == 0) FBreathe();
}

void TGridModel::Fill(TGridRowFill& Rows, const std::vector<std::string>& titles) {
  beginResetModel();
  std::shared_ptr<Store> s = std::move(Rows.FStore);
  Rows.FStore = std::make_shared<Store>();
  if (s->PhysRows == 0) {
    // No rows: the titles alone.
    s->Stride = static_cast<uint32_t>(titles.size());
    s->Cells.assign(s->Stride, 0);
    s->PhysRows = 1;
  }
  s->Cells.shrink_to_fit();
  for (uint32_t c = 0; c < s->Stride && c < titles.size(); ++c) s->At(0, c) = s->Pool.Intern(titles[c]);
  FStore = std::move(s);
  FFixedRows = 1;
  ResetOrder(static_cast<int>(FStore->PhysRows), static_cast<int>(FStore->Stride));
  endResetModel();
}

void TGridModel::Fill(const std::vector<std::string>& titles, const std::vector<std::vector<std::string>>& rows) {
  static const std::string empty;
  Fill(titles, static_cast<int>(rows.size()), [&](int r, int c) -> std::string_view {
    return static_cast<size_t>(c) < rows[r].size() ? std::string_view(rows[r][c]) : std::string_view(empty);
  });
}

void TGridModel::FillFromTable(TSQLiteTbl& tbl, const std::vector<std::string>* titles,
                               const std::function<void()>& breathe) {
  const int cols = tbl.ColCount();
  std::vector<std::string> names;
  if (titles) {
    names = *titles;
    names.resize(cols);
  } else {
    for (int c = 0; c < cols; ++c) names.push_back(tbl.Columns(c));
  }
  const int start = tbl.Row();
  const int rows = std::max(0, tbl.Count() - start);
  beginResetModel();
  auto s = std::make_shared<Store>();
  s->Stride = cols;
  s->PhysRows = rows + 1;
  s->Cells.resize(static_cast<size_t>(s->PhysRows) * cols);
  for (int c = 0; c < cols; ++c) s->At(0, c) = s->Pool.Intern(names[c]);
  std::vector<bool> numericCol(cols);
  for (int c = 0; c < cols; ++c) numericCol[c] = tbl.ColType(c) == sctInteger || tbl.ColType(c) == sctFloat;
  std::string tmp;
  auto lastBreath = std::chrono::steady_clock::now();
  for (int r = 0; r < rows; ++r) {
    tbl.MoveTo(start + r);
    for (int c = 0; c < cols; ++c) {
      const int t = tbl.FieldType(c);
      uint32_t id;
      if (t == sctText || t == sctBlob) {
        id = s->Pool.Intern(tbl.FieldText(c));
      } else if (t == sctNull) {
        id = numericCol[c] ? s->Pool.Intern("0") : 0;
      } else {
        tmp = tbl.Fields(c);
        id = s->Pool.Intern(tmp);
      }
      s->At(r + 1, c) = id;
    }
    // Pending window messages run about every 50 ms, not after every row.
    if (breathe && (r & 1023) == 1023) {
      const auto now = std::chrono::steady_clock::now();
      if (now - lastBreath >= std::chrono::milliseconds(50)) {
        breathe();
        lastBreath = now;
      }
    }
  }
  tbl.MoveTo(start);
  FStore = std::move(s);
  FFixedRows = 1;
  ResetOrder(rows + 1, cols);
  endResetModel();
}

void TGridModel::Clear() {
  beginResetModel();
  FStore = std::make_shared<Store>();
  ResetOrder(0, 0);
  endResetModel();
}

void TGridModel::AssignFrom(const TGridModel& src) {
  if (&src == this) return;
  beginResetModel();
  FStore = src.FStore;
  FRows = src.FRows;
  FCols = src.FCols;
  FWidths = src.FWidths;
  FFlags = src.FFlags;
  FFixedRows = src.FFixedRows;
  DefaultColWidth = src.DefaultColWidth;
  FWords = src.FWords;
  FHighlight = src.FHighlight;
  endResetModel();
}

// ---------------------------------------------------------------- operations

namespace {

// A numeric key: blanks around it allowed, an optional sign, the usual decimal forms.
bool ParseNumber(std::string_view s, double& v) {
  while (!s.empty() && static_cast<unsigned char>(s.front()) <= 32) s.remove_prefix(1);
  while (!s.empty() && static_cast<unsigned char>(s.back()) <= 32) s.remove_suffix(1);
  if (!s.empty() && s.front() == '+') s.remove_prefix(1);
  if (s.empty() || s.front() == '+') return false;
  auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
  return ec == std::errc() && p == s.data() + s.size() && std::isfinite(v);
}

}  // namespace

TGridSortResult TGridModel::SortRows(int col, TGridSortKind kind, TXlSortOrder order) {
  TGridSortResult res;
  const int first = FFixedRows, n = RowCount() - FFixedRows;
  if (col < 0 || col >= ColCount() || n < 1) return res;
  const Store& s = *FStore;
  const uint32_t pc = FCols[col];

  // Distinct texts of the column, each keyed once.
  std::vector<int32_t> slot(s.Pool.Count(), -1);
  std::vector<uint32_t> distinct;
  std::vector<uint32_t> rowSlot(n);
  for (int i = 0; i < n; ++i) {
    const uint32_t id = s.Get(FRows[first + i], pc);
    if (slot[id] < 0) {
      slot[id] = static_cast<int32_t>(distinct.size());
      distinct.push_back(id);
    }
    rowSlot[i] = static_cast<uint32_t>(slot[id]);
  }
  const size_t d = distinct.size();
  std::vector<uint32_t> orderOf(d);
  for (size_t i = 0; i < d; ++i) orderOf[i] = static_cast<uint32_t>(i);
  std::vector<uint32_t> rank(d);

  if (kind == gskNumeric) {
    // Class 0 empty, 1 number, 2 not a number; numbers by value.
    std::vector<uint8_t> cls(d);
    std::vector<double> val(d, 0);
    for (size_t i = 0; i < d; ++i) {
      std::string_view t = s.Pool.Get(distinct[i]);
      if (t.empty()) cls[i] = 0;
      else if (ParseNumber(t, val[i])) cls[i] = 1;
      else {
        cls[i] = 2;
        ++res.FailedConversions;
      }
    }
    auto less = [&](uint32_t a, uint32_t b) {
      if (cls[a] != cls[b]) return cls[a] < cls[b];
      return cls[a] == 1 && val[a] < val[b];
    };
    std::sort(orderOf.begin(), orderOf.end(), less);
    uint32_t rk = 0;
    for (size_t i = 0; i < d; ++i) {
      if (i > 0 && less(orderOf[i - 1], orderOf[i])) ++rk;
      rank[orderOf[i]] = rk;
    }
  } else {
    std::vector<std::string> keys(d);
    for (size_t i = 0; i < d; ++i) Cp932SortKey(s.Pool.Get(distinct[i]), keys[i]);
    std::sort(orderOf.begin(), orderOf.end(), [&](uint32_t a, uint32_t b) { return keys[a] < keys[b]; });
    uint32_t rk = 0;
    for (size_t i = 0; i < d; ++i) {
      if (i > 0 && keys[orderOf[i - 1]] != keys[orderOf[i]]) ++rk;
      rank[orderOf[i]] = rk;
    }
  }
  uint32_t maxRank = 0;
  for (uint32_t r : rank) maxRank = std::max(maxRank, r);
  if (order == xlSortDesc)
    for (auto& r : rank) r = maxRank - r;

  // Counting sort by rank: stable, so equal keys keep their previous order in both directions.
  std::vector<uint32_t> start(maxRank + 2, 0);
  for (int i = 0; i < n; ++i) ++start[rank[rowSlot[i]] + 1];
  for (size_t k = 1; k < start.size(); ++k) start[k] += start[k - 1];
  std::vector<uint32_t> sorted(n);
  for (int i = 0; i < n; ++i) sorted[start[rank[rowSlot[i]]]++] = FRows[first + i];

  // The data rows change their contents in place (the string grid's sort: selection and
  // current cell stay where they are).  Told as changed data, not as a new layout, the views
  // keep their persistent indexes and an accessibility bridge its cell objects, instead of
  // rebuilding them per row.
  std::copy(sorted.begin(), sorted.end(), FRows.begin() + first);
  emit dataChanged(index(0, 0), index(n - 1, ColCount() - 1), {Qt::DisplayRole});
  res.Sorted = true;
  return res;
}

bool TGridModel::RemoveRow(int row) {
  if (row < FFixedRows || row >= RowCount()) return false;
  beginRemoveRows({}, row - FFixedRows, row - FFixedRows);
  FRows.erase(FRows.begin() + row);
  endRemoveRows();
  return true;
}

bool TGridModel::RemoveColumn(int col) {
  if (col < 0 || col >= ColCount()) return false;
  beginRemoveColumns({}, col, col);
  FCols.erase(FCols.begin() + col);
  FWidths.erase(FWidths.begin() + col);
  std::fill(FHighlight.begin(), FHighlight.end(), -1);
  endRemoveColumns();
  return true;
}

bool TGridModel::SwapRows(int a, int b) {
  if (a < FFixedRows || b < FFixedRows || a >= RowCount() || b >= RowCount()) return false;
  if (a == b) return true;
  std::swap(FRows[a], FRows[b]);
  const int lo = std::min(a, b) - FFixedRows, hi = std::max(a, b) - FFixedRows;
  emit dataChanged(index(lo, 0), index(hi, std::max(0, ColCount() - 1)));
  return true;
}

void TGridModel::SetHighlightWords(std::vector<std::string> words) {
  words.erase(std::remove_if(words.begin(), words.end(), [](const std::string& w) { return w.empty(); }),
              words.end());
  FWords = std::move(words);
  std::fill(FHighlight.begin(), FHighlight.end(), -1);
  if (rowCount() > 0) emit dataChanged(index(0, 0), index(rowCount() - 1, std::max(0, ColCount() - 1)));
}

bool TGridModel::RowHighlighted(int row) const {
  if (FWords.empty() || row < FFixedRows || row >= RowCount()) return false;
  int8_t& h = FHighlight[FRows[row]];
  if (h < 0) {
    h = 0;
    for (int c = 0; c < ColCount() && !h; ++c) {
      std::string_view t = Cell(c, row);
      for (const auto& w : FWords)
        if (t.find(w) != std::string_view::npos) {
          h = 1;
          break;
        }
    }
  }
  return h == 1;
}

size_t TGridModel::MemoryUsed() const {
  return FStore->Pool.MemoryUsed() + FStore->Cells.capacity() * 4 + FRows.capacity() * 4 + FCols.capacity() * 4 +
         FFlags.capacity() + FHighlight.capacity();
}

// ---------------------------------------------------------------- Qt model

int TGridModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : std::max(0, RowCount() - FFixedRows);
}

int TGridModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : ColCount(); }

QVariant TGridModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid()) return {};
  const int row = index.row() + FFixedRows;
  switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
      return CellQ(index.column(), row);
    case Qt::TextAlignmentRole:
      if (FFixedRows > 0 && IsNumberTitle(Cell(index.column(), 0)))
        return QVariant::fromValue(Qt::Alignment(Qt::AlignRight | Qt::AlignTop));
      return QVariant::fromValue(Qt::Alignment(Qt::AlignLeft | Qt::AlignTop));
    default:
      return {};
  }
}

bool TGridModel::setData(const QModelIndex& index, const QVariant& value, int role) {
  if (!index.isValid() || role != Qt::EditRole) return false;
  SetCell(index.column(), index.row() + FFixedRows, value.toString().toStdString());
  return true;
}

QVariant TGridModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation == Qt::Horizontal) {
    if (role == Qt::DisplayRole && FFixedRows > 0) return CellQ(section, 0);
    if (role == Qt::TextAlignmentRole) return QVariant::fromValue(Qt::Alignment(Qt::AlignLeft | Qt::AlignVCenter));
    return {};
  }
  if (role == Qt::DisplayRole) return section + FFixedRows;
  return {};
}

Qt::ItemFlags TGridModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::NoItemFlags;
  Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
  if (Editable) f |= Qt::ItemIsEditable;
  return f;
}
