#include "update/shell_file_op.h"

#include "database/file_copy.h"

#include <dirent.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QString>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <filesystem>

#include "foundation/message_sink.h"

namespace {

std::uint64_t NowMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

std::string StripSlashes(std::string p) {
  while (p.size() > 1 && p.back() == '/') p.pop_back();
  return p;
}

std::string BaseName(const std::string& path) {
  std::string p = StripSlashes(path);
  size_t s = p.rfind('/');
  return s == std::string::npos ? p : p.substr(s + 1);
}

std::string DirName(const std::string& path) {
  std::string p = StripSlashes(path);
  size_t s = p.rfind('/');
  if (s == std::string::npos) return ".";
  return s == 0 ? "/" : p.substr(0, s);
}

bool HasWildcard(const std::string& path) {
  std::string base = BaseName(path);
  return base.find_first_of("*?") != std::string::npos;
}

bool LStat(const std::string& p, struct stat& st) { return ::lstat(p.c_str(), &st) == 0; }
bool Exists(const std::string& p) {
  struct stat st {};
  return LStat(p, st);
}
bool IsDir(const std::string& p) {
  struct stat st {};
  return ::stat(p.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool SameFile(const std::string& a, const std::string& b) {
  struct stat sa {}, sb {};
  return ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

// "to" lies inside the folder "from" (or is it).
bool InsideOf(const std::string& from, const std::string& to) {
  std::error_code ec;
  auto f = std::filesystem::weakly_canonical(from, ec).string();
  auto t = std::filesystem::weakly_canonical(to, ec).string();
  return t == f || (t.size() > f.size() && t.compare(0, f.size(), f) == 0 && t[f.size()] == '/');
}

// "dir/name (2).ext", the first such name that is free.
std::string CollisionName(const std::string& path) {
  std::string dir = DirName(path), base = BaseName(path), ext;
  size_t dot = base.rfind('.');
  if (dot != std::string::npos && dot > 0) {
    ext = base.substr(dot);
    base = base.substr(0, dot);
  }
  for (int n = 2;; ++n) {
    std::string candidate = dir + "/" + base + " (" + std::to_string(n) + ")" + ext;
    if (!Exists(candidate)) return candidate;
  }
}

// Sources with their wildcards resolved; missing plain sources are reported.
bool ExpandSources(const std::vector<std::string>& list, bool filesOnly, std::vector<std::string>& out,
                   std::string& missing) {
  for (const auto& raw : list) {
    if (raw.empty()) continue;
    if (!HasWildcard(raw)) {
      std::string p = StripSlashes(raw);
      if (!Exists(p)) {
        missing = p;
        return false;
      }
      out.push_back(p);
      continue;
    }
    std::string dir = DirName(raw), pattern = BaseName(raw);
    DIR* d = ::opendir(dir.c_str());
    if (!d) continue;  // nothing matches
    std::vector<std::string> names;
    while (dirent* e = ::readdir(d)) {
      std::string n = e->d_name;
      if (n == "." || n == "..") continue;
      if (::fnmatch(pattern.c_str(), n.c_str(), 0) != 0) continue;
      std::string full = (dir == "/" ? "" : dir) + "/" + n;
      if (filesOnly && IsDir(full)) continue;
      names.push_back(full);
    }
    ::closedir(d);
    std::sort(names.begin(), names.end());
    out.insert(out.end(), names.begin(), names.end());
  }
  return true;
}

std::uint64_t TreeSize(const std::string& p) {
  struct stat st {};
  if (::stat(p.c_str(), &st) != 0) return 0;  // a link counts as what it points to
  if (!S_ISDIR(st.st_mode)) return S_ISREG(st.st_mode) ? std::uint64_t(st.st_size) : 0;
  std::uint64_t sum = 0;
  std::error_code ec;
  for (auto it = std::filesystem::recursive_directory_iterator(p, ec);
       !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
    std::error_code e2;
    if (it->is_regular_file(e2) && !it->is_symlink(e2)) sum += it->file_size(e2);
  }
  return sum;
}

void CopyTimes(int fd, const struct stat& src) {
  struct timespec times[2] = {src.st_atim, src.st_mtim};
  ::futimens(fd, times);
}

}  // namespace

unsigned TfFlags::FlagWord() const {
  unsigned w = 0;
  if (ALLOWUNDO) w |= FOF_ALLOWUNDO;
  if (FILESONLY) w |= FOF_FILESONLY;
  if (MUILIDESTFILES) w |= FOF_MULTIDESTFILES;
  if (NOCONFIRMATION) w |= FOF_NOCONFIRMATION;
  if (NOCONFIRMMKDIR) w |= FOF_NOCONFIRMMKDIR;
  if (RENAMEONCOLLISION) w |= FOF_RENAMEONCOLLISION;
  if (SILENT) w |= FOF_SILENT;
  if (SIMPLEPROGRESS) w |= FOF_SIMPLEPROGRESS;
  return w;
}

std::string TShfOperation::Title() const {
  if (!ProgressTitle.empty()) return ProgressTitle;
  switch (OperationF) {
    case TwFunc::foMOVE: return "移動しています...";
    case TwFunc::foCOPY: return "コピーしています...";
    case TwFunc::foDELETE: return "削除しています...";
    default: return "名前を変更しています...";
  }
}

bool TShfOperation::Progress(const std::string& name, bool force) {
  if (!OnProgress) return true;
  std::uint64_t now = NowMs();
  if (!force && now - lastTick_ < 50) return true;
  lastTick_ = now;
  bool cancel = false;
  OnProgress(Title(), Options.SIMPLEPROGRESS ? std::string() : name, done_, total_, cancel);
  if (cancel) aborted_ = true;
  return !cancel;
}

int TShfOperation::Execute() {
  if (FromFFList.empty()) throw EShfOperation("ShfOperation:ﾌｧｲﾙが指定されていません.");
  if (Options.MUILIDESTFILES && ToFiles.empty())
    throw EShfOperation("ShfOperation:ﾀｰｹﾞｯﾄが指定されていません.");
  aborted_ = false;
  done_ = total_ = 0;
  lastTick_ = 0;
  int rc = 0;
  switch (OperationF) {
    case TwFunc::foCOPY: rc = CopyOrMove(false); break;
    case TwFunc::foMOVE: rc = CopyOrMove(true); break;
    case TwFunc::foDELETE: rc = Delete(); break;
    case TwFunc::foRENAME: rc = Rename(); break;
  }
  if (rc == 0) Progress(std::string(), true);
  return rc;
}

int TShfOperation::CopyOrMove(bool move) {
  std::vector<Item> items;
  if (Options.MUILIDESTFILES) {
    for (size_t i = 0; i < FromFFList.size(); ++i) {
      if (i >= ToFiles.size()) return SHF_DE_INVALIDFILES;
      std::string from = StripSlashes(FromFFList[i]);
      if (!Exists(from)) return SHF_ERROR_FILE_NOT_FOUND;
      std::string to = StripSlashes(ToFiles[i]);
      if (IsDir(to) && !IsDir(from)) to.append("/").append(BaseName(from));
      items.push_back({from, to});
    }
  } else {
    std::vector<std::string> sources;
    std::string missing;
    if (!ExpandSources(FromFFList, Options.FILESONLY, sources, missing)) return SHF_ERROR_FILE_NOT_FOUND;
    if (sources.empty()) return 0;
    if (ToFolder.empty()) return SHF_ERRORONDEST;
    bool wild = std::any_of(FromFFList.begin(), FromFFList.end(), HasWildcard);
    std::string dest = StripSlashes(ToFolder);
    bool intoFolder = IsDir(dest) || sources.size() > 1 || wild || ToFolder.back() == '/';
    if (intoFolder && !IsDir(dest)) {
      if (!Options.NOCONFIRMMKDIR && !Options.NOCONFIRMATION &&
          !ConfirmBox("フォルダの作成", "フォルダ \"" + dest + "\" はありません。作成しますか?", true)) {
        aborted_ = true;
        return SHF_DE_OPCANCELLED;
      }
      std::error_code ec;
      std::filesystem::create_directories(dest, ec);
      if (!IsDir(dest)) return SHF_ERRORONDEST;
    } else if (!intoFolder && !IsDir(DirName(dest))) {
      std::error_code ec;
      std::filesystem::create_directories(DirName(dest), ec);
    }
    for (const auto& s : sources) items.push_back({s, intoFolder ? dest + "/" + BaseName(s) : dest});
  }

  for (const auto& it : items) total_ += TreeSize(it.from);
  if (!Progress(std::string(), true)) return SHF_DE_OPCANCELLED;

  for (auto it : items) {
    bool srcDir = IsDir(it.from);
    if (Exists(it.to) && SameFile(it.from, it.to)) {
      if (move || !Options.RENAMEONCOLLISION) return SHF_DE_SAMEFILE;
      it.to = CollisionName(it.to);
    } else if (Exists(it.to) && !(srcDir && IsDir(it.to))) {
      if (Options.RENAMEONCOLLISION) {
        it.to = CollisionName(it.to);
      } else if (!Options.NOCONFIRMATION &&
                 !ConfirmBox("ファイルの上書きの確認", "\"" + it.to + "\" は既にあります。置き換えますか?", true)) {
        aborted_ = true;
        continue;
      }
    }
    if (srcDir && InsideOf(it.from, it.to)) return SHF_DE_DESTSUBTREE;
    if (move && ::rename(it.from.c_str(), it.to.c_str()) == 0) {
      done_ += TreeSize(it.to);
      if (!Progress(it.to, false)) return SHF_DE_OPCANCELLED;
      continue;
    }
    int rc = CopyTree(it.from, it.to, move);
    if (rc != 0) return rc;
  }
  return 0;
}

int TShfOperation::CopyTree(const std::string& from, const std::string& to, bool move) {
  struct stat st {};
  if (!LStat(from, st)) return SHF_ERROR_FILE_NOT_FOUND;
  // A copy takes what a symbolic link points to, as the shell does (a link to a file gives
  // the file's contents, a link to a folder its files); a link that leads nowhere is a missing
  // source. A move keeps the link itself.
  if (S_ISLNK(st.st_mode) && !move) {
    struct stat target {};
    if (::stat(from.c_str(), &target) != 0) return SHF_ERROR_FILE_NOT_FOUND;
    st = target;
  }
  if (S_ISDIR(st.st_mode) && !move) {
    // A link back to a folder being copied would never end.
    for (const auto& [dev, ino] : copying_)
      if (dev == st.st_dev && ino == st.st_ino) return SHF_DE_DESTSUBTREE;
  }
  if (S_ISLNK(st.st_mode)) {
    std::vector<char> buf(4096);
    ssize_t n = ::readlink(from.c_str(), buf.data(), buf.size() - 1);
    if (n < 0) return SHF_ERROR_ACCESS_DENIED;
    ::unlink(to.c_str());
    if (::symlink(std::string(buf.data(), size_t(n)).c_str(), to.c_str()) != 0) return SHF_ERRORONDEST;
  } else if (S_ISDIR(st.st_mode)) {
    struct stat dst {};
    if (LStat(to, dst) && !S_ISDIR(dst.st_mode)) return SHF_ERRORONDEST;
    if (!Exists(to) && ::mkdir(to.c_str(), st.st_mode & 0777) != 0) return SHF_ERRORONDEST;
    DIR* d = ::opendir(from.c_str());
    if (!d) return SHF_ERROR_ACCESS_DENIED;
    std::vector<std::string> names;
    while (dirent* e = ::readdir(d)) {
      std::string n = e->d_name;
      if (n != "." && n != "..") names.push_back(n);
    }
    ::closedir(d);
    std::sort(names.begin(), names.end());
    copying_.emplace_back(st.st_dev, st.st_ino);
    for (const auto& n : names) {
      int rc = CopyTree(from + "/" + n, to + "/" + n, move);
      if (rc != 0) {
        copying_.pop_back();
        return rc;
      }
    }
    copying_.pop_back();
    int fd = ::open(to.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
      CopyTimes(fd, st);
      ::close(fd);
    }
  } else {
    int rc = CopyOneFile(from, to);
    if (rc != 0) return rc;
  }
  if (move) {
    if (S_ISDIR(st.st_mode) ? ::rmdir(from.c_str()) != 0 : ::unlink(from.c_str()) != 0) return SHF_ERROR_ACCESS_DENIED;
  }
  return 0;
}

int TShfOperation::CopyOneFile(const std::string& from, const std::string& to) {
  // The first piece of each file is always reported, so the name shows up at once.
  TFileCopyResult r = CopyFileAtomic(from, to, [&](std::uint64_t bytes, bool first) {
    done_ += bytes;
    return Progress(to, first);
  });
  switch (r) {
    case TFileCopyResult::Ok: return 0;
    case TFileCopyResult::SourceMissing: return SHF_ERROR_FILE_NOT_FOUND;
    case TFileCopyResult::SourceError: return SHF_ERROR_ACCESS_DENIED;
    case TFileCopyResult::Cancelled: return SHF_DE_OPCANCELLED;
    case TFileCopyResult::DestinationError: break;
  }
  return SHF_ERRORONDEST;
}

int TShfOperation::Delete() {
  std::vector<std::string> sources;
  std::string missing;
  if (!ExpandSources(FromFFList, Options.FILESONLY, sources, missing)) return SHF_ERROR_FILE_NOT_FOUND;
  if (sources.empty()) return 0;
  if (!Options.NOCONFIRMATION) {
    std::string text = sources.size() == 1 ? "\"" + sources[0] + "\" を削除しますか?"
                                           : std::to_string(sources.size()) + " 個の項目を削除しますか?";
    if (!ConfirmBox("ファイルの削除の確認", text, true)) {
      aborted_ = true;
      return SHF_DE_OPCANCELLED;
    }
  }
  total_ = sources.size();
  for (const auto& s : sources) {
    if (Options.ALLOWUNDO) {
      if (!QFile::moveToTrash(QString::fromStdString(s))) return SHF_ERROR_ACCESS_DENIED;
    } else {
      std::error_code ec;
      std::filesystem::remove_all(s, ec);  // links are removed, never followed
      if (ec) return SHF_ERROR_ACCESS_DENIED;
    }
    ++done_;
    if (!Progress(s, false)) return SHF_DE_OPCANCELLED;
  }
  return 0;
}

int TShfOperation::Rename() {
  if (!Options.MUILIDESTFILES && FromFFList.size() != 1) return SHF_DE_INVALIDFILES;
  for (size_t i = 0; i < FromFFList.size(); ++i) {
    std::string from = StripSlashes(FromFFList[i]);
    std::string to = Options.MUILIDESTFILES ? (i < ToFiles.size() ? ToFiles[i] : std::string()) : ToFolder;
    if (to.empty()) return SHF_DE_INVALIDFILES;
    if (!Exists(from)) return SHF_ERROR_FILE_NOT_FOUND;
    to = StripSlashes(to);
    if (to.find('/') == std::string::npos) to = DirName(from) + "/" + to;  // a new name in place
    if (Exists(to) && !SameFile(from, to)) {
      if (!Options.RENAMEONCOLLISION) return SHF_ERROR_ALREADY_EXISTS;
      to = CollisionName(to);
    }
    if (::rename(from.c_str(), to.c_str()) != 0) return errno == EXDEV ? SHF_DE_UNKNOWN : SHF_ERROR_ACCESS_DENIED;
  }
  return 0;
}
