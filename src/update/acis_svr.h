#pragma once
// The update service: where the registration data are and whether they changed.
//
// TAcisSvr carries the network settings into each download, reports progress to its caller
// and answers the update check of the current data source; the routines beside it name the
// mirrors, fetch and install the prebuilt databases, copy from the shared folder and compare
// file times. No widgets here: the caller hands in its log, progress bar, event pump and busy
// cursor as callbacks (TSvrHooks); all of them may be left unset.
//
// Addresses come from update_sources.h (QUILLMAR_ACIS_BASE, QUILLMAR_MIRROR_BASE and
// QUILLMAR_MIRROR_BASE_0..3 override the built-in hosts); dates from data_date.h.
#include <cstdint>
#include <functional>
#include <string>

#include "database/master_refresh.h"  // IsSourceNewer, TMasterDownloader
#include "foundation/options.h"
#include "update/data_date.h"
#include "update/download_settings.h"
#include "update/update_sources.h"

// What the service needs of the window that uses it.
struct TSvrHooks {
  std::function<void(const std::string&)> LogMemo;                      // one log line
  std::function<void(std::uint32_t max, std::uint32_t position)> ProgressBar;
  std::function<void()> ProcessMessages;                                 // let the window breathe
  std::function<void(bool busy)> BusyCursor;                             // hourglass on / off

  void Log(const std::string& line) const;
  void Pump() const;
  void Busy(bool busy) const;
};

// Hourglass for the lifetime of the object.
class TSvrBusy {
 public:
  explicit TSvrBusy(const TSvrHooks& hooks) : hooks_(hooks) { hooks_.Busy(true); }
  ~TSvrBusy() { hooks_.Busy(false); }
  TSvrBusy(const TSvrBusy&) = delete;
  TSvrBusy& operator=(const TSvrBusy&) = delete;

 private:
  const TSvrHooks& hooks_;
};

class TAcisSvr : public TSvrHooks {
 public:
  // Settings are read once, here: from the global OptionData, or from the given object.
  TAcisSvr();
  explicit TAcisSvr(const TOptionData& options);

  // Proxy settings, taken from the settings only when proxy authorisation is switched on.
  std::string ProxyUsername;
  std::string ProxyPassword;
  bool ProxyManual = false;
  std::string ProxyName;
  std::string ProxyBypass;

  bool Cancel = false;              // true asks the running download to stop
  std::uint32_t ProgressStatus = 0; // phase of the last progress event (4, 5, 6)
  std::string ProgressText;         // address of the last progress event
  int ErrorCode = 0;                // step code of the last download
  std::string StatusCode;           // "StatusCode" of the last download; empty when none came
  std::string StatusText;
  std::string LastModified;         // "Last-Modified" of the last download (empty when it is
                                    // implausible: more than a day ahead, or before 1990)
  bool TooLarge = false;            // the last download passed its size bound
  bool TooSlow = false;             // the last download gave up on a stalled or trickling server
  bool DiskFull = false;            // the last download stopped for want of free space
  bool RedirectLoop = false;        // the last download's redirects went round in a circle
  // The size bound of the downloads in bytes; 0: the bound of each file's kind
  // (DownloadSizeBound, update_sources.h).
  std::int64_t MaxSize = 0;

  // A conditional download of Url into FileName (conditional on the existing FileName),
  // with the service's network settings; the file takes the server's time. True when a new
  // copy was saved. A failed, refused ("304") or cancelled download leaves the old file.
  bool Download(const std::string& url, const std::string& fileName);
  // The same into Target, conditional on the time of Reference (which may be missing).
  bool DownloadAs(const std::string& url, const std::string& target, const std::string& reference);

  // The update check of DownSite 0, 1 and 2 (other sources: false). True when newer data are
  // available; the page copy in the download folder is then the new one. Missing archives of
  // the source are fetched on the way (their results do not change the answer).
  bool CheckPublicDataUpdate();

  // "StatusCode StatusText" of the last download.
  std::string CodeText() const { return StatusCode + " " + StatusText; }
  // Why the last download brought nothing, in words: the bound, the disk, a stalled server or
  // a redirect loop when one of them stopped it (whatever the status line said), else
  // "StatusCode: <code> <text>", else the step's name; empty after a success.
  std::string FailureText() const;

  const TOptionData& Options() const { return options_; }

 private:
  // Downloads a page into the local copy; true when it brought newer data than the copy had.
  bool FetchPage(const std::string& url, const std::string& page);
  // The shared-folder branch of the check.
  bool CheckSharedPage(const std::string& pageName, bool logMissing);
  void FetchMissing(const std::string& url, const std::string& fileName);
  TDownloadNetSettings NetSettings() const;

  TOptionData options_;
};

// The system reports a connection (TInetConnectedState of inet_download.h).
bool IsInternetConnected();

// The name of a download step code ("INET_ERROR_OPEN_URL"); empty for other codes.
std::string InetErrorText(int code);

// Extracts Archive into Folder (zip or lzh, by content). Nothing of a damaged archive reaches
// the folder. Message receives the archiver's text (extracted names, or the reason); Files
// (when given) the full paths of the files the archive put there. With Keep, the archive is
// unpacked into a private folder first and only the members Keep accepts (names relative to
// the archive, "/"-separated) take their places in Folder; the others are named in Message as
// not used and never touch Folder.
bool ExtractArchive(const std::string& archive, const std::string& folder, std::string* message = nullptr,
                    const TSvrHooks* hooks = nullptr, std::vector<std::string>* files = nullptr,
                    const std::function<bool(const std::string&)>& keep = {});

// The members a data archive of the published register may install into the download folder:
// spreadsheets and CSV files at the top of the archive (what the rebuild reads), nothing else.
bool IsDataArchiveMember(const std::string& name);

// Installs the prebuilt pair, acis.zip and spec.zip ("acis.db" and "spec.db"), into the
// database folder as one pair: the one install of the mirror download, the shared-folder copy
// and the update window. Each archive is extracted whole into a private folder in the
// database folder first; the database it is named for ("acis.db" for "acis.zip") must be
// among its top-level members (in any letter case) and be an SQLite file, and only it leaves
// the private folder (other members are not used). Both databases, on disk under the build's
// names, then replace the old pair in one swap with its journal (db_swap_journal.h), so that a
// failure or a kill at any moment leaves the old pair or the new one, never a new acis.db
// beside the old spec.db. The install holds the folder's update lock (another update of the
// folder at work: a failure) and first finishes what a killed run left there. Each archive's
// lines are logged under its name (the members installed and those not used), and "acis.db
// 更新" and "spec.db 更新" once both are in place. On failure the log says that neither
// database is updated, the archive at fault is removed (it carries the server's time: without
// it the next check would find it current; both when the fault is the folder's) and Why
// receives the reason. OnArchive (when set) is called with each archive's name and true
// before it is unpacked, false after.
using TArchiveBusyFn = std::function<void(const std::string& zipName, bool busy)>;
bool InstallPrebuiltPair(const std::string& acisZip, const std::string& specZip, const std::string& dbFolder,
                         const TSvrHooks& hooks, std::string* why = nullptr, const TArchiveBusyFn& onArchive = {});
// The same with acis.zip and spec.zip of DownloadDir.
bool InstallPrebuiltPair(const std::string& downloadDir, const std::string& dbFolder, const TSvrHooks& hooks,
                         std::string* why = nullptr, const TArchiveBusyFn& onArchive = {});
// "acis.db" for "acis.zip": the database a prebuilt archive installs.
std::string PrebuiltDbName(const std::string& zipName);

// One file copy as the shell does it: overwriting without asking, keeping the source's time,
// to a folder or a full file name; the hourglass shows meanwhile. True when the copy succeeded.
bool ShellCopyFile(const std::string& source, const std::string& destination, const TSvrHooks* hooks = nullptr);

// The prebuilt-database update from the mirror (DownSite 3) or an own web site (DownSite 4):
// acis.zip (asking first when the server has a newer one, unless NoUpdateCheck) and then
// spec.zip, each downloaded into the download folder; when either is new, both are installed
// as one pair (InstallPrebuiltPair), and neither when one of them could not be fetched.
void SQLiteDbDownload(const TSvrHooks& hooks, const TOptionData& options);
void SQLiteDbDownload(const TSvrHooks& hooks);  // with the global settings

// The prebuilt-database update from a shared folder (default: dirLAN): acis.zip and spec.zip
// copied into the download folder when newer there (or missing here), and installed as one
// pair as SQLiteDbDownload does.
void CopyDbFromLan(const TSvrHooks& hooks, const TOptionData& options, const std::string& sourceFolder = {});
void CopyDbFromLan(const TSvrHooks& hooks);  // with the global settings and dirLAN

// The master-script refresh of the database object downloads through the service: install
// one of these with SetMasterDownloader (database/master_refresh.h).
class TSvrMasterDownloader : public TMasterDownloader {
 public:
  // Settings: the global OptionData at each download, or a copy of the given object.
  explicit TSvrMasterDownloader(TSvrHooks hooks = {}, const TOptionData* options = nullptr);
  bool IsInternetConnected() override;
  std::string MirrorSiteUrl(int Index) override;
  TResult Download(const std::string& Url, const std::string& LocalFile, const std::string& TempFile) override;

 private:
  TSvrHooks hooks_;
  bool ownOptions_ = false;
  TOptionData options_;
};
