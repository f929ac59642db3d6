#pragma once
// The sample register built into a database once per test program: the generator writes the
// published files and master scripts (tools/gen_sample), the build turns them into acis.db and
// spec.db.  Each test takes its own copy of the two files, so tests may change them.
#include <gtest/gtest.h>

#include <QProcess>
#include <QTemporaryDir>
#include <filesystem>
#include <memory>
#include <string>

#include "common/test_support.h"
#include "database/acis_build.h"
#include "database/acis_db.h"
#include "foundation/message_sink.h"

namespace sample_db {

// Folder holding the built acis.db and spec.db ("" when the build failed; the reason is in Error()).
inline std::string& Error() {
  static std::string e;
  return e;
}

inline const std::string& BuiltDir() {
  static QTemporaryDir root;
  static const std::string dir = [] {
    const std::string base = root.path().toStdString();
    QProcess gen;
    gen.start("/usr/bin/python3", {QString::fromStdString(SourcePath("tools/gen_sample/gen_sample.py")), "--out",
                                   QString::fromStdString(base + "/sample"), "--size", "small", "--seed", "20261104"});
    if (!gen.waitForFinished(120000) || gen.exitCode() != 0) {
      Error() = "generator failed: " + gen.readAllStandardError().toStdString();
      return std::string();
    }
    TAcisBuildRequest req;
    req.DBDir = base + "/db";
    req.Settings.UseLAN = true;
    req.Settings.dirLAN = base + "/sample/masters";
    req.Settings.DownloadDir = base + "/download";
    std::filesystem::create_directories(req.Settings.DownloadDir);
    req.Source = 2;
    req.KihonFile = base + "/sample/mirror/kihon.csv";
    req.TekiyoFiles = {base + "/sample/mirror/tekiyo.csv"};
    req.DataDate = "2026年11月4日反映";
    TLogMessageSink sink([](const std::string&) {});
    TScopedMessageSink scoped(&sink);
    TAcisBuildResult r = BuildAcisDatabase(req);
    if (!r.Ok) {
      Error() = "build failed: " + r.Error;
      return std::string();
    }
    return req.DBDir;
  }();
  return dir;
}

// A private copy of the sample database, opened as a prebuilt database (no master refresh).
struct TSampleDb {
  QTemporaryDir Dir;
  std::string DBDir;
  std::unique_ptr<TAcisDB> Db;
  std::vector<std::string> Log;

  bool Open() {
    const std::string& src = BuiltDir();
    if (src.empty()) return false;
    DBDir = Dir.path().toStdString();
    for (const char* f : {"acis.db", "spec.db"})
      std::filesystem::copy_file(src + "/" + f, DBDir + "/" + f);
    TAcisDBSettings s;
    s.DBDir = DBDir;
    s.DownloadDir = DBDir;
    s.DBDownSite = 3;
    Db = std::make_unique<TAcisDB>(DBDir + "/acis.db", s, [this](const std::string& l) { Log.push_back(l); });
    return true;
  }
};

}  // namespace sample_db

#define OPEN_SAMPLE_DB(var)                                                   \
  sample_db::TSampleDb var;                                                   \
  ASSERT_TRUE(var.Open()) << sample_db::Error();                              \
  TAcisDB& db = *var.Db;                                                     \
  (void)db
