#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace korvin {

// How the certificate shows what it read: the calibration date, the serial number, the
// analogue output's unit and quantity, the Modbus settings and the evaluation of a result.

// "%02d %s %04d" with the English three-letter month: "05 Mar 2024". Months 1 ... 11 have
// their names; every other month value shows "Dec".
std::string CertificateDate(int year, int month, int day);
// The date of a calibration date number YYYYMMDD (decimal digits, integer arithmetic).
std::string CertificateDateOfNumber(uint32_t yyyymmdd);
// The date of an automation date (days since 30 December 1899); empty for a value that is no
// date (NaN, infinite, or outside the years 100 ... 9999).
std::string CertificateDateOfAutomationDate(double automationDate);

// The serial number in two groups: its first four characters, a blank, the rest; 00012345
// becomes 0001 2345. Texts of four characters or fewer stay as they are.
std::string GroupedSerialNumber(std::string_view serial);

// The analogue output's unit text and the name of the quantity it puts out, by the alternative
// dew point unit code.
struct AnalogueOutputTexts {
  std::string_view unit;
  std::string_view output;
};
AnalogueOutputTexts AnalogueOutputOf(uint8_t unitCode);

// Modbus settings indexes by name; nothing for an index without one.
std::optional<std::string_view> ModbusBaudRateName(uint16_t index);
std::optional<std::string_view> ModbusFramingName(uint16_t index);

// The leading number of a text (blanks, a sign, digits, decimal point, exponent), or nothing
// when it does not start with one. A leading "±" counts as a sign.
std::optional<double> LeadingNumber(std::string_view text);

inline constexpr char kPassed[] = "Passed";
inline constexpr char kFailed[] = "Failed";
inline constexpr char kNotAvailable[] = "N/A";

// The evaluation of one result row: "Passed" when |actual - nominal| is within the permissible
// uncertainty (the leading number of its text), "Failed" when it is not. A row without all
// three numbers keeps `unevaluated`, the text it shows without an evaluation.
std::string EvaluateResult(std::string_view nominal, std::string_view actual,
                           std::string_view permissible, std::string_view unevaluated);

}  // namespace korvin
