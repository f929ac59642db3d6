#pragma once
// Putting a newly built acis.db and spec.db in place as one pair, so that a run killed at any
// moment leaves what the next run can finish; and the tidying of the database folder that the
// next run (a build, an install, the program's start) does first, under the folder's update
// lock (TDbUpdateLock), so that nothing of a run still at work is touched.
//
// The swap: both new files are complete and on disk under their build names
// (.qm-acis.db.build-<pid>, .qm-spec.db.build-<pid>); the old spec.db is kept under a second name
// (.qm-spec.db.prev-<pid>); the journal ".qm-swap-journal" names the build and the files of that
// swap by their identity (device, inode, size); then spec.db and acis.db are each replaced by
// one rename; then the kept copy and the journal go. A journal that the next run finds means
// the new pair was complete: what is not renamed yet is renamed then. A swap that fails in the
// running process is undone, and its journal says so before the undo begins, so that a kill
// during the undo is undone too.
//
// The next run acts only on the files the journal names: a journal that outlived its folder's
// state (a folder copied or restored mid-swap, a backup tool, a person tidying) leaves every
// file as it is, with a log line, and no run builds or installs there until a person has
// looked. Build files are put in place only when they are databases of their kind.
#include <functional>
#include <string>

// True when Path may be put in place as acis.db (Acis: a database with the registration tables
// m_kihon and m_tekiyo) or as spec.db (a database without them; an empty file is an empty one,
// as a build whose masters all came from acis.db leaves it).
bool IsDatabaseOfKind(const std::string& Path, bool Acis);

// Puts this process's DBDir/.qm-spec.db.build-<pid> and DBDir/.qm-acis.db.build-<pid> in place while
// no reader opens the database (waits for them, calling Pump meanwhile). Empty on success;
// otherwise why, and the folder is as it was.
std::string SwapBuiltPair(const std::string& DBDir, const std::function<void()>& Pump = {});

// Finishes (or undoes) a swap that a killed run left, under the exclusive swap lock as the
// swap itself (waiting for readers that are opening the files, calling Pump meanwhile when
// given), then removes the temporary files and kept copies of runs that no longer run, in
// DBDir (not below it), and puts back a kept copy whose file is gone. Call it holding the
// folder's TDbUpdateLock. Log gets a line for each thing done. Returns the number of things
// done, or -1 when an interrupted swap cannot be finished now or its journal does not match
// the folder (everything is then left as it is, and the caller must not build or install).
int RecoverDatabaseFolder(const std::string& DBDir, const std::function<void(const std::string&)>& Log = {},
                          const std::function<void()>& Pump = {});
