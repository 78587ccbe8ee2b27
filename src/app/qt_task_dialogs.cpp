#include "app/qt_task_dialogs.h"

#include "app/form_view.h"

namespace korvin {

void QtTaskDialogs::Open(MainTask task, TaskContext& context) {
  TaskEnvironment environment = EnvironmentFor(context);
  const std::unique_ptr<TaskDialog> dialog = MakeMainTaskDialog(task, environment);
  if (dialog) FormView::Run(*dialog, &pump_, parent_, uiOverride_ ? uiOverride_() : nullptr);
}

void QtTaskDialogs::OpenCalibration(TaskContext& context) {
  Open(MainTask::kCalibration, context);
}
void QtTaskDialogs::OpenSensorSettings(TaskContext& context) {
  Open(MainTask::kSensorSettings, context);
}
void QtTaskDialogs::OpenCommunication(TaskContext& context) {
  Open(MainTask::kCommunication, context);
}
void QtTaskDialogs::OpenSensorInfo(TaskContext& context) {
  Open(MainTask::kSensorInfo, context);
}
void QtTaskDialogs::OpenCalibrationData(TaskContext& context) {
  Open(MainTask::kCalibrationData, context);
}

}  // namespace korvin
