#pragma once

#include <functional>
#include <iosfwd>
#include <string>

#include "device/device_record.h"
#include "platform/clock.h"

namespace korvin {

inline constexpr int kDefaultReconnectMinutes = 10;
inline constexpr int kMaxReconnectMinutes = 24 * 60;
inline constexpr char kDifferentSensor[] = "a different sensor is connected";

// What a recovery needs of the connection, so that it runs on a real port and in tests alike.
struct RecoveryLink {
  std::function<bool()> portPresent;           // the device node exists (again)
  std::function<bool(DeviceRecord&)> connect;  // the whole connect sequence; false: it failed
  std::function<void()> close;                 // lets go of the vanished port
  std::function<bool()> stopRequested;         // a stop signal came
};

// After the port vanished: waits for the same port to come back, checking once a second, runs
// the connect sequence once each second while the port is there but the sensor does not answer
// yet, and accepts only the sensor it had (same serial number). Says each step on `err`.
class LinkRecovery {
 public:
  enum class Result { kBack, kGaveUp, kDifferentSensor, kStopped };

  LinkRecovery(Clock& clock, std::string port, int minutes, RecoveryLink link, std::ostream& err);

  // `record` is the sensor as it was; on kBack it holds what the new connect read.
  Result Recover(DeviceRecord& record);

 private:
  // False when a stop came meanwhile.
  bool Sleep(int64_t ms);

  Clock& clock_;
  std::string port_;
  int minutes_;
  RecoveryLink link_;
  std::ostream& err_;
};

}  // namespace korvin
