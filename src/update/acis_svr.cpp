#include "update/acis_svr.h"

#include <stdlib.h>
#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>
#include <vector>

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

// Downloads one prebuilt-database archive and installs it (SQLiteDbDownload steps 4 and 5).
void DownloadAndInstall(TAcisSvr& svr, const TOptionData& options, const std::string& url, const std::string& local,
                        const char* failPrefix) {
  if (svr.Download(url, local)) {
    svr.Log(svr.CodeText());
    InstallPrebuiltArchive(local, options.DBDir, svr);
  } else if (!svr.StatusCode.empty()) {
    svr.Log(svr.CodeText());
  } else {
    svr.Log(failPrefix + InetErrorText(svr.ErrorCode) + " サーバー接続失敗!");
  }
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

bool ExtractDatabaseArchive(const std::string& archive, const std::string& dbFolder, std::string* message,
                            const TSvrHooks* hooks, const std::vector<std::string>& members) {
  auto fail = [&](const std::string& why) {
    if (message) *message = why;
    return false;
  };
  if (!FileExists(archive)) return fail(archive + " なし");
  const std::string zipName = fs::path(archive).filename().string();
  const std::vector<std::string> wanted = members.empty() ? std::vector<std::string>{PrebuiltDbName(zipName)} : members;
  EnsureFolder(dbFolder);
  // One run at a time writes into the database folder; what killed runs left there is
  // finished or removed first.
  TDbUpdateLock folderLock(dbFolder);
  if (!folderLock.Held()) return fail(dbFolder + kDbFolderInUse);
  if (RecoverDatabaseFolder(dbFolder, [hooks](const std::string& line) {
        if (hooks) hooks->Log(line);
      }) < 0)
    return fail(dbFolder + ": 前回中断したデータベースの置き換えを完了できません (データベースは元のままです)");
  TPrivateInstallFolder priv(dbFolder);
  if (priv.path.empty()) return fail(dbFolder + " に一時フォルダを作成できません");
  const std::string& tmp = priv.path;

  // The whole archive goes into the private folder; only the databases it is named for leave it.
  TplArchiever7ZIP arc;
  if (hooks) arc.OnPump = [hooks](bool&) { hooks->Pump(); };
  std::string msg;
  if (!arc.Extract(archive, tmp, msg)) return fail(msg.empty() ? archive + " を解凍できません" : msg);
  // A member left out (a link, a device) is no database file: the archive is not what it seems.
  if (!arc.SkippedNames().empty()) return fail(msg + archive + ": " + arc.SkippedNames().front() + " を解凍できません");
  const std::vector<std::string>& names = arc.ExtractedNames();
  for (const std::string& db : wanted) {
    // At the top of the archive, in any case (the archives are made on Windows).
    auto it = std::find_if(names.begin(), names.end(), [&](const std::string& n) {
      return n.find('/') == std::string::npos && SameNameIgnoringCase(n, db);
    });
    if (it == names.end()) return fail(msg + zipName + " に " + db + " がありません (データベースは元のままです)");
    if (*it != db && ::rename(JoinFolder(tmp, *it).c_str(), JoinFolder(tmp, db).c_str()) != 0)
      return fail(msg + zipName + ": " + *it + " を取り出せません (データベースは元のままです)");
    const std::string file = JoinFolder(tmp, db);
    if (!IsSqliteFile(file)) return fail(msg + archive + ": " + db + " はデータベースではありません");
    // The look-up indexes of the result views, made here (a reader never makes them).
    try {
      TSQLiteDb sdb(file);
      CreateLookupIndexes(sdb, [hooks](const std::string& line) {
        if (hooks) hooks->Log(line);
      });
    } catch (const ESQLiteException& e) {
      return fail(msg + archive + ": " + db + ": " + e.what());
    }
  }
  // Everything arrived whole: now the files take their places by rename (same file system),
  // all or none, while no reader is opening the database.
  TDbSwapLock lock(dbFolder, TDbSwapLock::Exclusive, 10 * 60 * 1000, [hooks] {
    if (hooks) hooks->Pump();
  });
  if (!lock.Held()) return fail(dbFolder + " のデータベースを使用中のため置き換えられません");
  std::string error;
  if (!MoveFilesIntoPlace(tmp, dbFolder, wanted, error, InstallBeforeMove))
    return fail(archive + ": " + error + " (データベースは元のままです)");
  // A journal left by a replaced file must never be replayed into the new one.
  for (const std::string& db : wanted)
    for (const char* suffix : {"-journal", "-wal", "-shm"}) RemoveQuietly(JoinFolder(dbFolder, db) + suffix);
  if (message) {
    message->clear();
    for (const std::string& db : wanted) *message += db + "\n";
    for (const std::string& n : names)
      if (std::find(wanted.begin(), wanted.end(), n) == wanted.end()) *message += n + " は使いません\n";
  }
  return true;
}

std::function<void(const std::string&)> InstallBeforeMove;

std::string PrebuiltDbName(const std::string& zipName) { return fs::path(zipName).replace_extension(".db").string(); }

bool InstallPrebuiltArchive(const std::string& archive, const std::string& dbFolder, const TSvrHooks& hooks,
                            std::string* why) {
  const std::string zipName = fs::path(archive).filename().string();
  const std::string dbName = PrebuiltDbName(zipName);
  std::string msg;
  const bool ok = ExtractDatabaseArchive(archive, dbFolder, &msg, &hooks);
  LogLines(hooks, msg, zipName + ": ");
  if (ok) {
    hooks.Log(dbName + " 更新");
    return true;
  }
  hooks.Log(zipName + " 解凍失敗: " + dbName + " は更新されません");
  RemoveQuietly(archive);
  if (why) *why = LastLine(msg).empty() ? zipName + " を解凍できません" : LastLine(msg);
  return false;
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
  if (FileExists(acisLocal)) {
    goAhead = false;
    if (CheckModified(acisUrl, acisLocal, checkText)) {
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
  if (goAhead) DownloadAndInstall(svr, options, acisUrl, acisLocal, "Status -> ");

  // spec.zip: unless the server did not answer at all.
  if (checkText != kNoServerAnswer) {
    const std::string specLocal = JoinFolder(options.DownloadDir, kSpecZip);
    const std::string specUrl = JoinUrl(base, kSpecZip);
    hooks.Log(specUrl);
    DownloadAndInstall(svr, options, specUrl, specLocal, "Status: ");
  }
}

void SQLiteDbDownload(const TSvrHooks& hooks) { SQLiteDbDownload(hooks, GlobalOptions()); }

void CopyDbFromLan(const TSvrHooks& hooks, const TOptionData& options, const std::string& sourceFolder) {
  TSvrBusy busy(hooks);
  const std::string from = sourceFolder.empty() ? options.dirLAN : sourceFolder;
  for (const char* name : {kAcisZip, kSpecZip}) {
    const std::string source = JoinFolder(from, name);
    const std::string dest = JoinFolder(options.DownloadDir, name);
    bool take = false;
    if (!from.empty() && FileExists(source)) {
      std::string msg;
      take = !FileExists(dest) || IsSourceNewer(source, dest, msg);
    }
    if (!take) {
      hooks.Log(std::string(name) + " 更新なし");
      continue;
    }
    hooks.Log(std::string(name) + " 更新あり");
    EnsureFolder(options.DownloadDir);
    if (!ShellCopyFile(source, dest, &hooks)) {
      hooks.Log(source + " をコピーできません");
      continue;
    }
    InstallPrebuiltArchive(dest, options.DBDir, hooks);
  }
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
