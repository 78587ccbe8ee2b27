#include "cli/dialog_command.h"

#include <cstdlib>
#include <memory>
#include <optional>
#include <ostream>

#include "app/report_base_folder.h"
#include "cli/cli.h"
#include "cli/cli_connection.h"
#include "cli/dialog_picture.h"
#include "cli/headless_session.h"
#include "device/connect_sequence.h"
#include "device/identity.h"
#include "platform/clock.h"
#include "platform/event_pump.h"
#include "platform/port_names.h"
#include "platform/program_files.h"
#include "protocol/service_link.h"
#include "sim/sensor_line.h"

namespace korvin {

namespace {

constexpr char kDefaultPort[] = "COM1";
constexpr uint16_t kDefaultSimulatedType = 0x1030;
constexpr char kComPrefix[] = "COM";

struct DialogOptions {
  std::string port = kDefaultPort;
  bool simulate = false;
  uint16_t simulatedType = kDefaultSimulatedType;
  bool factory = false;
  HeadlessSession::Options session;
};

std::optional<long> ParseNumber(const std::string& text) {
  if (text.empty()) return std::nullopt;
  char* end = nullptr;
  const long v = std::strtol(text.c_str(), &end, 0);
  if (end == nullptr || *end != '\0') return std::nullopt;
  return v;
}

std::optional<bool> ParseAnswer(const std::string& text) {
  if (text == "yes" || text == "y" || text == "ok" || text == "Yes" || text == "OK") return true;
  if (text == "no" || text == "n" || text == "cancel" || text == "No" || text == "Cancel") {
    return false;
  }
  return std::nullopt;
}

std::string DialogNames() {
  std::string names;
  for (const HeadlessDialog& d : HeadlessDialogs()) {
    if (!names.empty()) names += ", ";
    names += d.name;
  }
  return names;
}

std::optional<DialogOptions> Parse(const std::vector<std::string>& args, std::string& error) {
  DialogOptions o;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto value = [&]() -> std::optional<std::string> {
      if (i + 1 >= args.size()) {
        error = a + " needs a value";
        return std::nullopt;
      }
      return args[++i];
    };
    if (a == "--port") {
      const auto v = value();
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
    } else if (a == "--factory") {
      o.factory = true;
    } else if (a == "--json") {
      o.session.json = true;
    } else if (a == "--set") {
      const auto v = value();
      if (!v) return std::nullopt;
      const size_t equals = v->find('=');
      if (equals == std::string::npos) {
        error = "--set takes \"LABEL=VALUE\"";
        return std::nullopt;
      }
      o.session.steps.push_back(
          {HeadlessStep::Kind::kSet, v->substr(0, equals), v->substr(equals + 1)});
    } else if (a == "--press") {
      const auto v = value();
      if (!v) return std::nullopt;
      o.session.steps.push_back({HeadlessStep::Kind::kPress, *v});
    } else if (a == "--wait") {
      const auto v = value();
      if (!v) return std::nullopt;
      char* end = nullptr;
      const double seconds = std::strtod(v->c_str(), &end);
      if (v->empty() || *end != '\0' || !(seconds >= 0) || seconds > 86400) {
        error = "--wait takes a number of seconds";
        return std::nullopt;
      }
      HeadlessStep step{HeadlessStep::Kind::kWait};
      step.seconds = seconds;
      o.session.steps.push_back(step);
    } else if (a == "--screenshot") {
      const auto v = value();
      if (!v) return std::nullopt;
      o.session.screenshot = *v;
    } else if (a == "--answer") {
      const auto v = value();
      if (!v) return std::nullopt;
      const auto answer = ParseAnswer(*v);
      if (!answer) {
        error = "--answer takes yes or no";
        return std::nullopt;
      }
      o.session.answers.answers.push_back(*answer);
    } else if (a == "--input") {
      const auto v = value();
      if (!v) return std::nullopt;
      o.session.answers.inputs.push_back(*v);
    } else if (a == "--file") {
      const auto v = value();
      if (!v) return std::nullopt;
      o.session.answers.files.emplace_back(*v);
    } else if (!a.empty() && a[0] == '-') {
      error = "unknown option " + a;
      return std::nullopt;
    } else if (o.session.dialog == nullptr) {
      o.session.dialog = FindHeadlessDialog(a);
      if (o.session.dialog == nullptr) {
        error = "unknown dialog " + a + "; dialogs: " + DialogNames();
        return std::nullopt;
      }
    } else {
      error = "unexpected argument " + a;
      return std::nullopt;
    }
  }
  if (o.session.dialog == nullptr) {
    error = "no dialog given; dialogs: " + DialogNames();
    return std::nullopt;
  }
  if (o.session.dialog->factoryOnly && !o.factory) {
    error = std::string(o.session.dialog->name) + " is reached in factory mode only: add --factory";
    return std::nullopt;
  }
  if (auto bad = HeadlessSession::CheckSteps(*o.session.dialog, o.session.steps)) {
    error = *bad;
    return std::nullopt;
  }
  return o;
}

// Messages of the connect sequence, as the dialog's own: "! TEXT" on the error stream.
class ConnectUi final : public Ui {
 public:
  explicit ConnectUi(std::ostream& err) : err_(err) {}
  void Message(const std::string& text) override { err_ << "! " << text << std::endl; }
  void MessageWithDetail(const std::string& text, const std::string& detail) override {
    Message(text);
    err_ << "  " << detail << std::endl;
  }
  bool AskYesNo(const std::string&) override { return false; }
  bool AskOkCancel(const std::string&) override { return false; }

 private:
  std::ostream& err_;
};

int ComPortIndexOf(const std::string& port) {
  if (port.size() == 4 && port.rfind(kComPrefix, 0) == 0 && port[3] >= '1' && port[3] <= '9') {
    return port[3] - '1';
  }
  return 0;
}

SensorTexts TextsOf(const DeviceRecord& record) {
  const IdentityTexts t = FormatIdentity(record);
  return {record.deviceName,           t.firmware, t.hardware, t.serial, t.item, t.calibrationDate,
          t.analogueUnit.value_or(""), t.at4mA,    t.at20mA};
}

}  // namespace

bool IsDialogCommand(const std::vector<std::string>& args) {
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--port" || a == "--set" || a == "--press" || a == "--wait" || a == "--answer" ||
        a == "--input" || a == "--file" || a == "--screenshot" || a == "--count" ||
        a == "--hours" || a == "--minutes" || a == "--interval" || a == "--description") {
      ++i;
      continue;
    }
    if (!a.empty() && a[0] == '-') continue;
    return FindHeadlessDialog(a) != nullptr;
  }
  return false;
}

std::string DialogUsage() {
  return "\n"
         "dialogs (every task dialog of the main window, without a window):\n"
         "  korvin-cli [--port P | --simulate[=TYPE]] [--factory] DIALOG [STEP ...] [--json]\n"
         "  DIALOG   " +
         DialogNames() +
         "\n"
         "  steps, in the order given, after the dialog has opened:\n"
         "    --set \"LABEL=VALUE\"   put VALUE into the control with that label (field: the\n"
         "                          text; check box: 1/0; list: the entry; row radio: 1)\n"
         "    --press \"BUTTON\"      run that button (its caption as on screen)\n"
         "    --wait SECONDS        let the dialog's timers tick\n"
         "  answers, consumed in order by whatever asks:\n"
         "    --answer yes|no       questions (none left: No / Cancel)\n"
         "    --input TEXT          the small input dialogs (none left: cancelled)\n"
         "    --file PATH           file choosers (none left: cancelled)\n"
         "  --factory               factory mode (calibration data, certificate)\n"
         "  --json                  print one JSON object instead of LABEL: VALUE lines\n"
         "  --screenshot FILE       save a PNG picture of the dialog after the steps\n"
         "  messages go to stderr as \"! TEXT\", questions as \"? TEXT -> ANSWER\"; exit 0 when\n"
         "  the dialog opened and no step ended on a failure message, 1 otherwise, 2 for bad\n"
         "  arguments\n";
}

int RunDialogCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                     LinkTrace* trace) {
  std::string error;
  std::optional<DialogOptions> options = Parse(args, error);
  if (!options) {
    err << "korvin-cli: " << error << '\n';
    return kExitUsage;
  }

  ConnectUi connectUi(err);
  CliConnection sensor(
      options->simulate ? std::optional<uint16_t>(options->simulatedType) : std::nullopt,
      options->port, connectUi);
  sensor.link().SetTrace(trace);
  if (!sensor.Connect()) return kExitFailure;
  DeviceRecord& record = sensor.record();

  TaskEnvironment environment{sensor.link(), record};
  environment.comPortIndex = ComPortIndexOf(options->port);
  environment.portName = options->port;
  environment.programFolder = ReportBaseFolderAtStartUp(ProgramFileFolder());
  environment.texts = TextsOf(record);

  DialogPicture picture;
  HeadlessSession session(
      std::move(options->session), sensor.clock(),
      [&](TaskDialog& dialog, const std::filesystem::path& png) {
        return picture.Save(dialog, png);
      },
      out, err);
  const int status = session.Run(environment);

  sensor.Disconnect();
  return status;
}

}  // namespace korvin
