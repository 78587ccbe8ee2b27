#include "recording/sheet_file.h"

#include <cerrno>
#include <cstdio>
#include <memory>
#include <vector>

#include "platform/writable_file.h"

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

bool Failed(std::error_code* error, int code) {
  if (error != nullptr) *error = std::error_code(code, std::generic_category());
  return false;
}

// The in-place write: the sheet goes into a scratch file first, which tells its size; the
// target takes the room for that size, and only then is its content written over.
bool WriteInPlace(miniexcel::excelSheet& sheet, const std::filesystem::path& path,
                  std::error_code* error) {
  FileHandle scratch(std::tmpfile());
  if (!scratch) return Failed(error, errno);
  if (!sheet.WriteRecords(scratch.get()) || std::fflush(scratch.get()) != 0) {
    return Failed(error, errno);
  }
  const long size = std::ftell(scratch.get());
  if (size < 0) return Failed(error, errno);
  std::rewind(scratch.get());

  WritableFile target(path);
  const int64_t oldSize = target.Size();
  if (oldSize < 0 || !target.Reserve(size)) {
    if (error != nullptr) *error = target.error();
    return false;
  }
  std::vector<char> buffer(kWriteBufferSize);
  int64_t offset = 0;
  while (offset < size) {
    const size_t n = std::fread(buffer.data(), 1, buffer.size(), scratch.get());
    if (n == 0) {
      // Nothing of the target was written over yet: the old content goes back to its length.
      if (offset == 0) target.Truncate(oldSize);
      return Failed(error, EIO);
    }
    if (!target.WriteAt(offset, buffer.data(), n)) break;
    offset += static_cast<int64_t>(n);
  }
  const bool written = offset == size && target.Truncate(size) && target.Sync();
  const bool closed = target.Close();
  if (!(written && closed) && error != nullptr) *error = target.error();
  return written && closed;
}

}  // namespace

bool WriteSheetFile(miniexcel::excelSheet& sheet, const std::filesystem::path& path,
                    std::error_code* error) {
  std::filesystem::path temporary = path;
  temporary += kTemporarySuffix;
  FileHandle file = OpenForWriting(temporary);
  if (!file) return WriteInPlace(sheet, path, error);

  bool ok = sheet.WriteRecords(file.get()) && SyncToDisk(file.get());
  int code = errno;
  if (std::fclose(file.release()) != 0 && ok) {
    ok = false;
    code = errno;
  }
  std::error_code renameError;
  if (ok) std::filesystem::rename(temporary, path, renameError);
  if (!ok || renameError) {
    std::error_code ignored;
    std::filesystem::remove(temporary, ignored);
    if (renameError) {
      if (error != nullptr) *error = renameError;
      return false;
    }
    return Failed(error, code);
  }
  return true;
}

}  // namespace korvin
