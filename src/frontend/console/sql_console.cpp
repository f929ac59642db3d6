#include "frontend/console/sql_console.h"

#include <Qsci/qscicommand.h>
#include <Qsci/qscicommandset.h>
#include <Qsci/qsciscintilla.h>

#include <QAbstractItemView>
#include <QAction>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QLayout>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QSplitter>
#include <QStyle>
#include <QTabWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <cstdio>
#include <optional>

#include "database/acis_db.h"
#include "database/field_caption.h"
#include "database/regex_utils.h"
#include "database/sql_readonly.h"
#include "database/sql_template.h"
#include "foundation/check_list_box_ex.h"
#include "foundation/comma_text.h"
#include "foundation/file_dialog_pos.h"
#include "foundation/global.h"
#include "foundation/message_sink.h"
#include "foundation/options.h"
#include "frontend/console/sql_console_text.h"
#include "frontend/console/sql_highlighter.h"
#include "frontend/frm_main.h"
#include "frontend/main_widgets.h"
#include "output/grid_model.h"
#include "output/xls_string_grid.h"

using namespace MainWidgets;

namespace {

constexpr const char* kQueryFilterSave = "ｸｴﾘｰﾌｧｲﾙ (*.qry)|*.qry";
constexpr const char* kQueryFilterLoad = "ｸｴﾘｰﾌｧｲﾙ (*.qry)|*.qry|ﾃｷｽﾄﾌｧｲﾙ (*.txt)|*.txt";

std::vector<std::string> TextLines(const QString& Text) {
  std::vector<std::string> lines;
  QString t = Text;
  t.replace("\r\n", "\n");
  t.replace('\r', '\n');
  if (t.endsWith('\n')) t.chop(1);
  for (const QString& l : t.split('\n')) lines.push_back(l.toStdString());
  return lines;
}

// The drop-down list of a combo box opens as wide as its longest item (with the item's
// margins, the frame and a scroll bar), never narrower than the box and never wider than
// the screen: the side panel is narrow and the list would cut long names short.
void FitListToNames(QComboBox* Combo) {
  QAbstractItemView* list = Combo->view();
  int width = list->sizeHintForColumn(0) + 2 * list->frameWidth() +
              list->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, list);
  if (const QScreen* screen = Combo->screen()) width = std::min(width, screen->availableGeometry().width());
  list->setMinimumWidth(std::max(width, 0));
}

// The multi-statement flag of the database object as it was before a run, set again when
// the run ends (also by a refusal or an exception).
class TMultiStatementScope {
 public:
  explicit TMultiStatementScope(bool On) : acis_(AcisDB.get()), was_(AcisDB->FDb->ExecAll) { acis_->SetMultiStatement(On); }
  ~TMultiStatementScope() {
    if (AcisDB.get() == acis_) acis_->SetMultiStatement(was_);
  }
  TMultiStatementScope(const TMultiStatementScope&) = delete;
  TMultiStatementScope& operator=(const TMultiStatementScope&) = delete;

 private:
  TAcisDB* acis_;
  bool was_;
};

}  // namespace

// ---------------------------------------------------------------------------------------------
// Check lists

void SetCheckListAll(TCheckListBoxEx* List, bool State) {
  if (!List) return;
  for (int i = 0; i < List->count(); ++i) List->SetChecked(i, State);
}

std::string CheckedItemsCommaText(const TCheckListBoxEx* List) {
  std::vector<std::string> items;
  if (List)
    for (int i = 0; i < List->count(); ++i)
      if (List->Checked(i)) items.push_back(List->item(i)->text().toStdString());
  return ListToCommaText(items);
}

// ---------------------------------------------------------------------------------------------
// Construction

TSqlConsole::TSqlConsole(TfrmMain& Main) : main_(Main) {
  setObjectName("SqlConsole");
  BuildSidePanel();
  InstallHighlighter();
  BuildEditorPopup();
  BuildFieldPopup();
  main_.btnQueryLoad->setText("読み込み");
  connect(main_.btnQuerySave, &QPushButton::clicked, this, [this] { btnQuerySaveClick(); });
  connect(main_.btnQueryLoad, &QPushButton::clicked, this, [this] { btnQueryLoadClick(); });
  connect(main_.SQLEditor, &QsciScintilla::textChanged, this, [this] { SQLEditorChange(); });
  // The search action belongs to every tab: on the SQL tab it follows the editor's text (the
  // main window asks CanSearch on every tab change).
  SQLEditorChange();
  // However small the stored height (the first start's is 60 pixels, buttons included), the
  // editor keeps room for a few lines of text beside its scroll bar.
  KeepEditorLines();
  // A whole table in the grid is fitted in a moment, long cells further down included.
  if (main_.gdSQL) main_.gdSQL->WidthSampleRows = kWidthSampleRows;
}

void TSqlConsole::KeepEditorLines() {
  QsciScintilla* ed = main_.SQLEditor;
  const int line = std::max(ed->textHeight(0), ed->fontMetrics().height());
  const int bar = ed->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, ed);
  ed->setMinimumHeight(kEditorMinLines * line + bar + 2 * ed->frameWidth() + 4);
  // The pane of the splitter that holds the editor and its buttons: never smaller than they need.
  QWidget* pane = ed;
  while (pane->parentWidget() && !qobject_cast<QSplitter*>(pane->parentWidget())) pane = pane->parentWidget();
  if (pane->layout()) pane->setMinimumHeight(std::max(pane->minimumHeight(), pane->layout()->minimumSize().height()));
  // However tall the stored editor or small the window, the result below keeps its titles and
  // a few rows in sight: the editor gives way instead, down to its own lines.
  auto* split = qobject_cast<QSplitter*>(pane->parentWidget());
  TXlsStringGrid* g = main_.gdSQL;
  if (!split || !g) return;
  split->setChildrenCollapsible(false);
  const int row = std::max(g->verticalHeader()->defaultSectionSize(), g->fontMetrics().height() + 4);
  const int gridBar = g->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, g);
  for (int i = 0; i < split->count(); ++i) {
    QWidget* other = split->widget(i);
    if (other != pane)
      other->setMinimumHeight(std::max(other->minimumHeight(), (kResultMinRows + 1) * row + gridBar + 2 * g->frameWidth() + 4));
  }
}

TSqlConsole::~TSqlConsole() = default;

void TSqlConsole::BuildSidePanel() {
  pnlSqlSide = NewPanel("pnlSqlSide");
  auto* l = new QVBoxLayout(pnlSqlSide);
  l->setContentsMargins(0, 0, 0, 0);
  l->setSpacing(2);
  l->addWidget(new QLabel("DB"));
  cbDB = NewCombo("cbDB", false);
  cbDB->addItems({"acis.db", "spec.db"});
  l->addWidget(cbDB);
  l->addWidget(new QLabel("テーブル"));
  cbTableName = NewCombo("cbTableName", true);
  cbTableName->setInsertPolicy(QComboBox::NoInsert);
  cbTableName->setMaxVisibleItems(20);
  l->addWidget(cbTableName);
  lstSqlField = Named(new TCheckListBoxEx, "lstSqlField");
  lstSqlField->setContextMenuPolicy(Qt::CustomContextMenu);
  l->addWidget(lstSqlField, 1);
  main_.pnlSqlSide = main_.ReplaceControl(main_.pnlSqlSide, pnlSqlSide);
  main_.cbTableName = cbTableName;
  connect(cbDB, &QComboBox::activated, this, [this] { cbDBSelect(); });
  connect(cbTableName, &QComboBox::currentTextChanged, this, [this] { cbTableNameSelect(); });
}

void TSqlConsole::InstallHighlighter() {
  QsciLexer* old = main_.SQLEditor->lexer();
  SynSQLSyn = new TSqlHighlighter(main_.SQLEditor);
  main_.SQLEditor->setLexer(SynSQLSyn);
  main_.SQLHighlighter = SynSQLSyn;
  if (old && old != SynSQLSyn) delete old;
  main_.ApplySqlEditorSettings();
}

void TSqlConsole::BuildEditorPopup() {
  QsciScintilla* ed = main_.SQLEditor;
  pmSQLEdit = Named(new QMenu(ed), "pmSQLEdit");
  auto item = [this](QMenu* menu, const QString& caption, const char* name, const QKeySequence& key = {}) {
    QAction* a = Named(menu->addAction(caption), name);
    if (!key.isEmpty()) a->setShortcut(key);
    return a;
  };
  pmnUndo = item(pmSQLEdit, "元に戻す(&U)", "pmnUndo", QKeySequence("Ctrl+Z"));
  pmnRedo = item(pmSQLEdit, "やり直し(&R)", "pmnRedo");
  pmSQLEdit->addSeparator();
  pmnCopy = item(pmSQLEdit, "コピー(&C)", "pmnCopy", QKeySequence("Ctrl+C"));
  pmnCut = item(pmSQLEdit, "切り取り(&T)", "pmnCut", QKeySequence("Ctrl+X"));
  pmnPaste = item(pmSQLEdit, "貼り付け(&P)", "pmnPaste", QKeySequence("Ctrl+V"));
  pmSQLEdit->addSeparator();
  pmnSelectAll = item(pmSQLEdit, "全て選択(&L)", "pmnSelectAll", QKeySequence("Ctrl+A"));
  pmnClearAll = item(pmSQLEdit, "全て消去(&D)", "pmnClearAll", QKeySequence("Ctrl+Delete"));
  pmSQLEdit->addSeparator();
  QMenu* sql = Named(pmSQLEdit->addMenu("SQL"), "pmnSQL");
  pmnTableList = item(sql, "テーブル・ビュー一覧", "pmnTableList");
  pmnTempTableList = item(sql, "テンポラリテーブル・ビュー一覧", "pmnTempTableList");
  pmnIndexList = item(sql, "インデックス一覧", "pmnIndexList");

  // The editor's own keys do undo, copy, cut, paste and select all. Ctrl+Delete clears the
  // whole text (undoably) instead of deleting a word, and Ctrl+T is the search action (it runs
  // the text) instead of swapping two lines.
  for (QKeyCombination k : {Qt::CTRL | Qt::Key_Delete, Qt::CTRL | Qt::Key_T}) {
    if (QsciCommand* c = ed->standardCommands()->boundTo(k.toCombined())) {
      if (c->key() == k.toCombined())
        c->setKey(0);
      else
        c->setAlternateKey(0);
    }
  }
  pmnClearAll->setShortcutContext(Qt::WidgetShortcut);
  ed->addAction(pmnClearAll);

  connect(pmnUndo, &QAction::triggered, ed, &QsciScintilla::undo);
  connect(pmnRedo, &QAction::triggered, ed, &QsciScintilla::redo);
  connect(pmnCopy, &QAction::triggered, ed, &QsciScintilla::copy);
  connect(pmnCut, &QAction::triggered, ed, &QsciScintilla::cut);
  connect(pmnPaste, &QAction::triggered, ed, &QsciScintilla::paste);
  connect(pmnSelectAll, &QAction::triggered, ed, [ed] { ed->selectAll(true); });
  connect(pmnClearAll, &QAction::triggered, ed, [ed] {
    ed->selectAll(true);
    ed->removeSelectedText();
  });
  connect(pmnTableList, &QAction::triggered, this, [this] { InsertSnippet(kTableListSql); });
  connect(pmnTempTableList, &QAction::triggered, this, [this] { InsertSnippet(kTempTableListSql); });
  connect(pmnIndexList, &QAction::triggered, this, [this] { InsertSnippet(kIndexListSql); });
  connect(ed, &QsciScintilla::selectionChanged, this, [this] { UpdateEditPopup(); });
  ed->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(ed, &QWidget::customContextMenuRequested, this, [this, ed](const QPoint& p) {
    UpdateEditPopup();
    // The position is the text area's, inside the editor's frame.
    pmSQLEdit->popup(ed->viewport()->mapToGlobal(p));
  });
  UpdateEditPopup();
}

void TSqlConsole::UpdateEditPopup() {
  const bool sel = main_.SQLEditor->hasSelectedText();
  pmnCopy->setEnabled(sel);
  pmnCut->setEnabled(sel);
}

void TSqlConsole::BuildFieldPopup() {
  pmnSqlField = Named(new QMenu(lstSqlField), "pmnSqlField");
  auto item = [this](const QString& caption, const char* name, bool needsFields, auto&& run) {
    QAction* a = Named(pmnSqlField->addAction(caption), name);
    connect(a, &QAction::triggered, this, run);
    if (needsFields) FieldItems.push_back(a);
    return a;
  };
  pmnSelectAllFrom = item("select * from(&A)", "pmnSelectAllFrom", false,
                          [this] { InsertSnippet(SelectAllSnippet(TableName())); });
  item("select ～ from(&S)", "pmnSelectFrom", true,
       [this] { InsertSnippet(SelectFieldsSnippet(CheckedFields(), TableName(), false)); });
  item("select distinct ～ from(&D)", "pmnSelectDistinct", true,
       [this] { InsertSnippet(SelectFieldsSnippet(CheckedFields(), TableName(), true)); });
  pmnSqlField->addSeparator();
  const struct {
    const char* caption;
    const char* name;
    int mode;
    const char* conj;
  } wheres[] = {
      {"where ～ like or(&L)", "pmnWhereLikeOr", 0, "OR"},       {"where ～ like and(&K)", "pmnWhereLikeAnd", 0, "AND"},
      {"where ～ match or(&M)", "pmnWhereMatchOr", 1, "OR"},     {"where ～ match and(&T)", "pmnWhereMatchAnd", 1, "AND"},
      {"where ～ regexp or(&R)", "pmnWhereRegexpOr", 2, "OR"},   {"where ～ regexp and(&E)", "pmnWhereRegexpAnd", 2, "AND"},
  };
  for (const auto& w : wheres) {
    const int mode = w.mode;
    const std::string conj = w.conj;
    item(w.caption, w.name, true, [this, mode, conj] { InsertSnippet(BuildWhereClause(mode, CheckedFields(), conj)); });
  }
  pmnSqlField->addSeparator();
  item("order by ～(&O)", "pmnOrderBy", true, [this] { InsertSnippet(OrderBySnippet(CheckedFields())); });
  item("group by ～(&G)", "pmnGroupBy", true, [this] { InsertSnippet(GroupBySnippet(CheckedFields())); });
  pmnSqlField->addSeparator();
  pmnTableInfo = item("PRAGMA table_info", "pmnTableInfo", false, [this] { InsertSnippet(TableInfoSnippet(TableName())); });
  pmnIndexInfo = item("PRAGMA index_list", "pmnIndexInfo", false, [this] { InsertSnippet(IndexListSnippet(TableName())); });
  pmnSqlField->addSeparator();
  pmnCheckAll = item("全て選択(&L)", "pmnCheckAll", false, [this] { SetCheckListAll(lstSqlField, true); });
  pmnCheckNone = item("全て解除(&F)", "pmnCheckNone", false, [this] { SetCheckListAll(lstSqlField, false); });
  connect(pmnSqlField, &QMenu::aboutToShow, this, [this] { UpdateFieldPopup(); });
  connect(lstSqlField, &QWidget::customContextMenuRequested, this,
          [this](const QPoint& p) { pmnSqlField->popup(lstSqlField->viewport()->mapToGlobal(p)); });
  UpdateFieldPopup();
}

void TSqlConsole::UpdateFieldPopup() {
  const bool any = lstSqlField->CheckCount() > 0;
  for (QAction* a : FieldItems) a->setEnabled(any);
}

// ---------------------------------------------------------------------------------------------
// Editor

void TSqlConsole::InsertSnippet(const std::string& Text) {
  QsciScintilla* ed = main_.SQLEditor;
  ed->replaceSelectedText(QString::fromStdString(Text));
  ed->setFocus();
}

void TSqlConsole::SQLEditorChange() {
  const bool has = !main_.SQLEditor->text().isEmpty();
  main_.btnQuerySave->setEnabled(has);
  // Running needs a database as well.
  main_.btnQueryExec->setEnabled(has && AcisDB);
  main_.UpdateSearchAction();
}

void TSqlConsole::FollowDatabase(bool Open) {
  main_.btnQueryLoad->setEnabled(Open);
  SQLEditorChange();
}

bool TSqlConsole::CanSearch() const { return !main_.SQLEditor->text().isEmpty(); }

std::string TSqlConsole::TableName() const { return cbTableName->currentText().toStdString(); }

std::vector<std::string> TSqlConsole::CheckedFields() const {
  std::vector<std::string> out;
  for (int i = 0; i < lstSqlField->count(); ++i)
    if (lstSqlField->Checked(i)) out.push_back(lstSqlField->item(i)->text().toStdString());
  return out;
}

// ---------------------------------------------------------------------------------------------
// Running

void TSqlConsole::ExecSql() {
  if (!AcisDB) return;
  const QString qtext = main_.SQLEditor->text();
  if (qtext.isEmpty()) return;
  const std::string text = qtext.toStdString();
  if (text == "--/debug on") {
    DebugMode = true;
    main_.WriteLog(QStringLiteral("DebugMode ON"));
    return;
  }
  if (text == "--/debug off") {
    DebugMode = false;
    main_.WriteLog(QStringLiteral("DebugMode OFF"));
    return;
  }
  const bool direct = CmdDirectSql || IsDirectStatement(text);
  TMultiStatementScope multi(direct);
  std::optional<ESQLiteException> compileError;
  if (!direct) {
    bool runs = IsQueryStatement(text);
    if (runs) {
      try {
        runs = CheckReadOnlySql(*AcisDB->FDb, text).ReadOnly;
      } catch (const ESQLiteException& e) {
        compileError = e;  // reported as the run's failure below
      }
    }
    if (!runs) {
      ShowMessageBox(TMsgKind::Error, "Quillmar", "実行できない文です");
      return;
    }
  }

  // The clock stops before any message: the "no data" warning and the SQL error memo (of a
  // text that did not compile or failed while it ran) come after the time line, once the
  // run is over, so the time the user spends on them is not logged as the run's.
  std::optional<ESQLiteException> failure = compileError;
  bool noData = false;
  {
    TBusyGuard busy(main_);
    main_.WriteLog("SQL>" + qtext);
    QElapsedTimer timer;
    timer.start();
    if (!failure) RunQuery(text, failure, noData);
    char buf[64];
    std::snprintf(buf, sizeof buf, "SQL>実行時間 %5.2f秒", static_cast<double>(timer.elapsed()) / 1000.0);
    main_.WriteLog(QString::fromUtf8(buf));
  }
  if (failure)
    TAcisDB::ShowSqlError(*failure, "");
  else if (noData)
    ShowMessageBox(TMsgKind::Warning, "Quillmar", "検索条件に一致するデータはありません");
}

void TSqlConsole::RunQuery(const std::string& Text, std::optional<ESQLiteException>& Failure, bool& NoData) {
  // The rows go from the statement into a store of their own, which the grid takes only when
  // the run succeeds with rows: a failure or an empty result keeps the previous result (and
  // the grid that shows it).  Window messages run meanwhile, as in every grid fill.
  TGridRowFill rows([] {
    if (AcisDB) AcisDB->Breathe();
  });
  try {
    TAcisBusy busy;
    AcisDB->FDb->GetRows(Text, rows);
  } catch (const ESQLiteException& e) {
    Failure = e;
    return;
  }
  if (!AcisDB) return;
  // The result lives in the grid alone: the cursor of an earlier query is released.
  AcisDB->FTbl.reset();
  const int count = rows.RowCount();
  if (count == 0) {
    // Only a query is expected to find rows; a direct statement that writes says nothing.
    NoData = IsQueryStatement(Text);
    return;
  }
  // Japanese titles of the column names, which the cursor gives in upper case.
  std::vector<std::string> titles;
  for (const std::string& name : rows.ColumnNames()) titles.push_back(FieldCaption(ColumnNameInCase(name, 1)));
  TXlsStringGrid* grid = main_.gdSQL;
  grid->hide();
  grid->setUpdatesEnabled(false);
  grid->Model().Fill(rows, titles);
  grid->SetFixedCols(0);
  grid->setUpdatesEnabled(true);
  grid->show();
  if (QWidget* p = grid->parentWidget(); p && p->layout()) p->layout()->activate();
  main_.AdjustGridColumnWidths(grid);
  TGridState& g = main_.GridStates[tiSQL];
  g.CountText = QString::number(count) + "件";
  g.SortText.clear();
  if (main_.CurrentGrid == grid) {
    main_.SetStatusText(3, g.CountText);
    main_.SetStatusText(2, QString());
  }
}

// ---------------------------------------------------------------------------------------------
// Database and table lists

std::vector<std::string> TSqlConsole::MasterNames(const std::string& SQL) {
  std::vector<std::string> out;
  if (!AcisDB || !AcisDB->Query(SQL, false)) return out;
  TSQLiteTbl& t = *AcisDB->FTbl;
  if (t.ColCount() < 2) return out;
  for (t.MoveFirst(); !t.Eof(); t.Next()) out.push_back(t.FieldAsString(1));
  return out;
}

void TSqlConsole::InitSqlTableList() {
  if (!AcisDB) return;
  std::vector<std::string> names = MasterNames(kTableListSql);
  for (const std::string& n : MasterNames(kTempTableListSql)) names.push_back(n);
  for (const std::string& n : MasterNames("SELECT * FROM spec.sqlite_master WHERE type IN ('table', 'view') AND name <> 'info';"))
    names.push_back(n);
  const QString jpp = QString::fromStdString(AcisDB->Settings().DBDir) + "/jpp.db";
  if (QFileInfo::exists(jpp)) {
    if (cbDB->count() == 2) cbDB->addItem("jpp.db");
    for (const std::string& n :
         MasterNames("SELECT * FROM jpp.sqlite_master WHERE type IN ('table', 'view') AND name <> 'info';"))
      names.push_back(n);
  } else if (cbDB->count() > 2) {
    // A database opened later without jpp.db offers it no more.
    if (cbDB->currentIndex() >= 2) cbDB->setCurrentIndex(0);
    cbDB->removeItem(2);
  }
  SynSQLSyn->SetTableNames(names, main_.SQLEditor);
  cbDBSelect();
}

void TSqlConsole::cbDBSelect() {
  std::vector<std::string> names;
  switch (cbDB->currentIndex()) {
    case 1:
      names = MasterNames("SELECT * FROM spec.sqlite_master WHERE type IN ('table', 'view') AND name <> 'info';");
      break;
    case 2:
      names = MasterNames("SELECT * FROM jpp.sqlite_master WHERE type IN ('table', 'view') AND name <> 'info';");
      break;
    default:
      names = MasterNames(kTableListSql);
      for (const std::string& n : MasterNames(kTempTableListSql)) names.push_back(n);
      break;
  }
  {
    const QSignalBlocker block(cbTableName);
    cbTableName->clear();
    for (const std::string& n : names) cbTableName->addItem(QString::fromStdString(n));
    if (cbTableName->count() > 0) cbTableName->setCurrentIndex(0);
  }
  FitListToNames(cbTableName);
  if (cbTableName->count() > 0)
    cbTableNameSelect();
  else
    lstSqlField->clear();
}

void TSqlConsole::cbTableNameSelect() {
  lstSqlField->clear();
  const std::string name = TableName();
  if (!AcisDB || name.empty()) return;
  const char* schema = cbDB->currentIndex() == 1 ? "spec." : (cbDB->currentIndex() == 2 ? "jpp." : "");
  const std::string sql = std::string("PRAGMA ") + schema + "table_info(" + SqlQuote(name) + ")";
  for (const std::string& column : MasterNames(sql)) lstSqlField->AddItem(QString::fromStdString(column));
}

// ---------------------------------------------------------------------------------------------
// Query files

void TSqlConsole::btnQuerySaveClick() {
  TSaveDialogPos dlg;
  dlg.InitialDir = QString::fromStdString(OptionData->TemplateDir);
  dlg.DefaultExt = "qry";
  dlg.Filter = kQueryFilterSave;
  dlg.OverwritePrompt = true;
  if (!dlg.Execute(&main_)) return;
  if (!SaveTextLines(dlg.FileName.toStdString(), TextLines(main_.SQLEditor->text())))
    ShowMessageBox(TMsgKind::Error, "Quillmar", dlg.FileName.toStdString() + " に保存できません");
}

void TSqlConsole::btnQueryLoadClick() {
  if (!AcisDB) return;
  TOpenDialogPos dlg;
  dlg.InitialDir = QString::fromStdString(OptionData->TemplateDir);
  dlg.Filter = kQueryFilterLoad;
  if (!dlg.Execute(&main_)) return;
  std::string text;
  if (!LoadTextFile(dlg.FileName.toStdString(), text)) {
    ShowMessageBox(TMsgKind::Error, "Quillmar", dlg.FileName.toStdString() + " を読み込めません");
    return;
  }
  // The file's lines into the editor (a last line break adds no empty line).
  QString t = QString::fromStdString(text);
  t.replace("\r\n", "\n");
  if (t.endsWith('\n')) t.chop(1);
  main_.SQLEditor->setText(t);
  SQLEditorChange();
}

// ---------------------------------------------------------------------------------------------
// Send to SQL

void TSqlConsole::SendToSql() {
  if (main_.PopupCellText.isEmpty()) return;
  main_.SQLEditor->setText(
      QString::fromStdString(SendToSqlText(main_.ResultViewName, main_.PopupCellText.toStdString())));
  main_.pgSearch->setCurrentWidget(main_.tabSQL);
  SQLEditorChange();
}

void TfrmMain::pmnSendToSqlClick() {
  if (TSqlConsole* c = SqlConsoleOf(*this)) c->SendToSql();
}

// ---------------------------------------------------------------------------------------------
// Installation

TSqlConsole* SqlConsoleOf(const TfrmMain& Main) { return dynamic_cast<TSqlConsole*>(Main.SearchHandler(tiSQL)); }

TSqlConsole* InstallSqlConsole(TfrmMain& Main) {
  auto console = std::make_unique<TSqlConsole>(Main);
  TSqlConsole* raw = console.get();
  Main.SetSearchHandler(tiSQL, std::move(console));
  auto previousLoad = Main.OnLoadMasterLists;
  TfrmMain* m = &Main;
  Main.OnLoadMasterLists = [m, previousLoad] {
    if (previousLoad) previousLoad();
    if (TSqlConsole* c = SqlConsoleOf(*m)) c->InitSqlTableList();
  };
  return raw;
}
