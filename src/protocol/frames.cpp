#include "protocol/frames.h"

#include <array>
#include <cstring>

namespace korvin {

namespace {

// CRC-16/MODBUS with the split lookup tables of the Modbus serial line: one table gives the byte
// that is folded into the low half of the register, the other the new high half.
constexpr uint16_t kCrcPolynomial = 0xA001;  // 0x8005 reflected
constexpr uint16_t kCrcInitial = 0xFFFF;

struct CrcTables {
  std::array<uint8_t, 256> low{};
  std::array<uint8_t, 256> high{};
};

constexpr CrcTables MakeCrcTables() {
  CrcTables t;
  for (int i = 0; i < 256; ++i) {
    uint16_t crc = static_cast<uint16_t>(i);
    for (int bit = 0; bit < 8; ++bit) {
      crc = (crc & 1) ? static_cast<uint16_t>((crc >> 1) ^ kCrcPolynomial)
                      : static_cast<uint16_t>(crc >> 1);
    }
    t.low[i] = static_cast<uint8_t>(crc & 0xFF);
    t.high[i] = static_cast<uint8_t>(crc >> 8);
  }
  return t;
}

constexpr CrcTables kCrcTables = MakeCrcTables();

constexpr uint8_t kTerminator = 0x00;
constexpr size_t kMinServiceFrame = 4;

}  // namespace

uint16_t ComputeCrc16(const uint8_t* data, size_t length) {
  uint8_t low = kCrcInitial & 0xFF;
  uint8_t high = kCrcInitial >> 8;
  for (size_t i = 0; i < length; ++i) {
    const uint8_t index = low ^ data[i];
    low = high ^ kCrcTables.low[index];
    high = kCrcTables.high[index];
  }
  return static_cast<uint16_t>(high << 8 | low);
}

uint8_t AdditiveChecksum(const uint8_t* data, size_t length) {
  uint8_t sum = 0;
  for (size_t i = 0; i < length; ++i) sum = static_cast<uint8_t>(sum + data[i]);
  return static_cast<uint8_t>(-sum);
}

size_t WrapProfileF(uint8_t* frame, size_t bodyLength, uint8_t address) {
  const size_t serviceLength = bodyLength + ServiceFrame::kOverhead;
  if (serviceLength > EnvelopeFrame::kMaxServiceFrame) return 0;
  frame[0] = address;
  frame[1] = static_cast<uint8_t>(serviceLength);
  frame[serviceLength - 2] = AdditiveChecksum(frame, serviceLength - 2);
  frame[serviceLength - 1] = kTerminator;
  std::memmove(frame + EnvelopeFrame::kHeader, frame, serviceLength);
  frame[0] = address;
  frame[1] = EnvelopeFrame::kFunctionCode;
  frame[2] = static_cast<uint8_t>(serviceLength);
  const size_t crcPos = EnvelopeFrame::kHeader + serviceLength;
  const uint16_t crc = ComputeCrc16(frame, crcPos);
  frame[crcPos] = static_cast<uint8_t>(crc & 0xFF);
  frame[crcPos + 1] = static_cast<uint8_t>(crc >> 8);
  return bodyLength + EnvelopeFrame::kOverhead;
}

size_t WrapProfileV(uint8_t* frame, size_t bodyLength, uint8_t address) {
  frame[0] = AdapterFrame::kStartByte;
  frame[1] = address;
  frame[2] = static_cast<uint8_t>(bodyLength + ServiceFrame::kOverhead);
  const size_t checksumPos = AdapterFrame::kBodyOffset + bodyLength;
  frame[checksumPos] = AdditiveChecksum(frame + 1, checksumPos - 1);
  frame[checksumPos + 1] = kTerminator;
  return bodyLength + AdapterFrame::kOverhead + 1;
}

ResultCode CheckServiceFrame(const uint8_t* rx, size_t count, uint8_t address) {
  if (count < 2) return count == 0 ? ERR_FRAME_SHORT : ERR_FRAME_CHECKSUM;
  const uint8_t sum = static_cast<uint8_t>(-AdditiveChecksum(rx, count));
  const size_t declared = rx[1];
  if (sum != 0) {
    // The frame does not end exactly at `count`: accept it only when a complete frame of the
    // declared length stands at the front of a longer reception.
    if (declared == count) return ERR_FRAME_CHECKSUM;
    if (declared > count) return ERR_FRAME_CHECKSUM;
    if (declared != 0 && AdditiveChecksum(rx, declared) != 0) return ERR_FRAME_CHECKSUM;
    if (rx[0] != address) return ERR_FRAME_ADDRESS;
    if (declared != 0 && rx[declared - 1] != kTerminator) return ERR_FRAME_TERMINATOR;
    if (declared < kMinServiceFrame) return ERR_FRAME_SHORT;
    return kOk;
  }
  if (rx[0] != address) return ERR_FRAME_ADDRESS;
  if (rx[count - 1] != kTerminator) return ERR_FRAME_TERMINATOR;
  if (declared != count) return ERR_FRAME_LENGTH;
  if (declared < kMinServiceFrame) return ERR_FRAME_SHORT;
  return kOk;
}

ResultCode CheckProfileF(uint8_t* rx, size_t count, uint8_t address, size_t* payloadPos) {
  constexpr size_t kMinEnvelope = EnvelopeFrame::kOverhead + 1;
  if (count >= kMinEnvelope && ComputeCrc16(rx, count) == 0) {
    count -= EnvelopeFrame::kHeader + 2;
    std::memmove(rx, rx + EnvelopeFrame::kHeader, count);
  }
  const ResultCode result = CheckServiceFrame(rx, count, address);
  if (result == kOk && payloadPos != nullptr) *payloadPos = ServiceFrame::kPayloadOffset;
  return result;
}

ResultCode CheckProfileV(uint8_t* rx, size_t count, uint8_t address, size_t* payloadPos) {
  const ResultCode result = CheckServiceFrame(rx, count, address);
  if (result == kOk && payloadPos != nullptr) *payloadPos = ServiceFrame::kPayloadOffset;
  return result;
}

size_t CheckedPayloadLength(const uint8_t* rx) {
  constexpr size_t kLengthPos = 1;
  const size_t declared = rx[kLengthPos];
  return declared > ServiceFrame::kOverhead ? declared - ServiceFrame::kOverhead : 0;
}

ReplyStatus ParseReplyStatus(const uint8_t* payload, size_t length) {
  ReplyStatus status;
  if (length == 0) return status;
  if (payload[0] == kStatusAccepted) {
    status.refused = false;
    return status;
  }
  if (payload[0] == kStatusRefused) {
    status.headerLength = 5;
    if (length >= status.headerLength) {
      status.hasDeviceError = true;
      status.deviceError =
          static_cast<uint32_t>(payload[1]) | static_cast<uint32_t>(payload[2]) << 8 |
          static_cast<uint32_t>(payload[3]) << 16 | static_cast<uint32_t>(payload[4]) << 24;
    }
  }
  return status;
}

std::vector<uint8_t> EncodeServiceFrame(uint8_t address, const uint8_t* payload, size_t length) {
  std::vector<uint8_t> frame(length + ServiceFrame::kOverhead);
  frame[0] = address;
  frame[1] = static_cast<uint8_t>(frame.size());
  if (length > 0) std::memcpy(frame.data() + 2, payload, length);
  frame[length + 2] = AdditiveChecksum(frame.data(), length + 2);
  frame[length + 3] = kTerminator;
  return frame;
}

std::vector<uint8_t> EncodeEnvelopeFrame(uint8_t address,
                                         const std::vector<uint8_t>& serviceFrame) {
  std::vector<uint8_t> frame;
  frame.reserve(serviceFrame.size() + EnvelopeFrame::kHeader + 2);
  frame.push_back(address);
  frame.push_back(EnvelopeFrame::kFunctionCode);
  frame.push_back(static_cast<uint8_t>(serviceFrame.size()));
  frame.insert(frame.end(), serviceFrame.begin(), serviceFrame.end());
  const uint16_t crc = ComputeCrc16(frame.data(), frame.size());
  frame.push_back(static_cast<uint8_t>(crc & 0xFF));
  frame.push_back(static_cast<uint8_t>(crc >> 8));
  return frame;
}

}  // namespace korvin
