#pragma once
// Run-wide state: the settings object and the flags set by the command line, the SQL console
// and the unattended runs. One GUI thread uses them.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "foundation/options.h"

// The settings object. Created with defaults (file not read) by InitGlobals(), which the
// program entry calls before anything else; freed by FinalizeGlobals().
extern TOptionData* OptionData;

extern bool CmdAutoUpdate;    // "/u": unattended data update
extern bool CmdAutoDownload;  // "/r": unattended download check
extern bool CmdOffline;       // "/f": offline for this run
extern bool CmdDirectSql;     // "/d": SQL console direct mode
extern int BatchExitCode;     // exit code of an unattended run (below)
extern bool DebugMode;        // trace lines to the log pane
extern bool StopRequested;    // the system asked the program to end (log-out, SIGTERM): long work stops
extern float ScaleFactor;     // screen pixels per inch / 96; 0 until the main window sets it

// Exit codes of the unattended runs ("/u", "/r").
inline constexpr int kExitDataCurrent = 0;    // database current: nothing was done
inline constexpr int kExitUpdated = 1;        // "/u": the update ran to its end
inline constexpr int kExitDownloaded = 2;     // "/r": the download step ran
inline constexpr int kExitAborted = 3;        // the update was aborted, or the run failed
inline constexpr int kExitAlreadyRunning = 4; // another copy runs: the unattended run did nothing

// Clears the flags and creates OptionData with its defaults (idempotent: an existing object
// is replaced). `appDir` empty: the program folder.
void InitGlobals(const std::string& appDir = {});
// Frees OptionData. Returns the process exit code: BatchExitCode after "/u" or "/r", else 0.
int FinalizeGlobals();

// Reads the parameters (without the program name); each is lower-cased and compared with
// "/u", "/r", "/f" and "/d", an exact match sets the flag. Flags are only ever set; other
// parameters are ignored.
void ParseCommandLine(const std::vector<std::string>& params);
// True when "/u" or "/r" is set.
bool IsUnattendedRun();

// Runs one unattended step and returns its exit code. An exception ends the step with
// kExitAborted (its text goes to the message sink's log), never with "data current".
int RunUnattendedGuarded(const std::function<int()>& step);
