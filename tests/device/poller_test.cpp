#include <gtest/gtest.h>

#include "tables/number_format.h"
#include "device/connect_sequence.h"
#include "device/online_poller.h"
#include "sim_rig.h"

namespace korvin {
namespace {

using Outcome = OnlinePoller::Outcome;
using test::SimRig;

struct PollRig : SimRig {
  explicit PollRig(uint16_t type) : SimRig(type) {
    CConnect connect(link, ui);
    connect.Open(ConnectMode::kConnect, "COM1");
    connect.OnTimer();
    EXPECT_EQ(connect.result(), 1);
    CopyConnectResult(connect.values(), record);
    model.ClearLog();
  }
  DeviceRecord record;
  OnlinePoller poller{link.context(), record, ui};
};

TEST(OnlinePoller, ChannelCountFollowsThePressureOption) {
  for (uint16_t type : {0x1030, 0x1024}) {
    PollRig rig(type);
    rig.model.state().decimalCodes = {3, 2, 2, 3};
    rig.poller.SwitchOn();
    ASSERT_EQ(rig.poller.Poll(), Outcome::kUpdated);
    const bool pressure = rig.record.HasPressureSensor();
    ASSERT_EQ(rig.model.log().size(), 1u);
    EXPECT_EQ(rig.model.log()[0].payload, (std::vector<uint8_t>{0, uint8_t(pressure ? 4 : 3)}));
    const auto& rows = rig.poller.rows();
    // The temperature always has one decimal, whatever its code says.
    EXPECT_EQ(rows[kRowTemperature], FormatFixed(rig.record.online[kChannelTemperature], 1));
    EXPECT_EQ(rows[kRowDewPoint], FormatDecimal(rig.record.online[kChannelDewPoint], 2));
    EXPECT_EQ(rig.record.decimals[kChannelDewPoint], 2);
    EXPECT_EQ(rows[kRowAltDewPoint], FormatDecimal(rig.record.online[kChannelAltDewPoint], 2));
    if (pressure) {
      EXPECT_EQ(rows[kRowPressure], FormatDecimal(rig.record.online[kChannelPressure], 3));
    } else {
      EXPECT_EQ(rows[kRowPressure], "");
    }
    EXPECT_NEAR(rig.record.online[kChannelDewPoint], rig.model.ReadingsNow().dewPointC, 0.5);
  }
}

TEST(OnlinePoller, FourthFailureSinceSwitchingOnStops) {
  PollRig rig(0x1030);
  rig.poller.SwitchOn();
  ASSERT_EQ(rig.poller.Poll(), Outcome::kUpdated);

  // Failures need not be consecutive.
  const bool silent[] = {true, false, true, true};
  for (bool s : silent) {
    rig.model.faults().silent = s;
    EXPECT_EQ(rig.poller.Poll(), s ? Outcome::kFailed : Outcome::kUpdated);
  }
  EXPECT_EQ(rig.poller.failures(), 3);
  EXPECT_FALSE(rig.poller.rows()[kRowDewPoint].empty());
  EXPECT_TRUE(rig.ui.messages.empty());

  rig.model.faults().silent = true;
  EXPECT_EQ(rig.poller.Poll(), Outcome::kStopped);
  EXPECT_FALSE(rig.poller.running());
  EXPECT_EQ(rig.ui.messages, std::vector<std::string>{kCommunicationError});
  for (const std::string& row : rig.poller.rows()) EXPECT_EQ(row, "");

  // Switching on again starts counting from zero.
  rig.poller.SwitchOn();
  EXPECT_EQ(rig.poller.failures(), 0);
  EXPECT_EQ(rig.poller.Poll(), Outcome::kFailed);
}

TEST(OnlinePoller, SilentFailuresKeepTheLastTexts) {
  PollRig rig(0x1030);
  rig.poller.SwitchOn();
  ASSERT_EQ(rig.poller.Poll(), Outcome::kUpdated);
  const auto last = rig.poller.rows();
  rig.model.faults().silent = true;
  for (int i = 0; i < 3; ++i) EXPECT_EQ(rig.poller.Poll(), Outcome::kFailed);
  EXPECT_EQ(rig.poller.rows(), last);
}

TEST(OnlinePoller, TickDuringAWaitingPollIsSkipped) {
  PollRig rig(0x1030);
  rig.poller.SwitchOn();
  int nested = 0;
  Outcome nestedOutcome = Outcome::kUpdated;
  rig.onPump = [&] {
    if (nested++ == 0) nestedOutcome = rig.poller.Poll();
    return false;
  };
  rig.model.SetResponseDelayUs(300'000);
  EXPECT_EQ(rig.poller.Poll(), Outcome::kUpdated);
  EXPECT_GT(nested, 0);
  EXPECT_EQ(nestedOutcome, Outcome::kSkipped);
  EXPECT_EQ(rig.model.log().size(), 1u);
}

}  // namespace
}  // namespace korvin
