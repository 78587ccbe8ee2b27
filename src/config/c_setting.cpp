#include "config/c_setting.h"

#include <cstring>

#include "device/device_types.h"
#include "device/identity.h"
#include "tables/measurement_lists.h"
#include "tables/number_format.h"
#include "tables/number_text.h"
#include "tables/option_lists.h"
#include "tables/units.h"

namespace korvin {

namespace {

// The static pressure compensation record, as it goes over the wire.
constexpr size_t kCompensationEnable = 0;
constexpr size_t kCompensationStaticPressure = 1;
constexpr size_t kCompensationMinus70 = 5;
constexpr size_t kCompensationMinus40 = 9;
constexpr size_t kCompensationMinus95 = 13;
constexpr uint8_t kCompensationOn = 1;

constexpr uint8_t kFlagOn = 1;
// The second filter grade travels with 100 added, modulo 256.
constexpr uint8_t kSecondGradeOffset = 100;

// Display channel bits; bits 4 ... 7 go back as they were read.
constexpr uint8_t kDisplayBitTemperature = 0x01;
constexpr uint8_t kDisplayBitAltDewPoint = 0x02;
constexpr uint8_t kDisplayBitDewPoint = 0x04;
constexpr uint8_t kDisplayBitPressure = 0x08;

constexpr int kScalingPlaces = 3;
constexpr int kPressurePlaces = 1;
constexpr int kAtmosphericPlaces = 0;

constexpr std::array<std::string_view, 2> kTemperatureUnits = {"℃", "°F"};
constexpr int kFahrenheitPosition = 1;

// Temperature unit codes as WriteUnit takes them.
constexpr uint8_t kWireCelsius = 1;
constexpr uint8_t kWireFahrenheit = 2;

bool HasQcm(int elementSet) {
  return elementSet == kElementQcm || elementSet == kElementBoth;
}

// These types keep no atmospheric pressure: it is neither read nor written.
bool SkipsAtmosphericPressure(uint16_t type) {
  return type == kDeviceType1035 || type == kDeviceType1037 || type == kDeviceType1400;
}

// Only these types may have a display of their own, so only they are asked about one.
bool MayHaveDisplay(uint16_t type) {
  return type == 0x1024 || type == 0x1030 || type == 0x1032 || type == 0x103A;
}

std::string Coefficient(const std::array<uint8_t, 17>& block, size_t offset) {
  return FormatFixed(GetFloat(block.data() + offset), kPressurePlaces);
}

}  // namespace

const DialogScreen& CSetting::Screen() {
  static const DialogScreen screen = [] {
    using K = ControlKind;
    using namespace control;
    DialogScreen s(kTitle);
    s.Group({"scaling", "Scaling settings", 0, 0});
    s.Group({"units", "Unit settings", 0, 1});
    s.Group({"filter", "Filter settings", 1, 0});
    s.Group({"free", "", 1, 1});
    s.Group({"compensation", "Static pressure compensation", 2, 0});
    s.Group({"display", "Display channel", 2, 1});
    s.Group({"buttons", "", 3, 0, 1, 2});
    s.Add(k4mA, {.label = "4 mA", .group = "scaling", .flags = kEditable});
    s.Add(k20mA, {.label = "20 mA", .group = "scaling", .flags = kEditable});
    s.Add(kOutputFilter, {.label = "Output filter active", .kind = K::kCheck, .group = "filter"});
    s.Add(kFilterGrade, {.label = "Filter grade:", .group = "filter", .flags = kEditable});
    s.Add(kSecondFilterGrade,
          {.label = "2nd Filter grade:", .group = "filter", .flags = kEditable});
    s.Add(
        kStaticPressure,
        {.label = "Static pressure:", .group = "compensation", .unit = "barg", .flags = kEditable});
    s.Add(kCoeffMinus40, {.label = "Coeff.(-40 ℃ Td):", .group = "compensation"});
    s.Add(kCoeffMinus70, {.label = "Coeff.(-70 ℃ Td):", .group = "compensation"});
    s.Add(kCoeffMinus95, {.label = "Coeff.(-95 ℃ Td):", .group = "compensation"});
    s.Add(kCompensationEnabled, {.label = "Enable pressure comp. to DP(QCM)",
                                 .kind = K::kCheck,
                                 .group = "compensation",
                                 .flags = kDisabled,
                                 .columnSpan = 3});
    s.Add(kTemperatureUnit, {.label = "Temperature unit:", .kind = K::kList, .group = "units"});
    s.Add(kPressureUnit, {.label = "Pressure unit:", .kind = K::kList, .group = "units"});
    s.Add(kAltDewPoint, {.label = "Alternative DP:", .kind = K::kList, .group = "units"});
    s.Add(kGasType, {.label = "Gas type:", .kind = K::kList, .group = "free"});
    s.Add(kAtmosphericPressure,
          {.label = "Atmos. pressure:", .group = "free", .unit = "hPa", .flags = kEditable});
    s.Add(kDisplayTemperature,
          {.label = "Temperature", .kind = K::kCheck, .group = "display", .flags = kDisabled});
    s.Add(kDisplayAltDewPoint,
          {.label = "Alternative DP", .kind = K::kCheck, .group = "display", .flags = kDisabled});
    s.Add(kDisplayDewPoint,
          {.label = "Dew point", .kind = K::kCheck, .group = "display", .flags = kDisabled});
    s.Add(kDisplayPressure,
          {.label = "Pressure", .kind = K::kCheck, .group = "display", .flags = kDisabled});
    s.Add(kSet, {.label = "Set",
                 .kind = K::kButton,
                 .group = "buttons",
                 .flags = kDefault,
                 .row = 0,
                 .column = 0});
    s.Add(kExit, {.label = "Exit",
                  .kind = K::kButton,
                  .group = "buttons",
                  .flags = kCancel,
                  .row = 0,
                  .column = 1});
    return s;
  }();
  return screen;
}

CSetting::CSetting(TaskEnvironment& environment) : TaskDialog(Screen()), env_(environment) {}

bool CSetting::Read(const RequestBuilder& request, void* destination, uint8_t copyLimit) {
  if (RunAttempts(env_.protocol(), request, destination, copyLimit)) return true;
  Fail(kCommunicationErrorMessage);
  End(DialogEnd::kFailed);
  return false;
}

bool CSetting::Write(const RequestBuilder& request) {
  if (RunAttempts(env_.protocol(), request)) return true;
  Fail(kCommunicationErrorMessage);
  return false;
}

void CSetting::Open() {
  Form& f = form();
  const DeviceRecord& record = env_.record;
  const uint16_t type = record.deviceType;

  f.SetEntries(kTemperatureUnit, kTemperatureUnits);
  f.Select(kTemperatureUnit, record.fahrenheit ? kFahrenheitPosition : 0);

  f.SetEntries(kPressureUnit, kPressureUnitNames);
  if (record.HasPressureSensor()) {
    const std::optional<int> position = PressureUnitPosition(record.pressureUnit);
    if (position) {
      f.Select(kPressureUnit, *position);
    } else {
      Say(kInvalidPressureUnitMessage);
    }
  } else {
    f.Enable(kPressureUnit, false);
  }

  f.SetEntries(kAltDewPoint, AltDewPointNames);
  f.Select(kAltDewPoint, AltDewPointPosition(record.altDewPointUnit).value_or(-1));

  if (record.HasAnalogueOutput()) {
    f.SetText(k4mA, FormatFixed(record.valueAt4mA, kScalingPlaces));
    f.SetText(k20mA, FormatFixed(record.valueAt20mA, kScalingPlaces));
    if (const auto label = ShortUnitLabel(record.altDewPointUnit)) {
      f.SetUnit(k4mA, std::string(*label));
      f.SetUnit(k20mA, std::string(*label));
    }
  } else {
    f.Enable(k4mA, false);
    f.Enable(k20mA, false);
  }

  if (!Read(ReadPressureCompensation(), compensation_.data(),
            static_cast<uint8_t>(compensation_.size()))) {
    return;
  }
  f.SetText(kStaticPressure, Coefficient(compensation_, kCompensationStaticPressure));
  if (HasQcm(record.elementSet)) {
    f.SetText(kCoeffMinus40, Coefficient(compensation_, kCompensationMinus40));
    f.SetText(kCoeffMinus70, Coefficient(compensation_, kCompensationMinus70));
    f.SetText(kCoeffMinus95, Coefficient(compensation_, kCompensationMinus95));
    f.SetChecked(kCompensationEnabled, compensation_[kCompensationEnable] == kCompensationOn);
  }

  if (SkipsAtmosphericPressure(type)) {
    f.Enable(kAtmosphericPressure, false);
  } else {
    f.Enable(kAtmosphericPressure, true);
    float hectopascal = 0;
    if (!Read(ReadAtmosphericPressure(), &hectopascal, sizeof hectopascal)) return;
    f.SetText(kAtmosphericPressure, FormatFixed(hectopascal, kAtmosphericPlaces));
    // Without its own pressure sensor the value is shown, and written back as read.
    if (!record.HasPressureSensor()) f.Enable(kAtmosphericPressure, false);
  }

  uint8_t filterActive = 0;
  if (!Read(ReadOutputFilterActive(), &filterActive, 1)) return;
  f.SetChecked(kOutputFilter, filterActive == kFlagOn);
  uint8_t grade = 0;
  if (!Read(ReadFilterGrade(), &grade, 1)) return;
  f.SetText(kFilterGrade, std::to_string(grade));
  uint8_t secondWire = 0;
  if (!Read(ReadSecondFilterGrade(), &secondWire, 1)) return;
  f.SetText(kSecondFilterGrade,
            std::to_string(static_cast<uint8_t>(secondWire - kSecondGradeOffset)));

  f.SetEntries(kGasType, kGasTypeNames);
  if (HasQcm(record.elementSet)) {
    f.Enable(kGasType, true);
    if (!Read(ReadGasType(), &gasType_, 1)) return;
    f.Select(kGasType, gasType_);
  } else {
    f.Enable(kGasType, false);
  }

  const size_t boxes[] = {kDisplayTemperature, kDisplayAltDewPoint, kDisplayDewPoint,
                          kDisplayPressure};
  for (size_t box : boxes) {
    f.Enable(box, false);
    f.SetChecked(box, false);
  }
  if (MayHaveDisplay(type) && AskYesNo(kDisplayQuestion)) {
    f.Enable(kDisplayTemperature);
    f.Enable(kDisplayAltDewPoint);
    f.Enable(kDisplayDewPoint);
    f.Enable(kDisplayPressure, record.HasPressureSensor());
    if (!Read(ReadDisplayChannels(), &displayChannels_, 1)) return;
    f.SetChecked(kDisplayTemperature, (displayChannels_ & kDisplayBitTemperature) != 0);
    f.SetChecked(kDisplayAltDewPoint, (displayChannels_ & kDisplayBitAltDewPoint) != 0);
    f.SetChecked(kDisplayDewPoint, (displayChannels_ & kDisplayBitDewPoint) != 0);
    f.SetChecked(kDisplayPressure,
                 (displayChannels_ & kDisplayBitPressure) != 0 && record.HasPressureSensor());
    displayPresent_ = true;
  }
}

void CSetting::ShowScalingUnit() {
  const bool fahrenheit = form().Selection(kTemperatureUnit) == kFahrenheitPosition;
  const std::optional<uint8_t> code =
      AltDewPointUnitCode(form().Selection(kAltDewPoint), fahrenheit);
  if (!code) return;
  if (const auto label = ShortUnitLabel(*code)) {
    form().SetUnit(k4mA, std::string(*label));
    form().SetUnit(k20mA, std::string(*label));
  }
}

void CSetting::Changed(size_t control) {
  if (control == kTemperatureUnit || control == kAltDewPoint) ShowScalingUnit();
}

void CSetting::Press(size_t control) {
  if (control == kSet) {
    Set();
  } else if (control == kExit) {
    End(DialogEnd::kClosed);
  }
}

void CSetting::Set() {
  Form& f = form();
  DeviceRecord& record = env_.record;
  const uint16_t type = record.deviceType;

  const bool fahrenheit = f.Selection(kTemperatureUnit) == kFahrenheitPosition;
  record.fahrenheit = fahrenheit;
  if (!Write(WriteUnit(kUnitIndexTemperature, fahrenheit ? kWireFahrenheit : kWireCelsius))) return;

  // An alternative unit that the list cannot show (a temperature or pressure code) stays as
  // the sensor has it when nothing was chosen.
  const uint8_t altCode =
      AltDewPointUnitCode(f.Selection(kAltDewPoint), fahrenheit).value_or(record.altDewPointUnit);
  record.altDewPointUnit = altCode;
  if (!Write(WriteUnit(kUnitIndexAltDewPoint, altCode))) return;

  if (record.HasPressureSensor()) {
    const std::optional<uint8_t> code = PressureUnitCode(f.Selection(kPressureUnit));
    if (!code) {
      Fail(kInvalidPressureUnitMessage);
      return;
    }
    record.pressureUnit = *code;
    if (!Write(WriteUnit(kUnitIndexPressure, *code))) return;
  }

  if (record.HasAnalogueOutput()) {
    record.valueAt4mA = static_cast<float>(ParseLeadingReal(f.Text(k4mA)));
    record.valueAt20mA = static_cast<float>(ParseLeadingReal(f.Text(k20mA)));
    if (!Write(WriteAnalogueScaling(record.valueAt4mA, record.valueAt20mA))) return;
  }

  if (!Write(WriteOutputFilterActive(f.Checked(kOutputFilter) ? kFlagOn : 0))) return;
  if (!Write(WriteFilterGrade(static_cast<uint8_t>(ParseLeadingInteger(f.Text(kFilterGrade)))))) {
    return;
  }
  const auto secondGrade =
      static_cast<uint8_t>(ParseLeadingInteger(f.Text(kSecondFilterGrade)) + kSecondGradeOffset);
  if (!Write(WriteSecondFilterGrade(secondGrade))) return;

  // Enable byte and coefficients go back exactly as read: only the static pressure can change.
  std::array<uint8_t, 17> block = compensation_;
  PutFloat(block.data() + kCompensationStaticPressure,
           static_cast<float>(ParseLeadingReal(f.Text(kStaticPressure))));
  if (!Write(WritePressureCompensation(block))) return;

  if (!SkipsAtmosphericPressure(type)) {
    const auto hectopascal = static_cast<float>(ParseLeadingReal(f.Text(kAtmosphericPressure)));
    if (!Write(WriteAtmosphericPressure(hectopascal))) return;
  }

  if (HasQcm(record.elementSet)) {
    const int selected = f.Selection(kGasType);
    if (!Write(WriteGasType(selected >= 0 ? static_cast<uint8_t>(selected) : gasType_))) return;
  }

  if (MayHaveDisplay(type) && displayPresent_) {
    uint8_t bits = displayChannels_;
    auto apply = [&](size_t box, uint8_t bit) {
      bits = f.Checked(box) ? static_cast<uint8_t>(bits | bit) : static_cast<uint8_t>(bits & ~bit);
    };
    apply(kDisplayTemperature, kDisplayBitTemperature);
    apply(kDisplayAltDewPoint, kDisplayBitAltDewPoint);
    apply(kDisplayDewPoint, kDisplayBitDewPoint);
    apply(kDisplayPressure, kDisplayBitPressure);
    if (!Write(WriteDisplayChannels(bits))) return;
  }

  End(DialogEnd::kAccepted);
}

}  // namespace korvin
