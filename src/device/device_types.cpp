#include "device/device_types.h"

namespace korvin {

std::optional<int> DevicePicture(uint16_t code) {
  const int picture = LookupDeviceType(code).picture;
  if (picture == kPictureKeep) return std::nullopt;
  return picture;
}

std::optional<std::string_view> FirmwareSearchKey(uint16_t code) {
  const std::string_view key = LookupDeviceType(code).firmwareKey;
  if (key.empty()) return std::nullopt;
  return key;
}

bool SkipsSensorOptions(uint16_t code) {
  return code == kDeviceType1035 || code == kDeviceType1037 || code == kDeviceType1400;
}

bool UsesCalibrationDateNumber(uint16_t code) {
  return code == kDeviceType1400;
}

bool ShowsItemNumberWithPrefixA(uint16_t code) {
  return code == kDeviceType1083 || code == kDeviceType1085;
}

void ApplyDeviceType(DeviceRecord& record) {
  const DeviceTypeInfo& info = LookupDeviceType(record.deviceType);
  record.elementSet = info.elementSet;
  record.interfaces = info.interfaces;
}

}  // namespace korvin
