// Crops chosen in the crop frame of the main window on the full-size register (generated and
// built once for this program): the grid against counts made independently in SQL, without
// the program's regexp or crop-code patterns.  A group the user ticks covers every crop in
// it; the groups the frame adds on a crop's behalf stand for their own registrations; ticking
// one more crop never shrinks the result; neighbour crops keep their groups and list each use
// once.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTreeWidgetItem>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "common/test_support.h"
#include "database/acis_build.h"
#include "database/acis_db.h"
#include "foundation/check_tree_view.h"
#include "foundation/comma_text.h"
#include "foundation/global.h"
#include "foundation/message_sink.h"
#include "frontend/crop/crop_chooser_views.h"
#include "frontend/crop/crop_search.h"
#include "frontend/crop/fra_sakumotsu_base.h"
#include "frontend/frm_main.h"
#include "frontend/main_pages.h"
#include "frontend/search_tab.h"
#include "frontend/support_main_window.h"
#include "output/xls_string_grid.h"

namespace {

// The full-size register, generated and built once per program.
const std::string& FullDbDir() {
  static QTemporaryDir root;
  static const std::string dir = [] {
    const std::string base = root.path().toStdString();
    QProcess gen;
    gen.start("/usr/bin/python3", {QString::fromStdString(SourcePath("tools/gen_sample/gen_sample.py")), "--out",
                                   QString::fromStdString(base + "/data"), "--size", "full"});
    if (!gen.waitForFinished(300000) || gen.exitCode() != 0) return std::string();
    TAcisBuildRequest req;
    req.DBDir = base + "/db";
    req.Settings.UseLAN = true;
    req.Settings.dirLAN = base + "/data/masters";
    req.Settings.DownloadDir = base + "/download";
    QDir().mkpath(QString::fromStdString(req.Settings.DownloadDir));
    req.Source = 2;
    req.KihonFile = base + "/data/mirror/kihon.csv";
    req.TekiyoFiles = {base + "/data/mirror/tekiyo.csv"};
    TLogMessageSink sink([](const std::string&) {});
    TScopedMessageSink scoped(&sink);
    return BuildAcisDatabase(req).Ok ? req.DBDir : std::string();
  }();
  return dir;
}

// One main window on a copy of the full register, shared by the tests of this program.
struct TFullWindow {
  TMainWindowFixture Fx;
  std::unique_ptr<TfrmMain> W;
  TfraSakumotsuBase* Frame = nullptr;
  TCropSearch* Cs = nullptr;

  bool Open() {
    const std::string& src = FullDbDir();
    if (src.empty()) return false;
    QDir().mkpath(QString::fromStdString(Fx.DBDir()));
    for (const char* f : {"acis.db", "spec.db"})
      if (!QFile::copy(QString::fromStdString(src + "/" + f), QString::fromStdString(Fx.DBDir() + "/" + f)))
        return false;
    // Plain views (number, crop, pest first); the tree searches on each tick with the groups.
    Fx.WriteIni("[NET]\nDownSite=3\n[OPTIONS]\nTushoMode=0\nSeibunViewMode=0\nKeitoViewMode=0\n"
                "SakumotsuTreeUpperOn=1\nSakumotsuTreeAutoTekiyoView=1\n");
    W = std::make_unique<TfrmMain>();
    InstallSearchPages(*W);
    W->show();
    Pump();
    Frame = qobject_cast<TfraSakumotsuBase*>(W->fraSakumotsu);
    Cs = dynamic_cast<TCropSearch*>(W->SearchHandler(tiSakumotsu));
    return AcisDB && Frame && Cs;
  }

  QTreeWidgetItem* Node(const std::string& Name) const {
    QTreeWidgetItem* found = nullptr;
    ForEachTreeNode(Frame->tvSakumotsu, [&](QTreeWidgetItem* n) {
      if (!found && n->text(0).toStdString() == Name) found = n;
    });
    return found;
  }

  // Ticks these crops in the tree of the given side, one after another as a user does.
  void Tick(const std::vector<std::string>& Names) {
    for (const std::string& n : Names) {
      QTreeWidgetItem* node = Node(n);
      ASSERT_NE(node, nullptr) << n;
      node->setCheckState(0, Qt::Checked);
      Pump(1);
    }
  }
  void Clear() {
    if (!Frame->MainMode()) Frame->tbMainClick();
    Frame->actTreeCheckOffExecute();
    Pump(1);
  }
};

TFullWindow* g_window = nullptr;

class TFullWindowEnv : public ::testing::Environment {
 public:
  void TearDown() override {
    delete g_window;
    g_window = nullptr;
  }
};
const auto* g_env = ::testing::AddGlobalTestEnvironment(new TFullWindowEnv);

TFullWindow* Window() {
  if (!g_window) {
    g_window = new TFullWindow;
    if (!g_window->Open()) {
      delete g_window;
      g_window = nullptr;
    }
  }
  return g_window;
}

int64_t Count(const std::string& Sql) {
  auto t = AcisDB->FDb->GetTable(Sql);
  return std::stoll(t->Fields(0));
}

std::string Quoted(const std::string& s) {
  std::string out = "'";
  for (char c : s) out += c == '\'' ? std::string("''") : std::string(1, c);
  return out + "'";
}

// Crop codes a name covers when chosen: the crop of that name and every crop listing it among
// its groups, less those whose exclusions name it, plus those whose inclusions name it.
std::string CoverSql(const std::string& Name) {
  const std::string n = Quoted("、" + Name + "、");
  return "SELECT s.idsaku FROM m_sakumotsu s LEFT JOIN sakuhojo h USING(idsaku) WHERE ((s.sakumotsu = " +
         Quoted(Name) + " OR instr('、'||coalesce(h.shozoku,'')||'、', " + n +
         ") > 0) AND instr('、'||coalesce(h.nozoku,'')||'、', " + n + ") = 0) OR instr('、'||coalesce(h.fukumu,'')||'、', " +
         n + ") > 0";
}

// The codes of a selection: the chosen names' cover, the added names' own crops.
std::string CodesSql(const std::vector<std::string>& Chosen, const std::vector<std::string>& Added) {
  std::string sql;
  for (const std::string& c : Chosen) sql += (sql.empty() ? "" : " UNION ") + CoverSql(c);
  for (const std::string& a : Added)
    sql += (sql.empty() ? "" : " UNION ") + std::string("SELECT idsaku FROM m_sakumotsu WHERE sakumotsu = ") + Quoted(a);
  return sql;
}

// Use rows (m_tekiyo, crops by name) on the crops of a code list.
std::string UsesSql(const std::string& Codes) {
  return "SELECT a.rowid AS r, a.bango, a.sakumotsu FROM m_tekiyo a JOIN m_sakumotsu s USING(sakumotsu) WHERE "
         "s.idsaku IN (" +
         Codes + ")";
}

std::vector<std::string> Without(const std::vector<std::string>& All, const std::vector<std::string>& Drop) {
  std::vector<std::string> out;
  for (const std::string& n : All)
    if (std::find(Drop.begin(), Drop.end(), n) == Drop.end()) out.push_back(n);
  return out;
}

int GridRows() { return g_window->W->gdTekiyo->isHidden() ? 0 : g_window->W->gdTekiyo->RowCount() - 1; }

#define FULL_WINDOW(w)                                                   \
  TFullWindow* w = Window();                                             \
  ASSERT_NE(w, nullptr) << "the full-size register could not be built"; \
  w->Clear()

}  // namespace

// Ticking crops one after another: each result is the independent count of the chosen names'
// cover and the added groups' own crops, and never smaller than the one before.
TEST(CropSelectionFull, TickedGroupsCoverTheirCropsAndMoreTicksNeverShrink) {
  FULL_WINDOW(w);
  struct Walk {
    std::vector<std::string> ticks;
  };
  const Walk walks[] = {{{"果菜類", "トマト"}}, {{"野菜類", "なす"}}, {{"トマト", "果菜類"}}, {{"きゅうり", "なす"}}};
  for (const Walk& walk : walks) {
    w->Clear();
    int64_t before = 0;
    std::vector<std::string> ticked;
    for (const std::string& t : walk.ticks) {
      const int searches = w->Cs->SearchCount;
      w->Tick({t});
      ticked.push_back(t);
      EXPECT_EQ(w->Cs->SearchCount, searches + 1) << t;
      const std::vector<std::string> all = CommaTextToList(w->Frame->Selection);
      const std::vector<std::string> added = Without(all, ticked);
      EXPECT_EQ(added, w->Frame->SelectionAdded) << w->Frame->Selection;
      const int64_t want = Count("SELECT count(*) FROM (" + UsesSql(CodesSql(ticked, added)) + ")");
      EXPECT_EQ(GridRows(), want) << w->Frame->Selection;
      EXPECT_EQ(Count("SELECT count(*) FROM ttTekiyoSaku"), want);
      EXPECT_GE(want, before) << "ticking " << t << " shrank the result";
      EXPECT_EQ(w->W->StatusText(3), QString::number(want) + "件");
      before = want;
    }
  }
  // A ticked group lists every crop of the group: 果菜類 with トマト ticked lists なす too.
  w->Clear();
  w->Tick({"果菜類", "トマト"});
  EXPECT_GT(Count("SELECT count(*) FROM ttTekiyoSaku WHERE sakumotsu = 'なす'"), 0);
  // トマト alone with its groups: the groups' own uses, no sibling crop's.
  w->Clear();
  w->Tick({"トマト"});
  EXPECT_EQ(Count("SELECT count(*) FROM ttTekiyoSaku WHERE sakumotsu = 'なす'"), 0);
  EXPECT_GT(Count("SELECT count(*) FROM ttTekiyoSaku WHERE sakumotsu = '野菜類'"), 0);
  EXPECT_GT(Count("SELECT count(*) FROM ttTekiyoSaku WHERE sakumotsu = 'なす科野菜類'"), 0);
}

// A cultivation form (level 5) with its groups: the crop above it comes in on its behalf and
// stands for its own uses, not for the other forms or ミニトマト.
TEST(CropSelectionFull, ALevelFiveCropBringsItsCropForItsOwnUses) {
  FULL_WINDOW(w);
  w->Tick({"トマト(施設栽培)"});
  const std::vector<std::string> all = CommaTextToList(w->Frame->Selection);
  ASSERT_NE(std::find(all.begin(), all.end(), "トマト"), all.end()) << w->Frame->Selection;
  const std::vector<std::string> added = Without(all, {"トマト(施設栽培)"});
  EXPECT_EQ(added, w->Frame->SelectionAdded);
  const int64_t want = Count("SELECT count(*) FROM (" + UsesSql(CodesSql({"トマト(施設栽培)"}, added)) + ")");
  EXPECT_EQ(GridRows(), want);
  EXPECT_GT(Count("SELECT count(*) FROM ttTekiyoSaku WHERE sakumotsu = 'トマト'"), 0);
  EXPECT_GT(Count("SELECT count(*) FROM ttTekiyoSaku WHERE sakumotsu = 'トマト(施設栽培)'"), 0);
  for (const char* other : {"ミニトマト", "トマト(露地栽培)"})
    EXPECT_EQ(Count(std::string("SELECT count(*) FROM ttTekiyoSaku WHERE sakumotsu = '") + other + "'"), 0) << other;
}

// Neighbour crops keep the groups both sides share: a product registered on 野菜類 applies to
// both sides and is listed, each of its uses once.
TEST(CropSelectionFull, NeighbourCropsKeepSharedGroupsAndListEachUseOnce) {
  FULL_WINDOW(w);
  w->Tick({"トマト"});
  const std::vector<std::string> mainAll = CommaTextToList(w->Frame->Selection);
  w->Frame->tbKinsetsuClick();
  w->Tick({"なす"});
  const std::vector<std::string> subAll = CommaTextToList(w->Frame->Kinsetsu);
  ASSERT_NE(std::find(subAll.begin(), subAll.end(), "野菜類"), subAll.end()) << w->Frame->Kinsetsu;
  EXPECT_EQ(Without(subAll, {"なす"}), w->Frame->KinsetsuAdded);

  const std::string mainUses = UsesSql(CodesSql({"トマト"}, Without(mainAll, {"トマト"})));
  const std::string subUses = UsesSql(CodesSql({"なす"}, Without(subAll, {"なす"})));
  const std::string want = "SELECT r FROM (" + mainUses + " UNION " + subUses + ") WHERE bango IN (SELECT bango FROM (" +
                           mainUses + ")) AND bango IN (SELECT bango FROM (" + subUses + "))";
  const int64_t rows = Count("SELECT count(*) FROM (" + want + ")");
  ASSERT_GT(rows, 0);
  EXPECT_EQ(GridRows(), rows);
  EXPECT_EQ(Count("SELECT count(*) FROM ttTekiyoSaku"), rows);
  // The uses registered on the shared group are there, once each.
  const int64_t onGroup = Count("SELECT count(*) FROM (" + want + ") JOIN m_tekiyo a ON a.rowid = r WHERE a.sakumotsu = '野菜類'");
  EXPECT_GT(onGroup, 0);
  EXPECT_EQ(Count("SELECT count(*) FROM ttTekiyoSaku WHERE sakumotsu = '野菜類'"), onGroup);
}
