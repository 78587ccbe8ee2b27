#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sstream>

#include "cli/headless_session.h"
#include "support/dialog_rig.h"

namespace korvin {
namespace {

using test::DialogRig;
using ::testing::HasSubstr;

struct Outcome {
  int status;
  std::string out;
  std::string err;
};

HeadlessStep Press(const char* button) {
  return {HeadlessStep::Kind::kPress, button};
}
HeadlessStep Wait(double seconds) {
  HeadlessStep step{HeadlessStep::Kind::kWait};
  step.seconds = seconds;
  return step;
}

Outcome RunDialog(DialogRig& rig, const char* dialog, std::vector<HeadlessStep> steps,
                  std::deque<std::string> inputs = {}, std::deque<bool> answers = {}) {
  HeadlessSession::Options options;
  options.dialog = FindHeadlessDialog(dialog);
  options.steps = std::move(steps);
  options.answers.inputs = std::move(inputs);
  options.answers.answers = std::move(answers);
  std::ostringstream out;
  std::ostringstream err;
  HeadlessSession session(std::move(options), rig.sim.clock, {}, out, err);
  const int status = session.Run(rig.environment);
  return {status, out.str(), err.str()};
}

TEST(CalibrationHeadless, TheMenuShowsWhatTheSensorOffers) {
  DialogRig rig(0x1024);
  const Outcome r = RunDialog(rig, "calibration", {});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out,
            "[Dew point calibration]\n[Pressure calibration] (disabled)\n[Analogue calibration]\n"
            "[Exit]\n");
}

// The calibration dialogs are reached through the calibration menu, as on screen.
TEST(CalibrationHeadless, OffsetCalibrationThroughTheMenu) {
  DialogRig rig(0x1030);
  const Outcome r =
      RunDialog(rig, "calibrate-dewpoint", {Press("Offset calibration"), Wait(1.5)}, {"-40.0"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err,
            "? Input referene dew point -> -40.0\n! Offset calibration finished successfully!\n");
  EXPECT_THAT(r.out, HasSubstr("\nMeasured dewpoint[℃ Td]: -40."));
  EXPECT_THAT(r.out, HasSubstr("\nCali. point 1: [ ] (disabled)\nCali. point 1 / Reference: \n"));
  EXPECT_THAT(r.out, HasSubstr("\nSegment 9 / Coeff_A0: 0.00000\nCali. point 10: [ ]"));
  EXPECT_EQ(rig.sim.model.CountOf("CalibrateOffset"), 1u);
}

TEST(CalibrationHeadless, UserCalibrationWithTwoPoints) {
  DialogRig rig(0x1030);
  const Outcome r = RunDialog(
      rig, "calibrate-dewpoint",
      {Wait(2), Press("Add"), Wait(2), Press("Add"), Press("End calibration"), Press("Exit")},
      {"10.0", "0.0"}, {false});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_THAT(r.err, HasSubstr("! Calibration finished!\n? User calibration is disabled, do you "
                               "want to enable it? -> No\n"));
  EXPECT_THAT(r.out, HasSubstr("\nUser calibration count: 2\n"));
  EXPECT_THAT(r.out, HasSubstr("\nCali. point 2 / Reference: 0.00\n"));
  EXPECT_EQ(rig.state().userCalibration.count, 2);
  EXPECT_FLOAT_EQ(rig.state().userCalibration.reference[0], 10.0f);
}

TEST(CalibrationHeadless, PressureSpanAndItsRefusal) {
  DialogRig rig(0x1030);
  Outcome r = RunDialog(rig, "calibrate-pressure",
                        {{HeadlessStep::Kind::kSet, "Reference pressure:", "7.5"},
                         Press("Pressure calibration"),
                         Wait(1)},
                        {}, {true});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "? Is the refence pressure stable? -> Yes\n! Pressure calibration OK\n");
  EXPECT_THAT(r.out, HasSubstr("Measured pressure: 7.5"));

  r = RunDialog(
      rig, "calibrate-pressure",
      {{HeadlessStep::Kind::kSet, "Reference pressure", "12.01"}, Press("Pressure calibration")},
      {}, {true});
  EXPECT_EQ(r.status, 1);
  EXPECT_THAT(r.err, HasSubstr("! Reference pressure is out of range!\n"));

  DialogRig withoutPressure(0x1024);
  r = RunDialog(withoutPressure, "calibrate-pressure", {});
  EXPECT_EQ(r.status, 1);
  EXPECT_THAT(r.err, HasSubstr("\"Pressure calibration\" is not available for this sensor in "
                               "\"Calibration select\""));
}

// The analogue calibration tells its outcome in its log: a log ending in an error line fails.
TEST(CalibrationHeadless, AnalogueCalibrationFailsOnAnErrorLine) {
  DialogRig rig(0x1030);
  Outcome r = RunDialog(rig, "calibrate-analogue", {Press("Calibration")}, {"4.002", "19.996"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_THAT(r.out, HasSubstr("Message:\n  Calibrating analogue output... \n  \n"
                               "  Point 1: Please enter the mA value measured: 4.002 mA\n"
                               "  Point 2: Please enter the mA value measured: 19.996 mA\n  \n"
                               "  Calibration finished successfully!\n"));

  r = RunDialog(rig, "calibrate-analogue", {Press("Calibration")}, {"4.000", "13.999"});
  EXPECT_EQ(r.status, 1);
  EXPECT_THAT(r.out, HasSubstr("  Error, measured current is out of range!\n"));
}

}  // namespace
}  // namespace korvin
