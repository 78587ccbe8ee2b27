#include "cli/cli_trace.h"

namespace korvin {

namespace {
constexpr char kTraceOption[] = "--trace";
}

bool TakeTraceOption(std::vector<std::string>& args, CliTrace& trace, std::string& error) {
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] != kTraceOption) continue;
    if (i + 1 >= args.size() || args[i + 1].empty()) {
      error = "--trace needs a file name";
      return false;
    }
    if (trace.trace != nullptr) {
      error = "--trace is given twice";
      return false;
    }
    trace.trace = LinkTrace::OpenFile(args[i + 1], trace.clock, error);
    if (trace.trace == nullptr) return false;
    args.erase(args.begin() + static_cast<std::ptrdiff_t>(i),
               args.begin() + static_cast<std::ptrdiff_t>(i) + 2);
    --i;
  }
  return true;
}

}  // namespace korvin
