// The trade-name views give exactly what SELECT DISTINCT gives over their working table (the
// same rows, first occurrences, in its order), and the RAC-group views what a subquery per
// ingredient slot gives: on a real crop and pest search of the sample register, and on crafted
// rows that agree in some columns and differ in others, with NULLs and with numbers stored as
// integers, reals and text. Also run twice as one prepared statement, twice in one statement,
// and joined with themselves.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include "database/acis_session_views.h"
#include "sample_acis_db.h"
#include "support_acis_fixture.h"

namespace {

// Rows with each value's type, so 1, 1.0 and '1' stay apart.
std::vector<TRowText> Typed(TSQLiteDb& db, const std::string& sql) {
  std::vector<TRowText> out;
  auto t = db.GetTable(sql);
  for (t->MoveFirst(); !t->Eof(); t->Next()) {
    TRowText r;
    for (int i = 0; i < t->ColCount(); ++i)
      r.push_back(std::to_string(t->FieldType(i)) + ":" + (t->FieldIsNull(i) ? "" : t->FieldAsString(i)));
    out.push_back(std::move(r));
  }
  return out;
}

// Every view against its plain form, on both working tables.
void ExpectEveryViewAsItsPlainForm(TAcisDB& db, const std::string& what) {
  for (bool byochu : {false, true})
    for (bool tsusho : {false, true})
      for (bool rk : {false, true})
        for (int style = 0; style < 5; ++style) {
          const std::string view = ResultViewName(byochu, tsusho, rk, style);
          EXPECT_EQ(Typed(*db.FDb, "SELECT * FROM " + view), Typed(*db.FDb, ReferenceViewSelect(byochu, tsusho, rk, style)))
              << what << ": " << view;
        }
}

}  // namespace

TEST(TsushoViews, EqualSelectDistinctOnRealSearches) {
  OPEN_SAMPLE_DB(s);
  db.CreateSessionViews();
  db.FDb->ExecAll = true;
  // A crop search and a pest search over a part of the sample register (a fifth of its
  // products), each in its table's own order.
  const std::string part = "bango IN (SELECT bango FROM m_kihon WHERE bango % 5 = 0)";
  db.FDb->ExecSQL("DROP TABLE IF EXISTS ttTekiyoSaku; CREATE TEMP TABLE ttTekiyoSaku AS " + TekiyoWorkSelect() +
                  "WHERE idsaku IS NOT NULL AND " + part + " ORDER BY tsusho, sakumotsu;"
                  "DROP TABLE IF EXISTS ttTekiyoByochu; CREATE TEMP TABLE ttTekiyoByochu AS " + TekiyoWorkSelect() +
                  "WHERE idbyochu IS NOT NULL AND " + part + " ORDER BY bango DESC;");
  const int rows = std::stoi(Rows(*db.FDb, "SELECT count(*) FROM ttTekiyoSaku")[0][0]);
  ASSERT_GT(rows, 100);
  ASSERT_LT(rows, 1000);
  ExpectEveryViewAsItsPlainForm(db, "sample");
}

TEST(TsushoViews, CraftedRowsNullsAndNumberTypes) {
  OPEN_SAMPLE_DB(s);
  db.CreateSessionViews();
  db.FDb->ExecAll = true;
  // Columns without a declared type keep each value's type, as a search's CREATE TABLE AS may.
  db.FDb->ExecSQL(
      "DROP TABLE ttTekiyoSaku; CREATE TEMP TABLE ttTekiyoSaku AS SELECT * FROM (" + TekiyoWorkSelect() +
      "LIMIT 0);"
      "DROP TABLE ttTekiyoByochu; CREATE TEMP TABLE ttTekiyoByochu(" + TekiyoWorkColumnsDdl() + ");");
  // bango, meisho and idbyochu are no result columns of the trade-name views (idbyochu only
  // through the RAC group); seizaidokusei takes numbers of every kind.
  const char* rows[] = {
      "(1, 'T', 'A', 'x', NULL, '1回', 'S1', NULL, 1)",
      "(2, 'T', 'B', 'x', NULL, '1回', 'S1', NULL, 1)",      // same result as row 1: left out
      "(3, 'T', 'A', 'x', NULL, '1回', 'S1', NULL, 1.0)",    // 1.0 equals 1: left out
      "(4, 'T', 'A', 'x', NULL, '1回', 'S1', NULL, '1')",    // a text 1 is another value
      "(5, 'T', 'A', 'x', NULL, '2回', 'S1', NULL, 1)",      // another number of uses
      "(6, 'T', 'A', 'x', NULL, '1回', 'S2', NULL, 1)",      // another ingredient
      "(7, 'T', 'A', 'x', NULL, '1回', 'S1', 'X', 1)",       // another ingredient count
      "(8, NULL, 'A', NULL, NULL, NULL, NULL, NULL, NULL)",
      "(9, NULL, 'C', NULL, NULL, NULL, NULL, NULL, NULL)",  // NULL equals NULL: left out
      "(10, 'T', 'A', 'x', NULL, '1回', 'S1', NULL, 1)",     // same as row 1 after others
      "(11, 'U', 'A', 'x', NULL, '1回', 'S1', NULL, 2.5)",
      "(12, 'U', 'A', 'x', NULL, '1回', 'S1', NULL, 2.5)",
  };
  std::string insert;
  for (const char* r : rows)
    insert += std::string("INSERT INTO ttTekiyoSaku(bango, tsusho, meisho, sakumotsu, byochu, kaisu, seibun1, kaisu1, "
                          "seizaidokusei) VALUES ") + r + ";";
  db.FDb->ExecSQL(insert + "INSERT INTO ttTekiyoByochu SELECT * FROM ttTekiyoSaku ORDER BY bango DESC;");
  EXPECT_EQ(Rows(*db.FDb, "SELECT count(*) FROM tvTsushoTekiyoSaku5")[0][0], "7");
  ExpectEveryViewAsItsPlainForm(db, "crafted");

  // The same prepared statement run again, the view twice in one statement, and the view
  // joined with itself (SQLite scans it again for every row of the other side).
  const std::string view = "tvTsushoTekiyoRkSaku2";
  TSQLiteStmt st = db.FDb->Prepare("SELECT count(*) FROM " + view);
  for (int run = 0; run < 3; ++run) {
    st.Reset();
    ASSERT_TRUE(st.Step());
    EXPECT_EQ(st.ColumnInt(0), 7) << run;
  }
  const std::string ref = "(" + ReferenceViewSelect(false, true, true, 1) + ")";
  EXPECT_EQ(Typed(*db.FDb, "SELECT * FROM " + view + " UNION ALL SELECT * FROM " + view),
            Typed(*db.FDb, "SELECT * FROM " + ref + " UNION ALL SELECT * FROM " + ref));
  for (const char* on : {"a.tsusho IS b.tsusho", "a.kaisu IS b.kaisu", "a.seizaidokusei = b.seizaidokusei", "1"})
    EXPECT_EQ(Typed(*db.FDb, std::string("SELECT a.sakumotsu, a.seizaidokusei, b.byochu, b.seizaidokusei FROM ") + view +
                                 " AS a JOIN " + view + " AS b ON " + on + " ORDER BY 1, 2, 3, 4"),
              Typed(*db.FDb, std::string("SELECT a.sakumotsu, a.seizaidokusei, b.byochu, b.seizaidokusei FROM ") + ref +
                                 " AS a JOIN " + ref + " AS b ON " + on + " ORDER BY 1, 2, 3, 4"))
        << on;
}

namespace {

// Fills ttTekiyoSaku (and ttTekiyoByochu, in reverse) with `rows` rows of one trade name,
// crop, pest and number of uses: the place column takes `places` values in turn, so each
// whole row comes rows / places times; every seventh row has another ingredient.
void FillOneKey(TAcisDB& db, int rows, int places) {
  db.FDb->ExecSQL("DELETE FROM ttTekiyoSaku; DELETE FROM ttTekiyoByochu;"
                  "WITH RECURSIVE n(k) AS (SELECT 1 UNION ALL SELECT k + 1 FROM n WHERE k < " +
                  std::to_string(rows) +
                  ") INSERT INTO ttTekiyoSaku(bango, tsusho, meisho, sakumotsu, byochu, idbyochu, kaisu, basho, "
                  "seibun1, kaisu1) SELECT k, 'T', 'M' || k, 'A', 'x', 'I001', '1回', 'b' || (k % " +
                  std::to_string(places) + "), CASE WHEN k % 7 = 0 THEN 'S2' ELSE 'S1' END, '2回' FROM n;"
                  "INSERT INTO ttTekiyoByochu SELECT * FROM ttTekiyoSaku ORDER BY bango DESC;");
}

// Virtual-machine steps of one run of a statement: the work SQLite does for it, subqueries
// included, whatever the machine's speed.
int64_t Steps(TAcisDB& db, const std::string& sql) {
  TSQLiteStmt st = db.FDb->Prepare(sql);
  while (st.Step()) {
  }
  return sqlite3_stmt_status(st.Handle(), SQLITE_STMTSTATUS_VM_STEP, 0);
}

}  // namespace

// One key repeated hundreds of times, with whole rows repeated and not: every view still
// gives what its plain form gives.
TEST(TsushoViews, ManyRowsOfOneKeyEqualSelectDistinct) {
  OPEN_SAMPLE_DB(s);
  db.CreateSessionViews();
  db.FDb->ExecAll = true;
  FillOneKey(db, 600, 150);
  EXPECT_EQ(Rows(*db.FDb, "SELECT count(*) FROM tvTsushoTekiyoSaku5")[0][0], "235");  // 150 places, 85 of them also with S2
  ExpectEveryViewAsItsPlainForm(db, "one key");
  FillOneKey(db, 400, 400);  // no whole row twice
  EXPECT_EQ(Rows(*db.FDb, "SELECT count(*) FROM tvTsushoTekiyoRkByochu3")[0][0], "400");
  ExpectEveryViewAsItsPlainForm(db, "one key, rows all different");
  // Around the number of rows from which a key's rows are compared by hash: repeats before,
  // across and after it.
  for (int rows : {7, 8, 9, 10, 17}) {
    FillOneKey(db, rows, 3);
    ExpectEveryViewAsItsPlainForm(db, std::to_string(rows) + " rows of one key");
  }
  // A key of many rows scanned again for every row of the other side.
  FillOneKey(db, 60, 25);
  const std::string ref = "(" + ReferenceViewSelect(false, true, false, 0) + ")";
  EXPECT_EQ(Typed(*db.FDb, "SELECT a.basho, b.basho, b.seibun1 FROM tvTsushoTekiyoSaku1 AS a JOIN tvTsushoTekiyoSaku1 AS b "
                           "ON a.seibun1 = b.seibun1 ORDER BY 1, 2, 3"),
            Typed(*db.FDb, "SELECT a.basho, b.basho, b.seibun1 FROM " + ref + " AS a JOIN " + ref +
                               " AS b ON a.seibun1 = b.seibun1 ORDER BY 1, 2, 3"));
}

// The work of a trade-name view grows as its rows do, also when every row has the same key:
// four times the rows take about four times the steps (a comparison of each row with the
// earlier rows of its key would take sixteen times).
TEST(TsushoViews, WorkGrowsLinearlyWithRowsOfOneKey) {
  OPEN_SAMPLE_DB(s);
  db.CreateSessionViews();
  db.FDb->ExecAll = true;
  for (const char* view : {"tvTsushoTekiyoSaku5", "tvTsushoTekiyoRkByochu1"}) {
    const std::string sql = std::string("SELECT count(*) FROM ") + view;
    FillOneKey(db, 500, 1000000);
    const int64_t one = Steps(db, sql);
    FillOneKey(db, 2000, 1000000);
    const int64_t four = Steps(db, sql);
    EXPECT_LT(four, one * 5) << view << ": " << one << " steps for 500 rows, " << four << " for 2,000";
  }
}
