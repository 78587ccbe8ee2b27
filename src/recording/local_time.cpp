#include "recording/local_time.h"

#include <cstdio>
#include <ctime>

namespace korvin {

namespace {

constexpr int kTmYearBase = 1900;
constexpr const char* kDateFormat = "%2.2d.%2.2d.%2.2d";
constexpr const char* kTimeFormat = "%2.2d:%2.2d:%2.2d";
// Room for three fields of up to 11 characters each, the separators and the terminator.
constexpr size_t kFormattedSize = 40;

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
#else
  localtime_r(&now, &local);
#endif
  return {local.tm_year + kTmYearBase,
          local.tm_mon + 1,
          local.tm_mday,
          local.tm_hour,
          local.tm_min,
          local.tm_sec};
}

std::string FormatSheetDate(const LocalDateTime& time) {
  return Format3(kDateFormat, time.day, time.month, time.year);
}

std::string FormatSheetTime(const LocalDateTime& time) {
  return Format3(kTimeFormat, time.hour, time.minute, time.second);
}

}  // namespace korvin
