#pragma once

#include <array>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "app/c_properties.h"
#include "device/connect_sequence.h"
#include "device/device_record.h"
#include "device/device_types.h"
#include "device/online_poller.h"
#include "device/update_check.h"
#include "forms/task_environment.h"
#include "platform/ui.h"
#include "protocol/service_link.h"
#include "recording/c_logging.h"
#include "recording/c_record.h"
#include "recording/record_settings.h"

namespace korvin {

// The texts of the main window.
namespace mainwindow {
inline constexpr std::string_view kTitle = "KORVIN V1.1";

inline constexpr std::string_view kGroupSensorInformation = "Sensor Information";
inline constexpr std::string_view kLabelDeviceName = "Device name:";
inline constexpr std::string_view kLabelFirmware = "FW version:";
inline constexpr std::string_view kLabelHardware = "HW version:";
inline constexpr std::string_view kLabelSerial = "Serial no.:";
inline constexpr std::string_view kLabelItem = "Item no.:";
inline constexpr std::string_view kLabelCalibrationDate = "Calibration date:";

inline constexpr std::string_view kGroupAnalogueOutput = "Analogue output";
inline constexpr std::string_view kLabelUnit = "Unit:";
inline constexpr std::string_view kLabel4mA = "4 mA:";
inline constexpr std::string_view kLabel20mA = "20 mA:";

inline constexpr std::string_view kGroupOnlineValues = "Online values";

// Two blanks, as the window always had them.
inline constexpr std::string_view kGroupInterfaces = "Communication  interface";
inline constexpr std::array<std::string_view, 5> kInterfaceNames = {"Modbus", "MBUS", "IO Link",
                                                                    "SDI", "4...20mA"};
inline constexpr std::array<uint8_t, 5> kInterfaceFlags = {
    kInterfaceModbus, kInterfaceMBus, kInterfaceIoLink, kInterfaceSdi, kInterfaceAnalogue};

inline constexpr std::string_view kGroupStatus = "Status";
inline constexpr std::string_view kLabelNewSoftware = "New software available:";
inline constexpr std::string_view kLabelNewFirmware = "New firmware available:";
inline constexpr std::string_view kLabelLoggingStatus = "Logging status:";

inline constexpr std::string_view kConnect = "Connect";
inline constexpr std::string_view kDisconnect = "Disconnect";
inline constexpr std::string_view kOn = "On";
inline constexpr std::string_view kOff = "Off";
inline constexpr std::string_view kCalibration = "Calibration";
inline constexpr std::string_view kSensorSettings = "Sensor settings";
inline constexpr std::string_view kComPort = "COM Port";
inline constexpr std::string_view kCommunication = "Communication";
inline constexpr std::string_view kSensorInfo = "Sensor Info.";
inline constexpr std::string_view kExit = "Exit";
inline constexpr std::string_view kHelp = "Help";
inline constexpr std::string_view kCalibrationData = "Calibration data";

inline constexpr std::string_view kHelpFile = "QMX410EN.chm";
inline constexpr std::string_view kYes = "Yes";
}  // namespace mainwindow

// How asking the desktop to open the help file ended, in the error classes the window reports.
enum class HelpOpenResult {
  kOpened,
  kOutOfMemory,
  kFileNotFound,
  kPathNotFound,
  kBadFormat,
  kOther
};
// The message for a failure; empty for kOpened.
std::string_view HelpErrorText(HelpOpenResult result);

struct Rgb {
  int red = 0;
  int green = 0;
  int blue = 0;
  bool operator==(const Rgb&) const = default;
};
// "Yes" and "running" are drawn in this colour on a transparent background.
inline constexpr Rgb kHighlightColour = {0, 0, 255};

class CMeridoDlg;

// What the main window gets from its surroundings: the modal dialogs it opens, the polling
// timer, the splash and the desktop. The Qt view implements it; tests script it.
class MainWindowHost {
 public:
  virtual ~MainWindowHost() = default;
  // Shows the connect dialog modally. It runs dialog.OnTimer() from a one-shot timer of
  // kConnectTimerMs unless "Cancel" closed it before, and returns when the dialog has closed.
  virtual void RunConnectDialog(CConnect& dialog) = 0;
  // The COM port selection; true for "OK" (the caller then takes the selection).
  virtual bool RunComPortDialog(CProperties& dialog) = 0;
  // "Logging properties"; true when the settings were accepted.
  virtual bool RunRecordDialog(CRecord& dialog) = 0;
  // Timer kPollTimerId with kPollTimerMs; each tick calls CMeridoDlg::OnTimer(kPollTimerId).
  virtual void StartPollTimer() = 0;
  virtual void StopPollTimer() = 0;
  virtual void ShowSplash() = 0;
  virtual void CloseSplash() = 0;
  virtual HelpOpenResult OpenHelpFile(std::string_view fileName) = 0;
  // Closes the main window, which ends the program.
  virtual void CloseWindow() = 0;
};

struct ButtonState {
  std::string caption;
  bool enabled = false;
  bool visible = true;
  bool operator==(const ButtonState&) const = default;
};

// What the main window shows. The view pushes it into the widgets after every procedure.
struct MainWindowForm {
  std::string title{mainwindow::kTitle};

  std::string deviceName;
  std::string firmware;
  std::string hardware;
  std::string serial;
  std::string item;
  std::string calibrationDate;

  std::string analogueUnit;
  std::string at4mA;
  std::string at20mA;

  // "Online values", top to bottom: dew point, alternative dew point, temperature, pressure
  // (rows kRowDewPoint ... kRowPressure), each with its unit label.
  std::array<std::string, 4> values;
  std::array<std::string, 4> unitLabels;

  int picture = kPictureNoSensor;
  // In the order of mainwindow::kInterfaceNames. The boxes are never enabled.
  std::array<bool, 5> interfaces{};

  std::string newSoftware;
  std::string newFirmware;
  std::string loggingStatus;

  ButtonState connect{std::string(mainwindow::kConnect), true};
  ButtonState onOff{std::string(mainwindow::kOn)};
  ButtonState record{CLogging::kCaptionStart};
  ButtonState calibration{std::string(mainwindow::kCalibration)};
  ButtonState sensorSettings{std::string(mainwindow::kSensorSettings)};
  ButtonState comPort{std::string(mainwindow::kComPort), true};
  ButtonState communication{std::string(mainwindow::kCommunication)};
  ButtonState sensorInfo{std::string(mainwindow::kSensorInfo)};
  ButtonState exit{std::string(mainwindow::kExit), true};
  ButtonState help{std::string(mainwindow::kHelp), false, false};
  ButtonState calibrationData{std::string(mainwindow::kCalibrationData), false, false};

  // The colour of the three status texts; nothing for the normal colour.
  std::optional<Rgb> NewSoftwareColour() const;
  std::optional<Rgb> NewFirmwareColour() const;
  std::optional<Rgb> LoggingStatusColour() const;
};

// Everything a task dialog may take from the main window when it opens. The sensor settings
// change the record's units and analogue scaling in place; the others read.
struct TaskContext {
  ServiceLink& link;
  DeviceRecord& record;
  int comPortIndex;
  const std::filesystem::path& programFolder;
  // Identity texts ("Device name:", "FW version:", ..., "Calibration date:") and analogue
  // output texts ("Unit:", "4 mA:", "20 mA:") as the window shows them.
  const MainWindowForm& form;
  Ui& ui;
};

// What a task dialog gets: the context with the window's texts copied.
TaskEnvironment EnvironmentFor(TaskContext& context);

// The task dialogs behind the main window's buttons, one hook per button. The application
// plugs in the dialogs it has; a button whose hook is not plugged in does nothing.
class TaskDialogs {
 public:
  virtual ~TaskDialogs() = default;
  virtual void OpenCalibration(TaskContext& context) = 0;      // "Calibration"
  virtual void OpenSensorSettings(TaskContext& context) = 0;   // "Sensor settings"
  virtual void OpenCommunication(TaskContext& context) = 0;    // "Communication"
  virtual void OpenSensorInfo(TaskContext& context) = 0;       // "Sensor Info."
  virtual void OpenCalibrationData(TaskContext& context) = 0;  // "Calibration data" (hidden)
};

// The main window without its widgets: what it shows (`form()`), what it owns (the device
// record, the COM port index, the recording settings, the polling state, the update-check
// results) and its procedures. The view calls a procedure per button and timer tick and pushes
// the form afterwards; `Ui::Refresh` asks it to push in the middle of a procedure.
class CMeridoDlg {
 public:
  using Form = MainWindowForm;

  struct Options {
    // Holds comsetting.ini and RecordSetting.ini; empty means the current folder.
    std::filesystem::path settingsFolder;
    // The folder of the program file (the report dialogs write below it).
    std::filesystem::path programFolder;
    std::string downloadPageUrl{kDownloadPageUrl};
    // Factory mode: the hidden "Calibration data" button is shown (it follows the window's
    // enable rules either way).
    bool factory = false;
  };

  CMeridoDlg(ServiceLink& link, Ui& ui, MainWindowHost& host, CLogging& logging,
             DownloadPageReader& pageReader, Options options);
  ~CMeridoDlg();
  CMeridoDlg(const CMeridoDlg&) = delete;
  CMeridoDlg& operator=(const CMeridoDlg&) = delete;

  void SetTaskDialogs(TaskDialogs* dialogs) { taskDialogs_ = dialogs; }

  // Before the window shows: settings files, splash, software check, program folder.
  void OnInitDialog();

  void OnConnect();
  void OnOnOff();
  void OnTimer(int timerId);
  void OnRecord();
  void OnComPort();
  void OnCalibration();
  void OnSensorSettings();
  void OnCommunication();
  void OnSensorInfo();
  void OnCalibrationData();
  void OnHelp();
  void OnExit();
  // The window is closing, by "Exit" or otherwise: polling stops, a recording is written, the
  // port is closed.
  void OnClose();

  // The identity texts, unit labels and picture from the device record.
  void ShowIdentity();

  const Form& form() const { return form_; }
  const DeviceRecord& record() const { return record_; }
  DeviceRecord& record() { return record_; }
  int comPortIndex() const { return comPortIndex_; }
  const RecordSettings& recordSettings() const { return recordSettings_; }
  const std::filesystem::path& programFolder() const { return options_.programFolder; }
  const UpdateChecker& updateChecker() const { return updateChecker_; }
  bool connected() const { return connected_; }
  bool polling() const { return poller_.running(); }
  const OnlinePoller& poller() const { return poller_; }

 private:
  // Forwards the poller's messages and repaints, so the rows reach the form first and the
  // polling timer is stopped before "Communication error" waits for the user.
  class PollerUi final : public Ui {
   public:
    explicit PollerUi(CMeridoDlg& dlg) : dlg_(dlg) {}
    void Message(const std::string& text) override;
    bool AskYesNo(const std::string& text) override { return dlg_.ui_.AskYesNo(text); }
    bool AskYesNoDefaultNo(const std::string& text) override {
      return dlg_.ui_.AskYesNoDefaultNo(text);
    }
    bool AskOkCancel(const std::string& text) override { return dlg_.ui_.AskOkCancel(text); }
    void Refresh() override;

   private:
    CMeridoDlg& dlg_;
  };

  void SwitchPollingOn();
  void SwitchPollingOff();
  void Poll();
  void RecorderTick();
  // "Calibration", "Sensor settings", "Calibration data", "Sensor Info.", "Disconnect" back on
  // and "Start recording" off, as after "Off" or the fourth failed poll.
  void EnableTasksAfterPolling();
  void SetTaskButtonsEnabled(bool enabled);
  void ClearIdentity();
  void EndRecording();
  // A failed write of the recording's file, told once the recorder's call has returned (the
  // message waits for the user while the polling timer goes on ticking).
  void ShowFileMessage();
  void CheckFirmware();
  void RunTask(void (TaskDialogs::*open)(TaskContext&));
  std::filesystem::path SettingsFile(const char* name) const;

  ServiceLink& link_;
  Ui& ui_;
  MainWindowHost& host_;
  CLogging& logging_;
  DownloadPageReader& pageReader_;
  Options options_;
  TaskDialogs* taskDialogs_ = nullptr;
  PollerUi pollerUi_{*this};

  Form form_;
  DeviceRecord record_;
  int comPortIndex_ = 0;
  RecordSettings recordSettings_;
  UpdateChecker updateChecker_;
  OnlinePoller poller_;
  bool connected_ = false;
  std::string pendingFileMessage_;
  bool showingFileMessage_ = false;
};

}  // namespace korvin
