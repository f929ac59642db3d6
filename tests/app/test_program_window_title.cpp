// The program's main window as the desktop shows it: started on an X server of its own (Xvfb),
// its title bar text read back by the X tools, once online and once offline ("/f").
#include <gtest/gtest.h>

#include <signal.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

#include "common/test_support.h"
#include "database/acis_build.h"

namespace {

const int kTimeoutMs = 60000;

// An X server of its own; Display() is ":N" once it runs.
struct TXServer {
  QProcess Proc;
  QString Display;
  bool Start() {
    const QString xvfb = QStandardPaths::findExecutable("Xvfb");
    if (xvfb.isEmpty()) return false;
    // The server writes its display number to the given descriptor when it is ready.
    Proc.start(xvfb, {"-displayfd", "1", "-nolisten", "tcp", "-screen", "0", "1280x800x24"});
    if (!Proc.waitForStarted(kTimeoutMs)) return false;
    QElapsedTimer t;
    t.start();
    QByteArray out;
    while (!out.contains('\n') && t.elapsed() < kTimeoutMs) {
      Proc.waitForReadyRead(200);
      out += Proc.readAllStandardOutput();
    }
    bool ok = false;
    const int n = out.trimmed().toInt(&ok);
    if (!ok) return false;
    Display = ":" + QString::number(n);
    return true;
  }
  ~TXServer() {
    if (Proc.state() != QProcess::NotRunning) {
      Proc.terminate();
      Proc.waitForFinished(10000);
    }
  }
};

QString Run(const QString& Tool, const QStringList& Args) {
  QProcess p;
  p.start(Tool, Args);
  p.waitForFinished(kTimeoutMs);
  return QString::fromUtf8(p.readAllStandardOutput());
}

// The title (_NET_WM_NAME) of the program's top-level window whose title begins with
// "Quillmar", "" until there is one.
QString MainWindowTitle(const QString& Display) {
  const QString tree = Run("xwininfo", {"-display", Display, "-root", "-tree"});
  // The program's own windows carry its class ("quillmar"); Qt's helper windows do not.
  static const QRegularExpression line(R"re((0x[0-9a-f]+) "Quillmar[^"]*": \("quillmar")re");
  for (auto it = line.globalMatch(tree); it.hasNext();) {
    const QString id = it.next().captured(1);
    const QString prop = Run("xprop", {"-display", Display, "-id", id, "_NET_WM_NAME"});
    static const QRegularExpression value(R"re(= "(.*)"\s*$)re");
    const QRegularExpressionMatch m = value.match(prop.trimmed());
    if (m.hasMatch()) return m.captured(1);
  }
  return {};
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

}  // namespace

TEST(ProgramWindowTitle, TheTitleBarShowsTheCaptionOnce) {
  const QString program = QString::fromStdString(BinaryPath("bin/quillmar"));
  ASSERT_TRUE(QFile::exists(program));
  for (const char* tool : {"xwininfo", "xprop"})
    ASSERT_FALSE(QStandardPaths::findExecutable(tool).isEmpty()) << tool << " (x11-utils) is missing";
  TXServer x;
  ASSERT_TRUE(x.Start()) << "Xvfb could not be started";
  QTemporaryDir dir;
  ASSERT_TRUE(BuildSample(dir.path().toStdString() + "/DB"));
  const struct {
    QStringList args;
    QString title;
  } cases[] = {{{"/f"}, "Quillmar - オフライン"}, {{}, "Quillmar"}};
  for (const auto& c : cases) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("DISPLAY", x.Display);
    env.insert("QT_QPA_PLATFORM", "xcb");
    env.insert("QUILLMAR_INSTANCE_NAME", QString("qm-title-%1").arg(QCoreApplication::applicationPid()));
    env.insert("QUILLMAR_APPDIR", dir.path());
    QFile ini(dir.path() + "/quillmar.ini");
    ASSERT_TRUE(ini.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ini.write("[NET]\nOffLine=0\nDownSite=3\n");
    ini.close();
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(program, c.args);
    ASSERT_TRUE(p.waitForStarted(kTimeoutMs));
    QString title;
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < kTimeoutMs && p.state() == QProcess::Running) {
      title = MainWindowTitle(x.Display);
      if (!title.isEmpty()) break;
      QThread::msleep(200);
    }
    EXPECT_EQ(title.toStdString(), c.title.toStdString()) << p.readAllStandardError().toStdString();
    ::kill(static_cast<pid_t>(p.processId()), SIGTERM);
    ASSERT_TRUE(p.waitForFinished(kTimeoutMs));
  }
}
