#include "sim/sensor_commands.h"

#include <algorithm>
#include <cmath>
#include <string_view>
#include <unordered_map>

#include "protocol/commands.h"
#include "protocol/frames.h"
#include "sim/live_values.h"

namespace korvin::sim {

namespace {

constexpr uint8_t kCalibrationDateSelector = 4;
constexpr uint8_t kSelectorK5 = 0;
constexpr uint8_t kSelectorQcm = 1;
constexpr uint16_t kMinModbusAddress = 1;
constexpr uint16_t kMaxModbusAddress = 247;
constexpr uint16_t kMaxBaudIndex = 7;
constexpr uint16_t kMaxFramingIndex = 3;
constexpr float kMaxTestCurrentMa = 24.0f;
constexpr uint8_t kMaxGasType = 1;
constexpr uint8_t kMaxFlag = 1;

// The reply payload under construction: the status byte, then little-endian fields.
class ReplyWriter {
 public:
  ReplyWriter() { bytes_.push_back(kStatusAccepted); }
  void Byte(uint8_t v) { bytes_.push_back(v); }
  void U16(uint16_t v) { Put<2>(PutU16, v); }
  void U32(uint32_t v) { Put<4>(PutU32, v); }
  void Float(float v) { Put<4>(PutFloat, v); }
  void Double(double v) { Put<8>(PutDouble, v); }
  void Bytes(std::span<const uint8_t> v) { bytes_.insert(bytes_.end(), v.begin(), v.end()); }
  void Floats(std::span<const float> v) {
    for (float f : v) Float(f);
  }
  void Pair(const CoefficientPair& p) {
    Float(p.a1);
    Float(p.a0);
  }
  // Replies have a fixed length per command; fields the sensor leaves open go out as zeros.
  std::vector<uint8_t> Finish(size_t replyLength) {
    if (bytes_.size() < replyLength) bytes_.resize(replyLength, 0);
    return std::move(bytes_);
  }

 private:
  template <size_t N, typename T>
  void Put(void (*put)(uint8_t*, T), T v) {
    uint8_t b[N];
    put(b, v);
    bytes_.insert(bytes_.end(), b, b + N);
  }
  std::vector<uint8_t> bytes_;
};

struct Call {
  SensorState& s;
  std::span<const uint8_t> payload;
  double seconds;
  ReplyWriter& w;
  CommandEffects& effects;

  uint8_t Byte(size_t at) const { return payload[at]; }
  float Float(size_t at) const { return GetFloat(payload.data() + at); }
  bool FiniteFloat(size_t at) const { return std::isfinite(Float(at)); }
};

using Handler = uint32_t (*)(Call&);

uint32_t IndexedFloat(Call& c, std::span<const float> values) {
  if (c.Byte(0) >= values.size()) return kDeviceErrorParameter;
  c.w.Float(values[c.Byte(0)]);
  return kOk;
}

uint32_t ReadFloats10(Call& c, const std::array<float, kUserCalibrationPoints>& values) {
  c.w.Floats(values);
  return kOk;
}

uint32_t WriteFloats10(Call& c, std::array<float, kUserCalibrationPoints>& values) {
  for (size_t i = 0; i < values.size(); ++i) {
    if (!c.FiniteFloat(i * sizeof(float))) return kDeviceErrorParameter;
  }
  for (size_t i = 0; i < values.size(); ++i) values[i] = c.Float(i * sizeof(float));
  return kOk;
}

bool ValidUnit(size_t index, uint8_t code) {
  switch (index) {
    case kUnitTemperature:
      return code == unit::kCelsius || code == unit::kFahrenheit;
    case kUnitPressure:
      return code == unit::kMpa || code == unit::kBarg || code == unit::kPsi;
    case kUnitAlternative:
      return code < unit::kTableSize;
    default:
      return false;
  }
}

size_t UserSegments(const SensorState& s) {
  return std::min<size_t>(kUserCalibrationSegments,
                          std::max<size_t>(s.userCalibration.maxPoints, 1) - 1);
}

void SyncScalingIntoRecord(SensorState& s) {
  PutFloat(s.analogueCalibration.data() + analogue::kValueAt4mA, s.valueAt4mA);
  PutFloat(s.analogueCalibration.data() + analogue::kValueAt20mA, s.valueAt20mA);
}

struct Row {
  std::string_view name;
  Handler handler;
};

// One handler per command of the catalogue, by the catalogue's name.
const Row kHandlers[] = {
    // Identity
    {"ReadSerialNumber",
     [](Call& c) {
       c.w.U32(c.s.serialNumber);
       return kOk;
     }},
    {"ReadDeviceType",
     [](Call& c) {
       c.w.U16(c.s.deviceType);
       return kOk;
     }},
    {"ReadHardwareVersion",
     [](Call& c) {
       c.w.Byte(c.s.hardwareVersion100);
       return kOk;
     }},
    {"ReadFirmwareVersion",
     [](Call& c) {
       c.w.Bytes(c.s.firmware);
       return kOk;
     }},
    {"ReadItemNumber",
     [](Call& c) {
       c.w.U32(c.s.itemNumber);
       return kOk;
     }},
    // Analogue output service
    {"SetAnalogueTestCurrent",
     [](Call& c) {
       const float ma = c.Float(0);
       if (!(ma >= 0.0f && ma <= kMaxTestCurrentMa)) return kDeviceErrorParameter;
       c.s.testCurrent = ma;
       c.s.testCurrentActive = true;
       c.s.dacOverride = false;
       return kOk;
     }},
    {"WriteAnalogueDacValue",
     [](Call& c) {
       c.s.dacValue = GetU16(c.payload.data());
       c.s.dacOverride = true;
       c.s.testCurrentActive = false;
       return kOk;
     }},
    // Fieldbus
    {"WriteModbusSettings",
     [](Call& c) {
       const uint8_t* r = c.payload.data();
       const uint16_t address = GetU16(r + modbus::kAddress);
       if (address < kMinModbusAddress || address > kMaxModbusAddress ||
           GetU16(r + modbus::kBaudIndex) > kMaxBaudIndex ||
           GetU16(r + modbus::kFramingIndex) > kMaxFramingIndex) {
         return kDeviceErrorParameter;
       }
       std::copy(r, r + kModbusSettingsSize, c.s.modbusSettings.begin());
       c.effects.fieldbusChanged = true;
       return kOk;
     }},
    {"ReadModbusSettings",
     [](Call& c) {
       c.w.Bytes(c.s.modbusSettings);
       return kOk;
     }},
    // Online values
    {"ReadMeasurements",
     [](Call& c) {
       const size_t first = c.Byte(0);
       const size_t count = c.Byte(1);
       if (count == 0 || first + count > kChannelCount) return kDeviceErrorParameter;
       const Readings r = ComputeReadings(c.s, c.seconds);
       for (size_t ch = first; ch < first + count; ++ch) {
         const ChannelRecord rec = MakeChannelRecord(c.s, r, ch);
         c.w.Float(rec.value);
         c.w.Byte(rec.decimals);
         c.w.Byte(rec.unitCode);
         c.w.Byte(rec.status);
       }
       return kOk;
     }},
    // Device parameters
    {"ReadCalibrationDate",
     [](Call& c) {
       if (c.Byte(0) != kCalibrationDateSelector) return kDeviceErrorParameter;
       c.w.Double(c.s.calibrationDate);
       return kOk;
     }},
    {"ReadAnalogueCalibration",
     [](Call& c) {
       c.w.Bytes(c.s.analogueCalibration);
       return kOk;
     }},
    {"WriteAnalogueCalibration",
     [](Call& c) {
       std::copy(c.payload.begin(), c.payload.end(), c.s.analogueCalibration.begin());
       c.s.valueAt4mA = GetFloat(c.s.analogueCalibration.data() + analogue::kValueAt4mA);
       c.s.valueAt20mA = GetFloat(c.s.analogueCalibration.data() + analogue::kValueAt20mA);
       return kOk;
     }},
    {"ReadFilterGrade",
     [](Call& c) {
       c.w.Byte(c.s.filterGrade);
       return kOk;
     }},
    {"WriteFilterGrade",
     [](Call& c) {
       c.s.filterGrade = c.Byte(0);
       return kOk;
     }},
    {"ReadSecondFilterGrade",
     [](Call& c) {
       c.w.Byte(c.s.secondFilterGradeWire);
       return kOk;
     }},
    {"WriteSecondFilterGrade",
     [](Call& c) {
       c.s.secondFilterGradeWire = c.Byte(0);
       return kOk;
     }},
    {"ReadDeviceName",
     [](Call& c) {
       std::array<uint8_t, kDeviceNameSize> name{};
       const size_t n = std::min(c.s.deviceName.size(), name.size());
       std::copy_n(c.s.deviceName.begin(), n, name.begin());
       c.w.Bytes(name);
       return kOk;
     }},
    {"ReadCalibrationDateNumber",
     [](Call& c) {
       c.w.U32(c.s.calibrationDateNumber);
       return kOk;
     }},
    // Settings and calibration
    {"ReadUnit",
     [](Call& c) {
       if (c.Byte(0) >= kUnitCount) return kDeviceErrorParameter;
       c.w.Byte(c.s.units[c.Byte(0)]);
       return kOk;
     }},
    {"WriteUnit",
     [](Call& c) {
       const size_t index = c.Byte(0);
       const uint8_t code = c.Byte(1);
       if (!ValidUnit(index, code)) return kDeviceErrorParameter;
       c.s.units[index] = code;
       if (index == kUnitAlternative)
         c.s.decimalCodes[kChannelAlternative] = DefaultDecimalCode(code);
       if (index == kUnitPressure) c.s.decimalCodes[kChannelPressure] = DefaultDecimalCode(code);
       return kOk;
     }},
    {"ReadOffset", [](Call& c) { return IndexedFloat(c, c.s.offsets); }},
    {"WriteOffset",
     [](Call& c) {
       if (c.Byte(0) >= kOffsetCount || !c.FiniteFloat(1)) return kDeviceErrorParameter;
       c.s.offsets[c.Byte(0)] = c.Float(1);
       return kOk;
     }},
    {"ReadBoundary", [](Call& c) { return IndexedFloat(c, c.s.boundaries); }},
    {"ReadTemperatureValue", [](Call& c) { return IndexedFloat(c, c.s.temperatureValues); }},
    {"ReadAutoOffsetActive",
     [](Call& c) {
       c.w.Byte(c.s.autoOffsetActive);
       return kOk;
     }},
    {"ReadOutputFilterActive",
     [](Call& c) {
       c.w.Byte(c.s.outputFilterActive);
       return kOk;
     }},
    {"WriteOutputFilterActive",
     [](Call& c) {
       if (c.Byte(0) > kMaxFlag) return kDeviceErrorParameter;
       c.s.outputFilterActive = c.Byte(0);
       return kOk;
     }},
    {"ReadAutoOffsetMode",
     [](Call& c) {
       c.w.Byte(c.s.autoOffsetMode);
       return kOk;
     }},
    {"ReadAutoOffsetReload",
     [](Call& c) {
       c.w.Byte(c.s.autoOffsetReload);
       return kOk;
     }},
    {"ReadRandomValue", [](Call& c) { return IndexedFloat(c, c.s.randomValues); }},
    {"ReadCalibrationPoint",
     [](Call& c) {
       if (c.Byte(0) >= kK5Points) return kDeviceErrorParameter;
       c.w.Bytes(c.s.factory.k5Points[c.Byte(0)]);
       return kOk;
     }},
    {"ReadCalibrationCoefficients",
     [](Call& c) {
       const uint8_t sel = c.Byte(0);
       const size_t seg = c.Byte(1);
       const FactoryCalibration& f = c.s.factory;
       if (sel == kSelectorK5 && seg < f.k5Coefficients.size()) {
         c.w.Pair(f.k5Coefficients[seg]);
       } else if (sel == kSelectorQcm && seg < f.qcmCoefficients.size()) {
         c.w.Pair(f.qcmCoefficients[seg]);
       } else {
         return kDeviceErrorParameter;
       }
       return kOk;
     }},
    {"ReadCalibrationRecord",
     [](Call& c) {
       const uint8_t sel = c.Byte(0);
       const size_t index = c.Byte(1);
       const FactoryCalibration& f = c.s.factory;
       const FactoryRecord* rec = nullptr;
       if (sel == kSelectorK5 && index < f.k5Records.size()) rec = &f.k5Records[index];
       if (sel == kSelectorQcm && index < f.qcmRecords.size()) rec = &f.qcmRecords[index];
       if (rec == nullptr) return kDeviceErrorParameter;
       c.w.Float(rec->referenceRh);
       c.w.Float(rec->measuredRh);
       c.w.Float(rec->temperature);
       return kOk;
     }},
    {"ReadAutoOffsetSettings",
     [](Call& c) {
       if (c.Byte(0) != 0) return kDeviceErrorParameter;
       c.w.Floats(c.s.autoOffsetSettings);
       return kOk;
     }},
    {"ReadCalibrationPointCount",
     [](Call& c) {
       if (c.Byte(0) > kSelectorQcm) return kDeviceErrorParameter;
       c.w.Byte(c.Byte(0) == kSelectorK5 ? c.s.factory.k5Count : c.s.factory.qcmCount);
       return kOk;
     }},
    {"ReadCalibrationParameter",
     [](Call& c) { return IndexedFloat(c, c.s.factory.qcmFrequencies); }},
    {"ReadAnalogueScaling",
     [](Call& c) {
       c.w.Float(c.s.valueAt4mA);
       c.w.Float(c.s.valueAt20mA);
       return kOk;
     }},
    {"WriteAnalogueScaling",
     [](Call& c) {
       if (!c.FiniteFloat(0) || !c.FiniteFloat(4)) return kDeviceErrorParameter;
       c.s.valueAt4mA = c.Float(0);
       c.s.valueAt20mA = c.Float(4);
       SyncScalingIntoRecord(c.s);
       return kOk;
     }},
    {"ReadPressureCompensation",
     [](Call& c) {
       c.w.Bytes(c.s.compensation);
       return kOk;
     }},
    {"WritePressureCompensation",
     [](Call& c) {
       std::copy(c.payload.begin(), c.payload.end(), c.s.compensation.begin());
       return kOk;
     }},
    {"ReadPressureCoefficients",
     [](Call& c) {
       c.w.Pair(c.s.pressureCoefficients);
       return kOk;
     }},
    {"ReadAtmosphericPressure",
     [](Call& c) {
       c.w.Float(c.s.atmosphericPressure);
       return kOk;
     }},
    {"WriteAtmosphericPressure",
     [](Call& c) {
       if (!(c.FiniteFloat(0) && c.Float(0) > 0.0f)) return kDeviceErrorParameter;
       c.s.atmosphericPressure = c.Float(0);
       return kOk;
     }},
    {"CalibratePressureZero",
     [](Call& c) {
       return CalibratePressureZeroPoint(c.s, c.seconds) ? kOk : kDeviceErrorNotPossible;
     }},
    {"CalibratePressureSpan",
     [](Call& c) {
       return CalibratePressureSpanPoint(c.s, c.seconds, c.Float(0)) ? kOk
                                                                     : kDeviceErrorNotPossible;
     }},
    {"ReadPressureCalibrationData",
     [](Call& c) {
       c.w.Bytes(c.s.pressureData);
       return kOk;
     }},
    {"ReadUserCalibrationCount",
     [](Call& c) {
       c.w.Byte(c.s.userCalibration.count);
       return kOk;
     }},
    {"SetCalibrationPointCount",
     [](Call& c) {
       if (c.Byte(0) > c.s.userCalibration.maxPoints || c.Byte(0) > kUserCalibrationPoints) {
         return kDeviceErrorParameter;
       }
       c.s.userCalibration.count = c.Byte(0);
       return kOk;
     }},
    {"ReadUserCalibrationMeasured",
     [](Call& c) { return ReadFloats10(c, c.s.userCalibration.measured); }},
    {"WriteUserCalibrationMeasured",
     [](Call& c) { return WriteFloats10(c, c.s.userCalibration.measured); }},
    {"ReadUserCalibrationReference",
     [](Call& c) { return ReadFloats10(c, c.s.userCalibration.reference); }},
    {"WriteUserCalibrationReference",
     [](Call& c) { return WriteFloats10(c, c.s.userCalibration.reference); }},
    {"ReadUserCalibrationCoefficients",
     [](Call& c) {
       // Every stretch has its storage and can be read; only writes stop at the maximum.
       if (c.Byte(0) >= kUserCalibrationSegments) return kDeviceErrorParameter;
       c.w.Pair(c.s.userCalibration.coefficients[c.Byte(0)]);
       return kOk;
     }},
    {"WriteUserCalibrationCoefficients",
     [](Call& c) {
       if (c.Byte(0) >= UserSegments(c.s) || !c.FiniteFloat(1) || !c.FiniteFloat(5)) {
         return kDeviceErrorParameter;
       }
       c.s.userCalibration.coefficients[c.Byte(0)] = {c.Float(1), c.Float(5)};
       return kOk;
     }},
    {"ReadGasType",
     [](Call& c) {
       c.w.Byte(c.s.gasType);
       return kOk;
     }},
    {"WriteGasType",
     [](Call& c) {
       if (c.Byte(0) > kMaxGasType) return kDeviceErrorParameter;
       c.s.gasType = c.Byte(0);
       return kOk;
     }},
    {"ReadUserCalibrationFlags",
     [](Call& c) {
       c.w.Byte(c.s.userCalibration.flags);
       return kOk;
     }},
    {"WriteUserCalibrationFlags",
     [](Call& c) {
       c.s.userCalibration.flags = c.Byte(0);
       return kOk;
     }},
    {"ReadMaxCalibrationPoints",
     [](Call& c) {
       c.w.Byte(c.s.userCalibration.maxPoints);
       return kOk;
     }},
    {"CalibrateOffset",
     [](Call& c) {
       return CalibrateDewPointOffset(c.s, c.seconds, c.Float(0)) ? kOk : kDeviceErrorNotPossible;
     }},
    {"ReadSensorOptions",
     [](Call& c) {
       c.w.Byte(c.s.sensorOptions);
       return kOk;
     }},
    {"WriteDisplayChannels",
     [](Call& c) {
       c.s.displayChannels = c.Byte(0);
       return kOk;
     }},
    {"ReadDisplayChannels",
     [](Call& c) {
       c.w.Byte(c.s.displayChannels);
       return kOk;
     }},
};

uint32_t Key(uint16_t group, uint8_t sub) {
  return static_cast<uint32_t>(group) << 8 | sub;
}

const std::unordered_map<uint32_t, Handler>& HandlerMap() {
  static const std::unordered_map<uint32_t, Handler> map = [] {
    std::unordered_map<uint32_t, Handler> m;
    for (const Row& row : kHandlers) {
      const CommandSpec& command = CommandByName(row.name);
      m.emplace(Key(command.group, command.sub), row.handler);
    }
    return m;
  }();
  return map;
}

size_t ReplyLength(const CommandSpec& command, std::span<const uint8_t> payload) {
  if (!command.replyPerChannel) return command.replyLength;
  return static_cast<size_t>(payload[1]) * command.replyLength + 1;
}

}  // namespace

std::vector<uint8_t> RefusalPayload(uint32_t deviceError) {
  std::vector<uint8_t> p(1 + sizeof(uint32_t));
  p[0] = kStatusRefused;
  PutU32(p.data() + 1, deviceError);
  return p;
}

std::vector<uint8_t> ExecuteCommand(SensorState& state, std::span<const uint8_t> body,
                                    double seconds, CommandEffects& effects) {
  constexpr size_t kHeader = 3;
  if (body.size() < kHeader) return RefusalPayload(kDeviceErrorLength);
  const uint16_t group = GetU16(body.data());
  const uint8_t sub = body[2];
  const CommandSpec* command = FindCommand(group, sub);
  const auto& map = HandlerMap();
  const auto it = map.find(Key(group, sub));
  if (command == nullptr || it == map.end()) return RefusalPayload(kDeviceErrorUnknownCommand);
  const std::span<const uint8_t> payload = body.subspan(kHeader);
  if (payload.size() != command->PayloadLength()) return RefusalPayload(kDeviceErrorLength);

  // A refused command changes nothing: handlers work on a copy that is kept only on success.
  SensorState work = state;
  CommandEffects workEffects;
  ReplyWriter writer;
  Call call{work, payload, seconds, writer, workEffects};
  const uint32_t error = it->second(call);
  if (error != kOk) return RefusalPayload(error);
  state = std::move(work);
  effects = workEffects;
  return writer.Finish(ReplyLength(*command, payload));
}

}  // namespace korvin::sim
