#include "recording/c_logging.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "support/scripted_ui.h"
#include "test_files.h"

namespace korvin::test {
namespace {

constexpr int kStartSecondOfDay = 8 * 3600 + 30 * 60;

std::string ClockText(int tick) {
  const int s = kStartSecondOfDay + tick;
  char text[16];
  std::snprintf(text, sizeof text, "%02d:%02d:%02d", s / 3600, s / 60 % 60, s % 60);
  return text;
}

std::array<float, kChannelCount> ValuesAt(int tick) {
  return {20.0f + 0.1f * tick, 5.5f * tick, -40.0f - 0.25f * tick, 7.0f + 0.01f * tick};
}

RecordSettings Settings(int hours, int minutes, int interval, bool average = false,
                        const std::string& name = "test") {
  RecordSettings s;
  s.hours = hours;
  s.minutes = minutes;
  s.interval = interval;
  s.fileName = name;
  s.description = "Dryer 3 露点";
  s.average = average;
  return s;
}

const ChannelUnitTexts kCelsiusUnits = {"C", "g/m3", "C Td", "barg"};

// Drives the recorder on counted ticks; the local time is 05.03.2024 08:30:00 plus the tick.
class Recorder : public ::testing::Test {
 protected:
  explicit Recorder(int checkpointTicks = 60) : logging_(Options(checkpointTicks)) {
    logging_.SetRowCallback([this](const RecordedRow& row) {
      rowTicks_.push_back(tick_);
      rows_.push_back(row);
    });
    logging_.SetFileCallback([this](const FileWrite& write) {
      files_.push_back({write.path.filename().string(), write.ok, write.final, tick_});
      writes_.push_back(write);
    });
  }

  LoggingOptions Options(int checkpointTicks) {
    LoggingOptions options;
    options.folder = folder_.path();
    options.checkpointTicks = checkpointTicks;
    options.localTime = [this] {
      const int s = kStartSecondOfDay + tick_;
      return LocalDateTime{2024, 3, 5, s / 3600, s / 60 % 60, s % 60};
    };
    return options;
  }

  void Tick() {
    ++tick_;
    logging_.Tick(ValuesAt(tick_));
  }
  void TickUntilIdle() {
    while (logging_.state() != CLogging::State::kIdle) Tick();
  }
  BiffFile Sheet(const std::string& name = "test.xls") {
    return ParseBiff(ReadBytes(folder_ / name));
  }

  struct FileEvent {
    std::string name;
    bool ok;
    bool final;
    int tick;
  };

  TempFolder folder_;
  int tick_ = 0;
  CLogging logging_;
  std::vector<int> rowTicks_;
  std::vector<RecordedRow> rows_;
  std::vector<FileEvent> files_;
  std::vector<FileWrite> writes_;
};

class RecorderFinalWriteOnly : public Recorder {
 protected:
  RecorderFinalWriteOnly() : Recorder(0) {}
};

TEST_F(Recorder, OneMinuteAtThreeSecondsStoresTwentyRows) {
  ASSERT_TRUE(logging_.Start(Settings(0, 1, 3), kCelsiusUnits));
  EXPECT_EQ(logging_.state(), CLogging::State::kStarted);
  while (tick_ < 59) Tick();
  EXPECT_EQ(logging_.state(), CLogging::State::kRecording);
  EXPECT_FALSE(logging_.TakeFinished());

  Tick();  // tick 60: the record time is over
  EXPECT_EQ(logging_.state(), CLogging::State::kFinishing);
  EXPECT_TRUE(logging_.TakeFinished());
  EXPECT_FALSE(logging_.TakeFinished());
  EXPECT_EQ(logging_.ButtonCaption(), std::string("Start recording"));
  EXPECT_EQ(Sheet().At(5, 1)->number, 1);  // only the early safe copy so far

  Tick();  // tick 61 writes the file
  EXPECT_EQ(logging_.state(), CLogging::State::kIdle);
  std::vector<int> expectedTicks;
  for (int t = 1; t <= 58; t += 3) expectedTicks.push_back(t);
  EXPECT_EQ(rowTicks_, expectedTicks);
  ASSERT_FALSE(files_.empty());
  EXPECT_TRUE(files_.back().final && files_.back().ok);
  EXPECT_EQ(files_.back().tick, 61);

  const BiffFile sheet = Sheet();
  ASSERT_TRUE(sheet.wellFormed);
  EXPECT_EQ(sheet.At(5, 0)->text, "Values:");
  EXPECT_EQ(sheet.At(5, 1)->number, 20);
  for (int i = 0; i < 20; ++i) {
    SCOPED_TRACE(i);
    const int row = 10 + i;
    const int tick = expectedTicks[i];
    EXPECT_EQ(sheet.At(row, 0)->number, i + 1);
    EXPECT_EQ(sheet.At(row, 1)->text, ClockText(tick));
    EXPECT_EQ(sheet.At(row, 1)->alignment, 3);
    for (int ch = 0; ch < kChannelCount; ++ch) {
      EXPECT_EQ(sheet.At(row, 2 + ch)->type, 3);
      EXPECT_EQ(sheet.At(row, 2 + ch)->number, static_cast<double>(ValuesAt(tick)[ch]));
    }
  }
  EXPECT_EQ(sheet.At(30, 0), nullptr);
}

TEST_F(RecorderFinalWriteOnly, BuildsTheSheetHeader) {
  ASSERT_TRUE(logging_.Start(Settings(0, 1, 60), {"F", "g/kg", "F Td", "PSI"}));
  TickUntilIdle();
  const BiffFile sheet = Sheet();
  ASSERT_TRUE(sheet.wellFormed);
  struct Expected {
    int row, column;
    std::string text;
    int alignment;
  };
  const Expected texts[] = {
      {0, 0, "ROVA KELD data recording (www.rova-keld.example)", 0},
      {2, 0, "Description", 0},
      {2, 1, "Dryer 3 \xC2\xB6\xB5\xE3", 0},  // code page 936
      {3, 0, "Date:", 0},
      {3, 1, "05.03.2024", 0},
      {4, 0, "Start:", 0},
      {4, 1, "08:30:01", 0},
      {5, 0, "Values:", 0},
      {8, 0, "No.", 2},
      {8, 1, "Time", 2},
      {8, 2, "CH 1", 2},
      {8, 3, "CH 2", 2},
      {8, 4, "CH 3", 2},
      {8, 5, "CH 4", 2},
      {9, 2, "F", 2},
      {9, 3, "g/kg", 2},
      {9, 4, "F Td", 2},
      {9, 5, "PSI", 2},
      {10, 1, "08:30:01", 3},
  };
  for (const Expected& e : texts) {
    SCOPED_TRACE(e.text);
    const BiffCell* cell = sheet.At(e.row, e.column);
    ASSERT_NE(cell, nullptr);
    EXPECT_EQ(cell->type, 4);
    EXPECT_EQ(cell->text, e.text);
    EXPECT_EQ(cell->alignment, e.alignment);
  }
  // One data row (tick 1) for 60 s at 60 s; nothing else in the sheet.
  EXPECT_EQ(sheet.At(5, 1)->number, 1);
  EXPECT_EQ(sheet.cells.size(), std::size(texts) + 1 + 5);
  for (int row : {1, 6, 7, 11}) {
    for (int column = 0; column < 6; ++column) EXPECT_EQ(sheet.At(row, column), nullptr);
  }
  // All numbers stand before all texts.
  size_t firstText = 0;
  while (sheet.cells[firstText].type == 3) ++firstText;
  for (size_t i = firstText; i < sheet.cells.size(); ++i) EXPECT_EQ(sheet.cells[i].type, 4);
}

TEST_F(RecorderFinalWriteOnly, AveragesTheSamplesSinceThePreviousRow) {
  ASSERT_TRUE(logging_.Start(Settings(0, 1, 5, true), kCelsiusUnits));
  TickUntilIdle();
  ASSERT_GE(rows_.size(), 3u);
  EXPECT_EQ(rowTicks_[0], 1);
  EXPECT_EQ(rowTicks_[1], 6);
  const BiffFile sheet = Sheet();
  for (int ch = 0; ch < kChannelCount; ++ch) {
    SCOPED_TRACE(ch);
    EXPECT_EQ(sheet.At(10, 2 + ch)->number, static_cast<double>(ValuesAt(1)[ch]));
    float sum = 0;
    for (int t = 2; t <= 6; ++t) sum += ValuesAt(t)[ch];
    EXPECT_EQ(sheet.At(11, 2 + ch)->number, static_cast<double>(sum / 5.0f));
    EXPECT_EQ(rows_[1].values[ch], sum / 5.0f);
  }
}

TEST_F(RecorderFinalWriteOnly, StopThenStartKeepsOnlyTheNewRows) {
  ASSERT_TRUE(logging_.Start(Settings(0, 1, 3), kCelsiusUnits));
  for (int i = 0; i < 10; ++i) Tick();  // rows 1..4
  logging_.Stop();
  EXPECT_EQ(logging_.state(), CLogging::State::kFinishing);
  EXPECT_FALSE(logging_.TakeFinished());  // the user stopped: no finished report
  Tick();
  EXPECT_EQ(Sheet().At(5, 1)->number, 4);

  const int secondStart = tick_;
  ASSERT_TRUE(logging_.Start(Settings(0, 1, 30), kCelsiusUnits));
  TickUntilIdle();
  const BiffFile sheet = Sheet();
  EXPECT_EQ(sheet.At(5, 1)->number, 2);
  EXPECT_EQ(sheet.At(10, 2)->number, static_cast<double>(ValuesAt(secondStart + 1)[0]));
  EXPECT_EQ(sheet.At(11, 2)->number, static_cast<double>(ValuesAt(secondStart + 31)[0]));
  EXPECT_EQ(sheet.At(12, 0), nullptr);
}

TEST_F(RecorderFinalWriteOnly, StartBeforeThePendingFileWritesItFirst) {
  ASSERT_TRUE(logging_.Start(Settings(0, 1, 3, false, "first"), kCelsiusUnits));
  for (int i = 0; i < 7; ++i) Tick();  // rows at 1, 4, 7
  logging_.Stop();
  ASSERT_TRUE(logging_.Start(Settings(0, 1, 3, false, "second"), kCelsiusUnits));
  ASSERT_EQ(files_.size(), 1u);
  EXPECT_EQ(files_[0].name, "first.xls");
  TickUntilIdle();

  const BiffFile first = Sheet("first.xls");
  EXPECT_EQ(first.At(5, 1)->number, 3);
  EXPECT_EQ(first.At(13, 0), nullptr);
  const BiffFile second = Sheet("second.xls");
  EXPECT_EQ(second.At(5, 1)->number, 20);
  EXPECT_EQ(second.At(10, 2)->number, static_cast<double>(ValuesAt(8)[0]));
}

TEST_F(RecorderFinalWriteOnly, StopBeforeTheFirstTickWritesNothing) {
  CreateEmptySpreadsheet(folder_ / "test.xls");
  ASSERT_TRUE(logging_.Start(Settings(0, 1, 3), kCelsiusUnits));
  logging_.Stop();
  Tick();
  Tick();
  EXPECT_EQ(logging_.state(), CLogging::State::kIdle);
  EXPECT_TRUE(files_.empty());
  EXPECT_EQ(std::filesystem::file_size(folder_ / "test.xls"), 0u);
}

TEST_F(RecorderFinalWriteOnly, RefusesAStartItCannotRecord) {
  EXPECT_FALSE(logging_.Start(Settings(0, 1, 2), kCelsiusUnits));
  EXPECT_FALSE(logging_.Start(Settings(100, 0, 3), kCelsiusUnits));  // past the row limit
  EXPECT_EQ(logging_.state(), CLogging::State::kIdle);
  ASSERT_TRUE(logging_.Start(Settings(0, 1, 3), kCelsiusUnits));
  Tick();
  EXPECT_FALSE(logging_.Start(Settings(0, 2, 3, false, "other"), kCelsiusUnits));
  EXPECT_EQ(logging_.filePath().filename(), "test.xls");
}

TEST_F(RecorderFinalWriteOnly, AsksBeforeStopping) {
  ScriptedUi ui;
  EXPECT_FALSE(logging_.AskStop(ui));  // nothing to stop: no question
  EXPECT_TRUE(ui.questions.empty());

  ASSERT_TRUE(logging_.Start(Settings(0, 1, 3), kCelsiusUnits));
  EXPECT_EQ(logging_.ButtonCaption(), std::string("Record off"));
  EXPECT_EQ(logging_.StatusText(), std::string("running"));
  ui.answers = {false, true};
  EXPECT_FALSE(logging_.AskStop(ui));
  EXPECT_TRUE(logging_.active());
  EXPECT_TRUE(logging_.AskStop(ui));
  EXPECT_FALSE(logging_.active());
  EXPECT_EQ(ui.questions, (std::vector<std::string>(2, "Do you want to stop recording?")));
  EXPECT_EQ(logging_.ButtonCaption(), std::string("Start recording"));
  EXPECT_EQ(logging_.StatusText(), std::string("stop"));
}

TEST_F(RecorderFinalWriteOnly, FinishWritesAtOnce) {
  ASSERT_TRUE(logging_.Start(Settings(1, 0, 3), kCelsiusUnits));
  for (int i = 0; i < 4; ++i) Tick();
  logging_.Finish();
  EXPECT_EQ(logging_.state(), CLogging::State::kIdle);
  EXPECT_EQ(Sheet().At(5, 1)->number, 2);
}

TEST_F(RecorderFinalWriteOnly, SaveNowWritesWhatTheLastTickLeft) {
  logging_.SaveNow();  // idle: nothing to write
  EXPECT_TRUE(files_.empty());

  ASSERT_TRUE(logging_.Start(Settings(1, 0, 3), kCelsiusUnits));
  for (int i = 0; i < 4; ++i) Tick();  // rows at 1 and 4
  logging_.SaveNow();                  // running: a safe copy, the recording goes on
  ASSERT_EQ(files_.size(), 1u);
  EXPECT_FALSE(files_[0].final);
  EXPECT_EQ(Sheet().At(5, 1)->number, 2);
  EXPECT_EQ(logging_.rowsInFile(), 2);
  EXPECT_EQ(logging_.state(), CLogging::State::kRecording);
  logging_.SaveNow();  // no new row since: nothing written
  EXPECT_EQ(files_.size(), 1u);

  for (int i = 0; i < 3; ++i) Tick();  // row at 7
  logging_.Stop();
  logging_.SaveNow();  // stopped: the final file now, not at the next tick
  ASSERT_EQ(files_.size(), 2u);
  EXPECT_TRUE(files_[1].final && files_[1].ok);
  EXPECT_EQ(logging_.state(), CLogging::State::kIdle);
  EXPECT_EQ(Sheet().At(5, 1)->number, 3);
}

TEST(RecorderLifetime, WritesAPendingRecordingWhenDestroyed) {
  TempFolder folder;
  int calls = 0;
  {
    LoggingOptions options;
    options.folder = folder.path();
    options.checkpointTicks = 0;
    CLogging logging(options);
    logging.SetFileCallback([&calls](const FileWrite&) { ++calls; });
    ASSERT_TRUE(logging.Start(Settings(1, 0, 3), kCelsiusUnits));
    for (int tick = 1; tick <= 4; ++tick) logging.Tick(ValuesAt(tick));
  }
  EXPECT_EQ(calls, 0);  // no call back into a caller that may be gone
  EXPECT_EQ(ParseBiff(ReadBytes(folder / "test.xls")).At(5, 1)->number, 2);
}

TEST_F(RecorderFinalWriteOnly, ALostFileIsReportedNotFatal) {
  ASSERT_TRUE(logging_.Start(Settings(0, 1, 3), kCelsiusUnits));
  Tick();
  std::filesystem::remove_all(folder_.path());
  TickUntilIdle();
  ASSERT_EQ(files_.size(), 1u);
  EXPECT_FALSE(files_[0].ok);
  // The next recording starts clean.
  std::filesystem::create_directories(folder_.path());
  ASSERT_TRUE(logging_.Start(Settings(0, 1, 60), kCelsiusUnits));
  TickUntilIdle();
  EXPECT_EQ(Sheet().At(5, 1)->number, 1);
}

TEST_F(Recorder, KeepsACompleteFileOnDiskWhileRecording) {
  ASSERT_TRUE(logging_.Start(Settings(0, 5, 3), kCelsiusUnits));
  struct Check {
    int tick;
    double rows;  // "Values:" in the file on disk after this tick
  };
  // A safe copy right after the first row, then once a minute.
  const Check checks[] = {{1, 1}, {59, 1}, {60, 1}, {61, 21}, {120, 21}, {121, 41}};
  for (const Check& c : checks) {
    while (tick_ < c.tick) Tick();
    SCOPED_TRACE(c.tick);
    const BiffFile sheet = Sheet();
    ASSERT_TRUE(sheet.wellFormed);
    EXPECT_EQ(sheet.At(5, 1)->number, c.rows);
    EXPECT_EQ(sheet.At(9 + static_cast<int>(c.rows), 0)->number, c.rows);
  }
  TickUntilIdle();
  EXPECT_EQ(Sheet().At(5, 1)->number, 100);
  for (const auto& entry : std::filesystem::directory_iterator(folder_.path())) {
    EXPECT_EQ(entry.path().filename(), "test.xls");  // no temporary file left behind
  }
}

TEST_F(RecorderFinalWriteOnly, FillsTheSheetUpToTheRowLimit) {
  // 13 h 38 min at 3 s: 16360 rows, the last at sheet row 16369.
  ASSERT_TRUE(logging_.Start(Settings(13, 38, 3), kCelsiusUnits));
  TickUntilIdle();
  const BiffFile sheet = Sheet();
  ASSERT_TRUE(sheet.wellFormed);
  EXPECT_EQ(sheet.At(5, 1)->number, 16360);
  EXPECT_EQ(sheet.At(16369, 0)->number, 16360);
  EXPECT_EQ(sheet.At(10, 0)->number, 1);
}

TEST(RecorderUnits, FollowTheMainWindowLabels) {
  struct Case {
    OnlineUnitLabels labels;
    ChannelUnitTexts expected;
  };
  const Case cases[] = {
      {{"℃", "℃ Td", "℃ Td", "barg"}, {"C", "C Td", "C Td", "barg"}},
      {{"℃", "℃ Td atm", "℃ Td", "MPa"}, {"C", "C Td atm", "C Td", "MPa"}},
      {{"℃", "g/m3", "℃ Td", "PSI"}, {"C", "g/m3", "C Td", "PSI"}},
      {{"℃", "°F Td", "℃ Td", ""}, {"C", "°F Td", "C Td", ""}},
      {{"°F", "g/kg", "°F Td", "PSI"}, {"F", "g/kg", "F Td", "PSI"}},
      {{"°F", "°F Td", "°F Td", "barg"}, {"F", "F Td", "F Td", "barg"}},
      {{"°F", "°F Td atm", "°F Td", "barg"}, {"F", "F Td atm", "F Td", "barg"}},
      {{"", "ppm", "", "barg"}, {"", "ppm", "", "barg"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.labels.temperature + " / " + c.labels.altDewPoint);
    EXPECT_EQ(MakeChannelUnitTexts(c.labels), c.expected);
  }

  DeviceRecord record;
  record.fahrenheit = true;
  record.altDewPointUnit = 8;  // g/kg
  record.pressureUnit = '\'';  // PSI
  EXPECT_EQ(MakeChannelUnitTexts(OnlineUnitLabelsOf(record)),
            (ChannelUnitTexts{"F", "g/kg", "F Td", "PSI"}));
}

}  // namespace
}  // namespace korvin::test
