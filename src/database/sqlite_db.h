#pragma once
// The SQLite access layer: one connection (TSQLiteDb), the whole result of one query held in
// memory with a current row (TSQLiteTbl), a prepared statement with bound parameters
// (TSQLiteStmt) and the failure of all of them (ESQLiteException).
//
// Every SQL text passes PreconvSql before it is prepared, and every connection carries the
// program's SQL functions (sql_functions.h).  Text is UTF-8 throughout.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "foundation/text_utils.h"

struct sqlite3;
struct sqlite3_stmt;

// The database failure.  Its text is the operation's message, a blank, the SQL text in double
// quotes, " : " and SQLite's error message ("No message" when SQLite reports no error code).
// A NUL byte in the text (a value quoted into the SQL) shows as "␀": the text is never cut.
class ESQLiteException : public std::runtime_error {
 public:
  explicit ESQLiteException(const std::string& Msg, int Code = 0) : std::runtime_error(VisibleNul(Msg)), FCode(Code) {}
  std::string Message() const { return what(); }
  // SQLite's (extended) result code of the failure; 0 for failures of this layer itself.
  int Code() const { return FCode; }
  // The failure lies outside the SQL text: the disk, the file, a lock, memory. The same text
  // may well succeed another time.
  bool IsEnvironmentFailure() const;

 private:
  int FCode = 0;
};

// Column type codes, the numbers of SQLite's fundamental types (0: not decided yet).
enum TSQLiteColType : int { sctUndecided = 0, sctInteger = 1, sctFloat = 2, sctText = 3, sctBlob = 4 };
// Storage type of a single value: the codes above plus 5 for SQL NULL.
constexpr int sctNull = 5;

// One bound parameter value.  Text and blobs are copied, so a parameter may outlive its source.
class TSQLiteParam {
 public:
  enum Kind : unsigned char { kNull, kInteger, kFloat, kText, kBlob };
  TSQLiteParam() = default;
  TSQLiteParam(std::nullptr_t) {}
  template <typename T, std::enable_if_t<std::is_integral_v<T> && !std::is_same_v<T, bool>, int> = 0>
  TSQLiteParam(T v) : FKind(kInteger), FInt(static_cast<int64_t>(v)) {}
  TSQLiteParam(bool v) : FKind(kInteger), FInt(v ? 1 : 0) {}
  TSQLiteParam(double v) : FKind(kFloat), FFloat(v) {}
  TSQLiteParam(const char* v) : FKind(v ? kText : kNull), FText(v ? v : "") {}
  TSQLiteParam(std::string_view v) : FKind(kText), FText(v) {}
  TSQLiteParam(const std::string& v) : FKind(kText), FText(v) {}
  TSQLiteParam(std::string&& v) : FKind(kText), FText(std::move(v)) {}
  static TSQLiteParam Blob(std::string_view bytes) {
    TSQLiteParam p(bytes);
    p.FKind = kBlob;
    return p;
  }
  Kind GetKind() const { return FKind; }
  int64_t AsInteger() const { return FInt; }
  double AsFloat() const { return FFloat; }
  const std::string& AsText() const { return FText; }  // text or blob bytes

 private:
  Kind FKind = kNull;
  int64_t FInt = 0;
  double FFloat = 0;
  std::string FText;
};
using TSQLiteParams = std::span<const TSQLiteParam>;

class TSQLiteTbl;
class TSQLiteStmt;

// One row of a statement while it steps (TSQLiteDb::GetRows); valid until the next step.
class TSQLiteRow {
 public:
  int ColCount() const;
  std::string ColumnName(int i) const;  // as SQLite names the result column
  // The value as text, as the result cursor gives it (TSQLiteTbl::FieldAsString): NULL "",
  // integers and floats in its formats, text up to its first NUL, blob bytes.  Numbers are
  // written into Scratch; the view lasts until the next step or the next use of Scratch.
  std::string_view Text(int i, std::string& Scratch) const;

 private:
  friend class TSQLiteDb;
  explicit TSQLiteRow(sqlite3_stmt* St) : FStmt(St) {}
  sqlite3_stmt* FStmt;
};

// A column name in the result cursor's letter case: upper case for 1 (the cursor's own), lower
// case for 2, else as stored (TSQLiteTbl::Columns).
std::string ColumnNameInCase(std::string Name, int Case);

// Takes the rows of a query one at a time, as SQLite steps them (TSQLiteDb::GetRows).
class TSQLiteRowSink {
 public:
  virtual ~TSQLiteRowSink() = default;
  virtual void Row(const TSQLiteRow& Row) = 0;
};

// One SQLite connection.  A connection and its statements belong to one thread at a time.
class TSQLiteDb {
 public:
  // Opens or creates the file, registers the SQL functions, sets a busy timeout and runs
  // "PRAGMA SYNCHRONOUS=NORMAL;" and "PRAGMA temp_store = MEMORY;".  Unicode (UTF-16 mode) is
  // accepted for compatibility; the connection always works in UTF-8.
  // Raises: Failed to open database "<file>" : <error text or "unknown error">
  explicit TSQLiteDb(const std::string& FileName, bool Unicode = false);
  // Rolls back a transaction begun by BeginTransaction and still open, then closes.
  ~TSQLiteDb();
  TSQLiteDb(const TSQLiteDb&) = delete;
  TSQLiteDb& operator=(const TSQLiteDb&) = delete;

  // Multi-statement flag: ExecSQL and GetTable go on past the first statement of a text.
  bool ExecAll = false;

  // Runs statements that return no rows (rows of a query are stepped over).  With ExecAll only
  // the first statement runs.  A failure rolls back the open transaction (when SQLite is not
  // in autocommit) before ESQLiteException reaches the caller.
  void ExecSQL(const std::string& SQL);
  // The whole result of a text (with ExecAll: statements run until the first that returns
  // rows; its rows are the result).  The caller owns the result.
  std::unique_ptr<TSQLiteTbl> GetTable(const std::string& SQL);
  // The same statements and rows as GetTable, each row handed to Sink as it is stepped
  // instead of being held: a caller that keeps the rows its own way makes the only copy.
  // Returns the number of rows; raises as GetTable does (Sink has then seen some rows).
  int64_t GetRows(const std::string& SQL, TSQLiteRowSink& Sink);
  // Runs every statement of the text whatever ExecAll says; the result is the rows of the last
  // statement that returned rows (the console's direct mode in the developer tool).
  std::unique_ptr<TSQLiteTbl> GetTableScript(const std::string& SQL);

  // Bound-parameter forms: one statement, parameters numbered from 1 (?, ?NNN, :name, @name
  // and $name all count by position as SQLite numbers them).
  void ExecBound(const std::string& SQL, std::initializer_list<TSQLiteParam> Params);
  void ExecBound(const std::string& SQL, TSQLiteParams Params);
  std::unique_ptr<TSQLiteTbl> GetTableBound(const std::string& SQL, std::initializer_list<TSQLiteParam> Params);
  std::unique_ptr<TSQLiteTbl> GetTableBound(const std::string& SQL, TSQLiteParams Params);
  // Prepares the first statement of a text for repeated Bind/Step/Reset.
  TSQLiteStmt Prepare(const std::string& SQL);

  // "BEGIN TRANSACTION;"; raises "Transaction already open" when one is open.
  void BeginTransaction();
  // "COMMIT;" then clears the flag. A COMMIT that fails rolls the transaction back (the flag
  // is cleared) and raises with COMMIT's own error.
  void Commit();
  // "ROLLBACK;" when SQLite has a transaction open; clears the flag.  Never raises.
  void Rollback() noexcept;
  bool InTransaction() const { return FInTransaction; }

  // True when "PRAGMA table_info(...)" returns a row; "schema.name" looks in that schema only,
  // an unqualified name in every attached database.  The name is quoted, never run as SQL.
  bool TableExists(const std::string& Name);
  static std::string Version();
  // Raises ESQLiteException: Msg "<SQL>" : <connection's error message or "No message">.
  [[noreturn]] void RaiseError(const std::string& Msg, const std::string& SQL);
  // The message RaiseError would raise, without raising.
  std::string ErrorText(const std::string& Msg, const std::string& SQL) const;

  // A build or an install replaces acis.db and spec.db by renaming new files over them; a
  // connection opened before keeps the old files. It must not begin a transaction on them
  // again: a write's journal is named after the path, beside the new file, and a read takes a
  // new file's journal at that path for a crashed one of its own (plays it into the old file
  // and deletes it). So before a statement begins a transaction on a connection one of whose
  // files is no longer the file at its path, OnFilesReplaced is called: it leaves the
  // connection on the files now in place (Reopen, under whatever lock keeps the pair whole) or
  // raises. Without it, or inside a transaction begun before, the statement is refused.
  std::function<void()> OnFilesReplaced;
  // True when another file now stands at the path of one of the connection's database files.
  bool FilesReplaced() const;
  // Closes the connection and opens its file again, the attached databases again under their
  // names. TEMP objects and settings made by SQL are gone. Raises as the constructor does.
  void Reopen();

  sqlite3* Handle() const { return FHandle; }
  // The connection's extended result code of the last failure (0 without a handle).
  int LastErrorCode() const;
  bool Unicode() const { return FUnicode; }
  int64_t Changes() const;

 private:
  friend class TSQLiteTbl;
  friend class TSQLiteStmt;
  // Formats the message from the connection's current error, rolls back an open transaction
  // and raises.
  [[noreturn]] void Fail(const std::string& Msg, const std::string& SQL);
  [[noreturn]] void FailWith(const std::string& Msg, const std::string& SQL, const std::string& ErrText);
  // SQLite reads a text only up to a NUL byte and would quietly drop the rest: such a text
  // fails as a whole instead.
  void RefuseNul(const std::string& Text, const std::string& SQL);
  void BindOne(sqlite3_stmt* st, int Index, const TSQLiteParam& Value, const std::string& SQL);
  // Runs before a statement that may begin a transaction (see OnFilesReplaced).
  void GuardReplacedFiles(const std::string& SQL);
  static sqlite3* OpenHandle(const std::string& FileName);
  void BindParams(sqlite3_stmt* st, TSQLiteParams Params, const std::string& SQL);

  sqlite3* FHandle = nullptr;
  bool FUnicode = false;
  bool FInTransaction = false;
};

// A prepared statement that finalizes itself.  Bind* take 1-based indexes; text and blobs are
// copied by SQLite.  Step returns true while a row is available and raises on failure.
class TSQLiteStmt {
 public:
  TSQLiteStmt() = default;
  TSQLiteStmt(TSQLiteDb& Db, const std::string& SQL);
  ~TSQLiteStmt();
  TSQLiteStmt(TSQLiteStmt&& o) noexcept;
  TSQLiteStmt& operator=(TSQLiteStmt&& o) noexcept;
  TSQLiteStmt(const TSQLiteStmt&) = delete;
  TSQLiteStmt& operator=(const TSQLiteStmt&) = delete;

  TSQLiteStmt& Bind(int Index, const TSQLiteParam& Value);
  TSQLiteStmt& BindInt(int Index, int64_t Value);
  TSQLiteStmt& BindText(int Index, std::string_view Value);
  TSQLiteStmt& BindNull(int Index);
  // Binds Params to 1..n (raises when there are more values than parameters).
  TSQLiteStmt& BindAll(TSQLiteParams Params);
  TSQLiteStmt& BindAll(std::initializer_list<TSQLiteParam> Params) {
    return BindAll(TSQLiteParams(Params.begin(), Params.size()));
  }
  int ParamCount() const;
  int ParamIndex(const std::string& Name) const;  // 0 when there is no such parameter

  bool Step();
  // Reset, bind, step to the end: one row of a bulk INSERT.
  void Exec(TSQLiteParams Params);
  void Exec(std::initializer_list<TSQLiteParam> Params) { Exec(TSQLiteParams(Params.begin(), Params.size())); }
  void Reset();  // bindings stay

  int ColumnCount() const;
  std::string ColumnName(int i) const;
  int ColumnType(int i) const;  // storage type of the current row's value (sctNull for NULL)
  int64_t ColumnInt(int i) const;
  std::string_view ColumnText(int i) const;  // valid until the next Step/Reset

  sqlite3_stmt* Handle() const { return FStmt; }
  const std::string& SQL() const { return FSQL; }
  explicit operator bool() const { return FStmt != nullptr; }

 private:
  TSQLiteDb* FDb = nullptr;
  sqlite3_stmt* FStmt = nullptr;
  std::string FSQL;
};

// The whole result of one query held in memory with a current row.  Values are stored in one
// arena per result, row-major; each value keeps its own storage type.  Column type codes follow
// the declared type of the column, or the first non-NULL value's type for columns without one.
class TSQLiteTbl {
 public:
  // Fetches the result (only TSQLiteDb creates results).
  TSQLiteTbl(TSQLiteDb& Db, const std::string& SQL);
  ~TSQLiteTbl();
  TSQLiteTbl(const TSQLiteTbl&) = delete;
  TSQLiteTbl& operator=(const TSQLiteTbl&) = delete;

  int Count() const { return FRowCount; }
  // End of file (the name EOF is taken by the C library's macro).
  bool Eof() const { return FRow >= FRowCount; }
  void Next() {
    if (FRow < FRowCount) ++FRow;
  }
  bool MoveFirst();
  // Moves to row r (0-based) when it exists; false (row unchanged) otherwise.
  bool MoveTo(int r);
  int Row() const { return FRow; }

  int ColCount() const { return FColCount; }
  int ColType(int i) const;  // column type code (TSQLiteColType)
  // Column name: upper case when FColumnNameCase is 1, lower case when 2, else as stored.
  std::string Columns(int i) const;
  const std::string& ColumnName(int i) const;  // as stored
  // Names of the last statement that had result columns, also when it returned no rows.
  const std::vector<std::string>& StatementColumns() const { return FStmtColNames; }
  unsigned char FColumnNameCase = 1;

  // Raises "Field not found in dataset: <name>" or "Field <name> Not found. Empty dataset".
  int FieldIndex(const std::string& Name) const;

  // Every accessor raises "Table is at End of File" at EOF.
  std::string Fields(int i) const;        // NULL: "0" in integer and float columns, else ""
  std::string FieldAsString(int i) const; // NULL: ""
  std::string_view FieldText(int i) const; // text or blob bytes without a copy; "" otherwise
  int64_t FieldAsInteger(int i) const;    // NULL: 0; raises "Not an integer or numeric field"
  double FieldAsDouble(int i) const;      // NULL: 0; raises "Not an integer or numeric field"
  std::string_view FieldAsBlob(int i) const;  // empty for NULL/empty; raises "Not a Blob field"
  std::string FieldAsBlobText(int i) const;
  bool FieldIsNull(int i) const;
  int FieldType(int i) const;  // the value's own storage type (sctNull for NULL)

  // Bytes held by the result (arena, row index and column data).
  size_t MemoryUsed() const;

 private:
  friend class TSQLiteDb;
  TSQLiteTbl() = default;
  void Fetch(TSQLiteDb& Db, const std::string& SQL, TSQLiteParams Params, bool Bound, bool RunAll);
  void Clear();
  void AddRow(sqlite3_stmt* st);
  char* Reserve(size_t n);
  const unsigned char* Cell(int i) const;  // checks EOF and the index
  void DecodeRow() const;

  struct Block {
    std::unique_ptr<char[]> Data;
    size_t Size = 0;
  };
  std::vector<Block> FBlocks;
  char* FCur = nullptr;     // write position in the last block
  char* FEnd = nullptr;     // end of the last block
  char* FRowStart = nullptr;
  std::vector<const unsigned char*> FRowStarts;

  int FRowCount = 0;
  int FColCount = 0;
  std::vector<int> FColTypes;
  std::vector<std::string> FColNames;
  std::vector<std::string> FStmtColNames;
  int FRow = 0;

  mutable int FDecodedRow = -1;
  mutable std::vector<const unsigned char*> FCells;
};
