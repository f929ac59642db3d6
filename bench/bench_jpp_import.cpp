// The JPP-NET import of a 50,000-line product file and a 100,000-line ingredient file (CP932,
// made from the sample register's files with new registration numbers), beside
// `iconv -f CP932 -t UTF-8 FILE | sqlite3 jpp.db ".import --csv --skip 1 /dev/stdin TABLE"` into
// the same table definition, in the same run. Best of three runs each; goal: within 1.3 times
// the baseline.
//
// usage: bench_jpp_import [PRODUCT_LINES [INGREDIENT_LINES]]   (needs iconv and sqlite3)
#include <iconv.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bench_stats.h"
#include "database/acis_db.h"
#include "database/csv_split.h"
#include "database/import_reader.h"
#include "foundation/message_sink.h"

namespace fs = std::filesystem;

namespace {

std::string ToCp932(const std::string& utf8) {
  iconv_t cd = iconv_open("CP932", "UTF-8");
  std::string out(utf8.size() + 16, '\0');
  char* in = const_cast<char*>(utf8.data());
  size_t inLeft = utf8.size(), outLeft = out.size();
  char* o = out.data();
  if (iconv(cd, &in, &inLeft, &o, &outLeft) == static_cast<size_t>(-1)) {
    std::perror("iconv");
    std::exit(1);
  }
  iconv_close(cd);
  out.resize(out.size() - outLeft);
  return out;
}

// LINES data lines cycled from the sample file TEMPLATE, each with a registration number of its
// own (every PER lines share one: the ingredient file has several lines per product).
void MakeFile(const std::string& templ, const fs::path& out, int lines, int per) {
  TTextFileReader in(templ);
  std::string header, line;
  in.ReadLine(header);
  std::vector<std::string> rest;
  while (in.ReadLine(line))
    if (!line.empty()) rest.push_back(line.substr(line.find(',')));
  std::string text = header + "\r\n";
  text.reserve(static_cast<size_t>(lines) * 400);
  for (int i = 0; i < lines; ++i) text += std::to_string(100000 + i / per) + rest[i % rest.size()] + "\r\n";
  std::ofstream(out, std::ios::binary) << ToCp932(text);
}

double Baseline(const fs::path& file, const fs::path& db, const std::string& create, const std::string& table) {
  fs::remove(db);
  const std::string cmd = "iconv -f CP932 -t UTF-8 '" + file.string() + "' | sqlite3 '" + db.string() + "' -cmd '" +
                          create + "' '.import --csv --skip 1 /dev/stdin " + table + "'";
  const double t0 = Now();
  if (std::system(cmd.c_str()) != 0) {
    std::fprintf(stderr, "baseline failed: %s\n", cmd.c_str());
    std::exit(1);
  }
  return Now() - t0;
}

}  // namespace

int main(int argc, char** argv) {
  const int products = argc > 1 ? std::atoi(argv[1]) : 50000;
  const int ingredients = argc > 2 ? std::atoi(argv[2]) : 100000;
  const fs::path work = fs::temp_directory_path() / ("bench_jpp_" + std::to_string(getpid()));
  fs::create_directories(work / "db");
  fs::create_directories(work / "base");
  const std::string sample = std::string(QM_SOURCE_DIR) + "/data/sample/jpp/";
  const fs::path f1 = work / "n_trk_1.txt", f3 = work / "n_trk_3.txt";
  MakeFile(sample + "n_trk20261104_1.txt", f1, products, 1);
  MakeFile(sample + "n_trk20261104_3.txt", f3, ingredients, 2);

  TLogMessageSink sink;
  TScopedMessageSink scoped(&sink);
  TAcisDBSettings s;
  s.DBDir = (work / "db").string();
  s.DownloadDir = s.DBDir;
  s.DBDownSite = 3;
  TAcisDB db(s.DBDir + "/acis.db", s);

  struct Case {
    const char* name;
    fs::path file;
    int lines;
    bool seizai;
  };
  std::printf("JPP-NET import (CP932), best of 3\n");
  std::printf("%-14s %8s %10s %12s %7s\n", "file", "lines", "import s", "baseline s", "ratio");
  bool ok = true;
  for (const Case& c : {Case{"product", f1, products, true}, Case{"ingredient", f3, ingredients, false}}) {
    const double ours = BestOf(3, [&] {
      TImportResult r;
      const double t0 = Now();
      const bool done = c.seizai ? db.ImportJppSeizaiCsv(c.file.string(), &r) : db.ImportJppSeibunCsv(c.file.string(), &r);
      const double t = Now() - t0;
      if (!done || r.Stored != c.lines) {
        std::fprintf(stderr, "import failed (%lld rows)\n", static_cast<long long>(r.Stored));
        std::exit(1);
      }
      return t;
    });
    const std::string table = c.seizai ? "jppSeizai" : "jppSeibun";
    db.Query("SELECT sql FROM jpp.sqlite_master WHERE name = '" + table + "'", false);
    const std::string create = db.FTbl->FieldAsString(0) + ";";
    const double base = BestOf(3, [&] { return Baseline(c.file, work / "base" / "jpp.db", create, table); });
    const double ratio = ours / base;
    ok = ok && ratio <= 1.3;
    std::printf("%-14s %8d %10.3f %12.3f %6.2fx\n", c.name, c.lines, ours, base, ratio);
  }
  std::printf("goal: within 1.3x the baseline: %s\n", ok ? "met" : "NOT met");
  db.FDb.reset();
  fs::remove_all(work);
  return 0;
}
