#pragma once

#include <cstdint>

#include "forms/task_dialog.h"
#include "forms/task_environment.h"

namespace korvin {

// "Sensor information": the service view of one sensor in one read-only screen: identity,
// analogue scaling, measuring boundaries, filters, units, pressure compensation, the polymer
// element's auto offset and the factory and user offsets of both elements. Open() reads it all;
// nothing is written to the sensor. "Print to PDF" saves the screen as
// "Sensor information/SERIAL_Info.pdf" below the program folder; the close box closes it.
class CServiceInfo final : public TaskDialog {
 public:
  enum Control : size_t {
    kDeviceName,
    kFirmware,
    kHardware,
    kSerial,
    kItem,
    kCalibrationDate,
    kUserCalibrationCount,
    k4mA,
    k20mA,
    kLowBoundary,
    kHighBoundary,
    kPressureOutput,
    kOutputFilter,
    kFilterGrade,
    kSecondFilterGrade,
    kAutoOffsetActive,
    kAutoOffsetMode,
    kAutoOffsetReload,
    kStaticPressure,
    kCoeffMinus40,
    kCoeffMinus70,
    kCoeffMinus95,
    kCompensationEnabled,
    kAtmosphericPressure,
    kGasType,
    kTemperatureUnit,
    kPressureUnit,
    kAltDewPoint,
    kStdOffset,
    kTOffset,
    kRandomValue,
    kResetDewPoint,
    kDeltaT,
    kK5FactoryOffset,
    kK5UserOffset,
    kQcmFactoryOffset,
    kQcmUserOffset,
    kFactoryOffsetTemperature,
    kUserOffsetTemperature,
    kPrintToPdf,
    kControlCount
  };

  static constexpr char kTitle[] = "Sensor information";
  static constexpr char kInvalidAutoOffsetModeMessage[] = "Invalid auto offset mode";
  static constexpr char kPdfSuffix[] = "_Info.pdf";

  static const DialogScreen& Screen();

  explicit CServiceInfo(TaskEnvironment& environment);

  void Open() override;
  void Press(size_t control) override;

 private:
  bool Read(const RequestBuilder& request, void* destination, uint8_t copyLimit);
  template <typename T>
  bool Read(const RequestBuilder& request, T& value) {
    return Read(request, &value, sizeof value);
  }
  // Each step of the open sequence; false when the dialog has closed.
  bool ReadFilters();
  bool ReadBoundaries();
  bool ReadUnits();
  bool ReadCompensation();
  bool ReadAutoOffset();
  bool ReadOffsets();
  void Close(std::string_view message);
  void PrintToPdf();

  TaskEnvironment& env_;
};

}  // namespace korvin
