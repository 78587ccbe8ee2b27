#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace korvin {

// Entries of the "Alternative DP:" lists (sensor settings, sensor information), in list order.
inline constexpr std::array<std::string_view, 7> AltDewPointNames = {
    "Relative humidity [%rH]",   "Dew point",
    "Absolute humidity [g/m3]",  "Humidity grade [g/kg]",
    "Absolute humidity [mg/m3]", "Humidity [ppm]",
    "Atoms. dew point",
};

// Measurement names of the calibration certificate, in list order.
inline constexpr std::array<std::string_view, 6> MeasurementNames = {
    "Relative humidity", "Dewpoint", "Absolute humidity",
    "Humidity grade",    "Humidity", "Atoms. dewpoint",
};

// Position in AltDewPointNames for an alternative dew point unit code. Temperature and pressure
// codes (1, 2, 38) select nothing; any other unknown code falls back to position 0.
std::optional<int> AltDewPointPosition(uint8_t unitCode);

// Unit code for a position in AltDewPointNames; the two dew point entries follow the
// temperature unit. A position outside the list (e.g. -1 for "no selection") gives nothing.
std::optional<uint8_t> AltDewPointUnitCode(int position, bool fahrenheit);

}  // namespace korvin
