#pragma once
// Starts tests/update/svr_http_server.py on a free port of 127.0.0.1, serving the files of a
// folder, for the lifetime of the object.
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "common/test_support.h"

class TSvrTestServer {
 public:
  explicit TSvrTestServer(const std::string& root) {
    int fds[2];
    if (::pipe(fds) != 0) return;
    const std::string script = SourcePath("tests/update/svr_http_server.py");
    pid_t pid = ::fork();
    if (pid < 0) {
      ::close(fds[0]);
      ::close(fds[1]);
      return;
    }
    if (pid == 0) {
      ::dup2(fds[1], 1);
      ::close(fds[0]);
      ::close(fds[1]);
      const char* argv[] = {"/usr/bin/python3", script.c_str(), root.c_str(), nullptr};
      ::execv(argv[0], const_cast<char* const*>(argv));
      ::_exit(127);
    }
    ::close(fds[1]);
    pid_ = pid;
    std::string line;
    for (int waited = 0; waited < 10000 && line.find('\n') == std::string::npos; waited += 100) {
      pollfd p{fds[0], POLLIN, 0};
      if (::poll(&p, 1, 100) > 0) {
        char buf[64];
        ssize_t n = ::read(fds[0], buf, sizeof buf);
        if (n <= 0) break;
        line.append(buf, size_t(n));
      }
    }
    ::close(fds[0]);
    if (line.rfind("PORT ", 0) == 0) port_ = std::atoi(line.c_str() + 5);
  }
  ~TSvrTestServer() {
    if (pid_ > 0) {
      ::kill(pid_, SIGTERM);
      int status = 0;
      ::waitpid(pid_, &status, 0);
    }
  }
  TSvrTestServer(const TSvrTestServer&) = delete;
  TSvrTestServer& operator=(const TSvrTestServer&) = delete;

  bool Running() const { return port_ > 0; }
  int Port() const { return port_; }
  std::string Base() const { return "http://127.0.0.1:" + std::to_string(port_); }

 private:
  pid_t pid_ = -1;
  int port_ = 0;
};
