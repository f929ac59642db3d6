// The database folder's lock for every user of a shared folder: a root cron "/u" beside a
// user's window, two users of one folder. Nobody may pass it because the file was made by
// another user under another umask, and a lock that cannot be taken in a folder that can be
// written refuses the run instead of letting it replace files unlocked.
#include <grp.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QTemporaryDir>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "common/test_support.h"
#include "database/db_swap_journal.h"
#include "database/db_swap_lock.h"
#include "foundation/stale_files.h"

namespace fs = std::filesystem;

namespace {

// Runs Body in a child process as another user (uid and gid Uid, umask 022) and returns its
// exit code; 77 when the child cannot reach Dir as that user.
int AsUser(uid_t Uid, const std::string& Dir, const std::function<int()>& Body) {
  const pid_t pid = ::fork();
  if (pid == 0) {
    if (::setgroups(0, nullptr) != 0 || ::setgid(Uid) != 0 || ::setuid(Uid) != 0) ::_exit(78);
    ::umask(022);
    if (::access(Dir.c_str(), X_OK) != 0) ::_exit(77);
    ::_exit(Body());
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

class FolderLock : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(tmp_.isValid());
    dir_ = tmp_.path().toStdString();
  }
  // A folder every user may write, for the tests that run a second user.
  bool SharedFolder() {
    if (::geteuid() != 0) return false;
    ::chmod(dir_.c_str(), 0777);
    return true;
  }
  std::string LockFile() const { return dir_ + "/.qm-swap.lock"; }
  QTemporaryDir tmp_;
  std::string dir_;
};

constexpr uid_t kFirstUser = 40001;
constexpr uid_t kSecondUser = 40002;

}  // namespace

// Whoever makes the lock file, under whatever umask, leaves it writable for the others.
TEST_F(FolderLock, TheLockFileIsWritableForEveryUserWhateverTheUmask) {
  const mode_t saved = ::umask(077);
  {
    TDbUpdateLock lock(dir_);
    EXPECT_TRUE(lock.Held()) << lock.Why();
  }
  ::umask(saved);
  struct stat st {};
  ASSERT_EQ(::stat(LockFile().c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0666u);
}

// A folder where the lock file should be: nobody can lock, so whatever would replace files is
// refused with a text that names the lock file, and the files stay; readers go on.
TEST_F(FolderLock, ALockFileThatIsAFolderRefusesEveryRunThatWouldReplaceFiles) {
  fs::create_directory(LockFile());
  {
    TDbUpdateLock update(dir_);
    EXPECT_FALSE(update.Held());
    EXPECT_NE(update.Why().find(".qm-swap.lock"), std::string::npos) << update.Why();
    TDbSwapLock swap(dir_, TDbSwapLock::Exclusive, 0);
    EXPECT_FALSE(swap.Held());
    EXPECT_NE(swap.Why().find(".qm-swap.lock"), std::string::npos) << swap.Why();
    TDbSwapLock reader(dir_, TDbSwapLock::Shared, 0);
    EXPECT_TRUE(reader.Held());
  }
  WriteBytes(dir_ + "/spec.db", "old spec");
  WriteBytes(dir_ + "/acis.db", "old acis");
  WriteBytes(OwnTempPath(dir_ + "/spec.db", "build"), "new spec");
  WriteBytes(OwnTempPath(dir_ + "/acis.db", "build"), "new acis");
  const std::string why = SwapBuiltPair(dir_);
  EXPECT_NE(why.find(".qm-swap.lock"), std::string::npos) << why;
  EXPECT_EQ(ReadBytes(dir_ + "/spec.db"), "old spec");
  EXPECT_EQ(ReadBytes(dir_ + "/acis.db"), "old acis");
}

// Whoever may write a shared folder may put a link at the lock file's name to somebody else's
// file: the file is not made writable for all (as a run of its owner or of root would do), and
// whatever would replace files is refused with a text naming the lock file.
TEST_F(FolderLock, ALinkAtTheLockFilesNameLeavesItsTargetAloneAndRefusesTheSwap) {
  const std::string victim = dir_ + "/victim";
  WriteBytes(victim, "somebody's file");
  ASSERT_EQ(::chmod(victim.c_str(), 0600), 0);
  for (const bool symbolic : {true, false}) {
    SCOPED_TRACE(symbolic ? "symbolic link" : "hard link");
    ::unlink(LockFile().c_str());
    ASSERT_EQ(symbolic ? ::symlink(victim.c_str(), LockFile().c_str()) : ::link(victim.c_str(), LockFile().c_str()), 0);
    {
      TDbUpdateLock update(dir_);
      EXPECT_FALSE(update.Held());
      EXPECT_NE(update.Why().find(".qm-swap.lock"), std::string::npos) << update.Why();
      TDbSwapLock swap(dir_, TDbSwapLock::Exclusive, 0);
      EXPECT_FALSE(swap.Held());
      EXPECT_NE(swap.Why().find(".qm-swap.lock"), std::string::npos) << swap.Why();
    }
    struct stat st {};
    ASSERT_EQ(::stat(victim.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_EQ(ReadBytes(victim), "somebody's file");
  }
}

// Two users of one folder: while the first holds the update lock and a reader's lock, the
// second is refused the update and cannot swap; once the first is gone the second may update.
TEST_F(FolderLock, ASecondUserCannotBypassTheLock) {
  if (!SharedFolder()) GTEST_SKIP() << "a second user needs the test to run as root";
  int toFirst[2], fromFirst[2];
  ASSERT_EQ(::pipe(toFirst), 0);
  ASSERT_EQ(::pipe(fromFirst), 0);
  const std::string dir = dir_;
  const pid_t first = ::fork();
  if (first == 0) {
    ::close(toFirst[1]);
    ::close(fromFirst[0]);
    if (::setgroups(0, nullptr) != 0 || ::setgid(kFirstUser) != 0 || ::setuid(kFirstUser) != 0) ::_exit(78);
    ::umask(022);
    char held = 'n';
    {
      TDbUpdateLock update(dir);
      TDbSwapLock reader(dir, TDbSwapLock::Shared, 0);
      if (update.Held() && reader.Held()) held = 'y';
      if (::access(dir.c_str(), X_OK) != 0) held = 's';
      (void)!::write(fromFirst[1], &held, 1);
      char go = 0;
      (void)!::read(toFirst[0], &go, 1);
    }
    ::_exit(0);
  }
  ::close(toFirst[0]);
  ::close(fromFirst[1]);
  // The first user ends with the test, also when an assertion below returns early: its pipe
  // closed, it lets go of its locks and is reaped.
  struct TFirstUser {
    pid_t pid;
    int go, answers;
    void End() {
      if (pid <= 0) return;
      ::close(go);
      ::close(answers);
      ::waitpid(pid, nullptr, 0);
      pid = 0;
    }
    ~TFirstUser() { End(); }
  } firstUser{first, toFirst[1], fromFirst[0]};
  char held = 0;
  ASSERT_EQ(::read(fromFirst[0], &held, 1), 1);
  if (held == 's') GTEST_SKIP() << "another user cannot reach " << dir_;
  EXPECT_EQ(held, 'y');
  // 1: the update lock was refused; 2: so was the swap lock; 0: both refused.
  const int second = AsUser(kSecondUser, dir_, [&] {
    TDbUpdateLock update(dir);
    if (update.Held()) return 1;
    if (update.Why().find(kDbFolderInUse) == std::string::npos) return 3;
    TDbSwapLock swap(dir, TDbSwapLock::Exclusive, 0);
    return swap.Held() ? 2 : 0;
  });
  const char go = 'g';
  (void)!::write(toFirst[1], &go, 1);
  firstUser.End();
  EXPECT_EQ(second, 0);
  // The first user is gone: the second takes the lock file the first one made.
  EXPECT_EQ(AsUser(kSecondUser, dir_, [&] { return TDbUpdateLock(dir).Held() ? 0 : 1; }), 0);
}

// A lock file that another user made without write permission for others (as an older
// version did): a second user who may write the folder is refused with a text naming the lock
// file, and may still read. In a folder nobody but its owner may write, the second user goes
// on without the lock: nothing can be replaced there.
TEST_F(FolderLock, AnotherUsersLockFileRefusesAndAFolderThatCannotBeWrittenNeedsNone) {
  if (!SharedFolder()) GTEST_SKIP() << "a second user needs the test to run as root";
  WriteBytes(LockFile(), "");
  ::chmod(LockFile().c_str(), 0644);
  const std::string dir = dir_;
  const int refused = AsUser(kSecondUser, dir_, [&] {
    TDbUpdateLock update(dir);
    if (update.Held()) return 1;
    if (update.Why().find(".qm-swap.lock") == std::string::npos) return 2;
    TDbSwapLock reader(dir, TDbSwapLock::Shared, 0);
    return reader.Held() ? 0 : 3;
  });
  if (refused == 77) GTEST_SKIP() << "another user cannot reach " << dir_;
  EXPECT_EQ(refused, 0);

  const std::string closed = dir_ + "/closed";
  fs::create_directory(closed);
  ::chmod(closed.c_str(), 0755);
  EXPECT_EQ(AsUser(kSecondUser, closed, [&] {
              TDbUpdateLock update(closed);
              TDbSwapLock swap(closed, TDbSwapLock::Exclusive, 0);
              return update.Held() && swap.Held() ? 0 : 1;
            }),
            0);
}
