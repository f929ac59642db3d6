// The web engine comes into the program with its first page: the main window starts on its
// database without it (no page view made, the engine's libraries not even loaded), and the
// template page and the HTML view then bring it in and show their pages.
#include <gtest/gtest.h>

#include <link.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QPointer>
#include <QTest>
#include <cstring>
#include <memory>
#include <optional>

#include "database/acis_db.h"
#include "foundation/global.h"
#include "frontend/console/frm_template.h"
#include "frontend/frm_main.h"
#include "frontend/main_pages.h"
#include "output/frm_web_browser.h"
#include "output/page_view.h"
#include "output/xls_string_grid.h"
#include "support_main_window.h"

// Chromium inside Qt WebEngine frees some of its objects with a sized delete of another size;
// that report comes from the engine's library, not from this program.
extern "C" const char* __asan_default_options() { return "new_delete_type_mismatch=0"; }

namespace {

// True when the web engine's library is part of the process.
bool WebEngineLoaded() {
  bool found = false;
  dl_iterate_phdr(
      [](dl_phdr_info* info, size_t, void* data) {
        if (info->dlpi_name && std::strstr(info->dlpi_name, "libQt6WebEngineCore")) *static_cast<bool*>(data) = true;
        return 0;
      },
      &found);
  return found;
}

int WebEngineViews(const QWidget& window) {
  int n = 0;
  for (QWidget* w : window.findChildren<QWidget*>())
    if (w->inherits("QWebEngineView")) ++n;
  return n;
}

// Waits until the page's text holds Needle (false after 30 s).
bool WaitForText(TPageView* view, const QString& needle) {
  QElapsedTimer t;
  t.start();
  while (t.elapsed() < 30000) {
    // The answer may come after the wait gave up: it goes to state that outlives the wait.
    auto text = std::make_shared<std::optional<QString>>();
    view->ToPlainText([text](const QString& s) { *text = s; });
    if (QTest::qWaitFor([&] { return text->has_value(); }, 10000) && (*text)->contains(needle)) return true;
    Pump(100);
  }
  return false;
}

}  // namespace

TEST(PageViewsOnDemand, TheMainWindowStartsWithoutTheWebEngineAndBringsItInWithTheFirstPage) {
  TMainWindowFixture fx;
  ASSERT_TRUE(fx.BuildSampleDb());
  auto w = std::make_unique<TfrmMain>();
  InstallSearchPages(*w);
  w->resize(1000, 760);
  w->show();
  ASSERT_TRUE(QTest::qWaitFor([&] { return w->StartUpRuns() > 0 && !w->IsStartUp; }, 30000));
  Pump();
  ASSERT_TRUE(AcisDB);

  // Started, on the database, every tab but the template page visited: no page view.
  for (int i = 0; i < w->pgSearch->count(); ++i) {
    if (w->pgSearch->widget(i) == w->tshTemplate) continue;
    w->pgSearch->setCurrentIndex(i);
    Pump();
  }
  EXPECT_EQ(WebEngineViews(*w), 0);
  EXPECT_FALSE(PageViewModuleLoaded());
  EXPECT_FALSE(WebEngineLoaded());

  // The template page: its view, and with it the engine, comes when the page is first shown.
  w->pgSearch->setCurrentWidget(w->tshTemplate);
  Pump();
  auto* page = w->findChild<TfrmTemplate*>("frmTemplate");
  ASSERT_NE(page, nullptr);
  ASSERT_NE(page->Browser(), nullptr);
  EXPECT_EQ(page->Browser()->objectName(), "wbTemplate");
  EXPECT_TRUE(PageViewModuleLoaded());
  EXPECT_TRUE(WebEngineLoaded());
  EXPECT_EQ(WebEngineViews(*w), 1);
  EXPECT_TRUE(WaitForText(page->Browser(), "をクリックして、実行したい処理を選択してください。"));

  // The HTML view of a result shows its page as well.
  w->pgSearch->setCurrentWidget(w->tabDefault);
  Pump();
  w->gdTekiyo->Fill({"番号", "農薬の名称"}, {{"12345", "アセタミプリド水溶剤"}});
  w->gdTekiyo->show();
  w->CurrentGrid = w->gdTekiyo;
  w->EnableResultActions(true);
  ASSERT_TRUE(w->actHtmlSave->isEnabled());
  w->actHtmlSave->trigger();
  QPointer<TfrmWebBrowser> view;
  for (QWidget* top : QApplication::topLevelWidgets())
    if (auto* v = qobject_cast<TfrmWebBrowser*>(top)) view = v;
  ASSERT_TRUE(view);
  EXPECT_TRUE(view->DocumentComplete);
  EXPECT_NE(view->InnerHtml.find("アセタミプリド水溶剤"), std::string::npos);
  EXPECT_EQ(WebEngineViews(*view), 1);
  view->close();
  Pump();
  EXPECT_FALSE(view);
  w->close();
  w.reset();
  AcisDB.reset();
}
