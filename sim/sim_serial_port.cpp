#include "sim/sim_serial_port.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace korvin::sim {

namespace {
constexpr double kBitTimesPerByteUs = 10.0 * 1e6;  // 10 bits per byte, in µs·baud
constexpr int kFramingDataBits = 8;
}  // namespace

int64_t SimSerialPort::ByteDoneUs(size_t index, int baud) {
  if (baud <= 0) return 0;
  return std::llround(static_cast<double>(index + 1) * kBitTimesPerByteUs / baud);
}

SimSerialPort::SimSerialPort(SensorModel& model, Clock& clock) : model_(model), clock_(clock) {}

bool SimSerialPort::Open(const std::string& device, const LineSettings& settings) {
  if (open_) Close();
  if (openFails_ || (openFailsAtBaud_ != 0 && settings.baud == openFailsAtBaud_)) {
    openError_ = {openFailure_, 0};
    return false;
  }
  openError_ = {};
  open_ = true;
  device_ = device;
  settings_ = settings;
  dtr_ = false;
  rts_ = true;
  ++openCount_;
  transmit_.clear();
  receive_.clear();
  return true;
}

void SimSerialPort::Close() {
  if (!open_ || closeFails_) return;
  Update();
  transmit_.clear();
  receive_.clear();
  open_ = false;
}

int64_t SimSerialPort::DrainEarlyUs() const {
  return model_.faults().echo ? model_.faults().drainEarlyUs : 0;
}

int SimSerialPort::SensorBaud() const {
  const bool framingOk =
      settings_.dataBits == kFramingDataBits && settings_.parity == Parity::kNone;
  return framingOk ? settings_.baud : 0;
}

void SimSerialPort::Schedule(int64_t atUs, uint8_t byte, bool echo) {
  const auto pos = std::upper_bound(receive_.begin(), receive_.end(), atUs,
                                    [](int64_t t, const Arrival& a) { return t < a.atUs; });
  receive_.insert(pos, Arrival{atUs, byte, echo});
}

void SimSerialPort::ScheduleReply(const Reply& reply, int64_t requestEndUs, int baud) {
  int64_t t = requestEndUs;
  for (const ReplyChunk& chunk : reply.chunks) {
    const int64_t start = t + chunk.delayUs;
    for (size_t i = 0; i < chunk.bytes.size(); ++i) {
      Schedule(start + ByteDoneUs(i, baud), chunk.bytes[i], false);
    }
    t = chunk.bytes.empty() ? start : start + ByteDoneUs(chunk.bytes.size() - 1, baud);
  }
}

void SimSerialPort::Update() {
  if (!open_) return;
  const int64_t now = clock_.NowUs();
  while (!transmit_.empty() && transmit_.front().EndUs() <= now) {
    Burst burst = std::move(transmit_.front());
    transmit_.pop_front();
    const int64_t end = burst.EndUs();
    for (const Reply& reply : model_.Receive(burst.bytes, burst.heardBaud, end)) {
      ScheduleReply(reply, end, burst.baud);
    }
  }
}

size_t SimSerialPort::ArrivedCount() const {
  const int64_t now = clock_.NowUs();
  size_t n = 0;
  while (n < receive_.size() && receive_[n].atUs <= now) ++n;
  return n;
}

bool SimSerialPort::PurgeReceive() {
  if (!open_) return false;
  Update();
  receive_.erase(receive_.begin(), receive_.begin() + static_cast<std::ptrdiff_t>(ArrivedCount()));
  return true;
}

bool SimSerialPort::PurgeTransmit() {
  if (!open_) return false;
  Update();
  transmit_.clear();
  // The echo of bytes that now never go out does not come back either.
  const int64_t now = clock_.NowUs();
  std::erase_if(receive_, [now](const Arrival& a) { return a.echo && a.atUs > now; });
  return true;
}

int SimSerialPort::BytesInReceiveQueue() {
  if (!open_ || gone_) return -1;
  Update();
  return static_cast<int>(ArrivedCount());
}

int SimSerialPort::BytesInTransmitQueue() {
  if (!open_ || gone_) return -1;
  Update();
  const int64_t now = clock_.NowUs() + DrainEarlyUs();
  size_t pending = 0;
  for (const Burst& burst : transmit_) {
    size_t sent = 0;
    while (sent < burst.bytes.size() && burst.startUs + ByteDoneUs(sent, burst.baud) <= now) ++sent;
    pending += burst.bytes.size() - sent;
  }
  return static_cast<int>(pending);
}

int SimSerialPort::Write(const uint8_t* data, size_t length) {
  if (!open_ || gone_) return -1;
  Update();
  if (length == 0) return 0;
  const int64_t now = clock_.NowUs();
  const int64_t start = transmit_.empty() ? now : std::max(now, transmit_.back().EndUs());
  Burst burst{start, settings_.baud, SensorBaud(), std::vector<uint8_t>(data, data + length)};
  if (model_.faults().echo) {
    for (size_t i = 0; i < length; ++i) Schedule(start + ByteDoneUs(i, burst.baud), data[i], true);
  }
  written_.push_back({settings_.baud, burst.bytes});
  transmit_.push_back(std::move(burst));
  return static_cast<int>(length);
}

bool SimSerialPort::WaitTransmitted(Clock& clock, int64_t timeoutUs) {
  if (!open_) return false;
  Update();
  if (transmit_.empty()) return true;
  const int64_t wait = transmit_.back().EndUs() - DrainEarlyUs() - clock.NowUs();
  if (wait <= 0) return true;
  if (wait > timeoutUs) {
    clock.SleepUs(timeoutUs);
    return false;
  }
  clock.SleepUs(wait);
  Update();
  return true;
}

int SimSerialPort::Read(uint8_t* data, size_t capacity) {
  if (!open_ || gone_) return -1;
  Update();
  const size_t n = std::min(capacity, ArrivedCount());
  for (size_t i = 0; i < n; ++i) data[i] = receive_[i].byte;
  receive_.erase(receive_.begin(), receive_.begin() + static_cast<std::ptrdiff_t>(n));
  return static_cast<int>(n);
}

bool SimSerialPort::WaitReadable(int64_t timeoutUs) {
  if (!open_) return false;
  const int64_t deadline = clock_.NowUs() + std::max<int64_t>(timeoutUs, 0);
  for (;;) {
    Update();
    if (ArrivedCount() > 0) return true;
    // The next thing that can make a byte readable: a byte on its way, or a request finishing
    // (the sensor's reply follows it).
    int64_t next = std::numeric_limits<int64_t>::max();
    if (!receive_.empty()) next = receive_.front().atUs;
    if (!transmit_.empty()) next = std::min(next, transmit_.front().EndUs());
    const int64_t now = clock_.NowUs();
    if (next > deadline) {
      clock_.SleepUs(deadline - now);
      return false;
    }
    clock_.SleepUs(next - now);
  }
}

}  // namespace korvin::sim
