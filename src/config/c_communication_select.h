#pragma once

#include "forms/task_dialog.h"
#include "forms/task_environment.h"

namespace korvin {

// "Select communication type": the fieldbus chooser of the main window's "Communication"
// button. It enables the settings of the sensor's fieldbus and opens the Modbus settings above
// itself; it stays open until "Exit".
class CCommunicationSelect final : public TaskDialog {
 public:
  enum Control : size_t { kModbusSetting, kMBusSetting, kExit, kControlCount };

  static constexpr char kTitle[] = "Select communication type";

  static const DialogScreen& Screen();

  explicit CCommunicationSelect(TaskEnvironment& environment);

  void Open() override;
  void Press(size_t control) override;

 private:
  TaskEnvironment& env_;
};

}  // namespace korvin
