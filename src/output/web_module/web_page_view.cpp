// The page view in Qt WebEngine, built as a module of its own: the program loads it when it
// first shows a page (see output/page_view.h).  It uses Qt only.
#include <QPageLayout>
#include <QPrinter>
#include <QVBoxLayout>
#include <QWebEngineHttpRequest>
#include <QWebEngineLoadingInfo>
#include <QWebEnginePage>
#include <QWebEngineView>
#include <QtWebEngineQuick/qtwebenginequickglobal.h>

#include <memory>

#include "output/page_view.h"

namespace {

class TWebEnginePageView : public TPageView {
 public:
  explicit TWebEnginePageView(QWidget* parent) : TPageView(parent), view_(new QWebEngineView(this)) {
    view_->setObjectName("WebEngineView");
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(view_);
    setFocusProxy(view_);
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
  QWebEngineView* view_;
  TEvents events_;
};

}  // namespace

// The module's entry point.  The first call sets up the context sharing of the engine's
// graphics (normally done before the application object exists, which links the engine into
// every start of the program).
extern "C" Q_DECL_EXPORT TPageView* QmCreateWebPageView(QWidget* parent) {
  static const bool initialized = [] {
    QtWebEngineQuick::initialize();
    return true;
  }();
  (void)initialized;
  return new TWebEnginePageView(parent);
}
