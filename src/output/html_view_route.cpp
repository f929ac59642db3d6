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
  view->ExportOnly = true;
  view->setWindowState(Qt::WindowMinimized);
  int result = 0;
  // A page without a script is handed over as built: loading it would only cost time (a
  // minute and more for a large result, which may even be too large for the engine). A page
  // with one is loaded, so that what its script makes of the document is exported; JustCalc
  // opens the shown page's own file.
  const bool load = route == 3 || !view->MarkupIsPage();
  if (!load || (view->Show() && view)) {
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
