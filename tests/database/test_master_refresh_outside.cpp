// Master scripts that fail for a reason outside them (spec.db not attached, a database folder
// that cannot be written): the copy is not remembered as a bad one, the failure is said once,
// nothing is fetched that could not be run, and the tables come back once the cause is gone.
#include <gtest/gtest.h>
#include <linux/capability.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>

#include "database/acis_db.h"
#include "database/master_refresh.h"
#include "foundation/message_sink.h"
#include "support_acis_fixture.h"

namespace fs = std::filesystem;

namespace {

// Serves one script, newer than any local copy, and counts the requests.
class TCountingDownloader : public TMasterDownloader {
 public:
  std::vector<std::string> Requests;
  bool IsInternetConnected() override { return true; }
  std::string MirrorSiteUrl(int) override { return "http://127.0.0.1:9/data/"; }
  TResult Download(const std::string& Url, const std::string&, const std::string& TempFile) override {
    Requests.push_back(Url);
    if (Url.find("spec.seizai.txt") == std::string::npos) return {false, 404, "Not Found"};
    std::ofstream(TempFile, std::ios::binary) << "CREATE TABLE IF NOT EXISTS spec.seizai (bango, name);\r\n"
                                                 << "INSERT INTO spec.seizai VALUES (9,'x');\r\n";
    return {true, 200, "OK"};
  }
};

size_t FailedCopies(const std::string& folder) {
  size_t n = 0;
  for (const auto& e : fs::directory_iterator(folder))
    if (e.path().extension() == ".failed") ++n;
  return n;
}

size_t LinesWith(const std::vector<std::string>& lines, const std::string& part) {
  size_t n = 0;
  for (const auto& l : lines)
    if (l.find(part) != std::string::npos) ++n;
  return n;
}

// Takes from this process the super-user's right to write, read and search where the modes do
// not let it: it stays the owner of what it owns (so it still reaches the temporary folder,
// whatever that folder's mode and place) but, as any user, cannot write in a folder whose mode
// says no.
bool DropTheRightToIgnoreFileModes() {
  __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
  __user_cap_data_struct data[2]{};
  if (::syscall(SYS_capget, &header, data) != 0) return false;
  for (const unsigned cap : {CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH, CAP_FOWNER}) {
    const unsigned bit = 1u << (cap % 32);
    data[cap / 32].effective &= ~bit;
    data[cap / 32].permitted &= ~bit;
    data[cap / 32].inheritable &= ~bit;
  }
  return ::syscall(SYS_capset, &header, data) == 0;
}

}  // namespace

// spec.db cannot be attached: every script into it fails with "unknown database spec". That is
// said once for the pass (beside the failed attach), no copy is remembered as bad, and the next
// open with spec.db in place makes the tables from the local copies.
TEST(MasterRefreshOutside, AMissingAttachedDatabaseIsNoFaultOfTheScripts) {
  TAcisFixture fx;
  TLogMessageSink sink;
  TScopedMessageSink scoped{&sink};
  for (const auto& e : fs::directory_iterator(DataPath("masters")))
    fs::copy_file(e.path(), fx.DownloadDir + "/" + e.path().filename().string());
  TAcisDBSettings s = fx.Settings(true);
  s.SpecFile = fx.DBDir + "/no/such/folder/spec.db";
  {
    TAcisDB db(fx.DBDir + "/acis.db", s, [&fx](const std::string& l) { fx.LogLines.push_back(l); });
    EXPECT_FALSE(db.TableExists("bunrui"));
  }
  EXPECT_LE(sink.Count(), 2u) << "one for the attach, one for the scripts";
  EXPECT_EQ(FailedCopies(fx.DownloadDir), 0u);
  EXPECT_FALSE(fx.Logged("実行に失敗したコピー"));

  sink.Clear();
  auto db = fx.Open(true);
  for (const char* t : {"bunrui", "koka", "seizai", "frac_mg", "cvo"}) EXPECT_TRUE(db->TableExists(t)) << t;
  EXPECT_EQ(sink.Count(), 0u);
}

// A database folder that cannot be written: the open says so once in the log, fetches no
// script and shows nothing. Run as a user that cannot write there: when the tests run as the
// super-user, who may write anywhere, in a child process that gives up that right (and only
// that: another user might not reach a private temporary folder).
TEST(MasterRefreshOutside, AReadOnlyDatabaseFolderIsSaidOnceAndNothingIsFetched) {
  TAcisFixture fx;
  TLogMessageSink sink;
  TScopedMessageSink scoped{&sink};
  TCountingDownloader mirror;
  TAcisDBSettings s = fx.Settings(false);
  s.Downloader = &mirror;
  {
    TAcisDB db(fx.DBDir + "/acis.db", s, nullptr);
    ASSERT_TRUE(db.TableExists("spec.seizai"));
  }
  const bool root = ::geteuid() == 0;
  fs::permissions(fx.DBDir, fs::perms(0555));
  auto openReadOnly = [&]() -> int {
    mirror.Requests.clear();
    sink.Clear();
    fx.LogLines.clear();
    int code = 0;
    try {
      TAcisDB db(fx.DBDir + "/acis.db", s, [&fx](const std::string& l) { fx.LogLines.push_back(l); });
      if (!mirror.Requests.empty()) code |= 1;
      if (sink.Count() != 0) code |= 2;
      if (LinesWith(fx.LogLines, "に書き込めないため、マスターテーブルの更新を省略します") != 1) code |= 4;
      if (!db.TableExists("spec.seizai")) code |= 8;
    } catch (...) {
      code |= 16;
    }
    return code;
  };
  int code = 0;
  if (!root) {
    code = openReadOnly();
  } else {
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      if (!DropTheRightToIgnoreFileModes()) ::_exit(32);
      ::_exit(openReadOnly());
    }
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    code = WEXITSTATUS(status);
  }
  fs::permissions(fx.DBDir, fs::perms(0755));
  EXPECT_EQ(code & 1, 0) << "scripts were fetched";
  EXPECT_EQ(code & 2, 0) << "messages were shown";
  EXPECT_EQ(code & 4, 0) << "the folder was not named exactly once";
  EXPECT_EQ(code & 8, 0) << "the database could not be read";
  EXPECT_EQ(code & 48, 0) << "the open failed (" << code << ")";
}
