// The chemical picker on the sample register: its lists, the narrowing buttons, what OK
// writes, and the page order, active page and size kept between openings.
#include <QApplication>
#include <QPushButton>
#include <algorithm>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>

#include "foundation/check_list_box_ex.h"
#include "frontend/chemical/chemical_tab_fixture.h"
#include "frontend/chemical/dlg_yakuzai_sel.h"
#include "frontend/picker_placement.h"

namespace {

QAbstractButton* Button(TDlgYakuzaiSel& d, const char* name) {
  QAbstractButton* b = d.findChild<QAbstractButton*>(name);
  EXPECT_NE(b, nullptr) << name;
  return b;
}

void Tick(TCheckListBoxEx* l, const std::string& text) {
  for (int i = 0; i < l->count(); ++i)
    if (l->item(i)->text().toStdString() == text) return l->SetChecked(i, true);
  ADD_FAILURE() << "no item " << text;
}

}  // namespace

TEST(DlgYakuzaiSel, ListsAndNarrowingButtons) {
  OPEN_CHEM_TAB(t);
  TDlgYakuzaiSel d(t.W.get());
  EXPECT_EQ(d.windowTitle(), "薬剤候補");
  EXPECT_FALSE(d.btnOK->isEnabled());
  EXPECT_EQ(t.ItemSet(d.lstTsusho), TChemTab::Column("SELECT tsusho FROM tsushoruby"));
  EXPECT_EQ(t.ItemSet(d.lstSeibun), TChemTab::Column("SELECT seibun FROM bunrui"));
  EXPECT_FALSE(d.btnKanji->isVisible() || d.btnKanji->isEnabled());

  // A kana row: the names whose reading begins with that row (voiced kana included).
  Button(d, "btnKa")->click();
  EXPECT_EQ(t.ItemSet(d.lstTsusho),
            TChemTab::Column("SELECT tsusho FROM tsushoruby WHERE substr(ruby,1,1) IN "
                             "('か','き','く','け','こ','が','ぎ','ぐ','げ','ご')"));
  Button(d, "btnAll")->click();
  EXPECT_EQ(d.lstTsusho->count(), static_cast<int>(TChemTab::Column("SELECT tsusho FROM tsushoruby").size()));

  // "その他" of the ingredients: only the eight other effects, never every ingredient.
  Button(d, "btnSeibun4")->click();
  std::set<std::string> other = TChemTab::Column(
      "SELECT DISTINCT seibun FROM kihon WHERE koka LIKE '%殺そ%' OR koka LIKE '%展着%' OR koka LIKE '%植調%' OR koka "
      "LIKE '%くん蒸%' OR koka LIKE '%薬害軽減%' OR koka LIKE '%誘引%' OR koka LIKE '%忌避%' OR koka LIKE '%蒸散抑制%'");
  other.erase("");  // the spreaders name no ingredient
  EXPECT_EQ(t.ItemSet(d.lstSeibun), other);
  EXPECT_LT(other.size(), TChemTab::Column("SELECT DISTINCT seibun FROM kihon").size());

  // "FRACグループ" puts the group names into the RAC list; OK writes one.
  QLineEdit target;
  target.setText("前の値");
  d.Target = &target;
  d.pgYakuzai->setCurrentWidget(d.tabRac);
  d.btnFracGroup->click();
  const std::set<std::string> groups =
      TChemTab::Column("SELECT DISTINCT fgroup FROM rac WHERE mid LIKE 'F:%' AND fgroup <> ''");
  ASSERT_FALSE(groups.empty());
  EXPECT_EQ(t.ItemSet(d.lstRac), groups);
  EXPECT_FALSE(d.btnOK->isEnabled());
  d.lstRac->setCurrentRow(0);
  EXPECT_TRUE(d.btnOK->isEnabled());
  d.btnOK->click();
  EXPECT_EQ(d.result(), QDialog::Accepted);
  EXPECT_TRUE(groups.count(target.text().toStdString()));
}

TEST(DlgYakuzaiSel, NarrowingWithoutRowsKeepsTheList) {
  OPEN_CHEM_TAB(t);
  AcisDB->FDb->ExecSQL("DELETE FROM tsushoruby WHERE substr(ruby,1,1) IN ('わ','を','ん');");
  TDlgYakuzaiSel d(t.W.get());
  const int before = d.lstTsusho->count();
  d.lstTsusho->setCurrentRow(0);
  ASSERT_TRUE(d.btnOK->isEnabled());
  t.Sink().Clear();
  Button(d, "btnWa")->click();
  EXPECT_EQ(d.lstTsusho->count(), before);
  EXPECT_FALSE(d.btnOK->isEnabled());
  ASSERT_EQ(t.Sink().Count(), 1u);
  EXPECT_EQ(t.Sink().Messages().back().text, "検索条件に一致するデータはありません");
}

// Ticking two ingredients: OK writes both, and the chemical tab lists the products holding
// both of them.
TEST(DlgYakuzaiSel, TwoTickedIngredientsListTheRightNames) {
  OPEN_CHEM_TAB(t);
  t.W->eYakuzai->setText("元の値");
  t.Cs->RunYakuzaiPicker = [](TDlgYakuzaiSel& d) {
    d.pgYakuzai->setCurrentWidget(d.tabSeibun);
    Tick(d.lstSeibun, "メタラキシルM");
    Tick(d.lstSeibun, "シモキサニル");
    EXPECT_TRUE(d.SeibunChecked);
    EXPECT_EQ(d.ChosenText(), "シモキサニル メタラキシルM");
    QTest::mouseClick(d.btnOK, Qt::LeftButton);
    return d.result();
  };
  t.Cs->btnYakuzaiSelClick();
  EXPECT_EQ(t.W->eYakuzai->text(), "シモキサニル メタラキシルM");
  const std::set<std::string> both = TChemTab::Column(
      "SELECT tsusho FROM m_kihon WHERE 'メタラキシルM' IN (seibun1,seibun2,seibun3,seibun4,seibun5) AND 'シモキサニル' "
      "IN (seibun1,seibun2,seibun3,seibun4,seibun5)");
  ASSERT_FALSE(both.empty());
  EXPECT_EQ(t.ItemSet(t.W->lstTsusho), both);

  // Cancel leaves the edit and the lists as they are.
  t.Cs->RunYakuzaiPicker = [](TDlgYakuzaiSel& d) {
    d.lstTsusho->setCurrentRow(0);
    QTest::mouseClick(d.btnCancel, Qt::LeftButton);
    return d.result();
  };
  const int pickups = t.Cs->PickupCount;
  t.Cs->btnYakuzaiSelClick();
  EXPECT_EQ(t.W->eYakuzai->text(), "シモキサニル メタラキシルM");
  EXPECT_EQ(t.Cs->PickupCount, pickups);

  // A double click chooses the item.
  t.Cs->RunYakuzaiPicker = [](TDlgYakuzaiSel& d) {
    d.show();
    d.pgYakuzai->setCurrentWidget(d.tabTsusho);
    QCoreApplication::processEvents();
    d.lstTsusho->setCurrentRow(0);
    const QRect r = d.lstTsusho->visualItemRect(d.lstTsusho->item(0));
    // The first click of a double click, then the second.
    QTest::mouseClick(d.lstTsusho->viewport(), Qt::LeftButton, Qt::NoModifier, r.center());
    QTest::mouseDClick(d.lstTsusho->viewport(), Qt::LeftButton, Qt::NoModifier, r.center());
    return d.result();
  };
  t.Cs->btnYakuzaiSelClick();
  EXPECT_EQ(t.W->eYakuzai->text().toStdString(), *TChemTab::Column("SELECT tsusho FROM tsushoruby ORDER BY ruby LIMIT 1").begin());
}

TEST(DlgYakuzaiSel, PageOrderActivePageAndSizeComeBack) {
  OPEN_CHEM_TAB(t);
  {
    TDlgYakuzaiSel d(t.W.get());
    d.show();
    // The RAC page dragged to the front, the ISO page made second, the group page shown.
    d.pgYakuzai->tabBar()->moveTab(d.pgYakuzai->indexOf(d.tabRac), 0);
    d.pgYakuzai->tabBar()->moveTab(d.pgYakuzai->indexOf(d.tabISO), 1);
    d.pgYakuzai->setCurrentWidget(d.tabKeito);
    d.resize(500, 470);
    d.reject();
  }
  TDlgYakuzaiSel d(t.W.get());
  EXPECT_EQ(d.pgYakuzai->indexOf(d.tabRac), 0);
  EXPECT_EQ(d.pgYakuzai->indexOf(d.tabISO), 1);
  EXPECT_EQ(d.pgYakuzai->indexOf(d.tabTsusho), 2);
  EXPECT_EQ(d.pgYakuzai->currentWidget(), d.tabKeito);
  EXPECT_EQ(d.size(), QSize(std::max(500, d.minimumSizeHint().width()), 470));
  const std::string ini = t.Fx.ReadIni();
  EXPECT_NE(ini.find("YakuzaiSelTabRacPageIndex=0"), std::string::npos);
  EXPECT_NE(ini.find("YakuzaiSelpgYakuzaiActivePageIndex="), std::string::npos);
}

// Every page's tab can be seen: RAC and RAC系統 hid behind scroll arrows at the stored size.
TEST(DlgYakuzaiSel, EveryPageTabInSight) {
  OPEN_CHEM_TAB(t);
  TDlgYakuzaiSel d(t.W.get());
  d.resize(434, 442);
  d.show();
  QApplication::processEvents();
  QTabBar* bar = d.pgYakuzai->tabBar();
  ASSERT_EQ(bar->count(), 8);
  for (int i = 0; i < bar->count(); ++i) EXPECT_LE(bar->tabRect(i).right(), bar->width()) << i;
  EXPECT_LE(bar->mapTo(&d, QPoint(bar->width(), 0)).x(), d.width());
}
