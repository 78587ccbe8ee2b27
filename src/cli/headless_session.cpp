#include "cli/headless_session.h"

#include <algorithm>
#include <map>
#include <ostream>
#include <sstream>

#include "calibration/c_analog_cali.h"
#include "calibration/c_cali_select.h"
#include "calibration/c_calibration_data.h"
#include "calibration/c_manual_calibration.h"
#include "calibration/c_pressure_cali.h"
#include "config/c_modbus_setting.h"
#include "config/c_service_info.h"
#include "config/c_setting.h"
#include "reports/c_certificate.h"

namespace korvin {

namespace {

constexpr int64_t kUsPerSecond = 1'000'000;

std::string KindName(ControlKind kind) {
  switch (kind) {
    case ControlKind::kField:
      return "field";
    case ControlKind::kText:
      return "text";
    case ControlKind::kCheck:
      return "check";
    case ControlKind::kList:
      return "list";
    case ControlKind::kRadio:
      return "radio";
    case ControlKind::kButton:
      return "button";
    case ControlKind::kProgress:
      return "progress";
    case ControlKind::kPicture:
      return "picture";
    case ControlKind::kHeading:
      break;
  }
  return "heading";
}

std::string JsonString(std::string_view text) {
  std::string out = "\"";
  for (const char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (c < 0x20) {
          static constexpr char kHex[] = "0123456789abcdef";
          out += "\\u00";
          out += kHex[c >> 4];
          out += kHex[c & 0x0F];
        } else {
          out += ch;
        }
    }
  }
  return out + "\"";
}

std::string Quoted(const std::vector<std::string>& labels) {
  std::string text;
  for (const std::string& l : labels) {
    if (!text.empty()) text += ", ";
    text += "\"" + l + "\"";
  }
  return text;
}

std::string SaveTarget(const std::filesystem::path& file, std::string_view defaultSuffix) {
  if (defaultSuffix.empty() || file.has_extension()) return file.string();
  return file.string() + "." + std::string(defaultSuffix);
}

}  // namespace

const std::vector<HeadlessDialog>& HeadlessDialogs() {
  static const std::vector<HeadlessDialog> dialogs = {
      {"settings", MainTask::kSensorSettings, {}, &CSetting::Screen},
      {"modbus", MainTask::kCommunication, "Modbus setting", &CModbusSetting::Screen},
      {"calibration", MainTask::kCalibration, {}, &CCaliSelect::Screen},
      {"calibrate-dewpoint", MainTask::kCalibration, "Dew point calibration",
       &CManualCalibration::Screen},
      {"calibrate-pressure", MainTask::kCalibration, "Pressure calibration",
       &CPressureCali::Screen},
      {"calibrate-analogue", MainTask::kCalibration, "Analogue calibration", &CAnalogCali::Screen},
      {"service-info", MainTask::kSensorInfo, {}, &CServiceInfo::Screen},
      {"calibration-data", MainTask::kCalibrationData, {}, &CCalibrationData::Screen, true},
      {"certificate", MainTask::kCalibrationData, "Generate certificate", &CCertificate::Screen,
       true},
  };
  return dialogs;
}

const HeadlessDialog* FindHeadlessDialog(std::string_view name) {
  for (const HeadlessDialog& d : HeadlessDialogs()) {
    if (d.name == name) return &d;
  }
  return nullptr;
}

// The window of one dialog in the terminal: messages and questions on the error stream,
// answers from the command line, timers on the clock.
class HeadlessSession::Host final : public DialogHost {
 public:
  Host(HeadlessSession& session, TaskDialog& dialog) : session_(session), dialog_(dialog) {
    dialog_.Attach(*this);
  }

  void Message(const std::string& text) override {
    session_.err_ << "! " << text << std::endl;
    session_.messages_.push_back(text);
  }
  // The detail goes on the next line, indented, as the box's details would show it.
  void MessageWithDetail(const std::string& text, const std::string& detail) override {
    Message(text);
    session_.err_ << "  " << detail << std::endl;
  }
  bool AskYesNo(const std::string& text) override { return Ask(text, "Yes", "No"); }
  bool AskOkCancel(const std::string& text) override { return Ask(text, "OK", "Cancel"); }

  void RunChild(TaskDialog& child) override {
    Host host(session_, child);
    child.Open();
    session_.Opened(child, host);
    dialog_.Attach(*this);
  }

  void StartTimer(int timerId, int periodMs) override {
    timers_[timerId] = {periodMs, session_.clock_.NowUs() + int64_t{periodMs} * 1000};
  }
  void StopTimer(int timerId) override { timers_.erase(timerId); }

  std::optional<std::string> Input(const InputSpec& input) override {
    std::deque<std::string>& inputs = session_.options_.answers.inputs;
    while (!inputs.empty()) {
      std::string text = inputs.front();
      inputs.pop_front();
      Note(std::string(input.title), text);
      if (AcceptInput(text, *this)) return text;
    }
    Note(std::string(input.title), "(cancelled)");
    return std::nullopt;
  }

  std::optional<std::filesystem::path> ChooseFile(const FileChooserSpec& chooser) override {
    std::deque<std::filesystem::path>& files = session_.options_.answers.files;
    if (files.empty()) {
      Note(std::string(chooser.title), "(cancelled)");
      return std::nullopt;
    }
    std::filesystem::path file = files.front();
    files.pop_front();
    if (chooser.mode == FileChooserSpec::Mode::kSave) {
      file = SaveTarget(file, chooser.defaultSuffix);
      Note(std::string(chooser.title), file.string());
      if (std::filesystem::exists(file) &&
          !AskYesNo(file.string() + " already exists. Replace it?")) {
        return std::nullopt;
      }
    } else {
      Note(std::string(chooser.title), file.string());
    }
    return file;
  }

  bool SavePicture(const std::filesystem::path& png) override {
    const bool saved = session_.pictureSaver_ && session_.pictureSaver_(dialog_, png);
    dialog_.Attach(*this);
    return saved;
  }

  void FileWritten(const std::filesystem::path& file) override {
    session_.files_.push_back(file.string());
    if (!session_.options_.json) session_.out_ << "wrote: " << file.string() << std::endl;
  }

  // Lets the dialog's timers tick for `seconds`, as the window's timers would.
  void Wait(double seconds) {
    Clock& clock = session_.clock_;
    const int64_t until = clock.NowUs() + static_cast<int64_t>(seconds * kUsPerSecond);
    while (!dialog_.ended()) {
      auto next = std::min_element(
          timers_.begin(), timers_.end(),
          [](const auto& a, const auto& b) { return a.second.dueUs < b.second.dueUs; });
      if (next == timers_.end() || next->second.dueUs > until) break;
      const int timerId = next->first;
      if (next->second.dueUs > clock.NowUs()) clock.SleepUs(next->second.dueUs - clock.NowUs());
      next->second.dueUs += int64_t{next->second.periodMs} * 1000;
      dialog_.OnTimer(timerId);
    }
    if (!dialog_.ended() && clock.NowUs() < until) clock.SleepUs(until - clock.NowUs());
  }

 private:
  struct Timer {
    int periodMs = 0;
    int64_t dueUs = 0;
  };

  bool Ask(const std::string& text, const char* yes, const char* no) {
    std::deque<bool>& answers = session_.options_.answers.answers;
    bool answer = false;
    if (!answers.empty()) {
      answer = answers.front();
      answers.pop_front();
    }
    Note(text, answer ? yes : no);
    return answer;
  }

  void Note(const std::string& question, const std::string& answer) {
    session_.err_ << "? " << question << " -> " << answer << std::endl;
    session_.questions_.emplace_back(question, answer);
  }

  HeadlessSession& session_;
  TaskDialog& dialog_;
  std::map<int, Timer> timers_;
};

HeadlessSession::HeadlessSession(Options options, Clock& clock, PictureSaver pictureSaver,
                                 std::ostream& out, std::ostream& err)
    : options_(std::move(options)),
      clock_(clock),
      pictureSaver_(std::move(pictureSaver)),
      out_(out),
      err_(err) {}

std::optional<std::string> HeadlessSession::CheckSteps(const HeadlessDialog& dialog,
                                                       const std::vector<HeadlessStep>& steps) {
  const DialogScreen& screen = dialog.screen();
  for (const HeadlessStep& step : steps) {
    if (step.kind == HeadlessStep::Kind::kWait) continue;
    const std::optional<size_t> id = screen.Find(step.label);
    const bool isButton = id && screen[*id].kind == ControlKind::kButton;
    const bool pressUnknown = step.kind == HeadlessStep::Kind::kPress && !isButton;
    const bool setUnknown = step.kind == HeadlessStep::Kind::kSet && (!id || isButton);
    if (!pressUnknown && !setUnknown) continue;
    std::ostringstream error;
    error << '"' << screen.title() << "\" has no " << (pressUnknown ? "button" : "control") << " \""
          << step.label << "\"; " << (pressUnknown ? "buttons: " : "controls: ")
          << Quoted(pressUnknown ? screen.ButtonLabels() : screen.SettableLabels());
    return error.str();
  }
  return std::nullopt;
}

int HeadlessSession::Run(TaskEnvironment& environment) {
  const HeadlessDialog& target = *options_.dialog;
  const std::unique_ptr<TaskDialog> entry = MakeMainTaskDialog(target.task, environment);
  if (!entry) {
    err_ << "korvin-cli: " << target.name << " is not available" << std::endl;
    return 1;
  }
  return Run(*entry);
}

int HeadlessSession::Run(TaskDialog& entry) {
  const HeadlessDialog& target = *options_.dialog;
  Host host(*this, entry);
  entry.Open();
  if (target.via.empty()) {
    Opened(entry, host);
  } else if (!entry.ended()) {
    const std::optional<size_t> via = entry.screen().Find(target.via);
    if (!via || !entry.form().Enabled(*via)) {
      err_ << "korvin-cli: \"" << target.via << "\" is not available for this sensor in \""
           << entry.screen().title() << "\"" << std::endl;
      return 1;
    }
    entry.Press(*via);
    if (!reachedTarget_) {
      err_ << "korvin-cli: \"" << target.via << "\" opened nothing" << std::endl;
      return 1;
    }
  }
  if (entry.failures() > 0) failed_ = true;
  return failed_ || !targetOpened_ ? 1 : 0;
}

// A dialog has run its open sequence. The target runs the steps and is printed; a dialog it
// opens in turn only shows its messages and is closed again.
void HeadlessSession::Opened(TaskDialog& dialog, Host& host) {
  if (&dialog.screen() != &options_.dialog->screen() || reachedTarget_) {
    if (!dialog.ended()) dialog.CloseBox();
    return;
  }
  reachedTarget_ = true;
  targetOpened_ = !dialog.ended();
  if (targetOpened_) RunSteps(dialog, host);
  if (!options_.screenshot.empty() && !dialog.ended()) {
    if (host.SavePicture(options_.screenshot)) {
      host.FileWritten(options_.screenshot);
    } else {
      StepError("cannot write " + options_.screenshot.string());
    }
  }
  if (dialog.end() == DialogEnd::kFailed || dialog.failures() > 0) failed_ = true;
  if (options_.json) {
    PrintJson(dialog);
  } else {
    Print(dialog);
  }
}

void HeadlessSession::StepError(const std::string& text) {
  err_ << "korvin-cli: " << text << std::endl;
  failed_ = true;
}

void HeadlessSession::RunSteps(TaskDialog& dialog, Host& host) {
  const DialogScreen& screen = dialog.screen();
  for (const HeadlessStep& step : options_.steps) {
    if (dialog.ended()) {
      StepError("the dialog has closed; the remaining steps were not run");
      return;
    }
    if (step.kind == HeadlessStep::Kind::kWait) {
      host.Wait(step.seconds);
      continue;
    }
    const size_t id = *screen.Find(step.label);
    if (step.kind == HeadlessStep::Kind::kPress) {
      // A hidden default button is still reached with Enter.
      const bool reachable = dialog.form()[id].visible || screen[id].Has(control::kDefault);
      if (!dialog.form().Enabled(id) || !reachable) {
        StepError("\"" + screen[id].label + "\" is disabled");
        return;
      }
      dialog.Press(id);
      continue;
    }
    if (const auto refused = dialog.form().SetFromText(id, step.value)) {
      StepError(*refused);
      return;
    }
    dialog.Changed(id);
  }
}

void HeadlessSession::Print(const TaskDialog& dialog) {
  const DialogScreen& screen = dialog.screen();
  const Form& form = dialog.form();
  for (size_t id = 0; id < screen.size(); ++id) {
    const ControlSpec& c = screen[id];
    if (c.kind == ControlKind::kHeading || !form[id].visible) continue;
    const std::string disabled = form.Enabled(id) ? "" : " (disabled)";
    if (c.kind == ControlKind::kButton) {
      out_ << "[" << c.label << "]" << disabled << '\n';
      continue;
    }
    std::string value = form.ValueText(id);
    if (value.find('\n') != std::string::npos) {
      // A log: one indented line per line of text.
      out_ << c.PlainLabel() << ":" << disabled << '\n';
      size_t start = 0;
      while (start <= value.size()) {
        size_t end = value.find('\n', start);
        if (end == std::string::npos) end = value.size();
        std::string line = value.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        out_ << "  " << line << '\n';
        start = end + 1;
      }
      continue;
    }
    out_ << c.PlainLabel() << ": " << value << disabled << '\n';
  }
  out_.flush();
}

void HeadlessSession::PrintJson(const TaskDialog& dialog) {
  const DialogScreen& screen = dialog.screen();
  const Form& form = dialog.form();
  out_ << "{\"dialog\": " << JsonString(screen.title())
       << ", \"open\": " << (dialog.ended() ? "false" : "true") << ", \"messages\": [";
  for (size_t i = 0; i < messages_.size(); ++i) out_ << (i ? ", " : "") << JsonString(messages_[i]);
  out_ << "], \"questions\": [";
  for (size_t i = 0; i < questions_.size(); ++i) {
    out_ << (i ? ", " : "") << "{\"text\": " << JsonString(questions_[i].first)
         << ", \"answer\": " << JsonString(questions_[i].second) << "}";
  }
  out_ << "], \"controls\": [";
  bool first = true;
  for (size_t id = 0; id < screen.size(); ++id) {
    const ControlSpec& c = screen[id];
    if (c.kind == ControlKind::kHeading) continue;
    out_ << (first ? "" : ", ") << "{\"label\": " << JsonString(c.label)
         << ", \"kind\": " << JsonString(KindName(c.kind)) << ", \"value\": ";
    if (c.kind == ControlKind::kCheck || c.kind == ControlKind::kRadio) {
      out_ << (form.Checked(id) ? "true" : "false");
    } else {
      out_ << JsonString(form.ValueText(id));
    }
    if (!form[id].unit.empty()) out_ << ", \"unit\": " << JsonString(form[id].unit);
    if (c.kind == ControlKind::kList) {
      out_ << ", \"entries\": [";
      for (size_t i = 0; i < form[id].entries.size(); ++i) {
        out_ << (i ? ", " : "") << JsonString(form[id].entries[i]);
      }
      out_ << "]";
    }
    out_ << ", \"enabled\": " << (form.Enabled(id) ? "true" : "false")
         << ", \"visible\": " << (form[id].visible ? "true" : "false") << "}";
    first = false;
  }
  out_ << "], \"files\": [";
  for (size_t i = 0; i < files_.size(); ++i) out_ << (i ? ", " : "") << JsonString(files_[i]);
  out_ << "]}" << std::endl;
}

}  // namespace korvin
