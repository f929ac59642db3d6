// The chemical search on the sample register: crop texts, chemical texts, registration
// numbers, the lists of related products and the working tables behind them.
#include <sqlite3.h>

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QTabWidget>
#include <QTest>
#include <QTreeWidgetItemIterator>

#include "database/acis_fill.h"
#include "foundation/check_list_box_ex.h"
#include "foundation/check_tree_view.h"
#include "frontend/chemical/chemical_tab_fixture.h"
#include "frontend/crop/dlg_sakumotsu.h"
#include "frontend/main_services.h"
#include "frontend/picker_placement.h"

namespace {

// Products (trade names) with a use on a crop whose name contains Crop.
std::set<std::string> TsushoOnCrops(const std::string& Like) {
  return TChemTab::Column(
      "SELECT DISTINCT k.tsusho FROM m_kihon k JOIN m_tekiyo t USING(bango) WHERE t.sakumotsu LIKE '%" + Like + "%'");
}

// The number item of the two-ingredient product 2713.
std::string Item2713() {
  return BangoItem(2713, *TChemTab::Column("SELECT meisho FROM m_kihon WHERE bango = 2713").begin());
}

}  // namespace

TEST(ChemicalSearch, CropTextAloneListsTheCropsProducts) {
  OPEN_CHEM_TAB(t);
  t.Pickup("", "トマト");
  const std::set<std::string> listed = t.ItemSet(t.W->lstTsusho);
  ASSERT_FALSE(listed.empty());
  // Every product with a use on トマト itself is listed, and nothing without a tomato use.
  for (const std::string& n : TChemTab::Column("SELECT DISTINCT k.tsusho FROM m_kihon k JOIN m_tekiyo t "
                                               "USING(bango) WHERE t.sakumotsu = 'トマト'"))
    EXPECT_TRUE(listed.count(n)) << n;
  const std::set<std::string> tomato = TsushoOnCrops("トマト");
  for (const std::string& n : listed) EXPECT_TRUE(tomato.count(n)) << n;
  // Numbers list the same products; the crop names are kept for the sheet.
  EXPECT_EQ(static_cast<size_t>(t.W->lstBango->count()),
            TChemTab::Column("SELECT bango FROM t_yaku").size());
  EXPECT_TRUE(t.Cs->CropTextResolved);
  EXPECT_NE(t.Cs->CandidateCropNames.find("トマト"), std::string::npos);
  EXPECT_TRUE(t.Cs->Restricted());
  EXPECT_EQ(t.W->pgYakuzaiSide->currentWidget(), t.W->tabTsusho);
  // Search words that are no crop name are looked up as words.
  t.Pickup("", "とまと");
  EXPECT_EQ(t.ItemSet(t.W->lstTsusho), listed);
}

TEST(ChemicalSearch, UnmatchedCropListsNothing) {
  OPEN_CHEM_TAB(t);
  t.Pickup("乳剤");
  ASSERT_GT(t.W->lstTsusho->count(), 0);
  t.Click(t.W->lstTsusho, t.Items(t.W->lstTsusho).front());
  ASSERT_GT(t.Cs->cbSeibun->count(), 0);
  // A crop text that matches no crop: every list and selector emptied, no message.
  t.Sink().Clear();
  t.Pickup("乳剤", "ありえないさくもつ");
  EXPECT_EQ(t.W->lstTsusho->count(), 0);
  EXPECT_EQ(t.W->lstBango->count(), 0);
  EXPECT_EQ(t.Cs->cbSeibun->count(), 0);
  EXPECT_EQ(t.Cs->lstTsushoSeibun->count(), 0);
  EXPECT_EQ(t.Cs->lstSeibunPluralCk->count(), 0);
  EXPECT_EQ(t.Sink().Count(), 0u);
  // A crop that exists but has no product: the chemical text finds nothing on it (an empty
  // t_bango is no licence to list every product).
  ASSERT_TRUE(TChemTab::Column("SELECT bango FROM m_tekiyo WHERE sakumotsu = 'そば'").empty());
  t.Pickup("乳剤", "そば");
  EXPECT_EQ(t.W->lstTsusho->count(), 0);
  EXPECT_EQ(t.W->lstBango->count(), 0);
  EXPECT_TRUE(t.Cs->Restricted());
  // Without the crop the same text lists its products again.
  t.Pickup("乳剤");
  EXPECT_GT(t.W->lstTsusho->count(), 0);
  EXPECT_FALSE(t.Cs->Restricted());
}

TEST(ChemicalSearch, ExactTradeNameOpensItsSheet) {
  OPEN_CHEM_TAB(t);
  const std::string name = "MEP・BPMC粉剤";
  t.Pickup(QString::fromStdString(name));
  ASSERT_EQ(t.Items(t.W->lstTsusho), std::vector<std::string>{name});
  EXPECT_EQ(t.Cs->LastListItem, name);
  EXPECT_EQ(t.W->cbYakuzai->count(), 1);
  EXPECT_EQ(t.W->cbYakuzai->currentText().toStdString(), Item2713());
  EXPECT_EQ(t.Cs->Sheet->ShownBango(), 2713);
  EXPECT_EQ(t.Cs->Sheet->LabelCount->text(), "1剤");
  EXPECT_FALSE(t.W->gdYakuzai->isHidden());
  EXPECT_EQ(t.Cs->cbSeibun->count(), 2);
  // The same trade name clicked again does not open the product again.
  const int queries = t.W->gdYakuzai->RowCount();
  t.W->mLog->clear();
  t.Click(t.W->lstTsusho, name);
  EXPECT_FALSE(t.W->mLog->toPlainText().contains("SQL>"));
  EXPECT_EQ(t.W->gdYakuzai->RowCount(), queries);
  // A part of a name lists several products and opens none by itself.
  t.Pickup("乳剤");
  EXPECT_GT(t.W->lstTsusho->count(), 1);
  EXPECT_TRUE(t.Cs->LastListItem.empty());
}

TEST(ChemicalSearch, RegistrationNumbersShowTheNumberPage) {
  OPEN_CHEM_TAB(t);
  for (const char* text : {"2713", "２７１３"}) {
    t.Pickup(text);
    EXPECT_EQ(t.Items(t.W->lstBango), std::vector<std::string>{Item2713()}) << text;
    EXPECT_EQ(t.W->pgYakuzaiSide->currentWidget(), t.W->tabBango) << text;
  }
  // A number item opens its product; the related lists follow the number.
  t.Click(t.W->lstBango, Item2713());
  EXPECT_EQ(t.Cs->Sheet->ShownBango(), 2713);
  EXPECT_EQ(t.Cs->cbSeibun->count(), 2);
  t.Pickup(">9600");
  const std::set<std::string> expected = TChemTab::Column("SELECT bango FROM m_kihon WHERE bango >= 9600");
  EXPECT_EQ(static_cast<size_t>(t.W->lstBango->count()), expected.size());
  // ">0" is a keyword, not every number.
  t.Pickup(">0");
  EXPECT_LT(static_cast<size_t>(t.W->lstBango->count()), TChemTab::Column("SELECT bango FROM m_kihon").size());
}

TEST(ChemicalSearch, TwoKeywordsMustBothOccur) {
  OPEN_CHEM_TAB(t);
  t.Pickup("MEP、BPMC");
  const std::set<std::string> listed = t.ItemSet(t.W->lstTsusho);
  ASSERT_FALSE(listed.empty());
  // Every product holding both ingredients is listed; every listed one names both.
  for (const std::string& n : TChemTab::Column(
           "SELECT tsusho FROM m_kihon WHERE 'MEP' IN (seibun1,seibun2,seibun3,seibun4,seibun5) AND 'BPMC' IN "
           "(seibun1,seibun2,seibun3,seibun4,seibun5)"))
    EXPECT_TRUE(listed.count(n)) << n;
  const std::set<std::string> both = TChemTab::Column(
      "SELECT k.tsusho FROM m_kihon k JOIN kwlists w USING(bango) WHERE instr(w.kws, 'MEP') AND instr(w.kws, 'BPMC')");
  for (const std::string& n : listed) EXPECT_TRUE(both.count(n)) << n;
  t.Pickup("MEP");
  EXPECT_GT(t.ItemSet(t.W->lstTsusho).size(), listed.size());
  // "＆" and a quote: no SQL error, nothing found for the quote.
  t.Sink().Clear();
  t.Pickup("MEP＆x'); DROP TABLE m_kihon; --");
  EXPECT_EQ(t.W->lstTsusho->count(), 0);
  EXPECT_FALSE(TChemTab::Column("SELECT count(*) FROM m_kihon").empty());
  for (const auto& m : t.Sink().Messages()) EXPECT_EQ(m.text.find("SQL"), std::string::npos) << m.text;
}

TEST(ChemicalSearch, RelatedListsOfAProduct) {
  OPEN_CHEM_TAB(t);
  t.Pickup("ブナフ液剤L");
  t.Click(t.W->lstTsusho, "ブナフ液剤L");
  ASSERT_EQ(t.Cs->cbSeibun->currentText(), "シメトリン");
  // Same ingredient: every product holding it, in reading order.
  const std::set<std::string> same =
      TChemTab::Column("SELECT tsusho FROM m_kihon WHERE 'シメトリン' IN (seibun1,seibun2,seibun3,seibun4,seibun5)");
  EXPECT_EQ(t.ItemSet(t.Cs->lstTsushoSeibun), same);
  // All of several ingredients: names that share their reading stay apart.
  ASSERT_TRUE(same.count("ブナフ液剤L") && same.count("ブナフ液剤L2"));
  EXPECT_EQ(t.ItemSet(t.Cs->lstTsushoSeibunPlural), same);
  EXPECT_EQ(static_cast<size_t>(t.Cs->lstTsushoSeibunPlural->count()), same.size());
  // A related item opens its products.
  t.Click(t.Cs->lstTsushoSeibun, "ブナフ液剤L2");
  EXPECT_EQ(t.Cs->Sheet->ShownBango(), 9685);
  EXPECT_EQ(t.Cs->LastListItem, "ブナフ液剤L2");
}

TEST(ChemicalSearch, TickedIngredientsListProductsHoldingAll) {
  OPEN_CHEM_TAB(t);
  t.Pickup("MEP・BPMC粉剤");
  ASSERT_EQ(t.Cs->lstSeibunPluralCk->count(), 2);
  const std::set<std::string> both = TChemTab::Column(
      "SELECT tsusho FROM m_kihon WHERE 'MEP' IN (seibun1,seibun2,seibun3,seibun4,seibun5) AND 'BPMC' IN "
      "(seibun1,seibun2,seibun3,seibun4,seibun5)");
  EXPECT_EQ(t.ItemSet(t.Cs->lstTsushoSeibunPlural), both);
  // Unticking BPMC: every product holding MEP.
  for (int i = 0; i < t.Cs->lstSeibunPluralCk->count(); ++i)
    if (t.Cs->lstSeibunPluralCk->item(i)->text() == "BPMC") t.Cs->lstSeibunPluralCk->SetChecked(i, false);
  EXPECT_EQ(t.ItemSet(t.Cs->lstTsushoSeibunPlural),
            TChemTab::Column("SELECT tsusho FROM m_kihon WHERE 'MEP' IN (seibun1,seibun2,seibun3,seibun4,seibun5)"));
  // Nothing ticked: nothing listed.
  t.Cs->lstSeibunPluralCk->SetChecked(0, false);
  t.Cs->lstSeibunPluralCk->SetChecked(1, false);
  EXPECT_EQ(t.Cs->lstTsushoSeibunPlural->count(), 0);
}

// After a data update (Ctrl+Y) the lists of the chemical tab rest on the new connection: the
// pickup runs again, and unticking an ingredient of 複数 lists products instead of failing
// with an SQL error on the old connection's working table.
TEST(ChemicalSearch, ListsFollowADataUpdate) {
  OPEN_CHEM_TAB(t);
  SetMainWindowServices(std::make_unique<TStandInUpdate>(TStandInUpdate::Opens));
  t.Pickup("MEP・BPMC粉剤");
  ASSERT_EQ(t.Cs->lstSeibunPluralCk->count(), 2);
  t.W->activateWindow();
  QWidget* focus = QApplication::focusWidget() ? QApplication::focusWidget() : t.W.get();
  QTest::keyClick(focus, Qt::Key_Y, Qt::ControlModifier);
  Pump();
  SetMainWindowServices(nullptr);
  EXPECT_EQ(t.Items(t.W->lstTsusho), std::vector<std::string>{"MEP・BPMC粉剤"});
  ASSERT_EQ(t.Cs->lstSeibunPluralCk->count(), 2);
  TChemTab::Sink().Clear();
  for (int i = 0; i < t.Cs->lstSeibunPluralCk->count(); ++i)
    if (t.Cs->lstSeibunPluralCk->item(i)->text() == "BPMC") t.Cs->lstSeibunPluralCk->SetChecked(i, false);
  for (const auto& m : TChemTab::Sink().Messages()) ADD_FAILURE() << m.caption << ": " << m.text;
  EXPECT_EQ(t.ItemSet(t.Cs->lstTsushoSeibunPlural),
            TChemTab::Column("SELECT tsusho FROM m_kihon WHERE 'MEP' IN (seibun1,seibun2,seibun3,seibun4,seibun5)"));
}

TEST(ChemicalSearch, UseComboAndCropRestrictTheLists) {
  OPEN_CHEM_TAB(t);
  t.W->eYakuzai->setText("乳剤");
  QComboBox* yoto = t.W->cbYotoTabYakuzai;
  const int i = yoto->findText("除草剤");
  ASSERT_GT(i, 0);
  yoto->setCurrentIndex(i);
  emit yoto->activated(i);
  EXPECT_TRUE(t.W->eYakuzai->text().isEmpty());  // the use replaces the chemical text
  EXPECT_EQ(t.ItemSet(t.W->lstTsusho), TChemTab::Column("SELECT tsusho FROM m_kihon WHERE yoto = '除草剤'"));
  EXPECT_FALSE(t.Cs->Restricted());
  // With a crop text the use narrows the crop's products.
  t.W->eYakuzaiTabSakumotsu->setText("トマト");
  emit yoto->activated(i);
  for (const std::string& n : t.ItemSet(t.W->lstTsusho))
    EXPECT_FALSE(TChemTab::Column("SELECT 1 FROM m_kihon WHERE yoto = '除草剤' AND tsusho = '" + n + "'").empty()) << n;
  // A chemical text drops the use restriction.
  t.Pickup("乳剤", "");
  EXPECT_EQ(yoto->currentIndex(), -1);
}

TEST(ChemicalSearch, KeysInTheEditsAndLists) {
  OPEN_CHEM_TAB(t);
  // The search action follows the two edits on this tab.
  t.W->pgSearch->setCurrentIndex(tiSakumotsu);
  t.W->pgSearch->setCurrentIndex(tiYakuzai);
  EXPECT_FALSE(t.W->actSearchTekiyou->isEnabled());
  t.W->eYakuzaiTabSakumotsu->setText("トマト");
  EXPECT_TRUE(t.W->actSearchTekiyou->isEnabled());
  t.W->eYakuzaiTabSakumotsu->clear();
  EXPECT_FALSE(t.W->actSearchTekiyou->isEnabled());
  t.W->activateWindow();
  // Enter in the chemical edit runs the pickup and keeps the focus there.
  t.W->eYakuzai->setFocus();
  t.W->eYakuzai->setText("乳剤");
  QTest::keyClick(t.W->eYakuzai, Qt::Key_Return);
  EXPECT_GT(t.W->lstTsusho->count(), 1);
  EXPECT_EQ(t.Cs->PickupCount, 1);
  // A typed character makes a looked-up crop text search words again; arrows do not.
  t.Pickup("", "トマト");
  ASSERT_TRUE(t.Cs->CropTextResolved);
  QTest::keyClick(t.W->eYakuzaiTabSakumotsu, Qt::Key_Left);
  EXPECT_TRUE(t.Cs->CropTextResolved);
  QTest::keyClick(t.W->eYakuzaiTabSakumotsu, Qt::Key_A);
  EXPECT_FALSE(t.Cs->CropTextResolved);
  // Arrow keys held in the list open the product once, when released.
  t.Pickup("乳剤");
  QListWidget* l = t.W->lstTsusho;
  l->setFocus();
  l->setCurrentRow(0);
  t.W->mLog->clear();
  QTest::keyPress(l, Qt::Key_Down);
  QTest::keyPress(l, Qt::Key_Down, Qt::NoModifier);
  EXPECT_TRUE(t.Cs->LastListItem.empty());
  QTest::keyRelease(l, Qt::Key_Down);
  EXPECT_EQ(t.Cs->LastListItem, l->currentItem()->text().toStdString());
  EXPECT_EQ(t.W->mLog->toPlainText().count("FROM m_kihon WHERE tsusho ="), 1);
  // Ctrl+C in a list copies its item, not the result grid; Ctrl+T runs the pickup.
  QApplication::clipboard()->clear();
  QTest::keyClick(l, Qt::Key_C, Qt::ControlModifier);
  EXPECT_EQ(QApplication::clipboard()->text(), l->currentItem()->text());
  const int pickups = t.Cs->PickupCount;
  QTest::keyClick(l, Qt::Key_T, Qt::ControlModifier);
  EXPECT_EQ(t.Cs->PickupCount, pickups + 1);
  // So in each list of trade names or numbers, its page shown and the focus on it.
  TChemicalSearch& cs = *t.Cs;
  for (QListWidget* list : {t.W->lstTsusho, t.W->lstBango, cs.lstTsushoSeibun, cs.lstTsushoKeito, cs.lstSayoten,
                            cs.lstRac, cs.lstTsushoSeibunPlural, cs.lstRacKeito}) {
    SCOPED_TRACE(list->objectName().toStdString());
    for (QWidget* p = list; p; p = p->parentWidget())
      if (auto* tabs = qobject_cast<QTabWidget*>(p->parentWidget() ? p->parentWidget()->parentWidget() : nullptr))
        tabs->setCurrentWidget(p);
    list->clear();
    list->addItems({"一つ目の剤", "二つ目の剤"});
    list->setCurrentRow(1);
    list->setFocus();
    Pump(10);
    ASSERT_EQ(QApplication::focusWidget(), list);
    QApplication::clipboard()->clear();
    QTest::keyClick(list, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(), "二つ目の剤");
  }
  // The clear buttons follow the edits.
  EXPECT_FALSE(t.W->bYakuzaiTabYakuzaiClear->isHidden());
  t.W->bYakuzaiTabYakuzaiClear->click();
  EXPECT_TRUE(t.W->eYakuzai->text().isEmpty());
  EXPECT_TRUE(t.W->bYakuzaiTabYakuzaiClear->isHidden());
}

// Scripts with BEGIN ... COMMIT leave no transaction open when a statement fails, and run
// every statement even when the connection was left in single-statement mode.
TEST(ChemicalSearch, ScriptsRollBackAndRunWhole) {
  OPEN_CHEM_TAB(t);
  sqlite3* h = AcisDB->FDb->Handle();
  t.Sink().Clear();
  EXPECT_FALSE(TChemicalSearch::RunScript(
      "BEGIN TRANSACTION;CREATE TEMP TABLE t_probe(a);INSERT INTO no_such_table VALUES(1);COMMIT;"));
  EXPECT_EQ(sqlite3_get_autocommit(h), 1);
  EXPECT_FALSE(AcisDB->TableExists("temp.t_probe"));
  EXPECT_EQ(t.Sink().Count(), 1u);  // the SQL error memo
  AcisDB->SetMultiStatement(false);
  t.Pickup("", "トマト");
  EXPECT_GT(t.W->lstTsusho->count(), 0);
  EXPECT_EQ(sqlite3_get_autocommit(h), 1);
}

TEST(ChemicalSearch, SendKeywordFromAResultGrid) {
  OPEN_CHEM_TAB(t);
  t.W->pgSearch->setCurrentIndex(tiSakumotsu);
  t.W->eYakuzaiTabSakumotsu->setText("トマト");
  t.W->PopupKeyword = "2713";
  t.W->SendToListPage = t.W->tabBango;
  t.Cs->pmnSendToTabYakuzaiClick();
  EXPECT_TRUE(t.W->eYakuzaiTabSakumotsu->text().isEmpty());
  EXPECT_EQ(t.W->pgSearch->currentIndex(), tiYakuzai);
  EXPECT_EQ(t.W->pgYakuzaiSide->currentWidget(), t.W->tabBango);
  EXPECT_EQ(t.Cs->Sheet->ShownBango(), 2713);
}

// The crop picker fills the crop edit with names that need no look-up and runs the pickup;
// a picker closed with nothing chosen runs nothing.
TEST(ChemicalSearch, CropPickerRunsThePickup) {
  OPEN_CHEM_TAB(t);
  struct THook {
    TPickerModalHook Prev;
    explicit THook(TPickerModalHook H) : Prev(SetPickerModalHook(std::move(H))) {}
    ~THook() { SetPickerModalHook(std::move(Prev)); }
  };
  {
    THook hook([](QDialog& d) {
      auto& p = static_cast<TDlgSakumotsu&>(d);
      EXPECT_EQ(p.Mode, 2);
      p.show();
      p.PageControl->setCurrentIndex(0);
      for (QTreeWidgetItemIterator it(p.tvSakumotsu); *it; ++it)
        if ((*it)->text(0) == "なす") p.tvSakumotsu->setCurrentItem(*it);
      p.btnAdd->click();
      p.bCancel->click();
      return static_cast<int>(QDialog::Rejected);
    });
    t.Cs->bYakuzaiTabSakuSelClick();
  }
  EXPECT_EQ(t.W->eYakuzaiTabSakumotsu->text(), "なす");
  EXPECT_TRUE(t.Cs->CropTextResolved);
  EXPECT_EQ(t.Cs->PickupCount, 1);
  for (const std::string& n : TChemTab::Column("SELECT DISTINCT k.tsusho FROM m_kihon k JOIN m_tekiyo t "
                                               "USING(bango) WHERE t.sakumotsu = 'なす'"))
    EXPECT_TRUE(t.ItemSet(t.W->lstTsusho).count(n)) << n;
  {
    THook hook([](QDialog& d) {
      d.show();
      d.close();
      return static_cast<int>(QDialog::Rejected);
    });
    t.Cs->bYakuzaiTabSakuSelClick();
  }
  EXPECT_TRUE(t.W->SakuSelCancelEmpty);
  EXPECT_EQ(t.Cs->PickupCount, 1);
}

// Crop text typed into the chemical tab's crop box: brackets of no expected form are plain
// words (nothing raises, nothing is shown), and words that normalise to nothing add nothing.
TEST(ChemicalSearch, TypedCropTextOfNoExpectedForm) {
  OPEN_CHEM_TAB(t);
  // Typed character by character, as the input method commits them; then the pickup.
  auto typed = [&](const char* text) {
    QLineEdit* e = t.W->eYakuzaiTabSakumotsu;
    e->clear();
    for (const QChar c : QString::fromUtf8(text)) QTest::sendKeyEvent(QTest::Click, e, Qt::Key_unknown, QString(c), {});
    EXPECT_EQ(e->text(), QString::fromUtf8(text));
    t.W->eYakuzai->clear();
    t.Cs->YakuzaiPickup();
    return t.ItemSet(t.W->lstTsusho);
  };
  for (const char* text : {"x栽培)", "x栽培）", "トマト栽培）", "トマト(施設栽培", "（"})
    EXPECT_TRUE(typed(text).empty()) << text;
  const std::set<std::string> tomato = typed("とまと");
  ASSERT_FALSE(tomato.empty());
  EXPECT_EQ(typed("とまと ー"), tomato);
  EXPECT_TRUE(typed("ー").empty());
  EXPECT_EQ(t.Sink().Count(), 0u);
}
