#include "frontend/data_update_services.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cstdio>

#include "database/acis_db.h"
#include "foundation/global.h"
#include "foundation/message_sink.h"
#include "foundation/options.h"
#include "frontend/console/sql_console.h"
#include "frontend/frm_main.h"
#include "frontend/picker_placement.h"
#include "update/acis_svr.h"
#include "update/frm_startup.h"
#include "update/frm_update.h"
#include "update/inet_download.h"
#include "update/run_answers.h"
#include "update/update_pages.h"
#include "update/update_runner.h"

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

std::string DbFile(const std::string& name) { return OptionData->DBDir + "/" + name; }
std::string DlFile(const std::string& name) { return OptionData->DownloadDir + "/" + name; }
bool Exists(const std::string& path) { return QFileInfo::exists(Q(path)); }

void Pump() { QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents); }

// Every message of an unattended run becomes a log line (also on stderr): nothing waits for
// an answer, and the reasons end up in the run's log file.
class TRunLogSink : public TMessageSink {
 public:
  explicit TRunLogSink(std::function<void(const std::string&)> log) : log_(std::move(log)) {}
  TMsgAnswer Show(const TMessage& msg, TMsgButtons, TMsgAnswer defaultAnswer) override {
    Log(TLogMessageSink::Format(msg));
    return defaultAnswer;
  }
  void Log(const std::string& line) override {
    std::fprintf(stderr, "%s\n", line.c_str());
    if (log_) log_(line);
  }

 private:
  std::function<void(const std::string&)> log_;
};

// The runner of an unattended run, with its log going to the (hidden) main window too.
std::unique_ptr<TUpdateRunner> UnattendedRunner(TfrmMain& Main) {
  TUpdateSinks sinks;
  TfrmMain* m = &Main;
  sinks.Log = [m](const std::string& line) { m->WriteLog(line); };
  auto runner = std::make_unique<TUpdateRunner>(*OptionData, sinks);
  TUpdateRunner* r = runner.get();
  // Stopped from outside (SIGTERM): the run aborts at its next check.
  runner->SetPump([r] {
    Pump();
    if (StopRequested && !r->Abort) r->DoAbort();
  });
  return runner;
}

// Runs an unattended step; an exception ends it with "aborted" and a saved log.
int RunUnattended(TDataUpdateServices& services, TfrmMain& Main, bool update) {
  TfrmMain* m = &Main;
  std::unique_ptr<TUpdateRunner> runner;
  TRunLogSink sink([&runner, m](const std::string& line) {
    if (runner)
      runner->Log(line);
    else
      m->WriteLog(line);
  });
  TScopedMessageSink scoped(&sink);
  try {
    services.CheckFailure.clear();
    services.CheckLog.clear();
    if (services.CheckDatabaseState(Main) == dsCurrent) {
      if (services.CheckFailure.empty()) return kExitDataCurrent;  // no log file
      // Not asked is not current: the run failed, and its log says why.
      runner = UnattendedRunner(Main);
      for (const std::string& line : services.CheckLog) runner->Log(line);
      runner->Log("データ更新を確認できません: " + services.CheckFailure);
      runner->Log(update ? "データ更新中止!" : "ダウンロード更新確認中止!");
      runner->SaveRunLog(update ? DbFile("autoupdate.log") : DlFile("autodown.log"));
      return kExitAborted;
    }
    runner = UnattendedRunner(Main);
    if (update) {
      runner->AutoStart = true;
      runner->AutoUpdateRun = true;
      const bool ok = runner->AutoUpdate();
      return ok && !StopRequested ? kExitUpdated : kExitAborted;
    }
    runner->DownloadCheckStart = true;
    runner->DownloadCheckRun = true;
    const bool ok = runner->DownloadCheck();
    return ok && !StopRequested ? kExitDownloaded : kExitAborted;
  } catch (const std::exception& e) {
    // The log is written also when the run fails.
    if (!runner) runner = UnattendedRunner(Main);
    runner->Log(std::string("エラー: ") + e.what());
    runner->Log(update ? "データ更新中止!" : "ダウンロード更新確認中止!");
    runner->SaveRunLog(update ? DbFile("autoupdate.log") : DlFile("autodown.log"));
    return kExitAborted;
  }
}

}  // namespace

bool OpenAcisDBFor(TfrmMain& Main) {
  const std::string file = DbFile(kAcisDb);
  if (!Exists(file)) return false;
  TfrmMain* m = &Main;
  try {
    auto db = std::make_unique<TAcisDB>(file, UpdateDbSettings(*OptionData),
                                        [m](const std::string& line) { m->WriteLog(line); });
    AcisDB = std::move(db);
    return true;
  } catch (const std::exception& e) {
    Main.WriteLog(file + " を開けません: " + e.what());
    return false;
  }
}

void InstallDataUpdateServices() {
  SetDefaultDownSiteRule(&DefaultDataSource);
  SetMainWindowServices(std::make_unique<TDataUpdateServices>());
}

// ---------------------------------------------------------------------------------------------
// Unattended runs

int TDataUpdateServices::RunAutoUpdate(TfrmMain& Main) { return RunUnattended(*this, Main, true); }
int TDataUpdateServices::RunAutoDownloadCheck(TfrmMain& Main) { return RunUnattended(*this, Main, false); }

// ---------------------------------------------------------------------------------------------
// The start-up check

void TDataUpdateServices::ParseUpdatePageDate(const std::string& FileName, std::string& DateText) {
  DateText = PageDateText(FileName, OptionData->DownSite);
}

bool TDataUpdateServices::CheckServerUpdate(TfrmMain& Main) {
  TOptionData& o = *OptionData;
  CheckFailure.clear();
  CheckLog.clear();
  if (o.OffLine || CmdOffline) {
    // Offline by choice: the state comes from the database alone; that is no failed check.
    Main.WriteLog(QString("オフラインモード データ更新確認省略"));
    return false;
  }
  TAcisSvr svr(o);
  TfrmMain* m = &Main;
  svr.LogMemo = [this, m](const std::string& line) {
    CheckLog.push_back(line);
    m->WriteLog(line);
  };
  svr.ProcessMessages = Pump;
  Main.SetStatusText(0, "データ更新をチェックしています");
  std::string page, failure;
  switch (o.DownSite) {
    case 0:
      Main.WriteLog(QString("データ更新チェック FAMIC CSV データ"));
      Main.WriteLog(o.UseLAN ? o.dirLAN + "/" + kPageCsv : PublicServiceUrl(kPathCsvPage));
      page = kPageCsv;
      failure = "FAMIC CSVダウンロードページへ接続できません";
      break;
    case 1:
      Main.WriteLog(QString("データ更新チェック FAMIC Excel データ"));
      Main.WriteLog(o.UseLAN ? o.dirLAN + "/" + kPageXls : PublicServiceUrl("/ddata/"));
      page = kPageXls;
      failure = "FAMIC EXCELデータダウンロードページへ接続できません";
      break;
    case 2:
      Main.WriteLog(QString("データ更新チェック VESK CSV データ"));
      Main.WriteLog(o.UseLAN ? o.dirLAN + "/" + kPageMirror : MirrorSiteUrl(o.DownSiteVeskDB) + kPageMirror);
      page = kPageMirror;
      failure = "Vesk ミラーサイトのダウンロードページへ接続できません";
      if (!o.UseLAN && !MirrorHostConfigured(o.DownSiteVeskDB)) {
        Main.WriteLog(MirrorNotConfiguredText());
        CheckFailure = MirrorNotConfiguredText();
        return false;
      }
      break;
    default:
      return false;
  }
  const bool changed = svr.CheckPublicDataUpdate();
  // The source answered: a new page, the same page again, "not modified", or the shared
  // folder has its page. A "200" whose page did not arrive whole (too large, too slow, no room
  // in the download folder) is no answer.
  const bool answered = changed || (svr.StatusCode == "200" && svr.ErrorCode == 0) || svr.StatusCode == "304" ||
                        (o.UseLAN && Exists(o.dirLAN + "/" + page));
  if (!answered) {
    // What stopped it (the disk, the bound, a redirect loop...), not a status line that came
    // before it.
    const std::string reason = svr.FailureText();
    CheckFailure = reason.empty() ? failure : failure + ": " + reason;
  }
  bool newer = false;
  const std::string local = DlFile(page);
  if (answered && Exists(local)) {
    // The database's date against the page copy's, also when the page itself did not change:
    // an update that was declined or failed is offered again.
    std::string date;
    ParseUpdatePageDate(local, date);
    Main.ServerUpdateDate = Q(date);
    const std::string dbDate = AcisDB ? AcisDB->FLastUpdate : std::string();
    Main.WriteLog("DB更新日付    :" + dbDate);
    Main.WriteLog("サーバ更新日付:" + date);
    newer = date != dbDate && (IsKnownDataDate(date) || changed);
  }
  static const char* const kErrorStatus[] = {"404", "403", "500", "502", "503", "504"};
  if (!changed) {
    for (const char* code : kErrorStatus) {
      if (svr.StatusCode != code) continue;
      ShowMessageBox(TMsgKind::Error, "Quillmar",
                     "データ更新の確認ができません\r\n" + failure + "\r\nStatusCode: " + svr.StatusCode +
                         "\r\nStatusText: " + svr.StatusText);
      break;
    }
  }
  const int code = svr.ErrorCode;
  const bool offlineCode = (code >= INET_ERROR_NOT_CONNECTED && code <= INET_ERROR_READ_FILE) ||
                           (code == INET_ERROR_HTTP_STATUS_CODE && svr.StatusCode != "304");
  if (offlineCode) {
    Main.WriteLog("インターネット接続不可(" + InetErrorText(code) + ")");
  } else {
    Main.WriteLog("Status: " + std::to_string(code));
    Main.WriteLog("StatusCode: " + svr.StatusCode);
    Main.WriteLog("StatusText: " + svr.StatusText);
  }
  if (svr.StatusCode.empty() && svr.StatusText.empty() && !o.UseLAN)
    Main.WriteLog(QString("StuatusCode: なし -> インターネット接続不可"));
  return newer;
}

int TDataUpdateServices::CheckDatabaseState(TfrmMain& Main) {
  if (!Exists(DbFile(kAcisDb))) return dsNoDatabase;
  if (OptionData->DownSite == 3 || OptionData->DownSite == 4) return dsPrebuilt;
  // A file that cannot be opened is no usable database.
  if (!OpenAcisDBFor(Main)) return dsInvalid;
  const bool newer = CheckServerUpdate(Main);
  if (!AcisDB->TableExists("main.info")) return dsNoInfoTable;  // spec.db has an info table too
  if (!CheckDatabaseTables()) return dsInvalid;
  if (newer) return dsServerNewer;
  if (AcisDB->GetVersion() < TAcisDB::kVersion) return dsOldVersion;
  return dsCurrent;
}

void TDataUpdateServices::StartUpCheck(TfrmMain& Main) {
  TRunAnswersScope oneRun;
  GUIStart(Main, CheckDatabaseState(Main));
}

// ---------------------------------------------------------------------------------------------
// Acting on the state

bool TDataUpdateServices::ShowUpdateDialog(TfrmMain& Main, bool AutoStart, bool IgnoreCopyFailure) {
  if (!AcisDB) {
    TMessage msg;
    msg.kind = TMsgKind::Confirm;
    msg.caption = "Quillmar";
    msg.text = "自動更新処理を実行します。\r\n" + OptionData->DBDir + "\r\nにデータベースを作成します";
    const TMsgAnswer a = MessageSink().Show(msg, TMsgButtons::YesNoCancel, TMsgAnswer::Yes);
    if (a == TMsgAnswer::Cancel) return false;
    AutoStart = a == TMsgAnswer::Yes;
  }
  bool updated = false;
  bool jpp = false;
  {
    TfrmUpdate frm(&Main);
    frm.AutoStart() = AutoStart;
    frm.IgnoreCopyFailure() = IgnoreCopyFailure;
    ExecPicker(frm);
    // A new database object needs the caller's per-connection objects and lists, also when
    // the update did not get to its end.
    updated = frm.Updated() || frm.Runner().Reopened;
    jpp = frm.JppImported();
  }
  // New JPP-NET tables on the same connection: the console offers jpp.db and its tables now
  // (an update reloads every list anyway).
  if (jpp && !updated && AcisDB)
    if (TSqlConsole* c = SqlConsoleOf(Main)) c->InitSqlTableList();
  TfrmMain* m = &Main;
  if (AcisDB) AcisDB->FLog = [m](const std::string& line) { m->WriteLog(line); };
  return updated;
}

void TDataUpdateServices::RunOneStopWindow(TfrmMain& Main, bool OldDb) {
  {
    TfrmUpdate frm(&Main);
    frm.OldDb() = OldDb;
    frm.OneStop() = true;
    ExecPicker(frm);
  }
  TfrmMain* m = &Main;
  if (AcisDB) AcisDB->FLog = [m](const std::string& line) { m->WriteLog(line); };
}

void TDataUpdateServices::PrebuiltStart(TfrmMain& Main) {
  TOptionData& o = *OptionData;
  TfrmMain* m = &Main;
  TSvrHooks hooks;
  hooks.LogMemo = [m](const std::string& line) { m->WriteLog(line); };
  hooks.ProcessMessages = Pump;
  if (o.OffLine || CmdOffline) {
    Main.WriteLog(QString("オフラインモード データ更新確認省略"));
  } else if (o.DownSite == 3) {
    if (MirrorHostConfigured(o.DownSiteVeskDB))
      SQLiteDbDownload(hooks, o);
    else
      Main.WriteLog(MirrorNotConfiguredText());
  } else {
    const std::string& site = o.UserSite;
    if (site.rfind("http://", 0) == 0 || site.rfind("https://", 0) == 0)
      SQLiteDbDownload(hooks, o);
    else if (site.rfind("\\\\", 0) == 0 || (site.rfind("/", 0) == 0 && QFileInfo(Q(site)).isDir()))
      CopyDbFromLan(hooks, o, site);
    else
      Main.WriteLog(site + "が無効");
  }
  if (DebugMode) Main.WriteLog(QString("GUIStart -> AcisDB.Create"));
  OpenAcisDBFor(Main);
}

void TDataUpdateServices::GUIStart(TfrmMain& Main, int State) {
  TOptionData& o = *OptionData;
  switch (State) {
    case dsNoDatabase: {
      bool cancelled = false;
      {
        TfrmStartup first(&Main);
        ExecPicker(first);
        cancelled = first.Cancelled;
      }
      if (!cancelled) {
        TfrmStartup2 second(&Main);
        ExecPicker(second);
        cancelled = second.Cancelled;
      }
      // A cancelled set-up without a connection can fetch nothing; with one, the data are
      // fetched from the source as it stands.
      if (cancelled && !IsInternetConnected()) {
        ShowMessageBox(TMsgKind::Error, "Quillmar", "インターネットに接続されていないためデータ取得できません。");
        Main.SetStatusText(0, "DB:なし");
        return;
      }
      ShowUpdateDialog(Main, true, true);
      return;
    }
    case dsNoInfoTable:
      ShowUpdateDialog(Main, true, true);
      return;
    case dsServerNewer: {
      if (o.NoUpdateCheck) {
        ShowUpdateDialog(Main, true, true);
        return;
      }
      const std::string current = AcisDB ? AcisDB->FLastUpdate : std::string();
      const std::string server = Main.ServerUpdateDate.toStdString();
      TMessage msg;
      msg.kind = TMsgKind::Confirm;
      msg.caption = "Quillmar";
      msg.text = "新しいデータがあります。\r\n\r\n現在データ: " + current + "\r\n" + "更新データ: " + server + "\r\n" +
                 "\r\n" + "データを更新します" + "\r\n" + "よろしいですか";
      if (MessageSink().Show(msg, TMsgButtons::OkCancel, TMsgAnswer::Ok) == TMsgAnswer::Ok) {
        ShowUpdateDialog(Main, true, false);
      } else if (current != server) {
        // The next start fetches the page again and offers the data again.
        const std::string page = PageFileName(o.DownSite);
        if (!page.empty()) QFile::remove(Q(DlFile(page)));
      }
      return;
    }
    case dsOldVersion: {
      TMessage msg;
      msg.kind = TMsgKind::Confirm;
      msg.caption = "Quillmar";
      msg.text = "Quillmar が更新されました。\r\nデータベースを更新する必要があります。\r\nよろしいですか";
      if (MessageSink().Show(msg, TMsgButtons::OkCancel, TMsgAnswer::Ok) == TMsgAnswer::Ok)
        RunOneStopWindow(Main, AcisDB && AcisDB->GetVersion() < 120413);
      return;
    }
    case dsInvalid: {
      TMessage msg;
      msg.kind = TMsgKind::Error;
      msg.caption = "Quillmar";
      msg.text = "データベースが不正です。\r\nデータベースを更新する必要があります。\r\n\r\nデータを更新します\r\nよろしいですか";
      if (MessageSink().Show(msg, TMsgButtons::OkCancel, TMsgAnswer::Ok) != TMsgAnswer::Ok) return;
      if (Exists(DbFile(kSpecDb))) {
        // spec.db is fetched again with the new database.
        if (AcisDB) AcisDB->ExecSQL("DETACH spec;");
        QFile::remove(Q(DbFile(kSpecDb)));
      }
      ShowUpdateDialog(Main, true, true);
      return;
    }
    case dsPrebuilt:
      PrebuiltStart(Main);
      return;
    default:
      return;
  }
}

void TDataUpdateServices::CheckSharedFolderUpdate(TfrmMain& Main) {
  TOptionData& o = *OptionData;
  Main.WriteLog(QString("共有フォルダデータ更新確認"));
  Main.WriteLog(o.dirLAN);
  if (o.dirLAN.empty() || !QFileInfo(Q(o.dirLAN)).isDir()) {
    Main.WriteLog(QString("共有フォルダ検索失敗、データ更新確認省略..."));
  } else if (o.DownSite == 3 || o.DownSite == 4) {
    Main.SetStatusText(0, "共有フォルダのデータ更新を確認しています(SQLiteDB)");
    TfrmMain* m = &Main;
    TSvrHooks hooks;
    hooks.LogMemo = [m](const std::string& line) { m->WriteLog(line); };
    hooks.ProcessMessages = Pump;
    CopyDbFromLan(hooks, o);
  }
  if (Exists(DbFile(kAcisDb)) && Exists(DbFile(kSpecDb))) OpenAcisDBFor(Main);
  if (AcisDB && AcisDB->GetVersion() < TAcisDB::kVersion)
    ShowMessageBox(TMsgKind::Confirm, "Quillmar",
                   "Quillmar が更新されました。\r\nデータベースを更新する必要があります。\r\n"
                   "共有フォルダのデータが更新されていない可能性があります。");
}
