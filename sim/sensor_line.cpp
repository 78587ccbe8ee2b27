#include "sim/sensor_line.h"

#include "platform/posix_serial_port.h"
#include "sim/sim_serial_port.h"

namespace korvin::sim {

SensorLine OpenSensorLine(std::optional<uint16_t> simulatedType, Clock& clock) {
  SensorLine line;
  if (simulatedType) {
    line.model = std::make_unique<SensorModel>(*simulatedType, LinkKind::kProfileF, clock);
    line.model->SetResponseDelayUs(kRealTimeResponseDelayUs);
    line.port = std::make_unique<SimSerialPort>(*line.model, clock);
  } else {
    line.port = std::make_unique<PosixSerialPort>();
  }
  return line;
}

}  // namespace korvin::sim
