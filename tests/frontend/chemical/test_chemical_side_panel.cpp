// The chemical tab's side panel as laid out on the screen: the candidate edits with their
// clear and picker buttons, and the least width that keeps every related-product tab in sight.
#include <QApplication>
#include <QFont>
#include <QInputMethodEvent>
#include <QPushButton>
#include <QSplitter>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>

#include "frontend/chemical/chemical_tab_fixture.h"

namespace {

// Text typed through the input method, as Japanese text arrives.
void Type(QLineEdit* Edit, const QString& Text) {
  if (Text.isEmpty()) return;
  Edit->setFocus();
  QInputMethodEvent ev;
  ev.setCommitString(Text);
  QApplication::sendEvent(Edit, &ev);
}

// The gap between a widget's right edge and the left edge of the next one in its row.
int GapAfter(const QWidget* Left, const QWidget* Right) { return Right->x() - Left->geometry().right() - 1; }

// An edit row: the clear button, when shown, sits between the edit and the picker button on
// the edit's line; hidden, it leaves the edit reaching up to the picker button.
void ExpectRow(const QLineEdit* Edit, const QToolButton* Clear, const QPushButton* Picker, int Spacing) {
  const std::string name = Edit->objectName().toStdString();
  EXPECT_EQ(Clear->isVisible(), !Edit->text().isEmpty()) << name;
  EXPECT_NEAR(Picker->geometry().center().y(), Edit->geometry().center().y(), 2) << name;
  if (Clear->isVisible()) {
    EXPECT_NEAR(Clear->geometry().center().y(), Edit->geometry().center().y(), 2) << name;
    EXPECT_EQ(GapAfter(Edit, Clear), Spacing) << name;
    EXPECT_EQ(GapAfter(Clear, Picker), Spacing) << name;
  } else {
    EXPECT_EQ(GapAfter(Edit, Picker), Spacing) << name;
  }
}

}  // namespace

TEST(ChemicalSidePanel, ClearButtonsHaveARowEach) {
  OPEN_CHEM_TAB(t);
  TfrmMain& w = *t.W;
  Pump();
  ASSERT_TRUE(w.eYakuzai->isVisible());
  ASSERT_TRUE(w.eYakuzai->isEnabled());
  // The spacing of an edit row with both edits empty.
  const int spacing = GapAfter(w.eYakuzai, w.btnYakuzaiSel);
  ASSERT_GE(spacing, 0);
  EXPECT_EQ(GapAfter(w.eYakuzaiTabSakumotsu, w.bYakuzaiTabSakuSel), spacing);

  struct Case {
    const char* crop;
    const char* chemical;
  } cases[] = {{"とまと", ""}, {"", "ダコニール"}, {"なす", "12345"}, {"", ""}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.crop) + "/" + c.chemical);
    for (QLineEdit* e : {w.eYakuzaiTabSakumotsu, w.eYakuzai}) {
      e->setFocus();
      e->selectAll();
      QTest::keyClick(e, Qt::Key_Delete);
    }
    Type(w.eYakuzaiTabSakumotsu, QString::fromUtf8(c.crop));
    Type(w.eYakuzai, QString::fromUtf8(c.chemical));
    Pump(10);
    ExpectRow(w.eYakuzaiTabSakumotsu, w.bYakuzaiTabSakumotsuClear, w.bYakuzaiTabSakuSel, spacing);
    ExpectRow(w.eYakuzai, w.bYakuzaiTabYakuzaiClear, w.btnYakuzaiSel, spacing);
    // Both picker buttons in one column, the edits reaching to it.
    EXPECT_EQ(w.bYakuzaiTabSakuSel->x(), w.btnYakuzaiSel->x());
    EXPECT_LT(w.bYakuzaiTabSakuSel->geometry().bottom(), w.btnYakuzaiSel->y());
  }
}

namespace {

struct TSidePanel : TMainWindowFixture {
  std::unique_ptr<TfrmMain> w;
  explicit TSidePanel(const std::string& ini = std::string()) {
    if (!ini.empty()) WriteIni(ini);
    w = std::make_unique<TfrmMain>();
    w->resize(1000, 700);
    w->show();
    w->pgSearch->setCurrentIndex(tiYakuzai);
    Pump();
  }
  ~TSidePanel() { w.reset(); }
  // Every related-product tab lies whole inside the tab bar, and the panel is as wide.
  void ExpectAllTabsInSight(const char* when) const {
    QTabBar* bar = w->pgYakuzaiSideSeibun->tabBar();
    ASSERT_EQ(bar->count(), 6) << when;
    for (int i = 0; i < bar->count(); ++i)
      EXPECT_TRUE(bar->rect().contains(bar->tabRect(i))) << when << " " << bar->tabText(i).toStdString();
    EXPECT_GE(w->pnlYakuzaiSide->width(), bar->sizeHint().width()) << when;
  }
};

}  // namespace

TEST(ChemicalSidePanel, NeverNarrowerThanItsTabBar) {
  TSidePanel t;
  TfrmMain& w = *t.w;
  t.ExpectAllTabsInSight("designed width");
  const int least = w.pnlYakuzaiSide->width();
  EXPECT_GT(least, 150);  // wider than the designed 150 px

  // The user drags the splitter to the left: the panel stops at its tab bar.
  QList<int> sizes = w.SplitterYakuzaiSide->sizes();
  ASSERT_EQ(sizes.size(), 2);
  w.SplitterYakuzaiSide->setSizes({60, sizes[0] + sizes[1] - 60});
  Pump();
  t.ExpectAllTabsInSight("dragged narrow");

  // A larger font widens the tabs, and the panel with them.
  QFont f = w.font();
  f.setPointSizeF(f.pointSizeF() * 1.5);
  w.setFont(f);
  Pump();
  t.ExpectAllTabsInSight("larger font");
  EXPECT_GT(w.pnlYakuzaiSide->width(), least);
}

TEST(ChemicalSidePanel, WiderStoredWidthIsKept) {
  TSidePanel t("[WINDOW]\nYakuzaiSidePanelWidth=480\n");
  EXPECT_EQ(t.w->pnlYakuzaiSide->width(), 480);
  t.ExpectAllTabsInSight("stored width");
}
