#include "calibration/c_calibration_data.h"

#include <algorithm>
#include <array>
#include <string>

#include "calibration/factory_conversions.h"
#include "device/device_types.h"
#include "reports/report_paths.h"
#include "reports/snapshot_pdf.h"
#include "tables/number_format.h"

namespace korvin {

namespace {

using C = CCalibrationData;

// Sensor option bit 0x01: the sensor keeps pressure calibration data. The calibration menu
// offers the pressure calibration on the pressure sensor bit 0x04; this view asks bit 0x01.
constexpr uint8_t kOptionPressureData = 0x01;

constexpr uint8_t kOffsetK5Factory = 0;
constexpr uint8_t kOffsetQcmFactory = 2;
constexpr uint8_t kCalibrationTemperatureIndex = 0;
// The sensor stores the calibration temperature as its difference from 23 ℃.
constexpr double kCalibrationTemperatureBase = 23.0;
constexpr uint8_t kSelectorK5 = 0;
constexpr uint8_t kSelectorQcm = 1;

// The analogue calibration record (37 bytes).
namespace analoguerecord {
constexpr size_t kSize = 37;
constexpr size_t kA1 = 5;
constexpr size_t kA0 = 9;
constexpr size_t kAt4mA = 13;
constexpr size_t kAt20mA = 17;
constexpr size_t kCurrent1 = 21;
constexpr size_t kCurrent2 = 25;
constexpr size_t kDac1 = 29;
constexpr size_t kDac2 = 33;
}  // namespace analoguerecord

// A coefficient pair: A1, then A0.
constexpr size_t kPairSize = 8;
constexpr size_t kPairA1 = 0;
constexpr size_t kPairA0 = 4;
// Pressure check data: reference and measured pressure, then 16 bytes the view does not show.
constexpr size_t kPressureDataSize = 24;
constexpr size_t kPressureReference = 0;
constexpr size_t kPressureMeasured = 4;

// A K5 point: Omega, x, a value not shown, Ref ADC, 8 bytes not shown.
constexpr size_t kK5PointSize = 24;
constexpr size_t kK5Omega = 0;
constexpr size_t kK5X = 4;
constexpr size_t kK5RefAdc = 12;
// A QCM point: reference and measured relative humidity (%), temperature (℃).
constexpr size_t kQcmPointSize = 12;
constexpr size_t kQcmReferenceRh = 0;
constexpr size_t kQcmMeasuredRh = 4;
constexpr size_t kQcmTemperature = 8;

constexpr size_t kColumnReference = 0;
constexpr size_t kColumnSenAdc = 1;
constexpr size_t kColumnRefAdc = 2;
constexpr size_t kColumnOmega = 3;
constexpr size_t kColumnRef = 0;
constexpr size_t kColumnMeaDp = 1;
constexpr size_t kColumnMeaT = 2;
constexpr size_t kColumnMeaFreq = 3;

constexpr double kReferenceScale = 0.1;

constexpr int kOffsetPlaces = 3;
constexpr int kTemperaturePlaces = 1;
constexpr int kDacPlaces = 3;
constexpr int kCurrentPlaces = 3;
constexpr int kScalingPlaces = 1;
constexpr int kAnalogueCoefficientPlaces = 5;
constexpr int kPressurePlaces = 3;
constexpr int kPressureCoefficientPlaces = 4;
constexpr int kReferencePlaces = 3;
constexpr int kAdcPlaces = 2;
constexpr int kOmegaPlaces = 6;
constexpr int kK5CoefficientPlaces = 6;
constexpr int kQcmPlaces = 2;

constexpr std::array<std::string_view, C::kK5Columns> kK5ColumnNames = {"Reference", "Sen ADC",
                                                                        "Ref ADC", "Omega"};
constexpr std::array<std::string_view, C::kQcmColumns> kQcmColumnNames = {"Ref", "Mea_DP", "Mea_T",
                                                                          "Mea_Freq"};
constexpr std::array<std::string_view, C::kQcmColumns> kQcmColumnUnits = {"[C Td]", "[C Td]", "[C]",
                                                                          "[Hz]"};
constexpr std::array<std::string_view, C::kPairColumns> kK5PairRows = {"A1:", "A0:"};
constexpr std::array<std::string_view, C::kPairColumns> kQcmPairColumns = {"Coeff_A1", "Coeff_A0"};
constexpr char kCountHeading[] = "Num of cali point:";
constexpr char kCountColumn[] = "Num of cali point";
constexpr char kHigh[] = "[High]";
constexpr char kLow[] = "[Low]";

// Grid rows of the K5 table: the count, the headings, [High], six points, [Low], then the
// coefficient headings and the A1 and A0 rows.
constexpr int kK5HeadingRow = 1;
constexpr int kK5HighRow = 2;
constexpr int kK5FirstPointRow = 3;
constexpr int kK5LowRow = kK5FirstPointRow + static_cast<int>(C::kK5Points);
constexpr int kK5CoefficientHeadingRow = kK5LowRow + 1;
// Grid rows of the QCM table: the count, headings, units, [High], then points and segments
// alternating (each segment between the two points it joins), then [Low].
constexpr int kQcmHeadingRow = 1;
constexpr int kQcmUnitRow = 2;
constexpr int kQcmHighRow = 3;
constexpr int kQcmFirstPointRow = 4;
constexpr int QcmPointRow(size_t point) {
  return kQcmFirstPointRow + 2 * static_cast<int>(point);
}
constexpr int kQcmLowRow = QcmPointRow(C::kQcmPoints);
constexpr int kTableCellWidth = 76;
constexpr int kFieldWidth = 104;
// Frequencies near 10 MHz with two decimals.
constexpr int kFrequencyCellWidth = 92;

std::string Fixed(const uint8_t* record, size_t offset, int places) {
  return FormatFixed(GetFloat(record + offset), places);
}

std::string PointName(size_t point) {
  return "Cali " + std::to_string(point + 1);
}

void AddHeading(DialogScreen& s, std::string_view text, const char* group, int row, int column) {
  s.Add({.label = std::string(text),
         .kind = ControlKind::kHeading,
         .group = group,
         .flags = control::kCentred,
         .row = row,
         .column = column});
}

void AddCell(DialogScreen& s, size_t id, std::string label, const char* group, int row, int column,
             int width = kTableCellWidth) {
  s.Add(id, {.label = std::move(label),
             .group = group,
             .flags = control::kCell | control::kCentred | control::kFixedWidth,
             .row = row,
             .column = column,
             .width = width});
}

void AddFixedControls(DialogScreen& s) {
  auto field = [&](size_t id, const char* label, const char* group, const char* unit, int row,
                   int column) {
    s.Add(id, {.label = label,
               .group = group,
               .unit = unit,
               .flags = control::kFixedWidth,
               .row = row,
               .column = column,
               .width = kFieldWidth});
  };
  field(C::kDeviceName, "Device Name:", "identity", "", 0, 0);
  field(C::kFirmware, "Firmware Version:", "identity", "", 1, 0);
  field(C::kSerial, "Serial number:", "identity", "", 2, 0);
  field(C::kItem, "Item number:", "identity", "", 3, 0);
  field(C::kCalibrationDate, "Calibration date:", "identity", "", 4, 0);
  field(C::kK5Offset, "K5 offset:", "identity", "%rH", 0, 3);
  field(C::kQcmOffset, "QCM offset:", "identity", "C Td", 1, 3);
  field(C::kCalibrationTemperature, "Calibration temperature :", "identity", "C", 2, 3);
  field(C::kReferenceDac1, "Reference DAC 1:", "analogue", "", 0, 0);
  field(C::kReferenceDac2, "Reference DAC 2:", "analogue", "", 0, 3);
  field(C::kMeasuredCurrent1, "Measured current 1:", "analogue", "mA", 1, 0);
  field(C::kMeasuredCurrent2, "Measured current 2:", "analogue", "mA", 1, 3);
  field(C::kScaling4mA, "Scaling at 4mA:", "analogue", "", 2, 0);
  field(C::kScaling20mA, "Scaling at 20mA:", "analogue", "", 2, 3);
  field(C::kAnalogueA1, "Analog output A1:", "analogue", "", 3, 0);
  field(C::kAnalogueA0, "Analog output A0:", "analogue", "", 3, 3);
  field(C::kRefPressure, "Ref pressure:", "check", "barg", 0, 0);
  field(C::kMeasurePressure, "Measure pressure:", "check", "barg", 1, 0);
  field(C::kPressureA1, "Coeff A1:", "coefficients", "", 0, 0);
  field(C::kPressureA0, "Coeff A0:", "coefficients", "", 1, 0);
}

void AddK5Table(DialogScreen& s) {
  AddCell(s, C::kK5Count, CellLabel("K5 sensor", kCountColumn), "k5", 0, 1);
  for (size_t point = 0; point < C::kK5Points; ++point) {
    for (size_t column = 0; column < C::kK5Columns; ++column) {
      AddCell(s, C::K5Cell(point, column), CellLabel(PointName(point), kK5ColumnNames[column]),
              "k5", kK5FirstPointRow + static_cast<int>(point), static_cast<int>(column) + 1);
    }
  }
  for (size_t segment = 0; segment < C::kK5Segments; ++segment) {
    for (size_t pair = 0; pair < C::kPairColumns; ++pair) {
      AddCell(s, C::K5Coefficient(segment, pair),
              CellLabel(kK5PairRows[pair], "Coeff " + std::to_string(segment)), "k5",
              kK5CoefficientHeadingRow + 1 + static_cast<int>(pair), static_cast<int>(segment) + 1);
    }
  }
}

void AddQcmTable(DialogScreen& s) {
  AddCell(s, C::kQcmCount, CellLabel("QCM sensor", kCountColumn), "qcm", 0, 1);
  for (size_t point = 0; point < C::kQcmPoints; ++point) {
    for (size_t column = 0; column < C::kQcmColumns; ++column) {
      AddCell(s, C::QcmCell(point, column), CellLabel(PointName(point), kQcmColumnNames[column]),
              "qcm", QcmPointRow(point), static_cast<int>(column) + 1,
              column == kColumnMeaFreq ? kFrequencyCellWidth : kTableCellWidth);
    }
  }
  for (size_t segment = 0; segment < C::kQcmSegments; ++segment) {
    for (size_t pair = 0; pair < C::kPairColumns; ++pair) {
      AddCell(s, C::QcmCoefficient(segment, pair),
              CellLabel("Segment " + std::to_string(segment), kQcmPairColumns[pair]), "qcm",
              QcmPointRow(segment) + 1, static_cast<int>(C::kQcmColumns + pair) + 1);
    }
  }
}

void AddHeadings(DialogScreen& s) {
  AddHeading(s, kCountHeading, "k5", 0, 0);
  for (size_t column = 0; column < C::kK5Columns; ++column) {
    AddHeading(s, kK5ColumnNames[column], "k5", kK5HeadingRow, static_cast<int>(column) + 1);
  }
  AddHeading(s, kHigh, "k5", kK5HighRow, 0);
  for (size_t point = 0; point < C::kK5Points; ++point) {
    AddHeading(s, PointName(point), "k5", kK5FirstPointRow + static_cast<int>(point), 0);
  }
  AddHeading(s, kLow, "k5", kK5LowRow, 0);
  for (size_t segment = 0; segment < C::kK5Segments; ++segment) {
    AddHeading(s, "Coeff " + std::to_string(segment), "k5", kK5CoefficientHeadingRow,
               static_cast<int>(segment) + 1);
  }
  for (size_t pair = 0; pair < C::kPairColumns; ++pair) {
    AddHeading(s, kK5PairRows[pair], "k5", kK5CoefficientHeadingRow + 1 + static_cast<int>(pair),
               0);
  }

  AddHeading(s, kCountHeading, "qcm", 0, 0);
  for (size_t column = 0; column < C::kQcmColumns; ++column) {
    AddHeading(s, kQcmColumnNames[column], "qcm", kQcmHeadingRow, static_cast<int>(column) + 1);
    AddHeading(s, kQcmColumnUnits[column], "qcm", kQcmUnitRow, static_cast<int>(column) + 1);
  }
  for (size_t pair = 0; pair < C::kPairColumns; ++pair) {
    AddHeading(s, kQcmPairColumns[pair], "qcm", kQcmHeadingRow,
               static_cast<int>(C::kQcmColumns + pair) + 1);
  }
  AddHeading(s, kHigh, "qcm", kQcmHighRow, 0);
  for (size_t point = 0; point < C::kQcmPoints; ++point) {
    AddHeading(s, PointName(point), "qcm", QcmPointRow(point), 0);
  }
  AddHeading(s, kLow, "qcm", kQcmLowRow, 0);
}

}  // namespace

const DialogScreen& CCalibrationData::Screen() {
  static const DialogScreen screen = [] {
    using K = ControlKind;
    DialogScreen s(kTitle);
    s.Group({"identity", "", 0, 0});
    s.Group({"analogue", "Analog calibration data", 1, 0});
    s.Group({"pressure", "Pressure data", 2, 0});
    s.Group({"check", "Check data", 0, 0, 1, 1, "pressure"});
    s.Group({"coefficients", "Calibration coeff.", 0, 1, 1, 1, "pressure"});
    s.Group({"k5", "Dewpoint calibration data for K5 sensor", 3, 0});
    s.Group({"qcm", "Dewpoint calibration data for QCM sensor", 0, 1, 4, 1});
    s.Group({"buttons", "", 4, 0, 1, 2});
    AddFixedControls(s);
    AddK5Table(s);
    AddQcmTable(s);
    s.Add(kPrintToPdf,
          {.label = "Print to PDF", .kind = K::kButton, .group = "buttons", .row = 0, .column = 0});
    s.Add(kGenerateCertificate, {.label = "Generate certificate",
                                 .kind = K::kButton,
                                 .group = "buttons",
                                 .row = 0,
                                 .column = 1});
    s.Add(kExit, {.label = "Exit",
                  .kind = K::kButton,
                  .group = "buttons",
                  .flags = control::kCancel,
                  .row = 0,
                  .column = 2});
    AddHeadings(s);
    return s;
  }();
  return screen;
}

CCalibrationData::CCalibrationData(TaskEnvironment& environment,
                                   CertificateDialogMaker makeCertificate)
    : TaskDialog(Screen()), env_(environment), makeCertificate_(std::move(makeCertificate)) {}

bool CCalibrationData::Read(const RequestBuilder& request, void* destination, uint8_t copyLimit) {
  if (RunAttempts(env_.protocol(), request, destination, copyLimit)) return true;
  Fail(kCommunicationErrorMessage);
  End(DialogEnd::kFailed);
  return false;
}

void CCalibrationData::Open() {
  Form& f = form();
  const SensorTexts& t = env_.texts;
  f.SetText(kDeviceName, t.deviceName);
  f.SetText(kFirmware, t.firmware);
  f.SetText(kSerial, t.serial);
  f.SetText(kItem, t.item);
  f.SetText(kCalibrationDate, t.calibrationDate);
  f.Enable(kGenerateCertificate, static_cast<bool>(makeCertificate_));

  if (!ReadOffsets()) return;
  float temperature = 0;
  if (!Read(ReadTemperatureValue(kCalibrationTemperatureIndex), temperature)) return;
  f.SetText(kCalibrationTemperature,
            FormatFixed(temperature + kCalibrationTemperatureBase, kTemperaturePlaces));
  if (env_.record.HasAnalogueOutput() && !ReadAnalogueCalibration()) return;
  if ((env_.record.sensorOptions & kOptionPressureData) != 0 && !ReadPressureData()) return;
  if (!ReadCounts()) return;
  if (HasPolymerElement(env_.record.elementSet) && !ReadK5Table()) return;
  if (HasQcmElement(env_.record.elementSet)) ReadQcmTable();
}

bool CCalibrationData::ReadOffsets() {
  const int elements = env_.record.elementSet;
  float offset = 0;
  if (HasQcmElement(elements)) {
    if (!Read(ReadOffset(kOffsetQcmFactory), offset)) return false;
    form().SetText(kQcmOffset, FormatFixed(offset, kOffsetPlaces));
  }
  if (HasPolymerElement(elements)) {
    if (!Read(ReadOffset(kOffsetK5Factory), offset)) return false;
    form().SetText(kK5Offset, FormatFixed(offset, kOffsetPlaces));
  }
  return true;
}

bool CCalibrationData::ReadAnalogueCalibration() {
  std::array<uint8_t, analoguerecord::kSize> r{};
  if (!Read(korvin::ReadAnalogueCalibration(), r.data(), static_cast<uint8_t>(r.size()))) {
    return false;
  }
  Form& f = form();
  f.SetText(kReferenceDac1, Fixed(r.data(), analoguerecord::kDac1, kDacPlaces));
  f.SetText(kReferenceDac2, Fixed(r.data(), analoguerecord::kDac2, kDacPlaces));
  f.SetText(kMeasuredCurrent1, Fixed(r.data(), analoguerecord::kCurrent1, kCurrentPlaces));
  f.SetText(kMeasuredCurrent2, Fixed(r.data(), analoguerecord::kCurrent2, kCurrentPlaces));
  f.SetText(kScaling4mA, Fixed(r.data(), analoguerecord::kAt4mA, kScalingPlaces));
  f.SetText(kScaling20mA, Fixed(r.data(), analoguerecord::kAt20mA, kScalingPlaces));
  f.SetText(kAnalogueA1, Fixed(r.data(), analoguerecord::kA1, kAnalogueCoefficientPlaces));
  f.SetText(kAnalogueA0, Fixed(r.data(), analoguerecord::kA0, kAnalogueCoefficientPlaces));
  return true;
}

bool CCalibrationData::ReadPressureData() {
  std::array<uint8_t, kPairSize> pair{};
  if (!Read(ReadPressureCoefficients(), pair.data(), static_cast<uint8_t>(pair.size()))) {
    return false;
  }
  form().SetText(kPressureA1, Fixed(pair.data(), kPairA1, kPressureCoefficientPlaces));
  form().SetText(kPressureA0, Fixed(pair.data(), kPairA0, kPressureCoefficientPlaces));
  std::array<uint8_t, kPressureDataSize> check{};
  if (!Read(ReadPressureCalibrationData(), check.data(), static_cast<uint8_t>(check.size()))) {
    return false;
  }
  form().SetText(kRefPressure, Fixed(check.data(), kPressureReference, kPressurePlaces));
  form().SetText(kMeasurePressure, Fixed(check.data(), kPressureMeasured, kPressurePlaces));
  return true;
}

bool CCalibrationData::ReadCounts() {
  const int elements = env_.record.elementSet;
  if (HasPolymerElement(elements)) {
    if (!Read(ReadCalibrationPointCount(kSelectorK5), k5Count_)) return false;
    form().SetText(kK5Count, std::to_string(k5Count_));
  }
  if (HasQcmElement(elements)) {
    if (!Read(ReadCalibrationPointCount(kSelectorQcm), qcmCount_)) return false;
    form().SetText(kQcmCount, std::to_string(qcmCount_));
  }
  return true;
}

// A sensor may report more points than the table has rows; only the rows' worth is read.
bool CCalibrationData::ReadK5Table() {
  const size_t points = std::min<size_t>(k5Count_, kK5Points);
  const size_t segments = points > 0 ? points - 1 : 0;
  std::array<std::array<uint8_t, kK5PointSize>, kK5Points> point{};
  std::array<std::array<uint8_t, kPairSize>, kK5Segments> pair{};
  for (size_t i = 0; i < points; ++i) {
    if (!Read(ReadCalibrationPoint(static_cast<uint8_t>(i)), point[i].data(), kK5PointSize)) {
      return false;
    }
  }
  for (size_t s = 0; s < segments; ++s) {
    if (!Read(ReadCalibrationCoefficients(kSelectorK5, static_cast<uint8_t>(s)), pair[s].data(),
              kPairSize)) {
      return false;
    }
  }
  Form& f = form();
  for (size_t row = 0; row < kK5Points; ++row) {
    const uint8_t* p = point[row].data();
    const float refAdc = GetFloat(p + kK5RefAdc);
    if (!(refAdc > 0.0f)) continue;
    const float omega = GetFloat(p + kK5Omega);
    const double reference = kReferenceScale * K5ReferencePolynomial(GetFloat(p + kK5X));
    f.SetText(K5Cell(row, kColumnReference), FormatFixed(reference, kReferencePlaces));
    f.SetText(K5Cell(row, kColumnSenAdc), FormatFixed(omega * refAdc, kAdcPlaces));
    f.SetText(K5Cell(row, kColumnRefAdc), FormatFixed(refAdc, kAdcPlaces));
    f.SetText(K5Cell(row, kColumnOmega), FormatFixed(omega, kOmegaPlaces));
    if (row == 0) continue;
    const size_t segment = row - 1;
    f.SetText(K5Coefficient(segment, 0),
              Fixed(pair[segment].data(), kPairA1, kK5CoefficientPlaces));
    f.SetText(K5Coefficient(segment, 1),
              Fixed(pair[segment].data(), kPairA0, kK5CoefficientPlaces));
  }
  return true;
}

bool CCalibrationData::ReadQcmTable() {
  const size_t points = std::min<size_t>(qcmCount_, kQcmPoints);
  const size_t segments = points > 0 ? points - 1 : 0;
  struct Point {
    float reference = 0;  // dew points, ℃ Td
    float measured = 0;
    float temperature = 0;
    float frequency = 0;
  };
  std::array<Point, kQcmPoints> point{};
  std::array<std::array<uint8_t, kPairSize>, kQcmSegments> pair{};
  for (size_t i = 0; i < points; ++i) {
    std::array<uint8_t, kQcmPointSize> r{};
    if (!Read(ReadCalibrationRecord(kSelectorQcm, static_cast<uint8_t>(i)), r.data(),
              kQcmPointSize)) {
      return false;
    }
    const float temperature = GetFloat(r.data() + kQcmTemperature);
    point[i].reference = QcmPointDewPoint(temperature, GetFloat(r.data() + kQcmReferenceRh));
    point[i].measured = QcmPointDewPoint(temperature, GetFloat(r.data() + kQcmMeasuredRh));
    point[i].temperature = temperature;
  }
  for (size_t i = 0; i < points; ++i) {
    if (!Read(ReadCalibrationParameter(static_cast<uint8_t>(i)), point[i].frequency)) {
      return false;
    }
  }
  for (size_t s = 0; s < segments; ++s) {
    if (!Read(ReadCalibrationCoefficients(kSelectorQcm, static_cast<uint8_t>(s)), pair[s].data(),
              kPairSize)) {
      return false;
    }
  }
  Form& f = form();
  for (size_t row = 0; row < kQcmPoints; ++row) {
    const Point& p = point[row];
    // A point taken at exactly 0.0 ℃ is an empty slot.
    if (p.temperature == 0.0f) continue;
    f.SetText(QcmCell(row, kColumnRef), FormatFixed(p.reference, kQcmPlaces));
    f.SetText(QcmCell(row, kColumnMeaDp), FormatFixed(p.measured, kQcmPlaces));
    f.SetText(QcmCell(row, kColumnMeaT), FormatFixed(p.temperature, kQcmPlaces));
    f.SetText(QcmCell(row, kColumnMeaFreq), FormatFixed(p.frequency, kQcmPlaces));
    if (row == 0) continue;
    const size_t segment = row - 1;
    f.SetText(QcmCoefficient(segment, 0), Fixed(pair[segment].data(), kPairA1, kQcmPlaces));
    f.SetText(QcmCoefficient(segment, 1), Fixed(pair[segment].data(), kPairA0, kQcmPlaces));
  }
  return true;
}

CertificateInput CCalibrationData::CertificateInputOf() const {
  const Form& f = form();
  const DeviceRecord& record = env_.record;
  CertificateInput input;
  input.programFolder = env_.programFolder;
  input.deviceType = record.deviceType;
  input.linkProfile = record.linkProfile;
  input.deviceName = f.Text(kDeviceName);
  input.serialNumber = f.Text(kSerial);
  input.itemNumber = f.Text(kItem);
  input.calibrationDate = record.calibrationDate;
  input.calibrationDateNumber = record.calibrationDateNumber;
  input.pressureNominal = f.Text(kRefPressure);
  input.pressureActual = f.Text(kMeasurePressure);
  input.k5PointCount = k5Count_;
  input.qcmPointCount = qcmCount_;
  input.analogueUnitCode = record.altDewPointUnit;
  return input;
}

void CCalibrationData::Press(size_t control) {
  if (control == kPrintToPdf) {
    PrintToPdf();
  } else if (control == kGenerateCertificate) {
    GenerateCertificate();
  } else if (control == kExit) {
    End(DialogEnd::kClosed);
  }
}

void CCalibrationData::PrintToPdf() {
  const SnapshotResult result =
      WriteSnapshotPdf(host(), {env_.programFolder / kCalibrationDataFolder, form().Text(kSerial),
                                kPdfSuffix, SnapshotLayout::ImageSized, false});
  if (!result.ok()) Fail(result.failure);
}

void CCalibrationData::GenerateCertificate() {
  if (!makeCertificate_) return;
  const std::unique_ptr<TaskDialog> certificate = makeCertificate_(env_, CertificateInputOf());
  if (certificate) host().RunChild(*certificate);
}

}  // namespace korvin
