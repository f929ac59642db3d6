#include "app/app_start.h"

#include <QApplication>

#include "foundation/global.h"
#include "foundation/message_sink.h"
#include "frontend/frm_main.h"
#include "frontend/main_pages.h"

QMainWindow* CreateMainWindow() {
  auto* w = new TfrmMain();
  InstallSearchPages(*w);
  // An unattended run ends the program when the window has closed after it.
  w->OnUnattendedDone = [] { QCoreApplication::quit(); };
  return w;
}

void StartUnattendedRun(QMainWindow* window) {
  // The window stays hidden: its deferred start-up runs the update or the check at once.
  if (auto* m = qobject_cast<TfrmMain*>(window))
    QMetaObject::invokeMethod(m, &TfrmMain::WMShowWaitEvent, Qt::QueuedConnection);
}

void BringToFront(QMainWindow* window) {
  if (!window) return;
  if (window->isMinimized()) window->showNormal();
  window->show();
  window->raise();
  window->activateWindow();
  MessageSink().Log("Quillmar: activated by a second start");
}

int RunUnattendedWithoutWindow() {
  // Only used when no main window can run it.
  return kExitDataCurrent;
}

bool MainWindowRunsUnattended() { return true; }
