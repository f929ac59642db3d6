// The SQL console on the full-size sample register: "select * from m_tekiyo" (250,000 rows)
// typed into the editor and run by the search action (Ctrl+T), from the action to the grid
// shown and painted, with the resident memory it adds; beside the sqlite3 tool writing the
// same rows to /dev/null in the same run.
// Goal: at most 1.5 times the sqlite3 tool's time, and under 200 MB added.
//
// usage: bench_console [DBDIR]
// DBDIR holds acis.db and spec.db built from the full-size register; by default
// <build>/data-full-db, generated (tools/gen_sample) and built on first use.
#include <Qsci/qsciscintilla.h>
#include <malloc.h>

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QProcess>
#include <QTabWidget>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "bench_full_db.h"
#include "bench_stats.h"
#include "database/acis_db.h"
#include "foundation/global.h"
#include "foundation/message_sink.h"
#include "frontend/console/sql_console.h"
#include "frontend/frm_main.h"
#include "frontend/main_services.h"
#include "output/xls_string_grid.h"

namespace {

constexpr const char* kSql = "select * from m_tekiyo";

// Opens the prebuilt register as it stands (no master refresh, no network).
class TBenchServices : public TMainWindowServices {
 public:
  explicit TBenchServices(std::string dir) : dir_(std::move(dir)) {}
  int CheckDatabaseState(TfrmMain&) override { return dsCurrent; }
  void GUIStart(TfrmMain&, int) override { AcisDB = std::make_unique<TAcisDB>(dir_ + "/acis.db", FullDbSettings(dir_)); }

 private:
  std::string dir_;
};

void Settle() {
  for (int i = 0; i < 5; ++i) {
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication app(argc, argv);
  TLogMessageSink quiet([](const std::string&) {});
  TScopedMessageSink scoped(&quiet);
  const std::string dir = FullDbDir(argc, argv);
  if (!EnsureFullDb(dir)) return 1;

  // ---- baseline: the sqlite3 tool writes every row to /dev/null
  std::vector<double> cli;
  for (int i = 0; i < 3; ++i) {
    QProcess p;
    p.setStandardOutputFile(QProcess::nullDevice());
    const double t0 = Now();
    p.start("sqlite3", {QString::fromStdString(dir + "/acis.db"), kSql});
    if (!p.waitForFinished(120000) || p.exitCode() != 0) {
      std::printf("sqlite3 failed: %s\n", p.readAllStandardError().constData());
      return 1;
    }
    cli.push_back(Now() - t0);
  }

  // ---- the console in the main window
  QTemporaryDir app_dir;
  InitGlobals(app_dir.path().toStdString() + "/");
  SetMainWindowServices(std::make_unique<TBenchServices>(dir));
  auto w = std::make_unique<TfrmMain>();
  InstallSqlConsole(*w);
  w->resize(1200, 800);
  w->show();
  Settle();
  if (!AcisDB) {
    std::printf("the register did not open\n");
    return 1;
  }
  w->pgSearch->setCurrentWidget(w->tabSQL);
  w->SQLEditor->setText(kSql);
  Settle();

  std::vector<double> times, added;
  int rows = 0;
  for (int i = 0; i < 3; ++i) {
    malloc_trim(0);
    const double m0 = RssMb();
    const double t0 = Now();
    w->actSearchTekiyou->trigger();
    w->gdSQL->viewport()->repaint();
    Settle();
    times.push_back(Now() - t0);
    added.push_back(RssMb() - m0);
    rows = w->gdSQL->RowCount() - 1;
  }
  std::printf("select * from m_tekiyo: %d rows in the grid\n", rows);
  std::printf("  console, action to grid shown   %7.3f s  (best of 3; first run %.3f s)\n", Min(times), times[0]);
  std::printf("  memory added by the first run   %7.0f MB (later runs: %.0f, %.0f MB)\n", added[0], added[1], added[2]);
  std::printf("  baseline sqlite3 > /dev/null    %7.3f s  (best of 3)\n", Min(cli));
  const double ratio = Min(times) / Min(cli);
  std::printf("  goal: at most 1.5 x sqlite3 (now %.2f x) and under 200 MB: %s\n", ratio,
              ratio <= 1.5 && added[0] < 200 ? "met" : "NOT met");
  w.reset();
  AcisDB.reset();
  return 0;
}
