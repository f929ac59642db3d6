// The per-connection objects on the sample database: every object prepares, a second run and
// a leftover TEMP table do not stop the script, the five ingredient styles, the RAC group of
// the "Rk" views and the ingredient sheet view.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <QFileInfo>
#include <QProcess>

#include "database/acis_session_views.h"
#include "sample_acis_db.h"
#include "support_acis_fixture.h"

namespace {

const std::string N = "<NULL>";

int SqlErrors(const TLogMessageSink& sink) {
  int n = 0;
  for (const TMessage& m : sink.Messages())
    if (m.caption == "SQL エラー") ++n;
  return n;
}

std::string One(TAcisDB& db, const std::string& sql) {
  auto rows = Rows(*db.FDb, sql);
  if (rows.empty() || rows[0].empty()) return "<no row>";
  return rows[0][0];
}

// The crop search's own script for one crop code prefix (the columns of the working table).
std::string FillSaku(const std::string& where) {
  return "DROP TABLE IF EXISTS ttTekiyoSaku; CREATE TEMP TABLE ttTekiyoSaku AS " + TekiyoWorkSelect() + where + ";";
}

}  // namespace

TEST(SessionViews, EveryObjectPreparesAndTheScriptRunsTwice) {
  OPEN_SAMPLE_DB(s);
  TLogMessageSink sink;
  TScopedMessageSink scoped(&sink);
  // A TEMP table left over under the name of the ingredient view (the build makes one).
  db.FDb->ExecSQL("CREATE TEMP TABLE kihon (x);");
  for (int run = 0; run < 2; ++run) {
    db.CreateSessionViews();
    EXPECT_EQ(SqlErrors(sink), 0) << (sink.Count() ? TLogMessageSink::Format(sink.Messages()[0]) : "");
    EXPECT_NE(sqlite3_get_autocommit(db.FDb->Handle()), 0) << "transaction left open, run " << run;
    const auto names = SessionObjectNames();
    ASSERT_EQ(names.size(), 46u);
    for (const std::string& name : names) {
      EXPECT_NO_THROW(db.FDb->Prepare("SELECT * FROM " + name)) << name;
    }
    EXPECT_EQ(One(db, "SELECT type FROM temp.sqlite_master WHERE name = 'kihon'"), "view");
  }
  // The forty views by name and order; the working tables with their 46 columns.
  const auto views = ResultViewNames();
  ASSERT_EQ(views.size(), 40u);
  EXPECT_EQ(views[0], "tvTekiyoSaku1");
  EXPECT_EQ(views[5], "tvTsushoTekiyoSaku1");
  EXPECT_EQ(views[10], "tvTekiyoByochu1");
  EXPECT_EQ(views[39], "tvTsushoTekiyoRkByochu5");
  EXPECT_EQ(ResultViewName(true, true, true, 4), "tvTsushoTekiyoRkByochu5");
  EXPECT_EQ(ResultViewName(false, false, false, 5), "");
  for (const char* t : {"ttTekiyoSaku", "ttTekiyoByochu"})
    EXPECT_EQ(One(db, std::string("SELECT count(*) FROM pragma_table_info('") + t + "')"), "46") << t;
  EXPECT_EQ(Rows(*db.FDb, "SELECT type FROM pragma_table_info('ttTekiyoSaku') WHERE name IN ('bango','idsaku','kongo') ORDER BY cid"),
            (std::vector<TRowText>{{"INTEGER"}, {"VARCHAR[10]"}, {"INTEGER"}}));

  // Column groups: five lines each, nothing for a style out of range.
  for (int style = 0; style < 5; ++style) {
    std::string g = SeibunColumns(style);
    EXPECT_EQ(std::count(g.begin(), g.end(), '\n'), 5) << style;
    EXPECT_NE(g.find("mid5,\r\n"), std::string::npos) << style;
    EXPECT_NE(SeibunRacColumns(style).find("rac_keito(0, seibun3, idbyochu) as keito3"), std::string::npos) << style;
  }
  EXPECT_EQ(SeibunColumns(-1), "");
  EXPECT_EQ(SeibunRacColumns(5), "");

  // The per-row look-ups of the views read indexes, not whole tables.
  for (const char* v : {"tvTekiyoRkSaku1", "tvTekiyoSaku3", "tvTsushoTekiyoRkByochu4"}) {
    std::string plan;
    for (const auto& r : Rows(*db.FDb, std::string("EXPLAIN QUERY PLAN SELECT * FROM ") + v)) plan += r.back() + "\n";
    for (const char* t : {"SCAN tSeibun", "SCAN frac_mg", "SCAN irac_mg", "SCAN hrac_mg"})
      EXPECT_EQ(plan.find(t), std::string::npos) << v << ": " << plan;
  }
}

TEST(SessionViews, IngredientStylesRacGroupsAndTheIngredientSheet) {
  OPEN_SAMPLE_DB(s);
  TLogMessageSink sink;
  TScopedMessageSink scoped(&sink);
  // Ingredients of our own: a general name holding "(" and "+" (pasted into the patterns of
  // tSeibun before), one without a counted ingredient of its own, one with "及び".
  db.FDb->ExecSQL(
      "INSERT INTO seibun(bango, ippanmei, nodo, seibun) VALUES (99001, 'Xアミン(2+)塩', '1%', 'Xアミン(2+)'),"
      " (99001, 'Y剤成分', '2%', 'Y剤成分'), (99001, 'ダゾメト', '3%', 'ダゾメト及びMITC');"
      "INSERT INTO spec.frac_mg(mid, ippanmei, keito) VALUES ('F:1', 'Xアミン(2+)塩', 'FK');"
      "INSERT INTO spec.irac_mg(mid, ippanmei, keito) VALUES ('I:1', 'Xアミン(2+)塩', 'IK');");
  db.CreateSessionViews();
  ASSERT_EQ(SqlErrors(sink), 0) << (sink.Count() ? TLogMessageSink::Format(sink.Messages()[0]) : "");
  EXPECT_EQ(Rows(*db.FDb, "SELECT shoryaku, kanryaku FROM tSeibun WHERE ippanmei = 'Xアミン(2+)塩'"),
            (std::vector<TRowText>{{"Xアミン(2+)", "Xアミン(2+)(塩)"}}));
  EXPECT_EQ(One(db, "SELECT shoryaku FROM tSeibun WHERE ippanmei = 'ダゾメト'"), "(MITC)");
  EXPECT_EQ(One(db, "SELECT count(*) FROM tSeibun WHERE ippanmei = 'Y剤成分'"), "0");
  // A product whose counted ingredient is empty has no row (it would show as "((name))()").
  EXPECT_EQ(One(db, "SELECT count(*) FROM tSeibun WHERE seibun = '' OR kanryaku LIKE '%()%'"), "0");

  // One use per pest class 1, 2 and 3, and one with ingredients that have no RAC row at all.
  db.FDb->ExecSQL(
      "INSERT INTO ttTekiyoSaku(bango, tsusho, idbyochu, seibun1, keito1, kaisu1, mid1, seibun2, keito2, kaisu2,"
      " seibun3, kaisu3) VALUES"
      " (99001, 'T', '1001', 'Xアミン(2+)塩', 'K', '2回', 'F:1', 'Y剤成分', 'K2', '3回', 'ダゾメト', '1回'),"
      " (99002, 'T', '2001', 'Xアミン(2+)塩', 'K', '2回', 'F:1', 'Y剤成分', 'K2', '3回', 'ダゾメト', '1回'),"
      " (99003, 'T', '3001', 'Xアミン(2+)塩', 'K', '2回', 'F:1', 'Y剤成分', 'K2', '3回', 'ダゾメト', '1回');");
  struct Case {
    const char* view;
    const char* cols;
    TRowText want;
  };
  const Case cases[] = {
      {"tvTekiyoSaku1", "seibun1, seibun2, seibun3, kaisu1", {"Xアミン(2+)(塩)", "Y剤成分", "ダゾメト", "2回"}},
      {"tvTekiyoSaku2", "seibun1, seibun2, kaisu1", {"Xアミン(2+)塩 [Xアミン(2+)]", "Y剤成分", "2回"}},
      {"tvTekiyoSaku3", "seibun1, kaisu1, kaisu2, kaisu3", {"Xアミン(2+)塩", "Xアミン(2+): 2回", "3回", "ダゾメト及びMITC: 1回"}},
      {"tvTekiyoSaku4", "seibun1, kaisu1, kaisu2, kaisu3", {"Xアミン(2+)塩", "Xアミン(2+): 2回", "3回", "(MITC): 1回"}},
      {"tvTekiyoSaku5", "seibun1, keito1, kaisu1, mid1", {"Xアミン(2+)塩", "K", "2回", "F:1"}},
  };
  for (const Case& c : cases)
    EXPECT_EQ(Rows(*db.FDb, std::string("SELECT ") + c.cols + " FROM " + c.view + " WHERE bango = 99001")[0], c.want)
        << c.view;
  // Rk: the group for the pest class, else the largest over all classes, NULL without any row.
  EXPECT_EQ(Rows(*db.FDb, "SELECT bango, keito1, keito2 FROM tvTekiyoRkSaku5 WHERE bango > 99000 ORDER BY bango"),
            (std::vector<TRowText>{{"99001", "FK", N}, {"99002", "IK", N}, {"99003", "IK", N}}));
  EXPECT_EQ(Rows(*db.FDb, "SELECT seibun1, keito1 FROM tvTekiyoRkSaku1 WHERE bango = 99001")[0],
            (TRowText{"Xアミン(2+)(塩)", "FK"}));
  // Trade-name views: one row per distinct use, whatever the registration number.
  EXPECT_EQ(One(db, "SELECT count(*) FROM tvTsushoTekiyoSaku5 WHERE tsusho = 'T'"), "1");
  EXPECT_EQ(One(db, "SELECT count(*) FROM tvTekiyoSaku5 WHERE bango > 99000"), "3");
  // The Rk trade-name view keeps the uses apart when their groups differ by pest class.
  EXPECT_EQ(One(db, "SELECT count(*) FROM tvTsushoTekiyoRkSaku5 WHERE tsusho = 'T'"), "2");

  // The ingredient sheet without JPP-NET data.
  EXPECT_EQ(Rows(*db.FDb, "SELECT JPP系統名, kagakumei, nodochu, jyogai1, jyogai2, dokusei FROM tvSeibun WHERE "
                          "ippanmei = 'Y剤成分'"),
            (std::vector<TRowText>{{N, N, N, N, N, "-"}}));
  EXPECT_EQ(Rows(*db.FDb, "SELECT name FROM pragma_table_info('tvSeibun') WHERE name IN ('dokusei','seibunEikyo') ORDER BY cid"),
            (std::vector<TRowText>{{"seibunEikyo"}, {"dokusei"}}));
}

TEST(SessionViews, ViewsOverARealCropSearch) {
  OPEN_SAMPLE_DB(s);
  TLogMessageSink sink;
  TScopedMessageSink scoped(&sink);
  db.CreateSessionViews();
  ASSERT_TRUE(db.ExecSQL(FillSaku("WHERE idsaku IS NOT NULL")));
  const std::string n = One(db, "SELECT count(*) FROM ttTekiyoSaku");
  ASSERT_NE(n, "0");
  // Every plain view shows each row of the working table once; the Rk ones keep every
  // stored group of an ingredient whose RAC row is of another class only as a fallback.
  for (const std::string& v : ResultViewNames()) {
    if (v.find("Saku") == std::string::npos) continue;
    if (v.find("Tsusho") != std::string::npos) {
      EXPECT_LE(std::stoi(One(db, "SELECT count(*) FROM " + v)), std::stoi(n)) << v;
    } else {
      EXPECT_EQ(One(db, "SELECT count(*) FROM " + v), n) << v;
    }
  }
  // The Rk groups are those of the literal per-row look-up in the RAC table: the group of the
  // pest class when the ingredient has a row of that class (NULL when that row has none), else
  // its largest group over all classes.  A class row without a group is added first.
  // (an insecticide class row for an ingredient that has a fungicide group, used by a pest of
  // that class).
  db.FDb->ExecSQL("INSERT INTO spec.irac_mg(mid, ippanmei, keito) SELECT 'I:9', seibun1, NULL FROM ttTekiyoSaku WHERE "
                  "substr(idbyochu, 1, 1) = '2' AND seibun1 IN (SELECT ippanmei FROM frac_mg WHERE keito IS NOT NULL) "
                  "AND seibun1 NOT IN (SELECT ippanmei FROM irac_mg) LIMIT 1;");
  ASSERT_EQ(One(db, "SELECT count(*) FROM irac_mg WHERE mid = 'I:9'"), "1");
  db.CreateSessionViews();
  ASSERT_TRUE(db.ExecSQL(FillSaku("WHERE idsaku IS NOT NULL")));
  std::string literal = "SELECT ";
  for (int i = 1; i <= 5; ++i) {
    const std::string k = "seibun" + std::to_string(i);
    literal += std::string(i > 1 ? ", " : "") + "(select if(count(*) > 0, keito, (select max(keito) from rac2 where " +
               "ippanmei = " + k + " group by ippanmei)) from rac2 where ippanmei = " + k +
               " and cid = substr(idbyochu, 1, 1))";
  }
  literal += " FROM ttTekiyoSaku ORDER BY rowid";
  const auto want = Rows(*db.FDb, literal);
  ASSERT_EQ(want.size(), static_cast<size_t>(std::stoi(n)));
  for (int style = 1; style <= 5; ++style)
    EXPECT_EQ(Rows(*db.FDb, "SELECT keito1, keito2, keito3, keito4, keito5 FROM tvTekiyoRkSaku" + std::to_string(style)),
              want)
        << style;
  EXPECT_EQ(One(db, "SELECT count(*) FROM tvTekiyoRkSaku5 WHERE keito1 IS NULL AND seibun1 = (SELECT ippanmei FROM "
                    "irac_mg WHERE mid = 'I:9')"),
            One(db, "SELECT count(*) FROM ttTekiyoSaku WHERE substr(idbyochu, 1, 1) = '2' AND seibun1 = (SELECT "
                    "ippanmei FROM irac_mg WHERE mid = 'I:9')"));
  // A group from the RAC table is always one of the ingredient's groups there.
  EXPECT_EQ(One(db, "SELECT count(*) FROM tvTekiyoRkSaku5 v JOIN ttTekiyoSaku t USING(bango) WHERE v.keito1 IS NOT "
                    "NULL AND v.keito1 NOT IN (SELECT keito FROM rac2 WHERE ippanmei = v.seibun1)"),
            "0");
  EXPECT_EQ(SqlErrors(sink), 0);
}

TEST(SessionViews, QmtoolSqlSeesThePerConnectionObjects) {
  const QString tool = QString::fromStdString(BinaryPath("bin/qmtool"));
  if (!QFileInfo::exists(tool)) GTEST_SKIP() << "qmtool is not built";
  OPEN_SAMPLE_DB(s);
  s.Db.reset();
  QProcess p;
  p.start(tool, {"sql", "--db", QString::fromStdString(s.DBDir),
                 "INSERT INTO ttTekiyoSaku(bango, sakumotsu) VALUES (1, 'トマト');"
                 "SELECT bango, sakumotsu, seibun1 FROM tvTekiyoRkSaku1; -- the views exist"});
  ASSERT_TRUE(p.waitForFinished(60000));
  EXPECT_EQ(p.exitCode(), 0);
  EXPECT_EQ(p.readAllStandardError().toStdString(), "");
  EXPECT_EQ(p.readAllStandardOutput().toStdString(), "bango\tsakumotsu\tseibun1\n1\tトマト\t\n");
}
