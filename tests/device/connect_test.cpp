#include <gtest/gtest.h>

#include "device/connect_sequence.h"
#include "device/device_types.h"
#include "sim_rig.h"

namespace korvin {
namespace {

using sim::LinkKind;
using test::SimRig;

struct Connected {
  int result;
  DeviceRecord values;
  int progress;
};

Connected RunConnect(SimRig& rig, const std::string& port = "COM1") {
  CConnect connect(rig.link, rig.ui);
  connect.Open(ConnectMode::kConnect, port);
  EXPECT_EQ(connect.form().text, kConnectingText);
  connect.OnTimer();
  return {connect.result(), connect.values(), connect.form().progress};
}

// Which identity reads each class of device type gets, and what lands in the record.
TEST(ConnectSequence, IdentityReadsPerDeviceType) {
  struct Case {
    uint16_t type;
    bool asksOptions;
    bool asksScaling;
    bool dateAsNumber;
  } cases[] = {
      {0x1030, true, true, false},  {0x1024, true, true, false},  {0x1035, false, true, false},
      {0x1037, false, true, false}, {0x1400, false, false, true}, {0x1038, true, false, false},
      {0x1083, true, false, false}, {0x2000, true, false, false},
  };
  for (const Case& c : cases) {
    SimRig rig(c.type);
    const Connected r = RunConnect(rig);
    ASSERT_EQ(r.result, 1) << std::hex << c.type;
    EXPECT_TRUE(rig.ui.messages.empty());
    const sim::SensorState& s = rig.model.state();
    const DeviceRecord& v = r.values;
    EXPECT_EQ(v.deviceType, c.type);
    EXPECT_EQ(v.linkProfile, 1);
    EXPECT_EQ(v.deviceName, s.deviceName);
    EXPECT_EQ(v.serialNumber, s.serialNumber);
    EXPECT_EQ(v.itemNumber, s.itemNumber);
    EXPECT_FLOAT_EQ(v.firmwareVersion, s.firmware[3] * 0.1f);
    EXPECT_FLOAT_EQ(v.hardwareVersion, s.hardwareVersion100 * 0.01f);
    EXPECT_EQ(v.elementSet, LookupDeviceType(c.type).elementSet);
    EXPECT_EQ(v.interfaces, LookupDeviceType(c.type).interfaces);
    EXPECT_EQ(rig.model.CountOf("ReadSensorOptions"), c.asksOptions ? 1u : 0u)
        << std::hex << c.type;
    EXPECT_EQ(rig.model.CountOf("ReadAnalogueScaling"), c.asksScaling ? 1u : 0u)
        << std::hex << c.type;
    EXPECT_EQ(rig.model.CountOf("ReadCalibrationDateNumber"), c.dateAsNumber ? 1u : 0u);
    EXPECT_EQ(rig.model.CountOf("ReadCalibrationDate"), c.dateAsNumber ? 0u : 1u);
    if (c.dateAsNumber) {
      EXPECT_EQ(v.calibrationDateNumber, s.calibrationDateNumber);
    } else {
      EXPECT_DOUBLE_EQ(v.calibrationDate, s.calibrationDate);
    }
    if (!c.asksOptions) {
      EXPECT_EQ(v.sensorOptions, 0);
      EXPECT_EQ(v.pressureUnit, 0);
    } else {
      EXPECT_EQ(v.sensorOptions, s.sensorOptions);
      EXPECT_EQ(rig.model.CountOf("ReadUnit"), v.HasPressureSensor() ? 3u : 2u);
    }
    if (c.asksScaling) {
      EXPECT_FLOAT_EQ(v.valueAt20mA, s.valueAt20mA);
    }
    EXPECT_LE(r.progress, kConnectProgressMax);
    EXPECT_TRUE(rig.port.IsOpen());
  }
}

TEST(ConnectSequence, ProfileVSensorAfterTheProfileFAttempt) {
  SimRig rig(0x1030, LinkKind::kProfileV);
  const int64_t t0 = rig.clock.NowUs();
  const Connected r = RunConnect(rig);
  ASSERT_EQ(r.result, 1);
  EXPECT_EQ(r.values.linkProfile, 2);
  EXPECT_EQ(rig.port.settings().baud, 1200);
  // The profile F attempt alone: set-up pauses and three silent tries of ReadDeviceType.
  EXPECT_GT(rig.clock.NowUs() - t0, 3 * 1126 * 1000 + 1000 * 1000);
}

TEST(ConnectSequence, FailureMessages) {
  struct Case {
    const char* name;
    std::function<void(SimRig&)> arrange;
    LinkKind kind;
    const char* message;
  } cases[] = {
      {"missing port", [](SimRig& r) { r.port.SetOpenFails(true); }, LinkKind::kProfileF,
       kComOpenError},
      {"legacy sensor", [](SimRig&) {}, LinkKind::kLegacy, kLegacySensor},
      {"silent sensor", [](SimRig& r) { r.model.faults().silent = true; }, LinkKind::kProfileF,
       kCommunicationFailed},
      {"device name refused", [](SimRig& r) { r.model.Refuse(0x0109, 0x18, 7); },
       LinkKind::kProfileF, kCommunicationError},
      {"serial number refused", [](SimRig& r) { r.model.Refuse("ReadSerialNumber", 7); },
       LinkKind::kProfileF, kCommunicationError},
  };
  for (const Case& c : cases) {
    SimRig rig(0x1030, c.kind);
    c.arrange(rig);
    const Connected r = RunConnect(rig);
    EXPECT_EQ(r.result, 0) << c.name;
    ASSERT_EQ(rig.ui.messages.size(), 1u) << c.name;
    EXPECT_EQ(rig.ui.messages[0], c.message) << c.name;
  }
}

// The device name read runs the engine's three tries once; a refusal is not asked again. (A
// short refusal is a short reply: it times out on each of the three tries.)
TEST(ConnectSequence, DeviceNameIsTriedThreeTimesInAllAndARefusalOnce) {
  constexpr int kPaddingToNameLength = 12;  // '?' and its code are 5 of the name's 17 bytes
  struct Case {
    const char* name;
    LinkKind kind;
    bool refuse;
    int padding;
    size_t requests;
  } cases[] = {
      {"silent", LinkKind::kProfileF, false, 0, 3},
      {"refused, short reply", LinkKind::kProfileF, true, 0, 3},
      {"refused, reply of full length", LinkKind::kProfileV, true, kPaddingToNameLength, 1},
  };
  for (const Case& c : cases) {
    SimRig rig(0x1030, c.kind);
    if (c.refuse) rig.model.Refuse(0x0109, 0x18, 7);
    rig.model.faults().trailingGarbage = c.padding;
    CConnect connect(rig.link, rig.ui);
    // Progress 8 comes after the link set-up, right before the name is read.
    connect.onProgress = [&] {
      if (!c.refuse && connect.form().progress == 8) rig.model.faults().silent = true;
    };
    connect.Open(ConnectMode::kConnect, "COM1");
    connect.OnTimer();
    EXPECT_EQ(connect.result(), 0) << c.name;
    EXPECT_EQ(rig.model.CountOf(0x0109, 0x18), c.requests) << c.name;
    EXPECT_EQ(rig.ui.messages, std::vector<std::string>{kCommunicationError}) << c.name;
  }
}

TEST(ConnectSequence, IdentityIsReadInItsOrder) {
  SimRig rig(0x1030);
  ASSERT_TRUE(rig.model.state().HasPressureSensor());
  ASSERT_EQ(RunConnect(rig).result, 1);
  std::vector<std::string> asked;
  for (const sim::LoggedRequest& r : rig.model.log()) {
    const CommandSpec* command = FindCommand(r.group, r.sub);
    std::string text = command != nullptr ? std::string(command->name) : "ReadDeviceName";
    if (!r.payload.empty()) text += "(" + std::to_string(r.payload[0]) + ")";
    asked.push_back(text);
  }
  const std::vector<std::string> expected = {
      "ReadDeviceType",         "ReadDeviceName",      "ReadUnit(1)",       "ReadUnit(0)",
      "ReadFirmwareVersion",    "ReadHardwareVersion", "ReadSerialNumber",  "ReadItemNumber",
      "ReadCalibrationDate(4)", "ReadAnalogueScaling", "ReadSensorOptions", "ReadUnit(2)"};
  EXPECT_EQ(asked, expected);
}

// Faults of a real line: the sensor answers after the time limit, or the RS-485 adapter echoes
// the request after the drain. The connect either shows exactly the sensor's identity or fails
// with its message.
TEST(ConnectSequence, SlowSensorsAndEchoGiveTheSensorsValuesOrTheMessage) {
  struct Case {
    const char* name;
    LinkKind kind;
    int64_t slowMs;
    bool echo;
    int split;
  } cases[] = {
      {"1500 ms late", LinkKind::kProfileF, 1500, false, 0},
      {"2500 ms late", LinkKind::kProfileF, 2500, false, 0},
      {"1500 ms late, profile V", LinkKind::kProfileV, 1500, false, 0},
      {"echo", LinkKind::kProfileF, 0, true, 0},
      {"echo, reply in 4 pieces", LinkKind::kProfileF, 0, true, 4},
      {"echo, profile V", LinkKind::kProfileV, 0, true, 0},
  };
  for (const Case& c : cases) {
    SimRig rig(0x1030, c.kind);
    sim::FaultSettings& faults = rig.model.faults();
    faults.slow = c.slowMs > 0;
    faults.slowDelayUs = c.slowMs * 1000;
    faults.echo = c.echo;
    faults.splitPieces = c.split;
    const Connected r = RunConnect(rig);
    if (r.result == 0) {
      EXPECT_EQ(rig.ui.messages, std::vector<std::string>{kCommunicationError}) << c.name;
      continue;
    }
    // The in-memory sensor is late by the same time for every request: it is always answered.
    const sim::SensorState& s = rig.model.state();
    EXPECT_TRUE(rig.ui.messages.empty()) << c.name;
    EXPECT_EQ(r.values.deviceType, 0x1030) << c.name;
    EXPECT_EQ(r.values.deviceName, s.deviceName) << c.name;
    EXPECT_EQ(r.values.serialNumber, s.serialNumber) << c.name;
    EXPECT_EQ(r.values.itemNumber, s.itemNumber) << c.name;
    EXPECT_FLOAT_EQ(r.values.firmwareVersion, s.firmware[3] * 0.1f) << c.name;
    EXPECT_DOUBLE_EQ(r.values.calibrationDate, s.calibrationDate) << c.name;
    EXPECT_EQ(r.values.fahrenheit, s.Fahrenheit()) << c.name;
    EXPECT_EQ(r.values.altDewPointUnit, s.units[kUnitIndexAltDewPoint]) << c.name;
    EXPECT_EQ(r.values.pressureUnit, s.units[kUnitIndexPressure]) << c.name;
    EXPECT_FLOAT_EQ(r.values.valueAt4mA, s.valueAt4mA) << c.name;
    EXPECT_FLOAT_EQ(r.values.valueAt20mA, s.valueAt20mA) << c.name;
    EXPECT_EQ(r.values.sensorOptions, s.sensorOptions) << c.name;
  }
}

TEST(ConnectSequence, PortThatCannotBeOpenedSaysWhy) {
  struct Case {
    PortOpenFailure failure;
    const char* detail;
  } cases[] = {
      {PortOpenFailure::kNotFound, "COM4: not found"},
      {PortOpenFailure::kBusy, "COM4: busy - another program has the port open"},
  };
  for (const Case& c : cases) {
    SimRig rig;
    rig.port.SetOpenFails(true, c.failure);
    EXPECT_EQ(RunConnect(rig, "COM4").result, 0);
    EXPECT_EQ(rig.ui.messages, std::vector<std::string>{kComOpenError});
    EXPECT_EQ(rig.ui.details, std::vector<std::string>{c.detail});
  }
}

TEST(ConnectSequence, RefusedIdentityReadIsAskedThreeTimes) {
  SimRig rig;
  rig.model.Refuse("ReadItemNumber", 0x55);
  EXPECT_EQ(RunConnect(rig).result, 0);
  EXPECT_EQ(rig.model.CountOf("ReadItemNumber"), 3u);
  EXPECT_EQ(rig.model.CountOf("ReadCalibrationDate"), 0u);
  EXPECT_EQ(rig.link.context().lastDeviceError, 0x55u);
}

TEST(ConnectSequence, EachSuccessfulReadRestoresThreeTries) {
  SimRig rig;
  CConnect connect(rig.link, rig.ui);
  // Progress 11 follows the alternative unit read, 12 the firmware and hardware reads. Arming
  // six silent replies there fails the next read's first two transactions (three tries each).
  connect.onProgress = [&] {
    if (connect.form().progress == 11 || connect.form().progress == 12) {
      rig.model.FailNext(sim::Fault::kSilent, 6);
    }
  };
  connect.Open(ConnectMode::kConnect, "COM1");
  connect.OnTimer();
  EXPECT_EQ(connect.result(), 1);
  EXPECT_TRUE(rig.ui.messages.empty());
  EXPECT_EQ(rig.model.CountOf("ReadFirmwareVersion"), 7u);
  EXPECT_EQ(rig.model.CountOf("ReadSerialNumber"), 7u);
}

TEST(ConnectSequence, DisconnectClosesThePortAndFillsTheBar) {
  SimRig rig;
  ASSERT_EQ(RunConnect(rig).result, 1);
  CConnect disconnect(rig.link, rig.ui);
  disconnect.Open(ConnectMode::kDisconnect, "COM1", 0x1030);
  EXPECT_EQ(disconnect.form().text, kDisconnectingText);
  disconnect.OnTimer();
  EXPECT_EQ(disconnect.result(), 0);
  EXPECT_EQ(disconnect.form().progress, kConnectProgressMax);
  EXPECT_FALSE(rig.port.IsOpen());
}

TEST(ConnectSequence, CopyKeepsTheOnlineValues) {
  DeviceRecord record;
  record.online = {1, 2, 3, 4};
  DeviceRecord values;
  values.deviceType = 0x1030;
  values.serialNumber = 42;
  CopyConnectResult(values, record);
  EXPECT_EQ(record.serialNumber, 42u);
  EXPECT_EQ(record.online[3], 4);
}

}  // namespace
}  // namespace korvin
