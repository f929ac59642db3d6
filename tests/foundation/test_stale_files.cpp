// Temporary names that carry their writer's process id, and their removal once it is gone.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QTemporaryDir>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <set>

#include "foundation/stale_files.h"

namespace fs = std::filesystem;

TEST(StaleFiles, NamesAndTheirOwners) {
  EXPECT_EQ(TempNameOwner("acis.db.build-1234"), 1234);
  EXPECT_EQ(TempNameOwner("acis.db.build-1234-journal"), 1234);
  EXPECT_EQ(TempNameOwner("spec.db.prev-77"), 77);
  EXPECT_EQ(TempNameOwner("toroku.zip.part-42-Ab9xYz"), 42);
  EXPECT_EQ(TempNameOwner("spec.zip.qmcopy-42-Ab9xYz"), 42);
  EXPECT_EQ(TempNameOwner(".qm-unpack-9-Ab9xYz"), 9);
  EXPECT_EQ(TempNameOwner(".qm-install-9-Ab9xYz"), 9);
  // Names of earlier versions, without an id.
  EXPECT_EQ(TempNameOwner("toroku.zip.part-Ab9xYz"), 0);
  EXPECT_EQ(TempNameOwner(".qm-unpack-Ab9xYz"), 0);
  // Anything else is no temporary name.
  for (const char* other : {"acis.db", "spec.db", "acis.db.build-", "acis.db.build-12a", "notes.part-of-it.txt",
                            "toroku.zip.part-42-toolongname", ".qm-unpackX", "a.prev-1-journal", "kwlists.txt.new"})
    EXPECT_EQ(TempNameOwner(other), -1) << other;
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
  touch("acis.db.build-" + g, std::chrono::seconds(0));
  touch("acis.db.build-" + g + "-journal", std::chrono::seconds(0));
  touch("x.zip.part-" + g + "-abcdef", std::chrono::seconds(0));
  fs::create_directories(dir + "/.qm-unpack-" + g + "-abcdef/sub");
  touch("acis.db.build-" + a, std::chrono::seconds(0));  // its owner is at work
  // Its owner is at work too, whatever the file's time says (a copy keeps its source's time).
  touch("y.zip.part-" + a + "-abcdef", std::chrono::hours(20));
  // Names without an owner (an earlier version's) cannot be told from a live run's: kept, old
  // or new.
  touch("old.zip.part-abcdef", std::chrono::hours(25 * 24));
  touch("new.zip.part-abcdef", std::chrono::hours(1));
  touch("acis.db", std::chrono::hours(48));

  std::vector<std::string> logged;
  EXPECT_EQ(RemoveStaleTempFiles(dir, [&](const std::string& l) { logged.push_back(l); }), 4);
  EXPECT_EQ(logged.size(), 4u);
  std::set<std::string> left;
  for (const auto& e : fs::directory_iterator(dir)) left.insert(e.path().filename().string());
  EXPECT_EQ(left, (std::set<std::string>{"acis.db.build-" + a, "y.zip.part-" + a + "-abcdef", "new.zip.part-abcdef",
                                         "old.zip.part-abcdef", "acis.db"}));
  ::kill(alive, SIGKILL);
  ::waitpid(alive, nullptr, 0);
  EXPECT_EQ(RemoveStaleTempFiles(dir), 2);
}
