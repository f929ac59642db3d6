#include "update/run_answers.h"

#include <sys/stat.h>

#include <cstdint>
#include <map>
#include <mutex>

#include "foundation/global.h"

namespace {

// A copy told apart from another by its file, time and size.
struct TCopy {
  dev_t dev = 0;
  ino_t ino = 0;
  std::int64_t mtimeNs = 0;
  std::int64_t size = -1;
  std::string lastModified;
  bool Same(const TCopy& o) const { return dev == o.dev && ino == o.ino && mtimeNs == o.mtimeNs && size == o.size; }
};

bool CopyOf(const std::string& file, TCopy& out) {
  struct stat st {};
  if (::stat(file.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
  out.dev = st.st_dev;
  out.ino = st.st_ino;
  out.mtimeNs = std::int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
  out.size = st.st_size;
  return true;
}

std::mutex gLock;
int gDepth = 0;
std::map<std::string, TCopy> gAnswers;  // address -> the copy its answer left

}  // namespace

TRunAnswersScope::TRunAnswersScope() {
  std::lock_guard<std::mutex> hold(gLock);
  ++gDepth;
}

TRunAnswersScope::~TRunAnswersScope() {
  std::lock_guard<std::mutex> hold(gLock);
  if (--gDepth == 0) gAnswers.clear();
}

bool RunAnswersActive() {
  std::lock_guard<std::mutex> hold(gLock);
  return gDepth > 0 || CmdAutoUpdate || CmdAutoDownload;
}

bool AnsweredThisRun(const std::string& Url, const std::string& File, std::string* LastModified) {
  if (!RunAnswersActive()) return false;
  TCopy now;
  if (!CopyOf(File, now)) return false;
  std::lock_guard<std::mutex> hold(gLock);
  auto it = gAnswers.find(Url);
  if (it == gAnswers.end() || !it->second.Same(now)) return false;
  if (LastModified) *LastModified = it->second.lastModified;
  return true;
}

void RememberAnswer(const std::string& Url, const std::string& File, const std::string& LastModified) {
  if (!RunAnswersActive()) return;
  TCopy now;
  if (!CopyOf(File, now)) return;
  now.lastModified = LastModified;
  std::lock_guard<std::mutex> hold(gLock);
  gAnswers[Url] = now;
}
