#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/serial_port.h"
#include "sim/sensor_model.h"

namespace korvin::sim {

// An in-memory serial line to a SensorModel, timed on a shared Clock (normally a VirtualClock).
//
// Timing contract:
// - A byte costs 10 bits at the opened baud. Byte i (from 0) of a burst that starts at s is on
//   the wire, or has arrived, at s + round((i + 1) * 10'000'000 / baud) µs: the exact double
//   quotient, rounded to the nearest µs once per byte position, so n bytes take
//   round(n * 10e6 / baud) µs in total and no rounding error accumulates.
// - Write() at t queues the bytes behind whatever is still queued; BytesInTransmitQueue() counts
//   the bytes not yet on the wire at the clock's now. The sensor hears a request when its last
//   byte has left; a purge before that withdraws the queued bytes and the sensor hears nothing.
// - The reply starts the sensor's response delay (1 ms by default, SensorModel) after the
//   request's last byte, plus any fault delays; its bytes arrive one by one at the byte time.
//   BytesInReceiveQueue() and Read() see only bytes whose arrival time is <= now;
//   PurgeReceive() drops only those (later bytes are still on the wire).
// - With the echo fault each request byte also arrives in the receive queue as it is sent. The
//   line then behaves like a USB RS-485 adapter, which reports its transmit queue empty while
//   the last bytes are still on their way: BytesInTransmitQueue() and WaitTransmitted() count
//   the fault's drainEarlyUs less, so the echo of those bytes arrives after the tool's drain.
// - WaitTransmitted(clock, t) sleeps the clock exactly until the last queued byte has left (or
//   is reported gone).
// - WaitReadable(t): true at once when a byte is readable; else, if the next byte arrives
//   within t, sleeps the clock exactly to its arrival and returns true; else sleeps t, false.
// - The sensor hears the line at the opened speed and framing; it ignores frames at a speed it
//   is not listening at. Anything but 8N1 garbles every byte.
class SimSerialPort final : public SerialPort {
 public:
  SimSerialPort(SensorModel& model, Clock& clock);

  bool Open(const std::string& device, const LineSettings& settings) override;
  void Close() override;
  bool IsOpen() const override { return open_; }
  PortOpenError LastOpenError() const override { return openError_; }

  bool PurgeReceive() override;
  bool PurgeTransmit() override;
  int BytesInReceiveQueue() override;
  int BytesInTransmitQueue() override;

  int Write(const uint8_t* data, size_t length) override;
  // Advances `clock` exactly to the moment the last queued byte is on the wire.
  bool WaitTransmitted(Clock& clock, int64_t timeoutUs) override;
  int Read(uint8_t* data, size_t capacity) override;
  bool WaitReadable(int64_t timeoutUs) override;

  void SetDtr(bool on) override { dtr_ = on; }
  void SetRts(bool on) override { rts_ = on; }
  int Baud() const override { return open_ ? settings_.baud : 0; }

  // Open() fails while set, for the reason given ("port missing" unless told otherwise).
  void SetOpenFails(bool fails, PortOpenFailure why = PortOpenFailure::kNotFound) {
    openFails_ = fails;
    openFailure_ = why;
  }
  // Open() fails at this line speed only (0: at none), as a driver that refuses one speed.
  void SetOpenFailsAtBaud(int baud) { openFailsAtBaud_ = baud; }
  // The adapter is unplugged while set: every call on the open port fails as on a device node
  // that is gone, and Open() fails with "not found". Cleared, the port can be opened again.
  void SetGone(bool gone) {
    gone_ = gone;
    SetOpenFails(gone);
  }
  bool gone() const { return gone_; }
  // Close() leaves the port open while set, as a driver that does not let go of it.
  void SetCloseFails(bool fails) { closeFails_ = fails; }
  bool dtr() const { return dtr_; }
  bool rts() const { return rts_; }
  const std::string& device() const { return device_; }
  const LineSettings& settings() const { return settings_; }
  int openCount() const { return openCount_; }
  // Every byte the tool wrote, in order, with the speed it went out at.
  struct Sent {
    int baud;
    std::vector<uint8_t> bytes;
  };
  const std::vector<Sent>& written() const { return written_; }

  // Lets the sensor act on every request whose last byte has left by now. Every port call does
  // this first; a test that looks at the model between port calls may call it itself.
  void Update();

  // µs from the start of a burst until byte `index` (from 0) is through.
  static int64_t ByteDoneUs(size_t index, int baud);

 private:
  struct Burst {
    int64_t startUs;
    int baud;       // the line speed: the burst's timing
    int heardBaud;  // what the sensor makes of it: 0 when the framing garbles every byte
    std::vector<uint8_t> bytes;
    int64_t EndUs() const { return startUs + ByteDoneUs(bytes.size() - 1, baud); }
  };
  struct Arrival {
    int64_t atUs;
    uint8_t byte;
    bool echo;
  };

  void Schedule(int64_t atUs, uint8_t byte, bool echo);
  void ScheduleReply(const Reply& reply, int64_t requestEndUs, int baud);
  size_t ArrivedCount() const;
  int SensorBaud() const;
  // How much earlier than the wire the transmit queue reports itself empty.
  int64_t DrainEarlyUs() const;

  SensorModel& model_;
  Clock& clock_;
  bool open_ = false;
  bool openFails_ = false;
  int openFailsAtBaud_ = 0;
  bool closeFails_ = false;
  bool gone_ = false;
  PortOpenFailure openFailure_ = PortOpenFailure::kNotFound;
  PortOpenError openError_;
  bool dtr_ = false;
  bool rts_ = false;
  std::string device_;
  LineSettings settings_;
  int openCount_ = 0;
  std::deque<Burst> transmit_;
  std::deque<Arrival> receive_;
  std::vector<Sent> written_;
};

}  // namespace korvin::sim
