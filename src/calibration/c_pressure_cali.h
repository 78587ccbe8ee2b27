#pragma once

#include "calibration/live_refresh.h"
#include "forms/task_dialog.h"
#include "forms/task_environment.h"

namespace korvin {

// "Pressure calibration": starts the sensor's own zero point calibration (at 0 bar) and its span
// calibration at a reference of 6 ... 12 barg, and shows the measured pressure every second on
// timer 22. The timer stands still while a calibration step runs.
class CPressureCali final : public TaskDialog {
 public:
  enum Control : size_t { kReference, kMeasured, kZero, kSpan, kSpanNote, kExit, kControlCount };

  static constexpr int kRefreshTimer = 22;
  static constexpr float kMinSpanBarg = 6.0f;
  static constexpr float kMaxSpanBarg = 12.0f;
  static constexpr char kTitle[] = "Pressure calibration";

  static const DialogScreen& Screen();

  explicit CPressureCali(TaskEnvironment& environment);

  void Open() override;
  void Press(size_t control) override;
  void OnTimer(int timerId) override;
  void CloseBox() override;

  int refreshFailures() const { return refresh_.failures(); }
  bool refreshBusy() const { return refresh_.busy(); }

 private:
  void ZeroPoint();
  void SpanPoint();
  // Runs one calibration command with the refresh held and its timer stopped; a failure closes
  // the dialog, a success shows `done` and starts the refresh again.
  void Calibrate(const RequestBuilder& request, const char* done);
  void Exit();

  TaskEnvironment& env_;
  LiveRefresh refresh_;
};

}  // namespace korvin
