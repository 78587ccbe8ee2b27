#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/event_pump.h"
#include "platform/serial_port.h"
#include "protocol/echo_filter.h"
#include "protocol/result_codes.h"

namespace korvin {

class LinkTrace;

// Protocol timings. They are part of what the sensors expect and stand as they are.
namespace timing {
inline constexpr int kPauseBeforeWriteFMs = 3;
inline constexpr int kPauseBeforeReadFMs = 3;
inline constexpr int kPauseBeforeWriteVMs = 130;
inline constexpr int kPauseBeforeReadVMs = 130;
inline constexpr int kPauseAfterWriteMs = 120;
inline constexpr int kPauseAfterReplyMs = 12;
inline constexpr int kReplyTimeLimitMs = 1000;
inline constexpr int kTransmitDrainLimitMs = 3000;
inline constexpr int kLinkStepPauseMs = 200;
inline constexpr int kRelinkSettleMs = 100;
// The read waits on the port this long at most between two event pumps.
inline constexpr int kReadSliceMs = 5;
// After a try that timed out, the line has to be silent this long before the next request goes
// out; what arrives meanwhile (the end of a late reply, pieces 30 ms apart) is discarded. The
// wait ends after kQuietLimitMs on a line that never falls silent.
inline constexpr int kQuietGapMs = 50;
inline constexpr int kQuietLimitMs = kReplyTimeLimitMs;
// A reply that comes this long after its request or later is taken as lost. Up to then a late
// reply is still expected and must not be taken for the answer to another request. It is longer
// than the three tries of a transaction last (about 3.5 s in profile F, 4.3 s in profile V), so
// any reply a transaction can still take is covered.
inline constexpr int kLateReplyLimitMs = 4500;
}  // namespace timing

inline constexpr size_t kMaxWrite = 1024;
inline constexpr size_t kReadWorkBufferSize = 1024;

struct PortString {
  std::string name;  // "COM3", or a device path
  LineSettings settings;
};
// "COM3,19200,N,8,1": the name before the first comma, then baud, parity, data bits, stop bits.
// An unknown baud text gives 300 baud. The name may also be a device path.
PortString ParsePortString(const std::string& text);
int BaudFromText(const std::string& text);

// Owns the serial port for the program: open and close from a port string, write and wait until
// the frame has left, read a reply of known length while events are pumped, and the exchanges of
// both link profiles with their busy guards.
class SerialTransport {
 public:
  using PortResolver = std::function<std::string(const std::string& portName)>;

  SerialTransport(SerialPort& port, Clock& clock, EventPump& pump, PortResolver resolver = {});

  ResultCode OpenPort(const std::string& portString);
  void ClosePort();
  ResultCode WritePort(const uint8_t* bytes, size_t length);
  // `expected` in: the number of bytes wanted; out (on time-out): the number received. With
  // `sent`, an echo of that frame at the start of the reception is dropped and not counted.
  ResultCode ReadPort(uint8_t* rx, uint16_t& expected, int timeLimitMs,
                      const SentFrame* sent = nullptr);

  ResultCode ExchangeF(const uint8_t* tx, uint8_t* rx, uint16_t txLength, uint16_t rxLength);
  ResultCode ExchangeV(const uint8_t* tx, uint8_t* rx, uint16_t txLength, uint16_t rxLength);

  // Why the last OpenPort failed, as one line for the user ("" after a successful open).
  const std::string& openFailure() const { return openFailure_; }

  bool IsOpen() const { return port_.IsOpen(); }
  bool PortBusy() const { return portBusy_; }
  bool ExchangeBusy() const { return exchangeBusy_; }
  Clock& clock() { return clock_; }
  EventPump& pump() { return *pump_; }
  SerialPort& port() { return port_; }
  void SetEventPump(EventPump& pump) { pump_ = &pump; }
  // Every open, close, purge, write and reception is reported to `trace` (null: none).
  void SetTrace(LinkTrace* trace) { trace_ = trace; }

 private:
  // Tries of one request whose reply did not come in time. The replies may still come, one per
  // try, and are the answer to that request only.
  struct Unanswered {
    std::vector<uint8_t> request;  // the last request written
    int tries = 0;                 // its tries in a row that timed out
    int64_t firstUs = 0;           // when the first of them was written
  };

  ResultCode Exchange(const uint8_t* tx, uint8_t* rx, uint16_t txLength, uint16_t rxLength,
                      int pauseBeforeWriteMs, int pauseBeforeReadMs, uint8_t replyStart);
  // Reads and drops whatever arrives until the line has been silent for quietMs, at most
  // limitMs in all. Events are pumped meanwhile, with the port busy.
  ResultCode DiscardUntilQuiet(int64_t quietMs, int64_t limitMs);
  // Before a request other than the unanswered one: wait out the replies still owed to it.
  ResultCode SettleBefore(const uint8_t* tx, uint16_t txLength);
  // After a reply to a request that had unanswered tries: the reply taken may have been one of
  // theirs, so the replies of the later tries may still come. They are waited for and dropped.
  ResultCode DiscardLateReplies();

  SerialPort& port_;
  Clock& clock_;
  EventPump* pump_;
  PortResolver resolver_;
  bool portBusy_ = false;
  bool exchangeBusy_ = false;
  Unanswered unanswered_;
  std::string openFailure_;
  LinkTrace* trace_ = nullptr;
};

}  // namespace korvin
