// termios2 lets the driver take any baud rate; <asm/termbits.h> clashes with <termios.h>, so this
// file uses only the kernel's headers.
#include <asm/ioctls.h>
#include <asm/termbits.h>
#include <sys/ioctl.h>

#include "platform/posix_serial_port.h"

namespace korvin {

bool ApplyLineSettings(int fd, const LineSettings& settings) {
  struct termios2 tio {};
  if (ioctl(fd, TCGETS2, &tio) != 0) return false;
  // Raw binary line: no input translation, no software flow control, no echo, no signals.
  tio.c_iflag &= ~(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF |
                   IXANY | INPCK | IGNPAR);
  tio.c_oflag &= ~OPOST;
  tio.c_lflag &= ~(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
  tio.c_cflag &= ~(CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS | CBAUD | CIBAUD);
  tio.c_cflag |= CREAD | CLOCAL | BOTHER;
  tio.c_cflag |= settings.dataBits == 8 ? CS8 : CS7;
  if (settings.parity != Parity::kNone) {
    tio.c_cflag |= PARENB;
    if (settings.parity == Parity::kOdd) tio.c_cflag |= PARODD;
  }
  if (settings.stopBits == 2) tio.c_cflag |= CSTOPB;
  tio.c_ispeed = static_cast<speed_t>(settings.baud);
  tio.c_ospeed = static_cast<speed_t>(settings.baud);
  tio.c_cc[VMIN] = 0;
  tio.c_cc[VTIME] = 0;
  tio.c_cc[VSTART] = 0x11;
  tio.c_cc[VSTOP] = 0x13;
  tio.c_cc[VEOF] = 0;
  return ioctl(fd, TCSETS2, &tio) == 0;
}

int ReadLineSpeed(int fd) {
  struct termios2 tio {};
  if (ioctl(fd, TCGETS2, &tio) != 0) return 0;
  return static_cast<int>(tio.c_ospeed);
}

}  // namespace korvin
