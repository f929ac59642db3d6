// Shared entry of every test program: a Qt application (offscreen unless a display is
// set up by the test's runner) and a message sink that turns every dialog into a log line.
#include <gtest/gtest.h>

#include <QApplication>
#include <clocale>

#include "foundation/message_sink.h"

int main(int argc, char** argv) {
  QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
  QApplication app(argc, argv);
  // Qt sets the C locale from the environment; the program must not depend on it.
  std::setlocale(LC_ALL, "");
  TLogMessageSink sink;
  TScopedMessageSink scoped(&sink);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
