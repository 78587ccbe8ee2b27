#pragma once

#include <functional>

namespace korvin {

// Lets the user interface live while a transaction waits for its reply: the serial read calls
// PumpOnce() between its waits. Timer ticks and clicks dispatched from here may try to start
// another transaction, which the transport's busy flags refuse.
class EventPump {
 public:
  virtual ~EventPump() = default;
  // Runs the pending events once. Returns true when the application has been asked to quit.
  virtual bool PumpOnce() = 0;
};

class NullEventPump final : public EventPump {
 public:
  bool PumpOnce() override { return false; }
};

// A pump that runs a callback on every call; tests use it to fire a "timer tick" in the middle
// of a read.
class CallbackEventPump final : public EventPump {
 public:
  explicit CallbackEventPump(std::function<bool()> onPump) : onPump_(std::move(onPump)) {}
  bool PumpOnce() override { return onPump_ ? onPump_() : false; }

 private:
  std::function<bool()> onPump_;
};

}  // namespace korvin
