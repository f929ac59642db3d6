#include "support_http_server.h"

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

TTestHttpServer::TTestHttpServer(const std::string& root, const std::string& tlsCert, const std::string& tlsKey) {
  tls_ = !tlsCert.empty();
  // The whole command line is built before fork: the child only calls exec.
  std::vector<std::string> args{"/usr/bin/python3", std::string(QM_SOURCE_DIR) + "/tests/update/http_test_server.py"};
  if (tls_) args.insert(args.end(), {"--tls", tlsCert, tlsKey});
  if (!root.empty()) args.insert(args.end(), {"--root", root});
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);

  int fds[2];
  if (::pipe(fds) != 0) return;
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
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  ::close(fds[1]);
  pid_ = pid;
  std::string line;
  // The first line is "PORT <n>"; give the interpreter a few seconds to start.
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

TTestHttpServer::~TTestHttpServer() {
  if (pid_ > 0) {
    ::kill(pid_, SIGTERM);
    int status = 0;
    ::waitpid(pid_, &status, 0);
  }
}

std::string TTestHttpServer::Base() const {
  return (tls_ ? "https://127.0.0.1:" : "http://127.0.0.1:") + std::to_string(port_);
}

std::string TTestHttpServer::HostPort() const { return "127.0.0.1:" + std::to_string(port_); }
