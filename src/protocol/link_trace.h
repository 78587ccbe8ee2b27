#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/clock.h"
#include "platform/serial_port.h"
#include "protocol/frames.h"
#include "protocol/protocol_context.h"
#include "protocol/result_codes.h"

namespace korvin {

// A decoded log of the serial line for support: one line per event, written as it happens, so a
// trace of a link that misbehaves can be read next to the sensor's manual. Every line starts with
// the milliseconds since the trace began and the event's name:
//
//   open    port name, device, line settings, OK or the reason it failed
//   close   the port was closed
//   purge   which queues were cleared (tx, rx)
//   write   a raw write outside a request (the link set-up): line speed, bytes in hex
//   tx      a request: profile, line speed, try, command and its fields, bytes in hex
//   rx      its outcome: profile, line speed, try, command, reply status and data length, the
//           result by name, the round trip in ms, the bytes received in hex
//   nosend  a try that ended before its request went out (the link was busy or closed)
//   drop    bytes read and thrown away: an echo of the request or the end of a late reply
//
// The transport and the transaction report to it; with no trace installed they skip every call,
// so a link without a trace does exactly what it did.
class LinkTrace {
 public:
  using Sink = std::function<void(std::string_view line)>;

  // Lines go to `sink`, one call per line without the newline.
  LinkTrace(Clock& clock, Sink sink);
  // Creates or replaces `file` and writes a header line with the local start time. Every line is
  // flushed as it is written, so the trace survives a crash. Null when the file cannot be
  // created; `error` then says why.
  static std::unique_ptr<LinkTrace> OpenFile(const std::filesystem::path& file, Clock& clock,
                                             std::string& error);
  ~LinkTrace();
  LinkTrace(const LinkTrace&) = delete;
  LinkTrace& operator=(const LinkTrace&) = delete;

  void SetProfile(LinkProfile profile) { profile_ = profile; }

  // From the transport.
  void PortOpened(const std::string& name, const std::string& device, const LineSettings& line,
                  const std::string& failure);
  void PortClosed();
  void Purged(bool transmit, bool receive);
  void Written(const uint8_t* bytes, size_t length);
  void Received(const uint8_t* bytes, size_t length);
  void Dropped(std::string_view why, const uint8_t* bytes, size_t length);

  // From the transaction: one try of the request `command` (DescribeRequestBody).
  void BeginTry(const std::string& command, int tryNumber);
  // `status` is null when the reply failed its checks or never came; dataLength counts the data
  // after the status header.
  void EndTry(ResultCode result, const ReplyStatus* status, size_t dataLength);

 private:
  struct Try {
    std::string command;  // name and fields
    int number = 0;
    bool sent = false;
    int64_t sentUs = 0;
    bool received = false;  // the read ended, with a reply or at its time limit
    int64_t receivedUs = 0;
    std::vector<uint8_t> reply;
  };

  void Line(std::string_view event, const std::string& rest);
  std::string Where() const;  // profile and line speed

  Clock& clock_;
  Sink sink_;
  std::FILE* file_ = nullptr;
  int64_t startUs_;
  LinkProfile profile_ = LinkProfile::kNone;
  int baud_ = 0;
  // A transaction started from an event pumped while another waits has a try of its own.
  std::vector<Try> tries_;
  std::string line_;
};

// "ReadUnit(2)", "WriteAnalogueScaling(4, 20)": the command a request body holds, by its name in
// the catalogue, and its payload fields.
std::string DescribeRequestBody(const uint8_t* body, size_t length);
std::string HexBytes(const uint8_t* bytes, size_t length);
// "3 bytes: 01 02 03", "0 bytes".
std::string CountedBytes(const uint8_t* bytes, size_t length);

}  // namespace korvin
