#include "frontend/main_action.h"

#include <QActionGroup>
#include <QMenu>
#include <QMenuBar>
#include <QMetaMethod>
#include <QToolButton>

namespace {

// QObject::receivers is protected; this names it for any object.
struct TReceivers : QObject {
  using QObject::receivers;
};

int Receivers(const QAction* Action, const char* Signal) { return (Action->*(&TReceivers::receivers))(Signal); }

bool IsHandlerSignal(const QMetaMethod& Signal) {
  return Signal == QMetaMethod::fromSignal(&QAction::triggered) || Signal == QMetaMethod::fromSignal(&QAction::toggled);
}

}  // namespace

bool ActionHasHandler(const QAction* Action) {
  if (!Action) return false;
  int connections = Receivers(Action, SIGNAL(triggered(bool))) + Receivers(Action, SIGNAL(toggled(bool)));
  // Menus, menu bars and tool buttons connect to triggered to close or report; a group to
  // keep its exclusive check.  None of them carries the action out.
  for (const QObject* o : Action->associatedObjects())
    if (qobject_cast<const QMenu*>(o) || qobject_cast<const QMenuBar*>(o) || qobject_cast<const QToolButton*>(o))
      --connections;
  if (Action->actionGroup()) --connections;
  return connections > 0;
}

TMainAction::TMainAction(const QString& Text, QObject* Parent) : QAction(Text, Parent) { Update(); }

void TMainAction::connectNotify(const QMetaMethod& Signal) {
  QAction::connectNotify(Signal);
  if (!IsHandlerSignal(Signal)) return;
  Update();
  // Widgets and groups connect before they count as showing the action: look again once the
  // change has settled.
  ScheduleUpdate();
}

void TMainAction::disconnectNotify(const QMetaMethod& Signal) {
  QAction::disconnectNotify(Signal);
  // Also called while a receiver is being destroyed: look once the destruction is over.
  if (!Signal.isValid() || IsHandlerSignal(Signal)) ScheduleUpdate();
}

void TMainAction::ScheduleUpdate() {
  if (FScheduled) return;
  FScheduled = true;
  QMetaObject::invokeMethod(
      this,
      [this] {
        FScheduled = false;
        Update();
      },
      Qt::QueuedConnection);
}

void TMainAction::Update() {
  if (FUpdating) return;
  FUpdating = true;
  const bool handled = ActionHasHandler(this);
  if (handled && FGate) {
    // The group lets the action take the state last asked for before it lets go.
    QActionGroup* gate = FGate;
    FGate = nullptr;
    gate->setEnabled(true);
    setActionGroup(nullptr);
    delete gate;
  } else if (!handled && !FGate && !actionGroup()) {
    FGate = new QActionGroup(this);
    FGate->setExclusionPolicy(QActionGroup::ExclusionPolicy::None);
    FGate->setEnabled(false);
    FGate->addAction(this);
  }
  FUpdating = false;
}
