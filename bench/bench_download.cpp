// Downloads 60 MB from the loopback test server through THttpDownload, beside
// `curl -s -o /dev/null` on the same server in the same run (the floor).
//   bench_download [megabytes] [runs]
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "../tests/update/support_http_server.h"
#include "bench_stats.h"
#include "update/http_download.h"

int main(int argc, char** argv) {
  long mb = argc > 1 ? std::atol(argv[1]) : 60;
  int runs = argc > 2 ? std::atoi(argv[2]) : 11;
  TTestHttpServer server;
  if (!server.Running()) {
    std::fprintf(stderr, "the loopback server did not start\n");
    return 1;
  }
  long long size = mb * 1024LL * 1024LL;
  std::string url = server.Url("/big?size=" + std::to_string(size));
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
