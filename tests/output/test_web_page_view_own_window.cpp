// A page view made with a native window of its own inside a window already on the screen (as
// the template page makes its view): the window keeps its native window, and the view does all
// a page view does - pages from files and from text, going from page to page, its HTML and
// scripts, zoom, PDF and printer output - and goes away cleanly with its window.
#include <gtest/gtest.h>

#include <QFile>
#include <QPageLayout>
#include <QPageSize>
#include <QPointer>
#include <QPrinter>
#include <QTemporaryDir>
#include <QTest>
#include <QVBoxLayout>
#include <QWidget>
#include <QWindow>

#include <functional>

#include "output/page_view.h"
#include "support_event_pump.h"

// As in the other engine tests: the engine's own sized deletes.
extern "C" const char* __asan_default_options() { return "new_delete_type_mismatch=0"; }

namespace {

void WriteFile(const QString& name, const QByteArray& bytes) {
  QFile f(name);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write(bytes);
}

QByteArray Head(const QString& name, int n) {
  QFile f(name);
  return f.open(QIODevice::ReadOnly) ? f.read(n) : QByteArray();
}

// Waits for an answer the view gives later (false after 30 s).
template <typename T>
bool Answer(const std::function<void(std::function<void(const T&)>)>& ask, T* out) {
  bool done = false;
  ask([&](const T& v) {
    *out = v;
    done = true;
  });
  return QTest::qWaitFor([&] { return done; }, 30000);
}

}  // namespace

TEST(PageViewOwnWindow, KeepsTheWindowAndDoesWhatAPageViewDoes) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QString first = dir.filePath("first.html"), second = dir.filePath("second.html");
  WriteFile(first, "<html><body><h1 id='t'>first page</h1><a id='next' href='second.html'>next</a></body></html>");
  WriteFile(second, "<html><body><h1 id='t'>second page</h1></body></html>");

  QWidget window;
  auto* layout = new QVBoxLayout(&window);
  window.resize(640, 480);
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  const WId id = window.winId();
  QPointer<QWindow> handle = window.windowHandle();

  QPointer<TPageView> view = CreatePageView(&window, TPageViewWindow::Own);
  ASSERT_TRUE(view);
  ASSERT_TRUE(PageViewModuleLoaded());
  layout->addWidget(view);
  std::vector<std::pair<QUrl, bool>> loads;
  view->SetEvents({nullptr, [&](const QUrl& url, bool ok) { loads.emplace_back(url, ok); }, nullptr, nullptr});

  // From a file, then by a link of the page: both loads end well, the second page shows.
  view->Load(QUrl::fromLocalFile(first));
  ASSERT_TRUE(QTest::qWaitFor([&] { return !loads.empty(); }, 30000));
  EXPECT_EQ(loads.back(), std::make_pair(QUrl::fromLocalFile(first), true));
  QVariant v;
  ASSERT_TRUE(Answer<QVariant>([&](auto f) { view->RunScript("document.getElementById('next').click(); 1", f); }, &v));
  ASSERT_TRUE(QTest::qWaitFor([&] { return loads.size() == 2; }, 30000));
  EXPECT_EQ(loads.back(), std::make_pair(QUrl::fromLocalFile(second), true));
  QString text;
  ASSERT_TRUE(Answer<QString>([&](auto f) { view->ToPlainText(f); }, &text));
  EXPECT_EQ(text.trimmed(), "second page");

  // From text: its HTML as the page has it, and a script's answer.
  view->SetHtml("<html><body><p id='p'>written &amp; read</p></body></html>", QUrl::fromLocalFile(first));
  ASSERT_TRUE(QTest::qWaitFor([&] { return loads.size() == 3; }, 30000));
  QString html;
  ASSERT_TRUE(Answer<QString>([&](auto f) { view->ToHtml(f); }, &html));
  EXPECT_TRUE(html.contains("<p id=\"p\">written &amp; read</p>")) << html.toStdString();
  ASSERT_TRUE(Answer<QVariant>([&](auto f) { view->RunScript("document.getElementById('p').textContent", f); }, &v));
  EXPECT_EQ(v.toString(), "written & read");
  view->SetZoom(1.5);
  EXPECT_DOUBLE_EQ(view->Zoom(), 1.5);
  EXPECT_GT(view->ProcessId(), 0);

  // A PDF file, and a printer's output.
  const QString pdf = dir.filePath("page.pdf");
  bool ok = false;
  ASSERT_TRUE(Answer<bool>(
      [&](auto f) { view->PrintToPdf(pdf, QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, {}), f); },
      &ok));
  EXPECT_TRUE(ok);
  EXPECT_EQ(Head(pdf, 5), "%PDF-");
  QPrinter printer(QPrinter::HighResolution);
  printer.setOutputFormat(QPrinter::PdfFormat);
  const QString printed = dir.filePath("printed.pdf");
  printer.setOutputFileName(printed);
  ok = false;
  ASSERT_TRUE(Answer<bool>([&](auto f) { view->Print(&printer, f); }, &ok));
  EXPECT_TRUE(ok);
  EXPECT_EQ(Head(printed, 5), "%PDF-");

  // All the while the window kept its native window; the view's own goes with the view.
  EXPECT_EQ(window.winId(), id);
  EXPECT_EQ(window.windowHandle(), handle.data());
  EXPECT_EQ(window.windowHandle()->surfaceType(), QSurface::RasterSurface);
  const int windows = window.windowHandle()->findChildren<QWindow*>().size();
  EXPECT_GT(windows, 0);
  delete view;
  Pump(50);
  EXPECT_FALSE(view);
  EXPECT_LT(window.windowHandle()->findChildren<QWindow*>().size(), windows);
  EXPECT_EQ(window.winId(), id);
}
