#pragma once
// The SQL console of the main window's SQL tab: the editor SQLEditor (QScintilla with the
// SQLite highlighter), the result grid gdSQL, the buttons "実行", "保存" and "読み込み", and
// the side panel pnlSqlSide with the database combo cbDB, the table combo cbTableName and
// the column check list lstSqlField, from which snippets are inserted into the editor.
//
// Without direct mode ("/d" on the command line, or a text that begins with "--/d") a text
// runs only when it is a query statement and SQLite finds every statement of it read-only.
// The database object's multi-statement flag is set for the run and restored afterwards.
//
// TSqlConsole is the SQL tab's search handler (the search action and "実行" run ExecSql).
#include <QObject>
#include <QString>
#include <optional>
#include <string>
#include <vector>

#include "database/sqlite_db.h"
#include "frontend/search_tab.h"

class QAction;
class QComboBox;
class QMenu;
class QWidget;
class TCheckListBoxEx;
class TfrmMain;
class TSqlHighlighter;

class TSqlConsole : public QObject, public TSearchTabHandler {
  Q_OBJECT

 public:
  explicit TSqlConsole(TfrmMain& Main);
  ~TSqlConsole() override;

  // TSearchTabHandler
  void Search() override { ExecSql(); }
  // The editor holds text.
  bool CanSearch() const override;
  // "読み込み" only with a database; "実行" with a database and text; "保存" with text.
  void FollowDatabase(bool Open) override;

  // Runs the editor text (nothing without a database or text).
  void ExecSql();
  // The tables and views of the database into the highlighter and the lists; called when a
  // database was opened.
  void InitSqlTableList();
  void cbDBSelect();
  void cbTableNameSelect();
  // "保存", "実行" and (on the SQL tab) the search action enabled exactly when the editor holds
  // text ("実行" and the search action also need a database).
  void SQLEditorChange();
  void btnQuerySaveClick();
  void btnQueryLoadClick();
  // Writes the look-up statement of the cell under the result-grid popup into the editor
  // and shows the SQL tab (the statement does not run).
  void SendToSql();
  // Inserts a text at the caret, replacing a selection.
  void InsertSnippet(const std::string& Text);

  // Controls of the side panel and the popups.
  QWidget* pnlSqlSide = nullptr;
  QComboBox* cbDB = nullptr;
  QComboBox* cbTableName = nullptr;
  TCheckListBoxEx* lstSqlField = nullptr;
  TSqlHighlighter* SynSQLSyn = nullptr;
  QMenu* pmSQLEdit = nullptr;
  QMenu* pmnSqlField = nullptr;
  QAction *pmnUndo = nullptr, *pmnRedo = nullptr, *pmnCopy = nullptr, *pmnCut = nullptr, *pmnPaste = nullptr,
          *pmnSelectAll = nullptr, *pmnClearAll = nullptr, *pmnTableList = nullptr, *pmnTempTableList = nullptr,
          *pmnIndexList = nullptr;
  // Field-list items that need ticked fields, and the others.
  std::vector<QAction*> FieldItems;
  QAction *pmnSelectAllFrom = nullptr, *pmnTableInfo = nullptr, *pmnIndexInfo = nullptr, *pmnCheckAll = nullptr,
          *pmnCheckNone = nullptr;

 private:
  // The editor's least height: this many lines of text.
  static constexpr int kEditorMinLines = 3;
  // The result grid's least height below the editor: its titles and this many rows.
  static constexpr int kResultMinRows = 3;
  // Rows of a result whose texts the column fitting lays out (the rest are gauged).
  static constexpr int kWidthSampleRows = 500;
  void KeepEditorLines();
  // Runs the text into the result grid, the rows straight from the statement into the grid's
  // store; a failure or (for a query) no rows is handed back for ExecSql to report once the
  // time is logged.
  void RunQuery(const std::string& Text, std::optional<ESQLiteException>& Failure, bool& NoData);
  void BuildSidePanel();
  void BuildEditorPopup();
  void BuildFieldPopup();
  void InstallHighlighter();
  // Names (second column) of the rows of a sqlite_master query; empty on failure.
  std::vector<std::string> MasterNames(const std::string& SQL);
  std::string TableName() const;
  std::vector<std::string> CheckedFields() const;
  void UpdateFieldPopup();
  void UpdateEditPopup();

  TfrmMain& main_;
  // The search action's state as the other tabs set it, restored when the SQL tab is left.
};

// The SQL console of the main window (null before InstallSqlConsole).
TSqlConsole* SqlConsoleOf(const TfrmMain& Main);
// Builds the console into the main window's SQL tab (its side panel in the place of the
// placeholder, the highlighter on the editor) and makes it the tab's search handler.
TSqlConsole* InstallSqlConsole(TfrmMain& Main);

// Check lists of the console: every item set to State; the ticked items as comma text.
void SetCheckListAll(TCheckListBoxEx* List, bool State);
std::string CheckedItemsCommaText(const TCheckListBoxEx* List);
