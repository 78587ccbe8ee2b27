#include "sim/sensor_defaults.h"

#include <gtest/gtest.h>

#include <set>

#include "protocol/commands.h"
#include "sim/live_values.h"

namespace korvin::sim {
namespace {

// The device types the tool knows, with the element set and interfaces it derives from the
// type code. A fresh virtual sensor of each type must agree, or the tool and the sensor would
// disagree about what the sensor has.
struct Known {
  uint16_t type;
  int elementSet;
  uint8_t interfaces;
  bool pressureSensor;
  float dac1;
  float dac2;
};
constexpr uint8_t kSdiMa = kInterfaceSdi | kInterfaceAnalogue;
constexpr uint8_t kModbusMa = kInterfaceModbus | kInterfaceAnalogue;
constexpr Known kKnown[] = {
    {0x1024, 0, kSdiMa, false, 3200, 12800},    {0x1028, 0, kSdiMa, false, 3200, 12800},
    {0x1030, 2, kModbusMa, true, 3200, 12800},  {0x1032, 2, kSdiMa, false, 3200, 12800},
    {0x1033, 2, kSdiMa, false, 3200, 12800},    {0x1034, 0, kSdiMa, false, 3200, 12800},
    {0x1035, 0, kModbusMa, false, 1300, 6500},  {0x1037, 2, kModbusMa, false, 1300, 6500},
    {0x1038, 0, kInterfaceIoLink, false, 0, 0}, {0x103A, 0, kModbusMa, false, 3200, 12800},
    {0x103B, 0, kSdiMa, false, 3200, 12800},    {0x1083, 2, kInterfaceModbus, true, 0, 0},
    {0x1085, 0, kInterfaceModbus, false, 0, 0}, {0x1400, 0, kInterfaceModbus, false, 0, 0},
};

TEST(SensorDefaults, EveryKnownTypeMatchesTheToolsDeviceTable) {
  ASSERT_EQ(DeviceTypeTable().size(), std::size(kKnown));
  std::set<uint32_t> serials;
  for (const Known& k : kKnown) {
    SCOPED_TRACE(k.type);
    const SensorState s = MakeDefaultState(k.type);
    EXPECT_EQ(s.deviceType, k.type);
    EXPECT_EQ(s.elementSet, k.elementSet);
    EXPECT_EQ(s.interfaces, k.interfaces);
    EXPECT_EQ(s.HasPressureSensor(), k.pressureSensor);
    EXPECT_EQ((s.sensorOptions & kOptionPressureData) != 0, k.pressureSensor);
    EXPECT_LE(s.deviceName.size(), kDeviceNameSize);
    EXPECT_FALSE(s.deviceName.empty());
    EXPECT_TRUE(serials.insert(s.serialNumber).second) << "serial numbers must differ";

    // Factory data exists exactly for the elements the sensor has.
    EXPECT_EQ(s.factory.k5Count, s.HasK5() ? kK5Points : 0u);
    EXPECT_EQ(s.factory.qcmCount, s.HasQcm() ? kQcmPoints : 0u);
    // Every QCM point has its temperature but the last, an empty slot at exactly 0.0.
    for (size_t i = 0; i < s.factory.qcmCount; ++i)
      EXPECT_EQ(s.factory.qcmRecords[i].temperature == 0.0f, i + 1 == kQcmPoints) << i;
    for (size_t i = 0; i < s.factory.k5Count; ++i) {
      EXPECT_GT(GetFloat(s.factory.k5Points[i].data() + k5point::kRefAdc), 0.0f);
    }

    // The analogue calibration record carries the DAC points the calibration dialog uses.
    EXPECT_EQ(GetFloat(s.analogueCalibration.data() + analogue::kDac1), k.dac1);
    EXPECT_EQ(GetFloat(s.analogueCalibration.data() + analogue::kDac2), k.dac2);
    if ((k.interfaces & kInterfaceAnalogue) != 0) {
      const float i1 = GetFloat(s.analogueCalibration.data() + analogue::kCurrent1);
      const float i2 = GetFloat(s.analogueCalibration.data() + analogue::kCurrent2);
      EXPECT_GE(i2 - i1, 10.0f);
      EXPECT_EQ(GetFloat(s.analogueCalibration.data() + analogue::kValueAt20mA), s.valueAt20mA);
    }

    // A sensor whose information screen would refuse its state is no use for training.
    EXPECT_EQ(s.autoOffsetMode, 1);
    EXPECT_TRUE(s.units[kUnitPressure] == unit::kBarg);
    EXPECT_LT(s.boundaries[1], s.boundaries[0]);
    EXPECT_LT(s.process.dewPointC, s.process.temperatureC);
    EXPECT_EQ(s.userCalibration.maxPoints, kUserCalibrationPoints);
    EXPECT_EQ(AutomationDateToNumber(s.calibrationDate), s.calibrationDateNumber);
  }
}

TEST(SensorDefaults, AnyOtherTypeIsAQcmSensorWithoutInterfaces) {
  for (uint16_t type : {0x0000, 0x1031, 0xFFFF}) {
    const SensorState s = MakeDefaultState(type);
    EXPECT_EQ(s.deviceType, type);
    EXPECT_EQ(s.elementSet, kElementQcm);
    EXPECT_EQ(s.interfaces, 0);
    EXPECT_FALSE(s.HasPressureSensor());
  }
}

TEST(SensorDefaults, AutomationDatesBecomeCalendarDigits) {
  EXPECT_EQ(AutomationDateToNumber(45000.0), 20230315u);
  EXPECT_EQ(AutomationDateToNumber(45322.75), 20240131u);
  EXPECT_EQ(AutomationDateToNumber(60.0), 19000228u);
  EXPECT_EQ(AutomationDateToNumber(45351.0), 20240229u);
  EXPECT_EQ(AutomationDateToNumber(1.0), 18991231u);
}

}  // namespace
}  // namespace korvin::sim
