#include "device/magnus.h"

#include <cmath>
#include <limits>

namespace korvin {

namespace {

// Magnus coefficients over water and over ice. The switch from water to ice is at 6.108 hPa, not
// at the base pressure 6.112 hPa: pressures between the two still take the water branch and give
// dew points just below 0. Keep the two constants apart.
constexpr double kBasePressureHpa = 6.112;
constexpr double kIceSwitchPressureHpa = 6.108;
constexpr double kWaterA = 17.62;
constexpr double kWaterB = 243.12;
constexpr double kIceA = 22.46;
constexpr double kIceB = 272.62;
constexpr double kMinVapourPressureHpa = 1.3e-7;
constexpr double kPercent = 100.0;

}  // namespace

std::optional<double> VapourPressureToDewPoint(double vapourPressureHpa) {
  if (!(vapourPressureHpa > 0.0)) return std::nullopt;
  const double y = std::log(vapourPressureHpa / kBasePressureHpa);
  if (vapourPressureHpa > kIceSwitchPressureHpa) return kWaterB * y / (kWaterA - y);
  return kIceB * y / (kIceA - y);
}

double HumidityToDewPointMagnus(double temperatureC, double relativeHumidity) {
  if (std::isnan(temperatureC) || std::isnan(relativeHumidity)) {
    return std::numeric_limits<double>::quiet_NaN();
  }
  const double saturation =
      temperatureC > 0.0
          ? kBasePressureHpa * std::exp(kWaterA * temperatureC / (kWaterB + temperatureC))
          : kBasePressureHpa * std::exp(kIceA * temperatureC / (kIceB + temperatureC));
  double vapour = saturation * relativeHumidity / kPercent;
  if (vapour < kMinVapourPressureHpa) vapour = kMinVapourPressureHpa;
  return VapourPressureToDewPoint(vapour).value_or(std::numeric_limits<double>::quiet_NaN());
}

}  // namespace korvin
