// korvin-cli ended early, as a user meets it: Ctrl-C typed into its terminal, a second signal, a
// link that stops answering, settings it refuses. Against korvin-sim on a pseudo-terminal.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "recording/test_files.h"
#include "sim/sim_process.h"

namespace korvin {
namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr auto kConnectLimit = 30s;  // generous: the link set-up takes a few seconds
constexpr auto kEndLimit = 15s;

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

// The printed rows of a recording: "n<TAB>hh:mm:ss<TAB>v1<TAB>v2<TAB>v3<TAB>v4".
std::vector<std::vector<std::string>> RowLines(const std::string& output) {
  std::vector<std::vector<std::string>> rows;
  for (const std::string& line : Lines(output)) {
    std::vector<std::string> fields;
    std::istringstream in(line);
    for (std::string field; std::getline(in, field, '\t');) fields.push_back(field);
    if (fields.size() == 6 && !fields[0].empty() && std::isdigit(fields[0][0])) {
      rows.push_back(fields);
    }
  }
  return rows;
}

// korvin-cli on a terminal of its own in `folder`, as a user starts it from a shell: Ctrl-C
// written to the terminal reaches it as SIGINT.
class CliOnTerminal {
 public:
  CliOnTerminal(const std::filesystem::path& folder, const std::vector<std::string>& args) {
    pid_ = forkpty(&master_, nullptr, nullptr, nullptr);
    if (pid_ == 0) {
      if (chdir(folder.c_str()) != 0) _exit(126);
      std::vector<char*> argv = {const_cast<char*>(KORVIN_CLI_PATH)};
      for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
      argv.push_back(nullptr);
      execv(KORVIN_CLI_PATH, argv.data());
      _exit(127);
    }
  }
  ~CliOnTerminal() {
    if (pid_ > 0 && !ended_) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    if (master_ >= 0) close(master_);
  }

  bool started() const { return pid_ > 0 && master_ >= 0; }
  const std::string& output() const { return output_; }

  // Reads the terminal until `done` holds for the output or `limit` has passed.
  bool ReadUntil(const std::function<bool(const std::string&)>& done, Clock::duration limit) {
    const Clock::time_point end = Clock::now() + limit;
    while (!done(output_)) {
      if (Clock::now() >= end || !ReadSome(end)) return false;
    }
    return true;
  }
  void Signal(int signal) { kill(pid_, signal); }
  void Type(const std::string& keys) {
    if (write(master_, keys.data(), keys.size()) < 0) ADD_FAILURE() << "cannot type";
  }
  // Reads to the end and returns the exit status; -1 when it did not exit within `limit`.
  int Wait(Clock::duration limit) {
    const Clock::time_point end = Clock::now() + limit;
    while (ReadSome(end)) {
    }
    int status = 0;
    while (Clock::now() < end) {
      if (waitpid(pid_, &status, WNOHANG) == pid_) {
        ended_ = true;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
      }
      std::this_thread::sleep_for(10ms);
    }
    return -1;
  }

 private:
  // False at the end of the output (the terminal reads EIO once the program is gone).
  bool ReadSome(Clock::time_point end) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now());
    pollfd p{master_, POLLIN, 0};
    if (left.count() <= 0 || poll(&p, 1, static_cast<int>(left.count())) <= 0) return false;
    char buffer[512];
    const ssize_t n = read(master_, buffer, sizeof buffer);
    if (n <= 0) return false;
    output_.append(buffer, static_cast<size_t>(n));
    return true;
  }

  pid_t pid_ = -1;
  int master_ = -1;
  bool ended_ = false;
  std::string output_;
};

struct CliResult {
  int status = -1;
  std::string out;
};

// korvin-cli in `folder`, standard error joined to standard output.
CliResult RunIn(const std::filesystem::path& folder, const std::string& args) {
  const std::string command =
      "cd '" + folder.string() + "' && " + KORVIN_CLI_PATH + " " + args + " 2>&1";
  CliResult run;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return run;
  char buffer[512];
  while (fgets(buffer, sizeof buffer, pipe) != nullptr) run.out += buffer;
  const int status = pclose(pipe);
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

std::string Fixed3(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.3f", value);
  return text;
}

test::BiffFile ReadSheet(const std::filesystem::path& file) {
  return test::ParseBiff(test::ReadBytes(file));
}

// Ctrl-C typed into the terminal, or SIGTERM from a service manager or a closed session: the
// recording is written with every printed row, and the exit status tells the signal.
TEST(CliStop, CtrlCAndSigtermWriteEveryPrintedRow) {
  struct Stop {
    int signal;  // sent to the program; SIGINT is typed as Ctrl-C instead
    int status;
    std::string name;
    std::string file;
  };
  for (const Stop& stop :
       {Stop{SIGINT, 130, "SIGINT", "ctrlc"}, Stop{SIGTERM, 143, "SIGTERM", "term"}}) {
    SCOPED_TRACE(stop.name);
    sim::SimProcess simulator(KORVIN_SIM_PATH, {"--type", "0x1030"});
    ASSERT_FALSE(simulator.path().empty());
    test::TempFolder folder;
    CliOnTerminal cli(folder.path(), {"--port", simulator.path(), "record", "--hours", "0",
                                      "--minutes", "5", "--interval", "3", "--file", stop.file});
    ASSERT_TRUE(cli.started());
    // Rows at the ticks 1 and 4; the safe copy on disk has only the first.
    ASSERT_TRUE(cli.ReadUntil([](const std::string& out) { return RowLines(out).size() >= 2; },
                              kConnectLimit))
        << cli.output();
    if (stop.signal == SIGINT) {
      cli.Type("\x03");
    } else {
      cli.Signal(stop.signal);
    }
    EXPECT_EQ(cli.Wait(kEndLimit), stop.status) << cli.output();

    const auto rows = RowLines(cli.output());
    ASSERT_GE(rows.size(), 2u);
    const std::string xls = stop.file + ".xls";
    EXPECT_NE(cli.output().find("written: " + xls), std::string::npos) << cli.output();
    EXPECT_NE(cli.output().find("the recording ended early, by " + stop.name + ": " + xls +
                                " holds " + std::to_string(rows.size()) + " of " +
                                std::to_string(rows.size()) + " rows"),
              std::string::npos)
        << cli.output();

    const test::BiffFile sheet = ReadSheet(folder.path() / xls);
    ASSERT_TRUE(sheet.wellFormed);
    EXPECT_EQ(sheet.At(5, 1)->number, static_cast<double>(rows.size()));
    for (size_t i = 0; i < rows.size(); ++i) {
      SCOPED_TRACE(i);
      const int row = 10 + static_cast<int>(i);
      ASSERT_NE(sheet.At(row, 0), nullptr);
      EXPECT_EQ(std::to_string(static_cast<int>(sheet.At(row, 0)->number)), rows[i][0]);
      EXPECT_EQ(sheet.At(row, 1)->text, rows[i][1]);
      for (int ch = 0; ch < 4; ++ch)
        EXPECT_EQ(Fixed3(sheet.At(row, 2 + ch)->number), rows[i][2 + ch]);
    }
    EXPECT_EQ(sheet.At(10 + static_cast<int>(rows.size()), 0), nullptr);
  }
}

TEST(CliStop, WithCsvEveryPrintedRowIsAlreadyInTheCsv) {
  sim::SimProcess simulator(KORVIN_SIM_PATH, {"--type", "0x1030"});
  ASSERT_FALSE(simulator.path().empty());
  test::TempFolder folder;
  CliOnTerminal cli(folder.path(),
                    {"--port", simulator.path(), "record", "--hours", "0", "--minutes", "5",
                     "--interval", "3", "--file", "dryer", "--csv"});
  ASSERT_TRUE(cli.started());
  ASSERT_TRUE(cli.ReadUntil([](const std::string& out) { return RowLines(out).size() >= 3; },
                            kConnectLimit))
      << cli.output();
  // The recording runs on; what it printed is on disk, in the CSV, already.
  const auto printed = RowLines(cli.output());
  const test::CsvText running = test::ReadCsv(folder.path() / "dryer.csv");
  ASSERT_GE(running.lines.size(), 1 + printed.size());
  EXPECT_EQ(running.lines[0].rfind("No.,Time,CH 1 [C],CH 2 [", 0), 0u) << running.lines[0];
  EXPECT_TRUE(running.tail.empty());
  cli.Type("\x03");
  EXPECT_EQ(cli.Wait(kEndLimit), 130) << cli.output();

  const auto rows = RowLines(cli.output());
  const std::string count = std::to_string(rows.size());
  EXPECT_NE(cli.output().find("written: dryer.xls"), std::string::npos) << cli.output();
  EXPECT_NE(cli.output().find("written: dryer.csv"), std::string::npos) << cli.output();
  EXPECT_NE(cli.output().find("dryer.xls holds " + count + " of " + count + " rows, dryer.csv " +
                              count + " of " + count),
            std::string::npos)
      << cli.output();
  const test::CsvText csv = test::ReadCsv(folder.path() / "dryer.csv");
  EXPECT_TRUE(csv.tail.empty());
  ASSERT_EQ(csv.lines.size(), 1 + rows.size());
  for (size_t i = 0; i < rows.size(); ++i) {
    SCOPED_TRACE(i);
    std::vector<std::string> fields;
    std::istringstream in(csv.lines[1 + i]);
    for (std::string field; std::getline(in, field, ',');) fields.push_back(field);
    ASSERT_EQ(fields.size(), 6u);
    EXPECT_EQ(fields[0], rows[i][0]);
    // yyyy-mm-ddThh:mm:ss+hh:mm, the printed time in the middle
    ASSERT_EQ(fields[1].size(), 25u) << fields[1];
    EXPECT_EQ(fields[1].substr(11, 8), rows[i][1]);
    for (int ch = 0; ch < 4; ++ch) {
      EXPECT_EQ(Fixed3(std::strtof(fields[2 + ch].c_str(), nullptr)), rows[i][2 + ch]);
    }
  }
}

TEST(CliStop, ASecondSignalEndsTheProgramAtOnce) {
  // A sensor that never answers keeps the link set-up trying for several seconds.
  sim::SimProcess simulator(KORVIN_SIM_PATH, {"--silent"});
  ASSERT_FALSE(simulator.path().empty());
  test::TempFolder folder;
  CliOnTerminal cli(folder.path(), {"--port", simulator.path(), "info"});
  ASSERT_TRUE(cli.started());
  std::this_thread::sleep_for(500ms);
  cli.Type("\x03");
  std::this_thread::sleep_for(300ms);
  const Clock::time_point second = Clock::now();
  cli.Type("\x03");
  EXPECT_EQ(cli.Wait(kEndLimit), 130) << cli.output();
  EXPECT_LT(Clock::now() - second, 3s);
}

// The link set-up works; every poll of the online values is refused.
const std::vector<std::string> kRefusedPolls = {"--refuse", "ReadMeasurements"};

TEST(CliStop, AFailedPollPrintsAsSuchNeverAsValues) {
  sim::SimProcess simulator(KORVIN_SIM_PATH, kRefusedPolls);
  ASSERT_FALSE(simulator.path().empty());
  test::TempFolder folder;
  const CliResult watch = RunIn(folder.path(), "--port " + simulator.path() + " watch --count 1");
  EXPECT_EQ(watch.status, 0) << watch.out;
  const std::vector<std::string> lines = Lines(watch.out);
  ASSERT_EQ(lines.size(), 1u) << watch.out;
  // "hh:mm:ss<TAB>no reply"
  ASSERT_EQ(lines[0].size(), 17u) << lines[0];
  EXPECT_EQ(lines[0].substr(8), "\tno reply");
  EXPECT_EQ(lines[0][2], ':');
  EXPECT_EQ(lines[0][5], ':');
}

TEST(CliStop, ARecordingEndedByTheLinkIsWrittenAndTold) {
  sim::SimProcess simulator(KORVIN_SIM_PATH, kRefusedPolls);
  ASSERT_FALSE(simulator.path().empty());
  test::TempFolder folder;
  const CliResult record = RunIn(folder.path(), "--port " + simulator.path() +
                                                    " record --hours 0 --minutes 1 --interval 3 "
                                                    "--file lost");
  EXPECT_EQ(record.status, 1) << record.out;
  EXPECT_NE(record.out.find("Communication error\n"), std::string::npos) << record.out;
  const auto rows = RowLines(record.out);
  EXPECT_NE(record.out.find("korvin-cli: the recording ended early, by a communication failure: "
                            "lost.xls holds " +
                            std::to_string(rows.size()) + " of " + std::to_string(rows.size()) +
                            " rows\n"),
            std::string::npos)
      << record.out;
  const test::BiffFile sheet = ReadSheet(folder.path() / "lost.xls");
  ASSERT_TRUE(sheet.wellFormed);
  EXPECT_EQ(sheet.At(5, 1)->number, static_cast<double>(rows.size()));
}

TEST(CliStop, SettingsTheLoggingPropertiesRefuseAreBadArguments) {
  test::TempFolder folder;
  struct Case {
    const char* args;
    const char* message;
  };
  const Case cases[] = {
      {"record --hours 0 --minutes 0 --interval 3 --file x", "Invalid period setting!\n"},
      {"record --hours 0 --minutes 1 --interval 2 --file x",
       "Invalid interval setting,inverval must be more than 3 seconds.\n"},
      {"record --hours 0 --minutes 1 --interval 3 --file 'a?b'",
       "Invalid file name, it may not hold < > : \" | ? * or control characters!\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args);
    // Refused before any port is opened.
    const CliResult run =
        RunIn(folder.path(), std::string("--port /dev/korvin-no-such-port ") + c.args);
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.out, c.message);
  }
  EXPECT_TRUE(std::filesystem::is_empty(folder.path()));
  const CliResult help = RunIn(folder.path(), "--help");
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("exit status of info, watch and record:"), std::string::npos);
  EXPECT_NE(help.out.find("130/143"), std::string::npos);
}

// The adapter drops out in the middle of a recording with --reconnect: the rows before the drop
// stay, the recording goes on in the same file once the same sensor is back, and the rows'
// times show the gap. Ctrl-C then writes every row of both stretches.
TEST(CliStop, RecordingWithReconnectGoesOnInTheSameFileAfterADrop) {
  test::TempFolder folder;
  const std::filesystem::path link = folder.path() / "adapter";
  const std::vector<std::string> options = {"--type", "0x1030", "--link", link.string()};
  auto simulator = std::make_unique<sim::SimProcess>(KORVIN_SIM_PATH, options);
  ASSERT_FALSE(simulator->path().empty());
  CliOnTerminal cli(folder.path(), {"--port", link.string(), "record", "--hours", "0", "--minutes",
                                    "5", "--interval", "3", "--file", "drop", "--reconnect"});
  ASSERT_TRUE(cli.started());
  ASSERT_TRUE(cli.ReadUntil([](const std::string& out) { return RowLines(out).size() >= 2; },
                            kConnectLimit))
      << cli.output();
  simulator.reset();
  ASSERT_TRUE(cli.ReadUntil(
      [](const std::string& out) { return out.find("is gone; waiting") != std::string::npos; },
      kEndLimit))
      << cli.output();
  std::this_thread::sleep_for(4s);
  simulator = std::make_unique<sim::SimProcess>(KORVIN_SIM_PATH, options);
  ASSERT_FALSE(simulator->path().empty());
  const size_t before = RowLines(cli.output()).size();
  ASSERT_TRUE(cli.ReadUntil(
      [&](const std::string& out) { return RowLines(out).size() >= before + 2; }, kConnectLimit))
      << cli.output();
  cli.Type("\x03");
  EXPECT_EQ(cli.Wait(kEndLimit), 130) << cli.output();
  EXPECT_NE(cli.output().find("polling resumes"), std::string::npos) << cli.output();

  const auto rows = RowLines(cli.output());
  const test::BiffFile sheet = ReadSheet(folder.path() / "drop.xls");
  ASSERT_TRUE(sheet.wellFormed);
  ASSERT_EQ(sheet.At(5, 1)->number, static_cast<double>(rows.size()));
  const auto seconds = [](const std::string& hms) {
    return std::stoi(hms.substr(0, 2)) * 3600 + std::stoi(hms.substr(3, 2)) * 60 +
           std::stoi(hms.substr(6, 2));
  };
  for (size_t i = 0; i < rows.size(); ++i) {
    SCOPED_TRACE(i);
    ASSERT_NE(sheet.At(10 + static_cast<int>(i), 1), nullptr);
    EXPECT_EQ(sheet.At(10 + static_cast<int>(i), 1)->text, rows[i][1]);
  }
  // Rows 3 s apart, except across the drop (seconds of waiting and a new link set-up).
  const int gap = (seconds(rows[before][1]) - seconds(rows[before - 1][1]) + 86400) % 86400;
  EXPECT_GE(gap, 7) << rows[before - 1][1] << " -> " << rows[before][1];
}

}  // namespace
}  // namespace korvin
