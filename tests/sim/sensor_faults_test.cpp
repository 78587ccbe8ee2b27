#include <gtest/gtest.h>

#include "platform/clock.h"
#include "protocol/commands.h"
#include "protocol/frames.h"
#include "sim/sensor_model.h"
#include "sim_test_util.h"

namespace korvin::sim {
namespace {

using testing::Body;

constexpr int64_t kStep = 1'000'000;

struct Link {
  LinkKind kind;
  int baud;
};
constexpr Link kLinks[] = {{LinkKind::kProfileF, kProfileFBaud},
                           {LinkKind::kProfileV, kProfileVBaud}};

class Faults : public ::testing::TestWithParam<Link> {
 protected:
  Faults() : model_(0x1030, GetParam().kind, clock_) {
    if (GetParam().kind == LinkKind::kProfileF) model_.Receive(kPreamble, kPreambleBaud, 0);
  }

  std::vector<Reply> Send(const RequestBuilder& request) {
    now_ += kStep;
    return model_.Receive(FrameRequest(GetParam().kind, Body(request)), GetParam().baud, now_);
  }

  ResultCode Check(std::vector<uint8_t> bytes) {
    size_t pos = 0;
    return GetParam().kind == LinkKind::kProfileF
               ? CheckProfileF(bytes.data(), bytes.size(), kServiceAddress, &pos)
               : CheckProfileV(bytes.data(), bytes.size(), kServiceAddress, &pos);
  }

  VirtualClock clock_;
  SensorModel model_;
  int64_t now_ = 0;
};

TEST_P(Faults, EachNamedFaultShapesTheNextReplyOnly) {
  const std::vector<uint8_t> normal = Send(ReadSerialNumber()).at(0).Bytes();
  ASSERT_EQ(Check(normal), kOk);
  const int64_t delay = model_.responseDelayUs();
  const FaultSettings& f = model_.faults();

  struct Case {
    Fault fault;
    size_t chunks;
    size_t size;
    int64_t firstDelay;
    int check;  // 1 passes the tool's frame check, 0 fails it, -1 depends on the profile
  };
  const Case cases[] = {
      {Fault::kBadCheck, 1, normal.size(), delay, 0},
      {Fault::kShort, 1, normal.size() - 3, delay, 0},
      {Fault::kTrailingGarbage, 1, normal.size() + 4, delay, -1},
      {Fault::kSplit, 3, normal.size(), delay, 1},
      {Fault::kSlow, 1, normal.size(), delay + f.slowDelayUs, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.fault));
    model_.FailNext(c.fault);
    const std::vector<Reply> replies = Send(ReadSerialNumber());
    ASSERT_EQ(replies.size(), 1u);
    const Reply& reply = replies[0];
    ASSERT_EQ(reply.chunks.size(), c.chunks);
    EXPECT_EQ(reply.chunks[0].delayUs, c.firstDelay);
    for (size_t i = 1; i < reply.chunks.size(); ++i)
      EXPECT_EQ(reply.chunks[i].delayUs, f.splitGapUs);
    const std::vector<uint8_t> bytes = reply.Bytes();
    ASSERT_EQ(bytes.size(), c.size);
    if (c.check == 1) {
      EXPECT_EQ(Check(bytes), kOk);
    } else if (c.check == 0) {
      EXPECT_NE(Check(bytes), kOk);
    }
    if (c.fault == Fault::kTrailingGarbage) {
      // What the tool reads, the expected length, is the good reply.
      EXPECT_EQ(std::vector<uint8_t>(bytes.begin(), bytes.begin() + normal.size()), normal);
    }
    EXPECT_EQ(Send(ReadSerialNumber()).at(0).Bytes(), normal) << "a one-shot fault must not stay";
  }
}

TEST_P(Faults, SilentSensorNeitherAnswersNorActsButLogsTheRequest) {
  model_.FailNext(Fault::kSilent, 2);
  EXPECT_TRUE(Send(WriteGasType(1)).empty());
  EXPECT_TRUE(Send(WriteGasType(1)).empty());
  EXPECT_EQ(model_.state().gasType, 0);
  ASSERT_EQ(model_.log().size(), 2u);
  EXPECT_EQ(model_.log()[0].status, 0);
  EXPECT_EQ(Send(WriteGasType(1)).size(), 1u);
  EXPECT_EQ(model_.state().gasType, 1);

  model_.faults().silent = true;
  EXPECT_TRUE(Send(ReadDeviceType()).empty());
  EXPECT_TRUE(Send(ReadDeviceType()).empty());
  model_.ClearFaults();
  EXPECT_EQ(Send(ReadDeviceType()).size(), 1u);
}

TEST_P(Faults, EveryNthReplyIsCorrupted) {
  model_.faults().corruptEveryNth = 3;
  std::vector<bool> good;
  for (int i = 0; i < 6; ++i) good.push_back(Check(Send(ReadItemNumber()).at(0).Bytes()) == kOk);
  EXPECT_EQ(good, std::vector<bool>({true, true, false, true, true, false}));
}

TEST_P(Faults, PersistentShapesApplyToEveryReply) {
  const size_t normal = Send(ReadItemNumber()).at(0).Bytes().size();
  model_.faults().shortBy = 2;
  model_.faults().trailingGarbage = 5;
  model_.faults().splitPieces = 4;
  model_.faults().splitGapUs = 12'000;
  for (int i = 0; i < 2; ++i) {
    const Reply reply = Send(ReadItemNumber()).at(0);
    EXPECT_EQ(reply.Bytes().size(), normal - 2 + 5);
    ASSERT_EQ(reply.chunks.size(), 4u);
    EXPECT_EQ(reply.chunks[3].delayUs, 12'000);
  }
}

TEST_P(Faults, RefusedCommandsGetTheChosenDeviceErrorAndAreNotExecuted) {
  model_.Refuse(0x0209, 0x4F, 0x12345678);
  model_.Refuse("ReadSensorOptions", 0xCAFE);
  std::vector<uint8_t> reply = Send(WriteGasType(1)).at(0).Bytes();
  size_t pos = 0;
  ASSERT_EQ(GetParam().kind == LinkKind::kProfileF
                ? CheckProfileF(reply.data(), reply.size(), 1, &pos)
                : CheckProfileV(reply.data(), reply.size(), 1, &pos),
            kOk);
  const ReplyStatus status = ParseReplyStatus(reply.data() + pos, reply.size() - pos);
  EXPECT_TRUE(status.refused);
  ASSERT_TRUE(status.hasDeviceError);
  EXPECT_EQ(status.deviceError, 0x12345678u);
  EXPECT_EQ(model_.state().gasType, 0);
  EXPECT_EQ(model_.log().back().status, kStatusRefused);

  reply = Send(ReadSensorOptions()).at(0).Bytes();
  EXPECT_EQ(Check(reply), kOk);
  model_.StopRefusing(0x0209, 0x4F);
  Send(WriteGasType(1));
  EXPECT_EQ(model_.state().gasType, 1);
}

INSTANTIATE_TEST_SUITE_P(BothProfiles, Faults, ::testing::ValuesIn(kLinks), [](const auto& info) {
  return info.param.kind == LinkKind::kProfileF ? "ProfileF" : "ProfileV";
});

TEST(LegacyFaults, TheOldSensorCanBeCorruptedOrSilent) {
  VirtualClock clock;
  SensorModel model(0x1024, LinkKind::kLegacy, clock);
  const std::vector<uint8_t> probe = {kLegacyProbe};
  model.FailNext(Fault::kBadCheck);
  const std::vector<uint8_t> bad = model.Receive(probe, kProfileVBaud, 0).at(0).Bytes();
  EXPECT_NE(AdditiveChecksum(bad.data(), bad.size()), 0);
  model.faults().silent = true;
  EXPECT_TRUE(model.Receive(probe, kProfileVBaud, kStep).empty());
  EXPECT_EQ(model.legacyProbes(), 2);
}

}  // namespace
}  // namespace korvin::sim
