#pragma once
// Runs qmtool as a child process for the tests that build, kill and race it.
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <functional>
#include <sstream>
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

inline std::string Text(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  std::ostringstream s;
  s << f.rdbuf();
  return s.str();
}

}  // namespace qmtool_process
