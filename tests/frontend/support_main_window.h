#pragma once
// Shared by the main-window tests: a program folder of its own for each test, the sample
// register built into its database folder, and a main window that is shown and torn down
// the way the program does it.
#include <QTemporaryDir>
#include <memory>
#include <string>

#include "frontend/main_services.h"

class TfrmMain;

struct TMainWindowFixture {
  QTemporaryDir Dir;
  std::string AppDir;
  TMainWindowFixture();
  ~TMainWindowFixture();
  std::string DBDir() const;
  // Builds the sample register (mirror CSV files and master scripts of data/sample) into the
  // database folder; true on success.
  bool BuildSampleDb();
  // Writes quillmar.ini with the given text before the window is made.
  void WriteIni(const std::string& text);
  std::string ReadIni() const;
};

// The data update of the tests, in the place of the update window (Ctrl+Y, データ更新): counts
// its runs in *Runs when given and, unless it only counts, opens acis.db of the database folder
// as the window does after a successful update; BuildsAndOpens builds the sample register
// there first (Fx is then required).
class TStandInUpdate : public TMainWindowServices {
 public:
  enum TKind { Counts, Opens, BuildsAndOpens };
  explicit TStandInUpdate(TKind Kind, int* Runs = nullptr, TMainWindowFixture* Fx = nullptr)
      : kind_(Kind), runs_(Runs), fx_(Fx) {}
  bool ShowUpdateDialog(TfrmMain& Main, bool Startup, bool Rebuild) override;

 private:
  TKind kind_;
  int* runs_;
  TMainWindowFixture* fx_;
};

// Lets queued calls and events run for a while.
void Pump(int ms = 50);
