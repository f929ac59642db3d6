// The swap of a newly built acis.db and spec.db when one of its renames fails inside the
// running process: everything goes back as it was, the new files go, and nothing is left for
// the next run to finish.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QTemporaryDir>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "database/db_swap_journal.h"
#include "foundation/stale_files.h"

namespace fs = std::filesystem;

namespace {

void Write(const std::string& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

std::string Read(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  std::ostringstream s;
  s << f.rdbuf();
  return s.str();
}

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
    Write(dir_ + "/.qm-spec.db.build-" + OwnerTag(), "new spec");
    Write(dir_ + "/.qm-acis.db.build-" + OwnerTag(), "new acis");
  }
  QTemporaryDir tmp_;
  std::string dir_;
};

}  // namespace

// The second rename fails (acis.db is a folder that is not empty): spec.db, already replaced,
// is put back from the kept copy.
TEST_F(SwapUndo, ASecondRenameThatFailsPutsTheFirstBack) {
  Write(dir_ + "/spec.db", "old spec");
  fs::create_directories(dir_ + "/acis.db/inside");
  const std::string why = SwapBuiltPair(dir_);
  EXPECT_NE(why.find("acis.db を置き換えられません"), std::string::npos) << why;
  EXPECT_EQ(Read(dir_ + "/spec.db"), "old spec");
  EXPECT_TRUE(fs::is_directory(dir_ + "/acis.db/inside"));
  EXPECT_EQ(Names(dir_), (std::set<std::string>{"spec.db", "acis.db", ".qm-swap.lock"}));
  // Nothing is left that the next run would finish or undo.
  EXPECT_EQ(RecoverDatabaseFolder(dir_), 0);
  EXPECT_EQ(Read(dir_ + "/spec.db"), "old spec");
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
  Write(dir_ + "/acis.db", "old acis");
  fs::create_directories(dir_ + "/spec.db/inside");
  const std::string why = SwapBuiltPair(dir_);
  EXPECT_FALSE(why.empty());
  EXPECT_EQ(Read(dir_ + "/acis.db"), "old acis");
  EXPECT_TRUE(fs::is_directory(dir_ + "/spec.db/inside"));
  EXPECT_EQ(Names(dir_), (std::set<std::string>{"acis.db", "spec.db", ".qm-swap.lock",
                                                ".qm-spec.db.build-" + OwnerTag(),
                                                ".qm-acis.db.build-" + OwnerTag()}));
  EXPECT_EQ(RecoverDatabaseFolder(dir_), 0);
}
