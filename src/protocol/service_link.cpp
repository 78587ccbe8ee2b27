#include "protocol/service_link.h"

#include "protocol/commands.h"
#include "protocol/link_trace.h"
#include "protocol/transaction.h"

namespace korvin {

namespace {
constexpr uint8_t kDeviceTypeCopyLimit = 2;

size_t OverheadF() {
  return EnvelopeFrame::kOverhead;
}
size_t BodyOffsetF() {
  return EnvelopeFrame::kBodyOffset;
}
size_t OverheadV() {
  return AdapterFrame::kOverhead;
}
size_t BodyOffsetV() {
  return AdapterFrame::kBodyOffset;
}

void Step(const ServiceLink::Progress& progress) {
  if (progress) progress();
}
}  // namespace

ServiceLink::ServiceLink(SerialPort& port, Clock& clock, EventPump& pump,
                         SerialTransport::PortResolver resolver)
    : transport_(port, clock, pump, std::move(resolver)) {}

void ServiceLink::InstallProfile(LinkProfile profile) {
  context_.address = kServiceAddress;
  context_.parseStatus = &ParseReplyStatus;
  if (profile == LinkProfile::kProfileF) {
    context_.exchange = [this](const uint8_t* tx, uint16_t txLength, uint8_t* rx,
                               uint16_t rxLength) {
      return transport_.ExchangeF(tx, rx, txLength, rxLength);
    };
    context_.wrap = &WrapProfileF;
    context_.check = &CheckProfileF;
    context_.replyOverhead = &OverheadF;
    context_.bodyOffset = &BodyOffsetF;
  } else {
    context_.exchange = [this](const uint8_t* tx, uint16_t txLength, uint8_t* rx,
                               uint16_t rxLength) {
      return transport_.ExchangeV(tx, rx, txLength, rxLength);
    };
    context_.wrap = &WrapProfileV;
    context_.check = &CheckProfileV;
    context_.replyOverhead = &OverheadV;
    context_.bodyOffset = &BodyOffsetV;
  }
  profile_ = profile;
  if (context_.trace != nullptr) context_.trace->SetProfile(profile);
}

void ServiceLink::SetTrace(LinkTrace* trace) {
  context_.trace = trace;
  transport_.SetTrace(trace);
  if (trace != nullptr) trace->SetProfile(profile_);
}

ResultCode ServiceLink::SendPreambleAt19200(const std::string& portName, const Progress& progress) {
  Clock& clock = transport_.clock();
  transport_.WritePort(kLinkPreamble, sizeof kLinkPreamble);
  clock.SleepMs(timing::kLinkStepPauseMs);
  Step(progress);
  transport_.WritePort(kLinkPreamble, sizeof kLinkPreamble);
  clock.SleepMs(timing::kLinkStepPauseMs);
  Step(progress);
  transport_.ClosePort();
  clock.SleepMs(timing::kLinkStepPauseMs);
  Step(progress);
  if (transport_.OpenPort(portName + kLineSettingsF) != kOk) return ERR_PORT_CLOSED;
  Step(progress);
  return kOk;
}

ResultCode ServiceLink::EstablishLink(LinkProfile profile, const std::string& portName,
                                      bool& firstConnect, uint16_t& deviceType,
                                      const Progress& progress) {
  Clock& clock = transport_.clock();
  if (profile == LinkProfile::kProfileF) {
    transport_.ClosePort();
    clock.SleepMs(timing::kLinkStepPauseMs);
    Step(progress);
    if (transport_.OpenPort(portName + kLineSettingsPreamble) != kOk) return ERR_PORT_CLOSED;
    if (firstConnect) {
      if (SendPreambleAt19200(portName, progress) != kOk) return ERR_PORT_CLOSED;
      firstConnect = false;
    }
    InstallProfile(LinkProfile::kProfileF);
    Step(progress);
  } else {
    clock.SleepMs(timing::kLinkStepPauseMs);
    if (transport_.OpenPort(portName + kLineSettingsV) != kOk) return ERR_PORT_CLOSED;
    InstallProfile(LinkProfile::kProfileV);
  }

  uint8_t type[kDeviceTypeCopyLimit] = {};
  if (RunTransaction(context_, ReadDeviceType(), type, kDeviceTypeCopyLimit) != kOk) {
    transport_.ClosePort();
    return ERR_LINK_IO;
  }
  deviceType = GetU16(type);
  return kOk;
}

RelinkResult ServiceLink::Relink(const std::string& portName) {
  Clock& clock = transport_.clock();
  transport_.ClosePort();
  clock.SleepMs(timing::kLinkStepPauseMs);
  if (transport_.OpenPort(portName + kLineSettingsPreamble) != kOk)
    return RelinkResult::kOpenFailed;
  transport_.WritePort(kLinkPreamble, sizeof kLinkPreamble);
  clock.SleepMs(timing::kLinkStepPauseMs);
  transport_.WritePort(kLinkPreamble, sizeof kLinkPreamble);
  clock.SleepMs(timing::kLinkStepPauseMs);
  transport_.ClosePort();
  if (transport_.IsOpen()) return RelinkResult::kCloseFailed;
  clock.SleepMs(timing::kLinkStepPauseMs);
  if (transport_.OpenPort(portName + kLineSettingsF) != kOk) return RelinkResult::kReopenFailed;
  clock.SleepMs(timing::kRelinkSettleMs);
  uint8_t type[kDeviceTypeCopyLimit] = {};
  if (RunTransaction(context_, ReadDeviceType(), type, kDeviceTypeCopyLimit) != kOk) {
    return RelinkResult::kNoAnswer;
  }
  return RelinkResult::kOk;
}

}  // namespace korvin
