#pragma once
// Helpers shared by the tests: temporary folders and the source tree's data files.
#include <QTemporaryDir>
#include <string>

inline std::string SourcePath(const std::string& rel) { return std::string(QM_SOURCE_DIR) + "/" + rel; }
inline std::string BinaryPath(const std::string& rel) { return std::string(QM_BINARY_DIR) + "/" + rel; }
