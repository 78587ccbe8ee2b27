#pragma once

#include <cstdint>
#include <filesystem>

namespace korvin {

// comsetting.ini, little-endian, in the current folder:
//   offset  width  content
//   0       4      COM port index, 0 = COM1 .. 8 = COM9
//   4       4      optional: initial link profile (1 or 2); read at start-up, never written
inline constexpr const char* kComSettingsFileName = "comsetting.ini";
inline constexpr int kComPortCount = 9;
inline constexpr int kDefaultComPortIndex = 0;
inline constexpr int kDefaultLinkProfile = 0;

struct ComSettings {
  int32_t portIndex = kDefaultComPortIndex;
  int32_t linkProfile = kDefaultLinkProfile;
};

// A missing or short file keeps the defaults for the fields it does not hold. An index outside
// COM1 .. COM9 (a damaged file) selects COM1: the port list has no entry for it.
ComSettings LoadComSettings(const std::filesystem::path& file);

// Writes the 4-byte index at offset 0; the bytes after it stay as they are. Creates the file
// when it does not exist. False when it can be neither opened nor created.
bool SaveComPortIndex(const std::filesystem::path& file, int32_t portIndex);

}  // namespace korvin
