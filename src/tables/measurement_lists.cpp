#include "tables/measurement_lists.h"

#include "tables/units.h"

namespace korvin {

namespace {

constexpr int kPosRelativeHumidity = 0;
constexpr int kPosDewPoint = 1;
constexpr int kPosAbsoluteHumidityG = 2;
constexpr int kPosHumidityGrade = 3;
constexpr int kPosAbsoluteHumidityMg = 4;
constexpr int kPosPpm = 5;
constexpr int kPosAtmDewPoint = 6;

}  // namespace

std::optional<int> AltDewPointPosition(uint8_t unitCode) {
  switch (unitCode) {
    case kUnitCelsius:
    case kUnitFahrenheit:
    case kUnitBarg:
      return std::nullopt;
    case kUnitDewPointCelsius:
    case kUnitDewPointFahrenheit:
      return kPosDewPoint;
    case kUnitAbsoluteHumidityG:
      return kPosAbsoluteHumidityG;
    case kUnitHumidityGrade:
      return kPosHumidityGrade;
    case kUnitAbsoluteHumidityMg:
      return kPosAbsoluteHumidityMg;
    case kUnitPpmVolume:
      return kPosPpm;
    case kUnitAtmDewPointCelsius:
    case kUnitAtmDewPointFahrenheit:
      return kPosAtmDewPoint;
    default:
      return kPosRelativeHumidity;
  }
}

std::optional<uint8_t> AltDewPointUnitCode(int position, bool fahrenheit) {
  switch (position) {
    case kPosRelativeHumidity:
      return kUnitRelativeHumidity;
    case kPosDewPoint:
      return fahrenheit ? kUnitDewPointFahrenheit : kUnitDewPointCelsius;
    case kPosAbsoluteHumidityG:
      return kUnitAbsoluteHumidityG;
    case kPosHumidityGrade:
      return kUnitHumidityGrade;
    case kPosAbsoluteHumidityMg:
      return kUnitAbsoluteHumidityMg;
    case kPosPpm:
      return kUnitPpmVolume;
    case kPosAtmDewPoint:
      return fahrenheit ? kUnitAtmDewPointFahrenheit : kUnitAtmDewPointCelsius;
    default:
      return std::nullopt;
  }
}

}  // namespace korvin
