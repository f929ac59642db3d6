#include "database/db_swap_journal.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "database/db_swap_lock.h"
#include "foundation/fault_point.h"
#include "foundation/stale_files.h"

namespace fs = std::filesystem;

namespace {

// How long a finished build waits for readers that are opening the old files.
constexpr int kSwapWaitMs = 10 * 60 * 1000;

constexpr const char* kJournalName = ".qm-swap-journal";

// The files of one swap.
struct TSwapFiles {
  TSwapFiles(const std::string& dir, const std::string& owner)
      : spec(dir + "/spec.db"),
        acis(dir + "/acis.db"),
        newSpec(spec + ".build-" + owner),
        newAcis(acis + ".build-" + owner),
        kept(spec + ".prev-" + owner),
        journal(dir + "/" + kJournalName) {}
  std::string spec, acis, newSpec, newAcis, kept, journal;
};

bool Exists(const std::string& path) {
  std::error_code ec;
  return fs::exists(fs::symlink_status(path, ec));
}

void Remove(const std::string& path) {
  std::error_code ec;
  fs::remove(path, ec);
}

void RemoveDbFiles(const std::string& path) {
  for (const char* suffix : {"", "-journal", "-wal", "-shm"}) Remove(path + suffix);
}

// A journal left beside a replaced database belongs to the old file: it must never be played
// back into the new one.
void RemoveSqliteJournals(const std::string& path) {
  for (const char* suffix : {"-journal", "-wal", "-shm"}) Remove(path + suffix);
}

void SyncDir(const std::string& dir) {
  int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  (void)::fsync(fd);
  ::close(fd);
}

bool Rename(const std::string& from, const std::string& to, std::string* why = nullptr) {
  if (::rename(from.c_str(), to.c_str()) == 0) return true;
  if (why) *why = std::strerror(errno);
  return false;
}

// The journal's one line: "swap <owner> forward|back spec|nospec". Written whole under a
// temporary name, on disk before it takes its place, and the folder on disk after.
bool WriteJournal(const std::string& dir, const TSwapFiles& f, const std::string& owner, bool back, bool hadSpec) {
  const std::string tmp = f.journal + ".build-" + OwnerTag();
  const std::string text =
      "swap " + owner + (back ? " back" : " forward") + (hadSpec ? " spec" : " nospec") + "\n";
  int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  bool ok = ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size()) && ::fsync(fd) == 0;
  ok = ::close(fd) == 0 && ok;
  if (!ok || !Rename(tmp, f.journal)) {
    Remove(tmp);
    return false;
  }
  SyncDir(dir);
  return true;
}

void RemoveJournal(const std::string& dir, const TSwapFiles& f) {
  SyncDir(dir);  // the renames before it are on disk first
  Remove(f.journal);
  SyncDir(dir);
}

// Puts the old spec.db back (or removes the new one when there was none) and drops the new
// files. The journal, already saying "back", goes last.
void RollBack(const std::string& dir, const TSwapFiles& f, bool hadSpec) {
  if (Exists(f.kept)) {
    Rename(f.kept, f.spec);
    Remove(f.kept);  // still there when it was the same file as spec.db (nothing was renamed)
  } else if (!hadSpec) {
    RemoveDbFiles(f.spec);
  }
  RemoveDbFiles(f.newAcis);
  RemoveDbFiles(f.newSpec);
  RemoveJournal(dir, f);
}

// Finishes a swap whose journal says the new pair is complete: renames what is not renamed
// yet. False when a rename fails (the journal stays for the next run).
bool RollForward(const std::string& dir, const TSwapFiles& f, std::string& why) {
  if (Exists(f.newSpec) && !Rename(f.newSpec, f.spec, &why)) return false;
  if (Exists(f.newAcis) && !Rename(f.newAcis, f.acis, &why)) return false;
  RemoveSqliteJournals(f.spec);
  RemoveSqliteJournals(f.acis);
  Remove(f.kept);
  RemoveJournal(dir, f);
  return true;
}

// 1 when a swap was finished or undone, 0 when there was none, -1 when it cannot be finished.
int RecoverInterruptedSwap(const std::string& dir, const std::function<void(const std::string&)>& log) {
  const std::string journal = dir + "/" + kJournalName;
  std::ifstream in(journal);
  if (!in) return 0;
  std::string word, owner, phase, spec;
  in >> word >> owner >> phase >> spec;
  in.close();
  bool digits = !owner.empty() && owner.size() <= 9;
  for (char c : owner) digits = digits && c >= '0' && c <= '9';
  if (word != "swap" || !digits || (phase != "forward" && phase != "back") || (spec != "spec" && spec != "nospec")) {
    // The journal is on disk whole before the first rename: one that says nothing clear was
    // never followed by a rename.
    Remove(journal);
    return 1;
  }
  const TSwapFiles f(dir, owner);
  const bool hadSpec = spec == "spec";
  // A new spec.db not yet in place without its acis.db is no pair to finish.
  if (phase == "forward" && !(Exists(f.newSpec) && !Exists(f.newAcis))) {
    std::string why;
    if (!RollForward(dir, f, why)) {
      if (log) log("前回中断したデータベースの置き換えを完了できません: " + why);
      return -1;
    }
    if (log) log("前回中断したデータベースの置き換えを完了しました (acis.db, spec.db)");
    return 1;
  }
  RollBack(dir, f, hadSpec);
  if (log) log("前回中断したデータベースの置き換えを元に戻しました (acis.db, spec.db)");
  return 1;
}

}  // namespace

std::string SwapBuiltPair(const std::string& DBDir, const std::function<void()>& Pump) {
  const std::string dir = DBDir.empty() ? "." : DBDir;
  const std::string owner = OwnerTag();
  const TSwapFiles f(dir, owner);
  TDbSwapLock lock(dir, TDbSwapLock::Exclusive, kSwapWaitMs, Pump);
  if (!lock.Held()) return lock.Why();
  Remove(f.kept);
  const bool hadSpec = Exists(f.spec);
  if (hadSpec && ::link(f.spec.c_str(), f.kept.c_str()) != 0)
    return "spec.db を退避できません: " + std::string(std::strerror(errno));
  if (!WriteJournal(dir, f, owner, false, hadSpec)) {
    Remove(f.kept);
    return "置き換えの記録を書き込めません: " + f.journal;
  }
  FaultPoint("swap-begun");
  std::string why;
  std::string failed;
  if (!Rename(f.newSpec, f.spec, &why)) {
    failed = "spec.db を置き換えられません: " + why;
  } else {
    FaultPoint("swap-half");
    if (!Rename(f.newAcis, f.acis, &why)) failed = "acis.db を置き換えられません: " + why;
  }
  if (!failed.empty()) {
    // The journal says "back" before anything is undone: a kill during the undo is undone too.
    WriteJournal(dir, f, owner, true, hadSpec);
    RollBack(dir, f, hadSpec);
    return failed;
  }
  FaultPoint("swap-done");
  RemoveSqliteJournals(f.spec);
  RemoveSqliteJournals(f.acis);
  Remove(f.kept);
  RemoveJournal(dir, f);
  return {};
}

int RecoverDatabaseFolder(const std::string& DBDir, const std::function<void(const std::string&)>& Log) {
  const std::string dir = DBDir.empty() ? "." : DBDir;
  const int swap = RecoverInterruptedSwap(dir, Log);
  if (swap < 0) return -1;
  return swap + RemoveStaleTempFilesIn({dir}, Log);
}
