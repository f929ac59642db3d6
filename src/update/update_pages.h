#pragma once
// The page copies of the update check in the download folder and the data date read from them.
//
// One function makes the data date text both for the database (the rebuild stores it as
// LastUpdate) and for the start-up check (which compares it with LastUpdate), so the two texts
// agree whenever the data are the same.
#include <string>
#include <vector>

// "update2.htm" (DownSite 0), "update.htm" (1), "update.txt" (2); empty for other sources.
std::string PageFileName(int downSite);

// The lines of a page copy as UTF-8 (UTF-8 with or without a byte-order mark, or CP932), each
// without its line break. False when the file cannot be read or is larger than the page
// bound (update_sources.h).
bool ReadPageLines(const std::string& fileName, std::vector<std::string>& lines);

// The data date text of a page copy: for the public service's pages (DownSite 0 and 1) the
// first line outside an HTML comment that holds "反映分", for the mirror's update.txt (2) its
// first line, each through DataDateText (data_date.h). "不明" when the file cannot be read or
// holds no such line.
std::string PageDateText(const std::string& fileName, int downSite);

// A date text that names a date ("不明", "更新日不明", "更新日付不明" and empty do not).
bool IsKnownDataDate(const std::string& text);
