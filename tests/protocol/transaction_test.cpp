#include <gtest/gtest.h>

#include <cstring>
#include <deque>
#include <vector>

#include "protocol/commands.h"
#include "protocol/frames.h"
#include "protocol/transaction.h"

namespace korvin {
namespace {

using Bytes = std::vector<uint8_t>;

// A profile F context whose exchange plays back scripted receptions, one per try.
struct ScriptedLink {
  struct Try {
    ResultCode result = kOk;
    Bytes rx;
  };
  ProtocolContext context;
  std::deque<Try> tries;
  std::vector<Bytes> sent;

  ScriptedLink() {
    context.address = 1;
    context.wrap = &WrapProfileF;
    context.check = &CheckProfileF;
    context.replyOverhead = [] { return size_t{9}; };
    context.bodyOffset = [] { return size_t{2}; };
    context.parseStatus = &ParseReplyStatus;
    context.exchange = [this](const uint8_t* tx, uint16_t txLength, uint8_t* rx,
                              uint16_t rxLength) {
      sent.emplace_back(tx, tx + txLength);
      if (tries.empty()) return ERR_REPLY_TIMEOUT;
      Try t = tries.front();
      tries.pop_front();
      if (!t.rx.empty()) std::memcpy(rx, t.rx.data(), std::min<size_t>(t.rx.size(), rxLength));
      return t.result;
    };
  }

  static Bytes Reply(Bytes payload) {
    return EncodeEnvelopeFrame(1, EncodeServiceFrame(1, payload.data(), payload.size()));
  }

  void UseProfileV() {
    context.wrap = &WrapProfileV;
    context.check = &CheckProfileV;
    context.replyOverhead = [] { return size_t{4}; };
    context.bodyOffset = [] { return size_t{3}; };
  }
};

TEST(RunTransaction, CopyLimitBoundsTheDataCopied) {
  struct Case {
    uint8_t limit;
    Bytes expected;
  } cases[] = {
      {1, {0x11, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE}},
      {8, {0x11, 0x22, 0x33, 0x44, 0xEE, 0xEE, 0xEE, 0xEE}},
      {0, {0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE}},
  };
  for (const Case& c : cases) {
    ScriptedLink link;
    link.tries.push_back({kOk, ScriptedLink::Reply({'>', 0x11, 0x22, 0x33, 0x44})});
    Bytes dest(8, 0xEE);
    EXPECT_EQ(RunTransaction(link.context, ReadSerialNumber(), dest.data(), c.limit), kOk);
    EXPECT_EQ(dest, c.expected) << int(c.limit);
  }
}

TEST(RunTransaction, RefusalStoresTheDeviceErrorAndIsNotRetried) {
  ScriptedLink link;
  link.tries.push_back({kOk, ScriptedLink::Reply({'?', 0x04, 0x03, 0x02, 0x01})});
  Bytes dest(4, 0xEE);
  EXPECT_EQ(RunTransaction(link.context, ReadGasType(), dest.data(), 4), ERR_DEVICE_REFUSED);
  EXPECT_EQ(link.context.lastDeviceError, 0x01020304u);
  EXPECT_EQ(link.sent.size(), 1u);
  EXPECT_EQ(dest, Bytes(4, 0xEE));

  // Another status byte refuses as well but keeps the stored code.
  link.tries.push_back({kOk, ScriptedLink::Reply({'X', 0, 0, 0, 0})});
  EXPECT_EQ(RunTransaction(link.context, ReadGasType(), dest.data(), 4), ERR_DEVICE_REFUSED);
  EXPECT_EQ(link.context.lastDeviceError, 0x01020304u);
}

TEST(RunTransaction, FullLengthRefusalOfALongerReplyCopiesNothing) {
  ScriptedLink link;
  // ReadAnalogueScaling expects '>' and 8 data bytes; the refusal comes padded to that length.
  link.tries.push_back({kOk, ScriptedLink::Reply({'?', 0x0D, 0x0C, 0x0B, 0x0A, 1, 2, 3, 4})});
  Bytes dest(8, 0xEE);
  EXPECT_EQ(RunTransaction(link.context, ReadAnalogueScaling(), dest.data(), 8),
            ERR_DEVICE_REFUSED);
  EXPECT_EQ(link.context.lastDeviceError, 0x0A0B0C0Du);
  EXPECT_EQ(dest, Bytes(8, 0xEE));
  EXPECT_EQ(link.sent.size(), 1u);
}

// A reception may carry a complete frame shorter than expected, followed by other bytes: only
// that frame's data are data, not its checksum, terminator or what came after it.
TEST(RunTransaction, ShorterFrameInALongerReceptionCopiesOnlyItsData) {
  ScriptedLink link;
  link.UseProfileV();
  const Bytes payload = {'>', 0x01, 0x02, 0x03, 0x04};
  Bytes rx = EncodeServiceFrame(1, payload.data(), payload.size());
  rx.insert(rx.end(), {0xA5, 0x5A, 0xFF, 0x00});
  link.tries.push_back({kOk, rx});
  Bytes dest(8, 0xEE);
  EXPECT_EQ(RunTransaction(link.context, ReadAnalogueScaling(), dest.data(), 8), kOk);
  EXPECT_EQ(dest, (Bytes{0x01, 0x02, 0x03, 0x04, 0xEE, 0xEE, 0xEE, 0xEE}));
}

TEST(RunTransaction, ThreeTriesReturnTheLastFault) {
  ScriptedLink link;
  Bytes badCrc = ScriptedLink::Reply({'>', 1, 2, 3, 4});
  badCrc.back() ^= 0x55;
  Bytes badAddress = EncodeEnvelopeFrame(1, EncodeServiceFrame(7, badCrc.data() + 5, 5));
  link.tries = {{ERR_REPLY_TIMEOUT, {}}, {kOk, badCrc}, {kOk, badAddress}};
  Bytes dest(4, 0xEE);
  EXPECT_EQ(RunTransaction(link.context, ReadSerialNumber(), dest.data(), 4), ERR_FRAME_ADDRESS);
  EXPECT_EQ(link.sent.size(), 3u);
  EXPECT_EQ(dest, Bytes(4, 0xEE));

  // A good reply on the third try succeeds.
  link.sent.clear();
  link.tries = {{ERR_REPLY_TIMEOUT, {}},
                {ERR_REPLY_TIMEOUT, {}},
                {kOk, ScriptedLink::Reply({'>', 9, 0, 0, 0})}};
  EXPECT_EQ(RunTransaction(link.context, ReadSerialNumber(), dest.data(), 4), kOk);
  EXPECT_EQ(dest[0], 9);
}

TEST(RunTransaction, WriteOnlyCommandCopiesNothingAndSendsTheFrame) {
  ScriptedLink link;
  link.tries.push_back({kOk, ScriptedLink::Reply({'>', 0, 0, 0, 0})});
  EXPECT_EQ(RunTransaction(link.context, WriteGasType(2)), kOk);
  ASSERT_EQ(link.sent.size(), 1u);
  EXPECT_EQ(link.sent[0].size(), 4u + 9u);
  EXPECT_EQ(link.sent[0][5], 0x09);
  EXPECT_EQ(link.sent[0][7], 0x4F);
  EXPECT_EQ(link.sent[0][8], 2);
}

TEST(RunTransaction, RepliesLongerThanTheReceiveBufferAreRefusedBeforeSending) {
  ScriptedLink link;
  // 40 channels would need 281 + 9 bytes in a 259-byte buffer.
  EXPECT_EQ(RunTransaction(link.context, ReadMeasurements(0, 40)), ERR_FRAME_LENGTH);
  EXPECT_TRUE(link.sent.empty());
}

TEST(RunTransaction, EmptyContextFailsWithoutAPort) {
  ProtocolContext empty;
  EXPECT_EQ(RunTransaction(empty, ReadDeviceType()), ERR_PORT_CLOSED);
}

TEST(RunRawTransaction, DeviceNameBodyIsFramedLikeAnyOther) {
  ScriptedLink link;
  Bytes reply = {'>'};
  const char name[] = "DPT 810";
  reply.insert(reply.end(), name, name + sizeof name);
  reply.resize(17, 0);
  link.tries.push_back({kOk, ScriptedLink::Reply(reply)});
  char dest[16] = {};
  EXPECT_EQ(RunRawTransaction(link.context, kReadDeviceNameBody, sizeof kReadDeviceNameBody,
                              kReadDeviceNameReplyLength, dest, sizeof dest),
            kOk);
  EXPECT_STREQ(dest, "DPT 810");
  EXPECT_EQ(link.sent[0], (Bytes{0x01, 0x46, 0x07, 0x01, 0x07, 0x09, 0x01, 0x18,
                                 static_cast<uint8_t>(-(0x01 + 0x07 + 0x09 + 0x01 + 0x18)), 0x00,
                                 link.sent[0][10], link.sent[0][11]}));
}

}  // namespace
}  // namespace korvin
