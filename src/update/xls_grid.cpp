#include "update/xls_grid.h"

#include <algorithm>
#include <limits>

#include "update/xbiff.h"

namespace {

std::string BaseNameWithoutXls(const std::string& path) {
  auto slash = path.find_last_of('/');
  std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  if (name.size() > 4) {
    std::string ext = name.substr(name.size() - 4);
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
    if (ext == ".xls") name.resize(name.size() - 4);
  }
  return name;
}

void ReplaceAllIn(std::string& s, const std::string& from, const std::string& to) {
  for (size_t p = s.find(from); p != std::string::npos; p = s.find(from, p + to.size())) s.replace(p, from.size(), to);
}

}  // namespace

std::string XlsCellText(std::string Text) {
  static const std::string kBad = "“京都微研\"ｷｭｰﾋﾞｵZY";
  static const std::string kGood = "“京都微研”ｷｭｰﾋﾞｵZY";
  if (Text.find(kBad) != std::string::npos) ReplaceAllIn(Text, kBad, kGood);
  return Text;
}

void TXlsGridRows::Load(const std::string& FileName, const std::string& WantedSheet, bool ReadDate) {
  cells_.clear();
  text_.clear();
  sheetNames_.clear();
  date_.clear();
  wanted_ = 0;
  rows_ = 0;
  cols_ = 0;
  outside_ = 0;
  Rewind();
  wantedName_ = WantedSheet.empty() ? BaseNameWithoutXls(FileName) : WantedSheet;

  int lastRow = -1, lastCol = -1;
  TXBiff reader;
  reader.OnReadSheetName = [&](TXBiff*, const std::string& name) {
    sheetNames_.push_back(name);
    if (name == wantedName_ && wanted_ == 0) wanted_ = static_cast<int>(sheetNames_.size());
  };
  reader.OnReadCell = [&](TXBiff*, int sheet, int row, int col, int, const std::string& data, bool& cancel) {
    if (Aborted && Aborted()) {
      cancel = true;
      return;
    }
    // The sentence stands on a sheet of its own before the data; a workbook whose first sheet
    // is the data sheet has its header there instead.
    if (ReadDate && sheet == 1 && row == 0 && col == 0 && wanted_ != 1) {
      date_ = data;
      return;
    }
    if (wanted_ == 0 || sheet != wanted_ || row < 0 || col < 0) return;
    if (row == 0) lastCol = std::max(lastCol, col);
    if (col == 0) lastRow = std::max(lastRow, row);
    if (data.empty()) return;
    // Only a text with a double quote can need the repair: no copy for the others.
    const std::string fixed = data.find('"') != std::string::npos ? XlsCellText(data) : std::string();
    const std::string& text = fixed.empty() ? data : fixed;
    if (text_.size() + text.size() > std::numeric_limits<uint32_t>::max())
      throw EXBiffError(kXBiffUnknownFormat);
    cells_.push_back({row, col, static_cast<uint32_t>(text_.size()), static_cast<uint32_t>(text.size())});
    text_ += text;
  };
  if (OnProgress) reader.OnProgress = [this](TXBiff*, int pct) { OnProgress(pct); };
  reader.LoadFromFile(FileName);

  // The grid spans the header row's columns and the first column's rows; cells outside it
  // are not part of the sheet's table.
  rows_ = lastRow + 1;
  cols_ = lastCol + 1;
  // Cells come in row order in every workbook we know; sort only a file that differs.
  auto before = [](const Cell& a, const Cell& b) { return a.row != b.row ? a.row < b.row : a.col < b.col; };
  if (!std::is_sorted(cells_.begin(), cells_.end(), before)) std::stable_sort(cells_.begin(), cells_.end(), before);
  // One cell per position (a later record for the same cell wins) and only inside the grid.
  std::vector<Cell> kept;
  kept.reserve(cells_.size());
  for (const Cell& c : cells_) {
    if (c.row >= rows_ || c.col >= cols_) {
      ++outside_;
      continue;
    }
    if (!kept.empty() && kept.back().row == c.row && kept.back().col == c.col)
      kept.back() = c;
    else
      kept.push_back(c);
  }
  cells_.swap(kept);
}

bool TXlsGridRows::NextRow(std::vector<std::string>& Row) {
  if (next_ >= rows_) return false;
  // As wide as the row's last cell: a sparse sheet (a stray cell far right and one far down)
  // costs its cells, not rows times columns.
  size_t end = cell_;
  while (end < cells_.size() && cells_[end].row == next_) ++end;
  Row.assign(end > cell_ ? static_cast<size_t>(cells_[end - 1].col) + 1 : 0, std::string());
  for (; cell_ < end; ++cell_) {
    const Cell& c = cells_[cell_];
    Row[static_cast<size_t>(c.col)].assign(text_, c.off, c.len);
  }
  ++next_;
  return true;
}

void TXlsWorkbookRows::Ensure() const {
  if (grid_ || rows_ >= 0) return;
  auto g = std::make_unique<TXlsGridRows>();
  g->Load(file_, wanted_);
  if (!g->SheetFound()) {
    std::string names;
    for (const auto& n : g->SheetNames()) names += (names.empty() ? "" : ", ") + n;
    throw EXBiffError(file_ + ": シート " + g->WantedSheet() + " がありません (" + names + ")");
  }
  rows_ = g->Rows();
  grid_ = std::move(g);
}

int64_t TXlsWorkbookRows::RowCountHint() const {
  Ensure();
  return rows_;
}

bool TXlsWorkbookRows::NextRow(std::vector<std::string>& Row) {
  if (done_) return false;
  Ensure();
  if (grid_->NextRow(Row)) return true;
  done_ = true;
  grid_.reset();  // the cells are no longer needed
  return false;
}
