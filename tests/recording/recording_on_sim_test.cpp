// The recorder on the polling tick against the virtual sensor: what the rows hold is what the
// polls read, also across failed polls.

#include <gtest/gtest.h>

#include "device/connect_sequence.h"
#include "device/online_poller.h"
#include "device/sim_rig.h"
#include "recording/c_logging.h"
#include "test_files.h"

namespace korvin::test {
namespace {

constexpr int64_t kTickMs = 1000;

TEST(RecordingOnVirtualSensor, RowsHoldTheValuesOfTheLastCompletedPoll) {
  SimRig rig(0x1030);
  CConnect connect(rig.link, rig.ui);
  connect.Open(ConnectMode::kConnect, "COM1");
  connect.OnTimer();
  ASSERT_EQ(connect.result(), 1);
  DeviceRecord record;
  CopyConnectResult(connect.values(), record);
  OnlinePoller poller(rig.link.context(), record, rig.ui);
  poller.SwitchOn();

  TempFolder folder;
  LoggingOptions options;
  options.folder = folder.path();
  options.localTime = [] { return LocalDateTime{2024, 3, 5, 8, 30, 0}; };
  CLogging logging(options);
  std::vector<RecordedRow> rows;
  logging.SetRowCallback([&rows](const RecordedRow& row) { rows.push_back(row); });
  RecordSettings settings;
  settings.minutes = 1;
  settings.interval = 3;
  settings.fileName = "sim";
  ASSERT_TRUE(logging.Start(settings, MakeChannelUnitTexts(OnlineUnitLabelsOf(record))));

  // The sensor keeps silent around tick 10, a row tick: that row takes the tick 9 values.
  const int64_t startMs = rig.clock.NowMs();
  std::vector<std::array<float, kChannelCount>> seen{{}};  // by tick, from 1
  for (int tick = 1; tick <= 61; ++tick) {
    rig.model.faults().silent = tick == 10 || tick == 11;
    const OnlinePoller::Outcome outcome = poller.Poll();
    EXPECT_EQ(outcome, rig.model.faults().silent ? OnlinePoller::Outcome::kFailed
                                                 : OnlinePoller::Outcome::kUpdated)
        << tick;
    seen.push_back(record.online);
    logging.Tick(record.online);
    const int64_t nextTickMs = startMs + tick * kTickMs;
    if (rig.clock.NowMs() < nextTickMs) rig.clock.SleepMs(nextTickMs - rig.clock.NowMs());
  }
  EXPECT_EQ(logging.state(), CLogging::State::kIdle);

  ASSERT_EQ(rows.size(), 20u);
  for (size_t i = 0; i < rows.size(); ++i) {
    EXPECT_EQ(rows[i].values, seen[1 + 3 * i]) << "row " << i + 1;
  }
  EXPECT_EQ(seen[10], seen[9]);
  EXPECT_NE(seen[1], seen[58]);  // the sensor's values move, so the rows tell ticks apart

  const BiffFile sheet = ParseBiff(ReadBytes(folder / "sim.xls"));
  ASSERT_TRUE(sheet.wellFormed);
  EXPECT_EQ(sheet.At(5, 1)->number, 20);
  EXPECT_EQ(sheet.At(9, 2)->text, record.fahrenheit ? "F" : "C");
  EXPECT_EQ(sheet.At(13, 4)->number, static_cast<double>(seen[10][kChannelDewPoint]));
}

}  // namespace
}  // namespace korvin::test
