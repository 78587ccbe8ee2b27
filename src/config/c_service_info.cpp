#include "config/c_service_info.h"

#include <array>

#include "device/device_types.h"
#include "device/identity.h"
#include "device/magnus.h"
#include "reports/report_paths.h"
#include "reports/snapshot_pdf.h"
#include "tables/measurement_lists.h"
#include "tables/number_format.h"
#include "tables/option_lists.h"

namespace korvin {

namespace {

constexpr std::array<std::string_view, 2> kTemperatureUnits = {"℃", "°F"};
constexpr uint8_t kWireCelsius = 1;
constexpr int kCelsiusPosition = 0;
constexpr int kFahrenheitPosition = 1;

constexpr uint8_t kFlagOn = 1;
constexpr uint8_t kAutoOffsetModeValid = 1;
// The second filter grade travels with 100 added, modulo 256.
constexpr uint8_t kSecondGradeOffset = 100;

constexpr uint8_t kBoundaryLow = 1;
constexpr uint8_t kBoundaryHigh = 0;
constexpr uint8_t kAutoOffsetSettingsIndex = 0;
constexpr uint8_t kRandomValueIndex = 0;
constexpr uint8_t kOffsetK5Factory = 0;
constexpr uint8_t kOffsetK5User = 1;
constexpr uint8_t kOffsetQcmFactory = 2;
constexpr uint8_t kOffsetQcmUser = 3;
constexpr uint8_t kTemperatureFactoryOffset = 5;
constexpr uint8_t kTemperatureUserOffset = 6;

// The static pressure compensation record, as it goes over the wire.
constexpr size_t kCompensationSize = 17;
constexpr size_t kCompensationEnable = 0;
constexpr size_t kCompensationStaticPressure = 1;
constexpr size_t kCompensationMinus70 = 5;
constexpr size_t kCompensationMinus40 = 9;
constexpr size_t kCompensationMinus95 = 13;

// The auto offset settings record: four floats.
constexpr size_t kAutoOffsetSettingsSize = 16;
constexpr size_t kAutoOffsetResetPressure = 0;  // water vapour pressure, hPa
constexpr size_t kAutoOffsetDeltaT = 4;         // ℃
constexpr size_t kAutoOffsetTOffset = 8;        // %rH
constexpr size_t kAutoOffsetStdOffset = 12;     // %rH

constexpr int kDewPointPlaces = 2;
constexpr int kCompensationPlaces = 1;
constexpr int kAtmosphericPlaces = 0;
constexpr int kAutoOffsetPlaces = 8;
constexpr int kDeltaTPlaces = 1;
constexpr int kOffsetPlaces = 3;
constexpr int kTemperaturePlaces = 2;

// These types keep no atmospheric pressure.
bool SkipsAtmosphericPressure(uint16_t type) {
  return type == kDeviceType1035 || type == kDeviceType1037 || type == kDeviceType1400;
}

// The dew point of a water vapour pressure, "%0.2f". A pressure of 0 hPa or less has no dew
// point: the field stays empty rather than show "nan" or "-inf". A dew point that rounds to zero
// shows without a sign (a stored 6.112 hPa is a hair below 6.112 as a float).
std::string DewPointText(float hectopascal) {
  const std::optional<double> dewPoint = VapourPressureToDewPoint(hectopascal);
  if (!dewPoint) return {};
  std::string text = FormatFixed(*dewPoint, kDewPointPlaces);
  if (text == "-" + FormatFixed(0.0, kDewPointPlaces)) text.erase(0, 1);
  return text;
}

}  // namespace

const DialogScreen& CServiceInfo::Screen() {
  static const DialogScreen screen = [] {
    using K = ControlKind;
    using namespace control;
    DialogScreen s(kTitle);
    s.Group({"info", "Sensor Info.", 0, 0, 2, 1});
    s.Group({"scaling", "Scaling setting", 2, 0});
    s.Group({"boundary", "Boundary setting", 3, 0});
    s.Group({"pressure", "Pressure Sensor Integrated", 4, 0});
    s.Group({"filter", "Filter settings", 0, 1});
    s.Group({"autooffset", "Auto offset", 1, 1});
    s.Group({"compensation", "Static pressure compensation", 2, 1, 2, 1});
    s.Group({"free", "", 4, 1});
    s.Group({"units", "Unit settings", 0, 2});
    s.Group({"k5", "K5 Auto offset setting", 1, 2, 2, 1});
    s.Group({"offsets", "Humidity offset", 3, 2, 2, 1});
    s.Group({"buttons", "", 5, 0, 1, 3});
    s.Add(kDeviceName, {.label = "Device Name:", .group = "info", .width = 120});
    s.Add(kFirmware, {.label = "FW version:", .group = "info"});
    s.Add(kHardware, {.label = "HW version:", .group = "info"});
    s.Add(kSerial, {.label = "Serial number:", .group = "info"});
    s.Add(kItem, {.label = "Item number:", .group = "info"});
    s.Add(kCalibrationDate, {.label = "Calibration date:", .group = "info"});
    s.Add(kUserCalibrationCount, {.label = "User calibration count:", .group = "info"});
    s.Add(k4mA, {.label = "4 mA", .group = "scaling"});
    s.Add(k20mA, {.label = "20 mA", .group = "scaling"});
    s.Add(kLowBoundary, {.label = "Low Boundary:", .group = "boundary", .unit = "℃ Td"});
    s.Add(kHighBoundary, {.label = "High Boundary:", .group = "boundary", .unit = "℃ Td"});
    s.Add(kPressureOutput,
          {.label = "Pressure output", .kind = K::kCheck, .group = "pressure", .flags = kDisabled});
    s.Add(kOutputFilter, {.label = "Output filter active",
                          .kind = K::kCheck,
                          .group = "filter",
                          .flags = kDisabled,
                          .columnSpan = 3});
    s.Add(kFilterGrade, {.label = "Filter grade:", .group = "filter"});
    s.Add(kSecondFilterGrade, {.label = "2nd Filter grade:", .group = "filter"});
    s.Add(kAutoOffsetActive, {.label = "Auto offset active",
                              .kind = K::kCheck,
                              .group = "autooffset",
                              .flags = kDisabled});
    s.Add(kAutoOffsetMode,
          {.label = "Auto offset", .kind = K::kRadio, .group = "autooffset", .flags = kDisabled});
    s.Add(kAutoOffsetReload, {.label = "Auto offset reload",
                              .kind = K::kCheck,
                              .group = "autooffset",
                              .flags = kDisabled});
    s.Add(kStaticPressure, {.label = "Static pressure:", .group = "compensation", .unit = "barg"});
    s.Add(kCoeffMinus40, {.label = "Coeff.(-40 C Td):", .group = "compensation"});
    s.Add(kCoeffMinus70, {.label = "Coeff.(-70 C Td):", .group = "compensation"});
    s.Add(kCoeffMinus95, {.label = "Coeff.(-95 Ctd):", .group = "compensation"});
    s.Add(kCompensationEnabled, {.label = "Enable pressure comp. to DP(QCM)",
                                 .kind = K::kCheck,
                                 .group = "compensation",
                                 .flags = kDisabled,
                                 .columnSpan = 3});
    s.Add(kAtmosphericPressure, {.label = "Atmos. pressure:", .group = "free", .unit = "hPa"});
    s.Add(kGasType, {.label = "Gas type:", .kind = K::kList, .group = "free", .flags = kDisabled});
    s.Add(kTemperatureUnit,
          {.label = "Temperature unit:", .kind = K::kList, .group = "units", .flags = kDisabled});
    s.Add(kPressureUnit,
          {.label = "Pressure unit:", .kind = K::kList, .group = "units", .flags = kDisabled});
    s.Add(kAltDewPoint,
          {.label = "Alternative DP:", .kind = K::kList, .group = "units", .flags = kDisabled});
    s.Add(kStdOffset, {.label = "Std-Offset value:", .group = "k5", .unit = "%rH"});
    s.Add(kTOffset, {.label = "T-Offset value:", .group = "k5", .unit = "%rH"});
    s.Add(kRandomValue, {.label = "Random value:", .group = "k5", .unit = "%rH"});
    s.Add(kResetDewPoint, {.label = "Pp to reset offset:", .group = "k5", .unit = "℃ Td"});
    s.Add(kDeltaT, {.label = "Delta-t for T-Offset:", .group = "k5", .unit = "℃"});
    s.Add(kK5FactoryOffset, {.label = "K5_Factory_Offset:", .group = "offsets", .unit = "%rH"});
    s.Add(kK5UserOffset, {.label = "K5_User_Offset:", .group = "offsets", .unit = "%rH"});
    s.Add(kQcmFactoryOffset, {.label = "QCM_Factory_Offset:", .group = "offsets", .unit = "℃ Td"});
    s.Add(kQcmUserOffset, {.label = "QCM_User_Offset:", .group = "offsets", .unit = "℃ Td"});
    s.Add(kFactoryOffsetTemperature,
          {.label = "Factory_Offset temp:", .group = "offsets", .unit = "℃"});
    s.Add(kUserOffsetTemperature, {.label = "User_Offset temp:", .group = "offsets", .unit = "℃"});
    s.Add(kPrintToPdf, {.label = "Print to PDF", .kind = K::kButton, .group = "buttons"});
    return s;
  }();
  return screen;
}

CServiceInfo::CServiceInfo(TaskEnvironment& environment)
    : TaskDialog(Screen()), env_(environment) {}

bool CServiceInfo::Read(const RequestBuilder& request, void* destination, uint8_t copyLimit) {
  if (RunAttempts(env_.protocol(), request, destination, copyLimit)) return true;
  Close(kCommunicationErrorMessage);
  return false;
}

void CServiceInfo::Close(std::string_view message) {
  Fail(message);
  End(DialogEnd::kFailed);
}

void CServiceInfo::Open() {
  Form& f = form();
  const SensorTexts& t = env_.texts;
  f.SetText(kDeviceName, t.deviceName);
  f.SetText(kFirmware, t.firmware);
  f.SetText(kHardware, t.hardware);
  f.SetText(kSerial, t.serial);
  f.SetText(kItem, t.item);
  f.SetText(kCalibrationDate, t.calibrationDate);
  f.SetEntries(kTemperatureUnit, kTemperatureUnits);
  f.SetEntries(kPressureUnit, kPressureUnitNames);
  f.SetEntries(kAltDewPoint, AltDewPointNames);
  f.SetEntries(kGasType, kGasTypeNames);

  if (!ReadFilters()) return;
  f.SetText(k4mA, t.at4mA);
  f.SetText(k20mA, t.at20mA);
  f.SetUnit(k4mA, t.analogueUnit);
  f.SetUnit(k20mA, t.analogueUnit);

  if (!SkipsAtmosphericPressure(env_.record.deviceType)) {
    float hectopascal = 0;
    if (!Read(ReadAtmosphericPressure(), hectopascal)) return;
    f.SetText(kAtmosphericPressure, FormatFixed(hectopascal, kAtmosphericPlaces));
  }
  if (!ReadBoundaries() || !ReadUnits() || !ReadCompensation()) return;
  if (HasQcmElement(env_.record.elementSet)) {
    uint8_t gasType = 0;
    if (!Read(ReadGasType(), gasType)) return;
    f.Select(kGasType, gasType);
  }
  if (!ReadAutoOffset()) return;
  ReadOffsets();
}

bool CServiceInfo::ReadFilters() {
  Form& f = form();
  uint8_t count = 0;
  if (!Read(ReadUserCalibrationCount(), count)) return false;
  f.SetText(kUserCalibrationCount, std::to_string(count));
  uint8_t active = 0;
  if (!Read(ReadOutputFilterActive(), active)) return false;
  f.SetChecked(kOutputFilter, active == kFlagOn);
  uint8_t grade = 0;
  if (!Read(ReadFilterGrade(), grade)) return false;
  f.SetText(kFilterGrade, std::to_string(grade));
  uint8_t secondWire = 0;
  if (!Read(ReadSecondFilterGrade(), secondWire)) return false;
  f.SetText(kSecondFilterGrade,
            std::to_string(static_cast<uint8_t>(secondWire - kSecondGradeOffset)));
  return true;
}

bool CServiceInfo::ReadBoundaries() {
  float low = 0;
  if (!Read(ReadBoundary(kBoundaryLow), low)) return false;
  form().SetText(kLowBoundary, DewPointText(low));
  float high = 0;
  if (!Read(ReadBoundary(kBoundaryHigh), high)) return false;
  form().SetText(kHighBoundary, DewPointText(high));
  return true;
}

bool CServiceInfo::ReadUnits() {
  Form& f = form();
  uint8_t temperature = 0;
  if (!Read(ReadUnit(kUnitIndexTemperature), temperature)) return false;
  f.Select(kTemperatureUnit, temperature == kWireCelsius ? kCelsiusPosition : kFahrenheitPosition);

  if (env_.record.HasPressureSensor()) {
    f.SetChecked(kPressureOutput, true);
    uint8_t pressure = 0;
    if (!Read(ReadUnit(kUnitIndexPressure), pressure)) return false;
    const std::optional<int> position = PressureUnitPosition(pressure);
    if (!position) {
      Close(kInvalidPressureUnitMessage);
      return false;
    }
    f.Select(kPressureUnit, *position);
  } else {
    f.SetChecked(kPressureOutput, false);
  }

  uint8_t alternative = 0;
  if (!Read(ReadUnit(kUnitIndexAltDewPoint), alternative)) return false;
  f.Select(kAltDewPoint, AltDewPointPosition(alternative).value_or(-1));
  return true;
}

bool CServiceInfo::ReadCompensation() {
  Form& f = form();
  std::array<uint8_t, kCompensationSize> block{};
  if (!Read(ReadPressureCompensation(), block.data(), static_cast<uint8_t>(block.size()))) {
    return false;
  }
  auto value = [&](size_t offset) {
    return FormatFixed(GetFloat(block.data() + offset), kCompensationPlaces);
  };
  f.SetText(kStaticPressure, value(kCompensationStaticPressure));
  if (HasQcmElement(env_.record.elementSet)) {
    f.SetText(kCoeffMinus40, value(kCompensationMinus40));
    f.SetText(kCoeffMinus70, value(kCompensationMinus70));
    f.SetText(kCoeffMinus95, value(kCompensationMinus95));
    f.SetChecked(kCompensationEnabled, block[kCompensationEnable] == kFlagOn);
  } else {
    f.Enable(kCoeffMinus40, false);
    f.Enable(kCoeffMinus70, false);
    f.Enable(kCoeffMinus95, false);
    f.Enable(kCompensationEnabled, false);
  }
  return true;
}

bool CServiceInfo::ReadAutoOffset() {
  if (!HasPolymerElement(env_.record.elementSet)) return true;
  Form& f = form();
  uint8_t active = 0;
  if (!Read(ReadAutoOffsetActive(), active)) return false;
  f.SetChecked(kAutoOffsetActive, active == kFlagOn);
  uint8_t reload = 0;
  if (!Read(ReadAutoOffsetReload(), reload)) return false;
  f.SetChecked(kAutoOffsetReload, reload == kFlagOn);
  uint8_t mode = 0;
  if (!Read(ReadAutoOffsetMode(), mode)) return false;
  if (mode != kAutoOffsetModeValid) {
    Close(kInvalidAutoOffsetModeMessage);
    return false;
  }
  f.SetChecked(kAutoOffsetMode, true);

  std::array<uint8_t, kAutoOffsetSettingsSize> settings{};
  if (!Read(ReadAutoOffsetSettings(kAutoOffsetSettingsIndex), settings.data(),
            static_cast<uint8_t>(settings.size()))) {
    return false;
  }
  auto setting = [&](size_t offset) { return GetFloat(settings.data() + offset); };
  f.SetText(kStdOffset, FormatFixed(setting(kAutoOffsetStdOffset), kAutoOffsetPlaces));
  f.SetText(kTOffset, FormatFixed(setting(kAutoOffsetTOffset), kAutoOffsetPlaces));
  f.SetText(kResetDewPoint, DewPointText(setting(kAutoOffsetResetPressure)));
  f.SetText(kDeltaT, FormatFixed(setting(kAutoOffsetDeltaT), kDeltaTPlaces));

  float random = 0;
  if (!Read(ReadRandomValue(kRandomValueIndex), random)) return false;
  f.SetText(kRandomValue, FormatFixed(random, kAutoOffsetPlaces));
  return true;
}

bool CServiceInfo::ReadOffsets() {
  Form& f = form();
  auto offset = [&](uint8_t index, size_t control) {
    float value = 0;
    if (!Read(ReadOffset(index), value)) return false;
    f.SetText(control, FormatFixed(value, kOffsetPlaces));
    return true;
  };
  const int elements = env_.record.elementSet;
  if (HasQcmElement(elements) &&
      !(offset(kOffsetQcmFactory, kQcmFactoryOffset) && offset(kOffsetQcmUser, kQcmUserOffset))) {
    return false;
  }
  if (HasPolymerElement(elements) &&
      !(offset(kOffsetK5Factory, kK5FactoryOffset) && offset(kOffsetK5User, kK5UserOffset))) {
    return false;
  }
  auto temperature = [&](uint8_t index, size_t control) {
    float value = 0;
    if (!Read(ReadTemperatureValue(index), value)) return false;
    f.SetText(control, FormatFixed(value, kTemperaturePlaces));
    return true;
  };
  return temperature(kTemperatureFactoryOffset, kFactoryOffsetTemperature) &&
         temperature(kTemperatureUserOffset, kUserOffsetTemperature);
}

void CServiceInfo::Press(size_t control) {
  if (control == kPrintToPdf) PrintToPdf();
}

void CServiceInfo::PrintToPdf() {
  const SnapshotResult result =
      WriteSnapshotPdf(host(), {env_.programFolder / kSensorInformationFolder, form().Text(kSerial),
                                kPdfSuffix, SnapshotLayout::ImageSized, false});
  if (!result.ok()) Fail(result.failure);
}

}  // namespace korvin
