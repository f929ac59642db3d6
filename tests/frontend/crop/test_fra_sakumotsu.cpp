// The crop-selection frame on the sample register: the ways of choosing, the registration-state
// rules, the neighbour mode and the automatic search.
#include <gtest/gtest.h>

#include <QStyle>

#include <QFontMetrics>
#include <sqlite3.h>

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QStyleFactory>
#include <QTest>
#include <QToolBar>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QHelpEvent>
#include <QToolTip>
#include <QLineEdit>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTextDocument>
#include <QToolButton>
#include <algorithm>
#include <cmath>

#include "database/sakumotsu_list.h"
#include "database/sakumotsu_tree.h"
#include "database/sample_acis_db.h"
#include "foundation/check_tree_view.h"
#include "foundation/comma_text.h"
#include "foundation/global.h"
#include "foundation/ini_file.h"
#include "frontend/crop/fra_sakumotsu_base.h"

namespace {

// A frame on a private copy of the sample database, tree and tables filled.
struct TFrameFixture {
  sample_db::TSampleDb Sample;
  std::unique_ptr<TfraSakumotsuBase> Frame;
  // Signals seen: search requests, and the CanSearch value of every change.
  int SearchRequests = 0;
  std::vector<bool> Changes;
  std::vector<std::string> Log;

  bool Open() {
    if (!Sample.Open()) return false;
    Frame = std::make_unique<TfraSakumotsuBase>();
    TAcisDB* db = Sample.Db.get();
    Frame->SetDatabase([db] { return db; });
    Frame->LogMemo = [this](const std::string& l) { Log.push_back(l); };
    Frame->BuildTree();
    Frame->LoadSpecTables();
    Frame->LoadCvoFamilies();
    QObject::connect(Frame.get(), &TfraSakumotsuBase::SearchRequested, [this] { ++SearchRequests; });
    QObject::connect(Frame.get(), &TfraSakumotsuBase::SelectionChanged, [this](bool b) { Changes.push_back(b); });
    return true;
  }
  QTreeWidgetItem* Node(const std::string& name) const {
    QTreeWidgetItem* found = nullptr;
    ForEachTreeNode(Frame->tvSakumotsu, [&](QTreeWidgetItem* n) {
      if (!found && n->text(0).toStdString() == name) found = n;
    });
    return found;
  }
  // A check as the user makes it (mouse on the box or Space).
  void Check(const std::string& name, bool on = true) const {
    QTreeWidgetItem* n = Node(name);
    ASSERT_NE(n, nullptr) << name;
    n->setCheckState(0, on ? Qt::Checked : Qt::Unchecked);
  }
  std::string Main() const { return Frame->eSakumotsu->text().toStdString(); }
  std::string Neighbour() const { return Frame->eKinsetsuSakumotsu->text().toStdString(); }
  int SearchCount() const { return SearchRequests; }
  void ResetSpies() {
    SearchRequests = 0;
    Changes.clear();
  }
};

// A hint as the user reads it.
QString Rendered(const QString& hint) {
  QTextDocument doc;
  doc.setHtml(hint);
  return doc.toPlainText();
}

// Chooses the item Text of a combo box as a user does: the list opened, the item clicked.
void Choose(QComboBox* Combo, const QString& Text) {
  const int i = Combo->findText(Text);
  ASSERT_GE(i, 0) << Combo->objectName().toStdString() << ": " << Text.toStdString();
  Combo->showPopup();
  QAbstractItemView* v = Combo->view();
  const QModelIndex idx = v->model()->index(i, Combo->modelColumn(), Combo->rootModelIndex());
  v->scrollTo(idx);
  QTest::mouseClick(v->viewport(), Qt::LeftButton, {}, v->visualRect(idx).center());
  ASSERT_FALSE(v->isVisible()) << Combo->objectName().toStdString() << ": the list stayed open";
}

QStringList Items(const QComboBox* Combo) {
  QStringList out;
  for (int i = 0; i < Combo->count(); ++i) out << Combo->itemText(i);
  return out;
}

// The commands of the frame that work on the register.
std::vector<QWidget*> RegisterCommands(TfraSakumotsuBase& F) {
  std::vector<QWidget*> out(std::initializer_list<QWidget*>{F.tvSakumotsu, F.edtInput, F.bSearch, F.lvSakumotsu,
                                                             F.tbUpperB, F.cbLg, F.cbMg, F.lvBeppyo1, F.cbFamily,
                                                             F.lvCVO});
  for (QToolBar* bar : {F.tbSakumotsuTree, F.tbSakumotsuSearch})
    for (QAction* a : bar->actions())
      if (QWidget* w = bar->widgetForAction(a)) out.push_back(w);
  return out;
}

// Contrast ratio of two colours (1 to 21) as readability guidelines measure it.
double Contrast(const QColor& A, const QColor& B) {
  auto lum = [](const QColor& c) {
    auto ch = [](double v) { return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
    return 0.2126 * ch(c.redF()) + 0.7152 * ch(c.greenF()) + 0.0722 * ch(c.blueF());
  };
  const double a = lum(A), b = lum(B);
  return (std::max(a, b) + 0.05) / (std::min(a, b) + 0.05);
}

#define OPEN_FRAME(f)   \
  TFrameFixture f;      \
  ASSERT_TRUE(f.Open()) << sample_db::Error()

}  // namespace

TEST(FraSakumotsu, TreeTicksGiveTheSelectionText) {
  OPEN_FRAME(f);
  TfraSakumotsuBase& fr = *f.Frame;
  // Defaults without a settings file: every option on, main crops, forward match.
  EXPECT_TRUE(fr.actCheckUpperTree->isChecked());
  EXPECT_TRUE(fr.actAutoTekiyoView->isChecked());
  EXPECT_TRUE(fr.ForwardMatch);
  EXPECT_TRUE(fr.MainMode());
  EXPECT_FALSE(fr.tbKinsetsu->isEnabled());
  EXPECT_EQ(fr.pgSakumotsu->count(), 5);
  EXPECT_FALSE(fr.pgSakumotsu->isTabVisible(2));
  ASSERT_GT(fr.tvSakumotsu->topLevelItemCount(), 0);
  EXPECT_EQ(fr.CropList()->Count(), 163);

  fr.actCheckUpperTree->setChecked(false);
  f.Check("トマト");
  f.Check("なす");
  EXPECT_EQ(fr.Selection, "トマト,なす");
  EXPECT_EQ(f.Main(), fr.Selection);
  EXPECT_EQ(Rendered(fr.eSakumotsu->toolTip()).toStdString(), fr.Selection);
  EXPECT_TRUE(fr.tbKinsetsu->isEnabled());

  // A crop without registrations does not stay checked.
  f.Check("そば");
  EXPECT_EQ(fr.Selection, "トマト,なす");
  EXPECT_FALSE(fr.tvSakumotsu->GetChecked(f.Node("そば")));

  // Registered only through a higher group (state 2): the groups of every checked crop come
  // along when such a crop is the last checked one in tree order, not when a crop of state 1
  // follows it.  Which crops have state 2 depends on the register: ask it.
  TAcisDB& db = *f.Sample.Db;
  auto first = [&](const std::string& sql) {
    return db.Query(sql, false) ? db.FTbl->FieldAsString(0) : std::string();
  };
  const std::string before = first(
      "SELECT sakumotsu FROM vg_sakumotsu2 WHERE toroku = 2 AND idsaku < (SELECT idsaku FROM m_sakumotsu WHERE "
      "sakumotsu = 'トマト') ORDER BY idsaku LIMIT 1");
  const std::string after = first(
      "SELECT sakumotsu FROM vg_sakumotsu2 WHERE toroku = 2 AND idsaku > (SELECT idsaku FROM m_sakumotsu WHERE "
      "sakumotsu = 'なす') ORDER BY idsaku DESC LIMIT 1");
  ASSERT_FALSE(before.empty());
  ASSERT_FALSE(after.empty());
  f.Check(before);
  EXPECT_EQ(fr.Selection, before + ",トマト,なす");
  f.Check(before, false);
  f.Check(after);
  {
    const std::vector<std::string> got = CommaTextToList(fr.Selection);
    std::vector<std::string> want = {"トマト", "なす", after};
    for (const std::string& n : {std::string("トマト"), std::string("なす"), after})
      for (const std::string& u : SplitCropNames(db.UpperGroup(n))) want.push_back(u);
    EXPECT_GT(got.size(), 3u);
    for (const std::string& w : want) EXPECT_EQ(std::count(got.begin(), got.end(), w), 1) << w << " in " << fr.Selection;
    EXPECT_EQ(got.size(), RemoveDuplicateNames(want).size()) << fr.Selection;
  }
  f.Check(after, false);
  EXPECT_EQ(fr.Selection, "トマト,なす");

  // The upper option: the groups of every checked crop, each name once at its last place.
  fr.actCheckUpperTree->trigger();
  EXPECT_TRUE(fr.actCheckUpperTree->isChecked());
  EXPECT_EQ(fr.Selection, "トマト,なす科野菜類,なす,なす科果菜類,果菜類,野菜類");

  // "全て解除" clears checks and text; clearing the main text also switches the neighbour side off.
  fr.actTreeCheckOff->trigger();
  EXPECT_EQ(fr.Selection, "");
  EXPECT_FALSE(fr.tvSakumotsu->GetChecked(f.Node("トマト")));
  EXPECT_FALSE(fr.tbKinsetsu->isEnabled());
  EXPECT_FALSE(fr.eKinsetsuSakumotsu->isEnabled());
  EXPECT_FALSE(f.Changes.empty());
  EXPECT_FALSE(f.Changes.back());
}

TEST(FraSakumotsu, AutomaticSearchOncePerCheck) {
  OPEN_FRAME(f);
  TfraSakumotsuBase& fr = *f.Frame;
  fr.pgSakumotsu->setCurrentIndex(0);
  // The text is written in two steps (cleared, then set): still one request per check.
  f.Check("トマト");
  EXPECT_EQ(f.SearchCount(), 1);
  EXPECT_EQ(static_cast<int>(f.Changes.size()), 1);
  EXPECT_TRUE(f.Changes.back());
  f.Check("なす");
  EXPECT_EQ(f.SearchCount(), 2);
  // Nothing chosen any more: no search.
  f.ResetSpies();
  f.Check("トマト", false);
  f.Check("なす", false);
  EXPECT_EQ(f.SearchCount(), 1);  // after the first uncheck なす is still chosen
  EXPECT_EQ(fr.Selection, "");
  // A toroku 0 crop changes nothing and searches nothing new beyond its rebuild.
  f.ResetSpies();
  f.Check("そば");
  EXPECT_EQ(f.SearchCount(), 0);

  // Automatic search off: changes are reported, no search; tbTekiyo searches on demand.
  fr.actAutoTekiyoView->setChecked(false);
  f.ResetSpies();
  f.Check("トマト");
  EXPECT_EQ(f.SearchCount(), 0);
  EXPECT_EQ(static_cast<int>(f.Changes.size()), 1);
  fr.tbTekiyo->click();
  EXPECT_EQ(f.SearchCount(), 1);

  // The tree's option does not apply on the other pages.
  fr.actAutoTekiyoView->setChecked(true);
  fr.pgSakumotsu->setCurrentIndex(3);
  f.ResetSpies();
  f.Check("なす");
  EXPECT_EQ(f.SearchCount(), 0);

  // Enter on the tree asks for the search.
  fr.pgSakumotsu->setCurrentIndex(0);
  f.ResetSpies();
  QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
  QCoreApplication::sendEvent(fr.tvSakumotsu, &enter);
  EXPECT_EQ(f.SearchCount(), 1);
}

TEST(FraSakumotsu, NeighbourMode) {
  OPEN_FRAME(f);
  TfraSakumotsuBase& fr = *f.Frame;
  fr.actCheckUpperTree->setChecked(false);
  f.Check("トマト");
  ASSERT_TRUE(fr.tbKinsetsu->isEnabled());
  f.ResetSpies();
  fr.tbKinsetsu->click();
  EXPECT_FALSE(fr.MainMode());
  EXPECT_TRUE(fr.tbKinsetsu->isChecked());
  EXPECT_FALSE(fr.tbMain->isChecked());
  EXPECT_FALSE(fr.tvSakumotsu->GetChecked(f.Node("トマト")));  // the tree starts over
  EXPECT_EQ(fr.Selection, "トマト");
  EXPECT_EQ(f.SearchCount(), 0);  // the neighbour text was empty and stays so

  // Neighbour crops go to the neighbour text; the main crops stay, and so does the search.
  f.Check("なす");
  EXPECT_EQ(fr.Kinsetsu, "なす");
  EXPECT_EQ(f.Neighbour(), "なす");
  EXPECT_EQ(fr.Selection, "トマト");
  EXPECT_EQ(f.SearchCount(), 1);
  ASSERT_FALSE(f.Changes.empty());
  EXPECT_TRUE(f.Changes.back());

  // The neighbour text is built by the same rules, whatever the main side holds: names on
  // both sides stay (the search lists their uses once).  The groups came in on the checked
  // crops' behalf.
  fr.actCheckUpperTree->setChecked(true);
  f.Check("トマト");
  EXPECT_EQ(fr.Kinsetsu, "トマト,なす科野菜類,なす,なす科果菜類,果菜類,野菜類");
  EXPECT_EQ(fr.KinsetsuAdded, (std::vector<std::string>{"なす科野菜類", "なす科果菜類", "果菜類", "野菜類"}));
  EXPECT_EQ(fr.Selection, "トマト");
  EXPECT_TRUE(fr.SelectionAdded.empty());

  // No neighbour crops left: the search stays possible and runs once, on the main crops.
  f.ResetSpies();
  fr.actTreeCheckOff->trigger();
  EXPECT_EQ(fr.Kinsetsu, "");
  EXPECT_EQ(fr.Selection, "トマト");
  ASSERT_EQ(static_cast<int>(f.Changes.size()), 1);
  EXPECT_TRUE(f.Changes.back());
  EXPECT_EQ(f.SearchCount(), 1);

  // Back to the main side: the neighbour text is cleared, the main text kept.
  f.Check("なす");
  ASSERT_FALSE(fr.Kinsetsu.empty());
  fr.tbMain->click();
  EXPECT_TRUE(fr.MainMode());
  EXPECT_TRUE(fr.tbMain->isChecked());
  EXPECT_EQ(fr.Kinsetsu, "");
  EXPECT_EQ(fr.Selection, "トマト");
  fr.tbMain->click();  // a second click changes nothing
  EXPECT_TRUE(fr.MainMode());
  EXPECT_TRUE(fr.tbMain->isChecked());

  // Clearing the main text (the window's "条件消去") clears the neighbour side too.
  fr.tbKinsetsu->click();
  f.Check("なす");
  fr.eSakumotsu->clear();
  EXPECT_EQ(fr.Selection, "");
  EXPECT_EQ(fr.Kinsetsu, "");
  EXPECT_FALSE(fr.tbKinsetsu->isEnabled());
  EXPECT_TRUE(fr.MainMode());  // the next choice goes to the main side
}

TEST(FraSakumotsu, NameSearchPage) {
  OPEN_FRAME(f);
  TfraSakumotsuBase& fr = *f.Frame;
  fr.pgSakumotsu->setCurrentIndex(1);
  fr.actCheckUpperList->setChecked(false);

  // Enter in an empty box does nothing.
  fr.edtInputEnter();
  EXPECT_EQ(fr.lvSakumotsu->topLevelItemCount(), 0);
  EXPECT_EQ(f.SearchCount(), 0);

  fr.resize(249, 500);  // the frame's designed width
  fr.show();
  fr.edtInput->setText("ﾄﾏﾄ");
  fr.edtInputEnter();
  ASSERT_EQ(fr.lvSakumotsu->topLevelItemCount(), 2);
  EXPECT_EQ(fr.Selection, "トマト");
  // The level marks and the whole name fit the name column (a level-5 name is five marks).
  {
    const QFontMetrics fm(fr.lvSakumotsu->font());
    QStyle* st = fr.lvSakumotsu->style();
    const int box = st->pixelMetric(QStyle::PM_IndicatorWidth) + 2 * st->pixelMetric(QStyle::PM_FocusFrameHMargin);
    for (int i = 0; i < fr.lvSakumotsu->topLevelItemCount(); ++i) {
      const QString caption = fr.lvSakumotsu->topLevelItem(i)->text(0);
      EXPECT_GE(fr.lvSakumotsu->columnWidth(0), fm.horizontalAdvance(caption) + box) << caption.toStdString();
      EXPECT_LE(fr.lvSakumotsu->columnWidth(0), 300);
    }
    EXPECT_EQ(fr.lvSakumotsu->topLevelItem(1)->text(0), ">>>>> トマト(施設栽培)");
  }
  EXPECT_EQ(f.SearchCount(), 1);
  ASSERT_FALSE(f.Log.empty());
  EXPECT_NE(f.Log.back().find("vs_sakumotsu2"), std::string::npos);  // the statement is logged

  // A user check rebuilds from the list; the upper option expands every checked crop.
  fr.actCheckUpperList->setChecked(true);
  fr.lvSakumotsu->topLevelItem(1)->setCheckState(0, Qt::Checked);
  EXPECT_EQ(fr.Selection, "なす科野菜類,トマト(施設栽培),トマト,なす科果菜類,果菜類,野菜類");
  // Both crops are checked (トマト by the typed name): only the groups came in for them.
  EXPECT_EQ(fr.SelectionAdded, (std::vector<std::string>{"なす科野菜類", "なす科果菜類", "果菜類", "野菜類"}));
  EXPECT_EQ(f.SearchCount(), 2);
  fr.actSakumotsuListCheckOff->trigger();
  EXPECT_EQ(fr.Selection, "");
  fr.actCheckUpperList->setChecked(false);
  fr.actSakumotsuListCheckALL->trigger();
  EXPECT_EQ(fr.Selection, "トマト,トマト(施設栽培)");

  // Broad match: the search runs again, the checks are gone, the text stays.
  fr.actBroadMatch->trigger();
  EXPECT_FALSE(fr.ForwardMatch);
  EXPECT_TRUE(fr.actBroadMatch->isChecked());
  EXPECT_FALSE(fr.actForwardMatch->isChecked());
  EXPECT_EQ(fr.lvSakumotsu->topLevelItemCount(), 3);
  EXPECT_TRUE(fr.lvSakumotsu->CheckedRecords().empty());
  EXPECT_EQ(fr.Selection, "トマト,トマト(施設栽培)");
  fr.actForwardMatch->trigger();
  EXPECT_TRUE(fr.ForwardMatch);
  EXPECT_FALSE(fr.actBroadMatch->isChecked());

  // No hits: the list is empty and the crop text unchanged.
  f.ResetSpies();
  fr.edtInput->setText("存在しない作物");
  fr.edtInputEnter();
  EXPECT_EQ(fr.lvSakumotsu->topLevelItemCount(), 0);
  EXPECT_EQ(fr.Selection, "トマト,トマト(施設栽培)");
  EXPECT_EQ(f.SearchCount(), 0);

  // Typed quotes are data, never SQL.
  fr.edtInput->setText("'); DROP TABLE m_sakumotsu; --");
  fr.edtInputEnter();
  EXPECT_EQ(fr.lvSakumotsu->topLevelItemCount(), 0);
  EXPECT_TRUE(f.Sample.Db->TableExists("m_sakumotsu"));

  // Hiragana typed: the crop of that name is checked, with the upper option its groups.
  fr.actCheckUpperList->setChecked(true);
  fr.edtInput->setText("なす");
  fr.edtInputEnter();
  EXPECT_EQ(fr.Selection, "なす科野菜類,なす,なす科果菜類,果菜類,野菜類");
}

TEST(FraSakumotsu, CropGroupAndCvoTables) {
  OPEN_FRAME(f);
  TfraSakumotsuBase& fr = *f.Frame;
  ASSERT_GT(fr.lvBeppyo1->topLevelItemCount(), 0);
  ASSERT_GT(fr.cbFamily->count(), 1);
  fr.pgSakumotsu->setCurrentIndex(4);
  fr.cbFamily->setCurrentText("ナス科");
  fr.cbFamilyChange();
  QTreeWidgetItem* tomato = nullptr;
  for (int i = 0; i < fr.lvCVO->topLevelItemCount(); ++i)
    if (fr.lvCVO->topLevelItem(i)->text(12).startsWith("トマト|")) tomato = fr.lvCVO->topLevelItem(i);
  ASSERT_NE(tomato, nullptr);
  fr.lvCVO->setCurrentItem(tomato);
  fr.lvCVOClick();
  EXPECT_EQ(fr.Selection, "トマト,なす科野菜類");
  EXPECT_EQ(f.SearchCount(), 0);  // a click chooses, a double click also searches
  fr.lvCVODblClick();
  EXPECT_EQ(f.SearchCount(), 1);

  // Crop-group table: the 作物名 cell, or its registered groups with tbUpperB.
  fr.pgSakumotsu->setCurrentIndex(3);
  QTreeWidgetItem* row = nullptr;
  for (int i = 0; i < fr.lvBeppyo1->topLevelItemCount(); ++i)
    if (fr.lvBeppyo1->topLevelItem(i)->text(3) == "なす") row = fr.lvBeppyo1->topLevelItem(i);
  ASSERT_NE(row, nullptr);
  fr.lvBeppyo1->setCurrentItem(row);
  f.ResetSpies();
  fr.lvBeppyo1DblClick();
  EXPECT_EQ(fr.Selection, "なす");
  EXPECT_EQ(f.SearchCount(), 1);
  fr.tbUpperB->setChecked(true);
  fr.lvBeppyo1DblClick();
  EXPECT_EQ(fr.Selection, "なす科野菜類,なす,なす科果菜類,果菜類,野菜類");
  // No current row: the text is cleared and nothing is searched.
  fr.lvBeppyo1->setCurrentItem(nullptr);
  f.ResetSpies();
  fr.lvBeppyo1DblClick();
  EXPECT_EQ(fr.Selection, "");
  EXPECT_EQ(f.SearchCount(), 0);
}

TEST(FraSakumotsu, CaptionsAndSettings) {
  {
    OPEN_FRAME(f);
    const struct {
      int width;
      const char *main, *neighbour, *tekiyo;
    } cases[] = {{179, "作.", "近.", "適用"}, {180, "作物.", "近接.", "適用"}, {234, "作物.", "近接.", "適用"},
                 {235, "主作物", "近接作物", "適用検索"}};
    for (const auto& c : cases) {
      f.Frame->tbSakuModeResize(c.width);
      EXPECT_EQ(f.Frame->tbMain->text().toStdString(), c.main) << c.width;
      EXPECT_EQ(f.Frame->tbKinsetsu->text().toStdString(), c.neighbour) << c.width;
      EXPECT_EQ(f.Frame->tbTekiyo->text().toStdString(), c.tekiyo) << c.width;
    }
  }
  {
    // A narrow frame keeps every mode and search button in sight, none in an overflow menu,
    // with the short captions.
    OPEN_FRAME(f);
    TfraSakumotsuBase& fr = *f.Frame;
    fr.resize(249, 500);
    fr.show();
    for (int width : {179, 160, 140, fr.minimumWidth()}) {
      fr.resize(width, 500);
      ASSERT_TRUE(QTest::qWaitFor([&] { return fr.tbSakuMode->width() <= width; }, 2000)) << width;
      QCoreApplication::processEvents();
      for (QToolButton* b : {fr.tbMain, fr.tbKinsetsu, fr.tbTekiyo}) {
        EXPECT_TRUE(b->isVisible()) << width << " " << b->objectName().toStdString();
        EXPECT_LE(b->geometry().right(), fr.tbSakuMode->width()) << width << " " << b->objectName().toStdString();
      }
      EXPECT_EQ(fr.tbTekiyo->text().toStdString(), "適用") << width;
      EXPECT_NE(fr.tbTekiyo->toolButtonStyle(), Qt::ToolButtonIconOnly) << width;
    }
  }
  // Options and column widths go through the settings file.
  QTemporaryDir dir;
  InitGlobals(dir.path().toStdString());
  {
    TIniFile ini(OptionData->IniFileName);
    ini.WriteBool("OPTIONS", "SakumotsuForwardMatch", false);
    ini.WriteBool("OPTIONS", "SakumotsuTreeUpperOn", false);
    ini.WriteInteger("WINDOW", "LvSakumotsuColumns1", 120);
    ini.WriteInteger("WINDOW", "LvSakumotsuColumns2", 900);  // wider than a column may be
    ini.WriteInteger("WINDOW", "LvCVOColumns20", 77);
    ini.UpdateFile();
  }
  {
    TfraSakumotsuBase fr;
    fr.LoadColumnWidths();
    EXPECT_FALSE(fr.ForwardMatch);
    EXPECT_TRUE(fr.actBroadMatch->isChecked());
    EXPECT_FALSE(fr.actCheckUpperTree->isChecked());
    EXPECT_TRUE(fr.actCheckUpperList->isChecked());
    EXPECT_EQ(fr.lvSakumotsu->columnWidth(0), 80);
    EXPECT_EQ(fr.lvSakumotsu->columnWidth(1), 120);
    EXPECT_EQ(fr.lvSakumotsu->columnWidth(2), 300);
    EXPECT_EQ(fr.lvBeppyo1->columnWidth(3), 100);
    EXPECT_EQ(fr.lvCVO->columnWidth(20), 77);
    fr.actAutoTekiyoView->setChecked(false);
    fr.lvBeppyo1->setColumnWidth(0, 66);
  }
  {
    TIniFile ini(OptionData->IniFileName);
    EXPECT_FALSE(ini.ReadBool("OPTIONS", "SakumotsuTreeAutoTekiyoView", true));
    EXPECT_FALSE(ini.ReadBool("OPTIONS", "SakumotsuForwardMatch", true));
    EXPECT_TRUE(ini.ReadBool("OPTIONS", "SakumotsuListAutoTekiyoView", false));
    EXPECT_EQ(ini.ReadInteger("WINDOW", "LvBeppyo1Columns0", 0), 66);
  }
  FinalizeGlobals();
}

TEST(FraSakumotsu, SpaceHintsAndDrawing) {
  OPEN_FRAME(f);
  TfraSakumotsuBase& fr = *f.Frame;
  fr.resize(300, 600);
  fr.show();
  fr.actCheckUpperTree->setChecked(false);
  QTreeWidgetItem* tomato = f.Node("トマト");
  ASSERT_NE(tomato, nullptr);
  for (QTreeWidgetItem* p = tomato->parent(); p; p = p->parent()) p->setExpanded(true);
  fr.tvSakumotsu->setCurrentItem(tomato);
  fr.tvSakumotsu->setFocus();
  // One press of Space changes the check once and rebuilds the selection once.
  for (int round = 0; round < 2; ++round) {
    f.ResetSpies();
    QKeyEvent down(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier, " ");
    QKeyEvent up(QEvent::KeyRelease, Qt::Key_Space, Qt::NoModifier, " ");
    QCoreApplication::sendEvent(fr.tvSakumotsu, &down);
    QCoreApplication::sendEvent(fr.tvSakumotsu, &up);
    EXPECT_EQ(fr.tvSakumotsu->GetChecked(tomato), round == 0);
    EXPECT_EQ(fr.Selection, round == 0 ? "トマト" : "");
    EXPECT_EQ(static_cast<int>(f.Changes.size()), 1);
    EXPECT_EQ(fr.tvSakumotsu->currentItem(), tomato);
  }

  // Hover hints: the crop's hint, and the node is remembered.
  const QRect r = fr.tvSakumotsu->visualItemRect(tomato);
  ASSERT_TRUE(r.isValid());
  // A hint may come while a fill loop reads the database's current result: it stays in place.
  ASSERT_TRUE(f.Sample.Db->Query("SELECT 1 AS x", false));
  const TSQLiteTbl* current = f.Sample.Db->FTbl.get();
  QHelpEvent tip(QEvent::ToolTip, r.center(), fr.tvSakumotsu->viewport()->mapToGlobal(r.center()));
  QCoreApplication::sendEvent(fr.tvSakumotsu->viewport(), &tip);
  EXPECT_EQ(fr.HintNode, tomato);
  EXPECT_EQ(f.Sample.Db->FTbl.get(), current);
  EXPECT_TRUE(Rendered(QToolTip::text()).contains("【上位分類】")) << QToolTip::text().toStdString();
  EXPECT_TRUE(Rendered(QToolTip::text()).startsWith("トマト"));

  // Crops without registration are grey in the tree; the result list marks states 2 and 0.
  EXPECT_EQ(f.Node("そば")->data(0, kCropDrawRole).toInt(), cdGreyText);
  EXPECT_EQ(tomato->data(0, kCropDrawRole).toInt(), cdNormal);
  fr.ShowSearchResult(
      "SELECT class,idsaku,toroku,shukakubui,sakumotsu,betsumei,gunmei FROM vs_sakumotsu2 WHERE toroku IN (0,2) "
      "ORDER BY idsaku;");
  ASSERT_GT(fr.lvSakumotsu->topLevelItemCount(), 0);
  for (int i = 0; i < fr.lvSakumotsu->topLevelItemCount(); ++i) {
    QTreeWidgetItem* it = fr.lvSakumotsu->topLevelItem(i);
    const int toroku = TCropResultList::RecordOf(it)->toroku;
    EXPECT_EQ(it->data(1, kCropDrawRole).toInt(), toroku == 2 ? cdUpperOnly : cdUnregistered);
  }
  // Hovering the result list: the first hint of a crop queries, hovering it again (or the
  // same crop in a new result) takes the crop list's cache.
  {
    fr.resize(400, 600);
    QTreeWidgetItem* first = fr.lvSakumotsu->topLevelItem(0);
    QTreeWidgetItem* second = fr.lvSakumotsu->topLevelItemCount() > 1 ? fr.lvSakumotsu->topLevelItem(1) : nullptr;
    ASSERT_NE(second, nullptr);
    fr.pgSakumotsu->setCurrentIndex(1);
    int statements = 0;
    sqlite3_trace_v2(
        f.Sample.Db->FDb->Handle(), SQLITE_TRACE_STMT,
        [](unsigned, void* n, void*, void*) {
          ++*static_cast<int*>(n);
          return 0;
        },
        &statements);
    auto hover = [&](QTreeWidgetItem* it) {
      const QRect ir = fr.lvSakumotsu->visualItemRect(it);
      QHelpEvent e(QEvent::ToolTip, ir.center(), fr.lvSakumotsu->viewport()->mapToGlobal(ir.center()));
      QCoreApplication::sendEvent(fr.lvSakumotsu->viewport(), &e);
      return Rendered(QToolTip::text());
    };
    const QString hint1 = hover(first);
    EXPECT_TRUE(hint1.startsWith(QString::fromStdString(TCropResultList::RecordOf(first)->sakumotsu))) << hint1.toStdString();
    EXPECT_TRUE(hint1.contains("【上位分類】"));
    const int afterFirst = statements;
    EXPECT_GT(afterFirst, 0);
    hover(second);
    const int afterSecond = statements;
    EXPECT_EQ(hover(first), hint1);
    EXPECT_EQ(statements, afterSecond);  // no query for hints already made
    // The same crops listed again by a new search: their records are new, the hints are not.
    fr.ShowSearchResult(
        "SELECT class,idsaku,toroku,shukakubui,sakumotsu,betsumei,gunmei FROM vs_sakumotsu2 WHERE toroku IN (0,2) "
        "ORDER BY idsaku;");
    const int afterSearch = statements;
    EXPECT_EQ(hover(fr.lvSakumotsu->topLevelItem(0)), hint1);
    EXPECT_EQ(statements, afterSearch);
    sqlite3_trace_v2(f.Sample.Db->FDb->Handle(), 0, nullptr, nullptr);
  }

  QStyleOptionViewItem opt;
  opt.initFrom(fr.lvSakumotsu);
  TCropItemDelegate d;
  QStyleOptionViewItem o2 = opt;
  d.initStyleOption(&o2, fr.lvSakumotsu->model()->index(0, 0));
  EXPECT_NE(o2.backgroundBrush.style(), Qt::NoBrush);

  // With the debug flag the tree rule writes its trace.
  f.Log.clear();
  DebugMode = true;
  tomato->setCheckState(0, Qt::Checked);
  DebugMode = false;
  ASSERT_FALSE(f.Log.empty());
  EXPECT_EQ(f.Log.back(), "tmpsk -> トマト");
}

// After "全て" in the large-group list the middle-group list offers the middle groups of every
// large group, and each of them filters the table; the CVO table shows no family until one
// is chosen.
TEST(FraSakumotsu, GroupListsOfferWhatTheTableHolds) {
  OPEN_FRAME(f);
  TfraSakumotsuBase& fr = *f.Frame;
  TAcisDB& db = *f.Sample.Db;
  auto column = [&](const std::string& sql) {
    QStringList out;
    if (db.Query(sql, false))
      for (; !db.FTbl->Eof(); db.FTbl->Next()) out << QString::fromStdString(db.FTbl->FieldAsString(0));
    return out;
  };
  auto count = [&](const std::string& sql) { return column(sql).value(0).toInt(); };
  fr.resize(400, 600);
  fr.show();
  fr.pgSakumotsu->setCurrentIndex(3);
  const int all = fr.lvBeppyo1->topLevelItemCount();
  ASSERT_GT(all, 0);
  const QStringList everyMg = QStringList{"全て"} + column("SELECT DISTINCT mg FROM spec.beppyo1n");
  EXPECT_EQ(Items(fr.cbMg), everyMg);
  EXPECT_EQ(fr.cbMg->currentIndex(), -1);

  Choose(fr.cbLg, "野菜類");
  EXPECT_EQ(Items(fr.cbMg), QStringList{"全て"} + column("SELECT DISTINCT mg FROM spec.beppyo1n WHERE lg = '野菜類'"));
  Choose(fr.cbLg, "全て");
  EXPECT_EQ(fr.lvBeppyo1->topLevelItemCount(), all);
  EXPECT_EQ(fr.cbLg->currentIndex(), -1);
  EXPECT_EQ(Items(fr.cbMg), everyMg);
  EXPECT_EQ(fr.cbMg->currentIndex(), -1);

  // A middle group of another large group: its rows only.
  const QString other = column("SELECT mg FROM spec.beppyo1n WHERE lg != '野菜類' AND mg != '' LIMIT 1").value(0);
  ASSERT_FALSE(other.isEmpty());
  Choose(fr.cbMg, other);
  const int rows = fr.lvBeppyo1->topLevelItemCount();
  EXPECT_EQ(rows, count("SELECT count(*) FROM spec.beppyo1n WHERE mg = '" + other.toStdString() + "'"));
  EXPECT_GT(rows, 0);
  EXPECT_LT(rows, all);
  for (int i = 0; i < rows; ++i) EXPECT_EQ(fr.lvBeppyo1->topLevelItem(i)->text(1), other);
  // "全て" among the middle groups: the whole table again.
  Choose(fr.cbMg, "全て");
  EXPECT_EQ(fr.lvBeppyo1->topLevelItemCount(), all);

  // CVO: no family shown over the empty table; a family, then every row under "全て".
  fr.pgSakumotsu->setCurrentIndex(4);
  EXPECT_EQ(fr.cbFamily->currentIndex(), -1);
  EXPECT_EQ(fr.lvCVO->topLevelItemCount(), 0);
  Choose(fr.cbFamily, "ナス科");
  ASSERT_GT(fr.lvCVO->topLevelItemCount(), 0);
  for (int i = 0; i < fr.lvCVO->topLevelItemCount(); ++i) EXPECT_EQ(fr.lvCVO->topLevelItem(i)->text(2), "ナス科");
  Choose(fr.cbFamily, "全て");
  EXPECT_EQ(fr.lvCVO->topLevelItemCount(), count("SELECT count(*) FROM spec.cvo WHERE sakumotsu != ''"));
  EXPECT_EQ(fr.cbFamily->currentText(), "全て");
}

// Without a database the commands that work on the register are off, with one they are on;
// 適用検索 waits for main crops.  The marks beside the two texts are pictures.
TEST(FraSakumotsu, CommandsFollowTheDatabase) {
  sample_db::TSampleDb sample;
  ASSERT_TRUE(sample.Open()) << sample_db::Error();
  TAcisDB* db = nullptr;
  TfraSakumotsuBase fr;
  fr.SetDatabase([&db] { return db; });
  fr.actCheckUpperTree->setChecked(false);
  fr.resize(300, 600);
  fr.show();
  for (QWidget* w : RegisterCommands(fr)) EXPECT_FALSE(w->isEnabled()) << w->objectName().toStdString();
  EXPECT_FALSE(fr.tbTekiyo->isEnabled());

  // The database opened: the host fills the frame, the commands come on.
  db = sample.Db.get();
  fr.BuildTree();
  for (QWidget* w : RegisterCommands(fr)) EXPECT_TRUE(w->isEnabled()) << w->objectName().toStdString();
  EXPECT_FALSE(fr.tbTekiyo->isEnabled());
  QTreeWidgetItem* tomato = nullptr;
  ForEachTreeNode(fr.tvSakumotsu, [&](QTreeWidgetItem* n) {
    if (!tomato && n->text(0) == "トマト") tomato = n;
  });
  ASSERT_NE(tomato, nullptr);
  for (QTreeWidgetItem* p = tomato->parent(); p; p = p->parent()) p->setExpanded(true);
  fr.tvSakumotsu->setCurrentItem(tomato);
  fr.tvSakumotsu->setFocus();
  QTest::keyClick(fr.tvSakumotsu, Qt::Key_Space);
  EXPECT_EQ(fr.Selection, "トマト");
  EXPECT_TRUE(fr.tbTekiyo->isEnabled());
  QTest::mouseClick(fr.tbCheckClearTree, Qt::LeftButton);
  EXPECT_EQ(fr.Selection, "");
  EXPECT_FALSE(fr.tbTekiyo->isEnabled());
  // The database gone again.
  db = nullptr;
  fr.UpdateCommands();
  for (QWidget* w : RegisterCommands(fr)) EXPECT_FALSE(w->isEnabled()) << w->objectName().toStdString();

  // The marks: pictures at the right of their texts, nothing to press.
  const std::pair<QLineEdit*, const char*> marks[] = {{fr.eSakumotsu, "imgSakumotsu"},
                                                      {fr.eKinsetsuSakumotsu, "imgKinsetsuSakumotsu"}};
  for (const auto& [edit, name] : marks) {
    EXPECT_TRUE(edit->actions().isEmpty());
    EXPECT_TRUE(edit->findChildren<QAbstractButton*>().isEmpty());
    auto* mark = fr.findChild<QLabel*>(name);
    ASSERT_NE(mark, nullptr) << name;
    EXPECT_TRUE(mark->isVisible());
    EXPECT_FALSE(mark->pixmap().isNull());
    EXPECT_EQ(mark->focusPolicy(), Qt::NoFocus);
    EXPECT_GE(mark->mapTo(&fr, QPoint(0, 0)).x(), edit->mapTo(&fr, QPoint(edit->width(), 0)).x());
  }
}

// Crops without registration stay readable in the name-search list: dark text on silver, also
// under the Fusion style, whose grey text is nearly silver itself.
TEST(FraSakumotsu, UnregisteredCropsAreReadable) {
  OPEN_FRAME(f);
  TfraSakumotsuBase& fr = *f.Frame;
  fr.ShowSearchResult(
      "SELECT class,idsaku,toroku,shukakubui,sakumotsu,betsumei,gunmei FROM vs_sakumotsu2 WHERE toroku = 0 "
      "ORDER BY idsaku;");
  ASSERT_GT(fr.lvSakumotsu->topLevelItemCount(), 0);
  std::unique_ptr<QStyle> fusion(QStyleFactory::create("Fusion"));
  ASSERT_NE(fusion, nullptr);
  TCropItemDelegate d;
  for (QStyle* style : {fusion.get(), fr.lvSakumotsu->style()}) {
    QStyleOptionViewItem o;
    o.initFrom(fr.lvSakumotsu);
    o.palette = style->standardPalette();
    d.initStyleOption(&o, fr.lvSakumotsu->model()->index(0, 0));
    EXPECT_EQ(o.backgroundBrush.color(), QColor(0xC0, 0xC0, 0xC0));
    EXPECT_GE(Contrast(o.palette.color(QPalette::Text), o.backgroundBrush.color()), 4.5)
        << style->name().toStdString() << " " << o.palette.color(QPalette::Text).name().toStdString();
  }
}
