#pragma once
// Unpacks the downloaded archives with libarchive: ZIP, and LHA archives that arrive under
// ".zip" names (the format is recognised by content, never by the name). Member names are
// UTF-8, or CP932 as Japanese Windows tools write them, and come out as UTF-8 file names.
//
// Safety: everything is unpacked into a fresh hidden folder inside the target first and moved
// into place only when the whole archive read cleanly, so a truncated or damaged archive
// leaves the target as it was. No member can write outside the target: names with ".." are
// refused, absolute names are taken relative to the target, links are never created, and no
// existing symbolic link in the target is followed.
#include <functional>
#include <string>
#include <vector>

class TplArchiever7ZIP {
 public:
  TplArchiever7ZIP() = default;

  // The archiver is linked in, so it is always there (the Windows program loaded a library
  // and stayed inert without it).
  bool Loaded() const { return true; }

  // Extracts Archive into Folder with full paths, overwriting existing files without asking.
  // True on success. Message receives the output text: one line per extracted name, or the
  // reason of the failure.
  bool Extract(const std::string& archive, const std::string& folder, std::string& message);

  // "Ver. 3.06.2" style text of the archiver in use.
  std::string VersionText() const;

  // The names (relative to Folder, UTF-8, "/"-separated) of the files the last Extract wrote,
  // in archive order.
  const std::vector<std::string>& ExtractedNames() const { return names_; }

  // Called about every 50 ms during a long extraction; setting Cancel stops it (nothing of the
  // archive is then written to the folder).
  std::function<void(bool& cancel)> OnPump;

 private:
  std::vector<std::string> names_;
};

// A member name as stored (raw bytes) to a UTF-8 name: kept when it is valid UTF-8, else read
// as CP932; backslashes become "/". Exposed for the tests.
std::string ArchiveNameToUtf8(const std::string& raw);

// Splits a member name into safe path parts: "." and empty parts and a leading drive ("C:")
// are dropped; false when a ".." part would climb out of the folder.
bool SafeArchivePath(const std::string& name, std::vector<std::string>& parts);
