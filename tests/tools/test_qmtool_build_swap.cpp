// Two runs on one database folder, and runs killed in the middle of putting a new acis.db and
// spec.db in place: a second build refuses while the first runs (and takes nothing of it), and
// whatever a killed swap left is finished by the next build or start, never thrown away.
// The builds are real qmtool processes; they stop or die at named points of their own (the
// fault points of the test builds), so nothing here depends on timing.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QTemporaryDir>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "common/test_support.h"
#include "support_qmtool_process.h"
#include "database/sqlite_db.h"
#include "foundation/fault_point.h"
#include "foundation/options.h"
#include "update/leftover_cleanup.h"

namespace fs = std::filesystem;

namespace {

const std::string kSample = SourcePath("data/sample");

using qmtool_process::Text;

// A builds folder whose masters carry the build's generation in spec.qm_gen, so that a reader
// can tell whether acis.db (data date "gen N") and spec.db belong to the same build.
class BuildSwapTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(tmp_.isValid());
    root_ = tmp_.path().toStdString();
    db_ = root_ + "/db";
    masters_ = root_ + "/masters";
    out_ = root_ + "/out.txt";
    fs::create_directories(masters_);
    for (const auto& e : fs::directory_iterator(kSample + "/masters"))
      fs::copy_file(e.path(), masters_ / e.path().filename());
    base_ = Text(kSample + "/masters/spec.rakuyokaju.txt");
    start_ = fs::file_time_type::clock::now();
  }

  // The arguments of a build of generation Gen; a build whose basics file is given (one that
  // fails for want of it) leaves the masters as they are.
  std::vector<std::string> Args(int gen, const std::string& kihon = {}) {
    const std::string script = masters_ + "/spec.rakuyokaju.txt";
    if (kihon.empty()) {
      std::ofstream(script, std::ios::binary) << base_ << "\nDROP TABLE IF EXISTS spec.qm_gen;\n"
                                              << "CREATE TABLE spec.qm_gen AS SELECT " << gen << " AS gen;\n";
      fs::last_write_time(script, start_ + std::chrono::seconds(10 * (gen + 1)));
    }
    return {"build", "--db", db_, "--masters", masters_, "--source", "2", "--kihon",
            kihon.empty() ? kSample + "/mirror/kihon.csv" : kihon, "--tekiyo", kSample + "/mirror/tekiyo.csv",
            "--date", "gen " + std::to_string(gen), "--quiet"};
  }

  // "gen N|gen N|<uses>|<classification rows>" when both files are whole; what is wrong else.
  std::string Pair() {
    if (!fs::exists(db_ + "/acis.db")) return "no acis.db";
    if (!fs::exists(db_ + "/spec.db")) return "no spec.db";
    try {
      TSQLiteDb db(db_ + "/acis.db");
      db.ExecSQL("ATTACH '" + db_ + "/spec.db' AS spec");
      auto one = [&](const std::string& sql) {
        auto t = db.GetTable(sql);
        return t->Count() ? t->FieldAsString(0) : std::string("<none>");
      };
      if (one("PRAGMA integrity_check") != "ok" || one("PRAGMA spec.integrity_check") != "ok") return "damaged";
      return one("SELECT Value FROM info WHERE Item = 'LastUpdate'") + "|gen " + one("SELECT gen FROM spec.qm_gen") +
             "|" + one("SELECT count(*) FROM m_tekiyo") + "|" + one("SELECT count(*) FROM spec.bunrui");
    } catch (const std::exception& e) {
      return e.what();
    }
  }

  // Runs qmtool with one extra environment variable (empty name: none); output goes to OutFile.
  pid_t Spawn(const std::vector<std::string>& args, const std::string& outFile, const std::string& envName = {},
              const std::string& envValue = {}) {
    return children_.Spawn(args, outFile, [&] {
      if (!envName.empty()) ::setenv(envName.c_str(), envValue.c_str(), 1);
    });
  }
  int Wait(pid_t pid) { return children_.Wait(pid); }
  bool WaitStopped(pid_t pid) { return children_.WaitStopped(pid); }

  std::string Expected(int gen) { return "gen " + std::to_string(gen) + "|gen " + std::to_string(gen) + "|" + uses_ + "|" + bunrui_; }

  // The first build of the folder: generation 0, whose counts every later build repeats.
  void BuildFirst() {
    ASSERT_EQ(Wait(Spawn(Args(0), out_)), 0) << Text(out_);
    const std::string pair = Pair();
    const size_t a = pair.find('|', pair.find('|') + 1), b = pair.rfind('|');
    ASSERT_EQ(pair.substr(0, a), "gen 0|gen 0") << pair;
    uses_ = pair.substr(a + 1, b - a - 1);
    bunrui_ = pair.substr(b + 1);
    ASSERT_NE(bunrui_, "0");
  }

  std::vector<std::string> Leftovers() {
    std::vector<std::string> out;
    for (const auto& e : fs::directory_iterator(db_)) {
      const std::string n = e.path().filename().string();
      if (n.find(".build-") != std::string::npos || n.find(".prev-") != std::string::npos ||
          n.find("journal") != std::string::npos)
        out.push_back(n);
    }
    return out;
  }

  QTemporaryDir tmp_;
  std::string root_, db_, masters_, out_, base_, uses_, bunrui_;
  fs::file_time_type start_;
  qmtool_process::TChildren children_;  // after tmp_: the children end before their folder goes
};

}  // namespace

// A second build of the folder while the first one runs says the folder is in use and leaves
// the first one's files alone, also when spec.db was last written long ago (its copy then
// looks old), and so does a program that starts meanwhile; the first build ends with a whole
// pair.
TEST_F(BuildSwapTest, SecondBuildRefusesWhileTheFirstRunsAndTakesNothingOfIt) {
  QM_REQUIRE_FAULT_SEAM();
  BuildFirst();
  fs::last_write_time(db_ + "/spec.db", fs::file_time_type::clock::now() - std::chrono::hours(20));
  const pid_t first = Spawn(Args(1), out_, "QM_STOP_AT", "build-copied");
  ASSERT_TRUE(WaitStopped(first));
  ASSERT_TRUE(fs::exists(db_ + "/.qm-spec.db.build-" + std::to_string(first)));

  const std::string secondOut = root_ + "/second.txt";
  EXPECT_NE(Wait(Spawn(Args(2, root_ + "/missing-kihon.csv"), secondOut)), 0);
  EXPECT_NE(Text(secondOut).find("別の更新で使用中です"), std::string::npos) << Text(secondOut);
  EXPECT_TRUE(fs::exists(db_ + "/.qm-spec.db.build-" + std::to_string(first)));
  // A program starting meanwhile (another instance, "/r") leaves the folder alone too.
  TOptionData options(root_ + "/app/");
  options.DBDir = db_;
  options.DownloadDir = root_ + "/download";
  std::vector<std::string> log;
  CleanupLeftoversAtStart(options, [&](const std::string& line) { log.push_back(line); });
  EXPECT_TRUE(fs::exists(db_ + "/.qm-spec.db.build-" + std::to_string(first)));
  ASSERT_EQ(log.size(), 1u);
  EXPECT_NE(log[0].find(db_ + " は別の更新で使用中"), std::string::npos) << log[0];

  children_.Continue(first);
  EXPECT_EQ(Wait(first), 0) << Text(out_);
  EXPECT_EQ(Pair(), Expected(1));
  EXPECT_EQ(Leftovers(), std::vector<std::string>{});
}

// A build killed anywhere in its swap leaves acis.db and spec.db in place, and the next build
// (one that fails for want of its input, so that only the recovery changes anything) finishes
// the swap: the new pair, whole and matched, and nothing left over.
TEST_F(BuildSwapTest, SwapKilledAtAnyStepIsFinishedByTheNextBuild) {
  QM_REQUIRE_FAULT_SEAM();
  BuildFirst();
  int gen = 0;
  for (const char* point : {"swap-begun", "swap-half", "swap-done"}) {
    SCOPED_TRACE(point);
    ++gen;
    ASSERT_EQ(Wait(Spawn(Args(gen), out_, "QM_FAULT_AT", point)), kFaultExitCode) << Text(out_);
    EXPECT_TRUE(fs::exists(db_ + "/acis.db"));
    EXPECT_TRUE(fs::exists(db_ + "/spec.db"));
    EXPECT_NE(Wait(Spawn(Args(gen, root_ + "/missing-kihon.csv"), out_)), 0);
    EXPECT_EQ(Pair(), Expected(gen)) << Text(out_);
    EXPECT_EQ(Leftovers(), std::vector<std::string>{});
  }
  // A build after all that runs as usual.
  ASSERT_EQ(Wait(Spawn(Args(9), out_)), 0) << Text(out_);
  EXPECT_EQ(Pair(), Expected(9));
}

// The program's start finishes a swap that a killed build left half done, as a build does.
TEST_F(BuildSwapTest, StartFinishesASwapThatAKilledBuildLeftHalfDone) {
  QM_REQUIRE_FAULT_SEAM();
  BuildFirst();
  ASSERT_EQ(Wait(Spawn(Args(1), out_, "QM_FAULT_AT", "swap-half")), kFaultExitCode) << Text(out_);
  TOptionData options(root_ + "/app/");
  options.DBDir = db_;
  options.DownloadDir = root_ + "/download";
  std::vector<std::string> log;
  CleanupLeftoversAtStart(options, [&](const std::string& line) { log.push_back(line); });
  EXPECT_EQ(Pair(), Expected(1));
  EXPECT_EQ(Leftovers(), std::vector<std::string>{});
  ASSERT_FALSE(log.empty());
  EXPECT_NE(log.front().find("acis.db"), std::string::npos) << log.front();
}

// A build that a test leaves stopped at a fault point (an assertion failed before it let the
// build go on) ends with the test: it is not left stopped, holding the folder, for good.
TEST_F(BuildSwapTest, ABuildLeftStoppedEndsWithItsTest) {
  QM_REQUIRE_FAULT_SEAM();
  BuildFirst();
  pid_t stopped = 0;
  {
    qmtool_process::TChildren children;
    stopped = children.Spawn(Args(1), out_, [] { ::setenv("QM_STOP_AT", "build-copied", 1); });
    ASSERT_TRUE(children.WaitStopped(stopped));
  }
  errno = 0;
  EXPECT_EQ(::waitpid(stopped, nullptr, WNOHANG), -1) << "the child is still there";
  EXPECT_EQ(errno, ECHILD);
  // The next build takes the folder as usual.
  EXPECT_EQ(Wait(Spawn(Args(2), out_)), 0) << Text(out_);
  EXPECT_EQ(Pair(), Expected(2));
}
