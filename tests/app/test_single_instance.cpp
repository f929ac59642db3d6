// The program as a process: one copy at a time, a second start activates the first, a lock
// left by a killed copy does not block, and unattended runs hand their code to the shell.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLocalSocket>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <memory>
#include <string>

#include "foundation/global.h"
#include "foundation/single_instance.h"
#include "common/test_support.h"

namespace {

const int kStartTimeoutMs = 60000;  // sanitizer builds start slowly

QString Program() { return QString::fromStdString(BinaryPath("bin/quillmar")); }

class SingleInstanceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(QFile::exists(Program())) << Program().toStdString();
    static int n = 0;
    name = QString("qm-test-%1-%2").arg(QCoreApplication::applicationPid()).arg(++n);
  }
  void TearDown() override {
    for (auto& p : procs)
      if (p->state() != QProcess::NotRunning) {
        p->kill();
        p->waitForFinished(5000);
      }
  }

  QProcessEnvironment Env() const {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("QUILLMAR_INSTANCE_NAME", name);
    env.insert("QUILLMAR_APPDIR", appDir.path());
    // Unattended runs find no server (a closed loopback port): they end at once with
    // "aborted or failed", never reaching outside.
    env.insert("QUILLMAR_ACIS_BASE", "http://127.0.0.1:9");
    env.insert("QUILLMAR_MIRROR_BASE", "http://127.0.0.1:9");
    return env;
  }

  QProcess* Start(const QStringList& args, const QProcessEnvironment& env) {
    procs.push_back(std::make_unique<QProcess>());
    QProcess* p = procs.back().get();
    p->setProcessEnvironment(env);
    p->start(Program(), args);
    EXPECT_TRUE(p->waitForStarted(kStartTimeoutMs));
    return p;
  }

  // Runs a copy to its end and returns its exit code.
  int Run(const QStringList& args, const QProcessEnvironment& env) {
    QProcess* p = Start(args, env);
    EXPECT_TRUE(p->waitForFinished(kStartTimeoutMs)) << args.join(' ').toStdString();
    return p->exitStatus() == QProcess::NormalExit ? p->exitCode() : -1;
  }

  // Waits until the first copy listens for activation requests.
  bool WaitListening(QProcess* first) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < kStartTimeoutMs && first->state() == QProcess::Running) {
      QLocalSocket s;
      s.connectToServer(name);
      if (s.waitForConnected(200)) return true;
      QThread::msleep(50);
    }
    return false;
  }

  QString name;
  QTemporaryDir appDir;
  std::vector<std::unique_ptr<QProcess>> procs;
};

TEST_F(SingleInstanceTest, SecondStartActivatesTheFirstAndLeaves) {
  QProcess* first = Start({}, Env());
  ASSERT_TRUE(WaitListening(first)) << first->readAllStandardError().toStdString();
  const QString ini = appDir.path() + "/quillmar.ini";
  // The first copy loaded the settings and made its folders, and has written nothing yet.
  EXPECT_TRUE(QDir(appDir.path() + "/DB").exists());
  EXPECT_FALSE(QFile::exists(ini));

  EXPECT_EQ(Run({}, Env()), 0);  // interactive second copy: 0
  EXPECT_EQ(Run({"/u"}, Env()), kExitAlreadyRunning);  // unattended: never "data current"
  EXPECT_EQ(Run({"/R", "/f"}, Env()), kExitAlreadyRunning);
  EXPECT_FALSE(QFile::exists(ini));  // no copy touched the settings

  // The first copy was asked to come to the front (once per second start) and still runs.
  QElapsedTimer t;
  t.start();
  QByteArray err;
  while (t.elapsed() < 10000 && err.count("activated by a second start") < 3) {
    first->waitForReadyRead(200);
    err += first->readAllStandardError();
  }
  EXPECT_EQ(err.count("activated by a second start"), 3) << err.toStdString();
  EXPECT_EQ(first->state(), QProcess::Running);
}

TEST_F(SingleInstanceTest, LockOfAKilledCopyDoesNotBlock) {
  QProcess* first = Start({}, Env());
  ASSERT_TRUE(WaitListening(first));
  qputenv("QUILLMAR_INSTANCE_NAME", name.toLocal8Bit());
  const QString lock = QString::fromStdString(TSingleInstance().LockPath());
  qunsetenv("QUILLMAR_INSTANCE_NAME");
  EXPECT_TRUE(QFile::exists(lock)) << lock.toStdString();
  first->kill();  // SIGKILL: no clean-up at all
  first->waitForFinished(5000);
  EXPECT_TRUE(QFile::exists(lock));

  EXPECT_EQ(Run({"/u"}, Env()), kExitAborted);  // it ran: not "another copy running"
  // And an interactive copy starts and listens again, so a later start finds it.
  QProcess* again = Start({}, Env());
  ASSERT_TRUE(WaitListening(again));
  EXPECT_EQ(Run({"/r"}, Env()), kExitAlreadyRunning);
}

TEST_F(SingleInstanceTest, UnattendedExitCodesReachTheShellWithoutADesktop) {
  // As a scheduler starts it: no display and no platform chosen.
  QProcessEnvironment env = Env();
  env.remove("QT_QPA_PLATFORM");
  env.remove("DISPLAY");
  env.remove("WAYLAND_DISPLAY");
  env.insert("QM", Program());
  procs.push_back(std::make_unique<QProcess>());
  QProcess* sh = procs.back().get();
  sh->setProcessEnvironment(env);
  sh->start("/bin/sh", {"-c", "\"$QM\" /u; echo \"u=$?\"; \"$QM\" /R; echo \"r=$?\""});
  ASSERT_TRUE(sh->waitForFinished(kStartTimeoutMs * 2));
  const std::string out = sh->readAllStandardOutput().toStdString();
  EXPECT_NE(out.find("u=3\n"), std::string::npos) << out << sh->readAllStandardError().toStdString();
  EXPECT_NE(out.find("r=3\n"), std::string::npos) << out;
  // The hidden main window closes after the run and saves the settings as at any shut-down.
  EXPECT_TRUE(QFile::exists(appDir.path() + "/quillmar.ini"));
}

TEST_F(SingleInstanceTest, TerminateSignalClosesTheWindowAndSavesTheSettings) {
  QFile ini(appDir.path() + "/quillmar.ini");
  ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
  ini.write("[WINDOW]\nDlgByochuWidth=480\n[VIEW]\nLogFont=Arial,128\n");
  ini.close();
  QProcess* first = Start({}, Env());
  ASSERT_TRUE(WaitListening(first));
  first->terminate();  // SIGTERM, as at log-out
  ASSERT_TRUE(first->waitForFinished(kStartTimeoutMs));
  EXPECT_EQ(first->exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(first->exitCode(), 0);
  const std::string err = first->readAllStandardError().toStdString();
  // The bad font was reported at start-up (and start-up went on).
  EXPECT_NE(err.find("LogFont"), std::string::npos) << err;
  ASSERT_TRUE(ini.open(QIODevice::ReadOnly));
  const QByteArray text = ini.readAll();
  EXPECT_TRUE(text.contains("DlgByochuWidth=480")) << text.toStdString();
  EXPECT_TRUE(text.contains("ToolBar1Loft=11")) << text.toStdString();
  EXPECT_TRUE(text.contains("LogFont=,128,-12,-9,0,80000008")) << text.toStdString();
  // The lock went with it.
  EXPECT_EQ(Run({"/u"}, Env()), kExitAborted);
}

TEST(SingleInstanceInProcess, GuardAndActivationChannel) {
  const std::string n = "qm-test-inproc-" + std::to_string(QCoreApplication::applicationPid());
  auto first = std::make_unique<TSingleInstance>(n);
  ASSERT_TRUE(first->TryAcquire());
  EXPECT_TRUE(first->TryAcquire());  // holding it already
  TSingleInstance second(n);
  EXPECT_FALSE(second.TryAcquire());
  EXPECT_FALSE(second.ActivateOther(300));  // not listening yet: nothing to activate

  ASSERT_TRUE(first->Listen());
  int activations = 0;
  int emitted = 0;
  first->SetActivateHandler([&] { ++activations; });
  QObject::connect(first.get(), &TSingleInstance::activateRequested, [&] { ++emitted; });
  // The request is answered by the first object's event loop; the asking side runs in a thread.
  bool delivered = false;
  std::unique_ptr<QThread> th(QThread::create([&] {
    TSingleInstance other(n);
    delivered = other.ActivateOther(5000);
  }));
  th->start();
  QElapsedTimer t;
  t.start();
  while (!th->isFinished() && t.elapsed() < 10000) QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
  th->wait();
  QCoreApplication::processEvents();
  EXPECT_TRUE(delivered);
  EXPECT_EQ(activations, 1);
  EXPECT_EQ(emitted, 1);

  // Released with the object: the next one gets it.
  first.reset();
  TSingleInstance third(n);
  EXPECT_TRUE(third.TryAcquire());
}

}  // namespace
