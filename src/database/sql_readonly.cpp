#include "database/sql_readonly.h"

#include <sqlite3.h>

#include <cstring>
#include <string_view>

#include "database/sql_functions.h"
#include "database/sqlite_db.h"

namespace {

// Pragmas that read with an argument.
constexpr std::string_view kReadingPragmas[] = {
    "table_info", "table_xinfo", "index_info", "index_xinfo", "index_list", "foreign_key_list",
    "foreign_key_check", "integrity_check", "quick_check", "table_list",
};

bool SameNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && sqlite3_strnicmp(a.data(), b.data(), static_cast<int>(a.size())) == 0;
}

struct TPragmaSeen {
  bool Writes = false;
};

int Authorizer(void* data, int action, const char* a1, const char* a2, const char*, const char*) {
  if (action != SQLITE_PRAGMA || !a1) return SQLITE_OK;
  auto* seen = static_cast<TPragmaSeen*>(data);
  const std::string_view name(a1);
  // PRAGMA optimize may run ANALYZE.
  if (SameNoCase(name, "optimize")) seen->Writes = true;
  if (a2) {
    bool reads = false;
    for (std::string_view p : kReadingPragmas)
      if (SameNoCase(name, p)) reads = true;
    if (!reads) seen->Writes = true;
  }
  return SQLITE_OK;
}

struct TAuthorizerScope {
  sqlite3* Db;
  TAuthorizerScope(sqlite3* db, TPragmaSeen* seen) : Db(db) { sqlite3_set_authorizer(db, Authorizer, seen); }
  ~TAuthorizerScope() { sqlite3_set_authorizer(Db, nullptr, nullptr); }
};

std::string Trimmed(const char* from, const char* to) {
  std::string_view s(from, static_cast<size_t>(to - from));
  const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
  while (!s.empty() && blank(s.front())) s.remove_prefix(1);
  while (!s.empty() && blank(s.back())) s.remove_suffix(1);
  return std::string(s);
}

}  // namespace

TReadOnlyCheck CheckReadOnlySql(TSQLiteDb& Db, const std::string& SQL) {
  TReadOnlyCheck result;
  const std::string text = PreconvSql(SQL);
  sqlite3* h = Db.Handle();
  const char* p = text.c_str();
  const char* const end = p + text.size();
  while (p < end) {
    TPragmaSeen seen;
    sqlite3_stmt* st = nullptr;
    const char* tail = nullptr;
    int rc;
    {
      TAuthorizerScope scope(h, &seen);
      rc = sqlite3_prepare_v2(h, p, static_cast<int>(end - p), &st, &tail);
    }
    if (rc != SQLITE_OK) Db.RaiseError("Error executing SQL", SQL);
    if (!st) break;  // only blanks or comments were left
    const bool reads = sqlite3_stmt_readonly(st) && sqlite3_column_count(st) > 0 && !seen.Writes;
    sqlite3_finalize(st);
    if (!reads) {
      result.ReadOnly = false;
      result.Statement = Trimmed(p, tail);
      return result;
    }
    p = tail;
  }
  return result;
}
