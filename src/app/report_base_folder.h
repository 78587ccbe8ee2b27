#pragma once

#include <filesystem>

namespace korvin {

// The application's name; the user's data folder is named after it.
inline constexpr char kApplicationName[] = "KORVIN";

// The folder the reports go below, as korvin and korvin-cli decide it at start-up: the
// program's folder when it is writable, otherwise the user's data folder
// (QStandardPaths::AppDataLocation, on Linux ~/.local/share/KORVIN).
std::filesystem::path ReportBaseFolderAtStartUp(const std::filesystem::path& programFolder);

}  // namespace korvin
