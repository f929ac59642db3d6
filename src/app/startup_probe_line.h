#pragma once
// One line of the start-up probe's file: "<what> <monotonic ns> <VmRSS kB> <VmHWM kB>". Header
// only, so that the start-up benchmark's minimal baseline program writes the same lines without
// linking anything of the program.
#include <time.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace startup_probe {

// A "Key:" line of /proc/self/status in kB, or -1.
inline long StatusKb(const char* key) {
  FILE* f = std::fopen("/proc/self/status", "r");
  if (!f) return -1;
  char line[256];
  long value = -1;
  const size_t n = std::strlen(key);
  while (std::fgets(line, sizeof line, f))
    if (std::strncmp(line, key, n) == 0) {
      value = std::atol(line + n);
      break;
    }
  std::fclose(f);
  return value;
}

inline void WriteLine(const char* file, const char* what) {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  const long long ns = static_cast<long long>(ts.tv_sec) * 1000000000LL + ts.tv_nsec;
  if (FILE* f = std::fopen(file, "a")) {
    std::fprintf(f, "%s %lld %ld %ld\n", what, ns, StatusKb("VmRSS:"), StatusKb("VmHWM:"));
    std::fclose(f);
  }
}

}  // namespace startup_probe
