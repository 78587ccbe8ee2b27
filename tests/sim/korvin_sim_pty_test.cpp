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

}  // namespace
}  // namespace korvin::sim
