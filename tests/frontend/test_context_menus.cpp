// The main window's context menus as the user opens them: the result grids' menu by a right
// click on a cell, a title, a fixed column of a grid scrolled sideways or an empty part, and by
// the menu key; where it opens and which cell it works on; Ctrl+X and Ctrl+C pressed after it;
// the log pane's menu.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QMenu>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTabWidget>
#include <QTest>

#include "common/menu_probe.h"
#include "foundation/global.h"
#include "frontend/frm_main.h"
#include "frontend/main_output_actions.h"
#include "output/xls_string_grid.h"
#include "support_main_window.h"

namespace {

struct TWindow : TMainWindowFixture {
  std::unique_ptr<TfrmMain> w;
  TXlsStringGrid* g = nullptr;
  TWindow() {
    w = std::make_unique<TfrmMain>();
    InstallOutputActions(*w);
    w->resize(700, 450);
    w->show();
    Pump();
    g = w->gdTekiyo;
    g->Fill({"番号", "農薬の名称", "作物名"}, {{"10", "アセタミプリド水溶剤", "トマト"},
                                              {"9", "イミダクロプリド粒剤", "なす"},
                                              {"100", "マンゼブ水和剤", "きゅうり"},
                                              {"8", "ボルドー", "ミニトマト"}});
    g->show();
    w->pgSearch->setCurrentIndex(tiSakumotsu);
    w->pgSearchChange();
    w->EnableResultActions(true);
    Pump();
    g->setFocus();
  }
  ~TWindow() { w.reset(); }
  QPoint CellCentre(int col, int row) const { return g->visualRect(g->model()->index(row - 1, col)).center(); }
  // The menu's cell while it is open: column, row and the text it works on.
  struct TCell {
    int Col = -2, Row = -2;
    QString Text;
  };
  TMenuSeen Open(const std::function<void()>& how, TCell* cell = nullptr,
                 const std::function<void()>& whileOpen = nullptr) {
    return OpenMenu(how, [this, cell, whileOpen](QMenu*) {
      if (cell) *cell = {w->MouseCol, w->MouseRow, w->PopupCellText};
      if (whileOpen) whileOpen();
    });
  }
};

}  // namespace

TEST(ContextMenus, ResultGridMenuOpensAtThePointerOnTheClickedCell) {
  TWindow t;
  TfrmMain& w = *t.w;
  TXlsStringGrid* g = t.g;
  g->SetCurrentCell(0, 1);
  // Outside the selection: the clicked cell becomes current and the menu is for it.
  TWindow::TCell cell;
  TMenuSeen seen = t.Open([&] { RightClick(g->viewport(), t.CellCentre(1, 3)); }, &cell);
  ASSERT_EQ(seen.Menu, w.mnTekiyouGrid);
  EXPECT_EQ(seen.Pos, g->viewport()->mapToGlobal(t.CellCentre(1, 3)));
  EXPECT_EQ(cell.Col, 1);
  EXPECT_EQ(cell.Row, 3);
  EXPECT_EQ(cell.Text, "マンゼブ水和剤");
  EXPECT_EQ(g->Row(), 3);
  EXPECT_EQ(g->Col(), 1);
  // Inside a selection of several cells: the selection stays.
  g->selectionModel()->select(QItemSelection(g->model()->index(0, 1), g->model()->index(1, 2)),
                              QItemSelectionModel::ClearAndSelect);
  seen = t.Open([&] { RightClick(g->viewport(), t.CellCentre(2, 2)); }, &cell);
  ASSERT_EQ(seen.Menu, w.mnTekiyouGrid);
  EXPECT_EQ(cell.Text, "なす");
  EXPECT_EQ(g->selectionModel()->selectedIndexes().size(), 4);

  // The menu key: on the current cell, over its middle.
  g->SetCurrentCell(2, 4);
  seen = t.Open([&] { QTest::keyClick(g, Qt::Key_Menu); }, &cell);
  ASSERT_EQ(seen.Menu, w.mnTekiyouGrid);
  EXPECT_EQ(seen.Pos, g->viewport()->mapToGlobal(t.CellCentre(2, 4)));
  EXPECT_EQ(cell.Col, 2);
  EXPECT_EQ(cell.Row, 4);
  EXPECT_EQ(cell.Text, "ミニトマト");

  // A fixed column of a grid scrolled sideways: the fixed cell, not the one beneath it.
  for (int c = 1; c < g->ColCount(); ++c) g->SetColWidths(c, 500);
  w.pmnFixedClm->trigger();
  ASSERT_EQ(g->FixedCols(), 1);
  g->horizontalScrollBar()->setValue(g->horizontalScrollBar()->maximum());
  QApplication::processEvents();
  QTableView* fixed = nullptr;
  for (QTableView* v : g->findChildren<QTableView*>())
    if (v != g) fixed = v;
  ASSERT_NE(fixed, nullptr);
  const QPoint onFixed = fixed->visualRect(g->model()->index(1, 0)).center();
  seen = t.Open([&] { RightClick(fixed->viewport(), onFixed); }, &cell);
  ASSERT_EQ(seen.Menu, w.mnTekiyouGrid);
  EXPECT_EQ(seen.Pos, fixed->viewport()->mapToGlobal(onFixed));
  EXPECT_EQ(cell.Col, 0);
  EXPECT_EQ(cell.Text, "9");
  // Its title: the column fixing and removal items of the title row.
  QHeaderView* titles = fixed->horizontalHeader();
  const QPoint onTitle(titles->sectionViewportPosition(0) + 10, titles->height() / 2);
  bool columnItems = false;
  seen = t.Open([&] { RightClick(titles->viewport(), onTitle); }, &cell,
                [&] { columnItems = w.pmnRemoveClm->isVisible() && !w.pmnRemoveRow->isVisible(); });
  ASSERT_EQ(seen.Menu, w.mnTekiyouGrid);
  EXPECT_EQ(cell.Col, 0);
  EXPECT_EQ(cell.Row, 0);
  EXPECT_TRUE(columnItems);
  // The product summary of the chemical tab has no menu.
  TXlsStringGrid* summary = w.gdSeizai;
  summary->Fill({"", ""}, {{"種類名", "殺虫剤"}});
  summary->show();
  seen = OpenMenu([&] { RightClick(summary->viewport(), QPoint(5, 5)); }, nullptr, 300);
  EXPECT_EQ(seen.Menu, nullptr);
}

TEST(ContextMenus, CtrlXAndCtrlCWorkAgainAfterTheMenuOnATitleOrAnEmptyPart) {
  TWindow t;
  TfrmMain& w = *t.w;
  TXlsStringGrid* g = t.g;
  auto selectTwo = [g] {
    g->selectionModel()->select(QItemSelection(g->model()->index(1, 1), g->model()->index(1, 2)),
                                QItemSelectionModel::ClearAndSelect);
    return QString::fromStdString(g->Cells(1, 2) + "\t" + g->Cells(2, 2) + "\r\n");
  };
  QHeaderView* h = g->horizontalHeader();
  const QPoint title(h->sectionViewportPosition(2) + h->sectionSize(2) / 2, h->height() / 2);
  const QPoint empty(10, g->visualRect(g->model()->index(3, 0)).bottom() + 10);
  bool copyOff = false, removalHidden = false;
  auto watch = [&] {
    copyOff = !w.actGridCopy->isEnabled();
    removalHidden = !w.pmnRemoveRow->isVisible();
  };
  for (QWidget* where : {h->viewport(), g->viewport()}) {
    const QPoint at = where == h->viewport() ? title : empty;
    TWindow::TCell cell;
    TMenuSeen seen = t.Open([&] { RightClick(where, at); }, &cell, watch);
    ASSERT_EQ(seen.Menu, w.mnTekiyouGrid);
    EXPECT_EQ(seen.Pos, where->mapToGlobal(at));
    EXPECT_EQ(cell.Row, where == h->viewport() ? 0 : -1);
    EXPECT_TRUE(copyOff);
    EXPECT_TRUE(removalHidden);
    // Ctrl+C copies the selection, Ctrl+X removes the current row.
    QApplication::clipboard()->clear();
    const QString two = selectTwo();
    QTest::keyClick(g, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(), two);
    const int rows = g->RowCount();
    g->SetCurrentCell(0, 1);
    QTest::keyClick(g, Qt::Key_X, Qt::ControlModifier);
    EXPECT_EQ(g->RowCount(), rows - 1);
  }
}

TEST(ContextMenus, LogPaneMenuOpensAtThePointer) {
  TWindow t;
  TfrmMain& w = *t.w;
  if (!w.mnLogPaneOn->isChecked()) w.mnLogPaneOn->trigger();
  Pump();
  w.WriteLog(QStringLiteral("一行目"));
  ASSERT_TRUE(w.mLog->isVisible());
  ASSERT_GT(w.mLog->frameWidth(), 0);
  const QPoint at(20, 5);
  TMenuSeen seen = OpenMenu([&] { RightClick(w.mLog->viewport(), at); });
  ASSERT_EQ(seen.Menu, w.pmnLog);
  EXPECT_EQ(seen.Pos, w.mLog->viewport()->mapToGlobal(at));
}
