#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "device/connect_sequence.h"
#include "device/online_poller.h"
#include "protocol/commands.h"
#include "protocol/link_trace.h"
#include "protocol/transaction.h"
#include "sim_rig.h"
#include "support/temp_folder.h"

namespace korvin {
namespace {

using test::SimRig;

struct TracedRig : SimRig {
  TracedRig() { link.SetTrace(&trace); }
  ~TracedRig() { link.SetTrace(nullptr); }

  bool Connect() {
    CConnect connect(link, ui);
    connect.Open(ConnectMode::kConnect, "COM1");
    connect.OnTimer();
    CopyConnectResult(connect.values(), record);
    return connect.result() == 1;
  }
  std::string Text() const {
    std::string text;
    for (const std::string& l : lines) text += l + "\n";
    return text;
  }

  std::vector<std::string> lines;
  LinkTrace trace{clock, [this](std::string_view l) { lines.emplace_back(l); }};
  DeviceRecord record;
};

std::string ReadAll(const std::filesystem::path& file) {
  std::ifstream in(file);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// The whole trace of a connect and one poll, byte for byte: every open, purge, raw write of the
// link set-up and request with its decoded command, reply status, result and timing. Set
// KORVIN_UPDATE_GOLDEN=1 to write the file anew after a deliberate change, and read the diff.
TEST(LinkTrace, ConnectAndPollMatchTheGoldenTrace) {
  TracedRig rig;
  ASSERT_TRUE(rig.Connect());
  OnlinePoller poller(rig.link.context(), rig.record, rig.ui);
  poller.SwitchOn();
  ASSERT_EQ(poller.Poll(), OnlinePoller::Outcome::kUpdated);

  const std::filesystem::path golden =
      std::filesystem::path(KORVIN_GOLDEN_DIR) / "connect_and_poll.trace";
  if (std::getenv("KORVIN_UPDATE_GOLDEN") != nullptr) std::ofstream(golden) << rig.Text();
  EXPECT_EQ(rig.Text(), ReadAll(golden));
}

TEST(LinkTrace, FailedTriesShowTheirResultByName) {
  TracedRig rig;
  ASSERT_TRUE(rig.Connect());
  rig.lines.clear();
  uint8_t type[2];

  rig.model.FailNext(sim::Fault::kBadCheck);
  EXPECT_EQ(RunTransaction(rig.link.context(), ReadDeviceType(), type, 2), kOk);
  rig.model.FailNext(sim::Fault::kSilent);
  EXPECT_EQ(RunTransaction(rig.link.context(), ReadDeviceType(), type, 2), kOk);
  rig.model.Refuse("ReadDeviceType", 0x1234);
  EXPECT_EQ(RunTransaction(rig.link.context(), ReadDeviceType(), type, 2), ERR_DEVICE_REFUSED);

  std::vector<std::string> rx;
  for (const std::string& l : rig.lines) {
    if (l.find(" rx ") != std::string::npos) rx.push_back(l);
  }
  ASSERT_EQ(rx.size(), 5u) << rig.Text();
  EXPECT_NE(rx[0].find("try 1 ReadDeviceType result ERR_FRAME_CHECKSUM"), std::string::npos)
      << rx[0];
  EXPECT_NE(rx[1].find("try 2 ReadDeviceType status accepted data 4 result OK"), std::string::npos)
      << rx[1];
  EXPECT_NE(rx[2].find("try 1 ReadDeviceType result ERR_REPLY_TIMEOUT rtt 1129 ms 0 bytes"),
            std::string::npos)
      << rx[2];
  EXPECT_NE(rx[3].find("try 2 ReadDeviceType status accepted"), std::string::npos) << rx[3];
  EXPECT_NE(rx[4].find("try 1 ReadDeviceType status refused device error 0x00001234"),
            std::string::npos)
      << rx[4];
  EXPECT_NE(rx[4].find("result ERR_DEVICE_REFUSED"), std::string::npos) << rx[4];
}

TEST(LinkTrace, EchoAndLateBytesAreShownAsDropped) {
  TracedRig rig;
  rig.model.faults().echo = true;
  ASSERT_TRUE(rig.Connect());
  bool echoDropped = false;
  for (const std::string& l : rig.lines) echoDropped |= l.find(" drop echo ") != std::string::npos;
  EXPECT_TRUE(echoDropped) << rig.Text();

  rig.model.faults().echo = false;
  rig.lines.clear();
  rig.model.FailNext(sim::Fault::kSlow);
  uint8_t type[2];
  EXPECT_EQ(RunTransaction(rig.link.context(), ReadDeviceType(), type, 2), kOk);
  bool lateDropped = false;
  for (const std::string& l : rig.lines) lateDropped |= l.find(" drop late ") != std::string::npos;
  EXPECT_TRUE(lateDropped) << rig.Text();
}

TEST(LinkTrace, RequestsAreDecodedWithTheirFields) {
  const auto body = [](const RequestBuilder& request) {
    uint8_t bytes[64];
    const BuiltRequest built = request.Build(bytes);
    return DescribeRequestBody(bytes, built.bodyLength);
  };
  EXPECT_EQ(body(ReadDeviceType()), "ReadDeviceType");
  EXPECT_EQ(body(ReadUnit(2)), "ReadUnit(2)");
  EXPECT_EQ(body(WriteAnalogueScaling(-60, 20.5f)), "WriteAnalogueScaling(-60, 20.5)");
  EXPECT_EQ(DescribeRequestBody(kReadDeviceNameBody, sizeof kReadDeviceNameBody), "ReadDeviceName");
  const uint8_t unknown[] = {0x34, 0x12, 0x56};
  EXPECT_EQ(DescribeRequestBody(unknown, sizeof unknown), "command 1234/56");
  const uint8_t cut[] = {0x09, 0x02, 0x03};  // a body too short for its fields
  EXPECT_NE(DescribeRequestBody(cut, sizeof cut).find('?'), std::string::npos);
}

TEST(LinkTrace, FileTraceIsFlushedPerLineAndSaysWhyItCannotBeOpened) {
  test::ScratchFolder folder;
  VirtualClock clock;
  std::string error;
  const auto trace = LinkTrace::OpenFile(folder.path() / "link.trace", clock, error);
  ASSERT_NE(trace, nullptr) << error;
  clock.SleepMs(1234);
  trace->PortClosed();
  // Readable while the trace is still open: nothing waits in a buffer.
  const std::string text = ReadAll(folder.path() / "link.trace");
  EXPECT_EQ(text.substr(0, 30), "# korvin link trace, started 2");
  EXPECT_NE(text.find("\n    1234 close\n"), std::string::npos) << text;

  EXPECT_EQ(LinkTrace::OpenFile(folder.path() / "no" / "such" / "t", clock, error), nullptr);
  EXPECT_NE(error.find("Cannot write the trace"), std::string::npos);
}

}  // namespace
}  // namespace korvin
