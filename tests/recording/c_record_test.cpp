#include "recording/c_record.h"

#include <gtest/gtest.h>

#include <cstring>

#include "support/scripted_ui.h"
#include "test_files.h"

namespace korvin::test {
namespace {

class LoggingProperties : public ::testing::Test {
 protected:
  void Fill(const std::string& hours, const std::string& minutes, const std::string& interval,
            const std::string& fileName, const std::string& description = "",
            bool average = false) {
    dialog_.Open();
    dialog_.form() = {hours, minutes, interval, fileName, description, average};
  }

  TempFolder folder_;
  RecordSettings settings_;
  ScriptedUi ui_;
  CRecord dialog_{settings_, ui_, folder_.path()};
};

TEST_F(LoggingProperties, OpenShowsTheSettings) {
  settings_ = {1, 30, 5, "run7", "two\r\nlines", true};
  dialog_.Open();
  const CRecord::Form& form = dialog_.form();
  EXPECT_EQ(form.hours, "1");
  EXPECT_EQ(form.minutes, "30");
  EXPECT_EQ(form.interval, "5");
  EXPECT_EQ(form.fileName, "run7");
  EXPECT_EQ(form.description, "two\r\nlines");
  EXPECT_TRUE(form.average);
}

TEST_F(LoggingProperties, RefusesWithTheFirstMessageAndKeepsTheRecord) {
  struct Case {
    const char* name;
    CRecord::Form form;
    std::string message;
  };
  const Case cases[] = {
      {"negative hours", {"-1", "0", "3", "test", "", false}, kMsgNegativePeriod},
      {"zero period", {"0", "0", "3", "test", "", false}, kMsgZeroPeriod},
      {"texts are zero", {"abc", "", "3", "test", "", false}, kMsgZeroPeriod},
      {"interval 2", {"0", "1", "2", "test", "", false}, kMsgInterval},
      {"interval with trailing text", {"0", "1", " 2s", "test", "", false}, kMsgInterval},
      {"empty name", {"0", "1", "3", "", "", false}, kMsgFileName},
      {"too many rows", {"100", "0", "3", "test", "", false}, TooManyRowsMessage()},
      {"long name", {"0", "1", "3", std::string(20, 'x'), "", false}, kMsgFileNameTooLong},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ui_.messages.clear();
    dialog_.Open();
    dialog_.form() = c.form;
    EXPECT_FALSE(dialog_.OnOk());
    EXPECT_FALSE(dialog_.accepted());
    EXPECT_EQ(ui_.messages, std::vector<std::string>{c.message});
    EXPECT_EQ(settings_, RecordSettings{});
    EXPECT_FALSE(std::filesystem::exists(folder_ / "test.xls"));
    EXPECT_FALSE(std::filesystem::exists(folder_ / kRecordSettingsFileName));
  }
  EXPECT_TRUE(ui_.questions.empty());
}

TEST_F(LoggingProperties, OkCreatesTheEmptySheetAndTheSettingsFile) {
  Fill(" 0", "1", "3", "test", "line 1\r\nline 2", true);
  ASSERT_TRUE(dialog_.OnOk());
  EXPECT_TRUE(dialog_.accepted());
  EXPECT_TRUE(ui_.messages.empty());
  EXPECT_TRUE(ui_.questions.empty());
  const RecordSettings expected{0, 1, 3, "test", "line 1\r\nline 2", true};
  EXPECT_EQ(settings_, expected);
  EXPECT_TRUE(std::filesystem::exists(folder_ / "test.xls"));
  EXPECT_EQ(std::filesystem::file_size(folder_ / "test.xls"), 0u);
  EXPECT_EQ(ReadBytes(folder_ / kRecordSettingsFileName).size(), kRecordSettingsSize);

  // The next program start shows the same values.
  RecordSettings restarted;
  ASSERT_TRUE(LoadRecordSettings(folder_ / kRecordSettingsFileName, restarted));
  CRecord again(restarted, ui_, folder_.path());
  again.Open();
  EXPECT_EQ(again.form().hours, "0");
  EXPECT_EQ(again.form().minutes, "1");
  EXPECT_EQ(again.form().interval, "3");
  EXPECT_EQ(again.form().fileName, "test");
  EXPECT_EQ(again.form().description, "line 1\r\nline 2");
  EXPECT_TRUE(again.form().average);
}

TEST_F(LoggingProperties, TextsOutsideCodePage936) {
  // A name the settings file cannot hold creates nothing.
  Fill("0", "1", "3", "\xF0\x9F\x98\x80x");
  EXPECT_FALSE(dialog_.OnOk());
  EXPECT_EQ(ui_.messages, std::vector<std::string>{FileNameCodePageMessage("\xF0\x9F\x98\x80")});
  EXPECT_TRUE(std::filesystem::is_empty(folder_.path()));

  // A description has what the code page cannot hold replaced, shown, and taken at the next OK.
  ui_.messages.clear();
  Fill("0", "1", "3", "test", "Dryer \xF0\x9F\x98\x80 ℃");
  EXPECT_FALSE(dialog_.OnOk());
  EXPECT_EQ(ui_.messages, std::vector<std::string>{kMsgDescriptionReplaced});
  EXPECT_EQ(dialog_.form().description, "Dryer ? ℃");
  EXPECT_EQ(settings_, RecordSettings{});
  EXPECT_TRUE(dialog_.OnOk());
  EXPECT_EQ(settings_.description, "Dryer ? ℃");
  RecordSettings stored;
  ASSERT_TRUE(LoadRecordSettings(folder_ / kRecordSettingsFileName, stored));
  EXPECT_EQ(stored.description, "Dryer ? ℃");
}

TEST_F(LoggingProperties, OkKeepsTheBytesBehindTheLoadedTexts) {
  RecordSettings loaded{0, 1, 3, "test", "", false};
  RecordSettingsImage image = EncodeRecordSettings(loaded);
  std::memcpy(&image[12 + 5], "TAIL", 4);
  std::memcpy(&image[32 + 1], "MORE", 4);
  WriteBytes(folder_ / kRecordSettingsFileName, Bytes(image.begin(), image.end()));
  ASSERT_TRUE(LoadRecordSettings(folder_ / kRecordSettingsFileName, settings_));
  dialog_.Open();
  ASSERT_TRUE(dialog_.OnOk());
  EXPECT_EQ(ReadBytes(folder_ / kRecordSettingsFileName), Bytes(image.begin(), image.end()));
}

TEST_F(LoggingProperties, AsksBeforeReplacingAnExistingSheet) {
  const Bytes old = {1, 2, 3};
  WriteBytes(folder_ / "test.xls", old);

  Fill("0", "1", "3", "test");
  ui_.answers = {false};
  EXPECT_FALSE(dialog_.OnOk());
  EXPECT_EQ(ui_.questions, std::vector<std::string>{CRecord::kQuestionFileExists});
  // Yes replaces the file: Enter must not answer it.
  EXPECT_EQ(ui_.defaultNoQuestions, std::vector<std::string>{CRecord::kQuestionFileExists});
  EXPECT_EQ(ReadBytes(folder_ / "test.xls"), old);
  EXPECT_EQ(settings_, RecordSettings{});
  EXPECT_FALSE(std::filesystem::exists(folder_ / kRecordSettingsFileName));

  ui_.answers = {true};
  EXPECT_TRUE(dialog_.OnOk());
  EXPECT_EQ(std::filesystem::file_size(folder_ / "test.xls"), 0u);
}

TEST_F(LoggingProperties, ReportsFilesThatCannotBeCreated) {
  {
    RecordSettings settings;
    CRecord dialog(settings, ui_, folder_ / "no such folder");
    dialog.Open();
    dialog.form() = {"0", "1", "3", "test", "", false};
    EXPECT_FALSE(dialog.OnOk());
    EXPECT_EQ(ui_.messages, std::vector<std::string>{CRecord::kMsgCreateFile});
    EXPECT_EQ(settings, RecordSettings{});
  }
  ui_.messages.clear();
  // A folder in the way of the settings file: the record already holds the new settings.
  std::filesystem::create_directory(folder_ / kRecordSettingsFileName);
  Fill("0", "2", "4", "test");
  EXPECT_FALSE(dialog_.OnOk());
  EXPECT_FALSE(dialog_.accepted());
  EXPECT_EQ(ui_.messages, std::vector<std::string>{CRecord::kMsgCreateConfig});
  EXPECT_EQ(settings_.minutes, 2);
  EXPECT_EQ(settings_.interval, 4);
}

}  // namespace
}  // namespace korvin::test
