#include "device/update_check.h"

#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

#include "platform/clock.h"

namespace korvin {
namespace {

constexpr std::string_view kTitle = "KORVIN V1.1";
constexpr std::string_view kD810Key = "ROVA_FIRMWARE/D810 relaunch/FW_D810_";
constexpr std::string_view kD850Key = "ROVA_FIRMWARE/D850 sensor/FW_D850_";

// A page as the maker's site lists its files, each name in a link of its own line.
std::string Page(std::string_view softwareName, std::string_view firmwareName = "FW_D810_2_4") {
  return std::string("<html><body><ul>") + "<li><a href=\"/files/ROVA_SOFTWARE/KORVIN" +
         std::string(softwareName) + ".zip\">Software</a></li>" +
         "<li><a href=\"/files/ROVA_FIRMWARE/D810 relaunch/" + std::string(firmwareName) +
         ".zip\">Firmware</a></li>" +
         "<li><a href=\"/files/ROVA_FIRMWARE/D850 sensor/FW_D850_1_10.zip\">Firmware</a></li>" +
         "</ul></body></html>";
}

TEST(FindVersion, VersionInFrontOfTheZip) {
  struct Case {
    std::string page;
    std::string_view key;
    const char* version;
  };
  const Case cases[] = {
      {"xx ROVA_SOFTWARE/KORVIN_1_2.zip yy", kSoftwareSearchKey, "1.2"},
      {"ROVA_SOFTWARE/KORVIN_V1_1.zip", kSoftwareSearchKey, "1.1"},
      // Two digits after the separator: only the last three characters count.
      {"FW_D850_1_10.zip", kD850Key.substr(kD850Key.size() - 8), ".10"},
      // Only the first '_' in the window becomes a point.
      {"KEY__1_.zip", "KEY", ".1_"},
      {"KEY_12_.zip", "KEY", "12."},
      {"KEY1_2_3.zip", "KEY", "2.3"},
      // The ".zip" that follows the key, not the first one on the page.
      {"A_9_9.zip KEY_1_0.zip", "KEY", "1.0"},
      {"KEY_1_2.zip KEY_3_4.zip", "KEY", "1.2"},
      // Key, but no ".zip" after it; no key at all.
      {"A_9_9.zip KEY_1_0.rar", "KEY", ""},
      {"KEY_1_0.zip", "OTHER", ""},
      {"", "KEY", ""},
      // A 'z' in the window cuts the version short.
      {"KEYaz2.zip", "KEY", ""},
      {"KEYz12.zip", "KEY", ""},
      {"KEY1z2.zip", "KEY", ""},
      {"KEY12z.zip", "KEY", "1"},
      // An empty key matches at the page's start; a ".zip" near the start must stay in bounds.
      {"_1.zip", "", ".1"},
      {".zip", "", ""},
      {"1.zip", "", "1"},
      {"a_b_c.zipper", "", "b.c"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FindVersion(c.page, c.key), c.version) << c.page << " / " << c.key;
  }
}

TEST(UpdateCheck, SoftwareAgainstTheWindowTitle) {
  struct Case {
    std::string page;
    std::string_view title;
    UpdateStatus expected;
  };
  const Case cases[] = {
      {Page("_1_2"), kTitle, UpdateStatus::kNewer},
      {Page("_1_1"), kTitle, UpdateStatus::kNotNewer},  // equal is not newer
      {Page("_1_0"), kTitle, UpdateStatus::kNotNewer},
      {Page("_2_0"), "KORVIN v1.9 (test)", UpdateStatus::kNewer},
      {Page("_1_2"), "KORVIN 1.1", UpdateStatus::kUnknown},  // no version in the title
      {Page("_1_2"), "KORVIN Vx1.1 V1.3", UpdateStatus::kNotNewer},
      {"ROVA_SOFTWARE/KORVIN_1_2 (coming soon)", kTitle, UpdateStatus::kUnknown},
      {"", kTitle, UpdateStatus::kUnknown},
      // Only the last three characters are a version: 1_10 reads as 0.1, which is older.
      {Page("_1_10"), kTitle, UpdateStatus::kNotNewer},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(CheckSoftware(c.page, c.title), c.expected) << c.page << " / " << c.title;
  }
  EXPECT_EQ(TitleVersion(kTitle), "1.1");
  EXPECT_EQ(TitleVersion("KORVIN V2"), "2");
}

TEST(UpdateCheck, StatusTexts) {
  EXPECT_EQ(UpdateStatusText(UpdateStatus::kNewer), "Yes");
  EXPECT_EQ(UpdateStatusText(UpdateStatus::kNotNewer), "No");
  EXPECT_EQ(UpdateStatusText(UpdateStatus::kUnknown), "---");
}

TEST(UpdateCheck, FirmwareOfTheConnectedSensor) {
  UpdateChecker checker;
  checker.SetPageText(Page("_1_1", "FW_D810_2_4"));
  struct Step {
    uint16_t deviceType;
    const char* firmwareText;
    UpdateStatus expected;
    std::string_view keyAfter;
  };
  const Step steps[] = {
      {0x1030, "2.3", UpdateStatus::kNewer, kD810Key},
      {0x1030, "2.4", UpdateStatus::kNotNewer, kD810Key},
      {0x1030, "2.5", UpdateStatus::kNotNewer, kD810Key},
      // 1_10 on the page reads as 0.1.
      {0x1083, "0.0", UpdateStatus::kNewer, kD850Key},
      {0x1083, "0.1", UpdateStatus::kNotNewer, kD850Key},
      // An unknown type keeps the key of the sensor before it.
      {0x2222, "0.0", UpdateStatus::kNewer, kD850Key},
      {0x1024, "2.3", UpdateStatus::kNewer, kD810Key},
      {0x2222, "3.0", UpdateStatus::kNotNewer, kD810Key},
      // A key the page does not list.
      {0x1400, "1.0", UpdateStatus::kUnknown, "ROVA_FIRMWARE/D 720/FW_D720-M_"},
  };
  for (const Step& step : steps) {
    EXPECT_EQ(checker.CheckFirmware(step.deviceType, step.firmwareText), step.expected)
        << std::hex << step.deviceType << " " << step.firmwareText;
    EXPECT_EQ(checker.FirmwareKey(), step.keyAfter);
  }
}

TEST(UpdateCheck, UnknownFirstSensorSearchesWithAnEmptyKey) {
  UpdateChecker checker;
  // The empty key matches at the start: the first ".zip" of the page decides.
  checker.SetPageText("a_9_9.zip " + Page("_1_1"));
  EXPECT_EQ(checker.CheckFirmware(0x2222, "1.0"), UpdateStatus::kNewer);
  EXPECT_EQ(checker.FirmwareKey(), "");
  checker.SetPageText("no files listed");
  EXPECT_EQ(checker.CheckFirmware(0x2222, "1.0"), UpdateStatus::kUnknown);
}

// Serves scripted lines; each line takes its time on the virtual clock.
class ScriptedPageReader final : public DownloadPageReader {
 public:
  struct Line {
    std::string text;
    int64_t takesMs;
    bool ok = true;  // false: the read fails, handing over `text` as far as it came
  };

  ScriptedPageReader(VirtualClock& clock, bool opens, std::vector<Line> lines)
      : clock_(clock), opens_(opens), lines_(lines.begin(), lines.end()) {}

  bool Open(std::string_view url) override {
    openedUrl_ = url;
    clock_.SleepMs(openMs_);
    return opens_;
  }
  bool ReadLine(std::string& line) override {
    if (lines_.empty()) return false;
    const Line next = lines_.front();
    lines_.pop_front();
    clock_.SleepMs(next.takesMs);
    line = next.text;
    ++linesRead_;
    return next.ok;
  }
  void Close() override { ++closes_; }

  void SetOpenTime(int64_t ms) { openMs_ = ms; }

  std::string openedUrl_;
  int linesRead_ = 0;
  int closes_ = 0;

 private:
  VirtualClock& clock_;
  bool opens_;
  int64_t openMs_ = 0;
  std::deque<Line> lines_;
};

TEST(ReadDownloadPage, ConcatenatesLinesWithoutBreaks) {
  VirtualClock clock;
  ScriptedPageReader reader(
      clock, true, {{"<a>", 10}, {"", 10}, {"ROVA_SOFTWARE/", 10}, {"KORVIN_1_2.zip</a>", 10}});
  const std::string page = ReadDownloadPage(reader, clock);
  EXPECT_EQ(page, "<a>ROVA_SOFTWARE/KORVIN_1_2.zip</a>");
  EXPECT_EQ(reader.openedUrl_, kDownloadPageUrl);
  EXPECT_EQ(reader.closes_, 1);
  EXPECT_EQ(CheckSoftware(page, kTitle), UpdateStatus::kNewer);
}

TEST(ReadDownloadPage, StopsAfterTheLineThatCrossesThreeSeconds) {
  struct Case {
    int64_t openMs;
    std::vector<int64_t> lineMs;
    int expectedLines;
  };
  const Case cases[] = {
      {0, {1000, 1000, 999, 1, 1}, 4},  // 3000 ms reached exactly after line 4
      {0, {1000, 1000, 998, 1, 1}, 5},
      {0, {5000, 1}, 1},         // a slow first line is still kept
      {2500, {400, 100, 1}, 2},  // the connection time counts too
      {3000, {1, 1}, 1},
  };
  for (const Case& c : cases) {
    VirtualClock clock;
    std::vector<ScriptedPageReader::Line> lines;
    for (std::size_t i = 0; i < c.lineMs.size(); ++i) {
      lines.push_back({std::to_string(i), c.lineMs[i]});
    }
    ScriptedPageReader reader(clock, true, lines);
    reader.SetOpenTime(c.openMs);
    const std::string page = ReadDownloadPage(reader, clock);
    EXPECT_EQ(reader.linesRead_, c.expectedLines) << "open " << c.openMs;
    EXPECT_EQ(page.size(), static_cast<std::size_t>(c.expectedLines));
    EXPECT_EQ(reader.closes_, 1);
  }
}

TEST(ReadDownloadPage, FailuresKeepWhatArrived) {
  VirtualClock clock;
  ScriptedPageReader refused(clock, false, {{"never read", 1}});
  EXPECT_EQ(ReadDownloadPage(refused, clock), "");
  EXPECT_EQ(refused.linesRead_, 0);
  EXPECT_EQ(refused.closes_, 1);

  ScriptedPageReader broken(clock, true,
                            {{"ROVA_SOFTWARE/KOR", 5}, {"VIN_1_2.z", 5, false}, {"ip", 5}});
  const std::string partial = ReadDownloadPage(broken, clock);
  EXPECT_EQ(partial, "ROVA_SOFTWARE/KORVIN_1_2.z");
  EXPECT_EQ(CheckSoftware(partial, kTitle), UpdateStatus::kUnknown);
}

}  // namespace
}  // namespace korvin
