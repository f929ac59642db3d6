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
#include "support_main_window.h"

namespace {

const int kTimeoutMs = 180000;
constexpr const char* kChild = "QM_GRID_A11Y_CHILD";

int g_events = 0;
QAccessible::UpdateHandler g_previous = nullptr;

void CountUpdates(QAccessibleEvent* e) {
  ++g_events;
  if (g_previous) g_previous(e);
}

// Starts a program and returns the first line it writes (its display number or bus address).
bool StartAndReadLine(QProcess& P, const QString& Program, const QStringList& Args, QByteArray& Line) {
  P.start(Program, Args);
  if (!P.waitForStarted(kTimeoutMs)) return false;
  QElapsedTimer t;
  t.start();
  while (!Line.contains('\n') && t.elapsed() < 30000) {
    P.waitForReadyRead(200);
    Line += P.readAllStandardOutput();
  }
  Line = Line.trimmed();
  return !Line.isEmpty();
}

void Stop(QProcess& P) {
  if (P.state() == QProcess::NotRunning) return;
  P.terminate();
  if (!P.waitForFinished(10000)) P.kill();
}

// The part that runs on the accessible desktop.
void RunOnTheAccessibleDesktop() {
  QProcess bus;
  bus.start("/usr/libexec/at-spi-bus-launcher", {"--launch-immediately"});
  ASSERT_TRUE(bus.waitForStarted(kTimeoutMs));
  QElapsedTimer t;
  t.start();
  while (!QAccessible::isActive() && t.elapsed() < 30000) QCoreApplication::processEvents(QEventLoop::AllEvents, 100);
  ASSERT_TRUE(QAccessible::isActive()) << "the accessibility bridge did not come up";

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
  Stop(bus);
}

}  // namespace

TEST(GridAccessibility, SortingABigGridKeepsTheAccessibleCells) {
  if (qEnvironmentVariableIsSet(kChild)) return RunOnTheAccessibleDesktop();

  for (const char* tool : {"Xvfb", "dbus-daemon"})
    if (QStandardPaths::findExecutable(tool).isEmpty()) GTEST_SKIP() << tool << " is not installed";
  if (!QFile::exists("/usr/libexec/at-spi-bus-launcher")) GTEST_SKIP() << "at-spi2-core is not installed";
  QProcess x, dbus;
  QByteArray display, address;
  ASSERT_TRUE(StartAndReadLine(x, "Xvfb", {"-displayfd", "1", "-nolisten", "tcp", "-screen", "0", "1280x800x24"}, display));
  ASSERT_TRUE(StartAndReadLine(dbus, "dbus-daemon", {"--session", "--nofork", "--print-address=1"}, address));

  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert(kChild, "1");
  env.insert("DISPLAY", ":" + QString::fromLatin1(display));
  env.insert("QT_QPA_PLATFORM", "xcb");
  env.insert("DBUS_SESSION_BUS_ADDRESS", QString::fromLatin1(address));
  env.insert("QT_LINUX_ACCESSIBILITY_ALWAYS_ON", "1");
  QProcess child;
  child.setProcessEnvironment(env);
  child.setProcessChannelMode(QProcess::MergedChannels);
  child.start(QCoreApplication::applicationFilePath(), {"--gtest_filter=GridAccessibility.*"});
  const bool finished = child.waitForFinished(kTimeoutMs);
  if (!finished) child.kill();
  child.waitForFinished(10000);
  const std::string out = child.readAll().toStdString();
  Stop(dbus);
  Stop(x);
  ASSERT_TRUE(finished) << "the sort did not finish in time\n" << out;
  EXPECT_EQ(child.exitCode(), 0) << out;
  EXPECT_NE(out.find("[  PASSED  ] 1 test"), std::string::npos) << out;
}
