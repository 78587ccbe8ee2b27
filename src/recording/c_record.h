#pragma once

#include <filesystem>
#include <string>

#include "platform/ui.h"
#include "recording/record_settings.h"

namespace korvin {

// "Logging properties": edits the recording settings before a recording starts. The view pushes
// `form()` into its widgets, pulls them back before OnOk() and closes with OK when it returns
// true.
class CRecord {
 public:
  static constexpr const char* kTitle = "Logging properties";
  static constexpr const char* kQuestionFileExists = "File exists, do you repeat it?";
  static constexpr const char* kMsgCreateFile = "Create file error!";
  static constexpr const char* kMsgCreateConfig = "Create record config file error!";

  // What the screen shows: the numbers as typed, the texts in UTF-8, line breaks of the
  // description as "\r\n". The view limits the two text fields to what the settings file holds
  // (kFileNameMaxLength and kDescriptionMaxLength bytes of code page 936, see FitStoredText), so
  // OnOk() refuses no length the fields took.
  struct Form {
    std::string hours;
    std::string minutes;
    std::string interval;
    std::string fileName;
    std::string description;  // several lines allowed
    bool average = false;
  };

  // `folder` holds the spreadsheet and RecordSetting.ini; empty means the current folder.
  CRecord(RecordSettings& settings, Ui& ui, std::filesystem::path folder = {});

  // Shows the settings handed over by the opener.
  void Open();
  // The OK button. True when the settings were accepted: the record holds them, the empty
  // spreadsheet exists and RecordSetting.ini is written; the dialog then closes with OK.
  // False leaves the dialog open (a message or the answer No explains why); the form may have
  // changed (a description with characters outside code page 936), so the view shows it again.
  bool OnOk();

  Form& form() { return form_; }
  const Form& form() const { return form_; }
  bool accepted() const { return accepted_; }

 private:
  RecordSettings& settings_;
  Ui& ui_;
  std::filesystem::path folder_;
  Form form_;
  bool accepted_ = false;
};

}  // namespace korvin
