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
#include <set>

#include "database/import_reader.h"  // IsValidUtf8
#include "foundation/stale_files.h"

namespace {

std::uint64_t NowMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

std::string Cp932ToUtf8(const std::string& raw) {
  iconv_t cd = iconv_open("UTF-8", "CP932");
  if (cd == iconv_t(-1)) return raw;
  std::string out;
  out.resize(raw.size() * 3 + 8);
  char* in = const_cast<char*>(raw.data());
  size_t inLeft = raw.size();
  char* o = out.data();
  size_t oLeft = out.size();
  while (inLeft > 0) {
    if (iconv(cd, &in, &inLeft, &o, &oLeft) != size_t(-1)) break;
    if (errno == E2BIG) break;  // cannot happen with 3 bytes per input byte
    // A byte that is no CP932: keep the name usable and go on.
    *o++ = '_';
    --oLeft;
    ++in;
    --inLeft;
  }
  out.resize(out.size() - oLeft);
  iconv_close(cd);
  return out;
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

std::string ArchiveNameToUtf8(const std::string& raw) {
  std::string name = IsValidUtf8(raw.data(), raw.size()) ? raw : Cp932ToUtf8(raw);
  for (char& c : name)
    if (c == '\\') c = '/';  // after the conversion: a CP932 trail byte may be 0x5C
  return name;
}

bool SafeArchivePath(const std::string& name, std::vector<std::string>& parts) {
  parts.clear();
  size_t p = 0;
  bool first = true;
  while (p <= name.size()) {
    size_t e = name.find('/', p);
    if (e == std::string::npos) e = name.size();
    std::string part = name.substr(p, e - p);
    p = e + 1;
    if (first && part.size() == 2 && part[1] == ':' && std::isalpha(static_cast<unsigned char>(part[0]))) {
      first = false;
      continue;  // "C:" of a Windows absolute name
    }
    first = false;
    if (part.empty() || part == ".") continue;
    if (part == "..") return false;
    parts.push_back(part);
  }
  return true;
}

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

bool TplArchiever7ZIP::Extract(const std::string& archivePath, const std::string& folder, std::string& message) {
  names_.clear();
  message.clear();
  namespace fs = std::filesystem;
  auto fail = [&](const std::string& why) {
    message += "Error: " + why + "\n";
    return false;
  };
  if (folder.empty()) return fail("no target folder");
  std::error_code ec;
  fs::create_directories(folder, ec);
  struct stat st {};
  if (::stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return fail("cannot create folder " + folder);

  std::string pattern = folder + "/.qm-unpack-" + OwnerTag() + "-XXXXXX";
  std::vector<char> buf(pattern.begin(), pattern.end());
  buf.push_back('\0');
  if (!::mkdtemp(buf.data())) return fail(std::string("cannot create a temporary folder: ") + std::strerror(errno));
  const std::string staging = buf.data();
  struct StagingGuard {
    std::string path;
    ~StagingGuard() {
      std::error_code e;
      std::filesystem::remove_all(path, e);
    }
  } guard{staging};

  TUtf8Locale utf8;
  archive* a = archive_read_new();
  if (!a) return fail("out of memory");
  struct ReaderGuard {
    archive* a;
    ~ReaderGuard() { archive_read_free(a); }
  } reader{a};
  archive_read_support_format_zip(a);
  archive_read_support_format_lha(a);
  archive_read_support_format_7zip(a);
  archive_read_support_format_tar(a);
  archive_read_support_filter_gzip(a);
  archive_read_support_filter_bzip2(a);
  archive_read_support_filter_xz(a);
  // LHA names are CP932 by convention, and libarchive must be told so: it cannot read
  // non-ASCII LHA names otherwise. ZIP names come as stored and are judged below.
  archive_read_set_options(a, "lha:hdrcharset=CP932");
  if (archive_read_open_filename(a, archivePath.c_str(), 1 << 16) != ARCHIVE_OK)
    return fail(archivePath + ": " + (archive_error_string(a) ? archive_error_string(a) : "cannot open"));

  std::vector<Staged> staged;
  std::set<std::string> seen;
  std::vector<char> data(1 << 18);
  std::uint64_t lastPump = 0;  // the first block already lets the window breathe
  bool refused = false;
  auto pumpCancelled = [&] {
    if (!OnPump) return false;
    std::uint64_t now = NowMs();
    if (now - lastPump < 50) return false;
    lastPump = now;
    bool cancel = false;
    OnPump(cancel);
    return cancel;
  };

  for (;;) {
    archive_entry* entry = nullptr;
    int r = archive_read_next_header(a, &entry);
    if (r == ARCHIVE_EOF) break;
    if (r < ARCHIVE_WARN) return fail(archive_error_string(a) ? archive_error_string(a) : "damaged archive");
    const char* rawName = archive_entry_pathname(entry);
    if (!rawName) rawName = archive_entry_pathname_utf8(entry);
    std::string name = ArchiveNameToUtf8(rawName ? rawName : "");
    std::vector<std::string> parts;
    if (!SafeArchivePath(name, parts)) {
      message += "Refused (outside the folder): " + name + "\n";
      refused = true;
      continue;
    }
    if (parts.empty()) continue;
    if (archive_entry_is_encrypted(entry)) return fail("encrypted member: " + name);
    mode_t type = archive_entry_filetype(entry);
    if (archive_entry_hardlink(entry) || type == AE_IFLNK) {
      message += "Skipped (link): " + name + "\n";
      continue;
    }
    std::string rel = Join(parts, parts.size());
    std::string error;
    if (type == AE_IFDIR) {
      if (!MakeFolders(staging, parts, parts.size(), error)) return fail(error);
      if (seen.insert(rel).second) staged.push_back({parts, true});
      continue;
    }
    if (type != AE_IFREG && type != 0) {
      message += "Skipped (not a file): " + name + "\n";
      continue;
    }
    if (!MakeFolders(staging, parts, parts.size() - 1, error)) return fail(error);
    std::string target = staging + "/" + rel;
    int fd = ::open(target.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0) return fail("cannot write " + rel + ": " + std::strerror(errno));
    bool ok = true;
    std::string why;
    for (;;) {
      const void* block = nullptr;
      size_t size = 0;
      la_int64_t offset = 0;
      int rr = archive_read_data_block(a, &block, &size, &offset);
      if (rr == ARCHIVE_EOF) break;
      if (rr != ARCHIVE_OK) {  // a CRC mismatch comes as a warning: it is a failure here
        ok = false;
        why = archive_error_string(a) ? archive_error_string(a) : "damaged member";
        break;
      }
      if (size && !WriteAll(fd, static_cast<const char*>(block), size, offset)) {
        ok = false;
        why = std::string("write failed: ") + std::strerror(errno);
        break;
      }
      if (pumpCancelled()) {
        ok = false;
        why = "cancelled";
        break;
      }
    }
    if (ok) {
      // Execute bits as stored; the rest from the umask.
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
    if (::close(fd) != 0 && ok) {
      ok = false;
      why = std::string("write failed: ") + std::strerror(errno);
    }
    if (!ok) return fail(rel + ": " + why);
    if (seen.insert(rel).second) staged.push_back({parts, false});
    if (pumpCancelled()) return fail("cancelled");
  }
  if (refused) return fail("the archive holds names outside the target folder; nothing was extracted");

  // Everything read cleanly: move into place.
  for (const auto& s : staged) {
    std::string rel = Join(s.parts, s.parts.size());
    std::string error;
    if (s.folder) {
      if (!MakeFolders(folder, s.parts, s.parts.size(), error)) return fail(error);
      continue;
    }
    if (!MakeFolders(folder, s.parts, s.parts.size() - 1, error)) return fail(error);
    std::string dest = folder + "/" + rel;
    struct stat dst {};
    if (::lstat(dest.c_str(), &dst) == 0 && S_ISDIR(dst.st_mode)) return fail("a folder is in the way: " + rel);
    if (::rename((staging + "/" + rel).c_str(), dest.c_str()) != 0)
      return fail("cannot replace " + rel + ": " + std::strerror(errno));
    names_.push_back(rel);
    message += rel + "\n";
  }
  return true;
}
