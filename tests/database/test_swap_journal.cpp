// The swap of a newly built acis.db and spec.db when one of its renames fails inside the
// running process: everything goes back as it was, the new files go, and nothing is left for
// the next run to finish. And the next run's recovery of a swap that a kill interrupted:
// finished or undone from every step when its journal is this folder's, and nothing touched
// when the journal does not match the folder (a folder copied or restored mid-swap, a backup
// tool, a person tidying).
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QTemporaryDir>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "common/test_support.h"
#include "database/db_swap_journal.h"
#include "database/db_swap_lock.h"
#include "database/sqlite_db.h"
#include "foundation/fault_point.h"
#include "foundation/stale_files.h"

namespace fs = std::filesystem;

namespace {

std::set<std::string> Names(const std::string& dir) {
  std::set<std::string> names;
  for (const auto& e : fs::directory_iterator(dir)) names.insert(e.path().filename().string());
  return names;
}

class SwapUndo : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(tmp_.isValid());
    dir_ = tmp_.path().toStdString();
    WriteBytes(OwnTempPath(dir_ + "/spec.db", "build"), "new spec");
    WriteBytes(OwnTempPath(dir_ + "/acis.db", "build"), "new acis");
  }
  QTemporaryDir tmp_;
  std::string dir_;
};

}  // namespace

// The second rename fails (acis.db is a folder that is not empty): spec.db, already replaced,
// is put back from the kept copy.
TEST_F(SwapUndo, ASecondRenameThatFailsPutsTheFirstBack) {
  WriteBytes(dir_ + "/spec.db", "old spec");
  fs::create_directories(dir_ + "/acis.db/inside");
  const std::string why = SwapBuiltPair(dir_);
  EXPECT_NE(why.find("acis.db を置き換えられません"), std::string::npos) << why;
  EXPECT_EQ(ReadBytes(dir_ + "/spec.db"), "old spec");
  EXPECT_TRUE(fs::is_directory(dir_ + "/acis.db/inside"));
  EXPECT_EQ(Names(dir_), (std::set<std::string>{"spec.db", "acis.db", ".qm-swap.lock"}));
  // Nothing is left that the next run would finish or undo.
  EXPECT_EQ(RecoverDatabaseFolder(dir_), 0);
  EXPECT_EQ(ReadBytes(dir_ + "/spec.db"), "old spec");
}

// Without an old spec.db the one the failed swap put in place goes again.
TEST_F(SwapUndo, ANewSpecDbWithoutAnOldOneGoesWithTheFailedSwap) {
  fs::create_directories(dir_ + "/acis.db/inside");
  EXPECT_FALSE(SwapBuiltPair(dir_).empty());
  EXPECT_FALSE(fs::exists(dir_ + "/spec.db"));
  EXPECT_EQ(Names(dir_), (std::set<std::string>{"acis.db", ".qm-swap.lock"}));
}

// spec.db cannot be kept or replaced (it is a folder that is not empty): acis.db is never
// touched, and the folder is as it was before the call (the built files are the caller's).
TEST_F(SwapUndo, ASpecDbThatCannotBeReplacedTouchesNothing) {
  WriteBytes(dir_ + "/acis.db", "old acis");
  fs::create_directories(dir_ + "/spec.db/inside");
  const std::string why = SwapBuiltPair(dir_);
  EXPECT_FALSE(why.empty());
  EXPECT_EQ(ReadBytes(dir_ + "/acis.db"), "old acis");
  EXPECT_TRUE(fs::is_directory(dir_ + "/spec.db/inside"));
  EXPECT_EQ(Names(dir_), (std::set<std::string>{"acis.db", "spec.db", ".qm-swap.lock",
                                                OwnTempPath("spec.db", "build"), OwnTempPath("acis.db", "build")}));
  EXPECT_EQ(RecoverDatabaseFolder(dir_), 0);
}

// The kept copy of the old spec.db cannot go back (a folder took spec.db's place while the
// failed swap was undone): it is the only copy of the old spec.db and stays, and so do the
// new files and the journal, until the next run can put it back.
TEST_F(SwapUndo, AKeptSpecDbThatCannotGoBackStaysWithTheJournal) {
  if (!FaultSeamBuilt()) GTEST_SKIP() << "needs the fault points";
  WriteBytes(dir_ + "/spec.db", "old spec");
  fs::create_directories(dir_ + "/acis.db/inside");
  const std::string dir = dir_;
  const pid_t pid = ::fork();
  if (pid == 0) {
    // The built files carry the name of the run that swaps them.
    const std::string parent = std::to_string(::getppid());
    fs::rename(OwnTempPath(dir + "/spec.db", "build", parent), OwnTempPath(dir + "/spec.db", "build"));
    fs::rename(OwnTempPath(dir + "/acis.db", "build", parent), OwnTempPath(dir + "/acis.db", "build"));
    ::setenv("QM_STOP_AT", "swap-undo-spec", 1);
    const std::string why = SwapBuiltPair(dir);
    ::_exit(why.find("acis.db を置き換えられません") != std::string::npos && why.find("元の spec.db") != std::string::npos ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(pid, &status, WUNTRACED), pid);
  ASSERT_TRUE(WIFSTOPPED(status));
  fs::create_directories(dir_ + "/spec.db/inside");
  ::kill(pid, SIGCONT);
  ASSERT_EQ(::waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  const std::string owner = std::to_string(pid);
  EXPECT_EQ(ReadBytes(OwnTempPath(dir_ + "/spec.db", "prev", owner)), "old spec");
  EXPECT_EQ(ReadBytes(OwnTempPath(dir_ + "/spec.db", "build", owner)), "new spec");
  EXPECT_EQ(ReadBytes(OwnTempPath(dir_ + "/acis.db", "build", owner)), "new acis");
  EXPECT_TRUE(fs::exists(dir_ + "/.qm-swap-journal"));
  // Once the place is free the next run puts the old spec.db back.
  fs::remove_all(dir_ + "/spec.db");
  EXPECT_GE(RecoverDatabaseFolder(dir_), 1);
  EXPECT_EQ(ReadBytes(dir_ + "/spec.db"), "old spec");
  EXPECT_EQ(Names(dir_), (std::set<std::string>{"spec.db", "acis.db", ".qm-swap.lock"}));
}

namespace {

// A database with the given tables (each with one row naming the file's part in the test).
void MakeDb(const std::string& path, std::initializer_list<const char*> tables, const std::string& label) {
  TSQLiteDb db(path);
  for (const char* t : tables) {
    db.ExecSQL(std::string("CREATE TABLE ") + t + " (label VARCHAR);");
    db.ExecBound(std::string("INSERT INTO ") + t + " VALUES (?1);", {label});
  }
}

// The label of a database made by MakeDb ("" when there is none).
std::string Label(const std::string& path, const char* table) {
  if (!fs::exists(path)) return "";
  TSQLiteDb db(path);
  auto t = db.GetTable(std::string("SELECT label FROM ") + table);
  return t->Count() ? t->FieldAsString(0) : "";
}

std::string DeadOwner() {
  const pid_t pid = ::fork();
  if (pid == 0) ::_exit(0);
  ::waitpid(pid, nullptr, 0);
  return std::to_string(pid);
}

std::string IdText(const std::string& path) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0) return "-";
  return std::to_string(st.st_dev) + ":" + std::to_string(st.st_ino) + ":" + std::to_string(st.st_size);
}

// A folder in the middle of a swap by a run that was killed: old acis.db and spec.db, the
// built pair, the kept copy of spec.db, and the journal as the swap writes it. A swap of the
// previous version named its files without ".qm-" ("spec.db.build-<pid>") and wrote the
// journal's first line alone.
class InterruptedSwap : public ::testing::Test {
 public:
  // Also starts a case of a loop afresh.
  void SetUp() override {
    ASSERT_TRUE(tmp_.isValid());
    dir_ = tmp_.path().toStdString();
    for (const auto& e : fs::directory_iterator(dir_)) fs::remove_all(e.path());
    log_.clear();
    previous_ = false;
    owner_ = DeadOwner();
    MakeDb(Db("acis.db"), {"m_kihon", "m_tekiyo"}, "old acis");
    MakeDb(Db("spec.db"), {"bunrui"}, "old spec");
    MakeDb(NewAcis(), {"m_kihon", "m_tekiyo"}, "new acis");
    MakeDb(NewSpec(), {"bunrui"}, "new spec");
  }
  std::string Db(const std::string& name) const { return dir_ + "/" + name; }
  std::string NewAcis() const { return TempName("acis.db", "build"); }
  std::string NewSpec() const { return TempName("spec.db", "build"); }
  std::string Kept() const { return TempName("spec.db", "prev"); }
  std::string Journal() const { return Db(".qm-swap-journal"); }
  std::string TempName(const std::string& file, const std::string& kind) const {
    return previous_ ? Db(file + "." + kind + "-" + owner_) : OwnTempPath(Db(file), kind, owner_);
  }
  // From here on the swap's files carry the previous version's names (the build files made
  // so far are renamed to them).
  void PreviousVersion() {
    const std::string acis = NewAcis(), spec = NewSpec();
    previous_ = true;
    if (fs::exists(acis)) fs::rename(acis, NewAcis());
    if (fs::exists(spec)) fs::rename(spec, NewSpec());
  }
  // The swap's first steps: the kept copy and the journal ("files" line when WithIds; without
  // it the swap is the previous version's, with its names).
  void Begin(bool WithIds, const std::string& Phase = "forward") {
    if (!WithIds) PreviousVersion();
    ASSERT_EQ(::link(Db("spec.db").c_str(), Kept().c_str()), 0);
    std::string text = "swap " + owner_ + " " + Phase + " spec\n";
    if (WithIds) text += "files " + IdText(NewSpec()) + " " + IdText(NewAcis()) + " " + IdText(Kept()) + "\n";
    WriteBytes(Journal(), text);
  }
  int Recover() {
    return RecoverDatabaseFolder(dir_, [this](const std::string& line) { log_ += line + "\n"; });
  }
  std::set<std::string> Left() const {
    std::set<std::string> names = Names(dir_);
    names.erase(".qm-swap.lock");
    return names;
  }
  QTemporaryDir tmp_;
  std::string dir_, owner_, log_;
  bool previous_ = false;
};

}  // namespace

// A journal of this folder finishes the swap from wherever the kill stopped it: before the
// renames, between them, after them. The previous version's journal (its first line alone) is
// finished the same way, told by the kept copy that is or is no longer a second name of spec.db.
TEST_F(InterruptedSwap, AJournalOfThisFolderIsFinishedFromEveryStep) {
  for (bool withIds : {true, false}) {
    for (int renamed = 0; renamed <= 2; ++renamed) {
      SCOPED_TRACE(std::string(withIds ? "this version's journal, " : "previous journal, ") +
                   std::to_string(renamed) + " renamed");
      SetUp();
      Begin(withIds);
      if (renamed >= 1) fs::rename(NewSpec(), Db("spec.db"));
      if (renamed >= 2) fs::rename(NewAcis(), Db("acis.db"));
      EXPECT_GE(Recover(), 1) << log_;
      EXPECT_EQ(Label(Db("acis.db"), "m_kihon"), "new acis");
      EXPECT_EQ(Label(Db("spec.db"), "bunrui"), "new spec");
      EXPECT_EQ(Left(), (std::set<std::string>{"acis.db", "spec.db"}));
    }
  }
}

// A journal left beside a file that the swap had already put in place before the kill may be
// a reader's hot journal of the new file: it stays. The one beside a file renamed now was the
// old file's and goes.
TEST_F(InterruptedSwap, FinishingTheSwapLeavesTheJournalOfAFileAlreadyInPlace) {
  Begin(true);
  fs::rename(NewSpec(), Db("spec.db"));
  WriteBytes(Db("spec.db-journal"), "journal of the new spec.db");
  WriteBytes(Db("acis.db-journal"), "journal of the old acis.db");
  EXPECT_GE(Recover(), 1) << log_;
  EXPECT_EQ(ReadBytes(Db("spec.db-journal")), "journal of the new spec.db");
  EXPECT_FALSE(fs::exists(Db("acis.db-journal")));
  EXPECT_EQ(Left(), (std::set<std::string>{"acis.db", "spec.db", "spec.db-journal"}));
}

// A journal that says "back" (a rename failed in the running process, which was killed while
// it undid the swap) puts the old pair back.
TEST_F(InterruptedSwap, ABackJournalOfThisFolderPutsTheOldPairBack) {
  Begin(true, "back");
  fs::rename(NewSpec(), Db("spec.db"));
  EXPECT_GE(Recover(), 1) << log_;
  EXPECT_EQ(Label(Db("acis.db"), "m_kihon"), "old acis");
  EXPECT_EQ(Label(Db("spec.db"), "bunrui"), "old spec");
  EXPECT_EQ(Left(), (std::set<std::string>{"acis.db", "spec.db"}));
}

// A "back" journal whose kept copy cannot be put back (a folder that is not empty is at
// spec.db's place): the kept copy, the new files and the journal all stay, and a later run
// puts the old spec.db back once it can.
TEST_F(InterruptedSwap, AKeptCopyThatCannotGoBackIsNeverDeleted) {
  Begin(true, "back");
  fs::remove(Db("spec.db"));
  fs::create_directories(Db("spec.db/inside"));
  EXPECT_EQ(Recover(), -1);
  EXPECT_NE(log_.find(Kept()), std::string::npos) << log_;
  EXPECT_EQ(Label(Kept(), "bunrui"), "old spec");
  EXPECT_EQ(Label(NewSpec(), "bunrui"), "new spec");
  EXPECT_EQ(Label(NewAcis(), "m_kihon"), "new acis");
  EXPECT_TRUE(fs::exists(Journal()));
  fs::remove_all(Db("spec.db"));
  EXPECT_GE(Recover(), 1) << log_;
  EXPECT_EQ(Label(Db("spec.db"), "bunrui"), "old spec");
  EXPECT_EQ(Label(Db("acis.db"), "m_kihon"), "old acis");
  EXPECT_EQ(Left(), (std::set<std::string>{"acis.db", "spec.db"}));
}

// A folder copied mid-swap: the same names, other files. Nothing is renamed or deleted, the
// journal stays for a person to look at, the log says why, and no build may start.
TEST_F(InterruptedSwap, AFolderCopiedMidSwapIsLeftAsItIs) {
  Begin(true);
  fs::rename(NewSpec(), Db("spec.db"));
  const std::string copy = dir_ + "-copy";
  fs::copy(dir_, copy);
  fs::remove_all(dir_);
  fs::rename(copy, dir_);
  const auto before = Left();
  EXPECT_EQ(Recover(), -1);
  EXPECT_NE(log_.find(".qm-swap-journal"), std::string::npos) << log_;
  EXPECT_EQ(Left(), before);
  EXPECT_EQ(Label(Db("acis.db"), "m_kihon"), "old acis");
  EXPECT_EQ(Label(Db("spec.db"), "bunrui"), "new spec");
  EXPECT_EQ(Label(Kept(), "bunrui"), "old spec");
  EXPECT_EQ(Label(NewAcis(), "m_kihon"), "new acis");
}

// The previous version's journal "swap <pid> back nospec" beside a live spec.db and no kept
// copy: the live spec.db is not the swap's, and stays.
TEST_F(InterruptedSwap, APreviousJournalWithoutSpecNeverDeletesALiveSpecDb) {
  PreviousVersion();
  fs::remove(NewAcis());
  fs::remove(NewSpec());
  WriteBytes(Journal(), "swap " + owner_ + " back nospec\n");
  Recover();
  EXPECT_EQ(Label(Db("spec.db"), "bunrui"), "old spec");
  EXPECT_EQ(Label(Db("acis.db"), "m_kihon"), "old acis");
}

// The previous version's journal "swap <pid> forward spec" with spec.db gone and its kept
// copy the only one: the kept copy becomes spec.db again.
TEST_F(InterruptedSwap, APreviousForwardJournalPutsBackAKeptCopyThatIsTheOnlyOne) {
  PreviousVersion();
  fs::remove(NewAcis());
  fs::remove(NewSpec());
  fs::rename(Db("spec.db"), Kept());
  WriteBytes(Journal(), "swap " + owner_ + " forward spec\n");
  EXPECT_GE(Recover(), 1) << log_;
  EXPECT_EQ(Label(Db("spec.db"), "bunrui"), "old spec");
  EXPECT_EQ(Label(Db("acis.db"), "m_kihon"), "old acis");
  EXPECT_EQ(Left(), (std::set<std::string>{"acis.db", "spec.db"}));
}

// Build files that are no databases (or not of their kind) are never put in place, whatever
// journal names them: the old pair stays.
TEST_F(InterruptedSwap, BuildFilesThatAreNoDatabasesOfTheirKindAreNeverPutInPlace) {
  struct Case {
    const char* what;
    bool withIds;
    std::function<void(InterruptedSwap&)> spoil;
  };
  const std::vector<Case> cases = {
      {"text files, previous journal", false,
       [](InterruptedSwap& t) {
         WriteBytes(t.NewAcis(), "not a database");
         WriteBytes(t.NewSpec(), "not a database either");
       }},
      {"text files, this version's journal", true,
       [](InterruptedSwap& t) {
         WriteBytes(t.NewAcis(), "not a database");
         WriteBytes(t.NewSpec(), "not a database either");
       }},
      {"a spec.db where acis.db belongs", true,
       [](InterruptedSwap& t) {
         fs::remove(t.NewAcis());
         MakeDb(t.NewAcis(), {"bunrui"}, "wrong kind");
       }},
      {"an acis.db where spec.db belongs", true,
       [](InterruptedSwap& t) {
         fs::remove(t.NewSpec());
         MakeDb(t.NewSpec(), {"m_kihon", "m_tekiyo"}, "wrong kind");
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SetUp();
    c.spoil(*this);
    Begin(c.withIds);
    EXPECT_EQ(Recover(), -1);
    EXPECT_EQ(Label(Db("acis.db"), "m_kihon"), "old acis");
    EXPECT_EQ(Label(Db("spec.db"), "bunrui"), "old spec");
    EXPECT_TRUE(fs::exists(Journal()));
  }
}

// The recovery renames under the exclusive swap lock, as the swap does: while a reader is
// opening the database nothing is renamed, and the recovery goes on when it is done.
TEST_F(InterruptedSwap, RecoveryWaitsForAReaderThatIsOpening) {
  Begin(true);
  fs::rename(NewSpec(), Db("spec.db"));
  auto reader = std::make_unique<TDbSwapLock>(dir_, TDbSwapLock::Shared, 0);
  ASSERT_TRUE(reader->Held());
  int pumps = 0;
  bool untouched = false;
  const int done = RecoverDatabaseFolder(
      dir_, {}, [&] {
        if (++pumps == 1) {
          untouched = fs::exists(Journal()) && fs::exists(NewAcis()) && Label(Db("acis.db"), "m_kihon") == "old acis";
          reader.reset();  // the reader has opened its files
        }
      });
  EXPECT_GE(pumps, 1);
  EXPECT_TRUE(untouched);
  EXPECT_GE(done, 1);
  EXPECT_EQ(Label(Db("acis.db"), "m_kihon"), "new acis");
}
