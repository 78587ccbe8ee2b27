#pragma once

#include <optional>

#include "forms/task_dialog.h"

namespace korvin {

// "Input referene dew point": one field in ℃ Td, "OK" and "Cancel". It opens empty; "OK" with an
// empty field is refused by the host, any other text is taken.
class CInputRefDP {
 public:
  static constexpr InputSpec kSpec{"Input referene dew point", "C Td", true};

  // Runs the dialog above `host`: the entered reference dew point, the leading number of the
  // text (0.0 without one), or nothing when it was cancelled.
  static std::optional<float> Run(DialogHost& host);
};

}  // namespace korvin
