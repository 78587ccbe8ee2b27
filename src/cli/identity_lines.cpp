#include "cli/identity_lines.h"

#include "device/identity.h"
#include "device/online_poller.h"

namespace korvin {

std::vector<std::string> IdentityLines(const DeviceRecord& record) {
  const IdentityTexts t = FormatIdentity(record);
  std::string interfaces;
  for (const InterfaceCaption& c : kInterfaceCaptions) {
    if ((record.interfaces & c.flag) == 0) continue;
    if (!interfaces.empty()) interfaces += ", ";
    interfaces += c.caption;
  }
  std::vector<std::string> lines = {
      "Device name: " + record.deviceName,
      "FW version: " + t.firmware,
      "HW version: " + t.hardware,
      "Serial no.: " + t.serial,
      "Item no.: " + t.item,
      "Calibration date: " + t.calibrationDate,
      "Unit: " + t.analogueUnit.value_or(""),
      "4 mA: " + t.at4mA,
      "20 mA: " + t.at20mA,
      "Interfaces: " + interfaces,
      "Link profile: " + std::to_string(record.linkProfile),
  };
  // Nothing has been shown before in a terminal, so a kept text is an empty one.
  for (std::string& l : lines) {
    if (!l.empty() && l.back() == ' ') l.pop_back();
  }
  return lines;
}

IdentityLabels UnitLabelsOf(const DeviceRecord& record) {
  const IdentityTexts t = FormatIdentity(record);
  IdentityLabels labels;
  labels.units[kRowDewPoint] = t.dewPointLabel;
  labels.units[kRowAltDewPoint] = t.altDewPointLabel.value_or("");
  labels.units[kRowTemperature] = t.temperatureLabel;
  labels.units[kRowPressure] = t.pressureLabel.value_or("");
  return labels;
}

}  // namespace korvin
