#pragma once

#include "platform/serial_port.h"

namespace korvin {

// A serial device through termios: exclusive open, raw 8N1-style line settings at any of the
// protocol's speeds (50000 baud needs termios2), driver queue counts through ioctls.
class PosixSerialPort final : public SerialPort {
 public:
  PosixSerialPort() = default;
  ~PosixSerialPort() override;
  PosixSerialPort(const PosixSerialPort&) = delete;
  PosixSerialPort& operator=(const PosixSerialPort&) = delete;

  bool Open(const std::string& device, const LineSettings& settings) override;
  void Close() override;
  bool IsOpen() const override { return fd_ >= 0; }
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

 private:
  int fd_ = -1;
  int baud_ = 0;
};

// Applies the line settings with termios2, so any speed (50000 baud too) is set exactly. Lives in
// its own translation unit: the kernel's termios2 declarations clash with <termios.h>.
bool ApplyLineSettings(int fd, const LineSettings& settings);
// The output speed the terminal behind fd is set to, or 0 (a pty master reads the slave's speed).
int ReadLineSpeed(int fd);

}  // namespace korvin
