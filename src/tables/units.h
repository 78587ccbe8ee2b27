#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace korvin {

// Unit codes the sensor uses with this tool (one byte in ReadUnit/WriteUnit).
inline constexpr uint8_t kUnitCelsius = 1;
inline constexpr uint8_t kUnitFahrenheit = 2;
inline constexpr uint8_t kUnitRelativeHumidity = 3;
inline constexpr uint8_t kUnitDewPointCelsius = 4;
inline constexpr uint8_t kUnitDewPointFahrenheit = 5;
inline constexpr uint8_t kUnitAbsoluteHumidityMg = 7;  // mg/m3
inline constexpr uint8_t kUnitHumidityGrade = 8;       // g/kg
inline constexpr uint8_t kUnitAbsoluteHumidityG = 9;   // g/m3
inline constexpr uint8_t kUnitPpmVolume = 30;
inline constexpr uint8_t kUnitAtmDewPointCelsius = 31;
inline constexpr uint8_t kUnitAtmDewPointFahrenheit = 32;
inline constexpr uint8_t kUnitBarg = 38;

// Pressure unit codes are characters, not entries of UnitTable (ReadUnit index 2).
inline constexpr uint8_t kPressureUnitMPa = '$';
inline constexpr uint8_t kPressureUnitBarg = '&';
inline constexpr uint8_t kPressureUnitPsi = '\'';

inline constexpr std::size_t kUnitTableSize = 121;

// Unit texts indexed by unit code. Entry 108 is a single space, not a slip of the pen; several
// texts (m3, l, cf, A, V, ...) appear twice under different codes, also on purpose.
inline constexpr std::array<std::string_view, kUnitTableSize> UnitTable = {
    "",          "℃",        "°F",      "%RH",     "℃ Td",    "°F Td",   "mg/kg",    "mg/m3",
    "g/kg",      "g/m3",     "m/s",     "ft/min",  "Nm/s",    "Nft/min", "m3/h",     "m3/min",
    "l/min",     "l/s",      "cfm",     "Nm3/h",   "Nm3/min", "Nl/min",  "Nl/s",     "Ncfm",
    "m3",        "l",        "cf",      "Nm3",     "Nl",      "Ncf",     "ppm[v]",   "℃ Td atm",
    "°F Td atm", "Pa",       "hPa",     "kPa",     "MPa",     "mbarg",   "barg",     "PSI",
    "mV",        "V",        "uV",      "KV",      "mA",      "A",       "kg/s",     "kg",
    "m3/h av",   "l/h av",   "kg/h av", "cf/h av", "kg/h",    "kg/min",  "g/m3 atm", "mg/m3 atm",
    "minute",    "hour",     "day",     "year",    "m3/d",    "m3/h",    "m3/min",   "m3/s",
    "l/d",       "l/h",      "l/min",   "l/s",     "gal/d",   "gal/h",   "gal/min",  "gal/s",
    "igl/d",     "igl/h",    "igl/min", "igl/s",   "mg/d",    "mg/h",    "mg/min",   "mg/s",
    "cf/d",      "cf/h",     "cf/min",  "cf/s",    "ob/d",    "ob/h",    "ob/min",   "ob/s",
    "ib/d",      "ib/h",     "ib/min",  "ib/s",    "m3",      "l",       "gal",      "igl",
    "mgl",       "cf",       "ob",      "ib",      "A",       "V",       "kW",       "kvar",
    "Hz",        "kWh",      "kvarh",   "kVA",     " ",       "%",       "ppm",      "ug/m3",
    "cn/m3",     "cn/2.83l", "cn/l",    "cn/ft3",  "ug/ft3",  "t/h",     "lb/h",     "t",
    "lb",
};

// Text of a unit code; codes beyond the table (121 and up) show as the empty entry 0.
std::string_view UnitText(unsigned code);

// Short label of an alternative dew point unit code (main window rows, scaling units of the
// settings dialog). Codes outside that set have no label: the caller keeps what it showed.
std::optional<std::string_view> ShortUnitLabel(unsigned code);

// "℃" or "°F".
std::string_view TemperatureLabel(bool fahrenheit);
// "℃ Td" or "°F Td".
std::string_view DewPointLabel(bool fahrenheit);

// "MPa", "barg" or "PSI"; nothing for any other code.
std::optional<std::string_view> PressureUnitLabel(uint8_t code);

}  // namespace korvin
