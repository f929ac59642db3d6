#include "foundation/fault_point.h"

#ifdef QM_FAULT_SEAM
#include <signal.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

void FaultPoint(const char* Name) {
  if (const char* at = std::getenv("QM_FAULT_AT"); at && std::strcmp(at, Name) == 0) ::_exit(kFaultExitCode);
  if (const char* at = std::getenv("QM_STOP_AT"); at && std::strcmp(at, Name) == 0) ::raise(SIGSTOP);
}

bool FaultSeamBuilt() { return true; }
#else
void FaultPoint(const char*) {}

bool FaultSeamBuilt() { return false; }
#endif
