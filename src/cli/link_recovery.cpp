#include "cli/link_recovery.h"

#include <algorithm>
#include <ostream>

#include "device/connect_sequence.h"

namespace korvin {

namespace {
constexpr int64_t kCheckEveryMs = 1000;
// How often a wait looks whether a stop signal came.
constexpr int64_t kStopCheckMs = 50;
constexpr int64_t kMsPerMinute = 60'000;
constexpr char kPrefix[] = "korvin-cli: ";
}  // namespace

LinkRecovery::LinkRecovery(Clock& clock, std::string port, int minutes, RecoveryLink link,
                           std::ostream& err)
    : clock_(clock), port_(std::move(port)), minutes_(minutes), link_(std::move(link)), err_(err) {}

bool LinkRecovery::Sleep(int64_t ms) {
  const int64_t end = clock_.NowMs() + ms;
  for (;;) {
    if (link_.stopRequested()) return false;
    const int64_t left = end - clock_.NowMs();
    if (left <= 0) return true;
    clock_.SleepMs(std::min(left, kStopCheckMs));
  }
}

LinkRecovery::Result LinkRecovery::Recover(DeviceRecord& record) {
  err_ << kPrefix << port_ << " is gone; waiting for it to come back (up to " << minutes_
       << (minutes_ == 1 ? " minute)" : " minutes)") << std::endl;
  link_.close();
  const int64_t deadline = clock_.NowMs() + minutes_ * kMsPerMinute;
  bool present = false;
  for (;;) {
    if (link_.stopRequested()) return Result::kStopped;
    if (link_.portPresent()) {
      if (!present) err_ << kPrefix << port_ << " is back; connecting again" << std::endl;
      present = true;
      DeviceRecord fresh;
      if (link_.connect(fresh)) {
        if (fresh.serialNumber != record.serialNumber) {
          err_ << kPrefix << kDifferentSensor << " (serial number " << fresh.serialNumber
               << ", before " << record.serialNumber << ")" << std::endl;
          return Result::kDifferentSensor;
        }
        CopyConnectResult(fresh, record);
        err_ << kPrefix << "connected again to serial number " << record.serialNumber
             << "; polling resumes" << std::endl;
        return Result::kBack;
      }
      // The port is there but the sensor did not answer (still powering up, say): the connect
      // sequence said why; the next try comes a second later.
    } else if (present) {
      err_ << kPrefix << port_ << " is gone again; waiting" << std::endl;
      present = false;
    }
    if (clock_.NowMs() >= deadline) {
      err_ << kPrefix << port_ << " did not come back within " << minutes_
           << (minutes_ == 1 ? " minute" : " minutes") << "; giving up" << std::endl;
      return Result::kGaveUp;
    }
    if (!Sleep(std::min(kCheckEveryMs, deadline - clock_.NowMs()))) return Result::kStopped;
  }
}

}  // namespace korvin
