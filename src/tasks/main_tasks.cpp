#include "tasks/main_tasks.h"

#include "calibration/c_calibration_data.h"
#include "config/c_communication_select.h"
#include "config/c_service_info.h"
#include "config/c_setting.h"

namespace korvin {

std::unique_ptr<TaskDialog> MakeMainTaskDialog(MainTask task, TaskEnvironment& environment) {
  switch (task) {
    case MainTask::kSensorSettings:
      return std::make_unique<CSetting>(environment);
    case MainTask::kCommunication:
      return std::make_unique<CCommunicationSelect>(environment);
    case MainTask::kSensorInfo:
      return std::make_unique<CServiceInfo>(environment);
    case MainTask::kCalibrationData:
      return std::make_unique<CCalibrationData>(environment);
    case MainTask::kCalibration:
      break;
  }
  return nullptr;
}

}  // namespace korvin
