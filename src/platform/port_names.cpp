#include "platform/port_names.h"

#include <cstdlib>

namespace korvin {

namespace {
constexpr char kComPrefix[] = "COM";
constexpr char kEnvPrefix[] = "KORVIN_";
constexpr char kDefaultDevicePrefix[] = "/dev/ttyUSB";
}  // namespace

std::string ComPortName(int index) {
  return kComPrefix + std::to_string(index + 1);
}

std::string ResolvePortName(const std::string& name) {
  if (name.find('/') != std::string::npos) return name;
  const std::string env = kEnvPrefix + name;
  if (const char* path = std::getenv(env.c_str()); path != nullptr && *path != '\0') return path;
  if (name.rfind(kComPrefix, 0) == 0 && name.size() > 3) {
    char* end = nullptr;
    const long number = std::strtol(name.c_str() + 3, &end, 10);
    if (end != nullptr && *end == '\0' && number >= 1) {
      return kDefaultDevicePrefix + std::to_string(number - 1);
    }
  }
  return "/dev/" + name;
}

}  // namespace korvin
