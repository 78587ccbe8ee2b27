#include "sim/sensor_defaults.h"

#include <algorithm>
#include <cmath>

#include "protocol/commands.h"
#include "sim/live_values.h"

namespace korvin::sim {

namespace {

constexpr uint8_t kSdiAnalogue = kInterfaceSdi | kInterfaceAnalogue;
constexpr uint8_t kModbusAnalogue = kInterfaceModbus | kInterfaceAnalogue;

// Factory DAC points of the two analogue output designs.
constexpr float kDacLow1 = 3200.0f;
constexpr float kDacLow2 = 12800.0f;
constexpr float kDacCompact1 = 1300.0f;
constexpr float kDacCompact2 = 6500.0f;

// Pressure sensors sit on 0x1030 and 0x1083; every other type measures without one.
constexpr DeviceTypeRow kRows[] = {
    {0x1024, kElementK5, kSdiAnalogue, false, "D810 SDI", 601024, 23, 120, kDacLow1, kDacLow2},
    {0x1028, kElementK5, kSdiAnalogue, false, "D810 SDI-E", 601028, 23, 120, kDacLow1, kDacLow2},
    {0x1030, kElementBoth, kModbusAnalogue, true, "D810 Modbus", 601030, 25, 130, kDacLow1,
     kDacLow2},
    {0x1032, kElementBoth, kSdiAnalogue, false, "D810 SDI QCM", 601032, 25, 130, kDacLow1,
     kDacLow2},
    {0x1033, kElementBoth, kSdiAnalogue, false, "D810 SDI QCM-E", 601033, 25, 130, kDacLow1,
     kDacLow2},
    {0x1034, kElementK5, kSdiAnalogue, false, "D720 SDI", 601034, 14, 110, kDacLow1, kDacLow2},
    {0x1035, kElementK5, kModbusAnalogue, false, "D830", 601035, 31, 200, kDacCompact1,
     kDacCompact2},
    {0x1037, kElementBoth, kModbusAnalogue, false, "D830 QCM", 601037, 31, 200, kDacCompact1,
     kDacCompact2},
    {0x1038, kElementK5, kInterfaceIoLink, false, "D720 IO-Link", 601038, 14, 110, 0.0f, 0.0f},
    {0x103A, kElementK5, kModbusAnalogue, false, "D810 Modbus K5", 601043, 23, 120, kDacLow1,
     kDacLow2},
    {0x103B, kElementK5, kSdiAnalogue, false, "D720 SDI-E", 601044, 14, 110, kDacLow1, kDacLow2},
    {0x1083, kElementBoth, kInterfaceModbus, true, "D850 QCM", 10850083, 12, 100, 0.0f, 0.0f},
    {0x1085, kElementK5, kInterfaceModbus, false, "D850", 10850085, 12, 100, 0.0f, 0.0f},
    {0x1400, kElementK5, kInterfaceModbus, false, "D720-M", 601400, 10, 100, 0.0f, 0.0f},
};

constexpr DeviceTypeRow kFallbackRow = {0x0000, kElementQcm, 0,   false, "DP sensor",
                                        600000, 10,          100, 0.0f,  0.0f};

constexpr uint32_t kSerialBase = 23000000;
constexpr double kFirstCalibrationDate = 45000.0;  // 15 March 2023
constexpr double kDaysBetweenTypes = 11.0;
constexpr uint8_t kFirmwareHeader[kFirmwareVersionByte] = {0x01, 0x00, 0x02};

// Typical process of each element: the polymer element works in moderately dry air, the QCM
// element in very dry gas.
constexpr double kK5ProcessDewPointC = -20.0;
constexpr double kQcmProcessDewPointC = -60.0;
constexpr double kBothProcessDewPointC = -45.0;
constexpr double kLinePressureBarg = 7.0;
constexpr double kK5RangeC[2] = {20.0, -60.0};     // high, low
constexpr double kQcmRangeC[2] = {-20.0, -100.0};  // high, low

constexpr float kTemperatureValues[kTemperatureValueCount] = {0.0f, 23.1f, 23.0f, 0.0f,
                                                              0.0f, 22.8f, 0.0f};
constexpr float kAutoOffsetSettings[kAutoOffsetSettingCount] = {0.35f, 2.0f, 0.0125f, 0.085f};
constexpr float kRandomValues[kRandomValueCount] = {0.00312345f, 0.00127781f, 0.00401233f,
                                                    0.00088214f};
constexpr float kK5FactoryOffset = 0.35f;    // %rH
constexpr float kQcmFactoryOffset = -0.12f;  // ℃ Td
constexpr uint8_t kFilterGrade = 4;
constexpr uint8_t kSecondFilterGrade = 2;
constexpr uint8_t kSecondFilterWireOffset = 100;
constexpr uint8_t kDisplayTemperature = 0x01;
constexpr uint8_t kDisplayAlternative = 0x02;
constexpr uint8_t kDisplayDewPoint = 0x04;
constexpr uint8_t kDisplayPressure = 0x08;

constexpr float kCompensationCoefficients[3] = {1.25f, 0.85f, 1.6f};  // at −70, −40, −95 ℃ Td

constexpr float kRhScale[2] = {0.0f, 100.0f};
constexpr float kPpmScale[2] = {0.0f, 1000.0f};

constexpr uint8_t kAnalogueRecordHeader[5] = {0x01, 0x00, 0x00, 0x00, 0x00};
constexpr float kCurrentAtDac1 = 4.0f;

// Factory points: the K5 element at 23 ℃ over the whole humidity range, the QCM element at
// 20 ℃ in dry gas. The measured humidities deviate a little, as a raw element does.
constexpr float kK5ReferenceRh[kK5Points] = {90.0f, 70.0f, 50.0f, 30.0f, 10.0f, 3.0f};
// The input of the tool's reference polynomial for each point: it gives back the reference
// humidity, except at the wet end, where 90 %rH lies beyond the polynomial's last interval.
constexpr float kK5PolynomialX[kK5Points] = {0.9962f, 0.979f, 0.9447f, 0.9092f, 0.8681f, 0.8494f};
constexpr float kK5RefAdc[kK5Points] = {31250.0f, 28740.0f, 26110.0f, 23480.0f, 20920.0f, 19870.0f};
constexpr float kK5Temperature = 23.0f;
constexpr float kQcmReferenceRh[kQcmPoints] = {60.0f, 40.0f, 20.0f, 10.0f, 5.0f,
                                               2.0f,  1.0f,  0.5f,  0.2f,  0.1f};
constexpr float kQcmTemperature = 20.0f;
// The last QCM slot was read back empty at the factory: its temperature is exactly 0.0.
constexpr size_t kQcmEmptySlot = kQcmPoints - 1;
constexpr float kEmptySlotTemperature = 0.0f;
constexpr float kQcmBaseFrequencyHz = 9999870.0f;
constexpr float kQcmFrequencyStepHz = 37.5f;
constexpr float kMeasuredGain = 1.004f;
constexpr float kMeasuredShift = -0.03f;  // %rH
constexpr float kOmegaBase = 0.985f;
constexpr float kOmegaStep = 0.006f;

constexpr uint16_t kModbusAddress = 1;
constexpr uint32_t kModbusBaud = 19200;
constexpr uint16_t kModbusBaudIndex = 4;
constexpr uint16_t kModbusFramingIndex = 3;  // 8,N,1
constexpr uint16_t kModbusTimeout = 10;      // 1 s
constexpr uint16_t kModbusDelayMs = 5;
constexpr uint32_t kModbusSpaceUs = 2005;
constexpr uint16_t kModbusSpaceChars = 7;

constexpr float kPressureCheckReference = 8.0f;   // barg
constexpr float kPressureCheckMeasured = 8.004f;  // what the calibrated sensor read at the check

CoefficientPair LineThrough(const FactoryRecord& upper, const FactoryRecord& lower) {
  CoefficientPair pair;
  const float dm = upper.measuredRh - lower.measuredRh;
  pair.a1 = dm == 0.0f ? 0.0f : (upper.referenceRh - lower.referenceRh) / dm;
  pair.a0 = upper.referenceRh - upper.measuredRh * pair.a1;
  return pair;
}

FactoryRecord MakeRecord(float referenceRh, float temperature) {
  return {referenceRh, referenceRh * kMeasuredGain + kMeasuredShift, temperature};
}

void FillFactoryCalibration(SensorState& s) {
  FactoryCalibration& f = s.factory;
  if (s.HasK5()) {
    f.k5Count = kK5Points;
    for (size_t i = 0; i < kK5Points; ++i) {
      uint8_t* p = f.k5Points[i].data();
      const float omega = kOmegaBase + kOmegaStep * static_cast<float>(i);
      PutFloat(p + k5point::kOmega, omega);
      PutFloat(p + k5point::kX, kK5PolynomialX[i]);
      PutFloat(p + k5point::kSensorRaw, omega * kK5RefAdc[i]);
      PutFloat(p + k5point::kRefAdc, kK5RefAdc[i]);
      f.k5Records[i] = MakeRecord(kK5ReferenceRh[i], kK5Temperature);
    }
    for (size_t i = 0; i + 1 < kK5Points; ++i) {
      f.k5Coefficients[i] = LineThrough(f.k5Records[i], f.k5Records[i + 1]);
    }
  }
  if (s.HasQcm()) {
    f.qcmCount = kQcmPoints;
    for (size_t i = 0; i < kQcmPoints; ++i) {
      f.qcmRecords[i] = MakeRecord(kQcmReferenceRh[i],
                                   i == kQcmEmptySlot ? kEmptySlotTemperature : kQcmTemperature);
      f.qcmFrequencies[i] = kQcmBaseFrequencyHz - kQcmFrequencyStepHz * static_cast<float>(i);
    }
    for (size_t i = 0; i + 1 < kQcmPoints; ++i) {
      f.qcmCoefficients[i] = LineThrough(f.qcmRecords[i], f.qcmRecords[i + 1]);
    }
  }
}

void FillAnalogueCalibration(SensorState& s, const DeviceTypeRow& row) {
  if ((row.interfaces & kInterfaceAnalogue) == 0) return;
  uint8_t* r = s.analogueCalibration.data();
  std::copy(std::begin(kAnalogueRecordHeader), std::end(kAnalogueRecordHeader), r);
  PutFloat(r + analogue::kA1, 1.0f);
  PutFloat(r + analogue::kA0, 0.0f);
  PutFloat(r + analogue::kValueAt4mA, s.valueAt4mA);
  PutFloat(r + analogue::kValueAt20mA, s.valueAt20mA);
  PutFloat(r + analogue::kCurrent1, kCurrentAtDac1);
  PutFloat(r + analogue::kCurrent2, kCurrentAtDac1 * row.dacPoint2 / row.dacPoint1);
  PutFloat(r + analogue::kDac1, row.dacPoint1);
  PutFloat(r + analogue::kDac2, row.dacPoint2);
  s.dacMilliampsPerCount = static_cast<double>(kCurrentAtDac1) / row.dacPoint1;
}

void FillModbusSettings(SensorState& s) {
  uint8_t* m = s.modbusSettings.data();
  PutU16(m + modbus::kAddress, kModbusAddress);
  PutU32(m + modbus::kBaud, kModbusBaud);
  PutU16(m + modbus::kBaudIndex, kModbusBaudIndex);
  PutU16(m + modbus::kFramingIndex, kModbusFramingIndex);
  PutU16(m + modbus::kResponseTimeout, kModbusTimeout);
  PutU16(m + modbus::kResponseDelay, kModbusDelayMs);
  PutU32(m + modbus::kSpaceUs, kModbusSpaceUs);
  PutU16(m + modbus::kSpaceChars, kModbusSpaceChars);
  PutU16(m + modbus::kMode, 0);
}

}  // namespace

std::span<const DeviceTypeRow> DeviceTypeTable() {
  return kRows;
}

const DeviceTypeRow& DeviceTypeDefaults(uint16_t typeCode) {
  for (const DeviceTypeRow& row : kRows) {
    if (row.typeCode == typeCode) return row;
  }
  return kFallbackRow;
}

uint32_t AutomationDateToNumber(double date) {
  // Days since 1970-01-01, then the civil calendar from days (proleptic Gregorian).
  constexpr int64_t kEpochShift = 25569;  // 30 Dec 1899 → 1 Jan 1970
  const int64_t z0 = static_cast<int64_t>(std::floor(date)) - kEpochShift + 719468;
  const int64_t era = (z0 >= 0 ? z0 : z0 - 146096) / 146097;
  const int64_t doe = z0 - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  const int64_t day = doy - (153 * mp + 2) / 5 + 1;
  const int64_t month = mp < 10 ? mp + 3 : mp - 9;
  const int64_t year = yoe + era * 400 + (month <= 2 ? 1 : 0);
  return static_cast<uint32_t>(year * 10000 + month * 100 + day);
}

SensorState MakeDefaultState(uint16_t typeCode) {
  const DeviceTypeRow& row = DeviceTypeDefaults(typeCode);
  const size_t rowIndex =
      &row == &kFallbackRow ? std::size(kRows) : static_cast<size_t>(&row - std::begin(kRows));
  SensorState s;
  s.deviceType = typeCode;
  s.elementSet = row.elementSet;
  s.interfaces = row.interfaces;
  s.sensorOptions = row.pressureSensor ? (kOptionPressureSensor | kOptionPressureData) : 0;

  s.deviceName = row.deviceName;
  s.serialNumber = kSerialBase + typeCode;
  s.itemNumber = row.itemNumber;
  s.hardwareVersion100 = row.hardwareVersion100;
  std::copy(std::begin(kFirmwareHeader), std::end(kFirmwareHeader), s.firmware.begin());
  s.firmware[kFirmwareVersionByte] = row.firmwareVersion10;
  s.calibrationDate = kFirstCalibrationDate + kDaysBetweenTypes * static_cast<double>(rowIndex);
  s.calibrationDateNumber = AutomationDateToNumber(s.calibrationDate);

  const bool k5Only = row.elementSet == kElementK5;
  s.units[kUnitAlternative] = k5Only ? unit::kRelativeHumidity : unit::kPpmV;
  s.units[kUnitTemperature] = unit::kCelsius;
  s.units[kUnitPressure] = unit::kBarg;
  s.decimalCodes[kChannelTemperature] = 1;
  s.decimalCodes[kChannelAlternative] = DefaultDecimalCode(s.units[kUnitAlternative]);
  s.decimalCodes[kChannelDewPoint] = 2;
  s.decimalCodes[kChannelPressure] = DefaultDecimalCode(unit::kBarg);

  if (s.HasK5()) s.offsets[kOffsetK5Factory] = kK5FactoryOffset;
  if (s.HasQcm()) s.offsets[kOffsetQcmFactory] = kQcmFactoryOffset;
  const double* range = k5Only ? kK5RangeC : kQcmRangeC;
  s.boundaries[0] = static_cast<float>(VapourPressureAtDewPoint(range[0]));
  s.boundaries[1] = static_cast<float>(VapourPressureAtDewPoint(range[1]));
  std::copy(std::begin(kTemperatureValues), std::end(kTemperatureValues),
            s.temperatureValues.begin());
  s.autoOffsetActive = s.HasK5() ? 1 : 0;
  s.autoOffsetReload = s.HasK5() ? 1 : 0;
  std::copy(std::begin(kAutoOffsetSettings), std::end(kAutoOffsetSettings),
            s.autoOffsetSettings.begin());
  std::copy(std::begin(kRandomValues), std::end(kRandomValues), s.randomValues.begin());

  s.filterGrade = kFilterGrade;
  s.secondFilterGradeWire = kSecondFilterGrade + kSecondFilterWireOffset;
  s.outputFilterActive = 1;
  const float* scale = k5Only ? kRhScale : kPpmScale;
  s.valueAt4mA = scale[0];
  s.valueAt20mA = scale[1];

  s.compensation[compensation::kEnable] = s.HasQcm() ? 1 : 0;
  PutFloat(s.compensation.data() + compensation::kStaticPressure, 0.0f);
  PutFloat(s.compensation.data() + compensation::kCoeffMinus70, kCompensationCoefficients[0]);
  PutFloat(s.compensation.data() + compensation::kCoeffMinus40, kCompensationCoefficients[1]);
  PutFloat(s.compensation.data() + compensation::kCoeffMinus95, kCompensationCoefficients[2]);
  s.displayChannels = kDisplayTemperature | kDisplayAlternative | kDisplayDewPoint |
                      (row.pressureSensor ? kDisplayPressure : 0);

  for (CoefficientPair& pair : s.userCalibration.coefficients) pair = CoefficientPair{};
  FillFactoryCalibration(s);
  FillAnalogueCalibration(s, row);
  if (row.pressureSensor) {
    PutFloat(s.pressureData.data() + pressuredata::kReference, kPressureCheckReference);
    PutFloat(s.pressureData.data() + pressuredata::kMeasured, kPressureCheckMeasured);
    PutFloat(s.pressureData.data() + pressuredata::kSpanRaw, kPressureCheckReference);
  }
  FillModbusSettings(s);

  s.process.dewPointC = row.elementSet == kElementK5    ? kK5ProcessDewPointC
                        : row.elementSet == kElementQcm ? kQcmProcessDewPointC
                                                        : kBothProcessDewPointC;
  s.process.pressureBarg = row.pressureSensor ? kLinePressureBarg : 0.0;
  return s;
}

}  // namespace korvin::sim
