// The web engine's process set-up is made once, when the first page view loads the module: a
// later page view leaves the run's logging rules as they are.
#include <gtest/gtest.h>

#include <QLoggingCategory>
#include <QWidget>

#include <memory>

#include "output/page_view.h"
#include "support_event_pump.h"

// As in the other engine tests: the engine's own sized deletes and a GL-less drawing.
extern "C" const char* __asan_default_options() { return "new_delete_type_mismatch=0"; }
static const bool kOffscreen = [] {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  return true;
}();

TEST(PageViewSetUp, ALaterPageViewKeepsTheLoggingRulesOfTheRun) {
  QWidget holder;
  TPageView* first = CreatePageView(&holder);
  ASSERT_NE(first, nullptr);
  ASSERT_TRUE(PageViewModuleLoaded());
  // The engine's own report stays quiet.
  EXPECT_FALSE(QLoggingCategory("qt.webenginecontext").isInfoEnabled());

  // Rules the program sets later for the run are not replaced by the next view.
  QLoggingCategory::setFilterRules(QStringLiteral("qt.webenginecontext.info=false\nquillmar.check.debug=false"));
  QLoggingCategory check("quillmar.check");
  ASSERT_FALSE(check.isDebugEnabled());
  TPageView* second = CreatePageView(&holder);
  ASSERT_NE(second, nullptr);
  EXPECT_FALSE(check.isDebugEnabled());
  Pump(50);
}
