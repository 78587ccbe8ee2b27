// Round trip and CPU cost of ReadMeasurements over a pseudo-terminal to korvin-sim at 19200 baud.
// The protocol's own minimum per transaction is its pauses plus ten bits a byte both ways (less
// the part of the reply that arrives during the pauses); the tool should stay close to it and
// spend almost no processor time while it waits. A pseudo-terminal passes the request on at
// once, so the measured round trip can come out below the line's minimum. The same batch runs a
// second time with the traffic traced into a file, to show what the trace costs.
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include "platform/clock.h"
#include "platform/event_pump.h"
#include "platform/posix_serial_port.h"
#include "protocol/link_trace.h"
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

struct Batch {
  double wall = 0;
  double cpu = 0;
  int failures = 0;
};

Batch RunBatch(korvin::ServiceLink& link) {
  using namespace korvin;
  uint8_t data[kChannels * kMeasurementRecordSize];
  Batch batch;
  const auto start = std::chrono::steady_clock::now();
  const double cpuStart = CpuSeconds();
  for (int i = 0; i < kTransactions; ++i) {
    if (RunTransaction(link.context(), ReadMeasurements(0, kChannels), data, sizeof data) != kOk) {
      ++batch.failures;
    }
  }
  batch.wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  batch.cpu = CpuSeconds() - cpuStart;
  return batch;
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

  const Batch plain = RunBatch(link);
  const double wall = plain.wall;
  const double cpu = plain.cpu;

  const std::filesystem::path traceFile =
      std::filesystem::temp_directory_path() / ("korvin-bench-link-" + std::to_string(getpid()));
  std::string error;
  const std::unique_ptr<LinkTrace> trace = LinkTrace::OpenFile(traceFile, clock, error);
  if (trace == nullptr) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }
  link.SetTrace(trace.get());
  const Batch traced = RunBatch(link);
  link.SetTrace(nullptr);
  const auto traceBytes = std::filesystem::file_size(traceFile);
  std::filesystem::remove(traceFile);
  link.transport().ClosePort();
  const int failures = plain.failures + traced.failures;

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
  std::printf("traced transactions: %d (failed %d), %.0f trace bytes each\n", kTransactions,
              traced.failures, static_cast<double>(traceBytes) / kTransactions);
  std::printf("trace cpu time per transaction: %.3f ms\n",
              (traced.cpu - cpu) * 1000 / kTransactions);
  std::printf("trace cpu share: %.2f %%\n", 100 * (traced.cpu - cpu) / traced.wall);
  return failures == 0 ? 0 : 1;
}
