#pragma once
// What a killed run left behind, removed when the program starts: database build files,
// downloads cut short, unpacking and install folders and interrupted copies, in the database
// folder and the download folder (and the folders directly below the download folder, where
// archives are unpacked). Files of a process that still runs (another copy of the developer
// tool, say) are left alone.
#include <functional>
#include <string>

#include "foundation/options.h"

// Returns the number of files and folders removed; Log gets one line for each.
int CleanupLeftoversAtStart(const TOptionData& Options, const std::function<void(const std::string&)>& Log = {});
// The same with the settings of OptionData (nothing when there are none yet).
int CleanupLeftoversAtStart(const std::function<void(const std::string&)>& Log = {});
