// The main window's command keys pressed as a user presses them (key events to the focused
// widget of the shown, active window, through Qt's shortcut map), from every kind of place the
// focus can be: a result grid, a line edit, a list, the SQL editor, the log pane.  A text box
// that binds the same key for its own editing (a line edit's redo, the SQL editor's redo and
// lower case) must not swallow the command.  The editing keys proper stay with the box.
#include <gtest/gtest.h>

#include <Qsci/qsciscintilla.h>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDesktopServices>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <QTest>
#include <QTextCursor>
#include <QUrl>

#include "database/acis_db.h"
#include "foundation/global.h"
#include "foundation/options.h"
#include "frontend/frm_main.h"
#include "frontend/main_pages.h"
#include "frontend/main_services.h"
#include "frontend/search_tab.h"
#include "output/xls_string_grid.h"
#include "support_main_window.h"

class TKeyUrlCatcher : public QObject {
  Q_OBJECT
 public:
  int Opened = 0;
 public slots:
  void Open(const QUrl&) { ++Opened; }
};

inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace {

struct TCounts {
  int Searches = 0, Updates = 0, Excel = 0;
};

class TCountingSearch : public TSearchTabHandler {
 public:
  explicit TCountingSearch(TCounts* C) : c_(C) {}
  void Search() override { ++c_->Searches; }

 private:
  TCounts* c_;
};

class TCountingServices : public TMainWindowServices {
 public:
  explicit TCountingServices(TCounts* C) : c_(C) {}
  bool ShowUpdateDialog(TfrmMain&, bool, bool) override {
    ++c_->Updates;
    return false;
  }

 private:
  TCounts* c_;
};

// The window with the search pages on the sample register; every tab's search counts instead
// of searching, the data update counts instead of opening its window, the home page is caught.
struct TKeysWindow : TMainWindowFixture {
  TCounts N;
  TKeyUrlCatcher Catcher;
  std::unique_ptr<TfrmMain> W;
  bool Open() {
    if (!BuildSampleDb()) return false;
    WriteIni("[WINDOW]\nLogPaneVisible=1\nLogPaneHeight=80\n");
    QDesktopServices::setUrlHandler("https", &Catcher, "Open");
    QDesktopServices::setUrlHandler("http", &Catcher, "Open");
    QDesktopServices::setUrlHandler("file", &Catcher, "Open");  // the help page
    SetMainWindowServices(std::make_unique<TCountingServices>(&N));
    W = std::make_unique<TfrmMain>();
    InstallSearchPages(*W);
    for (int tab : {tiSakumotsu, tiByochu, tiYakuzai, tiSQL})
      W->SetSearchHandler(tab, std::make_unique<TCountingSearch>(&N));
    QObject::connect(W->actCopyExcel, &QAction::triggered, [this] { ++N.Excel; });
    W->show();
    W->activateWindow();
    if (!QTest::qWaitForWindowActive(W.get())) return false;
    Pump();
    return AcisDB != nullptr;
  }
  ~TKeysWindow() {
    W.reset();
    SetMainWindowServices(nullptr);
    QDesktopServices::unsetUrlHandler("https");
    QDesktopServices::unsetUrlHandler("http");
    QDesktopServices::unsetUrlHandler("file");
  }
  // The tab shown with a result in its grid, the focus on `Where`.
  void FocusOn(int Tab, QWidget* Where) {
    W->pgSearch->setCurrentIndex(Tab);
    Pump(10);
    if (W->CurrentGrid) {
      ASSERT_TRUE(W->ShowQueryInGrid(W->CurrentGrid, "SELECT bango, meisho FROM m_kihon ORDER BY bango LIMIT 5"));
    }
    Where->setEnabled(true);
    Where->setFocus();
    Pump(10);
    ASSERT_EQ(QApplication::focusWidget(), Where);
  }
  // A key as the user presses it: to the widget that has the focus.
  void Press(Qt::Key Key, Qt::KeyboardModifiers Mods = Qt::NoModifier) {
    QTest::keyClick(QApplication::focusWidget(), Key, Mods);
    Pump(10);
  }
};

}  // namespace

// Ctrl+T search, Ctrl+E Excel, Ctrl+Y and Ctrl+U data update, Ctrl+R row selection, F1 help:
// each runs once from each place, and the focused box keeps its text.
TEST(MainWindowKeys, CommandKeysRunWhereverTheFocusIs) {
  TKeysWindow t;
  ASSERT_TRUE(t.Open());
  TfrmMain& w = *t.W;
  struct TPlace {
    const char* Name;
    int Tab;
    QWidget* Widget;
  };
  const TPlace places[] = {{"result grid", tiSakumotsu, w.gdTekiyo}, {"use box", tiSakumotsu, w.edtYoto},
                           {"pest box", tiByochu, w.edtByochu},      {"chemical box", tiYakuzai, w.eYakuzai},
                           {"trade names", tiYakuzai, w.lstTsusho},  {"SQL editor", tiSQL, w.SQLEditor},
                           {"log pane", tiSakumotsu, w.mLog}};
  for (const TPlace& p : places) {
    SCOPED_TRACE(p.Name);
    ASSERT_NO_FATAL_FAILURE(t.FocusOn(p.Tab, p.Widget));
    // Text with something to undo and redo, all selected: the box's own Ctrl+Y (redo) and
    // Ctrl+U (lower case, delete line) would change it.
    QString before;
    if (auto* e = qobject_cast<QLineEdit*>(p.Widget)) {
      e->clear();
      QTest::keyClicks(e, "ABC");
      QTest::keyClick(e, Qt::Key_Z, Qt::ControlModifier);
      e->selectAll();
      before = e->text();
    } else if (p.Widget == w.SQLEditor) {
      w.SQLEditor->setText("SELECT 1");
      w.SQLEditor->SendScintilla(QsciScintilla::SCI_EMPTYUNDOBUFFER);
      w.SQLEditor->setText("SELECT 2");
      w.SQLEditor->undo();
      w.SQLEditor->selectAll(true);
      before = w.SQLEditor->text();
    }
    const bool rowSelect = w.mnRowSelect->isChecked();
    const TCounts n = t.N;
    const int urls = t.Catcher.Opened;
    ASSERT_TRUE(w.actSearchTekiyou->isEnabled());
    t.Press(Qt::Key_T, Qt::ControlModifier);
    EXPECT_EQ(t.N.Searches, n.Searches + 1);
    ASSERT_TRUE(w.actCopyExcel->isEnabled());
    t.Press(Qt::Key_E, Qt::ControlModifier);
    EXPECT_EQ(t.N.Excel, n.Excel + 1);
    t.Press(Qt::Key_Y, Qt::ControlModifier);
    EXPECT_EQ(t.N.Updates, n.Updates + 1);
    t.Press(Qt::Key_U, Qt::ControlModifier);
    EXPECT_EQ(t.N.Updates, n.Updates + 2);
    t.Press(Qt::Key_R, Qt::ControlModifier);
    EXPECT_NE(w.mnRowSelect->isChecked(), rowSelect);
    t.Press(Qt::Key_F1);
    EXPECT_EQ(t.Catcher.Opened, urls + 1);
    if (auto* e = qobject_cast<QLineEdit*>(p.Widget)) {
      EXPECT_EQ(e->text(), before);
    } else if (p.Widget == w.SQLEditor) {
      EXPECT_EQ(w.SQLEditor->text(), before);
    }
    EXPECT_EQ(QApplication::focusWidget(), p.Widget);
  }
  // A command switched off leaves the key to the box: Ctrl+Y is the line edit's redo again.
  ASSERT_NO_FATAL_FAILURE(t.FocusOn(tiByochu, w.edtByochu));
  w.edtByochu->clear();
  QTest::keyClicks(w.edtByochu, "ab");
  QTest::keyClick(w.edtByochu, Qt::Key_Z, Qt::ControlModifier);
  w.actCheckUpdate->setEnabled(false);
  const int updates = t.N.Updates;
  t.Press(Qt::Key_Y, Qt::ControlModifier);
  EXPECT_EQ(t.N.Updates, updates);
  const bool redoIsCtrlY = QKeySequence::keyBindings(QKeySequence::Redo).contains(QKeySequence("Ctrl+Y"));
  if (redoIsCtrlY) {
    EXPECT_EQ(w.edtByochu->text(), "ab");
  }
}

// In the log pane Ctrl+C copies its selection and Ctrl+A selects all of it (not the result
// grid), Ctrl+S saves it (test_main_window_actions), Ctrl with the numeric pad's 3 does nothing.
TEST(MainWindowKeys, EditKeysInTheLogPane) {
  TKeysWindow t;
  ASSERT_TRUE(t.Open());
  TfrmMain& w = *t.W;
  ASSERT_NO_FATAL_FAILURE(t.FocusOn(tiSakumotsu, w.mLog));
  w.mLog->setPlainText("一行目\n二行目");
  QTextCursor c = w.mLog->textCursor();
  c.setPosition(4);
  c.movePosition(QTextCursor::EndOfLine, QTextCursor::KeepAnchor);
  w.mLog->setTextCursor(c);
  QApplication::clipboard()->clear();
  t.Press(Qt::Key_C, Qt::ControlModifier);
  EXPECT_EQ(QApplication::clipboard()->text(), "二行目");
  t.Press(Qt::Key_A, Qt::ControlModifier);
  EXPECT_EQ(w.mLog->textCursor().selectedText(), QString("一行目") + QChar::ParagraphSeparator + "二行目");
  EXPECT_EQ(QApplication::clipboard()->text(), "二行目");  // selected, not copied
  t.Press(Qt::Key_C, Qt::ControlModifier);
  EXPECT_EQ(QApplication::clipboard()->text(), "一行目\n二行目");
  // Ctrl+X removes no row of the result grid from here.
  const int rows = w.gdTekiyo->RowCount();
  t.Press(Qt::Key_X, Qt::ControlModifier);
  EXPECT_EQ(w.gdTekiyo->RowCount(), rows);
  EXPECT_EQ(w.mLog->toPlainText(), "一行目\n二行目");
  // Ctrl+numeric-pad 3: nothing copied, nothing changed.
  QApplication::clipboard()->clear();
  const int lines = w.GridStates[tiSakumotsu].CellLines;
  t.Press(Qt::Key_3, Qt::ControlModifier | Qt::KeypadModifier);
  EXPECT_EQ(QApplication::clipboard()->text(), "");
  EXPECT_EQ(w.mLog->toPlainText(), "一行目\n二行目");
  EXPECT_EQ(w.GridStates[tiSakumotsu].CellLines, lines);
}

#include "test_main_window_keys.moc"
