#include "tables/number_format.h"
#include "tables/number_text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <string>

namespace korvin {
namespace {

// printf is the reference the formats were written for; the tests compare against it so that
// rounding, negative zero and the spellings of nan/inf stay what the screens always showed.
std::string Printf(const char* format, double value) {
  char buffer[512];
  std::snprintf(buffer, sizeof buffer, format, value);
  return buffer;
}

TEST(FormatDecimal, MatchesItsPrintfFormatForEveryCodeInTheTable) {
  const double values[] = {0.0,     -0.0, 0.5,    1.5,         2.5,   -2.5,     0.125,
                           -40.123, 1e-7, 123.45, 99999.995,   1e15,  -1e-300,  3.14159265,
                           0.05f,   2.3f, -0.04,  1234567.891, 1e300, 0.000015, 999.9999};
  for (std::size_t code = 0; code < DecimalFormats.size(); ++code) {
    const std::string format(DecimalFormats[code]);
    for (double value : values) {
      EXPECT_EQ(FormatDecimal(value, static_cast<uint8_t>(code)), Printf(format.c_str(), value))
          << format << " of " << value;
    }
  }
}

TEST(FormatDecimal, ExamplesFromTheScreens) {
  EXPECT_EQ(FormatDecimal(-40.123f, 2), "-40.12");
  EXPECT_EQ(FormatDecimal(12.0f, kAnalogueScalingDecimals), "12.000");
  EXPECT_EQ(FormatDecimal(-0.4f, 0), "-0");
}

TEST(FormatDecimal, CodeBeyondTheTableShowsFivePlaces) {
  for (int code : {6, 7, 10, 100, 255}) {
    EXPECT_EQ(DecimalPlaces(static_cast<uint8_t>(code)), 5) << code;
    EXPECT_EQ(FormatDecimal(1.0 / 3.0, static_cast<uint8_t>(code)), "0.33333") << code;
  }
}

TEST(FormatDecimal, NotANumberAndInfinityAsPrintfSpellsThem) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  for (double value : {nan, -nan, inf, -inf}) {
    EXPECT_EQ(FormatDecimal(value, 2), Printf("%0.2f", value));
  }
}

TEST(FormatFixed, PlacesOutsideTheUsualRange) {
  EXPECT_EQ(FormatFixed(2.5, -3), "2");
  EXPECT_EQ(FormatFixed(0.1, 20), Printf("%0.20f", 0.1));
  // The largest double in fixed notation with many places must still fit.
  const double biggest = std::numeric_limits<double>::max();
  EXPECT_EQ(FormatFixed(-biggest, 60), Printf("%0.60f", -biggest));
  EXPECT_EQ(FormatFixed(1.0, 1000), Printf("%0.60f", 1.0));
}

TEST(FormatInteger, MatchesPrintfWidthAndPrecision) {
  struct Case {
    int64_t value;
    int minDigits;
    int width;
    const char* expected;
  };
  const Case cases[] = {
      {601234, 8, 0, "00601234"},      // "%8.8d"
      {0, 8, 0, "00000000"},           //
      {123456789, 8, 0, "123456789"},  // longer than the precision: never cut
      {4294967295, 8, 0, "4294967295"},
      {20230415, 1, 8, "20230415"},  // "%8d"
      {415, 1, 8, "     415"},       //
      {0, 1, 8, "       0"},
      {-5, 3, 0, "-005"},
      {-5, 3, 6, "  -005"},
      {42, 1, 0, "42"},  // "%u"
      {std::numeric_limits<int64_t>::min(), 1, 0, "-9223372036854775808"},
      {std::numeric_limits<int64_t>::max(), 1, 0, "9223372036854775807"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FormatInteger(c.value, c.minDigits, c.width), c.expected) << c.value;
  }
}

TEST(ParseLeadingReal, LeadingNumberOfATypedText) {
  struct Case {
    const char* text;
    double expected;
  };
  const Case cases[] = {
      {"1.1", 1.1}, {"  -2.5abc", -2.5}, {"\t+7", 7.0},     {"5.", 5.0},
      {".5", 0.5},  {"-.25x", -0.25},    {"1e3", 1000.0},   {"1.5E-2", 0.015},
      {"2e", 2.0},  {"2e+", 2.0},        {"3e+2kg", 300.0}, {"1.2.3", 1.2},
      {"0.1", 0.1}, {"", 0.0},           {"abc", 0.0},      {"-", 0.0},
      {".", 0.0},   {"+.e5", 0.0},       {"x1", 0.0},       {"0x10", 0.0},
      {"nan", 0.0}, {"inf", 0.0},        {"1e-999", 0.0},   {"0.0001e-400", 0.0},
      {"1,5", 1.0}, {"2.3\r\n", 2.3},
  };
  for (const Case& c : cases) EXPECT_EQ(ParseLeadingReal(c.text), c.expected) << c.text;
  EXPECT_EQ(ParseLeadingReal("1e999"), std::numeric_limits<double>::infinity());
  EXPECT_EQ(ParseLeadingReal("-123456789e400"), -std::numeric_limits<double>::infinity());
  EXPECT_EQ(ParseLeadingReal("0.5e309"), std::numeric_limits<double>::infinity());
}

TEST(ParseLeadingInteger, LeadingDigitsOnly) {
  struct Case {
    const char* text;
    int64_t expected;
  };
  const Case cases[] = {
      {"42", 42},
      {"  -7 units", -7},
      {"+19200", 19200},
      {"3.9", 3},
      {"", 0},
      {"x5", 0},
      {"-", 0},
      {"99999999999999999999", std::numeric_limits<int64_t>::max()},
      {"-99999999999999999999", std::numeric_limits<int64_t>::min()},
      {"-9223372036854775808", std::numeric_limits<int64_t>::min()},
  };
  for (const Case& c : cases) EXPECT_EQ(ParseLeadingInteger(c.text), c.expected) << c.text;
}

}  // namespace
}  // namespace korvin
