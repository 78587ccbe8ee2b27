#pragma once

#include <cstdint>
#include <string>

#include "protocol/protocol_context.h"

namespace korvin {

// The once-a-second reading of one live value in a calibration dialog. The busy flag makes a
// tick do nothing while another tick or a calibration step holds it; failed reads are counted
// in a row, and the third one in a row gives up (the dialog then reports and closes).
class LiveRefresh {
 public:
  enum class Outcome { kSkipped, kValue, kFailed, kGaveUp };

  static constexpr int kPeriodMs = 1000;
  static constexpr int kFailuresToGiveUp = 3;

  // `channel` of ReadMeasurements, shown with `places` decimals.
  LiveRefresh(uint8_t channel, int places) : channel_(channel), places_(places) {}

  bool busy() const { return busy_; }
  void Hold() { busy_ = true; }
  void Release() { busy_ = false; }
  int failures() const { return failures_; }

  // One tick of the refresh timer: kSkipped while the flag is held; otherwise one read of the
  // channel (a single run of the engine) with the flag held. kValue puts the formatted value
  // into `text` and clears the count. kGaveUp starts the count again and leaves the flag held,
  // so that ticks do nothing while the dialog reports and closes; Release() it after.
  Outcome Tick(ProtocolContext& context, std::string& text);

 private:
  Outcome Read(ProtocolContext& context, std::string& text);

  uint8_t channel_;
  int places_;
  bool busy_ = false;
  int failures_ = 0;
};

}  // namespace korvin
