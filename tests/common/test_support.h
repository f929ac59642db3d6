#pragma once
// Helpers shared by the tests: temporary folders and the source tree's data files, and the
// guard of the tests that need the fault points.
#include <QTemporaryDir>
#include <fstream>
#include <sstream>
#include <string>

#include "foundation/fault_point.h"

inline std::string SourcePath(const std::string& rel) { return std::string(QM_SOURCE_DIR) + "/" + rel; }
inline std::string BinaryPath(const std::string& rel) { return std::string(QM_BINARY_DIR) + "/" + rel; }

// A file's bytes as they are ("" when it cannot be read), and a file made of Text.
inline std::string ReadBytes(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  std::ostringstream s;
  s << f.rdbuf();
  return s.str();
}
inline void WriteBytes(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

// At the start of a test that makes a process die or stop at a fault point: skips the test,
// saying why, in a build without them (configure with -DQM_FAULT_SEAM=ON, as tools/test.sh does).
#define QM_REQUIRE_FAULT_SEAM()                                                                    \
  do {                                                                                             \
    if (!FaultSeamBuilt()) GTEST_SKIP() << "this build has no fault points (configure with -DQM_FAULT_SEAM=ON)"; \
  } while (0)
