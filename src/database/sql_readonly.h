#pragma once
// Whether an SQL text only reads: the SQL console runs a text without its direct mode only
// when every statement of it passes. SQLite decides per prepared statement
// (sqlite3_stmt_readonly); besides, a statement must give result columns (BEGIN, ATTACH,
// SAVEPOINT and the settings pragmas that answer nothing change the connection), and a
// pragma given a value must be one that reads with an argument (table_info('t') reads,
// cache_size = 10 sets).
#include <string>

class TSQLiteDb;

struct TReadOnlyCheck {
  bool ReadOnly = true;
  // The first statement that does not only read (its text as written, trimmed).
  std::string Statement;
};

// Prepares every statement of the text in turn (after the pre-processor) without running
// any. Raises ESQLiteException when a statement does not compile.
TReadOnlyCheck CheckReadOnlySql(TSQLiteDb& Db, const std::string& SQL);
