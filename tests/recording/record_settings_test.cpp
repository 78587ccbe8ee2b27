#include "recording/record_settings.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstring>
#include <functional>

#include "support/child_process.h"
#include "test_files.h"

namespace korvin::test {
namespace {

RecordSettings Sample() {
  RecordSettings s;
  s.hours = 2;
  s.minutes = 30;
  s.interval = 10;
  s.fileName = "test";
  s.description = "Dryer 3\r\nline B ℃";
  s.average = true;
  return s;
}

TEST(RecordSettingsFile, LaysOutTheFieldsLittleEndian) {
  RecordSettings s = Sample();
  s.hours = 0x01020304;
  s.minutes = -1;
  const RecordSettingsImage image = EncodeRecordSettings(s);
  const Bytes head(image.begin(), image.begin() + 17);
  EXPECT_EQ(head, (Bytes{0x04, 0x03, 0x02, 0x01, 0xFF, 0xFF, 0xFF, 0xFF, 10, 0, 0, 0, 't', 'e', 's',
                         't', 0}));
  // Description in code page 936, after the 20-byte name field; zeros behind the texts.
  const std::string description(reinterpret_cast<const char*>(&image[32]), 20);
  EXPECT_EQ(description, std::string("Dryer 3\r\nline B \xA1\xE6\0\0\0", 20));
  EXPECT_EQ(image[31], 0);
  EXPECT_EQ(image[131], 0);
  EXPECT_EQ(Bytes(image.begin() + 132, image.end()), (Bytes{1, 0, 0, 0}));
}

TEST(RecordSettingsFile, RoundTripsThroughTheFile) {
  TempFolder folder;
  const auto path = folder / kRecordSettingsFileName;
  ASSERT_TRUE(SaveRecordSettings(path, Sample()));
  EXPECT_EQ(ReadBytes(path).size(), kRecordSettingsSize);
  RecordSettings loaded;
  ASSERT_TRUE(LoadRecordSettings(path, loaded));
  EXPECT_EQ(loaded, Sample());
}

TEST(RecordSettingsFile, MissingFileLeavesTheRecord) {
  TempFolder folder;
  RecordSettings settings;
  EXPECT_FALSE(LoadRecordSettings(folder / kRecordSettingsFileName, settings));
  EXPECT_EQ(settings, RecordSettings{});
}

TEST(RecordSettingsFile, ShortFileFillsOnlyThePiecesItReaches) {
  const Bytes full = [] {
    const RecordSettingsImage image = EncodeRecordSettings(Sample());
    return Bytes(image.begin(), image.end());
  }();
  struct Case {
    size_t length;
    RecordSettings expected;
  };
  RecordSettings hoursOnly;
  hoursOnly.hours = 2;
  RecordSettings lowByteOfMinutes = hoursOnly;
  lowByteOfMinutes.minutes = 30;  // 30 fits the first byte; the others stay zero
  RecordSettings upToName = hoursOnly;
  upToName.minutes = 30;
  upToName.interval = 10;
  upToName.fileName = "te";
  RecordSettings allButAverage = Sample();
  allButAverage.average = false;
  const Case cases[] = {
      {0, RecordSettings{}}, {4, hoursOnly},       {5, lowByteOfMinutes},
      {14, upToName},        {132, allButAverage}, {136, Sample()},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.length);
    TempFolder folder;
    const auto path = folder / kRecordSettingsFileName;
    WriteBytes(path, Bytes(full.begin(), full.begin() + static_cast<long>(c.length)));
    RecordSettings loaded;
    ASSERT_TRUE(LoadRecordSettings(path, loaded));
    EXPECT_EQ(loaded, c.expected);
  }
}

TEST(RecordSettingsFile, UnterminatedTextsStayInsideTheirFields) {
  RecordSettingsImage image = EncodeRecordSettings(Sample());
  std::fill(image.begin() + 12, image.begin() + 132, 'n');
  const RecordSettings loaded = DecodeRecordSettings(image);
  EXPECT_EQ(loaded.fileName, std::string(kFileNameMaxLength, 'n'));
  EXPECT_EQ(loaded.description, std::string(kDescriptionMaxLength, 'n'));
}

TEST(RecordSettingsFile, SavingKeepsTheTailOfALongerFile) {
  TempFolder folder;
  const auto path = folder / kRecordSettingsFileName;
  Bytes old(150, 0xAA);
  WriteBytes(path, old);
  ASSERT_TRUE(SaveRecordSettings(path, Sample()));
  const Bytes now = ReadBytes(path);
  ASSERT_EQ(now.size(), 150u);
  const RecordSettingsImage image = EncodeRecordSettings(Sample());
  EXPECT_EQ(Bytes(now.begin(), now.begin() + 136), Bytes(image.begin(), image.end()));
  EXPECT_EQ(Bytes(now.begin() + 136, now.end()), Bytes(14, 0xAA));
}

TEST(RecordSettingsFile, BytesBehindTheTextsGoBackOutAsTheyCame) {
  // A file whose text fields hold more behind their terminators, as a buffer that once held a
  // longer text leaves them.
  Bytes file(kRecordSettingsSize, 0);
  file[0] = 1;
  file[8] = 5;
  const std::string name = std::string("ab\0", 3) + "OLDNAME-TAIL";
  const std::string description = std::string("d\0", 2) + std::string(60, 'Q');
  std::memcpy(&file[12], name.data(), name.size());
  std::memcpy(&file[32], description.data(), description.size());
  file[132] = 1;

  struct Case {
    const char* name;
    std::function<void(RecordSettings&)> change;
    std::function<void(Bytes&)> expect;  // from the loaded bytes to the saved ones
  };
  const Case cases[] = {
      {"nothing changed", [](RecordSettings&) {}, [](Bytes&) {}},
      {"shorter name: only its bytes and terminator change",
       [](RecordSettings& s) { s.fileName = "x"; },
       [](Bytes& b) {
         b[12] = 'x';
         b[13] = 0;
       }},
      {"longer description writes over the tail",
       [](RecordSettings& s) { s.description = "dryer"; },
       [](Bytes& b) { std::memcpy(&b[32], "dryer", 6); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempFolder folder;
    const auto path = folder / kRecordSettingsFileName;
    WriteBytes(path, file);
    RecordSettings settings;
    ASSERT_TRUE(LoadRecordSettings(path, settings));
    EXPECT_EQ(settings.fileName, "ab");
    EXPECT_EQ(settings.description, "d");
    c.change(settings);
    ASSERT_TRUE(SaveRecordSettings(path, settings));
    Bytes expected = file;
    c.expect(expected);
    EXPECT_EQ(ReadBytes(path), expected);
  }
}

TEST(RecordSettingsFile, SavingNeverCutsAFileItCannotReadBack) {
  TempFolder folder;
  const auto path = folder / kRecordSettingsFileName;
  WriteBytes(path, Bytes(150, 0xAA));
  ASSERT_EQ(chmod(path.c_str(), 0200), 0);  // write-only
  ASSERT_TRUE(GiveToChildUser(path));
  ChildLimits limits;
  limits.dropRoot = true;
  EXPECT_EQ(RunInChild(limits, [&] { return SaveRecordSettings(path, Sample()) ? 0 : 1; }), 0);
  const Bytes now = ReadBytes(path);
  ASSERT_EQ(now.size(), 150u);
  const RecordSettingsImage image = EncodeRecordSettings(Sample());
  EXPECT_EQ(Bytes(now.begin(), now.begin() + 136), Bytes(image.begin(), image.end()));
  EXPECT_EQ(Bytes(now.begin() + 136, now.end()), Bytes(14, 0xAA));
}

TEST(RecordSettingsFile, SavingFailsWhereNoFileCanBe) {
  TempFolder folder;
  EXPECT_FALSE(SaveRecordSettings(folder / "missing" / kRecordSettingsFileName, Sample()));
}

TEST(RecordSettingsChecks, ReportTheFirstFailureInOrder) {
  struct Case {
    const char* name;
    std::function<void(RecordSettings&)> change;
    std::optional<std::string> message;
  };
  const Case cases[] = {
      {"valid", [](RecordSettings&) {}, std::nullopt},
      {"1 min at 3 s", [](RecordSettings& s) { s.hours = 0, s.minutes = 1, s.interval = 3; },
       std::nullopt},
      {"interval 2", [](RecordSettings& s) { s.interval = 2; }, kMsgInterval},
      {"negative hours, zero minutes", [](RecordSettings& s) { s.hours = -1, s.minutes = 0; },
       kMsgNegativePeriod},
      {"negative minutes", [](RecordSettings& s) { s.minutes = -5; }, kMsgNegativePeriod},
      {"negative before everything else",
       [](RecordSettings& s) { s.hours = -1, s.interval = 0, s.fileName = ""; },
       kMsgNegativePeriod},
      {"zero period", [](RecordSettings& s) { s.hours = 0, s.minutes = 0; }, kMsgZeroPeriod},
      {"zero period before interval",
       [](RecordSettings& s) { s.hours = 0, s.minutes = 0, s.interval = 1; }, kMsgZeroPeriod},
      {"interval before file name", [](RecordSettings& s) { s.interval = 0, s.fileName = ""; },
       kMsgInterval},
      {"empty file name", [](RecordSettings& s) { s.fileName = ""; }, kMsgFileName},
      {"name leaving the folder", [](RecordSettings& s) { s.fileName = "../x"; }, kMsgFileName},
      {"name with backslash", [](RecordSettings& s) { s.fileName = "a\\b"; }, kMsgFileName},
      {"19-character name", [](RecordSettings& s) { s.fileName = std::string(19, 'n'); },
       std::nullopt},
      {"20-character name", [](RecordSettings& s) { s.fileName = std::string(20, 'n'); },
       kMsgFileNameTooLong},
      {"10 Chinese characters are 20 bytes",
       [](RecordSettings& s) { s.fileName = "露点露点露点露点露点"; }, kMsgFileNameTooLong},
      {"chinese name", [](RecordSettings& s) { s.fileName = "露点"; }, std::nullopt},
      {"name outside code page 936", [](RecordSettings& s) { s.fileName = "\xF0\x9F\x98\x80x"; },
       FileNameCodePageMessage("\xF0\x9F\x98\x80")},
      {"name that is no UTF-8", [](RecordSettings& s) { s.fileName = "a\xE9"; },
       kMsgFileNameNotText},
      {"name with a tab", [](RecordSettings& s) { s.fileName = "a\tb"; }, kMsgFileNameCharacters},
      {"99-character description", [](RecordSettings& s) { s.description = std::string(99, 'd'); },
       std::nullopt},
      {"description outside code page 936 is no reason to refuse",
       [](RecordSettings& s) { s.description = "\xF0\x9F\x98\x80"; }, std::nullopt},
      {"line breaks take two bytes",
       [](RecordSettings& s) {
         s.description = std::string(49, 'd') + "\r\n" + std::string(49, 'd');
       },
       kMsgDescriptionTooLong},
      {"100-character description",
       [](RecordSettings& s) { s.description = std::string(100, 'd'); }, kMsgDescriptionTooLong},
      // At most 16374 rows fit below the header: 13 h 38 min at 3 s gives 16360, 13 h 39 min
      // 16380.
      {"last row that fits",
       [](RecordSettings& s) { s.hours = 13, s.minutes = 38, s.interval = 3; }, std::nullopt},
      {"one row too many", [](RecordSettings& s) { s.hours = 13, s.minutes = 39, s.interval = 3; },
       TooManyRowsMessage()},
      {"100 h at 3 s", [](RecordSettings& s) { s.hours = 100, s.interval = 3; },
       TooManyRowsMessage()},
      {"hours beyond 32-bit seconds",
       [](RecordSettings& s) { s.hours = 2000000000, s.interval = 2000000000; }, std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RecordSettings s = Sample();
    c.change(s);
    EXPECT_EQ(CheckRecordSettings(s), c.message);
  }
  // Every character the other platform cannot take in a file name.
  for (const char reserved : std::string("<>:\"|?*")) {
    SCOPED_TRACE(reserved);
    RecordSettings s = Sample();
    s.fileName = std::string("run") + reserved;
    EXPECT_EQ(CheckRecordSettings(s), kMsgFileNameCharacters);
  }
}

TEST(RecordSettingsChecks, StoredTextsFitByTheirBytes) {
  struct Case {
    std::string text;
    size_t maxBytes;
    std::string fitted;
  };
  const Case cases[] = {
      {"abc", 3, "abc"},
      {"abcd", 3, "abc"},
      {"露点", 3, "露"},   // two bytes each
      {"a\r\nb", 2, "a"},  // the line break stays whole
      {"a\r\nb", 3, "a\r\n"},
      {"\xF0\x9F\x98\x80"
       "ab",
       2,
       "\xF0\x9F\x98\x80"
       "a"},  // stored as one "?"
      {"", 5, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    const std::string fitted = FitStoredText(c.text, c.maxBytes);
    EXPECT_EQ(fitted, c.fitted);
    EXPECT_LE(StoredTextLength(fitted), c.maxBytes);
  }
}

TEST(RecordSettingsChecks, PlannedRowsFollowTheTicks) {
  EXPECT_EQ(PlannedRowCount(60, 3), 20);  // ticks 1, 4, ..., 58
  EXPECT_EQ(PlannedRowCount(60, 60), 1);  // tick 1
  EXPECT_EQ(PlannedRowCount(60, 59), 1);  // tick 60 ends the recording first
  EXPECT_EQ(PlannedRowCount(60, 58), 2);  // ticks 1 and 59
  EXPECT_EQ(PlannedRowCount(3600, 5), 720);
  EXPECT_NE(TooManyRowsMessage().find("16374"), std::string::npos);
}

}  // namespace
}  // namespace korvin::test
