// The main window is painted on the screen before its deferred start-up opens the database and
// fills the lists (a moment on a large register): it does not stand empty meanwhile.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <QWindow>

#include "database/acis_db.h"
#include "frontend/frm_main.h"
#include "frontend/main_services.h"
#include "support_main_window.h"

namespace {

// Counts the paint events of one window's widgets.
class TPaintCounter : public QObject {
 public:
  explicit TPaintCounter(QWidget* window) : window_(window) { qApp->installEventFilter(this); }
  ~TPaintCounter() override { qApp->removeEventFilter(this); }
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Paint && watched->isWidgetType() && static_cast<QWidget*>(watched)->window() == window_)
      ++Paints;
    return false;
  }
  int Paints = 0;

 private:
  QWidget* window_;
};

// The default start-up check, noting how far the window was when it began.
class TNotingServices : public TMainWindowServices {
 public:
  TNotingServices(const TPaintCounter& Counter, bool& Exposed, int& Paints)
      : counter_(Counter), exposed_(Exposed), paints_(Paints) {}
  int CheckDatabaseState(TfrmMain& Main) override {
    exposed_ = Main.windowHandle() && Main.windowHandle()->isExposed();
    paints_ = counter_.Paints;
    return TMainWindowServices::CheckDatabaseState(Main);
  }

 private:
  const TPaintCounter& counter_;
  bool& exposed_;
  int& paints_;
};

}  // namespace

TEST(MainWindowFirstPaint, TheWindowIsPaintedBeforeTheDatabaseIsOpened) {
  TMainWindowFixture fx;
  ASSERT_TRUE(fx.BuildSampleDb());
  auto w = std::make_unique<TfrmMain>();
  TPaintCounter counter(w.get());
  bool exposed = false;
  int paintsBefore = -1;
  SetMainWindowServices(std::make_unique<TNotingServices>(counter, exposed, paintsBefore));
  w->show();
  ASSERT_TRUE(QTest::qWaitFor([&] { return w->StartUpRuns() > 0 && !w->IsStartUp; }, 30000));
  // The start-up went on as ever: the database is open.
  ASSERT_TRUE(AcisDB);
  EXPECT_TRUE(exposed);
  EXPECT_GT(paintsBefore, 0);
  w.reset();
  AcisDB.reset();
}
