#include "foundation/disk_space.h"

#include <sys/statvfs.h>

#include <mutex>

namespace {
std::mutex gMu;
TFreeSpaceProbe gProbe;
}  // namespace

TFreeSpaceProbe SetFreeSpaceProbe(TFreeSpaceProbe Probe) {
  std::lock_guard<std::mutex> lk(gMu);
  TFreeSpaceProbe prev = std::move(gProbe);
  gProbe = std::move(Probe);
  return prev;
}

std::int64_t FreeDiskBytes(const std::string& Path) {
  {
    std::lock_guard<std::mutex> lk(gMu);
    if (gProbe) return gProbe(Path);
  }
  std::string p = Path.empty() ? std::string(".") : Path;
  for (;;) {
    struct statvfs st {};
    if (::statvfs(p.c_str(), &st) == 0) return std::int64_t(st.f_bavail) * std::int64_t(st.f_frsize);
    const size_t slash = p.find_last_of('/');
    if (slash == std::string::npos) p = ".";
    else if (slash == 0) p = "/";
    else p.resize(slash);
    if (p == "." || p == "/") {
      if (::statvfs(p.c_str(), &st) == 0) return std::int64_t(st.f_bavail) * std::int64_t(st.f_frsize);
      return -1;
    }
  }
}

bool RoomFor(const std::string& Path, std::int64_t Bytes) {
  const std::int64_t free = FreeDiskBytes(Path);
  if (free < 0) return true;
  return Bytes < 0 ? free >= kDiskReserveBytes : free - Bytes >= kDiskReserveBytes;
}
