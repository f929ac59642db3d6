#pragma once
// Context menus as a user meets them: a right click delivered as the window system delivers it,
// and a probe that notes the next menu to open (which one, where) and closes it with Escape, so
// that a modal menu does not hold the test.
#include <QApplication>
#include <QContextMenuEvent>
#include <QMenu>
#include <QPointer>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>

// The press, the context-menu event at the same point (a modal menu runs inside it), the
// release: on X11 the press brings the menu.  `at` is in the coordinates of `w`, the widget
// under the pointer (a grid's viewport, its titles' viewport...).
inline void RightClick(QWidget* w, const QPoint& at) {
  QTest::mousePress(w, Qt::RightButton, Qt::NoModifier, at);
  QContextMenuEvent ev(QContextMenuEvent::Mouse, at, w->mapToGlobal(at));
  QCoreApplication::sendEvent(w, &ev);
  QTest::mouseRelease(w, Qt::RightButton, Qt::NoModifier, at);
}

struct TMenuSeen {
  QPointer<QMenu> Menu;  // nullptr: no menu opened
  QPoint Pos;            // its top-left corner on the screen
  QRect Geometry;        // where it stood on the screen
  bool Closed = false;
};

// Runs `open`; the menu it opens (modal or not) is noted, `whileOpen` runs with it, and it is
// closed with Escape.  Waits up to `waitMs` for a menu.
inline TMenuSeen OpenMenu(const std::function<void()>& open,
                          const std::function<void(QMenu*)>& whileOpen = nullptr, int waitMs = 2000) {
  auto seen = std::make_shared<TMenuSeen>();
  auto tries = std::make_shared<int>(waitMs / 10);
  auto look = std::make_shared<std::function<void()>>();
  *look = [seen, tries, look, whileOpen] {
    if (*tries <= 0 || seen->Menu) return;
    auto* m = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    if (!m) {
      if (--*tries > 0) QTimer::singleShot(10, *look);
      return;
    }
    seen->Menu = m;
    seen->Pos = m->pos();
    seen->Geometry = m->geometry();
    if (whileOpen) whileOpen(m);
    if (m->isVisible()) QTest::keyClick(m, Qt::Key_Escape);
    seen->Closed = !m->isVisible();
  };
  QTimer::singleShot(0, *look);
  open();
  // A menu that never opens is the caller's to judge, by the Menu it gets back.
  (void)QTest::qWaitFor([&] { return seen->Menu || *tries <= 0; }, waitMs + 500);
  *tries = 0;  // a look still queued ends at once
  TMenuSeen out = *seen;
  *look = nullptr;  // the look no longer holds itself
  // A desktop gives the activation back to the window when its menu closes; the offscreen
  // platform of the tests leaves it with the closed menu (and the window's keys with nobody).
  QWidget* owner = out.Menu && out.Menu->parentWidget() ? out.Menu->parentWidget()->window() : nullptr;
  if (owner && QApplication::activeWindow() != owner) {
    QApplication::setActiveWindow(owner);
  }
  return out;
}
