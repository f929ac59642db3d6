#pragma once
// Whole files as bytes, for the tests of the settings file and the settings object.
#include <gtest/gtest.h>

#include <QByteArray>
#include <QFile>
#include <QString>
#include <string>

// The file's bytes; empty when it cannot be read.
inline std::string ReadAll(const std::string& path) {
  QFile f(QString::fromStdString(path));
  if (!f.open(QIODevice::ReadOnly)) return {};
  QByteArray b = f.readAll();
  return std::string(b.constData(), static_cast<size_t>(b.size()));
}

// Replaces the file by the bytes; a file that cannot be opened fails the test.
inline void WriteAll(const std::string& path, const std::string& bytes) {
  QFile f(QString::fromStdString(path));
  ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
  f.write(bytes.data(), static_cast<qint64>(bytes.size()));
}
