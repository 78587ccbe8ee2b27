#pragma once

#include <unistd.h>

#include <filesystem>
#include <system_error>

namespace korvin::test {

// Where a test that pushes thousands of rows to the disk one at a time puts its files: a memory
// file system when there is one (syncing costs nothing there), the system's temp folder else.
inline std::filesystem::path FastTempBase() {
  const std::filesystem::path memory = "/dev/shm";
  std::error_code error;
  if (std::filesystem::is_directory(memory, error) && access(memory.c_str(), W_OK) == 0) {
    return memory;
  }
  return std::filesystem::temp_directory_path();
}

}  // namespace korvin::test
