#include "config/c_modbus_setting.h"

#include <algorithm>

#include "config/modbus_settings.h"
#include "platform/port_names.h"
#include "protocol/transaction.h"
#include "tables/number_text.h"

namespace korvin {

namespace {

constexpr int64_t kMinAddress = 1;
constexpr int64_t kMaxAddress = 247;
constexpr int64_t kMaxResponseTimeout = 255;
constexpr int64_t kMaxResponseDelay = 255;

// Whatever the sensor keeps, the screen shows and the write sends an interface space of 2005 µs
// and the RTU transmission mode.
constexpr char kShownSpaceUs[] = "2005";
constexpr char kModeRtuText[] = "RTU";

bool InRange(int64_t value, int64_t low, int64_t high) {
  return value >= low && value <= high;
}

}  // namespace

const DialogScreen& CModbusSetting::Screen() {
  static const DialogScreen screen = [] {
    using K = ControlKind;
    using namespace control;
    DialogScreen s(kTitle);
    s.Group({"settings", "", 0, 0});
    s.Group({"buttons", "", 1, 0});
    s.Add(kDeviceAddress, {.label = "Device Address",
                           .group = "settings",
                           .unit = "(Range: 1...247)",
                           .flags = kEditable});
    s.Add(kBaudrate, {.label = "Baudrate", .kind = K::kList, .group = "settings"});
    s.Add(kParityFrame, {.label = "Parity/Frame", .kind = K::kList, .group = "settings"});
    s.Add(kResponseTimeout, {.label = "Response Timeout (0.1s)",
                             .group = "settings",
                             .unit = "(Range: 0...255)",
                             .flags = kEditable});
    s.Add(kResponseDelay, {.label = "Response Delay (ms)",
                           .group = "settings",
                           .unit = "(Range: 0...255)",
                           .flags = kEditable});
    s.Add(kInterfaceSpaceUs, {.label = "Interface Space (us)", .group = "settings"});
    s.Add(kInterfaceSpaceChar,
          {.label = "Interface Space (char)", .kind = K::kList, .group = "settings"});
    s.Add(kTransmissionMode, {.label = "Transmission Mode", .group = "settings"});
    s.Add(kOkButton, {.label = "OK",
                      .kind = K::kButton,
                      .group = "buttons",
                      .flags = kDefault,
                      .row = 0,
                      .column = 0});
    s.Add(kCancelButton, {.label = "Cancel",
                          .kind = K::kButton,
                          .group = "buttons",
                          .flags = kCancel,
                          .row = 0,
                          .column = 1});
    return s;
  }();
  return screen;
}

CModbusSetting::CModbusSetting(TaskEnvironment& environment)
    : TaskDialog(Screen()), env_(environment) {}

std::string CModbusSetting::PortName() const {
  return env_.portName.empty() ? ComPortName(env_.comPortIndex) : env_.portName;
}

// A failure here leaves the screen empty (lists without entries), so OK cannot write a record
// that was never read.
void CModbusSetting::Open() {
  ModbusSettings::Bytes bytes{};
  if (!RunAttempts(env_.protocol(), ReadModbusSettings(), bytes.data(),
                   static_cast<uint8_t>(bytes.size()))) {
    Fail(kCommunicationErrorMessage);
    return;
  }
  const ModbusSettings settings = ModbusSettings::Decode(bytes);

  const std::span<const std::string_view> spaces = ModbusSpaceCharTexts();
  const std::string spaceChars = std::to_string(settings.spaceChars);
  const auto match = std::find(spaces.begin(), spaces.end(), spaceChars);
  if (match == spaces.end()) {
    Fail(kNoMatchedSpaceCharMessage);
    return;
  }

  Form& f = form();
  f.SetText(kDeviceAddress, std::to_string(settings.address));
  f.SetEntries(kBaudrate, kModbusBaudTexts);
  f.Select(kBaudrate, settings.baudIndex);
  f.SetEntries(kParityFrame, kModbusFramingTexts);
  f.Select(kParityFrame, settings.framingIndex);
  f.SetText(kResponseTimeout, std::to_string(settings.responseTimeout));
  f.SetText(kResponseDelay, std::to_string(settings.responseDelay));
  f.SetText(kInterfaceSpaceUs, kShownSpaceUs);
  f.SetEntries(kInterfaceSpaceChar, spaces);
  f.Select(kInterfaceSpaceChar, static_cast<int>(match - spaces.begin()));
  f.SetText(kTransmissionMode, kModeRtuText);
}

void CModbusSetting::Press(size_t control) {
  if (control == kOkButton) {
    Ok();
  } else if (control == kCancelButton) {
    End(DialogEnd::kClosed);
  }
}

void CModbusSetting::Ok() {
  const Form& f = form();
  ModbusSettings settings;

  const int64_t address = ParseLeadingInteger(f.Text(kDeviceAddress));
  if (!InRange(address, kMinAddress, kMaxAddress)) {
    Fail(kAddressRangeMessage);
    return;
  }
  settings.address = static_cast<uint16_t>(address);

  if (f.Selection(kBaudrate) < 0) {
    Fail(kNoBaudrateMessage);
    return;
  }
  if (f.Selection(kParityFrame) < 0) {
    Fail(kNoParityFrameMessage);
    return;
  }
  settings.baud = static_cast<uint32_t>(ParseLeadingInteger(f.SelectedText(kBaudrate)));
  settings.baudIndex = static_cast<uint16_t>(f.Selection(kBaudrate));
  settings.framingIndex = static_cast<uint16_t>(f.Selection(kParityFrame));

  const int64_t timeout = ParseLeadingInteger(f.Text(kResponseTimeout));
  if (!InRange(timeout, 0, kMaxResponseTimeout)) {
    Fail(kTimeoutRangeMessage);
    return;
  }
  settings.responseTimeout = static_cast<uint16_t>(timeout);

  const int64_t delay = ParseLeadingInteger(f.Text(kResponseDelay));
  if (!InRange(delay, 0, kMaxResponseDelay)) {
    Fail(kDelayRangeMessage);
    return;
  }
  settings.responseDelay = static_cast<uint16_t>(delay);

  if (f.Selection(kInterfaceSpaceChar) < 0) {
    Fail(kNoSpaceCharMessage);
    return;
  }
  settings.spaceUs = static_cast<uint32_t>(ParseLeadingInteger(f.Text(kInterfaceSpaceUs)));
  settings.spaceChars =
      static_cast<uint16_t>(ParseLeadingInteger(f.SelectedText(kInterfaceSpaceChar)));
  settings.mode = f.Text(kTransmissionMode) == kModeRtuText ? kModbusModeRtu : kModbusModeOther;

  // One run of the engine only: once the sensor has taken the record its line is back on the
  // fieldbus, and a repeated write would only go unanswered.
  const ModbusSettings::Bytes record = settings.Encode();
  if (RunTransaction(env_.protocol(), WriteModbusSettings(record)) != kOk) {
    Fail(kWriteErrorMessage);
    return;
  }

  switch (env_.link.Relink(PortName())) {
    case RelinkResult::kOk:
      End(DialogEnd::kAccepted);
      return;
    case RelinkResult::kOpenFailed:
      Fail(kOpenErrorMessage, env_.link.transport().openFailure());
      return;
    case RelinkResult::kCloseFailed:
      Fail(kCloseErrorMessage);
      End(DialogEnd::kFailed);
      return;
    case RelinkResult::kReopenFailed:
      Fail(kReopenErrorMessage, env_.link.transport().openFailure());
      End(DialogEnd::kFailed);
      return;
    case RelinkResult::kNoAnswer:
      Fail(kCommunicationErrorMessage);
      return;
  }
}

}  // namespace korvin
