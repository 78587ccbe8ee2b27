// The Qt views offscreen: the widgets mirror the form, the buttons reach the procedures, the
// modal dialogs behave, and closing during a transaction ends the program cleanly.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTcpServer>
#include <QTimer>
#include <functional>
#include <memory>

#include "app/c_connect_view.h"
#include "app/c_merido_dlg_view.h"
#include "app/c_properties_view.h"
#include "app/com_settings.h"
#include "app/qt_download_page_reader.h"
#include "app/qt_ui.h"
#include "app/record_view.h"
#include "gui/gui_test_support.h"
#include "platform/clock.h"
#include "sim/sensor_model.h"
#include "sim/sim_serial_port.h"
#include "support/scripted_ui.h"

namespace korvin {
namespace {

using test::ReadBytes;
using test::ScriptedPageReader;
using test::ScriptedUi;
using test::TempFolder;
using test::WriteBytes;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

bool WaitUntil(const std::function<bool()>& condition, int timeoutMs) {
  QElapsedTimer timer;
  timer.start();
  while (!condition()) {
    if (timer.elapsed() > timeoutMs) return false;
    QApplication::processEvents(QEventLoop::AllEvents, 10);
  }
  return true;
}

// Runs `action` on the modal dialog of type T as soon as it is open.
template <typename T>
void WhenModalOpens(const std::function<void(T&)>& action) {
  auto* poller = new QTimer;
  poller->setInterval(5);
  QObject::connect(poller, &QTimer::timeout, [poller, action] {
    if (auto* dialog = qobject_cast<T*>(QApplication::activeModalWidget())) {
      poller->stop();
      poller->deleteLater();
      action(*dialog);
    }
  });
  poller->start();
}

// A pump that can close the main window in the middle of a read.
class ClosingPump final : public QtEventPump {
 public:
  bool PumpOnce() override {
    ++pumps;
    if (closeOnNextPump != nullptr) {
      QWidget* window = closeOnNextPump;
      closeOnNextPump = nullptr;
      window->close();
    }
    return QtEventPump::PumpOnce();
  }
  QWidget* closeOnNextPump = nullptr;
  int pumps = 0;
};

class MainWindowViewTest : public ::testing::Test {
 protected:
  void Build(uint16_t deviceType = 0x1030, DownloadPageReader* reader = nullptr,
             std::string pageUrl = std::string(kDownloadPageUrl)) {
    sensor_ = std::make_unique<sim::SensorModel>(deviceType, sim::LinkKind::kProfileF, clock_);
    port_ = std::make_unique<sim::SimSerialPort>(*sensor_, clock_);
    link_ = std::make_unique<ServiceLink>(*port_, clock_, pump_);
    LoggingOptions logging;
    logging.folder = folder_.path();
    logging_ = std::make_unique<CLogging>(logging);
    CMeridoDlg::Options options;
    options.settingsFolder = folder_.path();
    options.programFolder = folder_.path();
    options.downloadPageUrl = std::move(pageUrl);
    view_ = std::make_unique<CMeridoDlgView>(*link_, pump_, *logging_,
                                             reader != nullptr ? *reader : reader_, options);
    view_->SetUiOverride(&ui_);
  }
  void Connect() {
    view_->button(MainButton::kConnect)->click();
    ASSERT_TRUE(view_->dialog().connected());
  }
  std::string Text(const QLineEdit* field) const { return field->text().toStdString(); }

  TempFolder folder_;
  VirtualClock clock_;
  ClosingPump pump_;
  ScriptedUi ui_;
  ScriptedPageReader reader_;
  std::unique_ptr<sim::SensorModel> sensor_;
  std::unique_ptr<sim::SimSerialPort> port_;
  std::unique_ptr<ServiceLink> link_;
  std::unique_ptr<CLogging> logging_;
  std::unique_ptr<CMeridoDlgView> view_;
};

TEST_F(MainWindowViewTest, StartsWithTheCaptionsAndOnlyThreeButtonsEnabled) {
  Build();
  view_->Initialise();
  EXPECT_EQ(view_->windowTitle().toStdString(), "KORVIN V1.1");
  struct Case {
    MainButton button;
    const char* caption;
    bool enabled;
    bool visible;
  };
  const Case cases[] = {
      {MainButton::kConnect, "Connect", true, true},
      {MainButton::kOnOff, "On", false, true},
      {MainButton::kRecord, "Start recording", false, true},
      {MainButton::kCalibration, "Calibration", false, true},
      {MainButton::kSensorSettings, "Sensor settings", false, true},
      {MainButton::kComPort, "COM Port", true, true},
      {MainButton::kCommunication, "Communication", false, true},
      {MainButton::kSensorInfo, "Sensor Info.", false, true},
      {MainButton::kExit, "Exit", true, true},
      {MainButton::kHelp, "Help", false, false},
      {MainButton::kCalibrationData, "Calibration data", false, false},
  };
  for (const Case& c : cases) {
    const QPushButton* b = view_->button(c.button);
    EXPECT_EQ(b->text().toStdString(), c.caption);
    EXPECT_EQ(b->isEnabled(), c.enabled) << c.caption;
    EXPECT_EQ(b->isVisibleTo(view_.get()), c.visible) << c.caption;
  }
  EXPECT_EQ(Text(view_->widgets().loggingStatus), "stop");
  EXPECT_EQ(Text(view_->widgets().newSoftware), "---");
  EXPECT_FALSE(view_->widgets().picture->pixmap().isNull());
  for (const QCheckBox* box : view_->widgets().interfaces) EXPECT_FALSE(box->isEnabled());
  EXPECT_FALSE(view_->splashShown());
}

TEST_F(MainWindowViewTest, ComPortDialogShowsTheStoredPortAndSavesTheChoice) {
  WriteBytes(folder_ / kComSettingsFileName, {2, 0, 0, 0, 0x11, 0x22, 0x33, 0x44});
  Build();
  view_->Initialise();
  int shown = -1;
  std::string title;
  std::vector<std::string> entries;
  WhenModalOpens<CPropertiesView>([&](CPropertiesView& dialog) {
    title = dialog.windowTitle().toStdString();
    shown = dialog.portList()->currentIndex();
    for (int i = 0; i < dialog.portList()->count(); ++i) {
      entries.push_back(dialog.portList()->itemText(i).toStdString());
    }
    dialog.portList()->setCurrentIndex(4);
    dialog.accept();
  });
  view_->button(MainButton::kComPort)->click();
  EXPECT_EQ(title, "Interface ");
  EXPECT_EQ(shown, 2);  // COM3
  EXPECT_THAT(entries,
              ElementsAre("COM1", "COM2", "COM3", "COM4", "COM5", "COM6", "COM7", "COM8", "COM9"));
  EXPECT_EQ(view_->dialog().comPortIndex(), 4);
  EXPECT_EQ(ReadBytes(folder_ / kComSettingsFileName),
            (std::vector<uint8_t>{4, 0, 0, 0, 0x11, 0x22, 0x33, 0x44}));
}

TEST_F(MainWindowViewTest, ConnectedWindowMirrorsTheForm) {
  reader_.lines = {"ROVA_SOFTWARE/KORVIN_1_2.zip ROVA_FIRMWARE/D810 relaunch/FW_D810_2_4.zip"};
  Build(0x1030);
  view_->Initialise();
  Connect();
  const MainWindowForm& form = view_->dialog().form();
  const auto& w = view_->widgets();
  EXPECT_EQ(Text(w.deviceName), form.deviceName);
  EXPECT_EQ(Text(w.firmware), form.firmware);
  EXPECT_EQ(Text(w.hardware), form.hardware);
  EXPECT_EQ(Text(w.serial), form.serial);
  EXPECT_EQ(Text(w.item), form.item);
  EXPECT_EQ(Text(w.calibrationDate), form.calibrationDate);
  EXPECT_EQ(Text(w.analogueUnit), form.analogueUnit);
  EXPECT_EQ(Text(w.at4mA), form.at4mA);
  EXPECT_EQ(Text(w.at20mA), form.at20mA);
  EXPECT_EQ(w.unitLabels[kRowDewPoint]->text().toStdString(), "℃ Td");
  EXPECT_EQ(Text(w.deviceName), "D810 Modbus");
  for (size_t i = 0; i < w.interfaces.size(); ++i) {
    EXPECT_EQ(w.interfaces[i]->isChecked(), form.interfaces[i]) << i;
    EXPECT_FALSE(w.interfaces[i]->isEnabled());
  }
  EXPECT_EQ(view_->button(MainButton::kConnect)->text().toStdString(), "Disconnect");
  EXPECT_FALSE(view_->button(MainButton::kExit)->isEnabled());
  EXPECT_FALSE(view_->button(MainButton::kComPort)->isEnabled());
  EXPECT_TRUE(view_->button(MainButton::kCommunication)->isEnabled());

  // "Yes" in blue, "No" in the normal colour.
  EXPECT_EQ(Text(w.newSoftware), "Yes");
  EXPECT_EQ(w.newSoftware->palette().color(QPalette::Text), QColor(0, 0, 255));
  EXPECT_EQ(Text(w.newFirmware), "No");
  EXPECT_NE(w.newFirmware->palette().color(QPalette::Text), QColor(0, 0, 255));
  EXPECT_THAT(ui_.messages, IsEmpty());
}

// The reason a port would not open is the message box's detail text; the message stays as it is.
TEST_F(MainWindowViewTest, ComOpenErrorBoxCarriesTheReason) {
  Build();
  view_->SetUiOverride(nullptr);
  port_->SetOpenFails(true, PortOpenFailure::kPermissionDenied);
  std::string text;
  std::string detail;
  WhenModalOpens<QMessageBox>([&](QMessageBox& box) {
    text = box.text().toStdString();
    detail = box.detailedText().toStdString();
    box.accept();
  });
  view_->button(MainButton::kConnect)->click();
  EXPECT_FALSE(view_->dialog().connected());
  EXPECT_EQ(text, "Com Open Error!!!");
  EXPECT_EQ(detail,
            "COM1: permission denied - add your user to the group dialout and log in again");
}

TEST_F(MainWindowViewTest, OnStartsTimer8001AndItsTicksShowValues) {
  Build(0x1030);
  view_->Initialise();
  Connect();
  view_->button(MainButton::kOnOff)->click();
  EXPECT_TRUE(view_->pollTimerActive());
  EXPECT_EQ(view_->pollTimerInterval(), 1000);
  EXPECT_EQ(view_->button(MainButton::kOnOff)->text().toStdString(), "Off");
  EXPECT_FALSE(view_->button(MainButton::kConnect)->isEnabled());
  EXPECT_TRUE(view_->button(MainButton::kRecord)->isEnabled());
  ASSERT_TRUE(
      WaitUntil([&] { return !view_->widgets().values[kRowDewPoint]->text().isEmpty(); }, 3000));
  EXPECT_FALSE(view_->widgets().values[kRowTemperature]->text().isEmpty());
  EXPECT_FALSE(view_->widgets().values[kRowPressure]->text().isEmpty());

  view_->button(MainButton::kOnOff)->click();
  EXPECT_FALSE(view_->pollTimerActive());
  EXPECT_TRUE(view_->widgets().values[kRowDewPoint]->text().isEmpty());
  EXPECT_TRUE(view_->button(MainButton::kConnect)->isEnabled());
}

TEST_F(MainWindowViewTest, ClosingDuringATransactionEndsTheReadAndTheProgram) {
  Build(0x1030);
  view_->Initialise();
  view_->show();
  Connect();
  view_->button(MainButton::kOnOff)->click();
  // The sensor stops answering; the next poll waits in its read, and the window closes there.
  sensor_->faults().silent = true;
  const int pumpsBefore = pump_.pumps;
  pump_.closeOnNextPump = view_.get();
  const int64_t requestsBefore = static_cast<int64_t>(sensor_->log().size());
  ASSERT_TRUE(WaitUntil([&] { return !view_->isVisible(); }, 5000));
  EXPECT_GT(pump_.pumps, pumpsBefore);
  EXPECT_TRUE(pump_.quitRequested());
  EXPECT_FALSE(view_->pollTimerActive());
  EXPECT_FALSE(port_->IsOpen());
  // The read ended at the quit request: no retries went out after it.
  EXPECT_EQ(static_cast<int64_t>(sensor_->log().size()), requestsBefore + 1);
  EXPECT_THAT(ui_.messages, IsEmpty());
}

TEST_F(MainWindowViewTest, ExitClosesTheWindow) {
  Build();
  view_->Initialise();
  view_->show();
  view_->button(MainButton::kExit)->click();
  EXPECT_FALSE(view_->isVisible());
}

TEST_F(MainWindowViewTest, StartUpWithoutNetworkDoesNotWaitTheFullLimit) {
  // A port nobody listens on: the request fails at once, as without network.
  QTcpServer probe;
  ASSERT_TRUE(probe.listen(QHostAddress::LocalHost));
  const quint16 closedPort = probe.serverPort();
  probe.close();
  QtDownloadPageReader reader;
  Build(0x1030, &reader, "http://127.0.0.1:" + std::to_string(closedPort) + "/en/downloads/0079");
  QElapsedTimer timer;
  timer.start();
  view_->Initialise();
  EXPECT_LT(timer.elapsed(), 1500);
  EXPECT_EQ(Text(view_->widgets().newSoftware), "---");
}

TEST_F(MainWindowViewTest, SplashStaysUpAndAliveWhileThePageIsRead) {
  // A server that accepts and never answers keeps the page read waiting to its limit.
  QTcpServer silent;
  ASSERT_TRUE(silent.listen(QHostAddress::LocalHost));
  constexpr int64_t kLimitMs = 400;
  QtDownloadPageReader reader(kLimitMs);
  Build(0x1030, &reader,
        "http://127.0.0.1:" + std::to_string(silent.serverPort()) + "/en/downloads/0079");
  bool splashSeen = false;
  QTimer::singleShot(100, [&] { splashSeen = view_->splashShown(); });
  QElapsedTimer timer;
  timer.start();
  view_->Initialise();
  EXPECT_GE(timer.elapsed(), kLimitMs - 50);
  EXPECT_TRUE(splashSeen);
  EXPECT_FALSE(view_->splashShown());
  EXPECT_EQ(Text(view_->widgets().newSoftware), "---");
}

// ---------------------------------------------------------------------------------------------
// The connect dialog.

class ConnectViewTest : public ::testing::Test {
 protected:
  VirtualClock clock_;
  NullEventPump pump_;
  sim::SensorModel sensor_{0x1030, sim::LinkKind::kProfileF, clock_};
  sim::SimSerialPort port_{sensor_, clock_};
  ServiceLink link_{port_, clock_, pump_};
  ScriptedUi ui_;
  CConnect connect_{link_, ui_};
};

TEST_F(ConnectViewTest, RunsTheSequenceFromItsTimerAndFillsTheBar) {
  connect_.Open(ConnectMode::kConnect, "COM1");
  CConnectView view(connect_);
  EXPECT_EQ(view.windowTitle().toStdString(), "Connect");
  EXPECT_EQ(view.textLine()->text().toStdString(), "Connecting to device......");
  EXPECT_EQ(view.cancelButton()->text().toStdString(), "Cancel");
  EXPECT_EQ(view.progressBar()->maximum(), 20);
  EXPECT_EQ(view.progressBar()->value(), 0);
  QElapsedTimer timer;
  timer.start();
  EXPECT_EQ(view.exec(), QDialog::Accepted);
  EXPECT_GE(timer.elapsed(), 450);
  EXPECT_TRUE(view.sequenceStarted());
  EXPECT_EQ(connect_.result(), 1);
  EXPECT_EQ(view.progressBar()->value(), connect_.form().progress);
  EXPECT_GT(view.progressBar()->value(), 10);
}

TEST_F(ConnectViewTest, CancelBeforeTheTimerClosesWithoutConnecting) {
  connect_.Open(ConnectMode::kConnect, "COM1");
  CConnectView view(connect_);
  QTimer::singleShot(50, view.cancelButton(), &QPushButton::click);
  EXPECT_EQ(view.exec(), QDialog::Rejected);
  EXPECT_FALSE(view.sequenceStarted());
  EXPECT_EQ(connect_.result(), 0);
  EXPECT_EQ(port_.openCount(), 0);
}

TEST_F(ConnectViewTest, CancelDuringTheSequenceIsIgnored) {
  connect_.Open(ConnectMode::kConnect, "COM1");
  CConnectView view(connect_);
  // "Cancel" pressed at every step of the running sequence.
  const auto repaint = connect_.onProgress;
  connect_.onProgress = [&view, repaint] {
    repaint();
    view.cancelButton()->click();
  };
  EXPECT_EQ(view.exec(), QDialog::Accepted);
  EXPECT_EQ(connect_.result(), 1);
}

// ---------------------------------------------------------------------------------------------
// The logging properties.

TEST(QuestionBoxTest, EnterAnswersTheDefault) {
  struct Case {
    const char* name;
    DefaultAnswer defaultAnswer;
    QMessageBox::StandardButton button;
    bool answer;
  };
  const Case cases[] = {
      {"Yes by default", DefaultAnswer::kYes, QMessageBox::Yes, true},
      {"No for questions that destroy data", DefaultAnswer::kNo, QMessageBox::No, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    QMessageBox::StandardButton seen = QMessageBox::NoButton;
    WhenModalOpens<QMessageBox>([&seen](QMessageBox& box) {
      seen = box.standardButton(box.defaultButton());
      box.defaultButton()->click();  // what Enter does
    });
    EXPECT_EQ(AskYesNoBox(nullptr, CRecord::kQuestionFileExists, c.defaultAnswer), c.answer);
    EXPECT_EQ(seen, c.button);
  }
}

TEST(RecordViewTest, ShowsTheSettingsAndClosesOnlyWhenAccepted) {
  TempFolder folder;
  RecordSettings settings;
  settings.hours = 2;
  settings.minutes = 5;
  settings.interval = 10;
  settings.fileName = "trend";
  settings.description = "first\r\nsecond";
  settings.average = true;
  ScriptedUi ui;
  CRecord record(settings, ui, folder.path());
  record.Open();
  CRecordView view(record);
  EXPECT_EQ(view.windowTitle().toStdString(), "Logging properties");
  EXPECT_EQ(view.hoursField()->text().toStdString(), "2");
  EXPECT_EQ(view.minutesField()->text().toStdString(), "5");
  EXPECT_EQ(view.intervalField()->text().toStdString(), "10");
  EXPECT_EQ(view.fileNameField()->text().toStdString(), "trend");
  EXPECT_EQ(view.descriptionField()->toPlainText().toStdString(), "first\nsecond");
  EXPECT_TRUE(view.averageBox()->isChecked());
  EXPECT_EQ(view.fileNameField()->maxLength(), 19);

  view.show();
  view.intervalField()->setText("2");
  view.accept();
  EXPECT_TRUE(view.isVisible());
  EXPECT_THAT(ui.messages,
              ElementsAre("Invalid interval setting,inverval must be more than 3 seconds."));

  view.intervalField()->setText("3");
  view.descriptionField()->setPlainText("one\ntwo");
  view.accept();
  EXPECT_FALSE(view.isVisible());
  EXPECT_EQ(view.result(), QDialog::Accepted);
  EXPECT_EQ(settings.interval, 3);
  EXPECT_EQ(settings.description, "one\r\ntwo");
  EXPECT_TRUE(std::filesystem::exists(folder / "trend.xls"));
}

TEST(RecordViewTest, FieldsTakeWhatTheFileHolds) {
  TempFolder folder;
  RecordSettings settings{0, 1, 3, "", "", false};
  ScriptedUi ui;
  CRecord record(settings, ui, folder.path());
  record.Open();
  CRecordView view(record);
  struct Case {
    const char* name;
    QString typed;
    QString kept;
  };
  // 99 bytes of code page 936, a line break taking two ("\r\n" in the file).
  const Case descriptions[] = {
      {"single bytes", QString(150, QChar('x')), QString(99, QChar('x'))},
      {"lines", QStringLiteral("ab\n").repeated(40), QStringLiteral("ab\n").repeated(24) + "ab"},
      {"chinese", QStringLiteral("露").repeated(60), QStringLiteral("露").repeated(49)},
  };
  for (const Case& c : descriptions) {
    SCOPED_TRACE(c.name);
    view.descriptionField()->setPlainText(c.typed);
    EXPECT_EQ(view.descriptionField()->toPlainText(), c.kept);
  }
  view.fileNameField()->setText(QStringLiteral("露点").repeated(5));  // 20 bytes
  EXPECT_EQ(view.fileNameField()->text(),
            QStringLiteral("露点").repeated(4) + QStringLiteral("露"));

  // What the fields took, OK takes as well.
  view.descriptionField()->setPlainText(QStringLiteral("ab\n").repeated(40));
  view.show();
  view.accept();
  EXPECT_THAT(ui.messages, IsEmpty());
  EXPECT_FALSE(view.isVisible());
  EXPECT_EQ(StoredTextLength(settings.description), 24u * 4 + 2);
  EXPECT_EQ(StoredTextLength(settings.fileName), kFileNameMaxLength - 1);
}

TEST(RecordViewTest, ShowsTheDescriptionAsItWillBeStored) {
  TempFolder folder;
  RecordSettings settings{0, 1, 3, "trend", "", false};
  ScriptedUi ui;
  CRecord record(settings, ui, folder.path());
  record.Open();
  CRecordView view(record);
  view.show();
  view.descriptionField()->setPlainText(QStringLiteral("Dryer \U0001F600"));
  view.accept();
  EXPECT_TRUE(view.isVisible());
  EXPECT_THAT(ui.messages, ElementsAre(kMsgDescriptionReplaced));
  EXPECT_EQ(view.descriptionField()->toPlainText().toStdString(), "Dryer ?");
  view.accept();
  EXPECT_FALSE(view.isVisible());
  EXPECT_EQ(settings.description, "Dryer ?");
}

}  // namespace
}  // namespace korvin
