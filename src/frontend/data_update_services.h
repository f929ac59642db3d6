#pragma once
// The main window's side of the data update: the start-up data check, the server update
// check, the first-run dialogs, the update window and the unattended runs ("/u", "/r"). They
// work on the main window's log pane and status bar, AcisDB and OptionData.
#include <string>
#include <vector>

#include "frontend/main_services.h"

class TUpdateRunner;

class TDataUpdateServices : public TMainWindowServices {
 public:
  int RunAutoUpdate(TfrmMain& Main) override;
  int RunAutoDownloadCheck(TfrmMain& Main) override;
  void CheckSharedFolderUpdate(TfrmMain& Main) override;
  int CheckDatabaseState(TfrmMain& Main) override;
  void GUIStart(TfrmMain& Main, int State) override;
  // The check and the update window it opens are one run: the page and archives the check just
  // fetched (and the master scripts opening the database asked for) serve that window's steps
  // without asking again. The run ends when the window closes; an update opened later (Ctrl+Y)
  // asks the server afresh.
  void StartUpCheck(TfrmMain& Main) override;
  bool ShowUpdateDialog(TfrmMain& Main, bool AutoStart, bool IgnoreCopyFailure) override;

  // True when the data source offers data newer than AcisDB's (DownSite 0 to 2); the date read
  // from the page goes to Main.ServerUpdateDate.
  bool CheckServerUpdate(TfrmMain& Main);
  // Why the last CheckServerUpdate could not ask the source (offline, no connection, an error
  // status, a page refused as too large or too slow, no room in the download folder, no
  // shared page); empty when the source answered. CheckLog holds that check's log lines.
  std::string CheckFailure;
  std::vector<std::string> CheckLog;
  // The data date text of a page copy of the current data source ("不明" without one).
  static void ParseUpdatePageDate(const std::string& FileName, std::string& DateText);

 private:
  // The one-step rebuild window of the program-updated prompt.
  void RunOneStopWindow(TfrmMain& Main, bool OldDb);
  // The prebuilt-database update of state 6 (mirror, own site, own folder).
  void PrebuiltStart(TfrmMain& Main);
};

// Installs the services above and the rule for a new user's data source.
void InstallDataUpdateServices();

// Opens acis.db of the database folder as AcisDB with the main window's log; false (AcisDB
// left as it was, the reason logged) when there is no such file or it cannot be opened.
bool OpenAcisDBFor(TfrmMain& Main);
