#pragma once

#include <cstdio>
#include <filesystem>
#include <memory>

namespace korvin {

struct FileCloser {
  void operator()(std::FILE* file) const {
    if (file != nullptr) std::fclose(file);
  }
};
// A C stdio file that is closed with its handle.
using FileHandle = std::unique_ptr<std::FILE, FileCloser>;

// Opens `path` with an fopen mode ("rb", "wb"); null when it cannot be opened.
inline FileHandle OpenFile(const std::filesystem::path& path, const char* mode) {
#ifdef _WIN32
  std::wstring wideMode;
  for (const char* m = mode; *m != '\0'; ++m) wideMode += static_cast<wchar_t>(*m);
  return FileHandle(_wfopen(path.c_str(), wideMode.c_str()));
#else
  return FileHandle(std::fopen(path.c_str(), mode));
#endif
}

}  // namespace korvin
