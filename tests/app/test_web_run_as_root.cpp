// The embedded browser starts whoever runs the program: run as root (as the set-up scripts
// allow), Chromium's sandbox would end the whole process at the first page unless the program
// prepares the environment before the web engine starts (with the first page view).
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <link.h>
#include <unistd.h>

#include <QTest>
#include <cstdlib>
#include <memory>

#include "output/page_view.h"
#include "output/web_engine_setup.h"

extern "C" const char* __asan_default_options() { return "new_delete_type_mismatch=0"; }

namespace {

// Graphics drivers the browser loads would be unloaded before the leak check and reported
// without a name: every library loaded now stays until the process ends.
void KeepLibrariesLoaded() {
  dl_iterate_phdr(
      [](dl_phdr_info* info, size_t, void*) {
        if (info->dlpi_name && info->dlpi_name[0] == '/') dlopen(info->dlpi_name, RTLD_LAZY | RTLD_NOLOAD | RTLD_NODELETE);
        return 0;
      },
      nullptr);
}

}  // namespace

TEST(WebEngineStart, APageLoadsAlsoForTheRootUser) {
  // The test runner gives its browser tests the sandbox switches; the program has none of them.
  unsetenv("QTWEBENGINE_DISABLE_SANDBOX");
  unsetenv("QTWEBENGINE_CHROMIUM_FLAGS");
  PrepareWebEngineProcess();
  const char* off = std::getenv("QTWEBENGINE_DISABLE_SANDBOX");
  if (::geteuid() == 0) {
    ASSERT_NE(off, nullptr);
    EXPECT_STREQ(off, "1");
  } else {
    EXPECT_EQ(off, nullptr);  // an ordinary user keeps the sandbox
  }
  {
    std::unique_ptr<TPageView> view(CreatePageView(nullptr));
    bool finished = false, ok = false;
    TPageView::TEvents events;
    events.LoadFinished = [&](const QUrl&, bool success) {
      finished = true;
      ok = success;
    };
    view->SetEvents(events);
    view->SetHtml("<html><body><p>テンプレート選択</p></body></html>", QUrl());
    ASSERT_TRUE(QTest::qWaitFor([&] { return finished; }, 60000));
    EXPECT_TRUE(ok);
    view->SetEvents({});
    KeepLibrariesLoaded();
  }
  // A setting the user made stays as it is.
  setenv("QTWEBENGINE_DISABLE_SANDBOX", "0", 1);
  PrepareWebEngineProcess();
  EXPECT_STREQ(std::getenv("QTWEBENGINE_DISABLE_SANDBOX"), "0");
}
