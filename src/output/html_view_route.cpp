#include "output/html_view_route.h"

#include <QPointer>

#include "output/frm_web_browser.h"

int RunHtmlViewRoute(QWidget* owner, const TResultPage& page, const QString& caption, int route) {
  QPointer<TfrmWebBrowser> view = new TfrmWebBrowser(owner);
  view->Html = page.Page;
  view->Body = page.Body;
  view->Head = page.Head;
  view->setWindowTitle(caption);
  if (route < 0) {
    // The view stays for the user to save or print.
    return view->Show() ? 1 : 0;
  }
  view->setWindowState(Qt::WindowMinimized);
  int result = 0;
  if (view->Show() && view) {
    switch (route) {
      case 1: result = view->actExportCalcExecute(); break;
      case 2: result = view->actExportWPSExecute(); break;
      case 3: result = view->actExportJustCalcExecute(); break;
      default: result = view->actExportExcelExecute(); break;
    }
  }
  delete view.data();
  return result;
}
