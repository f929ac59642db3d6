#include "update/archive_7zip.h"

#include <archive.h>
#include <archive_entry.h>
#include <fcntl.h>
#include <iconv.h>
#include <locale.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <set>

#include "database/file_copy.h"
#include "database/import_reader.h"  // IsValidUtf8
#include "foundation/disk_space.h"
#include "foundation/fault_point.h"
#include "foundation/stale_files.h"

namespace {

std::uint64_t NowMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

// libarchive converts names with the thread's locale; a UTF-8 one keeps UTF-8 names whole and
// hands other names over as the bytes stored.
class TUtf8Locale {
 public:
  TUtf8Locale() {
    static locale_t loc = [] {
      for (const char* name : {"C.UTF-8", "C.utf8", "en_US.UTF-8"}) {
        locale_t l = newlocale(LC_CTYPE_MASK, name, locale_t(0));
        if (l) return l;
      }
      return locale_t(0);
    }();
    if (loc) prev_ = uselocale(loc);
  }
  ~TUtf8Locale() {
    if (prev_) uselocale(prev_);
  }

 private:
  locale_t prev_ = locale_t(0);
};

std::string Join(const std::vector<std::string>& parts, size_t count) {
  std::string out;
  for (size_t i = 0; i < count && i < parts.size(); ++i) {
    if (i) out += '/';
    out += parts[i];
  }
  return out;
}

// Makes every folder of `parts[0..count)` below `base`, refusing anything that is not a real
// folder (a file, or a symbolic link that could lead elsewhere).
bool MakeFolders(const std::string& base, const std::vector<std::string>& parts, size_t count, std::string& error) {
  std::string path = base;
  for (size_t i = 0; i < count; ++i) {
    path += "/" + parts[i];
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0) {
      if (S_ISDIR(st.st_mode)) continue;
      error = "not a folder: " + Join(parts, i + 1);
      return false;
    }
    if (errno != ENOENT || (::mkdir(path.c_str(), 0777) != 0 && errno != EEXIST)) {
      error = "cannot create folder " + Join(parts, i + 1) + ": " + std::strerror(errno);
      return false;
    }
  }
  return true;
}

bool WriteAll(int fd, const char* p, size_t n, std::int64_t offset) {
  while (n > 0) {
    ssize_t w = ::pwrite(fd, p, n, offset);
    if (w < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    p += w;
    n -= size_t(w);
    offset += w;
  }
  return true;
}

struct Staged {
  std::vector<std::string> parts;
  bool folder = false;
};

}  // namespace

std::string TplArchiever7ZIP::VersionText() const {
  int v = archive_version_number();  // 3006002 for 3.6.2
  int major = v / 1000000, minor = (v / 1000) % 1000, release = v % 1000;
  char buf[64];
  // The version times 100 printed with at most two decimals, then the sub-version.
  std::snprintf(buf, sizeof buf, "%d.%02d", major, minor % 100);
  std::string num = buf;
  while (!num.empty() && num.back() == '0') num.pop_back();
  if (!num.empty() && num.back() == '.') num.pop_back();
  return "Ver. " + num + "." + std::to_string(release);
}


namespace {

archive* OpenReader(const std::string& path, std::string& error) {
  archive* a = archive_read_new();
  if (!a) {
    error = "out of memory";
    return nullptr;
  }
  archive_read_support_format_zip(a);
  archive_read_support_format_lha(a);
  archive_read_support_format_7zip(a);
  archive_read_support_format_tar(a);
  archive_read_support_filter_gzip(a);
  archive_read_support_filter_bzip2(a);
  archive_read_support_filter_xz(a);
  // LHA names are CP932 by convention, and libarchive must be told so: it cannot read
  // non-ASCII LHA names otherwise. ZIP names come as stored and are judged by their flag.
  archive_read_set_options(a, "lha:hdrcharset=CP932");
  if (archive_read_open_filename(a, path.c_str(), 1 << 16) != ARCHIVE_OK) {
    error = path + ": " + (archive_error_string(a) ? archive_error_string(a) : "cannot open");
    archive_read_free(a);
    return nullptr;
  }
  return a;
}

std::string Mb(std::int64_t bytes) { return std::to_string((bytes + (1 << 20) - 1) >> 20) + " MB"; }

// Removes the folder and what is in it when it goes out of scope.
struct TFolderGuard {
  std::string path;
  ~TFolderGuard() {
    if (path.empty()) return;
    std::error_code e;
    std::filesystem::remove_all(path, e);
  }
};

bool MakeTempFolder(const std::string& inside, std::string& path, std::string& error) {
  std::string pattern = inside + "/.qm-unpack-" + OwnerTag() + "-XXXXXX";
  std::vector<char> buf(pattern.begin(), pattern.end());
  buf.push_back('\0');
  if (!::mkdtemp(buf.data())) {
    error = std::string("cannot create a temporary folder: ") + std::strerror(errno);
    return false;
  }
  path = buf.data();
  return true;
}

// Every folder on the way to a member inside Folder is a real folder (or missing), and a
// file member's own place holds no folder.
bool CheckTarget(const std::string& folder, const std::vector<std::string>& parts, bool isFolder, std::string& error) {
  std::string path = folder;
  const size_t folders = isFolder ? parts.size() : parts.size() - 1;
  for (size_t i = 0; i < folders; ++i) {
    path += "/" + parts[i];
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) return true;  // made when moving
    if (!S_ISDIR(st.st_mode)) {
      error = "not a folder: " + Join(parts, i + 1);
      return false;
    }
  }
  if (isFolder) return true;
  path += "/" + parts.back();
  struct stat st {};
  if (::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
    error = "a folder is in the way: " + Join(parts, parts.size());
    return false;
  }
  return true;
}

}  // namespace

bool MoveFilesIntoPlace(const std::string& from, const std::string& to, const std::vector<std::string>& names,
                        std::string& error, const std::function<void(const std::string&)>& beforeMove) {
  std::vector<std::vector<std::string>> parts(names.size());
  for (size_t i = 0; i < names.size(); ++i) {
    if (!SafeArchivePath(names[i], parts[i]) || parts[i].empty()) {
      error = "bad name: " + names[i];
      return false;
    }
    if (!CheckTarget(to, parts[i], false, error)) return false;
  }
  std::vector<std::string> createdFolders;
  struct TMoved {
    std::string dest, kept;  // kept: the file it replaced, under a second name ("" when none)
  };
  std::vector<TMoved> moved;
  auto undo = [&] {
    for (auto it = moved.rbegin(); it != moved.rend(); ++it) {
      // One rename puts the old file back over the new one: the name is never empty.
      if (!it->kept.empty())
        ::rename(it->kept.c_str(), it->dest.c_str());
      else
        ::unlink(it->dest.c_str());
    }
    for (auto it = createdFolders.rbegin(); it != createdFolders.rend(); ++it) ::rmdir(it->c_str());
  };
  for (size_t i = 0; i < names.size(); ++i) {
    const std::string rel = Join(parts[i], parts[i].size());
    std::string path = to;
    for (size_t k = 0; k + 1 < parts[i].size(); ++k) {
      path += "/" + parts[i][k];
      struct stat st {};
      if (::lstat(path.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode)) continue;
        error = "not a folder: " + Join(parts[i], k + 1);
      } else if (::mkdir(path.c_str(), 0777) == 0) {
        createdFolders.push_back(path);
        continue;
      } else {
        error = "cannot create folder " + Join(parts[i], k + 1) + ": " + std::strerror(errno);
      }
      undo();
      return false;
    }
    if (beforeMove) beforeMove(rel);
    const std::string dest = to + "/" + rel;
    TMoved m{dest, ""};
    struct stat st {};
    if (::lstat(dest.c_str(), &st) == 0) {
      if (S_ISDIR(st.st_mode)) {
        error = "a folder is in the way: " + rel;
        undo();
        return false;
      }
      // The file it replaces stays in place until the new one is renamed over it; a second
      // name keeps it for putting back when a later file fails.
      m.kept = OwnTempPath(dest, "prev");
      ::unlink(m.kept.c_str());
      if (::link(dest.c_str(), m.kept.c_str()) != 0 && CopyFileAtomic(dest, m.kept) != TFileCopyResult::Ok) {
        error = "cannot keep " + rel + ": " + std::strerror(errno);
        ::unlink(m.kept.c_str());
        undo();
        return false;
      }
      FaultPoint("install-kept");
    }
    if (::rename((from + "/" + rel).c_str(), dest.c_str()) != 0) {
      error = "cannot replace " + rel + ": " + std::strerror(errno);
      if (!m.kept.empty()) ::unlink(m.kept.c_str());
      undo();
      return false;
    }
    moved.push_back(std::move(m));
  }
  for (const TMoved& m : moved)
    if (!m.kept.empty()) ::unlink(m.kept.c_str());
  return true;
}

namespace {

// What the passes over one archive share: how its member names read, and the window's pump.
class TArchivePass {
 public:
  TArchivePass(const std::string& archivePath, const std::function<void(bool&)>& pump)
      : zipFlags_(ZipNameFlags(archivePath)), pump_(pump) {}

  // The member's name as UTF-8, by the zip's own flag where it has one.
  std::string NameOf(archive_entry* entry) const {
    const char* raw = archive_entry_pathname(entry);
    if (!raw) raw = archive_entry_pathname_utf8(entry);
    const std::string rawName = raw ? raw : "";
    auto it = zipFlags_.find(rawName);
    return it != zipFlags_.end() ? ZipNameToUtf8(rawName, it->second) : ArchiveNameToUtf8(rawName);
  }

  // Lets the window breathe about every 50 ms; true when it asked to stop.
  bool Cancelled() {
    if (!pump_) return false;
    const std::uint64_t now = NowMs();
    if (now - lastPump_ < 50) return false;
    lastPump_ = now;
    bool cancel = false;
    pump_(cancel);
    return cancel;
  }

 private:
  std::map<std::string, bool> zipFlags_;
  const std::function<void(bool&)>& pump_;
  std::uint64_t lastPump_ = 0;  // the first block already lets the window breathe
};

struct TReaderGuard {
  archive* a;
  ~TReaderGuard() { archive_read_free(a); }
};

std::string ArchiveError(archive* a, const char* otherwise) {
  return archive_error_string(a) ? archive_error_string(a) : otherwise;
}

// The first pass, before anything is written: every name must stay inside the folder (each
// one that does not is named in Message), and the sizes the members declare are summed.
bool ScanDeclaredSizes(const std::string& archivePath, TArchivePass& pass, std::int64_t& declaredTotal,
                       std::string& message, std::string& error) {
  archive* a = OpenReader(archivePath, error);
  if (!a) return false;
  TReaderGuard reader{a};
  bool refused = false;
  for (;;) {
    archive_entry* entry = nullptr;
    int r = archive_read_next_header(a, &entry);
    if (r == ARCHIVE_EOF) break;
    if (r < ARCHIVE_WARN) {
      error = ArchiveError(a, "damaged archive");
      return false;
    }
    const std::string name = pass.NameOf(entry);
    std::vector<std::string> parts;
    if (!SafeArchivePath(name, parts)) {
      message += "Refused (outside the folder): " + name + "\n";
      refused = true;
    }
    if (archive_entry_filetype(entry) == AE_IFREG && archive_entry_size_is_set(entry))
      declaredTotal += std::max<std::int64_t>(0, archive_entry_size(entry));
    if (pass.Cancelled()) {
      error = "cancelled";
      return false;
    }
  }
  if (refused) error = "the archive holds names outside the target folder; nothing was extracted";
  return !refused;
}

// The bomb guard of one extraction: what is written against each member's declared size and
// the archive's budget, and the disk's room every 8 MB.
struct TExpansionGuard {
  std::int64_t budget;
  const std::string& folder;
  std::int64_t written = 0, sinceSpaceCheck = 0;

  bool Grow(std::int64_t grown, std::int64_t end, std::int64_t declared, std::string& why) {
    written += grown;
    sinceSpaceCheck += grown;
    if ((declared >= 0 && end > declared) || written > budget) {
      why = "expands beyond its declared size";
      return false;
    }
    if (sinceSpaceCheck >= (8 << 20)) {
      sinceSpaceCheck = 0;
      if (!RoomFor(folder, 0)) {
        why = "the disk is nearly full";
        return false;
      }
    }
    return true;
  }
};

// Copies the current member's data into fd; false with the reason in Why.
bool WriteMemberData(archive* a, int fd, std::int64_t declared, TExpansionGuard& guard, TArchivePass& pass,
                     std::string& why) {
  std::int64_t end = 0;
  for (;;) {
    const void* block = nullptr;
    size_t size = 0;
    la_int64_t offset = 0;
    int rr = archive_read_data_block(a, &block, &size, &offset);
    if (rr == ARCHIVE_EOF) return true;
    if (rr != ARCHIVE_OK) {  // a CRC mismatch comes as a warning: it is a failure here
      why = ArchiveError(a, "damaged member");
      return false;
    }
    // A member that grows past what it declared, or an archive past its budget, is a bomb.
    const std::int64_t blockEnd = std::int64_t(offset) + std::int64_t(size);
    const std::int64_t grown = std::max<std::int64_t>(0, blockEnd - end);
    end = std::max(end, blockEnd);
    if (!guard.Grow(grown, end, declared, why)) return false;
    if (size && !WriteAll(fd, static_cast<const char*>(block), size, offset)) {
      why = std::string("write failed: ") + std::strerror(errno);
      return false;
    }
    if (pass.Cancelled()) {
      why = "cancelled";
      return false;
    }
  }
}

// The execute bits and the time of a written member as the archive stores them (the other
// mode bits from the umask).
void ApplyMemberAttributes(int fd, archive_entry* entry) {
  if (archive_entry_perm(entry) & 0111) ::fchmod(fd, 0777 & ~[] { mode_t m = ::umask(0); ::umask(m); return m; }());
  if (archive_entry_mtime_is_set(entry)) {
    struct timespec times[2];
    times[0].tv_sec = 0;
    times[0].tv_nsec = UTIME_OMIT;
    times[1].tv_sec = archive_entry_mtime(entry);
    times[1].tv_nsec = archive_entry_mtime_nsec(entry);
    ::futimens(fd, times);
  }
}

// Everything read cleanly: every place is checked, then the folders made and the files moved
// in (a failed move puts back the rest). Files receives the names moved.
bool PlaceStaged(const std::string& staging, const std::string& folder, const std::vector<Staged>& staged,
                 std::vector<std::string>& files, std::string& error,
                 const std::function<void(const std::string&)>& beforeMove) {
  for (const auto& s : staged) {
    if (!CheckTarget(folder, s.parts, s.folder, error)) return false;
    if (!s.folder) files.push_back(Join(s.parts, s.parts.size()));
  }
  for (const auto& s : staged) {
    if (s.folder && !MakeFolders(folder, s.parts, s.parts.size(), error)) return false;
  }
  return MoveFilesIntoPlace(staging, folder, files, error, beforeMove);
}

}  // namespace

bool TplArchiever7ZIP::Extract(const std::string& archivePath, const std::string& folder, std::string& message) {
  names_.clear();
  skipped_.clear();
  message.clear();
  namespace fs = std::filesystem;
  auto fail = [&](const std::string& why) {
    message += "Error: " + why + "\n";
    names_.clear();
    return false;
  };
  if (folder.empty()) return fail("no target folder");
  std::error_code ec;
  fs::create_directories(folder, ec);
  struct stat st {};
  if (::stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return fail("cannot create folder " + folder);
  struct stat ast {};
  if (::stat(archivePath.c_str(), &ast) != 0) return fail(archivePath + ": " + std::strerror(errno));

  TUtf8Locale utf8;
  TArchivePass pass(archivePath, OnPump);
  const std::int64_t budget = std::max<std::int64_t>(std::int64_t(ast.st_size) * kArchiveMaxRatio, kArchiveExpandFloor);
  std::int64_t declaredTotal = 0;
  std::string error;
  if (!ScanDeclaredSizes(archivePath, pass, declaredTotal, message, error)) return fail(error);
  if (declaredTotal > budget)
    return fail("the archive would expand to " + Mb(declaredTotal) + ", more than " +
                std::to_string(kArchiveMaxRatio) + " times its own size; nothing was extracted");
  if (!RoomFor(folder, declaredTotal))
    return fail("not enough free space in " + folder + " for " + Mb(declaredTotal) + " (and " + Mb(kDiskReserveBytes) +
                " to spare); nothing was extracted");

  std::string staging;
  if (!MakeTempFolder(folder, staging, error)) return fail(error);
  TFolderGuard guard{staging};
  archive* a = OpenReader(archivePath, error);
  if (!a) return fail(error);
  TReaderGuard reader{a};

  std::vector<Staged> staged;
  std::set<std::string> seen;
  TExpansionGuard expansion{budget, folder};
  for (;;) {
    archive_entry* entry = nullptr;
    int r = archive_read_next_header(a, &entry);
    if (r == ARCHIVE_EOF) break;
    if (r < ARCHIVE_WARN) return fail(ArchiveError(a, "damaged archive"));
    const std::string name = pass.NameOf(entry);
    std::vector<std::string> parts;
    if (!SafeArchivePath(name, parts)) return fail("name outside the folder: " + name);
    if (parts.empty()) continue;
    if (archive_entry_is_encrypted(entry)) return fail("encrypted member: " + name);
    mode_t type = archive_entry_filetype(entry);
    if (archive_entry_hardlink(entry) || type == AE_IFLNK) {
      message += "Skipped (link): " + name + "\n";
      skipped_.push_back(name);
      continue;
    }
    std::string rel = Join(parts, parts.size());
    if (type == AE_IFDIR) {
      if (!MakeFolders(staging, parts, parts.size(), error)) return fail(error);
      if (seen.insert(rel).second) staged.push_back({parts, true});
      continue;
    }
    if (type != AE_IFREG && type != 0) {
      message += "Skipped (not a file): " + name + "\n";
      skipped_.push_back(name);
      continue;
    }
    const std::int64_t declared = archive_entry_size_is_set(entry) ? archive_entry_size(entry) : -1;
    if (!MakeFolders(staging, parts, parts.size() - 1, error)) return fail(error);
    std::string target = staging + "/" + rel;
    int fd = ::open(target.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0) return fail("cannot write " + rel + ": " + std::strerror(errno));
    std::string why;
    bool ok = WriteMemberData(a, fd, declared, expansion, pass, why);
    if (ok) ApplyMemberAttributes(fd, entry);
    if (::close(fd) != 0 && ok) {
      ok = false;
      why = std::string("write failed: ") + std::strerror(errno);
    }
    if (!ok) return fail(rel + ": " + why);
    if (seen.insert(rel).second) staged.push_back({parts, false});
    if (pass.Cancelled()) return fail("cancelled");
  }

  std::vector<std::string> files;
  if (!PlaceStaged(staging, folder, staged, files, error, BeforeMove)) return fail(error);
  for (const auto& f : files) {
    names_.push_back(f);
    message += f + "\n";
  }
  return true;
}
