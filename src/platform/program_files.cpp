#include "platform/program_files.h"

#include <system_error>

namespace korvin {

namespace {

constexpr char kSelfLink[] = "/proc/self/exe";
constexpr char kInstalledData[] = "../share/korvin";

bool IsFolder(const std::filesystem::path& path) {
  std::error_code error;
  return std::filesystem::is_directory(path, error);
}

}  // namespace

std::filesystem::path ProgramFileFolder() {
  std::error_code error;
  const std::filesystem::path program = std::filesystem::read_symlink(kSelfLink, error);
  if (error) return std::filesystem::current_path(error);
  return program.parent_path();
}

std::filesystem::path ProgramDataFolder() {
  const std::filesystem::path installed = ProgramFileFolder() / kInstalledData;
  if (IsFolder(installed)) return std::filesystem::weakly_canonical(installed);
#ifdef KORVIN_SOURCE_SHARE_DIR
  // Run from the build folder: the files are where the source tree keeps them.
  if (IsFolder(KORVIN_SOURCE_SHARE_DIR)) return KORVIN_SOURCE_SHARE_DIR;
#endif
  return {};
}

}  // namespace korvin
