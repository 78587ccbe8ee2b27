#include "app/trend_buffer.h"

#include <algorithm>

namespace korvin {

TrendBuffer::TrendBuffer(size_t capacity) : capacity_(std::max<size_t>(capacity, 1)) {}

void TrendBuffer::Clear() {
  // The memory stays: the next connection fills it again.
  ring_.clear();
  first_ = 0;
  end_ = 0;
  ++generation_;
  segmentPending_ = true;
}

void TrendBuffer::BeginSegment(const TrendChannels& channels) {
  if (channels != channels_) {
    if (!empty()) Clear();
    channels_ = channels;
  }
  segmentPending_ = true;
}

void TrendBuffer::Append(int64_t timeMs, const std::array<float, kTrendChannelCount>& values,
                         const std::array<uint8_t, kTrendChannelCount>& decimals) {
  // A line drawn back in time would cross the one before it.
  const bool starts = segmentPending_ || empty() || timeMs < Newest().timeMs;
  const TrendSample sample{timeMs, values, decimals, starts ? end_ : Newest().segment};
  segmentPending_ = false;
  if (ring_.size() < capacity_) {
    // Until the buffer is full, sequence n lies at index n: push_back keeps At() valid.
    ring_.push_back(sample);
  } else {
    ring_[end_ % capacity_] = sample;
    ++first_;
  }
  ++end_;
}

}  // namespace korvin
