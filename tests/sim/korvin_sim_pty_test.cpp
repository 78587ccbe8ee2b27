// korvin-sim over a real pseudo-terminal, driven with plain termios calls as any serial program
// would. Real time: the bounds are generous.

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <vector>

#include "platform/posix_serial_port.h"
#include "protocol/commands.h"
#include "protocol/frames.h"
#include "sim/sensor_model.h"
#include "sim/sim_process.h"

namespace korvin::sim {
namespace {

constexpr int kReplyLimitMs = 3000;
constexpr int kSilenceMs = 1500;

int OpenLine(const std::string& path, speed_t speed) {
  const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) return fd;
  termios t{};
  ::tcgetattr(fd, &t);
  ::cfmakeraw(&t);
  ::cfsetispeed(&t, speed);
  ::cfsetospeed(&t, speed);
  ::tcsetattr(fd, TCSANOW, &t);
  ::tcflush(fd, TCIOFLUSH);
  return fd;
}

// Reads until `want` bytes have come or `limitMs` has passed.
std::vector<uint8_t> ReadFor(int fd, size_t want, int limitMs) {
  std::vector<uint8_t> got;
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
  while (got.size() < want) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                          end - std::chrono::steady_clock::now())
                          .count();
    if (left <= 0) break;
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, static_cast<int>(left)) <= 0) continue;
    uint8_t buf[64];
    const ssize_t n = ::read(fd, buf, sizeof buf);
    if (n > 0) got.insert(got.end(), buf, buf + n);
  }
  return got;
}

std::vector<uint8_t> ReadDeviceTypeFrame() {
  std::array<uint8_t, 16> body{};
  const BuiltRequest built = ReadDeviceType().Build(body.data());
  return FrameRequest(LinkKind::kProfileV, {body.data(), built.bodyLength});
}

TEST(KorvinSimPty, AnswersReadDeviceTypeAtItsSpeedAndIgnoresOtherSpeeds) {
  SimProcess sim(KORVIN_SIM_EXECUTABLE, {"--type", "0x1037", "--profile", "V"});
  ASSERT_FALSE(sim.path().empty());
  const std::vector<uint8_t> request = ReadDeviceTypeFrame();

  const int wrong = OpenLine(sim.path(), B9600);
  ASSERT_GE(wrong, 0);
  ASSERT_EQ(::write(wrong, request.data(), request.size()), static_cast<ssize_t>(request.size()));
  EXPECT_TRUE(ReadFor(wrong, 1, kSilenceMs).empty());
  ::close(wrong);

  // Closing and reopening the port is what the tool does between link attempts.
  const int fd = OpenLine(sim.path(), B1200);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::write(fd, request.data(), request.size()), static_cast<ssize_t>(request.size()));
  const auto start = std::chrono::steady_clock::now();
  std::vector<uint8_t> reply = ReadFor(fd, 9, kReplyLimitMs);
  const auto took = std::chrono::steady_clock::now() - start;
  ::close(fd);
  ASSERT_EQ(reply.size(), 9u);
  ASSERT_EQ(CheckServiceFrame(reply.data(), reply.size(), kServiceAddress), kOk);
  EXPECT_EQ(reply[2], kStatusAccepted);
  EXPECT_EQ(GetU16(reply.data() + 3), 0x1037);
  // Nine bytes at 1200 baud take 75 ms on a real line; the simulator paces them so.
  EXPECT_GE(took, std::chrono::milliseconds(60));
}

TEST(KorvinSimPty, LinkNameAndFaultOptionsWork) {
  const std::string link =
      (std::filesystem::temp_directory_path() / ("korvin-sim-" + std::to_string(::getpid())))
          .string();
  {
    SimProcess sim(KORVIN_SIM_EXECUTABLE,
                   {"--profile", "V", "--link", link, "--refuse", "FF01/07=00C0FFEE"});
    ASSERT_FALSE(sim.path().empty());
    ASSERT_TRUE(std::filesystem::is_symlink(link));
    const int fd = OpenLine(link, B1200);
    ASSERT_GE(fd, 0);
    const std::vector<uint8_t> request = ReadDeviceTypeFrame();
    ASSERT_EQ(::write(fd, request.data(), request.size()), static_cast<ssize_t>(request.size()));
    std::vector<uint8_t> reply = ReadFor(fd, 9, kReplyLimitMs);
    ::close(fd);
    ASSERT_EQ(reply.size(), 9u);
    const ReplyStatus status = ParseReplyStatus(reply.data() + 2, 5);
    EXPECT_TRUE(status.refused);
    EXPECT_EQ(status.deviceError, 0x00C0FFEEu);
  }
  EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(link)))
      << "the link goes when the simulator ends";
}

// Profile F needs 50000 baud for the preamble, which only termios2 can set: through the
// program's own port class.
TEST(KorvinSimPty, ProfileFAnswersAt19200OnlyAfterThePreambleAt50000) {
  SimProcess sim(KORVIN_SIM_EXECUTABLE, {"--type", "0x1030"});
  ASSERT_FALSE(sim.path().empty());
  std::array<uint8_t, 16> frame{};
  const BuiltRequest built = ReadDeviceType().Build(frame.data() + EnvelopeFrame::kBodyOffset);
  const size_t length = WrapProfileF(frame.data(), built.bodyLength, kServiceAddress);
  const size_t replyLength = built.replyLength + EnvelopeFrame::kOverhead;
  auto exchange = [&](PosixSerialPort& port) {
    EXPECT_EQ(port.Write(frame.data(), length), static_cast<int>(length));
    std::vector<uint8_t> reply;
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(kSilenceMs);
    while (reply.size() < replyLength && std::chrono::steady_clock::now() < end) {
      if (!port.WaitReadable(10'000)) continue;
      uint8_t buf[64];
      const int n = port.Read(buf, sizeof buf);
      if (n > 0) reply.insert(reply.end(), buf, buf + n);
    }
    return reply;
  };
  LineSettings settings;
  PosixSerialPort port;
  settings.baud = kProfileFBaud;
  ASSERT_TRUE(port.Open(sim.path(), settings));
  EXPECT_TRUE(exchange(port).empty());
  port.Close();

  settings.baud = kPreambleBaud;
  ASSERT_TRUE(port.Open(sim.path(), settings));
  ASSERT_EQ(port.Write(kPreamble.data(), kPreamble.size()), static_cast<int>(kPreamble.size()));
  ::usleep(200'000);
  port.Close();
  settings.baud = kProfileFBaud;
  ASSERT_TRUE(port.Open(sim.path(), settings));
  std::vector<uint8_t> reply = exchange(port);
  ASSERT_EQ(reply.size(), replyLength);
  size_t pos = 0;
  ASSERT_EQ(CheckProfileF(reply.data(), reply.size(), kServiceAddress, &pos), kOk);
  EXPECT_EQ(GetU16(reply.data() + pos + 1), 0x1030);
}

}  // namespace
}  // namespace korvin::sim
