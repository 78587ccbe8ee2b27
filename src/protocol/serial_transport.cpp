#include "protocol/serial_transport.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <utility>

#include "platform/scoped_flag.h"
#include "protocol/link_trace.h"

namespace korvin {

namespace {

constexpr uint8_t kWorkBufferFill = '0';
constexpr int kDefaultBaud = 300;
constexpr size_t kMaxBaudText = 7;
constexpr int64_t kUsPerMs = 1000;

struct BaudEntry {
  const char* text;
  int baud;
};
constexpr BaudEntry kBaudTable[] = {
    {"600", 600},     {"1200", 1200},   {"2400", 2400},   {"4800", 4800},   {"9600", 9600},
    {"19200", 19200}, {"38400", 38400}, {"50000", 50000}, {"57600", 57600}, {"115200", 115200},
};

}  // namespace

int BaudFromText(const std::string& text) {
  if (text.size() > kMaxBaudText) return kDefaultBaud;
  for (const BaudEntry& e : kBaudTable) {
    if (text == e.text) return e.baud;
  }
  return kDefaultBaud;
}

PortString ParsePortString(const std::string& text) {
  PortString result;
  std::array<std::string, 5> parts;
  size_t part = 0;
  for (char c : text) {
    if (c == ',') {
      if (++part == parts.size()) break;
      continue;
    }
    parts[part] += c;
  }
  result.name = parts[0];
  result.settings.baud = BaudFromText(parts[1]);
  const char parity = parts[2].empty() ? 'N' : parts[2][0];
  result.settings.parity = (parity == 'E' || parity == 'e')   ? Parity::kEven
                           : (parity == 'O' || parity == 'o') ? Parity::kOdd
                                                              : Parity::kNone;
  result.settings.dataBits = (!parts[3].empty() && parts[3][0] == '8') ? 8 : 7;
  result.settings.stopBits = (!parts[4].empty() && parts[4][0] == '2') ? 2 : 1;
  return result;
}

SerialTransport::SerialTransport(SerialPort& port, Clock& clock, EventPump& pump,
                                 PortResolver resolver)
    : port_(port), clock_(clock), pump_(&pump), resolver_(std::move(resolver)) {}

ResultCode SerialTransport::OpenPort(const std::string& portString) {
  ScopedFlag busy(portBusy_);
  const PortString parsed = ParsePortString(portString);
  // Re-opening drops the old handle without purging it, as a plain close would.
  if (trace_ != nullptr && port_.IsOpen()) trace_->PortClosed();
  port_.Close();
  unanswered_ = {};
  const std::string device = resolver_ ? resolver_(parsed.name) : parsed.name;
  if (!port_.Open(device, parsed.settings)) {
    openFailure_ = DescribePortOpenError(parsed.name, device, port_.LastOpenError());
    if (trace_ != nullptr) trace_->PortOpened(parsed.name, device, parsed.settings, openFailure_);
    return ERR_PORT_CLOSED;
  }
  openFailure_.clear();
  if (trace_ != nullptr) trace_->PortOpened(parsed.name, device, parsed.settings, {});
  return kOk;
}

void SerialTransport::ClosePort() {
  unanswered_ = {};
  if (!port_.IsOpen()) return;
  port_.PurgeTransmit();
  port_.PurgeReceive();
  port_.Close();
  if (trace_ != nullptr) {
    trace_->Purged(true, true);
    trace_->PortClosed();
  }
}

ResultCode SerialTransport::WritePort(const uint8_t* bytes, size_t length) {
  length = std::min(length, kMaxWrite);
  ScopedFlag busy(portBusy_);
  if (!port_.IsOpen()) return ERR_PORT_CLOSED;
  port_.PurgeTransmit();
  // Nothing that came before the request can be its reply.
  port_.PurgeReceive();
  if (trace_ != nullptr) {
    trace_->Purged(true, true);
    trace_->Written(bytes, length);
  }

  const int64_t start = clock_.NowUs();
  const int64_t limitUs = timing::kTransmitDrainLimitMs * kUsPerMs;
  size_t written = 0;
  while (written < length) {
    const int n = port_.Write(bytes + written, length - written);
    if (n < 0) return ERR_PORT_CLOSED;
    written += static_cast<size_t>(n);
    if (written < length) {
      // The driver's queue is full: let it drain a little before handing over the rest.
      if (clock_.NowUs() - start >= limitUs) return ERR_LINK_TIMEOUT;
      port_.WaitTransmitted(clock_, timing::kReadSliceMs * kUsPerMs);
    }
  }
  const int64_t left = limitUs - (clock_.NowUs() - start);
  if (left <= 0 || !port_.WaitTransmitted(clock_, left)) return ERR_LINK_TIMEOUT;

  // Whatever arrived while we sent, the RS-485 echo of our own frame above all, is not the reply.
  port_.PurgeReceive();
  if (trace_ != nullptr) trace_->Purged(false, true);
  clock_.SleepMs(timing::kPauseAfterWriteMs);
  return kOk;
}

ResultCode SerialTransport::ReadPort(uint8_t* rx, uint16_t& expected, int timeLimitMs,
                                     const SentFrame* sent) {
  ScopedFlag busy(portBusy_);
  std::array<uint8_t, kReadWorkBufferSize> work;
  work.fill(kWorkBufferFill);
  const int64_t start = clock_.NowUs();
  const int64_t limitUs = static_cast<int64_t>(timeLimitMs) * kUsPerMs;
  size_t received = 0;
  bool lookForEcho = sent != nullptr;

  for (;;) {
    if (!port_.IsOpen()) return ERR_PORT_CLOSED;
    const int waiting = port_.BytesInReceiveQueue();
    if (waiting < 0) return ERR_LINK_IO;
    if (waiting > 0 && received < work.size()) {
      const size_t want = std::min<size_t>(static_cast<size_t>(waiting), work.size() - received);
      const int n = port_.Read(work.data() + received, want);
      if (n < 0) return ERR_LINK_IO;
      received += static_cast<size_t>(n);
    }
    if (lookForEcho) {
      const EchoMatch echo = MatchLeadingEcho(work.data(), received, *sent);
      if (echo.decided) {
        lookForEcho = false;
        if (trace_ != nullptr) trace_->Dropped("echo", work.data(), echo.length);
        std::memmove(work.data(), work.data() + echo.length, received - echo.length);
        received -= echo.length;
      }
    }
    if (!lookForEcho && received >= expected) {
      if (trace_ != nullptr) trace_->Received(work.data(), received);
      std::memcpy(rx, work.data(), expected);
      clock_.SleepMs(timing::kPauseAfterReplyMs);
      return kOk;
    }
    const int64_t elapsed = clock_.NowUs() - start;
    if (elapsed >= limitUs) {
      if (trace_ != nullptr) trace_->Received(work.data(), received);
      std::memcpy(rx, work.data(), received);
      expected = static_cast<uint16_t>(received);
      return ERR_LINK_TIMEOUT;
    }
    if (pump_->PumpOnce()) return ERR_LINK_QUIT;
    // Sleep on the port instead of spinning; never past the time limit.
    const int64_t sliceUs = timing::kReadSliceMs * kUsPerMs;
    port_.WaitReadable(std::min(sliceUs, limitUs - elapsed));
  }
}

ResultCode SerialTransport::DiscardUntilQuiet(int64_t quietMs, int64_t limitMs) {
  ScopedFlag busy(portBusy_);
  std::array<uint8_t, kReadWorkBufferSize> discard;
  // What was thrown away, for the trace: one line when the wait ends.
  std::vector<uint8_t> dropped;
  const auto done = [&](ResultCode result) {
    if (trace_ != nullptr) trace_->Dropped("late", dropped.data(), dropped.size());
    return result;
  };
  const int64_t start = clock_.NowUs();
  const int64_t quietUs = quietMs * kUsPerMs;
  const int64_t limitUs = limitMs * kUsPerMs;
  int64_t lastByteUs = start;
  for (;;) {
    if (!port_.IsOpen()) return done(ERR_PORT_CLOSED);
    const int waiting = port_.BytesInReceiveQueue();
    if (waiting < 0) return done(ERR_LINK_IO);
    if (waiting > 0) {
      const int n = port_.Read(discard.data(), discard.size());
      if (n < 0) return done(ERR_LINK_IO);
      if (trace_ != nullptr) dropped.insert(dropped.end(), discard.data(), discard.data() + n);
      lastByteUs = clock_.NowUs();
    }
    const int64_t now = clock_.NowUs();
    const int64_t silentUs = now - lastByteUs;
    if (silentUs >= quietUs || now - start >= limitUs) return done(kOk);
    if (pump_->PumpOnce()) return done(ERR_LINK_QUIT);
    const int64_t sliceUs = timing::kReadSliceMs * kUsPerMs;
    port_.WaitReadable(std::min({sliceUs, quietUs - silentUs, limitUs - (now - start)}));
  }
}

ResultCode SerialTransport::SettleBefore(const uint8_t* tx, uint16_t txLength) {
  const bool same = unanswered_.request.size() == txLength &&
                    std::equal(tx, tx + txLength, unanswered_.request.begin());
  if (same) return kOk;
  const int owed = unanswered_.tries;
  unanswered_ = {};
  unanswered_.request.assign(tx, tx + txLength);
  if (owed == 0) return kOk;
  // How late the sensor is, nobody can tell: wait as long as a late reply may come, and as long
  // again after each one that does.
  const int64_t quietMs = timing::kLateReplyLimitMs + timing::kQuietGapMs;
  return DiscardUntilQuiet(quietMs, (owed + 1) * quietMs);
}

ResultCode SerialTransport::DiscardLateReplies() {
  if (unanswered_.tries == 0) return kOk;
  // If the reply taken answered the first unanswered try, the sensor is this late, and the
  // replies owed to the tries after it follow at the pace they were sent, each within that time
  // of the one before. (A sensor that works through queued requests sends its replies that far
  // apart as well.)
  const int64_t lateMs = std::min<int64_t>((clock_.NowUs() - unanswered_.firstUs) / kUsPerMs,
                                           timing::kLateReplyLimitMs);
  const int64_t quietMs = lateMs + timing::kQuietGapMs;
  const int owed = unanswered_.tries;
  unanswered_.tries = 0;
  return DiscardUntilQuiet(quietMs, (owed + 1) * quietMs);
}

ResultCode SerialTransport::Exchange(const uint8_t* tx, uint8_t* rx, uint16_t txLength,
                                     uint16_t rxLength, int pauseBeforeWriteMs,
                                     int pauseBeforeReadMs, uint8_t replyStart) {
  if (const ResultCode settled = SettleBefore(tx, txLength); settled != kOk) return settled;
  clock_.SleepMs(pauseBeforeWriteMs);
  const int64_t writtenUs = clock_.NowUs();
  if (const ResultCode written = WritePort(tx, txLength); written != kOk) return written;
  if (rxLength == 0) return kOk;
  clock_.SleepMs(pauseBeforeReadMs);
  uint16_t expected = rxLength;
  const SentFrame sent{tx, txLength, replyStart};
  const ResultCode read = ReadPort(rx, expected, timing::kReplyTimeLimitMs, &sent);
  if (read == ERR_LINK_TIMEOUT) {
    if (unanswered_.tries++ == 0) unanswered_.firstUs = writtenUs;
    // The reply may be on its way still: let the line fall silent before the next try.
    const ResultCode quiet = DiscardUntilQuiet(timing::kQuietGapMs, timing::kQuietLimitMs);
    return quiet == kOk ? ERR_REPLY_TIMEOUT : quiet;
  }
  // A read that ended for another reason than the time limit (a read error, a quit request, a
  // port closed meanwhile) fails the try rather than being judged as a reply.
  if (read != kOk) return read;
  return DiscardLateReplies();
}

ResultCode SerialTransport::ExchangeF(const uint8_t* tx, uint8_t* rx, uint16_t txLength,
                                      uint16_t rxLength) {
  if (exchangeBusy_) return ERR_LINK_TIMEOUT;
  ScopedFlag busy(exchangeBusy_);
  // An envelope frame starts with the device address, and so does its reply.
  const uint8_t address = txLength > 0 ? tx[0] : 0;
  return Exchange(tx, rx, txLength, rxLength, timing::kPauseBeforeWriteFMs,
                  timing::kPauseBeforeReadFMs, address);
}

ResultCode SerialTransport::ExchangeV(const uint8_t* tx, uint8_t* rx, uint16_t txLength,
                                      uint16_t rxLength) {
  // Profile V is guarded by the port's own busy flag, which is set whenever events are pumped.
  if (portBusy_) return ERR_LINK_TIMEOUT;
  // An adapter frame has the address after its start byte; the reply starts with it.
  constexpr size_t kAdapterAddressPos = 1;
  const uint8_t address = txLength > kAdapterAddressPos ? tx[kAdapterAddressPos] : 0;
  return Exchange(tx, rx, txLength, rxLength, timing::kPauseBeforeWriteVMs,
                  timing::kPauseBeforeReadVMs, address);
}

}  // namespace korvin
