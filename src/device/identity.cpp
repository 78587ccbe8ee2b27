#include "device/identity.h"

#include <algorithm>

#include "tables/number_format.h"
#include "tables/units.h"
#include "device/automation_date.h"
#include "device/device_types.h"

namespace korvin {

namespace {

constexpr int kFirmwareDecimals = 1;
constexpr int kHardwareDecimals = 2;
constexpr int kNumberDigits = 8;     // serial and item numbers, "%8.8d"
constexpr int kDateNumberWidth = 8;  // "%8d"
constexpr int kYearDigits = 4;
constexpr int kMonthDayDigits = 2;
constexpr char kDateSeparator = '.';
constexpr std::string_view kItemPrefixA = "A";
constexpr char kItemLeadingZeroReplacement = 'S';
constexpr std::size_t kItemGroupLength = 4;

}  // namespace

std::string FormatFirmwareVersion(float version) {
  return FormatFixed(version, kFirmwareDecimals);
}

std::string FormatHardwareVersion(float version) {
  return FormatFixed(version, kHardwareDecimals);
}

std::string FormatCalibrationDate(double automationDate) {
  const std::optional<CalendarDate> date = AutomationDateToCalendar(automationDate);
  if (!date) return {};
  return FormatInteger(date->month, kMonthDayDigits) + kDateSeparator +
         FormatInteger(date->day, kMonthDayDigits) + kDateSeparator +
         FormatInteger(date->year, kYearDigits);
}

std::string FormatCalibrationDateNumber(uint32_t number) {
  // YYYYMMDD -> "MMDD.YYYY" -> "MM.DD.YYYY". The padded text has at least eight characters, so
  // every cut below stays inside it.
  const std::string digits = FormatInteger(number, 1, kDateNumberWidth);
  const std::string swapped =
      digits.substr(digits.size() - kYearDigits) + kDateSeparator + digits.substr(0, kYearDigits);
  return swapped.substr(0, kMonthDayDigits) + kDateSeparator +
         swapped.substr(swapped.size() - (kMonthDayDigits + 1 + kYearDigits));
}

std::string FormatCalibrationDateOf(const DeviceRecord& record) {
  if (UsesCalibrationDateNumber(record.deviceType)) {
    return FormatCalibrationDateNumber(record.calibrationDateNumber);
  }
  return FormatCalibrationDate(record.calibrationDate);
}

std::string FormatSerialNumber(uint32_t serialNumber) {
  return FormatInteger(serialNumber, kNumberDigits);
}

std::string FormatItemNumber(uint32_t itemNumber, uint16_t deviceType) {
  std::string text = FormatInteger(itemNumber, kNumberDigits);
  if (ShowsItemNumberWithPrefixA(deviceType)) return std::string(kItemPrefixA) + text;
  if (text.front() == '0') text.front() = kItemLeadingZeroReplacement;
  text.insert(std::min(kItemGroupLength, text.size()), 1, ' ');
  return text;
}

IdentityTexts FormatIdentity(const DeviceRecord& record) {
  IdentityTexts texts;
  texts.firmware = FormatFirmwareVersion(record.firmwareVersion);
  texts.hardware = FormatHardwareVersion(record.hardwareVersion);
  texts.calibrationDate = FormatCalibrationDateOf(record);
  texts.serial = FormatSerialNumber(record.serialNumber);
  texts.item = FormatItemNumber(record.itemNumber, record.deviceType);

  const std::optional<std::string_view> altLabel = ShortUnitLabel(record.altDewPointUnit);
  if (altLabel) texts.altDewPointLabel = std::string(*altLabel);
  if (record.HasAnalogueOutput()) {
    texts.at4mA = FormatDecimal(record.valueAt4mA, kAnalogueScalingDecimals);
    texts.at20mA = FormatDecimal(record.valueAt20mA, kAnalogueScalingDecimals);
    if (altLabel) texts.analogueUnit = std::string(*altLabel);
  } else {
    texts.analogueUnit = std::string();
  }

  texts.picture = DevicePicture(record.deviceType);
  texts.temperatureLabel = TemperatureLabel(record.fahrenheit);
  texts.dewPointLabel = DewPointLabel(record.fahrenheit);

  if (record.HasPressureSensor()) {
    const std::optional<std::string_view> pressure = PressureUnitLabel(record.pressureUnit);
    texts.invalidPressureUnit = !pressure.has_value();
    texts.pressureLabel = std::string(pressure.value_or(UnitText(kUnitBarg)));
  }
  return texts;
}

}  // namespace korvin
