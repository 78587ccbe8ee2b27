#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "calibration/live_refresh.h"
#include "forms/task_dialog.h"
#include "forms/task_environment.h"

namespace korvin {

// "Dew point calibration": the sensor's user offsets (offset calibration against one reference,
// clear offset) and its user calibration of up to ten points. Points are collected in a table on
// screen (Add, Delete) and reach the sensor with End calibration, which computes the straight
// line of each stretch between two neighbouring points. The measured dew point is refreshed
// every second on timer 11.
class CManualCalibration final : public TaskDialog {
 public:
  static constexpr size_t kPoints = 10;
  static constexpr size_t kSegments = kPoints - 1;
  static constexpr size_t kHeadingCount = 6;
  // Controls per table row: the row's radio button, its reference and measured values, and the
  // two coefficients of the stretch below it (the last row has none).
  static constexpr size_t kRowControls = 5;

  enum Control : size_t {
    kPolymerOffset,
    kQcmOffset,
    kOffsetCalibration,
    kClearOffset,
    kMaximum,
    kCount,
    kMeasured,
    kAdd,
    kDelete,
    kEnable,
    kFirstHeading,
    kFirstRow = kFirstHeading + kHeadingCount,
    kEndCalibration = kFirstRow + kRowControls * kSegments + 3,
    kExit,
    kControlCount
  };

  // Controls of a table row (0 = "Cali. point 1") and of a stretch (0 = between rows 1 and 2).
  static constexpr size_t RowRadio(size_t row) { return kFirstRow + kRowControls * row; }
  static constexpr size_t RowReference(size_t row) { return RowRadio(row) + 1; }
  static constexpr size_t RowMeasured(size_t row) { return RowRadio(row) + 2; }
  static constexpr size_t SegmentA1(size_t segment) { return RowRadio(segment) + 3; }
  static constexpr size_t SegmentA0(size_t segment) { return RowRadio(segment) + 4; }

  static constexpr int kRefreshTimer = 11;
  static constexpr char kTitle[] = "Dew point calibration";

  static const DialogScreen& Screen();

  explicit CManualCalibration(TaskEnvironment& environment);

  void Open() override;
  void Press(size_t control) override;
  void Changed(size_t control) override;
  void OnTimer(int timerId) override;
  // The close box runs the Exit procedure: it asks about the user calibration first.
  void CloseBox() override;

  // What the sensor reported, limited to the table's ten rows, and the points on screen.
  int maximum() const { return maximum_; }
  int count() const { return count_; }
  uint8_t flags() const { return flags_; }
  int refreshFailures() const { return refresh_.failures(); }
  bool refreshBusy() const { return refresh_.busy(); }

  struct Pair {
    float a1 = 1.0f;
    float a0 = 0.0f;
  };
  const std::array<Pair, kSegments>& coefficients() const { return coefficients_; }

 private:
  bool ReadAtOpen(const RequestBuilder& request, void* destination, uint8_t copyLimit);
  bool ReadOffsets(int attempts);
  void OffsetCalibration();
  void ClearOffset();
  void Add();
  void Delete();
  void EndCalibration();
  void EnableUserCalibration();
  void Exit();
  void ShowCoefficients(int places);
  void EnableRows();
  int SelectedRow() const;
  bool Write(const RequestBuilder& request);

  TaskEnvironment& env_;
  int elementSet_;
  float polymerOffset_ = 0.0f;
  float qcmOffset_ = 0.0f;
  float reference_ = 0.0f;
  uint8_t flags_ = 0;
  int maximum_ = 0;
  int count_ = 0;
  std::array<float, kPoints> referenceBuffer_{};
  std::array<float, kPoints> measuredBuffer_{};
  std::array<Pair, kSegments> coefficients_{};
  std::string measuredText_;
  LiveRefresh refresh_;
};

}  // namespace korvin
