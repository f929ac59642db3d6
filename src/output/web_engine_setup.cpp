#include "output/web_engine_setup.h"

#include <unistd.h>

#include <cstdlib>
#include <cstring>

void PrepareWebEngineProcess() {
  if (::geteuid() != 0) return;
  const char* disable = std::getenv("QTWEBENGINE_DISABLE_SANDBOX");
  if (disable && *disable) return;
  const char* flags = std::getenv("QTWEBENGINE_CHROMIUM_FLAGS");
  if (flags && std::strstr(flags, "--no-sandbox")) return;
  ::setenv("QTWEBENGINE_DISABLE_SANDBOX", "1", 1);
}
