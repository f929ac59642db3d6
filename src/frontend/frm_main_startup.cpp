// The main window's layout in the settings file, the deferred start-up that opens the
// database, and the shut-down that stores layout and settings.
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLayout>
#include <QListWidget>
#include <QPointer>
#include <QPlainTextEdit>
#include <QScreen>
#include <QSplitter>
#include <QStatusBar>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>
#include <QToolBar>
#include <cstdio>

#include "database/acis_db.h"
#include "database/master_refresh.h"
#include "foundation/global.h"
#include "foundation/ini_file.h"
#include "foundation/message_sink.h"
#include "database/acis_fill.h"
#include "frontend/frm_main.h"
#include "frontend/main_services.h"
#include "frontend/window_placement.h"
#include "frontend/grid_fill_target.h"
#include "output/xls_string_grid.h"

namespace {

constexpr const char* W = SECTION_WINDOW;

// The pages of the related-product control whose positions are kept, in the keys' order.
struct TPageKey {
  const char* Key;
  QWidget* TfrmMain::*Page;
};
const TPageKey kPageKeys[] = {
    {"TabSeibunPageIndex", &TfrmMain::tabSeibun},       {"TabKeitoPageIndex", &TfrmMain::tabKeito},
    {"TabSayotenPageIndex", &TfrmMain::tabSayoten},     {"TabRacPageIndex", &TfrmMain::tabRac},
    {"TabSeibunPluralIndex", &TfrmMain::tabSeibunPlural}, {"TabRacKeitoIndex", &TfrmMain::tabRacKeito},
};

// Moves a page of a page control to a position (clamped into the control).
void SetPageIndex(QTabWidget* pages, QWidget* page, int index) {
  const int from = pages->indexOf(page);
  if (from < 0) return;
  const int to = std::clamp(index, 0, pages->count() - 1);
  if (from != to) pages->tabBar()->moveTab(from, to);
}

QSplitter* SplitterOf(const QWidget* pane) {
  return pane ? qobject_cast<QSplitter*>(pane->parentWidget()) : nullptr;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Pane sizes

int TfrmMain::PaneSize(QWidget* Pane) const {
  if (auto it = pendingSizes_.find(Pane); it != pendingSizes_.end()) return it->second;
  QSplitter* s = SplitterOf(Pane);
  if (!s) return Pane->height();
  if (Pane->isHidden()) {
    auto it = lastSizes_.find(Pane);
    return it != lastSizes_.end() ? it->second : 0;
  }
  const int i = s->indexOf(Pane);
  const QList<int> sizes = s->sizes();
  return i >= 0 && i < sizes.size() ? sizes[i] : 0;
}

void TfrmMain::SetPaneSize(QWidget* Pane, int Size) {
  QSplitter* s = SplitterOf(Pane);
  if (!s || Size < 0) return;
  // The size holds until the user drags the splitter: layouts that settle later, and a
  // neighbour that shows later, do not change it.
  pendingSizes_[Pane] = Size;
  ApplyPaneSize(Pane, Size);
}

void TfrmMain::ApplyPaneSize(QWidget* Pane, int Size) {
  QSplitter* s = SplitterOf(Pane);
  const int i = s ? s->indexOf(Pane) : -1;
  if (i < 0 || !s->isVisible() || Pane->isHidden()) return;
  QList<int> sizes = s->sizes();
  // The other pane that takes up the difference: the one that stretches most, else the
  // largest one.
  auto stretch = [s](int k) {
    const QSizePolicy p = s->widget(k)->sizePolicy();
    return s->orientation() == Qt::Horizontal ? p.horizontalStretch() : p.verticalStretch();
  };
  int other = -1;
  for (int k = 0; k < sizes.size(); ++k) {
    if (k == i || s->widget(k)->isHidden()) continue;
    if (other < 0 || stretch(k) > stretch(other) || (stretch(k) == stretch(other) && sizes[k] > sizes[other]))
      other = k;
  }
  if (other < 0 || sizes[i] == Size) return;
  const int v = std::min(Size, sizes[i] + sizes[other]);
  sizes[other] += sizes[i] - v;
  sizes[i] = v;
  applyingSizes_ = true;
  s->setSizes(sizes);
  applyingSizes_ = false;
}

bool TfrmMain::eventFilter(QObject* watched, QEvent* event) {
  if (auto* s = qobject_cast<QSplitter*>(watched)) {
    const QEvent::Type t = event->type();
    if ((t == QEvent::Show || t == QEvent::Resize || t == QEvent::LayoutRequest) && s->isVisible()) {
      QPointer<QSplitter> guard(s);
      auto apply = [this, guard] {
        if (!guard || !guard->isVisible()) return;
        for (int i = 0; i < guard->count(); ++i) {
          QWidget* pane = guard->widget(i);
          if (auto it = pendingSizes_.find(pane); it != pendingSizes_.end()) ApplyPaneSize(pane, it->second);
        }
      };
      apply();
      // Once more when the layouts around have settled.
      QTimer::singleShot(0, this, apply);
    }
    return false;
  }
  return GridEventFilter(watched, event);
}

QWidget* TfrmMain::ReplaceControl(QWidget* Placeholder, QWidget* Replacement) {
  if (!Placeholder || !Replacement || Placeholder == Replacement) return Placeholder;
  if (Replacement->objectName().isEmpty()) Replacement->setObjectName(Placeholder->objectName());
  QWidget* parent = Placeholder->parentWidget();
  const bool hidden = Placeholder->isHidden();
  if (auto* s = qobject_cast<QSplitter*>(parent)) {
    const QList<int> sizes = s->sizes();
    const int i = s->indexOf(Placeholder);
    s->replaceWidget(i, Replacement);
    s->setSizes(sizes);
    if (s->orientation() == Qt::Horizontal)
      Replacement->setMinimumWidth(std::max(Replacement->minimumWidth(), 16));
    else
      Replacement->setMinimumHeight(std::max(Replacement->minimumHeight(), 16));
  } else if (parent && parent->layout()) {
    delete parent->layout()->replaceWidget(Placeholder, Replacement);
  } else {
    Replacement->setParent(parent);
  }
  if (auto it = pendingSizes_.find(Placeholder); it != pendingSizes_.end()) {
    pendingSizes_[Replacement] = it->second;
    pendingSizes_.erase(it);
  }
  if (auto it = lastSizes_.find(Placeholder); it != lastSizes_.end()) {
    lastSizes_[Replacement] = it->second;
    lastSizes_.erase(it);
  }
  Replacement->setHidden(hidden);
  Placeholder->hide();
  Placeholder->setParent(nullptr);
  delete Placeholder;
  return Replacement;
}

// ---------------------------------------------------------------------------------------------
// Window placement and layout keys

void TfrmMain::RestoreWindowPlacement(TIniFile& Ini) {
  const QRect cur = geometry();
  QRect r(Ini.ReadInteger(W, "Left", cur.x()), Ini.ReadInteger(W, "Top", cur.y()),
          Ini.ReadInteger(W, "Width", cur.width()), Ini.ReadInteger(W, "Height", cur.height()));
  // The window cannot be smaller than its controls allow; placed with the size it will have.
  r.setSize(r.size().expandedTo(minimumSizeHint()));
  r = PlaceWindowRect(r, ScreenWorkAreas(), VirtualScreenWidth());
  setGeometry(r);
  const int state = Ini.ReadInteger(W, "WindowState", 0);
  if (state == 2)
    setWindowState(Qt::WindowMaximized);
  else if (state == 1)
    setWindowState(Qt::WindowMinimized);
}

void TfrmMain::RestoreLayout(TIniFile& Ini) {
  // Stored sizes; a missing or empty one keeps the designed size.
  auto stored = [this, &Ini](QWidget* pane, const char* key) {
    const int v = Ini.ReadInteger(W, key, PaneSize(pane));
    if (v > 0) SetPaneSize(pane, v);
  };
  stored(pnlYakuzaiTop, "TabYakuzaiTopPnlWidth");
  stored(pnlYakuzaiUpper, "TabYakuzaiUpperPnlHeight");
  stored(pnlYakuzaiSelect, "TabYakuzaiSelectPnlHeight");
  stored(mSuisan, "TabYakuzaiSeizaiWidth");
  stored(fraSakumotsu, "TabSakumotsuFraSakumotsuWidth");
  // The crop frame takes the stored page and then always opens on its first one.
  const int cropPage = Ini.ReadInteger(W, "TabSakumotsuFraSakumotsuTabIndex", 0);
  if (pgSakumotsu) {
    if (cropPage >= 0 && cropPage < pgSakumotsu->count()) pgSakumotsu->setCurrentIndex(cropPage);
    pgSakumotsu->setCurrentIndex(0);
  }
  for (const TPageKey& k : kPageKeys) {
    QWidget* page = this->*k.Page;
    SetPageIndex(pgYakuzaiSideSeibun, page, Ini.ReadInteger(W, k.Key, pgYakuzaiSideSeibun->indexOf(page)));
  }
  const int active = Ini.ReadInteger(W, "pgYakuzaiSideSeibunActivePageIndex", 0);
  if (active >= 0 && active < pgYakuzaiSideSeibun->count()) pgYakuzaiSideSeibun->setCurrentIndex(active);
}

void TfrmMain::SaveLayout() {
  TIniFile ini(OptionData->IniFileName);
  try {
    const QRect r = (isMaximized() || isMinimized() || isFullScreen()) ? normalGeometry() : geometry();
    ini.WriteInteger(W, "Left", r.x());
    ini.WriteInteger(W, "Top", r.y());
    ini.WriteInteger(W, "Width", r.width());
    ini.WriteInteger(W, "Height", r.height());
    ini.WriteInteger(W, "WindowState", isMinimized() ? 1 : (isMaximized() ? 2 : 0));
    ini.WriteInteger(W, "MonitorIndex", std::max(0, static_cast<int>(QGuiApplication::screens().indexOf(screen()))));
    ini.WriteInteger(W, "TabYakuzaiTopPnlWidth", PaneSize(pnlYakuzaiTop));
    ini.WriteInteger(W, "TabYakuzaiUpperPnlHeight", PaneSize(pnlYakuzaiUpper));
    ini.WriteInteger(W, "TabYakuzaiSelectPnlHeight", PaneSize(pnlYakuzaiSelect));
    ini.WriteInteger(W, "TabYakuzaiSeizaiWidth", PaneSize(mSuisan));
    ini.WriteInteger(W, "TabSakumotsuFraSakumotsuWidth", PaneSize(fraSakumotsu));
    ini.WriteInteger(W, "TabSakumotsuFraSakumotsuTabIndex", pgSakumotsu ? pgSakumotsu->currentIndex() : 0);
    for (const TPageKey& k : kPageKeys) ini.WriteInteger(W, k.Key, pgYakuzaiSideSeibun->indexOf(this->*k.Page));
    ini.WriteInteger(W, "pgYakuzaiSideSeibunActivePageIndex", pgYakuzaiSideSeibun->currentIndex());
    ini.UpdateFile();
  } catch (const std::exception& e) {
    ReportSettingsNotWritten(e.what());
  }
}

void TfrmMain::CopyControlStatesToOptions() {
  TOptionData& o = *OptionData;
  o.LogPaneHeight = PaneSize(mLog);
  o.SQLEditHeight = PaneSize(pnlSQL);
  o.YakuzaiSidePanelWidth = PaneSize(pnlYakuzaiSide);
  o.YakuzaiSideSeibunListHeight = PaneSize(pgYakuzaiSideSeibun);
  o.SQLSidePanelWidth = PaneSize(pnlSqlSide);
  // ToolBar1Top/Left and ToolBarKensakuTop/Left: the bars are not movable here, so the
  // stored positions (kept for the settings file's other readers) stay as they were.
  o.ToolBarVisible = !ToolBar->isHidden();
  o.SearchPanelVisible = !pnlSearchParam->isHidden();
  o.LogPaneVisible = !mLog->isHidden();
  o.StatusBarVisible = !StatusBar->isHidden();
  for (int i = 0; i < kSearchTabs; ++i) *o.GridCellLine(i) = GridStates[i].CellLines;
}

// ---------------------------------------------------------------------------------------------
// Database folder tidying (left-over update pages belong in the download folder)

void TfrmMain::TidyDatabaseFolder() {
  const QString dbDir = QString::fromStdString(OptionData->DBDir);
  const QString dlDir = QString::fromStdString(OptionData->DownloadDir);
  if (dbDir.isEmpty()) return;
  QFile::remove(dbDir + "/alias.db");
  for (const char* name : {"update.htm", "update2.htm", "update.txt"}) {
    const QString inDb = dbDir + "/" + name;
    if (!QFile::exists(inDb) || dlDir.isEmpty()) continue;
    const QString inDl = dlDir + "/" + name;
    std::string msg;
    if (QFile::exists(inDl)) {
      if (IsSourceNewer(inDl.toStdString(), inDb.toStdString(), msg)) QFile::remove(inDb);
    } else if (QDir(dlDir).exists() && CopyFileKeepTime(inDb.toStdString(), inDl.toStdString())) {
      QFile::remove(inDb);
    }
  }
}

// ---------------------------------------------------------------------------------------------
// Show, deferred start-up, close

void TfrmMain::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  FormShow();
}

void TfrmMain::FormShow() {
  FormViewSettings();
  // The start-up goes on once the window is on the screen and its show events are done.
  QMetaObject::invokeMethod(this, &TfrmMain::WMShowWaitEvent, Qt::QueuedConnection);
}

void TfrmMain::WMShowWaitEvent() {
  if (!IsStartUp || startUpRuns_ > 0) return;
  ++startUpRuns_;
  // The window is painted before the database is opened and its lists are filled (a moment on
  // a large register), so that it does not stand empty on the screen meanwhile.
  if (!CmdAutoUpdate && !CmdAutoDownload && isVisible()) QGuiApplication::sync();
  TMainWindowServices& services = MainWindowServices();
  bool unattended = false;
  try {
    if (CmdAutoUpdate || CmdAutoDownload) {
      unattended = true;
      hide();
      BatchExitCode = RunUnattendedGuarded([&] {
        return CmdAutoUpdate ? services.RunAutoUpdate(*this) : services.RunAutoDownloadCheck(*this);
      });
    } else if (OptionData->UseLAN && (OptionData->DownSite == 3 || OptionData->DownSite == 4)) {
      services.CheckSharedFolderUpdate(*this);
    } else {
      services.StartUpCheck(*this);
    }
  } catch (const std::exception& e) {
    if (unattended)
      MessageSink().Log(std::string("Quillmar: ") + e.what());
    else
      ShowMessageBox(TMsgKind::Error, "Quillmar", e.what());
  }
  IsStartUp = false;
  if (unattended) {
    // The window closes after an unattended run: no lists, no dialogs.
    close();
    if (OnUnattendedDone) OnUnattendedDone();
    return;
  }
  if (AcisDB) {
    AcisDB->CreateSessionViews();
    LoadMasterLists();
  } else {
    SetStatusText(0, "DB:なし");
    EnableDatabaseInputs();
  }
  pgSearchChange();
  if (OnStartUpDone) OnStartUpDone();
}

void TfrmMain::LoadMasterLists() {
  if (!AcisDB) return;
  TAcisDB& db = *AcisDB;
  if (!db.FLog) db.FLog = [this](const std::string& line) { WriteLog(line); };
  if (!db.FPump) db.FPump = [] { QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents); };
  SetStatusText(0, "DB:" + QString::fromStdString(db.FLastUpdate));
  if (db.TableExists("m_kihon")) {
    if (db.Query("SELECT DISTINCT yoto FROM m_kihon ORDER BY yoto", false)) {
      TQtComboItems combo(cbYotoTabYakuzai);
      combo.Clear();
      combo.Add("全て");
      db.FillComboItems(combo, 0, false);
    }
    cbYotoTabYakuzai->setCurrentIndex(0);
    db.ExecSQL("BEGIN TRANSACTION;DROP TABLE IF EXISTS t_bango;CREATE TEMP TABLE t_bango (bango integer,sakumotsu varchar);COMMIT;");
    if (db.Query("SELECT bango,meisho FROM m_kihon ORDER BY bango", false)) {
      TQtListItems list(lstBango);
      db.FillListBango(list, true);
    }
    if (OnLoadMasterLists) OnLoadMasterLists();
  }
  // A database is there: the controls that need one and the search action follow.
  EnableDatabaseInputs();
}

void TfrmMain::actCheckUpdateExecute() {
  if (MainWindowServices().ShowUpdateDialog(*this, false, false) && AcisDB) {
    AcisDB->CreateSessionViews();
    LoadMasterLists();
  }
}

void TfrmMain::closeEvent(QCloseEvent* event) {
  FormClose();
  QMainWindow::closeEvent(event);
}

void TfrmMain::FormClose() {
  mLog->clear();
  if (OnFormClose) {
    try {
      OnFormClose();
    } catch (const std::exception& e) {
      MessageSink().Log(std::string("Quillmar: ") + e.what());
    }
  }
  SaveLayout();
  CopyControlStatesToOptions();
  try {
    OptionData->Save();
  } catch (const std::exception& e) {
    ReportSettingsNotWritten(e.what());
  }
}

