#pragma once
// Unpacks the downloaded archives with libarchive: ZIP, and LHA archives that arrive under
// ".zip" names (the format is recognised by content, never by the name). Member names are
// UTF-8, or CP932 as Japanese Windows tools write them, and come out as UTF-8 file names.
//
// Safety: everything is unpacked into a fresh hidden folder inside the target first and moved
// into place only when the whole archive read cleanly, so a truncated or damaged archive
// leaves the target as it was. Before anything is written, the sizes the archive declares
// must fit the free space of the target (with a reserve) and stay within a sane ratio to the
// archive's own size; while unpacking, no member may grow past its declared size and the
// whole past that ratio. Before anything is moved, every target is checked; a move that
// fails puts back what was moved before it. No member can write outside the target: names
// with ".." are refused, absolute names are taken relative to the target, links are never
// created, and no existing symbolic link in the target is followed.
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

// How far the members may expand: their declared and written sizes together stay within this
// many times the archive's size (or within kArchiveExpandFloor, whichever is larger).
inline constexpr std::int64_t kArchiveMaxRatio = 200;
inline constexpr std::int64_t kArchiveExpandFloor = std::int64_t(64) << 20;

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
  // Members the last Extract left out (links, devices): their names.
  const std::vector<std::string>& SkippedNames() const { return skipped_; }

  // Called about every 50 ms during a long extraction; setting Cancel stops it (nothing of the
  // archive is then written to the folder).
  std::function<void(bool& cancel)> OnPump;
  // Called with each file's name just before it is moved into place (tests use it to change
  // the folder under the move).
  std::function<void(const std::string& name)> BeforeMove;

 private:
  std::vector<std::string> names_;
  std::vector<std::string> skipped_;
};

// A member name as stored (raw bytes) to a UTF-8 name: kept when it is valid UTF-8, else read
// as CP932; backslashes become "/". Exposed for the tests.
std::string ArchiveNameToUtf8(const std::string& raw);

// A zip member name: UTF-8 when the member's UTF-8 flag is set; without it CP932, as Japanese
// Windows tools write names, even when the bytes happen to be valid UTF-8 as well, unless
// they are no CP932 or read as UTF-8 plainly Japanese text. Backslashes become "/".
std::string ZipNameToUtf8(const std::string& raw, bool utf8Flag);

// Moves the files Names (relative, "/"-separated) from the folder From to the same names below
// To, replacing what is there: every place is checked first; each file replaces the old one by
// one rename over it (same file system), so no name is ever without a file, even when the
// process is killed; the old one is kept under a second name (.qm-<name>.prev-<pid>) until all are
// moved. A move that fails puts back the files moved before it (and what they replaced) and
// removes the folders it made, so To is either wholly updated or as it was. BeforeMove (may be
// empty) is called with each name.
bool MoveFilesIntoPlace(const std::string& From, const std::string& To, const std::vector<std::string>& Names,
                        std::string& Error, const std::function<void(const std::string&)>& BeforeMove = {});

// The raw member names of a zip archive's central directory with their UTF-8 flag; empty when
// the file is no zip archive (or one this reader does not follow, such as zip64).
std::map<std::string, bool> ZipNameFlags(const std::string& archivePath);

// Splits a member name into safe path parts: "." and empty parts and a leading drive ("C:")
// are dropped; false when a ".." part would climb out of the folder.
bool SafeArchivePath(const std::string& name, std::vector<std::string>& parts);
