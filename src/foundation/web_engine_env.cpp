#include "foundation/web_engine_env.h"

#include <unistd.h>

#include <cstdlib>

void PrepareWebEngineEnvironment() {
  if (::geteuid() != 0) return;
  setenv("QTWEBENGINE_DISABLE_SANDBOX", "1", 0);
}
