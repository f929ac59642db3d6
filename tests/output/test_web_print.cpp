// Printing the HTML view (under xvfb-run): a result wider than the paper keeps every column,
// printed to PDF and read back with pdftotext; the print route turns to landscape for it, a
// narrow result prints as it stands, and the screen is left as it was; the rule that picks
// paper and zoom; a long result is drawn with every row and column; a page process that ends
// during a print ends the wait, and the page is drawn instead.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QDir>
#include <QEventLoop>
#include <QPointer>
#include <QPrintDialog>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolBar>

#include <csignal>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "foundation/global.h"
#include "foundation/message_sink.h"
#include "output/default_style_sheets.h"
#include "output/frm_web_browser.h"
#include "output/grid_model.h"
#include "output/page_view.h"
#include "output/result_page.h"
#include "support_event_pump.h"

// As in the other engine tests: the engine's own sized deletes and a GL-less drawing.
extern "C" const char* __asan_default_options() { return "new_delete_type_mismatch=0"; }
static const bool kOffscreen = [] {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  return true;
}();

namespace {

struct TAppFolder {
  QTemporaryDir Dir;
  TAppFolder() {
    InitGlobals(Dir.path().toStdString());
    EnsureDefaultStyleSheets(OptionData->CssDir);
    OptionData->CssFile = "standard.css";
  }
  ~TAppFolder() { FinalizeGlobals(); }
};

QString RunJs(TfrmWebBrowser& view, const QString& script) {
  // The answer lives in state that outlives a wait that gave up.
  auto answer = std::make_shared<std::optional<QString>>();
  view.WebBrowser->RunScript(script, [answer](const QVariant& v) { *answer = v.toString(); });
  for (int i = 0; i < 500 && !answer->has_value(); ++i) Pump(10);
  return answer->value_or(QString());
}

// The columns of a crop search's result as the first display mode shows them.
const std::vector<std::string> kCropTitles = {
    "番号",     "種類名",   "農薬の名称", "通称名",     "作物名",       "適用病害虫雑草名",
    "使用目的", "使用時期", "希釈倍数",   "使用液量",   "使用方法",     "適用場所",
    "くん蒸時間", "くん蒸温度", "適用土壌", "適用地帯名", "適用農薬名", "本剤の使用回数",
    "製剤毒性", "用途",     "効果",       "剤型"};

const std::vector<std::string> kCropRow = {
    "", "殺虫剤", "アセタミプリド水溶剤", "モスピラン", "トマト", "アブラムシ類", "", "収穫前日まで", "2000～4000倍",
    "100～300L/10a", "散布", "", "", "", "", "", "", "3回以内", "普通物", "殺虫剤", "アブラムシ類の防除", "水溶剤"};

// `copies` times the crop result's columns side by side (titles after the first with a number).
std::vector<std::string> Titles(int copies) {
  std::vector<std::string> out;
  for (int i = 0; i < copies; ++i)
    for (const std::string& t : kCropTitles) out.push_back(i ? t + std::to_string(i + 1) : t);
  return out;
}

TResultPage CropPage(TGridModel& grid, int rows, int copies = 1) {
  std::vector<std::vector<std::string>> data;
  for (int r = 0; r < rows; ++r) {
    std::vector<std::string> row;
    for (int i = 0; i < copies; ++i) row.insert(row.end(), kCropRow.begin(), kCropRow.end());
    row[0] = std::to_string(20001 + r);
    data.push_back(row);
  }
  grid.Fill(Titles(copies), data);
  TResultPageSource src;
  src.Grid = &grid;
  src.UpdateText = "2026年11月4日反映";
  return BuildResultPage(src, OptionData->CssFile, sskExcel);
}

TResultPage NarrowPage(TGridModel& grid) {
  grid.Fill({"番号", "農薬の名称", "作物名"}, {{"20001", "アセタミプリド水溶剤", "トマト"}});
  TResultPageSource src;
  src.Grid = &grid;
  return BuildResultPage(src, OptionData->CssFile, sskExcel);
}

TfrmWebBrowser* NewView(const TResultPage& page) {
  auto* view = new TfrmWebBrowser;
  view->Html = page.Page;
  view->Body = page.Body;
  view->Head = page.Head;
  return view;
}

// The text of one page of a PDF, without blanks and line breaks.  Compatibility forms are
// folded: a PDF written by Qt names a CJK glyph by the first character the font maps to it,
// which for a glyph shared with a Kangxi radical (用, 水) is the radical.
std::string PdfPageText(const QString& pdf, int page) {
  QProcess p;
  p.start("pdftotext", {"-f", QString::number(page), "-l", QString::number(page), "-enc", "UTF-8", pdf, "-"});
  if (!p.waitForFinished(60000) || p.exitCode() != 0) return "(pdftotext failed)";
  QString text = QString::fromUtf8(p.readAllStandardOutput());
  text.remove(QRegularExpression("\\s"));
  return text.normalized(QString::NormalizationForm_KC).toStdString();
}

// The text of a whole PDF as a reader finds it: nothing folded, blanks and line breaks out.
std::string PdfRawText(const QString& pdf) {
  QProcess p;
  p.start("pdftotext", {"-enc", "UTF-8", pdf, "-"});
  if (!p.waitForFinished(60000) || p.exitCode() != 0) return "(pdftotext failed)";
  QString text = QString::fromUtf8(p.readAllStandardOutput());
  text.remove(QRegularExpression("\\s"));
  return text.toStdString();
}

// The number of images in a PDF (pdfimages -list: two title lines, then one line each).
int PdfImages(const QString& pdf) {
  QProcess p;
  p.start("pdfimages", {"-list", pdf});
  if (!p.waitForFinished(60000) || p.exitCode() != 0) return -1;
  return int(QString::fromUtf8(p.readAllStandardOutput()).trimmed().split('\n').size()) - 2;
}

// The bound between the engine's print and the drawn one, for one test.
struct TCellBound {
  size_t Old = TfrmWebBrowser::EnginePrintCellBound;
  explicit TCellBound(size_t bound) { TfrmWebBrowser::EnginePrintCellBound = bound; }
  ~TCellBound() { TfrmWebBrowser::EnginePrintCellBound = Old; }
  TCellBound(const TCellBound&) = delete;
  TCellBound& operator=(const TCellBound&) = delete;
};

// "Page size: W x H pts" of the first page: true when it is wider than high.
bool PdfLandscape(const QString& pdf) {
  QProcess p;
  p.start("pdfinfo", {pdf});
  p.waitForFinished(60000);
  const QRegularExpressionMatch m =
      QRegularExpression("Page size:\\s+([0-9.]+) x ([0-9.]+)").match(QString::fromUtf8(p.readAllStandardOutput()));
  return m.hasMatch() && m.captured(1).toDouble() > m.captured(2).toDouble();
}

// Presses the tool bar's 印刷 as a user does; the print dialog is answered OK with a PDF file
// as the printer.
void PrintThroughTheDialog(TfrmWebBrowser& view, const QString& pdf) {
  TfrmWebBrowser::DialogHook = [&](QDialog& d) {
    if (auto* pd = qobject_cast<QPrintDialog*>(&d)) {
      pd->printer()->setOutputFormat(QPrinter::PdfFormat);
      pd->printer()->setOutputFileName(pdf);
    }
    return int(QDialog::Accepted);
  };
  QWidget* button = view.ToolBar->widgetForAction(view.bPrint);
  ASSERT_NE(button, nullptr);
  QTest::mouseClick(button, Qt::LeftButton);
  TfrmWebBrowser::DialogHook = nullptr;
}

}  // namespace

TEST(WebPrint, AWideResultKeepsEveryColumnOnThePaper) {
  ASSERT_FALSE(QStandardPaths::findExecutable("pdftotext").isEmpty()) << "poppler-utils (tools/setup.sh)";
  TAppFolder app;
  TGridModel grid;
  QTemporaryDir out;
  QPointer<TfrmWebBrowser> view = NewView(CropPage(grid, 60));
  ASSERT_TRUE(view->Show());
  // The default paper is portrait A4.
  ASSERT_EQ(view->Printer().pageLayout().orientation(), QPageLayout::Portrait);

  // Printed to PDF (the preview where no printer is set up): every column title on page 1,
  // and the rows with them.
  const QString pdf = out.path() + "/wide.pdf";
  ASSERT_TRUE(view->PrintToPdf(pdf));
  const std::string first = PdfPageText(pdf, 1);
  for (const std::string& t : kCropTitles) EXPECT_NE(first.find(t), std::string::npos) << t;
  EXPECT_NE(first.find("20001殺虫剤"), std::string::npos);
  EXPECT_NE(first.find("3回以内普通物"), std::string::npos);
  // Twice as many columns are wider than even a landscape page: zoomed down, all are there.
  TGridModel wider;
  QPointer<TfrmWebBrowser> twice = NewView(CropPage(wider, 10, 2));
  ASSERT_TRUE(twice->Show());
  const QString pdf2 = out.path() + "/wider.pdf";
  ASSERT_TRUE(twice->PrintToPdf(pdf2));
  EXPECT_TRUE(PdfLandscape(pdf2));
  const std::string first2 = PdfPageText(pdf2, 1);
  for (const std::string& t : Titles(2)) EXPECT_NE(first2.find(t), std::string::npos) << t;
  twice->close();

  // The print route gets the paper that holds the table and gives the chosen paper back.
  const QString printed = out.path() + "/printed.pdf";
  PrintThroughTheDialog(*view, printed);
  EXPECT_TRUE(PdfLandscape(printed));
  EXPECT_EQ(view->Printer().pageLayout().orientation(), QPageLayout::Portrait);
  // At the printer's resolution, and a PDF file keeps its text: no page images.
  EXPECT_GE(view->Printer().resolution(), 300);
  const std::string printedText = PdfPageText(printed, 1);
  for (const std::string& t : kCropTitles) EXPECT_NE(printedText.find(t), std::string::npos) << t;
  EXPECT_NE(printedText.find("20001殺虫剤"), std::string::npos);
  EXPECT_EQ(PdfImages(printed), 0);
  // The text is the characters on the page, not radicals that share their glyphs.
  for (const QString& file : {pdf, printed}) {
    const std::string raw = PdfRawText(file);
    for (const char* word : {"使用時期", "使用方法", "本剤の使用回数", "殺虫剤"})
      EXPECT_NE(raw.find(word), std::string::npos) << file.toStdString() << ": " << word;
  }

  // The screen is as it was: no print rule left in the page.
  EXPECT_EQ(RunJs(*view, "String(document.querySelectorAll('style').length)"), "1");
  EXPECT_EQ(RunJs(*view, "document.documentElement.style.width"), "");
  view->close();
  Pump(50);
}

TEST(WebPrint, ANarrowResultPrintsAsItStands) {
  TAppFolder app;
  TGridModel grid;
  QTemporaryDir out;
  QPointer<TfrmWebBrowser> view = NewView(NarrowPage(grid));
  ASSERT_TRUE(view->Show());
  const QString pdf = out.path() + "/narrow.pdf";
  ASSERT_TRUE(view->PrintToPdf(pdf));
  EXPECT_FALSE(PdfLandscape(pdf));
  const std::string text = PdfPageText(pdf, 1);
  EXPECT_NE(text.find("アセタミプリド水溶剤"), std::string::npos);
  // Unfitted, the wide result loses its last columns: what the fitting is for.
  TGridModel wide;
  QPointer<TfrmWebBrowser> plain = NewView(CropPage(wide, 5));
  ASSERT_TRUE(plain->Show());
  const QString cut = out.path() + "/cut.pdf";
  ASSERT_TRUE(plain->PrintToPdf(cut, false));
  EXPECT_EQ(PdfPageText(cut, 1).find("剤型"), std::string::npos);
  view->close();
  plain->close();
  Pump(50);
}

TEST(WebPrint, PaperRule) {
  using F = TfrmWebBrowser::TPrintFit;
  const auto P = QPageLayout::Portrait, L = QPageLayout::Landscape;
  auto same = [](F a, F b) { return a.Orientation == b.Orientation && a.Zoom == b.Zoom; };
  // Fits: the chosen paper as it stands.
  EXPECT_TRUE(same(TfrmWebBrowser::ChoosePrintFit(P, 700, 1000, 700), {P, 1.0}));
  EXPECT_TRUE(same(TfrmWebBrowser::ChoosePrintFit(L, 1000, 700, 900), {L, 1.0}));
  // Fits only turned: turned, not zoomed.
  EXPECT_TRUE(same(TfrmWebBrowser::ChoosePrintFit(P, 700, 1000, 950), {L, 1.0}));
  // Fits neither: the wider paper, zoom rounded down.
  EXPECT_TRUE(same(TfrmWebBrowser::ChoosePrintFit(P, 700, 1000, 2000), {L, 0.5}));
  EXPECT_TRUE(same(TfrmWebBrowser::ChoosePrintFit(L, 1000, 700, 3001), {L, 0.333}));
  // Not to be turned (the preview's own paper): zoomed on it.
  EXPECT_TRUE(same(TfrmWebBrowser::ChoosePrintFit(P, 700, 0, 1400), {P, 0.5}));
}

// `columns` columns of a crop result (the crop columns, then numbered copies of them).
TResultPage LongPage(TGridModel& grid, int rows, int columns) {
  std::vector<std::string> titles = Titles(2), row;
  titles.resize(static_cast<size_t>(columns));
  for (int i = 0; i < columns; ++i) row.push_back(kCropRow[static_cast<size_t>(i) % kCropRow.size()]);
  std::vector<std::vector<std::string>> data;
  for (int r = 0; r < rows; ++r) {
    row[0] = std::to_string(20001 + r);
    data.push_back(row);
  }
  grid.Fill(titles, data);
  TResultPageSource src;
  src.Grid = &grid;
  src.UpdateText = "2026年11月4日反映";
  return BuildResultPage(src, OptionData->CssFile, sskExcel);
}

int PdfPages(const QString& pdf) {
  QProcess p;
  p.start("pdfinfo", {pdf});
  p.waitForFinished(60000);
  return QRegularExpression("Pages:\\s+([0-9]+)").match(QString::fromUtf8(p.readAllStandardOutput())).captured(1).toInt();
}

// The rows of a long result are all printed, and its columns are all on the paper.
void ExpectCompletePrint(const QString& pdf, const std::vector<std::string>& titles, int rows) {
  const std::string first = PdfPageText(pdf, 1);
  for (const std::string& t : titles) EXPECT_NE(first.find(t), std::string::npos) << t;
  EXPECT_NE(first.find("20001殺虫剤アセタミプリド水溶剤"), std::string::npos);
  const int pages = PdfPages(pdf);
  ASSERT_GT(pages, 1);
  const std::string last = PdfPageText(pdf, pages);
  EXPECT_NE(last.find(std::to_string(20000 + rows) + "殺虫剤"), std::string::npos);
  // Every page of the table starts with its titles.
  EXPECT_NE(last.find("番号種類名農薬の名称"), std::string::npos);
}

TEST(WebPrint, ALongResultPrintsEveryRowAndColumn) {
  TAppFolder app;
  TGridModel grid;
  QTemporaryDir out;
  // 5,000 rows of 30 columns: more than the engine's page process can print.
  QPointer<TfrmWebBrowser> view = NewView(LongPage(grid, 5000, 30));
  ASSERT_TRUE(view->Show());
  EXPECT_TRUE(view->PrintsDrawn());
  const QString pdf = out.path() + "/long.pdf";
  ASSERT_TRUE(view->PrintToPdf(pdf));
  EXPECT_TRUE(PdfLandscape(pdf));
  std::vector<std::string> titles = Titles(2);
  titles.resize(30);
  ExpectCompletePrint(pdf, titles, 5000);
  EXPECT_FALSE(view->RendererGone());
  EXPECT_EQ(view->Printer().pageLayout().orientation(), QPageLayout::Portrait);

  // The print route draws it as well, on the printer's paper turned for it.
  const QString printed = out.path() + "/printed.pdf";
  PrintThroughTheDialog(*view, printed);
  EXPECT_TRUE(PdfLandscape(printed));
  ExpectCompletePrint(printed, titles, 5000);
  EXPECT_EQ(view->Printer().pageLayout().orientation(), QPageLayout::Portrait);
  view->close();
  Pump(50);
}

// Ends the page process while it prints: counted from the moment the print is handed to the
// engine (a process ended before it has taken the request up stops the engine itself, so the
// end waits until the page process is laying the pages out).  For one test.
struct TKillOnPrint {
  int Kills = 0;
  TKillOnPrint() {
    TfrmWebBrowser::PrintHandedOver = [this](TfrmWebBrowser& view) {
      const qint64 pid = view.WebBrowser->ProcessId();
      QTimer::singleShot(300, [this, pid] {
        if (pid > 0 && ::kill(static_cast<pid_t>(pid), SIGKILL) == 0) ++Kills;
      });
    };
  }
  ~TKillOnPrint() { TfrmWebBrowser::PrintHandedOver = nullptr; }
  TKillOnPrint(const TKillOnPrint&) = delete;
  TKillOnPrint& operator=(const TKillOnPrint&) = delete;
};

TEST(WebPrint, APageProcessEndingDuringThePrintEndsTheWait) {
  TAppFolder app;
  TGridModel grid;
  QTemporaryDir out;
  // Printed by the engine (a bound above the page's cells).
  TCellBound engine(1000000);
  QPointer<TfrmWebBrowser> view = NewView(CropPage(grid, 1500));
  ASSERT_TRUE(view->Show());
  EXPECT_FALSE(view->PrintsDrawn());
  ASSERT_GT(view->WebBrowser->ProcessId(), 0);
  // The engine's page process ends while it prints (as it does when a very long result is
  // too much for it): the wait ends, and the page of our own is drawn on the paper instead,
  // every row of it.
  TKillOnPrint kill;
  const QString pdf = out.path() + "/gone.pdf";
  EXPECT_TRUE(view->PrintToPdf(pdf));
  EXPECT_EQ(kill.Kills, 1);
  EXPECT_TRUE(view->RendererGone());
  ExpectCompletePrint(pdf, kCropTitles, 1500);
  view->close();
  Pump(50);
}

TEST(WebPrint, TheDrawnPdfHoldsTheCharactersOnThePage) {
  TAppFolder app;
  TGridModel grid;
  QTemporaryDir out;
  TCellBound drawn(0);
  QPointer<TfrmWebBrowser> view = NewView(CropPage(grid, 3));
  ASSERT_TRUE(view->Show());
  ASSERT_TRUE(view->PrintsDrawn());
  const QString pdf = out.path() + "/drawn.pdf";
  ASSERT_TRUE(view->PrintToPdf(pdf));
  // 用, 虫, 日, 月, 方 and 目 share their glyphs with Kangxi radicals; a reader finds the
  // characters, not the radicals.
  const std::string text = PdfRawText(pdf);
  for (const char* word : {"使用時期", "使用方法", "殺虫剤", "収穫前日まで", "本剤の使用回数", "適用病害虫雑草名"})
    EXPECT_NE(text.find(word), std::string::npos) << word;
  for (char32_t radical = 0x2F00; radical <= 0x2FD5; ++radical)
    EXPECT_EQ(text.find(QString::fromUcs4(&radical, 1).toStdString()), std::string::npos) << int(radical);
  // The rewritten file is whole to a reader.
  EXPECT_EQ(PdfPages(pdf), 1);
  view->close();
  Pump(50);
}
