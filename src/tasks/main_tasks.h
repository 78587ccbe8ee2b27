#pragma once

#include <memory>

#include "forms/task_dialog.h"
#include "forms/task_environment.h"

namespace korvin {

// The task buttons of the main window that open a dialog.
enum class MainTask {
  kCalibration,      // "Calibration": the calibration menu
  kSensorSettings,   // "Sensor settings"
  kCommunication,    // "Communication": the fieldbus chooser
  kSensorInfo,       // "Sensor Info."
  kCalibrationData,  // "Calibration data" (factory mode)
};

// The dialog a task button opens, given what the main window hands over; nothing for a task
// without a dialog. The main window's view and korvin-cli both open their dialogs here.
std::unique_ptr<TaskDialog> MakeMainTaskDialog(MainTask task, TaskEnvironment& environment);

}  // namespace korvin
