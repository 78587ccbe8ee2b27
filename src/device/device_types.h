#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

#include "device/device_record.h"

namespace korvin {

// Device type codes from ReadDeviceType that need a rule of their own.
inline constexpr uint16_t kDeviceType1035 = 0x1035;
inline constexpr uint16_t kDeviceType1037 = 0x1037;
inline constexpr uint16_t kDeviceType1038 = 0x1038;
inline constexpr uint16_t kDeviceType1083 = 0x1083;
inline constexpr uint16_t kDeviceType1085 = 0x1085;
inline constexpr uint16_t kDeviceType1400 = 0x1400;

// Element sets.
inline constexpr int kElementNone = -1;
inline constexpr int kElementPolymer = 0;  // K5
inline constexpr int kElementQcm = 1;
inline constexpr int kElementBoth = 2;

// Whether an element set has the polymer (K5) element, the QCM element.
constexpr bool HasPolymerElement(int elementSet) {
  return elementSet == kElementPolymer || elementSet == kElementBoth;
}
constexpr bool HasQcmElement(int elementSet) {
  return elementSet == kElementQcm || elementSet == kElementBoth;
}

// Pictures of the main window's picture frame.
inline constexpr int kPictureKeep = 0;  // the device type has no picture: leave the frame alone
inline constexpr int kPictureD720 = 177;
inline constexpr int kPictureD810 = 178;
inline constexpr int kPictureD830 = 179;
inline constexpr int kPictureD850 = 180;
inline constexpr int kPictureNoSensor = 182;

// What follows from a device type code.
struct DeviceTypeInfo {
  uint16_t code;
  int elementSet;
  uint8_t interfaces;
  int picture;                   // kPictureKeep when the type has none
  std::string_view firmwareKey;  // empty when the type has none (the previous key stays)
};

inline constexpr std::string_view kFirmwareKeyD810 = "ROVA_FIRMWARE/D810 relaunch/FW_D810_";
inline constexpr std::string_view kFirmwareKeyD720IoLink = "ROVA_FIRMWARE/D 720/FW_D720-IOLINK_";
inline constexpr std::string_view kFirmwareKeyD830 = "ROVA_FIRMWARE/D 830/FW_D830_";
inline constexpr std::string_view kFirmwareKeyD850 = "ROVA_FIRMWARE/D850 sensor/FW_D850_";
inline constexpr std::string_view kFirmwareKeyD720M = "ROVA_FIRMWARE/D 720/FW_D720-M_";

inline constexpr uint8_t kSdiAnalogue = kInterfaceSdi | kInterfaceAnalogue;
inline constexpr uint8_t kModbusAnalogue = kInterfaceModbus | kInterfaceAnalogue;

// Every device type the tool knows. No row sets the M-Bus flag.
inline constexpr std::array<DeviceTypeInfo, 14> kDeviceTypes = {{
    {0x1024, kElementPolymer, kSdiAnalogue, kPictureD810, kFirmwareKeyD810},
    {0x1028, kElementPolymer, kSdiAnalogue, kPictureD810, kFirmwareKeyD810},
    {0x1030, kElementBoth, kModbusAnalogue, kPictureD810, kFirmwareKeyD810},
    {0x1032, kElementBoth, kSdiAnalogue, kPictureD810, kFirmwareKeyD810},
    {0x1033, kElementBoth, kSdiAnalogue, kPictureD810, kFirmwareKeyD810},
    {0x1034, kElementPolymer, kSdiAnalogue, kPictureD720, kFirmwareKeyD720IoLink},
    {kDeviceType1035, kElementPolymer, kModbusAnalogue, kPictureD830, kFirmwareKeyD830},
    {kDeviceType1037, kElementBoth, kModbusAnalogue, kPictureD830, kFirmwareKeyD830},
    {kDeviceType1038, kElementPolymer, kInterfaceIoLink, kPictureD720, kFirmwareKeyD720IoLink},
    {0x103A, kElementPolymer, kModbusAnalogue, kPictureD810, kFirmwareKeyD810},
    {0x103B, kElementPolymer, kSdiAnalogue, kPictureD720, kFirmwareKeyD720IoLink},
    {kDeviceType1083, kElementBoth, kInterfaceModbus, kPictureD850, kFirmwareKeyD850},
    {kDeviceType1085, kElementPolymer, kInterfaceModbus, kPictureD850, kFirmwareKeyD850},
    {kDeviceType1400, kElementPolymer, kInterfaceModbus, kPictureD720, kFirmwareKeyD720M},
}};

// An unknown device type is still accepted: as a QCM sensor without interfaces.
inline constexpr DeviceTypeInfo kUnknownDeviceType = {0, kElementQcm, 0, kPictureKeep, {}};

// The row of a device type code, or kUnknownDeviceType (whose code is 0, not the one asked for).
constexpr const DeviceTypeInfo& LookupDeviceType(uint16_t code) {
  for (const DeviceTypeInfo& info : kDeviceTypes) {
    if (info.code == code) return info;
  }
  return kUnknownDeviceType;
}

// The picture to show for a device type; nothing when the frame keeps its picture.
std::optional<int> DevicePicture(uint16_t code);

// The firmware search key of the download page; nothing when the previous key should stay.
std::optional<std::string_view> FirmwareSearchKey(uint16_t code);

// These types are not asked ReadSensorOptions, so they have no pressure sensor and no pressure
// unit as far as the tool knows.
bool SkipsSensorOptions(uint16_t code);

// This type keeps its calibration date as a number YYYYMMDD (ReadCalibrationDateNumber) instead
// of an automation date (ReadCalibrationDate).
bool UsesCalibrationDateNumber(uint16_t code);

// These types show their item number as "A" and the eight digits.
bool ShowsItemNumberWithPrefixA(uint16_t code);

// Element set and interface flags of the record, from its device type code.
void ApplyDeviceType(DeviceRecord& record);

}  // namespace korvin
