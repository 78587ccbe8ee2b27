#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace korvin {

// The report folders below the program folder (TaskEnvironment::programFolder).
inline constexpr char kSensorInformationFolder[] = "Sensor information";
inline constexpr char kCalibrationDataFolder[] = "Calibration data";
inline constexpr char kCertificateFolder[] = "Certificate";

// The folder the report folders go below, decided once at start-up: the program's folder when a
// file can be created in it, otherwise `userDataFolder` (created when missing). An installed
// program's folder is usually not writable.
std::filesystem::path ChooseReportBaseFolder(const std::filesystem::path& programFolder,
                                             const std::filesystem::path& userDataFolder);

// True when a file can be created (and removed again) in `folder`.
bool FolderIsWritable(const std::filesystem::path& folder);

// A file stem that stays a plain name inside its folder, whatever text it comes from (a serial
// number field the user may edit): path separators (/ \), the drive and stream separator ':'
// and control characters each become '_'; a stem of "." or ".." or no characters at all
// becomes "_"; a name the platform reserves for a device (CON, PRN, AUX, NUL, COM1 ... COM9,
// LPT1 ... LPT9, in any case, also before a dot) gets a leading '_'. Everything else, blanks
// included, stays as it is.
std::string SafeFileStem(std::string_view stem);

}  // namespace korvin
