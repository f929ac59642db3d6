#pragma once
// Shared by the console and template tests: keys pressed as a user presses them (through
// Qt's shortcut map first, then to the widget), and the log pane's lines.
#include <QString>
#include <QStringList>
#include <Qt>

class QWidget;
class TfrmMain;

// A key press and release on Widget as the platform would deliver them: a shortcut that
// takes the key wins, otherwise the widget gets the key.
void PressKey(QWidget* Widget, int Key, Qt::KeyboardModifiers Mods = Qt::NoModifier);
// The lines of the main window's log pane.
QStringList LogLines(const TfrmMain& Main);
