#pragma once

#include <cstdint>
#include <memory>
#include <optional>

#include "platform/clock.h"
#include "platform/serial_port.h"
#include "sim/sensor_model.h"

namespace korvin::sim {

// The serial line a program talks over: the real port, or, for a demo or training without
// hardware, an in-process virtual sensor that answers behind every port name.
struct SensorLine {
  std::unique_ptr<SensorModel> model;  // only for a simulated line
  std::unique_ptr<SerialPort> port;
};

SensorLine OpenSensorLine(std::optional<uint16_t> simulatedType, Clock& clock);

}  // namespace korvin::sim
