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
//
// The lock file is for every user who may write the folder (a root cron "/u" beside a user's
// window, two users of one shared folder): it is made writable for all of them whatever the
// creator's umask. A run that would replace files but cannot take the lock in a folder it may
// write is refused; only a folder that cannot be written at all goes on without it, since
// nothing can be replaced there.
#include <functional>
#include <string>

class TDbSwapLock {
 public:
  enum TMode { Shared, Exclusive };
  // Waits up to TimeoutMs for the lock, calling Pump (when set) about every 50 ms. Shared: a
  // reader whose lock file cannot be opened goes on (Held() is true): nobody can swap files
  // without it either. Exclusive: refused (Held() false, Why() says why) when the lock file
  // cannot be used in a folder that can be written.
  TDbSwapLock(const std::string& DBDir, TMode Mode, int TimeoutMs, const std::function<void()>& Pump = {});
  ~TDbSwapLock();
  TDbSwapLock(const TDbSwapLock&) = delete;
  TDbSwapLock& operator=(const TDbSwapLock&) = delete;

  bool Held() const { return held_; }
  // Empty while held; otherwise the reason, naming the folder or the lock file.
  const std::string& Why() const { return why_; }
  void Release();

 private:
  int fd_ = -1;
  bool held_ = false;
  bool noLocking_ = false;
  std::string why_;
};

// The lock of a run that writes into the database folder: a build from its first file to its
// swap, an install of a prebuilt database from unpacking to its rename. One run at a time
// holds it; a second run does not wait for it but is refused (kDbFolderInUse). While it is held
// the temporary files and kept copies in the folder belong to the holder alone, so only its
// holder may judge what other runs left there (a third byte of the same lock file).
class TDbUpdateLock {
 public:
  // Tries once. A folder that cannot be written is not locked (Held() is true): nothing can be
  // written there by anybody. In a folder that can be written a lock file that cannot be
  // opened for writing (another user's, or not a file) refuses the run like a second build.
  explicit TDbUpdateLock(const std::string& DBDir);
  ~TDbUpdateLock();
  TDbUpdateLock(const TDbUpdateLock&) = delete;
  TDbUpdateLock& operator=(const TDbUpdateLock&) = delete;

  bool Held() const { return held_; }
  // Empty while held; "<folder> のデータベースが別の更新で使用中です…" when another run holds
  // it, or a text naming the lock file when it cannot be used.
  const std::string& Why() const { return why_; }

 private:
  int fd_ = -1;
  bool held_ = false;
  std::string why_;
};

// What a run that finds the folder locked says (after the folder's name).
inline constexpr const char* kDbFolderInUse = " のデータベースが別の更新で使用中です。その更新が終わってからもう一度実行してください";

// The text a reader gets when the data are being replaced for longer than it waits.
inline constexpr const char* kDataBeingReplaced =
    "データを置き換え中です。しばらくしてからもう一度開いてください (the data are being replaced)";
