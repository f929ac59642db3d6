// Extracts a ~60 MB ZIP (made by Info-ZIP's zip) through TplArchiever7ZIP, beside
// `unzip -o -q -d` (same work: files on disk) and `unzip -p > /dev/null` (inflate only) in the
// same run.   bench_unzip [runs]
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "bench_stats.h"
#include "update/archive_7zip.h"

namespace {

// CSV-like rows with random numbers: compresses about as well as the published register.
void MakeFile(const std::string& path, size_t bytes, unsigned seed) {
  std::mt19937 rng(seed);
  std::ofstream out(path, std::ios::binary);
  std::string row;
  size_t written = 0;
  char buf[128];
  while (written < bytes) {
    auto next = [&](unsigned mod) { return unsigned(rng() % mod); };
    int n = std::snprintf(buf, sizeof buf, "%u,%u,\"item %u\",%u.%02u,%08x\r\n", next(100000), next(97), next(5000),
                          next(10000), next(100), unsigned(rng()));
    out.write(buf, n);
    written += size_t(n);
  }
}

}  // namespace

int main(int argc, char** argv) {
  int runs = argc > 1 ? std::atoi(argv[1]) : 5;
  std::string base = "/tmp/qm-bench-unzip-" + std::to_string(::getpid());
  std::string src = base + "/src", zip = base + "/data.zip";
  std::system(("mkdir -p '" + src + "'").c_str());
  for (int i = 0; i < 6; ++i) MakeFile(src + "/part" + std::to_string(i) + ".csv", 24u << 20, unsigned(i + 1));
  if (std::system(("cd '" + src + "' && zip -q -r '" + zip + "' .").c_str()) != 0) return 1;
  struct stat st {};
  ::stat(zip.c_str(), &st);

  std::vector<double> ours, unzipD, unzipP;
  for (int r = 0; r < runs; ++r) {
    std::system(("rm -rf '" + base + "/a' '" + base + "/b'").c_str());
    auto t0 = std::chrono::steady_clock::now();
    TplArchiever7ZIP arc;
    std::string msg;
    if (!arc.Extract(zip, base + "/a", msg)) {
      std::fprintf(stderr, "%s", msg.c_str());
      return 1;
    }
    ours.push_back(Seconds(t0));
    t0 = std::chrono::steady_clock::now();
    if (std::system(("unzip -o -q '" + zip + "' -d '" + base + "/b'").c_str()) != 0) return 1;
    unzipD.push_back(Seconds(t0));
    t0 = std::chrono::steady_clock::now();
    if (std::system(("unzip -p '" + zip + "' > /dev/null").c_str()) != 0) return 1;
    unzipP.push_back(Seconds(t0));
  }
  std::system(("rm -rf '" + base + "'").c_str());
  double o = Median(ours), d = Median(unzipD), p = Median(unzipP);
  std::printf("extract %.1f MB zip (%d MB of CSV), median of %d runs\n", st.st_size / 1048576.0, 6 * 24, runs);
  std::printf("  TplArchiever7ZIP.Extract     %7.3f s\n", o);
  std::printf("  unzip -o -d (floor)          %7.3f s\n", d);
  std::printf("  unzip -p > /dev/null         %7.3f s\n", p);
  std::printf("  ratio to unzip -o -d         %7.2fx (goal <= 1.20x)\n", o / d);
  std::printf("  ratio to unzip -p            %7.2fx\n", o / p);
  return 0;
}
