#pragma once

#include <filesystem>
#include <string>

#include "device/device_record.h"
#include "protocol/service_link.h"

namespace korvin {

// The sensor's identity and analogue output as the main window shows them; the report dialogs
// print these texts as they stand.
struct SensorTexts {
  std::string deviceName;
  std::string firmware;
  std::string hardware;
  std::string serial;
  std::string item;
  std::string calibrationDate;
  std::string analogueUnit;
  std::string at4mA;
  std::string at20mA;
};

// What a task dialog gets from the main window when it opens: the service link, the device
// record (the sensor settings change its units and analogue scaling in place; every other
// dialog only reads it), the COM port choice, the folder the reports go below, and the texts
// the window shows.
struct TaskEnvironment {
  ServiceLink& link;
  DeviceRecord& record;
  int comPortIndex = 0;
  // The port the link runs on: "COM1" ... "COM9" or a device path; a re-link opens it again.
  std::string portName = {};
  std::filesystem::path programFolder = {};
  SensorTexts texts = {};

  ProtocolContext& protocol() { return link.context(); }
};

}  // namespace korvin
