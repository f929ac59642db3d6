// Without the page view module (a broken installation) the HTML view still opens: it says
// where the page would be that it cannot show pages, nothing waits for a page that never
// comes, the reason is logged, and the page as built can still be saved and exported.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QLabel>
#include <QPointer>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdlib>
#include <string>
#include <vector>

#include "foundation/global.h"
#include "foundation/message_sink.h"
#include "output/frm_web_browser.h"
#include "output/page_view.h"
#include "support_event_pump.h"

TEST(PageViewMissing, TheHtmlViewSaysSoAndStillHandsOverItsPage) {
  QTemporaryDir dir;
  InitGlobals(dir.path().toStdString());
  ::setenv("QUILLMAR_PAGE_VIEW_MODULE", (dir.path() + "/no-such-module.so").toLocal8Bit().constData(), 1);
  std::vector<std::string> lines;
  TLogMessageSink sink([&](const std::string& line) { lines.push_back(line); });
  TScopedMessageSink scoped(&sink);

  QPointer<TfrmWebBrowser> view = new TfrmWebBrowser(nullptr);
  view->Html = "<!DOCTYPE HTML>\r\n<html><head></head><body><p>農薬登録情報検索結果</p></body></html>";
  EXPECT_TRUE(view->Show());
  ASSERT_TRUE(view);
  EXPECT_TRUE(view->DocumentComplete);
  EXPECT_FALSE(PageViewModuleLoaded());
  auto* label = view->WebBrowser->findChild<QLabel*>();
  ASSERT_NE(label, nullptr);
  EXPECT_TRUE(label->text().contains(PageViewModuleName()));
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_NE(lines[0].find("page view module could not be loaded"), std::string::npos) << lines[0];
  EXPECT_NE(lines[0].find("no-such-module.so"), std::string::npos) << lines[0];

  std::string markup;
  ASSERT_TRUE(view->CurrentMarkup(markup));
  EXPECT_EQ(markup, TfrmWebBrowser::PageMarkup(view->Html));
  view->close();
  Pump(50);
  EXPECT_TRUE(view.isNull());
  ::unsetenv("QUILLMAR_PAGE_VIEW_MODULE");
  FinalizeGlobals();
}
