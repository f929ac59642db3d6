#include "foundation/window_command_keys.h"

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QWidget>

TWindowCommandKeys::TWindowCommandKeys(QWidget* Window, const std::vector<QAction*>& Commands)
    : QObject(Window), window_(Window), commands_(Commands.begin(), Commands.end()) {
  qApp->installEventFilter(this);
}

bool TWindowCommandKeys::eventFilter(QObject* Watched, QEvent* Event) {
  // Qt first offers a key that has a shortcut to the focused widget (ShortcutOverride); a widget
  // that accepts the offer gets the key as a plain key press and the shortcut does not run.
  (void)Watched;  // the focused widget or one of its parents; may be a browser's own widget
  if (Event->type() != QEvent::ShortcutOverride) return false;
  // Asked of Qt rather than of the widget: a browser's widget is built without type
  // information, so the sanitizers' type check cannot follow a call on it.
  QWidget* focus = QApplication::focusWidget();
  if (!focus || !window_->isAncestorOf(focus)) return false;
  auto* key = static_cast<QKeyEvent*>(Event);
  const QKeySequence pressed(QKeyCombination(key->modifiers() & ~Qt::KeypadModifier, Qt::Key(key->key())));
  for (const QPointer<QAction>& a : commands_) {
    if (!a || !a->isEnabled() || a->shortcut().isEmpty()) continue;
    if (a->shortcut().matches(pressed) == QKeySequence::ExactMatch) {
      // Declined on the widget's behalf (and its parents'): the window's shortcut takes the key.
      key->ignore();
      return true;
    }
  }
  return false;
}
