#include "frontend/console/sql_highlighter.h"

#include <Qsci/qsciscintilla.h>
#include <sqlite3.h>

#include <algorithm>
#include <set>

#include "database/sqlite_db.h"
#include "foundation/text_utils.h"

namespace {

QByteArray Join(const std::set<std::string>& words) {
  QByteArray out;
  for (const std::string& w : words) {
    if (w.empty() || w.find(' ') != std::string::npos) continue;
    if (!out.isEmpty()) out += ' ';
    out += QByteArray::fromStdString(w);
  }
  return out;
}

// The first column of a pragma's rows on a connection of its own (the program's SQL
// functions are registered there as on every connection).
std::set<std::string> PragmaColumn(const char* Pragma) {
  std::set<std::string> out;
  try {
    TSQLiteDb db(":memory:");
    auto t = db.GetTable(Pragma);
    for (t->MoveFirst(); !t->Eof(); t->Next()) out.insert(AsciiLowerCase(t->FieldAsString(0)));
  } catch (const std::exception&) {
  }
  return out;
}

}  // namespace

TSqlHighlighter::TSqlHighlighter(QObject* Parent) : QsciLexerSQL(Parent) {
  setObjectName("SynSQLSyn");
  std::set<std::string> keywords;
  for (int i = 0; i < sqlite3_keyword_count(); ++i) {
    const char* name = nullptr;
    int len = 0;
    if (sqlite3_keyword_name(i, &name, &len) == SQLITE_OK && name) keywords.insert(AsciiLowerCase(std::string(name, len)));
  }
  sets_[1] = Join(keywords);
  sets_[5] = Join(PragmaColumn("PRAGMA function_list"));
  sets_[6] = Join({"int", "integer", "tinyint", "smallint", "mediumint", "bigint", "unsigned", "int2", "int8",
                   "real", "double", "float", "numeric", "decimal", "boolean", "date", "datetime", "text",
                   "varchar", "char", "nchar", "nvarchar", "varying", "character", "clob", "blob", "none"});
  sets_[8] = Join(PragmaColumn("PRAGMA pragma_list"));
}

const char* TSqlHighlighter::keywords(int Set) const {
  if (Set >= 1 && Set < static_cast<int>(sets_.size()) && !sets_[Set].isEmpty()) return sets_[Set].constData();
  return Set == 1 ? QsciLexerSQL::keywords(Set) : nullptr;
}

void TSqlHighlighter::SetTableNames(const std::vector<std::string>& Names, QsciScintilla* Editor) {
  std::set<std::string> words;
  for (const std::string& n : Names) words.insert(AsciiLowerCase(n));
  sets_[7] = Join(words);
  if (Editor && Editor->lexer() == this) {
    Editor->SendScintilla(QsciScintilla::SCI_SETKEYWORDS, 6UL, sets_[7].constData());
    Editor->SendScintilla(QsciScintilla::SCI_COLOURISE, 0L, -1L);
  }
}

std::vector<std::string> TSqlHighlighter::Words(int Set) const {
  std::vector<std::string> out;
  const char* k = keywords(Set);
  if (!k) return out;
  const std::string all(k);
  std::size_t p = 0;
  while (p < all.size()) {
    std::size_t e = all.find(' ', p);
    if (e == std::string::npos) e = all.size();
    if (e > p) out.push_back(all.substr(p, e - p));
    p = e + 1;
  }
  return out;
}
