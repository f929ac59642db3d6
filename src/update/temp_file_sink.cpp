#include "update/temp_file_sink.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>

#include "foundation/disk_space.h"
#include "foundation/stale_files.h"
#include "update/http_date.h"

bool TempFileSink::Write(const char* data, size_t size) {
  if (fd_ < 0 && !Open()) return false;
  if (failed_) return false;
  while (size > 0) {
    size_t n = std::min(size, kBlock - cur_.size());
    cur_.insert(cur_.end(), data, data + n);
    data += n;
    size -= n;
    if (cur_.size() == kBlock && !Submit()) return false;
  }
  return true;
}

bool TempFileSink::Commit(const std::string& lastModified) {
  if (fd_ < 0 && !Open()) return false;
  if (!cur_.empty() && !Submit()) return false;
  StopWriter();
  if (failed_) return false;
  mode_t mask = ::umask(0);
  ::umask(mask);
  ::fchmod(fd_, 0666 & ~mask);
  int fd = fd_;
  fd_ = -1;
  if (::close(fd) != 0) return false;
  if (!lastModified.empty()) SetFileHttpTime(tmp_, lastModified);
  if (::rename(tmp_.c_str(), target_.c_str()) != 0) return false;
  tmp_.clear();
  return true;
}

void TempFileSink::Discard() {
  StopWriter();
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  if (!tmp_.empty()) ::unlink(tmp_.c_str());
  tmp_.clear();
}

bool TempFileSink::Open() {
  if (target_.empty()) return false;  // no file name: nothing can be saved
  // The process id in the name lets the next start remove what a killed run left.
  std::string pattern = OwnTempPath(target_, "part") + "-XXXXXX";
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  int fd = ::mkostemp(name.data(), O_CLOEXEC);
  if (fd < 0) return false;
  fd_ = fd;
  tmp_ = name.data();
  cur_.reserve(kBlock);
  writer_ = std::thread([this] { WriterLoop(); });
  return true;
}

bool TempFileSink::Submit() {
  // Every block: stop before the disk fills, with the reserve still free.
  if (!RoomFor(target_, std::int64_t(cur_.size()))) {
    diskFull_ = true;
    return false;
  }
  std::unique_lock<std::mutex> lock(mu_);
  spaceCv_.wait(lock, [&] { return queue_.size() < kQueued || failed_; });
  if (failed_) return false;
  queue_.push_back(std::move(cur_));
  if (!spare_.empty()) {
    cur_ = std::move(spare_.back());
    spare_.pop_back();
  } else {
    cur_ = std::vector<char>();
    cur_.reserve(kBlock);
  }
  cur_.clear();
  workCv_.notify_one();
  return true;
}

void TempFileSink::WriterLoop() {
  for (;;) {
    std::vector<char> block;
    {
      std::unique_lock<std::mutex> lock(mu_);
      workCv_.wait(lock, [&] { return !queue_.empty() || stop_; });
      if (queue_.empty()) return;
      block = std::move(queue_.front());
      queue_.pop_front();
    }
    bool ok = failed_ ? false : WriteAll(block.data(), block.size());
    std::lock_guard<std::mutex> lock(mu_);
    if (!ok) failed_ = true;
    block.clear();
    spare_.push_back(std::move(block));
    spaceCv_.notify_one();
  }
}

void TempFileSink::StopWriter() {
  if (!writer_.joinable()) return;
  {
    std::lock_guard<std::mutex> lock(mu_);
    stop_ = true;
  }
  workCv_.notify_one();
  writer_.join();
}

bool TempFileSink::WriteAll(const char* p, size_t n) {
  while (n > 0) {
    ssize_t w = ::write(fd_, p, n);
    if (w < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    p += w;
    n -= size_t(w);
  }
  return true;
}
