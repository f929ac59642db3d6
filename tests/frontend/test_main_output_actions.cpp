// The main window's export and look-up actions: their enabling rules as a table, Ctrl+E as a
// user presses it, the CSV save and its failures, the text for mobile use, the result grid
// window from the crop and chemical tabs, and the result grids' context menu on the sample
// register (general names found with the abbreviation bound, pest classes, title row).
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDesktopServices>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFileDialog>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QTimer>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QHeaderView>
#include <QScrollBar>
#include <QSplitter>
#include <QToolBar>
#include <QToolButton>

#include "database/acis_db.h"
#include "foundation/file_dialog_pos.h"
#include "foundation/global.h"
#include "foundation/message_sink.h"
#include "frontend/frm_main.h"
#include "frontend/main_output_actions.h"
#include "frontend/main_pages.h"
#include "output/dlg_tekiyou_card.h"
#include "output/frm_grid.h"
#include "output/xls_string_grid.h"
#include "support_main_window.h"

namespace {

TLogMessageSink& Sink() { return static_cast<TLogMessageSink&>(MessageSink()); }

std::vector<std::string> Texts() {
  std::vector<std::string> out;
  for (const TMessage& m : Sink().Messages()) out.push_back(m.text);
  return out;
}

struct TWindow : TMainWindowFixture {
  std::unique_ptr<TfrmMain> w;
  TMainOutputActions* out = nullptr;
  explicit TWindow(bool withDb = false) {
    if (withDb) {
      EXPECT_TRUE(BuildSampleDb());
    }
    w = std::make_unique<TfrmMain>();
    out = InstallOutputActions(*w);
    w->resize(900, 600);
    w->show();
    Pump();
  }
  ~TWindow() { w.reset(); }
  // A result in the crop tab's grid, shown and enabled as a search leaves it.
  void ShowResult(const std::vector<std::string>& titles, const std::vector<std::vector<std::string>>& rows) {
    w->gdTekiyo->Fill(titles, rows);
    w->gdTekiyo->show();
    w->pgSearch->setCurrentIndex(tiSakumotsu);
    w->CurrentGrid = w->gdTekiyo;
    w->EnableResultActions(true);
    Pump();
  }
};

}  // namespace

TEST(MainOutputActions, EnablingRulesAsATable) {
  TWindow t;
  TfrmMain& w = *t.w;
  struct State {
    const char* name;
    std::function<void()> enter;
    bool xlsx, csv, gridWindow, mobile, html, button;
  } states[] = {
      {"before any result", [] {}, false, false, false, false, false, false},
      {"a result", [&] { t.ShowResult({"番号"}, {{"1"}}); }, true, true, true, true, true, true},
      {"a search running", [&] { w.EnableResultActions(false); }, false, false, false, false, false, false},
      {"a result without an HTML view",
       [&] {
         t.out->HtmlView = nullptr;
         w.EnableResultActions(true);
       },
       true, true, true, true, false, true},
  };
  for (const State& s : states) {
    s.enter();
    EXPECT_EQ(w.actCopyExcel->isEnabled(), s.xlsx) << s.name;
    EXPECT_EQ(w.actCopyJustCalc->isEnabled(), s.xlsx) << s.name;
    EXPECT_EQ(w.actCsvSave->isEnabled(), s.csv) << s.name;
    EXPECT_EQ(w.actExportGrid->isEnabled(), s.gridWindow) << s.name;
    EXPECT_EQ(t.out->actCopyMobile->isEnabled(), s.mobile) << s.name;
    for (QAction* a : {w.actCopyExcelByHTML, w.actCopyOOoCalc, w.actCopyWPS, w.actCopyJustCalcByHTML, w.actHtmlSave})
      EXPECT_EQ(a->isEnabled(), s.html) << s.name << " " << a->objectName().toStdString();
    EXPECT_EQ(w.btnExcel->isEnabled(), s.button) << s.name;
    // The button never carries a route that is not there.
    ASSERT_TRUE(w.btnExcel->defaultAction());
    if (s.button) {
      EXPECT_TRUE(w.btnExcel->defaultAction()->isEnabled()) << s.name;
    }
  }
  EXPECT_EQ(w.btnExcel->defaultAction(), w.actCopyExcel);  // the workbook stands in
  // With the view the button's own route comes back; a stored kind changed meanwhile is the
  // menu item's business.
  t.out->HtmlView = [](QWidget*, const TResultPage&, const QString&, int) {};
  OptionData->SpreadSheet = 2;
  w.EnableResultActions(true);
  EXPECT_EQ(w.btnExcel->defaultAction(), w.actCopyExcelByHTML);
}

// The stored kind picks the button's route at start-up and the grid menu item's route; new
// results leave the button on its route, and the menu item runs its own, not the button's.
TEST(MainOutputActions, SpreadsheetRoutesByStoredKind) {
  struct Case {
    int stored;
    const char* button;  // the route the button carries after start-up and after each result
    const char* menu;    // the route the grid menu's item runs
    int menuRoute;       // the kind the HTML view is asked for
  } cases[] = {
      {0, "actCopyExcelByHTML", "actCopyExcelByHTML", sskExcel},
      {1, "actCopyOOoCalc", "actCopyOOoCalc", sskCalc},
      {2, "actCopyWPS", "actCopyWPS", sskKingsoft},
      {3, "actCopyJustCalcByHTML", "actCopyJustCalcByHTML", sskJustCalc},
      {7, "actCopyExcelByHTML", "actCopyExcelByHTML", sskExcel},  // the designed route
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.stored);
    TMainWindowFixture fx;
    fx.WriteIni("[OPTIONS]\nSpreadSheet=" + std::to_string(c.stored) + "\n");
    auto w = std::make_unique<TfrmMain>();
    TMainOutputActions* out = InstallOutputActions(*w);
    std::vector<int> routes;
    out->HtmlView = [&routes](QWidget*, const TResultPage&, const QString&, int route) { routes.push_back(route); };
    w->resize(900, 600);
    w->show();
    w->gdTekiyo->Fill({"番号", "農薬の名称"}, {{"1", "ボルドー"}});
    w->gdTekiyo->show();
    w->CurrentGrid = w->gdTekiyo;
    for (int result = 0; result < 3; ++result) {
      w->EnableResultActions(false);
      w->EnableResultActions(true);
      Pump(10);
      ASSERT_TRUE(w->btnExcel->defaultAction());
      EXPECT_EQ(w->btnExcel->defaultAction()->objectName().toStdString(), c.button) << "result " << result;
    }
    if (c.stored == 1) {
      EXPECT_EQ(w->btnExcel->text(), "Calc出力");
    }
    // A click on the button runs its route.
    QTest::mouseClick(w->btnExcel, Qt::LeftButton, {}, QPoint(4, w->btnExcel->height() / 2));
    ASSERT_EQ(routes.size(), 1u);
    EXPECT_EQ(routes[0], c.menuRoute);
    // The menu item on a data cell.
    out->mnTekiyouGridPopup(w->gdTekiyo, 1, 1);
    QAction* route = w->findChild<QAction*>(c.menu);
    ASSERT_TRUE(route);
    EXPECT_EQ(out->pmnCopyExcel->text(), route->text());
    EXPECT_TRUE(out->pmnCopyExcel->isEnabled());
    out->pmnCopyExcel->trigger();
    ASSERT_EQ(routes.size(), 2u);
    EXPECT_EQ(routes[1], c.menuRoute);
    w.reset();
  }

  // JustCalc by automation used last: the button stays on it through new results, while the
  // menu item keeps to the HTML route of the stored kind.
  TWindow t;
  TfrmMain& w = *t.w;
  std::vector<int> routes;
  t.out->HtmlView = [&routes](QWidget*, const TResultPage&, const QString&, int route) { routes.push_back(route); };
  t.ShowResult({"番号", "農薬の名称"}, {{"1", "ボルドー"}});
  QTemporaryDir bin;  // no JustCalc here: the copy reports and the choice stays
  const QByteArray oldPath = qgetenv("PATH");
  qputenv("PATH", bin.path().toLocal8Bit());
  w.actCopyJustCalc->trigger();
  qputenv("PATH", oldPath);
  EXPECT_EQ(OptionData->SpreadSheet, 3);
  for (int result = 0; result < 2; ++result) {
    t.ShowResult({"番号", "農薬の名称"}, {{"1", "ボルドー"}});
    EXPECT_EQ(w.btnExcel->defaultAction(), w.actCopyJustCalc) << result;
  }
  t.out->mnTekiyouGridPopup(w.gdTekiyo, 1, 1);
  EXPECT_EQ(t.out->pmnCopyExcel->text(), w.actCopyJustCalcByHTML->text());
  t.out->pmnCopyExcel->trigger();
  EXPECT_EQ(routes, std::vector<int>({sskJustCalc}));
  // Running it makes it the button's route.
  EXPECT_EQ(w.btnExcel->defaultAction(), w.actCopyJustCalcByHTML);
}

// The spreadsheet button is a button of its own in the tool bar: it shows its caption and its
// icon size as the tool bar's other buttons do, also after the options change them.
TEST(MainOutputActions, SpreadsheetButtonLooksLikeTheOtherToolBarButtons) {
  TWindow t;
  TfrmMain& w = *t.w;
  // As the window comes up.
  EXPECT_EQ(w.btnExcel->toolButtonStyle(), w.ToolBar->toolButtonStyle());
  EXPECT_EQ(w.btnExcel->iconSize(), w.ToolBar->iconSize());
  for (bool captions : {true, false, true}) {
    OptionData->ToolBarCaption = captions;
    OptionData->BtnImageSize = captions ? 1 : 0;
    w.FormViewSettings();
    w.ApplyToolbarStyle();
    EXPECT_EQ(w.btnExcel->toolButtonStyle(), w.ToolBar->toolButtonStyle()) << captions;
    EXPECT_EQ(w.btnExcel->iconSize(), w.ToolBar->iconSize()) << captions;
  }
  EXPECT_EQ(w.btnExcel->toolButtonStyle(), Qt::ToolButtonTextUnderIcon);
  EXPECT_EQ(w.btnExcel->text(), w.btnExcel->defaultAction()->text());
}

TEST(MainOutputActions, CtrlECopiesToTheSpreadsheetProgramAndReportsEachCode) {
  TWindow t;
  TfrmMain& w = *t.w;
  QTemporaryDir bin;
  const QByteArray oldPath = qgetenv("PATH"), oldTmp = qgetenv("TMPDIR");
  qputenv("PATH", bin.path().toLocal8Bit());
  qputenv("TMPDIR", bin.path().toLocal8Bit());

  // Only a title row: the grid's message, then the window's.
  t.ShowResult({"番号", "農薬の名称"}, {});
  w.gdTekiyo->setFocus();
  Sink().Clear();
  QTest::keyClick(w.gdTekiyo, Qt::Key_E, Qt::ControlModifier);
  EXPECT_EQ(Texts(), std::vector<std::string>({"グリッド内に、コピーするデータがありません。", "データ行がありません"}));

  // No spreadsheet program: the cannot-start message and the window's.
  t.ShowResult({"番号", "農薬の名称"}, {{"1", "ボルドー"}});
  w.gdTekiyo->setFocus();
  Sink().Clear();
  QTest::keyClick(w.gdTekiyo, Qt::Key_E, Qt::ControlModifier);
  EXPECT_EQ(Texts(), std::vector<std::string>({"MS-Excelを起動できませんでした。\r\nMS-Excelのインストールを確認してください。",
                                               "Excelがインストールされていません"}));

  // A program: it gets the workbook; the button and the stored target follow the action.
  QFile rec(bin.filePath("soffice"));
  ASSERT_TRUE(rec.open(QIODevice::WriteOnly));
  rec.write(QString("#!/bin/sh\nprintf '%s' \"$1\" > '%1/args.tmp'; /bin/mv '%1/args.tmp' '%1/args'\n")
                .arg(bin.path())
                .toUtf8());
  rec.close();
  rec.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
  OptionData->SpreadSheet = 2;
  Sink().Clear();
  QTest::keyClick(w.gdTekiyo, Qt::Key_E, Qt::ControlModifier);
  EXPECT_EQ(Sink().Count(), 0u);
  for (int i = 0; i < 500 && !QFile::exists(bin.filePath("args")); ++i) QTest::qWait(10);
  QFile args(bin.filePath("args"));
  ASSERT_TRUE(args.open(QIODevice::ReadOnly));
  EXPECT_TRUE(args.readAll().endsWith("/Quillmar.xlsx"));
  EXPECT_EQ(OptionData->SpreadSheet, 0);
  EXPECT_EQ(w.btnExcel->defaultAction(), w.actCopyExcel);
  EXPECT_EQ(w.gdTekiyo->FreezePanesRow, 2);
  EXPECT_EQ(w.gdTekiyo->CellBorderWeight, bwHairline);

  // JustCalc has no program here.
  Sink().Clear();
  w.actCopyJustCalc->trigger();
  EXPECT_EQ(Texts(), std::vector<std::string>({"JustCalc を起動できませんでした。\r\nJustCalc のインストールを確認してください。",
                                               "JustCalcがインストールされていません"}));
  EXPECT_EQ(OptionData->SpreadSheet, 3);
  qputenv("PATH", oldPath);
  if (oldTmp.isNull()) qunsetenv("TMPDIR");
  else qputenv("TMPDIR", oldTmp);
}

TEST(MainOutputActions, CsvSaveWritesTheChosenFileOrReportsAndKeepsTheOldOne) {
  TWindow t;
  TfrmMain& w = *t.w;
  t.ShowResult({"番号", "農薬の名称"}, {{"1", "ボルドー, 水和剤"}, {"2", "石灰硫黄合剤"}});
  QTemporaryDir dir;
  QString answer;
  bool removeFolder = false;
  int overwriteAsked = 0;
  TFileDialogPos::AfterShow = [&](QFileDialog& d) {
    EXPECT_EQ(d.defaultSuffix(), "csv");
    EXPECT_TRUE(d.nameFilters().value(0).startsWith("CSVﾌｧｲﾙ")) << d.nameFilters().value(0).toStdString();
    d.selectFile(answer);
    // The overwrite question is answered "yes" once it shows.
    QTimer::singleShot(0, [&] {
      for (QWidget* top : QApplication::topLevelWidgets())
        if (auto* box = qobject_cast<QMessageBox*>(top); box && box->isVisible()) {
          ++overwriteAsked;
          box->button(QMessageBox::Yes)->click();
        }
    });
    QMetaObject::invokeMethod(&d, "accept");
    // The folder goes away between the choice and the write.
    if (removeFolder) QDir(QFileInfo(answer).path()).removeRecursively();
  };
  answer = dir.filePath("result.csv");
  w.actCsvSave->trigger();
  QFile f(answer);
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  EXPECT_EQ(f.readAll(), QByteArray("\x94\xd4\x8d\x86,\x94\x5f\x96\xf2\x82\xcc\x96\xbc\x8f\xcc\r\n"  // 番号,農薬の名称
                                    "1,\"\x83\x7b\x83\x8b\x83\x68\x81\x5b, \x90\x85\x98\x61\x8d\xdc\"\r\n"
                                    "2,\x90\xce\x8a\x44\x97\xb0\x89\xa9\x8d\x87\x8d\xdc\r\n"));
  f.close();

  // A character Shift-JIS lacks: reported, and the file from before stays whole.
  w.gdTekiyo->SetCells(1, 2, "𠮷野家");
  Sink().Clear();
  w.actCsvSave->trigger();
  EXPECT_EQ(overwriteAsked, 1);
  EXPECT_EQ(Sink().Count(), 1u);
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  EXPECT_TRUE(f.readAll().endsWith("\x90\xce\x8a\x44\x97\xb0\x89\xa9\x8d\x87\x8d\xdc\r\n"));
  f.close();
  // A folder that is gone by the time of the write: reported, nothing made.
  QDir(dir.path()).mkpath("gone");
  answer = dir.filePath("gone/result.csv");
  removeFolder = true;
  w.gdTekiyo->SetCells(1, 2, "石灰");
  Sink().Clear();
  w.actCsvSave->trigger();
  EXPECT_EQ(Sink().Count(), 1u);
  EXPECT_FALSE(QFile::exists(answer));
  TFileDialogPos::AfterShow = nullptr;
}

TEST(MainOutputActions, MobileTextIsHalfWidthWithRowSeparators) {
  TWindow t;
  TfrmMain& w = *t.w;
  t.ShowResult({"番号", "隠し", "農薬の名称", "使用時期"},
               {{"１２３", "h", "ボルドー（水和剤）", "収穫７日前まで"}, {"4", "h", "アイウ", "ＡＢＣ"}});
  TXlsStringGrid* g = w.gdTekiyo;
  g->SetColWidths(1, 0);
  g->SetCurrentCell(2, 1);
  t.out->actCopyMobile->trigger();
  EXPECT_EQ(QApplication::clipboard()->text().toStdString(), "ﾎﾞﾙﾄﾞｰ(水和剤)");
  g->selectionModel()->select(QItemSelection(g->model()->index(0, 0), g->model()->index(1, 2)),
                              QItemSelectionModel::ClearAndSelect);
  t.out->actCopyMobile->trigger();
  EXPECT_EQ(QApplication::clipboard()->text().toStdString(),
            "123\r\nﾎﾞﾙﾄﾞｰ(水和剤)\r\n---------\r\n4\r\nｱｲｳ\r\n---------\r\n");
}

TEST(MainOutputActions, ResultGridWindowFromTheCropAndChemicalTabsAndTheCard) {
  TWindow t;
  TfrmMain& w = *t.w;
  t.ShowResult({"番号", "作物名"}, {{"1", "トマト"}, {"2", "なす"}});
  w.gdTekiyo->Model().SetRowFlags(2, grfNeighbour);
  w.KinsetsuSelection = "なす";
  w.cbByochu->setEditText("アブラムシ類");
  QPointer<TfrmGrid> g1 = t.out->actExportGridExecute();
  ASSERT_TRUE(g1);
  EXPECT_FALSE(g1->pnlYakuzai->isVisibleTo(g1));
  EXPECT_TRUE(g1->windowTitle().startsWith("Quillmar - "));
  EXPECT_TRUE(g1->windowTitle().endsWith(" アブラムシ類")) << g1->windowTitle().toStdString();
  EXPECT_EQ(g1->SourceTab, 0);
  EXPECT_EQ(g1->gdResult->Model().RowFlags(2), grfNeighbour);
  EXPECT_TRUE(g1->gdResult->Model().RowHighlighted(2));
  EXPECT_EQ(g1->parentWidget(), &w);
  EXPECT_TRUE(g1->isWindow());

  // The chemical tab: the product panel with summary, ingredients and caution.
  w.pgSearch->setCurrentIndex(tiYakuzai);
  w.gdYakuzai->Fill({"番号", "作物名"}, {{"3", "稲"}});
  w.gdYakuzai->show();
  w.CurrentGrid = w.gdYakuzai;
  w.gdSeibun->Fill({"有効成分", "含有濃度"}, {{"銅", "20.0%"}});
  w.gdSeizai->Fill({"種類名", "殺菌剤"}, {{"製剤毒性", "普通物"}, {"登録日", "1950.01.01"}, {"略称", "-"},
                                          {"剤型", "水和剤"}, {"用途", "殺菌剤"}});
  w.gdSeizai->SetFixedRows(0);
  w.cbYakuzai->setEditText("12345 ボルドー");
  w.mSuisan->setPlainText("魚に注意");
  QPointer<TfrmGrid> g2 = t.out->actExportGridExecute();
  ASSERT_TRUE(g2);
  EXPECT_TRUE(g2->pnlYakuzai->isVisibleTo(g2));
  EXPECT_EQ(g2->windowTitle(), "Quillmar - 12345 ボルドー");
  EXPECT_EQ(g2->edtYakuzai->text(), "12345 ボルドー");
  EXPECT_EQ(g2->mSuisan->toPlainText(), "魚に注意");
  EXPECT_EQ(g2->gdSeibun->Cells(0, 1), "銅");
  EXPECT_EQ(g2->gdSeizai->Cells(1, 5), "殺菌剤");
  // The product panel shows every row of the summary and the ingredients beneath it.
  Pump();
  EXPECT_GE(g2->gdSeizai->viewport()->height(), g2->gdSeizai->verticalHeader()->length());
  EXPECT_GE(g2->gdSeibun->viewport()->height(), g2->gdSeibun->verticalHeader()->length());
  EXPECT_GT(g2->gdResult->height(), 100);
  EXPECT_EQ(g2->gdResult->Cells(1, 1), "稲");
  EXPECT_FALSE(g2->gdResult->Model().RowHighlighted(1));
  EXPECT_EQ(g2->eYakuzaiG, w.eYakuzai);
  EXPECT_TRUE(g2->mSuisan->isVisibleTo(g2));
  // A product without a caution: no empty caution box, the summary has the panel's width.
  w.mSuisan->clear();
  w.mSuisan->hide();
  QPointer<TfrmGrid> g3 = t.out->actExportGridExecute();
  ASSERT_TRUE(g3);
  Pump();
  EXPECT_FALSE(g3->mSuisan->isVisibleTo(g3));
  EXPECT_GE(g3->pnlSeizai->width(), g3->pnlSeizaiTop->width() - 4);
  g3->close();

  // Both stay open; closing frees them.
  g1->close();
  Pump();
  EXPECT_FALSE(g1);
  EXPECT_TRUE(g2);

  // The main window's card.
  int cards = 0;
  TUseCardHook old = SetUseCardModalHook([&](TDlgTekiyouCard& c) {
    ++cards;
    EXPECT_EQ(c.Grid, w.gdYakuzai);
    return static_cast<int>(QDialog::Accepted);
  });
  w.gdYakuzai->setFocus();
  w.gdYakuzai->SetCurrentCell(0, 1);
  QTest::keyClick(w.gdYakuzai, Qt::Key_Return);
  EXPECT_EQ(cards, 1);
  SetUseCardModalHook(old);
}

TEST(MainOutputActions, ContextMenuOnTheSampleRegister) {
  TWindow t(true);
  TfrmMain& w = *t.w;
  InstallSearchPages(w);
  ASSERT_TRUE(AcisDB);
  auto one = [](const std::string& sql) {
    auto tbl = AcisDB->FDb->GetTable(sql);
    return tbl->Eof() ? std::string() : tbl->FieldAsString(0);
  };
  const std::string kanryaku = one("select kanryaku from tSeibun where kanryaku <> ippanmei order by 1 limit 1");
  const std::string ippanmei = one("select ippanmei from tSeibun where kanryaku = '" + kanryaku + "' order by rowid desc limit 1");
  ASSERT_FALSE(kanryaku.empty());
  const std::string pest3 = one("select byochu from byochu where cid = 3 limit 1");
  t.ShowResult({"番号", "作物名", "成分1", "適用病害虫雑草名", "混合数"},
               {{"12345", "トマト", kanryaku, pest3, "2"}, {"12346", "なす", "x' OR '1'='1", "-", "1"}});
  TMainOutputActions& a = *t.out;

  // Ingredient abbreviation: its general name.
  w.SeibunView = 0;
  a.mnTekiyouGridPopup(w.gdTekiyo, 2, 1);
  EXPECT_EQ(w.PopupCellText.toStdString(), ippanmei);
  EXPECT_TRUE(a.pmnWeblio->isVisible());
  EXPECT_TRUE(a.pmnSendToTabYakuzai->isVisible());
  EXPECT_FALSE(a.pmnGoogleFfcr->isVisible());
  EXPECT_FALSE(a.pmnNihsSearch->isVisible());
  EXPECT_FALSE(a.pmnNoukaWebSearch->isVisible());
  // Text that would end the literal is only a value: found nothing, kept as it is, no error.
  Sink().Clear();
  a.mnTekiyouGridPopup(w.gdTekiyo, 2, 2);
  EXPECT_EQ(w.PopupCellText.toStdString(), "x' OR '1'='1");
  EXPECT_EQ(Sink().Count(), 0u);

  // A pest of class 3: only the pest-control site, with the pest alone.
  if (!pest3.empty()) {
    a.mnTekiyouGridPopup(w.gdTekiyo, 3, 1);
    EXPECT_TRUE(a.pmnPestControlSite->isVisible());
    EXPECT_FALSE(a.pmnGene->isVisible());
    EXPECT_EQ(a.Plan.PestControlSite.Keyword, pest3);
  }
  // A dash never offers the web search; counts are never searched.
  a.mnTekiyouGridPopup(w.gdTekiyo, 3, 2);
  EXPECT_FALSE(w.pmnGoogleTekiyo->isVisible());
  a.mnTekiyouGridPopup(w.gdTekiyo, 4, 1);
  EXPECT_FALSE(w.pmnGoogleTekiyo->isVisible());
  // Crop: the SQL tab; its item fills the SQL editor from the crop.
  a.mnTekiyouGridPopup(w.gdTekiyo, 1, 1);
  EXPECT_TRUE(a.pmnSendToSql->isVisible());
  EXPECT_EQ(a.pmnSendToSql->text(), "「トマト」をSQLタブで検索");
  EXPECT_TRUE(w.actGridCopy->isEnabled());
  EXPECT_TRUE(w.pmnRemoveRow->isVisible());

  // The title row: copy off while the menu is open, only column removal and fixing.
  a.mnTekiyouGridPopup(w.gdTekiyo, 1, 0);
  EXPECT_FALSE(w.actGridCopy->isEnabled());
  EXPECT_TRUE(w.pmnRemoveClm->isVisible());
  EXPECT_FALSE(w.pmnRemoveRow->isVisible());
  EXPECT_TRUE(w.pmnFixedClm->isEnabled());
  for (QAction* x : {w.pmnGoogleTekiyo, a.pmnSendToSql, a.pmnSendToTabYakuzai, a.pmnWeblio, a.pmnPestControlSite,
                     a.pmnGoogleChuiJiko, a.pmnPrdbSearch})
    EXPECT_FALSE(x->isVisible()) << x->objectName().toStdString();
  emit w.mnTekiyouGrid->aboutToHide();
  EXPECT_TRUE(w.actGridCopy->isEnabled());  // Ctrl+C works again after the menu
  // No cell: the fixing items are off.
  a.mnTekiyouGridPopup(w.gdTekiyo, -1, -1);
  EXPECT_FALSE(w.pmnFixedClm->isEnabled());

  // Offline: the web items show but are off.
  OptionData->OffLine = true;
  a.mnTekiyouGridPopup(w.gdTekiyo, 1, 1);
  EXPECT_TRUE(w.pmnGoogleTekiyo->isVisible());
  EXPECT_FALSE(w.pmnGoogleTekiyo->isEnabled());
  OptionData->OffLine = false;

  // The send item takes the number beside a 番号 column to the number list of the chemical tab.
  w.gdTekiyo->Fill({"番号", "農薬の名称"}, {{"12345", "テスト"}});
  a.mnTekiyouGridPopup(w.gdTekiyo, 1, 1);
  EXPECT_EQ(a.pmnSendToTabYakuzai->text(), "「12345: テスト」を薬剤タブで検索");
  a.pmnSendToTabYakuzai->trigger();
  EXPECT_EQ(w.PopupKeyword, "12345");
  EXPECT_EQ(w.SendToListPage, w.tabBango);
  EXPECT_EQ(w.pgSearch->currentIndex(), tiYakuzai);
}
