#pragma once

namespace korvin {

// The reference value of a polymer (K5) factory calibration point from its stored input x: a
// piecewise cubic over four intervals of x, evaluated in single precision as the sensor's
// factory software does. Outside the intervals (x below the first knot or at or above the last)
// the value is 999.9.
float K5ReferencePolynomial(float x);

// The dew point (℃ Td) of a QCM factory calibration point, by the Magnus formula, kept in single
// precision as the factory software stores it.
float QcmPointDewPoint(float temperatureC, float relativeHumidity);

}  // namespace korvin
