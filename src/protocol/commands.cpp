#include "protocol/commands.h"

#include <algorithm>
#include <bit>
#include <cassert>
#include <cstring>

namespace korvin {

namespace {

using F = Field;
constexpr F kNone = F::kByte;  // filler for unused field slots; fieldCount says how many count

constexpr uint16_t kIdentity = 0xFF01;
constexpr uint16_t kAnalogueService = 0xFF07;
constexpr uint16_t kFieldbus = 0x0602;
constexpr uint16_t kOnline = 0x0104;
constexpr uint16_t kParameters = 0x0109;
constexpr uint16_t kSettings = 0x0209;

constexpr uint8_t kStatusOnlyReply = 5;

// Request layout and reply size of every command the sensor understands. ReadDeviceName is here
// for the sensor side and the tests; the connect sequence sends it without a builder.
constexpr CommandSpec kCatalogue[] = {
    {"ReadSerialNumber", kIdentity, 0x03, {}, 0, 5},
    {"ReadDeviceType", kIdentity, 0x07, {}, 0, 5},
    {"ReadHardwareVersion", kIdentity, 0x09, {}, 0, 5},
    {"ReadFirmwareVersion", kIdentity, 0x1C, {}, 0, 9},
    {"ReadItemNumber", kIdentity, 0x24, {}, 0, 5},
    {"SetAnalogueTestCurrent",
     kAnalogueService,
     0x01,
     {F::kFloat, kNone, kNone},
     1,
     kStatusOnlyReply},
    {"WriteAnalogueDacValue", kAnalogueService, 0x03, {F::kU16, kNone, kNone}, 1, kStatusOnlyReply},
    {"WriteModbusSettings",
     kFieldbus,
     0x01,
     {F::kModbusSettings22, kNone, kNone},
     1,
     kStatusOnlyReply},
    {"ReadModbusSettings", kFieldbus, 0x02, {}, 0, 23},
    {"ReadMeasurements",
     kOnline,
     0x01,
     {F::kByte, F::kByte, kNone},
     2,
     kMeasurementRecordSize,
     true},
    {"ReadCalibrationDate", kParameters, 0x0B, {F::kByte, kNone, kNone}, 1, 9},
    {"ReadAnalogueCalibration", kParameters, 0x0E, {}, 0, 38},
    {"WriteAnalogueCalibration",
     kParameters,
     0x0F,
     {F::kAnalogueCal37, kNone, kNone},
     1,
     kStatusOnlyReply},
    {"ReadFilterGrade", kParameters, 0x12, {}, 0, 5},
    {"WriteFilterGrade", kParameters, 0x13, {F::kByte, kNone, kNone}, 1, kStatusOnlyReply},
    {"ReadSecondFilterGrade", kParameters, 0x14, {}, 0, 5},
    {"WriteSecondFilterGrade", kParameters, 0x15, {F::kByte, kNone, kNone}, 1, kStatusOnlyReply},
    {"ReadDeviceName", kParameters, 0x18, {}, 0, 17},
    {"ReadCalibrationDateNumber", kParameters, 0x1A, {}, 0, 5},
    {"ReadUnit", kSettings, 0x03, {F::kByte, kNone, kNone}, 1, 5},
    {"WriteUnit", kSettings, 0x04, {F::kByte, F::kByte, kNone}, 2, kStatusOnlyReply},
    {"ReadOffset", kSettings, 0x07, {F::kByte, kNone, kNone}, 1, 5},
    {"WriteOffset", kSettings, 0x08, {F::kByte, F::kFloat, kNone}, 2, kStatusOnlyReply},
    {"ReadBoundary", kSettings, 0x09, {F::kByte, kNone, kNone}, 1, 5},
    {"ReadTemperatureValue", kSettings, 0x0D, {F::kByte, kNone, kNone}, 1, 5},
    {"ReadAutoOffsetActive", kSettings, 0x13, {}, 0, 5},
    {"ReadOutputFilterActive", kSettings, 0x15, {}, 0, 5},
    {"WriteOutputFilterActive", kSettings, 0x16, {F::kByte, kNone, kNone}, 1, kStatusOnlyReply},
    {"ReadAutoOffsetMode", kSettings, 0x17, {}, 0, 5},
    {"ReadAutoOffsetReload", kSettings, 0x19, {}, 0, 5},
    {"ReadRandomValue", kSettings, 0x1B, {F::kByte, kNone, kNone}, 1, 5},
    {"ReadCalibrationPoint", kSettings, 0x1F, {F::kByte, kNone, kNone}, 1, 25},
    {"ReadCalibrationCoefficients", kSettings, 0x21, {F::kByte, F::kByte, kNone}, 2, 9},
    {"ReadCalibrationRecord", kSettings, 0x23, {F::kByte, F::kByte, kNone}, 2, 13},
    {"ReadAutoOffsetSettings", kSettings, 0x25, {F::kByte, kNone, kNone}, 1, 17},
    {"ReadCalibrationPointCount", kSettings, 0x27, {F::kByte, kNone, kNone}, 1, 5},
    {"ReadCalibrationParameter", kSettings, 0x2B, {F::kByte, kNone, kNone}, 1, 5},
    {"ReadAnalogueScaling", kSettings, 0x36, {}, 0, 9},
    {"WriteAnalogueScaling", kSettings, 0x37, {F::kFloat, F::kFloat, kNone}, 2, kStatusOnlyReply},
    {"ReadPressureCompensation", kSettings, 0x38, {}, 0, 18},
    {"WritePressureCompensation",
     kSettings,
     0x39,
     {F::kCompensation17, kNone, kNone},
     1,
     kStatusOnlyReply},
    {"ReadPressureCoefficients", kSettings, 0x3C, {}, 0, 9},
    {"ReadAtmosphericPressure", kSettings, 0x3E, {}, 0, 5},
    {"WriteAtmosphericPressure", kSettings, 0x3F, {F::kFloat, kNone, kNone}, 1, kStatusOnlyReply},
    {"CalibratePressureZero", kSettings, 0x40, {}, 0, kStatusOnlyReply},
    {"CalibratePressureSpan", kSettings, 0x41, {F::kFloat, kNone, kNone}, 1, kStatusOnlyReply},
    {"ReadPressureCalibrationData", kSettings, 0x42, {}, 0, 25},
    {"ReadUserCalibrationCount", kSettings, 0x46, {}, 0, 5},
    {"SetCalibrationPointCount", kSettings, 0x47, {F::kByte, kNone, kNone}, 1, kStatusOnlyReply},
    {"ReadUserCalibrationMeasured", kSettings, 0x48, {}, 0, 41},
    {"WriteUserCalibrationMeasured",
     kSettings,
     0x49,
     {F::kFloats10, kNone, kNone},
     1,
     kStatusOnlyReply},
    {"ReadUserCalibrationReference", kSettings, 0x4A, {}, 0, 41},
    {"WriteUserCalibrationReference",
     kSettings,
     0x4B,
     {F::kFloats10, kNone, kNone},
     1,
     kStatusOnlyReply},
    {"ReadUserCalibrationCoefficients", kSettings, 0x4C, {F::kByte, kNone, kNone}, 1, 9},
    {"WriteUserCalibrationCoefficients",
     kSettings,
     0x4D,
     {F::kByte, F::kFloat, F::kFloat},
     3,
     kStatusOnlyReply},
    {"ReadGasType", kSettings, 0x4E, {}, 0, 5},
    {"WriteGasType", kSettings, 0x4F, {F::kByte, kNone, kNone}, 1, kStatusOnlyReply},
    {"ReadUserCalibrationFlags", kSettings, 0x50, {}, 0, 5},
    {"WriteUserCalibrationFlags", kSettings, 0x51, {F::kByte, kNone, kNone}, 1, kStatusOnlyReply},
    {"ReadMaxCalibrationPoints", kSettings, 0x52, {}, 0, 5},
    {"CalibrateOffset", kSettings, 0x53, {F::kFloat, kNone, kNone}, 1, kStatusOnlyReply},
    {"ReadSensorOptions", kSettings, 0x56, {}, 0, 5},
    {"WriteDisplayChannels", kSettings, 0x57, {F::kByte, kNone, kNone}, 1, kStatusOnlyReply},
    {"ReadDisplayChannels", kSettings, 0x58, {}, 0, 5},
};

// Builders of the fixed-layout commands take their payload already packed; this helper packs
// scalar fields in table order.
class Payload {
 public:
  Payload& Byte(uint8_t v) { return Put(&v, 1); }
  Payload& U16(uint16_t v) {
    uint8_t b[2];
    PutU16(b, v);
    return Put(b, 2);
  }
  Payload& Float(float v) {
    uint8_t b[4];
    PutFloat(b, v);
    return Put(b, 4);
  }
  Payload& Bytes(std::span<const uint8_t> v) { return Put(v.data(), v.size()); }
  Payload& Floats(std::span<const float> v) {
    for (float f : v) Float(f);
    return *this;
  }
  std::span<const uint8_t> span() const { return {bytes_.data(), size_}; }

 private:
  Payload& Put(const uint8_t* p, size_t n) {
    assert(size_ + n <= bytes_.size());
    std::memcpy(bytes_.data() + size_, p, n);
    size_ += n;
    return *this;
  }
  std::array<uint8_t, kMaxPayload> bytes_{};
  size_t size_ = 0;
};

RequestBuilder Make(std::string_view name, const Payload& payload = Payload()) {
  return RequestBuilder(CommandByName(name), payload.span());
}

}  // namespace

size_t FieldSize(Field field) {
  switch (field) {
    case Field::kByte:
      return 1;
    case Field::kU16:
      return 2;
    case Field::kU32:
      return 4;
    case Field::kFloat:
      return 4;
    case Field::kDouble:
      return 8;
    case Field::kFloats10:
      return 40;
    case Field::kCompensation17:
      return 17;
    case Field::kModbusSettings22:
      return 22;
    case Field::kAnalogueCal37:
      return 37;
  }
  return 0;
}

size_t CommandSpec::PayloadLength() const {
  size_t total = 0;
  for (size_t i = 0; i < fieldCount; ++i) total += FieldSize(fields[i]);
  return total;
}

std::span<const CommandSpec> Catalogue() {
  return kCatalogue;
}

const CommandSpec* FindCommand(uint16_t group, uint8_t sub) {
  for (const CommandSpec& c : kCatalogue) {
    if (c.group == group && c.sub == sub) return &c;
  }
  return nullptr;
}

const CommandSpec& CommandByName(std::string_view name) {
  const auto it = std::find_if(std::begin(kCatalogue), std::end(kCatalogue),
                               [&](const CommandSpec& c) { return c.name == name; });
  assert(it != std::end(kCatalogue));
  return *it;
}

RequestBuilder::RequestBuilder(const CommandSpec& command, std::span<const uint8_t> payload)
    : command_(&command) {
  assert(payload.size() == command.PayloadLength());
  payloadLength_ = static_cast<uint8_t>(std::min(payload.size(), payload_.size()));
  std::memcpy(payload_.data(), payload.data(), payloadLength_);
}

BuiltRequest RequestBuilder::Build(uint8_t* body) const {
  PutU16(body, command_->group);
  body[2] = command_->sub;
  std::memcpy(body + 3, payload_.data(), payloadLength_);
  BuiltRequest built;
  built.bodyLength = 3 + payloadLength_;
  built.replyLength = command_->replyPerChannel
                          ? static_cast<size_t>(payload_[1]) * command_->replyLength + 1
                          : command_->replyLength;
  return built;
}

RequestBuilder ReadSerialNumber() {
  return Make("ReadSerialNumber");
}
RequestBuilder ReadDeviceType() {
  return Make("ReadDeviceType");
}
RequestBuilder ReadHardwareVersion() {
  return Make("ReadHardwareVersion");
}
RequestBuilder ReadFirmwareVersion() {
  return Make("ReadFirmwareVersion");
}
RequestBuilder ReadItemNumber() {
  return Make("ReadItemNumber");
}
RequestBuilder SetAnalogueTestCurrent(float milliamps) {
  return Make("SetAnalogueTestCurrent", Payload().Float(milliamps));
}
RequestBuilder WriteAnalogueDacValue(uint16_t value) {
  return Make("WriteAnalogueDacValue", Payload().U16(value));
}
RequestBuilder WriteModbusSettings(std::span<const uint8_t, 22> record) {
  return Make("WriteModbusSettings", Payload().Bytes(record));
}
RequestBuilder ReadModbusSettings() {
  return Make("ReadModbusSettings");
}
RequestBuilder ReadMeasurements(uint8_t firstChannel, uint8_t channelCount) {
  return Make("ReadMeasurements", Payload().Byte(firstChannel).Byte(channelCount));
}
RequestBuilder ReadCalibrationDate(uint8_t selector) {
  return Make("ReadCalibrationDate", Payload().Byte(selector));
}
RequestBuilder ReadAnalogueCalibration() {
  return Make("ReadAnalogueCalibration");
}
RequestBuilder WriteAnalogueCalibration(std::span<const uint8_t, 37> record) {
  return Make("WriteAnalogueCalibration", Payload().Bytes(record));
}
RequestBuilder ReadFilterGrade() {
  return Make("ReadFilterGrade");
}
RequestBuilder WriteFilterGrade(uint8_t grade) {
  return Make("WriteFilterGrade", Payload().Byte(grade));
}
RequestBuilder ReadSecondFilterGrade() {
  return Make("ReadSecondFilterGrade");
}
RequestBuilder WriteSecondFilterGrade(uint8_t gradePlus100) {
  return Make("WriteSecondFilterGrade", Payload().Byte(gradePlus100));
}
RequestBuilder ReadCalibrationDateNumber() {
  return Make("ReadCalibrationDateNumber");
}
RequestBuilder ReadUnit(uint8_t unitIndex) {
  return Make("ReadUnit", Payload().Byte(unitIndex));
}
RequestBuilder WriteUnit(uint8_t unitIndex, uint8_t unitCode) {
  return Make("WriteUnit", Payload().Byte(unitIndex).Byte(unitCode));
}
RequestBuilder ReadOffset(uint8_t offsetIndex) {
  return Make("ReadOffset", Payload().Byte(offsetIndex));
}
RequestBuilder WriteOffset(uint8_t offsetIndex, float offset) {
  return Make("WriteOffset", Payload().Byte(offsetIndex).Float(offset));
}
RequestBuilder ReadBoundary(uint8_t boundaryIndex) {
  return Make("ReadBoundary", Payload().Byte(boundaryIndex));
}
RequestBuilder ReadTemperatureValue(uint8_t index) {
  return Make("ReadTemperatureValue", Payload().Byte(index));
}
RequestBuilder ReadAutoOffsetActive() {
  return Make("ReadAutoOffsetActive");
}
RequestBuilder ReadOutputFilterActive() {
  return Make("ReadOutputFilterActive");
}
RequestBuilder WriteOutputFilterActive(uint8_t flag) {
  return Make("WriteOutputFilterActive", Payload().Byte(flag));
}
RequestBuilder ReadAutoOffsetMode() {
  return Make("ReadAutoOffsetMode");
}
RequestBuilder ReadAutoOffsetReload() {
  return Make("ReadAutoOffsetReload");
}
RequestBuilder ReadRandomValue(uint8_t index) {
  return Make("ReadRandomValue", Payload().Byte(index));
}
RequestBuilder ReadCalibrationPoint(uint8_t pointIndex) {
  return Make("ReadCalibrationPoint", Payload().Byte(pointIndex));
}
RequestBuilder ReadCalibrationCoefficients(uint8_t selector, uint8_t segmentIndex) {
  return Make("ReadCalibrationCoefficients", Payload().Byte(selector).Byte(segmentIndex));
}
RequestBuilder ReadCalibrationRecord(uint8_t selector, uint8_t pointIndex) {
  return Make("ReadCalibrationRecord", Payload().Byte(selector).Byte(pointIndex));
}
RequestBuilder ReadAutoOffsetSettings(uint8_t index) {
  return Make("ReadAutoOffsetSettings", Payload().Byte(index));
}
RequestBuilder ReadCalibrationPointCount(uint8_t selector) {
  return Make("ReadCalibrationPointCount", Payload().Byte(selector));
}
RequestBuilder ReadCalibrationParameter(uint8_t pointIndex) {
  return Make("ReadCalibrationParameter", Payload().Byte(pointIndex));
}
RequestBuilder ReadAnalogueScaling() {
  return Make("ReadAnalogueScaling");
}
RequestBuilder WriteAnalogueScaling(float valueAt4mA, float valueAt20mA) {
  return Make("WriteAnalogueScaling", Payload().Float(valueAt4mA).Float(valueAt20mA));
}
RequestBuilder ReadPressureCompensation() {
  return Make("ReadPressureCompensation");
}
RequestBuilder WritePressureCompensation(std::span<const uint8_t, 17> record) {
  return Make("WritePressureCompensation", Payload().Bytes(record));
}
RequestBuilder ReadPressureCoefficients() {
  return Make("ReadPressureCoefficients");
}
RequestBuilder ReadAtmosphericPressure() {
  return Make("ReadAtmosphericPressure");
}
RequestBuilder WriteAtmosphericPressure(float hectopascal) {
  return Make("WriteAtmosphericPressure", Payload().Float(hectopascal));
}
RequestBuilder CalibratePressureZero() {
  return Make("CalibratePressureZero");
}
RequestBuilder CalibratePressureSpan(float referencePressure) {
  return Make("CalibratePressureSpan", Payload().Float(referencePressure));
}
RequestBuilder ReadPressureCalibrationData() {
  return Make("ReadPressureCalibrationData");
}
RequestBuilder ReadUserCalibrationCount() {
  return Make("ReadUserCalibrationCount");
}
RequestBuilder SetCalibrationPointCount(uint8_t count) {
  return Make("SetCalibrationPointCount", Payload().Byte(count));
}
RequestBuilder ReadUserCalibrationMeasured() {
  return Make("ReadUserCalibrationMeasured");
}
RequestBuilder WriteUserCalibrationMeasured(std::span<const float, 10> values) {
  return Make("WriteUserCalibrationMeasured", Payload().Floats(values));
}
RequestBuilder ReadUserCalibrationReference() {
  return Make("ReadUserCalibrationReference");
}
RequestBuilder WriteUserCalibrationReference(std::span<const float, 10> values) {
  return Make("WriteUserCalibrationReference", Payload().Floats(values));
}
RequestBuilder ReadUserCalibrationCoefficients(uint8_t index) {
  return Make("ReadUserCalibrationCoefficients", Payload().Byte(index));
}
RequestBuilder WriteUserCalibrationCoefficients(uint8_t index, float first, float second) {
  return Make("WriteUserCalibrationCoefficients", Payload().Byte(index).Float(first).Float(second));
}
RequestBuilder ReadGasType() {
  return Make("ReadGasType");
}
RequestBuilder WriteGasType(uint8_t gasType) {
  return Make("WriteGasType", Payload().Byte(gasType));
}
RequestBuilder ReadUserCalibrationFlags() {
  return Make("ReadUserCalibrationFlags");
}
RequestBuilder WriteUserCalibrationFlags(uint8_t flags) {
  return Make("WriteUserCalibrationFlags", Payload().Byte(flags));
}
RequestBuilder ReadMaxCalibrationPoints() {
  return Make("ReadMaxCalibrationPoints");
}
RequestBuilder CalibrateOffset(float referenceDewPoint) {
  return Make("CalibrateOffset", Payload().Float(referenceDewPoint));
}
RequestBuilder ReadSensorOptions() {
  return Make("ReadSensorOptions");
}
RequestBuilder WriteDisplayChannels(uint8_t channelBits) {
  return Make("WriteDisplayChannels", Payload().Byte(channelBits));
}
RequestBuilder ReadDisplayChannels() {
  return Make("ReadDisplayChannels");
}

void PutU16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}
void PutU32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}
void PutFloat(uint8_t* p, float v) {
  PutU32(p, std::bit_cast<uint32_t>(v));
}
void PutDouble(uint8_t* p, double v) {
  const uint64_t bits = std::bit_cast<uint64_t>(v);
  for (int i = 0; i < 8; ++i) p[i] = static_cast<uint8_t>(bits >> (8 * i));
}
uint16_t GetU16(const uint8_t* p) {
  return static_cast<uint16_t>(p[0] | p[1] << 8);
}
uint32_t GetU32(const uint8_t* p) {
  uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = v << 8 | p[i];
  return v;
}
float GetFloat(const uint8_t* p) {
  return std::bit_cast<float>(GetU32(p));
}
double GetDouble(const uint8_t* p) {
  uint64_t v = 0;
  for (int i = 7; i >= 0; --i) v = v << 8 | p[i];
  return std::bit_cast<double>(v);
}

}  // namespace korvin
