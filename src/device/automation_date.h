#pragma once

#include <optional>

namespace korvin {

// A calendar date (proleptic Gregorian).
struct CalendarDate {
  int year = 0;
  int month = 0;  // 1 .. 12
  int day = 0;    // 1 .. 31

  friend bool operator==(const CalendarDate&, const CalendarDate&) = default;
};

// Automation dates count days since 30 December 1899; the fraction is the time of day, and for
// dates before the epoch the fraction still counts forward (-1.25 is 29 December 1899, 06:00).
// The date is that of the time rounded to the nearest second, so 0.999999999 is already the
// next day. Nothing for NaN, infinity or a date outside the years 100 .. 9999, which the sensor
// never stores and which no calendar text can show.
std::optional<CalendarDate> AutomationDateToCalendar(double automationDate);

// The automation date of midnight on a calendar date (the sensor simulation stores these).
double CalendarToAutomationDate(const CalendarDate& date);

}  // namespace korvin
