#include "tables/number_text.h"

#include <algorithm>
#include <charconv>
#include <limits>
#include <string>

namespace korvin {

namespace {

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

std::size_t SkipBlanks(std::string_view text) {
  std::size_t pos = 0;
  while (pos < text.size() && IsBlank(text[pos])) ++pos;
  return pos;
}

std::size_t SkipDigits(std::string_view text, std::size_t pos) {
  while (pos < text.size() && IsDigit(text[pos])) ++pos;
  return pos;
}

// What strtod gives for a decimal text beyond double: infinity when the number is huge, 0 when
// it is tiny. The decimal magnitude decides which.
double OutOfRangeValue(std::string_view number) {
  const std::size_t exponentAt = number.find_first_of("eE");
  const std::string_view mantissa = number.substr(0, exponentAt);
  const int64_t exponent =
      exponentAt == std::string_view::npos ? 0 : ParseLeadingInteger(number.substr(exponentAt + 1));
  const std::size_t point = std::min(mantissa.find('.'), mantissa.size());
  const std::size_t firstNonZero = mantissa.find_first_not_of("0.");
  if (firstNonZero == std::string_view::npos) return 0.0;
  const int64_t intDigits = static_cast<int64_t>(point) - static_cast<int64_t>(firstNonZero);
  const bool huge = exponent > -intDigits;
  return huge ? std::numeric_limits<double>::infinity() : 0.0;
}

}  // namespace

double ParseLeadingReal(std::string_view text) {
  std::size_t pos = SkipBlanks(text);
  bool negative = false;
  if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
    negative = text[pos] == '-';
    ++pos;
  }
  const std::size_t start = pos;
  pos = SkipDigits(text, pos);
  std::size_t mantissaDigits = pos - start;
  if (pos < text.size() && text[pos] == '.') {
    const std::size_t fraction = pos + 1;
    pos = SkipDigits(text, fraction);
    mantissaDigits += pos - fraction;
  }
  if (mantissaDigits == 0) return 0.0;
  // An exponent counts only when digits follow it: "2e" and "2e+" read as 2.
  if (pos < text.size() && (text[pos] == 'e' || text[pos] == 'E')) {
    std::size_t exponent = pos + 1;
    if (exponent < text.size() && (text[exponent] == '+' || text[exponent] == '-')) ++exponent;
    const std::size_t exponentEnd = SkipDigits(text, exponent);
    if (exponentEnd > exponent) pos = exponentEnd;
  }
  // from_chars takes no '+' and no leading '.', so hand it a normalised copy.
  std::string number;
  if (text[start] == '.') number = "0";
  number.append(text.substr(start, pos - start));
  double value = 0.0;
  const auto result = std::from_chars(number.data(), number.data() + number.size(), value);
  if (result.ec == std::errc::result_out_of_range) value = OutOfRangeValue(number);
  return negative ? -value : value;
}

int64_t ParseLeadingInteger(std::string_view text) {
  std::size_t pos = SkipBlanks(text);
  bool negative = false;
  if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
    negative = text[pos] == '-';
    ++pos;
  }
  const std::size_t end = SkipDigits(text, pos);
  constexpr int64_t kMax = std::numeric_limits<int64_t>::max();
  constexpr int64_t kMin = std::numeric_limits<int64_t>::min();
  int64_t value = 0;
  for (std::size_t i = pos; i < end; ++i) {
    const int digit = text[i] - '0';
    if (negative) {
      if (value < (kMin + digit) / 10) return kMin;
      value = value * 10 - digit;
    } else {
      if (value > (kMax - digit) / 10) return kMax;
      value = value * 10 + digit;
    }
  }
  return value;
}

}  // namespace korvin
