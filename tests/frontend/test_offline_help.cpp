// The online help: F1 opens the help page laid into the program folder (or the address of the
// settings file), follows the offline switch ("/f" keeps it off for the run); and the
// window's keys F1, Ctrl+R, Ctrl+U and Ctrl+Y pressed as a user presses them.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDesktopServices>
#include <QFile>
#include <QMenu>
#include <QMenuBar>
#include <QTest>
#include <QUrl>
#include <memory>

#include "foundation/global.h"
#include "foundation/ini_file.h"
#include "foundation/options.h"
#include "frontend/frm_main.h"
#include "frontend/main_services.h"
#include "output/xls_string_grid.h"
#include "support_main_window.h"

class THomePageCatcher : public QObject {
  Q_OBJECT

 public:
  int Opened = 0;
  QUrl Last;
 public slots:
  void Open(const QUrl& url) {
    ++Opened;
    Last = url;
  }
};

namespace {

struct TKeysWindow : TMainWindowFixture {
  std::unique_ptr<TfrmMain> W;
  THomePageCatcher Catcher;
  int Updates = 0;
  TKeysWindow() {
    QDesktopServices::setUrlHandler("https", &Catcher, "Open");
    QDesktopServices::setUrlHandler("http", &Catcher, "Open");
    QDesktopServices::setUrlHandler("file", &Catcher, "Open");
  }
  ~TKeysWindow() {
    W.reset();
    QDesktopServices::unsetUrlHandler("https");
    QDesktopServices::unsetUrlHandler("http");
    QDesktopServices::unsetUrlHandler("file");
  }
  bool Open() {
    SetMainWindowServices(std::make_unique<TStandInUpdate>(TStandInUpdate::Counts, &Updates));
    W = std::make_unique<TfrmMain>();
    W->show();
    W->activateWindow();
    if (!QTest::qWaitForWindowActive(W.get())) return false;
    Pump();
    return true;
  }
  // A key as the user presses it: to the widget that has the focus.
  void Press(Qt::Key Key, Qt::KeyboardModifiers Mods = Qt::NoModifier) {
    QWidget* f = QApplication::focusWidget();
    QTest::keyClick(f ? f : W.get(), Key, Mods);
    Pump(10);
  }
  // "オフライン作業(&W)" chosen in the file menu with the keyboard (Alt+F, then W).
  void ToggleOfflineByMenu() {
    Press(Qt::Key_F, Qt::AltModifier);
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    ASSERT_NE(menu, nullptr);
    QTest::keyClick(menu, Qt::Key_W);
    Pump(10);
    ASSERT_EQ(QApplication::activePopupWidget(), nullptr);
  }
};

}  // namespace

TEST(OfflineHelp, F1OpensTheHelpPageShippedWithTheProgram) {
  TKeysWindow t;
  ASSERT_TRUE(t.Open());
  const QString page = QString::fromStdString(OptionData->AppDir) + "quillmar-help.html";
  QFile::remove(page);
  t.Press(Qt::Key_F1);
  ASSERT_EQ(t.Catcher.Opened, 1);
  EXPECT_EQ(t.Catcher.Last, QUrl::fromLocalFile(page));
  // The page is the README, as HTML.
  QFile f(page);
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  const QString html = QString::fromUtf8(f.readAll());
  EXPECT_TRUE(html.contains("<html", Qt::CaseInsensitive));
  EXPECT_TRUE(html.contains("charset=\"utf-8\"", Qt::CaseInsensitive));  // read right by any browser
  EXPECT_TRUE(html.contains("Quillmar ヘルプ"));
  EXPECT_TRUE(html.contains("Unattended runs and exit codes"));
  EXPECT_TRUE(html.contains("quillmar.ini"));
  f.close();
  // An address in the settings file is opened instead.
  {
    TIniFile ini(OptionData->IniFileName);
    ini.WriteString("OPTIONS", "HelpUrl", "https://help.example.test/quillmar/");
  }
  t.Press(Qt::Key_F1);
  ASSERT_EQ(t.Catcher.Opened, 2);
  EXPECT_EQ(t.Catcher.Last, QUrl("https://help.example.test/quillmar/"));
}

TEST(OfflineHelp, HelpIsOffWhileOfflineAndBackWhenOnline) {
  TKeysWindow t;
  ASSERT_TRUE(t.Open());
  TfrmMain& w = *t.W;
  ASSERT_FALSE(OptionData->OffLine);
  EXPECT_TRUE(w.mnDocOpen->isEnabled());
  t.Press(Qt::Key_F1);
  EXPECT_EQ(t.Catcher.Opened, 1);

  t.ToggleOfflineByMenu();
  EXPECT_TRUE(OptionData->OffLine);
  EXPECT_EQ(w.windowTitle(), "Quillmar - オフライン");
  EXPECT_FALSE(w.mnDocOpen->isEnabled());
  t.Press(Qt::Key_F1);
  EXPECT_EQ(t.Catcher.Opened, 1);

  t.ToggleOfflineByMenu();
  EXPECT_FALSE(OptionData->OffLine);
  EXPECT_EQ(w.windowTitle(), "Quillmar");
  EXPECT_TRUE(w.mnDocOpen->isEnabled());
  t.Press(Qt::Key_F1);
  EXPECT_EQ(t.Catcher.Opened, 2);
}

TEST(OfflineHelp, StoredOfflineAndTheOfflineSwitchOfTheRunKeepHelpOff) {
  {
    TKeysWindow t;
    t.WriteIni("[NET]\nOffLine=1\n");
    ASSERT_TRUE(t.Open());
    ASSERT_TRUE(OptionData->OffLine);
    EXPECT_FALSE(t.W->mnDocOpen->isEnabled());
    t.Press(Qt::Key_F1);
    EXPECT_EQ(t.Catcher.Opened, 0);
  }
  TKeysWindow t;
  CmdOffline = true;  // "/f"
  ASSERT_TRUE(t.Open());
  TfrmMain& w = *t.W;
  EXPECT_TRUE(w.mnOffline->isChecked());
  EXPECT_FALSE(w.mnDocOpen->isEnabled());
  // Switched online by the menu, the run stays offline.
  t.ToggleOfflineByMenu();
  EXPECT_FALSE(w.mnOffline->isChecked());
  EXPECT_FALSE(w.mnDocOpen->isEnabled());
  t.Press(Qt::Key_F1);
  EXPECT_EQ(t.Catcher.Opened, 0);
}

TEST(OfflineHelp, RowSelectAndDataUpdateKeys) {
  TKeysWindow t;
  ASSERT_TRUE(t.Open());
  TfrmMain& w = *t.W;
  const bool before = w.mnRowSelect->isChecked();
  t.Press(Qt::Key_R, Qt::ControlModifier);
  EXPECT_NE(w.mnRowSelect->isChecked(), before);
  EXPECT_EQ(OptionData->GridRowSelect, !before);
  EXPECT_EQ(w.gdTekiyo->selectionBehavior(), before ? QAbstractItemView::SelectItems : QAbstractItemView::SelectRows);
  t.Press(Qt::Key_R, Qt::ControlModifier);
  EXPECT_EQ(w.mnRowSelect->isChecked(), before);

  // The data update: Ctrl+U on the menu item, Ctrl+Y on the action.
  t.Press(Qt::Key_U, Qt::ControlModifier);
  EXPECT_EQ(t.Updates, 1);
  t.Press(Qt::Key_Y, Qt::ControlModifier);
  EXPECT_EQ(t.Updates, 2);
}

#include "test_offline_help.moc"
