#include "protocol/echo_filter.h"

#include <algorithm>
#include <cstring>

namespace korvin {

EchoMatch MatchLeadingEcho(const uint8_t* received, size_t count, const SentFrame& sent) {
  if (sent.bytes == nullptr || sent.length == 0) return {true, 0};
  if (count == 0) return {false, 0};

  // A piece of the request that does not reach its end: more of the echo may follow.
  for (size_t start = 0; start + count < sent.length; ++start) {
    if (std::memcmp(sent.bytes + start, received, count) == 0) return {false, 0};
  }
  // The longest tail of the request that the reception starts with, as a whole.
  for (size_t tail = std::min(count, sent.length); tail > 0; --tail) {
    const bool matches = std::memcmp(received, sent.bytes + sent.length - tail, tail) == 0;
    if (matches && (tail == count || received[tail] == sent.replyStart)) return {true, tail};
  }
  return {true, 0};
}

}  // namespace korvin
