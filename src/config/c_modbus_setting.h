#pragma once

#include <string>

#include "forms/task_dialog.h"
#include "forms/task_environment.h"

namespace korvin {

// "Modbus settings": the sensor's Modbus parameters. Open() reads them; "OK" checks the entries,
// writes them and then builds the service link anew on the same port, because the service link
// and the Modbus interface share the sensor's RS-485 line; "Cancel" closes without writing.
class CModbusSetting final : public TaskDialog {
 public:
  enum Control : size_t {
    kDeviceAddress,
    kBaudrate,
    kParityFrame,
    kResponseTimeout,
    kResponseDelay,
    kInterfaceSpaceUs,
    kInterfaceSpaceChar,
    kTransmissionMode,
    kOkButton,
    kCancelButton,
    kControlCount
  };

  static constexpr char kTitle[] = "Modbus settings";
  static constexpr char kNoMatchedSpaceCharMessage[] = "No matched spacechar";
  static constexpr char kAddressRangeMessage[] = "Address is out of range!";
  static constexpr char kTimeoutRangeMessage[] = "Response timeout is out of range!";
  static constexpr char kDelayRangeMessage[] = "Response delay is out of range!";
  static constexpr char kWriteErrorMessage[] = "Modbus setting error!";
  static constexpr char kOpenErrorMessage[] = "Com Open Error!!!";
  static constexpr char kCloseErrorMessage[] = "Close Com port error!";
  static constexpr char kReopenErrorMessage[] = "Open COM port error!";
  // A list without a selection (after an open that failed) cannot be written.
  static constexpr char kNoBaudrateMessage[] = "Baudrate is not selected!";
  static constexpr char kNoParityFrameMessage[] = "Parity/Frame is not selected!";
  static constexpr char kNoSpaceCharMessage[] = "Interface Space (char) is not selected!";

  static const DialogScreen& Screen();

  explicit CModbusSetting(TaskEnvironment& environment);

  void Open() override;
  void Press(size_t control) override;

 private:
  void Ok();
  // The port the link runs on, as the re-link opens it again.
  std::string PortName() const;

  TaskEnvironment& env_;
};

}  // namespace korvin
