#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "protocol/frames.h"

namespace korvin {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes ServiceFrameOf(Bytes payload) {
  return EncodeServiceFrame(1, payload.data(), payload.size());
}

TEST(Crc16, CheckValueAndWholeFrameGivesZero) {
  const std::string digits = "123456789";
  EXPECT_EQ(ComputeCrc16(reinterpret_cast<const uint8_t*>(digits.data()), digits.size()), 0x4B37);

  const Bytes frame = EncodeEnvelopeFrame(1, ServiceFrameOf({0x3E, 0x30, 0x10, 0, 0}));
  EXPECT_EQ(ComputeCrc16(frame.data(), frame.size()), 0);
}

TEST(Wrap, ReadDeviceTypeGoldenFramesInBothProfiles) {
  const Bytes body = {0x01, 0xFF, 0x07};
  uint8_t f[256] = {};
  std::memcpy(f + EnvelopeFrame::kBodyOffset, body.data(), body.size());
  ASSERT_EQ(WrapProfileF(f, body.size(), 1), 12u);
  EXPECT_EQ(Bytes(f, f + 12),
            (Bytes{0x01, 0x46, 0x07, 0x01, 0x07, 0x01, 0xFF, 0x07, 0xF1, 0x00, 0x92, 0xB5}));

  uint8_t v[256] = {};
  std::memcpy(v + AdapterFrame::kBodyOffset, body.data(), body.size());
  ASSERT_EQ(WrapProfileV(v, body.size(), 1), 8u);
  EXPECT_EQ(Bytes(v, v + 8), (Bytes{0x56, 0x01, 0x07, 0x01, 0xFF, 0x07, 0xF1, 0x00}));
}

TEST(Wrap, ProfileFBodyLimit) {
  uint8_t f[256] = {};
  EXPECT_EQ(WrapProfileF(f, 245, 1), 254u);
  EXPECT_EQ(ComputeCrc16(f, 254), 0);
  uint8_t g[256] = {};
  EXPECT_EQ(WrapProfileF(g, 246, 1), 0u);
}

// Each case is one reception and the code the service-frame check must give; the order of the
// tests inside the check decides which fault wins when several apply.
TEST(CheckServiceFrame, FaultsAndTheirOrder) {
  const Bytes good = ServiceFrameOf({0x3E, 0x07});  // 01 06 3E 07 ck 00
  Bytes badSum = good;
  badSum[3] ^= 0x01;
  Bytes longer = good;
  longer.insert(longer.end(), {0xAA, 0xBB});
  Bytes wrongAddress = EncodeServiceFrame(2, good.data() + 2, 2);
  Bytes wrongAddressLonger = wrongAddress;
  wrongAddressLonger.push_back(0x55);
  // Sum 0 but the length byte says 7 while 6 bytes came: a length fault...
  Bytes lengthMismatch = good;
  lengthMismatch[1] = 7;
  lengthMismatch[4] = static_cast<uint8_t>(lengthMismatch[4] - 1);
  // ...unless the address is wrong as well, which is tested first.
  Bytes lengthAndAddress = lengthMismatch;
  lengthAndAddress[0] = 2;
  lengthAndAddress[4] = static_cast<uint8_t>(lengthAndAddress[4] - 1);
  // A zero-sum frame that does not end in the terminator.
  Bytes noTerminator = {0x01, 0x05, 0x3E, 0x00, 0xBC};
  // Declared length 0 in a longer reception: only the length test can catch it.
  Bytes tooShort = {0x01, 0x00, 0x05};

  struct Case {
    const char* name;
    Bytes rx;
    ResultCode expected;
  } cases[] = {
      {"good", good, kOk},
      {"bad sum, length equals count", badSum, ERR_FRAME_CHECKSUM},
      {"longer reception with a valid frame in front", longer, kOk},
      {"declared length beyond reception", Bytes{0x01, 0x09, 0x3E, 0x00}, ERR_FRAME_CHECKSUM},
      {"wrong address", wrongAddress, ERR_FRAME_ADDRESS},
      {"wrong address in a longer reception", wrongAddressLonger, ERR_FRAME_ADDRESS},
      {"length differs from count", lengthMismatch, ERR_FRAME_LENGTH},
      {"address tested before length", lengthAndAddress, ERR_FRAME_ADDRESS},
      {"no terminator", noTerminator, ERR_FRAME_TERMINATOR},
      {"declared length below 4", tooShort, ERR_FRAME_SHORT},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(CheckServiceFrame(c.rx.data(), c.rx.size(), 1), c.expected) << c.name;
  }
}

TEST(CheckProfileF, StripsEnvelopeOrJudgesTheRawBytes) {
  Bytes reply = EncodeEnvelopeFrame(1, ServiceFrameOf({0x3E, 0x30, 0x10, 0x00, 0x00}));
  Bytes rx(259, 0);
  std::copy(reply.begin(), reply.end(), rx.begin());
  size_t pos = 0;
  ASSERT_EQ(CheckProfileF(rx.data(), reply.size(), 1, &pos), kOk);
  EXPECT_EQ(pos, 2u);
  EXPECT_EQ(rx[pos], 0x3E);
  EXPECT_EQ(rx[pos + 1], 0x30);

  // With a broken CRC the envelope stays on: 0x46 is read as the declared length.
  Bytes corrupt = reply;
  corrupt.back() ^= 0xFF;
  EXPECT_EQ(CheckProfileF(corrupt.data(), corrupt.size(), 1, &pos), ERR_FRAME_CHECKSUM);
}

TEST(ParseReplyStatus, AcceptedRefusedAndOther) {
  const uint8_t accepted[] = {'>', 1, 2};
  ReplyStatus s = ParseReplyStatus(accepted, sizeof accepted);
  EXPECT_FALSE(s.refused);
  EXPECT_EQ(s.headerLength, 1u);

  const uint8_t refused[] = {'?', 0x78, 0x56, 0x34, 0x12};
  s = ParseReplyStatus(refused, sizeof refused);
  EXPECT_TRUE(s.refused);
  EXPECT_EQ(s.headerLength, 5u);
  ASSERT_TRUE(s.hasDeviceError);
  EXPECT_EQ(s.deviceError, 0x12345678u);

  const uint8_t other[] = {'!', 0, 0, 0, 0};
  s = ParseReplyStatus(other, sizeof other);
  EXPECT_TRUE(s.refused);
  EXPECT_EQ(s.headerLength, 1u);
  EXPECT_FALSE(s.hasDeviceError);

  // A '?' cut short carries no code; nothing beyond the payload is read.
  s = ParseReplyStatus(refused, 3);
  EXPECT_TRUE(s.refused);
  EXPECT_FALSE(s.hasDeviceError);
}

// Random and mutated receptions: the checkers must never read or write outside the bytes they
// are given (run under the sanitizers with scripts/test --sanitize).
TEST(Checkers, SurviveRandomAndMutatedInput) {
  std::mt19937 rng(12345);
  const Bytes seed = EncodeEnvelopeFrame(1, ServiceFrameOf({0x3E, 1, 2, 3, 4, 5, 6, 7}));
  for (int i = 0; i < 20000; ++i) {
    Bytes rx;
    if (i % 2 == 0) {
      rx.resize(rng() % 40);
      for (auto& b : rx) b = static_cast<uint8_t>(rng());
    } else {
      rx = seed;
      const int flips = 1 + static_cast<int>(rng() % 4);
      for (int k = 0; k < flips; ++k) rx[rng() % rx.size()] = static_cast<uint8_t>(rng());
      rx.resize(rng() % (seed.size() + 4));
    }
    // Exact-size heap copies so that AddressSanitizer sees any overrun.
    auto* f = new uint8_t[rx.size() + 1];
    std::copy(rx.begin(), rx.end(), f);
    size_t pos = 0;
    const ResultCode rf = CheckProfileF(f, rx.size(), 1, &pos);
    if (rf == kOk) {
      EXPECT_LT(pos, rx.size());
      ParseReplyStatus(f + pos, rx.size() - pos);
    }
    std::copy(rx.begin(), rx.end(), f);
    CheckProfileV(f, rx.size(), 1, &pos);
    delete[] f;
  }
}

}  // namespace
}  // namespace korvin
