#pragma once

#include <functional>
#include <string>

namespace korvin {

// A local calendar time as the recorder stamps it into the sheet.
struct LocalDateTime {
  int year = 0;  // four digits
  int month = 0;
  int day = 0;
  int hour = 0;
  int minute = 0;
  int second = 0;
  int utcOffsetSeconds = 0;  // local time minus UTC (east of Greenwich positive)
};

// The recorder asks for the time through this, so tests can run on a made-up calendar.
using LocalTimeSource = std::function<LocalDateTime()>;

LocalDateTime CurrentLocalTime();

// "dd.mm.yyyy" and "hh:mm:ss", the forms the recording sheet uses.
std::string FormatSheetDate(const LocalDateTime& time);
std::string FormatSheetTime(const LocalDateTime& time);
// ISO 8601 with the offset from UTC, as the CSV stamps its rows: "yyyy-mm-ddThh:mm:ss+hh:mm".
std::string FormatIsoLocalTime(const LocalDateTime& time);

}  // namespace korvin
