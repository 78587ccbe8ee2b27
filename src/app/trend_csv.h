#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

#include "app/trend_buffer.h"

namespace korvin {

// The local time of a wall-clock instant in ISO 8601 with milliseconds and the offset from UTC
// in force then, e.g. "2024-05-06T07:08:09.123+02:00": unambiguous across a change to or from
// summer time, and read by spreadsheets and scripts alike.
std::string FormatIsoLocalTime(int64_t epochMs);

// The trend's samples as CSV, in UTF-8 with "," between fields and "." as decimal separator:
// a header row naming each column with its unit ("Time,Dew point [℃ Td],..."), then one row
// per sample, oldest first, each value with the decimal places the main window showed. The
// pressure column is there only when the sensor has a pressure sensor.
std::string TrendCsv(const TrendBuffer& buffer);

// Writes TrendCsv() to `file`. The text goes to a file beside it first and replaces `file` only
// when written completely, so a failed save leaves an existing file as it was.
bool WriteTrendCsv(const TrendBuffer& buffer, const std::filesystem::path& file);

}  // namespace korvin
