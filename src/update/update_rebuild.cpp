// The rebuild of acis.db from the unpacked files of a data source: the public service's CSV
// files (0), its workbooks (1) or the mirror's CSV set (2). The database is built into a
// temporary file and replaces acis.db only after its last step; until then AcisDB keeps the
// previous database open.
#include <sys/stat.h>

#include <chrono>
#include <cstdio>
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

std::string Seconds(double s) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%5.1f", s);
  return buf;
}

double Since(std::chrono::steady_clock::time_point t0) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
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

}  // namespace

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
    if (FileExists(f)) continue;
    Log(f + "なし");
    all = false;
  }
  Abort = !all;
  if (Abort) {
    Log("データ更新中止!");
    return false;
  }

  // 2. The database being replaced stays open (and usable) until the new one is in place.
  OldDb = AcisDB && AcisDB->GetVersion() < 120413;

  // 3. The build request.
  options_.DBDownSite = static_cast<std::uint8_t>(Mode);
  if (!InSequence) Buttons(false);
  Busy(true);
  TAcisBuildRequest req;
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
  std::vector<std::unique_ptr<TRowSource>> sheets;
  std::vector<std::string> tekiyoLabels;
  const char* convertedLine = "csv->acis.db 変換完了 ";
  bool ok = true;
  std::string why;
  const auto importStart = std::chrono::steady_clock::now();
  try {
    switch (Mode) {
      case 0: {
        // The basics archive holds its CSV under the name without "csv".
        std::string kihon = DownloadFile(fs::path(CsvNames[0]).replace_extension(".csv").string());
        if (!FileExists(kihon)) {
          const std::string from = "登録基本部csv";
          for (size_t p = kihon.find(from); p != std::string::npos; p = kihon.find(from, p))
            kihon.replace(p, from.size(), "登録基本部");
        }
        req.KihonFile = kihon;
        for (int i = 1; i < 3; ++i)
          req.TekiyoFiles.push_back(DownloadFile(fs::path(CsvNames[i]).replace_extension(".csv").string()));
        tekiyoLabels = {kCsvLabels[1], kCsvLabels[2]};
        for (const std::string& f : std::vector<std::string>{req.KihonFile, req.TekiyoFiles[0], req.TekiyoFiles[1]}) {
          if (!FileExists(f)) {
            Log(f + "オープン失敗");
            ok = false;
          }
        }
        break;
      }
      case 1: {
        convertedLine = "xls->acis.db 変換完了 ";
        FileIndex = 0;
        const std::string base = kXlsArchives[0].baseName;
        Highlight(base, true);
        Log(base + ".xls 読込中");
        auto kihon = std::make_unique<TXlsGridRows>();
        kihon->OnProgress = [this](int pct) {
          if (pct % 5 == 0) Progress(pct, 100);
          Pump();
        };
        kihon->Aborted = [this] { return Abort; };
        kihon->Load(DownloadFile(base + ".xls"), base, true);
        if (!kihon->SheetFound()) throw EXBiffError(DownloadFile(base + ".xls") + ": シート " + base + " がありません");
        if (kihon->OutsideCells() > 0)
          Log(base + ": 表の外のセル " + std::to_string(kihon->OutsideCells()) + " 個は取り込みません");
        const std::string a1 = DataDateText(kihon->DateSentence());
        if (IsKnownDataDate(a1)) Log("更新日取得:" + a1);
        // The page copy's date wins: the start-up check compares the database with it.
        const std::string page = PageDateText(DownloadFile(kPageXls), 1);
        UpdateDate = IsKnownDataDate(page) ? page : (IsKnownDataDate(a1) ? a1 : std::string());
        Highlight(base, false);
        req.KihonRows = kihon.get();
        sheets.push_back(std::move(kihon));
        for (int i = 1; i < 5; ++i) {
          const std::string name = kXlsArchives[i].baseName;
          sheets.push_back(std::make_unique<TUpdateWorkbookRows>(
              DownloadFile(name + ".xls"), name, [this](const std::string& l) { Log(l); },
              [this](int pct) {
                if (pct % 5 == 0) Progress(pct, 100);
                Pump();
              },
              [this] { return Abort; }));
          req.TekiyoRows.push_back(sheets.back().get());
          tekiyoLabels.push_back(name);
        }
        break;
      }
      case 2:
        UpdateDate = PageDateText(DownloadFile(kPageMirror), 2);
        req.KihonFile = DownloadFile("kihon.csv");
        req.TekiyoFiles = {DownloadFile("tekiyo.csv")};
        tekiyoLabels = {"登録適用部"};
        break;
    }
  } catch (const std::exception& e) {
    Log(e.what());
    ok = false;
  }
  if (!ok || Abort) {
    Abort = true;
    Busy(false);
    if (!InSequence) Buttons(true);
    Progress(0, 100);
    return false;
  }
  req.DataDate = IsKnownDataDate(UpdateDate) ? UpdateDate : std::string();

  std::string lit;  // the label shown bold now
  auto light = [&](const std::string& label) {
    if (!lit.empty()) Highlight(lit, false);
    lit = label;
    if (!lit.empty()) Highlight(lit, true);
  };
  req.OnStep = [&](const std::string& step, int index) {
    if (step == "CreateBuildTables") {
      Log("テーブル作成");
    } else if (step == "import kihon") {
      if (Mode == 0) {
        light(kCsvLabels[0]);
        Log("登録基本部 データベース変換中");
        Log(req.KihonFile);
      } else if (Mode == 1) {
        Log(std::string(kXlsArchives[0].baseName) + " データベース変換中");
      } else {
        light("登録基本部");
        Log("kihon.csv データベース変換中");
      }
    } else if (step == "import tekiyo") {
      FileIndex = index + 1;
      light(index < static_cast<int>(tekiyoLabels.size()) ? tekiyoLabels[index] : std::string());
      if (Mode == 0) {
        Log(tekiyoLabels[index] + " データベース変換中");
        Log(req.TekiyoFiles[index]);
      } else if (Mode == 2) {
        Log("tekiyo.csv データベース変換中");
      }
    } else if (step == "FillTmKihon") {
      light("");
      FileIndex = Mode == 1 ? 5 : FileIndex;
      Log(convertedLine + Seconds(Since(importStart)) + "秒");
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
  light("");
  sheets.clear();
  if (res.Ok) {
    Progress(100, 100);
    Log("更新日設定 > " + UpdateDate);
    // The new database is in place: the object moves over to it.
    if (!ReopenAcisDB()) ok = false;
  } else {
    ok = false;
    // The classification and crop/pest tables come from the master scripts; without them no
    // database can be made.
    for (const char* script : {"sakumotsu.txt", "byochu.txt", "spec.bunrui.txt"}) {
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
  Log("データベース更新時間 " + Seconds(Since(t0)) + "秒");
  Progress(0, 100);
  Busy(false);
  if (!InSequence) Buttons(true);
  return ok;
}
