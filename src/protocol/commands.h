#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace korvin {

// Request body, written at the body offset of the transmit buffer:
//   0  group, 16-bit little-endian (0x0209 goes out as 09 02)
//   2  sub-command
//   3  payload, little-endian fields
// The expected reply length counts the status byte.
enum class Field : uint8_t {
  kByte,
  kU16,
  kU32,
  kFloat,
  kDouble,
  kFloats10,          // ten floats, 40 bytes
  kCompensation17,    // static pressure compensation record
  kModbusSettings22,  // Modbus settings record
  kAnalogueCal37,     // analogue calibration record
};

size_t FieldSize(Field field);

inline constexpr size_t kMaxFields = 3;
inline constexpr size_t kMaxPayload = 40;

struct CommandSpec {
  std::string_view name;
  uint16_t group;
  uint8_t sub;
  std::array<Field, kMaxFields> fields;
  uint8_t fieldCount;
  uint8_t replyLength;  // for ReadMeasurements: per channel (7), plus the status byte
  bool replyPerChannel = false;

  size_t PayloadLength() const;
  size_t BodyLength() const { return 3 + PayloadLength(); }
};

// The whole vocabulary of the sensor, one row per command.
std::span<const CommandSpec> Catalogue();
const CommandSpec* FindCommand(uint16_t group, uint8_t sub);
const CommandSpec& CommandByName(std::string_view name);

struct BuiltRequest {
  size_t bodyLength = 0;
  size_t replyLength = 0;
};

// A request ready to be written: the command's row and its payload bytes, already in wire
// order. Build() writes the body and states the expected reply length; it touches nothing else.
class RequestBuilder {
 public:
  RequestBuilder(const CommandSpec& command, std::span<const uint8_t> payload);
  BuiltRequest Build(uint8_t* body) const;
  const CommandSpec& command() const { return *command_; }
  std::span<const uint8_t> payload() const { return {payload_.data(), payloadLength_}; }

 private:
  const CommandSpec* command_;
  std::array<uint8_t, kMaxPayload> payload_{};
  uint8_t payloadLength_ = 0;
};

// Unit indexes of ReadUnit / WriteUnit.
inline constexpr uint8_t kUnitIndexAltDewPoint = 0;
inline constexpr uint8_t kUnitIndexTemperature = 1;
inline constexpr uint8_t kUnitIndexPressure = 2;
inline constexpr uint8_t kCalibrationDateSelector = 4;
inline constexpr uint8_t kMeasurementRecordSize = 7;

// FF01 identity
RequestBuilder ReadSerialNumber();
RequestBuilder ReadDeviceType();
RequestBuilder ReadHardwareVersion();
RequestBuilder ReadFirmwareVersion();
RequestBuilder ReadItemNumber();
// FF07 analogue output service
RequestBuilder SetAnalogueTestCurrent(float milliamps);
RequestBuilder WriteAnalogueDacValue(uint16_t value);
// 0602 fieldbus
RequestBuilder WriteModbusSettings(std::span<const uint8_t, 22> record);
RequestBuilder ReadModbusSettings();
// 0104 online values
RequestBuilder ReadMeasurements(uint8_t firstChannel, uint8_t channelCount);
// 0109 device parameters
RequestBuilder ReadCalibrationDate(uint8_t selector = kCalibrationDateSelector);
RequestBuilder ReadAnalogueCalibration();
RequestBuilder WriteAnalogueCalibration(std::span<const uint8_t, 37> record);
RequestBuilder ReadFilterGrade();
RequestBuilder WriteFilterGrade(uint8_t grade);
RequestBuilder ReadSecondFilterGrade();
RequestBuilder WriteSecondFilterGrade(uint8_t gradePlus100);
RequestBuilder ReadCalibrationDateNumber();
// 0209 settings and calibration
RequestBuilder ReadUnit(uint8_t unitIndex);
RequestBuilder WriteUnit(uint8_t unitIndex, uint8_t unitCode);
RequestBuilder ReadOffset(uint8_t offsetIndex);
RequestBuilder WriteOffset(uint8_t offsetIndex, float offset);
RequestBuilder ReadBoundary(uint8_t boundaryIndex);
RequestBuilder ReadTemperatureValue(uint8_t index);
RequestBuilder ReadAutoOffsetActive();
RequestBuilder ReadOutputFilterActive();
RequestBuilder WriteOutputFilterActive(uint8_t flag);
RequestBuilder ReadAutoOffsetMode();
RequestBuilder ReadAutoOffsetReload();
RequestBuilder ReadRandomValue(uint8_t index);
RequestBuilder ReadCalibrationPoint(uint8_t pointIndex);
RequestBuilder ReadCalibrationCoefficients(uint8_t selector, uint8_t segmentIndex);
RequestBuilder ReadCalibrationRecord(uint8_t selector, uint8_t pointIndex);
RequestBuilder ReadAutoOffsetSettings(uint8_t index = 0);
RequestBuilder ReadCalibrationPointCount(uint8_t selector);
RequestBuilder ReadCalibrationParameter(uint8_t pointIndex);
RequestBuilder ReadAnalogueScaling();
RequestBuilder WriteAnalogueScaling(float valueAt4mA, float valueAt20mA);
RequestBuilder ReadPressureCompensation();
RequestBuilder WritePressureCompensation(std::span<const uint8_t, 17> record);
RequestBuilder ReadPressureCoefficients();
RequestBuilder ReadAtmosphericPressure();
RequestBuilder WriteAtmosphericPressure(float hectopascal);
RequestBuilder CalibratePressureZero();
RequestBuilder CalibratePressureSpan(float referencePressure);
RequestBuilder ReadPressureCalibrationData();
RequestBuilder ReadUserCalibrationCount();
RequestBuilder SetCalibrationPointCount(uint8_t count);
RequestBuilder ReadUserCalibrationMeasured();
RequestBuilder WriteUserCalibrationMeasured(std::span<const float, 10> values);
RequestBuilder ReadUserCalibrationReference();
RequestBuilder WriteUserCalibrationReference(std::span<const float, 10> values);
RequestBuilder ReadUserCalibrationCoefficients(uint8_t index);
RequestBuilder WriteUserCalibrationCoefficients(uint8_t index, float first, float second);
RequestBuilder ReadGasType();
RequestBuilder WriteGasType(uint8_t gasType);
RequestBuilder ReadUserCalibrationFlags();
RequestBuilder WriteUserCalibrationFlags(uint8_t flags);
RequestBuilder ReadMaxCalibrationPoints();
RequestBuilder CalibrateOffset(float referenceDewPoint);
RequestBuilder ReadSensorOptions();
RequestBuilder WriteDisplayChannels(uint8_t channelBits);
RequestBuilder ReadDisplayChannels();

// ReadDeviceName has no builder: the connect sequence writes these body bytes itself.
inline constexpr uint8_t kReadDeviceNameBody[] = {0x09, 0x01, 0x18};
inline constexpr size_t kReadDeviceNameReplyLength = 17;

// Little-endian field access shared by the builders, the callers and the virtual sensor.
void PutU16(uint8_t* p, uint16_t v);
void PutU32(uint8_t* p, uint32_t v);
void PutFloat(uint8_t* p, float v);
void PutDouble(uint8_t* p, double v);
uint16_t GetU16(const uint8_t* p);
uint32_t GetU32(const uint8_t* p);
float GetFloat(const uint8_t* p);
double GetDouble(const uint8_t* p);

}  // namespace korvin
