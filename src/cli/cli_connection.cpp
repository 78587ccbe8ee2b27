#include "cli/cli_connection.h"

#include "device/connect_sequence.h"
#include "platform/port_names.h"

namespace korvin {

CliConnection::CliConnection(std::optional<uint16_t> simulatedType, std::string port, Ui& ui)
    : line_(sim::OpenSensorLine(simulatedType, clock_)),
      link_(*line_.port, clock_, pump_, &ResolvePortName),
      port_(std::move(port)),
      ui_(ui) {}

bool CliConnection::Connect() {
  CConnect connect(link_, ui_);
  connect.Open(ConnectMode::kConnect, port_);
  connect.OnTimer();
  if (connect.result() == 0) return false;
  CopyConnectResult(connect.values(), record_);
  return true;
}

void CliConnection::Disconnect() {
  CConnect disconnect(link_, ui_);
  disconnect.Open(ConnectMode::kDisconnect, port_, record_.deviceType);
  disconnect.OnTimer();
}

}  // namespace korvin
