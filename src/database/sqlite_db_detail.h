#pragma once
// Pieces the connection, statement and result-table files of the SQLite layer share.
#include <sqlite3.h>

#include <charconv>
#include <cstdint>
#include <string>

#include "database/sqlite_db.h"

namespace sqlite_detail {

// Why a statement is refused on a connection whose files an update replaced.
inline constexpr const char* kFilesReplacedText =
    "データベースのファイルが更新で置き換えられました。開き直してください (the database files were replaced)";

// Owns a statement for the span of one loop turn.
struct StmtGuard {
  sqlite3_stmt* st = nullptr;
  ~StmtGuard() {
    if (st) sqlite3_finalize(st);
  }
  void Finalize() {
    if (st) sqlite3_finalize(st);
    st = nullptr;
  }
};

inline std::string FormatInt(int64_t v) {
  char buf[24];
  auto r = std::to_chars(buf, buf + sizeof buf, v);
  return std::string(buf, r.ptr);
}

// The general format with up to 15 significant digits, independent of the C locale.
inline std::string FormatFloat(double v) {
  char buf[40];
  auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::general, 15);
  return std::string(buf, r.ptr);
}

inline void RequireStmt(sqlite3_stmt* st) {
  if (!st) throw ESQLiteException("Statement is not prepared");
}

}  // namespace sqlite_detail
