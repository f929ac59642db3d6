// The SQLite access layer: a prepared statement with bound parameters (TSQLiteStmt).
#include <sqlite3.h>

#include "database/sql_functions.h"
#include "database/sqlite_db.h"
#include "database/sqlite_db_detail.h"

using sqlite_detail::kFilesReplacedText;
using sqlite_detail::RequireStmt;

TSQLiteStmt::TSQLiteStmt(TSQLiteDb& Db, const std::string& SQL) : FDb(&Db), FSQL(SQL) {
  const std::string text = PreconvSql(SQL);
  Db.RefuseNul(text, SQL);
  Db.GuardReplacedFiles(SQL);
  if (sqlite3_prepare_v2(Db.FHandle, text.c_str(), static_cast<int>(text.size()), &FStmt, nullptr) != SQLITE_OK) {
    sqlite3_finalize(FStmt);
    FStmt = nullptr;
    Db.Fail("Error executing SQL", SQL);
  }
  if (!FStmt) throw ESQLiteException("Error executing SQL \"" + SQL + "\" : No statement");
}

TSQLiteStmt::~TSQLiteStmt() {
  if (FStmt) sqlite3_finalize(FStmt);
}

TSQLiteStmt::TSQLiteStmt(TSQLiteStmt&& o) noexcept : FDb(o.FDb), FStmt(o.FStmt), FSQL(std::move(o.FSQL)) {
  o.FStmt = nullptr;
}

TSQLiteStmt& TSQLiteStmt::operator=(TSQLiteStmt&& o) noexcept {
  if (this != &o) {
    if (FStmt) sqlite3_finalize(FStmt);
    FDb = o.FDb;
    FStmt = o.FStmt;
    FSQL = std::move(o.FSQL);
    o.FStmt = nullptr;
  }
  return *this;
}

TSQLiteStmt& TSQLiteStmt::Bind(int Index, const TSQLiteParam& Value) {
  RequireStmt(FStmt);
  FDb->BindOne(FStmt, Index, Value, FSQL);
  return *this;
}

TSQLiteStmt& TSQLiteStmt::BindInt(int Index, int64_t Value) { return Bind(Index, TSQLiteParam(Value)); }

TSQLiteStmt& TSQLiteStmt::BindText(int Index, std::string_view Value) {
  RequireStmt(FStmt);
  if (sqlite3_bind_text64(FStmt, Index, Value.data(), Value.size(), SQLITE_TRANSIENT, SQLITE_UTF8) != SQLITE_OK)
    FDb->Fail("Error binding parameter of SQL", FSQL);
  return *this;
}

TSQLiteStmt& TSQLiteStmt::BindNull(int Index) { return Bind(Index, TSQLiteParam()); }

TSQLiteStmt& TSQLiteStmt::BindAll(TSQLiteParams Params) {
  RequireStmt(FStmt);
  FDb->BindParams(FStmt, Params, FSQL);
  return *this;
}

int TSQLiteStmt::ParamCount() const { return FStmt ? sqlite3_bind_parameter_count(FStmt) : 0; }

int TSQLiteStmt::ParamIndex(const std::string& Name) const {
  return FStmt ? sqlite3_bind_parameter_index(FStmt, Name.c_str()) : 0;
}

bool TSQLiteStmt::Step() {
  RequireStmt(FStmt);
  // A statement prepared before its connection was opened again, or about to begin a
  // transaction on files that were replaced since, would read or write the old files.
  if (!sqlite3_stmt_busy(FStmt)) {
    // A statement of the old connection leaves the transaction of the current one alone.
    sqlite3* h = sqlite3_db_handle(FStmt);
    const bool oldConnection = h != FDb->FHandle;
    if (oldConnection || (sqlite3_txn_state(h, nullptr) == SQLITE_TXN_NONE && FDb->FilesReplaced())) {
      if (!oldConnection) FDb->Rollback();
      throw ESQLiteException("Error executing SQL statement \"" + FSQL + "\" : " + kFilesReplacedText,
                             SQLITE_READONLY_DBMOVED);
    }
  }
  const int rc = sqlite3_step(FStmt);
  if (rc == SQLITE_ROW) return true;
  if (rc == SQLITE_DONE) return false;
  const std::string msg = FDb->ErrorText("Error executing SQL statement", FSQL);
  const int code = FDb->LastErrorCode();
  sqlite3_reset(FStmt);  // releases the statement's locks before the rollback
  FDb->Rollback();
  throw ESQLiteException(msg, code);
}

void TSQLiteStmt::Exec(TSQLiteParams Params) {
  Reset();
  BindAll(Params);
  while (Step()) {
  }
}

void TSQLiteStmt::Reset() {
  if (FStmt) sqlite3_reset(FStmt);
}

int TSQLiteStmt::ColumnCount() const { return FStmt ? sqlite3_column_count(FStmt) : 0; }

std::string TSQLiteStmt::ColumnName(int i) const {
  const char* n = FStmt ? sqlite3_column_name(FStmt, i) : nullptr;
  return n ? n : "";
}

int TSQLiteStmt::ColumnType(int i) const { return FStmt ? sqlite3_column_type(FStmt, i) : sctNull; }
int64_t TSQLiteStmt::ColumnInt(int i) const { return FStmt ? sqlite3_column_int64(FStmt, i) : 0; }

std::string_view TSQLiteStmt::ColumnText(int i) const {
  if (!FStmt) return {};
  const unsigned char* p = sqlite3_column_text(FStmt, i);
  if (!p) return {};
  return std::string_view(reinterpret_cast<const char*>(p), sqlite3_column_bytes(FStmt, i));
}
