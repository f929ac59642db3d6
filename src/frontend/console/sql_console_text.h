#pragma once
// The texts of the SQL console that need no window: the statement classes, the snippets
// inserted from the field list and the statement that "SQLタブで検索" writes.
#include <string>
#include <string_view>
#include <vector>

// After every "--/d" is removed, lower-cased and trimmed, the text begins with "select",
// "with" or "pragma". (Whether it only reads is decided by SQLite, CheckReadOnlySql.)
bool IsQueryStatement(std::string_view Text);
// Lower-cased and trimmed, the text begins with "--/d": every statement of it runs.
bool IsDirectStatement(std::string_view Text);

// Operator of a where-clause snippet: 0 " like '%%'", 1 " match 'pattern'", 2 " regexp 'pattern'".
std::string SqlPatternOp(int Mode);
// One line per field: " where " + field + operator for the first, " " + Conjunction + " " +
// field + operator for each further one; lines joined by "\n". Empty without fields.
std::string BuildWhereClause(int Mode, const std::vector<std::string>& Fields, std::string_view Conjunction);

// A table or column name as SQL writes it: as it stands when it is a plain name, else in
// double quotes (inner ones doubled). A list of names joined by "," (the comma text of
// ordinary names).
std::string SqlIdentifier(std::string_view Name);
std::string SqlFieldList(const std::vector<std::string>& Fields);

// The snippets of the field list and the editor's popup; names are written by SqlIdentifier,
// the names of the pragmas as quoted SQL literals.
std::string SelectAllSnippet(std::string_view Table);
std::string SelectFieldsSnippet(const std::vector<std::string>& Fields, std::string_view Table, bool Distinct);
std::string OrderBySnippet(const std::vector<std::string>& Fields);
std::string GroupBySnippet(const std::vector<std::string>& Fields);
std::string TableInfoSnippet(std::string_view Table);
std::string IndexListSnippet(std::string_view Table);
extern const char* const kTableListSql;
extern const char* const kTempTableListSql;
extern const char* const kIndexListSql;

// The statement that looks a crop name up in the result view: the cell text escaped for the
// regular expression and the whole pattern quoted for SQL.
std::string SendToSqlText(std::string_view ViewName, std::string_view CellText);
