#include "database/db_swap_journal.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "database/db_swap_lock.h"
#include "foundation/fault_point.h"
#include "foundation/stale_files.h"

namespace fs = std::filesystem;

namespace {

// How long a finished build waits for readers that are opening the old files.
constexpr int kSwapWaitMs = 10 * 60 * 1000;
// How long the tidy of a run without a message pump waits for them.
constexpr int kRecoverWaitMs = 30 * 1000;

constexpr const char* kJournalName = ".qm-swap-journal";

// The files of one swap. The previous version named its build files and kept copy
// "spec.db.build-<pid>", "spec.db.prev-<pid>" (without ".qm-"): its journal speaks of those.
struct TSwapFiles {
  TSwapFiles(const std::string& dir, const std::string& owner, bool previousNames = false)
      : spec(dir + "/spec.db"),
        acis(dir + "/acis.db"),
        newSpec(TempName(spec, "build", owner, previousNames)),
        newAcis(TempName(acis, "build", owner, previousNames)),
        kept(TempName(spec, "prev", owner, previousNames)),
        journal(dir + "/" + kJournalName) {}
  std::string spec, acis, newSpec, newAcis, kept, journal;

 private:
  static std::string TempName(const std::string& file, const char* kind, const std::string& owner, bool previous) {
    return previous ? file + "." + kind + "-" + owner : OwnTempPath(file, kind, owner);
  }
};

// What tells one file from another in the folder: the same file keeps its device and inode
// through a rename; a copied or restored folder has other ones. The size tells a reused inode.
struct TFileId {
  bool ok = false;  // a regular file is there
  uint64_t dev = 0, ino = 0, size = 0;
};

TFileId IdOf(const std::string& path) {
  TFileId id;
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return id;
  id.ok = true;
  id.dev = static_cast<uint64_t>(st.st_dev);
  id.ino = static_cast<uint64_t>(st.st_ino);
  id.size = static_cast<uint64_t>(st.st_size);
  return id;
}

bool SameFile(const TFileId& a, const TFileId& b) { return a.ok && b.ok && a.dev == b.dev && a.ino == b.ino; }

std::string IdText(const TFileId& id) {
  if (!id.ok) return "-";
  return std::to_string(id.dev) + ":" + std::to_string(id.ino) + ":" + std::to_string(id.size);
}

bool ParseId(const std::string& text, TFileId& id) {
  id = {};
  if (text == "-") return true;
  unsigned long long d = 0, i = 0, s = 0;
  char tail = 0;
  if (std::sscanf(text.c_str(), "%llu:%llu:%llu%c", &d, &i, &s, &tail) != 3) return false;
  id.ok = true;
  id.dev = d;
  id.ino = i;
  id.size = s;
  return true;
}

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

// What the journal says about its swap.
struct TJournal {
  std::string owner;
  bool back = false;
  bool hadSpec = false;
  // Written by this version: the files of the swap by their identity. A journal of the
  // previous version names them by the run's process id only.
  bool withIds = false;
  TFileId newSpec, newAcis, oldSpec;
};

// The journal: "swap <owner> forward|back spec|nospec", then "files <new spec> <new acis> <old
// spec>", each "<device>:<inode>:<size>" or "-". The first line stands alone as the previous
// version wrote it and still reads it. Written whole under a temporary name, on disk before it
// takes its place, and the folder on disk after.
bool WriteJournal(const std::string& dir, const TSwapFiles& f, const TJournal& j) {
  const std::string tmp = f.journal + ".build-" + OwnerTag();
  const std::string text = "swap " + j.owner + (j.back ? " back" : " forward") + (j.hadSpec ? " spec" : " nospec") +
                           "\nfiles " + IdText(j.newSpec) + " " + IdText(j.newAcis) + " " + IdText(j.oldSpec) + "\n";
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

// 1: read; 0: the text says nothing clear (never followed by a rename); -1: a first line of
// ours with a second line that is not.
int ReadJournal(const std::string& path, TJournal& j) {
  std::ifstream in(path);
  std::string word, phase, spec;
  in >> word >> j.owner >> phase >> spec;
  bool digits = !j.owner.empty() && j.owner.size() <= 9;
  for (char c : j.owner) digits = digits && c >= '0' && c <= '9';
  if (word != "swap" || !digits || (phase != "forward" && phase != "back") || (spec != "spec" && spec != "nospec"))
    return 0;
  j.back = phase == "back";
  j.hadSpec = spec == "spec";
  std::string files, ns, na, os;
  if (!(in >> files)) return 1;  // the previous version's journal
  in >> ns >> na >> os;
  if (files != "files" || !ParseId(ns, j.newSpec) || !ParseId(na, j.newAcis) || !ParseId(os, j.oldSpec) ||
      !j.newSpec.ok || !j.newAcis.ok || j.oldSpec.ok != j.hadSpec)
    return -1;
  j.withIds = true;
  return 1;
}

void RemoveJournal(const std::string& dir, const TSwapFiles& f) {
  SyncDir(dir);  // the renames before it are on disk first
  Remove(f.journal);
  SyncDir(dir);
}

// The names of the tables of an SQLite database file opened read-only; false when it is none.
bool TablesOf(const std::string& path, std::set<std::string>& tables) {
  char head[16] = {};
  {
    std::ifstream in(path, std::ios::binary);
    if (!in.read(head, sizeof head) || std::memcmp(head, "SQLite format 3", 16) != 0) return false;
  }
  sqlite3* h = nullptr;
  bool ok = sqlite3_open_v2(path.c_str(), &h, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, nullptr) == SQLITE_OK;
  sqlite3_stmt* st = nullptr;
  ok = ok && sqlite3_prepare_v2(h, "SELECT name FROM sqlite_master WHERE type = 'table'", -1, &st, nullptr) == SQLITE_OK;
  int rc = SQLITE_DONE;
  while (ok && (rc = sqlite3_step(st)) == SQLITE_ROW)
    tables.insert(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
  ok = ok && rc == SQLITE_DONE;
  sqlite3_finalize(st);
  sqlite3_close_v2(h);
  return ok;
}

// Undoes a swap of this process whose acis.db could not be renamed, in an order that a kill
// at any step leaves to the next run whole whatever the journal says ("forward" as well as
// "back"): spec.db goes back under its build name (both new files waiting: "forward" renames
// them again), the kept copy back to spec.db, then the new acis.db goes before the new
// spec.db (a new spec.db alone is rolled back), and the journal last. When spec.db cannot be
// put back under its build name, or the kept copy cannot go back to spec.db, everything stays
// for the next run, which finishes or undoes the swap by its journal; the text then says why.
std::string UndoSwap(const std::string& dir, const TSwapFiles& f, bool specRenamed) {
  if (specRenamed && !Rename(f.spec, f.newSpec)) return {};
  FaultPoint("swap-undo-spec");
  if (Exists(f.kept)) {
    std::string why;
    // The kept copy may go only once it is spec.db again (or was spec.db all along: nothing
    // was renamed); it is the only copy of the old spec.db.
    if (!Rename(f.kept, f.spec, &why) && !SameFile(IdOf(f.kept), IdOf(f.spec)))
      return "元の spec.db を " + f.kept + " から戻せません (" + why + ")。次回の起動で戻します";
    Remove(f.kept);
  }
  SyncDir(dir);
  FaultPoint("swap-undo-kept");
  RemoveDbFiles(f.newAcis);
  SyncDir(dir);
  FaultPoint("swap-undo-acis");
  RemoveDbFiles(f.newSpec);
  RemoveJournal(dir, f);
  return {};
}

using TLog = std::function<void(const std::string&)>;

// Finishes or undoes the swap a journal names, touching only files that are that swap's.
// 1 when done, -1 when it cannot be done now or the folder does not match the journal (then
// nothing is touched).
int RecoverSwap(const std::string& dir, const TJournal& j, const TLog& log) {
  const TSwapFiles f(dir, j.owner, !j.withIds);
  const TFileId S = IdOf(f.spec), A = IdOf(f.acis), NS = IdOf(f.newSpec), NA = IdOf(f.newAcis), K = IdOf(f.kept);
  bool nsOk, naOk, kOld, sNew, sOld, aNew;
  if (j.withIds) {
    nsOk = SameFile(NS, j.newSpec) && NS.size == j.newSpec.size;
    naOk = SameFile(NA, j.newAcis) && NA.size == j.newAcis.size;
    kOld = j.hadSpec && SameFile(K, j.oldSpec);
    sNew = SameFile(S, j.newSpec);
    sOld = j.hadSpec && SameFile(S, j.oldSpec);
    aNew = SameFile(A, j.newAcis);
  } else {
    // The previous version's journal names the files by the run's process id only. The kept
    // copy is made as a second name of spec.db: while both are one file nothing was renamed;
    // once they differ, spec.db is the new one (when its build file is gone), and so is
    // acis.db when its build file is gone too (a forward swap only renames it away).
    nsOk = NS.ok;
    naOk = NA.ok;
    kOld = j.hadSpec && K.ok;
    sOld = kOld && SameFile(S, K);
    sNew = kOld && S.ok && !sOld && !NS.ok;
    aNew = !j.back && sNew && !NA.ok && A.ok;
  }
  auto unmatched = [&](const std::string& why) {
    if (log)
      log("置き換えの記録 " + f.journal + " がデータベースフォルダのファイルと合いません (" + why +
          ")。ファイルはそのままにします: 確かめてから記録を削除してください");
    return -1;
  };

  // Forward: the new spec.db is in place or can be put where the old one (kept) or none was;
  // the new acis.db likewise.
  const bool specIn = sNew || (nsOk && (j.hadSpec ? sOld || (!S.ok && kOld) : !S.ok));
  const bool acisIn = aNew || naOk;
  if (!j.back && specIn && acisIn) {
    if (!sNew && !IsDatabaseOfKind(f.newSpec, false))
      return unmatched(f.newSpec + " は spec.db のデータベースではありません");
    if (!aNew && !IsDatabaseOfKind(f.newAcis, true))
      return unmatched(f.newAcis + " は acis.db のデータベースではありません");
    std::string why;
    if ((!sNew && !Rename(f.newSpec, f.spec, &why)) || (!aNew && !Rename(f.newAcis, f.acis, &why))) {
      if (log) log("前回中断したデータベースの置き換えを完了できません: " + why);
      return -1;
    }
    // A journal beside a file renamed here was the old file's; one beside a file that was
    // already in place before the kill may be a reader's hot journal of the new one.
    if (!sNew) RemoveSqliteJournals(f.spec);
    if (!aNew) RemoveSqliteJournals(f.acis);
    if (kOld) Remove(f.kept);
    RemoveJournal(dir, f);
    if (log) log("前回中断したデータベースの置き換えを完了しました (acis.db, spec.db)");
    return 1;
  }

  // Back: the old pair again. First what must hold, so that nothing is touched when it
  // does not.
  if (aNew) return unmatched("acis.db はすでに新しいものです");
  enum { kNothing, kPutBack, kDropLink, kDropNew } spec = kNothing;
  if (kOld) {
    if (sOld)
      spec = kDropLink;  // nothing was renamed: the kept copy is a second name of spec.db
    else if (!S.ok || sNew)
      spec = kPutBack;
    else
      return unmatched("spec.db は退避した " + f.kept + " とも新しいものとも違います");
  } else if (j.hadSpec) {
    // The kept copy is gone: the old spec.db must be in place again.
    if (j.withIds ? !sOld : !S.ok) return unmatched("元の spec.db がありません");
  } else if (sNew) {
    spec = kDropNew;
  } else if (S.ok) {
    return unmatched("spec.db はこの置き換えのものではありません");
  }
  if (!j.back && !j.withIds && (nsOk || naOk)) {
    // The previous version's journal said forward, but its files do not make the pair: what
    // they are cannot be told.
    return unmatched("新しいファイルが揃っていません");
  }
  // The kept copy goes back first: while it cannot, nothing else is touched (it is the only
  // copy of the old spec.db, and the journal says how to try again).
  if (spec == kPutBack || spec == kDropLink) {
    std::string why;
    if (!Rename(f.kept, f.spec, &why) && !SameFile(IdOf(f.kept), IdOf(f.spec))) {
      if (log) log("前回中断したデータベースの置き換えを元に戻せません: " + f.kept + " を spec.db に戻せません (" + why + ")");
      return -1;
    }
    Remove(f.kept);
  }
  if (naOk) RemoveDbFiles(f.newAcis);
  if (spec == kDropNew) RemoveDbFiles(f.spec);
  if (nsOk) RemoveDbFiles(f.newSpec);
  RemoveJournal(dir, f);
  if (log) log("前回中断したデータベースの置き換えを元に戻しました (acis.db, spec.db)");
  return 1;
}

// 1 when a swap was finished or undone, 0 when there was none, -1 when it cannot be finished.
int RecoverInterruptedSwap(const std::string& dir, const TLog& log, const std::function<void()>& pump) {
  const std::string journal = dir + "/" + kJournalName;
  if (!Exists(journal)) return 0;
  // As the swap itself: no reader opens the files while they are renamed, and no journal of
  // a connection that has just opened a new file is taken for an old one's.
  TDbSwapLock lock(dir, TDbSwapLock::Exclusive, pump ? kSwapWaitMs : kRecoverWaitMs, pump);
  if (!lock.Held()) {
    if (log) log("前回中断したデータベースの置き換えを完了できません: " + lock.Why());
    return -1;
  }
  TJournal j;
  const int read = ReadJournal(journal, j);
  if (read == 0) {
    // The journal is on disk whole before the first rename: one that says nothing clear was
    // never followed by a rename.
    Remove(journal);
    return 1;
  }
  if (read < 0) {
    if (log)
      log("置き換えの記録 " + journal + " を読めません。ファイルはそのままにします: 確かめてから記録を削除してください");
    return -1;
  }
  return RecoverSwap(dir, j, log);
}

}  // namespace

bool IsDatabaseOfKind(const std::string& Path, bool Acis) {
  if (!Acis && IdOf(Path).size == 0) return true;
  std::set<std::string> tables;
  if (!TablesOf(Path, tables)) return false;
  const bool registration = tables.count("m_kihon") && tables.count("m_tekiyo");
  return Acis == registration;
}

std::string SwapBuiltPair(const std::string& DBDir, const std::function<void()>& Pump) {
  const std::string dir = DBDir.empty() ? "." : DBDir;
  TJournal j;
  j.owner = OwnerTag();
  const TSwapFiles f(dir, j.owner);
  TDbSwapLock lock(dir, TDbSwapLock::Exclusive, kSwapWaitMs, Pump);
  if (!lock.Held()) return lock.Why();
  j.newSpec = IdOf(f.newSpec);
  j.newAcis = IdOf(f.newAcis);
  if (!j.newSpec.ok || !j.newAcis.ok) return "新しいデータベースがありません: " + (j.newSpec.ok ? f.newAcis : f.newSpec);
  Remove(f.kept);
  j.hadSpec = Exists(f.spec);
  if (j.hadSpec && ::link(f.spec.c_str(), f.kept.c_str()) != 0)
    return "spec.db を退避できません: " + std::string(std::strerror(errno));
  if (j.hadSpec) j.oldSpec = IdOf(f.kept);
  if ((j.hadSpec && !j.oldSpec.ok) || !WriteJournal(dir, f, j)) {
    Remove(f.kept);
    return "置き換えの記録を書き込めません: " + f.journal;
  }
  FaultPoint("swap-begun");
  std::string why;
  std::string failed;
  bool specRenamed = false;
  if (!Rename(f.newSpec, f.spec, &why)) {
    failed = "spec.db を置き換えられません: " + why;
  } else {
    specRenamed = true;
    FaultPoint("swap-half");
    if (!Rename(f.newAcis, f.acis, &why)) failed = "acis.db を置き換えられません: " + why;
  }
  if (!failed.empty()) {
    // The journal says "back" before anything is undone. Whether it could say so or not, the
    // undo goes in an order in which either journal, read after a kill at any step, leads the
    // next run to a whole pair.
    j.back = true;
    if (!WriteJournal(dir, f, j)) failed += " (置き換えの記録を書き込めません: " + f.journal + ")";
    if (const std::string undo = UndoSwap(dir, f, specRenamed); !undo.empty()) failed += " (" + undo + ")";
    return failed;
  }
  FaultPoint("swap-done");
  RemoveSqliteJournals(f.spec);
  RemoveSqliteJournals(f.acis);
  Remove(f.kept);
  RemoveJournal(dir, f);
  return {};
}

int RecoverDatabaseFolder(const std::string& DBDir, const TLog& Log, const std::function<void()>& Pump) {
  const std::string dir = DBDir.empty() ? "." : DBDir;
  const int swap = RecoverInterruptedSwap(dir, Log, Pump);
  if (swap < 0) return -1;
  return swap + RemoveStaleTempFilesIn({dir}, Log);
}
