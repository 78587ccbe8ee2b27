// The trend without widgets: the bounded sample buffer, the lines and ranges drawn from it, and
// the CSV it saves.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <ctime>
#include <limits>

#include "app/trend_buffer.h"
#include "app/trend_csv.h"
#include "app/trend_plot.h"
#include "gui/gui_test_support.h"

namespace korvin {
namespace {

using test::TempFolder;
using ::testing::ElementsAre;

// 2024-05-06 07:08:09 UTC.
constexpr int64_t kStartMs = 1714979289000;
constexpr int64_t kSecond = 1000;
constexpr int64_t kMinute = 60 * kSecond;
constexpr int64_t kHour = 60 * kMinute;

const TrendChannels kWithPressure{{"℃ Td", "ppm", "℃", "barg"}, true};
const TrendChannels kWithoutPressure{{"°F Td", "g/m³", "°F", ""}, false};

// Sample n: values n, n/10, 20 + n/100 and 7 + n/1000, with decimal codes 2, 1, 1, 3.
void AppendSample(TrendBuffer& buffer, int64_t timeMs, int n) {
  buffer.Append(timeMs,
                {static_cast<float>(n), static_cast<float>(n) / 10,
                 20 + static_cast<float>(n) / 100, 7 + static_cast<float>(n) / 1000},
                {2, 1, 1, 3});
}

// `count` samples a second apart from `startMs`, numbered from `first`.
void Fill(TrendBuffer& buffer, int64_t startMs, int count, int first = 0) {
  for (int i = 0; i < count; ++i) AppendSample(buffer, startMs + i * kSecond, first + i);
}

std::vector<double> Times(const Polyline& points) {
  std::vector<double> times;
  for (const PlotPoint& p : points) times.push_back(p.timeMs);
  return times;
}

// ---------------------------------------------------------------------------------------------
// The buffer.

TEST(TrendBuffer, KeepsTheNewestSamplesUpToItsCapacity) {
  struct Case {
    int appended;
    size_t size;
    uint64_t first;
  };
  const Case cases[] = {{0, 0, 0}, {3, 3, 0}, {5, 5, 0}, {6, 5, 1}, {12, 5, 7}, {23, 5, 18}};
  for (const Case& c : cases) {
    TrendBuffer buffer(5);
    buffer.BeginSegment(kWithPressure);
    Fill(buffer, kStartMs, c.appended);
    EXPECT_EQ(buffer.size(), c.size) << c.appended;
    EXPECT_EQ(buffer.firstSequence(), c.first) << c.appended;
    EXPECT_EQ(buffer.endSequence(), static_cast<uint64_t>(c.appended)) << c.appended;
    // Every kept sample is the one appended with that sequence number.
    for (uint64_t s = buffer.firstSequence(); s < buffer.endSequence(); ++s) {
      EXPECT_EQ(buffer.At(s).timeMs, kStartMs + static_cast<int64_t>(s) * kSecond) << c.appended;
      EXPECT_EQ(buffer.At(s).values[kTrendDewPoint], static_cast<float>(s)) << c.appended;
    }
  }
}

TEST(TrendBuffer, DefaultCapacityIsADayAtOneHertz) {
  TrendBuffer buffer;
  EXPECT_EQ(buffer.capacity(), 86400u);
  Fill(buffer, kStartMs, 86400 + 10);
  EXPECT_EQ(buffer.size(), 86400u);
  EXPECT_EQ(buffer.At(buffer.firstSequence()).timeMs, kStartMs + 10 * kSecond);
}

TEST(TrendBuffer, SegmentsStartWithPollingAndWhenTheClockGoesBack) {
  TrendBuffer buffer(100);
  buffer.BeginSegment(kWithPressure);
  Fill(buffer, kStartMs, 3);                         // 0 1 2
  buffer.BeginSegment(kWithPressure);                // Off and On again
  Fill(buffer, kStartMs + kMinute, 2, 3);            // 3 4
  AppendSample(buffer, kStartMs + 30 * kSecond, 5);  // the clock was set back
  AppendSample(buffer, kStartMs + 30 * kSecond, 6);  // standing still is no break
  std::vector<uint64_t> segments;
  for (uint64_t s = 0; s < buffer.endSequence(); ++s) segments.push_back(buffer.At(s).segment);
  EXPECT_THAT(segments, ElementsAre(0, 0, 0, 3, 3, 5, 5));
  EXPECT_TRUE(buffer.At(3).StartsSegment(3));
  EXPECT_FALSE(buffer.At(4).StartsSegment(4));
  // The same channels keep what is there.
  EXPECT_EQ(buffer.size(), 7u);
}

TEST(TrendBuffer, OtherUnitsStartOverFromSequenceZero) {
  TrendBuffer buffer(10);
  buffer.BeginSegment(kWithPressure);
  Fill(buffer, kStartMs, 12);  // wrapped around
  const uint64_t generation = buffer.generation();
  // The units were changed between two polling runs: the old values cannot share the axes.
  buffer.BeginSegment(kWithoutPressure);
  EXPECT_TRUE(buffer.empty());
  EXPECT_EQ(buffer.generation(), generation + 1);
  Fill(buffer, kStartMs, 2, 100);
  EXPECT_EQ(buffer.firstSequence(), 0u);
  EXPECT_EQ(buffer.At(1).values[kTrendDewPoint], 101.0f);
  EXPECT_TRUE(buffer.At(0).StartsSegment(0));
}

// ---------------------------------------------------------------------------------------------
// The lines and ranges.

TEST(TrendPlot, AllShowsAtLeastAMinute) {
  TrendBuffer buffer(100);
  buffer.BeginSegment(kWithPressure);
  TrendPlot plot(buffer);
  plot.SetSpan(TrendSpan::kAll);
  plot.Update(buffer.endSequence(), kStartMs);
  EXPECT_EQ(plot.timeRange(), (TimeRange{kStartMs - kMinute, kStartMs}));
  EXPECT_FALSE(plot.valueRange(kTrendDewPoint).valid);
  Fill(buffer, kStartMs, 10);
  plot.Update(buffer.endSequence(), 0);
  EXPECT_EQ(plot.timeRange(), (TimeRange{kStartMs, kStartMs + kMinute}));
}

TEST(TrendPlot, LongSpansKeepTheExtremesOfEachColumn) {
  TrendBuffer buffer;
  buffer.BeginSegment(kWithPressure);
  // A day of a flat dew point with one spike up and one dip down.
  for (int i = 0; i < 86400; ++i) {
    const float dew = i == 40000 ? 5.0f : i == 60001 ? -80.0f : -40.0f;
    buffer.Append(kStartMs + i * kSecond, {dew, 1, 20, 7}, {1, 1, 1, 1});
  }
  TrendPlot plot(buffer);
  plot.SetSpan(TrendSpan::kAll);
  plot.SetColumns(800);
  plot.Update(buffer.endSequence(), 0);
  EXPECT_EQ(plot.bucketMs(), 128000);
  const Polyline& points = plot.lines(kTrendDewPoint).front().points;
  EXPECT_LE(points.size(), 2u * 800);
  EXPECT_NE(std::find(points.begin(), points.end(),
                      PlotPoint{static_cast<double>(kStartMs + 40000 * kSecond), 5.0}),
            points.end());
  EXPECT_NE(std::find(points.begin(), points.end(),
                      PlotPoint{static_cast<double>(kStartMs + 60001 * kSecond), -80.0}),
            points.end());
  EXPECT_TRUE(std::is_sorted(points.begin(), points.end(),
                             [](const auto& a, const auto& b) { return a.timeMs < b.timeMs; }));
  const ValueRange range = plot.valueRange(kTrendDewPoint);
  EXPECT_LT(range.min, -80.0);
  EXPECT_GT(range.max, 5.0);
}

TEST(TrendPlot, ValuesTheSensorCouldNotMeasureAreLeftOut) {
  TrendBuffer buffer(10);
  buffer.BeginSegment(kWithPressure);
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  buffer.Append(kStartMs, {1, nan, 20, 7}, {});
  buffer.Append(kStartMs + kSecond, {2, 3, inf, 7}, {});
  TrendPlot plot(buffer);
  plot.Update(buffer.endSequence(), 0);
  EXPECT_THAT(Times(plot.lines(kTrendAltValue).front().points), ElementsAre(kStartMs + kSecond));
  EXPECT_THAT(Times(plot.lines(kTrendTemperature).front().points), ElementsAre(kStartMs));
  EXPECT_EQ(plot.lines(kTrendDewPoint).front().points.size(), 2u);
}

// Updated after every poll, the plot must draw what a fresh one draws from the same samples:
// across spans, bucket doublings, segments, a clock set back and the buffer wrapping around.
TEST(TrendPlot, IncrementalUpdatesDrawWhatAFreshPlotDraws) {
  for (TrendSpan span : {TrendSpan::kTenMinutes, TrendSpan::kOneHour, TrendSpan::kAll}) {
    SCOPED_TRACE(std::string(SpanChoice(span).caption));
    TrendBuffer buffer(1500);
    buffer.BeginSegment(kWithPressure);
    TrendPlot live(buffer);
    live.SetSpan(span);
    live.SetColumns(50);
    int64_t time = kStartMs;
    for (int n = 0; n < 4000; ++n) {
      if (n % 700 == 699) buffer.BeginSegment(kWithPressure);
      time += n == 2500 ? -5 * kMinute : n % 900 == 899 ? 3 * kMinute : 1000 + (n % 3) * 150;
      const float wave = static_cast<float>(std::sin(n / 37.0) * 10 + (n % 11));
      buffer.Append(time, {wave, -wave, wave / 2, wave * 3}, {1, 1, 1, 1});
      if (n % 7 != 0) continue;  // some updates see several new samples
      live.Update(buffer.endSequence(), 0);
      TrendPlot fresh(buffer);
      fresh.SetSpan(span);
      fresh.SetColumns(50);
      fresh.Update(buffer.endSequence(), 0);
      ASSERT_EQ(live.timeRange(), fresh.timeRange()) << n;
      ASSERT_EQ(live.bucketMs(), fresh.bucketMs()) << n;
      for (int c = 0; c < kTrendChannelCount; ++c) {
        ASSERT_EQ(live.lines(c).size(), fresh.lines(c).size()) << n;
        for (size_t l = 0; l < live.lines(c).size(); ++l) {
          ASSERT_EQ(live.lines(c)[l].segment, fresh.lines(c)[l].segment) << n;
          ASSERT_EQ(live.lines(c)[l].points, fresh.lines(c)[l].points) << n << " line " << l;
        }
      }
    }
  }
}

TEST(TrendPlot, ValueAxesEndOnRoundNumbers) {
  struct Case {
    ValueRange range;
    double min;
    double max;
    int ticks;
    int decimals;
  };
  const Case cases[] = {
      {{-44.72, -44.54, true}, -44.75, -44.5, 6, 2},
      {{9.28, 9.49, true}, 9.2, 9.5, 4, 1},
      {{7.0041, 7.0085, true}, 7.004, 7.010, 4, 3},
      {{0.05, 0.9, true}, 0.0, 1.0, 5, 2},
      {{-60, 20, true}, -60, 20, 5, 0},
      {{0, 0, false}, 0, 1, 2, 0},
  };
  for (const Case& c : cases) {
    const AxisScale scale = NiceScale(c.range, 5);
    EXPECT_NEAR(scale.min, c.min, 1e-9) << c.range.min << ".." << c.range.max;
    EXPECT_NEAR(scale.max, c.max, 1e-9) << c.range.min << ".." << c.range.max;
    EXPECT_EQ(scale.ticks, c.ticks) << c.range.min << ".." << c.range.max;
    EXPECT_EQ(scale.decimals, c.decimals) << c.range.min << ".." << c.range.max;
  }
}

// ---------------------------------------------------------------------------------------------
// The CSV.

// Sets a time zone for one test and restores the one before.
class ScopedTimeZone {
 public:
  explicit ScopedTimeZone(const char* zone) {
    if (const char* before = std::getenv("TZ")) before_ = before;
    setenv("TZ", zone, 1);
    tzset();
  }
  ~ScopedTimeZone() {
    if (before_.empty()) {
      unsetenv("TZ");
    } else {
      setenv("TZ", before_.c_str(), 1);
    }
    tzset();
  }

 private:
  std::string before_;
};

TEST(TrendCsv, TimesAreLocalWithTheirOffset) {
  // Central European time, summer time from the last Sunday of March to that of October.
  ScopedTimeZone zone("CET-1CEST,M3.5.0,M10.5.0/3");
  struct Case {
    int64_t epochMs;
    const char* text;
  };
  const Case cases[] = {
      {1714979289123, "2024-05-06T09:08:09.123+02:00"},
      {1705312800000, "2024-01-15T11:00:00.000+01:00"},
      // The hour that a change back from summer time passes twice reads differently each time.
      {1729989000000, "2024-10-27T02:30:00.000+02:00"},
      {1729992600000, "2024-10-27T02:30:00.000+01:00"},
  };
  for (const Case& c : cases) EXPECT_EQ(FormatIsoLocalTime(c.epochMs), c.text);
}

TEST(TrendCsv, HeaderNamesTheColumnsWithTheirUnitsAndRowsFollowIt) {
  ScopedTimeZone zone("UTC0");
  TrendBuffer buffer(100);
  buffer.BeginSegment(kWithPressure);
  Fill(buffer, kStartMs + 123, 2);
  buffer.BeginSegment(kWithPressure);
  AppendSample(buffer, kStartMs + kHour, 12);
  // Each value with the places its decimal code asks for.
  EXPECT_EQ(TrendCsv(buffer),
            "Time,Dew point [℃ Td],Alternative value [ppm],Temperature [℃],Pressure [barg]\r\n"
            "2024-05-06T07:08:09.123+00:00,0.00,0.0,20.0,7.000\r\n"
            "2024-05-06T07:08:10.123+00:00,1.00,0.1,20.0,7.001\r\n"
            "2024-05-06T08:08:09.000+00:00,12.00,1.2,20.1,7.012\r\n");

  // Without a pressure sensor there is no pressure column; a unit is never left empty-bracketed.
  buffer.BeginSegment({{"°F Td", "", "°F", ""}, false});
  AppendSample(buffer, kStartMs, 3);
  EXPECT_EQ(TrendCsv(buffer),
            "Time,Dew point [°F Td],Alternative value,Temperature [°F]\r\n"
            "2024-05-06T07:08:09.000+00:00,3.00,0.3,20.0\r\n");
}

TEST(TrendCsv, AFailedSaveLeavesTheFileAsItWas) {
  TempFolder folder;
  TrendBuffer buffer(10);
  buffer.BeginSegment(kWithPressure);
  Fill(buffer, kStartMs, 3);
  const auto file = folder / "trend.csv";
  ASSERT_TRUE(WriteTrendCsv(buffer, file));
  EXPECT_EQ(test::ReadBytes(file).size(), TrendCsv(buffer).size());
  EXPECT_FALSE(std::filesystem::exists(folder / "trend.csv.part"));

  // The file beside it cannot be written: the old file stays.
  const std::vector<uint8_t> before = test::ReadBytes(file);
  std::filesystem::create_directory(folder / "trend.csv.part");
  Fill(buffer, kStartMs + kMinute, 3, 3);
  EXPECT_FALSE(WriteTrendCsv(buffer, file));
  EXPECT_EQ(test::ReadBytes(file), before);
  std::filesystem::remove(folder / "trend.csv.part");

  // A folder where the file should go: nothing is left behind.
  std::filesystem::create_directory(folder / "folder.csv");
  EXPECT_FALSE(WriteTrendCsv(buffer, folder / "folder.csv"));
  EXPECT_FALSE(std::filesystem::exists(folder / "folder.csv.part"));
  EXPECT_FALSE(WriteTrendCsv(buffer, folder / "missing" / "trend.csv"));
}

}  // namespace
}  // namespace korvin
