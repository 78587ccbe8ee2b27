#include "platform/port_open_error.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

namespace korvin {
namespace {

// What each system error of opening, locking or setting up a serial device tells the user.
TEST(PortOpenError, SystemErrorsMapToWhatTheUserCanDo) {
  struct Case {
    int error;
    PortOpenFailure failure;
    const char* reason;
  } cases[] = {
      {ENOENT, PortOpenFailure::kNotFound, "not found"},
      {ENXIO, PortOpenFailure::kNotFound, "not found"},
      {ENODEV, PortOpenFailure::kNotFound, "not found"},
      {EACCES, PortOpenFailure::kPermissionDenied,
       "permission denied - add your user to the group dialout and log in again"},
      {EPERM, PortOpenFailure::kPermissionDenied,
       "permission denied - add your user to the group dialout and log in again"},
      {EBUSY, PortOpenFailure::kBusy, "busy - another program has the port open"},
      {EWOULDBLOCK, PortOpenFailure::kBusy, "busy - another program has the port open"},
      {ENOTTY, PortOpenFailure::kNotATerminal, "not a terminal, so not a serial port"},
      {EIO, PortOpenFailure::kOther, std::strerror(EIO)},
  };
  for (const Case& c : cases) {
    const PortOpenError e = PortOpenErrorFromErrno(c.error);
    EXPECT_EQ(e.failure, c.failure) << c.error;
    EXPECT_EQ(e.systemError, c.error);
    EXPECT_EQ(DescribePortOpenError("/dev/ttyUSB0", "/dev/ttyUSB0", e),
              std::string("/dev/ttyUSB0: ") + c.reason);
  }
  // A port name that stands for a device is shown beside it.
  EXPECT_EQ(DescribePortOpenError("COM2", "/dev/ttyUSB1", PortOpenErrorFromErrno(ENOENT)),
            "/dev/ttyUSB1 (COM2): not found");
}

}  // namespace
}  // namespace korvin
