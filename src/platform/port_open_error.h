#pragma once

#include <string>

namespace korvin {

// Why a serial port could not be opened, in the terms a technician can act on.
enum class PortOpenFailure {
  kNone,
  kNotFound,          // no such device
  kPermissionDenied,  // the user may not open it
  kBusy,              // another program holds it
  kNotATerminal,      // the path is not a serial line
  kOther,             // any other system error, see systemError
};

struct PortOpenError {
  PortOpenFailure failure = PortOpenFailure::kNone;
  int systemError = 0;  // the errno behind it, 0 when there was none
};

// The failure that an errno value of open(), ioctl() or flock() on a serial device stands for.
PortOpenError PortOpenErrorFromErrno(int error);

// One line for the person at the screen: the device (and the port name it stands for, when that
// differs), then the reason, with the remedy where there is a usual one.
//   "/dev/ttyUSB0 (COM1): permission denied - add your user to the group dialout and log in again"
std::string DescribePortOpenError(const std::string& portName, const std::string& device,
                                  const PortOpenError& error);

}  // namespace korvin
