#include "calibration/c_calibration_data.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>

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
using C = CCalibrationData;

constexpr uint16_t kQcmOnlyType = 0x2000;

void Open(DialogRig& rig, CCalibrationData& view) {
  view.Attach(rig.host);
  view.Open();
}

std::string Hex(size_t value) {
  char text[4];
  std::snprintf(text, sizeof text, "%02zX", value);
  return text;
}

// "Name" followed by one line per index from 0 to count - 1, with `prefix` before the index.
std::vector<std::string> Indexed(const std::string& name, size_t count,
                                 const std::string& prefix = "") {
  std::vector<std::string> lines;
  for (size_t i = 0; i < count; ++i) lines.push_back(name + " " + prefix + Hex(i));
  return lines;
}

std::vector<std::string> Join(std::initializer_list<std::vector<std::string>> parts) {
  std::vector<std::string> all;
  for (const auto& p : parts) all.insert(all.end(), p.begin(), p.end());
  return all;
}

const std::vector<std::string> kK5Tables =
    Join({Indexed("ReadCalibrationPoint", 6), Indexed("ReadCalibrationCoefficients", 5, "00 ")});
const std::vector<std::string> kQcmTables =
    Join({Indexed("ReadCalibrationRecord", 10, "01 "), Indexed("ReadCalibrationParameter", 10),
          Indexed("ReadCalibrationCoefficients", 9, "01 ")});
const std::vector<std::string> kPressure = {"ReadPressureCoefficients",
                                            "ReadPressureCalibrationData"};

// The read sequence per element set, analogue output and option bit 0x01, with every payload.
TEST(CalibrationDataOpen, ReadSequencePerElementSetAndOptions) {
  const struct {
    uint16_t type;
    std::optional<uint8_t> options;  // replaces what the connect read
    std::vector<std::string> reads;
  } cases[] = {
      // Both elements, analogue output, pressure sensor with its data (options 0x05).
      {0x1030, std::nullopt,
       Join({{"ReadOffset 02", "ReadOffset 00", "ReadTemperatureValue 00",
              "ReadAnalogueCalibration"},
             kPressure,
             {"ReadCalibrationPointCount 00", "ReadCalibrationPointCount 01"},
             kK5Tables,
             kQcmTables})},
      // The pressure sensor bit alone does not bring the pressure data.
      {0x1030, uint8_t{0x04},
       Join(
           {{"ReadOffset 02", "ReadOffset 00", "ReadTemperatureValue 00", "ReadAnalogueCalibration",
             "ReadCalibrationPointCount 00", "ReadCalibrationPointCount 01"},
            kK5Tables,
            kQcmTables})},
      // Polymer element only, analogue output; bit 0x01 alone brings the pressure data.
      {0x1028, uint8_t{0x01},
       Join({{"ReadOffset 00", "ReadTemperatureValue 00", "ReadAnalogueCalibration"},
             kPressure,
             {"ReadCalibrationPointCount 00"},
             kK5Tables})},
      {0x1028, std::nullopt,
       Join({{"ReadOffset 00", "ReadTemperatureValue 00", "ReadAnalogueCalibration",
              "ReadCalibrationPointCount 00"},
             kK5Tables})},
      // Both elements, no analogue output.
      {0x1083, std::nullopt,
       Join({{"ReadOffset 02", "ReadOffset 00", "ReadTemperatureValue 00"},
             kPressure,
             {"ReadCalibrationPointCount 00", "ReadCalibrationPointCount 01"},
             kK5Tables,
             kQcmTables})},
      // QCM element only, nothing else.
      {kQcmOnlyType, std::nullopt,
       Join({{"ReadOffset 02", "ReadTemperatureValue 00", "ReadCalibrationPointCount 01"},
             kQcmTables})},
  };
  for (const auto& c : cases) {
    DialogRig rig(c.type);
    ASSERT_TRUE(rig.connected);
    if (c.options) rig.record.sensorOptions = *c.options;
    CCalibrationData view(rig.environment);
    Open(rig, view);
    EXPECT_FALSE(view.ended()) << std::hex << c.type;
    EXPECT_THAT(rig.Commands(), ElementsAreArray(c.reads)) << std::hex << c.type;
    EXPECT_THAT(rig.host.messages, IsEmpty());
  }
}

void SetK5Point(sim::SensorState& s, size_t i, float omega, float x, float refAdc) {
  uint8_t* p = s.factory.k5Points[i].data();
  PutFloat(p + sim::k5point::kOmega, omega);
  PutFloat(p + sim::k5point::kX, x);
  PutFloat(p + sim::k5point::kRefAdc, refAdc);
}

TEST(CalibrationDataOpen, IdentityAnalogueAndPressureInTheirFormats) {
  DialogRig rig(0x1030);
  sim::SensorState& s = rig.state();
  s.offsets[0] = 0.3456f;
  s.offsets[2] = -0.1234f;
  s.temperatureValues[0] = 0.4f;
  uint8_t* a = s.analogueCalibration.data();
  PutFloat(a + sim::analogue::kA1, 1.001234f);
  PutFloat(a + sim::analogue::kA0, -0.0123456f);
  PutFloat(a + sim::analogue::kValueAt4mA, -40.0f);
  PutFloat(a + sim::analogue::kValueAt20mA, 20.04f);
  PutFloat(a + sim::analogue::kCurrent1, 4.0125f);
  PutFloat(a + sim::analogue::kCurrent2, 16.05f);
  s.pressureCoefficients = {1.00215f, -0.01234f};
  PutFloat(s.pressureData.data() + sim::pressuredata::kReference, 8.0f);
  PutFloat(s.pressureData.data() + sim::pressuredata::kMeasured, 8.0123f);
  CCalibrationData view(rig.environment);
  Open(rig, view);
  const Form& f = view.form();
  EXPECT_EQ(f.Text(C::kDeviceName), "D810 Modbus");
  EXPECT_EQ(f.Text(C::kFirmware), rig.environment.texts.firmware);
  EXPECT_EQ(f.Text(C::kSerial), rig.environment.texts.serial);
  EXPECT_EQ(f.Text(C::kItem), rig.environment.texts.item);
  EXPECT_EQ(f.Text(C::kCalibrationDate), rig.environment.texts.calibrationDate);
  EXPECT_EQ(f.Text(C::kK5Offset), "0.346");
  EXPECT_EQ(f.Text(C::kQcmOffset), "-0.123");
  EXPECT_EQ(f.Text(C::kCalibrationTemperature), "23.4");
  EXPECT_EQ(f.Text(C::kReferenceDac1), "3200.000");
  EXPECT_EQ(f.Text(C::kReferenceDac2), "12800.000");
  EXPECT_EQ(f.Text(C::kMeasuredCurrent1), "4.012");  // 4.0125f lies just below
  EXPECT_EQ(f.Text(C::kMeasuredCurrent2), "16.050");
  EXPECT_EQ(f.Text(C::kScaling4mA), "-40.0");
  EXPECT_EQ(f.Text(C::kScaling20mA), "20.0");
  EXPECT_EQ(f.Text(C::kAnalogueA1), "1.00123");
  EXPECT_EQ(f.Text(C::kAnalogueA0), "-0.01235");
  EXPECT_EQ(f.Text(C::kPressureA1), "1.0022");
  EXPECT_EQ(f.Text(C::kPressureA0), "-0.0123");
  EXPECT_EQ(f.Text(C::kRefPressure), "8.000");
  EXPECT_EQ(f.Text(C::kMeasurePressure), "8.012");
  EXPECT_EQ(f.Text(C::kK5Count), "6");
  EXPECT_EQ(f.Text(C::kQcmCount), "10");
  EXPECT_FALSE(f.Enabled(C::kGenerateCertificate));  // no certificate dialog plugged in
}

TEST(CalibrationDataOpen, K5TableThroughTheReferencePolynomial) {
  DialogRig rig(0x1028);
  sim::SensorState& s = rig.state();
  SetK5Point(s, 0, 0.985f, 0.85f, 31250.0f);  // interval 3
  SetK5Point(s, 1, 0.991f, 0.80f, 28740.5f);  // below the intervals
  SetK5Point(s, 2, 1.25f, 0.995f, 100.0f);    // above them
  SetK5Point(s, 3, 1.0f, 0.85f, 0.0f);        // no Ref ADC: not shown
  SetK5Point(s, 4, 1.0f, 0.85f, -5.0f);
  s.factory.k5Coefficients[0] = {0.9960161f, 0.0298609f};
  s.factory.k5Coefficients[1] = {1.5f, -2.25f};
  CCalibrationData view(rig.environment);
  Open(rig, view);
  const Form& f = view.form();
  const std::vector<std::string> row1 = {f.Text(C::K5Cell(0, 0)), f.Text(C::K5Cell(0, 1)),
                                         f.Text(C::K5Cell(0, 2)), f.Text(C::K5Cell(0, 3))};
  EXPECT_THAT(row1, ElementsAre("3.210", "30781.25", "31250.00", "0.985000"));
  EXPECT_EQ(f.Text(C::K5Cell(1, 0)), "99.990");
  EXPECT_EQ(f.Text(C::K5Cell(1, 1)), "28481.84");  // 0.991 x 28740.5 in single precision
  EXPECT_EQ(f.Text(C::K5Cell(2, 0)), "99.990");
  EXPECT_EQ(f.Text(C::K5Cell(2, 1)), "125.00");
  for (size_t row : {3u, 4u}) {
    for (size_t column = 0; column < C::kK5Columns; ++column) {
      EXPECT_EQ(f.Text(C::K5Cell(row, column)), "") << row << "/" << column;
    }
  }
  EXPECT_EQ(f.Text(C::K5Cell(5, 0)), "3.008");  // the sensor's own sixth point, 3 %rH
  // The pair of segment r - 2 stands in its column under row r, for the rows shown.
  EXPECT_EQ(f.Text(C::K5Coefficient(0, 0)), "0.996016");
  EXPECT_EQ(f.Text(C::K5Coefficient(0, 1)), "0.029861");
  EXPECT_EQ(f.Text(C::K5Coefficient(1, 0)), "1.500000");
  EXPECT_EQ(f.Text(C::K5Coefficient(1, 1)), "-2.250000");
  EXPECT_EQ(f.Text(C::K5Coefficient(2, 0)), "");  // rows 4 and 5 are not shown
  EXPECT_EQ(f.Text(C::K5Coefficient(3, 0)), "");
  EXPECT_NE(f.Text(C::K5Coefficient(4, 0)), "");
  // Nothing of the missing QCM element.
  EXPECT_EQ(f.Text(C::kQcmOffset), "");
  EXPECT_EQ(f.Text(C::kQcmCount), "");
  EXPECT_EQ(f.Text(C::QcmCell(0, 0)), "");
}

TEST(CalibrationDataOpen, QcmTableThroughMagnus) {
  DialogRig rig(kQcmOnlyType);
  sim::SensorState& s = rig.state();
  s.factory.qcmRecords[0] = {50.0f, 50.0f, 20.0f};
  s.factory.qcmRecords[1] = {40.0f, 41.0f, 0.0f};  // read, but not shown
  s.factory.qcmRecords[2] = {20.0f, 20.5f, -5.5f};
  s.factory.qcmFrequencies[0] = 9999869.0f;
  s.factory.qcmCoefficients[0] = {1.016f, -0.354f};
  s.factory.qcmCoefficients[1] = {0.987f, 0.126f};
  CCalibrationData view(rig.environment);
  Open(rig, view);
  const Form& f = view.form();
  const std::vector<std::string> row1 = {f.Text(C::QcmCell(0, 0)), f.Text(C::QcmCell(0, 1)),
                                         f.Text(C::QcmCell(0, 2)), f.Text(C::QcmCell(0, 3))};
  EXPECT_THAT(row1, ElementsAre("9.26", "9.26", "20.00", "9999869.00"));
  for (size_t column = 0; column < C::kQcmColumns; ++column) {
    EXPECT_EQ(f.Text(C::QcmCell(1, column)), "") << column;
  }
  EXPECT_EQ(f.Text(C::QcmCoefficient(0, 0)), "");  // joins the hidden row 2
  EXPECT_EQ(f.Text(C::QcmCell(2, 2)), "-5.50");
  EXPECT_EQ(f.Text(C::QcmCoefficient(1, 0)), "0.99");
  EXPECT_EQ(f.Text(C::QcmCoefficient(1, 1)), "0.13");
  EXPECT_THAT(rig.Commands(), ::testing::Contains("ReadCalibrationRecord 01 01"));
  // The last slot of the virtual sensor is empty (0.0 ℃).
  EXPECT_EQ(f.Text(C::QcmCell(9, 0)), "");
  EXPECT_NE(f.Text(C::QcmCell(8, 0)), "");
  // Nothing of the missing polymer element.
  EXPECT_EQ(f.Text(C::kK5Offset), "");
  EXPECT_EQ(f.Text(C::kK5Count), "");
  EXPECT_EQ(f.Text(C::K5Cell(0, 0)), "");
  EXPECT_EQ(f.Text(C::kReferenceDac1), "");
  EXPECT_EQ(f.Text(C::kRefPressure), "");
}

// A sensor that reports more points than the tables hold: the count is shown as reported, only
// the tables' rows are read.
TEST(CalibrationDataOpen, CountsAboveTheTablesReadNoMoreThanTheyHold) {
  DialogRig rig(0x1030);
  rig.state().factory.k5Count = 8;
  rig.state().factory.qcmCount = 200;
  CCalibrationData view(rig.environment);
  Open(rig, view);
  EXPECT_FALSE(view.ended());
  EXPECT_THAT(rig.host.messages, IsEmpty());
  EXPECT_EQ(view.form().Text(C::kK5Count), "8");
  EXPECT_EQ(view.form().Text(C::kQcmCount), "200");
  EXPECT_EQ(rig.sim.model.CountOf("ReadCalibrationPoint"), 6u);
  EXPECT_EQ(rig.sim.model.CountOf("ReadCalibrationRecord"), 10u);
  EXPECT_EQ(rig.sim.model.CountOf("ReadCalibrationParameter"), 10u);
  EXPECT_EQ(rig.sim.model.CountOf("ReadCalibrationCoefficients"), 5u + 9u);
  // The certificate learns what the sensor reported.
  EXPECT_EQ(view.CertificateInputOf().k5PointCount, 8);
  EXPECT_EQ(view.CertificateInputOf().qcmPointCount, 200);
}

TEST(CalibrationDataOpen, AReadThatFailsThreeTimesClosesTheView) {
  DialogRig rig(0x1030);
  rig.sim.model.Refuse("ReadCalibrationRecord", 3);
  CCalibrationData view(rig.environment);
  Open(rig, view);
  EXPECT_EQ(view.end(), DialogEnd::kFailed);
  EXPECT_THAT(rig.host.messages, ElementsAre("Communication error"));
  // A refused reply longer than five bytes costs the engine its three tries, three times.
  EXPECT_EQ(rig.sim.model.CountOf("ReadCalibrationRecord"), 9u);
  EXPECT_EQ(rig.Commands().back(), "ReadCalibrationRecord 01 00");
}

TEST(CalibrationDataCertificate, HandsOverWhatTheViewKnows) {
  test::ScratchFolder scratch("korvin-calidata");
  DialogRig rig(0x1030);
  rig.environment.programFolder = scratch.path();
  std::vector<CertificateInput> handed;
  bool childRan = false;
  class Certificate final : public TaskDialog {
   public:
    static const DialogScreen& Screen() {
      static const DialogScreen screen = [] {
        DialogScreen s("Calibration certificate");
        s.Group({"g", ""});
        s.Add(0, {.label = "Exit", .kind = ControlKind::kButton, .group = "g"});
        return s;
      }();
      return screen;
    }
    explicit Certificate(bool& ran) : TaskDialog(Screen()), ran_(ran) {}
    void Open() override { ran_ = true; }
    void Press(size_t) override { End(DialogEnd::kClosed); }

   private:
    bool& ran_;
  };
  CCalibrationData view(rig.environment,
                        [&](TaskEnvironment& environment, const CertificateInput& input) {
                          EXPECT_EQ(&environment, &rig.environment);
                          handed.push_back(input);
                          return std::make_unique<Certificate>(childRan);
                        });
  Open(rig, view);
  ASSERT_TRUE(view.form().Enabled(C::kGenerateCertificate));
  view.Press(C::kGenerateCertificate);
  ASSERT_EQ(handed.size(), 1u);
  EXPECT_TRUE(childRan);
  EXPECT_THAT(rig.host.events, ElementsAre("child: Calibration certificate"));

  const CertificateInput& in = handed[0];
  const DeviceRecord& r = rig.record;
  EXPECT_EQ(in.programFolder, scratch.path());
  EXPECT_EQ(in.deviceType, 0x1030);
  EXPECT_EQ(in.linkProfile, r.linkProfile);
  EXPECT_EQ(in.linkProfile, 1);
  EXPECT_EQ(in.deviceName, "D810 Modbus");
  EXPECT_EQ(in.serialNumber, rig.environment.texts.serial);
  EXPECT_EQ(in.itemNumber, rig.environment.texts.item);
  EXPECT_EQ(in.calibrationDate, rig.state().calibrationDate);
  EXPECT_EQ(in.calibrationDateNumber, r.calibrationDateNumber);
  EXPECT_EQ(in.pressureNominal, "8.000");
  EXPECT_EQ(in.pressureActual, "8.004");
  EXPECT_EQ(in.k5PointCount, 6);
  EXPECT_EQ(in.qcmPointCount, 10);
  EXPECT_EQ(in.analogueUnitCode, r.altDewPointUnit);
  EXPECT_EQ(in.analogueUnitCode, sim::unit::kPpmV);

  // Without pressure data the pressure values are empty; an element not read counts 0 points.
  DialogRig k5(0x1400);
  CCalibrationData k5View(k5.environment);
  Open(k5, k5View);
  const CertificateInput k5In = k5View.CertificateInputOf();
  EXPECT_EQ(k5In.pressureNominal, "");
  EXPECT_EQ(k5In.pressureActual, "");
  EXPECT_EQ(k5In.qcmPointCount, 0);
  EXPECT_EQ(k5In.k5PointCount, 6);
  EXPECT_EQ(k5In.calibrationDateNumber, k5.state().calibrationDateNumber);
  EXPECT_NE(k5In.calibrationDateNumber, 0u);
  // No certificate dialog plugged in: the button is off, and pressing it opens nothing.
  k5View.Press(C::kGenerateCertificate);
  EXPECT_THAT(k5.host.events, IsEmpty());
}

TEST(CalibrationDataPrint, WritesTheCalidataPdfAndNothingToTheSensor) {
  test::ScratchFolder scratch("korvin-calidata");
  DialogRig rig(0x1030);
  rig.environment.programFolder = scratch.path();
  rig.host.picture = test::WriteTinyPng;
  CCalibrationData view(rig.environment);
  Open(rig, view);
  const std::vector<std::string> all = rig.Commands();
  EXPECT_TRUE(std::all_of(all.begin(), all.end(),
                          [](const std::string& c) { return c.rfind("Read", 0) == 0; }));
  rig.ClearLog();
  view.Press(C::kPrintToPdf);
  const std::filesystem::path folder = scratch / "Calibration data";
  const std::string serial = rig.environment.texts.serial;
  EXPECT_THAT(rig.host.written, ElementsAre(folder / (serial + "_Calidata.pdf")));
  EXPECT_FALSE(std::filesystem::exists(folder / (serial + ".png")));
  EXPECT_THAT(rig.host.messages, IsEmpty());

  rig.host.picture = nullptr;
  view.Press(C::kPrintToPdf);
  EXPECT_THAT(rig.host.messages, ElementsAre(kCreatePdfFailedMessage));
  EXPECT_FALSE(view.ended());
  view.Press(C::kExit);
  EXPECT_EQ(view.end(), DialogEnd::kClosed);
  EXPECT_THAT(rig.Commands(), IsEmpty());
}

}  // namespace
}  // namespace korvin
