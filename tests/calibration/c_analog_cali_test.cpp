#include "calibration/c_analog_cali.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "device/device_types.h"
#include "support/dialog_rig.h"

namespace korvin {
namespace {

using test::DialogRig;
using test::FloatBytes;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using A = CAnalogCali;

// Records when each input is asked and what the screen shows while the dialog waits.
class WatchingHost final : public test::ScriptedHost {
 public:
  explicit WatchingHost(Clock& clock) : clock_(clock) {}

  std::optional<std::string> Input(const InputSpec& input) override {
    inputTimesMs.push_back(clock_.NowMs());
    return ScriptedHost::Input(input);
  }
  void KeepAlive() override {
    ScriptedHost::KeepAlive();
    if (dialog == nullptr) return;
    const Form& f = dialog->form();
    waitTexts.push_back(f[A::kWaiting].text);
    if (f.Enabled(A::kCalibration)) ++calibrationEnabled;
    if (f.Enabled(A::kTest)) ++testEnabled;
    if (f.Enabled(A::kExit)) ++exitEnabled;
    if (onKeepAlive) onKeepAlive();
  }

  TaskDialog* dialog = nullptr;
  std::vector<int64_t> inputTimesMs;
  std::vector<std::string> waitTexts;
  int calibrationEnabled = 0;
  int testEnabled = 0;
  int exitEnabled = 0;
  std::function<void()> onKeepAlive;

 private:
  Clock& clock_;
};

struct AnalogueRig {
  explicit AnalogueRig(uint16_t type = 0x1030) : rig(type), dialog(rig.environment) {
    host.dialog = &dialog;
    dialog.Attach(host);
    dialog.Open();
    rig.ClearLog();
  }
  DialogRig rig;
  WatchingHost host{rig.sim.clock};
  CAnalogCali dialog;
};

std::string Hex(std::span<const uint8_t> bytes) {
  std::string text;
  for (uint8_t b : bytes) {
    char hex[4];
    std::snprintf(hex, sizeof hex, " %02X", b);
    text += hex;
  }
  return text;
}

TEST(AnalogueCalibration, DacValuesPerDeviceType) {
  struct Case {
    uint16_t type;
    float point1;
    float point2;
  } cases[] = {{0x1024, 3200, 12800}, {0x1028, 3200, 12800}, {0x1030, 3200, 12800},
               {0x1032, 3200, 12800}, {0x1033, 3200, 12800}, {0x1034, 3200, 12800},
               {0x103A, 3200, 12800}, {0x103B, 3200, 12800}, {0x1035, 1300, 6500},
               {0x1037, 1300, 6500}};
  for (const Case& c : cases) {
    const auto points = A::DacPointsFor(c.type);
    ASSERT_TRUE(points.has_value()) << std::hex << c.type;
    EXPECT_EQ(points->point1, c.point1) << std::hex << c.type;
    EXPECT_EQ(points->point2, c.point2) << std::hex << c.type;
  }
  // Every type with an analogue output can be calibrated; the others cannot.
  for (const DeviceTypeInfo& info : kDeviceTypes) {
    EXPECT_EQ(A::DacPointsFor(info.code).has_value(), (info.interfaces & kInterfaceAnalogue) != 0)
        << std::hex << info.code;
  }
}

// A whole calibration: both DAC values, the waits, both currents, and one write of the record
// that changes only the currents and DAC values.
TEST(AnalogueCalibration, CalibratesAndWritesTheRecordOnce) {
  AnalogueRig a(0x1035);
  EXPECT_EQ(a.dialog.log(), "Please connect a current meter to the sensor before start!");
  const auto before = a.rig.state().analogueCalibration;
  a.host.inputs = {std::string("4.002"), std::string("19.996 mA")};
  a.dialog.Press(A::kCalibration);

  EXPECT_EQ(a.dialog.log(),
            "Calibrating analogue output... \r\n\r\n"
            "Point 1: Please enter the mA value measured: 4.002 mA\r\n"
            "Point 2: Please enter the mA value measured: 19.996 mA\r\n"
            "\r\nCalibration finished successfully!");
  auto expected = before;
  PutFloat(expected.data() + 21, 4.002f);
  PutFloat(expected.data() + 25, 19.996f);
  PutFloat(expected.data() + 29, 1300.0f);
  PutFloat(expected.data() + 33, 6500.0f);
  EXPECT_THAT(
      a.rig.Commands(),
      ElementsAre("ReadAnalogueCalibration", "WriteAnalogueDacValue 14 05",
                  "WriteAnalogueDacValue 64 19", "WriteAnalogueCalibration" + Hex(expected)));
  EXPECT_EQ(a.rig.state().analogueCalibration, expected);
  EXPECT_EQ(std::equal(before.begin(), before.begin() + 21, expected.begin()), true);

  // 7000 ms for the output to settle and 1000 ms after the prompt, before each input; the DAC
  // write's reply (some 130 ms on this link) comes on top.
  const std::vector<sim::LoggedRequest>& log = a.rig.sim.model.log();
  ASSERT_EQ(a.host.inputTimesMs.size(), 2u);
  for (int point = 0; point < 2; ++point) {
    const int64_t afterDacMs = a.host.inputTimesMs[point] - log[1 + point].atUs / 1000;
    EXPECT_GE(afterDacMs, 8000) << point;
    EXPECT_LT(afterDacMs, 8200) << point;
  }
  // The window was kept painted with the remaining seconds shown, every button off.
  EXPECT_GT(a.host.keepAlives, 100);
  EXPECT_EQ(a.host.waitTexts.front(), "7 s");
  EXPECT_EQ(a.host.waitTexts.back(), "1 s");
  EXPECT_EQ(a.host.calibrationEnabled + a.host.testEnabled + a.host.exitEnabled, 0);
  const Form& f = a.dialog.form();
  EXPECT_TRUE(f.Enabled(A::kCalibration) && f.Enabled(A::kTest) && f.Enabled(A::kExit));
  EXPECT_FALSE(f.Enabled(A::kWaiting));
  EXPECT_EQ(f[A::kWaiting].progressMax, 0);
  EXPECT_EQ(a.dialog.failures(), 0);
}

TEST(AnalogueCalibration, CurrentsLessThanTenMilliampsApartAreRefused) {
  struct Case {
    std::optional<std::string> i1;
    std::optional<std::string> i2;
    const char* shown;
    bool written;
  } cases[] = {
      {"4.000", "13.999", "4.000 mA\r\nPoint 2: Please enter the mA value measured: 13.999 mA",
       false},
      {"4.000", "14.000", "4.000 mA\r\nPoint 2: Please enter the mA value measured: 14.000 mA",
       true},
      // The close box leaves an empty text, which is 0.0 mA like a text without a number.
      {std::nullopt, "x", "0.000 mA\r\nPoint 2: Please enter the mA value measured: 0.000 mA",
       false},
      {"4", "1e999", "4.000 mA\r\nPoint 2: Please enter the mA value measured: inf mA", false},
  };
  for (const Case& c : cases) {
    AnalogueRig a;
    const auto before = a.rig.state().analogueCalibration;
    a.host.inputs = {c.i1, c.i2};
    a.dialog.Press(A::kCalibration);
    const std::string& log = a.dialog.log();
    EXPECT_NE(log.find(c.shown), std::string::npos) << log;
    EXPECT_EQ(a.rig.sim.model.CountOf("WriteAnalogueCalibration"), c.written ? 1u : 0u) << log;
    if (!c.written) {
      EXPECT_TRUE(log.ends_with(" mA\r\nError, measured current is out of range!\r\n")) << log;
      EXPECT_EQ(a.rig.state().analogueCalibration, before);
      EXPECT_EQ(a.dialog.failures(), 1);
    }
  }
}

TEST(AnalogueCalibration, ACommandFailureEndsTheRunWithTheButtonsBack) {
  for (const char* command :
       {"ReadAnalogueCalibration", "WriteAnalogueDacValue", "WriteAnalogueCalibration"}) {
    AnalogueRig a;
    const auto before = a.rig.state().analogueCalibration;
    a.rig.sim.model.Refuse(command, 4);
    a.host.inputs = {std::string("4"), std::string("20")};
    a.dialog.Press(A::kCalibration);
    EXPECT_TRUE(a.dialog.log().ends_with("Communication error!\r\n")) << a.dialog.log();
    EXPECT_EQ(a.rig.CommandNames().back(), command);
    EXPECT_EQ(a.rig.state().analogueCalibration, before);
    EXPECT_TRUE(a.dialog.form().Enabled(A::kExit));
    EXPECT_TRUE(a.dialog.form().Enabled(A::kCalibration));
    EXPECT_EQ(a.dialog.failures(), 1);
    EXPECT_FALSE(a.dialog.ended());
  }
}

TEST(AnalogueCalibration, ATypeWithoutDacValuesSendsNothing) {
  AnalogueRig a(0x1030);
  a.rig.record.deviceType = 0x1038;
  a.dialog.Press(A::kCalibration);
  EXPECT_EQ(a.dialog.log(), "Calibrating analogue output... \r\n\r\nInvalid sensor type!\r\n");
  EXPECT_THAT(a.rig.Commands(), IsEmpty());
  EXPECT_EQ(a.dialog.failures(), 1);
}

TEST(AnalogueTest, DrivesTheTypedCurrent) {
  AnalogueRig a;
  a.host.inputs = {std::string("12")};
  const int64_t startMs = a.rig.sim.clock.NowMs();
  a.dialog.Press(A::kTest);
  EXPECT_EQ(a.dialog.log(), "Test analogue output... \r\n\r\nPlease enter the mA to be output");
  EXPECT_THAT(a.rig.Commands(), ElementsAre("SetAnalogueTestCurrent" + FloatBytes(12.0f)));
  EXPECT_TRUE(a.rig.state().testCurrentActive);
  EXPECT_FLOAT_EQ(a.rig.state().testCurrent, 12.0f);
  // One second before the input, "Test" enabled, "Calibration" and "Exit" not.
  EXPECT_EQ(a.host.inputTimesMs.front() - startMs, 1000);
  EXPECT_GT(a.host.testEnabled, 0);
  EXPECT_EQ(a.host.calibrationEnabled + a.host.exitEnabled, 0);
  EXPECT_EQ(a.dialog.failures(), 0);

  a.rig.sim.model.Refuse("SetAnalogueTestCurrent", 4);
  a.host.inputs = {std::string("30")};
  a.dialog.Press(A::kTest);
  EXPECT_EQ(a.dialog.log(),
            "Test analogue output... \r\n\r\nPlease enter the mA to be outputCommunication error!"
            "\r\n");
  EXPECT_EQ(a.dialog.failures(), 1);
  EXPECT_TRUE(a.dialog.form().Enabled(A::kCalibration));
}

// Nothing from the window reaches a running procedure: not the close box, not a second click.
TEST(AnalogueTest, TheCloseBoxAndClicksWaitUntilTheRunEnds) {
  AnalogueRig a;
  int pokes = 0;
  a.host.onKeepAlive = [&] {
    if (pokes++ > 0) return;
    a.dialog.CloseBox();
    a.dialog.Press(A::kTest);
  };
  a.host.inputs = {std::string("8")};
  a.dialog.Press(A::kTest);
  EXPECT_FALSE(a.dialog.ended());
  EXPECT_EQ(a.rig.sim.model.CountOf("SetAnalogueTestCurrent"), 1u);
  a.dialog.CloseBox();
  EXPECT_EQ(a.dialog.end(), DialogEnd::kClosed);
}

}  // namespace
}  // namespace korvin
