// The re-link after new Modbus settings, on virtual time: every port call with its moment, the
// bytes with their speeds, and the line settings it ends with.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>

#include "config/c_modbus_setting.h"
#include "device/connect_sequence.h"
#include "protocol/service_link.h"
#include "sim/sim_serial_port.h"
#include "support/scripted_host.h"
#include "support/scripted_ui.h"

namespace korvin {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

std::string Hex(const uint8_t* data, size_t length) {
  std::string text;
  for (size_t i = 0; i < length; ++i) {
    char hex[4];
    std::snprintf(hex, sizeof hex, i == 0 ? "%02X" : " %02X", data[i]);
    text += hex;
  }
  return text;
}
std::string Hex(const std::vector<uint8_t>& bytes) {
  return Hex(bytes.data(), bytes.size());
}

// A serial port that notes every open, close, purge and write with the moment it happened and
// passes it on to the virtual line.
class TimelinePort final : public SerialPort {
 public:
  struct Event {
    int64_t atUs;
    std::string what;
    bool operator==(const Event&) const = default;
  };

  TimelinePort(SerialPort& port, Clock& clock) : port_(port), clock_(clock) {}

  bool Open(const std::string& device, const LineSettings& settings) override {
    const bool opened = port_.Open(device, settings);
    const char parity = settings.parity == Parity::kNone   ? 'N'
                        : settings.parity == Parity::kEven ? 'E'
                                                           : 'O';
    Note("open " + device + " " + std::to_string(settings.baud) + " " +
         std::to_string(settings.dataBits) + parity + std::to_string(settings.stopBits) +
         (opened ? "" : " failed"));
    return opened;
  }
  void Close() override {
    if (port_.IsOpen()) Note("close");
    port_.Close();
  }
  bool IsOpen() const override { return port_.IsOpen(); }
  PortOpenError LastOpenError() const override { return port_.LastOpenError(); }
  bool PurgeReceive() override {
    Note("purge rx");
    return port_.PurgeReceive();
  }
  bool PurgeTransmit() override {
    Note("purge tx");
    return port_.PurgeTransmit();
  }
  int BytesInReceiveQueue() override { return port_.BytesInReceiveQueue(); }
  int BytesInTransmitQueue() override { return port_.BytesInTransmitQueue(); }
  int Write(const uint8_t* data, size_t length) override {
    Note("write " + Hex(data, length));
    return port_.Write(data, length);
  }
  bool WaitTransmitted(Clock& clock, int64_t timeoutUs) override {
    return port_.WaitTransmitted(clock, timeoutUs);
  }
  int Read(uint8_t* data, size_t capacity) override { return port_.Read(data, capacity); }
  bool WaitReadable(int64_t timeoutUs) override { return port_.WaitReadable(timeoutUs); }
  void SetDtr(bool on) override { port_.SetDtr(on); }
  void SetRts(bool on) override { port_.SetRts(on); }
  int Baud() const override { return port_.Baud(); }

  std::vector<Event> events;
  // Runs after each event is noted (a test changes the sensor there).
  std::function<void(const Event&)> onEvent;

 private:
  void Note(std::string what) {
    events.push_back({clock_.NowUs(), std::move(what)});
    if (onEvent) onEvent(events.back());
  }

  SerialPort& port_;
  Clock& clock_;
};

// A connected virtual sensor behind the timeline port, and a Modbus dialog open on it.
struct RelinkRig {
  explicit RelinkRig(sim::LinkKind kind = sim::LinkKind::kProfileF) : model(0x1030, kind, clock) {
    CConnect connect(link, ui);
    connect.Open(ConnectMode::kConnect, "COM1");
    connect.OnTimer();
    CopyConnectResult(connect.values(), record);
    environment.portName = "COM1";
  }

  // Opens the dialog, presses OK and returns the port calls from the first close on (with the
  // purges right before it), their moments counted from it.
  std::vector<TimelinePort::Event> PressOk() {
    CModbusSetting dialog(environment);
    dialog.Attach(host);
    dialog.Open();
    port.events.clear();
    firstWritten = line.written().size();
    dialog.Press(CModbusSetting::kOkButton);
    end = dialog.end();
    auto first = std::find_if(port.events.begin(), port.events.end(),
                              [](const TimelinePort::Event& e) { return e.what == "close"; });
    while (first != port.events.begin() && first != port.events.end() &&
           std::prev(first)->atUs == first->atUs) {
      --first;
    }
    std::vector<TimelinePort::Event> relink(first, port.events.end());
    const int64_t start = relink.empty() ? 0 : relink.front().atUs;
    for (TimelinePort::Event& e : relink) e.atUs -= start;
    return relink;
  }

  VirtualClock clock;
  sim::SensorModel model;
  sim::SimSerialPort line{model, clock};
  TimelinePort port{line, clock};
  NullEventPump pump;
  ServiceLink link{port, clock, pump};
  test::ScriptedUi ui;
  DeviceRecord record;
  TaskEnvironment environment{link, record};
  test::ScriptedHost host;
  size_t firstWritten = 0;
  DialogEnd end = DialogEnd::kOpen;
};

const std::string kPreambleHex = Hex(kLinkPreamble, sizeof kLinkPreamble);
constexpr uint8_t kReadDeviceTypeBody[] = {0x01, 0xFF, 0x07};
const std::string kProbeHex = Hex(sim::FrameRequest(sim::LinkKind::kProfileF, kReadDeviceTypeBody));

// After the write: purge and close, 200 ms, open at 50000, the preamble twice (each written onto
// a cleared line, 2.6 ms on it, the transport's 120 ms after it, then 200 ms), purge and close,
// 200 ms, open at 19200, 100 ms, and the ReadDeviceType probe 3 ms later.
TEST(ModbusRelink, BytesWaitsAndLineSettingsOnVirtualTime) {
  RelinkRig rig;
  ASSERT_EQ(rig.record.deviceType, 0x1030);
  const std::vector<TimelinePort::Event> relink = rig.PressOk();
  EXPECT_EQ(rig.end, DialogEnd::kAccepted);
  EXPECT_TRUE(rig.host.messages.empty());

  constexpr int64_t kPreambleOnLine = 2600;  // 13 bytes of 10 bits at 50000 baud
  constexpr int64_t kSecond = 200'000 + kPreambleOnLine + 120'000 + 200'000;
  constexpr int64_t kClose = kSecond + kPreambleOnLine + 120'000 + 200'000;
  constexpr int64_t kReopen = kClose + 200'000;
  constexpr int64_t kProbe = kReopen + 100'000 + 3'000;
  const std::vector<TimelinePort::Event> expected = {
      {0, "purge tx"},
      {0, "purge rx"},
      {0, "close"},
      {200'000, "open COM1 50000 8N1"},
      {200'000, "purge tx"},
      {200'000, "purge rx"},
      {200'000, "write " + kPreambleHex},
      {200'000 + kPreambleOnLine, "purge rx"},
      {kSecond, "purge tx"},
      {kSecond, "purge rx"},
      {kSecond, "write " + kPreambleHex},
      {kSecond + kPreambleOnLine, "purge rx"},
      {kClose, "purge tx"},
      {kClose, "purge rx"},
      {kClose, "close"},
      {kReopen, "open COM1 19200 8N1"},
      {kProbe, "purge tx"},
      {kProbe, "purge rx"},
      {kProbe, "write " + kProbeHex},
  };
  ASSERT_GE(relink.size(), expected.size());
  EXPECT_THAT(std::vector(relink.begin(), relink.begin() + expected.size()),
              ElementsAreArray(expected));
  EXPECT_EQ(kPreambleHex, "01 46 08 01 08 09 02 03 00 E9 00 F9 90");

  // The bytes with their speeds: the record at 19200, the preamble twice at 50000, the probe
  // at 19200.
  std::vector<std::string> sent;
  for (size_t i = rig.firstWritten; i < rig.line.written().size(); ++i) {
    const sim::SimSerialPort::Sent& s = rig.line.written()[i];
    sent.push_back(std::to_string(s.baud) + " " + Hex(s.bytes));
  }
  ASSERT_EQ(sent.size(), 4u);
  EXPECT_EQ(sent[0].substr(0, 6), "19200 ");
  EXPECT_EQ(sent[1], "50000 " + kPreambleHex);
  EXPECT_EQ(sent[2], "50000 " + kPreambleHex);
  EXPECT_EQ(sent[3], "19200 " + kProbeHex);

  const LineSettings& line = rig.line.settings();
  EXPECT_TRUE(rig.line.IsOpen());
  EXPECT_EQ(line.baud, 19200);
  EXPECT_EQ(line.dataBits, 8);
  EXPECT_EQ(line.parity, Parity::kNone);
  EXPECT_EQ(line.stopBits, 1);
  EXPECT_EQ(rig.model.preamblesSeen(), 4);  // two at the connect, two now
}

// A link in profile V ends at 19200 baud 8N1 as well; its operations stay those of profile V,
// which that sensor does not hear at 19200, so the probe fails and the dialog stays open.
TEST(ModbusRelink, EndsAt19200WhateverProfileWasInUse) {
  RelinkRig rig(sim::LinkKind::kProfileV);
  ASSERT_EQ(rig.link.profile(), LinkProfile::kProfileV);
  ASSERT_EQ(rig.line.Baud(), 1200);
  const std::vector<TimelinePort::Event> relink = rig.PressOk();
  EXPECT_THAT(rig.host.messages, ElementsAre(kCommunicationErrorMessage));
  EXPECT_EQ(rig.end, DialogEnd::kOpen);
  EXPECT_EQ(rig.line.settings().baud, 19200);
  EXPECT_EQ(rig.line.settings().dataBits, 8);
  EXPECT_EQ(rig.line.settings().parity, Parity::kNone);
  EXPECT_EQ(rig.line.settings().stopBits, 1);
  EXPECT_EQ(rig.link.profile(), LinkProfile::kProfileV);
  EXPECT_EQ(rig.model.state().modbusSettings[0], 1);  // the write itself went through
  EXPECT_EQ(rig.model.CountOf("WriteModbusSettings"), 1u);
}

// A sensor that took the record and then stays silent: the probe costs the engine's three
// tries, once, and the dialog stays open with the message.
TEST(ModbusRelink, ASilentSensorAfterTheWriteFailsTheProbe) {
  RelinkRig rig;
  rig.port.onEvent = [&](const TimelinePort::Event& e) {
    if (e.what == "open COM1 50000 8N1") rig.model.faults().silent = true;
  };
  const std::vector<TimelinePort::Event> relink = rig.PressOk();
  EXPECT_THAT(rig.host.messages, ElementsAre(kCommunicationErrorMessage));
  EXPECT_EQ(rig.end, DialogEnd::kOpen);
  EXPECT_EQ(rig.model.CountOf("ReadDeviceType"), 4u);  // one at the connect, three now
  const auto probes = std::count_if(relink.begin(), relink.end(),
                                    [](const auto& e) { return e.what == "write " + kProbeHex; });
  EXPECT_EQ(probes, 3);
  EXPECT_EQ(rig.line.Baud(), 19200);
}

// The re-link opens the port the link runs on: a device path as it stands, or the COM name of
// the main window's choice when the opener gave none.
TEST(ModbusRelink, ReopensThePortTheLinkRunsOn) {
  struct Case {
    std::string portName;
    int comPortIndex;
    std::string device;
  } cases[] = {{"/dev/pts/7", 0, "/dev/pts/7"}, {"COM4", 3, "COM4"}, {"", 2, "COM3"}};
  for (const Case& c : cases) {
    RelinkRig rig;
    rig.environment.portName = c.portName;
    rig.environment.comPortIndex = c.comPortIndex;
    std::vector<std::string> opens;
    for (const TimelinePort::Event& e : rig.PressOk()) {
      if (e.what.rfind("open ", 0) == 0) opens.push_back(e.what);
    }
    EXPECT_THAT(opens,
                ElementsAre("open " + c.device + " 50000 8N1", "open " + c.device + " 19200 8N1"));
    EXPECT_EQ(rig.line.device(), c.device);
    EXPECT_EQ(rig.end, DialogEnd::kAccepted);
  }
}

}  // namespace
}  // namespace korvin
