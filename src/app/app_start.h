#pragma once
// The pieces of program start-up that the entry point strings together.
#include <QMainWindow>

class TSingleInstance;

// Creates the program's main window (the caller shows it and runs the event loop). It loads
// the settings when it is created and saves them when it closes.
QMainWindow* CreateMainWindow();

// Starts "/u" or "/r" in the (hidden) main window; it closes and ends the event loop after it.
void StartUnattendedRun(QMainWindow* window);

// Brings a window to the front (a second start of the program asked for it).
void BringToFront(QMainWindow* window);

// The unattended run ("/u" or "/r") when no main window runs it: returns its exit code.
// Without an update engine nothing is done, which is the "data current" result.
int RunUnattendedWithoutWindow();

// True when the main window carries out "/u" and "/r" itself (it then closes after the run,
// and BatchExitCode holds the result).
bool MainWindowRunsUnattended();
