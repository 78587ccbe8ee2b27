#include "reports/dew_point_table.h"

#include <array>
#include <cstddef>

namespace korvin {

namespace {

struct Cubic {
  float from;  // the range starts here (inclusive) and ends where the next one starts
  float c0, c1, c2, c3;

  // c0 + c1·x + c2·x² + c3·x³, term by term in single precision.
  float operator()(float x) const { return c0 + c1 * x + c2 * x * x + c3 * x * x * x; }
};

// Saturation vapour pressure in hPa over t = 10 × temperature in ℃; below the first and from
// the last range on the pressure is fixed.
constexpr float kTemperatureFloor = -300.0f;
constexpr float kTemperatureCeiling = 800.0f;
constexpr float kPressureBelowFloor = 0.000542f;
constexpr float kPressureAboveCeiling = 10227.75f;
constexpr std::array<Cubic, 5> kSaturation = {{
    {-300.0f, 5.805454f, 0.042683262f, 0.00011795909f, 1.198825e-07f},
    {-100.0f, 6.10714f, 0.050201647f, 0.00018244283f, 3.145676e-07f},
    {0.0f, 6.1078f, 0.047176767f, 9.599258e-05f, 5.033555e-07f},
    {300.0f, -22.354912f, 0.30280197f, -0.0006879116f, 1.3302639e-06f},
    {600.0f, -247.71695f, 1.4407674f, -0.0026165908f, 2.4270569e-06f},
}};

// Ten times the dew point in ℃ Td over the vapour pressure e in hPa. 6.108 hPa separates the
// rows over ice (below) from those over water.
constexpr float kPressureFloor = 0.000542f;
constexpr float kPressureCeiling = 472.932f;
constexpr float kDewPointBelowFloor = -80.1f;
constexpr float kDewPointAboveCeiling = 80.1f;
constexpr std::array<Cubic, 8> kDewPoint = {{
    {0.000542f, -837.7995f, 74766.56f, -9504722.0f, 4.2798922e+08f},
    {0.01079f, -671.76324f, 7782.968f, -111898.33f, 646906.6f},
    {0.072008f, -541.77576f, 1536.4377f, -3933.892f, 4118.579f},
    {0.379966f, -394.16742f, 288.98486f, -115.275696f, 18.335484f},
    {2.596836f, -256.68735f, 81.589f, -9.445642f, 0.48603055f},
    {6.108f, -149.52928f, 29.393465f, -0.86965543f, 0.010719931f},
    {31.72751f, 52.91397f, 7.709829f, -0.052095853f, 0.00015385583f},
    {123.3353f, 259.22318f, 2.4267402f, -0.004247515f, 3.243701e-06f},
}};

constexpr float kTemperatureScale = 10.0f;
constexpr float kHumidityScale = 10.0f;
constexpr float kPressureScale = 0.001f;
constexpr float kDewPointScale = 0.1f;

// The cubic whose range holds x (the table's ranges are in ascending order and x lies at or
// above the first one's start).
template <size_t N>
const Cubic& RangeOf(const std::array<Cubic, N>& table, float x) {
  size_t i = 0;
  while (i + 1 < N && x >= table[i + 1].from) ++i;
  return table[i];
}

}  // namespace

float HumidityToDewPointTable(float temperatureC, float relativeHumidity) {
  const float t = kTemperatureScale * temperatureC;
  float e = 0.0f;
  if (t < kTemperatureFloor) {
    e = kPressureBelowFloor;
  } else if (t >= kTemperatureCeiling) {
    e = kPressureAboveCeiling;
  } else {
    e = RangeOf(kSaturation, t)(t) * (kHumidityScale * relativeHumidity) * kPressureScale;
  }
  if (e < kPressureFloor) return kDewPointBelowFloor;
  if (e >= kPressureCeiling) return kDewPointAboveCeiling;
  return RangeOf(kDewPoint, e)(e) * kDewPointScale;
}

}  // namespace korvin
