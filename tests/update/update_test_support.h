#pragma once
// Setup shared by the update tests: whole files, file times, folder listings and a message
// sink that answers every question. The helpers that set things up fail the test when they
// cannot.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/capability.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "foundation/message_sink.h"

namespace updtest {

// The whole file; empty when it cannot be read.
inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

// Sets the modification time (the access time stays). A failure fails the test; the result
// lets a caller stop there.
inline bool SetMTime(const std::string& path, std::time_t t) {
  struct timespec times[2] = {{0, UTIME_OMIT}, {t, 0}};
  const bool ok = ::utimensat(AT_FDCWD, path.c_str(), times, 0) == 0;
  EXPECT_TRUE(ok) << "cannot set the time of " << path;
  return ok;
}

// Writes the whole file, making its folder first, and sets its time when one is given. A
// failure fails the test; the result lets a caller stop there.
inline bool WriteFile(const std::string& path, const std::string& data, std::optional<std::time_t> mtime = {}) {
  std::error_code ec;
  std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ec);
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << data;
  out.close();
  EXPECT_FALSE(out.fail()) << "cannot write " << path;
  return !out.fail() && (!mtime || SetMTime(path, *mtime));
}

// Modification time in seconds (of what a link points to); -1 when there is nothing.
inline std::time_t MTime(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 ? st.st_mtim.tv_sec : -1;
}

// Anything under the name, a link that points nowhere included.
inline bool Exists(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0;
}

// The names directly in a folder, hidden ones and links included, sorted; empty when the
// folder is not there.
inline std::vector<std::string> List(const std::string& dir) {
  std::vector<std::string> out;
  std::error_code ec;
  for (const auto& e : std::filesystem::directory_iterator(dir, ec)) out.push_back(e.path().filename().string());
  std::sort(out.begin(), out.end());
  return out;
}

// Runs Step in a child process that is bound by the folders' modes as any user is: the
// super-user's child drops the capabilities that let it write and search anywhere (it keeps
// its uid, so it still reaches the test's own temporary folder whatever that folder's mode).
// Returns Step's result (0..63), 64 when the capabilities could not be dropped, -1 when the
// child did not end normally.
inline int RunBoundByFolderModes(const std::function<int()>& Step) {
  const pid_t pid = ::fork();
  if (pid < 0) return -1;
  if (pid == 0) {
    if (::geteuid() == 0) {
      __user_cap_header_struct head{_LINUX_CAPABILITY_VERSION_3, 0};
      __user_cap_data_struct caps[2] {};
      if (::syscall(SYS_capget, &head, caps) != 0) ::_exit(64);
      for (int cap : {CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH, CAP_FOWNER}) {
        const unsigned bit = 1u << (cap % 32);
        caps[cap / 32].effective &= ~bit;
        caps[cap / 32].permitted &= ~bit;
        caps[cap / 32].inheritable &= ~bit;
      }
      if (::syscall(SYS_capset, &head, caps) != 0) ::_exit(64);
    }
    ::_exit(Step() & 63);
  }
  int status = 0;
  if (::waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

// Answers every question with a fixed button and counts them.
class TAnsweringSink : public TMessageSink {
 public:
  explicit TAnsweringSink(TMsgAnswer a) : answer_(a) {}
  TMsgAnswer Show(const TMessage&, TMsgButtons, TMsgAnswer) override {
    ++asked;
    return answer_;
  }
  int asked = 0;

 private:
  TMsgAnswer answer_;
};

}  // namespace updtest
