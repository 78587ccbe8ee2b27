#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <system_error>

#include "device/device_record.h"
#include "device/update_check.h"
#include "platform/ui.h"
#include "recording/local_time.h"
#include "recording/record_settings.h"
#include "recording/spreadsheet/excel_sheet.h"

namespace korvin {

// The main window's unit labels (UTF-8) at the moment a recording starts.
struct OnlineUnitLabels {
  std::string temperature;  // "℃" or "°F"
  std::string altDewPoint;  // short label of the alternative unit
  std::string dewPoint;     // "℃ Td" or "°F Td"
  std::string pressure;     // "MPa", "barg" or "PSI"
};
// The labels the main window shows for `record` (an unknown unit code gives an empty label).
OnlineUnitLabels OnlineUnitLabelsOf(const DeviceRecord& record);

// Units of CH 1 ... CH 4 for the sheet's unit row, with plain "C"/"F" for the degree signs.
using ChannelUnitTexts = std::array<std::string, kChannelCount>;
ChannelUnitTexts MakeChannelUnitTexts(const OnlineUnitLabels& labels);

// One data row as it was stored, for callers that report progress.
struct RecordedRow {
  int number = 0;                             // 1, 2, ...
  int sheetRow = 0;                           // 10, 11, ...
  std::string time;                           // "hh:mm:ss"
  std::array<float, kChannelCount> values{};  // CH 1 ... CH 4
};

// One write of the recording's file, for callers that report it.
struct FileWrite {
  std::filesystem::path path;
  bool ok = false;
  bool final = false;     // false for the safe copies written while recording
  int rowsRecorded = 0;   // rows of the recording so far
  int rowsInFile = 0;     // rows the file on disk holds now: after a failure, the last safe copy
  std::error_code error;  // why a write failed
  // The user should hear of it: every failed final write, and the first failed safe copy after
  // one that worked (the next ones fail for the same reason).
  bool report = false;
};
// "Write file error! ..." for a failed write: which file, why, and what it still holds.
std::string FileWriteFailureText(const FileWrite& write);

struct LoggingOptions {
  std::filesystem::path folder;  // folder of the spreadsheet; empty means the current one
  LocalTimeSource localTime;     // empty means the computer's clock
  // Ticks between two safe rewrites of the file while recording; 0 writes only at the end.
  int checkpointTicks = 60;
  std::string webAddress = std::string(kMakerWebAddress);  // shown in the sheet title
};

// The recorder: samples the four online values once a tick, stores a row every interval and
// writes the sheet as a BIFF2 file when the record time is over or the user stops.
//
// Main window use (all on the UI thread):
//   "Start recording" pressed, !active(): open the logging properties (CRecord); when accepted,
//       Start(settings, MakeChannelUnitTexts(labels)); caption ButtonCaption(), disable "On",
//       "Logging status:" StatusText().
//   "Record off" pressed, active(): AskStop(ui); when true, caption ButtonCaption(), enable
//       "On", status StatusText().
//   Timer 8001: poll, then Tick(record.online); then if TakeFinished(): caption
//       ButtonCaption(), enable "On", status StatusText().
//   Window closing: Finish() (the destructor does it as well, without calling back).
class CLogging {
 public:
  static constexpr const char* kCaptionStart = "Start recording";
  static constexpr const char* kCaptionStop = "Record off";
  static constexpr const char* kStatusRunning = "running";
  static constexpr const char* kStatusStopped = "stop";
  static constexpr const char* kStopQuestion = "Do you want to stop recording?";

  enum class State {
    kIdle,       // nothing to do
    kStarted,    // waiting for the first tick, which builds the header
    kRecording,  // rows are being stored
    kFinishing,  // ended; the next tick writes the file
  };

  using RowCallback = std::function<void(const RecordedRow&)>;
  using FileCallback = std::function<void(const FileWrite&)>;

  CLogging();
  explicit CLogging(LoggingOptions options);
  virtual ~CLogging();
  CLogging(const CLogging&) = delete;
  CLogging& operator=(const CLogging&) = delete;

  // Starts a recording with settings that passed the logging properties. A recording that ended
  // but whose file is still pending is written first. False (and nothing changes) while a
  // recording is active or when the settings fail CheckRecordSettings.
  bool Start(const RecordSettings& settings, const ChannelUnitTexts& units);
  // Asks "Do you want to stop recording?" (OK/Cancel); on OK stops. True when stopped.
  bool AskStop(Ui& ui);
  // Stops without asking; the file is written at the next tick.
  void Stop();
  // Once per polling tick, after the poll: `online` are the device record's values by channel
  // (temperature, alternative dew point, dew point, pressure = CH 1 ... CH 4).
  void Tick(const std::array<float, kChannelCount>& online);
  // True once after the record time ran out (the main window then restores its buttons).
  bool TakeFinished();
  // Stops and writes a pending file now instead of at the next tick.
  void Finish();
  // For callers whose ticks stop (polling switched off or ended by failed polls): the file of a
  // recording that ended is written now instead of at the next tick, and a running recording
  // gets a safe copy of its rows; it goes on when the ticks come again.
  void SaveNow();

  State state() const;
  bool active() const { return active_; }
  const char* ButtonCaption() const { return active_ ? kCaptionStop : kCaptionStart; }
  const char* StatusText() const { return active_ ? kStatusRunning : kStatusStopped; }
  int rowCount() const { return rowCount_; }
  // Rows the file on disk holds (the last write of this recording that succeeded).
  int rowsInFile() const { return rowsInFile_; }
  int64_t remainingSeconds() const { return remaining_; }
  const std::filesystem::path& filePath() const { return filePath_; }
  const ChannelUnitTexts& unitTexts() const { return units_; }

  void SetRowCallback(RowCallback callback) { onRow_ = std::move(callback); }
  void SetFileCallback(FileCallback callback) { onFile_ = std::move(callback); }

 private:
  void BuildHeader();
  void Sample(const std::array<float, kChannelCount>& online);
  void StoreRow();
  void EndByTime();
  void WriteFile(bool final);
  void SetText(int row, int column, const std::string& text,
               const miniexcel::CellAttributes& attributes = miniexcel::kAttributesNone);
  void SetNumber(int row, int column, double value);

  LoggingOptions options_;
  bool active_ = false;
  std::filesystem::path filePath_;
  std::string description_;
  int32_t interval_ = 0;
  int64_t remaining_ = 0;
  bool average_ = false;
  bool headerWritten_ = false;
  int32_t countdown_ = 0;
  int nextRow_ = kFirstDataRow;
  int rowCount_ = 0;
  std::array<float, kChannelCount> sums_{};
  int sampleCount_ = 0;
  ChannelUnitTexts units_;
  miniexcel::excelSheet sheet_;
  bool finished_ = false;
  int ticksSinceCheckpoint_ = 0;
  int rowsSinceCheckpoint_ = 0;
  int rowsInFile_ = 0;
  bool lastWriteFailed_ = false;
  RowCallback onRow_;
  FileCallback onFile_;
};

}  // namespace korvin
