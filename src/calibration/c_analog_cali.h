#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "forms/task_dialog.h"
#include "forms/task_environment.h"

namespace korvin {

// "Analogue output calibration & test": a two-point calibration of the 4...20 mA output against
// a current meter (the output is driven to two fixed DAC values in turn, the technician types
// the currents the meter shows, and both pairs go into the sensor's analogue calibration
// record), and a test that drives the output to a typed current. Every step is told in the
// message log.
class CAnalogCali final : public TaskDialog {
 public:
  enum Control : size_t {
    kMessageHeading,
    kLog,
    kWaiting,
    kCalibration,
    kTest,
    kExit,
    kControlCount
  };

  static constexpr char kTitle[] = "Analogue output calibration & test";
  static constexpr size_t kRecordSize = 37;
  // The output settles this long after a new DAC value before the meter is read, and the
  // question follows this long after its line in the log.
  static constexpr int kSettleMs = 7000;
  static constexpr int kPromptMs = 1000;
  static constexpr float kMinCurrentSpanMa = 10.0f;

  struct DacPoints {
    float point1;
    float point2;
  };
  // The two DAC values of a device type; nothing for a type that cannot be calibrated.
  static std::optional<DacPoints> DacPointsFor(uint16_t deviceType);

  static const DialogScreen& Screen();

  explicit CAnalogCali(TaskEnvironment& environment);

  void Open() override;
  void Press(size_t control) override;
  // Ignored while a procedure runs (Exit is disabled then, too).
  void CloseBox() override;

  const std::string& log() const { return form().Text(kLog); }

 private:
  void Calibration();
  bool CalibrationSteps();
  void Test();
  void Append(std::string_view text);
  void ClearLog();
  // Waits `ms` on the link's clock with the window painted and the remaining time shown.
  void Wait(int ms);
  bool Run(const RequestBuilder& request, void* destination = nullptr, uint8_t copyLimit = 0);
  void EnableButtons(bool calibration, bool test, bool exit);
  // A run whose log ends in an error line counts as a failure.
  void CountIfFailed();

  TaskEnvironment& env_;
  std::array<uint8_t, kRecordSize> record_{};
  bool running_ = false;
};

}  // namespace korvin
