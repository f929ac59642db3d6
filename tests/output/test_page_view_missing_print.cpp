// Without the page view module, a print or preview that cannot be made says why, as the view
// says it where the page would be.
#include <gtest/gtest.h>

#include <QDialog>
#include <QPointer>
#include <QPrintDialog>
#include <QPrinterInfo>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>

#include <cstdlib>
#include <string>
#include <vector>

#include "foundation/global.h"
#include "foundation/message_sink.h"
#include "output/frm_web_browser.h"
#include "output/page_view.h"
#include "support_event_pump.h"

TEST(PageViewMissingPrint, APrintThatCannotBeMadeSaysWhy) {
  QTemporaryDir dir;
  InitGlobals(dir.path().toStdString());
  ::setenv("QUILLMAR_PAGE_VIEW_MODULE", (dir.path() + "/no-such-module.so").toLocal8Bit().constData(), 1);
  TLogMessageSink sink;
  TScopedMessageSink scoped(&sink);

  QPointer<TfrmWebBrowser> view = new TfrmWebBrowser(nullptr);
  view->Html = "<!DOCTYPE HTML>\r\n<html><head></head><body><p>農薬登録情報検索結果</p></body></html>";
  ASSERT_TRUE(view->Show());
  ASSERT_FALSE(PageViewModuleLoaded());
  sink.Clear();

  // 印刷 on the tool bar, the dialog answered with a PDF file as the printer.
  const QString pdf = dir.path() + "/out.pdf";
  TfrmWebBrowser::DialogHook = [&](QDialog& d) {
    if (auto* pd = qobject_cast<QPrintDialog*>(&d)) {
      pd->printer()->setOutputFormat(QPrinter::PdfFormat);
      pd->printer()->setOutputFileName(pdf);
    }
    return int(QDialog::Accepted);
  };
  QTest::mouseClick(view->ToolBar->widgetForAction(view->bPrint), Qt::LeftButton);
  TfrmWebBrowser::DialogHook = nullptr;
  std::vector<TMessage> said = sink.Messages();
  ASSERT_EQ(said.size(), 1u);
  EXPECT_NE(said[0].text.find("印刷できませんでした。"), std::string::npos) << said[0].text;
  EXPECT_NE(said[0].text.find(PageViewMissingText()), std::string::npos) << said[0].text;

  // The preview where no printer is set up (a PDF) says it as well.
  if (QPrinterInfo::availablePrinters().isEmpty()) {
    sink.Clear();
    view->bPreviewClick();
    said = sink.Messages();
    ASSERT_EQ(said.size(), 1u);
    EXPECT_NE(said[0].text.find("プレビューを作成できませんでした。"), std::string::npos) << said[0].text;
    EXPECT_NE(said[0].text.find(PageViewMissingText()), std::string::npos) << said[0].text;
  }
  view->close();
  Pump(50);
  ::unsetenv("QUILLMAR_PAGE_VIEW_MODULE");
  FinalizeGlobals();
}
