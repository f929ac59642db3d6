#pragma once
// TPageView: the web page view of the HTML view and of the template page.  The view itself
// (Qt WebEngine) lives in a module of its own, loaded into the program when the first page
// view is made: the program starts without the web engine's libraries and its graphics stack,
// and pays for them only when a page is first shown.
//
// The class is an interface only (nothing here is compiled into the program), so that the
// module needs nothing of the program and the program nothing of the module but its one
// entry point.  The view reports to its owner through TEvents; an owner that goes away before
// its view clears them (SetEvents({})).
#include <QByteArray>
#include <QString>
#include <QUrl>
#include <QVariant>
#include <QWidget>

#include <functional>
#include <string>

class QPageLayout;
class QPrinter;

class TPageView : public QWidget {
 public:
  struct TEvents {
    std::function<void()> LoadStarted;
    // A load ended: the address loaded and whether it succeeded.
    std::function<void(const QUrl& url, bool ok)> LoadFinished;
    // The page's process ended other than normally (crashed, killed, out of memory).
    std::function<void(int status, int exitCode)> ProcessGone;
    std::function<void(const QString& url)> LinkHovered;
  };

  explicit TPageView(QWidget* parent) : QWidget(parent) {}

  virtual void SetEvents(TEvents events) = 0;
  virtual void Load(const QUrl& url) = 0;
  // A form sent with POST: the body as it goes over the wire and its content type.
  virtual void Post(const QUrl& url, const QByteArray& contentType, const QByteArray& body) = 0;
  virtual void SetHtml(const QString& html, const QUrl& baseUrl) = 0;
  virtual void Stop() = 0;
  // Runs a script in the page; its result arrives later (an empty variant when there is none).
  virtual void RunScript(const QString& script, std::function<void(const QVariant&)> result) = 0;
  virtual void ToPlainText(std::function<void(const QString&)> result) = 0;
  virtual void ToHtml(std::function<void(const QString&)> result) = 0;
  virtual void SetZoom(double factor) = 0;
  virtual double Zoom() const = 0;
  virtual void Copy() = 0;
  virtual void SelectAll() = 0;
  // Prints the page as a PDF file, or on a printer; `done` tells whether it worked.
  virtual void PrintToPdf(const QString& path, const QPageLayout& layout, std::function<void(bool)> done) = 0;
  virtual void Print(QPrinter* printer, std::function<void(bool)> done) = 0;
  // The process id of the page's process (0 when there is none).
  virtual qint64 ProcessId() const = 0;
};

// Where the view draws.  The engine draws through the graphics stack: a view put into a window
// that is on the screen already (Shared) makes Qt remake that window's native window with a
// graphics surface, which flickers and may lose the window's place under a window manager.
// Own gives the view a native window of its own, embedded where the view stands, and leaves
// the window around it as it is.  A view made before its window is first shown shares it.
enum class TPageViewWindow { Shared, Own };

// Makes a page view, loading the web engine's module on first use.  When the module cannot be
// loaded, the view says so where the page would be and every page it is given fails to load
// (the reason is logged once).
TPageView* CreatePageView(QWidget* parent, TPageViewWindow window = TPageViewWindow::Shared);

// True once the web engine's module is part of the process.
bool PageViewModuleLoaded();

// The module's file name.  It is looked for in the program's folder, in "bin" beside it (the
// build tree's test and benchmark programs) and in "../lib/quillmar", in this order; the
// environment variable QUILLMAR_PAGE_VIEW_MODULE, when set, names the file instead.
QString PageViewModuleName();

// What a view without its module says where the page would be (and what a print or preview
// that could not be made for that reason says with it).
std::string PageViewMissingText();
