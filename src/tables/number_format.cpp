#include "tables/number_format.h"

#include <algorithm>
#include <charconv>

namespace korvin {

namespace {

// Longest fixed-notation double: 309 integer digits, sign, point and the places asked for.
constexpr int kMaxFixedPlaces = 60;
constexpr std::size_t kFixedBufferSize = 400;
constexpr std::size_t kIntegerBufferSize = 24;

}  // namespace

int DecimalPlaces(uint8_t code) {
  const auto last = static_cast<uint8_t>(DecimalFormats.size() - 1);
  return std::min(code, last);
}

std::string FormatDecimal(double value, uint8_t code) {
  return FormatFixed(value, DecimalPlaces(code));
}

std::string FormatFixed(double value, int places) {
  places = std::clamp(places, 0, kMaxFixedPlaces);
  char buffer[kFixedBufferSize];
  const auto result =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, places);
  return std::string(buffer, result.ptr);
}

std::string FormatInteger(int64_t value, int minDigits, int width) {
  char digits[kIntegerBufferSize];
  // Work on the magnitude as unsigned so that the most negative value needs no special case.
  const uint64_t magnitude =
      value < 0 ? uint64_t{0} - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
  const auto result = std::to_chars(digits, digits + sizeof digits, magnitude);
  std::string body(digits, result.ptr);
  if (static_cast<int>(body.size()) < minDigits) {
    body.insert(0, static_cast<std::size_t>(minDigits) - body.size(), '0');
  }
  if (value < 0) body.insert(0, 1, '-');
  if (static_cast<int>(body.size()) < width) {
    body.insert(0, static_cast<std::size_t>(width) - body.size(), ' ');
  }
  return body;
}

}  // namespace korvin
