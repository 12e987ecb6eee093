// Runs the event loop until a condition holds or a time limit passes. The
// limit leaves room for a machine busy with other work: a test waits for
// what it expects, never for a fixed time.
#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <functional>

inline bool pump_until(const std::function<bool()>& done, int limit_ms = 30000) {
  QElapsedTimer clock;
  clock.start();
  while (!done()) {
    if (clock.elapsed() > limit_ms) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    QThread::msleep(1);
  }
  return true;
}

// Lets the event loop run for a while, whatever happens.
inline void pump_for(int ms) {
  QElapsedTimer clock;
  clock.start();
  do {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    QThread::msleep(1);
  } while (clock.elapsed() < ms);
}
