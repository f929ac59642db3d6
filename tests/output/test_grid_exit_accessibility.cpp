// Ending the program after large result grids were read by a screen reader: with the
// accessibility bridge on, the grids' cells have accessible objects, and destroying the grids
// must not take time per cell read (it once spun for minutes at the end of the program).
// The case runs again on an X server, a D-Bus session and an accessibility bus of its own.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QVBoxLayout>
#include <QWidget>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "common/support_accessible_desktop.h"
#include "output/xls_string_grid.h"

namespace {

void FillGrid(TXlsStringGrid& g, int rows, int cols) {
  std::vector<std::string> titles;
  for (int c = 0; c < cols; ++c) titles.push_back("列" + std::to_string(c));
  std::vector<std::vector<std::string>> data(rows);
  for (int r = 0; r < rows; ++r)
    for (int c = 0; c < cols; ++c) data[r].push_back("値" + std::to_string(r * cols + c));
  g.Fill(titles, data);
}

// A screen reader that has walked through every cell of the grid.
int ReadEveryCell(TXlsStringGrid& g) {
  QAccessibleInterface* table = QAccessible::queryAccessibleInterface(&g);
  if (!table) return 0;
  const int n = table->childCount();
  int read = 0;
  for (int i = 0; i < n; ++i)
    if (QAccessibleInterface* cell = table->child(i)) read += !cell->text(QAccessible::Name).isNull();
  return read;
}

void EndAfterLargeGridsWereRead() {
  TAccessibilityBus bus;
  ASSERT_TRUE(bus.Active()) << "the accessibility bridge did not come up";
  auto window = std::make_unique<QWidget>();
  auto* layout = new QVBoxLayout(window.get());
  auto* wide = new TXlsStringGrid(window.get());
  auto* tall = new TXlsStringGrid(window.get());
  layout->addWidget(wide);
  layout->addWidget(tall);
  FillGrid(*wide, 2799, 27);
  FillGrid(*tall, 5000, 7);
  wide->SetFixedCols(1);  // a frozen column: a second view over the same cells
  window->resize(900, 700);
  window->show();
  QCoreApplication::processEvents();
  QElapsedTimer r;
  r.start();
  const int read = ReadEveryCell(*wide) + ReadEveryCell(*tall);
  std::printf("read %d cells in %lld ms\n", read, static_cast<long long>(r.elapsed()));
  std::fflush(stdout);
  EXPECT_GE(read, 2799 * 27 + 5000 * 7);

  QElapsedTimer t;
  t.start();
  window.reset();
  QCoreApplication::processEvents();
  std::printf("ended after %d cells were read in %lld ms\n", read, static_cast<long long>(t.elapsed()));
}

}  // namespace

// The bound is generous: the fault took minutes; an end in order takes well under a second.
TEST(GridExitAccessibility, LargeGridsReadByAScreenReaderEndWithinSeconds) {
  if (OnTheAccessibleDesktop()) return EndAfterLargeGridsWereRead();
  std::string out;
  RunOnAnAccessibleDesktop("GridExitAccessibility.*", &out, 120000);
  for (const char* figure : {"read ", "ended "})
    if (size_t at = out.find(figure); at != std::string::npos)
      std::printf("%s\n", out.substr(at, out.find('\n', at) - at).c_str());
}
