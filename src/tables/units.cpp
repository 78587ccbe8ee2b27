#include "tables/units.h"

namespace korvin {

namespace {

struct ShortLabel {
  uint8_t code;
  std::string_view label;
};

constexpr std::array<ShortLabel, 9> kShortLabels = {{
    {kUnitRelativeHumidity, "%"},
    {kUnitDewPointCelsius, "℃ Td"},
    {kUnitDewPointFahrenheit, "°F Td"},
    {kUnitAbsoluteHumidityMg, "mg/m3"},
    {kUnitHumidityGrade, "g/kg"},
    {kUnitAbsoluteHumidityG, "g/m3"},
    {kUnitPpmVolume, "ppm"},
    {kUnitAtmDewPointCelsius, "℃ Td atm"},
    {kUnitAtmDewPointFahrenheit, "°F Td atm"},
}};

}  // namespace

std::string_view UnitText(unsigned code) {
  return code < UnitTable.size() ? UnitTable[code] : UnitTable[0];
}

std::optional<std::string_view> ShortUnitLabel(unsigned code) {
  for (const ShortLabel& entry : kShortLabels) {
    if (entry.code == code) return entry.label;
  }
  return std::nullopt;
}

std::string_view TemperatureLabel(bool fahrenheit) {
  return fahrenheit ? UnitTable[kUnitFahrenheit] : UnitTable[kUnitCelsius];
}

std::string_view DewPointLabel(bool fahrenheit) {
  return fahrenheit ? UnitTable[kUnitDewPointFahrenheit] : UnitTable[kUnitDewPointCelsius];
}

std::optional<std::string_view> PressureUnitLabel(uint8_t code) {
  switch (code) {
    case kPressureUnitMPa:
      return "MPa";
    case kPressureUnitBarg:
      return "barg";
    case kPressureUnitPsi:
      return "PSI";
    default:
      return std::nullopt;
  }
}

}  // namespace korvin
