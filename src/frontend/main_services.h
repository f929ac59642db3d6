#pragma once
// What the main window's start-up and update command hand over to the data-update side: the
// unattended runs, the start-up data check and the update window. The update subsystem
// installs its own implementation with SetMainWindowServices(); until then the default one
// opens an existing acis.db and otherwise leaves the program without database.
#include <memory>

class TfrmMain;

// Database states of the start-up check.
enum TDatabaseState : int {
  dsNoInfoTable = 0,   // acis.db opened, no table info
  dsServerNewer = 1,   // the server offers newer data
  dsOldVersion = 2,    // built by an older program version
  dsCurrent = 3,       // nothing to do
  dsInvalid = 4,       // info exists but basic tables are missing
  dsNoDatabase = 5,    // acis.db does not exist
  dsPrebuilt = 6,      // prebuilt-database source: nothing opened yet
};

class TMainWindowServices {
 public:
  virtual ~TMainWindowServices() = default;
  // "/u": the hidden automatic update; returns the process exit code.
  virtual int RunAutoUpdate(TfrmMain& Main);
  // "/r": the hidden download check; returns the process exit code.
  virtual int RunAutoDownloadCheck(TfrmMain& Main);
  // Start-up with UseLAN and a prebuilt-database source.
  virtual void CheckSharedFolderUpdate(TfrmMain& Main);
  // The state of the local data (TDatabaseState); may create AcisDB.
  virtual int CheckDatabaseState(TfrmMain& Main);
  // Acts on the state (first-run dialogs, update offers); may create AcisDB.
  virtual void GUIStart(TfrmMain& Main, int State);
  // The interactive start-up: the state, then GUIStart with it.
  virtual void StartUpCheck(TfrmMain& Main);
  // The data update window; true when the database was updated.
  virtual bool ShowUpdateDialog(TfrmMain& Main, bool AutoStart, bool IgnoreCopyFailure);
};

// The services in force (never null: the default until one is installed).
TMainWindowServices& MainWindowServices();
// Installs services (owned); nullptr restores the default.
void SetMainWindowServices(std::unique_ptr<TMainWindowServices> Services);

// The tables every usable database has, tested in this order.
bool CheckDatabaseTables();
