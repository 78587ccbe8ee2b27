#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "device/connect_sequence.h"
#include "device/identity.h"
#include "device/sim_rig.h"
#include "forms/task_environment.h"
#include "protocol/commands.h"
#include "support/scripted_host.h"

namespace korvin::test {

// A virtual sensor of one device type, connected as the main window connects it, with the
// device record and the environment a task dialog gets, and a scripted window for the dialog.
// The sensor's command log starts empty after the connect.
struct DialogRig {
  explicit DialogRig(uint16_t type = 0x1030, sim::LinkKind kind = sim::LinkKind::kProfileF)
      : sim(type, kind) {
    CConnect connect(sim.link, sim.ui);
    connect.Open(ConnectMode::kConnect, "COM1");
    connect.OnTimer();
    connected = connect.result() == 1;
    CopyConnectResult(connect.values(), record);
    environment.portName = "COM1";
    const IdentityTexts t = FormatIdentity(record);
    environment.texts = {
        record.deviceName,           t.firmware, t.hardware, t.serial, t.item, t.calibrationDate,
        t.analogueUnit.value_or(""), t.at4mA,    t.at20mA};
    sim.model.ClearLog();
  }

  sim::SensorState& state() { return sim.model.state(); }

  // The commands the sensor heard since the log was last cleared: "Name" or "Name 01 02 ...".
  std::vector<std::string> Commands() const {
    std::vector<std::string> lines;
    for (const sim::LoggedRequest& r : sim.model.log()) {
      const CommandSpec* command = FindCommand(r.group, r.sub);
      std::string line = command != nullptr ? std::string(command->name) : "?";
      for (uint8_t b : r.payload) {
        char hex[4];
        std::snprintf(hex, sizeof hex, " %02X", b);
        line += hex;
      }
      lines.push_back(line);
    }
    return lines;
  }
  // Only the names, for sequences whose payloads another test pins.
  std::vector<std::string> CommandNames() const {
    std::vector<std::string> names;
    for (const sim::LoggedRequest& r : sim.model.log()) {
      const CommandSpec* command = FindCommand(r.group, r.sub);
      names.push_back(command != nullptr ? std::string(command->name) : "?");
    }
    return names;
  }
  void ClearLog() { sim.model.ClearLog(); }

  SimRig sim;
  DeviceRecord record;
  TaskEnvironment environment{sim.link, record};
  ScriptedHost host;
  bool connected = false;
};

// The hex of a float as it goes over the wire, for expected command lines.
inline std::string FloatBytes(float value) {
  uint8_t bytes[4];
  PutFloat(bytes, value);
  std::string text;
  for (uint8_t b : bytes) {
    char hex[4];
    std::snprintf(hex, sizeof hex, " %02X", b);
    text += hex;
  }
  return text;
}

}  // namespace korvin::test
