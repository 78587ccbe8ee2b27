#pragma once

#include <cstddef>
#include <cstdint>

namespace korvin {

// The request just written, as the serial read looks for its echo. On an RS-485 line the
// adapter hears its own transmission; USB adapters report the send done before the last bytes
// have left the wire, so their echo, or its tail, reaches us after the receive queue was cleared.
struct SentFrame {
  const uint8_t* bytes = nullptr;
  size_t length = 0;
  uint8_t replyStart = 0;  // the first byte of any reply: the device address
};

struct EchoMatch {
  bool decided = false;  // false: the bytes may still be an echo on its way, read on
  size_t length = 0;     // leading bytes that are the echo, to be dropped
};

// Looks at the first `count` bytes received after a write. They may begin with the request
// itself or with its tail (its first bytes were purged). Such an echo is recognised only as a
// whole: bytes that could still grow into one leave the match undecided, and a tail counts only
// when the reply's first byte, or nothing yet, follows it. Without an echo the result is
// decided with length 0.
EchoMatch MatchLeadingEcho(const uint8_t* received, size_t count, const SentFrame& sent);

}  // namespace korvin
