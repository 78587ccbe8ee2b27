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

  // What the screen shows: the numbers as typed, the texts in UTF-8. The view limits the two
  // text fields to kFileNameMaxLength and kDescriptionMaxLength characters; OnOk() still refuses
  // texts whose code page 936 form does not fit the settings file.
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
  // False leaves the dialog open (a message or the answer No explains why).
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
