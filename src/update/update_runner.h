#pragma once
// The data update without widgets: download or copy the archives of a data source, unpack
// them, and rebuild acis.db from them (or install the prebuilt databases), with a log, a
// progress bar and an abort flag. The update window is a view over one runner; the unattended
// runs ("/u", "/r") drive a runner of their own.
//
// Nothing is lost: downloads and extractions go to temporary names first, the rebuild goes
// into a temporary database that replaces acis.db only after its last step, and AcisDB keeps
// the previous database open until the new one is in place. A failed step leaves the previous
// database open and usable.
#include <chrono>
#include <cstdint>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "update/update_sources.h"

class TAcisSvr;
class TOptionData;
struct TAcisDBSettings;

// The seconds since Start as the log's timings show them ("%5.1f": "  3.2").
std::string ElapsedSeconds(std::chrono::steady_clock::time_point Start);

// The database object's settings taken from the given settings object.
TAcisDBSettings UpdateDbSettings(const TOptionData& Options);

// What the runner needs of the window (or of the unattended run) that drives it; every member
// may be left unset.
struct TUpdateSinks {
  std::function<void(const std::string&)> Log;                   // one log line
  std::function<void(int64_t position, int64_t max)> Progress;   // the progress bar
  std::function<void()> Pump;                                    // let the window breathe
  std::function<void(bool busy)> Busy;                           // hourglass on / off
  // A file label ("登録基本部", "acis.zip", "登録適用部", ...) shown bold while its file is
  // processed.
  std::function<void(const std::string& label, bool bold)> Highlight;
  // The window's buttons: off while a step runs, on again afterwards (EnableButtons).
  std::function<void(bool enable)> Buttons;
  // An automatic window closes itself after its run.
  std::function<void()> Close;
};

class TUpdateRunner {
 public:
  // Works on the given settings (the program's OptionData); reads DownSite, DownSiteVeskDB,
  // UserSite, UseLAN and the folders, and writes DBDownSite and UserSite as the steps say.
  TUpdateRunner(TOptionData& Options, TUpdateSinks Sinks);
  ~TUpdateRunner();
  TUpdateRunner(const TUpdateRunner&) = delete;
  TUpdateRunner& operator=(const TUpdateRunner&) = delete;

  // ---- state, in the window's terms ----
  int Mode = 0;              // data source 0..4 of this run
  int MirrorIndex = 0;       // mirror 0..3 of the prebuilt-database download
  bool Abort = false;        // the running step or sequence is to stop
  bool InSequence = false;   // a whole update runs: a failed download or copy aborts it
  std::string UpdateDate;    // data date of the source; the rebuild stores it as LastUpdate
  int FileIndex = 0;         // workbook being converted (0..4)
  TCsvNames CsvNames;        // the three public CSV archives (from update2.htm)
  bool AutoStart = false;    // run AutoUpdate when the window opens, close afterwards
  bool DownloadCheckStart = false;
  bool IgnoreCopyFailure = false;  // a failed shared-folder copy does not abort the sequence
  bool Updated = false;      // the database was replaced
  bool Reopened = false;     // AcisDB is a new object (also after a partial install)
  bool OneStop = false;      // one-step rebuild when the window opens
  bool OldDb = false;        // the replaced database had info Version below 120413
  bool AutoUpdateRun = false;    // the unattended update ("/u")
  bool DownloadCheckRun = false; // the unattended download check ("/r")
  std::string SiteText;      // the own site's address or folder (the window's edit box)

  // ---- steps ----
  // Fetches the files of Mode from the network (or the own site). False when a file could
  // neither be fetched nor found current; in a sequence that aborts it.
  bool Download();
  // The same files copied from the shared folder (dirLAN).
  bool CopyFromShare();
  // Reads update2.htm: the data date into UpdateDate and the three archive names into
  // CsvNames. False when the page, its date line or one of the names is missing.
  bool AcisCsvInfoSet();
  bool UnpackAcisCsv();  // mode 0
  bool UnpackXls();      // mode 1
  bool UnpackToroku();   // mode 2
  // Modes 3 and 4: acis.zip and spec.zip installed into the database folder, AcisDB reopened.
  bool UnpackDB();
  // Rebuilds acis.db from the unpacked files of Mode (0..2): the import step of the source
  // (ConvertAcisCsv, ConvertXls or ConvertVeskCsv), then the tables, indexes and views.
  bool RebuildDB();
  // The whole update: fetch or copy, unpack, rebuild. False exactly when it was aborted.
  bool AutoUpdate();
  // The fetch or copy step only. True when it ran to its end.
  bool DownloadCheck();
  // The one-step rebuild after a program update: fetch and unpack only what is missing.
  bool OneStopUpdate();
  // The abort button: the running step stops at its next check.
  void DoAbort();

  // ---- log ----
  void Log(const std::string& Line);
  void LogIfAny(const std::string& Line);  // a line that is not empty
  // Prefix and each line of a multi-line text (the archiver's output), empty lines dropped.
  void LogLines(const std::string& Prefix, const std::string& Text);
  // The whole log, one line per line ending in "\n".
  std::string LogText() const;
  // Writes the whole log into FileName (through a temporary file that then replaces it).
  // False when it cannot, also when the file could not be replaced; Why then says why.
  bool SaveLog(const std::string& FileName, std::string* Why = nullptr) const;
  // Appends the whole log to FileName under a header line naming the time, the program
  // folder and the process, so that the runs of programs sharing a folder each keep their
  // lines; the file stays below 1 MiB (the oldest runs go first, whole). False when it cannot;
  // Why then says why.
  bool AppendRunLog(const std::string& FileName, std::string* Why = nullptr) const;
  // The log file of an unattended run (AppendRunLog). When it cannot be written the whole log
  // goes to standard error instead (a scheduler mails what a run writes there), after a line
  // that names the file. False in that case.
  bool SaveRunLog(const std::string& FileName) const;

  // The local file names of the download folder.
  std::string DownloadFile(const std::string& Name) const;
  std::string DbFile(const std::string& Name) const;

  TOptionData& Options() { return options_; }
  // Replaces the event pump (the unattended runs add their stop check).
  void SetPump(std::function<void()> Pump) { sinks_.Pump = std::move(Pump); }

 private:
  friend class TUpdateRunnerAccess;
  struct TStepResult;
  // One download of Url into the download folder's Name; true when it came or is current.
  bool Fetch(TAcisSvr& Svr, const std::string& Url, const std::string& Name, const std::string& StartLine,
             const std::string& DoneLine, const std::string& FailLine);
  bool CopyOne(const std::string& From, const std::string& Name, const std::string& StartLine,
               const std::string& DoneLine, const std::string& FailLine);
  bool UnpackArchives(const std::vector<std::string>& Names, const std::string& LinePrefix);
  // The import step of each source within RebuildDB: hands the build that source's files or
  // rows, and shows the file being imported (its label bold, its lines) as the build reaches
  // it. False when a source cannot be read; the caller then aborts with no label left bold.
  struct TImportPlan;
  bool ConvertAcisCsv(TImportPlan& Plan);  // the public service's CSV files (mode 0)
  bool ConvertXls(TImportPlan& Plan);      // its workbooks (mode 1)
  bool ConvertVeskCsv(TImportPlan& Plan);  // the mirror's CSV set (mode 2)
  bool DownloadPrebuilt(TAcisSvr& Svr, const std::string& Base);
  bool CopyPrebuiltFromFolder(const std::string& Folder);
  bool MirrorUsable(int Index);
  // The database folder can take new files; otherwise says so (once per call; before a download
  // also that nothing is fetched) and is false.
  bool DatabaseFolderWritable(bool BeforeDownload = true);
  void Progress(int64_t Position, int64_t Max);
  void Buttons(bool Enable);
  void Busy(bool On);
  void Highlight(const std::string& Label, bool Bold);
  void Pump();
  // Opens acis.db of the database folder as AcisDB (replacing the object in place); false
  // when there is no such file or it cannot be opened (AcisDB then stays as it was).
  bool ReopenAcisDB();
  std::string DateTimeNow() const;
  // Once this runner has unpacked archives, the rebuild takes only the files they brought
  // (never a file of the same name that an earlier run left in the download folder): false,
  // with a log line, for any other file.
  bool CameFromUnpacking(const std::string& File);

  TOptionData& options_;
  TUpdateSinks sinks_;
  std::vector<std::string> log_;
  TAcisSvr* svr_ = nullptr;  // the download running now (its Cancel follows Abort)
  bool unpacked_ = false;                // archives were unpacked by this runner
  std::set<std::string> unpackedFiles_;  // the files the last unpacking put in place
};
