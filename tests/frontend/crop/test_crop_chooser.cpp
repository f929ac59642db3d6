// The crop chooser core: selection rules, search statements and the table pages, on their own
// and on the sample register.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QImage>
#include <QTreeWidget>
#include <chrono>
#include <map>
#include <thread>

#include "database/sakumotsu_list.h"
#include "database/sample_acis_db.h"
#include "foundation/comma_text.h"
#include "frontend/crop/crop_chooser.h"
#include "frontend/crop/crop_chooser_views.h"

namespace {

TSakumotsu Crop(const std::string& name, int toroku, int cls = 4) {
  TSakumotsu c;
  c.sakumotsu = name;
  c.toroku = toroku;
  c.Class = cls;
  return c;
}

std::string Joined(const std::vector<std::string>& v) { return ListToCommaText(v); }

// Upper groups as the sample register has them, and a record of the names asked for.
struct TFakeUpper {
  std::map<std::string, std::string> Groups{{"トマト", "なす科野菜類,トマト,なす科果菜類,果菜類,野菜類"},
                                            {"なす", "なす科野菜類,なす,なす科果菜類,果菜類,野菜類"},
                                            {"スイートコーン", "とうもろこし,雑穀類,穀類"}};
  std::vector<std::string> Asked;
  TUpperGroupFn Fn() {
    return [this](const std::string& n) {
      Asked.push_back(n);
      auto it = Groups.find(n);
      return it == Groups.end() ? std::string() : it->second;
    };
  }
};

}  // namespace

TEST(CropChooser, RemoveDuplicatesKeepsLastOccurrence) {
  const struct {
    const char* in;
    const char* out;
  } cases[] = {
      {"トマト,なす,トマト,果菜類", "なす,トマト,果菜類"},
      {"", ""},
      {",,トマト,,", "トマト"},
      {"a,B,b,A", "b,A"},  // letter case does not make two names
      {"果菜類,トマト,果菜類,トマト", "果菜類,トマト"},
      {"\"a b\",c,\"a b\"", "c,\"a b\""},  // a name with a blank stays one name
  };
  for (const auto& c : cases) EXPECT_EQ(RemoveDuplicateText(c.in), c.out) << c.in;
}

TEST(CropChooser, TreeRuleUpperGroupsDecidedByLastCheckedCrop) {
  TSakumotsu tomato = Crop("トマト", 1), nasu = Crop("なす", 1), corn = Crop("スイートコーン", 2, 5);
  {
    TFakeUpper up;
    // Option off, states 1: the names in tree order, no hierarchy query at all.
    EXPECT_EQ(Joined(TreeSelectionNames({&tomato, &nasu}, false, up.Fn())), "トマト,なす");
    EXPECT_TRUE(up.Asked.empty());
  }
  {
    TFakeUpper up;
    // Option on: every checked crop gets its groups; shared groups once, at the last place.
    EXPECT_EQ(Joined(TreeSelectionNames({&tomato, &nasu}, true, up.Fn())),
              "トマト,なす科野菜類,なす,なす科果菜類,果菜類,野菜類");
  }
  {
    TFakeUpper up;
    // A crop of state 2 brings the groups even with the option off, when it is checked last ...
    EXPECT_EQ(Joined(TreeSelectionNames({&tomato, &corn}, false, up.Fn())),
              "スイートコーン,なす科野菜類,トマト,なす科果菜類,果菜類,野菜類,とうもろこし,雑穀類,穀類");
    // ... but not when a crop of state 1 comes after it.
    EXPECT_EQ(Joined(TreeSelectionNames({&corn, &tomato}, false, up.Fn())), "スイートコーン,トマト");
  }
  {
    std::vector<std::string> trace;
    TFakeUpper up;
    TreeSelectionNames({&tomato}, true, up.Fn(), [&](const std::string& l) { trace.push_back(l); });
    ASSERT_FALSE(trace.empty());
    EXPECT_EQ(trace.front(), "上位分類一括検索");
    EXPECT_EQ(trace.back().rfind("tmpsk -> ", 0), 0u);
  }
}

TEST(CropChooser, ListRule) {
  TSakumotsu tomato = Crop("トマト", 1), nasu = Crop("なす", 1), corn = Crop("スイートコーン", 2, 5),
             unknown = Crop("未登録作物", 1);
  TFakeUpper up;
  // Upper option: each crop stands for its groups, or for itself when it has none.
  EXPECT_EQ(Joined(ListSelectionNames({&tomato, &unknown}, true, up.Fn())),
            "なす科野菜類,トマト,なす科果菜類,果菜類,野菜類,未登録作物");
  // Without it: the names, state 2 with its groups.
  EXPECT_EQ(Joined(ListSelectionNames({&tomato, &corn, &nasu}, false, up.Fn())),
            "トマト,スイートコーン,とうもろこし,雑穀類,穀類,なす");
  // The picker's template mode: another name list per crop, duplicates removed over all.
  auto sameLevel = [](const TSakumotsu& c) { return std::vector<std::string>{c.sakumotsu, "果菜類"}; };
  EXPECT_EQ(Joined(ListSelectionNames({&tomato, &nasu}, false, up.Fn(), sameLevel)), "トマト,なす,果菜類");
  EXPECT_TRUE(ListSelectionNames({}, true, up.Fn()).empty());
}

// The rules tell the names the user checked from the groups they bring in on a crop's behalf:
// a group that is itself checked (or is the crop's own name) is never an added one.
TEST(CropChooser, RulesListTheNamesAddedOnACropsBehalf) {
  TSakumotsu tomato = Crop("トマト", 1), nasu = Crop("なす", 1), corn = Crop("スイートコーン", 2, 5),
             group = Crop("果菜類", 3, 1), unknown = Crop("未登録作物", 1);
  TFakeUpper up;
  up.Groups["果菜類"] = "果菜類,野菜類";
  using V = std::vector<std::string>;
  V added{"stale"};
  TreeSelectionNames({&tomato, &nasu}, false, up.Fn(), nullptr, &added);
  EXPECT_TRUE(added.empty());
  TreeSelectionNames({&tomato}, true, up.Fn(), nullptr, &added);
  EXPECT_EQ(added, (V{"なす科野菜類", "なす科果菜類", "果菜類", "野菜類"}));
  // A checked group stays a chosen name when a checked crop brings it too.
  EXPECT_EQ(Joined(TreeSelectionNames({&group, &tomato}, true, up.Fn(), nullptr, &added)),
            "なす科野菜類,トマト,なす科果菜類,果菜類,野菜類");
  EXPECT_EQ(added, (V{"なす科野菜類", "なす科果菜類", "野菜類"}));
  TreeSelectionNames({&tomato, &corn}, false, up.Fn(), nullptr, &added);
  EXPECT_EQ(added, (V{"なす科野菜類", "なす科果菜類", "果菜類", "野菜類", "とうもろこし", "雑穀類", "穀類"}));

  ListSelectionNames({&tomato, &unknown}, true, up.Fn(), nullptr, nullptr, &added);
  EXPECT_EQ(added, (V{"なす科野菜類", "なす科果菜類", "果菜類", "野菜類"}));
  ListSelectionNames({&group, &nasu}, true, up.Fn(), nullptr, nullptr, &added);
  EXPECT_EQ(added, (V{"なす科野菜類", "なす科果菜類", "野菜類"}));
  ListSelectionNames({&tomato, &corn}, false, up.Fn(), nullptr, nullptr, &added);
  EXPECT_EQ(added, (V{"とうもろこし", "雑穀類", "穀類"}));
  // The names a crop stands for in the picker's template mode are its own, not added.
  auto sameLevel = [](const TSakumotsu& c) { return V{c.sakumotsu, "果菜類"}; };
  ListSelectionNames({&tomato}, false, up.Fn(), sameLevel, nullptr, &added);
  EXPECT_TRUE(added.empty());
}

TEST(CropChooser, SmallTextRules) {
  EXPECT_EQ(CvoCellToNames("トマト|なす科野菜類"), "トマト,なす科野菜類");
  EXPECT_EQ(CvoCellToNames(""), "");
  EXPECT_TRUE(SameKanaText("とまと", "トマト"));
  EXPECT_TRUE(SameKanaText("ﾄﾏﾄ", "トマト"));
  EXPECT_FALSE(SameKanaText("とまと", "ミニトマト"));
  EXPECT_EQ(Joined(NamesWithout({"トマト", "なす", "果菜類"}, {"果菜類", "トマト"})), "なす");
  EXPECT_EQ(Joined(SplitCropNames("a b,,c")), "\"a b\",c");
}

TEST(CropChooser, SearchStatements) {
  const std::string head =
      "SELECT class,idsaku,toroku,shukakubui,sakumotsu,betsumei,gunmei FROM vs_sakumotsu2 WHERE strconv(keywords) "
      "regexp preconv('";
  EXPECT_EQ(SakumotsuSearchSql("トマト", TCropMatch::Broad), head + "とまと') ORDER BY idsaku;");
  EXPECT_EQ(SakumotsuSearchSql("トマト", TCropMatch::Prefix), head + "(^|、|\\()とまと') ORDER BY idsaku;");
  // A cultivation form carries an escaped bracket: the form with the optional last character.
  EXPECT_EQ(SakumotsuSearchPattern("トマト(施設栽培)", TCropMatch::Prefix).rfind("(^|、|\\()(とまと\\(", 0), 0u);
  EXPECT_EQ(SakumotsuSearchPattern("トマト(施設栽培)", TCropMatch::Prefix).back(), ')');
  // Two words are alternatives, each at the start of a keyword.
  EXPECT_EQ(SakumotsuSearchPattern("トマト なす", TCropMatch::Prefix), "(^|、|\\()(とまと|なす)");
  EXPECT_EQ(SakumotsuSearchSql("", TCropMatch::Prefix), "");
  EXPECT_EQ(SakumotsuSearchSql("  ", TCropMatch::Broad), "");
  // Typed quotes stay inside the one literal: the statement ends as it always does.
  for (const char* words : {"x'); DROP TABLE m_sakumotsu; --", "a''b", "'"}) {
    const std::string hostile = SakumotsuSearchSql(words, TCropMatch::Broad);
    const std::string tail = "') ORDER BY idsaku;";
    ASSERT_GT(hostile.size(), head.size() + tail.size()) << words;
    EXPECT_EQ(hostile.substr(hostile.size() - tail.size()), tail) << hostile;
    const std::string literal = hostile.substr(head.size(), hostile.size() - head.size() - tail.size());
    for (size_t i = 0; i < literal.size(); ++i) {
      if (literal[i] != '\'') continue;
      ASSERT_TRUE(i + 1 < literal.size() && literal[i + 1] == '\'') << hostile;
      ++i;
    }
  }
  EXPECT_EQ(SakumotsuSearchSql("トマト", TCropMatch::Exact),
            "SELECT class,idsaku,toroku,shukakubui,sakumotsu,betsumei,gunmei FROM vs_sakumotsu2 WHERE "
            "(sakumotsu MATCH 'トマト') ORDER BY idsaku;");
}

// Words that normalise to nothing leave no empty alternative: "トマト ー" searches for the
// tomato key alone, "( ー" in forward match gives a valid pattern, and "ー" alone no statement.
TEST(CropChooser, SearchWordsThatNormaliseToNothing) {
  EXPECT_EQ(SakumotsuSearchPattern("トマト ー", TCropMatch::Prefix), "(^|、|\\()とまと");
  EXPECT_EQ(SakumotsuSearchPattern("トマト ー", TCropMatch::Broad), "とまと");
  EXPECT_EQ(SakumotsuSearchPattern("トマト ー なす", TCropMatch::Broad), "とまと|なす");
  EXPECT_EQ(SakumotsuSearchPattern("( ー", TCropMatch::Prefix), "(^|、|\\()(\\(?)");
  for (TCropMatch m : {TCropMatch::Prefix, TCropMatch::Broad}) {
    EXPECT_EQ(SakumotsuSearchSql("ー", m), "");
    EXPECT_EQ(SakumotsuSearchSql("ｰ　ー", m), "");
  }
}

TEST(CropChooser, TableStatements) {
  const struct {
    std::string lg, mg, sql;
  } mg[] = {
      {"野菜類", "全て", "SELECT * FROM spec.beppyo1n WHERE lg = '野菜類'"},
      {"", "全て", "SELECT * FROM spec.beppyo1n WHERE lg ISNULL"},
      {"野菜類", "果菜類", "SELECT * FROM spec.beppyo1n WHERE mg = '果菜類'"},
      {"", "果菜類", "SELECT * FROM spec.beppyo1n WHERE mg ='果菜類' AND lg ISNULL"},
      {"野菜類", "", "SELECT * FROM spec.beppyo1n WHERE mg ISNULL AND lg = '野菜類'"},
      {"", "", "SELECT * FROM spec.beppyo1n WHERE mg ISNULL AND lg ISNULL"},
      {"a'b", "c'd", "SELECT * FROM spec.beppyo1n WHERE mg = 'c''d'"},
  };
  for (const auto& c : mg) EXPECT_EQ(Beppyo1MgSql(c.lg, c.mg), c.sql) << c.lg << "/" << c.mg;
  EXPECT_EQ(Beppyo1LgSql("it's"), "SELECT * FROM spec.beppyo1n WHERE lg = 'it''s'");
  EXPECT_EQ(Beppyo1MgListSql(""), "SELECT DISTINCT mg FROM spec.beppyo1n WHERE lg ISNULL");
  EXPECT_EQ(CvoFamilySql(""), "SELECT * FROM spec.cvo WHERE family ISNULL");
  EXPECT_EQ(CvoFamilySql("ナス科"), "SELECT * FROM spec.cvo WHERE sakumotsu != '' AND family = 'ナス科'");
  EXPECT_EQ(CvoAllSql("cvo2"), "SELECT * FROM spec.cvo2 WHERE sakumotsu != '';");
}

// ---- on the sample register ----------------------------------------------------------------

namespace {

std::vector<std::string> Names(const TCropResultList& l) {
  std::vector<std::string> out;
  for (int i = 0; i < l.topLevelItemCount(); ++i) out.push_back(TCropResultList::RecordOf(l.topLevelItem(i))->sakumotsu);
  return out;
}

}  // namespace

TEST(CropChooserDb, NameSearchFindsCropsHoweverWritten) {
  OPEN_SAMPLE_DB(s);
  TCropResultList list;
  const struct {
    const char* words;
    TCropMatch match;
    std::vector<std::string> names;
  } cases[] = {
      {"とまと", TCropMatch::Prefix, {"トマト", "トマト(施設栽培)"}},
      {"ﾄﾏﾄ", TCropMatch::Prefix, {"トマト", "トマト(施設栽培)"}},
      {"トマト", TCropMatch::Broad, {"トマト", "ミニトマト", "トマト(施設栽培)"}},
      {"蕃茄", TCropMatch::Prefix, {"トマト"}},  // an other name
      {"とまと なす", TCropMatch::Prefix, {"なす科果菜類", "トマト", "トマト(施設栽培)", "なす", "なす科野菜類"}},
      {"トマト", TCropMatch::Exact, {"トマト"}},
      {"x'); DROP TABLE m_sakumotsu; --", TCropMatch::Broad, {}},
      {"((", TCropMatch::Prefix, {}},
  };
  for (const auto& c : cases) {
    const std::string sql = SakumotsuSearchSql(c.words, c.match);
    ASSERT_FALSE(sql.empty()) << c.words;
    const int rows = list.ShowSearchResult(db, sql);
    EXPECT_EQ(Names(list), c.names) << c.words;
    EXPECT_EQ(rows, static_cast<int>(c.names.size()));
  }
  ASSERT_TRUE(db.Query("SELECT count(*) FROM m_sakumotsu", false));
  EXPECT_GT(db.FTbl->FieldAsInteger(0), 100);

  // Captions show the level, the records come with the list items.
  list.ShowSearchResult(db, SakumotsuSearchSql("とまと", TCropMatch::Prefix));
  ASSERT_EQ(list.topLevelItemCount(), 2);
  EXPECT_EQ(list.topLevelItem(0)->text(0).toStdString(), ">>>> トマト");
  EXPECT_EQ(list.topLevelItem(0)->text(1).toStdString(), "果実");
  EXPECT_EQ(list.topLevelItem(0)->text(2).toStdString(), "蕃茄");
  // Checking by the typed name picks the crop itself, not its cultivation forms.
  EXPECT_EQ(list.CheckSameName("ﾄﾏﾄ"), list.topLevelItem(0));
  ASSERT_EQ(list.CheckedRecords().size(), 1u);
  EXPECT_EQ(list.CheckedRecords()[0]->sakumotsu, "トマト");
}

TEST(CropChooserDb, CropGroupAndCvoPages) {
  OPEN_SAMPLE_DB(s);
  TAcisDB* p = &db;
  TCropGroupPage groups;
  groups.Database = [p] { return p; };
  groups.LoadSpecTables();
  ASSERT_TRUE(db.Query("SELECT count(*) FROM spec.tekiyosakumotsu", false));
  const int all = static_cast<int>(db.FTbl->FieldAsInteger(0));
  EXPECT_EQ(groups.lvBeppyo1->topLevelItemCount(), all);
  ASSERT_GT(groups.cbLg->count(), 2);
  EXPECT_EQ(groups.cbLg->itemText(0).toStdString(), "全て");
  EXPECT_EQ(groups.cbLg->currentIndex(), -1);  // the whole table: no group chosen
  EXPECT_EQ(groups.lvBeppyo1->topLevelItem(0)->text(0).toStdString(), "穀類");
  EXPECT_EQ(groups.lvBeppyo1->topLevelItem(0)->text(3).toStdString(), "稲");

  // One large group: its rows, and its middle groups under "全て".
  groups.cbLg->setCurrentText("野菜類");
  groups.cbLgChange();
  const int vegetables = groups.lvBeppyo1->topLevelItemCount();
  ASSERT_GT(vegetables, 0);
  EXPECT_LT(vegetables, all);
  for (int i = 0; i < vegetables; ++i) EXPECT_EQ(groups.lvBeppyo1->topLevelItem(i)->text(0).toStdString(), "野菜類");
  EXPECT_EQ(groups.cbMg->itemText(0).toStdString(), "全て");
  ASSERT_GT(groups.cbMg->count(), 1);
  groups.cbMg->setCurrentIndex(1);
  const std::string mg = groups.cbMg->currentText().toStdString();
  groups.cbMgChange();
  ASSERT_GT(groups.lvBeppyo1->topLevelItemCount(), 0);
  EXPECT_LT(groups.lvBeppyo1->topLevelItemCount(), vegetables);
  for (int i = 0; i < groups.lvBeppyo1->topLevelItemCount(); ++i)
    EXPECT_EQ(groups.lvBeppyo1->topLevelItem(i)->text(1).toStdString(), mg);
  groups.lvBeppyo1->setCurrentItem(groups.lvBeppyo1->topLevelItem(0));
  EXPECT_EQ(groups.CurrentCropName(), groups.lvBeppyo1->topLevelItem(0)->text(3).toStdString());
  // "全て" shows every row once again.
  groups.cbLg->setCurrentIndex(0);
  groups.cbLgChange();
  EXPECT_EQ(groups.lvBeppyo1->topLevelItemCount(), all);
  EXPECT_EQ(groups.CurrentCropName(), "");
  EXPECT_EQ(groups.cbLg->currentIndex(), -1);

  TCvoPage cvo;
  cvo.Database = [p] { return p; };
  cvo.LoadCvoFamilies();
  ASSERT_GT(cvo.cbFamily->count(), 2);
  EXPECT_EQ(cvo.cbFamily->itemText(0).toStdString(), "全て");
  EXPECT_EQ(cvo.lvCVO->topLevelItemCount(), 0);  // empty until a family is chosen
  EXPECT_EQ(cvo.lvCVO->columnCount(), 21);
  cvo.cbFamily->setCurrentText("ナス科");
  cvo.cbFamilyChange();
  ASSERT_GT(cvo.lvCVO->topLevelItemCount(), 0);
  QTreeWidgetItem* tomato = nullptr;
  for (int i = 0; i < cvo.lvCVO->topLevelItemCount(); ++i) {
    EXPECT_EQ(cvo.lvCVO->topLevelItem(i)->text(2).toStdString(), "ナス科");
    if (cvo.lvCVO->topLevelItem(i)->text(12).startsWith("トマト|")) tomato = cvo.lvCVO->topLevelItem(i);
  }
  ASSERT_NE(tomato, nullptr);
  cvo.lvCVO->setCurrentItem(tomato);
  EXPECT_EQ(cvo.CurrentCropNames(), "トマト,なす科野菜類");
  // The rows without a family (the empty item).
  cvo.cbFamily->setCurrentText("");
  cvo.cbFamilyChange();
  ASSERT_GT(cvo.lvCVO->topLevelItemCount(), 0);
  for (int i = 0; i < cvo.lvCVO->topLevelItemCount(); ++i) EXPECT_EQ(cvo.lvCVO->topLevelItem(i)->text(2), "");
  // Every row with a crop name.
  cvo.cbFamily->setCurrentIndex(0);
  cvo.cbFamilyChange();
  ASSERT_TRUE(db.Query("SELECT count(*) FROM spec.cvo WHERE sakumotsu != ''", false));
  EXPECT_EQ(cvo.lvCVO->topLevelItemCount(), db.FTbl->FieldAsInteger(0));
  EXPECT_EQ(cvo.cbFamily->itemText(0).toStdString(), "全て");

  // The picker's table has one more field, kept in a column nobody sees.
  TCvoPage cvo2(nullptr, "cvo2");
  cvo2.Database = [p] { return p; };
  cvo2.LoadCvoTable();
  ASSERT_GT(cvo2.lvCVO->topLevelItemCount(), 0);
  EXPECT_EQ(cvo2.lvCVO->columnCount(), 22);
  EXPECT_TRUE(cvo2.lvCVO->isColumnHidden(21));
}

TEST(CropChooserDb, PagesWithoutDatabaseOrTablesStayEmpty) {
  TCropGroupPage groups;
  groups.Database = [] { return static_cast<TAcisDB*>(nullptr); };
  groups.LoadSpecTables();
  groups.cbLgChange();
  EXPECT_EQ(groups.lvBeppyo1->topLevelItemCount(), 0);

  OPEN_SAMPLE_DB(s);
  db.ExecSQL("DROP TABLE spec.cvo; DROP TABLE spec.tekiyosakumotsu;");
  TAcisDB* p = &db;
  TCvoPage cvo;
  cvo.Database = [p] { return p; };
  cvo.LoadCvoFamilies();
  cvo.cbFamilyChange();
  EXPECT_EQ(cvo.cbFamily->count(), 0);
  groups.Database = [p] { return p; };
  groups.LoadSpecTables();
  EXPECT_EQ(groups.lvBeppyo1->topLevelItemCount(), 0);
  EXPECT_EQ(groups.cbLg->count(), 0);
}

TEST(CropChooserDb, FillsSurviveQueriesWhileMessagesRun) {
  // A fill lets window messages run; a hover hint may query the database meanwhile, which
  // replaces the database's current result.  The fill must go on with its own rows.
  OPEN_SAMPLE_DB(s);
  TAcisDB* p = &db;
  int pumps = 0;
  db.FPump = [&] {
    ++pumps;
    db.Query("SELECT 1", false);
    std::this_thread::sleep_for(std::chrono::milliseconds(51));
  };
  std::this_thread::sleep_for(std::chrono::milliseconds(51));
  TCropResultList list;
  const int rows = list.ShowSearchResult(db, SakumotsuSearchSql("る", TCropMatch::Broad));
  EXPECT_GT(rows, 2);
  EXPECT_EQ(list.topLevelItemCount(), rows);
  TCvoPage cvo;
  cvo.Database = [p] { return p; };
  cvo.cbFamily->addItem("ナス科");
  cvo.cbFamily->setCurrentIndex(0);
  cvo.cbFamilyChange();
  EXPECT_GT(cvo.lvCVO->topLevelItemCount(), 2);
  EXPECT_GE(pumps, 4);
  db.FPump = nullptr;
}

// The selected row of the crop-group table is readable: the highlight is painted behind the
// highlighted text (the grid lines' style sheet left a pale row with white text on it).
TEST(CropChooserDb, SelectedRowOfTheGroupTableIsReadable) {
  OPEN_SAMPLE_DB(s);
  TAcisDB* p = &db;
  TCropGroupPage groups;
  groups.Database = [p] { return p; };
  groups.resize(400, 300);
  groups.LoadSpecTables();
  QTreeWidget* v = groups.lvBeppyo1;
  ASSERT_GT(v->topLevelItemCount(), 3);
  groups.show();
  v->setCurrentItem(v->topLevelItem(2));
  v->setFocus();
  QApplication::processEvents();
  // The spread of lightness over a row: text on its background.
  auto spread = [v](int Row) {
    const QRect r = v->visualItemRect(v->topLevelItem(Row)).intersected(v->viewport()->rect());
    const QImage img = v->viewport()->grab(r).toImage();
    int lo = 255, hi = 0;
    for (int y = 0; y < img.height(); ++y)
      for (int x = 0; x < img.width(); ++x) {
        const int l = QColor(img.pixel(x, y)).lightness();
        lo = std::min(lo, l);
        hi = std::max(hi, l);
      }
    return hi - lo;
  };
  const int plain = spread(1);
  ASSERT_GT(plain, 100);
  EXPECT_GT(spread(2), 100);
  // Also when the table has lost the focus (after a double click has run the search).
  v->clearFocus();
  QApplication::processEvents();
  EXPECT_GT(spread(2), 100);
}
