#include "database/import_rows.h"

#include "database/csv_split.h"
#include "database/import_reader.h"

TCsvFileRows::TCsvFileRows(const std::string& FileName) : in_(std::make_unique<TTextFileReader>(FileName)) {
  rows_ = LineCount(FileName);
}

TCsvFileRows::~TCsvFileRows() = default;

bool TCsvFileRows::NextRow(std::vector<std::string>& Row) {
  std::string line, more;
  if (!in_->ReadLine(line)) return false;
  // A quoted field with line breaks continues on the next lines.
  while (CountChar(line, '"') % 2 == 1 && in_->ReadLine(more)) line += "\n" + more;
  SplitCsvLine(line, '"', Row);
  return true;
}
