#pragma once
// TXPToolBar: an ordinary tool bar that drops one event, the toolbar message 2304 (0x0900)
// of the platform the program came from; every other event is handled as usual.
#include <QEvent>
#include <QToolBar>

class TXPToolBar : public QToolBar {
  Q_OBJECT

 public:
  static constexpr QEvent::Type kDroppedEvent = static_cast<QEvent::Type>(QEvent::User + 0x0900);
  explicit TXPToolBar(QWidget* parent = nullptr) : QToolBar(parent) {}
  explicit TXPToolBar(const QString& title, QWidget* parent = nullptr) : QToolBar(title, parent) {}

 protected:
  bool event(QEvent* ev) override {
    if (ev->type() == kDroppedEvent) return true;
    return QToolBar::event(ev);
  }
};
