// The main window without widgets, against the virtual sensor on a virtual clock: start-up and
// its settings files, the enable rules, connect and disconnect, polling, recording and the task
// hooks.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <memory>

#include "app/c_merido_app.h"
#include "app/c_merido_dlg.h"
#include "app/com_settings.h"
#include "gui/gui_test_support.h"
#include "platform/clock.h"
#include "platform/event_pump.h"
#include "sim/sensor_model.h"
#include "sim/sim_serial_port.h"
#include "support/biff_reader.h"
#include "support/child_process.h"
#include "support/scripted_ui.h"

namespace korvin {
namespace {

using test::ReadBytes;
using test::ScriptedHost;
using test::ScriptedPageReader;
using test::ScriptedUi;
using test::TempFolder;
using test::WriteBytes;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

using Bytes = std::vector<uint8_t>;
using Captions = std::vector<std::string>;

// The captions of the enabled buttons, in a fixed order.
Captions EnabledButtons(const MainWindowForm& f) {
  Captions out;
  for (const ButtonState* b :
       {&f.connect, &f.onOff, &f.record, &f.calibration, &f.sensorSettings, &f.comPort,
        &f.communication, &f.sensorInfo, &f.calibrationData, &f.help, &f.exit}) {
    if (b->enabled) out.push_back(b->caption);
  }
  return out;
}

const Captions kIdleButtons = {"Connect", "COM Port", "Exit"};

Captions ConnectedButtons(bool communication) {
  Captions c = {"Disconnect", "On", "Calibration", "Sensor settings"};
  if (communication) c.push_back("Communication");
  c.push_back("Sensor Info.");
  c.push_back("Calibration data");
  return c;
}

const Captions kPollingButtons = {"Off", "Start recording"};

// The wall clock of the trend samples: 2024-05-06 07:08:09 UTC at virtual time 0.
constexpr int64_t kWallClockStartMs = 1714979289000;

int DecimalPlacesOf(const std::string& text) {
  const size_t point = text.find('.');
  return point == std::string::npos ? 0 : static_cast<int>(text.size() - point - 1);
}

// ---------------------------------------------------------------------------------------------
// comsetting.ini

TEST(ComSettingsFile, ReadsTheIndexAndTheOptionalProfile) {
  struct Case {
    const char* name;
    std::optional<Bytes> file;
    int index;
    int profile;
  };
  const Case cases[] = {
      {"missing", std::nullopt, 0, 0},
      {"empty", Bytes{}, 0, 0},
      {"short index", Bytes{2, 0, 0}, 0, 0},
      {"index only", Bytes{2, 0, 0, 0}, 2, 0},
      {"index and short profile", Bytes{8, 0, 0, 0, 2, 0}, 8, 0},
      {"index and profile", Bytes{1, 0, 0, 0, 2, 0, 0, 0}, 1, 2},
      {"longer file", Bytes{3, 0, 0, 0, 1, 0, 0, 0, 9, 9}, 3, 1},
      // COM10 and beyond, or a negative index, are not in the port list.
      {"index past COM9", Bytes{9, 0, 0, 0}, 0, 0},
      {"negative index", Bytes{0xFF, 0xFF, 0xFF, 0xFF, 2, 0, 0, 0}, 0, 2},
  };
  for (const Case& c : cases) {
    TempFolder folder;
    const auto file = folder / kComSettingsFileName;
    if (c.file) WriteBytes(file, *c.file);
    const ComSettings settings = LoadComSettings(file);
    EXPECT_EQ(settings.portIndex, c.index) << c.name;
    EXPECT_EQ(settings.linkProfile, c.profile) << c.name;
  }
}

TEST(ComSettingsFile, WritesFourBytesAndKeepsTheRest) {
  struct Case {
    const char* name;
    std::optional<Bytes> before;
    Bytes after;
  };
  const Case cases[] = {
      {"created when missing", std::nullopt, {4, 0, 0, 0}},
      {"eight-byte file keeps its profile",
       Bytes{0, 0, 0, 0, 0xAA, 0xBB, 0xCC, 0xDD},
       {4, 0, 0, 0, 0xAA, 0xBB, 0xCC, 0xDD}},
      {"short file grows to four bytes", Bytes{7, 7}, {4, 0, 0, 0}},
  };
  for (const Case& c : cases) {
    TempFolder folder;
    const auto file = folder / kComSettingsFileName;
    if (c.before) WriteBytes(file, *c.before);
    ASSERT_TRUE(SaveComPortIndex(file, 4)) << c.name;
    EXPECT_EQ(ReadBytes(file), c.after) << c.name;
  }
}

TEST(ComSettingsFile, AFileThatCannotBeReadBackKeepsItsProfile) {
  TempFolder folder;
  const auto file = folder / kComSettingsFileName;
  WriteBytes(file, {0, 0, 0, 0, 2, 0, 0, 0});
  ASSERT_EQ(chmod(file.c_str(), 0200), 0);  // write-only
  ASSERT_TRUE(test::GiveToChildUser(file));
  test::ChildLimits limits;
  limits.dropRoot = true;
  EXPECT_EQ(test::RunInChild(limits, [&] { return SaveComPortIndex(file, 4) ? 0 : 1; }), 0);
  EXPECT_EQ(ReadBytes(file), (Bytes{4, 0, 0, 0, 2, 0, 0, 0}));
}

TEST(ComSettingsFile, UnwritableFolderFails) {
  EXPECT_FALSE(SaveComPortIndex("/nonexistent-folder/comsetting.ini", 1));
}

// ---------------------------------------------------------------------------------------------
// The main window against the virtual sensor.

class MainWindowTest : public ::testing::Test {
 protected:
  MainWindowTest() = default;
  explicit MainWindowTest(const std::filesystem::path& base) : folder_(base) {}

  void Build(uint16_t deviceType = 0x1030) {
    // A test that builds a second window lets go of the first before the parts it holds.
    dlg_.reset();
    sensor_ = std::make_unique<sim::SensorModel>(deviceType, sim::LinkKind::kProfileF, clock_);
    port_ = std::make_unique<sim::SimSerialPort>(*sensor_, clock_);
    link_ = std::make_unique<ServiceLink>(*port_, clock_, pump_);
    LoggingOptions logging;
    logging.folder = folder_.path();
    logging.localTime = [] { return LocalDateTime{2024, 5, 6, 7, 8, 9}; };
    logging_ = std::make_unique<CLogging>(logging);
    CMeridoDlg::Options options;
    options.settingsFolder = folder_.path();
    options.programFolder = folder_.path();
    options.factory = factory_;
    options.wallClockMs = [this] { return kWallClockStartMs + clock_.NowMs(); };
    dlg_ = std::make_unique<CMeridoDlg>(*link_, ui_, host_, *logging_, reader_, options);
  }
  void Start(uint16_t deviceType = 0x1030) {
    Build(deviceType);
    dlg_->OnInitDialog();
  }
  void Connect() {
    dlg_->OnConnect();
    ASSERT_TRUE(dlg_->connected());
  }
  // One tick of timer 8001, a second after the previous one.
  void Tick() {
    clock_.SleepMs(kPollTimerMs);
    dlg_->OnTimer(kPollTimerId);
  }
  void PollingOn() {
    ASSERT_FALSE(dlg_->polling());
    dlg_->OnOnOff();
    ASSERT_TRUE(dlg_->polling());
  }
  // The logging properties, filled in and confirmed as a technician would.
  void AcceptRecording(const char* hours, const char* minutes, const char* interval,
                       const char* name, bool csv = false) {
    host_.recordDialog = [=](CRecord& dialog) {
      dialog.form().hours = hours;
      dialog.form().minutes = minutes;
      dialog.form().interval = interval;
      dialog.form().fileName = name;
      dialog.form().csv = csv;
      return dialog.OnOk();
    };
  }
  const MainWindowForm& form() const { return dlg_->form(); }

  TempFolder folder_;
  bool factory_ = false;
  VirtualClock clock_;
  NullEventPump pump_;
  ScriptedUi ui_;
  ScriptedHost host_;
  ScriptedPageReader reader_;
  std::unique_ptr<sim::SensorModel> sensor_;
  std::unique_ptr<sim::SimSerialPort> port_;
  std::unique_ptr<ServiceLink> link_;
  std::unique_ptr<CLogging> logging_;
  std::unique_ptr<CMeridoDlg> dlg_;
};

TEST_F(MainWindowTest, StartsWithOnlyConnectComPortAndExit) {
  Start();
  EXPECT_EQ(form().title, "KORVIN V1.1");
  EXPECT_EQ(EnabledButtons(form()), kIdleButtons);
  EXPECT_FALSE(form().help.visible);
  EXPECT_FALSE(form().calibrationData.visible);
  EXPECT_TRUE(form().connect.visible);
  EXPECT_EQ(form().record.caption, "Start recording");
  EXPECT_EQ(form().loggingStatus, "stop");
  EXPECT_EQ(form().picture, 182);
  EXPECT_FALSE(form().LoggingStatusColour());
}

// Factory mode shows "Calibration data"; it is enabled and disabled with the other task buttons.
TEST_F(MainWindowTest, FactoryModeShowsCalibrationData) {
  factory_ = true;
  Start();
  EXPECT_TRUE(form().calibrationData.visible);
  EXPECT_FALSE(form().help.visible);
  EXPECT_EQ(EnabledButtons(form()), kIdleButtons);
  Connect();
  EXPECT_EQ(EnabledButtons(form()), ConnectedButtons(true));
  PollingOn();
  EXPECT_FALSE(form().calibrationData.enabled);
  dlg_->OnOnOff();
  EXPECT_TRUE(form().calibrationData.enabled);
  dlg_->OnConnect();
  EXPECT_FALSE(form().calibrationData.enabled);
  EXPECT_TRUE(form().calibrationData.visible);
}

TEST(MainWindowOptions, FactoryAndTraceOptions) {
  std::string error;
  EXPECT_TRUE(CMeridoApp::ParseArguments({"--simulate", "--factory"}, error)->factory);
  EXPECT_FALSE(CMeridoApp::ParseArguments({"--simulate"}, error)->factory);
  EXPECT_EQ(CMeridoApp::ParseArguments({"--trace", "link.trace"}, error)->traceFile, "link.trace");
  EXPECT_FALSE(CMeridoApp::ParseArguments({"--simulate", "--trace"}, error));
  EXPECT_EQ(error, "--trace needs a file name");
}

TEST_F(MainWindowTest, StartUpReadsBothSettingsFilesAndTheSoftwareVersionBehindTheSplash) {
  WriteBytes(folder_ / kComSettingsFileName, {2, 0, 0, 0});
  RecordSettings stored;
  stored.hours = 1;
  stored.minutes = 30;
  stored.interval = 10;
  stored.fileName = "trend";
  stored.description = "line one\r\nline two";
  stored.average = true;
  ASSERT_TRUE(SaveRecordSettings(folder_ / kRecordSettingsFileName, stored));
  reader_.lines = {"<a href=\"ROVA_SOFTWARE/KORVIN_1_2.zip\">", "</a>"};

  Build();
  host_.events.clear();
  dlg_->OnInitDialog();

  EXPECT_EQ(dlg_->comPortIndex(), 2);
  EXPECT_EQ(dlg_->recordSettings(), stored);
  EXPECT_THAT(host_.events, ElementsAre("splash-show", "splash-close"));
  EXPECT_EQ(reader_.opens, 1);
  EXPECT_EQ(reader_.closes, 1);
  EXPECT_EQ(reader_.openedUrl, kDownloadPageUrl);
  EXPECT_EQ(dlg_->updateChecker().PageText(), "<a href=\"ROVA_SOFTWARE/KORVIN_1_2.zip\"></a>");
  EXPECT_EQ(form().newSoftware, "Yes");

  // COM3 is the port the next connect opens.
  dlg_->OnConnect();
  EXPECT_EQ(port_->device(), "COM3");
}

TEST_F(MainWindowTest, SoftwareCheckShowsYesInBlueOnly) {
  struct Case {
    const char* name;
    bool reachable;
    std::deque<std::string> lines;
    const char* shown;
    bool blue;
  };
  const Case cases[] = {
      {"no network", false, {}, "---", false},
      {"newer", true, {"x ROVA_SOFTWARE/KORVIN_1_2.zip"}, "Yes", true},
      {"equal is not newer", true, {"ROVA_SOFTWARE/KORVIN_1_1.zip"}, "No", false},
      {"key without file", true, {"ROVA_SOFTWARE/KORVIN"}, "---", false},
  };
  for (const Case& c : cases) {
    reader_.reachable = c.reachable;
    reader_.lines = c.lines;
    Start();
    EXPECT_EQ(form().newSoftware, c.shown) << c.name;
    EXPECT_EQ(form().NewSoftwareColour().has_value(), c.blue) << c.name;
    if (c.blue) {
      EXPECT_EQ(*form().NewSoftwareColour(), (Rgb{0, 0, 255})) << c.name;
    }
  }
}

TEST_F(MainWindowTest, ComPortChoiceIsWrittenOnOkAndOnCancel) {
  WriteBytes(folder_ / kComSettingsFileName, {0, 0, 0, 0, 0xAA, 0xBB, 0xCC, 0xDD});
  Start();
  host_.comPortSelection = 4;  // COM5
  dlg_->OnComPort();
  EXPECT_EQ(host_.shownComPortSelection, 0);
  EXPECT_EQ(dlg_->comPortIndex(), 4);
  EXPECT_EQ(ReadBytes(folder_ / kComSettingsFileName), (Bytes{4, 0, 0, 0, 0xAA, 0xBB, 0xCC, 0xDD}));

  // "Cancel" keeps the index but still writes it, creating the file when it went missing.
  std::filesystem::remove(folder_ / kComSettingsFileName);
  host_.comPortSelection = 7;
  host_.comPortOk = false;
  dlg_->OnComPort();
  EXPECT_EQ(host_.shownComPortSelection, 4);
  EXPECT_EQ(dlg_->comPortIndex(), 4);
  EXPECT_EQ(ReadBytes(folder_ / kComSettingsFileName), (Bytes{4, 0, 0, 0}));
}

TEST_F(MainWindowTest, ConnectShowsTheSensorAndEnablesItsTasks) {
  Start(0x1030);
  Connect();
  EXPECT_EQ(form().connect.caption, "Disconnect");
  EXPECT_EQ(EnabledButtons(form()), ConnectedButtons(true));
  EXPECT_FALSE(form().exit.enabled);
  EXPECT_FALSE(form().comPort.enabled);

  EXPECT_EQ(form().deviceName, "D810 Modbus");
  EXPECT_EQ(form().firmware, "2.5");
  EXPECT_EQ(form().hardware, "1.30");
  EXPECT_EQ(form().item, "S060 1030");
  EXPECT_EQ(form().serial.size(), 8u);
  EXPECT_THAT(form().calibrationDate, ::testing::MatchesRegex("[0-9]{2}\\.[0-9]{2}\\.[0-9]{4}"));
  EXPECT_FALSE(form().at4mA.empty());
  EXPECT_FALSE(form().at20mA.empty());
  EXPECT_EQ(form().unitLabels[kRowDewPoint], "℃ Td");
  EXPECT_EQ(form().unitLabels[kRowTemperature], "℃");
  EXPECT_FALSE(form().unitLabels[kRowPressure].empty());
  EXPECT_EQ(form().picture, 178);
  EXPECT_THAT(form().interfaces, ElementsAre(true, false, false, false, true));
  EXPECT_EQ(dlg_->record().linkProfile, 1);
  // The download page was read once at start-up and gave nothing for this firmware.
  EXPECT_EQ(form().newFirmware, "---");
  EXPECT_EQ(reader_.opens, 1);
  EXPECT_THAT(ui_.messages, IsEmpty());
}

TEST_F(MainWindowTest, CommunicationOnlyForModbusSensors) {
  struct Case {
    uint16_t type;
    bool communication;
    std::array<bool, 5> interfaces;  // Modbus, MBUS, IO Link, SDI, 4...20mA
    bool analogueTexts;
  };
  const Case cases[] = {
      {0x1024, false, {false, false, false, true, true}, true},    // SDI
      {0x1038, false, {false, false, true, false, false}, false},  // IO-Link only
      {0x1083, true, {true, false, false, false, false}, false},   // Modbus
      {0x1035, true, {true, false, false, false, true}, true},     // Modbus, 4...20 mA
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "device type 0x" << std::hex << c.type);
    Start(c.type);
    Connect();
    EXPECT_EQ(form().communication.enabled, c.communication);
    EXPECT_EQ(form().interfaces, c.interfaces);
    EXPECT_EQ(!form().at4mA.empty(), c.analogueTexts);
    EXPECT_EQ(!form().analogueUnit.empty(), c.analogueTexts);

    // Polling on and off again restores the same rule.
    PollingOn();
    EXPECT_FALSE(form().communication.enabled);
    dlg_->OnOnOff();
    EXPECT_EQ(form().communication.enabled, c.communication);
  }
}

TEST_F(MainWindowTest, FailedConnectGivesTheComPortBack) {
  Start();
  port_->SetOpenFails(true);
  dlg_->OnConnect();
  EXPECT_FALSE(dlg_->connected());
  EXPECT_THAT(ui_.messages, ElementsAre("Com Open Error!!!"));
  EXPECT_THAT(ui_.details, ElementsAre("COM1: not found"));
  EXPECT_EQ(form().connect.caption, "Connect");
  EXPECT_EQ(EnabledButtons(form()), kIdleButtons);
  EXPECT_TRUE(form().deviceName.empty());
}

TEST_F(MainWindowTest, CancelBeforeTheSequenceLeavesTheSensorAlone) {
  Start();
  host_.cancelConnect = true;
  dlg_->OnConnect();
  EXPECT_FALSE(dlg_->connected());
  EXPECT_EQ(port_->openCount(), 0);
  EXPECT_EQ(EnabledButtons(form()), kIdleButtons);
}

TEST_F(MainWindowTest, FirmwareCheckAfterEachConnect) {
  struct Case {
    const char* file;
    const char* shown;
  };
  // The simulated 0x1030 runs firmware 2.5.
  const Case cases[] = {{"FW_D810_2_6.zip", "Yes"}, {"FW_D810_2_5.zip", "No"}};
  for (const Case& c : cases) {
    reader_.lines = {std::string("ROVA_FIRMWARE/D810 relaunch/") + c.file};
    Start(0x1030);
    Connect();
    EXPECT_EQ(form().newFirmware, c.shown) << c.file;
    EXPECT_EQ(form().NewFirmwareColour().has_value(), std::string(c.shown) == "Yes") << c.file;
  }
}

TEST_F(MainWindowTest, PollingShowsTheValuesInTheirFormats) {
  Start(0x1030);
  Connect();
  PollingOn();
  EXPECT_EQ(form().onOff.caption, "Off");
  EXPECT_EQ(EnabledButtons(form()), kPollingButtons);
  EXPECT_TRUE(host_.timerActive);

  Tick();
  const DeviceRecord& record = dlg_->record();
  const sim::Readings readings = sensor_->ReadingsNow();
  const auto& rows = form().values;
  EXPECT_EQ(DecimalPlacesOf(rows[kRowTemperature]), 1);
  EXPECT_NEAR(std::stod(rows[kRowTemperature]), readings.temperatureC, 0.2);
  EXPECT_EQ(DecimalPlacesOf(rows[kRowDewPoint]), record.decimals[kChannelDewPoint]);
  EXPECT_NEAR(std::stod(rows[kRowDewPoint]), readings.dewPointC, 0.2);
  EXPECT_EQ(DecimalPlacesOf(rows[kRowAltDewPoint]), record.decimals[kChannelAltDewPoint]);
  EXPECT_EQ(DecimalPlacesOf(rows[kRowPressure]), record.decimals[kChannelPressure]);
  EXPECT_NEAR(std::stod(rows[kRowPressure]), readings.pressureBarg, 0.2);

  // "Off": the values stay a second, then the rows are emptied.
  const int64_t before = clock_.NowMs();
  dlg_->OnOnOff();
  EXPECT_GE(clock_.NowMs() - before, 1000);
  EXPECT_FALSE(host_.timerActive);
  EXPECT_EQ(form().onOff.caption, "On");
  EXPECT_EQ(form().values, (std::array<std::string, 4>{}));
  EXPECT_EQ(EnabledButtons(form()), ConnectedButtons(true));
}

TEST_F(MainWindowTest, WithoutPressureSensorTheFourthRowStaysEmpty) {
  Start(0x1024);
  Connect();
  PollingOn();
  Tick();
  EXPECT_FALSE(form().values[kRowDewPoint].empty());
  EXPECT_TRUE(form().values[kRowPressure].empty());
  EXPECT_TRUE(form().unitLabels[kRowPressure].empty());
}

// ---------------------------------------------------------------------------------------------
// The trend of the online values.

TEST_F(MainWindowTest, EachSuccessfulPollGoesIntoTheTrend) {
  Start(0x1030);
  Connect();
  const TrendBuffer& trend = dlg_->trend();
  EXPECT_TRUE(trend.empty());
  EXPECT_EQ(trend.channels(), (TrendChannels{form().unitLabels, true}));
  PollingOn();
  // The trend's channels are the rows of "Online values".
  constexpr int kChannelOfRow[] = {kChannelDewPoint, kChannelAltDewPoint, kChannelTemperature,
                                   kChannelPressure};
  for (uint64_t poll = 0; poll < 3; ++poll) {
    Tick();
    ASSERT_EQ(trend.size(), poll + 1);
    const TrendSample& sample = trend.Newest();
    EXPECT_EQ(sample.timeMs, kWallClockStartMs + clock_.NowMs());
    for (int row = 0; row < kTrendChannelCount; ++row) {
      EXPECT_EQ(sample.values[row], dlg_->record().online[kChannelOfRow[row]]) << row;
      EXPECT_EQ(sample.decimals[row], dlg_->record().decimals[kChannelOfRow[row]]) << row;
    }
  }
}

TEST_F(MainWindowTest, TrendHasAGapWherePollingWasOffOrFailed) {
  Start(0x1030);
  Connect();
  PollingOn();
  Tick();
  Tick();
  dlg_->OnOnOff();
  PollingOn();
  Tick();
  // Failed polls add nothing; the fourth ends polling, and polling on again starts a segment.
  sensor_->faults().silent = true;
  for (int i = 0; i < 4; ++i) Tick();
  ASSERT_FALSE(dlg_->polling());
  sensor_->faults().silent = false;
  PollingOn();
  Tick();
  const TrendBuffer& trend = dlg_->trend();
  std::vector<uint64_t> segments;
  for (uint64_t s = trend.firstSequence(); s < trend.endSequence(); ++s) {
    segments.push_back(trend.At(s).segment);
  }
  EXPECT_THAT(segments, ElementsAre(0, 0, 2, 3));
}

TEST_F(MainWindowTest, ValuesThatArriveAfterOffAreNotKept) {
  Build(0x1030);
  // "Off" is pressed while the second poll waits for its reply.
  bool pressOff = false;
  CallbackEventPump pump([&] {
    if (pressOff) {
      pressOff = false;
      dlg_->OnOnOff();
    }
    return false;
  });
  link_ = std::make_unique<ServiceLink>(*port_, clock_, pump);
  CMeridoDlg::Options options;
  options.settingsFolder = folder_.path();
  options.wallClockMs = [this] { return clock_.NowMs(); };
  dlg_ = std::make_unique<CMeridoDlg>(*link_, ui_, host_, *logging_, reader_, options);
  dlg_->OnInitDialog();
  Connect();
  PollingOn();
  Tick();
  // A reply in pieces keeps the read pumping events between them.
  sensor_->faults().splitPieces = 3;
  sensor_->faults().splitGapUs = 200'000;
  pressOff = true;
  Tick();
  EXPECT_FALSE(pressOff);
  EXPECT_FALSE(dlg_->polling());
  EXPECT_EQ(dlg_->trend().size(), 1u);
}

TEST_F(MainWindowTest, TrendButtonNeedsASensorAndEachConnectionHasItsOwnTrend) {
  Start(0x1030);
  EXPECT_FALSE(form().trend.enabled);
  EXPECT_EQ(form().trend.caption, "Trend");
  dlg_->OnTrend();
  EXPECT_THAT(host_.events, ::testing::Not(::testing::Contains("trend-window")));

  Connect();
  EXPECT_TRUE(form().trend.enabled);
  dlg_->OnTrend();
  EXPECT_EQ(host_.events.back(), "trend-window");
  PollingOn();
  EXPECT_TRUE(form().trend.enabled);
  Tick();
  Tick();
  dlg_->OnOnOff();
  EXPECT_TRUE(form().trend.enabled);

  // Disconnected, the samples stay for the open window to save; the next connection clears them.
  dlg_->OnConnect();
  EXPECT_FALSE(form().trend.enabled);
  EXPECT_EQ(dlg_->trend().size(), 2u);
  const uint64_t generation = dlg_->trend().generation();
  Connect();
  EXPECT_TRUE(dlg_->trend().empty());
  EXPECT_NE(dlg_->trend().generation(), generation);
}

TEST_F(MainWindowTest, TrendStartsOverWhenTheUnitsChange) {
  Start(0x1030);
  Connect();
  PollingOn();
  Tick();
  dlg_->OnOnOff();
  // The sensor settings switch to °F between two polling runs.
  dlg_->record().fahrenheit = true;
  dlg_->ShowIdentity();
  PollingOn();
  Tick();
  EXPECT_EQ(dlg_->trend().size(), 1u);
  EXPECT_EQ(dlg_->trend().channels().unitLabels[kTrendTemperature], "°F");
}

// Records whether the polling timer still ran when a message appeared.
class TimerWatchingUi final : public Ui {
 public:
  explicit TimerWatchingUi(const ScriptedHost& host) : host_(host) {}
  void Message(const std::string& text) override {
    messages.push_back(text);
    timerActiveAtMessage.push_back(host_.timerActive);
  }
  bool AskYesNo(const std::string&) override { return true; }
  bool AskOkCancel(const std::string&) override { return true; }
  std::vector<std::string> messages;
  std::vector<bool> timerActiveAtMessage;

 private:
  const ScriptedHost& host_;
};

TEST_F(MainWindowTest, FourthFailedPollStopsPollingWithAMessage) {
  Start(0x1030);
  TimerWatchingUi ui(host_);
  CMeridoDlg::Options options;
  options.settingsFolder = folder_.path();
  dlg_ = std::make_unique<CMeridoDlg>(*link_, ui, host_, *logging_, reader_, options);
  dlg_->OnInitDialog();
  Connect();
  PollingOn();
  Tick();
  const auto shown = form().values;
  ASSERT_FALSE(shown[kRowDewPoint].empty());

  sensor_->faults().silent = true;
  for (int failure = 1; failure <= 3; ++failure) {
    Tick();
    EXPECT_THAT(ui.messages, IsEmpty()) << failure;
    EXPECT_EQ(form().values, shown) << failure;
    EXPECT_TRUE(host_.timerActive) << failure;
  }
  Tick();
  EXPECT_THAT(ui.messages, ElementsAre("Communication error"));
  EXPECT_THAT(ui.timerActiveAtMessage, ElementsAre(false));
  EXPECT_FALSE(dlg_->polling());
  EXPECT_EQ(form().values, (std::array<std::string, 4>{}));
  EXPECT_EQ(form().onOff.caption, "On");
  EXPECT_EQ(EnabledButtons(form()), ConnectedButtons(true));
}

TEST_F(MainWindowTest, FailureCountStartsAgainWithEachSwitchOn) {
  Start(0x1030);
  Connect();
  PollingOn();
  sensor_->faults().silent = true;
  for (int i = 0; i < 3; ++i) Tick();
  dlg_->OnOnOff();
  PollingOn();
  for (int i = 0; i < 3; ++i) Tick();
  EXPECT_THAT(ui_.messages, IsEmpty());
  EXPECT_TRUE(dlg_->polling());
}

TEST_F(MainWindowTest, DisconnectClearsEverythingTheSensorShowed) {
  reader_.lines = {"ROVA_FIRMWARE/D810 relaunch/FW_D810_2_6.zip"};
  Start(0x1030);
  Connect();
  ASSERT_EQ(form().newFirmware, "Yes");
  PollingOn();
  Tick();
  dlg_->OnOnOff();
  dlg_->OnConnect();

  EXPECT_FALSE(dlg_->connected());
  EXPECT_FALSE(port_->IsOpen());
  EXPECT_EQ(form().connect.caption, "Connect");
  for (const std::string* text :
       {&form().deviceName, &form().firmware, &form().hardware, &form().serial, &form().item,
        &form().calibrationDate, &form().analogueUnit, &form().at4mA, &form().at20mA,
        &form().newFirmware}) {
    EXPECT_EQ(*text, "");
  }
  EXPECT_EQ(form().values, (std::array<std::string, 4>{}));
  EXPECT_EQ(form().unitLabels, (std::array<std::string, 4>{}));
  EXPECT_THAT(form().interfaces, ElementsAre(false, false, false, false, false));
  EXPECT_EQ(form().loggingStatus, "stop");
  EXPECT_EQ(form().picture, 182);
  EXPECT_EQ(form().newSoftware, "---");  // start-up's result stays
  EXPECT_EQ(EnabledButtons(form()), kIdleButtons);
  EXPECT_EQ(dlg_->record().deviceType, 0);
}

TEST_F(MainWindowTest, RecordingLocksPollingOnUntilStopped) {
  Start(0x1030);
  Connect();
  PollingOn();
  AcceptRecording("0", "1", "3", "trend");
  dlg_->OnRecord();
  EXPECT_EQ(form().record.caption, "Record off");
  EXPECT_FALSE(form().onOff.enabled);
  EXPECT_EQ(form().loggingStatus, "running");
  ASSERT_TRUE(form().LoggingStatusColour());
  EXPECT_EQ(*form().LoggingStatusColour(), (Rgb{0, 0, 255}));
  EXPECT_TRUE(std::filesystem::exists(folder_ / "trend.xls"));

  // Cancel keeps it running; OK stops it.
  ui_.answers = {false, true};
  dlg_->OnRecord();
  EXPECT_EQ(form().record.caption, "Record off");
  dlg_->OnRecord();
  EXPECT_THAT(ui_.questions,
              ElementsAre("Do you want to stop recording?", "Do you want to stop recording?"));
  EXPECT_EQ(form().record.caption, "Start recording");
  EXPECT_TRUE(form().onOff.enabled);
  EXPECT_EQ(form().loggingStatus, "stop");
  EXPECT_FALSE(form().LoggingStatusColour());
}

TEST_F(MainWindowTest, RefusedLoggingPropertiesStartNothing) {
  Start(0x1030);
  Connect();
  PollingOn();
  AcceptRecording("0", "0", "3", "trend");
  dlg_->OnRecord();
  EXPECT_THAT(ui_.messages, ElementsAre("Invalid period setting!"));
  EXPECT_EQ(form().record.caption, "Start recording");
  EXPECT_TRUE(form().onOff.enabled);
  EXPECT_EQ(form().loggingStatus, "stop");
}

TEST_F(MainWindowTest, RecordingEndsByTimeAndGivesTheButtonsBack) {
  Start(0x1030);
  Connect();
  PollingOn();
  AcceptRecording("0", "1", "3", "minute");
  dlg_->OnRecord();
  for (int tick = 1; tick <= 59; ++tick) Tick();
  EXPECT_EQ(form().record.caption, "Record off");
  EXPECT_FALSE(form().onOff.enabled);
  Tick();  // tick 60: the record time is over
  EXPECT_EQ(form().record.caption, "Start recording");
  EXPECT_TRUE(form().onOff.enabled);
  EXPECT_TRUE(form().record.enabled);
  // The recording has ended: "stop", where "running" would say rows are still being stored.
  EXPECT_EQ(form().loggingStatus, "stop");
  EXPECT_FALSE(form().LoggingStatusColour());
  Tick();  // tick 61 writes the sheet
  EXPECT_GT(std::filesystem::file_size(folder_ / "minute.xls"), 0u);
}

TEST_F(MainWindowTest, RecordingOutlivesFailedPollsAndEndsWithTheConnection) {
  Start(0x1030);
  Connect();
  PollingOn();
  AcceptRecording("1", "0", "3", "field");
  dlg_->OnRecord();
  Tick();
  sensor_->faults().silent = true;
  for (int i = 0; i < 4; ++i) Tick();
  ASSERT_FALSE(dlg_->polling());
  // The recording still runs; "On" must be usable to let it tick again.
  EXPECT_EQ(form().record.caption, "Record off");
  EXPECT_TRUE(form().onOff.enabled);

  // Disconnecting instead writes what was recorded.
  dlg_->OnConnect();
  EXPECT_EQ(form().record.caption, "Start recording");
  EXPECT_EQ(form().loggingStatus, "stop");
  EXPECT_GT(std::filesystem::file_size(folder_ / "field.xls"), 0u);
  EXPECT_EQ(logging_->state(), CLogging::State::kIdle);
}

TEST_F(MainWindowTest, PollingSwitchedOnAgainLetsAnInterruptedRecordingGoOn) {
  Start(0x1030);
  Connect();
  PollingOn();
  AcceptRecording("1", "0", "3", "resumed");
  dlg_->OnRecord();
  Tick();
  sensor_->faults().silent = true;
  for (int i = 0; i < 4; ++i) Tick();
  ASSERT_TRUE(form().onOff.enabled);

  sensor_->faults().silent = false;
  dlg_->OnOnOff();
  EXPECT_TRUE(dlg_->polling());
  EXPECT_FALSE(form().onOff.enabled);
  EXPECT_TRUE(form().record.enabled);
  EXPECT_EQ(form().record.caption, "Record off");
  for (int i = 0; i < 3; ++i) Tick();
  // Recorder ticks 1 ... 5 ran before polling stopped, 6 ... 8 after: rows at 1, 4 and 7.
  EXPECT_EQ(logging_->rowCount(), 3);
}

TEST_F(MainWindowTest, EveryEndOfARecordingWritesItsRows) {
  struct Case {
    const char* name;
    int ticks;  // before the recording ends; rows at 1, 4, 7, ...
    std::function<void()> end;
    bool stillRecording;  // the recording goes on when ticks come again
  };
  const auto failPolls = [this] {
    sensor_->faults().silent = true;
    for (int i = 0; i < kPollFailureLimit; ++i) Tick();
    ASSERT_FALSE(dlg_->polling());
  };
  const Case cases[] = {
      {"Record off, then the next tick", 7,
       [this] {
         dlg_->OnRecord();
         Tick();
       },
       false},
      {"Record off, then Off within the second", 7,
       [this] {
         dlg_->OnRecord();
         dlg_->OnOnOff();
       },
       false},
      {"record time over, then Off within the second", 60, [this] { dlg_->OnOnOff(); }, false},
      {"polling ended by failed polls", 7, failPolls, true},
      {"failed polls, then Disconnect", 7,
       [&] {
         failPolls();
         dlg_->OnConnect();
       },
       false},
      {"window closed", 7, [this] { dlg_->OnClose(); }, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Start(0x1030);
    Connect();
    PollingOn();
    AcceptRecording("0", "1", "3", "ends");
    dlg_->OnRecord();
    for (int tick = 0; tick < c.ticks; ++tick) Tick();
    c.end();
    EXPECT_EQ(logging_->active(), c.stillRecording);
    ASSERT_GT(logging_->rowCount(), 1);
    const test::BiffFile sheet = test::ParseBiff(ReadBytes(folder_ / "ends.xls"));
    ASSERT_TRUE(sheet.wellFormed);
    EXPECT_EQ(sheet.At(5, 1)->number, logging_->rowCount());
    EXPECT_THAT(ui_.messages,
                ::testing::Not(::testing::Contains(::testing::StartsWith("Write file error!"))));
    ui_.messages.clear();
    if (dlg_->connected() && !dlg_->polling()) dlg_->OnConnect();
  }
}

TEST_F(MainWindowTest, AFailedWriteIsToldOnceItsRecorderCallReturned) {
  Start(0x1030);
  Connect();
  PollingOn();
  AcceptRecording("0", "5", "3", "blocked");
  dlg_->OnRecord();
  Tick();  // the first safe copy
  // Something in the way of the file: every later write fails at the rename.
  std::filesystem::remove(folder_ / "blocked.xls");
  std::filesystem::create_directory(folder_ / "blocked.xls");
  for (int tick = 2; tick <= 121; ++tick) Tick();  // safe copies fail at ticks 61 and 121
  ASSERT_EQ(ui_.messages.size(), 1u);
  EXPECT_THAT(ui_.messages[0], ::testing::StartsWith("Write file error! blocked.xls could not be "
                                                     "brought up to date"));
  EXPECT_THAT(ui_.messages[0], ::testing::EndsWith("its last safe copy: 1 of 21 rows."));
  EXPECT_TRUE(logging_->active());

  dlg_->OnRecord();
  Tick();
  ASSERT_EQ(ui_.messages.size(), 2u);
  EXPECT_THAT(ui_.messages[1], ::testing::StartsWith("Write file error! blocked.xls could not be "
                                                     "written"));
}

TEST_F(MainWindowTest, AFailingCsvIsToldOnceAndTheSheetGoesOn) {
  Start(0x1030);
  Connect();
  PollingOn();
  std::filesystem::create_directory(folder_ / "both.csv");  // in the way of the CSV throughout
  AcceptRecording("0", "1", "3", "both", true);
  dlg_->OnRecord();
  ASSERT_EQ(ui_.messages.size(), 1u);
  EXPECT_THAT(ui_.messages[0], ::testing::StartsWith("Write file error! both.csv could not be "
                                                     "brought up to date (Is a directory)."));
  EXPECT_EQ(form().loggingStatus, "running");
  for (int tick = 1; tick <= 30; ++tick) Tick();
  EXPECT_EQ(ui_.messages.size(), 1u);  // the rows that fail too are not told again

  // At the end the sheet fails as well: one box tells both.
  std::filesystem::remove(folder_ / "both.xls");
  std::filesystem::create_directory(folder_ / "both.xls");
  for (int tick = 31; tick <= 61; ++tick) Tick();
  ASSERT_EQ(ui_.messages.size(), 2u);
  EXPECT_EQ(ui_.messages[1],
            "Write file error! both.xls could not be written (Is a directory). The file keeps its "
            "last safe copy: 1 of 20 rows.\nWrite file error! both.csv could not be written (Is a "
            "directory). The file holds 0 of 20 rows.");
  EXPECT_EQ(form().loggingStatus, "stop");
}

// A recording of sixteen thousand synced rows, on a memory file system.
class MainWindowLongRecordingTest : public MainWindowTest {
 protected:
  MainWindowLongRecordingTest() : MainWindowTest(test::FastTempBase()) {}
};

TEST_F(MainWindowLongRecordingTest, WithTheCsvTheRecordingOutlivesTheSheet) {
  Start(0x1030);
  Connect();
  PollingOn();
  // 13 h 39 min at 3 s, 16380 rows: refused without the CSV, taken with it.
  AcceptRecording("13", "39", "3", "night");
  dlg_->OnRecord();
  EXPECT_THAT(ui_.messages, ElementsAre(TooManyRowsMessage()));
  ui_.messages.clear();
  AcceptRecording("13", "39", "3", "night", true);
  dlg_->OnRecord();
  ASSERT_EQ(form().record.caption, "Record off");
  // Row 16374, the sheet's last, at tick 49120; row 16375 at tick 49123.
  for (int tick = 1; tick <= 49122; ++tick) Tick();
  EXPECT_EQ(logging_->rowCount(), 16374);
  EXPECT_EQ(form().loggingStatus, "running");
  Tick();
  EXPECT_EQ(logging_->rowCount(), 16375);
  EXPECT_EQ(form().loggingStatus, "sheet full");
  ASSERT_TRUE(form().LoggingStatusColour());  // still recording
  EXPECT_EQ(*form().LoggingStatusColour(), kHighlightColour);
  EXPECT_FALSE(form().onOff.enabled);

  ui_.answers = {true};
  dlg_->OnRecord();
  EXPECT_EQ(form().loggingStatus, "stop");
  Tick();
  EXPECT_THAT(ui_.messages, IsEmpty());
  const test::BiffFile sheet = test::ParseBiff(ReadBytes(folder_ / "night.xls"));
  ASSERT_TRUE(sheet.wellFormed);
  EXPECT_EQ(sheet.At(5, 1)->number, 16374);
  const Bytes csv = ReadBytes(folder_ / "night.csv");
  EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), 1 + 16375);
}

TEST_F(MainWindowTest, HelpReportsWhyTheFileDidNotOpen) {
  struct Case {
    HelpOpenResult result;
    const char* message;
  };
  const Case cases[] = {
      {HelpOpenResult::kOutOfMemory, "Out of memory !"},
      {HelpOpenResult::kFileNotFound, "File not found !"},
      {HelpOpenResult::kPathNotFound, "Path not found !"},
      {HelpOpenResult::kBadFormat, "Bad Format !"},
      {HelpOpenResult::kOther, " Error !"},
  };
  Start();
  for (const Case& c : cases) {
    ui_.messages.clear();
    host_.helpResult = c.result;
    dlg_->OnHelp();
    EXPECT_THAT(ui_.messages, ElementsAre(c.message));
  }
  ui_.messages.clear();
  host_.helpResult = HelpOpenResult::kOpened;
  dlg_->OnHelp();
  EXPECT_THAT(ui_.messages, IsEmpty());
  EXPECT_EQ(host_.events.back(), "help:QMX410EN.chm");
}

class RecordingTaskDialogs final : public TaskDialogs {
 public:
  void OpenCalibration(TaskContext& c) override { Note("calibration", c); }
  void OpenSensorSettings(TaskContext& c) override {
    Note("sensor settings", c);
    c.record.fahrenheit = true;
  }
  void OpenCommunication(TaskContext& c) override { Note("communication", c); }
  void OpenSensorInfo(TaskContext& c) override { Note("sensor info", c); }
  void OpenCalibrationData(TaskContext& c) override { Note("calibration data", c); }

  std::vector<std::string> opened;
  std::vector<std::string> deviceNames;
  std::vector<int> ports;

 private:
  void Note(const char* what, TaskContext& c) {
    opened.push_back(what);
    deviceNames.push_back(c.form.deviceName);
    ports.push_back(c.comPortIndex);
  }
};

TEST_F(MainWindowTest, EachTaskButtonReachesItsHook) {
  WriteBytes(folder_ / kComSettingsFileName, {1, 0, 0, 0});
  Start(0x1030);
  Connect();
  RecordingTaskDialogs tasks;
  dlg_->SetTaskDialogs(&tasks);
  dlg_->OnCalibration();
  dlg_->OnCommunication();
  dlg_->OnSensorInfo();
  dlg_->OnCalibrationData();
  dlg_->OnSensorSettings();
  EXPECT_THAT(tasks.opened, ElementsAre("calibration", "communication", "sensor info",
                                        "calibration data", "sensor settings"));
  EXPECT_THAT(tasks.deviceNames, ::testing::Each(std::string("D810 Modbus")));
  EXPECT_THAT(tasks.ports, ::testing::Each(1));
  // The sensor settings changed the record; the window shows it again afterwards.
  EXPECT_EQ(form().unitLabels[kRowTemperature], "°F");
  EXPECT_EQ(form().unitLabels[kRowDewPoint], "°F Td");
}

TEST_F(MainWindowTest, ExitClosesAndClosingStopsEverything) {
  Start(0x1030);
  dlg_->OnExit();
  EXPECT_EQ(host_.events.back(), "close-window");

  Connect();
  PollingOn();
  Tick();
  dlg_->OnClose();
  EXPECT_FALSE(host_.timerActive);
  EXPECT_FALSE(dlg_->polling());
  EXPECT_FALSE(port_->IsOpen());
}

}  // namespace
}  // namespace korvin
