#include "app/startup_probe.h"

#include <time.h>

#include <QApplication>
#include <QMainWindow>
#include <QPointer>
#include <QTimer>
#include <QWindow>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "app/startup_probe_line.h"
#include "frontend/frm_main.h"

namespace {

class TStartupProbe : public QObject {
 public:
  TStartupProbe(QMainWindow* window, std::string file) : QObject(window), window_(window), file_(std::move(file)) {
    if (auto* m = qobject_cast<TfrmMain*>(window)) {
      auto previous = m->OnStartUpDone;
      m->OnStartUpDone = [this, previous] {
        if (previous) previous();
        startUpDone_ = true;
        Step();
      };
    } else {
      startUpDone_ = true;
    }
    qApp->installEventFilter(this);
  }

  bool eventFilter(QObject* watched, QEvent* event) override {
    if (!shown_ && event->type() == QEvent::Expose && window_ && watched == window_->windowHandle() &&
        window_->windowHandle()->isExposed()) {
      shown_ = true;
      // The expose paints the window before it returns: the line is written after that.
      QTimer::singleShot(0, this, [this] {
        Write("window");
        Step();
      });
    }
    return false;
  }

 private:
  void Step() {
    if (!shown_ || !startUpDone_ || done_ || !window_) return;
    done_ = true;
    QTimer::singleShot(0, this, [this] {
      Write("ready");
      if (window_) window_->close();
    });
  }

  void Write(const char* what) { startup_probe::WriteLine(file_.c_str(), what); }

  QPointer<QMainWindow> window_;
  std::string file_;
  bool shown_ = false, startUpDone_ = false, done_ = false;
};

}  // namespace

void InstallStartupProbe(QMainWindow* window) {
  const char* file = std::getenv("QUILLMAR_STARTUP_PROBE");
  if (!window || !file || !*file) return;
  new TStartupProbe(window, file);
}
