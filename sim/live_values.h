#pragma once

#include <cstddef>
#include <cstdint>

#include "sim/sensor_state.h"

namespace korvin::sim {

// Humidity physics of the sensor, all in double precision. Vapour pressures in hPa, temperatures
// and dew points in ℃. Below 0 ℃ the Magnus constants over ice apply (frost point), as the
// tool's own conversions assume.
double SaturationVapourPressure(double temperatureC);
double VapourPressureAtDewPoint(double dewPointC);
double VapourPressureToDewPoint(double vapourPressure);
double RelativeHumidity(double dewPointC, double temperatureC);
double DewPointFromHumidity(double temperatureC, double relativeHumidity);
double CelsiusToFahrenheit(double celsius);

// The decimal-places code the sensor reports with a value in this unit.
uint8_t DefaultDecimalCode(uint8_t unitCode);

// The process at one moment: what a perfect instrument would show.
struct ProcessValues {
  double dewPointC = 0.0;
  double temperatureC = 0.0;
  double pressureBarg = 0.0;
};
ProcessValues ProcessAt(const Process& process, double seconds);

// The sensor's own readings at one moment, after offsets, user calibration and the pressure
// calibration, in ℃, barg and the alternative unit.
struct Readings {
  double dewPointC = 0.0;
  double temperatureC = 0.0;
  double pressureBarg = 0.0;
  double alternative = 0.0;  // in the unit of units[kUnitAlternative]
};
Readings ComputeReadings(const SensorState& state, double seconds);

// One record of ReadMeasurements: the value in the unit of its channel, its decimal-places
// code, the unit code and a status byte (0 = valid).
struct ChannelRecord {
  float value = 0.0f;
  uint8_t decimals = 0;
  uint8_t unitCode = 0;
  uint8_t status = 0;
};
ChannelRecord MakeChannelRecord(const SensorState& state, const Readings& readings, size_t channel);

// The element reading before the user calibration (offsets applied), ℃ Td.
double ReadingBeforeUserCalibration(const SensorState& state, double seconds);
// The user calibration as the sensor applies it; unchanged when disabled or under two points.
double ApplyUserCalibration(const UserCalibration& calibration, double dewPointC);

// The sensor-side calibration procedures. They return false, changing nothing, when the request
// cannot be met (a reference the element cannot reach, no pressure sensor, a span of 0). The
// virtual process follows the technician: zeroing vents the line, a span pressurises it to the
// reference, so a trainee can run both steps in a row.
bool CalibrateDewPointOffset(SensorState& state, double seconds, double referenceC);
bool CalibratePressureZeroPoint(SensorState& state, double seconds);
bool CalibratePressureSpanPoint(SensorState& state, double seconds, double referenceBarg);

// The current the analogue output drives now, mA: a test current or a forced DAC value while
// one is set, otherwise the alternative value on the 4 ... 20 mA scale.
double AnalogueOutputCurrent(const SensorState& state, const Readings& readings);

}  // namespace korvin::sim
