#include "frontend/main_services.h"

#include <QFileInfo>

#include "database/acis_db.h"
#include "foundation/global.h"
#include "foundation/message_sink.h"
#include "frontend/frm_main.h"

namespace {

std::unique_ptr<TMainWindowServices>& Installed() {
  static std::unique_ptr<TMainWindowServices> services;
  return services;
}

std::string AcisDbFile() { return OptionData->DBDir + "/acis.db"; }

// Opens acis.db with the main window's log pane as its log.
void OpenAcisDB(TfrmMain& Main) {
  TfrmMain* m = &Main;
  AcisDB = std::make_unique<TAcisDB>(AcisDbFile(), AcisDBSettingsFromOptions(),
                                     [m](const std::string& line) { m->WriteLog(line); });
}

}  // namespace

int TMainWindowServices::RunAutoUpdate(TfrmMain&) {
  MessageSink().Log("Quillmar: データ更新機能がないため、データは現在のものとします");
  return kExitDataCurrent;
}

int TMainWindowServices::RunAutoDownloadCheck(TfrmMain&) {
  MessageSink().Log("Quillmar: ダウンロード確認機能がないため、データは現在のものとします");
  return kExitDataCurrent;
}

void TMainWindowServices::CheckSharedFolderUpdate(TfrmMain& Main) {
  Main.WriteLog(QString("共有フォルダデータ更新確認"));
  Main.WriteLog(QString::fromStdString(OptionData->dirLAN));
  if (QFileInfo::exists(QString::fromStdString(AcisDbFile())) &&
      QFileInfo::exists(QString::fromStdString(OptionData->DBDir + "/spec.db")))
    OpenAcisDB(Main);
}

int TMainWindowServices::CheckDatabaseState(TfrmMain& Main) {
  if (!QFileInfo::exists(QString::fromStdString(AcisDbFile()))) return dsNoDatabase;
  if (OptionData->DownSite == 3 || OptionData->DownSite == 4) return dsPrebuilt;
  OpenAcisDB(Main);
  if (!AcisDB->TableExists("info")) return dsNoInfoTable;
  if (!CheckDatabaseTables()) return dsInvalid;
  if (AcisDB->GetVersion() < TAcisDB::kVersion) return dsOldVersion;
  return dsCurrent;
}

void TMainWindowServices::GUIStart(TfrmMain& Main, int State) {
  switch (State) {
    case dsPrebuilt:
      if (DebugMode) Main.WriteLog(QString("GUIStart -> AcisDB.Create"));
      OpenAcisDB(Main);
      break;
    case dsNoDatabase:
      Main.WriteLog(QString::fromStdString(AcisDbFile() + " がありません"));
      break;
    case dsNoInfoTable:
    case dsInvalid:
      Main.WriteLog(QString("データベースが不正です。データベースを更新する必要があります。"));
      break;
    case dsOldVersion:
      Main.WriteLog(QString("データベースを更新する必要があります。"));
      break;
    default: break;
  }
}

void TMainWindowServices::StartUpCheck(TfrmMain& Main) { GUIStart(Main, CheckDatabaseState(Main)); }

bool TMainWindowServices::ShowUpdateDialog(TfrmMain&, bool, bool) {
  ShowMessageBox(TMsgKind::Warning, "データ更新", "この版にはデータ更新機能がありません。");
  return false;
}

TMainWindowServices& MainWindowServices() {
  static TMainWindowServices fallback;
  return Installed() ? *Installed() : fallback;
}

void SetMainWindowServices(std::unique_ptr<TMainWindowServices> Services) { Installed() = std::move(Services); }

bool CheckDatabaseTables() {
  if (!AcisDB) return false;
  for (const char* t : {"m_sakumotsu", "m_byochu", "seibun", "m_kihon", "m_tekiyo"})
    if (!AcisDB->TableExists(t)) return false;
  return true;
}
