#include "calibration/c_manual_calibration.h"

#include <algorithm>

#include "calibration/c_input_ref_dp.h"
#include "device/device_types.h"
#include "tables/number_format.h"
#include "tables/number_text.h"

namespace korvin {

namespace {

// ReadOffset / WriteOffset indexes of the user offsets.
constexpr uint8_t kPolymerUserOffset = 1;
constexpr uint8_t kQcmUserOffset = 3;
constexpr uint8_t kUserCalibrationOn = 0x01;
constexpr uint8_t kDewPointChannel = 2;

constexpr int kOffsetPlaces = 3;
constexpr int kPointPlaces = 2;
constexpr int kLivePlaces = 2;
constexpr int kOpenCoefficientPlaces = 5;
constexpr int kEndCoefficientPlaces = 6;
// Reads of the open sequence run once each; a failure closes the dialog.
constexpr int kSingleRun = 1;
constexpr int kCellWidth = 64;

constexpr char kWarningCaption[] = "Warning";
constexpr char kDisableQuestion[] = "User calibration is enabled, do you want to disable it?";
constexpr char kEnableQuestion[] = "User calibration is disabled, do you want to enable it?";

bool HasPolymer(int elementSet) {
  return elementSet == kElementPolymer || elementSet == kElementBoth;
}
bool HasQcm(int elementSet) {
  return elementSet == kElementQcm || elementSet == kElementBoth;
}

// Points and references on screen are texts; as numbers they are single precision, as the
// sensor keeps them.
float ToFloat(const std::string& text) {
  return static_cast<float>(ParseLeadingReal(text));
}

std::string RowName(size_t row) {
  return "Cali. point " + std::to_string(row + 1);
}
std::string SegmentName(size_t segment) {
  return "Segment " + std::to_string(segment + 1);
}

}  // namespace

const DialogScreen& CManualCalibration::Screen() {
  static const DialogScreen screen = [] {
    using K = ControlKind;
    using namespace control;
    DialogScreen s(kTitle);
    s.Group({"offset", "Offset calibration", 0, 0});
    s.Group({"calibration", "Dew point calibration", 1, 0});
    s.Group({"table", "", 0, 1, 2, 1});
    s.Group({"buttons", "", 2, 0, 1, 2});
    s.Add(kPolymerOffset, {.label = "Polymer sensor offset:", .group = "offset", .unit = "%"});
    s.Add(kQcmOffset, {.label = "QCM sensor offset:", .group = "offset", .unit = "℃ Td"});
    s.Add(kOffsetCalibration,
          {.label = "Offset calibration", .kind = K::kButton, .group = "offset", .column = 1});
    s.Add(kClearOffset,
          {.label = "Clear offset", .kind = K::kButton, .group = "offset", .row = 2, .column = 2});
    s.Add(kMaximum, {.label = "Maximum number of calibration points:", .group = "calibration"});
    s.Add(kCount, {.label = "User calibration count:", .group = "calibration"});
    s.Add(kMeasured, {.label = "Measured dewpoint[℃ Td]:", .group = "calibration"});
    s.Add(kAdd, {.label = "Add", .kind = K::kButton, .group = "calibration", .column = 1});
    s.Add(kDelete,
          {.label = "Delete", .kind = K::kButton, .group = "calibration", .row = 3, .column = 2});
    s.Add(kEnable, {.label = "Enable user calibration",
                    .kind = K::kCheck,
                    .group = "calibration",
                    .columnSpan = 3});

    // The table: a heading row, then the ten point rows; each stretch's coefficients stand
    // between the two rows it joins, so every row spans two grid rows.
    constexpr int kSpan = 2;
    constexpr int kRadioColumn = 1;
    constexpr int kReferenceColumn = 2;
    constexpr int kMeasuredColumn = 3;
    constexpr int kA1Column = 4;
    constexpr int kA0Column = 5;
    const auto rowAt = [](size_t row) { return 1 + kSpan * static_cast<int>(row); };
    const uint16_t cell = kCell | kCentred;
    size_t id = kFirstHeading;
    const std::pair<const char*, int> headings[] = {{"Reference", kReferenceColumn},
                                                    {"Measured", kMeasuredColumn},
                                                    {"Coeff_A1", kA1Column},
                                                    {"Coeff_A0", kA0Column}};
    for (const auto& [text, column] : headings) {
      s.Add(id++, {.label = text,
                   .kind = K::kHeading,
                   .group = "table",
                   .flags = kCentred,
                   .row = 0,
                   .column = column});
    }
    s.Add(id++, {.label = "High",
                 .kind = K::kHeading,
                 .group = "table",
                 .row = rowAt(0),
                 .rowSpan = kSpan});
    s.Add(id++, {.label = "Low",
                 .kind = K::kHeading,
                 .group = "table",
                 .row = rowAt(kPoints - 1),
                 .rowSpan = kSpan});
    for (size_t row = 0; row < kPoints; ++row) {
      const std::string name = RowName(row);
      s.Add(RowRadio(row), {.label = name,
                            .kind = K::kRadio,
                            .group = "table",
                            .flags = kDisabled,
                            .row = rowAt(row),
                            .column = kRadioColumn,
                            .rowSpan = kSpan});
      s.Add(RowReference(row), {.label = CellLabel(name, "Reference"),
                                .group = "table",
                                .flags = cell,
                                .row = rowAt(row),
                                .column = kReferenceColumn,
                                .rowSpan = kSpan,
                                .width = kCellWidth});
      s.Add(RowMeasured(row), {.label = CellLabel(name, "Measured"),
                               .group = "table",
                               .flags = cell,
                               .row = rowAt(row),
                               .column = kMeasuredColumn,
                               .rowSpan = kSpan,
                               .width = kCellWidth});
      if (row == kSegments) break;
      const std::string segment = SegmentName(row);
      s.Add(SegmentA1(row), {.label = CellLabel(segment, "Coeff_A1"),
                             .group = "table",
                             .flags = cell,
                             .row = rowAt(row) + 1,
                             .column = kA1Column,
                             .rowSpan = kSpan,
                             .width = kCellWidth});
      s.Add(SegmentA0(row), {.label = CellLabel(segment, "Coeff_A0"),
                             .group = "table",
                             .flags = cell,
                             .row = rowAt(row) + 1,
                             .column = kA0Column,
                             .rowSpan = kSpan,
                             .width = kCellWidth});
    }

    s.Add(kEndCalibration, {.label = "End calibration",
                            .kind = K::kButton,
                            .group = "buttons",
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

CManualCalibration::CManualCalibration(TaskEnvironment& environment)
    : TaskDialog(Screen()),
      env_(environment),
      elementSet_(environment.record.elementSet),
      refresh_(kDewPointChannel, kLivePlaces) {}

bool CManualCalibration::ReadAtOpen(const RequestBuilder& request, void* destination,
                                    uint8_t copyLimit) {
  if (RunAttempts(env_.protocol(), request, destination, copyLimit, kSingleRun)) return true;
  Fail(kCommunicationErrorMessage);
  End(DialogEnd::kFailed);
  return false;
}

bool CManualCalibration::Write(const RequestBuilder& request) {
  if (RunAttempts(env_.protocol(), request)) return true;
  Fail(kCommunicationErrorMessage);
  return false;
}

// The user offsets of the elements the sensor has, polymer first; each shown once read.
bool CManualCalibration::ReadOffsets(int attempts) {
  if (HasPolymer(elementSet_)) {
    if (!RunAttempts(env_.protocol(), ReadOffset(kPolymerUserOffset), &polymerOffset_,
                     sizeof polymerOffset_, attempts)) {
      return false;
    }
    form().SetText(kPolymerOffset, FormatFixed(polymerOffset_, kOffsetPlaces));
  }
  if (HasQcm(elementSet_)) {
    if (!RunAttempts(env_.protocol(), ReadOffset(kQcmUserOffset), &qcmOffset_, sizeof qcmOffset_,
                     attempts)) {
      return false;
    }
    form().SetText(kQcmOffset, FormatFixed(qcmOffset_, kOffsetPlaces));
  }
  return true;
}

void CManualCalibration::Open() {
  Form& f = form();
  if (!ReadOffsets(kSingleRun)) {
    Fail(kCommunicationErrorMessage);
    End(DialogEnd::kFailed);
    return;
  }
  if (!ReadAtOpen(ReadUserCalibrationFlags(), &flags_, sizeof flags_)) return;
  f.SetChecked(kEnable, (flags_ & kUserCalibrationOn) != 0);

  uint8_t maximum = 0;
  uint8_t count = 0;
  if (!ReadAtOpen(ReadMaxCalibrationPoints(), &maximum, sizeof maximum)) return;
  if (!ReadAtOpen(ReadUserCalibrationCount(), &count, sizeof count)) return;
  // The table has ten rows; a sensor reporting more is shown and written as ten.
  maximum_ = std::min<int>(maximum, kPoints);
  count_ = std::min<int>(count, kPoints);

  const auto bufferSize = static_cast<uint8_t>(sizeof(float) * kPoints);
  if (!ReadAtOpen(ReadUserCalibrationReference(), referenceBuffer_.data(), bufferSize)) return;
  if (!ReadAtOpen(ReadUserCalibrationMeasured(), measuredBuffer_.data(), bufferSize)) return;
  for (size_t segment = 0; segment < kSegments; ++segment) {
    float pair[2] = {};
    if (!ReadAtOpen(ReadUserCalibrationCoefficients(static_cast<uint8_t>(segment)), pair,
                    sizeof pair)) {
      return;
    }
    coefficients_[segment] = {pair[0], pair[1]};
  }

  f.SetText(kMaximum, std::to_string(maximum_));
  f.SetText(kCount, std::to_string(count_));
  for (size_t row = 0; row < static_cast<size_t>(count_); ++row) {
    f.SetText(RowReference(row), FormatFixed(referenceBuffer_[row], kPointPlaces));
    f.SetText(RowMeasured(row), FormatFixed(measuredBuffer_[row], kPointPlaces));
  }
  EnableRows();
  f.Enable(kDelete, count_ > 0);
  // Also when the sensor reports more points than its maximum: Add must never run past it.
  f.Enable(kAdd, count_ < maximum_);
  ShowCoefficients(kOpenCoefficientPlaces);
  host().StartTimer(kRefreshTimer, LiveRefresh::kPeriodMs);
}

void CManualCalibration::ShowCoefficients(int places) {
  for (size_t segment = 0; segment < kSegments; ++segment) {
    form().SetText(SegmentA1(segment), FormatFixed(coefficients_[segment].a1, places));
    form().SetText(SegmentA0(segment), FormatFixed(coefficients_[segment].a0, places));
  }
}

void CManualCalibration::EnableRows() {
  for (size_t row = 0; row < kPoints; ++row) {
    form().Enable(RowRadio(row), row < static_cast<size_t>(count_));
  }
}

int CManualCalibration::SelectedRow() const {
  for (size_t row = 0; row < kPoints; ++row) {
    if (form().Checked(RowRadio(row))) return static_cast<int>(row);
  }
  return -1;
}

void CManualCalibration::OnTimer(int timerId) {
  if (timerId != kRefreshTimer) return;
  const LiveRefresh::Outcome outcome = refresh_.Tick(env_.protocol(), measuredText_);
  if (outcome == LiveRefresh::Outcome::kValue) form().SetText(kMeasured, measuredText_);
  if (outcome != LiveRefresh::Outcome::kGaveUp) return;
  Fail(kCommunicationErrorMessage);
  host().StopTimer(kRefreshTimer);
  End(DialogEnd::kFailed);
  refresh_.Release();
}

void CManualCalibration::Press(size_t control) {
  switch (control) {
    case kOffsetCalibration:
      OffsetCalibration();
      break;
    case kClearOffset:
      ClearOffset();
      break;
    case kAdd:
      Add();
      break;
    case kDelete:
      Delete();
      break;
    case kEndCalibration:
      EndCalibration();
      break;
    case kExit:
      Exit();
      break;
    default:
      break;
  }
}

void CManualCalibration::Changed(size_t control) {
  if (control == kEnable) {
    EnableUserCalibration();
    return;
  }
  // One row at a time: a terminal sets one radio button, the others go off as on screen.
  for (size_t row = 0; row < kPoints; ++row) {
    if (control == RowRadio(row) && form().Checked(control)) {
      for (size_t other = 0; other < kPoints; ++other) {
        if (other != row) form().SetChecked(RowRadio(other), false);
      }
    }
  }
}

void CManualCalibration::CloseBox() {
  Exit();
}

void CManualCalibration::OffsetCalibration() {
  const std::optional<float> reference = CInputRefDP::Run(host());
  // Ticks run while the input is open; the dialog may have closed itself meanwhile.
  if (!reference || ended()) return;
  reference_ = *reference;
  if (!Write(CalibrateOffset(reference_))) return;
  if (!ReadOffsets(kDialogAttempts)) {
    Fail(kCommunicationErrorMessage);
    return;
  }
  Say("Offset calibration finished successfully!");
}

void CManualCalibration::ClearOffset() {
  polymerOffset_ = 0.0f;
  qcmOffset_ = 0.0f;
  if (HasPolymer(elementSet_)) {
    if (!Write(WriteOffset(kPolymerUserOffset, polymerOffset_))) return;
    form().SetText(kPolymerOffset, FormatFixed(polymerOffset_, kOffsetPlaces));
  }
  if (HasQcm(elementSet_)) {
    if (!Write(WriteOffset(kQcmUserOffset, qcmOffset_))) return;
    form().SetText(kQcmOffset, FormatFixed(qcmOffset_, kOffsetPlaces));
  }
  Say("Clear offset ok!");
}

void CManualCalibration::Add() {
  Form& f = form();
  const std::optional<float> reference = CInputRefDP::Run(host());
  if (!reference || ended()) return;
  const float newReference = *reference;
  // The value the live field shows as the input closes: ticks ran while it was open.
  const std::string newMeasured = f.Text(kMeasured);
  if (f.Checked(kEnable)) {
    // Points are taken from the uncorrected reading.
    Fail("Please disable user calibration first!");
    return;
  }
  const auto count = static_cast<size_t>(count_);
  if (count >= kPoints) return;  // no row left; Add is disabled long before
  for (size_t row = 0; row < count; ++row) {
    if (ToFloat(f.Text(RowReference(row))) == newReference) {
      Fail("This calibration point has been existed!");
      return;
    }
  }
  const float newMeasuredValue = ToFloat(newMeasured);
  for (size_t row = 0; row < count; ++row) {
    if (ToFloat(f.Text(RowMeasured(row))) == newMeasuredValue) {
      Fail("Measure value is same!");
      return;
    }
  }

  // Rows stay in descending order of their references.
  size_t at = count;
  for (size_t row = 0; row < count; ++row) {
    if (ToFloat(f.Text(RowReference(row))) <= newReference) {
      at = row;
      break;
    }
  }
  for (size_t row = count; row > at; --row) {
    f.SetText(RowReference(row), f.Text(RowReference(row - 1)));
    f.SetText(RowMeasured(row), f.Text(RowMeasured(row - 1)));
  }
  f.SetText(RowReference(at), FormatFixed(newReference, kPointPlaces));
  f.SetText(RowMeasured(at), newMeasured);
  ++count_;
  f.SetText(kCount, std::to_string(count_));
  if (count_ >= maximum_) f.Enable(kAdd, false);
  f.Enable(kDelete);
  EnableRows();
}

void CManualCalibration::Delete() {
  Form& f = form();
  const int selected = SelectedRow();
  if (selected < 0 || selected + 1 > count_) {
    Fail("Invalid calibration point is selected.");
    return;
  }
  const auto last = static_cast<size_t>(count_ - 1);
  for (auto row = static_cast<size_t>(selected); row < last; ++row) {
    f.SetText(RowReference(row), f.Text(RowReference(row + 1)));
    f.SetText(RowMeasured(row), f.Text(RowMeasured(row + 1)));
  }
  f.SetText(RowReference(last), {});
  f.SetText(RowMeasured(last), {});
  --count_;
  EnableRows();
  f.SetText(kCount, std::to_string(count_));
  if (count_ == 0) f.Enable(kDelete, false);
  for (size_t row = 0; row < kPoints; ++row) f.SetChecked(RowRadio(row), false);
}

void CManualCalibration::EndCalibration() {
  const Form& f = form();
  const auto count = static_cast<size_t>(count_);
  std::array<float, kPoints> reference{};
  std::array<float, kPoints> measured{};
  for (size_t row = 0; row < count; ++row) {
    const std::string& r = f.Text(RowReference(row));
    const std::string& m = f.Text(RowMeasured(row));
    if (r.empty() || m.empty()) {
      Fail("Invalid reference or actual value!");
      return;
    }
    reference[row] = ToFloat(r);
    measured[row] = ToFloat(m);
  }
  if (count < 2) {
    Fail("Too little calibration points are selected");
    return;
  }

  // The straight line through both points of each stretch, corrected = A1 * measured + A0, in
  // single precision as the sensor computes with it; stretches without two points correct
  // nothing.
  for (size_t k = 0; k < kSegments; ++k) {
    Pair pair;
    if (k + 1 < count) {
      pair.a1 = measured[k] == measured[k + 1]
                    ? 0.0f
                    : (reference[k] - reference[k + 1]) / (measured[k] - measured[k + 1]);
      pair.a0 = reference[k] - measured[k] * pair.a1;
    }
    coefficients_[k] = pair;
  }

  const int lastComputed = count_ - 2;
  for (int segment = 0; segment <= lastComputed; ++segment) {
    const Pair& pair = coefficients_[static_cast<size_t>(segment)];
    if (!Write(WriteUserCalibrationCoefficients(static_cast<uint8_t>(segment), pair.a1, pair.a0)))
      return;
  }
  const Pair neutral;
  for (int segment = count_ - 1; segment <= maximum_ - 2; ++segment) {
    if (!Write(WriteUserCalibrationCoefficients(static_cast<uint8_t>(segment), neutral.a1,
                                                neutral.a0)))
      return;
  }
  if (!Write(SetCalibrationPointCount(static_cast<uint8_t>(count_)))) return;
  std::copy_n(reference.begin(), count, referenceBuffer_.begin());
  std::copy_n(measured.begin(), count, measuredBuffer_.begin());
  if (!Write(WriteUserCalibrationReference(referenceBuffer_))) return;
  if (!Write(WriteUserCalibrationMeasured(measuredBuffer_))) return;
  ShowCoefficients(kEndCoefficientPlaces);
  Say("Calibration finished!");
}

void CManualCalibration::EnableUserCalibration() {
  refresh_.Hold();
  host().StopTimer(kRefreshTimer);
  flags_ = form().Checked(kEnable) ? static_cast<uint8_t>(flags_ | kUserCalibrationOn)
                                   : static_cast<uint8_t>(flags_ & ~kUserCalibrationOn);
  if (!Write(WriteUserCalibrationFlags(flags_))) {
    // The live value stays as it is from now on: the refresh is not started again.
    return;
  }
  host().StartTimer(kRefreshTimer, LiveRefresh::kPeriodMs);
  refresh_.Release();
}

void CManualCalibration::Exit() {
  const bool enabled = form().Checked(kEnable);
  if (AskYesNo(enabled ? kDisableQuestion : kEnableQuestion, kWarningCaption)) {
    const auto flags = enabled ? static_cast<uint8_t>(flags_ & ~kUserCalibrationOn)
                               : static_cast<uint8_t>(flags_ | kUserCalibrationOn);
    if (!Write(WriteUserCalibrationFlags(flags))) return;
    flags_ = flags;
    form().SetChecked(kEnable, !enabled);
  }
  host().StopTimer(kRefreshTimer);
  End(DialogEnd::kClosed);
}

}  // namespace korvin
