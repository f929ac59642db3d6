#include "foundation/stale_files.h"

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>
#include <filesystem>
#include <cstdio>
#include <cstring>

namespace fs = std::filesystem;

namespace {

// The beginning of every temporary name of the program.
constexpr const char* kOwnPrefix = ".qm-";

bool AllDigits(const std::string& s) {
  if (s.empty()) return false;
  for (char c : s)
    if (c < '0' || c > '9') return false;
  return true;
}

// "<pid>-XXXXXX" -> pid; "XXXXXX" (no dash) -> 0; anything else -> -1.
long TaggedRandomSuffix(const std::string& rest) {
  const size_t dash = rest.find('-');
  if (dash == std::string::npos) return rest.size() == 6 ? 0 : -1;
  const std::string pid = rest.substr(0, dash);
  if (!AllDigits(pid) || pid.size() > 9 || rest.size() - dash - 1 != 6) return -1;
  return std::stol(pid);
}

}  // namespace

std::string OwnerTag() { return std::to_string(static_cast<long>(::getpid())); }

bool OwnerAlive(long Pid) {
  if (Pid <= 0) return false;
  if (Pid == static_cast<long>(::getpid())) return true;
  return ::kill(static_cast<pid_t>(Pid), 0) == 0 || errno == EPERM;
}

std::string OwnTempPath(const std::string& Path, const std::string& Kind, const std::string& Owner) {
  const size_t slash = Path.rfind('/');
  const size_t at = slash == std::string::npos ? 0 : slash + 1;
  return Path.substr(0, at) + kOwnPrefix + Path.substr(at) + "." + Kind + "-" + Owner;
}

long TempNameOwner(const std::string& FullName) {
  if (FullName.rfind(kOwnPrefix, 0) != 0) return -1;
  for (const char* folder : {"unpack-", "install-"}) {
    const std::string prefix = std::string(kOwnPrefix) + folder;
    if (FullName.rfind(prefix, 0) == 0) return TaggedRandomSuffix(FullName.substr(prefix.size()));
  }
  const std::string Name = FullName.substr(std::strlen(kOwnPrefix));
  for (const char* marker : {".part-", ".qmcopy-"}) {
    const size_t at = Name.rfind(marker);
    if (at != std::string::npos && at > 0) return TaggedRandomSuffix(Name.substr(at + std::string(marker).size()));
  }
  for (const char* marker : {".build-", ".prev-"}) {
    const size_t at = Name.rfind(marker);
    if (at == std::string::npos || at == 0) continue;
    std::string rest = Name.substr(at + std::string(marker).size());
    if (marker[1] == 'b') {
      for (const char* suffix : {"-journal", "-wal", "-shm"}) {
        const std::string s = suffix;
        if (rest.size() > s.size() && rest.compare(rest.size() - s.size(), s.size(), s) == 0) {
          rest.resize(rest.size() - s.size());
          break;
        }
      }
    }
    if (AllDigits(rest) && rest.size() <= 9) return std::stol(rest);
  }
  return -1;
}

int RemoveStaleTempFiles(const std::string& Folder, const std::function<void(const std::string&)>& Log) {
  std::error_code ec;
  if (Folder.empty() || !fs::is_directory(Folder, ec)) return 0;
  std::vector<fs::path> stale;
  for (fs::directory_iterator it(Folder, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    // Only a name that carries its owner's process id can be judged: a name without one (left
    // by an earlier version) may belong to a run still at work, and stays.
    const long owner = TempNameOwner(name);
    if (owner <= 0 || OwnerAlive(owner)) continue;
    stale.push_back(it->path());
  }
  int removed = 0;
  for (const fs::path& p : stale) {
    // A kept copy whose file is gone is the only copy left: it goes back in place.
    // Only a name that ends in ".prev-<pid>" is a kept copy: a temporary file made beside one
    // (".qm-a.prev-7.zip.part-...") is removed like any other.
    const std::string name = p.filename().string().substr(std::strlen(kOwnPrefix));
    if (const size_t at = name.rfind(".prev-"); at != std::string::npos && at > 0 && AllDigits(name.substr(at + 6))) {
      const fs::path file = p.parent_path() / name.substr(0, at);
      struct stat fst {};
      if (::lstat(file.c_str(), &fst) != 0 && errno == ENOENT) {
        if (::rename(p.c_str(), file.c_str()) == 0) {
          ++removed;
          if (Log) Log("前回中断した更新で退避したファイルを元に戻しました: " + file.string());
        }
        continue;
      }
    }
    std::error_code rec;
    // remove_all removes a symbolic link itself, never what it points to.
    if (fs::remove_all(p, rec) > 0 && !rec) {
      ++removed;
      if (Log) Log("前回の一時ファイルを削除: " + p.string());
    }
  }
  return removed;
}

int RemoveStaleTempFilesIn(const std::vector<std::string>& Folders,
                           const std::function<void(const std::string&)>& Log) {
  int removed = 0;
  for (const std::string& folder : Folders)
    if (!folder.empty()) removed += RemoveStaleTempFiles(folder, Log);
  return removed;
}
