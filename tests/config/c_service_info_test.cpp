#include "config/c_service_info.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "reports/snapshot_pdf.h"
#include "support/dialog_rig.h"
#include "support/temp_folder.h"
#include "support/tiny_png.h"

namespace korvin {
namespace {

using test::DialogRig;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;
using I = CServiceInfo;

// A type the tool does not know connects as a QCM-only sensor without interfaces.
constexpr uint16_t kQcmOnlyType = 0x2000;

void Open(DialogRig& rig, CServiceInfo& dialog) {
  dialog.Attach(rig.host);
  dialog.Open();
}

// The open sequence per class of device type: the atmospheric pressure skipped for the types
// without one, the pressure unit only with a pressure sensor, gas type and QCM offsets for the
// QCM element, auto offset and K5 offsets for the polymer element, the offset temperatures
// always. Nothing is ever written.
TEST(SensorInformationOpen, ReadSequencePerTypeAndElementSet) {
  const std::vector<std::string> start = {"ReadUserCalibrationCount", "ReadOutputFilterActive",
                                          "ReadFilterGrade", "ReadSecondFilterGrade"};
  const std::vector<std::string> autoOffset = {"ReadAutoOffsetActive", "ReadAutoOffsetReload",
                                               "ReadAutoOffsetMode", "ReadAutoOffsetSettings 00",
                                               "ReadRandomValue 00"};
  const std::vector<std::string> qcmOffsets = {"ReadOffset 02", "ReadOffset 03"};
  const std::vector<std::string> k5Offsets = {"ReadOffset 00", "ReadOffset 01"};
  const std::vector<std::string> temperatures = {"ReadTemperatureValue 05",
                                                 "ReadTemperatureValue 06"};
  auto join = [](std::initializer_list<std::vector<std::string>> parts) {
    std::vector<std::string> all;
    for (const auto& p : parts) all.insert(all.end(), p.begin(), p.end());
    return all;
  };
  const struct {
    uint16_t type;
    std::vector<std::string> reads;
  } cases[] = {
      // Both elements and a pressure sensor.
      {0x1030,
       join({start,
             {"ReadAtmosphericPressure", "ReadBoundary 01", "ReadBoundary 00", "ReadUnit 01",
              "ReadUnit 02", "ReadUnit 00", "ReadPressureCompensation", "ReadGasType"},
             autoOffset,
             qcmOffsets,
             k5Offsets,
             temperatures})},
      // Both elements, no atmospheric pressure, no pressure sensor.
      {0x1037, join({start,
                     {"ReadBoundary 01", "ReadBoundary 00", "ReadUnit 01", "ReadUnit 00",
                      "ReadPressureCompensation", "ReadGasType"},
                     autoOffset,
                     qcmOffsets,
                     k5Offsets,
                     temperatures})},
      // Polymer element only.
      {0x1028, join({start,
                     {"ReadAtmosphericPressure", "ReadBoundary 01", "ReadBoundary 00",
                      "ReadUnit 01", "ReadUnit 00", "ReadPressureCompensation"},
                     autoOffset,
                     k5Offsets,
                     temperatures})},
      {0x1400, join({start,
                     {"ReadBoundary 01", "ReadBoundary 00", "ReadUnit 01", "ReadUnit 00",
                      "ReadPressureCompensation"},
                     autoOffset,
                     k5Offsets,
                     temperatures})},
      // QCM element only.
      {kQcmOnlyType,
       join({start,
             {"ReadAtmosphericPressure", "ReadBoundary 01", "ReadBoundary 00", "ReadUnit 01",
              "ReadUnit 00", "ReadPressureCompensation", "ReadGasType"},
             qcmOffsets,
             temperatures})},
  };
  for (const auto& c : cases) {
    DialogRig rig(c.type);
    ASSERT_TRUE(rig.connected);
    CServiceInfo dialog(rig.environment);
    Open(rig, dialog);
    EXPECT_FALSE(dialog.ended()) << std::hex << c.type;
    EXPECT_THAT(rig.Commands(), ElementsAreArray(c.reads)) << std::hex << c.type;
    EXPECT_THAT(rig.host.messages, IsEmpty()) << std::hex << c.type;
  }
}

TEST(SensorInformationOpen, ShowsEveryValueInItsFormat) {
  DialogRig rig(0x1030);
  sim::SensorState& s = rig.state();
  s.userCalibration.count = 3;
  s.secondFilterGradeWire = 99;  // the byte minus 100, modulo 256
  s.filterGrade = 7;
  s.boundaries = {12.27f, 6.112f};  // high, low
  s.units[sim::kUnitTemperature] = sim::unit::kFahrenheit;
  s.units[sim::kUnitPressure] = sim::unit::kMpa;
  s.units[sim::kUnitAlternative] = sim::unit::kMixingRatioGKg;
  PutFloat(s.compensation.data() + 1, 6.96f);
  PutFloat(s.compensation.data() + 9, 0.04f);
  s.atmosphericPressure = 1013.6f;
  s.gasType = 1;
  s.autoOffsetReload = 0;
  s.autoOffsetSettings = {1.0f, 2.25f, 0.0125f, -0.085f};
  s.randomValues[0] = 0.00312345f;
  s.offsets = {0.35f, -0.2f, -0.12f, 1.5f};
  s.temperatureValues[5] = 22.8f;
  s.temperatureValues[6] = 24.126f;
  CServiceInfo dialog(rig.environment);
  Open(rig, dialog);
  const Form& f = dialog.form();
  EXPECT_EQ(f.Text(I::kSerial), rig.environment.texts.serial);
  EXPECT_EQ(f.Text(I::kDeviceName), "D810 Modbus");
  EXPECT_EQ(f.Text(I::kUserCalibrationCount), "3");
  EXPECT_EQ(f.Text(I::k20mA), rig.environment.texts.at20mA);
  EXPECT_EQ(f[I::k4mA].unit, rig.environment.texts.analogueUnit);
  EXPECT_EQ(f.Text(I::kFilterGrade), "7");
  EXPECT_EQ(f.Text(I::kSecondFilterGrade), "255");
  EXPECT_EQ(f.Text(I::kLowBoundary), "0.00");
  EXPECT_EQ(f.Text(I::kHighBoundary), "10.01");
  EXPECT_TRUE(f.Checked(I::kPressureOutput));
  EXPECT_EQ(f.SelectedText(I::kTemperatureUnit), "°F");
  EXPECT_EQ(f.SelectedText(I::kPressureUnit), "MPa");
  EXPECT_EQ(f.SelectedText(I::kAltDewPoint), "Humidity grade [g/kg]");
  EXPECT_EQ(f.Text(I::kStaticPressure), "7.0");
  EXPECT_EQ(f.Text(I::kCoeffMinus40), "0.0");
  EXPECT_EQ(f.Text(I::kAtmosphericPressure), "1014");
  EXPECT_EQ(f.SelectedText(I::kGasType), "CO2");
  EXPECT_TRUE(f.Checked(I::kAutoOffsetActive));
  EXPECT_TRUE(f.Checked(I::kAutoOffsetMode));
  EXPECT_FALSE(f.Checked(I::kAutoOffsetReload));
  EXPECT_EQ(f.Text(I::kStdOffset), "-0.08500000");
  EXPECT_EQ(f.Text(I::kTOffset), "0.01250000");
  EXPECT_EQ(f.Text(I::kResetDewPoint), "-20.33");
  EXPECT_EQ(f.Text(I::kDeltaT), "2.2");
  EXPECT_EQ(f.Text(I::kRandomValue), "0.00312345");
  EXPECT_EQ(f.Text(I::kK5FactoryOffset), "0.350");
  EXPECT_EQ(f.Text(I::kK5UserOffset), "-0.200");
  EXPECT_EQ(f.Text(I::kQcmFactoryOffset), "-0.120");
  EXPECT_EQ(f.Text(I::kQcmUserOffset), "1.500");
  EXPECT_EQ(f.Text(I::kFactoryOffsetTemperature), "22.80");
  EXPECT_EQ(f.Text(I::kUserOffsetTemperature), "24.13");
  // Read-only throughout: lists, check boxes and the radio button disabled.
  for (size_t id : {I::kGasType, I::kTemperatureUnit, I::kAltDewPoint, I::kOutputFilter,
                    I::kAutoOffsetMode, I::kCompensationEnabled}) {
    EXPECT_FALSE(f.Enabled(id)) << id;
  }
  EXPECT_TRUE(std::all_of(rig.Commands().begin(), rig.Commands().end(),
                          [](const std::string& c) { return c.rfind("Read", 0) == 0; }));
}

// Vapour pressure to dew point over water and ice; nothing to show for 0 hPa or less.
TEST(SensorInformationOpen, BoundaryConversions) {
  const struct {
    float hectopascal;
    const char* shown;
  } cases[] = {{6.112f, "0.00"}, {1.0f, "-20.33"}, {12.27f, "10.01"}, {0.1f, "-42.20"},
               {6.11f, "0.00"},  {6.10f, "-0.02"}, {0.0f, ""},        {-1.0f, ""}};
  for (const auto& c : cases) {
    DialogRig rig(0x1028);
    rig.state().boundaries = {c.hectopascal, c.hectopascal};
    rig.state().autoOffsetSettings[0] = c.hectopascal;
    CServiceInfo dialog(rig.environment);
    Open(rig, dialog);
    EXPECT_EQ(dialog.form().Text(I::kLowBoundary), c.shown) << c.hectopascal;
    EXPECT_EQ(dialog.form().Text(I::kHighBoundary), c.shown) << c.hectopascal;
    EXPECT_EQ(dialog.form().Text(I::kResetDewPoint), c.shown) << c.hectopascal;
  }
}

TEST(SensorInformationOpen, FieldsOfAMissingElementStayEmpty) {
  {
    DialogRig rig(kQcmOnlyType);
    CServiceInfo dialog(rig.environment);
    Open(rig, dialog);
    const Form& f = dialog.form();
    for (size_t id : {I::kStdOffset, I::kTOffset, I::kRandomValue, I::kResetDewPoint, I::kDeltaT,
                      I::kK5FactoryOffset, I::kK5UserOffset}) {
      EXPECT_EQ(f.Text(id), "") << id;
    }
    EXPECT_FALSE(f.Checked(I::kAutoOffsetMode));
    EXPECT_NE(f.Text(I::kQcmFactoryOffset), "");
    EXPECT_NE(f.Text(I::kFactoryOffsetTemperature), "");
    EXPECT_NE(f.Text(I::kUserOffsetTemperature), "");
  }
  {
    DialogRig rig(0x1028);
    CServiceInfo dialog(rig.environment);
    Open(rig, dialog);
    const Form& f = dialog.form();
    for (size_t id : {I::kCoeffMinus40, I::kCoeffMinus70, I::kCoeffMinus95}) {
      EXPECT_EQ(f.Text(id), "") << id;
      EXPECT_FALSE(f.Enabled(id)) << id;
    }
    EXPECT_FALSE(f.Checked(I::kCompensationEnabled));
    EXPECT_EQ(f.Selection(I::kGasType), -1);
    EXPECT_FALSE(f.Checked(I::kPressureOutput));
    EXPECT_EQ(f.Selection(I::kPressureUnit), -1);
    EXPECT_EQ(f.Text(I::kQcmFactoryOffset), "");
  }
  {
    DialogRig rig(0x1400);
    CServiceInfo dialog(rig.environment);
    Open(rig, dialog);
    EXPECT_EQ(dialog.form().Text(I::kAtmosphericPressure), "");
  }
}

// The three failures that close the dialog at open, each after the read that caused it.
TEST(SensorInformationOpen, ClosingFailures) {
  {
    DialogRig rig(0x1030);
    rig.sim.model.Refuse("ReadBoundary", 3);
    CServiceInfo dialog(rig.environment);
    Open(rig, dialog);
    EXPECT_EQ(dialog.end(), DialogEnd::kFailed);
    EXPECT_THAT(rig.host.messages, ElementsAre("Communication error"));
    // Three attempts of a five-byte reply: three sends, then nothing more.
    EXPECT_EQ(rig.sim.model.CountOf("ReadBoundary"), 3u);
    EXPECT_EQ(rig.Commands().back(), "ReadBoundary 01");
  }
  {
    DialogRig rig(0x1030);
    rig.state().units[sim::kUnitPressure] = 0x11;
    CServiceInfo dialog(rig.environment);
    Open(rig, dialog);
    EXPECT_EQ(dialog.end(), DialogEnd::kFailed);
    EXPECT_THAT(rig.host.messages, ElementsAre("Invalid pressure unit"));
    EXPECT_EQ(rig.Commands().back(), "ReadUnit 02");
  }
  {
    DialogRig rig(0x1030);
    rig.state().autoOffsetMode = 2;
    CServiceInfo dialog(rig.environment);
    Open(rig, dialog);
    EXPECT_EQ(dialog.end(), DialogEnd::kFailed);
    EXPECT_THAT(rig.host.messages, ElementsAre("Invalid auto offset mode"));
    EXPECT_EQ(rig.Commands().back(), "ReadAutoOffsetMode");
  }
  {
    // Neither rule applies to a sensor without the part it checks.
    DialogRig rig(kQcmOnlyType);
    rig.state().autoOffsetMode = 2;
    rig.state().units[sim::kUnitPressure] = 0x11;
    CServiceInfo dialog(rig.environment);
    Open(rig, dialog);
    EXPECT_FALSE(dialog.ended());
    EXPECT_THAT(rig.host.messages, IsEmpty());
  }
}

TEST(SensorInformationPrint, WritesTheInfoPdfBelowTheProgramFolder) {
  test::ScratchFolder scratch("korvin-service-info");
  DialogRig rig(0x1030);
  rig.environment.programFolder = scratch.path();
  rig.host.picture = test::WriteTinyPng;
  CServiceInfo dialog(rig.environment);
  Open(rig, dialog);
  rig.ClearLog();
  dialog.Press(I::kPrintToPdf);
  const std::filesystem::path folder = scratch / "Sensor information";
  const std::string serial = rig.environment.texts.serial;
  EXPECT_THAT(rig.host.pictures, ElementsAre(folder / (serial + ".png")));
  EXPECT_THAT(rig.host.written, ElementsAre(folder / (serial + "_Info.pdf")));
  EXPECT_TRUE(std::filesystem::exists(folder / (serial + "_Info.pdf")));
  EXPECT_FALSE(std::filesystem::exists(folder / (serial + ".png")));
  EXPECT_THAT(rig.host.messages, IsEmpty());
  EXPECT_FALSE(dialog.ended());
  EXPECT_THAT(rig.Commands(), IsEmpty());

  // A picture that cannot be saved: the failure message, and the dialog stays open.
  rig.host.picture = nullptr;
  dialog.Press(I::kPrintToPdf);
  EXPECT_THAT(rig.host.messages, ElementsAre(kCreatePdfFailedMessage));
  EXPECT_EQ(dialog.failures(), 1);
  EXPECT_FALSE(dialog.ended());
}

}  // namespace
}  // namespace korvin
