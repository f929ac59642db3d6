// The update runner: fetching, copying and unpacking, and the whole-update sequences. The
// rebuild itself is in update_rebuild.cpp.
#include "update/update_runner.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>

#include "database/acis_db.h"
#include "foundation/global.h"
#include "foundation/options.h"
#include "update/acis_svr.h"
#include "update/run_answers.h"
#include "update/update_pages.h"

namespace fs = std::filesystem;

namespace {

bool FileExists(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool FolderExists(const std::string& path) {
  struct stat st {};
  return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool StartsWith(const std::string& s, const char* head) { return s.rfind(head, 0) == 0; }

bool IsWebAddress(const std::string& s) { return StartsWith(s, "http://") || StartsWith(s, "https://"); }

// The status of the last download as the log shows it; empty when the download stopped for a
// reason the service has logged already (the disk, the size bound, a stalled server, a
// redirect loop), which a status line that came before it would only contradict.
std::string CodeText(const TAcisSvr& svr) {
  if (svr.DiskFull || svr.TooLarge || svr.TooSlow || svr.RedirectLoop) return std::string();
  if (!svr.StatusCode.empty()) {
    std::string text = svr.StatusCode + " " + svr.StatusText;
    // The answer came but the body did not (cut off, timed out): say at which step.
    if (svr.StatusCode == "200" && svr.ErrorCode != 0) {
      const std::string name = InetErrorText(svr.ErrorCode);
      if (!name.empty()) text += " (" + name + ")";
    }
    return text;
  }
  std::string name = InetErrorText(svr.ErrorCode);
  return "StatusCode なし " + (name.empty() ? std::string("サーバ接続失敗!") : name + " サーバ接続失敗!");
}

// A download that brought the file or found the local copy current.
bool CameOrCurrent(bool ok, const TAcisSvr& svr) { return ok || svr.StatusCode == "304"; }

}  // namespace

std::string ElapsedSeconds(std::chrono::steady_clock::time_point Start) {
  const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - Start).count();
  char buf[32];
  std::snprintf(buf, sizeof buf, "%5.1f", s);
  return buf;
}

TAcisDBSettings UpdateDbSettings(const TOptionData& o) {
  TAcisDBSettings s;
  s.DBDir = o.DBDir;
  s.DownloadDir = o.DownloadDir;
  s.dirLAN = o.dirLAN;
  s.UseLAN = o.UseLAN;
  s.DBDownSite = o.DBDownSite;
  s.DownSiteVeskDB = o.DownSiteVeskDB;
  return s;
}

TUpdateRunner::TUpdateRunner(TOptionData& Options, TUpdateSinks Sinks)
    : options_(Options), sinks_(std::move(Sinks)) {
  Mode = options_.DownSite;
  MirrorIndex = options_.DownSiteVeskDB <= 3 ? options_.DownSiteVeskDB : 0;
  SiteText = options_.UserSite;
  AutoUpdateRun = CmdAutoUpdate;
  DownloadCheckRun = CmdAutoDownload;
}

TUpdateRunner::~TUpdateRunner() {
  // The database object outlives the runner: it must not call back into it.
  if (AcisDB) {
    AcisDB->FProgressBar = nullptr;
    AcisDB->FLog = nullptr;
    AcisDB->FPump = nullptr;
  }
}

// ---------------------------------------------------------------------------------------------
// Sinks

void TUpdateRunner::Log(const std::string& Line) {
  log_.push_back(Line);
  if (sinks_.Log) sinks_.Log(Line);
}

void TUpdateRunner::LogIfAny(const std::string& Line) {
  if (!Line.empty()) Log(Line);
}

void TUpdateRunner::LogLines(const std::string& Prefix, const std::string& Text) {
  size_t pos = 0;
  bool any = false;
  while (pos < Text.size()) {
    size_t nl = Text.find('\n', pos);
    std::string line = Text.substr(pos, nl == std::string::npos ? std::string::npos : nl - pos);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty()) {
      Log(Prefix + line);
      any = true;
    }
    if (nl == std::string::npos) break;
    pos = nl + 1;
  }
  if (!any) Log(Prefix);
}

std::string TUpdateRunner::LogText() const {
  std::string out;
  for (const std::string& l : log_) out += l + "\n";
  return out;
}

void TUpdateRunner::Progress(int64_t Position, int64_t Max) {
  if (sinks_.Progress) sinks_.Progress(Position, Max);
}
void TUpdateRunner::Buttons(bool Enable) {
  if (sinks_.Buttons) sinks_.Buttons(Enable);
}
void TUpdateRunner::Busy(bool On) {
  if (sinks_.Busy) sinks_.Busy(On);
}
void TUpdateRunner::Highlight(const std::string& Label, bool Bold) {
  if (sinks_.Highlight) sinks_.Highlight(Label, Bold);
}
void TUpdateRunner::Pump() {
  if (sinks_.Pump) sinks_.Pump();
}

std::string TUpdateRunner::DownloadFile(const std::string& Name) const {
  return JoinFolder(options_.DownloadDir, Name);
}
std::string TUpdateRunner::DbFile(const std::string& Name) const { return JoinFolder(options_.DBDir, Name); }

std::string TUpdateRunner::DateTimeNow() const {
  std::time_t t = std::time(nullptr);
  std::tm tm {};
  localtime_r(&t, &tm);
  char buf[64];
  std::strftime(buf, sizeof buf, "%Y/%m/%d %H:%M:%S", &tm);
  return buf;
}

void TUpdateRunner::DoAbort() {
  Busy(false);
  Abort = true;
  InSequence = false;
  AutoStart = false;
  if (svr_) svr_->Cancel = true;
  Buttons(true);
}

bool TUpdateRunner::ReopenAcisDB() {
  const std::string file = DbFile(kAcisDb);
  if (!FileExists(file)) return false;
  try {
    auto db = std::make_unique<TAcisDB>(file, UpdateDbSettings(options_), [this](const std::string& l) { Log(l); });
    AcisDB = std::move(db);
    Reopened = true;
    return true;
  } catch (const std::exception& e) {
    Log(file + " を開けません: " + e.what());
    return false;
  }
}

bool TUpdateRunner::DatabaseFolderWritable(bool BeforeDownload) {
  const std::string dir = options_.DBDir.empty() ? std::string(".") : options_.DBDir;
  std::error_code ec;
  fs::create_directories(dir, ec);
  if (::access(dir.c_str(), W_OK | X_OK) == 0) return true;
  Log("データベースフォルダ " + dir + " に書き込めないため、データを更新できません" +
      std::string(BeforeDownload ? " (何もダウンロードしません)" : ""));
  return false;
}

bool TUpdateRunner::MirrorUsable(int Index) {
  if (MirrorHostConfigured(Index)) return true;
  Log(MirrorNotConfiguredText());
  return false;
}

// ---------------------------------------------------------------------------------------------
// Fetching

bool TUpdateRunner::Fetch(TAcisSvr& Svr, const std::string& Url, const std::string& Name,
                          const std::string& StartLine, const std::string& DoneLine, const std::string& FailLine) {
  if (Abort) return false;
  if (!StartLine.empty()) Log(StartLine);
  const bool ok = Svr.Download(Url, DownloadFile(Name));
  LogIfAny(CodeText(Svr));
  const bool good = CameOrCurrent(ok, Svr) && !Abort;
  Log(good ? DoneLine : FailLine);
  return good;
}

bool TUpdateRunner::DownloadPrebuilt(TAcisSvr& Svr, const std::string& Base) {
  bool good = true;
  for (const char* name : {kAcisZip, kSpecZip}) {
    if (Abort) return false;
    Highlight(name, true);
    const bool ok = Fetch(Svr, JoinUrl(Base, name), name, std::string(name) + " ダウンロード開始",
                          std::string(name) + " ダウンロード完了", std::string(name) + " ダウンロード中止");
    Highlight(name, false);
    if (!ok) {
      good = false;
      break;
    }
    if (Mode == 4 && std::string(name) == kAcisZip) options_.UserSite = SiteText;
  }
  return good;
}

bool TUpdateRunner::CopyPrebuiltFromFolder(const std::string& Folder) {
  bool good = true;
  for (const char* name : {kAcisZip, kSpecZip}) {
    if (Abort) return false;
    Highlight(name, true);
    Log(std::string(name) + " をコピーしています");
    const bool ok = ShellCopyFile(JoinFolder(Folder, name), DownloadFile(name));
    Log(std::string(name) + (ok ? " コピー完了" : " コピー中止"));
    Highlight(name, false);
    if (!ok) {
      good = false;
      break;
    }
    options_.UserSite = Folder;
  }
  return good;
}

bool TUpdateRunner::Download() {
  if (!InSequence) Buttons(false);
  Busy(true);
  TAcisSvr svr(options_);
  svr.LogMemo = [this](const std::string& l) { Log(l); };
  svr.ProgressBar = [this](std::uint32_t max, std::uint32_t pos) { Progress(pos, max); };
  svr.ProcessMessages = [this, &svr] {
    Pump();
    if (Abort) svr.Cancel = true;
  };
  svr_ = &svr;
  Log("ダウンロード開始");
  const auto t0 = std::chrono::steady_clock::now();
  std::error_code ec;
  fs::create_directories(options_.DownloadDir, ec);
  bool good = true;
  switch (Mode) {
    case 0: {
      const std::string url = PublicServiceUrl(kPathCsvPage);
      const bool ok = svr.Download(url, DownloadFile(kPageCsv));
      Log(url + " 更新確認");
      LogIfAny(CodeText(svr));
      // Without a current page the archive names may be stale: the step has failed.
      if (!CameOrCurrent(ok, svr)) good = false;
      if (!AcisCsvInfoSet()) {
        Log("AcisCsvInfoSet failed!");
        if (DebugMode)
          for (int i = 0; i < 3; ++i) Log("AcisCsv" + std::to_string(i) + " > " + CsvNames[i]);
        good = false;
        break;
      }
      if (DebugMode) Log("AcisCsvInfoSet > ok");
      for (int i = 0; i < 3 && !Abort; ++i) {
        const std::string& name = CsvNames[i];
        Highlight(kCsvLabels[i], true);
        if (!Fetch(svr, PublicServiceUrl(std::string(kPathCsvData) + name), name, name + " ダウンロード開始",
                   name + " ダウンロード完了", name + " ダウンロード中止"))
          good = false;
        Highlight(kCsvLabels[i], false);
      }
      break;
    }
    case 1: {
      // The page copy carries the data date of these archives.
      const std::string url = PublicServiceUrl(kPathXlsPage);
      const bool ok = svr.Download(url, DownloadFile(kPageXls));
      Log(url + " 更新確認");
      LogIfAny(CodeText(svr));
      (void)ok;
      for (const TXlsArchive& a : kXlsArchives) {
        if (Abort) break;
        const std::string base = a.baseName;
        Highlight(base, true);
        const bool got = Fetch(svr, PublicServiceUrl(std::string(kPathXlsData) + base + a.serverExt), base + ".zip",
                               base + ".zip ダウンロード開始", base + ".zip ダウンロード完了",
                               base + ".zip ダウンロード中止");
        Highlight(base, false);
        if (!got) {
          good = false;
          break;
        }
      }
      break;
    }
    case 2: {
      const std::string mirror = MirrorSiteUrl(options_.DownSiteVeskDB);
      Log("VeskCsv 取得: " + mirror);
      if (!MirrorUsable(options_.DownSiteVeskDB)) {
        good = false;
        break;
      }
      // update.txt carries the data date of toroku.zip.
      svr.Download(mirror + kPageMirror, DownloadFile(kPageMirror));
      Log(mirror + kPageMirror + " 更新確認");
      LogIfAny(CodeText(svr));
      Highlight(kToroku, true);
      good = Fetch(svr, mirror + kToroku, kToroku, "toroku.zip ダウンロード開始", "toroku.zip ダウンロード完了",
                   "toroku.zip ダウンロード中止");
      Highlight(kToroku, false);
      break;
    }
    case 3: {
      Log("SQLiteDB取得: " + MirrorSiteUrl(MirrorIndex));
      good = MirrorUsable(MirrorIndex) && DownloadPrebuilt(svr, MirrorSiteUrl(MirrorIndex));
      break;
    }
    case 4: {
      if (IsWebAddress(SiteText)) {
        std::string base = SiteText;
        if (base.back() != '/') base += '/';
        Log("SQLiteDB取得: " + base);
        good = DownloadPrebuilt(svr, base);
      } else if (StartsWith(SiteText, "\\\\") || (FolderExists(SiteText) && StartsWith(SiteText, "/"))) {
        good = CopyPrebuiltFromFolder(SiteText);
      } else {
        Log(SiteText + "が無効");
        good = false;
      }
      break;
    }
    default:
      Log("データソース " + std::to_string(Mode) + " はありません");
      good = false;
  }
  if (Abort) good = false;
  Log("ダウンロード時間 " + ElapsedSeconds(t0) + "秒");
  svr_ = nullptr;
  if (!good && InSequence) DoAbort();
  Busy(false);
  if (!InSequence) Buttons(true);
  return good;
}

// ---------------------------------------------------------------------------------------------
// Copying from the shared folder

bool TUpdateRunner::CopyOne(const std::string& From, const std::string& Name, const std::string& StartLine,
                            const std::string& DoneLine, const std::string& FailLine) {
  if (Abort) return false;
  if (!StartLine.empty()) Log(StartLine);
  const bool ok = !From.empty() && ShellCopyFile(JoinFolder(From, Name), DownloadFile(Name));
  Log(ok ? DoneLine : FailLine);
  return ok;
}

bool TUpdateRunner::CopyFromShare() {
  if (!InSequence) Buttons(false);
  Busy(true);
  const std::string from = options_.dirLAN;
  Log("共有フォルダからコピー開始");
  Log(from);
  const auto t0 = std::chrono::steady_clock::now();
  std::error_code ec;
  fs::create_directories(options_.DownloadDir, ec);
  bool good = true;
  auto fail = [&] { good = false; };
  switch (Mode) {
    case 0:
      Log("update2.htm 更新確認");
      if (!CopyOne(from, kPageCsv, "", "update2.htm コピー完了", "update2.htm コピー中止")) fail();
      if (!AcisCsvInfoSet()) {
        Log("AcisCsvInfoSet failed!");
        fail();
        break;
      }
      for (int i = 0; i < 3; ++i) {
        const std::string& name = CsvNames[i];
        Highlight(kCsvLabels[i], true);
        if (!CopyOne(from, name, name + " ダウンロード開始", name + " コピー完了", name + " コピー中止")) fail();
        Highlight(kCsvLabels[i], false);
      }
      break;
    case 1:
      // The page copy, when the shared folder has one, carries the data date.
      if (FileExists(JoinFolder(from, kPageXls))) CopyOne(from, kPageXls, "update.htm 更新確認", "update.htm コピー完了", "update.htm コピー中止");
      for (const TXlsArchive& a : kXlsArchives) {
        const std::string name = std::string(a.baseName) + ".zip";
        Highlight(a.baseName, true);
        if (!CopyOne(from, name, name + " コピー開始", name + " コピー完了", name + " コピー中止")) fail();
        Highlight(a.baseName, false);
      }
      break;
    case 2:
      if (!CopyOne(from, kPageMirror, "update.txt コピー開始", "update.txt コピー完了", "update.txt コピー中止")) fail();
      Highlight(kToroku, true);
      if (!CopyOne(from, kToroku, "toroku.zip コピー開始", "toroku.zip コピー完了", "toroku.zip コピー中止")) fail();
      Highlight(kToroku, false);
      break;
    case 3:
    case 4:
      for (const char* name : {kAcisZip, kSpecZip}) {
        Highlight(name, true);
        if (!CopyOne(from, name, std::string(name) + " コピー開始", std::string(name) + " コピー完了",
                     std::string(name) + " コピー中止"))
          fail();
        Highlight(name, false);
      }
      break;
    default:
      fail();
  }
  if (Abort) good = false;
  Log("コピー時間 " + ElapsedSeconds(t0) + "秒");
  if (!good && InSequence && !IgnoreCopyFailure) DoAbort();
  Busy(false);
  if (!InSequence) Buttons(true);
  return good;
}

// ---------------------------------------------------------------------------------------------
// The CSV page

bool TUpdateRunner::AcisCsvInfoSet() {
  const std::string page = DownloadFile(kPageCsv);
  if (DebugMode) Log(page);
  std::vector<std::string> lines;
  if (!ReadPageLines(page, lines)) {
    Log(page + " LoadFromFile Failed!");
    return false;
  }
  if (DebugMode) Log("FileExists > true");
  const std::string date = PageDateText(page, 0);
  if (!IsKnownDataDate(date)) {
    Log(page + ": 反映分の行がありません");
    return false;
  }
  UpdateDate = date;
  if (DebugMode) Log("UpdateDate:" + UpdateDate);
  TCsvNames names;
  for (const std::string& line : lines) ParseCsvFileNameLine(line, names);
  bool all = true;
  for (int i = 0; i < 3; ++i) {
    if (names[i].empty()) {
      Log(page + ": " + kCsvLabels[i] + " のリンクがありません");
      all = false;
    }
  }
  if (!all) return false;
  CsvNames = names;
  return true;
}

// ---------------------------------------------------------------------------------------------
// Unpacking

bool TUpdateRunner::CameFromUnpacking(const std::string& File) {
  if (!unpacked_ || unpackedFiles_.count(File)) return true;
  Log(File + " は今回解凍したアーカイブにありません (前回までのファイルは使いません)");
  return false;
}

bool TUpdateRunner::UnpackArchives(const std::vector<std::string>& Names, const std::string& LineSuffix) {
  if (!InSequence) Buttons(false);
  Busy(true);
  unpacked_ = true;
  unpackedFiles_.clear();
  bool good = true;
  bool said = false;
  std::error_code ec;
  TSvrHooks hooks;
  hooks.ProcessMessages = [this] { Pump(); };
  for (const std::string& name : Names) {
    if (Abort) {
      good = false;
      break;
    }
    const std::string archive = DownloadFile(name);
    if (!FileExists(archive)) {
      Log(archive + "> なし");
      good = false;
      continue;
    }
    Log(name + LineSuffix);
    std::string msg;
    std::vector<std::string> files;
    const bool ok = ExtractArchive(archive, options_.DownloadDir, &msg, &hooks, &files, IsDataArchiveMember);
    if (ok) {
      unpackedFiles_.insert(files.begin(), files.end());
      LogLines(archive + ": ", msg);
    } else {
      good = false;
      DoAbort();
      Log("解凍作業中止");
      said = true;
      LogLines(archive + ": ", msg);
      // The broken copy carries the server's time: without it the next run fetches it again.
      fs::remove(archive, ec);
      break;
    }
  }
  // The abort of a broken archive has been said with its reason: the end says it once.
  if (!said) Log(good ? "解凍作業完了" : "解凍作業中止");
  // A missing archive leaves nothing new to rebuild from: in a sequence that is an abort.
  if (!good && InSequence) DoAbort();
  Busy(false);
  if (!InSequence) Buttons(true);
  return good;
}

bool TUpdateRunner::UnpackAcisCsv() {
  if (CsvNames[0].empty() && !AcisCsvInfoSet()) {
    Log("解凍作業中止");
    if (InSequence) DoAbort();
    return false;
  }
  return UnpackArchives({CsvNames[0], CsvNames[1], CsvNames[2]}, "を解凍");
}

bool TUpdateRunner::UnpackXls() {
  std::vector<std::string> names;
  for (const TXlsArchive& a : kXlsArchives) names.push_back(std::string(a.baseName) + ".zip");
  return UnpackArchives(names, " を解凍");
}

bool TUpdateRunner::UnpackToroku() { return UnpackArchives({kToroku}, " を解凍"); }

bool TUpdateRunner::UnpackDB() {
  if (!InSequence) Buttons(false);
  Busy(true);
  TSvrHooks hooks;
  hooks.LogMemo = [this](const std::string& l) { Log(l); };
  hooks.ProcessMessages = [this] { Pump(); };
  // Both archives go in as one pair, or neither: "Updated" only when both were extracted.
  std::string why = "中止しました";
  bool good = false;
  if (!Abort) {
    // Each archive's label is bold while it is unpacked. The open AcisDB keeps reading the
    // previous files until it is reopened below.
    good = InstallPrebuiltPair(options_.DownloadDir, options_.DBDir, hooks, &why,
                               [this](const std::string& zipName, bool busy) { Highlight(zipName, busy); });
  }
  if (good || !AcisDB) {
    if (good) options_.DBDownSite = static_cast<std::uint8_t>(Mode);
    if (!ReopenAcisDB()) good = false;
  }
  Updated = good;
  if (!good) Log("データベースは更新されていません: " + why);
  if (!good && InSequence) DoAbort();
  Busy(false);
  if (!InSequence) Buttons(true);
  return good;
}

// ---------------------------------------------------------------------------------------------
// Sequences

bool TUpdateRunner::AutoUpdate() {
  TRunAnswersScope askOnce;  // each address once in this run
  Abort = false;
  InSequence = true;
  Updated = false;
  Buttons(false);
  if (AutoUpdateRun) Log("データ更新開始:" + DateTimeNow());
  bool result = false;
  try {
    // Nothing is fetched that could not be put in place.
    if (!DatabaseFolderWritable())
      Abort = true;
    else if (options_.UseLAN)
      CopyFromShare();
    else
      Download();
    if (!Abort) {
      switch (Mode) {
        case 0: UnpackAcisCsv(); break;
        case 1: UnpackXls(); break;
        case 2: UnpackToroku(); break;
        default: UnpackDB(); break;
      }
    }
    if (!Abort && Mode <= 2 && !RebuildDB()) Abort = true;
  } catch (const std::exception& e) {
    Log(std::string("エラー: ") + e.what());
    Abort = true;
  }
  if (Abort) {
    Log("データ更新中止!");
    AutoStart = false;
    result = false;
  } else {
    result = true;
    Updated = true;
  }
  Abort = false;
  InSequence = false;
  Busy(false);
  Buttons(true);
  if (AutoUpdateRun) {
    Log("データ更新完了:" + DateTimeNow());
    SaveRunLog(DbFile("autoupdate.log"));
  } else if (AutoStart && sinks_.Close) {
    sinks_.Close();
  }
  return result;
}

bool TUpdateRunner::DownloadCheck() {
  TRunAnswersScope askOnce;  // each address once in this run
  Abort = false;
  InSequence = false;
  Buttons(false);
  if (DownloadCheckRun) Log("ダウンロード更新確認開始:" + DateTimeNow());
  bool good = false;
  try {
    good = options_.UseLAN ? CopyFromShare() : Download();
  } catch (const std::exception& e) {
    Log(std::string("エラー: ") + e.what());
    good = false;
  }
  Buttons(true);
  if (DownloadCheckRun) {
    Log("ダウンロード更新確認終了:" + DateTimeNow());
    SaveRunLog(DownloadFile("autodown.log"));
  }
  return good;
}

bool TUpdateRunner::OneStopUpdate() {
  TRunAnswersScope askOnce;  // each address once in this run
  bool fetched = true;
  Abort = false;
  if (!DatabaseFolderWritable()) {
    if (sinks_.Close) sinks_.Close();
    return false;
  }
  switch (Mode) {
    case 0: {
      const bool info = AcisCsvInfoSet();
      auto all = [&](const std::string& ext) {
        if (!info) return false;
        for (int i = 0; i < 3; ++i) {
          std::string f = DownloadFile(fs::path(CsvNames[i]).replace_extension(ext).string());
          if (i == 0 && ext == ".csv" && !FileExists(f)) {
            // The basics archive holds its CSV under the name without "csv".
            const std::string from = "登録基本部csv";
            if (size_t p = f.rfind(from); p != std::string::npos) f.replace(p, from.size(), "登録基本部");
          }
          if (!FileExists(f)) return false;
        }
        return true;
      };
      if (all(".csv")) break;
      if (all(".zip")) {
        fetched = UnpackAcisCsv();  // the archives are here: only unpacking is missing
        break;
      }
      fetched = (options_.UseLAN ? CopyFromShare() : Download()) && UnpackAcisCsv();
      break;
    }
    case 1: {
      bool all = true;
      for (const TXlsArchive& a : kXlsArchives) all = all && FileExists(DownloadFile(std::string(a.baseName) + ".xls"));
      if (!all) fetched = (options_.UseLAN ? CopyFromShare() : Download()) && UnpackXls();
      break;
    }
    case 2: {
      const bool all = FileExists(DownloadFile("kihon.csv")) && FileExists(DownloadFile("tekiyo.csv")) &&
                       FileExists(DownloadFile(kPageMirror));
      if (!all) {
        if (!FileExists(DownloadFile(kToroku))) fetched = options_.UseLAN ? CopyFromShare() : Download();
        fetched = fetched && UnpackToroku();
      }
      break;
    }
    default:
      fetched = (options_.UseLAN ? CopyFromShare() : Download()) && UnpackDB();
      if (sinks_.Close) sinks_.Close();
      return fetched;
  }
  const bool ok = fetched && !Abort && RebuildDB();
  if (sinks_.Close) sinks_.Close();
  return ok;
}
