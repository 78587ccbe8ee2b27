#include "sim/live_values.h"

#include <gtest/gtest.h>

#include "platform/clock.h"
#include "protocol/commands.h"
#include "sim/sensor_model.h"
#include "sim_test_util.h"

namespace korvin::sim {
namespace {

using testing::Ask;
using testing::Freeze;
using testing::ReadChannel;

constexpr uint16_t kK5Type = 0x1024;
constexpr uint16_t kBothType = 0x1030;
constexpr uint16_t kQcmType = 0x7777;  // not in the table: a QCM sensor

TEST(Humidity, MagnusConversionsMatchKnownValues) {
  EXPECT_NEAR(VapourPressureToDewPoint(6.112), 0.00, 0.005);
  EXPECT_NEAR(VapourPressureToDewPoint(1.0), -20.33, 0.005);
  EXPECT_NEAR(VapourPressureToDewPoint(12.27), 10.01, 0.005);
  EXPECT_NEAR(VapourPressureToDewPoint(0.1), -42.20, 0.005);
  EXPECT_NEAR(DewPointFromHumidity(20.0, 50.0), 9.26, 0.005);
  for (double dp : {-90.0, -40.0, -5.0, 3.0, 25.0}) {
    EXPECT_NEAR(VapourPressureToDewPoint(VapourPressureAtDewPoint(dp)), dp, 1e-9) << dp;
  }
}

// A frost point of −10 ℃ at 20 ℃ and 1013.25 hPa, against humidity tables.
TEST(LiveValues, AlternativeValueFollowsTheChosenUnit) {
  VirtualClock clock;
  SensorModel model(kK5Type, LinkKind::kProfileV, clock);
  Freeze(model);
  model.state().process.dewPointC = -10.0;
  model.state().process.temperatureC = 20.0;
  struct Case {
    uint8_t unit;
    double expected;
    double tolerance;
  };
  const Case cases[] = {
      {unit::kRelativeHumidity, 11.14, 0.05},
      {unit::kDewPointC, -10.0, 1e-4},
      {unit::kDewPointF, 14.0, 1e-4},
      {unit::kAbsoluteGM3, 1.92, 0.01},
      {unit::kAbsoluteMgM3, 1921.0, 5.0},
      {unit::kMixingRatioGKg, 1.60, 0.01},
      {unit::kPpmV, 2571.0, 10.0},
      {unit::kAtmDewPointC, -10.0, 1e-4},
      {unit::kAtmDewPointF, 14.0, 1e-4},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.unit));
    ASSERT_EQ(Ask(model, WriteUnit(kUnitIndexAltDewPoint, c.unit))[0], kStatusAccepted);
    EXPECT_NEAR(ReadChannel(model, kChannelAlternative), c.expected, c.tolerance);
  }
  // Under 6 barg of line pressure the same gas has an atmospheric dew point near −30 ℃.
  std::array<uint8_t, 17> compensation = model.state().compensation;
  PutFloat(compensation.data() + compensation::kStaticPressure, 6.0f);
  Ask(model, WritePressureCompensation(compensation));
  Ask(model, WriteUnit(kUnitIndexAltDewPoint, unit::kAtmDewPointC));
  EXPECT_NEAR(ReadChannel(model, kChannelAlternative), -30.1, 0.1);
}

TEST(LiveValues, TemperatureUnitAppliesToTemperatureAndDewPoint) {
  VirtualClock clock;
  SensorModel model(kK5Type, LinkKind::kProfileV, clock);
  Freeze(model);
  model.state().process.dewPointC = -10.0;
  model.state().process.temperatureC = 25.0;
  Ask(model, WriteUnit(kUnitIndexTemperature, unit::kFahrenheit));
  const std::vector<uint8_t> reply = Ask(model, ReadMeasurements(0, 3));
  ASSERT_EQ(reply.size(), 22u);
  EXPECT_NEAR(GetFloat(reply.data() + 1), 77.0, 1e-4);
  EXPECT_EQ(reply[1 + 5], unit::kFahrenheit);
  EXPECT_NEAR(GetFloat(reply.data() + 15), 14.0, 1e-4);
  EXPECT_EQ(reply[15 + 5], unit::kDewPointF);
}

TEST(LiveValues, DecimalPlacesCodeFollowsTheUnitOfEachChannel) {
  VirtualClock clock;
  SensorModel model(kBothType, LinkKind::kProfileF, clock);
  auto decimals = [&] {
    const std::vector<uint8_t> r = Ask(model, ReadMeasurements(0, 4));
    return std::array<uint8_t, 4>{r[5], r[12], r[19], r[26]};
  };
  EXPECT_EQ(decimals(), (std::array<uint8_t, 4>{1, 1, 2, 3}));  // ℃, ppm, ℃ Td, barg
  Ask(model, WriteUnit(kUnitIndexAltDewPoint, unit::kAbsoluteGM3));
  Ask(model, WriteUnit(kUnitIndexPressure, unit::kMpa));
  EXPECT_EQ(decimals(), (std::array<uint8_t, 4>{1, 3, 2, 4}));
  Ask(model, WriteUnit(kUnitIndexPressure, unit::kPsi));
  model.state().decimalCodes[kChannelDewPoint] = 5;
  EXPECT_EQ(decimals(), (std::array<uint8_t, 4>{1, 3, 5, 2}));
}

TEST(LiveValues, UserOffsetsShiftTheReadingOfTheirElement) {
  VirtualClock clock;
  SensorModel qcm(kQcmType, LinkKind::kProfileV, clock);
  Freeze(qcm);
  const float before = ReadChannel(qcm, kChannelDewPoint);
  Ask(qcm, WriteOffset(kOffsetQcmUser, 1.5f));
  EXPECT_NEAR(ReadChannel(qcm, kChannelDewPoint), before + 1.5f, 1e-4);
  Ask(qcm, WriteOffset(kOffsetK5User, 10.0f));  // an element it does not have
  EXPECT_NEAR(ReadChannel(qcm, kChannelDewPoint), before + 1.5f, 1e-4);

  // The polymer offset is in %rH: the humidity read back rises by exactly the offset.
  SensorModel k5(kK5Type, LinkKind::kProfileV, clock);
  Freeze(k5);
  const float rh = ReadChannel(k5, kChannelAlternative);
  const float dp = ReadChannel(k5, kChannelDewPoint);
  Ask(k5, WriteOffset(kOffsetK5User, 5.0f));
  EXPECT_NEAR(ReadChannel(k5, kChannelAlternative), rh + 5.0f, 1e-3);
  EXPECT_GT(ReadChannel(k5, kChannelDewPoint), dp + 1.0f);
}

TEST(LiveValues, OffsetCalibrationMakesTheReadingMatchTheReference) {
  struct Case {
    const char* what;
    uint16_t type;
    double processDewPoint;
    bool userCalibration;
  };
  const Case cases[] = {
      {"polymer", kK5Type, -20.0, false},
      {"QCM", kQcmType, -60.0, false},
      {"both, dry gas (QCM)", kBothType, -45.0, false},
      {"both, moist gas (polymer)", kBothType, -5.0, false},
      {"under a user calibration", kBothType, -45.0, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    VirtualClock clock;
    SensorModel model(c.type, LinkKind::kProfileV, clock);
    Freeze(model);
    model.state().process.dewPointC = c.processDewPoint;
    if (c.userCalibration) {
      UserCalibration& uc = model.state().userCalibration;
      uc.count = 2;
      uc.measured[0] = -30.0f;
      uc.measured[1] = -60.0f;
      uc.coefficients[0] = {1.1f, 2.0f};
      uc.flags = kUserCalibrationEnabled;
    }
    const float reference = static_cast<float>(c.processDewPoint - 1.75);
    ASSERT_EQ(Ask(model, CalibrateOffset(reference))[0], kStatusAccepted);
    EXPECT_NEAR(ReadChannel(model, kChannelDewPoint), reference, 2e-3);
    EXPECT_EQ(model.state().temperatureValues[kTemperatureValueUserOffset], 23.0f);
  }
}

TEST(LiveValues, EnabledUserCalibrationCorrectsByTheSegmentOfTheReading) {
  VirtualClock clock;
  SensorModel model(kBothType, LinkKind::kProfileV, clock);
  Freeze(model);
  std::array<float, 10> reference{10.0f, 0.0f, -10.0f};
  std::array<float, 10> measured{9.0f, -1.0f, -12.0f};
  Ask(model, WriteUserCalibrationReference(reference));
  Ask(model, WriteUserCalibrationMeasured(measured));
  Ask(model, WriteUserCalibrationCoefficients(0, 1.0f, 1.0f));
  Ask(model, WriteUserCalibrationCoefficients(1, 10.0f / 11.0f, 10.0f / 11.0f));
  Ask(model, SetCalibrationPointCount(3));
  struct Case {
    double processDewPoint;
    double corrected;
  };
  for (const Case& c : {Case{5.0, 6.0}, Case{-5.0, -50.0 / 11.0 + 10.0 / 11.0}, Case{15.0, 16.0},
                        Case{-20.0, -200.0 / 11.0 + 10.0 / 11.0}}) {
    SCOPED_TRACE(c.processDewPoint);
    model.state().process.dewPointC = c.processDewPoint;
    Ask(model, WriteUserCalibrationFlags(0));
    EXPECT_NEAR(ReadChannel(model, kChannelDewPoint), c.processDewPoint, 1e-4);
    Ask(model, WriteUserCalibrationFlags(kUserCalibrationEnabled));
    EXPECT_NEAR(ReadChannel(model, kChannelDewPoint), c.corrected, 1e-4);
  }
  // Fewer than two points leave the reading alone even when enabled.
  Ask(model, SetCalibrationPointCount(1));
  EXPECT_NEAR(ReadChannel(model, kChannelDewPoint), -20.0, 1e-4);
}

TEST(LiveValues, PressureZeroAndSpanCorrectTheRawElement) {
  VirtualClock clock;
  SensorModel model(kBothType, LinkKind::kProfileF, clock);
  Freeze(model);
  Process& p = model.state().process;
  p.rawPressureGain = 1.05;
  p.rawPressureOffset = 0.2;
  EXPECT_NEAR(ReadChannel(model, kChannelPressure), 7.55, 1e-4);

  ASSERT_EQ(Ask(model, CalibratePressureZero())[0], kStatusAccepted);
  EXPECT_NEAR(ReadChannel(model, kChannelPressure), 0.0, 1e-4);
  ASSERT_EQ(Ask(model, CalibratePressureSpan(8.0f))[0], kStatusAccepted);
  EXPECT_NEAR(ReadChannel(model, kChannelPressure), 8.0, 1e-4);
  const std::vector<uint8_t> data = Ask(model, ReadPressureCalibrationData());
  EXPECT_FLOAT_EQ(GetFloat(data.data() + 1), 8.0f);
  EXPECT_NEAR(GetFloat(data.data() + 5), 8.4, 1e-4);  // what it read before the span

  p.pressureBarg = 4.0;
  EXPECT_NEAR(ReadChannel(model, kChannelPressure), 4.0, 1e-4);
  Ask(model, WriteUnit(kUnitIndexPressure, unit::kMpa));
  EXPECT_NEAR(ReadChannel(model, kChannelPressure), 0.4, 1e-5);
  Ask(model, WriteUnit(kUnitIndexPressure, unit::kPsi));
  EXPECT_NEAR(ReadChannel(model, kChannelPressure), 58.015, 1e-3);

  const std::vector<uint8_t> coefficients = Ask(model, ReadPressureCoefficients());
  EXPECT_NEAR(GetFloat(coefficients.data() + 1), 1.0 / 1.05, 1e-5);

  SensorModel noSensor(kK5Type, LinkKind::kProfileF, clock);
  EXPECT_EQ(Ask(noSensor, CalibratePressureZero())[0], kStatusRefused);
  EXPECT_EQ(ReadChannel(noSensor, kChannelPressure), 0.0f);
}

TEST(LiveValues, ReadingsWanderSlowlyAndReproducibly) {
  VirtualClock clockA;
  VirtualClock clockB;
  SensorModel a(kBothType, LinkKind::kProfileF, clockA);
  SensorModel b(kBothType, LinkKind::kProfileF, clockB);
  double lowest = 1e9;
  double highest = -1e9;
  constexpr int64_t kStepUs = 7'000'000;
  for (int i = 0; i < 600; ++i) {
    const Readings ra = a.ReadingsNow();
    ASSERT_EQ(ra.dewPointC, b.ReadingsNow().dewPointC);
    ASSERT_LE(ra.dewPointC, ra.temperatureC);
    lowest = std::min(lowest, ra.dewPointC);
    highest = std::max(highest, ra.dewPointC);
    clockA.SleepUs(kStepUs);
    clockB.SleepUs(kStepUs);
  }
  EXPECT_GT(highest - lowest, 1.0);
  EXPECT_LT(highest - lowest, 3.0);
  EXPECT_NEAR((highest + lowest) / 2, a.state().process.dewPointC, 0.5);
}

TEST(LiveValues, AnalogueOutputFollowsScalingOrTheTestCurrent) {
  VirtualClock clock;
  SensorModel model(kK5Type, LinkKind::kProfileV, clock);
  Freeze(model);
  Readings r = model.ReadingsNow();
  r.alternative = 50.0;  // half of the 0...100 %rH scale
  EXPECT_DOUBLE_EQ(AnalogueOutputCurrent(model.state(), r), 12.0);
  r.alternative = 150.0;
  EXPECT_DOUBLE_EQ(AnalogueOutputCurrent(model.state(), r), 20.5);
  Ask(model, SetAnalogueTestCurrent(7.5f));
  EXPECT_DOUBLE_EQ(AnalogueOutputCurrent(model.state(), r), 7.5);
  Ask(model, WriteAnalogueDacValue(3200));
  EXPECT_FALSE(model.state().testCurrentActive);
  EXPECT_EQ(model.state().dacValue, 3200);
  // A forced DAC value drives the output stage, in proportion: the standard design gives 4 mA at
  // 3200 and 16 mA at 12800, the compact one 4 mA at 1300 and 20 mA at 6500.
  EXPECT_NEAR(AnalogueOutputCurrent(model.state(), r), 4.0, 1e-9);
  Ask(model, WriteAnalogueDacValue(12800));
  EXPECT_NEAR(AnalogueOutputCurrent(model.state(), r), 16.0, 1e-9);
  SensorModel compact(0x1035, LinkKind::kProfileV, clock);
  Ask(compact, WriteAnalogueDacValue(6500));
  EXPECT_NEAR(AnalogueOutputCurrent(compact.state(), r), 20.0, 1e-9);
  Ask(model, SetAnalogueTestCurrent(7.5f));
  EXPECT_FALSE(model.state().dacOverride);
}

}  // namespace
}  // namespace korvin::sim
