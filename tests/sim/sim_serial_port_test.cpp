#include "sim/sim_serial_port.h"

#include <gtest/gtest.h>

#include "platform/clock.h"
#include "platform/event_pump.h"
#include "protocol/commands.h"
#include "protocol/frames.h"
#include "protocol/protocol_context.h"
#include "protocol/serial_transport.h"
#include "sim_test_util.h"

namespace korvin::sim {
namespace {

using testing::Body;

LineSettings At(int baud) {
  LineSettings s;
  s.baud = baud;
  return s;
}

class SimPort : public ::testing::Test {
 protected:
  explicit SimPort(LinkKind link = LinkKind::kProfileV, uint16_t type = 0x1035)
      : model_(type, link, clock_), port_(model_, clock_) {}

  // Writes a request at the port's speed and returns when it was written.
  int64_t WriteRequest(const RequestBuilder& request) {
    const std::vector<uint8_t> frame = FrameRequest(model_.link(), Body(request));
    EXPECT_EQ(port_.Write(frame.data(), frame.size()), static_cast<int>(frame.size()));
    return clock_.NowUs();
  }

  std::vector<uint8_t> ReadAll() {
    std::vector<uint8_t> out(1024);
    out.resize(static_cast<size_t>(port_.Read(out.data(), out.size())));
    return out;
  }

  VirtualClock clock_;
  SensorModel model_;
  SimSerialPort port_;
};

TEST_F(SimPort, ByteTimesAreExactAtEverySpeedAndDoNotAccumulateRounding) {
  EXPECT_EQ(SimSerialPort::ByteDoneUs(0, 1200), 8333);
  EXPECT_EQ(SimSerialPort::ByteDoneUs(1, 1200), 16667);
  EXPECT_EQ(SimSerialPort::ByteDoneUs(0, 19200), 521);
  EXPECT_EQ(SimSerialPort::ByteDoneUs(11, 19200), 6250);
  EXPECT_EQ(SimSerialPort::ByteDoneUs(12, 50000), 2600);
  EXPECT_EQ(SimSerialPort::ByteDoneUs(1023, 19200), 533333);
}

TEST_F(SimPort, TransmitQueueDrainsAtTheByteTimeAndTheReplyFollowsByteByByte) {
  ASSERT_TRUE(port_.Open("COM3", At(1200)));
  clock_.SleepUs(5'000);                              // any start time
  const int64_t t0 = WriteRequest(ReadDeviceType());  // 8 bytes in profile V
  EXPECT_EQ(port_.BytesInTransmitQueue(), 8);
  clock_.SleepUs(8332);
  EXPECT_EQ(port_.BytesInTransmitQueue(), 8);
  clock_.SleepUs(1);
  EXPECT_EQ(port_.BytesInTransmitQueue(), 7);
  const int64_t requestEnd = t0 + 66667;
  clock_.SleepUs(requestEnd - clock_.NowUs() - 1);
  EXPECT_EQ(port_.BytesInTransmitQueue(), 1);
  EXPECT_TRUE(model_.log().empty()) << "the sensor hears the frame only when it is complete";
  clock_.SleepUs(1);
  EXPECT_EQ(port_.BytesInTransmitQueue(), 0);
  EXPECT_EQ(model_.log().size(), 1u);

  // Reply of 9 bytes (status and 4 data bytes in a service frame), 1 ms after the request.
  const int64_t replyStart = requestEnd + model_.responseDelayUs();
  EXPECT_TRUE(port_.WaitReadable(1'000'000));
  EXPECT_EQ(clock_.NowUs(), replyStart + 8333);
  EXPECT_EQ(port_.BytesInReceiveQueue(), 1);
  clock_.SleepUs(replyStart + 41667 - clock_.NowUs() - 1);
  EXPECT_EQ(port_.BytesInReceiveQueue(), 4);
  clock_.SleepUs(replyStart + 75000 - clock_.NowUs());
  EXPECT_EQ(port_.BytesInReceiveQueue(), 9);
  std::vector<uint8_t> reply = ReadAll();
  ASSERT_EQ(reply.size(), 9u);
  EXPECT_EQ(CheckServiceFrame(reply.data(), reply.size(), kServiceAddress), kOk);
  EXPECT_EQ(GetU16(reply.data() + 3), 0x1035);
  EXPECT_EQ(port_.BytesInReceiveQueue(), 0);
}

TEST_F(SimPort, WaitReadableSleepsExactlyTheTimeoutWhenNothingComes) {
  ASSERT_TRUE(port_.Open("COM3", At(1200)));
  model_.faults().silent = true;
  WriteRequest(ReadItemNumber());
  const int64_t before = clock_.NowUs();
  EXPECT_FALSE(port_.WaitReadable(1'000'000));
  EXPECT_EQ(clock_.NowUs(), before + 1'000'000);
  EXPECT_EQ(model_.log().size(), 1u);

  // Not quite long enough for the first byte.
  model_.faults().silent = false;
  const int64_t t0 = WriteRequest(ReadItemNumber());
  const int64_t firstByte = t0 + 66667 + 1000 + 8333;
  EXPECT_FALSE(port_.WaitReadable(firstByte - t0 - 1));
  EXPECT_EQ(clock_.NowUs(), firstByte - 1);
  EXPECT_TRUE(port_.WaitReadable(1));
  EXPECT_EQ(clock_.NowUs(), firstByte);
  EXPECT_TRUE(port_.WaitReadable(0));
  EXPECT_EQ(clock_.NowUs(), firstByte);
}

TEST_F(SimPort, PurgeReceiveDropsOnlyWhatHasArrived) {
  ASSERT_TRUE(port_.Open("COM3", At(1200)));
  const int64_t t0 = WriteRequest(ReadSerialNumber());
  const int64_t replyStart = t0 + 66667 + 1000;
  clock_.SleepUs(replyStart + 3 * 8333 + 1 - clock_.NowUs());
  EXPECT_EQ(port_.BytesInReceiveQueue(), 3);
  EXPECT_TRUE(port_.PurgeReceive());
  EXPECT_EQ(port_.BytesInReceiveQueue(), 0);
  clock_.SleepUs(1'000'000);
  EXPECT_EQ(port_.BytesInReceiveQueue(), 6);
}

TEST_F(SimPort, EchoArrivesAsTheRequestIsSentAndPrecedesTheReply) {
  ASSERT_TRUE(port_.Open("COM3", At(1200)));
  model_.faults().echo = true;
  model_.faults().drainEarlyUs = 0;
  const std::vector<uint8_t> frame = FrameRequest(LinkKind::kProfileV, Body(ReadDeviceType()));
  port_.Write(frame.data(), frame.size());
  clock_.SleepUs(3 * 8333 + 1);
  EXPECT_EQ(port_.BytesInReceiveQueue(), 3);
  EXPECT_EQ(port_.BytesInTransmitQueue(), 5);
  clock_.SleepUs(1'000'000);
  const std::vector<uint8_t> all = ReadAll();
  ASSERT_EQ(all.size(), frame.size() + 9);
  EXPECT_EQ(std::vector<uint8_t>(all.begin(), all.begin() + 8), frame);
}

// The adapter reports the send done while the last bytes are still going out: what the drain's
// purge leaves of the echo is the request's tail, and the reply follows it.
TEST_F(SimPort, EchoTailOutlivesThePurgeAfterAnEarlyDrain) {
  ASSERT_TRUE(port_.Open("COM3", At(1200)));
  model_.faults().echo = true;
  model_.faults().drainEarlyUs = 12'000;
  const std::vector<uint8_t> frame = FrameRequest(LinkKind::kProfileV, Body(ReadDeviceType()));
  port_.Write(frame.data(), frame.size());
  EXPECT_EQ(port_.BytesInTransmitQueue(), 7);
  ASSERT_TRUE(port_.WaitTransmitted(clock_, 1'000'000));
  EXPECT_EQ(clock_.NowUs(), 66667 - 12'000);
  EXPECT_EQ(port_.BytesInTransmitQueue(), 0);
  EXPECT_EQ(port_.BytesInReceiveQueue(), 6) << "the echo of all bytes but the last two";
  EXPECT_TRUE(port_.PurgeReceive());
  clock_.SleepUs(1'000'000);
  const std::vector<uint8_t> rest = ReadAll();
  ASSERT_EQ(rest.size(), 2u + 9u);
  EXPECT_EQ(std::vector<uint8_t>(rest.begin(), rest.begin() + 2),
            std::vector<uint8_t>(frame.end() - 2, frame.end()));
  EXPECT_EQ(rest[2], 0x01) << "the reply after the echo";
}

TEST_F(SimPort, PurgedTransmitQueueNeverReachesTheSensor) {
  ASSERT_TRUE(port_.Open("COM3", At(1200)));
  model_.faults().echo = true;
  WriteRequest(ReadDeviceType());
  clock_.SleepUs(20'000);
  EXPECT_TRUE(port_.PurgeTransmit());
  EXPECT_EQ(port_.BytesInTransmitQueue(), 0);
  clock_.SleepUs(1'000'000);
  EXPECT_EQ(port_.BytesInReceiveQueue(), 2) << "only the echo of the two bytes sent";
  EXPECT_TRUE(model_.log().empty());
}

TEST_F(SimPort, FramesAtTheWrongSpeedOrFramingGetNoReply) {
  for (LineSettings settings : {At(19200), At(9600), At(1200)}) {
    if (settings.baud == 1200) settings.parity = Parity::kEven;
    ASSERT_TRUE(port_.Open("COM3", settings));
    WriteRequest(ReadDeviceType());
    EXPECT_FALSE(port_.WaitReadable(2'000'000)) << settings.baud;
  }
  EXPECT_TRUE(model_.log().empty());
  EXPECT_EQ(model_.ignoredBursts(), 3);
}

TEST_F(SimPort, OpenCloseAndTheMissingPort) {
  EXPECT_EQ(port_.Baud(), 0);
  EXPECT_EQ(port_.Write(reinterpret_cast<const uint8_t*>("x"), 1), -1);
  EXPECT_EQ(port_.BytesInReceiveQueue(), -1);
  port_.SetOpenFails(true);
  EXPECT_FALSE(port_.Open("COM9", At(1200)));
  EXPECT_FALSE(port_.IsOpen());
  port_.SetOpenFails(false);
  ASSERT_TRUE(port_.Open("COM9", At(1200)));
  EXPECT_EQ(port_.Baud(), 1200);
  EXPECT_FALSE(port_.dtr());
  EXPECT_TRUE(port_.rts());
  WriteRequest(ReadDeviceType());
  clock_.SleepUs(100'000);
  EXPECT_GT(port_.BytesInReceiveQueue(), 0);
  port_.Close();
  EXPECT_FALSE(port_.IsOpen());
  ASSERT_TRUE(port_.Open("COM9", At(1200)));
  clock_.SleepUs(1'000'000);
  EXPECT_EQ(port_.BytesInReceiveQueue(), 0) << "closing discards both queues";
  EXPECT_EQ(port_.openCount(), 2);
}

TEST_F(SimPort, SplitAndSlowRepliesArriveLater) {
  ASSERT_TRUE(port_.Open("COM3", At(1200)));
  model_.faults().splitPieces = 3;
  model_.faults().splitGapUs = 50'000;
  const int64_t t0 = WriteRequest(ReadDeviceType());
  const int64_t replyStart = t0 + 66667 + 1000;
  // 9 bytes in pieces of 3: the fourth byte comes one gap after the third.
  clock_.SleepUs(replyStart + 3 * 8333 + 1 + 49'000 - clock_.NowUs());
  EXPECT_EQ(port_.BytesInReceiveQueue(), 3);
  clock_.SleepUs(1000 + 8333);
  EXPECT_EQ(port_.BytesInReceiveQueue(), 4);
  clock_.SleepUs(1'000'000);
  ReadAll();

  model_.faults() = FaultSettings{};
  model_.FailNext(Fault::kSlow);
  const int64_t t1 = WriteRequest(ReadDeviceType());
  EXPECT_FALSE(port_.WaitReadable(1'000'000));
  EXPECT_TRUE(port_.WaitReadable(1'000'000));
  EXPECT_EQ(clock_.NowUs(), t1 + 66667 + 1000 + model_.faults().slowDelayUs + 8333);
}

// The real transport on the virtual line: the timings it relies on add up.
class SimPortProfileF : public SimPort {
 protected:
  SimPortProfileF() : SimPort(LinkKind::kProfileF, 0x1030) {}
};

TEST_F(SimPortProfileF, TransportExchangeSucceedsAfterThePreamble) {
  NullEventPump pump;
  SerialTransport transport(port_, clock_, pump);
  ASSERT_EQ(transport.OpenPort("COM3,50000,N,8,1"), kOk);
  ASSERT_EQ(transport.WritePort(kPreamble.data(), kPreamble.size()), kOk);
  EXPECT_EQ(model_.preamblesSeen(), 1);
  transport.ClosePort();
  ASSERT_EQ(transport.OpenPort("COM3,19200,N,8,1"), kOk);

  std::array<uint8_t, kTransmitBufferSize> tx{};
  const BuiltRequest built = ReadDeviceType().Build(tx.data() + EnvelopeFrame::kBodyOffset);
  const size_t length = WrapProfileF(tx.data(), built.bodyLength, kServiceAddress);
  std::array<uint8_t, kReceiveBufferSize> rx{};
  const uint16_t expected = static_cast<uint16_t>(built.replyLength + EnvelopeFrame::kOverhead);
  const int64_t start = clock_.NowUs();
  ASSERT_EQ(transport.ExchangeF(tx.data(), rx.data(), static_cast<uint16_t>(length), expected),
            kOk);
  size_t pos = 0;
  ASSERT_EQ(CheckProfileF(rx.data(), expected, kServiceAddress, &pos), kOk);
  EXPECT_EQ(GetU16(rx.data() + pos + 1), 0x1030);
  // 3 + 120 + 3 + 12 ms of pauses plus transmission; the reply is waiting when the read starts.
  EXPECT_LT(clock_.NowUs() - start, 150'000);

  model_.faults().silent = true;
  EXPECT_EQ(transport.ExchangeF(tx.data(), rx.data(), static_cast<uint16_t>(length), expected),
            ERR_REPLY_TIMEOUT);
}

}  // namespace
}  // namespace korvin::sim
