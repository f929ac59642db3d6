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
#include <cstdio>
#include <filesystem>
#include <string>

#include "bench_db.h"
#include "bench_full_db.h"
#include "bench_stats.h"
#include "foundation/check_tree_view.h"
#include "foundation/global.h"
#include "foundation/message_sink.h"
#include "frontend/crop/fra_sakumotsu_base.h"

namespace fs = std::filesystem;

namespace {

// Rows of a statement read as text: the baseline of a step.
double RawSql(const std::string& sql, long& rows) {
  return ReadAllText(*AcisDB->FDb, sql, rows);
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
  const std::string dbDir = FullDbDir(argc, argv);
  if (!EnsureFullDb(dbDir)) return 1;
  AcisDB = std::make_unique<TAcisDB>(dbDir + "/acis.db", FullDbSettings(dbDir));

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
  const double again = BestTime(3, [&] { frame.BuildTree(); });
  Line("tree build again (list kept)", again, base, rows);

  // One check with the higher groups, as the crop search then reads the text.
  QTreeWidgetItem* tomato = Node(frame, "トマト");
  if (!tomato) return 1;
  frame.actCheckUpperTree->setChecked(true);
  frame.actAutoTekiyoView->setChecked(false);
  const double upBase = BestTime(5, [&] { AcisDB->UpperGroup("トマト"); });
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
  const double search = BestTime(3, [&] { frame.SearchSakumotsu(); });
  Line("name search, broad 'る' into the list", search, sBase, rows);

  const double gBase = BestOf(3, [&] { return RawSql("SELECT * FROM spec.tekiyosakumotsu", rows); });
  const double groups = BestTime(3, [&] { frame.LoadSpecTables(); });
  Line("crop-group table (whole)", groups, gBase, rows);
  const double cBase = BestOf(3, [&] { return RawSql("SELECT * FROM spec.cvo WHERE sakumotsu != '';", rows); });
  const double cvo = BestTime(3, [&] { frame.LoadCvoTable(); });
  Line("CVO table (all families)", cvo, cBase, rows);
  AcisDB.reset();
  return 0;
}
