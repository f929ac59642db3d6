// The spreadsheet exports of a grid end to end: the workbook goes to the private export folder
// and the program found on PATH is started with it.  Recording programs on a temporary PATH
// stand in for the spreadsheet programs.
#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QThread>

#include "foundation/message_sink.h"
#include "output/spreadsheet_export.h"
#include "output/spreadsheet_launcher.h"

namespace {

TLogMessageSink& Sink() { return static_cast<TLogMessageSink&>(MessageSink()); }

// A temporary PATH and TMPDIR for the test's lifetime.
class TLaunchEnv {
 public:
  TLaunchEnv() : oldPath_(qgetenv("PATH")), oldTmp_(qgetenv("TMPDIR")) {
    QDir().mkpath(bin());
    qputenv("PATH", bin().toLocal8Bit());
    qputenv("TMPDIR", tmp_.path().toLocal8Bit());
  }
  ~TLaunchEnv() {
    qputenv("PATH", oldPath_);
    if (oldTmp_.isNull()) qunsetenv("TMPDIR");
    else qputenv("TMPDIR", oldTmp_);
  }
  QString bin() const { return root_.filePath("bin"); }
  QString record(const QString& name) const { return root_.filePath(name + ".args"); }
  // A program that writes its name and each argument (between brackets) to <name>.args.
  void AddRecorder(const QString& name, const char* interpreter = "/bin/sh") {
    QFile f(bin() + "/" + name);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(QString("#!%1\n{ printf '%s\\n' \"${0##*/}\"; for a in \"$@\"; do printf '[%s]\\n' \"$a\"; done; } > '%2.tmp'\n"
                    "/bin/mv '%2.tmp' '%2'\n")
                .arg(interpreter, record(name))
                .toUtf8());
    f.close();
    f.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
  }
  // What a recorder wrote (waits for the detached program).
  std::string Recorded(const QString& name) const {
    QElapsedTimer t;
    t.start();
    QFile f(record(name));
    while (!f.exists() && t.elapsed() < 10000) QThread::msleep(20);
    if (!f.open(QIODevice::ReadOnly)) return {};
    const QByteArray text = f.readAll();
    f.close();
    f.remove();
    return text.toStdString();
  }
  QString exportDir() const {
    std::string err;
    return QString::fromStdString(SpreadsheetExportDir(&err));
  }

 private:
  QTemporaryDir root_, tmp_;
  QByteArray oldPath_, oldTmp_;
};

void FillSample(TXlsStringGrid& g) {
  g.Fill({"番号", "農薬の名称"}, {{"1", "ボルドー"}, {"2", "石灰硫黄合剤"}});
}

}  // namespace

TEST(SpreadsheetLaunch, NoProgramGivesMinusOneWithTheTargetsMessageAlways) {
  TLaunchEnv env;
  env.AddRecorder("soffice");  // JustCalc has no program here, whatever is installed
  TXlsStringGrid g;
  FillSample(g);
  g.ShowErrDlg = false;  // the cannot-start message is shown all the same
  struct {
    int (TXlsStringGrid::*copy)();
    const char* message;
  } cases[] = {
      {&TXlsStringGrid::CopyJustCalc, "JustCalc を起動できませんでした。\r\nJustCalc のインストールを確認してください。"},
      {&TXlsStringGrid::CopyKingsoft,
       "Kingsoft Spreadsheets を起動できませんでした。\r\nKingsoft Spreadsheets のインストールを確認してください。"},
  };
  for (const auto& c : cases) {
    Sink().Clear();
    EXPECT_EQ((g.*c.copy)(), -1);
    ASSERT_EQ(Sink().Count(), 1u);
    EXPECT_EQ(Sink().Messages()[0].text, c.message);
  }
  QFile::remove(env.bin() + "/soffice");
  Sink().Clear();
  EXPECT_EQ(g.CopyExcel(), -1);
  ASSERT_EQ(Sink().Count(), 1u);
  EXPECT_EQ(Sink().Messages()[0].text, "MS-Excelを起動できませんでした。\r\nMS-Excelのインストールを確認してください。");
  // Nothing was written for a program that is not there.
  EXPECT_TRUE(QDir(env.exportDir()).entryList(QDir::Files | QDir::Hidden).isEmpty());
}

TEST(SpreadsheetLaunch, ProgramsByTargetGetTheWorkbookAsOneAbsoluteArgument) {
  TLaunchEnv env;
  TXlsStringGrid g;
  FillSample(g);
  Sink().Clear();

  // Only the desktop's handler: the Excel route uses it.
  env.AddRecorder("xdg-open");
  ASSERT_EQ(g.CopyExcel(), 1);
  const QString dir = env.exportDir();
  EXPECT_EQ(env.Recorded("xdg-open"), ("xdg-open\n[" + dir + "/Quillmar.xlsx]\n").toStdString());
  EXPECT_TRUE(QFile::exists(dir + "/Quillmar.xlsx"));
  EXPECT_EQ(QFileInfo(dir).permissions() & (QFile::ReadOther | QFile::WriteOther | QFile::ExeOther), 0);

  // LibreOffice comes first; a sheet name with blanks, Japanese and a leading "-" stays one
  // argument, and a name already taken gets "(2)".
  env.AddRecorder("soffice");
  env.AddRecorder("et");
  g.SheetName = "-負荷 テスト";
  ASSERT_EQ(g.CopyExcel(), 1);
  EXPECT_EQ(env.Recorded("soffice"), ("soffice\n[" + dir + "/-負荷 テスト.xlsx]\n").toStdString());
  ASSERT_EQ(g.CopyExcel(), 1);
  EXPECT_EQ(env.Recorded("soffice"), ("soffice\n[" + dir + "/-負荷 テスト(2).xlsx]\n").toStdString());
  // WPS for the Kingsoft route.
  ASSERT_EQ(g.CopyKingsoft(), 1);
  EXPECT_EQ(env.Recorded("et"), ("et\n[" + dir + "/-負荷 テスト(3).xlsx]\n").toStdString());
  EXPECT_EQ(Sink().Count(), 0u);
  // No temporary files are left beside the workbooks.
  EXPECT_EQ(QDir(dir).entryList({".*.part"}, QDir::Files | QDir::Hidden), QStringList());
}

TEST(SpreadsheetLaunch, FailuresGiveTheirCodesAndMessages) {
  TLaunchEnv env;
  TXlsStringGrid g;
  FillSample(g);

  // A program that cannot be started: -2 with the failure message.
  env.AddRecorder("soffice", "/nonexistent/interpreter");
  Sink().Clear();
  EXPECT_EQ(g.CopyExcel(), -2);
  ASSERT_EQ(Sink().Count(), 1u);
  EXPECT_EQ(Sink().Messages()[0].text.rfind("ＯＬＥ実行中にエラーが発生しました。\r\n", 0), 0u);

  // More rows than a sheet holds from the start row: -3, nothing written.
  QFile::remove(env.bin() + "/soffice");
  env.AddRecorder("soffice");
  ASSERT_TRUE(g.SetStartRow(1048576));
  Sink().Clear();
  EXPECT_EQ(g.CopyExcel(), -3);
  ASSERT_EQ(Sink().Count(), 1u);
  EXPECT_EQ(Sink().Messages()[0].text, "コピーする領域がシステムの許容範囲を越えたので、\r\nコピーを中断します。");
  g.ShowErrDlg = false;
  Sink().Clear();
  EXPECT_EQ(g.CopyExcel(), -3);
  EXPECT_EQ(Sink().Count(), 0u);

  // The export folder cannot be made (TMPDIR is a file): -2.
  QTemporaryDir other;
  QFile file(other.filePath("plain"));
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.close();
  qputenv("TMPDIR", file.fileName().toLocal8Bit());
  ASSERT_TRUE(g.SetStartRow(1));
  g.ShowErrDlg = true;
  Sink().Clear();
  EXPECT_EQ(g.CopyExcel(), -2);
  EXPECT_EQ(Sink().Count(), 1u);

  // Only a title row: 2 before any program is looked for.
  TXlsStringGrid empty;
  empty.Fill({"番号"}, {});
  Sink().Clear();
  EXPECT_EQ(empty.CopyExcel(), 2);
  ASSERT_EQ(Sink().Count(), 1u);
  EXPECT_EQ(Sink().Messages()[0].text, "グリッド内に、コピーするデータがありません。");
}
