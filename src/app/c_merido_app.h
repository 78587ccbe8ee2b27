#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace korvin {

// The program: builds the service link (a real serial port, or the in-process virtual sensor),
// the recorder and the main window, initialises the window and runs it modally; the program ends
// when it closes.
//
//   korvin [--simulate[=TYPE]] [--factory] [--screenshot FILE] [--screenshot-trend FILE]
//          [--screenshot-after SECONDS]
class CMeridoApp {
 public:
  struct Options {
    bool simulate = false;
    uint16_t simulatedType = kDefaultSimulatedType;
    // Connect, poll twice, save the main window as a PNG and exit (needs --simulate or a sensor).
    std::string screenshotFile;
    // Factory mode: "Calibration data" is shown in the main window.
    bool factory = false;
    // The same with the trend window open, saving the trend window.
    std::string trendScreenshotFile;
    // How long the values run before the pictures are taken; 0 for two polls.
    int screenshotAfterSeconds = 0;
    // Every exchange on the serial line is traced into this file ("" for no trace).
    std::string traceFile;
    bool help = false;
  };
  static constexpr uint16_t kDefaultSimulatedType = 0x1030;

  // The options, or nothing with `error` set.
  static std::optional<Options> ParseArguments(const std::vector<std::string>& args,
                                               std::string& error);
  static const char* Usage();

  // Runs the program; returns its exit code.
  int Run(int argc, char** argv);
};

}  // namespace korvin
