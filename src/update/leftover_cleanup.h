#pragma once
// What a killed run left behind, dealt with when the program starts: a swap of acis.db and
// spec.db cut short is finished (or undone), a kept copy whose file is gone is put back, and
// database build files, downloads cut short, unpacking and install folders and interrupted
// copies are removed, in the database folder and the download folder, where the program writes
// them: only names of the program's own (".qm-...", stale_files.h), never in a folder below
// (the download folder may be any folder of the user's). The database folder is only looked at
// while no other run updates it (its update lock); files of a process that still runs
// (another copy of the developer tool, say) are left alone everywhere.
#include <functional>
#include <string>

#include "foundation/options.h"

// Returns the number of things done; Log gets one line for each.
int CleanupLeftoversAtStart(const TOptionData& Options, const std::function<void(const std::string&)>& Log = {});
// The same with the settings of OptionData (nothing when there are none yet).
int CleanupLeftoversAtStart(const std::function<void(const std::string&)>& Log = {});
