// The update window offscreen: its state when it opens for each data source, its buttons as a
// user presses them, the automatic run that closes the window, and "中止" while a download
// hangs on a loopback server.
#include <gtest/gtest.h>

#include <QAction>
#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <filesystem>

#include "common/test_support.h"
#include "database/acis_build.h"
#include "database/acis_db.h"
#include "database/master_refresh.h"
#include "foundation/file_dialog_pos.h"
#include "foundation/global.h"
#include "foundation/message_sink.h"
#include "update/acis_svr.h"
#include "update/frm_update.h"
#include "sample_site.h"
#include "support_http_server.h"
#include "update_test_support.h"

namespace fs = std::filesystem;
using namespace updtest;

namespace {

class FrmUpdateTest : public ::testing::Test {
 protected:
  void SetUp() override {
    base_ = tmp_.path().toStdString();
    InitGlobals(base_ + "/app");
    OptionData->DBDir = base_ + "/app/DB";
    OptionData->DownloadDir = base_ + "/app/Download";
    OptionData->ReceiveTimeout = 10000;
    fs::create_directories(OptionData->DBDir);
    scoped_ = std::make_unique<TScopedMessageSink>(&sink_);
  }
  void TearDown() override {
    AcisDB.reset();
    SetMasterDownloader(nullptr);
    ::unsetenv("QUILLMAR_ACIS_BASE");
    ::unsetenv("QUILLMAR_MIRROR_BASE");
    scoped_.reset();
    FinalizeGlobals();
  }
  void Serve() {
    ASSERT_TRUE(sample_site::MakeServerTree(base_ + "/site"));
    server_ = std::make_unique<TTestHttpServer>(base_ + "/site");
    ASSERT_TRUE(server_->Running());
    ::setenv("QUILLMAR_ACIS_BASE", server_->Base().c_str(), 1);
    ::setenv("QUILLMAR_MIRROR_BASE", server_->Base().c_str(), 1);
    SetMasterDownloader(&masters_);
  }
  std::vector<QPushButton*> StepButtons(TfrmUpdate& f) {
    return {f.btnAcisCsvDown, f.bDown, f.bVeskDown, f.btnSQLiteDBDown, f.btnAcisZipUnpack, f.bUnpack,
            f.bZipUnpack, f.btnUnpackDB, f.btnAcisCsvToDb, f.bXlsCnv, f.bCsvToDB};
  }

  QTemporaryDir tmp_;
  std::string base_;
  TLogMessageSink sink_;
  std::unique_ptr<TScopedMessageSink> scoped_;
  std::unique_ptr<TTestHttpServer> server_;
  TSvrMasterDownloader masters_;
};

}  // namespace

TEST_F(FrmUpdateTest, OpensOnThePageOfTheDataSourceWithItsStepsOff) {
  for (int site = 0; site <= 4; ++site) {
    OptionData->DownSite = static_cast<std::uint8_t>(site);
    OptionData->UserSite = "http://example.invalid/own/";
    OptionData->UseLAN = site == 2;
    TfrmUpdate f;
    EXPECT_EQ(f.Mode(), site);
    EXPECT_EQ(f.pgSite->currentIndex(), std::min(site, 3));
    EXPECT_EQ(f.windowTitle(), site == 2 ? "データ更新 - 共有フォルダからの更新" : "データ更新");
    EXPECT_EQ(f.rdCustum->isChecked(), site == 4);
    EXPECT_EQ(f.edtDownloadSite->isHidden(), site != 4);
    EXPECT_EQ(f.cbVeskDBSite->isHidden(), site == 4);
    if (site == 4) {
      EXPECT_EQ(f.edtDownloadSite->text(), "http://example.invalid/own/");
    }
    for (QPushButton* b : StepButtons(f)) EXPECT_FALSE(b->isEnabled()) << b->objectName().toStdString();
    EXPECT_FALSE(f.bAbort->isEnabled());
    EXPECT_TRUE(f.bAuto->isEnabled());
    EXPECT_TRUE(f.pmnJppSeizai->isEnabled());
    EXPECT_TRUE(f.pmnJppSeibun->isEnabled());
  }
}

TEST_F(FrmUpdateTest, ManualButtonsPagesAndMirrorChoice) {
  CmdOffline = true;
  OptionData->DownSite = 0;
  TfrmUpdate f;
  f.show();
  EXPECT_FALSE(f.bAuto->isEnabled());  // offline: no automatic update
  QTest::mouseClick(f.ckManual, Qt::LeftButton);
  EXPECT_TRUE(f.ckManual->isChecked());
  // Offline the download buttons stay off; unpack and convert follow "手動更新".
  EXPECT_FALSE(f.btnAcisCsvDown->isEnabled());
  EXPECT_TRUE(f.btnAcisZipUnpack->isEnabled());
  EXPECT_TRUE(f.bCsvToDB->isEnabled());
  QTest::mouseClick(f.ckManual, Qt::LeftButton);
  EXPECT_FALSE(f.btnAcisZipUnpack->isEnabled());

  // The page decides the source; the SQLiteDB page's own site needs a UserSite.
  f.pgSite->setCurrentIndex(1);
  EXPECT_EQ(f.Mode(), 1);
  f.pgSite->setCurrentIndex(3);
  EXPECT_EQ(f.Mode(), 3);
  QTest::mouseClick(f.rdCustum, Qt::LeftButton, {}, QPoint(5, f.rdCustum->height() / 2));
  EXPECT_EQ(f.Mode(), 4);
  EXPECT_TRUE(f.edtDownloadSite->isVisible());
  EXPECT_FALSE(f.cbVeskDBSite->isVisible());
  OptionData->UserSite.clear();
  f.pgSite->setCurrentIndex(2);
  f.pgSite->setCurrentIndex(3);
  EXPECT_EQ(f.Mode(), 3);  // no own site known
  QTest::mouseClick(f.rdVesk, Qt::LeftButton, {}, QPoint(5, f.rdVesk->height() / 2));
  EXPECT_EQ(f.Mode(), 3);
  EXPECT_TRUE(f.cbVeskDBSite->isVisible());
  // A mirror without a known host is named on the page.
  ::unsetenv("QUILLMAR_MIRROR_BASE");
  f.cbVeskDBSite->setCurrentIndex(2);
  emit f.cbVeskDBSite->activated(2);
  EXPECT_EQ(f.Runner().MirrorIndex, 2);
  EXPECT_TRUE(f.lblMirrorNote->isVisible());
}

TEST_F(FrmUpdateTest, AutomaticRunUpdatesAndClosesTheWindow) {
  Serve();
  OptionData->DownSite = 2;
  TfrmUpdate f;
  f.AutoStart() = true;
  f.show();
  QTRY_VERIFY_WITH_TIMEOUT(!f.isVisible(), 60000);
  EXPECT_TRUE(f.Updated());
  EXPECT_TRUE(f.mLog->toPlainText().contains("データ更新完了"));
  ASSERT_TRUE(AcisDB);
  EXPECT_EQ(AcisDB->FLastUpdate, "2026年11月4日反映");
  // Steps pressed by hand afterwards: unpack and rebuild from what is there.
  TfrmUpdate g;
  g.show();
  g.pgSite->setCurrentIndex(2);
  QTest::mouseClick(g.ckManual, Qt::LeftButton);
  QTest::mouseClick(g.bZipUnpack, Qt::LeftButton);
  EXPECT_TRUE(g.mLog->toPlainText().contains("解凍作業完了"));
  QTest::mouseClick(g.bCsvToDB, Qt::LeftButton);
  EXPECT_TRUE(g.Updated());
  EXPECT_TRUE(g.bCsvToDB->isEnabled());  // the buttons are back
}

TEST_F(FrmUpdateTest, AbortWhileADownloadHangsKeepsTheWindowOpen) {
  Serve();
  ASSERT_TRUE(WriteFile(base_ + "/site/ddata/datacsv/登録適用部一_20261104.zip.stall", "30"));
  OptionData->DownSite = 0;
  TfrmUpdate f;
  f.AutoStart() = true;
  bool checked = false;
  // While the download hangs: the sequence owns the window.
  QTimer timer;
  timer.setInterval(100);
  QObject::connect(&timer, &QTimer::timeout, [&] {
    if (checked || !f.mLog->toPlainText().contains("登録適用部一_20261104.zip ダウンロード開始")) return;
    checked = true;
    EXPECT_TRUE(f.LabelBold(0, "登録適用部一"));
    EXPECT_TRUE(f.bAbort->isEnabled());
    EXPECT_FALSE(f.bAuto->isEnabled());
    EXPECT_FALSE(f.bClose->isEnabled());
    f.close();  // refused during the sequence
    QTest::keyClick(&f, Qt::Key_Escape);
    EXPECT_TRUE(f.isVisible());
    QTest::mouseClick(f.bAbort, Qt::LeftButton);
  });
  timer.start();
  f.show();
  QTRY_VERIFY_WITH_TIMEOUT(f.mLog->toPlainText().contains("データ更新中止!"), 20000);
  EXPECT_TRUE(checked);
  EXPECT_FALSE(f.Updated());
  EXPECT_FALSE(f.LabelBold(0, "登録適用部一"));
  // The run has ended (its buttons are back) and what it posted, a close after a finished run
  // for one, has been delivered: an aborted automatic run leaves its log on the screen.
  ASSERT_TRUE(QTest::qWaitFor([&] { return f.bAuto->isEnabled(); }, 20000));
  QCoreApplication::sendPostedEvents();
  QCoreApplication::processEvents();
  EXPECT_TRUE(f.isVisible());
  EXPECT_TRUE(f.bAuto->isEnabled());
  EXPECT_FALSE(f.bAbort->isEnabled());
  EXPECT_FALSE(AcisDB);
  f.close();
  EXPECT_FALSE(f.isVisible());
}

TEST_F(FrmUpdateTest, AnUnreadableWorkbookStopsTheConversionWithNoLabelLeftBold) {
  const std::string grid = SourcePath("data/sample/grid/");
  for (const char* name : {"登録基本部", "登録適用部一", "登録適用部二", "登録適用部三", "登録適用部四"})
    ASSERT_TRUE(sample_site::CopyInto(grid + name + ".xls", OptionData->DownloadDir + "/" + name + ".xls"));
  OptionData->DownSite = 1;
  struct TCase {
    const char* broken;     // the workbook that is no workbook
    const char* readLine;   // how far the conversion got
  };
  const TCase cases[] = {
      {"登録基本部", "登録基本部.xls 読込中"},      // read before the build (it carries the date)
      {"登録適用部三", "登録適用部三.xls 読込中"},  // read while the build imports it
  };
  for (const TCase& c : cases) {
    const std::string file = OptionData->DownloadDir + "/" + c.broken + ".xls";
    const std::string good = grid + c.broken + ".xls";
    ASSERT_TRUE(WriteFile(file, "this is no workbook\n"));
    TfrmUpdate f;
    f.show();
    QTest::mouseClick(f.ckManual, Qt::LeftButton);
    ASSERT_TRUE(f.bXlsCnv->isEnabled());
    QTest::mouseClick(f.bXlsCnv, Qt::LeftButton);
    const QString log = f.mLog->toPlainText();
    EXPECT_TRUE(log.contains(c.readLine)) << c.broken << "\n" << log.toStdString();
    EXPECT_FALSE(log.contains("データ更新完了")) << log.toStdString();
    for (const char* label : {"登録基本部", "登録適用部一", "登録適用部二", "登録適用部三", "登録適用部四"})
      EXPECT_FALSE(f.LabelBold(1, label)) << c.broken << ": " << label;
    EXPECT_EQ(f.ProgressBar->value(), 0);
    EXPECT_TRUE(f.bXlsCnv->isEnabled());  // the buttons are back
    EXPECT_FALSE(f.Updated());
    EXPECT_FALSE(AcisDB);
    ASSERT_TRUE(sample_site::CopyInto(good, file));
  }
}

TEST_F(FrmUpdateTest, ExtensionMenuImportsTheJppNetFilesIntoJppDb) {
  {
    TAcisBuildRequest req;
    req.DBDir = OptionData->DBDir;
    req.Source = 2;
    req.KihonFile = SourcePath("data/sample/mirror/kihon.csv");
    req.TekiyoFiles = {SourcePath("data/sample/mirror/tekiyo.csv")};
    req.Settings.DBDir = OptionData->DBDir;
    req.Settings.UseLAN = true;
    req.Settings.dirLAN = SourcePath("data/sample/masters");
    req.Settings.DownloadDir = OptionData->DownloadDir;
    ASSERT_TRUE(BuildAcisDatabase(req).Ok);
  }
  AcisDB = std::make_unique<TAcisDB>(OptionData->DBDir + "/acis.db", UpdateDbSettings(*OptionData));
  TfrmUpdate f;
  f.show();
  ASSERT_TRUE(f.pmnJppSeizai->isEnabled());
  QString title, chosen;
  TFileDialogPos::AfterShow = [&](QFileDialog& d) {
    title = d.windowTitle();
    d.selectFile(chosen);
    QMetaObject::invokeMethod(&d, "accept");
  };
  chosen = QString::fromStdString(SourcePath("data/sample/jpp/n_trk20261104_1.txt"));
  f.pmnJppSeizai->trigger();
  EXPECT_EQ(title, "JPP-NET「剤の概要」CSVファイルを選択して下さい");
  chosen = QString::fromStdString(SourcePath("data/sample/jpp/n_trk20261104_3.txt"));
  f.pmnJppSeibun->trigger();
  EXPECT_EQ(title, "JPP-NET「有効成分」CSVファイルを選択して下さい");
  TFileDialogPos::AfterShow = nullptr;
  const QString log = f.mLog->toPlainText();
  EXPECT_TRUE(log.contains("テーブル作成 jpp.tJppSeizai")) << log.toStdString();
  EXPECT_TRUE(log.contains("テーブル作成 jpp.tJppSeibun"));
  // Read back with the sqlite3 program: every product line is there.
  FILE* p = ::popen(("sqlite3 '" + OptionData->DBDir + "/jpp.db' 'SELECT count(*) FROM jppSeizai'").c_str(), "r");
  char buf[64] = {};
  ASSERT_TRUE(std::fgets(buf, sizeof buf, p));
  ::pclose(p);
  EXPECT_GT(std::atoi(buf), 100);
  EXPECT_FALSE(f.bAbort->isEnabled());  // the buttons are back
}
