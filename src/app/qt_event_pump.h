#pragma once

#include "platform/event_pump.h"

namespace korvin {

// Keeps the windows alive while a transaction waits: every pump runs the pending Qt events once.
// Once the main window asked to quit, every read ends at its next pump, so a transaction that was
// running when the window closed unwinds quickly and the program can end.
class QtEventPump : public EventPump {
 public:
  bool PumpOnce() override;
  void RequestQuit() { quitRequested_ = true; }
  bool quitRequested() const { return quitRequested_; }

 private:
  bool quitRequested_ = false;
};

}  // namespace korvin
