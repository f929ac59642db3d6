#include "support_console.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QWidget>

#include "frontend/frm_main.h"

// Qt's own entry into the shortcut map for a key that did not come from the platform.
Q_GUI_EXPORT bool qt_sendShortcutOverrideEvent(QObject* o, ulong timestamp, int k, Qt::KeyboardModifiers mods,
                                               const QString& text = QString(), bool autorep = false,
                                               ushort count = 1);

void PressKey(QWidget* Widget, int Key, Qt::KeyboardModifiers Mods) {
  if (qt_sendShortcutOverrideEvent(Widget, 0, Key, Mods)) return;
  QKeyEvent press(QEvent::KeyPress, Key, Mods);
  QCoreApplication::sendEvent(Widget, &press);
  QKeyEvent release(QEvent::KeyRelease, Key, Mods);
  QCoreApplication::sendEvent(Widget, &release);
}

QStringList LogLines(const TfrmMain& Main) { return Main.mLog->toPlainText().split('\n'); }
