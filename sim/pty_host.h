#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

#include "platform/clock.h"
#include "sim/sensor_model.h"

namespace korvin::sim {

// Serves one SensorModel through a pseudo-terminal, so the real program can open the slave side
// like a serial port. The host keeps a descriptor of the slave open itself: the tool may close
// and reopen its port at will without the master seeing EIO. It reads the line speed the tool
// set on the slave (TCGETS2 on the master), so the sensor can ignore frames at the wrong speed,
// and sends replies paced at the line's byte time with real sleeps.
class PtyHost {
 public:
  PtyHost(SensorModel& model, Clock& clock);
  ~PtyHost();
  PtyHost(const PtyHost&) = delete;
  PtyHost& operator=(const PtyHost&) = delete;

  // Creates the pseudo-terminal. On failure returns false with a reason in *error.
  bool Open(std::string* error);
  const std::string& slavePath() const { return slavePath_; }
  // A symbolic link to the slave, removed again when the host ends.
  bool MakeLink(const std::string& linkPath, std::string* error);

  // Waits up to timeoutMs for bytes from the tool, hands them to the sensor and sends its
  // replies. Returns false only on an unrecoverable error of the master.
  bool ServeOnce(int timeoutMs);
  // Serves until `stop` becomes true (checked at least every slice).
  bool Serve(const std::atomic<bool>& stop);

  // The speed the tool set on the line, 0 when it cannot be read.
  int LineBaud() const;
  // False when the tool set a framing other than 8 data bits without parity.
  bool LineFramingOk() const;
  // The framing the tool set, as data bits, parity and stop bits: "8N1", "7E2"; empty when it
  // cannot be read.
  std::string LineFraming() const;

  // Called with one line for every burst of bytes heard from the tool: its size, the line speed
  // and framing, and what the sensor made of it (the preamble, the commands it served, or
  // "ignored" at a speed it was not listening at); nothing after the colon while a frame is
  // still incomplete. "heard 13 bytes at 50000 baud 8N1: preamble"
  using Trace = std::function<void(const std::string& line)>;
  void SetTrace(Trace trace) { trace_ = std::move(trace); }

 private:
  void SendReply(const Reply& reply, int64_t requestEndUs, int baud);
  void WriteMaster(const uint8_t* data, size_t length);
  void TraceBurst(size_t bytes, int baud, int preambles, size_t served, int ignored, int damaged);

  SensorModel& model_;
  Clock& clock_;
  int master_ = -1;
  int slave_ = -1;
  std::string slavePath_;
  std::string linkPath_;
  Trace trace_;
};

}  // namespace korvin::sim
