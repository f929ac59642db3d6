#pragma once
// The program's own SQL functions and the SQL pre-processor. Every connection that
// TSQLiteDb opens registers them; every SQL text passes PreconvSql before it is prepared.
#include <string>

struct sqlite3;

// Registers strconv, match, regexp, concat, concat2, re_replace, extnum, ifnullstr, if and
// explode on the connection.
void RegisterSqlFunctions(sqlite3* db);

// Rewrites each preconv('text'[, 'opts']) literal of an SQL text into the quoted strconv key
// of the text. Text without preconv( comes back unchanged.
std::string PreconvSql(const std::string& sql);
