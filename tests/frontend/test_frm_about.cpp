// The about box: the release of the build (the project's version in CMakeLists.txt), the
// library versions the program runs with (SQLite's as the open database's connection reports
// it), the system, and the address of the program's help page.
#include <archive.h>
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <QDesktopServices>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include "common/test_support.h"
#include "database/acis_db.h"
#include "foundation/global.h"
#include "foundation/ini_file.h"
#include "foundation/options.h"
#include "frontend/frm_about.h"

namespace {

class TUrlCatcher : public QObject {
  Q_OBJECT

 public:
  QList<QUrl> Urls;
 public slots:
  void Open(const QUrl& url) { Urls.push_back(url); }
};

QString ProjectVersion() {
  QFile f(QString::fromStdString(SourcePath("CMakeLists.txt")));
  f.open(QIODevice::ReadOnly);
  const auto m = QRegularExpression(R"(project\(\s*Quillmar\s+VERSION\s+([0-9.]+))").match(QString::fromUtf8(f.readAll()));
  return m.captured(1);
}

// Settings of their own in a temporary program folder for the time of a test.
class TOwnSettings {
 public:
  TOwnSettings() : options_(dir_.path().toStdString()), previous_(OptionData) { OptionData = &options_; }
  ~TOwnSettings() { OptionData = previous_; }
  QString AppDir() const { return dir_.path(); }

 private:
  QTemporaryDir dir_;
  TOptionData options_;
  TOptionData* previous_;
};

// Stands in for SQLite's own sqlite_version() on one connection.
void ReportedVersion(sqlite3_context* ctx, int, sqlite3_value**) {
  sqlite3_result_text(ctx, "3.99.9-connection", -1, SQLITE_STATIC);
}

}  // namespace

TEST(AboutBox, OpensWithoutADatabaseAndShowsTheVersions) {
  AcisDB.reset();
  TOwnSettings settings;
  QWidget owner;
  QFont f = owner.font();
  f.setPointSize(15);
  owner.setFont(f);
  TfrmAbout d(&owner);
  EXPECT_EQ(d.windowTitle(), "バージョン情報");
  EXPECT_EQ(d.font().pointSize(), 15);  // the owner's font
  ASSERT_FALSE(ProjectVersion().isEmpty());
  EXPECT_EQ(d.lblVersion->text(), "Releace " + ProjectVersion());
  // No database open yet: the SQLite version is not known.
  EXPECT_EQ(d.SQLiteVer->text(), "SQLite version : 不明");
  EXPECT_TRUE(d.lbl7zip->text().startsWith("libarchive : Ver. "));
  EXPECT_TRUE(d.lbl7zip->text().endsWith(QString::number(archive_version_number() % 1000)));
  EXPECT_EQ(d.lblQt->text(), QString("Qt : ") + qVersion());
  EXPECT_TRUE(d.Label4->text().startsWith("OS: "));
  EXPECT_GT(d.Label4->text().size(), 6);
  EXPECT_EQ(d.Label5->text(), "Quillmar");

  // The address is the program's own help page, laid out in the program folder; it opens on
  // a click; OK closes.
  const QUrl address(d.lblUrl->text());
  ASSERT_TRUE(address.isLocalFile()) << d.lblUrl->text().toStdString();
  EXPECT_EQ(address.toLocalFile(), settings.AppDir() + "/quillmar-help.html");
  QFile page(address.toLocalFile());
  ASSERT_TRUE(page.open(QIODevice::ReadOnly)) << address.toLocalFile().toStdString();
  EXPECT_TRUE(page.readAll().contains("Quillmar ヘルプ"));
  TUrlCatcher catcher;
  QDesktopServices::setUrlHandler("https", &catcher, "Open");
  QDesktopServices::setUrlHandler("file", &catcher, "Open");
  d.show();
  QTest::mouseClick(d.lblUrl, Qt::LeftButton);
  QDesktopServices::unsetUrlHandler("https");
  QDesktopServices::unsetUrlHandler("file");
  ASSERT_EQ(catcher.Urls.size(), 1);
  EXPECT_EQ(catcher.Urls[0].toString(), d.lblUrl->text());
  EXPECT_FALSE(d.lblUrl->text().contains("github.com")) << "an address nobody serves";
  QTest::mouseClick(d.btnOk, Qt::LeftButton);
  EXPECT_EQ(d.result(), QDialog::Accepted);
}

// An address in the settings is the about box's address.
TEST(AboutBox, ShowsTheHelpAddressOfTheSettings) {
  TOwnSettings settings;
  TIniFile(OptionData->IniFileName).WriteString("OPTIONS", "HelpUrl", "https://help.example.test/quillmar/");
  TfrmAbout d(nullptr);
  EXPECT_EQ(d.lblUrl->text(), "https://help.example.test/quillmar/");
}

// The SQLite version is the one the open database's connection reports (here made to report
// a version of its own), and unknown again once the database is closed.
TEST(AboutBox, ShowsTheSQLiteVersionOfTheOpenDatabase) {
  QTemporaryDir dir;
  TAcisDBSettings settings;
  settings.DBDir = dir.path().toStdString();
  AcisDB = std::make_unique<TAcisDB>(settings.DBDir + "/acis.db", settings);
  {
    TfrmAbout d(nullptr);
    EXPECT_EQ(d.SQLiteVer->text(), QString("SQLite version : ") + sqlite3_libversion());
  }
  ASSERT_EQ(sqlite3_create_function(AcisDB->FDb->Handle(), "sqlite_version", 0, SQLITE_UTF8, nullptr, ReportedVersion,
                                    nullptr, nullptr),
            SQLITE_OK);
  {
    TfrmAbout d(nullptr);
    EXPECT_EQ(d.SQLiteVer->text(), "SQLite version : 3.99.9-connection");
  }
  AcisDB.reset();
  TfrmAbout d(nullptr);
  EXPECT_EQ(d.SQLiteVer->text(), "SQLite version : 不明");
}

#include "test_frm_about.moc"
