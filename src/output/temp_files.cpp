#include "output/temp_files.h"

#include <QRandomGenerator>

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <mutex>

#include "foundation/text_utils.h"

namespace {

// Owns the folder for the life of the process and removes it at the end.
class TPrivateTempFolder {
 public:
  ~TPrivateTempFolder() {
    std::lock_guard<std::mutex> lock(mu_);
    // Only the process that made the folder removes it (a forked child inherits the object).
    if (!dir_.empty() && owner_ == ::getpid()) {
      std::error_code ec;
      std::filesystem::remove_all(dir_, ec);
    }
  }

  std::string Get() {
    std::lock_guard<std::mutex> lock(mu_);
    struct stat st {};
    if (!dir_.empty() && owner_ == ::getpid() && ::lstat(dir_.c_str(), &st) == 0 && S_ISDIR(st.st_mode) &&
        st.st_uid == ::getuid()) {
      return dir_ + "/";
    }
    std::string templ = GetTempDir() + "quillmar-XXXXXX";
    if (!::mkdtemp(templ.data())) return {};  // mkdtemp makes it 0700
    dir_ = templ;
    owner_ = ::getpid();
    return dir_ + "/";
  }

 private:
  std::mutex mu_;
  std::string dir_;
  pid_t owner_ = 0;
};

TPrivateTempFolder& Folder() {
  static TPrivateTempFolder folder;
  return folder;
}

}  // namespace

std::string PrivateTempDir() { return Folder().Get(); }

std::string MakeTempFileName(const std::string& ext) {
  const std::string dir = PrivateTempDir();
  if (dir.empty()) return {};
  std::string e = ext;
  if (!e.empty() && e.front() != '.') e.insert(e.begin(), '.');
  for (int attempt = 0; attempt < 100; ++attempt) {
    char name[32];
    std::snprintf(name, sizeof name, "qm%08x", QRandomGenerator::system()->generate());
    const std::string file = name + e;
    const int fd = ::open((dir + file).c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0600);
    if (fd >= 0) {
      ::close(fd);
      return file;
    }
    if (errno != EEXIST) return {};
  }
  return {};
}

std::string MakeTempFilePath(const std::string& ext) {
  std::string name = MakeTempFileName(ext);
  return name.empty() ? std::string() : PrivateTempDir() + name;
}

bool RemoveTempFile(const std::string& path) {
  if (path.empty()) return true;
  std::error_code ec;
  std::filesystem::remove(path, ec);
  return !ec;
}
