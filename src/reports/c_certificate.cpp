#include "reports/c_certificate.h"

#include <array>

#include "device/device_types.h"
#include "device/magnus.h"
#include "platform/program_files.h"
#include "reports/certificate_pdf.h"
#include "reports/certificate_texts.h"
#include "reports/dew_point_table.h"
#include "reports/report_paths.h"
#include "reports/snapshot_pdf.h"
#include "tables/number_format.h"
#include "tables/number_text.h"

namespace korvin {

namespace {

using C = CCertificate;

// What the opening sequence reads, by device type.
enum class TypeClass {
  kK5Rows,     // three dew point rows from polymer records 1, 3, 5
  kMixedRows,  // rows 1, 2 from polymer records 1, 3; row 3 from QCM record 3
  kOther,      // neither temperature, records nor scaling
};

TypeClass ClassOf(uint16_t type) {
  switch (type) {
    case kDeviceType1035:
    case kDeviceType1085:
    case kDeviceType1400:
      return TypeClass::kK5Rows;
    case kDeviceType1037:
    case kDeviceType1083:
      return TypeClass::kMixedRows;
    default:
      return TypeClass::kOther;
  }
}

// Only these types put out an analogue signal whose scaling the certificate reads; the other
// table types show "N/A" there.
bool ReadsAnalogueScaling(uint16_t type) {
  return type == kDeviceType1035 || type == kDeviceType1037;
}

constexpr uint8_t kNominalTemperatureIndex = 2;
constexpr uint8_t kActualTemperatureIndex = 1;
constexpr uint8_t kSelectorK5 = 0;
constexpr uint8_t kSelectorQcm = 1;
// The records the dew point rows show.
constexpr std::array<size_t, 3> kK5RowRecords = {1, 3, 5};
constexpr size_t kQcmRowRecord = 3;

constexpr int kResultPlaces = 1;
constexpr int kRangePlaces = 0;
constexpr int kScalingPlaces = 2;
constexpr int kAddressDigits = 2;

// Calibration record (ReadCalibrationRecord): reference %, measured %, temperature ℃.
constexpr uint8_t kRecordSize = 12;
constexpr size_t kRecordReference = 0;
constexpr size_t kRecordMeasured = 4;
constexpr size_t kRecordTemperature = 8;
// ReadAnalogueScaling: value at 4 mA, value at 20 mA.
constexpr uint8_t kScalingSize = 8;
constexpr size_t kScaling20mA = 4;
// ReadModbusSettings: address, baud rate index and framing index, 16 bits each.
constexpr uint8_t kModbusSize = 22;
constexpr size_t kModbusAddress = 0;
constexpr size_t kModbusBaudIndex = 6;
constexpr size_t kModbusFramingIndex = 8;
constexpr char kTransmissionModeRtu[] = "RTU";

constexpr std::array<std::string_view, C::kRows> kRowUnits = {"C Td", "C Td", "C Td", "C", "barg"};

// The form control each template value fills, in template order.
constexpr std::array<size_t, templatefield::kCount> kTemplateControls = [] {
  std::array<size_t, templatefield::kCount> ids{};
  size_t t = 0;
  for (size_t id = C::kTestMedium; id <= C::kTestingMethod; ++id) ids[t++] = id;
  for (size_t id = C::kMirrorModel; id <= C::kTemperatureCalibrationDate; ++id) ids[t++] = id;
  for (size_t row = 0; row < C::kRows; ++row) ids[t++] = C::ResultCell(row, C::kPermissible);
  for (size_t id = C::kInfo1; id <= C::kInfo4; ++id) ids[t++] = id;
  for (size_t id = C::kCompanyPrompt; id <= C::kAddress4; ++id) ids[t++] = id;
  ids[t++] = C::kInspector;
  ids[t++] = C::kLogo;
  return ids;
}();

std::string Fixed(float value, int places) {
  return FormatFixed(value, places);
}

}  // namespace

CCertificate::CCertificate(TaskEnvironment& environment, CertificateInput input)
    : TaskDialog(Screen()), env_(environment), input_(std::move(input)) {
  unevaluated_.fill(kPassed);
}

TemplateValues CCertificate::TemplateFields(const Form& form) {
  TemplateValues values;
  for (size_t t = 0; t < values.size(); ++t) values[t] = form.Text(kTemplateControls[t]);
  return values;
}

void CCertificate::ShowTemplateFields(Form& form, const TemplateValues& values) {
  for (size_t t = 0; t < values.size(); ++t) form.SetText(kTemplateControls[t], values[t]);
}

bool CCertificate::Read(const RequestBuilder& request, void* destination, uint8_t size) {
  // Each read may fail twice; a third failure in a row (every attempt a full transaction with
  // its own retries) ends the dialog before it is shown.
  if (RunAttempts(env_.protocol(), request, destination, size)) return true;
  Fail(kCommunicationErrorMessage);
  End(DialogEnd::kFailed);
  return false;
}

void CCertificate::Open() {
  Form& f = form();
  // The chooser opens where the standard template is kept.
  const LoadedTemplate loaded = LoadCertificateTemplate(host(), ProgramDataFolder());
  templatePath_ = loaded.path;
  ShowTemplateFields(f, loaded.values);
  if (loaded.standard) f.Enable(kCustomerLogo, false);

  f.SetText(kInstrument, input_.deviceName);
  f.SetText(kItemNumber, input_.itemNumber);
  f.SetText(kCalibrationDate, input_.deviceType == kDeviceType1400
                                  ? CertificateDateOfNumber(input_.calibrationDateNumber)
                                  : CertificateDateOfAutomationDate(input_.calibrationDate));

  if (!ReadTemperatureRow() || !ReadDewPointRows() || !ReadAnalogueOutput()) return;
  for (size_t row = 0; row < kRows; ++row) {
    f.SetText(ResultCell(row, kUnits), std::string(kRowUnits[row]));
  }
  if (!ReadFieldbus()) return;

  f.SetText(ResultCell(kPressure, kNominal), input_.pressureNominal);
  f.SetText(ResultCell(kPressure, kActual), input_.pressureActual);
  unevaluated_[kPressure] = input_.pressureNominal.empty() ? kNotAvailable : kPassed;

  f.SetText(kSerialNumber, GroupedSerialNumber(input_.serialNumber));
  Evaluate();
}

bool CCertificate::ReadTemperatureRow() {
  Form& f = form();
  if (ClassOf(input_.deviceType) == TypeClass::kOther) {
    f.SetText(ResultCell(kTemperature, kNominal), kNotAvailable);
    f.SetText(ResultCell(kTemperature, kActual), kNotAvailable);
    unevaluated_[kTemperature] = kNotAvailable;
    return true;
  }
  float nominal = 0;
  float actual = 0;
  if (!Read(ReadTemperatureValue(kNominalTemperatureIndex), &nominal, sizeof nominal)) {
    return false;
  }
  f.SetText(ResultCell(kTemperature, kNominal), Fixed(nominal, kResultPlaces));
  if (!Read(ReadTemperatureValue(kActualTemperatureIndex), &actual, sizeof actual)) return false;
  f.SetText(ResultCell(kTemperature, kActual), Fixed(actual, kResultPlaces));
  return true;
}

bool CCertificate::ReadRecords(uint8_t selector, uint8_t count, size_t capacity, bool magnus,
                               std::array<DewPoints, kQcmCapacity>& converted, size_t& kept) {
  kept = 0;
  // A count beyond what the certificate keeps is no count it can trust: nothing is read, and
  // the rows that would show these records stay empty.
  if (count > capacity) return true;
  for (uint8_t i = 0; i < count; ++i) {
    uint8_t bytes[kRecordSize] = {};
    if (!Read(ReadCalibrationRecord(selector, i), bytes, kRecordSize)) return false;
    const float reference = GetFloat(bytes + kRecordReference);
    const float measured = GetFloat(bytes + kRecordMeasured);
    const float temperature = GetFloat(bytes + kRecordTemperature);
    if (magnus) {
      converted[i] = {static_cast<float>(HumidityToDewPointMagnus(temperature, reference)),
                      static_cast<float>(HumidityToDewPointMagnus(temperature, measured))};
    } else {
      converted[i] = {HumidityToDewPointTable(temperature, reference),
                      HumidityToDewPointTable(temperature, measured)};
    }
  }
  kept = count;
  return true;
}

void CCertificate::ShowRow(size_t row, const DewPoints& values) {
  form().SetText(ResultCell(row, kNominal), Fixed(values.nominal, kResultPlaces));
  form().SetText(ResultCell(row, kActual), Fixed(values.actual, kResultPlaces));
}

bool CCertificate::ReadDewPointRows() {
  const TypeClass type = ClassOf(input_.deviceType);
  if (type == TypeClass::kOther) return true;
  std::array<DewPoints, kQcmCapacity> k5{};
  std::array<DewPoints, kQcmCapacity> qcm{};
  size_t k5Kept = 0;
  size_t qcmKept = 0;
  if (!ReadRecords(kSelectorK5, input_.k5PointCount, kK5Capacity, false, k5, k5Kept)) {
    return false;
  }
  const size_t k5Rows = type == TypeClass::kMixedRows ? 2 : kK5RowRecords.size();
  for (size_t row = 0; row < k5Rows; ++row) {
    if (kK5RowRecords[row] < k5Kept) ShowRow(kDewPoint1 + row, k5[kK5RowRecords[row]]);
  }
  if (type == TypeClass::kMixedRows) {
    if (!ReadRecords(kSelectorQcm, input_.qcmPointCount, kQcmCapacity, true, qcm, qcmKept)) {
      return false;
    }
    if (kQcmRowRecord < qcmKept) ShowRow(kDewPoint3, qcm[kQcmRowRecord]);
  }
  return true;
}

bool CCertificate::ReadAnalogueOutput() {
  Form& f = form();
  const TypeClass type = ClassOf(input_.deviceType);
  if (type == TypeClass::kOther) return true;
  if (!ReadsAnalogueScaling(input_.deviceType)) {
    for (size_t id : {kOutput, k4mA, k4mAUnit, k20mA, k20mAUnit}) f.SetText(id, kNotAvailable);
    return true;
  }
  uint8_t bytes[kScalingSize] = {};
  if (!Read(ReadAnalogueScaling(), bytes, kScalingSize)) return false;
  const float at4mA = GetFloat(bytes);
  const float at20mA = GetFloat(bytes + kScaling20mA);
  const AnalogueOutputTexts texts = AnalogueOutputOf(input_.analogueUnitCode);
  f.SetText(kRangeLow, Fixed(at4mA, kRangePlaces));
  f.SetText(kRangeHigh, Fixed(at20mA, kRangePlaces));
  f.SetText(k4mA, Fixed(at4mA, kScalingPlaces));
  f.SetText(k20mA, Fixed(at20mA, kScalingPlaces));
  f.SetText(k4mAUnit, std::string(texts.unit));
  f.SetText(k20mAUnit, std::string(texts.unit));
  f.SetText(kOutput, std::string(texts.output));
  return true;
}

bool CCertificate::ReadFieldbus() {
  Form& f = form();
  // The block belongs to sensors with a Modbus interface; the others show "N/A".
  if ((LookupDeviceType(input_.deviceType).interfaces & kInterfaceModbus) == 0) {
    for (size_t id : {kDeviceAddress, kFraming, kBaudRate, kTransmissionMode}) {
      f.SetText(id, kNotAvailable);
    }
    return true;
  }
  uint8_t bytes[kModbusSize] = {};
  if (!Read(ReadModbusSettings(), bytes, kModbusSize)) return false;
  f.SetText(kDeviceAddress, FormatInteger(GetU16(bytes + kModbusAddress), kAddressDigits));
  f.SetText(
      kBaudRate,
      std::string(ModbusBaudRateName(GetU16(bytes + kModbusBaudIndex)).value_or(kNotAvailable)));
  f.SetText(
      kFraming,
      std::string(ModbusFramingName(GetU16(bytes + kModbusFramingIndex)).value_or(kNotAvailable)));
  f.SetText(kTransmissionMode, kTransmissionModeRtu);
  return true;
}

void CCertificate::Evaluate() {
  Form& f = form();
  for (size_t row = 0; row < kRows; ++row) {
    f.SetText(ResultCell(row, kEvaluation),
              EvaluateResult(f.Text(ResultCell(row, kNominal)), f.Text(ResultCell(row, kActual)),
                             f.Text(ResultCell(row, kPermissible)), unevaluated_[row]));
  }
}

void CCertificate::Changed(size_t control) {
  for (size_t row = 0; row < kRows; ++row) {
    if (control == ResultCell(row, kPermissible)) Evaluate();
  }
}

void CCertificate::ChooseLogo() {
  const std::optional<std::filesystem::path> file =
      host().ChooseFile({FileChooserSpec::Mode::kOpen, kLogoTitle, kLogoFilter, kLogoPattern, {}});
  if (file) form().SetText(kLogo, file->string());
  host().Refresh();
}

void CCertificate::SaveAsNew() {
  const std::optional<SavedTemplate> saved =
      SaveCertificateTemplate(host(), TemplateFields(form()));
  if (!saved) return;
  if (!saved->written) {
    Fail(kTemplateNotWrittenMessage);
    return;
  }
  host().FileWritten(saved->path);
}

void CCertificate::Create() {
  Evaluate();
  const CertificatePdfResult result = CreateCertificatePdf(form(), input_.programFolder);
  if (!result.ok()) {
    Fail(result.failure);
    return;
  }
  host().FileWritten(result.pdf);
}

// The snapshot goes beside the certificate PDF rather than into whatever folder the program
// was started from.
void CCertificate::Make() {
  const SnapshotResult result = WriteSnapshotPdf(
      host(), {input_.programFolder / kCertificateFolder, form().Text(kSerialNumber),
               kSnapshotSuffix, SnapshotLayout::A4Anchored, true});
  if (!result.ok()) Fail(result.failure);
}

void CCertificate::Press(size_t control) {
  switch (control) {
    case kSaveAsNew:
      SaveAsNew();
      break;
    case kCustomerLogo:
      ChooseLogo();
      break;
    case kCreate:
      Create();
      break;
    case kMake:
      Make();
      break;
    case kExit:
      End(DialogEnd::kClosed);
      break;
    default:
      break;
  }
}

}  // namespace korvin
