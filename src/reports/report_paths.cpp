#include "reports/report_paths.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <fstream>
#include <system_error>

#include <unistd.h>

namespace korvin {

namespace {

constexpr char kReplacement = '_';
constexpr unsigned char kFirstPrintable = 0x20;
constexpr unsigned char kDelete = 0x7F;

constexpr char kProbePrefix[] = ".korvin-write-test-";

constexpr std::array<std::string_view, 4> kDeviceNames = {"CON", "PRN", "AUX", "NUL"};
constexpr std::array<std::string_view, 2> kNumberedDeviceNames = {"COM", "LPT"};

bool Unsafe(unsigned char c) {
  return c < kFirstPrintable || c == kDelete || c == '/' || c == '\\' || c == ':';
}

std::string Upper(std::string_view text) {
  std::string upper(text);
  std::transform(upper.begin(), upper.end(), upper.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  return upper;
}

// "CON", "com3", "Nul.txt": the platform opens the device, not a file, whatever follows the dot.
bool NamesADevice(std::string_view stem) {
  const std::string base = Upper(stem.substr(0, stem.find('.')));
  if (std::find(kDeviceNames.begin(), kDeviceNames.end(), base) != kDeviceNames.end()) return true;
  for (std::string_view prefix : kNumberedDeviceNames) {
    if (base.size() == prefix.size() + 1 && base.rfind(prefix, 0) == 0 && base.back() >= '1' &&
        base.back() <= '9') {
      return true;
    }
  }
  return false;
}

}  // namespace

bool FolderIsWritable(const std::filesystem::path& folder) {
  std::error_code error;
  if (!std::filesystem::is_directory(folder, error)) return false;
  // Asking for permission bits says nothing about access lists or read-only media; a file that
  // can really be created says it all.
  const std::filesystem::path probe = folder / (kProbePrefix + std::to_string(::getpid()));
  bool written = false;
  {
    std::ofstream out(probe, std::ios::binary | std::ios::trunc);
    written = out.good();
  }
  std::filesystem::remove(probe, error);
  return written;
}

std::filesystem::path ChooseReportBaseFolder(const std::filesystem::path& programFolder,
                                             const std::filesystem::path& userDataFolder) {
  if (FolderIsWritable(programFolder) || userDataFolder.empty()) return programFolder;
  std::error_code ignored;
  std::filesystem::create_directories(userDataFolder, ignored);
  return userDataFolder;
}

std::string SafeFileStem(std::string_view stem) {
  if (stem.empty() || stem == "." || stem == "..") return std::string(1, kReplacement);
  std::string safe(stem);
  for (char& c : safe) {
    if (Unsafe(static_cast<unsigned char>(c))) c = kReplacement;
  }
  if (NamesADevice(safe)) safe.insert(safe.begin(), kReplacement);
  return safe;
}

}  // namespace korvin
