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

// The text a reader gets when the data are being replaced for longer than it waits.
inline constexpr const char* kDataBeingReplaced =
    "データを置き換え中です。しばらくしてからもう一度開いてください (the data are being replaced)";
