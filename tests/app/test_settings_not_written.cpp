// The program's end when its settings cannot be written (a read-only quillmar.ini, a program
// folder that cannot be written, a settings "file" that is a folder): it says so once and
// ends with the exit code it has when the settings can be written; nothing crashes on the way
// out.
#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <filesystem>
#include <string>

#include "common/test_support.h"

namespace fs = std::filesystem;

namespace {

const int kTimeoutMs = 60000;  // sanitizer builds start slowly
const char* const kSaid = "設定を保存できません";
constexpr int kCannotReach = 77;  // the child cannot reach the program folder as "nobody"

QString Program() { return QString::fromStdString(BinaryPath("bin/quillmar")); }

QProcessEnvironment Env(const QString& appDir) {
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("QT_QPA_PLATFORM", "offscreen");
  env.insert("QUILLMAR_INSTANCE_NAME", QString("qm-settings-ro-%1").arg(QCoreApplication::applicationPid()));
  env.insert("QUILLMAR_APPDIR", appDir);
  // Never the real services: a loopback port where nothing listens.
  env.insert("QUILLMAR_ACIS_BASE", "http://127.0.0.1:9");
  env.insert("QUILLMAR_MIRROR_BASE", "http://127.0.0.1:9");
  return env;
}

size_t Count(const std::string& text, const std::string& what) {
  size_t n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + what.size())) ++n;
  return n;
}

struct TRun {
  bool Finished = false;
  QProcess::ExitStatus Status = QProcess::CrashExit;
  int Code = -1;
  std::string Err;
};

// A program folder with the settings file and the folders the program makes.
void MakeProgramFolder(const QString& dir) {
  for (const char* sub : {"DB", "Download", "css", "Template"}) QDir(dir).mkpath(sub);
  QFile f(dir + "/quillmar.ini");
  if (f.open(QIODevice::WriteOnly)) f.write("[WINDOW]\nLeft=20\nTop=30\n");
}

// Runs the program with `args`; as "nobody" when `asNobody` (the super-user may write anywhere).
TRun RunProgram(const QString& appDir, const QStringList& args, bool asNobody, const QString& tmpDir) {
  QProcess p;
  QProcessEnvironment env = Env(appDir);
  // A temporary folder the program's user may write (the lock, the socket), whatever the
  // test's own is.
  env.insert("TMPDIR", tmpDir);
  p.setProcessEnvironment(env);
  if (asNobody) {
    const std::string dir = appDir.toStdString();
    p.setChildProcessModifier([dir] {
      if (::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(kCannotReach);
      if (::access(dir.c_str(), R_OK | X_OK) != 0) ::_exit(kCannotReach);
    });
  }
  p.start(Program(), args);
  TRun r;
  r.Finished = p.waitForFinished(kTimeoutMs);
  if (!r.Finished) p.kill(), p.waitForFinished();
  r.Status = p.exitStatus();
  r.Code = p.exitCode();
  r.Err = p.readAllStandardError().toStdString();
  return r;
}

void ExpectAnOrderlyEnd(const TRun& ro, const TRun& usual, const char* what) {
  SCOPED_TRACE(what);
  ASSERT_TRUE(ro.Finished) << ro.Err;
  EXPECT_EQ(ro.Status, QProcess::NormalExit) << ro.Err;
  EXPECT_EQ(ro.Code, usual.Code) << ro.Err;
  EXPECT_EQ(Count(ro.Err, kSaid), 1u) << ro.Err;
  EXPECT_EQ(Count(usual.Err, kSaid), 0u) << usual.Err;
  for (const char* fault : {"runtime error", "AddressSanitizer", "Segmentation"})
    EXPECT_EQ(ro.Err.find(fault), std::string::npos) << ro.Err;
}

}  // namespace

// "/u" and "/r" as a scheduler runs them: the same exit code as with settings that can be
// written, and one log line that says the settings were not saved.
TEST(SettingsNotWritten, UnattendedRunsSayItOnceAndEndWithTheirUsualCode) {
  ASSERT_TRUE(QFile::exists(Program()));
  const bool root = ::geteuid() == 0;
  // Under the build folder, which "nobody" can reach, not in a private temporary folder.
  QTemporaryDir dir(QString::fromStdString(BinaryPath("qm-settings-XXXXXX")));
  ASSERT_TRUE(dir.isValid());
  fs::permissions(dir.path().toStdString(), fs::perms(0755));
  const QString tmpDir = dir.path() + "/tmp";
  ASSERT_TRUE(QDir().mkpath(tmpDir));
  fs::permissions(tmpDir.toStdString(), fs::perms(01777));
  for (const char* sw : {"/u", "/r"}) {
    const QString usualDir = dir.path() + "/usual" + (sw + 1);
    const QString roFile = dir.path() + "/ro-file" + (sw + 1);
    const QString roFolder = dir.path() + "/ro-folder" + (sw + 1);
    const QString isFolder = dir.path() + "/folder" + (sw + 1);
    for (const QString& d : {usualDir, roFile, roFolder, isFolder}) MakeProgramFolder(d);
    // The folders belong to the user who runs the program.
    for (const QString& d : {usualDir, roFile, roFolder, isFolder}) {
      if (root && ::chown(d.toStdString().c_str(), 65534, 65534) != 0) FAIL() << "chown";
      for (const auto& e : fs::recursive_directory_iterator(d.toStdString()))
        if (root && ::chown(e.path().c_str(), 65534, 65534) != 0) FAIL() << "chown";
    }
    fs::permissions(roFile.toStdString() + "/quillmar.ini", fs::perms(0444));
    fs::permissions(roFolder.toStdString(), fs::perms(0555));
    fs::permissions(roFolder.toStdString() + "/quillmar.ini", fs::perms(0444));
    QFile::remove(isFolder + "/quillmar.ini");
    QDir(isFolder).mkdir("quillmar.ini");

    const TRun usual = RunProgram(usualDir, {sw}, root, tmpDir);
    if (usual.Code == kCannotReach) GTEST_SKIP() << "\"nobody\" cannot reach " << dir.path().toStdString();
    ASSERT_TRUE(usual.Finished) << usual.Err;
    ExpectAnOrderlyEnd(RunProgram(roFile, {sw}, root, tmpDir), usual, "a read-only settings file");
    ExpectAnOrderlyEnd(RunProgram(roFolder, {sw}, root, tmpDir), usual, "a read-only program folder");
    ExpectAnOrderlyEnd(RunProgram(isFolder, {sw}, false, tmpDir), usual, "a folder in the settings file's place");
    fs::permissions(roFolder.toStdString(), fs::perms(0755));
  }
}

// An interactive start stopped as a log-out stops it: exit code 0 and the message once.
TEST(SettingsNotWritten, AnInteractiveEndSaysItOnce) {
  ASSERT_TRUE(QFile::exists(Program()));
  QTemporaryDir dir;
  MakeProgramFolder(dir.path());
  QFile::remove(dir.path() + "/quillmar.ini");
  ASSERT_TRUE(QDir(dir.path()).mkdir("quillmar.ini"));
  QProcess p;
  QProcessEnvironment env = Env(dir.path());
  QTemporaryDir tmp;  // the program's lock and socket go here
  env.insert("TMPDIR", tmp.path());
  p.setProcessEnvironment(env);
  p.start(Program(), {"/f"});
  ASSERT_TRUE(p.waitForStarted(kTimeoutMs));
  // The single-instance socket is made once the window stands.
  const QString socket = tmp.path() + "/" + env.value("QUILLMAR_INSTANCE_NAME");
  QElapsedTimer t;
  t.start();
  while (p.state() == QProcess::Running && !QFile::exists(socket) && t.elapsed() < kTimeoutMs) QThread::msleep(10);
  ASSERT_EQ(p.state(), QProcess::Running) << p.readAllStandardError().toStdString();
  ASSERT_TRUE(QFile::exists(socket));
  ::kill(static_cast<pid_t>(p.processId()), SIGTERM);
  ASSERT_TRUE(p.waitForFinished(kTimeoutMs));
  const std::string err = p.readAllStandardError().toStdString();
  EXPECT_EQ(p.exitStatus(), QProcess::NormalExit) << err;
  EXPECT_EQ(p.exitCode(), 0) << err;
  EXPECT_EQ(Count(err, kSaid), 1u) << err;
  EXPECT_EQ(err.find("runtime error"), std::string::npos) << err;
}
