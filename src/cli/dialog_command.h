#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace korvin {

class LinkTrace;

// korvin-cli [--port P | --simulate[=TYPE]] [--factory] DIALOG [STEP ...] [--json]: one task
// dialog without a window (see DialogUsage()).
bool IsDialogCommand(const std::vector<std::string>& args);
// `trace`, when not null, gets every event on the serial line.
int RunDialogCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                     LinkTrace* trace = nullptr);

// The part of --help that explains the dialogs.
std::string DialogUsage();

}  // namespace korvin
