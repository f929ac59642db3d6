// The start-up data check on real database files, the server check against a loopback server
// and a shared folder, the first-run dialogs driven offscreen, and the update command (Ctrl+Y)
// through the update window.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QToolButton>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <filesystem>
#include <functional>
#include <stdexcept>

#include "common/test_support.h"
#include "database/acis_db.h"
#include "database/master_refresh.h"
#include "foundation/disk_space.h"
#include "foundation/global.h"
#include "foundation/message_sink.h"
#include "frontend/console/sql_console.h"
#include "frontend/data_update_services.h"
#include "foundation/file_dialog_pos.h"
#include "frontend/frm_main.h"
#include "frontend/main_pages.h"
#include "frontend/picker_placement.h"
#include "support_main_window.h"
#include "update/acis_svr.h"
#include "update/frm_startup.h"
#include "update/frm_update.h"
#include "update/inet_download.h"
#include "update/sample_site.h"

namespace fs = std::filesystem;

namespace {

// Records every message and answers with what the test says (default: the default answer).
class TScriptedSink : public TMessageSink {
 public:
  TMsgAnswer Show(const TMessage& msg, TMsgButtons, TMsgAnswer def) override {
    texts.push_back(msg.text);
    return answer ? answer(msg) : def;
  }
  std::function<TMsgAnswer(const TMessage&)> answer;
  std::vector<std::string> texts;
  bool Saw(const std::string& part) const {
    for (const auto& t : texts)
      if (t.find(part) != std::string::npos) return true;
    return false;
  }
};

std::string ReadText(const std::string& path) {
  QFile f(QString::fromStdString(path));
  return f.open(QIODevice::ReadOnly) ? f.readAll().toStdString() : std::string();
}

std::string Sql(const std::string& db, const std::string& sql) {
  std::string out;
  FILE* p = ::popen(("sqlite3 '" + db + "' \"" + sql + "\" 2>&1").c_str(), "r");
  char buf[256];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
  ::pclose(p);
  while (!out.empty() && out.back() == '\n') out.pop_back();
  return out;
}

class DataUpdateServices : public ::testing::Test {
 protected:
  void SetUp() override {
    InstallDataUpdateServices();
    services_ = static_cast<TDataUpdateServices*>(&MainWindowServices());
    scoped_ = std::make_unique<TScopedMessageSink>(&sink_);
    SetMasterDownloader(&masters_);
  }
  void TearDown() override {
    SetPickerModalHook(nullptr);
    SetMasterDownloader(nullptr);
    SetInetConnectedStateProvider(nullptr);
    ::unsetenv("QUILLMAR_ACIS_BASE");
    ::unsetenv("QUILLMAR_MIRROR_BASE");
    scoped_.reset();
    SetDefaultDownSiteRule(nullptr);
  }
  std::string Db() const { return fx_.DBDir() + "/acis.db"; }
  // The main window on the fixture's folder (settings from its quillmar.ini).
  std::unique_ptr<TfrmMain> Window() {
    auto w = std::make_unique<TfrmMain>();
    OptionData->DownloadDir = fx_.AppDir + "Download";
    QDir().mkpath(QString::fromStdString(OptionData->DownloadDir));
    return w;
  }
  std::string Share() {
    const std::string share = fx_.AppDir + "share";
    if (!fs::exists(share)) {
      EXPECT_TRUE(sample_site::MakeSharedFolder(share));
    }
    return share;
  }

  TMainWindowFixture fx_;
  TDataUpdateServices* services_ = nullptr;
  TScriptedSink sink_;
  std::unique_ptr<TScopedMessageSink> scoped_;
  TSvrMasterDownloader masters_;
};

}  // namespace

TEST_F(DataUpdateServices, StateTableOnRealDatabaseFiles) {
  CmdOffline = true;  // the database alone decides
  auto w = Window();
  EXPECT_EQ(services_->CheckDatabaseState(*w), dsNoDatabase);
  EXPECT_FALSE(AcisDB);

  ASSERT_TRUE(fx_.BuildSampleDb());
  EXPECT_EQ(services_->CheckDatabaseState(*w), dsCurrent);
  ASSERT_TRUE(AcisDB);
  OptionData->DownSite = 3;
  AcisDB.reset();
  EXPECT_EQ(services_->CheckDatabaseState(*w), dsPrebuilt);
  EXPECT_FALSE(AcisDB);  // nothing is opened for the prebuilt sources
  OptionData->DownSite = 0;

  AcisDB.reset();
  EXPECT_EQ(Sql(Db(), "UPDATE info SET Value='120413' WHERE Item='Version'"), "");
  EXPECT_EQ(services_->CheckDatabaseState(*w), dsOldVersion);
  AcisDB.reset();
  EXPECT_EQ(Sql(Db(), "DROP TABLE seibun"), "");
  EXPECT_EQ(services_->CheckDatabaseState(*w), dsInvalid);
  AcisDB.reset();
  EXPECT_EQ(Sql(Db(), "DROP TABLE info"), "");
  EXPECT_EQ(services_->CheckDatabaseState(*w), dsNoInfoTable) << w->mLog->toPlainText().toStdString();

  // A file that is no database at all is never taken for a current one.
  AcisDB.reset();
  fs::remove(Db());
  {
    FILE* f = std::fopen(Db().c_str(), "w");
    std::fputs("not a database", f);
    std::fclose(f);
  }
  const int state = services_->CheckDatabaseState(*w);
  EXPECT_TRUE(state == dsNoInfoTable || state == dsInvalid) << state;
  AcisDB.reset();
}

TEST_F(DataUpdateServices, ServerCheckComparesThePageCopysDateAlsoAfterNotModified) {
  const std::string site = fx_.AppDir + "site";
  ASSERT_TRUE(sample_site::MakeServerTree(site));
  sample_site::TSiteServer server(site);
  ASSERT_TRUE(server.Running());
  ::setenv("QUILLMAR_ACIS_BASE", server.Base().c_str(), 1);
  ASSERT_TRUE(fx_.BuildSampleDb());  // dated 2026年11月04日反映: older than the page says
  auto w = Window();
  OptionData->DownSite = 0;

  // The page is new to us: newer data.
  EXPECT_EQ(services_->CheckDatabaseState(*w), dsServerNewer);
  EXPECT_EQ(w->ServerUpdateDate.toStdString(), "2026年11月4日反映及び失効反映");
  // The same page again ("304"): still newer, the database has not caught up.
  EXPECT_EQ(services_->CheckDatabaseState(*w), dsServerNewer);
  EXPECT_TRUE(w->mLog->toPlainText().contains("304"));

  // Declined: the page copy goes, and the next start offers the same data again.
  sink_.answer = [](const TMessage&) { return TMsgAnswer::Cancel; };
  services_->GUIStart(*w, dsServerNewer);
  EXPECT_TRUE(sink_.Saw("新しいデータがあります。"));
  EXPECT_TRUE(sink_.Saw("更新データ: 2026年11月4日反映及び失効反映"));
  EXPECT_FALSE(fs::exists(OptionData->DownloadDir + "/update2.htm"));
  EXPECT_EQ(services_->CheckDatabaseState(*w), dsServerNewer);

  // The database carries the page's date: current, after "304" as after "200".
  AcisDB->SetLastUpdate("2026年11月4日反映及び失効反映");
  EXPECT_EQ(services_->CheckDatabaseState(*w), dsCurrent);
  EXPECT_EQ(services_->CheckDatabaseState(*w), dsCurrent);

  // An error status: one error box naming the page, and no newer data.
  {
    FILE* f = std::fopen((site + "/ddata/index2.htm.status").c_str(), "w");
    std::fputs("503", f);
    std::fclose(f);
  }
  fs::remove(OptionData->DownloadDir + "/update2.htm");
  sink_.texts.clear();
  EXPECT_EQ(services_->CheckDatabaseState(*w), dsCurrent);
  ASSERT_EQ(sink_.texts.size(), 1u);
  EXPECT_NE(sink_.texts[0].find("FAMIC CSVダウンロードページへ接続できません"), std::string::npos);
  EXPECT_NE(sink_.texts[0].find("StatusCode: 503"), std::string::npos);

  // Offline: no request at all.
  CmdOffline = true;
  EXPECT_FALSE(services_->CheckServerUpdate(*w));
  EXPECT_TRUE(w->mLog->toPlainText().contains("オフラインモード データ更新確認省略"));
  AcisDB.reset();
}

TEST_F(DataUpdateServices, FirstRunDialogsOffscreen) {
  auto w = Window();
  ::unsetenv("QUILLMAR_MIRROR_BASE");
  {
    TfrmStartup d(w.get());
    // Without a known mirror host a new user starts on the public CSV data.
    EXPECT_EQ(d.DownSiteIndex(), 0);
    EXPECT_FALSE(d.edtLAN->isEnabled());
    EXPECT_FALSE(d.btnLAN->isEnabled());
    d.show();
    EXPECT_GT(d.edtLAN->width(), d.edtLAN->fontMetrics().horizontalAdvance("/mnt/share/quillmar/Download") + 8);
    QTest::mouseClick(d.ckUseLAN, Qt::LeftButton, {}, QPoint(5, d.ckUseLAN->height() / 2));
    EXPECT_TRUE(d.edtLAN->isEnabled());
    EXPECT_TRUE(d.lblFolder->isEnabled());
    QTest::mouseClick(d.ckUseLAN, Qt::LeftButton, {}, QPoint(5, d.ckUseLAN->height() / 2));
    EXPECT_FALSE(d.edtLAN->isEnabled());

    // The mirror's databases without a known host: said in plain words, the dialog stays.
    d.SetDownSiteIndex(3);
    EXPECT_TRUE(d.lblMirrorNote->isVisible());
    QTest::mouseClick(d.bDownSiteSet, Qt::LeftButton);
    EXPECT_TRUE(sink_.Saw("ミラーサイトのアドレスが設定されていない"));
    EXPECT_TRUE(d.isVisible());
    // With a shared folder the mirror's files come from there: fine.
    d.ckUseLAN->click();
    d.edtLAN->setText("/srv/share");
    EXPECT_FALSE(d.lblMirrorNote->isVisible());
    QTest::mouseClick(d.bDownSiteSet, Qt::LeftButton);
    EXPECT_FALSE(d.isVisible());
    EXPECT_FALSE(d.Cancelled);
    EXPECT_EQ(OptionData->DownSite, 3);
    EXPECT_TRUE(OptionData->UseLAN);
    EXPECT_EQ(OptionData->dirLAN, "/srv/share");
  }
  {
    // Escape is a cancel and changes nothing.
    OptionData->DownSite = 1;
    TfrmStartup d(w.get());
    d.show();
    d.SetDownSiteIndex(2);
    QTest::keyClick(&d, Qt::Key_Escape);
    EXPECT_TRUE(d.Cancelled);
    EXPECT_EQ(OptionData->DownSite, 1);
  }
  {
    // Unticking "相対パス" makes the program folder the current one: put it back afterwards.
    const QString cwd = QDir::currentPath();
    struct TRestore {
      QString dir;
      ~TRestore() { QDir::setCurrent(dir); }
    } restore{cwd};
    TfrmStartup2 d(w.get());
    d.show();
    // A download folder of the usual length fits in its box (the per-user folder of a home
    // with a longish user name), whatever folder the test runs in.
    const QString usual = "/home/quillmar-user/.local/share/Quillmar/Quillmar/Download";
    EXPECT_GT(d.edtSaveFolder->width(), d.edtSaveFolder->fontMetrics().horizontalAdvance(usual) + 8);
    const std::string target = fx_.AppDir + "dl2";
    d.edtSaveFolder->setText(QString::fromStdString(target));
    d.ckRelativePath->click();
    EXPECT_EQ(d.edtSaveFolder->text(), "dl2");
    d.ckRelativePath->click();
    EXPECT_EQ(d.edtSaveFolder->text().toStdString(), target);
    d.ckRelativePath->click();
    QTest::mouseClick(d.btnOK, Qt::LeftButton);
    EXPECT_FALSE(d.Cancelled);
    EXPECT_EQ(OptionData->dirDownloadPath, "dl2");
    EXPECT_TRUE(OptionData->DownloadRelativePath);
    EXPECT_EQ(OptionData->DownloadDir, target);
    EXPECT_TRUE(fs::is_directory(target));
  }
}

TEST_F(DataUpdateServices, CancelledFirstRunUpdatesOnlyWithAConnection) {
  auto w = Window();
  int updateWindows = 0;
  // Cancelled while connected: the update window opens as for a database without data.
  SetPickerModalHook([&](QDialog& d) {
    if (qobject_cast<TfrmUpdate*>(&d)) ++updateWindows;
    if (auto* s = qobject_cast<TfrmStartup*>(&d)) s->bDownSiteCancel->click();
    return static_cast<int>(QDialog::Rejected);
  });
  services_->GUIStart(*w, dsNoDatabase);
  EXPECT_EQ(updateWindows, 1);
  EXPECT_FALSE(sink_.Saw("インターネットに接続されていないためデータ取得できません。"));
  EXPECT_NE(w->StatusText(0), "DB:なし");

  // The second dialog cancelled, without a connection: the error box, still nothing started.
  SetInetConnectedStateProvider([] { return TInetConnectedState{false, false}; });
  SetPickerModalHook([&](QDialog& d) {
    if (qobject_cast<TfrmUpdate*>(&d)) ++updateWindows;
    if (auto* s = qobject_cast<TfrmStartup*>(&d)) s->bDownSiteSet->click();
    if (auto* s = qobject_cast<TfrmStartup2*>(&d)) s->Button2->click();
    return d.result();
  });
  updateWindows = 0;
  services_->GUIStart(*w, dsNoDatabase);
  EXPECT_EQ(updateWindows, 0);
  EXPECT_TRUE(sink_.Saw("インターネットに接続されていないためデータ取得できません。"));
  EXPECT_EQ(w->StatusText(0), "DB:なし");
  EXPECT_FALSE(AcisDB);
}

TEST_F(DataUpdateServices, FirstRunFromASharedFolderThenCtrlYUpdatesAgain) {
  const std::string share = Share();
  auto w = Window();
  // The user's part in the dialogs and the update window.
  int windows = 0;
  SetPickerModalHook([&](QDialog& d) {
    if (auto* s = qobject_cast<TfrmStartup*>(&d)) {
      s->SetDownSiteIndex(2);  // the mirror's CSV set, from the shared folder
      s->ckUseLAN->click();
      s->edtLAN->setText(QString::fromStdString(share));
      s->bDownSiteSet->click();
    } else if (auto* s2 = qobject_cast<TfrmStartup2*>(&d)) {
      s2->btnOK->click();
    } else if (auto* u = qobject_cast<TfrmUpdate*>(&d)) {
      ++windows;
      u->show();
      u->FormActivate();  // the window's automatic run
    }
    return d.result();
  });
  sink_.answer = [](const TMessage& m) {
    return m.text.find("自動更新処理") != std::string::npos ? TMsgAnswer::Yes : TMsgAnswer::Ok;
  };
  // The deferred start-up finds no database: state 5, the first-run dialogs, the update.
  w->show();
  Pump(100);
  EXPECT_EQ(w->StartUpRuns(), 1);
  EXPECT_EQ(windows, 1);
  EXPECT_TRUE(sink_.Saw("自動更新処理を実行します。"));
  ASSERT_TRUE(AcisDB);
  EXPECT_EQ(AcisDB->FLastUpdate, "2026年11月4日反映");
  EXPECT_EQ(w->StatusText(0).toStdString(), "DB:2026年11月4日反映");
  EXPECT_GT(w->lstBango->count(), 100);
  // The database's log is the main window's again.
  AcisDB->Log("log line after the update");
  EXPECT_TRUE(w->mLog->toPlainText().contains("log line after the update"));

  // Ctrl+Y: the update window, not started by itself; "自動更新" pressed; the lists reload.
  w->lstBango->clear();
  SetPickerModalHook([&](QDialog& d) {
    if (auto* u = qobject_cast<TfrmUpdate*>(&d)) {
      ++windows;
      EXPECT_FALSE(u->AutoStart());
      u->show();
      QTest::mouseClick(u->bAuto, Qt::LeftButton);
    }
    return d.result();
  });
  w->activateWindow();
  Pump(50);
  QWidget* focus = QApplication::focusWidget() ? QApplication::focusWidget() : w.get();
  QTest::keyClick(focus, Qt::Key_Y, Qt::ControlModifier);
  Pump(50);
  EXPECT_EQ(windows, 2);
  EXPECT_GT(w->lstBango->count(), 100);
  w->close();
  AcisDB.reset();
}

namespace {

// How often a text occurs in a request log.
size_t Count(const std::string& log, const std::string& part) {
  size_t n = 0;
  for (size_t pos = log.find(part); pos != std::string::npos; pos = log.find(part, pos + 1)) ++n;
  return n;
}

}  // namespace

TEST_F(DataUpdateServices, TheStartUpCheckAndTheUpdateItStartsAskOnceALaterCtrlYAsksAgain) {
  const std::string site = fx_.AppDir + "site";
  ASSERT_TRUE(sample_site::MakeServerTree(site));
  sample_site::TSiteServer server(site);
  ASSERT_TRUE(server.Running());
  ::setenv("QUILLMAR_ACIS_BASE", server.Base().c_str(), 1);
  ::setenv("QUILLMAR_MIRROR_BASE", server.Base().c_str(), 1);
  ASSERT_TRUE(fx_.BuildSampleDb());  // older than the page says
  auto w = Window();
  OptionData->DownSite = 0;
  // Every request the server has had so far.
  auto requests = [&] {
    const std::string file = fx_.AppDir + "requests.txt";
    std::error_code ec;
    fs::remove(file, ec);
    TAcisSvr svr(*OptionData);
    EXPECT_TRUE(svr.Download(server.Base() + "/__log", file));
    return ReadText(file);
  };
  std::vector<std::string> scripts;
  for (const auto& e : fs::directory_iterator(SourcePath("data/sample/masters")))
    scripts.push_back("GET /data/" + e.path().filename().string() + " ");
  ASSERT_EQ(scripts.size(), 18u);

  // The start-up check finds newer data, the user agrees, the window runs the update.
  int windows = 0;
  SetPickerModalHook([&](QDialog& d) {
    if (auto* u = qobject_cast<TfrmUpdate*>(&d)) {
      ++windows;
      u->show();
      u->FormActivate();
    }
    return d.result();
  });
  w->show();
  for (int i = 0; i < 1200 && (w->StartUpRuns() == 0 || w->IsStartUp); ++i) Pump(50);
  ASSERT_FALSE(w->IsStartUp);
  EXPECT_TRUE(sink_.Saw("新しいデータがあります。"));
  EXPECT_EQ(windows, 1);
  ASSERT_TRUE(AcisDB);
  EXPECT_EQ(AcisDB->FLastUpdate, "2026年11月4日反映及び失効反映") << w->mLog->toPlainText().toStdString();
  // The page, the archives the check fetched and each master script once: the window used
  // what the check had just fetched.
  std::string log = requests();
  EXPECT_EQ(Count(log, "GET /ddata/index2.htm "), 1u) << log;
  for (const auto& s : scripts) EXPECT_EQ(Count(log, s), 1u) << s << "\n" << log;
  EXPECT_EQ(Count(log, "GET /ddata/datacsv/"), 3u) << log;

  // An update opened later by hand is a run of its own: it asks the server again.
  SetPickerModalHook([&](QDialog& d) {
    if (auto* u = qobject_cast<TfrmUpdate*>(&d)) {
      ++windows;
      u->show();
      QTest::mouseClick(u->bAuto, Qt::LeftButton);
    }
    return d.result();
  });
  w->activateWindow();
  Pump(50);
  QWidget* focus = QApplication::focusWidget() ? QApplication::focusWidget() : w.get();
  QTest::keyClick(focus, Qt::Key_Y, Qt::ControlModifier);
  for (int i = 0; i < 1200 && windows < 2; ++i) Pump(50);
  EXPECT_EQ(windows, 2);
  log = requests();
  EXPECT_EQ(Count(log, "GET /ddata/index2.htm "), 2u) << log;
  EXPECT_EQ(Count(log, "GET /ddata/datacsv/"), 6u) << log;
  for (const auto& s : scripts) EXPECT_EQ(Count(log, s), 2u) << s << "\n" << log;
  w->close();
  AcisDB.reset();
}

TEST_F(DataUpdateServices, InvalidAndOldDatabasesAreRepairedThroughTheWindow) {
  const std::string share = Share();
  ASSERT_TRUE(fx_.BuildSampleDb());
  auto w = Window();
  OptionData->DownSite = 2;
  OptionData->UseLAN = true;
  OptionData->dirLAN = share;
  ASSERT_TRUE(OpenAcisDBFor(*w));
  ASSERT_TRUE(fs::exists(fx_.DBDir() + "/spec.db"));

  // Invalid: confirmed, spec.db goes, the update rebuilds both.
  bool sawOneStop = false, sawOldDb = false;
  SetPickerModalHook([&](QDialog& d) {
    if (auto* u = qobject_cast<TfrmUpdate*>(&d)) {
      sawOneStop = u->OneStop();
      sawOldDb = u->OldDb();
      u->FormActivate();
    }
    return d.result();
  });
  services_->GUIStart(*w, dsInvalid);
  EXPECT_TRUE(sink_.Saw("データベースが不正です。"));
  ASSERT_TRUE(AcisDB);
  EXPECT_TRUE(CheckDatabaseTables());
  EXPECT_TRUE(fs::exists(fx_.DBDir() + "/spec.db"));

  // Program updated: the one-step rebuild, OldDb below 120413 only.
  for (auto [version, old] : {std::pair{"120412", true}, std::pair{"150000", false}}) {
    AcisDB->ExecSQL(std::string("UPDATE info SET Value='") + version + "' WHERE Item='Version'");
    services_->GUIStart(*w, dsOldVersion);
    EXPECT_TRUE(sawOneStop);
    EXPECT_EQ(sawOldDb, old) << version;
    ASSERT_TRUE(AcisDB);
    EXPECT_EQ(AcisDB->GetVersion(), TAcisDB::kVersion);
  }
  AcisDB.reset();
}

TEST_F(DataUpdateServices, PrebuiltSourcesAtStartUpAndTheSharedFolderCheck) {
  ASSERT_TRUE(fx_.BuildSampleDb());
  auto w = Window();
  // An own site that is neither an address nor a folder: logged, the database opened as it is.
  OptionData->DownSite = 4;
  OptionData->UserSite = "ftp://nowhere";
  services_->GUIStart(*w, dsPrebuilt);
  EXPECT_TRUE(w->mLog->toPlainText().contains("ftp://nowhereが無効"));
  ASSERT_TRUE(AcisDB);
  EXPECT_EQ(AcisDB->FLastUpdate, "2026年11月04日反映");

  // The mirror without a known host: plain words, the database opened as it is.
  OptionData->DownSite = 3;
  ::unsetenv("QUILLMAR_MIRROR_BASE");
  services_->GUIStart(*w, dsPrebuilt);
  EXPECT_TRUE(w->mLog->toPlainText().contains(QString::fromStdString(MirrorNotConfiguredText())));
  ASSERT_TRUE(AcisDB);

  // A shared folder with newer prebuilt databases: copied, installed, opened.
  const std::string share = fx_.AppDir + "dbshare";
  const std::string made = fx_.AppDir + "made";
  AcisDB.reset();
  fs::create_directories(made);
  fs::copy_file(Db(), made + "/acis.db");
  fs::copy_file(fx_.DBDir() + "/spec.db", made + "/spec.db");
  ASSERT_EQ(Sql(made + "/acis.db", "UPDATE info SET Value='2032年1月1日反映' WHERE Item='LastUpdate'"), "");
  ASSERT_TRUE(sample_site::Zip(share + "/acis.zip", made + "/acis.db"));
  ASSERT_TRUE(sample_site::Zip(share + "/spec.zip", made + "/spec.db"));
  w.reset();
  w = Window();
  OptionData->DownSite = 3;
  OptionData->UseLAN = true;
  OptionData->dirLAN = share;
  AcisDB.reset();
  services_->CheckSharedFolderUpdate(*w);
  EXPECT_TRUE(w->mLog->toPlainText().contains("acis.zip 更新あり"));
  ASSERT_TRUE(AcisDB);
  EXPECT_EQ(AcisDB->FLastUpdate, "2032年1月1日反映");
  AcisDB.reset();
}

TEST_F(DataUpdateServices, AnExceptionEndsAnUnattendedRunAsAbortedWithItsLog) {
  struct TThrowingServices : TDataUpdateServices {
    int CheckDatabaseState(TfrmMain&) override { throw std::runtime_error("disk gone"); }
  } services;
  auto w = Window();
  CmdAutoUpdate = true;
  EXPECT_EQ(services.RunAutoUpdate(*w), kExitAborted);
  const std::string log = ReadText(OptionData->DBDir + "/autoupdate.log");
  EXPECT_NE(log.find("disk gone"), std::string::npos) << log;
  EXPECT_NE(log.find("データ更新中止!"), std::string::npos);
  CmdAutoUpdate = false;
  CmdAutoDownload = true;
  EXPECT_EQ(services.RunAutoDownloadCheck(*w), kExitAborted);
  EXPECT_NE(ReadText(OptionData->DownloadDir + "/autodown.log").find("disk gone"), std::string::npos);
}

// "/u" and "/r" report 0 only when the source answered and the data are current: a check
// that could not ask it (no room in the download folder, offline) ends with 3 and a log file
// that says why.
TEST_F(DataUpdateServices, AnUnattendedRunThatCouldNotCheckIsAbortedNotCurrent) {
  const std::string site = fx_.AppDir + "site";
  ASSERT_TRUE(sample_site::MakeServerTree(site));
  sample_site::TSiteServer server(site);
  ASSERT_TRUE(server.Running());
  ::setenv("QUILLMAR_ACIS_BASE", server.Base().c_str(), 1);
  ASSERT_TRUE(fx_.BuildSampleDb());
  ASSERT_EQ(Sql(Db(), "UPDATE info SET Value='2026年11月4日反映及び失効反映' WHERE Item='LastUpdate'"), "");
  auto w = Window();
  OptionData->DownSite = 0;
  const std::string updateLog = OptionData->DBDir + "/autoupdate.log";
  const std::string downLog = OptionData->DownloadDir + "/autodown.log";
  CmdAutoUpdate = true;
  EXPECT_EQ(services_->RunAutoUpdate(*w), kExitDataCurrent);
  EXPECT_FALSE(fs::exists(updateLog));
  AcisDB.reset();

  // The download folder below its free-space reserve: the page cannot be fetched.
  fs::remove(OptionData->DownloadDir + "/update2.htm");
  SetFreeSpaceProbe([](const std::string&) { return kDiskReserveBytes / 2; });
  EXPECT_EQ(services_->RunAutoUpdate(*w), kExitAborted);
  SetFreeSpaceProbe(nullptr);
  std::string log = ReadText(updateLog);
  EXPECT_NE(log.find("データ更新を確認できません: FAMIC CSVダウンロードページへ接続できません"), std::string::npos) << log;
  EXPECT_NE(log.find("ディスクの空きが足りない"), std::string::npos) << log;
  EXPECT_NE(log.find("データ更新中止!"), std::string::npos) << log;
  AcisDB.reset();

  // Offline by choice ("/f"): the data are judged from the database alone, as the user asked,
  // and the run is "current" with no log; a failed check under "/r" is still a failure.
  CmdAutoUpdate = false;
  CmdAutoDownload = true;
  CmdOffline = true;
  EXPECT_EQ(services_->RunAutoDownloadCheck(*w), kExitDataCurrent);
  EXPECT_FALSE(fs::exists(downLog));
  AcisDB.reset();
  CmdOffline = false;
  SetFreeSpaceProbe([](const std::string&) { return kDiskReserveBytes / 2; });
  EXPECT_EQ(services_->RunAutoDownloadCheck(*w), kExitAborted);
  SetFreeSpaceProbe(nullptr);
  log = ReadText(downLog);
  EXPECT_NE(log.find("データ更新を確認できません: FAMIC CSVダウンロードページへ接続できません"), std::string::npos) << log;
  EXPECT_NE(log.find("ダウンロード更新確認中止!"), std::string::npos) << log;
  CmdAutoDownload = false;
  AcisDB.reset();
}

// The JPP-NET tables imported from the update window's extension menu, with no data update:
// after the window closes the ingredient view reads them and the SQL console offers jpp.db,
// without a new start of the program.
TEST_F(DataUpdateServices, JppTablesImportedInTheUpdateWindowAreUsedAtOnce) {
  ASSERT_TRUE(fx_.BuildSampleDb());
  auto w = Window();
  InstallSearchPages(*w);
  w->show();
  Pump(100);
  ASSERT_TRUE(AcisDB);
  TSqlConsole* console = SqlConsoleOf(*w);
  ASSERT_NE(console, nullptr);
  EXPECT_EQ(console->cbDB->count(), 2);
  const char* named = "SELECT count(*) FROM tvSeibun WHERE JPP系統名 IS NOT NULL";
  ASSERT_TRUE(AcisDB->Query(named, false));
  EXPECT_EQ(AcisDB->FTbl->FieldAsInteger(0), 0);

  QString chosen;
  TFileDialogPos::AfterShow = [&](QFileDialog& d) {
    d.selectFile(chosen);
    QMetaObject::invokeMethod(&d, "accept");
  };
  int windows = 0;
  SetPickerModalHook([&](QDialog& d) {
    if (auto* u = qobject_cast<TfrmUpdate*>(&d)) {
      ++windows;
      u->show();
      chosen = QString::fromStdString(SourcePath("data/sample/jpp/n_trk20261104_1.txt"));
      u->pmnJppSeizai->trigger();
      chosen = QString::fromStdString(SourcePath("data/sample/jpp/n_trk20261104_3.txt"));
      u->pmnJppSeibun->trigger();
      QTest::mouseClick(u->bClose, Qt::LeftButton);
    }
    return d.result();
  });
  w->activateWindow();
  Pump(50);
  QWidget* focus = QApplication::focusWidget() ? QApplication::focusWidget() : w.get();
  QTest::keyClick(focus, Qt::Key_Y, Qt::ControlModifier);
  Pump(50);
  TFileDialogPos::AfterShow = nullptr;
  EXPECT_EQ(windows, 1);
  ASSERT_TRUE(fs::exists(fx_.DBDir() + "/jpp.db"));
  ASSERT_TRUE(AcisDB);
  ASSERT_TRUE(AcisDB->Query(named, false));
  EXPECT_GT(AcisDB->FTbl->FieldAsInteger(0), 0);
  ASSERT_EQ(console->cbDB->count(), 3);
  EXPECT_EQ(console->cbDB->itemText(2), "jpp.db");
  w->close();
  AcisDB.reset();
}
