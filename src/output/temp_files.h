#pragma once
// Temporary files of the output windows: one private folder per process (mode 0700, below the
// system temporary folder), created on first use and removed with everything in it when the
// process ends (or, after a crash, by the next run).  Names in it are reserved at once (the file is created empty, exclusively), so
// two calls never hand out the same name and no other user can plant or read a page there.
#include <string>

// The private folder, ending in "/".  Re-created when something removed it.  Empty when no
// folder can be made (the caller's write then fails and is reported there).
std::string PrivateTempDir();

// A fresh file name (no folder) in the private folder with the extension `ext` (".html";
// a missing dot is added).  The empty file exists when the call returns.
std::string MakeTempFileName(const std::string& ext);
// The same name with the private folder in front.
std::string MakeTempFilePath(const std::string& ext);

// Removes a file made by MakeTempFilePath; false when it was there and could not be removed.
bool RemoveTempFile(const std::string& path);

// The private folders carry the process id ("quillmar-<pid>-XXXXXX"): the program's start
// removes the folders that runs which ended without tidying up (a crash, a kill) left behind,
// with the pages in them.  Folders of running processes stay.
void RemoveTempLeftovers();

