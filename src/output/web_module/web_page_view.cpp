// The page view in Qt WebEngine, built as a module of its own: the program loads it when it
// first shows a page (see output/page_view.h).  It uses Qt only.
#include <QApplication>
#include <QFocusEvent>
#include <QPageLayout>
#include <QPointer>
#include <QPrinter>
#include <QQuickWidget>
#include <QVBoxLayout>
#include <QWebEngineHttpRequest>
#include <QWebEngineLoadingInfo>
#include <QWebEnginePage>
#include <QWebEngineView>
#include <QWindow>
#include <QtWebEngineQuick/qtwebenginequickglobal.h>

#include <memory>

#include "output/page_view.h"

namespace {

class TWebEnginePageView : public TPageView {
 public:
  TWebEnginePageView(QWidget* parent, bool ownWindow) : TPageView(parent) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    if (ownWindow) {
      // The engine's view draws through the graphics stack: placed straight into a window
      // that is on the screen already, it would make Qt remake that window's native window
      // with a graphics surface.  It lives instead in a window of its own (a child of ours,
      // so that it goes with us), whose native window is embedded here as a child window:
      // the window around it keeps its native window as it is.
      host_ = new QWidget(this, Qt::Window | Qt::FramelessWindowHint);
      host_->setObjectName("PageWindow");
      auto* hostLayout = new QVBoxLayout(host_);
      hostLayout->setContentsMargins(0, 0, 0, 0);
      view_ = new QWebEngineView(host_);
      hostLayout->addWidget(view_);
      // The engine adds its drawing widget when it first shows a page; the window is made
      // for it from the start (a hidden widget of the same kind), or it would be remade then,
      // and lost to its container.
      (new QQuickWidget(host_))->hide();
      host_->winId();
      container_ = QWidget::createWindowContainer(host_->windowHandle(), this);
      container_->setObjectName("PageWindowContainer");
      container_->setFocusPolicy(Qt::StrongFocus);
      layout->addWidget(container_);
      FollowFocus();
    } else {
      view_ = new QWebEngineView(this);
      layout->addWidget(view_);
    }
    view_->setObjectName("WebEngineView");
    setFocusProxy(container_ ? container_ : static_cast<QWidget*>(view_));
    QWebEnginePage* page = view_->page();
    QObject::connect(page, &QWebEnginePage::loadingChanged, this, [this](const QWebEngineLoadingInfo& info) {
      if (info.status() == QWebEngineLoadingInfo::LoadStartedStatus) {
        if (events_.LoadStarted) events_.LoadStarted();
      } else if (events_.LoadFinished) {
        events_.LoadFinished(info.url(), info.status() == QWebEngineLoadingInfo::LoadSucceededStatus);
      }
    });
    QObject::connect(page, &QWebEnginePage::renderProcessTerminated, this,
                     [this](QWebEnginePage::RenderProcessTerminationStatus status, int code) {
                       if (status != QWebEnginePage::NormalTerminationStatus && events_.ProcessGone)
                         events_.ProcessGone(int(status), code);
                     });
    QObject::connect(page, &QWebEnginePage::linkHovered, this, [this](const QString& url) {
      if (events_.LinkHovered) events_.LinkHovered(url);
    });
  }

  ~TWebEnginePageView() override {
    // Our window goes before its container, which would otherwise delete the native window
    // the window still holds.
    delete host_;
  }

  // In a window of its own, the view takes part in the main window's focus through its
  // container: the container is what the main window focuses (a click in the page focuses it),
  // and it hands the view its focus and its keys.  The main window keeps the keyboard, so its
  // command keys work from the page as from any of its widgets; a key the page claims for
  // itself (its shortcut-override answer) stays the page's.  Should the desktop give the page's
  // native window the keyboard itself, the keys go straight to the view.
  void FollowFocus() {
    container_->setAttribute(Qt::WA_InputMethodEnabled, true);
    container_->installEventFilter(this);
    host_->windowHandle()->installEventFilter(this);
    QObject::connect(qApp, &QGuiApplication::focusWindowChanged, this, [this] { UpdateViewFocus(); });
  }

  QWidget* Inner() const { return view_->focusProxy() ? view_->focusProxy() : view_; }

  void UpdateViewFocus() {
    if (!host_) return;
    const bool focused = container_->hasFocus() || QGuiApplication::focusWindow() == host_->windowHandle();
    if (focused == viewFocused_) return;
    viewFocused_ = focused;
    if (focused) view_->setFocus(Qt::OtherFocusReason);
    QFocusEvent change(focused ? QEvent::FocusIn : QEvent::FocusOut, Qt::ActiveWindowFocusReason);
    QCoreApplication::sendEvent(Inner(), &change);
  }

  bool eventFilter(QObject* watched, QEvent* event) override {
    if (host_ && watched == host_->windowHandle()) {
      if (event->type() == QEvent::MouseButtonPress && !container_->hasFocus())
        container_->setFocus(Qt::MouseFocusReason);
    } else if (host_ && watched == container_) {
      switch (event->type()) {
        case QEvent::FocusIn:
        case QEvent::FocusOut:
          UpdateViewFocus();
          break;
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::ShortcutOverride:
        case QEvent::InputMethod:
        case QEvent::InputMethodQuery:
          QCoreApplication::sendEvent(Inner(), event);
          return true;
        default:
          break;
      }
    }
    return TPageView::eventFilter(watched, event);
  }

  void SetEvents(TEvents events) override { events_ = std::move(events); }
  void Load(const QUrl& url) override { view_->load(url); }
  void Post(const QUrl& url, const QByteArray& contentType, const QByteArray& body) override {
    QWebEngineHttpRequest req(url, QWebEngineHttpRequest::Post);
    req.setHeader("Content-Type", contentType);
    req.setPostData(body);
    view_->load(req);
  }
  void SetHtml(const QString& html, const QUrl& baseUrl) override { view_->setHtml(html, baseUrl); }
  void Stop() override { view_->stop(); }
  void RunScript(const QString& script, std::function<void(const QVariant&)> result) override {
    view_->page()->runJavaScript(script, [result](const QVariant& v) {
      if (result) result(v);
    });
  }
  void ToPlainText(std::function<void(const QString&)> result) override {
    view_->page()->toPlainText([result](const QString& s) {
      if (result) result(s);
    });
  }
  void ToHtml(std::function<void(const QString&)> result) override {
    view_->page()->toHtml([result](const QString& s) {
      if (result) result(s);
    });
  }
  void SetZoom(double factor) override { view_->setZoomFactor(factor); }
  double Zoom() const override { return view_->zoomFactor(); }
  void Copy() override { view_->triggerPageAction(QWebEnginePage::Copy); }
  void SelectAll() override { view_->triggerPageAction(QWebEnginePage::SelectAll); }

  void PrintToPdf(const QString& path, const QPageLayout& layout, std::function<void(bool)> done) override {
    auto connection = std::make_shared<QMetaObject::Connection>();
    *connection = QObject::connect(view_->page(), &QWebEnginePage::pdfPrintingFinished, this,
                                   [connection, path, done](const QString& file, bool ok) {
                                     if (file != path) return;
                                     QObject::disconnect(*connection);
                                     if (done) done(ok);
                                   });
    view_->page()->printToPdf(path, layout);
  }

  void Print(QPrinter* printer, std::function<void(bool)> done) override {
    auto connection = std::make_shared<QMetaObject::Connection>();
    *connection = QObject::connect(view_, &QWebEngineView::printFinished, this, [connection, done](bool ok) {
      QObject::disconnect(*connection);
      if (done) done(ok);
    });
    view_->print(printer);
  }

  qint64 ProcessId() const override { return view_->page()->renderProcessPid(); }

 private:
  QPointer<QWidget> host_;
  QWidget* container_ = nullptr;
  bool viewFocused_ = false;
  QWebEngineView* view_ = nullptr;
  TEvents events_;
};

}  // namespace

// The module's entry point.  The first call sets up the context sharing of the engine's
// graphics (normally done before the application object exists, which links the engine into
// every start of the program).
extern "C" Q_DECL_EXPORT TPageView* QmCreateWebPageView(QWidget* parent, bool ownWindow) {
  static const bool initialized = [] {
    QtWebEngineQuick::initialize();
    return true;
  }();
  (void)initialized;
  return new TWebEnginePageView(parent, ownWindow);
}
