// The main window's frame as the user sees it: the log pane following new lines, the tool bar
// in a narrow window and at each image size, and the chemical tab's side panel.
#include <gtest/gtest.h>

#include <QAction>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QTextBlock>
#include <QToolBar>
#include <QToolButton>

#include "foundation/global.h"
#include "foundation/options.h"
#include "frontend/frm_main.h"
#include "frontend/main_output_actions.h"
#include "support_main_window.h"

namespace {

struct TShownWindow : TMainWindowFixture {
  std::unique_ptr<TfrmMain> w;
  explicit TShownWindow(const std::string& ini = std::string()) {
    if (!ini.empty()) WriteIni(ini);
    w = std::make_unique<TfrmMain>();
    InstallOutputActions(*w);
    w->resize(900, 600);
    w->show();
    Pump();
  }
  ~TShownWindow() { w.reset(); }
};

}  // namespace

// A long SQL line with the caret on it (the user scrolled right and clicked there): the next
// lines still show from their start, at the bottom, and a selection the user holds stays.
TEST(MainWindowShellLayout, LogPaneShowsNewLinesFromTheirStart) {
  TShownWindow t("[WINDOW]\nLogPaneVisible=1\nLogPaneHeight=120\n");
  TfrmMain& w = *t.w;
  ASSERT_TRUE(w.mLog->isVisible());
  QScrollBar* h = w.mLog->horizontalScrollBar();
  QScrollBar* v = w.mLog->verticalScrollBar();
  for (int i = 0; i < 20; ++i) w.WriteLog(QString("行 %1").arg(i));
  const QString longLine = "SQL>SELECT " + QString("bango, meisho, ").repeated(60) + "tsusho FROM kihon";
  w.WriteLog(longLine);
  const int longBlock = w.mLog->document()->blockCount() - 1;
  w.WriteLog(QString("件数 1"));
  Pump();
  // The long line's place in the pane.
  auto longLineY = [&] {
    QTextCursor c(w.mLog->document()->findBlockByNumber(longBlock));
    return w.mLog->cursorRect(c).center().y();
  };
  auto clickOnLongLine = [&](bool twice) {
    h->setValue(h->maximum());
    Pump(10);
    const QPoint at(w.mLog->viewport()->width() / 2, longLineY());
    if (twice)
      QTest::mouseDClick(w.mLog->viewport(), Qt::LeftButton, {}, at);
    else
      QTest::mouseClick(w.mLog->viewport(), Qt::LeftButton, {}, at);
    Pump(10);
    ASSERT_EQ(w.mLog->textCursor().block().text(), longLine);
    ASSERT_GT(h->value(), 0);
  };

  clickOnLongLine(false);
  w.WriteLog(QString("次の行"));
  Pump();
  EXPECT_EQ(h->value(), 0);
  EXPECT_EQ(v->value(), v->maximum());

  // A word selected on the long line: kept, and the new line again shows from its start.
  clickOnLongLine(true);
  const QString selected = w.mLog->textCursor().selectedText();
  ASSERT_FALSE(selected.isEmpty());
  w.WriteLog(QString("SQL>SELECT 1"));
  Pump();
  EXPECT_EQ(w.mLog->textCursor().selectedText(), selected);
  EXPECT_EQ(h->value(), 0);
  EXPECT_EQ(v->value(), v->maximum());
  EXPECT_TRUE(w.mLog->toPlainText().endsWith("次の行\nSQL>SELECT 1"));
}
