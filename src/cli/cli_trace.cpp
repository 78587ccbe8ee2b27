#include "cli/cli_trace.h"

namespace korvin {

namespace {
constexpr char kTraceOption[] = "--trace";
}

TraceOption TakeTraceOption(std::vector<std::string>& args, CliTrace& trace, std::string& error) {
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] != kTraceOption) continue;
    if (i + 1 >= args.size() || args[i + 1].empty()) {
      error = "--trace needs a file name";
      return TraceOption::kBadArguments;
    }
    if (trace.trace != nullptr) {
      error = "--trace is given twice";
      return TraceOption::kBadArguments;
    }
    trace.trace = LinkTrace::OpenFile(args[i + 1], trace.clock, error);
    if (trace.trace == nullptr) return TraceOption::kCannotWrite;
    args.erase(args.begin() + static_cast<std::ptrdiff_t>(i),
               args.begin() + static_cast<std::ptrdiff_t>(i) + 2);
    --i;
  }
  return TraceOption::kOk;
}

}  // namespace korvin
