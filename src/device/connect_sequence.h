#pragma once

#include <functional>
#include <string>

#include "device/device_record.h"
#include "platform/ui.h"
#include "protocol/commands.h"
#include "protocol/service_link.h"

namespace korvin {

enum class ConnectMode { kConnect, kDisconnect };

// Texts of the connect dialog and the failures it reports.
inline constexpr char kConnectTitle[] = "Connect";
inline constexpr char kConnectingText[] = "Connecting to device......";
inline constexpr char kDisconnectingText[] = "Disconnecting......";
inline constexpr char kComOpenError[] = "Com Open Error!!!";
inline constexpr char kCommunicationFailed[] = "Communication failed!";
inline constexpr char kLegacySensor[] =
    "This is old sensor, please communicate with it by QMX410.exe !";
inline constexpr char kCommunicationError[] = "Communication error";

inline constexpr int kConnectProgressMax = 20;
inline constexpr int kConnectTimerId = 8002;
inline constexpr int kConnectTimerMs = 500;

// The connect dialog without its window: mode, result, the values read, and the connect and
// disconnect sequences. The view shows `form()`, starts a one-shot timer of kConnectTimerMs after
// Open() and calls OnTimer() from it; the dialog closes when OnTimer() returns.
class CConnect {
 public:
  struct Form {
    std::string text;
    int progress = 0;
    int progressMax = kConnectProgressMax;
  };

  CConnect(ServiceLink& link, Ui& ui);

  // `port` is "COM1" ... "COM9" or a device path. The device type code is only used when
  // disconnecting.
  void Open(ConnectMode mode, const std::string& port, uint16_t deviceType = 0);
  void OnTimer();

  // Called at every progress step, after form().progress has advanced (the view repaints).
  std::function<void()> onProgress;

  int result() const { return result_; }
  const DeviceRecord& values() const { return values_; }
  const Form& form() const { return form_; }

 private:
  void Step();
  void Connect();
  void Disconnect();
  bool ReadDeviceName();
  bool ReadIdentity();
  bool Read(const RequestBuilder& builder, void* destination, uint8_t copyLimit);
  std::string LegacyProbe();

  ServiceLink& link_;
  Ui& ui_;
  ConnectMode mode_ = ConnectMode::kConnect;
  std::string port_;
  Form form_;
  int result_ = 0;
  bool firstConnect_ = false;
  int retries_ = 0;
  DeviceRecord values_;
};

// What the main window does with a finished connect: the connect sequence's values become the
// device record; its online values stay as they were until the first poll replaces them.
void CopyConnectResult(const DeviceRecord& values, DeviceRecord& record);

}  // namespace korvin
