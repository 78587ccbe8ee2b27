#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "cli/link_recovery.h"
#include "device/connect_sequence.h"
#include "device/online_poller.h"
#include "platform/clock.h"
#include "platform/event_pump.h"
#include "protocol/service_link.h"
#include "sim/sensor_model.h"
#include "sim/sim_serial_port.h"
#include "support/scripted_ui.h"

namespace korvin {
namespace {

using Result = LinkRecovery::Result;
using Outcome = OnlinePoller::Outcome;

// A sensor on an adapter that can be unplugged and plugged in again, on virtual time. While the
// adapter is out, `whileGone` runs once a virtual second (to plug it back in, or to swap the
// sensor behind it).
struct UnpluggedRig {
  UnpluggedRig() {
    EXPECT_TRUE(Connect(record));
    poller.ReportLinkLoss(true);
    poller.SwitchOn();
  }

  bool Connect(DeviceRecord& into) {
    ++connects;
    CConnect connect(link, ui);
    connect.Open(ConnectMode::kConnect, "COM1");
    connect.OnTimer();
    if (connect.result() == 0) return false;
    CopyConnectResult(connect.values(), into);
    return true;
  }

  RecoveryLink Recovery() {
    RecoveryLink r;
    r.portPresent = [this] {
      if (port.gone() && whileGone) whileGone(clock.NowMs() - unpluggedMs);
      return !port.gone();
    };
    r.connect = [this](DeviceRecord& into) { return Connect(into); };
    r.close = [this] { link.transport().ClosePort(); };
    r.stopRequested = [this] { return stopAtMs >= 0 && clock.NowMs() >= stopAtMs; };
    return r;
  }

  void Unplug() {
    port.SetGone(true);
    unpluggedMs = clock.NowMs();
  }

  Result Recover(int minutes = 10) {
    LinkRecovery recovery(clock, "COM1", minutes, Recovery(), err);
    return recovery.Recover(record);
  }

  VirtualClock clock;
  sim::SensorModel model{0x1030, sim::LinkKind::kProfileF, clock};
  sim::SimSerialPort port{model, clock};
  NullEventPump pump;
  ServiceLink link{port, clock, pump};
  test::ScriptedUi ui;
  DeviceRecord record;
  OnlinePoller poller{link.context(), record, ui};
  std::function<void(int64_t msSinceUnplugged)> whileGone;
  int64_t unpluggedMs = 0;
  int64_t stopAtMs = -1;
  int connects = 0;
  std::ostringstream err;
};

TEST(LinkRecovery, TheSameSensorBackOnTheSamePortResumesPolling) {
  UnpluggedRig rig;
  ASSERT_EQ(rig.poller.Poll(), Outcome::kUpdated);
  rig.Unplug();
  // The vanished port is reported at once, and not counted as a failure of the sensor.
  EXPECT_EQ(rig.poller.Poll(), Outcome::kLinkLost);
  EXPECT_EQ(rig.poller.failures(), 0);

  rig.whileGone = [&](int64_t ms) {
    if (ms >= 5000) rig.port.SetGone(false);
  };
  const uint32_t serial = rig.record.serialNumber;
  EXPECT_EQ(rig.Recover(), Result::kBack);
  EXPECT_EQ(rig.record.serialNumber, serial);
  // Checked once a second: back within a second of its return, after one connect sequence.
  EXPECT_EQ(rig.connects, 2);
  EXPECT_LT(rig.clock.NowMs() - rig.unpluggedMs, 5000 + 1000 + 10'000);
  EXPECT_EQ(rig.err.str(),
            "korvin-cli: COM1 is gone; waiting for it to come back (up to 10 minutes)\n"
            "korvin-cli: COM1 is back; connecting again\n"
            "korvin-cli: connected again to serial number " +
                std::to_string(serial) + "; polling resumes\n");
  rig.poller.SwitchOn();
  EXPECT_EQ(rig.poller.Poll(), Outcome::kUpdated);
}

TEST(LinkRecovery, AnotherSensorOnThePortIsRefused) {
  UnpluggedRig rig;
  rig.Unplug();
  rig.whileGone = [&](int64_t ms) {
    if (ms < 3000) return;
    rig.model.state().serialNumber += 1;
    rig.port.SetGone(false);
  };
  const uint32_t serial = rig.record.serialNumber;
  EXPECT_EQ(rig.Recover(), Result::kDifferentSensor);
  EXPECT_EQ(rig.record.serialNumber, serial) << "the record keeps the sensor it had";
  EXPECT_NE(
      rig.err.str().find("korvin-cli: a different sensor is connected (serial number " +
                         std::to_string(serial + 1) + ", before " + std::to_string(serial) + ")\n"),
      std::string::npos)
      << rig.err.str();
}

TEST(LinkRecovery, GivesUpAtTheDeadlineAndAStopEndsTheWaitAtOnce) {
  {
    UnpluggedRig rig;
    rig.Unplug();
    EXPECT_EQ(rig.Recover(2), Result::kGaveUp);
    EXPECT_EQ(rig.clock.NowMs() - rig.unpluggedMs, 2 * 60'000);
    EXPECT_EQ(rig.connects, 1) << "no connect sequence without a port";
    EXPECT_NE(rig.err.str().find("korvin-cli: COM1 did not come back within 2 minutes; giving up"),
              std::string::npos);
  }
  {
    UnpluggedRig rig;
    rig.Unplug();
    rig.stopAtMs = rig.clock.NowMs() + 2520;
    EXPECT_EQ(rig.Recover(), Result::kStopped);
    EXPECT_LE(rig.clock.NowMs() - rig.stopAtMs, 50);
  }
}

TEST(LinkRecovery, ASensorThatDoesNotAnswerYetIsTriedOnceASecond) {
  UnpluggedRig rig;
  rig.Unplug();
  // The adapter is back after 2 s, the sensor behind it answers from 6 s on.
  rig.whileGone = [&](int64_t ms) {
    if (ms >= 2000) rig.port.SetGone(false);
  };
  rig.model.faults().silent = true;
  bool answering = false;
  const auto check = rig.Recovery();
  RecoveryLink link = rig.Recovery();
  link.portPresent = [&] {
    if (!answering && rig.clock.NowMs() - rig.unpluggedMs >= 6000) {
      rig.model.faults().silent = false;
      answering = true;
    }
    return check.portPresent();
  };
  LinkRecovery recovery(rig.clock, "COM1", 10, link, rig.err);
  EXPECT_EQ(recovery.Recover(rig.record), Result::kBack);
  // Each failed connect sequence costs its own tries and time; the loop adds one sequence per
  // second of waiting, never tries of its own around the sequence's.
  EXPECT_GE(rig.connects, 3);
  EXPECT_LE(rig.connects, 6);
  const std::string text = rig.err.str();
  EXPECT_EQ(text.find("is back"), text.rfind("is back")) << "said once: " << text;
}

}  // namespace
}  // namespace korvin
