#include "calibration/factory_conversions.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace korvin {
namespace {

// The polynomial's intervals are half-open: a knot belongs to the interval it starts, the last
// knot to none. Values are the exact single-precision results.
TEST(K5ReferencePolynomial, IntervalsAndTheValueOutsideThem) {
  const float outside = 999.9f;
  const struct {
    float x;
    float p;
  } cases[] = {
      {0.85f, 32.09765625f},    // interval 3
      {0.80f, outside},         // below the first knot
      {0.995f, outside},        // above the last
      {0.994626999f, outside},  // the last knot itself
      {std::nextafter(0.801025987f, 0.0f), outside},
      {0.801025987f, -100.01171875f},  // the first knot starts interval 1
      {0.841135979f, -0.001953125f},   // interval 2 starts at its knot
      {std::numeric_limits<float>::quiet_NaN(), outside},
  };
  for (const auto& c : cases) EXPECT_EQ(K5ReferencePolynomial(c.x), c.p) << c.x;
  // Shown as 0.1 P(x) with "%0.3f": 3.210 and 99.990.
  EXPECT_NEAR(0.1 * K5ReferencePolynomial(0.85f), 3.2098, 1e-4);
}

TEST(QcmPointDewPoint, MagnusKeptInSinglePrecision) {
  EXPECT_EQ(QcmPointDewPoint(20.0f, 50.0f), 9.25517463684082f);
  EXPECT_NEAR(QcmPointDewPoint(-10.0f, 100.0f), -10.0f, 1e-4f);  // saturated over ice
}

}  // namespace
}  // namespace korvin
