#include "sim/live_values.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "protocol/commands.h"

namespace korvin::sim {

namespace {

// Magnus constants over water (above 0 ℃) and over ice.
constexpr double kMagnusBase = 6.112;
constexpr double kWaterA = 17.62;
constexpr double kWaterB = 243.12;
constexpr double kIceA = 22.46;
constexpr double kIceB = 272.62;
constexpr double kWaterSwitch = 6.108;  // the inverse switches here, not at the base
constexpr double kMinVapourPressure = 1.3e-7;

constexpr double kKelvin = 273.15;
constexpr double kAbsoluteHumidityFactor = 216.7;  // g·K/(m³·hPa)
constexpr double kMixingRatioFactor = 621.98;      // g/kg
constexpr double kPpm = 1e6;
constexpr double kMilli = 1000.0;
constexpr double kHpaPerBar = 1000.0;
constexpr double kMpaPerBar = 0.1;
constexpr double kPsiPerBar = 14.5037738;

// A sensor with both elements reports the QCM element in dry gas and the polymer element above.
constexpr double kQcmBelowC = -20.0;
constexpr double kMinRh = 0.001;
constexpr double kMaxRh = 100.0;

constexpr double kTemperaturePeriodFactor = 1.7;
constexpr double kHarmonicPeriodFactor = 0.37;
constexpr double kHarmonicShare = 0.3;
constexpr double kPressurePeriodFactor = 0.53;
constexpr uint64_t kNoiseSeed = 0x9E3779B97F4A7C15ull;

constexpr double kAnalogueLowMa = 4.0;
constexpr double kAnalogueSpanMa = 16.0;
constexpr double kAnalogueMinMa = 3.8;
constexpr double kAnalogueMaxMa = 20.5;
constexpr double kMinSpanRawDifference = 1e-3;

// Deterministic jitter in [-1, 1], a new value every second: the splitmix64 finaliser over the
// second's number, its top 53 bits scaled to [0, 2).
constexpr uint64_t kMixA = 0xBF58476D1CE4E5B9ull;
constexpr uint64_t kMixB = 0x94D049BB133111EBull;
constexpr int kMixShift1 = 30;
constexpr int kMixShift2 = 27;
constexpr int kMixShift3 = 31;
constexpr int kMantissaShift = 11;
constexpr double kHalfRange = static_cast<double>(1ull << 52);

double Jitter(double seconds, uint64_t stream) {
  uint64_t z =
      static_cast<uint64_t>(static_cast<int64_t>(std::floor(seconds))) + kNoiseSeed * stream;
  z = (z ^ (z >> kMixShift1)) * kMixA;
  z = (z ^ (z >> kMixShift2)) * kMixB;
  z ^= z >> kMixShift3;
  return static_cast<double>(z >> kMantissaShift) / kHalfRange - 1.0;
}

double Wave(double seconds, double period, double phase = 0.0) {
  if (period <= 0.0) return 0.0;
  return std::sin(2.0 * std::numbers::pi * seconds / period + phase);
}

double AbsolutePressureHpa(const SensorState& s, double lineBarg) {
  const double line = s.HasPressureSensor()
                          ? lineBarg
                          : GetFloat(s.compensation.data() + compensation::kStaticPressure);
  return s.atmosphericPressure + line * kHpaPerBar;
}

double RawPressure(const SensorState& s, double trueBarg) {
  return s.process.rawPressureGain * trueBarg + s.process.rawPressureOffset;
}

double K5Reading(const SensorState& s, const ProcessValues& p) {
  const double rh = RelativeHumidity(p.dewPointC, p.temperatureC) + s.offsets[kOffsetK5User];
  return DewPointFromHumidity(p.temperatureC, std::clamp(rh, kMinRh, kMaxRh));
}

double QcmReading(const SensorState& s, const ProcessValues& p) {
  return p.dewPointC + s.offsets[kOffsetQcmUser];
}

bool UsesQcm(const SensorState& s, const ProcessValues& p) {
  if (s.elementSet == kElementBoth) return p.dewPointC < kQcmBelowC;
  return s.elementSet != kElementK5;
}

bool UserCalibrationActive(const UserCalibration& c) {
  return (c.flags & kUserCalibrationEnabled) != 0 && c.count >= 2;
}

// Rows run from the highest point down; a value above the first row or below the last uses the
// nearest stretch.
size_t SegmentFor(const UserCalibration& c, double value) {
  const size_t count = std::min<size_t>(c.count, kUserCalibrationPoints);
  for (size_t k = 0; k + 2 < count; ++k) {
    if (value >= c.measured[k + 1]) return k;
  }
  return count - 2;
}

double AlternativeValue(const SensorState& s, const Readings& r) {
  const double e = VapourPressureAtDewPoint(r.dewPointC);
  const double p = AbsolutePressureHpa(s, r.pressureBarg);
  const double dry = std::max(p - e, kMinVapourPressure);
  switch (s.units[kUnitAlternative]) {
    case unit::kRelativeHumidity:
      return RelativeHumidity(r.dewPointC, r.temperatureC);
    case unit::kDewPointF:
      return CelsiusToFahrenheit(r.dewPointC);
    case unit::kAbsoluteGM3:
      return kAbsoluteHumidityFactor * e / (r.temperatureC + kKelvin);
    case unit::kAbsoluteMgM3:
      return kMilli * kAbsoluteHumidityFactor * e / (r.temperatureC + kKelvin);
    case unit::kMixingRatioGKg:
      return kMixingRatioFactor * e / dry;
    case unit::kPpmV:
      return kPpm * e / dry;
    case unit::kAtmDewPointC:
    case unit::kAtmDewPointF: {
      const double atm = VapourPressureToDewPoint(e * s.atmosphericPressure / p);
      return s.units[kUnitAlternative] == unit::kAtmDewPointF ? CelsiusToFahrenheit(atm) : atm;
    }
    default:
      return r.dewPointC;  // ℃ Td, also for codes that name no humidity unit
  }
}

}  // namespace

double SaturationVapourPressure(double temperatureC) {
  if (temperatureC > 0.0)
    return kMagnusBase * std::exp(kWaterA * temperatureC / (kWaterB + temperatureC));
  return kMagnusBase * std::exp(kIceA * temperatureC / (kIceB + temperatureC));
}

double VapourPressureAtDewPoint(double dewPointC) {
  return SaturationVapourPressure(dewPointC);
}

double VapourPressureToDewPoint(double vapourPressure) {
  const double e = std::max(vapourPressure, kMinVapourPressure);
  const double y = std::log(e / kMagnusBase);
  if (e > kWaterSwitch) return kWaterB * y / (kWaterA - y);
  return kIceB * y / (kIceA - y);
}

double RelativeHumidity(double dewPointC, double temperatureC) {
  return 100.0 * VapourPressureAtDewPoint(dewPointC) / SaturationVapourPressure(temperatureC);
}

double DewPointFromHumidity(double temperatureC, double relativeHumidity) {
  return VapourPressureToDewPoint(SaturationVapourPressure(temperatureC) * relativeHumidity /
                                  100.0);
}

double CelsiusToFahrenheit(double celsius) {
  return celsius * 9.0 / 5.0 + 32.0;
}

uint8_t DefaultDecimalCode(uint8_t unitCode) {
  switch (unitCode) {
    case unit::kRelativeHumidity:
    case unit::kAbsoluteMgM3:
    case unit::kPpmV:
    case unit::kCelsius:
    case unit::kFahrenheit:
      return 1;
    case unit::kMixingRatioGKg:
    case unit::kAbsoluteGM3:
    case unit::kBarg:
      return 3;
    case unit::kMpa:
      return 4;
    default:
      return 2;
  }
}

ProcessValues ProcessAt(const Process& process, double seconds) {
  ProcessValues v;
  v.temperatureC =
      process.temperatureC +
      process.temperatureSwing * Wave(seconds, process.swingPeriodS * kTemperaturePeriodFactor);
  const double drift =
      process.dewPointSwing *
      (Wave(seconds, process.swingPeriodS) +
       kHarmonicShare * Wave(seconds, process.swingPeriodS * kHarmonicPeriodFactor, 1.0));
  v.dewPointC =
      std::min(process.dewPointC + drift + process.noise * Jitter(seconds, 1), v.temperatureC);
  v.pressureBarg =
      process.pressureBarg +
      process.pressureSwing * Wave(seconds, process.swingPeriodS * kPressurePeriodFactor, 2.0);
  return v;
}

double ReadingBeforeUserCalibration(const SensorState& state, double seconds) {
  const ProcessValues p = ProcessAt(state.process, seconds);
  return UsesQcm(state, p) ? QcmReading(state, p) : K5Reading(state, p);
}

double ApplyUserCalibration(const UserCalibration& calibration, double dewPointC) {
  if (!UserCalibrationActive(calibration)) return dewPointC;
  const CoefficientPair& pair = calibration.coefficients[SegmentFor(calibration, dewPointC)];
  return pair.a1 * dewPointC + pair.a0;
}

Readings ComputeReadings(const SensorState& state, double seconds) {
  const ProcessValues p = ProcessAt(state.process, seconds);
  Readings r;
  r.temperatureC = p.temperatureC;
  const double before = UsesQcm(state, p) ? QcmReading(state, p) : K5Reading(state, p);
  r.dewPointC = ApplyUserCalibration(state.userCalibration, before);
  if (state.HasPressureSensor()) {
    r.pressureBarg = state.pressureCoefficients.a1 * RawPressure(state, p.pressureBarg) +
                     state.pressureCoefficients.a0;
  }
  r.alternative = AlternativeValue(state, r);
  return r;
}

ChannelRecord MakeChannelRecord(const SensorState& state, const Readings& readings,
                                size_t channel) {
  ChannelRecord rec;
  rec.decimals = channel < kChannelCount ? state.decimalCodes[channel] : 0;
  const bool f = state.Fahrenheit();
  double value = 0.0;
  switch (channel) {
    case kChannelTemperature:
      value = f ? CelsiusToFahrenheit(readings.temperatureC) : readings.temperatureC;
      rec.unitCode = f ? unit::kFahrenheit : unit::kCelsius;
      break;
    case kChannelAlternative:
      value = readings.alternative;
      rec.unitCode = state.units[kUnitAlternative];
      break;
    case kChannelDewPoint:
      value = f ? CelsiusToFahrenheit(readings.dewPointC) : readings.dewPointC;
      rec.unitCode = f ? unit::kDewPointF : unit::kDewPointC;
      break;
    case kChannelPressure:
      rec.unitCode = state.units[kUnitPressure];
      value = rec.unitCode == unit::kMpa   ? readings.pressureBarg * kMpaPerBar
              : rec.unitCode == unit::kPsi ? readings.pressureBarg * kPsiPerBar
                                           : readings.pressureBarg;
      break;
    default:
      break;
  }
  rec.value = static_cast<float>(value);
  return rec;
}

bool CalibrateDewPointOffset(SensorState& state, double seconds, double referenceC) {
  if (!std::isfinite(referenceC)) return false;
  const ProcessValues p = ProcessAt(state.process, seconds);
  if (referenceC > p.temperatureC) return false;  // condensing: no element can follow
  // The offset works below the user calibration, so aim at the value the calibration turns into
  // the reference.
  double target = referenceC;
  const UserCalibration& uc = state.userCalibration;
  if (UserCalibrationActive(uc)) {
    const double before = ReadingBeforeUserCalibration(state, seconds);
    const CoefficientPair& pair = uc.coefficients[SegmentFor(uc, before)];
    if (pair.a1 != 0.0f) target = (referenceC - pair.a0) / pair.a1;
  }
  if (state.HasQcm()) state.offsets[kOffsetQcmUser] = static_cast<float>(target - p.dewPointC);
  if (state.HasK5()) {
    state.offsets[kOffsetK5User] = static_cast<float>(
        RelativeHumidity(target, p.temperatureC) - RelativeHumidity(p.dewPointC, p.temperatureC));
  }
  state.temperatureValues[kTemperatureValueUserOffset] = static_cast<float>(p.temperatureC);
  return true;
}

// The virtual process plays the technician's part: a zero calibration is made with the line
// vented, a span calibration with the line at the reference pressure, so the process follows.
bool CalibratePressureZeroPoint(SensorState& state, double seconds) {
  if (!state.HasPressureSensor()) return false;
  state.process.pressureBarg = 0.0;
  const double raw = RawPressure(state, ProcessAt(state.process, seconds).pressureBarg);
  state.pressureZeroRaw = raw;
  state.pressureCoefficients.a0 = static_cast<float>(-state.pressureCoefficients.a1 * raw);
  PutFloat(state.pressureData.data() + pressuredata::kZeroRaw, static_cast<float>(raw));
  return true;
}

bool CalibratePressureSpanPoint(SensorState& state, double seconds, double referenceBarg) {
  if (!state.HasPressureSensor() || !std::isfinite(referenceBarg) || referenceBarg <= 0.0) {
    return false;
  }
  Process pressurised = state.process;
  pressurised.pressureBarg = referenceBarg;
  const double raw = RawPressure(state, ProcessAt(pressurised, seconds).pressureBarg);
  const double span = raw - state.pressureZeroRaw;
  if (std::fabs(span) < kMinSpanRawDifference) return false;
  state.process = pressurised;
  const double measured = state.pressureCoefficients.a1 * raw + state.pressureCoefficients.a0;
  const double a1 = referenceBarg / span;
  state.pressureCoefficients.a1 = static_cast<float>(a1);
  state.pressureCoefficients.a0 = static_cast<float>(-a1 * state.pressureZeroRaw);
  uint8_t* d = state.pressureData.data();
  PutFloat(d + pressuredata::kReference, static_cast<float>(referenceBarg));
  PutFloat(d + pressuredata::kMeasured, static_cast<float>(measured));
  PutFloat(d + pressuredata::kSpanRaw, static_cast<float>(raw));
  return true;
}

double AnalogueOutputCurrent(const SensorState& state, const Readings& readings) {
  if (state.testCurrentActive) return state.testCurrent;
  if (state.dacOverride) {
    return std::min(state.dacValue * state.dacMilliampsPerCount, kAnalogueMaxMa);
  }
  const double span = static_cast<double>(state.valueAt20mA) - state.valueAt4mA;
  if (span == 0.0) return kAnalogueLowMa;
  const double ma =
      kAnalogueLowMa + kAnalogueSpanMa * (readings.alternative - state.valueAt4mA) / span;
  return std::clamp(ma, kAnalogueMinMa, kAnalogueMaxMa);
}

}  // namespace korvin::sim
