// The HTML view on Qt WebEngine (under xvfb-run): a result page shown with the grid's cells,
// closing or freeing during a load, temporary pages removed, style-sheet switch, zoom and
// placement, copy by keys, the exports' routes and the posted look-ups against a loopback
// server.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDesktopServices>
#include <QDialog>
#include <QFileDialog>
#include <QPrintDialog>
#include <QPrinterInfo>
#include <QClipboard>
#include <QCursor>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QMimeData>
#include <QPointer>
#include <QProcess>
#include <QSlider>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <algorithm>
#include <cstdlib>

#include "foundation/file_dialog_pos.h"
#include "foundation/global.h"
#include "foundation/ini_file.h"
#include "foundation/message_sink.h"
#include "output/acis_post_lookup.h"
#include "output/frm_web_browser.h"
#include "output/grid_model.h"
#include "output/html_spreadsheet.h"
#include "output/html_view_route.h"
#include "output/page_view.h"
#include "output/result_page.h"
#include "output/temp_files.h"
#include "update/support_http_server.h"
#include "support_event_pump.h"

// Chromium inside Qt WebEngine frees some of its objects with a sized delete of another size;
// that report comes from the engine's library, not from this program.
extern "C" const char* __asan_default_options() { return "new_delete_type_mismatch=0"; }

// The engine draws without a GL context of the X server: with one, the X GL driver it loads
// and unloads again leaves allocations that the leak checker can no longer name.  Set before
// the application object is made.
static const bool kOffscreen = [] {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  return true;
}();

namespace {

TLogMessageSink& Sink() { return static_cast<TLogMessageSink&>(MessageSink()); }
using V = std::vector<std::string>;

// A program folder of its own with a style-sheet folder, as the settings object sees it.
struct TAppFolder {
  QTemporaryDir Dir;
  TAppFolder() {
    InitGlobals(Dir.path().toStdString());
    QDir().mkpath(QString::fromStdString(OptionData->CssDir));
  }
  ~TAppFolder() { FinalizeGlobals(); }
  void WriteCss(const std::string& name, const std::string& text) const {
    QFile f(QString::fromStdString(OptionData->CssDir + "/" + name));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(text.c_str());
  }
};

// Files in the private temporary folder.
QStringList TempFilesLeft() {
  QStringList out;
  const QString dir = QString::fromStdString(PrivateTempDir());
  for (const QFileInfo& fi : QDir(dir).entryInfoList(QDir::Files | QDir::Hidden)) out << fi.fileName();
  return out;
}

// Runs a script in the page and returns its result as JSON text.
QString RunJs(TfrmWebBrowser& view, const QString& script) {
  QString result;
  bool done = false;
  view.WebBrowser->RunScript(script, [&](const QVariant& v) {
    result = v.toString();
    done = true;
  });
  for (int i = 0; i < 500 && !done; ++i) Pump(10);
  return result;
}

std::vector<V> TableCells(TfrmWebBrowser& view, int table) {
  const QString json = RunJs(view, QString("JSON.stringify(Array.from(document.querySelectorAll('table')[%1].rows)"
                                           ".map(r => Array.from(r.cells).map(c => c.textContent)))")
                                       .arg(table));
  std::vector<V> rows;
  for (const auto& r : QJsonDocument::fromJson(json.toUtf8()).array()) {
    V row;
    for (const auto& c : r.toArray()) row.push_back(c.toString().toStdString());
    rows.push_back(row);
  }
  return rows;
}

TResultPage SamplePage(TGridModel& grid, int rows = 2) {
  std::vector<std::vector<std::string>> data = {{"1", "<script>alert(1)</script>", "a & b"},
                                                {"2", "</table>トマト", "\"q\""}};
  for (int i = 3; i <= rows; ++i) data.push_back({std::to_string(i), "水和剤" + std::to_string(i), "x"});
  grid.Fill({"番号", "農薬の名称", "備考"}, data);
  TResultPageSource src;
  src.Grid = &grid;
  src.UpdateText = "2026年11月4日反映";
  return BuildResultPage(src, OptionData ? OptionData->CssFile : "", sskExcel);
}

TfrmWebBrowser* NewView(const TResultPage& page, QWidget* owner = nullptr) {
  auto* view = new TfrmWebBrowser(owner);
  view->Html = page.Page;
  view->Body = page.Body;
  view->Head = page.Head;
  view->setWindowTitle("Quillmar(HTML)");
  return view;
}

}  // namespace

TEST(WebBrowser, ShowsThePageWithTheGridsCellsAndRemovesItsFilesOnClose) {
  TAppFolder app;
  TGridModel grid;
  const QStringList before = TempFilesLeft();
  QPointer<TfrmWebBrowser> view = NewView(SamplePage(grid));
  ASSERT_TRUE(view->Show());
  // The caption is the page's file, in the private temporary folder.
  EXPECT_EQ(view->windowTitle().toStdString(), view->TempFile);
  EXPECT_EQ(view->TempFile.rfind(PrivateTempDir(), 0), 0u);
  EXPECT_TRUE(QFileInfo::exists(QString::fromStdString(view->TempFile)));
  EXPECT_TRUE(view->DocumentComplete);
  EXPECT_NE(view->InnerHtml.find("&lt;script&gt;alert(1)&lt;/script&gt;"), std::string::npos);
  EXPECT_EQ(TableCells(*view, 0), (std::vector<V>{{"番号", "農薬の名称", "備考"},
                                                  {"1", "<script>alert(1)</script>", "a & b"},
                                                  {"2", "</table>トマト", "\"q\""}}));
  EXPECT_EQ(RunJs(*view, "document.characterSet"), "UTF-8");
  std::string markup;
  ASSERT_TRUE(view->CurrentMarkup(markup));
  EXPECT_NE(markup.find("&lt;/table&gt;トマト"), std::string::npos);

  view->close();
  Pump(50);
  EXPECT_TRUE(view.isNull());
  EXPECT_EQ(TempFilesLeft(), before);
}

TEST(WebBrowser, APageProcessThatEndsNeitherHangsNorLosesTheExport) {
  TAppFolder app;
  TGridModel grid;
  Sink().Clear();
  QPointer<TfrmWebBrowser> view = NewView(SamplePage(grid));
  ASSERT_TRUE(view->Show());
  // The engine's page process ends, as it does when a page is too large for it.
  view->WebBrowser->Load(QUrl("chrome://crash"));
  for (int i = 0; i < 1000 && !view->RendererGone(); ++i) Pump(10);
  ASSERT_TRUE(view->RendererGone());
  // The blank window says why.
  Pump(20);
  ASSERT_GE(Sink().Count(), 1u);
  EXPECT_EQ(Sink().Messages().back().text.rfind("ページを表示できませんでした。", 0), 0u);
  EXPECT_TRUE(view->StatusBar->currentMessage().startsWith("ページを表示できませんでした。"));
  EXPECT_TRUE(view->WaitForDocument(5000));
  std::string markup;
  ASSERT_TRUE(view->CurrentMarkup(markup));
  EXPECT_EQ(markup, TfrmWebBrowser::PageMarkup(view->Html));
  EXPECT_EQ(markup.rfind("<head>", 0), 0u);
  EXPECT_NE(markup.find("&lt;/table&gt;トマト"), std::string::npos);
  EXPECT_EQ(markup.find("</html>"), std::string::npos);
  view->close();
  Pump(50);

  // A view made only to run an export keeps quiet (also where the desktop shows it as it is,
  // not minimised).
  Sink().Clear();
  QPointer<TfrmWebBrowser> quiet = NewView(SamplePage(grid));
  quiet->ExportOnly = true;
  ASSERT_TRUE(quiet->Show());
  quiet->WebBrowser->Load(QUrl("chrome://crash"));
  for (int i = 0; i < 1000 && !quiet->RendererGone(); ++i) Pump(10);
  ASSERT_TRUE(quiet->RendererGone());
  Pump(20);
  EXPECT_EQ(Sink().Count(), 0u);
  quiet->close();
  Pump(50);
}

TEST(WebBrowser, ClosingOrFreeingDuringTheLoadEndsTheWaitSafely) {
  TAppFolder app;
  TGridModel grid;
  const TResultPage big = SamplePage(grid, 20000);
  const QStringList before = TempFilesLeft();
  {
    // The user closes the window while the page loads.
    QPointer<TfrmWebBrowser> view = NewView(big);
    QTimer::singleShot(30, view, [view] { view->close(); });
    EXPECT_FALSE(view->Show());
    Pump(50);
    EXPECT_TRUE(view.isNull());
  }
  {
    // The owner goes away while the page loads: the view goes with it.
    auto* owner = new QWidget;
    QPointer<TfrmWebBrowser> view = NewView(big, owner);
    QTimer::singleShot(30, owner, [owner] { delete owner; });
    view->Show();
    Pump(50);
    EXPECT_TRUE(view.isNull());
  }
  {
    // Freed at once by its creator while the load runs.
    QPointer<TfrmWebBrowser> view = NewView(big);
    QTimer::singleShot(30, view, [view] { delete view.data(); });
    EXPECT_FALSE(view->Show());
    EXPECT_TRUE(view.isNull());
  }
  Pump(200);
  EXPECT_EQ(TempFilesLeft(), before);
}

TEST(WebBrowser, StyleSheetSwitchZoomPlacementAndExportButton) {
  TAppFolder app;
  app.WriteCss("a.css", "td { color: rgb(255, 0, 0); }\n");
  app.WriteCss("b.css", "td { color: rgb(0, 0, 255); }\n");
  OptionData->CssFile = "a.css";
  OptionData->SpreadSheet = 2;
  TGridModel grid;
  const QStringList before = TempFilesLeft();
  QPointer<TfrmWebBrowser> view = NewView(SamplePage(grid));
  // The WPS export is the button's action.
  EXPECT_EQ(view->btnExcel->defaultAction(), view->actExportWPS);
  ASSERT_EQ(view->cbCssFile->count(), 2);
  EXPECT_EQ(view->cbCssFile->currentText(), "a.css");
  ASSERT_TRUE(view->Show());
  const auto color = [&] {
    return RunJs(*view, "getComputedStyle(document.querySelector('td')).color").toStdString();
  };
  EXPECT_EQ(color(), "rgb(255, 0, 0)");
  const std::string first = view->TempFile;

  view->cbCssFile->setCurrentIndex(1);
  emit view->cbCssFile->activated(1);
  ASSERT_TRUE(view->WaitForDocument());
  EXPECT_NE(view->TempFile, first);
  EXPECT_EQ(color(), "rgb(0, 0, 255)");
  EXPECT_EQ(OptionData->CssFile, OptionData->CssDir + "/b.css");
  EXPECT_EQ(TableCells(*view, 0).size(), 3u);

  view->trkZoom->setValue(4);
  EXPECT_DOUBLE_EQ(view->WebBrowser->Zoom(), TfrmWebBrowser::ZoomFactorOf(4));
  view->setGeometry(QRect(150, 160, 640, 480));
  Pump(50);
  view->close();
  Pump(50);
  EXPECT_TRUE(view.isNull());
  EXPECT_EQ(TempFilesLeft(), before);  // both pages gone
  {
    TIniFile ini(OptionData->IniFileName);
    EXPECT_EQ(ini.ReadInteger(SECTION_WINDOW, "WebBrowserWidth", 0), 640);
    EXPECT_EQ(ini.ReadInteger(SECTION_WINDOW, "WebBrowserHeight", 0), 480);
  }
  // The next view starts in the middle size, where the last one stood.
  QPointer<TfrmWebBrowser> next = NewView(SamplePage(grid));
  EXPECT_EQ(next->trkZoom->value(), 2);
  EXPECT_EQ(next->size(), QSize(640, 480));
  ASSERT_TRUE(next->Show());
  EXPECT_DOUBLE_EQ(next->WebBrowser->Zoom(), 1.0);
  next->close();
  Pump(50);
}

class TUrlRecorder : public QObject {
  Q_OBJECT
 public:
  std::vector<QUrl> Urls;
  Q_INVOKABLE void Open(const QUrl& url) { Urls.push_back(url); }
};

QByteArray FileStart(const QString& path, int n) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.read(n) : QByteArray();
}

TEST(WebBrowser, SaveAndPrintToPdfAndPreviewAndPageSetup) {
  TAppFolder app;
  TGridModel grid;
  QTemporaryDir out;
  const QStringList before = TempFilesLeft();
  QPointer<TfrmWebBrowser> view = NewView(SamplePage(grid));
  ASSERT_TRUE(view->Show());
  Sink().Clear();

  // Save: the page as built, under the chosen name.
  const QString saved = out.path() + "/結果 一覧.html";
  TFileDialogPos::AfterShow = [&](QFileDialog& d) {
    d.selectFile(saved);
    QMetaObject::invokeMethod(&d, "accept");
  };
  view->bSave->trigger();
  QFile f(saved);
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  EXPECT_EQ(f.readAll().toStdString(), view->Html);
  // A save that cannot be written is reported and leaves nothing under the name.
  const QString bad = out.path() + "/missing-folder/x.html";
  TFileDialogPos::AfterShow = [&](QFileDialog& d) {
    d.selectFile(bad);
    QMetaObject::invokeMethod(&d, "accept");
  };
  view->bSave->trigger();
  TFileDialogPos::AfterShow = nullptr;
  EXPECT_FALSE(QFileInfo::exists(bad));
  ASSERT_EQ(Sink().Count(), 1u);
  EXPECT_EQ(Sink().Messages()[0].text.rfind("HTMLファイルを保存できませんでした。", 0), 0u);

  // Page setup and print run through the dialog hook; print to a PDF file.
  std::vector<std::string> dialogs;
  const QString pdf = out.path() + "/printed.pdf";
  TfrmWebBrowser::DialogHook = [&](QDialog& d) {
    dialogs.push_back(d.metaObject()->className());
    if (auto* pd = qobject_cast<QPrintDialog*>(&d)) {
      pd->printer()->setOutputFormat(QPrinter::PdfFormat);
      pd->printer()->setOutputFileName(pdf);
    }
    return int(QDialog::Accepted);
  };
  view->bPageSetup->trigger();
  // While the engine prints, the hourglass; afterwards the ordinary cursor.
  std::vector<int> shapes;
  QTimer watch;
  QObject::connect(&watch, &QTimer::timeout, [&] {
    shapes.push_back(QApplication::overrideCursor() ? QApplication::overrideCursor()->shape() : -1);
  });
  watch.start(0);
  view->bPrint->trigger();
  watch.stop();
  EXPECT_NE(std::find(shapes.begin(), shapes.end(), int(Qt::WaitCursor)), shapes.end());
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
  EXPECT_EQ(FileStart(pdf, 4), "%PDF");
  if (QPrinterInfo::availablePrinters().isEmpty()) {
    // Preview without a printer: the page as a PDF in the desktop's viewer.
    TUrlRecorder rec;
    QDesktopServices::setUrlHandler("file", &rec, "Open");
    view->bPreview->trigger();
    QDesktopServices::unsetUrlHandler("file");
    ASSERT_EQ(rec.Urls.size(), 1u);
    const QString preview = rec.Urls[0].toLocalFile();
    EXPECT_TRUE(preview.startsWith(QString::fromStdString(PrivateTempDir())));
    EXPECT_EQ(FileStart(preview, 4), "%PDF");
  }
  TfrmWebBrowser::DialogHook = nullptr;
  EXPECT_EQ(dialogs, (V{"QPageSetupDialog", "QPrintDialog"}));
  EXPECT_EQ(Sink().Count(), 1u);
  view->close();
  Pump(50);
  EXPECT_EQ(TempFilesLeft(), before);  // page and preview gone
}

TEST(WebBrowser, SelectAllAndCopyByKeys) {
  TAppFolder app;
  TGridModel grid;
  QPointer<TfrmWebBrowser> view = NewView(SamplePage(grid));
  ASSERT_TRUE(view->Show());
  view->activateWindow();
  view->WebBrowser->setFocus();
  Pump(100);
  QApplication::clipboard()->clear();
  // The keys go where the page's focus is: the innermost focus proxy of the view.
  QWidget* target = view->WebBrowser;
  while (target->focusProxy()) target = target->focusProxy();
  QTest::keyClick(target, Qt::Key_A, Qt::ControlModifier);
  Pump(100);
  QTest::keyClick(target, Qt::Key_C, Qt::ControlModifier);
  for (int i = 0; i < 100 && QApplication::clipboard()->text().isEmpty(); ++i) Pump(20);
  const std::string text = QApplication::clipboard()->text().toStdString();
  EXPECT_NE(text.find("<script>alert(1)</script>"), std::string::npos) << text;
  EXPECT_NE(text.find("農薬登録情報検索結果"), std::string::npos);
  view->close();
  Pump(50);
}

TEST(WebBrowser, ExportsHandTheMarkupToTheirRoutes) {
  TAppFolder app;
  TGridModel grid;
  QTemporaryDir bin;
  // A recording LibreOffice on a PATH of its own.
  const QString rec = bin.path() + "/soffice";
  {
    QFile f(rec);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(("#!/bin/sh\nfor a; do printf '%s\\n' \"$a\"; last=$a; done > '" + bin.path().toStdString() +
             "/args.tmp'\n/bin/cp \"$last\" '" + bin.path().toStdString() + "/page.html'\n/bin/mv '" +
             bin.path().toStdString() + "/args.tmp' '" + bin.path().toStdString() + "/args'\n")
                .c_str());
    f.close();
    f.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
  }
  const std::string savedPath = std::getenv("PATH");
  setenv("PATH", bin.path().toUtf8().constData(), 1);
  Sink().Clear();

  QPointer<TfrmWebBrowser> view = NewView(SamplePage(grid));
  // The way the main window exports: minimised, shown, one export, freed.
  view->setWindowState(Qt::WindowMinimized);
  ASSERT_TRUE(view->Show());
  EXPECT_EQ(view->actExportCalcExecute(), 1);
  EXPECT_EQ(view->btnExcel->defaultAction(), view->actExportCalc);
  QFile args(bin.path() + "/args");
  for (int i = 0; i < 500 && !args.exists(); ++i) Pump(10);
  ASSERT_TRUE(args.open(QIODevice::ReadOnly));
  const QList<QByteArray> lines = args.readAll().split('\n');
  ASSERT_GE(lines.size(), 3);
  EXPECT_EQ(lines[1], "--infilter=calc_HTML_WebQuery");
  EXPECT_TRUE(lines[2].endsWith("/Quillmar.html"));
  QFile page(bin.path() + "/page.html");
  ASSERT_TRUE(page.open(QIODevice::ReadOnly));
  const std::string pageText = page.readAll().toStdString();
  EXPECT_NE(pageText.find("&lt;/table&gt;トマト"), std::string::npos);
  EXPECT_NE(pageText.find("charset=UTF-8"), std::string::npos);

  // Excel route: the markup goes on the clipboard as HTML and as text.
  EXPECT_EQ(view->actExportExcelExecute(), 1);
  const QMimeData* mime = QApplication::clipboard()->mimeData();
  ASSERT_TRUE(mime);
  EXPECT_TRUE(mime->hasHtml());
  EXPECT_NE(mime->text().toStdString().find("&lt;/table&gt;トマト"), std::string::npos);
  // JustCalc has no program here: its own failure text, once.
  EXPECT_EQ(view->actExportJustCalcExecute(), -1);
  EXPECT_EQ(view->btnExcel->defaultAction(), view->actExportJustCalc);
  ASSERT_EQ(Sink().Count(), 1u);
  EXPECT_EQ(Sink().Messages()[0].text.rfind("JustCalc の起動もしくは処理に失敗しました", 0), 0u);
  delete view.data();
  setenv("PATH", savedPath.c_str(), 1);
}

// The export routes of the main window and the grid window: a page without a script goes to
// the program as built, without being loaded into the engine first (a large result took a
// minute there and could exhaust the engine); a page with results.js is loaded, and what its
// script made of the document is what the program gets.
TEST(WebBrowser, ExportRoutesLoadThePageOnlyForItsScript) {
  TAppFolder app;
  QTemporaryDir bin;
  const std::string b = bin.path().toStdString();
  {
    QFile f(bin.path() + "/soffice");
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(("#!/bin/sh\nfor a; do last=$a; done\n/bin/cp \"$last\" '" + b + "/page.tmp'\n/bin/mv '" + b +
             "/page.tmp' '" + b + "/page.html'\n")
                .c_str());
    f.close();
    f.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
  }
  const std::string savedPath = std::getenv("PATH");
  setenv("PATH", bin.path().toUtf8().constData(), 1);
  auto handedOver = [&] {
    QFile page(bin.path() + "/page.html");
    for (int i = 0; i < 500 && !page.exists(); ++i) Pump(10);
    std::string text;
    if (page.open(QIODevice::ReadOnly)) text = page.readAll().toStdString();
    page.remove();
    return text;
  };
  TGridModel grid;
  const TResultPage plain = SamplePage(grid);
  ASSERT_TRUE(plain.Head.empty());
  EXPECT_EQ(RunHtmlViewRoute(nullptr, plain, "Quillmar(HTML)", 1), 1);
  EXPECT_EQ(handedOver(), SpreadsheetPage(TfrmWebBrowser::PageMarkup(plain.Page)));

  // With results.js the page's script has its say.
  {
    QFile js(QString::fromStdString(OptionData->TemplateDir + "/results.js"));
    QDir().mkpath(QString::fromStdString(OptionData->TemplateDir));
    ASSERT_TRUE(js.open(QIODevice::WriteOnly));
    js.write("function results(kind) { var p = document.createElement('p'); p.id = 'made';"
             " p.textContent = 'made by results'; document.body.appendChild(p); }\n");
  }
  const TResultPage scripted = SamplePage(grid);
  ASSERT_FALSE(scripted.Head.empty());
  EXPECT_EQ(RunHtmlViewRoute(nullptr, scripted, "Quillmar(HTML)", 1), 1);
  const std::string text = handedOver();
  EXPECT_NE(text.find("made by results"), std::string::npos);
  EXPECT_NE(text.find("&lt;/table&gt;トマト"), std::string::npos);
  Pump(50);
  setenv("PATH", savedPath.c_str(), 1);
}

TEST(WebBrowser, PostedLookUpsReachTheServiceWithTheirExactBody) {
  TAppFolder app;
  TTestHttpServer server;
  ASSERT_TRUE(server.Running());
  setenv("QUILLMAR_ACIS_BASE", server.Base().c_str(), 1);
  Sink().Clear();

  // Not a registration number: nothing is sent.
  EXPECT_EQ(OpenAcisPostLookup(nullptr, TAcisPostLookup::TourokuTbl, "12a45", "", "x"), nullptr);
  EXPECT_EQ(OpenAcisPostLookup(nullptr, TAcisPostLookup::TourokuTbl, "12345&skko.value=1", "", "x"), nullptr);
  EXPECT_EQ(Sink().Count(), 2u);

  // Full-width digits and blanks: the number as digits; the name in Shift-JIS, every byte encoded.
  QPointer<TfrmWebBrowser> view =
      OpenAcisPostLookup(nullptr, TAcisPostLookup::Dokusei, " １２３４５ ", "ﾃｽﾄ&乳剤 100", "Quillmar - 製剤毒性");
  ASSERT_TRUE(view);
  EXPECT_EQ(view->Keyword, "12345");
  EXPECT_EQ(view->windowTitle(), "Quillmar - 製剤毒性");
  ASSERT_TRUE(view->WaitForDocument());
  // The service's page is shown.
  EXPECT_NE(view->InnerHtml.find("/search/vtllg204.do"), std::string::npos);
  const std::string expected =
      "currentTag=0&clickTrk_no=12345&trk_no=12345&skko.value=0&trk_date_gyymmddformat=&"
      "yuko_date_gyymmddformat=&nyk_syu_name=&nyk_name=%C3%BD%C4%26%93%FB%8D%DC%20%31%30%30&syh_name=&"
      "syh_jki_name=&yuko_kgk_name=&yuko_nd_num_from=&yuko_nd_num_to=&snt_sebn_name=&snt_sebn_nd_num_from=&"
      "snt_sebn_nd_num_to=&tkyo_name=&syh_mk_name=&hzai_syo_num=&snsya_name=&snsya_add_name=&trk_date.year=&"
      "trk_date.month=&trk_date.day=&yuko_date.year=&yuko_date.month=&yuko_date.day=&skmt[0].value=&"
      "skmt[0].label=&byg[0].value=&byg[0].label=&zai.value=&zai.label=";
  // The JustCalc export has nothing to hand over in post mode.
  EXPECT_EQ(view->actExportJustCalcExecute(), 0);
  view->close();
  Pump(50);

  QPointer<TfrmWebBrowser> table = OpenAcisPostLookup(nullptr, TAcisPostLookup::TourokuTbl, "23456", "", "t");
  ASSERT_TRUE(table);
  ASSERT_TRUE(table->WaitForDocument());
  table->close();
  Pump(50);

  QProcess p;
  p.start("/usr/bin/python3", {"-c", "import sys,urllib.request\nsys.stdout.buffer.write(urllib.request.urlopen(sys.argv[1]).read())",
                               QString::fromStdString(server.Url("/__posts"))});
  ASSERT_TRUE(p.waitForFinished(30000));
  const QList<QByteArray> posts = p.readAllStandardOutput().split('\n');
  ASSERT_EQ(posts.size(), 2);
  EXPECT_EQ(posts[0].toStdString(), "/search/vtllg204.do\tapplication/x-www-form-urlencoded\t" + expected);
  const QList<QByteArray> second = posts[1].split('\t');
  ASSERT_EQ(second.size(), 3);
  EXPECT_EQ(second[0], "/search/vtllg304.do");
  EXPECT_EQ(second[1], "application/x-www-form-urlencoded");
  EXPECT_TRUE(second[2].startsWith("currentPage=0&clickTrk_no=23456&trk_no=23456&skko.value=0&"));
  EXPECT_TRUE(second[2].contains("&nyk_name=&"));
  EXPECT_EQ(second[2].count('&'), 32);
  unsetenv("QUILLMAR_ACIS_BASE");
}

#include "test_web_browser.moc"
