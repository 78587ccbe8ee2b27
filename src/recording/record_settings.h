#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace korvin {

inline constexpr const char* kRecordSettingsFileName = "RecordSetting.ini";
inline constexpr const char* kSpreadsheetExtension = ".xls";

// RecordSetting.ini, 136 bytes, little-endian:
//   offset  width  content
//   0       4      hours
//   4       4      minutes
//   8       4      interval
//   12      20     file name, zero-terminated (so at most 19 bytes)
//   32      100    description, zero-terminated (so at most 99 bytes)
//   132     4      average flag, 0 or 1
inline constexpr size_t kRecordSettingsSize = 136;
inline constexpr size_t kFileNameBufferSize = 20;
inline constexpr size_t kDescriptionBufferSize = 100;
// Longest texts the file holds, in code page 936 bytes (a Chinese character takes two).
inline constexpr size_t kFileNameMaxLength = kFileNameBufferSize - 1;
inline constexpr size_t kDescriptionMaxLength = kDescriptionBufferSize - 1;

// What the next recording does. Owned by the main window, kept in RecordSetting.ini between runs.
// Texts are UTF-8 here; the settings file holds them in code page 936.
struct RecordSettings {
  int32_t hours = 0;
  int32_t minutes = 0;
  int32_t interval = 0;  // seconds between two stored rows
  std::string fileName;  // spreadsheet name without ".xls"
  std::string description;
  bool average = false;  // each row holds the mean of the samples since the previous row

  // The two text fields of the file as last loaded. A text is written over its field and
  // terminated; the bytes behind the terminator go back out as they came in, as the fixed
  // buffers of the file's other readers keep them.
  std::array<uint8_t, kFileNameBufferSize> fileNameField{};
  std::array<uint8_t, kDescriptionBufferSize> descriptionField{};

  // The settings as the user sees them; the bytes behind the texts do not count.
  bool operator==(const RecordSettings& other) const {
    return hours == other.hours && minutes == other.minutes && interval == other.interval &&
           fileName == other.fileName && description == other.description &&
           average == other.average;
  }
};

using RecordSettingsImage = std::array<uint8_t, kRecordSettingsSize>;

// Texts that do not fit are cut at the last whole character; bytes after a text's terminator
// are those of the loaded field (zero in settings that were never loaded).
RecordSettingsImage EncodeRecordSettings(const RecordSettings& settings);
// A text without a terminator in its field ends at the field's last byte but one.
RecordSettings DecodeRecordSettings(const RecordSettingsImage& image);

// Reads the file the way the program always has: the pieces 4, 4, 4, 20, 100 and 4 bytes in
// turn, so a short file replaces only the bytes it has and the rest of `settings` stays. False
// when the file cannot be opened (`settings` unchanged).
bool LoadRecordSettings(const std::filesystem::path& file, RecordSettings& settings);
// Writes the 136 bytes at the start of `file` without truncating it (bytes beyond stay), creating
// the file when it does not exist. False when it can be neither opened nor created.
bool SaveRecordSettings(const std::filesystem::path& file, const RecordSettings& settings);

// Messages of the settings checks.
inline constexpr const char* kMsgNegativePeriod = "Invalidate period setting!";
inline constexpr const char* kMsgZeroPeriod = "Invalid period setting!";
inline constexpr const char* kMsgInterval =
    "Invalid interval setting,inverval must be more than 3 seconds.";
inline constexpr const char* kMsgFileName = "Invalid file name!";
inline constexpr const char* kMsgFileNameTooLong = "Invalid file name, at most 19 characters!";
// The settings file's other readers take a name only as a file name of their platform.
inline constexpr const char* kMsgFileNameCharacters =
    "Invalid file name, it may not hold < > : \" | ? * or control characters!";
inline constexpr const char* kMsgFileNameNotText = "Invalid file name, it is not UTF-8 text!";
// "Invalid file name, the character "X" does not exist in code page 936!"
std::string FileNameCodePageMessage(std::string_view character);
inline constexpr const char* kMsgDescriptionTooLong =
    "Description too long, at most 99 characters!";
inline constexpr const char* kMsgDescriptionReplaced =
    "The description held characters that do not exist in code page 936; they were replaced by "
    "\"?\".";
inline constexpr int32_t kMinimumInterval = 3;

// Sheet rows: the data rows start below the header at row 10. The row field of the file is 16
// bits, but a BIFF2 worksheet has 16384 rows, and readers of the format stop there (some refuse
// the whole file when a cell lies below), so one recording holds at most 16374 rows.
inline constexpr int kFirstDataRow = 10;
inline constexpr int kSheetRowLimit = 16384;
inline constexpr int64_t kMaxRecordedRows = kSheetRowLimit - kFirstDataRow;

std::string TooManyRowsMessage();

// Record time in seconds (64 bits: the hours field is not limited).
int64_t RecordDurationSeconds(const RecordSettings& settings);
// Rows a recording of `durationSeconds` stores at `interval`: one at ticks 1, 1 + interval, ...
// while the tick is below the duration.
int64_t PlannedRowCount(int64_t durationSeconds, int32_t interval);

// How many bytes `utf8` takes in the settings file (code page 936; a character the code page
// cannot hold takes one, as the "?" that stands for it).
size_t StoredTextLength(std::string_view utf8);
// The longest start of `utf8` that takes at most `maxBytes` bytes in the settings file. It never
// splits a character or a "\r\n" line break.
std::string FitStoredText(std::string_view utf8, size_t maxBytes);

// The checks of the logging properties in their order, without a dialog: the first failing
// check's message, or nothing when the settings can be recorded.
std::optional<std::string> CheckRecordSettings(const RecordSettings& settings);

// folder / (file name + ".xls"); an empty folder means the current one.
std::filesystem::path SpreadsheetPath(const std::filesystem::path& folder,
                                      const std::string& fileName);
// Creates the spreadsheet empty (or truncates it). False when it cannot be created.
bool CreateEmptySpreadsheet(const std::filesystem::path& path);

}  // namespace korvin
