#pragma once

#include <array>
#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "forms/task_dialog.h"

namespace korvin {

// The texts of a certificate that do not come from the sensor, as a template file (".conf", a
// profile file) holds them: one value per key, in this order, which is also the order they are
// read and written in.
namespace templatefield {
enum : size_t {
  kTestMedium,
  kAmbientHumidity,
  kVolumetricFlow,
  kAmbientPressure,
  kAmbientTemperature,
  kTestingMethod,
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
  kPermissibleDewPoint1,
  kPermissibleDewPoint2,
  kPermissibleDewPoint3,
  kPermissibleTemperature,
  kPermissiblePressure,
  kInfo1,
  kInfo2,
  kInfo3,
  kInfo4,
  kCompanyPrompt,
  kCompanyName,
  kAddress1,
  kAddress2,
  kAddress3,
  kAddress4,
  kInspector,
  kLogoPath,
  kCount
};
}  // namespace templatefield

struct TemplateKey {
  std::string_view section;
  std::string_view key;
  // The reference models and serial numbers keep their leading blanks through the file:
  // see EncodeLeadingBlanks.
  bool blankCoded = false;
};

inline constexpr std::array<TemplateKey, templatefield::kCount> kTemplateKeys = {{
    {"TEST CONDITIONS", "Test medium"},
    {"TEST CONDITIONS", "Ambient humidity"},
    {"TEST CONDITIONS", "Volumetric flow"},
    {"TEST CONDITIONS", "Ambient pressure"},
    {"TEST CONDITIONS", "Ambient temperature"},
    {"TEST CONDITIONS", "Testing method"},
    {"REF_DP_MIRROR", "Model", true},
    {"REF_DP_MIRROR", "Uncertainty"},
    {"REF_DP_MIRROR", "SN", true},
    {"REF_DP_MIRROR", "CaliDate"},
    {"REF_PRESS_SENSOR", "Model", true},
    {"REF_PRESS_SENSOR", "Uncertainty"},
    {"REF_PRESS_SENSOR", "SN", true},
    {"REF_PRESS_SENSOR", "CaliDate"},
    {"REF_TEMP_SENSOR", "Model", true},
    {"REF_TEMP_SENSOR", "Uncertainty"},
    {"REF_TEMP_SENSOR", "SN", true},
    {"REF_TEMP_SENSOR", "CaliDate"},
    {"CALI_UNCERTAINTY", "Dewpoint1"},
    {"CALI_UNCERTAINTY", "Dewpoint2"},
    {"CALI_UNCERTAINTY", "Dewpoint3"},
    {"CALI_UNCERTAINTY", "Temperature"},
    {"CALI_UNCERTAINTY", "Pressure"},
    {"INFO", "Info1"},
    {"INFO", "Info2"},
    {"INFO", "Info3"},
    {"INFO", "Info4"},
    {"COMPANY_ADDRESS", "Prompt"},
    {"COMPANY_ADDRESS", "Name"},
    {"COMPANY_ADDRESS", "Addr1"},
    {"COMPANY_ADDRESS", "Addr2"},
    {"COMPANY_ADDRESS", "Addr3"},
    {"COMPANY_ADDRESS", "Addr4"},
    {"INSPECTOR", "Inspector"},
    {"CUSTOMERED_LOG", "LogPath"},
}};

using TemplateValues = std::array<std::string, templatefield::kCount>;

// The maker's standard template. Picking a file of exactly this name (letter case counts), from
// whatever folder, means the maker's own certificate, which carries no customer logo.
inline constexpr char kStandardTemplateName[] = "ROVA_Standard.conf";
bool IsStandardTemplate(const std::filesystem::path& file);

// A profile file drops the leading blanks of a value, so the blank-coded values store each of
// their leading blanks, up to the eighth character, as "$" (and get them back on reading).
std::string EncodeLeadingBlanks(std::string_view value);
std::string DecodeLeadingBlanks(std::string_view value);

// The 35 values of a template file, the blank-coded ones decoded; empty values for a file
// that is missing or cannot be read.
TemplateValues ReadTemplateFile(const std::filesystem::path& file);
// Writes the 35 values (blank-coding the six) into `file`: in place when it exists, keeping
// everything else in it; false when it cannot be written.
bool WriteTemplateFile(const std::filesystem::path& file, const TemplateValues& values);

// The file choosers of the template and of the logo.
inline constexpr char kOpenTemplateTitle[] = "please select certificate config file";
inline constexpr char kOpenTemplateFilter[] = "Certificate config Files(*.conf)";
inline constexpr char kSaveTemplateTitle[] = "Create a new certificate sample";
inline constexpr char kSaveTemplateFilter[] = "(*.conf)";
inline constexpr char kTemplatePattern[] = "*.conf";
inline constexpr char kTemplateSuffix[] = "conf";

// A template the user picked when the certificate opens.
struct LoadedTemplate {
  std::filesystem::path path;  // empty when the chooser was cancelled
  bool standard = false;       // the maker's standard template: no customer logo
  TemplateValues values;       // all empty when cancelled
};

// Asks for a template file (starting in `folder`, where the standard template lies) and reads
// it.
LoadedTemplate LoadCertificateTemplate(DialogHost& host, const std::filesystem::path& folder);

// Asks for a file to save `values` as a template in. Nothing when the chooser was cancelled;
// otherwise the file and whether it was written.
struct SavedTemplate {
  std::filesystem::path path;
  bool written = false;
};
std::optional<SavedTemplate> SaveCertificateTemplate(DialogHost& host,
                                                     const TemplateValues& values);

}  // namespace korvin
