#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>

#include "protocol/frames.h"
#include "protocol/result_codes.h"

namespace korvin {

class LinkTrace;

inline constexpr size_t kTransmitBufferSize = 256;
inline constexpr size_t kReceiveBufferSize = 259;

// The profile-neutral view of the link: six operations installed by the link set-up for
// profile F or V, the address, the buffers and the last device error. One per link, passed by
// reference; nothing global.
struct ProtocolContext {
  using ExchangeOp = std::function<ResultCode(const uint8_t* tx, uint16_t txLength, uint8_t* rx,
                                              uint16_t rxLength)>;
  using WrapOp = size_t (*)(uint8_t* frame, size_t bodyLength, uint8_t address);
  using CheckOp = ResultCode (*)(uint8_t* rx, size_t count, uint8_t address, size_t* payloadPos);
  using CountOp = size_t (*)();
  using ParseStatusOp = ReplyStatus (*)(const uint8_t* payload, size_t length);

  uint8_t address = 0;
  ExchangeOp exchange;
  WrapOp wrap = nullptr;
  CheckOp check = nullptr;
  CountOp replyOverhead = nullptr;
  CountOp bodyOffset = nullptr;
  ParseStatusOp parseStatus = nullptr;

  std::array<uint8_t, kTransmitBufferSize> transmit{};
  std::array<uint8_t, kReceiveBufferSize> receive{};
  uint32_t lastDeviceError = 0;
  // Where every try is reported when the traffic is traced; null otherwise.
  LinkTrace* trace = nullptr;

  // Set while a transaction owns the buffers above. A transaction started from an event pumped
  // during the wait works on buffers of its own and cannot disturb the running one.
  bool buffersInUse = false;

  bool Installed() const {
    return exchange && wrap && check && replyOverhead && bodyOffset && parseStatus;
  }
};

enum class LinkProfile : int { kNone = 0, kProfileF = 1, kProfileV = 2 };

}  // namespace korvin
