#pragma once
// Runs the event loop for a while, then deletes what asked to be deleted meanwhile (the web
// view tests let windows close and pages settle this way).
#include <QCoreApplication>
#include <QEvent>
#include <QEventLoop>
#include <QTimer>

inline void Pump(int ms) {
  QEventLoop loop;
  QTimer::singleShot(ms, &loop, &QEventLoop::quit);
  loop.exec();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}
