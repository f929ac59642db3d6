// The update runner's log files: the whole log written as one file, and the run logs of the
// unattended runs, appended under a header of their own so that programs sharing a folder keep
// each other's lines.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

#include "foundation/options.h"
#include "foundation/stale_files.h"
#include "update/update_runner.h"

namespace fs = std::filesystem;

namespace {

// The mode a new file of this user gets: 0666 less the umask (read where the system shows it,
// since setting the umask to learn it would change it for every thread meanwhile).
mode_t NewFileMode() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("Umask:", 0) == 0) return 0666 & ~static_cast<mode_t>(std::strtoul(line.c_str() + 6, nullptr, 8));
  return 0644;
}

// The mode File has now, or a new file's when there is none.
mode_t ModeOf(const std::string& File) {
  struct stat st {};
  return ::stat(File.c_str(), &st) == 0 ? st.st_mode & 07777 : NewFileMode();
}

// The whole file replaced by Text (through a temporary file of the program's own name, which
// the start removes when a kill left it, and one rename).  The new file gets Mode, so that the
// other users sharing the folder may read it as they could before.
bool ReplaceWholeFile(const std::string& FileName, const std::string& Text, mode_t Mode, std::string* Why) {
  std::string tmp = OwnTempPath(FileName, "part") + "-XXXXXX";
  std::vector<char> name(tmp.begin(), tmp.end());
  name.push_back('\0');
  const int fd = ::mkostemp(name.data(), O_CLOEXEC);
  if (fd < 0) {
    if (Why) *Why = tmp + " に書き込めません";
    return false;
  }
  tmp = name.data();
  // Written through the descriptor, so that a mode without write permission still takes.
  bool written = true;
  for (size_t done = 0; written && done < Text.size();) {
    const ssize_t n = ::write(fd, Text.data() + done, Text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    written = n > 0;
    if (written) done += static_cast<size_t>(n);
  }
  written = written && ::fchmod(fd, Mode) == 0;
  written = ::close(fd) == 0 && written;
  std::error_code ignored;
  if (!written) {
    if (Why) *Why = tmp + " に書き込めません";
    fs::remove(tmp, ignored);
    return false;
  }
  std::error_code ec;
  fs::rename(tmp, FileName, ec);
  if (!ec) return true;
  // The rename's error is the answer: removing the temporary file must not clear it.
  if (Why) *Why = ec.message();
  fs::remove(tmp, ignored);
  return false;
}

}  // namespace

bool TUpdateRunner::SaveLog(const std::string& FileName, std::string* Why) const {
  std::error_code ec;
  fs::create_directories(fs::path(FileName).parent_path(), ec);
  return ReplaceWholeFile(FileName, LogText(), ModeOf(FileName), Why);
}

namespace {

// The run log stays below this size: the oldest runs go first, whole.
constexpr std::int64_t kRunLogBound = std::int64_t(1) << 20;
// How long a run waits for the lock of its log before its lines go to the error output.
constexpr std::chrono::seconds kLockWait{5};
// Each run's lines begin with this header line.
const char* const kRunHeader = "==== ";

bool WriteAll(int fd, const std::string& text) {
  size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

bool ReadAllFrom(int fd, std::string& out) {
  out.clear();
  char buf[65536];
  for (off_t at = 0;;) {
    const ssize_t n = ::pread(fd, buf, sizeof buf, at);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    if (n == 0) return true;
    out.append(buf, static_cast<size_t>(n));
    at += n;
  }
}

// The later runs of a log that would grow past the bound with Adding more bytes: from the
// first run header that leaves room for half the bound.
std::string KeptRuns(const std::string& old, size_t adding) {
  const size_t keep = static_cast<size_t>(kRunLogBound / 2) > adding ? static_cast<size_t>(kRunLogBound / 2) - adding : 0;
  if (old.size() <= keep) return old;
  const size_t from = old.find(std::string("\n") + kRunHeader, old.size() - keep - 1);
  return from == std::string::npos ? std::string() : old.substr(from + 1);
}

}  // namespace

bool TUpdateRunner::AppendRunLog(const std::string& FileName, std::string* Why) const {
  std::error_code ec;
  fs::create_directories(fs::path(FileName).parent_path(), ec);
  const std::string text = std::string(kRunHeader) + DateTimeNow() + " プログラムフォルダ " + options_.AppDir +
                           " (pid " + std::to_string(::getpid()) + ")\n" + LogText();
  // Runs of programs sharing the folder append one after the other: each holds the file's
  // lock while it writes, and one that trims the file replaces it under that lock (a run
  // waiting on the replaced file opens the new one).
  const auto giveUp = std::chrono::steady_clock::now() + kLockWait;
  for (int attempt = 0; attempt < 10; ++attempt) {
    const int fd = ::open(FileName.c_str(), O_RDWR | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
    if (fd < 0 && errno == EACCES) {
      // Another user's log in a folder this user may write: its lines and this run's replace
      // it together (without the lock, which needs the file open for writing).
      // A log it cannot read either is left as it is (the lines go elsewhere), since replacing
      // it would drop every earlier run.
      std::string old;
      const int in = ::open(FileName.c_str(), O_RDONLY | O_CLOEXEC);
      if (in < 0) {
        if (Why) *Why = std::strerror(errno);
        return false;
      }
      struct stat st {};
      const bool read = ::fstat(in, &st) == 0 && ReadAllFrom(in, old);
      const int readErrno = errno;
      ::close(in);
      if (!read) {
        if (Why) *Why = std::strerror(readErrno);
        return false;
      }
      return ReplaceWholeFile(FileName, KeptRuns(old, text.size()) + text, st.st_mode & 07777, Why);
    }
    if (fd < 0) {
      if (Why) *Why = std::strerror(errno);
      return false;
    }
    struct TClose {
      int fd;
      ~TClose() { ::close(fd); }
    } closer{fd};
    // Anyone who may read the log may hold a lock on it: the run waits a while, not forever.
    while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
      if (errno == EINTR) continue;
      if (errno != EWOULDBLOCK) {
        if (Why) *Why = std::strerror(errno);
        return false;
      }
      if (std::chrono::steady_clock::now() >= giveUp) {
        if (Why) *Why = "ほかのプロセスがログファイルを使用中です";
        return false;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    struct stat held {}, named {};
    if (::fstat(fd, &held) != 0 || ::stat(FileName.c_str(), &named) != 0 || held.st_ino != named.st_ino ||
        held.st_dev != named.st_dev)
      continue;  // replaced meanwhile: the new file is the log
    if (held.st_size + static_cast<std::int64_t>(text.size()) <= kRunLogBound) {
      if (WriteAll(fd, text)) return true;
      if (Why) *Why = std::strerror(errno ? errno : EIO);
      return false;
    }
    std::string old;
    if (!ReadAllFrom(fd, old)) {
      if (Why) *Why = std::strerror(errno);
      return false;
    }
    return ReplaceWholeFile(FileName, KeptRuns(old, text.size()) + text, held.st_mode & 07777, Why);
  }
  if (Why) *Why = "ほかの実行が書き換え続けています";
  return false;
}

bool TUpdateRunner::SaveRunLog(const std::string& FileName) const {
  std::string why;
  if (AppendRunLog(FileName, &why)) return true;
  const std::string head = "ログファイル " + FileName + " を書き込めません (" + why + ")。ログは次のとおり:\n";
  std::fputs(head.c_str(), stderr);
  std::fputs(LogText().c_str(), stderr);
  std::fflush(stderr);
  return false;
}
