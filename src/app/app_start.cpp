#include "app/app_start.h"

#include <QApplication>

#include "foundation/global.h"
#include "foundation/message_sink.h"
#include "frontend/frm_main.h"
#include "frontend/main_pages.h"
#include "database/master_refresh.h"
#include "update/acis_svr.h"
#include "update/leftover_cleanup.h"

QMainWindow* CreateMainWindow() {
  // Master scripts are fetched through the update service's downloader (mirror or own site).
  static TSvrMasterDownloader masterDownloader;
  SetMasterDownloader(&masterDownloader);
  auto* w = new TfrmMain();
  // The window has loaded the settings: the folders are known. What a killed run left there
  // (build files, partial downloads, unpacking folders) goes before anything else runs.
  CleanupLeftoversAtStart([](const std::string& line) { MessageSink().Log(line); });
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
