// The trend without widgets: the bounded sample buffer, the lines and ranges drawn from it, and
// the CSV it saves.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <limits>
#include <sstream>

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

TEST(TrendBuffer, ClearAndOtherUnitsStartOver) {
  TrendBuffer buffer(10);
  buffer.BeginSegment(kWithPressure);
  Fill(buffer, kStartMs, 12);
  const uint64_t generation = buffer.generation();

  // The units were changed between two polling runs: the old values cannot share the axes.
  buffer.BeginSegment(kWithoutPressure);
  EXPECT_TRUE(buffer.empty());
  EXPECT_EQ(buffer.generation(), generation + 1);
  EXPECT_EQ(buffer.channels(), kWithoutPressure);
  Fill(buffer, kStartMs, 2);
  EXPECT_EQ(buffer.firstSequence(), 0u);
  EXPECT_EQ(buffer.At(0).segment, 0u);

  buffer.Clear();
  EXPECT_TRUE(buffer.empty());
  EXPECT_EQ(buffer.endSequence(), 0u);
  EXPECT_EQ(buffer.generation(), generation + 2);
  AppendSample(buffer, kStartMs, 0);
  EXPECT_TRUE(buffer.At(0).StartsSegment(0));
}

// ---------------------------------------------------------------------------------------------
// The lines and ranges.

TEST(TrendPlot, EachSpanEndsAtTheNewestSample) {
  TrendBuffer buffer(10000);
  buffer.BeginSegment(kWithPressure);
  Fill(buffer, kStartMs, 2 * 3600);  // two hours
  const int64_t newest = kStartMs + (2 * 3600 - 1) * kSecond;
  struct Case {
    TrendSpan span;
    TimeRange range;
    int64_t bucketMs;  // the plot is 600 columns wide
  };
  const Case cases[] = {
      {TrendSpan::kTenMinutes, {newest - 10 * kMinute, newest}, 1000},
      {TrendSpan::kOneHour, {newest - kHour, newest}, 8000},
      {TrendSpan::kAll, {kStartMs, newest}, 16000},
  };
  for (const Case& c : cases) {
    TrendPlot plot(buffer);
    plot.SetSpan(c.span);
    EXPECT_TRUE(plot.Update(buffer.endSequence(), 0));
    EXPECT_EQ(plot.timeRange(), c.range) << SpanChoice(c.span).caption;
    EXPECT_EQ(plot.bucketMs(), c.bucketMs) << SpanChoice(c.span).caption;
    for (int channel = 0; channel < kTrendChannelCount; ++channel) {
      ASSERT_EQ(plot.lines(channel).size(), 1u);
      const Polyline& points = plot.lines(channel).front().points;
      EXPECT_LE(points.size(), 2u * 600) << SpanChoice(c.span).caption;
      EXPECT_GE(points.front().timeMs, static_cast<double>(c.range.fromMs));
      EXPECT_EQ(points.back().timeMs, static_cast<double>(newest));
    }
  }
}

TEST(TrendPlot, RangeWithoutSamplesOrWithFew) {
  TrendBuffer buffer(100);
  buffer.BeginSegment(kWithPressure);
  TrendPlot plot(buffer);
  plot.Update(buffer.endSequence(), kStartMs);
  EXPECT_EQ(plot.timeRange(), (TimeRange{kStartMs - 10 * kMinute, kStartMs}));
  EXPECT_FALSE(plot.valueRange(kTrendDewPoint).valid);
  plot.SetSpan(TrendSpan::kAll);
  plot.Update(buffer.endSequence(), kStartMs);
  EXPECT_EQ(plot.timeRange(), (TimeRange{kStartMs - kMinute, kStartMs}));

  // "All" with ten seconds of samples still shows a minute.
  Fill(buffer, kStartMs, 10);
  plot.Update(buffer.endSequence(), 0);
  EXPECT_EQ(plot.timeRange(), (TimeRange{kStartMs, kStartMs + kMinute}));
}

TEST(TrendPlot, ShortSpansDrawEverySampleInIt) {
  TrendBuffer buffer(2000);
  buffer.BeginSegment(kWithPressure);
  Fill(buffer, kStartMs + 250, 700);  // off the second, as real polls are
  TrendPlot plot(buffer);
  plot.Update(buffer.endSequence(), 0);
  const Polyline& points = plot.lines(kTrendTemperature).front().points;
  // The newest 601 samples: the span is ten minutes long, both ends included.
  ASSERT_EQ(points.size(), 601u);
  for (size_t i = 0; i < points.size(); ++i) {
    const int n = 99 + static_cast<int>(i);
    EXPECT_EQ(points[i].timeMs, static_cast<double>(kStartMs + 250 + n * kSecond));
    EXPECT_FLOAT_EQ(static_cast<float>(points[i].value), 20 + static_cast<float>(n) / 100);
  }
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

TEST(TrendPlot, EachSegmentIsALineOfItsOwn) {
  TrendBuffer buffer(100);
  buffer.BeginSegment(kWithoutPressure);
  Fill(buffer, kStartMs, 5);
  buffer.BeginSegment(kWithoutPressure);
  Fill(buffer, kStartMs + kMinute, 3, 5);
  TrendPlot plot(buffer);
  plot.Update(buffer.endSequence(), 0);
  const auto& lines = plot.lines(kTrendDewPoint);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].segment, 0u);
  EXPECT_EQ(lines[0].points.size(), 5u);
  EXPECT_EQ(lines[1].segment, 5u);
  EXPECT_THAT(Times(lines[1].points), ElementsAre(kStartMs + kMinute, kStartMs + kMinute + kSecond,
                                                  kStartMs + kMinute + 2 * kSecond));
  // Without a pressure sensor there is no pressure line.
  EXPECT_TRUE(plot.lines(kTrendPressure).empty());
}

TEST(TrendPlot, PausedUpdatesStopAtTheGivenSample) {
  TrendBuffer buffer(100);
  buffer.BeginSegment(kWithPressure);
  Fill(buffer, kStartMs, 20);
  TrendPlot plot(buffer);
  plot.Update(10, 0);
  EXPECT_EQ(plot.lines(kTrendDewPoint).front().points.size(), 10u);
  EXPECT_EQ(plot.timeRange().toMs, kStartMs + 9 * kSecond);
  EXPECT_FALSE(plot.Update(10, 0));
  EXPECT_TRUE(plot.Update(buffer.endSequence(), 0));
  EXPECT_EQ(plot.lines(kTrendDewPoint).front().points.size(), 20u);
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

TEST(TrendPlot, SeriesEditsKeepWhatStays) {
  const Polyline shown = {{1, 10}, {2, 20}, {3, 30}, {4, 40}};
  struct Case {
    const char* name;
    Polyline wanted;
    size_t removeFront;
    size_t keep;
    Polyline append;
  };
  const Case cases[] = {
      {"appended", {{1, 10}, {2, 20}, {3, 30}, {4, 40}, {5, 50}}, 0, 4, {{5, 50}}},
      {"scrolled", {{3, 30}, {4, 40}, {5, 50}}, 2, 2, {{5, 50}}},
      {"last bucket grew", {{2, 20}, {3, 30}, {4, 45}, {5, 1}}, 1, 2, {{4, 45}, {5, 1}}},
      {"unchanged", shown, 0, 4, {}},
      {"nothing in common", {{7, 70}}, 4, 0, {{7, 70}}},
      {"emptied", {}, 4, 0, {}},
  };
  for (const Case& c : cases) {
    const SeriesEdit edit = EditFor(shown, c.wanted);
    EXPECT_EQ(edit.removeFront, c.removeFront) << c.name;
    EXPECT_EQ(edit.keep, c.keep) << c.name;
    EXPECT_EQ(edit.append, c.append) << c.name;
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
      {{0.1, 0.5, true}, 0.1, 0.5, 5, 1},
      {{1000, 1800, true}, 1000, 1800, 5, 0},
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

// "2024-05-06T09:08:09.000+02:00" back to milliseconds since 1970 UTC.
int64_t ParseIsoTime(const std::string& text) {
  std::tm tm{};
  int millis = 0;
  char sign = '+';
  int offsetHours = 0;
  int offsetMinutes = 0;
  const int fields = std::sscanf(text.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d.%3d%c%2d:%2d", &tm.tm_year,
                                 &tm.tm_mon, &tm.tm_mday, &tm.tm_hour, &tm.tm_min, &tm.tm_sec,
                                 &millis, &sign, &offsetHours, &offsetMinutes);
  EXPECT_EQ(fields, 10) << text;
  tm.tm_year -= 1900;
  tm.tm_mon -= 1;
  const int64_t offset = (offsetHours * 60 + offsetMinutes) * 60 * (sign == '-' ? -1 : 1);
  return (static_cast<int64_t>(timegm(&tm)) - offset) * 1000 + millis;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    EXPECT_FALSE(line.empty() || line.back() != '\r') << "line without CR LF: " << line;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

std::vector<std::string> Fields(const std::string& line) {
  std::vector<std::string> fields;
  std::istringstream in(line);
  for (std::string field; std::getline(in, field, ',');) fields.push_back(field);
  return fields;
}

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
  for (const Case& c : cases) {
    EXPECT_EQ(FormatIsoLocalTime(c.epochMs), c.text);
    EXPECT_EQ(ParseIsoTime(c.text), c.epochMs);
  }
}

TEST(TrendCsv, HeaderNamesTheColumnsWithTheirUnitsAndRowsReadBack) {
  for (const TrendChannels& channels : {kWithPressure, kWithoutPressure}) {
    TrendBuffer buffer(100);
    buffer.BeginSegment(channels);
    Fill(buffer, kStartMs + 123, 3);
    buffer.BeginSegment(channels);
    Fill(buffer, kStartMs + kHour, 2, 3);
    const std::vector<std::string> lines = Lines(TrendCsv(buffer));
    ASSERT_EQ(lines.size(), 6u);
    if (channels.hasPressure) {
      EXPECT_EQ(lines[0],
                "Time,Dew point [℃ Td],Alternative value [ppm],Temperature [℃],Pressure [barg]");
    } else {
      EXPECT_EQ(lines[0], "Time,Dew point [°F Td],Alternative value [g/m³],Temperature [°F]");
    }
    for (int n = 0; n < 5; ++n) {
      const std::vector<std::string> fields = Fields(lines[1 + n]);
      ASSERT_EQ(fields.size(), channels.hasPressure ? 5u : 4u);
      EXPECT_EQ(ParseIsoTime(fields[0]), buffer.At(n).timeMs);
      // Each value with the places its decimal code asks for, "." as separator.
      EXPECT_EQ(fields[1], std::to_string(n) + ".00");
      EXPECT_EQ(fields[2], "0." + std::to_string(n));
      EXPECT_EQ(fields[3], "20.0");
      if (channels.hasPressure) {
        EXPECT_EQ(fields[4], "7.00" + std::to_string(n));
      }
    }
  }
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
