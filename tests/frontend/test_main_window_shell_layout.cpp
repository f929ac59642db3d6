// The main window's frame as the user sees it: the log pane following new lines, the tool bar
// in a narrow window and at each image size, and the chemical tab's side panel.
#include <gtest/gtest.h>

#include <QAction>
#include <QLineEdit>
#include <QMenu>
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

// The tool bar's buttons, in their order (the extension button is not one of them).
std::vector<QToolButton*> ToolBarButtons(TfrmMain& w) {
  std::vector<QToolButton*> out;
  for (QAction* a : w.ToolBar->actions())
    if (auto* b = qobject_cast<QToolButton*>(w.ToolBar->widgetForAction(a))) out.push_back(b);
  return out;
}

// A window made as narrow as it goes: the tool bar's extension button (of a bar with captions,
// small and large images) lies inside it and opens the buttons that did not fit.
TEST(MainWindowShellLayout, ToolBarExtensionStaysInsideANarrowWindow) {
  for (const char* size : {"0", "3"}) {
    SCOPED_TRACE(size);
    TShownWindow t(std::string("[WINDOW]\nToolBarCaption=1\n[VIEW]\nBtnImageSize=") + size + "\n");
    TfrmMain& w = *t.w;
    ASSERT_EQ(w.ToolBar->toolButtonStyle(), Qt::ToolButtonTextUnderIcon);
    w.resize(120, 600);
    Pump();
    auto* ext = w.ToolBar->findChild<QToolButton*>("qt_toolbar_ext_button");
    ASSERT_TRUE(ext);
    ASSERT_TRUE(ext->isVisible());
    const QRect inWindow(ext->mapTo(&w, QPoint(0, 0)), ext->size());
    EXPECT_TRUE(w.rect().contains(inWindow)) << inWindow.x() << "+" << inWindow.width() << " in " << w.width();
    // The buttons beyond the edge (成分簡略 among them) are reached through it.
    std::vector<QToolButton*> hidden;
    for (QToolButton* b : ToolBarButtons(w))
      if (!b->isVisible()) hidden.push_back(b);
    ASSERT_FALSE(hidden.empty());
    EXPECT_FALSE(w.btnSeibunView->isVisible());
    QTest::mouseClick(ext, Qt::LeftButton);
    // The bar opens over the window once its layout has run.
    for (int i = 0; i < 100 && !hidden.back()->isVisible(); ++i) Pump(10);
    for (QToolButton* b : hidden) {
      EXPECT_TRUE(b->isVisible()) << b->text().toStdString();
      EXPECT_TRUE(w.rect().contains(QRect(b->mapTo(&w, QPoint(0, 0)), b->size()))) << b->text().toStdString();
    }
  }
}

// Every image of the tool bar is drawn at the chosen size, from the settings file at start-up
// and after the options change it.
TEST(MainWindowShellLayout, ToolBarImagesFollowTheChosenSize) {
  auto check = [](TfrmMain& w, int index) {
    const int size = kImageSizes[index];
    for (QToolButton* b : ToolBarButtons(w)) {
      const std::string name = b->text().toStdString();
      EXPECT_EQ(b->iconSize(), QSize(size, size)) << name << " at " << size;
      if (!b->icon().isNull()) {
        EXPECT_EQ(b->icon().actualSize(b->iconSize()), QSize(size, size)) << name << " at " << size;
      }
    }
  };
  TShownWindow t("[VIEW]\nBtnImageSize=2\n");
  TfrmMain& w = *t.w;
  ASSERT_EQ(ToolBarButtons(w).size(), 11u);
  check(w, 2);
  for (int index : {3, 1, 0}) {
    OptionData->BtnImageSize = index;
    w.FormViewSettings();
    Pump(10);
    check(w, index);
  }
  // The spreadsheet button's image follows as its route changes.
  OptionData->BtnImageSize = 3;
  w.FormViewSettings();
  for (QAction* a : w.findChild<QMenu*>("dmCalc")->actions()) {
    w.btnExcel->setDefaultAction(a);
    EXPECT_EQ(w.btnExcel->icon().actualSize(w.btnExcel->iconSize()), QSize(48, 48)) << a->text().toStdString();
  }
}
