#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/clock.h"
#include "platform/port_open_error.h"

namespace korvin {

enum class Parity { kNone, kEven, kOdd };

struct LineSettings {
  int baud = 9600;
  int dataBits = 8;  // 8 or 7
  Parity parity = Parity::kNone;
  int stopBits = 1;  // 1 or 2
};

// The OS boundary of the serial line. Everything the transport needs and nothing more: the
// protocol asks the driver how many bytes wait in either direction, so the interface exposes the
// queue counts instead of a blocking read.
class SerialPort {
 public:
  virtual ~SerialPort() = default;

  // Opens the device exclusively with the given line settings, DTR off and RTS on, both queues
  // purged. On failure the port stays closed and LastOpenError() tells why.
  virtual bool Open(const std::string& device, const LineSettings& settings) = 0;
  // Closes as it stands: what the driver still has to send goes out, nothing is purged (the
  // transport purges first where it wants the queues discarded). Harmless when closed.
  virtual void Close() = 0;
  virtual bool IsOpen() const = 0;
  // Why the last Open() failed; PortOpenFailure::kNone after a successful one.
  virtual PortOpenError LastOpenError() const = 0;

  virtual bool PurgeReceive() = 0;
  virtual bool PurgeTransmit() = 0;
  // Bytes waiting in the driver's receive / transmit queue, or -1 on error.
  virtual int BytesInReceiveQueue() = 0;
  virtual int BytesInTransmitQueue() = 0;

  // Hands the bytes to the driver; returns the number accepted or -1 on error.
  virtual int Write(const uint8_t* data, size_t length) = 0;
  // Waits until the transmit queue has emptied onto the line, at most timeoutUs; false when it
  // did not empty in time. Time passes on `clock` (a simulated port advances a virtual clock).
  virtual bool WaitTransmitted(Clock& clock, int64_t timeoutUs);
  // Reads what is waiting, never blocks; returns the number read (0 if none) or -1 on error.
  virtual int Read(uint8_t* data, size_t capacity) = 0;
  // Waits at most timeoutUs for received data; true when some is waiting.
  virtual bool WaitReadable(int64_t timeoutUs) = 0;

  // Modem lines; a device that has none (a pseudo-terminal) is not an error.
  virtual void SetDtr(bool on) = 0;
  virtual void SetRts(bool on) = 0;

  // The line speed the port was opened with (0 when closed).
  virtual int Baud() const = 0;
};

}  // namespace korvin
