// qmtool build: builds acis.db (and spec.db) from the published files, with the same
// operations in the same order as the update window. The masters folder acts as the shared
// folder for the master scripts.
//
//   qmtool build --db DIR --masters DIR --source 0 --kihon FILE --tekiyo FILE [--tekiyo FILE ...]
//   qmtool build --db DIR --masters DIR --source 2 --kihon kihon.csv --tekiyo tekiyo.csv
//   qmtool build --db DIR --masters DIR --source 1 --kihon SHEET.csv --tekiyo SHEET.csv ...
//     (spreadsheet sheets saved as CSV, until the .xls reader feeds the rows directly)
//
// Prints the log lines (and, with --times, the seconds of each step) and exits non-zero when
// the build failed; the previous acis.db is then untouched.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "database/acis_build.h"
#include "database/import_rows.h"
#include "foundation/message_sink.h"
#include "qmtool_commands.h"

namespace {

int BuildUsage() {
  std::fprintf(stderr,
               "usage: qmtool build --db DIR --masters DIR --source 0|1|2 --kihon FILE --tekiyo FILE "
               "[--tekiyo FILE ...] [--download DIR] [--date TEXT] [--times] [--quiet]\n"
               "  source 0: the public service's CSV files (unpacked)\n"
               "  source 1: spreadsheet sheets saved as CSV (one --kihon, one --tekiyo per sheet)\n"
               "  source 2: the mirror's kihon.csv and tekiyo.csv\n");
  return 2;
}

int RunBuild(int argc, char** argv) {
  TAcisBuildRequest req;
  std::string masters, download;
  bool times = false, quiet = false, haveSource = false;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    auto value = [&](std::string& out) {
      if (i + 1 >= argc) return false;
      out = argv[++i];
      return true;
    };
    std::string v;
    if (a == "--db" && value(v)) {
      req.DBDir = v;
    } else if (a == "--masters" && value(v)) {
      masters = v;
    } else if (a == "--download" && value(v)) {
      download = v;
    } else if (a == "--source" && value(v)) {
      if (v != "0" && v != "1" && v != "2") {
        std::fprintf(stderr, "qmtool build: source %s is not supported (0, 1 or 2)\n", v.c_str());
        return 2;
      }
      req.Source = std::atoi(v.c_str());
      haveSource = true;
    } else if (a == "--kihon" && value(v)) {
      req.KihonFile = v;
    } else if (a == "--tekiyo" && value(v)) {
      req.TekiyoFiles.push_back(v);
    } else if (a == "--date" && value(v)) {
      req.DataDate = v;
    } else if (a == "--times") {
      times = true;
    } else if (a == "--quiet") {
      quiet = true;
    } else {
      return BuildUsage();
    }
  }
  if (req.DBDir.empty() || masters.empty() || !haveSource || req.KihonFile.empty() || req.TekiyoFiles.empty())
    return BuildUsage();

  namespace fs = std::filesystem;
  std::error_code ec;
  // Local copies of the master scripts: the download folder (a folder of the database folder
  // unless given).
  if (download.empty()) download = req.DBDir + "/download";
  fs::create_directories(download, ec);
  req.Settings.UseLAN = true;
  req.Settings.dirLAN = masters;
  req.Settings.DownloadDir = download;

  TLogMessageSink sink([&](const std::string& line) { std::fprintf(stderr, "%s\n", line.c_str()); });
  TScopedMessageSink scoped(&sink);
  req.Log = [&](const std::string& line) {
    if (!quiet) std::printf("%s\n", line.c_str());
  };
  // Spreadsheet rows: each sheet saved as a CSV file.
  std::vector<std::unique_ptr<TCsvFileRows>> sheets;
  try {
    if (req.Source == 1) {
      sheets.push_back(std::make_unique<TCsvFileRows>(req.KihonFile));
      req.KihonRows = sheets.back().get();
      for (const auto& f : req.TekiyoFiles) {
        sheets.push_back(std::make_unique<TCsvFileRows>(f));
        req.TekiyoRows.push_back(sheets.back().get());
      }
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "qmtool build: %s\n", e.what());
    return 1;
  }
  TAcisBuildResult res = BuildAcisDatabase(req);
  if (times) {
    double total = 0;
    for (const auto& [name, s] : res.Steps) {
      std::printf("time %-20s %8.3f s\n", name.c_str(), s);
      total += s;
    }
    std::printf("time %-20s %8.3f s\n", "total", total);
  }
  std::printf("kihon: %lld rows, %lld stored, %lld rejected; tekiyo: %lld rows, %lld stored, %lld rejected\n",
              static_cast<long long>(res.Kihon.Rows), static_cast<long long>(res.Kihon.Stored),
              static_cast<long long>(res.Kihon.Rejected), static_cast<long long>(res.Tekiyo.Rows),
              static_cast<long long>(res.Tekiyo.Stored), static_cast<long long>(res.Tekiyo.Rejected));
  if (!res.Ok) {
    std::fprintf(stderr, "qmtool build: failed: %s\n", res.Error.c_str());
    return 1;
  }
  std::printf("built %s\n", res.DbFile.c_str());
  return 0;
}

QmToolRegistrar reg{{"build", "build acis.db from the published CSV files", RunBuild}};

}  // namespace
