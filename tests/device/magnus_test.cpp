#include "device/magnus.h"
#include "device/automation_date.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace korvin {
namespace {

TEST(VapourPressureToDewPoint, KnownPoints) {
  struct Case {
    double hPa;
    double dewPoint;
  };
  const Case cases[] = {
      // Saturation pressures over water and over ice from the usual tables.
      {6.112, 0.0},  {12.28, 10.0}, {23.39, 20.0},   {73.8, 40.0},
      {1.0, -20.33}, {0.1, -42.2},  {0.0108, -60.0},
  };
  for (const Case& c : cases) {
    const std::optional<double> td = VapourPressureToDewPoint(c.hPa);
    ASSERT_TRUE(td.has_value()) << c.hPa;
    EXPECT_NEAR(*td, c.dewPoint, 0.1) << c.hPa;
  }
}

TEST(VapourPressureToDewPoint, ExactFormulaOnBothSidesOfTheSwitch) {
  const auto water = [](double e) {
    const double y = std::log(e / 6.112);
    return 243.12 * y / (17.62 - y);
  };
  const auto ice = [](double e) {
    const double y = std::log(e / 6.112);
    return 272.62 * y / (22.46 - y);
  };
  // 6.108 itself is ice; everything above, even below the base 6.112, is water.
  for (double e : {0.001, 1.0, 6.0, 6.108}) EXPECT_DOUBLE_EQ(*VapourPressureToDewPoint(e), ice(e));
  for (double e : {6.1080001, 6.11, 6.112, 6.2, 100.0, 1000.0}) {
    EXPECT_DOUBLE_EQ(*VapourPressureToDewPoint(e), water(e)) << e;
  }
  // Between the switch and the base the water branch gives a dew point just below zero.
  EXPECT_LT(*VapourPressureToDewPoint(6.11), 0.0);
  EXPECT_GT(*VapourPressureToDewPoint(6.11), -0.1);
}

TEST(VapourPressureToDewPoint, NoDewPointWithoutALogarithm) {
  EXPECT_EQ(VapourPressureToDewPoint(0.0), std::nullopt);
  EXPECT_EQ(VapourPressureToDewPoint(-1.0), std::nullopt);
  EXPECT_EQ(VapourPressureToDewPoint(std::numeric_limits<double>::quiet_NaN()), std::nullopt);
}

TEST(HumidityToDewPointMagnus, KnownPoints) {
  struct Case {
    double temperature;
    double humidity;
    double dewPoint;
    double tolerance;
  };
  const Case cases[] = {
      {20.0, 100.0, 20.0, 1e-9},  // saturated air: dew point = temperature
      {0.0, 100.0, 0.0, 1e-9},
      {-10.0, 100.0, -10.0, 1e-9},  // over ice on both sides
      {25.0, 50.0, 13.85, 0.05},
      {20.0, 10.0, -11.21, 0.01},  // below 6.108 hPa the ice branch takes over
      {-20.0, 50.0, -27.02, 0.01},
  };
  for (const Case& c : cases) {
    EXPECT_NEAR(HumidityToDewPointMagnus(c.temperature, c.humidity), c.dewPoint, c.tolerance)
        << c.temperature << " ℃, " << c.humidity << " %";
  }
}

TEST(HumidityToDewPointMagnus, DryAirIsHeldAtTheLowestVapourPressure) {
  const double floor = *VapourPressureToDewPoint(1.3e-7);
  EXPECT_NEAR(floor, -120.02, 0.01);
  EXPECT_DOUBLE_EQ(HumidityToDewPointMagnus(20.0, 0.0), floor);
  EXPECT_DOUBLE_EQ(HumidityToDewPointMagnus(-40.0, -5.0), floor);
  EXPECT_GT(HumidityToDewPointMagnus(20.0, 1e-3), floor);
  EXPECT_TRUE(std::isnan(HumidityToDewPointMagnus(std::nan(""), 50.0)));
}

TEST(AutomationDate, CalendarDates) {
  struct Case {
    double value;
    CalendarDate date;
  };
  const Case cases[] = {
      {0.0, {1899, 12, 30}},
      {1.0, {1899, 12, 31}},
      {2.0, {1900, 1, 1}},
      {60.0, {1900, 2, 28}},
      {61.0, {1900, 3, 1}},
      {36526.0, {2000, 1, 1}},
      {45000.0, {2023, 3, 15}},
      {45351.0, {2024, 2, 29}},
      {45306.5, {2024, 1, 15}},
      {45306.99999, {2024, 1, 15}},
      {45306.999999999, {2024, 1, 16}},  // rounds to midnight of the next day
      {-1.0, {1899, 12, 29}},
      {-1.25, {1899, 12, 29}},  // before the epoch the fraction still counts forward
      {-657434.0, {100, 1, 1}},
      {2958465.0, {9999, 12, 31}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(AutomationDateToCalendar(c.value), c.date) << c.value;
  }
  for (double bad : {-657435.0, 2958466.0, 1e300, -1e300, std::numeric_limits<double>::infinity(),
                     std::numeric_limits<double>::quiet_NaN()}) {
    EXPECT_EQ(AutomationDateToCalendar(bad), std::nullopt) << bad;
  }
}

TEST(AutomationDate, RoundTripFromTheCalendar) {
  for (double value : {0.0, 2.0, 45000.0, 45351.0, -5000.0, 2958465.0}) {
    const std::optional<CalendarDate> date = AutomationDateToCalendar(value);
    ASSERT_TRUE(date.has_value());
    EXPECT_EQ(CalendarToAutomationDate(*date), value);
  }
}

}  // namespace
}  // namespace korvin
