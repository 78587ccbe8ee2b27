#include "tasks/main_tasks.h"

#include "calibration/c_cali_select.h"
#include "calibration/c_calibration_data.h"
#include "config/c_communication_select.h"
#include "config/c_service_info.h"
#include "config/c_setting.h"
#include "reports/c_certificate.h"

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
      return std::make_unique<CServiceInfo>(environment);
    case MainTask::kCalibrationData:
      return std::make_unique<CCalibrationData>(
          environment, [](TaskEnvironment& env, const CertificateInput& input) {
            return std::unique_ptr<TaskDialog>(std::make_unique<CCertificate>(env, input));
          });
  }
  return nullptr;
}

}  // namespace korvin
