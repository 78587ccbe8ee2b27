#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <span>
#include <string_view>
#include <vector>

#include "platform/clock.h"
#include "sim/live_values.h"
#include "sim/sensor_commands.h"
#include "sim/sensor_state.h"

namespace korvin::sim {

// How the sensor talks on its service line.
//   kProfileF: envelope frames (function 0x46, CRC-16) at 19200 baud, once it has seen the
//              preamble at 50000 baud;
//   kProfileV: adapter frames ('V' ...) at 1200 baud, replies as bare service frames;
//   kLegacy:   an old sensor that only answers the byte '9' at 1200 baud with six bytes.
enum class LinkKind { kProfileF, kProfileV, kLegacy };

inline constexpr int kPreambleBaud = 50000;
inline constexpr int kProfileFBaud = 19200;
inline constexpr int kProfileVBaud = 1200;
inline constexpr uint8_t kServiceAddress = 1;
// Sent by the tool at 50000 baud to wake the service mode. Its last byte does not match the CRC
// (0x92 would); sensors in the field accept it as it is, so the match ignores both CRC bytes.
inline constexpr std::array<uint8_t, 13> kPreamble = {0x01, 0x46, 0x08, 0x01, 0x08, 0x09, 0x02,
                                                      0x03, 0x00, 0xE9, 0x00, 0xF9, 0x90};
inline constexpr size_t kPreambleMatched = 11;
inline constexpr uint8_t kLegacyProbe = 0x39;  // '9'
inline constexpr size_t kLegacyReplySize = 6;

// Named misbehaviour for tests and demos. Persistent switches live in FaultSettings; FailNext()
// arms a fault for the next replies only.
enum class Fault {
  kSilent,           // no reply at all (the request is logged, not executed)
  kBadCheck,         // CRC (profile F) or additive checksum (profile V) corrupted
  kSplit,            // the reply arrives in pieces with gaps
  kSlow,             // the reply starts after the tool's 1000 ms limit
  kShort,            // the last bytes of the reply are missing
  kTrailingGarbage,  // extra bytes follow the reply
};

struct FaultSettings {
  bool silent = false;
  int corruptEveryNth = 0;  // 0 = never; 1 = every reply; 3 = every third reply
  int splitPieces = 0;      // 0 or 1 = in one piece
  int64_t splitGapUs = 30'000;
  bool slow = false;
  int64_t slowDelayUs = 1'500'000;
  int shortBy = 0;          // bytes cut from the end of every reply
  int trailingGarbage = 0;  // bytes appended to every reply
  bool echo = false;        // the RS-485 adapter hears its own request (applied by the line)
  // With the echo: how long before the last byte has left the wire the adapter reports the
  // send done (USB adapters hold bytes of their own), so the echo of the rest comes late.
  int64_t drainEarlyUs = 16'000;
};

// A reply on the wire: chunks of bytes, each starting delayUs after the previous chunk's last
// byte (the first chunk: after the request's last byte).
struct ReplyChunk {
  int64_t delayUs = 0;
  std::vector<uint8_t> bytes;
};
struct Reply {
  std::vector<ReplyChunk> chunks;
  std::vector<uint8_t> Bytes() const;
};

struct LoggedRequest {
  uint16_t group = 0;
  uint8_t sub = 0;
  std::vector<uint8_t> payload;
  int64_t atUs = 0;
  uint8_t status = 0;  // '>' or '?' as answered; 0 when the sensor kept silent
};

// The sensor side of the service protocol: recognises frames in the byte stream it hears,
// executes the commands on its state and builds the replies, faults applied.
class SensorModel {
 public:
  SensorModel(uint16_t deviceType, LinkKind link, Clock& clock);
  SensorModel(SensorState state, LinkKind link, Clock& clock);

  // Bytes heard on the line at `baud`, the last of them at atUs. Returns the replies to the
  // frames they complete. Frames at a speed the sensor does not listen at are noise to it.
  std::vector<Reply> Receive(std::span<const uint8_t> bytes, int baud, int64_t atUs);
  std::vector<Reply> Receive(std::span<const uint8_t> bytes, int baud);

  // One request body straight to the command layer (no framing, no faults, not logged).
  std::vector<uint8_t> Execute(std::span<const uint8_t> body);

  LinkKind link() const { return link_; }
  bool LinkOpen() const { return linkOpen_; }
  // Back to the state after power-on: a profile F sensor waits for the preamble again.
  void ResetLink();

  SensorState& state() { return state_; }
  const SensorState& state() const { return state_; }
  double SecondsAt(int64_t atUs) const;
  Readings ReadingsNow() const { return ComputeReadings(state_, SecondsAt(clock_.NowUs())); }

  FaultSettings& faults() { return faults_; }
  void FailNext(Fault fault, int count = 1);
  void Refuse(uint16_t group, uint8_t sub, uint32_t deviceError);
  void Refuse(std::string_view commandName, uint32_t deviceError);
  void StopRefusing(uint16_t group, uint8_t sub);
  void ClearFaults();

  // The sensor's turnaround between the end of a request and the first reply byte.
  int64_t responseDelayUs() const { return responseDelayUs_; }
  void SetResponseDelayUs(int64_t us) { responseDelayUs_ = us; }

  const std::vector<LoggedRequest>& log() const { return log_; }
  size_t CountOf(uint16_t group, uint8_t sub) const;
  size_t CountOf(std::string_view commandName) const;  // 0 for a name not in the catalogue
  void ClearLog();
  int preamblesSeen() const { return preamblesSeen_; }
  int legacyProbes() const { return legacyProbes_; }
  // Bursts heard at a speed the sensor was not listening at, and frames it dropped as damaged.
  int ignoredBursts() const { return ignoredBursts_; }
  int damagedFrames() const { return damagedFrames_; }

 private:
  enum class Parse { kNeedMore, kDropped, kDone };
  Parse ParsePreamble(std::vector<Reply>& out);
  Parse ParseEnvelope(std::vector<Reply>& out, int64_t atUs);
  Parse ParseAdapter(std::vector<Reply>& out, int64_t atUs);
  Parse ParseLegacy(std::vector<Reply>& out, int64_t atUs);
  void Serve(std::span<const uint8_t> body, int64_t atUs, std::vector<Reply>& out);
  bool TakeOneShot(Fault fault);
  Reply Shape(std::vector<uint8_t> frame);
  void Corrupt(std::vector<uint8_t>& frame) const;
  bool Listening(int baud) const;

  SensorState state_;
  LinkKind link_;
  Clock& clock_;
  int64_t startUs_;
  bool linkOpen_ = false;

  std::vector<uint8_t> input_;
  int inputBaud_ = 0;
  int64_t lastByteUs_ = 0;

  FaultSettings faults_;
  std::map<Fault, int> oneShots_;
  std::map<uint32_t, uint32_t> refusals_;
  int64_t responseDelayUs_ = 1000;
  uint64_t replyCount_ = 0;

  std::vector<LoggedRequest> log_;
  int preamblesSeen_ = 0;
  int legacyProbes_ = 0;
  int ignoredBursts_ = 0;
  int damagedFrames_ = 0;
};

// A request as the tool frames it, for tests and demos: the body wrapped for the link kind.
std::vector<uint8_t> FrameRequest(LinkKind link, std::span<const uint8_t> body,
                                  uint8_t address = kServiceAddress);

}  // namespace korvin::sim
