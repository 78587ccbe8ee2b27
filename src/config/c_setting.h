#pragma once

#include <array>
#include <cstdint>

#include "forms/task_dialog.h"
#include "forms/task_environment.h"

namespace korvin {

// "Sensor settings": units, analogue scaling, output filter, static pressure compensation,
// atmospheric pressure, gas type and display channels. Open() reads them from the sensor and the
// device record; "Set" writes every value back in a fixed order and closes; "Exit" closes
// without writing. The units and the scaling are written into the device record in place.
class CSetting final : public TaskDialog {
 public:
  enum Control : size_t {
    k4mA,
    k20mA,
    kOutputFilter,
    kFilterGrade,
    kSecondFilterGrade,
    kStaticPressure,
    kCoeffMinus40,
    kCoeffMinus70,
    kCoeffMinus95,
    kCompensationEnabled,
    kTemperatureUnit,
    kPressureUnit,
    kAltDewPoint,
    kGasType,
    kAtmosphericPressure,
    kDisplayTemperature,
    kDisplayAltDewPoint,
    kDisplayDewPoint,
    kDisplayPressure,
    kSet,
    kExit,
    kControlCount
  };

  static constexpr char kTitle[] = "Sensor settings";
  static constexpr char kDisplayQuestion[] = "Is the device with display?";

  static const DialogScreen& Screen();

  explicit CSetting(TaskEnvironment& environment);

  void Open() override;
  void Press(size_t control) override;
  void Changed(size_t control) override;

  // The record the sensor sent at open, as it goes back on Set (only the static pressure is
  // replaced from the screen).
  const std::array<uint8_t, 17>& compensation() const { return compensation_; }
  bool displayPresent() const { return displayPresent_; }

 private:
  bool Read(const RequestBuilder& request, void* destination, uint8_t copyLimit);
  bool Write(const RequestBuilder& request);
  void ShowScalingUnit();
  void Set();

  TaskEnvironment& env_;
  std::array<uint8_t, 17> compensation_{};
  uint8_t displayChannels_ = 0;
  uint8_t gasType_ = 0;
  bool displayPresent_ = false;
};

}  // namespace korvin
