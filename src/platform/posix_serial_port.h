#pragma once

#include "platform/serial_port.h"

namespace korvin {

// A serial device through termios: exclusive open, raw 8N1-style line settings at any of the
// protocol's speeds (50000 baud needs termios2), driver queue counts through ioctls.
//
// Exclusive means two things: TIOCEXCL keeps other programs from opening the line, and an
// advisory flock() on the device keeps out a second instance running as root, which TIOCEXCL
// does not stop (running the tool with sudo to reach a port is common).
class PosixSerialPort final : public SerialPort {
 public:
  PosixSerialPort() = default;
  ~PosixSerialPort() override;
  PosixSerialPort(const PosixSerialPort&) = delete;
  PosixSerialPort& operator=(const PosixSerialPort&) = delete;

  bool Open(const std::string& device, const LineSettings& settings) override;
  void Close() override;
  bool IsOpen() const override { return fd_ >= 0; }
  PortOpenError LastOpenError() const override { return openError_; }
  bool PurgeReceive() override;
  bool PurgeTransmit() override;
  int BytesInReceiveQueue() override;
  int BytesInTransmitQueue() override;
  int Write(const uint8_t* data, size_t length) override;
  int Read(uint8_t* data, size_t capacity) override;
  bool WaitReadable(int64_t timeoutUs) override;
  void SetDtr(bool on) override;
  void SetRts(bool on) override;
  int Baud() const override { return fd_ >= 0 ? baud_ : 0; }

  // The modem line states last asked for. A pseudo-terminal has no modem lines, so these are
  // what the port requested, not what a driver confirmed.
  bool dtr() const { return dtr_; }
  bool rts() const { return rts_; }

 private:
  bool Fail(int fd, int error);

  int fd_ = -1;
  int baud_ = 0;
  bool dtr_ = false;
  bool rts_ = false;
  PortOpenError openError_;
};

// Applies the line settings with termios2, so any speed (50000 baud too) is set exactly. Lives in
// its own translation unit: the kernel's termios2 declarations clash with <termios.h>.
bool ApplyLineSettings(int fd, const LineSettings& settings);
// The output speed the terminal behind fd is set to, or 0 (a pty master reads the slave's speed).
int ReadLineSpeed(int fd);

}  // namespace korvin
