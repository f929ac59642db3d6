// The working tables of the three search tabs on the full-size sample register, each beside
// its plain form measured in the same run:
//  - the crop search's ttTekiyoSaku for one crop, a crop group and about 40,000 uses, and the
//    pest search's ttTekiyoByochu for three keywords: the program's script (the RAC codes by
//    rac_mid) against the same script with the RAC code of every ingredient slot by its own two
//    subqueries into raccode (ReferenceTekiyoWorkSelect);
//  - the chemical tab's crop restriction t_bango for a crop group of about 27,000 uses and
//    for the broad selection: the program's script (crop and product pairs from the index
//    alone) against the statement without "bango IS NOT NULL" (a table read per use).
// Each figure is the median of seven runs, plain and program form interleaved. Both forms
// must give the same rows in the same order (each value with its type); any difference is
// printed and the benchmark fails.
//
// usage: bench_work_tables [DBDIR]
// DBDIR holds acis.db and spec.db built from the full-size register; by default
// <build>/data-full-db, generated (tools/gen_sample) and built on first use.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench_db.h"
#include "bench_full_db.h"
#include "bench_stats.h"
#include "database/acis_session_views.h"
#include "frontend/chemical/yakuzai_sql.h"
#include "frontend/crop/crop_search.h"
#include "frontend/pest/pest_search_sql.h"
#include "foundation/message_sink.h"

namespace {

constexpr int kRuns = 7;
constexpr const char* kCrLf = "\r\n";

std::string ReplaceOnce(std::string s, const std::string& from, const std::string& to) {
  const size_t at = s.find(from);
  if (at != std::string::npos) s.replace(at, from.size(), to);
  return s;
}

// The script with the working tables' select in its plain form.
std::string PlainWorkScript(const std::string& Script) {
  return ReplaceOnce(Script, TekiyoWorkSelect(kCrLf), ReferenceTekiyoWorkSelect(kCrLf));
}

struct TResult {
  long rows = 0;
  double plain = 0, fast = 0;
  std::string diff;
};

// Runs the two scripts that fill Table interleaved, kRuns times each, and compares what the
// last runs left.
TResult Measure(TAcisDB& db, const std::string& Table, const std::string& Plain, const std::string& Fast) {
  std::vector<double> plain, fast;
  for (int i = 0; i < kRuns; ++i) {
    double t0 = Now();
    db.FDb->ExecSQL(Plain);
    plain.push_back(Now() - t0);
    t0 = Now();
    db.FDb->ExecSQL(Fast);
    fast.push_back(Now() - t0);
  }
  TResult r;
  r.plain = Median(plain);
  r.fast = Median(fast);
  db.FDb->ExecSQL("DROP TABLE IF EXISTS temp.bench_fast; CREATE TEMP TABLE bench_fast AS SELECT * FROM " + Table + ";");
  db.FDb->ExecSQL(Plain);
  r.rows = static_cast<long>(db.FDb->GetTable("SELECT count(*) FROM " + Table)->FieldAsInteger(0));
  r.diff = CompareRows(*db.FDb, "SELECT * FROM " + Table, "SELECT * FROM bench_fast");
  db.FDb->ExecSQL("DROP TABLE temp.bench_fast;");
  return r;
}

bool Print(const char* Label, const std::string& What, const TResult& r) {
  std::printf("  %-14s %-24s %7ld %10.1f %10.1f %7.2f  %s\n", Label, What.c_str(), r.rows, r.plain * 1000,
              r.fast * 1000, r.fast > 0 ? r.plain / r.fast : 0.0, r.diff.empty() ? "same rows, same order" : r.diff.c_str());
  return r.diff.empty();
}

// The chemical tab's crop restriction as it read before: every use of the crops from the table.
std::string PlainBangoScript(const std::string& Script) {
  return ReplaceOnce(Script, ") AND bango IS NOT NULL", ")");
}

}  // namespace

int main(int argc, char** argv) {
  TLogMessageSink sink([](const std::string& l) { std::fprintf(stderr, "%s\n", l.c_str()); });
  TScopedMessageSink scoped(&sink);
  const std::string dbDir = FullDbDir(argc, argv);
  if (!EnsureFullDb(dbDir)) return 1;
  TAcisDB db(dbDir + "/acis.db", FullDbSettings(dbDir));
  db.CreateSessionViews();
  db.FDb->ExecAll = true;
  const bool haveIndex =
      db.FDb->GetTable("SELECT count(*) FROM sqlite_master WHERE name = 'idxTekiyoSakumotsuBango'")->FieldAsInteger(0) > 0;
  std::printf("uses in the register: %lld; index of crop and product pairs: %s\n\n",
              static_cast<long long>(db.FDb->GetTable("SELECT count(*) FROM m_tekiyo")->FieldAsInteger(0)),
              haveIndex ? "present" : "MISSING (a database built before it; rebuild)");
  std::printf("  %-14s %-24s %7s %10s %10s %7s  %s\n", "table", "selection", "rows", "plain ms", "program ms", "speedup",
              "result");
  bool ok = haveIndex;

  const char* crops[] = {"トマト", "仁果類", "葉菜類,果菜類,根菜類"};
  for (const char* c : crops) {
    const std::string script = QuerySakumotsu2(db.IdSakuRegexpLine(c));
    ok = Print("ttTekiyoSaku", c, Measure(db, "ttTekiyoSaku", PlainWorkScript(script), script)) && ok;
  }
  for (const char* k : {"アブラムシ", "うどんこ病", "スリップス"}) {
    const std::string script = ByochuScript(ByochuCondition(k).Literal);
    ok = Print("ttTekiyoByochu", k, Measure(db, "ttTekiyoByochu", PlainWorkScript(script), script)) && ok;
  }
  for (const char* c : {"稲", "葉菜類,果菜類,根菜類"}) {
    const std::string script = BangoTableScript(db.IdSakuRegexpLine(c));
    // The crop names' regular expression is the same for both; its own time is in both figures.
    ok = Print("t_bango", c, Measure(db, "t_bango", PlainBangoScript(script), script)) && ok;
  }
  std::printf("\n(plain: the RAC code of every ingredient slot by two subqueries into raccode, and t_bango from\n"
              " the use table; program: rac_mid, and t_bango from the index of crop and product pairs; medians of\n"
              " %d interleaved runs)\n", kRuns);
  return ok ? 0 : 2;
}
