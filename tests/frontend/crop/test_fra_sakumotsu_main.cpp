// The crop-selection frame inside the main window as the program installs it: the stand-in
// replaced, filled after the database opened, search enabling, and the automatic search
// through the crop tab's search handler.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QPlainTextEdit>
#include <QToolButton>
#include <QLineEdit>
#include <QTabBar>
#include <QTabWidget>
#include <QPushButton>
#include <QTest>
#include <QToolBar>

#include "database/acis_db.h"
#include "foundation/check_tree_view.h"
#include "foundation/message_sink.h"
#include "frontend/crop/fra_sakumotsu_base.h"
#include "frontend/frm_main.h"
#include "frontend/main_pages.h"
#include "frontend/main_services.h"
#include "output/xls_string_grid.h"
#include "frontend/search_tab.h"
#include "frontend/support_main_window.h"

namespace {

struct TCounting : TSearchTabHandler {
  int* Searches;
  std::string* Seen;
  const TfraSakumotsuBase* Frame;
  TCounting(int* s, std::string* seen, const TfraSakumotsuBase* f) : Searches(s), Seen(seen), Frame(f) {}
  void Search() override {
    ++*Searches;
    *Seen = Frame->Selection;
  }
  bool CanSearch() const override { return !Frame->Selection.empty(); }
};

QTreeWidgetItem* Node(TfraSakumotsuBase& f, const std::string& name) {
  QTreeWidgetItem* found = nullptr;
  ForEachTreeNode(f.tvSakumotsu, [&](QTreeWidgetItem* n) {
    if (!found && n->text(0).toStdString() == name) found = n;
  });
  return found;
}

// Space on a node of the tree, as a user ticks it.
void Tick(TfraSakumotsuBase& F, const std::string& Name) {
  QTreeWidgetItem* n = Node(F, Name);
  ASSERT_NE(n, nullptr) << Name;
  for (QTreeWidgetItem* p = n->parent(); p; p = p->parent()) p->setExpanded(true);
  F.tvSakumotsu->setCurrentItem(n);
  F.tvSakumotsu->scrollToItem(n);
  F.tvSakumotsu->setFocus();
  QTest::keyClick(F.tvSakumotsu, Qt::Key_Space);
  Pump();  // the automatic search
}

void Press(QToolBar* Bar, QAction* A) {
  QWidget* b = Bar->widgetForAction(A);
  ASSERT_NE(b, nullptr) << A->objectName().toStdString();
  ASSERT_TRUE(b->isEnabled()) << A->objectName().toStdString();
  QTest::mouseClick(b, Qt::LeftButton);
  Pump();
}

// The window shown and active with the search pages installed.
bool ShowActive(TfrmMain& W) {
  InstallSearchPages(W);
  W.show();
  W.activateWindow();
  const bool active = QTest::qWaitForWindowActive(&W);
  Pump();
  return active;
}

// The frame's commands that work on the register: the tree's and the name list's tool bars
// and the name search.
std::vector<QWidget*> RegisterCommands(TfraSakumotsuBase& F) {
  std::vector<QWidget*> out(std::initializer_list<QWidget*>{F.tvSakumotsu, F.edtInput, F.bSearch, F.lvSakumotsu});
  for (QToolBar* bar : {F.tbSakumotsuTree, F.tbSakumotsuSearch})
    for (QAction* a : bar->actions())
      if (QWidget* w = bar->widgetForAction(a)) out.push_back(w);
  return out;
}

}  // namespace

TEST(FraSakumotsuMain, InstalledFrameDrivesTheCropSearch) {
  TMainWindowFixture fx;
  ASSERT_TRUE(fx.BuildSampleDb());
  TfrmMain w;
  InstallSearchPages(w);
  auto* fra = qobject_cast<TfraSakumotsuBase*>(w.fraSakumotsu);
  ASSERT_NE(fra, nullptr);
  EXPECT_EQ(w.eSakumotsu, fra->eSakumotsu);
  EXPECT_EQ(w.eKinsetsuSakumotsu, fra->eKinsetsuSakumotsu);
  EXPECT_EQ(w.pgSakumotsu, fra->pgSakumotsu);
  int searches = 0;
  std::string seen;
  w.SetSearchHandler(tiSakumotsu, std::make_unique<TCounting>(&searches, &seen, fra));
  w.show();
  Pump();
  ASSERT_TRUE(AcisDB);
  // Filled when the database was opened.
  ASSERT_GT(fra->tvSakumotsu->topLevelItemCount(), 0);
  EXPECT_GT(fra->lvBeppyo1->topLevelItemCount(), 0);
  EXPECT_GT(fra->cbFamily->count(), 1);

  ASSERT_EQ(w.pgSearch->currentIndex(), tiSakumotsu);
  fra->pgSakumotsu->setCurrentIndex(0);
  fra->actCheckUpperTree->setChecked(false);
  QTreeWidgetItem* tomato = Node(*fra, "トマト");
  ASSERT_NE(tomato, nullptr);
  tomato->setCheckState(0, Qt::Checked);
  Pump();  // the automatic search runs once the queued input is in
  EXPECT_EQ(searches, 1);
  EXPECT_EQ(seen, "トマト");
  EXPECT_TRUE(w.actSearchTekiyou->isEnabled());
  // The name-search SQL reaches the log pane.
  fra->pgSakumotsu->setCurrentIndex(1);
  fra->edtInput->setText("なす");
  fra->SearchSakumotsu();
  EXPECT_TRUE(w.mLog->toPlainText().contains("vs_sakumotsu2"));

  // "条件消去" clears the frame's texts; the search is then off.
  fra->pgSakumotsu->setCurrentIndex(0);
  searches = 0;
  w.actSearchStrClearExecute();
  EXPECT_EQ(fra->Selection, "");
  EXPECT_FALSE(w.actSearchTekiyou->isEnabled());
  EXPECT_EQ(searches, 0);
  // tbTekiyo without crops does nothing; with crops it searches once.
  fra->tbTekiyo->click();
  Pump();
  EXPECT_EQ(searches, 0);
  fra->actAutoTekiyoView->setChecked(false);
  Node(*fra, "なす")->setCheckState(0, Qt::Checked);
  Pump();
  EXPECT_EQ(searches, 0);
  fra->tbTekiyo->click();
  Pump();
  EXPECT_EQ(searches, 1);
}

// Without a stored width the frame opens wide enough for its page tabs (CVO hid behind the
// scroll arrows) and its mode buttons show their whole captions; a stored width wins.
TEST(FraSakumotsuMain, OpensWideEnoughForItsTabs) {
  for (int stored : {0, 200}) {
    TMainWindowFixture fx;
    ASSERT_TRUE(fx.BuildSampleDb());
    if (stored) fx.WriteIni("[WINDOW]\nTabSakumotsuFraSakumotsuWidth=" + std::to_string(stored) + "\n");
    TfrmMain w;
    InstallSearchPages(w);
    auto* fra = qobject_cast<TfraSakumotsuBase*>(w.fraSakumotsu);
    ASSERT_NE(fra, nullptr);
    w.resize(1000, 700);
    w.show();
    Pump(50);
    if (stored) {
      EXPECT_EQ(w.PaneSize(fra), stored);
      continue;
    }
    QTabBar* bar = fra->pgSakumotsu->tabBar();
    for (int i = 0; i < bar->count(); ++i)
      if (bar->isTabVisible(i)) {
        EXPECT_LE(bar->tabRect(i).right(), bar->width()) << i;
      }
    EXPECT_EQ(fra->tbMain->text(), "主作物");
    EXPECT_EQ(fra->tbTekiyo->text(), "適用検索");
  }
}

// The frame's commands follow the database: off at a start without one (also after the tab's
// inputs were switched off and on for a query), on once the update brought the register, on
// after a search; 適用検索 needs main crops as well.
TEST(FraSakumotsuMain, CommandsFollowTheDatabase) {
  TMainWindowFixture fx;
  fx.WriteIni("[OPTIONS]\nSakumotsuTreeUpperOn=0\n");
  SetMainWindowServices(std::make_unique<TStandInUpdate>(TStandInUpdate::BuildsAndOpens, nullptr, &fx));
  TfrmMain w;
  ASSERT_TRUE(ShowActive(w));
  ASSERT_FALSE(AcisDB);
  auto* fra = qobject_cast<TfraSakumotsuBase*>(w.fraSakumotsu);
  ASSERT_NE(fra, nullptr);
  for (QWidget* c : RegisterCommands(*fra)) EXPECT_FALSE(c->isEnabled()) << c->objectName().toStdString();
  EXPECT_FALSE(fra->tbTekiyo->isEnabled());
  w.EnableSearchInputs(false);
  w.EnableSearchInputs(true);
  for (QWidget* c : RegisterCommands(*fra)) EXPECT_FALSE(c->isEnabled()) << c->objectName().toStdString();

  // Ctrl+Y: the update.
  QWidget* focus = QApplication::focusWidget() ? QApplication::focusWidget() : &w;
  QTest::keyClick(focus, Qt::Key_Y, Qt::ControlModifier);
  Pump();
  ASSERT_TRUE(AcisDB);
  ASSERT_GT(fra->tvSakumotsu->topLevelItemCount(), 0);
  for (QWidget* c : RegisterCommands(*fra)) EXPECT_TRUE(c->isEnabled()) << c->objectName().toStdString();
  EXPECT_FALSE(fra->tbTekiyo->isEnabled());

  // A tick: the automatic search runs; afterwards the commands are on, 適用検索 too.
  Tick(*fra, "トマト");
  EXPECT_GT(w.gdTekiyo->RowCount(), 1);
  for (QWidget* c : RegisterCommands(*fra)) EXPECT_TRUE(c->isEnabled()) << c->objectName().toStdString();
  EXPECT_TRUE(fra->tbTekiyo->isEnabled());
  // "条件消去": no main crops, no 適用検索.
  Press(w.ToolBar, w.actSearchStrClear);
  EXPECT_FALSE(fra->tbTekiyo->isEnabled());
  EXPECT_TRUE(fra->bExpand->isEnabled());
}

// "条件消去" takes the ticks of the tree and of the name list away with the texts: the next
// tick starts a new selection.
TEST(FraSakumotsuMain, ClearConditionsTakesTheTicksAway) {
  TMainWindowFixture fx;
  ASSERT_TRUE(fx.BuildSampleDb());
  fx.WriteIni("[OPTIONS]\nSakumotsuTreeUpperOn=0\nSakumotsuListUpperOn=0\n");
  TfrmMain w;
  ASSERT_TRUE(ShowActive(w));
  ASSERT_TRUE(AcisDB);
  auto* fra = qobject_cast<TfraSakumotsuBase*>(w.fraSakumotsu);
  ASSERT_NE(fra, nullptr);

  Tick(*fra, "トマト");
  EXPECT_EQ(fra->Selection, "トマト");
  Press(w.ToolBar, w.actSearchStrClear);
  EXPECT_EQ(fra->Selection, "");
  EXPECT_FALSE(fra->tvSakumotsu->GetChecked(Node(*fra, "トマト")));
  Tick(*fra, "ピーマン");
  EXPECT_EQ(fra->Selection, "ピーマン");
  Press(w.ToolBar, w.actSearchStrClear);

  // The name list: the typed name is ticked, then cleared; a tick on the other crop stands alone.
  QTabBar* pages = fra->pgSakumotsu->tabBar();
  QTest::mouseClick(pages, Qt::LeftButton, {}, pages->tabRect(1).center());
  ASSERT_EQ(fra->pgSakumotsu->currentIndex(), 1);
  fra->edtInput->setFocus();
  for (const QChar c : QString("とまと")) QTest::sendKeyEvent(QTest::Click, fra->edtInput, Qt::Key_unknown, QString(c), {});
  ASSERT_EQ(fra->edtInput->text(), "とまと");
  QTest::keyClick(fra->edtInput, Qt::Key_Return);
  Pump();
  ASSERT_EQ(fra->lvSakumotsu->topLevelItemCount(), 2);
  EXPECT_EQ(fra->Selection, "トマト");
  Press(w.ToolBar, w.actSearchStrClear);
  EXPECT_EQ(fra->Selection, "");
  EXPECT_TRUE(fra->lvSakumotsu->CheckedRecords().empty());
  fra->lvSakumotsu->setCurrentItem(fra->lvSakumotsu->topLevelItem(1));
  fra->lvSakumotsu->setFocus();
  QTest::keyClick(fra->lvSakumotsu, Qt::Key_Space);
  Pump();
  EXPECT_EQ(fra->Selection, "トマト(施設栽培)");
}

// After a data update (Ctrl+Y) the crop tab's result and filters work on the new database: the
// tree keeps its ticks and the search runs again, so a formulation filter finds the rows the
// grid shows (its working table went with the old connection: "no data" before).
TEST(FraSakumotsuMain, ResultAndTicksFollowADataUpdate) {
  TMainWindowFixture fx;
  ASSERT_TRUE(fx.BuildSampleDb());
  fx.WriteIni("[OPTIONS]\nSakumotsuTreeUpperOn=0\nTushoMode=0\n");
  TfrmMain w;
  ASSERT_TRUE(ShowActive(w));
  ASSERT_TRUE(AcisDB);
  SetMainWindowServices(std::make_unique<TStandInUpdate>(TStandInUpdate::BuildsAndOpens, nullptr, &fx));
  auto* fra = qobject_cast<TfraSakumotsuBase*>(w.fraSakumotsu);
  ASSERT_NE(fra, nullptr);
  Tick(*fra, "トマト");
  ASSERT_EQ(fra->Selection, "トマト");
  const int rows = w.gdTekiyo->RowCount();
  ASSERT_GT(rows, 1);
  const int expected =
      std::stoi(AcisDB->FDb->GetTable("SELECT count(*) FROM ttTekiyoSaku WHERE zaikei = '液剤'")->Fields(0));
  ASSERT_GT(expected, 0);

  QWidget* focus = QApplication::focusWidget() ? QApplication::focusWidget() : &w;
  QTest::keyClick(focus, Qt::Key_Y, Qt::ControlModifier);
  Pump();
  SetMainWindowServices(nullptr);
  ASSERT_TRUE(AcisDB);
  QTreeWidgetItem* tomato = Node(*fra, "トマト");
  ASSERT_NE(tomato, nullptr);
  EXPECT_TRUE(fra->tvSakumotsu->GetChecked(tomato));
  EXPECT_TRUE(tomato->parent() && tomato->parent()->isExpanded());
  EXPECT_EQ(fra->Selection, "トマト");
  EXPECT_EQ(w.gdTekiyo->RowCount(), rows);

  // The formulation typed into its box and confirmed with Enter.
  auto& sink = static_cast<TLogMessageSink&>(MessageSink());
  sink.Clear();
  w.cbZaikei->setFocus();
  w.cbZaikei->lineEdit()->selectAll();
  for (const QChar c : QString("液剤"))
    QTest::sendKeyEvent(QTest::Click, w.cbZaikei->lineEdit(), Qt::Key_unknown, QString(c), {});
  ASSERT_EQ(w.cbZaikei->currentText(), "液剤");
  QTest::keyClick(w.cbZaikei->lineEdit(), Qt::Key_Return);
  Pump();
  for (const auto& msg : sink.Messages()) ADD_FAILURE() << msg.text;
  EXPECT_EQ(w.gdTekiyo->RowCount() - 1, expected);
}
