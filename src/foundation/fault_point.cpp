#include "foundation/fault_point.h"

#ifndef NDEBUG
#include <signal.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

void FaultPoint(const char* Name) {
  if (const char* at = std::getenv("QM_FAULT_AT"); at && std::strcmp(at, Name) == 0) ::_exit(kFaultExitCode);
  if (const char* at = std::getenv("QM_STOP_AT"); at && std::strcmp(at, Name) == 0) ::raise(SIGSTOP);
}
#endif
