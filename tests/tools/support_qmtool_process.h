#pragma once
// Runs qmtool (and the other programs the tool tests read their results with) as a child
// process: to its end through QProcess, or started and waited for by hand for the tests that
// build, kill, stop and race it.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>
#include <cstdio>
#include <fstream>
#include <functional>
#include <sstream>
#include <algorithm>
#include <string>
#include <vector>

#include "common/test_support.h"

namespace qmtool_process {

// What a program run to its end left: its exit code (-1 when it did not end by itself) and
// its standard output and error.
struct ToolRun {
  int code = -1;
  std::string out, err;
};

// Runs Program with Args to its end, Input on its standard input, in Env.
inline ToolRun RunProgram(const QString& program, const QStringList& args, const QByteArray& input = {},
                          const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment()) {
  QProcess p;
  p.setProcessEnvironment(env);
  p.start(program, args);
  EXPECT_TRUE(p.waitForStarted(10000)) << program.toStdString();
  if (!input.isEmpty()) p.write(input);
  p.closeWriteChannel();
  EXPECT_TRUE(p.waitForFinished(300000)) << program.toStdString() << " " << args.join(' ').toStdString();
  ToolRun r;
  r.code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
  r.out = p.readAllStandardOutput().toStdString();
  r.err = p.readAllStandardError().toStdString();
  return r;
}

// Runs the built qmtool with Args to its end.
inline ToolRun Qmtool(const QStringList& args, const QByteArray& input = {},
                      const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment()) {
  return RunProgram(QString::fromStdString(BinaryPath("bin/qmtool")), args, input, env);
}

// Builds the bundled sample register (the mirror's CSV files and the master scripts) into
// Db/acis.db with the built qmtool.
inline ToolRun BuildSampleRegister(const QString& db) {
  const QString sample = QString::fromStdString(SourcePath("data/sample"));
  return Qmtool({"build", "--db", db, "--masters", sample + "/masters", "--source", "2", "--kihon",
                 sample + "/mirror/kihon.csv", "--tekiyo", sample + "/mirror/tekiyo.csv"});
}

inline QStringList Strings(const std::vector<std::string>& args) {
  QStringList out;
  for (const auto& a : args) out << QString::fromStdString(a);
  return out;
}

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
