#pragma once

#include "forms/task_dialog.h"
#include "forms/task_environment.h"

namespace korvin {

// "Calibration select": the entry to the calibration dialogs. It offers the pressure calibration
// only to a sensor with a pressure sensor and the analogue calibration only to one with an
// analogue output; it stays open while a calibration dialog runs and after that one closes.
class CCaliSelect final : public TaskDialog {
 public:
  enum Control : size_t { kDewPoint, kPressure, kAnalogue, kExit, kControlCount };

  static constexpr char kTitle[] = "Calibration select";

  static const DialogScreen& Screen();

  explicit CCaliSelect(TaskEnvironment& environment);

  void Open() override;
  void Press(size_t control) override;

 private:
  TaskEnvironment& env_;
};

}  // namespace korvin
