#include "platform/posix_serial_port.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>

namespace korvin {

PosixSerialPort::~PosixSerialPort() {
  Close();
}

bool PosixSerialPort::Fail(int fd, int error) {
  if (fd >= 0) ::close(fd);
  openError_ = PortOpenErrorFromErrno(error);
  return false;
}

bool PosixSerialPort::Open(const std::string& device, const LineSettings& settings) {
  Close();
  openError_ = {};
  const int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return Fail(fd, errno);
  if (!isatty(fd)) return Fail(fd, ENOTTY);
  // Another instance holds the lock: the line is busy, even for root.
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) return Fail(fd, errno);
  // Nobody else may open the line while we hold it (root can still override TIOCEXCL).
  if (ioctl(fd, TIOCEXCL) != 0) return Fail(fd, errno);
  if (!ApplyLineSettings(fd, settings)) return Fail(fd, errno);
  fd_ = fd;
  baud_ = settings.baud;
  SetDtr(false);
  SetRts(true);
  tcflush(fd_, TCIOFLUSH);
  return true;
}

void PosixSerialPort::Close() {
  if (fd_ < 0) return;
  ioctl(fd_, TIOCNXCL);
  flock(fd_, LOCK_UN);
  ::close(fd_);
  fd_ = -1;
  baud_ = 0;
}

bool PosixSerialPort::PurgeReceive() {
  return fd_ >= 0 && tcflush(fd_, TCIFLUSH) == 0;
}
bool PosixSerialPort::PurgeTransmit() {
  return fd_ >= 0 && tcflush(fd_, TCOFLUSH) == 0;
}

int PosixSerialPort::BytesInReceiveQueue() {
  int count = 0;
  if (fd_ < 0 || ioctl(fd_, FIONREAD, &count) != 0) return -1;
  return count;
}

int PosixSerialPort::BytesInTransmitQueue() {
  int count = 0;
  if (fd_ < 0 || ioctl(fd_, TIOCOUTQ, &count) != 0) return -1;
  return count;
}

int PosixSerialPort::Write(const uint8_t* data, size_t length) {
  if (fd_ < 0) return -1;
  const ssize_t n = ::write(fd_, data, length);
  if (n < 0) return (errno == EAGAIN || errno == EINTR) ? 0 : -1;
  return static_cast<int>(n);
}

int PosixSerialPort::Read(uint8_t* data, size_t capacity) {
  if (fd_ < 0) return -1;
  const ssize_t n = ::read(fd_, data, capacity);
  if (n < 0) return (errno == EAGAIN || errno == EINTR) ? 0 : -1;
  return static_cast<int>(n);
}

bool PosixSerialPort::WaitReadable(int64_t timeoutUs) {
  if (fd_ < 0) return false;
  pollfd p{fd_, POLLIN, 0};
  const int timeoutMs = static_cast<int>((timeoutUs + 999) / 1000);
  return ::poll(&p, 1, timeoutMs) > 0 && (p.revents & POLLIN) != 0;
}

void PosixSerialPort::SetDtr(bool on) {
  if (fd_ < 0) return;
  dtr_ = on;
  int bits = TIOCM_DTR;
  // A pseudo-terminal has no modem lines and answers ENOTTY; that is not an error here.
  ioctl(fd_, on ? TIOCMBIS : TIOCMBIC, &bits);
}

void PosixSerialPort::SetRts(bool on) {
  if (fd_ < 0) return;
  rts_ = on;
  int bits = TIOCM_RTS;
  ioctl(fd_, on ? TIOCMBIS : TIOCMBIC, &bits);
}

}  // namespace korvin
