// The SQLite access layer: the rows of a query handed on as they are stepped (GetRows).
#include <sqlite3.h>

#include <charconv>
#include <cstring>

#include "database/sql_functions.h"
#include "database/sqlite_db.h"
#include "database/sqlite_db_detail.h"

using sqlite_detail::StmtGuard;

int TSQLiteRow::ColCount() const { return sqlite3_column_count(FStmt); }

std::string TSQLiteRow::ColumnName(int i) const {
  const char* n = sqlite3_column_name(FStmt, i);
  return n ? n : "";
}

std::string_view TSQLiteRow::Text(int i, std::string& Scratch) const {
  switch (sqlite3_column_type(FStmt, i)) {
    case SQLITE_INTEGER: {
      char buf[24];
      auto r = std::to_chars(buf, buf + sizeof buf, static_cast<int64_t>(sqlite3_column_int64(FStmt, i)));
      Scratch.assign(buf, r.ptr);
      return Scratch;
    }
    case SQLITE_FLOAT:
      Scratch = sqlite_detail::FormatFloat(sqlite3_column_double(FStmt, i));
      return Scratch;
    case SQLITE_TEXT: {
      const char* p = reinterpret_cast<const char*>(sqlite3_column_text(FStmt, i));
      if (!p) return {};
      size_t len = static_cast<size_t>(sqlite3_column_bytes(FStmt, i));
      // Column text is taken up to its first NUL, as the result cursor takes it.
      if (const void* z = std::memchr(p, 0, len)) len = static_cast<size_t>(static_cast<const char*>(z) - p);
      return std::string_view(p, len);
    }
    case SQLITE_BLOB: {
      const char* p = static_cast<const char*>(sqlite3_column_blob(FStmt, i));
      if (!p) return {};
      return std::string_view(p, static_cast<size_t>(sqlite3_column_bytes(FStmt, i)));
    }
    default:
      return {};
  }
}

int64_t TSQLiteDb::GetRows(const std::string& SQL, TSQLiteRowSink& Sink) {
  const std::string text = PreconvSql(SQL);
  RefuseNul(text, SQL);
  const char* p = text.c_str();
  const char* const end = p + text.size();
  int64_t rows = 0;
  // As GetTable: with ExecAll the statements run until the first that returns rows.
  while (p < end && rows == 0) {
    GuardReplacedFiles(SQL);
    StmtGuard g;
    const char* tail = nullptr;
    if (sqlite3_prepare_v2(FHandle, p, static_cast<int>(end - p), &g.st, &tail) != SQLITE_OK)
      Fail("Error executing SQL", SQL);
    if (!g.st) break;
    const TSQLiteRow row(g.st);
    for (;;) {
      const int rc = sqlite3_step(g.st);
      if (rc == SQLITE_DONE) break;
      if (rc == SQLITE_ROW) {
        Sink.Row(row);
        ++rows;
        continue;
      }
      const std::string msg = rc == SQLITE_BUSY ? std::string() : ErrorText("Could not retrieve data", SQL);
      const int code = LastErrorCode();
      g.Finalize();
      if (rc == SQLITE_BUSY) FailWith("Could not prepare SQL statement", SQL, "SQLite is Busy");
      Rollback();
      throw ESQLiteException(msg, code);
    }
    g.Finalize();
    if (!ExecAll) break;
    p = tail;
  }
  return rows;
}
