#pragma once
// Receives the body into a temporary file beside the target. Pieces are gathered into large
// blocks that a writer thread puts on disk while the next ones arrive, so saving the file
// costs the download next to no time.
//
// Nothing reaches the target until Commit: Discard (also the destructor) removes the
// temporary file.
#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class TempFileSink {
 public:
  explicit TempFileSink(std::string target) : target_(std::move(target)) {}
  ~TempFileSink() { Discard(); }
  TempFileSink(const TempFileSink&) = delete;
  TempFileSink& operator=(const TempFileSink&) = delete;

  bool Write(const char* data, size_t size);
  bool DiskFull() const { return diskFull_; }
  // Writes the rest, closes, optionally stamps the time and renames onto the target.
  bool Commit(const std::string& lastModified);
  void Discard();

 private:
  static constexpr size_t kBlock = 1 << 20;
  static constexpr size_t kQueued = 8;  // blocks in flight at most

  bool Open();
  bool Submit();
  void WriterLoop();
  void StopWriter();
  bool WriteAll(const char* p, size_t n);

  std::string target_;
  std::string tmp_;
  int fd_ = -1;
  std::vector<char> cur_;
  std::thread writer_;
  std::mutex mu_;
  std::condition_variable workCv_, spaceCv_;
  std::deque<std::vector<char>> queue_;
  std::vector<std::vector<char>> spare_;
  std::atomic<bool> failed_{false};
  bool stop_ = false;
  bool diskFull_ = false;
};
