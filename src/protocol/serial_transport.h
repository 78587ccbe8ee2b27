#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "platform/clock.h"
#include "platform/event_pump.h"
#include "platform/serial_port.h"
#include "protocol/result_codes.h"

namespace korvin {

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
  // `expected` in: the number of bytes wanted; out (on time-out): the number received.
  ResultCode ReadPort(uint8_t* rx, uint16_t& expected, int timeLimitMs);

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

 private:
  ResultCode Exchange(const uint8_t* tx, uint8_t* rx, uint16_t txLength, uint16_t rxLength,
                      int pauseBeforeWriteMs, int pauseBeforeReadMs);

  SerialPort& port_;
  Clock& clock_;
  EventPump* pump_;
  PortResolver resolver_;
  bool portBusy_ = false;
  bool exchangeBusy_ = false;
  std::string openFailure_;
};

}  // namespace korvin
