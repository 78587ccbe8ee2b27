#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <vector>

#include "platform/event_pump.h"
#include "protocol/commands.h"
#include "protocol/echo_filter.h"
#include "protocol/service_link.h"
#include "protocol/transaction.h"
#include "support/fake_serial_port.h"

namespace korvin {
namespace {

using Bytes = std::vector<uint8_t>;
using test::FakeSerialPort;

constexpr int64_t kMs = 1000;

// A sensor that answers every request with '>' and four data bytes 0x10 0x30 0 0, in the frame
// format of the profile the request came in.
std::vector<FakeSerialPort::Chunk> Answer(const Bytes& request,
                                          const Bytes& payload = {'>', 0x30, 0x10, 0, 0}) {
  Bytes service = EncodeServiceFrame(1, payload.data(), payload.size());
  if (request.at(0) == AdapterFrame::kStartByte) return {{service, kMs}};
  return {{EncodeEnvelopeFrame(1, service), kMs}};
}

struct Rig {
  VirtualClock clock;
  FakeSerialPort port{clock};
  std::function<bool()> onPump;
  CallbackEventPump pump{[this] { return onPump ? onPump() : false; }};
  ServiceLink link{port, clock, pump};

  void OpenAs(LinkProfile profile) {
    link.transport().OpenPort(profile == LinkProfile::kProfileF ? "COM1,19200,N,8,1"
                                                                : "COM1,1200,N,8,1");
    link.InstallProfile(profile);
  }
};

TEST(PortString, ParsesSettingsAndFallsBackTo300Baud) {
  struct Case {
    const char* text;
    int baud;
    int dataBits;
    Parity parity;
    int stopBits;
  } cases[] = {
      {"COM3,50000,N,8,1", 50000, 8, Parity::kNone, 1},
      {"COM3,19200,N,8,1", 19200, 8, Parity::kNone, 1},
      {"COM1,1200,N,8,1", 1200, 8, Parity::kNone, 1},
      {"COM3,12345,E,7,2", 300, 7, Parity::kEven, 2},
      {"COM3,115200,o,8,1", 115200, 8, Parity::kOdd, 1},
      {"COM3,1152000,N,8,1", 300, 8, Parity::kNone, 1},
  };
  for (const Case& c : cases) {
    const PortString p = ParsePortString(c.text);
    EXPECT_EQ(p.name, c.text[3] == '1' ? "COM1" : "COM3") << c.text;
    EXPECT_EQ(p.settings.baud, c.baud) << c.text;
    EXPECT_EQ(p.settings.dataBits, c.dataBits) << c.text;
    EXPECT_EQ(p.settings.parity, c.parity) << c.text;
    EXPECT_EQ(p.settings.stopBits, c.stopBits) << c.text;
  }
  EXPECT_EQ(ParsePortString("/dev/pts/4,19200,N,8,1").name, "/dev/pts/4");
}

TEST(SerialTransport, MissingPortLeavesNothingOpen) {
  Rig rig;
  rig.port.openFails = true;
  EXPECT_EQ(rig.link.transport().OpenPort("COM7,19200,N,8,1"), ERR_PORT_CLOSED);
  EXPECT_FALSE(rig.port.IsOpen());
  uint8_t rx[8];
  uint16_t expected = 5;
  EXPECT_EQ(rig.link.transport().WritePort(rx, 1), ERR_PORT_CLOSED);
  EXPECT_EQ(rig.link.transport().ReadPort(rx, expected, 1000), ERR_PORT_CLOSED);
  EXPECT_FALSE(rig.link.transport().PortBusy());
}

// The protocol's pauses, charged exactly on virtual time.
TEST(SerialTransport, ExchangeTimingsPerProfile) {
  {
    Rig rig;
    rig.OpenAs(LinkProfile::kProfileF);
    rig.port.responder = [](const Bytes& r) { return Answer(r); };
    const int64_t t0 = rig.clock.NowUs();
    uint8_t type[2] = {};
    ASSERT_EQ(RunTransaction(rig.link.context(), ReadDeviceType(), type, 2), kOk);
    EXPECT_EQ(GetU16(type), 0x1030);
    // 3 + 120 + 3 + 12 ms of pauses, plus 12 bytes at 19200 baud on the way out.
    EXPECT_EQ(rig.clock.NowUs() - t0, 138 * kMs + rig.port.TransmitUs(12));
  }
  {
    Rig rig;
    rig.OpenAs(LinkProfile::kProfileF);
    const int64_t t0 = rig.clock.NowUs();
    EXPECT_EQ(RunTransaction(rig.link.context(), ReadDeviceType()), ERR_REPLY_TIMEOUT);
    // Each silent try also waits for the line to stay quiet before the next one goes out.
    EXPECT_EQ(rig.clock.NowUs() - t0,
              3 * ((1126 + timing::kQuietGapMs) * kMs + rig.port.TransmitUs(12)));
    EXPECT_EQ(rig.port.writes.size(), 3u);
  }
  {
    Rig rig;
    rig.OpenAs(LinkProfile::kProfileV);
    const int64_t t0 = rig.clock.NowUs();
    EXPECT_EQ(RunTransaction(rig.link.context(), ReadDeviceType()), ERR_REPLY_TIMEOUT);
    EXPECT_EQ(rig.clock.NowUs() - t0,
              3 * ((1380 + timing::kQuietGapMs) * kMs + rig.port.TransmitUs(8)));
    EXPECT_EQ(rig.port.writes[0], (Bytes{0x56, 0x01, 0x07, 0x01, 0xFF, 0x07, 0xF1, 0x00}));
  }
}

TEST(SerialTransport, RepliesInPiecesLongAndWithEcho) {
  const Bytes payload = {'>', 0x78, 0x56, 0x34, 0x12};
  struct Case {
    const char* name;
    std::function<std::vector<FakeSerialPort::Chunk>(const Bytes&)> responder;
    bool echo;
  } cases[] = {
      {"three pieces with gaps",
       [&](const Bytes& r) {
         Bytes whole = Answer(r, payload)[0].bytes;
         return std::vector<FakeSerialPort::Chunk>{
             {Bytes(whole.begin(), whole.begin() + 4), 150 * kMs},
             {Bytes(whole.begin() + 4, whole.begin() + 9), 300 * kMs},
             {Bytes(whole.begin() + 9, whole.end()), 500 * kMs}};
       },
       false},
      {"trailing bytes beyond the frame",
       [&](const Bytes& r) {
         auto chunks = Answer(r, payload);
         chunks[0].bytes.insert(chunks[0].bytes.end(), {0xDE, 0xAD, 0xBE, 0xEF});
         return chunks;
       },
       false},
      {"own frame echoed by the RS-485 line", [&](const Bytes& r) { return Answer(r, payload); },
       true},
  };
  for (const Case& c : cases) {
    Rig rig;
    rig.OpenAs(LinkProfile::kProfileF);
    rig.port.responder = c.responder;
    rig.port.echo = c.echo;
    uint8_t serial[4] = {};
    EXPECT_EQ(RunTransaction(rig.link.context(), ReadSerialNumber(), serial, 4), kOk) << c.name;
    EXPECT_EQ(GetU32(serial), 0x12345678u) << c.name;
    EXPECT_EQ(rig.port.writes.size(), 1u) << c.name;
  }
}

// A USB RS-485 adapter reports the send done before the echo of the last bytes is back, so the
// echo, whole or its tail, comes after the receive queue was cleared, ahead of the reply.
TEST(SerialTransport, EchoAfterTheDrainIsDroppedNotTakenForTheReply) {
  const Bytes payload = {'>', 0x78, 0x56, 0x34, 0x12};
  struct Case {
    const char* name;
    LinkProfile profile;
    size_t lostBytes;  // of the echo, purged with the receive queue
    bool split;
    bool longWrite;  // a request much longer than its reply
  } cases[] = {
      {"whole echo, profile F", LinkProfile::kProfileF, 0, false, false},
      {"tail of the echo, profile F", LinkProfile::kProfileF, 9, false, false},
      {"last byte only, profile F", LinkProfile::kProfileF, 11, false, false},
      {"whole echo, profile V", LinkProfile::kProfileV, 0, false, false},
      {"tail of the echo, profile V", LinkProfile::kProfileV, 6, false, false},
      {"echo and a reply in pieces", LinkProfile::kProfileF, 0, true, false},
      {"echo of a write longer than its reply", LinkProfile::kProfileF, 0, false, true},
  };
  for (const Case& c : cases) {
    Rig rig;
    rig.OpenAs(c.profile);
    rig.port.echo = true;
    rig.port.echoDelayUs = 2 * kMs;
    rig.port.echoLostBytes = c.lostBytes;
    rig.port.responder = [&](const Bytes& r) {
      auto chunks = Answer(r, payload);
      if (!c.split) return chunks;
      Bytes whole = chunks[0].bytes;
      return std::vector<FakeSerialPort::Chunk>{{Bytes(whole.begin(), whole.begin() + 3), 5 * kMs},
                                                {Bytes(whole.begin() + 3, whole.end()), 30 * kMs}};
    };
    if (c.longWrite) {
      const std::array<float, 10> measured{};
      EXPECT_EQ(RunTransaction(rig.link.context(), WriteUserCalibrationMeasured(measured)), kOk)
          << c.name;
    } else {
      uint8_t serial[4] = {};
      EXPECT_EQ(RunTransaction(rig.link.context(), ReadSerialNumber(), serial, 4), kOk) << c.name;
      EXPECT_EQ(GetU32(serial), 0x12345678u) << c.name;
    }
    EXPECT_EQ(rig.port.writes.size(), 1u) << c.name;
  }
}

TEST(EchoFilter, RecognisesTheRequestOrItsTailOnlyAsAWhole) {
  // ReadUnit(0) in profile V: 56 01 08 09 02 03 00 EB 00; its reply starts with the address 01.
  const Bytes sent = {0x56, 0x01, 0x08, 0x09, 0x02, 0x03, 0x00, 0xEB, 0x00};
  const SentFrame frame{sent.data(), sent.size(), 0x01};
  struct Case {
    const char* name;
    Bytes received;
    bool decided;
    size_t echo;
  } cases[] = {
      {"nothing yet", {}, false, 0},
      {"the reply alone", {0x01, 0x09, 0x3E, 0x02}, true, 0},
      {"part of the echo", {0x56, 0x01, 0x08}, false, 0},
      {"the whole echo", sent, true, sent.size()},
      {"a 00 that may be inside the echo", {0x00}, false, 0},
      {"the last byte, then the reply", {0x00, 0x01, 0x09}, true, 1},
      {"the tail, then the reply", {0xEB, 0x00, 0x01}, true, 2},
      {"a tail-like start not followed by the address", {0x00, 0x02}, true, 0},
  };
  for (const Case& c : cases) {
    const EchoMatch m = MatchLeadingEcho(c.received.data(), c.received.size(), frame);
    EXPECT_EQ(m.decided, c.decided) << c.name;
    EXPECT_EQ(m.length, c.echo) << c.name;
  }
  Bytes echoThenReply = sent;
  echoThenReply.insert(echoThenReply.end(), {0x01, 0x09, 0x3E});
  EXPECT_EQ(MatchLeadingEcho(echoThenReply.data(), echoThenReply.size(), frame).length,
            sent.size());
}

// A sensor that answers after the 1000 ms limit: every reply would land in the read of the next
// request, and replies of the same length pass every check. Whatever the lateness, a command
// gets its own value or fails; it never gets another command's.
TEST(SerialTransport, LateRepliesAreNeverTakenForAnotherCommand) {
  const std::pair<RequestBuilder, uint32_t> commands[] = {
      {ReadSerialNumber(), 0x11111111},
      {ReadItemNumber(), 0x22222222},
      {ReadAtmosphericPressure(), 0x33333333},
      {ReadCalibrationDateNumber(), 0x44444444},
  };
  struct Case {
    LinkProfile profile;
    int64_t lateMs;
    bool queues;  // the sensor works through requests one after another
    int pieces;
  } cases[] = {
      {LinkProfile::kProfileF, 1100, false, 3}, {LinkProfile::kProfileF, 1200, false, 1},
      {LinkProfile::kProfileF, 1500, false, 1}, {LinkProfile::kProfileF, 2500, false, 1},
      {LinkProfile::kProfileF, 2900, false, 1}, {LinkProfile::kProfileF, 1500, true, 1},
      {LinkProfile::kProfileF, 2500, true, 1},  {LinkProfile::kProfileF, 3300, true, 1},
      {LinkProfile::kProfileV, 1500, false, 1}, {LinkProfile::kProfileV, 2500, false, 1},
      {LinkProfile::kProfileV, 2500, true, 1},  {LinkProfile::kProfileV, 4000, true, 1},
      {LinkProfile::kProfileF, 1500, false, 4},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message()
                 << "profile " << static_cast<int>(c.profile) << ", " << c.lateMs << " ms late"
                 << (c.queues ? ", queueing" : "") << ", " << c.pieces << " pieces");
    Rig rig;
    rig.OpenAs(c.profile);
    int64_t busyUntilUs = 0;
    rig.port.responder = [&](const Bytes& request) {
      uint32_t value = 0;
      for (const auto& [builder, v] : commands) {
        uint8_t body[8] = {};
        builder.Build(body);
        // Group and sub-command tell the commands apart.
        if (std::search(request.begin(), request.end(), body, body + 3) != request.end()) value = v;
      }
      Bytes payload = {'>', 0, 0, 0, 0};
      PutU32(payload.data() + 1, value);
      auto chunks = Answer(request, payload);
      const int64_t sentUs = rig.clock.NowUs() + rig.port.TransmitUs(request.size());
      int64_t startUs = sentUs + c.lateMs * kMs;
      if (c.queues) startUs = std::max(startUs, busyUntilUs + c.lateMs * kMs);
      busyUntilUs = startUs + rig.port.TransmitUs(chunks[0].bytes.size());
      chunks[0].delayUs = startUs - sentUs;
      if (c.pieces > 1) {
        const Bytes whole = chunks[0].bytes;
        chunks.clear();
        for (int p = 0; p < c.pieces; ++p) {
          const size_t from = whole.size() * p / c.pieces;
          const size_t to = whole.size() * (p + 1) / c.pieces;
          // Each piece's delay counts from the end of the request.
          chunks.push_back(
              {Bytes(whole.begin() + from, whole.begin() + to), startUs - sentUs + p * 30 * kMs});
        }
      }
      return chunks;
    };
    int answered = 0;
    for (int round = 0; round < 2; ++round) {
      for (const auto& [builder, value] : commands) {
        uint8_t data[4] = {};
        if (RunTransaction(rig.link.context(), builder, data, 4) != kOk) continue;
        EXPECT_EQ(GetU32(data), value);
        ++answered;
      }
    }
    // Up to nearly three times the limit late, each command gets its answer in its three tries;
    // a reply that straddles the limit in pieces never does, as it is never whole in time.
    if (!c.queues && c.pieces == 1) {
      EXPECT_EQ(answered, 8);
    }
  }
}

TEST(SerialTransport, ShortReplyTimesOutKeepingWhatCame) {
  Rig rig;
  rig.OpenAs(LinkProfile::kProfileV);
  rig.port.responder = [](const Bytes&) {
    return std::vector<FakeSerialPort::Chunk>{{Bytes{0x01, 0x09, 0x3E}, 0}};
  };
  const Bytes request = {0x56, 0x01, 0x07, 0x01, 0xFF, 0x07, 0xF1, 0x00};
  ASSERT_EQ(rig.link.transport().WritePort(request.data(), request.size()), kOk);
  uint8_t rx[16] = {};
  uint16_t expected = 5;
  const int64_t t0 = rig.clock.NowUs();
  EXPECT_EQ(rig.link.transport().ReadPort(rx, expected, 1000), ERR_LINK_TIMEOUT);
  EXPECT_EQ(rig.clock.NowUs() - t0, 1000 * kMs);
  EXPECT_EQ(expected, 3);
  EXPECT_EQ(Bytes(rx, rx + 3), (Bytes{0x01, 0x09, 0x3E}));
  EXPECT_FALSE(rig.link.transport().PortBusy());

  // Through the engine the same short reply is a reply time-out on all three tries.
  EXPECT_EQ(RunTransaction(rig.link.context(), ReadSerialNumber()), ERR_REPLY_TIMEOUT);
}

TEST(SerialTransport, ReadErrorAndQuitFailTheTry) {
  {
    Rig rig;
    rig.OpenAs(LinkProfile::kProfileF);
    rig.port.responder = [](const Bytes& r) { return Answer(r); };
    rig.port.readFails = true;
    EXPECT_EQ(RunTransaction(rig.link.context(), ReadDeviceType()), ERR_LINK_IO);
    EXPECT_EQ(rig.port.writes.size(), 3u);
  }
  {
    Rig rig;
    rig.OpenAs(LinkProfile::kProfileF);
    rig.onPump = [] { return true; };
    EXPECT_EQ(RunTransaction(rig.link.context(), ReadDeviceType()), ERR_LINK_QUIT);
    // Quitting ends the transaction instead of trying twice more.
    EXPECT_EQ(rig.port.writes.size(), 1u);
  }
}

// A timer tick pumped while a reply is awaited starts another transaction: it must fail at once,
// send nothing and leave the waiting transaction's frame and reply intact.
TEST(SerialTransport, NestedTransactionFromAPumpedTickTouchesNothing) {
  for (LinkProfile profile : {LinkProfile::kProfileF, LinkProfile::kProfileV}) {
    Rig rig;
    rig.OpenAs(profile);
    rig.port.responder = [](const Bytes& r) {
      auto chunks = Answer(r, {'>', 0x21, 0x43, 0x65, 0x07});
      chunks[0].delayUs = 400 * kMs;  // arrives while the read pumps events
      return chunks;
    };
    ResultCode nested = kOk;
    int nestedCalls = 0;
    Bytes transmitDuringNested;
    rig.onPump = [&] {
      if (nestedCalls++ == 0) {
        const Bytes before(rig.link.context().transmit.begin(), rig.link.context().transmit.end());
        uint8_t options = 0xEE;
        const int64_t t = rig.clock.NowUs();
        nested = RunTransaction(rig.link.context(), ReadSensorOptions(), &options, 1);
        EXPECT_EQ(options, 0xEE);
        EXPECT_EQ(Bytes(rig.link.context().transmit.begin(), rig.link.context().transmit.end()),
                  before);
        // No pauses, no line traffic: the busy flag refuses it at the door.
        EXPECT_EQ(rig.clock.NowUs(), t);
      }
      return false;
    };
    uint8_t serial[4] = {};
    EXPECT_EQ(RunTransaction(rig.link.context(), ReadSerialNumber(), serial, 4), kOk);
    EXPECT_EQ(nested, ERR_LINK_TIMEOUT);
    EXPECT_EQ(GetU32(serial), 0x07654321u);
    EXPECT_EQ(rig.port.writes.size(), 1u);
    EXPECT_FALSE(rig.link.transport().PortBusy());
    EXPECT_FALSE(rig.link.transport().ExchangeBusy());
    EXPECT_FALSE(rig.link.context().buffersInUse);
  }
}

TEST(SerialTransport, TransmitQueueThatNeverDrainsFailsAfter3000ms) {
  Rig rig;
  rig.OpenAs(LinkProfile::kProfileF);
  rig.port.responder = [](const Bytes& r) { return Answer(r); };
  rig.port.transmitStuck = true;
  const Bytes frame = {1, 2, 3};
  const int64_t t0 = rig.clock.NowUs();
  EXPECT_EQ(rig.link.transport().WritePort(frame.data(), frame.size()), ERR_LINK_TIMEOUT);
  EXPECT_EQ(rig.clock.NowUs() - t0, 3000 * kMs);
  EXPECT_FALSE(rig.link.transport().PortBusy());
  // Through the engine: three tries, each given up at the drain, and nothing is read.
  uint8_t type[2] = {0xEE, 0xEE};
  EXPECT_EQ(RunTransaction(rig.link.context(), ReadDeviceType(), type, 2), ERR_LINK_TIMEOUT);
  EXPECT_EQ(rig.port.writes.size(), 4u);
  EXPECT_EQ(type[0], 0xEE);
}

TEST(SerialTransport, ReopeningDoesNotPurgeClosingDoes) {
  Rig rig;
  rig.OpenAs(LinkProfile::kProfileF);
  const int receive = rig.port.receivePurges;
  const int transmit = rig.port.transmitPurges;
  ASSERT_EQ(rig.link.transport().OpenPort("COM1,19200,N,8,1"), kOk);
  EXPECT_EQ(rig.port.receivePurges, receive);
  EXPECT_EQ(rig.port.transmitPurges, transmit);
  rig.link.transport().ClosePort();
  EXPECT_EQ(rig.port.receivePurges, receive + 1);
  EXPECT_EQ(rig.port.transmitPurges, transmit + 1);
  EXPECT_FALSE(rig.port.IsOpen());
}

TEST(SerialTransport, FailedOpenSaysWhichDeviceAndWhy) {
  VirtualClock clock;
  FakeSerialPort port(clock);
  NullEventPump pump;
  SerialTransport transport(port, clock, pump, [](const std::string& name) {
    return name == "COM7" ? std::string("/dev/ttyUSB6") : name;
  });
  struct Case {
    const char* portString;
    PortOpenFailure failure;
    const char* text;
  } cases[] = {
      {"COM7,19200,N,8,1", PortOpenFailure::kNotFound, "/dev/ttyUSB6 (COM7): not found"},
      {"COM7,19200,N,8,1", PortOpenFailure::kBusy,
       "/dev/ttyUSB6 (COM7): busy - another program has the port open"},
      {"/dev/pts/9,1200,N,8,1", PortOpenFailure::kPermissionDenied,
       "/dev/pts/9: permission denied - add your user to the group dialout and log in again"},
  };
  for (const Case& c : cases) {
    port.openFails = true;
    port.openFailure = c.failure;
    EXPECT_EQ(transport.OpenPort(c.portString), ERR_PORT_CLOSED);
    EXPECT_EQ(transport.openFailure(), c.text);
  }
  port.openFails = false;
  EXPECT_EQ(transport.OpenPort("COM7,19200,N,8,1"), kOk);
  EXPECT_EQ(transport.openFailure(), "");
}

TEST(ServiceLink, ProfileFSetUpSendsThePreambleAndEndsAt19200) {
  Rig rig;
  rig.port.responder = [&](const Bytes& r) {
    return rig.port.Baud() == 19200 ? Answer(r) : std::vector<FakeSerialPort::Chunk>{};
  };
  bool first = true;
  uint16_t type = 0;
  int steps = 0;
  const int64_t t0 = rig.clock.NowUs();
  ASSERT_EQ(rig.link.EstablishLink(LinkProfile::kProfileF, "COM2", first, type, [&] { ++steps; }),
            kOk);
  EXPECT_EQ(type, 0x1030);
  EXPECT_FALSE(first);
  EXPECT_EQ(steps, 6);
  EXPECT_EQ(rig.port.opened, (std::vector<std::string>{"COM2@50000", "COM2@19200"}));
  const Bytes preamble(std::begin(kLinkPreamble), std::end(kLinkPreamble));
  ASSERT_EQ(rig.port.writes.size(), 3u);
  EXPECT_EQ(rig.port.writes[0], preamble);
  EXPECT_EQ(rig.port.writes[1], preamble);
  EXPECT_EQ(preamble.back(), 0x90);
  // 200 before opening; per preamble its 120 ms write pause and 200 ms; 200 after closing; then
  // the ReadDeviceType exchange.
  const int64_t preambleUs = std::llround(13 * 10e6 / 50000);
  EXPECT_EQ(rig.clock.NowUs() - t0, 200 * kMs + 2 * (preambleUs + 120 * kMs + 200 * kMs) +
                                        200 * kMs + 138 * kMs + rig.port.TransmitUs(12));
}

TEST(ServiceLink, FallsBackToProfileVAndClosesOnSilence) {
  Rig rig;
  rig.port.responder = [&](const Bytes& r) {
    return rig.port.Baud() == 1200 && r[0] == 'V' ? Answer(r)
                                                  : std::vector<FakeSerialPort::Chunk>{};
  };
  bool first = true;
  uint16_t type = 0;
  EXPECT_EQ(rig.link.EstablishLink(LinkProfile::kProfileF, "COM1", first, type), ERR_LINK_IO);
  EXPECT_FALSE(rig.port.IsOpen());
  EXPECT_EQ(rig.link.EstablishLink(LinkProfile::kProfileV, "COM1", first, type), kOk);
  EXPECT_EQ(type, 0x1030);
  EXPECT_EQ(rig.link.profile(), LinkProfile::kProfileV);
  EXPECT_EQ(rig.link.context().bodyOffset(), 3u);
  EXPECT_EQ(rig.link.context().replyOverhead(), 4u);

  rig.port.openFails = true;
  EXPECT_EQ(rig.link.EstablishLink(LinkProfile::kProfileF, "COM1", first, type), ERR_PORT_CLOSED);
  EXPECT_EQ(rig.link.EstablishLink(LinkProfile::kProfileV, "COM1", first, type), ERR_PORT_CLOSED);
}

TEST(ServiceLink, RelinkReportsEachFailure) {
  Rig rig;
  rig.port.responder = [&](const Bytes& r) {
    return rig.port.Baud() == 19200 ? Answer(r) : std::vector<FakeSerialPort::Chunk>{};
  };
  rig.OpenAs(LinkProfile::kProfileF);
  EXPECT_EQ(rig.link.Relink("COM1"), RelinkResult::kOk);
  EXPECT_EQ(rig.port.Baud(), 19200);
  rig.port.responder = nullptr;
  EXPECT_EQ(rig.link.Relink("COM1"), RelinkResult::kNoAnswer);
  rig.port.openFails = true;
  EXPECT_EQ(rig.link.Relink("COM1"), RelinkResult::kOpenFailed);

  // The port will not close between the preamble and 19200 baud, or will not open again.
  rig.port.openFails = false;
  rig.port.responder = [&](const Bytes& r) { return Answer(r); };
  rig.port.closeFails = true;
  EXPECT_EQ(rig.link.Relink("COM1"), RelinkResult::kCloseFailed);
  rig.port.closeFails = false;
  rig.port.openFailsAtBaud = 19200;
  EXPECT_EQ(rig.link.Relink("COM1"), RelinkResult::kReopenFailed);
  EXPECT_EQ(rig.port.opened.back(), "COM1@50000");
}

}  // namespace
}  // namespace korvin
