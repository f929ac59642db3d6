#include "app/app_start.h"

#include <QApplication>

#include "foundation/global.h"
#include "foundation/message_sink.h"
#include "frontend/data_update_services.h"
#include "frontend/frm_main.h"
#include "frontend/main_pages.h"
#include "database/master_refresh.h"
#include "update/acis_svr.h"
#include "output/default_style_sheets.h"
#include "output/temp_files.h"
#include "update/leftover_cleanup.h"

QMainWindow* CreateMainWindow() {
  // Master scripts are fetched through the update service's downloader (mirror or own site).
  static TSvrMasterDownloader masterDownloader;
  SetMasterDownloader(&masterDownloader);
  // The data update (start-up check, update window, "/u" and "/r"); before the window loads
  // the settings, so that a new user's data source follows the known mirror hosts.
  InstallDataUpdateServices();
  auto* w = new TfrmMain();
  // The window has loaded the settings: the folders are known. What a killed run left there
  // (build files, partial downloads, unpacking folders) goes before anything else runs.
  CleanupLeftoversAtStart([](const std::string& line) { MessageSink().Log(line); });
  // Pages that a crashed run left in its temporary folder.
  RemoveTempLeftovers();
  // A new program folder gets the result pages' style sheets (nothing to pick from otherwise).
  if (OptionData) EnsureDefaultStyleSheets(OptionData->CssDir);
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
  // Never used: the (hidden) main window runs "/u" and "/r" (MainWindowRunsUnattended).
  return kExitAborted;
}

bool MainWindowRunsUnattended() { return true; }
