// qmtool build under harm, as a real process: killed with SIGKILL at random moments, run out of
// file space (a file-size limit on the process, which fails its writes the way a full disk
// does), and builds swapping new files in while readers open and read the database beside
// them. acis.db and spec.db stay whole and paired, leftovers go at the next build, and a failed
// build reports its first failure.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QTemporaryDir>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <set>
#include <sstream>
#include <thread>

#include "common/test_support.h"
#include "support_qmtool_process.h"
#include "database/acis_db.h"
#include "database/db_swap_lock.h"
#include "database/sqlite_db.h"

namespace fs = std::filesystem;

namespace {

const std::string kSample = SourcePath("data/sample");

std::vector<std::string> BuildArgs(const std::string& db, const std::string& masters, const std::string& date) {
  return {"build", "--db", db, "--masters", masters, "--source", "2", "--kihon", kSample + "/mirror/kihon.csv",
          "--tekiyo", kSample + "/mirror/tekiyo.csv", "--date", date, "--quiet"};
}

using qmtool_process::Text;
using qmtool_process::Wait;

// Starts qmtool; FileSizeLimit > 0 caps every file the process writes (writes beyond it fail
// with EFBIG, the signal that would kill the process is ignored). Output goes to OutFile.
pid_t Spawn(const std::vector<std::string>& args, const std::string& outFile, rlim_t fileSizeLimit = 0) {
  return qmtool_process::Spawn(args, outFile, [fileSizeLimit] {
    if (fileSizeLimit > 0) {
      ::signal(SIGXFSZ, SIG_IGN);
      struct rlimit rl {fileSizeLimit, fileSizeLimit};
      ::setrlimit(RLIMIT_FSIZE, &rl);
    }
  });
}

std::string One(TSQLiteDb& db, const std::string& sql) {
  auto t = db.GetTable(sql);
  return t->Count() ? t->FieldAsString(0) : "<none>";
}

std::vector<std::string> Leftovers(const std::string& dir) {
  std::vector<std::string> out;
  for (const auto& e : fs::directory_iterator(dir)) {
    const std::string n = e.path().filename().string();
    if (n.find(".build-") != std::string::npos || n.find(".prev-") != std::string::npos) out.push_back(n);
  }
  return out;
}

// The content a build of the sample register gives, read through both files.
std::string Content(const std::string& dir) {
  TSQLiteDb db(dir + "/acis.db");
  db.ExecSQL("ATTACH '" + dir + "/spec.db' AS spec");
  return One(db, "PRAGMA integrity_check") + "|" + One(db, "PRAGMA spec.integrity_check") + "|" +
         One(db, "SELECT count(*) FROM m_tekiyo") + "|" + One(db, "SELECT count(*) FROM tekiyo") + "|" +
         One(db, "SELECT count(*) FROM spec.bunrui") + "|" + One(db, "SELECT Value FROM info WHERE Item = 'LastUpdate'");
}

}  // namespace

TEST(QmtoolBuildHarm, KilledBuildsHarmNothingAndTheirFilesGoAtTheNextBuild) {
  QTemporaryDir tmp;
  const std::string db = tmp.path().toStdString() + "/db", log = tmp.path().toStdString() + "/out.txt";
  const auto args = BuildArgs(db, kSample + "/masters", "2026年11月4日反映");
  ASSERT_EQ(Wait(Spawn(args, log)), 0) << Text(log);
  const std::string expected = Content(db);
  ASSERT_EQ(expected.substr(0, 6), "ok|ok|");

  std::mt19937 rng(20261104);
  int killedWhileBuilding = 0;
  for (int i = 0; i < 8; ++i) {
    const pid_t pid = Spawn(args, log);
    const std::string buildFile = db + "/.qm-acis.db.build-" + std::to_string(pid);
    // Wait for the build file, then kill at a random moment of the build.
    for (int k = 0; k < 5000 && !fs::exists(buildFile); ++k) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    std::this_thread::sleep_for(std::chrono::milliseconds(std::uniform_int_distribution<int>(0, 250)(rng)));
    ::kill(pid, SIGKILL);
    if (Wait(pid) == -SIGKILL && fs::exists(buildFile)) ++killedWhileBuilding;
    // Whatever the moment, the database in place is whole, and acis.db and spec.db belong
    // together.
    EXPECT_EQ(Content(db), expected) << "kill " << i;
  }
  EXPECT_GT(killedWhileBuilding, 0);
  // One more, killed as soon as its build file appears: its files stay behind...
  const pid_t pid = Spawn(args, log);
  for (int k = 0; k < 5000 && !fs::exists(db + "/.qm-acis.db.build-" + std::to_string(pid)); ++k)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  ::kill(pid, SIGKILL);
  Wait(pid);
  EXPECT_FALSE(Leftovers(db).empty());
  // ...until the next build.

  ASSERT_EQ(Wait(Spawn(args, log)), 0) << Text(log);
  EXPECT_EQ(Leftovers(db), std::vector<std::string>{});
  EXPECT_EQ(Content(db), expected);
}

TEST(QmtoolBuildHarm, BuildThatRunsOutOfSpaceReportsItsFirstFailure) {
  QTemporaryDir tmp;
  const std::string db = tmp.path().toStdString() + "/db", log = tmp.path().toStdString() + "/out.txt";
  const auto args = BuildArgs(db, kSample + "/masters", "2026年11月4日反映");
  ASSERT_EQ(Wait(Spawn(args, log)), 0) << Text(log);
  const std::string expected = Content(db);
  const std::string acisBytes = Text(db + "/acis.db"), specBytes = Text(db + "/spec.db");

  // From no room for the copy of spec.db to room for most of the build: whichever write
  // fails, the build says so, and not some later step that stumbled over it.
  for (rlim_t limit : {rlim_t(specBytes.size() / 2), rlim_t(specBytes.size() + 32 * 1024),
                       rlim_t(specBytes.size() + 160 * 1024), rlim_t(specBytes.size() + 256 * 1024),
                       rlim_t(acisBytes.size() - 64 * 1024)}) {
    SCOPED_TRACE(limit);
    EXPECT_NE(Wait(Spawn(args, log, limit)), 0);
    const std::string out = Text(log);
    const size_t at = out.find("qmtool build: failed:");
    ASSERT_NE(at, std::string::npos) << out;
    // The failure text may quote a script over several lines; the counts follow it.
    const std::string failure = out.substr(at, out.find("\nkihon:", at) - at);
    EXPECT_TRUE(failure.find("disk I/O error") != std::string::npos || failure.find("disk is full") != std::string::npos ||
                failure.find("複製できません") != std::string::npos || failure.find("書き込めません") != std::string::npos)
        << failure;
    for (const char* later : {"Transaction already open", "Safety level may not be changed", "cannot start a transaction"})
      EXPECT_EQ(out.find(later), std::string::npos) << out;
    EXPECT_TRUE(Text(db + "/acis.db") == acisBytes);
    EXPECT_TRUE(Text(db + "/spec.db") == specBytes);
    EXPECT_EQ(Leftovers(db), std::vector<std::string>{});
  }
  EXPECT_EQ(Content(db), expected);
}

// Builds that each bring new master data (a table spec.qm_gen holding the build's number) and
// the data date "gen <n>", while readers open the database and read both files over and over:
// no read fails (other than being told plainly that the data are being replaced) and every
// reader sees acis.db and spec.db of one build.
TEST(QmtoolBuildHarm, ReadersBesideBuildsSeeOneGenerationAndNeverFail) {
  QTemporaryDir tmp;
  const std::string root = tmp.path().toStdString();
  const std::string db = root + "/db", masters = root + "/masters", log = root + "/out.txt";
  fs::create_directories(masters);
  for (const auto& e : fs::directory_iterator(kSample + "/masters")) fs::copy_file(e.path(), masters / e.path().filename());
  const std::string base = Text(kSample + "/masters/spec.rakuyokaju.txt");
  const auto start = fs::file_time_type::clock::now();
  auto prepare = [&](int gen) {
    const std::string script = masters + "/spec.rakuyokaju.txt";
    std::ofstream(script, std::ios::binary) << base << "\nDROP TABLE IF EXISTS spec.qm_gen;\nCREATE TABLE spec.qm_gen AS SELECT "
                                            << gen << " AS gen;\n";
    fs::last_write_time(script, start + std::chrono::seconds(10 * (gen + 1)));
  };
  prepare(0);
  ASSERT_EQ(Wait(Spawn(BuildArgs(db, masters, "gen 0"), log)), 0) << Text(log);

  constexpr int kBuilds = 6;
  std::atomic<bool> done{false};
  std::atomic<int> failedBuilds{0};
  std::thread builder([&] {
    for (int gen = 1; gen <= kBuilds; ++gen) {
      prepare(gen);
      if (Wait(Spawn(BuildArgs(db, masters, "gen " + std::to_string(gen)), log)) != 0) ++failedBuilds;
    }
    done = true;
  });
  TAcisDBSettings settings;
  settings.DBDir = db;
  settings.DownloadDir = root + "/reader-download";
  settings.DBDownSite = 3;  // read as it is
  int reads = 0, plainRefusals = 0;
  std::vector<std::string> problems;
  std::set<std::string> seen;
  while (!done || reads < 20) {
    try {
      TAcisDB reader(db + "/acis.db", settings);
      auto t = reader.FDb->GetTable(
          "SELECT (SELECT Value FROM info WHERE Item = 'LastUpdate'), (SELECT gen FROM spec.qm_gen), "
          "(SELECT count(*) FROM tekiyo JOIN spec.seizai USING(bango))");
      const std::string date = t->FieldAsString(0), gen = "gen " + t->FieldAsString(1);
      if (date != gen) problems.push_back("acis.db of " + date + " with spec.db of " + gen);
      seen.insert(date);
      ++reads;
    } catch (const ESQLiteException& e) {
      if (std::string(e.what()).find(kDataBeingReplaced) != std::string::npos)
        ++plainRefusals;
      else if (problems.size() < 10)
        problems.push_back(e.what());
    }
  }
  builder.join();
  EXPECT_EQ(failedBuilds, 0) << Text(log);
  EXPECT_EQ(problems, std::vector<std::string>{});
  EXPECT_GT(reads, 50);
  EXPECT_GE(seen.size(), 2u);  // the readers did run beside the swaps
  EXPECT_EQ(plainRefusals, 0);  // a swap takes milliseconds: nobody waited long enough to be told
  TSQLiteDb check(db + "/acis.db");
  EXPECT_EQ(One(check, "SELECT Value FROM info WHERE Item = 'LastUpdate'"), "gen " + std::to_string(kBuilds));
}
