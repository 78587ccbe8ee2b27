#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "device/device_record.h"

namespace korvin {

inline constexpr std::string_view kInvalidPressureUnitMessage = "Invalid pressure unit";

// The main window's identity texts, unit labels and picture for a device record. Where a rule
// says the window keeps what it showed, the field is empty (std::nullopt) and the caller leaves
// its text alone; every other field replaces the shown text.
struct IdentityTexts {
  std::string firmware;         // "FW version:"
  std::string hardware;         // "HW version:"
  std::string calibrationDate;  // "Calibration date:"
  std::string serial;           // "Serial no.:"
  std::string item;             // "Item no.:"
  std::string at4mA;            // "4 mA:"; empty without analogue output
  std::string at20mA;           // "20 mA:"; empty without analogue output
  // "Unit:" of the analogue output: empty without analogue output; kept for a unit code
  // without a short label.
  std::optional<std::string> analogueUnit;
  std::string temperatureLabel;
  std::string dewPointLabel;
  // Kept for a unit code without a short label.
  std::optional<std::string> altDewPointLabel;
  // Kept when the sensor has no pressure sensor.
  std::optional<std::string> pressureLabel;
  // The pressure unit code is none of '$', '&', '\'': the label says "barg" and the window shows
  // kInvalidPressureUnitMessage, every time the identity is shown.
  bool invalidPressureUnit = false;
  // Kept for a device type without a picture.
  std::optional<int> picture;
};

IdentityTexts FormatIdentity(const DeviceRecord& record);

// "%0.1f" / "%0.2f" of the versions.
std::string FormatFirmwareVersion(float version);
std::string FormatHardwareVersion(float version);

// "MM.DD.YYYY" of an automation date. Empty for a value that is no date (NaN, infinity, or
// outside the years 100 .. 9999): a garbled reply should not print a made-up date.
std::string FormatCalibrationDate(double automationDate);

// The date number YYYYMMDD rearranged to "MM.DD.YYYY": 20230415 shows as 04.15.2023. The digits
// are only moved, not checked, so a number of another shape shows its digits moved the same way.
std::string FormatCalibrationDateNumber(uint32_t number);

// The calibration date text for the record's device type (number or automation date).
std::string FormatCalibrationDateOf(const DeviceRecord& record);

// Eight digits, zero-padded ("%8.8d", but never negative: the sensor's number is unsigned).
std::string FormatSerialNumber(uint32_t serialNumber);

// "A" and eight digits for the types that want it; otherwise eight digits with a leading '0'
// replaced by 'S' and a space after the fourth character: 601234 shows as S060 1234.
std::string FormatItemNumber(uint32_t itemNumber, uint16_t deviceType);

}  // namespace korvin
