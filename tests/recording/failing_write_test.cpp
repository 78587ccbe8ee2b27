// Writes of the recording that fail half-way: a file size limit (what a full disk or a quota
// looks like to the program) and a folder that takes no new file. Each runs in a child process,
// so the limits never reach the test program.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>

#include "platform/writable_file.h"
#include "recording/c_logging.h"
#include "support/child_process.h"
#include "test_files.h"

namespace korvin::test {
namespace {

// Exit codes of the recording child: what went differently from the plan.
constexpr int kChildOk = 0;
constexpr int kChildRefused = 10;
constexpr int kChildNoFinalWrite = 11;
constexpr int kChildFinalOutcome = 12;
constexpr int kChildNotReported = 13;
constexpr int kChildRowsInFile = 14;
constexpr int kChildError = 15;
constexpr int kChildLimit = 16;

// Two minutes at 3 s: rows at ticks 1, 4, ..., 118 (40 rows); safe copies after tick 1 and
// tick 61 (21 rows); the final write at tick 121.
constexpr int kSafeCopyTick = 61;
constexpr int kRowsAtSafeCopy = 21;
constexpr int kRowsRecorded = 40;

RecordSettings TwoMinutes() {
  RecordSettings s;
  s.minutes = 2;
  s.interval = 3;
  s.fileName = "limit";
  s.description = "Dryer 3 露点";
  return s;
}

// The recording, with the file size limit set right after the safe copy of tick 61 when
// `limited`. Returns kChildOk when the final write ended as `finalOk` says and was reported
// (or not) accordingly.
int RecordInChild(const std::filesystem::path& folder, bool limited, bool finalOk) {
  LoggingOptions options;
  options.folder = folder;
  CLogging logging(options);
  std::optional<FileWrite> final;
  logging.SetFileCallback([&](const FileWrite& write) {
    if (write.final) final = write;
  });
  if (!logging.Start(TwoMinutes(), {"C", "g/m3", "C Td", "barg"})) return kChildRefused;
  for (int tick = 1; logging.state() != CLogging::State::kIdle; ++tick) {
    logging.Tick({20.0f + tick, 1.0f, -40.0f, 7.0f});
    if (tick == kSafeCopyTick && limited) {
      std::error_code error;
      const auto size = std::filesystem::file_size(folder / "limit.xls", error);
      if (error || !LimitFileSize(size + 1)) return kChildLimit;
    }
  }
  if (!final) return kChildNoFinalWrite;
  if (final->ok != finalOk) return kChildFinalOutcome;
  if (finalOk) return kChildOk;
  if (!final->report) return kChildNotReported;
  if (final->rowsInFile != kRowsAtSafeCopy || final->rowsRecorded != kRowsRecorded) {
    return kChildRowsInFile;
  }
  if (final->error != std::errc::file_too_large) return kChildError;
  return kChildOk;
}

TEST(FailingWrite, TheLastSafeCopyStaysReadable) {
  struct Case {
    const char* name;
    bool lockedFolder;  // no new file can be made beside the spreadsheet
    bool limited;
    int rows;  // "Values:" of the file afterwards
  };
  const Case cases[] = {
      {"size limit at the final write", false, true, kRowsAtSafeCopy},
      {"folder takes no new file, size limit", true, true, kRowsAtSafeCopy},
      {"folder takes no new file, room enough", true, false, kRowsRecorded},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempFolder folder;
    const auto sheet = folder / "limit.xls";
    ASSERT_TRUE(CreateEmptySpreadsheet(sheet));
    ChildLimits limits;
    if (c.lockedFolder) {
      limits.dropRoot = true;
      ASSERT_TRUE(GiveToChildUser(sheet));
      if (geteuid() != 0) {
        ASSERT_EQ(chmod(folder.path().c_str(), 0555), 0);
      }
    }
    const int status = RunInChild(
        limits, [&] { return RecordInChild(folder.path(), c.limited, c.rows == kRowsRecorded); });
    chmod(folder.path().c_str(), 0755);
    EXPECT_EQ(status, kChildOk);

    const BiffFile file = ParseBiff(ReadBytes(sheet));
    ASSERT_TRUE(file.wellFormed);
    ASSERT_NE(file.At(5, 1), nullptr);
    EXPECT_EQ(file.At(5, 1)->number, c.rows);
    EXPECT_EQ(file.At(9 + c.rows, 0)->number, c.rows);
    EXPECT_EQ(file.At(10 + c.rows, 0), nullptr);
    if (std::filesystem::exists(kPython)) {
      EXPECT_EQ(XlrdSummary(sheet),
                "values " + std::to_string(c.rows) + " rows " + std::to_string(10 + c.rows) + "\n");
    }
    for (const auto& entry : std::filesystem::directory_iterator(folder.path())) {
      EXPECT_EQ(entry.path().filename(), "limit.xls");  // no temporary file left behind
    }
  }
}

TEST(FailingWrite, ReportTellsWhatTheFileStillHolds) {
  FileWrite write;
  write.path = "/data/dryer3.xls";
  write.final = true;
  write.rowsRecorded = 40;
  write.rowsInFile = 21;
  write.error = std::make_error_code(std::errc::no_space_on_device);
  EXPECT_EQ(FileWriteFailureText(write),
            "Write file error! dryer3.xls could not be written (No space left on device). The "
            "file keeps its last safe copy: 21 of 40 rows.");
  write.final = false;
  write.rowsInFile = 0;
  EXPECT_EQ(FileWriteFailureText(write),
            "Write file error! dryer3.xls could not be brought up to date (No space left on "
            "device). The recording goes on. None of the 40 rows are in the file.");
}

TEST(FailingWrite, RoomIsTakenBeforeAnyByteIsWrittenOver) {
  TempFolder folder;
  const auto path = folder / "kept.bin";
  const Bytes old(50, 'a');
  WriteBytes(path, old);
  constexpr int kReserveRefused = 20;
  constexpr int kWrongError = 21;
  const int status = RunInChild({}, [&] {
    if (!LimitFileSize(100)) return 1;
    WritableFile file(path);
    if (file.Reserve(200)) return kReserveRefused;
    if (file.error() != std::errc::file_too_large) return kWrongError;
    return file.Reserve(80) ? 0 : kReserveRefused;
  });
  EXPECT_EQ(status, 0);
  // The refused room left the file as it was; the granted one only made room.
  const Bytes now = ReadBytes(path);
  ASSERT_GE(now.size(), old.size());
  EXPECT_EQ(Bytes(now.begin(), now.begin() + 50), old);
}

}  // namespace
}  // namespace korvin::test
