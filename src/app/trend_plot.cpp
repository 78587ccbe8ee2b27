#include "app/trend_plot.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace korvin {

namespace {

// Room above and below the lines, as a share of their height.
constexpr double kValueMargin = 0.05;
// A flat line gets this share of its value above and below, but at least kMinValueMargin.
constexpr double kFlatMargin = 0.01;
constexpr double kMinValueMargin = 0.5;
// Tick steps within a power of ten, the last also the step for "10".
constexpr std::array<double, 5> kNiceSteps = {1.0, 2.0, 2.5, 5.0, 10.0};
constexpr int kMaxPlaces = 9;
constexpr double kPlacesTolerance = 1e-6;

int64_t FloorDiv(int64_t value, int64_t divisor) {
  const int64_t quotient = value / divisor;
  return (value % divisor != 0 && value < 0) ? quotient - 1 : quotient;
}

}  // namespace

const TrendSpanChoice& SpanChoice(TrendSpan span) {
  for (const TrendSpanChoice& choice : kTrendSpans) {
    if (choice.span == span) return choice;
  }
  return kTrendSpans.front();
}

void TrendPlot::SetSpan(TrendSpan span) {
  if (span == span_) return;
  span_ = span;
  fresh_ = true;
}

void TrendPlot::SetColumns(int columns) {
  columns = std::max(columns, 1);
  if (columns == columns_) return;
  columns_ = columns;
  fresh_ = true;
}

void TrendPlot::Reset() {
  buckets_.clear();
  next_ = 0;
  bucketMs_ = 0;
  fromMs_ = std::numeric_limits<int64_t>::min();
}

int64_t TrendPlot::BucketFor(int64_t lengthMs) const {
  int64_t bucket = kBaseBucketMs;
  while (lengthMs / bucket > columns_) bucket *= 2;
  return bucket;
}

bool TrendPlot::Update(uint64_t endSequence, int64_t nowMs) {
  if (fresh_ || buffer_.generation() != generation_) {
    Reset();
    generation_ = buffer_.generation();
    fresh_ = false;
  }
  const uint64_t first = buffer_.firstSequence();
  const uint64_t end = std::min(endSequence, buffer_.endSequence());
  const int64_t lengthMs = SpanChoice(span_).lengthMs;

  TimeRange range;
  if (end <= first) {
    buckets_.clear();
    next_ = end;
    range.toMs = nowMs;
    range.fromMs = nowMs - (lengthMs > 0 ? lengthMs : kMinAllSpanMs);
  } else if (lengthMs > 0) {
    range.toMs = buffer_.At(end - 1).timeMs;
    range.fromMs = range.toMs - lengthMs;
  } else {
    range.fromMs = buffer_.At(first).timeMs;
    range.toMs = std::max(buffer_.At(end - 1).timeMs, range.fromMs + kMinAllSpanMs);
  }

  if (end > first) {
    const int64_t bucketMs = BucketFor(range.toMs - range.fromMs);
    // A span that starts earlier than before (the wall clock was set back) may take in samples
    // that were dropped already.
    if (bucketMs != bucketMs_ || range.fromMs < fromMs_) {
      bucketMs_ = bucketMs;
      buckets_.clear();
      next_ = first;
    }
    fromMs_ = range.fromMs;
    DropOld(range.fromMs);
    Gather(std::max(next_, first), end, range.fromMs);
    next_ = end;
  }

  const std::array<std::vector<PlotLine>, kTrendChannelCount> before = std::move(lines_);
  BuildLines();
  bool changed = range != range_;
  for (int c = 0; c < kTrendChannelCount && !changed; ++c) {
    const auto& a = before[c];
    const auto& b = lines_[c];
    changed = a.size() != b.size() ||
              !std::equal(a.begin(), a.end(), b.begin(), [](const PlotLine& x, const PlotLine& y) {
                return x.segment == y.segment && x.points == y.points;
              });
  }
  range_ = range;
  return changed;
}

void TrendPlot::DropOld(int64_t fromMs) {
  const uint64_t first = buffer_.firstSequence();
  std::deque<Bucket> kept;
  for (Bucket& bucket : buckets_) {
    if (bucket.lastSequence < first || (bucket.index + 1) * bucketMs_ <= fromMs) continue;
    // Within a segment time only goes forward, so the first sample is the oldest.
    if (bucket.firstSequence >= first && buffer_.At(bucket.firstSequence).timeMs >= fromMs) {
      kept.push_back(bucket);
      continue;
    }
    // Some of its samples are gone: gather what is left of it again. The samples of a bucket
    // are consecutive, so nothing else lies between its first and its last.
    Bucket rest{bucket.segment, bucket.index, 0, 0, {}};
    bool any = false;
    for (uint64_t sequence = std::max(bucket.firstSequence, first); sequence <= bucket.lastSequence;
         ++sequence) {
      const TrendSample& sample = buffer_.At(sequence);
      if (sample.timeMs < fromMs) continue;
      if (!any) rest.firstSequence = sequence;
      any = true;
      Merge(rest, sample, sequence);
    }
    if (any) kept.push_back(rest);
  }
  buckets_.swap(kept);
}

void TrendPlot::Gather(uint64_t from, uint64_t end, int64_t fromMs) {
  for (uint64_t sequence = from; sequence < end; ++sequence) {
    const TrendSample& sample = buffer_.At(sequence);
    if (sample.timeMs < fromMs) continue;
    const int64_t index = FloorDiv(sample.timeMs, bucketMs_);
    if (buckets_.empty() || buckets_.back().segment != sample.segment ||
        buckets_.back().index != index) {
      buckets_.push_back(Bucket{sample.segment, index, sequence, sequence, {}});
    }
    Merge(buckets_.back(), sample, sequence);
  }
}

void TrendPlot::Merge(Bucket& bucket, const TrendSample& sample, uint64_t sequence) {
  bucket.lastSequence = sequence;
  for (int c = 0; c < kTrendChannelCount; ++c) {
    const double value = sample.values[c];
    // A value the sensor could not measure has no place on an axis.
    if (!std::isfinite(value)) continue;
    const PlotPoint point{static_cast<double>(sample.timeMs), value};
    Extremes& e = bucket.channels[c];
    if (e.count == 0) {
      e.low = point;
      e.high = point;
    } else if (value < e.low.value) {
      e.low = point;
    } else if (value > e.high.value) {
      e.high = point;
    }
    ++e.count;
  }
}

void TrendPlot::BuildLines() {
  const TrendChannels& channels = buffer_.channels();
  for (int c = 0; c < kTrendChannelCount; ++c) {
    std::vector<PlotLine>& lines = lines_[c];
    lines.clear();
    if (!channels.Shows(c)) continue;
    for (const Bucket& bucket : buckets_) {
      const Extremes& e = bucket.channels[c];
      if (e.count == 0) continue;
      if (lines.empty() || lines.back().segment != bucket.segment) {
        lines.push_back(PlotLine{bucket.segment, {}});
      }
      Polyline& points = lines.back().points;
      if (e.low == e.high) {
        points.push_back(e.low);
      } else if (e.low.timeMs <= e.high.timeMs) {
        points.push_back(e.low);
        points.push_back(e.high);
      } else {
        points.push_back(e.high);
        points.push_back(e.low);
      }
    }
  }
}

ValueRange TrendPlot::valueRange(int channel) const {
  ValueRange range;
  for (const PlotLine& line : lines_[channel]) {
    for (const PlotPoint& p : line.points) {
      if (!range.valid) {
        range = {p.value, p.value, true};
      } else {
        range.min = std::min(range.min, p.value);
        range.max = std::max(range.max, p.value);
      }
    }
  }
  if (!range.valid) return range;
  const double height = range.max - range.min;
  const double margin = height > 0 ? height * kValueMargin
                                   : std::max(std::abs(range.max) * kFlatMargin, kMinValueMargin);
  range.min -= margin;
  range.max += margin;
  return range;
}

AxisScale NiceScale(const ValueRange& range, int targetTicks) {
  AxisScale scale;
  if (!range.valid || !(range.max > range.min) || targetTicks < 2) return scale;
  const double rawStep = (range.max - range.min) / (targetTicks - 1);
  const double magnitude = std::pow(10.0, std::floor(std::log10(rawStep)));
  double step = magnitude * kNiceSteps.back();
  for (double nice : kNiceSteps) {
    if (magnitude * nice >= rawStep) {
      step = magnitude * nice;
      break;
    }
  }
  scale.min = std::floor(range.min / step) * step;
  scale.max = std::ceil(range.max / step) * step;
  scale.ticks = static_cast<int>(std::lround((scale.max - scale.min) / step)) + 1;
  // The fewest places that show every tick exactly: 0.25 needs two, 0.5 one, 5 none.
  double scaled = step;
  while (scale.decimals < kMaxPlaces &&
         std::abs(scaled - std::round(scaled)) > kPlacesTolerance * scaled) {
    scaled *= 10;
    ++scale.decimals;
  }
  return scale;
}

}  // namespace korvin
