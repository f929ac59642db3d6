// The embedded browser starts whoever runs the program: run as root (as the set-up scripts
// allow), Chromium's sandbox would end the whole process at the first page unless the program
// prepares the environment before its application object.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <link.h>
#include <unistd.h>

#include <QSignalSpy>
#include <QWebEngineView>
#include <cstdlib>

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
    QWebEngineView view;
    QSignalSpy loaded(&view, &QWebEngineView::loadFinished);
    view.setHtml("<html><body><p>テンプレート選択</p></body></html>");
    ASSERT_TRUE(loaded.wait(60000));
    EXPECT_TRUE(loaded.at(0).at(0).toBool());
    KeepLibrariesLoaded();
  }
  // A setting the user made stays as it is.
  setenv("QTWEBENGINE_DISABLE_SANDBOX", "0", 1);
  PrepareWebEngineProcess();
  EXPECT_STREQ(std::getenv("QTWEBENGINE_DISABLE_SANDBOX"), "0");
}
