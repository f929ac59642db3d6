#pragma once
// The lock that keeps a reader from pairing an old acis.db with a new spec.db (or the other
// way round) while a build or an install puts new files in place.
//
// Opening the database object (acis.db with spec.db and jpp.db attached, and the master-script
// refresh that may follow) holds the lock shared; putting new database files in place holds it
// exclusive for the few renames. A connection keeps the files it opened, so once opened a
// reader goes on reading the pair it found; a reader that comes while files are being
// replaced waits for the renames to end, and a swap that waits holds new readers back. The
// lock is an advisory lock on the file ".qm-swap.lock" in the database folder.
#include <functional>
#include <string>

class TDbSwapLock {
 public:
  enum TMode { Shared, Exclusive };
  // Waits up to TimeoutMs for the lock, calling Pump (when set) about every 50 ms. A folder
  // where the lock file cannot be made (read-only) is not locked: Held() is true then, since
  // nobody can replace files there either.
  TDbSwapLock(const std::string& DBDir, TMode Mode, int TimeoutMs, const std::function<void()>& Pump = {});
  ~TDbSwapLock();
  TDbSwapLock(const TDbSwapLock&) = delete;
  TDbSwapLock& operator=(const TDbSwapLock&) = delete;

  bool Held() const { return held_; }
  void Release();

 private:
  int fd_ = -1;
  bool held_ = false;
  bool noLocking_ = false;
};

// The lock of a run that writes into the database folder: a build from its first file to its
// swap, an install of a prebuilt database from unpacking to its rename. One run at a time
// holds it; a second run does not wait for it but is refused (kDbFolderInUse). While it is held
// the temporary files and kept copies in the folder belong to the holder alone, so only its
// holder may judge what other runs left there (a third byte of the same lock file).
class TDbUpdateLock {
 public:
  // Tries once. A folder where the lock file cannot be made is not locked (Held() is true):
  // nothing can be written there by anybody.
  explicit TDbUpdateLock(const std::string& DBDir);
  ~TDbUpdateLock();
  TDbUpdateLock(const TDbUpdateLock&) = delete;
  TDbUpdateLock& operator=(const TDbUpdateLock&) = delete;

  bool Held() const { return held_; }

 private:
  int fd_ = -1;
  bool held_ = false;
};

// What a run that finds the folder locked says (after the folder's name).
inline constexpr const char* kDbFolderInUse = " のデータベースが別の更新で使用中です。その更新が終わってからもう一度実行してください";

// The text a reader gets when the data are being replaced for longer than it waits.
inline constexpr const char* kDataBeingReplaced =
    "データを置き換え中です。しばらくしてからもう一度開いてください (the data are being replaced)";
