// Prebuilt databases going into the database folder: a run killed in the middle of an install
// never leaves the folder without its database, the next start puts back a kept copy whose
// file is gone, and an archive installs only the database it is named for.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QTemporaryDir>
#include <filesystem>

#include "common/test_support.h"
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

  // A small database whose table t holds one marker value.
  static void MakeDb(const std::string& path, const std::string& marker) {
    fs::create_directories(fs::path(path).parent_path());
    fs::remove(path);
    TSQLiteDb db(path);
    db.ExecSQL("CREATE TABLE t(v TEXT)");
    db.ExecSQL("INSERT INTO t VALUES('" + marker + "')");
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

  // Runs the install in a child process that dies at the named point; its exit code.
  int InstallDyingAt(const std::string& archive, const char* point) {
    const pid_t pid = ::fork();
    if (pid == 0) {
      ::setenv("QM_FAULT_AT", point, 1);
      std::string msg;
      ExtractDatabaseArchive(archive, options_.DBDir, &msg);
      ::_exit(0);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  QTemporaryDir tmp_;
  std::string root_;
  TOptionData options_{"/tmp/"};
};

}  // namespace

// Killed between keeping the old database and putting the new one in place: acis.db is still
// there, and the next start leaves a database in place (the old one or the new one, never none).
TEST_F(InstallTest, KillInTheMiddleOfAnInstallLeavesADatabaseAndTheStartKeepsIt) {
  QM_REQUIRE_FAULT_SEAM();
  MakeDb(Db("acis.db"), "old");
  MakeDb(P("new/acis.db"), "new");
  Zip(P("acis.zip"), P("new"), {"acis.db"});
  ASSERT_EQ(InstallDyingAt(P("acis.zip"), "install-kept"), kFaultExitCode);
  EXPECT_EQ(Marker(Db("acis.db")), "old");

  std::vector<std::string> lines;
  CleanupLeftoversAtStart(options_, [&](const std::string& l) { lines.push_back(l); });
  EXPECT_EQ(Marker(Db("acis.db")), "old");
  EXPECT_EQ(List(options_.DBDir), (std::vector<std::string>{".qm-swap.lock", "acis.db", "download"}));

  // Then the install runs to its end.
  std::string msg;
  ASSERT_TRUE(ExtractDatabaseArchive(P("acis.zip"), options_.DBDir, &msg)) << msg;
  EXPECT_EQ(Marker(Db("acis.db")), "new");
}

// A kept copy whose file is gone (a run killed before it could put the file back) is put back
// by the start, not removed.
TEST_F(InstallTest, StartPutsBackAKeptCopyWhoseFileIsGone) {
  const pid_t gone = ::fork();
  if (gone == 0) ::_exit(0);
  ::waitpid(gone, nullptr, 0);
  MakeDb(Db("acis.db.prev-" + std::to_string(gone)), "kept");
  MakeDb(Db("spec.db"), "spec");
  MakeDb(Db("spec.db.prev-" + std::to_string(gone)), "older spec");
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

  // acis.zip holding only spec.db.
  MakeDb(P("wrong/spec.db"), "new spec");
  Zip(P("dl/acis.zip"), P("wrong"), {"spec.db"});
  TSvrHooks hooks;
  std::vector<std::string> lines;
  hooks.LogMemo = [&](const std::string& l) { lines.push_back(l); };
  std::string why;
  EXPECT_FALSE(InstallPrebuiltArchive(P("dl/acis.zip"), options_.DBDir, hooks, &why));
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
  EXPECT_TRUE(InstallPrebuiltArchive(P("dl/acis.zip"), options_.DBDir, hooks, &why)) << why;
  EXPECT_NE(std::find(lines.begin(), lines.end(), "acis.db 更新"), lines.end());
  EXPECT_EQ(Marker(Db("acis.db")), "new acis");
  EXPECT_EQ(Marker(Db("spec.db")), "old spec");
  EXPECT_EQ(ReadFile(Db("download/sakumotsu.txt")), "the master script");
  EXPECT_EQ(ReadFile(Db("autoupdate.log")), "the last log");
}
