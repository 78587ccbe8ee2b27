#include "calibration/c_pressure_cali.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "support/dialog_rig.h"

namespace korvin {
namespace {

using test::DialogRig;
using test::FloatBytes;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using P = CPressureCali;

void Open(DialogRig& rig, CPressureCali& dialog) {
  dialog.Attach(rig.host);
  dialog.Open();
  rig.ClearLog();
  rig.host.events.clear();
}

TEST(PressureCalibration, OpensWithTheRefreshAndShowsThePressure) {
  DialogRig rig(0x1030);
  rig.state().process.pressureSwing = 0.0;
  CPressureCali dialog(rig.environment);
  dialog.Attach(rig.host);
  dialog.Open();
  EXPECT_THAT(rig.Commands(), IsEmpty());
  EXPECT_EQ(rig.host.timers[P::kRefreshTimer], 1000);
  dialog.OnTimer(P::kRefreshTimer);
  EXPECT_THAT(rig.Commands(), ElementsAre("ReadMeasurements 03 01"));
  char expected[16];
  std::snprintf(expected, sizeof expected, "%0.3f", rig.sim.model.ReadingsNow().pressureBarg);
  EXPECT_EQ(dialog.form().Text(P::kMeasured), expected);
}

TEST(PressureCalibration, ThreeFailedRefreshesInARowClose) {
  DialogRig rig(0x1030);
  CPressureCali dialog(rig.environment);
  Open(rig, dialog);
  rig.sim.model.faults().silent = true;
  dialog.OnTimer(P::kRefreshTimer);
  dialog.OnTimer(P::kRefreshTimer);
  rig.sim.model.faults().silent = false;
  dialog.OnTimer(P::kRefreshTimer);
  EXPECT_EQ(dialog.refreshFailures(), 0);
  rig.sim.model.faults().silent = true;
  for (int i = 0; i < 3; ++i) dialog.OnTimer(P::kRefreshTimer);
  EXPECT_THAT(rig.host.messages, ElementsAre("Communication error"));
  EXPECT_EQ(dialog.end(), DialogEnd::kFailed);
  EXPECT_FALSE(rig.host.TimerRunning(P::kRefreshTimer));
}

TEST(PressureCalibration, ZeroPointAsksThenCalibratesWithTheTimerStopped) {
  DialogRig rig(0x1030);
  CPressureCali dialog(rig.environment);
  Open(rig, dialog);
  rig.host.answers = {false};
  dialog.Press(P::kZero);
  EXPECT_THAT(rig.host.questions, ElementsAre("Is the reference pressure 0 bar?"));
  EXPECT_THAT(rig.Commands(), IsEmpty());

  rig.host.answers = {true};
  dialog.Press(P::kZero);
  EXPECT_THAT(rig.Commands(), ElementsAre("CalibratePressureZero"));
  EXPECT_THAT(rig.host.events,
              ElementsAre("question: Is the reference pressure 0 bar?",
                          "question: Is the reference pressure 0 bar?", "timer stop 22",
                          "message: Zero point calibrate OK", "timer start 22"));
  EXPECT_FALSE(dialog.refreshBusy());
  // The sensor now reads its vented line as zero.
  rig.ClearLog();
  dialog.OnTimer(P::kRefreshTimer);
  EXPECT_NEAR(std::stod(dialog.form().Text(P::kMeasured)), 0.0, 0.02);
}

// The range is checked after the question; its bounds are accepted; text without a number is
// 0.0 and refused.
TEST(PressureCalibration, SpanRangeBoundsAreAccepted) {
  struct Case {
    const char* reference;
    bool sent;
  } cases[] = {{"6", true},      {"12", true}, {"6.0 barg", true}, {"5.99", false},
               {"12.01", false}, {"", false},  {"abc", false},     {"1e999", false}};
  for (const Case& c : cases) {
    DialogRig rig(0x1030);
    CPressureCali dialog(rig.environment);
    Open(rig, dialog);
    dialog.form().SetText(P::kReference, c.reference);
    rig.host.answers = {true};
    dialog.Press(P::kSpan);
    EXPECT_THAT(rig.host.questions, ElementsAre("Is the refence pressure stable?"));
    if (c.sent) {
      const float value = static_cast<float>(std::stod(c.reference));
      EXPECT_THAT(rig.Commands(), ElementsAre("CalibratePressureSpan" + FloatBytes(value)))
          << c.reference;
      EXPECT_THAT(rig.host.messages, ElementsAre("Pressure calibration OK"));
      EXPECT_TRUE(rig.host.TimerRunning(P::kRefreshTimer));
    } else {
      EXPECT_THAT(rig.Commands(), IsEmpty()) << c.reference;
      EXPECT_THAT(rig.host.messages, ElementsAre("Reference pressure is out of range!"));
      // The refresh was never interrupted.
      EXPECT_THAT(rig.host.events, ElementsAre("question: Is the refence pressure stable?",
                                               "message: Reference pressure is out of range!"));
    }
    EXPECT_FALSE(dialog.ended());
  }
  // No to the question: nothing at all, not even the range check.
  DialogRig rig(0x1030);
  CPressureCali dialog(rig.environment);
  Open(rig, dialog);
  dialog.form().SetText(P::kReference, "99");
  dialog.Press(P::kSpan);
  EXPECT_THAT(rig.host.messages, IsEmpty());
  EXPECT_THAT(rig.Commands(), IsEmpty());
}

TEST(PressureCalibration, SpanMovesTheReportedPressureToTheReference) {
  DialogRig rig(0x1030);
  rig.state().process.pressureSwing = 0.0;
  rig.state().process.rawPressureGain = 1.05;  // an element that reads 5 % high
  CPressureCali dialog(rig.environment);
  Open(rig, dialog);
  rig.host.answers = {true, true};
  dialog.Press(P::kZero);
  dialog.form().SetText(P::kReference, "7.5");
  dialog.Press(P::kSpan);
  dialog.OnTimer(P::kRefreshTimer);
  EXPECT_EQ(dialog.form().Text(P::kMeasured), "7.500");
}

TEST(PressureCalibration, AFailedCalibrationClosesTheDialog) {
  for (const char* command : {"CalibratePressureZero", "CalibratePressureSpan"}) {
    DialogRig rig(0x1030);
    rig.sim.model.Refuse(command, 4);
    CPressureCali dialog(rig.environment);
    Open(rig, dialog);
    dialog.form().SetText(P::kReference, "8");
    rig.host.answers = {true};
    dialog.Press(std::string(command) == "CalibratePressureZero" ? P::kZero : P::kSpan);
    EXPECT_EQ(rig.sim.model.CountOf(command), 3u);
    EXPECT_THAT(rig.host.messages, ElementsAre("Communication error"));
    EXPECT_EQ(dialog.end(), DialogEnd::kFailed);
    EXPECT_FALSE(rig.host.TimerRunning(P::kRefreshTimer));
  }
}

// A tick pumped while a calibration command waits finds the refresh held and reads nothing.
TEST(PressureCalibration, ATickDuringACalibrationStepDoesNothing) {
  DialogRig rig(0x1030);
  CPressureCali dialog(rig.environment);
  Open(rig, dialog);
  rig.sim.model.SetResponseDelayUs(300'000);
  int pumped = 0;
  rig.sim.onPump = [&] {
    ++pumped;
    dialog.OnTimer(P::kRefreshTimer);
    return false;
  };
  rig.host.answers = {true};
  dialog.Press(P::kZero);
  EXPECT_GT(pumped, 0);
  EXPECT_THAT(rig.CommandNames(), ElementsAre("CalibratePressureZero"));
  EXPECT_EQ(dialog.refreshFailures(), 0);
}

// A button pressed while a refresh waits: each of its three attempts fails at once on the busy
// link, so the step fails without reaching the sensor.
TEST(PressureCalibration, AButtonDuringARefreshFailsItsAttempts) {
  DialogRig rig(0x1030);
  CPressureCali dialog(rig.environment);
  Open(rig, dialog);
  rig.sim.model.SetResponseDelayUs(300'000);
  bool pressed = false;
  rig.sim.onPump = [&] {
    if (!pressed) {
      pressed = true;
      rig.host.answers = {true};
      dialog.Press(P::kZero);
    }
    return false;
  };
  dialog.OnTimer(P::kRefreshTimer);
  EXPECT_TRUE(pressed);
  EXPECT_EQ(rig.sim.model.CountOf("CalibratePressureZero"), 0u);
  EXPECT_THAT(rig.host.messages, ElementsAre("Communication error"));
  EXPECT_EQ(dialog.end(), DialogEnd::kFailed);
  EXPECT_THAT(rig.CommandNames(), ElementsAre("ReadMeasurements"));
}

TEST(PressureCalibration, ExitAndTheCloseBoxStopTheRefresh) {
  for (bool closeBox : {false, true}) {
    DialogRig rig(0x1030);
    CPressureCali dialog(rig.environment);
    Open(rig, dialog);
    closeBox ? dialog.CloseBox() : dialog.Press(P::kExit);
    EXPECT_EQ(dialog.end(), DialogEnd::kClosed);
    EXPECT_FALSE(rig.host.TimerRunning(P::kRefreshTimer));
    EXPECT_THAT(rig.Commands(), IsEmpty());
  }
}

}  // namespace
}  // namespace korvin
