#include "sim/sensor_model.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "protocol/commands.h"
#include "protocol/frames.h"
#include "sim/sensor_defaults.h"

namespace korvin::sim {

namespace {

constexpr double kBitsPerByte = 10.0;
constexpr double kUsPerSecond = 1e6;
// A silence this long ends whatever partial frame the sensor has heard, as on an RTU line;
// generous, because a pseudo-terminal hands over bytes with a few ms of jitter.
constexpr int64_t kFrameGapMinUs = 50'000;
constexpr int kFrameGapChars = 4;
constexpr size_t kBodyHeader = 3;

constexpr int kDefaultShortBy = 3;
constexpr int kDefaultGarbage = 4;
constexpr int kDefaultSplitPieces = 3;
constexpr uint8_t kGarbagePattern[] = {0xA5, 0x5A, 0xFF, 0x00};
constexpr uint8_t kFlipAll = 0xFF;

int64_t BurstUs(size_t bytes, int baud) {
  if (baud <= 0) return 0;
  return std::llround(static_cast<double>(bytes) * kBitsPerByte * kUsPerSecond / baud);
}

uint32_t Key(uint16_t group, uint8_t sub) {
  return static_cast<uint32_t>(group) << 8 | sub;
}

const CommandSpec* FindByName(std::string_view name) {
  for (const CommandSpec& command : Catalogue()) {
    if (command.name == name) return &command;
  }
  return nullptr;
}

}  // namespace

std::vector<uint8_t> Reply::Bytes() const {
  std::vector<uint8_t> all;
  for (const ReplyChunk& c : chunks) all.insert(all.end(), c.bytes.begin(), c.bytes.end());
  return all;
}

SensorModel::SensorModel(uint16_t deviceType, LinkKind link, Clock& clock)
    : SensorModel(MakeDefaultState(deviceType), link, clock) {}

SensorModel::SensorModel(SensorState state, LinkKind link, Clock& clock)
    : state_(std::move(state)), link_(link), clock_(clock), startUs_(clock.NowUs()) {}

double SensorModel::SecondsAt(int64_t atUs) const {
  return static_cast<double>(atUs - startUs_) / kUsPerSecond;
}

void SensorModel::ResetLink() {
  linkOpen_ = false;
  input_.clear();
}

bool SensorModel::Listening(int baud) const {
  switch (link_) {
    case LinkKind::kProfileF:
      return baud == kPreambleBaud || (baud == kProfileFBaud && linkOpen_);
    case LinkKind::kProfileV:
    case LinkKind::kLegacy:
      return baud == kProfileVBaud;
  }
  return false;
}

std::vector<Reply> SensorModel::Receive(std::span<const uint8_t> bytes, int baud) {
  return Receive(bytes, baud, clock_.NowUs());
}

std::vector<Reply> SensorModel::Receive(std::span<const uint8_t> bytes, int baud, int64_t atUs) {
  std::vector<Reply> out;
  if (bytes.empty()) return out;
  const int64_t firstUs = atUs - BurstUs(bytes.size(), baud);
  const int64_t gapUs = std::max(kFrameGapMinUs, BurstUs(kFrameGapChars, baud));
  if (baud != inputBaud_ || firstUs - lastByteUs_ > gapUs) input_.clear();
  inputBaud_ = baud;
  lastByteUs_ = atUs;
  if (!Listening(baud)) {
    input_.clear();
    ++ignoredBursts_;
    return out;
  }
  input_.insert(input_.end(), bytes.begin(), bytes.end());
  while (!input_.empty()) {
    Parse result = Parse::kNeedMore;
    if (link_ == LinkKind::kLegacy) {
      result = ParseLegacy(out, atUs);
    } else if (link_ == LinkKind::kProfileV) {
      result = ParseAdapter(out, atUs);
    } else if (baud == kPreambleBaud) {
      result = ParsePreamble(out);
    } else {
      result = ParseEnvelope(out, atUs);
    }
    if (result == Parse::kNeedMore) break;
  }
  return out;
}

SensorModel::Parse SensorModel::ParsePreamble(std::vector<Reply>&) {
  const size_t n = std::min(input_.size(), kPreambleMatched);
  if (!std::equal(input_.begin(), input_.begin() + static_cast<std::ptrdiff_t>(n),
                  kPreamble.begin())) {
    input_.erase(input_.begin());
    return Parse::kDropped;
  }
  if (input_.size() < kPreamble.size()) return Parse::kNeedMore;
  input_.erase(input_.begin(), input_.begin() + kPreamble.size());
  linkOpen_ = true;
  ++preamblesSeen_;
  return Parse::kDone;
}

SensorModel::Parse SensorModel::ParseEnvelope(std::vector<Reply>& out, int64_t atUs) {
  if (input_[0] != kServiceAddress ||
      (input_.size() > 1 && input_[1] != EnvelopeFrame::kFunctionCode)) {
    input_.erase(input_.begin());
    return Parse::kDropped;
  }
  if (input_.size() < EnvelopeFrame::kHeader) return Parse::kNeedMore;
  const size_t serviceLength = input_[2];
  if (serviceLength < ServiceFrame::kOverhead + kBodyHeader) {
    input_.erase(input_.begin());
    return Parse::kDropped;
  }
  const size_t total = serviceLength + EnvelopeFrame::kOverhead - ServiceFrame::kOverhead;
  if (input_.size() < total) return Parse::kNeedMore;
  std::vector<uint8_t> frame(input_.begin(), input_.begin() + static_cast<std::ptrdiff_t>(total));
  input_.erase(input_.begin(), input_.begin() + static_cast<std::ptrdiff_t>(total));
  const uint8_t* service = frame.data() + EnvelopeFrame::kHeader;
  if (ComputeCrc16(frame.data(), total) != 0 || service[0] != kServiceAddress ||
      service[1] != serviceLength || AdditiveChecksum(service, serviceLength) != 0 ||
      service[serviceLength - 1] != 0) {
    ++damagedFrames_;
    return Parse::kDropped;
  }
  Serve({service + ServiceFrame::kPayloadOffset, serviceLength - ServiceFrame::kOverhead}, atUs,
        out);
  return Parse::kDone;
}

SensorModel::Parse SensorModel::ParseAdapter(std::vector<Reply>& out, int64_t atUs) {
  if (input_[0] != AdapterFrame::kStartByte ||
      (input_.size() > 1 && input_[1] != kServiceAddress)) {
    input_.erase(input_.begin());
    return Parse::kDropped;
  }
  if (input_.size() < AdapterFrame::kBodyOffset) return Parse::kNeedMore;
  const size_t length = input_[2];  // address to terminator
  if (length < ServiceFrame::kOverhead + kBodyHeader) {
    input_.erase(input_.begin());
    return Parse::kDropped;
  }
  const size_t total = length + 1;
  if (input_.size() < total) return Parse::kNeedMore;
  std::vector<uint8_t> frame(input_.begin(), input_.begin() + static_cast<std::ptrdiff_t>(total));
  input_.erase(input_.begin(), input_.begin() + static_cast<std::ptrdiff_t>(total));
  if (AdditiveChecksum(frame.data() + 1, length - 1) != 0 || frame[length] != 0) {
    ++damagedFrames_;
    return Parse::kDropped;
  }
  Serve({frame.data() + AdapterFrame::kBodyOffset, length - ServiceFrame::kOverhead}, atUs, out);
  return Parse::kDone;
}

SensorModel::Parse SensorModel::ParseLegacy(std::vector<Reply>& out, int64_t atUs) {
  const uint8_t byte = input_[0];
  input_.erase(input_.begin());
  if (byte != kLegacyProbe) return Parse::kDropped;
  ++legacyProbes_;
  if (faults_.silent || TakeOneShot(Fault::kSilent)) return Parse::kDone;
  // The old sensor's answer: the probe byte, the dew point as a float and a checksum.
  std::vector<uint8_t> frame(kLegacyReplySize);
  frame[0] = kLegacyProbe;
  PutFloat(frame.data() + 1,
           static_cast<float>(ComputeReadings(state_, SecondsAt(atUs)).dewPointC));
  frame[kLegacyReplySize - 1] = AdditiveChecksum(frame.data(), kLegacyReplySize - 1);
  out.push_back(Shape(std::move(frame)));
  return Parse::kDone;
}

void SensorModel::Serve(std::span<const uint8_t> body, int64_t atUs, std::vector<Reply>& out) {
  LoggedRequest entry;
  entry.atUs = atUs;
  if (body.size() >= kBodyHeader) {
    entry.group = GetU16(body.data());
    entry.sub = body[2];
    entry.payload.assign(body.begin() + kBodyHeader, body.end());
  }
  const bool oneShotSilent = TakeOneShot(Fault::kSilent);
  if (faults_.silent || oneShotSilent) {
    log_.push_back(std::move(entry));
    return;
  }
  CommandEffects effects;
  const auto refusal = refusals_.find(Key(entry.group, entry.sub));
  const std::vector<uint8_t> payload = refusal != refusals_.end()
                                           ? RefusalPayload(refusal->second)
                                           : ExecuteCommand(state_, body, SecondsAt(atUs), effects);
  entry.status = payload.front();
  log_.push_back(std::move(entry));

  std::vector<uint8_t> frame = EncodeServiceFrame(kServiceAddress, payload.data(), payload.size());
  if (link_ == LinkKind::kProfileF) frame = EncodeEnvelopeFrame(kServiceAddress, frame);
  out.push_back(Shape(std::move(frame)));
  // New fieldbus settings put the shared line back into fieldbus mode; the tool wakes the
  // service mode again with the preamble.
  if (effects.fieldbusChanged && link_ == LinkKind::kProfileF) linkOpen_ = false;
}

bool SensorModel::TakeOneShot(Fault fault) {
  const auto it = oneShots_.find(fault);
  if (it == oneShots_.end() || it->second <= 0) return false;
  if (--it->second == 0) oneShots_.erase(it);
  return true;
}

void SensorModel::Corrupt(std::vector<uint8_t>& frame) const {
  if (frame.empty()) return;
  constexpr size_t kCrcLowFromEnd = 2;
  constexpr size_t kChecksumFromEnd = 2;
  switch (link_) {
    case LinkKind::kProfileF:
      frame[frame.size() - kCrcLowFromEnd] ^= kFlipAll;
      break;
    case LinkKind::kProfileV:
      ++frame[frame.size() - kChecksumFromEnd];
      break;
    case LinkKind::kLegacy:
      frame.back() ^= kFlipAll;
      break;
  }
}

Reply SensorModel::Shape(std::vector<uint8_t> frame) {
  ++replyCount_;
  const bool badCheck = TakeOneShot(Fault::kBadCheck);
  if (badCheck || (faults_.corruptEveryNth > 0 &&
                   replyCount_ % static_cast<uint64_t>(faults_.corruptEveryNth) == 0)) {
    Corrupt(frame);
  }
  int cut = faults_.shortBy;
  if (TakeOneShot(Fault::kShort)) cut = std::max(cut, kDefaultShortBy);
  cut = std::clamp(cut, 0, static_cast<int>(frame.size()) - 1);
  frame.resize(frame.size() - static_cast<size_t>(cut));

  int garbage = faults_.trailingGarbage;
  if (TakeOneShot(Fault::kTrailingGarbage)) garbage = std::max(garbage, kDefaultGarbage);
  for (int i = 0; i < garbage; ++i)
    frame.push_back(kGarbagePattern[i % std::size(kGarbagePattern)]);

  int64_t delay = responseDelayUs_;
  const bool slowOnce = TakeOneShot(Fault::kSlow);
  if (faults_.slow || slowOnce) delay += faults_.slowDelayUs;

  int pieces = faults_.splitPieces;
  if (TakeOneShot(Fault::kSplit)) pieces = std::max(pieces, kDefaultSplitPieces);
  pieces = std::clamp(pieces, 1, static_cast<int>(std::max<size_t>(frame.size(), 1)));

  Reply reply;
  const size_t n = frame.size();
  size_t begin = 0;
  for (int p = 0; p < pieces; ++p) {
    const size_t end = n * static_cast<size_t>(p + 1) / static_cast<size_t>(pieces);
    ReplyChunk chunk;
    chunk.delayUs = p == 0 ? delay : faults_.splitGapUs;
    chunk.bytes.assign(frame.begin() + static_cast<std::ptrdiff_t>(begin),
                       frame.begin() + static_cast<std::ptrdiff_t>(end));
    reply.chunks.push_back(std::move(chunk));
    begin = end;
  }
  return reply;
}

std::vector<uint8_t> SensorModel::Execute(std::span<const uint8_t> body) {
  CommandEffects effects;
  return ExecuteCommand(state_, body, SecondsAt(clock_.NowUs()), effects);
}

void SensorModel::FailNext(Fault fault, int count) {
  if (count > 0) oneShots_[fault] += count;
}

void SensorModel::Refuse(uint16_t group, uint8_t sub, uint32_t deviceError) {
  refusals_[Key(group, sub)] = deviceError;
}

void SensorModel::Refuse(std::string_view commandName, uint32_t deviceError) {
  if (const CommandSpec* command = FindByName(commandName))
    Refuse(command->group, command->sub, deviceError);
}

void SensorModel::StopRefusing(uint16_t group, uint8_t sub) {
  refusals_.erase(Key(group, sub));
}

void SensorModel::ClearFaults() {
  faults_ = FaultSettings{};
  oneShots_.clear();
  refusals_.clear();
}

size_t SensorModel::CountOf(uint16_t group, uint8_t sub) const {
  return static_cast<size_t>(std::count_if(log_.begin(), log_.end(), [&](const LoggedRequest& r) {
    return r.group == group && r.sub == sub;
  }));
}

size_t SensorModel::CountOf(std::string_view commandName) const {
  const CommandSpec* command = FindByName(commandName);
  return command == nullptr ? 0 : CountOf(command->group, command->sub);
}

void SensorModel::ClearLog() {
  log_.clear();
  preamblesSeen_ = 0;
  legacyProbes_ = 0;
  ignoredBursts_ = 0;
  damagedFrames_ = 0;
}

std::vector<uint8_t> FrameRequest(LinkKind link, std::span<const uint8_t> body, uint8_t address) {
  constexpr size_t kRoom = 16;
  std::vector<uint8_t> frame(body.size() + kRoom);
  switch (link) {
    case LinkKind::kProfileF: {
      std::memcpy(frame.data() + EnvelopeFrame::kBodyOffset, body.data(), body.size());
      frame.resize(WrapProfileF(frame.data(), body.size(), address));
      return frame;
    }
    case LinkKind::kProfileV: {
      std::memcpy(frame.data() + AdapterFrame::kBodyOffset, body.data(), body.size());
      frame.resize(WrapProfileV(frame.data(), body.size(), address));
      return frame;
    }
    case LinkKind::kLegacy:
      break;
  }
  return {kLegacyProbe};
}

}  // namespace korvin::sim
