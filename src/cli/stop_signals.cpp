#include "cli/stop_signals.h"

#include <csignal>
#include <cstdlib>
#include <iterator>

namespace korvin {

namespace {

constexpr int kSignalExitBase = 128;
constexpr int kStopSignals[] = {SIGINT, SIGTERM};

volatile std::sig_atomic_t gReceived = 0;
using Handler = void (*)(int);
Handler gPrevious[std::size(kStopSignals)];

extern "C" void OnStopSignal(int signal) {
  // Only what a signal handler may do: set the flag, or end at once on the second signal.
  if (gReceived != 0) std::_Exit(kSignalExitBase + signal);
  gReceived = signal;
  // Where a handler is reset by its call, take the next signal again.
  std::signal(signal, OnStopSignal);
}

}  // namespace

StopSignals::StopSignals() {
  gReceived = 0;
  for (size_t i = 0; i < std::size(kStopSignals); ++i) {
    gPrevious[i] = std::signal(kStopSignals[i], OnStopSignal);
  }
}

StopSignals::~StopSignals() {
  for (size_t i = 0; i < std::size(kStopSignals); ++i) {
    if (gPrevious[i] != SIG_ERR) std::signal(kStopSignals[i], gPrevious[i]);
  }
}

int StopSignals::received() {
  return gReceived;
}

const char* StopSignals::Name(int signal) {
  return signal == SIGTERM ? "SIGTERM" : "SIGINT";
}

int StopSignals::ExitStatus(int signal) {
  return kSignalExitBase + signal;
}

}  // namespace korvin
