#include "recording/record_settings.h"

#include <algorithm>
#include <cstring>
#include <fstream>

#include "platform/cp936.h"
#include "platform/writable_file.h"
#include "recording/spreadsheet/biff_record.h"

namespace korvin {

namespace {

constexpr size_t kOffsetHours = 0;
constexpr size_t kOffsetMinutes = 4;
constexpr size_t kOffsetInterval = 8;
constexpr size_t kOffsetFileName = 12;
constexpr size_t kOffsetDescription = kOffsetFileName + kFileNameBufferSize;
constexpr size_t kOffsetAverage = kOffsetDescription + kDescriptionBufferSize;
static_assert(kOffsetAverage + 4 == kRecordSettingsSize);

constexpr int64_t kSecondsPerHour = 3600;
constexpr int64_t kSecondsPerMinute = 60;
// The spreadsheet's own path separators plus the other platform's, so a name never leaves the
// folder whichever system reads the settings file.
constexpr const char* kPathSeparators = "/\\";
// What the other platform refuses in a file name besides the separators.
constexpr std::string_view kReservedCharacters = "<>:\"|?*";
constexpr unsigned char kFirstPrintable = 0x20;
constexpr unsigned char kDelete = 0x7F;
constexpr std::string_view kLineBreak = "\r\n";

void PutI32(RecordSettingsImage& image, size_t offset, int32_t value) {
  const auto bits = static_cast<uint32_t>(value);
  for (size_t i = 0; i < 4; ++i) image[offset + i] = static_cast<uint8_t>(bits >> (8 * i));
}

int32_t GetI32(const RecordSettingsImage& image, size_t offset) {
  uint32_t bits = 0;
  for (size_t i = 0; i < 4; ++i) bits |= static_cast<uint32_t>(image[offset + i]) << (8 * i);
  return static_cast<int32_t>(bits);
}

// The text and its terminator over the field as it was loaded; the bytes behind stay.
template <size_t kSize>
void PutText(RecordSettingsImage& image, size_t offset, const std::array<uint8_t, kSize>& field,
             const std::string& utf8) {
  std::memcpy(image.data() + offset, field.data(), kSize);
  const std::string bytes = Utf8ToCp936(utf8);
  const size_t length = miniexcel::Cp936PrefixLength(bytes, kSize - 1);
  std::memcpy(image.data() + offset, bytes.data(), length);
  image[offset + length] = 0;
}

template <size_t kSize>
void GetField(const RecordSettingsImage& image, size_t offset, std::array<uint8_t, kSize>& field) {
  std::memcpy(field.data(), image.data() + offset, kSize);
}

std::string GetText(const RecordSettingsImage& image, size_t offset, size_t bufferSize) {
  const auto* begin = reinterpret_cast<const char*>(image.data() + offset);
  const size_t length = std::find(begin, begin + bufferSize - 1, '\0') - begin;
  return Cp936ToUtf8(std::string_view(begin, length));
}

bool HasReservedCharacter(std::string_view name) {
  for (const char c : name) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < kFirstPrintable || byte == kDelete) return true;
    if (kReservedCharacters.find(c) != std::string_view::npos) return true;
  }
  return false;
}

// The first reason a file name cannot be stored, or nothing.
std::optional<std::string> CheckFileNameText(const std::string& name) {
  if (HasReservedCharacter(name)) return kMsgFileNameCharacters;
  if (const auto outside = FirstCharacterOutsideCp936(name)) {
    const std::string_view character = Utf8CharacterAt(name, *outside);
    if (character.empty()) return kMsgFileNameNotText;
    return FileNameCodePageMessage(character);
  }
  return std::nullopt;
}

}  // namespace

RecordSettingsImage EncodeRecordSettings(const RecordSettings& settings) {
  RecordSettingsImage image{};
  PutI32(image, kOffsetHours, settings.hours);
  PutI32(image, kOffsetMinutes, settings.minutes);
  PutI32(image, kOffsetInterval, settings.interval);
  PutText(image, kOffsetFileName, settings.fileNameField, settings.fileName);
  PutText(image, kOffsetDescription, settings.descriptionField, settings.description);
  PutI32(image, kOffsetAverage, settings.average ? 1 : 0);
  return image;
}

RecordSettings DecodeRecordSettings(const RecordSettingsImage& image) {
  RecordSettings settings;
  settings.hours = GetI32(image, kOffsetHours);
  settings.minutes = GetI32(image, kOffsetMinutes);
  settings.interval = GetI32(image, kOffsetInterval);
  settings.fileName = GetText(image, kOffsetFileName, kFileNameBufferSize);
  settings.description = GetText(image, kOffsetDescription, kDescriptionBufferSize);
  GetField(image, kOffsetFileName, settings.fileNameField);
  GetField(image, kOffsetDescription, settings.descriptionField);
  settings.average = GetI32(image, kOffsetAverage) != 0;
  return settings;
}

bool LoadRecordSettings(const std::filesystem::path& file, RecordSettings& settings) {
  std::ifstream in(file, std::ios::binary);
  if (!in) return false;
  // Overlaying the file on the current settings gives what reading the pieces in turn gives: a
  // piece the file does not reach keeps its value, a piece it reaches in part takes those bytes.
  RecordSettingsImage image = EncodeRecordSettings(settings);
  in.read(reinterpret_cast<char*>(image.data()), static_cast<std::streamsize>(image.size()));
  settings = DecodeRecordSettings(image);
  return true;
}

bool SaveRecordSettings(const std::filesystem::path& file, const RecordSettings& settings) {
  const RecordSettingsImage image = EncodeRecordSettings(settings);
  return WriteFileStart(file, image.data(), image.size());
}

std::string FileNameCodePageMessage(std::string_view character) {
  return "Invalid file name, the character \"" + std::string(character) +
         "\" does not exist in code page 936!";
}

size_t StoredTextLength(std::string_view utf8) {
  return Utf8ToCp936(utf8).size();
}

std::string FitStoredText(std::string_view utf8, size_t maxBytes) {
  Cp936Converter converter(Cp936Converter::Direction::kToCp936);
  size_t end = 0;
  size_t stored = 0;
  while (end < utf8.size()) {
    size_t length = Utf8CharacterAt(utf8, end).size();
    if (utf8.substr(end, kLineBreak.size()) == kLineBreak) length = kLineBreak.size();
    if (length == 0) length = 1;  // a stray byte, stored as one "?"
    stored += converter.Convert(utf8.substr(end, length)).size();
    if (stored > maxBytes) break;
    end += length;
  }
  return std::string(utf8.substr(0, end));
}

std::string TooManyRowsMessage() {
  return "Invalid period setting, a recording holds at most " + std::to_string(kMaxRecordedRows) +
         " rows: lengthen the interval or shorten the record time!";
}

int64_t RecordDurationSeconds(const RecordSettings& settings) {
  return settings.hours * kSecondsPerHour + settings.minutes * kSecondsPerMinute;
}

int64_t PlannedRowCount(int64_t durationSeconds, int32_t interval) {
  // Rows fall on ticks 1 + k * interval; the tick that reaches the duration ends the recording.
  if (durationSeconds < 2 || interval <= 0) return 0;
  return (durationSeconds - 2) / interval + 1;
}

std::optional<std::string> CheckRecordSettings(const RecordSettings& settings) {
  if (settings.hours < 0 || settings.minutes < 0) return kMsgNegativePeriod;
  if (settings.hours == 0 && settings.minutes == 0) return kMsgZeroPeriod;
  if (settings.interval < kMinimumInterval) return kMsgInterval;
  if (PlannedRowCount(RecordDurationSeconds(settings), settings.interval) > kMaxRecordedRows) {
    return TooManyRowsMessage();
  }
  if (settings.fileName.empty()) return kMsgFileName;
  if (settings.fileName.find_first_of(kPathSeparators) != std::string::npos) return kMsgFileName;
  if (auto message = CheckFileNameText(settings.fileName)) return message;
  if (StoredTextLength(settings.fileName) > kFileNameMaxLength) return kMsgFileNameTooLong;
  if (StoredTextLength(settings.description) > kDescriptionMaxLength) {
    return kMsgDescriptionTooLong;
  }
  return std::nullopt;
}

std::filesystem::path SpreadsheetPath(const std::filesystem::path& folder,
                                      const std::string& fileName) {
  const std::string name = fileName + kSpreadsheetExtension;
  return folder / std::filesystem::path(
                      std::u8string(reinterpret_cast<const char8_t*>(name.data()), name.size()));
}

bool CreateEmptySpreadsheet(const std::filesystem::path& path) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (!out.is_open()) return false;
  out.close();
  return !out.fail();
}

}  // namespace korvin
