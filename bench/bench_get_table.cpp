// GetTable of 300,000 rows x 46 text columns: time and peak memory of the whole result held in
// memory, beside the sqlite3 command-line tool writing the same query to /dev/null in the same
// run.  Each measurement runs in a child process so that its peak resident set is its own.
//
// usage: bench_get_table [ROWS] [DBFILE]
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "bench_db.h"
#include "bench_stats.h"
#include "database/sqlite_db.h"

namespace {

constexpr int kCols = 46;
const char* const kQuery = "SELECT * FROM tekiyo";

// The 46 columns of the search result table, all as text.
const char* const kColNames[kCols] = {
    "bango",   "shurui",  "meisho",  "tsusho",   "idsaku",  "sakumotsu", "idbyochu", "byochu",   "mokuteki",
    "jiki",    "baisu",   "ekiryo",  "hoho",     "basho",   "jikan",     "ondo",     "dojo",     "chitai",
    "tekiyaku", "kongo",  "kaisu",   "seibun1",  "keito1",  "kaisu1",    "mid1",     "seibun2",  "keito2",
    "kaisu2",  "mid2",    "seibun3", "keito3",   "kaisu3",  "mid3",      "seibun4",  "keito4",   "kaisu4",
    "mid4",    "seibun5", "keito5",  "kaisu5",   "mid5",    "seizaidokusei", "yoto", "koka",     "zaikei",
    "ryakusho"};

// Texts in the shape of the registered-use rows: names, doses and timings; the rarer columns
// (place, temperature, soil, region, ingredients 3 to 5) mostly empty.
std::string Cell(int col, int row, std::mt19937& rng) {
  static const char* const kCrops[] = {"トマト", "ミニトマト", "きゅうり", "なす", "キャベツ", "はくさい", "だいず",
                                      "稲", "小麦", "りんご", "日本なし", "かんきつ", "ばれいしょ", "ねぎ", "いちご"};
  static const char* const kPests[] = {"アブラムシ類", "うどんこ病", "灰色かび病", "ハダニ類", "コナガ", "いもち病",
                                      "ヨトウムシ", "べと病", "アザミウマ類", "疫病", "紋枯病"};
  static const char* const kIngr[] = {"アセタミプリド", "マンゼブ", "イミダクロプリド", "銅", "エトフェンプロックス",
                                     "フルジオキソニル", "クロチアニジン", "アゾキシストロビン"};
  static const char* const kKeito[] = {"ネオニコチノイド系", "ジチオカーバメート系", "ピレスロイド系", "QoI殺菌剤",
                                      "無機銅", "フェニルピロール系"};
  static const char* const kTimes[] = {"収穫前日まで", "収穫7日前まで", "収穫14日前まで", "定植時", "播種前"};
  static const char* const kMethods[] = {"散布", "株元散布", "土壌混和", "種子粉衣", "灌注"};
  static const char* const kZaikei[] = {"水和剤", "乳剤", "粒剤", "フロアブル", "水溶剤", "粉剤"};
  std::uniform_int_distribution<int> d(0, 1 << 20);
  const int r = d(rng);
  const auto ingr = [&](int n) { return r % (1 << (2 * n)) < (1 << (2 * n)) / (n * n); };  // rarer by n
  switch (col) {
    case 0: return std::to_string(10000 + row / 12);
    case 1: return r % 3 ? "殺虫剤" : "殺虫殺菌剤";
    case 2: return std::string(kIngr[r % 8]) + kZaikei[r % 6];
    case 3: return std::string("クイルマー") + kZaikei[(r >> 3) % 6];
    case 4: return "0" + std::to_string(100000000000000LL + r % 5000 * 1000000LL);
    case 5: return kCrops[r % 15];
    case 6: return std::to_string(10000000 + r % 2000 * 10);
    case 7: return kPests[r % 11];
    case 8: return r % 10 ? "" : "生育促進";
    case 9: return kTimes[r % 5];
    case 10: return std::to_string(1000 * (1 + r % 4)) + "倍";
    case 11: return std::to_string(100 + r % 200) + "～300L/10a";
    case 12: return kMethods[r % 5];
    case 13: case 14: case 15: case 16: case 17: case 18: return r % 20 ? "" : "-";
    case 19: return std::to_string(1 + r % 3);
    case 20: return std::to_string(1 + r % 5) + "回以内";
    case 41: return r % 4 ? "普通物" : "劇物";
    case 42: return "農業用";
    case 43: return "";
    case 44: return kZaikei[r % 6];
    case 45: return std::string(kIngr[r % 8]).substr(0, 9);
    default: {
      const int n = 1 + (col - 21) / 4;  // ingredient groups 1 to 5
      if (!ingr(n) && n > 1) return "";
      switch ((col - 21) % 4) {
        case 0: return kIngr[(r + n) % 8];
        case 1: return kKeito[(r + n) % 6];
        case 2: return std::to_string(1 + r % 4) + "回以内";
        default: return std::to_string(1 + r % 30) + (r % 2 ? "A" : "");
      }
    }
  }
}

void BuildDb(const std::string& path, int rows) {
  std::filesystem::remove(path);
  TSQLiteDb db(path);
  std::vector<std::string> columns;
  for (const char* name : kColNames) columns.push_back(std::string(name) + " TEXT");
  std::mt19937 rng(42);
  CreateFilledTable(db, "tekiyo", columns, rows, [&](int c, int r) { return TSQLiteParam(Cell(c, r, rng)); });
}

struct Figures {
  double seconds = 0;
  long peakKb = 0;     // peak resident set of the child
  long growthKb = 0;   // peak minus resident set before the query
  long rows = 0;
  long bytesHeld = 0;  // the result's own count of its memory
  double readSeconds = 0;  // one pass over every field of the result, as a grid fill reads it
};

// Runs GetTable in a child process and reports its time and memory.
Figures MeasureGetTable(const std::string& path) {
  int fd[2];
  if (pipe(fd) != 0) std::exit(1);
  const pid_t pid = fork();
  if (pid == 0) {
    close(fd[0]);
    Figures f;
    {
      TSQLiteDb db(path);
      const long before = StatusKb("VmRSS:");
      const double t0 = Now();
      auto tbl = db.GetTable(kQuery);
      f.seconds = Now() - t0;
      f.peakKb = StatusKb("VmHWM:");
      f.growthKb = f.peakKb - before;
      f.rows = tbl->Count();
      f.bytesHeld = static_cast<long>(tbl->MemoryUsed());
      const double t1 = Now();
      size_t bytes = 0;
      for (tbl->MoveFirst(); !tbl->Eof(); tbl->Next())
        for (int c = 0; c < tbl->ColCount(); ++c) bytes += tbl->FieldText(c).size();
      f.readSeconds = Now() - t1;
      if (bytes == 0) f.rows = -1;
    }
    if (write(fd[1], &f, sizeof f) != sizeof f) _exit(1);
    _exit(0);
  }
  close(fd[1]);
  Figures f;
  if (read(fd[0], &f, sizeof f) != sizeof f) std::fprintf(stderr, "child failed\n");
  close(fd[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  return f;
}

// The sqlite3 command-line tool printing the query to /dev/null.
Figures MeasureCli(const std::string& path) {
  Figures f;
  const double t0 = Now();
  const pid_t pid = fork();
  if (pid == 0) {
    const int null = open("/dev/null", O_WRONLY);
    dup2(null, 1);
    execlp("sqlite3", "sqlite3", path.c_str(), kQuery, static_cast<char*>(nullptr));
    _exit(127);
  }
  int status = 0;
  struct rusage ru {};
  wait4(pid, &status, 0, &ru);
  f.seconds = Now() - t0;
  f.peakKb = ru.ru_maxrss;
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    std::fprintf(stderr, "sqlite3 command-line tool failed (status %d)\n", status);
    f.seconds = -1;
  }
  return f;
}

}  // namespace

int main(int argc, char** argv) {
  const int rows = argc > 1 ? std::atoi(argv[1]) : 300000;
  const std::string path =
      argc > 2 ? argv[2] : (std::filesystem::temp_directory_path() / "qm_bench_get_table.db").string();
  bool rebuild = true;
  if (std::filesystem::exists(path)) {
    try {
      TSQLiteDb db(path);
      rebuild = db.GetTable("SELECT count(*) FROM tekiyo")->FieldAsInteger(0) != rows;
    } catch (const ESQLiteException&) {
    }
  }
  if (rebuild) {
    std::printf("building %s (%d rows x %d text columns)...\n", path.c_str(), rows, kCols);
    const double t0 = Now();
    BuildDb(path, rows);
    std::printf("  built in %.2f s\n", Now() - t0);
  }
  long payload = 0;
  {
    TSQLiteDb db(path);
    std::string sum = "SELECT ";
    for (int c = 0; c < kCols; ++c) sum += std::string(c ? " + " : "") + "sum(length(CAST(" + kColNames[c] + " AS BLOB)))";
    payload = static_cast<long>(db.GetTable(sum + " FROM tekiyo")->FieldAsInteger(0));
  }
  std::printf("file %.1f MB, text payload %.1f MB in %ld cells\n",
              std::filesystem::file_size(path) / 1048576.0, payload / 1048576.0, static_cast<long>(rows) * kCols);

  MeasureCli(path);  // warms the page cache for both
  const int kRuns = 3;
  Figures cli, ours;
  cli.seconds = ours.seconds = 1e9;
  for (int i = 0; i < kRuns; ++i) {
    Figures c = MeasureCli(path);
    if (c.seconds >= 0 && c.seconds < cli.seconds) cli = c;
    Figures o = MeasureGetTable(path);
    if (o.seconds < ours.seconds) ours = o;
  }
  std::printf("%-34s %10s %12s %12s\n", "best of 3", "time (s)", "peak RSS MB", "growth MB");
  std::printf("%-34s %10.3f %12.1f %12s\n", "sqlite3 CLI > /dev/null (baseline)", cli.seconds, cli.peakKb / 1024.0, "-");
  std::printf("%-34s %10.3f %12.1f %12.1f\n", "TSQLiteDb::GetTable", ours.seconds, ours.peakKb / 1024.0,
              ours.growthKb / 1024.0);
  std::printf("reading every field of the result once: %.3f s\n", ours.readSeconds);
  std::printf("rows %ld, result holds %.1f MB; time ratio %.2f (goal <= 1.5), growth %.1f MB (goal < 200)\n",
              ours.rows, ours.bytesHeld / 1048576.0, ours.seconds / cli.seconds, ours.growthKb / 1024.0);
  return 0;
}
