#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "protocol/link_trace.h"

namespace korvin {

// `--trace FILE`, anywhere on the command line of any command. What korvin-cli opened for it.
struct CliTrace {
  SteadyClock clock;
  std::unique_ptr<LinkTrace> trace;  // null without --trace
};

enum class TraceOption { kOk, kBadArguments, kCannotWrite };

// Takes `--trace FILE` out of `args` and opens the trace; `error` says what failed.
TraceOption TakeTraceOption(std::vector<std::string>& args, CliTrace& trace, std::string& error);

}  // namespace korvin
