// The controls that only work with a database: the pickers of the pest and chemical tabs, the
// console's "読み込み" and "実行", the template page's "テンプレート選択" and "設定読込". They
// are off without a database, come on when one is opened (at start-up or by a data update)
// and keep following it when the inputs come back after a search.
#include <gtest/gtest.h>

#include <Qsci/qsciscintilla.h>

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

#include "database/acis_db.h"
#include "frontend/console/frm_template.h"
#include "frontend/data_update_services.h"
#include "frontend/frm_main.h"
#include "frontend/main_pages.h"
#include "frontend/main_services.h"
#include "support_main_window.h"

namespace {

struct TDbWindow : TMainWindowFixture {
  std::unique_ptr<TfrmMain> W;
  TfrmTemplate* Page = nullptr;
  void Open() {
    W = std::make_unique<TfrmMain>();
    InstallSearchPages(*W);
    Page = W->findChild<TfrmTemplate*>("frmTemplate");
    W->show();
    W->activateWindow();
    Pump();
  }
  ~TDbWindow() { W.reset(); }

  // Every control of the group, named for the failure message.
  std::vector<std::pair<const char*, QWidget*>> Controls() const {
    return {{"btnTabByochu", W->btnTabByochu},   {"btnYakuzaiSel", W->btnYakuzaiSel},
            {"bYakuzaiTabSakuSel", W->bYakuzaiTabSakuSel}, {"btnQueryLoad", W->btnQueryLoad},
            {"btnQueryExec", W->btnQueryExec},   {"btnTplLoad", Page->btnTplLoad}};
  }
  void ExpectAll(bool On, const char* When) const {
    for (const auto& [name, w] : Controls()) EXPECT_EQ(w->isEnabled(), On) << name << " " << When;
  }
};

}  // namespace

TEST(DatabaseControls, FollowTheDatabaseOpenedByADataUpdate) {
  TDbWindow t;
  int updates = 0;
  SetMainWindowServices(std::make_unique<TStandInUpdate>(TStandInUpdate::Opens, &updates));
  t.Open();
  ASSERT_FALSE(AcisDB);
  ASSERT_NE(t.Page, nullptr);
  TfrmMain& w = *t.W;
  // The console's editor holds text: saving works, running needs a database.
  w.SQLEditor->setText("select 1");
  EXPECT_TRUE(w.btnQuerySave->isEnabled());
  t.ExpectAll(false, "without a database");
  EXPECT_FALSE(t.Page->btnTplArgLoad->isEnabled());

  // The inputs coming back (as after a search) still find no database.
  for (int tab : {tiByochu, tiYakuzai, tiSQL}) {
    w.pgSearch->setCurrentIndex(tab);
    w.EnableSearchInputs(false);
    w.EnableSearchInputs(true);
  }
  t.ExpectAll(false, "after the inputs came back");

  // The data update (Ctrl+Y as pressed) builds nothing itself here: the register is there
  // when it runs, and the window takes it up.
  ASSERT_TRUE(t.BuildSampleDb());
  w.pgSearch->setCurrentIndex(tiSakumotsu);
  w.activateWindow();
  QWidget* focus = QApplication::focusWidget();
  QTest::keyClick(focus ? focus : &w, Qt::Key_Y, Qt::ControlModifier);
  Pump();
  EXPECT_EQ(updates, 1);
  ASSERT_TRUE(AcisDB);
  t.ExpectAll(true, "after the update");
  // Argument files belong to a template: none is open yet.
  EXPECT_FALSE(t.Page->btnTplArgLoad->isEnabled());
  QTemporaryDir dir;
  const QString tpl = dir.filePath("t.tpl");
  {
    QFile f(tpl);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("<html><body><pre>#template {\nselect 1\n}\n</pre></body></html>\n");
  }
  ASSERT_TRUE(t.Page->LoadTemplateFile(tpl));
  EXPECT_TRUE(t.Page->btnTplArgLoad->isEnabled());

  // Running still needs text.
  w.SQLEditor->clear();
  EXPECT_FALSE(w.btnQueryExec->isEnabled());
  EXPECT_TRUE(w.btnQueryLoad->isEnabled());
}

TEST(DatabaseControls, StayOnThroughStartUpSearchesAndTemplateRuns) {
  TDbWindow t;
  ASSERT_TRUE(t.BuildSampleDb());
  t.Open();
  ASSERT_TRUE(AcisDB);
  TfrmMain& w = *t.W;
  w.SQLEditor->setText("select bango from m_kihon limit 3");
  t.ExpectAll(true, "after start-up");
  for (int tab : {tiByochu, tiYakuzai, tiSQL}) {
    w.pgSearch->setCurrentIndex(tab);
    ASSERT_TRUE(w.ShowQueryInGrid(w.CurrentGrid, "SELECT bango FROM m_kihon LIMIT 2")) << tab;
    t.ExpectAll(true, "after a grid query");
  }
  // The template page's own run brings its controls back by the same rules.
  t.Page->EnableControls(false);
  EXPECT_FALSE(t.Page->btnTplLoad->isEnabled());
  t.Page->EnableControls(true);
  EXPECT_TRUE(t.Page->btnTplLoad->isEnabled());
  EXPECT_FALSE(t.Page->btnTplArgLoad->isEnabled());
}
