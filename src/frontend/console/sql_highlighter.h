#pragma once
// The SQL editor's highlighter: QScintilla's SQL lexer given SQLite's words. Keyword set 1
// holds SQLite's keywords, set 5 its functions (the program's own SQL functions among them),
// set 6 the data types, set 7 the tables and views of the open database and set 8 the
// pragmas, so that every highlighter setting of the options (keywords, functions, data
// types, table names, pragmas) colours something.
#include <Qsci/qscilexersql.h>

#include <QByteArray>
#include <array>
#include <string>
#include <vector>

class QsciScintilla;

class TSqlHighlighter : public QsciLexerSQL {
  Q_OBJECT

 public:
  explicit TSqlHighlighter(QObject* Parent = nullptr);
  const char* keywords(int Set) const override;

  // The table and view names of the open database (set 7); the editor is coloured again.
  void SetTableNames(const std::vector<std::string>& Names, QsciScintilla* Editor);
  // The words of a set as a sorted list of lower-case words.
  std::vector<std::string> Words(int Set) const;

 private:
  std::array<QByteArray, 9> sets_;
};
