// The result grid window: its copy of a result (flags and fixed columns kept, later changes of
// the source not followed), the neighbour tint, sorting by title clicks, the card by Enter and
// double click, copies and removals by their keys, the context menus and their look-ups, the
// spreadsheet button and the page of its grids.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDesktopServices>
#include <QHeaderView>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <QUrl>

#include "common/menu_probe.h"
#include "foundation/global.h"
#include "foundation/message_sink.h"
#include "foundation/screen_placement.h"
#include "output/dlg_tekiyou_card.h"
#include "output/frm_grid.h"

class TGridUrlRecorder : public QObject {
  Q_OBJECT
 public:
  std::vector<QUrl> Urls;
  Q_INVOKABLE void Open(const QUrl& url) { Urls.push_back(url); }
};

inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace {

TLogMessageSink& Sink() { return static_cast<TLogMessageSink&>(MessageSink()); }

void FillSource(TXlsStringGrid& g) {
  g.Fill({"番号", "農薬の名称", "作物名", "適用病害虫雑草名", "成分1"},
         {{"10", "アセタミプリド水溶剤", "トマト", "アブラムシ類", "アセタミプリド"},
          {"9", "マンゼブ水和剤", "なす", "うどんこ病", "マンゼブ"},
          {"100", "ボルドー", "だいこん", "べと病", "銅"}});
  g.Model().SetRowFlags(2, grfNeighbour);
  g.SetFixedCols(1);
  g.SetColWidths(1, 150);
}

struct TWindow {
  QTemporaryDir dir;
  TXlsStringGrid source;
  QPointer<TfrmGrid> w;
  TWindow() {
    InitGlobals(dir.path().toStdString() + "/");
    FillSource(source);
    w = new TfrmGrid(nullptr);
    w->SetGrid(source, 0);
    w->resize(700, 400);
    w->show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(w));
  }
  ~TWindow() {
    delete w.data();
    FinalizeGlobals();
  }
  TXlsStringGrid* g() const { return w->gdResult; }
  void ClickTitle(int col) {
    QHeaderView* h = g()->horizontalHeader();
    const int x = h->sectionViewportPosition(col) + h->sectionSize(col) / 2;
    QTest::mouseClick(h->viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(x, h->height() / 2));
  }
};

}  // namespace

TEST(GridWindow, CopyKeepsRowFlagsFixedColumnsAndWidthsAndStaysApart) {
  TWindow t;
  TXlsStringGrid* g = t.g();
  ASSERT_EQ(g->RowCount(), 4);
  EXPECT_EQ(g->Cells(1, 2), "マンゼブ水和剤");
  EXPECT_EQ(g->Model().RowFlags(2), grfNeighbour);  // the neighbour-crop mark goes along
  EXPECT_EQ(g->Model().RowFlags(1), 0);
  EXPECT_EQ(g->FixedCols(), 1);
  EXPECT_EQ(g->ColWidths(1), 150);
  // Later changes of the source stay out of the window, and the other way round.
  t.source.SetCells(1, 1, "changed");
  t.source.RemoveRow(3);
  EXPECT_EQ(g->Cells(1, 1), "アセタミプリド水溶剤");
  EXPECT_EQ(g->RowCount(), 4);
  g->SetCells(2, 1, "mine");
  EXPECT_EQ(t.source.Cells(2, 1), "トマト");
  // The flags stay with their rows through a sort.
  t.ClickTitle(0);  // 番号 ascending: 9, 10, 100
  EXPECT_EQ(g->Cells(0, 1), "9");
  EXPECT_EQ(g->Model().RowFlags(1), grfNeighbour);
}

// The window opens a step from the main window and whole inside the work area, also when the
// main window fills the screen (its frame allowed for).
TEST(GridWindow, OpensWholeInsideTheWorkArea) {
  const QRect area = WorkAreaAt(QPoint(0, 0));
  ASSERT_TRUE(area.isValid());
  QWidget main;
  for (const QRect& r : {QRect(area.topLeft(), area.size()), QRect(area.center(), area.size() / 2),
                         QRect(area.topLeft() + QPoint(40, 30), QSize(500, 400))}) {
    main.setGeometry(r);
    TfrmGrid w(&main);
    const QRect outer(w.pos(), w.size() + QSize(16, 48));
    EXPECT_TRUE(area.contains(outer)) << r.x() << "," << r.y() << " " << r.width() << "x" << r.height();
    EXPECT_GE(w.width(), std::min(r.width(), area.width() - 16) - 1);
  }
  // A window that fits is not moved back to the main window's corner.
  main.setGeometry(QRect(area.topLeft() + QPoint(40, 30), QSize(300, 200)));
  TfrmGrid w(&main);
  EXPECT_EQ(w.pos(), main.frameGeometry().topLeft() + QPoint(32, 32));
}

TEST(GridWindow, HighlightWordsTintTheirRowsAndEmptyWordsNone) {
  TWindow t;
  TGridModel& m = t.g()->Model();
  t.w->SetHighlightWords("なす\nだいこん");
  EXPECT_FALSE(m.RowHighlighted(1));
  EXPECT_TRUE(m.RowHighlighted(2));
  EXPECT_TRUE(m.RowHighlighted(3));
  for (const char* words : {"", "%", "\n\n", "%\n%%", " , "}) {
    t.w->SetHighlightWords(words);
    for (int r = 1; r < m.RowCount(); ++r) EXPECT_FALSE(m.RowHighlighted(r)) << "[" << words << "] row " << r;
  }
  // Words set before the grid arrives apply to it.
  TfrmGrid* w2 = new TfrmGrid(nullptr);
  w2->SetHighlightWords("トマト");
  w2->SetGrid(t.source, 0);
  EXPECT_TRUE(w2->gdResult->Model().RowHighlighted(1));
  delete w2;
}

TEST(GridWindow, TitleClicksSortAndEnterOrDoubleClickOpenTheCard) {
  TWindow t;
  TXlsStringGrid* g = t.g();
  t.ClickTitle(0);
  EXPECT_EQ(g->Cells(0, 1) + g->Cells(0, 2) + g->Cells(0, 3), "910100");  // numerically
  t.ClickTitle(0);
  EXPECT_EQ(g->Cells(0, 1) + g->Cells(0, 2) + g->Cells(0, 3), "100109");
  t.ClickTitle(2);
  EXPECT_EQ(g->Cells(2, 1), "だいこん");  // by text

  std::vector<int> cards;
  TUseCardHook old = SetUseCardModalHook([&](TDlgTekiyouCard& c) {
    cards.push_back(c.RowIndex);
    EXPECT_EQ(c.Row, g->Model().RowTexts(c.RowIndex));
    return static_cast<int>(QDialog::Accepted);
  });
  g->setFocus();
  g->SetCurrentCell(1, 2);
  QTest::keyClick(g, Qt::Key_Return);
  EXPECT_EQ(cards, std::vector<int>({2}));
  const QRect r = g->visualRect(g->model()->index(2, 1));  // grid row 3
  // A user's double click: press and release, then the double click and its release.
  QTest::mouseClick(g->viewport(), Qt::LeftButton, Qt::NoModifier, r.center());
  QTest::mouseDClick(g->viewport(), Qt::LeftButton, Qt::NoModifier, r.center());
  QTest::mouseRelease(g->viewport(), Qt::LeftButton, Qt::NoModifier, r.center());
  EXPECT_EQ(cards, std::vector<int>({2, 3}));
  SetUseCardModalHook(old);
}

TEST(GridWindow, CopiesAndRemovalsByTheirKeys) {
  TWindow t;
  TXlsStringGrid* g = t.g();
  g->setFocus();
  g->SetCurrentCell(1, 1);
  QTest::keyClick(g, Qt::Key_C, Qt::ControlModifier);
  EXPECT_EQ(QApplication::clipboard()->text(), "アセタミプリド水溶剤");
  g->selectionModel()->select(QItemSelection(g->model()->index(0, 0), g->model()->index(1, 2)),
                              QItemSelectionModel::ClearAndSelect);
  QTest::keyClick(g, Qt::Key_C, Qt::ControlModifier);
  EXPECT_EQ(QApplication::clipboard()->text(), "10\tアセタミプリド水溶剤\tトマト\r\n9\tマンゼブ水和剤\tなす\r\n");
  t.w->actCopyAll->trigger();
  EXPECT_TRUE(QApplication::clipboard()->text().startsWith("番号\t農薬の名称\t"));

  g->SetCurrentCell(1, 2);
  QTest::keyClick(g, Qt::Key_X, Qt::ControlModifier);
  EXPECT_EQ(g->RowCount(), 3);
  EXPECT_EQ(g->Cells(0, 2), "100");
  t.w->PreparePopup(3, 0);  // title row of 適用病害虫雑草名
  EXPECT_TRUE(t.w->actDeleteCol->isVisible());
  EXPECT_FALSE(t.w->actDeleteRow->isVisible());
  t.w->actDeleteCol->trigger();
  EXPECT_EQ(g->ColCount(), 4);
  EXPECT_EQ(g->Cells(3, 0), "成分1");
  t.w->actFixedCol->trigger();
  EXPECT_EQ(g->FixedCols(), 2);
  t.w->actFixedColOff->trigger();
  EXPECT_EQ(g->FixedCols(), 0);
}

// The menus as the user opens them: a right click on a cell, on a title (the fixed columns of a
// grid scrolled sideways included) or on an empty part, and the menu key; Ctrl+C and Ctrl+X
// pressed afterwards still copy and remove.
TEST(GridWindow, ContextMenusOpenOnTheirCellAndGiveTheKeysBack) {
  TWindow t;
  TfrmGrid& w = *t.w;
  TXlsStringGrid* g = t.g();
  g->SetFixedCols(0);
  g->setFocus();
  g->SetCurrentCell(0, 1);
  auto cellCentre = [g](int col, int row) { return g->visualRect(g->model()->index(row - 1, col)).center(); };

  // A data cell outside the selection becomes current; the menu opens at the pointer, for it.
  QString google;
  TMenuSeen seen = OpenMenu([&] { RightClick(g->viewport(), cellCentre(1, 2)); },
                            [&](QMenu*) { google = w.actGoogle->text(); });
  ASSERT_EQ(seen.Menu, w.pmnGrid);
  EXPECT_EQ(seen.Pos, g->viewport()->mapToGlobal(cellCentre(1, 2)));
  EXPECT_EQ(g->Row(), 2);
  EXPECT_EQ(g->Col(), 1);
  EXPECT_EQ(google, "「マンゼブ水和剤」をGoogleで検索");
  // Inside a selection of several cells the selection stays.
  g->selectionModel()->select(QItemSelection(g->model()->index(0, 0), g->model()->index(1, 1)),
                              QItemSelectionModel::ClearAndSelect);
  seen = OpenMenu([&] { RightClick(g->viewport(), cellCentre(0, 1)); });
  EXPECT_EQ(seen.Menu, w.pmnGrid);
  EXPECT_EQ(g->selectionModel()->selectedIndexes().size(), 4);

  // The title row opens the grid's menu with column removal; Ctrl+C copies afterwards.
  QHeaderView* h = g->horizontalHeader();
  const QPoint title(h->sectionViewportPosition(3) + h->sectionSize(3) / 2, h->height() / 2);
  bool columnItems = false, copyOff = false;
  seen = OpenMenu([&] { RightClick(h->viewport(), title); },
                  [&](QMenu*) {
                    columnItems = w.actDeleteCol->isVisible() && !w.actDeleteRow->isVisible();
                    copyOff = !w.actCopy->isEnabled();
                  });
  ASSERT_EQ(seen.Menu, w.pmnGrid);
  EXPECT_EQ(seen.Pos, h->viewport()->mapToGlobal(title));
  EXPECT_TRUE(columnItems);
  EXPECT_TRUE(copyOff);
  EXPECT_EQ(w.MouseCol, 3);
  auto selectTwo = [g] {
    g->selectionModel()->select(QItemSelection(g->model()->index(2, 2), g->model()->index(2, 3)),
                                QItemSelectionModel::ClearAndSelect);
  };
  selectTwo();
  QTest::keyClick(g, Qt::Key_C, Qt::ControlModifier);
  EXPECT_EQ(QApplication::clipboard()->text(), "だいこん\tべと病\r\n");
  // So after a menu on an empty part; Ctrl+X removes the current row.
  const QPoint empty(g->viewport()->width() - 5, g->viewport()->height() - 5);
  bool rowItemHidden = false;
  seen = OpenMenu([&] { RightClick(g->viewport(), empty); },
                  [&](QMenu*) { rowItemHidden = !w.actDeleteRow->isVisible(); });
  ASSERT_EQ(seen.Menu, w.pmnGrid);
  EXPECT_TRUE(rowItemHidden);
  EXPECT_EQ(w.MouseRow, -1);
  QApplication::clipboard()->clear();
  selectTwo();
  QTest::keyClick(g, Qt::Key_C, Qt::ControlModifier);
  EXPECT_EQ(QApplication::clipboard()->text(), "だいこん\tべと病\r\n");
  g->SetCurrentCell(0, 2);
  QTest::keyClick(g, Qt::Key_X, Qt::ControlModifier);
  EXPECT_EQ(g->RowCount(), 3);
  EXPECT_EQ(g->Cells(0, 2), "100");

  // The menu key: on the current cell, with the pointer over another.
  g->SetCurrentCell(3, 2);
  QCursor::setPos(g->viewport()->mapToGlobal(cellCentre(1, 1)));
  QPoint cell(-1, -1);
  seen = OpenMenu([&] { QTest::keyClick(g, Qt::Key_Menu); }, [&](QMenu*) { cell = {w.MouseCol, w.MouseRow}; });
  ASSERT_EQ(seen.Menu, w.pmnGrid);
  EXPECT_EQ(seen.Pos, g->viewport()->mapToGlobal(cellCentre(3, 2)));
  EXPECT_EQ(cell, QPoint(3, 2));

  // A fixed column of a grid scrolled sideways is the column clicked, not the one beneath it.
  for (int c = 1; c < g->ColCount(); ++c) g->SetColWidths(c, 400);
  g->SetFixedCols(1);
  g->horizontalScrollBar()->setValue(g->horizontalScrollBar()->maximum());
  QApplication::processEvents();
  QTableView* fixed = nullptr;
  for (QTableView* v : g->findChildren<QTableView*>())
    if (v != g) fixed = v;
  ASSERT_NE(fixed, nullptr);
  const QPoint onFixed = fixed->visualRect(g->model()->index(1, 0)).center();
  seen = OpenMenu([&] { RightClick(fixed->viewport(), onFixed); }, [&](QMenu*) { cell = {w.MouseCol, w.MouseRow}; });
  ASSERT_EQ(seen.Menu, w.pmnGrid);
  EXPECT_EQ(seen.Pos, fixed->viewport()->mapToGlobal(onFixed));
  EXPECT_EQ(cell, QPoint(0, 2));
  EXPECT_EQ(g->Col(), 0);
}

TEST(GridWindow, ContextMenuItemsAndTheirLookups) {
  TWindow t;
  TfrmGrid& w = *t.w;
  TGridUrlRecorder rec;
  QDesktopServices::setUrlHandler("https", &rec, "Open");

  w.PreparePopup(1, 1);  // 農薬の名称 of the first row, beside 番号
  EXPECT_TRUE(w.actCopy->isEnabled());
  EXPECT_TRUE(w.actDeleteRow->isVisible());
  EXPECT_FALSE(w.actDeleteCol->isVisible());
  EXPECT_TRUE(w.actGoogle->isVisible());
  EXPECT_EQ(w.actGoogle->text(), "「アセタミプリド水溶剤」をGoogleで検索");
  EXPECT_TRUE(w.pmnGoogleChuijiko->isVisible());
  EXPECT_TRUE(w.pmnNoukaWebSearch->isVisible());
  EXPECT_FALSE(w.actWeblio->isVisible());
  EXPECT_FALSE(w.actSendToTabYakuzai->isVisible());  // no main window to send to
  w.pmnGoogleChuijiko->trigger();
  ASSERT_EQ(rec.Urls.size(), 1u);
  EXPECT_EQ(QUrl::fromPercentEncoding(rec.Urls[0].query(QUrl::FullyEncoded).toUtf8()),
            "q=\"アセタミプリド水溶剤\" \"使用上の注意\"");

  // Sending to the chemical tab goes by number beside a 番号 column.
  std::string sent;
  bool bango = false;
  w.SendToTabYakuzai = [&](const std::string& k, bool b) {
    sent = k;
    bango = b;
  };
  auto* eYakuzaiG = new QLineEdit(&w);
  w.eYakuzaiG = eYakuzaiG;
  w.PreparePopup(1, 1);
  EXPECT_TRUE(w.actSendToTabYakuzai->isVisible());
  EXPECT_EQ(w.actSendToTabYakuzai->text(), "「10: アセタミプリド水溶剤」を薬剤タブで検索");
  w.actSendToTabYakuzai->trigger();
  EXPECT_EQ(sent, "10");
  EXPECT_TRUE(bango);
  EXPECT_EQ(eYakuzaiG->text(), "10");

  // An ingredient: the dictionary item, which looks up the cell.
  w.PreparePopup(4, 1);
  EXPECT_TRUE(w.actWeblio->isVisible());
  EXPECT_TRUE(w.actGoogleFfcr->isVisible());
  EXPECT_FALSE(w.pmnGoogleChuijiko->isVisible());
  rec.Urls.clear();
  w.actWeblio->trigger();
  ASSERT_EQ(rec.Urls.size(), 1u);
  EXPECT_TRUE(rec.Urls[0].toString().endsWith("/content/アセタミプリド")) << rec.Urls[0].toString().toStdString();

  // Title row: copy off, no look-ups left over from the last menu.
  w.PreparePopup(1, 0);
  EXPECT_FALSE(w.actCopy->isEnabled());
  for (QAction* a : {w.actGoogle, w.actWeblio, w.actGoogleFfcr, w.pmnNoukaWebSearch, w.actSendToTabYakuzai})
    EXPECT_FALSE(a->isVisible()) << a->objectName().toStdString();

  // Offline: shown but disabled, and a trigger opens nothing.
  OptionData->OffLine = true;
  w.PreparePopup(1, 2);
  EXPECT_TRUE(w.actGoogle->isVisible());
  EXPECT_FALSE(w.actGoogle->isEnabled());
  rec.Urls.clear();
  w.actGoogle->trigger();
  EXPECT_TRUE(rec.Urls.empty());
  OptionData->OffLine = false;

  // The ingredient grid's menu.
  w.gdSeibun->Fill({"有効成分", "含有濃度"}, {{"アセタミプリド", "20.0%"}});
  w.PrepareSeibunPopup(0, 1);
  EXPECT_TRUE(w.pmnGoogleGridSeibun->isVisible());
  EXPECT_TRUE(w.pmnWeblioGridSeibun->isVisible());
  EXPECT_FALSE(w.pmnFfcrGridSeibun->isVisible());
  w.PrepareSeibunPopup(1, 1);
  EXPECT_FALSE(w.pmnGoogleGridSeibun->isVisible());
  EXPECT_TRUE(w.actGridSeibunCopy->isEnabled());
  QDesktopServices::unsetUrlHandler("https");
}

TEST(GridWindow, SpreadsheetButtonHtmlActionsAndThePage) {
  TWindow t;
  TfrmGrid& w = *t.w;
  // The drop-down names every route apart (the HTML route as the main window names it).
  EXPECT_EQ(w.actCopyExcelByHTML->text(), "Excel出力(HTML)");
  QStringList captions;
  for (QAction* a : w.dmCalc->actions()) {
    EXPECT_FALSE(captions.contains(a->text())) << a->text().toStdString();
    captions << a->text();
  }
  // Without an HTML view the HTML routes are off and the button offers the workbook.
  w.HtmlView = nullptr;
  w.EnableHtmlActions();
  for (QAction* a : {w.actExportHTML, w.actCopyExcelByHTML, w.actExportCalc, w.actExportWPS, w.actCopyJustCalcByHTML})
    EXPECT_FALSE(a->isEnabled()) << a->objectName().toStdString();
  EXPECT_EQ(w.btnSpreadSheet->defaultAction(), w.actExportExcel);
  // With a view the stored target comes back.
  OptionData->SpreadSheet = 2;
  int routes = 0;
  w.HtmlView = [&](TfrmGrid&, const TResultPage& page, const QString& caption, int route) {
    ++routes;
    EXPECT_EQ(route, 2);
    EXPECT_EQ(caption, w.windowTitle() + "(HTML)");
    EXPECT_NE(page.Page.find("アセタミプリド水溶剤"), std::string::npos);
  };
  w.EnableHtmlActions();
  EXPECT_EQ(w.btnSpreadSheet->defaultAction(), w.actExportWPS);
  w.actExportWPS->trigger();
  EXPECT_EQ(routes, 1);

  // The workbook route without a spreadsheet program: the grid's and the window's messages.
  const QByteArray path = qgetenv("PATH");
  qputenv("PATH", t.dir.path().toLocal8Bit());
  Sink().Clear();
  w.actExportExcel->trigger();
  qputenv("PATH", path);
  ASSERT_EQ(Sink().Count(), 2u);
  EXPECT_EQ(Sink().Messages()[1].text, "Excelがインストールされていません");
  EXPECT_EQ(w.btnSpreadSheet->defaultAction(), w.actExportExcel);
  EXPECT_EQ(w.gdResult->FreezePanesRow, 2);
  EXPECT_EQ(w.gdResult->PageOrientation, xlLandscape);

  // The page: crop tab rows marked as neighbours; the chemical tab's product sheet.
  w.SourceTab = 0;
  TResultPage page = w.MakeHTML("", sskExcel);
  EXPECT_NE(page.Page.find("<tr class=\"neighbors\">"), std::string::npos);
  EXPECT_EQ(page.Page.rfind("<html>", 0), 0u);
  w.SourceTab = 2;
  w.edtYakuzai->setText("12345 テスト<乳剤>");
  w.mSuisan->setPlainText("魚に注意\n養殖池");
  w.gdSeizai->Fill({"", ""}, {{"種類", "殺虫剤"}});
  page = w.MakeHTML("", sskExcel);
  EXPECT_NE(page.Page.find("テスト&lt;乳剤&gt;"), std::string::npos);
  EXPECT_NE(page.Page.find("魚に注意<br>養殖池"), std::string::npos);
  EXPECT_EQ(page.Page.find("<tr class=\"neighbors\">"), std::string::npos);
}

#include "test_frm_grid.moc"
