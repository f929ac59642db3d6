#include "output/page_view.h"

#include <QLabel>
#include <QLibrary>
#include <QLoggingCategory>
#include <QPointer>
#include <QTimer>
#include <QVBoxLayout>

#include <string>
#include <vector>

#include "foundation/message_sink.h"
#include "foundation/program_paths.h"
#include "output/web_engine_setup.h"

namespace {

using TFactory = TPageView* (*)(QWidget*, bool);

// What the web engine says when it is brought in after the application object: that it is
// being loaded late and without graphics sharing set before the start, which is what we mean
// to do (the module sets up the sharing itself before its first view).  Those three lines are
// dropped for the rest of the run; everything else goes on to the handler before.
QtMessageHandler previousHandler = nullptr;
void QuietLateStart(QtMsgType type, const QMessageLogContext& context, const QString& text) {
  if (text.startsWith("Qt WebEngine seems to be initialized from a plugin") ||
      text.startsWith("QtWebEngineQuick::initialize() called with QCoreApplication object already created") ||
      text.startsWith("Attribute Qt::AA_ShareOpenGLContexts must be set before QCoreApplication is created"))
    return;
  if (previousHandler) previousHandler(type, context, text);
}

void InstallQuietLateStart() {
  previousHandler = qInstallMessageHandler(QuietLateStart);
}

bool g_loaded = false;

TFactory LoadFactory() {
  // Before the engine reads its settings (the sandbox of a super-user's run).
  PrepareWebEngineProcess();
  const QString dir = QString::fromStdString(ExecutableDir());
  QStringList candidates = {dir + PageViewModuleName(), dir + "../bin/" + PageViewModuleName(),
                            dir + "../lib/quillmar/" + PageViewModuleName()};
  const QString named = qEnvironmentVariable("QUILLMAR_PAGE_VIEW_MODULE");
  if (!named.isEmpty()) candidates = {named};
  QStringList errors;
  // Once for the run, before the module loads (its first view sets up the graphics sharing,
  // which may say it comes late).  The engine's report of its graphics set-up is for its own
  // developers, not for a user's terminal.
  InstallQuietLateStart();
  QLoggingCategory::setFilterRules(QStringLiteral("qt.webenginecontext.info=false"));
  for (const QString& path : candidates) {
    QLibrary lib(path);
    if (!lib.load()) {
      errors << lib.errorString();
      continue;
    }
    // The module stays for the rest of the run (the QLibrary object going does not unload it).
    if (auto f = reinterpret_cast<TFactory>(lib.resolve("QmCreateWebPageView"))) {
      g_loaded = true;
      return f;
    }
    errors << lib.errorString();
  }
  MessageSink().Log("Quillmar: the page view module could not be loaded: " + errors.join("; ").toStdString());
  return nullptr;
}

// In place of the page view when the module is missing: says so, and every page fails.
class TMissingPageView : public TPageView {
 public:
  explicit TMissingPageView(QWidget* parent) : TPageView(parent) {
    auto* layout = new QVBoxLayout(this);
    auto* label = new QLabel(QString::fromStdString(PageViewMissingText()), this);
    label->setAlignment(Qt::AlignCenter);
    label->setWordWrap(true);
    layout->addWidget(label);
  }
  void SetEvents(TEvents events) override { events_ = std::move(events); }
  void Load(const QUrl& url) override { Fail(url); }
  void Post(const QUrl& url, const QByteArray&, const QByteArray&) override { Fail(url); }
  void SetHtml(const QString&, const QUrl& baseUrl) override { Fail(baseUrl); }
  void Stop() override {}
  void RunScript(const QString&, std::function<void(const QVariant&)> result) override {
    Later([result] { result(QVariant()); });
  }
  void ToPlainText(std::function<void(const QString&)> result) override { Later([result] { result(QString()); }); }
  void ToHtml(std::function<void(const QString&)> result) override { Later([result] { result(QString()); }); }
  void SetZoom(double factor) override { zoom_ = factor; }
  double Zoom() const override { return zoom_; }
  void Copy() override {}
  void SelectAll() override {}
  void PrintToPdf(const QString&, const QPageLayout&, std::function<void(bool)> done) override {
    Later([done] { done(false); });
  }
  void Print(QPrinter*, std::function<void(bool)> done) override { Later([done] { done(false); }); }
  qint64 ProcessId() const override { return 0; }

 private:
  // The answers come from the event loop, as the engine's would.
  void Later(std::function<void()> f) {
    if (f) QTimer::singleShot(0, this, std::move(f));
  }
  void Fail(const QUrl& url) {
    Later([this] {
      if (events_.LoadStarted) events_.LoadStarted();
    });
    Later([this, url] {
      if (events_.LoadFinished) events_.LoadFinished(url, false);
    });
  }
  TEvents events_;
  double zoom_ = 1.0;
};

}  // namespace

QString PageViewModuleName() { return "libquillmar_web_pages.so"; }

std::string PageViewMissingText() {
  return "ページを表示する部品 (" + PageViewModuleName().toStdString() + ") を読み込めませんでした。";
}

bool PageViewModuleLoaded() { return g_loaded; }

TPageView* CreatePageView(QWidget* parent, TPageViewWindow window) {
  static const TFactory factory = LoadFactory();
  if (!factory) return new TMissingPageView(parent);
  return factory(parent, window == TPageViewWindow::Own);
}
