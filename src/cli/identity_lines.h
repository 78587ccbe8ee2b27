#pragma once

#include <array>
#include <string>
#include <vector>

#include "device/device_record.h"

namespace korvin {

// The identity as the main window shows it, one "label value" line each.
std::vector<std::string> IdentityLines(const DeviceRecord& record);

// Unit labels of the four online value rows (dew point, alternative, temperature, pressure).
struct IdentityLabels {
  std::array<std::string, 4> units;
};
IdentityLabels UnitLabelsOf(const DeviceRecord& record);

}  // namespace korvin
