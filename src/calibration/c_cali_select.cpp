#include "calibration/c_cali_select.h"

#include "calibration/c_analog_cali.h"
#include "calibration/c_manual_calibration.h"
#include "calibration/c_pressure_cali.h"

namespace korvin {

const DialogScreen& CCaliSelect::Screen() {
  static const DialogScreen screen = [] {
    using K = ControlKind;
    using namespace control;
    DialogScreen s(kTitle);
    s.Group({"buttons", ""});
    s.Add(kDewPoint, {.label = "Dew point calibration", .kind = K::kButton, .group = "buttons"});
    s.Add(kPressure, {.label = "Pressure calibration",
                      .kind = K::kButton,
                      .group = "buttons",
                      .flags = kDisabled});
    s.Add(kAnalogue, {.label = "Analogue calibration",
                      .kind = K::kButton,
                      .group = "buttons",
                      .flags = kDisabled});
    s.Add(kExit, {.label = "Exit", .kind = K::kButton, .group = "buttons", .flags = kCancel});
    return s;
  }();
  return screen;
}

CCaliSelect::CCaliSelect(TaskEnvironment& environment) : TaskDialog(Screen()), env_(environment) {}

void CCaliSelect::Open() {
  form().Enable(kPressure, env_.record.HasPressureSensor());
  form().Enable(kAnalogue, env_.record.HasAnalogueOutput());
}

void CCaliSelect::Press(size_t control) {
  switch (control) {
    case kDewPoint: {
      CManualCalibration dialog(env_);
      host().RunChild(dialog);
      break;
    }
    case kPressure: {
      CPressureCali dialog(env_);
      host().RunChild(dialog);
      break;
    }
    case kAnalogue: {
      CAnalogCali dialog(env_);
      host().RunChild(dialog);
      break;
    }
    case kExit:
      End(DialogEnd::kClosed);
      break;
    default:
      break;
  }
}

}  // namespace korvin
