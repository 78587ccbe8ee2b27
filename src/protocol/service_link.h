#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "protocol/protocol_context.h"
#include "protocol/serial_transport.h"

namespace korvin {

// Sent at 50000 baud before a profile F link is used. It has the layout of the profile F frame of
// ReadUnit(0) but ends in 0x90 where the CRC gives 0x92: the sensors expect exactly these bytes.
inline constexpr uint8_t kLinkPreamble[] = {0x01, 0x46, 0x08, 0x01, 0x08, 0x09, 0x02,
                                            0x03, 0x00, 0xE9, 0x00, 0xF9, 0x90};
inline constexpr uint8_t kServiceAddress = 1;

inline constexpr char kLineSettingsPreamble[] = ",50000,N,8,1";
inline constexpr char kLineSettingsF[] = ",19200,N,8,1";
inline constexpr char kLineSettingsV[] = ",1200,N,8,1";

// What went wrong in a re-link after a fieldbus change; the settings dialog shows the message.
enum class RelinkResult {
  kOk,
  kOpenFailed,    // "Com Open Error!!!"
  kCloseFailed,   // "Close Com port error!"
  kReopenFailed,  // "Open COM port error!"
  kNoAnswer,      // "Communication error"
};

// The service link of the program: the serial transport and the protocol context, one object
// for the program's life, passed by reference to everything that talks to the sensor.
class ServiceLink {
 public:
  using Progress = std::function<void()>;

  ServiceLink(SerialPort& port, Clock& clock, EventPump& pump,
              SerialTransport::PortResolver resolver = {});

  // Opens the port for `profile` (after the preamble for profile F when `firstConnect` is set,
  // which it clears), installs the profile's operations and proves the link with ReadDeviceType.
  // Returns 0, ERR_PORT_CLOSED or ERR_LINK_IO; `progress` is called at each step.
  ResultCode EstablishLink(LinkProfile profile, const std::string& portName, bool& firstConnect,
                           uint16_t& deviceType, const Progress& progress = {});

  // After the sensor's fieldbus settings changed: preamble again, back to 19200 baud, and a
  // ReadDeviceType to prove it. The context's operations stay as they are.
  RelinkResult Relink(const std::string& portName);

  void InstallProfile(LinkProfile profile);

  // Reports every event on the line to `trace` from now on (null: stops tracing). The trace
  // must outlive its use here.
  void SetTrace(LinkTrace* trace);

  ProtocolContext& context() { return context_; }
  SerialTransport& transport() { return transport_; }
  Clock& clock() { return transport_.clock(); }
  LinkProfile profile() const { return profile_; }

 private:
  ResultCode SendPreambleAt19200(const std::string& portName, const Progress& progress);

  SerialTransport transport_;
  ProtocolContext context_;
  LinkProfile profile_ = LinkProfile::kNone;
};

}  // namespace korvin
