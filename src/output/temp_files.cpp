#include "output/temp_files.h"

#include <QRandomGenerator>

#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
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
    std::string templ = GetTempDir() + "quillmar-" + std::to_string(::getpid()) + "-XXXXXX";
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

// "quillmar-<pid>-XXXXXX": the pid, else 0.
pid_t OwnerOfFolderName(const std::string& name) {
  static const std::string prefix = "quillmar-";
  if (name.rfind(prefix, 0) != 0) return 0;
  const size_t dash = name.find('-', prefix.size());
  if (dash == std::string::npos || dash == prefix.size() || dash - prefix.size() > 9 || name.size() != dash + 7)
    return 0;
  for (size_t i = prefix.size(); i < dash; ++i)
    if (name[i] < '0' || name[i] > '9') return 0;
  for (size_t i = dash + 1; i < name.size(); ++i)
    if (!std::isalnum(static_cast<unsigned char>(name[i]))) return 0;
  return static_cast<pid_t>(std::stol(name.substr(prefix.size(), dash - prefix.size())));
}

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

void RemoveTempLeftovers() {
  namespace fs = std::filesystem;
  std::error_code ec;
  for (const fs::directory_entry& e : fs::directory_iterator(GetTempDir(), ec)) {
    const std::string name = e.path().filename().string();
    const pid_t pid = OwnerOfFolderName(name);
    if (pid <= 0 || pid == ::getpid()) continue;
    struct stat st {};
    if (::lstat(e.path().c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::getuid()) continue;
    if (::kill(pid, 0) == 0 || errno == EPERM) continue;  // that run is still going
    std::error_code rm;
    fs::remove_all(e.path(), rm);
  }
}

bool RemoveTempFile(const std::string& path) {
  if (path.empty()) return true;
  std::error_code ec;
  std::filesystem::remove(path, ec);
  return !ec;
}
