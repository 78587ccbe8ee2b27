// Task dialogs from a terminal, end to end: korvin-cli against korvin-sim on a pseudo-terminal,
// as a technician runs them. Real time; nothing here asserts a duration.

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "sim/sim_process.h"

namespace korvin {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

std::filesystem::path TempFile(const std::string& name) {
  return std::filesystem::path(::testing::TempDir()) /
         ("korvin-" + std::to_string(::getpid()) + "-" + name);
}

std::string ReadAll(const std::filesystem::path& file) {
  std::ifstream in(file);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// One run of korvin-cli: its exit status, what it printed and what it told on stderr.
struct DialogRun {
  int status = -1;
  std::string out;
  std::string err;
};

DialogRun RunDialog(const std::string& args) {
  const std::filesystem::path errFile = TempFile("stderr.txt");
  const std::string command = std::string(KORVIN_CLI_PATH) + " " + args + " 2>" + errFile.string();
  DialogRun run;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return run;
  char buf[512];
  while (fgets(buf, sizeof buf, pipe) != nullptr) run.out += buf;
  const int status = pclose(pipe);
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  run.err = ReadAll(errFile);
  std::filesystem::remove(errFile);
  return run;
}

TEST(DialogsOverPty, SensorSettingsSetAndReadBack) {
  sim::SimProcess simulator(KORVIN_SIM_PATH, {"--type", "0x1030"});
  ASSERT_FALSE(simulator.path().empty());
  const std::string port = "--port " + simulator.path();

  const DialogRun set = RunDialog(port +
                                  " settings --answer yes --set \"Filter grade:=7\""
                                  " --set \"Temperature unit:=°F\" --set \"Dew point=0\""
                                  " --press Set");
  ASSERT_EQ(set.status, 0) << set.out << set.err;
  EXPECT_EQ(set.err, "? Is the device with display? -> Yes\n");
  EXPECT_THAT(set.out, HasSubstr("\nFilter grade: 7\n"));
  EXPECT_THAT(set.out, HasSubstr("\nTemperature unit: °F\n"));
  EXPECT_THAT(set.out, HasSubstr("\nDew point: [ ]\n"));
  EXPECT_THAT(set.out, ::testing::EndsWith("\n[Set]\n[Exit]\n"));

  // A new connection reads back what was written.
  const DialogRun read = RunDialog(port + " settings --answer yes");
  ASSERT_EQ(read.status, 0) << read.out << read.err;
  EXPECT_THAT(read.out, HasSubstr("\nFilter grade: 7\n"));
  EXPECT_THAT(read.out, HasSubstr("\nTemperature unit: °F\n"));
  EXPECT_THAT(read.out, HasSubstr("\nDew point: [ ]\n"));
  EXPECT_THAT(read.out, HasSubstr("\nTemperature: [x]\n"));
}

// The lines of a korvin-sim trace heard after the first one that contains `marker`.
std::vector<std::string> TraceAfter(const std::string& trace, const std::string& marker) {
  std::vector<std::string> lines;
  std::istringstream in(trace);
  bool seen = false;
  for (std::string line; std::getline(in, line);) {
    if (seen) lines.push_back(line);
    if (line.find(marker) != std::string::npos) seen = true;
  }
  return lines;
}

TEST(DialogsOverPty, ModbusWriteRelinksAt19200) {
  const std::filesystem::path tracePath = TempFile("trace.txt");
  sim::SimProcess simulator(KORVIN_SIM_PATH, {"--type", "0x1030", "--trace", tracePath.string()});
  ASSERT_FALSE(simulator.path().empty());
  const std::string port = "--port " + simulator.path();

  const DialogRun ok =
      RunDialog(port + " modbus --set \"Device Address=12\" --set \"Baudrate=9600\" --press OK");
  ASSERT_EQ(ok.status, 0) << ok.out << ok.err;
  EXPECT_EQ(ok.err, "");
  EXPECT_THAT(ok.out, ::testing::StartsWith("Device Address: 12\nBaudrate: 9600\n"));
  EXPECT_THAT(ok.out, HasSubstr("\nInterface Space (us): 2005\n"));
  EXPECT_THAT(ok.out, HasSubstr("\nTransmission Mode: RTU\n"));

  // What the sensor heard after the record: the preamble twice at 50000 baud, then the probe at
  // 19200 baud, all 8N1.
  const std::vector<std::string> after = TraceAfter(ReadAll(tracePath), "WriteModbusSettings");
  std::vector<std::string> understood;
  for (const std::string& line : after) {
    if (line.back() != ':') understood.push_back(line.substr(line.find(" at ") + 4));
  }
  EXPECT_THAT(understood,
              ::testing::ElementsAre("50000 baud 8N1: preamble", "50000 baud 8N1: preamble",
                                     "19200 baud 8N1: ReadDeviceType"))
      << ReadAll(tracePath);

  // The next connection finds the new settings in the sensor.
  const DialogRun read = RunDialog(port + " modbus");
  ASSERT_EQ(read.status, 0) << read.out << read.err;
  EXPECT_THAT(read.out, ::testing::StartsWith("Device Address: 12\nBaudrate: 9600\n"));
  std::filesystem::remove(tracePath);
}

TEST(DialogsOverPty, OffsetCalibrationMovesTheLiveDewPoint) {
  sim::SimProcess simulator(KORVIN_SIM_PATH, {"--type", "0x1030"});
  ASSERT_FALSE(simulator.path().empty());
  const DialogRun run = RunDialog("--port " + simulator.path() +
                                  " calibrate-dewpoint --press \"Offset calibration\""
                                  " --input -40.0 --wait 1.5");
  ASSERT_EQ(run.status, 0) << run.out << run.err;
  EXPECT_EQ(run.err,
            "? Input referene dew point -> -40.0\n! Offset calibration finished successfully!\n");
  const std::string label = "\nMeasured dewpoint[℃ Td]: ";
  const size_t at = run.out.find(label);
  ASSERT_NE(at, std::string::npos) << run.out;
  // The sensor's own reading follows its new offset (the process only drifts slowly).
  EXPECT_NEAR(std::strtod(run.out.c_str() + at + label.size(), nullptr), -40.0, 0.3) << run.out;
  EXPECT_THAT(run.out, Not(HasSubstr("QCM sensor offset: 0.000")));
}

}  // namespace
}  // namespace korvin
