// The SQLite access layer: the connection (opening, running texts, bound parameters,
// transactions) and the failure it raises. Statements are in sqlite_db_statement.cpp, the
// in-memory results in sqlite_db_table.cpp.
#include "database/sqlite_db.h"

#include <sqlite3.h>
#include <sys/stat.h>

#include <utility>
#include <vector>

#include "database/sql_functions.h"
#include "database/sqlite_db_detail.h"

using sqlite_detail::FormatInt;
using sqlite_detail::RequireStmt;
using sqlite_detail::StmtGuard;

namespace {

constexpr int kBusyTimeoutMs = 5000;

std::string QuoteIdent(std::string_view s) {
  std::string r = "\"";
  for (char c : s) {
    if (c == '"') r += '"';
    r += c;
  }
  r += '"';
  return r;
}

std::string StripIdentQuotes(std::string_view s) {
  if (s.size() >= 2 && ((s.front() == '"' && s.back() == '"') || (s.front() == '[' && s.back() == ']') ||
                        (s.front() == '`' && s.back() == '`')))
    s = s.substr(1, s.size() - 2);
  return std::string(s);
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// TSQLiteDb

sqlite3* TSQLiteDb::OpenHandle(const std::string& FileName) {
  sqlite3* h = nullptr;
  // A connection is used by one thread at a time, so SQLite need not lock it on every column
  // read (a fifth of the time of a large fetch went to that lock).
  const int rc = sqlite3_open_v2(FileName.c_str(), &h, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX,
                                 nullptr);
  if (rc != SQLITE_OK) {
    std::string err = "unknown error";
    if (h) {
      err = sqlite3_errmsg(h);
      sqlite3_close(h);
    }
    throw ESQLiteException("Failed to open database \"" + FileName + "\" : " + err);
  }
  auto fail = [h] {
    std::string err = sqlite3_errmsg(h);
    sqlite3_close_v2(h);
    return err;
  };
  sqlite3_busy_timeout(h, kBusyTimeoutMs);
  try {
    RegisterSqlFunctions(h);
  } catch (...) {
    sqlite3_close_v2(h);
    throw;
  }
  for (const char* sql : {"PRAGMA SYNCHRONOUS=NORMAL;", "PRAGMA temp_store = MEMORY;"})
    if (sqlite3_exec(h, sql, nullptr, nullptr, nullptr) != SQLITE_OK) {
      const int code = sqlite3_extended_errcode(h);
      throw ESQLiteException(std::string("Error executing SQL \"") + sql + "\" : " + fail(), code);
    }
  return h;
}

TSQLiteDb::TSQLiteDb(const std::string& FileName, bool Unicode) {
  FHandle = OpenHandle(FileName);
  FUnicode = Unicode;
}

bool TSQLiteDb::FilesReplaced() const {
  if (!FHandle) return false;
  for (int i = 0;; ++i) {
    const char* name = sqlite3_db_name(FHandle, i);
    if (!name) break;
    if (i == 1) continue;  // temp
    int moved = 0;
    if (sqlite3_file_control(FHandle, name, SQLITE_FCNTL_HAS_MOVED, &moved) != SQLITE_OK || !moved) continue;
    // Moved: renamed away or deleted (nothing to pair it with) or another file in its place.
    const char* path = sqlite3_db_filename(FHandle, name);
    struct stat st {};
    if (path && *path && ::stat(path, &st) == 0) return true;
  }
  return false;
}

void TSQLiteDb::Reopen() {
  std::vector<std::pair<std::string, std::string>> attached;
  for (int i = 2;; ++i) {
    const char* name = sqlite3_db_name(FHandle, i);
    if (!name) break;
    const char* path = sqlite3_db_filename(FHandle, name);
    attached.emplace_back(name, path ? path : "");
  }
  const char* mainPath = sqlite3_db_filename(FHandle, "main");
  sqlite3* h = OpenHandle(mainPath ? mainPath : "");
  if (FInTransaction) sqlite3_exec(FHandle, "ROLLBACK;", nullptr, nullptr, nullptr);
  FInTransaction = false;
  // close_v2: a statement still prepared on the old connection keeps it until it is finalized
  // (and is refused when it would begin a transaction on the old files).
  sqlite3_close_v2(FHandle);
  FHandle = h;
  for (const auto& [name, path] : attached) ExecBound("ATTACH ?1 AS " + QuoteIdent(name) + ";", {path});
}

void TSQLiteDb::GuardReplacedFiles(const std::string& SQL) {
  if (!FHandle || sqlite3_txn_state(FHandle, nullptr) != SQLITE_TXN_NONE || !FilesReplaced()) return;
  // A transaction begun (BEGIN) but holding no lock yet cannot move to other files.
  if (OnFilesReplaced && sqlite3_get_autocommit(FHandle)) {
    OnFilesReplaced();
    if (!FilesReplaced()) return;
  }
  Rollback();
  throw ESQLiteException("Error executing SQL \"" + SQL + "\" : " + sqlite_detail::kFilesReplacedText,
                         SQLITE_READONLY_DBMOVED);
}

TSQLiteDb::~TSQLiteDb() {
  if (!FHandle) return;
  if (FInTransaction) sqlite3_exec(FHandle, "ROLLBACK;", nullptr, nullptr, nullptr);
  // close_v2: a statement that outlives the connection keeps it alive until it is finalized.
  sqlite3_close_v2(FHandle);
  FHandle = nullptr;
}

std::string TSQLiteDb::ErrorText(const std::string& Msg, const std::string& SQL) const {
  std::string err = "No message";
  if (FHandle && sqlite3_errcode(FHandle) != SQLITE_OK) err = sqlite3_errmsg(FHandle);
  // Plain concatenation: a "%" in the SQL text reaches the message unchanged.
  return Msg + " \"" + SQL + "\" : " + err;
}

bool ESQLiteException::IsEnvironmentFailure() const {
  switch (FCode & 0xff) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
    case SQLITE_NOMEM:
    case SQLITE_READONLY:
    case SQLITE_INTERRUPT:
    case SQLITE_IOERR:
    case SQLITE_CORRUPT:
    case SQLITE_FULL:
    case SQLITE_CANTOPEN:
    case SQLITE_PROTOCOL:
    case SQLITE_NOTADB:
      return true;
    default:
      return false;
  }
}

int TSQLiteDb::LastErrorCode() const { return FHandle ? sqlite3_extended_errcode(FHandle) : 0; }

void TSQLiteDb::RaiseError(const std::string& Msg, const std::string& SQL) {
  throw ESQLiteException(ErrorText(Msg, SQL), LastErrorCode());
}

void TSQLiteDb::Fail(const std::string& Msg, const std::string& SQL) {
  const std::string text = ErrorText(Msg, SQL);
  const int code = LastErrorCode();
  Rollback();
  throw ESQLiteException(text, code);
}

void TSQLiteDb::FailWith(const std::string& Msg, const std::string& SQL, const std::string& ErrText) {
  Rollback();
  throw ESQLiteException(Msg + " \"" + SQL + "\" : " + ErrText);
}

void TSQLiteDb::RefuseNul(const std::string& Text, const std::string& SQL) {
  const size_t at = Text.find('\0');
  if (at != std::string::npos)
    FailWith("Error executing SQL", SQL, "NUL character in the SQL text at byte " + std::to_string(at + 1));
}

void TSQLiteDb::Rollback() noexcept {
  if (FHandle && !sqlite3_get_autocommit(FHandle)) sqlite3_exec(FHandle, "ROLLBACK;", nullptr, nullptr, nullptr);
  FInTransaction = false;
}

void TSQLiteDb::ExecSQL(const std::string& SQL) {
  const std::string text = PreconvSql(SQL);
  RefuseNul(text, SQL);
  const char* p = text.c_str();
  const char* const end = p + text.size();
  while (p < end) {
    GuardReplacedFiles(SQL);
    StmtGuard g;
    const char* tail = nullptr;
    if (sqlite3_prepare_v2(FHandle, p, static_cast<int>(end - p), &g.st, &tail) != SQLITE_OK) {
      Fail("Error executing SQL", SQL);
    }
    if (!g.st) break;  // only blanks or comments were left
    int rc;
    while ((rc = sqlite3_step(g.st)) == SQLITE_ROW) {
    }
    if (rc != SQLITE_DONE) {
      const std::string msg = ErrorText("Error executing SQL statement", SQL);
      const int code = LastErrorCode();
      g.Finalize();
      Rollback();
      throw ESQLiteException(msg, code);
    }
    g.Finalize();
    if (!ExecAll) break;
    p = tail;
  }
}

std::unique_ptr<TSQLiteTbl> TSQLiteDb::GetTable(const std::string& SQL) {
  std::unique_ptr<TSQLiteTbl> t(new TSQLiteTbl());
  t->Fetch(*this, SQL, {}, false, false);
  return t;
}

std::unique_ptr<TSQLiteTbl> TSQLiteDb::GetTableScript(const std::string& SQL) {
  std::unique_ptr<TSQLiteTbl> t(new TSQLiteTbl());
  t->Fetch(*this, SQL, {}, false, true);
  return t;
}

std::unique_ptr<TSQLiteTbl> TSQLiteDb::GetTableBound(const std::string& SQL, TSQLiteParams Params) {
  std::unique_ptr<TSQLiteTbl> t(new TSQLiteTbl());
  t->Fetch(*this, SQL, Params, true, false);
  return t;
}

std::unique_ptr<TSQLiteTbl> TSQLiteDb::GetTableBound(const std::string& SQL,
                                                     std::initializer_list<TSQLiteParam> Params) {
  return GetTableBound(SQL, TSQLiteParams(Params.begin(), Params.size()));
}

void TSQLiteDb::ExecBound(const std::string& SQL, TSQLiteParams Params) {
  TSQLiteStmt st(*this, SQL);
  st.BindAll(Params);
  while (st.Step()) {
  }
}

void TSQLiteDb::ExecBound(const std::string& SQL, std::initializer_list<TSQLiteParam> Params) {
  ExecBound(SQL, TSQLiteParams(Params.begin(), Params.size()));
}

TSQLiteStmt TSQLiteDb::Prepare(const std::string& SQL) { return TSQLiteStmt(*this, SQL); }

void TSQLiteDb::BeginTransaction() {
  if (FInTransaction) throw ESQLiteException("Transaction already open");
  ExecSQL("BEGIN TRANSACTION;");
  FInTransaction = true;
}

void TSQLiteDb::Commit() {
  const std::string sql = "COMMIT;";
  if (sqlite3_exec(FHandle, sql.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK) {
    // A COMMIT that failed (disk full, a lock) may leave the transaction open: roll it back
    // so nothing half-done stays and the next step does not stumble over it, and report this
    // failure, not a later one.
    Fail("Error executing SQL statement", sql);
  }
  FInTransaction = false;
}

bool TSQLiteDb::TableExists(const std::string& Name) {
  std::string sql;
  const size_t dot = Name.find('.');
  if (dot != std::string::npos && !Name.starts_with('"') && !Name.starts_with('['))
    sql = "PRAGMA " + QuoteIdent(StripIdentQuotes(std::string_view(Name).substr(0, dot))) + ".table_info(" +
          QuoteIdent(StripIdentQuotes(std::string_view(Name).substr(dot + 1))) + ")";
  else
    sql = "PRAGMA table_info(" + QuoteIdent(StripIdentQuotes(Name)) + ")";
  sqlite3_stmt* st = nullptr;
  // A failing look-up (an unknown schema) answers False; it must not roll back the caller's work.
  if (sqlite3_prepare_v2(FHandle, sql.c_str(), -1, &st, nullptr) != SQLITE_OK || !st) {
    sqlite3_finalize(st);
    return false;
  }
  const bool found = sqlite3_step(st) == SQLITE_ROW;
  sqlite3_finalize(st);
  return found;
}

std::string TSQLiteDb::Version() { return sqlite3_libversion(); }

int64_t TSQLiteDb::Changes() const { return sqlite3_changes64(FHandle); }

void TSQLiteDb::BindOne(sqlite3_stmt* st, int Index, const TSQLiteParam& v, const std::string& SQL) {
  RequireStmt(st);
  int rc = SQLITE_OK;
  switch (v.GetKind()) {
    case TSQLiteParam::kNull: rc = sqlite3_bind_null(st, Index); break;
    case TSQLiteParam::kInteger: rc = sqlite3_bind_int64(st, Index, v.AsInteger()); break;
    case TSQLiteParam::kFloat: rc = sqlite3_bind_double(st, Index, v.AsFloat()); break;
    case TSQLiteParam::kText:
      rc = sqlite3_bind_text64(st, Index, v.AsText().data(), v.AsText().size(), SQLITE_TRANSIENT, SQLITE_UTF8);
      break;
    case TSQLiteParam::kBlob:
      rc = sqlite3_bind_blob64(st, Index, v.AsText().data(), v.AsText().size(), SQLITE_TRANSIENT);
      break;
  }
  if (rc != SQLITE_OK) Fail("Error binding parameter of SQL", SQL);
}

void TSQLiteDb::BindParams(sqlite3_stmt* st, TSQLiteParams Params, const std::string& SQL) {
  RequireStmt(st);
  const int n = sqlite3_bind_parameter_count(st);
  if (static_cast<int>(Params.size()) > n)
    FailWith("Error binding parameter of SQL", SQL,
             FormatInt(static_cast<int64_t>(Params.size())) + " values for " + FormatInt(n) + " parameters");
  for (size_t i = 0; i < Params.size(); ++i) BindOne(st, static_cast<int>(i) + 1, Params[i], SQL);
}
