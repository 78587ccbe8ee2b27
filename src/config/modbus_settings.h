#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace korvin {

// The sensor's Modbus parameters, 22 bytes little-endian, the same layout read and written:
//
//   offset width field
//   0      2     slave address (1 ... 247)
//   2      4     baud rate in bit/s
//   6      2     baud rate list index (0 ... 7)
//   8      2     parity/frame list index (0 ... 3)
//   10     2     response timeout in 0.1 s (0 ... 255)
//   12     2     response delay in ms (0 ... 255)
//   14     4     interface space in µs
//   18     2     interface space in characters
//   20     2     transmission mode: 0 RTU, 1 other
struct ModbusSettings {
  static constexpr size_t kSize = 22;
  using Bytes = std::array<uint8_t, kSize>;

  uint16_t address = 0;
  uint32_t baud = 0;
  uint16_t baudIndex = 0;
  uint16_t framingIndex = 0;
  uint16_t responseTimeout = 0;
  uint16_t responseDelay = 0;
  uint32_t spaceUs = 0;
  uint16_t spaceChars = 0;
  uint16_t mode = 0;

  static ModbusSettings Decode(std::span<const uint8_t, kSize> bytes);
  Bytes Encode() const;
};

inline constexpr uint16_t kModbusModeRtu = 0;
inline constexpr uint16_t kModbusModeOther = 1;

// The "Baudrate" list; a position is the baud rate list index of the record.
inline constexpr std::array<std::string_view, 8> kModbusBaudTexts = {
    "1200", "2400", "4800", "9600", "19200", "38400", "57600", "115200"};
// The "Parity/Frame" list; a position is the parity/frame list index of the record.
inline constexpr std::array<std::string_view, 4> kModbusFramingTexts = {"8, E, 1", "8, O, 1",
                                                                        "8, N, 2", "8, N, 1"};
// The "Interface Space (char)" list: "7" ... "50".
inline constexpr int kModbusFirstSpaceChars = 7;
inline constexpr int kModbusLastSpaceChars = 50;
std::span<const std::string_view> ModbusSpaceCharTexts();

}  // namespace korvin
