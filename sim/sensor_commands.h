#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "sim/sensor_state.h"

namespace korvin::sim {

// Device error codes the sensor puts into a '?' reply.
inline constexpr uint32_t kDeviceErrorUnknownCommand = 0x00000101;
inline constexpr uint32_t kDeviceErrorLength = 0x00000102;
inline constexpr uint32_t kDeviceErrorParameter = 0x00000103;
inline constexpr uint32_t kDeviceErrorNotPossible = 0x00000104;

// What a command did beyond its reply, for the link layer to act on.
struct CommandEffects {
  bool fieldbusChanged = false;  // new Modbus settings: the line leaves service mode
};

// Runs one request body (group, sub-command, payload) against the sensor's state at the given
// time since start-up and returns the reply payload: '>' and exactly the data the command
// replies with, or '?' and a device error code. Never throws; unknown commands and malformed
// payloads are refused.
std::vector<uint8_t> ExecuteCommand(SensorState& state, std::span<const uint8_t> body,
                                    double seconds, CommandEffects& effects);

// A refusal payload: '?' and the device error code.
std::vector<uint8_t> RefusalPayload(uint32_t deviceError);

}  // namespace korvin::sim
