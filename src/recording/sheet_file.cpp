#include "recording/sheet_file.h"

#include <cstdio>
#include <memory>
#include <system_error>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace korvin {

namespace {

constexpr const char* kTemporarySuffix = ".tmp";
constexpr size_t kWriteBufferSize = 1 << 16;

struct FileCloser {
  void operator()(std::FILE* file) const {
    if (file != nullptr) std::fclose(file);
  }
};
using FileHandle = std::unique_ptr<std::FILE, FileCloser>;

FileHandle OpenForWriting(const std::filesystem::path& path) {
#ifdef _WIN32
  FileHandle file(_wfopen(path.c_str(), L"wb"));
#else
  FileHandle file(std::fopen(path.c_str(), "wb"));
#endif
  if (file) std::setvbuf(file.get(), nullptr, _IOFBF, kWriteBufferSize);
  return file;
}

// Pushes the bytes to the disk, so that a power cut after the rename finds the whole new file.
bool SyncToDisk(std::FILE* file) {
  if (std::fflush(file) != 0) return false;
#ifdef _WIN32
  return _commit(_fileno(file)) == 0;
#else
  return fsync(fileno(file)) == 0;
#endif
}

}  // namespace

bool WriteSheetFileInPlace(miniexcel::excelSheet& sheet, const std::filesystem::path& path) {
  FileHandle file = OpenForWriting(path);
  if (!file) return false;
  return sheet.Write(file.release());
}

bool WriteSheetFile(miniexcel::excelSheet& sheet, const std::filesystem::path& path) {
  std::filesystem::path temporary = path;
  temporary += kTemporarySuffix;
  FileHandle file = OpenForWriting(temporary);
  if (!file) return false;
  bool ok = sheet.WriteRecords(file.get()) && SyncToDisk(file.get());
  ok = std::fclose(file.release()) == 0 && ok;
  std::error_code error;
  if (ok) std::filesystem::rename(temporary, path, error);
  if (!ok || error) {
    std::filesystem::remove(temporary, error);
    return false;
  }
  return true;
}

}  // namespace korvin
