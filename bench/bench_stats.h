#pragma once
// Timing and memory figures for the benchmarks that print their own results.
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

// Seconds since t0.
inline double Seconds(std::chrono::steady_clock::time_point t0) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

// The steady clock in seconds, for differences.
inline double Now() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

inline double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

inline double Min(const std::vector<double>& v) { return *std::min_element(v.begin(), v.end()); }

// The smallest of RUNS results of f(), which returns seconds.
template <typename F>
double BestOf(int runs, F f) {
  double best = 1e9;
  for (int i = 0; i < runs; ++i) best = std::min(best, f());
  return best;
}

// The best time of RUNS calls of f().
template <typename F>
double BestTime(int runs, F f) {
  return BestOf(runs, [&] {
    const double t0 = Now();
    f();
    return Now() - t0;
  });
}

// A figure of /proc/self/status in kB ("VmRSS:", "VmHWM:"), -1 when missing.
inline long StatusKb(const char* key) {
  std::ifstream f("/proc/self/status");
  std::string line;
  const size_t n = std::strlen(key);
  while (std::getline(f, line))
    if (line.compare(0, n, key) == 0) return std::atol(line.c_str() + n + 1);
  return -1;
}

// The resident set in MB.
inline double RssMb() { return StatusKb("VmRSS:") / 1024.0; }
