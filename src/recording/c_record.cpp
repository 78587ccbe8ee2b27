#include "recording/c_record.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <system_error>

#include "platform/cp936.h"
#include "tables/number_text.h"

namespace korvin {

namespace {

constexpr const char* kIntFormat = "%d";

// The record's fields are 32 bits; a typed number beyond that is held at the nearest limit.
int32_t LeadingInt(const std::string& text) {
  return static_cast<int32_t>(std::clamp<int64_t>(ParseLeadingInteger(text),
                                                  std::numeric_limits<int32_t>::min(),
                                                  std::numeric_limits<int32_t>::max()));
}

std::string FormatInt(int32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, kIntFormat, value);
  return text;
}

}  // namespace

CRecord::CRecord(RecordSettings& settings, Ui& ui, std::filesystem::path folder)
    : settings_(settings), ui_(ui), folder_(std::move(folder)) {}

void CRecord::Open() {
  form_.hours = FormatInt(settings_.hours);
  form_.minutes = FormatInt(settings_.minutes);
  form_.interval = FormatInt(settings_.interval);
  form_.fileName = settings_.fileName;
  form_.description = settings_.description;
  form_.average = settings_.average;
  accepted_ = false;
}

bool CRecord::OnOk() {
  // From the current settings, so the text fields keep the bytes behind their texts.
  RecordSettings next = settings_;
  next.hours = LeadingInt(form_.hours);
  next.minutes = LeadingInt(form_.minutes);
  next.interval = LeadingInt(form_.interval);
  next.fileName = form_.fileName;
  next.description = form_.description;
  next.average = form_.average;

  if (auto message = CheckRecordSettings(next)) {
    ui_.Message(*message);
    return false;
  }
  // The sheet and the settings file hold the description in code page 936. What it cannot hold
  // is replaced where the user sees it, and the next OK takes the text as it now stands.
  if (FirstCharacterOutsideCp936(next.description)) {
    form_.description = ReplaceOutsideCp936(next.description);
    ui_.Message(kMsgDescriptionReplaced);
    return false;
  }
  const std::filesystem::path spreadsheet = SpreadsheetPath(folder_, next.fileName);
  std::error_code error;
  if (std::filesystem::exists(spreadsheet, error) && !ui_.AskYesNoDefaultNo(kQuestionFileExists)) {
    return false;
  }
  if (!CreateEmptySpreadsheet(spreadsheet)) {
    ui_.Message(kMsgCreateFile);
    return false;
  }
  // The record takes the new settings even when the settings file fails below: the recording
  // can still run, only the next program start would not see them.
  settings_ = next;
  if (!SaveRecordSettings(folder_ / kRecordSettingsFileName, settings_)) {
    ui_.Message(kMsgCreateConfig);
    return false;
  }
  accepted_ = true;
  return true;
}

}  // namespace korvin
