// Prebuilt databases going into the database folder: the next start puts back a kept copy
// whose file is gone, an archive installs only the database it is named for, and acis.zip and
// spec.zip go in as one pair or not at all, whatever fails and wherever a kill comes.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QTemporaryDir>
#include <cctype>
#include <filesystem>
#include <functional>

#include "common/test_support.h"
#include "database/db_swap_lock.h"
#include "database/sqlite_db.h"
#include "foundation/fault_point.h"
#include "foundation/options.h"
#include "update/acis_svr.h"
#include "update/leftover_cleanup.h"
#include "update_test_support.h"

namespace fs = std::filesystem;
using namespace updtest;

namespace {

class InstallTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(tmp_.isValid());
    root_ = tmp_.path().toStdString();
    options_.DBDir = root_ + "/DB";
    options_.DownloadDir = root_ + "/DB/download";
    fs::create_directories(options_.DownloadDir);
  }

  std::string P(const std::string& rel) const { return root_ + "/" + rel; }
  std::string Db(const std::string& name) const { return options_.DBDir + "/" + name; }

  // A small database whose table t holds one marker value. One named for acis.db (in any
  // letters, under any temporary name) carries the registration tables as a real one does;
  // any other is a spec.db, without them.
  static void MakeDb(const std::string& path, const std::string& marker) {
    fs::create_directories(fs::path(path).parent_path());
    fs::remove(path);
    TSQLiteDb db(path);
    db.ExecSQL("CREATE TABLE t(v TEXT)");
    db.ExecBound("INSERT INTO t VALUES(?1)", {marker});
    std::string name = fs::path(path).filename().string();
    for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (name.find("acis.db") == std::string::npos) return;
    db.ExecSQL("CREATE TABLE m_kihon(bango INTEGER PRIMARY KEY, shurui VARCHAR, meisho VARCHAR, tsusho VARCHAR)");
    db.ExecSQL("CREATE TABLE m_tekiyo(bango INTEGER, sakumotsu VARCHAR, byochu VARCHAR, shiyoho VARCHAR)");
    db.ExecBound("INSERT INTO m_kihon VALUES(24000, '殺菌剤', ?1, ?1)", {marker});
    db.ExecSQL("INSERT INTO m_tekiyo VALUES(24000, 'きゅうり', 'うどんこ病', '散布')");
  }
  static std::string Marker(const std::string& path) {
    if (!Exists(path)) return "(none)";
    try {
      TSQLiteDb db(path);
      return db.GetTable("SELECT v FROM t")->FieldAsString(0);
    } catch (const std::exception& e) {
      return e.what();
    }
  }
  // zip of files below Folder under their relative names.
  static void Zip(const std::string& zip, const std::string& folder, const std::vector<std::string>& names) {
    fs::remove(zip);
    fs::create_directories(fs::path(zip).parent_path());
    std::string cmd = "cd '" + folder + "' && zip -q '" + zip + "'";
    for (const auto& n : names) cmd += " '" + n + "'";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
  }

  // The old pair in the database folder and a new pair as dl/acis.zip and dl/spec.zip.
  void OldAndNewPair() {
    MakeDb(Db("acis.db"), "old acis");
    MakeDb(Db("spec.db"), "old spec");
    MakeDb(P("new/acis.db"), "new acis");
    MakeDb(P("new/spec.db"), "new spec");
    Zip(P("dl/acis.zip"), P("new"), {"acis.db"});
    Zip(P("dl/spec.zip"), P("new"), {"spec.db"});
  }
  bool InstallPair(std::vector<std::string>* lines = nullptr, std::string* why = nullptr) {
    TSvrHooks hooks;
    if (lines) hooks.LogMemo = [lines](const std::string& l) { lines->push_back(l); };
    return InstallPrebuiltPair(P("dl/acis.zip"), P("dl/spec.zip"), options_.DBDir, hooks, why);
  }
  // Both databases old, or both new: never one of each.
  std::string Pair() const {
    const std::string acis = Marker(Db("acis.db")), spec = Marker(Db("spec.db"));
    if (acis == "old acis" && spec == "old spec") return "old";
    if (acis == "new acis" && spec == "new spec") return "new";
    return "mixed: " + acis + " / " + spec;
  }
  // What the next start leaves in the database folder.
  std::vector<std::string> AfterTheStart() {
    CleanupLeftoversAtStart(options_);
    return List(options_.DBDir);
  }
  // Runs Body in a child process and returns how it ended: its exit code, or -1. With a stop
  // point, OnStop runs while the child is stopped there, then the child goes on.
  static int InChild(const std::function<void()>& body, const std::function<void(pid_t)>& onStop = {}) {
    const pid_t pid = ::fork();
    if (pid == 0) {
      body();
      ::_exit(0);
    }
    // Whatever an assertion does, the child ends with the test.
    struct TReap {
      pid_t pid;
      bool done = false;
      ~TReap() {
        if (!done) {
          ::kill(pid, SIGKILL);
          ::waitpid(pid, nullptr, 0);
        }
      }
    } reap{pid};
    int status = 0;
    if (onStop) {
      if (::waitpid(pid, &status, WUNTRACED) != pid || !WIFSTOPPED(status)) {
        reap.done = true;
        return -1;
      }
      onStop(pid);
      ::kill(pid, SIGCONT);
    }
    ::waitpid(pid, &status, 0);
    reap.done = true;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  QTemporaryDir tmp_;
  std::string root_;
  TOptionData options_{"/tmp/"};
};

}  // namespace

// A kept copy whose file is gone (a run killed before it could put the file back) is put back
// by the start, not removed.
TEST_F(InstallTest, StartPutsBackAKeptCopyWhoseFileIsGone) {
  const pid_t gone = ::fork();
  if (gone == 0) ::_exit(0);
  ::waitpid(gone, nullptr, 0);
  MakeDb(Db(".qm-acis.db.prev-" + std::to_string(gone)), "kept");
  MakeDb(Db("spec.db"), "spec");
  MakeDb(Db(".qm-spec.db.prev-" + std::to_string(gone)), "older spec");
  std::vector<std::string> lines;
  CleanupLeftoversAtStart(options_, [&](const std::string& l) { lines.push_back(l); });
  EXPECT_EQ(Marker(Db("acis.db")), "kept");
  EXPECT_EQ(Marker(Db("spec.db")), "spec");  // the file is there: the kept copy is a leftover
  EXPECT_EQ(List(options_.DBDir), (std::vector<std::string>{".qm-swap.lock", "acis.db", "download", "spec.db"}));
  ASSERT_EQ(lines.size(), 2u);
}

// An archive installs the database it is named for and nothing else: a missing member is a
// failure that keeps every file, and other members (a master script of the download folder, a
// log) are not unpacked into the database folder.
TEST_F(InstallTest, ArchiveInstallsOnlyTheDatabaseItIsNamedFor) {
  MakeDb(Db("acis.db"), "old acis");
  MakeDb(Db("spec.db"), "old spec");
  ASSERT_TRUE(WriteFile(Db("download/sakumotsu.txt"), "the master script"));
  ASSERT_TRUE(WriteFile(Db("autoupdate.log"), "the last log"));
  MakeDb(P("new/spec.db"), "new spec");
  Zip(P("dl/spec.zip"), P("new"), {"spec.db"});

  // acis.zip holding only spec.db.
  MakeDb(P("wrong/spec.db"), "spec from acis.zip");
  Zip(P("dl/acis.zip"), P("wrong"), {"spec.db"});
  std::vector<std::string> lines;
  std::string why;
  EXPECT_FALSE(InstallPair(&lines, &why));
  EXPECT_NE(why.find("acis.db"), std::string::npos) << why;
  EXPECT_EQ(std::find(lines.begin(), lines.end(), "acis.db 更新"), lines.end());
  EXPECT_EQ(Marker(Db("acis.db")), "old acis");
  EXPECT_EQ(Marker(Db("spec.db")), "old spec");

  // acis.zip with extra members beside acis.db.
  MakeDb(P("extra/acis.db"), "new acis");
  ASSERT_TRUE(WriteFile(P("extra/download/sakumotsu.txt"), "from the archive"));
  ASSERT_TRUE(WriteFile(P("extra/autoupdate.log"), "from the archive"));
  MakeDb(P("extra/spec.db"), "spec from acis.zip");
  Zip(P("dl/acis.zip"), P("extra"), {"acis.db", "download/sakumotsu.txt", "autoupdate.log", "spec.db"});
  lines.clear();
  EXPECT_TRUE(InstallPair(&lines, &why)) << why;
  EXPECT_NE(std::find(lines.begin(), lines.end(), "acis.db 更新"), lines.end());
  EXPECT_NE(std::find(lines.begin(), lines.end(), "acis.zip: spec.db は使いません"), lines.end());
  EXPECT_EQ(Pair(), "new");
  EXPECT_EQ(ReadFile(Db("download/sakumotsu.txt")), "the master script");
  EXPECT_EQ(ReadFile(Db("autoupdate.log")), "the last log");
}

// A member named in other letters ("ACIS.DB", as Windows tools write it) is the database: it
// is installed, and the log says so, not that it is not used. With both spellings in one
// archive the exact name is the one installed, and the other is said to be unused.
TEST_F(InstallTest, AMemberInOtherLettersIsInstalledAndLoggedAsInstalled) {
  OldAndNewPair();
  MakeDb(P("upper/ACIS.DB"), "new acis");
  MakeDb(P("upper/Spec.Db"), "new spec");
  Zip(P("dl/acis.zip"), P("upper"), {"ACIS.DB"});
  Zip(P("dl/spec.zip"), P("upper"), {"Spec.Db"});
  std::vector<std::string> lines;
  std::string why;
  ASSERT_TRUE(InstallPair(&lines, &why)) << why;
  EXPECT_EQ(Pair(), "new");
  for (const std::string& l : lines) EXPECT_EQ(l.find("使いません"), std::string::npos) << l;
  for (const char* l : {"acis.zip: acis.db", "spec.zip: spec.db", "acis.db 更新", "spec.db 更新"})
    EXPECT_NE(std::find(lines.begin(), lines.end(), l), lines.end()) << l;
  EXPECT_EQ(List(options_.DBDir), (std::vector<std::string>{".qm-swap.lock", "acis.db", "download", "spec.db"}));

  MakeDb(P("both/acis.db"), "exact acis");
  MakeDb(P("both/ACIS.DB"), "upper acis");
  Zip(P("dl/acis.zip"), P("both"), {"ACIS.DB", "acis.db"});
  Zip(P("dl/spec.zip"), P("new"), {"spec.db"});
  lines.clear();
  ASSERT_TRUE(InstallPair(&lines, &why)) << why;
  EXPECT_EQ(Marker(Db("acis.db")), "exact acis");
  EXPECT_NE(std::find(lines.begin(), lines.end(), "acis.zip: ACIS.DB は使いません"), lines.end());
  EXPECT_EQ(std::find(lines.begin(), lines.end(), "acis.zip: acis.db は使いません"), lines.end());
}

// spec.zip that fails (no archive at all, or no spec.db in it) keeps the old pair: the new
// acis.db never goes in beside the old spec.db. The failing archive goes, so that the next
// check fetches it again; the good one stays for the pair's next install.
TEST_F(InstallTest, AFailingSpecZipReplacesNeitherDatabase) {
  OldAndNewPair();
  ASSERT_TRUE(WriteFile(P("dl/spec.zip"), "PK\x03\x04 broken"));
  std::vector<std::string> lines;
  std::string why;
  EXPECT_FALSE(InstallPair(&lines, &why));
  EXPECT_FALSE(why.empty());
  EXPECT_EQ(Pair(), "old");
  EXPECT_NE(std::find(lines.begin(), lines.end(), "spec.zip 解凍失敗: acis.db と spec.db は更新されません"), lines.end());
  EXPECT_EQ(std::find(lines.begin(), lines.end(), "acis.db 更新"), lines.end());
  EXPECT_TRUE(Exists(P("dl/acis.zip")));
  EXPECT_FALSE(Exists(P("dl/spec.zip")));
  EXPECT_EQ(List(options_.DBDir), (std::vector<std::string>{".qm-swap.lock", "acis.db", "download", "spec.db"}));

  // spec.zip without spec.db.
  MakeDb(P("nospec/other.db"), "other");
  Zip(P("dl/spec.zip"), P("nospec"), {"other.db"});
  EXPECT_FALSE(InstallPair(&lines, &why));
  EXPECT_NE(why.find("spec.db"), std::string::npos) << why;
  EXPECT_EQ(Pair(), "old");

  // Then a whole pair goes in.
  Zip(P("dl/spec.zip"), P("new"), {"spec.db"});
  EXPECT_TRUE(InstallPair(&lines, &why)) << why;
  EXPECT_EQ(Pair(), "new");
}

// An archive whose database is not of its kind (an acis.db without the registration tables, a
// spec.db with them) replaces neither database: a swap of it could not be finished by the next
// start after a kill. The archive at fault goes, nothing of the run stays behind.
TEST_F(InstallTest, ADatabaseNotOfItsKindReplacesNeither) {
  OldAndNewPair();
  const auto wrongKind = [&](const std::string& path, bool registration) {
    fs::create_directories(fs::path(path).parent_path());
    TSQLiteDb db(path);
    db.ExecSQL("CREATE TABLE t(v TEXT)");
    db.ExecSQL("INSERT INTO t VALUES('wrong kind')");
    if (!registration) return;
    db.ExecSQL("CREATE TABLE m_kihon(bango INTEGER)");
    db.ExecSQL("CREATE TABLE m_tekiyo(bango INTEGER)");
  };
  wrongKind(P("wrong/acis.db"), false);
  wrongKind(P("wrong/spec.db"), true);
  for (const char* culprit : {"acis", "spec"}) {
    SCOPED_TRACE(culprit);
    const bool acis = culprit[0] == 'a';
    Zip(P("dl/acis.zip"), P(acis ? "wrong" : "new"), {"acis.db"});
    Zip(P("dl/spec.zip"), P(acis ? "new" : "wrong"), {"spec.db"});
    std::vector<std::string> lines;
    std::string why;
    EXPECT_FALSE(InstallPair(&lines, &why));
    const std::string db = std::string(culprit) + ".db";
    EXPECT_NE(why.find(db + " のデータベースではありません"), std::string::npos) << why;
    EXPECT_EQ(Pair(), "old");
    EXPECT_EQ(std::find(lines.begin(), lines.end(), db + " 更新"), lines.end());
    EXPECT_FALSE(Exists(P("dl/" + std::string(culprit) + ".zip")));
    EXPECT_TRUE(Exists(P(std::string("dl/") + (acis ? "spec" : "acis") + ".zip")));
    EXPECT_EQ(List(options_.DBDir), (std::vector<std::string>{".qm-swap.lock", "acis.db", "download", "spec.db"}));
  }
}

// A folder another run is updating is left to it: neither database is replaced and both
// archives stay, as that run may be unpacking them; once it is done the pair goes in.
TEST_F(InstallTest, AFolderBusyWithAnotherUpdateKeepsBothArchives) {
  OldAndNewPair();
  std::vector<std::string> lines;
  std::string why;
  {
    TDbUpdateLock other(options_.DBDir);
    ASSERT_TRUE(other.Held());
    EXPECT_FALSE(InstallPair(&lines, &why));
  }
  EXPECT_NE(why.find(kDbFolderInUse), std::string::npos) << why;
  EXPECT_EQ(Pair(), "old");
  EXPECT_TRUE(Exists(P("dl/acis.zip")));
  EXPECT_TRUE(Exists(P("dl/spec.zip")));
  EXPECT_EQ(std::find(lines.begin(), lines.end(), "acis.db 更新"), lines.end());
  EXPECT_TRUE(InstallPair(&lines, &why)) << why;
  EXPECT_EQ(Pair(), "new");
}

// A run killed between the two archives, or at any step of putting the pair in place, leaves
// what the next start turns into the old pair or the new one, and nothing of the run behind.
TEST_F(InstallTest, APairKilledAnywhereIsOldOrNewAfterTheStart) {
  QM_REQUIRE_FAULT_SEAM();
  const std::vector<std::pair<const char*, const char*>> points = {
      {"install-pair-half", "old"}, {"swap-begun", "new"}, {"swap-half", "new"}, {"swap-done", "new"}};
  for (const auto& [point, after] : points) {
    OldAndNewPair();
    const int code = InChild([&] {
      ::setenv("QM_FAULT_AT", point, 1);
      InstallPair();
    });
    ASSERT_EQ(code, kFaultExitCode) << point;
    EXPECT_EQ(AfterTheStart(), (std::vector<std::string>{".qm-swap.lock", "acis.db", "download", "spec.db"}))
        << point;
    EXPECT_EQ(Pair(), after) << point;
  }
}

// The acis.db rename fails and the journal cannot be rewritten to say "back": the undo then
// goes in an order that the next start, finding the "forward" journal after a kill at any of
// its steps, turns into a whole pair; an undo that ends says that the journal could not be
// rewritten, and leaves the old pair.
TEST_F(InstallTest, AnUndoWhoseJournalCannotSayBackIsSafeAgainstAKill) {
  QM_REQUIRE_FAULT_SEAM();
  const std::vector<std::pair<const char*, const char*>> points = {
      {"swap-undo-spec", "new"}, {"swap-undo-kept", "new"}, {"swap-undo-acis", "old"}, {"", "old"}};
  for (const auto& [point, after] : points) {
    OldAndNewPair();
    const std::string whyFile = P("why.txt");
    fs::remove(whyFile);
    const int code = InChild(
        [&] {
          ::setenv("QM_STOP_AT", "swap-half", 1);
          if (*point) ::setenv("QM_FAULT_AT", point, 1);
          std::string why;
          InstallPair(nullptr, &why);
          WriteFile(whyFile, why);
        },
        [&](pid_t child) {
          // The journal's temporary name taken by a folder, and acis.db by a folder for a while.
          fs::create_directories(Db(".qm-swap-journal.build-" + std::to_string(child)));
          fs::rename(Db("acis.db"), P("acis.aside"));
          fs::create_directories(Db("acis.db/in-the-way"));
        });
    ASSERT_EQ(code, *point ? kFaultExitCode : 0) << point;
    fs::remove_all(Db("acis.db"));
    fs::rename(P("acis.aside"), Db("acis.db"));
    if (!*point) {
      EXPECT_NE(ReadFile(whyFile).find("置き換えの記録を書き込めません"), std::string::npos);
    }
    EXPECT_EQ(AfterTheStart(), (std::vector<std::string>{".qm-swap.lock", "acis.db", "download", "spec.db"}))
        << point;
    EXPECT_EQ(Pair(), after) << point;
  }
}
