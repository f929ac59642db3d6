// The filter and argument pickers: where they open, what they list and tick, what they give
// back, and the crop tab's openers run through the modal hook on the sample register.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <algorithm>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSplitter>
#include <QTest>

#include "frontend/crop/crop_search_fixture.h"
#include "foundation/check_list_box_ex.h"
#include "foundation/ini_file.h"
#include "foundation/global.h"
#include "foundation/options.h"
#include "frontend/console/frm_byochu.h"
#include "frontend/frm_sakubyochu.h"
#include "frontend/pest/frm_tab_byochu_saku.h"
#include "frontend/frm_yoto.h"
#include "frontend/frm_zaikei.h"
#include "frontend/picker_placement.h"

namespace {

std::vector<std::string> Items(const TCheckListBoxEx* l) {
  std::vector<std::string> out;
  for (int i = 0; i < l->count(); ++i) out.push_back(l->item(i)->text().toStdString());
  return out;
}

std::vector<std::string> Checked(const TCheckListBoxEx* l) {
  std::vector<std::string> out;
  for (int i = 0; i < l->count(); ++i)
    if (l->Checked(i)) out.push_back(l->item(i)->text().toStdString());
  return out;
}

void Tick(TCheckListBoxEx* l, const std::string& Name, bool On = true) {
  for (int i = 0; i < l->count(); ++i)
    if (l->item(i)->text().toStdString() == Name) l->SetChecked(i, On);
}

// Installs a modal hook for one scope.
struct THook {
  TPickerModalHook Prev;
  explicit THook(TPickerModalHook H) : Prev(SetPickerModalHook(std::move(H))) {}
  ~THook() { SetPickerModalHook(std::move(Prev)); }
};

}  // namespace

TEST(Pickers, OpenUnderTheButtonAndStayOnTheScreen) {
  const QRect screen(0, 0, 1000, 800);
  const struct {
    QPoint at;
    QSize size;
    QPoint want;
  } cases[] = {
      {{100, 200}, {300, 400}, {100, 200}},  // fits
      {{900, 200}, {300, 400}, {700, 200}},  // passes the right edge by 200
      {{100, 700}, {300, 400}, {100, 400}},  // passes the bottom by 300
      {{950, 790}, {300, 400}, {700, 400}},  // both
      {{10, 10}, {1200, 900}, {0, 0}},       // larger than the screen: its start
  };
  for (const auto& c : cases) EXPECT_EQ(PickerPosition(c.at, c.size, screen), c.want) << c.at.x() << "," << c.at.y();
  // A second screen to the right counts from its own edges.
  EXPECT_EQ(PickerPosition({1900, 100}, {300, 100}, QRect(1000, 0, 1000, 800)), QPoint(1700, 100));
}

TEST(Pickers, UseAndFormulationPickersTickTheBoxTextAndGiveCommaText) {
  TfrmYoto yoto(nullptr);
  EXPECT_EQ(yoto.windowTitle(), "用途選択");
  ASSERT_EQ(yoto.lstYoto->count(), 10);
  yoto.CheckCommaText("殺虫剤,除草剤");
  EXPECT_EQ(Checked(yoto.lstYoto), (std::vector<std::string>{"殺虫剤", "除草剤"}));
  yoto.reject();  // collected on any close
  EXPECT_EQ(yoto.GetSelected(), "殺虫剤,除草剤");

  TfrmZaikei zaikei(nullptr);
  EXPECT_EQ(zaikei.windowTitle(), "剤型選択");
  ASSERT_EQ(zaikei.lstZaikei->count(), 16);
  zaikei.ckAll->click();
  EXPECT_EQ(Checked(zaikei.lstZaikei).size(), 16u);
  zaikei.ckAll->click();
  EXPECT_TRUE(Checked(zaikei.lstZaikei).empty());
  // Names with a blank come back quoted, so the filter reads them whole.
  zaikei.SetItems({"水和剤 (フロアブル)", "粒剤", " "});
  ASSERT_EQ(zaikei.lstZaikei->count(), 2);
  zaikei.CheckCommaText("\"水和剤 (フロアブル)\",乳剤");
  zaikei.FitHeightToItems();
  zaikei.accept();
  EXPECT_EQ(zaikei.GetSelected(), "\"水和剤 (フロアブル)\"");
}

TEST(Pickers, TemplateArgumentBoxesTakeThePickedText) {
  QWidget button;
  QLineEdit box;
  box.setText("殺虫剤,除草剤");
  std::vector<std::string> seen;
  bool accept = false;
  THook hook([&](QDialog& d) {
    auto* p = qobject_cast<TCheckPicker*>(&d);
    EXPECT_NE(p, nullptr);
    if (!p) return int(QDialog::Rejected);
    seen = Checked(p->List);
    Tick(p->List, "殺菌剤");
    return int(accept ? QDialog::Accepted : QDialog::Rejected);
  });
  {
    TfrmYoto yoto(nullptr);
    EXPECT_FALSE(PickIntoBox(yoto, &button, &box));
  }
  EXPECT_EQ(seen, (std::vector<std::string>{"殺虫剤", "除草剤"}));
  EXPECT_EQ(box.text(), "殺虫剤,除草剤");  // cancelled: unchanged
  accept = true;
  {
    TfrmYoto yoto(nullptr);
    EXPECT_TRUE(PickIntoBox(yoto, &button, &box));
  }
  EXPECT_EQ(box.text(), "殺虫剤,殺菌剤,除草剤");
}

TEST(Pickers, CropTabPickersNarrowTheResult) {
  OPEN_CROP_TAB(t);
  TfrmMain& w = *t.W;
  t.Search("トマト");
  const int all = t.GridDataRows();
  // A pest name holding a blank, and one holding a full-width blank, as a picker lists them.
  AcisDB->FDb->ExecSQL("UPDATE ttTekiyoSaku SET byochu = 'アブラムシ 類' WHERE byochu = 'アブラムシ類';");
  AcisDB->FDb->ExecSQL("UPDATE ttTekiyoSaku SET byochu = 'ハダニ　類' WHERE byochu = 'ハダニ類';");
  const int64_t blanks =
      TCropTab::Count("SELECT count(*) FROM ttTekiyoSaku WHERE byochu IN ('アブラムシ 類', 'ハダニ　類')");
  ASSERT_GT(TCropTab::Count("SELECT count(*) FROM ttTekiyoSaku WHERE byochu = 'ハダニ　類'"), 0);
  ASSERT_GT(TCropTab::Count("SELECT count(*) FROM ttTekiyoSaku WHERE byochu = 'アブラムシ 類'"), 0);
  t.Cs->FillByochuCombo();

  int shown = 0;
  QPoint pos;
  {
    THook hook([&](QDialog& d) {
      ++shown;
      auto* p = qobject_cast<TfrmSakuByochu*>(&d);
      EXPECT_NE(p, nullptr);
      if (!p) return int(QDialog::Rejected);
      pos = d.pos();
      EXPECT_EQ(d.windowTitle(), "病害虫選択");
      EXPECT_TRUE(p->Panel2->isHidden());
      EXPECT_EQ(Items(p->lstByochu).size(), static_cast<size_t>(w.cbByochu->count() - 1));
      EXPECT_EQ(p->cboCID->itemText(0), "全て");
      EXPECT_TRUE(p->ckAll->isChecked());
      p->CheckAll(false);
      Tick(p->lstByochu, "アブラムシ 類");
      Tick(p->lstByochu, "ハダニ　類");
      d.resize(333, 444);
      return int(QDialog::Accepted);
    });
    w.btnByochu->click();
  }
  ASSERT_EQ(shown, 1);
  const QPoint at = w.btnByochu->mapToGlobal(QPoint(0, w.btnByochu->height()));
  EXPECT_LE(pos.x(), at.x());
  EXPECT_LE(pos.y(), at.y());
  EXPECT_EQ(w.cbByochu->currentText(), "\"アブラムシ 類\",\"ハダニ　類\"");
  EXPECT_EQ(t.GridDataRows(), blanks);
  {
    TIniFile ini(OptionData->IniFileName);
    EXPECT_EQ(ini.ReadInteger(SECTION_WINDOW, "DlgByochuWidth", 0), 333);
    EXPECT_EQ(ini.ReadInteger(SECTION_WINDOW, "DlgByochuHeight", 0), 444);
  }
  // Opened again on that text, it ticks exactly the two names; cancelling changes nothing.
  {
    std::vector<std::string> ticked;
    THook hook([&](QDialog& d) {
      auto* p = qobject_cast<TfrmSakuByochu*>(&d);
      if (p) ticked = Checked(p->lstByochu);
      return int(QDialog::Rejected);
    });
    w.btnByochu->click();
    std::sort(ticked.begin(), ticked.end());
    std::vector<std::string> want = {"アブラムシ 類", "ハダニ　類"};
    std::sort(want.begin(), want.end());
    EXPECT_EQ(ticked, want);
  }
  EXPECT_EQ(t.GridDataRows(), blanks);

  // Uses: the result's uses are listed; the chosen one filters the rows.
  const auto uses = TCropTab::Column("SELECT DISTINCT yoto FROM ttTekiyoSaku ORDER BY yoto");
  ASSERT_GE(uses.size(), 2u);
  {
    THook hook([&](QDialog& d) {
      auto* p = qobject_cast<TfrmYoto*>(&d);
      EXPECT_NE(p, nullptr);
      if (!p) return int(QDialog::Rejected);
      EXPECT_EQ(Items(p->lstYoto), uses);
      Tick(p->lstYoto, uses[0]);
      return int(QDialog::Accepted);
    });
    w.btnYoto->click();
  }
  EXPECT_EQ(w.edtYoto->text().toStdString(), uses[0]);
  EXPECT_EQ(t.GridDataRows(), TCropTab::Count("SELECT count(*) FROM ttTekiyoSaku WHERE yoto = '" + uses[0] + "'"));
  EXPECT_EQ(w.cbByochu->itemText(0), "全て");  // the lists were built again

  // Formulations: cancelling leaves the filter as it was.
  const QString zaikei = w.cbZaikei->currentText();
  {
    THook hook([&](QDialog& d) {
      auto* p = qobject_cast<TfrmZaikei*>(&d);
      EXPECT_NE(p, nullptr);
      if (p) {
        EXPECT_EQ(Items(p->lstZaikei).size(), static_cast<size_t>(w.cbZaikei->count() - 1));
        p->ckAll->click();
      }
      return int(QDialog::Rejected);
    });
    w.btnZaikei->click();
  }
  EXPECT_EQ(w.cbZaikei->currentText(), zaikei);

  // Purposes: their own caption, no class filter.
  w.edtYoto->clear();
  emit w.edtYoto->returnPressed();
  EXPECT_EQ(t.GridDataRows(), all);
  t.Search("ぶどう");  // a result with several purposes
  const auto purposes = TCropTab::Column("SELECT DISTINCT mokuteki FROM ttTekiyoSaku WHERE mokuteki <> '' ORDER BY mokuteki");
  ASSERT_GE(purposes.size(), 2u);
  ASSERT_EQ(w.cbMokuteki->count(), static_cast<int>(purposes.size()) + 1);
  int opened = 0;
  {
    THook hook([&](QDialog& d) {
      ++opened;
      auto* p = qobject_cast<TfrmSakuByochu*>(&d);
      EXPECT_NE(p, nullptr);
      if (!p) return int(QDialog::Rejected);
      EXPECT_EQ(d.windowTitle(), "使用目的選択");
      EXPECT_TRUE(p->pnlFilter->isHidden());
      EXPECT_EQ(Checked(p->lstByochu).size(), purposes.size());  // no purpose named: all ticked
      p->CheckAll(false);
      Tick(p->lstByochu, purposes[0]);
      Tick(p->lstByochu, purposes[1]);
      return int(QDialog::Accepted);
    });
    w.btnMokuteki->click();
  }
  EXPECT_EQ(opened, 1);
  EXPECT_EQ(w.cbMokuteki->currentText().toStdString(), purposes[0] + "," + purposes[1]);
  EXPECT_EQ(t.GridDataRows(), TCropTab::Count("SELECT count(*) FROM ttTekiyoSaku WHERE mokuteki IN ('" + purposes[0] +
                                              "','" + purposes[1] + "')"));
}

TEST(Pickers, PestFilterPickerSearchesCropsAndFiltersByClass) {
  OPEN_CROP_TAB(t);
  TfrmSakuByochu p(t.W.get());
  // Nothing ticked: an empty comma text.
  p.SetSourceList({"a", "b"});
  p.CheckAll(false);
  p.accept();
  EXPECT_EQ(p.GetCheckedByochu(), "");

  TfrmSakuByochu q(t.W.get());
  const auto source = TCropTab::Column("SELECT byochu FROM m_byochu ORDER BY idbyochu");
  q.SetSourceList(source);
  EXPECT_EQ(Items(q.lstByochu), source);
  // Weeds in reading order.
  q.cboCID->setCurrentText("雑草");
  q.cboSort->setCurrentIndex(1);
  q.cboSortChange();
  const auto weeds = TCropTab::Column("SELECT byochu FROM m_byochu WHERE cid = 3 ORDER BY ruby");
  ASSERT_FALSE(weeds.empty());
  EXPECT_EQ(Items(q.lstByochu), weeds);
  q.cboCID->setCurrentIndex(0);
  q.cboCIDChange();
  EXPECT_EQ(Items(q.lstByochu), source);
  // Ticks stay through a new order and a class: one weed and one other pest ticked, then the
  // weeds by reading, then every pest again.
  const std::string weed = weeds.back();
  const auto it = std::find_if(source.begin(), source.end(),
                               [&](const std::string& s) { return std::find(weeds.begin(), weeds.end(), s) == weeds.end(); });
  ASSERT_NE(it, source.end());
  const std::string other = *it;
  Tick(q.lstByochu, weed);
  Tick(q.lstByochu, other);
  q.cboSort->setCurrentIndex(0);
  q.cboSortChange();  // every pest by number
  EXPECT_EQ(Checked(q.lstByochu).size(), 2u);
  q.cboCID->setCurrentText("雑草");
  q.cboSort->setCurrentIndex(1);
  q.cboSortChange();  // the weeds by reading
  EXPECT_EQ(Items(q.lstByochu), weeds);
  EXPECT_EQ(Checked(q.lstByochu), std::vector<std::string>{weed});
  EXPECT_FALSE(q.ckAll->isChecked());
  q.cboCID->setCurrentIndex(0);
  q.cboCIDChange();
  auto both = std::vector<std::string>{weed, other};
  auto got = Checked(q.lstByochu);
  std::sort(both.begin(), both.end());
  std::sort(got.begin(), got.end());
  EXPECT_EQ(got, both);
  // "全解除" forgets them all, also those out of the list.
  q.cboCID->setCurrentText("雑草");
  q.cboCIDChange();
  q.btnClearAll->click();
  q.cboCID->setCurrentIndex(0);
  q.cboCIDChange();
  EXPECT_TRUE(Checked(q.lstByochu).empty());
  // A class name with a quote finds no class and leaves the list.
  q.cboCID->addItem("病'害");
  q.cboCID->setCurrentText("病'害");
  q.cboCIDChange();
  EXPECT_EQ(Items(q.lstByochu), source);

  // The crop search inside the picker: ticking a crop lists its pests.
  q.edtInput->setText("芝");
  q.SearchSakumotsu();
  ASSERT_GT(q.lstSakumotu->count(), 0);
  Tick(q.lstSakumotu, "芝");
  EXPECT_EQ(Items(q.lstByochu),
            TCropTab::Column("SELECT DISTINCT byochu FROM tekiyo WHERE sakumotsu = '芝' ORDER BY byochu"));
  Tick(q.lstSakumotu, "芝", false);
  EXPECT_EQ(q.lstByochu->count(), 0);
  // Typed quotes stay search words.
  TCropTab::Sink().Clear();
  q.edtInput->setText("芝'); DROP TABLE m_kihon; --");
  q.SearchSakumotsu();
  EXPECT_GT(TCropTab::Count("SELECT count(*) FROM m_kihon"), 0);
  for (const auto& m : TCropTab::Sink().Messages()) EXPECT_NE(m.caption, "SQL エラー") << m.text;
}

TEST(Pickers, TemplatePestPickerWritesIntoItsTarget) {
  OPEN_CROP_TAB(t);
  TfrmByochu p(t.W.get());
  QLineEdit target;
  p.TargetEdit = &target;
  ASSERT_GT(p.cboCID->count(), 1);
  EXPECT_EQ(p.cboCID->itemText(0), "");
  p.edtInput->setText("芝");
  p.SearchSakumotsu();
  ASSERT_GT(p.lstSakumotsu->count(), 0);
  Tick(p.lstSakumotsu, "芝");
  const auto pests = Items(p.lstByochu);
  ASSERT_GT(pests.size(), 2u);
  EXPECT_TRUE(p.ckAll->isEnabled());
  // A class narrows the list; the empty item removes the condition again.
  p.cboCID->setCurrentText("雑草");
  const auto weeds = Items(p.lstByochu);
  EXPECT_LT(weeds.size(), pests.size());
  EXPECT_FALSE(weeds.empty());
  p.cboCID->setCurrentIndex(0);
  EXPECT_EQ(Items(p.lstByochu).size(), pests.size());

  Tick(p.lstByochu, "葉腐病(ラージパッチ)");
  Tick(p.lstByochu, "雑草");
  p.btnAddClick();
  const QString once = target.text();
  EXPECT_TRUE(once.contains("葉腐病（ラージパッチ）"));
  EXPECT_FALSE(once.contains("("));
  p.btnAddClick();
  EXPECT_EQ(target.text(), once + "," + once);  // "追加" twice writes twice
  EXPECT_EQ(p.SelectedList.size(), 2);
  p.btnReplaceClick();
  EXPECT_EQ(target.text(), once);
  // Unticking the last crop empties the pest list; nothing is written then.
  Tick(p.lstSakumotsu, "芝", false);
  EXPECT_EQ(p.lstByochu->count(), 0);
  p.btnReplaceClick();
  EXPECT_EQ(target.text(), once);
}

TEST(Pickers, TemplatePestPickerOpensOnTheCropArgument) {
  OPEN_CROP_TAB(t);
  QLineEdit target;
  target.setText("既存");
  std::string input;
  THook hook([&](QDialog& d) {
    auto* p = qobject_cast<TfrmByochu*>(&d);
    EXPECT_NE(p, nullptr);
    if (!p) return int(QDialog::Rejected);
    input = p->edtInput->text().toStdString();
    Tick(p->lstSakumotsu, "芝");
    Tick(p->lstByochu, "雑草");
    p->btnAddClick();
    d.resize(400, 500);
    return int(QDialog::Rejected);  // "閉じる"
  });
  ShowTemplatePestPicker(t.W.get(), t.W->btnByochu, "'芝'", &target);
  EXPECT_EQ(input, "芝");
  EXPECT_EQ(target.text(), "既存,雑草");
  TIniFile ini(OptionData->IniFileName);
  EXPECT_EQ(ini.ReadInteger(SECTION_WINDOW, "DlgTplByochuWidth", 0), 400);
  EXPECT_GT(ini.ReadInteger(SECTION_WINDOW, "DlgTplByochuSakumotsuListboxHeight", 0), 0);
}

TEST(Pickers, PestTabCropPickerDrillsDownAndLeavesExclusionsOut) {
  OPEN_CROP_TAB(t);
  t.Search("果樹類");
  AcisDB->FDb->ExecSQL("DELETE FROM ttTekiyoByochu; INSERT INTO ttTekiyoByochu SELECT * FROM ttTekiyoSaku;");
  ASSERT_GT(TCropTab::Count("SELECT count(*) FROM ttTekiyoByochu WHERE sakumotsu LIKE '%を除く%'"), 0);
  TfrmTabByochuSaku p(t.W.get());
  p.ShowAllLevels();
  const auto crops = Items(p.lstSakumotsu);
  ASSERT_FALSE(crops.empty());
  for (const auto& c : crops) EXPECT_EQ(c.find("を除く"), std::string::npos) << c;
  EXPECT_EQ(crops.size(), static_cast<size_t>(TCropTab::Count(
                              "SELECT count(DISTINCT sakumotsu) FROM ttTekiyoByochu WHERE sakumotsu NOT LIKE '%を除く%'")));
  ASSERT_EQ(p.cbLevel0->count(), 2);
  EXPECT_EQ(p.cbLevel0->itemText(1), "果樹類");
  EXPECT_FALSE(p.cbLevel1->isEnabled());

  p.cbLevel0->setCurrentIndex(1);
  p.cbLevel0Change();
  EXPECT_EQ(p.Prefix(), "14");
  EXPECT_TRUE(p.cbLevel1->isEnabled());
  ASSERT_GT(p.cbLevel1->count(), 2);
  EXPECT_EQ(p.cbLevel1->itemText(0), "全て");
  const QString group = p.cbLevel1->itemText(1);
  p.cbLevel1->setCurrentIndex(1);
  p.cbLevel1Change();
  const std::string prefix = TCropTab::Column("SELECT substr(idsaku,1,4) FROM m_sakumotsu WHERE level = 1 AND sakumotsu = '" +
                                              group.toStdString() + "'")
                                 .at(0);
  EXPECT_EQ(p.Prefix(), prefix);
  const auto sub = Items(p.lstSakumotsu);
  ASSERT_FALSE(sub.empty());
  EXPECT_EQ(sub.size(), static_cast<size_t>(TCropTab::Count(
                            "SELECT count(DISTINCT sakumotsu) FROM ttTekiyoByochu WHERE idsaku LIKE '" + prefix +
                            "%' AND sakumotsu NOT LIKE '%を除く%'")));
  // Reading order keeps the same crops.
  p.cbOrder->setCurrentIndex(1);
  p.cbOrderChange();
  EXPECT_EQ(std::multiset<std::string>(sub.begin(), sub.end()),
            [&] {
              auto v = Items(p.lstSakumotsu);
              return std::multiset<std::string>(v.begin(), v.end());
            }());
  // Level 0 back to "全て": everything again.
  p.cbLevel0->setCurrentIndex(0);
  p.cbLevel0Change();
  EXPECT_EQ(Items(p.lstSakumotsu).size(), crops.size());
  EXPECT_FALSE(p.cbLevel1->isEnabled());
  Tick(p.lstSakumotsu, crops[0]);
  p.accept();
  EXPECT_EQ(p.GetCheckedSakumotsu(), crops[0]);
}

// Enter, as a user presses it in the pest filter picker: in the list it confirms the ticks
// (it ticked every pest through "全選択" instead), in the crop search box it searches and the
// picker stays open.
TEST(Pickers, EnterInThePestFilterPickerConfirmsOrSearches) {
  OPEN_CROP_TAB(t);
  TfrmSakuByochu p(t.W.get());
  p.SetSourceList({"うどんこ病", "灰色かび病", "アブラムシ類"});
  p.CheckAll(false);
  Tick(p.lstByochu, "灰色かび病");
  p.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&p));
  p.lstByochu->setFocus();
  QTest::keyClick(p.lstByochu, Qt::Key_Return);
  EXPECT_EQ(p.result(), int(QDialog::Accepted));
  EXPECT_FALSE(p.isVisible());
  EXPECT_EQ(p.GetCheckedByochu(), "灰色かび病");

  TfrmSakuByochu q(t.W.get());
  q.SetSourceList({"うどんこ病"});
  q.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&q));
  q.edtInput->setFocus();
  q.edtInput->setText("芝");
  QTest::keyClick(q.edtInput, Qt::Key_Return);
  EXPECT_TRUE(q.isVisible());
  EXPECT_GT(q.lstSakumotu->count(), 0);
  EXPECT_EQ(Items(q.lstByochu), std::vector<std::string>{"うどんこ病"});
  EXPECT_TRUE(Checked(q.lstByochu).empty());
}
