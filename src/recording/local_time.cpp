#include "recording/local_time.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>

namespace korvin {

namespace {

constexpr int kTmYearBase = 1900;
constexpr const char* kDateFormat = "%2.2d.%2.2d.%2.2d";
constexpr const char* kTimeFormat = "%2.2d:%2.2d:%2.2d";
constexpr const char* kIsoFormat = "%04d-%02d-%02dT%02d:%02d:%02d%c%02d:%02d";
constexpr int kSecondsPerMinute = 60;
constexpr int kMinutesPerHour = 60;
// Room for three fields of up to 11 characters each, the separators and the terminator.
constexpr size_t kFormattedSize = 40;
// The same for the nine fields of the ISO form.
constexpr size_t kIsoFormattedSize = 112;

std::string Format3(const char* format, int a, int b, int c) {
  char text[kFormattedSize];
  std::snprintf(text, sizeof text, format, a, b, c);
  return text;
}

}  // namespace

LocalDateTime CurrentLocalTime() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
#ifdef _WIN32
  localtime_s(&local, &now);
  // The local calendar time read as if it were UTC, less the real instant.
  std::tm asUtc = local;
  const int offset = static_cast<int>(_mkgmtime(&asUtc) - now);
#else
  localtime_r(&now, &local);
  const int offset = static_cast<int>(local.tm_gmtoff);
#endif
  return {local.tm_year + kTmYearBase,
          local.tm_mon + 1,
          local.tm_mday,
          local.tm_hour,
          local.tm_min,
          local.tm_sec,
          offset};
}

std::string FormatSheetDate(const LocalDateTime& time) {
  return Format3(kDateFormat, time.day, time.month, time.year);
}

std::string FormatSheetTime(const LocalDateTime& time) {
  return Format3(kTimeFormat, time.hour, time.minute, time.second);
}

std::string FormatIsoLocalTime(const LocalDateTime& time) {
  // The offset has whole minutes wherever clocks are set today; seconds beyond are dropped.
  const int minutes = std::abs(time.utcOffsetSeconds) / kSecondsPerMinute;
  char text[kIsoFormattedSize];
  std::snprintf(text, sizeof text, kIsoFormat, time.year, time.month, time.day, time.hour,
                time.minute, time.second, time.utcOffsetSeconds < 0 ? '-' : '+',
                minutes / kMinutesPerHour, minutes % kMinutesPerHour);
  return text;
}

}  // namespace korvin
