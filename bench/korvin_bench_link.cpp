// Round trip and CPU cost of ReadMeasurements over a pseudo-terminal to korvin-sim at 19200 baud.
// The protocol's own minimum per transaction is its pauses plus ten bits a byte both ways (less
// the part of the reply that arrives during the pauses); the tool should stay close to it and
// spend almost no processor time while it waits. A pseudo-terminal passes the request on at
// once, so the measured round trip can come out below the line's minimum.
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>

#include "platform/clock.h"
#include "platform/event_pump.h"
#include "platform/posix_serial_port.h"
#include "protocol/service_link.h"
#include "protocol/transaction.h"
#include "sim/sim_process.h"

namespace {

constexpr int kTransactions = 100;
constexpr uint8_t kChannels = 4;
constexpr double kLineBaud = 19200;

double CpuSeconds() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

}  // namespace

int main() {
  using namespace korvin;
  sim::SimProcess simulator(KORVIN_SIM_PATH, {"--type", "0x1030", "--profile", "F"});
  if (simulator.path().empty()) {
    std::fprintf(stderr, "korvin-sim did not start\n");
    return 1;
  }
  SteadyClock clock;
  NullEventPump pump;
  PosixSerialPort port;
  ServiceLink link(port, clock, pump);
  bool first = true;
  uint16_t type = 0;
  if (link.EstablishLink(LinkProfile::kProfileF, simulator.path(), first, type) != kOk) {
    std::fprintf(stderr, "no link to korvin-sim on %s\n", simulator.path().c_str());
    return 1;
  }

  uint8_t data[kChannels * kMeasurementRecordSize];
  const auto start = std::chrono::steady_clock::now();
  const double cpuStart = CpuSeconds();
  int failures = 0;
  for (int i = 0; i < kTransactions; ++i) {
    if (RunTransaction(link.context(), ReadMeasurements(0, kChannels), data, sizeof data) != kOk) {
      ++failures;
    }
  }
  const double wall =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const double cpu = CpuSeconds() - cpuStart;
  link.transport().ClosePort();

  const double requestBytes = 5 + EnvelopeFrame::kOverhead;
  const double replyBytes = kChannels * kMeasurementRecordSize + 1 + EnvelopeFrame::kOverhead;
  const double pausesMs = timing::kPauseBeforeWriteFMs + timing::kPauseAfterWriteMs +
                          timing::kPauseBeforeReadFMs + timing::kPauseAfterReplyMs;
  // The reply travels while the tool sleeps between write and read; only what is left of it
  // after those pauses adds to the round trip.
  const double byteMs = 10 * 1000 / kLineBaud;
  const double hiddenMs = timing::kPauseAfterWriteMs + timing::kPauseBeforeReadFMs;
  const double minimumMs =
      pausesMs + requestBytes * byteMs + std::max(0.0, replyBytes * byteMs - hiddenMs);
  const double meanMs = wall * 1000 / kTransactions;
  std::printf("transactions: %d (failed %d)\n", kTransactions, failures);
  std::printf("mean round trip: %.2f ms\n", meanMs);
  std::printf("protocol minimum: %.2f ms\n", minimumMs);
  std::printf("cpu time per transaction: %.3f ms\n", cpu * 1000 / kTransactions);
  std::printf("round-trip ratio: %.3f\n", meanMs / minimumMs);
  std::printf("cpu share: %.2f %%\n", 100 * cpu / wall);
  return failures == 0 ? 0 : 1;
}
