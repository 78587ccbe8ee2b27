#include "app/c_merido_dlg_view.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QFormLayout>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

#include "app/c_connect_view.h"
#include "app/c_properties_view.h"
#include "app/pictures.h"
#include "app/qt_task_dialogs.h"
#include "app/qt_ui.h"
#include "app/record_view.h"
#include "app/splash_window.h"

namespace korvin {

namespace {

constexpr int kButtonWidth = 132;
constexpr int kFieldWidth = 150;
constexpr int kValueFieldWidth = 150;
constexpr int kStatusFieldWidth = 64;
constexpr int kUnitLabelWidth = 84;
constexpr int kValueFontGrowth = 5;
constexpr int kSpacing = 10;
constexpr int kButtonSpacing = 6;

QString Text(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QLineEdit* ReadOnlyField(QWidget* parent) {
  auto* field = new QLineEdit(parent);
  field->setReadOnly(true);
  field->setFocusPolicy(Qt::NoFocus);
  // Read-only fields show the window's colour behind their text, the classic read-only look.
  QPalette palette = field->palette();
  palette.setColor(QPalette::Base, palette.color(QPalette::Window));
  field->setPalette(palette);
  return field;
}

void SetText(QLineEdit* field, const std::string& text) {
  const QString value = QString::fromStdString(text);
  if (field->text() != value) field->setText(value);
}

void SetColour(QLineEdit* field, const std::optional<Rgb>& colour) {
  QPalette palette = field->palette();
  const QColor normal = field->parentWidget()->palette().color(QPalette::Text);
  palette.setColor(QPalette::Text,
                   colour ? QColor(colour->red, colour->green, colour->blue) : normal);
  field->setPalette(palette);
}

void SetButton(QPushButton* button, const ButtonState& state) {
  const QString caption = QString::fromStdString(state.caption);
  if (button->text() != caption) button->setText(caption);
  button->setEnabled(state.enabled);
  button->setVisible(state.visible);
}

}  // namespace

CMeridoDlgView::CMeridoDlgView(ServiceLink& link, QtEventPump& pump, CLogging& logging,
                               DownloadPageReader& pageReader, CMeridoDlg::Options options,
                               QWidget* parent)
    : QDialog(parent),
      pump_(pump),
      dialog_(link, *this, *this, logging, pageReader, std::move(options)) {
  setWindowTitle(QString::fromStdString(dialog_.form().title));
  setWindowIcon(WindowIcon());
  setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
  BuildWidgets();
  tasks_ = std::make_unique<QtTaskDialogs>(this, pump_, [this] { return uiOverride_; });
  dialog_.SetTaskDialogs(tasks_.get());

  // The recorder keeps its one-second pace on these ticks; a coarse timer drifts.
  pollTimer_.setTimerType(Qt::PreciseTimer);
  pollTimer_.setInterval(kPollTimerMs);
  connect(&pollTimer_, &QTimer::timeout, this,
          [this] { RunProcedure([this] { dialog_.OnTimer(kPollTimerId); }); });
  PushForm();
}

CMeridoDlgView::~CMeridoDlgView() = default;

void CMeridoDlgView::BuildWidgets() {
  auto addRow = [this](QFormLayout* form, std::string_view label) {
    QLineEdit* field = ReadOnlyField(this);
    field->setMinimumWidth(kFieldWidth);
    form->addRow(Text(label), field);
    return field;
  };

  auto* identity = new QGroupBox(Text(mainwindow::kGroupSensorInformation), this);
  auto* identityForm = new QFormLayout(identity);
  widgets_.deviceName = addRow(identityForm, mainwindow::kLabelDeviceName);
  widgets_.firmware = addRow(identityForm, mainwindow::kLabelFirmware);
  widgets_.hardware = addRow(identityForm, mainwindow::kLabelHardware);
  widgets_.serial = addRow(identityForm, mainwindow::kLabelSerial);
  widgets_.item = addRow(identityForm, mainwindow::kLabelItem);
  widgets_.calibrationDate = addRow(identityForm, mainwindow::kLabelCalibrationDate);

  auto* analogue = new QGroupBox(Text(mainwindow::kGroupAnalogueOutput), this);
  auto* analogueForm = new QFormLayout(analogue);
  widgets_.analogueUnit = addRow(analogueForm, mainwindow::kLabelUnit);
  widgets_.at4mA = addRow(analogueForm, mainwindow::kLabel4mA);
  widgets_.at20mA = addRow(analogueForm, mainwindow::kLabel20mA);
  // Both forms share one label column width, so their fields line up.
  const int labelWidth = fontMetrics().horizontalAdvance(Text(mainwindow::kLabelCalibrationDate));
  for (QFormLayout* form : {identityForm, analogueForm}) {
    for (int row = 0; row < form->rowCount(); ++row) {
      if (QLayoutItem* item = form->itemAt(row, QFormLayout::LabelRole)) {
        item->widget()->setMinimumWidth(labelWidth);
      }
    }
  }

  auto* online = new QGroupBox(Text(mainwindow::kGroupOnlineValues), this);
  auto* onlineGrid = new QGridLayout(online);
  QFont valueFont = font();
  valueFont.setPointSize(valueFont.pointSize() + kValueFontGrowth);
  valueFont.setBold(true);
  for (size_t row = 0; row < widgets_.values.size(); ++row) {
    auto* value = new QLineEdit(this);
    value->setReadOnly(true);
    value->setFocusPolicy(Qt::NoFocus);
    value->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    value->setFont(valueFont);
    value->setMinimumWidth(kValueFieldWidth);
    auto* unit = new QLabel(this);
    unit->setFont(valueFont);
    unit->setMinimumWidth(kUnitLabelWidth);
    onlineGrid->addWidget(value, static_cast<int>(row), 0);
    onlineGrid->addWidget(unit, static_cast<int>(row), 1);
    widgets_.values[row] = value;
    widgets_.unitLabels[row] = unit;
  }
  onlineGrid->setColumnStretch(0, 1);

  widgets_.picture = new QLabel(this);
  widgets_.picture->setFrameShape(QFrame::Box);
  widgets_.picture->setFrameShadow(QFrame::Sunken);
  widgets_.picture->setAlignment(Qt::AlignCenter);
  widgets_.picture->setFixedSize(kDevicePictureWidth + 4, kDevicePictureHeight + 4);

  auto* interfaces = new QGroupBox(Text(mainwindow::kGroupInterfaces), this);
  auto* interfaceLayout = new QVBoxLayout(interfaces);
  for (size_t i = 0; i < widgets_.interfaces.size(); ++i) {
    auto* box = new QCheckBox(Text(mainwindow::kInterfaceNames[i]), this);
    box->setEnabled(false);
    interfaceLayout->addWidget(box);
    widgets_.interfaces[i] = box;
  }

  auto* status = new QGroupBox(Text(mainwindow::kGroupStatus), this);
  auto* statusForm = new QFormLayout(status);
  widgets_.newSoftware = addRow(statusForm, mainwindow::kLabelNewSoftware);
  widgets_.newFirmware = addRow(statusForm, mainwindow::kLabelNewFirmware);
  widgets_.loggingStatus = addRow(statusForm, mainwindow::kLabelLoggingStatus);
  for (QLineEdit* field : {widgets_.newSoftware, widgets_.newFirmware, widgets_.loggingStatus}) {
    field->setFixedWidth(kStatusFieldWidth);
    field->setAlignment(Qt::AlignCenter);
  }

  auto* buttons = new QVBoxLayout;
  buttons->setSpacing(kButtonSpacing);
  AddButton(MainButton::kConnect, &CMeridoDlg::OnConnect);
  AddButton(MainButton::kOnOff, &CMeridoDlg::OnOnOff);
  AddButton(MainButton::kRecord, &CMeridoDlg::OnRecord);
  AddButton(MainButton::kCalibration, &CMeridoDlg::OnCalibration);
  AddButton(MainButton::kSensorSettings, &CMeridoDlg::OnSensorSettings);
  AddButton(MainButton::kSensorInfo, &CMeridoDlg::OnSensorInfo);
  AddButton(MainButton::kCommunication, &CMeridoDlg::OnCommunication);
  AddButton(MainButton::kComPort, &CMeridoDlg::OnComPort);
  AddButton(MainButton::kHelp, &CMeridoDlg::OnHelp);
  AddButton(MainButton::kCalibrationData, &CMeridoDlg::OnCalibrationData);
  AddButton(MainButton::kExit, &CMeridoDlg::OnExit);
  for (size_t i = 0; i < widgets_.buttons.size(); ++i) {
    if (static_cast<MainButton>(i) == MainButton::kExit) buttons->addStretch();
    buttons->addWidget(widgets_.buttons[i]);
  }

  // Two rows of three groups; the groups of a row share their height, so their frames line up.
  auto* groups = new QGridLayout;
  groups->setSpacing(kSpacing);
  groups->addWidget(identity, 0, 0);
  groups->addWidget(online, 0, 1);
  groups->addWidget(interfaces, 0, 2);
  groups->addWidget(analogue, 1, 0);
  groups->addWidget(widgets_.picture, 1, 1, Qt::AlignCenter);
  groups->addWidget(status, 1, 2);
  groups->setColumnStretch(0, 3);
  groups->setColumnStretch(1, 3);
  groups->setColumnStretch(2, 2);
  groups->setRowStretch(2, 1);

  auto* layout = new QHBoxLayout(this);
  layout->setSpacing(2 * kSpacing);
  layout->addLayout(groups, 1);
  layout->addLayout(buttons);
}

QPushButton* CMeridoDlgView::AddButton(MainButton which, void (CMeridoDlg::*procedure)()) {
  auto* button = new QPushButton(this);
  button->setMinimumWidth(kButtonWidth);
  button->setAutoDefault(false);
  connect(button, &QPushButton::clicked, this,
          [this, procedure] { RunProcedure([this, procedure] { (dialog_.*procedure)(); }); });
  widgets_.buttons[static_cast<size_t>(which)] = button;
  return button;
}

void CMeridoDlgView::Initialise() {
  RunProcedure([this] { dialog_.OnInitDialog(); });
}

void CMeridoDlgView::RunProcedure(const std::function<void()>& procedure) {
  if (closed_) return;
  ++depth_;
  procedure();
  --depth_;
  PushForm();
  if (depth_ == 0 && closePending_) {
    closePending_ = false;
    close();
  }
}

void CMeridoDlgView::PushForm() {
  const MainWindowForm& form = dialog_.form();
  setWindowTitle(QString::fromStdString(form.title));
  SetText(widgets_.deviceName, form.deviceName);
  SetText(widgets_.firmware, form.firmware);
  SetText(widgets_.hardware, form.hardware);
  SetText(widgets_.serial, form.serial);
  SetText(widgets_.item, form.item);
  SetText(widgets_.calibrationDate, form.calibrationDate);
  SetText(widgets_.analogueUnit, form.analogueUnit);
  SetText(widgets_.at4mA, form.at4mA);
  SetText(widgets_.at20mA, form.at20mA);
  for (size_t row = 0; row < widgets_.values.size(); ++row) {
    SetText(widgets_.values[row], form.values[row]);
    widgets_.unitLabels[row]->setText(QString::fromStdString(form.unitLabels[row]));
  }
  if (widgets_.picture->property("picture").toInt() != form.picture) {
    widgets_.picture->setPixmap(DevicePicture(form.picture));
    widgets_.picture->setProperty("picture", form.picture);
  }
  for (size_t i = 0; i < widgets_.interfaces.size(); ++i) {
    widgets_.interfaces[i]->setChecked(form.interfaces[i]);
  }
  SetText(widgets_.newSoftware, form.newSoftware);
  SetText(widgets_.newFirmware, form.newFirmware);
  SetText(widgets_.loggingStatus, form.loggingStatus);
  SetColour(widgets_.newSoftware, form.NewSoftwareColour());
  SetColour(widgets_.newFirmware, form.NewFirmwareColour());
  SetColour(widgets_.loggingStatus, form.LoggingStatusColour());

  SetButton(button(MainButton::kConnect), form.connect);
  SetButton(button(MainButton::kOnOff), form.onOff);
  SetButton(button(MainButton::kRecord), form.record);
  SetButton(button(MainButton::kCalibration), form.calibration);
  SetButton(button(MainButton::kSensorSettings), form.sensorSettings);
  SetButton(button(MainButton::kComPort), form.comPort);
  SetButton(button(MainButton::kCommunication), form.communication);
  SetButton(button(MainButton::kSensorInfo), form.sensorInfo);
  SetButton(button(MainButton::kExit), form.exit);
  SetButton(button(MainButton::kHelp), form.help);
  SetButton(button(MainButton::kCalibrationData), form.calibrationData);
}

void CMeridoDlgView::closeEvent(QCloseEvent* event) {
  event->ignore();
  if (closed_) return;
  if (depth_ > 0) {
    // A procedure is on the stack, possibly waiting for the sensor: end its reads and close
    // once it has returned.
    closePending_ = true;
    pump_.RequestQuit();
    return;
  }
  closed_ = true;
  pollTimer_.stop();
  dialog_.OnClose();
  event->accept();
  done(QDialog::Rejected);
}

void CMeridoDlgView::RunConnectDialog(CConnect& dialog) {
  CConnectView view(dialog, this);
  view.exec();
}

bool CMeridoDlgView::RunComPortDialog(CProperties& dialog) {
  CPropertiesView view(dialog, this);
  return view.exec() == QDialog::Accepted;
}

bool CMeridoDlgView::RunRecordDialog(CRecord& dialog) {
  CRecordView view(dialog, this);
  return view.exec() == QDialog::Accepted;
}

void CMeridoDlgView::StartPollTimer() {
  pollTimer_.start();
}
void CMeridoDlgView::StopPollTimer() {
  pollTimer_.stop();
}

void CMeridoDlgView::ShowSplash() {
  splash_ = std::make_unique<SplashWindow>(SplashPicture());
  splash_->ShowCentred();
}

void CMeridoDlgView::CloseSplash() {
  splash_.reset();
}

HelpOpenResult CMeridoDlgView::OpenHelpFile(std::string_view fileName) {
  const QFileInfo file(QDir::current().filePath(Text(fileName)));
  if (!file.exists()) return HelpOpenResult::kFileNotFound;
  return QDesktopServices::openUrl(QUrl::fromLocalFile(file.absoluteFilePath()))
             ? HelpOpenResult::kOpened
             : HelpOpenResult::kOther;
}

void CMeridoDlgView::CloseWindow() {
  if (depth_ > 0) {
    closePending_ = true;
  } else {
    close();
  }
}

void CMeridoDlgView::Message(const std::string& text) {
  MessageWithDetail(text, {});
}

void CMeridoDlgView::MessageWithDetail(const std::string& text, const std::string& detail) {
  // The window is going away; nobody is left to read the message.
  if (pump_.quitRequested()) return;
  if (uiOverride_ != nullptr) return uiOverride_->MessageWithDetail(text, detail);
  ShowMessageBox(this, text, detail);
}

bool CMeridoDlgView::AskYesNo(const std::string& text) {
  if (pump_.quitRequested()) return false;
  if (uiOverride_ != nullptr) return uiOverride_->AskYesNo(text);
  return AskYesNoBox(this, text);
}

bool CMeridoDlgView::AskYesNoDefaultNo(const std::string& text) {
  if (pump_.quitRequested()) return false;
  if (uiOverride_ != nullptr) return uiOverride_->AskYesNoDefaultNo(text);
  return AskYesNoBox(this, text, DefaultAnswer::kNo);
}

bool CMeridoDlgView::AskOkCancel(const std::string& text) {
  if (pump_.quitRequested()) return false;
  if (uiOverride_ != nullptr) return uiOverride_->AskOkCancel(text);
  return AskOkCancelBox(this, text);
}

void CMeridoDlgView::Refresh() {
  PushForm();
  repaint();
  if (uiOverride_ != nullptr) uiOverride_->Refresh();
}

}  // namespace korvin
