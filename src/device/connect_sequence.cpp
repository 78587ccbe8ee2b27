#include "device/connect_sequence.h"

#include <cstring>

#include "device/device_types.h"
#include "protocol/commands.h"
#include "protocol/transaction.h"

namespace korvin {

namespace {

constexpr int kIdentityTries = 3;
constexpr uint8_t kTemperatureUnitCelsius = 1;
constexpr size_t kFirmwareVersionByte = 3;
constexpr float kFirmwareVersionScale = 0.1f;
constexpr float kHardwareVersionScale = 0.01f;
constexpr size_t kDeviceNameLength = 16;
// The connect dialog keeps its last state on screen this long before it closes.
constexpr int kConnectedPauseMs = 1000;

// A sensor of the generation before both link profiles answers a single '9' at 1200 baud with
// six bytes; it is recognised only to tell the user which tool to use instead.
constexpr uint8_t kLegacyProbeByte = 0x39;
constexpr uint16_t kLegacyReplyLength = 6;
constexpr int kLegacyReplyLimitMs = 1000;

}  // namespace

CConnect::CConnect(ServiceLink& link, Ui& ui) : link_(link), ui_(ui) {}

void CConnect::Open(ConnectMode mode, const std::string& port, uint16_t deviceType) {
  mode_ = mode;
  port_ = port;
  form_ = Form();
  form_.text = mode == ConnectMode::kConnect ? kConnectingText : kDisconnectingText;
  result_ = 0;
  values_ = DeviceRecord();
  values_.deviceType = deviceType;
}

void CConnect::OnTimer() {
  Step();
  if (mode_ == ConnectMode::kConnect) {
    Connect();
  } else {
    Disconnect();
  }
}

void CConnect::Step() {
  if (form_.progress < form_.progressMax) ++form_.progress;
  if (onProgress) onProgress();
}

void CConnect::Connect() {
  values_ = DeviceRecord();
  firstConnect_ = true;
  result_ = 0;

  const ServiceLink::Progress step = [this] { Step(); };
  ResultCode linked =
      link_.EstablishLink(LinkProfile::kProfileF, port_, firstConnect_, values_.deviceType, step);
  values_.linkProfile = static_cast<int>(LinkProfile::kProfileF);
  if (linked == ERR_LINK_IO) {
    linked =
        link_.EstablishLink(LinkProfile::kProfileV, port_, firstConnect_, values_.deviceType, step);
    values_.linkProfile = static_cast<int>(LinkProfile::kProfileV);
    if (linked == ERR_LINK_IO) {
      ui_.Message(LegacyProbe());
      return;
    }
  }
  if (linked != kOk) {
    // The reason (missing, no permission, busy) is what the technician can act on.
    ui_.MessageWithDetail(kComOpenError, link_.transport().openFailure());
    return;
  }

  Step();
  if (!ReadDeviceName()) {
    ui_.Message(kCommunicationError);
    return;
  }
  Step();
  ApplyDeviceType(values_);
  if (!ReadIdentity()) return;

  Step();
  link_.clock().SleepMs(kConnectedPauseMs);
  Step();
  result_ = 1;
}

bool CConnect::ReadDeviceName() {
  char name[kDeviceNameLength + 1] = {};
  // The name has no builder of its own: its body goes through the engine as it stands, with the
  // engine's three tries and no loop around them; a refusal ends the connect at once.
  const ResultCode r =
      RunRawTransaction(link_.context(), kReadDeviceNameBody, sizeof kReadDeviceNameBody,
                        kReadDeviceNameReplyLength, name, kDeviceNameLength);
  if (r != kOk) return false;
  values_.deviceName.assign(name, strnlen(name, kDeviceNameLength));
  return true;
}

bool CConnect::Read(const RequestBuilder& builder, void* destination, uint8_t copyLimit) {
  while (retries_ > 0) {
    if (RunTransaction(link_.context(), builder, destination, copyLimit) == kOk) {
      retries_ = kIdentityTries;
      return true;
    }
    --retries_;
  }
  ui_.Message(kCommunicationError);
  return false;
}

bool CConnect::ReadIdentity() {
  retries_ = kIdentityTries;
  uint8_t byte = 0;
  if (!Read(ReadUnit(kUnitIndexTemperature), &byte, 1)) return false;
  values_.fahrenheit = byte != kTemperatureUnitCelsius;
  Step();

  if (!Read(ReadUnit(kUnitIndexAltDewPoint), &values_.altDewPointUnit, 1)) return false;
  Step();

  uint8_t firmware[8] = {};
  if (!Read(ReadFirmwareVersion(), firmware, sizeof firmware)) return false;
  values_.firmwareVersion = firmware[kFirmwareVersionByte] * kFirmwareVersionScale;
  byte = 0;
  if (!Read(ReadHardwareVersion(), &byte, 1)) return false;
  values_.hardwareVersion = byte * kHardwareVersionScale;
  Step();

  uint8_t word[8] = {};
  if (!Read(ReadSerialNumber(), word, 4)) return false;
  values_.serialNumber = GetU32(word);
  Step();

  if (!Read(ReadItemNumber(), word, 4)) return false;
  values_.itemNumber = GetU32(word);
  Step();

  if (UsesCalibrationDateNumber(values_.deviceType)) {
    if (!Read(ReadCalibrationDateNumber(), word, 4)) return false;
    values_.calibrationDateNumber = GetU32(word);
  } else {
    if (!Read(ReadCalibrationDate(kCalibrationDateSelector), word, 8)) return false;
    values_.calibrationDate = GetDouble(word);
  }
  Step();

  if (values_.HasAnalogueOutput()) {
    if (!Read(ReadAnalogueScaling(), word, 8)) return false;
    values_.valueAt4mA = GetFloat(word);
    values_.valueAt20mA = GetFloat(word + 4);
  }
  Step();

  if (SkipsSensorOptions(values_.deviceType)) {
    Step();
    return true;
  }
  if (!Read(ReadSensorOptions(), &values_.sensorOptions, 1)) return false;
  if (values_.HasPressureSensor()) {
    if (!Read(ReadUnit(kUnitIndexPressure), &values_.pressureUnit, 1)) return false;
  }
  Step();
  return true;
}

std::string CConnect::LegacyProbe() {
  SerialTransport& transport = link_.transport();
  if (transport.OpenPort(port_ + kLineSettingsV) != kOk) return kCommunicationFailed;
  uint8_t reply[kLegacyReplyLength] = {};
  uint16_t expected = kLegacyReplyLength;
  ResultCode r = transport.WritePort(&kLegacyProbeByte, 1);
  if (r == kOk) r = transport.ReadPort(reply, expected, kLegacyReplyLimitMs);
  transport.ClosePort();
  return r == kOk ? kLegacySensor : kCommunicationFailed;
}

void CConnect::Disconnect() {
  link_.transport().ClosePort();
  result_ = 0;
  for (int i = 0; i < kConnectProgressMax; ++i) Step();
}

void CopyConnectResult(const DeviceRecord& values, DeviceRecord& record) {
  const auto online = record.online;
  record = values;
  record.online = online;
}

}  // namespace korvin
