#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace korvin {

// korvin-cli [--port P | --simulate[=TYPE]] [--factory] DIALOG [STEP ...] [--json]: one task
// dialog without a window (see DialogUsage()).
bool IsDialogCommand(const std::vector<std::string>& args);
int RunDialogCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// The part of --help that explains the dialogs.
std::string DialogUsage();

}  // namespace korvin
