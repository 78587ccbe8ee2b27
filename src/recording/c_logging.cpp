#include "recording/c_logging.h"

#include "platform/cp936.h"
#include "recording/sheet_file.h"
#include "tables/units.h"

namespace korvin {

namespace {

// Sheet layout: header rows, then the data rows from kFirstDataRow on.
constexpr int kRowTitle = 0;
constexpr int kRowDescription = 2;
constexpr int kRowDate = 3;
constexpr int kRowStart = 4;
constexpr int kRowValues = 5;
constexpr int kRowColumnTitles = 8;
constexpr int kRowUnits = 9;
constexpr int kColumnLabel = 0;
constexpr int kColumnNumber = 0;
constexpr int kColumnContent = 1;
constexpr int kColumnTime = 1;
constexpr int kColumnFirstChannel = 2;

constexpr const char* kTitle = "ROVA KELD data recording";
constexpr const char* kMsgWriteFileError = "Write file error!";
constexpr const char* kLabelDescription = "Description";
constexpr const char* kLabelDate = "Date:";
constexpr const char* kLabelStart = "Start:";
constexpr const char* kLabelValues = "Values:";
constexpr const char* kLabelNumber = "No.";
constexpr const char* kLabelTime = "Time";
constexpr std::array<const char*, kChannelCount> kChannelTitles = {"CH 1", "CH 2", "CH 3", "CH 4"};

// Unit labels of the main window and the plain texts the sheet uses for them.
constexpr const char* kLabelCelsius = "℃";
constexpr const char* kLabelFahrenheit = "°F";
constexpr const char* kLabelDewPointCelsius = "℃ Td";
constexpr const char* kLabelDewPointFahrenheit = "°F Td";
constexpr const char* kLabelAtmDewPointCelsius = "℃ Td atm";
constexpr const char* kLabelAtmDewPointFahrenheit = "°F Td atm";
constexpr const char* kTextCelsius = "C";
constexpr const char* kTextFahrenheit = "F";
constexpr const char* kTextDewPointCelsius = "C Td";
constexpr const char* kTextDewPointFahrenheit = "F Td";
constexpr const char* kTextAtmDewPointCelsius = "C Td atm";
constexpr const char* kTextAtmDewPointFahrenheit = "F Td atm";

// CH n of the sheet is measurement channel n - 1.
constexpr int kChannelCh1 = 0;
constexpr int kChannelCh2 = 1;
constexpr int kChannelCh3 = 2;
constexpr int kChannelCh4 = 3;

}  // namespace

OnlineUnitLabels OnlineUnitLabelsOf(const DeviceRecord& record) {
  OnlineUnitLabels labels;
  labels.temperature = TemperatureLabel(record.fahrenheit);
  labels.altDewPoint = ShortUnitLabel(record.altDewPointUnit).value_or("");
  labels.dewPoint = DewPointLabel(record.fahrenheit);
  labels.pressure = PressureUnitLabel(record.pressureUnit).value_or("");
  return labels;
}

ChannelUnitTexts MakeChannelUnitTexts(const OnlineUnitLabels& labels) {
  ChannelUnitTexts units;
  units[kChannelCh4] = labels.pressure;
  const auto plain = [&](const char* temperature, const char* dewPoint, const char* dewPointLabel,
                         const char* atmDewPoint, const char* atmDewPointLabel) {
    units[kChannelCh1] = temperature;
    units[kChannelCh3] = dewPoint;
    if (labels.altDewPoint == dewPointLabel) {
      units[kChannelCh2] = dewPoint;
    } else if (labels.altDewPoint == atmDewPointLabel) {
      units[kChannelCh2] = atmDewPoint;
    } else {
      units[kChannelCh2] = labels.altDewPoint;
    }
  };
  if (labels.temperature == kLabelCelsius) {
    plain(kTextCelsius, kTextDewPointCelsius, kLabelDewPointCelsius, kTextAtmDewPointCelsius,
          kLabelAtmDewPointCelsius);
  } else if (labels.temperature == kLabelFahrenheit) {
    plain(kTextFahrenheit, kTextDewPointFahrenheit, kLabelDewPointFahrenheit,
          kTextAtmDewPointFahrenheit, kLabelAtmDewPointFahrenheit);
  } else {
    units[kChannelCh1] = labels.temperature;
    units[kChannelCh2] = labels.altDewPoint;
    units[kChannelCh3] = labels.dewPoint;
  }
  return units;
}

std::string FileWriteFailureText(const FileWrite& write) {
  const std::string name = write.path.filename().string();
  std::string text = std::string(kMsgWriteFileError) + " " + name;
  text += write.final ? " could not be written" : " could not be brought up to date";
  if (write.error) text += " (" + write.error.message() + ")";
  text += ". ";
  if (!write.final) text += "The recording goes on. ";
  if (write.rowsInFile > 0) {
    text += "The file keeps its last safe copy: " + std::to_string(write.rowsInFile) + " of " +
            std::to_string(write.rowsRecorded) + " rows.";
  } else {
    text += "None of the " + std::to_string(write.rowsRecorded) + " rows are in the file.";
  }
  return text;
}

CLogging::CLogging() : CLogging(LoggingOptions{}) {}

CLogging::CLogging(LoggingOptions options) : options_(std::move(options)) {
  if (!options_.localTime) options_.localTime = CurrentLocalTime;
}

CLogging::~CLogging() {
  // Whoever listened may already be gone when the recorder goes; the file is still written.
  onRow_ = nullptr;
  onFile_ = nullptr;
  Finish();
}

CLogging::State CLogging::state() const {
  if (active_) return headerWritten_ ? State::kRecording : State::kStarted;
  return headerWritten_ ? State::kFinishing : State::kIdle;
}

bool CLogging::Start(const RecordSettings& settings, const ChannelUnitTexts& units) {
  if (active_ || CheckRecordSettings(settings)) return false;
  // A stop shortly before this start leaves the previous sheet unwritten; write it now so the
  // two recordings stay apart.
  if (headerWritten_) {
    headerWritten_ = false;
    WriteFile(true);
  }
  filePath_ = SpreadsheetPath(options_.folder, settings.fileName);
  description_ = settings.description;
  interval_ = settings.interval;
  remaining_ = RecordDurationSeconds(settings);
  average_ = settings.average;
  units_ = units;
  finished_ = false;
  active_ = true;
  return true;
}

bool CLogging::AskStop(Ui& ui) {
  if (!active_ || !ui.AskOkCancel(kStopQuestion)) return false;
  Stop();
  return true;
}

void CLogging::Stop() {
  active_ = false;
}

bool CLogging::TakeFinished() {
  const bool finished = finished_;
  finished_ = false;
  return finished;
}

void CLogging::Finish() {
  active_ = false;
  if (headerWritten_) {
    headerWritten_ = false;
    WriteFile(true);
  }
}

void CLogging::SaveNow() {
  if (!headerWritten_) return;
  if (!active_) {
    headerWritten_ = false;
    WriteFile(true);
  } else if (rowsSinceCheckpoint_ > 0) {
    WriteFile(false);
  }
}

void CLogging::Tick(const std::array<float, kChannelCount>& online) {
  if (!active_) {
    if (headerWritten_) {
      headerWritten_ = false;
      WriteFile(true);
    }
    return;
  }
  if (!headerWritten_) BuildHeader();
  --countdown_;
  --remaining_;
  Sample(online);
  if (remaining_ <= 0) {
    EndByTime();
    return;
  }
  if (countdown_ == 0) {
    // Settings that pass the checks never get here; a row past the sheet's last row would make
    // the file unreadable, so the recording ends instead.
    if (nextRow_ >= kSheetRowLimit) {
      EndByTime();
      return;
    }
    StoreRow();
  }
  ++ticksSinceCheckpoint_;
  const bool due = ticksSinceCheckpoint_ >= options_.checkpointTicks || rowCount_ == 1;
  if (options_.checkpointTicks > 0 && rowsSinceCheckpoint_ > 0 && due) WriteFile(false);
}

void CLogging::BuildHeader() {
  sheet_.Clear();
  const LocalDateTime now = options_.localTime();
  SetText(kRowTitle, kColumnLabel, std::string(kTitle) + " (" + options_.webAddress + ")");
  SetText(kRowDescription, kColumnLabel, kLabelDescription);
  SetText(kRowDescription, kColumnContent, Utf8ToCp936(description_));
  SetText(kRowDate, kColumnLabel, kLabelDate);
  SetText(kRowDate, kColumnContent, FormatSheetDate(now));
  SetText(kRowStart, kColumnLabel, kLabelStart);
  SetText(kRowStart, kColumnContent, FormatSheetTime(now));
  SetText(kRowColumnTitles, kColumnNumber, kLabelNumber, miniexcel::kAttributesCentred);
  SetText(kRowColumnTitles, kColumnTime, kLabelTime, miniexcel::kAttributesCentred);
  for (int ch = 0; ch < kChannelCount; ++ch) {
    SetText(kRowColumnTitles, kColumnFirstChannel + ch, kChannelTitles[ch],
            miniexcel::kAttributesCentred);
    SetText(kRowUnits, kColumnFirstChannel + ch, Utf8ToCp936(units_[ch]),
            miniexcel::kAttributesCentred);
  }
  nextRow_ = kFirstDataRow;
  countdown_ = 1;
  rowCount_ = 0;
  sums_.fill(0);
  sampleCount_ = 0;
  ticksSinceCheckpoint_ = 0;
  rowsSinceCheckpoint_ = 0;
  rowsInFile_ = 0;
  lastWriteFailed_ = false;
  headerWritten_ = true;
}

void CLogging::Sample(const std::array<float, kChannelCount>& online) {
  if (average_) {
    for (int ch = 0; ch < kChannelCount; ++ch) sums_[ch] += online[ch];
    ++sampleCount_;
  } else {
    sums_ = online;
    sampleCount_ = 1;
  }
}

void CLogging::StoreRow() {
  RecordedRow row;
  row.number = ++rowCount_;
  row.sheetRow = nextRow_++;
  row.time = FormatSheetTime(options_.localTime());
  for (int ch = 0; ch < kChannelCount; ++ch) {
    row.values[ch] = sums_[ch] / static_cast<float>(sampleCount_);
  }
  countdown_ = interval_;
  sums_.fill(0);
  sampleCount_ = 0;

  SetNumber(row.sheetRow, kColumnNumber, row.number);
  SetText(row.sheetRow, kColumnTime, row.time, miniexcel::kAttributesRightAligned);
  for (int ch = 0; ch < kChannelCount; ++ch) {
    SetNumber(row.sheetRow, kColumnFirstChannel + ch, row.values[ch]);
  }
  ++rowsSinceCheckpoint_;
  if (onRow_) onRow_(row);
}

void CLogging::EndByTime() {
  active_ = false;
  finished_ = true;
}

void CLogging::WriteFile(bool final) {
  SetText(kRowValues, kColumnLabel, kLabelValues);
  SetNumber(kRowValues, kColumnContent, rowCount_);
  FileWrite write;
  write.path = filePath_;
  write.final = final;
  write.rowsRecorded = rowCount_;
  write.ok = WriteSheetFile(sheet_, filePath_, &write.error);
  if (write.ok) rowsInFile_ = rowCount_;
  write.rowsInFile = rowsInFile_;
  write.report = !write.ok && (final || !lastWriteFailed_);
  lastWriteFailed_ = !write.ok;
  ticksSinceCheckpoint_ = 0;
  rowsSinceCheckpoint_ = 0;
  if (final) sheet_.Clear();
  if (onFile_) onFile_(write);
}

void CLogging::SetText(int row, int column, const std::string& text,
                       const miniexcel::CellAttributes& attributes) {
  miniexcel::excelCell& cell = sheet_.Cell(row, column);
  cell.SetText(text);
  cell.SetAttributes(attributes);
}

void CLogging::SetNumber(int row, int column, double value) {
  sheet_.Cell(row, column).SetNumber(value);
}

}  // namespace korvin
