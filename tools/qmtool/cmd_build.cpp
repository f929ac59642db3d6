// qmtool build: builds acis.db (and spec.db) from the published files, with the same
// operations in the same order as the update window. The masters folder acts as the shared
// folder for the master scripts.
//
//   qmtool build --db DIR --masters DIR --source 0 --kihon FILE --tekiyo FILE [--tekiyo FILE ...]
//   qmtool build --db DIR --masters DIR --source 2 --kihon kihon.csv --tekiyo tekiyo.csv
//   qmtool build --db DIR --masters DIR --source 1 --kihon 登録基本部.xls --tekiyo 登録適用部一.xls
//     [--tekiyo ...]   (the public service's workbooks, read through the spreadsheet reader; the
//     wanted sheet is the one named like the file; a sheet saved as CSV is taken as well)
//
// Prints the log lines (and, with --times, the seconds of each step) and exits non-zero when
// the build failed; the previous acis.db is then untouched.
#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "database/acis_build.h"
#include "database/import_rows.h"
#include "foundation/message_sink.h"
#include "qmtool_args.h"
#include "qmtool_commands.h"
#include "update/data_date.h"
#include "update/xbiff.h"
#include "update/xls_grid.h"

namespace {

int BuildUsage() {
  std::fprintf(stderr,
               "usage: qmtool build --db DIR --masters DIR --source 0|1|2 --kihon FILE --tekiyo FILE "
               "[--tekiyo FILE ...] [--download DIR] [--date TEXT] [--times] [--quiet]\n"
               "  source 0: the public service's CSV files (unpacked)\n"
               "  source 1: the spreadsheet workbooks (.xls; one --kihon, one --tekiyo per workbook),\n"
               "            or their data sheets saved as CSV\n"
               "  source 2: the mirror's kihon.csv and tekiyo.csv\n");
  return 2;
}

int RunBuild(int argc, char** argv) {
  TAcisBuildRequest req;
  std::string masters, download;
  bool times = false, quiet = false, haveSource = false;
  TQmToolArgs args(argc, argv);
  for (std::string a; args.Next(a);) {
    std::string v;
    if (a == "--db" && args.Value(v)) {
      req.DBDir = v;
    } else if (a == "--masters" && args.Value(v)) {
      masters = v;
    } else if (a == "--download" && args.Value(v)) {
      download = v;
    } else if (a == "--source" && args.Value(v)) {
      if (v != "0" && v != "1" && v != "2") {
        std::fprintf(stderr, "qmtool build: source %s is not supported (0, 1 or 2)\n", v.c_str());
        return 2;
      }
      req.Source = std::atoi(v.c_str());
      haveSource = true;
    } else if (a == "--kihon" && args.Value(v)) {
      req.KihonFile = v;
    } else if (a == "--tekiyo" && args.Value(v)) {
      req.TekiyoFiles.push_back(v);
    } else if (a == "--date" && args.Value(v)) {
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
  // Spreadsheet rows: each workbook read as the update window reads it (the sheet named like
  // the file), or a data sheet saved as a CSV file.
  std::vector<std::unique_ptr<TRowSource>> sheets;
  auto isXls = [](const std::string& f) {
    std::string ext = fs::path(f).extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
    return ext == ".xls";
  };
  auto openSheet = [&](const std::string& f, bool basics) -> TRowSource* {
    if (!isXls(f)) {
      sheets.push_back(std::make_unique<TCsvFileRows>(f));
      return sheets.back().get();
    }
    if (!basics) {
      // Read when the build imports it, one workbook at a time.
      sheets.push_back(std::make_unique<TXlsWorkbookRows>(f));
      return sheets.back().get();
    }
    auto grid = std::make_unique<TXlsGridRows>();
    grid->Load(f, "", true);
    if (!grid->SheetFound()) {
      std::string names;
      for (const auto& n : grid->SheetNames()) names += (names.empty() ? "" : ", ") + n;
      throw std::runtime_error(f + ": シート " + grid->WantedSheet() + " がありません (" + names + ")");
    }
    req.Log(fs::path(f).filename().string() + ": " + std::to_string(grid->Rows()) + " 行読込");
    if (req.DataDate.empty() && !grid->DateSentence().empty()) {
      std::string date = DataDateText(grid->DateSentence());
      req.Log("更新日取得:" + date);
      if (date != "更新日不明") req.DataDate = date;
    }
    sheets.push_back(std::move(grid));
    return sheets.back().get();
  };
  const auto readStart = std::chrono::steady_clock::now();
  try {
    if (req.Source == 1) {
      req.KihonRows = openSheet(req.KihonFile, true);
      for (const auto& f : req.TekiyoFiles) req.TekiyoRows.push_back(openSheet(f, false));
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "qmtool build: %s\n", e.what());
    return 1;
  }
  const double readSecs = std::chrono::duration<double>(std::chrono::steady_clock::now() - readStart).count();
  TAcisBuildResult res = BuildAcisDatabase(req);
  if (times) {
    double total = 0;
    if (req.Source == 1) {
      std::printf("time %-20s %8.3f s\n", "import sheets read", readSecs);
      total += readSecs;
    }
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

QmToolRegistrar reg{{"build", "build acis.db from the published CSV or spreadsheet files", RunBuild}};

}  // namespace
