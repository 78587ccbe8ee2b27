#include "sim/pty_host.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "protocol/commands.h"
#include "sim/sim_serial_port.h"

// The kernel's termios with explicit speeds. <asm/termbits.h> clashes with <termios.h>, so the
// layout is declared here; TCGETS2 from <sys/ioctl.h> names this struct.
struct termios2 {
  tcflag_t c_iflag;
  tcflag_t c_oflag;
  tcflag_t c_cflag;
  tcflag_t c_lflag;
  cc_t c_line;
  cc_t c_cc[19];
  speed_t c_ispeed;
  speed_t c_ospeed;
};
static_assert(sizeof(termios2) == 44, "kernel termios2 layout");

namespace korvin::sim {

namespace {

constexpr size_t kReadChunk = 512;
constexpr int64_t kEioRetryUs = 20'000;  // no slave open yet, or the tool is between opens
constexpr int kServeSliceMs = 50;
constexpr int64_t kMinSleepUs = 50;

std::string ErrnoText(const char* what) {
  return std::string(what) + ": " + std::strerror(errno);
}

}  // namespace

PtyHost::PtyHost(SensorModel& model, Clock& clock) : model_(model), clock_(clock) {}

PtyHost::~PtyHost() {
  if (!linkPath_.empty()) ::unlink(linkPath_.c_str());
  if (slave_ >= 0) ::close(slave_);
  if (master_ >= 0) ::close(master_);
}

bool PtyHost::Open(std::string* error) {
  master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
  if (master_ < 0) {
    if (error) *error = ErrnoText("posix_openpt");
    return false;
  }
  if (::grantpt(master_) != 0 || ::unlockpt(master_) != 0) {
    if (error) *error = ErrnoText("grantpt/unlockpt");
    return false;
  }
  const char* name = ::ptsname(master_);
  if (name == nullptr) {
    if (error) *error = ErrnoText("ptsname");
    return false;
  }
  slavePath_ = name;
  // Our own hold on the slave: without it the master reads EIO whenever the tool has the port
  // closed.
  slave_ = ::open(slavePath_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  if (slave_ < 0) {
    if (error) *error = ErrnoText("open slave");
    return false;
  }
  termios raw{};
  if (::tcgetattr(slave_, &raw) == 0) {
    ::cfmakeraw(&raw);
    ::tcsetattr(slave_, TCSANOW, &raw);
  }
  return true;
}

bool PtyHost::MakeLink(const std::string& linkPath, std::string* error) {
  ::unlink(linkPath.c_str());
  if (::symlink(slavePath_.c_str(), linkPath.c_str()) != 0) {
    if (error) *error = ErrnoText("symlink");
    return false;
  }
  linkPath_ = linkPath;
  return true;
}

int PtyHost::LineBaud() const {
  termios2 t{};
  if (master_ < 0 || ::ioctl(master_, TCGETS2, &t) != 0) return 0;
  return static_cast<int>(t.c_ospeed);
}

bool PtyHost::LineFramingOk() const {
  termios2 t{};
  if (master_ < 0 || ::ioctl(master_, TCGETS2, &t) != 0) return false;
  return (t.c_cflag & CSIZE) == CS8 && (t.c_cflag & PARENB) == 0;
}

std::string PtyHost::LineFraming() const {
  termios2 t{};
  if (master_ < 0 || ::ioctl(master_, TCGETS2, &t) != 0) return {};
  constexpr int kDataBitsCs5 = 5;
  const tcflag_t size = t.c_cflag & CSIZE;
  const int dataBits = size == CS8 ? 8 : size == CS7 ? 7 : size == CS6 ? 6 : kDataBitsCs5;
  const char parity = (t.c_cflag & PARENB) == 0 ? 'N' : (t.c_cflag & PARODD) != 0 ? 'O' : 'E';
  const char stopBits = (t.c_cflag & CSTOPB) != 0 ? '2' : '1';
  return std::to_string(dataBits) + parity + stopBits;
}

void PtyHost::TraceBurst(size_t bytes, int baud, int preambles, size_t served, int ignored,
                         int damaged) {
  std::string line = "heard " + std::to_string(bytes) + " bytes at " + std::to_string(baud) +
                     " baud " + LineFraming() + ":";
  for (int i = preambles; i < model_.preamblesSeen(); ++i) line += " preamble";
  const std::vector<LoggedRequest>& log = model_.log();
  for (size_t i = served; i < log.size(); ++i) {
    const CommandSpec* command = FindCommand(log[i].group, log[i].sub);
    line += " ";
    line += command != nullptr ? std::string(command->name) : "unknown";
  }
  if (model_.ignoredBursts() > ignored) line += " ignored";
  if (model_.damagedFrames() > damaged) line += " damaged";
  trace_(line);
}

void PtyHost::WriteMaster(const uint8_t* data, size_t length) {
  size_t done = 0;
  while (done < length) {
    const ssize_t n = ::write(master_, data + done, length - done);
    if (n > 0) {
      done += static_cast<size_t>(n);
    } else if (n < 0 && errno == EINTR) {
      continue;
    } else {
      return;  // nobody drains the slave: the reply is lost, as on an unplugged line
    }
  }
}

void PtyHost::SendReply(const Reply& reply, int64_t requestEndUs, int baud) {
  int64_t t = requestEndUs;
  for (const ReplyChunk& chunk : reply.chunks) {
    const int64_t start = t + chunk.delayUs;
    for (size_t i = 0; i < chunk.bytes.size(); ++i) {
      const int64_t due = start + SimSerialPort::ByteDoneUs(i, baud);
      const int64_t wait = due - clock_.NowUs();
      if (wait >= kMinSleepUs) clock_.SleepUs(wait);
      WriteMaster(&chunk.bytes[i], 1);
    }
    t = chunk.bytes.empty() ? start
                            : start + SimSerialPort::ByteDoneUs(chunk.bytes.size() - 1, baud);
  }
}

bool PtyHost::ServeOnce(int timeoutMs) {
  if (master_ < 0) return false;
  pollfd pfd{master_, POLLIN, 0};
  const int ready = ::poll(&pfd, 1, timeoutMs);
  if (ready < 0) return errno == EINTR;
  if (ready == 0) return true;
  uint8_t buffer[kReadChunk];
  const ssize_t n = ::read(master_, buffer, sizeof buffer);
  if (n < 0) {
    if (errno == EAGAIN || errno == EINTR) return true;
    if (errno == EIO) {
      clock_.SleepUs(kEioRetryUs);
      return true;
    }
    return false;
  }
  if (n == 0) return true;
  const int64_t now = clock_.NowUs();
  const int baud = LineBaud();
  if (model_.faults().echo) WriteMaster(buffer, static_cast<size_t>(n));
  const int heard = LineFramingOk() ? baud : 0;
  const int preambles = model_.preamblesSeen();
  const size_t served = model_.log().size();
  const int ignored = model_.ignoredBursts();
  const int damaged = model_.damagedFrames();
  const std::vector<Reply> replies = model_.Receive({buffer, static_cast<size_t>(n)}, heard, now);
  if (trace_) TraceBurst(static_cast<size_t>(n), baud, preambles, served, ignored, damaged);
  for (const Reply& reply : replies) SendReply(reply, now, baud);
  return true;
}

bool PtyHost::Serve(const std::atomic<bool>& stop) {
  while (!stop.load()) {
    if (!ServeOnce(kServeSliceMs)) return false;
  }
  return true;
}

}  // namespace korvin::sim
