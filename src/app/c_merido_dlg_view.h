#pragma once

#include <QDialog>
#include <QTimer>
#include <array>
#include <functional>
#include <memory>

#include "app/c_merido_dlg.h"
#include "app/qt_event_pump.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace korvin {

class SplashWindow;
class QtTaskDialogs;

// The main window's buttons, in the order of the button column.
enum class MainButton {
  kConnect,
  kOnOff,
  kRecord,
  kCalibration,
  kSensorSettings,
  kSensorInfo,
  kCommunication,
  kComPort,
  kHelp,
  kCalibrationData,
  kExit,
};
inline constexpr int kMainButtonCount = 11;

// The main window on screen: builds the widgets, calls a CMeridoDlg procedure per button and per
// tick of timer 8001, and pushes the form into the widgets after each. It is the Ui and the host
// of its CMeridoDlg: message boxes, the modal dialogs, the timer, the splash and the help file.
//
// Closing the window while a procedure waits for the sensor asks the event pump to quit, so the
// read ends at once; the window closes when the procedure has unwound.
class CMeridoDlgView final : public QDialog, public MainWindowHost, public Ui {
  Q_OBJECT

 public:
  struct Widgets {
    QLineEdit* deviceName = nullptr;
    QLineEdit* firmware = nullptr;
    QLineEdit* hardware = nullptr;
    QLineEdit* serial = nullptr;
    QLineEdit* item = nullptr;
    QLineEdit* calibrationDate = nullptr;
    QLineEdit* analogueUnit = nullptr;
    QLineEdit* at4mA = nullptr;
    QLineEdit* at20mA = nullptr;
    std::array<QLineEdit*, 4> values{};
    std::array<QLabel*, 4> unitLabels{};
    QLabel* picture = nullptr;
    std::array<QCheckBox*, 5> interfaces{};
    QLineEdit* newSoftware = nullptr;
    QLineEdit* newFirmware = nullptr;
    QLineEdit* loggingStatus = nullptr;
    std::array<QPushButton*, kMainButtonCount> buttons{};
  };

  CMeridoDlgView(ServiceLink& link, QtEventPump& pump, CLogging& logging,
                 DownloadPageReader& pageReader, CMeridoDlg::Options options,
                 QWidget* parent = nullptr);
  ~CMeridoDlgView() override;

  // The initialisation before the window shows (settings files, splash, software check).
  void Initialise();

  CMeridoDlg& dialog() { return dialog_; }
  const Widgets& widgets() const { return widgets_; }
  QPushButton* button(MainButton which) const {
    return widgets_.buttons[static_cast<size_t>(which)];
  }
  int pollTimerInterval() const { return pollTimer_.interval(); }
  bool pollTimerActive() const { return pollTimer_.isActive(); }
  bool splashShown() const { return splash_ != nullptr; }

  // Answers messages and questions somewhere else than in message boxes (tests, unattended
  // runs). Null restores the message boxes.
  void SetUiOverride(Ui* ui) { uiOverride_ = ui; }

  // MainWindowHost
  void RunConnectDialog(CConnect& dialog) override;
  bool RunComPortDialog(CProperties& dialog) override;
  bool RunRecordDialog(CRecord& dialog) override;
  void StartPollTimer() override;
  void StopPollTimer() override;
  void ShowSplash() override;
  void CloseSplash() override;
  HelpOpenResult OpenHelpFile(std::string_view fileName) override;
  void CloseWindow() override;

  // Ui
  void Message(const std::string& text) override;
  void MessageWithDetail(const std::string& text, const std::string& detail) override;
  bool AskYesNo(const std::string& text) override;
  bool AskYesNoDefaultNo(const std::string& text) override;
  bool AskOkCancel(const std::string& text) override;
  void Refresh() override;

 public slots:
  // Escape does not end the program; only the close box and "Exit" do.
  void reject() override {}

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void BuildWidgets();
  QPushButton* AddButton(MainButton which, void (CMeridoDlg::*procedure)());
  void RunProcedure(const std::function<void()>& procedure);
  void PushForm();

  QtEventPump& pump_;
  CMeridoDlg dialog_;
  Widgets widgets_;
  QTimer pollTimer_;
  std::unique_ptr<SplashWindow> splash_;
  std::unique_ptr<QtTaskDialogs> tasks_;
  Ui* uiOverride_ = nullptr;
  int depth_ = 0;
  bool closePending_ = false;
  bool closed_ = false;
};

}  // namespace korvin
