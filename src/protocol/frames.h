#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "protocol/result_codes.h"

namespace korvin {

// ServiceFrame (request and reply), n body bytes:
//   0      address
//   1      length L = n + 4 (address to terminator)
//   2..    body / reply payload (n bytes)
//   n+2    checksum: two's complement of the sum of bytes 0..n+1
//   n+3    terminator 0x00
// EnvelopeFrame (profile F, both directions): address, 0x46, L, the service frame, CRC-16 low,
// CRC-16 high; n + 9 bytes, the CRC over everything before it.
// AdapterFrame (profile V requests only): 'V', address, n + 4, body, checksum over
// address..body, 0x00; n + 5 bytes. Profile V replies are bare service frames.
namespace ServiceFrame {
inline constexpr size_t kOverhead = 4;
inline constexpr size_t kPayloadOffset = 2;
}  // namespace ServiceFrame

namespace EnvelopeFrame {
inline constexpr uint8_t kFunctionCode = 0x46;
inline constexpr size_t kHeader = 3;
inline constexpr size_t kOverhead = 9;
inline constexpr size_t kBodyOffset = 2;  // body position before the service frame moves up
inline constexpr size_t kMaxServiceFrame = 249;
}  // namespace EnvelopeFrame

namespace AdapterFrame {
inline constexpr uint8_t kStartByte = 0x56;
inline constexpr size_t kOverhead = 4;  // of a profile V reply, a bare service frame
inline constexpr size_t kBodyOffset = 3;
}  // namespace AdapterFrame

uint16_t ComputeCrc16(const uint8_t* data, size_t length);
uint8_t AdditiveChecksum(const uint8_t* data, size_t length);

// Wrap: the body stands at the profile's body offset; the frame is completed around it in place.
// Returns the frame length, 0 when the body does not fit (profile F, more than 245 bytes).
size_t WrapProfileF(uint8_t* frame, size_t bodyLength, uint8_t address);
size_t WrapProfileV(uint8_t* frame, size_t bodyLength, uint8_t address);

// Check: validate a received reply in place. On success *payloadPos is where the reply payload
// starts (after the service frame's length byte).
ResultCode CheckServiceFrame(const uint8_t* rx, size_t count, uint8_t address);
ResultCode CheckProfileF(uint8_t* rx, size_t count, uint8_t address, size_t* payloadPos);
ResultCode CheckProfileV(uint8_t* rx, size_t count, uint8_t address, size_t* payloadPos);
// After a successful check, in either profile, the service frame that was accepted stands at the
// start of the buffer. It may be shorter than the reception (trailing bytes are ignored); this is
// the length of its own payload.
size_t CheckedPayloadLength(const uint8_t* rx);

struct ReplyStatus {
  bool refused = true;
  size_t headerLength = 1;  // 1 for '>' and unknown bytes, 5 for '?'
  bool hasDeviceError = false;
  uint32_t deviceError = 0;
};
inline constexpr uint8_t kStatusAccepted = 0x3E;  // '>'
inline constexpr uint8_t kStatusRefused = 0x3F;   // '?'

// Looks at the first payload byte; `length` bounds what may be read.
ReplyStatus ParseReplyStatus(const uint8_t* payload, size_t length);

// Encoders for the sensor side (virtual sensor, tests): whole frames from a payload.
std::vector<uint8_t> EncodeServiceFrame(uint8_t address, const uint8_t* payload, size_t length);
std::vector<uint8_t> EncodeEnvelopeFrame(uint8_t address, const std::vector<uint8_t>& serviceFrame);

}  // namespace korvin
