#include <gtest/gtest.h>
#include <sys/wait.h>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "sim/sim_process.h"

namespace korvin {
namespace {

struct CliRun {
  int status;
  std::string out;
};

CliRun RunCli(const std::string& args) {
  const std::string command = std::string(KORVIN_CLI_PATH) + " " + args + " 2>&1";
  CliRun run{-1, ""};
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return run;
  char buf[512];
  while (fgets(buf, sizeof buf, pipe) != nullptr) run.out += buf;
  const int status = pclose(pipe);
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string l; std::getline(in, l);) lines.push_back(l);
  return lines;
}

TEST(CliOverPty, InfoAndWatchAgainstKorvinSim) {
  sim::SimProcess simulator(KORVIN_SIM_PATH, {"--type", "0x1030"});
  ASSERT_FALSE(simulator.path().empty());

  const CliRun info = RunCli("--port " + simulator.path() + " info");
  ASSERT_EQ(info.status, 0) << info.out;
  const std::vector<std::string> lines = Lines(info.out);
  const char* labels[] = {"Device name: ", "FW version: ",       "HW version: ",  "Serial no.: ",
                          "Item no.: ",    "Calibration date: ", "Unit: ",        "4 mA: ",
                          "20 mA: ",       "Interfaces: ",       "Link profile: "};
  ASSERT_EQ(lines.size(), std::size(labels)) << info.out;
  for (size_t i = 0; i < lines.size(); ++i) EXPECT_EQ(lines[i].rfind(labels[i], 0), 0u) << lines[i];
  EXPECT_EQ(lines[9], "Interfaces: Modbus, 4...20mA");
  EXPECT_EQ(lines[10], "Link profile: 1");

  const CliRun watch = RunCli("--port " + simulator.path() + " watch --count 3");
  ASSERT_EQ(watch.status, 0) << watch.out;
  const std::vector<std::string> rows = Lines(watch.out);
  ASSERT_EQ(rows.size(), 3u);
  for (const std::string& row : rows) {
    // Dew point, alternative value, temperature and pressure, tab-separated, each with its unit.
    EXPECT_EQ(std::count(row.begin(), row.end(), '\t'), 3) << row;
    EXPECT_NE(row.find("℃ Td\t"), std::string::npos) << row;
    EXPECT_NE(row.find("barg"), std::string::npos) << row;
  }
}

// An RS-485 adapter that hears its own requests, in both profiles and with replies in pieces:
// info shows exactly what it shows on a clean line.
TEST(CliOverPty, EchoedRequestsChangeNothing) {
  sim::SimProcess clean(KORVIN_SIM_PATH, {"--type", "0x1030"});
  ASSERT_FALSE(clean.path().empty());
  const CliRun reference = RunCli("--port " + clean.path() + " info");
  ASSERT_EQ(reference.status, 0) << reference.out;
  const std::vector<std::vector<std::string>> faults = {
      {"--echo"}, {"--echo", "--split", "4"}, {"--profile", "V", "--echo"}};
  for (const std::vector<std::string>& fault : faults) {
    std::vector<std::string> options = {"--type", "0x1030"};
    options.insert(options.end(), fault.begin(), fault.end());
    sim::SimProcess simulator(KORVIN_SIM_PATH, options);
    ASSERT_FALSE(simulator.path().empty());
    const CliRun run = RunCli("--port " + simulator.path() + " info");
    EXPECT_EQ(run.status, 0) << fault.back() << "\n" << run.out;
    std::string expected = reference.out;
    if (fault.front() == "--profile") {
      expected.replace(expected.find("Link profile: 1"), 15, "Link profile: 2");
    }
    EXPECT_EQ(run.out, expected) << fault.back();

    // The live values drift, so watch is held to its form: every poll a value line.
    const CliRun watch = RunCli("--port " + simulator.path() + " watch --count 3");
    EXPECT_EQ(watch.status, 0) << fault.back() << "\n" << watch.out;
    std::istringstream lines(watch.out);
    int values = 0;
    for (std::string line; std::getline(lines, line); ++values) {
      EXPECT_NE(line.find("\u2103 Td\t"), std::string::npos) << fault.back() << ": " << line;
    }
    EXPECT_EQ(values, 3) << fault.back() << "\n" << watch.out;
  }
}

TEST(CliOverPty, FailuresPrintTheMessageAndExitWithOne) {
  sim::SimProcess legacy(KORVIN_SIM_PATH, {"--profile", "legacy"});
  ASSERT_FALSE(legacy.path().empty());
  CliRun r = RunCli("--port " + legacy.path() + " info");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "This is old sensor, please communicate with it by QMX410.exe !\n");

  r = RunCli("--port /dev/korvin-no-such-port info");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "Com Open Error!!!\n/dev/korvin-no-such-port: not found\n");

  // A port another instance holds is busy, also for root.
  sim::SimProcess held(KORVIN_SIM_PATH, {});
  ASSERT_FALSE(held.path().empty());
  FILE* first = popen(
      (std::string(KORVIN_CLI_PATH) + " --port " + held.path() + " watch --count 4 2>/dev/null")
          .c_str(),
      "r");
  ASSERT_NE(first, nullptr);
  char line[256];
  ASSERT_NE(fgets(line, sizeof line, first), nullptr) << "the first instance polls";
  r = RunCli("--port " + held.path() + " info");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out,
            "Com Open Error!!!\n" + held.path() + ": busy - another program has the port open\n");
  while (fgets(line, sizeof line, first) != nullptr) {
  }
  EXPECT_EQ(pclose(first), 0);

  r = RunCli("--port COM1 frobnicate");
  EXPECT_EQ(r.status, 2);
}

// The adapter drops out during watch --reconnect: korvin-sim is stopped, its link path vanishes,
// and a new korvin-sim comes up on the same path a few seconds later. The watch says so, waits,
// connects again to the same (virtual) sensor and prints all the lines it was asked for.
TEST(CliOverPty, WatchReconnectsWhenThePortComesBack) {
  const std::filesystem::path link =
      std::filesystem::temp_directory_path() / ("korvin-reconnect-" + std::to_string(getpid()));
  const std::vector<std::string> options = {"--type", "0x1030", "--link", link.string()};
  auto simulator = std::make_unique<sim::SimProcess>(KORVIN_SIM_PATH, options);
  ASSERT_FALSE(simulator->path().empty());

  const std::string command = std::string(KORVIN_CLI_PATH) + " --port " + link.string() +
                              " watch --count 5 --reconnect --reconnect-minutes 1 2>&1";
  FILE* pipe = popen(command.c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  std::string out;
  int values = 0;
  char buf[512];
  while (fgets(buf, sizeof buf, pipe) != nullptr) {
    out += buf;
    if (std::string(buf).find("℃ Td") == std::string::npos) continue;
    if (++values == 2) {
      simulator.reset();
      std::this_thread::sleep_for(std::chrono::seconds(3));
      simulator = std::make_unique<sim::SimProcess>(KORVIN_SIM_PATH, options);
      ASSERT_FALSE(simulator->path().empty());
    }
  }
  const int status = pclose(pipe);
  ASSERT_TRUE(WIFEXITED(status)) << out;
  EXPECT_EQ(WEXITSTATUS(status), 0) << out;
  EXPECT_EQ(values, 5) << out;
  EXPECT_NE(out.find(" is gone; waiting for it to come back (up to 1 minute)"), std::string::npos)
      << out;
  EXPECT_NE(out.find(" is back; connecting again"), std::string::npos) << out;
  EXPECT_NE(out.find("polling resumes"), std::string::npos) << out;
  EXPECT_EQ(out.find("Communication error"), std::string::npos) << out;
}

}  // namespace
}  // namespace korvin
