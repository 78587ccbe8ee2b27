#include "device/identity.h"
#include "device/device_types.h"

#include <gtest/gtest.h>

#include <limits>
#include <optional>
#include <string>

namespace korvin {
namespace {

constexpr uint16_t kUnknownType = 0x2222;

// A record as the connect sequence leaves it for a Modbus sensor with analogue output and a
// pressure sensor, in ℃ with a dew point as the alternative value.
DeviceRecord MakeRecord(uint16_t deviceType) {
  DeviceRecord record;
  record.deviceType = deviceType;
  ApplyDeviceType(record);
  record.altDewPointUnit = 4;
  record.sensorOptions = kOptionPressureSensor;
  record.pressureUnit = '&';
  record.firmwareVersion = 2.3f;
  record.hardwareVersion = 1.05f;
  record.serialNumber = 1234;
  record.itemNumber = 601234;
  record.calibrationDate = 45306.0;  // 15 January 2024
  record.calibrationDateNumber = 20240131;
  record.valueAt4mA = -60.0f;
  record.valueAt20mA = 20.0f;
  return record;
}

TEST(DeviceTypes, EveryRowOfTheTable) {
  struct Row {
    uint16_t code;
    int elementSet;
    uint8_t interfaces;
    std::optional<int> picture;
    std::string_view key;
  };
  const std::string_view d810 = "ROVA_FIRMWARE/D810 relaunch/FW_D810_";
  const std::string_view d720io = "ROVA_FIRMWARE/D 720/FW_D720-IOLINK_";
  const std::string_view d830 = "ROVA_FIRMWARE/D 830/FW_D830_";
  const std::string_view d850 = "ROVA_FIRMWARE/D850 sensor/FW_D850_";
  const Row rows[] = {
      {0x1024, 0, 0x18, 178, d810},   {0x1028, 0, 0x18, 178, d810},
      {0x1030, 2, 0x11, 178, d810},   {0x1032, 2, 0x18, 178, d810},
      {0x1033, 2, 0x18, 178, d810},   {0x1034, 0, 0x18, 177, d720io},
      {0x1035, 0, 0x11, 179, d830},   {0x1037, 2, 0x11, 179, d830},
      {0x1038, 0, 0x04, 177, d720io}, {0x103A, 0, 0x11, 178, d810},
      {0x103B, 0, 0x18, 177, d720io}, {0x1083, 2, 0x01, 180, d850},
      {0x1085, 0, 0x01, 180, d850},   {0x1400, 0, 0x01, 177, "ROVA_FIRMWARE/D 720/FW_D720-M_"},
  };
  for (const Row& row : rows) {
    DeviceRecord record;
    record.deviceType = row.code;
    ApplyDeviceType(record);
    EXPECT_EQ(record.elementSet, row.elementSet) << std::hex << row.code;
    EXPECT_EQ(record.interfaces, row.interfaces) << std::hex << row.code;
    EXPECT_EQ(DevicePicture(row.code), row.picture) << std::hex << row.code;
    EXPECT_EQ(FirmwareSearchKey(row.code), row.key) << std::hex << row.code;
    EXPECT_EQ(record.interfaces & kInterfaceMBus, 0) << "no type is an M-Bus sensor";
  }
}

TEST(DeviceTypes, UnknownTypeIsAQcmSensorWithoutInterfacesPictureOrKey) {
  for (uint16_t code :
       {uint16_t{0}, uint16_t{0x1000}, uint16_t{0x1036}, kUnknownType, uint16_t{0xFFFF}}) {
    DeviceRecord record;
    record.deviceType = code;
    ApplyDeviceType(record);
    EXPECT_EQ(record.elementSet, 1) << std::hex << code;
    EXPECT_EQ(record.interfaces, 0) << std::hex << code;
    EXPECT_EQ(DevicePicture(code), std::nullopt) << std::hex << code;
    EXPECT_EQ(FirmwareSearchKey(code), std::nullopt) << std::hex << code;
  }
}

TEST(DeviceTypes, RulesOfSingleTypes) {
  for (const DeviceTypeInfo& info : kDeviceTypes) {
    const uint16_t c = info.code;
    EXPECT_EQ(SkipsSensorOptions(c), c == 0x1035 || c == 0x1037 || c == 0x1400) << std::hex << c;
    EXPECT_EQ(UsesCalibrationDateNumber(c), c == 0x1400) << std::hex << c;
    EXPECT_EQ(ShowsItemNumberWithPrefixA(c), c == 0x1083 || c == 0x1085) << std::hex << c;
  }
  EXPECT_FALSE(SkipsSensorOptions(kUnknownType));
  EXPECT_FALSE(UsesCalibrationDateNumber(kUnknownType));
  EXPECT_FALSE(ShowsItemNumberWithPrefixA(kUnknownType));
}

TEST(IdentityFormats, ItemNumbers) {
  struct Case {
    uint32_t item;
    uint16_t deviceType;
    const char* expected;
  };
  const Case cases[] = {
      {601234, 0x1030, "S060 1234"},
      {0, 0x1030, "S000 0000"},
      {0, 0x1083, "A00000000"},
      {0, 0x1085, "A00000000"},
      {601234, 0x1085, "A00601234"},
      {12345678, 0x1030, "1234 5678"},
      {12345678, kUnknownType, "1234 5678"},
      {123456789, 0x1030, "1234 56789"},    // more than eight digits: nothing is cut
      {4294967295, 0x1030, "4294 967295"},  // unsigned, never "-1"
      {70000000, 0x1400, "7000 0000"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FormatItemNumber(c.item, c.deviceType), c.expected) << c.item;
  }
}

TEST(IdentityFormats, SerialNumbers) {
  EXPECT_EQ(FormatSerialNumber(1234), "00001234");
  EXPECT_EQ(FormatSerialNumber(0), "00000000");
  EXPECT_EQ(FormatSerialNumber(87654321), "87654321");
  EXPECT_EQ(FormatSerialNumber(4000000000u), "4000000000");
}

TEST(IdentityFormats, CalibrationDates) {
  // The date number is only rearranged; its digits are not checked.
  EXPECT_EQ(FormatCalibrationDateNumber(20240131), "01.31.2024");
  EXPECT_EQ(FormatCalibrationDateNumber(20230415), "04.15.2023");
  EXPECT_EQ(FormatCalibrationDateNumber(19991301), "13.01.1999");
  EXPECT_EQ(FormatCalibrationDateNumber(415), " 4.15.    ");
  EXPECT_EQ(FormatCalibrationDateNumber(123456789), "67.89.1234");

  EXPECT_EQ(FormatCalibrationDate(45306.0), "01.15.2024");
  EXPECT_EQ(FormatCalibrationDate(45306.75), "01.15.2024");
  EXPECT_EQ(FormatCalibrationDate(45031.0), "04.15.2023");
  EXPECT_EQ(FormatCalibrationDate(0.0), "12.30.1899");
  EXPECT_EQ(FormatCalibrationDate(60.0), "02.28.1900");
  EXPECT_EQ(FormatCalibrationDate(61.0), "03.01.1900");
  // Not a date at all: nothing rather than a made-up date.
  EXPECT_EQ(FormatCalibrationDate(std::numeric_limits<double>::quiet_NaN()), "");
  EXPECT_EQ(FormatCalibrationDate(1e300), "");
  EXPECT_EQ(FormatCalibrationDate(-1e9), "");
}

TEST(IdentityFormats, CalibrationDateFollowsTheDeviceType) {
  DeviceRecord record = MakeRecord(0x1400);
  EXPECT_EQ(FormatIdentity(record).calibrationDate, "01.31.2024");
  record = MakeRecord(0x1030);
  EXPECT_EQ(FormatIdentity(record).calibrationDate, "01.15.2024");
}

TEST(ShowIdentity, ModbusSensorWithAnalogueOutputAndPressure) {
  const IdentityTexts texts = FormatIdentity(MakeRecord(0x1030));
  EXPECT_EQ(texts.firmware, "2.3");
  EXPECT_EQ(texts.hardware, "1.05");
  EXPECT_EQ(texts.serial, "00001234");
  EXPECT_EQ(texts.item, "S060 1234");
  EXPECT_EQ(texts.at4mA, "-60.000");
  EXPECT_EQ(texts.at20mA, "20.000");
  EXPECT_EQ(texts.analogueUnit, "℃ Td");
  EXPECT_EQ(texts.temperatureLabel, "℃");
  EXPECT_EQ(texts.dewPointLabel, "℃ Td");
  EXPECT_EQ(texts.altDewPointLabel, "℃ Td");
  EXPECT_EQ(texts.pressureLabel, "barg");
  EXPECT_FALSE(texts.invalidPressureUnit);
  EXPECT_EQ(texts.picture, 178);
}

TEST(ShowIdentity, IoLinkSensorEmptiesTheAnalogueFields) {
  DeviceRecord record = MakeRecord(0x1038);
  record.valueAt4mA = 5.0f;  // stale values from an earlier sensor must not show
  const IdentityTexts texts = FormatIdentity(record);
  EXPECT_EQ(texts.at4mA, "");
  EXPECT_EQ(texts.at20mA, "");
  EXPECT_EQ(texts.analogueUnit, "");
  EXPECT_EQ(texts.altDewPointLabel, "℃ Td");
  EXPECT_EQ(texts.picture, 177);
}

TEST(ShowIdentity, UnknownTypeKeepsPictureAndAnalogueFieldsAreEmpty) {
  const IdentityTexts texts = FormatIdentity(MakeRecord(kUnknownType));
  EXPECT_EQ(texts.picture, std::nullopt);
  EXPECT_EQ(texts.analogueUnit, "");
  EXPECT_EQ(texts.at4mA, "");
}

TEST(ShowIdentity, UnitLabelsByUnitCodes) {
  struct Case {
    bool fahrenheit;
    uint8_t altUnit;
    const char* temperature;
    const char* dewPoint;
    std::optional<std::string> altLabel;  // nullopt: the window keeps its text
  };
  const Case cases[] = {
      {false, 3, "℃", "℃ Td", "%"},           {true, 5, "°F", "°F Td", "°F Td"},
      {true, 32, "°F", "°F Td", "°F Td atm"}, {false, 30, "℃", "℃ Td", "ppm"},
      {false, 9, "℃", "℃ Td", "g/m3"},        {false, 1, "℃", "℃ Td", std::nullopt},
      {true, 2, "°F", "°F Td", std::nullopt}, {false, 38, "℃", "℃ Td", std::nullopt},
      {false, 0, "℃", "℃ Td", std::nullopt},  {false, 200, "℃", "℃ Td", std::nullopt},
  };
  for (const Case& c : cases) {
    DeviceRecord record = MakeRecord(0x1030);
    record.fahrenheit = c.fahrenheit;
    record.altDewPointUnit = c.altUnit;
    const IdentityTexts texts = FormatIdentity(record);
    EXPECT_EQ(texts.temperatureLabel, c.temperature) << int{c.altUnit};
    EXPECT_EQ(texts.dewPointLabel, c.dewPoint) << int{c.altUnit};
    EXPECT_EQ(texts.altDewPointLabel, c.altLabel) << int{c.altUnit};
    // With analogue output the "Unit:" field follows the same rule.
    EXPECT_EQ(texts.analogueUnit, c.altLabel) << int{c.altUnit};
  }
}

TEST(ShowIdentity, PressureLabels) {
  struct Case {
    uint8_t options;
    uint8_t pressureUnit;
    std::optional<std::string> label;
    bool invalid;
  };
  const Case cases[] = {
      {kOptionPressureSensor, '$', "MPa", false},
      {kOptionPressureSensor, '&', "barg", false},
      {kOptionPressureSensor, '\'', "PSI", false},
      {kOptionPressureSensor | 0x01, '\'', "PSI", false},
      {kOptionPressureSensor, 0, "barg", true},
      {kOptionPressureSensor, 38, "barg", false},  // 38 is '&'
      {kOptionPressureSensor, '%', "barg", true},
      {kOptionPressureSensor, 0xFF, "barg", true},
      // Without a pressure sensor the code is not looked at and the label stays as it was.
      {0, 0, std::nullopt, false},
      {0x03, 0xFF, std::nullopt, false},
  };
  for (const Case& c : cases) {
    DeviceRecord record = MakeRecord(0x1030);
    record.sensorOptions = c.options;
    record.pressureUnit = c.pressureUnit;
    const IdentityTexts texts = FormatIdentity(record);
    EXPECT_EQ(texts.pressureLabel, c.label) << int{c.pressureUnit};
    EXPECT_EQ(texts.invalidPressureUnit, c.invalid) << int{c.pressureUnit};
  }
  EXPECT_EQ(kInvalidPressureUnitMessage, "Invalid pressure unit");
}

TEST(ShowIdentity, VersionsRoundAsPrintfDoes) {
  DeviceRecord record = MakeRecord(0x1030);
  record.firmwareVersion = 25 * 0.1f;
  record.hardwareVersion = 199 * 0.01f;
  const IdentityTexts texts = FormatIdentity(record);
  EXPECT_EQ(texts.firmware, "2.5");
  EXPECT_EQ(texts.hardware, "1.99");
  EXPECT_EQ(FormatIdentity(DeviceRecord{}).firmware, "0.0");
  EXPECT_EQ(FormatIdentity(DeviceRecord{}).hardware, "0.00");
}

}  // namespace
}  // namespace korvin
