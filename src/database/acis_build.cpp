#include "database/acis_build.h"

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>

#include "database/acis_schema.h"
#include "database/db_swap_journal.h"
#include "database/db_swap_lock.h"
#include "database/file_copy.h"
#include "database/lookup_indexes.h"
#include "foundation/fault_point.h"
#include "foundation/stale_files.h"
#include "database/import_reader.h"
#include "database/import_rows.h"

namespace fs = std::filesystem;

namespace {

// Commits what was done also when the step fails (the clean-up path of every build step).
class TBuildTransaction {
 public:
  explicit TBuildTransaction(TSQLiteDb& db) : db_(db) { db_.BeginTransaction(); }
  ~TBuildTransaction() {
    if (!db_.InTransaction()) return;
    try {
      db_.Commit();
    } catch (...) {
      db_.Rollback();
    }
  }
  void Commit() { db_.Commit(); }

 private:
  TSQLiteDb& db_;
};

constexpr int kMaxDetailLines = 50;

}  // namespace

void TAcisDB::CreateBuildTables() {
  SetMultiStatement(true);
  for (const std::string& text : acis_schema::BuildTableTexts()) FDb->ExecSQL(text);
}

void TAcisDB::FillTmKihon() {
  {
    TBuildTransaction tr(*FDb);
    FSQL = acis_schema::kFillTmKihon;
    FDb->ExecSQL(FSQL);
    tr.Commit();
  }
  Breathe();
  // Products whose basics rows disagree keep their first row; say which.
  auto t = FDb->GetTable(acis_schema::kTmKihonConflicts);
  int shown = 0;
  for (t->MoveFirst(); !t->Eof(); t->Next()) {
    if (shown++ < kMaxDetailLines)
      Log("登録番号 " + t->Fields(0) + ": 基本部の行が " + t->Fields(1) + " 通りあります。最初の行を使います");
  }
  if (t->Count() > kMaxDetailLines) Log("基本部の不一致: 計 " + std::to_string(t->Count()) + " 件");
}

void TAcisDB::BuildMKihon() {
  FTbl = FDb->GetTable("SELECT bango,shurui FROM tm_kihon");
  {
    TBuildTransaction tr(*FDb);
    TSQLiteStmt update[5];
    for (int n = 1; n <= 5; ++n) {
      std::string sql = "UPDATE tm_kihon SET ";
      for (int i = 1; i <= n; ++i) {
        if (i > 1) sql += ",";
        sql += "seibun" + std::to_string(i) + " = ?" + std::to_string(i);
      }
      sql += " WHERE bango = ?" + std::to_string(n + 1);
      update[n - 1] = FDb->Prepare(sql);
    }
    std::map<std::string, std::vector<std::string>> cache;  // type name -> ingredients
    int shown = 0;
    int64_t skipped = 0;
    const int count = FTbl->Count();
    const int step = std::max(1, count / 20);
    int row = 0;
    for (FTbl->MoveFirst(); !FTbl->Eof(); FTbl->Next(), ++row) {
      const int64_t bango = FTbl->FieldAsInteger(0);
      const std::string shurui = FTbl->FieldAsString(1);
      auto it = cache.find(shurui);
      if (it == cache.end()) it = cache.emplace(shurui, IngredientItems(shurui)).first;
      const std::vector<std::string>& items = it->second;
      if (items.empty() || items.size() > 5) {
        if (shown++ < kMaxDetailLines)
          Log("登録番号 " + std::to_string(bango) + ": 種類名 " + shurui + " の成分が " +
              std::to_string(items.size()) + " 個" + (items.empty() ? "。成分なし" : "。最初の5成分を使います"));
        if (items.empty()) {
          ++skipped;
          continue;
        }
      }
      const size_t n = std::min<size_t>(items.size(), 5);
      TSQLiteStmt& st = update[n - 1];
      st.Reset();
      for (size_t i = 0; i < n; ++i) st.BindText(static_cast<int>(i + 1), items[i]);
      st.BindInt(static_cast<int>(n + 1), bango);
      while (st.Step()) {
      }
      if (row % step == 0) Progress(row, count);
      Breathe();
    }
    tr.Commit();
    if (skipped > 0) Log("成分の分からない製品: " + std::to_string(skipped) + " 件");
  }
  // The correlated look-ups of the scripts read spec.bunrui by ingredient.
  if (TableExists("spec.bunrui")) FDb->ExecSQL(acis_schema::kBunruiSeibunIndex);
  SetMultiStatement(true);
  FDb->ExecSQL(acis_schema::MKihonScript1());
  FDb->ExecSQL(acis_schema::MKihonScript2());
}

void TAcisDB::CreateSeibunTable() {
  SetMultiStatement(true);
  FDb->ExecSQL(acis_schema::kCreateSeibunTable);
}

void TAcisDB::CreateIndexes() {
  FDb->ExecSQL(acis_schema::kIndexes[0]);
  Progress(80, 100);
  FDb->ExecSQL(acis_schema::kIndexes[1]);
  Progress(82, 100);
  Progress(84, 100);
  FDb->ExecSQL(acis_schema::kIndexes[2]);
  Progress(86, 100);
  FDb->ExecSQL(acis_schema::kIndexes[3]);
  Progress(88, 100);
  Progress(90, 100);
}

void TAcisDB::CreateTekiyoViews() {
  SetMultiStatement(true);
  FDb->ExecSQL(acis_schema::TekiyoViewScript());
  Progress(96, 100);
}

// ---------------------------------------------------------------------------------------------

namespace {

bool SyncFile(const std::string& path) {
  int fd = ::open(path.c_str(), O_RDONLY);
  if (fd < 0) return false;
  bool ok = ::fsync(fd) == 0;
  ::close(fd);
  return ok;
}

void RemoveDbFiles(const std::string& path) {
  std::error_code ec;
  for (const char* suffix : {"", "-journal", "-wal", "-shm"}) fs::remove(path + suffix, ec);
}

// The named steps of one build: each is announced to the caller (OnStep), timed into the
// result, and followed by the test of the caller's abort.
class TBuildSteps {
 public:
  TBuildSteps(const TAcisBuildRequest& request, TAcisBuildResult& result) : request_(request), result_(result) {}
  // The step that runs now, named in the failure text.
  const std::string& Current() const { return step_; }
  void Begin(const std::string& name) {
    Enter(name);
    Announce(name);
  }
  // A step whose parts are announced instead.
  void Enter(const std::string& name) { step_ = name; }
  // Announces a part of the current step under a name of its own.
  void Announce(const std::string& name, int index = 0) const {
    if (request_.OnStep) request_.OnStep(name, index);
  }
  void Done() {
    const auto now = std::chrono::steady_clock::now();
    result_.Steps.emplace_back(step_, std::chrono::duration<double>(now - t0_).count());
    t0_ = now;
    if (request_.Aborted && request_.Aborted()) throw std::runtime_error("中止しました");
  }

 private:
  const TAcisBuildRequest& request_;
  TAcisBuildResult& result_;
  std::string step_ = "open";
  std::chrono::steady_clock::time_point t0_ = std::chrono::steady_clock::now();
};

// The build's database object on the build files. They are thrown away on failure: no need to
// wait for the disk on every commit (the files are flushed before they replace the pair).
std::unique_ptr<TAcisDB> OpenBuildDatabase(const std::string& temp, const TAcisDBSettings& settings,
                                           const TAcisBuildRequest& request) {
  auto db = std::make_unique<TAcisDB>(temp, settings, request.Log);
  db->FProgressBar = request.Progress;
  db->FPump = request.Pump;
  db->FDb->ExecSQL("PRAGMA main.synchronous=OFF;");
  db->FDb->ExecSQL("PRAGMA main.journal_mode=MEMORY;");
  db->FDb->ExecSQL("PRAGMA spec.synchronous=OFF;");
  db->FDb->ExecSQL("PRAGMA spec.journal_mode=MEMORY;");
  db->FDb->ExecSQL("PRAGMA cache_size=-65536;");
  return db;
}

// The basics rows of the request's source.
TImportResult ImportKihon(TAcisDB& db, const TAcisBuildRequest& request) {
  switch (request.Source) {
    case 0:
      return db.ImportAcisKihonCsv(request.KihonFile);
    case 1:
      if (!request.KihonRows) throw std::runtime_error("登録基本部のデータがありません");
      return db.ImportKihonGrid(*request.KihonRows);
    case 2:
      return db.ImportKihonCsv(request.KihonFile);
    default:
      throw std::runtime_error("データソース " + std::to_string(request.Source) + " はありません");
  }
}

// The use rows of the request's source, every file or workbook of it, added up.
TImportResult ImportTekiyo(TAcisDB& db, const TAcisBuildRequest& request, const TBuildSteps& steps) {
  TImportResult sum;
  auto add = [&](const TImportResult& r) {
    sum.Rows += r.Rows;
    sum.Stored += r.Stored;
    sum.Rejected += r.Rejected;
    sum.DatesNull += r.DatesNull;
  };
  if (request.Source == 1) {
    if (request.TekiyoRows.empty()) throw std::runtime_error("登録適用部のデータがありません");
    for (size_t i = 0; i < request.TekiyoRows.size(); ++i) {
      steps.Announce(steps.Current(), static_cast<int>(i));
      add(db.ImportTekiyoGrid(*request.TekiyoRows[i]));
    }
  } else {
    if (request.TekiyoFiles.empty()) throw std::runtime_error("登録適用部のファイルがありません");
    for (size_t i = 0; i < request.TekiyoFiles.size(); ++i) {
      const std::string& f = request.TekiyoFiles[i];
      steps.Announce(steps.Current(), static_cast<int>(i));
      add(request.Source == 0 ? db.ImportAcisTekiyoCsv(f) : db.ImportTekiyoCsv(f));
    }
  }
  return sum;
}

// The build tables filled with the basics and the uses of the request's source.
void ImportSources(TAcisDB& db, const TAcisBuildRequest& request, TAcisBuildResult& res, TBuildSteps& steps) {
  steps.Begin("CreateBuildTables");
  db.CreateBuildTables();
  steps.Done();
  steps.Begin("import kihon");
  res.Kihon = ImportKihon(db, request);
  steps.Done();
  steps.Enter("import tekiyo");  // announced per file
  res.Tekiyo = ImportTekiyo(db, request, steps);
  steps.Done();
  if (res.Kihon.Stored == 0) throw std::runtime_error("登録基本部が 1 件も取り込めませんでした");
  if (res.Tekiyo.Stored == 0) throw std::runtime_error("登録適用部が 1 件も取り込めませんでした");
}

// Everything the searches read, derived from the imported rows: the product table, the crop
// and pest masters, the ingredient table, the indexes, the views and the data date.
void DeriveTables(TAcisDB& db, const TAcisBuildRequest& request, TBuildSteps& steps, const TAcisLogFn& log) {
  steps.Begin("FillTmKihon");
  db.FillTmKihon();
  steps.Done();
  steps.Begin("BuildMKihon");
  db.BuildMKihon();
  steps.Done();
  steps.Enter("masters");
  steps.Announce("UpdateMSakumotsu");
  db.UpdateMSakumotsu();
  steps.Announce("UpdateMByochu");
  db.UpdateMByochu();
  if (!db.TableExists("m_sakumotsu") || !db.TableExists("m_byochu"))
    throw std::runtime_error("作物・病害虫マスタ (m_sakumotsu, m_byochu) を作れませんでした");
  // The effect texts as every open of the database derives them from the classification
  // data: done here, the first open after the build finds nothing to rewrite.
  db.UpdateKihonKoka();
  steps.Done();
  steps.Begin("CreateSeibunTable");
  db.CreateSeibunTable();
  steps.Done();
  steps.Begin("CreateIndexes");
  db.CreateIndexes();
  // The look-up indexes of the result views, in acis.db and spec.db: a reader never makes them.
  CreateLookupIndexes(*db.FDb, log);
  steps.Done();
  steps.Begin("CreateTekiyoViews");
  db.CreateTekiyoViews();
  steps.Done();
  steps.Begin("SetLastUpdate");
  if (!request.DataDate.empty()) db.SetLastUpdate(request.DataDate);
  steps.Done();
}

// In the folder the build holds: finishes what a killed run left, and starts the build files
// (spec.db's copy, in which the masters are refreshed). Empty, or why not.
std::string StartBuildFiles(const std::string& dir, const std::string& temp, const std::string& tempSpec,
                            const TAcisLogFn& log, const TAcisPumpFn& pump) {
  if (RecoverDatabaseFolder(dir, log, pump) < 0)
    return "前回中断したデータベースの置き換えを完了できないため、作成しません: " + dir;
  RemoveDbFiles(temp);
  RemoveDbFiles(tempSpec);
  std::error_code ec;
  if (fs::exists(dir + "/spec.db", ec) && CopyFileAtomic(dir + "/spec.db", tempSpec) != TFileCopyResult::Ok) {
    RemoveDbFiles(tempSpec);
    return "spec.db を複製できません: " + tempSpec;
  }
  FaultPoint("build-copied");
  return {};
}

// The finished build files, on disk, in place of the pair. Empty, or why not.
std::string PutBuildInPlace(const std::string& dir, const std::string& temp, const std::string& tempSpec,
                            const TAcisPumpFn& pump) {
  // A build whose masters all came from acis.db itself never wrote the copy: an empty file
  // is an empty database.
  std::error_code ec;
  if (!fs::exists(tempSpec, ec)) std::ofstream(tempSpec, std::ios::binary).flush();
  if (!SyncFile(temp) || !SyncFile(tempSpec)) return "一時ファイルを書き込めません: " + temp;
  return SwapBuiltPair(dir, pump);
}

// The failure text of a build stopped in Step by What. An SQL failure shown earlier in the
// build (a master script whose commit failed, say) is the cause of what stopped it: it comes
// first.
std::string BuildFailureText(const std::string& step, const std::string& firstSqlError, const std::string& what) {
  return step + ": " + (firstSqlError.empty() || firstSqlError.find(what) != std::string::npos
                            ? what
                            : firstSqlError + " (" + what + ")");
}


}  // namespace

TAcisBuildResult BuildAcisDatabase(const TAcisBuildRequest& Request) {
  TAcisBuildResult res;
  const std::string dir = Request.DBDir.empty() ? "." : Request.DBDir;
  const std::string target = dir + "/acis.db";
  const std::string temp = OwnTempPath(target, "build");
  const std::string tempSpec = OwnTempPath(dir + "/spec.db", "build");
  res.DbFile = target;
  auto log = [&](const std::string& s) {
    if (Request.Log) Request.Log(s);
  };
  std::error_code ec;
  fs::create_directories(dir, ec);
  // One run at a time writes into the folder; what killed runs left there is finished or
  // removed first.
  TDbUpdateLock folderLock(dir);
  if (!folderLock.Held()) {
    res.Error = folderLock.Why();
    log("データベース作成失敗: " + res.Error);
    return res;
  }
  if (std::string why = StartBuildFiles(dir, temp, tempSpec, log, Request.Pump); !why.empty()) {
    res.Error = why;
    log("データベース作成失敗: " + res.Error);
    return res;
  }

  TAcisDBSettings settings = Request.Settings;
  settings.DBDir = dir;
  settings.DBDownSite = Request.Source;  // built here: the masters are refreshed
  // The masters are refreshed in a copy of spec.db that replaces it together with acis.db: a
  // failed build leaves spec.db as it was, and no reader pairs an old acis.db with a new
  // spec.db. New script copies take their place only then, too.
  settings.SpecFile = tempSpec;
  settings.DeferScriptCopies = true;
  std::vector<std::pair<std::string, std::string>> scriptCopies;
  auto dropScriptCopies = [&] {
    for (const auto& [fresh, local] : scriptCopies) fs::remove(fresh, ec);
  };

  std::unique_ptr<TAcisDB> db;
  TBuildSteps steps(Request, res);
  try {
    db = OpenBuildDatabase(temp, settings, Request);
    steps.Done();
    ImportSources(*db, Request, res, steps);
    DeriveTables(*db, Request, steps, log);
    scriptCopies = db->DeferredScriptCopies();
    db.reset();  // closes the files
  } catch (const std::exception& e) {
    res.Error = BuildFailureText(steps.Current(), db ? db->FirstSqlError() : std::string(), e.what());
    log("データベース作成失敗: " + res.Error);
    if (db) scriptCopies = db->DeferredScriptCopies();
    db.reset();
    RemoveDbFiles(temp);
    RemoveDbFiles(tempSpec);
    dropScriptCopies();
    return res;
  }
  auto fail = [&](const std::string& why) {
    res.Error = why;
    log(res.Error);
    RemoveDbFiles(temp);
    RemoveDbFiles(tempSpec);
    dropScriptCopies();
    return res;
  };
  if (std::string why = PutBuildInPlace(dir, temp, tempSpec, Request.Pump); !why.empty()) return fail(why);
  for (const auto& [fresh, local] : scriptCopies) {
    fs::rename(fresh, local, ec);
    if (ec) log(local + " を置き換えられません: " + ec.message());
  }
  res.Ok = true;
  return res;
}
