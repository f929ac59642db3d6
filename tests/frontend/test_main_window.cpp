// The main window on a program folder of its own: start-up with and without a database,
// the deferred start-up, enabling rules, the search dispatcher, grid queries, display modes
// and the unattended runs.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QTabBar>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QSpinBox>
#include <QTabWidget>
#include <QTest>
#include <QToolButton>
#include <stdexcept>

#include "database/acis_db.h"
#include "foundation/global.h"
#include "foundation/win_spin_edit.h"
#include "foundation/ini_file.h"
#include "foundation/message_sink.h"
#include "frontend/crop/fra_sakumotsu_base.h"
#include "frontend/frm_main.h"
#include "frontend/main_pages.h"
#include "frontend/main_services.h"
#include "frontend/search_tab.h"
#include "output/xls_string_grid.h"
#include "support_main_window.h"

namespace {

struct TCountingHandler : TSearchTabHandler {
  int* Searches;
  int* Redisplays;
  bool Throw = false;
  TCountingHandler(int* s, int* r, bool t = false) : Searches(s), Redisplays(r), Throw(t) {}
  void Search() override {
    ++*Searches;
    if (Throw) throw std::runtime_error("search failed");
  }
  void Redisplay() override { ++*Redisplays; }
};

TLogMessageSink& Sink() { return static_cast<TLogMessageSink&>(MessageSink()); }

}  // namespace

TEST(MainWindow, StartsWithoutDatabaseAndRunsTheDeferredStartUpOnce) {
  TMainWindowFixture fx;
  TfrmMain w;
  EXPECT_EQ(w.windowTitle(), "Quillmar");
  EXPECT_TRUE(w.IsStartUp);
  EXPECT_EQ(w.StartUpRuns(), 0);
  // Two show events before the queued start-up gets its turn.
  w.show();
  w.hide();
  w.show();
  Pump();
  EXPECT_EQ(w.StartUpRuns(), 1);
  EXPECT_FALSE(w.IsStartUp);
  EXPECT_EQ(w.StatusText(0), "DB:なし");
  EXPECT_FALSE(w.actSearchTekiyou->isEnabled());
  EXPECT_TRUE(w.actCheckUpdate->isEnabled());
  // Without a database the search action does nothing at all.
  int searches = 0, redisplays = 0;
  w.SetSearchHandler(tiSakumotsu, std::make_unique<TCountingHandler>(&searches, &redisplays));
  w.actSearchTekiyouExecute();
  EXPECT_EQ(searches, 0);
  // Another show later does not start it again.
  w.hide();
  w.show();
  Pump();
  EXPECT_EQ(w.StartUpRuns(), 1);
  EXPECT_EQ(w.CurrentGrid, w.gdTekiyo);
  for (int i = 0; i < kSearchTabs; ++i) EXPECT_TRUE(w.GridStates[i].Grid->isHidden()) << i;
}

TEST(MainWindow, OpensTheSampleDatabaseAndFillsTheLists) {
  TMainWindowFixture fx;
  ASSERT_TRUE(fx.BuildSampleDb());
  TfrmMain w;
  w.show();
  Pump();
  ASSERT_TRUE(AcisDB);
  EXPECT_TRUE(w.StatusText(0).startsWith("DB:"));
  EXPECT_NE(w.StatusText(0), "DB:なし");
  EXPECT_GT(w.lstBango->count(), 100);
  // Registration-number items: "%5d" and the name.
  const QString first = w.lstBango->item(0)->text();
  EXPECT_EQ(first.mid(5, 1), " ");
  EXPECT_FALSE(first.left(5).trimmed().isEmpty());
  ASSERT_GT(w.cbYotoTabYakuzai->count(), 1);
  EXPECT_EQ(w.cbYotoTabYakuzai->itemText(0), "全て");
  EXPECT_FALSE(w.actSearchTekiyou->isEnabled());  // no search on the tab: nothing to run
  // The per-connection views exist.
  EXPECT_TRUE(AcisDB->TableExists("ttTekiyoSaku"));
}

TEST(MainWindow, ShowQueryInGridRecordsTheCountOfTheFilledGridAndSurvivesFailures) {
  TMainWindowFixture fx;
  ASSERT_TRUE(fx.BuildSampleDb());
  TfrmMain w;
  w.show();
  Pump();
  ASSERT_TRUE(AcisDB);

  // Success on the SQL grid while the crop tab is active: the count goes to the SQL tab.
  ASSERT_EQ(w.pgSearch->currentIndex(), tiSakumotsu);
  ASSERT_TRUE(w.ShowQueryInGrid(w.gdSQL, "SELECT bango, meisho FROM m_kihon ORDER BY bango LIMIT 25"));
  EXPECT_FALSE(w.gdSQL->isHidden());
  EXPECT_EQ(w.GridStates[tiSQL].CountText, "25件");
  EXPECT_EQ(w.GridStates[tiSakumotsu].CountText, "");
  EXPECT_EQ(w.StatusText(3), "");  // the crop tab shows its own (empty) count
  EXPECT_EQ(w.gdSQL->RowCount(), 26);
  EXPECT_EQ(w.gdSQL->Cells(0, 0), "番号");
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
  EXPECT_FALSE(w.actGridCopy->isEnabled());  // the crop tab's grid is still empty

  w.pgSearch->setCurrentIndex(tiSQL);
  EXPECT_EQ(w.StatusText(3), "25件");
  EXPECT_TRUE(w.actGridCopy->isEnabled());
  w.SortByTitle(w.gdSQL, 1);
  EXPECT_EQ(w.GridStates[tiSQL].SortText, "ｿｰﾄ:農薬の名称△");
  EXPECT_EQ(w.StatusText(2), "ｿｰﾄ:農薬の名称△");
  w.SortByTitle(w.gdSQL, 1);
  EXPECT_EQ(w.StatusText(2), "ｿｰﾄ:農薬の名称▽");
  // A sort on a grid of another tab changes that tab's record only.
  w.SortByTitle(w.gdTekiyo, 0);
  EXPECT_EQ(w.StatusText(2), "ｿｰﾄ:農薬の名称▽");

  // A failing query: grid, count and sort text stay; inputs and the cursor come back.
  const size_t before = Sink().Count();
  EXPECT_FALSE(w.ShowQueryInGrid(w.gdSQL, "SELECT nosuchcolumn FROM m_kihon"));
  EXPECT_GT(Sink().Count(), before);  // the SQL error memo
  EXPECT_FALSE(w.gdSQL->isHidden());
  EXPECT_EQ(w.gdSQL->RowCount(), 26);
  EXPECT_EQ(w.GridStates[tiSQL].CountText, "25件");
  EXPECT_EQ(w.GridStates[tiSQL].SortText, "ｿｰﾄ:農薬の名称▽");
  EXPECT_TRUE(w.pnlSQL->isEnabled());
  EXPECT_TRUE(w.pgSearch->tabBar()->isEnabled());
  EXPECT_TRUE(w.actGridCopy->isEnabled());
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
  // The SQL text was logged.
  EXPECT_TRUE(w.mLog->toPlainText().contains("SQL>SELECT nosuchcolumn FROM m_kihon"));

  // A failure on a grid that never had a result leaves it hidden and copy disabled.
  w.pgSearch->setCurrentIndex(tiByochu);
  EXPECT_FALSE(w.ShowQueryInGrid(w.gdByochu, "SELEC broken"));
  EXPECT_TRUE(w.gdByochu->isHidden());
  EXPECT_FALSE(w.actGridCopy->isEnabled());
  EXPECT_FALSE(w.ShowQueryInGrid(w.gdByochu, ""));
}

TEST(MainWindow, DispatcherRunsTheActiveTabsSearchAndRecoversFromExceptions) {
  TMainWindowFixture fx;
  ASSERT_TRUE(fx.BuildSampleDb());
  TfrmMain w;
  w.show();
  Pump();
  ASSERT_TRUE(AcisDB);
  int counts[kSearchTabs] = {}, redisplays[kSearchTabs] = {};
  for (int t = 0; t < kSearchTabs; ++t)
    w.SetSearchHandler(t, std::make_unique<TCountingHandler>(&counts[t], &redisplays[t], t == tiYakuzai));
  const struct {
    int tab;
    int expected[kSearchTabs];
  } cases[] = {
      {tiSakumotsu, {1, 0, 0, 0, 0}},
      {tiByochu, {1, 1, 0, 0, 0}},
      {tiYakuzai, {1, 1, 1, 0, 0}},
      {tiTemplate, {1, 1, 1, 0, 0}},  // the template page runs its own SQL
      {tiSQL, {1, 1, 1, 0, 1}},
  };
  w.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
  for (const auto& c : cases) {
    w.pgSearch->setCurrentIndex(c.tab);
    // Ctrl+T pressed with the focus on the tabs.
    w.pgSearch->tabBar()->setFocus();
    QTest::keyClick(w.pgSearch->tabBar(), Qt::Key_T, Qt::ControlModifier);
    for (int t = 0; t < kSearchTabs; ++t) EXPECT_EQ(counts[t], c.expected[t]) << "tab " << c.tab << " handler " << t;
    // Whatever the search did, nothing stays busy or disabled (the template tab has no search).
    EXPECT_EQ(QApplication::overrideCursor(), nullptr) << c.tab;
    EXPECT_EQ(w.actSearchTekiyou->isEnabled(), c.tab != tiTemplate) << c.tab;
    EXPECT_TRUE(w.actSearchStrClear->isEnabled()) << c.tab;
    EXPECT_FALSE(w.actStop->isEnabled()) << c.tab;
    EXPECT_TRUE(w.pgSearch->tabBar()->isEnabled()) << c.tab;
  }
  EXPECT_TRUE(w.cbYotoTabYakuzai->isEnabled());  // the throwing chemical search left its inputs on
}

TEST(MainWindow, EnablingRulesFollowTheActiveTab) {
  TMainWindowFixture fx;
  ASSERT_TRUE(fx.BuildSampleDb());
  TfrmMain w;
  // The CSV export is installed (an action without a handler stays disabled throughout).
  QObject::connect(w.actCsvSave, &QAction::triggered, [] {});
  w.show();
  Pump();
  ASSERT_TRUE(w.ShowQueryInGrid(w.gdTekiyo, "SELECT bango FROM m_kihon LIMIT 3"));
  const struct {
    int tab;
    bool modes;   // trade-name, RAC and ingredient-display controls
    bool result;  // copy and export
  } cases[] = {
      {tiSakumotsu, true, true}, {tiTemplate, false, false}, {tiByochu, true, false},
      {tiSQL, false, false},     {tiYakuzai, false, false},  {tiSakumotsu, true, true},
  };
  for (const auto& c : cases) {
    w.pgSearch->setCurrentIndex(c.tab);
    EXPECT_EQ(w.CurrentGrid, w.GridStates[c.tab].Grid) << c.tab;
    EXPECT_EQ(w.actTsusho->isEnabled(), c.modes) << c.tab;
    EXPECT_EQ(w.actRacKeito->isEnabled(), c.modes) << c.tab;
    EXPECT_EQ(w.btnSeibunView->isEnabled(), c.modes) << c.tab;
    EXPECT_EQ(w.mnSearchSeibunView->isEnabled(), c.modes) << c.tab;
    EXPECT_EQ(w.actGridCopy->isEnabled(), c.result) << c.tab;
    EXPECT_EQ(w.actCsvSave->isEnabled(), c.result) << c.tab;
    EXPECT_EQ(w.seGridCellLine->isEnabled(), c.result) << c.tab;
    EXPECT_EQ(w.StatusText(3), c.result ? "3件" : "") << c.tab;
  }
  // Lines per cell belong to the tab.
  w.seGridCellLine->SetValue(4);
  EXPECT_EQ(w.GridStates[tiSakumotsu].CellLines, 4);
  w.pgSearch->setCurrentIndex(tiByochu);
  EXPECT_EQ(w.seGridCellLine->Value(), w.GridStates[tiByochu].CellLines);
  w.pgSearch->setCurrentIndex(tiSakumotsu);
  EXPECT_EQ(w.seGridCellLine->Value(), 4);
}

TEST(MainWindow, DisplayModesNameTheViewAndRedisplayShownResults) {
  TMainWindowFixture fx;
  fx.WriteIni("[OPTIONS]\nKeitoViewMode=1\nTushoMode=0\nSeibunViewMode=0\n");
  TfrmMain w;
  EXPECT_TRUE(w.RacKeitoOn);
  EXPECT_TRUE(w.actRacKeito->isChecked());
  EXPECT_EQ(w.ResultViewName, "tvTekiyoRkSaku1");
  int searches = 0, redisplays = 0, pestRedisplays = 0;
  w.SetSearchHandler(tiSakumotsu, std::make_unique<TCountingHandler>(&searches, &redisplays));
  w.SetSearchHandler(tiByochu, std::make_unique<TCountingHandler>(&searches, &pestRedisplays));
  // No result shown: only the setting and the next view name change.
  w.actTsusho->trigger();
  EXPECT_TRUE(OptionData->TushoMode);
  w.dmnSv[2]->trigger();
  EXPECT_EQ(OptionData->SeibunViewMode, 2);
  EXPECT_EQ(w.ResultViewName, "tvTsushoTekiyoRkSaku3");
  EXPECT_EQ(w.btnSeibunView->text(), "回数覧");
  EXPECT_TRUE(w.miSv[2]->isChecked());
  EXPECT_EQ(redisplays, 0);
  // With a crop result shown the crop tab redisplays; the pest tab's name is used there.
  w.gdTekiyo->show();
  w.pgSearch->setCurrentIndex(tiByochu);
  EXPECT_EQ(w.ResultViewName, "tvTsushoTekiyoRkByochu3");
  w.actRacKeito->trigger();
  EXPECT_FALSE(w.RacKeitoOn);
  EXPECT_EQ(OptionData->KeitoViewMode, 0);
  EXPECT_EQ(redisplays, 1);
  EXPECT_EQ(pestRedisplays, 0);
  EXPECT_EQ(w.ResultViewName, "tvTsushoTekiyoByochu3");
  // The template tab keeps the last name.
  w.pgSearch->setCurrentIndex(tiTemplate);
  w.miSv[4]->trigger();
  EXPECT_EQ(w.ResultViewName, "tvTsushoTekiyoSaku5");  // step 1 of the redisplay named the crop view
  EXPECT_EQ(searches, 0);
}

// Stored modes and targets the window does not know change nothing: RAC stays off, the
// ingredient display and the spreadsheet button keep their designed state, and the values go
// back to the file as they came.
TEST(MainWindow, StoredModesOutsideTheRangeChangeNothing) {
  TMainWindowFixture fx;
  fx.WriteIni("[OPTIONS]\nKeitoViewMode=2\nSeibunViewMode=7\nSpreadSheet=5\n");
  {
    TfrmMain w;
    EXPECT_FALSE(w.RacKeitoOn);
    EXPECT_FALSE(w.actRacKeito->isChecked());
    EXPECT_EQ(w.SeibunView, 0);
    EXPECT_EQ(w.btnSeibunView->text(), "成分簡略");
    EXPECT_TRUE(w.miSv[0]->isChecked());
    EXPECT_FALSE(w.miSv[4]->isChecked());
    EXPECT_EQ(w.ResultViewName.back(), '1');
    EXPECT_EQ(w.btnExcel->defaultAction(), w.actCopyExcelByHTML);
    w.close();
  }
  TIniFile ini(OptionData->IniFileName);
  EXPECT_EQ(ini.ReadInteger("OPTIONS", "KeitoViewMode", -1), 2);
  EXPECT_EQ(ini.ReadInteger("OPTIONS", "SeibunViewMode", -1), 7);
  EXPECT_EQ(ini.ReadInteger("OPTIONS", "SpreadSheet", -1), 5);

  // In range they are applied.
  fx.WriteIni("[OPTIONS]\nKeitoViewMode=1\nSeibunViewMode=3\nSpreadSheet=2\n");
  TfrmMain w;
  EXPECT_TRUE(w.RacKeitoOn);
  EXPECT_EQ(w.SeibunView, 3);
  EXPECT_EQ(w.btnSeibunView->text(), "回数省略");
  EXPECT_EQ(w.btnExcel->defaultAction(), w.actCopyWPS);
}

namespace {

struct TFakeServices : TMainWindowServices {
  int Result = 0;
  int* Calls;
  explicit TFakeServices(int r, int* calls) : Result(r), Calls(calls) {}
  int RunAutoUpdate(TfrmMain&) override {
    ++*Calls;
    return Result;
  }
  int RunAutoDownloadCheck(TfrmMain&) override {
    ++*Calls;
    return Result + 1;
  }
};

}  // namespace

TEST(MainWindow, UnattendedRunsCloseTheWindowWithoutListsOrDialogs) {
  for (const bool update : {true, false}) {
    TMainWindowFixture fx;
    ASSERT_TRUE(fx.BuildSampleDb());
    int calls = 0;
    SetMainWindowServices(std::make_unique<TFakeServices>(1, &calls));
    if (update)
      CmdAutoUpdate = true;
    else
      CmdAutoDownload = true;
    TfrmMain w;
    int done = 0;
    w.OnUnattendedDone = [&done] { ++done; };
    // The database is opened by the update engine; the closing window leaves it alone.
    AcisDB = std::make_unique<TAcisDB>(fx.DBDir() + "/acis.db", AcisDBSettingsFromOptions());
    const size_t messages = Sink().Count();
    w.show();
    Pump();
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(BatchExitCode, update ? 1 : 2);
    EXPECT_EQ(done, 1);
    EXPECT_FALSE(w.isVisible());
    EXPECT_EQ(w.lstBango->count(), 0);
    EXPECT_EQ(w.cbYotoTabYakuzai->count(), 0);
    EXPECT_EQ(Sink().Count(), messages);
    // The settings were saved on the way out.
    EXPECT_NE(fx.ReadIni().find("[WINDOW]"), std::string::npos);
  }
}

TEST(MainWindow, AnExceptionInTheUnattendedRunCountsAsAborted) {
  TMainWindowFixture fx;
  struct TThrowing : TMainWindowServices {
    int RunAutoUpdate(TfrmMain&) override { throw std::runtime_error("network down"); }
  };
  SetMainWindowServices(std::make_unique<TThrowing>());
  CmdAutoUpdate = true;
  TfrmMain w;
  w.show();
  Pump();
  EXPECT_EQ(BatchExitCode, kExitAborted);
  EXPECT_FALSE(w.isVisible());
}

TEST(MainWindow, ClearConditionsEmptiesTheActiveTabOnly) {
  TMainWindowFixture fx;
  TfrmMain w;
  w.eSakumotsu->setText("トマト");
  w.eKinsetsuSakumotsu->setText("ミニトマト");
  w.edtYoto->setText("殺虫剤");
  w.SakumotsuSelection = "トマト";
  w.edtByochu->setText("うどんこ病");
  w.eYakuzai->setText("アセタミプリド");
  w.actSearchStrClear->trigger();
  EXPECT_TRUE(w.eSakumotsu->text().isEmpty());
  EXPECT_TRUE(w.eKinsetsuSakumotsu->text().isEmpty());
  EXPECT_TRUE(w.edtYoto->text().isEmpty());
  EXPECT_FALSE(w.btnByochu->isEnabled());
  EXPECT_TRUE(w.SakumotsuSelection.isEmpty());
  EXPECT_EQ(w.edtByochu->text(), "うどんこ病");
  w.pgSearch->setCurrentIndex(tiYakuzai);
  w.actSearchStrClear->trigger();
  EXPECT_TRUE(w.eYakuzai->text().isEmpty());
  EXPECT_EQ(w.edtByochu->text(), "うどんこ病");
}

TEST(MainWindow, LogPaneWriteAndToggle) {
  TMainWindowFixture fx;
  fx.WriteIni("[WINDOW]\nLogPaneHeight=0\nLogPaneVisible=1\n");
  TfrmMain w;
  w.show();
  Pump();
  w.WriteLog(QString("一行目"));
  w.WriteLog(std::string("二行目"));
  EXPECT_TRUE(w.mLog->toPlainText().endsWith("一行目\n二行目"));
  w.mnLogPaneOn->trigger();  // hide
  EXPECT_TRUE(w.mLog->isHidden());
  w.mnLogPaneOn->trigger();  // show again: a pane without height comes back 16 high
  Pump();
  EXPECT_FALSE(w.mLog->isHidden());
  EXPECT_EQ(w.PaneSize(w.mLog), 16);
}

TEST(MainWindow, YotoWhereClauseQuotesTheName) {
  EXPECT_EQ(YotoWhereClause("全て"), "");
  EXPECT_EQ(YotoWhereClause(""), "");
  EXPECT_EQ(YotoWhereClause("殺虫剤"), "WHERE yoto = '殺虫剤'");
  EXPECT_EQ(YotoWhereClause("a'b"), "WHERE yoto = 'a''b'");
}

// The window on the sample register after a crop search: rendering works (Japanese text,
// alternate rows, the status bar). With QM_SCREENSHOT set the picture is saved there.
TEST(MainWindow, RendersTheSampleRegister) {
  TMainWindowFixture fx;
  ASSERT_TRUE(fx.BuildSampleDb());
  fx.WriteIni("[WINDOW]\nLeft=0\nTop=0\nWidth=1000\nHeight=700\nLogPaneHeight=110\nLogPaneVisible=1\n"
              "StatusBarVisible=1\nToolBarVisible=1\nSearchPanelVisible=1\n[OPTIONS]\nTekiyouGridEveryOtherLine=1\n"
              "TushoMode=0\nSeibunViewMode=0\nKeitoViewMode=0\n[COLOR]\nTekiyouColor2=00F0F0E0\n");
  TfrmMain w;
  InstallSearchPages(w);  // the crop frame and the crop search, as the program has them
  EXPECT_EQ(w.fraSakumotsu->objectName(), "fraSakumotsu");
  w.show();
  Pump(200);
  ASSERT_TRUE(AcisDB);
  auto* frame = qobject_cast<TfraSakumotsuBase*>(w.fraSakumotsu);
  ASSERT_NE(frame, nullptr);
  frame->eSakumotsu->setText("トマト");
  Pump();
  frame->tbTekiyoClick();
  Pump(200);
  ASSERT_TRUE(w.GridVisible(w.gdTekiyo));
  EXPECT_GT(w.gdTekiyo->RowCount(), 2);
  EXPECT_EQ(w.StatusText(3), QString::number(w.gdTekiyo->RowCount() - 1) + "件");
  w.SortByTitle(w.gdTekiyo, 0);
  Pump(200);
  EXPECT_EQ(w.StatusText(2), "ｿｰﾄ:番号△");
  const QPixmap shot = w.grab();
  EXPECT_FALSE(shot.isNull());
  if (const char* path = std::getenv("QM_SCREENSHOT")) {
    EXPECT_TRUE(shot.save(QString::fromLocal8Bit(path)));
  }
}

// A search that lets the window breathe (and so may see another request to search, say from
// the crop frame's automatic search) never runs a second search inside itself.
TEST(MainWindow, NoSearchStartsInsideARunningSearch) {
  TMainWindowFixture fx;
  ASSERT_TRUE(fx.BuildSampleDb());
  TfrmMain w;
  w.show();
  Pump();
  ASSERT_TRUE(AcisDB);
  struct TReentrant : TSearchTabHandler {
    TfrmMain& Main;
    int Runs = 0;
    explicit TReentrant(TfrmMain& m) : Main(m) {}
    void Search() override {
      ++Runs;
      Main.actSearchTekiyouExecute();
    }
  };
  auto handler = std::make_unique<TReentrant>(w);
  TReentrant* h = handler.get();
  w.SetSearchHandler(tiSakumotsu, std::move(handler));
  w.actSearchTekiyouExecute();
  EXPECT_EQ(h->Runs, 1);
  w.actSearchTekiyouExecute();  // the next request runs again
  EXPECT_EQ(h->Runs, 2);
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}
