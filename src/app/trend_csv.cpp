#include "app/trend_csv.h"

#include <cstdio>
#include <ctime>
#include <fstream>
#include <system_error>

#include "tables/number_format.h"

namespace korvin {

namespace {

constexpr int kTmYearBase = 1900;
constexpr int64_t kMsPerSecond = 1000;
constexpr int64_t kSecondsPerMinute = 60;
constexpr int64_t kSecondsPerDay = 24 * 60 * 60;
constexpr size_t kTimeTextSize = 48;
constexpr char kSeparator = ',';
constexpr char kLineEnd[] = "\r\n";
constexpr char kTimeColumn[] = "Time";
constexpr char kPartSuffix[] = ".part";

// The Gregorian calendar repeats every 400 years of 146097 days; counted from 0000-03-01,
// 1970-01-01 is day 719468. Years start in March, so a leap day ends its year.
constexpr int64_t kYearsPerEra = 400;
constexpr int64_t kDaysPerEra = 146097;
constexpr int64_t kDaysTo1970 = 719468;

// Days from 1970-01-01 to a date.
int64_t DaysFromCivil(int64_t year, int month, int day) {
  year -= month <= 2 ? 1 : 0;
  const int64_t era = (year >= 0 ? year : year - (kYearsPerEra - 1)) / kYearsPerEra;
  const int64_t yearOfEra = year - era * kYearsPerEra;
  // Days from March 1st: the months March ... February run 31 30 31 30 31 31 30 31 30 31 31 28.
  const int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * kDaysPerEra + dayOfEra - kDaysTo1970;
}

// A field that holds the separator or a quote is quoted, its quotes doubled.
std::string CsvField(const std::string& text) {
  if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
  std::string quoted = "\"";
  for (char c : text) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + '"';
}

}  // namespace

std::string FormatIsoLocalTime(int64_t epochMs) {
  int64_t seconds = epochMs / kMsPerSecond;
  int64_t millis = epochMs % kMsPerSecond;
  if (millis < 0) {
    millis += kMsPerSecond;
    --seconds;
  }
  const std::time_t time = static_cast<std::time_t>(seconds);
  std::tm local{};
#ifdef _WIN32
  localtime_s(&local, &time);
#else
  localtime_r(&time, &local);
#endif
  // The offset is what the local calendar reads minus the instant itself; tm_gmtoff would say
  // the same but is not everywhere.
  const int64_t localSeconds =
      DaysFromCivil(local.tm_year + kTmYearBase, local.tm_mon + 1, local.tm_mday) * kSecondsPerDay +
      (local.tm_hour * kSecondsPerMinute + local.tm_min) * kSecondsPerMinute + local.tm_sec;
  const int64_t offsetMinutes = (localSeconds - seconds) / kSecondsPerMinute;
  const int64_t offset = offsetMinutes < 0 ? -offsetMinutes : offsetMinutes;
  char text[kTimeTextSize];
  std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03d%c%02d:%02d",
                local.tm_year + kTmYearBase, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                local.tm_min, local.tm_sec, static_cast<int>(millis), offsetMinutes < 0 ? '-' : '+',
                static_cast<int>(offset / kSecondsPerMinute),
                static_cast<int>(offset % kSecondsPerMinute));
  return text;
}

std::string TrendCsv(const TrendBuffer& buffer) {
  const TrendChannels& channels = buffer.channels();
  std::string csv = kTimeColumn;
  for (int c = 0; c < kTrendChannelCount; ++c) {
    if (!channels.Shows(c)) continue;
    std::string column(kTrendChannelNames[c]);
    if (!channels.unitLabels[c].empty()) column += " [" + channels.unitLabels[c] + "]";
    csv += kSeparator;
    csv += CsvField(column);
  }
  csv += kLineEnd;
  for (uint64_t sequence = buffer.firstSequence(); sequence < buffer.endSequence(); ++sequence) {
    const TrendSample& sample = buffer.At(sequence);
    csv += FormatIsoLocalTime(sample.timeMs);
    for (int c = 0; c < kTrendChannelCount; ++c) {
      if (!channels.Shows(c)) continue;
      csv += kSeparator;
      csv += FormatDecimal(sample.values[c], sample.decimals[c]);
    }
    csv += kLineEnd;
  }
  return csv;
}

bool WriteTrendCsv(const TrendBuffer& buffer, const std::filesystem::path& file) {
  const std::string csv = TrendCsv(buffer);
  std::filesystem::path part = file;
  part += kPartSuffix;
  {
    std::ofstream out(part, std::ios::binary | std::ios::trunc);
    out.write(csv.data(), static_cast<std::streamsize>(csv.size()));
    out.close();
    if (out.fail()) {
      std::error_code ignored;
      std::filesystem::remove(part, ignored);
      return false;
    }
  }
  std::error_code error;
  std::filesystem::rename(part, file, error);
  if (error) {
    std::filesystem::remove(part, error);
    return false;
  }
  return true;
}

}  // namespace korvin
