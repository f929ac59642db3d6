// Reading a 65,000-row x 25-column .xls with TXBiff, beside LibreOffice converting the same
// file to CSV (soffice --headless --convert-to csv) in the same run.
//
// The workbook is made once by LibreOffice from a generated CSV and kept in
// <build>/bench-data/xls_65000x25.xls. TXBiff is timed three times: events only, storing every
// cell into a string grid, and through TXlsGridRows (the rows the spreadsheet build imports). LibreOffice runs with a private, warmed-up
// profile; its best of two runs is shown.
//
// usage: bench_xls [ROWS]   (needs soffice: tools/setup.sh --bench)
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bench_stats.h"
#include "update/xbiff.h"
#include "update/xls_grid.h"

namespace fs = std::filesystem;

namespace {

constexpr int kCols = 25;

void WriteCsv(const fs::path& path, int rows) {
  static const char* const kCrops[] = {"稲", "小麦", "だいず", "キャベツ", "はくさい", "トマト", "きゅうり", "りんご"};
  static const char* const kPests[] = {"いもち病", "紋枯病", "アブラムシ類", "ハスモンヨトウ", "うどんこ病", "ハダニ類"};
  std::ofstream f(path, std::ios::binary);
  for (int c = 0; c < kCols; ++c) f << (c ? "," : "") << "列" << c + 1;
  f << "\n";
  for (int r = 0; r < rows; ++r) {
    f << 20000 + r;                                                       // registration number
    for (int c = 1; c <= 8; ++c) f << "," << kCrops[(r + c) % 8] << "（第" << (r * 7 + c) % 5000 << "区）";
    for (int c = 9; c <= 14; ++c) f << "," << kPests[(r + c) % 6] << "・" << r % 997 << "番";
    for (int c = 15; c <= 19; ++c) f << "," << (r % 1000) * 0.25 + c;     // decimals
    for (int c = 20; c <= 22; ++c) f << ",text " << (r * c) % 3000;        // ASCII text
    f << "," << r % 100 << "," << 1000 + r * 3 << "\n";                    // integers
  }
}

int Run(const std::string& cmd) {
  const int rc = std::system(cmd.c_str());
  return rc;
}

}  // namespace

int main(int argc, char** argv) {
  const int rows = argc > 1 ? std::atoi(argv[1]) : 65000;
  const fs::path dataDir = fs::path(QM_BINARY_DIR) / "bench-data";
  fs::create_directories(dataDir);
  const fs::path xls = dataDir / ("xls_" + std::to_string(rows) + "x25.xls");
  const fs::path work = fs::temp_directory_path() / ("bench_xls_" + std::to_string(getpid()));
  fs::create_directories(work);
  const std::string profile = "-env:UserInstallation=file://" + (work / "profile").string();
  const std::string soffice = "soffice " + profile + " --headless ";

  if (!fs::exists(xls)) {
    std::printf("making %s with LibreOffice...\n", xls.c_str());
    const fs::path csv = work / ("xls_" + std::to_string(rows) + "x25.csv");
    WriteCsv(csv, rows);
    const std::string cmd = soffice + "--infilter=CSV:44,34,76,1 --convert-to 'xls:MS Excel 97' --outdir '" +
                            work.string() + "' '" + csv.string() + "' >/dev/null 2>&1";
    if (Run(cmd) != 0 || !fs::exists(work / xls.filename())) {
      std::fprintf(stderr, "bench_xls: LibreOffice could not make the workbook (tools/setup.sh --bench)\n");
      fs::remove_all(work);
      return 1;
    }
    // The work folder may lie on another file system (TMPDIR), where no rename reaches: the
    // workbook is copied beside its place and put there by one rename.
    const fs::path part = dataDir / (xls.filename().string() + ".quillmar-bench-" + std::to_string(getpid()));
    fs::copy_file(work / xls.filename(), part, fs::copy_options::overwrite_existing);
    fs::rename(part, xls);
  }
  std::printf("workbook: %s (%.1f MB)\n", xls.c_str(), double(fs::file_size(xls)) / 1e6);

  // TXBiff, events only.
  double bestEvents = 1e9;
  size_t cells = 0;
  for (int i = 0; i < 5; ++i) {
    TXBiff x;
    size_t n = 0;
    x.OnReadCell = [&n](TXBiff*, int, int, int, int, const std::string&, bool&) { ++n; };
    const double t0 = Now();
    x.LoadFromFile(xls.string());
    bestEvents = std::min(bestEvents, Now() - t0);
    cells = n;
  }
  // TXBiff into a string grid of the sheet's size, as the data update fills its grid.
  double bestGrid = 1e9;
  for (int i = 0; i < 5; ++i) {
    std::vector<std::string> grid(size_t(rows + 1) * 30);
    TXBiff x;
    x.OnReadCell = [&grid, rows](TXBiff*, int, int r, int c, int, const std::string& d, bool&) {
      if (r <= rows && c < 30) grid[size_t(r) * 30 + size_t(c)] = d;
    };
    const double t0 = Now();
    x.LoadFromFile(xls.string());
    bestGrid = std::min(bestGrid, Now() - t0);
  }

  // The grid rows the spreadsheet build imports (TXlsGridRows: the wanted sheet, bounded,
  // cells in one arena), loaded and every row handed out.
  double bestRows = 1e9;
  int64_t gridRows = 0;
  for (int i = 0; i < 5; ++i) {
    const double t0 = Now();
    TXlsGridRows g;
    g.Load(xls.string());
    std::vector<std::string> row;
    int64_t n = 0;
    while (g.NextRow(row)) ++n;
    bestRows = std::min(bestRows, Now() - t0);
    gridRows = n;
  }

  // LibreOffice converting the same file to CSV: one untimed run to set up its profile.
  const std::string conv = soffice + "--convert-to csv --outdir '" + (work / "out").string() + "' '" + xls.string() +
                           "' >/dev/null 2>&1";
  Run(conv);
  double bestLo = 1e9;
  for (int i = 0; i < 2; ++i) {
    const double t0 = Now();
    if (Run(conv) != 0) {
      std::fprintf(stderr, "bench_xls: soffice failed\n");
      break;
    }
    bestLo = std::min(bestLo, Now() - t0);
  }
  fs::remove_all(work);

  std::printf("cells delivered: %zu\n", cells);
  std::printf("%-44s %9.3f s  (%.1f M cells/s)\n", "TXBiff read, events only", bestEvents, double(cells) / bestEvents / 1e6);
  std::printf("%-44s %9.3f s\n", "TXBiff read into a string grid", bestGrid);
  std::printf("%-44s %9.3f s  (%lld rows)\n", "TXlsGridRows load and hand out every row", bestRows,
              static_cast<long long>(gridRows));
  std::printf("%-44s %9.3f s\n", "LibreOffice --convert-to csv (baseline)", bestLo);
  std::printf("ratio TXBiff(grid) / LibreOffice: %.3f\n", bestGrid / bestLo);
  std::printf("ratio TXlsGridRows / LibreOffice: %.3f\n", bestRows / bestLo);
  return 0;
}
