#include "protocol/link_trace.h"

#include <cerrno>
#include <chrono>
#include <cinttypes>
#include <cstring>
#include <ctime>

#include "protocol/commands.h"

namespace korvin {

namespace {

constexpr int64_t kUsPerMs = 1000;
constexpr size_t kBodyHeader = 3;  // group (2 bytes) and sub-command

std::string Number(double v) {
  char text[32];
  std::snprintf(text, sizeof text, "%g", v);
  return text;
}

std::string FieldText(Field field, const uint8_t* p) {
  switch (field) {
    case Field::kByte:
      return std::to_string(p[0]);
    case Field::kU16:
      return std::to_string(GetU16(p));
    case Field::kU32:
      return std::to_string(GetU32(p));
    case Field::kFloat:
      return Number(GetFloat(p));
    case Field::kDouble:
      return Number(GetDouble(p));
    case Field::kFloats10: {
      std::string text = "[";
      for (size_t i = 0; i < 10; ++i) {
        if (i > 0) text += ' ';
        text += Number(GetFloat(p + 4 * i));
      }
      return text + "]";
    }
    case Field::kCompensation17:
    case Field::kModbusSettings22:
    case Field::kAnalogueCal37:
      // Records are shown as their bytes: the tx line's hex holds them in full.
      return "record of " + std::to_string(FieldSize(field)) + " bytes";
  }
  return {};
}

std::string Hex2(unsigned v, int digits) {
  char text[16];
  std::snprintf(text, sizeof text, "%0*X", digits, v);
  return text;
}

const char* ParityLetter(Parity parity) {
  switch (parity) {
    case Parity::kEven:
      return "E";
    case Parity::kOdd:
      return "O";
    case Parity::kNone:
      break;
  }
  return "N";
}

std::string LocalStartTime() {
  const auto now = std::chrono::system_clock::now();
  const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
  std::tm local{};
  localtime_r(&seconds, &local);
  char text[40];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &local);
  const auto ms =
      std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
  char fraction[8];
  std::snprintf(fraction, sizeof fraction, ".%03d", static_cast<int>(ms));
  return std::string(text) + fraction;
}

}  // namespace

std::string CountedBytes(const uint8_t* bytes, size_t length) {
  std::string text = std::to_string(length) + (length == 1 ? " byte" : " bytes");
  if (length > 0) text += ": " + HexBytes(bytes, length);
  return text;
}

std::string HexBytes(const uint8_t* bytes, size_t length) {
  std::string text;
  text.reserve(length * 3);
  for (size_t i = 0; i < length; ++i) {
    if (i > 0) text += ' ';
    text += Hex2(bytes[i], 2);
  }
  return text;
}

std::string DescribeRequestBody(const uint8_t* body, size_t length) {
  if (length < kBodyHeader) return "(no command)";
  if (length == sizeof kReadDeviceNameBody && std::memcmp(body, kReadDeviceNameBody, length) == 0) {
    return "ReadDeviceName";
  }
  const uint16_t group = GetU16(body);
  const uint8_t sub = body[2];
  const CommandSpec* command = FindCommand(group, sub);
  if (command == nullptr) return "command " + Hex2(group, 4) + "/" + Hex2(sub, 2);
  std::string text(command->name);
  if (command->fieldCount == 0) return text;
  text += '(';
  size_t at = kBodyHeader;
  for (size_t i = 0; i < command->fieldCount; ++i) {
    const Field field = command->fields[i];
    if (i > 0) text += ", ";
    if (at + FieldSize(field) > length) {
      text += "?";
      break;
    }
    text += FieldText(field, body + at);
    at += FieldSize(field);
  }
  return text + ')';
}

LinkTrace::LinkTrace(Clock& clock, Sink sink)
    : clock_(clock), sink_(std::move(sink)), startUs_(clock.NowUs()) {}

std::unique_ptr<LinkTrace> LinkTrace::OpenFile(const std::filesystem::path& file, Clock& clock,
                                               std::string& error) {
  std::FILE* f = std::fopen(file.c_str(), "w");
  if (f == nullptr) {
    error = "Cannot write the trace " + file.string() + ": " + std::strerror(errno);
    return nullptr;
  }
  auto trace = std::make_unique<LinkTrace>(clock, [f](std::string_view line) {
    std::fwrite(line.data(), 1, line.size(), f);
    std::fputc('\n', f);
    // Per line: a crash or a kill loses nothing that was traced.
    std::fflush(f);
  });
  trace->file_ = f;
  trace->sink_("# korvin link trace, started " + LocalStartTime() +
               " local time; each line: milliseconds since then, event, details");
  return trace;
}

LinkTrace::~LinkTrace() {
  if (file_ != nullptr) std::fclose(file_);
}

void LinkTrace::Line(std::string_view event, const std::string& rest) {
  const int64_t ms = (clock_.NowUs() - startUs_) / kUsPerMs;
  char stamp[24];
  std::snprintf(stamp, sizeof stamp, "%8" PRId64 " ", ms);
  line_.assign(stamp);
  line_ += event;
  if (!rest.empty()) {
    line_ += ' ';
    line_ += rest;
  }
  sink_(line_);
}

std::string LinkTrace::Where() const {
  const char* profile = profile_ == LinkProfile::kProfileF   ? "F"
                        : profile_ == LinkProfile::kProfileV ? "V"
                                                             : "-";
  return std::string(profile) + " " + std::to_string(baud_);
}

void LinkTrace::PortOpened(const std::string& name, const std::string& device,
                           const LineSettings& line, const std::string& failure) {
  const std::string settings = std::to_string(line.baud) + "," + ParityLetter(line.parity) + "," +
                               std::to_string(line.dataBits) + "," + std::to_string(line.stopBits);
  if (failure.empty()) baud_ = line.baud;
  std::string rest = name;
  if (device != name) rest += " (" + device + ")";
  rest += " " + settings + " " + (failure.empty() ? std::string("OK") : "failed: " + failure);
  Line("open", rest);
}

void LinkTrace::PortClosed() {
  Line("close", {});
  baud_ = 0;
}

void LinkTrace::Purged(bool transmit, bool receive) {
  std::string which;
  if (transmit) which = "tx";
  if (receive) which += which.empty() ? "rx" : " rx";
  Line("purge", which);
}

void LinkTrace::Written(const uint8_t* bytes, size_t length) {
  const std::string data = CountedBytes(bytes, length);
  if (tries_.empty() || tries_.back().sent) {
    Line("write", std::to_string(baud_) + " " + data);
    return;
  }
  Try& t = tries_.back();
  t.sent = true;
  t.sentUs = clock_.NowUs();
  Line("tx", Where() + " try " + std::to_string(t.number) + " " + t.command + " " + data);
}

void LinkTrace::Received(const uint8_t* bytes, size_t length) {
  if (tries_.empty()) return;
  Try& t = tries_.back();
  t.reply.assign(bytes, bytes + length);
  t.received = true;
  t.receivedUs = clock_.NowUs();
}

void LinkTrace::Dropped(std::string_view why, const uint8_t* bytes, size_t length) {
  if (length == 0) return;
  Line("drop", std::string(why) + " " + CountedBytes(bytes, length));
}

void LinkTrace::BeginTry(const std::string& command, int tryNumber) {
  Try t;
  t.command = command;
  t.number = tryNumber;
  tries_.push_back(std::move(t));
}

void LinkTrace::EndTry(ResultCode result, const ReplyStatus* status, size_t dataLength) {
  if (tries_.empty()) return;
  const Try t = std::move(tries_.back());
  tries_.pop_back();
  std::string rest = Where() + " try " + std::to_string(t.number) + " " + t.command;
  if (!t.sent) {
    Line("nosend", rest + " result " + ResultName(result));
    return;
  }
  if (status != nullptr) {
    rest += status->refused ? " status refused" : " status accepted";
    if (status->hasDeviceError) rest += " device error 0x" + Hex2(status->deviceError, 8);
    rest += " data " + std::to_string(dataLength);
  }
  // A read that timed out ends at its time limit, not after the quiet wait that follows it.
  const int64_t endUs = t.received ? t.receivedUs : clock_.NowUs();
  rest += std::string(" result ") + ResultName(result) + " rtt " +
          std::to_string((endUs - t.sentUs) / kUsPerMs) + " ms " +
          CountedBytes(t.reply.data(), t.reply.size());
  Line("rx", rest);
}

}  // namespace korvin
