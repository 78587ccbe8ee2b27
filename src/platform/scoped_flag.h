#pragma once

namespace korvin {

// Sets a busy flag for a scope and restores its previous value on every way out, so a guard
// taken inside another one never clears the outer flag early.
class ScopedFlag {
 public:
  explicit ScopedFlag(bool& flag) : flag_(flag), previous_(flag) { flag_ = true; }
  ~ScopedFlag() { flag_ = previous_; }
  ScopedFlag(const ScopedFlag&) = delete;
  ScopedFlag& operator=(const ScopedFlag&) = delete;

 private:
  bool& flag_;
  bool previous_;
};

}  // namespace korvin
