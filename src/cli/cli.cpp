#include "cli/cli.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <ostream>

#include "cli/cli_connection.h"
#include "cli/cli_trace.h"
#include "cli/dialog_command.h"
#include "cli/identity_lines.h"
#include "cli/link_recovery.h"
#include "cli/stop_signals.h"
#include "device/connect_sequence.h"
#include "device/identity.h"
#include "device/online_poller.h"
#include "platform/clock.h"
#include "platform/cp936.h"
#include "platform/event_pump.h"
#include "platform/port_names.h"
#include "protocol/service_link.h"
#include "recording/c_logging.h"
#include "recording/local_time.h"
#include "recording/record_settings.h"
#include "sim/sensor_line.h"
#include "tables/number_format.h"

namespace korvin {

namespace {

constexpr char kVersion[] = "korvin-cli 1.1";
constexpr char kDefaultPort[] = "COM1";
constexpr uint16_t kDefaultSimulatedType = 0x1030;
constexpr int kDefaultWatchCount = 10;
constexpr int kRowPlaces = 3;
// How often a wait looks whether a stop signal came.
constexpr int64_t kStopCheckMs = 50;
constexpr char kNoReply[] = "no reply";

constexpr char kUsage[] =
    "usage: korvin-cli [--port COMn|DEVICE] [--simulate[=TYPE]] [--trace FILE]\n"
    "                  COMMAND [options]\n"
    "\n"
    "Connects to one dew point sensor, runs COMMAND and disconnects again.\n"
    "\n"
    "  --port COMn|DEVICE   serial port: COM1 ... COM9 (see KORVIN_COMn) or a device path\n"
    "  --simulate[=TYPE]    use the built-in virtual sensor (device type, default 0x1030)\n"
    "  --trace FILE         write every event on the serial line to FILE, decoded, as it\n"
    "                       happens (any command, the dialogs too)\n"
    "  --help, --version\n"
    "\n"
    "commands:\n"
    "  info                 identity as the main window shows it\n"
    "  watch [--count N] [--reconnect [--reconnect-minutes M]]\n"
    "                       online values once a second, N lines (default 10)\n"
    "  record --hours H --minutes M --interval S [--average] --file NAME\n"
    "         [--description TEXT] [--csv] [--reconnect [--reconnect-minutes M]]\n"
    "                       record the online values into NAME.xls (replaced if it exists),\n"
    "                       one printed line per stored row; at least 3 s between rows, at\n"
    "                       most 16374 rows\n"
    "                       --csv: every row also goes to NAME.csv as it is taken; the CSV\n"
    "                       has no row limit and goes on when the sheet is full\n"
    "  --reconnect          when the port goes away (adapter unplugged), wait for it to come\n"
    "                       back, checking once a second for M minutes (default 10, 1 to\n"
    "                       1440), connect again and go on polling; a sensor with another\n"
    "                       serial number ends the command. A recording goes on in the same\n"
    "                       file: no rows are taken while the sensor is away, so the gap\n"
    "                       shows in the rows' times, and the record time counts only the\n"
    "                       time polled (the recording ends that much later)\n"
    "\n"
    "Ctrl-C (SIGINT) or SIGTERM stops info, watch or record: a recording writes its file, the\n"
    "sensor is disconnected. A second one ends the program at once.\n"
    "\n"
    "exit status of info, watch and record:\n"
    "  0        done\n"
    "  1        the sensor could not be reached, the link failed or a file could not be\n"
    "           written (the message says which)\n"
    "  2        bad arguments: an unknown command or option, or record settings that the\n"
    "           logging properties refuse\n"
    "  130/143  stopped by SIGINT / SIGTERM\n";

struct Options {
  std::string port = kDefaultPort;
  bool simulate = false;
  uint16_t simulatedType = kDefaultSimulatedType;
  std::string command;
  int count = kDefaultWatchCount;
  RecordSettings record;
  bool fileGiven = false;
  bool reconnect = false;
  int reconnectMinutes = kDefaultReconnectMinutes;
  bool reconnectMinutesGiven = false;
};

std::optional<long> ParseNumber(const std::string& text) {
  if (text.empty()) return std::nullopt;
  char* end = nullptr;
  const long v = std::strtol(text.c_str(), &end, 0);
  if (end == nullptr || *end != '\0') return std::nullopt;
  return v;
}

// Returns the options, or an error text for the usage message.
std::optional<Options> ParseArgs(const std::vector<std::string>& args, std::string& error) {
  Options o;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto value = [&](const char* what) -> std::optional<std::string> {
      if (i + 1 >= args.size()) {
        error = std::string(what) + " needs a value";
        return std::nullopt;
      }
      return args[++i];
    };
    if (a == "--port") {
      auto v = value("--port");
      if (!v) return std::nullopt;
      o.port = *v;
    } else if (a == "--simulate") {
      o.simulate = true;
    } else if (a.rfind("--simulate=", 0) == 0) {
      const auto type = ParseNumber(a.substr(11));
      if (!type || *type < 0 || *type > 0xFFFF) {
        error = "--simulate takes a device type code such as 0x1030";
        return std::nullopt;
      }
      o.simulate = true;
      o.simulatedType = static_cast<uint16_t>(*type);
    } else if (a == "--count") {
      auto v = value("--count");
      if (!v) return std::nullopt;
      const auto n = ParseNumber(*v);
      if (!n || *n < 1 || *n > 1'000'000) {
        error = "--count takes a number from 1 to 1000000";
        return std::nullopt;
      }
      o.count = static_cast<int>(*n);
    } else if (a == "--hours" || a == "--minutes" || a == "--interval") {
      auto v = value(a.c_str());
      if (!v) return std::nullopt;
      const auto n = ParseNumber(*v);
      if (!n || *n < 0 || *n > 1'000'000) {
        error = a + " takes a whole number";
        return std::nullopt;
      }
      int32_t& field = a == "--hours"     ? o.record.hours
                       : a == "--minutes" ? o.record.minutes
                                          : o.record.interval;
      field = static_cast<int32_t>(*n);
    } else if (a == "--reconnect") {
      o.reconnect = true;
    } else if (a == "--reconnect-minutes") {
      auto v = value("--reconnect-minutes");
      if (!v) return std::nullopt;
      const auto n = ParseNumber(*v);
      if (!n || *n < 1 || *n > kMaxReconnectMinutes) {
        error = "--reconnect-minutes takes a number from 1 to 1440";
        return std::nullopt;
      }
      o.reconnectMinutes = static_cast<int>(*n);
      o.reconnectMinutesGiven = true;
    } else if (a == "--average") {
      o.record.average = true;
    } else if (a == "--csv") {
      o.record.csv = true;
    } else if (a == "--file") {
      auto v = value("--file");
      if (!v) return std::nullopt;
      o.record.fileName = *v;
      o.fileGiven = true;
    } else if (a == "--description") {
      auto v = value("--description");
      if (!v) return std::nullopt;
      o.record.description = *v;
    } else if (!a.empty() && a[0] == '-') {
      error = "unknown option " + a;
      return std::nullopt;
    } else if (o.command.empty()) {
      o.command = a;
    } else {
      error = "unexpected argument " + a;
      return std::nullopt;
    }
  }
  if (o.command != "info" && o.command != "watch" && o.command != "record") {
    error = o.command.empty() ? "no command given" : "unknown command " + o.command;
    return std::nullopt;
  }
  if (o.reconnect && o.command == "info") {
    error = "--reconnect is for watch and record";
    return std::nullopt;
  }
  if (o.reconnectMinutesGiven && !o.reconnect) {
    error = "--reconnect-minutes needs --reconnect";
    return std::nullopt;
  }
  if (o.command == "record" && !o.fileGiven) {
    error = "record needs --file NAME";
    return std::nullopt;
  }
  return o;
}

// Messages go to the error stream as the main window would show them in a box.
class StreamUi final : public Ui {
 public:
  explicit StreamUi(std::ostream& err) : err_(err) {}
  void Message(const std::string& text) override { err_ << text << '\n'; }
  void MessageWithDetail(const std::string& text, const std::string& detail) override {
    err_ << text << '\n' << detail << '\n';
  }
  bool AskYesNo(const std::string&) override { return true; }
  bool AskOkCancel(const std::string&) override { return true; }

 private:
  std::ostream& err_;
};

std::string WatchLine(const OnlinePoller& poller, const DeviceRecord& record) {
  const auto& rows = poller.rows();
  const IdentityLabels labels = UnitLabelsOf(record);
  std::string line;
  for (int row = 0; row < 4; ++row) {
    if (row > 0) line += '\t';
    if (row == kRowPressure && !record.HasPressureSensor()) continue;
    line += rows[row] + " " + labels.units[row];
  }
  return line;
}

// A failed poll shows as such, never as the last values it left on the rows.
std::string NoReplyLine() {
  return FormatSheetTime(CurrentLocalTime()) + "\t" + kNoReply;
}

// Ticks once a second on a fixed grid, as the main window's timer does, however long a poll took.
class Ticker {
 public:
  explicit Ticker(Clock& clock) : clock_(clock), nextMs_(clock.NowMs()) {}
  // A new grid from now, after a pause in which no ticks were wanted.
  void Restart() { nextMs_ = clock_.NowMs(); }
  // False, at once, when a stop signal came: while waiting or before.
  bool Wait() {
    nextMs_ += kPollTimerMs;
    for (;;) {
      if (StopSignals::received() != 0) return false;
      const int64_t left = nextMs_ - clock_.NowMs();
      if (left <= 0) return true;
      clock_.SleepMs(std::min<int64_t>(left, kStopCheckMs));
    }
  }

 private:
  Clock& clock_;
  int64_t nextMs_;
};

std::string RowLine(const RecordedRow& row) {
  std::string line = std::to_string(row.number) + "\t" + row.time;
  for (float v : row.values) line += "\t" + FormatFixed(v, kRowPlaces);
  return line;
}

// The port went away while polling with --reconnect: waits for it and connects again. Null when
// polling resumes (the poller switched on anew, the ticks on a new grid), else what ended it.
const char* ResumeAfterLinkLoss(const Options& options, CliConnection& sensor, OnlinePoller& poller,
                                Ticker& ticker, std::ostream& err) {
  LinkRecovery recovery(sensor.clock(), sensor.port(), options.reconnectMinutes, sensor.Recovery(),
                        err);
  switch (recovery.Recover(sensor.record())) {
    case LinkRecovery::Result::kBack:
      poller.SwitchOn();
      ticker.Restart();
      return nullptr;
    case LinkRecovery::Result::kStopped:
      return StopSignals::Name(StopSignals::received());
    case LinkRecovery::Result::kDifferentSensor:
      return kDifferentSensor;
    case LinkRecovery::Result::kGaveUp:
      break;
  }
  return "the port going away";
}

// Polls once a second and hands every poll to the recorder until the record time is over, the
// link fails or a stop signal comes; what was recorded is written in every case.
int Record(const Options& options, CliConnection& sensor, Ui& ui, std::ostream& out,
           std::ostream& err) {
  DeviceRecord& record = sensor.record();
  CLogging logging;
  logging.SetRowCallback([&](const RecordedRow& row) { out << RowLine(row) << std::endl; });
  bool written = false;
  bool csvWritten = false;
  logging.SetFileCallback([&](const FileWrite& write) {
    if (write.final) (write.kind == FileKind::kCsv ? csvWritten : written) = write.ok;
    if (write.report) ui.Message(FileWriteFailureText(write));
  });
  const std::filesystem::path path = SpreadsheetPath({}, options.record.fileName);
  if (!CreateEmptySpreadsheet(path)) {
    ui.Message("Cannot create " + path.string());
    return kExitFailure;
  }
  if (!logging.Start(options.record, MakeChannelUnitTexts(OnlineUnitLabelsOf(record)))) {
    return kExitFailure;
  }
  OnlinePoller poller(sensor.link().context(), record, ui);
  poller.ReportLinkLoss(options.reconnect);
  poller.SwitchOn();
  Ticker ticker(sensor.clock());
  const char* endedBy = nullptr;
  for (;;) {
    if (!ticker.Wait()) {
      endedBy = StopSignals::Name(StopSignals::received());
      break;
    }
    const OnlinePoller::Outcome outcome = poller.Poll();
    if (outcome == OnlinePoller::Outcome::kStopped) {
      endedBy = "a communication failure";
      break;
    }
    if (outcome == OnlinePoller::Outcome::kLinkLost) {
      // No row is taken while the sensor is away: the next one carries its own, later time.
      endedBy = ResumeAfterLinkLoss(options, sensor, poller, ticker, err);
      if (endedBy != nullptr) break;
      continue;
    }
    logging.Tick(record.online);
    if (logging.TakeSheetFull()) {
      err << "korvin-cli: " << path.string() << " is full at " << kMaxRecordedRows
          << " rows; the recording goes on in " << logging.csvPath().string() << std::endl;
    }
    if (logging.TakeFinished()) break;
  }
  // At the end of the record time the file is written at the next tick; at an early end now.
  if (endedBy == nullptr) logging.Tick(record.online);
  logging.Finish();
  const bool csv = options.record.csv;
  if (written) out << "written: " << path.string() << std::endl;
  if (csv && csvWritten) out << "written: " << logging.csvPath().string() << std::endl;
  if (endedBy != nullptr) {
    err << "korvin-cli: the recording ended early, by " << endedBy << ": " << path.string()
        << " holds " << logging.rowsInFile() << " of " << logging.rowCount() << " rows";
    if (csv) {
      err << ", " << logging.csvPath().string() << " " << logging.csvRowsInFile() << " of "
          << logging.rowCount();
    }
    err << std::endl;
  }
  return written && (!csv || csvWritten) && endedBy == nullptr ? kExitOk : kExitFailure;
}

// Prints the online values once a second; a failed poll prints as such.
int Watch(const Options& options, CliConnection& sensor, Ui& ui, std::ostream& out,
          std::ostream& err) {
  DeviceRecord& record = sensor.record();
  OnlinePoller poller(sensor.link().context(), record, ui);
  poller.ReportLinkLoss(options.reconnect);
  poller.SwitchOn();
  Ticker ticker(sensor.clock());
  for (int i = 0; i < options.count; ++i) {
    if (!ticker.Wait()) break;  // the status comes from the signal
    switch (poller.Poll()) {
      case OnlinePoller::Outcome::kStopped:
        return kExitFailure;
      case OnlinePoller::Outcome::kLinkLost:
        if (ResumeAfterLinkLoss(options, sensor, poller, ticker, err) != nullptr) {
          return kExitFailure;  // a stop signal sets the status itself
        }
        --i;  // the lines counted are the polls shown
        break;
      case OnlinePoller::Outcome::kUpdated:
        out << WatchLine(poller, record) << std::endl;
        break;
      case OnlinePoller::Outcome::kFailed:
      case OnlinePoller::Outcome::kSkipped:
        out << NoReplyLine() << std::endl;
        break;
    }
  }
  return kExitOk;
}

int RunCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
               LinkTrace* trace) {
  for (const std::string& a : args) {
    if (a == "--help" || a == "-h") {
      out << kUsage << DialogUsage();
      return kExitOk;
    }
    if (a == "--version") {
      out << kVersion << '\n';
      return kExitOk;
    }
  }
  if (IsDialogCommand(args)) return RunDialogCommand(args, out, err, trace);
  std::string error;
  std::optional<Options> options = ParseArgs(args, error);
  if (!options) {
    err << "korvin-cli: " << error << "\n\n" << kUsage;
    return kExitUsage;
  }

  if (options->command == "record") {
    // The same checks as the logging properties, before anything is connected; settings they
    // refuse are bad arguments.
    RecordSettings& settings = options->record;
    if (const auto message = CheckRecordSettings(settings)) {
      err << *message << '\n';
      return kExitUsage;
    }
    if (FirstCharacterOutsideCp936(settings.description)) {
      settings.description = ReplaceOutsideCp936(settings.description);
      err << kMsgDescriptionReplaced << '\n';
    }
  }

  StreamUi ui(err);
  CliConnection sensor(
      options->simulate ? std::optional<uint16_t>(options->simulatedType) : std::nullopt,
      options->port, ui);
  sensor.link().SetTrace(trace);
  if (!sensor.Connect()) return kExitFailure;
  DeviceRecord& record = sensor.record();

  int status = kExitOk;
  if (StopSignals::received() != 0) {
    // Stopped while the link was set up: nothing more than the disconnect.
    status = StopSignals::ExitStatus(StopSignals::received());
  } else if (options->command == "info") {
    for (const std::string& l : IdentityLines(record)) out << l << '\n';
    if (FormatIdentity(record).invalidPressureUnit)
      ui.Message(std::string(kInvalidPressureUnitMessage));
  } else if (options->command == "record") {
    status = Record(*options, sensor, ui, out, err);
  } else {
    status = Watch(*options, sensor, ui, out, err);
  }

  sensor.Disconnect();
  return status;
}

}  // namespace

int RunCli(const std::vector<std::string>& givenArgs, std::ostream& out, std::ostream& err) {
  std::vector<std::string> args = givenArgs;
  CliTrace trace;
  std::string traceError;
  const TraceOption traced = TakeTraceOption(args, trace, traceError);
  if (traced != TraceOption::kOk) {
    err << "korvin-cli: " << traceError << '\n';
    return traced == TraceOption::kBadArguments ? kExitUsage : kExitFailure;
  }
  // The dialogs keep the usual Ctrl-C, which ends them at once.
  if (IsDialogCommand(args)) return RunCommand(args, out, err, trace.trace.get());
  const StopSignals stopSignals;
  const int status = RunCommand(args, out, err, trace.trace.get());
  // Stopped by a signal, whatever step was running: the status says so.
  if (StopSignals::received() != 0) return StopSignals::ExitStatus(StopSignals::received());
  return status;
}

}  // namespace korvin
