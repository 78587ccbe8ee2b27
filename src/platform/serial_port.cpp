#include "platform/serial_port.h"

#include <algorithm>

namespace korvin {

namespace {
// Never poll the queue faster than this; a byte at 115200 baud takes 87 us.
constexpr int64_t kMinDrainPollUs = 200;
constexpr int64_t kBitsPerByte = 10;
}  // namespace

bool SerialPort::WaitTransmitted(Clock& clock, int64_t timeoutUs) {
  const int64_t start = clock.NowUs();
  for (;;) {
    const int queued = BytesInTransmitQueue();
    if (queued <= 0) return queued == 0;
    const int64_t elapsed = clock.NowUs() - start;
    if (elapsed >= timeoutUs) return false;
    // Sleep about as long as the queued bytes need on the line instead of spinning.
    const int baud = std::max(Baud(), 1);
    const int64_t needUs = queued * kBitsPerByte * 1'000'000 / baud;
    clock.SleepUs(std::clamp(needUs, kMinDrainPollUs, timeoutUs - elapsed));
  }
}

}  // namespace korvin
