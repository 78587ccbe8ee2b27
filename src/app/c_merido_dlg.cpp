#include "app/c_merido_dlg.h"

#include "app/com_settings.h"
#include "device/identity.h"
#include "platform/port_names.h"
#include "platform/scoped_flag.h"

namespace korvin {

namespace {

// After "Off" the last values stay on screen this long before the rows are emptied.
constexpr int kSwitchOffPauseMs = 1000;

constexpr std::string_view kMsgOutOfMemory = "Out of memory !";
constexpr std::string_view kMsgFileNotFound = "File not found !";
constexpr std::string_view kMsgPathNotFound = "Path not found !";
constexpr std::string_view kMsgBadFormat = "Bad Format !";
constexpr std::string_view kMsgHelpError = " Error !";

std::optional<Rgb> HighlightWhen(const std::string& text, std::string_view highlighted) {
  if (text == highlighted) return kHighlightColour;
  return std::nullopt;
}

}  // namespace

std::string_view HelpErrorText(HelpOpenResult result) {
  switch (result) {
    case HelpOpenResult::kOpened:
      return {};
    case HelpOpenResult::kOutOfMemory:
      return kMsgOutOfMemory;
    case HelpOpenResult::kFileNotFound:
      return kMsgFileNotFound;
    case HelpOpenResult::kPathNotFound:
      return kMsgPathNotFound;
    case HelpOpenResult::kBadFormat:
      return kMsgBadFormat;
    case HelpOpenResult::kOther:
      break;
  }
  return kMsgHelpError;
}

std::optional<Rgb> MainWindowForm::NewSoftwareColour() const {
  return HighlightWhen(newSoftware, mainwindow::kYes);
}
std::optional<Rgb> MainWindowForm::NewFirmwareColour() const {
  return HighlightWhen(newFirmware, mainwindow::kYes);
}
std::optional<Rgb> MainWindowForm::LoggingStatusColour() const {
  return HighlightWhen(loggingStatus, CLogging::kStatusRunning);
}

void CMeridoDlg::PollerUi::Message(const std::string& text) {
  // The poller reports only the failure that ended polling; no tick may run under the message.
  dlg_.host_.StopPollTimer();
  // The recorder's ticks end with polling: its rows go to the disk before the message waits.
  dlg_.logging_.SaveNow();
  dlg_.ui_.Message(text);
  dlg_.ShowFileMessage();
}

void CMeridoDlg::PollerUi::Refresh() {
  if (dlg_.poller_.running()) {
    dlg_.form_.values = dlg_.poller_.rows();
  } else {
    // Polling ended: by the failure limit (the timer stops before the rows are emptied), or by
    // "Off" pressed while this poll waited for its reply, whose values come too late to show.
    dlg_.host_.StopPollTimer();
    dlg_.form_.values = {};
  }
  dlg_.ui_.Refresh();
}

CMeridoDlg::CMeridoDlg(ServiceLink& link, Ui& ui, MainWindowHost& host, CLogging& logging,
                       DownloadPageReader& pageReader, Options options)
    : link_(link),
      ui_(ui),
      host_(host),
      logging_(logging),
      pageReader_(pageReader),
      options_(std::move(options)),
      poller_(link.context(), record_, pollerUi_) {
  form_.loggingStatus = CLogging::kStatusStopped;
  form_.calibrationData.visible = options_.factory;
  logging_.SetFileCallback([this](const FileWrite& write) {
    if (write.report) pendingFileMessage_ = FileWriteFailureText(write);
  });
}

CMeridoDlg::~CMeridoDlg() {
  logging_.SetFileCallback(nullptr);
}

void CMeridoDlg::ShowFileMessage() {
  if (pendingFileMessage_.empty() || showingFileMessage_) return;
  const std::string text = std::move(pendingFileMessage_);
  pendingFileMessage_.clear();
  ScopedFlag showing(showingFileMessage_);
  ui_.Message(text);
}

std::filesystem::path CMeridoDlg::SettingsFile(const char* name) const {
  return options_.settingsFolder.empty() ? std::filesystem::path(name)
                                         : options_.settingsFolder / name;
}

void CMeridoDlg::OnInitDialog() {
  const ComSettings com = LoadComSettings(SettingsFile(kComSettingsFileName));
  comPortIndex_ = com.portIndex;
  record_.linkProfile = com.linkProfile;
  LoadRecordSettings(SettingsFile(kRecordSettingsFileName), recordSettings_);

  host_.ShowSplash();
  updateChecker_.SetPageText(
      ReadDownloadPage(pageReader_, link_.clock(), options_.downloadPageUrl));
  form_.newSoftware = UpdateStatusText(updateChecker_.CheckSoftware(form_.title));
  ui_.Refresh();
  host_.CloseSplash();
}

void CMeridoDlg::OnConnect() {
  if (!connected_) {
    form_.comPort.enabled = false;
    ui_.Refresh();
    CConnect dialog(link_, ui_);
    dialog.Open(ConnectMode::kConnect, ComPortName(comPortIndex_));
    host_.RunConnectDialog(dialog);
    if (dialog.result() == 0) {
      form_.comPort.enabled = true;
      return;
    }
    connected_ = true;
    form_.connect.caption = mainwindow::kDisconnect;
    CopyConnectResult(dialog.values(), record_);
    for (size_t i = 0; i < mainwindow::kInterfaceFlags.size(); ++i) {
      form_.interfaces[i] = (record_.interfaces & mainwindow::kInterfaceFlags[i]) != 0;
    }
    form_.onOff.enabled = true;
    SetTaskButtonsEnabled(true);
    form_.exit.enabled = false;
    ShowIdentity();
    CheckFirmware();
    return;
  }

  CConnect dialog(link_, ui_);
  dialog.Open(ConnectMode::kDisconnect, ComPortName(comPortIndex_), record_.deviceType);
  host_.RunConnectDialog(dialog);
  connected_ = false;
  form_.connect.caption = mainwindow::kConnect;
  EndRecording();
  ClearIdentity();
  form_.onOff.enabled = false;
  SetTaskButtonsEnabled(false);
  form_.comPort.enabled = true;
  form_.exit.enabled = true;
}

void CMeridoDlg::SetTaskButtonsEnabled(bool enabled) {
  form_.calibration.enabled = enabled;
  form_.sensorSettings.enabled = enabled;
  form_.calibrationData.enabled = enabled;
  form_.sensorInfo.enabled = enabled;
  form_.communication.enabled = enabled && record_.HasFieldbusSettings();
}

void CMeridoDlg::ShowIdentity() {
  const IdentityTexts texts = FormatIdentity(record_);
  form_.deviceName = record_.deviceName;
  form_.firmware = texts.firmware;
  form_.hardware = texts.hardware;
  form_.calibrationDate = texts.calibrationDate;
  form_.serial = texts.serial;
  form_.item = texts.item;
  form_.at4mA = texts.at4mA;
  form_.at20mA = texts.at20mA;
  if (texts.analogueUnit) form_.analogueUnit = *texts.analogueUnit;
  form_.unitLabels[kRowTemperature] = texts.temperatureLabel;
  form_.unitLabels[kRowDewPoint] = texts.dewPointLabel;
  if (texts.altDewPointLabel) form_.unitLabels[kRowAltDewPoint] = *texts.altDewPointLabel;
  if (texts.pressureLabel) form_.unitLabels[kRowPressure] = *texts.pressureLabel;
  if (texts.picture) form_.picture = *texts.picture;
  if (texts.invalidPressureUnit) {
    ui_.Refresh();
    ui_.Message(std::string(kInvalidPressureUnitMessage));
  }
}

void CMeridoDlg::CheckFirmware() {
  form_.newFirmware =
      UpdateStatusText(updateChecker_.CheckFirmware(record_.deviceType, form_.firmware));
}

// A disconnect shows nothing of the sensor any more: identity, units, values, interfaces and
// the firmware result are emptied, the record starts over.
void CMeridoDlg::ClearIdentity() {
  form_.deviceName.clear();
  form_.firmware.clear();
  form_.hardware.clear();
  form_.serial.clear();
  form_.item.clear();
  form_.calibrationDate.clear();
  form_.analogueUnit.clear();
  form_.at4mA.clear();
  form_.at20mA.clear();
  form_.values = {};
  form_.unitLabels = {};
  form_.interfaces = {};
  form_.newFirmware.clear();
  form_.loggingStatus = CLogging::kStatusStopped;
  form_.picture = kPictureNoSensor;
  poller_.ClearRows();
  record_ = DeviceRecord();
}

// A recording that outlived its polling (stopped by failed polls) ends with the connection,
// and what it recorded is written now rather than lost.
void CMeridoDlg::EndRecording() {
  if (!logging_.active() && logging_.state() == CLogging::State::kIdle) return;
  logging_.Finish();
  form_.record.caption = logging_.ButtonCaption();
  form_.loggingStatus = logging_.StatusText();
  ShowFileMessage();
}

void CMeridoDlg::OnOnOff() {
  if (poller_.running()) {
    SwitchPollingOff();
  } else {
    SwitchPollingOn();
  }
}

void CMeridoDlg::SwitchPollingOn() {
  poller_.SwitchOn();
  form_.values = {};
  ui_.Refresh();
  form_.onOff.caption = mainwindow::kOff;
  form_.connect.enabled = false;
  form_.calibration.enabled = false;
  form_.sensorSettings.enabled = false;
  form_.calibrationData.enabled = false;
  form_.sensorInfo.enabled = false;
  form_.comPort.enabled = false;
  form_.communication.enabled = false;
  host_.StartPollTimer();
  form_.record.enabled = true;
  // Back on after failed polls ended it while a recording ran: polling stays on until the
  // recording is over, as when the recording started.
  if (logging_.active()) form_.onOff.enabled = false;
}

void CMeridoDlg::EnableTasksAfterPolling() {
  form_.calibration.enabled = true;
  form_.sensorSettings.enabled = true;
  form_.calibrationData.enabled = true;
  form_.sensorInfo.enabled = true;
  form_.record.enabled = false;
  form_.connect.enabled = true;
  form_.communication.enabled = record_.HasFieldbusSettings();
}

void CMeridoDlg::SwitchPollingOff() {
  EnableTasksAfterPolling();
  form_.onOff.caption = mainwindow::kOn;
  poller_.SwitchOff();
  host_.StopPollTimer();
  // No tick comes until polling is on again: a recording that was stopped or ran out of time
  // within the last second is written now, not at a tick that may never come.
  logging_.SaveNow();
  link_.clock().SleepMs(kSwitchOffPauseMs);
  form_.values = {};
  poller_.ClearRows();
  ui_.Refresh();
  ShowFileMessage();
}

void CMeridoDlg::OnTimer(int timerId) {
  if (timerId != kPollTimerId) return;
  Poll();
  RecorderTick();
}

void CMeridoDlg::Poll() {
  if (!poller_.running()) return;
  if (poller_.Poll() != OnlinePoller::Outcome::kStopped) return;
  form_.onOff.caption = mainwindow::kOn;
  EnableTasksAfterPolling();
  // A running recording disabled "On"; without it the recording could never tick again.
  if (logging_.active()) form_.onOff.enabled = true;
}

void CMeridoDlg::RecorderTick() {
  logging_.Tick(record_.online);
  if (logging_.TakeFinished()) {
    // "Logging status:" says "stop" once the record time is over: the recording has ended, and
    // "running" would tell the technician that rows are still being stored.
    form_.record.caption = logging_.ButtonCaption();
    form_.onOff.enabled = true;
    form_.loggingStatus = logging_.StatusText();
  }
  ShowFileMessage();
}

void CMeridoDlg::OnRecord() {
  if (logging_.active()) {
    if (!logging_.AskStop(ui_)) return;
    form_.record.caption = logging_.ButtonCaption();
    form_.onOff.enabled = true;
    form_.loggingStatus = logging_.StatusText();
    return;
  }

  CRecord dialog(recordSettings_, ui_, options_.settingsFolder);
  dialog.Open();
  if (!host_.RunRecordDialog(dialog) || !dialog.accepted()) return;
  OnlineUnitLabels labels;
  labels.temperature = form_.unitLabels[kRowTemperature];
  labels.altDewPoint = form_.unitLabels[kRowAltDewPoint];
  labels.dewPoint = form_.unitLabels[kRowDewPoint];
  labels.pressure = form_.unitLabels[kRowPressure];
  const bool started = logging_.Start(recordSettings_, MakeChannelUnitTexts(labels));
  ShowFileMessage();  // the previous recording's file, written first
  if (!started) return;
  form_.record.caption = logging_.ButtonCaption();
  form_.onOff.enabled = false;
  form_.loggingStatus = logging_.StatusText();
}

void CMeridoDlg::OnComPort() {
  CProperties dialog(comPortIndex_);
  if (host_.RunComPortDialog(dialog)) dialog.OnOk();
  comPortIndex_ = dialog.portIndex();
  // Written on "Cancel" as well: the file then holds the index the window uses.
  SaveComPortIndex(SettingsFile(kComSettingsFileName), comPortIndex_);
}

void CMeridoDlg::RunTask(void (TaskDialogs::*open)(TaskContext&)) {
  if (taskDialogs_ == nullptr) return;
  TaskContext context{link_, record_, comPortIndex_, options_.programFolder, form_, ui_};
  (taskDialogs_->*open)(context);
}

TaskEnvironment EnvironmentFor(TaskContext& context) {
  TaskEnvironment environment{context.link, context.record};
  environment.comPortIndex = context.comPortIndex;
  environment.portName = ComPortName(context.comPortIndex);
  environment.programFolder = context.programFolder;
  const MainWindowForm& form = context.form;
  environment.texts = {form.deviceName, form.firmware,        form.hardware,
                       form.serial,     form.item,            form.calibrationDate,
                       form.analogueUnit, form.at4mA,         form.at20mA};
  return environment;
}

void CMeridoDlg::OnCalibration() {
  RunTask(&TaskDialogs::OpenCalibration);
}

void CMeridoDlg::OnSensorSettings() {
  RunTask(&TaskDialogs::OpenSensorSettings);
  ShowIdentity();
}

void CMeridoDlg::OnCommunication() {
  RunTask(&TaskDialogs::OpenCommunication);
}
void CMeridoDlg::OnSensorInfo() {
  RunTask(&TaskDialogs::OpenSensorInfo);
}
void CMeridoDlg::OnCalibrationData() {
  RunTask(&TaskDialogs::OpenCalibrationData);
}

void CMeridoDlg::OnHelp() {
  const HelpOpenResult result = host_.OpenHelpFile(mainwindow::kHelpFile);
  if (result != HelpOpenResult::kOpened) ui_.Message(std::string(HelpErrorText(result)));
}

void CMeridoDlg::OnExit() {
  host_.CloseWindow();
}

void CMeridoDlg::OnClose() {
  if (poller_.running()) {
    poller_.SwitchOff();
    host_.StopPollTimer();
  }
  logging_.Finish();
  ShowFileMessage();
  link_.transport().ClosePort();
}

}  // namespace korvin
