#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace korvin::sim {

// Sensing elements of a device type.
inline constexpr int kElementK5 = 0;
inline constexpr int kElementQcm = 1;
inline constexpr int kElementBoth = 2;

// Interface flags of a device type.
inline constexpr uint8_t kInterfaceModbus = 0x01;
inline constexpr uint8_t kInterfaceMBus = 0x02;
inline constexpr uint8_t kInterfaceIoLink = 0x04;
inline constexpr uint8_t kInterfaceSdi = 0x08;
inline constexpr uint8_t kInterfaceAnalogue = 0x10;

// Sensor option bits. A sensor with a pressure sensor also keeps pressure calibration data.
inline constexpr uint8_t kOptionPressureData = 0x01;
inline constexpr uint8_t kOptionPressureSensor = 0x04;

// Unit codes the sensor understands.
namespace unit {
inline constexpr uint8_t kCelsius = 1;
inline constexpr uint8_t kFahrenheit = 2;
inline constexpr uint8_t kRelativeHumidity = 3;
inline constexpr uint8_t kDewPointC = 4;
inline constexpr uint8_t kDewPointF = 5;
inline constexpr uint8_t kAbsoluteMgM3 = 7;
inline constexpr uint8_t kMixingRatioGKg = 8;
inline constexpr uint8_t kAbsoluteGM3 = 9;
inline constexpr uint8_t kPpmV = 30;
inline constexpr uint8_t kAtmDewPointC = 31;
inline constexpr uint8_t kAtmDewPointF = 32;
inline constexpr uint8_t kMpa = 0x24;   // '$'
inline constexpr uint8_t kBarg = 0x26;  // '&'
inline constexpr uint8_t kPsi = 0x27;   // '''
inline constexpr uint8_t kTableSize = 121;
}  // namespace unit

// Indexes of ReadUnit / WriteUnit.
inline constexpr size_t kUnitAlternative = 0;
inline constexpr size_t kUnitTemperature = 1;
inline constexpr size_t kUnitPressure = 2;
inline constexpr size_t kUnitCount = 3;

// Offset indexes: factory and user offsets of the polymer (in %rH) and the QCM element (in ℃ Td).
inline constexpr size_t kOffsetK5Factory = 0;
inline constexpr size_t kOffsetK5User = 1;
inline constexpr size_t kOffsetQcmFactory = 2;
inline constexpr size_t kOffsetQcmUser = 3;
inline constexpr size_t kOffsetCount = 4;

// Measurement channels of ReadMeasurements.
inline constexpr size_t kChannelTemperature = 0;
inline constexpr size_t kChannelAlternative = 1;
inline constexpr size_t kChannelDewPoint = 2;
inline constexpr size_t kChannelPressure = 3;
inline constexpr size_t kChannelCount = 4;

inline constexpr size_t kTemperatureValueCount = 7;
inline constexpr size_t kTemperatureValueUserOffset = 6;
inline constexpr size_t kRandomValueCount = 4;
inline constexpr size_t kAutoOffsetSettingCount = 4;

inline constexpr size_t kUserCalibrationPoints = 10;
inline constexpr size_t kUserCalibrationSegments = kUserCalibrationPoints - 1;
inline constexpr uint8_t kUserCalibrationEnabled = 0x01;

inline constexpr size_t kK5Points = 6;
inline constexpr size_t kQcmPoints = 10;
inline constexpr size_t kK5PointSize = 24;
inline constexpr size_t kCompensationSize = 17;
inline constexpr size_t kModbusSettingsSize = 22;
inline constexpr size_t kAnalogueCalibrationSize = 37;
inline constexpr size_t kPressureDataSize = 24;
inline constexpr size_t kFirmwareSize = 8;
inline constexpr size_t kFirmwareVersionByte = 3;
inline constexpr size_t kDeviceNameSize = 16;

// Byte positions inside the records the sensor keeps as they go over the wire.
namespace compensation {
inline constexpr size_t kEnable = 0;
inline constexpr size_t kStaticPressure = 1;
inline constexpr size_t kCoeffMinus70 = 5;
inline constexpr size_t kCoeffMinus40 = 9;
inline constexpr size_t kCoeffMinus95 = 13;
}  // namespace compensation

namespace modbus {
inline constexpr size_t kAddress = 0;
inline constexpr size_t kBaud = 2;
inline constexpr size_t kBaudIndex = 6;
inline constexpr size_t kFramingIndex = 8;
inline constexpr size_t kResponseTimeout = 10;
inline constexpr size_t kResponseDelay = 12;
inline constexpr size_t kSpaceUs = 14;
inline constexpr size_t kSpaceChars = 18;
inline constexpr size_t kMode = 20;
}  // namespace modbus

namespace analogue {
inline constexpr size_t kA1 = 5;
inline constexpr size_t kA0 = 9;
inline constexpr size_t kValueAt4mA = 13;
inline constexpr size_t kValueAt20mA = 17;
inline constexpr size_t kCurrent1 = 21;
inline constexpr size_t kCurrent2 = 25;
inline constexpr size_t kDac1 = 29;
inline constexpr size_t kDac2 = 33;
}  // namespace analogue

namespace k5point {
inline constexpr size_t kOmega = 0;
inline constexpr size_t kX = 4;
inline constexpr size_t kSensorRaw = 8;
inline constexpr size_t kRefAdc = 12;
}  // namespace k5point

namespace pressuredata {
inline constexpr size_t kReference = 0;
inline constexpr size_t kMeasured = 4;
inline constexpr size_t kZeroRaw = 8;
inline constexpr size_t kSpanRaw = 12;
}  // namespace pressuredata

struct CoefficientPair {
  float a1 = 1.0f;
  float a0 = 0.0f;
};

// One factory calibration point of either element: reference and measured relative humidity
// (%) and the temperature (℃) at which both were taken.
struct FactoryRecord {
  float referenceRh = 0.0f;
  float measuredRh = 0.0f;
  float temperature = 0.0f;
};

struct UserCalibration {
  uint8_t flags = 0;
  uint8_t count = 0;
  uint8_t maxPoints = kUserCalibrationPoints;
  std::array<float, kUserCalibrationPoints> reference{};
  std::array<float, kUserCalibrationPoints> measured{};
  std::array<CoefficientPair, kUserCalibrationSegments> coefficients{};
};

struct FactoryCalibration {
  uint8_t k5Count = 0;
  uint8_t qcmCount = 0;
  std::array<std::array<uint8_t, kK5PointSize>, kK5Points> k5Points{};
  std::array<FactoryRecord, kK5Points> k5Records{};
  std::array<FactoryRecord, kQcmPoints> qcmRecords{};
  std::array<CoefficientPair, kK5Points - 1> k5Coefficients{};
  std::array<CoefficientPair, kQcmPoints - 1> qcmCoefficients{};
  std::array<float, kQcmPoints> qcmFrequencies{};
};

// The process the sensor sits in, and how its readings wander around it. Times in seconds.
struct Process {
  double dewPointC = -40.0;
  double temperatureC = 23.0;
  double pressureBarg = 0.0;
  double dewPointSwing = 0.8;  // amplitude of the slow drift, ℃
  double swingPeriodS = 600.0;
  double noise = 0.03;            // peak of the second-to-second jitter, ℃
  double temperatureSwing = 0.3;  // ℃
  double pressureSwing = 0.01;    // bar
  // The raw pressure element before the pressure calibration: raw = gain * true + offset.
  double rawPressureGain = 1.0;
  double rawPressureOffset = 0.0;
};

// Everything the sensor stores. It persists for the life of the model: the tool reads back what
// it wrote.
struct SensorState {
  uint16_t deviceType = 0;
  int elementSet = kElementQcm;
  uint8_t interfaces = 0;
  uint8_t sensorOptions = 0;

  std::string deviceName;
  uint32_t serialNumber = 0;
  uint32_t itemNumber = 0;
  uint8_t hardwareVersion100 = 0;
  std::array<uint8_t, kFirmwareSize> firmware{};
  double calibrationDate = 0.0;        // days since 30 December 1899
  uint32_t calibrationDateNumber = 0;  // YYYYMMDD

  std::array<uint8_t, kUnitCount> units{};
  std::array<uint8_t, kChannelCount> decimalCodes{};
  std::array<float, kOffsetCount> offsets{};
  std::array<float, 2> boundaries{};  // water vapour pressure, hPa: [0] high, [1] low
  std::array<float, kTemperatureValueCount> temperatureValues{};
  uint8_t autoOffsetActive = 0;
  uint8_t autoOffsetMode = 1;
  uint8_t autoOffsetReload = 0;
  std::array<float, kAutoOffsetSettingCount> autoOffsetSettings{};
  std::array<float, kRandomValueCount> randomValues{};

  uint8_t filterGrade = 0;
  uint8_t secondFilterGradeWire = 100;  // grade + 100, as on the wire
  uint8_t outputFilterActive = 0;
  float valueAt4mA = 0.0f;
  float valueAt20mA = 0.0f;

  std::array<uint8_t, kCompensationSize> compensation{};
  float atmosphericPressure = 1013.25f;  // hPa
  uint8_t gasType = 0;
  uint8_t displayChannels = 0;

  UserCalibration userCalibration;
  FactoryCalibration factory;

  std::array<uint8_t, kAnalogueCalibrationSize> analogueCalibration{};
  float testCurrent = 0.0f;  // mA; meaningful while testCurrentActive
  bool testCurrentActive = false;
  uint16_t dacValue = 0;
  bool dacOverride = false;
  // The output stage of the analogue output: the current per DAC count while a DAC value is
  // forced (the meter's reading during an analogue calibration).
  double dacMilliampsPerCount = 0.0;

  CoefficientPair pressureCoefficients;
  std::array<uint8_t, kPressureDataSize> pressureData{};
  double pressureZeroRaw = 0.0;

  std::array<uint8_t, kModbusSettingsSize> modbusSettings{};

  Process process;

  bool HasPressureSensor() const { return (sensorOptions & kOptionPressureSensor) != 0; }
  bool HasK5() const { return elementSet == kElementK5 || elementSet == kElementBoth; }
  bool HasQcm() const { return elementSet == kElementQcm || elementSet == kElementBoth; }
  bool Fahrenheit() const { return units[kUnitTemperature] == unit::kFahrenheit; }
};

}  // namespace korvin::sim
