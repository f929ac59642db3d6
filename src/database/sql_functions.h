#pragma once
// The program's own SQL functions and the SQL pre-processor. Every connection that
// TSQLiteDb opens registers them; every SQL text passes PreconvSql before it is prepared.
#include <string>

struct sqlite3;

// Registers strconv, match, regexp, concat, concat2, re_replace, extnum, ifnullstr, if and
// explode on the connection.
void RegisterSqlFunctions(sqlite3* db);

// earlier_rows and its helpers (earlier_rows_list, _large, _unseen and _add): how the
// trade-name views keep the first of identical rows, in time linear in the rows
// (sql_earlier_rows.cpp); registered with the others.
void RegisterEarlierRows(sqlite3* db);
// rac_keito(0, ippanmei, idbyochu): the RAC group of the "Rk" result views from tRacKeito
// (sql_rac_keito.cpp); registered with the others.
void RegisterRacKeito(sqlite3* db);
// rac_mid(0, ippanmei, idbyochu): the RAC code of the search working tables' mid columns
// (sql_rac_mid.cpp); registered with the others.
void RegisterRacMid(sqlite3* db);

// Rewrites each preconv('text'[, 'opts']) literal of an SQL text into the quoted strconv key
// of the text. Text without preconv( comes back unchanged.
std::string PreconvSql(const std::string& sql);
