#include "database/master_refresh.h"

#include <sqlite3.h>

#include <algorithm>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cctype>
#include <ctime>
#include <filesystem>
#include <string_view>
#include <system_error>

#include "database/acis_db.h"
#include "database/acis_schema.h"
#include "database/file_copy.h"
#include "database/import_reader.h"
#include "database/lookup_indexes.h"
#include "database/sql_functions.h"
#include "foundation/message_sink.h"

namespace fs = std::filesystem;

namespace {
TMasterDownloader* gDownloader = nullptr;

std::string JoinPath(const std::string& dir, const std::string& name) {
  if (dir.empty()) return name;
  if (dir.back() == '/') return dir + name;
  return dir + "/" + name;
}

void RemoveQuietly(const std::string& path) {
  std::error_code ec;
  fs::remove(path, ec);
}

// A script copy told apart from another by its modification time and size.
struct TCopyId {
  bool Exists = false;
  int64_t MTimeNs = 0;
  uint64_t Size = 0;
  bool operator==(const TCopyId& o) const {
    return Exists && o.Exists && MTimeNs == o.MTimeNs && Size == o.Size;
  }
};

TCopyId CopyIdOf(const std::string& path) {
  struct stat st {};
  TCopyId id;
  if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return id;
  id.Exists = true;
  id.MTimeNs = static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
  id.Size = static_cast<uint64_t>(st.st_size);
  return id;
}

// The remembered copy of a script that failed: kept beside the local copy under this name,
// with the time and size it came with.
std::string FailedCopyName(const std::string& local) { return local + ".failed"; }

// The failure lies outside the script: the disk, a lock, memory, or a database it names that
// is not attached ("unknown database spec", from the prepare of its statement).
bool IsOutsideTheScript(const ESQLiteException& e) {
  return e.IsEnvironmentFailure() || std::string_view(e.what()).find(" : unknown database ") != std::string_view::npos;
}

std::string FailedCopyNote(const std::string& file, const TCopyId& id) {
  const std::time_t t = static_cast<std::time_t>(id.MTimeNs / 1000000000);
  std::tm tm {};
  ::localtime_r(&t, &tm);
  char when[32];
  std::strftime(when, sizeof when, "%Y/%m/%d %H:%M:%S", &tm);
  return file + ": 実行に失敗したコピー (" + when + ", " + std::to_string(id.Size) +
         " バイト) は実行しません。新しいコピーを待ちます";
}
}  // namespace

void SetMasterDownloader(TMasterDownloader* Downloader) { gDownloader = Downloader; }
TMasterDownloader* GetMasterDownloader() { return gDownloader; }

bool IsSourceNewer(const std::string& Source, const std::string& Destination, std::string& Msg) {
  std::error_code ec;
  if (!fs::exists(Source, ec)) {
    Msg = "コピー元:" + Source + " なし";
    return false;
  }
  if (!fs::exists(Destination, ec)) {
    Msg = "コピー先:" + Destination + " なし";
    return true;
  }
  auto ts = fs::last_write_time(Source, ec);
  auto td = fs::last_write_time(Destination, ec);
  if (!ec && ts > td) {
    Msg = Source + " > " + Destination;
    return true;
  }
  Msg = "更新なし";
  return false;
}

bool CopyFileKeepTime(const std::string& Source, const std::string& Destination) {
  return CopyFileAtomic(Source, Destination) == TFileCopyResult::Ok;
}

bool LooksLikeSqlScript(const std::string& FileName, std::string& Why) {
  std::error_code ec;
  auto size = fs::file_size(FileName, ec);
  if (ec || size == 0) {
    Why = "空のファイル";
    return false;
  }
  std::string head;
  try {
    TTextFileReader r(FileName);
    std::string line;
    while (head.size() < 4096 && r.ReadLine(line)) head += line + "\n";
  } catch (const std::exception& e) {
    Why = e.what();
    return false;
  }
  size_t i = 0;
  while (i < head.size() && std::isspace(static_cast<unsigned char>(head[i]))) ++i;
  std::string start;
  for (size_t k = i; k < head.size() && k < i + 15; ++k)
    start.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(head[k]))));
  if (start.starts_with("<!doctype") || start.starts_with("<html") || start.starts_with("<?xml") ||
      start.starts_with("<head") || start.starts_with("<body")) {
    Why = "HTML のページ";
    return false;
  }
  return true;
}

std::string FirstKeyword(const char* Sql, size_t Len) {
  size_t i = 0;
  while (i < Len) {
    unsigned char c = static_cast<unsigned char>(Sql[i]);
    if (std::isspace(c) || c == ';') {
      ++i;
    } else if (c == '-' && i + 1 < Len && Sql[i + 1] == '-') {
      while (i < Len && Sql[i] != '\n') ++i;
    } else if (c == '/' && i + 1 < Len && Sql[i + 1] == '*') {
      i += 2;
      while (i + 1 < Len && !(Sql[i] == '*' && Sql[i + 1] == '/')) ++i;
      i += 2;
    } else {
      break;
    }
  }
  std::string kw;
  while (i < Len && std::isalpha(static_cast<unsigned char>(Sql[i])))
    kw.push_back(static_cast<char>(std::toupper(static_cast<unsigned char>(Sql[i++]))));
  return kw;
}

int RunScriptInTransaction(TSQLiteDb& Db, const std::string& Script) {
  const std::string text = PreconvSql(Script);
  if (const size_t at = text.find('\0'); at != std::string::npos)
    throw ESQLiteException("Error executing SQL \"" + text.substr(at > 200 ? at - 200 : 0, std::min<size_t>(at, 200)) +
                           "\" : NUL character in the script at byte " + std::to_string(at + 1));
  sqlite3* h = Db.Handle();
  Db.BeginTransaction();
  int count = 0;
  const char* p = text.c_str();
  const char* end = p + text.size();
  try {
    while (p < end) {
      sqlite3_stmt* st = nullptr;
      const char* tail = nullptr;
      // Length -1: the text is NUL-terminated, so SQLite does not copy the rest of the script
      // for every statement.
      int rc = sqlite3_prepare_v2(h, p, -1, &st, &tail);
      std::string stmtText(p, tail ? static_cast<size_t>(tail - p) : static_cast<size_t>(end - p));
      if (rc != SQLITE_OK) {
        std::string msg = Db.ErrorText("Error executing SQL", stmtText);
        const int code = Db.LastErrorCode();
        sqlite3_finalize(st);
        throw ESQLiteException(msg, code);
      }
      if (!st) break;  // only blanks or comments left
      p = tail;
      std::string kw = FirstKeyword(stmtText.data(), stmtText.size());
      if (kw == "BEGIN" || kw == "COMMIT" || kw == "END" || kw == "ROLLBACK" || kw == "VACUUM") {
        sqlite3_finalize(st);
        continue;
      }
      while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
      }
      if (rc != SQLITE_DONE) {
        std::string msg = Db.ErrorText("Error executing SQL statement", stmtText);
        const int code = Db.LastErrorCode();
        sqlite3_finalize(st);
        throw ESQLiteException(msg, code);
      }
      sqlite3_finalize(st);
      ++count;
    }
  } catch (...) {
    Db.Rollback();
    throw;
  }
  Db.Commit();
  return count;
}

// ---------------------------------------------------------------------------------------------
// The refresh members.

struct TAcisDB::TMasterScript {
  const char* File;
  const char* Table;  // null: run as if the table were missing
  const char* LogLine;
  int Encoding;  // 0 code page, 1 UTF-8
};

TMasterDownloader* TAcisDB::Downloader() {
  return FSettings.Downloader ? FSettings.Downloader : GetMasterDownloader();
}

bool TAcisDB::DownloadSqlFile(const std::string& FileName, const std::string& LocalFile) {
  TAcisBusy busy;
  TMasterDownloader* d = Downloader();
  std::string url = (d ? d->MirrorSiteUrl(FSettings.DownSiteVeskDB) : std::string()) + FileName;
  Log(url);
  if (!d || !d->IsInternetConnected()) {
    Log("インターネット接続なし。更新確認省略...");
    return false;
  }
  std::string tmp = LocalFile + ".new";
  RemoveQuietly(tmp);
  std::error_code dirErr;
  fs::create_directories(fs::path(LocalFile).parent_path(), dirErr);
  // The request is conditional on the newest copy known here: the remembered copy that failed
  // counts, so the server sends it again only when it has a different one.
  std::string reference = LocalFile;
  const std::string failed = FailedCopyName(LocalFile);
  const TCopyId failedId = CopyIdOf(failed), localId = CopyIdOf(LocalFile);
  if (failedId.Exists && (!localId.Exists || failedId.MTimeNs > localId.MTimeNs)) reference = failed;
  TMasterDownloader::TResult r;
  try {
    r = d->Download(url, reference, tmp);
  } catch (const std::exception& e) {
    Log(std::string("ダウンロード失敗: ") + e.what());
    RemoveQuietly(tmp);
    return false;
  }
  Log(std::to_string(r.StatusCode) + " " + r.StatusText);
  if (!r.Changed) {
    RemoveQuietly(tmp);
    return false;
  }
  std::string why;
  if (!LooksLikeSqlScript(tmp, why)) {
    Log(FileName + " を使いません (" + why + ")");
    RemoveQuietly(tmp);
    return false;
  }
  if (CopyIdOf(tmp) == failedId) {  // the server ignored the condition: the same copy again
    RemoveQuietly(tmp);
    return false;
  }
  FPendingLocal = LocalFile;
  FPendingNew = tmp;
  return true;
}

bool TAcisDB::RunSqlFile(const std::string& FileName, int Encoding) {
  TAcisBusy busy;
  std::error_code ec;
  if (!fs::exists(FileName, ec)) return false;
  std::string text;
  try {
    text = ReadTextFile(FileName, Encoding == 1 ? TTextEncoding::Utf8 : TTextEncoding::Auto);
  } catch (const EImportFileError& e) {
    Log(e.what());
    return false;
  }
  SetMultiStatement(true);
  std::string title = FileName;
  // Shown under the name of the local copy also while the new copy runs.
  if (FileName == FPendingNew) title = FPendingLocal;
  return RunScriptText(text, title + " SQL実行");
}

bool TAcisDB::RunScriptText(const std::string& Text, const std::string& Title) {
  FScriptFault = false;
  try {
    RunScriptInTransaction(*FDb, Text);
    return true;
  } catch (const ESQLiteException& e) {
    // A failure of the disk, a lock or memory, or a database the script writes into that is
    // not attached, is no fault of the script: it runs again once the cause is gone. Such a
    // failure is shown once; the rest of the refresh pass then stops.
    FScriptFault = !IsOutsideTheScript(e);
    if (!FScriptFault && FMasterPass) {
      if (!FMasterHalt) SqlFailure(e, Title);
      FMasterHalt = true;
      Log("マスターテーブルの更新を中止しました (次回の起動時に再実行します)");
      return false;
    }
    SqlFailure(e, Title);
    return false;
  }
}

bool TAcisDB::MasterTablesWritable() {
  sqlite3* h = FDb->Handle();
  const bool dirWritable = ::access((FSettings.DBDir.empty() ? std::string(".") : FSettings.DBDir).c_str(), W_OK) == 0;
  if (dirWritable && sqlite3_db_readonly(h, "main") != 1 && sqlite3_db_readonly(h, "spec") != 1) return true;
  Log(FSettings.DBDir + " に書き込めないため、マスターテーブルの更新を省略します");
  return false;
}

bool TAcisDB::SpecAttached() {
  try {
    auto t = FDb->GetTable("PRAGMA database_list;");
    for (t->MoveFirst(); !t->Eof(); t->Next())
      if (t->FieldAsString(1) == "spec") return true;
  } catch (const ESQLiteException&) {
  }
  return false;
}

bool TAcisDB::IsSpecMissingFailure(const ESQLiteException& E) {
  const std::string_view what(E.what());
  const bool aboutSpec = what.find(" : unknown database spec") != std::string_view::npos ||
                         what.find(" : no such table: spec.") != std::string_view::npos;
  return aboutSpec && FSpecAttachFailed && !SpecAttached();
}

void TAcisDB::RefreshMasterTables() {
  // spec.db that could not be attached has been shown as such: its scripts are not fetched
  // or run (each would fail for the same cause), and the next open tries again.
  if (!SpecAttached()) {
    Log("spec.db を開けないため、マスターテーブルの更新を省略します");
    return;
  }
  if (!MasterTablesWritable()) return;
  FMasterHalt = false;
  FMasterPass = true;
  struct TPassEnd {
    TAcisDB& db;
    ~TPassEnd() {
      db.FMasterPass = false;
      db.FMasterHalt = false;
    }
  } end{*this};
  UpdateBunrui();
  UpdateSeizai();
  UpdateDokusei();
  UpdateRyutsu();
  UpdateIdShurui();
  UpdateIso();
  UpdateSuisan();
  UpdateFrac();
  UpdateIrac();
  UpdateHrac();
  UpdateKwlists();
  UpdateBeppyo1();
  UpdateFeedrice();
  UpdateTsushoRuby();
  UpdateCvo();
  UpdateRakuyokaju();
  if (TableExists("m_tekiyo")) {
    UpdateMSakumotsu();
    UpdateMByochu();
  }
}

bool TAcisDB::RefreshMaster(const TMasterScript& M) {
  if (FMasterHalt) return false;  // the pass stopped: nothing more is fetched or run
  const std::string local = JoinPath(FSettings.DownloadDir, M.File);
  // A copy whose run failed is remembered (kept under another name, with its time and size):
  // it is neither run again nor shown again until a different copy arrives; each start says so
  // in the log instead.
  const std::string failed = FailedCopyName(local);
  const TCopyId failedId = CopyIdOf(failed);
  FPendingLocal.clear();
  FPendingNew.clear();
  bool changed = false;
  if (FSettings.UseLAN) {
    const std::string shared = JoinPath(FSettings.dirLAN, M.File);
    Log("共有フォルダ確認: " + shared);
    std::string msg;
    if (IsSourceNewer(shared, local, msg) && !(CopyIdOf(shared) == failedId)) {
      std::string tmp = local + ".new";
      std::error_code ec;
      fs::create_directories(FSettings.DownloadDir, ec);
      changed = CopyFileKeepTime(shared, tmp);
      if (changed) {
        FPendingLocal = local;
        FPendingNew = tmp;
      }
    }
    Log("比較結果: " + msg);
  } else {
    changed = DownloadSqlFile(M.File, local);
  }
  if (!changed && failedId.Exists) {
    const TCopyId localId = CopyIdOf(local);
    // The failed copy is the latest one known here (a good copy that came later replaces it).
    if (!localId.Exists || failedId.MTimeNs >= localId.MTimeNs || localId == failedId) {
      Log(FailedCopyNote(M.File, failedId));
      if (localId == failedId) return false;
    }
  }
  if (!changed && M.Table && TableExists(M.Table)) return false;
  const std::string run = changed ? FPendingNew : local;
  FScriptFault = false;
  bool ok = RunSqlFile(run, M.Encoding);
  std::error_code fec;
  if (ok) {
    RemoveQuietly(failed);
    // The script replaced its tables: their look-up indexes go with them.
    CreateLookupIndexes(*FDb, [this](const std::string& l) { Log(l); });
  } else if (FScriptFault && fs::exists(run, fec)) {
    // Remember this copy: the new one is kept under the other name, the local one copied.
    RemoveQuietly(failed);
    if (changed) {
      fs::rename(run, failed, fec);
    } else {
      CopyFileKeepTime(run, failed);
    }
  }
  if (changed) {
    std::error_code ec;
    if (ok && FSettings.DeferScriptCopies) {
      // A build: the new copy takes its place only when the build's databases do.
      FDeferredCopies.emplace_back(FPendingNew, local);
    } else if (ok) {
      fs::rename(FPendingNew, local, ec);
      if (ec) Log(local + " を置き換えられません: " + ec.message());
    } else {
      RemoveQuietly(FPendingNew);
    }
  }
  FPendingLocal.clear();
  FPendingNew.clear();
  if (ok) Log(M.LogLine);
  return ok;
}

bool TAcisDB::UpdateBunrui() {
  bool ok = RefreshMaster({"spec.bunrui.txt", "bunrui", "spec.bunrui 更新", 0});
  if (!FMasterHalt && TableExists("m_kihon")) UpdateKihonKoka();
  return ok;
}

bool TAcisDB::UpdateSeizai() { return RefreshMaster({"spec.seizai.txt", "seizai", "spec.seizai 更新", 0}); }

bool TAcisDB::DokuseiTableName() {
  // The info table of spec.db may not exist yet: that is no failure worth a dialog.
  if (!TableExists("spec.info")) return false;
  return Query("select value from spec.info where item = 'm_dokusei'", false);
}

bool TAcisDB::UpdateDokusei() {
  // The table test of this member: both tables and the info item must be there.
  const char* table = (TableExists("m_dokusei") && TableExists("dokusei") && DokuseiTableName()) ? "m_dokusei"
                                                                                               : nullptr;
  return RefreshMaster({"spec.dokusei.txt", table, "spec.m_dokusei 更新", 0});
}

bool TAcisDB::UpdateRyutsu() { return RefreshMaster({"spec.ryutsu.txt", "ryutsu", "spec.ryutsu 更新", 0}); }
bool TAcisDB::UpdateIdShurui() {
  return RefreshMaster({"spec.idshurui.txt", "idshurui", "spec.idshurui 更新", 0});
}
bool TAcisDB::UpdateIso() { return RefreshMaster({"spec.iso.txt", "iso", "spec.iso 更新", 0}); }
bool TAcisDB::UpdateSuisan() { return RefreshMaster({"spec.suisan.txt", "suisan", "spec.suisan 更新", 0}); }

bool TAcisDB::UpdateFrac() {
  bool ok = RefreshMaster({"spec.frac.txt", "frac_mg", "spec.frac 更新", 0});
  if (FMasterHalt) return ok;
  ExecSQL("drop view if exists vFracbunrui;");
  for (const char* t : {"frac_code", "frac_codelist", "frac_sayoten", "frac_sayokiko"})
    if (TableExists(t)) ExecSQL(std::string("drop table if exists ") + t + ";");
  return ok;
}

bool TAcisDB::UpdateIrac() { return RefreshMaster({"spec.irac.txt", "irac_mg", "spec.irac 更新", 0}); }
bool TAcisDB::UpdateHrac() { return RefreshMaster({"spec.hrac.txt", "hrac_mg", "spec.hrac 更新", 0}); }
bool TAcisDB::UpdateKwlists() { return RefreshMaster({"kwlists.txt", "kwlists", "kwlists 更新", 0}); }
bool TAcisDB::UpdateBeppyo1() { return RefreshMaster({"spec.beppyo1.txt", "beppyo1", "spec.beppyo1 更新", 0}); }
bool TAcisDB::UpdateFeedrice() {
  return RefreshMaster({"spec.feedrice.txt", "feedrice", "spec.feedrice 更新", 0});
}
bool TAcisDB::UpdateTsushoRuby() {
  return RefreshMaster({"tsushoruby.txt", "tsushoruby", "tsushoruby 更新", 0});
}
bool TAcisDB::UpdateCvo() { return RefreshMaster({"spec.cvo.utf8.txt", "cvo", "spec.cvo 更新", 1}); }
bool TAcisDB::UpdateRakuyokaju() {
  return RefreshMaster({"spec.rakuyokaju.txt", "rakuyokaju", "spec.rakuyokaju 更新", 0});
}
bool TAcisDB::UpdateMSakumotsu() {
  return RefreshMaster({"sakumotsu.txt", "m_sakumotsu", "m_sakumotsu 更新", 0});
}
bool TAcisDB::UpdateMByochu() { return RefreshMaster({"byochu.txt", "m_byochu", "m_byochu 更新", 0}); }

void TAcisDB::UpdateKihonKoka() {
  std::string s =
      "--/d\n"
      "-- effect bits of the five ingredients\n"
      "drop table if exists t_koka;\n"
      "create temp table t_koka as select bango";
  for (int n = 1; n <= 5; ++n)
    s += ", (select kokaid from spec.bunrui where seibun" + std::to_string(n) + " = seibun) as koka" +
         std::to_string(n);
  s += " from m_kihon;\n"
       "alter table t_koka add column idkoka integer;\n"
       "alter table t_koka add column koka varchar;\n"
       "update t_koka set idkoka = ifnull(koka1, 0) | ifnull(koka2, 0) | ifnull(koka3, 0) | ifnull(koka4, 0) | "
       "ifnull(koka5, 0);\n"
       "update t_koka set idkoka = (select kokaid from spec.koka where koka = '展着') where idkoka = 0;\n"
       "update t_koka set koka = concat('・', (select koka from spec.koka where kokaid = idkoka & 3)";
  for (int m = 4; m <= 32768; m *= 2)
    s += ", (select koka from spec.koka where kokaid = idkoka & " + std::to_string(m) + ")";
  s += ");\n"
       "-- effect text into the product table, only where it changed: a start with unchanged\n"
       "-- classification data writes nothing\n"
       "create index if not exists t_koka_bango on t_koka (bango);\n"
       "update m_kihon set koka = (select koka from t_koka where bango = m_kihon.bango) where koka is not "
       "(select koka from t_koka where bango = m_kihon.bango);\n"
       "drop table if exists t_koka;\n";
  try {
    FDb->ExecAll = true;
    // A refreshed classification script drops the table and its index with it.
    if (TableExists("spec.bunrui")) FDb->ExecSQL(acis_schema::kBunruiSeibunIndex);
    FDb->ExecSQL(s);
    Log("m_kihon koka 更新");
  } catch (const ESQLiteException& e) {
    SqlFailure(e, "m_kihon koka 更新 SQL実行");
  }
}
