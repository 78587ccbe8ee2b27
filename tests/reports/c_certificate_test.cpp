#include "reports/c_certificate.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QImage>
#include <fstream>

#include "reports/certificate_template.h"
#include "support/dialog_rig.h"
#include "support/temp_folder.h"

namespace korvin {
namespace {

using C = CCertificate;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;
namespace tf = templatefield;

const std::filesystem::path kStandardTemplate = KORVIN_SHARE_DIR "/ROVA_Standard.conf";

// A connected virtual sensor and the certificate opened on it as the calibration data view
// opens it.
struct CertificateRig {
  explicit CertificateRig(uint16_t type) : rig(type) {
    input.programFolder = folder.path();
    input.deviceType = rig.record.deviceType;
    input.linkProfile = rig.record.linkProfile;
    input.deviceName = rig.environment.texts.deviceName;
    input.serialNumber = rig.environment.texts.serial;
    input.itemNumber = rig.environment.texts.item;
    input.calibrationDate = rig.record.calibrationDate;
    input.calibrationDateNumber = rig.record.calibrationDateNumber;
    input.k5PointCount = rig.state().factory.k5Count;
    input.qcmPointCount = rig.state().factory.qcmCount;
    input.analogueUnitCode = rig.record.altDewPointUnit;
  }

  // Opens the dialog with `templateFile` picked in the template chooser (none: cancelled).
  C& Open(std::optional<std::filesystem::path> templateFile = kStandardTemplate) {
    if (templateFile) rig.host.files.push_back(*templateFile);
    dialog = std::make_unique<C>(rig.environment, input);
    dialog->Attach(rig.host);
    dialog->Open();
    return *dialog;
  }
  const std::string& Text(size_t id) const { return dialog->form().Text(id); }
  const std::string& Cell(size_t row, size_t column) const {
    return Text(C::ResultCell(row, column));
  }

  test::DialogRig rig;
  test::ScratchFolder folder{"korvin-certificate"};
  CertificateInput input;
  std::unique_ptr<C> dialog;
};

std::vector<std::string> Records(int selector, int count) {
  std::vector<std::string> lines;
  for (int i = 0; i < count; ++i) {
    char line[48];
    std::snprintf(line, sizeof line, "ReadCalibrationRecord %02X %02X", selector, i);
    lines.push_back(line);
  }
  return lines;
}

std::vector<std::string> Join(std::initializer_list<std::vector<std::string>> parts) {
  std::vector<std::string> all;
  for (const auto& p : parts) all.insert(all.end(), p.begin(), p.end());
  return all;
}

// What the opening sequence reads, per class of device type: the temperature row, every
// calibration record of the counts, the scaling of the analogue types, and the Modbus settings
// of every sensor with the Modbus interface.
TEST(CertificateOpen, ReadsPerDeviceTypeClass) {
  const std::vector<std::string> temperature = {"ReadTemperatureValue 02",
                                                "ReadTemperatureValue 01"};
  struct Case {
    uint16_t type;
    std::vector<std::string> reads;
  } cases[] = {
      {0x1035, Join({temperature, Records(0, 6), {"ReadAnalogueScaling", "ReadModbusSettings"}})},
      {0x1037, Join({temperature,
                     Records(0, 6),
                     Records(1, 10),
                     {"ReadAnalogueScaling", "ReadModbusSettings"}})},
      {0x1083, Join({temperature, Records(0, 6), Records(1, 10), {"ReadModbusSettings"}})},
      {0x1085, Join({temperature, Records(0, 6), {"ReadModbusSettings"}})},
      {0x1400, Join({temperature, Records(0, 6), {"ReadModbusSettings"}})},
      {0x1030, {"ReadModbusSettings"}},  // outside the table, with Modbus
      {0x1024, {}},                      // outside the table, SDI
      {0x1038, {}},                      // IO-Link
  };
  for (const Case& c : cases) {
    CertificateRig r(c.type);
    ASSERT_TRUE(r.rig.connected);
    r.Open();
    EXPECT_FALSE(r.dialog->ended()) << std::hex << c.type;
    EXPECT_THAT(r.rig.Commands(), ElementsAreArray(c.reads)) << std::hex << c.type;
    EXPECT_THAT(r.rig.host.messages, IsEmpty());
    EXPECT_THAT(r.rig.host.events, ElementsAre("choose: please select certificate config file"));
  }
}

// A sensor with both elements and an analogue output: every field of the opening sequence.
TEST(CertificateOpen, ShowsEveryFieldOfAMixedAnalogueSensor) {
  CertificateRig r(0x1037);
  r.input.pressureNominal = "8.000";
  r.input.pressureActual = "8.012";
  r.input.analogueUnitCode = 31;  // an atmospheric dew point: "C Td atm"
  r.Open();
  EXPECT_EQ(r.Text(C::kInstrument), "D830 QCM");
  EXPECT_EQ(r.Text(C::kSerialNumber), "2300 4151");
  EXPECT_EQ(r.Text(C::kItemNumber), r.input.itemNumber);
  EXPECT_EQ(r.Text(C::kCalibrationDate), "31 May 2023");
  const char* rows[C::kRows][C::kColumns] = {
      {"C Td", "17.4", "2.0", "17.5", "Passed"},    // K5 record 1: 70 %rH at 23 ℃
      {"C Td", "4.3", "2.0", "4.4", "Passed"},      // K5 record 3: 30 %rH
      {"C Td", "-11.2", "2.0", "-11.2", "Passed"},  // QCM record 3: 10 %rH at 20 ℃, Magnus
      {"C", "23.0", "0.3", "23.1", "Passed"},      {"barg", "8.000", "0.05", "8.012", "Passed"},
  };
  for (size_t row = 0; row < C::kRows; ++row) {
    for (size_t column = 0; column < C::kColumns; ++column) {
      EXPECT_EQ(r.Cell(row, column), rows[row][column]) << row << "/" << column;
    }
  }
  EXPECT_EQ(r.Text(C::kRangeLow), "0");
  EXPECT_EQ(r.Text(C::kRangeHigh), "1000");
  EXPECT_EQ(r.Text(C::k4mA), "0.00");
  EXPECT_EQ(r.Text(C::k20mA), "1000.00");
  EXPECT_EQ(r.Text(C::k4mAUnit), "C Td atm");
  EXPECT_EQ(r.Text(C::k20mAUnit), "C Td atm");
  EXPECT_EQ(r.Text(C::kOutput), "Atoms. dewpoint");
  EXPECT_EQ(r.Text(C::kDeviceAddress), "01");
  EXPECT_EQ(r.Text(C::kBaudRate), "19200");
  EXPECT_EQ(r.Text(C::kFraming), "8,N,1");
  EXPECT_EQ(r.Text(C::kTransmissionMode), "RTU");
  // Template fields.
  EXPECT_EQ(r.Text(C::kTestMedium), "Synthetic air");
  EXPECT_EQ(r.Text(C::kMirrorUncertainty), "±0.1");
  EXPECT_EQ(r.Text(C::kCompanyName), "ROVA Sensortechnik GmbH");
  EXPECT_EQ(r.dialog->templatePath(), kStandardTemplate);
  EXPECT_FALSE(r.dialog->form().Enabled(C::kCustomerLogo));
  EXPECT_FALSE(r.dialog->form()[C::kMake].visible);
}

// The other classes: polymer rows 1, 3, 5 and "N/A" for the analogue block of the Modbus-only
// types; a type outside the table shows "N/A" in the temperature row and nothing else.
TEST(CertificateOpen, ShowsWhatEachClassOfTypeHas) {
  CertificateRig k5(0x1085);
  k5.Open();
  EXPECT_EQ(k5.Cell(C::kDewPoint1, C::kNominal), "17.4");
  EXPECT_EQ(k5.Cell(C::kDewPoint3, C::kNominal), "-22.1");  // record 5: 3 %rH
  EXPECT_EQ(k5.Cell(C::kDewPoint3, C::kActual), "-22.2");
  for (size_t id : {C::kOutput, C::k4mA, C::k4mAUnit, C::k20mA, C::k20mAUnit}) {
    EXPECT_EQ(k5.Text(id), "N/A") << id;
  }
  EXPECT_EQ(k5.Text(C::kRangeLow), "");
  EXPECT_EQ(k5.Text(C::kRangeHigh), "");
  EXPECT_EQ(k5.Cell(C::kPressure, C::kEvaluation), "N/A");  // no pressure values handed over

  CertificateRig other(0x1024);
  other.Open();
  EXPECT_EQ(other.Cell(C::kTemperature, C::kNominal), "N/A");
  EXPECT_EQ(other.Cell(C::kTemperature, C::kActual), "N/A");
  EXPECT_EQ(other.Cell(C::kTemperature, C::kEvaluation), "N/A");
  for (size_t row : {C::kDewPoint1, C::kDewPoint2, C::kDewPoint3}) {
    EXPECT_EQ(other.Cell(row, C::kNominal), "");
    EXPECT_EQ(other.Cell(row, C::kUnits), "C Td");
  }
  for (size_t id : {C::kOutput, C::k4mA, C::k20mA, C::kRangeLow}) EXPECT_EQ(other.Text(id), "");
  for (size_t id : {C::kDeviceAddress, C::kFraming, C::kBaudRate, C::kTransmissionMode}) {
    EXPECT_EQ(other.Text(id), "N/A");
  }
}

TEST(CertificateOpen, CalibrationDateByType) {
  CertificateRig number(0x1400);
  number.input.calibrationDateNumber = 20240305;
  number.input.calibrationDate = 45000;  // not used for this type
  number.Open();
  EXPECT_EQ(number.Text(C::kCalibrationDate), "05 Mar 2024");

  CertificateRig december(0x1035);
  december.input.calibrationDate = 45275;  // 15 Dec 2023
  december.Open();
  EXPECT_EQ(december.Text(C::kCalibrationDate), "15 Dec 2023");
}

// Counts the records do not fit: beyond the capacity nothing of that element is read; too
// small a count leaves the rows whose records are missing empty.
TEST(CertificateOpen, CountsBeyondCapacityOrTooSmallLeaveRowsEmpty) {
  CertificateRig big(0x1037);
  big.input.k5PointCount = 7;
  big.input.qcmPointCount = 11;
  big.Open();
  EXPECT_THAT(big.rig.Commands(), ElementsAre("ReadTemperatureValue 02", "ReadTemperatureValue 01",
                                              "ReadAnalogueScaling", "ReadModbusSettings"));
  for (size_t row : {C::kDewPoint1, C::kDewPoint2, C::kDewPoint3}) {
    EXPECT_EQ(big.Cell(row, C::kNominal), "");
    EXPECT_EQ(big.Cell(row, C::kActual), "");
  }

  CertificateRig small(0x1037);
  small.input.k5PointCount = 2;
  small.input.qcmPointCount = 3;
  small.Open();
  EXPECT_EQ(small.Cell(C::kDewPoint1, C::kNominal), "17.4");
  EXPECT_EQ(small.Cell(C::kDewPoint2, C::kNominal), "");
  EXPECT_EQ(small.Cell(C::kDewPoint3, C::kNominal), "");
  EXPECT_EQ(small.rig.Commands().size(), 2u + 2u + 3u + 2u);
}

// Every read may fail twice (each failure a full engine transaction of three tries); the third
// failure shows "Communication error" and the dialog is never shown.
TEST(CertificateOpen, AttemptBudgetThenCommunicationError) {
  CertificateRig survives(0x1035);
  survives.rig.sim.model.FailNext(sim::Fault::kSilent, 8);
  survives.Open();
  EXPECT_FALSE(survives.dialog->ended());
  EXPECT_EQ(survives.Cell(C::kTemperature, C::kNominal), "23.0");
  EXPECT_THAT(survives.rig.host.messages, IsEmpty());

  CertificateRig gone(0x1035);
  gone.rig.sim.model.FailNext(sim::Fault::kSilent, 9);
  gone.Open();
  EXPECT_EQ(gone.dialog->end(), DialogEnd::kFailed);
  EXPECT_THAT(gone.rig.host.messages, ElementsAre("Communication error"));
  EXPECT_EQ(gone.rig.Commands().size(), 9u);

  CertificateRig modbus(0x1083);
  modbus.rig.sim.model.Refuse("ReadModbusSettings", 7);
  modbus.Open();
  EXPECT_EQ(modbus.dialog->end(), DialogEnd::kFailed);
  EXPECT_THAT(modbus.rig.host.messages, ElementsAre("Communication error"));
}

TEST(CertificateOpen, FieldbusIndexesWithoutAName) {
  CertificateRig r(0x1085);
  r.rig.state().modbusSettings[6] = 8;  // baud rate index
  r.rig.state().modbusSettings[8] = 4;  // framing index
  r.rig.state().modbusSettings[0] = 247;
  r.Open();
  EXPECT_EQ(r.Text(C::kBaudRate), "N/A");
  EXPECT_EQ(r.Text(C::kFraming), "N/A");
  EXPECT_EQ(r.Text(C::kDeviceAddress), "247");
}

// "Customer Logo" stays enabled for a cancelled chooser, a copy of the standard template and a
// name that differs only in letter case.
TEST(CertificateTemplate, CustomerLogoByTemplateName) {
  CertificateRig cancelled(0x1035);
  cancelled.Open(std::nullopt);
  EXPECT_TRUE(cancelled.dialog->form().Enabled(C::kCustomerLogo));
  EXPECT_EQ(C::TemplateFields(cancelled.dialog->form()), TemplateValues{});
  EXPECT_EQ(cancelled.dialog->logoPath(), "");
  EXPECT_TRUE(cancelled.dialog->templatePath().empty());
  // The template chooser opens where the standard template is kept.
  ASSERT_FALSE(cancelled.rig.host.choosers.empty());
  EXPECT_TRUE(std::filesystem::exists(cancelled.rig.host.choosers.front().folder /
                                      "ROVA_Standard.conf"));

  for (const char* name : {"Copy.conf", "rova_standard.conf"}) {
    CertificateRig copy(0x1035);
    std::filesystem::copy_file(kStandardTemplate, copy.folder / name);
    copy.Open(copy.folder / name);
    EXPECT_TRUE(copy.dialog->form().Enabled(C::kCustomerLogo)) << name;
    EXPECT_EQ(copy.Text(C::kTestMedium), "Synthetic air");
  }

  CertificateRig standard(0x1035);
  std::filesystem::create_directories(standard.folder / "elsewhere");
  std::filesystem::copy_file(kStandardTemplate, standard.folder / "elsewhere/ROVA_Standard.conf");
  standard.Open(standard.folder / "elsewhere/ROVA_Standard.conf");
  EXPECT_FALSE(standard.dialog->form().Enabled(C::kCustomerLogo));
}

// The evaluation follows the numbers when the permissible uncertainty is changed.
TEST(CertificateEvaluation, FollowsThePermissibleUncertainty) {
  CertificateRig r(0x1035);
  r.input.pressureNominal = "8.000";
  r.input.pressureActual = "8.200";
  r.Open();
  EXPECT_EQ(r.Cell(C::kPressure, C::kEvaluation), "Failed");  // 0.2 beyond 0.05
  Form& f = r.dialog->form();
  f.SetText(C::ResultCell(C::kTemperature, C::kPermissible), "0.05");
  r.dialog->Changed(C::ResultCell(C::kTemperature, C::kPermissible));
  EXPECT_EQ(r.Cell(C::kTemperature, C::kEvaluation), "Failed");
  f.SetText(C::ResultCell(C::kDewPoint3, C::kPermissible), "");
  r.dialog->Changed(C::ResultCell(C::kDewPoint3, C::kPermissible));
  EXPECT_EQ(r.Cell(C::kDewPoint3, C::kEvaluation), "Passed");  // nothing to evaluate against
  f.SetText(C::ResultCell(C::kPressure, C::kPermissible), "0.25 bar");
  r.dialog->Changed(C::ResultCell(C::kPressure, C::kPermissible));
  EXPECT_EQ(r.Cell(C::kPressure, C::kEvaluation), "Passed");
}

// "Save as new " stores the screen: the blank-coded fields with their "$", the rest as it is;
// the chosen file does not become the current template.
TEST(CertificateButtons, SaveAsNewWritesTheScreen) {
  CertificateRig r(0x1035);
  C& dialog = r.Open();
  dialog.form().SetText(C::kMirrorModel, "   ABC");
  dialog.form().SetText(C::kInspector, "J. Doe");
  const std::filesystem::path file = r.folder / "lab.conf";
  r.rig.host.files = {file};
  dialog.Press(C::kSaveAsNew);
  EXPECT_THAT(r.rig.host.written, ElementsAre(file));
  std::ifstream in(file, std::ios::binary);
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_NE(text.find("[REF_DP_MIRROR]\r\nModel=$$$ABC\r\n"), std::string::npos);
  EXPECT_EQ(ReadTemplateFile(file), C::TemplateFields(dialog.form()));
  EXPECT_EQ(dialog.templatePath(), kStandardTemplate);
  EXPECT_EQ(dialog.form().Text(C::kMirrorModel), "   ABC");

  r.rig.host.files = {r.folder / "missing folder" / "lab.conf"};
  dialog.Press(C::kSaveAsNew);
  EXPECT_THAT(r.rig.host.messages, ElementsAre("Error:Save certificate sample failed!"));
  EXPECT_FALSE(dialog.ended());
}

TEST(CertificateButtons, CustomerLogoChooserAndExit) {
  CertificateRig r(0x1035);
  C& dialog = r.Open(std::nullopt);
  r.rig.host.files = {std::filesystem::path("/logos/acme.png")};
  dialog.Press(C::kCustomerLogo);
  EXPECT_EQ(dialog.logoPath(), "/logos/acme.png");
  const FileChooserSpec& chooser = r.rig.host.choosers.back();
  EXPECT_EQ(chooser.title, "please select customered log picture");
  EXPECT_EQ(chooser.filterName, "Customered Picture Files(*.png)");
  EXPECT_EQ(chooser.pattern, "*.png");
  dialog.Press(C::kCustomerLogo);  // cancelled: the logo stays
  EXPECT_EQ(dialog.logoPath(), "/logos/acme.png");
  EXPECT_EQ(C::TemplateFields(dialog.form())[tf::kLogoPath], "/logos/acme.png");

  r.rig.ClearLog();
  dialog.Press(C::kExit);
  EXPECT_EQ(dialog.end(), DialogEnd::kClosed);
  EXPECT_TRUE(r.rig.Commands().empty());
}

// "Create" writes the certificate below the program folder, named by the (edited) serial
// number field made a plain file name; "Make" the snapshot beside it, picture kept.
TEST(CertificateButtons, CreateAndMakeWriteTheirFiles) {
  CertificateRig r(0x1037);
  C& dialog = r.Open();
  dialog.Press(C::kCreate);
  const std::filesystem::path pdf = r.folder / "Certificate" / "2300 4151.pdf";
  EXPECT_THAT(r.rig.host.written, ElementsAre(pdf));
  EXPECT_TRUE(std::filesystem::exists(pdf));

  dialog.form().SetText(C::kSerialNumber, "../../escape");
  dialog.Press(C::kCreate);
  EXPECT_TRUE(std::filesystem::exists(r.folder / "Certificate" / ".._.._escape.pdf"));

  r.rig.host.written.clear();
  r.rig.host.picture = [](const std::filesystem::path& png) {
    QImage image(300, 200, QImage::Format_RGB888);
    image.fill(Qt::white);
    return image.save(QString::fromStdString(png.string()), "PNG");
  };
  dialog.form().SetText(C::kSerialNumber, "0001 2345");
  dialog.Press(C::kMake);
  EXPECT_THAT(r.rig.host.written,
              ElementsAre(r.folder / "Certificate" / "0001 2345_Certificate.pdf",
                          r.folder / "Certificate" / "0001 2345.png"));
  EXPECT_THAT(r.rig.host.messages, IsEmpty());

  // A logo that is no PNG stops "Create" with the library's message; nothing is written.
  dialog.form().SetText(C::kLogo, (r.folder / "missing.png").string());
  dialog.form().SetText(C::kSerialNumber, "no logo");
  dialog.Press(C::kCreate);
  EXPECT_THAT(r.rig.host.messages, ElementsAre("Error:Create PDF failed!"));
  EXPECT_FALSE(std::filesystem::exists(r.folder / "Certificate" / "no logo.pdf"));
}

}  // namespace
}  // namespace korvin
