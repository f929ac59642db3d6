// The options dialog: cancel leaves the settings as they were, OK carries every page's
// controls through quillmar.ini and back into a new dialog, the shared and download folder
// rules, and the window's menu item opening it as a user does.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFile>
#include <QLineEdit>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>

#include "foundation/color_box.h"
#include "foundation/file_dialog_pos.h"
#include "foundation/global.h"
#include "foundation/message_sink.h"
#include "foundation/win_spin_edit.h"
#include "frontend/console/frm_template.h"
#include "frontend/frm_main.h"
#include "frontend/frm_option.h"
#include "frontend/main_dialogs.h"
#include "frontend/main_pages.h"
#include "frontend/picker_placement.h"
#include "output/xls_string_grid.h"
#include "support_main_window.h"

namespace {

std::string S(const QString& s) { return s.toStdString(); }

std::string IniText() {
  QFile f(QString::fromStdString(OptionData->IniFileName));
  if (!f.open(QIODevice::ReadOnly)) return {};
  return f.readAll().toStdString();
}

// Every value control of the dialog as text, page by page (fonts and colours as stored).
std::vector<std::string> ControlValues(TfrmOption& d) {
  std::vector<std::string> v;
  for (QCheckBox* c : d.findChildren<QCheckBox*>()) v.push_back(S(c->objectName()) + "=" + (c->isChecked() ? "1" : "0"));
  for (TWinSpinEdit* s : d.findChildren<TWinSpinEdit*>()) v.push_back(S(s->objectName()) + "=" + std::to_string(s->Value()));
  for (QComboBox* c : d.findChildren<QComboBox*>()) {
    if (auto* box = qobject_cast<TColorBox*>(c))
      v.push_back(S(c->objectName()) + "=" + ColorToHex(box->Selected()));
    else
      v.push_back(S(c->objectName()) + "=" + std::to_string(c->currentIndex()));
  }
  for (const char* e : {"edtProxyUsername", "edtProxyPassword", "edtProxyName", "edtProxyBypass", "eUserSite",
                        "edtSharedFolder", "edtSaveFolder", "edtExportssCss"})
    v.push_back(std::string(e) + "=" + S(d.findChild<QLineEdit*>(e)->text()));
  v.push_back("rgDownSite=" + std::to_string(d.rgDownSiteButtons->checkedId()));
  for (int tag : {1, 2, 3, 4, 6, 7}) v.push_back("font" + std::to_string(tag) + "=" + FontRecToStr(d.SampleFontRec(tag)));
  for (int tag : {1, 2, 4, 7}) v.push_back("color" + std::to_string(tag) + "=" + ColorToHex(d.SampleColor(tag)));
  return v;
}

struct OptionDialogTest : ::testing::Test {
  void SetUp() override {
    TfrmOption::ChooseFont = [this](QFont& f, QWidget*) {
      if (fontAnswer.family().isEmpty()) return false;
      f = fontAnswer;
      return true;
    };
    TColorBox::ChooseColor = [this](QColor& c, QWidget*) {
      if (!colorAnswer.isValid()) return false;
      c = colorAnswer;
      return true;
    };
  }
  void TearDown() override {
    TfrmOption::ChooseFont = nullptr;
    TColorBox::ChooseColor = nullptr;
  }
  TMainWindowFixture fx;
  TLogMessageSink sink{[](const std::string&) {}};
  TScopedMessageSink scoped{&sink};
  QFont fontAnswer;
  QColor colorAnswer;
};

// Gives every control of every page a value other than the one it shows.
void ChangeEverything(TfrmOption& d, QFont& fontAnswer, QColor& colorAnswer, const QString& appDir) {
  // 表示: fonts and colours through the choosers, then the rest.
  fontAnswer = QFont("Noto Sans CJK JP");
  fontAnswer.setPointSize(13);
  fontAnswer.setBold(true);
  fontAnswer.setItalic(true);
  d.ckTekiyouEveryOtherLine->setChecked(true);
  for (QPushButton* b : {d.bFont1_, d.bFont2, d.bFont4, d.bFontMain, d.bSeibun, d.bEditFont, d.bFont3})
    QTest::mouseClick(b, Qt::LeftButton);
  colorAnswer = QColor(0x12, 0x34, 0x56);
  for (QPushButton* b : {d.bColor1_, d.bColor2, d.bColor4, d.bColor3}) QTest::mouseClick(b, Qt::LeftButton);
  d.ckToolBarFlat->setChecked(!d.ckToolBarFlat->isChecked());
  d.ckToolbarCaption->setChecked(!d.ckToolbarCaption->isChecked());
  d.cbMenuImageSize->setCurrentIndex(2);
  d.cbBtnImageSize->setCurrentIndex(3);
  d.seTreeIndent->SetValue(33);
  // 接続
  d.cbBufferSize->setCurrentIndex(2);
  d.eTimeOut->SetValue(5000);
  d.eReceiveTimeOut->SetValue(7000);
  d.ckOoConnect->setChecked(!d.ckOoConnect->isChecked());
  d.ckUseProxyAuth->setChecked(true);
  d.edtProxyUsername->setText("user 'x'");
  d.edtProxyPassword->setText("p@ss=;\"word\"");
  d.ckProxyManual->setChecked(true);
  d.edtProxyName->setText("proxy.example:8080");
  d.edtProxyBypass->setText("localhost;127.0.0.1");
  // ダウンロードサイト
  d.rgDownSiteButtons->button(4)->setChecked(true);
  d.cbVeskDBSite->setCurrentIndex(2);
  d.eUserSite->setText("http://own.example/data/");
  d.ckUseLAN->setChecked(true);
  d.edtSharedFolder->setText(appDir + "shared");
  d.ckNoUpdateCheck->setChecked(!d.ckNoUpdateCheck->isChecked());
  d.edtSaveFolder->setText("dl/new");
  d.ckRelativePath->setChecked(true);
  // 適用データ
  d.seGridMaxWidth->SetValue(320);
  d.seGridLineSpace->SetValue(6);
  d.seGridLineAddSpace->SetValue(3);
  d.edtExportssCss->setText("mine.css");
  // SQLエディタ: a colour that is in the list and one from "その他..."
  d.cbSQLKeywordColor->SetSelected(0x008000);
  colorAnswer = QColor(0xAB, 0xCD, 0xEF);
  d.cbSQLPragmasColor->activated(d.cbSQLPragmasColor->count() - 1);  // "その他..."
  for (TColorBox* c : {d.cbSQLCommentColor, d.cbSQLFunctionColor, d.cbSQLDatatypeColor, d.cbTableNameColor,
                       d.cbSQLPLsqlColor, d.cbSQLWindowFunctionColor})
    c->SetSelected(0x800080);
  for (QCheckBox* c : {d.ckSQLKeywordBold, d.ckSQLCommentBold, d.ckSQLCommentItalic, d.ckSQLFunctionBold,
                       d.ckSQLDatatypeBold, d.ckTableNameBold, d.ckSQLPLsqlBold, d.ckSQLWindowFunctionBold,
                       d.ckSQLPragmasBold, d.ckShowLineNumber, d.ckWordwrap})
    c->setChecked(!c->isChecked());
  d.seLineSpacing->SetValue(4);
  d.seRightEdge->SetValue(80);
  // タブレット
  d.ckTabletOn->setChecked(true);
  d.seSplitterWidth->SetValue(12);
  d.seTabHeight->SetValue(40);
}

}  // namespace

TEST_F(OptionDialogTest, CancelLeavesTheSettingsUnchanged) {
  OptionData->Save();
  const std::string before = IniText();
  for (bool standard : {false, true}) {
    TfrmOption d;
    d.FormShow();
    ChangeEverything(d, fontAnswer, colorAnswer, QString::fromStdString(fx.AppDir));
    if (standard) QTest::mouseClick(d.btnDefaultView, Qt::LeftButton);
    QTest::mouseClick(d.bCancel, Qt::LeftButton);
    EXPECT_EQ(d.result(), QDialog::Rejected);
    OptionData->Save();
    EXPECT_EQ(IniText(), before) << (standard ? "after 標準に戻す" : "");
  }
  EXPECT_FALSE(QDir(QString::fromStdString(fx.AppDir) + "dl/new").exists());
}

TEST_F(OptionDialogTest, OkCarriesEveryPageThroughTheSettingsFile) {
  std::vector<std::string> shown;
  {
    TfrmOption d;
    d.show();  // the show fills the controls
    const std::vector<std::string> initial = ControlValues(d);
    ChangeEverything(d, fontAnswer, colorAnswer, QString::fromStdString(fx.AppDir));
    shown = ControlValues(d);
    // Every control was changed (so the round trip below proves something).
    ASSERT_EQ(initial.size(), shown.size());
    for (size_t i = 0; i < shown.size(); ++i) EXPECT_NE(initial[i], shown[i]);
    int applied = 0;
    d.OnApplied = [&] { ++applied; };
    QTest::mouseClick(d.bOk, Qt::LeftButton);
    EXPECT_EQ(d.result(), QDialog::Accepted);
    EXPECT_EQ(applied, 1);
  }
  EXPECT_EQ(sink.Count(), 0u);
  // A few fields as the rest of the program reads them.
  EXPECT_TRUE(OptionData->UseLAN);
  EXPECT_EQ(OptionData->DownSite, 4);
  EXPECT_EQ(OptionData->SQLPragmasColor, 0x00EFCDABu);
  EXPECT_EQ(OptionData->TekiyouColor, 0x00563412u);
  EXPECT_EQ(OptionData->TekiyouFont.Style, fsBold | fsItalic);
  EXPECT_EQ(OptionData->TekiyouFont.Size, 13);
  EXPECT_EQ(OptionData->DownloadDir, fx.AppDir + "dl/new");
  EXPECT_TRUE(QDir(QString::fromStdString(fx.AppDir) + "dl/new").exists());  // a new folder is made

  // Through the file into a fresh settings object, and into a new dialog.
  OptionData->Save();
  InitGlobals(fx.AppDir);
  OptionData->Load();
  EXPECT_EQ(OptionData->DownloadDir, fx.AppDir + "dl/new");
  TfrmOption again;
  again.FormShow();
  EXPECT_EQ(ControlValues(again), shown);
}

TEST_F(OptionDialogTest, SqlPragmasBoldAndTheStandardView) {
  for (bool bold : {false, true}) {
    OptionData->SQLPragmasBold = !bold;
    TfrmOption d;
    d.FormShow();
    d.ckSQLPragmasBold->setChecked(bold);
    ASSERT_TRUE(d.Apply(false));
    EXPECT_EQ(OptionData->SQLPragmasBold, bold);
  }
  // "標準に戻す" then OK: the standard font, colours and switches.
  TfrmOption d;
  d.FormShow();
  d.ckNoUpdateCheck->setChecked(true);
  QTest::mouseClick(d.btnDefaultView, Qt::LeftButton);
  ASSERT_TRUE(d.Apply(false));
  EXPECT_EQ(FontRecToStr(OptionData->SQLEditFont), "\"ＭＳ Ｐゴシック\",128,-12,9,0,80000008");
  EXPECT_EQ(OptionData->MainFormFont, OptionData->LogFont);
  EXPECT_EQ(OptionData->SQLEditColor, clWindow);
  EXPECT_EQ(OptionData->TekiyouColor2, 0x00F3F1E2u);
  EXPECT_EQ(OptionData->SQLKeywordColor, 0xFF0000u);
  EXPECT_TRUE(OptionData->TekiyouGridEveryOtherLine && OptionData->ToolBarFlat && OptionData->ToolBarCaption);
  EXPECT_EQ(OptionData->SakumotsuTreeIndent, 19);
  EXPECT_FALSE(OptionData->NoUpdateCheck);
  // The every-other-row sample takes no typing, and follows its check box.
  const QString text = d.eTekiyou2->text();
  d.eTekiyou2->setFocus();
  QTest::keyClicks(d.eTekiyou2, "abc");
  EXPECT_EQ(d.eTekiyou2->text(), text);
  d.ckTekiyouEveryOtherLine->setChecked(false);
  EXPECT_FALSE(d.eTekiyou2->isEnabled() || d.bFont2->isEnabled() || d.bColor2->isEnabled());
}

TEST_F(OptionDialogTest, SharedAndDownloadFolders) {
  const QString cwd = QDir::currentPath();
  OptionData->UseLAN = true;
  OptionData->dirLAN = "/old/shared";
  const std::string oldDownload = OptionData->DownloadDir;
  TfrmOption d;
  d.FormShow();
  // Ticked with an empty folder box: refused, nothing written, the box has the focus's page.
  d.edtSharedFolder->clear();
  d.edtSaveFolder->setText("never");
  EXPECT_FALSE(d.Apply(true));
  EXPECT_EQ(sink.Count(), 1u);
  EXPECT_EQ(d.PageControl1->currentWidget(), d.TabSheet1);
  EXPECT_FALSE(QDir(QString::fromStdString(fx.AppDir) + "never").exists());
  // Unticked with an empty box: the shared folder is no longer used; the folder stays stored.
  d.ckUseLAN->setChecked(false);
  EXPECT_FALSE(d.edtSharedFolder->isEnabled() || d.btnBrowse->isEnabled());
  d.edtSaveFolder->clear();
  ASSERT_TRUE(d.Apply(false));
  EXPECT_FALSE(OptionData->UseLAN);
  EXPECT_EQ(OptionData->dirLAN, "/old/shared");
  EXPECT_EQ(OptionData->DownloadDir, oldDownload);  // an empty box keeps the download folder

  // The relative box turns the text round about the program folder, never the working folder.
  const QString abs = QString::fromStdString(fx.AppDir) + "a/b";
  d.show();
  d.PageControl1->setCurrentWidget(d.TabSheet1);
  d.edtSaveFolder->setText(abs);
  d.ckRelativePath->setChecked(false);
  QTest::mouseClick(d.ckRelativePath, Qt::LeftButton, {}, QPoint(4, d.ckRelativePath->height() / 2));
  EXPECT_TRUE(d.ckRelativePath->isChecked());
  EXPECT_EQ(d.edtSaveFolder->text(), QString("a/b"));
  QTest::mouseClick(d.ckRelativePath, Qt::LeftButton, {}, QPoint(4, d.ckRelativePath->height() / 2));
  EXPECT_EQ(d.edtSaveFolder->text(), abs);
  EXPECT_EQ(QDir::currentPath(), cwd);
  // A download folder that cannot be made is refused.
  QFile blocker(QString::fromStdString(fx.AppDir) + "file");
  ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
  blocker.close();
  d.edtSaveFolder->setText(QString::fromStdString(fx.AppDir) + "file/sub");
  EXPECT_FALSE(d.Apply(false));
  EXPECT_EQ(OptionData->DownloadDir, oldDownload);
  EXPECT_EQ(QDir::currentPath(), cwd);

  // 参照 beside the download folder opens the chooser under its own caption, with what to
  // choose said inside; the options dialog keeps its caption.
  QString caption, lookIn;
  TFileDialogPos::AfterShow = [&](QFileDialog& f) {
    caption = f.windowTitle();
    lookIn = f.labelText(QFileDialog::LookIn);
    f.reject();
  };
  QTest::mouseClick(d.btnSaveFolder, Qt::LeftButton);
  TFileDialogPos::AfterShow = nullptr;
  EXPECT_EQ(caption, "ダウンロードフォルダの選択");
  EXPECT_EQ(lookIn, "ダウンロードファイル保存フォルダを指定して下さい");
  EXPECT_EQ(d.windowTitle(), "設定");
}

TEST(OptionDialogWindow, TheMenuItemsOpenTheDialogsAndOkAppliesAtOnce) {
  TMainWindowFixture fx;
  TLogMessageSink sink([](const std::string&) {});
  TScopedMessageSink scoped(&sink);
  OptionData->TekiyouColor = 0x00D0E0F0;  // a stored grid background
  OptionData->Save();
  TfrmMain w;
  InstallSearchPages(w);  // the template page's grid too
  w.show();
  Pump(100);
  ASSERT_NE(w.TemplateGrid, nullptr);
  EXPECT_EQ(w.TemplateGrid->palette().color(QPalette::Base), ColorToQColor(0x00D0E0F0));
  std::vector<std::string> opened;
  TPickerModalHook prev = SetPickerModalHook([&](QDialog& dlg) {
    opened.push_back(dlg.objectName().toStdString());
    if (auto* d = qobject_cast<TfrmOption*>(&dlg)) {
      // The samples show the window's fonts; a bigger grid font and a new background.
      EXPECT_EQ(d->eTekiyou->font().family(), w.gdTekiyo->font().family());
      TfrmOption::ChooseFont = [](QFont& f, QWidget*) {
        f.setPointSize(f.pointSize() + 5);
        return true;
      };
      TColorBox::ChooseColor = [](QColor& c, QWidget*) {
        c = QColor(1, 2, 3);
        return true;
      };
      QTest::mouseClick(d->bFont1_, Qt::LeftButton);
      QTest::mouseClick(d->bFontMain, Qt::LeftButton);
      QTest::mouseClick(d->bColor1_, Qt::LeftButton);
      d->ckShowLineNumber->setChecked(true);
      QTest::mouseClick(d->bOk, Qt::LeftButton);
      TfrmOption::ChooseFont = nullptr;
      TColorBox::ChooseColor = nullptr;
      return d->result();
    }
    return int(QDialog::Accepted);
  });
  const int before = w.gdTekiyo->font().pointSize();
  const int mainBefore = w.font().pointSize();
  ASSERT_TRUE(w.actOption->isEnabled());
  ASSERT_TRUE(w.mnAbout->isEnabled());
  // 設定(&C) → 基本設定(&O), and ヘルプ(&H) → バージョン情報(&A), by the keyboard.
  w.activateWindow();
  QTest::keyClick(&w, Qt::Key_C, Qt::AltModifier);
  Pump(50);
  ASSERT_NE(QApplication::activePopupWidget(), nullptr);
  QTest::keyClick(QApplication::activePopupWidget(), Qt::Key_O);
  Pump(50);
  QTest::keyClick(&w, Qt::Key_H, Qt::AltModifier);
  Pump(50);
  ASSERT_NE(QApplication::activePopupWidget(), nullptr);
  QTest::keyClick(QApplication::activePopupWidget(), Qt::Key_A);
  Pump(50);
  SetPickerModalHook(prev);
  EXPECT_EQ(opened, (std::vector<std::string>{"frmOption", "frmAbout"}));
  EXPECT_EQ(w.gdTekiyo->font().pointSize(), before + 5);
  EXPECT_EQ(w.gdTekiyo->palette().color(QPalette::Base), QColor(1, 2, 3));
  // The template page's result grid is a result grid of the window like the others.
  EXPECT_EQ(w.TemplateGrid->font().pointSize(), before + 5);
  // The main font reaches the pages the window holds, the template page's buttons among them.
  EXPECT_EQ(w.font().pointSize(), mainBefore + 5);
  auto* page = w.findChild<TfrmTemplate*>("frmTemplate");
  ASSERT_NE(page, nullptr);
  EXPECT_EQ(page->btnTplExec->font().pointSize(), mainBefore + 5);
  EXPECT_EQ(w.btnQueryExec->font().pointSize(), mainBefore + 5);
  EXPECT_EQ(w.TemplateGrid->palette().color(QPalette::Base), QColor(1, 2, 3));
  EXPECT_TRUE(OptionData->SQLEditorLineNumber);
  EXPECT_EQ(sink.Count(), 0u);
}

// A number typed past a box's limit and confirmed with Enter (the dialog's OK) is written as
// the limit, as when the user leaves the box first: no 99-pixel line spacing in the grids.
TEST_F(OptionDialogTest, EnterInANumberBoxWritesItWithinItsLimits) {
  TfrmOption d;
  d.show();
  QApplication::processEvents();
  d.PageControl1->setCurrentWidget(d.tabTekiyo);
  d.seGridLineSpace->setFocus();
  d.seGridLineSpace->SetText("");
  QTest::keyClicks(d.seGridLineSpace, "99");
  ASSERT_EQ(d.seGridLineSpace->Text(), "99");
  QTest::keyClick(d.seGridLineSpace, Qt::Key_Return);
  EXPECT_EQ(d.result(), QDialog::Accepted);
  EXPECT_EQ(OptionData->GridLineSpace, 12);
  EXPECT_EQ(sink.Count(), 0u);
}

// "適用" gives the window's input boxes the chosen input-box font, and only them: the dialog's
// own sample boxes keep showing the fonts picked for the grid and the other controls (and a
// second font button starts from the grid's font, not from the input boxes').
TEST(OptionDialogWindow, ApplyLeavesTheSampleBoxesTheirOwnFonts) {
  TMainWindowFixture fx;
  TLogMessageSink sink([](const std::string&) {});
  TScopedMessageSink scoped(&sink);
  TfrmMain w;
  InstallSearchPages(w);
  w.show();
  Pump(50);
  auto* page = w.findChild<TfrmTemplate*>("frmTemplate");
  ASSERT_NE(page, nullptr);
  QFont startedFrom;
  TPickerModalHook prev = SetPickerModalHook([&](QDialog& dlg) {
    auto* d = qobject_cast<TfrmOption*>(&dlg);
    if (!d) return int(QDialog::Rejected);
    int size = 0;
    TfrmOption::ChooseFont = [&](QFont& f, QWidget*) {
      startedFrom = f;
      f.setPointSize(size);
      return true;
    };
    size = 21;
    QTest::mouseClick(d->bFont1_, Qt::LeftButton);  // the grid
    size = 7;
    QTest::mouseClick(d->bEditFont, Qt::LeftButton);  // the input boxes
    QTest::mouseClick(d->bUpdate, Qt::LeftButton);
    EXPECT_EQ(d->eTekiyou->font().pointSize(), 21);
    EXPECT_EQ(d->eEdit->font().pointSize(), 7);
    EXPECT_NE(d->eMain->font().pointSize(), 7);
    EXPECT_NE(d->edtProxyName->font().pointSize(), 7);
    size = 22;
    QTest::mouseClick(d->bFont1_, Qt::LeftButton);
    EXPECT_EQ(startedFrom.pointSize(), 21);
    QTest::mouseClick(d->bCancel, Qt::LeftButton);
    TfrmOption::ChooseFont = nullptr;
    return d->result();
  });
  w.activateWindow();
  QTest::keyClick(&w, Qt::Key_C, Qt::AltModifier);
  Pump(50);
  ASSERT_NE(QApplication::activePopupWidget(), nullptr);
  QTest::keyClick(QApplication::activePopupWidget(), Qt::Key_O);
  Pump(50);
  SetPickerModalHook(prev);
  // The window's own input boxes took the input-box font.
  EXPECT_EQ(w.edtByochu->font().pointSize(), 7);
  // All five argument boxes of the template page, the one-line and the several-line ones.
  for (QWidget* box : std::initializer_list<QWidget*>{page->edtTplYoto, page->edtTplZaikei, page->edtTplSakumotsu,
                                                      page->edtTplByochu, page->edtTplSonota})
    EXPECT_EQ(box->font().pointSize(), 7) << box->objectName().toStdString();
  EXPECT_NE(w.mLog->font().pointSize(), 7);
  EXPECT_EQ(w.gdTekiyo->font().pointSize(), 21);
  EXPECT_EQ(sink.Count(), 0u);
}

// Shown at the size it opens with, the dialog has every page's tab in sight (the last one,
// タブレット, hid behind scroll arrows) and its tree indent box shows its whole number.
TEST_F(OptionDialogTest, EveryTabAndTheIndentBoxCanBeSeen) {
  TfrmOption d;
  d.FormShow();
  d.show();
  QApplication::processEvents();
  QTabBar* bar = d.PageControl1->tabBar();
  ASSERT_EQ(bar->count(), 6);
  for (int i = 0; i < bar->count(); ++i) EXPECT_LE(bar->tabRect(i).right(), bar->width()) << i;
  EXPECT_LE(bar->mapTo(&d, QPoint(bar->width(), 0)).x(), d.width());
  QLineEdit* indent = d.seTreeIndent->findChild<QLineEdit*>();
  ASSERT_NE(indent, nullptr);
  EXPECT_GE(indent->width(), indent->fontMetrics().horizontalAdvance(indent->text()));
}
