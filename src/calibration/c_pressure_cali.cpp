#include "calibration/c_pressure_cali.h"

#include "tables/number_text.h"

namespace korvin {

namespace {

constexpr uint8_t kPressureChannel = 3;
constexpr int kPressurePlaces = 3;

}  // namespace

const DialogScreen& CPressureCali::Screen() {
  static const DialogScreen screen = [] {
    using K = ControlKind;
    using namespace control;
    DialogScreen s(kTitle);
    s.Group({"values", "", 0, 0});
    s.Group({"steps", "", 1, 0});
    s.Group({"buttons", "", 2, 0});
    s.Add(kReference,
          {.label = "Reference pressure:", .group = "values", .unit = "barg", .flags = kEditable});
    s.Add(kMeasured, {.label = "Measured pressure:", .group = "values", .unit = "barg"});
    s.Add(kZero, {.label = "Zero point calibration",
                  .kind = K::kButton,
                  .group = "steps",
                  .row = 0,
                  .column = 0});
    s.Add(kSpan, {.label = "Pressure calibration",
                  .kind = K::kButton,
                  .group = "steps",
                  .row = 1,
                  .column = 0});
    s.Add(kSpanNote,
          {.label = "(6...12 barg)", .kind = K::kHeading, .group = "steps", .row = 1, .column = 1});
    s.Add(kExit, {.label = "Exit", .kind = K::kButton, .group = "buttons", .flags = kCancel});
    return s;
  }();
  return screen;
}

CPressureCali::CPressureCali(TaskEnvironment& environment)
    : TaskDialog(Screen()), env_(environment), refresh_(kPressureChannel, kPressurePlaces) {}

void CPressureCali::Open() {
  host().StartTimer(kRefreshTimer, LiveRefresh::kPeriodMs);
}

void CPressureCali::OnTimer(int timerId) {
  if (timerId != kRefreshTimer) return;
  std::string text;
  switch (refresh_.Tick(env_.protocol(), text)) {
    case LiveRefresh::Outcome::kValue:
      form().SetText(kMeasured, text);
      break;
    case LiveRefresh::Outcome::kGaveUp:
      // The refresh stays held while the message is up; the dialog closes after it.
      Fail(kCommunicationErrorMessage);
      host().StopTimer(kRefreshTimer);
      End(DialogEnd::kFailed);
      refresh_.Release();
      break;
    case LiveRefresh::Outcome::kSkipped:
    case LiveRefresh::Outcome::kFailed:
      break;
  }
}

void CPressureCali::Press(size_t control) {
  switch (control) {
    case kZero:
      ZeroPoint();
      break;
    case kSpan:
      SpanPoint();
      break;
    case kExit:
      Exit();
      break;
    default:
      break;
  }
}

void CPressureCali::CloseBox() {
  Exit();
}

void CPressureCali::Exit() {
  host().StopTimer(kRefreshTimer);
  End(DialogEnd::kClosed);
}

void CPressureCali::ZeroPoint() {
  if (!AskYesNo("Is the reference pressure 0 bar?")) return;
  Calibrate(CalibratePressureZero(), "Zero point calibrate OK");
}

void CPressureCali::SpanPoint() {
  if (!AskYesNo("Is the refence pressure stable?")) return;
  const auto reference = static_cast<float>(ParseLeadingReal(form().Text(kReference)));
  if (reference < kMinSpanBarg || reference > kMaxSpanBarg) {
    Fail("Reference pressure is out of range!");
    return;
  }
  Calibrate(CalibratePressureSpan(reference), "Pressure calibration OK");
}

void CPressureCali::Calibrate(const RequestBuilder& request, const char* done) {
  refresh_.Hold();
  host().StopTimer(kRefreshTimer);
  if (!RunAttempts(env_.protocol(), request)) {
    Fail(kCommunicationErrorMessage);
    End(DialogEnd::kFailed);
    return;
  }
  Say(done);
  host().StartTimer(kRefreshTimer, LiveRefresh::kPeriodMs);
  refresh_.Release();
}

}  // namespace korvin
