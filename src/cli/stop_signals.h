#pragma once

namespace korvin {

// Ctrl-C (SIGINT) and SIGTERM ask korvin-cli to stop: the command ends at its next step, a
// recording writes its file and the sensor is disconnected, as at a normal end. A second signal
// ends the program at once (the file on disk is then the last safe copy, never a torn one).
// One object at a time; it puts the previous handlers back when it goes.
class StopSignals {
 public:
  StopSignals();
  ~StopSignals();
  StopSignals(const StopSignals&) = delete;
  StopSignals& operator=(const StopSignals&) = delete;

  // The signal that asked to stop, 0 while none did.
  static int received();
  // "SIGINT" or "SIGTERM".
  static const char* Name(int signal);
  // What a shell reports for a program the signal ended: 128 + the signal (130, 143).
  static int ExitStatus(int signal);
};

}  // namespace korvin
