// The result windows' routes through the HTML view (Qt WebEngine, under xvfb-run): the main
// window's HTML save shows the page in a view that stays; its WPS route and the grid window's
// Calc route hand the page to the program found on PATH (recording programs stand in) through
// a view that is gone afterwards; the registration-number items post the service's form.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QPointer>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>

#include <cstdlib>

#include "foundation/global.h"
#include "foundation/message_sink.h"
#include "frontend/frm_main.h"
#include "frontend/main_output_actions.h"
#include "output/frm_grid.h"
#include "output/frm_web_browser.h"
#include "output/xls_string_grid.h"
#include "support_main_window.h"

// Chromium inside Qt WebEngine frees some of its objects with a sized delete of another size;
// that report comes from the engine's library, not from this program.
extern "C" const char* __asan_default_options() { return "new_delete_type_mismatch=0"; }

static const bool kOffscreen = [] {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  return true;
}();

namespace {

void Settle(int ms = 50) {
  QEventLoop loop;
  QTimer::singleShot(ms, &loop, &QEventLoop::quit);
  loop.exec();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// The HTML views that are open (windows of their own).
std::vector<TfrmWebBrowser*> Views() {
  std::vector<TfrmWebBrowser*> out;
  for (QWidget* w : QApplication::topLevelWidgets())
    if (auto* v = qobject_cast<TfrmWebBrowser*>(w)) out.push_back(v);
  return out;
}

// Programs on a PATH of their own that write their arguments, one per line, to <name>.args.
struct TPrograms {
  QTemporaryDir dir;
  QByteArray oldPath = qgetenv("PATH");
  TPrograms() {
    qputenv("PATH", dir.path().toLocal8Bit());
    for (const char* name : {"soffice", "et"}) {
      QFile f(dir.filePath(name));
      f.open(QIODevice::WriteOnly);
      f.write(QString("#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done > '%1/%2.tmp'\n"
                      "/bin/mv '%1/%2.tmp' '%1/%2.args'\n")
                  .arg(dir.path(), name)
                  .toUtf8());
      f.close();
      f.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
  }
  ~TPrograms() { qputenv("PATH", oldPath); }
  QStringList Args(const char* name) {
    QFile f(dir.filePath(QString(name) + ".args"));
    QElapsedTimer t;
    t.start();
    while (!f.exists() && t.elapsed() < 10000) Settle(20);
    if (!f.open(QIODevice::ReadOnly)) return {};
    QStringList lines = QString::fromUtf8(f.readAll()).split('\n', Qt::SkipEmptyParts);
    f.close();
    f.remove();
    return lines;
  }
};

}  // namespace

TEST(WebOutputRoutes, MainWindowAndGridWindowThroughTheHtmlView) {
  TMainWindowFixture fx;
  TPrograms programs;
  auto w = std::make_unique<TfrmMain>();
  TMainOutputActions* out = InstallOutputActions(*w);
  w->show();
  w->gdTekiyo->Fill({"番号", "農薬の名称", "作物名"},
                    {{"12345", "アセタミプリド水溶剤", "トマト"}, {"23456", "<マンゼブ>", "なす"}});
  w->gdTekiyo->show();
  w->CurrentGrid = w->gdTekiyo;
  w->EnableResultActions(true);
  Settle();

  // The HTML save: a view with the page, left open for the user.
  ASSERT_TRUE(w->actHtmlSave->isEnabled());
  w->actHtmlSave->trigger();
  std::vector<TfrmWebBrowser*> views = Views();
  ASSERT_EQ(views.size(), 1u);
  QPointer<TfrmWebBrowser> view = views[0];
  EXPECT_TRUE(view->isVisible());
  EXPECT_TRUE(view->DocumentComplete);
  EXPECT_NE(view->InnerHtml.find("アセタミプリド水溶剤"), std::string::npos);
  EXPECT_NE(view->InnerHtml.find("&lt;マンゼブ&gt;"), std::string::npos);
  view->close();
  Settle();
  EXPECT_FALSE(view);

  // The WPS route: the program gets the page; the view made for it is gone.
  w->actCopyWPS->trigger();
  Settle();
  const QStringList et = programs.Args("et");
  ASSERT_EQ(et.size(), 1);
  EXPECT_TRUE(et[0].endsWith(".html")) << et[0].toStdString();
  EXPECT_TRUE(Views().empty());
  EXPECT_EQ(OptionData->SpreadSheet, 2);
  EXPECT_EQ(w->btnExcel->defaultAction(), w->actCopyWPS);

  // The grid window's Calc route: LibreOffice with its web-page import filter.
  QPointer<TfrmGrid> g = out->actExportGridExecute();
  ASSERT_TRUE(g);
  ASSERT_TRUE(g->actExportCalc->isEnabled());
  g->actExportCalc->trigger();
  Settle();
  const QStringList calc = programs.Args("soffice");
  ASSERT_GE(calc.size(), 2);
  EXPECT_TRUE(calc.contains("--infilter=calc_HTML_WebQuery")) << calc.join(' ').toStdString();
  EXPECT_TRUE(Views().empty());
  EXPECT_EQ(g->btnSpreadSheet->defaultAction(), g->actExportCalc);
  EXPECT_EQ(OptionData->SpreadSheet, 1);

  // The registration-number items post the service's form (to a closed loopback port here).
  qputenv("QUILLMAR_ACIS_BASE", "http://127.0.0.1:9");
  out->mnTekiyouGridPopup(w->gdTekiyo, 0, 2);
  ASSERT_TRUE(out->pmnDokuseiDown->isVisible());
  ASSERT_TRUE(out->pmnDokuseiDown->isEnabled());
  out->pmnDokuseiDown->trigger();
  views = Views();
  ASSERT_EQ(views.size(), 1u);
  EXPECT_TRUE(views[0]->PostUrl.endsWith("/search/vtllg204.do"));
  EXPECT_NE(views[0]->PostData.find("trk_no=23456&"), std::string::npos);
  EXPECT_NE(views[0]->PostData.find("nyk_name=%3C%83%7D%83%93%83%5B%83%75%3E&"), std::string::npos)
      << views[0]->PostData;  // <マンゼブ> in Shift-JIS, percent-encoded
  delete views[0];
  out->mnTekiyouGridPopup(w->gdTekiyo, 1, 1);
  EXPECT_FALSE(out->pmnTourokuTblDown->isVisible());  // only on the number column
  qunsetenv("QUILLMAR_ACIS_BASE");
  delete g.data();
  w.reset();
}
