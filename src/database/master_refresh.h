#pragma once
// Master-table refresh: each member keeps a local copy of one of the makers' SQL scripts in
// the download folder up to date (from the mirror, or from the shared folder) and runs it
// when it changed or when its table is missing.
//
// A new copy first arrives under a temporary name next to the local copy; the script runs
// from there inside one transaction, and only when it ran does the new copy replace the local
// one. A failed or interrupted run therefore leaves the old copy (and the old table) in place,
// and the next start tries again. A download that is empty, cut short or an HTML error page
// never replaces a good copy.
#include <string>
#include <memory>

// The mirror download, behind an interface: the HTTP layer plugs in here; tests use a fake.
class TMasterDownloader {
 public:
  struct TResult {
    bool Changed = false;  // a complete new copy is in TempFile
    int StatusCode = 0;    // HTTP status (304 when unchanged)
    std::string StatusText;
  };
  virtual ~TMasterDownloader() = default;
  virtual bool IsInternetConnected() = 0;
  // Base address of mirror 0..3, ending in "/data/".
  virtual std::string MirrorSiteUrl(int Index) = 0;
  // Conditional download of Url against the time of LocalFile (which may be missing) into
  // TempFile, giving the file the server's modification time. Changed only when the whole
  // body of a 200 answer arrived.
  virtual TResult Download(const std::string& Url, const std::string& LocalFile, const std::string& TempFile) = 0;
};

// The downloader used when the settings name none (not owned; null: no connection).
void SetMasterDownloader(TMasterDownloader* Downloader);
TMasterDownloader* GetMasterDownloader();

// True when Source is strictly newer than Destination by modification time, or Destination is
// missing; Msg tells why ("コピー元:... なし", "コピー先:... なし", "A > B", "更新なし").
bool IsSourceNewer(const std::string& Source, const std::string& Destination, std::string& Msg);

// Copies a file keeping its modification time (to a temporary name, then renamed; see
// CopyFileAtomic in file_copy.h).
bool CopyFileKeepTime(const std::string& Source, const std::string& Destination);

// A downloaded script is usable: not empty, not an HTML page, decodes as text.
bool LooksLikeSqlScript(const std::string& FileName, std::string& Why);

class TSQLiteDb;
// Runs every statement of a script inside one transaction of its own: the script's own
// transaction statements (BEGIN, COMMIT, END, ROLLBACK) and VACUUM are skipped. A failing
// statement rolls the whole script back and raises ESQLiteException. Returns the number of
// statements run.
int RunScriptInTransaction(TSQLiteDb& Db, const std::string& Script);

// The first keyword of a statement text, upper case (comments and blanks skipped).
std::string FirstKeyword(const char* Sql, size_t Len);
