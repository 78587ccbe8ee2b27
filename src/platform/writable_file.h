#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <system_error>

namespace korvin {

// A file opened for writing in place: an existing file keeps every byte until it is written
// over, and a missing one is created. Nothing here ever truncates a file on opening, so a file
// that cannot be read back (a write-only settings file) or a write that fails half-way never
// costs the bytes that were there.
class WritableFile {
 public:
  explicit WritableFile(const std::filesystem::path& path);
  ~WritableFile();
  WritableFile(const WritableFile&) = delete;
  WritableFile& operator=(const WritableFile&) = delete;

  bool is_open() const { return fd_ >= 0; }
  // The size now; -1 when it cannot be read.
  int64_t Size();
  // Takes the disk room for a file of `size` bytes before anything is written, so that a full
  // disk or a file size limit fails here with the old content untouched. A shorter `size` than
  // the file has takes nothing.
  bool Reserve(int64_t size);
  bool WriteAt(int64_t offset, const void* data, size_t size);
  // Cuts the file to `size` bytes: only once the new content stands in the file.
  bool Truncate(int64_t size);
  // Pushes the written bytes to the disk.
  bool Sync();
  // False when the last writes did not reach the file.
  bool Close();

  // The first failure since the file was opened (errno of the call that failed).
  const std::error_code& error() const { return error_; }

 private:
  bool Fail();

  int fd_ = -1;
  std::error_code error_;
};

// Writes `size` bytes at the start of `path` in place: bytes after them stay, a missing file is
// created. The settings files are written this way.
bool WriteFileStart(const std::filesystem::path& path, const void* data, size_t size);

}  // namespace korvin
