#include "cli/cli_connection.h"

#include <filesystem>

#include "cli/stop_signals.h"
#include "device/connect_sequence.h"
#include "platform/port_names.h"

namespace korvin {

CliConnection::CliConnection(std::optional<uint16_t> simulatedType, std::string port, Ui& ui)
    : line_(sim::OpenSensorLine(simulatedType, clock_)),
      link_(*line_.port, clock_, pump_, &ResolvePortName),
      simulated_(simulatedType.has_value()),
      port_(std::move(port)),
      ui_(ui) {}

bool CliConnection::ConnectInto(DeviceRecord& values) {
  CConnect connect(link_, ui_);
  connect.Open(ConnectMode::kConnect, port_);
  connect.OnTimer();
  if (connect.result() == 0) return false;
  CopyConnectResult(connect.values(), values);
  return true;
}

bool CliConnection::Connect() {
  return ConnectInto(record_);
}

RecoveryLink CliConnection::Recovery() {
  RecoveryLink recovery;
  // The virtual sensor is always there; a real port is there while its device node is (a
  // symbolic link, such as a by-id path, only while it points to one).
  recovery.portPresent = [this] {
    std::error_code ignored;
    return simulated_ || std::filesystem::exists(ResolvePortName(port_), ignored);
  };
  recovery.connect = [this](DeviceRecord& values) { return ConnectInto(values); };
  recovery.close = [this] { link_.transport().ClosePort(); };
  recovery.stopRequested = [] { return StopSignals::received() != 0; };
  return recovery;
}

void CliConnection::Disconnect() {
  CConnect disconnect(link_, ui_);
  disconnect.Open(ConnectMode::kDisconnect, port_, record_.deviceType);
  disconnect.OnTimer();
}

}  // namespace korvin
