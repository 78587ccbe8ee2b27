#include "calibration/c_analog_cali.h"

#include <algorithm>
#include <cmath>

#include "calibration/c_input_value.h"
#include "tables/number_format.h"

namespace korvin {

namespace {

// Fields of the analogue calibration record that the calibration changes.
constexpr size_t kCurrent1Offset = 21;
constexpr size_t kCurrent2Offset = 25;
constexpr size_t kDac1Offset = 29;
constexpr size_t kDac2Offset = 33;

constexpr int kCurrentPlaces = 3;
constexpr int64_t kUsPerMs = 1000;
constexpr int64_t kUsPerSecond = 1'000'000;
// Waits are slept in slices this long, the window painted between them.
constexpr int64_t kWaitSliceUs = 100 * kUsPerMs;
constexpr int kLogWidth = 440;
constexpr int kLogHeight = 200;

constexpr char kStartMessage[] = "Please connect a current meter to the sensor before start!";
constexpr char kCalibrating[] = "Calibrating analogue output... \r\n\r\n";
constexpr char kInvalidType[] = "Invalid sensor type!\r\n";
constexpr char kPoint1Prompt[] = "Point 1: Please enter the mA value measured: ";
constexpr char kPoint2Prompt[] = "Point 2: Please enter the mA value measured: ";
constexpr char kCurrentSuffix[] = " mA\r\n";
constexpr char kOutOfRange[] = "Error, measured current is out of range!\r\n";
constexpr char kFinished[] = "\r\nCalibration finished successfully!";
constexpr char kCommunicationError[] = "Communication error!\r\n";
constexpr char kTesting[] = "Test analogue output... \r\n\r\n";
constexpr char kTestPrompt[] = "Please enter the mA to be output";

struct DacRow {
  uint16_t deviceType;
  CAnalogCali::DacPoints points;
};

// The two output designs: their DAC values near 4 mA and near 16 mA.
constexpr CAnalogCali::DacPoints kStandardDac = {3200.0f, 12800.0f};
constexpr CAnalogCali::DacPoints kCompactDac = {1300.0f, 6500.0f};
constexpr DacRow kDacTable[] = {
    {0x1024, kStandardDac}, {0x1028, kStandardDac}, {0x1030, kStandardDac}, {0x1032, kStandardDac},
    {0x1033, kStandardDac}, {0x1034, kStandardDac}, {0x103A, kStandardDac}, {0x103B, kStandardDac},
    {0x1035, kCompactDac},  {0x1037, kCompactDac},
};

std::string CurrentText(float milliamps) {
  return FormatFixed(milliamps, kCurrentPlaces) + kCurrentSuffix;
}

}  // namespace

std::optional<CAnalogCali::DacPoints> CAnalogCali::DacPointsFor(uint16_t deviceType) {
  for (const DacRow& row : kDacTable) {
    if (row.deviceType == deviceType) return row.points;
  }
  return std::nullopt;
}

const DialogScreen& CAnalogCali::Screen() {
  static const DialogScreen screen = [] {
    using K = ControlKind;
    using namespace control;
    constexpr int kLogColumns = 3;
    DialogScreen s(kTitle);
    s.Group({"log", "", 0, 0});
    s.Group({"buttons", "", 1, 0});
    s.Add(kMessageHeading,
          {.label = "Message:", .kind = K::kHeading, .group = "log", .columnSpan = kLogColumns});
    s.Add(kLog, {.label = "Message",
                 .kind = K::kText,
                 .group = "log",
                 .columnSpan = kLogColumns,
                 .width = kLogWidth,
                 .height = kLogHeight});
    s.Add(kWaiting,
          {.label = "Waiting:", .kind = K::kProgress, .group = "log", .flags = kDisabled});
    s.Add(kCalibration,
          {.label = "Calibration", .kind = K::kButton, .group = "buttons", .row = 0, .column = 0});
    s.Add(kTest, {.label = "Test", .kind = K::kButton, .group = "buttons", .row = 0, .column = 1});
    s.Add(kExit, {.label = "Exit",
                  .kind = K::kButton,
                  .group = "buttons",
                  .flags = kCancel,
                  .row = 0,
                  .column = 2});
    return s;
  }();
  return screen;
}

CAnalogCali::CAnalogCali(TaskEnvironment& environment) : TaskDialog(Screen()), env_(environment) {}

void CAnalogCali::Open() {
  form().SetText(kLog, kStartMessage);
}

void CAnalogCali::Press(size_t control) {
  // A click pumped while a command of a running procedure waits would start a second run.
  if (running_) return;
  switch (control) {
    case kCalibration:
      Calibration();
      break;
    case kTest:
      Test();
      break;
    case kExit:
      End(DialogEnd::kClosed);
      break;
    default:
      break;
  }
}

void CAnalogCali::CloseBox() {
  if (!running_) End(DialogEnd::kClosed);
}

void CAnalogCali::EnableButtons(bool calibration, bool test, bool exit) {
  form().Enable(kCalibration, calibration);
  form().Enable(kTest, test);
  form().Enable(kExit, exit);
}

void CAnalogCali::ClearLog() {
  form().SetText(kLog, {});
  host().Refresh();
}

// The procedures occupy the thread while they wait: every line is painted at once.
void CAnalogCali::Append(std::string_view text) {
  form().SetText(kLog, form().Text(kLog) + std::string(text));
  host().Refresh();
}

bool CAnalogCali::Run(const RequestBuilder& request, void* destination, uint8_t copyLimit) {
  if (RunAttempts(env_.protocol(), request, destination, copyLimit)) return true;
  Append(kCommunicationError);
  return false;
}

void CAnalogCali::Wait(int ms) {
  Clock& clock = env_.link.clock();
  ControlState& bar = form()[kWaiting];
  const int64_t totalUs = int64_t{ms} * kUsPerMs;
  const int64_t startUs = clock.NowUs();
  const int64_t untilUs = startUs + totalUs;
  bar.enabled = true;
  bar.progressMax = static_cast<int>(totalUs / kWaitSliceUs);
  for (int64_t nowUs = startUs; nowUs < untilUs; nowUs = clock.NowUs()) {
    const int64_t leftUs = untilUs - nowUs;
    bar.progress = static_cast<int>((nowUs - startUs) / kWaitSliceUs);
    bar.text = std::to_string((leftUs + kUsPerSecond - 1) / kUsPerSecond) + " s";
    host().KeepAlive();
    clock.SleepUs(std::min(kWaitSliceUs, leftUs));
  }
  bar.progress = 0;
  bar.progressMax = 0;
  bar.text.clear();
  bar.enabled = false;
  host().Refresh();
}

void CAnalogCali::Calibration() {
  running_ = true;
  EnableButtons(false, false, false);
  ClearLog();
  Append(kCalibrating);
  const bool done = CalibrationSteps();
  EnableButtons(true, true, true);
  running_ = false;
  if (!done) CountFailure();
}

bool CAnalogCali::CalibrationSteps() {
  const std::optional<DacPoints> dac = DacPointsFor(env_.record.deviceType);
  if (!dac) {
    Append(kInvalidType);
    return false;
  }
  if (!Run(ReadAnalogueCalibration(), record_.data(), static_cast<uint8_t>(record_.size()))) {
    return false;
  }

  PutFloat(record_.data() + kDac1Offset, dac->point1);
  if (!Run(WriteAnalogueDacValue(static_cast<uint16_t>(dac->point1)))) return false;
  Wait(kSettleMs);
  Append(kPoint1Prompt);
  Wait(kPromptMs);
  const float current1 = CInputValue::Run(host());
  Append(CurrentText(current1));

  PutFloat(record_.data() + kDac2Offset, dac->point2);
  if (!Run(WriteAnalogueDacValue(static_cast<uint16_t>(dac->point2)))) return false;
  Wait(kSettleMs);
  Append(kPoint2Prompt);
  Wait(kPromptMs);
  const float current2 = CInputValue::Run(host());
  Append(CurrentText(current2));

  // An infinite current (a typed "1e999") is no reading either.
  if (!std::isfinite(current1) || !std::isfinite(current2) ||
      current2 - current1 < kMinCurrentSpanMa) {
    Append(kOutOfRange);
    return false;
  }
  PutFloat(record_.data() + kCurrent1Offset, current1);
  PutFloat(record_.data() + kCurrent2Offset, current2);
  if (!Run(WriteAnalogueCalibration(record_))) return false;
  Append(kFinished);
  return true;
}

void CAnalogCali::Test() {
  running_ = true;
  ClearLog();
  // "Test" stays enabled while it runs.
  EnableButtons(false, true, false);
  Append(kTesting);
  Append(kTestPrompt);
  Wait(kPromptMs);
  const float current = CInputValue::Run(host());
  const bool done = Run(SetAnalogueTestCurrent(current));
  EnableButtons(true, true, true);
  running_ = false;
  if (!done) CountFailure();
}

}  // namespace korvin
