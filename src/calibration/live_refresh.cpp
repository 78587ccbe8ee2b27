#include "calibration/live_refresh.h"

#include <array>

#include "protocol/commands.h"
#include "protocol/transaction.h"
#include "tables/number_format.h"

namespace korvin {

LiveRefresh::Outcome LiveRefresh::Tick(ProtocolContext& context, std::string& text) {
  if (busy_) return Outcome::kSkipped;
  busy_ = true;
  const Outcome outcome = Read(context, text);
  if (outcome != Outcome::kGaveUp) busy_ = false;
  return outcome;
}

LiveRefresh::Outcome LiveRefresh::Read(ProtocolContext& context, std::string& text) {
  constexpr uint8_t kOneChannel = 1;
  // A buffer of its own: a tick pumped during another transaction never writes into the
  // buffers of the procedure that waits.
  std::array<uint8_t, kMeasurementRecordSize> record{};
  if (RunTransaction(context, ReadMeasurements(channel_, kOneChannel), record.data(),
                     static_cast<uint8_t>(record.size())) == kOk) {
    text = FormatFixed(GetFloat(record.data()), places_);
    failures_ = 0;
    return Outcome::kValue;
  }
  if (++failures_ < kFailuresToGiveUp) return Outcome::kFailed;
  failures_ = 0;
  return Outcome::kGaveUp;
}

}  // namespace korvin
