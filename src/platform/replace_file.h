#pragma once

#include <filesystem>
#include <string_view>

namespace korvin {

// Writes `bytes` to a temporary file beside `file`, pushes them to the disk and renames the
// temporary file over `file`: `file` is always whole, the old contents or the new ones. False
// (and `file` untouched, no temporary file left) when any step fails.
bool ReplaceFile(const std::filesystem::path& file, std::string_view bytes);

// The temporary name ReplaceFile writes to before the rename.
std::filesystem::path TemporaryBeside(const std::filesystem::path& file);

}  // namespace korvin
