#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace korvin {

// printf formats by decimal-places code, as the sensor sends the code with each measurement.
// Kept for reference and for code that wants the text of a format; to format a value use
// FormatDecimal, which never indexes past the table.
inline constexpr std::array<std::string_view, 6> DecimalFormats = {
    "%0.0f", "%0.1f", "%0.2f", "%0.3f", "%0.4f", "%0.5f",
};

// The decimal-places code of the analogue scaling values (4 mA / 20 mA).
inline constexpr uint8_t kAnalogueScalingDecimals = 3;

// Number of decimal places for a decimal-places code. The table ends at code 5; a larger code
// (a newer sensor or a damaged reply) asks for at least as much precision as the table offers,
// so it is shown with 5 places: the value stays readable and nothing is read past the table.
int DecimalPlaces(uint8_t code);

// The value as "%0.<places>f" would print it, for the decimal-places code (see DecimalPlaces).
std::string FormatDecimal(double value, uint8_t code);

// The value as "%0.<places>f" would print it (C locale, correctly rounded, "nan"/"inf" as
// printf spells them). Negative places count as 0.
std::string FormatFixed(double value, int places);

// The value as "%<width>.<minDigits>d" would print it: at least minDigits digits (zero-padded),
// then space-padded on the left to width. FormatInteger(601234, 8) is "00601234",
// FormatInteger(20230415, 1, 8) is "20230415", FormatInteger(42) is "42".
std::string FormatInteger(int64_t value, int minDigits = 1, int width = 0);

}  // namespace korvin
