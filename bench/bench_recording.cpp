// Recording figures, printed:
//  1. the recorder on simulated ticks at the most rows one recording holds (16,360 at 3 s), its
//     tick time and the write of its file;
//  2. the worst case the file format can carry: 65,000 data rows of the recorder's layout, built
//     and written safely (temporary file, sync, rename). The last two lines are its write time
//     and the peak memory of the whole run.
//
//   korvin-bench-recording [folder]    (default: a new folder below the system's temp folder)

#include <sys/resource.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>

#include "recording/c_logging.h"
#include "recording/sheet_file.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// 13 h 38 min at 3 s gives rows at ticks 1, 4, ..., 49078: 16,360, the recorder's largest.
constexpr int32_t kHours = 13;
constexpr int32_t kMinutes = 38;
constexpr int32_t kInterval = 3;
constexpr int kRecorderRows = 16360;
constexpr int kFormatRows = 65000;
constexpr int kFirstDataRow = 10;
constexpr int kChannels = 4;
constexpr double kKiBPerMiB = 1024.0;

double MsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

bool BenchRecorder(const fs::path& folder) {
  korvin::LoggingOptions options;
  options.folder = folder;
  options.checkpointTicks = 0;  // only the final write is measured
  options.localTime = [] { return korvin::LocalDateTime{2024, 3, 5, 8, 30, 0}; };
  korvin::CLogging logging(options);

  korvin::RecordSettings settings;
  settings.hours = kHours;
  settings.minutes = kMinutes;
  settings.interval = kInterval;
  settings.fileName = "recorder";
  settings.description = "bench";
  settings.average = true;
  if (!logging.Start(settings, korvin::MakeChannelUnitTexts({"℃", "g/kg", "℃ Td", "barg"}))) {
    std::fprintf(stderr, "settings refused\n");
    return false;
  }
  bool written = false;
  logging.SetFileCallback([&](const korvin::FileWrite& write) { written = write.ok; });

  std::array<float, korvin::kChannelCount> online{21.5f, 8.25f, -40.125f, 7.0f};
  const Clock::time_point recordStart = Clock::now();
  while (logging.active()) {
    online[0] += 0.001f;
    logging.Tick(online);
  }
  const double recordMs = MsSince(recordStart);
  const Clock::time_point writeStart = Clock::now();
  logging.Tick(online);
  const double writeMs = MsSince(writeStart);
  if (!written || logging.rowCount() != kRecorderRows) {
    std::fprintf(stderr, "recorder: %d rows, file %s\n", logging.rowCount(),
                 written ? "written" : "not written");
    return false;
  }
  std::printf("recorder rows: %d\n", logging.rowCount());
  std::printf("recorder ticks ms: %.1f\n", recordMs);
  std::printf("recorder write ms: %.1f\n", writeMs);
  return true;
}

bool BenchFormatLimit(const fs::path& folder, double& writeMs) {
  miniexcel::excelSheet sheet;
  sheet.Cell(0, 0).SetText("ROVA KELD data recording");
  for (int i = 0; i < kFormatRows; ++i) {
    const int row = kFirstDataRow + i;
    sheet.Cell(row, 0).SetNumber(i + 1);
    miniexcel::excelCell& time = sheet.Cell(row, 1);
    time.SetText("12:34:56");
    time.SetAttributes(miniexcel::kAttributesRightAligned);
    for (int ch = 0; ch < kChannels; ++ch) sheet.Cell(row, 2 + ch).SetNumber(-40.125 + i + ch);
  }
  const fs::path file = folder / "rows65000.xls";
  const Clock::time_point writeStart = Clock::now();
  const bool ok = korvin::WriteSheetFile(sheet, file);
  writeMs = MsSince(writeStart);
  std::error_code error;
  std::printf("format rows: %d\n", kFormatRows);
  std::printf("format file bytes: %llu\n",
              static_cast<unsigned long long>(fs::file_size(file, error)));
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  const bool ownFolder = argc < 2;
  const fs::path folder =
      ownFolder ? fs::temp_directory_path() / ("korvin-bench-recording-" + std::to_string(getpid()))
                : fs::path(argv[1]);
  fs::create_directories(folder);

  double writeMs = 0;
  const bool ok = BenchRecorder(folder) && BenchFormatLimit(folder, writeMs);
  std::error_code error;
  if (ownFolder) fs::remove_all(folder, error);
  if (!ok) return 1;

  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  std::printf("write ms: %.1f\n", writeMs);
  std::printf("peak MiB: %.1f\n", static_cast<double>(usage.ru_maxrss) / kKiBPerMiB);
  return 0;
}
