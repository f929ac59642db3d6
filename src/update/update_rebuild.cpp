// The rebuild of acis.db from the unpacked files of a data source: the public service's CSV
// files (0), its workbooks (1) or the mirror's CSV set (2). The database is built into a
// temporary file and replaces acis.db only after its last step; until then AcisDB keeps the
// previous database open.
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <memory>

#include "database/acis_build.h"
#include "database/acis_db.h"
#include "database/import_rows.h"
#include "foundation/options.h"
#include "update/data_date.h"
#include "update/update_pages.h"
#include "update/update_runner.h"
#include "update/xbiff.h"
#include "update/xls_grid.h"

namespace fs = std::filesystem;

namespace {

bool FileExists(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// One workbook of the uses, read when the build first asks for its rows and let go after its
// last row, with the window's lines around the reading.
class TUpdateWorkbookRows : public TRowSource {
 public:
  TUpdateWorkbookRows(std::string file, std::string name, std::function<void(const std::string&)> log,
                      std::function<void(int)> progress, std::function<bool()> aborted)
      : file_(std::move(file)), name_(std::move(name)), log_(std::move(log)), progress_(std::move(progress)),
        aborted_(std::move(aborted)) {}

  bool NextRow(std::vector<std::string>& Row) override {
    if (done_) return false;
    Ensure();
    if (grid_->NextRow(Row)) return true;
    done_ = true;
    grid_.reset();
    return false;
  }
  int64_t RowCountHint() const override {
    Ensure();
    return rows_;
  }

 private:
  void Ensure() const {
    if (grid_ || done_) return;
    log_(name_ + ".xls 読込中");
    auto g = std::make_unique<TXlsGridRows>();
    g->OnProgress = progress_;
    g->Aborted = aborted_;
    g->Load(file_, name_);
    if (!g->SheetFound()) throw EXBiffError(file_ + ": シート " + name_ + " がありません");
    rows_ = g->Rows();
    if (g->OutsideCells() > 0)
      log_(name_ + ": 表の外のセル " + std::to_string(g->OutsideCells()) + " 個は取り込みません");
    log_(name_ + " データベース変換中");
    grid_ = std::move(g);
  }

  std::string file_, name_;
  std::function<void(const std::string&)> log_;
  std::function<void(int)> progress_;
  std::function<bool()> aborted_;
  mutable std::unique_ptr<TXlsGridRows> grid_;
  mutable int64_t rows_ = -1;
  bool done_ = false;
};

// The one file label shown bold: normal again when another one is shown, and when the object
// goes, so that no way out of a step (an exception included) leaves a label bold.
class TBoldLabel {
 public:
  explicit TBoldLabel(std::function<void(const std::string&, bool)> highlight) : highlight_(std::move(highlight)) {}
  ~TBoldLabel() { Show(""); }
  TBoldLabel(const TBoldLabel&) = delete;
  TBoldLabel& operator=(const TBoldLabel&) = delete;
  void Show(const std::string& label) {
    if (label == lit_) return;
    if (!lit_.empty()) highlight_(lit_, false);
    lit_ = label;
    if (!lit_.empty()) highlight_(lit_, true);
  }

 private:
  std::function<void(const std::string&, bool)> highlight_;
  std::string lit_;
};

}  // namespace

// What one source's import step hands the build, and what it shows while the build imports.
struct TUpdateRunner::TImportPlan {
  explicit TImportPlan(std::function<void(const std::string&, bool)> highlight) : Label(std::move(highlight)) {}
  TAcisBuildRequest Req;
  std::vector<std::unique_ptr<TRowSource>> Sheets;  // the workbooks' rows (ConvertXls)
  std::vector<std::string> TekiyoLabels;            // the file label of each uses file or sheet
  const char* ConvertedLine = "csv->acis.db 変換完了 ";
  std::chrono::steady_clock::time_point Start = std::chrono::steady_clock::now();
  // The lines of the build's "import kihon" and "import tekiyo" steps.
  std::function<void(const std::string& step, int index)> OnImport;
  TBoldLabel Label;
};

bool TUpdateRunner::ConvertAcisCsv(TImportPlan& Plan) {
  if (Abort) return false;
  TAcisBuildRequest& req = Plan.Req;
  // The basics archive holds its CSV under the name without "csv".
  std::string kihon = DownloadFile(fs::path(CsvNames[0]).replace_extension(".csv").string());
  if (!FileExists(kihon) || (unpacked_ && !unpackedFiles_.count(kihon))) {
    const std::string from = "登録基本部csv";
    for (size_t p = kihon.find(from); p != std::string::npos; p = kihon.find(from, p))
      kihon.replace(p, from.size(), "登録基本部");
  }
  req.KihonFile = kihon;
  req.TekiyoFiles.clear();
  for (int i = 1; i < 3; ++i)
    req.TekiyoFiles.push_back(DownloadFile(fs::path(CsvNames[i]).replace_extension(".csv").string()));
  Plan.TekiyoLabels = {kCsvLabels[1], kCsvLabels[2]};
  bool ok = true;
  for (const std::string& f : std::vector<std::string>{req.KihonFile, req.TekiyoFiles[0], req.TekiyoFiles[1]}) {
    if (FileExists(f) && CameFromUnpacking(f)) continue;
    Log(f + "オープン失敗");
    ok = false;
  }
  Plan.OnImport = [this, &Plan](const std::string& step, int index) {
    if (step == "import kihon") {
      Plan.Label.Show(kCsvLabels[0]);
      Log("登録基本部 データベース変換中");
      Log(Plan.Req.KihonFile);
    } else {
      Plan.Label.Show(Plan.TekiyoLabels[index]);
      Log(Plan.TekiyoLabels[index] + " データベース変換中");
      Log(Plan.Req.TekiyoFiles[index]);
    }
  };
  return ok;
}

bool TUpdateRunner::ConvertXls(TImportPlan& Plan) {
  if (Abort) return false;
  Plan.ConvertedLine = "xls->acis.db 変換完了 ";
  FileIndex = 0;
  auto progress = [this](int pct) {
    if (pct % 5 == 0) Progress(pct, 100);
    Pump();
  };
  const std::string base = kXlsArchives[0].baseName;
  const std::string file = DownloadFile(base + ".xls");
  try {
    // The basics workbook is read first: its cell A1 carries the data date.
    Plan.Label.Show(base);
    Log(base + ".xls 読込中");
    auto kihon = std::make_unique<TXlsGridRows>();
    kihon->OnProgress = progress;
    kihon->Aborted = [this] { return Abort; };
    kihon->Load(file, base, true);
    if (!kihon->SheetFound()) throw EXBiffError(file + ": シート " + base + " がありません");
    if (kihon->OutsideCells() > 0)
      Log(base + ": 表の外のセル " + std::to_string(kihon->OutsideCells()) + " 個は取り込みません");
    const std::string a1 = DataDateText(kihon->DateSentence());
    if (IsKnownDataDate(a1)) Log("更新日取得:" + a1);
    // The page copy's date wins: the start-up check compares the database with it.
    const std::string page = PageDateText(DownloadFile(kPageXls), 1);
    UpdateDate = IsKnownDataDate(page) ? page : (IsKnownDataDate(a1) ? a1 : std::string());
    Plan.Label.Show("");
    Plan.Req.KihonRows = kihon.get();
    Plan.Sheets.push_back(std::move(kihon));
  } catch (const std::exception& e) {
    Log(e.what());
    Plan.Label.Show("");
    return false;
  }
  // The uses workbooks are read one at a time as the build asks for their rows.
  for (int i = 1; i < 5; ++i) {
    const std::string name = kXlsArchives[i].baseName;
    Plan.Sheets.push_back(std::make_unique<TUpdateWorkbookRows>(
        DownloadFile(name + ".xls"), name, [this](const std::string& l) { Log(l); }, progress,
        [this] { return Abort; }));
    Plan.Req.TekiyoRows.push_back(Plan.Sheets.back().get());
    Plan.TekiyoLabels.push_back(name);
  }
  Plan.OnImport = [this, &Plan, base](const std::string& step, int index) {
    if (step == "import kihon") {
      Plan.Label.Show(base);
      Log(base + " データベース変換中");
    } else {
      FileIndex = index + 1;
      Plan.Label.Show(Plan.TekiyoLabels[index]);
    }
  };
  return true;
}

bool TUpdateRunner::ConvertVeskCsv(TImportPlan& Plan) {
  if (Abort) return false;
  UpdateDate = PageDateText(DownloadFile(kPageMirror), 2);
  Plan.Req.KihonFile = DownloadFile("kihon.csv");
  Plan.Req.TekiyoFiles = {DownloadFile("tekiyo.csv")};
  Plan.TekiyoLabels = {"登録適用部"};
  Plan.OnImport = [this, &Plan](const std::string& step, int) {
    if (step == "import kihon") {
      Plan.Label.Show("登録基本部");
      Log("kihon.csv データベース変換中");
    } else {
      Plan.Label.Show("登録適用部");
      Log("tekiyo.csv データベース変換中");
    }
  };
  return true;
}

bool TUpdateRunner::RebuildDB() {
  const auto t0 = std::chrono::steady_clock::now();
  // 1. Every source file must be there before anything else happens.
  std::vector<std::string> sources;
  switch (Mode) {
    case 0:
      if (CsvNames[0].empty()) AcisCsvInfoSet();
      for (int i = 0; i < 3; ++i)
        sources.push_back(CsvNames[i].empty() ? DownloadFile(std::string(kCsvLabels[i]) + " (CSV)")
                                              : DownloadFile(CsvNames[i]));
      break;
    case 1:
      for (const TXlsArchive& a : kXlsArchives) sources.push_back(DownloadFile(std::string(a.baseName) + ".xls"));
      break;
    case 2:
      sources = {DownloadFile("kihon.csv"), DownloadFile("tekiyo.csv")};
      break;
    default:
      Log("このデータソースはデータベースを作り直しません");
      return false;
  }
  bool all = true;
  for (const std::string& f : sources) {
    // The public CSV sources are the archives; their files are checked by the import step.
    if (FileExists(f) && (Mode == 0 || CameFromUnpacking(f))) continue;
    Log(f + "なし");
    all = false;
  }
  Abort = !all;
  if (Abort) {
    // A whole update says it once, at its end.
    if (!InSequence) Log("データ更新中止!");
    return false;
  }
  if (!DatabaseFolderWritable(false)) {
    Abort = true;
    return false;
  }

  // 2. The database being replaced stays open (and usable) until the new one is in place.
  OldDb = AcisDB && AcisDB->GetVersion() < 120413;

  // 3. The build request.
  options_.DBDownSite = static_cast<std::uint8_t>(Mode);
  if (!InSequence) Buttons(false);
  Busy(true);
  TImportPlan plan([this](const std::string& label, bool bold) { Highlight(label, bold); });
  TAcisBuildRequest& req = plan.Req;
  req.DBDir = options_.DBDir;
  req.Settings = UpdateDbSettings(options_);
  req.Source = Mode;
  req.Log = [this](const std::string& l) { Log(l); };
  req.Progress = [this](int64_t pos, int64_t max) { Progress(pos, max); };
  req.Pump = [this] { Pump(); };
  req.Aborted = [this] {
    Pump();
    return Abort;
  };

  // 4. The import step of the source.
  bool ok = false;
  try {
    switch (Mode) {
      case 0: ok = ConvertAcisCsv(plan); break;
      case 1: ok = ConvertXls(plan); break;
      case 2: ok = ConvertVeskCsv(plan); break;
    }
  } catch (const std::exception& e) {
    Log(e.what());
    ok = false;
  }
  if (!ok || Abort) {
    plan.Label.Show("");
    Abort = true;
    Progress(0, 100);
    Busy(false);
    if (!InSequence) Buttons(true);
    return false;
  }
  req.DataDate = IsKnownDataDate(UpdateDate) ? UpdateDate : std::string();

  // 5. The build, with the window's lines and bar at each step.
  req.OnStep = [&](const std::string& step, int index) {
    if (step == "CreateBuildTables") {
      Log("テーブル作成");
    } else if (step == "import kihon" || step == "import tekiyo") {
      if (plan.OnImport) plan.OnImport(step, index);
    } else if (step == "FillTmKihon") {
      plan.Label.Show("");
      if (Mode == 1) FileIndex = 5;
      Log(plan.ConvertedLine + ElapsedSeconds(plan.Start) + "秒");
      Progress(0, 100);
      Progress(1, 100);
      Log("登録基本部マスターテーブル(m_kihon)作成");
    } else if (step == "BuildMKihon") {
      Progress(10, 100);
      Log("m_kihon > 有効成分１～５フィールド作成");
    } else if (step == "UpdateMSakumotsu") {
      Progress(20, 100);
      Log("作物名マスターテーブル群作成");
    } else if (step == "UpdateMByochu") {
      Progress(30, 100);
      Log("病害虫名マスターテーブル群作成");
    } else if (step == "CreateSeibunTable") {
      Progress(40, 100);
      Log("有効成分テーブル(seibun)作成");
    } else if (step == "CreateIndexes") {
      Progress(50, 100);
      Progress(74, 100);
      Log("インデックス作成開始");
    } else if (step == "CreateTekiyoViews") {
      Log("インデックス作成終了");
      Progress(92, 100);
      Log("ビュー作成開始");
    } else if (step == "SetLastUpdate") {
      Progress(95, 100);
      Log("ビュー作成終了");
    }
  };

  const TAcisBuildResult res = BuildAcisDatabase(req);
  plan.Label.Show("");
  plan.Sheets.clear();
  if (res.Ok) {
    Progress(100, 100);
    Log("更新日設定 > " + UpdateDate);
    // The new database is in place: the object moves over to it.
    if (!ReopenAcisDB()) ok = false;
  } else {
    ok = false;
    // The classification and crop/pest tables come from the master scripts; without them no
    // database can be made. Said only when the build stopped at a step that needs them (not
    // when, say, its files could not be made).
    bool needsMasters = false;
    for (const char* step : {"FillTmKihon: ", "BuildMKihon: ", "masters: ", "CreateSeibunTable: ", "CreateIndexes: ",
                             "CreateTekiyoViews: "})
      needsMasters = needsMasters || res.Error.rfind(step, 0) == 0;
    for (const char* script : {"sakumotsu.txt", "byochu.txt", "spec.bunrui.txt"}) {
      if (!needsMasters) break;
      if (FileExists(DownloadFile(script))) continue;
      Log(std::string("マスタースクリプト (") + script +
          ") を取得できませんでした。ミラーサイトか共有フォルダから取得できるようにしてください。");
      break;
    }
  }
  if (ok) {
    Log("データ更新完了");
    Updated = true;
  } else {
    Abort = true;
  }
  Log("データベース更新時間 " + ElapsedSeconds(t0) + "秒");
  Progress(0, 100);
  Busy(false);
  if (!InSequence) Buttons(true);
  return ok;
}
