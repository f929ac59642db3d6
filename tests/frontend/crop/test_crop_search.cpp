// The crop search on the sample register: the rows it lists for crops and crop groups, the
// neighbour-crop search, the filter bar with its lists and display-mode changes, hostile
// filter texts, and searches that fail, find nothing or contradict themselves.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTest>
#include <chrono>
#include <thread>

#include "frontend/crop/crop_search_fixture.h"
#include "database/acis_session_views.h"
#include "database/acis_crop_queries.h"
#include "foundation/check_tree_view.h"
#include "foundation/comma_text.h"
#include "foundation/win_spin_edit.h"
#include "frontend/crop/fra_sakumotsu_base.h"
#include "frontend/main_pages.h"
#include "frontend/crop/tekiyo_filter.h"

namespace {

// Uses (bango|crop|pest) of m_tekiyo whose crop code starts with one of the prefixes: the
// independent account of what a crop selection covers.
std::string UsesUnder(const std::string& Prefix) {
  return "SELECT a.bango, a.sakumotsu, a.byochu FROM m_tekiyo a JOIN m_sakumotsu s USING(sakumotsu) "
         "WHERE s.idsaku LIKE '" +
         Prefix + "%'";
}

std::multiset<std::string> AsSet(const std::vector<std::vector<std::string>>& Rows) {
  std::multiset<std::string> out;
  for (const auto& r : Rows) out.insert(r.at(0) + "|" + r.at(1) + "|" + r.at(2));
  return out;
}

std::string Prefix12(const std::string& Crop) {
  return TCropTab::Column("SELECT substr(idsaku,1,12) FROM m_sakumotsu WHERE sakumotsu = '" + Crop + "'").at(0);
}

// Names and row counts of every table and view, of the main, attached and temporary schemas.
std::vector<std::string> Snapshot() {
  std::vector<std::string> out;
  for (const char* schema : {"main", "spec", "temp"}) {
    for (auto& r : TCropTab::Rows(std::string("SELECT type, name FROM ") + schema +
                                  ".sqlite_master WHERE type IN ('table','view') ORDER BY name")) {
      std::string line = std::string(schema) + "." + r[1];
      if (r[0] == "table") line += "=" + TCropTab::Column("SELECT count(*) FROM " + std::string(schema) + "." + r[1]).at(0);
      out.push_back(line);
    }
  }
  return out;
}

}  // namespace

TEST(CropSearchSql, ScriptsAndFilterStatements) {
  // The working table's 46 columns, and the RAC column of slot 1 as the views expect it.
  ASSERT_EQ(TekiyoWorkColumnNames().size(), 46u);
  const std::string script = QuerySakumotsu2("'1301010000010000'");
  EXPECT_EQ(script.rfind("DROP TABLE IF EXISTS ttTekiyoSaku;\r\nCREATE TEMP TABLE ttTekiyoSaku AS \r\nSELECT bango,", 0), 0u);
  EXPECT_NE(script.find("seibun1,keito1,kaisu1,rac_mid(0, seibun1, idbyochu) as mid1,"), std::string::npos);
  EXPECT_NE(script.find("WHERE sakumotsu IN (SELECT sakumotsu FROM m_sakumotsu WHERE idsaku REGEXP '1301010000010000') AND idsaku IN "
                        "(SELECT idsaku FROM m_sakumotsu WHERE idsaku REGEXP '1301010000010000'\r\n);"),
            std::string::npos);
  EXPECT_EQ(script.find("ORDER BY"), std::string::npos);
  const std::string near = QuerySakumotsuKinsetsuScript("'A'", "'B'");
  for (const char* part : {"CREATE TEMP TABLE t_sub AS", "CREATE TEMP TABLE t_saku AS",
                           "CREATE TEMP TABLE t_main AS SELECT DISTINCT bango FROM t_saku ORDER BY bango;",
                           "INSERT INTO t_saku(bango,shurui,", ",mid5,seizaidokusei,yoto,koka,zaikei,ryakusho)SELECT * from t_sub",
                           "SELECT * FROM t_saku WHERE bango IN  (SELECT DISTINCT bango FROM t_main WHERE bango IN "
                           "(SELECT DISTINCT bango FROM t_sub))\r\n ORDER BY bango;"})
    EXPECT_NE(near.find(part), std::string::npos) << part;
  // t_main is taken before the neighbour rows go into t_saku.
  EXPECT_LT(near.find("CREATE TEMP TABLE t_main"), near.find("INSERT INTO t_saku"));

  // Filter statements: the worked example (one pest, one use, no formulation) and the others.
  const struct {
    std::string got, want;
  } sql[] = {
      {WordFilterSql("tvTekiyoSaku1", "byochu", "うどんこ病", "殺菌剤", "全て"),
       "SELECT * FROM tvTekiyoSaku1 WHERE ((byochu LIKE 'うどんこ病'))  AND  yoto IN ('殺菌剤')"},
      {WordFilterSql("V", "mokuteki", "a b", "", ""), "SELECT * FROM V WHERE ((mokuteki LIKE 'a' or mokuteki LIKE 'b')) "},
      {WordFilterSql("V", "byochu", "全て", "u", "z"), "SELECT * FROM V WHERE  yoto IN ('u') AND  zaikei IN ('z')"},
      {WordFilterSql("V", "byochu", " , ", "", ""), "SELECT * FROM V"},
      {UseFilterSql("V", "", "乳剤,粒剤"), "SELECT * FROM V WHERE  zaikei IN ('乳剤','粒剤')"},
      {ZaikeiFilterSql("V", "u", "z"), "SELECT * FROM V WHERE  yoto IN ('u') AND  zaikei IN ('z')"},
      {ZaikeiFilterSql("V", "u", "全て"), "SELECT * FROM V WHERE  yoto IN ('u')"},
      {ByochuListSql("", ""), "SELECT DISTINCT byochu FROM ttTekiyoSaku  ORDER BY idbyochu"},
      {MokutekiListSql("u", "z"), "SELECT DISTINCT mokuteki FROM ttTekiyoSaku  WHERE  yoto IN ('u') AND  zaikei IN ('z') ORDER BY mokuteki"},
      {ZaikeiListSql("全て"), "SELECT DISTINCT zaikei FROM ttTekiyoSaku  ORDER BY zaikei"},
      // Typed quotes stay inside their literal.
      {WordFilterSql("V", "byochu", "a'b", "x'); DROP TABLE m_kihon; --", ""),
       "SELECT * FROM V WHERE ((byochu LIKE 'a''b'))  AND  yoto IN ('x'');','DROP','TABLE','m_kihon;','--')"},
  };
  for (const auto& s : sql) EXPECT_EQ(s.got, s.want);

  // A picked name with a blank stays one LIKE test; separators alone are no filter.
  EXPECT_EQ(WordFilterSql("V", "byochu", "\"アブラムシ 類\",コナガ", "", ""),
            "SELECT * FROM V WHERE ((byochu LIKE 'アブラムシ 類' or byochu LIKE 'コナガ')) ");
  for (const char* none : {"", " ", ",, ,", "全て", " 全て ", "　"}) EXPECT_FALSE(HasFilterWords(none)) << none;
  for (const char* some : {"a", " ,a", "\"a b\"", "%病"}) EXPECT_TRUE(HasFilterWords(some)) << some;
  EXPECT_EQ(AsciiPercent("％病％"), "%病%");
  EXPECT_EQ(FilterValue(" 全て "), "");
}

TEST(CropSearch, OneCropAndOneGroupGiveTheirRegisteredUses) {
  OPEN_CROP_TAB(t);
  // Before any search the filter bar waits.
  EXPECT_FALSE(t.W->cbByochu->isEnabled());
  EXPECT_FALSE(t.W->btnYoto->isEnabled());

  const struct {
    const char* selection;
    std::string prefix;  // crop codes the selection covers
  } cases[] = {
      {"トマト", Prefix12("トマト")},
      {"果菜類", "1301"},
      {"ぶどう", Prefix12("ぶどう")},
  };
  for (const auto& c : cases) {
    t.Search(c.selection);
    const auto want = AsSet(TCropTab::Rows(UsesUnder(c.prefix)));
    ASSERT_FALSE(want.empty()) << c.selection;
    EXPECT_EQ(t.GridRows(), want) << c.selection;
    EXPECT_FALSE(t.W->gdTekiyo->isHidden());
    EXPECT_EQ(TCropTab::Count("SELECT count(*) FROM ttTekiyoSaku"), static_cast<int64_t>(want.size()));
    const QString count = QString::number(want.size()) + "件";
    EXPECT_EQ(t.W->GridStates[tiSakumotsu].CountText, count);
    EXPECT_EQ(t.W->StatusText(3), count);
    EXPECT_EQ(t.W->ResultViewName, "tvTekiyoSaku1");
    // The filter lists start with "全て", which is chosen.
    for (QComboBox* cb : {t.W->cbByochu, t.W->cbMokuteki, t.W->cbZaikei}) {
      ASSERT_GT(cb->count(), 0) << c.selection;
      EXPECT_EQ(cb->itemText(0), "全て");
      EXPECT_EQ(cb->currentText(), "全て");
    }
    // Pests in pest-code order, each once, all of the result.
    const auto pests = TCropTab::Column("SELECT DISTINCT byochu FROM ttTekiyoSaku WHERE byochu <> '' ORDER BY idbyochu");
    ASSERT_EQ(t.W->cbByochu->count(), static_cast<int>(pests.size()) + 1);
    for (size_t i = 0; i < pests.size(); ++i) EXPECT_EQ(t.W->cbByochu->itemText(static_cast<int>(i) + 1).toStdString(), pests[i]);
    EXPECT_TRUE(t.W->cbByochu->isEnabled());
    EXPECT_TRUE(t.W->btnByochu->isEnabled());
    EXPECT_TRUE(t.W->edtYoto->isEnabled());
    EXPECT_TRUE(t.W->edtYoto->text().isEmpty());
    EXPECT_TRUE(t.W->seGridCellLine->isEnabled());
    EXPECT_TRUE(t.W->actGridCopy->isEnabled());
  }
  EXPECT_EQ(t.Cs->SearchCount, 3);
  // The script and both timings are logged.
  const QString log = t.W->mLog->toPlainText();
  EXPECT_TRUE(log.contains("SQL>DROP TABLE IF EXISTS ttTekiyoSaku;"));
  EXPECT_TRUE(log.contains("作物検索SQL実行時間 "));
  EXPECT_TRUE(log.contains("作物検索表示完了時間 "));
  EXPECT_TRUE(log.contains("SQL>SELECT * FROM tvTekiyoSaku1"));
  EXPECT_GE(t.Cs->LastShowSeconds, t.Cs->LastSqlSeconds);

  // An empty selection does nothing and says nothing.
  const size_t messages = TCropTab::Sink().Count();
  t.Search("");
  EXPECT_EQ(t.Cs->SearchCount, 3);
  EXPECT_EQ(TCropTab::Sink().Count(), messages);
}

TEST(CropSearch, NeighbourCropsKeepProductsOnBothSidesOnce) {
  OPEN_CROP_TAB(t);
  const std::string tomato = Prefix12("トマト"), eggplant = Prefix12("なす");
  // Expected: the uses on either side of the products registered on both sides.
  const std::string both = "SELECT a.bango FROM (" + UsesUnder(tomato) + ") a INTERSECT SELECT b.bango FROM (" +
                           UsesUnder(eggplant) + ") b";
  const auto want = AsSet(TCropTab::Rows("SELECT * FROM (" + UsesUnder(tomato) + ") WHERE bango IN (" + both +
                                         ") UNION ALL SELECT * FROM (" + UsesUnder(eggplant) + ") WHERE bango IN (" +
                                         both + ")"));
  ASSERT_FALSE(want.empty());
  const auto oneSided = TCropTab::Column("SELECT bango FROM (" + UsesUnder(tomato) + ") EXCEPT SELECT * FROM (" + both + ")");
  ASSERT_FALSE(oneSided.empty());

  t.Search("トマト", "なす");
  EXPECT_EQ(t.GridRows(), want);
  for (const std::string& b : oneSided)
    EXPECT_EQ(TCropTab::Count("SELECT count(*) FROM ttTekiyoSaku WHERE bango = " + b), 0) << b;
  // Ordered by registration number.
  const auto bangos = TCropTab::Column("SELECT bango FROM ttTekiyoSaku");
  for (size_t i = 1; i < bangos.size(); ++i) EXPECT_LE(std::stoll(bangos[i - 1]), std::stoll(bangos[i]));
  EXPECT_EQ(t.W->StatusText(3), QString::number(want.size()) + "件");

  // A neighbour text that names a selected crop too lists that crop's uses once.
  t.Search("トマト", "トマト,なす");
  const auto wantOverlap = AsSet(TCropTab::Rows(UsesUnder(tomato) + " UNION ALL SELECT * FROM (" + UsesUnder(eggplant) +
                                                ") WHERE bango IN (" + both + ")"));
  EXPECT_EQ(t.GridRows(), wantOverlap);

  // A neighbour crop that shares no product with the selection gives an empty result.
  const auto lonely = TCropTab::Column(
      "SELECT s.sakumotsu FROM m_sakumotsu s WHERE s.level = 4 AND EXISTS (SELECT 1 FROM m_tekiyo x WHERE x.sakumotsu = "
      "s.sakumotsu) AND NOT EXISTS (SELECT 1 FROM m_tekiyo x JOIN m_sakumotsu y USING(sakumotsu) WHERE y.idsaku LIKE "
      "substr(s.idsaku,1,12)||'%' AND x.bango IN (SELECT bango FROM (" +
      UsesUnder(tomato) + "))) LIMIT 1");
  ASSERT_EQ(lonely.size(), 1u);
  t.Search("トマト", QString::fromStdString(lonely[0]));
  EXPECT_EQ(TCropTab::LastMessage(), "検索条件に一致するデータはありません");
  EXPECT_EQ(t.W->StatusText(3), "0件");
  EXPECT_TRUE(t.W->gdTekiyo->isHidden());
  EXPECT_EQ(TCropTab::Count("SELECT count(*) FROM ttTekiyoSaku"), 0);
  EXPECT_FALSE(t.W->cbByochu->isEnabled());
}

TEST(CropSearch, FiltersNarrowTheResultAndSurviveADisplayModeChange) {
  OPEN_CROP_TAB(t);
  TfrmMain& w = *t.W;
  t.Search("ぶどう");
  const int all = t.GridDataRows();
  ASSERT_GT(all, 10);

  // "％word" typed and entered: written back with "%", every pest ending in the word.
  w.cbByochu->setEditText("％病");
  emit w.cbByochu->lineEdit()->returnPressed();
  Pump();
  EXPECT_EQ(w.cbByochu->currentText(), "%病");
  const int64_t disease = TCropTab::Count("SELECT count(*) FROM ttTekiyoSaku WHERE byochu LIKE '%病'");
  ASSERT_GT(disease, 0);
  ASSERT_LT(disease, all);
  EXPECT_EQ(t.GridDataRows(), disease);
  EXPECT_EQ(w.StatusText(3), QString::number(disease) + "件");
  for (int r = 1; r < w.gdTekiyo->RowCount(); ++r) EXPECT_TRUE(QString::fromStdString(w.gdTekiyo->Cells(2, r)).endsWith("病"));

  // "全て" with no purpose shows everything again.
  w.cbByochu->setCurrentIndex(0);
  t.Cs->FilterTekiyoByByochu();
  EXPECT_EQ(t.GridDataRows(), all);

  // One use entered, then two purposes: rows of that use for either purpose only.
  const auto purposes = TCropTab::Column(
      "SELECT mokuteki FROM ttTekiyoSaku WHERE mokuteki <> '' GROUP BY mokuteki ORDER BY count(*) DESC LIMIT 2");
  ASSERT_EQ(purposes.size(), 2u);
  const std::string use = TCropTab::Column("SELECT yoto FROM ttTekiyoSaku WHERE mokuteki = '" + purposes[0] + "'").at(0);
  w.edtYoto->setText(QString::fromStdString(use));
  emit w.edtYoto->returnPressed();
  const int64_t ofUse = TCropTab::Count("SELECT count(*) FROM ttTekiyoSaku WHERE yoto = '" + use + "'");
  EXPECT_EQ(t.GridDataRows(), ofUse);
  // The lists follow the use.
  EXPECT_EQ(w.cbZaikei->count() - 1,
            TCropTab::Count("SELECT count(DISTINCT zaikei) FROM ttTekiyoSaku WHERE yoto = '" + use + "'"));
  w.cbMokuteki->setEditText(QString::fromStdString(purposes[0] + "," + purposes[1]));
  t.Cs->FilterTekiyoByMokuteki();
  const int64_t want = TCropTab::Count("SELECT count(*) FROM ttTekiyoSaku WHERE yoto = '" + use + "' AND mokuteki IN ('" +
                                       purposes[0] + "','" + purposes[1] + "')");
  ASSERT_GT(want, 0);
  EXPECT_EQ(t.GridDataRows(), want);
  EXPECT_TRUE(w.cbByochu->currentText().isEmpty());  // the purpose filter cleared the pest filter
  const QString countText = w.StatusText(3);

  // A display-mode change shows the new view with the same filter and the same rows.
  w.dmnSeibunViewClick(3);
  EXPECT_EQ(w.ResultViewName, "tvTekiyoSaku3");
  EXPECT_EQ(t.GridDataRows(), want);
  EXPECT_EQ(w.StatusText(3), countText);
  EXPECT_EQ(w.cbMokuteki->currentText().toStdString(), purposes[0] + "," + purposes[1]);
  EXPECT_EQ(w.edtYoto->text().toStdString(), use);
  EXPECT_TRUE(w.mLog->toPlainText().contains("SQL>SELECT * FROM tvTekiyoSaku3 WHERE ((mokuteki LIKE"));

  // The formulation filter with no pest or purpose combines with the use.
  w.cbMokuteki->setEditText(QString());
  const std::string zaikei = TCropTab::Column("SELECT zaikei FROM ttTekiyoSaku WHERE yoto = '" + use + "'").at(0);
  w.cbZaikei->setEditText(QString::fromStdString(zaikei));
  t.Cs->FilterTekiyoByZaikei();
  EXPECT_EQ(t.GridDataRows(), TCropTab::Count("SELECT count(*) FROM ttTekiyoSaku WHERE yoto = '" + use +
                                              "' AND zaikei = '" + zaikei + "'"));

  // A new search shows the unfiltered result with lists for it.
  t.Search("ぶどう");
  EXPECT_EQ(t.GridDataRows(), all);
  EXPECT_TRUE(w.edtYoto->text().isEmpty());
  EXPECT_EQ(w.cbZaikei->currentText(), "全て");
  EXPECT_EQ(w.cbZaikei->count() - 1, TCropTab::Count("SELECT count(DISTINCT zaikei) FROM ttTekiyoSaku"));
}

// A filter that matches nothing says so and leaves the grid as it was; the filter bar then
// shows the texts of the rows still on view, never the words that matched nothing.
TEST(CropSearch, AFilterMatchingNothingPutsTheBarBackToTheRowsShown) {
  OPEN_CROP_TAB(t);
  TfrmMain& w = *t.W;
  t.Search("ぶどう");
  const int all = t.GridDataRows();
  ASSERT_GT(all, 10);
  const QString allCount = w.StatusText(3);
  w.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
  // Japanese text arrives through the input method as a whole; Enter is a key.
  auto typeInto = [](QLineEdit* e, const QString& text) {
    e->setFocus();
    e->setText(text);
    QTest::keyClick(e, Qt::Key_Return);
    Pump();
  };

  // Unfiltered rows: the bar goes back to "全て".
  TCropTab::Sink().Clear();
  typeInto(w.cbByochu->lineEdit(), "アブラムシ類ではない虫");
  EXPECT_EQ(TCropTab::LastMessage(), "検索条件に一致するデータはありません");
  EXPECT_EQ(t.GridDataRows(), all);
  EXPECT_EQ(w.StatusText(3), allCount);
  EXPECT_EQ(w.cbByochu->currentText(), "全て");

  // Rows of one pest on view: a purpose that matches nothing leaves them and their pest.
  const std::string pest = TCropTab::Column(
      "SELECT byochu FROM ttTekiyoSaku WHERE byochu <> '' GROUP BY byochu ORDER BY count(*) DESC LIMIT 1").at(0);
  typeInto(w.cbByochu->lineEdit(), QString::fromStdString(pest));
  const int64_t ofPest = TCropTab::Count("SELECT count(*) FROM ttTekiyoSaku WHERE byochu = '" + pest + "'");
  ASSERT_EQ(t.GridDataRows(), ofPest);
  typeInto(w.cbMokuteki->lineEdit(), "どこにもない目的");
  EXPECT_EQ(t.GridDataRows(), ofPest);
  EXPECT_EQ(w.cbByochu->currentText().toStdString(), pest);
  EXPECT_EQ(w.cbMokuteki->currentText(), "");
  // A use that matches nothing: the use box and the pest come back.
  typeInto(w.edtYoto, "ない用途");
  EXPECT_EQ(t.GridDataRows(), ofPest);
  EXPECT_EQ(w.edtYoto->text(), "");
  EXPECT_EQ(w.cbByochu->currentText().toStdString(), pest);
  // A formulation that matches nothing with the pest.
  typeInto(w.cbZaikei->lineEdit(), "ない剤型");
  EXPECT_EQ(t.GridDataRows(), ofPest);
  EXPECT_EQ(w.cbZaikei->currentText(), "全て");
  EXPECT_EQ(w.StatusText(3), QString::number(ofPest) + "件");
}

TEST(CropSearch, HostileTextFindsNothingAndChangesNoTable) {
  OPEN_CROP_TAB(t);
  TfrmMain& w = *t.W;
  t.Search("トマト");
  const int rows = t.GridDataRows();
  const std::vector<std::string> before = Snapshot();

  const char* hostile[] = {"', \"; DROP TABLE m_kihon; --", "x'); DELETE FROM m_tekiyo; --",
                           "'; DROP TABLE temp.ttTekiyoSaku; SELECT '", "preconv('')"};
  for (const char* h : hostile) {
    TCropTab::Sink().Clear();
    w.cbByochu->setEditText(h);
    t.Cs->FilterTekiyoByByochu();
    EXPECT_EQ(TCropTab::LastMessage(), "検索条件に一致するデータはありません") << h;
    w.cbByochu->setEditText(QString());
    w.edtYoto->setText(h);
    emit w.edtYoto->returnPressed();
    w.edtYoto->clear();
    w.cbZaikei->setEditText(h);
    t.Cs->FilterTekiyoByZaikei();
    w.cbZaikei->setEditText(QString());
    w.cbMokuteki->setEditText(h);
    t.Cs->FilterTekiyoByMokuteki();
    w.cbMokuteki->setEditText(QString());
    // No SQL error: every text stayed a value.
    for (const auto& m : TCropTab::Sink().Messages()) EXPECT_NE(m.caption, "SQL エラー") << h << ": " << m.text;
  }
  EXPECT_EQ(Snapshot(), before);
  // As a crop text it names no crop.
  t.Search(hostile[0]);
  EXPECT_EQ(TCropTab::LastMessage(), "選択した検索条件に矛盾があるためデータを取得できません。");
  EXPECT_EQ(Snapshot(), before);
  EXPECT_EQ(t.GridDataRows(), rows);  // the previous result stays, with its count
  EXPECT_EQ(w.StatusText(3), QString::number(rows) + "件");
}

TEST(CropSearch, FailingScriptClearsTheResultAndItsCount) {
  OPEN_CROP_TAB(t);
  TfrmMain& w = *t.W;
  t.Search("トマト");
  ASSERT_GT(t.GridDataRows(), 0);
  // Without the attached classification tables the script fails half-way.
  AcisDB->FDb->ExecSQL("DETACH DATABASE spec;");
  TCropTab::Sink().Clear();
  t.Search("なす");
  bool reported = false;
  for (const auto& m : TCropTab::Sink().Messages()) reported |= m.caption == "SQL エラー";
  EXPECT_TRUE(reported);
  EXPECT_TRUE(w.gdTekiyo->isHidden());
  EXPECT_LE(w.gdTekiyo->RowCount(), 1);
  EXPECT_EQ(w.GridStates[tiSakumotsu].CountText, "");
  EXPECT_EQ(w.StatusText(3), "");
  EXPECT_EQ(TCropTab::Count("SELECT count(*) FROM ttTekiyoSaku"), 0);
  EXPECT_FALSE(w.cbByochu->isEnabled());
  EXPECT_FALSE(w.btnYoto->isEnabled());
  EXPECT_TRUE(w.SakumotsuSelection.isEmpty());
  // The filters have nothing to work on now, and the window is usable again.
  w.cbByochu->setEditText("うどんこ病");
  t.Cs->FilterTekiyoByByochu();
  EXPECT_TRUE(w.gdTekiyo->isHidden());
  EXPECT_TRUE(w.pgSearch->isEnabled());
  EXPECT_FALSE(AcisDB->FDb->InTransaction());
  EXPECT_TRUE(w.actSearchTekiyou->isEnabled());
}

// As the program has it: the crop frame's texts feed the search, and its search button runs
// exactly one search on the frame's selection.
TEST(CropSearch, TheCropFrameFeedsTheSearch) {
  TMainWindowFixture fx;
  ASSERT_TRUE(fx.BuildSampleDb());
  fx.WriteIni("[OPTIONS]\nTushoMode=0\nSeibunViewMode=0\nKeitoViewMode=0\n");
  TfrmMain w;
  InstallSearchPages(w);
  w.show();
  Pump();
  ASSERT_TRUE(AcisDB);
  auto* cs = dynamic_cast<TCropSearch*>(w.SearchHandler(tiSakumotsu));
  auto* frame = qobject_cast<TfraSakumotsuBase*>(w.fraSakumotsu);
  ASSERT_NE(cs, nullptr);
  ASSERT_NE(frame, nullptr);
  frame->eSakumotsu->setText("トマト");
  Pump();
  const int automatic = cs->SearchCount;
  EXPECT_LE(automatic, 1);  // an automatic search, when the frame's options ask for one, runs once
  frame->tbTekiyoClick();
  Pump();
  EXPECT_EQ(cs->SearchCount, automatic + 1);
  EXPECT_EQ(w.SakumotsuSelection, "トマト");
  const auto want = TCropTab::Count("SELECT count(*) FROM (" + UsesUnder(Prefix12("トマト")) + ")");
  EXPECT_EQ(w.gdTekiyo->RowCount() - 1, want);
  EXPECT_EQ(w.StatusText(3), QString::number(want) + "件");
}

// Ticks that arrive together (several in one go, or held back while a search ran) give one
// automatic search on the selection as it then stands, not one search per tick.
TEST(CropSearch, TicksArrivingTogetherGiveOneAutomaticSearch) {
  TMainWindowFixture fx;
  ASSERT_TRUE(fx.BuildSampleDb());
  fx.WriteIni("[OPTIONS]\nTushoMode=0\nSeibunViewMode=0\nKeitoViewMode=0\nSakumotsuTreeAutoTekiyoView=1\n");
  TfrmMain w;
  InstallSearchPages(w);
  w.show();
  Pump();
  ASSERT_TRUE(AcisDB);
  auto* cs = dynamic_cast<TCropSearch*>(w.SearchHandler(tiSakumotsu));
  auto* frame = qobject_cast<TfraSakumotsuBase*>(w.fraSakumotsu);
  ASSERT_NE(cs, nullptr);
  ASSERT_NE(frame, nullptr);
  frame->pgSakumotsu->setCurrentIndex(0);
  std::vector<QTreeWidgetItem*> nodes;
  ForEachTreeNode(frame->tvSakumotsu, [&](QTreeWidgetItem* n) {
    const std::string name = n->text(0).toStdString();
    if ((name == "きゅうり" || name == "トマト" || name == "なす") && nodes.size() < 3) nodes.push_back(n);
  });
  ASSERT_EQ(nodes.size(), 3u);
  const int searches = cs->SearchCount;
  for (QTreeWidgetItem* n : nodes) n->setCheckState(0, Qt::Checked);
  Pump();
  EXPECT_EQ(cs->SearchCount, searches + 1);
  // The one search saw every tick.
  EXPECT_EQ(w.SakumotsuSelection.toStdString(), frame->Selection);
  for (const char* crop : {"きゅうり", "トマト", "なす"})
    EXPECT_NE(frame->Selection.find(crop), std::string::npos) << frame->Selection;
}

// A crop ticked in the tree with the upper-group option on: the frame adds the crop's groups,
// and the grid lists the uses registered for the crop (and the crops below it) and those
// registered on its groups themselves, not every crop of those groups.
TEST(CropSearch, ACropTickedWithItsUpperGroupsListsItsOwnUses) {
  TMainWindowFixture fx;
  ASSERT_TRUE(fx.BuildSampleDb());
  fx.WriteIni("[OPTIONS]\nTushoMode=0\nSeibunViewMode=0\nKeitoViewMode=0\nSakumotsuTreeUpperOn=1\n"
              "SakumotsuTreeAutoTekiyoView=1\n");
  TfrmMain w;
  InstallSearchPages(w);
  w.show();
  Pump();
  ASSERT_TRUE(AcisDB);
  auto* cs = dynamic_cast<TCropSearch*>(w.SearchHandler(tiSakumotsu));
  auto* frame = qobject_cast<TfraSakumotsuBase*>(w.fraSakumotsu);
  ASSERT_NE(cs, nullptr);
  ASSERT_NE(frame, nullptr);
  ASSERT_TRUE(frame->actCheckUpperTree->isChecked());
  frame->pgSakumotsu->setCurrentIndex(0);

  for (const std::string crop : {"きゅうり", "トマト"}) {
    frame->actTreeCheckOff->trigger();
    Pump();
    QTreeWidgetItem* node = nullptr;
    ForEachTreeNode(frame->tvSakumotsu, [&](QTreeWidgetItem* n) {
      if (!node && n->text(0).toStdString() == crop) node = n;
    });
    ASSERT_NE(node, nullptr) << crop;
    const int searches = cs->SearchCount;
    node->setCheckState(0, Qt::Checked);
    Pump();
    EXPECT_EQ(cs->SearchCount, searches + 1) << crop;
    // The frame chose the crop and its groups.
    EXPECT_EQ(w.SakumotsuSelection.toStdString(), frame->Selection);
    EXPECT_GT(CommaTextToList(frame->Selection).size(), 2u) << frame->Selection;

    // Independently: uses on crops whose code lies under the crop's, or on a class above it
    // (the code cut to 2, 4, 6 or 8 digits) or on its crop group.
    const std::string of = "(SELECT idsaku FROM m_sakumotsu WHERE sakumotsu = '" + crop + "')";
    const std::string uses =
        "SELECT a.bango, a.sakumotsu, a.byochu FROM m_tekiyo a JOIN m_sakumotsu s USING(sakumotsu) WHERE s.idsaku LIKE "
        "substr(" + of + ",1,12)||'%' OR s.idsaku IN (substr(" + of + ",1,2)||'00000000000000', substr(" + of +
        ",1,4)||'000000000000', substr(" + of + ",1,6)||'0000000000', substr(" + of +
        ",1,8)||'00000000') OR s.sakumotsu = (SELECT gunmei FROM m_sakumotsu WHERE sakumotsu = '" + crop + "')";
    const auto want = AsSet(TCropTab::Rows(uses));
    ASSERT_FALSE(want.empty()) << crop;
    // Some of them are registered on a group, not on the crop.
    EXPECT_GT(TCropTab::Count("SELECT count(*) FROM (" + uses + ") WHERE sakumotsu <> '" + crop + "'"), 0) << crop;
    std::multiset<std::string> got;
    for (int r = 1; r < w.gdTekiyo->RowCount(); ++r)
      got.insert(w.gdTekiyo->Cells(0, r) + "|" + w.gdTekiyo->Cells(1, r) + "|" + w.gdTekiyo->Cells(2, r));
    EXPECT_EQ(got, want) << crop << ": " << frame->Selection;
    EXPECT_EQ(w.StatusText(3), QString::number(want.size()) + "件");
    // Nothing of the sibling crops of the groups.
    const std::string sibling = crop == "トマト" ? "なす" : "トマト";
    EXPECT_EQ(TCropTab::Count("SELECT count(*) FROM ttTekiyoSaku WHERE sakumotsu = '" + sibling + "'"), 0) << crop;
  }
}

// The filter lists are read while the window breathes: a query made meanwhile through the
// database object (a hint, another list) must neither free their rows nor cut them short.
TEST(CropSearch, FilterListsSurviveQueriesWhileTheWindowBreathes) {
  OPEN_CROP_TAB(t);
  t.Search("ぶどう");
  const auto pests = TCropTab::Column("SELECT DISTINCT byochu FROM ttTekiyoSaku WHERE byochu <> '' ORDER BY idbyochu");
  const auto purposes = TCropTab::Column("SELECT DISTINCT mokuteki FROM ttTekiyoSaku WHERE mokuteki <> '' ORDER BY mokuteki");
  ASSERT_GT(pests.size(), 3u);
  int pumps = 0;
  AcisDB->FPump = [&pumps] {
    if (pumps == 8) return;
    ++pumps;
    ASSERT_TRUE(AcisDB->Query("SELECT 1 UNION ALL SELECT 2", false));
    // Long enough that the next row breathes again.
    std::this_thread::sleep_for(std::chrono::milliseconds(55));
  };
  // The last breath of the search is long enough ago that the first row breathes.
  std::this_thread::sleep_for(std::chrono::milliseconds(55));
  t.Cs->FillByochuCombo();
  t.Cs->FillMokutekiCombo();
  AcisDB->FPump = nullptr;
  EXPECT_GT(pumps, 3);
  ASSERT_EQ(t.W->cbByochu->count(), static_cast<int>(pests.size()) + 1);
  ASSERT_EQ(t.W->cbMokuteki->count(), static_cast<int>(purposes.size()) + 1);
  for (size_t i = 0; i < pests.size(); ++i)
    EXPECT_EQ(t.W->cbByochu->itemText(static_cast<int>(i) + 1).toStdString(), pests[i]);
  for (size_t i = 0; i < purposes.size(); ++i)
    EXPECT_EQ(t.W->cbMokuteki->itemText(static_cast<int>(i) + 1).toStdString(), purposes[i]);
}
