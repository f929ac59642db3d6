#pragma once
// Copies, moves, deletions and renames of files and folders as the Windows shell does them
// (sources with wildcards, a destination folder or file name, one destination per source,
// confirmations, renaming on collision), on POSIX calls. Copies keep the source's times and
// are written under a temporary name first, so an interrupted copy never leaves a torn file
// under the real name. The shell's progress dialog becomes a callback.
#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <utility>
#include <stdexcept>
#include <string>
#include <vector>

enum class TwFunc { foMOVE = 1, foCOPY = 2, foDELETE = 3, foRENAME = 4 };

// Flag values of the option set, as the Windows shell numbers them.
inline constexpr unsigned FOF_MULTIDESTFILES = 0x01;
inline constexpr unsigned FOF_SILENT = 0x04;
inline constexpr unsigned FOF_RENAMEONCOLLISION = 0x08;
inline constexpr unsigned FOF_NOCONFIRMATION = 0x10;
inline constexpr unsigned FOF_ALLOWUNDO = 0x40;
inline constexpr unsigned FOF_FILESONLY = 0x80;
inline constexpr unsigned FOF_SIMPLEPROGRESS = 0x100;
inline constexpr unsigned FOF_NOCONFIRMMKDIR = 0x200;

// Results of Execute besides 0 (success), numbered like the shell's.
inline constexpr int SHF_ERROR_FILE_NOT_FOUND = 2;
inline constexpr int SHF_ERROR_ACCESS_DENIED = 5;
inline constexpr int SHF_ERROR_ALREADY_EXISTS = 0xB7;
inline constexpr int SHF_DE_SAMEFILE = 0x71;
inline constexpr int SHF_DE_OPCANCELLED = 0x75;
inline constexpr int SHF_DE_DESTSUBTREE = 0x76;
inline constexpr int SHF_DE_INVALIDFILES = 0x7C;
inline constexpr int SHF_DE_UNKNOWN = 0x402;
inline constexpr int SHF_ERRORONDEST = 0x10000;

class TfFlags {
 public:
  bool ALLOWUNDO = false;          // deletions go to the desktop's trash
  bool FILESONLY = false;          // wildcards match files only
  bool MUILIDESTFILES = false;     // ToFiles holds one destination per source
  bool NOCONFIRMATION = false;     // answer "yes" to every question
  bool NOCONFIRMMKDIR = false;     // create a missing destination folder without asking
  bool RENAMEONCOLLISION = false;  // give a copy a new name when the target exists
  bool SILENT = false;             // no progress display
  bool SIMPLEPROGRESS = false;     // progress without file names
  unsigned FlagWord() const;
};

// Missing sources or targets.
class EShfOperation : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Title, current name (empty with SIMPLEPROGRESS), bytes done and total, and Cancel. Called
// at the start, about every 50 ms while data move, and at the end, also with SILENT (then a
// window should only let itself repaint, showing nothing).
using TShfProgressEvent = std::function<void(const std::string& title, const std::string& name,
                                             std::uint64_t done, std::uint64_t total, bool& cancel)>;

class TShfOperation {
 public:
  std::vector<std::string> FromFFList;  // source paths; the last part may hold * and ?
  TwFunc OperationF = TwFunc::foMOVE;
  std::string ToFolder;                 // destination folder, or file name for one source
  std::vector<std::string> ToFiles;     // one destination per source (MUILIDESTFILES)
  TfFlags Options;
  std::string ProgressTitle;            // empty: a default title
  TShfProgressEvent OnProgress;

  // True when the user cancelled part of the last operation (or declined a question).
  bool fAbort() const { return aborted_; }

  // 0 on success, else one of the SHF_ codes. Throws EShfOperation without sources, or with
  // MUILIDESTFILES and no targets.
  int Execute();

 private:
  struct Item {
    std::string from;
    std::string to;  // full destination path (copy/move/rename)
  };
  int CopyOrMove(bool move);
  int Delete();
  int Rename();
  int CopyTree(const std::string& from, const std::string& to, bool move);
  int CopyOneFile(const std::string& from, const std::string& to);
  bool Progress(const std::string& name, bool force);
  std::string Title() const;

  bool aborted_ = false;
  std::vector<std::pair<dev_t, ino_t>> copying_;  // folders being copied, outermost first
  std::uint64_t done_ = 0;
  std::uint64_t total_ = 0;
  std::uint64_t lastTick_ = 0;
};
