#pragma once

#include "forms/task_dialog.h"

namespace korvin {

// "Input value": one field in mA and "OK" only. It opens empty; "OK" with an empty field is
// refused by the host. The close box leaves the field's text empty.
class CInputValue {
 public:
  static constexpr InputSpec kSpec{"Input value", "mA", false};

  // Runs the dialog above `host`: the entered current in mA, the leading number of the text. A
  // text without one, or the dialog closed by its close box (an empty text), gives 0.0.
  static float Run(DialogHost& host);
};

}  // namespace korvin
