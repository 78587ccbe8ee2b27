#pragma once

namespace korvin {

// Dew point in ℃ Td of a relative humidity in % at a temperature in ℃, the way the polymer
// (K5) element's factory points are converted: the saturation vapour pressure from a cubic in
// ten times the temperature, then the dew point from a cubic in the vapour pressure, each
// chosen by range, all in single precision. Outside the ranges the results are fixed: below
// -30 ℃ the vapour pressure is 0.000542 hPa, from 80 ℃ on 10227.75 hPa, whatever the
// humidity; a vapour pressure below 0.000542 hPa gives -80.1 ℃ Td, one of 472.932 hPa or more
// 80.1 ℃ Td.
float HumidityToDewPointTable(float temperatureC, float relativeHumidity);

}  // namespace korvin
