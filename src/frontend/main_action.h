#pragma once
// Actions of the main window that something must carry out.
//
// The window builds all its actions at once, but their work arrives from many places (the
// exports, the look-ups, the searches, the dialogs), each connecting to the action when it is
// installed.  A TMainAction with nothing connected to carry it out is kept disabled, whatever
// the window's enabling rules say: its menu items, tool buttons and shortcut do nothing the user
// could mistake for work.  Once a handler is connected to triggered (or toggled), the action
// takes the state the rules asked for last, at once; when the last handler goes, it is kept
// disabled again.  The menus, tool buttons and action groups that show an action do not count
// as handlers.
#include <QAction>

class QActionGroup;

class TMainAction : public QAction {
  Q_OBJECT

 public:
  TMainAction(const QString& Text, QObject* Parent);

 protected:
  void connectNotify(const QMetaMethod& Signal) override;
  void disconnectNotify(const QMetaMethod& Signal) override;

 private:
  // Keeps the action disabled exactly while it has no handler.
  void Update();
  void ScheduleUpdate();
  QActionGroup* FGate = nullptr;  // a disabled group of its own while there is no handler
  bool FUpdating = false;
  bool FScheduled = false;
};

// True when something carries out Action: a connection to its triggered or toggled signal
// besides those of the menus, menu bars, tool buttons and the action group showing it.
bool ActionHasHandler(const QAction* Action);
