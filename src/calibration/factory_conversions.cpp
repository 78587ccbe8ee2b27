#include "calibration/factory_conversions.h"

#include <array>
#include <cstddef>

#include "device/magnus.h"

namespace korvin {

namespace {

constexpr size_t kIntervals = 4;
// Interval k holds kKnots[k] <= x < kKnots[k + 1].
constexpr std::array<float, kIntervals + 1> kKnots = {0.801025987f, 0.841135979f, 0.846334994f,
                                                      0.865567982f, 0.994626999f};
// c0, c1, c2, c3 of each interval.
constexpr std::array<std::array<float, 4>, kIntervals> kCubics = {{
    {-38860.515625f, 147092.6875f, -188606.578125f, 81625.890625f},
    {28015.5234375f, -82981.90625f, 74122.1640625f, -17910.265625f},
    {-23821.2265625f, 95431.984375f, -129472.34375f, 59075.765625f},
    {51931.2734375f, -172283.6875f, 185697.46875f, -64526.078125f},
}};
constexpr float kOutsideIntervals = 999.9f;

}  // namespace

float K5ReferencePolynomial(float x) {
  if (!(x >= kKnots.front() && x < kKnots.back())) return kOutsideIntervals;
  size_t k = 0;
  while (x >= kKnots[k + 1]) ++k;
  const std::array<float, 4>& c = kCubics[k];
  return ((c[3] * x + c[2]) * x + c[1]) * x + c[0];
}

float QcmPointDewPoint(float temperatureC, float relativeHumidity) {
  return static_cast<float>(HumidityToDewPointMagnus(temperatureC, relativeHumidity));
}

}  // namespace korvin
