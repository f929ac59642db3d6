#pragma once
// Temporary files and folders that carry the id of the process writing them, and their removal
// once that process is gone.
//
// Every long write of the program goes to a temporary name first (downloads, unpacking,
// installs, copies, database builds). A run that is killed leaves those behind; the next start
// (and the next build) removes the ones whose process no longer runs: a live run is told by
// its process id alone, never by the age of its files (a copy keeps its source's time, so a
// file just written may look old). A process id that has been given to a new process keeps
// the files until that one ends too. Every such name begins with ".qm-", so that nothing the
// user keeps in the same folder is ever taken for one:
//
//   .qm-<file>.build-<pid>[-journal|-wal|-shm]  a database being built (acis.db, spec.db)
//   .qm-<file>.prev-<pid>                       a file kept while a new one replaces it; when
//                                               the file itself is gone, the kept copy is put
//                                               back
//   .qm-<file>.part-<pid>-XXXXXX                a download
//   .qm-<file>.qmcopy-<pid>-XXXXXX              a file copy
//   .qm-unpack-<pid>-XXXXXX/                    an archive being unpacked
//   .qm-install-<pid>-XXXXXX/                   a prebuilt database being installed
//
// Names of the same kinds without a process id, and the names earlier versions wrote without
// ".qm-" ("acis.db.build-<pid>", "x.zip.part-<pid>-XXXXXX"), are left alone: a user's file
// may be named so, and nothing tells whether their run is still at work.
#include <functional>
#include <string>
#include <vector>

// The id this process writes into its temporary names.
std::string OwnerTag();

// The temporary name of Kind ("build", "prev", "part", "qmcopy") for the file Path, in Path's
// folder: "<folder>/.qm-<file>.<Kind>-<Owner>". A "part" or "qmcopy" name takes "-XXXXXX"
// after it (mkstemp).
std::string OwnTempPath(const std::string& Path, const std::string& Kind, const std::string& Owner = OwnerTag());

// True when process Pid runs (this process included).
bool OwnerAlive(long Pid);

// The process id written into a temporary name of one of the kinds above; 0 when the name is
// of such a kind without an id; -1 when it is of no such kind.
long TempNameOwner(const std::string& Name);

// Removes from Folder (not below it) the temporary files and folders of processes that no
// longer run, and puts back a kept copy whose file is gone. Log receives one line for each.
// Returns the number removed or put back.
int RemoveStaleTempFiles(const std::string& Folder, const std::function<void(const std::string&)>& Log = {});

// The same for each folder of the list (never below it: the folders below are the user's).
int RemoveStaleTempFilesIn(const std::vector<std::string>& Folders,
                           const std::function<void(const std::string&)>& Log = {});
