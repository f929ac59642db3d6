#pragma once
// The registration database object: the one connection to acis.db with spec.db (and, when
// present, jpp.db) attached, the data date, the current query result and the single place
// where SQL failures are shown. The build steps, the importers of the published data and the
// master-table refresh are operations of this object too (acis_build.cpp, import_acis.cpp,
// master_refresh.cpp).
//
// No widgets here: the log pane, the progress bar and the message pump are callbacks that the
// window owning the object sets (FLog, FProgressBar, FPump).
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "database/sqlite_db.h"

class TMasterDownloader;
class TRowSource;
class TItemListTarget;
class TGridFillTarget;

using TAcisLogFn = std::function<void(const std::string&)>;
// Moves a progress bar: position within 0..max (max > 0).
using TAcisProgressFn = std::function<void(int64_t position, int64_t max)>;
// Lets pending window messages run.
using TAcisPumpFn = std::function<void()>;

// The settings the object reads. AcisDBSettingsFromOptions() takes them from OptionData; the
// developer tool and the tests fill them directly.
struct TAcisDBSettings {
  std::string DBDir;        // database folder (spec.db, jpp.db), no trailing separator
  std::string DownloadDir;  // local copies of the master scripts
  std::string dirLAN;       // shared folder
  bool UseLAN = false;      // master scripts come from the shared folder, not the mirror
  int DBDownSite = 0;       // source of the present acis.db; 3 and 4: prebuilt, no refresh
  int DownSiteVeskDB = 0;   // mirror 0..3
  // Fetches master scripts from the mirror; borrowed, may be null (then the downloader
  // installed by SetMasterDownloader is used; without one there is no connection).
  TMasterDownloader* Downloader = nullptr;
  // The spec.db attached as "spec"; empty: DBDir/spec.db. A build attaches its own copy.
  std::string SpecFile;
  // A master script copy that ran is not put in place of the local copy at once but kept in
  // DeferredScriptCopies (a build does that once its databases are in place).
  bool DeferScriptCopies = false;
};

// The settings of OptionData (defaults when it does not exist).
TAcisDBSettings AcisDBSettingsFromOptions();

// Counts of one import (rows read, stored, rejected with a logged reason).
struct TImportResult {
  int64_t Rows = 0;
  int64_t Stored = 0;
  int64_t Rejected = 0;
  int64_t DatesNull = 0;  // registration dates that could not be converted (stored as NULL)
};

class TAcisDB {
 public:
  static constexpr int kVersion = 190107;

  // Opens or creates FileName, registers the SQL functions, sets the multi-statement flag,
  // reads the data date, attaches spec.db (and refreshes the masters) and jpp.db.
  // A failure to open the file raises ESQLiteException.
  TAcisDB(const std::string& FileName, TAcisLogFn LogMemo = nullptr);
  TAcisDB(const std::string& FileName, const TAcisDBSettings& Settings, TAcisLogFn LogMemo = nullptr);
  ~TAcisDB();
  TAcisDB(const TAcisDB&) = delete;
  TAcisDB& operator=(const TAcisDB&) = delete;

  // Fields in declared order.
  std::unique_ptr<TSQLiteDb> FDb;    // the connection
  std::unique_ptr<TSQLiteTbl> FTbl;  // the current result; replaced by every successful query
  std::string FSQL;                  // scratch statement text
  std::string FLastUpdate;           // data date text ("更新日付不明", "不明")
  TAcisProgressFn FProgressBar;      // set during a build, empty otherwise
  TAcisLogFn FLog;                   // receives the log lines
  TAcisPumpFn FPump;                 // message pump for long loops (called about every 50 ms)

  const TAcisDBSettings& Settings() const { return FSettings; }
  // New master-script copies (new file, local copy) that ran but were kept back
  // (TAcisDBSettings::DeferScriptCopies).
  const std::vector<std::pair<std::string, std::string>>& DeferredScriptCopies() const { return FDeferredCopies; }
  TAcisDBSettings& Settings() { return FSettings; }
  const std::string& FileName() const { return FFileName; }

  // Connection.
  bool AttachSpec();
  void AttachJpp();
  void SetMultiStatement(bool Value);
  std::string SQLiteVersion() const;

  // Info items and table test.
  void ReadLastUpdate();
  void SetLastUpdate(const std::string& Text);
  int GetVersion();
  // "name" in any attached database, "spec.name" in that schema only; never raises.
  bool TableExists(const std::string& Name);
  void Log(const std::string& Text);

  // Running SQL. Failures are shown as the "SQL エラー" memo and give the failure value.
  bool ExecSQL(const std::string& SQL);
  bool Query(const std::string& SQL, bool ShowNoData = true);
  // Shows an SQL failure in the memo (title names the operation; empty for ExecSQL/Query).
  static void ShowSqlError(const ESQLiteException& E, const std::string& Title);
  // The first SQL failure this object showed (title and text), empty when none: a build that
  // stops later names it as the cause.
  const std::string& FirstSqlError() const { return FFirstSqlError; }

  // Build steps, in build order (acis_build.cpp). Failures raise ESQLiteException.
  void CreateBuildTables();
  void FillTmKihon();
  void BuildMKihon();
  void CreateSeibunTable();
  void CreateIndexes();
  void CreateTekiyoViews();

  // Importers of the published data (import_acis.cpp). A file that cannot be read raises
  // EImportFileError before anything is stored; a bad row is logged, counted and skipped.
  TImportResult ImportKihonGrid(TRowSource& Grid);
  TImportResult ImportTekiyoGrid(TRowSource& Grid);
  TImportResult ImportAcisKihonCsv(const std::string& FileName);
  TImportResult ImportAcisTekiyoCsv(const std::string& FileName);
  TImportResult ImportKihonCsv(const std::string& FileName);
  TImportResult ImportTekiyoCsv(const std::string& FileName);
  static int64_t LineCount(const std::string& FileName);

  // JPP-NET import into jpp.db (jpp_import.cpp). True when the whole file was imported; a
  // wrong file, a bad line or an SQL failure is reported and leaves the old table as it was.
  bool AttachJppForImport();
  bool ImportJppSeizaiCsv(const std::string& FileName, TImportResult* Result = nullptr);
  bool ImportJppSeibunCsv(const std::string& FileName, TImportResult* Result = nullptr);

  // Master-table refresh from script files (master_refresh.cpp).
  bool DownloadSqlFile(const std::string& FileName, const std::string& LocalFile);
  bool RunSqlFile(const std::string& FileName, int Encoding);
  void UpdateKihonKoka();
  bool DokuseiTableName();
  bool UpdateBunrui();
  bool UpdateSeizai();
  bool UpdateDokusei();
  bool UpdateRyutsu();
  bool UpdateIdShurui();
  bool UpdateIso();
  bool UpdateSuisan();
  bool UpdateFrac();
  bool UpdateIrac();
  bool UpdateHrac();
  bool UpdateKwlists();
  bool UpdateBeppyo1();
  bool UpdateFeedrice();
  bool UpdateTsushoRuby();
  bool UpdateCvo();
  bool UpdateRakuyokaju();
  bool UpdateMSakumotsu();
  bool UpdateMByochu();

  // Calls FPump when about 50 ms passed since the last call (cheap enough for every row).
  void Breathe();
  void Progress(int64_t Position, int64_t Max);

  // Per-connection objects, list and grid fills, look-ups and crop hierarchy queries
  // (acis_session_views.cpp, acis_fill.cpp, acis_crop_queries.cpp; types in acis_fill.h).
  void CreateSessionViews();
  void FillComboItems(TItemListTarget& Combo, int FieldIndex, bool Clear);
  void FillComboBango(TItemListTarget& Combo, bool Clear);
  void FillListBango(TItemListTarget& List, bool Clear);
  void FillListValues(TItemListTarget& List, int FieldIndex);
  void FillListUnique(TItemListTarget& List);
  bool SetGrid(TGridFillTarget& Grid, const std::string& SQL);
  void SetGridFromTable(TGridFillTarget& Grid, TSQLiteTbl& Tbl);
  std::string GetIso(const std::string& Ippanmei);
  int GetByochuCid(const std::string& Byochu);
  // Added: names of Names that came in on a chosen crop's behalf (acis_crop_queries.h).
  std::string IdSakuRegexpLine(const std::string& Names, bool RegisteredOnly = false,
                               const std::vector<std::string>& Added = {});
  std::string UpperGroup(const std::string& Name);
  std::string UpperGroupMarked(const std::string& Name) noexcept;
  std::string SameLevelSakumotsu(const std::string& Name);
  std::string DeployCrops(const std::string& Text, char Mode);
  bool CropNameExists(const std::string& Name);
  std::string CropNamesMatching(const std::string& Name);

 private:
  void Open(const std::string& FileName);
  // The grid fills' common part: titles and the rows of Tbl from its current row on.
  void FillGridFrom(TGridFillTarget& Grid, TSQLiteTbl& Tbl, std::vector<std::string> Titles);
  // One refresh member: script file, table whose absence forces a run, log line, encoding.
  struct TMasterScript;
  bool RefreshMaster(const TMasterScript& M);
  bool RunScriptText(const std::string& Text, const std::string& Title);
  TMasterDownloader* Downloader();
  // The refresh pass of the open: false, said once in the log, when the database folder or
  // one of its databases cannot be written (nothing is then fetched that could not be run).
  bool MasterTablesWritable();
  // spec.db is attached to the connection (its ATTACH failed otherwise: a lock, a folder in
  // its place). That failure has been shown once; what fails for its want is logged only.
  bool SpecAttached();
  // A failure that only says that spec.db, whose attach failed at the open, is not attached.
  bool IsSpecMissingFailure(const ESQLiteException& E);
  // Runs the refresh members of the open (the pass stops at a failure of the disk, a lock or
  // an attached database: the rest is neither fetched nor run, and the next open tries again).
  void RefreshMasterTables();

  std::string FFileName;
  TAcisDBSettings FSettings;
  std::chrono::steady_clock::time_point FLastPump;
  // Files fetched during this run that replace the local copy once their script ran:
  // local copy -> new copy.
  std::string FPendingLocal, FPendingNew;
  std::vector<std::pair<std::string, std::string>> FDeferredCopies;
  std::string FFirstSqlError;
  bool FScriptFault = false;  // the last script failed by its own SQL (not the disk, a lock...)
  bool FMasterPass = false;   // the refresh pass of the open runs
  bool FMasterHalt = false;   // that pass met a failure outside the scripts: it stops
  bool FSessionViews = false;  // CreateSessionViews ran on this connection
  // A build or an install replaced the files under the open connection: opens them again
  // (with the per-connection objects) before the next statement begins a transaction.
  void ReopenReplacedFiles();
  // The ATTACH of spec.db failed and was shown (at the open, or again once the files were
  // replaced: a replacement tries once more).
  bool FSpecAttachFailed = false;
  // The spec.db this object attaches.
  std::string SpecPath() const;
  // Shows the failure and keeps it when it is the first.
  void SqlFailure(const ESQLiteException& E, const std::string& Title);
};

// The hourglass cursor while SQL or a script download runs: the window layer installs a hook
// that sets (true) and restores (false) the cursor. Calls nest and always pair up, also when
// the operation fails.
using TAcisBusyHook = std::function<void(bool Busy)>;
void SetAcisBusyHook(TAcisBusyHook Hook);
class TAcisBusy {
 public:
  TAcisBusy();
  ~TAcisBusy();
  TAcisBusy(const TAcisBusy&) = delete;
  TAcisBusy& operator=(const TAcisBusy&) = delete;
};

// The object of the running program (null until created).
extern std::unique_ptr<TAcisDB> AcisDB;

// Text of the "SQL エラー" memo for a failure.
std::string SqlErrorMemoText(const ESQLiteException& E);
