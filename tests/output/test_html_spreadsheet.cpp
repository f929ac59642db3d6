// HTML pages handed to spreadsheet programs: the programs found on a temporary PATH of
// recording scripts (arguments kept whole, no shell), the failure texts, and the page read by
// the real LibreOffice Calc through its web-page import filter.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

#include <cstdlib>

#include "foundation/message_sink.h"
#include "output/grid_model.h"
#include "output/html_spreadsheet.h"
#include "output/result_page.h"

namespace {

TLogMessageSink& Sink() { return static_cast<TLogMessageSink&>(MessageSink()); }
using V = std::vector<std::string>;

// A folder of recording programs put on PATH alone for the life of the object: each writes
// its arguments, one per line, to <name>.args and copies its last argument to <name>.page.
struct TFakePrograms {
  QTemporaryDir Dir;
  std::string SavedPath;
  explicit TFakePrograms(const std::vector<std::string>& names) {
    SavedPath = std::getenv("PATH") ? std::getenv("PATH") : "";
    for (const auto& n : names) {
      const QString path = Dir.path() + "/" + QString::fromStdString(n);
      QFile f(path);
      EXPECT_TRUE(f.open(QIODevice::WriteOnly));
      const std::string rec = Dir.path().toStdString() + "/" + n;
      f.write(("#!/bin/sh\nfor a; do printf '%s\\n' \"$a\"; last=$a; done > '" + rec + ".tmp'\n" +
               "/bin/cp \"$last\" '" + rec + ".page'\n/bin/mv '" + rec + ".tmp' '" + rec + ".args'\n")
                  .c_str());
      f.close();
      f.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    }
    setenv("PATH", Dir.path().toUtf8().constData(), 1);
  }
  ~TFakePrograms() { setenv("PATH", SavedPath.c_str(), 1); }
  // The arguments a program was started with (waits for the detached program to finish).
  V Args(const std::string& name) const {
    const QString path = Dir.path() + "/" + QString::fromStdString(name) + ".args";
    for (int i = 0; i < 500 && !QFileInfo::exists(path); ++i) QThread::msleep(10);
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return {"<not started>"};
    V out;
    for (const QByteArray& line : f.readAll().split('\n'))
      if (!line.isEmpty()) out.push_back(line.toStdString());
    return out;
  }
  std::string Page(const std::string& name) const {
    QFile f(Dir.path() + "/" + QString::fromStdString(name) + ".page");
    return f.open(QIODevice::ReadOnly) ? f.readAll().toStdString() : std::string();
  }
};

std::string Markup() {
  TGridModel grid;
  grid.Fill({"番号", "農薬の名称", "備考"}, {{"1", "<水和剤> & \"乳剤\"", "-1"}, {"2", "トマト, なす", "-"}});
  TResultPageSource src;
  src.Grid = &grid;
  src.UpdateText = "2026年11月4日反映";
  TResultPage page = BuildResultPage(src, "", sskExcel, {"", ""});
  // What the view hands over: the markup inside the document element.
  const size_t head = page.Page.find("<head>");
  const size_t end = page.Page.rfind("</html>");
  return page.Page.substr(head, end - head);
}

}  // namespace

TEST(SpreadsheetPage, Utf8WrapperAndCharset) {
  EXPECT_EQ(SpreadsheetPage("<body>x</body>"),
            "\xEF\xBB\xBF<html>\r\n<meta http-equiv=\"Content-Type\" content=\"text/html; charset=UTF-8\">\r\n"
            "<body>x</body>\r\n</html>");
  const std::string m = Markup();
  EXPECT_EQ(SpreadsheetPage(m), "\xEF\xBB\xBF<html>\r\n" + m + "\r\n</html>");
  EXPECT_EQ(SpreadsheetPage("<head><META CHARSET=utf-8></head>"), "\xEF\xBB\xBF<html>\r\n<head><META CHARSET=utf-8></head>\r\n</html>");
}

TEST(SpreadsheetRoutes, ProgramsByTargetWithArgumentsKeptWhole) {
  {
    TFakePrograms fake({"soffice", "et"});
    Sink().Clear();
    QApplication::clipboard()->setText(QString::fromStdString(Markup()));
    ASSERT_EQ(PasteClipboardToSpreadsheet(sskExcel), 1);
    V args = fake.Args("soffice");
    ASSERT_EQ(args.size(), 3u);
    EXPECT_EQ(args[0], "--calc");
    EXPECT_EQ(args[1], "--infilter=calc_HTML_WebQuery");
    EXPECT_EQ(fake.Page("soffice"), SpreadsheetPage(Markup()));
    ASSERT_EQ(PasteClipboardToSpreadsheet(sskKingsoft), 1);
    args = fake.Args("et");
    ASSERT_EQ(args.size(), 1u);
    EXPECT_EQ(args[0].rfind('/', 0), 0u);  // an absolute path: never taken for an option
    // The Calc route names the page after the title: blanks, Japanese and a leading "-" intact.
    QFile::remove(fake.Dir.path() + "/soffice.args");
    ASSERT_EQ(PasteHtmlToCalc(Markup(), "-結果 一覧 \"x\""), 1);
    args = fake.Args("soffice");
    ASSERT_EQ(args.size(), 3u);
    EXPECT_EQ(QFileInfo(QString::fromStdString(args[2])).fileName().toStdString(), "_-結果 一覧 \"x\".html");
    EXPECT_EQ(fake.Page("soffice"), SpreadsheetPage(Markup()));
    EXPECT_EQ(Sink().Count(), 0u);
    // JustCalc has no program here.
    EXPECT_EQ(OpenFileInSpreadsheet(sskJustCalc, args[2]), -1);
    ASSERT_EQ(Sink().Count(), 1u);
    EXPECT_EQ(Sink().Messages()[0].text.rfind("JustCalc の起動もしくは処理に失敗しました", 0), 0u);
  }
  {
    TFakePrograms fake({"localc"});
    Sink().Clear();
    ASSERT_EQ(PasteHtmlToCalc(Markup(), "Quillmar"), 1);
    V args = fake.Args("localc");
    ASSERT_EQ(args.size(), 2u);
    EXPECT_EQ(args[0], "--infilter=calc_HTML_WebQuery");
    EXPECT_EQ(QFileInfo(QString::fromStdString(args[1])).fileName(), "Quillmar.html");
    EXPECT_EQ(PasteClipboardToSpreadsheet(sskKingsoft), -1);
    ASSERT_EQ(Sink().Count(), 1u);
    EXPECT_EQ(Sink().Messages()[0].text.rfind("WPS Spreadsheets の起動もしくは処理に失敗しました", 0), 0u);
  }
  {
    TFakePrograms none({});
    Sink().Clear();
    EXPECT_EQ(PasteClipboardToSpreadsheet(sskExcel), -1);
    EXPECT_EQ(PasteHtmlToCalc(Markup(), "Quillmar"), -1);
    ASSERT_EQ(Sink().Count(), 2u);
    EXPECT_EQ(Sink().Messages()[0].text.rfind("Excel の起動もしくは処理に失敗しました", 0), 0u);
    EXPECT_EQ(Sink().Messages()[1].text.rfind("LibreOffice Calc の起動もしくは処理に失敗しました", 0), 0u);
  }
}

TEST(SpreadsheetRoutes, LibreOfficeReadsTheCalcPageIntoCells) {
  const QString soffice = QStandardPaths::findExecutable("soffice");
  if (soffice.isEmpty()) GTEST_SKIP() << "LibreOffice is not installed";
  std::string error;
  const std::string page = WriteCalcPage(Markup(), "Quillmar", &error);
  ASSERT_FALSE(page.empty()) << error;
  QTemporaryDir out;
  QProcess p;
  p.start(soffice, {"-env:UserInstallation=file://" + out.path() + "/profile", "--headless",
                    "--infilter=calc_HTML_WebQuery", "--convert-to", "csv:Text - txt - csv (StarCalc):44,34,76,1",
                    "--outdir", out.path(), QString::fromStdString(page)});
  ASSERT_TRUE(p.waitForFinished(120000));
  ASSERT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
  QProcess py;
  py.start("/usr/bin/python3", {"-c",
                                "import csv,sys,json\n"
                                "print(json.dumps(list(csv.reader(open(sys.argv[1], encoding='utf-8-sig', newline='')))))\n",
                                out.path() + "/Quillmar.csv"});
  ASSERT_TRUE(py.waitForFinished(30000));
  std::vector<V> rows;
  for (const auto& r : QJsonDocument::fromJson(py.readAllStandardOutput()).array()) {
    V row;
    for (const auto& c : r.toArray()) row.push_back(c.toString().toStdString());
    // The page's heading and date line come first; the grid's table follows.
    if (!row.empty() && !row[0].empty()) rows.push_back(row);
  }
  ASSERT_GE(rows.size(), 3u);
  const std::vector<V> table(rows.end() - 3, rows.end());
  EXPECT_EQ(table[0], (V{"番号", "農薬の名称", "備考"}));
  EXPECT_EQ(table[1][1], "<水和剤> & \"乳剤\"");
  EXPECT_EQ(table[2][1], "トマト, なす");
  EXPECT_EQ(table[2][2], "-");
  EXPECT_EQ(table[1][2], "-1");
}
