#include "database/db_swap_lock.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <thread>

namespace {

// Two bytes of the lock file: byte 0 says a swap waits (new readers hold back, so readers
// coming one after another cannot keep a swap out for ever), byte 1 is the swap itself.
constexpr off_t kWaitByte = 0;
constexpr off_t kSwapByte = 1;
// Byte 2: held by the one run that writes into the folder.
constexpr off_t kUpdateByte = 2;

std::string LockFile(const std::string& DBDir) { return (DBDir.empty() ? std::string(".") : DBDir) + "/.qm-swap.lock"; }

// 0: locked; EWOULDBLOCK/EAGAIN: held elsewhere; other errno: no locking here.
int TryLock(int fd, off_t byte, short type) {
  struct flock fl {};
  fl.l_type = type;
  fl.l_whence = SEEK_SET;
  fl.l_start = byte;
  fl.l_len = 1;
  // Locks of the open file description: like flock, they belong to this object, not to the
  // whole process, so two objects of one process exclude each other too.
  if (::fcntl(fd, F_OFD_SETLK, &fl) == 0) return 0;
  return errno == EACCES ? EWOULDBLOCK : errno;
}

void Unlock(int fd, off_t byte) {
  struct flock fl {};
  fl.l_type = F_UNLCK;
  fl.l_whence = SEEK_SET;
  fl.l_start = byte;
  fl.l_len = 1;
  ::fcntl(fd, F_OFD_SETLK, &fl);
}

}  // namespace

TDbSwapLock::TDbSwapLock(const std::string& DBDir, TMode Mode, int TimeoutMs, const std::function<void()>& Pump) {
  fd_ = ::open(LockFile(DBDir).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
  if (fd_ < 0) {
    held_ = true;  // no lock file can be made here, so no build can replace files here either
    return;
  }
  const auto start = std::chrono::steady_clock::now();
  auto lastPump = start;
  // Waits for one byte; false on time-out.
  auto wait = [&](off_t byte, short type) {
    for (;;) {
      const int rc = TryLock(fd_, byte, type);
      if (rc == 0) return true;
      if (rc != EWOULDBLOCK && rc != EAGAIN && rc != EINTR) {
        noLocking_ = true;  // a file system without locks: go on unlocked, as before
        return true;
      }
      const auto now = std::chrono::steady_clock::now();
      if (now - start >= std::chrono::milliseconds(TimeoutMs)) return false;
      if (Pump && now - lastPump >= std::chrono::milliseconds(50)) {
        lastPump = now;
        Pump();
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
  };
  if (Mode == Exclusive) {
    held_ = wait(kWaitByte, F_WRLCK) && (noLocking_ || wait(kSwapByte, F_WRLCK));
  } else {
    held_ = wait(kWaitByte, F_RDLCK) && (noLocking_ || wait(kSwapByte, F_RDLCK));
    if (!noLocking_) Unlock(fd_, kWaitByte);
  }
  if (!held_) Release();
}

TDbSwapLock::~TDbSwapLock() { Release(); }

void TDbSwapLock::Release() {
  if (fd_ >= 0) ::close(fd_);  // closing the description drops its locks
  fd_ = -1;
}

TDbUpdateLock::TDbUpdateLock(const std::string& DBDir) {
  fd_ = ::open(LockFile(DBDir).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
  if (fd_ < 0) {
    held_ = true;
    return;
  }
  int rc;
  do {
    rc = TryLock(fd_, kUpdateByte, F_WRLCK);
  } while (rc == EINTR);
  held_ = rc == 0 || (rc != EWOULDBLOCK && rc != EAGAIN);  // no locks on this file system: as before
  if (!held_) {
    ::close(fd_);
    fd_ = -1;
  }
}

TDbUpdateLock::~TDbUpdateLock() {
  if (fd_ >= 0) ::close(fd_);
}
