// The crop search used the way a person uses it, through key presses and clicks on the window
// as the program builds it: a crop ticked in the tree with Space, the automatic search, a
// typed pest filter, the formulation picker, the filter bar's widths. With QM_SCREENSHOT_DIR
// set, each step's picture is saved there (walk-1-*.png ...).
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTabWidget>
#include <QToolBar>
#include <QToolButton>

#include "frontend/crop/crop_search_fixture.h"
#include "foundation/check_list_box_ex.h"
#include "foundation/check_tree_view.h"
#include "frontend/check_picker.h"
#include "frontend/crop/crop_chooser_views.h"
#include "frontend/crop/filter_bar_layout.h"
#include "frontend/crop/fra_sakumotsu_base.h"
#include "frontend/main_pages.h"
#include "frontend/picker_placement.h"

namespace {

void Shot(QWidget* W, const char* Name) {
  const char* dir = std::getenv("QM_SCREENSHOT_DIR");
  if (!dir) return;
  QDir().mkpath(QString::fromLocal8Bit(dir));
  W->grab().save(QString::fromLocal8Bit(dir) + "/walk-" + Name + ".png");
}

void Key(QWidget* W, int K, const QString& Text = {}) {
  QKeyEvent down(QEvent::KeyPress, K, Qt::NoModifier, Text);
  QKeyEvent up(QEvent::KeyRelease, K, Qt::NoModifier, Text);
  QApplication::sendEvent(W, &down);
  QApplication::sendEvent(W, &up);
}

void Type(QWidget* W, const QString& Text) {
  for (const QChar c : Text) Key(W, 0, QString(c));
}

void Click(QPushButton* B) {
  ASSERT_TRUE(B->isEnabled()) << B->objectName().toStdString();
  B->click();
}

QTreeWidgetItem* Node(TfraSakumotsuBase& F, const std::string& Name) {
  QTreeWidgetItem* found = nullptr;
  ForEachTreeNode(F.tvSakumotsu, [&](QTreeWidgetItem* n) {
    if (!found && n->text(0).toStdString() == Name) found = n;
  });
  return found;
}

struct THook {
  TPickerModalHook Prev;
  explicit THook(TPickerModalHook H) : Prev(SetPickerModalHook(std::move(H))) {}
  ~THook() { SetPickerModalHook(std::move(Prev)); }
};

}  // namespace

TEST(CropSearchWalk, TickFilterAndPickAsAPersonWould) {
  TMainWindowFixture fx;
  ASSERT_TRUE(fx.BuildSampleDb());
  fx.WriteIni("[WINDOW]\nLeft=0\nTop=0\nWidth=1100\nHeight=720\n[OPTIONS]\nTushoMode=0\nSeibunViewMode=0\n"
              "KeitoViewMode=0\nSakumotsuTreeUpperOn=0\nSakumotsuTreeAutoTekiyoView=1\n");
  TfrmMain w;
  InstallSearchPages(w);
  w.show();
  Pump(100);
  ASSERT_TRUE(AcisDB);
  auto* frame = qobject_cast<TfraSakumotsuBase*>(w.fraSakumotsu);
  auto* cs = dynamic_cast<TCropSearch*>(w.SearchHandler(tiSakumotsu));
  ASSERT_NE(frame, nullptr);
  ASSERT_NE(cs, nullptr);
  Shot(&w, "1-start");
  // Before the first result the bar keeps the height of its two rows.
  EXPECT_TRUE(w.gdTekiyo->isHidden());
  EXPECT_LE(w.pnlSearchParam->height(), 2 * w.cbByochu->sizeHint().height() + 16);
  EXPECT_LT(w.btnYoto->mapTo(&w, QPoint(0, 0)).y() - w.btnByochu->mapTo(&w, QPoint(0, 0)).y(),
            2 * w.btnByochu->height());
  // Every command of the frame's tool bars is in place, none in an overflow menu.
  for (QToolBar* bar : {frame->tbSakumotsuTree, frame->tbSakuMode}) {
    for (QAction* a : bar->actions()) {
      QWidget* b = bar->widgetForAction(a);
      ASSERT_NE(b, nullptr);
      EXPECT_TRUE(b->isVisible()) << bar->objectName().toStdString() << " " << b->objectName().toStdString();
      EXPECT_LE(b->geometry().right(), bar->width()) << b->objectName().toStdString();
    }
  }

  // Tick トマト with Space in the tree: the automatic search runs once.
  QTreeWidgetItem* tomato = Node(*frame, "トマト");
  ASSERT_NE(tomato, nullptr);
  for (QTreeWidgetItem* p = tomato->parent(); p; p = p->parent()) p->setExpanded(true);
  frame->tvSakumotsu->setCurrentItem(tomato);
  frame->tvSakumotsu->scrollToItem(tomato);
  frame->tvSakumotsu->setFocus();
  Key(frame->tvSakumotsu, Qt::Key_Space, " ");
  Pump(100);
  EXPECT_EQ(frame->Selection, "トマト");
  EXPECT_EQ(cs->SearchCount, 1);
  const int64_t all = TCropTab::Count(
      "SELECT count(*) FROM m_tekiyo a JOIN m_sakumotsu s USING(sakumotsu) WHERE s.idsaku LIKE (SELECT "
      "substr(idsaku,1,12) FROM m_sakumotsu WHERE sakumotsu = 'トマト')||'%'");
  ASSERT_GT(all, 0);
  EXPECT_EQ(w.gdTekiyo->RowCount() - 1, all);
  EXPECT_EQ(w.StatusText(3), QString::number(all) + "件");
  Shot(&w, "2-searched");
  // A picker button is on exactly when its list offers something besides "全て" (the picker
  // lists the combo's items; with none it would open on nothing or not at all).
  const std::pair<QComboBox*, QPushButton*> bar[] = {
      {w.cbByochu, w.btnByochu}, {w.cbMokuteki, w.btnMokuteki}, {w.cbZaikei, w.btnZaikei}};
  for (const auto& [combo, button] : bar) {
    EXPECT_EQ(button->isEnabled(), combo->count() > 1) << button->objectName().toStdString();
    EXPECT_EQ(combo->isEnabled(), combo->count() > 1) << combo->objectName().toStdString();
  }
  // The grid was hidden before the first result: its columns are fitted to the shown grid,
  // exactly as a filter that keeps every row fits them.
  std::vector<int> widths;
  for (int c = 0; c < w.gdTekiyo->ColCount(); ++c) widths.push_back(w.gdTekiyo->ColWidths(c));
  cs->FilterTekiyoByByochu();
  ASSERT_EQ(w.gdTekiyo->RowCount() - 1, all);
  for (int c = 0; c < w.gdTekiyo->ColCount(); ++c) EXPECT_EQ(w.gdTekiyo->ColWidths(c), widths.at(c)) << c;

  // Type "％病" into the pest box and press Enter.
  QLineEdit* pest = w.cbByochu->lineEdit();
  pest->selectAll();
  pest->setFocus();
  Type(pest, "％病");
  Key(pest, Qt::Key_Return);
  Pump(100);
  EXPECT_EQ(w.cbByochu->currentText(), "%病");
  const int64_t disease = TCropTab::Count("SELECT count(*) FROM ttTekiyoSaku WHERE byochu LIKE '%病'");
  EXPECT_EQ(w.gdTekiyo->RowCount() - 1, disease);
  Shot(&w, "3-pest-filter");

  // The formulation picker: opens under its button, ticks one formulation; OK filters.
  w.cbByochu->setEditText(QString());
  const std::string zaikei = TCropTab::Column("SELECT zaikei FROM ttTekiyoSaku GROUP BY zaikei ORDER BY count(*) DESC").at(0);
  QPoint pickerAt;
  QSize pickerSize;
  {
    THook hook([&](QDialog& d) {
      auto* p = qobject_cast<TCheckPicker*>(&d);
      EXPECT_NE(p, nullptr);
      if (!p) return int(QDialog::Rejected);
      pickerAt = d.pos();
      pickerSize = d.size();
      d.show();
      Pump(50);
      Shot(&d, "4-zaikei-picker");
      for (int i = 0; i < p->List->count(); ++i)
        if (p->List->item(i)->text().toStdString() == zaikei) p->List->SetChecked(i, true);
      return int(QDialog::Accepted);
    });
    Click(w.btnZaikei);
  }
  const QPoint under = w.btnZaikei->mapToGlobal(QPoint(0, w.btnZaikei->height()));
  // At the button's lower-left corner, pulled back inside the screen.
  EXPECT_EQ(pickerAt, PickerPosition(under, pickerSize, QApplication::screenAt(under)->availableGeometry()));
  EXPECT_EQ(w.cbZaikei->currentText().toStdString(), zaikei);
  EXPECT_EQ(w.gdTekiyo->RowCount() - 1,
            TCropTab::Count("SELECT count(*) FROM ttTekiyoSaku WHERE zaikei = '" + zaikei + "'"));
  Shot(&w, "5-zaikei-filter");

  // The filter bar's halves share its width; the two boxes of the right half line up.
  for (int windowWidth : {1100, 941, 733}) {
    w.resize(windowWidth, w.height());
    Pump(20);
    const int width = w.pnlSearchParam->width();
    EXPECT_EQ(w.pnlSakuLeft->width(), width / 2) << width;
    EXPECT_EQ(w.pnlSakuLeft->width() + w.pnlSakuRight->width(), width) << width;
    EXPECT_EQ(w.cbZaikei->width(), w.cbMokuteki->width()) << width;
    EXPECT_EQ(w.cbZaikei->x(), w.cbMokuteki->x()) << width;
  }
  EXPECT_TRUE(w.pnlSeibunSel->isHidden());
  EXPECT_TRUE(w.pnlKeitoSel->isHidden());
  w.resize(1100, 720);
  Pump(20);

  // Neighbour crops: switch the frame to its neighbour side and tick なす; the search keeps
  // the products registered on both sides.
  frame->tbKinsetsu->click();
  ASSERT_FALSE(frame->MainMode());
  QTreeWidgetItem* eggplant = Node(*frame, "なす");
  ASSERT_NE(eggplant, nullptr);
  frame->tvSakumotsu->setCurrentItem(eggplant);
  Key(frame->tvSakumotsu, Qt::Key_Space, " ");
  Pump(100);
  EXPECT_EQ(frame->Selection, "トマト");
  EXPECT_EQ(frame->Kinsetsu, "なす");
  EXPECT_EQ(w.KinsetsuSelection, "なす");
  EXPECT_TRUE(w.actSearchTekiyou->isEnabled());
  const int64_t both = TCropTab::Count(
      "SELECT count(*) FROM tekiyo WHERE bango IN (SELECT bango FROM tekiyo WHERE idsaku IN (SELECT idsaku FROM "
      "m_sakumotsu WHERE idsaku REGEXP " + AcisDB->IdSakuRegexpLine("トマト", false) + ")) AND bango IN (SELECT bango "
      "FROM tekiyo WHERE idsaku IN (SELECT idsaku FROM m_sakumotsu WHERE idsaku REGEXP " +
      AcisDB->IdSakuRegexpLine("なす", false) + ")) AND (idsaku IN (SELECT idsaku FROM m_sakumotsu WHERE idsaku REGEXP " +
      AcisDB->IdSakuRegexpLine("トマト", false) + ") OR idsaku IN (SELECT idsaku FROM m_sakumotsu WHERE idsaku REGEXP " +
      AcisDB->IdSakuRegexpLine("なす", false) + "))");
  ASSERT_GT(both, 0);
  EXPECT_EQ(w.gdTekiyo->RowCount() - 1, both);
  Shot(&w, "6-neighbour");
  // Unticking the neighbour crop leaves main crops only: the search stays on and shows them.
  const int searches = cs->SearchCount;
  Key(frame->tvSakumotsu, Qt::Key_Space, " ");
  Pump(100);
  EXPECT_EQ(frame->Kinsetsu, "");
  EXPECT_TRUE(w.actSearchTekiyou->isEnabled());
  EXPECT_EQ(cs->SearchCount, searches + 1);
  EXPECT_EQ(w.gdTekiyo->RowCount() - 1, all);

  // The name search page: type a word, Enter; the hit named as typed is ticked.
  frame->tbMain->click();
  frame->pgSakumotsu->setCurrentIndex(1);
  frame->edtInput->setFocus();
  Type(frame->edtInput, "きゅうり");
  Key(frame->edtInput, Qt::Key_Return);
  Pump(100);
  EXPECT_GT(frame->lvSakumotsu->topLevelItemCount(), 0);
  EXPECT_NE(("," + frame->Selection + ",").find(",きゅうり,"), std::string::npos) << frame->Selection;
  EXPECT_EQ(w.SakumotsuSelection.toStdString(), frame->Selection);  // searched at once
  Shot(&w, "7-name-search");
}

TEST(CropSearchWalk, FilterBarRules) {
  EXPECT_EQ(TSakuBarLayout::LeftWidth(1001, 60), 470);
  EXPECT_EQ(TSakuBarLayout::LeftWidth(801, 0), 400);
  EXPECT_EQ(TSakuBarLayout::LeftWidth(10, 60), -25);  // truncated toward zero

  OPEN_CROP_TAB(t);
  TfrmMain& w = *t.W;
  // With the option panel shown, the left half is (bar - option panel) / 2.
  w.pnlSakuOpt->show();
  w.pnlSakuOpt->setFixedWidth(60);
  Pump(20);
  const int bar = w.pnlSearchParam->width();
  ASSERT_GT(bar, 200);
  EXPECT_EQ(w.pnlSakuLeft->width(), (bar - 60) / 2);
  EXPECT_EQ(w.pnlSakuOpt->x(), bar - 60);
  EXPECT_EQ(w.pnlSakuRight->x() + w.pnlSakuRight->width(), bar - 60);
  // A narrow bar never makes the window wider: the bar asks for no width.
  EXPECT_EQ(w.pnlSearchParam->minimumSizeHint().width(), 0);

  // The hidden ingredient-count box runs the formulation filter like cbZaikei.
  t.Search("ぶどう");
  const std::string zaikei = TCropTab::Column("SELECT zaikei FROM ttTekiyoSaku ORDER BY zaikei").at(0);
  w.cbZaikei->setEditText(QString::fromStdString(zaikei));
  ASSERT_TRUE(w.cbKaisuSeibun->lineEdit());
  emit w.cbKaisuSeibun->lineEdit()->returnPressed();
  Pump();
  EXPECT_EQ(t.GridDataRows(), TCropTab::Count("SELECT count(*) FROM ttTekiyoSaku WHERE zaikei = '" + zaikei + "'"));
  w.cbZaikei->setEditText("全て");
  emit w.cbKaisuSeibun->activated(0);
  Pump();
  EXPECT_EQ(t.GridDataRows(), TCropTab::Count("SELECT count(*) FROM ttTekiyoSaku"));
}
