// The about box without any database: the release of the build (the project's version in
// CMakeLists.txt), the library versions the program runs with, the system, and the address.
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

}  // namespace

TEST(AboutBox, OpensWithoutADatabaseAndShowsTheVersions) {
  AcisDB.reset();
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

  // The address is the program's own page, one that exists, and opens on a click; OK closes.
  const QUrl address(d.lblUrl->text());
  ASSERT_TRUE(address.isValid()) << d.lblUrl->text().toStdString();
  if (address.isLocalFile()) {
    QFile page(address.toLocalFile());
    ASSERT_TRUE(page.open(QIODevice::ReadOnly)) << address.toLocalFile().toStdString();
    EXPECT_TRUE(page.readAll().contains("Quillmar"));
  }
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

TEST(AboutBox, ShowsTheSQLiteVersionOfTheOpenDatabase) {
  QTemporaryDir dir;
  TAcisDBSettings settings;
  settings.DBDir = dir.path().toStdString();
  AcisDB = std::make_unique<TAcisDB>(settings.DBDir + "/acis.db", settings);
  {
    TfrmAbout d(nullptr);
    EXPECT_EQ(d.SQLiteVer->text(), QString("SQLite version : ") + sqlite3_libversion());
  }
  AcisDB.reset();
}

#include "test_frm_about.moc"
