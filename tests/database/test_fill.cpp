// Lists, combo boxes and grids from query results: the registration-number item form, the
// column titles, the fills (also onto the Qt controls) and SetGrid with its failure paths.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QListWidget>
#include <chrono>
#include <functional>
#include <thread>

#include "database/acis_fill.h"
#include "database/field_caption.h"
#include "sample_acis_db.h"
#include "support_acis_fixture.h"

namespace {

std::vector<std::string> GridRow(const TGridData& d, int row) {
  std::vector<std::string> out;
  for (int c = 0; c < d.ColCount(); ++c) out.emplace_back(d.Cell(row, c));
  return out;
}

// A database of our own with a table of chosen rows.
struct TSmallDb {
  TAcisFixture fx;
  std::unique_ptr<TAcisDB> db;
  TSmallDb() {
    TAcisDBSettings s = fx.Settings(false);
    s.DBDownSite = 3;
    db = std::make_unique<TAcisDB>(fx.DBDir + "/acis.db", s);
    db->FDb->ExecSQL(
        "CREATE TABLE t(n INTEGER, name VARCHAR, f REAL, dokusei VARCHAR);"
        "INSERT INTO t VALUES (123, 'ABC', 1.5, '普通物'), (NULL, 'it''s', NULL, NULL), (123456, '', 2, 'x');");
  }
};

}  // namespace

TEST(Fill, ItemFormAndCaptions) {
  struct Case {
    int64_t bango;
    std::string name, item;
  };
  for (const Case& c : {Case{123, "ABC", "  123 ABC"}, Case{12345, "トマト", "12345 トマト"},
                        Case{123456, "ABC", "123456 ABC"}, Case{7, " x", "    7  x"}}) {
    const std::string item = BangoItem(c.bango, c.name);
    EXPECT_EQ(item, c.item);
    EXPECT_EQ(BangoOfItem(item), std::to_string(c.bango)) << item;
    EXPECT_EQ(NameOfItem(item), c.name) << item;
  }
  EXPECT_EQ(BangoItem(12345, "ABC").size(), 5u + 1 + 3);
  EXPECT_EQ(BangoOfItem("12345"), "");
  EXPECT_EQ(NameOfItem("12345"), "");
  EXPECT_EQ(NameOfItem("123456"), "");

  EXPECT_EQ(FieldCaptionCount(), 102);
  const std::pair<const char*, const char*> captions[] = {
      {"SEIBUNEIKYO", "水産影響評価済"}, {"seibunEikyo", "水産影響評価済"}, {"ISO", "ISO"}, {"BANGO", "番号"},
      {"MID3", "RAC3"}, {"seizaidokusei", "製剤毒性"}, {"NOTE", "備考"}, {"FGROUP", "備考"}, {"USE", "用途"},
      {"RAC系統", "RAC系統"}, {"AGROVAC", "AGROVAC ID"}, {"wikipedia", "WIKIPEDIA 項目名"}, {"", ""}};
  for (const auto& [name, title] : captions) EXPECT_EQ(FieldCaption(name), title) << name;
}

TEST(Fill, ListsAndComboBoxes) {
  TSmallDb s;
  TAcisDB& db = *s.db;
  // FillListUnique over a, '', a, b adds a and b; an item already in the list is not added again.
  db.FDb->ExecSQL("CREATE TABLE u(v); INSERT INTO u VALUES ('a'), (''), ('a'), ('b'), (NULL);");
  TStringItems list;
  ASSERT_TRUE(db.Query("SELECT v FROM u ORDER BY rowid", false));
  db.FillListUnique(list);
  EXPECT_EQ(list.Items, (std::vector<std::string>{"a", "b"}));
  list.Items = {"b"};
  ASSERT_TRUE(db.Query("SELECT v FROM u ORDER BY rowid", false));
  db.FillListUnique(list);
  EXPECT_EQ(list.Items, (std::vector<std::string>{"b", "a"}));

  // FillListValues skips empty texts and keeps what the list held.
  list.Items = {"x"};
  ASSERT_TRUE(db.Query("SELECT v FROM u ORDER BY rowid", false));
  db.FillListValues(list, 0);
  EXPECT_EQ(list.Items, (std::vector<std::string>{"x", "a", "a", "b"}));

  // Registration-number items; Clear empties first; a cursor without rows changes nothing.
  TStringItems combo;
  combo.Items = {"old"};
  ASSERT_TRUE(db.Query("SELECT n, name FROM t WHERE n IS NOT NULL ORDER BY n", false));
  db.FillComboBango(combo, true);
  EXPECT_EQ(combo.Items, (std::vector<std::string>{"  123 ABC", "123456 "}));
  EXPECT_FALSE(db.Query("SELECT n, name FROM t WHERE 0", false));
  db.FillComboBango(combo, true);
  db.FillComboItems(combo, 0, true);
  EXPECT_EQ(combo.Items.size(), 2u);
  ASSERT_TRUE(db.Query("SELECT name FROM t ORDER BY rowid", false));
  db.FillComboItems(combo, 0, false);
  EXPECT_EQ(combo.Items, (std::vector<std::string>{"  123 ABC", "123456 ", "ABC", "it's", ""}));
  // A number column holding text raises to the caller.
  ASSERT_TRUE(db.Query("SELECT name, n FROM t WHERE n = 123", false));
  EXPECT_ANY_THROW(db.FillListBango(combo, false));

  // The Qt controls receive the same items, the list box in one update.
  QComboBox cb;
  cb.addItem("old");
  TQtComboItems cbItems(&cb);
  ASSERT_TRUE(db.Query("SELECT n, name FROM t WHERE n IS NOT NULL ORDER BY n", false));
  db.FillComboBango(cbItems, true);
  ASSERT_EQ(cb.count(), 2);
  EXPECT_EQ(cb.itemText(0).toStdString(), "  123 ABC");
  QListWidget lw;
  lw.addItem("a");
  TQtListItems lwItems(&lw);
  ASSERT_TRUE(db.Query("SELECT v FROM u ORDER BY rowid", false));
  db.FillListUnique(lwItems);
  ASSERT_EQ(lw.count(), 2);
  EXPECT_EQ(lw.item(1)->text().toStdString(), "b");
  EXPECT_TRUE(lw.updatesEnabled());
  EXPECT_TRUE(cb.updatesEnabled());
}

TEST(Fill, SetGridCaptionsNullsAndFailures) {
  TSmallDb s;
  TAcisDB& db = *s.db;
  TLogMessageSink sink;
  TScopedMessageSink scoped(&sink);

  TGridDataTarget grid("gdTekiyo");
  ASSERT_TRUE(db.SetGrid(grid, "SELECT n AS bango, name AS meisho, f, dokusei, n AS iso FROM t ORDER BY rowid"));
  EXPECT_EQ(grid.Fills, 1);
  EXPECT_FALSE(grid.Visible);  // left hidden for the caller
  const TGridData& d = grid.Data;
  EXPECT_EQ(d.Titles(), (std::vector<std::string>{"番号", "農薬の名称", "F", "毒性", "ISO"}));
  ASSERT_EQ(d.RowCount(), 3);
  EXPECT_EQ(GridRow(d, 0), (std::vector<std::string>{"123", "ABC", "1.5", "普通物", "123"}));
  // NULL shows as an empty cell, also in number columns.
  EXPECT_EQ(GridRow(d, 1), (std::vector<std::string>{"", "it's", "", "", ""}));
  EXPECT_EQ(GridRow(d, 2), (std::vector<std::string>{"123456", "", "2", "x", "123456"}));
  EXPECT_EQ(d.Cell(3, 0), "");
  EXPECT_EQ(db.FTbl->Count(), 3);  // the caller reads the row count from the cursor
  EXPECT_EQ(sink.Count(), 0u);

  // The formulation-toxicity grid titles dokusei as the product's toxicity.
  TGridDataTarget seizai("gdSeizai");
  ASSERT_TRUE(db.SetGrid(seizai, "SELECT dokusei, name FROM t"));
  EXPECT_EQ(seizai.Data.Titles(), (std::vector<std::string>{"製剤毒性", "NAME"}));

  // No rows: false, one warning, the grid keeps its content.
  EXPECT_FALSE(db.SetGrid(grid, "SELECT * FROM t WHERE 0"));
  ASSERT_EQ(sink.Count(), 1u);
  EXPECT_EQ(sink.Messages()[0].kind, TMsgKind::Warning);
  EXPECT_EQ(sink.Messages()[0].text, "検索条件に一致するデータはありません");
  EXPECT_EQ(grid.Fills, 1);
  EXPECT_EQ(grid.Data.RowCount(), 3);

  // A syntax error: the SQL error memo titled with the operation, false, grid unchanged.
  sink.Clear();
  EXPECT_FALSE(db.SetGrid(grid, "SELEC * FROM t"));
  ASSERT_EQ(sink.Count(), 1u);
  EXPECT_EQ(sink.Messages()[0].caption, "SQL エラー");
  EXPECT_EQ(sink.Messages()[0].title, "AcisDB.SetGrid ");
  EXPECT_NE(sink.Messages()[0].text.find("ESQLiteException\n---------\n"), std::string::npos);
  EXPECT_EQ(grid.Fills, 1);
  EXPECT_EQ(grid.Data.RowCount(), 3);

  // A query run by a message handled during the fill (the pump) replaces the cursor but never
  // the rows being copied; the grid's result becomes the cursor afterwards.
  bool pumped = false;
  db.FPump = [&] {
    if (!pumped) pumped = db.Query("SELECT 1", false);
  };
  std::this_thread::sleep_for(std::chrono::milliseconds(60));
  ASSERT_TRUE(db.SetGrid(grid, "SELECT name, n FROM t ORDER BY rowid"));
  EXPECT_TRUE(pumped);
  EXPECT_EQ(grid.Data.RowCount(), 3);
  EXPECT_EQ(grid.Data.Cell(2, 1), "123456");
  EXPECT_EQ(db.FTbl->Count(), 3);
  db.FPump = nullptr;

  // SetGridFromTable: from the cursor's current row, which stays where it was.
  ASSERT_TRUE(db.Query("SELECT name AS sakumotsu FROM t ORDER BY rowid", false));
  db.FTbl->Next();
  TGridDataTarget console("gdSQL");
  db.SetGridFromTable(console, *db.FTbl);
  EXPECT_EQ(console.Data.Titles(), (std::vector<std::string>{"作物名"}));
  EXPECT_EQ(console.Data.RowCount(), 2);
  EXPECT_EQ(console.Data.Cell(0, 0), "it's");
  EXPECT_EQ(db.FTbl->Row(), 1);
  ASSERT_FALSE(db.Query("SELECT 1 WHERE 0", false));
  db.SetGridFromTable(console, *db.FTbl);
  EXPECT_EQ(console.Fills, 1);
}

// Every fill lets window messages run between rows; a handler that queries through the same
// object then replaces the current result.  The fill must go on reading its own rows (and they
// must not be freed under it), and afterwards the cursor is the one it filled from.
TEST(Fill, HandlersQueryingDuringAFillDoNotDisturbIt) {
  TSmallDb s;
  TAcisDB& db = *s.db;
  db.FDb->ExecSQL("CREATE TABLE w(n INTEGER, v VARCHAR);"
                  "INSERT INTO w VALUES (1, 'a'), (2, 'b'), (3, 'c'), (4, 'd');");
  int pumps = 0;
  // Each pump takes longer than the pump interval, so every row lets one run.
  db.FPump = [&] {
    ++pumps;
    db.Query("SELECT 'other' UNION ALL SELECT 'rows' UNION ALL SELECT 'x' UNION ALL SELECT 'y' UNION ALL SELECT 'z'",
             false);
    std::this_thread::sleep_for(std::chrono::milliseconds(55));
  };
  const std::vector<std::string> letters{"a", "b", "c", "d"};
  const std::vector<std::string> items{"    1 a", "    2 b", "    3 c", "    4 d"};
  struct Case {
    const char* what;
    std::function<std::vector<std::string>()> fill;
    std::vector<std::string> want;
  };
  const Case cases[] = {
      {"FillComboItems", [&] { TStringItems l; db.FillComboItems(l, 1, true); return l.Items; }, letters},
      {"FillComboBango", [&] { TStringItems l; db.FillComboBango(l, true); return l.Items; }, items},
      {"FillListBango", [&] { TStringItems l; db.FillListBango(l, true); return l.Items; }, items},
      {"FillListValues", [&] { TStringItems l; db.FillListValues(l, 1); return l.Items; }, letters},
      {"SetGridFromTable",
       [&] {
         TGridDataTarget g("gdSQL");
         db.SetGridFromTable(g, *db.FTbl);
         std::vector<std::string> out;
         for (int r = 0; r < g.Data.RowCount(); ++r) out.emplace_back(g.Data.Cell(r, 1));
         return out;
       },
       letters},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(db.Query("SELECT n, v FROM w ORDER BY n", false));
    const TSQLiteTbl* cursor = db.FTbl.get();
    pumps = 0;
    std::this_thread::sleep_for(std::chrono::milliseconds(55));
    EXPECT_EQ(c.fill(), c.want) << c.what;
    EXPECT_GE(pumps, 3) << c.what;
    EXPECT_EQ(db.FTbl.get(), cursor) << c.what;
  }
  // FillListUnique reads column 0.
  ASSERT_TRUE(db.Query("SELECT v FROM w ORDER BY n", false));
  std::this_thread::sleep_for(std::chrono::milliseconds(55));
  TStringItems u;
  db.FillListUnique(u);
  EXPECT_EQ(u.Items, letters);
  EXPECT_EQ(db.FTbl->Count(), 4);
  db.FPump = nullptr;
}

TEST(Fill, LookUpsBindTheirNames) {
  OPEN_SAMPLE_DB(s);
  TLogMessageSink sink;
  TScopedMessageSink scoped(&sink);
  db.FDb->ExecSQL(
      "INSERT INTO spec.iso(ippanmei, iso) VALUES ('it''s \"q\"', 'isoname'), ('noiso', NULL);"
      "INSERT INTO byochu(idbyochu, byochu, cid, gid) VALUES ('9999', 'O''Neil \"bug\"', 2, NULL);");
  EXPECT_EQ(db.GetIso("it's \"q\""), "isoname");
  EXPECT_EQ(db.GetIso("nosuch'"), "nosuch'");
  EXPECT_EQ(db.GetIso("noiso"), "noiso");
  EXPECT_EQ(db.GetByochuCid("O'Neil \"bug\""), 2);
  EXPECT_EQ(db.GetByochuCid("nosuch"), -1);
  EXPECT_EQ(sink.Count(), 0u);

  // The display name uses the program's database object.
  std::unique_ptr<TAcisDB> saved = std::move(AcisDB);
  AcisDB = std::move(s.Db);
  EXPECT_EQ(IsoDisplayName("it's \"q\""), "isoname(it's \"q\")");
  EXPECT_EQ(IsoDisplayName("nosuch"), "nosuch");
  s.Db = std::move(AcisDB);
  AcisDB = std::move(saved);
  EXPECT_EQ(IsoDisplayName("x"), "x");
}
