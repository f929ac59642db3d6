#include "foundation/program_paths.h"

#include <unistd.h>

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <cstdlib>

std::string WithTrailingSlash(const std::string& dir) {
  std::string d = dir;
  while (d.size() > 1 && d.back() == '/') d.pop_back();
  if (d.empty() || d.back() != '/') d.push_back('/');
  return d;
}

std::string ExecutableDir() {
  char buf[4096];
  ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n <= 0) return WithTrailingSlash(QDir::currentPath().toStdString());
  buf[n] = '\0';
  std::string exe(buf);
  const size_t slash = exe.rfind('/');
  return WithTrailingSlash(slash == std::string::npos ? std::string(".") : exe.substr(0, slash));
}

std::string UserDataDir() {
  // Same as the application data folder with organisation and application "Quillmar", but
  // known before the application object exists.
  QString base = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
  if (base.isEmpty()) base = QDir::homePath() + "/.local/share";
  return WithTrailingSlash((base + "/Quillmar/Quillmar").toStdString());
}

std::string ProgramDir() {
  if (const char* env = std::getenv("QUILLMAR_APPDIR"); env && *env) {
    QDir().mkpath(QString::fromLocal8Bit(env));
    return WithTrailingSlash(QFileInfo(QString::fromLocal8Bit(env)).absoluteFilePath().toStdString());
  }
  const std::string exeDir = ExecutableDir();
  if (access(exeDir.c_str(), W_OK) == 0) return exeDir;
  const std::string user = UserDataDir();
  QDir().mkpath(QString::fromStdString(user));
  return user;
}
