// The pest picker of the pest tab on the sample register: the category pages and their group
// lists, the choice of the list last ticked, "追加" and "置換", the name search, and the search
// that follows however the picker closes.
#include <gtest/gtest.h>

#include <QAction>
#include <QComboBox>
#include <QDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QSplitter>
#include <QTabBar>
#include <QTabWidget>
#include <QToolButton>

#include "foundation/check_list_box_ex.h"
#include "foundation/global.h"
#include "foundation/ini_file.h"
#include "foundation/options.h"
#include "frontend/pest/dlg_byogai.h"
#include "frontend/pest/pest_tab_fixture.h"
#include "frontend/picker_placement.h"

namespace {

std::vector<std::string> Items(const TCheckListBoxEx* l) {
  std::vector<std::string> out;
  for (int i = 0; i < l->count(); ++i) out.push_back(l->item(i)->text().toStdString());
  return out;
}

void Tick(TCheckListBoxEx* l, const std::string& Name, bool On = true) {
  for (int i = 0; i < l->count(); ++i)
    if (l->item(i)->text().toStdString() == Name) l->SetChecked(i, On);
}

std::vector<std::string> Sorted(std::vector<std::string> v) {
  std::sort(v.begin(), v.end());
  return v;
}

struct THook {
  TPickerModalHook Prev;
  explicit THook(TPickerModalHook H) : Prev(SetPickerModalHook(std::move(H))) {}
  ~THook() { SetPickerModalHook(std::move(Prev)); }
};

}  // namespace

TEST(DlgByogai, CategoryPagesGroupsAndTheChoice) {
  OPEN_PEST_TAB(t);
  TDlgByogai p(t.W.get());
  p.Target = t.W->edtByochu;
  t.W->edtByochu->clear();
  EXPECT_EQ(p.windowTitle(), "病害虫種類選択");
  ASSERT_EQ(p.PageControl->count(), 6);
  EXPECT_EQ(p.PageControl->tabText(5), "検索");
  EXPECT_EQ(Items(p.lstByogai), TPestTab::Column("SELECT byochu FROM byochu WHERE cid = 1"));
  EXPECT_EQ(Items(p.lstChoju), TPestTab::Column("SELECT byochu FROM m_byochu WHERE cid = 4"));
  EXPECT_EQ(Items(p.lstMokuteki), TPestTab::Column("SELECT byochu FROM m_byochu WHERE cid IN (5, 6)"));
  const std::vector<std::string> allPests = Items(p.lstGaichu);
  EXPECT_EQ(allPests.size(), static_cast<size_t>(TPestTab::Count("SELECT count(*) FROM byochu WHERE cid = 2")));
  EXPECT_EQ(p.lstGaichuGroup->item(0)->text(), "全て");
  EXPECT_EQ(p.cboCID->itemText(0), "");
  EXPECT_EQ(p.cboCID->count(), 1 + TPestTab::Count("SELECT count(*) FROM cbyochu"));
  EXPECT_FALSE(p.actAdd->isEnabled());
  EXPECT_TRUE(p.rbBubun->isChecked());

  // A group shows its members; "全て" with other groups shows the whole category; no group
  // leaves the list empty.
  Tick(p.lstGaichuGroup, "アブラムシ類");
  EXPECT_EQ(Sorted(Items(p.lstGaichu)),
            Sorted(TPestTab::Column("SELECT byochu FROM byochu WHERE cid = 2 AND gid = 21")));
  EXPECT_LT(p.lstGaichu->count(), static_cast<int>(allPests.size()));
  Tick(p.lstGaichuGroup, "全て");
  EXPECT_EQ(Items(p.lstGaichu), allPests);
  Tick(p.lstGaichuGroup, "全て", false);
  Tick(p.lstGaichuGroup, "アブラムシ類", false);
  EXPECT_EQ(p.lstGaichu->count(), 0);
  Tick(p.lstZassouGroup, "水田雑草");
  EXPECT_EQ(Sorted(Items(p.lstZassou)), Sorted(TPestTab::Column("SELECT byochu FROM byochu WHERE cid = 3 AND gid = 33")));

  // The choice is the list last ticked.
  Tick(p.lstByogai, "いもち病");
  Tick(p.lstByogai, "紋枯病");
  EXPECT_EQ(p.eName->text(), "いもち病,紋枯病");
  EXPECT_TRUE(p.actAdd->isEnabled());
  EXPECT_TRUE(p.eName->isReadOnly());
  const std::string weed = Items(p.lstZassou).at(0);
  Tick(p.lstZassou, weed);
  EXPECT_EQ(p.eName->text().toStdString(), weed);
  Tick(p.lstZassou, weed, false);
  EXPECT_EQ(p.eName->text(), "");
  EXPECT_FALSE(p.actReplace->isEnabled());

  // "追加" twice writes twice; "置換" replaces; nothing chosen writes nothing.
  Tick(p.lstByogai, "いもち病", false);
  EXPECT_EQ(p.eName->text(), "紋枯病");
  p.tbtnAdd->click();
  EXPECT_EQ(t.W->edtByochu->text(), "紋枯病");
  p.actAdd->trigger();
  EXPECT_EQ(t.W->edtByochu->text(), "紋枯病,紋枯病");
  Tick(p.lstChoju, Items(p.lstChoju).at(0));
  p.actReplace->trigger();
  EXPECT_EQ(t.W->edtByochu->text().toStdString(), Items(p.lstChoju).at(0));
  Tick(p.lstChoju, Items(p.lstChoju).at(0), false);
  p.actAddExecute();
  EXPECT_EQ(t.W->edtByochu->text().toStdString(), Items(p.lstChoju).at(0));
}

TEST(DlgByogai, NameSearchByPositionAndCategory) {
  OPEN_PEST_TAB(t);
  TDlgByogai p(t.W.get());
  std::vector<std::string> log;
  p.LogMemo = [&](const std::string& l) { log.push_back(l); };
  p.PageControl->setCurrentIndex(5);
  p.eSearchStr->setText("アブラムシ");
  p.bSearch->click();
  const std::vector<std::string> anywhere = Items(p.lstByomei);
  EXPECT_EQ(Sorted(anywhere),
            Sorted(TPestTab::Column("SELECT byochu FROM m_byochu WHERE byochu||'、'||ifnull(betsumei,'') LIKE "
                                    "'%アブラムシ%'")));
  ASSERT_FALSE(log.empty());
  EXPECT_EQ(log.back(), "SELECT byochu FROM m_byochu WHERE  concat('、',byochu,betsumei) MATCH '%アブラムシ%'");
  p.rbPrefix->click();  // a radio button searches again
  const std::vector<std::string> prefix = Items(p.lstByomei);
  EXPECT_EQ(Sorted(prefix), Sorted(TPestTab::Column("SELECT byochu FROM m_byochu WHERE byochu LIKE 'アブラムシ%'")));
  EXPECT_LT(prefix.size(), anywhere.size());
  // At the end of the name with its aliases: アブラムシ類 by its alias アブラムシ.
  p.rbSuffix->click();
  const std::vector<std::string> suffix = Items(p.lstByomei);
  EXPECT_EQ(Sorted(suffix),
            Sorted(TPestTab::Column("SELECT byochu FROM m_byochu WHERE byochu||ifnull(nullif('、'||betsumei,'、'),'') "
                                    "LIKE '%アブラムシ'")));
  EXPECT_NE(std::find(suffix.begin(), suffix.end(), "アブラムシ類"), suffix.end());
  // The category narrows the search.
  p.eSearchStr->setText("病");
  p.rbBubun->click();
  const size_t all = p.lstByomei->count();
  p.cboCID->setCurrentText("雑草");
  EXPECT_LT(static_cast<size_t>(p.lstByomei->count()), all);
  EXPECT_NE(log.back().find("cname = '雑草'"), std::string::npos);

  // Typed SQL finds nothing and changes nothing.
  p.cboCID->setCurrentIndex(0);
  const int64_t pests = TPestTab::Count("SELECT count(*) FROM m_byochu");
  for (const char* hostile : {"x'; DELETE FROM m_byochu; --", "' OR '1'='1", "%' OR byochu LIKE '"}) {
    const size_t n = TPestTab::Sink().Messages().size();
    p.eSearchStr->setText(hostile);
    p.bSearchClick();
    EXPECT_EQ(p.lstByomei->count(), 0) << hostile;
    EXPECT_EQ(TPestTab::Sink().Messages().size(), n + 1) << hostile;
    EXPECT_EQ(TPestTab::LastMessage(), "検索条件に一致するデータはありません");
  }
  EXPECT_EQ(TPestTab::Count("SELECT count(*) FROM m_byochu"), pests);
  // Names found by the search are chosen like any other list's.
  p.eSearchStr->setText("ハダニ");
  p.bSearchClick();
  Tick(p.lstByomei, "ハダニ類");
  EXPECT_EQ(p.eName->text(), "ハダニ類");
}

TEST(DlgByogai, ClosingRunsTheSearchAndKeepsTheSize) {
  OPEN_PEST_TAB(t);
  t.W->edtByochu->clear();
  int shown = 0;
  {
    THook hook([&](QDialog& d) {
      ++shown;
      auto& p = static_cast<TDlgByogai&>(d);
      Tick(p.lstGaichuGroup, "アブラムシ類");
      Tick(p.lstGaichu, "アブラムシ類");
      p.actAdd->trigger();
      p.resize(333, 444);
      p.show();
      p.tbtnClose->click();  // "閉じる" closes as the window's own close does
      EXPECT_FALSE(p.isVisible());
      return static_cast<int>(QDialog::Rejected);
    });
    const int searches = t.Ps->SearchCount;
    t.W->btnTabByochu->click();
    EXPECT_EQ(shown, 1);
    EXPECT_EQ(t.Ps->SearchCount, searches + 1);
  }
  EXPECT_EQ(t.W->edtByochu->text(), "アブラムシ類");
  EXPECT_GT(t.GridDataRows(), 0);
  TIniFile ini(OptionData->IniFileName);
  EXPECT_EQ(ini.ReadInteger("WINDOW", "DlgByogaiWidth", 0), 333);
  EXPECT_EQ(ini.ReadInteger("WINDOW", "DlgByogaiHeight", 0), 444);
  EXPECT_GT(ini.ReadInteger("WINDOW", "DlgByogaiListGroupHeight", 0), 0);

  // Without a database the button does nothing.
  AcisDB.reset();
  t.W->btnTabByochu->click();
  EXPECT_EQ(shown, 1);
}

// Every category tab can be seen, the name search too; a group list opens at its stored
// height, and one the user did not open keeps it at close instead of a size its never laid
// out splitter made up.
TEST(DlgByogai, TabsInSightAndGroupHeightsKept) {
  OPEN_PEST_TAB(t);
  {
    TIniFile ini(OptionData->IniFileName);
    ini.WriteInteger("WINDOW", "DlgByogaiWidth", 250);
    ini.WriteInteger("WINDOW", "DlgByogaiHeight", 420);
    ini.WriteInteger("WINDOW", "DlgByogaiListGroupHeight", 150);
    ini.WriteInteger("WINDOW", "DlgByogaiListZassouGroupHeight", 160);
    ini.UpdateFile();
  }
  TDlgByogai p(t.W.get());
  p.show();
  Pump(10);
  QTabBar* bar = p.PageControl->tabBar();
  for (int i = 0; i < bar->count(); ++i) {
    EXPECT_GE(bar->tabRect(i).left(), 0) << i;
    EXPECT_LE(bar->tabRect(i).right(), bar->width()) << i;
  }
  EXPECT_LE(bar->mapTo(&p, QPoint(bar->width(), 0)).x(), p.width());
  // The user widens the dialog on the name search page, then opens the pests.
  p.PageControl->setCurrentIndex(5);
  Pump(10);
  p.resize(320, 430);
  Pump(10);
  p.PageControl->setCurrentIndex(1);  // 害虫
  Pump(10);
  EXPECT_EQ(p.Splitter1->sizes().value(0), 150);
  p.tbtnClose->click();
  TIniFile ini(OptionData->IniFileName);
  EXPECT_EQ(ini.ReadInteger("WINDOW", "DlgByogaiListGroupHeight", 0), 150);
  EXPECT_EQ(ini.ReadInteger("WINDOW", "DlgByogaiListZassouGroupHeight", 0), 160);
}
