// Placeholder until the SQL functions land: registers nothing and leaves SQL unchanged.
#include "database/sql_functions.h"

void RegisterSqlFunctions(sqlite3*) {}

std::string PreconvSql(const std::string& sql) { return sql; }
