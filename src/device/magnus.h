#pragma once

#include <optional>

namespace korvin {

// Dew point in ℃ Td of a water vapour pressure in hPa, by the Magnus formula: over water above
// 6.108 hPa, over ice at and below it. A pressure of 0 or less (or NaN) has no logarithm and so
// no dew point; the caller decides what to show for it.
std::optional<double> VapourPressureToDewPoint(double vapourPressureHpa);

// Dew point in ℃ Td of a temperature in ℃ and a relative humidity in %. The vapour pressure is
// kept at 1.3e-7 hPa or more, so a humidity of 0 (or below) still gives a (very low) dew point.
// NaN when an input is NaN.
double HumidityToDewPointMagnus(double temperatureC, double relativeHumidity);

}  // namespace korvin
