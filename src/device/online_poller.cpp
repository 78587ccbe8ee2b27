#include "device/online_poller.h"

#include "device/connect_sequence.h"
#include "platform/scoped_flag.h"
#include "protocol/commands.h"
#include "protocol/transaction.h"
#include "tables/number_format.h"

namespace korvin {

namespace {
constexpr uint8_t kChannelsWithPressure = 4;
constexpr uint8_t kChannelsWithoutPressure = 3;
constexpr size_t kValueOffset = 0;
constexpr size_t kDecimalsOffset = 4;
constexpr int kTemperaturePlaces = 1;

}  // namespace

OnlinePoller::OnlinePoller(ProtocolContext& context, DeviceRecord& record, Ui& ui)
    : context_(context), record_(record), ui_(ui) {}

void OnlinePoller::SwitchOn() {
  rows_ = {};
  failures_ = 0;
  running_ = true;
}

OnlinePoller::Outcome OnlinePoller::Poll() {
  // A tick pumped while the previous poll still waits for its reply.
  if (polling_) return Outcome::kSkipped;
  ScopedFlag guard(polling_);

  const uint8_t channels =
      record_.HasPressureSensor() ? kChannelsWithPressure : kChannelsWithoutPressure;
  uint8_t data[kChannelsWithPressure * kMeasurementRecordSize] = {};
  const uint8_t copyLimit = static_cast<uint8_t>(channels * kMeasurementRecordSize);
  const ResultCode result =
      RunTransaction(context_, ReadMeasurements(0, channels), data, copyLimit);
  if (result != kOk) {
    if (reportLinkLoss_ && (result == ERR_PORT_CLOSED || result == ERR_LINK_IO)) {
      return Outcome::kLinkLost;
    }
    if (++failures_ < kPollFailureLimit) return Outcome::kFailed;
    running_ = false;
    rows_ = {};
    ui_.Refresh();
    ui_.Message(kCommunicationError);
    return Outcome::kStopped;
  }

  for (int ch = 0; ch < channels; ++ch) {
    const uint8_t* rec = data + ch * kMeasurementRecordSize;
    record_.online[ch] = GetFloat(rec + kValueOffset);
    record_.decimals[ch] = rec[kDecimalsOffset];
  }
  rows_[kRowTemperature] = FormatFixed(record_.online[kChannelTemperature], kTemperaturePlaces);
  rows_[kRowAltDewPoint] =
      FormatDecimal(record_.online[kChannelAltDewPoint], record_.decimals[kChannelAltDewPoint]);
  rows_[kRowDewPoint] =
      FormatDecimal(record_.online[kChannelDewPoint], record_.decimals[kChannelDewPoint]);
  rows_[kRowPressure] =
      record_.HasPressureSensor()
          ? FormatDecimal(record_.online[kChannelPressure], record_.decimals[kChannelPressure])
          : std::string();
  ui_.Refresh();
  return Outcome::kUpdated;
}

}  // namespace korvin
