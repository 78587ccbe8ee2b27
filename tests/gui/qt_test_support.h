#pragma once

#include <QApplication>
#include <QElapsedTimer>
#include <functional>

namespace korvin::test {

// Runs the event loop until `condition` holds; false when `timeoutMs` passed first.
inline bool WaitUntil(const std::function<bool()>& condition, int timeoutMs) {
  QElapsedTimer timer;
  timer.start();
  while (!condition()) {
    if (timer.elapsed() > timeoutMs) return false;
    QApplication::processEvents(QEventLoop::AllEvents, 10);
  }
  return true;
}

}  // namespace korvin::test
