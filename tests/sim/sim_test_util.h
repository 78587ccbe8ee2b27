#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "protocol/commands.h"
#include "protocol/frames.h"
#include "sim/sensor_model.h"

namespace korvin::sim::testing {

inline std::vector<uint8_t> Body(const RequestBuilder& request) {
  std::array<uint8_t, 3 + kMaxPayload> body{};
  const BuiltRequest built = request.Build(body.data());
  return {body.begin(), body.begin() + static_cast<std::ptrdiff_t>(built.bodyLength)};
}

// The reply payload (status byte first) of one command, straight through the command layer.
inline std::vector<uint8_t> Ask(SensorModel& model, const RequestBuilder& request) {
  return model.Execute(Body(request));
}

// A still process: no drift, no jitter, so readings can be compared exactly.
inline void Freeze(SensorModel& model) {
  Process& p = model.state().process;
  p.dewPointSwing = 0.0;
  p.noise = 0.0;
  p.temperatureSwing = 0.0;
  p.pressureSwing = 0.0;
}

inline float ReadChannel(SensorModel& model, uint8_t channel) {
  const std::vector<uint8_t> reply = Ask(model, ReadMeasurements(channel, 1));
  return GetFloat(reply.data() + 1);
}

}  // namespace korvin::sim::testing
