#include "platform/port_open_error.h"

#include <cerrno>
#include <cstring>

namespace korvin {

namespace {
constexpr char kNotFoundText[] = "not found";
constexpr char kPermissionText[] =
    "permission denied - add your user to the group dialout and log in again";
constexpr char kBusyText[] = "busy - another program has the port open";
constexpr char kNotATerminalText[] = "not a terminal, so not a serial port";
constexpr char kUnknownText[] = "cannot be opened";
}  // namespace

PortOpenError PortOpenErrorFromErrno(int error) {
  switch (error) {
    case ENOENT:
    case ENODEV:
    case ENXIO:
    case ENOTDIR:
      return {PortOpenFailure::kNotFound, error};
    case EACCES:
    case EPERM:
      return {PortOpenFailure::kPermissionDenied, error};
    case EBUSY:
    case EWOULDBLOCK:
      return {PortOpenFailure::kBusy, error};
    case ENOTTY:
      return {PortOpenFailure::kNotATerminal, error};
    default:
      return {PortOpenFailure::kOther, error};
  }
}

std::string DescribePortOpenError(const std::string& portName, const std::string& device,
                                  const PortOpenError& error) {
  std::string text = device;
  if (!portName.empty() && portName != device) text += " (" + portName + ")";
  text += ": ";
  switch (error.failure) {
    case PortOpenFailure::kNotFound:
      return text + kNotFoundText;
    case PortOpenFailure::kPermissionDenied:
      return text + kPermissionText;
    case PortOpenFailure::kBusy:
      return text + kBusyText;
    case PortOpenFailure::kNotATerminal:
      return text + kNotATerminalText;
    case PortOpenFailure::kOther:
    case PortOpenFailure::kNone:
      break;
  }
  return text + (error.systemError != 0 ? std::strerror(error.systemError) : kUnknownText);
}

}  // namespace korvin
