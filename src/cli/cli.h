#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace korvin {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;

// korvin-cli [--port COMn|DEVICE] [--simulate[=TYPE]] COMMAND ...; returns the exit status.
int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace korvin
