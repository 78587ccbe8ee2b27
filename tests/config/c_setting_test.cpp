#include "config/c_setting.h"

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
using S = CSetting;

// Opens the dialog; `display` answers "Is the device with display?".
void Open(DialogRig& rig, CSetting& dialog, bool display = false) {
  rig.host.answers.push_back(display);
  dialog.Attach(rig.host);
  dialog.Open();
}

// What open reads, per class of device type: compensation always, atmospheric pressure unless
// the type has none, the filters, the gas type for the QCM element, the display channels only
// when a display was confirmed on a type that may have one.
TEST(SensorSettingsOpen, ReadSequencePerDeviceType) {
  struct Case {
    uint16_t type;
    bool display;
    std::vector<std::string> reads;
    bool asked;
  } cases[] = {
      {0x1030,
       true,
       {"ReadPressureCompensation", "ReadAtmosphericPressure", "ReadOutputFilterActive",
        "ReadFilterGrade", "ReadSecondFilterGrade", "ReadGasType", "ReadDisplayChannels"},
       true},
      {0x1030,
       false,
       {"ReadPressureCompensation", "ReadAtmosphericPressure", "ReadOutputFilterActive",
        "ReadFilterGrade", "ReadSecondFilterGrade", "ReadGasType"},
       true},
      {0x1024,
       true,
       {"ReadPressureCompensation", "ReadAtmosphericPressure", "ReadOutputFilterActive",
        "ReadFilterGrade", "ReadSecondFilterGrade", "ReadDisplayChannels"},
       true},
      {0x1035,
       true,
       {"ReadPressureCompensation", "ReadOutputFilterActive", "ReadFilterGrade",
        "ReadSecondFilterGrade"},
       false},
      {0x1037,
       false,
       {"ReadPressureCompensation", "ReadOutputFilterActive", "ReadFilterGrade",
        "ReadSecondFilterGrade", "ReadGasType"},
       false},
      {0x1400,
       true,
       {"ReadPressureCompensation", "ReadOutputFilterActive", "ReadFilterGrade",
        "ReadSecondFilterGrade"},
       false},
      {0x1083,
       true,
       {"ReadPressureCompensation", "ReadAtmosphericPressure", "ReadOutputFilterActive",
        "ReadFilterGrade", "ReadSecondFilterGrade", "ReadGasType"},
       false},
  };
  for (const Case& c : cases) {
    DialogRig rig(c.type);
    ASSERT_TRUE(rig.connected);
    CSetting dialog(rig.environment);
    Open(rig, dialog, c.display);
    EXPECT_FALSE(dialog.ended()) << std::hex << c.type;
    EXPECT_THAT(rig.CommandNames(), ElementsAreArray(c.reads)) << std::hex << c.type;
    EXPECT_EQ(rig.host.questions.size(), c.asked ? 1u : 0u) << std::hex << c.type;
    EXPECT_THAT(rig.host.messages, IsEmpty());
  }
}

TEST(SensorSettingsOpen, ShowsTheRecordAndTheSensorInTheirFormats) {
  DialogRig rig(0x1030);
  sim::SensorState& s = rig.state();
  s.secondFilterGradeWire = 99;  // grade 255: the wire value minus 100, modulo 256
  s.filterGrade = 7;
  PutFloat(s.compensation.data() + 1, 6.96f);
  PutFloat(s.compensation.data() + 9, 0.04f);  // at -40 ℃ Td
  s.compensation[0] = 1;
  s.atmosphericPressure = 1013.6f;
  s.gasType = 1;
  rig.record.fahrenheit = true;
  rig.record.altDewPointUnit = 8;  // g/kg
  rig.record.valueAt4mA = 0.5f;
  rig.record.valueAt20mA = 12.3456f;
  rig.record.pressureUnit = '$';
  s.displayChannels = 0x05 | 0x08;
  CSetting dialog(rig.environment);
  Open(rig, dialog, true);
  const Form& f = dialog.form();
  EXPECT_EQ(f.Text(S::k4mA), "0.500");
  EXPECT_EQ(f.Text(S::k20mA), "12.346");
  EXPECT_EQ(f[S::k4mA].unit, "g/kg");
  EXPECT_EQ(f.Text(S::kSecondFilterGrade), "255");
  EXPECT_EQ(f.Text(S::kFilterGrade), "7");
  EXPECT_EQ(f.Text(S::kStaticPressure), "7.0");
  EXPECT_EQ(f.Text(S::kCoeffMinus40), "0.0");
  EXPECT_TRUE(f.Checked(S::kCompensationEnabled));
  EXPECT_EQ(f.Text(S::kAtmosphericPressure), "1014");
  EXPECT_TRUE(f.Enabled(S::kAtmosphericPressure));
  EXPECT_EQ(f.SelectedText(S::kTemperatureUnit), "°F");
  EXPECT_EQ(f.SelectedText(S::kPressureUnit), "MPa");
  EXPECT_EQ(f.SelectedText(S::kAltDewPoint), "Humidity grade [g/kg]");
  EXPECT_EQ(f.SelectedText(S::kGasType), "CO2");
  EXPECT_TRUE(f.Checked(S::kDisplayTemperature));
  EXPECT_FALSE(f.Checked(S::kDisplayAltDewPoint));
  EXPECT_TRUE(f.Checked(S::kDisplayDewPoint));
  EXPECT_TRUE(f.Checked(S::kDisplayPressure));
  EXPECT_TRUE(f.Enabled(S::kDisplayPressure));
}

// A polymer-only sensor without pressure sensor and without a display question: coefficients
// empty, gas type and pressure unit off, the atmospheric pressure read but not editable.
TEST(SensorSettingsOpen, PolymerSensorWithoutPressureSensor) {
  DialogRig rig(0x1028);
  rig.state().atmosphericPressure = 998.0f;
  CSetting dialog(rig.environment);
  Open(rig, dialog);
  const Form& f = dialog.form();
  EXPECT_EQ(f.Text(S::kCoeffMinus40), "");
  EXPECT_EQ(f.Text(S::kCoeffMinus95), "");
  EXPECT_FALSE(f.Checked(S::kCompensationEnabled));
  EXPECT_FALSE(f.Enabled(S::kGasType));
  EXPECT_EQ(f.Selection(S::kGasType), -1);
  EXPECT_FALSE(f.Enabled(S::kPressureUnit));
  EXPECT_EQ(f.Selection(S::kPressureUnit), -1);
  EXPECT_EQ(f.Text(S::kAtmosphericPressure), "998");
  EXPECT_FALSE(f.Enabled(S::kAtmosphericPressure));
  EXPECT_FALSE(f.Enabled(S::kDisplayTemperature));
}

TEST(SensorSettingsOpen, AlternativeUnitsTheListCannotShowSelectNothing) {
  for (uint8_t code : {uint8_t{1}, uint8_t{2}, uint8_t{38}}) {
    DialogRig rig(0x1030);
    rig.record.altDewPointUnit = code;
    CSetting dialog(rig.environment);
    Open(rig, dialog);
    EXPECT_EQ(dialog.form().Selection(S::kAltDewPoint), -1) << int(code);
    EXPECT_EQ(dialog.form()[S::k4mA].unit, "") << int(code);
  }
}

TEST(SensorSettingsOpen, InvalidPressureUnitIsToldAndTheDialogGoesOn) {
  DialogRig rig(0x1030);
  rig.record.pressureUnit = 'x';
  CSetting dialog(rig.environment);
  Open(rig, dialog);
  EXPECT_THAT(rig.host.messages, ElementsAre("Invalid pressure unit"));
  EXPECT_FALSE(dialog.ended());
  EXPECT_EQ(dialog.form().Selection(S::kPressureUnit), -1);
  EXPECT_EQ(dialog.failures(), 0);
}

// Any read that fails three times closes the dialog before anything is written. A refusal of
// a read with a long reply arrives short and costs the engine's three tries each time.
TEST(SensorSettingsOpen, AReadThatFailsClosesTheDialog) {
  struct Case {
    const char* command;
    size_t sent;
  } cases[] = {{"ReadPressureCompensation", 9},
               {"ReadAtmosphericPressure", 3},
               {"ReadSecondFilterGrade", 3},
               {"ReadGasType", 3},
               {"ReadDisplayChannels", 3}};
  for (const Case& c : cases) {
    DialogRig rig(0x1030);
    rig.sim.model.Refuse(c.command, 7);
    CSetting dialog(rig.environment);
    Open(rig, dialog, true);
    EXPECT_THAT(rig.host.messages, ElementsAre("Communication error")) << c.command;
    EXPECT_EQ(dialog.end(), DialogEnd::kFailed) << c.command;
    EXPECT_EQ(rig.sim.model.CountOf(c.command), c.sent) << c.command;
    const std::vector<std::string> names = rig.CommandNames();
    EXPECT_EQ(names.back(), c.command);
    for (const std::string& n : names) EXPECT_EQ(n.rfind("Read", 0), 0u) << n;
  }
}

TEST(SensorSettingsSet, WritesEveryValueInItsOrder) {
  DialogRig rig(0x1030);
  sim::SensorState& s = rig.state();
  PutFloat(s.compensation.data() + 9, 0.04f);
  s.displayChannels = 0xF0 | 0x01;
  CSetting dialog(rig.environment);
  Open(rig, dialog, true);
  const std::array<uint8_t, 17> block = dialog.compensation();
  rig.ClearLog();

  Form& f = dialog.form();
  f.Select(S::kTemperatureUnit, 1);
  f.Select(S::kAltDewPoint, 6);  // "Atoms. dew point" with °F: code 32
  dialog.Changed(S::kAltDewPoint);
  EXPECT_EQ(f[S::k4mA].unit, "°F Td atm");
  f.SetText(S::k4mA, "-20.5 abc");
  f.SetText(S::k20mA, "x");
  f.SetChecked(S::kOutputFilter, false);
  f.SetText(S::kFilterGrade, "300");
  f.SetText(S::kSecondFilterGrade, "200");
  f.SetText(S::kStaticPressure, " 8.25");
  f.SetText(S::kAtmosphericPressure, "1000");
  f.Select(S::kGasType, 1);
  f.SetChecked(S::kDisplayTemperature, false);
  f.SetChecked(S::kDisplayPressure, true);
  dialog.Press(S::kSet);

  std::array<uint8_t, 17> expectedBlock = block;
  PutFloat(expectedBlock.data() + 1, 8.25f);
  std::string blockHex;
  for (uint8_t b : expectedBlock) {
    char hex[4];
    std::snprintf(hex, sizeof hex, " %02X", b);
    blockHex += hex;
  }
  EXPECT_THAT(rig.Commands(),
              ElementsAre("WriteUnit 01 02", "WriteUnit 00 20", "WriteUnit 02 26",
                          "WriteAnalogueScaling" + FloatBytes(-20.5f) + FloatBytes(0.0f),
                          "WriteOutputFilterActive 00", "WriteFilterGrade 2C",
                          "WriteSecondFilterGrade 2C", "WritePressureCompensation" + blockHex,
                          "WriteAtmosphericPressure" + FloatBytes(1000.0f), "WriteGasType 01",
                          "WriteDisplayChannels F8"));
  EXPECT_EQ(dialog.end(), DialogEnd::kAccepted);
  // The coefficient shown as 0.0 went back as the sensor had it.
  EXPECT_FLOAT_EQ(GetFloat(s.compensation.data() + 9), 0.04f);
  EXPECT_TRUE(rig.record.fahrenheit);
  EXPECT_EQ(rig.record.altDewPointUnit, 32);
  EXPECT_FLOAT_EQ(rig.record.valueAt4mA, -20.5f);
  EXPECT_FLOAT_EQ(rig.record.valueAt20mA, 0.0f);
}

TEST(SensorSettingsSet, SecondFilterGradeTravelsWithHundredAdded) {
  struct Case {
    const char* text;
    uint8_t wire;
  } cases[] = {{"0", 100}, {"200", 44}, {"155", 255}, {"156", 0}, {"-1", 99}};
  for (const Case& c : cases) {
    DialogRig rig(0x1024);
    CSetting dialog(rig.environment);
    Open(rig, dialog);
    dialog.form().SetText(S::kSecondFilterGrade, c.text);
    dialog.Press(S::kSet);
    EXPECT_EQ(rig.state().secondFilterGradeWire, c.wire) << c.text;
  }
}

// Without a display the channels are neither read nor written; without a pressure sensor the
// atmospheric pressure goes back as it was read; without a selection the alternative unit stays.
TEST(SensorSettingsSet, WhatIsNotOnScreenStaysAsTheSensorHasIt) {
  DialogRig rig(0x1024);
  rig.state().displayChannels = 0x0B;
  rig.state().atmosphericPressure = 987.4f;
  rig.record.altDewPointUnit = 2;
  CSetting dialog(rig.environment);
  Open(rig, dialog, false);
  dialog.Press(S::kSet);
  EXPECT_EQ(rig.sim.model.CountOf("ReadDisplayChannels"), 0u);
  EXPECT_EQ(rig.sim.model.CountOf("WriteDisplayChannels"), 0u);
  EXPECT_EQ(rig.state().displayChannels, 0x0B);
  EXPECT_EQ(rig.sim.model.CountOf("WriteAtmosphericPressure"), 1u);
  EXPECT_FLOAT_EQ(rig.state().atmosphericPressure, 987.0f);
  EXPECT_EQ(rig.sim.model.CountOf("WriteGasType"), 0u);
  EXPECT_EQ(rig.sim.model.CountOf("WriteUnit"), 2u);  // no pressure unit
  EXPECT_EQ(rig.record.altDewPointUnit, 2);
  EXPECT_EQ(rig.state().units[sim::kUnitAlternative], 2);
}

TEST(SensorSettingsSet, TypesWithoutAtmosphericPressureNeverWriteIt) {
  for (uint16_t type : {uint16_t{0x1035}, uint16_t{0x1037}, uint16_t{0x1400}}) {
    DialogRig rig(type);
    CSetting dialog(rig.environment);
    Open(rig, dialog);
    dialog.Press(S::kSet);
    EXPECT_EQ(dialog.end(), DialogEnd::kAccepted);
    EXPECT_EQ(rig.sim.model.CountOf("WriteAtmosphericPressure"), 0u) << std::hex << type;
  }
}

TEST(SensorSettingsSet, NoPressureUnitStopsAfterTheTwoUnitWrites) {
  DialogRig rig(0x1030);
  rig.record.pressureUnit = 'x';
  CSetting dialog(rig.environment);
  Open(rig, dialog);
  rig.ClearLog();
  rig.host.messages.clear();
  dialog.Press(S::kSet);
  EXPECT_THAT(rig.CommandNames(), ElementsAre("WriteUnit", "WriteUnit"));
  EXPECT_THAT(rig.host.messages, ElementsAre("Invalid pressure unit"));
  EXPECT_FALSE(dialog.ended());
  EXPECT_EQ(dialog.failures(), 1);
}

// A write that fails three times stops Set with the dialog open; what was done stays done.
TEST(SensorSettingsSet, AFailedWriteStopsWithTheEarlierWritesInEffect) {
  DialogRig rig(0x1030);
  CSetting dialog(rig.environment);
  Open(rig, dialog);
  rig.sim.model.Refuse("WriteFilterGrade", 9);
  rig.ClearLog();
  dialog.form().Select(S::kTemperatureUnit, 1);
  dialog.form().SetText(S::k4mA, "1.5");
  dialog.Press(S::kSet);
  EXPECT_THAT(rig.CommandNames(),
              ElementsAre("WriteUnit", "WriteUnit", "WriteUnit", "WriteAnalogueScaling",
                          "WriteOutputFilterActive", "WriteFilterGrade", "WriteFilterGrade",
                          "WriteFilterGrade"));
  EXPECT_THAT(rig.host.messages, ElementsAre("Communication error"));
  EXPECT_FALSE(dialog.ended());
  EXPECT_TRUE(rig.record.fahrenheit);
  EXPECT_FLOAT_EQ(rig.record.valueAt4mA, 1.5f);
}

TEST(SensorSettings, ExitWritesNothing) {
  DialogRig rig(0x1030);
  CSetting dialog(rig.environment);
  Open(rig, dialog);
  rig.ClearLog();
  dialog.Press(S::kExit);
  EXPECT_EQ(dialog.end(), DialogEnd::kClosed);
  EXPECT_THAT(rig.Commands(), IsEmpty());
}

}  // namespace
}  // namespace korvin
