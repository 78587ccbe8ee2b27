#pragma once

#include <filesystem>

namespace korvin {

// The folder of the running program file.
std::filesystem::path ProgramFileFolder();

// The folder of the program's own read-only files (the sample certificate template, pictures):
// <prefix>/share/korvin beside an installed program (<prefix>/bin), the source tree's share/
// folder for a program run from its build folder. Empty when neither exists.
std::filesystem::path ProgramDataFolder();

}  // namespace korvin
