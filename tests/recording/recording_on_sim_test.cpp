// The recorder on the polling tick against the virtual sensor: what the rows hold is what the
// polls read, also across failed polls, and the CSV has each row the moment it is taken.

#include <gtest/gtest.h>

#include "device/connect_sequence.h"
#include "device/online_poller.h"
#include "device/sim_rig.h"
#include "recording/c_logging.h"
#include "test_files.h"

namespace korvin::test {
namespace {

constexpr int64_t kTickMs = 1000;
constexpr int kStartSecondOfDay = 8 * 3600 + 30 * 60;

// A connected sensor polled once a tick on the virtual clock, and a recorder on the same tick.
class RecordingOnVirtualSensor : public ::testing::Test {
 protected:
  void SetUp() override {
    CConnect connect(rig_.link, rig_.ui);
    connect.Open(ConnectMode::kConnect, "COM1");
    connect.OnTimer();
    ASSERT_EQ(connect.result(), 1);
    CopyConnectResult(connect.values(), record_);
    poller_.SwitchOn();
    logging_.SetRowCallback([this](const RecordedRow& row) { OnRow(row); });
    startMs_ = rig_.clock.NowMs();
  }

  LoggingOptions Options() {
    LoggingOptions options;
    options.folder = folder_.path();
    // 05.03.2024 08:30:00 (UTC+1) when the first tick begins, going on with the virtual clock.
    options.localTime = [this] {
      const int s = kStartSecondOfDay + static_cast<int>((rig_.clock.NowMs() - startMs_) / kTickMs);
      return LocalDateTime{2024, 3, 5, s / 3600, s / 60 % 60, s % 60, 3600};
    };
    return options;
  }
  bool Start(bool csv) {
    RecordSettings settings;
    settings.minutes = 1;
    settings.interval = 3;
    settings.fileName = "sim";
    settings.csv = csv;
    return logging_.Start(settings, MakeChannelUnitTexts(OnlineUnitLabelsOf(record_)));
  }
  // Tick `tick` (from 1): the poll, then the recorder, then the clock to the next tick.
  OnlinePoller::Outcome Tick(int tick) {
    const OnlinePoller::Outcome outcome = poller_.Poll();
    logging_.Tick(record_.online);
    const int64_t nextTickMs = startMs_ + tick * kTickMs;
    if (rig_.clock.NowMs() < nextTickMs) rig_.clock.SleepMs(nextTickMs - rig_.clock.NowMs());
    return outcome;
  }
  virtual void OnRow(const RecordedRow& row) { rows_.push_back(row); }

  SimRig rig_{0x1030};
  DeviceRecord record_;
  OnlinePoller poller_{rig_.link.context(), record_, rig_.ui};
  TempFolder folder_;
  CLogging logging_{Options()};
  int64_t startMs_ = 0;
  std::vector<RecordedRow> rows_;
};

TEST_F(RecordingOnVirtualSensor, RowsHoldTheValuesOfTheLastCompletedPoll) {
  ASSERT_TRUE(Start(false));
  // The sensor keeps silent around tick 10, a row tick: that row takes the tick 9 values.
  std::vector<std::array<float, kChannelCount>> seen{{}};  // by tick, from 1
  for (int tick = 1; tick <= 61; ++tick) {
    rig_.model.faults().silent = tick == 10 || tick == 11;
    EXPECT_EQ(Tick(tick), rig_.model.faults().silent ? OnlinePoller::Outcome::kFailed
                                                     : OnlinePoller::Outcome::kUpdated)
        << tick;
    seen.push_back(record_.online);
  }
  EXPECT_EQ(logging_.state(), CLogging::State::kIdle);

  ASSERT_EQ(rows_.size(), 20u);
  for (size_t i = 0; i < rows_.size(); ++i) {
    EXPECT_EQ(rows_[i].values, seen[1 + 3 * i]) << "row " << i + 1;
  }
  EXPECT_EQ(seen[10], seen[9]);
  EXPECT_NE(seen[1], seen[58]);  // the sensor's values move, so the rows tell ticks apart

  const BiffFile sheet = ParseBiff(ReadBytes(folder_ / "sim.xls"));
  ASSERT_TRUE(sheet.wellFormed);
  EXPECT_EQ(sheet.At(5, 1)->number, 20);
  EXPECT_EQ(sheet.At(9, 2)->text, record_.fahrenheit ? "F" : "C");
  EXPECT_EQ(sheet.At(13, 4)->number, static_cast<double>(seen[10][kChannelDewPoint]));
  EXPECT_FALSE(std::filesystem::exists(folder_ / "sim.csv"));
}

// Reads the CSV on disk each time the recorder has stored a row.
class CsvOnVirtualSensor : public RecordingOnVirtualSensor {
 protected:
  void OnRow(const RecordedRow& row) override {
    RecordingOnVirtualSensor::OnRow(row);
    const Bytes bytes = ReadBytes(folder_ / "sim.csv");
    onDisk_.emplace_back(bytes.begin(), bytes.end());
  }
  std::vector<std::string> onDisk_;  // the CSV's content right after each row
};

TEST_F(CsvOnVirtualSensor, EveryRowIsInTheCsvAsItIsTaken) {
  ASSERT_TRUE(Start(true));
  for (int tick = 1; tick <= 61; ++tick) Tick(tick);
  EXPECT_EQ(logging_.state(), CLogging::State::kIdle);
  ASSERT_EQ(rows_.size(), 20u);
  ASSERT_EQ(onDisk_.size(), rows_.size());

  // Right after each row the file holds the header and every row so far, this one last.
  std::string expected = CsvHeaderLine(logging_.unitTexts()) + "\r\n";
  for (size_t i = 0; i < rows_.size(); ++i) {
    SCOPED_TRACE(i + 1);
    // Taken after the poll of its tick, 1 + 3 * i.
    const int s = kStartSecondOfDay + 3 * static_cast<int>(i);
    const LocalDateTime taken{2024, 3, 5, s / 3600, s / 60 % 60, s % 60, 3600};
    expected += CsvRowLine(rows_[i].number, taken, rows_[i].values) + "\r\n";
    EXPECT_EQ(onDisk_[i], expected);
  }
  const Bytes csv = ReadBytes(folder_ / "sim.csv");
  EXPECT_EQ(std::string(csv.begin(), csv.end()), expected);
  const BiffFile sheet = ParseBiff(ReadBytes(folder_ / "sim.xls"));
  ASSERT_TRUE(sheet.wellFormed);
  EXPECT_EQ(sheet.At(5, 1)->number, 20);
}

}  // namespace
}  // namespace korvin::test
