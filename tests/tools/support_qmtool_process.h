#pragma once
// Runs qmtool as a child process for the tests that build, kill and race it.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <functional>
#include <sstream>
#include <algorithm>
#include <string>
#include <vector>

#include "common/test_support.h"

namespace qmtool_process {

// Starts qmtool with Args; its standard output and error go to OutFile. InChild (may be empty)
// runs in the child just before the program starts (limits, environment).
inline pid_t Spawn(const std::vector<std::string>& args, const std::string& outFile,
                   const std::function<void()>& inChild = {}) {
  const std::string tool = BinaryPath("bin/qmtool");
  std::vector<std::string> all = {tool};
  all.insert(all.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (auto& a : all) argv.push_back(a.data());
  argv.push_back(nullptr);
  const pid_t pid = ::fork();
  if (pid == 0) {
    FILE* out = std::freopen(outFile.c_str(), "w", stdout);
    if (out) ::dup2(::fileno(out), 2);
    if (inChild) inChild();
    ::execv(tool.c_str(), argv.data());
    ::_exit(127);
  }
  return pid;
}

// The exit code of the child, or minus the signal that ended it.
inline int Wait(pid_t pid) {
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
}

// The children a test starts, which end with the test: a child the test has not waited for
// when the guard goes (an assertion failed while it ran, or while it stood stopped at a fault
// point) is killed, let go on so that the kill takes, and reaped. Declare it after the
// temporary folders the children write in, so that it goes first.
class TChildren {
 public:
  TChildren() = default;
  TChildren(const TChildren&) = delete;
  TChildren& operator=(const TChildren&) = delete;
  ~TChildren() {
    for (const pid_t pid : live_) {
      ::kill(pid, SIGKILL);
      ::kill(pid, SIGCONT);
      ::waitpid(pid, nullptr, 0);
    }
  }

  pid_t Spawn(const std::vector<std::string>& args, const std::string& outFile,
              const std::function<void()>& inChild = {}) {
    const pid_t pid = qmtool_process::Spawn(args, outFile, inChild);
    if (pid > 0) live_.push_back(pid);
    return pid;
  }
  // The exit code of the child, or minus the signal that ended it.
  int Wait(pid_t pid) {
    Forget(pid);
    return qmtool_process::Wait(pid);
  }
  // Waits until the child has stopped itself (SIGSTOP); false when it ended instead.
  bool WaitStopped(pid_t pid) {
    int status = 0;
    if (::waitpid(pid, &status, WUNTRACED) == pid && WIFSTOPPED(status)) return true;
    Forget(pid);
    return false;
  }
  // Lets a stopped child go on.
  void Continue(pid_t pid) { ::kill(pid, SIGCONT); }

 private:
  void Forget(pid_t pid) { live_.erase(std::remove(live_.begin(), live_.end(), pid), live_.end()); }
  std::vector<pid_t> live_;
};

inline std::string Text(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  std::ostringstream s;
  s << f.rdbuf();
  return s.str();
}

}  // namespace qmtool_process
