// The main window's actions: one without anything to carry it out stays disabled whatever
// the enabling rules say, and comes alive as soon as a handler is connected; every enabled
// action the window shows does something; the keys of the result grids, the ingredient grid
// and the log pane pressed as a user presses them (key events through Qt's shortcut map).
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QFileDialog>
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QTimer>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>
#include <QToolButton>
#include <QWidgetAction>
#include <set>

#include "database/acis_db.h"
#include "foundation/file_dialog_pos.h"
#include "foundation/global.h"
#include "foundation/win_spin_edit.h"
#include "frontend/frm_main.h"
#include "frontend/main_action.h"
#include "frontend/main_pages.h"
#include "frontend/search_tab.h"
#include "output/xls_string_grid.h"
#include "support_main_window.h"

namespace {

// The window on the sample register, shown and active, a result in the crop grid.
struct TActionWindow : TMainWindowFixture {
  std::unique_ptr<TfrmMain> W;
  bool Open(bool Pages = false) {
    if (!BuildSampleDb()) return false;
    WriteIni("[WINDOW]\nLogPaneVisible=1\nLogPaneHeight=80\n");
    W = std::make_unique<TfrmMain>();
    if (Pages) InstallSearchPages(*W);
    W->show();
    W->activateWindow();
    if (!QTest::qWaitForWindowActive(W.get())) return false;
    Pump();
    return AcisDB && W->ShowQueryInGrid(W->gdTekiyo, "SELECT bango, meisho FROM m_kihon ORDER BY bango LIMIT 5");
  }
  ~TActionWindow() { W.reset(); }
};

QToolButton* ButtonOf(QToolBar* Bar, QAction* A) { return qobject_cast<QToolButton*>(Bar->widgetForAction(A)); }

// Every action a user can reach: the menu bar with its menus, the tool bar, the window's
// popups and the window's own shortcuts.
void Collect(QMenu* Menu, std::set<QAction*>& Out) {
  if (!Menu) return;
  for (QAction* a : Menu->actions()) {
    if (a->menu()) Collect(a->menu(), Out);
    else Out.insert(a);
  }
}

std::set<QAction*> ReachableActions(TfrmMain& W) {
  std::set<QAction*> out;
  for (QAction* a : W.menuBar()->actions()) Collect(a->menu(), out);
  for (QMenu* m : {W.mnTekiyouGrid, W.pmnLog, W.dmCalc, W.dmSeibun}) Collect(m, out);
  for (QAction* a : W.ToolBar->actions()) out.insert(a);
  for (QAction* a : W.actions()) out.insert(a);
  return out;
}

}  // namespace

TEST(MainWindowActions, AnActionWithoutAHandlerStaysDisabledUntilOneIsConnected) {
  TActionWindow t;
  ASSERT_TRUE(t.Open());
  TfrmMain& w = *t.W;
  // A result is shown: the rules ask for the exports, which nothing carries out yet.
  EXPECT_TRUE(w.actGridCopy->isEnabled());
  for (QAction* a : {w.actCsvSave, w.actHtmlSave, w.actCopyExcel, w.actCopyExcelByHTML, w.actExportGrid,
                     w.pmnGoogleTekiyo})
    EXPECT_FALSE(a->isEnabled()) << a->objectName().toStdString();
  EXPECT_FALSE(ButtonOf(w.ToolBar, w.actHtmlSave)->isEnabled());
  EXPECT_FALSE(w.btnExcel->isEnabled());
  w.EnableResultActions(true);
  EXPECT_FALSE(w.actCsvSave->isEnabled());

  // Connected: the action takes the state the rules asked for, at once, and follows them.
  int saves = 0;
  auto c = QObject::connect(w.actCsvSave, &QAction::triggered, [&saves] { ++saves; });
  EXPECT_TRUE(w.actCsvSave->isEnabled());
  w.EnableResultActions(false);
  EXPECT_FALSE(w.actCsvSave->isEnabled());
  w.EnableResultActions(true);
  EXPECT_TRUE(w.actCsvSave->isEnabled());
  w.actCsvSave->trigger();
  EXPECT_EQ(saves, 1);
  // A handler connected while the rules have it off stays off until they switch it on.
  w.EnableResultActions(false);
  QObject::connect(w.actHtmlSave, &QAction::triggered, [] {});
  EXPECT_FALSE(w.actHtmlSave->isEnabled());
  w.EnableResultActions(true);
  EXPECT_TRUE(w.actHtmlSave->isEnabled());
  EXPECT_TRUE(ButtonOf(w.ToolBar, w.actHtmlSave)->isEnabled());
  // The handler gone: disabled again.
  QObject::disconnect(c);
  Pump(1);
  EXPECT_FALSE(w.actCsvSave->isEnabled());

  // Its shortcut reaches the handler once there is one (and nothing before).
  int excel = 0;
  w.gdTekiyo->setFocus();
  QTest::keyClick(w.gdTekiyo, Qt::Key_E, Qt::ControlModifier);
  QObject::connect(w.actCopyExcel, &QAction::triggered, [&excel] { ++excel; });
  QTest::keyClick(w.gdTekiyo, Qt::Key_E, Qt::ControlModifier);
  EXPECT_EQ(excel, 1);

  // The spreadsheet button is as usable as the action it carries.
  QObject::connect(w.actCopyExcelByHTML, &QAction::triggered, [] {});
  w.EnableResultActions(true);
  EXPECT_TRUE(w.btnExcel->isEnabled());
  w.EnableResultActions(false);
  EXPECT_FALSE(w.btnExcel->isEnabled());
}

// With the search pages installed and a result shown, nothing the user can reach is enabled
// without something to carry it out.
TEST(MainWindowActions, EveryEnabledActionDoesSomething) {
  TActionWindow t;
  ASSERT_TRUE(t.Open(true));
  TfrmMain& w = *t.W;
  const std::set<QAction*> actions = ReachableActions(w);
  ASSERT_GT(actions.size(), 40u);
  int enabled = 0;
  for (QAction* a : actions) {
    if (a->isSeparator() || !a->isVisible() || !a->isEnabled()) continue;
    if (auto* wa = qobject_cast<QWidgetAction*>(a)) {
      // A widget on the tool bar: a button with a menu, or one that carries an action.
      auto* b = qobject_cast<QToolButton*>(wa->defaultWidget());
      ASSERT_NE(b, nullptr);
      if (b->isEnabled() && b->defaultAction()) {
        EXPECT_TRUE(b->defaultAction()->isEnabled()) << b->objectName().toStdString();
      } else if (b->isEnabled()) {
        EXPECT_NE(b->menu(), nullptr) << b->objectName().toStdString();
      }
      continue;
    }
    ++enabled;
    EXPECT_TRUE(ActionHasHandler(a)) << a->objectName().toStdString() << " " << a->text().toStdString();
  }
  EXPECT_GT(enabled, 20);
}

TEST(MainWindowActions, RemoveRowKeyInAResultGridAndInATextBox) {
  TActionWindow t;
  ASSERT_TRUE(t.Open());
  TfrmMain& w = *t.W;
  TXlsStringGrid* g = w.gdTekiyo;
  ASSERT_EQ(g->RowCount(), 6);
  const std::string third = g->Cells(0, 3);
  g->setFocus();
  g->SetCurrentCell(1, 2);
  QTest::keyClick(g, Qt::Key_X, Qt::ControlModifier);
  EXPECT_EQ(g->RowCount(), 5);
  EXPECT_EQ(g->Cells(0, 2), third);
  EXPECT_EQ(w.StatusText(3), "4件");
  // In a text box the key cuts; the grid keeps its rows.
  w.edtYoto->setEnabled(true);
  w.edtYoto->setText("殺虫剤");
  w.edtYoto->setFocus();
  w.edtYoto->selectAll();
  QTest::keyClick(w.edtYoto, Qt::Key_X, Qt::ControlModifier);
  EXPECT_EQ(w.edtYoto->text(), "");
  EXPECT_EQ(QApplication::clipboard()->text(), "殺虫剤");
  EXPECT_EQ(g->RowCount(), 5);
}

TEST(MainWindowActions, CopyKeysInTheIngredientGridCopyIt) {
  TActionWindow t;
  ASSERT_TRUE(t.Open());
  TfrmMain& w = *t.W;
  w.pgSearch->setCurrentIndex(tiYakuzai);
  ASSERT_TRUE(w.ShowQueryInGrid(w.gdYakuzai, "SELECT 'product' AS a, 'sheet' AS b"));
  ASSERT_EQ(w.CurrentGrid, w.gdYakuzai);
  w.gdSeibun->Fill({"成分", "濃度"}, {{"アセタミプリド", "20.0%"}, {"マンゼブ", "75.0%"}});
  w.gdSeibun->show();
  Pump();
  w.gdSeibun->setFocus();
  w.gdSeibun->SetCurrentCell(0, 2);
  QApplication::clipboard()->clear();
  QTest::keyClick(w.gdSeibun, Qt::Key_C, Qt::ControlModifier);
  EXPECT_EQ(QApplication::clipboard()->text().toStdString(), "マンゼブ");
  QTest::keyClick(w.gdSeibun, Qt::Key_A, Qt::ControlModifier);
  const QString all = QApplication::clipboard()->text();
  EXPECT_TRUE(all.contains("アセタミプリド") && all.contains("75.0%")) << all.toStdString();
  EXPECT_FALSE(all.contains("product"));
  // Ctrl+X there removes nothing from the product grid.
  QTest::keyClick(w.gdSeibun, Qt::Key_X, Qt::ControlModifier);
  EXPECT_EQ(w.gdYakuzai->RowCount(), 2);
  EXPECT_EQ(w.gdSeibun->RowCount(), 3);
  // Enter opens the use card on its current row; the digits are no lines-per-cell key there.
  TXlsStringGrid* card = nullptr;
  int cardRow = -1;
  w.OnOpenUseCard = [&](TXlsStringGrid* g, int row) {
    card = g;
    cardRow = row;
  };
  QTest::keyClick(w.gdSeibun, Qt::Key_Return);
  EXPECT_EQ(card, w.gdSeibun);
  EXPECT_EQ(cardRow, 2);
  const int lines = w.GridStates[tiYakuzai].CellLines;
  QTest::keyClick(w.gdSeibun, lines == 4 ? Qt::Key_5 : Qt::Key_4);
  EXPECT_EQ(w.GridStates[tiYakuzai].CellLines, lines);
  w.OnOpenUseCard = nullptr;
  // In the product grid the keys copy the product grid.
  w.gdYakuzai->setFocus();
  w.gdYakuzai->SetCurrentCell(1, 1);
  QTest::keyClick(w.gdYakuzai, Qt::Key_C, Qt::ControlModifier);
  EXPECT_EQ(QApplication::clipboard()->text().toStdString(), "sheet");
}

TEST(MainWindowActions, SaveKeyInTheLogPaneSavesIt) {
  TActionWindow t;
  ASSERT_TRUE(t.Open());
  TfrmMain& w = *t.W;
  QTemporaryDir dir;
  ASSERT_TRUE(w.mLog->isVisible());
  w.WriteLog(QString("ログの一行"));
  w.mLog->setFocus();
  QString asked;
  TFileDialogPos::AfterShow = [&](QFileDialog& d) {
    asked = d.windowTitle();
    d.selectFile(dir.filePath("trace"));
    QMetaObject::invokeMethod(&d, "accept");
  };
  QTest::keyClick(w.mLog, Qt::Key_S, Qt::ControlModifier);
  TFileDialogPos::AfterShow = nullptr;
  EXPECT_EQ(asked, "ログの保存");
  QFile f(dir.filePath("trace.txt"));
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  const QString text = QString::fromUtf8(f.readAll());
  EXPECT_TRUE(text.contains("ログの一行")) << text.toStdString();
  EXPECT_TRUE(text.contains("SELECT bango, meisho"));
  // Outside the pane the key does nothing.
  int dialogs = 0;
  TFileDialogPos::AfterShow = [&](QFileDialog& d) {
    ++dialogs;
    d.reject();
  };
  w.gdTekiyo->setFocus();
  QTest::keyClick(w.gdTekiyo, Qt::Key_S, Qt::ControlModifier);
  TFileDialogPos::AfterShow = nullptr;
  EXPECT_EQ(dialogs, 0);
}

// The lines-per-cell box in the status bar takes digits typed and the arrow keys, within 1..9.
TEST(MainWindowActions, LinesPerCellBoxTakesTypedNumbersAndArrows) {
  TActionWindow t;
  ASSERT_TRUE(t.Open());
  TfrmMain& w = *t.W;
  TWinSpinEdit* se = w.seGridCellLine;
  ASSERT_TRUE(se->isEnabled());
  se->setFocus();
  se->selectAll();
  QTest::keyClick(se, Qt::Key_3);
  EXPECT_EQ(w.GridStates[tiSakumotsu].CellLines, 3);
  QTest::keyClick(se, Qt::Key_Up);
  EXPECT_EQ(se->Value(), 4);
  EXPECT_EQ(w.GridStates[tiSakumotsu].CellLines, 4);
  const int beeps = se->BeepCount();
  QTest::keyClick(se, Qt::Key_A);  // not a digit: refused
  EXPECT_EQ(se->BeepCount(), beeps + 1);
  EXPECT_EQ(se->Text(), "4");
  // Beyond the range: the box comes back to 9 when it loses the focus; the tab never passes 9.
  se->selectAll();
  QTest::keyClicks(se, "12");
  EXPECT_EQ(w.GridStates[tiSakumotsu].CellLines, 9);
  w.gdTekiyo->setFocus();
  EXPECT_EQ(se->Text(), "9");
  // An emptied box changes nothing.
  se->setFocus();
  se->selectAll();
  QTest::keyClick(se, Qt::Key_Backspace);
  EXPECT_EQ(w.GridStates[tiSakumotsu].CellLines, 9);
}

// The search action (検索, Ctrl+T) is enabled exactly when the active tab's inputs give the
// search something to do: an action shown enabled on a tab with nothing to search would do
// nothing. It follows every tab change and every change of the inputs, and Ctrl+T pressed on
// a tab without inputs runs no search.
TEST(MainWindowActions, SearchActionFollowsTheInputsOfTheActiveTab) {
  TActionWindow t;
  ASSERT_TRUE(t.Open(true));
  TfrmMain& w = *t.W;
  QAction* search = w.actSearchTekiyou;
  w.pgSearch->setCurrentIndex(tiSakumotsu);
  Pump(10);
  // The crop tab opens with no crop chosen.
  EXPECT_FALSE(search->isEnabled());
  // The other tabs with empty inputs; the template tab (its page runs its own SQL; shown here
  // it would start the browser) never.
  ASSERT_NE(w.SearchHandler(tiTemplate), nullptr);
  EXPECT_FALSE(w.SearchHandler(tiTemplate)->CanSearch());
  for (int tab : {tiByochu, tiYakuzai, tiSQL}) {
    w.pgSearch->setCurrentIndex(tab);
    Pump(10);
    EXPECT_FALSE(search->isEnabled()) << tab;
  }
  // Keywords on the pest tab, then off to the template tab and back.
  w.pgSearch->setCurrentIndex(tiByochu);
  w.edtByochu->setFocus();
  QTest::keyClicks(w.edtByochu, "ab");
  EXPECT_TRUE(search->isEnabled());
  w.pgSearch->setCurrentIndex(tiYakuzai);
  EXPECT_FALSE(search->isEnabled());
  QTest::keyClicks(w.eYakuzai, "x");
  EXPECT_TRUE(search->isEnabled());
  w.eYakuzai->clear();
  EXPECT_FALSE(search->isEnabled());
  w.pgSearch->setCurrentIndex(tiByochu);
  EXPECT_TRUE(search->isEnabled());
  // A search leaves the action as the inputs say, also after Ctrl+T on a tab without inputs.
  w.edtByochu->setFocus();
  QTest::keyClick(w.edtByochu, Qt::Key_T, Qt::ControlModifier);
  Pump(10);
  EXPECT_TRUE(search->isEnabled());
  w.edtByochu->clear();
  EXPECT_FALSE(search->isEnabled());
  w.pgSearch->setCurrentIndex(tiSakumotsu);
  EXPECT_FALSE(search->isEnabled());
  // A crop chosen in the frame.
  w.eSakumotsu->setText("トマト");
  Pump(10);
  EXPECT_TRUE(search->isEnabled());
  w.pgSearch->setCurrentIndex(tiSQL);
  EXPECT_FALSE(search->isEnabled());
  w.pgSearch->setCurrentIndex(tiSakumotsu);
  EXPECT_TRUE(search->isEnabled());
}

// The title row of a result grid is its header: a right click there opens the grid's menu for
// the title row, whose "列削除" removes that column.
TEST(MainWindowActions, RightClickOnATitleOffersColumnRemoval) {
  TActionWindow t;
  ASSERT_TRUE(t.Open(true));
  TfrmMain& w = *t.W;
  TXlsStringGrid* g = w.gdTekiyo;
  ASSERT_EQ(g->ColCount(), 2);
  ASSERT_EQ(g->Cells(1, 0), "農薬の名称");
  QHeaderView* header = g->horizontalHeader();
  const QPoint at(header->sectionViewportPosition(1) + header->sectionSize(1) / 2, header->height() / 2);
  bool removalShown = false;
  QMenu* shown = nullptr;
  QTimer::singleShot(0, [&] {
    shown = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    if (!shown) return;
    removalShown = w.pmnRemoveClm->isVisible() && w.pmnRemoveClm->isEnabled();
    shown->setActiveAction(w.pmnRemoveClm);
    QTest::keyClick(shown, Qt::Key_Return);
  });
  QContextMenuEvent ev(QContextMenuEvent::Mouse, at, header->viewport()->mapToGlobal(at));
  QCoreApplication::sendEvent(header->viewport(), &ev);
  Pump(10);
  ASSERT_EQ(shown, w.mnTekiyouGrid);
  EXPECT_TRUE(removalShown);
  EXPECT_EQ(g->ColCount(), 1);
  EXPECT_EQ(g->Cells(0, 0), "番号");
}
