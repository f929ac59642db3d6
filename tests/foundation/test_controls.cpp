// The custom controls: spin edit limits and 64-bit values, check counts and clipped-item
// hints, the check tree across moves, the form panel and the tool bar.
#include <gtest/gtest.h>

#include <QApplication>
#include <QHBoxLayout>
#include <QHelpEvent>
#include <QLabel>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTest>
#include <QMainWindow>
#include <QMenuBar>

#include <limits>

#include "foundation/check_list_box_ex.h"
#include "foundation/check_tree_view.h"
#include "foundation/form_panel.h"
#include "foundation/list_box_ex.h"
#include "foundation/list_hint_window.h"
#include "foundation/win_spin_edit.h"
#include "foundation/xp_tool_bar.h"

namespace {

void Type(QWidget* w, const QString& text) {
  for (QChar c : text) {
    QKeyEvent ev(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
    QApplication::sendEvent(w, &ev);
  }
}

}  // namespace

TEST(WinSpinEdit, LimitsClampOnLeavingAndStepping) {
  QWidget top;
  auto* se = new TWinSpinEdit(&top);
  auto* other = new QLineEdit(&top);
  top.show();
  EXPECT_EQ(se->Value(), 0);
  EXPECT_EQ(se->Increment(), 1);
  se->SetMinValue(1);
  se->SetMaxValue(10);
  // Typing 99 and leaving the field gives 10.
  se->setFocus();
  se->SetText("");
  Type(se, "99");
  EXPECT_EQ(se->Text(), QStringLiteral("99"));
  QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
  QApplication::sendEvent(se, &out);
  EXPECT_EQ(se->Value(), 10);
  // Letters are refused with a beep; digits and signs are taken.
  const int beeps = se->BeepCount();
  Type(se, "a");
  EXPECT_EQ(se->Text(), QStringLiteral("10"));
  EXPECT_EQ(se->BeepCount(), beeps + 1);
  QString pasted = "12x";
  int pos = 0;
  EXPECT_EQ(se->validate(pasted, pos), QValidator::Invalid);
  // An emptied text reads as MinValue and is rewritten so.
  se->SetText("");
  EXPECT_EQ(se->Value(), 1);
  EXPECT_EQ(se->Text(), QStringLiteral("1"));
  // Steps clamp at the limits; the up and down keys step by Increment.
  se->SetIncrement(4);
  se->stepBy(1);
  EXPECT_EQ(se->Value(), 5);
  se->stepBy(2);
  EXPECT_EQ(se->Value(), 10);
  QKeyEvent down(QEvent::KeyPress, Qt::Key_Down, Qt::NoModifier);
  QApplication::sendEvent(se, &down);
  EXPECT_EQ(se->Value(), 6);
  se->stepBy(-5);
  EXPECT_EQ(se->Value(), 1);
  // Read-only: a step only beeps.
  se->setReadOnly(true);
  const int b2 = se->BeepCount();
  se->stepBy(1);
  EXPECT_EQ(se->Value(), 1);
  EXPECT_EQ(se->BeepCount(), b2 + 1);
  (void)other;
}

TEST(WinSpinEdit, TextEmptiedByTheUserIsRewrittenWhenRead) {
  QWidget top;
  auto* se = new TWinSpinEdit(&top);
  auto* other = new QLineEdit(&top);
  se->SetMinValue(1);
  se->SetMaxValue(10);
  se->SetValue(7);
  top.show();
  top.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&top));
  // Emptied with Backspace and read: MinValue, and the box shows it.
  se->setFocus();
  QTest::keyClick(se, Qt::Key_End);
  QTest::keyClick(se, Qt::Key_Backspace);
  ASSERT_EQ(se->Text(), QString());
  EXPECT_EQ(se->Value(), 1);
  EXPECT_EQ(se->Text(), QStringLiteral("1"));
  // Emptied with Ctrl+A and Delete, then left with Tab.
  QTest::keyClick(se, Qt::Key_A, Qt::ControlModifier);
  QTest::keyClick(se, Qt::Key_Delete);
  ASSERT_EQ(se->Text(), QString());
  QTest::keyClick(se, Qt::Key_Tab);
  EXPECT_TRUE(other->hasFocus());
  EXPECT_EQ(se->Text(), QStringLiteral("1"));
}

TEST(WinSpinEdit, SixtyFourBitValuesWithoutLimits) {
  TWinSpinEdit se;
  const int64_t big = 9007199254740993LL;  // not representable as a double
  se.SetValue(big);
  EXPECT_EQ(se.Value(), big);
  EXPECT_EQ(se.Text(), QStringLiteral("9007199254740993"));
  se.stepBy(1);
  EXPECT_EQ(se.Value(), big + 1);
  // Equal limits mean no limit; steps saturate instead of wrapping.
  se.SetMinValue(5);
  se.SetMaxValue(5);
  se.SetValue(std::numeric_limits<int64_t>::max() - 1);
  se.SetIncrement(10);
  se.stepBy(1);
  EXPECT_EQ(se.Value(), std::numeric_limits<int64_t>::max());
  se.SetValue(std::numeric_limits<int64_t>::min());
  se.stepBy(-1);
  EXPECT_EQ(se.Value(), std::numeric_limits<int64_t>::min());
  EXPECT_EQ(se.CheckValue(-7), -7);
  // A text past the 64-bit range is not an integer: MinValue.
  se.SetText("99999999999999999999");
  EXPECT_EQ(se.Value(), 5);
  // Without the editor only the arrows change the value.
  se.SetEditorEnabled(false);
  se.SetValue(3);
  Type(&se, "7");
  EXPECT_EQ(se.Text(), QStringLiteral("3"));
}

TEST(ListBoxes, CheckCountAndClippedItemHints) {
  TCheckListBoxEx cl;
  cl.resize(120, 200);
  EXPECT_EQ(cl.CheckCount(), 0);
  cl.AddItem("トマト");
  cl.AddItem("とても長い作物名がここにあってリストの幅には入りきらない");
  cl.AddItem("なす", true);
  EXPECT_EQ(cl.CheckCount(), 1);
  cl.SetChecked(0, true);
  EXPECT_EQ(cl.CheckCount(), 2);
  cl.item(2)->setCheckState(Qt::Unchecked);
  EXPECT_EQ(cl.CheckCount(), 1);
  cl.show();
  const QRect r0 = cl.visualItemRect(cl.item(0));
  const QRect r1 = cl.visualItemRect(cl.item(1));
  EXPECT_FALSE(cl.HintAt(r0.center()).Show);
  TClippedHint h = cl.HintAt(r1.center());
  ASSERT_TRUE(h.Show);
  EXPECT_EQ(h.Text, cl.item(1)->text());
  EXPECT_EQ(h.GlobalPos, cl.viewport()->mapToGlobal(r1.topLeft() + QPoint(9, -3)));
  EXPECT_EQ(h.HintSize.height(), QFontMetrics(cl.font()).height() + 2);
  EXPECT_FALSE(cl.HintAt(QPoint(5, 190)).Show);  // below the items
  // The hint window itself: shown at the item for a clipped one, sized to the text.
  QHelpEvent tip(QEvent::ToolTip, r1.center(), cl.viewport()->mapToGlobal(r1.center()));
  QApplication::sendEvent(cl.viewport(), &tip);
  auto* win = cl.findChild<TListBoxHintWindow*>();
  ASSERT_NE(win, nullptr);
  EXPECT_TRUE(win->isVisible());
  EXPECT_EQ(win->text(), cl.item(1)->text());
  EXPECT_EQ(win->size(), QSize(QFontMetrics(cl.font()).horizontalAdvance(cl.item(1)->text()) + 5,
                               QFontMetrics(cl.font()).height() + 2));
  EXPECT_EQ(win->pos(), h.GlobalPos);
  QHelpEvent tip0(QEvent::ToolTip, r0.center(), cl.viewport()->mapToGlobal(r0.center()));
  QApplication::sendEvent(cl.viewport(), &tip0);
  EXPECT_FALSE(win->isVisible());

  TListBoxEx lb;
  lb.resize(100, 100);
  lb.addItem("短い");
  lb.addItem("これはリストボックスの幅より長い項目のテキストです");
  lb.show();
  EXPECT_FALSE(lb.HintAt(lb.visualItemRect(lb.item(0)).center()).Show);
  h = lb.HintAt(lb.visualItemRect(lb.item(1)).center());
  ASSERT_TRUE(h.Show);
  EXPECT_EQ(h.GlobalPos, lb.viewport()->mapToGlobal(lb.visualItemRect(lb.item(1)).topLeft() + QPoint(-1, -3)));
  EXPECT_EQ(h.HintSize.height(), QFontMetrics(lb.font()).height());
}

TEST(CheckTreeView, ChecksSurviveMovesOfNodesWithChildren) {
  TCheckTreeView tv;
  QTreeWidgetItem* a = tv.AddNode(nullptr, "野菜", 1);
  QTreeWidgetItem* a1 = tv.AddNode(a, "トマト", 11);
  QTreeWidgetItem* a2 = tv.AddNode(a, "なす", 12);
  QTreeWidgetItem* b = tv.AddNode(nullptr, "果樹", 2);
  QTreeWidgetItem* b1 = tv.AddNode(b, "りんご", 21);
  QTreeWidgetItem* loose = tv.AddNode(nullptr, "その他", 0);
  loose->setData(0, Qt::UserRole, QVariant());  // a node without a data value
  tv.SetNodeChecked(a, true);
  tv.SetNodeChecked(a2, true);
  tv.SetNodeChecked(b1, true);
  tv.SetNodeChecked(loose, true);
  a->setExpanded(true);
  tv.setCurrentItem(b1);
  // Move a checked node with its children under another node.
  ASSERT_TRUE(tv.MoveTo(a, b, naAddChild));
  EXPECT_EQ(a->parent(), b);
  EXPECT_TRUE(tv.GetChecked(a));
  EXPECT_FALSE(tv.GetChecked(a1));
  EXPECT_TRUE(tv.GetChecked(a2));
  EXPECT_TRUE(tv.GetChecked(b1));
  EXPECT_FALSE(tv.GetChecked(b));
  EXPECT_TRUE(tv.GetChecked(loose));
  EXPECT_TRUE(b1->isExpanded());  // the selected node takes the moved node's expanded state
  // Moves into the node itself or below it are refused.
  EXPECT_FALSE(tv.MoveTo(b, a1, naAddChild));
  EXPECT_FALSE(tv.MoveTo(a, a, naInsert));
  // Back to the top, first.
  ASSERT_TRUE(tv.MoveTo(a2, nullptr, naAddFirst));
  EXPECT_EQ(tv.topLevelItem(0), a2);
  EXPECT_TRUE(tv.GetChecked(a2));
  EXPECT_FALSE(tv.GetChecked(nullptr));
  // Switching the boxes off removes them; on again gives unchecked boxes.
  tv.SetCheckboxes(false);
  EXPECT_FALSE(tv.GetChecked(a2));
  EXPECT_FALSE(a2->data(0, Qt::CheckStateRole).isValid());
  tv.SetCheckboxes(true);
  EXPECT_FALSE(tv.GetChecked(a2));
  EXPECT_TRUE(a2->data(0, Qt::CheckStateRole).isValid());
}

TEST(FormPanel, HostsAFormByNameOrCaptionAndGivesItBack) {
  QMainWindow owner;
  auto* panel = new TFormPanel(&owner);
  owner.setCentralWidget(panel);
  owner.menuBar()->addMenu("ファイル");
  auto* hosted = new QMainWindow;
  hosted->setObjectName("frmTemplate");
  hosted->setWindowTitle("定型処理");
  hosted->menuBar()->addMenu("定型");
  // No such form: nothing hosted.
  panel->SetFormName("frmNothing");
  EXPECT_EQ(panel->HostedForm(), nullptr);
  panel->SetFormName("frmTemplate");
  ASSERT_EQ(panel->HostedForm(), hosted);
  EXPECT_FALSE(hosted->isWindow());
  EXPECT_EQ(owner.menuBar()->actions().size(), 2);
  // Setting a name that finds nothing releases the hosted form with its menus.
  panel->SetFormName("");
  EXPECT_EQ(panel->HostedForm(), nullptr);
  EXPECT_TRUE(hosted->isWindow());
  EXPECT_EQ(owner.menuBar()->actions().size(), 1);
  // By caption, applied only once loading ends.
  panel->BeginLoad();
  panel->SetFormCaption("定型処理");
  EXPECT_EQ(panel->HostedForm(), nullptr);
  panel->EndLoad();
  EXPECT_EQ(panel->HostedForm(), hosted);
  panel->SetFormCaption("");
  delete hosted;
}

TEST(XPToolBar, DropsOnlyItsOneEvent) {
  TXPToolBar tb;
  QEvent dropped(TXPToolBar::kDroppedEvent);
  EXPECT_TRUE(QApplication::sendEvent(&tb, &dropped));
  tb.addAction("x");
  EXPECT_EQ(tb.actions().size(), 1);
}

// Laid out beside a label with room to spare (as the options dialog places its indent box),
// the box shows its whole number: 19 to 48 is never cut to "9".
TEST(WinSpinEdit, ShowsTheWidestNumberOfItsLimits) {
  QWidget top;
  auto* h = new QHBoxLayout(&top);
  h->addWidget(new QLabel("作物ツリーの字下げ"));
  auto* se = new TWinSpinEdit;
  h->addWidget(se);
  h->addStretch(1);
  se->SetMinValue(19);
  se->SetMaxValue(48);
  se->SetValue(48);
  auto* wide = new TWinSpinEdit;  // 64-bit, without limits
  h->addWidget(wide);
  wide->SetValue(123456789012LL);
  top.resize(700, 40);
  top.show();
  QApplication::processEvents();
  QLineEdit* edit = se->findChild<QLineEdit*>();
  ASSERT_NE(edit, nullptr);
  EXPECT_GE(edit->width(), edit->fontMetrics().horizontalAdvance("48"));
  QLineEdit* wideEdit = wide->findChild<QLineEdit*>();
  EXPECT_GE(wideEdit->width(), wideEdit->fontMetrics().horizontalAdvance("123456789012"));
}
