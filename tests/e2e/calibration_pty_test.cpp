// A headless calibration as a technician runs it: korvin-cli over a real pseudo-terminal to
// korvin-sim, at real speed.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <unistd.h>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "sim/sim_process.h"

namespace korvin {
namespace {

std::string ReadFile(const std::string& path) {
  std::ifstream in(path);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(CalibrationOverPty, OffsetCalibrationMovesTheLiveDewPoint) {
  sim::SimProcess simulator(KORVIN_SIM_PATH, {"--type", "0x1030"});
  ASSERT_FALSE(simulator.path().empty());
  const std::string errors = (std::filesystem::temp_directory_path() /
                              ("korvin-calibration-pty-" + std::to_string(::getpid())))
                                 .string();
  const std::string command = std::string(KORVIN_CLI_PATH) + " --port " + simulator.path() +
                              " calibrate-dewpoint --press \"Offset calibration\" --input -40.0"
                              " --wait 1.5 2>" +
                              errors;
  FILE* pipe = popen(command.c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  std::string out;
  char buf[512];
  while (fgets(buf, sizeof buf, pipe) != nullptr) out += buf;
  const int status = pclose(pipe);
  const std::string err = ReadFile(errors);
  std::remove(errors.c_str());

  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << out << err;
  EXPECT_EQ(err,
            "? Input referene dew point -> -40.0\n! Offset calibration finished successfully!\n");
  const std::string label = "\nMeasured dewpoint[℃ Td]: ";
  const size_t at = out.find(label);
  ASSERT_NE(at, std::string::npos) << out;
  // The sensor's own reading follows its new offset (the process only drifts slowly).
  EXPECT_NEAR(std::strtod(out.c_str() + at + label.size(), nullptr), -40.0, 0.3) << out;
  EXPECT_EQ(out.find("QCM sensor offset: 0.000"), std::string::npos) << out;
}

}  // namespace
}  // namespace korvin
