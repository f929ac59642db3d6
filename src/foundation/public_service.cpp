#include "foundation/public_service.h"

#include <cstdlib>

std::string PublicServiceBase() {
  const char* v = std::getenv("QUILLMAR_ACIS_BASE");
  std::string base = v && *v ? std::string(v) : std::string(kAcisServiceBase);
  while (!base.empty() && base.back() == '/') base.pop_back();
  return base;
}
