#include "calibration/c_manual_calibration.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "support/dialog_rig.h"

namespace korvin {
namespace {

using test::DialogRig;
using test::FloatBytes;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;
using M = CManualCalibration;

// A process that stands still, so a reading can be compared with what the sensor computes.
void Freeze(DialogRig& rig) {
  sim::Process& p = rig.state().process;
  p.noise = 0.0;
  p.dewPointSwing = 0.0;
  p.temperatureSwing = 0.0;
}

void Open(DialogRig& rig, CManualCalibration& dialog) {
  dialog.Attach(rig.host);
  dialog.Open();
  rig.ClearLog();
  rig.host.events.clear();
}

std::string Floats(const std::array<float, 10>& values) {
  std::string text;
  for (float v : values) text += FloatBytes(v);
  return text;
}

// Points stored in the sensor, as (reference, measured) from the top row down.
void Store(DialogRig& rig, std::vector<std::pair<float, float>> points) {
  sim::UserCalibration& uc = rig.state().userCalibration;
  uc.count = static_cast<uint8_t>(points.size());
  for (size_t i = 0; i < points.size(); ++i) {
    uc.reference[i] = points[i].first;
    uc.measured[i] = points[i].second;
  }
}

std::vector<std::string> Rows(const CManualCalibration& dialog) {
  std::vector<std::string> rows;
  for (size_t r = 0; r < M::kPoints; ++r) {
    const Form& f = dialog.form();
    rows.push_back(f.Text(M::RowReference(r)) + "|" + f.Text(M::RowMeasured(r)) +
                   (f.Enabled(M::RowRadio(r)) ? "" : " off"));
  }
  return rows;
}

// Adds a point as the technician does: the live field shows `measured`, the input gives
// `reference`.
void Add(DialogRig& rig, CManualCalibration& dialog, const char* reference, const char* measured) {
  dialog.form().SetText(M::kMeasured, measured);
  rig.host.inputs.push_back(std::string(reference));
  dialog.Press(M::kAdd);
}

TEST(DewPointCalibrationOpen, ReadsTheOffsetsOfTheElementsThenTheUserCalibration) {
  struct Case {
    int elementSet;
    std::vector<std::string> offsets;
    const char* polymer;
    const char* qcm;
  } cases[] = {
      {2, {"ReadOffset 01", "ReadOffset 03"}, "0.250", "-1.125"},
      {0, {"ReadOffset 01"}, "0.250", ""},
      {1, {"ReadOffset 03"}, "", "-1.125"},
  };
  for (const Case& c : cases) {
    DialogRig rig(0x1030);
    rig.record.elementSet = c.elementSet;
    rig.state().offsets[1] = 0.25f;
    rig.state().offsets[3] = -1.125f;
    CManualCalibration dialog(rig.environment);
    dialog.Attach(rig.host);
    dialog.Open();
    std::vector<std::string> expected = c.offsets;
    for (const char* read :
         {"ReadUserCalibrationFlags", "ReadMaxCalibrationPoints", "ReadUserCalibrationCount",
          "ReadUserCalibrationReference", "ReadUserCalibrationMeasured"}) {
      expected.push_back(read);
    }
    for (int k = 0; k < 9; ++k)
      expected.push_back("ReadUserCalibrationCoefficients 0" + std::to_string(k));
    EXPECT_THAT(rig.Commands(), ElementsAreArray(expected)) << c.elementSet;
    EXPECT_EQ(dialog.form().Text(M::kPolymerOffset), c.polymer);
    EXPECT_EQ(dialog.form().Text(M::kQcmOffset), c.qcm);
    EXPECT_THAT(rig.host.events, ElementsAre("timer start 11"));
    EXPECT_EQ(rig.host.timers[M::kRefreshTimer], 1000);
  }
}

TEST(DewPointCalibrationOpen, ShowsTheStoredPointsAndTheEnableRules) {
  DialogRig rig(0x1030);
  Store(rig, {{10.0f, 9.5f}, {0.0f, -0.4f}});
  rig.state().userCalibration.flags = 0x03;
  rig.state().userCalibration.coefficients[0] = {1.0101011f, 0.4040405f};
  CManualCalibration dialog(rig.environment);
  Open(rig, dialog);
  const Form& f = dialog.form();
  EXPECT_EQ(f.Text(M::kMaximum), "10");
  EXPECT_EQ(f.Text(M::kCount), "2");
  EXPECT_TRUE(f.Checked(M::kEnable));
  EXPECT_EQ(Rows(dialog)[0], "10.00|9.50");
  EXPECT_EQ(Rows(dialog)[1], "0.00|-0.40");
  EXPECT_EQ(Rows(dialog)[2], "| off");
  EXPECT_EQ(f.Text(M::SegmentA1(0)), "1.01010");
  EXPECT_EQ(f.Text(M::SegmentA0(0)), "0.40404");
  EXPECT_EQ(f.Text(M::SegmentA1(8)), "1.00000");
  EXPECT_TRUE(f.Enabled(M::kAdd));
  EXPECT_TRUE(f.Enabled(M::kDelete));

  struct Case {
    uint8_t maximum;
    uint8_t count;
    const char* shownMaximum;
    const char* shownCount;
    bool add;
    bool remove;
  } cases[] = {
      {10, 0, "10", "0", true, false},
      {4, 4, "4", "4", false, true},
      {12, 11, "10", "10", false, true},  // limited to the table's ten rows
      {3, 5, "3", "5", false, true},      // more points than the maximum: Add stays off
  };
  for (const Case& c : cases) {
    DialogRig other(0x1030);
    other.state().userCalibration.maxPoints = c.maximum;
    other.state().userCalibration.count = c.count;
    CManualCalibration d(other.environment);
    Open(other, d);
    EXPECT_EQ(d.form().Text(M::kMaximum), c.shownMaximum) << int(c.maximum);
    EXPECT_EQ(d.form().Text(M::kCount), c.shownCount) << int(c.maximum);
    EXPECT_EQ(d.form().Enabled(M::kAdd), c.add) << int(c.maximum);
    EXPECT_EQ(d.form().Enabled(M::kDelete), c.remove) << int(c.maximum);
    EXPECT_EQ(d.form().Enabled(M::RowRadio(0)), c.count > 0);
    EXPECT_FALSE(d.ended());
  }
}

// Open reads run once each, not three times, and a failure closes the dialog before the rest
// is read. A refusal of a 5-byte reply is one send; one of a longer reply arrives short and costs
// the engine's three tries.
TEST(DewPointCalibrationOpen, AFailedReadClosesAtOnce) {
  const std::pair<const char*, size_t> cases[] = {
      {"ReadOffset", 1}, {"ReadUserCalibrationCount", 1}, {"ReadUserCalibrationCoefficients", 3}};
  for (const auto& [command, sent] : cases) {
    DialogRig rig(0x1030);
    rig.sim.model.Refuse(command, 7);
    CManualCalibration dialog(rig.environment);
    dialog.Attach(rig.host);
    dialog.Open();
    EXPECT_EQ(dialog.end(), DialogEnd::kFailed) << command;
    EXPECT_THAT(rig.host.messages, ElementsAre("Communication error")) << command;
    EXPECT_EQ(rig.sim.model.CountOf(command), sent) << command;
    EXPECT_EQ(rig.CommandNames().back(), command);
    EXPECT_FALSE(rig.host.TimerRunning(M::kRefreshTimer));
  }
}

TEST(DewPointCalibrationRefresh, ShowsTheDewPointAndGivesUpAfterThreeFailuresInARow) {
  DialogRig rig(0x1030);
  Freeze(rig);
  CManualCalibration dialog(rig.environment);
  Open(rig, dialog);
  dialog.OnTimer(M::kRefreshTimer);
  EXPECT_THAT(rig.Commands(), ElementsAre("ReadMeasurements 02 01"));
  char expected[16];
  std::snprintf(expected, sizeof expected, "%0.2f", rig.sim.model.ReadingsNow().dewPointC);
  EXPECT_EQ(dialog.form().Text(M::kMeasured), expected);

  rig.sim.model.faults().silent = true;
  dialog.OnTimer(M::kRefreshTimer);
  dialog.OnTimer(M::kRefreshTimer);
  EXPECT_EQ(dialog.refreshFailures(), 2);
  rig.sim.model.faults().silent = false;
  dialog.OnTimer(M::kRefreshTimer);  // a success in between starts the count again
  EXPECT_EQ(dialog.refreshFailures(), 0);
  rig.sim.model.faults().silent = true;
  dialog.OnTimer(M::kRefreshTimer);
  dialog.OnTimer(M::kRefreshTimer);
  EXPECT_FALSE(dialog.ended());
  EXPECT_THAT(rig.host.messages, IsEmpty());
  dialog.OnTimer(M::kRefreshTimer);
  EXPECT_THAT(rig.host.messages, ElementsAre("Communication error"));
  EXPECT_EQ(dialog.end(), DialogEnd::kFailed);
  EXPECT_FALSE(rig.host.TimerRunning(M::kRefreshTimer));
  EXPECT_EQ(dialog.refreshFailures(), 0);
  EXPECT_EQ(dialog.form().Text(M::kMeasured), expected);
}

// While the sensor answers a calibration command, the pumped tick's read fails at once (the
// link is busy), counts as a failed refresh and never reaches the sensor; a tick pumped while a
// refresh itself waits does nothing.
TEST(DewPointCalibrationRefresh, ATickDuringAnotherTransaction) {
  DialogRig rig(0x1030);
  CManualCalibration dialog(rig.environment);
  Open(rig, dialog);
  rig.sim.model.SetResponseDelayUs(300'000);  // every command waits long enough for a tick
  int pumped = 0;
  rig.sim.onPump = [&] {
    if (pumped++ == 0) dialog.OnTimer(M::kRefreshTimer);
    return false;
  };
  rig.host.inputs.push_back(std::string("-40"));
  dialog.Press(M::kOffsetCalibration);
  EXPECT_GT(pumped, 1);
  EXPECT_EQ(dialog.refreshFailures(), 1);
  EXPECT_THAT(rig.CommandNames(), ElementsAre("CalibrateOffset", "ReadOffset", "ReadOffset"));
  EXPECT_THAT(rig.host.messages, ElementsAre("Offset calibration finished successfully!"));
  EXPECT_EQ(dialog.form().Text(M::kMeasured), "");
  // The replies went where they belong: the offsets shown are the sensor's.
  char qcm[16];
  std::snprintf(qcm, sizeof qcm, "%0.3f", rig.state().offsets[3]);
  EXPECT_EQ(dialog.form().Text(M::kQcmOffset), qcm);

  rig.ClearLog();
  pumped = 0;
  dialog.OnTimer(M::kRefreshTimer);
  EXPECT_GT(pumped, 1);
  EXPECT_THAT(rig.CommandNames(), ElementsAre("ReadMeasurements"));
  EXPECT_EQ(dialog.refreshFailures(), 0);
  EXPECT_NE(dialog.form().Text(M::kMeasured), "");
  EXPECT_FALSE(dialog.refreshBusy());
}

TEST(DewPointCalibrationOffset, CalibratesAndReadsTheOffsetsBack) {
  DialogRig rig(0x1030);
  CManualCalibration dialog(rig.environment);
  Open(rig, dialog);
  rig.host.inputs = {std::nullopt};
  dialog.Press(M::kOffsetCalibration);
  EXPECT_THAT(rig.Commands(), IsEmpty());

  rig.host.inputs = {std::string(""), std::string("-40.0 ℃")};
  dialog.Press(M::kOffsetCalibration);
  EXPECT_THAT(rig.Commands(), ElementsAre("CalibrateOffset" + FloatBytes(-40.0f), "ReadOffset 01",
                                          "ReadOffset 03"));
  EXPECT_THAT(rig.host.messages,
              ElementsAre("Invalid valie!", "Offset calibration finished successfully!"));
  char qcm[16];
  std::snprintf(qcm, sizeof qcm, "%0.3f", rig.state().offsets[3]);
  EXPECT_EQ(dialog.form().Text(M::kQcmOffset), qcm);
  // The sensor's reading follows its new offset.
  rig.ClearLog();
  dialog.OnTimer(M::kRefreshTimer);
  EXPECT_NEAR(std::stod(dialog.form().Text(M::kMeasured)), -40.0, 0.1);

  rig.sim.model.Refuse("CalibrateOffset", 4);
  rig.ClearLog();
  rig.host.messages.clear();
  rig.host.inputs = {std::string("-35")};
  dialog.Press(M::kOffsetCalibration);
  EXPECT_THAT(rig.CommandNames(),
              ElementsAre("CalibrateOffset", "CalibrateOffset", "CalibrateOffset"));
  EXPECT_THAT(rig.host.messages, ElementsAre("Communication error"));
  EXPECT_FALSE(dialog.ended());
}

TEST(DewPointCalibrationOffset, ClearOffsetWritesTheElementsTheSensorHas) {
  struct Case {
    int elementSet;
    std::vector<std::string> writes;
    const char* polymer;
    const char* qcm;
  } cases[] = {
      {2, {"WriteOffset 01 00 00 00 00", "WriteOffset 03 00 00 00 00"}, "0.000", "0.000"},
      {0, {"WriteOffset 01 00 00 00 00"}, "0.000", ""},
      {1, {"WriteOffset 03 00 00 00 00"}, "", "0.000"},
  };
  for (const Case& c : cases) {
    DialogRig rig(0x1030);
    rig.record.elementSet = c.elementSet;
    rig.state().offsets[1] = 1.5f;
    rig.state().offsets[3] = 2.5f;
    CManualCalibration dialog(rig.environment);
    Open(rig, dialog);
    dialog.Press(M::kClearOffset);
    EXPECT_THAT(rig.Commands(), ElementsAreArray(c.writes)) << c.elementSet;
    EXPECT_EQ(dialog.form().Text(M::kPolymerOffset), c.polymer);
    EXPECT_EQ(dialog.form().Text(M::kQcmOffset), c.qcm);
    EXPECT_THAT(rig.host.messages, ElementsAre("Clear offset ok!"));
  }
}

TEST(DewPointCalibrationTable, AddKeepsTheRowsInDescendingOrder) {
  DialogRig rig(0x1030);
  rig.state().userCalibration.maxPoints = 4;
  CManualCalibration dialog(rig.environment);
  Open(rig, dialog);
  Add(rig, dialog, "0", "-0.40");
  EXPECT_EQ(Rows(dialog)[0], "0.00|-0.40");
  EXPECT_TRUE(dialog.form().Enabled(M::kDelete));
  Add(rig, dialog, "10", "9.50");         // higher than all: to the top, the others move down
  Add(rig, dialog, "-20.004", "-19.70");  // lower than all: below the last
  Add(rig, dialog, "5", "4.60");
  EXPECT_THAT(Rows(dialog), ElementsAre("10.00|9.50", "5.00|4.60", "0.00|-0.40", "-20.00|-19.70",
                                        "| off", "| off", "| off", "| off", "| off", "| off"));
  EXPECT_EQ(dialog.form().Text(M::kCount), "4");
  EXPECT_FALSE(dialog.form().Enabled(M::kAdd));  // the maximum is reached
  EXPECT_THAT(rig.host.messages, IsEmpty());
  EXPECT_THAT(rig.Commands(), IsEmpty());  // the table lives on screen only
}

TEST(DewPointCalibrationTable, AddRefusesDuplicatesAndPointsTakenWithTheCorrectionOn) {
  DialogRig rig(0x1030);
  Store(rig, {{10.0f, 9.5f}, {0.0f, -0.4f}});
  CManualCalibration dialog(rig.environment);
  Open(rig, dialog);
  const std::vector<std::string> before = Rows(dialog);
  struct Case {
    const char* reference;
    const char* measured;
    const char* message;
  } cases[] = {
      {"10.0", "3.00", "This calibration point has been existed!"},
      {"abc", "3.00", "This calibration point has been existed!"},  // 0.0 like the second row
      {"5", "-0.4", "Measure value is same!"},
  };
  for (const Case& c : cases) {
    rig.host.messages.clear();
    Add(rig, dialog, c.reference, c.measured);
    EXPECT_THAT(rig.host.messages, ElementsAre(c.message)) << c.reference;
    EXPECT_EQ(Rows(dialog), before);
    EXPECT_EQ(dialog.form().Text(M::kCount), "2");
  }
  rig.host.messages.clear();
  dialog.form().SetChecked(M::kEnable, true);
  Add(rig, dialog, "5", "4.60");
  EXPECT_THAT(rig.host.messages, ElementsAre("Please disable user calibration first!"));
  EXPECT_EQ(Rows(dialog), before);
  EXPECT_EQ(dialog.failures(), 4);
}

TEST(DewPointCalibrationTable, DeleteMovesTheRowsBelowUp) {
  DialogRig rig(0x1030);
  Store(rig, {{10.0f, 9.5f}, {5.0f, 4.6f}, {0.0f, -0.4f}});
  CManualCalibration dialog(rig.environment);
  Open(rig, dialog);
  Form& f = dialog.form();
  dialog.Press(M::kDelete);
  EXPECT_THAT(rig.host.messages, ElementsAre("Invalid calibration point is selected."));

  f.SetChecked(M::RowRadio(1), true);
  dialog.Changed(M::RowRadio(1));
  dialog.Press(M::kDelete);
  EXPECT_THAT(Rows(dialog), ElementsAre("10.00|9.50", "0.00|-0.40", "| off", "| off", "| off",
                                        "| off", "| off", "| off", "| off", "| off"));
  EXPECT_EQ(f.Text(M::kCount), "2");
  EXPECT_FALSE(f.Checked(M::RowRadio(1)));  // the selection is cleared

  // A selection below the last point is refused.
  f.SetChecked(M::RowRadio(4), true);
  dialog.Press(M::kDelete);
  EXPECT_EQ(rig.host.messages.back(), "Invalid calibration point is selected.");
  f.SetChecked(M::RowRadio(4), false);

  for (int i = 0; i < 2; ++i) {
    f.SetChecked(M::RowRadio(0), true);
    dialog.Press(M::kDelete);
  }
  EXPECT_EQ(f.Text(M::kCount), "0");
  EXPECT_EQ(Rows(dialog)[0], "| off");
  EXPECT_FALSE(f.Enabled(M::kDelete));
  EXPECT_TRUE(f.Enabled(M::kAdd));
  EXPECT_THAT(rig.Commands(), IsEmpty());
}

// The worked example: two points give one computed stretch; the stretches up to the sensor's
// maximum get the neutral line, then the count and both buffers follow.
TEST(DewPointCalibrationEnd, WritesTheSegmentsTheCountAndBothBuffers) {
  DialogRig rig(0x1030);
  sim::UserCalibration& uc = rig.state().userCalibration;
  for (size_t i = 0; i < 10; ++i) {
    uc.reference[i] = 100.0f + static_cast<float>(i);
    uc.measured[i] = 200.0f + static_cast<float>(i);
  }
  CManualCalibration dialog(rig.environment);
  Open(rig, dialog);
  Add(rig, dialog, "10.00", "9.50");
  Add(rig, dialog, "0.00", "-0.40");
  dialog.Press(M::kEndCalibration);

  const float a1 = (10.0f - 0.0f) / (9.5f - -0.4f);
  const float a0 = 10.0f - 9.5f * a1;
  EXPECT_NEAR(a1, 1.010101, 1e-6);
  EXPECT_NEAR(a0, 0.40404, 1e-5);
  std::vector<std::string> expected = {"WriteUserCalibrationCoefficients 00" + FloatBytes(a1) +
                                       FloatBytes(a0)};
  for (int k = 1; k <= 8; ++k) {
    expected.push_back("WriteUserCalibrationCoefficients 0" + std::to_string(k) + FloatBytes(1.0f) +
                       FloatBytes(0.0f));
  }
  expected.push_back("SetCalibrationPointCount 02");
  std::array<float, 10> references = {10.0f, 0.0f};
  std::array<float, 10> measured = {9.5f, -0.4f};
  for (size_t i = 2; i < 10; ++i) {
    references[i] = 100.0f + static_cast<float>(i);
    measured[i] = 200.0f + static_cast<float>(i);
  }
  expected.push_back("WriteUserCalibrationReference" + Floats(references));
  expected.push_back("WriteUserCalibrationMeasured" + Floats(measured));
  EXPECT_THAT(rig.Commands(), ElementsAreArray(expected));
  EXPECT_THAT(rig.host.messages, ElementsAre("Calibration finished!"));
  EXPECT_EQ(dialog.form().Text(M::SegmentA1(0)), "1.010101");
  EXPECT_EQ(dialog.form().Text(M::SegmentA0(0)), "0.404039");  // single precision
  EXPECT_EQ(dialog.form().Text(M::SegmentA1(1)), "1.000000");
  EXPECT_EQ(dialog.form().Text(M::SegmentA0(8)), "0.000000");

  // With the correction on, the sensor turns its reading into the reference scale.
  EXPECT_EQ(uc.count, 2);
  const double before = rig.sim.model.ReadingsNow().dewPointC;
  uc.flags = 0x01;
  EXPECT_NEAR(rig.sim.model.ReadingsNow().dewPointC, a1 * before + a0, 1e-4);
}

TEST(DewPointCalibrationEnd, NeutralSegmentsFollowTheMaximum) {
  struct Case {
    uint8_t maximum;
    std::vector<std::string> points;
    size_t neutral;
  } cases[] = {{5, {"10", "0"}, 3}, {3, {"10", "5", "0"}, 0}, {10, {"10", "5", "0"}, 7}};
  for (const Case& c : cases) {
    DialogRig rig(0x1030);
    rig.state().userCalibration.maxPoints = c.maximum;
    CManualCalibration dialog(rig.environment);
    Open(rig, dialog);
    int measured = 0;
    for (const std::string& p : c.points) {
      Add(rig, dialog, p.c_str(), std::to_string(measured++).c_str());
    }
    dialog.Press(M::kEndCalibration);
    const std::vector<std::string> names = rig.CommandNames();
    EXPECT_EQ(std::count(names.begin(), names.end(), "WriteUserCalibrationCoefficients"),
              static_cast<long>(c.points.size() - 1 + c.neutral))
        << int(c.maximum);
    EXPECT_THAT(rig.host.messages, ElementsAre("Calibration finished!"));
  }
}

TEST(DewPointCalibrationEnd, EqualMeasuredValuesGiveAFlatLine) {
  DialogRig rig(0x1030);
  Store(rig, {{10.0f, 2.0f}, {0.0f, 2.0f}});  // stored by another tool: Add would refuse it
  CManualCalibration dialog(rig.environment);
  Open(rig, dialog);
  dialog.Press(M::kEndCalibration);
  EXPECT_EQ(rig.Commands().front(),
            "WriteUserCalibrationCoefficients 00" + FloatBytes(0.0f) + FloatBytes(10.0f));
}

TEST(DewPointCalibrationEnd, RefusalsSendNothingAndAFailureStopsWhereItIs) {
  {
    DialogRig rig(0x1030);
    CManualCalibration dialog(rig.environment);
    Open(rig, dialog);
    Add(rig, dialog, "10", "");  // before the first refresh: no measured value yet
    Add(rig, dialog, "0", "-0.40");
    dialog.Press(M::kEndCalibration);
    EXPECT_THAT(rig.host.messages, ElementsAre("Invalid reference or actual value!"));
    EXPECT_THAT(rig.Commands(), IsEmpty());
  }
  {
    DialogRig rig(0x1030);
    CManualCalibration dialog(rig.environment);
    Open(rig, dialog);
    Add(rig, dialog, "10", "9.50");
    dialog.Press(M::kEndCalibration);
    EXPECT_THAT(rig.host.messages, ElementsAre("Too little calibration points are selected"));
    EXPECT_THAT(rig.Commands(), IsEmpty());
  }
  {
    DialogRig rig(0x1030);
    rig.sim.model.Refuse("SetCalibrationPointCount", 4);
    CManualCalibration dialog(rig.environment);
    Open(rig, dialog);
    Add(rig, dialog, "10", "9.50");
    Add(rig, dialog, "0", "-0.40");
    dialog.Press(M::kEndCalibration);
    EXPECT_THAT(rig.host.messages, ElementsAre("Communication error"));
    const std::vector<std::string> names = rig.CommandNames();
    EXPECT_EQ(names.back(), "SetCalibrationPointCount");
    EXPECT_EQ(std::count(names.begin(), names.end(), "WriteUserCalibrationCoefficients"), 9);
    EXPECT_EQ(dialog.form().Text(M::SegmentA1(0)), "1.00000");  // not shown as finished
    EXPECT_FALSE(dialog.ended());
  }
}

TEST(DewPointCalibrationEnable, TheCheckBoxWritesBitZeroWithTheRefreshHeld) {
  DialogRig rig(0x1030);
  rig.state().userCalibration.flags = 0x06;
  CManualCalibration dialog(rig.environment);
  Open(rig, dialog);
  dialog.form().SetChecked(M::kEnable, true);
  dialog.Changed(M::kEnable);
  EXPECT_THAT(rig.Commands(), ElementsAre("WriteUserCalibrationFlags 07"));
  EXPECT_THAT(rig.host.events, ElementsAre("timer stop 11", "timer start 11"));
  EXPECT_FALSE(dialog.refreshBusy());

  rig.ClearLog();
  rig.host.events.clear();
  rig.sim.model.Refuse("WriteUserCalibrationFlags", 4);
  dialog.form().SetChecked(M::kEnable, false);
  dialog.Changed(M::kEnable);
  EXPECT_THAT(rig.CommandNames(),
              ElementsAre("WriteUserCalibrationFlags", "WriteUserCalibrationFlags",
                          "WriteUserCalibrationFlags"));
  EXPECT_EQ(rig.Commands().front(), "WriteUserCalibrationFlags 06");
  EXPECT_THAT(rig.host.messages, ElementsAre("Communication error"));
  // The refresh stays stopped and held: a stray tick reads nothing.
  EXPECT_THAT(rig.host.events, ElementsAre("timer stop 11", "message: Communication error"));
  rig.ClearLog();
  dialog.OnTimer(M::kRefreshTimer);
  EXPECT_THAT(rig.Commands(), IsEmpty());
  EXPECT_FALSE(dialog.ended());
}

TEST(DewPointCalibrationExit, AsksAboutTheUserCalibrationBeforeClosing) {
  struct Case {
    uint8_t flags;
    bool answer;
    std::vector<std::string> writes;
  } cases[] = {
      {0x05, true, {"WriteUserCalibrationFlags 04"}},
      {0x04, true, {"WriteUserCalibrationFlags 05"}},
      {0x01, false, {}},
  };
  for (const Case& c : cases) {
    for (bool closeBox : {false, true}) {
      DialogRig rig(0x1030);
      rig.state().userCalibration.flags = c.flags;
      CManualCalibration dialog(rig.environment);
      Open(rig, dialog);
      rig.host.answers = {c.answer};
      if (closeBox) {
        dialog.CloseBox();
      } else {
        dialog.Press(M::kExit);
      }
      EXPECT_THAT(rig.host.questions,
                  ElementsAre((c.flags & 1) != 0
                                  ? "User calibration is enabled, do you want to disable it?"
                                  : "User calibration is disabled, do you want to enable it?"));
      EXPECT_THAT(rig.Commands(), ElementsAreArray(c.writes));
      EXPECT_EQ(dialog.end(), DialogEnd::kClosed);
      EXPECT_FALSE(rig.host.TimerRunning(M::kRefreshTimer));
    }
  }
  DialogRig rig(0x1030);
  rig.sim.model.Refuse("WriteUserCalibrationFlags", 4);
  CManualCalibration dialog(rig.environment);
  Open(rig, dialog);
  rig.host.answers = {true};
  dialog.Press(M::kExit);
  EXPECT_THAT(rig.host.messages, ElementsAre("Communication error"));
  EXPECT_FALSE(dialog.ended());
}

}  // namespace
}  // namespace korvin
