#include "support_main_window.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QThread>

#include "common/test_support.h"
#include "database/acis_build.h"
#include "database/acis_db.h"
#include "foundation/global.h"
#include "frontend/data_update_services.h"
#include "frontend/main_services.h"

TMainWindowFixture::TMainWindowFixture() {
  AppDir = Dir.path().toStdString() + "/";
  InitGlobals(AppDir);
  AcisDB.reset();
  SetMainWindowServices(nullptr);
}

TMainWindowFixture::~TMainWindowFixture() {
  AcisDB.reset();
  SetMainWindowServices(nullptr);
  InitGlobals(AppDir);
}

std::string TMainWindowFixture::DBDir() const { return AppDir + "DB"; }

bool TMainWindowFixture::BuildSampleDb() {
  QDir().mkpath(QString::fromStdString(DBDir()));
  TAcisBuildRequest req;
  req.DBDir = DBDir();
  req.Source = 2;
  req.KihonFile = SourcePath("data/sample/mirror/kihon.csv");
  req.TekiyoFiles = {SourcePath("data/sample/mirror/tekiyo.csv")};
  req.Settings.DBDir = DBDir();
  req.Settings.UseLAN = true;
  req.Settings.dirLAN = SourcePath("data/sample/masters");
  req.Settings.DownloadDir = Dir.path().toStdString() + "/build-download";
  QDir().mkpath(QString::fromStdString(req.Settings.DownloadDir));
  req.DataDate = "2026年11月04日反映";
  const TAcisBuildResult r = BuildAcisDatabase(req);
  return r.Ok;
}

void TMainWindowFixture::WriteIni(const std::string& text) {
  QFile f(QString::fromStdString(OptionData->IniFileName));
  f.open(QIODevice::WriteOnly | QIODevice::Truncate);
  f.write(text.data(), static_cast<qint64>(text.size()));
}

std::string TMainWindowFixture::ReadIni() const {
  QFile f(QString::fromStdString(OptionData->IniFileName));
  if (!f.open(QIODevice::ReadOnly)) return {};
  return f.readAll().toStdString();
}

void Pump(int ms) {
  QElapsedTimer t;
  t.start();
  do {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    QCoreApplication::sendPostedEvents();
  } while (t.elapsed() < ms);
}

bool TStandInUpdate::ShowUpdateDialog(TfrmMain& Main, bool, bool) {
  if (runs_) ++*runs_;
  if (kind_ == Counts) return false;
  if (kind_ == BuildsAndOpens && !(fx_ && fx_->BuildSampleDb())) return false;
  return OpenAcisDBFor(Main);
}
