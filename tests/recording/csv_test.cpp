// The CSV beside the spreadsheet: its lines, a file that takes one synced line at a time and
// keeps the lines it could not take, and the recorder that writes it, past the sheet's last row,
// through failing writes and when it is killed.

#include "recording/csv_file.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <sstream>

#include "recorder_rig.h"
#include "recording/c_logging.h"
#include "support/child_process.h"
#include "test_files.h"

namespace korvin::test {
namespace {

const ChannelUnitTexts kUnits = {"C", "g/m3", "C Td", "barg"};
constexpr const char* kHeader = "No.,Time,CH 1 [C],CH 2 [g/m3],CH 3 [C Td],CH 4 [barg]";
constexpr int kOneHour = 3600;

std::vector<std::string> Fields(const std::string& line) {
  std::vector<std::string> fields;
  std::istringstream in(line);
  for (std::string field; std::getline(in, field, ',');) fields.push_back(field);
  return fields;
}

RecordSettings Settings(int hours, int minutes, int interval, const std::string& name,
                        bool csv = true) {
  RecordSettings s;
  s.hours = hours;
  s.minutes = minutes;
  s.interval = interval;
  s.fileName = name;
  s.csv = csv;
  return s;
}

TEST(CsvLines, HeaderNamesTheChannelsWithTheirUnits) {
  EXPECT_EQ(CsvHeaderLine(kUnits), kHeader);
  // A field that holds a separator or a quote is quoted, its quotes doubled.
  EXPECT_EQ(CsvHeaderLine({"°F", "a,b", "say \"x\"", ""}),
            "No.,Time,CH 1 [°F],\"CH 2 [a,b]\",\"CH 3 [say \"\"x\"\"]\",CH 4 []");
}

TEST(CsvLines, RowsCarryTheLocalTimeWithItsOffset) {
  struct Case {
    int offsetSeconds;
    const char* stamp;
  };
  const Case cases[] = {
      {kOneHour, "2024-03-05T08:30:01+01:00"},
      {0, "2024-03-05T08:30:01+00:00"},
      {-(3 * kOneHour + 30 * 60), "2024-03-05T08:30:01-03:30"},
      {5 * kOneHour + 45 * 60, "2024-03-05T08:30:01+05:45"},
      {-10 * kOneHour, "2024-03-05T08:30:01-10:00"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.stamp);
    const LocalDateTime time{2024, 3, 5, 8, 30, 1, c.offsetSeconds};
    EXPECT_EQ(CsvRowLine(7, time, {20.1f, 5.5f, -40.25f, 7.0f}),
              std::string("7,") + c.stamp + ",20.1,5.5,-40.25,7");
  }
}

TEST(CsvLines, TheComputersClockGivesItsOffset) {
  const char* const saved = std::getenv("TZ");
  const std::string before = saved != nullptr ? saved : "";
  struct Case {
    const char* zone;  // POSIX form: the name, then the hours to add to reach UTC
    int offsetSeconds;
  };
  for (const Case& c : {Case{"KRV-5:45", 5 * kOneHour + 45 * 60},
                        Case{"KRV+3:30", -(3 * kOneHour + 30 * 60)}, Case{"UTC0", 0}}) {
    SCOPED_TRACE(c.zone);
    setenv("TZ", c.zone, 1);
    tzset();
    EXPECT_EQ(CurrentLocalTime().utcOffsetSeconds, c.offsetSeconds);
  }
  if (saved != nullptr) {
    setenv("TZ", before.c_str(), 1);
  } else {
    unsetenv("TZ");
  }
  tzset();
}

TEST(CsvLines, NumbersReadBackAsTheSameFloat) {
  const float values[] = {0.1f, 1.0f / 3.0f, 23.01099f, -123456.78f, 1e-5f, 3.4e38f, 0.0f};
  for (const float value : values) {
    SCOPED_TRACE(value);
    const std::vector<std::string> fields = Fields(CsvRowLine(1, {}, {value, value, value, value}));
    ASSERT_EQ(fields.size(), 6u);
    for (size_t i = 2; i < fields.size(); ++i) {
      EXPECT_EQ(fields[i].find_first_of("eE"), std::string::npos) << fields[i];
      EXPECT_EQ(std::strtof(fields[i].c_str(), nullptr), value) << fields[i];
    }
  }
}

TEST(CsvFileTest, AWriteCutShortLeavesOnlyWholeLines) {
  TempFolder folder;
  const auto path = folder / "cut.csv";
  const std::string header = "header";
  const std::string row(40, 'r');
  const size_t twoLines = header.size() + row.size() + 4;
  // What the child found out of plan, by step.
  constexpr int kNoLimit = 20;
  constexpr int kFirstLinesRefused = 21;
  constexpr int kCutNotTold = 22;
  constexpr int kTornLineLeft = 23;
  constexpr int kNotWrittenWithRoom = 24;
  const int status = RunInChild({}, [&] {
    // The file may not grow past the middle of the third line, as on a full disk.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit{};
    if (getrlimit(RLIMIT_FSIZE, &limit) != 0) return kNoLimit;
    const rlim_t room = limit.rlim_cur;
    limit.rlim_cur = twoLines + 10;
    if (setrlimit(RLIMIT_FSIZE, &limit) != 0) return kNoLimit;
    CsvFile csv;
    if (!csv.Start(path, header) || !csv.Append(row)) return kFirstLinesRefused;
    if (csv.Append(row) || csv.error() != std::errc::file_too_large) return kCutNotTold;
    if (std::filesystem::file_size(path) != twoLines) return kTornLineLeft;
    // Room again: the waiting line goes out with the next one.
    limit.rlim_cur = room;
    if (setrlimit(RLIMIT_FSIZE, &limit) != 0) return kNoLimit;
    if (!csv.Append(row) || csv.linesInFile() != 4 || !csv.Close()) return kNotWrittenWithRoom;
    return 0;
  });
  EXPECT_EQ(status, 0);
  const CsvText text = ReadCsv(path);
  EXPECT_EQ(text.lines, (std::vector<std::string>{header, row, row, row}));
  EXPECT_TRUE(text.tail.empty());
}

// The recorder on counted ticks at UTC+1, with the rows and the writes of the sheet and the CSV.
class CsvRecorder : public RecorderRig {
 protected:
  explicit CsvRecorder(const std::filesystem::path& base = std::filesystem::temp_directory_path(),
                       int checkpointTicks = 60)
      : RecorderRig(base, checkpointTicks, kOneHour) {
    logging_.SetRowCallback([this](const RecordedRow& row) { rows_.push_back(row); });
    logging_.SetFileCallback([this](const FileWrite& write) {
      (write.kind == FileKind::kCsv ? csvWrites_ : sheetWrites_).push_back(write);
    });
  }

  int CsvReports() const {
    int reports = 0;
    for (const FileWrite& write : csvWrites_) reports += write.report ? 1 : 0;
    return reports;
  }

  std::vector<RecordedRow> rows_;
  std::vector<FileWrite> sheetWrites_;
  std::vector<FileWrite> csvWrites_;
};

// Sixteen thousand synced rows: on a memory file system, and the sheet written only at the end.
class LongCsvRecorder : public CsvRecorder {
 protected:
  LongCsvRecorder() : CsvRecorder(FastTempBase(), 0) {}
};

TEST_F(LongCsvRecorder, GoesOnInTheCsvOnceTheSheetIsFull) {
  // 13 h 39 min at 3 s: 16380 rows, six more than the sheet holds.
  RecordSettings settings = Settings(13, 39, 3, "long", false);
  EXPECT_EQ(CheckRecordSettings(settings), TooManyRowsMessage());
  settings.csv = true;
  EXPECT_FALSE(CheckRecordSettings(settings).has_value());
  ASSERT_TRUE(logging_.Start(settings, kUnits));

  while (rows_.size() < static_cast<size_t>(kMaxRecordedRows)) {
    Tick();
    ASSERT_FALSE(logging_.TakeSheetFull()) << tick_;
  }
  EXPECT_EQ(logging_.StatusText(), std::string("running"));
  EXPECT_TRUE(rows_.back().inSheet);
  EXPECT_EQ(rows_.back().sheetRow, 16383);
  while (rows_.size() == static_cast<size_t>(kMaxRecordedRows)) Tick();
  EXPECT_TRUE(logging_.TakeSheetFull());
  EXPECT_FALSE(logging_.TakeSheetFull());  // told once
  EXPECT_EQ(logging_.StatusText(), std::string("sheet full"));
  EXPECT_FALSE(rows_.back().inSheet);
  EXPECT_EQ(rows_.back().number, 16375);
  EXPECT_EQ(ReadCsv(folder_ / "long.csv").lines.size(), 16376u);  // the header and every row

  TickUntilIdle();
  EXPECT_EQ(logging_.StatusText(), std::string("stop"));
  ASSERT_EQ(rows_.size(), 16380u);
  EXPECT_EQ(logging_.rowCount(), 16380);
  EXPECT_EQ(logging_.sheetRowCount(), 16374);

  // The sheet holds its first 16374 rows and is written as always.
  const BiffFile sheet = ParseBiff(ReadBytes(folder_ / "long.xls"));
  ASSERT_TRUE(sheet.wellFormed);
  EXPECT_EQ(sheet.At(5, 1)->number, 16374);
  EXPECT_EQ(sheet.At(16383, 0)->number, 16374);
  EXPECT_EQ(sheet.At(16384, 0), nullptr);
  if (std::filesystem::exists(kPython)) {
    EXPECT_EQ(XlrdSummary(folder_ / "long.xls"), "values 16374 rows 16384\n");
  }
  ASSERT_EQ(sheetWrites_.size(), 1u);
  EXPECT_TRUE(sheetWrites_[0].ok && sheetWrites_[0].final);
  EXPECT_EQ(sheetWrites_[0].rowsRecorded, 16374);

  // The CSV holds them all.
  const CsvText csv = ReadCsv(folder_ / "long.csv");
  ASSERT_EQ(csv.lines.size(), 16381u);
  EXPECT_TRUE(csv.tail.empty());
  EXPECT_EQ(csv.lines[0], kHeader);
  for (const size_t row : {size_t{1}, size_t{16374}, size_t{16375}, size_t{16380}}) {
    SCOPED_TRACE(row);
    const RecordedRow& recorded = rows_[row - 1];
    const std::vector<std::string> fields = Fields(csv.lines[row]);
    ASSERT_EQ(fields.size(), 6u);
    EXPECT_EQ(fields[0], std::to_string(row));
    EXPECT_EQ(fields[1].substr(11, 8), recorded.time);
    for (int ch = 0; ch < kChannelCount; ++ch) {
      EXPECT_EQ(std::strtof(fields[2 + ch].c_str(), nullptr), recorded.values[ch]);
    }
  }
  ASSERT_EQ(csvWrites_.size(), 1u);  // the end; no row failed
  EXPECT_TRUE(csvWrites_[0].ok && csvWrites_[0].final);
  EXPECT_EQ(csvWrites_[0].rowsInFile, 16380);
}

TEST_F(CsvRecorder, AFailingCsvIsToldOnceAndStopsNothing) {
  struct Case {
    const char* name;
    int clearedAtTick;  // the directory in the way of the CSV goes after this tick; kNever
  };
  constexpr int kNever = -1;
  for (const Case c : {Case{"in the way to the end", kNever}, Case{"in the way for a while", 30}}) {
    SCOPED_TRACE(c.name);
    const std::string name = c.clearedAtTick == kNever ? "blocked" : "cleared";
    std::filesystem::create_directory(folder_ / (name + ".csv"));
    rows_.clear();
    sheetWrites_.clear();
    csvWrites_.clear();
    ASSERT_TRUE(logging_.Start(Settings(0, 1, 3, name), kUnits));
    ASSERT_EQ(csvWrites_.size(), 1u);
    EXPECT_TRUE(csvWrites_[0].report);
    EXPECT_EQ(FileWriteFailureText(csvWrites_[0]),
              "Write file error! " + name +
                  ".csv could not be brought up to date (Is a directory). The recording goes on. "
                  "The rows are written as soon as the file takes them.");
    const int start = tick_;
    while (logging_.state() != CLogging::State::kIdle) {
      if (tick_ - start == c.clearedAtTick) std::filesystem::remove(folder_ / (name + ".csv"));
      Tick();
    }
    EXPECT_EQ(rows_.size(), 20u);  // the recording went on
    ASSERT_FALSE(sheetWrites_.empty());
    EXPECT_TRUE(sheetWrites_.back().final && sheetWrites_.back().ok);
    EXPECT_EQ(ParseBiff(ReadBytes(folder_ / (name + ".xls"))).At(5, 1)->number, 20);

    if (csvWrites_.size() > 1) {
      FileWrite row = csvWrites_[1];  // a row that failed too
      EXPECT_FALSE(row.report);
      EXPECT_EQ(FileWriteFailureText(row),
                "Write file error! " + name +
                    ".csv could not be brought up to date (Is a directory). The recording goes "
                    "on. The file holds 0 of 1 rows; the others are written as soon as it takes "
                    "them.");
    }
    const FileWrite& end = csvWrites_.back();
    EXPECT_TRUE(end.final);
    EXPECT_EQ(end.rowsRecorded, 20);
    if (c.clearedAtTick == kNever) {
      EXPECT_FALSE(end.ok);
      EXPECT_EQ(CsvReports(), 2);  // the first failure and the end
      EXPECT_EQ(FileWriteFailureText(end),
                "Write file error! blocked.csv could not be written (Is "
                "a directory). The file holds 0 of 20 rows.");
    } else {
      EXPECT_TRUE(end.ok);
      EXPECT_EQ(CsvReports(), 1);
      const CsvText csv = ReadCsv(folder_ / "cleared.csv");
      ASSERT_EQ(csv.lines.size(), 21u);
      for (size_t row = 1; row < csv.lines.size(); ++row) {
        EXPECT_EQ(Fields(csv.lines[row])[0], std::to_string(row));
      }
    }
  }
}

TEST_F(CsvRecorder, EachStartReplacesTheCsvAndOnlyACsvRecordingWritesOne) {
  ASSERT_TRUE(logging_.Start(Settings(0, 1, 3, "same"), kUnits));
  TickUntilIdle();
  EXPECT_EQ(ReadCsv(folder_ / "same.csv").lines.size(), 21u);

  // Stopped before its first tick: the new CSV holds the header alone.
  ASSERT_TRUE(logging_.Start(Settings(0, 1, 3, "same"), kUnits));
  logging_.Stop();
  Tick();
  EXPECT_EQ(logging_.state(), CLogging::State::kIdle);
  EXPECT_EQ(ReadCsv(folder_ / "same.csv").lines, std::vector<std::string>{kHeader});
  ASSERT_FALSE(csvWrites_.empty());
  EXPECT_TRUE(csvWrites_.back().final && csvWrites_.back().ok);

  // Without the CSV no CSV is made, and the one there stays as it was.
  csvWrites_.clear();
  ASSERT_TRUE(logging_.Start(Settings(0, 1, 3, "same", false), kUnits));
  TickUntilIdle();
  ASSERT_TRUE(logging_.Start(Settings(0, 1, 3, "plain", false), kUnits));
  TickUntilIdle();
  EXPECT_TRUE(csvWrites_.empty());
  EXPECT_EQ(ReadCsv(folder_ / "same.csv").lines, std::vector<std::string>{kHeader});
  EXPECT_FALSE(std::filesystem::exists(folder_ / "plain.csv"));
}

TEST(CsvCrash, AKilledRecorderLeavesOnlyWholeLines) {
  // On the real disk, where a row takes its time to be synced: the kill lands while rows are
  // being written.
  TempFolder folder;
  constexpr int kRowsBeforeKill = 150;
  int pipeEnds[2];
  ASSERT_EQ(pipe(pipeEnds), 0);
  const pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    // The recorder, telling the parent each row it has stored, until it is killed.
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    close(pipeEnds[0]);
    LoggingOptions options;
    options.folder = folder.path();
    CLogging logging(options);
    logging.SetRowCallback([&](const RecordedRow& row) {
      if (write(pipeEnds[1], &row.number, sizeof row.number) < 0) _exit(2);
    });
    if (!logging.Start(Settings(100, 0, 3, "crash"), kUnits)) _exit(1);
    for (int tick = 1; logging.state() != CLogging::State::kIdle; ++tick) {
      logging.Tick(ValuesAt(tick));
    }
    _exit(0);
  }
  close(pipeEnds[1]);
  int told = 0;
  for (int number = 0;
       told < kRowsBeforeKill && read(pipeEnds[0], &number, sizeof number) == sizeof number;) {
    told = number;
  }
  kill(pid, SIGKILL);
  waitpid(pid, nullptr, 0);
  close(pipeEnds[0]);
  ASSERT_EQ(told, kRowsBeforeKill);

  // Every row the recorder had stored is there, and no line is torn.
  const CsvText csv = ReadCsv(folder / "crash.csv");
  EXPECT_TRUE(csv.tail.empty()) << csv.tail;
  ASSERT_GT(csv.lines.size(), static_cast<size_t>(told));
  EXPECT_EQ(csv.lines[0], kHeader);
  for (size_t row = 1; row < csv.lines.size(); ++row) {
    SCOPED_TRACE(row);
    const std::vector<std::string> fields = Fields(csv.lines[row]);
    ASSERT_EQ(fields.size(), 6u);
    EXPECT_EQ(fields[0], std::to_string(row));
    const int tick = 1 + 3 * static_cast<int>(row - 1);
    for (int ch = 0; ch < kChannelCount; ++ch) {
      EXPECT_EQ(std::strtof(fields[2 + ch].c_str(), nullptr), ValuesAt(tick)[ch]);
    }
  }
}

}  // namespace
}  // namespace korvin::test
