// The update runner's log files: the whole log written as one file, and the run logs of the
// unattended runs, appended under a header of their own so that programs sharing a folder keep
// each other's lines.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <vector>

#include "foundation/options.h"
#include "foundation/stale_files.h"
#include "update/update_runner.h"

namespace fs = std::filesystem;

namespace {

// The whole file replaced by Text (through a temporary file of the program's own name, which
// the start removes when a kill left it, and one rename).
bool ReplaceWholeFile(const std::string& FileName, const std::string& Text, std::string* Why) {
  std::string tmp = OwnTempPath(FileName, "part") + "-XXXXXX";
  {
    std::vector<char> name(tmp.begin(), tmp.end());
    name.push_back('\0');
    const int fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0) {
      if (Why) *Why = tmp + " に書き込めません";
      return false;
    }
    ::close(fd);
    tmp = name.data();
  }
  std::error_code ignored;
  {
    std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
    out << Text;
    out.close();
    if (out.fail()) {
      if (Why) *Why = tmp + " に書き込めません";
      fs::remove(tmp, ignored);
      return false;
    }
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
  return ReplaceWholeFile(FileName, LogText(), Why);
}

namespace {

// The run log stays below this size: the oldest runs go first, whole.
constexpr std::int64_t kRunLogBound = std::int64_t(1) << 20;
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
  for (int attempt = 0; attempt < 10; ++attempt) {
    const int fd = ::open(FileName.c_str(), O_RDWR | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
    if (fd < 0 && errno == EACCES) {
      // Another user's log in a folder this user may write: its lines and this run's replace
      // it together (without the lock, which needs the file open for writing).
      std::string old;
      const int in = ::open(FileName.c_str(), O_RDONLY | O_CLOEXEC);
      if (in >= 0) {
        ReadAllFrom(in, old);
        ::close(in);
      }
      return ReplaceWholeFile(FileName, KeptRuns(old, text.size()) + text, Why);
    }
    if (fd < 0) {
      if (Why) *Why = std::strerror(errno);
      return false;
    }
    struct TClose {
      int fd;
      ~TClose() { ::close(fd); }
    } closer{fd};
    while (::flock(fd, LOCK_EX) != 0) {
      if (errno != EINTR) {
        if (Why) *Why = std::strerror(errno);
        return false;
      }
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
    return ReplaceWholeFile(FileName, KeptRuns(old, text.size()) + text, Why);
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
