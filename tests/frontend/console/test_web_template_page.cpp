// The template page in the main window on the sample register, with the real browser: the
// help page, opening a template written in CP932, the argument panels and defaults, running
// it into the template grid, argument files, the pickers' hand-over and "SQL編集".
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <iconv.h>
#include <link.h>

#include <Qsci/qsciscintilla.h>

#include <QAction>
#include <QApplication>
#include <QDesktopServices>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QSplitter>
#include <QTabBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QWindow>

#include "database/acis_db.h"
#include "foundation/check_list_box_ex.h"
#include "foundation/file_dialog_pos.h"
#include "foundation/global.h"
#include "foundation/message_sink.h"
#include "foundation/options.h"
#include "frontend/console/dlg_arg_save.h"
#include "frontend/console/frm_template.h"
#include "frontend/crop/dlg_sakumotsu.h"
#include "frontend/frm_main.h"
#include "frontend/frm_yoto.h"
#include "frontend/main_pages.h"
#include "frontend/main_services.h"
#include "frontend/picker_placement.h"
#include "frontend/support_main_window.h"
#include "output/page_view.h"
#include "output/xls_string_grid.h"

// Chromium inside Qt WebEngine frees some of its objects through a base with a smaller size;
// AddressSanitizer would stop the program at that mismatch inside the library. The other
// checks stay on (ASAN_OPTIONS given to the run still win over these defaults).
extern "C" const char* __asan_default_options() { return "new_delete_type_mismatch=0"; }

// Takes what the program would hand to the desktop to open.
class TOpenCatcher : public QObject {
  Q_OBJECT

 public:
  int Opened = 0;
 public slots:
  void Open(const QUrl&) { ++Opened; }
};

namespace {

// The graphics drivers the browser loads are unloaded again before the leak check runs, and
// what they keep would be reported without a name (so no suppression could name the library):
// every library loaded now stays until the process ends.
void KeepLibrariesLoaded() {
  dl_iterate_phdr(
      [](dl_phdr_info* info, size_t, void*) {
        if (info->dlpi_name && info->dlpi_name[0] == '/') dlopen(info->dlpi_name, RTLD_LAZY | RTLD_NOLOAD | RTLD_NODELETE);
        return 0;
      },
      nullptr);
}

TLogMessageSink& Sink() { return static_cast<TLogMessageSink&>(MessageSink()); }

// The page's text or HTML as the browser has it now.
QString BrowserText(TPageView* view, bool html) {
  QString out;
  bool done = false;
  auto take = [&](const QString& s) {
    out = s;
    done = true;
  };
  if (html)
    view->ToHtml(take);
  else
    view->ToPlainText(take);
  QElapsedTimer t;
  t.start();
  while (!done && t.elapsed() < 10000) Pump(20);
  return out;
}

// Waits until the browser's text holds Needle (false after 30 s).
bool WaitForText(TPageView* view, const QString& needle) {
  QElapsedTimer t;
  t.start();
  while (t.elapsed() < 30000) {
    if (BrowserText(view, false).contains(needle)) return true;
    Pump(100);
  }
  return false;
}

std::string Cp932(const std::string& utf8) {
  iconv_t cd = iconv_open("CP932", "UTF-8");
  std::string in = utf8, out(utf8.size() * 2 + 16, '\0');
  char* ip = in.data();
  char* op = out.data();
  size_t il = in.size(), ol = out.size();
  iconv(cd, &ip, &il, &op, &ol);
  iconv_close(cd);
  out.resize(out.size() - ol);
  return out;
}

void WriteFile(const QString& name, const std::string& bytes) {
  QFile f(name);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write(bytes.data(), static_cast<qint64>(bytes.size()));
}

std::string ReadFile(const QString& name) {
  QFile f(name);
  return f.open(QIODevice::ReadOnly) ? f.readAll().toStdString() : std::string();
}

void Choose(const QString& file) {
  TFileDialogPos::AfterShow = [file](QFileDialog& d) {
    d.selectFile(file);
    QMetaObject::invokeMethod(&d, "accept");
  };
}

int64_t Count(const std::string& sql) { return AcisDB->FDb->GetTable(sql)->FieldAsInteger(0); }

// A template as the template folder holds them: the placeholders written straight into the
// page, which the browser takes for elements.
const char* const kTemplate =
    "<html><head><title>作物と用途</title></head><body>\r\n"
    "<h1>作物別の登録</h1>\r\n"
    "<pre>\r\n"
    "#template {\r\n"
    "    select bango, sakumotsu, yoto from tekiyo\r\n"
    "    where sakumotsu in (<sakumotsu>)\r\n"
    "    -- and yoto = <yoto>\r\n"
    "    order by bango\r\n"
    "}\r\n"
    "#default {\r\n"
    "sakumotsu = トマト\r\n"
    "}\r\n"
    "</pre></body></html>\r\n";

}  // namespace

TEST(TemplatePage, OpensRunsAndKeepsArgumentsOfATemplate) {
  TMainWindowFixture fx;
  ASSERT_TRUE(fx.BuildSampleDb());
  QTemporaryDir dir;
  TfrmMain w;
  InstallSearchPages(w);
  auto* page = w.findChild<TfrmTemplate*>("frmTemplate");
  ASSERT_NE(page, nullptr);
  EXPECT_EQ(w.findChild<QWidget*>("fplTemplate"), w.fplTemplate);
  EXPECT_EQ(page->gdTemplate, w.TemplateGrid);
  EXPECT_EQ(w.GridStates[tiTemplate].Grid, w.TemplateGrid);
  w.resize(1000, 760);
  w.show();
  Pump();
  ASSERT_TRUE(AcisDB);
  OptionData->TemplateDir = dir.path().toStdString();

  // Before a template: the help page, no argument, three commands off.
  EXPECT_EQ(page->Browser(), nullptr);  // made when the page is first shown
  w.pgSearch->setCurrentWidget(w.tshTemplate);
  Pump();
  ASSERT_NE(page->Browser(), nullptr);
  EXPECT_TRUE(WaitForText(page->Browser(), "をクリックして、実行したい処理を選択してください。"));
  EXPECT_FALSE(page->btnTplExec->isEnabled());
  EXPECT_FALSE(page->btnTplEdit->isEnabled());
  EXPECT_FALSE(page->btnTplArgSave->isEnabled());
  EXPECT_TRUE(page->pnlTplSakumotsu->isHidden());

  // Open a template written in CP932.
  const QString tpl = dir.filePath("crops.tpl");
  WriteFile(tpl, Cp932(kTemplate));
  Choose(tpl);
  page->btnTplLoad->click();
  TFileDialogPos::AfterShow = nullptr;
  EXPECT_EQ(page->TemplateFile(), tpl);
  EXPECT_TRUE(page->btnTplExec->isEnabled());
  EXPECT_FALSE(page->pnlTplSakumotsu->isHidden());
  EXPECT_FALSE(page->pnlTplYoto->isHidden());
  EXPECT_TRUE(page->pnlTplByochu->isHidden());
  EXPECT_TRUE(page->pnlTplZaikei->isHidden());
  EXPECT_TRUE(page->pnlTplSonota->isHidden());
  EXPECT_FALSE(page->pnlTplLowerSpace->isHidden());
  EXPECT_EQ(page->edtTplSakumotsu->toPlainText(), "トマト");
  EXPECT_EQ(page->edtTplYoto->text(), "");
  // The argument boxes take a few lines; the description and the result keep most of the page.
  Pump();
  const int lines = page->edtTplSakumotsu->fontMetrics().lineSpacing();
  EXPECT_GE(page->edtTplSakumotsu->viewport()->height(), 2 * lines);
  EXPECT_LE(page->pnlTplSakumotsu->height(), 6 * lines);
  EXPECT_GT(page->pagTemplate->height(), page->splTemplate->height() / 2);
  // The browser shows the page and makes elements of the placeholders: the SQL cannot come
  // from its document.
  ASSERT_TRUE(WaitForText(page->Browser(), "作物別の登録"));
  EXPECT_TRUE(BrowserText(page->Browser(), true).contains("</sakumotsu>"));

  // Run: the template grid gets the uses on トマト, the log the SQL.
  page->btnTplExec->click();
  ASSERT_FALSE(page->gdTemplate->isHidden());
  const int64_t tomato = Count("select count(*) from tekiyo where sakumotsu in ('トマト')");
  ASSERT_GT(tomato, 0);
  EXPECT_EQ(page->gdTemplate->RowCount() - 1, tomato);
  EXPECT_EQ(page->pagTemplate->currentWidget(), page->tshTplResult);
  EXPECT_EQ(w.GridStates[tiTemplate].CountText, QString::number(tomato) + "件");
  EXPECT_EQ(w.StatusText(3), QString::number(tomato) + "件");
  EXPECT_TRUE(w.actGridCopy->isEnabled());
  EXPECT_TRUE(page->btnTplLoad->isEnabled());
  const QStringList log = w.mLog->toPlainText().split('\n');
  const int at = static_cast<int>(log.lastIndexOf("SQL>"));
  ASSERT_GE(at, 0);
  EXPECT_EQ(log.value(at + 1), "select bango, sakumotsu, yoto from tekiyo");
  // The optional use, once set, uncomments its condition.
  page->edtTplYoto->setText("殺虫剤");
  page->btnTplExec->click();
  EXPECT_EQ(page->gdTemplate->RowCount() - 1,
            Count("select count(*) from tekiyo where sakumotsu in ('トマト') and yoto = '殺虫剤'"));

  // Save the arguments: two lines, crop first; the user confirms and picks the file.
  const QString argFile = dir.filePath("set.arg");
  QString memo;
  SetPickerModalHook([&](QDialog& d) {
    auto* save = qobject_cast<TDlgArgSave*>(&d);
    if (!save) return int(QDialog::Rejected);
    memo = save->mArgs->toPlainText();
    EXPECT_EQ(save->windowTitle(), "定型処理設定保存");
    Choose(argFile);
    save->btnYes->click();
    TFileDialogPos::AfterShow = nullptr;
    return save->result();
  });
  page->btnTplArgSave->click();
  EXPECT_EQ(memo, "sakumotsu = \"トマト\"\nyoto = \"殺虫剤\"");
  EXPECT_EQ(ReadFile(argFile), "sakumotsu = \"トマト\"\r\nyoto = \"殺虫剤\"\r\n");

  // "条件消去" on this tab empties the boxes; the argument file brings them back.
  w.actSearchStrClear->trigger();
  EXPECT_EQ(page->edtTplSakumotsu->toPlainText(), "");
  EXPECT_EQ(page->edtTplYoto->text(), "");
  Choose(argFile);
  page->btnTplArgLoad->click();
  TFileDialogPos::AfterShow = nullptr;
  EXPECT_EQ(page->edtTplSakumotsu->toPlainText(), "トマト");
  EXPECT_EQ(page->edtTplYoto->text(), "殺虫剤");

  // A cancelled use picker leaves the box; the crop picker opens in the template's mode on
  // the crop box.
  bool yotoSeen = false, cropSeen = false;
  SetPickerModalHook([&](QDialog& d) {
    if (auto* y = qobject_cast<TfrmYoto*>(&d)) {
      yotoSeen = true;
      y->List->SetChecked(0, true);
      return int(QDialog::Rejected);
    }
    if (auto* c = qobject_cast<TDlgSakumotsu*>(&d)) {
      cropSeen = c->Mode == 3 && c->TargetEdit == page->edtTplSakumotsu;
      return int(QDialog::Rejected);
    }
    return int(QDialog::Rejected);
  });
  page->btnTplYoto->click();
  EXPECT_TRUE(yotoSeen);
  EXPECT_EQ(page->edtTplYoto->text(), "殺虫剤");
  page->btnTplSakumotsu->click();
  EXPECT_TRUE(cropSeen);
  SetPickerModalHook(nullptr);

  // "SQL編集": a missing required argument stops it; otherwise the SQL goes to the console.
  w.SQLEditor->setText("kept");
  page->edtTplSakumotsu->clear();
  Sink().Clear();
  page->btnTplEdit->click();
  ASSERT_EQ(Sink().Count(), 1u);
  EXPECT_EQ(Sink().Messages()[0].text, "作物名が設定されていません");
  EXPECT_EQ(w.SQLEditor->text(), "kept");
  EXPECT_EQ(w.pgSearch->currentWidget(), w.tshTemplate);
  page->edtTplSakumotsu->setPlainText("'トマト','なす'");
  page->btnTplEdit->click();
  EXPECT_EQ(w.pgSearch->currentWidget(), w.tabSQL);
  EXPECT_EQ(w.SQLEditor->text(),
            "select bango, sakumotsu, yoto from tekiyo\n"
            "where sakumotsu in ('トマト','なす')\n"
            " and yoto = '殺虫剤'\n"
            "order by bango");
  EXPECT_TRUE(w.actSearchTekiyou->isEnabled());
  KeepLibrariesLoaded();
}

// A template that uses all five arguments, in a small main window: the description (and the
// result after a run) keeps room for a few lines below the argument boxes, which give way
// down to a line or two each instead of pressing the page to its tabs.
TEST(TemplatePage, AllArgumentsLeaveRoomForTheDescriptionInASmallWindow) {
  TMainWindowFixture fx;
  ASSERT_TRUE(fx.BuildSampleDb());
  QTemporaryDir dir;
  TfrmMain w;
  InstallSearchPages(w);
  auto* page = w.findChild<TfrmTemplate*>("frmTemplate");
  ASSERT_NE(page, nullptr);
  w.resize(640, 480);
  w.show();
  w.pgSearch->setCurrentWidget(w.tshTemplate);
  Pump();
  const QString tpl = dir.filePath("all.tpl");
  WriteFile(tpl,
            "<html><body><pre>\r\n#template {\r\nselect sakumotsu, byochu, yoto, zaikei from tekiyo\r\n"
            "where sakumotsu in (<sakumotsu>)\r\n-- and byochu in (<byochu>)\r\n-- and yoto in (<yoto>)\r\n"
            "-- and zaikei in (<zaikei>)\r\n-- and <sonota>\r\n}\r\n#default {\r\nsakumotsu = トマト\r\n}\r\n"
            "</pre></body></html>\r\n");
  ASSERT_TRUE(page->LoadTemplateFile(tpl));
  Pump(100);
  for (QWidget* p : {page->pnlTplSakumotsu, page->pnlTplByochu, page->pnlTplYoto, page->pnlTplZaikei,
                     page->pnlTplSonota})
    ASSERT_FALSE(p->isHidden());
  const int lines = page->edtTplSakumotsu->fontMetrics().lineSpacing();
  QTabWidget* pag = page->pagTemplate;
  const int tabs = pag->tabBar()->height();
  EXPECT_GE(pag->height() - tabs, 5 * lines) << pag->height() << " of " << page->splTemplate->height();
  for (QPlainTextEdit* m : {page->edtTplSakumotsu, page->edtTplByochu, page->edtTplSonota})
    EXPECT_GE(m->viewport()->height(), lines) << m->objectName().toStdString();
  page->btnTplExec->click();
  Pump();
  ASSERT_FALSE(page->gdTemplate->isHidden());
  EXPECT_GE(page->gdTemplate->viewport()->height(), 3 * lines);
  KeepLibrariesLoaded();
}

// The window's command keys pressed in the page: the browser takes the desktop's redo key for
// itself, which is Ctrl+Y in some key schemes.
TEST(TemplatePage, WindowKeysRunFromThePage) {
  TMainWindowFixture fx;
  ASSERT_TRUE(fx.BuildSampleDb());
  int updates = 0;
  SetMainWindowServices(std::make_unique<TStandInUpdate>(TStandInUpdate::Counts, &updates));
  {
    TfrmMain w;
    InstallSearchPages(w);
    auto* page = w.findChild<TfrmTemplate*>("frmTemplate");
    ASSERT_NE(page, nullptr);
    w.show();
    w.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    w.pgSearch->setCurrentWidget(w.tshTemplate);
    Pump();
    ASSERT_NE(page->Browser(), nullptr);
    EXPECT_TRUE(WaitForText(page->Browser(), "をクリックして、実行したい処理を選択してください。"));
    QWidget* target = page->Browser();
    while (target->focusProxy()) target = target->focusProxy();
    w.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    target->setFocus();
    ASSERT_TRUE(QTest::qWaitFor([&] { return QApplication::focusWidget() == target; }, 5000));
    const bool rowSelect = w.mnRowSelect->isChecked();
    QTest::keyClick(target, Qt::Key_Y, Qt::ControlModifier);
    Pump(50);
    EXPECT_EQ(updates, 1);
    QTest::keyClick(target, Qt::Key_U, Qt::ControlModifier);
    Pump(50);
    EXPECT_EQ(updates, 2);
    QTest::keyClick(target, Qt::Key_R, Qt::ControlModifier);
    Pump(50);
    EXPECT_NE(w.mnRowSelect->isChecked(), rowSelect);
  }
  SetMainWindowServices(nullptr);
  KeepLibrariesLoaded();
}

// The page's view comes into a window already on the screen: the window's own native window
// stays as it is (remade, it would flicker and could lose its place under a window manager).
// The page is shown inside the window, follows the tab's size, takes the focus and typing on a
// click, and the window's command keys still work from it.
TEST(TemplatePage, TheFirstShowKeepsTheWindowsNativeWindow) {
  TMainWindowFixture fx;
  ASSERT_TRUE(fx.BuildSampleDb());
  int updates = 0;
  SetMainWindowServices(std::make_unique<TStandInUpdate>(TStandInUpdate::Counts, &updates));
  {
    TfrmMain w;
    InstallSearchPages(w);
    auto* page = w.findChild<TfrmTemplate*>("frmTemplate");
    ASSERT_NE(page, nullptr);
    w.resize(900, 700);
    w.show();
    w.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    const WId id = w.winId();
    QPointer<QWindow> handle = w.windowHandle();
    ASSERT_EQ(handle->surfaceType(), QSurface::RasterSurface);

    w.pgSearch->setCurrentWidget(w.tshTemplate);
    Pump();
    TPageView* view = page->Browser();
    ASSERT_NE(view, nullptr);
    EXPECT_TRUE(WaitForText(view, "をクリックして、実行したい処理を選択してください。"));
    EXPECT_EQ(w.winId(), id);
    EXPECT_EQ(w.windowHandle(), handle.data());
    EXPECT_EQ(w.windowHandle()->surfaceType(), QSurface::RasterSurface);

    // The engine's view draws in a native window embedded in the main window's (not one of
    // its own on the desktop), as large as the page's place in the tab, and follows it.
    QWidget* engine = nullptr;
    for (QWidget* c : view->findChildren<QWidget*>())
      if (c->inherits("QWebEngineView")) engine = c;
    ASSERT_NE(engine, nullptr);
    QWindow* pageWindow = engine->window()->windowHandle();
    ASSERT_NE(pageWindow, nullptr);
    EXPECT_TRUE(pageWindow->parent() != nullptr && w.windowHandle()->isAncestorOf(pageWindow));
    EXPECT_TRUE(pageWindow->isVisible());
    EXPECT_GE(view->height(), page->tshTplSource->height() * 3 / 4);
    EXPECT_EQ(pageWindow->size(), view->size());
    const QSize before = view->size();
    w.resize(1100, 820);
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return view->width() > before.width() && view->height() > before.height(); }, 5000));
    EXPECT_TRUE(QTest::qWaitFor([&] { return pageWindow->size() == view->size(); }, 5000));

    // A click in the page gives it the focus; typing goes into the page's field.
    auto script = [&](const char* code) {
      QVariant value;
      bool done = false;
      view->RunScript(code, [&](const QVariant& v) {
        value = v;
        done = true;
      });
      EXPECT_TRUE(QTest::qWaitFor([&] { return done; }, 10000));
      return value.toString();
    };
    auto fieldValue = [&] { return script("document.getElementById('field').value"); };
    view->SetHtml("<html><body style='margin:0'><input id='field' style='width:200px;height:40px'></body></html>",
                  QUrl("about:blank"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return script("String(document.getElementById('field') !== null)") == "true"; },
                                30000));
    QTest::mouseClick(pageWindow, Qt::LeftButton, {}, QPoint(20, 20));
    ASSERT_TRUE(QTest::qWaitFor([&] { return view->isAncestorOf(QApplication::focusWidget()); }, 5000));
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return script("String(document.hasFocus() && document.activeElement.id === 'field')") == "true"; },
        30000));
    for (char c : {'a', 'b', 'c'}) QTest::keyClick(QGuiApplication::focusWindow(), c);
    EXPECT_TRUE(QTest::qWaitFor([&] { return fieldValue() == "abc"; }, 5000)) << fieldValue().toStdString();

    // The window's command keys from the page, as the desktop delivers them.
    const bool rowSelect = w.mnRowSelect->isChecked();
    QTest::keyClick(QGuiApplication::focusWindow(), Qt::Key_R, Qt::ControlModifier);
    Pump(50);
    EXPECT_NE(w.mnRowSelect->isChecked(), rowSelect);
    QTest::keyClick(QGuiApplication::focusWindow(), Qt::Key_U, Qt::ControlModifier);
    Pump(50);
    EXPECT_EQ(updates, 1);
    TOpenCatcher help;
    for (const char* scheme : {"file", "http", "https"}) QDesktopServices::setUrlHandler(scheme, &help, "Open");
    ASSERT_TRUE(w.mnDocOpen->isEnabled());
    QTest::keyClick(QGuiApplication::focusWindow(), Qt::Key_F1);
    Pump(50);
    for (const char* scheme : {"file", "http", "https"}) QDesktopServices::unsetUrlHandler(scheme);
    EXPECT_EQ(help.Opened, 1);
    EXPECT_EQ(fieldValue(), "abc");

    // Focus elsewhere in the window: the page no longer takes the typing.
    page->edtTplYoto->show();
    page->pnlTplYoto->show();
    page->edtTplYoto->setFocus();
    ASSERT_TRUE(QTest::qWaitFor([&] { return page->edtTplYoto->hasFocus(); }, 5000));
    QTest::keyClick(QGuiApplication::focusWindow(), 'x');
    Pump(100);
    EXPECT_EQ(fieldValue(), "abc");
    EXPECT_EQ(page->edtTplYoto->text(), "x");
    EXPECT_EQ(w.winId(), id);
    EXPECT_TRUE(handle);
  }
  SetMainWindowServices(nullptr);
  KeepLibrariesLoaded();
}

#include "test_web_template_page.moc"
