#pragma once
// A command of a window as an action of its own: named, so that the window's code and its
// tests find it, and with a key that works wherever the focus is inside the window.
#include <QAction>
#include <QKeySequence>
#include <QWidget>

// Names `action`, gives it `key` for the whole window (none when empty) and adds it to
// `window`; returns the action.
template <typename A>
A* AddWindowAction(QWidget* window, A* action, const char* name, const QKeySequence& key = {}) {
  action->setObjectName(QString::fromLatin1(name));
  if (!key.isEmpty()) {
    action->setShortcut(key);
    action->setShortcutContext(Qt::WindowShortcut);
  }
  window->addAction(action);
  return action;
}
