// Start-up of the program on the full-size register: the time from starting the process to its
// main window being on the screen and painted, and to the deferred start-up having opened the
// database and filled its lists, with the resident memory at those moments; beside the same
// figures of a truly minimal Qt Widgets window (main window, menu bar, empty table view; the
// baseline, which reads nothing), of that window merely linked with Qt WebEngine Widgets, and
// of that window first loading the main window's first query from acis.db into its table (the
// second baseline, which does the database work before it shows), all in one run, the
// programs taking turns. Quillmar's window and ready times are each given against the
// minimal window's, and against the loading window's.
//   window: goal <= 1.5 x the minimal window;  resident memory: goal <= 80 MB
//
// usage: bench_startup [DB_DIR [ROUNDS]]    (runs itself under xvfb-run when there is no display)
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "bench_full_db.h"
#include "bench_stats.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;

long long MonotonicNs() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<long long>(ts.tv_sec) * 1000000000LL + ts.tv_nsec;
}

struct TProgram {
  std::string Name;
  std::string Path;
  std::vector<std::string> Args;
  bool IsQuillmar = false;
};

struct TRun {
  bool Ok = false;
  double WindowMs = 0, ReadyMs = 0;
  double WindowRssMb = 0, ReadyRssMb = 0, PeakMb = 0;
};

// One start of a program; its probe writes the lines that give the figures.
TRun RunOnce(const TProgram& prog, const std::string& appDir, const std::string& probe) {
  TRun run;
  fs::remove(probe);
  if (prog.IsQuillmar) {
    // The same window every time: the settings a previous run saved are replaced.
    std::ofstream ini(appDir + "/quillmar.ini", std::ios::trunc);
    ini << "[WINDOW]\nLeft=0\nTop=0\nWidth=1000\nHeight=700\n";
  }
  std::vector<std::string> env;
  for (char** e = environ; *e; ++e) env.emplace_back(*e);
  env.push_back("QUILLMAR_STARTUP_PROBE=" + probe);
  env.push_back("QUILLMAR_APPDIR=" + appDir);
  env.push_back("QUILLMAR_INSTANCE_NAME=qm-bench-startup-" + std::to_string(getpid()));
  env.push_back("QUILLMAR_ACIS_BASE=http://127.0.0.1:9");
  env.push_back("QUILLMAR_MIRROR_BASE=http://127.0.0.1:9");
  std::vector<char*> envp, argv;
  for (auto& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);
  std::vector<std::string> args = {prog.Path};
  args.insert(args.end(), prog.Args.begin(), prog.Args.end());
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);

  posix_spawn_file_actions_t fa;
  posix_spawn_file_actions_init(&fa);
  posix_spawn_file_actions_addopen(&fa, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&fa, 2, "/dev/null", O_WRONLY, 0);
  pid_t pid = 0;
  const long long t0 = MonotonicNs();
  const int rc = posix_spawn(&pid, prog.Path.c_str(), &fa, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&fa);
  if (rc != 0) return run;
  // A program that does not come up within a minute is stopped and the run counts as failed.
  int status = 0;
  for (int waited = 0;; waited += 10) {
    const pid_t r = waitpid(pid, &status, WNOHANG);
    if (r == pid) break;
    if (waited > 60000) {
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
      return run;
    }
    usleep(10000);
  }
  std::ifstream in(probe);
  std::string what;
  long long ns = 0;
  long rss = 0, hwm = 0;
  bool window = false, ready = false;
  while (in >> what >> ns >> rss >> hwm) {
    if (what == "window") {
      window = true;
      run.WindowMs = (ns - t0) / 1e6;
      run.WindowRssMb = rss / 1024.0;
    } else if (what == "ready") {
      ready = true;
      run.ReadyMs = (ns - t0) / 1e6;
      run.ReadyRssMb = rss / 1024.0;
      run.PeakMb = hwm / 1024.0;
    }
  }
  run.Ok = window && ready;
  return run;
}

std::string Fmt(double v, const char* f) {
  char buf[32];
  std::snprintf(buf, sizeof buf, f, v);
  return buf;
}

}  // namespace

int main(int argc, char** argv) {
  // The windows need a display: without one the benchmark runs itself under a virtual one.
  const char* display = std::getenv("DISPLAY");
  if ((!display || !*display) && !std::getenv("QM_BENCH_NO_XVFB")) {
    setenv("QM_BENCH_NO_XVFB", "1", 1);
    std::vector<char*> args = {const_cast<char*>("xvfb-run"), const_cast<char*>("-a"), const_cast<char*>("-s"),
                               const_cast<char*>("-screen 0 1280x1024x24")};
    for (int i = 0; i < argc; ++i) args.push_back(argv[i]);
    args.push_back(nullptr);
    execvp("xvfb-run", args.data());
    std::perror("xvfb-run");
    return 1;
  }
  const std::string dbDir = fs::absolute(FullDbDir(argc, argv)).string();
  const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 11;
  if (!EnsureFullDb(dbDir)) return 1;

  const std::string bin = QM_BINARY_DIR;
  const std::string appDir = bin + "/startup-app";
  fs::create_directories(appDir);
  // The program's database folder is the full-size register's.
  if (!fs::exists(appDir + "/DB")) fs::create_directory_symlink(dbDir, appDir + "/DB");
  const std::string probe = appDir + "/probe.txt";

  const std::vector<TProgram> programs = {
      {"Quillmar", bin + "/bin/quillmar", {"/f"}, true},
      {"minimal window (baseline)", bin + "/bench-bin/startup_minimal", {}, false},
      {"minimal window linked with WebEngine", bin + "/bench-bin/startup_minimal_web", {}, false},
      {"minimal window loading acis.db first", bin + "/bench-bin/startup_minimal_db", {dbDir}, false},
  };
  const std::string kBaseline = programs[1].Name, kLoading = programs[3].Name;
  for (const auto& p : programs)
    if (!fs::exists(p.Path)) {
      std::printf("missing %s (build the bench_startup target)\n", p.Path.c_str());
      return 1;
    }

  std::map<std::string, std::vector<TRun>> runs;
  // Round 0 fills the page cache and is not counted.
  for (int round = 0; round <= rounds; ++round)
    for (const auto& p : programs) {
      TRun r = RunOnce(p, appDir, probe);
      if (!r.Ok) {
        std::printf("%s: run %d failed (no probe lines)\n", p.Name.c_str(), round);
        continue;
      }
      if (round > 0) runs[p.Name].push_back(r);
    }

  std::printf("start-up on the full-size register (%s), median of %d runs each\n", dbDir.c_str(), rounds);
  std::printf("%-42s %10s %10s %12s %12s %10s\n", "program", "window ms", "ready ms", "window MB", "ready MB",
              "peak MB");
  auto median = [&](const std::string& name, double TRun::*field) {
    std::vector<double> xs;
    for (const auto& r : runs[name]) xs.push_back(r.*field);
    return xs.empty() ? 0.0 : Median(xs);
  };
  for (const auto& p : programs) {
    if (runs[p.Name].empty()) continue;
    std::printf("%-42s %10s %10s %12s %12s %10s\n", p.Name.c_str(), Fmt(median(p.Name, &TRun::WindowMs), "%.1f").c_str(),
                Fmt(median(p.Name, &TRun::ReadyMs), "%.1f").c_str(),
                Fmt(median(p.Name, &TRun::WindowRssMb), "%.1f").c_str(),
                Fmt(median(p.Name, &TRun::ReadyRssMb), "%.1f").c_str(), Fmt(median(p.Name, &TRun::PeakMb), "%.1f").c_str());
  }
  const std::string& quillmar = programs[0].Name;
  if (!runs[quillmar].empty()) {
    const double window = median(quillmar, &TRun::WindowMs), ready = median(quillmar, &TRun::ReadyMs);
    // The minimal windows are ready when they are painted: their window time is their ready time.
    if (const double base = median(kBaseline, &TRun::WindowMs); base > 0) {
      std::printf("Quillmar window / minimal window: %.2fx (goal <= 1.50x)\n", window / base);
      std::printf("Quillmar ready  / minimal window: %.2fx\n", ready / base);
    }
    if (const double loading = median(kLoading, &TRun::ReadyMs); loading > 0) {
      std::printf("Quillmar window / minimal window loading acis.db first: %.2fx\n", window / loading);
      std::printf("Quillmar ready  / minimal window loading acis.db first: %.2fx\n", ready / loading);
    }
    std::printf("Quillmar resident when ready: %.1f MB (goal <= 80 MB)\n", median(quillmar, &TRun::ReadyRssMb));
  }
  return 0;
}
