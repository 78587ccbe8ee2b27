#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace korvin {

// Interface flags of a device type.
inline constexpr uint8_t kInterfaceModbus = 0x01;
inline constexpr uint8_t kInterfaceMBus = 0x02;
inline constexpr uint8_t kInterfaceIoLink = 0x04;
inline constexpr uint8_t kInterfaceSdi = 0x08;
inline constexpr uint8_t kInterfaceAnalogue = 0x10;

// The main window's interface check boxes, in their order, with the flag each one shows.
struct InterfaceCaption {
  uint8_t flag;
  const char* caption;
};
inline constexpr InterfaceCaption kInterfaceCaptions[] = {
    {kInterfaceModbus, "Modbus"}, {kInterfaceMBus, "MBUS"},       {kInterfaceIoLink, "IO Link"},
    {kInterfaceSdi, "SDI"},       {kInterfaceAnalogue, "4...20mA"},
};

// Sensor option bit: a pressure sensor is fitted.
inline constexpr uint8_t kOptionPressureSensor = 0x04;

// Online value channels as ReadMeasurements numbers them.
inline constexpr int kChannelTemperature = 0;
inline constexpr int kChannelAltDewPoint = 1;
inline constexpr int kChannelDewPoint = 2;
inline constexpr int kChannelPressure = 3;
inline constexpr int kChannelCount = 4;

// Everything the tool knows about the connected sensor. Filled by the connect sequence, read by
// the main window, the poller, the recorder and the task dialogs; emptied on disconnect.
struct DeviceRecord {
  uint16_t deviceType = 0;
  std::string deviceName;
  int elementSet = -1;  // 0 polymer (K5), 1 QCM, 2 both; -1 none
  uint8_t interfaces = 0;
  int linkProfile = 0;  // 1 profile F, 2 profile V
  bool fahrenheit = false;
  uint8_t altDewPointUnit = 0;
  uint8_t sensorOptions = 0;
  uint8_t pressureUnit = 0;
  float firmwareVersion = 0;
  float hardwareVersion = 0;
  uint32_t serialNumber = 0;
  uint32_t itemNumber = 0;
  double calibrationDate = 0;          // automation date
  uint32_t calibrationDateNumber = 0;  // YYYYMMDD, device type 0x1400 only
  float valueAt4mA = 0;
  float valueAt20mA = 0;
  // Online values by channel: temperature, alternative dew point, dew point, pressure.
  std::array<float, kChannelCount> online{};
  // Decimal-places code of each channel from the last poll.
  std::array<uint8_t, kChannelCount> decimals{};

  bool HasPressureSensor() const { return (sensorOptions & kOptionPressureSensor) != 0; }
  bool HasAnalogueOutput() const { return (interfaces & kInterfaceAnalogue) != 0; }
  bool HasFieldbusSettings() const { return (interfaces & (kInterfaceModbus | kInterfaceMBus)) != 0; }
};

}  // namespace korvin
