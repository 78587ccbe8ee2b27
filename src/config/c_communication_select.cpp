#include "config/c_communication_select.h"

#include "config/c_modbus_setting.h"

namespace korvin {

const DialogScreen& CCommunicationSelect::Screen() {
  static const DialogScreen screen = [] {
    using K = ControlKind;
    using namespace control;
    DialogScreen s(kTitle);
    s.Group({"fieldbus", "", 0, 0});
    s.Group({"buttons", "", 1, 0});
    s.Add(kModbusSetting, {.label = "Modbus setting",
                           .kind = K::kButton,
                           .group = "fieldbus",
                           .flags = kDisabled,
                           .row = 0,
                           .column = 0});
    s.Add(kMBusSetting, {.label = "MBus setting",
                         .kind = K::kButton,
                         .group = "fieldbus",
                         .flags = kDisabled,
                         .row = 0,
                         .column = 1});
    s.Add(kExit, {.label = "Exit", .kind = K::kButton, .group = "buttons", .flags = kCancel});
    return s;
  }();
  return screen;
}

CCommunicationSelect::CCommunicationSelect(TaskEnvironment& environment)
    : TaskDialog(Screen()), env_(environment) {}

void CCommunicationSelect::Open() {
  const uint8_t interfaces = env_.record.interfaces;
  // A sensor with both flags gets only the Modbus settings.
  if ((interfaces & kInterfaceModbus) != 0) {
    form().Enable(kModbusSetting);
  } else if ((interfaces & kInterfaceMBus) != 0) {
    form().Enable(kMBusSetting);
  }
}

void CCommunicationSelect::Press(size_t control) {
  if (control == kModbusSetting) {
    CModbusSetting modbus(env_);
    host().RunChild(modbus);
  } else if (control == kExit) {
    End(DialogEnd::kClosed);
  }
  // "MBus setting" has no settings dialog behind it: no sensor type carries the M-Bus flag
  // alone, so the button never becomes usable.
}

}  // namespace korvin
