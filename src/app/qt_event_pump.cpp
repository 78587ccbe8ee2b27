#include "app/qt_event_pump.h"

#include <QCoreApplication>

namespace korvin {

bool QtEventPump::PumpOnce() {
  if (!quitRequested_) QCoreApplication::processEvents(QEventLoop::AllEvents);
  return quitRequested_;
}

}  // namespace korvin
