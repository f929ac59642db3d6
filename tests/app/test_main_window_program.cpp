// The program with its main window as a process: an unattended run through the window, and
// an interactive start on the sample register that is stopped the way a desktop log-out
// stops it (the layout and the settings are saved).
#include <gtest/gtest.h>

#include <signal.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <filesystem>
#include <functional>

#include "common/test_support.h"
#include "database/acis_build.h"
#include "foundation/ini_file.h"

namespace {

const int kTimeoutMs = 60000;  // sanitizer builds start slowly

QString Program() { return QString::fromStdString(BinaryPath("bin/quillmar")); }

QProcessEnvironment Env(const QTemporaryDir& dir) {
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("QT_QPA_PLATFORM", "offscreen");
  env.insert("QUILLMAR_INSTANCE_NAME", QString("qm-mainwin-%1").arg(QCoreApplication::applicationPid()));
  env.insert("QUILLMAR_APPDIR", dir.path());
  // Never the real services: a loopback port where nothing listens.
  env.insert("QUILLMAR_ACIS_BASE", "http://127.0.0.1:9");
  env.insert("QUILLMAR_MIRROR_BASE", "http://127.0.0.1:9");
  return env;
}

bool BuildSample(const std::string& dbDir) {
  QDir().mkpath(QString::fromStdString(dbDir + "/download"));
  TAcisBuildRequest req;
  req.DBDir = dbDir;
  req.Source = 2;
  req.KihonFile = SourcePath("data/sample/mirror/kihon.csv");
  req.TekiyoFiles = {SourcePath("data/sample/mirror/tekiyo.csv")};
  req.Settings.DBDir = dbDir;
  req.Settings.UseLAN = true;
  req.Settings.dirLAN = SourcePath("data/sample/masters");
  req.Settings.DownloadDir = dbDir + "/download";
  return BuildAcisDatabase(req).Ok;
}

// True when process Pid has File open (its descriptors in /proc name it).
bool HasFileOpen(qint64 Pid, const std::string& File) {
  namespace fs = std::filesystem;
  std::error_code ec;
  const fs::path want = fs::canonical(File, ec);
  if (ec) return false;
  for (const auto& fd : fs::directory_iterator("/proc/" + std::to_string(Pid) + "/fd", ec)) {
    std::error_code lec;
    if (fs::read_symlink(fd.path(), lec) == want) return true;
  }
  return false;
}

// Waits until Done() holds, looking every few milliseconds; false after kTimeoutMs.
bool WaitFor(const std::function<bool()>& Done) {
  QElapsedTimer t;
  t.start();
  while (!Done()) {
    if (t.elapsed() > kTimeoutMs) return false;
    QThread::msleep(10);
  }
  return true;
}

}  // namespace

TEST(MainWindowProgram, UnattendedRunClosesTheHiddenWindowAndSavesTheSettings) {
  ASSERT_TRUE(QFile::exists(Program()));
  for (const char* sw : {"/u", "/R"}) {
    QTemporaryDir dir;
    QProcess p;
    p.setProcessEnvironment(Env(dir));
    p.start(Program(), {sw});
    ASSERT_TRUE(p.waitForFinished(kTimeoutMs)) << sw;
    EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
    // No database and no server to get one from: the run is aborted.
    EXPECT_EQ(p.exitCode(), 3) << sw << ": " << p.readAllStandardError().toStdString();
    TIniFile ini(dir.path().toStdString() + "/quillmar.ini");
    EXPECT_TRUE(ini.ValueExists("WINDOW", "Left")) << sw;
    EXPECT_TRUE(ini.ValueExists("WINDOW", "TabSakumotsuFraSakumotsuWidth")) << sw;
  }
}

// A start removes what a killed run left in the database and download folders (build files,
// partial downloads, unpacking folders), but not the files of a process that still runs.
TEST(MainWindowProgram, StartRemovesLeftoversOfKilledRuns) {
  QTemporaryDir dir;
  QProcess gone;
  gone.start("/bin/true", {});
  ASSERT_TRUE(gone.waitForFinished(kTimeoutMs));
  const std::string dead = std::to_string(gone.processId() > 0 ? gone.processId() : 999999);
  const std::string live = std::to_string(QCoreApplication::applicationPid());
  const std::string db = dir.path().toStdString() + "/DB", dl = dir.path().toStdString() + "/Download";
  QDir().mkpath(QString::fromStdString(dl + "/.qm-unpack-" + dead + "-AbC123"));
  QDir().mkpath(QString::fromStdString(dl + "/sub"));
  QDir().mkpath(QString::fromStdString(db + "/.qm-install-" + dead + "-x1y2z3"));
  const std::vector<std::string> stale = {
      db + "/.qm-acis.db.build-" + dead, db + "/.qm-acis.db.build-" + dead + "-journal",
      db + "/.qm-spec.db.build-" + dead, dl + "/.qm-toroku.zip.part-" + dead + "-Q9w8e7",
      dl + "/.qm-unpack-" + dead + "-AbC123/kihon.csv"};
  // The user's files in the download folder (any folder the user picks), whatever their names
  // look like, and a run's files that still runs.
  const std::vector<std::string> kept = {db + "/.qm-acis.db.build-" + live,
                                         dl + "/.qm-toroku.zip.part-" + live + "-zzzzzz",
                                         dl + "/notes.part-of-it.txt",
                                         dl + "/report.build-2024",
                                         dl + "/sub/thesis.part-1999-abcdef",
                                         dl + "/notes.prev-3000"};
  for (const auto& f : stale) QFile(QString::fromStdString(f)).open(QIODevice::WriteOnly);
  for (const auto& f : kept) QFile(QString::fromStdString(f)).open(QIODevice::WriteOnly);
  QProcess p;
  p.setProcessEnvironment(Env(dir));
  p.start(Program(), {"/u"});
  ASSERT_TRUE(p.waitForFinished(kTimeoutMs));
  for (const auto& f : stale) EXPECT_FALSE(QFile::exists(QString::fromStdString(f))) << f;
  EXPECT_FALSE(QFile::exists(QString::fromStdString(dl + "/.qm-unpack-" + dead + "-AbC123")));
  EXPECT_FALSE(QFile::exists(QString::fromStdString(dl + "/notes")));
  EXPECT_FALSE(QFile::exists(QString::fromStdString(db + "/.qm-install-" + dead + "-x1y2z3")));
  for (const auto& f : kept) EXPECT_TRUE(QFile::exists(QString::fromStdString(f))) << f;
}

TEST(MainWindowProgram, InteractiveStartOnTheSampleRegisterStopsCleanly) {
  ASSERT_TRUE(QFile::exists(Program()));
  QTemporaryDir dir;
  ASSERT_TRUE(BuildSample(dir.path().toStdString() + "/DB"));
  {
    QFile f(dir.path() + "/quillmar.ini");
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("[WINDOW]\nLeft=20\nTop=30\nWidth=640\nHeight=480\nTabSakumotsuFraSakumotsuWidth=210\n");
  }
  // A page a crashed run left in its temporary folder goes; a running one's stays.
  QTemporaryDir tmp;
  // A process that runs until its input ends: its id is read while it runs, then it ends.
  QProcess ended;
  ended.start("/bin/cat", {});
  ASSERT_TRUE(ended.waitForStarted());
  const QString deadRun = tmp.path() + "/quillmar-" + QString::number(ended.processId()) + "-AbC123";
  ended.closeWriteChannel();
  ASSERT_TRUE(ended.waitForFinished());
  const QString liveRun = tmp.path() + "/quillmar-" + QString::number(QCoreApplication::applicationPid()) + "-XyZ789";
  for (const QString& d : {deadRun, liveRun}) {
    ASSERT_TRUE(QDir().mkpath(d));
    QFile(d + "/qm00000000.html").open(QIODevice::WriteOnly);
  }
  QProcessEnvironment env = Env(dir);
  env.insert("TMPDIR", tmp.path());
  QProcess p;
  p.setProcessEnvironment(env);
  p.start(Program(), {"/f"});
  ASSERT_TRUE(p.waitForStarted(kTimeoutMs));
  // Once it has come up and opened the database, stop it like a log-out does.
  const std::string acis = dir.path().toStdString() + "/DB/acis.db";
  ASSERT_TRUE(WaitFor([&] { return p.state() != QProcess::Running || HasFileOpen(p.processId(), acis); }));
  ASSERT_EQ(p.state(), QProcess::Running) << p.readAllStandardError().toStdString();
  ::kill(static_cast<pid_t>(p.processId()), SIGTERM);
  ASSERT_TRUE(p.waitForFinished(kTimeoutMs));
  EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(p.exitCode(), 0);
  TIniFile ini(dir.path().toStdString() + "/quillmar.ini");
  EXPECT_EQ(ini.ReadInteger("WINDOW", "Left", -1), 20);
  EXPECT_EQ(ini.ReadInteger("WINDOW", "Top", -1), 30);
  EXPECT_EQ(ini.ReadInteger("WINDOW", "Width", -1), 640);
  EXPECT_EQ(ini.ReadInteger("WINDOW", "TabSakumotsuFraSakumotsuWidth", -1), 210);
  EXPECT_EQ(ini.ReadInteger("WINDOW", "WindowState", -1), 0);
  // "/f" is for this run only: the offline setting itself stays off.
  EXPECT_EQ(ini.ReadInteger("NET", "OffLine", 0), 0);
  EXPECT_FALSE(QFileInfo::exists(deadRun));
  EXPECT_TRUE(QFileInfo::exists(liveRun + "/qm00000000.html"));
  // A new program folder has the result pages' style sheets to choose from.
  for (const char* name : {"standard.css", "excel.css"})
    EXPECT_TRUE(QFile::exists(dir.path() + "/css/" + name)) << name;
}
