#include "database/acis_db.h"

#include <cxxabi.h>

#include <charconv>
#include <cstdlib>
#include <filesystem>
#include <typeinfo>

#include "database/db_swap_lock.h"
#include "database/import_reader.h"
#include "database/master_refresh.h"
#include "foundation/global.h"
#include "foundation/message_sink.h"

std::unique_ptr<TAcisDB> AcisDB;

namespace {
TAcisBusyHook gBusyHook;
// How long an open waits for a build or install that is putting new files in place (the
// renames take milliseconds; a swap waits for readers that are still opening).
constexpr int kOpenWaitMs = 30000;
}  // namespace

void SetAcisBusyHook(TAcisBusyHook Hook) { gBusyHook = std::move(Hook); }
TAcisBusy::TAcisBusy() {
  if (gBusyHook) gBusyHook(true);
}
TAcisBusy::~TAcisBusy() {
  if (gBusyHook) gBusyHook(false);
}

TAcisDBSettings AcisDBSettingsFromOptions() {
  TAcisDBSettings s;
  if (OptionData) {
    s.DBDir = OptionData->DBDir;
    s.DownloadDir = OptionData->DownloadDir;
    s.dirLAN = OptionData->dirLAN;
    s.UseLAN = OptionData->UseLAN;
    s.DBDownSite = OptionData->DBDownSite;
    s.DownSiteVeskDB = OptionData->DownSiteVeskDB;
  }
  return s;
}

std::string SqlErrorMemoText(const ESQLiteException& E) {
  return std::string("ESQLiteException") + "\n---------\n" + E.what();
}

void TAcisDB::ShowSqlError(const ESQLiteException& E, const std::string& Title) {
  ShowMemo("SQL エラー", Title, SqlErrorMemoText(E));
}

void TAcisDB::SqlFailure(const ESQLiteException& E, const std::string& Title) {
  if (FFirstSqlError.empty()) FFirstSqlError = (Title.empty() ? std::string() : Title + ": ") + E.what();
  // One cause, one message: the failed attach of spec.db has been shown.
  if (IsSpecMissingFailure(E)) {
    Log((Title.empty() ? std::string() : Title + ": ") + E.what());
    return;
  }
  ShowSqlError(E, Title);
}

TAcisDB::TAcisDB(const std::string& FileName, TAcisLogFn LogMemo)
    : TAcisDB(FileName, AcisDBSettingsFromOptions(), std::move(LogMemo)) {}

TAcisDB::TAcisDB(const std::string& FileName, const TAcisDBSettings& Settings, TAcisLogFn LogMemo)
    : FLog(std::move(LogMemo)), FFileName(FileName), FSettings(Settings) {
  FLastPump = std::chrono::steady_clock::now();
  // The files are opened, attached and refreshed while no build or install swaps them, so
  // this connection gets acis.db and spec.db of one generation.
  TDbSwapLock swap(FSettings.DBDir, TDbSwapLock::Shared, kOpenWaitMs);
  if (!swap.Held()) throw ESQLiteException("Failed to open database \"" + FileName + "\" : " + kDataBeingReplaced);
  FDb = std::make_unique<TSQLiteDb>(FileName, false);
  FDb->OnFilesReplaced = [this] { ReopenReplacedFiles(); };
  Log("acis.db open");
  SetMultiStatement(true);
  ReadLastUpdate();
  AttachSpec();
  AttachJpp();
}

namespace {
bool AttachFile(TAcisDB& db, const std::string& path, const std::string& alias);
}  // namespace

void TAcisDB::ReopenReplacedFiles() {
  // The new pair whole, as an open takes it.
  TDbSwapLock swap(FSettings.DBDir, TDbSwapLock::Shared, kOpenWaitMs);
  if (!swap.Held()) throw ESQLiteException("Failed to open database \"" + FFileName + "\" : " + kDataBeingReplaced);
  FDb->Reopen();
  Log("acis.db, spec.db が更新で置き換えられたため開き直しました");
  // A spec.db that could not be attached at the open may be whole in the new pair: the
  // reopened connection carries only what was attached.
  if (FSpecAttachFailed && !SpecAttached()) {
    FSpecAttachFailed = !AttachFile(*this, SpecPath(), "spec");
    if (!FSpecAttachFailed) Log("spec.db Attach");
  }
  // The data date of the new files; the current result (FTbl) stays the caller's.
  std::string date;
  if (TableExists("info")) {
    auto t = FDb->GetTable("SELECT Value FROM info WHERE Item = 'LastUpdate'");
    if (t->Count() > 0) date = t->FieldAsString(0);
    FLastUpdate = date.empty() ? "更新日付不明" : date;
  } else {
    FLastUpdate = "不明";
  }
  if (FSessionViews) CreateSessionViews();
}

TAcisDB::~TAcisDB() {
  FLog = nullptr;
  FDb.reset();
  FTbl.reset();
}

void TAcisDB::SetMultiStatement(bool Value) { FDb->ExecAll = Value; }

// The version the connection reports; the library's when the connection cannot say.
std::string TAcisDB::SQLiteVersion() const {
  try {
    auto t = FDb->GetTable("SELECT sqlite_version()");
    if (!t->Eof()) return t->FieldAsString(0);
  } catch (const ESQLiteException&) {
  }
  return TSQLiteDb::Version();
}

void TAcisDB::Log(const std::string& Text) {
  if (!FLog) return;
  if (Text.find('\0') == std::string::npos)
    FLog(Text);
  else
    FLog(VisibleNul(Text));  // a value quoted in the line must not cut it short
}

void TAcisDB::Breathe() {
  if (!FPump) return;
  auto now = std::chrono::steady_clock::now();
  if (now - FLastPump >= std::chrono::milliseconds(50)) {
    FLastPump = now;
    FPump();
  }
}

void TAcisDB::Progress(int64_t Position, int64_t Max) {
  if (FProgressBar) FProgressBar(Position, Max > 0 ? Max : 1);
}

namespace {
std::string ExceptionClassName(const std::exception& e) {
  int status = 0;
  char* name = abi::__cxa_demangle(typeid(e).name(), nullptr, nullptr, &status);
  std::string out = status == 0 && name ? name : typeid(e).name();
  std::free(name);
  return out;
}

// The attach statement with the path bound, so any character in the path is safe.
bool AttachFile(TAcisDB& db, const std::string& path, const std::string& alias) {
  try {
    db.FDb->ExecBound("ATTACH ?1 AS " + alias + ";", {path});
    return true;
  } catch (const ESQLiteException& e) {
    TAcisDB::ShowSqlError(e, "");
    return false;
  }
}
}  // namespace

std::string TAcisDB::SpecPath() const {
  return FSettings.SpecFile.empty() ? FSettings.DBDir + "/spec.db" : FSettings.SpecFile;
}

bool TAcisDB::AttachSpec() {
  FSpecAttachFailed = !AttachFile(*this, SpecPath(), "spec");
  Log("spec.db Attach");
  if (FSettings.DBDownSite == 3 || FSettings.DBDownSite == 4) return true;
  try {
    RefreshMasterTables();
  } catch (const ESQLiteException& e) {
    SqlFailure(e, "AcisDB.AttachSpec ");
    return false;
  } catch (const std::exception& e) {
    ShowMessageBox(TMsgKind::Error, "Quillmar", ExceptionClassName(e) + "\n" + e.what());
    return false;
  }
  return true;
}

void TAcisDB::AttachJpp() {
  std::string path = FSettings.DBDir + "/jpp.db";
  std::error_code ec;
  if (!std::filesystem::exists(path, ec)) return;
  if (AttachFile(*this, path, "jpp")) Log("jpp.db Attach");
}

bool TAcisDB::TableExists(const std::string& Name) {
  try {
    return FDb->TableExists(Name);
  } catch (const std::exception&) {
    return false;  // an unknown schema is no table
  }
}

void TAcisDB::ReadLastUpdate() {
  if (!TableExists("info")) {
    FLastUpdate = "不明";
    return;
  }
  FTbl = FDb->GetTable("SELECT Value FROM info WHERE Item = 'LastUpdate'");
  std::string v;
  if (FTbl->Count() > 0) v = FTbl->FieldAsString(FTbl->FieldIndex("Value"));
  FLastUpdate = v.empty() ? "更新日付不明" : v;
}

void TAcisDB::SetLastUpdate(const std::string& Text) {
  FLastUpdate = Text;
  if (TableExists("info")) FDb->ExecBound("UPDATE info SET Value = ?1 WHERE Item = 'LastUpdate'", {Text});
}

int TAcisDB::GetVersion() {
  if (!TableExists("info")) return 0;
  FTbl = FDb->GetTable("SELECT Value FROM info WHERE Item = 'Version'");
  if (FTbl->Count() == 0) return 0;
  std::string v = FTbl->FieldAsString(0);
  int n = 0;
  auto r = std::from_chars(v.data(), v.data() + v.size(), n);
  if (r.ec != std::errc() || r.ptr != v.data() + v.size()) return 0;
  return n;
}

bool TAcisDB::ExecSQL(const std::string& SQL) {
  TAcisBusy busy;
  try {
    FDb->ExecSQL(SQL);
    return true;
  } catch (const ESQLiteException& e) {
    SqlFailure(e, "");
    return false;
  }
}

bool TAcisDB::Query(const std::string& SQL, bool ShowNoData) {
  {
    TAcisBusy busy;
    try {
      FTbl = FDb->GetTable(SQL);
    } catch (const ESQLiteException& e) {
      SqlFailure(e, "");
      return false;
    }
  }
  if (FTbl->Count() > 0) return true;
  if (ShowNoData) ShowMessageBox(TMsgKind::Warning, "Quillmar", "検索条件に一致するデータはありません");
  return false;
}

int64_t TAcisDB::LineCount(const std::string& FileName) { return ::LineCount(FileName); }
