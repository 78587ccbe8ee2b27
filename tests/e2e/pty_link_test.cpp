#include <gtest/gtest.h>

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>

#include "platform/clock.h"
#include "platform/event_pump.h"
#include "platform/posix_serial_port.h"
#include "protocol/service_link.h"
#include "protocol/transaction.h"
#include "sim/sensor_defaults.h"
#include "sim/sim_process.h"

namespace korvin {
namespace {

struct PtyRig {
  explicit PtyRig(std::vector<std::string> options) : simulator(KORVIN_SIM_PATH, options) {}
  sim::SimProcess simulator;
  SteadyClock clock;
  NullEventPump pump;
  PosixSerialPort port;
  ServiceLink link{port, clock, pump};
};

TEST(PtyLink, BothProfilesLinkAndExchangeAtRealSpeed) {
  struct Case {
    const char* profile;
    LinkProfile link;
    int baud;
  } cases[] = {{"F", LinkProfile::kProfileF, 19200}, {"V", LinkProfile::kProfileV, 1200}};
  for (const Case& c : cases) {
    PtyRig rig({"--type", "0x1083", "--profile", c.profile});
    ASSERT_FALSE(rig.simulator.path().empty());
    bool first = true;
    uint16_t type = 0;
    ASSERT_EQ(rig.link.EstablishLink(c.link, rig.simulator.path(), first, type), kOk) << c.profile;
    EXPECT_EQ(type, 0x1083);
    EXPECT_EQ(rig.port.Baud(), c.baud);
    uint8_t data[28] = {};
    EXPECT_EQ(RunTransaction(rig.link.context(), ReadMeasurements(0, 4), data, sizeof data), kOk);
    // The pressure channel of a 0x1083 carries a plausible positive value.
    EXPECT_GT(GetFloat(data + 21), 0.0f);
  }
}

TEST(PtyLink, SilentSensorTimesOutAndMissingPortFails) {
  PtyRig rig({"--silent"});
  ASSERT_FALSE(rig.simulator.path().empty());
  ASSERT_EQ(rig.link.transport().OpenPort(rig.simulator.path() + ",19200,N,8,1"), kOk);
  rig.link.InstallProfile(LinkProfile::kProfileF);
  const auto t0 = std::chrono::steady_clock::now();
  EXPECT_EQ(RunTransaction(rig.link.context(), ReadDeviceType()), ERR_REPLY_TIMEOUT);
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  EXPECT_GT(seconds, 3 * 1.126);
  EXPECT_LT(seconds, 3 * 1.126 + 1.5);

  PosixSerialPort missing;
  ServiceLink link(missing, rig.clock, rig.pump);
  EXPECT_EQ(link.transport().OpenPort("/dev/korvin-no-such-port,19200,N,8,1"), ERR_PORT_CLOSED);
  EXPECT_FALSE(missing.IsOpen());
}

// Held against a second instance too when it runs as root, which TIOCEXCL alone lets in.
TEST(PtyLink, PortIsHeldExclusively) {
  PtyRig rig({});
  ASSERT_FALSE(rig.simulator.path().empty());
  ASSERT_EQ(rig.link.transport().OpenPort(rig.simulator.path() + ",19200,N,8,1"), kOk);
  PosixSerialPort second;
  EXPECT_FALSE(second.Open(rig.simulator.path(), LineSettings{}));
  EXPECT_EQ(second.LastOpenError().failure, PortOpenFailure::kBusy);
  rig.link.transport().ClosePort();
  EXPECT_TRUE(second.Open(rig.simulator.path(), LineSettings{}));
}

TEST(PtyLink, OpenFailuresNameTheirReason) {
  struct Case {
    const char* path;
    PortOpenFailure failure;
  } cases[] = {
      {"/dev/korvin-no-such-port", PortOpenFailure::kNotFound},
      {"/dev/null", PortOpenFailure::kNotATerminal},
  };
  for (const Case& c : cases) {
    PosixSerialPort port;
    EXPECT_FALSE(port.Open(c.path, LineSettings{})) << c.path;
    EXPECT_EQ(port.LastOpenError().failure, c.failure) << c.path;
    EXPECT_FALSE(port.IsOpen()) << c.path;
  }
}

// The line as the sensors expect it: raw 8N1, no software or hardware flow control, DTR off and
// RTS on. A pseudo-terminal shows its settings on the master side; it has no modem lines, so
// for those the port's own request is what can be checked.
TEST(PtyLink, LineSettingsOfTheRealPort) {
  const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
  ASSERT_GE(master, 0);
  ASSERT_EQ(::grantpt(master), 0);
  ASSERT_EQ(::unlockpt(master), 0);
  PosixSerialPort port;
  LineSettings settings;
  settings.baud = 19200;
  ASSERT_TRUE(port.Open(::ptsname(master), settings));
  termios t{};
  ASSERT_EQ(::tcgetattr(master, &t), 0);
  EXPECT_EQ(t.c_iflag & (IXON | IXOFF | IXANY), 0u);
  EXPECT_EQ(t.c_cflag & CRTSCTS, 0u);
  EXPECT_EQ(t.c_cflag & (CSIZE | PARENB | CSTOPB), static_cast<tcflag_t>(CS8));
  EXPECT_EQ(t.c_lflag & (ICANON | ECHO | ISIG), 0u);
  EXPECT_EQ(ReadLineSpeed(master), 19200);
  EXPECT_FALSE(port.dtr());
  EXPECT_TRUE(port.rts());
  port.Close();
  ::close(master);
}

// A sensor that answers 1.5 s or 2.5 s late, at real speed: every command gets its own value
// or fails; none gets the value of the command before it (serial and item number have replies
// of the same length).
TEST(PtyLink, LateRepliesAreNotTakenForTheNextCommand) {
  const sim::SensorState expected = sim::MakeDefaultState(0x1030);
  for (const char* late : {"1500", "2500"}) {
    PtyRig rig({"--type", "0x1030", "--slow-ms", late});
    ASSERT_FALSE(rig.simulator.path().empty());
    bool first = true;
    uint16_t type = 0;
    if (rig.link.EstablishLink(LinkProfile::kProfileF, rig.simulator.path(), first, type) != kOk) {
      ADD_FAILURE() << late << " ms: the link set-up should survive a late sensor";
      continue;
    }
    EXPECT_EQ(type, 0x1030) << late;
    uint8_t serial[4] = {};
    uint8_t item[4] = {};
    const ResultCode serialRead = RunTransaction(rig.link.context(), ReadSerialNumber(), serial, 4);
    const ResultCode itemRead = RunTransaction(rig.link.context(), ReadItemNumber(), item, 4);
    if (serialRead == kOk) {
      EXPECT_EQ(GetU32(serial), expected.serialNumber) << late;
    }
    if (itemRead == kOk) {
      EXPECT_EQ(GetU32(item), expected.itemNumber) << late;
    }
  }
}

}  // namespace
}  // namespace korvin
