#pragma once

#include <gtest/gtest.h>

#include <array>
#include <filesystem>

#include "recording/c_logging.h"
#include "test_files.h"

namespace korvin::test {

// 08:30:00, the local time before the first tick.
inline constexpr int kStartSecondOfDay = 8 * 3600 + 30 * 60;

// The four online values at a tick; they move from tick to tick, so rows tell ticks apart.
inline std::array<float, kChannelCount> ValuesAt(int tick) {
  return {20.0f + 0.1f * tick, 5.5f * tick, -40.0f - 0.25f * tick, 7.0f + 0.01f * tick};
}

// Drives the recorder on counted ticks; the local time is 05.03.2024 08:30:00 plus the tick, at
// `utcOffsetSeconds` from UTC. The files go to a fresh folder below `base`.
class RecorderRig : public ::testing::Test {
 protected:
  RecorderRig(const std::filesystem::path& base, int checkpointTicks, int utcOffsetSeconds)
      : folder_(base), logging_(Options(checkpointTicks, utcOffsetSeconds)) {}

  void Tick() {
    ++tick_;
    logging_.Tick(ValuesAt(tick_));
  }
  void TickUntilIdle() {
    while (logging_.state() != CLogging::State::kIdle) Tick();
  }

  TempFolder folder_;
  int tick_ = 0;
  CLogging logging_;

 private:
  LoggingOptions Options(int checkpointTicks, int utcOffsetSeconds) {
    LoggingOptions options;
    options.folder = folder_.path();
    options.checkpointTicks = checkpointTicks;
    options.localTime = [this, utcOffsetSeconds] {
      const int s = kStartSecondOfDay + tick_;
      return LocalDateTime{2024, 3, 5, s / 3600, s / 60 % 60, s % 60, utcOffsetSeconds};
    };
    return options;
  }
};

}  // namespace korvin::test
