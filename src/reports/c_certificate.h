#pragma once

#include <array>
#include <cstdint>
#include <filesystem>

#include "forms/task_dialog.h"
#include "forms/task_environment.h"
#include "reports/certificate_input.h"
#include "reports/certificate_template.h"

namespace korvin {

// "Calibration certificate": the certificate of the connected sensor as a form the technician
// can still edit. Open() asks for a template and reads the calibration results and factory
// settings from the sensor; "Create" writes the certificate PDF, the hidden default "Make"
// (Enter) a snapshot of the form, "Save as new " the template fields as a template file,
// "Customer Logo" picks the logo, "Exit" closes.
//
// The three dew point rows all read "Dew point" on the screen; their cells are named "Dew point
// 1 / ...", "Dew point 2 / ..." and "Dew point 3 / ...".
class CCertificate final : public TaskDialog {
 public:
  // Result table columns, in screen order, and rows.
  enum ResultColumn : size_t { kUnits, kNominal, kPermissible, kActual, kEvaluation, kColumns };
  enum ResultRow : size_t { kDewPoint1, kDewPoint2, kDewPoint3, kTemperature, kPressure, kRows };

  enum Control : size_t {
    kInstrument,
    kSerialNumber,
    kItemNumber,
    kLogo,
    // "Test Conditions:", in template order
    kTestMedium,
    kAmbientHumidity,
    kVolumetricFlow,
    kAmbientPressure,
    kAmbientTemperature,
    kTestingMethod,
    // "References used:": Model, Uncertainty, S/N, Last calibration of each row
    kMirrorModel,
    kMirrorUncertainty,
    kMirrorSerial,
    kMirrorCalibrationDate,
    kPressureModel,
    kPressureUncertainty,
    kPressureSerial,
    kPressureCalibrationDate,
    kTemperatureModel,
    kTemperatureUncertainty,
    kTemperatureSerial,
    kTemperatureCalibrationDate,
    // "Calibration Test Results": kRows rows of kColumns cells (ResultCell)
    kResults,
    kInfo1 = kResults + static_cast<size_t>(kRows) * kColumns,
    kInfo2,
    kInfo3,
    kInfo4,
    // "Factory Settings"
    kRangeLow,
    kRangeHigh,
    kOutput,
    k4mA,
    k4mAUnit,
    k20mA,
    k20mAUnit,
    kDeviceAddress,
    kFraming,
    kBaudRate,
    kTransmissionMode,
    // company and signature
    kCompanyPrompt,
    kCompanyName,
    kAddress1,
    kAddress2,
    kAddress3,
    kAddress4,
    kCalibrationDate,
    kInspector,
    // buttons
    kSaveAsNew,
    kCustomerLogo,
    kCreate,
    kExit,
    kMake,
    kControlCount
  };

  static constexpr size_t ResultCell(size_t row, size_t column) {
    return kResults + row * kColumns + column;
  }

  static constexpr char kTitle[] = "Calibration certificate";
  static constexpr char kLogoTitle[] = "please select customered log picture";
  static constexpr char kLogoFilter[] = "Customered Picture Files(*.png)";
  static constexpr char kLogoPattern[] = "*.png";
  // A template that could not be written is said so; the user would otherwise trust a file
  // that is not there.
  static constexpr char kTemplateNotWrittenMessage[] = "Error:Save certificate sample failed!";
  static constexpr char kSnapshotSuffix[] = "_Certificate.pdf";

  // The certificate keeps this many calibration records of each element.
  static constexpr size_t kK5Capacity = 6;
  static constexpr size_t kQcmCapacity = 10;

  static const DialogScreen& Screen();

  CCertificate(TaskEnvironment& environment, CertificateInput input);

  void Open() override;
  void Press(size_t control) override;
  void Changed(size_t control) override;

  const CertificateInput& input() const { return input_; }
  // The template the user picked when the dialog opened; empty when cancelled.
  const std::filesystem::path& templatePath() const { return templatePath_; }
  // The customer logo (the picture frame's file); empty without one.
  const std::string& logoPath() const { return form().Text(kLogo); }
  // The template fields of a certificate form, and the form showing a template's values.
  static TemplateValues TemplateFields(const Form& form);
  static void ShowTemplateFields(Form& form, const TemplateValues& values);

 private:
  struct Record {
    float referenceRh = 0;
    float measuredRh = 0;
    float temperature = 0;
  };
  // Converted records: the reference and the measured humidity as dew points.
  struct DewPoints {
    float nominal = 0;
    float actual = 0;
  };

  bool Read(const RequestBuilder& request, void* destination, uint8_t size);
  bool ReadTemperatureRow();
  bool ReadDewPointRows();
  bool ReadRecords(uint8_t selector, uint8_t count, size_t capacity, bool magnus,
                   std::array<DewPoints, kQcmCapacity>& converted, size_t& kept);
  bool ReadAnalogueOutput();
  bool ReadFieldbus();
  void ShowRow(size_t row, const DewPoints& values);
  void Evaluate();
  void ChooseLogo();
  void SaveAsNew();
  void Create();
  void Make();

  TaskEnvironment& env_;
  CertificateInput input_;
  std::filesystem::path templatePath_;
  // What each result row shows without an evaluation ("Passed" or "N/A").
  std::array<std::string, kRows> unevaluated_;
};

}  // namespace korvin
