#pragma once

#include <optional>
#include <string>

#include "forms/task_dialog.h"

class QWidget;

namespace korvin {

// One of the small input dialogs: a field with its unit, "OK" and, when it may be cancelled,
// "Cancel". "OK" with an empty field is refused with a message and the dialog stays. Returns the
// text, or nothing when the dialog was cancelled (Cancel, the close box, Esc).
std::optional<std::string> RunInputDialog(QWidget* parent, const InputSpec& input);

}  // namespace korvin
