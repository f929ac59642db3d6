// The main window's handling of its result grids: keys, the right button, title sorting with
// the tab's sort text, copy, fixed columns, row and column removal, lines per cell, the use
// card, the tooltip for clipped cells.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QSpinBox>
#include <QTabWidget>
#include <QTest>
#include <QTextDocument>
#include <QToolTip>

#include "common/menu_probe.h"
#include "foundation/global.h"
#include "foundation/win_spin_edit.h"
#include "frontend/frm_main.h"
#include "output/xls_string_grid.h"
#include "support_main_window.h"

namespace {

// A key as the user presses it (through the window's shortcuts first) to the focused widget.
void Key(QWidget* w, Qt::Key key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
  w->setFocus();
  QTest::keyClick(w, key, mods);
}

void Press(TXlsStringGrid* g, int col, int row, Qt::MouseButton button) {
  // Centre of the cell (data rows only: row 0 is the header).
  const QRect r = g->visualRect(g->model()->index(row - 1, col));
  QMouseEvent ev(QEvent::MouseButtonPress, QPointF(r.center()), g->viewport()->mapToGlobal(QPointF(r.center())),
                 button, button, Qt::NoModifier);
  QCoreApplication::sendEvent(g->viewport(), &ev);
}

// The hint shown over a data cell, as the user reads it ("" when none is shown).
QString HintOver(TXlsStringGrid* g, int col, int row) {
  // A hidden hint lingers for a moment: wait until it is gone, so the answer is this cell's.
  QToolTip::hideText();
  for (int i = 0; i < 40 && QToolTip::isVisible(); ++i) Pump(25);
  const QRect r = g->visualRect(g->model()->index(row - 1, col));
  QHelpEvent ev(QEvent::ToolTip, r.center(), g->viewport()->mapToGlobal(r.center()));
  QCoreApplication::sendEvent(g->viewport(), &ev);
  if (!QToolTip::isVisible()) return QString();
  QTextDocument doc;
  doc.setHtml(QToolTip::text());
  return doc.toPlainText();
}

struct TGridFixture : TMainWindowFixture {
  TfrmMain w;
  TXlsStringGrid* g;
  TGridFixture() : w(), g(w.gdTekiyo) {
    g->Fill({"番号", "農薬の名称", "作物名"}, {{"10", "アセタミプリド水溶剤", "トマト"},
                                              {"9", "イミダクロプリド粒剤", "なす"},
                                              {"100", "マンゼブ水和剤", "きゅうり"},
                                              {"9", "アセタミプリド水溶剤", "ミニトマト"}});
    w.resize(700, 500);
    w.show();
    g->show();
    w.activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(&w));
    Pump();
    w.pgSearchChange();
  }
};

}  // namespace

TEST(MainWindowGrids, KeysInAResultGrid) {
  TGridFixture fx;
  TfrmMain& w = fx.w;
  TXlsStringGrid* g = fx.g;
  // Digits set the lines per cell of the tab (and the spin edit).
  Key(g, Qt::Key_3);
  EXPECT_EQ(w.GridStates[tiSakumotsu].CellLines, 3);
  EXPECT_EQ(w.seGridCellLine->Value(), 3);
  Key(g, Qt::Key_1, Qt::KeypadModifier);
  EXPECT_EQ(w.GridStates[tiSakumotsu].CellLines, 1);
  // Shift+Insert widens, Shift+Delete narrows the current column, never below 5.
  g->SetCurrentCell(1, 1);
  const int before = g->ColWidths(1);
  Key(g, Qt::Key_Insert, Qt::ShiftModifier);
  EXPECT_EQ(g->ColWidths(1), before + 5);
  g->SetColWidths(1, 7);
  Key(g, Qt::Key_Delete, Qt::ShiftModifier);
  EXPECT_EQ(g->ColWidths(1), 5);
  Key(g, Qt::Key_Delete, Qt::ShiftModifier);
  EXPECT_EQ(g->ColWidths(1), 5);
  // Enter opens the use card on the current row.
  int cardRow = -1;
  w.OnOpenUseCard = [&cardRow](TXlsStringGrid*, int row) { cardRow = row; };
  g->SetCurrentCell(0, 2);
  Key(g, Qt::Key_Return);
  EXPECT_EQ(cardRow, 2);
  // The context-menu key takes the current cell as the cell under the mouse (its menu closed
  // again by Escape).
  TMenuSeen seen = OpenMenu([&] { Key(g, Qt::Key_Menu); });
  EXPECT_EQ(seen.Menu, w.mnTekiyouGrid);
  EXPECT_EQ(w.MouseRow, 2);
  EXPECT_EQ(w.MouseCol, 0);
  // Ctrl+Shift+X removes the current column, but not in row-selection mode (Ctrl+R); it is
  // not Ctrl+X: the rows stay.
  ASSERT_FALSE(w.mnRowSelect->isChecked());
  Key(g, Qt::Key_R, Qt::ControlModifier);
  ASSERT_TRUE(w.mnRowSelect->isChecked());
  Key(g, Qt::Key_X, Qt::ControlModifier | Qt::ShiftModifier);
  EXPECT_EQ(g->ColCount(), 3);
  EXPECT_EQ(g->RowCount(), 5);
  Key(g, Qt::Key_R, Qt::ControlModifier);
  ASSERT_FALSE(w.mnRowSelect->isChecked());
  g->SetCurrentCell(2, 1);
  Key(g, Qt::Key_X, Qt::ControlModifier | Qt::ShiftModifier);
  EXPECT_EQ(g->ColCount(), 2);
  EXPECT_EQ(g->Cells(1, 0), "農薬の名称");
  EXPECT_EQ(g->RowCount(), 5);
}

TEST(MainWindowGrids, RightButtonKeepsTheSelectionOrMovesTheCurrentCell) {
  TGridFixture fx;
  TXlsStringGrid* g = fx.g;
  g->SetCurrentCell(1, 1);
  g->selectionModel()->select(QItemSelection(g->model()->index(0, 0), g->model()->index(1, 1)),
                              QItemSelectionModel::ClearAndSelect);
  Press(g, 0, 2, Qt::RightButton);  // inside the selection
  int l, t, r, b;
  ASSERT_TRUE(g->SelectionRect(l, t, r, b));
  EXPECT_EQ(QRect(QPoint(l, t), QPoint(r, b)), QRect(QPoint(0, 1), QPoint(1, 2)));
  EXPECT_EQ(fx.w.MouseRow, 2);
  EXPECT_EQ(fx.w.MouseCol, 0);
  Press(g, 2, 4, Qt::RightButton);  // outside: that cell becomes current
  EXPECT_EQ(g->Row(), 4);
  EXPECT_EQ(g->Col(), 2);
}

TEST(MainWindowGrids, SortCopyFixAndRemove) {
  TGridFixture fx;
  TfrmMain& w = fx.w;
  TXlsStringGrid* g = fx.g;
  // Title sorts: "番号" numerically; the tab keeps its sort text.
  w.SortByTitle(g, 2);
  EXPECT_EQ(w.GridStates[tiSakumotsu].SortText, "ｿｰﾄ:作物名△");
  w.SortByTitle(g, 0);
  EXPECT_EQ(w.StatusText(2), "ｿｰﾄ:番号△");
  EXPECT_EQ(g->Cells(0, 1), "9");
  EXPECT_EQ(g->Cells(0, 3), "10");
  EXPECT_EQ(g->Cells(0, 4), "100");
  w.SortByTitle(g, 99);  // no such column: nothing happens
  EXPECT_EQ(w.StatusText(2), "ｿｰﾄ:番号△");

  // Copy of a single cell (Ctrl+C): that cell; copy all (Ctrl+A): the whole grid.
  g->SetCurrentCell(1, 4);
  Key(g, Qt::Key_C, Qt::ControlModifier);
  EXPECT_EQ(QApplication::clipboard()->text(), QString::fromStdString(g->Cells(1, 4)));
  Key(g, Qt::Key_A, Qt::ControlModifier);
  EXPECT_TRUE(QApplication::clipboard()->text().startsWith("番号\t農薬の名称\t作物名\t\r\n"));

  // Fixed columns, stored for the crop grid.
  w.pmnFixedClm->trigger();
  w.pmnFixedClm->trigger();
  EXPECT_EQ(g->FixedCols(), 2);
  EXPECT_EQ(OptionData->GridFixedCol, 2);
  w.pmnFixedClmOff->trigger();
  EXPECT_EQ(g->FixedCols(), 0);
  EXPECT_EQ(OptionData->GridFixedCol, 0);

  // Row removal: the current row; the count follows.
  g->SetCurrentCell(0, 1);
  w.pmnRemoveRowClick();
  EXPECT_EQ(g->RowCount(), 4);
  EXPECT_EQ(w.GridStates[tiSakumotsu].CountText, "3件");
  // Column removal by the popup's cell; a column outside the grid is refused.
  w.MouseCol = 7;
  w.pmnRemoveClmClick();
  EXPECT_EQ(g->ColCount(), 3);
  w.MouseCol = 1;
  w.pmnRemoveClmClick();
  EXPECT_EQ(g->ColCount(), 2);
}

TEST(MainWindowGrids, FittingFollowsTheLinesPerCell) {
  TGridFixture fx;
  TfrmMain& w = fx.w;
  TXlsStringGrid* g = fx.g;
  const std::string longText(25, 'W');
  g->Fill({"番号", "備考", "空"}, {{"1", longText, ""}, {"2", "短い", ""}});
  OptionData->GridMaxWidth = 0;
  w.GridStates[tiSakumotsu].CellLines = 1;
  w.AdjustGridColumnWidths(g);
  const int one = g->ColWidths(1);
  EXPECT_EQ(g->ColCount(), 2);  // the empty column is gone
  w.seGridCellLine->SetValue(3);  // refits
  const int three = g->ColWidths(1);
  EXPECT_LT(three, one / 2);
  EXPECT_GT(three, one / 4);
  EXPECT_EQ(TfrmMain::TextWidthPerLine(0, 3, 10), 0);
  EXPECT_EQ(TfrmMain::TextWidthPerLine(90, 3, 10), 40);
  EXPECT_EQ(TfrmMain::TextWidthPerLine(90, 0, 10), 100);
  EXPECT_EQ(TfrmMain::SortArrowText(TfrmMain::ToggleSortOrder(0)), "▽");
}

TEST(MainWindowGrids, CopyKeysBelongToTheFocusedTextBox) {
  TGridFixture fx;
  TfrmMain& w = fx.w;
  w.pgSearch->setCurrentIndex(tiYakuzai);
  w.pgSearch->setCurrentIndex(tiSakumotsu);
  w.activateWindow();
  w.edtYoto->setEnabled(true);
  w.edtYoto->setText("殺虫剤");
  w.edtYoto->setFocus();
  Pump();
  ASSERT_EQ(QApplication::focusWidget(), w.edtYoto);
  w.edtYoto->selectAll();
  QApplication::clipboard()->clear();
  Key(w.edtYoto, Qt::Key_C, Qt::ControlModifier);
  EXPECT_EQ(QApplication::clipboard()->text(), "殺虫剤");
  w.edtYoto->deselect();
  Key(w.edtYoto, Qt::Key_A, Qt::ControlModifier);  // selects the box's text
  EXPECT_EQ(w.edtYoto->selectedText(), "殺虫剤");
  Key(w.edtYoto, Qt::Key_X, Qt::ControlModifier);  // cuts it; the grid keeps its rows
  EXPECT_EQ(w.edtYoto->text(), "");
  EXPECT_EQ(fx.g->RowCount(), 5);
  Key(w.edtYoto, Qt::Key_V, Qt::ControlModifier);
  EXPECT_EQ(w.edtYoto->text(), "殺虫剤");
  // A read-only box copies and selects but keeps its text.
  w.edtYoto->setReadOnly(true);
  Key(w.edtYoto, Qt::Key_A, Qt::ControlModifier);
  Key(w.edtYoto, Qt::Key_X, Qt::ControlModifier);
  EXPECT_EQ(w.edtYoto->text(), "殺虫剤");
  EXPECT_EQ(fx.g->RowCount(), 5);
  w.edtYoto->setReadOnly(false);
  // Focus in the grid: the grid's copy.
  fx.g->SetCurrentCell(2, 1);
  Key(fx.g, Qt::Key_C, Qt::ControlModifier);
  EXPECT_EQ(QApplication::clipboard()->text(), QString::fromStdString(fx.g->Cells(2, 1)));
}

TEST(MainWindowGrids, ClippedCellsShowTheirWholeTextAsTheHint) {
  TGridFixture fx;
  TXlsStringGrid* g = fx.g;
  const std::string markup = "<sakumotsu> a<b and c>d の備考が列の幅にはとても入りきらないほど長い";
  const std::string lines = "1行目 <b>太字ではない</b>\n2行目 a<b and c>d もまた長い備考の文字";
  g->Fill({"番号", "備考"}, {{"1", markup}, {"2", lines}, {"3", "短"}});
  g->SetColWidths(1, 80);
  Pump();
  EXPECT_EQ(HintOver(g, 1, 1).toStdString(), markup);
  EXPECT_EQ(HintOver(g, 1, 2).toStdString(), lines);
  EXPECT_EQ(HintOver(g, 1, 3), QString());  // fits: no hint
  QToolTip::hideText();
}
