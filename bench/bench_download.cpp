// Downloads 60 MB from the loopback test server through THttpDownload, beside
// `curl -s -o /dev/null` on the same server in the same run (the floor).
//   bench_download [megabytes] [runs]
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "update/http_download.h"

namespace {

double Seconds(std::chrono::steady_clock::time_point t0) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

double Min(const std::vector<double>& v) { return *std::min_element(v.begin(), v.end()); }

struct Server {
  pid_t pid = -1;
  int port = 0;
  Server() {
    int fds[2];
    if (::pipe(fds) != 0) return;
    std::string script = std::string(QM_SOURCE_DIR) + "/tests/update/http_test_server.py";
    pid = ::fork();
    if (pid == 0) {
      ::dup2(fds[1], 1);
      ::close(fds[0]);
      ::close(fds[1]);
      const char* argv[] = {"/usr/bin/python3", script.c_str(), nullptr};
      ::execv(argv[0], const_cast<char* const*>(argv));
      ::_exit(127);
    }
    ::close(fds[1]);
    std::string line;
    for (int i = 0; i < 100 && line.find('\n') == std::string::npos; ++i) {
      pollfd p{fds[0], POLLIN, 0};
      if (::poll(&p, 1, 100) > 0) {
        char buf[64];
        ssize_t n = ::read(fds[0], buf, sizeof buf);
        if (n <= 0) break;
        line.append(buf, size_t(n));
      }
    }
    ::close(fds[0]);
    if (line.rfind("PORT ", 0) == 0) port = std::atoi(line.c_str() + 5);
  }
  ~Server() {
    if (pid > 0) {
      ::kill(pid, SIGTERM);
      ::waitpid(pid, nullptr, 0);
    }
  }
};

}  // namespace

int main(int argc, char** argv) {
  long mb = argc > 1 ? std::atol(argv[1]) : 60;
  int runs = argc > 2 ? std::atoi(argv[2]) : 11;
  Server server;
  if (server.port <= 0) {
    std::fprintf(stderr, "the loopback server did not start\n");
    return 1;
  }
  long long size = mb * 1024LL * 1024LL;
  std::string url = "http://127.0.0.1:" + std::to_string(server.port) + "/big?size=" + std::to_string(size);
  std::string file = "/tmp/qm-bench-download-" + std::to_string(::getpid()) + ".bin";
  std::string curlCmd = "curl -s -o /dev/null '" + url + "'";
  std::string curlFileCmd = "curl -s -o '" + file + ".curl' '" + url + "'";

  std::vector<double> ours, curl, curlFile;
  std::system(curlCmd.c_str());  // warm up the server
  for (int r = 0; r < runs; ++r) {
    ::unlink(file.c_str());
    auto t0 = std::chrono::steady_clock::now();
    THttpDownload d;
    d.AdjustTimeStamp = true;
    d.ProgressInterval = 10;
    d.OnDownloadProgress = [](TInetDownload&, std::uint32_t, std::uint32_t, std::uint32_t, const std::string&,
                              bool&) {};
    d.SetUrl(url);
    d.SetFileName(file);
    bool ok = d.Execute();
    ours.push_back(Seconds(t0));
    if (!ok || d.ContentLength != size) {
      std::fprintf(stderr, "download failed: %d\n", d.ErrorCode);
      return 1;
    }
    t0 = std::chrono::steady_clock::now();
    if (std::system(curlCmd.c_str()) != 0) return 1;
    curl.push_back(Seconds(t0));
    t0 = std::chrono::steady_clock::now();
    if (std::system(curlFileCmd.c_str()) != 0) return 1;
    curlFile.push_back(Seconds(t0));
  }
  ::unlink(file.c_str());
  ::unlink((file + ".curl").c_str());
  double o = Median(ours), c = Median(curl), cf = Median(curlFile);
  std::printf("download %ld MB from 127.0.0.1, median of %d runs\n", mb, runs);
  std::printf("  THttpDownload -> file       %7.3f s  %7.1f MB/s\n", o, mb / o);
  std::printf("  curl -o /dev/null (floor)   %7.3f s  %7.1f MB/s\n", c, mb / c);
  std::printf("  curl -o file (reference)    %7.3f s  %7.1f MB/s\n", cf, mb / cf);
  std::printf("  ratio to floor (median)     %7.2fx (goal <= 1.20x)\n", o / c);
  std::printf("  ratio to floor (best runs)  %7.2fx  (%.3f s vs %.3f s)\n", Min(ours) / Min(curl), Min(ours),
              Min(curl));
  return 0;
}
