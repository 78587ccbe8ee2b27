#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace korvin {

// The trend's channels are the online value rows of the main window, top to bottom.
inline constexpr int kTrendChannelCount = 4;
inline constexpr int kTrendDewPoint = 0;
inline constexpr int kTrendAltValue = 1;
inline constexpr int kTrendTemperature = 2;
inline constexpr int kTrendPressure = 3;
inline constexpr std::array<std::string_view, kTrendChannelCount> kTrendChannelNames = {
    "Dew point", "Alternative value", "Temperature", "Pressure"};

// What the samples of a trend mean: the unit label of each channel as the main window shows it,
// and whether the sensor measures pressure at all.
struct TrendChannels {
  std::array<std::string, kTrendChannelCount> unitLabels;
  bool hasPressure = false;

  bool Shows(int channel) const { return channel != kTrendPressure || hasPressure; }
  bool operator==(const TrendChannels&) const = default;
};

// One successful poll.
struct TrendSample {
  // Wall clock, milliseconds since 1970-01-01 00:00 UTC.
  int64_t timeMs = 0;
  std::array<float, kTrendChannelCount> values{};
  // The sensor's decimal-places code of each value, so a saved value reads as it was shown.
  std::array<uint8_t, kTrendChannelCount> decimals{};
  // The sequence number of the first sample of its segment. A segment is drawn as one line;
  // a new one starts each time polling goes on, and when the wall clock was set back.
  uint64_t segment = 0;

  bool StartsSegment(uint64_t sequence) const { return segment == sequence; }
};

// The samples of one connection, oldest first, at most `capacity` of them: when full, each new
// sample replaces the oldest. Every sample appended since the last Clear() has a sequence
// number (0, 1, 2, ...), so a reader can tell which samples it has not seen yet and which of
// those it saw have gone. Qt-free; the main window fills it from its polls.
class TrendBuffer {
 public:
  // A day at one poll a second.
  static constexpr size_t kDefaultCapacity = 24 * 60 * 60;

  explicit TrendBuffer(size_t capacity = kDefaultCapacity);

  // Empties the buffer (a new connection); readers see a new generation().
  void Clear();
  // Polling went on: the next sample starts a segment. Samples of other channels (the sensor's
  // units were changed in between) cannot share an axis with the new ones, so they are dropped.
  void BeginSegment(const TrendChannels& channels);
  void Append(int64_t timeMs, const std::array<float, kTrendChannelCount>& values,
              const std::array<uint8_t, kTrendChannelCount>& decimals);

  size_t capacity() const { return capacity_; }
  size_t size() const { return static_cast<size_t>(end_ - first_); }
  bool empty() const { return first_ == end_; }
  // The oldest sample kept and the one after the newest.
  uint64_t firstSequence() const { return first_; }
  uint64_t endSequence() const { return end_; }
  // Only for firstSequence() <= sequence < endSequence().
  const TrendSample& At(uint64_t sequence) const { return ring_[sequence % capacity_]; }
  const TrendSample& Newest() const { return At(end_ - 1); }
  uint64_t generation() const { return generation_; }
  const TrendChannels& channels() const { return channels_; }

 private:
  size_t capacity_;
  std::vector<TrendSample> ring_;
  uint64_t first_ = 0;
  uint64_t end_ = 0;
  uint64_t generation_ = 0;
  TrendChannels channels_;
  bool segmentPending_ = true;
};

}  // namespace korvin
