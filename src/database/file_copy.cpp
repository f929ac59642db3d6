#include "database/file_copy.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "foundation/stale_files.h"

TFileCopyResult CopyFileAtomic(const std::string& Source, const std::string& Destination,
                               const std::function<bool(uint64_t, bool)>& OnPiece) {
  int in = ::open(Source.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) return errno == ENOENT ? TFileCopyResult::SourceMissing : TFileCopyResult::SourceError;
  struct stat st {};
  if (::fstat(in, &st) != 0 || S_ISDIR(st.st_mode)) {
    ::close(in);
    return TFileCopyResult::SourceError;
  }
  std::string pattern = OwnTempPath(Destination, "qmcopy") + "-XXXXXX";
  std::vector<char> tmp(pattern.begin(), pattern.end());
  tmp.push_back('\0');
  int out = ::mkostemp(tmp.data(), O_CLOEXEC);
  if (out < 0) {
    ::close(in);
    return TFileCopyResult::DestinationError;
  }
  auto fail = [&](TFileCopyResult r) {
    ::close(in);
    ::close(out);
    ::unlink(tmp.data());
    return r;
  };
  bool useRange = true;
  bool first = true;
  std::vector<char> buf;
  for (;;) {
    ssize_t n;
    if (useRange) {
      n = ::copy_file_range(in, nullptr, out, nullptr, 8 << 20, 0);
      if (n < 0 && (errno == ENOSYS || errno == EXDEV || errno == EINVAL || errno == EOPNOTSUPP)) {
        useRange = false;
        continue;
      }
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) return fail(errno == EIO ? TFileCopyResult::SourceError : TFileCopyResult::DestinationError);
    } else {
      if (buf.empty()) buf.resize(1 << 20);
      n = ::read(in, buf.data(), buf.size());
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) return fail(TFileCopyResult::SourceError);
      for (ssize_t off = 0; off < n;) {
        ssize_t w = ::write(out, buf.data() + off, size_t(n - off));
        if (w < 0 && errno == EINTR) continue;
        if (w < 0) return fail(TFileCopyResult::DestinationError);
        off += w;
      }
    }
    if (n == 0) break;
    if (OnPiece && !OnPiece(uint64_t(n), first)) return fail(TFileCopyResult::Cancelled);
    first = false;
  }
  ::fchmod(out, st.st_mode & 0777);
  struct timespec times[2] = {st.st_atim, st.st_mtim};
  ::futimens(out, times);
  ::close(in);
  if (::close(out) != 0) {
    ::unlink(tmp.data());
    return TFileCopyResult::DestinationError;
  }
  if (::rename(tmp.data(), Destination.c_str()) != 0) {
    ::unlink(tmp.data());
    return TFileCopyResult::DestinationError;
  }
  return TFileCopyResult::Ok;
}
