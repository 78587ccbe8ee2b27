#include "app/com_settings.h"

#include <cstdio>

#include "platform/writable_file.h"

namespace korvin {

namespace {

constexpr size_t kFieldSize = 4;

int32_t DecodeLe32(const unsigned char* bytes) {
  return static_cast<int32_t>(
      static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
      static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24);
}

class File {
 public:
  File(const std::filesystem::path& path, const char* mode)
      : file_(std::fopen(path.string().c_str(), mode)) {}
  ~File() {
    if (file_ != nullptr) std::fclose(file_);
  }
  File(const File&) = delete;
  File& operator=(const File&) = delete;

  std::FILE* get() const { return file_; }

 private:
  std::FILE* file_;
};

}  // namespace

ComSettings LoadComSettings(const std::filesystem::path& file) {
  ComSettings settings;
  File in(file, "rb");
  if (in.get() == nullptr) return settings;
  unsigned char field[kFieldSize];
  if (std::fread(field, 1, kFieldSize, in.get()) == kFieldSize) {
    settings.portIndex = DecodeLe32(field);
    if (std::fread(field, 1, kFieldSize, in.get()) == kFieldSize) {
      settings.linkProfile = DecodeLe32(field);
    }
  }
  if (settings.portIndex < 0 || settings.portIndex >= kComPortCount) {
    settings.portIndex = kDefaultComPortIndex;
  }
  return settings;
}

bool SaveComPortIndex(const std::filesystem::path& file, int32_t portIndex) {
  const auto value = static_cast<uint32_t>(portIndex);
  const unsigned char field[kFieldSize] = {
      static_cast<unsigned char>(value), static_cast<unsigned char>(value >> 8),
      static_cast<unsigned char>(value >> 16), static_cast<unsigned char>(value >> 24)};
  // In place: the link profile and whatever follows the index stay, also in a file that cannot
  // be read back; only a missing file is created.
  return WriteFileStart(file, field, kFieldSize);
}

}  // namespace korvin
