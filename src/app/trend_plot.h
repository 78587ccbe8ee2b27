#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <string_view>
#include <vector>

#include "app/trend_buffer.h"

namespace korvin {

// How much of the trend is drawn: a span that ends at the newest sample, or everything.
enum class TrendSpan { kTenMinutes, kOneHour, kAll };

struct TrendSpanChoice {
  TrendSpan span;
  std::string_view caption;
  int64_t lengthMs;  // 0 for everything
  int timeTicks;     // labels on the time axis: a minute apart for 10 minutes, 10 for an hour
};
inline constexpr std::array<TrendSpanChoice, 3> kTrendSpans = {{
    {TrendSpan::kTenMinutes, "Last 10 minutes", 10 * 60 * 1000, 11},
    {TrendSpan::kOneHour, "Last hour", 60 * 60 * 1000, 7},
    {TrendSpan::kAll, "All", 0, 7},
}};
const TrendSpanChoice& SpanChoice(TrendSpan span);

struct PlotPoint {
  double timeMs = 0;  // milliseconds since 1970-01-01 UTC, as a date-time axis counts
  double value = 0;
  bool operator==(const PlotPoint&) const = default;
};
using Polyline = std::vector<PlotPoint>;

// One unbroken line: the drawn points of one polling segment.
struct PlotLine {
  uint64_t segment = 0;  // sequence number of the segment's first sample
  Polyline points;
};

struct TimeRange {
  int64_t fromMs = 0;
  int64_t toMs = 0;
  bool operator==(const TimeRange&) const = default;
};

struct ValueRange {
  double min = 0;
  double max = 0;
  bool valid = false;  // false while the channel has no points
};

// A value axis that reads well: its ends and ticks on multiples of 1, 2, 2.5 or 5 times a power
// of ten, with as many decimal places as the tick step needs.
struct AxisScale {
  double min = 0;
  double max = 1;
  int ticks = 2;
  int decimals = 0;
};
AxisScale NiceScale(const ValueRange& range, int targetTicks);

// The lines a trend draws for its span, at most two points per pixel column: the samples are
// gathered into buckets of a power-of-two number of seconds (one second while the span fits
// the plot's width), and a bucket of more than one sample is drawn by its lowest and its highest
// value in the order they were taken, so a spike stays visible however long the span.
// Update() works incrementally: new samples go into the newest bucket, buckets that left the
// span or the buffer are dropped, and everything is gathered again only when the bucket width
// must change (a doubling, for "All") or the span starts earlier than before (a clock set back).
class TrendPlot {
 public:
  static constexpr int64_t kBaseBucketMs = 1000;
  // The span "All" covers at least this much, so its first minute does not fill the plot.
  static constexpr int64_t kMinAllSpanMs = 60 * 1000;
  static constexpr int kDefaultColumns = 600;

  explicit TrendPlot(const TrendBuffer& buffer) : buffer_(buffer) {}

  void SetSpan(TrendSpan span);
  TrendSpan span() const { return span_; }
  // The plot's width in pixels.
  void SetColumns(int columns);
  int columns() const { return columns_; }

  // Takes in the buffer's samples before `endSequence` (the buffer's endSequence() unless
  // paused). `nowMs` places the span while there is no sample. True when the lines or the
  // time range changed.
  bool Update(uint64_t endSequence, int64_t nowMs);

  const std::vector<PlotLine>& lines(int channel) const { return lines_[channel]; }
  const TimeRange& timeRange() const { return range_; }
  ValueRange valueRange(int channel) const;
  int64_t bucketMs() const { return bucketMs_; }

 private:
  struct Extremes {
    int count = 0;
    PlotPoint low;
    PlotPoint high;
  };
  struct Bucket {
    uint64_t segment = 0;
    int64_t index = 0;
    uint64_t firstSequence = 0;
    uint64_t lastSequence = 0;
    std::array<Extremes, kTrendChannelCount> channels;
  };

  void Reset();
  int64_t BucketFor(int64_t lengthMs) const;
  static void Merge(Bucket& bucket, const TrendSample& sample, uint64_t sequence);
  // Drops buckets that left the buffer or lie before `fromMs`, and gathers a bucket again when
  // only some of its samples did.
  void DropOld(int64_t fromMs);
  // Adds the samples from `from` to before `end` that lie at or after `fromMs`.
  void Gather(uint64_t from, uint64_t end, int64_t fromMs);
  void BuildLines();

  const TrendBuffer& buffer_;
  TrendSpan span_ = TrendSpan::kTenMinutes;
  int columns_ = kDefaultColumns;
  uint64_t generation_ = 0;
  bool fresh_ = true;
  int64_t bucketMs_ = kBaseBucketMs;
  uint64_t next_ = 0;   // the first sequence number not gathered yet
  int64_t fromMs_ = 0;  // where the span started at the last update
  std::deque<Bucket> buckets_;
  std::array<std::vector<PlotLine>, kTrendChannelCount> lines_;
  TimeRange range_;
};

}  // namespace korvin
