// The working tables of the three search tabs on the generated sample register: the crop and
// pest searches' scripts fill ttTekiyoSaku and ttTekiyoByochu with exactly the rows, in exactly
// the order, the same scripts give with the RAC code of every ingredient slot by its own two
// subqueries into raccode; the chemical tab's t_bango is what it was when it read every use
// from the table.  The RAC codes are checked on crafted code tables (two codes of one class,
// a class row without a code, classes without a row, uses without a pest), and the use table
// is made to list uses of a crop out of number order, so a plan that reads the uses by number
// shows.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "database/acis_session_views.h"
#include "database/lookup_indexes.h"
#include "database/sample_acis_db.h"
#include "frontend/chemical/yakuzai_sql.h"
#include "frontend/crop/crop_search.h"
#include "frontend/pest/pest_search_sql.h"

namespace {

using TRows = std::vector<std::vector<std::string>>;

// Rows with each value's type, so 1, 1.0 and '1' stay apart.
TRows Typed(TSQLiteDb& db, const std::string& sql) {
  TRows out;
  auto t = db.GetTable(sql);
  for (t->MoveFirst(); !t->Eof(); t->Next()) {
    std::vector<std::string> r;
    for (int i = 0; i < t->ColCount(); ++i)
      r.push_back(std::to_string(t->FieldType(i)) + ":" + (t->FieldIsNull(i) ? "" : t->FieldAsString(i)));
    out.push_back(std::move(r));
  }
  return out;
}

// "" when the two are equal, else the first difference.
std::string FirstDifference(const TRows& a, const TRows& b) {
  if (a.size() != b.size()) return std::to_string(a.size()) + " rows against " + std::to_string(b.size());
  for (size_t r = 0; r < a.size(); ++r)
    for (size_t c = 0; c < a[r].size() && c < b[r].size(); ++c)
      if (a[r][c] != b[r][c])
        return "row " + std::to_string(r) + " column " + std::to_string(c) + ": " + a[r][c] + " against " + b[r][c];
  return {};
}

std::string One(TSQLiteDb& db, const std::string& sql) {
  auto t = db.GetTable(sql);
  return t->Count() ? t->FieldAsString(0) : "<no row>";
}

std::string ReplaceOnce(std::string s, const std::string& from, const std::string& to) {
  const size_t at = s.find(from);
  EXPECT_NE(at, std::string::npos) << from.substr(0, 60);
  if (at != std::string::npos) s.replace(at, from.size(), to);
  return s;
}

// A script with the working tables' select in its plain form.
std::string Plain(const std::string& Script) {
  return ReplaceOnce(Script, TekiyoWorkSelect("\r\n"), ReferenceTekiyoWorkSelect("\r\n"));
}

// What Table holds after Script, in its order.
TRows Filled(TSQLiteDb& db, const std::string& Script, const std::string& Table) {
  db.ExecSQL(Script);
  return Typed(db, "SELECT * FROM " + Table);
}

// Code tables with every case of the RAC codes: ingredient A has three FRAC codes (the class's
// smallest is taken) and an IRAC row without a code (NULL, not its largest code); B has only
// an HRAC code (its largest code for every other class); the rest keep the generated codes or
// have none.  A and B are first ingredients of products with uses on pests.
void CraftCodes(TAcisDB& db, std::string& A, std::string& B) {
  // A: the ingredient with uses on most pest classes; B: the next.
  auto t = db.FDb->GetTable(
      "SELECT seibun1 FROM tekiyo WHERE seibun1 IS NOT NULL AND idbyochu IS NOT NULL GROUP BY seibun1 "
      "ORDER BY count(DISTINCT substr(idbyochu, 1, 1)) DESC, count(*) DESC, seibun1 LIMIT 2");
  ASSERT_EQ(t->Count(), 2);
  A = t->FieldAsString(0);
  t->Next();
  B = t->FieldAsString(0);
  db.FDb->ExecBound("DELETE FROM spec.frac_mg WHERE ippanmei IN (?1, ?2)", {A, B});
  db.FDb->ExecBound("DELETE FROM spec.irac_mg WHERE ippanmei IN (?1, ?2)", {A, B});
  db.FDb->ExecBound("DELETE FROM spec.hrac_mg WHERE ippanmei IN (?1, ?2)", {A, B});
  db.FDb->ExecBound("INSERT INTO spec.frac_mg(mid, ippanmei) VALUES ('M1', ?1), ('A9', ?1), ('C3', ?1)", {A});
  db.FDb->ExecBound("INSERT INTO spec.irac_mg(mid, ippanmei) VALUES (NULL, ?1)", {A});
  db.FDb->ExecBound("INSERT INTO spec.hrac_mg(mid, ippanmei) VALUES ('Z5', ?1)", {B});
}

}  // namespace

TEST(WorkTables, RacCodesAreThoseOfTheirSubqueries) {
  OPEN_SAMPLE_DB(s);
  db.CreateSessionViews();
  db.FDb->ExecAll = true;
  std::string a, b;
  ASSERT_NO_FATAL_FAILURE(CraftCodes(db, a, b));
  // Uses without a pest of a product with ingredient A (an unknown pest name: idbyochu NULL).
  db.FDb->ExecBound(
      "INSERT INTO m_tekiyo(bango, sakumotsu, byochu, mokuteki) SELECT bango, sakumotsu, 'どこにもない病害虫', '生育調整' "
      "FROM m_tekiyo WHERE bango IN (SELECT bango FROM m_kihon WHERE seibun1 = ?1) LIMIT 3",
      {a});

  // Every use of the register, every slot, with each value's type.
  const TRows fast = Typed(*db.FDb, TekiyoWorkSelect() + "WHERE 1");
  const TRows plain = Typed(*db.FDb, ReferenceTekiyoWorkSelect() + "WHERE 1");
  ASSERT_GT(fast.size(), 1000u);
  EXPECT_EQ(FirstDifference(fast, plain), "");

  // The cases the crafted tables make, as the register shows them.
  const std::string q = "SELECT DISTINCT rac_mid(0, seibun1, idbyochu) FROM tekiyo WHERE seibun1 = ?1 AND ";
  auto codes = [&](const std::string& ing, const std::string& cond) {
    std::vector<std::string> v;
    auto t = db.FDb->GetTableBound(q + cond + " ORDER BY 1", {ing});
    for (t->MoveFirst(); !t->Eof(); t->Next()) v.push_back(t->FieldIsNull(0) ? "<NULL>" : t->FieldAsString(0));
    return v;
  };
  ASSERT_FALSE(codes(a, "substr(idbyochu, 1, 1) = '1'").empty());
  EXPECT_EQ(codes(a, "substr(idbyochu, 1, 1) = '1'"), std::vector<std::string>{"A9"});  // its smallest FRAC code
  if (!codes(a, "substr(idbyochu, 1, 1) = '2'").empty()) {
    EXPECT_EQ(codes(a, "substr(idbyochu, 1, 1) = '2'"), std::vector<std::string>{"<NULL>"});
  }
  EXPECT_EQ(codes(a, "idbyochu IS NULL"), std::vector<std::string>{"M1"});  // its largest code
  EXPECT_EQ(codes(b, "1"), std::vector<std::string>{"Z5"});

  // A change of the code tables shows in the next run of the same statement.
  {
    TSQLiteStmt st = db.FDb->Prepare("SELECT rac_mid(0, ?1, '3xyz')");
    st.BindText(1, b);
    ASSERT_TRUE(st.Step());
    EXPECT_EQ(st.ColumnText(0), "Z5");
    st.Reset();
    db.FDb->ExecBound("UPDATE spec.hrac_mg SET mid = 'Z6' WHERE ippanmei = ?1", {b});
    ASSERT_TRUE(st.Step());
    EXPECT_EQ(st.ColumnText(0), "Z6");
  }
  // No code tables: the statement fails as its subqueries would, with a message.
  db.FDb->ExecSQL("DROP VIEW spec.raccode;");
  EXPECT_THROW(db.FDb->GetTable(TekiyoWorkSelect() + "WHERE seibun1 IS NOT NULL"), ESQLiteException);
}

TEST(WorkTables, SearchScriptsFillTheRowsOfTheirPlainForm) {
  OPEN_SAMPLE_DB(s);
  db.CreateSessionViews();
  db.FDb->ExecAll = true;
  std::string a, b;
  ASSERT_NO_FATAL_FAILURE(CraftCodes(db, a, b));
  // The crop with most uses gets uses of the lowest-numbered product appended after all others:
  // its uses are no longer in number order in the use table.
  const std::string crop = One(*db.FDb, "SELECT sakumotsu FROM m_tekiyo GROUP BY sakumotsu ORDER BY count(*) DESC LIMIT 1");
  const std::string low = One(*db.FDb, "SELECT min(bango) FROM m_tekiyo");
  db.FDb->ExecBound(
      "INSERT INTO m_tekiyo(bango, sakumotsu, byochu, mokuteki, kaisu) SELECT ?1, sakumotsu, byochu, mokuteki, '追加' "
      "FROM m_tekiyo WHERE sakumotsu = ?2 AND bango > ?1 LIMIT 4",
      {std::stoll(low), crop});
  // The build makes the index of crop and product pairs; the look-up indexes of an installed
  // database make it again, partial, once.
  const std::string indexSql = "SELECT sql FROM sqlite_master WHERE name = 'idxTekiyoSakumotsuBango'";
  ASSERT_EQ(db.FDb->GetTable(indexSql)->Count(), 1) << "the build makes the index of crop and product pairs";
  db.FDb->ExecSQL("DROP INDEX idxTekiyoSakumotsuBango;");
  EXPECT_GE(CreateLookupIndexes(*db.FDb), 1);
  EXPECT_NE(One(*db.FDb, indexSql).find("(sakumotsu, bango) WHERE bango IS NOT NULL"), std::string::npos);
  EXPECT_EQ(CreateLookupIndexes(*db.FDb), 0);

  // The crop search: the crop alone, and a broad crop group.
  for (const std::string& crops : {crop, std::string("野菜類")}) {
    const std::string script = QuerySakumotsu2(db.IdSakuRegexpLine(crops));
    const TRows fast = Filled(*db.FDb, script, "ttTekiyoSaku");
    ASSERT_GT(fast.size(), 4u) << crops;
    EXPECT_EQ(FirstDifference(fast, Filled(*db.FDb, Plain(script), "ttTekiyoSaku")), "") << crops;
  }
  // The uses of one crop come in the use table's order: the appended uses last.
  db.FDb->ExecSQL(QuerySakumotsu2(db.IdSakuRegexpLine(crop)));
  auto last = db.FDb->GetTableBound("SELECT kaisu FROM ttTekiyoSaku WHERE sakumotsu = ?1 ORDER BY rowid DESC LIMIT 5", {crop});
  std::vector<std::string> kaisu;
  for (last->MoveFirst(); !last->Eof(); last->Next()) kaisu.push_back(last->FieldAsString(0));
  ASSERT_EQ(kaisu.size(), 5u);
  EXPECT_EQ(kaisu, (std::vector<std::string>{"追加", "追加", "追加", "追加", kaisu[4]}));
  EXPECT_NE(kaisu[4], "追加");

  // The pest search: a broad word and the pests of the crafted ingredients' uses.
  auto pests = db.FDb->GetTableBound(
      "SELECT byochu FROM tekiyo WHERE seibun1 = ?1 AND idbyochu IS NOT NULL ORDER BY bango LIMIT 1", {a});
  ASSERT_EQ(pests->Count(), 1);
  const std::string pest = pests->FieldAsString(0);
  for (const std::string& words : {std::string("病"), pest + " " + crop}) {
    const std::string script = ByochuScript(ByochuCondition(words).Literal);
    const TRows fast = Filled(*db.FDb, script, "ttTekiyoByochu");
    ASSERT_GT(fast.size(), 4u) << words;
    EXPECT_EQ(FirstDifference(fast, Filled(*db.FDb, Plain(script), "ttTekiyoByochu")), "") << words;
  }

  // The chemical tab's crop restriction, from the index alone, against every use read from the
  // table; the crop search above kept to the plain index of crops.
  for (const std::string& crops : {crop, std::string("野菜類")}) {
    const std::string script = BangoTableScript(db.IdSakuRegexpLine(crops));
    const TRows fast = Filled(*db.FDb, script, "t_bango");
    ASSERT_GT(fast.size(), 1u) << crops;
    EXPECT_EQ(FirstDifference(fast, Filled(*db.FDb, ReplaceOnce(script, ") AND bango IS NOT NULL", ")"), "t_bango")), "")
        << crops;
    std::string select = script.substr(script.find("SELECT DISTINCT"));
    auto plan = db.FDb->GetTable("EXPLAIN QUERY PLAN " + select.substr(0, select.find(";")));
    std::string steps;
    for (plan->MoveFirst(); !plan->Eof(); plan->Next()) steps += plan->FieldAsString(3) + "\n";
    EXPECT_NE(steps.find("COVERING INDEX idxTekiyoSakumotsuBango"), std::string::npos) << steps;
  }
}
