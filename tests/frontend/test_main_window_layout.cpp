// The main window's layout through the settings file: placement, splitters, page positions,
// the crop frame's page, a stored position off the screens, the maximised state; and the
// tidying of the database folder at start-up.
#include <gtest/gtest.h>

#include <QAction>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QPlainTextEdit>
#include <QScreen>
#include <QSplitter>
#include <QTabWidget>
#include <map>
#include <sstream>

#include "foundation/global.h"
#include "foundation/ini_file.h"
#include "frontend/frm_main.h"
#include "frontend/window_placement.h"
#include "support_main_window.h"

namespace {

int Key(const TMainWindowFixture& fx, const char* section, const char* key) {
  TIniFile ini(OptionData->IniFileName);
  return ini.ReadInteger(section, key, -99999);
}

void Touch(const QString& path, const QDateTime& when) {
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write("x");
  f.flush();
  f.setFileTime(when, QFileDevice::FileModificationTime);
}

}  // namespace

TEST(MainWindowLayout, SettingsRoundTripThroughARealWindow) {
  TMainWindowFixture fx;
  fx.WriteIni(
      "[WINDOW]\n"
      "Left=60\nTop=50\nWidth=700\nHeight=520\nWindowState=0\n"
      "TabYakuzaiTopPnlWidth=150\nTabYakuzaiUpperPnlHeight=150\nTabYakuzaiSelectPnlHeight=70\n"
      "TabYakuzaiSeizaiWidth=100\nTabSakumotsuFraSakumotsuWidth=222\nTabSakumotsuFraSakumotsuTabIndex=3\n"
      "TabSeibunPageIndex=5\nTabKeitoPageIndex=0\nTabSayotenPageIndex=1\nTabRacPageIndex=2\n"
      "TabSeibunPluralIndex=3\nTabRacKeitoIndex=4\npgYakuzaiSideSeibunActivePageIndex=2\n"
      "LogPaneHeight=90\nSQLEditHeight=120\nYakuzaiSidePanelWidth=360\nYakuzaiSideSeibunListHeight=110\n"
      "SQLSidePanelWidth=140\nLogPaneVisible=1\nStatusBarVisible=1\nToolBarVisible=1\nSearchPanelVisible=1\n"
      "[OPTIONS]\nGridCellLine0=3\nGridCellLine1=1\nGridCellLine2=2\nGridCellLine3=9\nGridCellLine4=5\n");
  const char* keys[] = {"Left", "Top", "Width", "Height", "WindowState", "TabYakuzaiTopPnlWidth",
                        "TabYakuzaiUpperPnlHeight", "TabYakuzaiSelectPnlHeight", "TabYakuzaiSeizaiWidth",
                        "TabSakumotsuFraSakumotsuWidth", "TabSeibunPageIndex", "TabKeitoPageIndex",
                        "TabSayotenPageIndex", "TabRacPageIndex", "TabSeibunPluralIndex", "TabRacKeitoIndex",
                        "pgYakuzaiSideSeibunActivePageIndex", "LogPaneHeight", "SQLEditHeight",
                        "YakuzaiSidePanelWidth", "YakuzaiSideSeibunListHeight", "SQLSidePanelWidth"};
  std::map<std::string, int> first;
  for (const char* k : keys) first[k] = Key(fx, "WINDOW", k);
  first["TabSakumotsuFraSakumotsuTabIndex"] = 0;  // the crop frame always opens on its first page

  // Twice: what the first window wrote, the second reads and writes back unchanged.
  for (int round = 0; round < 2; ++round) {
    InitGlobals(fx.AppDir);
    TfrmMain w;
    EXPECT_EQ(w.pgSakumotsu->currentIndex(), 0);
    EXPECT_EQ(w.pgYakuzaiSideSeibun->indexOf(w.tabSeibun), 5);
    EXPECT_EQ(w.pgYakuzaiSideSeibun->indexOf(w.tabKeito), 0);
    EXPECT_EQ(w.pgYakuzaiSideSeibun->currentIndex(), 2);
    EXPECT_EQ(w.GridStates[0].CellLines, 3);
    EXPECT_EQ(w.GridStates[3].CellLines, 9);
    w.show();
    Pump();
    EXPECT_EQ(w.geometry(), QRect(60, 50, 700, 520)) << round;
    EXPECT_EQ(w.PaneSize(w.fraSakumotsu), 222) << round;
    EXPECT_EQ(w.PaneSize(w.mLog), 90) << round;
    // A page of another tab gets its sizes when it is first shown.
    w.pgSearch->setCurrentIndex(tiYakuzai);
    Pump();
    // (The side panel's width is above the least its tab bar needs.)
    EXPECT_EQ(w.PaneSize(w.pnlYakuzaiSide), 360) << round;
    // What the splitters really show.
    EXPECT_EQ(w.SplitterFraSakumotsu->sizes().value(0), 222) << round;
    EXPECT_EQ(w.SplitterGrid->sizes().value(1), 90) << round;
    EXPECT_EQ(w.SplitterYakuzaiSide->sizes().value(0), 360) << round;
    EXPECT_EQ(w.SplitterYakuzaiTekiyo->sizes().value(0), 150) << round;
    EXPECT_EQ(w.SplitterSeizai->sizes().value(0), 150) << round;
    EXPECT_EQ(w.SplitterSeizai->sizes().value(2), 100) << round;
    w.close();
    for (const char* k : keys) EXPECT_EQ(Key(fx, "WINDOW", k), first[k]) << k << " round " << round;
    EXPECT_EQ(Key(fx, "WINDOW", "TabSakumotsuFraSakumotsuTabIndex"), 0);
    EXPECT_EQ(Key(fx, "WINDOW", "MonitorIndex"), 0);
    EXPECT_EQ(Key(fx, "OPTIONS", "GridCellLine0"), 3);
    EXPECT_EQ(Key(fx, "OPTIONS", "GridCellLine4"), 5);
  }
}

TEST(MainWindowLayout, CropFramePageShownAtCloseIsStored) {
  TMainWindowFixture fx;
  fx.WriteIni("[WINDOW]\nTabSakumotsuFraSakumotsuTabIndex=3\n");
  TfrmMain w;
  EXPECT_EQ(w.pgSakumotsu->currentIndex(), 0);
  w.pgSakumotsu->setCurrentIndex(2);
  w.show();
  Pump();
  w.close();
  EXPECT_EQ(Key(fx, "WINDOW", "TabSakumotsuFraSakumotsuTabIndex"), 2);
}

TEST(MainWindowLayout, StoredPositionOffTheScreensComesBackInsideAWorkArea) {
  TMainWindowFixture fx;
  const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
  const int vw = VirtualScreenWidth();
  fx.WriteIni("[WINDOW]\nLeft=" + std::to_string(vw + 5000) + "\nTop=-300\nWidth=500\nHeight=300\n");
  TfrmMain w;
  w.show();
  Pump();
  const QRect g = w.geometry();
  EXPECT_TRUE(area.contains(g)) << g.x() << "," << g.y() << " " << g.width() << "x" << g.height();
  EXPECT_EQ(g.size(), QSize(500, 300));
  EXPECT_EQ(g.right(), area.right());
  // Larger than the screen: shrunk to the work area.
  InitGlobals(fx.AppDir);
  fx.WriteIni("[WINDOW]\nLeft=10\nTop=10\nWidth=20000\nHeight=20000\n");
  TfrmMain big;
  EXPECT_TRUE(area.contains(big.geometry()));
}

TEST(MainWindowLayout, MaximisedWindowKeepsItsNormalRectangle) {
  TMainWindowFixture fx;
  fx.WriteIni("[WINDOW]\nLeft=30\nTop=40\nWidth=500\nHeight=350\nWindowState=2\n");
  TfrmMain w;
  w.show();
  Pump();
  EXPECT_TRUE(w.isMaximized());
  w.close();
  EXPECT_EQ(Key(fx, "WINDOW", "WindowState"), 2);
  EXPECT_EQ(Key(fx, "WINDOW", "Left"), 30);
  EXPECT_EQ(Key(fx, "WINDOW", "Top"), 40);
  EXPECT_EQ(Key(fx, "WINDOW", "Width"), 500);
  EXPECT_EQ(Key(fx, "WINDOW", "Height"), 350);
}

TEST(MainWindowLayout, PlaceWindowRectTable) {
  const std::vector<QRect> two = {QRect(0, 0, 1920, 1040), QRect(1920, 0, 1280, 984)};
  const struct {
    QRect in;
    std::vector<QRect> areas;
    int virtualWidth;
    QRect out;
  } cases[] = {
      {QRect(100, 100, 800, 600), two, 3200, QRect(100, 100, 800, 600)},      // fits: unchanged
      {QRect(2000, 50, 800, 600), two, 3200, QRect(2000, 50, 800, 600)},      // on the second monitor
      {QRect(3300, 50, 800, 600), two, 3200, QRect(100, 50, 800, 600)},       // beyond: one width back
      {QRect(3000, 50, 800, 600), two, 3200, QRect(2400, 50, 800, 600)},      // runs past the right edge
      {QRect(-500, -40, 800, 600), two, 3200, QRect(0, 0, 800, 600)},         // before the left and top
      {QRect(10, 10, 5000, 3000), two, 3200, QRect(0, 0, 1920, 1040)},        // too large: the area
      {QRect(1800, 500, 800, 600), two, 3200, QRect(1920, 384, 800, 600)},    // overlaps the second more
      {QRect(9000, 9000, 300, 200), {QRect(0, 0, 1024, 768)}, 0, QRect(724, 568, 300, 200)},  // nearest
      {QRect(5, 5, 300, 200), {}, 0, QRect(5, 5, 300, 200)},                  // no screens
  };
  for (const auto& c : cases) {
    const QRect r = PlaceWindowRect(c.in, c.areas, c.virtualWidth);
    EXPECT_EQ(r, c.out) << c.in.x() << "," << c.in.y() << " -> " << r.x() << "," << r.y() << " " << r.width()
                        << "x" << r.height();
  }
}

TEST(MainWindowLayout, StartUpTidiesTheDatabaseFolder) {
  TMainWindowFixture fx;
  const QString db = QString::fromStdString(fx.AppDir + "DB");
  const QString dl = QString::fromStdString(fx.AppDir + "Download");
  QDir().mkpath(db);
  QDir().mkpath(dl);
  const QDateTime t0 = QDateTime::currentDateTime().addDays(-2);
  Touch(db + "/alias.db", t0);
  Touch(db + "/update.htm", t0);                // only here: moves to the download folder
  Touch(db + "/update2.htm", t0.addDays(1));    // newer here than there: both stay
  Touch(dl + "/update2.htm", t0);
  Touch(db + "/update.txt", t0);                // older here: the database copy goes
  Touch(dl + "/update.txt", t0.addDays(1));
  TfrmMain w;
  EXPECT_FALSE(QFile::exists(db + "/alias.db"));
  EXPECT_FALSE(QFile::exists(db + "/update.htm"));
  EXPECT_TRUE(QFile::exists(dl + "/update.htm"));
  EXPECT_TRUE(QFile::exists(db + "/update2.htm"));
  EXPECT_TRUE(QFile::exists(dl + "/update2.htm"));
  EXPECT_FALSE(QFile::exists(db + "/update.txt"));
  EXPECT_TRUE(QFile::exists(dl + "/update.txt"));
}

TEST(MainWindowLayout, ReplacedPlaceholderKeepsItsPlaceAndStoredSize) {
  TMainWindowFixture fx;
  fx.WriteIni("[WINDOW]\nLeft=0\nTop=0\nWidth=700\nHeight=500\nTabSakumotsuFraSakumotsuWidth=230\n");
  TfrmMain w;
  QWidget* old = w.fraSakumotsu;
  auto* frame = new QWidget;
  w.fraSakumotsu = w.ReplaceControl(w.fraSakumotsu, frame);
  EXPECT_EQ(w.fraSakumotsu, frame);
  EXPECT_EQ(frame->objectName(), "fraSakumotsu");
  EXPECT_EQ(w.SplitterFraSakumotsu->indexOf(frame), 0);
  EXPECT_EQ(w.ReplaceControl(nullptr, frame), nullptr);
  (void)old;  // deleted with its children: the page control and edits it held are gone
  EXPECT_TRUE(w.pgSakumotsu.isNull());
  EXPECT_TRUE(w.eSakumotsu.isNull());
  w.show();
  Pump();
  EXPECT_EQ(w.SplitterFraSakumotsu->sizes().value(0), 230);
  w.actSearchStrClear->trigger();  // the crop tab's clear copes with the frame's own controls
  w.close();
  EXPECT_EQ(Key(fx, "WINDOW", "TabSakumotsuFraSakumotsuWidth"), 230);
  EXPECT_EQ(Key(fx, "WINDOW", "TabSakumotsuFraSakumotsuTabIndex"), 0);
}
