#pragma once
// SQLite helpers of the benchmarks: the plain read that serves as a baseline, and test tables.
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "bench_stats.h"
#include "database/sqlite_db.h"

// Empty when the two queries give the same rows in the same order (each value with its type),
// with the same count and nothing in either EXCEPT the other; else what differs.
inline std::string CompareRows(TSQLiteDb& db, const std::string& a, const std::string& b) {
  auto ta = db.GetTable(a), tb = db.GetTable(b);
  if (ta->Count() != tb->Count())
    return "count " + std::to_string(ta->Count()) + " against " + std::to_string(tb->Count());
  for (const auto& [x, y] : {std::pair{a, b}, std::pair{b, a}}) {
    auto n = db.GetTable("SELECT count(*) FROM (" + x + " EXCEPT " + y + ")");
    if (n->FieldAsInteger(0) != 0) return std::to_string(n->FieldAsInteger(0)) + " rows in EXCEPT";
  }
  if (ta->ColCount() != tb->ColCount()) return "column count";
  for (int c = 0; c < ta->ColCount(); ++c)
    if (ta->ColumnName(c) != tb->ColumnName(c)) return "column " + ta->ColumnName(c) + " / " + tb->ColumnName(c);
  int r = 0;
  for (ta->MoveFirst(), tb->MoveFirst(); !ta->Eof(); ta->Next(), tb->Next(), ++r)
    for (int c = 0; c < ta->ColCount(); ++c)
      if (ta->FieldType(c) != tb->FieldType(c) || ta->FieldAsString(c) != tb->FieldAsString(c))
        return "row " + std::to_string(r) + " column " + ta->ColumnName(c);
  return {};
}

// Reads every row and every column of a statement as text, as a grid would, with nothing kept:
// seconds and row count.
inline std::pair<double, long> ReadAllText(TSQLiteDb& db, const std::string& sql) {
  const double t0 = Now();
  TSQLiteStmt st = db.Prepare(sql);
  long rows = 0;
  size_t bytes = 0;
  const int cols = st.ColumnCount();
  while (st.Step()) {
    ++rows;
    for (int c = 0; c < cols; ++c) bytes += st.ColumnText(c).size();
  }
  if (bytes == 1) std::printf(" ");  // keep the reads
  return {Now() - t0, rows};
}

// The same, the row count given back through rows.
inline double ReadAllText(TSQLiteDb& db, const std::string& sql, long& rows) {
  const auto [secs, n] = ReadAllText(db, sql);
  rows = n;
  return secs;
}

// Creates TABLE with the column definitions given ("name TYPE") and inserts ROWS rows in one
// transaction; cell(col, row) gives each value, row by row and column by column.
template <typename Cell>
void CreateFilledTable(TSQLiteDb& db, const std::string& table, const std::vector<std::string>& columns, int rows,
                       Cell cell) {
  std::string create = "CREATE TABLE " + table + "(";
  std::string insert = "INSERT INTO " + table + " VALUES(";
  for (size_t c = 0; c < columns.size(); ++c) {
    create += (c ? ", " : "") + columns[c];
    insert += c ? ", ?" : "?";
  }
  db.ExecSQL(create + ")");
  db.BeginTransaction();
  {
    TSQLiteStmt st = db.Prepare(insert + ")");
    std::vector<TSQLiteParam> values(columns.size());
    for (int r = 0; r < rows; ++r) {
      for (size_t c = 0; c < columns.size(); ++c) values[c] = cell(static_cast<int>(c), r);
      st.Exec(TSQLiteParams(values.data(), values.size()));
    }
  }
  db.Commit();
}
