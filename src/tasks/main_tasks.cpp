#include "tasks/main_tasks.h"

#include "config/c_service_info.h"
#include "config/c_setting.h"

namespace korvin {

std::unique_ptr<TaskDialog> MakeMainTaskDialog(MainTask task, TaskEnvironment& environment) {
  switch (task) {
    case MainTask::kSensorSettings:
      return std::make_unique<CSetting>(environment);
    case MainTask::kSensorInfo:
      return std::make_unique<CServiceInfo>(environment);
    case MainTask::kCalibration:
    case MainTask::kCommunication:
    case MainTask::kCalibrationData:
      break;
  }
  return nullptr;
}

}  // namespace korvin
