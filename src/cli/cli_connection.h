#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "cli/link_recovery.h"
#include "device/device_record.h"
#include "platform/clock.h"
#include "platform/event_pump.h"
#include "platform/ui.h"
#include "protocol/service_link.h"
#include "sim/sensor_line.h"

namespace korvin {

// One sensor as korvin-cli reaches it: the serial line (the real port, or the built-in virtual
// sensor), the service link on it, the connect sequence as the main window runs it, and the
// device record it fills. Messages of the sequence go to `ui`.
class CliConnection {
 public:
  CliConnection(std::optional<uint16_t> simulatedType, std::string port, Ui& ui);
  CliConnection(const CliConnection&) = delete;
  CliConnection& operator=(const CliConnection&) = delete;

  // Runs the connect sequence; false when it failed (its message has been shown).
  bool Connect();
  // Runs the disconnect sequence, which closes the port.
  void Disconnect();
  // The connection as a recovery after a lost port sees it: the port's device node, the
  // connect sequence into a record of its own, and Ctrl-C / SIGTERM.
  RecoveryLink Recovery();

  Clock& clock() { return clock_; }
  ServiceLink& link() { return link_; }
  DeviceRecord& record() { return record_; }
  const std::string& port() const { return port_; }

 private:
  SteadyClock clock_;
  sim::SensorLine line_;
  NullEventPump pump_;
  ServiceLink link_;
  bool ConnectInto(DeviceRecord& values);

  bool simulated_;
  std::string port_;
  Ui& ui_;
  DeviceRecord record_;
};

}  // namespace korvin
