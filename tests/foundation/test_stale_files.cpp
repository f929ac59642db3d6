// Temporary names that carry their writer's process id, and their removal once it is gone.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QTemporaryDir>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>

#include "foundation/stale_files.h"

namespace fs = std::filesystem;

TEST(StaleFiles, NamesAndTheirOwners) {
  EXPECT_EQ(OwnTempPath("/d/acis.db", "build", "1234"), "/d/.qm-acis.db.build-1234");
  EXPECT_EQ(OwnTempPath("spec.db", "prev", "77"), ".qm-spec.db.prev-77");
  EXPECT_EQ(TempNameOwner(".qm-acis.db.build-1234"), 1234);
  EXPECT_EQ(TempNameOwner(".qm-acis.db.build-1234-journal"), 1234);
  EXPECT_EQ(TempNameOwner(".qm-spec.db.prev-77"), 77);
  EXPECT_EQ(TempNameOwner(".qm-toroku.zip.part-42-Ab9xYz"), 42);
  EXPECT_EQ(TempNameOwner(".qm-spec.zip.qmcopy-42-Ab9xYz"), 42);
  EXPECT_EQ(TempNameOwner(".qm-unpack-9-Ab9xYz"), 9);
  EXPECT_EQ(TempNameOwner(".qm-install-9-Ab9xYz"), 9);
  EXPECT_EQ(TempNameOwner(".qm-swap-journal.build-5"), 5);
  // Names of the program's kinds without an id.
  EXPECT_EQ(TempNameOwner(".qm-toroku.zip.part-Ab9xYz"), 0);
  EXPECT_EQ(TempNameOwner(".qm-unpack-Ab9xYz"), 0);
  // Anything else is no temporary name of this program: the names earlier versions wrote
  // without ".qm-" included, since a user's file may be named so.
  for (const char* other : {"acis.db", "spec.db", ".qm-swap.lock", ".qm-swap-journal", ".qm-acis.db.build-",
                            ".qm-acis.db.build-12a", ".qm-notes.part-of-it.txt", ".qm-toroku.zip.part-42-toolongname",
                            ".qm-unpackX", ".qm-a.prev-1-journal", "kwlists.txt.new", "acis.db.build-1234",
                            "acis.db.build-1234-journal", "spec.db.prev-77", "toroku.zip.part-42-Ab9xYz",
                            "spec.zip.qmcopy-42-Ab9xYz", "report.build-2024", "notes.prev-3000"})
    EXPECT_EQ(TempNameOwner(other), -1) << other;
}

// A download folder is any folder the user picks: files that merely look like temporary
// names, and everything in the folders below it, are the user's and stay as they are.
TEST(StaleFiles, TheUsersFilesInTheFolderAndBelowItStay) {
  QTemporaryDir tmp;
  const std::string dir = tmp.path().toStdString();
  fs::create_directories(dir + "/sub");
  const std::map<std::string, std::string> users = {{"report.build-2024", "report"},
                                                    {"sub/thesis.part-1999-abcdef", "thesis"},
                                                    {"notes.prev-3000", "notes"},
                                                    {"sub/.qm-x.zip.part-1999-abcdef", "below"}};
  for (const auto& [name, text] : users) std::ofstream(dir + "/" + name) << text;
  std::vector<std::string> logged;
  EXPECT_EQ(RemoveStaleTempFilesIn({dir}, [&](const std::string& l) { logged.push_back(l); }), 0);
  EXPECT_TRUE(logged.empty());
  for (const auto& [name, text] : users) {
    std::ifstream in(dir + "/" + name);
    std::string got;
    std::getline(in, got);
    EXPECT_EQ(got, text) << name;
  }
  EXPECT_FALSE(fs::exists(dir + "/notes"));
}

TEST(StaleFiles, OnlyFilesOfGoneProcessesAreRemoved) {
  QTemporaryDir tmp;
  const std::string dir = tmp.path().toStdString();
  // A process that ran and ended, and one that still runs.
  const pid_t gone = ::fork();
  if (gone == 0) ::_exit(0);
  ::waitpid(gone, nullptr, 0);
  const pid_t alive = ::fork();
  if (alive == 0) {
    ::pause();
    ::_exit(0);
  }
  auto touch = [&](const std::string& name, std::chrono::seconds age) {
    std::ofstream(dir + "/" + name) << "x";
    fs::last_write_time(dir + "/" + name, fs::file_time_type::clock::now() - age);
  };
  const std::string g = std::to_string(gone), a = std::to_string(alive);
  touch(".qm-acis.db.build-" + g, std::chrono::seconds(0));
  touch(".qm-acis.db.build-" + g + "-journal", std::chrono::seconds(0));
  touch(".qm-x.zip.part-" + g + "-abcdef", std::chrono::seconds(0));
  fs::create_directories(dir + "/.qm-unpack-" + g + "-abcdef/sub");
  touch(".qm-acis.db.build-" + a, std::chrono::seconds(0));  // its owner is at work
  // Its owner is at work too, whatever the file's time says (a copy keeps its source's time).
  touch(".qm-y.zip.part-" + a + "-abcdef", std::chrono::hours(20));
  // Names without an owner cannot be told from a live run's: kept, old or new.
  touch(".qm-old.zip.part-abcdef", std::chrono::hours(25 * 24));
  touch(".qm-new.zip.part-abcdef", std::chrono::hours(1));
  touch("acis.db", std::chrono::hours(48));

  std::vector<std::string> logged;
  EXPECT_EQ(RemoveStaleTempFiles(dir, [&](const std::string& l) { logged.push_back(l); }), 4);
  EXPECT_EQ(logged.size(), 4u);
  std::set<std::string> left;
  for (const auto& e : fs::directory_iterator(dir)) left.insert(e.path().filename().string());
  EXPECT_EQ(left, (std::set<std::string>{".qm-acis.db.build-" + a, ".qm-y.zip.part-" + a + "-abcdef",
                                         ".qm-new.zip.part-abcdef", ".qm-old.zip.part-abcdef", "acis.db"}));
  ::kill(alive, SIGKILL);
  ::waitpid(alive, nullptr, 0);
  EXPECT_EQ(RemoveStaleTempFiles(dir), 2);
}

// A kept copy (".qm-<name>.prev-<pid>") of a run that died goes back in place when its file is
// gone; a temporary file a run made beside it is removed, never put in the file's place.
TEST(StaleFiles, OnlyAKeptCopyIsPutBack) {
  QTemporaryDir tmp;
  const std::string dir = tmp.path().toStdString();
  const pid_t gone = ::fork();
  if (gone == 0) ::_exit(0);
  ::waitpid(gone, nullptr, 0);
  const std::string g = std::to_string(gone);
  std::ofstream(dir + "/.qm-a.prev-" + g + ".zip.part-" + g + "-abcdef") << "part";
  std::ofstream(dir + "/.qm-b.prev-" + g) << "kept";
  EXPECT_EQ(RemoveStaleTempFiles(dir), 2);
  std::set<std::string> left;
  for (const auto& e : fs::directory_iterator(dir)) left.insert(e.path().filename().string());
  EXPECT_EQ(left, (std::set<std::string>{"b"}));
  std::ifstream in(dir + "/b");
  std::string got;
  std::getline(in, got);
  EXPECT_EQ(got, "kept");
}
