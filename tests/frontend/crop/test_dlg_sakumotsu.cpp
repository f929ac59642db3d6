// The crop picker: what "追加" and "置換" write in the chemical tab's mode and the template
// page's mode, the ways of choosing on the sample register, the exact name search, and the
// flag the main window reads after the picker closed, however it closed.
#include <gtest/gtest.h>

#include <QApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QComboBox>
#include <QKeyEvent>
#include <QMenu>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QToolButton>

#include "database/acis_db.h"
#include "database/regex_utils.h"
#include "database/sakumotsu_tree.h"
#include "foundation/check_tree_view.h"
#include "foundation/comma_text.h"
#include "foundation/ini_file.h"
#include "foundation/message_sink.h"
#include "foundation/global.h"
#include "foundation/options.h"
#include "frontend/crop/crop_chooser.h"
#include "frontend/crop/dlg_sakumotsu.h"
#include "frontend/frm_main.h"
#include "frontend/picker_placement.h"
#include "frontend/support_main_window.h"

namespace {

std::vector<std::string> V(std::initializer_list<const char*> L) { return {L.begin(), L.end()}; }

// The main window on the sample register (the picker writes its flag there).
struct TPickerEnv {
  TMainWindowFixture Fx;
  std::unique_ptr<TfrmMain> W;
  std::vector<std::string> Log;
  bool Open() {
    if (!Fx.BuildSampleDb()) return false;
    W = std::make_unique<TfrmMain>();
    W->show();
    Pump();
    return AcisDB != nullptr;
  }
  ~TPickerEnv() { W.reset(); }
  std::unique_ptr<TDlgSakumotsu> Picker(int Mode, QWidget* Target) {
    auto p = std::make_unique<TDlgSakumotsu>(W.get());
    p->Mode = Mode;
    p->TargetEdit = Target;
    p->LogMemo = [this](const std::string& l) { Log.push_back(l); };
    return p;
  }
};

#define OPEN_PICKER_ENV(e) \
  TPickerEnv e;            \
  ASSERT_TRUE(e.Open())

QTreeWidgetItem* Node(TDlgSakumotsu& p, const std::string& Name) {
  QTreeWidgetItem* found = nullptr;
  ForEachTreeNode(p.tvSakumotsu, [&](QTreeWidgetItem* n) {
    if (!found && n->text(0).toStdString() == Name) found = n;
  });
  return found;
}

QTreeWidgetItem* ListItem(TDlgSakumotsu& p, const std::string& Name) {
  for (int i = 0; i < p.lvSakumotsu->topLevelItemCount(); ++i) {
    QTreeWidgetItem* it = p.lvSakumotsu->topLevelItem(i);
    if (const TSakumotsu* r = TCropResultList::RecordOf(it); r && r->sakumotsu == Name) return it;
  }
  return nullptr;
}

struct THook {
  TPickerModalHook Prev;
  explicit THook(TPickerModalHook H) : Prev(SetPickerModalHook(std::move(H))) {}
  ~THook() { SetPickerModalHook(std::move(Prev)); }
};

}  // namespace

TEST(CropPickerRules, AddAndReplaceTextsInBothModes) {
  // Chemical tab: names not yet in the box are appended, each once.
  EXPECT_EQ(AddCropChoice("", V({"トマト"}), 2), "トマト");
  EXPECT_EQ(AddCropChoice("トマト", V({"トマト"}), 2), "トマト");
  EXPECT_EQ(AddCropChoice("トマト", V({"なす"}), 2), "トマト,なす");
  // A choice of several names against single items: only the new ones go in.
  EXPECT_EQ(AddCropChoice("トマト", V({"トマト", "なす"}), 2), "トマト,なす");
  EXPECT_EQ(AddCropChoice("トマト,なす", V({"なす", "トマト"}), 2), "トマト,なす");
  // A name holding a blank is written as one comma-text item.
  EXPECT_EQ(AddCropChoice("トマト", V({"a b"}), 2), "トマト,\"a b\"");
  EXPECT_EQ(QuoteIfTemplate(V({"トマト", "なす"}), 2), "トマト,なす");

  // Template page: every choice is one item in single quotes.
  EXPECT_EQ(QuoteIfTemplate(V({"トマト"}), 3), "'トマト'");
  EXPECT_EQ(QuoteIfTemplate(V({"o'neil"}), 3), "'o''neil'");
  EXPECT_EQ(AddCropChoice("", V({"トマト"}), 3), "'トマト'");
  EXPECT_EQ(AddCropChoice("'トマト'", V({"なす"}), 3), "'トマト','なす'");
  EXPECT_EQ(AddCropChoice("'トマト','なす'", V({"なす"}), 3), "'トマト','なす'");
  EXPECT_EQ(AddCropChoice("'トマト,ミニトマト'", V({"ミニトマト", "トマト"}), 3), "'トマト,ミニトマト'");
  EXPECT_EQ(AddCropChoice("'トマト,ミニトマト'", V({"トマト"}), 3), "'トマト,ミニトマト','トマト'");
  // Typed without quotes the whole text is one item; it is quoted so that it stays one.
  EXPECT_EQ(AddCropChoice("トマト,なす", V({"トマト", "なす"}), 3), "トマト,なす");
  EXPECT_EQ(AddCropChoice("トマト,なす", V({"ピーマン"}), 3), "'トマト,なす','ピーマン'");
  // Nothing chosen: nothing written.
  EXPECT_EQ(AddCropChoice("'トマト'", {}, 3), "'トマト'");
  // What the picker writes reads back as an SQL list of every crop chosen, one item each.
  EXPECT_EQ(QuotedCommaList(AddCropChoice("'トマト'", V({"なす(促成栽培)", "なす"}), 3)),
            "'トマト','なす(促成栽培)','なす'");
  EXPECT_EQ(QuotedCommaList(QuoteIfTemplate(V({"o'neil", "a b"}), 3)), "'o''neil','a b'");
}

TEST(CropPicker, ExactSearchIsBoundAndFillsCropRecords) {
  const TBoundSql q = SakumotsuExactSearch("トマト なす");
  EXPECT_EQ(q.SQL,
            "SELECT class,idsaku,toroku,shukakubui,sakumotsu,betsumei,gunmei FROM vs_sakumotsu2 WHERE "
            "(sakumotsu MATCH ?1 or sakumotsu MATCH ?2) ORDER BY idsaku;");
  EXPECT_EQ(q.Params, V({"トマト", "なす"}));
  EXPECT_TRUE(SakumotsuExactSearch(" , ").SQL.empty());

  OPEN_PICKER_ENV(e);
  QLineEdit target;
  auto p = e.Picker(2, &target);
  p->PageControl->setCurrentIndex(1);
  p->rbExact->setChecked(true);
  p->edtInput->setText("トマト");
  p->edtInputEnter();
  ASSERT_EQ(p->lvSakumotsu->topLevelItemCount(), 1);
  const TSakumotsu* r = TCropResultList::RecordOf(p->lvSakumotsu->topLevelItem(0));
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(r->sakumotsu, "トマト");
  // The seventh column is the crop group, as in every crop record.
  EXPECT_EQ(r->gunmei, "なす科野菜類");
  ASSERT_FALSE(e.Log.empty());
  EXPECT_NE(e.Log.back().find("sakumotsu MATCH 'トマト'"), std::string::npos);

  // Typed SQL finds nothing and raises no error.
  auto& sink = static_cast<TLogMessageSink&>(MessageSink());
  const size_t before = sink.Messages().size();
  for (const char* hostile : {"トマト' OR '1'='1", "x');DROP TABLE m_sakumotsu;--", "%", "(", "\"a\"\"b\""}) {
    p->edtInput->setText(hostile);
    p->bSearchClick();
    EXPECT_EQ(p->lvSakumotsu->topLevelItemCount(), 0) << hostile;
  }
  EXPECT_EQ(sink.Messages().size(), before);
  EXPECT_TRUE(AcisDB->TableExists("m_sakumotsu"));

  // The prefix search finds every トマト crop; checking fills the choice line.
  p->rbPrefix->setChecked(true);
  p->edtInput->setText("とまと");
  p->bSearchClick();
  EXPECT_GE(p->lvSakumotsu->topLevelItemCount(), 2);
  ASSERT_NE(ListItem(*p, "トマト(施設栽培)"), nullptr);
  ListItem(*p, "トマト(施設栽培)")->setCheckState(0, Qt::Checked);
  EXPECT_EQ(p->eSakumotsu->text(), "トマト(施設栽培)");
  EXPECT_TRUE(p->btnAdd->isEnabled());
}

TEST(CropPicker, TreeChoicesFollowRegistrationStateAndMode) {
  OPEN_PICKER_ENV(e);
  QLineEdit target;
  auto p = e.Picker(2, &target);
  p->btnUpper->setChecked(false);
  ASSERT_GT(p->tvSakumotsu->topLevelItemCount(), 0);
  EXPECT_FALSE(p->tvSakumotsu->Checkboxes());

  // A crop without registrations chooses nothing in the chemical tab's mode.
  p->tvSakumotsu->setCurrentItem(Node(*p, "そば"));
  EXPECT_TRUE(p->Choice().empty());
  EXPECT_FALSE(p->btnAdd->isEnabled());
  EXPECT_FALSE(p->btnReplace->isEnabled());
  p->tvSakumotsu->setCurrentItem(Node(*p, "トマト"));
  EXPECT_EQ(p->ChoiceText(), "トマト");
  EXPECT_TRUE(p->btnAdd->isEnabled());
  // Registered only through a higher group: the higher groups stand for it.
  p->tvSakumotsu->setCurrentItem(Node(*p, "チンゲンサイ"));
  EXPECT_EQ(p->ChoiceText(), AcisDB->UpperGroup("チンゲンサイ"));
  EXPECT_FALSE(p->Choice().empty());
  // With the upper option a registered crop brings its groups.
  p->btnUpper->setChecked(true);
  p->tvSakumotsu->setCurrentItem(Node(*p, "なす"));
  EXPECT_EQ(p->ChoiceText(), AcisDB->UpperGroup("なす"));

  // Template mode: a crop stands for its same-level crops.
  QPlainTextEdit memo;
  auto t = e.Picker(3, &memo);
  t->btnUpper->setChecked(false);
  t->tvSakumotsu->setCurrentItem(Node(*t, "トマト"));
  EXPECT_EQ(t->ChoiceText(), ListToCommaText(SplitCropNames(AcisDB->SameLevelSakumotsu("トマト"))));
  EXPECT_GT(t->Choice().size(), 1u);
  // Checking two crops in the result list: both same-level lists, each name once.
  t->PageControl->setCurrentIndex(1);
  t->edtInput->setText("トマト なす");
  t->bSearchClick();
  ASSERT_NE(ListItem(*t, "トマト"), nullptr);
  ASSERT_NE(ListItem(*t, "なす"), nullptr);
  ListItem(*t, "トマト")->setCheckState(0, Qt::Checked);
  ListItem(*t, "なす")->setCheckState(0, Qt::Checked);
  std::vector<std::string> both = SplitCropNames(AcisDB->SameLevelSakumotsu("トマト"));
  for (const std::string& n : SplitCropNames(AcisDB->SameLevelSakumotsu("なす"))) both.push_back(n);
  std::sort(both.begin(), both.end());
  both.erase(std::unique(both.begin(), both.end()), both.end());
  std::vector<std::string> seen = t->Choice();
  std::sort(seen.begin(), seen.end());
  EXPECT_EQ(seen, both);  // every name of both lists, each once

  // The writing commands: quoted items, each choice once, replace.
  t->btnAddClick();
  const std::string once = "'" + t->ChoiceText() + "'";
  EXPECT_EQ(memo.toPlainText().toStdString(), once);
  t->btnAddClick();
  EXPECT_EQ(memo.toPlainText().toStdString(), once);
  t->tvSakumotsu->setCurrentItem(Node(*t, "りんご"));
  t->PageControl->setCurrentIndex(0);
  t->btnAddClick();
  EXPECT_EQ(memo.toPlainText().toStdString(), once + ",'" + t->ChoiceText() + "'");
  t->btnReplaceClick();
  EXPECT_EQ(memo.toPlainText().toStdString(), "'" + t->ChoiceText() + "'");

  // Chemical tab: add twice, then replace.
  p->btnUpper->setChecked(false);
  p->tvSakumotsu->setCurrentItem(Node(*p, "トマト"));
  p->btnAddClick();
  p->btnAddClick();
  EXPECT_EQ(target.text(), "トマト");
  p->tvSakumotsu->setCurrentItem(Node(*p, "なす"));
  p->btnAddClick();
  EXPECT_EQ(target.text(), "トマト,なす");
  p->btnReplaceClick();
  EXPECT_EQ(target.text(), "なす");
  // The popup copies the buttons' states.
  p->tvSakumotsu->setCurrentItem(Node(*p, "そば"));
  emit p->pmnTree->aboutToShow();
  EXPECT_FALSE(p->pmnAdd->isEnabled());
  p->pmnReplace->trigger();
  EXPECT_EQ(target.text(), "なす");
  // Expanding and collapsing belong to the tree page.
  p->PageControl->setCurrentIndex(2);
  EXPECT_FALSE(p->bExpand->isEnabled());
  p->PageControl->setCurrentIndex(0);
  EXPECT_TRUE(p->bCollapse->isEnabled());
}

TEST(CropPicker, TablePagesChooseTheirCropCell) {
  OPEN_PICKER_ENV(e);
  QLineEdit target;
  auto p = e.Picker(2, &target);
  p->btnUpper->setChecked(false);
  ASSERT_GT(p->lvBeppyo1->topLevelItemCount(), 0);
  QTreeWidgetItem* row = p->lvBeppyo1->topLevelItem(0);
  p->lvBeppyo1->setCurrentItem(row);
  EXPECT_EQ(p->ChoiceText(), QuoteCommaItem(row->text(TCropGroupPage::kNameColumn).toStdString()));
  // CVO: "全て" shows the picker's own table; a cell of two names gives both.
  ASSERT_GT(p->cbFamily->count(), 1);
  p->cbFamily->setCurrentIndex(0);
  p->pgCvo->cbFamilyChange();
  ASSERT_GT(p->lvCVO->topLevelItemCount(), 0);
  bool twoNames = false;
  for (int i = 0; i < p->lvCVO->topLevelItemCount(); ++i) {
    QTreeWidgetItem* it = p->lvCVO->topLevelItem(i);
    const std::string cell = it->text(TCvoPage::kNameColumn).toStdString();
    if (cell.find('|') == std::string::npos) continue;
    twoNames = true;
    p->lvCVO->setCurrentItem(it);
    EXPECT_EQ(p->Choice(), RemoveDuplicateNames(SplitCropNames(CvoCellToNames(cell))));
    // With the upper option each name stands for its registered groups.
    p->btnUpper->setChecked(true);
    p->lvCVO->setCurrentItem(nullptr);
    p->lvCVO->setCurrentItem(it);
    std::vector<std::string> want;
    for (const std::string& n : SplitCropNames(CvoCellToNames(cell)))
      for (const std::string& u : SplitCropNames(AcisDB->UpperGroup(n))) want.push_back(u);
    EXPECT_EQ(p->Choice(), RemoveDuplicateNames(want));
    break;
  }
  EXPECT_TRUE(twoNames);
}

TEST(CropPicker, ClosingTellsTheMainWindowWhetherTheChoiceWasEmpty) {
  OPEN_PICKER_ENV(e);
  TfrmMain& w = *e.W;
  QLineEdit target;
  w.eYakuzaiTabSakumotsu->setText(QString());
  int runs = 0;
  QPoint at;
  QSize size;
  // The user chooses トマト, adds it and presses Escape.
  {
    THook hook([&](QDialog& d) {
      ++runs;
      auto& p = static_cast<TDlgSakumotsu&>(d);
      at = p.pos();
      size = p.size();
      EXPECT_EQ(p.Mode, 2);
      p.show();
      p.PageControl->setCurrentIndex(0);
      p.tvSakumotsu->setCurrentItem(Node(p, "トマト"));
      p.btnAdd->click();
      QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
      QApplication::sendEvent(&p, &esc);
      EXPECT_FALSE(p.isVisible());
      return static_cast<int>(QDialog::Rejected);
    });
    w.SakuSelCancelEmpty = true;
    ShowCropPicker(&w, w.bYakuzaiTabSakuSel, 2, w.eYakuzaiTabSakumotsu, [&](const std::string& l) { e.Log.push_back(l); });
  }
  EXPECT_EQ(runs, 1);
  EXPECT_EQ(w.eYakuzaiTabSakumotsu->text(), "トマト");
  EXPECT_FALSE(w.SakuSelCancelEmpty);
  // Opened at the button's lower-left corner, kept on the screen.
  const QPoint corner = w.bYakuzaiTabSakuSel->mapToGlobal(QPoint(0, w.bYakuzaiTabSakuSel->height()));
  QScreen* screen = QGuiApplication::screenAt(corner) ? QGuiApplication::screenAt(corner) : QGuiApplication::primaryScreen();
  EXPECT_EQ(at, PickerPosition(corner, size, screen->availableGeometry()));

  // Closed by the window's close button with nothing chosen.
  {
    THook hook([&](QDialog& d) {
      d.show();
      d.close();
      return static_cast<int>(QDialog::Rejected);
    });
    ShowCropPicker(&w, w.bYakuzaiTabSakuSel, 2, w.eYakuzaiTabSakumotsu, nullptr);
  }
  EXPECT_TRUE(w.SakuSelCancelEmpty);
  // "閉じる" with a choice.
  {
    THook hook([&](QDialog& d) {
      auto& p = static_cast<TDlgSakumotsu&>(d);
      p.tvSakumotsu->setCurrentItem(Node(p, "なす"));
      p.bCancel->click();
      return static_cast<int>(QDialog::Rejected);
    });
    ShowCropPicker(&w, w.bYakuzaiTabSakuSel, 2, w.eYakuzaiTabSakumotsu, nullptr);
  }
  EXPECT_FALSE(w.SakuSelCancelEmpty);
  EXPECT_EQ(w.eYakuzaiTabSakumotsu->text(), "トマト");
}

TEST(CropPicker, SettingsPerModeAndWindowSize) {
  OPEN_PICKER_ENV(e);
  {
    TIniFile ini(OptionData->IniFileName);
    ini.WriteBool("WINDOW", "DlgSakumotsuSelUpper", true);
    ini.WriteBool("WINDOW", "DlgSakumotsuSelTemplateUpper", false);
    ini.WriteInteger("WINDOW", "DlgSakumotuWidth", 420);
    ini.WriteInteger("WINDOW", "DlgSakuActivePageIndex", 3);
    ini.UpdateFile();
  }
  {
    QLineEdit target;
    auto p = e.Picker(2, &target);
    p->FormShow();
    EXPECT_TRUE(p->btnUpper->isChecked());
    EXPECT_EQ(p->width(), 420);
    EXPECT_EQ(p->PageControl->currentIndex(), 3);
    p->btnUpper->setChecked(false);
    p->PageControl->setCurrentIndex(1);
  }
  {
    QPlainTextEdit memo;
    auto t = e.Picker(3, &memo);
    t->FormShow();
    EXPECT_FALSE(t->btnUpper->isChecked());
    EXPECT_EQ(t->PageControl->currentIndex(), 1);
    t->btnUpper->setChecked(true);
  }
  TIniFile ini(OptionData->IniFileName);
  EXPECT_FALSE(ini.ReadBool("WINDOW", "DlgSakumotsuSelUpper", true));
  EXPECT_TRUE(ini.ReadBool("WINDOW", "DlgSakumotsuSelTemplateUpper", false));
}
