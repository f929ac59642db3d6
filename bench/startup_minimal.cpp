// The start-up benchmark's baselines, built from this one file:
//   startup_minimal      a truly minimal Qt Widgets window: a main window with a menu bar and an
//                        empty table view, nothing read (the baseline of the window and ready
//                        figures);
//   startup_minimal_web  the same, merely linked with Qt WebEngine Widgets (QM_MINIMAL_WEB), to
//                        show what linking the web engine alone costs;
//   startup_minimal_db   the minimal window that first opens acis.db and fills the first query
//                        the main window shows (the registration-number list) into its table
//                        (QM_MINIMAL_DB): a baseline that does the database work before it shows.
// Each reports as the program's own probe does (QUILLMAR_STARTUP_PROBE, lines "window" and
// "ready", both when the window is first painted) and closes.
#include <time.h>

#include <QApplication>
#include <QMainWindow>
#include <QMenuBar>
#include <QStandardItemModel>
#include <QTableView>
#include <QTimer>
#include <QWindow>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "app/startup_probe_line.h"
#ifdef QM_MINIMAL_WEB
#include <QWebEngineView>
#endif
#ifdef QM_MINIMAL_DB
#include <sqlite3.h>
#endif

namespace {

void Write(const char* file, const char* what) { startup_probe::WriteLine(file, what); }

class TProbe : public QObject {
 public:
  TProbe(QWidget* w, const char* file) : w_(w), file_(file) { qApp->installEventFilter(this); }
  bool eventFilter(QObject* o, QEvent* e) override {
    if (!seen_ && e->type() == QEvent::Expose && o == w_->windowHandle() && w_->windowHandle()->isExposed()) {
      seen_ = true;
      QTimer::singleShot(0, this, [this] {
        Write(file_, "window");
        Write(file_, "ready");
        w_->close();
      });
    }
    return false;
  }

 private:
  QWidget* w_;
  const char* file_;
  bool seen_ = false;
};

#ifdef QM_MINIMAL_DB
// The registration-number list of DbDir/acis.db into Model; false when the file cannot be opened.
bool FillFirstQuery(const char* dbDir, QStandardItemModel& model) {
  sqlite3* db = nullptr;
  const std::string path = std::string(dbDir) + "/acis.db";
  if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
    std::fprintf(stderr, "cannot open %s\n", path.c_str());
    sqlite3_close(db);
    return false;
  }
  sqlite3_stmt* st = nullptr;
  if (sqlite3_prepare_v2(db, "SELECT bango,meisho FROM m_kihon ORDER BY bango", -1, &st, nullptr) == SQLITE_OK) {
    while (sqlite3_step(st) == SQLITE_ROW) {
      QList<QStandardItem*> row;
      for (int c = 0; c < 2; ++c)
        row << new QStandardItem(QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, c))));
      model.appendRow(row);
    }
  }
  sqlite3_finalize(st);
  sqlite3_close(db);
  return true;
}
#endif

}  // namespace

int main(int argc, char** argv) {
#ifdef QM_MINIMAL_WEB
  // Only linked: the address keeps the library among the program's dependencies.
  if (argc > 99) std::printf("%p\n", static_cast<const void*>(&QWebEngineView::staticMetaObject));
#endif
  QApplication app(argc, argv);
  QStandardItemModel model(0, 2);
  model.setHorizontalHeaderLabels({"bango", "meisho"});
#ifdef QM_MINIMAL_DB
  if (!FillFirstQuery(argc > 1 ? argv[1] : ".", model)) return 1;
#endif
  QMainWindow window;
  QMenu* file = window.menuBar()->addMenu("ファイル(&F)");
  file->addAction("終了(&X)", &window, &QMainWindow::close);
  auto* view = new QTableView(&window);
  view->setModel(&model);
  window.setCentralWidget(view);
  window.resize(1000, 700);
  TProbe* probe = nullptr;
  if (const char* f = std::getenv("QUILLMAR_STARTUP_PROBE"); f && *f) probe = new TProbe(&window, f);
  window.show();
  const int rc = app.exec();
  delete probe;
  return rc;
}
