// korvin-sim: one virtual sensor behind a pseudo-terminal, for demos, training and pty tests.

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/clock.h"
#include "protocol/commands.h"
#include "sim/pty_host.h"
#include "sim/sensor_model.h"

namespace {

using korvin::sim::LinkKind;

constexpr uint16_t kDefaultType = 0x1030;
constexpr int64_t kUsPerMs = 1000;
constexpr int kExitUsage = 2;
constexpr int kExitFailure = 1;

std::atomic<bool> gStop{false};

void OnSignal(int) {
  gStop.store(true);
}

constexpr const char* kHelp =
    "Usage: korvin-sim [options]\n"
    "Serves one virtual dew point sensor through a pseudo-terminal. The first line printed is\n"
    "the path of the terminal to open as the serial port. Ends on SIGTERM or SIGINT.\n"
    "\n"
    "  --type CODE           device type code, e.g. 0x1030 (default), 0x1400, 0x1038\n"
    "  --profile F|V|legacy  link profile: F (preamble at 50000, frames at 19200, default),\n"
    "                        V (1200 baud), legacy (answers only '9' at 1200 baud)\n"
    "  --link PATH           also make PATH a symbolic link to the terminal\n"
    "  --response-delay-ms N turnaround before each reply (default 1)\n"
    "  --trace FILE          write one line per burst heard into FILE: its size, line speed\n"
    "                        and framing, and what the sensor made of it\n"
    "Faults:\n"
    "  --silent              never answer\n"
    "  --refuse CMD[=CODE]   answer '?' to a command, CMD a name (ReadSensorOptions) or\n"
    "                        GGGG/SS in hex (0209/56); CODE the 32-bit device error (hex)\n"
    "  --corrupt-every N     corrupt the CRC or checksum of every Nth reply\n"
    "  --split N             send each reply in N pieces\n"
    "  --split-gap-ms N      pause between pieces (default 30)\n"
    "  --slow                start each reply after the tool's 1000 ms limit\n"
    "  --slow-ms N           delay of a slow reply (default 1500)\n"
    "  --short N             cut N bytes off the end of each reply\n"
    "  --garbage N           append N bytes after each reply\n"
    "  --echo                echo every request byte, as an RS-485 adapter does\n"
    "  --help                this text\n";

std::optional<long> ParseNumber(std::string_view text) {
  const std::string s(text);
  char* end = nullptr;
  errno = 0;
  const long v = std::strtol(s.c_str(), &end, 0);
  if (s.empty() || errno != 0 || *end != '\0') return std::nullopt;
  return v;
}

bool ParseRefusal(korvin::sim::SensorModel& model, std::string_view command) {
  uint32_t code = korvin::sim::kDeviceErrorNotPossible;
  const size_t eq = command.find('=');
  if (eq != std::string_view::npos) {
    const std::string codeText(command.substr(eq + 1));
    char* end = nullptr;
    code = static_cast<uint32_t>(std::strtoul(codeText.c_str(), &end, 16));
    if (codeText.empty() || *end != '\0') return false;
    command = command.substr(0, eq);
  }
  const size_t slash = command.find('/');
  if (slash == std::string_view::npos) {
    for (const korvin::CommandSpec& c : korvin::Catalogue()) {
      if (c.name == command) {
        model.Refuse(c.group, c.sub, code);
        return true;
      }
    }
    return false;
  }
  constexpr unsigned long kMaxGroup = 0xFFFF;
  constexpr unsigned long kMaxSub = 0xFF;
  const std::string group(command.substr(0, slash));
  const std::string sub(command.substr(slash + 1));
  char* end1 = nullptr;
  char* end2 = nullptr;
  const unsigned long g = std::strtoul(group.c_str(), &end1, 16);
  const unsigned long s = std::strtoul(sub.c_str(), &end2, 16);
  if (group.empty() || sub.empty() || *end1 != '\0' || *end2 != '\0' || g > kMaxGroup ||
      s > kMaxSub) {
    return false;
  }
  model.Refuse(static_cast<uint16_t>(g), static_cast<uint8_t>(s), code);
  return true;
}

struct Options {
  uint16_t type = kDefaultType;
  LinkKind link = LinkKind::kProfileF;
  std::string linkPath;
  std::string tracePath;
  std::optional<long> responseDelayMs;
  korvin::sim::FaultSettings faults;
  std::vector<std::string> refusals;
  bool help = false;
};

// Returns false on an option it cannot take, naming it in *bad.
bool ParseOptions(int argc, char** argv, Options& o, std::string* bad) {
  constexpr long kMaxType = 0xFFFF;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    *bad = arg;
    const auto value = [&]() -> std::optional<std::string_view> {
      if (i + 1 >= argc) return std::nullopt;
      return std::string_view(argv[++i]);
    };
    const auto count = [&]() -> std::optional<long> {
      const auto v = value();
      const auto n = v ? ParseNumber(*v) : std::nullopt;
      return n && *n >= 0 ? n : std::nullopt;
    };
    if (arg == "--help") {
      o.help = true;
    } else if (arg == "--type") {
      const auto n = count();
      if (!n || *n > kMaxType) return false;
      o.type = static_cast<uint16_t>(*n);
    } else if (arg == "--profile") {
      const auto v = value();
      if (v == "F" || v == "f") {
        o.link = LinkKind::kProfileF;
      } else if (v == "V" || v == "v") {
        o.link = LinkKind::kProfileV;
      } else if (v == "legacy") {
        o.link = LinkKind::kLegacy;
      } else {
        return false;
      }
    } else if (arg == "--link") {
      const auto v = value();
      if (!v) return false;
      o.linkPath = std::string(*v);
    } else if (arg == "--trace") {
      const auto v = value();
      if (!v) return false;
      o.tracePath = std::string(*v);
    } else if (arg == "--refuse") {
      const auto v = value();
      if (!v) return false;
      o.refusals.emplace_back(*v);
    } else if (arg == "--silent") {
      o.faults.silent = true;
    } else if (arg == "--echo") {
      o.faults.echo = true;
    } else if (arg == "--slow") {
      o.faults.slow = true;
    } else {
      const auto n = count();
      if (!n) return false;
      if (arg == "--response-delay-ms") {
        o.responseDelayMs = n;
      } else if (arg == "--corrupt-every") {
        o.faults.corruptEveryNth = static_cast<int>(*n);
      } else if (arg == "--split") {
        o.faults.splitPieces = static_cast<int>(*n);
      } else if (arg == "--split-gap-ms") {
        o.faults.splitGapUs = *n * kUsPerMs;
      } else if (arg == "--slow-ms") {
        o.faults.slowDelayUs = *n * kUsPerMs;
        o.faults.slow = true;
      } else if (arg == "--short") {
        o.faults.shortBy = static_cast<int>(*n);
      } else if (arg == "--garbage") {
        o.faults.trailingGarbage = static_cast<int>(*n);
      } else {
        return false;
      }
    }
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  std::string bad;
  if (!ParseOptions(argc, argv, options, &bad)) {
    std::fprintf(stderr, "korvin-sim: cannot take option %s (see --help)\n", bad.c_str());
    return kExitUsage;
  }
  if (options.help) {
    std::fputs(kHelp, stdout);
    return 0;
  }

  korvin::SteadyClock clock;
  korvin::sim::SensorModel model(options.type, options.link, clock);
  model.faults() = options.faults;
  if (options.responseDelayMs) model.SetResponseDelayUs(*options.responseDelayMs * kUsPerMs);
  for (const std::string& r : options.refusals) {
    if (!ParseRefusal(model, r)) {
      std::fprintf(stderr, "korvin-sim: cannot refuse '%s' (see --help)\n", r.c_str());
      return kExitUsage;
    }
  }

  korvin::sim::PtyHost host(model, clock);
  std::string error;
  if (!host.Open(&error) ||
      (!options.linkPath.empty() && !host.MakeLink(options.linkPath, &error))) {
    std::fprintf(stderr, "korvin-sim: %s\n", error.c_str());
    return kExitFailure;
  }
  std::FILE* trace = nullptr;
  if (!options.tracePath.empty()) {
    trace = std::fopen(options.tracePath.c_str(), "w");
    if (trace == nullptr) {
      std::fprintf(stderr, "korvin-sim: cannot write %s: %s\n", options.tracePath.c_str(),
                   std::strerror(errno));
      return kExitFailure;
    }
    // Line by line, so that a reader sees each burst as soon as it was heard.
    std::setvbuf(trace, nullptr, _IOLBF, 0);
    host.SetTrace([trace](const std::string& line) { std::fprintf(trace, "%s\n", line.c_str()); });
  }
  std::printf("%s\n", host.slavePath().c_str());
  std::fflush(stdout);

  struct sigaction action {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGINT, &action, nullptr);

  const bool served = host.Serve(gStop);
  if (trace != nullptr) std::fclose(trace);
  return served ? 0 : kExitFailure;
}
