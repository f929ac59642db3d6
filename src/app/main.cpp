// Program entry: single-instance guard, run-wide state, main window, exit code.
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QApplication>
#include <QSocketNotifier>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "app/app_start.h"
#include "app/dialog_sink.h"
#include "app/startup_probe.h"
#include "foundation/global.h"
#include "foundation/message_sink.h"
#include "foundation/qt_texts.h"
#include "foundation/single_instance.h"

// Chromium inside Qt WebEngine frees some of its objects through a base with a smaller size;
// a sanitizer build would stop at that mismatch inside the library when a page closes.
extern "C" const char* __asan_default_options() { return "new_delete_type_mismatch=0"; }

namespace {

bool HasDisplay() {
  const char* x = std::getenv("DISPLAY");
  const char* w = std::getenv("WAYLAND_DISPLAY");
  return (x && *x) || (w && *w);
}

// SIGTERM and SIGINT (log-out, shut-down, Ctrl+C) close the windows the ordinary way, so
// the settings are saved; an unattended run that is stopped counts as aborted.
int g_signalPipe[2] = {-1, -1};
bool g_terminateRequested = false;

void OnTerminateSignal(int) {
  const char c = 1;
  ssize_t r = ::write(g_signalPipe[0], &c, 1);
  (void)r;
}

std::unique_ptr<QSocketNotifier> InstallTerminateHandler() {
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_signalPipe) != 0) return nullptr;
  auto notifier = std::make_unique<QSocketNotifier>(g_signalPipe[1], QSocketNotifier::Read);
  QObject::connect(notifier.get(), &QSocketNotifier::activated, [] {
    char buf[16];
    ssize_t r = ::read(g_signalPipe[1], buf, sizeof buf);
    (void)r;
    if (IsUnattendedRun()) BatchExitCode = kExitAborted;
    // A running update stops at its next check and counts as aborted.
    StopRequested = true;
    g_terminateRequested = true;
    QApplication::closeAllWindows();
    QApplication::quit();
  });
  struct sigaction sa {};
  sa.sa_handler = OnTerminateSignal;
  sigemptyset(&sa.sa_mask);
  sa.sa_flags = SA_RESTART;
  sigaction(SIGTERM, &sa, nullptr);
  sigaction(SIGINT, &sa, nullptr);
  return notifier;
}

int RunProgram(QApplication& app, TSingleInstance& guard) {
  if (IsUnattendedRun() && !MainWindowRunsUnattended()) {
    BatchExitCode = RunUnattendedGuarded(RunUnattendedWithoutWindow);
    return 0;
  }
  // Interactive on a real screen: messages become dialogs. Unattended runs, and platforms
  // nobody can see, keep the log sink.
  TDialogMessageSink dialogs;
  std::unique_ptr<TScopedMessageSink> scopedSink;
  const QString platform = QGuiApplication::platformName();
  if (!IsUnattendedRun() && platform != "offscreen" && platform != "minimal")
    scopedSink = std::make_unique<TScopedMessageSink>(&dialogs);
  std::unique_ptr<QMainWindow> window(CreateMainWindow());
  QMainWindow* w = window.get();
  guard.SetActivateHandler([w] { BringToFront(w); });
  // A second start is answered once there is a window to bring to the front (the settings
  // are loaded and the folders made by then).
  guard.Listen();
  if (!IsUnattendedRun()) {
    InstallStartupProbe(w);
    w->show();
  } else {
    StartUnattendedRun(w);
  }
  // A stop requested while the window was being made (say, during a start-up message)
  // happened before the event loop could end.
  if (g_terminateRequested) {
    w->close();
    return 0;
  }
  return app.exec();
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> params(argv + (argc > 0 ? 1 : 0), argv + argc);
  ParseCommandLine(params);
  const bool unattended = IsUnattendedRun();
  // Unattended runs start from schedulers without a desktop: no window is needed then.
  if (unattended && !HasDisplay() && !std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);

  QApplication::setOrganizationName("Quillmar");
  QApplication::setApplicationName("Quillmar");
  QApplication app(argc, argv);
  InstallQtJapaneseTexts(app);
  // No display name: the desktop would append it to every window title ("Quillmar - オフライン
  // — Quillmar"); the windows' captions are complete as they stand.

  // Another copy runs: bring it to the front and leave without touching the settings.
  TSingleInstance guard;
  if (!guard.TryAcquire()) {
    guard.ActivateOther();
    // An unattended run that could not run must not look like "data current".
    return unattended ? kExitAlreadyRunning : 0;
  }

  InitGlobals();
  ParseCommandLine(params);
  const std::unique_ptr<QSocketNotifier> terminateHandler = InstallTerminateHandler();

  int code = 0;
  try {
    code = RunProgram(app, guard);
  } catch (const std::exception& e) {
    if (IsUnattendedRun()) {
      MessageSink().Log(std::string("Quillmar: ") + e.what());
      BatchExitCode = kExitAborted;
    } else {
      ShowMessageBox(TMsgKind::Error, "Quillmar", e.what());
      code = 1;
    }
  }
  const int batch = FinalizeGlobals();
  return IsUnattendedRun() ? batch : code;
}
