#include "database/acis_session_views.h"

#include <atomic>
#include <set>
#include <string>
#include <vector>

#include "database/acis_db.h"
#include "foundation/global.h"
#include "foundation/text_utils.h"

namespace {

std::atomic<unsigned> gSessionGeneration{0};

const char* const kCrLf = "\r\n";

// The chemical group of an ingredient: as stored, or from the RAC table for the pest class of
// the row (the first character of idbyochu, compared as text), falling back to its largest
// group over all classes, NULL when the table has no group for it.  The RAC table is a UNION
// ALL view of three code tables; its answers are taken once per connection into tRacKeito
// (SessionRacKeitoScript), so a slot costs one search by key instead of up to six index
// searches and a sort.  A class row without a group gives NULL, as the class's own answer.
// Q is written before every column of the working table the expression reads ("t.", or
// nothing where the table is the only one in reach). The views look the group up with
// rac_keito, which reads tRacKeito once per statement; Reference gives the same as a subquery
// per slot (what the tests and the benchmark compare the views with).
std::string KeitoExpr(const std::string& n, bool rk, const std::string& q, bool reference = false) {
  if (!rk) return q + "keito" + n;
  const std::string sb = q + "seibun" + n;
  if (!reference) return "rac_keito(0, " + sb + ", " + q + "idbyochu)";
  // The ingredient's rows come in key order: its class rows (fb 0) before its fallback (fb 1),
  // so the class row wins whenever there is one.
  return "CASE WHEN " + sb + " IS NULL THEN NULL ELSE (select keito from tRacKeito where ippanmei = " + sb +
         " and (fb = 1 or cid = substr(" + q + "idbyochu, 1, 1)) order by fb limit 1) END";
}

// The ingredient table looked up by general name, skipped for an empty slot (same result).
std::string SeibunLookup(const std::string& column, const std::string& sb) {
  return "CASE WHEN " + sb + " IS NULL THEN NULL ELSE (select " + column + " from tSeibun where ippanmei = " + sb +
         ") END";
}

// One result column of the ingredient groups: its expression, and its name when the
// expression is no plain column of that name.
struct TOutCol {
  std::string expr;
  std::string name;  // empty: the expression is the column itself
};

// The four columns of each of the five ingredient groups of a style, in order.
std::vector<std::vector<TOutCol>> GroupColumns(int style, bool rk, const std::string& q, bool reference = false) {
  std::vector<std::vector<TOutCol>> groups;
  if (style < 0 || style > 4) return groups;
  for (int i = 1; i <= 5; ++i) {
    const std::string n = std::to_string(i);
    const std::string sb = "seibun" + n, ks = "kaisu" + n, mid = "mid" + n;
    const std::string qsb = q + sb, qks = q + ks;
    const TOutCol keito = rk ? TOutCol{KeitoExpr(n, rk, q, reference), "keito" + n} : TOutCol{q + "keito" + n, ""};
    const TOutCol plainSb{qsb, ""}, plainKs{qks, ""}, plainMid{q + mid, ""};
    switch (style) {
      case 0:
        groups.push_back({{"(ifnull(" + SeibunLookup("kanryaku", qsb) + "," + qsb + "))", sb}, keito, plainKs, plainMid});
        break;
      case 1:
        // concat of nothing is the empty text: an empty slot gives it without the call.
        groups.push_back({{"CASE WHEN " + qsb + " IS NULL THEN '' ELSE concat(' ', " + qsb + ", '['||" +
                               SeibunLookup("seibun", qsb) + "||']') END",
                           sb},
                          keito, plainKs, plainMid});
        break;
      case 2:
      case 3:
        groups.push_back({plainSb, keito,
                          {"CASE WHEN " + qsb + " IS NULL AND " + qks + " IS NULL THEN '' ELSE concat(': ', " +
                               SeibunLookup(style == 2 ? "seibun" : "shoryaku", qsb) + ", " + qks + ") END",
                           ks},
                          plainMid});
        break;
      default:
        groups.push_back({plainSb, keito, plainKs, plainMid});
    }
  }
  return groups;
}

std::string Groups(int style, bool rk, bool reference = false) {
  std::string s;
  for (const auto& group : GroupColumns(style, rk, "", reference)) {
    bool first = true;
    for (const TOutCol& c : group) {
      if (!first) s += ", ";
      first = false;
      s += c.name.empty() ? c.expr : c.expr + " as " + c.name;
    }
    s += ",";
    s += kCrLf;
  }
  return s;
}

const char* const kLeading =
    "bango, sakumotsu, byochu, mokuteki, shurui, meisho, jiki, baisu, ekiryo, hoho, basho, jikan, ondo, dojo, "
    "chitai, tekiyaku, kaisu, kongo,";
const char* const kLeadingTsusho =
    "sakumotsu, byochu, mokuteki, shurui, tsusho, jiki, baisu, ekiryo, hoho, basho, jikan, ondo, dojo, chitai, "
    "tekiyaku, kaisu, kongo,";

// A name as a literal inside a regular expression of re_replace: \Q...\E, with an "\E" inside
// the name itself split so that it stays literal.
std::string QuotedNamePattern(const std::string& column) {
  return "'\\Q'||replace(" + column + ", '\\E', '\\E\\\\E\\Q')||'\\E'";
}

// The trade-name views show one row per trade name where the per-number views show one per
// registration number: identical result rows are shown once, the first of them, in the order
// of the working table, as SELECT DISTINCT gives them. Six result columns are columns of the
// table unchanged (trade name, crop, pest, timing, dilution, number of uses), so only rows
// that agree in those can be identical. earlier_rows looks each row's six up among the rows
// before it; only for the few that have such rows are the other result columns compared: with
// those rows one by one (found by rowid) while a key has come a few times, and through a hash
// of the whole row once it has come more often, so that no row costs more than a few
// comparisons. That replaces a temporary B-tree of every whole result row, computes each
// result column of a kept row of a rare key once, and takes time linear in the rows however
// often a key repeats.
const char* const kTsushoKey[] = {"tsusho", "sakumotsu", "byochu", "jiki", "baisu", "kaisu"};
const char* const kTsushoOther[] = {"mokuteki", "shurui", "ekiryo", "hoho",  "basho", "jikan",
                                    "ondo",     "dojo",   "chitai", "tekiyaku", "kongo"};
const char* const kTail[] = {"seizaidokusei", "yoto", "koka", "zaikei"};

// Every result column of the row `prefix` ("t." or "u."), as a comma list.
std::string ResultValues(const std::string& prefix, bool rk, int style) {
  std::string s;
  auto add = [&](const std::string& e) {
    if (!s.empty()) s += ", ";
    s += e;
  };
  for (const char* c : kTsushoKey) add(prefix + c);
  for (const char* c : kTsushoOther) add(prefix + c);
  for (const auto& group : GroupColumns(style, rk, prefix))
    for (const TOutCol& c : group) add(c.name.empty() ? c.expr : "(" + c.expr + ")");
  for (const char* c : kTail) add(prefix + c);
  return s;
}

std::string NoEarlierSameRow(const std::string& table, bool rk, int style) {
  std::string s = "earlier_rows(" + std::to_string(std::size(kTsushoKey)) + ", t.rowid";
  for (const char* c : kTsushoKey) s += std::string(", t.") + c;
  // A key of many rows: its first rows (once) and then the row itself go to the hash set; the
  // row's own answer says whether it came before.
  s += ") IS NULL OR CASE WHEN earlier_rows_large(t.rowid) THEN NOT (SELECT max(earlier_rows_add(u.rowid, " +
       ResultValues("u.", rk, style) + ")) FROM json_each(earlier_rows_unseen(t.rowid)) AS e JOIN " + table +
       " AS u ON u.rowid = e.value)";
  // A key of a few rows: compared with each earlier one.
  s += " ELSE NOT EXISTS (SELECT 1 FROM json_each(earlier_rows_list(t.rowid)) AS e JOIN " + table +
       " AS u ON u.rowid = e.value WHERE ";
  bool first = true;
  auto term = [&](const std::string& t) {
    if (!first) s += " AND ";
    first = false;
    s += t;
  };
  for (const char* c : kTsushoKey) term(std::string("u.") + c + " IS t." + c);
  for (const char* c : kTsushoOther) term(std::string("u.") + c + " IS t." + c);
  const auto ug = GroupColumns(style, rk, "u."), tg = GroupColumns(style, rk, "t.");
  for (size_t g = 0; g < ug.size(); ++g)
    for (size_t k = 0; k < ug[g].size(); ++k)
      term(ug[g][k].name.empty() ? ug[g][k].expr + " IS " + tg[g][k].expr
                                 : "(" + ug[g][k].expr + ") IS (" + tg[g][k].expr + ")");
  for (const char* c : kTail) term(std::string("u.") + c + " IS t." + c);
  return s + ") END";
}

std::string ViewText(const std::string& name, bool byochu, bool tsusho, bool rk, int style) {
  const std::string table = byochu ? "ttTekiyoByochu" : "ttTekiyoSaku";
  std::string s = "CREATE TEMP VIEW " + name + " AS SELECT ";
  s += kCrLf;
  s += tsusho ? kLeadingTsusho : kLeading;
  s += kCrLf;
  s += Groups(style, rk);
  s += "seizaidokusei, yoto, koka, zaikei";
  s += kCrLf;
  if (tsusho)
    s += "FROM " + table + " AS t WHERE " + NoEarlierSameRow(table, rk, style) + ";";
  else
    s += "FROM " + table + ";";
  return s;
}

struct TViewSpec {
  bool byochu, tsusho, rk;
};
// Creation order: Saku, TsushoSaku, Byochu, TsushoByochu, then the same four with Rk.
const TViewSpec kViewOrder[8] = {{false, false, false}, {false, true, false}, {true, false, false},
                                 {true, true, false},   {false, false, true}, {false, true, true},
                                 {true, false, true},   {true, true, true}};

}  // namespace

std::string SeibunColumns(int ResultStyle) { return Groups(ResultStyle, false); }

std::string ReferenceViewSelect(bool Byochu, bool Tsusho, bool Rk, int ResultStyle) {
  return std::string(Tsusho ? "SELECT DISTINCT " : "SELECT ") + (Tsusho ? kLeadingTsusho : kLeading) +
         Groups(ResultStyle, Rk, true) + "seizaidokusei, yoto, koka, zaikei FROM " +
         (Byochu ? "ttTekiyoByochu" : "ttTekiyoSaku");
}
std::string SeibunRacColumns(int ResultStyle) { return Groups(ResultStyle, true); }

const std::vector<std::pair<std::string, std::string>>& TekiyoWorkColumns() {
  static const std::vector<std::pair<std::string, std::string>> cols = [] {
    std::vector<std::pair<std::string, std::string>> c = {
        {"bango", "INTEGER"},     {"shurui", "VARCHAR"},   {"meisho", "VARCHAR"},     {"tsusho", "VARCHAR"},
        {"idsaku", "VARCHAR[10]"}, {"sakumotsu", "VARCHAR"}, {"idbyochu", "VARCHAR[8]"}, {"byochu", "VARCHAR"}};
    for (const char* n : {"mokuteki", "jiki", "baisu", "ekiryo", "hoho", "basho", "jikan", "ondo", "dojo", "chitai",
                          "tekiyaku"})
      c.emplace_back(n, "VARCHAR");
    c.emplace_back("kongo", "INTEGER");
    c.emplace_back("kaisu", "VARCHAR");
    for (int i = 1; i <= 5; ++i)
      for (const char* n : {"seibun", "keito", "kaisu", "mid"}) c.emplace_back(n + std::to_string(i), "VARCHAR");
    for (const char* n : {"seizaidokusei", "yoto", "koka", "zaikei", "ryakusho"}) c.emplace_back(n, "VARCHAR");
    return c;
  }();
  return cols;
}

std::string TekiyoWorkColumnsDdl() {
  std::string s;
  for (const auto& [name, type] : TekiyoWorkColumns()) {
    if (!s.empty()) s += ", ";
    s += name + " " + type;
  }
  return s;
}

std::string ResultViewName(bool Byochu, bool Tsusho, bool Rk, int ResultStyle) {
  if (ResultStyle < 0 || ResultStyle > 4) return std::string();
  return std::string("tv") + (Tsusho ? "Tsusho" : "") + "Tekiyo" + (Rk ? "Rk" : "") + (Byochu ? "Byochu" : "Saku") +
         std::to_string(ResultStyle + 1);
}

std::vector<std::string> ResultViewNames() {
  std::vector<std::string> out;
  for (const TViewSpec& v : kViewOrder)
    for (int style = 0; style < 5; ++style) out.push_back(ResultViewName(v.byochu, v.tsusho, v.rk, style));
  return out;
}

std::vector<std::string> SessionObjectNames() {
  std::vector<std::string> out = {"tSeibun", "tRacKeito", "kihon", "ttTekiyoSaku", "ttTekiyoByochu"};
  for (std::string& v : ResultViewNames()) out.push_back(std::move(v));
  out.push_back("tvSeibun");
  return out;
}

std::string SessionSeibunScript() {
  const std::string nl = kCrLf;
  return "begin transaction;drop table if exists temp.tSeibun;" + nl +
         "create temp table tSeibun as select distinct ippanmei, seibun, seibun as shoryaku, ippanmei as kanryaku "
         "from seibun where ippanmei != seibun and seibun != '';" + nl +
         "update tSeibun set shoryaku = re_replace('.*及び([A-Z\\-]+)(.*)', shoryaku, '(\\1)\\2') where shoryaku "
         "regexp '及び[A-Z]+';" + nl +
         "update tSeibun set shoryaku = re_replace('.*及び(.*?)([A-Z\\-]+)', shoryaku, '\\1(\\2)') where shoryaku "
         "regexp '及び.*?[A-Z]+';" + nl +
         "update tSeibun set kanryaku = re_replace('^('||" + QuotedNamePattern("seibun") +
         "||')(.*)', kanryaku, '\\1(\\2)') where kanryaku like seibun||'%';" + nl +
         "update tSeibun set kanryaku = re_replace('(.*?)('||" + QuotedNamePattern("seibun") +
         "||')$', kanryaku, '(\\1)\\2') where kanryaku like '%'||seibun;" + nl +
         "update tSeibun set kanryaku = re_replace('(.+?)([A-Z\\-]+.*)', kanryaku, '\\1(\\2)') where seibun like "
         "'%及び%' and kanryaku regexp '.+[A-Z]+.*$';" + nl +
         "update tSeibun set kanryaku = re_replace('([A-Z\\-]+)(.*)', kanryaku, '(\\1)\\2') where seibun like "
         "'%及び%' and kanryaku regexp '^[A-Z]+';" + nl +
         // The result views look the ingredients up by general name for every row.
         "create index temp.idxTSeibunIppanmei on tSeibun (ippanmei);" + nl + "commit;";
}

std::string SessionRacKeitoScript(bool HaveRac2) {
  const std::string nl = kCrLf;
  std::string s = "BEGIN TRANSACTION;" + nl + "DROP TABLE IF EXISTS temp.tRacKeito;" + nl +
                  "CREATE TEMP TABLE tRacKeito(ippanmei TEXT NOT NULL, fb INTEGER NOT NULL, cid TEXT NOT NULL, keito, "
                  "PRIMARY KEY(ippanmei, fb, cid)) WITHOUT ROWID;" + nl;
  if (HaveRac2) {
    // fb 0: the group of each ingredient and pest class (of any one row of the class, as an
    // aggregate over the class would give it); fb 1: the largest group over all classes.
    s += "INSERT INTO tRacKeito SELECT ippanmei, 0, CAST(cid AS TEXT), keito FROM rac2 WHERE ippanmei IS NOT NULL AND "
         "cid IS NOT NULL GROUP BY ippanmei, CAST(cid AS TEXT);" + nl;
    s += "INSERT INTO tRacKeito SELECT ippanmei, 1, '', max(keito) FROM rac2 WHERE ippanmei IS NOT NULL GROUP BY "
         "ippanmei;" + nl;
  }
  return s + "COMMIT TRANSACTION;";
}

std::string SessionViewScript(const std::string& DropStatements) {
  const std::string nl = kCrLf;
  std::string s = "BEGIN TRANSACTION;" + nl + DropStatements;
  s += "CREATE TEMP VIEW kihon AS SELECT bango, shurui, meisho, tsusho, ryakusho, ippanmei, a.seibun AS seibun, "
       "nodo, kongo, zaikei, yoto,concat('・',";
  bool first = true;
  for (int m : {3, 4, 8, 16, 32, 64, 128, 256, 512, 1024, 2048, 4096, 8192, 16384, 32768}) {
    if (!first) s += ",";
    first = false;
    s += "(select koka from koka where koka.kokaid = b.kokaid & " + std::to_string(m) + ")";
  }
  s += ") AS koka, iso, b.keito as keito, c.keito as RAC系統, mid, sayoten, sayokiko, fgroup, risk FROM seibun AS a "
       "LEFT JOIN m_kihon USING(bango) LEFT JOIN iso USING(ippanmei) LEFT JOIN bunrui AS b ON a.ippanmei = b.seibun "
       "LEFT JOIN rac AS c USING(ippanmei);" + nl;
  s += "CREATE TEMP TABLE ttTekiyoSaku(" + TekiyoWorkColumnsDdl() + ");" + nl;
  s += "CREATE TEMP TABLE ttTekiyoByochu(" + TekiyoWorkColumnsDdl() + ");" + nl;
  for (const TViewSpec& v : kViewOrder)
    for (int style = 0; style < 5; ++style)
      s += ViewText(ResultViewName(v.byochu, v.tsusho, v.rk, style), v.byochu, v.tsusho, v.rk, style) + nl;
  s += "COMMIT TRANSACTION;";
  return s;
}

std::string SessionTvSeibunScript(bool WithJpp) {
  const std::string nl = kCrLf;
  std::string s = "BEGIN TRANSACTION;" + nl + "DROP VIEW IF EXISTS temp.tvSeibun;" + nl;
  if (WithJpp) {
    s += "CREATE TEMP VIEW tvSeibun AS SELECT k.bango AS bango, k.ippanmei AS ippanmei, k.seibun AS seibun, k.keito "
         "AS keito, koka, j.keito AS JPP系統名, kagakumei, IFNULLSTR(j.nodo, k.nodo) AS nodo, nodochu, "
         "IFNULLSTR(j.dokusei, IFNULLSTR(d.dokusei, '-')) AS dokusei, seibunEikyo, NULL AS jogai, jyogai1, jyogai2, "
         "biko FROM kihon AS k LEFT JOIN dokusei AS d ON d.ippanmei = k.ippanmei OR seibunmei = k.ippanmei LEFT JOIN "
         "jppSeibun AS j ON j.bango = k.bango AND j.ippanmei = k.ippanmei;";
  } else {
    s += "CREATE TEMP VIEW tvSeibun AS SELECT bango, k.ippanmei AS ippanmei, k.seibun AS seibun, keito, koka, NULL AS "
         "JPP系統名, NULL AS kagakumei, nodo, NULL AS nodochu, seibunEikyo, IFNULLSTR(dokusei, '-') AS dokusei, jogai, "
         "NULL AS jyogai1, NULL AS jyogai2, biko FROM kihon as k LEFT JOIN dokusei AS d ON d.ippanmei = k.ippanmei OR "
         "seibunmei = k.ippanmei;";
  }
  s += nl + "COMMIT TRANSACTION;";
  return s;
}

unsigned SessionGeneration() { return gSessionGeneration.load(); }

namespace {

// Drops for the objects of the view script that exist on the connection, each by its own kind,
// so a second run on one connection, or a leftover TEMP table named like a view, never stops it.
std::string ExistingObjectDrops(TAcisDB& db) {
  std::vector<std::string> names = {"kihon", "ttTekiyoSaku", "ttTekiyoByochu", "tvTekiyoSaku", "tvTsushoTekiyoSaku",
                                    "tvTekiyoByochu", "tvTsushoTekiyoByochu"};
  for (std::string& v : ResultViewNames()) names.push_back(std::move(v));
  std::string out;
  try {
    auto t = db.FDb->GetTable("SELECT type, name FROM temp.sqlite_master WHERE type IN ('table', 'view');");
    std::set<std::string> wanted;
    for (const std::string& n : names) wanted.insert(AsciiLowerCase(n));
    for (t->MoveFirst(); !t->Eof(); t->Next()) {
      const std::string type = t->FieldAsString(0), name = t->FieldAsString(1);
      if (!wanted.count(AsciiLowerCase(name))) continue;
      out += (type == "view" ? "DROP VIEW IF EXISTS temp.\"" : "DROP TABLE IF EXISTS temp.\"") + name + "\";\r\n";
    }
  } catch (const ESQLiteException&) {
    out = "DROP VIEW IF EXISTS temp.kihon;\r\nDROP TABLE IF EXISTS temp.ttTekiyoSaku;\r\n"
          "DROP TABLE IF EXISTS temp.ttTekiyoByochu;\r\n";
  }
  return out;
}

}  // namespace

void TAcisDB::CreateSessionViews() {
  ++gSessionGeneration;
  FSessionViews = true;
  const bool saved = FDb->ExecAll;
  SetMultiStatement(true);
  // Only TEMP objects: opening and preparing a connection never writes to the database files
  // (the build and the master-script refresh create the look-up indexes the views use).
  ExecSQL(SessionSeibunScript());
  // Without the RAC table (a database without its master tables) the table stays empty and the
  // Rk views show no groups.
  ExecSQL(SessionRacKeitoScript(TableExists("rac2")));
  ExecSQL(SessionViewScript(ExistingObjectDrops(*this)));
  ExecSQL(SessionTvSeibunScript(TableExists("JppSeibun")));
  FDb->ExecAll = saved;
  if (DebugMode) Log("CreateSessionViews");
}

const std::vector<std::string>& TekiyoWorkColumnNames() {
  static const std::vector<std::string> cols = [] {
    std::vector<std::string> c = {"bango",  "shurui",   "meisho", "tsusho", "idsaku", "sakumotsu", "idbyochu",
                                  "byochu", "mokuteki", "jiki",   "baisu",  "ekiryo", "hoho",      "basho",
                                  "jikan",  "ondo",     "dojo",   "chitai", "tekiyaku", "kongo",   "kaisu"};
    for (int i = 1; i <= 5; ++i)
      for (const char* f : {"seibun", "keito", "kaisu", "mid"}) c.push_back(f + std::to_string(i));
    for (const char* f : {"seizaidokusei", "yoto", "koka", "zaikei", "ryakusho"}) c.push_back(f);
    return c;
  }();
  return cols;
}

namespace {

// The working tables' columns over tekiyo; Mid gives the RAC-code expression of slot n.
template <typename MidFn>
std::string WorkSelect(const std::string& LineBreak, MidFn Mid) {
  std::string s = "SELECT ";
  const std::vector<std::string>& cols = TekiyoWorkColumnNames();
  for (int i = 0; i < 21; ++i) s += cols[static_cast<size_t>(i)] + ",";
  for (int i = 1; i <= 5; ++i) {
    if (i > 1) s += LineBreak;
    const std::string n = std::to_string(i);
    s += "seibun" + n + ",keito" + n + ",kaisu" + n + "," + Mid(n) + " as mid" + n + ",";
  }
  s += "(select dokusei from spec.seizai where spec.seizai.bango = tekiyo.bango) as seizaidokusei,yoto,koka,zaikei,"
       "ryakusho FROM tekiyo ";
  return s;
}

}  // namespace

std::string TekiyoWorkSelect(const std::string& LineBreak) {
  return WorkSelect(LineBreak, [](const std::string& n) { return "rac_mid(0, seibun" + n + ", idbyochu)"; });
}

std::string ReferenceTekiyoWorkSelect(const std::string& LineBreak) {
  return WorkSelect(LineBreak, [](const std::string& n) {
    return "(select if(count(*) > 0, mid, (select max(mid) from raccode where ippanmei = seibun" + n +
           " group by ippanmei)) from raccode where ippanmei = seibun" + n + " and cid = substr(idbyochu, 1, 1))";
  });
}
