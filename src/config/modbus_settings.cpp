#include "config/modbus_settings.h"

#include <string>
#include <vector>

#include "protocol/commands.h"

namespace korvin {

namespace {
constexpr size_t kAddress = 0;
constexpr size_t kBaud = 2;
constexpr size_t kBaudIndex = 6;
constexpr size_t kFramingIndex = 8;
constexpr size_t kResponseTimeout = 10;
constexpr size_t kResponseDelay = 12;
constexpr size_t kSpaceUs = 14;
constexpr size_t kSpaceChars = 18;
constexpr size_t kMode = 20;
}  // namespace

ModbusSettings ModbusSettings::Decode(std::span<const uint8_t, kSize> bytes) {
  const uint8_t* b = bytes.data();
  ModbusSettings s;
  s.address = GetU16(b + kAddress);
  s.baud = GetU32(b + kBaud);
  s.baudIndex = GetU16(b + kBaudIndex);
  s.framingIndex = GetU16(b + kFramingIndex);
  s.responseTimeout = GetU16(b + kResponseTimeout);
  s.responseDelay = GetU16(b + kResponseDelay);
  s.spaceUs = GetU32(b + kSpaceUs);
  s.spaceChars = GetU16(b + kSpaceChars);
  s.mode = GetU16(b + kMode);
  return s;
}

ModbusSettings::Bytes ModbusSettings::Encode() const {
  Bytes bytes{};
  uint8_t* b = bytes.data();
  PutU16(b + kAddress, address);
  PutU32(b + kBaud, baud);
  PutU16(b + kBaudIndex, baudIndex);
  PutU16(b + kFramingIndex, framingIndex);
  PutU16(b + kResponseTimeout, responseTimeout);
  PutU16(b + kResponseDelay, responseDelay);
  PutU32(b + kSpaceUs, spaceUs);
  PutU16(b + kSpaceChars, spaceChars);
  PutU16(b + kMode, mode);
  return bytes;
}

std::span<const std::string_view> ModbusSpaceCharTexts() {
  static const std::vector<std::string> texts = [] {
    std::vector<std::string> t;
    for (int n = kModbusFirstSpaceChars; n <= kModbusLastSpaceChars; ++n) {
      t.push_back(std::to_string(n));
    }
    return t;
  }();
  static const std::vector<std::string_view> views(texts.begin(), texts.end());
  return views;
}

}  // namespace korvin
