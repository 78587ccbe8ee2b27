#include "protocol/transaction.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "protocol/link_trace.h"

namespace korvin {

namespace {

// The longest body whose frame fits the transmit buffer in either profile.
constexpr size_t kMaxBodyLength =
    kTransmitBufferSize - EnvelopeFrame::kOverhead - ServiceFrame::kPayloadOffset;

// The caller's buffers for one transaction: the context's own, or, while another transaction is
// waiting for its reply (re-entry through the event pump), a private pair, so the nested call can
// never overwrite the frame or the reply of the one that runs.
struct Buffers {
  uint8_t* transmit;
  uint8_t* receive;
};

class BufferLease {
 public:
  explicit BufferLease(ProtocolContext& context)
      : context_(context), owner_(!context.buffersInUse) {
    if (owner_) context_.buffersInUse = true;
  }
  ~BufferLease() {
    if (owner_) context_.buffersInUse = false;
  }
  BufferLease(const BufferLease&) = delete;
  BufferLease& operator=(const BufferLease&) = delete;

  Buffers buffers() {
    if (owner_) return {context_.transmit.data(), context_.receive.data()};
    return {transmit_.data(), receive_.data()};
  }

 private:
  ProtocolContext& context_;
  bool owner_;
  std::array<uint8_t, kTransmitBufferSize> transmit_{};
  std::array<uint8_t, kReceiveBufferSize> receive_{};
};

template <typename WriteBody>
ResultCode Run(ProtocolContext& context, WriteBody&& writeBody, void* destination,
               uint8_t copyLimit) {
  if (!context.Installed()) return ERR_PORT_CLOSED;
  BufferLease lease(context);
  const Buffers buf = lease.buffers();

  const size_t bodyOffset = context.bodyOffset();
  const size_t overhead = context.replyOverhead();
  const BuiltRequest built = writeBody(buf.transmit + bodyOffset);
  if (built.bodyLength > kMaxBodyLength) return ERR_FRAME_LENGTH;
  LinkTrace* const trace = context.trace;
  // Described before the wrap, which may move the body within the frame.
  const std::string command =
      trace != nullptr ? DescribeRequestBody(buf.transmit + bodyOffset, built.bodyLength) : "";
  const size_t frameLength = context.wrap(buf.transmit, built.bodyLength, context.address);
  const size_t expected = built.replyLength + overhead;
  // A frame that cannot be built, or a reply longer than the receive buffer, would overrun the
  // buffers: refuse it before anything goes on the line.
  if (frameLength == 0 || frameLength > kTransmitBufferSize || expected > kReceiveBufferSize) {
    return ERR_FRAME_LENGTH;
  }

  ResultCode result = kOk;
  size_t payloadPos = 0;
  for (int attempt = 0; attempt < kTransactionTries; ++attempt) {
    if (trace != nullptr) trace->BeginTry(command, attempt + 1);
    result = context.exchange(buf.transmit, static_cast<uint16_t>(frameLength), buf.receive,
                              static_cast<uint16_t>(expected));
    if (result == kOk) result = context.check(buf.receive, expected, context.address, &payloadPos);
    if (result == kOk) break;
    if (trace != nullptr) trace->EndTry(result, nullptr, 0);
    // The application is closing: further tries would only delay it.
    if (result == ERR_LINK_QUIT) break;
  }
  if (result != kOk) return result;

  const uint8_t* payload = buf.receive + payloadPos;
  // A frame shorter than the reception ends before it: its checksum, terminator and whatever
  // followed are not data.
  const size_t payloadLength = std::min(expected - overhead, CheckedPayloadLength(buf.receive));
  const ReplyStatus status = context.parseStatus(payload, payloadLength);
  if (trace != nullptr) {
    const size_t dataLength =
        payloadLength > status.headerLength ? payloadLength - status.headerLength : 0;
    trace->EndTry(status.refused ? ERR_DEVICE_REFUSED : kOk, &status, dataLength);
  }
  if (status.hasDeviceError) context.lastDeviceError = status.deviceError;
  if (status.refused) return ERR_DEVICE_REFUSED;

  if (payloadLength > status.headerLength && copyLimit != 0 && destination != nullptr) {
    const size_t dataLength = payloadLength - status.headerLength;
    std::memcpy(destination, payload + status.headerLength,
                std::min<size_t>(dataLength, copyLimit));
  }
  return kOk;
}

}  // namespace

ResultCode RunTransaction(ProtocolContext& context, const RequestBuilder& builder,
                          void* destination, uint8_t copyLimit) {
  return Run(
      context, [&](uint8_t* body) { return builder.Build(body); }, destination, copyLimit);
}

ResultCode RunRawTransaction(ProtocolContext& context, const uint8_t* body, size_t bodyLength,
                             size_t expectedReplyLength, void* destination, uint8_t copyLimit) {
  return Run(
      context,
      [&](uint8_t* at) {
        std::memcpy(at, body, std::min(bodyLength, kMaxBodyLength));
        return BuiltRequest{bodyLength, expectedReplyLength};
      },
      destination, copyLimit);
}

}  // namespace korvin
