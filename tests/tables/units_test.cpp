#include "tables/units.h"
#include "tables/measurement_lists.h"

#include <gtest/gtest.h>

#include <optional>
#include <string_view>

namespace korvin {
namespace {

TEST(UnitTable, HoldsEveryCodeUpTo120) {
  ASSERT_EQ(UnitTable.size(), 121u);
  for (std::string_view text : UnitTable) EXPECT_LT(text.size(), 12u);
}

TEST(UnitTable, TextByCode) {
  struct Case {
    unsigned code;
    std::string_view text;
  };
  const Case cases[] = {
      {0, ""},
      {1, "℃"},
      {2, "°F"},
      {3, "%RH"},
      {4, "℃ Td"},
      {5, "°F Td"},
      {6, "mg/kg"},
      {7, "mg/m3"},
      {9, "g/m3"},
      {30, "ppm[v]"},
      {31, "℃ Td atm"},
      {32, "°F Td atm"},
      {33, "Pa"},
      {38, "barg"},
      {39, "PSI"},
      {42, "uV"},
      {43, "KV"},
      {48, "m3/h av"},
      {55, "mg/m3 atm"},
      {56, "minute"},
      {92, "m3"},
      {100, "A"},
      {107, "kVA"},
      {108, " "},
      {109, "%"},
      {110, "ppm"},
      {113, "cn/2.83l"},
      {119, "t"},
      {120, "lb"},
      // Past the table: the empty entry, never a read beyond it.
      {121, ""},
      {200, ""},
      {255, ""},
      {65535, ""},
  };
  for (const Case& c : cases) EXPECT_EQ(UnitText(c.code), c.text) << "code " << c.code;
}

TEST(UnitLabels, ShortLabelsOnlyForAlternativeDewPointCodes) {
  struct Case {
    unsigned code;
    std::optional<std::string_view> label;
  };
  const Case cases[] = {
      {3, "%"},          {4, "℃ Td"},        {5, "°F Td"},        {7, "mg/m3"},
      {8, "g/kg"},       {9, "g/m3"},        {30, "ppm"},         {31, "℃ Td atm"},
      {32, "°F Td atm"}, {0, std::nullopt},  {1, std::nullopt},   {2, std::nullopt},
      {6, std::nullopt}, {38, std::nullopt}, {108, std::nullopt}, {255, std::nullopt},
  };
  for (const Case& c : cases) EXPECT_EQ(ShortUnitLabel(c.code), c.label) << "code " << c.code;
}

TEST(UnitLabels, DegreeSignsAreUtf8) {
  // Code page 936 would be A1 E6 and A1 E3; inside the program the texts are UTF-8.
  EXPECT_EQ(TemperatureLabel(false), "\xE2\x84\x83");
  EXPECT_EQ(TemperatureLabel(true),
            "\xC2\xB0"
            "F");
}

TEST(UnitLabels, TemperatureDewPointAndPressure) {
  EXPECT_EQ(TemperatureLabel(false), "℃");
  EXPECT_EQ(TemperatureLabel(true), "°F");
  EXPECT_EQ(DewPointLabel(false), "℃ Td");
  EXPECT_EQ(DewPointLabel(true), "°F Td");

  EXPECT_EQ(PressureUnitLabel(0x24), "MPa");
  EXPECT_EQ(PressureUnitLabel(0x26), "barg");
  EXPECT_EQ(PressureUnitLabel(0x27), "PSI");
  for (uint8_t bad : {0x00, 0x25, 0x28, 0x33, 0xFF}) {
    EXPECT_EQ(PressureUnitLabel(bad), std::nullopt) << int{bad};
  }
}

TEST(AltDewPointList, NamesInListOrder) {
  ASSERT_EQ(AltDewPointNames.size(), 7u);
  EXPECT_EQ(AltDewPointNames[0], "Relative humidity [%rH]");
  EXPECT_EQ(AltDewPointNames[4], "Absolute humidity [mg/m3]");
  EXPECT_EQ(AltDewPointNames[6], "Atoms. dew point");
  ASSERT_EQ(MeasurementNames.size(), 6u);
  EXPECT_EQ(MeasurementNames[1], "Dewpoint");
  EXPECT_EQ(MeasurementNames[5], "Atoms. dewpoint");
}

TEST(AltDewPointList, PositionOfEveryUnitCode) {
  for (int code = 0; code <= 255; ++code) {
    std::optional<int> expected = 0;
    switch (code) {
      case 1:
      case 2:
      case 38:
        expected = std::nullopt;
        break;
      case 4:
      case 5:
        expected = 1;
        break;
      case 9:
        expected = 2;
        break;
      case 8:
        expected = 3;
        break;
      case 7:
        expected = 4;
        break;
      case 30:
        expected = 5;
        break;
      case 31:
      case 32:
        expected = 6;
        break;
    }
    EXPECT_EQ(AltDewPointPosition(static_cast<uint8_t>(code)), expected) << "code " << code;
  }
}

TEST(AltDewPointList, UnitCodeOfEveryPosition) {
  struct Case {
    int position;
    std::optional<uint8_t> celsius;
    std::optional<uint8_t> fahrenheit;
  };
  const Case cases[] = {
      {0, 3, 3},
      {1, 4, 5},
      {2, 9, 9},
      {3, 8, 8},
      {4, 7, 7},
      {5, 30, 30},
      {6, 31, 32},
      {-1, std::nullopt, std::nullopt},
      {7, std::nullopt, std::nullopt},
      {8, std::nullopt, std::nullopt},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(AltDewPointUnitCode(c.position, false), c.celsius) << "position " << c.position;
    EXPECT_EQ(AltDewPointUnitCode(c.position, true), c.fahrenheit) << "position " << c.position;
  }
}

TEST(AltDewPointList, PositionSurvivesTheRoundTripInBothTemperatureUnits) {
  for (int position = 0; position < static_cast<int>(AltDewPointNames.size()); ++position) {
    for (bool fahrenheit : {false, true}) {
      const std::optional<uint8_t> code = AltDewPointUnitCode(position, fahrenheit);
      ASSERT_TRUE(code.has_value());
      EXPECT_EQ(AltDewPointPosition(*code), position);
      EXPECT_TRUE(ShortUnitLabel(*code).has_value()) << "code " << int{*code};
    }
  }
}

}  // namespace
}  // namespace korvin
