#include "sim/sensor_model.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

#include "platform/clock.h"
#include "protocol/commands.h"
#include "protocol/frames.h"
#include "sim/sensor_commands.h"
#include "sim_test_util.h"

namespace korvin::sim {
namespace {

using testing::Ask;
using testing::Body;

constexpr int64_t kLater = 10'000'000;

// Sends one framed request at the right speed and returns the reply bytes (empty: no reply).
std::vector<uint8_t> Exchange(SensorModel& model, const std::vector<uint8_t>& body, int baud,
                              int64_t atUs) {
  const std::vector<uint8_t> frame = FrameRequest(model.link(), body);
  const std::vector<Reply> replies = model.Receive(frame, baud, atUs);
  if (replies.empty()) return {};
  EXPECT_EQ(replies.size(), 1u);
  return replies.front().Bytes();
}

void OpenProfileF(SensorModel& model, int64_t atUs) {
  EXPECT_TRUE(model.Receive(kPreamble, kPreambleBaud, atUs).empty());
  ASSERT_TRUE(model.LinkOpen());
}

// Payloads that the sensor accepts for every command; a command not named here gets zeros.
std::vector<uint8_t> ValidPayload(const CommandSpec& command) {
  std::vector<uint8_t> p(command.PayloadLength(), 0);
  const std::string name(command.name);
  if (name == "ReadMeasurements") p = {0, 4};
  if (name == "ReadCalibrationDate") p = {kCalibrationDateSelector};
  if (name == "WriteUnit") p = {1, 2};
  if (name == "SetAnalogueTestCurrent") PutFloat(p.data(), 12.0f);
  if (name == "WriteAtmosphericPressure") PutFloat(p.data(), 1000.0f);
  if (name == "CalibratePressureSpan") PutFloat(p.data(), 8.0f);
  if (name == "CalibrateOffset") PutFloat(p.data(), -40.0f);
  if (name == "WriteModbusSettings") PutU16(p.data(), 5);
  return p;
}

TEST(SensorModel, EveryCatalogueCommandIsAcceptedWithItsExpectedReplyLength) {
  VirtualClock clock;
  SensorModel model(0x1030, LinkKind::kProfileF, clock);
  for (const CommandSpec& command : Catalogue()) {
    SCOPED_TRACE(std::string(command.name));
    if (!model.LinkOpen()) OpenProfileF(model, 0);
    std::vector<uint8_t> body = {static_cast<uint8_t>(command.group & 0xFF),
                                 static_cast<uint8_t>(command.group >> 8), command.sub};
    const std::vector<uint8_t> payload = ValidPayload(command);
    body.insert(body.end(), payload.begin(), payload.end());
    std::vector<uint8_t> reply = Exchange(model, body, kProfileFBaud, 0);

    const size_t expected =
        command.replyPerChannel ? payload[1] * command.replyLength + 1u : command.replyLength;
    ASSERT_EQ(reply.size(), expected + EnvelopeFrame::kOverhead);
    size_t payloadPos = 0;
    ASSERT_EQ(CheckProfileF(reply.data(), reply.size(), kServiceAddress, &payloadPos), kOk);
    EXPECT_EQ(reply[payloadPos], kStatusAccepted);
  }
}

TEST(SensorModel, UnknownOrMalformedRequestsAreRefusedWithADeviceErrorAndChangeNothing) {
  VirtualClock clock;
  SensorModel model(0x1030, LinkKind::kProfileV, clock);
  const SensorState before = model.state();
  std::array<float, 10> floats{};
  floats[0] = std::numeric_limits<float>::quiet_NaN();
  uint8_t badModbus[22] = {};  // slave address 0
  struct Case {
    const char* what;
    std::vector<uint8_t> body;
    uint32_t error;
  };
  const Case cases[] = {
      {"unknown sub-command", {0x09, 0x02, 0x99}, kDeviceErrorUnknownCommand},
      {"unknown group", {0x34, 0x12, 0x03}, kDeviceErrorUnknownCommand},
      {"too short", {0x09, 0x02}, kDeviceErrorLength},
      {"payload too long", {0x09, 0x02, 0x07, 0x01, 0x00}, kDeviceErrorLength},
      {"offset index 4", Body(ReadOffset(4)), kDeviceErrorParameter},
      {"unit index 3", Body(ReadUnit(3)), kDeviceErrorParameter},
      {"temperature unit 7", Body(WriteUnit(kUnitIndexTemperature, 7)), kDeviceErrorParameter},
      {"pressure unit 'A'", Body(WriteUnit(kUnitIndexPressure, 'A')), kDeviceErrorParameter},
      {"gas type 2", Body(WriteGasType(2)), kDeviceErrorParameter},
      {"11 points", Body(SetCalibrationPointCount(11)), kDeviceErrorParameter},
      {"segment 9", Body(WriteUserCalibrationCoefficients(9, 1, 0)), kDeviceErrorParameter},
      {"date selector 3", Body(ReadCalibrationDate(3)), kDeviceErrorParameter},
      {"channels 3 and 4", Body(ReadMeasurements(3, 2)), kDeviceErrorParameter},
      {"no channel", Body(ReadMeasurements(0, 0)), kDeviceErrorParameter},
      {"NaN measured", Body(WriteUserCalibrationMeasured(floats)), kDeviceErrorParameter},
      {"address 0", Body(WriteModbusSettings(badModbus)), kDeviceErrorParameter},
      {"30 mA", Body(SetAnalogueTestCurrent(30.0f)), kDeviceErrorParameter},
      {"span of 0 bar", Body(CalibratePressureSpan(0.0f)), kDeviceErrorNotPossible},
      {"condensing reference", Body(CalibrateOffset(60.0f)), kDeviceErrorNotPossible},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::vector<uint8_t> reply = model.Execute(c.body);
    ASSERT_EQ(reply.size(), 5u);
    EXPECT_EQ(reply[0], kStatusRefused);
    EXPECT_EQ(GetU32(reply.data() + 1), c.error);
  }
  EXPECT_EQ(model.state().units, before.units);
  EXPECT_EQ(model.state().userCalibration.count, before.userCalibration.count);
  EXPECT_EQ(model.state().modbusSettings, before.modbusSettings);
  EXPECT_FALSE(model.state().testCurrentActive);
}

TEST(SensorModel, WrittenSettingsAreReadBack) {
  VirtualClock clock;
  SensorModel model(0x1030, LinkKind::kProfileF, clock);
  std::array<uint8_t, 17> compensation = {1};
  PutFloat(compensation.data() + 1, 6.5f);
  PutFloat(compensation.data() + 13, 0.04f);
  std::array<uint8_t, 22> modbus{};
  PutU16(modbus.data(), 17);
  PutU16(modbus.data() + 6, 7);
  PutU16(modbus.data() + 18, 50);
  std::array<uint8_t, 37> analogue{};
  analogue[0] = 0xAB;
  PutFloat(analogue.data() + 13, -60.0f);
  PutFloat(analogue.data() + 17, 20.0f);
  PutFloat(analogue.data() + 21, 4.012f);
  std::array<float, 10> measured{};
  std::array<float, 10> reference{};
  for (size_t i = 0; i < 10; ++i) {
    measured[i] = -10.0f * static_cast<float>(i) + 0.5f;
    reference[i] = -10.0f * static_cast<float>(i);
  }
  auto bytes = [](auto... b) { return std::vector<uint8_t>{static_cast<uint8_t>(b)...}; };
  auto floatBytes = [](std::initializer_list<float> values) {
    std::vector<uint8_t> out;
    for (float v : values) {
      uint8_t b[4];
      PutFloat(b, v);
      out.insert(out.end(), b, b + 4);
    }
    return out;
  };
  auto floatsOf = [&](const std::array<float, 10>& a) {
    std::vector<uint8_t> out;
    for (float v : a) {
      const auto b = floatBytes({v});
      out.insert(out.end(), b.begin(), b.end());
    }
    return out;
  };
  struct Case {
    const char* what;
    RequestBuilder write;
    RequestBuilder read;
    std::vector<uint8_t> data;
  };
  const Case cases[] = {
      {"alternative unit", WriteUnit(0, 9), ReadUnit(0), bytes(9)},
      {"temperature unit", WriteUnit(1, 2), ReadUnit(1), bytes(2)},
      {"pressure unit", WriteUnit(2, '$'), ReadUnit(2), bytes('$')},
      {"QCM user offset", WriteOffset(3, 1.5f), ReadOffset(3), floatBytes({1.5f})},
      {"K5 user offset", WriteOffset(1, -2.25f), ReadOffset(1), floatBytes({-2.25f})},
      {"filter grade", WriteFilterGrade(9), ReadFilterGrade(), bytes(9)},
      {"second filter grade", WriteSecondFilterGrade(44), ReadSecondFilterGrade(), bytes(44)},
      {"output filter", WriteOutputFilterActive(0), ReadOutputFilterActive(), bytes(0)},
      {"scaling", WriteAnalogueScaling(-80.0f, 20.0f), ReadAnalogueScaling(),
       floatBytes({-80.0f, 20.0f})},
      {"compensation", WritePressureCompensation(compensation), ReadPressureCompensation(),
       std::vector<uint8_t>(compensation.begin(), compensation.end())},
      {"atmospheric pressure", WriteAtmosphericPressure(950.0f), ReadAtmosphericPressure(),
       floatBytes({950.0f})},
      {"gas type", WriteGasType(1), ReadGasType(), bytes(1)},
      {"display channels", WriteDisplayChannels(0xF5), ReadDisplayChannels(), bytes(0xF5)},
      {"point count", SetCalibrationPointCount(4), ReadUserCalibrationCount(), bytes(4)},
      {"flags", WriteUserCalibrationFlags(0x83), ReadUserCalibrationFlags(), bytes(0x83)},
      {"measured", WriteUserCalibrationMeasured(measured), ReadUserCalibrationMeasured(),
       floatsOf(measured)},
      {"reference", WriteUserCalibrationReference(reference), ReadUserCalibrationReference(),
       floatsOf(reference)},
      {"coefficients", WriteUserCalibrationCoefficients(8, 1.010101f, 0.40404f),
       ReadUserCalibrationCoefficients(8), floatBytes({1.010101f, 0.40404f})},
      {"Modbus settings", WriteModbusSettings(modbus), ReadModbusSettings(),
       std::vector<uint8_t>(modbus.begin(), modbus.end())},
      {"analogue record", WriteAnalogueCalibration(analogue), ReadAnalogueCalibration(),
       std::vector<uint8_t>(analogue.begin(), analogue.end())},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_EQ(Ask(model, c.write), std::vector<uint8_t>({kStatusAccepted, 0, 0, 0, 0}));
    const std::vector<uint8_t> reply = Ask(model, c.read);
    ASSERT_GE(reply.size(), 1 + c.data.size());
    EXPECT_EQ(std::vector<uint8_t>(reply.begin() + 1, reply.begin() + 1 + c.data.size()), c.data);
  }
  // The analogue record and the scaling are one setting seen twice.
  EXPECT_EQ(GetFloat(Ask(model, ReadAnalogueScaling()).data() + 1), -60.0f);
}

TEST(SensorModel, IdentityRepliesCarryTheStoredValues) {
  VirtualClock clock;
  SensorModel model(0x1400, LinkKind::kProfileV, clock);
  SensorState& s = model.state();
  s.deviceName = "0123456789ABCDEF";  // 16 characters: no room for a NUL
  s.calibrationDateNumber = 20240131;
  s.calibrationDate = 45322.0;
  EXPECT_EQ(GetU16(Ask(model, ReadDeviceType()).data() + 1), 0x1400);
  EXPECT_EQ(GetU32(Ask(model, ReadCalibrationDateNumber()).data() + 1), 20240131u);
  EXPECT_EQ(GetDouble(Ask(model, ReadCalibrationDate()).data() + 1), 45322.0);
  EXPECT_EQ(Ask(model, ReadFirmwareVersion())[1 + kFirmwareVersionByte], s.firmware[3]);
  const std::vector<uint8_t> name =
      model.Execute({kReadDeviceNameBody, kReadDeviceNameBody + sizeof kReadDeviceNameBody});
  ASSERT_EQ(name.size(), kReadDeviceNameReplyLength);
  EXPECT_EQ(std::string(name.begin() + 1, name.end()), "0123456789ABCDEF");
  s.deviceName = "D720";
  const std::vector<uint8_t> shortName =
      model.Execute({kReadDeviceNameBody, kReadDeviceNameBody + sizeof kReadDeviceNameBody});
  EXPECT_STREQ(reinterpret_cast<const char*>(shortName.data() + 1), "D720");
}

TEST(SensorModel, ProfileFListensAt19200OnlyAfterThePreamble) {
  VirtualClock clock;
  SensorModel model(0x1030, LinkKind::kProfileF, clock);
  const std::vector<uint8_t> body = Body(ReadDeviceType());
  EXPECT_TRUE(Exchange(model, body, kProfileFBaud, 0).empty());
  EXPECT_EQ(model.ignoredBursts(), 1);

  // The preamble's CRC is off by design (0x92 would be right); the sensor takes it as it is.
  OpenProfileF(model, kLater);
  EXPECT_EQ(model.preamblesSeen(), 1);
  std::vector<uint8_t> reply = Exchange(model, body, kProfileFBaud, 2 * kLater);
  size_t pos = 0;
  ASSERT_EQ(CheckProfileF(reply.data(), reply.size(), 1, &pos), kOk);
  EXPECT_EQ(GetU16(reply.data() + pos + 1), 0x1030);

  // Wrong speeds stay noise even now.
  EXPECT_TRUE(Exchange(model, body, kProfileVBaud, 3 * kLater).empty());
  EXPECT_TRUE(Exchange(model, body, kPreambleBaud, 4 * kLater).empty());
  EXPECT_EQ(model.CountOf("ReadDeviceType"), 1u);

  model.ResetLink();
  EXPECT_TRUE(Exchange(model, body, kProfileFBaud, 5 * kLater).empty());
  std::array<uint8_t, kPreamble.size()> correctCrc = kPreamble;
  correctCrc.back() = 0x92;
  model.Receive(correctCrc, kPreambleBaud, 6 * kLater);
  EXPECT_TRUE(model.LinkOpen());
  // Something else at 50000 baud does not open the link.
  model.ResetLink();
  model.Receive(FrameRequest(LinkKind::kProfileF, body), kPreambleBaud, 7 * kLater);
  EXPECT_FALSE(model.LinkOpen());
}

TEST(SensorModel, NewModbusSettingsSendTheLineBackToTheFieldbusUntilThePreamble) {
  VirtualClock clock;
  SensorModel model(0x1030, LinkKind::kProfileF, clock);
  OpenProfileF(model, 0);
  std::array<uint8_t, 22> modbus = model.state().modbusSettings;
  PutU16(modbus.data(), 33);
  EXPECT_FALSE(Exchange(model, Body(WriteModbusSettings(modbus)), kProfileFBaud, kLater).empty());
  EXPECT_FALSE(model.LinkOpen());
  EXPECT_TRUE(Exchange(model, Body(ReadDeviceType()), kProfileFBaud, 2 * kLater).empty());
  OpenProfileF(model, 3 * kLater);
  EXPECT_FALSE(Exchange(model, Body(ReadDeviceType()), kProfileFBaud, 4 * kLater).empty());
}

TEST(SensorModel, ProfileVAnswersAdapterFramesWithBareServiceFramesAt1200Only) {
  VirtualClock clock;
  SensorModel model(0x1035, LinkKind::kProfileV, clock);
  const std::vector<uint8_t> body = Body(ReadSerialNumber());
  std::vector<uint8_t> reply = Exchange(model, body, kProfileVBaud, 0);
  ASSERT_EQ(reply.size(), 5u + ServiceFrame::kOverhead);
  EXPECT_EQ(CheckServiceFrame(reply.data(), reply.size(), 1), kOk);
  EXPECT_EQ(GetU32(reply.data() + 3), model.state().serialNumber);

  EXPECT_TRUE(Exchange(model, body, kProfileFBaud, kLater).empty());
  EXPECT_TRUE(model.Receive(kPreamble, kPreambleBaud, 2 * kLater).empty());
  EXPECT_TRUE(
      model.Receive(FrameRequest(LinkKind::kProfileF, body), kProfileVBaud, 3 * kLater).empty());
  EXPECT_TRUE(model.Receive(std::vector<uint8_t>{kLegacyProbe}, kProfileVBaud, 4 * kLater).empty());
}

TEST(SensorModel, LegacySensorAnswersOnlyTheProbeByteWithSixBytes) {
  VirtualClock clock;
  SensorModel model(0x1024, LinkKind::kLegacy, clock);
  const std::vector<uint8_t> probe = {kLegacyProbe};
  EXPECT_TRUE(model.Receive(probe, kProfileFBaud, 0).empty());
  EXPECT_TRUE(
      model
          .Receive(FrameRequest(LinkKind::kProfileV, Body(ReadDeviceType())), kProfileVBaud, kLater)
          .empty());
  const std::vector<Reply> replies = model.Receive(probe, kProfileVBaud, 2 * kLater);
  ASSERT_EQ(replies.size(), 1u);
  const std::vector<uint8_t> bytes = replies[0].Bytes();
  ASSERT_EQ(bytes.size(), kLegacyReplySize);
  EXPECT_EQ(AdditiveChecksum(bytes.data(), bytes.size()), 0);
  EXPECT_EQ(model.legacyProbes(), 1);
}

TEST(SensorModel, DamagedOrForeignRequestsGetNoReply) {
  VirtualClock clock;
  SensorModel model(0x1030, LinkKind::kProfileF, clock);
  OpenProfileF(model, 0);
  std::vector<uint8_t> frame = FrameRequest(LinkKind::kProfileF, Body(ReadDeviceType()));
  frame.back() ^= 0x01;
  EXPECT_TRUE(model.Receive(frame, kProfileFBaud, kLater).empty());
  EXPECT_EQ(model.damagedFrames(), 1);
  const std::vector<uint8_t> other = FrameRequest(LinkKind::kProfileF, Body(ReadDeviceType()), 7);
  EXPECT_TRUE(model.Receive(other, kProfileFBaud, 2 * kLater).empty());
  EXPECT_TRUE(model.log().empty());
}

TEST(SensorModel, FramesMayArriveInPiecesButASilenceDropsAPartialFrame) {
  VirtualClock clock;
  SensorModel model(0x1030, LinkKind::kProfileV, clock);
  const std::vector<uint8_t> frame = FrameRequest(LinkKind::kProfileV, Body(ReadItemNumber()));
  const std::span<const uint8_t> all(frame);
  EXPECT_TRUE(model.Receive(all.first(3), kProfileVBaud, 100'000).empty());
  EXPECT_EQ(model.Receive(all.subspan(3), kProfileVBaud, 140'000).size(), 1u);

  // Half a frame, then a long pause: the next whole frame is not swallowed by the leftover.
  EXPECT_TRUE(model.Receive(all.first(4), kProfileVBaud, kLater).empty());
  EXPECT_EQ(model.Receive(all, kProfileVBaud, 2 * kLater).size(), 1u);
  EXPECT_EQ(model.CountOf("ReadItemNumber"), 2u);
}

TEST(SensorModel, TheLogListsEveryCommandInOrderWithItsPayload) {
  VirtualClock clock;
  SensorModel model(0x1035, LinkKind::kProfileV, clock);
  Exchange(model, Body(ReadUnit(1)), kProfileVBaud, 0);
  Exchange(model, Body(WriteOffset(3, 0.5f)), kProfileVBaud, kLater);
  Exchange(model, Body(ReadUnit(0)), kProfileVBaud, 2 * kLater);
  ASSERT_EQ(model.log().size(), 3u);
  EXPECT_EQ(model.log()[1].group, 0x0209);
  EXPECT_EQ(model.log()[1].sub, 0x08);
  EXPECT_EQ(model.log()[1].payload, std::vector<uint8_t>({3, 0, 0, 0, 0x3F}));
  EXPECT_EQ(model.log()[1].atUs, kLater);
  EXPECT_EQ(model.log()[2].status, kStatusAccepted);
  EXPECT_EQ(model.CountOf("ReadUnit"), 2u);
  EXPECT_EQ(model.CountOf("ReadSensorOptions"), 0u);
  EXPECT_EQ(model.CountOf("NoSuchCommand"), 0u);
  model.ClearLog();
  EXPECT_TRUE(model.log().empty());
}

}  // namespace
}  // namespace korvin::sim
