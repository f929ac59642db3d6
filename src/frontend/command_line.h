#pragma once
// The command line of the running program: "/u" unattended update, "/r" unattended download
// check, "/f" offline for this run, "/d" SQL console direct mode.
#include <string>
#include <vector>

#include "foundation/global.h"

// Reads every parameter of the running program (QCoreApplication::arguments() without the
// program name) and sets CmdAutoUpdate, CmdAutoDownload, CmdOffline and CmdDirectSql for the
// switches among them (compared in lower case, wherever they stand; flags are only set).
void ParseCommandLine();
