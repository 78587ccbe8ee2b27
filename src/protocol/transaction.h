#pragma once

#include <cstdint>

#include "protocol/commands.h"
#include "protocol/protocol_context.h"
#include "protocol/result_codes.h"

namespace korvin {

inline constexpr int kTransactionTries = 3;

// Builds the request, frames it for the link profile in force, exchanges it with up to three
// tries, checks the reply and copies at most `copyLimit` data bytes (after the status) to
// `destination`. Nothing is copied on failure.
ResultCode RunTransaction(ProtocolContext& context, const RequestBuilder& builder,
                          void* destination = nullptr, uint8_t copyLimit = 0);

// The same engine for a body the caller wrote itself (the device name read of the connect
// sequence has no builder). `body` is copied to the body offset of the transmit buffer.
ResultCode RunRawTransaction(ProtocolContext& context, const uint8_t* body, size_t bodyLength,
                             size_t expectedReplyLength, void* destination, uint8_t copyLimit);

}  // namespace korvin
