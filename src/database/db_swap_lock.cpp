#include "database/db_swap_lock.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

namespace {

// Two bytes of the lock file: byte 0 says a swap waits (new readers hold back, so readers
// coming one after another cannot keep a swap out for ever), byte 1 is the swap itself.
constexpr off_t kWaitByte = 0;
constexpr off_t kSwapByte = 1;
// Byte 2: held by the one run that writes into the folder.
constexpr off_t kUpdateByte = 2;

std::string Folder(const std::string& DBDir) { return DBDir.empty() ? std::string(".") : DBDir; }
std::string LockFile(const std::string& DBDir) { return Folder(DBDir) + "/.qm-swap.lock"; }

// Whether this process may create or replace files in the folder (a read-only mount or a
// folder of another user without write permission: no).
bool FolderWritable(const std::string& DBDir) {
  return ::faccessat(AT_FDCWD, Folder(DBDir).c_str(), W_OK, AT_EACCESS) == 0;
}

// Opens the folder's lock file, making it when it is missing; -1 with errno when it cannot be
// opened (with Write: for writing). A file made here is left writable for every user, so that
// the umask of whoever made it first cannot lock the others out (or let them pass unlocked).
// Whoever may write a shared folder may also put a link there: a symbolic link is not
// followed, and a file with more than one name (a hard link to somebody's file) is no lock
// file; the mode of a file found in place is never changed.
int OpenLockFile(const std::string& DBDir, bool Write) {
  const std::string path = LockFile(DBDir);
  bool made = false;
  int fd = ::open(path.c_str(), O_RDWR | O_NOFOLLOW | O_CLOEXEC);
  // Made only when missing: an O_CREAT open of another user's file in a sticky folder fails
  // even where the file itself could be written.
  for (int tries = 0; fd < 0 && errno == ENOENT && tries < 3; ++tries) {
    fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    made = fd >= 0;
    if (fd < 0 && errno == EEXIST) fd = ::open(path.c_str(), O_RDWR | O_NOFOLLOW | O_CLOEXEC);
  }
  // A reader needs the file for reading only.
  if (fd < 0 && !Write && (errno == EACCES || errno == EPERM || errno == EROFS))
    fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return -1;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    errno = EISDIR;  // a folder (or a device) in its place is no lock file
    return -1;
  }
  if (st.st_nlink != 1) {
    ::close(fd);
    errno = EMLINK;  // another name of some other file
    return -1;
  }
  if (made && (st.st_mode & 0666) != 0666) (void)::fchmod(fd, 0666);
  return fd;
}

std::string CannotLock(const std::string& DBDir, int err) {
  return LockFile(DBDir) + " をロックに使えません (" + std::strerror(err) + ")。" + Folder(DBDir) +
         " のデータベースは更新しません: ほかの利用者も書き込めるファイルにするか、削除してからもう一度実行してください";
}

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
  fd_ = OpenLockFile(DBDir, Mode == Exclusive);
  if (fd_ < 0) {
    const int err = errno;
    // A reader goes on: a swap cannot take the lock either. A swap goes on only where no
    // file can be replaced anyway.
    held_ = Mode == Shared || !FolderWritable(DBDir);
    if (!held_) why_ = CannotLock(DBDir, err);
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
  if (!held_) {
    why_ = Folder(DBDir) + " のデータベースを使用中のため置き換えられません";
    Release();
  }
}

TDbSwapLock::~TDbSwapLock() { Release(); }

void TDbSwapLock::Release() {
  if (fd_ >= 0) ::close(fd_);  // closing the description drops its locks
  fd_ = -1;
}

TDbUpdateLock::TDbUpdateLock(const std::string& DBDir) {
  fd_ = OpenLockFile(DBDir, true);
  if (fd_ < 0) {
    const int err = errno;
    held_ = !FolderWritable(DBDir);  // nothing can be written there by anybody
    if (!held_) why_ = CannotLock(DBDir, err);
    return;
  }
  int rc;
  do {
    rc = TryLock(fd_, kUpdateByte, F_WRLCK);
  } while (rc == EINTR);
  held_ = rc == 0 || (rc != EWOULDBLOCK && rc != EAGAIN);  // no locks on this file system: as before
  if (!held_) {
    why_ = Folder(DBDir) + kDbFolderInUse;
    ::close(fd_);
    fd_ = -1;
  }
}

TDbUpdateLock::~TDbUpdateLock() {
  if (fd_ >= 0) ::close(fd_);
}
