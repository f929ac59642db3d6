// The HTML view started by the super-user, with no sandbox setting in the environment (the
// test runner's own setting is taken away first): the page shows and the program lives on.
#include <gtest/gtest.h>

#include <unistd.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QPointer>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdlib>

#include "foundation/global.h"
#include "output/frm_web_browser.h"
#include "support_event_pump.h"

// Chromium inside the engine frees some objects with a sized delete of another size (a report
// from the engine's library, not this program); the engine draws without the X server's GL.
extern "C" const char* __asan_default_options() { return "new_delete_type_mismatch=0"; }
static const bool kOffscreen = [] {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  return true;
}();

TEST(WebViewAsRoot, ShowsThePageWithoutSandboxSettingsInTheEnvironment) {
  if (::geteuid() != 0) GTEST_SKIP() << "only the super-user meets the engine's refusal";
  ::unsetenv("QTWEBENGINE_DISABLE_SANDBOX");
  ::unsetenv("QTWEBENGINE_CHROMIUM_FLAGS");
  QTemporaryDir dir;
  InitGlobals(dir.path().toStdString());
  QPointer<TfrmWebBrowser> view = new TfrmWebBrowser(nullptr);
  view->Html = "<!DOCTYPE HTML>\r\n<html><head><meta charset=\"UTF-8\"></head><body><p id=\"x\">農薬登録情報検索結果</p></body></html>";
  ASSERT_TRUE(view->Show());
  EXPECT_NE(view->InnerHtml.find("農薬登録情報検索結果"), std::string::npos);
  view->close();
  Pump(50);
  EXPECT_TRUE(view.isNull());
  FinalizeGlobals();
}
