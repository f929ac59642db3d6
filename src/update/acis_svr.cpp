#include "update/acis_svr.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>
#include <vector>

#include "foundation/fault_point.h"
#include "foundation/global.h"
#include "foundation/message_sink.h"
#include "database/db_swap_journal.h"
#include "database/db_swap_lock.h"
#include "database/lookup_indexes.h"
#include "database/sqlite_db.h"
#include "foundation/stale_files.h"
#include "update/archive_7zip.h"
#include "update/http_date.h"
#include "update/http_download.h"
#include "update/run_answers.h"
#include "update/shell_file_op.h"

namespace fs = std::filesystem;

namespace {

const char* const kNoServerAnswer = "StatusCode なし サーバ接続失敗!";

const TOptionData& GlobalOptions() {
  static const TOptionData defaults{std::string("/")};
  return OptionData ? *OptionData : defaults;
}

bool FileExists(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool ReadWhole(const std::string& path, std::string& out) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream ss;
  ss << in.rdbuf();
  out = ss.str();
  return true;
}

void EnsureFolder(const std::string& folder) {
  if (folder.empty()) return;
  std::error_code ec;
  fs::create_directories(folder, ec);
}

void RemoveQuietly(const std::string& path) {
  std::error_code ec;
  fs::remove(path, ec);
}

// Splits multi-line text into log lines, each after Prefix.
void LogLines(const TSvrHooks& hooks, const std::string& text, const std::string& prefix = {}) {
  size_t pos = 0;
  while (pos < text.size()) {
    size_t nl = text.find('\n', pos);
    std::string line = text.substr(pos, nl == std::string::npos ? std::string::npos : nl - pos);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty()) hooks.Log(prefix + line);
    if (nl == std::string::npos) break;
    pos = nl + 1;
  }
}

// The last line of a multi-line text that says anything.
std::string LastLine(const std::string& text) {
  std::string last;
  TSvrHooks keep;
  keep.LogMemo = [&last](const std::string& line) { last = line; };
  LogLines(keep, text);
  return last;
}

bool IsSqliteFile(const std::string& path) {
  static const char kHeader[16] = {'S', 'Q', 'L', 'i', 't', 'e', ' ', 'f', 'o', 'r', 'm', 'a', 't', ' ', '3', '\0'};
  std::ifstream in(path, std::ios::binary);
  char buf[16];
  if (!in.read(buf, sizeof buf)) return false;
  return std::memcmp(buf, kHeader, sizeof buf) == 0;
}

bool SameNameIgnoringCase(const std::string& a, const std::string& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

// What fetching one prebuilt-database archive came to. Current: the local copy is the
// server's; Declined: a newer copy was refused; Failed: it could not be checked or fetched.
enum class TPrebuiltFetch { Taken, Current, Declined, Failed };

// Downloads one prebuilt-database archive (SQLiteDbDownload steps 4 and 5); installing waits
// until both are fetched.
TPrebuiltFetch DownloadPrebuilt(TAcisSvr& svr, const std::string& url, const std::string& local,
                                const char* failPrefix) {
  if (svr.Download(url, local)) {
    svr.Log(svr.CodeText());
    return TPrebuiltFetch::Taken;
  }
  if (!svr.StatusCode.empty()) {
    svr.Log(svr.CodeText());
    return svr.StatusCode == "304" ? TPrebuiltFetch::Current : TPrebuiltFetch::Failed;
  }
  svr.Log(failPrefix + InetErrorText(svr.ErrorCode) + " サーバー接続失敗!");
  return TPrebuiltFetch::Failed;
}

// Installs acis.zip and spec.zip of the download folder as one pair once either of them is
// new; nothing when the other is not there to go with it (refused, not fetched, or missing
// from the download folder): a new acis.db never goes in beside the old spec.db. The archive
// just fetched goes then, so that the next run fetches it again.
void InstallFetchedPair(const TSvrHooks& hooks, const TOptionData& options, TPrebuiltFetch acis,
                        TPrebuiltFetch spec) {
  if (acis != TPrebuiltFetch::Taken && spec != TPrebuiltFetch::Taken) return;
  const std::string local[2] = {JoinFolder(options.DownloadDir, kAcisZip), JoinFolder(options.DownloadDir, kSpecZip)};
  TPrebuiltFetch* states[2] = {&acis, &spec};
  for (int i = 0; i < 2; ++i)
    if (*states[i] == TPrebuiltFetch::Current && !FileExists(local[i])) *states[i] = TPrebuiltFetch::Failed;
  for (int i = 0; i < 2; ++i) {
    if (*states[i] == TPrebuiltFetch::Taken || *states[i] == TPrebuiltFetch::Current) continue;
    const std::string name = i == 0 ? kAcisZip : kSpecZip;
    hooks.Log(name + (*states[i] == TPrebuiltFetch::Declined ? " を更新しないため" : " を取得できないため") +
              "、acis.db と spec.db は更新されません");
    for (int j = 0; j < 2; ++j)
      if (*states[j] == TPrebuiltFetch::Taken) RemoveQuietly(local[j]);
    return;
  }
  InstallPrebuiltPair(options.DownloadDir, options.DBDir, hooks);
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Hooks

void TSvrHooks::Log(const std::string& line) const {
  if (LogMemo) LogMemo(line);
}
void TSvrHooks::Pump() const {
  if (ProcessMessages) ProcessMessages();
}
void TSvrHooks::Busy(bool busy) const {
  if (BusyCursor) BusyCursor(busy);
}

// ---------------------------------------------------------------------------------------------
// TAcisSvr

TAcisSvr::TAcisSvr() : TAcisSvr(GlobalOptions()) {}

TAcisSvr::TAcisSvr(const TOptionData& options) : options_(options) {
  TDownloadNetSettings net = NetSettingsFromOptions(options);
  ProxyUsername = net.ProxyUsername;
  ProxyPassword = net.ProxyPassword;
  ProxyManual = net.ProxyManual;
  ProxyName = net.ProxyName;
  ProxyBypass = net.ProxyBypass;
}

TDownloadNetSettings TAcisSvr::NetSettings() const {
  TDownloadNetSettings net = NetSettingsFromOptions(options_);
  net.ProxyUsername = ProxyUsername;
  net.ProxyPassword = ProxyPassword;
  net.ProxyManual = ProxyManual;
  net.ProxyName = ProxyName;
  net.ProxyBypass = ProxyBypass;
  return net;
}

bool TAcisSvr::Download(const std::string& url, const std::string& fileName) {
  return DownloadAs(url, fileName, fileName);
}

bool TAcisSvr::DownloadAs(const std::string& url, const std::string& target, const std::string& reference) {
  TooLarge = TooSlow = DiskFull = RedirectLoop = false;
  // Asked already in this run, and the copy is still the one that answer left: the server is
  // not asked again (the copy just fetched is current).
  std::string answered;
  if (AnsweredThisRun(url, reference, &answered)) {
    ErrorCode = INET_ERROR_HTTP_STATUS_CODE;
    StatusCode = "304";
    StatusText = "Not Modified (この実行で取得済み)";
    LastModified = answered;
    return false;
  }
  THttpDownload d;
  ApplyNetSettings(d, NetSettings());
  d.OnDownloadProgress = [this](TInetDownload&, std::uint32_t progress, std::uint32_t progressMax,
                                std::uint32_t statusCode, const std::string& statusText, bool& cancel) {
    if (ProgressBar) ProgressBar(progressMax, progress);
    ProgressStatus = statusCode;
    ProgressText = statusText;
    Pump();
    cancel = Cancel;
  };
  d.OnPump = [this](bool& cancel) {
    Pump();
    cancel = Cancel;
  };
  if (DebugMode) d.OnDebugLog = [this](const std::string& line) { Log(line); };
  d.AdjustTimeStamp = true;
  d.ProgressInterval = 10;
  d.MaxSize = MaxSize > 0 ? MaxSize : DownloadSizeBound(url);
  d.SetUrl(url);
  d.SetFileName(target);
  if (reference != target) d.IfModifiedSince = FileHttpTime(reference);
  EnsureFolder(fs::path(target).parent_path().string());
  bool ok = d.Execute();
  ErrorCode = d.ErrorCode;
  StatusCode = d.ResponseHeaders.Values("StatusCode");
  StatusText = d.ResponseHeaders.Values("StatusText");
  // A date the copy was not given (far ahead, or before 1990) compares as no date at all.
  LastModified = d.ResponseHeaders.Values("Last-Modified");
  if (!PlausibleHttpDate(LastModified)) LastModified.clear();
  if (d.DiskFull) Log("ディスクの空きが足りないため、ダウンロードを中止しました: " + target);
  TooLarge = d.TooLarge;
  TooSlow = d.TooSlow;
  DiskFull = d.DiskFull;
  RedirectLoop = d.RedirectLoop;
  if (d.RedirectLoop) Log(url + " はリダイレクトが繰り返されるため、ダウンロードを中止しました");
  if (d.TooLarge)
    Log(url + " は上限 (" + std::to_string(d.MaxSize) + " バイト) より大きいため、ダウンロードを中止しました");
  if (d.TooSlow) Log(url + " はサーバーの応答が遅すぎるため、ダウンロードを中止しました");
  if (ok)
    RememberAnswer(url, target, LastModified);
  else if (StatusCode == "304")
    RememberAnswer(url, reference, LastModified);
  return ok;
}

std::string TAcisSvr::FailureText() const {
  if (ErrorCode == 0) return std::string();
  if (DiskFull) return "ディスクの空きが足りないため中止しました";
  if (TooLarge) return "上限より大きいため中止しました";
  if (TooSlow) return "サーバーの応答が遅すぎるため中止しました";
  if (RedirectLoop) return "リダイレクトが繰り返されるため中止しました";
  const std::string step = InetErrorText(ErrorCode);
  if (!StatusCode.empty() && StatusCode != "200") return "StatusCode: " + StatusCode + " " + StatusText;
  if (!StatusCode.empty()) return "StatusCode: " + StatusCode + " " + StatusText + (step.empty() ? "" : " (" + step + ")");
  return step.empty() ? std::string("サーバーに接続できません") : "サーバーに接続できません (" + step + ")";
}

bool TAcisSvr::FetchPage(const std::string& url, const std::string& page) {
  std::time_t oldTime = 0;
  const bool had = FileExists(page) && FileModifiedUtc(page, oldTime);
  std::string oldBody;
  // Only a copy within the page bound is kept for the comparison (the download is bounded
  // the same way).
  if (had && PageWithinBound(page)) ReadWhole(page, oldBody);
  if (!Download(url, page)) return false;
  if (!had) return true;
  // Compared as instants: the server's Last-Modified against the copy's time (which the last
  // download set from the server's Last-Modified).
  std::time_t serverTime = 0;
  if (HttpDateToUtc(LastModified, serverTime)) return serverTime > oldTime;
  // No usable Last-Modified: only a changed page counts as news.
  std::string newBody;
  return ReadWhole(page, newBody) && newBody != oldBody;
}

bool TAcisSvr::CheckSharedPage(const std::string& pageName, bool logMissing) {
  const std::string shared = JoinFolder(options_.dirLAN, pageName);
  const std::string page = JoinFolder(options_.DownloadDir, pageName);
  // No shared folder set: never the current directory instead.
  if (options_.dirLAN.empty() || !FileExists(shared)) {
    if (logMissing) Log("共有フォルダ " + shared + " 検索失敗...");
    return false;
  }
  std::string msg;
  bool newer = IsSourceNewer(shared, page, msg);
  if (newer) {
    EnsureFolder(options_.DownloadDir);
    newer = ShellCopyFile(shared, page, this);
  }
  Log("共有フォルダ " + shared + " 更新確認 " + msg);
  return newer;
}

void TAcisSvr::FetchMissing(const std::string& url, const std::string& fileName) {
  if (Cancel || FileExists(fileName)) return;
  Download(url, fileName);
}

namespace {
// Keeps the page answer's status for the caller: the archive downloads after it overwrite the
// fields, and are put back when the check returns.
class TKeepStatus {
 public:
  explicit TKeepStatus(TAcisSvr& svr)
      : svr_(svr), error_(svr.ErrorCode), code_(svr.StatusCode), text_(svr.StatusText), lm_(svr.LastModified),
        large_(svr.TooLarge), slow_(svr.TooSlow), full_(svr.DiskFull), loop_(svr.RedirectLoop) {}
  ~TKeepStatus() {
    svr_.TooLarge = large_;
    svr_.TooSlow = slow_;
    svr_.DiskFull = full_;
    svr_.RedirectLoop = loop_;
    svr_.ErrorCode = error_;
    svr_.StatusCode = code_;
    svr_.StatusText = text_;
    svr_.LastModified = lm_;
  }
  TKeepStatus(const TKeepStatus&) = delete;
  TKeepStatus& operator=(const TKeepStatus&) = delete;

 private:
  TAcisSvr& svr_;
  int error_;
  std::string code_, text_, lm_;
  bool large_, slow_, full_, loop_;
};
}  // namespace

bool TAcisSvr::CheckPublicDataUpdate() {
  const std::string dir = options_.DownloadDir;
  switch (options_.DownSite) {
    case 0: {
      if (options_.UseLAN) return CheckSharedPage(kPageCsv, true);
      EnsureFolder(dir);
      bool newer = FetchPage(PublicServiceUrl(kPathCsvPage), JoinFolder(dir, kPageCsv));
      TKeepStatus keep(*this);
      TCsvNames names;
      ParseCsvFileNames(dir, names);
      for (const std::string& name : names)
        if (!name.empty()) FetchMissing(PublicServiceUrl(std::string(kPathCsvData) + name), JoinFolder(dir, name));
      return newer;
    }
    case 1: {
      if (options_.UseLAN) return CheckSharedPage(kPageXls, false);
      EnsureFolder(dir);
      bool newer = FetchPage(PublicServiceUrl(kPathXlsPage), JoinFolder(dir, kPageXls));
      TKeepStatus keep(*this);
      for (const TXlsArchive& a : kXlsArchives) {
        std::string base = a.baseName;
        FetchMissing(PublicServiceUrl(std::string(kPathXlsData) + base + a.serverExt), JoinFolder(dir, base + ".zip"));
      }
      return newer;
    }
    case 2: {
      if (options_.UseLAN) return CheckSharedPage(kPageMirror, true);
      EnsureFolder(dir);
      const std::string mirror = MirrorSiteUrl(options_.DownSiteVeskDB);
      bool newer = FetchPage(mirror + kPageMirror, JoinFolder(dir, kPageMirror));
      if (!newer) {
        TKeepStatus keep(*this);
        FetchMissing(mirror + kToroku, JoinFolder(dir, kToroku));
      }
      return newer;
    }
    default:
      return false;
  }
}

// ---------------------------------------------------------------------------------------------
// Unit routines

bool IsInternetConnected() { return InetConnectedState().connected; }

std::string InetErrorText(int code) {
  std::string text;
  InetErrorName(code, text);
  return text;
}

namespace {

// A new folder of this run's own inside Folder (".qm-install-<pid>-XXXXXX"), removed with
// whatever is left in it when the object goes; path is empty when it could not be made.
struct TPrivateInstallFolder {
  std::string path;
  explicit TPrivateInstallFolder(const std::string& folder) {
    std::string pattern = JoinFolder(folder, ".qm-install-" + OwnerTag() + "-XXXXXX");
    std::vector<char> buf(pattern.begin(), pattern.end());
    buf.push_back('\0');
    if (::mkdtemp(buf.data())) path = buf.data();
  }
  ~TPrivateInstallFolder() {
    std::error_code ec;
    if (!path.empty()) fs::remove_all(path, ec);
  }
  TPrivateInstallFolder(const TPrivateInstallFolder&) = delete;
  TPrivateInstallFolder& operator=(const TPrivateInstallFolder&) = delete;
};

}  // namespace

bool ExtractArchive(const std::string& archive, const std::string& folder, std::string* message,
                    const TSvrHooks* hooks, std::vector<std::string>* files,
                    const std::function<bool(const std::string&)>& keep) {
  TplArchiever7ZIP arc;
  if (hooks) arc.OnPump = [hooks](bool&) { hooks->Pump(); };
  std::string msg;
  EnsureFolder(folder);
  if (files) files->clear();
  if (!keep) {
    const bool ok = arc.Extract(archive, folder, msg);
    if (message) *message = msg;
    if (files)
      for (const std::string& name : arc.ExtractedNames()) files->push_back(JoinFolder(folder, name));
    return ok;
  }
  // The whole archive goes into a private folder; only the members asked for leave it, each by
  // one rename over the file it replaces.
  TPrivateInstallFolder priv(folder);
  if (priv.path.empty()) {
    if (message) *message = folder + " に一時フォルダを作成できません";
    return false;
  }
  const std::string& tmp = priv.path;
  if (!arc.Extract(archive, tmp, msg)) {
    if (message) *message = msg;
    return false;
  }
  std::vector<std::string> used;
  std::string notUsed;
  for (const std::string& name : arc.ExtractedNames()) {
    if (keep(name))
      used.push_back(name);
    else
      notUsed += name + " は使いません\n";
  }
  std::string error;
  if (!MoveFilesIntoPlace(tmp, folder, used, error)) {
    if (message) *message = archive + ": " + error;
    return false;
  }
  if (message) {
    message->clear();
    for (const std::string& name : used) *message += name + "\n";
    *message += notUsed;
  }
  if (files)
    for (const std::string& name : used) files->push_back(JoinFolder(folder, name));
  return true;
}

bool IsDataArchiveMember(const std::string& name) {
  if (name.find('/') != std::string::npos) return false;
  const std::string ext = fs::path(name).extension().string();
  return SameNameIgnoringCase(ext, ".csv") || SameNameIgnoringCase(ext, ".xls");
}

namespace {

// What one prebuilt-database archive brought into a private folder.
struct TUnpackedDbs {
  std::vector<std::string> names;  // every member, as the archive names it
  std::vector<std::string> used;   // the members that are the wanted databases
  std::string text;                // the archiver's text
};

// The member that is the database Db: at the top of the archive, by its own name or else in
// another letter case (the archives are made on Windows). Empty when there is none.
std::string DatabaseMember(const std::vector<std::string>& names, const std::string& db) {
  if (std::find(names.begin(), names.end(), db) != names.end()) return db;
  for (const std::string& n : names)
    if (n.find('/') == std::string::npos && SameNameIgnoringCase(n, db)) return n;
  return {};
}

// Unpacks Archive whole into the private folder Tmp; each database of Wanted must be among its
// members and an SQLite file, and lies in Tmp under its own name afterwards with the look-up
// indexes of the result views made (a reader never makes them). Error says why not.
bool UnpackDatabases(const std::string& archive, const std::string& tmp, const std::vector<std::string>& wanted,
                     const TSvrHooks* hooks, TUnpackedDbs& out, std::string& error) {
  const std::string zipName = fs::path(archive).filename().string();
  TplArchiever7ZIP arc;
  if (hooks) arc.OnPump = [hooks](bool&) { hooks->Pump(); };
  if (!arc.Extract(archive, tmp, out.text)) {
    error = out.text.empty() ? archive + " を解凍できません" : out.text;
    return false;
  }
  // A member left out (a link, a device) is no database file: the archive is not what it seems.
  if (!arc.SkippedNames().empty()) {
    error = out.text + archive + ": " + arc.SkippedNames().front() + " を解凍できません";
    return false;
  }
  out.names = arc.ExtractedNames();
  for (const std::string& db : wanted) {
    const std::string member = DatabaseMember(out.names, db);
    if (member.empty()) {
      error = out.text + zipName + " に " + db + " がありません (データベースは元のままです)";
      return false;
    }
    if (member != db && ::rename(JoinFolder(tmp, member).c_str(), JoinFolder(tmp, db).c_str()) != 0) {
      error = out.text + zipName + ": " + member + " を取り出せません (データベースは元のままです)";
      return false;
    }
    out.used.push_back(member);
    const std::string file = JoinFolder(tmp, db);
    if (!IsSqliteFile(file)) {
      error = out.text + archive + ": " + db + " はデータベースではありません";
      return false;
    }
    try {
      TSQLiteDb sdb(file);
      CreateLookupIndexes(sdb, [hooks](const std::string& line) {
        if (hooks) hooks->Log(line);
      });
    } catch (const ESQLiteException& e) {
      error = out.text + archive + ": " + db + ": " + e.what();
      return false;
    }
  }
  return true;
}

// The lines of an archive installed: the databases, then each member not used (the member
// used for a database is no "not used" one, whatever its letter case).
std::string InstalledText(const std::vector<std::string>& wanted, const TUnpackedDbs& u) {
  std::string text;
  for (const std::string& db : wanted) text += db + "\n";
  for (const std::string& n : u.names)
    if (std::find(u.used.begin(), u.used.end(), n) == u.used.end()) text += n + " は使いません\n";
  return text;
}

// The file's data (or the folder's entries) on disk.
bool SyncPath(const std::string& path, bool folder) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | (folder ? O_DIRECTORY : 0));
  if (fd < 0) return false;
  const bool ok = ::fsync(fd) == 0;
  return ::close(fd) == 0 && ok;
}

void RemoveDbFiles(const std::string& path) {
  for (const char* suffix : {"", "-journal", "-wal", "-shm"}) RemoveQuietly(path + suffix);
}

// Holds the folder's update lock after finishing what a killed run left there; Error says why
// not.
bool LockDatabaseFolder(const std::string& dbFolder, TDbUpdateLock& lock, const TSvrHooks* hooks,
                        std::string& error) {
  if (!lock.Held()) {
    error = dbFolder + kDbFolderInUse;
    return false;
  }
  if (RecoverDatabaseFolder(dbFolder, [hooks](const std::string& line) {
        if (hooks) hooks->Log(line);
      }) < 0) {
    error = dbFolder + ": 前回中断したデータベースの置き換えを完了できません (データベースは元のままです)";
    return false;
  }
  return true;
}

}  // namespace

std::string PrebuiltDbName(const std::string& zipName) { return fs::path(zipName).replace_extension(".db").string(); }

bool InstallPrebuiltPair(const std::string& acisZip, const std::string& specZip, const std::string& dbFolder,
                         const TSvrHooks& hooks, std::string* why, const TArchiveBusyFn& onArchive) {
  const std::string archives[2] = {acisZip, specZip};
  const std::string dbs[2] = {"acis.db", "spec.db"};
  const std::string builds[2] = {OwnTempPath(JoinFolder(dbFolder, dbs[0]), "build"),
                                 OwnTempPath(JoinFolder(dbFolder, dbs[1]), "build")};
  // On failure neither database is replaced. The archive at fault goes (it carries the
  // server's time: without it the next check would find it current); both go when the fault
  // is the folder's, so that the next run fetches the pair again.
  auto fail = [&](int culprit, const std::string& reason) {
    for (const std::string& b : builds) RemoveDbFiles(b);
    const std::string zipName = fs::path(archives[culprit < 0 ? 0 : culprit]).filename().string();
    if (culprit >= 0)
      hooks.Log(zipName + " 解凍失敗: acis.db と spec.db は更新されません");
    else
      hooks.Log("acis.db と spec.db は更新されません: " + reason);
    for (int i = 0; i < 2; ++i)
      if (culprit < 0 || culprit == i) RemoveQuietly(archives[i]);
    if (why) *why = reason;
    return false;
  };
  for (const std::string& archive : archives)
    if (!FileExists(archive)) {
      hooks.Log(archive + " なし: acis.db と spec.db は更新されません");
      if (why) *why = archive + " なし";
      return false;
    }
  EnsureFolder(dbFolder);
  TDbUpdateLock folderLock(dbFolder);
  std::string error;
  if (!LockDatabaseFolder(dbFolder, folderLock, &hooks, error)) {
    // The folder is another run's (or not fit to take): its archives are left to it.
    hooks.Log("acis.db と spec.db は更新されません: " + error);
    if (why) *why = error;
    return false;
  }
  TPrivateInstallFolder priv(dbFolder);
  if (priv.path.empty()) return fail(-1, dbFolder + " に一時フォルダを作成できません");
  for (int i = 0; i < 2; ++i) {
    // Each archive whole into a folder of its own; its database, on disk, under this run's
    // build name beside the one it replaces, as a build leaves its pair.
    const std::string zipName = fs::path(archives[i]).filename().string();
    const std::string tmp = JoinFolder(priv.path, std::to_string(i));
    EnsureFolder(tmp);
    TUnpackedDbs unpacked;
    if (onArchive) onArchive(zipName, true);
    const bool unpackedOk = UnpackDatabases(archives[i], tmp, {dbs[i]}, &hooks, unpacked, error);
    if (onArchive) onArchive(zipName, false);
    if (!unpackedOk) {
      LogLines(hooks, error, zipName + ": ");
      return fail(i, LastLine(error).empty() ? zipName + " を解凍できません" : LastLine(error));
    }
    const std::string file = JoinFolder(tmp, dbs[i]);
    // Only a database of its kind goes in: the swap is finished by the next start only so.
    if (!IsDatabaseOfKind(file, i == 0)) {
      const std::string reason = zipName + ": " + dbs[i] + " は " + dbs[i] + " のデータベースではありません";
      hooks.Log(reason);
      return fail(i, reason);
    }
    LogLines(hooks, InstalledText({dbs[i]}, unpacked), zipName + ": ");
    RemoveDbFiles(builds[i]);
    if (!SyncPath(file, false) || ::rename(file.c_str(), builds[i].c_str()) != 0)
      return fail(-1, builds[i] + " を書き込めません");
    if (i == 0) FaultPoint("install-pair-half");
  }
  if (!SyncPath(dbFolder, true)) return fail(-1, dbFolder + " を書き込めません");
  // Both in one swap: a kill at any moment leaves the old pair or the new one.
  const std::string swapError = SwapBuiltPair(dbFolder, [&hooks] { hooks.Pump(); });
  if (!swapError.empty()) return fail(-1, swapError);
  hooks.Log("acis.db 更新");
  hooks.Log("spec.db 更新");
  return true;
}

bool InstallPrebuiltPair(const std::string& downloadDir, const std::string& dbFolder, const TSvrHooks& hooks,
                         std::string* why, const TArchiveBusyFn& onArchive) {
  return InstallPrebuiltPair(JoinFolder(downloadDir, kAcisZip), JoinFolder(downloadDir, kSpecZip), dbFolder, hooks,
                             why, onArchive);
}

bool ShellCopyFile(const std::string& source, const std::string& destination, const TSvrHooks* hooks) {
  TShfOperation op;
  op.OperationF = TwFunc::foCOPY;
  op.Options.FILESONLY = true;
  op.Options.NOCONFIRMATION = true;
  op.Options.MUILIDESTFILES = false;
  op.FromFFList = {source};
  op.ToFolder = destination;
  op.ProgressTitle = source + "をコピーしています";
  if (hooks) op.OnProgress = [hooks](const std::string&, const std::string&, std::uint64_t, std::uint64_t, bool&) {
    hooks->Pump();
  };
  static const TSvrHooks kNoHooks;
  TSvrBusy busy(hooks ? *hooks : kNoHooks);
  try {
    return op.Execute() == 0;
  } catch (const EShfOperation&) {
    return false;
  }
}

void SQLiteDbDownload(const TSvrHooks& hooks, const TOptionData& options) {
  TSvrBusy busy(hooks);
  if (DebugMode) hooks.Log("SQLiteDbDownload  start...");
  TAcisSvr svr(options);
  static_cast<TSvrHooks&>(svr) = hooks;
  if (DebugMode) LogLines(hooks, NetSettingsLogText(NetSettingsFromOptions(options)));
  hooks.Log("SQLiteDB データ更新確認...");
  if (!IsInternetConnected()) {
    hooks.Log("インターネット接続なし。更新確認省略...");
    return;
  }
  const std::string base = DownloadBaseUrl(options);
  if (base.empty()) {  // neither a mirror nor an own web site is the source
    hooks.Log("SQLiteDB ダウンロード先が設定されていません");
    return;
  }
  EnsureFolder(options.DownloadDir);

  // acis.zip: asked about first when a local copy exists.
  const std::string acisLocal = JoinFolder(options.DownloadDir, kAcisZip);
  const std::string acisUrl = JoinUrl(base, kAcisZip);
  hooks.Log(acisUrl);
  std::string checkText;
  bool goAhead = true;
  // Not going ahead: unchanged on the server (304), the newer copy declined, or no answer.
  TPrebuiltFetch acis = TPrebuiltFetch::Current, spec = TPrebuiltFetch::Current;
  if (FileExists(acisLocal)) {
    goAhead = false;
    const bool newer = CheckModified(acisUrl, acisLocal, checkText);
    acis = newer ? TPrebuiltFetch::Declined
                 : checkText.rfind("304 ", 0) == 0 ? TPrebuiltFetch::Current : TPrebuiltFetch::Failed;
    if (newer) {
      hooks.Log(checkText);
      if (options.NoUpdateCheck) {
        goAhead = true;
      } else {
        TMessage msg;
        msg.kind = TMsgKind::Confirm;
        msg.caption = "Quillmar";
        msg.text = "新しい acis.db があります。\r\nデータを更新します";
        goAhead = MessageSink().Show(msg, TMsgButtons::OkCancel, TMsgAnswer::Ok) == TMsgAnswer::Ok;
      }
    }
    if (!goAhead) hooks.Log(checkText);
  }
  if (goAhead) acis = DownloadPrebuilt(svr, acisUrl, acisLocal, "Status -> ");

  // spec.zip: unless the server did not answer at all.
  if (checkText != kNoServerAnswer) {
    const std::string specLocal = JoinFolder(options.DownloadDir, kSpecZip);
    const std::string specUrl = JoinUrl(base, kSpecZip);
    hooks.Log(specUrl);
    spec = DownloadPrebuilt(svr, specUrl, specLocal, "Status: ");
  }
  InstallFetchedPair(hooks, options, acis, spec);
}

void SQLiteDbDownload(const TSvrHooks& hooks) { SQLiteDbDownload(hooks, GlobalOptions()); }

void CopyDbFromLan(const TSvrHooks& hooks, const TOptionData& options, const std::string& sourceFolder) {
  TSvrBusy busy(hooks);
  const std::string from = sourceFolder.empty() ? options.dirLAN : sourceFolder;
  TPrebuiltFetch fetched[2] = {TPrebuiltFetch::Current, TPrebuiltFetch::Current};
  for (int i = 0; i < 2; ++i) {
    const char* name = i == 0 ? kAcisZip : kSpecZip;
    const std::string source = JoinFolder(from, name);
    const std::string dest = JoinFolder(options.DownloadDir, name);
    bool take = false;
    const bool there = !from.empty() && FileExists(source);
    if (there) {
      std::string msg;
      take = !FileExists(dest) || IsSourceNewer(source, dest, msg);
    }
    if (!take) {
      hooks.Log(std::string(name) + " 更新なし");
      // Only a copy not newer than the local one is current: a missing one leaves no pair.
      if (!there) fetched[i] = TPrebuiltFetch::Failed;
      continue;
    }
    hooks.Log(std::string(name) + " 更新あり");
    EnsureFolder(options.DownloadDir);
    if (!ShellCopyFile(source, dest, &hooks)) {
      hooks.Log(source + " をコピーできません");
      fetched[i] = TPrebuiltFetch::Failed;
      continue;
    }
    fetched[i] = TPrebuiltFetch::Taken;
  }
  InstallFetchedPair(hooks, options, fetched[0], fetched[1]);
}

void CopyDbFromLan(const TSvrHooks& hooks) { CopyDbFromLan(hooks, GlobalOptions()); }

// ---------------------------------------------------------------------------------------------
// Master-script downloads

TSvrMasterDownloader::TSvrMasterDownloader(TSvrHooks hooks, const TOptionData* options)
    : hooks_(std::move(hooks)), ownOptions_(options != nullptr), options_(options ? *options : GlobalOptions()) {}

bool TSvrMasterDownloader::IsInternetConnected() { return ::IsInternetConnected(); }

std::string TSvrMasterDownloader::MirrorSiteUrl(int Index) { return ::MirrorSiteUrl(Index); }

TMasterDownloader::TResult TSvrMasterDownloader::Download(const std::string& Url, const std::string& LocalFile,
                                                          const std::string& TempFile) {
  TResult r;
  // A mirror whose host is not known is never asked (its placeholder name cannot resolve).
  for (int i = 0; i < 4; ++i) {
    if (!::MirrorHostConfigured(i) && Url.rfind(::MirrorSiteUrl(i), 0) == 0) {
      r.StatusText = "ミラーサイトのアドレスが設定されていません";
      return r;
    }
  }
  TAcisSvr svr(ownOptions_ ? options_ : GlobalOptions());
  static_cast<TSvrHooks&>(svr) = hooks_;
  r.Changed = svr.DownloadAs(Url, TempFile, LocalFile);
  r.StatusCode = std::atoi(svr.StatusCode.c_str());
  r.StatusText = svr.StatusText;
  if (svr.StatusCode.empty()) r.StatusText = InetErrorText(svr.ErrorCode);
  return r;
}
