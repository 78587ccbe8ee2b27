#include "tables/option_lists.h"
#include "tables/number_text.h"

#include <gtest/gtest.h>

#include <string>

namespace korvin {
namespace {

TEST(OptionLists, ComPortsAreCom1ToCom9) {
  ASSERT_EQ(kComPortNames.size(), 9u);
  for (std::size_t i = 0; i < kComPortNames.size(); ++i) {
    EXPECT_EQ(kComPortNames[i], "COM" + std::to_string(i + 1));
  }
}

TEST(OptionLists, InterfaceSpaceIsEveryNumberFrom7To50) {
  ASSERT_EQ(kInterfaceSpaceNames.size(), 44u);
  for (std::size_t i = 0; i < kInterfaceSpaceNames.size(); ++i) {
    EXPECT_EQ(kInterfaceSpaceNames[i], std::to_string(7 + i));
  }
}

TEST(OptionLists, ModbusListsAndCertificateTextsAgree) {
  ASSERT_EQ(kModbusBaudRateNames.size(), kFieldbusBaudRateTexts.size());
  for (std::size_t i = 0; i < kModbusBaudRateNames.size(); ++i) {
    EXPECT_EQ(kModbusBaudRateNames[i], kFieldbusBaudRateTexts[i]);
    if (i > 0) {
      EXPECT_EQ(ParseLeadingInteger(kModbusBaudRateNames[i]) % 1200, 0) << i;
      EXPECT_GT(ParseLeadingInteger(kModbusBaudRateNames[i]),
                ParseLeadingInteger(kModbusBaudRateNames[i - 1]));
    }
  }
  ASSERT_EQ(kModbusFramingNames.size(), kFieldbusFramingTexts.size());
  for (std::size_t i = 0; i < kModbusFramingNames.size(); ++i) {
    std::string squeezed(kModbusFramingNames[i]);
    std::erase(squeezed, ' ');
    EXPECT_EQ(squeezed, kFieldbusFramingTexts[i]);
  }
  EXPECT_EQ(kModbusFramingNames[0], "8, E, 1");
  EXPECT_EQ(kFieldbusFramingTexts[3], "8,N,1");
}

TEST(OptionLists, CertificateTextsForIndexesTheSensorShouldNotSend) {
  EXPECT_EQ(FieldbusBaudRateText(0), "1200");
  EXPECT_EQ(FieldbusBaudRateText(7), "115200");
  EXPECT_EQ(FieldbusFramingText(2), "8,N,2");
  for (int bad : {-1, 8, 100, 65535}) EXPECT_EQ(FieldbusBaudRateText(bad), "") << bad;
  for (int bad : {-1, 4, 65535}) EXPECT_EQ(FieldbusFramingText(bad), "") << bad;
}

TEST(OptionLists, PressureUnitPositionsBothWays) {
  struct Case {
    int position;
    uint8_t code;
    const char* name;
  };
  const Case cases[] = {{0, 0x26, "barg"}, {1, 0x24, "MPa"}, {2, 0x27, "PSI"}};
  for (const Case& c : cases) {
    EXPECT_EQ(PressureUnitCode(c.position), c.code);
    EXPECT_EQ(PressureUnitPosition(c.code), c.position);
    EXPECT_EQ(kPressureUnitNames[static_cast<std::size_t>(c.position)], c.name);
  }
  EXPECT_EQ(PressureUnitCode(-1), std::nullopt);
  EXPECT_EQ(PressureUnitCode(3), std::nullopt);
  EXPECT_EQ(PressureUnitPosition(0), std::nullopt);
  EXPECT_EQ(PressureUnitPosition(0x25), std::nullopt);
  EXPECT_EQ(kGasTypeNames[0], "Air/N2/O2/Ar");
  EXPECT_EQ(kGasTypeNames[1], "CO2");
}

}  // namespace
}  // namespace korvin
