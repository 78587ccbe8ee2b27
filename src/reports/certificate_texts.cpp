#include "reports/certificate_texts.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>

#include "device/automation_date.h"
#include "tables/number_text.h"

namespace korvin {

namespace {

constexpr std::array<std::string_view, 11> kMonthNames = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                          "Jul", "Aug", "Sep", "Oct", "Nov"};
constexpr std::string_view kLastMonthName = "Dec";

constexpr uint32_t kYearDivisor = 10000;
constexpr uint32_t kMonthDivisor = 100;

constexpr size_t kSerialGroup = 4;

struct UnitRow {
  uint8_t code;
  AnalogueOutputTexts texts;
};
constexpr std::array<UnitRow, 6> kAnalogueUnits = {{
    {3, {"%RH", "Relative humidity"}},
    {4, {"C Td", "Dewpoint"}},
    {7, {"mg/m3", "Absolute humidity"}},
    {9, {"g/m3", "Absolute humidity"}},
    {8, {"g/kg", "Humidity grade"}},
    {30, {"ppm", "Humidity"}},
}};
constexpr AnalogueOutputTexts kOtherAnalogueUnit = {"C Td atm", "Atoms. dewpoint"};

constexpr std::array<std::string_view, 8> kBaudRates = {"1200",  "2400",  "4800",  "9600",
                                                        "19200", "38400", "57600", "115200"};
constexpr std::array<std::string_view, 4> kFramings = {"8,E,1", "8,O,1", "8,N,2", "8,N,1"};

constexpr std::string_view kPlusMinus = "±";
// Texts that print the same number may differ in their last binary digits.
constexpr double kEvaluationTolerance = 1e-9;

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

bool IsUtf8Continuation(char c) {
  return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

}  // namespace

std::string CertificateDate(int year, int month, int day) {
  const std::string_view name = month >= 1 && month <= static_cast<int>(kMonthNames.size())
                                    ? kMonthNames[static_cast<size_t>(month - 1)]
                                    : kLastMonthName;
  char text[32];
  std::snprintf(text, sizeof text, "%02d %.*s %04d", day, static_cast<int>(name.size()),
                name.data(), year);
  return text;
}

std::string CertificateDateOfNumber(uint32_t yyyymmdd) {
  return CertificateDate(static_cast<int>(yyyymmdd / kYearDivisor),
                         static_cast<int>(yyyymmdd / kMonthDivisor % kMonthDivisor),
                         static_cast<int>(yyyymmdd % kMonthDivisor));
}

std::string CertificateDateOfAutomationDate(double automationDate) {
  const std::optional<CalendarDate> date = AutomationDateToCalendar(automationDate);
  if (!date) return {};
  return CertificateDate(date->year, date->month, date->day);
}

std::string GroupedSerialNumber(std::string_view serial) {
  size_t characters = 0;
  for (size_t i = 0; i < serial.size(); ++i) {
    if (IsUtf8Continuation(serial[i])) continue;
    if (characters++ == kSerialGroup) {
      return std::string(serial.substr(0, i)) + " " + std::string(serial.substr(i));
    }
  }
  return std::string(serial);
}

AnalogueOutputTexts AnalogueOutputOf(uint8_t unitCode) {
  for (const UnitRow& row : kAnalogueUnits) {
    if (row.code == unitCode) return row.texts;
  }
  return kOtherAnalogueUnit;
}

std::optional<std::string_view> ModbusBaudRateName(uint16_t index) {
  if (index >= kBaudRates.size()) return std::nullopt;
  return kBaudRates[index];
}

std::optional<std::string_view> ModbusFramingName(uint16_t index) {
  if (index >= kFramings.size()) return std::nullopt;
  return kFramings[index];
}

std::optional<double> LeadingNumber(std::string_view text) {
  const size_t first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return std::nullopt;
  text.remove_prefix(first);
  if (text.substr(0, kPlusMinus.size()) == kPlusMinus) text.remove_prefix(kPlusMinus.size());
  size_t at = 0;
  if (at < text.size() && (text[at] == '+' || text[at] == '-')) ++at;
  if (at < text.size() && text[at] == '.') ++at;
  if (at >= text.size() || !IsDigit(text[at])) return std::nullopt;
  return ParseLeadingReal(text);
}

std::string EvaluateResult(std::string_view nominal, std::string_view actual,
                           std::string_view permissible, std::string_view unevaluated) {
  const std::optional<double> n = LeadingNumber(nominal);
  const std::optional<double> a = LeadingNumber(actual);
  const std::optional<double> p = LeadingNumber(permissible);
  if (!n || !a || !p) return std::string(unevaluated);
  const double deviation = std::fabs(*a - *n);
  const double limit = std::fabs(*p);
  const double slack = kEvaluationTolerance * std::max({1.0, std::fabs(*a), std::fabs(*n)});
  return deviation <= limit + slack ? kPassed : kFailed;
}

}  // namespace korvin
