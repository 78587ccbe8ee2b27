#pragma once

#include <cstdint>
#include <span>

#include "sim/sensor_state.h"

namespace korvin::sim {

// What a fresh sensor of one device type looks like. One row per known device type code; every
// other code gets the fallback row (a QCM sensor without interfaces).
struct DeviceTypeRow {
  uint16_t typeCode;
  int elementSet;
  uint8_t interfaces;
  bool pressureSensor;
  const char* deviceName;  // at most 16 characters
  uint32_t itemNumber;
  uint8_t firmwareVersion10;
  uint8_t hardwareVersion100;
  float dacPoint1;  // DAC values of the factory analogue calibration (0 without analogue output)
  float dacPoint2;
};

std::span<const DeviceTypeRow> DeviceTypeTable();
// The row of a known type code, or the fallback row for any other code.
const DeviceTypeRow& DeviceTypeDefaults(uint16_t typeCode);

// A sensor of this type fresh from the factory: identity, units, settings, factory and user
// calibration, and the process it measures.
SensorState MakeDefaultState(uint16_t typeCode);

// Calendar digits YYYYMMDD of an automation date (days since 30 December 1899).
uint32_t AutomationDateToNumber(double date);

}  // namespace korvin::sim
