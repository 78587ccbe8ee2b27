#include "tasks/main_tasks.h"

#include "calibration/c_cali_select.h"
#include "config/c_communication_select.h"
#include "config/c_setting.h"

namespace korvin {

std::unique_ptr<TaskDialog> MakeMainTaskDialog(MainTask task, TaskEnvironment& environment) {
  switch (task) {
    case MainTask::kSensorSettings:
      return std::make_unique<CSetting>(environment);
    case MainTask::kCalibration:
      return std::make_unique<CCaliSelect>(environment);
    case MainTask::kCommunication:
      return std::make_unique<CCommunicationSelect>(environment);
    case MainTask::kSensorInfo:
    case MainTask::kCalibrationData:
      break;
  }
  return nullptr;
}

}  // namespace korvin
