#include "config/c_modbus_setting.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "config/c_communication_select.h"
#include "device/device_types.h"
#include "support/dialog_rig.h"

namespace korvin {
namespace {

using test::DialogRig;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using M = CModbusSetting;
using C = CCommunicationSelect;

constexpr uint16_t kModbusTypes[] = {0x1030, 0x1035, 0x1037, 0x103A, 0x1083, 0x1085, 0x1400};

void Open(DialogRig& rig, CModbusSetting& dialog) {
  dialog.Attach(rig.host);
  dialog.Open();
}

void PutSensorU16(DialogRig& rig, size_t offset, uint16_t value) {
  PutU16(rig.state().modbusSettings.data() + offset, value);
}
uint16_t SensorU16(DialogRig& rig, size_t offset) {
  return GetU16(rig.state().modbusSettings.data() + offset);
}

// The chooser offers the settings of the sensor's own fieldbus: Modbus types get "Modbus
// setting"; SDI and IO-Link types get nothing; the M-Bus button stays off for every known type,
// and a sensor with both flags gets only the Modbus settings.
TEST(CommunicationSelect, EnablesTheSensorsFieldbusOnly) {
  struct Case {
    uint8_t interfaces;
    bool modbus;
    bool mbus;
  };
  std::vector<Case> cases;
  for (const DeviceTypeInfo& info : kDeviceTypes) {
    const bool modbus = (info.interfaces & kInterfaceModbus) != 0;
    EXPECT_EQ(modbus, std::find(std::begin(kModbusTypes), std::end(kModbusTypes), info.code) !=
                          std::end(kModbusTypes))
        << std::hex << info.code;
    cases.push_back({info.interfaces, modbus, false});
  }
  cases.push_back({kInterfaceModbus | kInterfaceMBus, true, false});
  cases.push_back({kInterfaceMBus | kInterfaceAnalogue, false, true});
  cases.push_back({0, false, false});

  DialogRig rig(0x1030);
  for (const Case& c : cases) {
    rig.record.interfaces = c.interfaces;
    CCommunicationSelect chooser(rig.environment);
    EXPECT_FALSE(chooser.form().Enabled(C::kModbusSetting));
    EXPECT_FALSE(chooser.form().Enabled(C::kMBusSetting));
    chooser.Attach(rig.host);
    chooser.Open();
    EXPECT_EQ(chooser.form().Enabled(C::kModbusSetting), c.modbus) << int{c.interfaces};
    EXPECT_EQ(chooser.form().Enabled(C::kMBusSetting), c.mbus) << int{c.interfaces};
    EXPECT_TRUE(chooser.form().Enabled(C::kExit));
  }
  EXPECT_TRUE(rig.Commands().empty());
}

// "Modbus setting" opens the Modbus dialog above the chooser, which stays open until "Exit".
TEST(CommunicationSelect, OpensTheModbusSettingsAndStaysOpenUntilExit) {
  DialogRig rig(0x1400);
  CCommunicationSelect chooser(rig.environment);
  chooser.Attach(rig.host);
  chooser.Open();
  rig.host.onChild = [&](TaskDialog& child) {
    EXPECT_EQ(child.form().Text(M::kDeviceAddress), "1");
    child.form().SetText(M::kDeviceAddress, "99");
    child.Press(M::kOkButton);
    EXPECT_EQ(child.end(), DialogEnd::kAccepted);
  };
  chooser.Press(C::kModbusSetting);
  EXPECT_THAT(rig.host.events, ElementsAre("child: Modbus settings"));
  EXPECT_FALSE(chooser.ended());
  EXPECT_EQ(SensorU16(rig, sim::modbus::kAddress), 99);
  chooser.Press(C::kMBusSetting);
  EXPECT_FALSE(chooser.ended());
  chooser.Press(C::kExit);
  EXPECT_EQ(chooser.end(), DialogEnd::kClosed);
}

// Open reads the record once and shows it; the interface space in µs and the transmission mode
// are not taken from the sensor: the screen always shows 2005 and RTU.
TEST(ModbusSettingsOpen, ShowsTheRecordOnEveryModbusType) {
  for (uint16_t type : kModbusTypes) {
    SCOPED_TRACE(::testing::Message() << std::hex << type);
    DialogRig rig(type);
    ASSERT_TRUE(rig.connected);
    PutSensorU16(rig, sim::modbus::kAddress, 247);
    PutSensorU16(rig, sim::modbus::kBaudIndex, 7);
    PutSensorU16(rig, sim::modbus::kFramingIndex, 0);
    PutSensorU16(rig, sim::modbus::kResponseTimeout, 255);
    PutSensorU16(rig, sim::modbus::kResponseDelay, 0);
    PutU32(rig.state().modbusSettings.data() + sim::modbus::kSpaceUs, 1750);
    PutSensorU16(rig, sim::modbus::kSpaceChars, 50);
    PutSensorU16(rig, sim::modbus::kMode, 1);
    CModbusSetting dialog(rig.environment);
    Open(rig, dialog);
    EXPECT_THAT(rig.Commands(), ElementsAre("ReadModbusSettings"));
    EXPECT_THAT(rig.host.messages, IsEmpty());
    EXPECT_FALSE(dialog.ended());
    const Form& f = dialog.form();
    EXPECT_EQ(f.Text(M::kDeviceAddress), "247");
    EXPECT_EQ(f.SelectedText(M::kBaudrate), "115200");
    EXPECT_EQ(f.SelectedText(M::kParityFrame), "8, E, 1");
    EXPECT_EQ(f.Text(M::kResponseTimeout), "255");
    EXPECT_EQ(f.Text(M::kResponseDelay), "0");
    EXPECT_EQ(f.Text(M::kInterfaceSpaceUs), "2005");
    EXPECT_EQ(f.SelectedText(M::kInterfaceSpaceChar), "50");
    EXPECT_EQ(f[M::kInterfaceSpaceChar].entries.size(), 44u);
    EXPECT_EQ(f[M::kInterfaceSpaceChar].entries.front(), "7");
    EXPECT_EQ(f.Text(M::kTransmissionMode), "RTU");
  }
}

// OK sends exactly the screen's record in one write, then the link is proven with
// ReadDeviceType; the interface space goes out as 2005 µs and the mode as RTU whatever the
// sensor held.
TEST(ModbusSettingsOk, WritesTheRecordAndProvesTheLink) {
  DialogRig rig(0x1030);
  PutU32(rig.state().modbusSettings.data() + sim::modbus::kSpaceUs, 3000);
  PutSensorU16(rig, sim::modbus::kMode, 1);
  CModbusSetting dialog(rig.environment);
  Open(rig, dialog);
  Form& f = dialog.form();
  f.SetText(M::kDeviceAddress, "12");
  ASSERT_EQ(f.SetFromText(M::kBaudrate, "9600"), std::nullopt);
  ASSERT_EQ(f.SetFromText(M::kParityFrame, "8, N, 2"), std::nullopt);
  f.SetText(M::kResponseTimeout, "20");
  f.SetText(M::kResponseDelay, "255");
  ASSERT_EQ(f.SetFromText(M::kInterfaceSpaceChar, "9"), std::nullopt);
  dialog.Press(M::kOkButton);

  EXPECT_THAT(rig.Commands(),
              ElementsAre("ReadModbusSettings",
                          "WriteModbusSettings 0C 00 80 25 00 00 03 00 02 00 14 00 FF 00 D5 07 00 "
                          "00 09 00 00 00",
                          "ReadDeviceType"));
  EXPECT_THAT(rig.host.messages, IsEmpty());
  EXPECT_EQ(dialog.end(), DialogEnd::kAccepted);
  EXPECT_EQ(SensorU16(rig, sim::modbus::kAddress), 12);
  EXPECT_EQ(GetU32(rig.state().modbusSettings.data() + sim::modbus::kSpaceUs), 2005u);
  EXPECT_EQ(SensorU16(rig, sim::modbus::kMode), 0);
}

// The range checks: the first value out of range stops OK with its message, nothing is written
// and the dialog stays open; values on the limits go out as typed. A number is the leading
// integer of the text.
TEST(ModbusSettingsOk, RangeChecks) {
  struct Case {
    size_t field;
    const char* text;
    const char* message;  // nullptr: accepted
    uint16_t written;
  } cases[] = {
      {M::kDeviceAddress, "0", M::kAddressRangeMessage, 0},
      {M::kDeviceAddress, "248", M::kAddressRangeMessage, 0},
      {M::kDeviceAddress, "-1", M::kAddressRangeMessage, 0},
      {M::kDeviceAddress, "", M::kAddressRangeMessage, 0},
      {M::kDeviceAddress, "abc", M::kAddressRangeMessage, 0},
      {M::kDeviceAddress, "65537", M::kAddressRangeMessage, 0},
      {M::kDeviceAddress, "1", nullptr, 1},
      {M::kDeviceAddress, "247", nullptr, 247},
      {M::kDeviceAddress, " 33rd", nullptr, 33},
      {M::kResponseTimeout, "256", M::kTimeoutRangeMessage, 0},
      {M::kResponseTimeout, "-1", M::kTimeoutRangeMessage, 0},
      {M::kResponseTimeout, "0", nullptr, 0},
      {M::kResponseTimeout, "255", nullptr, 255},
      {M::kResponseDelay, "256", M::kDelayRangeMessage, 0},
      {M::kResponseDelay, "-1", M::kDelayRangeMessage, 0},
      {M::kResponseDelay, "255", nullptr, 255},
      {M::kResponseDelay, "0", nullptr, 0},
  };
  const size_t offsetOf[] = {sim::modbus::kAddress, 0, 0, sim::modbus::kResponseTimeout,
                             sim::modbus::kResponseDelay};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(M::Screen()[c.field].label) + " = \"" + c.text + "\"");
    DialogRig rig(0x1035);
    CModbusSetting dialog(rig.environment);
    Open(rig, dialog);
    dialog.form().SetText(c.field, c.text);
    dialog.Press(M::kOkButton);
    if (c.message != nullptr) {
      EXPECT_THAT(rig.host.messages, ElementsAre(c.message));
      EXPECT_FALSE(dialog.ended());
      EXPECT_EQ(rig.sim.model.CountOf("WriteModbusSettings"), 0u);
    } else {
      EXPECT_THAT(rig.host.messages, IsEmpty());
      EXPECT_EQ(dialog.end(), DialogEnd::kAccepted);
      EXPECT_EQ(SensorU16(rig, offsetOf[c.field]), c.written);
    }
  }
}

// The checks run in screen order: with several values out of range only the first is told.
TEST(ModbusSettingsOk, TheFirstValueOutOfRangeIsTold) {
  DialogRig rig(0x1030);
  CModbusSetting dialog(rig.environment);
  Open(rig, dialog);
  dialog.form().SetText(M::kResponseDelay, "300");
  dialog.form().SetText(M::kResponseTimeout, "300");
  dialog.Press(M::kOkButton);
  dialog.form().SetText(M::kResponseTimeout, "30");
  dialog.Press(M::kOkButton);
  EXPECT_THAT(rig.host.messages, ElementsAre(M::kTimeoutRangeMessage, M::kDelayRangeMessage));
  EXPECT_EQ(dialog.failures(), 2);
}

// A sensor whose character spacing is not in the list (7 ... 50) opens with the message and an
// empty screen; so does a read that fails three times. OK then cannot write a record that was
// never read: the lists have nothing selected.
TEST(ModbusSettingsOpen, FailuresLeaveTheDialogOpenAndEmpty) {
  struct Case {
    const char* what;
    std::function<void(DialogRig&)> fault;
    const char* message;
    size_t reads;
  } cases[] = {
      {"6 characters", [](DialogRig& r) { PutSensorU16(r, sim::modbus::kSpaceChars, 6); },
       M::kNoMatchedSpaceCharMessage, 1},
      {"51 characters", [](DialogRig& r) { PutSensorU16(r, sim::modbus::kSpaceChars, 51); },
       M::kNoMatchedSpaceCharMessage, 1},
      // A refusal of a read with a long reply arrives short: three engine tries per attempt.
      {"refused", [](DialogRig& r) { r.sim.model.Refuse("ReadModbusSettings", 7); },
       kCommunicationErrorMessage, 9},
      {"silent", [](DialogRig& r) { r.sim.model.faults().silent = true; },
       kCommunicationErrorMessage, 9},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    DialogRig rig(0x1030);
    c.fault(rig);
    CModbusSetting dialog(rig.environment);
    Open(rig, dialog);
    EXPECT_THAT(rig.host.messages, ElementsAre(c.message));
    EXPECT_FALSE(dialog.ended());
    EXPECT_EQ(dialog.failures(), 1);
    EXPECT_EQ(rig.sim.model.CountOf("ReadModbusSettings"), c.reads);
    for (size_t id = 0; id < M::kOkButton; ++id) {
      EXPECT_EQ(dialog.form().Text(id), "") << id;
      EXPECT_EQ(dialog.form().Selection(id), -1) << id;
    }
    rig.sim.model.ClearFaults();
    dialog.form().SetText(M::kDeviceAddress, "5");
    dialog.form().SetText(M::kResponseTimeout, "5");
    dialog.form().SetText(M::kResponseDelay, "5");
    dialog.Press(M::kOkButton);
    EXPECT_EQ(rig.host.messages.back(), M::kNoBaudrateMessage);
    EXPECT_FALSE(dialog.ended());
    EXPECT_EQ(rig.sim.model.CountOf("WriteModbusSettings"), 0u);
  }
}

// A list without a selection refuses OK, named in the message, before anything is written.
TEST(ModbusSettingsOk, ListsWithoutSelectionRefuseTheOk) {
  const struct {
    size_t list;
    const char* message;
  } cases[] = {{M::kBaudrate, M::kNoBaudrateMessage},
               {M::kParityFrame, M::kNoParityFrameMessage},
               {M::kInterfaceSpaceChar, M::kNoSpaceCharMessage}};
  for (const auto& c : cases) {
    DialogRig rig(0x1030);
    CModbusSetting dialog(rig.environment);
    Open(rig, dialog);
    dialog.form().Select(c.list, -1);
    dialog.Press(M::kOkButton);
    EXPECT_THAT(rig.host.messages, ElementsAre(c.message));
    EXPECT_FALSE(dialog.ended());
    EXPECT_EQ(rig.sim.model.CountOf("WriteModbusSettings"), 0u);
  }
}

// Every way OK can fail after the checks, with its message, whether the dialog closes, and
// where the port is left.
TEST(ModbusSettingsOk, FailuresOfTheWriteAndTheRelink) {
  struct Case {
    const char* what;
    std::function<void(DialogRig&)> fault;
    const char* message;
    DialogEnd end;
    size_t writes;
    size_t probes;
    int portBaud;  // 0: closed
  } cases[] = {
      // One run of the engine: a refusal arrives whole and is not repeated; silence costs the
      // engine's three tries, and no more.
      {"write refused", [](DialogRig& r) { r.sim.model.Refuse("WriteModbusSettings", 3); },
       M::kWriteErrorMessage, DialogEnd::kOpen, 1, 0, 19200},
      {"write unanswered", [](DialogRig& r) { r.sim.model.faults().silent = true; },
       M::kWriteErrorMessage, DialogEnd::kOpen, 3, 0, 19200},
      {"no port at 50000", [](DialogRig& r) { r.sim.port.SetOpenFailsAtBaud(50000); },
       M::kOpenErrorMessage, DialogEnd::kOpen, 1, 0, 0},
      {"port not closed", [](DialogRig& r) { r.sim.port.SetCloseFails(true); },
       M::kCloseErrorMessage, DialogEnd::kFailed, 1, 0, 50000},
      {"no port at 19200", [](DialogRig& r) { r.sim.port.SetOpenFailsAtBaud(19200); },
       M::kReopenErrorMessage, DialogEnd::kFailed, 1, 0, 0},
      {"probe refused", [](DialogRig& r) { r.sim.model.Refuse("ReadDeviceType", 3); },
       kCommunicationErrorMessage, DialogEnd::kOpen, 1, 1, 19200},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    DialogRig rig(0x1030);
    CModbusSetting dialog(rig.environment);
    Open(rig, dialog);
    const int opensBefore = rig.sim.port.openCount();
    c.fault(rig);
    dialog.Press(M::kOkButton);
    EXPECT_THAT(rig.host.messages, ElementsAre(c.message));
    EXPECT_EQ(dialog.end(), c.end);
    EXPECT_EQ(rig.sim.model.CountOf("WriteModbusSettings"), c.writes);
    EXPECT_EQ(rig.sim.model.CountOf("ReadDeviceType"), c.probes);
    EXPECT_EQ(rig.sim.port.Baud(), c.portBaud);
    // A port that cannot be opened says which device and why, as at the connect.
    if (c.message == std::string(M::kOpenErrorMessage) ||
        c.message == std::string(M::kReopenErrorMessage)) {
      ASSERT_EQ(rig.host.details.size(), 1u);
      EXPECT_THAT(rig.host.details[0], ::testing::HasSubstr("COM1"));
    } else {
      EXPECT_TRUE(rig.host.details.empty());
    }
    // A failed write leaves the port alone.
    if (c.message == std::string(M::kWriteErrorMessage)) {
      EXPECT_EQ(rig.sim.port.openCount(), opensBefore);
    }
  }
}

// "Cancel" closes without writing anything.
TEST(ModbusSettings, CancelWritesNothing) {
  DialogRig rig(0x1030);
  CModbusSetting dialog(rig.environment);
  Open(rig, dialog);
  const int opens = rig.sim.port.openCount();
  dialog.form().SetText(M::kDeviceAddress, "77");
  dialog.Press(M::kCancelButton);
  EXPECT_EQ(dialog.end(), DialogEnd::kClosed);
  EXPECT_THAT(rig.Commands(), ElementsAre("ReadModbusSettings"));
  EXPECT_EQ(rig.sim.port.openCount(), opens);
}

}  // namespace
}  // namespace korvin
