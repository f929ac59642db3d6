#pragma once
// Shared by the main-window tests: a program folder of its own for each test, the sample
// register built into its database folder, and a main window that is shown and torn down
// the way the program does it.
#include <QTemporaryDir>
#include <memory>
#include <string>

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

// Lets queued calls and events run for a while.
void Pump(int ms = 50);
