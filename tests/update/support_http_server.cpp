#include "support_http_server.h"

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "common/test_support.h"

TTestHttpServer::TTestHttpServer(const std::string& tlsCert, const std::string& tlsKey) {
  tls_ = !tlsCert.empty();
  int fds[2];
  if (::pipe(fds) != 0) return;
  std::string script = SourcePath("tests/update/http_test_server.py");
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
    const char* argv[] = {"/usr/bin/python3", script.c_str(), nullptr, nullptr, nullptr, nullptr};
    if (!tlsCert.empty()) {
      argv[2] = "--tls";
      argv[3] = tlsCert.c_str();
      argv[4] = tlsKey.c_str();
    }
    ::execv(argv[0], const_cast<char* const*>(argv));
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

std::string TTestHttpServer::Url(const std::string& path) const {
  return (tls_ ? "https://127.0.0.1:" : "http://127.0.0.1:") + std::to_string(port_) + path;
}

std::string TTestHttpServer::HostPort() const { return "127.0.0.1:" + std::to_string(port_); }

namespace httptest {

std::string ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

bool WriteWholeFile(const std::string& path, const std::string& data) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << data;
  return bool(out);
}

}  // namespace httptest
