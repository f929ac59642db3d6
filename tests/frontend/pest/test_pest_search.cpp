// The pest search on the sample register: keywords and aliases, purposes, the crop filter with
// its higher crop groups, searches that find nothing, hostile keyword text, display-mode
// changes, and the tab's row as a user works it.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <algorithm>
#include <set>

#include "database/acis_session_views.h"
#include "database/clause_builders.h"
#include "frontend/pest/frm_tab_byochu_saku.h"
#include "frontend/pest/pest_search_sql.h"
#include "frontend/pest/pest_tab_fixture.h"
#include "frontend/main_services.h"
#include "frontend/picker_placement.h"
#include "foundation/check_list_box_ex.h"
#include "foundation/comma_text.h"

namespace {

// The uses (of the tekiyo view) whose pest or purpose is one of the pests whose name or alias
// holds Word: what the grid must show after a search for Word.
int64_t UsesOfWord(const std::string& Word) {
  const std::string found = "(SELECT byochu FROM m_byochu WHERE byochu||'、'||ifnull(betsumei,'') LIKE '%" + Word + "%')";
  return TPestTab::Count("SELECT count(*) FROM tekiyo WHERE byochu IN " + found + " OR mokuteki IN " + found);
}

// Names and row counts of every table of the main and attached schemas.
std::vector<std::string> Snapshot() {
  std::vector<std::string> out;
  for (const char* schema : {"main", "spec"})
    for (const std::string& name :
         TPestTab::Column(std::string("SELECT name FROM ") + schema + ".sqlite_master WHERE type='table' ORDER BY name"))
      out.push_back(std::string(schema) + "." + name + "=" +
                    TPestTab::Column("SELECT count(*) FROM " + std::string(schema) + ".\"" + name + "\"").at(0));
  return out;
}

void Key(QWidget* W, int K) {
  QKeyEvent down(QEvent::KeyPress, K, Qt::NoModifier);
  QKeyEvent up(QEvent::KeyRelease, K, Qt::NoModifier);
  QApplication::sendEvent(W, &down);
  QApplication::sendEvent(W, &up);
}

// The one value of a column ("" when empty, "*" when the values differ).
std::string Same(const std::multiset<std::string>& Values) {
  if (Values.empty()) return std::string();
  return Values.count(*Values.begin()) == Values.size() ? *Values.begin() : "*";
}

struct THook {
  TPickerModalHook Prev;
  explicit THook(TPickerModalHook H) : Prev(SetPickerModalHook(std::move(H))) {}
  ~THook() { SetPickerModalHook(std::move(Prev)); }
};

}  // namespace

TEST(PestSearchSql, StatementsBindKeywordsAndEscapeCrops) {
  const TPestCondition c = ByochuCondition("アブラムシ　うどんこ,,it's");
  EXPECT_EQ(c.Bound.find("うどんこ"), std::string::npos);  // the words are bound, never written
  EXPECT_EQ(c.Params, (std::vector<std::string>{"%アブラムシ%", "%うどんこ%", "%it's%"}));
  EXPECT_NE(c.Literal.find("MATCH '%it''s%'"), std::string::npos);
  EXPECT_TRUE(ByochuCondition(" ,　").Params.empty());

  const std::string script = ByochuScript(c.Literal);
  EXPECT_EQ(script.rfind("DROP TABLE IF EXISTS tByochu;CREATE TEMP TABLE tByochu AS SELECT byochu FROM m_byochu WHERE (", 0),
            0u);
  EXPECT_NE(script.find("CREATE TEMP TABLE ttTekiyoByochu AS \r\nSELECT bango,"), std::string::npos);
  EXPECT_NE(script.find("WHERE bango IN (SELECT bango FROM m_tekiyo WHERE byochu IN (SELECT byochu FROM tByochu) \r\n"
                        "OR mokuteki IN (SELECT byochu FROM tByochu));"),
            std::string::npos);
  // The crop filter: "全て" is every row; a crop keeps the pest condition and its deployed
  // names are matched literally.
  auto deploy = [](const std::string& n) { return n == "トマト(施設栽培)" ? "トマト(施設栽培),トマト,野菜類" : ""; };
  EXPECT_EQ(ByochuCropFilterSql("V", "全て", deploy), "SELECT * FROM V");
  EXPECT_EQ(ByochuCropFilterSql("V", " ", deploy), "SELECT * FROM V");
  const std::string f = ByochuCropFilterSql("V", "トマト(施設栽培),x'y", deploy);
  EXPECT_EQ(f.rfind("SELECT * FROM V WHERE (byochu IN (SELECT byochu FROM tByochu) OR mokuteki IN (SELECT byochu FROM "
                    "tByochu)) AND sakumotsu in (",
                    0),
            0u);
  // The chosen crop covers its crops by the group rule; its higher groups stand for themselves.
  EXPECT_NE(f.find("regexp '、(トマト\\(施設栽培\\))、'"), std::string::npos) << f;
  EXPECT_NE(f.find(") or sakumotsu in ('トマト','野菜類') or\r\n"), std::string::npos) << f;
  EXPECT_EQ(f.find("|野菜類"), std::string::npos) << f;
  // Full-width brackets are the crop's own name in half-width ones, as the hierarchy has it.
  EXPECT_NE(ByochuCropFilterSql("V", "トマト（施設栽培）", deploy).find("regexp '、(トマト\\(施設栽培\\))、'"),
            std::string::npos);
  EXPECT_NE(f.find("regexp '、(x''y)、'"), std::string::npos) << f;  // unknown: itself, quoted
  EXPECT_EQ(f.substr(f.size() - 3), "\n0)");
}

TEST(PestSearch, KeywordsAliasesAndPurposesFindTheirUses) {
  OPEN_PEST_TAB(t);
  // The row as the tab shows it.
  EXPECT_EQ(t.W->btnTabByochu->text(), "病害虫");
  EXPECT_EQ(t.W->btnTabByochuSaku->text(), "作物名");
  EXPECT_TRUE(t.W->gdByochu->isHidden());
  EXPECT_FALSE(t.W->cbTabByochuSakumotu->isEnabled());
  // Before a result the row stands at the top of the tab, not in the middle of the empty page.
  ASSERT_GT(t.W->tabByochu->height(), 200);
  EXPECT_LE(t.W->pnlTabByochuTop->y(), 4);
  // Each side takes half of the row.
  QWidget* top = t.W->pnlTabByochuTop;
  top->resize(801, top->height());
  EXPECT_EQ(t.W->edtByochu->geometry().right() + 1, 400 - 2);
  EXPECT_EQ(t.W->btnTabByochuSaku->x(), 400 + 2);
  EXPECT_EQ(t.W->cbTabByochuSakumotu->x(), t.W->btnTabByochuSaku->geometry().right() + 1 + 2);
  EXPECT_EQ(t.W->cbTabByochuSakumotu->geometry().right() + 1, 801 - 4);
  EXPECT_GE(top->height(), t.W->cbTabByochuSakumotu->sizeHint().height());

  // An alias: スリップス is another name of アザミウマ類.
  t.Search("スリップス");
  EXPECT_EQ(TPestTab::Column("SELECT byochu FROM tByochu"), std::vector<std::string>{"アザミウマ類"});
  ASSERT_FALSE(t.W->gdByochu->isHidden());
  EXPECT_EQ(t.GridDataRows(), UsesOfWord("スリップス"));
  EXPECT_EQ(Same(t.GridValues("byochu")), "アザミウマ類");
  EXPECT_EQ(t.W->StatusText(3), QString::number(t.GridDataRows()) + "件");
  // The working table holds every use of the found products.
  EXPECT_GE(TPestTab::Count("SELECT count(*) FROM ttTekiyoByochu"), t.GridDataRows());
  EXPECT_EQ(TekiyoWorkColumnNames().size(),
            static_cast<size_t>(TPestTab::Count("SELECT count(*) FROM pragma_table_info('ttTekiyoByochu')")));
  // The crop list: "全て" first, the crops of the result without exclusions.
  ASSERT_GT(t.W->cbTabByochuSakumotu->count(), 1);
  EXPECT_EQ(t.W->cbTabByochuSakumotu->itemText(0), "全て");
  for (int i = 1; i < t.W->cbTabByochuSakumotu->count(); ++i)
    EXPECT_FALSE(t.W->cbTabByochuSakumotu->itemText(i).endsWith("を除く"));
  EXPECT_TRUE(t.W->cbTabByochuSakumotu->isEnabled());
  EXPECT_TRUE(t.W->btnTabByochuSaku->isEnabled());
  // The log: the script, both timings.
  const QString log = t.W->mLog->toPlainText();
  EXPECT_TRUE(log.contains("SQL>DROP TABLE IF EXISTS tByochu;"));
  EXPECT_TRUE(log.contains("MATCH '%スリップス%'"));
  EXPECT_TRUE(log.contains("病害虫検索SQL実行時間 "));
  EXPECT_TRUE(log.contains("病害虫検索表示完了時間 "));

  // The RAC codes of the working table are those of the plain subqueries into raccode, for
  // every pest class.
  t.Search("病 着果促進 アブラムシ");
  const std::string reference =
      ReferenceTekiyoWorkSelect() +
      "WHERE bango IN (SELECT bango FROM m_tekiyo WHERE byochu IN (SELECT byochu FROM tByochu) OR mokuteki IN "
      "(SELECT byochu FROM tByochu))";
  EXPECT_EQ(TPestTab::Count("SELECT count(*) FROM ttTekiyoByochu"), TPestTab::Count("SELECT count(*) FROM (" + reference + ")"));
  EXPECT_EQ(TPestTab::Count("SELECT count(*) FROM (SELECT * FROM ttTekiyoByochu EXCEPT " + reference + ")"), 0);
  EXPECT_EQ(TPestTab::Count("SELECT count(*) FROM (" + reference + " EXCEPT SELECT * FROM ttTekiyoByochu)"), 0);
  EXPECT_GT(TPestTab::Count("SELECT count(DISTINCT substr(idbyochu,1,1)||mid1) FROM ttTekiyoByochu WHERE mid1 NOT NULL"), 2);

  // A purpose finds the uses with that purpose.
  t.Search("着果促進");
  ASSERT_FALSE(t.W->gdByochu->isHidden());
  EXPECT_EQ(t.GridDataRows(), TPestTab::Count("SELECT count(*) FROM tekiyo WHERE mokuteki = '着果促進'"));
  EXPECT_EQ(Same(t.GridValues("mokuteki")), "着果促進");

  // Two keywords: the uses of both.
  t.Search("スリップス 着果促進");
  EXPECT_EQ(t.GridDataRows(), UsesOfWord("スリップス") + UsesOfWord("着果促進"));
}

TEST(PestSearch, NoMatchAndHostileTextClearTheGridAndChangeNoTable) {
  OPEN_PEST_TAB(t);
  t.Search("アブラムシ");
  ASSERT_GT(t.GridDataRows(), 0);
  const std::vector<std::string> before = Snapshot();

  // Nothing found: the grid is emptied, the count says so, the crop list goes.
  const size_t messages = TPestTab::Sink().Messages().size();
  t.Search("存在しない病害虫");
  EXPECT_TRUE(t.W->gdByochu->isHidden());
  EXPECT_LE(t.W->gdByochu->RowCount(), 1);  // the title row at most
  EXPECT_EQ(t.W->StatusText(3), "0件");
  EXPECT_EQ(TPestTab::LastMessage(), "検索条件に一致するデータはありません");
  EXPECT_EQ(TPestTab::Sink().Messages().size(), messages + 1);
  EXPECT_EQ(t.W->cbTabByochuSakumotu->count(), 0);
  EXPECT_FALSE(t.W->cbTabByochuSakumotu->isEnabled());
  EXPECT_FALSE(t.W->btnTabByochuSaku->isEnabled());
  EXPECT_FALSE(t.W->actCsvSave->isEnabled());

  // Typed SQL, brackets and MATCH syntax are words like any other: nothing found, no error.
  // (A bracket alone is found in names such as 葉腐病(ラージパッチ), as it should be.)
  for (const char* hostile : {"'; DROP TABLE m_tekiyo; --", "x') OR 1=1 --", "\") or (\"1\"=\"1", "[アブラムシ]", "((",
                              "%", "_", "a' MATCH '%", "concat('、',byochu,betsumei)", "? ?1 :a @b $c"}) {
    const size_t n = TPestTab::Sink().Messages().size();
    t.Search(hostile);
    EXPECT_EQ(t.GridDataRows(), 0) << hostile;
    EXPECT_EQ(TPestTab::Count("SELECT count(*) FROM tByochu"), 0) << hostile;
    ASSERT_EQ(TPestTab::Sink().Messages().size(), n + 1) << hostile;
    EXPECT_EQ(TPestTab::LastMessage(), "検索条件に一致するデータはありません") << hostile;
  }
  EXPECT_EQ(Snapshot(), before);

  // Ctrl+T as the user presses it, through the window's shortcuts.
  QApplication::setActiveWindow(t.W.get());
  t.W->edtByochu->setFocus();
  t.W->edtByochu->setText("スリップス");
  const int ctrlT = t.Ps->SearchCount;
  QTest::keyClick(t.W->edtByochu, Qt::Key_T, Qt::ControlModifier);
  EXPECT_EQ(t.Ps->SearchCount, ctrlT + 1);
  EXPECT_EQ(t.GridDataRows(), UsesOfWord("スリップス"));

  // An empty box: the action is off and Enter does nothing.
  t.W->edtByochu->clear();
  EXPECT_FALSE(t.W->actSearchTekiyou->isEnabled());
  const int searches = t.Ps->SearchCount;
  Key(t.W->edtByochu, Qt::Key_Return);
  EXPECT_EQ(t.Ps->SearchCount, searches);
  t.W->edtByochu->setText("アブラムシ");
  EXPECT_TRUE(t.W->actSearchTekiyou->isEnabled());
  Key(t.W->edtByochu, Qt::Key_Return);
  EXPECT_EQ(t.Ps->SearchCount, searches + 1);
  EXPECT_GT(t.GridDataRows(), 0);
}

TEST(PestSearch, CropFilterKeepsThePestAndTakesHigherGroups) {
  OPEN_PEST_TAB(t);
  // 灰色かび病 is registered on 野菜類, among other crops.
  t.Search("灰色かび病");
  const int all = t.GridDataRows();
  ASSERT_GT(all, 0);
  ASSERT_GT(TPestTab::Count("SELECT count(*) FROM tekiyo WHERE byochu = '灰色かび病' AND sakumotsu = '野菜類'"), 0);
  QComboBox* cb = t.W->cbTabByochuSakumotu;
  cb->setEditText("トマト");
  t.Ps->cbTabByochuSakumotuSelect();
  const std::multiset<std::string> crops = t.GridValues("sakumotsu");
  EXPECT_GT(crops.count("野菜類"), 0u);  // a use on a higher group applies to トマト
  EXPECT_LT(t.GridDataRows(), all);
  // Only the found pest: the filter narrows the search's rows, it does not add the products'
  // other uses.
  for (const std::string& p : t.GridValues("byochu")) EXPECT_EQ(p, "灰色かび病");
  for (const std::string& c : crops) EXPECT_NE(c, "りんご");
  EXPECT_EQ(t.W->StatusText(3), QString::number(t.GridDataRows()) + "件");

  // A crop name with brackets is matched as written.
  t.Search("アブラムシ");
  cb->setEditText("トマト(施設栽培)");
  t.Ps->cbTabByochuSakumotuSelect();
  const std::multiset<std::string> forced = t.GridValues("sakumotsu");
  EXPECT_GT(forced.count("トマト(施設栽培)"), 0u);
  EXPECT_GT(forced.count("なす科野菜類"), 0u);

  // A filter that matches nothing: the empty result, not the unfiltered rows.
  cb->setEditText("存在しない作物");
  t.Ps->cbTabByochuSakumotuSelect();
  EXPECT_EQ(t.GridDataRows(), 0);
  EXPECT_EQ(t.W->StatusText(3), "0件");
  EXPECT_EQ(TPestTab::LastMessage(), "検索条件に一致するデータはありません");
  // "全て": every use of the found products, more than the search showed.
  const int found = UsesOfWord("アブラムシ");
  cb->setCurrentIndex(0);
  emit cb->activated(0);
  Pump(10);
  EXPECT_EQ(t.GridDataRows(), TPestTab::Count("SELECT count(*) FROM ttTekiyoByochu"));
  EXPECT_GT(t.GridDataRows(), found);

  // A display-mode change keeps the crop filter.
  cb->setEditText("トマト");
  Key(cb->lineEdit(), Qt::Key_Return);
  Pump(10);
  const int tomato = t.GridDataRows();
  ASSERT_GT(tomato, 0);
  t.W->actTsusho->trigger();
  EXPECT_NE(t.W->ResultViewName.find("Byochu"), std::string::npos);
  EXPECT_EQ(cb->currentText(), "トマト");
  EXPECT_LE(t.GridDataRows(), tomato);
  EXPECT_GT(t.GridDataRows(), 0);
  t.W->actTsusho->trigger();
  EXPECT_EQ(t.GridDataRows(), tomato);
}

// A crop in the filter gives the rows the crop tab gives that crop with its higher groups:
// its own uses, those of the crops it covers and those registered on its higher groups, never
// the uses of the other crops of those groups (アスパラガス is a vegetable, not a トマト).
TEST(PestSearch, CropFilterGivesTheRowsOfTheCropTab) {
  OPEN_PEST_TAB(t);
  t.Search("アブラムシ");
  ASSERT_GT(t.GridDataRows(), 0);
  const std::multiset<std::string> before = t.GridValues("sakumotsu");
  ASSERT_GT(before.count("アスパラガス"), 0u);  // found for the pest on another vegetable
  QComboBox* cb = t.W->cbTabByochuSakumotu;
  cb->setEditText("トマト");
  Key(cb->lineEdit(), Qt::Key_Return);
  Pump(10);

  // The crop tab's selection for トマト with its higher groups, the groups marked as added.
  const std::string upper = AcisDB->UpperGroup("トマト");
  std::vector<std::string> added;
  for (const std::string& n : CommaTextToList(upper))
    if (n != "トマト") added.push_back(n);
  ASSERT_FALSE(added.empty());
  const std::string re = AcisDB->IdSakuRegexpLine(upper, false, added);
  const std::vector<std::string> names = TPestTab::Column("SELECT sakumotsu FROM m_sakumotsu WHERE idsaku REGEXP " + re);
  const std::set<std::string> applying(names.begin(), names.end());

  const std::multiset<std::string> crops = t.GridValues("sakumotsu");
  ASSERT_FALSE(crops.empty());
  EXPECT_GT(crops.count("トマト"), 0u);
  EXPECT_EQ(crops.count("アスパラガス"), 0u);
  for (const std::string& c : crops) EXPECT_TRUE(applying.count(c)) << c;
  EXPECT_EQ(t.GridDataRows(),
            TPestTab::Count("SELECT count(*) FROM ttTekiyoByochu WHERE (byochu IN (SELECT byochu FROM tByochu) OR "
                            "mokuteki IN (SELECT byochu FROM tByochu)) AND sakumotsu IN (SELECT sakumotsu FROM "
                            "m_sakumotsu WHERE idsaku REGEXP " + re + ")"));
  // A crop group chosen itself still stands for every crop of the group.
  cb->setEditText("野菜類");
  Key(cb->lineEdit(), Qt::Key_Return);
  Pump(10);
  EXPECT_GT(t.GridValues("sakumotsu").count("アスパラガス"), 0u);
}

TEST(PestSearch, CropPickerOffersTheResultsCropsAndFilters) {
  OPEN_PEST_TAB(t);
  // Before a result the picker does not open.
  int opened = 0;
  THook hook([&](QDialog& d) {
    ++opened;
    auto& p = static_cast<TfrmTabByochuSaku&>(d);
    EXPECT_EQ(p.windowTitle(), "作物名選択");
    EXPECT_GT(p.lstSakumotsu->count(), 0);
    for (int i = 0; i < p.lstSakumotsu->count(); ++i)
      if (p.lstSakumotsu->item(i)->text() == "トマト") p.lstSakumotsu->SetChecked(i, true);
    return static_cast<int>(QDialog::Accepted);
  });
  t.Ps->btnTabByochuSakuClick();
  EXPECT_EQ(opened, 0);
  t.Search("灰色かび病");
  t.W->btnTabByochuSaku->click();
  EXPECT_EQ(opened, 1);
  EXPECT_EQ(t.W->cbTabByochuSakumotu->currentText(), "トマト");
  EXPECT_GT(t.GridValues("sakumotsu").count("野菜類"), 0u);
}

// After a data update (Ctrl+Y) a pest result on show rests on the new connection: the search
// runs again, so the crop filter narrows rows instead of finding nothing in a working table
// that went with the old connection.
TEST(PestSearch, ResultFollowsADataUpdate) {
  OPEN_PEST_TAB(t);
  SetMainWindowServices(std::make_unique<TStandInUpdate>(TStandInUpdate::Opens));
  t.Search("灰色かび病");
  const int all = t.GridDataRows();
  ASSERT_GT(all, 0);
  t.W->activateWindow();
  t.W->edtByochu->setFocus();
  QTest::keyClick(t.W->edtByochu, Qt::Key_Y, Qt::ControlModifier);
  Pump(10);
  SetMainWindowServices(nullptr);
  EXPECT_EQ(t.GridDataRows(), all);
  TPestTab::Sink().Clear();
  QComboBox* cb = t.W->cbTabByochuSakumotu;
  cb->setEditText("トマト");
  Key(cb->lineEdit(), Qt::Key_Return);
  Pump(10);
  for (const auto& m : TPestTab::Sink().Messages()) ADD_FAILURE() << m.caption << ": " << m.text;
  EXPECT_GT(t.GridDataRows(), 0);
  EXPECT_LT(t.GridDataRows(), all);
  for (const std::string& p : t.GridValues("byochu")) EXPECT_EQ(p, "灰色かび病");
}
