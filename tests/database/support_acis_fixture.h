#pragma once
// Shared by the database-build tests: a TAcisDB on a temporary folder whose master scripts
// come from a shared folder (the fixtures under tests/database/data/masters), and a way to
// read table rows back as text.
#include <QTemporaryDir>
#include <memory>
#include <string>
#include <vector>

#include "database/acis_db.h"

// One row as text; NULL reads as "<NULL>".
using TRowText = std::vector<std::string>;

struct TAcisFixture {
  QTemporaryDir Dir;
  std::string DBDir, DownloadDir, SharedDir;
  std::vector<std::string> LogLines;
  TAcisFixture();
  // Settings for a database in DBDir; masters from SharedDir when useShared is set.
  TAcisDBSettings Settings(bool useShared = true) const;
  std::unique_ptr<TAcisDB> Open(bool useShared = true, const std::string& file = "acis.db");
  // Copies the master-script fixtures into SharedDir.
  void CopyMasters();
  bool Logged(const std::string& part) const;
};

std::vector<TRowText> Rows(TSQLiteDb& db, const std::string& sql);
std::string DataPath(const std::string& rel);  // tests/database/data/<rel>
