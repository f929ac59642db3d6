// The SQL console on the sample register: what runs and what is refused, the grid, the log,
// the multi-statement flag, the lists, the snippets, the highlighter, the editor keys, query
// files, the stored layout and "SQLタブで検索".
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <Qsci/qscilexersql.h>
#include <Qsci/qsciscintilla.h>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QMenu>
#include <QPushButton>
#include <QSplitter>
#include <QTabWidget>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>
#include <QAbstractItemView>

#include "common/menu_probe.h"
#include "database/acis_db.h"
#include "database/acis_fill.h"
#include "database/field_caption.h"
#include "database/regex_utils.h"
#include "database/sqlite_db.h"
#include "database/sql_template.h"
#include "foundation/check_list_box_ex.h"
#include "foundation/file_dialog_pos.h"
#include "foundation/font_rec.h"
#include "foundation/global.h"
#include "foundation/message_sink.h"
#include "foundation/options.h"
#include "frontend/chemical/chemical_search.h"
#include "frontend/console/sql_console.h"
#include "frontend/console/sql_highlighter.h"
#include "frontend/frm_main.h"
#include "frontend/main_pages.h"
#include "output/cp932_codec.h"
#include "output/grid_model.h"
#include "output/xls_string_grid.h"
#include "frontend/console/support_console.h"
#include "frontend/support_main_window.h"

namespace {

TLogMessageSink& Sink() { return static_cast<TLogMessageSink&>(MessageSink()); }

std::vector<std::string> Texts() {
  std::vector<std::string> out;
  for (const TMessage& m : Sink().Messages()) out.push_back(m.text);
  return out;
}

int64_t Count(const std::string& sql) {
  auto t = AcisDB->FDb->GetTable(sql);
  return t->FieldAsInteger(0);
}

// The main window on the sample register with the console, on the SQL tab.
struct TConsoleFixture : TMainWindowFixture {
  std::unique_ptr<TfrmMain> w;
  TSqlConsole* console = nullptr;
  explicit TConsoleFixture(const std::string& ini = {}) {
    EXPECT_TRUE(BuildSampleDb());
    if (!ini.empty()) WriteIni(ini);
    w = std::make_unique<TfrmMain>();
    console = InstallSqlConsole(*w);
    w->show();
    Pump();
    w->pgSearch->setCurrentWidget(w->tabSQL);
    Pump();
  }
  ~TConsoleFixture() {
    CmdDirectSql = false;
    DebugMode = false;
  }
  // Types the text into the editor and presses Ctrl+T there.
  void Run(const QString& text) {
    w->SQLEditor->setText(text);
    w->SQLEditor->setFocus();
    PressKey(w->SQLEditor, Qt::Key_T, Qt::ControlModifier);
  }
};

// Takes its time over every message, as a user reading the box does, and notes the log
// pane's last line when the message came.
class TSlowReaderSink : public TLogMessageSink {
 public:
  static constexpr int kReadMs = 1200;
  explicit TSlowReaderSink(const TfrmMain& Main) : main_(Main) {}
  TMsgAnswer Show(const TMessage& Msg, TMsgButtons Buttons, TMsgAnswer Default) override {
    LogAtShow.push_back(LogLines(main_).back());
    QThread::msleep(kReadMs);
    return TLogMessageSink::Show(Msg, Buttons, Default);
  }
  QStringList LogAtShow;

 private:
  const TfrmMain& main_;
};

}  // namespace

TEST(SqlConsole, RunsQueriesIntoItsGridAndRefusesWhatWrites) {
  TConsoleFixture fx;
  TfrmMain& w = *fx.w;
  ASSERT_TRUE(AcisDB);
  Sink().Clear();

  // A select with leading blanks, pressed Ctrl+T in the editor.
  fx.Run("  \n select bango, meisho from m_kihon order by bango limit 7");
  ASSERT_FALSE(w.gdSQL->isHidden());
  EXPECT_EQ(w.gdSQL->RowCount(), 8);
  EXPECT_EQ(w.gdSQL->Cells(0, 0), "番号");
  EXPECT_EQ(w.GridStates[tiSQL].CountText, "7件");
  EXPECT_EQ(w.StatusText(3), "7件");
  EXPECT_EQ(w.SQLEditor->text(), "  \n select bango, meisho from m_kihon order by bango limit 7");  // Ctrl+T swaps no lines
  const QStringList log = LogLines(w);
  ASSERT_GE(log.size(), 3);
  EXPECT_TRUE(log[log.size() - 3].startsWith("SQL>  ")) << log.join('|').toStdString();
  EXPECT_TRUE(QRegularExpression("^SQL>実行時間 +\\d+\\.\\d\\d秒$").match(log.back()).hasMatch()) << log.back().toStdString();
  EXPECT_TRUE(Texts().empty());
  EXPECT_TRUE(w.actGridCopy->isEnabled());
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);

  // WITH and a lower-case pragma run too.
  fx.Run("with k as (select bango from m_kihon limit 3) select * from k");
  EXPECT_EQ(w.GridStates[tiSQL].CountText, "3件");
  fx.Run("pragma table_info('m_kihon')");
  EXPECT_GT(w.gdSQL->RowCount(), 5);

  // Statements that write are refused unless the text begins with "--/d".
  const int64_t products = Count("select count(distinct bango) from m_kihon");
  const int rows = w.gdSQL->RowCount();
  for (const char* text : {"delete from m_kihon", "with k as (select 1) delete from m_kihon",
                           "select 1; delete from m_kihon", "pragma user_version = 9", "select 1; begin"}) {
    Sink().Clear();
    fx.Run(text);
    EXPECT_EQ(Texts(), (std::vector<std::string>{"実行できない文です"})) << text;
    EXPECT_EQ(w.SQLEditor->text(), text);
  }
  EXPECT_EQ(Count("select count(distinct bango) from m_kihon"), products);
  EXPECT_EQ(Count("pragma user_version"), 0);
  EXPECT_EQ(w.gdSQL->RowCount(), rows);

  // A query that finds nothing warns; a failing one shows the SQL error and keeps the grid.
  Sink().Clear();
  fx.Run("select * from m_kihon where bango < 0");
  EXPECT_EQ(Texts(), (std::vector<std::string>{"検索条件に一致するデータはありません"}));
  Sink().Clear();
  fx.Run("select nosuchcolumn from m_kihon");
  ASSERT_EQ(Sink().Count(), 1u);
  EXPECT_TRUE(Sink().Messages()[0].memo);
  EXPECT_EQ(w.gdSQL->RowCount(), rows);
  EXPECT_TRUE(LogLines(w).back().startsWith("SQL>実行時間"));
  EXPECT_TRUE(w.pnlSQL->isEnabled());
  // A failing statement after a first one is reported too, never half run.
  Sink().Clear();
  fx.Run("select 1; select nosuchcolumn from m_kihon");
  EXPECT_EQ(Sink().Count(), 1u);

  // Direct mode: every statement runs; a direct text that is also a query warns on no rows.
  Sink().Clear();
  fx.Run("--/d\ndelete from m_kihon where bango = (select min(bango) from m_kihon);\n"
         "delete from m_kihon where bango = (select max(bango) from m_kihon)");
  EXPECT_TRUE(Texts().empty());
  EXPECT_EQ(Count("select count(distinct bango) from m_kihon"), products - 2);
  fx.Run("--/d select * from m_kihon where bango < 0");
  EXPECT_EQ(Texts(), (std::vector<std::string>{"検索条件に一致するデータはありません"}));
  // "/d" on the command line makes every text direct.
  CmdDirectSql = true;
  Sink().Clear();
  fx.Run("delete from m_kihon where bango = (select min(bango) from m_kihon)");
  EXPECT_TRUE(Texts().empty());
  EXPECT_EQ(Count("select count(distinct bango) from m_kihon"), products - 3);
  CmdDirectSql = false;

  // The two debug commands, only as the whole text.
  fx.Run("--/debug on");
  EXPECT_TRUE(DebugMode);
  EXPECT_EQ(LogLines(w).back(), "DebugMode ON");
  fx.Run("--/debug off");
  EXPECT_FALSE(DebugMode);
  EXPECT_EQ(LogLines(w).back(), "DebugMode OFF");
  fx.Run("--/debug on\n");  // a comment run in direct mode
  EXPECT_FALSE(DebugMode);
  EXPECT_TRUE(LogLines(w).back().startsWith("SQL>実行時間"));
}

// The logged time is the run's own: the "no data" warning, a failure while the rows are
// fetched and an SQL text that does not compile all come after the time line, once the run
// is over, and the time the user spends on them is not counted.
TEST(SqlConsole, LoggedTimeStopsBeforeAnyMessage) {
  TConsoleFixture fx;
  TfrmMain& w = *fx.w;
  ASSERT_TRUE(AcisDB);
  TSlowReaderSink sink(w);
  TScopedMessageSink scoped(&sink);
  const QRegularExpression timeLine("^SQL>実行時間 +(\\d+\\.\\d\\d)秒$");
  const struct {
    const char* sql;
    const char* says;
  } cases[] = {
      {"select * from m_kihon where bango < 0", "検索条件に一致するデータはありません"},
      {"select abs(-9223372036854775808) from m_kihon", "integer overflow"},  // fails while stepping
      {"select nosuchcolumn from m_kihon", "no such column"},                 // fails to compile
  };
  for (const auto& c : cases) {
    sink.Clear();
    sink.LogAtShow.clear();
    fx.Run(c.sql);
    ASSERT_EQ(sink.Count(), 1u) << c.sql;
    EXPECT_NE(sink.Messages()[0].text.find(c.says), std::string::npos) << sink.Messages()[0].text;
    const QRegularExpressionMatch m = timeLine.match(sink.LogAtShow[0]);
    ASSERT_TRUE(m.hasMatch()) << c.sql << ": " << sink.LogAtShow[0].toStdString();
    EXPECT_LT(m.captured(1).toDouble(), TSlowReaderSink::kReadMs / 1000.0) << c.sql;
    EXPECT_EQ(LogLines(w).back(), sink.LogAtShow[0]) << c.sql;  // nothing logged after it
    EXPECT_TRUE(w.pnlSQL->isEnabled());
  }
}

TEST(SqlConsole, RestoresTheMultiStatementFlagSoLaterScriptsCommit) {
  TConsoleFixture fx;
  ASSERT_TRUE(AcisDB);
  ASSERT_TRUE(AcisDB->FDb->ExecAll);
  sqlite3* h = AcisDB->FDb->Handle();
  // After a select, a refused statement and a direct script, the flag is what it was...
  for (const char* text : {"select * from m_kihon limit 3", "delete from m_kihon", "--/d select 1; select 2"}) {
    fx.Run(text);
    EXPECT_TRUE(AcisDB->FDb->ExecAll) << text;
  }
  // ...so the script a product click runs goes through to its COMMIT.
  fx.Run("select tsusho from m_kihon limit 1");
  const std::string tsusho = fx.w->gdSQL->Cells(0, 1);
  ASSERT_FALSE(tsusho.empty());
  ASSERT_TRUE(AcisDB->ExecSQL(
      "BEGIN TRANSACTION;DROP TABLE IF EXISTS t_seibun;CREATE TEMP TABLE t_seibun AS SELECT DISTINCT "
      "ifnullstr(seibun,ippanmei) AS seibun FROM kihon WHERE tsusho  = " + SqlQuote(tsusho) + ";COMMIT;"));
  EXPECT_EQ(sqlite3_get_autocommit(h), 1);
  EXPECT_GT(Count("select count(*) from t_seibun"), 0);
}

// The rows travel from the statement straight into the grid, and read there as the result
// cursor shows them (titles, NULL, numbers, blobs); a query that fails after some rows leaves
// the previous result in the grid, count included.
TEST(SqlConsole, ShowsRowsAsTheCursorDoesAndKeepsThemThroughAFailure) {
  TConsoleFixture fx;
  TfrmMain& w = *fx.w;
  ASSERT_TRUE(AcisDB);
  const std::string sql =
      "select bango, meisho, null as nix, bango / 7.0 as ratio, x'41e3' || meisho as bytes, foo_bar "
      "from m_kihon, (select 'x' as foo_bar) order by bango limit 40";
  auto cursor = AcisDB->FDb->GetTable(sql);
  std::vector<std::string> titles;
  for (int c = 0; c < cursor->ColCount(); ++c) titles.push_back(FieldCaption(cursor->Columns(c)));
  const TGridData data = TGridData::FromTable(*cursor, titles);
  ASSERT_EQ(data.RowCount(), 40);
  fx.Run(QString::fromStdString(sql));
  const TGridModel& m = w.gdSQL->Model();
  ASSERT_EQ(m.RowCount(), 41);
  // The fitting took out the empty column "nix".
  auto without = [](std::vector<std::string> row) {
    row.erase(row.begin() + 2);
    return row;
  };
  EXPECT_EQ(m.RowTexts(0), without(titles));
  EXPECT_EQ(titles[0], "番号");
  EXPECT_EQ(titles[5], "FOO_BAR");
  for (int r = 0; r < data.RowCount(); ++r) {
    std::vector<std::string> row;
    for (int c = 0; c < data.ColCount(); ++c) row.emplace_back(data.Cell(r, c));
    EXPECT_EQ(m.RowTexts(r + 1), without(row)) << r;
  }
  EXPECT_EQ(w.GridStates[tiSQL].CountText, "40件");

  // Fails on its sixth row.
  Sink().Clear();
  const std::vector<std::string> before = m.RowTexts(7);
  fx.Run("select bango, abs(case when rowid > 5 then -9223372036854775808 else 1 end) from m_kihon");
  ASSERT_EQ(Sink().Count(), 1u);
  EXPECT_NE(Sink().Messages()[0].text.find("integer overflow"), std::string::npos);
  EXPECT_EQ(w.gdSQL->Model().RowCount(), 41);
  EXPECT_EQ(w.gdSQL->Model().RowTexts(7), before);
  EXPECT_EQ(w.GridStates[tiSQL].CountText, "40件");
  EXPECT_FALSE(w.gdSQL->isHidden());
}

TEST(SqlConsole, ListsDatabasesTablesAndFieldsAndInsertsSnippets) {
  TConsoleFixture fx;
  TfrmMain& w = *fx.w;
  TSqlConsole& c = *fx.console;
  ASSERT_TRUE(AcisDB);
  // The side panel replaced the placeholder and keeps its name.
  EXPECT_EQ(w.pnlSqlSide, c.pnlSqlSide);
  EXPECT_EQ(w.findChild<QWidget*>("pnlSqlSide"), c.pnlSqlSide);
  // No jpp.db in the folder: two databases.
  ASSERT_EQ(c.cbDB->count(), 2);
  EXPECT_EQ(c.cbDB->itemText(0), "acis.db");
  EXPECT_EQ(c.cbDB->itemText(1), "spec.db");
  QStringList tables;
  for (int i = 0; i < c.cbTableName->count(); ++i) tables << c.cbTableName->itemText(i);
  EXPECT_TRUE(tables.contains("m_kihon"));
  EXPECT_TRUE(tables.contains("ttTekiyoSaku"));  // temporary tables too
  EXPECT_FALSE(tables.contains("info"));
  // Choosing a table lists its columns.
  c.cbTableName->setCurrentText("m_kihon");
  QStringList fields;
  for (int i = 0; i < c.lstSqlField->count(); ++i) fields << c.lstSqlField->item(i)->text();
  EXPECT_EQ(fields.mid(0, 3), (QStringList{"bango", "shurui", "meisho"}));
  // spec.db lists its own tables.
  c.cbDB->setCurrentIndex(1);
  c.cbDBSelect();
  EXPECT_GT(c.cbTableName->count(), 3);
  EXPECT_GT(c.lstSqlField->count(), 0);
  c.cbDB->setCurrentIndex(0);
  c.cbDBSelect();
  c.cbTableName->setCurrentText("m_kihon");

  // Field snippets need ticked fields.
  emit c.pmnSqlField->aboutToShow();
  for (QAction* a : c.FieldItems) EXPECT_FALSE(a->isEnabled()) << a->text().toStdString();
  c.lstSqlField->SetChecked(0, true);
  c.lstSqlField->SetChecked(2, true);
  emit c.pmnSqlField->aboutToShow();
  for (QAction* a : c.FieldItems) EXPECT_TRUE(a->isEnabled());
  auto item = [&](const char* name) { return c.pmnSqlField->findChild<QAction*>(name); };
  w.SQLEditor->clear();
  item("pmnSelectFrom")->trigger();
  item("pmnWhereLikeOr")->trigger();
  item("pmnOrderBy")->trigger();
  EXPECT_EQ(w.SQLEditor->text(), "SELECT bango,meisho FROM m_kihon where bango like '%%'\n OR meisho like '%%' ORDER BY bango,meisho");
  // A selection is replaced.
  w.SQLEditor->selectAll();
  item("pmnSelectAllFrom")->trigger();
  EXPECT_EQ(w.SQLEditor->text(), "SELECT * FROM m_kihon");
  item("pmnCheckAll")->trigger();
  EXPECT_EQ(c.lstSqlField->CheckCount(), c.lstSqlField->count());
  EXPECT_EQ(CheckedItemsCommaText(c.lstSqlField).substr(0, 20), "bango,shurui,meisho,");
  item("pmnCheckNone")->trigger();
  EXPECT_EQ(c.lstSqlField->CheckCount(), 0);
  w.SQLEditor->clear();
  c.pmnTableInfo->trigger();
  c.pmnIndexList->trigger();
  EXPECT_EQ(w.SQLEditor->text(),
            "PRAGMA table_info('m_kihon');SELECT * FROM sqlite_master WHERE type='index' and name <> 'info' ORDER BY name;");
  // The snippet runs.
  w.SQLEditor->setText("PRAGMA table_info('m_kihon');");
  w.SQLEditor->setFocus();
  PressKey(w.SQLEditor, Qt::Key_T, Qt::ControlModifier);
  EXPECT_GT(w.gdSQL->RowCount(), 10);
}

// The side panel is narrow; the table list opens as wide as its longest name instead of
// cutting names short, and no wider once the names are short again.
TEST(SqlConsole, TableListOpensAsWideAsItsLongestName) {
  TConsoleFixture fx;
  TSqlConsole& c = *fx.console;
  ASSERT_TRUE(AcisDB);
  const QString longName = "tvTekiyoSakumotsuByochuRegisteredInTheLastTenYears";
  AcisDB->ExecSQL("CREATE TEMP VIEW " + longName.toStdString() + " AS SELECT 1 AS a");
  c.cbDBSelect();
  ASSERT_GE(c.cbTableName->findText(longName), 0);
  QAbstractItemView* list = c.cbTableName->view();
  const int textWidth = QFontMetrics(list->font()).horizontalAdvance(longName);
  ASSERT_GT(textWidth, c.cbTableName->width());  // the name is wider than the combo box
  c.cbTableName->showPopup();
  Pump(20);
  EXPECT_TRUE(list->isVisible());
  EXPECT_GE(list->viewport()->width(), textWidth);
  EXPECT_GE(list->viewport()->width(), list->sizeHintForColumn(0));  // margins of the item too
  c.cbTableName->hidePopup();

  // The second database's tables have short names: the list is no longer that wide.
  c.cbDB->setCurrentIndex(1);
  c.cbDBSelect();
  c.cbTableName->showPopup();
  Pump(20);
  EXPECT_LT(list->width(), textWidth);
  c.cbTableName->hidePopup();
}

TEST(SqlConsole, HighlighterShowsEverySettingOfTheOptions) {
  TConsoleFixture fx(
      "[COLOR]\nSQLKeywordColor=00800000\nSQLFunctionColor=000000FF\nSQLDatatypeColor=0000FF00\n"
      "SQLTableNameColor=00FF00FF\nSQLPragmasColor=00008080\n"
      "[VIEW]\nSQLKeywordBold=0\nSQLFunctionBold=1\nSQLDatatypeBold=1\nSQLTableNameBold=1\nSQLPragmasBold=0\n");
  TfrmMain& w = *fx.w;
  TSqlHighlighter* lexer = fx.console->SynSQLSyn;
  ASSERT_EQ(w.SQLEditor->lexer(), lexer);
  ASSERT_EQ(w.SQLHighlighter, lexer);
  const QString text = "select count(*), cast(bango as integer), strconv(meisho) from m_kihon;\npragma table_info('x');";
  w.SQLEditor->setText(text);
  w.SQLEditor->SendScintilla(QsciScintilla::SCI_COLOURISE, 0L, -1L);
  auto styleOf = [&](const QString& word) {
    const long pos = static_cast<long>(text.left(text.indexOf(word)).toUtf8().size());
    return static_cast<int>(w.SQLEditor->SendScintilla(QsciScintilla::SCI_GETSTYLEAT, pos));
  };
  const struct {
    const char* word;
    int style;
    TColor color;
    bool bold;
  } cases[] = {
      {"select", QsciLexerSQL::Keyword, 0x800000, false},
      {"count", QsciLexerSQL::KeywordSet5, 0x0000FF, true},
      {"strconv", QsciLexerSQL::KeywordSet5, 0x0000FF, true},  // the program's own function
      {"integer", QsciLexerSQL::KeywordSet6, 0x00FF00, true},
      {"m_kihon", QsciLexerSQL::KeywordSet7, 0xFF00FF, true},  // a table of the open database
      {"table_info", QsciLexerSQL::KeywordSet8, 0x008080, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(styleOf(c.word), c.style) << c.word;
    EXPECT_EQ(lexer->color(c.style), ColorToQColor(c.color)) << c.word;
    EXPECT_EQ(lexer->font(c.style).bold(), c.bold) << c.word;
  }
  EXPECT_GT(lexer->Words(1).size(), 100u);  // SQLite's keywords
}

TEST(SqlConsole, EditorHeightAndSplitterPositionsComeBack) {
  TConsoleFixture fx("[WINDOW]\nLeft=0\nTop=0\nWidth=1000\nHeight=700\nSQLEditHeight=260\nSQLSidePanelWidth=190\n");
  TfrmMain& w = *fx.w;
  Pump(100);
  EXPECT_EQ(w.pnlSQL->height(), 260);
  EXPECT_EQ(w.pnlSqlSide->width(), 190);
  EXPECT_GT(w.SQLEditor->height(), 200);
  // The user drags the splitter; the new size is stored at close and comes back.
  QList<int> sizes = w.SplitterSQL->sizes();
  sizes[1] += sizes[0] - 150;
  sizes[0] = 150;
  w.SplitterSQL->setSizes(sizes);
  emit w.SplitterSQL->splitterMoved(150, 1);
  w.close();
  Pump();
  EXPECT_NE(fx.ReadIni().find("SQLEditHeight=150"), std::string::npos);
  EXPECT_NE(fx.ReadIni().find("SQLSidePanelWidth=190"), std::string::npos);
  fx.w.reset();
  AcisDB.reset();
  TfrmMain again;
  InstallSqlConsole(again);
  again.show();
  again.pgSearch->setCurrentWidget(again.tabSQL);
  Pump(100);
  EXPECT_EQ(again.pnlSQL->height(), 150);
}

TEST(SqlConsole, EditorKeysPopupAndQueryFiles) {
  TConsoleFixture fx;
  TfrmMain& w = *fx.w;
  TSqlConsole& c = *fx.console;
  QsciScintilla* ed = w.SQLEditor;
  ed->setText("select 1;\nselect 2;");
  ed->setFocus();
  EXPECT_TRUE(w.btnQueryExec->isEnabled());
  EXPECT_TRUE(w.btnQuerySave->isEnabled());
  // Copy and cut only with a selection.
  EXPECT_FALSE(c.pmnCopy->isEnabled());
  ed->setSelection(0, 0, 0, 6);
  EXPECT_TRUE(c.pmnCopy->isEnabled());
  EXPECT_TRUE(c.pmnCut->isEnabled());
  // The popup's keys are the editor's own: Ctrl+C, Ctrl+X, Ctrl+V and Ctrl+A work on its text,
  // never on the result grid (whose copy and row removal share the keys).
  ASSERT_TRUE(fx.w->ShowQueryInGrid(w.gdSQL, "SELECT bango FROM m_kihon ORDER BY bango LIMIT 3"));
  ed->setFocus();
  ASSERT_EQ(QApplication::focusWidget(), ed);
  QApplication::clipboard()->clear();
  PressKey(ed, Qt::Key_C, Qt::ControlModifier);
  EXPECT_EQ(QApplication::clipboard()->text(), "select");
  PressKey(ed, Qt::Key_X, Qt::ControlModifier);
  EXPECT_EQ(ed->text(), " 1;\nselect 2;");
  EXPECT_EQ(w.gdSQL->RowCount(), 4);
  ed->setCursorPosition(1, 0);
  PressKey(ed, Qt::Key_V, Qt::ControlModifier);
  EXPECT_EQ(ed->text(), " 1;\nselectselect 2;");
  PressKey(ed, Qt::Key_Z, Qt::ControlModifier);
  ed->setCursorPosition(0, 0);
  PressKey(ed, Qt::Key_V, Qt::ControlModifier);
  EXPECT_EQ(ed->text(), "select 1;\nselect 2;");
  PressKey(ed, Qt::Key_A, Qt::ControlModifier);
  EXPECT_EQ(ed->selectedText(), "select 1;\nselect 2;");
  EXPECT_EQ(QApplication::clipboard()->text(), "select");
  ed->setSelection(0, 0, 0, 6);
  // Ctrl+Delete clears everything, undoably; an empty editor switches "実行", "保存" and the
  // search action off.
  PressKey(ed, Qt::Key_Delete, Qt::ControlModifier);
  EXPECT_EQ(ed->text(), "");
  EXPECT_FALSE(w.btnQueryExec->isEnabled());
  EXPECT_FALSE(w.btnQuerySave->isEnabled());
  EXPECT_FALSE(w.actSearchTekiyou->isEnabled());
  PressKey(ed, Qt::Key_Z, Qt::ControlModifier);
  EXPECT_EQ(ed->text(), "select 1;\nselect 2;");
  EXPECT_TRUE(w.actSearchTekiyou->isEnabled());
  // The other tabs have the search action as their own searches say (none installed here).
  ed->clear();
  EXPECT_FALSE(w.actSearchTekiyou->isEnabled());
  w.pgSearch->setCurrentIndex(tiByochu);
  EXPECT_FALSE(w.actSearchTekiyou->isEnabled());
  w.pgSearch->setCurrentWidget(w.tabSQL);
  EXPECT_FALSE(w.actSearchTekiyou->isEnabled());
  ed->setText("select 1;\nselect 2;");

  // Query files: saved in the template folder, loaded back; a CP932 file reads too.
  QTemporaryDir dir;
  OptionData->TemplateDir = dir.path().toStdString();
  ed->setText("select 'トマト';\nselect 2;");
  QString shownIn;
  TFileDialogPos::AfterShow = [&](QFileDialog& d) {
    shownIn = d.directory().absolutePath();
    d.selectFile(dir.filePath("q1"));
    QMetaObject::invokeMethod(&d, "accept");
  };
  w.btnQuerySave->click();
  EXPECT_EQ(shownIn, dir.path());
  QFile saved(dir.filePath("q1.qry"));
  ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
  EXPECT_EQ(saved.readAll().toStdString(), "select 'トマト';\r\nselect 2;\r\n");
  ed->clear();
  TFileDialogPos::AfterShow = [&](QFileDialog& d) {
    d.selectFile(dir.filePath("q1.qry"));
    QMetaObject::invokeMethod(&d, "accept");
  };
  w.btnQueryLoad->click();
  EXPECT_EQ(ed->text(), "select 'トマト';\nselect 2;");
  std::string cp932;
  ASSERT_TRUE(Utf8ToCp932("select 'なす'\r\n", cp932).Ok);
  QFile old(dir.filePath("old.qry"));
  ASSERT_TRUE(old.open(QIODevice::WriteOnly));
  old.write(cp932.data(), static_cast<qint64>(cp932.size()));
  old.close();
  TFileDialogPos::AfterShow = [&](QFileDialog& d) {
    d.selectFile(old.fileName());
    QMetaObject::invokeMethod(&d, "accept");
  };
  w.btnQueryLoad->click();
  EXPECT_EQ(ed->text(), "select 'なす'");
  // A cancelled dialog changes nothing.
  TFileDialogPos::AfterShow = [](QFileDialog& d) { d.reject(); };
  w.btnQueryLoad->click();
  EXPECT_EQ(ed->text(), "select 'なす'");
  TFileDialogPos::AfterShow = nullptr;

  // The editor's menu opens at the pointer (inside the editor's frame).
  ASSERT_GT(ed->frameWidth(), 0);
  const QPoint at(40, 8);
  TMenuSeen seen = OpenMenu([&] { RightClick(ed->viewport(), at); });
  ASSERT_EQ(seen.Menu, c.pmSQLEdit);
  EXPECT_EQ(seen.Pos, ed->viewport()->mapToGlobal(at));
}

TEST(SqlConsole, SendToSqlWritesTheLookUpAndShowsTheTab) {
  TConsoleFixture fx;
  TfrmMain& w = *fx.w;
  w.pgSearch->setCurrentIndex(tiSakumotsu);
  w.SQLEditor->setText("kept");
  w.PopupCellText.clear();
  w.pmnSendToSqlClick();
  EXPECT_EQ(w.SQLEditor->text(), "kept");
  EXPECT_EQ(w.pgSearch->currentIndex(), tiSakumotsu);
  w.ResultViewName = "tvTekiyoSaku1";
  w.PopupCellText = "トマト（施設栽培）";
  w.pmnSendToSqlClick();
  EXPECT_EQ(w.pgSearch->currentIndex(), tiSQL);
  EXPECT_EQ(w.SQLEditor->text(), "select * from tvTekiyoSaku1 where sakumotsu regexp '(^|､)トマト\\(施設栽培\\)(､|$)'");
  EXPECT_TRUE(w.actSearchTekiyou->isEnabled());
  EXPECT_TRUE(w.gdSQL->isHidden());  // not run
}

TEST(SqlConsole, InstalledWithTheSearchPages) {
  TMainWindowFixture fx;
  ASSERT_TRUE(fx.BuildSampleDb());
  TfrmMain w;
  InstallSearchPages(w);
  ASSERT_NE(SqlConsoleOf(w), nullptr);
  w.show();
  Pump();
  ASSERT_TRUE(AcisDB);
  EXPECT_GT(SqlConsoleOf(w)->cbTableName->count(), 10);
  EXPECT_EQ(w.btnQueryLoad->text(), "読み込み");
  // The search action on the SQL tab runs the console.
  w.pgSearch->setCurrentWidget(w.tabSQL);
  w.SQLEditor->setText("select * from m_kihon limit 2");
  w.SQLEditor->setFocus();
  PressKey(w.SQLEditor, Qt::Key_T, Qt::ControlModifier);
  EXPECT_EQ(w.GridStates[tiSQL].CountText, "2件");
}

TEST(SqlConsole, OffersJppDbWhenTheFolderHoldsIt) {
  TMainWindowFixture fx;
  ASSERT_TRUE(fx.BuildSampleDb());
  {
    TSQLiteDb jpp(fx.DBDir() + "/jpp.db");
    jpp.ExecSQL("CREATE TABLE JppKihon (bango INTEGER, meisho TEXT)");
  }
  TfrmMain w;
  TSqlConsole* c = InstallSqlConsole(w);
  w.show();
  Pump();
  ASSERT_TRUE(AcisDB);
  ASSERT_EQ(c->cbDB->count(), 3);
  EXPECT_EQ(c->cbDB->itemText(2), "jpp.db");
  c->cbDB->setCurrentIndex(2);
  c->cbDBSelect();
  ASSERT_EQ(c->cbTableName->count(), 1);
  EXPECT_EQ(c->cbTableName->itemText(0), "JppKihon");
  ASSERT_EQ(c->lstSqlField->count(), 2);
  EXPECT_EQ(c->lstSqlField->item(1)->text(), "meisho");
  // The highlighter knows its tables too.
  const auto tables = c->SynSQLSyn->Words(7);
  EXPECT_NE(std::find(tables.begin(), tables.end(), "jppkihon"), tables.end());
  EXPECT_NE(std::find(tables.begin(), tables.end(), "m_kihon"), tables.end());
}

TEST(SqlConsole, ASelectFollowedByAProductClickLeavesNoTransactionOpen) {
  TMainWindowFixture fx;
  ASSERT_TRUE(fx.BuildSampleDb());
  TfrmMain w;
  InstallSqlConsole(w);
  InstallChemicalSearch(w);
  w.show();
  Pump();
  ASSERT_TRUE(AcisDB);
  w.pgSearch->setCurrentWidget(w.tabSQL);
  w.SQLEditor->setText("select * from m_kihon limit 5");
  w.SQLEditor->setFocus();
  PressKey(w.SQLEditor, Qt::Key_T, Qt::ControlModifier);
  ASSERT_EQ(w.GridStates[tiSQL].CountText, "5件");
  // The product chosen by a click on the chemical tab's number list.
  w.pgSearch->setCurrentIndex(tiYakuzai);
  ASSERT_GT(w.lstBango->count(), 3);
  w.lstBango->setCurrentRow(3);
  emit w.lstBango->itemClicked(w.lstBango->item(3));
  Pump();
  EXPECT_EQ(sqlite3_get_autocommit(AcisDB->FDb->Handle()), 1);
  EXPECT_GT(Count("select count(*) from t_seibun"), 0);
  EXPECT_TRUE(AcisDB->FDb->ExecAll);
}

// The first start stores no editor height and the designed one is 60 pixels with the buttons:
// the editor still shows a few lines, and the splitter cannot squeeze it below that.
TEST(SqlConsole, EditorKeepsRoomForItsLines) {
  TConsoleFixture fx("[WINDOW]\nLeft=0\nTop=0\nWidth=1000\nHeight=700\nSQLEditHeight=60\n");
  TfrmMain& w = *fx.w;
  Pump(100);
  QsciScintilla* ed = w.SQLEditor;
  const int line = ed->textHeight(0);
  ASSERT_GT(line, 0);
  EXPECT_GE(ed->viewport()->height(), 3 * line);
  QList<int> sizes = w.SplitterSQL->sizes();
  sizes[1] += sizes[0] - 10;
  sizes[0] = 10;
  w.SplitterSQL->setSizes(sizes);
  Pump(10);
  EXPECT_GE(ed->viewport()->height(), 3 * line);
  EXPECT_TRUE(w.btnQueryExec->isVisible());
  // The buttons below the editor are neither covered nor cut off.
  const int buttonTop = w.btnQueryExec->mapTo(&w, QPoint(0, 0)).y();
  EXPECT_GE(buttonTop, ed->mapTo(&w, QPoint(0, ed->height())).y());
  EXPECT_LE(buttonTop + w.btnQueryExec->height(), w.SplitterSQL->widget(0)->mapTo(&w, QPoint(0, 0)).y() +
                                                      w.SplitterSQL->widget(0)->height());
}

// A tall stored editor in a small window: the result below keeps its titles and a few rows in
// sight (the editor gives way down to its own few lines), also when the user drags the
// splitter all the way down.
TEST(SqlConsole, ResultKeepsRoomBelowATallEditor) {
  TConsoleFixture fx("[WINDOW]\nLeft=0\nTop=0\nWidth=640\nHeight=480\nSQLEditHeight=295\n");
  TfrmMain& w = *fx.w;
  w.resize(640, 480);
  Pump(100);
  fx.Run("select * from m_byochu;");
  Pump(50);
  ASSERT_FALSE(w.gdSQL->isHidden());
  const int row = w.gdSQL->fontMetrics().height();
  EXPECT_GE(w.gdSQL->viewport()->height(), 3 * row) << w.gdSQL->height();
  QList<int> sizes = w.SplitterSQL->sizes();
  sizes[0] += sizes[1];
  sizes[1] = 0;
  w.SplitterSQL->setSizes(sizes);
  Pump(10);
  EXPECT_GE(w.gdSQL->viewport()->height(), 3 * row);
  EXPECT_GE(w.SQLEditor->viewport()->height(), 3 * w.SQLEditor->textHeight(0));
}
