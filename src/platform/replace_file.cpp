#include "platform/replace_file.h"

#include <cstdio>
#include <system_error>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

#include "platform/file_handle.h"

namespace korvin {

namespace {

constexpr const char* kTemporarySuffix = ".tmp";

bool SyncToDisk(std::FILE* file) {
  if (std::fflush(file) != 0) return false;
#ifdef _WIN32
  return _commit(_fileno(file)) == 0;
#else
  return fsync(fileno(file)) == 0;
#endif
}

}  // namespace

std::filesystem::path TemporaryBeside(const std::filesystem::path& file) {
  std::filesystem::path temporary = file;
  temporary += kTemporarySuffix;
  return temporary;
}

bool ReplaceFile(const std::filesystem::path& file, std::string_view bytes) {
  const std::filesystem::path temporary = TemporaryBeside(file);
  FileHandle out = OpenFile(temporary, "wb");
  if (!out) return false;
  bool ok = std::fwrite(bytes.data(), 1, bytes.size(), out.get()) == bytes.size() &&
            SyncToDisk(out.get());
  ok = std::fclose(out.release()) == 0 && ok;
  std::error_code error;
  if (ok) std::filesystem::rename(temporary, file, error);
  if (!ok || error) {
    std::filesystem::remove(temporary, error);
    return false;
  }
  return true;
}

}  // namespace korvin
