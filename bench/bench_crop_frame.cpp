// The crop-selection frame on the full-size sample register (offscreen): the tree build after
// the database opened, one check in the tree with the higher groups (the selection text the
// crop search reads), the crop-name search into the result list, and the crop-group and CVO
// tables.  Beside each figure the baseline measured in the same run: the raw SQL the step
// needs, rows read as text without any widget.
//
// usage: bench_crop_frame [DBDIR]
// DBDIR holds acis.db and spec.db built from the full-size register; by default
// <build>/data-full-db, generated (tools/gen_sample) and built on first use.
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "database/acis_build.h"
#include "database/acis_db.h"
#include "foundation/check_tree_view.h"
#include "foundation/global.h"
#include "foundation/message_sink.h"
#include "frontend/fra_sakumotsu_base.h"

namespace fs = std::filesystem;

namespace {

double Now() { return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count(); }

bool BuildFullDb(const std::string& dbDir) {
  const std::string data = std::string(QM_BINARY_DIR) + "/data-full";
  if (!fs::exists(data + "/mirror/kihon.csv")) {
    std::printf("generating the full-size register into %s ...\n", data.c_str());
    const std::string cmd = "/usr/bin/python3 " + std::string(QM_SOURCE_DIR) + "/tools/gen_sample/gen_sample.py --out " +
                            data + " --size full > /dev/null";
    if (std::system(cmd.c_str()) != 0) return false;
  }
  std::printf("building %s/acis.db ...\n", dbDir.c_str());
  TAcisBuildRequest req;
  req.DBDir = dbDir;
  req.Settings.UseLAN = true;
  req.Settings.dirLAN = data + "/masters";
  req.Settings.DownloadDir = dbDir + "/download";
  fs::create_directories(req.Settings.DownloadDir);
  req.Source = 2;
  req.KihonFile = data + "/mirror/kihon.csv";
  req.TekiyoFiles = {data + "/mirror/tekiyo.csv"};
  TAcisBuildResult r = BuildAcisDatabase(req);
  if (!r.Ok) std::printf("build failed: %s\n", r.Error.c_str());
  return r.Ok;
}

// Rows of a statement read as text: the baseline of a step.
double RawSql(const std::string& sql, long& rows) {
  const double t0 = Now();
  TSQLiteStmt st = AcisDB->FDb->Prepare(sql);
  rows = 0;
  size_t bytes = 0;
  const int cols = st.ColumnCount();
  while (st.Step()) {
    ++rows;
    for (int c = 0; c < cols; ++c) bytes += st.ColumnText(c).size();
  }
  if (bytes == 1) std::printf(" ");
  return Now() - t0;
}

template <typename F>
double BestOf(int runs, F f) {
  double best = 1e9;
  for (int i = 0; i < runs; ++i) best = std::min(best, f());
  return best;
}

void Line(const char* what, double secs, double base, long rows) {
  std::printf("%-44s %9.1f ms   baseline %8.1f ms   (%ld rows)\n", what, secs * 1000, base * 1000, rows);
}

QTreeWidgetItem* Node(TfraSakumotsuBase& f, const std::string& name) {
  QTreeWidgetItem* found = nullptr;
  ForEachTreeNode(f.tvSakumotsu, [&](QTreeWidgetItem* n) {
    if (!found && n->text(0).toStdString() == name) found = n;
  });
  return found;
}

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  TLogMessageSink sink([](const std::string&) {});
  TScopedMessageSink scoped(&sink);
  InitGlobals(fs::temp_directory_path().string());
  const std::string dbDir = argc > 1 ? argv[1] : std::string(QM_BINARY_DIR) + "/data-full-db";
  if (!fs::exists(dbDir + "/acis.db")) {
    fs::create_directories(dbDir);
    if (!BuildFullDb(dbDir)) return 1;
  }
  TAcisDBSettings s;
  s.DBDir = dbDir;
  s.DownloadDir = dbDir;
  s.DBDownSite = 3;
  AcisDB = std::make_unique<TAcisDB>(dbDir + "/acis.db", s);

  long rows = 0;
  TfraSakumotsuBase frame;
  frame.resize(300, 800);
  frame.show();
  const double base = BestOf(3, [&] {
    return RawSql("SELECT class,idsaku,toroku,shukakubui,sakumotsu,betsumei,gunmei FROM vg_sakumotsu2;", rows);
  });
  const double t0 = Now();
  frame.BuildTree();
  const double first = Now() - t0;
  Line("tree build, first (list load + nodes)", first, base, rows);
  const double again = BestOf(3, [&] {
    const double t = Now();
    frame.BuildTree();
    return Now() - t;
  });
  Line("tree build again (list kept)", again, base, rows);

  // One check with the higher groups, as the crop search then reads the text.
  QTreeWidgetItem* tomato = Node(frame, "トマト");
  if (!tomato) return 1;
  frame.actCheckUpperTree->setChecked(true);
  frame.actAutoTekiyoView->setChecked(false);
  const double upBase = BestOf(5, [&] {
    const double t = Now();
    AcisDB->UpperGroup("トマト");
    return Now() - t;
  });
  const double check = BestOf(5, [&] {
    tomato->setCheckState(0, Qt::Unchecked);
    const double t = Now();
    tomato->setCheckState(0, Qt::Checked);
    return Now() - t;
  });
  if (frame.Selection.find("トマト") == std::string::npos) return 1;
  Line("one tree check (upper groups, text)", check, upBase, 1);

  // Name search: a broad word with many hits.
  frame.pgSakumotsu->setCurrentIndex(1);
  frame.actBroadMatch->trigger();
  frame.edtInput->setText("る");
  const std::string sql = SakumotsuSearchSql("る", TCropMatch::Broad);
  const double sBase = BestOf(3, [&] { return RawSql(sql, rows); });
  const double search = BestOf(3, [&] {
    const double t = Now();
    frame.SearchSakumotsu();
    return Now() - t;
  });
  Line("name search, broad 'る' into the list", search, sBase, rows);

  const double gBase = BestOf(3, [&] { return RawSql("SELECT * FROM spec.tekiyosakumotsu", rows); });
  const double groups = BestOf(3, [&] {
    const double t = Now();
    frame.LoadSpecTables();
    return Now() - t;
  });
  Line("crop-group table (whole)", groups, gBase, rows);
  const double cBase = BestOf(3, [&] { return RawSql("SELECT * FROM spec.cvo WHERE sakumotsu != '';", rows); });
  const double cvo = BestOf(3, [&] {
    const double t = Now();
    frame.LoadCvoTable();
    return Now() - t;
  });
  Line("CVO table (all families)", cvo, cBase, rows);
  AcisDB.reset();
  return 0;
}
