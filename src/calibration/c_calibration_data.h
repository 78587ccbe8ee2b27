#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "forms/task_dialog.h"
#include "forms/task_environment.h"
#include "reports/certificate_input.h"

namespace korvin {

// Makes the certificate dialog that "Generate certificate" opens, for what the view hands over.
// The certificate's provider plugs it in where the view is made (MakeMainTaskDialog); without
// one the button is disabled.
using CertificateDialogMaker =
    std::function<std::unique_ptr<TaskDialog>(TaskEnvironment&, const CertificateInput&)>;

// "Calibration data" (factory mode): what the sensor stores about its factory calibration, read
// once at open and shown read-only: factory offsets, calibration temperature, the analogue output
// and pressure calibration, and the points and segment coefficients of the polymer (K5) and the
// QCM element. "Print to PDF" saves the screen as "Calibration data/SERIAL_Calidata.pdf" below
// the program folder; "Generate certificate" opens the certificate dialog; nothing is written.
class CCalibrationData final : public TaskDialog {
 public:
  // Rows of the two point tables, and their columns.
  static constexpr size_t kK5Points = 6;
  static constexpr size_t kK5Segments = kK5Points - 1;
  static constexpr size_t kK5Columns = 4;  // Reference, Sen ADC, Ref ADC, Omega
  static constexpr size_t kQcmPoints = 10;
  static constexpr size_t kQcmSegments = kQcmPoints - 1;
  static constexpr size_t kQcmColumns = 4;   // Ref, Mea_DP, Mea_T, Mea_Freq
  static constexpr size_t kPairColumns = 2;  // A1, A0

  enum Control : size_t {
    kDeviceName,
    kFirmware,
    kSerial,
    kItem,
    kCalibrationDate,
    kK5Offset,
    kQcmOffset,
    kCalibrationTemperature,
    kReferenceDac1,
    kReferenceDac2,
    kMeasuredCurrent1,
    kMeasuredCurrent2,
    kScaling4mA,
    kScaling20mA,
    kAnalogueA1,
    kAnalogueA0,
    kRefPressure,
    kMeasurePressure,
    kPressureA1,
    kPressureA0,
    kK5Count,
    // K5 point (row r, column c) is kK5Cells + r * kK5Columns + c; segment s's A1 and A0 are
    // kK5Coefficients + s * kPairColumns + 0 / 1.
    kK5Cells,
    kK5Coefficients = kK5Cells + kK5Points * kK5Columns,
    kQcmCount = kK5Coefficients + kK5Segments * kPairColumns,
    // QCM point (r, c) is kQcmCells + r * kQcmColumns + c; segment s's Coeff_A1 and Coeff_A0
    // are kQcmCoefficients + s * kPairColumns + 0 / 1.
    kQcmCells,
    kQcmCoefficients = kQcmCells + kQcmPoints * kQcmColumns,
    kPrintToPdf = kQcmCoefficients + kQcmSegments * kPairColumns,
    kGenerateCertificate,
    kExit,
    // The table headings follow.
  };

  static constexpr size_t K5Cell(size_t row, size_t column) {
    return kK5Cells + row * kK5Columns + column;
  }
  static constexpr size_t K5Coefficient(size_t segment, size_t pairColumn) {
    return kK5Coefficients + segment * kPairColumns + pairColumn;
  }
  static constexpr size_t QcmCell(size_t row, size_t column) {
    return kQcmCells + row * kQcmColumns + column;
  }
  static constexpr size_t QcmCoefficient(size_t segment, size_t pairColumn) {
    return kQcmCoefficients + segment * kPairColumns + pairColumn;
  }

  static constexpr char kTitle[] = "Calibration data";
  static constexpr char kPdfSuffix[] = "_Calidata.pdf";

  static const DialogScreen& Screen();

  explicit CCalibrationData(TaskEnvironment& environment,
                            CertificateDialogMaker makeCertificate = {});

  void Open() override;
  void Press(size_t control) override;

  // What "Generate certificate" hands the certificate dialog: the sensor's identity, the counts
  // as the sensor reported them and the pressure check values as the screen shows them.
  CertificateInput CertificateInputOf() const;

  uint8_t k5PointCount() const { return k5Count_; }
  uint8_t qcmPointCount() const { return qcmCount_; }

 private:
  bool Read(const RequestBuilder& request, void* destination, uint8_t copyLimit);
  template <typename T>
  bool Read(const RequestBuilder& request, T& value) {
    return Read(request, &value, sizeof value);
  }
  bool ReadOffsets();
  bool ReadAnalogueCalibration();
  bool ReadPressureData();
  bool ReadCounts();
  bool ReadK5Table();
  bool ReadQcmTable();
  void PrintToPdf();
  void GenerateCertificate();

  TaskEnvironment& env_;
  CertificateDialogMaker makeCertificate_;
  uint8_t k5Count_ = 0;
  uint8_t qcmCount_ = 0;
};

}  // namespace korvin
