#pragma once

#include <algorithm>
#include <cmath>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/serial_port.h"

namespace korvin::test {

// A scripted serial line on a virtual clock, for transport tests that need exact control over
// what arrives when. Each write is answered by `responder`: chunks that arrive whole, `delayUs`
// after the written frame has left, each taking its own transmission time. With `echo` the
// written frame comes back `echoDelayUs` after it has left (0: before the drain is over), its
// first `echoLostBytes` bytes missing (they were purged with the receive queue).
class FakeSerialPort : public SerialPort {
 public:
  using Bytes = std::vector<uint8_t>;
  struct Chunk {
    Bytes bytes;
    int64_t delayUs = 0;
  };

  explicit FakeSerialPort(Clock& clock) : clock_(clock) {}

  std::function<std::vector<Chunk>(const Bytes& written)> responder;
  bool openFails = false;
  int openFailsAtBaud = 0;  // only opens at this speed fail
  PortOpenFailure openFailure = PortOpenFailure::kNotFound;
  bool closeFails = false;     // Close() leaves the port open
  bool transmitStuck = false;  // the transmit queue never empties
  bool echo = false;
  int64_t echoDelayUs = 0;
  size_t echoLostBytes = 0;
  bool readFails = false;
  std::vector<Bytes> writes;
  std::vector<std::string> opened;
  int receivePurges = 0;
  int transmitPurges = 0;

  int64_t TransmitUs(size_t bytes) const {
    return std::llround(static_cast<double>(bytes) * 10e6 / std::max(baud_, 1));
  }

  bool Open(const std::string& device, const LineSettings& settings) override {
    open_ = false;
    if (openFails || (openFailsAtBaud != 0 && settings.baud == openFailsAtBaud)) {
      openError_ = {openFailure, 0};
      return false;
    }
    openError_ = {};
    open_ = true;
    baud_ = settings.baud;
    opened.push_back(device + "@" + std::to_string(settings.baud));
    arrivals_.clear();
    return true;
  }
  void Close() override {
    if (closeFails) return;
    open_ = false;
    arrivals_.clear();
  }
  bool IsOpen() const override { return open_; }
  PortOpenError LastOpenError() const override { return openError_; }
  bool PurgeReceive() override {
    ++receivePurges;
    std::erase_if(arrivals_, [&](const Arrival& a) { return a.atUs <= clock_.NowUs(); });
    return true;
  }
  bool PurgeTransmit() override {
    ++transmitPurges;
    return true;
  }
  int BytesInReceiveQueue() override {
    if (readFails) return -1;
    int n = 0;
    for (const Arrival& a : arrivals_)
      n += a.atUs <= clock_.NowUs() ? static_cast<int>(a.bytes.size()) : 0;
    return n;
  }
  int BytesInTransmitQueue() override {
    return transmitStuck || clock_.NowUs() < txDoneUs_ ? 1 : 0;
  }
  bool WaitTransmitted(Clock& clock, int64_t timeoutUs) override {
    const int64_t wait = transmitStuck ? timeoutUs + 1 : txDoneUs_ - clock.NowUs();
    if (wait > timeoutUs) {
      clock.SleepUs(timeoutUs);
      return false;
    }
    clock.SleepUs(wait);
    return true;
  }
  int Write(const uint8_t* data, size_t length) override {
    if (!open_) return -1;
    Bytes frame(data, data + length);
    writes.push_back(frame);
    txDoneUs_ = clock_.NowUs() + TransmitUs(length);
    if (echo && echoLostBytes < frame.size()) {
      arrivals_.push_back({txDoneUs_ + echoDelayUs,
                           Bytes(frame.begin() + static_cast<long>(echoLostBytes), frame.end())});
    }
    if (responder) {
      for (Chunk& c : responder(frame)) {
        const int64_t at = txDoneUs_ + c.delayUs + TransmitUs(c.bytes.size());
        arrivals_.push_back({at, std::move(c.bytes)});
      }
    }
    std::stable_sort(arrivals_.begin(), arrivals_.end(),
                     [](const Arrival& a, const Arrival& b) { return a.atUs < b.atUs; });
    return static_cast<int>(length);
  }
  int Read(uint8_t* data, size_t capacity) override {
    if (readFails) return -1;
    size_t n = 0;
    while (!arrivals_.empty() && arrivals_.front().atUs <= clock_.NowUs() && n < capacity) {
      Bytes& b = arrivals_.front().bytes;
      const size_t take = std::min(capacity - n, b.size());
      std::copy_n(b.begin(), take, data + n);
      n += take;
      b.erase(b.begin(), b.begin() + static_cast<long>(take));
      if (b.empty()) arrivals_.pop_front();
    }
    return static_cast<int>(n);
  }
  bool WaitReadable(int64_t timeoutUs) override {
    if (BytesInReceiveQueue() > 0) return true;
    for (const Arrival& a : arrivals_) {
      if (a.atUs - clock_.NowUs() <= timeoutUs) {
        clock_.SleepUs(a.atUs - clock_.NowUs());
        return true;
      }
    }
    clock_.SleepUs(timeoutUs);
    return false;
  }
  void SetDtr(bool) override {}
  void SetRts(bool) override {}
  int Baud() const override { return open_ ? baud_ : 0; }

 private:
  struct Arrival {
    int64_t atUs;
    Bytes bytes;
  };
  Clock& clock_;
  bool open_ = false;
  int baud_ = 0;
  int64_t txDoneUs_ = 0;
  PortOpenError openError_;
  std::deque<Arrival> arrivals_;
};

}  // namespace korvin::test
