#include "frontend/console/sql_console_text.h"

#include "database/regex_utils.h"
#include "foundation/text_utils.h"

namespace {

std::string LowerTrim(std::string_view t) {
  const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v'; };
  while (!t.empty() && blank(t.front())) t.remove_prefix(1);
  while (!t.empty() && blank(t.back())) t.remove_suffix(1);
  return AsciiLowerCase(std::string(t));
}

bool StartsWith(std::string_view s, std::string_view p) { return s.substr(0, p.size()) == p; }

}  // namespace

std::string SqlIdentifier(std::string_view Name) {
  bool plain = !Name.empty() && !(Name[0] >= '0' && Name[0] <= '9');
  for (char c : Name) {
    const unsigned char u = static_cast<unsigned char>(c);
    if (!(u >= 0x80 || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_'))
      plain = false;
  }
  if (plain) return std::string(Name);
  return "\"" + ReplaceAllText(Name, "\"", "\"\"") + "\"";
}

std::string SqlFieldList(const std::vector<std::string>& Fields) {
  std::string out;
  for (const std::string& f : Fields) {
    if (!out.empty()) out += ',';
    out += SqlIdentifier(f);
  }
  return out;
}

bool IsQueryStatement(std::string_view Text) {
  // "--/d" is removed as written (a "--/D" stays and is not a query).
  const std::string s = LowerTrim(ReplaceAllText(Text, "--/d", ""));
  return StartsWith(s, "select") || StartsWith(s, "with") || StartsWith(s, "pragma");
}

bool IsDirectStatement(std::string_view Text) { return StartsWith(LowerTrim(Text), "--/d"); }

std::string SqlPatternOp(int Mode) {
  switch (Mode) {
    case 1: return " match 'pattern'";
    case 2: return " regexp 'pattern'";
    default: return " like '%%'";
  }
}

std::string BuildWhereClause(int Mode, const std::vector<std::string>& Fields, std::string_view Conjunction) {
  std::string out;
  const std::string op = SqlPatternOp(Mode);
  for (std::size_t i = 0; i < Fields.size(); ++i) {
    if (i == 0)
      out += " where " + SqlIdentifier(Fields[i]) + op;
    else
      out += "\n " + std::string(Conjunction) + " " + SqlIdentifier(Fields[i]) + op;
  }
  return out;
}

std::string SelectAllSnippet(std::string_view Table) { return "SELECT * FROM " + SqlIdentifier(Table); }

std::string SelectFieldsSnippet(const std::vector<std::string>& Fields, std::string_view Table, bool Distinct) {
  return std::string(Distinct ? "SELECT DISTINCT " : "SELECT ") + SqlFieldList(Fields) + " FROM " + SqlIdentifier(Table);
}

std::string OrderBySnippet(const std::vector<std::string>& Fields) { return " ORDER BY " + SqlFieldList(Fields); }
std::string GroupBySnippet(const std::vector<std::string>& Fields) { return " GROUP BY " + SqlFieldList(Fields); }

std::string TableInfoSnippet(std::string_view Table) { return "PRAGMA table_info(" + SqlQuote(Table) + ");"; }
std::string IndexListSnippet(std::string_view Table) { return "PRAGMA index_list(" + SqlQuote(Table) + ");"; }

const char* const kTableListSql = "SELECT * FROM sqlite_master WHERE type in ('table','view') and name <> 'info';";
const char* const kTempTableListSql =
    "SELECT * FROM sqlite_temp_master WHERE type in ('table','view') and name <> 'info';";
const char* const kIndexListSql = "SELECT * FROM sqlite_master WHERE type='index' and name <> 'info' ORDER BY name;";

std::string SendToSqlText(std::string_view ViewName, std::string_view CellText) {
  return "select * from " + std::string(ViewName) + " where sakumotsu regexp " +
         SqlQuote("(^|､)" + EscapeRegexName(CellText) + "(､|$)");
}
