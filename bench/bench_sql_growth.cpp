// SQL functions whose input grows: time (and peak memory) at 1x, 2x and 4x the input, each
// beside a baseline doing the same work in the same run with SQLite's own means.
//
//  1. concat and concat2 with a separator of N commas and three values
//     (concat(printf('%.*c', N, ','), 'a', 'b', 'c')), N = 0.5, 1 and 2 million, beside the
//     same text joined with ||. Linear: the figure doubles as N does.
//  2. The concat and concat2 aggregates over 7,500, 15,000 and 30,000 rows of 20,000 bytes
//     (150, 300 and 600 MB results), beside group_concat over the same rows: time and the
//     peak resident growth, each case in a fresh child process so that no case inherits the
//     peak of another.
//  3. A trade-name view (earlier_rows) over 10,000, 20,000 and 40,000 rows of one trade name,
//     crop, pest and number of uses (half the whole rows repeated), beside its plain form
//     (SELECT DISTINCT) over the same working table; the row counts must agree.
//
// usage: bench_sql_growth [DBDIR]   (DBDIR as for bench_views; part 3 needs it)
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "bench_full_db.h"
#include "bench_stats.h"
#include "database/acis_session_views.h"
#include "database/sql_functions.h"
#include "foundation/message_sink.h"

namespace {

// Steps every row of sql; the first column of the last row as text.
std::string Run(sqlite3* db, const std::string& sql) {
  sqlite3_stmt* st = nullptr;
  if (sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr) != SQLITE_OK) {
    std::fprintf(stderr, "prepare failed: %s\n", sqlite3_errmsg(db));
    std::exit(1);
  }
  std::string last;
  int rc;
  while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
    const unsigned char* t = sqlite3_column_text(st, 0);
    last = t ? reinterpret_cast<const char*>(t) : "NULL";
  }
  if (rc != SQLITE_DONE) {
    std::fprintf(stderr, "step failed: %s\n", sqlite3_errmsg(db));
    std::exit(1);
  }
  sqlite3_finalize(st);
  return last;
}

// Seconds and peak resident growth (MB) of sql, run in a fresh child process; the first
// column of its row (SQLite's length of it) into *value.
struct TFigure {
  double seconds = -1, peakMb = -1;
  std::string value;
};

TFigure InChild(const std::string& sql) {
  int fd[2];
  if (pipe(fd) != 0) std::exit(1);
  const pid_t pid = fork();
  if (pid == 0) {
    close(fd[0]);
    sqlite3* db = nullptr;
    sqlite3_open(":memory:", &db);
    RegisterSqlFunctions(db);
    const long before = StatusKb("VmRSS:");
    const double t0 = Now();
    const std::string v = Run(db, sql);
    const double s = Now() - t0;
    const long peak = StatusKb("VmHWM:");
    char buf[256];
    const int n = std::snprintf(buf, sizeof buf, "%f %f %s", s, (peak - before) / 1024.0, v.c_str());
    if (write(fd[1], buf, size_t(n)) != n) _exit(1);
    _exit(0);
  }
  close(fd[1]);
  char buf[256] = {};
  size_t got = 0;
  ssize_t r;
  while ((r = read(fd[0], buf + got, sizeof buf - 1 - got)) > 0) got += size_t(r);
  close(fd[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  TFigure f;
  char value[200] = {};
  if (std::sscanf(buf, "%lf %lf %199s", &f.seconds, &f.peakMb, value) == 3) f.value = value;
  return f;
}

void Separators() {
  std::printf("1. concat(printf('%%.*c', N, ','), 'a', 'b', 'c') beside 'a' || s || 'b' || s || 'c'\n");
  sqlite3* db = nullptr;
  sqlite3_open(":memory:", &db);
  RegisterSqlFunctions(db);
  for (int n : {500000, 1000000, 2000000}) {
    const std::string s = "printf('%.*c', " + std::to_string(n) + ", ',')";
    // The separator is made once per run in every form, as the SQL text names it.
    const std::string ref = "select length('a' || s || 'b' || s || 'c') from (select " + s + " as s)";
    double tc = 0, tc2 = 0, tr = 0;
    std::string vc, vc2, vr;
    tr = BestTime(3, [&] { vr = Run(db, ref); });
    tc = BestTime(3, [&] { vc = Run(db, "select length(concat(" + s + ", 'a', 'b', 'c'))"); });
    tc2 = BestTime(3, [&] { vc2 = Run(db, "select length(concat2(" + s + ", 'a', 'b', 'c'))"); });
    std::printf("  N = %7d: concat %8.2f ms  concat2 %8.2f ms  || %8.2f ms  (%.1fx, %.1fx)%s\n", n, tc * 1e3,
                tc2 * 1e3, tr * 1e3, tc / tr, tc2 / tr, vc == vr && vc2 == vr ? "" : "  RESULTS DIFFER");
  }
  sqlite3_close(db);
}

void Aggregates() {
  std::printf("2. aggregates over rows of 20,000 bytes: time and peak resident growth (fresh process each)\n");
  for (int rows : {7500, 15000, 30000}) {
    const std::string from = "from (with recursive n(k) as (select 1 union all select k + 1 from n where k < " +
                             std::to_string(rows) + ") select hex(randomblob(10000)) as v from n)";
    const TFigure g = InChild("select length(group_concat(v, ',')) " + from);
    const TFigure c = InChild("select length(concat(',', v)) " + from);
    const TFigure c2 = InChild("select length(concat2(',', v)) " + from);
    std::printf("  %5d rows (%3d MB): concat %6.0f ms %5.0f MB  concat2 %6.0f ms %5.0f MB  group_concat %6.0f ms %5.0f MB"
                "%s\n",
                rows, rows / 50, c.seconds * 1e3, c.peakMb, c2.seconds * 1e3, c2.peakMb, g.seconds * 1e3, g.peakMb,
                c.value == g.value && c2.value == g.value ? "" : "  LENGTHS DIFFER");
  }
}

void TradeNameViews(int argc, char** argv) {
  std::printf("3. a trade-name view over rows of one key beside SELECT DISTINCT of the same table\n");
  const std::string dbDir = FullDbDir(argc, argv);
  if (!EnsureFullDb(dbDir)) return;
  TAcisDB db(dbDir + "/acis.db", FullDbSettings(dbDir));
  db.CreateSessionViews();
  db.FDb->ExecAll = true;
  for (int rows : {10000, 20000, 40000}) {
    const std::string n = std::to_string(rows);
    db.FDb->ExecSQL("DELETE FROM ttTekiyoSaku; WITH RECURSIVE n(k) AS (SELECT 1 UNION ALL SELECT k + 1 FROM n WHERE k < " +
                    n +
                    ") INSERT INTO ttTekiyoSaku(bango, tsusho, meisho, sakumotsu, byochu, idbyochu, kaisu, basho, "
                    "seibun1, kaisu1) SELECT k, 'T', 'M' || k, 'トマト', 'アブラムシ類', 'I001', '1回', 'b' || (k % " +
                    std::to_string(rows / 2) +
                    "), s.ippanmei, '2回' FROM n JOIN (SELECT ippanmei, row_number() OVER () % 50 AS i FROM (SELECT DISTINCT "
                    "ippanmei FROM seibun LIMIT 50)) AS s ON s.i = n.k % 50;");
    for (int style : {0, 4}) {
      const std::string view = "SELECT count(*) FROM " + ResultViewName(false, true, false, style);
      const std::string ref = "SELECT count(*) FROM (" + ReferenceViewSelect(false, true, false, style) + ")";
      std::string cv, cr;
      const double tv = BestTime(3, [&] { cv = Run(db.FDb->Handle(), view); });
      const double tr = BestTime(3, [&] { cr = Run(db.FDb->Handle(), ref); });
      std::printf("  %5d rows, style %d: view %8.1f ms  SELECT DISTINCT %8.1f ms  (%.2fx)  %s rows%s\n", rows, style,
                  tv * 1e3, tr * 1e3, tv / tr, cv.c_str(), cv == cr ? "" : "  COUNTS DIFFER");
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  TLogMessageSink sink([](const std::string& l) { std::fprintf(stderr, "%s\n", l.c_str()); });
  TScopedMessageSink scoped(&sink);
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  Separators();
  Aggregates();
  TradeNameViews(argc, argv);
  return 0;
}
