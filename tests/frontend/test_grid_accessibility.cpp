// Sorting a big result grid while an accessibility bridge is on (a screen reader, or
// QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1): the cells a screen reader has visited keep their
// accessible objects, which show the sorted texts; nothing is torn down and rebuilt per row.
// The test runs itself again on an X server, a D-Bus session and an accessibility bus of its
// own, where the bridge comes up.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "frontend/frm_main.h"
#include "output/xls_string_grid.h"
#include "common/support_accessible_desktop.h"
#include "support_main_window.h"

namespace {

int g_events = 0;
QAccessible::UpdateHandler g_previous = nullptr;

void CountUpdates(QAccessibleEvent* e) {
  ++g_events;
  if (g_previous) g_previous(e);
}

// The part that runs on the accessible desktop.
void RunOnTheAccessibleDesktop() {
  TAccessibilityBus bus;
  ASSERT_TRUE(bus.Active()) << "the accessibility bridge did not come up";

  // The size and width of 野菜類 with its groups on the full-size register.
  const int rows = 77681, cols = 40;
  std::vector<std::string> titles = {"番号", "作物名", "病害虫名", "回数"};
  for (int c = 4; c < cols; ++c) titles.push_back("列" + std::to_string(c));
  std::vector<std::vector<std::string>> data(rows);
  for (int r = 0; r < rows; ++r) {
    data[r] = {std::to_string((r * 7919) % rows), "作物" + std::to_string(r % 97), "病害虫" + std::to_string(r % 31),
               std::to_string(r % 5)};
    for (int c = 4; c < cols; ++c) data[r].push_back("値" + std::to_string((r + c) % 13));
  }
  TMainWindowFixture fx;
  TfrmMain w;
  w.show();
  TXlsStringGrid& g = *w.gdTekiyo;
  g.Fill(titles, data);
  g.show();
  w.AdjustGridColumnWidths(&g);
  w.pgSearchChange();
  g.SetCurrentCell(1, 10);
  g.selectionModel()->select(QItemSelection(g.model()->index(5, 0), g.model()->index(20000, 3)),
                             QItemSelectionModel::ClearAndSelect);
  QCoreApplication::processEvents();

  // A screen reader has read the first rows: their cells have accessible objects.
  QAccessibleInterface* table = QAccessible::queryAccessibleInterface(&g);
  ASSERT_NE(table, nullptr);
  ASSERT_NE(table->tableInterface(), nullptr);
  const int visited = 20 * cols;
  std::vector<QAccessible::Id> before(visited);
  for (int i = 0; i < visited; ++i) before[i] = QAccessible::uniqueId(table->child(i));

  g_previous = QAccessible::installUpdateHandler(CountUpdates);
  QElapsedTimer sortTime;
  sortTime.start();
  w.SortByTitle(&g, 0);
  QCoreApplication::processEvents();
  const qint64 ms = sortTime.elapsed();
  QAccessible::installUpdateHandler(g_previous);
  std::printf("sorted %d rows in %lld ms with %d accessibility updates\n", rows, static_cast<long long>(ms), g_events);

  EXPECT_EQ(w.StatusText(2), "ｿｰﾄ:番号△");
  EXPECT_EQ(g.Cells(0, 1), "0");
  EXPECT_EQ(g.Cells(0, rows), std::to_string(rows - 1));
  // One update for the table, none per row or cell.
  EXPECT_LT(g_events, 10);
  // The visited cells keep their objects, which read the sorted texts.
  int kept = 0;
  for (int i = 0; i < visited; ++i) kept += QAccessible::uniqueId(table->child(i)) == before[i];
  EXPECT_EQ(kept, visited);
  QAccessibleInterface* first = table->tableInterface()->cellAt(0, 0);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first->text(QAccessible::Name), "0");
  // The selection and the current cell stay where they were, as in the string grid.
  EXPECT_EQ(g.Row(), 10);
  EXPECT_TRUE(g.selectionModel()->isSelected(g.model()->index(20000, 3)));
}

}  // namespace

TEST(GridAccessibility, SortingABigGridKeepsTheAccessibleCells) {
  if (OnTheAccessibleDesktop()) return RunOnTheAccessibleDesktop();
  RunOnAnAccessibleDesktop("GridAccessibility.*", nullptr, 180000);
}
