#pragma once
// Runs a test again in a child process on a desktop of its own where Qt's accessibility bridge
// comes up: an X server (Xvfb), a D-Bus session and an accessibility bus, with
// QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 as on desktops that run a screen reader.
//
//   TEST(Suite, Name) {
//     if (OnTheAccessibleDesktop()) return RunTheCase();    // the child
//     RunOnAnAccessibleDesktop("Suite.Name");               // the parent
//   }
#include <gtest/gtest.h>

#include <QAccessible>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <string>

namespace accessible_desktop {

inline constexpr const char* kChild = "QM_ACCESSIBLE_DESKTOP_CHILD";
inline constexpr int kStartMs = 180000;

// Starts a program and returns the first line it writes (its display number or bus address).
inline bool StartAndReadLine(QProcess& P, const QString& Program, const QStringList& Args, QByteArray& Line) {
  P.start(Program, Args);
  if (!P.waitForStarted(kStartMs)) return false;
  QElapsedTimer t;
  t.start();
  while (!Line.contains('\n') && t.elapsed() < 30000) {
    P.waitForReadyRead(200);
    Line += P.readAllStandardOutput();
  }
  Line = Line.trimmed();
  return !Line.isEmpty();
}

inline void Stop(QProcess& P) {
  if (P.state() == QProcess::NotRunning) return;
  P.terminate();
  if (!P.waitForFinished(10000)) P.kill();
  P.waitForFinished(10000);
}

}  // namespace accessible_desktop

// True in the child that runs on the accessible desktop.
inline bool OnTheAccessibleDesktop() { return qEnvironmentVariableIsSet(accessible_desktop::kChild); }

// In the child: starts the accessibility bus and waits until the bridge is active. The bus
// process ends with the object.
class TAccessibilityBus {
 public:
  TAccessibilityBus() {
    bus_.start("/usr/libexec/at-spi-bus-launcher", {"--launch-immediately"});
    if (!bus_.waitForStarted(accessible_desktop::kStartMs)) return;
    QElapsedTimer t;
    t.start();
    while (!QAccessible::isActive() && t.elapsed() < 30000)
      QCoreApplication::processEvents(QEventLoop::AllEvents, 100);
  }
  ~TAccessibilityBus() { accessible_desktop::Stop(bus_); }
  bool Active() const { return QAccessible::isActive(); }

 private:
  QProcess bus_;
};

// In the parent: runs `filter` of this test program in a child on the accessible desktop and
// expects it to pass within `timeoutMs`; skips where Xvfb, dbus-daemon or at-spi2-core are
// missing. The child's output goes to `out` when given (for figures it prints).
inline void RunOnAnAccessibleDesktop(const std::string& filter, std::string* out = nullptr, int timeoutMs = 300000) {
  using namespace accessible_desktop;
  for (const char* tool : {"Xvfb", "dbus-daemon"})
    if (QStandardPaths::findExecutable(tool).isEmpty()) {
      GTEST_SKIP() << tool << " is not installed";
    }
  if (!QFile::exists("/usr/libexec/at-spi-bus-launcher")) {
    GTEST_SKIP() << "at-spi2-core is not installed";
  }
  QProcess x, dbus;
  QByteArray display, address;
  if (!StartAndReadLine(x, "Xvfb", {"-displayfd", "1", "-nolisten", "tcp", "-screen", "0", "1280x800x24"}, display)) {
    ADD_FAILURE() << "Xvfb did not start";
    Stop(x);
    return;
  }
  if (!StartAndReadLine(dbus, "dbus-daemon", {"--session", "--nofork", "--print-address=1"}, address)) {
    ADD_FAILURE() << "dbus-daemon did not start";
    Stop(dbus);
    Stop(x);
    return;
  }
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert(kChild, "1");
  env.insert("DISPLAY", ":" + QString::fromLatin1(display));
  env.insert("QT_QPA_PLATFORM", "xcb");
  env.insert("DBUS_SESSION_BUS_ADDRESS", QString::fromLatin1(address));
  env.insert("QT_LINUX_ACCESSIBILITY_ALWAYS_ON", "1");
  QProcess child;
  child.setProcessEnvironment(env);
  child.setProcessChannelMode(QProcess::MergedChannels);
  child.start(QCoreApplication::applicationFilePath(), {QString::fromStdString("--gtest_filter=" + filter)});
  const bool finished = child.waitForFinished(timeoutMs);
  if (!finished) child.kill();
  child.waitForFinished(10000);
  const std::string text = child.readAll().toStdString();
  Stop(dbus);
  Stop(x);
  EXPECT_TRUE(finished) << "the case did not end within " << timeoutMs / 1000 << " s\n" << text;
  EXPECT_EQ(child.exitStatus(), QProcess::NormalExit) << text;
  EXPECT_EQ(child.exitCode(), 0) << text;
  EXPECT_NE(text.find("[  PASSED  ] 1 test"), std::string::npos) << text;
  if (out) *out = text;
}
