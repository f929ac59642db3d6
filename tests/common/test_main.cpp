// Shared entry of every test program: a Qt application (offscreen unless a display is
// set up by the test's runner) and a message sink that turns every dialog into a log line.
#include <gtest/gtest.h>

#include <QApplication>
#include <clocale>

#include "foundation/message_sink.h"

namespace {

QtMessageHandler previousHandler = nullptr;

// Two enabled actions of one window on the same key: pressing it runs neither, and Qt only
// says so in a warning.  Every test that presses such a key fails.
void FailOnAmbiguousKeys(QtMsgType Type, const QMessageLogContext& Context, const QString& Text) {
  if (Text.contains("Ambiguous shortcut overload")) ADD_FAILURE() << "a key that runs nothing: " << Text.toStdString();
  if (previousHandler) previousHandler(Type, Context, Text);
}

}  // namespace

int main(int argc, char** argv) {
  // Without a session bus libdbus starts dbus-launch for the accessibility bridge; under the
  // sanitizers that child can stick on an allocator lock and hang the test.  A bus address that
  // does not exist makes the bridge give up at once (the programs the tests start inherit it).
  if (qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS"))
    qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/quillmar-test-session-bus");
  QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
  QApplication app(argc, argv);
  previousHandler = qInstallMessageHandler(FailOnAmbiguousKeys);
  // Qt sets the C locale from the environment; the program must not depend on it.
  std::setlocale(LC_ALL, "");
  TLogMessageSink sink;
  TScopedMessageSink scoped(&sink);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
