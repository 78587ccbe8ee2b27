#include <gtest/gtest.h>

#include <array>
#include <set>
#include <string>
#include <vector>

#include "protocol/commands.h"
#include "protocol/frames.h"

namespace korvin {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes BodyOf(const RequestBuilder& b, size_t* reply = nullptr) {
  uint8_t body[64] = {};
  const BuiltRequest r = b.Build(body);
  if (reply) *reply = r.replyLength;
  return Bytes(body, body + r.bodyLength);
}

// The whole command table, typed independently of the catalogue: group, sub-command, body
// length and expected reply length of every builder, and the exact body for sample inputs.
TEST(Catalogue, EveryBuilderMatchesTheCommandTable) {
  const std::array<float, 10> ten{1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
  const std::array<uint8_t, 22> modbus{};
  const std::array<uint8_t, 37> analogue{};
  const std::array<uint8_t, 17> compensation{};
  struct Row {
    RequestBuilder builder;
    uint16_t group;
    uint8_t sub;
    size_t body;
    size_t reply;
  } rows[] = {
      {ReadSerialNumber(), 0xFF01, 0x03, 3, 5},
      {ReadDeviceType(), 0xFF01, 0x07, 3, 5},
      {ReadHardwareVersion(), 0xFF01, 0x09, 3, 5},
      {ReadFirmwareVersion(), 0xFF01, 0x1C, 3, 9},
      {ReadItemNumber(), 0xFF01, 0x24, 3, 5},
      {SetAnalogueTestCurrent(12.0f), 0xFF07, 0x01, 7, 5},
      {WriteAnalogueDacValue(1000), 0xFF07, 0x03, 5, 5},
      {WriteModbusSettings(modbus), 0x0602, 0x01, 25, 5},
      {ReadModbusSettings(), 0x0602, 0x02, 3, 23},
      {ReadMeasurements(0, 4), 0x0104, 0x01, 5, 29},
      {ReadMeasurements(0, 3), 0x0104, 0x01, 5, 22},
      {ReadCalibrationDate(4), 0x0109, 0x0B, 4, 9},
      {ReadAnalogueCalibration(), 0x0109, 0x0E, 3, 38},
      {WriteAnalogueCalibration(analogue), 0x0109, 0x0F, 40, 5},
      {ReadFilterGrade(), 0x0109, 0x12, 3, 5},
      {WriteFilterGrade(3), 0x0109, 0x13, 4, 5},
      {ReadSecondFilterGrade(), 0x0109, 0x14, 3, 5},
      {WriteSecondFilterGrade(103), 0x0109, 0x15, 4, 5},
      {ReadCalibrationDateNumber(), 0x0109, 0x1A, 3, 5},
      {ReadUnit(1), 0x0209, 0x03, 4, 5},
      {WriteUnit(0, 30), 0x0209, 0x04, 5, 5},
      {ReadOffset(3), 0x0209, 0x07, 4, 5},
      {WriteOffset(1, 0.5f), 0x0209, 0x08, 8, 5},
      {ReadBoundary(1), 0x0209, 0x09, 4, 5},
      {ReadTemperatureValue(5), 0x0209, 0x0D, 4, 5},
      {ReadAutoOffsetActive(), 0x0209, 0x13, 3, 5},
      {ReadOutputFilterActive(), 0x0209, 0x15, 3, 5},
      {WriteOutputFilterActive(1), 0x0209, 0x16, 4, 5},
      {ReadAutoOffsetMode(), 0x0209, 0x17, 3, 5},
      {ReadAutoOffsetReload(), 0x0209, 0x19, 3, 5},
      {ReadRandomValue(2), 0x0209, 0x1B, 4, 5},
      {ReadCalibrationPoint(0), 0x0209, 0x1F, 4, 25},
      {ReadCalibrationCoefficients(1, 2), 0x0209, 0x21, 5, 9},
      {ReadCalibrationRecord(0, 4), 0x0209, 0x23, 5, 13},
      {ReadAutoOffsetSettings(0), 0x0209, 0x25, 4, 17},
      {ReadCalibrationPointCount(1), 0x0209, 0x27, 4, 5},
      {ReadCalibrationParameter(2), 0x0209, 0x2B, 4, 5},
      {ReadAnalogueScaling(), 0x0209, 0x36, 3, 9},
      {WriteAnalogueScaling(-60, 20), 0x0209, 0x37, 11, 5},
      {ReadPressureCompensation(), 0x0209, 0x38, 3, 18},
      {WritePressureCompensation(compensation), 0x0209, 0x39, 20, 5},
      {ReadPressureCoefficients(), 0x0209, 0x3C, 3, 9},
      {ReadAtmosphericPressure(), 0x0209, 0x3E, 3, 5},
      {WriteAtmosphericPressure(1013.25f), 0x0209, 0x3F, 7, 5},
      {CalibratePressureZero(), 0x0209, 0x40, 3, 5},
      {CalibratePressureSpan(10.0f), 0x0209, 0x41, 7, 5},
      {ReadPressureCalibrationData(), 0x0209, 0x42, 3, 25},
      {ReadUserCalibrationCount(), 0x0209, 0x46, 3, 5},
      {SetCalibrationPointCount(2), 0x0209, 0x47, 4, 5},
      {ReadUserCalibrationMeasured(), 0x0209, 0x48, 3, 41},
      {WriteUserCalibrationMeasured(ten), 0x0209, 0x49, 43, 5},
      {ReadUserCalibrationReference(), 0x0209, 0x4A, 3, 41},
      {WriteUserCalibrationReference(ten), 0x0209, 0x4B, 43, 5},
      {ReadUserCalibrationCoefficients(0), 0x0209, 0x4C, 4, 9},
      {WriteUserCalibrationCoefficients(0, 1, 0), 0x0209, 0x4D, 12, 5},
      {ReadGasType(), 0x0209, 0x4E, 3, 5},
      {WriteGasType(1), 0x0209, 0x4F, 4, 5},
      {ReadUserCalibrationFlags(), 0x0209, 0x50, 3, 5},
      {WriteUserCalibrationFlags(1), 0x0209, 0x51, 4, 5},
      {ReadMaxCalibrationPoints(), 0x0209, 0x52, 3, 5},
      {CalibrateOffset(-40), 0x0209, 0x53, 7, 5},
      {ReadSensorOptions(), 0x0209, 0x56, 3, 5},
      {WriteDisplayChannels(7), 0x0209, 0x57, 4, 5},
      {ReadDisplayChannels(), 0x0209, 0x58, 3, 5},
  };
  size_t longest = 0;
  std::set<const CommandSpec*> covered;
  for (const Row& r : rows) {
    size_t reply = 0;
    const Bytes body = BodyOf(r.builder, &reply);
    const std::string name(r.builder.command().name);
    ASSERT_GE(body.size(), 3u) << name;
    EXPECT_EQ(body[0], r.group & 0xFF) << name;
    EXPECT_EQ(body[1], r.group >> 8) << name;
    EXPECT_EQ(body[2], r.sub) << name;
    EXPECT_EQ(body.size(), r.body) << name;
    EXPECT_EQ(reply, r.reply) << name;
    EXPECT_EQ(FindCommand(r.group, r.sub), &r.builder.command()) << name;
    longest = std::max(longest, body.size());
    covered.insert(&r.builder.command());
  }
  EXPECT_EQ(longest, 43u);
  // Every catalogue entry but the hand-driven device name read has a builder above.
  EXPECT_EQ(covered.size() + 1, Catalogue().size());
  EXPECT_EQ(covered.count(FindCommand(0x0109, 0x18)), 0u);
}

TEST(Catalogue, PayloadFieldsInTableOrderLittleEndian) {
  EXPECT_EQ(BodyOf(ReadOffset(3)), (Bytes{0x09, 0x02, 0x07, 0x03}));
  EXPECT_EQ(BodyOf(ReadMeasurements(0, 4)), (Bytes{0x04, 0x01, 0x01, 0x00, 0x04}));
  EXPECT_EQ(BodyOf(WriteUnit(2, 0x26)), (Bytes{0x09, 0x02, 0x04, 0x02, 0x26}));
  EXPECT_EQ(BodyOf(WriteAnalogueDacValue(0x1234)), (Bytes{0x07, 0xFF, 0x03, 0x34, 0x12}));
  // 1.0f = 00 00 80 3F, 2.0f = 00 00 00 40
  EXPECT_EQ(BodyOf(WriteUserCalibrationCoefficients(5, 1.0f, 2.0f)),
            (Bytes{0x09, 0x02, 0x4D, 0x05, 0, 0, 0x80, 0x3F, 0, 0, 0, 0x40}));
  EXPECT_EQ(BodyOf(WriteOffset(1, -2.0f)), (Bytes{0x09, 0x02, 0x08, 0x01, 0, 0, 0, 0xC0}));
}

TEST(Catalogue, ReadOffsetTravelsInProfileF) {
  uint8_t frame[256] = {};
  const BuiltRequest r = ReadOffset(3).Build(frame + EnvelopeFrame::kBodyOffset);
  const size_t n = WrapProfileF(frame, r.bodyLength, 1);
  ASSERT_EQ(n, 13u);
  const Bytes head(frame, frame + 9);
  EXPECT_EQ(head, (Bytes{0x01, 0x46, 0x08, 0x01, 0x08, 0x09, 0x02, 0x07, 0x03}));
  EXPECT_EQ(frame[9], static_cast<uint8_t>(-(0x01 + 0x08 + 0x09 + 0x02 + 0x07 + 0x03)));
  EXPECT_EQ(frame[10], 0x00);
  EXPECT_EQ(ComputeCrc16(frame, n), 0);
}

}  // namespace
}  // namespace korvin
