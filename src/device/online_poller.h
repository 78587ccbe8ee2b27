#pragma once

#include <array>
#include <string>

#include "device/device_record.h"
#include "platform/ui.h"
#include "protocol/protocol_context.h"

namespace korvin {

inline constexpr int kPollTimerId = 8001;
inline constexpr int kPollTimerMs = 1000;
// The fourth failed poll since polling was switched on ends it.
inline constexpr int kPollFailureLimit = 4;

// The online value rows of the main window, top to bottom: dew point, alternative dew point,
// temperature, pressure.
inline constexpr int kRowDewPoint = 0;
inline constexpr int kRowAltDewPoint = 1;
inline constexpr int kRowTemperature = 2;
inline constexpr int kRowPressure = 3;

// Polls ReadMeasurements once a second while switched on, keeps the row texts and counts
// failures. Qt-free: the main window calls Poll() from its timer and applies the outcome to its
// buttons.
class OnlinePoller {
 public:
  enum class Outcome {
    kSkipped,  // a poll was still waiting for its reply
    kUpdated,
    kFailed,    // silent: the rows keep their last texts
    kStopped,   // the failure limit was reached: polling ended with "Communication error"
    kLinkLost,  // only with ReportLinkLoss(): the port itself failed; not counted as a failure
  };

  OnlinePoller(ProtocolContext& context, DeviceRecord& record, Ui& ui);

  // Empties the rows and resets the failure count.
  void SwitchOn();
  void SwitchOff() { running_ = false; }
  bool running() const { return running_; }
  // A poll that fails because the port is gone (its device node vanished, a read or write ends
  // in an I/O error) returns kLinkLost instead of counting towards the failure limit, for a
  // caller that waits for the port to come back. Off by default.
  void ReportLinkLoss(bool on) { reportLinkLoss_ = on; }
  Outcome Poll();
  void ClearRows() { rows_ = {}; }

  const std::array<std::string, 4>& rows() const { return rows_; }
  int failures() const { return failures_; }

 private:
  ProtocolContext& context_;
  DeviceRecord& record_;
  Ui& ui_;
  std::array<std::string, 4> rows_;
  int failures_ = 0;
  bool running_ = false;
  bool polling_ = false;
  bool reportLinkLoss_ = false;
};

}  // namespace korvin
