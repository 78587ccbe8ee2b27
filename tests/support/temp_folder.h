#pragma once

#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <string>

namespace korvin::test {

// A fresh folder below the system's temp folder, removed with everything in it at the end.
class ScratchFolder {
 public:
  explicit ScratchFolder(const std::string& tag = "korvin") {
    static std::atomic<int> counter{0};
    path_ = std::filesystem::temp_directory_path() /
            (tag + "-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
  }
  ~ScratchFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

 private:
  std::filesystem::path path_;
};

}  // namespace korvin::test
