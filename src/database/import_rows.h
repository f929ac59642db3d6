#pragma once
// Rows of strings for the importers of spreadsheet data: the spreadsheet reader hands each
// sheet over row by row (cells as UTF-8 text, a row may be shorter than the sheet: missing
// cells are empty).
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class TTextFileReader;

class TRowSource {
 public:
  virtual ~TRowSource() = default;
  // The next row into Row (replacing its contents); false after the last row.
  virtual bool NextRow(std::vector<std::string>& Row) = 0;
  // Number of rows in all, -1 when unknown (then no progress is shown).
  virtual int64_t RowCountHint() const { return -1; }
};

// Rows held in memory (a whole sheet, or test data).
class TStringGridRows : public TRowSource {
 public:
  TStringGridRows() = default;
  explicit TStringGridRows(std::vector<std::vector<std::string>> rows) : rows_(std::move(rows)) {}
  void Add(std::vector<std::string> row) { rows_.push_back(std::move(row)); }
  bool NextRow(std::vector<std::string>& Row) override {
    if (next_ >= rows_.size()) return false;
    Row = rows_[next_++];
    return true;
  }
  int64_t RowCountHint() const override { return static_cast<int64_t>(rows_.size()); }
  void Rewind() { next_ = 0; }
  const std::vector<std::vector<std::string>>& Rows() const { return rows_; }

 private:
  std::vector<std::vector<std::string>> rows_;
  size_t next_ = 0;
};

// The rows of a sheet saved as CSV (double quotes, UTF-8 or CP932, a quoted field may hold
// line breaks): the spreadsheet rows of the developer tool and of the tests.
class TCsvFileRows : public TRowSource {
 public:
  explicit TCsvFileRows(const std::string& FileName);  // raises EImportFileError
  ~TCsvFileRows() override;
  bool NextRow(std::vector<std::string>& Row) override;
  int64_t RowCountHint() const override { return rows_; }

 private:
  std::unique_ptr<TTextFileReader> in_;
  int64_t rows_ = -1;
};
