// The start-up benchmark's baseline: a minimal Qt Widgets program that opens acis.db, runs the
// first query the main window shows (the registration-number list) into a QTableView and shows
// it.  It reports as the program's own probe does (QUILLMAR_STARTUP_PROBE, lines "window" and
// "ready") and closes.  Built twice: as it stands, and merely linked with Qt WebEngine Widgets
// (QM_MINIMAL_WEB), to show what linking the web engine alone costs.
#include <sqlite3.h>
#include <time.h>

#include <QApplication>
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

}  // namespace

int main(int argc, char** argv) {
#ifdef QM_MINIMAL_WEB
  // Only linked: the address keeps the library among the program's dependencies.
  if (argc > 99) std::printf("%p\n", static_cast<const void*>(&QWebEngineView::staticMetaObject));
#endif
  QApplication app(argc, argv);
  const char* dbDir = argc > 1 ? argv[1] : ".";
  QStandardItemModel model(0, 2);
  model.setHorizontalHeaderLabels({"bango", "meisho"});
  sqlite3* db = nullptr;
  const std::string path = std::string(dbDir) + "/acis.db";
  if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
    std::fprintf(stderr, "cannot open %s\n", path.c_str());
    return 1;
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
  QTableView view;
  view.setModel(&model);
  view.resize(1000, 700);
  TProbe* probe = nullptr;
  if (const char* file = std::getenv("QUILLMAR_STARTUP_PROBE"); file && *file) probe = new TProbe(&view, file);
  view.show();
  const int rc = app.exec();
  delete probe;
  return rc;
}
