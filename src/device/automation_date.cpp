#include "device/automation_date.h"

#include <chrono>
#include <cmath>

namespace korvin {

namespace {

using std::chrono::day;
using std::chrono::days;
using std::chrono::month;
using std::chrono::sys_days;
using std::chrono::year;
using std::chrono::year_month_day;

constexpr sys_days kEpoch = sys_days{year{1899} / 12 / 30};
constexpr double kSecondsPerDay = 86400.0;
constexpr double kHalfSecond = 0.5 / kSecondsPerDay;
// 1 January 100 and 31 December 9999 as automation dates.
constexpr double kFirstDate = -657434.0;
constexpr double kLastDate = 2958465.0;

}  // namespace

std::optional<CalendarDate> AutomationDateToCalendar(double automationDate) {
  if (!std::isfinite(automationDate)) return std::nullopt;
  const double rounded = automationDate + (automationDate >= 0.0 ? kHalfSecond : -kHalfSecond);
  // The whole-day part counts towards zero; the fraction only sets the time of day.
  const double wholeDays = std::trunc(rounded);
  if (wholeDays < kFirstDate || wholeDays >= kLastDate + 1.0) return std::nullopt;
  const year_month_day date{kEpoch + days{static_cast<int>(wholeDays)}};
  return CalendarDate{static_cast<int>(date.year()), static_cast<int>(unsigned{date.month()}),
                      static_cast<int>(unsigned{date.day()})};
}

double CalendarToAutomationDate(const CalendarDate& date) {
  const sys_days when{year{date.year} / month{static_cast<unsigned>(date.month)} /
                      day{static_cast<unsigned>(date.day)}};
  return static_cast<double>((when - kEpoch).count());
}

}  // namespace korvin
