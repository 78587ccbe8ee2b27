#pragma once

#include <cstdint>

namespace korvin {

// Time source for everything that waits. The program uses SteadyClock; tests use VirtualClock,
// where sleeping advances time at once, so protocol timings can be asserted exactly.
class Clock {
 public:
  virtual ~Clock() = default;
  virtual int64_t NowUs() const = 0;
  virtual void SleepUs(int64_t us) = 0;

  int64_t NowMs() const { return NowUs() / 1000; }
  void SleepMs(int64_t ms) { SleepUs(ms * 1000); }
};

class SteadyClock final : public Clock {
 public:
  int64_t NowUs() const override;
  void SleepUs(int64_t us) override;
};

class VirtualClock final : public Clock {
 public:
  int64_t NowUs() const override { return nowUs_; }
  void SleepUs(int64_t us) override {
    if (us > 0) nowUs_ += us;
  }

 private:
  int64_t nowUs_ = 0;
};

}  // namespace korvin
