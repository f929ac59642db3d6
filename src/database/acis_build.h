#pragma once
// The whole database build from the published data, in the order the update window drives it:
// open a new database, create the build tables, import, derive m_kihon, refresh the crop and
// pest masters, the ingredient table, indexes, views and the data date.
//
// The build goes into a temporary file in the database folder; only when the last step
// succeeded does it replace acis.db, so a failed build leaves the previous database untouched
// and usable. One build or install of a folder runs at a time: a build that finds another one
// at work in its folder fails at once and touches nothing; one that finds what a killed run
// left there finishes or removes that first (db_swap_journal.h).
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "database/acis_db.h"

class TRowSource;

struct TAcisBuildRequest {
  // Where acis.db goes; also the database folder of the settings (spec.db beside it).
  std::string DBDir;
  TAcisDBSettings Settings;
  // 0: the public service's CSV files, 1: spreadsheet rows, 2: the mirror's CSV files.
  int Source = 0;
  std::string KihonFile;                 // sources 0 and 2
  std::vector<std::string> TekiyoFiles;  // sources 0 (one or more) and 2 (one)
  TRowSource* KihonRows = nullptr;       // source 1 (not owned)
  std::vector<TRowSource*> TekiyoRows;   // source 1 (not owned)
  std::string DataDate;                  // data date text; empty: "不明" stays
  TAcisLogFn Log;
  TAcisProgressFn Progress;
  TAcisPumpFn Pump;
  std::function<bool()> Aborted;  // tested between steps
  // Called as each step begins: "CreateBuildTables", "import kihon", "import tekiyo" (Index:
  // the file or sheet, from 0), "FillTmKihon", "BuildMKihon", "UpdateMSakumotsu",
  // "UpdateMByochu", "CreateSeibunTable", "CreateIndexes", "CreateTekiyoViews",
  // "SetLastUpdate". The update window writes its step lines and moves its bar from here.
  std::function<void(const std::string& Step, int Index)> OnStep;
};

struct TAcisBuildResult {
  bool Ok = false;
  std::string Error;                                   // why the build stopped
  std::vector<std::pair<std::string, double>> Steps;   // step name, seconds
  TImportResult Kihon, Tekiyo;
  std::string DbFile;                                  // the acis.db written
};

// Builds DBDir/acis.db. Never raises for a failed build: the result says why.
TAcisBuildResult BuildAcisDatabase(const TAcisBuildRequest& Request);
